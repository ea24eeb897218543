#include "atmosphere/Tmeteo.h"

#include <cstdint>

Tmeteo::Tmeteo(Clock& clock, TmeteoDisplay* display) : clock_(&clock), display_(display) {
  ClearHistory();
}

void Tmeteo::SetSunnyLimit(double x) {
  if (x > variable_limit_ && x > overcast_limit_) sunny_limit_ = x;
}

void Tmeteo::SetVariableLimit(double x) {
  if (x > overcast_limit_ && x < sunny_limit_) variable_limit_ = x;
}

void Tmeteo::SetOvercastLimit(double x) {
  if (x < variable_limit_ && x < sunny_limit_) overcast_limit_ = x;
}

void Tmeteo::SetQuickDownRate(double x) {
  quick_down_rate_ = x;
  UpdateTrend();
}

void Tmeteo::SetSlowDownRate(double x) {
  slow_down_rate_ = x;
  UpdateTrend();
}

void Tmeteo::SetQuickUpRate(double x) {
  quick_up_rate_ = x;
  UpdateTrend();
}

void Tmeteo::SetSlowUpRate(double x) {
  slow_up_rate_ = x;
  UpdateTrend();
}

void Tmeteo::Assess(double x) {
  const double s = sunny_limit_;
  const double v = variable_limit_;
  const double o = overcast_limit_;
  const double h = hysteresis_;

  // Inside a band of width 2h around a limit none of the tests below holds
  // and the earlier class stays. NaN fails every test, so it changes
  // nothing here.
  if (x >= s + h) weather_ = WeatherSunny;
  if (x < s - h) {
    if (x >= v + h) weather_ = WeatherVariable;
    if (x < v - h) {
      if (x >= o + h) weather_ = WeatherOvercast;
      if (x < o - h) weather_ = WeatherPrecipitation;
    }
  }

  // An entry is due once now - step >= the last entry's time. With no entry
  // yet that time is 0, so the first value after construction or a clear is
  // recorded at once on any clock past the first hour of 1970. A clock that
  // went back holds entries off until it has passed the last entry by a full
  // step again. The difference is taken in unsigned arithmetic, only when now
  // is not behind, so that no clock value can overflow it.
  const std::time_t now = clock_->Now();
  bool due = false;
  if (now >= last_push_time_) {
    const uint64_t elapsed = static_cast<uint64_t>(now) - static_cast<uint64_t>(last_push_time_);
    due = elapsed >= static_cast<uint64_t>(kHistoryStep);
  }
  if (due) {
    PushHistory(x);
    last_push_time_ = now;
  }
}

void Tmeteo::ClearHistory() {
  for (double& entry : history_) entry = kEmpty;
  last_push_time_ = 0;
  bar_high_ = 0;
  bar_low_ = -1;
}

void Tmeteo::PushHistory(double x) {
  for (int i = kHistorySize - 1; i > 0; --i) history_[i] = history_[i - 1];
  history_[0] = x;
  UpdateBarRange(x);
  // The range has been reported first, so each bar clamps its value to the
  // new window.
  if (display_ != nullptr) {
    for (int index : kBarEntries) display_->ShowHistoryBar(index, history_[index]);
  }
  UpdateTrend();
}

void Tmeteo::RestoreHistory(const double (&entries)[kHistorySize]) {
  TmeteoDisplay* display = display_;
  display_ = nullptr;  // the window's way there is not shown, only where it ends
  bar_high_ = 0;
  bar_low_ = -1;
  for (int i = kHistorySize - 1; i >= 0; --i) {
    history_[i] = entries[i];
    if (entries[i] != kEmpty) UpdateBarRange(entries[i]);
  }
  display_ = display;
  if (display_ != nullptr) {
    if (bar_high_ != 0) display_->ShowHistoryRange(bar_low_, bar_high_);
    for (int index : kBarEntries) display_->ShowHistoryBar(index, history_[index]);
  }
  UpdateTrend();
}

void Tmeteo::UpdateBarRange(double x) {
  bool changed = false;
  if (x > bar_high_) {
    if (bar_high_ == 0) {
      // No window yet: centre it on the first value.
      bar_high_ = x + kBarSpan / 2;
      bar_low_ = x - kBarSpan / 2;
    } else {
      bar_high_ = x;
      bar_low_ = x - kBarSpan;
    }
    changed = true;
  }
  if (x < bar_low_) {
    bar_low_ = x;
    bar_high_ = x + kBarSpan;
    changed = true;
  }
  if (changed && display_ != nullptr) display_->ShowHistoryRange(bar_low_, bar_high_);
}

void Tmeteo::UpdateTrend() {
  double d = history_[0] - history_[1];
  // Later tests overwrite earlier ones: the falling side uses <=, the
  // rising side >=.
  trend_ = TrendSteady;
  if (d <= slow_down_rate_) trend_ = TrendSlowDown;
  if (d <= quick_down_rate_) trend_ = TrendQuickDown;
  if (d >= slow_up_rate_) trend_ = TrendSlowUp;
  if (d >= quick_up_rate_) trend_ = TrendQuickUp;
  if (history_[0] == kEmpty || history_[1] == kEmpty) {
    trend_ = TrendSteady;
    d = 0;
  }
  if (display_ != nullptr) display_->ShowTrend(trend_, d);
}

double Tmeteo::GetHistory(int index) const {
  if (index < 0 || index >= kHistorySize) return kEmpty;
  return history_[index];
}
