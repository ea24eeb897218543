#pragma once

#include <map>
#include <string>

// How much a log line matters, as syslog numbers it; the journal reads the
// "<N>" prefix of each line on standard error as the line's priority.
enum class LogPriority { kError = 3, kWarning = 4, kInfo = 6 };

// The service's log: one line per event on standard error (or another
// descriptor), each line written whole in one call so that lines of
// several writers never mix. States (the module, the record, the broker,
// the storm warning) are logged when they change, never per sample.
class Tservice_log {
 public:
  explicit Tservice_log(int fd = 2) : fd_(fd) {}

  // Writes "<N>text"; line breaks in text become spaces.
  void Write(LogPriority priority, const std::string& text);
  void Error(const std::string& text) { Write(LogPriority::kError, text); }
  void Warning(const std::string& text) { Write(LogPriority::kWarning, text); }
  void Info(const std::string& text) { Write(LogPriority::kInfo, text); }

  // Logs text when key's state differs from the one last logged for it (the
  // first state of a key is logged too); true when it was logged. The state
  // is a short word ("found", "lost"); the text is what the line says.
  bool Change(const std::string& key, const std::string& state, LogPriority priority,
              const std::string& text);
  // The state last logged for key; empty when none.
  std::string State(const std::string& key) const;
  // Forgets key's state, so its next state is logged whatever it is.
  void Forget(const std::string& key) { states_.erase(key); }

 private:
  int fd_;
  std::map<std::string, std::string> states_;
};
