// The viewer's end of the recording service's socket: a connection that
// never blocks the caller, lines read into events, requests written out.

#include "station/Tviewer_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

#include "publish/Mqtt_messages.h"

namespace {

bool ReadDigits(std::string_view text, size_t at, size_t count, int& value) {
  if (at + count > text.size()) return false;
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

std::optional<int32_t> WordOf(const Tjson& line, std::string_view key) {
  const Tjson* v = line.Find(key);
  if (v == nullptr || !v->IsNumber()) return std::nullopt;
  // The module's words are 16-bit; anything outside int32 is no word.
  if (!(v->number >= INT32_MIN && v->number <= INT32_MAX)) return std::nullopt;
  return static_cast<int32_t>(v->number);
}

WeatherClass WeatherOf(const std::string& text, Precipitation& precipitation) {
  precipitation = Precipitation::kNone;
  for (const WeatherClass w : {WeatherSunny, WeatherVariable, WeatherOvercast})
    if (text == WeatherText(w, Precipitation::kNone)) return w;
  for (const Precipitation p :
       {Precipitation::kRain, Precipitation::kRainAndSnow, Precipitation::kSnow})
    if (text == WeatherText(WeatherPrecipitation, p)) {
      precipitation = p;
      return WeatherPrecipitation;
    }
  return WeatherNone;
}

// A sample line: a failed one has its time, words and reason only.
bool FillSample(const Tjson& line, Sample& s) {
  const Tjson* good = line.Find("good");
  if (good == nullptr || !good->IsBool()) return false;
  const auto time = Tviewer_link::ParseIsoTime(line.TextOf("time"));
  if (!time) return false;
  s.time = *time;
  s.good = good->boolean;
  s.d1 = WordOf(line, "d1");
  s.d2 = WordOf(line, "d2");
  s.source = s.d1 && s.d2 ? SampleSourceKind::kModule : SampleSourceKind::kIio;
  s.reason = line.TextOf("reason");
  if (!s.good) {
    s.failure = SampleFailure::kNone;
    return true;
  }
  for (const char* key : {"pressure", "sea_level_pressure", "temperature", "altitude"}) {
    const Tjson* v = line.Find(key);
    if (v == nullptr || !v->IsNumber()) return false;
  }
  s.pressure = line.NumberOf("pressure", 0);
  s.sea_level_pressure = line.NumberOf("sea_level_pressure", 0);
  s.temperature = line.NumberOf("temperature", 0);
  s.altitude = line.NumberOf("altitude", 0);
  s.weather = WeatherOf(line.TextOf("weather"), s.precipitation);
  const std::string trend = line.TextOf("trend");
  s.has_trend = false;
  for (int t = TrendQuickDown; t <= TrendSlowUp; ++t)
    if (!trend.empty() && trend == TrendText(static_cast<TrendClass>(t))) {
      s.trend = static_cast<TrendClass>(t);
      s.has_trend = true;
    }
  const Tjson* tendency = line.Find("tendency_3h");
  if (tendency != nullptr && tendency->IsNumber()) s.tendency_3h = tendency->number;
  s.tendency_reason = line.TextOf("tendency_reason");
  const double code = line.NumberOf("tendency_code", -1);
  s.tendency_code = code >= 0 && code <= 8 ? static_cast<int>(code) : -1;
  s.storm_active = line.BoolOf("storm_warning", false);
  if (s.storm_active) {
    s.storm_fall = line.NumberOf("storm_fall", 0);
    s.storm_since = Tviewer_link::ParseIsoTime(line.TextOf("storm_since")).value_or(0);
  }
  return true;
}

}  // namespace

std::optional<std::time_t> Tviewer_link::ParseIsoTime(std::string_view t) {
  int year, month, day, hour, minute, second;
  if (!ReadDigits(t, 0, 4, year) || t.size() < 19 || t[4] != '-' || !ReadDigits(t, 5, 2, month) ||
      t[7] != '-' || !ReadDigits(t, 8, 2, day) || t[10] != 'T' || !ReadDigits(t, 11, 2, hour) ||
      t[13] != ':' || !ReadDigits(t, 14, 2, minute) || t[16] != ':' ||
      !ReadDigits(t, 17, 2, second))
    return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
    return std::nullopt;
  int offset = 0;
  const std::string_view zone = t.substr(19);
  if (zone == "Z") {
    offset = 0;
  } else {
    int oh, om;
    if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || !ReadDigits(zone, 1, 2, oh) ||
        zone[3] != ':' || !ReadDigits(zone, 4, 2, om) || oh > 23 || om > 59)
      return std::nullopt;
    offset = (oh * 3600 + om * 60) * (zone[0] == '-' ? -1 : 1);
  }
  const int64_t days =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  return static_cast<std::time_t>(days * 86400 + hour * 3600 + minute * 60 + second - offset);
}

