#pragma once

// The characteristic of the 3-hour pressure tendency, as observers report
// it in synoptic messages (WMO code table 0200): a code 0 to 8 that tells
// how the pressure went over the three hours, not only how far.
//
// The three hours are cut in two halves at 90 minutes: a = p_90 - p_180 is
// the change over the first half, b = p_0 - p_90 over the second, and
// c = a + b the change over the whole. A half "rises" when its change is
// above +0.1 mbar, "falls" below -0.1 mbar and is "steady" in between
// (both limits included). c is "the same" when it rounds to 0.0 mbar at
// one decimal, otherwise "higher" or "lower".
//
//   c the same:  0 when a rises and b falls, 5 when a falls and b rises,
//                4 otherwise.
//   c higher:    0 when a rises and b falls;
//                1 when a rises and b is steady, or a rises and b rises by
//                  less than half of a;
//                3 when a is steady or falls and b rises, or a rises and b
//                  rises by more than twice a;
//                2 otherwise (rising about evenly).
//   c lower:     the mirror image, "rises" and "falls" swapped:
//                5 when a falls and b rises;
//                6 when a falls and b is steady, or a falls and b falls by
//                  less than half of a;
//                8 when a is steady or rises and b falls, or a falls and b
//                  falls by more than twice a;
//                7 otherwise.
//
// The pressures are the minute means of the sea-level pressure at now - 3 h,
// now - 90 min and now, in mbar. A pressure that is not a finite number
// gives -1: there is no characteristic then.
int TendencyCharacteristic(double p_180, double p_90, double p_0);

// The words of code table 0200 for a characteristic 0 to 8 (without the
// closing "atmospheric pressure now ... than three hours ago", which the
// change itself tells); "" for any other number.
const char* TendencyWords(int code);
