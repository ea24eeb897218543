#include "platform/Clock.h"

#include <chrono>
#include <thread>

void SystemClock::SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::time_t SystemClock::Now() {
  return std::time(nullptr);
}

int64_t SystemClock::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t SystemClock::CalendarMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void VirtualClock::SleepMs(int ms) {
  ++sleep_count_;
  if (ms <= 0) return;
  slept_ms_ += ms;
  ms_ += ms;
}

namespace {
int64_t FloorDiv1000(int64_t ms) {
  // Division truncates toward zero; step down for negative remainders.
  return ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
}
}  // namespace

std::time_t VirtualClock::Now() {
  return static_cast<std::time_t>(FloorDiv1000(ms_ + wall_offset_ms_));
}

void VirtualClock::SetNow(std::time_t t) {
  const int64_t calendar = ms_ + wall_offset_ms_;
  const int64_t ms_part = calendar - FloorDiv1000(calendar) * 1000;
  ms_ = static_cast<int64_t>(t) * 1000 + ms_part - wall_offset_ms_;
}
