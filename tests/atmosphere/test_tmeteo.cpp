#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "atmosphere/Tmeteo.h"
#include "platform/Clock.h"

namespace {

// Records every notification as one line of text, in call order.
class RecordingDisplay : public TmeteoDisplay {
 public:
  void ShowHistoryRange(double low, double high) override {
    Add("range " + Num(low) + " " + Num(high));
  }
  void ShowHistoryBar(int index, double value) override {
    Add("bar" + std::to_string(index) + " " + Num(value));
  }
  void ShowTrend(TrendClass trend, double variation) override {
    Add("trend " + std::to_string(trend) + " " + Num(variation));
  }
  std::vector<std::string> Take() { return std::move(calls); }
  std::vector<std::string> calls;

 private:
  void Add(std::string s) { calls.push_back(std::move(s)); }
  static std::string Num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
  }
};

class TmeteoTest : public ::testing::Test {
 protected:
  // Assesses x one history step after the previous call.
  void NextHour(double x) {
    clock.AdvanceSeconds(Tmeteo::kHistoryStep);
    meteo.Assess(x);
  }
  VirtualClock clock{1700000000};
  RecordingDisplay display;
  Tmeteo meteo{clock, &display};
};

using Calls = std::vector<std::string>;

}  // namespace

TEST_F(TmeteoTest, FirstValueIsRecordedAtOnceAndCentred) {
  meteo.Assess(1012.0);
  EXPECT_EQ(meteo.GetWeather(), WeatherVariable);
  EXPECT_EQ(meteo.GetLastPushTime(), clock.Now());
  EXPECT_EQ(display.Take(),
            (Calls{"range 1005.00 1019.00", "bar0 1012.00", "bar1 -1.00", "bar2 -1.00",
                   "bar4 -1.00", "bar8 -1.00", "bar16 -1.00", "trend 2 0.00"}));
  // Nothing more until a full hour has passed.
  clock.AdvanceSeconds(3599);
  meteo.Assess(1013.0);
  EXPECT_TRUE(display.Take().empty());
  clock.AdvanceSeconds(1);
  meteo.Assess(1013.0);
  EXPECT_EQ(meteo.GetHistory(1), 1012.0);
  EXPECT_EQ(display.Take(), (Calls{"bar0 1013.00", "bar1 1012.00", "bar2 -1.00", "bar4 -1.00",
                                   "bar8 -1.00", "bar16 -1.00", "trend 3 1.00"}));
}

TEST_F(TmeteoTest, HistoryShiftsOneEntryPerHourOverDays) {
  for (int hour = 0; hour < 30; ++hour) NextHour(1000.0 + hour);
  for (int i = 0; i < Tmeteo::kHistorySize; ++i) EXPECT_EQ(meteo.GetHistory(i), 1029.0 - i);
  EXPECT_EQ(meteo.GetHistory(20), -1);
  EXPECT_EQ(meteo.GetHistory(-1), -1);
  // Without a display the same work runs and simply reports nothing.
  meteo.SetDisplay(nullptr);
  display.Take();
  NextHour(990);
  EXPECT_EQ(meteo.GetHistory(0), 990);
  EXPECT_TRUE(display.Take().empty());
}

TEST_F(TmeteoTest, BarWindowMovesOnlyWhenAValueLeavesIt) {
  meteo.Assess(1012.0);
  display.Take();
  NextHour(1019.0);  // exactly at the top: no move
  NextHour(1005.0);  // exactly at the bottom: no move
  for (const std::string& call : display.Take()) EXPECT_NE(call.rfind("range", 0), 0u) << call;
  NextHour(1020.0);
  EXPECT_EQ(meteo.GetBarLow(), 1006.0);
  EXPECT_EQ(meteo.GetBarHigh(), 1020.0);
  EXPECT_EQ(display.Take().front(), "range 1006.00 1020.00");
  NextHour(1004.0);
  EXPECT_EQ(meteo.GetBarLow(), 1004.0);
  EXPECT_EQ(meteo.GetBarHigh(), 1018.0);
  // Range first, then the six bars in their fixed order.
  EXPECT_EQ(display.Take(),
            (Calls{"range 1004.00 1018.00", "bar0 1004.00", "bar1 1020.00", "bar2 1005.00",
                   "bar4 1012.00", "bar8 -1.00", "bar16 -1.00", "trend 0 -16.00"}));
}

TEST_F(TmeteoTest, WeatherKeepsItsClassInsideTheHysteresisBands) {
  struct Step {
    double x;
    WeatherClass expected;
  };
  const Step steps[] = {
      {1016.2, WeatherNone},  // band around the sunny limit from the start
      {1016.5, WeatherSunny},         {1015.7, WeatherSunny},         {1015.4, WeatherVariable},
      {1009.2, WeatherVariable},      {1008.4, WeatherOvercast},      {1001.5, WeatherOvercast},
      {1001.4, WeatherPrecipitation}, {1002.4, WeatherPrecipitation}, {1002.5, WeatherOvercast},
      {NAN, WeatherOvercast},
  };
  for (const Step& s : steps) {
    meteo.Assess(s.x);
    EXPECT_EQ(meteo.GetWeather(), s.expected) << s.x;
  }
}

