#include <gtest/gtest.h>

#include <cmath>

#include "atmosphere/Altitude.h"

namespace {

// The model as a plain table: every boundary is checked from both sides
// against it, which pins down both decision trees.
struct Row {
  double p_low;   // lowest pressure of the band (inclusive)
  double h_high;  // highest altitude of the band (inclusive)
  double b, c;
};
constexpr Row kTable[15] = {
    {1006, 58.4, 8207, 8.1},      {945, 583, 8710, 8.6},        {897.5, 1010.5, 9088, 9.0},
    {850, 1457, 9447, 9.4},       {798, 1966.6, 9787, 9.8},     {744, 2528.4, 10266, 10.4},
    {700, 3010, 10640, 10.9},     {648.5, 3607.4, 11130, 11.6}, {599, 4216.3, 11584, 12.3},
    {549, 4876.2, 12123, 13.2},   {499, 5586.2, 12672, 14.2},   {448.5, 6364.1, 13271, 15.4},
    {400.5, 7170.6, 13899, 16.8}, {349, 8128.6, 14620, 18.6},   {-1e300, 1e300, 15458, 21.0},
};

}  // namespace

TEST(Altitude, WorkedValues) {
  EXPECT_NEAR(AltitudeFromPressure(1013.25), -0.325, 1e-9);
  EXPECT_NEAR(PressureFromAltitude(0), 1013.2099, 1e-4);
  EXPECT_NEAR(AltitudeFromPressure(1100), -703, 1e-9);
  EXPECT_NEAR(AltitudeFromPressure(300), 9158, 1e-9);
  EXPECT_NEAR(PressureFromAltitude(1000), 898.67, 1e-2);
  // Entered altitude 0 m still gives a small sea-level offset.
  EXPECT_NEAR(1013.25 - PressureFromAltitude(0), 0.0401, 1e-4);
}

TEST(Altitude, ThresholdsTakeTheDocumentedSide) {
  EXPECT_NEAR(AltitudeFromPressure(1006), 58.4, 1e-9);
  EXPECT_NEAR(PressureFromAltitude(58.4), 1006, 1e-9);
  EXPECT_NEAR(AltitudeFromPressure(744), 2528.4, 1e-9);
  EXPECT_NEAR(AltitudeFromPressure(743.999), 2530.4, 0.02);
  for (int i = 0; i + 1 < 15; ++i) {
    const Row& above = kTable[i];
    const Row& below = kTable[i + 1];
    SCOPED_TRACE(i);
    // A pressure on the boundary belongs to the higher-pressure segment...
    EXPECT_DOUBLE_EQ(AltitudeFromPressure(above.p_low), above.b - above.p_low * above.c);
    EXPECT_DOUBLE_EQ(AltitudeFromPressure(std::nextafter(above.p_low, 0)),
                     below.b - std::nextafter(above.p_low, 0) * below.c);
    // ...and an altitude on the boundary to the lower-altitude segment.
    EXPECT_DOUBLE_EQ(PressureFromAltitude(above.h_high), (above.b - above.h_high) / above.c);
    const double h_up = std::nextafter(above.h_high, 1e9);
    EXPECT_DOUBLE_EQ(PressureFromAltitude(h_up), (below.b - h_up) / below.c);
    // The stored altitude thresholds match the lines they separate.
    EXPECT_NEAR(AltitudeFromPressure(above.p_low), above.h_high, 0.05);
  }
}

TEST(Altitude, OutsideTheTableAndNaN) {
  EXPECT_NEAR(PressureFromAltitude(-1000), (8207 + 1000) / 8.1, 1e-9);
  EXPECT_LT(PressureFromAltitude(16000), 0);
  EXPECT_NEAR(AltitudeFromPressure(0), 15458, 1e-9);
  EXPECT_TRUE(std::isnan(AltitudeFromPressure(NAN)));
  EXPECT_TRUE(std::isnan(PressureFromAltitude(NAN)));
  EXPECT_EQ(AltitudeFromPressure(INFINITY), -INFINITY);
  EXPECT_EQ(PressureFromAltitude(-INFINITY), INFINITY);
}
