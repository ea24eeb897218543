#include "publish/Tmqtt_client.h"

#include <mqtt_protocol.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>

#include "publish/Mosquitto_library.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kKeepAliveSeconds = 30;
// The cycle of the network thread when nothing happens: keep-alive and
// answer deadlines are looked at this often.
constexpr int kIdlePollMs = 1000;

int MsUntil(SteadyClock::time_point when) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(when - SteadyClock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, kIdlePollMs));
}

// What one connection attempt saw, filled in by libmosquitto's callbacks.
struct Session {
  bool v5 = true;
  bool answered = false;  // CONNACK received
  int reason = -1;        // its code
  bool tls_untrusted = false;
};

void OnConnect(mosquitto*, void* data, int reason, int, const mosquitto_property*) {
  auto* session = static_cast<Session*>(data);
  session->answered = true;
  session->reason = reason;
}

void OnLog(mosquitto*, void* data, int, const char* text) {
  // OpenSSL's verdict on the broker's certificate reaches us only as a log
  // line.
  if (text != nullptr && std::strstr(text, "certificate verify failed") != nullptr)
    static_cast<Session*>(data)->tls_untrusted = true;
}

// The broker's refusal in words; MQTT 5 and 3.1.1 number them differently.
std::string RefusalWords(const Mosquitto_library& lib, const Session& s) {
  if (s.v5) {
    switch (s.reason) {
      case MQTT_RC_BAD_USERNAME_OR_PASSWORD:
      case MQTT_RC_NOT_AUTHORIZED:
        return "not authorised";
      case MQTT_RC_CLIENTID_NOT_VALID:
        return "client id refused";
      case MQTT_RC_SERVER_UNAVAILABLE:
      case MQTT_RC_SERVER_BUSY:
        return "broker unavailable";
      case MQTT_RC_BANNED:
        return "banned by the broker";
      default:
        return std::string("refused by the broker: ") + lib.mosquitto_reason_string(s.reason);
    }
  }
  switch (s.reason) {
    case 2:
      return "client id refused";
    case 3:
      return "broker unavailable";
    case 4:
    case 5:
      return "not authorised";
    default:
      return std::string("refused by the broker: ") + lib.mosquitto_connack_string(s.reason);
  }
}

// A libmosquitto error in words; errno is the one the call left.
std::string ErrorWords(const Mosquitto_library& lib, int rc, int error, const Session& s) {
  switch (rc) {
    case MOSQ_ERR_EAI:
      return "name not found";
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_TLS_HANDSHAKE:
      return s.tls_untrusted ? "TLS: certificate not trusted" : "TLS: handshake failed";
    case MOSQ_ERR_ERRNO:
      if (s.tls_untrusted) return "TLS: certificate not trusted";
      if (error == ECONNREFUSED) return "connection refused";
      if (error == ETIMEDOUT) return "no answer from the broker";
      if (error == ENETUNREACH || error == EHOSTUNREACH) return "host unreachable";
      if (error == ECONNRESET || error == EPIPE) return "connection lost";
      return std::string("network error: ") + std::strerror(error);
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_NO_CONN:
      return s.tls_untrusted ? "TLS: certificate not trusted" : "connection lost";
    case MOSQ_ERR_KEEPALIVE:
      return "no answer from the broker";
    default:
      return lib.mosquitto_strerror(rc);
  }
}

}  // namespace

struct Tmqtt_client::Shared {
  Shared() : wake_fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~Shared() {
    if (wake_fd >= 0) close(wake_fd);
  }

  void Wake() const {
    const uint64_t one = 1;
    if (wake_fd >= 0) (void)!write(wake_fd, &one, sizeof one);
  }
  void DrainWake() const {
    uint64_t count = 0;
    if (wake_fd >= 0) (void)!read(wake_fd, &count, sizeof count);
  }
  bool Stopping() {
    std::lock_guard<std::mutex> lock(mutex);
    return stop;
  }
  void SetStatus(TmqttPhase phase, const std::string& words) {
    std::lock_guard<std::mutex> lock(mutex);
    status.phase = phase;
    status.words = words;
  }

  // Set before the thread starts, read only by it afterwards.
  TmqttSettings settings;
  bool test_only = false;
  const int wake_fd;

