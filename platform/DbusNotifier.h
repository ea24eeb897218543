#pragma once

#include <string>

#include "platform/Notifier.h"

// Notifications through the freedesktop Notifications interface on the
// session bus (org.freedesktop.Notifications, method Notify), with urgency
// critical. The call is sent without waiting for its answer, so a slow or
// missing service never holds up the program; without a session bus or a
// service the notification is dropped.
class DbusNotifier : public Notifier {
 public:
  void Notify(const std::string& summary, const std::string& body) override;
};
