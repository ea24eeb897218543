#pragma once

// Conversion between pressure and altitude along one fixed piecewise-linear
// model of the atmosphere: 15 segments, each a line
//   altitude = b - pressure * c      (metres, mbar, c in metres per mbar).
// Inputs beyond the table follow the first or last segment without clamping.
// A NaN input gives a NaN result; neither function fails.

// Feet per metre, wherever metres are shown in feet, and metres per foot
// (the international foot) for feet typed in.
constexpr double kFeetPerMetre = 3.28084;
constexpr double kMetresPerFoot = 0.3048;

// Metres for a pressure in mbar. A pressure exactly on a segment boundary
// takes the higher-pressure segment.
double AltitudeFromPressure(double pressure_mbar);

// The altitude as the windows, the chart and its data log show it: within
// the altimeter's scale, -1000..10000 m; NaN shows the bottom.
double ShownAltitude(double altitude_m);

// Pressure in mbar for an altitude in metres. An altitude exactly on a
// segment boundary takes the lower-altitude segment.
double PressureFromAltitude(double altitude_m);
