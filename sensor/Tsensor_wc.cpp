#include "sensor/Tsensor_wc.h"

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

bool operator==(const Tsensor_wc& a, const Tsensor_wc& b) {
  return a.W1 == b.W1 && a.W2 == b.W2 && a.W3 == b.W3 && a.W4 == b.W4 && a.C1 == b.C1 &&
         a.C2 == b.C2 && a.C3 == b.C3 && a.C4 == b.C4 && a.C5 == b.C5 && a.C6 == b.C6;
}
