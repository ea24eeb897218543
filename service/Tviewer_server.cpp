// The viewers' socket: greeting, samples, events and requests, all served
// from the service's loop without ever waiting for a viewer.

#include "service/Tviewer_server.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "config/Port_settings.h"
#include "config/Tsetup_ini.h"
#include "platform/Clock.h"
#include "publish/Mqtt_messages.h"
#include "service/Tservice.h"
#include "service/Tservice_log.h"
#include "service/Tservice_loop.h"
#include "service/Tviewer_request.h"
#include "station/Tpublisher.h"

#ifndef BAROMETER_VERSION
#define BAROMETER_VERSION "0"
#endif

namespace {

constexpr int kSendFlags = MSG_DONTWAIT | MSG_NOSIGNAL;
// Bytes read from one viewer each time it is ready: a flood is served in
// portions between the ticks.
constexpr size_t kReadPortion = 64 * 1024;

// The shortest text that reads back as the value, with a point.
std::string Number(double value) {
  if (!std::isfinite(value)) return "null";
  char text[32];
  const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
  return std::string(text, r.ptr);
}

std::string Bool(bool value) {
  return value ? "true" : "false";
}

std::string Event(const char* name) {
  return std::string("{\"event\":\"") + name + "\"}";
}

std::string EventWithReason(const char* name, const std::string& reason) {
  return std::string("{\"event\":\"") + name + "\",\"reason\":" + JsonString(reason) + "}";
}

std::string Reply(int64_t id, const std::string& key = std::string(),
                  const std::string& reason = std::string(), bool ok = true) {
  std::string line = "{\"event\":\"reply\",\"id\":" + std::to_string(id);
  if (ok) return line + ",\"ok\":true}";
  return line + ",\"ok\":false,\"key\":" + JsonString(key) + ",\"reason\":" + JsonString(reason) +
         "}";
}

// Whether the process with these credentials has the group among its own
// (/proc/PID/status), or its user has it (the group file).
bool HasGroup(const ucred& peer, gid_t group) {
  char name[64];
  std::snprintf(name, sizeof name, "/proc/%d/status", static_cast<int>(peer.pid));
  const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    char text[8192];
    ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n > 0) {
      text[n] = '\0';
      // The process must still be the one that connected: its effective uid.
      const char* uid = std::strstr(text, "\nUid:");
      const char* groups = std::strstr(text, "\nGroups:");
      unsigned long real = 0, effective = 0;
      if (uid != nullptr && std::sscanf(uid + 5, "%lu %lu", &real, &effective) == 2 &&
          effective == peer.uid && groups != nullptr) {
        const char* p = groups + 8;
        while (*p != '\n' && *p != '\0') {
          char* end = nullptr;
          const unsigned long g = std::strtoul(p, &end, 10);
          if (end == p) break;
          if (g == group) return true;
          p = end;
          while (*p == ' ' || *p == '\t') ++p;
        }
      }
    }
  }
  // The user's groups as the system names them (a process may have been
  // hidden from the service).
  passwd pw{};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(peer.uid, &pw, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
    return false;
  int count = 64;
  std::vector<gid_t> list(static_cast<size_t>(count));
  if (::getgrouplist(pw.pw_name, pw.pw_gid, list.data(), &count) < 0) {
    if (count <= 0 || count > 65536) return false;
    list.resize(static_cast<size_t>(count));
    if (::getgrouplist(pw.pw_name, pw.pw_gid, list.data(), &count) < 0) return false;
  }
  list.resize(static_cast<size_t>(count));
  return std::find(list.begin(), list.end(), group) != list.end();
}

std::string GroupName(gid_t gid) {
  group gr{};
  group* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getgrgid_r(gid, &gr, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
    return gr.gr_name;
  return std::to_string(gid);
}

}  // namespace

Tviewer_server::Tviewer_server(Tservice& service, Tservice_loop& loop, Tservice_log& log,
                               Clock& clock)
    : service_(service), loop_(loop), log_(log), clock_(clock) {}

Tviewer_server::~Tviewer_server() {
  Close();
}

