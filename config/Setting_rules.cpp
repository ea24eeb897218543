#include "config/Setting_rules.h"

#include <cmath>

namespace setting_rules {

namespace {

bool Finite(double x) {
  return std::isfinite(x);
}

bool Whole(double x) {
  return Finite(x) && x == std::floor(x);
}

}  // namespace

bool SampleCountIsWhole(double n) {
  return Whole(n) && n >= 1;
}

bool SampleCountAllowed(double n) {
  return SampleCountIsWhole(n) && n <= kLargestSampleCount;
}

bool SequenceIntervalAllowed(double ts) {
  return Whole(ts) && ts >= 1 && ts <= kLongestSequenceInterval;
}

bool SamplingAllowed(double n, double ts) {
  return !(n > kLargeSampleCount && ts < kShortestIntervalForLargeCount);
}

bool AltitudeAllowed(double metres) {
  return Finite(metres) && metres >= kLowestAltitude && metres <= kHighestAltitude;
}

bool SunnyAboveVariable(double sunny, double variable) {
  return Finite(sunny) && Finite(variable) && sunny > variable;
}

bool VariableAboveOvercast(double variable, double overcast) {
  return Finite(variable) && Finite(overcast) && variable > overcast;
}

bool WeatherLimitsAllowed(double sunny, double variable, double overcast) {
  return SunnyAboveVariable(sunny, variable) && VariableAboveOvercast(variable, overcast);
}

bool HysteresisAllowed(double hysteresis) {
  return Finite(hysteresis) && hysteresis >= 0 && hysteresis <= kLargestHysteresis;
}

bool WindowPlaceAllowed(double pixels) {
  return Finite(pixels) && pixels >= -kFarthestWindowPlace && pixels <= kFarthestWindowPlace;
}

bool SlowDownNotBelowQuickDown(double quick_down, double slow_down) {
  return Finite(quick_down) && Finite(slow_down) && slow_down >= quick_down;
}

bool SlowUpNotBelowSlowDown(double slow_down, double slow_up) {
  return Finite(slow_down) && Finite(slow_up) && slow_up >= slow_down;
}

bool QuickUpNotBelowSlowUp(double slow_up, double quick_up) {
  return Finite(slow_up) && Finite(quick_up) && quick_up >= slow_up;
}

bool TrendRatesAllowed(double quick_down, double slow_down, double quick_up, double slow_up) {
  return SlowDownNotBelowQuickDown(quick_down, slow_down) &&
         SlowUpNotBelowSlowDown(slow_down, slow_up) && QuickUpNotBelowSlowUp(slow_up, quick_up);
}

}  // namespace setting_rules
