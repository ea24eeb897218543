#pragma once

#include <cstdint>

// Calibration record of the sensor module: the four 16-bit calibration words
// as stored in the module and the six coefficients packed into them, side by
// side. A plain value record; a new one is all zeros.
//
// Packing (bit 15 is the most significant bit of a word):
//   W1: bits 15..1 = C1 (15 bits), bit 0 = bit 10 of C5
//   W2: bits 15..6 = bits 9..0 of C5, bits 5..0 = C6
//   W3: bits 15..6 = C4, bits 5..0 = bits 11..6 of C2
//   W4: bits 15..6 = C3, bits 5..0 = bits 5..0 of C2
struct Tsensor_wc {
  int32_t W1 = 0, W2 = 0, W3 = 0, W4 = 0, C1 = 0, C2 = 0, C3 = 0, C4 = 0, C5 = 0, C6 = 0;

  // Sets all ten fields to 0.
  void Clear();
  // Reduces W1..W4 to their low 16 bits (stored back) and unpacks C1..C6.
  void WordsToCoefficients();
  // Reduces C1..C6 to their widths (stored back) and packs W1..W4.
  void CoefficientsToWords();
  // Copies all ten fields; a null destination is ignored.
  void CopyTo(Tsensor_wc* destination) const;
  // Whether the words could be a module's calibration: no word 0x0000 or
  // 0xFFFF, and the coefficients unpacked from them within the ranges of
  // Tsensor_wc.cpp (kPlausible), which gives the reasons. The coefficient
  // fields are not looked at: the words decide.
  bool IsPlausible() const;
  // Whether all ten fields are 0: the record of a sensor without calibration.
  bool IsCleared() const;
};

// Whether the four words are the same (the coefficients are not compared).
bool SameWords(const Tsensor_wc& a, const Tsensor_wc& b);

bool operator==(const Tsensor_wc& a, const Tsensor_wc& b);
inline bool operator!=(const Tsensor_wc& a, const Tsensor_wc& b) {
  return !(a == b);
}
