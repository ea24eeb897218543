#include "atmosphere/Tendency.h"

#include <cmath>

namespace {

// A half whose change lies within this many mbar of zero is steady.
constexpr double kSteady = 0.1;
// The pressures come with a few decimals; their binary representation must
// not decide a limit (1013.1 - 1013.0 is 0.1 here, not 0.1000000000000227).
constexpr double kSlack = 1e-9;

enum class Move { Falls, Steady, Rises };

Move MoveOf(double change) {
  if (change > kSteady + kSlack) return Move::Rises;
  if (change < -kSteady - kSlack) return Move::Falls;
  return Move::Steady;
}

// The characteristic of a change c > 0 over halves a and b; c < 0 is handled
// by mirroring the pressures.
int Higher(double a, double b) {
  const Move ma = MoveOf(a), mb = MoveOf(b);
  if (ma == Move::Rises && mb == Move::Falls) return 0;
  if (ma == Move::Rises && (mb == Move::Steady || (mb == Move::Rises && b < a / 2))) return 1;
  if ((ma != Move::Rises && mb == Move::Rises) ||
      (ma == Move::Rises && mb == Move::Rises && b > 2 * a))
    return 3;
  return 2;
}

}  // namespace

int TendencyCharacteristic(double p_180, double p_90, double p_0) {
  if (!std::isfinite(p_180) || !std::isfinite(p_90) || !std::isfinite(p_0)) return -1;
  const double a = p_90 - p_180;
  const double b = p_0 - p_90;
  const double c = a + b;
  // Rounded to one decimal, 0.05 already reads 0.1.
  if (std::fabs(c) < 0.05 - kSlack) {
    if (MoveOf(a) == Move::Rises && MoveOf(b) == Move::Falls) return 0;
    if (MoveOf(a) == Move::Falls && MoveOf(b) == Move::Rises) return 5;
    return 4;
  }
  // Codes 5 to 8 are codes 0 to 3 of the falling pressure, in the same order.
  return c > 0 ? Higher(a, b) : 5 + Higher(-a, -b);
}

const char* TendencyWords(int code) {
  static const char* const kWords[9] = {
      "Increasing, then decreasing",
      "Increasing, then steady; or increasing, then increasing more slowly",
      "Increasing, steadily or unsteadily",
      "Decreasing or steady, then increasing; or increasing, then increasing more rapidly",
      "Steady",
      "Decreasing, then increasing",
      "Decreasing, then steady; or decreasing, then decreasing more slowly",
      "Decreasing, steadily or unsteadily",
      "Steady or increasing, then decreasing; or decreasing, then decreasing more rapidly",
  };
  return code >= 0 && code <= 8 ? kWords[code] : "";
}

std::time_t TendencyMinuteOf(std::time_t t) {
  return t - ((t % 60) + 60) % 60;
}

ThreeHourTendency TendencyOf(const TendencyRecord& record, std::time_t now) {
  ThreeHourTendency result;
  const std::time_t minute = TendencyMinuteOf(now);
  result.minute = minute;
  if (!record.nearest_minute) return result;
  const std::optional<TendencyMeans> p_0 = record.nearest_minute(minute, kTendencyWithin);
  if (!p_0) {
    result.gap = TendencyGap::NothingRecent;
    return result;
  }
  // A minute that holds samples of two times (the clock went back over it)
  // is no pressure at any one time: no change is made of it. Each time is
  // read from a minute within kTendencyWithin of it.
  if (record.set_back) {
    for (std::time_t at : {minute, minute - kTendencyHalf, minute - kTendencySpan}) {
      if (const std::optional<std::time_t> to =
              record.set_back(at - kTendencyWithin, at + kTendencyWithin + 60)) {
        result.gap = TendencyGap::ClockSetBack;
        result.at = *to;
        return result;
      }
    }
  }
  const std::optional<TendencyMeans> p_180 =
      record.nearest_minute(minute - kTendencySpan, kTendencyWithin);
  if (!p_180) {
    const std::optional<std::time_t> first =
        record.first_minute ? record.first_minute() : std::nullopt;
    if (!first || *first > minute - kTendencySpan + kTendencyWithin) {
      result.gap = TendencyGap::ShortRecord;
      result.at = first.value_or(minute);
    } else {
      result.gap = TendencyGap::NoStart;
      result.at = minute - kTendencySpan;
    }
    return result;
  }
  result.change = p_0->sea_level_pressure - p_180->sea_level_pressure;
  result.station_change = p_0->pressure - p_180->pressure;
  const std::optional<TendencyMeans> p_90 =
      record.nearest_minute(minute - kTendencyHalf, kTendencyWithin);
  if (!p_90) {
    result.gap = TendencyGap::NoMiddle;
    result.at = minute - kTendencyHalf;
    return result;
  }
  result.gap = TendencyGap::None;
  result.code = TendencyCharacteristic(p_180->sea_level_pressure, p_90->sea_level_pressure,
                                       p_0->sea_level_pressure);
  return result;
}
