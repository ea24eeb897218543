#pragma once

#include <cmath>
#include <ctime>
#include <functional>
#include <optional>

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

// ---------------------------------------------------------------------------
// The 3-hour tendency of the pressure record.
//
// p(now), p(now - 90 min) and p(now - 3 h) are the minute means whose start
// lies nearest to those times, within kTendencyWithin seconds either side;
// "now" is the start of the present minute (TendencyMinuteOf). Every reader
// of the tendency (the barograph's line, the storm warning, what is
// published) works it out here, so that they always agree.

// How far from its time a minute may lie to stand for it.
constexpr int kTendencyWithin = 600;
constexpr int kTendencyHalf = 90 * 60;
constexpr int kTendencySpan = 180 * 60;

// The start of the minute that holds calendar second t (rounded down, also
// before 1970).
std::time_t TendencyMinuteOf(std::time_t t);

// One minute of the record as the tendency reads it.
struct TendencyMeans {
  std::time_t time = 0;           // start of the minute
  double sea_level_pressure = 0;  // mean [mbar]
  double pressure = 0;            // mean local (station) pressure [mbar]
};

// What the tendency reads from the record, handed in by its owner.
struct TendencyRecord {
  // The minute whose start is nearest to t within +-within seconds.
  std::function<std::optional<TendencyMeans>(std::time_t t, int within)> nearest_minute;
  // The start of the first minute on record.
  std::function<std::optional<std::time_t>()> first_minute;
  // Where the clock was set back to, when a set-back made the record hold
  // some of [from, to] twice (samples of two stretches of time on the same
  // minutes); nothing otherwise, and nothing when not given.
  std::function<std::optional<std::time_t>(std::time_t from, std::time_t to)> set_back;
};

// Why the tendency reads "--" (or, for NoMiddle, has no characteristic).
enum class TendencyGap {
  None,           // change and characteristic known
  NoRecord,       // no record is kept at all
  NothingRecent,  // no minute within 10 minutes of now
  ShortRecord,    // the record begins less than 3 hours ago
  NoStart,        // the record has a gap around now - 3 h
  NoMiddle,       // the change is known, but there is a gap around now - 90 min
  ClockSetBack,   // the clock was set back: a minute it reads holds two times
};

struct ThreeHourTendency {
  std::time_t minute = 0;  // the minute it was worked out for
  TendencyGap gap = TendencyGap::NoRecord;
  // p(now) - p(now - 3 h) of the sea-level and of the local pressure [mbar];
  // NaN without a change.
  double change = NAN;
  double station_change = NAN;
  // The characteristic 0..8 of the sea-level pressure, -1 without.
  int code = -1;
  // ShortRecord: where the record begins (the minute itself when it is
  // empty). NoStart / NoMiddle: the time the missing minute stands for.
  // ClockSetBack: the time the clock was set back to.
  std::time_t at = 0;

  bool HasChange() const { return gap == TendencyGap::None || gap == TendencyGap::NoMiddle; }
};

// The tendency at calendar second now. A record without nearest_minute is
// no record.
ThreeHourTendency TendencyOf(const TendencyRecord& record, std::time_t now);
