#pragma once

#include <signal.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Clock;
class Tcadence;
class Tsd_notify;
class Tservice_log;

// The service's one loop, on the thread that measures: it waits (poll) until
// the next tick is due, a signal comes or a watched descriptor is ready, and
// runs the tick there. Signals only wake it (signalfd): SIGTERM and SIGINT
// end it, SIGHUP reads the settings again, all in the loop, never in a
// handler.
//
// The manager hears READY=1 when the loop starts, RELOADING=1 and READY=1
// around a reload, STOPPING=1 when it ends, and WATCHDOG=1 after a tick
// (at least twice per watchdog interval): a tick that hangs in a port call
// stops the watchdog messages, and the manager restarts the service. No
// other thread ever sends them.
class Tservice_loop {
 public:
  // notify and log may be null. With sleep_on_clock the loop never blocks in
  // poll but sleeps on the clock instead: a VirtualClock then runs days of
  // ticks in moments.
  Tservice_loop(Clock& clock, Tcadence& cadence, Tsd_notify* notify, Tservice_log* log,
                bool sleep_on_clock = false);
  ~Tservice_loop();
  Tservice_loop(const Tservice_loop&) = delete;
  Tservice_loop& operator=(const Tservice_loop&) = delete;

  // One tick of the station.
  std::function<void()> on_tick;
  // SIGHUP: read the settings files again and apply them.
  std::function<void()> on_reload;

  // Blocks SIGTERM, SIGINT and SIGHUP in the calling thread and makes their
  // descriptor. Call it before any thread starts, so that those threads
  // inherit the mask and the signals reach the loop; false with the reason.
  bool Open(std::string* error);
  // Watches fd for events (POLLIN, ...); ready runs in the loop when it is.
  void Watch(int fd, short events, std::function<void(short revents)> ready);
  void Unwatch(int fd);

  // Runs until SIGTERM or SIGINT, or Stop(); the signal that ended it, 0
  // after Stop() or when the loop could not wait.
  int Run();
  // Ends Run() after the callback that calls it.
  void Stop() { stop_ = true; }

  uint64_t Ticks() const { return ticks_; }

 private:
  struct Watched {
    int fd;
    short events;
    std::function<void(short)> ready;
  };

  // Reads the signals pending on the descriptor; the one that ends the loop
  // (0 when none).
  int HandleSignals();
  void Tick();
  void Reload();

  Clock& clock_;
  Tcadence& cadence_;
  Tsd_notify* notify_;
  Tservice_log* log_;
  bool sleep_on_clock_;
  int signal_fd_ = -1;
  sigset_t old_mask_{};
  bool mask_set_ = false;
  std::vector<Watched> watched_;
  bool stop_ = false;
  uint64_t ticks_ = 0;
  int64_t last_watchdog_ms_ = 0;
  bool watchdog_sent_ = false;
};