std::string Tviewer_server::SocketPath(const std::string& folder) {
  // The manager may give several folders, ':'-separated: the first is ours.
  if (const char* runtime = std::getenv("RUNTIME_DIRECTORY")) {
    const std::string first = std::string(runtime).substr(0, std::strcspn(runtime, ":"));
    if (!first.empty()) return first + "/" + kSocketName;
  }
  return folder + "/" + kSocketName;
}

size_t Tviewer_server::Viewers() const {
  size_t n = 0;
  for (const auto& v : viewers_) n += !v->dead;
  return n;
}

// ---------------------------------------------------------------------------
// The socket

bool Tviewer_server::Open(const std::string& path, const std::string& group) {
  Close();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string no = "Viewers' socket " + path + ": ";
  // Made under a name of its own and renamed into place once it listens in
  // its mode and group: a viewer never finds it half made.
  const std::string making = path + ".new";
  if (making.size() >= sizeof address.sun_path) {
    log_.Error(no + "the path is too long; the service runs without viewers");
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  // What is there already: a live service's socket stays (two services on
  // one folder would share one record), a dead one is replaced, and
  // anything that is no socket is left alone.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      log_.Error(no + "something else has that name; the service runs without viewers");
      return false;
    }
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int rc =
        probe < 0 ? -1 : ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int error = errno;
    if (probe >= 0) ::close(probe);
    if (rc == 0) {
      log_.Error(no + "another service answers there; the service runs without viewers");
      return false;
    }
    if (error != ECONNREFUSED || ::unlink(path.c_str()) != 0) {
      log_.Error(no + std::strerror(errno) + "; the service runs without viewers");
      return false;
    }
  }

  std::memcpy(address.sun_path, making.c_str(), making.size() + 1);
  ::unlink(making.c_str());  // left by a service that died making it
  listen_fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0 ||
      ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    log_.Error(no + std::strerror(errno) + "; the service runs without viewers");
    if (listen_fd_ >= 0) ::close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  ::chmod(making.c_str(), 0660);
  // The group where it exists (and the service may give it); the service's
  // own group otherwise. Whatever the file got is the group served.
  struct group gr {};
  struct group* found = nullptr;
  std::vector<char> buffer(16384);
  if (!group.empty() &&
      ::getgrnam_r(group.c_str(), &gr, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && ::chown(making.c_str(), static_cast<uid_t>(-1), gr.gr_gid) != 0) {
    log_.Warning(no + "cannot give it to group " + group + " (" + std::strerror(errno) +
                 "); the service's own group is served");
  }
  if (::stat(making.c_str(), &st) != 0 || ::listen(listen_fd_, 64) != 0 ||
      ::rename(making.c_str(), path.c_str()) != 0) {
    log_.Error(no + std::strerror(errno) + "; the service runs without viewers");
    ::unlink(making.c_str());
    Close();
    return false;
  }
  path_ = path;
  group_ = st.st_gid;
  group_name_ = GroupName(group_);
  queued_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (queued_fd_ < 0) {
    log_.Error(no + std::strerror(errno) + "; the service runs without viewers");
    Close();
    return false;
  }
  loop_.Watch(queued_fd_, POLLIN, [this](short) { WriteQueued(); });
  loop_.Watch(listen_fd_, POLLIN, [this](short) { Accept(); });
  if (!watching_station_) {
    service_.Station().AddSink(this, SinkOrder::kView);
    watching_station_ = true;
  }
  announced_ = StationJson();
  log_.Info("Viewers' socket: " + path + ", for group " + group_name_);
  return true;
}

void Tviewer_server::Close() {
  for (auto& v : viewers_) {
    if (v->dead) continue;
    loop_.Unwatch(v->fd);
    ::close(v->fd);
    v->dead = true;
  }
  if (busy_ == 0) viewers_.clear();
  if (listen_fd_ >= 0) {
    loop_.Unwatch(listen_fd_);
    ::close(listen_fd_);
    listen_fd_ = -1;
    ::unlink(path_.c_str());
  }
  if (queued_fd_ >= 0) {
    loop_.Unwatch(queued_fd_);
    ::close(queued_fd_);
    queued_fd_ = -1;
    queued_ = false;
  }
  pending_.clear();
  tick_lines_.clear();
  if (watching_station_) {
    service_.Station().RemoveSink(this);
    watching_station_ = false;
  }
}

