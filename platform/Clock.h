#pragma once

#include <cstdint>
#include <ctime>

// Millisecond sleep and calendar time. The program uses SystemClock; tests
// and the simulated module use VirtualClock, where sleeping advances time.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual void SleepMs(int ms) = 0;
  // Calendar seconds since 1 January 1970.
  virtual std::time_t Now() = 0;
  // Milliseconds on a monotonic scale; the simulated module measures its
  // conversion time with it.
  virtual int64_t NowMs() = 0;
  // Calendar milliseconds since 1 January 1970: the time of Now() with its
  // fraction, for work due on whole seconds of the wall clock. A clock that
  // knows only seconds gives the start of the present second.
  virtual int64_t CalendarMs() { return static_cast<int64_t>(Now()) * 1000; }
};

class SystemClock : public Clock {
 public:
  void SleepMs(int ms) override;
  std::time_t Now() override;
  int64_t NowMs() override;
  int64_t CalendarMs() override;
};

// Time that moves only when told to: by SleepMs or by Advance.
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(std::time_t start = 1700000000) : ms_(static_cast<int64_t>(start) * 1000) {}

  void SleepMs(int ms) override;
  std::time_t Now() override;
  int64_t NowMs() override { return ms_; }
  int64_t CalendarMs() override { return ms_ + wall_offset_ms_; }

  void AdvanceMs(int64_t ms) { ms_ += ms; }
  void AdvanceSeconds(int64_t s) { ms_ += s * 1000; }
  // Moves calendar time to t (also backwards), keeping the millisecond part.
  void SetNow(std::time_t t);
  // The wall clock set by `seconds` (back when negative), as by hand, by a
  // time service or after a sleep: calendar time jumps, the monotonic scale
  // of NowMs goes on as it was.
  void SetWallClockBy(int64_t seconds) { wall_offset_ms_ += seconds * 1000; }

  int SleepCount() const { return sleep_count_; }
  int64_t SleptMs() const { return slept_ms_; }
  void ResetSleepStats() {
    sleep_count_ = 0;
    slept_ms_ = 0;
  }

 private:
  int64_t ms_;                  // monotonic milliseconds; calendar ones until the wall clock is set
  int64_t wall_offset_ms_ = 0;  // calendar minus monotonic milliseconds
  int sleep_count_ = 0;
  int64_t slept_ms_ = 0;
};