TEST_F(TmeteoTest, TrendClassAtAndBesideEachRate) {
  struct Case {
    double second;
    TrendClass expected;
  };
  const Case cases[] = {
      {1012.5, TrendSlowDown},   {1012.0, TrendQuickDown}, {1013.5, TrendSlowUp},
      {1014.0, TrendQuickUp},    {1013.1, TrendSteady},    {1012.77, TrendSlowDown},
      {1012.78, TrendSteady},    {1013.23, TrendSlowUp},   {1013.22, TrendSteady},
      {1012.09, TrendQuickDown}, {1012.11, TrendSlowDown}, {1013.91, TrendQuickUp},
      {1013.89, TrendSlowUp},
  };
  for (const Case& c : cases) {
    meteo.ClearHistory();
    meteo.Assess(1013.0);
    NextHour(c.second);
    EXPECT_EQ(int{meteo.GetTrend()}, int{c.expected}) << c.second;
  }
  // A variation exactly equal to a rate takes that rate's class (values
  // chosen so that the difference is exact in binary).
  meteo.SetSlowDownRate(-0.5);
  meteo.SetSlowUpRate(0.5);
  meteo.SetQuickDownRate(-2);
  meteo.SetQuickUpRate(2);
  const double exact[][2] = {
      {999.5, TrendSlowDown}, {1000, TrendSlowUp}, {998, TrendQuickDown}, {1000, TrendQuickUp}};
  meteo.PushHistory(1000);
  for (const auto& e : exact) {
    meteo.PushHistory(e[0]);
    EXPECT_EQ(meteo.GetTrend(), static_cast<TrendClass>(e[1])) << e[0];
  }
}

TEST_F(TmeteoTest, RateChangeRenotifiesTheTrendAtOnce) {
  meteo.Assess(1013.0);
  NextHour(1013.2);
  EXPECT_EQ(meteo.GetTrend(), TrendSteady);
  display.Take();
  meteo.SetSlowUpRate(0.1);
  EXPECT_EQ(meteo.GetTrend(), TrendSlowUp);
  ASSERT_EQ(display.Take(), (Calls{"trend 4 0.20"}));
  EXPECT_EQ(meteo.GetHistory(0), 1013.2);
}

TEST_F(TmeteoTest, ClockGoingBackwardsDelaysTheNextEntry) {
  meteo.Assess(1010.0);
  const std::time_t first = clock.Now();
  clock.SetNow(first - 5000);
  meteo.Assess(1011.0);
  clock.SetNow(first + 3599);
  meteo.Assess(1012.0);
  EXPECT_EQ(meteo.GetHistory(1), -1);
  EXPECT_EQ(meteo.GetLastPushTime(), first);
  clock.SetNow(first + 3600);
  meteo.Assess(1013.0);
  EXPECT_EQ(meteo.GetHistory(0), 1013.0);
  EXPECT_EQ(meteo.GetHistory(1), 1010.0);
}

TEST_F(TmeteoTest, EntriesNeedAFullStepSinceTheLastOneEvenWithNone) {
  // A clock that reads 0 must not record a value on every call: the empty
  // history counts as an entry at time 0.
  clock.SetNow(0);
  meteo.Assess(1010.0);
  meteo.Assess(1011.0);
  clock.SetNow(3599);
  meteo.Assess(1012.0);
  EXPECT_EQ(meteo.GetHistory(0), -1);
  EXPECT_TRUE(display.Take().empty());
  clock.SetNow(3600);
  meteo.Assess(1013.0);
  meteo.Assess(1014.0);
  EXPECT_EQ(meteo.GetHistory(0), 1013.0);
  EXPECT_EQ(meteo.GetHistory(1), -1);
  EXPECT_EQ(meteo.GetLastPushTime(), 3600);
  // Nor does a clock set before 1970.
  meteo.ClearHistory();
  clock.SetNow(-86400);
  meteo.Assess(1015.0);
  EXPECT_EQ(meteo.GetHistory(0), -1);
}

TEST_F(TmeteoTest, LimitsKeepTheirOrder) {
  meteo.SetVariableLimit(1020);  // above sunny: refused
  EXPECT_EQ(meteo.GetVariableLimit(), 1009);
  meteo.SetOvercastLimit(1020);
  meteo.SetVariableLimit(1025);
  meteo.SetSunnyLimit(1030);
  EXPECT_EQ(meteo.GetOvercastLimit(), 1002);
  EXPECT_EQ(meteo.GetVariableLimit(), 1009);
  EXPECT_EQ(meteo.GetSunnyLimit(), 1030);
  meteo.SetSunnyLimit(1009);  // equal to variable: refused
  meteo.SetOvercastLimit(1009);
  EXPECT_EQ(meteo.GetSunnyLimit(), 1030);
  EXPECT_EQ(meteo.GetOvercastLimit(), 1002);
}

TEST_F(TmeteoTest, ClearHistoryStartsAgainWithoutNotifying) {
  meteo.Assess(1020.0);
  NextHour(1010.0);
  display.Take();
  meteo.ClearHistory();
  EXPECT_TRUE(display.Take().empty());
  EXPECT_EQ(meteo.GetHistory(0), -1);
  EXPECT_EQ(meteo.GetBarHigh(), 0);
  EXPECT_EQ(meteo.GetBarLow(), -1);
  EXPECT_EQ(meteo.GetLastPushTime(), 0);
  EXPECT_EQ(meteo.GetWeather(), WeatherVariable);
  EXPECT_EQ(meteo.GetTrend(), TrendQuickDown);
  meteo.Assess(1000.0);  // same second as before: recorded at once
  EXPECT_EQ(meteo.GetHistory(0), 1000.0);
  EXPECT_EQ(display.Take().front(), "range 993.00 1007.00");
}

TEST_F(TmeteoTest, NaNIsCarriedWithoutMovingTheWindow) {
  meteo.Assess(1012.0);
  display.Take();
  NextHour(NAN);
  EXPECT_TRUE(std::isnan(meteo.GetHistory(0)));
  EXPECT_EQ(meteo.GetBarLow(), 1005.0);
  EXPECT_EQ(meteo.GetTrend(), TrendSteady);
  const Calls calls = display.Take();
  EXPECT_EQ(calls.front(), "bar0 nan");
  EXPECT_EQ(calls.back(), "trend 2 nan");
}
