#include "config/Refused_keys.h"

#include "config/Mqtt_ini.h"
#include "config/Port_settings.h"
#include "config/Reading_settings.h"
#include "config/Tbarometer_ini.h"

std::vector<std::string> RefusedBarometerKeys(const Tbarometer_ini& ini) {
  // Each feature reads its keys as it always does; what their getters
  // refuse is what is named, so the rules stand in one place.
  Tbarometer_ini probe = ini;
  probe.ClearRefusals();
  LoadReadingSettings(probe);
  LoadMqttSettings(probe);
  ReadPortChoice(probe);
  std::vector<std::string> keys;
  for (const Tbarometer_ini::Refusal& r : probe.Refusals()) keys.push_back(r.key);
  return keys;
}
