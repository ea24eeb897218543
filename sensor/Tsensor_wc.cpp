#include "sensor/Tsensor_wc.h"

#include <initializer_list>

namespace {

// The fields may hold anything the calibration editor stored, negative values
// included; the bit work is done on the unsigned pattern so that no shift ever
// sees a negative operand.
uint32_t Bits(int32_t v) {
  return static_cast<uint32_t>(v);
}

// Every result below is masked to at most 16 bits, so it fits a signed field.
int32_t Field(uint32_t v) {
  return static_cast<int32_t>(v & 0xFFFFu);
}

// What a module's calibration can be, in one place.
//
// A word of 0x0000 or 0xFFFF is what a dead or a floating data line hands
// back (an unplugged module reads as all ones), never a factory calibration.
// For the coefficients, a module's factory trim lands near its design value:
// the modules of this family show C1 = 23,251 to 23,470 (sensitivity),
// C2 = 1,324 to 3,187 (offset), C3 = 670 to 737, C4 = 393 to 610 (their
// temperature coefficients; C4 - 512 is the one the formula uses), C5 = 628
// to 1,649 (reference temperature) and C6 = 13 to 40 (temperature slope).
// The ranges below take these in with a wide margin, so that no real module
// is refused, and leave out the ends of each field, where the coefficients
// of a line stuck at 0 or 1 fall. They are no guard against a glitch on
// their own: a garbled word is caught because two readings disagree.
struct CoefficientRange {
  int32_t low, high;
};
constexpr CoefficientRange kPlausible[6] = {
    {10000, 32000},  // C1, 15 bits: pressure sensitivity at 20 deg C
    {1, 4094},       // C2, 12 bits: pressure offset
    {100, 1000},     // C3, 10 bits: temperature coefficient of the sensitivity
    {100, 1000},     // C4, 10 bits: temperature coefficient of the offset
    {1, 2046},       // C5, 11 bits: reference temperature reading
    {1, 62},         // C6, 6 bits: temperature slope
};

}  // namespace

void Tsensor_wc::Clear() {
  *this = Tsensor_wc();
}

void Tsensor_wc::WordsToCoefficients() {
  const uint32_t w1 = Bits(W1) & 0xFFFFu;
  const uint32_t w2 = Bits(W2) & 0xFFFFu;
  const uint32_t w3 = Bits(W3) & 0xFFFFu;
  const uint32_t w4 = Bits(W4) & 0xFFFFu;
  W1 = Field(w1);
  W2 = Field(w2);
  W3 = Field(w3);
  W4 = Field(w4);

  C1 = Field((w1 >> 1) & 0x7FFFu);
  C2 = Field((((w3 & 0x3Fu) << 6) | (w4 & 0x3Fu)) & 0xFFFu);
  C3 = Field((w4 >> 6) & 0x3FFu);
  C4 = Field((w3 >> 6) & 0x3FFu);
  C5 = Field((((w1 & 1u) << 10) | (w2 >> 6)) & 0x7FFu);
  C6 = Field(w2 & 0x3Fu);
}

void Tsensor_wc::CoefficientsToWords() {
  const uint32_t c1 = Bits(C1) & 0x7FFFu;
  const uint32_t c2 = Bits(C2) & 0xFFFu;
  const uint32_t c3 = Bits(C3) & 0x3FFu;
  const uint32_t c4 = Bits(C4) & 0x3FFu;
  const uint32_t c5 = Bits(C5) & 0x7FFu;
  const uint32_t c6 = Bits(C6) & 0x3Fu;
  C1 = Field(c1);
  C2 = Field(c2);
  C3 = Field(c3);
  C4 = Field(c4);
  C5 = Field(c5);
  C6 = Field(c6);

  W1 = Field((c1 << 1) | (c5 >> 10));
  W2 = Field(((c5 & 0x3FFu) << 6) | c6);
  W3 = Field((c4 << 6) | (c2 >> 6));
  W4 = Field((c3 << 6) | (c2 & 0x3Fu));
}

void Tsensor_wc::CopyTo(Tsensor_wc* destination) const {
  if (destination != nullptr) *destination = *this;
}

bool Tsensor_wc::IsPlausible() const {
  for (int32_t word : {W1, W2, W3, W4})
    if (word <= 0 || word >= 0xFFFF) return false;  // outside 1..0xFFFE, or a dead/floating line
  Tsensor_wc unpacked = *this;
  unpacked.WordsToCoefficients();
  const int32_t c[6] = {unpacked.C1, unpacked.C2, unpacked.C3,
                        unpacked.C4, unpacked.C5, unpacked.C6};
  for (int i = 0; i < 6; ++i)
    if (c[i] < kPlausible[i].low || c[i] > kPlausible[i].high) return false;
  return true;
}

bool Tsensor_wc::IsCleared() const {
  return *this == Tsensor_wc();
}

bool SameWords(const Tsensor_wc& a, const Tsensor_wc& b) {
  return a.W1 == b.W1 && a.W2 == b.W2 && a.W3 == b.W3 && a.W4 == b.W4;
}

bool operator==(const Tsensor_wc& a, const Tsensor_wc& b) {
  return a.W1 == b.W1 && a.W2 == b.W2 && a.W3 == b.W3 && a.W4 == b.W4 && a.C1 == b.C1 &&
         a.C2 == b.C2 && a.C3 == b.C3 && a.C4 == b.C4 && a.C5 == b.C5 && a.C6 == b.C6;
}
