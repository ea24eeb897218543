#include "chart/Sample_ring.h"

#include <algorithm>
#include <cmath>

namespace {

// Block size of level k: 4^k slots.
size_t BlockSize(size_t k) {
  return size_t{1} << (2 * k);
}

}  // namespace

void Tsample_ring::Release() {
  capacity_ = 0;
  count_ = 0;
  head_ = 0;
  std::vector<double>().swap(values_);
  std::vector<double>().swap(times_);
  std::vector<std::vector<double>>().swap(lows_);
  std::vector<std::vector<double>>().swap(highs_);
  std::vector<GroupSpans>().swap(group_spans_);
}

void Tsample_ring::Reset(int n) {
  Release();
  if (n <= 0) return;
  try {
    const size_t slots = static_cast<size_t>(n);
    values_.assign(slots, 0.0);
    times_.assign(slots, 0.0);
    // Level 0 is the slots themselves; a level exists while one of its
    // blocks fits into the ring. Every slot holds 0.0, so does every block.
    lows_.emplace_back();
    highs_.emplace_back();
    for (size_t k = 1; BlockSize(k) <= slots; ++k) {
      const size_t blocks = (slots + BlockSize(k) - 1) / BlockSize(k);
      lows_.emplace_back(blocks, 0.0);
      highs_.emplace_back(blocks, 0.0);
    }
    if (lows_.size() > 1) {
      group_spans_.assign(lows_[1].size(), GroupSpans{0.0, 0.0, 0.0, 0.0});
    }
  } catch (...) {
    Release();
    throw;
  }
  capacity_ = n;
}

void Tsample_ring::Push(double value, double time) {
  if (capacity_ <= 0) return;
  if (count_ < capacity_) {
    Write(Slot(count_), value, time);
    ++count_;
    return;
  }
  // Full: the oldest slot takes the new sample and becomes the newest.
  Write(head_, value, time);
  if (++head_ == static_cast<size_t>(capacity_)) head_ = 0;
}

void Tsample_ring::ShiftDown() {
  if (count_ < 2) return;
  const double value = Value(count_ - 1);
  const double time = Time(count_ - 1);
  if (++head_ == static_cast<size_t>(capacity_)) head_ = 0;
  Write(Slot(count_ - 1), value, time);
}

void Tsample_ring::Write(size_t slot, double value, double time) {
  values_[slot] = value;
  times_[slot] = time;
  for (size_t k = 1; k < lows_.size(); ++k) Summarise(k, slot >> (2 * k));
  if (!group_spans_.empty()) SummariseGroup(slot >> 2);
}

void Tsample_ring::SummariseGroup(size_t j) {
  const std::vector<double>& lows = lows_[1];
  const std::vector<double>& highs = highs_[1];
  const size_t first = j & ~size_t{15};
  const size_t end = std::min(first + 16, lows.size());
  // Both folds keep the first of equal values, as the plain scan does:
  // forwards the running span stays unless beaten, backwards the earlier
  // block stays unless beaten.
  double lo = HUGE_VAL;
  double hi = -HUGE_VAL;
  for (size_t i = first; i < end; ++i) {
    lo = std::min(lo, lows[i]);
    hi = std::max(hi, highs[i]);
    group_spans_[i].to_low = lo;
    group_spans_[i].to_high = hi;
  }
  lo = HUGE_VAL;
  hi = -HUGE_VAL;
  for (size_t i = end; i-- > first;) {
    lo = std::min(lows[i], lo);
    hi = std::max(highs[i], hi);
    group_spans_[i].from_low = lo;
    group_spans_[i].from_high = hi;
  }
}

void Tsample_ring::Summarise(size_t k, size_t j) {
  // Started beyond every number, so that a NaN (never smaller nor larger
  // than anything) leaves the ends as they are.
  double lo = HUGE_VAL;
  double hi = -HUGE_VAL;
  const size_t first = 4 * j;
  if (k == 1) {
    const size_t end = std::min(first + 4, values_.size());
    for (size_t i = first; i < end; ++i) {
      lo = std::min(lo, values_[i]);
      hi = std::max(hi, values_[i]);
    }
  } else {
    const std::vector<double>& lows = lows_[k - 1];
    const std::vector<double>& highs = highs_[k - 1];
    const size_t end = std::min(first + 4, lows.size());
    for (size_t i = first; i < end; ++i) {
      lo = std::min(lo, lows[i]);
      hi = std::max(hi, highs[i]);
    }
  }
  lows_[k][j] = lo;
  highs_[k][j] = hi;
}

