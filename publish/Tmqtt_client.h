#pragma once

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "publish/Mqtt_messages.h"
#include "publish/Mqtt_settings.h"

// Where the connection to the broker stands.
enum class TmqttPhase {
  Off,         // not switched on, or the settings cannot be used
  Connecting,  // resolving, connecting, waiting for the broker's answer
  Connected,
  Waiting,  // the last attempt failed or the connection was lost; retrying
  Done,     // a connection test has its answer
};

struct TmqttStatus {
  TmqttPhase phase = TmqttPhase::Off;
  // The broker's answer or what went wrong, in words: "connected", "not
  // authorised", "name not found", "connection refused", "TLS: certificate
  // not trusted", "no answer from the broker", "connection lost", "MQTT
  // library not loaded: <the loader's message>", ...
  std::string words;
  // Seconds until the next attempt, while waiting.
  int retry_in = 0;
  // Counts since the start, for the debug window and the tests.
  int connections = 0;
  long states_published = 0;
};

// The publisher. It runs its connection on a network thread of its own,
// which alone touches the libmosquitto handle and the socket: name
// resolution, the connect, a TLS handshake and a broker that accepts the
// connection and never answers then cost the measurement cycle nothing.
// The cycle hands over each accepted sample with Offer, which keeps only
// the latest one (a mutex-guarded slot, no backlog) and wakes the thread
// when a state message is due.
//
// A failed attempt or a lost connection is tried again after a pause that
// doubles from 1 s up to 60 s; once connected again the latest state goes
// out at once. Nothing here shows a box: the status says what is wrong.
class Tmqtt_client {
 public:
  // The longest wait for the broker's answer to a connect.
  static constexpr int kAnswerSeconds = 10;
  static constexpr int kFirstPause = 1, kLongestPause = 60;
  // How long Stop waits by default for "offline" to go out.
  static constexpr int kStopWaitMs = 1000;

  Tmqtt_client();
  ~Tmqtt_client();  // Stop()
  Tmqtt_client(const Tmqtt_client&) = delete;
  Tmqtt_client& operator=(const Tmqtt_client&) = delete;

  // Stops what ran before and, when the settings are on and usable, starts
  // publishing with them (availability, discovery when on, the state).
  void Start(const TmqttSettings& settings);
  // Connects once, with a client id of its own so that a running
  // publisher is not thrown off, and ends at the broker's answer (phase
  // Done, or Waiting with the words of the failure). Publishes nothing.
  void StartTest(const TmqttSettings& settings);
  // The cycle's hand-over of an accepted sample. A state message is due at
  // the first sample and then when `interval` seconds of sample time have
  // passed (every sample for 0).
  void Offer(const TmqttState& state);
  // Publishes "offline", disconnects and ends the thread, waiting at most
  // wait_ms for it; a thread still stuck (in a name lookup, say) is left
  // to end by itself.
  void Stop(int wait_ms = kStopWaitMs);

  bool Running() const { return static_cast<bool>(shared_); }
  const TmqttSettings& Settings() const { return settings_; }
  TmqttStatus Status() const;

  struct Shared;

 private:
  void Launch(const TmqttSettings& settings, bool test_only);

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  TmqttSettings settings_;
  bool has_due_time_ = false;
  std::time_t due_time_ = 0;
};

// The status in one line for the dialog and the debug window.
std::string StatusText(const TmqttStatus& status);
