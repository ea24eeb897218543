#pragma once

#include <cstddef>
#include <vector>

// A fixed number of (value, time) slots used as a ring, oldest sample first,
// with the smallest and largest value of every block of slots kept up to
// date as samples come in, so that the span of any run of samples is found
// in a time that grows with the logarithm of its length, not the length.
//
// Blocks nest four to one: 4 slots, 16, 64, ... A run is answered from the
// largest blocks that lie whole inside it and single slots at its ends,
// taken in the order of the samples, so the result is exactly that of a
// plain scan with std::min and std::max (a NaN never replaces an end, and of
// equal values the first one stays).
//
// The blocks of 4 are also grouped sixteen at a time (64 slots), with the
// span from each block to the start and to the end of its group kept as
// well. A run that crosses from one group into the next, as the runs of a
// column do once a column holds more than a group's worth of samples, is
// then answered from those two spans and a few slots at its ends, in a time
// that no longer grows with its length.
class Tsample_ring {
 public:
  // Makes n slots, all holding 0.0, and no sample. Throws std::bad_alloc
  // when there is no storage; the ring is then empty (Capacity 0).
  void Reset(int n);
  // Gives back all storage.
  void Release();

  int Capacity() const { return capacity_; }
  int Count() const { return count_; }
  // Forgets the samples; the slots keep their contents.
  void Clear() {
    count_ = 0;
    head_ = 0;
  }

  // Appends a sample; when full the oldest one leaves.
  void Push(double value, double time);
  // Moves samples 1 .. Count-1 one place towards the oldest, dropping sample
  // 0; the newest place keeps its sample, so it is then held twice.
  void ShiftDown();

  // Sample i (0 = oldest); i must lie within 0 .. Count-1.
  double Value(int i) const { return values_[Slot(i)]; }
  double Time(int i) const { return times_[Slot(i)]; }

  // Folds the values of samples first .. last (inclusive, within the stored
  // ones) into lo and hi with std::min and std::max, oldest first.
  void Span(int first, int last, double& lo, double& hi) const;

 private:
  size_t Slot(int i) const {
    size_t s = head_ + static_cast<size_t>(i);
    return s >= static_cast<size_t>(capacity_) ? s - static_cast<size_t>(capacity_) : s;
  }
  // Writes one slot and brings the blocks above it up to date.
  void Write(size_t slot, double value, double time);
  // Recomputes block j of level k (k >= 1) from the level beneath.
  void Summarise(size_t k, size_t j);
  // Runs of at most this many samples are scanned slot by slot.
  static constexpr size_t kShortRun = 24;
  // Folds the slots [a, b) of storage order into lo and hi, one by one.
  void Scan(size_t a, size_t b, double& lo, double& hi) const;
  // The same through the blocks.
  void Fold(size_t a, size_t b, double& lo, double& hi) const;
  // The same through the group spans where the run allows it.
  void FoldAcross(size_t a, size_t b, double& lo, double& hi) const;
  // Recomputes the group spans of the group holding block j of 4 slots.
  void SummariseGroup(size_t j);

  int capacity_ = 0;
  int count_ = 0;
  size_t head_ = 0;  // slot of the oldest sample
  std::vector<double> values_;
  std::vector<double> times_;
  // lows_[k][j], highs_[k][j]: span of block j of 4^k slots (k >= 1; the
  // entries for k = 0 stay empty, the slots themselves serve).
  std::vector<std::vector<double>> lows_;
  std::vector<std::vector<double>> highs_;
  // For block j of 4 slots: the span of the blocks from the first of its
  // group up to j (to_*) and from j to the last of its group (from_*), side
  // by side, so that a column's look-up reads one cache line at each end.
  struct GroupSpans {
    double to_low;
    double to_high;
    double from_low;
    double from_high;
  };
  std::vector<GroupSpans> group_spans_;
};
