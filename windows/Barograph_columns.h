#pragma once

#include <ctime>
#include <vector>

// The sea-level pressure and the temperature of a time range, summed up
// per pixel column of the barograph: for each column the number of samples
// it holds and the least, greatest and summed value of each quantity, so a
// column drawn from its least to its greatest value shows every spike of its
// time. A column without samples is a gap in the record.
//
// The range is Count() columns, one per pixel of the plot, and ends on a
// column boundary. The boundaries lie on whole minutes as long as a column
// covers a minute or more (then columns of a range differ by a minute at
// most, and each archived minute falls into exactly one column), so the
// columns are built from the archive's minutes without reading a sample.
// With more columns than the range has minutes (a wide window on 24 hours)
// the boundaries lie on whole seconds and each minute fills every column
// its time touches, so the trace has no false gaps. New samples are added
// one by one; following the present time moves the range by whole columns.
class Tbarograph_columns {
 public:
  static constexpr int kDefaultCount = 720;
  static constexpr int kLeastCount = 240;
  static constexpr int kMostCount = 8192;

  struct Column {
    int count = 0;  // samples; 0 = no record
    double p_min = 0, p_max = 0, p_sum = 0;
    double t_min = 0, t_max = 0, t_sum = 0;
    double PressureMean() const { return count > 0 ? p_sum / count : 0; }
    double TemperatureMean() const { return count > 0 ? t_sum / count : 0; }
  };

  // An empty range of span seconds (whole minutes, at least Count()
  // seconds) ending at the first column boundary at or after end.
  void SetRange(std::time_t end, int span);
  // The number of columns (within kLeastCount .. kMostCount); the range
  // keeps its end and span and is emptied.
  void SetCount(int count);
  void Clear();

  int Count() const { return count_; }
  std::time_t Start() const { return Boundary(k_end_ - count_); }
  std::time_t End() const { return Boundary(k_end_); }
  int Span() const { return span_; }
  // The seconds a column covers, rounded down.
  int ColumnSeconds() const { return span_ / count_; }
  // The first minute whose samples the range holds (Start(), or the
  // minute it lies in).
  std::time_t FirstMinute() const;
  // The column that holds calendar second t; -1 outside the range.
  int ColumnOf(std::time_t t) const;
  // Start of column i (the end of the range for i = Count()).
  std::time_t TimeOf(int column) const { return Boundary(k_end_ - count_ + column); }

  // count samples at t with their least, mean and greatest values. True when
  // the envelope of a column changed (a new column, or a new least or
  // greatest value); nothing happens outside the range or for a count below
  // 1.
  bool Add(std::time_t t, int count, double p_min, double p_mean, double p_max, double t_min,
           double t_mean, double t_max);
  bool AddSample(std::time_t t, double pressure, double temperature) {
    return Add(t, 1, pressure, pressure, pressure, temperature, temperature, temperature);
  }
  // Moves the range forward by whole columns until t lies in its last
  // column; the columns that come in are empty. Returns how many columns it
  // moved (0 when t lies before the end).
  int FollowTo(std::time_t t);

  const Column& operator[](int column) const { return columns_[static_cast<size_t>(column)]; }
  // Least and greatest value of one quantity over the columns (least and
  // greatest are members of Column: &Column::p_min, &Column::p_max); false
  // when no column has a sample.
  bool Span(double Column::*least, double Column::*greatest, double& low, double& high) const;
  // The sea-level pressure's span without the outer `fraction` of the
  // minutes on record at each end: low is the least value of the minutes
  // once the `fraction` of them lowest are set aside, high likewise from the
  // top (a fraction of 0.001 of a month sets aside its 43 lowest and 43
  // highest minutes). False when no minute has a sample.
  bool TrimmedPressureSpan(double fraction, double& low, double& high) const;

 private:
  // Seconds of the unit the boundaries lie on: 60, or 1 with more columns
  // than minutes.
  int Unit() const { return count_ <= span_ / 60 ? 60 : 1; }
  // Boundary k (counted from calendar second 0) and the boundary at or
  // before second t.
  std::time_t Boundary(long long k) const;
  long long BoundaryAtOrBefore(std::time_t t) const;
  // The minutes' slots for the range as it now stands.
  void ClearMinutes();

  std::vector<Column> columns_ = std::vector<Column>(kDefaultCount);
  // The least and greatest sea-level pressure of each minute of the range
  // from FirstMinute() on (NaN: none recorded), for the trimmed span.
  std::vector<double> minute_least_, minute_greatest_;
  mutable std::vector<double> scratch_;
  int count_ = kDefaultCount;
  int span_ = kDefaultCount * 120;
  long long k_end_ = 0;  // the boundary the range ends on
};
