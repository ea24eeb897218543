#include "service/Tsd_notify.h"

#include <systemd/sd-daemon.h>
#include <time.h>

#include <cstdlib>

Tsd_notify::Tsd_notify() {
  uint64_t usec = 0;
  if (sd_watchdog_enabled(0, &usec) > 0) watchdog_usec_ = usec;
}

bool Tsd_notify::Listening() const {
  const char* socket = std::getenv("NOTIFY_SOCKET");
  return socket != nullptr && socket[0] != '\0';
}

bool Tsd_notify::Send(const std::string& state) {
  // sd_notify gives 0 without a socket and a negative errno on failure.
  return sd_notify(0, state.c_str()) > 0;
}

bool Tsd_notify::Status(const std::string& text) {
  if (status_sent_ && text == status_) return true;
  // One line: a newline would start another assignment.
  std::string line = text;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  if (!Send("STATUS=" + line)) return false;
  status_ = text;
  status_sent_ = true;
  return true;
}

bool Tsd_notify::Reloading() {
  // Newer managers want the monotonic time of the request beside it, to
  // tell this reload from an earlier one; older ones ignore it.
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const unsigned long long usec =
      static_cast<unsigned long long>(ts.tv_sec) * 1000000ULL + ts.tv_nsec / 1000;
  return Send("RELOADING=1\nMONOTONIC_USEC=" + std::to_string(usec));
}
