#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;
class QProcess;

// A real mosquitto broker of the test's own, on a free loopback port, with
// a config written into `folder`: anonymous, with a password file (user
// "barometer", password "right"), or with TLS from a test CA made with
// openssl (its certificate names localhost and 127.0.0.1).
class TestBroker {
 public:
  enum class Kind { Anonymous, Password, Tls };
  static constexpr const char* kUser = "barometer";
  static constexpr const char* kPassword = "right";

  TestBroker(const std::string& folder, Kind kind);
  ~TestBroker();  // Stop()

  // Starts the broker and waits until it takes connections; false (with a
  // reason in Failure()) when it does not.
  bool Start();
  void Stop();

  int Port() const { return port_; }
  // The CA that signed the broker's certificate, and one that did not.
  const std::string& TrustedCa() const { return ca_file_; }
  const std::string& UntrustedCa() const { return other_ca_file_; }
  const std::string& Failure() const { return failure_; }

 private:
  bool MakeCertificates();

  std::string folder_;
  Kind kind_;
  int port_ = 0;
  std::string config_;
  std::string ca_file_, other_ca_file_;
  std::string failure_;
  QProcess* process_ = nullptr;
};

// A free TCP port on the loopback interface, as the kernel hands them out.
int FreeLoopbackPort();

// A subscriber to everything under the given topics, through libmosquitto's
// own thread; it keeps every message it gets.
class TestSubscriber {
 public:
  struct Message {
    std::string topic;
    std::string payload;
    bool retained = false;
  };

  // With a user name, it logs in as the broker's one user.
  explicit TestSubscriber(int port, const std::vector<std::string>& topics = {"#"},
                          const char* user = nullptr);
  ~TestSubscriber();

  bool Connected() const;
  std::vector<Message> Messages() const;
  std::vector<Message> On(const std::string& topic) const;
  // Waits (real time) until `count` messages on the topic arrived.
  bool WaitFor(const std::string& topic, size_t count,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
  void Clear();

 private:
  static void OnMessage(mosquitto*, void*, const struct mosquitto_message*);
  static void OnConnect(mosquitto*, void*, int);
  static void OnSubscribe(mosquitto*, void*, int, int, const int*);

  mosquitto* m_ = nullptr;
  std::vector<std::string> topics_;
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
  bool connected_ = false;
};

// Waits (real time) until the condition holds; whether it did.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}