  mutable std::mutex mutex;
  std::condition_variable finished_changed;
  bool stop = false;
  bool finished = false;
  std::optional<TmqttState> latest;
  bool due = false;
  TmqttStatus status;
  SteadyClock::time_point next_attempt;
};

namespace {

using Shared = Tmqtt_client::Shared;

// Waits until `when`, a wake-up or the stop; false on the stop.
bool SleepUntil(Shared& shared, SteadyClock::time_point when) {
  while (!shared.Stopping()) {
    if (SteadyClock::now() >= when) return true;
    pollfd fd{shared.wake_fd, POLLIN, 0};
    poll(&fd, 1, MsUntil(when));
    shared.DrainWake();
  }
  return false;
}

bool Publish(const Mosquitto_library& lib, mosquitto* m, const std::string& topic,
             const std::string& payload, int qos, bool retain) {
  return lib.mosquitto_publish(m, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                               payload.data(), qos, retain) == MOSQ_ERR_SUCCESS;
}

// Writes out what is queued, for at most `ms`.
void Flush(const Mosquitto_library& lib, mosquitto* m, int ms) {
  const auto until = SteadyClock::now() + std::chrono::milliseconds(ms);
  while (lib.mosquitto_want_write(m) && SteadyClock::now() < until) {
    const int sock = lib.mosquitto_socket(m);
    if (sock < 0) return;
    pollfd fd{sock, POLLOUT, 0};
    if (poll(&fd, 1, MsUntil(until)) > 0 && lib.mosquitto_loop_write(m, 1) != MOSQ_ERR_SUCCESS)
      return;
  }
}

struct Outcome {
  bool connected = false;  // the broker accepted us at some point
  bool retry_as_311 = false;
  std::string words;
};

// One connection from the attempt to its end (lost, refused, or stopped).
Outcome RunSession(const Mosquitto_library& lib, Shared& shared, bool v5) {
  const TmqttSettings& s = shared.settings;
  const std::string availability = AvailabilityTopic(s.base_topic);
  Outcome outcome;
  Session session;
  session.v5 = v5;

  shared.SetStatus(TmqttPhase::Connecting, "connecting to " + s.host);
  const std::string client_id = s.client_id.empty() ? DefaultClientId() : s.client_id;
  mosquitto* m = lib.mosquitto_new(client_id.c_str(), true, &session);
  if (m == nullptr) {
    outcome.words = "out of memory";
    return outcome;
  }
  lib.mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION,
                           v5 ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311);
  lib.mosquitto_connect_v5_callback_set(m, OnConnect);
  lib.mosquitto_log_callback_set(m, OnLog);
  if (!s.user.empty())
    lib.mosquitto_username_pw_set(m, s.user.c_str(),
                                  s.password.empty() ? nullptr : s.password.c_str());
  if (s.tls) {
    int rc = MOSQ_ERR_SUCCESS;
    if (s.ca_file.empty()) {
      rc = lib.mosquitto_int_option(m, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    } else {
      rc = lib.mosquitto_tls_set(m, s.ca_file.c_str(), nullptr, nullptr, nullptr, nullptr);
    }
    // The broker's certificate is checked, its name included.
    if (rc == MOSQ_ERR_SUCCESS) rc = lib.mosquitto_tls_opts_set(m, 1, nullptr, nullptr);
    if (rc == MOSQ_ERR_SUCCESS) rc = lib.mosquitto_tls_insecure_set(m, false);
    if (rc != MOSQ_ERR_SUCCESS) {
      lib.mosquitto_destroy(m);
      outcome.words = "TLS: the CA file cannot be used";
      return outcome;
    }
  }
  if (!shared.test_only) lib.mosquitto_will_set(m, availability.c_str(), 7, "offline", 1, true);

  errno = 0;
  int rc = lib.mosquitto_connect_async(m, s.host.c_str(), s.port, kKeepAliveSeconds);
  if (rc != MOSQ_ERR_SUCCESS) {
    outcome.words = ErrorWords(lib, rc, errno, session);
    lib.mosquitto_destroy(m);
    return outcome;
  }
  const auto answer_deadline =
      SteadyClock::now() + std::chrono::seconds(Tmqtt_client::kAnswerSeconds);
  bool connected = false;

  while (true) {
    if (shared.Stopping()) {
      if (connected) {
        Publish(lib, m, availability, "offline", 1, true);
        lib.mosquitto_disconnect(m);
        Flush(lib, m, 500);
      }
      break;
    }
    const int sock = lib.mosquitto_socket(m);
    if (sock < 0) {
      outcome.words = connected ? "connection lost" : ErrorWords(lib, MOSQ_ERR_NO_CONN, 0, session);
      break;
    }
    pollfd fds[2] = {
        {shared.wake_fd, POLLIN, 0},
        {sock, static_cast<short>(POLLIN | (lib.mosquitto_want_write(m) ? POLLOUT : 0)), 0}};
    poll(fds, 2, connected ? kIdlePollMs : MsUntil(answer_deadline));
    shared.DrainWake();

    rc = MOSQ_ERR_SUCCESS;
    errno = 0;
    if (fds[1].revents & (POLLIN | POLLERR | POLLHUP)) rc = lib.mosquitto_loop_read(m, 1);
    if (rc == MOSQ_ERR_SUCCESS && (fds[1].revents & POLLOUT)) rc = lib.mosquitto_loop_write(m, 1);
    if (rc == MOSQ_ERR_SUCCESS) rc = lib.mosquitto_loop_misc(m);
    if (rc != MOSQ_ERR_SUCCESS) {
      const int error = errno;
      if (session.answered && session.reason != 0) break;  // told below
      outcome.words = connected ? "connection lost" : ErrorWords(lib, rc, error, session);
      // A broker of MQTT 3.1.1 only may not understand the MQTT 5 connect.
      if (!connected && v5 && (rc == MOSQ_ERR_PROTOCOL || rc == MOSQ_ERR_MALFORMED_PACKET))
        outcome.retry_as_311 = true;
      break;
    }

    if (session.answered && !connected) {
      if (session.reason != 0) break;
      connected = true;
      outcome.connected = true;
      {
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.status.phase = shared.test_only ? TmqttPhase::Done : TmqttPhase::Connected;
        shared.status.words = "connected";
        ++shared.status.connections;
        // The latest state goes out at once after every connect.
        if (shared.latest) shared.due = true;
      }
      if (shared.test_only) {
        lib.mosquitto_disconnect(m);
        Flush(lib, m, 500);
        break;
      }
      Publish(lib, m, availability, "online", 1, true);
      if (s.discovery)
        for (const TmqttMessage& config : DiscoveryMessages(NodeIdOf(client_id), s.base_topic))
          Publish(lib, m, config.topic, config.payload, 1, true);
    }
    if (!connected && SteadyClock::now() >= answer_deadline) {
      outcome.words = "no answer from the broker";
      break;
    }
    if (connected) {
      std::optional<TmqttState> state;
      {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (shared.due && shared.latest) state = shared.latest;
        shared.due = false;
      }
      if (state && Publish(lib, m, StateTopic(s.base_topic), StateJson(*state), 0, s.retain)) {
        std::lock_guard<std::mutex> lock(shared.mutex);
        ++shared.status.states_published;
      }
    }
  }
  if (session.answered && session.reason != 0) {
    outcome.words = RefusalWords(lib, session);
    if (v5 && session.reason == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION) outcome.retry_as_311 = true;
  }
  lib.mosquitto_destroy(m);
  return outcome;
}

void RunThread(std::shared_ptr<Shared> shared) {
  int pause = Tmqtt_client::kFirstPause;
  bool v5 = true;
  auto next_attempt = SteadyClock::now();
  while (SleepUntil(*shared, next_attempt)) {
    // The library is opened at the first attempt; one that cannot be is a
    // failed attempt like any other, tried again after the pause.
    std::string load_error;
    const Mosquitto_library* lib = Mosquitto_library::Get(load_error);
    Outcome outcome;
    if (lib != nullptr)
      outcome = RunSession(*lib, *shared, v5);
    else
      outcome.words = "MQTT library not loaded: " + load_error;
    if (shared->Stopping()) break;
    if (outcome.retry_as_311 && v5) {
      v5 = false;
      continue;
    }
    if (shared->test_only) {
      if (!outcome.connected) shared->SetStatus(TmqttPhase::Done, outcome.words);
      break;
    }
    if (outcome.connected) pause = Tmqtt_client::kFirstPause;
    next_attempt = SteadyClock::now() + std::chrono::seconds(pause);
    {
      std::lock_guard<std::mutex> lock(shared->mutex);
      shared->status.phase = TmqttPhase::Waiting;
      shared->status.words = outcome.words;
      shared->next_attempt = next_attempt;
    }
    pause = std::min(pause * 2, Tmqtt_client::kLongestPause);
  }
  std::lock_guard<std::mutex> lock(shared->mutex);
  shared->finished = true;
  shared->finished_changed.notify_all();
}

}  // namespace

