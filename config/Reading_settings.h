#pragma once

#include "atmosphere/Storm_warning.h"
#include "atmosphere/Units.h"

class Tbarometer_ini;

// How the readings are shown and judged: the reader's units, the station's
// corrections against a trusted barometer and thermometer, and the storm
// warning. Kept in barometer.ini (keys pressure_unit, temperature_unit,
// pressure_correction, temperature_correction, storm_warning,
// storm_threshold); a value missing, not a number or out of range keeps
// its default.
struct ReadingSettings {
  static constexpr double kMostPressureCorrection = 20.0;    // mbar, either way
  static constexpr double kMostTemperatureCorrection = 5.0;  // deg C, either way

  DisplayUnits units;
  // Added to the compensated pressure [mbar] and temperature [deg C] of
  // every accepted sample, before anything else sees them.
  double pressure_correction = 0;
  double temperature_correction = 0;
  bool storm_warning = true;
  double storm_threshold = Tstorm_warning::kDefaultThreshold;  // mbar in 3 h
};

ReadingSettings LoadReadingSettings(const Tbarometer_ini& ini);
void StoreReadingSettings(Tbarometer_ini& ini, const ReadingSettings& settings);