void Tsample_ring::Fold(size_t a, size_t b, double& lo_out, double& hi_out) const {
  const size_t levels = lows_.size();
  // In locals, so the compiler need not fear that they alias the stores.
  double lo = lo_out;
  double hi = hi_out;
  auto take = [&](size_t k) {
    if (k == 0) {
      lo = std::min(lo, values_[a]);
      hi = std::max(hi, values_[a]);
    } else {
      const size_t j = a >> (2 * k);
      lo = std::min(lo, lows_[k][j]);
      hi = std::max(hi, highs_[k][j]);
    }
    a += BlockSize(k);
  };
  // Upwards: whole blocks of each level until the start lies on a boundary
  // of the next larger one, as long as one of those still fits.
  size_t k = 0;
  for (;;) {
    const size_t size = BlockSize(k);
    const size_t larger = size * 4;
    while ((a & (larger - 1)) != 0 && a + size <= b) take(k);
    if (k + 1 < levels && a + larger <= b) {
      ++k;
      continue;
    }
    break;
  }
  // Downwards: as many whole blocks of each level as fit, down to slots.
  for (;; --k) {
    while (a + BlockSize(k) <= b) take(k);
    if (k == 0) break;
  }
  lo_out = lo;
  hi_out = hi;
}

void Tsample_ring::FoldAcross(size_t a, size_t b, double& lo_out, double& hi_out) const {
  // The whole blocks of 4 in the run: ja .. jb - 1.
  const size_t ja = (a + 3) >> 2;
  const size_t jb = b >> 2;
  if (group_spans_.empty() || ja >= jb) {
    Fold(a, b, lo_out, hi_out);
    return;
  }
  const size_t ga = ja >> 4;
  const size_t gb = (jb - 1) >> 4;
  const bool starts_group = (ja & 15) == 0;
  const bool ends_group = (jb & 15) == 0 || jb == group_spans_.size();
  if (ga == gb && !starts_group && !ends_group) {
    // Inside one group, touching neither of its ends: the blocks serve.
    Fold(a, b, lo_out, hi_out);
    return;
  }
  double lo = lo_out;
  double hi = hi_out;
  Scan(a, 4 * ja, lo, hi);
  const GroupSpans& first = group_spans_[ja];
  const GroupSpans& last = group_spans_[jb - 1];
  if (ga == gb && starts_group) {
    lo = std::min(lo, last.to_low);
    hi = std::max(hi, last.to_high);
  } else if (ga == gb) {
    lo = std::min(lo, first.from_low);
    hi = std::max(hi, first.from_high);
  } else {
    lo = std::min(lo, first.from_low);
    hi = std::max(hi, first.from_high);
    // Whole groups between, from the blocks above them.
    if (gb > ga + 1) Fold(64 * (ga + 1), 64 * gb, lo, hi);
    lo = std::min(lo, last.to_low);
    hi = std::max(hi, last.to_high);
  }
  Scan(4 * jb, b, lo, hi);
  lo_out = lo;
  hi_out = hi;
}

void Tsample_ring::Scan(size_t a, size_t b, double& lo, double& hi) const {
  // In locals, so the compiler need not fear that lo and hi alias the slots.
  double l = lo;
  double h = hi;
  const double* v = values_.data();
  for (size_t i = a; i < b; ++i) {
    l = std::min(l, v[i]);
    h = std::max(h, v[i]);
  }
  lo = l;
  hi = h;
}

void Tsample_ring::Span(int first, int last, double& lo, double& hi) const {
  if (first > last || first < 0 || last >= count_) return;
  const size_t start = Slot(first);
  const size_t length = static_cast<size_t>(last - first) + 1;
  const size_t end = start + length;
  const size_t capacity = static_cast<size_t>(capacity_);
  // A short run, such as a column's when the samples are a few times the
  // columns, is read slot by slot: cheaper than finding its blocks.
  const bool short_run = length <= kShortRun;
  if (end <= capacity) {
    if (short_run)
      Scan(start, end, lo, hi);
    else
      FoldAcross(start, end, lo, hi);
    return;
  }
  // The run wraps: its older part ends the storage, its newer part starts it.
  if (short_run) {
    Scan(start, capacity, lo, hi);
    Scan(0, end - capacity, lo, hi);
    return;
  }
  FoldAcross(start, capacity, lo, hi);
  FoldAcross(0, end - capacity, lo, hi);
}
