#include "windows/Barograph_columns.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNoMinute = std::numeric_limits<double>::quiet_NaN();

}  // namespace

void Tbarograph_columns::SetRange(std::time_t end, int span) {
  span_ = std::max(span / kCount, 1) * kCount;
  const std::time_t seconds = ColumnSeconds();
  // Rounded up to a column boundary, for times before 1970 as well.
  std::time_t q = end / seconds;
  if (q * seconds < end) ++q;
  end_ = q * seconds;
  Clear();
}

void Tbarograph_columns::Clear() {
  columns_.fill(Column{});
  const size_t minutes = static_cast<size_t>(span_ / 60);
  minute_least_.assign(minutes, kNoMinute);
  minute_greatest_.assign(minutes, kNoMinute);
}

int Tbarograph_columns::ColumnOf(std::time_t t) const {
  if (t < Start() || t >= end_) return -1;
  return static_cast<int>((t - Start()) / ColumnSeconds());
}

bool Tbarograph_columns::Add(std::time_t t, int count, double p_min, double p_mean, double p_max,
                             double t_min, double t_mean, double t_max) {
  const int i = ColumnOf(t);
  if (i < 0 || count < 1) return false;
  Column& c = columns_[static_cast<size_t>(i)];
  bool changed = c.count == 0;
  if (changed) {
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

  const size_t m = static_cast<size_t>((t - Start()) / 60);
  if (m < minute_least_.size()) {
    double& least = minute_least_[m];
    double& greatest = minute_greatest_[m];
    if (std::isnan(least) || p_min < least) least = p_min;
    if (std::isnan(greatest) || p_max > greatest) greatest = p_max;
  }
  return changed;
}

int Tbarograph_columns::FollowTo(std::time_t t) {
  if (t < end_) return 0;
  const std::time_t steps = (t - end_) / ColumnSeconds() + 1;
  end_ += steps * ColumnSeconds();
  if (steps >= kCount) {
    Clear();
    return static_cast<int>(std::min<std::time_t>(steps, 1 << 30));
  }
  const int n = static_cast<int>(steps);
  std::move(columns_.begin() + n, columns_.end(), columns_.begin());
  std::fill(columns_.end() - n, columns_.end(), Column{});
  const auto minutes = static_cast<std::ptrdiff_t>(n) * (ColumnSeconds() / 60);
  for (std::vector<double>* v : {&minute_least_, &minute_greatest_}) {
    std::move(v->begin() + minutes, v->end(), v->begin());
    std::fill(v->end() - minutes, v->end(), kNoMinute);
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
