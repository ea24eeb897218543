#include <gtest/gtest.h>

#include "fakes/ScriptedDialogs.h"
#include "platform/Clock.h"

TEST(VirtualClock, SleepingAdvancesTimeAndIsCounted) {
  VirtualClock clock(1000);
  clock.SleepMs(5);
  clock.SleepMs(995);
  EXPECT_EQ(clock.Now(), 1001);
  EXPECT_EQ(clock.NowMs(), 1001000);
  EXPECT_EQ(clock.SleepCount(), 2);
  EXPECT_EQ(clock.SleptMs(), 1000);
  clock.AdvanceSeconds(3600);
  EXPECT_EQ(clock.Now(), 4601);
  EXPECT_EQ(clock.SleptMs(), 1000);  // advancing is not sleeping
}

TEST(VirtualClock, CanGoBackwards) {
  VirtualClock clock(5000);
  clock.AdvanceMs(1500);
  clock.SetNow(4000);
  EXPECT_EQ(clock.Now(), 4000);
  EXPECT_EQ(clock.NowMs(), 4000500);
  clock.SetNow(-2);  // before 1970: whole seconds still round down
  EXPECT_EQ(clock.Now(), -2);
  clock.AdvanceMs(-501);  // -2.5 s to -2.001 s
  EXPECT_EQ(clock.Now(), -3);
}

TEST(ScriptedDialogs, AnswersFromQueuesAndRecords) {
  ScriptedDialogs d;
  d.confirm_answers = {true};
  d.file_answers = {std::string("a.ini"), std::nullopt};
  EXPECT_TRUE(d.Confirm("Close application ?"));
  EXPECT_FALSE(d.Confirm("again"));  // empty queue answers No
  std::string name = "setup.ini";
  EXPECT_TRUE(d.SaveFileName(name, "ini"));
  EXPECT_EQ(name, "a.ini");
  EXPECT_FALSE(d.OpenFileName(name, "ini"));
  EXPECT_EQ(name, "a.ini");
  ASSERT_EQ(d.calls.size(), 4u);
  EXPECT_EQ(d.calls[2].text, "setup.ini");
  EXPECT_EQ(d.CountOf(ScriptedDialogs::Kind::Confirm), 2);
}

TEST(VirtualClock, TheWallClockSetMovesCalendarTimeOnly) {
  VirtualClock clock(5000);
  clock.AdvanceMs(250);
  clock.SetWallClockBy(-3600);
  EXPECT_EQ(clock.Now(), 1400);
  EXPECT_EQ(clock.NowMs(), 5000250);
  clock.SleepMs(1000);
  EXPECT_EQ(clock.Now(), 1401);
  clock.SetNow(9000);  // calendar time, keeping its millisecond part
  EXPECT_EQ(clock.Now(), 9000);
  EXPECT_EQ(clock.NowMs(), 12600250);
}

TEST(VirtualClock, CalendarMillisecondsFollowTheWallClock) {
  VirtualClock clock(5000);
  clock.AdvanceMs(250);
  EXPECT_EQ(clock.CalendarMs(), 5000250);
  clock.SetWallClockBy(-3600);
  EXPECT_EQ(clock.CalendarMs(), 1400250);
  EXPECT_EQ(clock.Now(), 1400);
  EXPECT_EQ(clock.NowMs(), 5000250);  // the monotonic scale goes on
  SystemClock system;
  const int64_t ms = system.CalendarMs();
  EXPECT_LE(ms / 1000 - 1, static_cast<int64_t>(system.Now()));
}
