#pragma once

#include <cstdint>
#include <string>

// The service manager's notification protocol: datagrams to the socket named
// by NOTIFY_SOCKET, sent through libsystemd. Without a manager (no
// NOTIFY_SOCKET, as when started by hand) every call does nothing.
class Tsd_notify {
 public:
  // Reads the watchdog interval from the environment (WATCHDOG_USEC, for
  // this process only when WATCHDOG_PID names it).
  Tsd_notify();

  // Start-up done: the record is open and the loop runs.
  bool Ready() { return Send("READY=1"); }
  // The state in words; sent only when it differs from the last one sent.
  bool Status(const std::string& text);
  // The settings are being read again; Ready() follows when done.
  bool Reloading();
  bool Stopping() { return Send("STOPPING=1"); }
  bool Watchdog() { return Send("WATCHDOG=1"); }

  // The manager's watchdog interval in microseconds; 0 without a watchdog.
  uint64_t WatchdogUsec() const { return watchdog_usec_; }
  // True when a manager listens.
  bool Listening() const;
  // One datagram of "KEY=value" lines; false when none was sent (no
  // manager, or the socket refused it).
  bool Send(const std::string& state);

 private:
  uint64_t watchdog_usec_ = 0;
  std::string status_;
  bool status_sent_ = false;
};
