#include "windows/Barograph_columns.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNoMinute = std::numeric_limits<double>::quiet_NaN();

// Division rounding toward minus infinity, for times before 1970 as well.
long long FloorDiv(long long a, long long b) {
  const long long q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::time_t MinuteOf(std::time_t t) {
  return static_cast<std::time_t>(FloorDiv(t, 60) * 60);
}

}  // namespace

std::time_t Tbarograph_columns::Boundary(long long k) const {
  // Boundary k lies at unit * floor(k * units / count): the range's
  // `units` units spread over its columns as evenly as whole units go.
  const int unit = Unit();
  const long long units = span_ / unit;
  return static_cast<std::time_t>(unit * FloorDiv(k * units, count_));
}

long long Tbarograph_columns::BoundaryAtOrBefore(std::time_t t) const {
  // The largest k with Boundary(k) <= t.
  const int unit = Unit();
  const long long units = span_ / unit;
  return FloorDiv((FloorDiv(t, unit) + 1) * count_ - 1, units);
}

void Tbarograph_columns::SetRange(std::time_t end, int span) {
  span_ = std::max(span / 60, 1) * 60;
  if (span_ < count_) span_ = (count_ + 59) / 60 * 60;
  k_end_ = BoundaryAtOrBefore(end - 1) + 1;
  Clear();
}

void Tbarograph_columns::SetCount(int count) {
  const std::time_t end = End();
  count_ = std::clamp(count, kLeastCount, kMostCount);
  columns_.assign(static_cast<size_t>(count_), Column{});
  SetRange(end, span_);
}

std::time_t Tbarograph_columns::FirstMinute() const {
  return MinuteOf(Start());
}

void Tbarograph_columns::Clear() {
  std::fill(columns_.begin(), columns_.end(), Column{});
  ClearMinutes();
}

void Tbarograph_columns::ClearMinutes() {
  const size_t minutes = static_cast<size_t>((End() - FirstMinute() + 59) / 60);
  minute_least_.assign(minutes, kNoMinute);
  minute_greatest_.assign(minutes, kNoMinute);
}

int Tbarograph_columns::ColumnOf(std::time_t t) const {
  if (t < Start() || t >= End()) return -1;
  return static_cast<int>(BoundaryAtOrBefore(t) - (k_end_ - count_));
}

bool Tbarograph_columns::Add(std::time_t t, int count, double p_min, double p_mean, double p_max,
                             double t_min, double t_mean, double t_max) {
  if (count < 1 || t >= End()) return false;
  const std::time_t minute = MinuteOf(t);
  if (minute + 60 <= Start()) return false;
  // The columns of t's minute: its one column, or each that its seconds
  // touch when columns are shorter than a minute.
  int first = ColumnOf(std::max(minute, Start()));
  int last = Unit() == 60 ? first : ColumnOf(std::min<std::time_t>(minute + 59, End() - 1));
  if (first < 0) return false;
  bool changed = false;
  for (int i = first; i <= last; ++i) {
    Column& c = columns_[static_cast<size_t>(i)];
    if (c.count == 0) {
      changed = true;
      c.p_min = p_min;
      c.p_max = p_max;
      c.t_min = t_min;
      c.t_max = t_max;
    } else {
      if (p_min < c.p_min || p_max > c.p_max || t_min < c.t_min || t_max > c.t_max) changed = true;
      c.p_min = std::min(c.p_min, p_min);
      c.p_max = std::max(c.p_max, p_max);
      c.t_min = std::min(c.t_min, t_min);
      c.t_max = std::max(c.t_max, t_max);
    }
    c.count += count;
    c.p_sum += p_mean * count;
    c.t_sum += t_mean * count;
  }

  const size_t m = static_cast<size_t>((minute - FirstMinute()) / 60);
  if (minute >= FirstMinute() && m < minute_least_.size()) {
    double& least = minute_least_[m];
    double& greatest = minute_greatest_[m];
    if (std::isnan(least) || p_min < least) least = p_min;
    if (std::isnan(greatest) || p_max > greatest) greatest = p_max;
  }
  return changed;
}

int Tbarograph_columns::FollowTo(std::time_t t) {
  if (t < End()) return 0;
  const std::time_t first_minute = FirstMinute();
  const long long steps = BoundaryAtOrBefore(t) + 1 - k_end_;
  k_end_ += steps;
  if (steps >= count_) {
    Clear();
    return static_cast<int>(std::min<long long>(steps, 1 << 30));
  }
  const int n = static_cast<int>(steps);
  std::move(columns_.begin() + n, columns_.end(), columns_.begin());
  std::fill(columns_.end() - n, columns_.end(), Column{});
  const auto minutes = static_cast<std::ptrdiff_t>((FirstMinute() - first_minute) / 60);
  const size_t size = static_cast<size_t>((End() - FirstMinute() + 59) / 60);
  for (std::vector<double>* v : {&minute_least_, &minute_greatest_}) {
    const std::ptrdiff_t moved =
        std::min<std::ptrdiff_t>(minutes, static_cast<std::ptrdiff_t>(v->size()));
    v->erase(v->begin(), v->begin() + moved);
    v->resize(size, kNoMinute);
  }
  return n;
}

bool Tbarograph_columns::TrimmedPressureSpan(double fraction, double& low, double& high) const {
  scratch_.clear();
  for (double v : minute_least_)
    if (!std::isnan(v)) scratch_.push_back(v);
  if (scratch_.empty()) return false;
  const size_t n = scratch_.size();
  const size_t k =
      std::min(static_cast<size_t>(std::floor(static_cast<double>(n) * fraction)), n - 1);
  std::nth_element(scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(k),
                   scratch_.end());
  low = scratch_[k];
  scratch_.clear();
  for (double v : minute_greatest_)
    if (!std::isnan(v)) scratch_.push_back(v);
  std::nth_element(scratch_.begin(),
                   scratch_.begin() + static_cast<std::ptrdiff_t>(scratch_.size() - 1 - k),
                   scratch_.end());
  high = scratch_[scratch_.size() - 1 - k];
  return true;
}

bool Tbarograph_columns::Span(double Column::*least, double Column::*greatest, double& low,
                              double& high) const {
  bool any = false;
  for (const Column& c : columns_) {
    if (c.count == 0) continue;
    low = any ? std::min(low, c.*least) : c.*least;
    high = any ? std::max(high, c.*greatest) : c.*greatest;
    any = true;
  }
  return any;
}
