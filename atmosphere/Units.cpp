#include "atmosphere/Units.h"

#include <algorithm>

double MbarPer(PressureUnit unit) {
  switch (unit) {
    case PressureUnit::Mbar:
    case PressureUnit::HPa:
      return 1.0;
    case PressureUnit::InHg:
      return kMbarPerInHg;
    case PressureUnit::MmHg:
      return kMbarPerMmHg;
    case PressureUnit::KPa:
      return kMbarPerKPa;
  }
  return 1.0;
}

double PressureIn(PressureUnit unit, double mbar) {
  return mbar / MbarPer(unit);
}

double PressureFrom(PressureUnit unit, double value) {
  return value * MbarPer(unit);
}

int PressureDecimals(PressureUnit unit) {
  switch (unit) {
    case PressureUnit::Mbar:
    case PressureUnit::HPa:
      return 2;
    case PressureUnit::InHg:
    case PressureUnit::KPa:
      return 3;
    case PressureUnit::MmHg:
      return 1;
  }
  return 2;
}

int VariationDecimals(PressureUnit unit) {
  return PressureDecimals(unit) + 1;
}

int TendencyDecimals(PressureUnit unit) {
  return std::max(PressureDecimals(unit) - 1, 1);
}

const char* PressureUnitName(PressureUnit unit) {
  switch (unit) {
    case PressureUnit::Mbar:
      return "mbar";
    case PressureUnit::HPa:
      return "hPa";
    case PressureUnit::InHg:
      return "inHg";
    case PressureUnit::MmHg:
      return "mmHg";
    case PressureUnit::KPa:
      return "kPa";
  }
  return "mbar";
}

std::optional<PressureUnit> PressureUnitNamed(const std::string& name) {
  for (PressureUnit unit : kPressureUnits)
    if (name == PressureUnitName(unit)) return unit;
  return std::nullopt;
}

double TemperatureIn(TemperatureUnit unit, double celsius) {
  return unit == TemperatureUnit::Fahrenheit ? celsius * 1.8 + 32 : celsius;
}

double TemperatureFrom(TemperatureUnit unit, double value) {
  return unit == TemperatureUnit::Fahrenheit ? (value - 32) / 1.8 : value;
}

const char* TemperatureUnitKey(TemperatureUnit unit) {
  return unit == TemperatureUnit::Fahrenheit ? "F" : "C";
}

std::optional<TemperatureUnit> TemperatureUnitKeyed(const std::string& key) {
  if (key == "C") return TemperatureUnit::Celsius;
  if (key == "F") return TemperatureUnit::Fahrenheit;
  return std::nullopt;
}
