#pragma once

#include <QString>
#include <memory>
#include <string>
#include <thread>

#include "platform/Notifier.h"

// Notifications through the freedesktop Notifications interface on the
// session bus (org.freedesktop.Notifications, method Notify), with urgency
// critical.
//
// Everything that touches the bus runs on a thread of the notifier's own:
// connecting to a bus can wait for as long as libdbus's timeout (about 25 s)
// when the bus accepts the connection and then answers nothing, and the
// thread that calls Notify (the window's tick) must never wait for that.
// Notify only hands the message over. Without a bus or a service the
// notification is dropped; the next one tries the bus again, so a desktop
// that starts its bus later still gets them.
class DbusNotifier : public Notifier {
 public:
  // On the session bus, or on the bus at `address` (a D-Bus address such as
  // "unix:path=/run/user/1000/bus") when one is given.
  explicit DbusNotifier(QString address = QString());
  ~DbusNotifier() override;

  DbusNotifier(const DbusNotifier&) = delete;
  DbusNotifier& operator=(const DbusNotifier&) = delete;

  void Notify(const std::string& summary, const std::string& body) override;

  // Blocks until every notification handed over so far has been answered by
  // the service or dropped. For tests; the program never waits for it.
  void WaitUntilIdle();
  // Notifications the service answered, and those dropped (no bus, no
  // service, an error from the service).
  int Delivered() const;
  int Dropped() const;

  // What Notify and the notifier's thread share; the thread keeps it alive
  // for as long as it runs.
  struct State;

 private:
  std::shared_ptr<State> state_;
  std::thread worker_;
};
