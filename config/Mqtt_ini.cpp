#include "config/Mqtt_ini.h"

#include "config/Tbarometer_ini.h"
#include "publish/Mqtt_settings.h"

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
  // Left empty when the file gives none: the client works out the default
  // for the program and folder it runs in when it connects, so a copied
  // folder never carries another one's id.
  s.client_id = ini.Get("mqtt_client_id");
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
