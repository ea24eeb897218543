#pragma once

#include "publish/Tmqtt_client.h"
#include "station/Tstation.h"

// Publishing to an MQTT broker as a sink of the station: every good sample,
// with the weather, the trend, the 3-hour tendency and the storm warning as
// the sample tells them, goes to the client, which sends as its interval
// says.
class Tpublisher : public TstationSink {
 public:
  // Starts the client with these settings, or stops it when they are off.
  void Apply(const TmqttSettings& settings);
  void OnSample(const Sample& sample) override;

  // The state message of a sample.
  static TmqttState StateOf(const Sample& sample);

  Tmqtt_client client;
};
