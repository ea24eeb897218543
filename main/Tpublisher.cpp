// Publishing the readings to an MQTT broker: the settings in barometer.ini,
// the hand-over of each accepted sample, the start and the clean end.

#include "main/Tpublisher.h"

#include <QLabel>

#include "archive/Tarchive_tendency.h"
#include "atmosphere/Tendency.h"
#include "main/Program.h"
#include "main/Tbarometer_ini.h"
#include "main/Tmain.h"
#include "platform/Clock.h"

namespace {

// Why a state message has no tendency, in the barograph's words.
const char* GapReason(TendencyGap gap) {
  switch (gap) {
    case TendencyGap::NoRecord:
      return "no pressure record is kept";
    case TendencyGap::NothingRecent:
      return "nothing recorded in the last 10 minutes";
    case TendencyGap::ShortRecord:
      return "less than 3 hours of record";
    case TendencyGap::NoStart:
      return "no record around 3 hours ago";
    case TendencyGap::ClockSetBack:
      return "the clock was set back: the record holds some minutes twice";
    case TendencyGap::NoMiddle:
    case TendencyGap::None:
      break;
  }
  return "";
}

}  // namespace

void Tpublisher::Apply(const TmqttSettings& settings) {
  tendency_minute_ = -1;
  client.Start(settings);
}

void Tpublisher::OfferSample(TmqttState state, const Tarchive* archive) {
  if (!client.Running()) return;
  // The tendency reads the record: once a minute is enough, as it is made
  // of minutes.
  if (TendencyMinuteOf(state.time) != tendency_minute_) {
    const ThreeHourTendency t = RecordTendency(archive, state.time);
    tendency_minute_ = t.minute;
    tendency_ = t.HasChange() ? std::optional<double>(t.change) : std::nullopt;
    tendency_code_ = t.code;
    tendency_reason_ = GapReason(t.gap);
  }
  state.tendency_3h = tendency_;
  state.tendency_code = tendency_code_;
  state.tendency_reason = tendency_reason_;
  client.Offer(state);
}

TmqttSettings LoadMqttSettings(const Tbarometer_ini& ini) {
  TmqttSettings s;
  s.enabled = ini.GetBool("mqtt_enabled", false);
  s.host = ini.Get("mqtt_host");
  s.tls = ini.GetBool("mqtt_tls", false);
  s.port = ini.GetInt("mqtt_port", s.tls ? TmqttSettings::kTlsPort : TmqttSettings::kPlainPort, 1,
                      65535);
  s.ca_file = ini.Get("mqtt_ca_file");
  s.user = ini.Get("mqtt_user");
  s.password = ini.Get("mqtt_password");
  s.client_id = ini.Get("mqtt_client_id");
  if (s.client_id.empty()) s.client_id = DefaultClientId();
  s.base_topic = ini.Get("mqtt_base_topic");
  if (s.base_topic.empty()) s.base_topic = DefaultBaseTopic();
  s.interval = ini.GetInt("mqtt_interval", TmqttSettings::kDefaultInterval, 0,
                          TmqttSettings::kLongestInterval);
  s.retain = ini.GetBool("mqtt_retain", true);
  s.discovery = ini.GetBool("mqtt_discovery", true);
  return s;
}

void StoreMqttSettings(Tbarometer_ini& ini, const TmqttSettings& s) {
  ini.SetBool("mqtt_enabled", s.enabled);
  ini.Set("mqtt_host", s.host);
  ini.SetInt("mqtt_port", s.port);
  ini.SetBool("mqtt_tls", s.tls);
  ini.Set("mqtt_ca_file", s.ca_file);
  ini.Set("mqtt_user", s.user);
  ini.Set("mqtt_password", s.password);
  ini.Set("mqtt_client_id", s.client_id);
  ini.Set("mqtt_base_topic", s.base_topic);
  ini.SetInt("mqtt_interval", s.interval);
  ini.SetBool("mqtt_retain", s.retain);
  ini.SetBool("mqtt_discovery", s.discovery);
}

void StartPublishing() {
  ProgramState& program = Program();
  if (program.publisher == nullptr) program.publisher = new Tpublisher;
  program.publisher->Apply(LoadMqttSettings(program.ini));
}

void StopPublishing() {
  ProgramState& program = Program();
  Tpublisher* publisher = program.publisher;
  program.publisher = nullptr;
  delete publisher;  // the client publishes "offline" and disconnects
}

void TWmain::PublishSample() {
  Tpublisher* publisher = Program().publisher;
  if (publisher == nullptr || !publisher->client.Running() || !last_sample_good ||
      Program().clock == nullptr)
    return;
  TmqttState state;
  state.time = Program().clock->Now();
  state.pressure = p_local;
  state.sea_level_pressure = p_sea;
  state.temperature = t_local;
  state.altitude = alt_shown;
  state.weather = Panel5->text().toStdString();
  state.trend = pl_trend->text().toStdString();
  state.storm_warning = storm.Active();
  publisher->OfferSample(std::move(state), Program().archive);
}
