#pragma once

#include <QString>

#include "atmosphere/Units.h"

// Numbers as the windows show them, in one place: fixed places with a point
// whatever the locale, and pressures and temperatures in the reader's
// units (atmosphere/Units.h). Every window formats its numbers here, so no
// window needs another's header for it.

// printf's "%.<decimals>f" with a point as decimal separator whatever the
// locale. NaN and infinities come out as "nan", "inf", "-inf".
QString FormatFixed(double value, int decimals);
// With a sign before a change that reads above zero: "+1.2", "-0.4", and
// "0.0" for one that rounds to nothing either way.
QString FormatSigned(double value, int decimals);

// A pressure [mbar] in the unit with the unit's places: "1013.25",
// "29.921", "760.0".
QString PressureText(double mbar, PressureUnit unit);
// A change of pressure [mbar], signed, in the unit with `decimals` places.
QString PressureChangeText(double mbar, PressureUnit unit, int decimals);
QString PressureUnitText(PressureUnit unit);

// A temperature [deg C] in the unit with `decimals` places.
QString TemperatureText(double celsius, TemperatureUnit unit, int decimals);
// "°C" or "°F".
QString TemperatureUnitText(TemperatureUnit unit);
