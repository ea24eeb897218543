#include "components/DbusNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace {

constexpr unsigned char kUrgencyCritical = 2;
// Longest wait for the service's answer, on the notifier's thread.
constexpr int kReplyTimeoutMs = 10000;
// At the end the notifier waits this long for its thread; a thread still
// held by a hung bus is left to end with the process.
constexpr auto kEndWait = std::chrono::seconds(1);
// Notifications waiting for the bus, at most: a warning is raised at most
// every half hour, so more than this means a bus that never answers.
constexpr size_t kMostWaiting = 16;

std::atomic<int> connection_count{0};

}  // namespace

struct DbusNotifier::State {
  QString address;
  mutable std::mutex mutex;
  std::condition_variable wake;  // something to send, or the end
  std::condition_variable idle;  // the queue ran empty, or the thread ended
  std::deque<std::pair<QString, QString>> waiting;
  bool busy = false;  // a notification is on its way
  bool stop = false;
  bool ended = false;
  int delivered = 0;
  int dropped = 0;
};

namespace {

QDBusMessage NotifyCall(const QString& summary, const QString& body) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kUrgencyCritical));
  // app_name, replaces_id, app_icon, summary, body, actions, hints,
  // expire_timeout (-1: as the service decides).
  call << QStringLiteral("Barometer") << 0u << QStringLiteral("dialog-warning") << summary << body
       << QStringList() << hints << -1;
  call.setAutoStartService(true);
  return call;
}

// The notifier's thread: connects when there is something to send, sends it
// and waits for the answer, all away from the caller of Notify.
void Work(const std::shared_ptr<DbusNotifier::State>& state) {
  const QString name =
      QStringLiteral("barometer-notifier-%1").arg(connection_count.fetch_add(1) + 1);
  bool opened = false;
  std::unique_lock<std::mutex> lock(state->mutex);
  for (;;) {
    state->wake.wait(lock, [&] { return state->stop || !state->waiting.empty(); });
    if (state->stop) break;
    const auto [summary, body] = state->waiting.front();
    state->waiting.pop_front();
    state->busy = true;
    lock.unlock();

    bool delivered = false;
    {
      QDBusConnection bus = state->address.isEmpty()
                                ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)
                                : QDBusConnection::connectToBus(state->address, name);
      opened = true;
      if (bus.isConnected()) {
        const QDBusMessage reply =
            bus.call(NotifyCall(summary, body), QDBus::Block, kReplyTimeoutMs);
        delivered = reply.type() == QDBusMessage::ReplyMessage;
      }
      // A connection that failed is named all the same; it goes, so that
      // the next notification tries the bus afresh.
      if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(name);
        opened = false;
      }
    }

    lock.lock();
    state->busy = false;
    ++(delivered ? state->delivered : state->dropped);
    if (state->waiting.empty()) state->idle.notify_all();
  }
  state->dropped += static_cast<int>(state->waiting.size());
  state->waiting.clear();
  lock.unlock();
  if (opened) QDBusConnection::disconnectFromBus(name);
  lock.lock();
  state->ended = true;
  state->idle.notify_all();
}

}  // namespace

DbusNotifier::DbusNotifier(QString address) : state_(std::make_shared<State>()) {
  state_->address = std::move(address);
  worker_ = std::thread(Work, state_);
}

DbusNotifier::~DbusNotifier() {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->stop = true;
  state_->wake.notify_all();
  const bool ended = state_->idle.wait_for(lock, kEndWait, [this] { return state_->ended; });
  lock.unlock();
  if (ended)
    worker_.join();
  else
    worker_.detach();  // it keeps the state it shares alive by itself
}

void DbusNotifier::Notify(const std::string& summary, const std::string& body) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->waiting.size() >= kMostWaiting) {
    ++state_->dropped;
    return;
  }
  state_->waiting.emplace_back(QString::fromStdString(summary), QString::fromStdString(body));
  state_->wake.notify_all();
}

void DbusNotifier::WaitUntilIdle() {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->idle.wait(lock,
                    [this] { return state_->ended || (state_->waiting.empty() && !state_->busy); });
}

int DbusNotifier::Delivered() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->delivered;
}

int DbusNotifier::Dropped() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->dropped;
}
