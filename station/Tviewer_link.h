#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sensor/Tsensor_wc.h"
#include "station/Sample.h"
#include "station/Tjson.h"

// One line the recording service sent its viewer, read into plain values.
struct ViewerEvent {
  enum class Kind {
    kHello,
    kSample,
    kModuleLost,
    kModuleBack,
    kStormRaised,
    kStormCleared,
    kSettings,
    kStopping,
    kReply,
    kError,
    kRefused,
    // Not a line: the connection ended (the service stopped or went away).
    kDisconnected,
  };
  Kind kind = Kind::kError;
  // kHello: the service's version and its record's path; kHello,
  // kSettings: its port in words.
  std::string version, record, port;
  // kHello, kSettings: the station's settings in force (an object), and
  // the module's calibration words when it has them (C1..C6 unpacked).
  Tjson settings;
  std::optional<Tsensor_wc> calibration;
  // kSample.
  Sample sample;
  // kStormRaised: the fall [mbar in 3 h] and since when.
  double fall = 0;
  std::time_t since = 0;
  // kReply: the request answered, whether taken, and what was refused why.
  int64_t id = 0;
  bool ok = false;
  std::string key;
  // kModuleLost, kReply, kError, kRefused: why, in words.
  std::string reason;
};

// The viewer's side of the recording service's socket, without any toolkit:
// connects without blocking, reads newline-terminated JSON lines with a
// bounded buffer, turns them into events, and sends requests. It connects
// again by itself while the service is away; the caller calls Poll() when
// the socket is readable and at least every RetryMs().
class Tviewer_link {
 public:
  enum class State {
    kNoService,  // nothing answers at the path
    kConnected,  // connected (the service said hello)
    kRefused,    // the service or the file's mode does not let this user in
    kStopped,    // it was connected and the service went away
  };
  // A line longer than this is skipped whole: no service line comes near.
  static constexpr size_t kMaxLine = 64 * 1024;
  // Requests not yet written wait in a queue of at most this many bytes.
  static constexpr size_t kMaxQueue = 256 * 1024;
  static constexpr int kRetryMs = 500;
  static constexpr const char* kDefaultPath = "/run/barometer/barometer.sock";

  explicit Tviewer_link(std::string path);
  ~Tviewer_link();
  Tviewer_link(const Tviewer_link&) = delete;
  Tviewer_link& operator=(const Tviewer_link&) = delete;

  const std::string& Path() const { return path_; }
  // Connects when not connected and the last try is kRetryMs old, reads
  // what has come, writes what waits, and appends the events to `events`.
  void Poll(std::vector<ViewerEvent>& events);
  // Waits at most `ms` for the service's hello (connecting first), without
  // letting any other event go: true when it came.
  bool WaitForHello(int ms, std::vector<ViewerEvent>& events);
  // The socket while connected, else -1 (for a read notifier).
  int Fd() const { return fd_; }
  State GetState() const { return state_; }
  // The state in words: "Connected to the recording service", or why not.
  std::string StateText() const;
  // Asks the service to take the settings given (an object's members);
  // returns the request's id, 0 when not connected or the queue is full.
  int64_t SendSet(const std::vector<std::pair<std::string, Tjson>>& settings);
  int64_t SendPing();

  // One line read into its event; nothing for a line that is not one of the
  // service's (bad JSON, an unknown event, fields of the wrong type).
  static std::optional<ViewerEvent> ParseLine(std::string_view line);
  // Calendar seconds of an ISO 8601 time with its offset
  // ("2026-12-09T05:13:47+01:00", "...Z"); nothing when it is none.
  static std::optional<std::time_t> ParseIsoTime(std::string_view text);

  static constexpr const char* kRefusedText =
      "A recording service runs here; to see it, join group barometer: sudo adduser $USER "
      "barometer, then log in again";

 private:
  void TryConnect();
  void Close(State state, std::vector<ViewerEvent>* events);
  void ReadAvailable(std::vector<ViewerEvent>& events);
  void TakeLine(std::string_view line, std::vector<ViewerEvent>& events);
  void Flush();
  int64_t Send(const std::string& line);

  std::string path_;
  int fd_ = -1;
  State state_ = State::kNoService;
  bool ever_connected_ = false;
  bool hello_ = false;
  std::string why_;  // the last failure to connect, in words
  std::string in_;
  bool skipping_ = false;  // in a line over the limit, up to its end
  std::string out_;
  int64_t next_id_ = 1;
  std::chrono::steady_clock::time_point last_try_{};
  bool tried_ = false;
};
