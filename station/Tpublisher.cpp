#include "station/Tpublisher.h"

#include <utility>

void Tpublisher::Apply(const TmqttSettings& settings) {
  client.Start(settings);
}

TmqttState Tpublisher::StateOf(const Sample& sample) {
  TmqttState state;
  state.time = sample.time;
  state.pressure = sample.pressure;
  state.sea_level_pressure = sample.sea_level_pressure;
  state.temperature = sample.temperature;
  state.altitude = sample.altitude;
  state.weather = WeatherText(sample.weather, sample.precipitation);
  state.trend = sample.has_trend ? TrendText(sample.trend) : "";
  state.tendency_3h = sample.tendency_3h;
  state.tendency_code = sample.tendency_code;
  state.tendency_reason = sample.tendency_reason;
  state.storm_warning = sample.storm_active;
  return state;
}

void Tpublisher::OnSample(const Sample& sample) {
  if (!sample.good || !client.Running()) return;
  client.Offer(StateOf(sample));
}
