#pragma once

// The limits of the settings, the same on every way in: the settings dialog
// refuses a value outside them with its message, and loading a settings file
// does not take it (the value in force stays). Values that are no finite
// number break every rule here.
namespace setting_rules {

// The local altitude [m].
constexpr double kLowestAltitude = -703;
constexpr double kHighestAltitude = 9166;
// A sampling sequence holds the program for about 2 x n conversions; more
// than this many would freeze it.
constexpr double kLargestSampleCount = 100;
// The sensor keeps ts in 32 bits.
constexpr double kLongestSequenceInterval = 2147483647;
// More than this many samples a sequence need a ts of at least...
constexpr double kLargeSampleCount = 8;
// ...this many seconds.
constexpr double kShortestIntervalForLargeCount = 2;

// n: a whole number, at least 1 (the dialog's first message)...
bool SampleCountIsWhole(double n);
// ...and at most kLargestSampleCount.
bool SampleCountAllowed(double n);
// ts [s]: a whole number from 1 to kLongestSequenceInterval.
bool SequenceIntervalAllowed(double ts);
// More than kLargeSampleCount samples need ts >= kShortestIntervalForLargeCount.
bool SamplingAllowed(double n, double ts);
bool AltitudeAllowed(double metres);

// The weather limits [mbar] strictly ordered: the weather object holds no
// other set.
bool SunnyAboveVariable(double sunny, double variable);
bool VariableAboveOvercast(double variable, double overcast);
bool WeatherLimitsAllowed(double sunny, double variable, double overcast);
// The hysteresis [mbar] is the half width of a band: not below 0, and
// not beyond kLargestHysteresis, where a band would already span every
// pressure the weather limits can tell apart.
constexpr double kLargestHysteresis = 100;
bool HysteresisAllowed(double hysteresis);

// The small window's place on the desktop [pixels]: a window system's
// coordinates are 16-bit signed numbers.
constexpr double kFarthestWindowPlace = 32767;
bool WindowPlaceAllowed(double pixels);

// The trend rates [mbar/h] in order; equal rates pass.
bool SlowDownNotBelowQuickDown(double quick_down, double slow_down);
bool SlowUpNotBelowSlowDown(double slow_down, double slow_up);
bool QuickUpNotBelowSlowUp(double slow_up, double quick_up);
bool TrendRatesAllowed(double quick_down, double slow_down, double quick_up, double slow_up);

}  // namespace setting_rules