Tmqtt_client::Tmqtt_client() = default;

Tmqtt_client::~Tmqtt_client() {
  Stop();
}

void Tmqtt_client::Start(const TmqttSettings& settings) {
  Stop();
  settings_ = settings;
  has_due_time_ = false;
  if (settings.enabled && !CheckMqttSettings(settings)) Launch(settings, false);
}

void Tmqtt_client::StartTest(const TmqttSettings& settings) {
  Stop();
  TmqttSettings test = settings;
  test.client_id = (settings.client_id.empty() ? DefaultClientId() : settings.client_id) + "-test";
  settings_ = test;
  Launch(test, true);
}

void Tmqtt_client::Launch(const TmqttSettings& settings, bool test_only) {
  shared_ = std::make_shared<Shared>();
  shared_->settings = settings;
  shared_->test_only = test_only;
  shared_->status.phase = TmqttPhase::Connecting;
  shared_->status.words = "connecting to " + settings.host;
  thread_ = std::thread(RunThread, shared_);
}

void Tmqtt_client::Offer(const TmqttState& state) {
  if (!shared_) return;
  // Due by the samples' own time, so that the interval holds in any clock.
  const bool due =
      !has_due_time_ || state.time < due_time_ || state.time - due_time_ >= settings_.interval;
  if (due) {
    has_due_time_ = true;
    due_time_ = state.time;
  }
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->latest = state;
    if (due) shared_->due = true;
  }
  if (due) shared_->Wake();
}

