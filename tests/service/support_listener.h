#pragma once

#include <string>
#include <vector>

// The service manager's end of the notification protocol, as a test holds
// it: a datagram socket of its own in the test's folder, named in
// NOTIFY_SOCKET while it lives.
class NotifyListener {
 public:
  NotifyListener();
  ~NotifyListener();
  NotifyListener(const NotifyListener&) = delete;
  NotifyListener& operator=(const NotifyListener&) = delete;

  bool Valid() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  // The datagrams that have come, in order, without waiting.
  std::vector<std::string> Take();
  // Waits up to timeout_ms for one datagram; empty when none came.
  std::string Wait(int timeout_ms);

 private:
  int fd_ = -1;
  std::string path_;
};

// Sets an environment variable while it lives (unsets it for a null value).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};
