#include <gtest/gtest.h>

#include <cstdint>

#include "sensor/Tsensor_wc.h"

namespace {

Tsensor_wc Words(int32_t w1, int32_t w2, int32_t w3, int32_t w4) {
  Tsensor_wc r;
  r.W1 = w1;
  r.W2 = w2;
  r.W3 = w3;
  r.W4 = w4;
  return r;
}

Tsensor_wc Coefficients(int32_t c1, int32_t c2, int32_t c3, int32_t c4, int32_t c5, int32_t c6) {
  Tsensor_wc r;
  r.C1 = c1;
  r.C2 = c2;
  r.C3 = c3;
  r.C4 = c4;
  r.C5 = c5;
  r.C6 = c6;
  return r;
}

}  // namespace

TEST(CalibrationRecord, FactoryExampleUnpacksAndPacksBack) {
  Tsensor_wc r = Words(0xB5A7, 0x9C4D, 0x62F1, 0xA7B3);
  r.WordsToCoefficients();
  EXPECT_EQ(r.C1, 23251);
  EXPECT_EQ(r.C2, 3187);
  EXPECT_EQ(r.C3, 670);
  EXPECT_EQ(r.C4, 395);
  EXPECT_EQ(r.C5, 1649);
  EXPECT_EQ(r.C6, 13);

  Tsensor_wc back = Coefficients(23251, 3187, 670, 395, 1649, 13);
  back.CoefficientsToWords();
  EXPECT_EQ(back, r);
}

TEST(CalibrationRecord, ClearedRecordStaysClearedBothWays) {
  Tsensor_wc r = Words(1, 2, 3, 4);
  r.C6 = 9;
  r.Clear();
  EXPECT_EQ(r, Tsensor_wc());
  r.WordsToCoefficients();
  EXPECT_EQ(r, Tsensor_wc());
  r.CoefficientsToWords();
  EXPECT_EQ(r, Tsensor_wc());
}

TEST(CalibrationRecord, EveryWordPatternRoundTrips) {
  // Each of the 64 bits lands in exactly one coefficient bit: every single bit
  // and a spread of mixed patterns come back unchanged.
  uint32_t x = 12345;
  for (int i = 0; i < 64 + 2000; ++i) {
    uint16_t w[4];
    if (i < 64) {
      for (int k = 0; k < 4; ++k) w[k] = (i / 16 == k) ? static_cast<uint16_t>(1u << (i % 16)) : 0;
    } else {
      for (uint16_t& v : w) {
        x = x * 1664525u + 1013904223u;
        v = static_cast<uint16_t>(x >> 16);
      }
    }
    Tsensor_wc r = Words(w[0], w[1], w[2], w[3]);
    r.WordsToCoefficients();
    EXPECT_LE(r.C1, 0x7FFF);
    EXPECT_LE(r.C2, 0xFFF);
    EXPECT_LE(r.C3, 0x3FF);
    EXPECT_LE(r.C4, 0x3FF);
    EXPECT_LE(r.C5, 0x7FF);
    EXPECT_LE(r.C6, 0x3F);
    Tsensor_wc packed = Coefficients(r.C1, r.C2, r.C3, r.C4, r.C5, r.C6);
    packed.CoefficientsToWords();
    ASSERT_EQ(packed, r) << "words " << w[0] << " " << w[1] << " " << w[2] << " " << w[3];
  }
}

TEST(CalibrationRecord, WordsOutsideSixteenBitsAreReducedFirst) {
  // As the editor may store a negative number: -1 is 65535.
  Tsensor_wc r = Words(-1, 0, 0, 0);
  r.WordsToCoefficients();
  EXPECT_EQ(r.W1, 65535);
  EXPECT_EQ(r.C1, 32767);
  EXPECT_EQ(r.C5, 1024);  // bit 10 from bit 0 of W1

  Tsensor_wc big = Words(0x12345, -65536, 0x7FFFFFFF, INT32_MIN);
  big.WordsToCoefficients();
  EXPECT_EQ(big.W1, 0x2345);
  EXPECT_EQ(big.W2, 0);
  EXPECT_EQ(big.W3, 0xFFFF);
  EXPECT_EQ(big.W4, 0);
}

TEST(CalibrationRecord, OnlyTheParityOfW1GivesBit10OfC5) {
  Tsensor_wc odd = Words(0x0001, 0, 0, 0);
  odd.WordsToCoefficients();
  EXPECT_EQ(odd.C5, 1024);
  EXPECT_EQ(odd.C1, 0);

  Tsensor_wc even = Words(0xFFFE, 0xFFFF, 0xFFFF, 0xFFFF);
  even.WordsToCoefficients();
  EXPECT_EQ(even.C5 & 1024, 0);
  EXPECT_EQ(even.C5, 1023);
}

TEST(CalibrationRecord, OversizedCoefficientsKeepTheirLowBits) {
  Tsensor_wc r = Coefficients(40000, 4096 + 5, 1024 + 7, -1, 2048 + 3, 64 + 1);
  r.CoefficientsToWords();
  EXPECT_EQ(r.C1, 7232);  // 40000 AND 0x7FFF
  EXPECT_EQ(r.W1, 7232 << 1);
  EXPECT_EQ(r.C2, 5);
  EXPECT_EQ(r.C3, 7);
  EXPECT_EQ(r.C4, 1023);
  EXPECT_EQ(r.C5, 3);
  EXPECT_EQ(r.C6, 1);
  for (int32_t w : {r.W1, r.W2, r.W3, r.W4}) {
    EXPECT_GE(w, 0);
    EXPECT_LE(w, 0xFFFF);
  }
}

TEST(CalibrationRecord, CopyToCopiesEverythingAndIgnoresNull) {
  Tsensor_wc r = Words(1, 2, 3, 4);
  r.C1 = 5;
  r.C6 = 10;
  const Tsensor_wc before = r;
  r.CopyTo(nullptr);
  EXPECT_EQ(r, before);
  Tsensor_wc other;
  r.CopyTo(&other);
  EXPECT_EQ(other, r);
}

TEST(CalibrationRecord, OnlyWordsAModuleCanHaveArePlausible) {
  Tsensor_wc factory = Words(0xB5A7, 0x9C4D, 0x62F1, 0xA7B3);
  EXPECT_TRUE(factory.IsPlausible());
  // What a dead or a floating line hands back.
  EXPECT_FALSE(Words(0, 0x9C4D, 0x62F1, 0xA7B3).IsPlausible());
  EXPECT_FALSE(Words(0xB5A7, 0x9C4D, 0xFFFF, 0xA7B3).IsPlausible());
  EXPECT_FALSE(Words(0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF).IsPlausible());
  // A coefficient at the end of its field: C6 all ones, C1 far too small.
  EXPECT_FALSE(Words(0xB5A7, 0x9C7F, 0x62F1, 0xA7B3).IsPlausible());
  EXPECT_FALSE(Words(0x0102, 0x9C4D, 0x62F1, 0xA7B3).IsPlausible());
  // The words decide, not the coefficient fields.
  factory.C1 = 0;
  EXPECT_TRUE(factory.IsPlausible());
}