void Tmqtt_client::Stop(int wait_ms) {
  if (!shared_) return;
  // A connection test has nothing to say on its way out.
  if (shared_->test_only) wait_ms = std::min(wait_ms, 50);
  std::unique_lock<std::mutex> lock(shared_->mutex);
  shared_->stop = true;
  lock.unlock();
  shared_->Wake();
  lock.lock();
  const bool finished = shared_->finished_changed.wait_for(
      lock, std::chrono::milliseconds(std::max(wait_ms, 0)), [this] { return shared_->finished; });
  lock.unlock();
  // A thread still inside a call that cannot be interrupted holds its own
  // share of the state and ends by itself.
  if (finished)
    thread_.join();
  else
    thread_.detach();
  shared_.reset();
}

TmqttStatus Tmqtt_client::Status() const {
  if (!shared_) {
    TmqttStatus off;
    const std::optional<TmqttProblem> problem = CheckMqttSettings(settings_);
    off.words = !settings_.enabled ? "switched off" : problem ? problem->text : "stopped";
    return off;
  }
  std::lock_guard<std::mutex> lock(shared_->mutex);
  TmqttStatus status = shared_->status;
  if (status.phase == TmqttPhase::Waiting) {
    const auto left =
        std::chrono::duration_cast<std::chrono::seconds>(shared_->next_attempt - SteadyClock::now())
            .count();
    status.retry_in = static_cast<int>(std::clamp<long long>(left + 1, 0, kLongestPause));
  }
  return status;
}

std::string StatusText(const TmqttStatus& status) {
  switch (status.phase) {
    case TmqttPhase::Off:
      return "Not publishing (" + status.words + ")";
    case TmqttPhase::Connecting:
      return "Connecting...";
    case TmqttPhase::Connected:
      return "Connected, " + std::to_string(status.states_published) + " states published";
    case TmqttPhase::Waiting:
      return "Not connected: " + status.words +
             (status.retry_in > 0 ? "; next try in " + std::to_string(status.retry_in) + " s" : "");
    case TmqttPhase::Done:
      return status.words;
  }
  return status.words;
}
