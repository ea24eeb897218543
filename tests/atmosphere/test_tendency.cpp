#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "atmosphere/Tendency.h"

namespace {

// A three-hour pressure trace as a forecaster would sketch it: the change
// over the first 90 minutes and over the last 90, from 1013.0 mbar.
struct Trace {
  const char* shape;
  double first_half;
  double second_half;
  int code;
};

int CodeOf(const Trace& t) {
  const double p_180 = 1013.0;
  return TendencyCharacteristic(p_180, p_180 + t.first_half, p_180 + t.first_half + t.second_half);
}

}  // namespace

TEST(Tendency, EveryCodeFromATraceBuiltForIt) {
  const Trace traces[] = {
      {"up then down, ending higher", 1.5, -0.6, 0},
      {"up then down, back where it was", 0.8, -0.8, 0},
      {"up then level", 1.2, 0.1, 1},
      {"up, then up more slowly", 1.2, 0.5, 1},
      {"up evenly", 0.6, 0.7, 2},
      {"up, level halves that add to a rise", 0.08, 0.08, 2},
      {"level then up", 0.0, 0.9, 3},
      {"down then up, ending higher", -0.4, 1.1, 3},
      {"up, then up more rapidly", 0.2, 0.9, 3},
      {"level", 0.04, -0.03, 4},
      {"level halves that nearly cancel", 0.1, -0.1, 4},
      {"down then up, back where it was", -0.7, 0.7, 5},
      {"down then up, ending lower", -1.5, 0.6, 5},
      {"down then level", -1.2, -0.1, 6},
      {"down, then down more slowly", -1.2, -0.5, 6},
      {"down evenly", -0.6, -0.7, 7},
      {"level then down", 0.0, -0.9, 8},
      {"up then down, ending lower", 0.4, -1.1, 8},
      {"down, then down more rapidly", -0.2, -0.9, 8},
  };
  for (const Trace& t : traces) EXPECT_EQ(CodeOf(t), t.code) << t.shape;
}

TEST(Tendency, LimitsOfSteadyAndOfTheSame) {
  // A half within +-0.1 mbar is steady, limits included, whatever the
  // decimals of the pressures do in binary.
  EXPECT_EQ(TendencyCharacteristic(1013.0, 1013.1, 1013.6), 3);    // a steady, b rises
  EXPECT_EQ(TendencyCharacteristic(1013.0, 1013.11, 1013.26), 2);  // both rise about evenly
  // c = 0.05 rounds to 0.1: higher; 0.04 rounds to 0.0: the same.
  EXPECT_EQ(TendencyCharacteristic(1013.0, 1013.5, 1013.05), 0);
  EXPECT_EQ(TendencyCharacteristic(1013.0, 1013.5, 1013.04), 0);
  EXPECT_EQ(TendencyCharacteristic(1013.0, 1013.02, 1013.05), 2);
  EXPECT_EQ(TendencyCharacteristic(1013.0, 1013.02, 1013.04), 4);
  // b exactly half and exactly twice a: neither "slower" nor "more rapidly".
  EXPECT_EQ(TendencyCharacteristic(1000.0, 1001.0, 1001.5), 2);
  EXPECT_EQ(TendencyCharacteristic(1000.0, 1001.0, 1003.0), 2);
}

TEST(Tendency, NoCharacteristicWithoutThreeNumbers) {
  EXPECT_EQ(TendencyCharacteristic(NAN, 1013.0, 1013.0), -1);
  EXPECT_EQ(TendencyCharacteristic(1013.0, INFINITY, 1013.0), -1);
  EXPECT_STREQ(TendencyWords(-1), "");
  EXPECT_STREQ(TendencyWords(9), "");
  EXPECT_STREQ(TendencyWords(2), "Increasing, steadily or unsteadily");
  EXPECT_STREQ(TendencyWords(4), "Steady");
  EXPECT_STREQ(TendencyWords(7), "Decreasing, steadily or unsteadily");
}
