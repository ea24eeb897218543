#pragma once

#include <optional>
#include <string>

// The units a reader may choose for what the windows show. Everything the
// program keeps, computes and writes to files stays in mbar and degrees C;
// a unit is applied only where a number becomes text for a reader.

enum class PressureUnit { Mbar, HPa, InHg, MmHg, KPa };
enum class TemperatureUnit { Celsius, Fahrenheit };

// Exact factors: one inch and one millimetre of mercury at 0 deg C under
// standard gravity, in mbar.
constexpr double kMbarPerInHg = 33.8638866667;
constexpr double kMbarPerMmHg = 1.33322387415;
constexpr double kMbarPerKPa = 10.0;

constexpr int kPressureUnitCount = 5;
constexpr PressureUnit kPressureUnits[kPressureUnitCount] = {PressureUnit::Mbar, PressureUnit::HPa,
                                                             PressureUnit::InHg, PressureUnit::MmHg,
                                                             PressureUnit::KPa};

// mbar in one of the unit.
double MbarPer(PressureUnit unit);
// A pressure [mbar] in the unit, and back.
double PressureIn(PressureUnit unit, double mbar);
double PressureFrom(PressureUnit unit, double value);
// Places after the point for a pressure: 2 for mbar and hPa, 3 for inHg and
// kPa, 1 for mmHg. A change over an hour shows one more; a change over 3
// hours one less, but at least one.
int PressureDecimals(PressureUnit unit);
int VariationDecimals(PressureUnit unit);
int TendencyDecimals(PressureUnit unit);
// "mbar", "hPa", "inHg", "mmHg", "kPa": the name shown and kept in
// barometer.ini.
const char* PressureUnitName(PressureUnit unit);
std::optional<PressureUnit> PressureUnitNamed(const std::string& name);

// A temperature [deg C] in the unit, and back.
double TemperatureIn(TemperatureUnit unit, double celsius);
double TemperatureFrom(TemperatureUnit unit, double value);
// "C" or "F", as kept in barometer.ini.
const char* TemperatureUnitKey(TemperatureUnit unit);
std::optional<TemperatureUnit> TemperatureUnitKeyed(const std::string& key);

// The units in force.
struct DisplayUnits {
  PressureUnit pressure = PressureUnit::Mbar;
  TemperatureUnit temperature = TemperatureUnit::Celsius;
};
