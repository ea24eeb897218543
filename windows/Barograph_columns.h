#pragma once

#include <array>
#include <ctime>
#include <vector>

// The sea-level pressure and the temperature of a time range, summed up
// per pixel column of the barograph: for each column the number of samples
// it holds and the least, greatest and summed value of each quantity, so a
// column drawn from its least to its greatest value shows every spike of its
// time. A column without samples is a gap in the record.
//
// The range is kCount columns of equal whole seconds and ends on a multiple
// of the column's seconds. Every span the barograph offers gives columns of
// whole minutes, so each archived minute falls into exactly one column and
// the columns are built from the archive's minutes without reading a sample.
// New samples are added one by one; following the present time moves the
// range by whole columns.
class Tbarograph_columns {
 public:
  static constexpr int kCount = 720;

  struct Column {
    int count = 0;  // samples; 0 = no record
    double p_min = 0, p_max = 0, p_sum = 0;
    double t_min = 0, t_max = 0, t_sum = 0;
    double PressureMean() const { return count > 0 ? p_sum / count : 0; }
    double TemperatureMean() const { return count > 0 ? t_sum / count : 0; }
  };

  // An empty range of span seconds (at least kCount) ending at the first
  // column boundary at or after end.
  void SetRange(std::time_t end, int span);
  void Clear();

  std::time_t Start() const { return end_ - span_; }
  std::time_t End() const { return end_; }
  int Span() const { return span_; }
  int ColumnSeconds() const { return span_ / kCount; }
  // The column that holds calendar second t; -1 outside the range.
  int ColumnOf(std::time_t t) const;
  // Start of column i.
  std::time_t TimeOf(int column) const {
    return Start() + static_cast<std::time_t>(column) * ColumnSeconds();
  }

  // count samples at t with their least, mean and greatest values. True when
  // the column's envelope changed (a new column, or a new least or greatest
  // value); nothing happens outside the range or for a count below 1.
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
  std::array<Column, kCount> columns_{};
  // The least and greatest sea-level pressure of each minute of the range
  // (NaN: none recorded), for the trimmed span.
  std::vector<double> minute_least_, minute_greatest_;
  mutable std::vector<double> scratch_;
  std::time_t end_ = 0;
  int span_ = kCount * 120;
};