void Tviewer_server::Stopping() {
  WriteQueued();
  Broadcast(Event("stopping"));
  Close();
}

// ---------------------------------------------------------------------------
// Viewers

Tviewer_server::Viewer* Tviewer_server::Find(uint64_t serial) {
  for (auto& v : viewers_)
    if (v->serial == serial && !v->dead) return v.get();
  return nullptr;
}

bool Tviewer_server::Allowed(const ucred& peer) const {
  if (peer.uid == 0 || peer.uid == ::geteuid()) return true;
  if (peer.gid == group_) return true;
  return HasGroup(peer, group_);
}

void Tviewer_server::Accept() {
  // A new viewer's first line is the hello: what the ticks kept goes to
  // the others first.
  QueuePending();
  ++busy_;
  // A few at a time: a crowd at the door is let in between the ticks.
  for (int i = 0; i < 16; ++i) {
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) break;
    ucred peer{};
    socklen_t length = sizeof peer;
    std::string why;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0)
      why = "the service cannot tell who is asking";
    else if (!Allowed(peer))
      why = "not a member of group " + group_name_;
    else if (Viewers() >= kMostViewers)
      why = "too many viewers";
    if (!why.empty()) {
      // A fresh socket takes one short line without waiting.
      const std::string line = EventWithReason("refused", why) + "\n";
      (void)::send(fd, line.data(), line.size(), kSendFlags);
      ::close(fd);
      log_.Info("A viewer was refused (uid " + std::to_string(peer.uid) + "): " + why);
      continue;
    }
    viewers_.push_back(std::make_unique<Viewer>());
    Viewer& v = *viewers_.back();
    v.serial = next_serial_++;
    v.fd = fd;
    v.peer = peer;
    v.window_ms = clock_.NowMs();
    Watch(v, false);
    Send(v, "{\"event\":\"hello\",\"version\":" + JsonString(BAROMETER_VERSION) +
                ",\"record\":" + JsonString(service_.RecordPath()) + "," + StationJson() + "}");
    // A module already lost is told to a newcomer too.
    if (module_ == Module::kLost) Send(v, EventWithReason("module_lost", module_reason_));
  }
  --busy_;
  Sweep();
}

void Tviewer_server::Watch(Viewer& v, bool writing) {
  const uint64_t serial = v.serial;
  loop_.Watch(v.fd, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)),
              [this, serial](short) { Ready(serial); });
  v.writing = writing;
}

void Tviewer_server::Ready(uint64_t serial) {
  ++busy_;
  // The flags are not trusted: each step asks the socket itself.
  if (Viewer* v = Find(serial)) {
    if (Flush(*v)) ReadFrom(*v);
  }
  --busy_;
  Sweep();
}

void Tviewer_server::Drop(Viewer& v, const std::string& last_line) {
  if (v.dead) return;
  v.tick_from = std::string::npos;
  if (!last_line.empty()) {
    // Told once, as far as the socket takes it now.
    v.out.erase(0, v.sent);
    v.sent = 0;
    v.out += last_line + "\n";
    (void)::send(v.fd, v.out.data(), v.out.size(), kSendFlags);
  }
  loop_.Unwatch(v.fd);
  ::close(v.fd);
  v.fd = -1;
  v.dead = true;
  v.in.clear();
  v.in.shrink_to_fit();
  v.out.clear();
  v.out.shrink_to_fit();
}

void Tviewer_server::Sweep() {
  if (busy_ != 0) return;
  viewers_.erase(std::remove_if(viewers_.begin(), viewers_.end(),
                                [](const std::unique_ptr<Viewer>& v) { return v->dead; }),
                 viewers_.end());
}

bool Tviewer_server::Send(Viewer& v, const std::string& line) {
  QueuePending();
  if (v.dead) return false;
  TakeTickLines(v);
  if (v.out.size() - v.sent + line.size() + 1 > kMostQueued) {
    log_.Info("A viewer was dropped: it read nothing while " +
              std::to_string(v.out.size() - v.sent) + " bytes waited for it");
    Drop(v);
    return false;
  }
  v.out += line;
  v.out += '\n';
  // With a backlog the socket is full: the loop says when it has room.
  if (v.writing) return true;
  return Flush(v);
}

