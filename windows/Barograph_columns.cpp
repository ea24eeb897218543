#include "windows/Barograph_columns.h"

#include <algorithm>

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
  return n;
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
