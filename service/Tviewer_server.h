#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "station/Tstation.h"

class Clock;
class Tservice;
class Tservice_log;
class Tservice_loop;
struct Tviewer_setting;

// The viewers' socket: a local stream socket that carries one JSON object a
// line. A viewer is greeted with the service's version, the record's path,
// the port and the settings in force (never a secret), then gets every
// sample and the events (module lost or back, storm warning raised or
// cleared, settings changed, stopping); it may ask for a ping or send
// settings, which the service checks, applies, saves and announces to every
// viewer.
//
// Only the service's group may use it: the socket is mode 0660 in that
// group, and each peer's credentials are checked when it connects and at
// each change of settings (root, the service's own user, or a member of the
// socket's group); anyone else gets one "refused" line and is closed.
//
// Everything runs in the service's loop, and nothing waits for a viewer:
// writes never block, a viewer whose queue passes kMostQueued is dropped,
// a request line beyond Tviewer_request::kLongestLine or more than
// kMostRequestsPerSecond requests close the connection.
class Tviewer_server : private TstationSink {
 public:
  static constexpr const char* kSocketName = "barometer.sock";
  static constexpr size_t kMostQueued = 1024 * 1024;
  static constexpr int kMostRequestsPerSecond = 100;
  static constexpr size_t kMostViewers = 128;

  Tviewer_server(Tservice& service, Tservice_loop& loop, Tservice_log& log, Clock& clock);
  ~Tviewer_server() override;  // Close()
  Tviewer_server(const Tviewer_server&) = delete;
  Tviewer_server& operator=(const Tviewer_server&) = delete;

  // Where the socket goes: the service manager's runtime folder
  // ($RUNTIME_DIRECTORY) when it gives one, else the service's folder.
  static std::string SocketPath(const std::string& folder);

  // Makes the socket at the path (a dead one left there is replaced; a live
  // service's is not), in `group` when that group exists, and starts
  // watching it and the station. False, logged, when it cannot: the
  // service measures on without viewers.
  bool Open(const std::string& path, const std::string& group = "barometer");
  // After a reload: the settings to every viewer, when they changed.
  void AnnounceSettingsIfChanged();
  // The service stops: "stopping" to every viewer, what is queued written
  // as far as it goes without waiting, then everything closed and the
  // socket removed.
  void Stopping();
  void Close();

  const std::string& Path() const { return path_; }
  size_t Viewers() const;
  // The group whose members are served.
  gid_t Group() const { return group_; }

  // Writes what the samples queued for the viewers, without waiting. The
  // tick only keeps its sample (one copy, whatever the number of viewers);
  // the loop calls this right after it, through a descriptor of its own,
  // so that neither the lines nor their writing cost the tick.
  void WriteQueued();

  // The settings in force as the viewers get them.
  std::string SettingsJson() const;
  // What a viewer is told of the station, in the hello and in each
  // "settings" event: the port in words, the settings, and the module's
  // calibration when it has one ("port":…,"settings":{…},"calibration":{…}).
  std::string StationJson() const;
  // One sample's line.
  static std::string SampleLine(const Sample& sample);

 private:
  struct Viewer {
    uint64_t serial = 0;
    int fd = -1;
    ucred peer{};
    std::string in;
    std::string out;
    size_t sent = 0;       // of `out`
    bool writing = false;  // watched for POLLOUT
    bool queued = false;   // lines queued by a tick, not yet written
    // Where this viewer's share of the tick's lines begins (kNoTick: none);
    // a viewer without a backlog shares them instead of a copy of its own.
    size_t tick_from = std::string::npos;
    int64_t window_ms = 0;
    int requests = 0;
    bool dead = false;
  };

  void OnSample(const Sample& sample) override;
  void Accept();
  void Ready(uint64_t serial);
  void ReadFrom(Viewer& v);
  void Handle(Viewer& v, const std::string& line);
  // Queues a line and writes what it can; false when the viewer was dropped.
  bool Send(Viewer& v, const std::string& line);
  // Writes what is queued without waiting; false when the viewer was dropped.
  bool Flush(Viewer& v);
  // The tick's lines this viewer shares, from `skip` bytes on, moved into
  // its own queue (before anything else goes there, so the order holds).
  void TakeTickLines(Viewer& v, size_t skip = 0);
  void Watch(Viewer& v, bool writing);
  // Tells why (when `why` is given), then closes.
  void Drop(Viewer& v, const std::string& why = std::string());
  void Broadcast(const std::string& line);
  // The same outside a request: queued only, written by WriteQueued.
  void Queue(const std::string& line);
  // The samples the ticks kept, made into lines and queued: before anything
  // else is sent, so that the order holds, and by WriteQueued.
  void QueuePending();
  // Makes the loop call WriteQueued once it is free.
  void WakeWriter();
  // Removes the dropped viewers once no callback of theirs runs.
  void Sweep();
  Viewer* Find(uint64_t serial);
  bool Allowed(const ucred& peer) const;

  Tservice& service_;
  Tservice_loop& loop_;
  Tservice_log& log_;
  Clock& clock_;
  std::string path_;
  int listen_fd_ = -1;
  // Readable when a tick queued lines (an eventfd).
  int queued_fd_ = -1;
  // The lines of this tick, for the viewers that share them.
  std::string tick_lines_;
  // What the ticks told since the last writing: the events, then the
  // sample, made into lines only after the tick.
  struct Pending {
    std::string events[2];
    Sample sample;
  };
  std::vector<Pending> pending_;
  bool queued_ = false;
  gid_t group_ = 0;
  std::string group_name_;
  std::vector<std::unique_ptr<Viewer>> viewers_;
  uint64_t next_serial_ = 1;
  int busy_ = 0;
  std::string announced_;
  // What the samples told last, for the events.
  enum class Module : uint8_t { kUnknown, kThere, kLost } module_ = Module::kUnknown;
  std::string module_reason_;  // why it was lost
  bool storm_active_ = false;
  // A module was found: its calibration goes to the viewers after the tick.
  bool announce_pending_ = false;
  bool watching_station_ = false;
};
