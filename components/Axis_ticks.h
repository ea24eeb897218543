#pragma once

#include <vector>

// Round places for the ticks of a chart's axes, and nothing else: no
// drawing, no widget.
//
// Values fall on whole multiples of a step of 1, 2 or 5 times a power of
// ten; times on whole seconds or minutes of the clock (1, 2, 5, 10, 15, 30
// seconds, 1, 2, 5, 10, 15, 30 minutes, then hours and days), counted in
// local time. Of the steps, the finest is taken that gives at most the
// number of ticks asked for.
class Taxis_ticks {
 public:
  static constexpr double kLeastValueStep = 0.01;
  // The finest value step, never below `least` (0.01, the last place of a
  // value in mbar or deg C; a unit with more places, such as inHg, may ask
  // for less), that puts at most `most` ticks (at least 1) into [low, high];
  // 0 when the range is no finite span.
  static double ValueStep(double low, double high, int most, double least = kLeastValueStep);
  // The finest step for a unit written with `decimals` places: its last
  // place where that is finer than kLeastValueStep.
  static double LeastStep(int decimals);
  // The ticks themselves, from low to high; a range of no span (a flat
  // signal) or one too narrow for any round value has its low end as its
  // one tick, and a range that is not finite has none.
  static std::vector<double> Values(double low, double high, int most,
                                    double least = kLeastValueStep);
  // Decimals that write every multiple of `step` exactly (0 for whole
  // steps); 2 for a step of 0.
  static int Decimals(double step);

  // The finest time step in seconds that puts at most `most` ticks into
  // [first, last] (calendar seconds, in a local time `utc_offset` seconds
  // ahead of UTC); 0 when there is no finite span or it is longer than any
  // step.
  static long long TimeStep(double first, double last, int most, long utc_offset = 0);
  // The ticks: calendar seconds within [first, last] that are whole
  // multiples of that step in local time.
  static std::vector<double> Times(double first, double last, int most, long utc_offset);
  // The local time's offset from UTC at calendar second t, in seconds; 0
  // where t has no local time.
  static long UtcOffset(double t);
};
