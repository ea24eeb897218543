#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "publish/Tmqtt_client.h"

class Tarchive;
class Tbarometer_ini;

// The program's side of publishing: the client with the settings of
// barometer.ini, and the 3-hour tendency worked out once a minute for the
// state messages.
class Tpublisher {
 public:
  // Starts the client with these settings, or stops it when they are off.
  void Apply(const TmqttSettings& settings);
  // Hands over one accepted sample; `state` holds everything but the
  // tendency, which comes from the record.
  void OfferSample(TmqttState state, const Tarchive* archive);

  Tmqtt_client client;

 private:
  std::time_t tendency_minute_ = -1;
  std::optional<double> tendency_;
  std::string tendency_reason_;
  int tendency_code_ = -1;
};

// The mqtt_ keys of barometer.ini; missing or bad values give the defaults.
TmqttSettings LoadMqttSettings(const Tbarometer_ini& ini);
void StoreMqttSettings(Tbarometer_ini& ini, const TmqttSettings& settings);

// At the start (after barometer.ini is read) and at the clean end, which
// publishes "offline" and waits a short, bounded time for it to go out.
void StartPublishing();
void StopPublishing();
