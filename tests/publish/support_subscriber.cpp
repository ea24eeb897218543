// The test subscriber goes through libmosquitto itself; only the tests
// that use it link the library (the broker alone is a separate process).
#include <mosquitto.h>

#include "support_broker.h"

TestSubscriber::TestSubscriber(int port, const std::vector<std::string>& topics, const char* user)
    : topics_(topics) {
  mosquitto_lib_init();
  m_ = mosquitto_new(nullptr, true, this);
  if (user != nullptr) mosquitto_username_pw_set(m_, user, TestBroker::kPassword);
  mosquitto_message_callback_set(m_, OnMessage);
  mosquitto_connect_callback_set(m_, OnConnect);
  mosquitto_subscribe_callback_set(m_, OnSubscribe);
  mosquitto_connect(m_, "127.0.0.1", port, 30);
  mosquitto_loop_start(m_);
  WaitUntil([this] { return Connected(); });
}

TestSubscriber::~TestSubscriber() {
  mosquitto_disconnect(m_);
  mosquitto_loop_stop(m_, false);
  mosquitto_destroy(m_);
}

void TestSubscriber::OnConnect(mosquitto* m, void* data, int rc) {
  auto* self = static_cast<TestSubscriber*>(data);
  if (rc != 0) return;
  for (const std::string& topic : self->topics_) mosquitto_subscribe(m, nullptr, topic.c_str(), 1);
}

void TestSubscriber::OnSubscribe(mosquitto*, void* data, int, int, const int*) {
  // Ready once the broker has confirmed a subscription.
  auto* self = static_cast<TestSubscriber*>(data);
  std::lock_guard<std::mutex> lock(self->mutex_);
  self->connected_ = true;
}

void TestSubscriber::OnMessage(mosquitto*, void* data, const mosquitto_message* message) {
  auto* self = static_cast<TestSubscriber*>(data);
  std::lock_guard<std::mutex> lock(self->mutex_);
  self->messages_.push_back({message->topic,
                             std::string(static_cast<const char*>(message->payload),
                                         static_cast<size_t>(message->payloadlen)),
                             message->retain});
}

bool TestSubscriber::Connected() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connected_;
}

std::vector<TestSubscriber::Message> TestSubscriber::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

std::vector<TestSubscriber::Message> TestSubscriber::On(const std::string& topic) const {
  std::vector<Message> found;
  for (const Message& m : Messages())
    if (m.topic == topic) found.push_back(m);
  return found;
}

bool TestSubscriber::WaitFor(const std::string& topic, size_t count,
                             std::chrono::milliseconds limit) const {
  return WaitUntil([&] { return On(topic).size() >= count; }, limit);
}

void TestSubscriber::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.clear();
}
