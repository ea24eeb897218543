#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "atmosphere/Tmeteo.h"
#include "sensor/Tsample_source.h"

// Rain or snow, decided from the temperature when the weather turns to
// precipitation, and kept while it stays.
enum class Precipitation : uint8_t { kNone = 0, kRain, kRainAndSnow, kSnow };

// What the storm warning did at this sample.
enum class StormEvent : uint8_t { kNone = 0, kRaised, kCleared };

// Everything one tick of the station found: every consumer (the record, the
// storm warning, the publisher, the windows) gets this one record.
struct Sample {
  std::time_t time = 0;  // calendar seconds, when it was taken
  SampleSourceKind source = SampleSourceKind::kModule;
  // The raw words as the module gave them (0 for a failed module sample);
  // empty for a source without them.
  std::optional<int32_t> d1, d2;

  bool good = false;
  SampleFailure failure = SampleFailure::kNone;
  std::string reason;  // in words, for a failed sample from a source that tells

  // Corrected local values of this sample (the last good one's for a failed
  // sample; see `good`).
  double pressure = 0;            // mbar
  double temperature = 0;         // deg C
  double sea_level_pressure = 0;  // mbar
  double altitude = 0;            // m, not clamped

  WeatherClass weather = WeatherNone;
  Precipitation precipitation = Precipitation::kNone;
  TrendClass trend = TrendSteady;
  bool has_trend = false;  // whether the hourly history has a trend to tell
  double variation = 0;    // mbar per hour

  // The 3-hour tendency of the record, worked out once a minute: the change
  // [mbar] and its WMO code (0..8), or the reason there is none.
  std::optional<double> tendency_3h;
  int tendency_code = -1;
  std::string tendency_reason;

  // The storm warning as it stands after this sample.
  bool storm_active = false;
  double storm_fall = 0;        // mbar in 3 h, positive for a fall
  std::time_t storm_since = 0;  // the minute the threshold was reached
  StormEvent storm_event = StormEvent::kNone;
};

// The words the windows and the published state use for a sample's weather
// ("Sunny", "Rainy", ... ; "" before the first assessment) and trend
// ("Constant", ... ; "" when none).
const char* WeatherText(WeatherClass weather, Precipitation precipitation);
const char* TrendText(TrendClass trend);