void Tviewer_server::TakeTickLines(Viewer& v, size_t skip) {
  if (v.tick_from == std::string::npos) return;
  if (v.tick_from + skip < tick_lines_.size()) v.out.append(tick_lines_, v.tick_from + skip);
  v.tick_from = std::string::npos;
}

namespace {

// Sends what the socket takes now; false when the viewer is gone.
bool SendSome(int fd, const std::string& text, size_t* sent) {
  while (*sent < text.size()) {
    const ssize_t n = ::send(fd, text.data() + *sent, text.size() - *sent, kSendFlags);
    if (n > 0)
      *sent += static_cast<size_t>(n);
    else if (n < 0 && errno == EINTR)
      continue;
    else
      return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
  return true;
}

}  // namespace

bool Tviewer_server::Flush(Viewer& v) {
  if (v.tick_from != std::string::npos && v.out.empty()) {
    // Straight from the tick's lines: a viewer that keeps up costs no copy.
    size_t sent = v.tick_from;
    if (!SendSome(v.fd, tick_lines_, &sent)) {
      Drop(v);  // gone
      return false;
    }
    TakeTickLines(v, sent - v.tick_from);  // what the socket did not take
  }
  TakeTickLines(v);
  if (!SendSome(v.fd, v.out, &v.sent)) {
    Drop(v);  // gone
    return false;
  }
  if (v.sent == v.out.size()) {
    v.out.clear();
    v.sent = 0;
  } else if (v.sent >= kReadPortion) {
    v.out.erase(0, v.sent);
    v.sent = 0;
  }
  const bool backlog = !v.out.empty();
  if (backlog != v.writing) Watch(v, backlog);
  return true;
}

void Tviewer_server::ReadFrom(Viewer& v) {
  char buffer[4096];
  size_t portion = 0;
  while (portion < kReadPortion) {
    const ssize_t n = ::recv(v.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0) {
      Drop(v);  // the viewer closed
      return;
    }
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) Drop(v);
      return;
    }
    portion += static_cast<size_t>(n);
    const char* p = buffer;
    const char* end = buffer + n;
    while (p < end) {
      const char* newline = static_cast<const char*>(std::memchr(p, '\n', end - p));
      const char* stop = newline != nullptr ? newline : end;
      v.in.append(p, stop);
      if (v.in.size() > Tviewer_request::kLongestLine) {
        Drop(v, EventWithReason("error", "a line is longer than 64 KiB"));
        return;
      }
      if (newline == nullptr) break;
      std::string line;
      line.swap(v.in);
      Handle(v, line);
      if (v.dead) return;
      p = newline + 1;
    }
  }
}

void Tviewer_server::Handle(Viewer& v, const std::string& line) {
  const int64_t now = clock_.NowMs();
  if (now - v.window_ms >= 1000 || now < v.window_ms) {
    v.window_ms = now;
    v.requests = 0;
  }
  if (++v.requests > kMostRequestsPerSecond) {
    log_.Info("A viewer was dropped: more than " + std::to_string(kMostRequestsPerSecond) +
              " requests a second");
    Drop(v, EventWithReason("error", "more than 100 requests a second"));
    return;
  }
  Tviewer_request request;
  if (!request.Parse(line)) {
    if (request.id && !request.key.empty())
      Send(v, Reply(*request.id, request.key, request.reason, false));
    else
      Send(v, EventWithReason("error", request.reason));
    return;
  }
  if (request.kind == Tviewer_request::Kind::kPing) {
    Send(v, Reply(*request.id));
    return;
  }
  // Who may change the station's settings is asked again at each change.
  if (!Allowed(v.peer)) {
    Drop(v, EventWithReason("refused", "not a member of group " + group_name_));
    return;
  }
  const uint64_t serial = v.serial;
  const std::optional<Tservice::Refusal> refusal = service_.ChangeSettings(request.settings);
  // A new ts takes a sample at once, which went to every viewer: this one
  // may have been dropped meanwhile.
  Viewer* still = Find(serial);
  if (still != nullptr) {
    if (refusal)
      Send(*still, Reply(*request.id, refusal->key, refusal->reason, false));
    else
      Send(*still, Reply(*request.id));
  }
  AnnounceSettingsIfChanged();
}

