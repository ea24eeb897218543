#include "config/Refused_keys.h"

#include <climits>
#include <cmath>

#include "atmosphere/Storm_warning.h"
#include "atmosphere/Units.h"
#include "config/Port_settings.h"
#include "config/Reading_settings.h"
#include "config/Tbarometer_ini.h"
#include "publish/Mqtt_settings.h"

namespace {

// Each check asks the typed getter with a fallback no good value can give.
struct Checker {
  const Tbarometer_ini& ini;
  std::vector<std::string> refused;

  void Number(const char* key, double min, double max) {
    if (ini.Has(key) && std::isnan(ini.GetNumber(key, NAN, min, max))) refused.push_back(key);
  }
  void Int(const char* key, int min, int max) {
    if (ini.Has(key) && ini.GetInt(key, INT_MIN, min, max) == INT_MIN) refused.push_back(key);
  }
  void Bool(const char* key) {
    if (ini.Has(key) && ini.GetBool(key, true) != ini.GetBool(key, false)) refused.push_back(key);
  }
  void Choice(const char* key, const std::vector<std::string>& choices) {
    if (ini.Has(key) && ini.GetChoice(key, choices, std::string(1, '\0')) == std::string(1, '\0'))
      refused.push_back(key);
  }
};

}  // namespace

std::vector<std::string> RefusedBarometerKeys(const Tbarometer_ini& ini) {
  Checker c{ini, {}};
  std::vector<std::string> units;
  for (PressureUnit unit : kPressureUnits) units.emplace_back(PressureUnitName(unit));
  c.Choice("pressure_unit", units);
  c.Choice("temperature_unit", {"C", "F"});
  c.Number("pressure_correction", -ReadingSettings::kMostPressureCorrection,
           ReadingSettings::kMostPressureCorrection);
  c.Number("temperature_correction", -ReadingSettings::kMostTemperatureCorrection,
           ReadingSettings::kMostTemperatureCorrection);
  c.Bool("storm_warning");
  c.Number("storm_threshold", Tstorm_warning::kLeastThreshold, Tstorm_warning::kMostThreshold);

  c.Bool("mqtt_enabled");
  c.Bool("mqtt_tls");
  c.Int("mqtt_port", 1, 65535);
  c.Int("mqtt_interval", 0, TmqttSettings::kLongestInterval);
  c.Bool("mqtt_retain");
  c.Bool("mqtt_discovery");

  c.Choice("port", {"lpt", "gpio", "ftdi"});
  for (const char* key : {"gpio_clock", "gpio_data_out", "gpio_data_in"})
    c.Int(key, 0, kHighestGpioLine);
  c.Int("gpio_power", -1, kHighestGpioLine);
  for (const char* key : {"ftdi_clock", "ftdi_data_out", "ftdi_data_in"}) c.Int(key, 0, 7);
  c.Int("ftdi_power", -1, 7);
  return c.refused;
}
