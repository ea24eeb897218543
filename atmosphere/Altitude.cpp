#include "atmosphere/Altitude.h"

#include <cmath>

namespace {

struct Segment {
  double b;  // metres
  double c;  // metres per mbar
};

// Index 0 is segment 1 (highest pressure, lowest altitude).
constexpr Segment kSegments[15] = {
    {8207, 8.1},   {8710, 8.6},   {9088, 9.0},   {9447, 9.4},   {9787, 9.8},
    {10266, 10.4}, {10640, 10.9}, {11130, 11.6}, {11584, 12.3}, {12123, 13.2},
    {12672, 14.2}, {13271, 15.4}, {13899, 16.8}, {14620, 18.6}, {15458, 21.0},
};

// Segment number (1..15) for a pressure. Every test is "greater than or
// equal", so a pressure on a boundary belongs to the higher-pressure segment.
// NaN fails every test and lands on segment 15, which carries it through.
int SegmentForPressure(double p) {
  if (p >= 700) {
    if (p >= 897.5) {
      if (p >= 1006) return 1;
      return p >= 945 ? 2 : 3;
    }
    if (p >= 798) return p >= 850 ? 4 : 5;
    return p >= 744 ? 6 : 7;
  }
  if (p >= 499) {
    if (p >= 599) return p >= 648.5 ? 8 : 9;
    return p >= 549 ? 10 : 11;
  }
  if (p >= 400.5) return p >= 448.5 ? 12 : 13;
  return p >= 349 ? 14 : 15;
}

// Segment number (1..15) for an altitude. The thresholds are the stored
// altitudes of the segment boundaries, not recomputed from b and c; every
// test is "strictly greater", so an altitude on a boundary belongs to the
// lower-altitude segment. NaN lands on segment 1.
int SegmentForAltitude(double h) {
  if (h > 3010) {
    if (h > 5586.2) {
      if (h > 7170.6) return h > 8128.6 ? 15 : 14;
      return h > 6364.1 ? 13 : 12;
    }
    if (h > 4216.3) return h > 4876.2 ? 11 : 10;
    return h > 3607.4 ? 9 : 8;
  }
  if (h > 1010.5) {
    if (h > 1966.6) return h > 2528.4 ? 7 : 6;
    return h > 1457 ? 5 : 4;
  }
  if (h > 58.4) return h > 583 ? 3 : 2;
  return 1;
}

}  // namespace

double AltitudeFromPressure(double pressure_mbar) {
  const Segment& s = kSegments[SegmentForPressure(pressure_mbar) - 1];
  return s.b - pressure_mbar * s.c;
}

double PressureFromAltitude(double altitude_m) {
  const Segment& s = kSegments[SegmentForAltitude(altitude_m) - 1];
  return (s.b - altitude_m) / s.c;
}

double ShownAltitude(double altitude_m) {
  if (std::isnan(altitude_m) || altitude_m < -1000) return -1000;
  return altitude_m > 10000 ? 10000 : altitude_m;
}
