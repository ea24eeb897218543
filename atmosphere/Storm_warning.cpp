#include "atmosphere/Storm_warning.h"

#include <algorithm>
#include <cmath>

Tstorm_warning::Event Tstorm_warning::SetEnabled(bool on) {
  enabled_ = on;
  if (on || !active_) return Event::None;
  active_ = false;
  below_since_ = -1;
  return Event::Cleared;
}

void Tstorm_warning::SetThreshold(double mbar) {
  if (std::isnan(mbar)) return;
  threshold_ = std::clamp(mbar, kLeastThreshold, kMostThreshold);
}

Tstorm_warning::Event Tstorm_warning::Update(const ThreeHourTendency& tendency) {
  last_minute_ = tendency.minute;
  if (!enabled_ || !tendency.HasChange() || !std::isfinite(tendency.station_change))
    return Event::None;
  const double fall = -tendency.station_change;
  if (!active_) {
    if (!(fall >= threshold_)) return Event::None;
    active_ = true;
    fall_ = fall;
    since_ = tendency.minute;
    below_since_ = -1;
    return Event::Raised;
  }
  fall_ = fall;
  if (fall >= threshold_ - kClearMargin) {
    below_since_ = -1;
    return Event::None;
  }
  if (below_since_ < 0) below_since_ = tendency.minute;
  if (tendency.minute - below_since_ < kClearAfter) return Event::None;
  active_ = false;
  below_since_ = -1;
  return Event::Cleared;
}

bool Tstorm_warning::Replay(const TendencyRecord& record, std::time_t from, std::time_t now) {
  const std::time_t last = TendencyMinuteOf(now);
  for (std::time_t minute = TendencyMinuteOf(from); minute <= last; minute += 60)
    Update(TendencyOf(record, minute));
  return active_;
}

void Tstorm_warning::Reset() {
  active_ = false;
  fall_ = 0;
  since_ = 0;
  below_since_ = -1;
  last_minute_ = -1;
}

void Tstorm_warning::Mirror(bool active, double fall, std::time_t since) {
  active_ = active;
  fall_ = active ? fall : 0;
  since_ = active ? since : 0;
}
