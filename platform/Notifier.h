#pragma once

#include <string>

// Desktop notifications: a short message that the desktop shows outside the
// program's windows, for something the user must not miss. DbusNotifier
// hands them to the desktop's notification service; tests use
// ScriptedNotifier. Without a service a notification is dropped silently:
// nothing in the program waits for it or depends on it.
class Notifier {
 public:
  virtual ~Notifier() = default;
  // A critical notification with a summary line and a body.
  virtual void Notify(const std::string& summary, const std::string& body) = 0;
};
