#include "config/Reading_settings.h"

#include <string>
#include <vector>

#include "config/Tbarometer_ini.h"

ReadingSettings LoadReadingSettings(const Tbarometer_ini& ini) {
  ReadingSettings s;
  std::vector<std::string> names;
  for (PressureUnit unit : kPressureUnits) names.emplace_back(PressureUnitName(unit));
  s.units.pressure = *PressureUnitNamed(ini.GetChoice("pressure_unit", names, "mbar"));
  s.units.temperature = *TemperatureUnitKeyed(ini.GetChoice("temperature_unit", {"C", "F"}, "C"));
  s.pressure_correction =
      ini.GetNumber("pressure_correction", 0, -ReadingSettings::kMostPressureCorrection,
                    ReadingSettings::kMostPressureCorrection);
  s.temperature_correction =
      ini.GetNumber("temperature_correction", 0, -ReadingSettings::kMostTemperatureCorrection,
                    ReadingSettings::kMostTemperatureCorrection);
  s.storm_warning = ini.GetBool("storm_warning", true);
  s.storm_threshold =
      ini.GetNumber("storm_threshold", Tstorm_warning::kDefaultThreshold,
                    Tstorm_warning::kLeastThreshold, Tstorm_warning::kMostThreshold);
  return s;
}

void StoreReadingSettings(Tbarometer_ini& ini, const ReadingSettings& s) {
  ini.Set("pressure_unit", PressureUnitName(s.units.pressure));
  ini.Set("temperature_unit", TemperatureUnitKey(s.units.temperature));
  ini.SetNumber("pressure_correction", s.pressure_correction);
  ini.SetNumber("temperature_correction", s.temperature_correction);
  ini.SetBool("storm_warning", s.storm_warning);
  ini.SetNumber("storm_threshold", s.storm_threshold);
}
