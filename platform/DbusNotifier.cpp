#include "platform/DbusNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace {

constexpr unsigned char kUrgencyCritical = 2;

}  // namespace

void DbusNotifier::Notify(const std::string& summary, const std::string& body) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kUrgencyCritical));
  // app_name, replaces_id, app_icon, summary, body, actions, hints,
  // expire_timeout (-1: as the service decides).
  call << QStringLiteral("Barometer") << 0u << QStringLiteral("dialog-warning")
       << QString::fromStdString(summary) << QString::fromStdString(body) << QStringList() << hints
       << -1;
  // No reply is waited for: a missing service answers with an error that
  // nobody reads.
  call.setAutoStartService(true);
  bus.send(call);
}