namespace {

// What the hello and a settings event tell of the station: the port in
// words, the settings, the module's calibration words. False when a part
// that is there has the wrong shape.
bool TakeStation(const Tjson& line, ViewerEvent& e) {
  e.port = line.TextOf("port");
  if (const Tjson* settings = line.Find("settings")) {
    if (!settings->IsObject()) return false;
    e.settings = *settings;
  }
  if (const Tjson* words = line.Find("calibration")) {
    if (!words->IsObject()) return false;
    Tsensor_wc c;
    int32_t* const fields[4] = {&c.W1, &c.W2, &c.W3, &c.W4};
    const char* const names[4] = {"w1", "w2", "w3", "w4"};
    for (int i = 0; i < 4; ++i) {
      const double w = words->NumberOf(names[i], -1);
      if (!(w >= 0 && w <= 0xFFFF && w == std::floor(w))) return false;
      *fields[i] = static_cast<int32_t>(w);
    }
    c.WordsToCoefficients();
    e.calibration = c;
  }
  return true;
}

}  // namespace

std::optional<ViewerEvent> Tviewer_link::ParseLine(std::string_view text) {
  const std::optional<Tjson> parsed = Tjson::Parse(text);
  if (!parsed || !parsed->IsObject()) return std::nullopt;
  const Tjson& line = *parsed;
  const std::string name = line.TextOf("event");
  ViewerEvent e;
  e.reason = line.TextOf("reason");
  if (name == "hello") {
    e.kind = ViewerEvent::Kind::kHello;
    e.version = line.TextOf("version");
    e.record = line.TextOf("record");
    if (!TakeStation(line, e)) return std::nullopt;
  } else if (name == "sample") {
    e.kind = ViewerEvent::Kind::kSample;
    if (!FillSample(line, e.sample)) return std::nullopt;
  } else if (name == "module_lost") {
    e.kind = ViewerEvent::Kind::kModuleLost;
  } else if (name == "module_back") {
    e.kind = ViewerEvent::Kind::kModuleBack;
  } else if (name == "storm_raised") {
    e.kind = ViewerEvent::Kind::kStormRaised;
    e.fall = line.NumberOf("fall", 0);
    e.since = ParseIsoTime(line.TextOf("since")).value_or(0);
  } else if (name == "storm_cleared") {
    e.kind = ViewerEvent::Kind::kStormCleared;
  } else if (name == "settings") {
    e.kind = ViewerEvent::Kind::kSettings;
    if (!TakeStation(line, e) || !e.settings.IsObject()) return std::nullopt;
  } else if (name == "stopping") {
    e.kind = ViewerEvent::Kind::kStopping;
  } else if (name == "reply") {
    e.kind = ViewerEvent::Kind::kReply;
    const double id = line.NumberOf("id", -1);
    if (!(id >= 0 && id < 9e15)) return std::nullopt;
    e.id = static_cast<int64_t>(id);
    e.ok = line.BoolOf("ok", false);
    e.key = line.TextOf("key");
  } else if (name == "error") {
    e.kind = ViewerEvent::Kind::kError;
  } else if (name == "refused") {
    e.kind = ViewerEvent::Kind::kRefused;
  } else {
    return std::nullopt;
  }
  return e;
}

Tviewer_link::Tviewer_link(std::string path) : path_(std::move(path)) {}

Tviewer_link::~Tviewer_link() {
  if (fd_ >= 0) ::close(fd_);
}

std::string Tviewer_link::StateText() const {
  switch (state_) {
    case State::kConnected:
      return hello_ ? "Connected to the recording service" : "Connecting to the recording service";
    case State::kRefused:
      return kRefusedText;
    case State::kStopped:
      return "Recording service stopped";
    case State::kNoService:
      break;
  }
  return "No recording service at " + path_ + (why_.empty() ? "" : ": " + why_);
}

