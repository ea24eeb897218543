#include <gtest/gtest.h>

#include <set>

#include "platform/Clock.h"
#include "service/Tcadence.h"

namespace {
// Waits as the service does and takes the tick when due; the calendar time
// [ms] it was taken at.
int64_t NextTick(Tcadence& cadence, VirtualClock& clock) {
  for (int guard = 0; guard < 10; ++guard) {
    clock.SleepMs(static_cast<int>(cadence.WaitMs()));
    if (cadence.Due()) return clock.CalendarMs();
  }
  ADD_FAILURE() << "no tick came";
  return -1;
}
}  // namespace

TEST(Cadence, SixHundredTicksAtOneSecondAreOnePerSecondOnTheClock) {
  VirtualClock clock(1700000000);
  clock.AdvanceMs(437);  // started within a second
  Tcadence cadence(clock, 1000);
  NextTick(cadence, clock);  // at once, not on a whole second
  std::set<std::time_t> seconds;
  for (int i = 0; i < 600; ++i) {
    const int64_t at = NextTick(cadence, clock);
    EXPECT_EQ(at % 1000, 0) << "tick " << i;
    EXPECT_EQ(at, (1700000001 + i) * 1000LL) << "tick " << i;
    seconds.insert(clock.Now());
    // The tick's own work (a sampling sequence): up to most of a second,
    // which must not push the ticks after it.
    clock.AdvanceMs(50 + (i * 137) % 900);
  }
  EXPECT_EQ(seconds.size(), 600u);
  EXPECT_EQ(*seconds.begin(), 1700000001);
  EXPECT_EQ(*seconds.rbegin(), 1700000600);
  EXPECT_EQ(cadence.Skipped(), 0);
  EXPECT_EQ(cadence.TakeJumpMs(), 0);
}

TEST(Cadence, ALongTickIsFollowedByOneLateTickAndTheRestSkipped) {
  VirtualClock clock(1000);
  Tcadence cadence(clock, 1000);
  EXPECT_EQ(NextTick(cadence, clock), 1000000);
  clock.AdvanceMs(1500);                         // the tick overran the next one's time
  EXPECT_EQ(NextTick(cadence, clock), 1001500);  // second 1001 still gets its tick
  EXPECT_EQ(cadence.Skipped(), 0);
  EXPECT_EQ(NextTick(cadence, clock), 1002000);
  clock.AdvanceMs(3200);  // a hang: 1003 and 1004 are gone
  EXPECT_EQ(NextTick(cadence, clock), 1005200);
  EXPECT_EQ(cadence.LastDueMs(), 1005000);
  EXPECT_EQ(cadence.Skipped(), 2);
  EXPECT_EQ(NextTick(cadence, clock), 1006000);
  EXPECT_EQ(cadence.TakeJumpMs(), 0);  // slow ticks are no clock jump
}

TEST(Cadence, AClockSetForwardsOrBackIsFollowedAtOnce) {
  VirtualClock clock(1000);
  Tcadence cadence(clock, 1000);
  NextTick(cadence, clock);
  clock.AdvanceMs(300);
  clock.SetWallClockBy(3600);  // forwards: the tick comes now, not an hour of ticks
  EXPECT_EQ(cadence.WaitMs(), 0);
  EXPECT_EQ(cadence.TakeJumpMs(), 3600000);
  EXPECT_EQ(cadence.TakeJumpMs(), 0);  // told once
  EXPECT_EQ(NextTick(cadence, clock), 4600300);
  EXPECT_EQ(NextTick(cadence, clock), 4601000);
  const int64_t monotonic = clock.NowMs();
  clock.AdvanceMs(200);
  clock.SetWallClockBy(-1800);  // back: no waiting for half an hour
  EXPECT_EQ(cadence.WaitMs(), 800);
  EXPECT_EQ(cadence.TakeJumpMs(), -1800000);
  EXPECT_EQ(NextTick(cadence, clock), 2802000);
  EXPECT_EQ(clock.NowMs() - monotonic, 1000);
  EXPECT_EQ(cadence.Skipped(), 0);
}

TEST(Cadence, LongerIntervalsFallOnTheirMultiples) {
  VirtualClock clock(1000002);
  Tcadence cadence(clock, 5000);
  NextTick(cadence, clock);
  EXPECT_EQ(NextTick(cadence, clock), 1000005000);
  EXPECT_EQ(NextTick(cadence, clock), 1000010000);
  clock.AdvanceMs(100);
  EXPECT_EQ(cadence.WaitMs(), 4900);
}
