#pragma once

#include <cstdint>

class Clock;

// When the service's ticks are due: at whole multiples of the interval on
// the calendar clock (every full second for 1000 ms), not one interval after
// the last tick ended, so that a tick that takes a while never shifts the
// ones after it and every minute gets its full count.
//
// The clock may be set while the service runs (by hand, by a time service,
// on a board without a clock battery once the network is up). A jump,
// forwards or backwards, is seen against the monotonic clock: the ticks are
// aligned to the new time at once (a tick missed or doubled, never an hour
// of waiting nor a burst of catching up), and the jump is kept for the log.
class Tcadence {
 public:
  // A calendar clock that moved this much against the monotonic one since
  // the last look is a jump worth telling.
  static constexpr int64_t kJumpMs = 1000;

  explicit Tcadence(Clock& clock, int64_t interval_ms = 1000);

  // Milliseconds until the next tick is due; 0 when one is due now.
  int64_t WaitMs();
  // True when a tick is due now; the schedule then moves to the next one.
  // After a tick that took longer than an interval, the tick of the present
  // interval is taken at once; the ones before it are skipped and counted.
  bool Due();

  // The calendar time the last tick taken was due at [ms].
  int64_t LastDueMs() const { return last_due_ms_; }
  // The jump of the clock seen since the last call [ms, negative backwards];
  // 0 when none.
  int64_t TakeJumpMs();
  // Ticks skipped so far because they came too late.
  int64_t Skipped() const { return skipped_; }
  int64_t IntervalMs() const { return interval_ms_; }

 private:
  // Reads both clocks, notes a jump and aligns the schedule to it; the
  // calendar time now [ms].
  int64_t Look();
  // The first due time after calendar time t [ms].
  int64_t NextAfter(int64_t t) const;

  Clock& clock_;
  int64_t interval_ms_;
  int64_t next_due_ms_;
  int64_t last_due_ms_ = 0;
  // Both clocks at the last look: their difference moves only by a jump.
  int64_t last_calendar_ms_;
  int64_t last_monotonic_ms_;
  int64_t jump_ms_ = 0;
  int64_t skipped_ = 0;
};
