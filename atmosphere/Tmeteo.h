#pragma once

#include <cstdint>
#include <ctime>

#include "platform/Clock.h"

enum WeatherClass : uint8_t {
  WeatherNone = 0,  // no assessment yet
  WeatherSunny = 1,
  WeatherVariable = 2,
  WeatherOvercast = 3,
  WeatherPrecipitation = 4,  // rain or snow; the display tells them apart
};

enum TrendClass : uint8_t {
  TrendQuickDown = 0,
  TrendSlowDown = 1,
  TrendSteady = 2,
  TrendQuickUp = 3,
  TrendSlowUp = 4,
};

// What the weather object reports to the window that shows it. The main
// window implements it; with no display attached the reports are skipped.
class TmeteoDisplay {
 public:
  virtual ~TmeteoDisplay() = default;
  // The window of all six history bars moved: low..high mbar.
  virtual void ShowHistoryRange(double low, double high) = 0;
  // The bar of history entry `index` (0, 1, 2, 4, 8 or 16) shows `value`;
  // -1 means the entry is empty and the bar is disabled.
  virtual void ShowHistoryBar(int index, double value) = 0;
  // Current trend and the hourly variation in mbar.
  virtual void ShowTrend(TrendClass trend, double variation) = 0;
};

// Weather assessment from the sea-level pressure: a weather class decided
// with hysteresis around three limits, an hourly history of 20 values of
// which six drive the history bars, and the pressure trend over the last
// hour.
class Tmeteo {
 public:
  static constexpr int kHistorySize = 20;
  static constexpr int kHistoryStep = 3600;  // seconds between history entries
  static constexpr double kEmpty = -1;       // marks an empty history entry
  static constexpr double kBarSpan = 14;     // mbar shown by the history bars
  // History entries that have a bar, in the order the bars are updated.
  static constexpr int kBarEntries[6] = {0, 1, 2, 4, 8, 16};

  explicit Tmeteo(Clock& clock, TmeteoDisplay* display = nullptr);

  void SetDisplay(TmeteoDisplay* display) { display_ = display; }

  // The limits must stay in the order sunny > variable > overcast; a value
  // that would break it is ignored.
  void SetSunnyLimit(double x);
  void SetVariableLimit(double x);
  void SetOvercastLimit(double x);
  void SetHysteresis(double x) { hysteresis_ = x; }

  // Rates in mbar per hour; each setter recomputes and reports the trend.
  void SetQuickDownRate(double x);
  void SetSlowDownRate(double x);
  void SetQuickUpRate(double x);
  void SetSlowUpRate(double x);

  double GetSunnyLimit() const { return sunny_limit_; }
  double GetVariableLimit() const { return variable_limit_; }
  double GetOvercastLimit() const { return overcast_limit_; }
  double GetHysteresis() const { return hysteresis_; }
  double GetQuickDownRate() const { return quick_down_rate_; }
  double GetSlowDownRate() const { return slow_down_rate_; }
  double GetQuickUpRate() const { return quick_up_rate_; }
  double GetSlowUpRate() const { return slow_up_rate_; }

  // Takes one sea-level pressure: decides the weather class and, when a
  // history step has passed since the last entry, records the value.
  void Assess(double sea_level_pressure);

  WeatherClass GetWeather() const { return weather_; }
  TrendClass GetTrend() const { return trend_; }

  // Empties the history and the bar window. Weather and trend stay, and
  // nothing is reported.
  void ClearHistory();

  // Shifts x into the history, moves the bar window, reports the bars and
  // recomputes the trend.
  void PushHistory(double x);
  // Moves the 14 mbar bar window so that it holds x; reports it if it moved.
  void UpdateBarRange(double x);
  // Puts back a history kept elsewhere (entries[0] the newest, kEmpty where
  // there is none) as if its values had been recorded one by one, oldest
  // first: the bar window moves as each would have moved it, an empty entry
  // never moves it, and the bars and the trend are reported. The time of
  // the last entry stays as it is.
  void RestoreHistory(const double (&entries)[kHistorySize]);
  // Trend from the last two history entries; reported to the display.
  void UpdateTrend();

  // Entry `index` (0 = newest); -1 when empty or outside 0..19.
  double GetHistory(int index) const;
  double GetBarHigh() const { return bar_high_; }
  double GetBarLow() const { return bar_low_; }
  std::time_t GetLastPushTime() const { return last_push_time_; }

 private:
  Clock* clock_;
  TmeteoDisplay* display_;

  double history_[kHistorySize];
  WeatherClass weather_ = WeatherNone;
  double sunny_limit_ = 1016;
  double variable_limit_ = 1009;
  double overcast_limit_ = 1002;
  double hysteresis_ = 0.5;
  double bar_high_ = 0;  // 0: no window yet
  double bar_low_ = -1;
  double quick_down_rate_ = -0.9;
  double slow_down_rate_ = -0.23;
  double quick_up_rate_ = 0.9;
  double slow_up_rate_ = 0.23;
  TrendClass trend_ = TrendSteady;
  std::time_t last_push_time_ = 0;  // 0: no entry yet
};
