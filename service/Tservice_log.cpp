#include "service/Tservice_log.h"

#include <unistd.h>

#include <cerrno>

void Tservice_log::Write(LogPriority priority, const std::string& text) {
  std::string line = "<" + std::to_string(static_cast<int>(priority)) + ">";
  line.reserve(line.size() + text.size() + 1);
  for (char c : text) line += (c == '\n' || c == '\r') ? ' ' : c;
  line += '\n';
  // A short write (a pipe full) goes on from where it stopped; a failure
  // drops the line: the log never stops the service.
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

bool Tservice_log::Change(const std::string& key, const std::string& state, LogPriority priority,
                          const std::string& text) {
  auto it = states_.find(key);
  if (it != states_.end() && it->second == state) return false;
  states_[key] = state;
  Write(priority, text);
  return true;
}

std::string Tservice_log::State(const std::string& key) const {
  auto it = states_.find(key);
  return it == states_.end() ? std::string() : it->second;
}