// ---------------------------------------------------------------------------
// What every viewer gets

void Tviewer_server::Broadcast(const std::string& line) {
  ++busy_;
  for (size_t i = 0; i < viewers_.size(); ++i) {
    Viewer& v = *viewers_[i];
    if (!v.dead) Send(v, line);
  }
  --busy_;
  Sweep();
}

void Tviewer_server::Queue(const std::string& line) {
  bool any = false, shared = false;
  for (const auto& p : viewers_) {
    Viewer& v = *p;
    if (v.dead) continue;
    // Without a backlog the viewer shares the tick's lines (a few hundred
    // bytes): no copy for each viewer in the tick.
    if (v.tick_from == std::string::npos && v.out.empty() && !v.writing)
      v.tick_from = tick_lines_.size();
    if (v.tick_from != std::string::npos) {
      shared = true;
    } else if (v.out.size() - v.sent + line.size() + 1 > kMostQueued) {
      log_.Info("A viewer was dropped: it read nothing while " +
                std::to_string(v.out.size() - v.sent) + " bytes waited for it");
      Drop(v);
      continue;
    } else {
      v.out += line;
      v.out += '\n';
    }
    // With a backlog the loop already watches for room.
    if (!v.writing) {
      v.queued = true;
      any = true;
    }
  }
  if (shared) {
    tick_lines_ += line;
    tick_lines_ += '\n';
  }
  if (any) WakeWriter();
}

void Tviewer_server::WriteQueued() {
  if (queued_fd_ >= 0) {
    uint64_t count = 0;
    (void)!::read(queued_fd_, &count, sizeof count);
  }
  queued_ = false;
  QueuePending();
  if (announce_pending_) {
    announce_pending_ = false;
    AnnounceSettingsIfChanged();
  }
  ++busy_;
  for (size_t i = 0; i < viewers_.size(); ++i) {
    Viewer& v = *viewers_[i];
    if (v.dead || !v.queued) continue;
    v.queued = false;
    Flush(v);
  }
  // Every viewer that shared the tick's lines has sent or taken them.
  for (const auto& p : viewers_) TakeTickLines(*p);
  tick_lines_.clear();
  --busy_;
  Sweep();
}

void Tviewer_server::AnnounceSettingsIfChanged() {
  std::string station = StationJson();
  if (station == announced_) return;
  announced_ = station;
  Broadcast("{\"event\":\"settings\"," + station + "}");
}

std::string Tviewer_server::StationJson() const {
  std::string j = "\"port\":" + JsonString(service_.PortText()) + ",\"settings\":" + SettingsJson();
  if (const std::optional<Tsensor_wc> c = service_.ModuleCalibration()) {
    j += ",\"calibration\":{\"w1\":" + std::to_string(c->W1) + ",\"w2\":" + std::to_string(c->W2) +
         ",\"w3\":" + std::to_string(c->W3) + ",\"w4\":" + std::to_string(c->W4) + "}";
  }
  return j;
}

std::string Tviewer_server::SettingsJson() const {
  SettingValues v;
  service_.Station().GetParameters(v);
  const ReadingSettings& r = service_.Readings();
  const TmqttSettings& m = service_.Mqtt();
  std::string j = "{";
  auto key = [&j](const char* name) {
    if (j.size() > 1) j += ',';
    j += '"';
    j += name;
    j += "\":";
  };
  auto number = [&](const char* name, double value) {
    key(name);
    j += Number(value);
  };
  auto flag = [&](const char* name, bool value) {
    key(name);
    j += Bool(value);
  };
  auto text = [&](const char* name, const std::string& value) {
    key(name);
    j += JsonString(value);
  };
  number("n", v[kSamplingN]);
  number("ts", v[kSamplingTs]);
  number("altitude", v[kAltitude]);
  number("sunny_limit", v[kSunnyLimit]);
  number("variable_limit", v[kVariableLimit]);
  number("overcast_limit", v[kOvercastLimit]);
  number("hysteresis", v[kHysteresis]);
  number("quick_down_rate", v[kQuickDownRate]);
  number("slow_down_rate", v[kSlowDownRate]);
  number("quick_up_rate", v[kQuickUpRate]);
  number("slow_up_rate", v[kSlowUpRate]);
  number("pressure_correction", r.pressure_correction);
  number("temperature_correction", r.temperature_correction);
  flag("storm_warning", r.storm_warning);
  number("storm_threshold", r.storm_threshold);
  flag("mqtt_enabled", m.enabled);
  text("mqtt_host", m.host);
  number("mqtt_port", m.port);
  flag("mqtt_tls", m.tls);
  text("mqtt_user", m.user);
  text("mqtt_base_topic", m.base_topic);
  number("mqtt_interval", m.interval);
  flag("mqtt_retain", m.retain);
  flag("mqtt_discovery", m.discovery);
  text("mqtt_client_id", m.client_id);
  // Never the password, nor anything of the CA file.
  // The port's keys, as barometer.ini names them (none for fixed lines).
  if (const PortChoice* port = service_.Port()) {
    for (const PortKeyValue& k : PortKeyValues(*port)) {
      key(k.key);
      j += k.number ? k.value : JsonString(k.value);
    }
  }
  j += '}';
  return j;
}

