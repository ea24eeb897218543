#include "service/Tcadence.h"

#include "platform/Clock.h"

namespace {
// Floor division, also for times before 1970.
int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}
}  // namespace

Tcadence::Tcadence(Clock& clock, int64_t interval_ms)
    : clock_(clock), interval_ms_(interval_ms > 0 ? interval_ms : 1000) {
  last_calendar_ms_ = clock_.CalendarMs();
  last_monotonic_ms_ = clock_.NowMs();
  // The first tick is due at once: the service shows its state without
  // waiting up to one interval; the ones after it fall on the multiples.
  next_due_ms_ = last_calendar_ms_;
}

int64_t Tcadence::NextAfter(int64_t t) const {
  return (FloorDiv(t, interval_ms_) + 1) * interval_ms_;
}

int64_t Tcadence::Look() {
  const int64_t calendar = clock_.CalendarMs();
  const int64_t monotonic = clock_.NowMs();
  const int64_t jump = (calendar - last_calendar_ms_) - (monotonic - last_monotonic_ms_);
  last_calendar_ms_ = calendar;
  last_monotonic_ms_ = monotonic;
  if (jump >= kJumpMs || jump <= -kJumpMs) {
    jump_ms_ += jump;
    // Forwards: the tick due now is taken now and the schedule goes on
    // from there, not through the time skipped. Backwards: the next
    // multiple after the new time, not the one after the old time.
    next_due_ms_ = jump > 0 ? calendar : NextAfter(calendar);
  } else if (next_due_ms_ - calendar > interval_ms_) {
    // Set back by less than a jump, yet past the interval's length (an
    // interval shorter than a jump): no waiting longer than one interval.
    next_due_ms_ = NextAfter(calendar);
  }
  return calendar;
}

int64_t Tcadence::WaitMs() {
  const int64_t now = Look();
  return next_due_ms_ > now ? next_due_ms_ - now : 0;
}

bool Tcadence::Due() {
  const int64_t now = Look();
  if (now < next_due_ms_) return false;
  // Late by more than one interval (the tick before took long): the tick
  // of the present interval is taken, at once, and the ones before it are
  // skipped. Late by less, the tick due is taken late.
  const int64_t latest = FloorDiv(now, interval_ms_) * interval_ms_;
  if (latest > next_due_ms_) {
    skipped_ += (latest - next_due_ms_) / interval_ms_;
    next_due_ms_ = latest;
  }
  last_due_ms_ = next_due_ms_;
  next_due_ms_ = NextAfter(next_due_ms_);
  return true;
}

int64_t Tcadence::TakeJumpMs() {
  const int64_t jump = jump_ms_;
  jump_ms_ = 0;
  return jump;
}
