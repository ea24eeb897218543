// The storm warning's rules over the 3-hour tendency: the crossing, the
// clearing after 30 minutes below the threshold's margin, gaps, the switch,
// and the replay of a record after a restart.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "atmosphere/Storm_warning.h"
#include "atmosphere/Tendency.h"

namespace {

using Event = Tstorm_warning::Event;

ThreeHourTendency Change(std::time_t minute, double station_change) {
  ThreeHourTendency t;
  t.minute = minute;
  t.gap = TendencyGap::None;
  t.change = station_change;
  t.station_change = station_change;
  return t;
}

// `minutes` minutes from `minute` on, each at the same change; the last event.
Event Minutes(Tstorm_warning& s, std::time_t& minute, int minutes, double change) {
  Event last = Event::None;
  for (int i = 0; i < minutes; ++i, minute += 60) {
    const Event e = s.Update(Change(minute, change));
    if (e != Event::None) last = e;
  }
  return last;
}

}  // namespace

TEST(StormWarning, RisesAtTheThresholdAndClearsAfterThirtyMinutesBelowItsMargin) {
  Tstorm_warning s;
  std::time_t minute = 6000;
  EXPECT_EQ(Minutes(s, minute, 10, -3.99), Event::None);
  EXPECT_EQ(s.Update(Change(minute, -4.0)), Event::Raised);
  EXPECT_EQ(s.Since(), minute);
  EXPECT_DOUBLE_EQ(s.Fall(), 4.0);
  const std::time_t since = minute;
  minute += 60;
  // Deeper, then back between the margin (3.0) and the threshold: still up,
  // since the same minute.
  EXPECT_EQ(Minutes(s, minute, 30, -6.0), Event::None);
  EXPECT_EQ(Minutes(s, minute, 60, -3.0), Event::None);
  EXPECT_TRUE(s.Active());
  EXPECT_EQ(s.Since(), since);
  // 29 minutes below, one at the margin: the half hour starts again.
  EXPECT_EQ(Minutes(s, minute, 29, -2.9), Event::None);
  EXPECT_EQ(Minutes(s, minute, 1, -3.0), Event::None);
  EXPECT_EQ(Minutes(s, minute, 30, -2.9), Event::None);
  EXPECT_EQ(s.Update(Change(minute, -2.9)), Event::Cleared);
  minute += 60;
  EXPECT_FALSE(s.Active());
  // A new warning needs a new crossing.
  EXPECT_EQ(Minutes(s, minute, 30, -3.9), Event::None);
  EXPECT_EQ(s.Update(Change(minute, -4.2)), Event::Raised);
}

TEST(StormWarning, NothingWithoutAChangeNothingWhileOffAndTheThresholdKeptInItsRange) {
  Tstorm_warning s;
  ThreeHourTendency short_record;
  short_record.minute = 60;
  short_record.gap = TendencyGap::ShortRecord;
  EXPECT_EQ(s.Update(short_record), Event::None);
  std::time_t minute = 120;
  ASSERT_EQ(s.Update(Change(minute, -5)), Event::Raised);
  // A gap neither clears it nor counts as time below the margin.
  for (int i = 0; i < 60; ++i) {
    ThreeHourTendency gap;
    gap.minute = minute += 60;
    gap.gap = TendencyGap::NothingRecent;
    EXPECT_EQ(s.Update(gap), Event::None);
  }
  EXPECT_TRUE(s.Active());
  EXPECT_EQ(s.SetEnabled(false), Event::Cleared);
  EXPECT_EQ(Minutes(s, minute, 10, -8), Event::None);
  EXPECT_FALSE(s.Active());
  EXPECT_EQ(s.SetEnabled(true), Event::None);
  EXPECT_EQ(s.Update(Change(minute, -8)), Event::Raised);

  s.SetThreshold(0.2);
  EXPECT_EQ(s.Threshold(), Tstorm_warning::kLeastThreshold);
  s.SetThreshold(25);
  EXPECT_EQ(s.Threshold(), Tstorm_warning::kMostThreshold);
  s.SetThreshold(NAN);
  EXPECT_EQ(s.Threshold(), Tstorm_warning::kMostThreshold);
}

TEST(StormWarning, AReplayedRecordBringsBackARunningWarningWithItsTime) {
  // Four hours steady at 1000 mbar, then falling 2 mbar an hour: the fall
  // reaches 4 mbar in 3 hours 2 hours into it.
  const std::time_t start = 1700000000 / 60 * 60;
  const std::time_t fall_from = start + 4 * 3600;
  std::map<std::time_t, double> station;
  for (std::time_t t = start; t <= fall_from + 3 * 3600; t += 60)
    station[t] = t < fall_from ? 1000.0 : 1000.0 - 2.0 * static_cast<double>(t - fall_from) / 3600;
  TendencyRecord record;
  record.nearest_minute = [&station, fall_from](std::time_t t,
                                                int) -> std::optional<TendencyMeans> {
    const auto it = station.find(TendencyMinuteOf(t));
    if (it == station.end()) return std::nullopt;
    // The sea-level pressure jumps where the altitude setting changed; the
    // warning reads the station pressure.
    const double jump = it->first >= fall_from + 3600 ? 30 : 0;
    return TendencyMeans{it->first, it->second + jump, it->second};
  };
  record.first_minute = [start] { return std::optional<std::time_t>(start); };

  Tstorm_warning s;
  const std::time_t now = fall_from + 150 * 60;
  EXPECT_TRUE(s.Replay(record, now - Tstorm_warning::kReplaySeconds, now));
  EXPECT_EQ(s.Since(), fall_from + 120 * 60);
  EXPECT_NEAR(s.Fall(), 5.0, 1e-9);
  EXPECT_EQ(s.LastMinute(), now);
  // Further on, nothing new is raised.
  EXPECT_EQ(s.Update(TendencyOf(record, now + 60)), Event::None);
}