std::string Tviewer_server::SampleLine(const Sample& sample) {
  std::string line = "{\"event\":\"sample\",";
  if (sample.good) {
    const std::string state = StateJson(Tpublisher::StateOf(sample));
    line.append(state, 1, state.size() - 2);
  } else {
    line += "\"time\":" + JsonString(IsoLocalTime(sample.time));
  }
  line += ",\"good\":" + Bool(sample.good);
  // A warning that is up, with what the storm_raised event told (a viewer
  // that came later gets it here).
  if (sample.good && sample.storm_active) {
    line += ",\"storm_fall\":" + Number(std::round(sample.storm_fall * 10) / 10);
    line += ",\"storm_since\":" + JsonString(IsoLocalTime(sample.storm_since));
  }
  line += ",\"d1\":" + (sample.d1 ? std::to_string(*sample.d1) : std::string("null"));
  line += ",\"d2\":" + (sample.d2 ? std::to_string(*sample.d2) : std::string("null"));
  line += ",\"reason\":" + JsonString(sample.reason) + "}";
  return line;
}

void Tviewer_server::OnSample(const Sample& sample) {
  // The events come from what the samples tell, before the sample itself.
  std::string events[2];
  if (sample.good) {
    if (module_ == Module::kLost) events[0] = Event("module_back");
    // A module found or back may have another calibration.
    if (module_ != Module::kThere) announce_pending_ = true;
    module_ = Module::kThere;
  } else if (sample.failure == SampleFailure::kNoModule ||
             sample.failure == SampleFailure::kReadError) {
    if (module_ != Module::kLost) {
      module_reason_ = sample.reason.empty() ? "no answer" : sample.reason;
      events[0] = EventWithReason("module_lost", module_reason_);
    }
    module_ = Module::kLost;
  }
  if (sample.storm_active && !storm_active_) {
    events[1] =
        "{\"event\":\"storm_raised\",\"fall\":" + Number(std::round(sample.storm_fall * 10) / 10) +
        ",\"since\":" + JsonString(IsoLocalTime(sample.storm_since)) + "}";
  } else if (!sample.storm_active && storm_active_) {
    events[1] = Event("storm_cleared");
  }
  storm_active_ = sample.storm_active;
  if (Viewers() == 0) return;
  // Kept only: the loop makes the lines and writes them once the tick is
  // done.
  pending_.push_back(Pending{{std::move(events[0]), std::move(events[1])}, sample});
  WakeWriter();
}

void Tviewer_server::QueuePending() {
  if (pending_.empty()) return;
  std::vector<Pending> pending;
  pending.swap(pending_);
  ++busy_;
  for (const Pending& p : pending) {
    for (const std::string& e : p.events)
      if (!e.empty()) Queue(e);
    Queue(SampleLine(p.sample));
  }
  --busy_;  // the callers sweep: some hold a viewer
}

void Tviewer_server::WakeWriter() {
  if (queued_ || queued_fd_ < 0) return;
  const uint64_t one = 1;
  queued_ = ::write(queued_fd_, &one, sizeof one) == static_cast<ssize_t>(sizeof one);
}
