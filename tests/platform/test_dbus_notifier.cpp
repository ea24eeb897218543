// The desktop notification away from the caller's thread: an absent bus and
// a bus that accepts and never answers leave Notify returning at once, and
// a notification service on a bus of the test's own gets the message with
// urgency critical.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QVariantMap>
#include <cstring>
#include <mutex>

#include "components/DbusNotifier.h"

namespace {

QString Here(const char* name) {
  return QDir::current().absoluteFilePath(QString::fromLatin1(name));
}

// A unix socket that listens and answers nothing.
int ListeningSocket(const QString& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray bytes = QFile::encodeName(path);
  std::strncpy(address.sun_path, bytes.constData(), sizeof(address.sun_path) - 1);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(fd, 4) != 0)
    return -1;
  return fd;
}

// Until the notifier has answered or dropped `n` notifications, with the
// test's own event loop running meanwhile (a generous guard against a hang,
// no measure of speed).
bool HandledWhileServing(const DbusNotifier& notifier, int n) {
  QDeadlineTimer guard(120000);
  while (notifier.Delivered() + notifier.Dropped() < n && !guard.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  return notifier.Delivered() + notifier.Dropped() >= n;
}

// The notification service, as a desktop has it: it keeps what it is sent
// and answers with an id.
class FakeNotifications : public QDBusVirtualObject {
 public:
  QString introspect(const QString&) const override { return QString(); }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.member() != QLatin1String("Notify")) return false;
    {
      std::lock_guard<std::mutex> lock(mutex);
      received.push_back(message);
    }
    connection.send(message.createReply(QVariant::fromValue(7u)));
    return true;
  }
  std::vector<QDBusMessage> Received() const {
    std::lock_guard<std::mutex> lock(mutex);
    return received;
  }

 private:
  mutable std::mutex mutex;
  std::vector<QDBusMessage> received;
};

}  // namespace

TEST(DbusNotifier, WithoutABusTheNotificationsAreDroppedAndTheProgramGoesOn) {
  DbusNotifier notifier("unix:path=" + Here("no-bus-here"));
  notifier.Notify("Storm warning", "first");
  notifier.Notify("Storm warning", "second");
  notifier.WaitUntilIdle();
  EXPECT_EQ(notifier.Delivered(), 0);
  EXPECT_EQ(notifier.Dropped(), 2);
}

TEST(DbusNotifier, ABusThatNeverAnswersHoldsOnlyTheNotifiersThread) {
  const QString path = Here("hung-bus");
  const int listener = ListeningSocket(path);
  ASSERT_GE(listener, 0);
  {
    DbusNotifier notifier("unix:path=" + path);
    notifier.Notify("Storm warning", "to a bus that hangs");
    // Notify is back, and the notifier is connecting: its connection waits
    // at the bus, which has said nothing yet.
    const int connection = accept(listener, nullptr, nullptr);
    ASSERT_GE(connection, 0);
    EXPECT_EQ(notifier.Delivered() + notifier.Dropped(), 0);
    notifier.Notify("Storm warning", "another, queued meanwhile");
    // The bus goes away: the notifier gives up on it.
    close(connection);
    close(listener);
    ASSERT_TRUE(HandledWhileServing(notifier, 2));
    EXPECT_EQ(notifier.Delivered(), 0);
  }
  unlink(QFile::encodeName(path).constData());
}

TEST(DbusNotifier, AServiceOnTheBusGetsTheWarningWithUrgencyCritical) {
  const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
  if (daemon.isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed";
  // A session bus of the test's own, listening in the test's folder.
  QProcess bus;
  bus.start(daemon, {"--session", "--nofork", "--print-address",
                     "--address=unix:dir=" + QDir::currentPath()});
  ASSERT_TRUE(bus.waitForStarted());
  while (!bus.canReadLine() && bus.waitForReadyRead(-1)) {
  }
  const QString address = QString::fromUtf8(bus.readLine()).trimmed();
  ASSERT_FALSE(address.isEmpty());

  FakeNotifications service;
  {
    QDBusConnection connection = QDBusConnection::connectToBus(address, "fake-desktop");
    ASSERT_TRUE(connection.isConnected());
    ASSERT_TRUE(connection.registerService("org.freedesktop.Notifications"));
    ASSERT_TRUE(connection.registerVirtualObject("/org/freedesktop/Notifications", &service));

    DbusNotifier notifier(address);
    notifier.Notify("Storm warning", "-4.6 mbar in 3 h since 14:20");
    ASSERT_TRUE(HandledWhileServing(notifier, 1));
    EXPECT_EQ(notifier.Delivered(), 1);
    const std::vector<QDBusMessage> received = service.Received();
    ASSERT_EQ(received.size(), 1u);
    const QList<QVariant> arguments = received[0].arguments();
    ASSERT_EQ(arguments.size(), 8);
    EXPECT_EQ(arguments[0].toString(), "Barometer");
    EXPECT_EQ(arguments[3].toString(), "Storm warning");
    EXPECT_EQ(arguments[4].toString(), "-4.6 mbar in 3 h since 14:20");
    const QVariantMap hints = qdbus_cast<QVariantMap>(arguments[6]);
    ASSERT_TRUE(hints.contains("urgency"));
    EXPECT_EQ(hints["urgency"].metaType().id(), QMetaType::UChar);
    EXPECT_EQ(hints["urgency"].toInt(), 2);
    connection.unregisterObject("/org/freedesktop/Notifications");
  }
  QDBusConnection::disconnectFromBus("fake-desktop");
  bus.terminate();
  bus.waitForFinished();
}
