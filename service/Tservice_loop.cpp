#include "service/Tservice_loop.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/Clock.h"
#include "service/Tcadence.h"
#include "service/Tsd_notify.h"
#include "service/Tservice_log.h"

Tservice_loop::Tservice_loop(Clock& clock, Tcadence& cadence, Tsd_notify* notify, Tservice_log* log,
                             bool sleep_on_clock)
    : clock_(clock),
      cadence_(cadence),
      notify_(notify),
      log_(log),
      sleep_on_clock_(sleep_on_clock) {}

Tservice_loop::~Tservice_loop() {
  if (signal_fd_ >= 0) ::close(signal_fd_);
  if (mask_set_) pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
}

bool Tservice_loop::Open(std::string* error) {
  if (signal_fd_ >= 0) return true;
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  int rc = pthread_sigmask(SIG_BLOCK, &set, &old_mask_);
  if (rc != 0) {
    if (error != nullptr) *error = std::string("cannot block the signals: ") + std::strerror(rc);
    return false;
  }
  mask_set_ = true;
  signal_fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signal_fd_ < 0) {
    if (error != nullptr) *error = std::string("cannot watch the signals: ") + std::strerror(errno);
    return false;
  }
  return true;
}

void Tservice_loop::Watch(int fd, short events, std::function<void(short)> ready) {
  Unwatch(fd);
  watched_.push_back({fd, events, std::move(ready)});
}

void Tservice_loop::Unwatch(int fd) {
  for (auto it = watched_.begin(); it != watched_.end(); ++it) {
    if (it->fd == fd) {
      watched_.erase(it);
      return;
    }
  }
}

int Tservice_loop::HandleSignals() {
  int ending = 0;
  signalfd_siginfo info{};
  for (;;) {
    const ssize_t n = ::read(signal_fd_, &info, sizeof info);
    if (n < 0 && errno == EINTR) continue;
    if (n != static_cast<ssize_t>(sizeof info)) break;
    const int signal = static_cast<int>(info.ssi_signo);
    if (signal == SIGHUP) {
      if (ending == 0) Reload();
    } else if (signal == SIGTERM || signal == SIGINT) {
      if (ending == 0) ending = signal;
    }
  }
  return ending;
}

void Tservice_loop::Reload() {
  if (notify_ != nullptr) notify_->Reloading();
  if (on_reload) on_reload();
  if (notify_ != nullptr) notify_->Ready();
}

void Tservice_loop::Tick() {
  const int64_t jump = cadence_.TakeJumpMs();
  if (jump != 0 && log_ != nullptr) {
    const int64_t seconds = (jump > 0 ? jump : -jump) / 1000;
    log_->Warning(std::string("The clock was set ") + (jump > 0 ? "forwards" : "back") + " by " +
                  std::to_string(seconds) + " s; the samples follow the new time");
  }
  ++ticks_;
  if (on_tick) on_tick();
  // The watchdog hears from the loop only once a tick has come back, at
  // least twice per interval, and no more often than that: a hung tick is
  // a silent one.
  if (notify_ == nullptr || notify_->WatchdogUsec() == 0) return;
  const int64_t now = clock_.NowMs();
  const int64_t every = static_cast<int64_t>(notify_->WatchdogUsec() / 2000);
  if (!watchdog_sent_ || now - last_watchdog_ms_ >= every || now < last_watchdog_ms_) {
    if (notify_->Watchdog()) {
      watchdog_sent_ = true;
      last_watchdog_ms_ = now;
    }
  }
}

int Tservice_loop::Run() {
  if (signal_fd_ < 0 && !Open(nullptr)) return 0;
  stop_ = false;
  if (notify_ != nullptr) notify_->Ready();
  int ending = 0;
  std::vector<pollfd> fds;
  while (!stop_ && ending == 0) {
    const int64_t wait = cadence_.WaitMs();
    fds.clear();
    fds.push_back({signal_fd_, POLLIN, 0});
    for (const Watched& w : watched_) fds.push_back({w.fd, w.events, 0});
    int timeout = 0;
    if (!sleep_on_clock_) timeout = wait > INT_MAX ? INT_MAX : static_cast<int>(wait);
    const int n = ::poll(fds.data(), fds.size(), timeout);
    if (n < 0 && errno != EINTR) {
      if (log_ != nullptr)
        log_->Error(std::string("The service cannot wait: ") + std::strerror(errno));
      break;
    }
    if (n > 0) {
      if (fds[0].revents != 0) ending = HandleSignals();
      if (ending != 0 || stop_) break;
      // A callback may watch or unwatch: each ready one is looked up again.
      for (size_t i = 1; i < fds.size() && !stop_; ++i) {
        if (fds[i].revents == 0) continue;
        for (const Watched& w : watched_) {
          if (w.fd == fds[i].fd) {
            auto ready = w.ready;
            ready(fds[i].revents);
            break;
          }
        }
      }
    } else if (sleep_on_clock_ && wait > 0) {
      clock_.SleepMs(wait > INT_MAX ? INT_MAX : static_cast<int>(wait));
    }
    if (!stop_ && cadence_.Due()) Tick();
  }
  if (notify_ != nullptr) notify_->Stopping();
  return ending;
}