void Tviewer_link::TryConnect() {
  tried_ = true;
  last_try_ = std::chrono::steady_clock::now();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path_.empty() || path_.size() >= sizeof address.sun_path) {
    why_ = "the path is too long for a socket";
    return;
  }
  std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    why_ = std::strerror(errno);
    return;
  }
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    ::close(fd);
    why_ = std::strerror(error);
    // The file's mode keeps this user out: the service is there all the
    // same, and the port is its.
    if (error == EACCES || error == EPERM)
      state_ = State::kRefused;
    else if (!ever_connected_ && state_ != State::kRefused)
      state_ = State::kNoService;
    return;
  }
  fd_ = fd;
  why_.clear();
  in_.clear();
  out_.clear();
  skipping_ = false;
  hello_ = false;
  state_ = State::kConnected;
  ever_connected_ = true;
}

void Tviewer_link::Close(State state, std::vector<ViewerEvent>* events) {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  in_.clear();
  out_.clear();
  hello_ = false;
  state_ = state;
  if (events != nullptr) {
    ViewerEvent e;
    e.kind = ViewerEvent::Kind::kDisconnected;
    events->push_back(std::move(e));
  }
}

void Tviewer_link::Poll(std::vector<ViewerEvent>& events) {
  if (fd_ < 0) {
    const auto now = std::chrono::steady_clock::now();
    if (!tried_ || now - last_try_ >= std::chrono::milliseconds(kRetryMs)) TryConnect();
  }
  if (fd_ < 0) return;
  Flush();
  if (fd_ >= 0) ReadAvailable(events);
}

bool Tviewer_link::WaitForHello(int ms, std::vector<ViewerEvent>& events) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  if (fd_ < 0) TryConnect();
  while (fd_ >= 0 && !hello_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          end - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) break;
    ReadAvailable(events);
  }
  return hello_;
}

void Tviewer_link::ReadAvailable(std::vector<ViewerEvent>& events) {
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n > 0) {
      size_t start = 0;
      for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
        if (buffer[i] != '\n') continue;
        if (!skipping_ && in_.size() + (i - start) <= kMaxLine) {
          in_.append(buffer + start, i - start);
          TakeLine(in_, events);
        }
        in_.clear();
        skipping_ = false;
        start = i + 1;
        if (fd_ < 0) return;  // a refusal closed it
      }
      if (!skipping_) {
        in_.append(buffer + start, static_cast<size_t>(n) - start);
        if (in_.size() > kMaxLine) {
          in_.clear();
          skipping_ = true;
        }
      }
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    // The end of the connection (or an error on it): the service went.
    Close(state_ == State::kRefused ? State::kRefused : State::kStopped, &events);
    return;
  }
}

void Tviewer_link::TakeLine(std::string_view line, std::vector<ViewerEvent>& events) {
  std::optional<ViewerEvent> e = ParseLine(line);
  if (!e) return;  // not one of the service's lines: nothing to show of it
  switch (e->kind) {
    case ViewerEvent::Kind::kHello:
      hello_ = true;
      break;
    case ViewerEvent::Kind::kRefused:
      state_ = State::kRefused;
      events.push_back(std::move(*e));
      Close(State::kRefused, &events);
      return;
    default:
      break;
  }
  events.push_back(std::move(*e));
}

void Tviewer_link::Flush() {
  while (fd_ >= 0 && !out_.empty()) {
    const ssize_t n = ::send(fd_, out_.data(), out_.size(), MSG_NOSIGNAL);
    if (n > 0) {
      out_.erase(0, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    // Broken: the read side tells the end at the next Poll.
    out_.clear();
    return;
  }
}

int64_t Tviewer_link::Send(const std::string& line) {
  if (fd_ < 0 || !hello_) return 0;
  if (out_.size() + line.size() > kMaxQueue) return 0;
  out_ += line;
  Flush();
  return next_id_++;
}

int64_t Tviewer_link::SendSet(const std::vector<std::pair<std::string, Tjson>>& settings) {
  Tjson object;
  object.type = Tjson::Type::kObject;
  object.members = settings;
  return Send("{\"request\":\"set\",\"id\":" + std::to_string(next_id_) +
              ",\"settings\":" + object.Write() + "}\n");
}

int64_t Tviewer_link::SendPing() {
  return Send("{\"request\":\"ping\",\"id\":" + std::to_string(next_id_) + "}\n");
}
