#pragma once

#include <cstdint>
#include <deque>
#include <utility>

#include "platform/PortIo.h"
#include "platform/SimulatedModule.h"

// A loose cable between the driver and the simulated module: it pulls the
// module's plug (SimulatedModule::SetUnplugged) at chosen accesses and puts
// it back after a number of accesses. Accesses are counted from 0 through
// the cable, reads and writes alike; an access "at" index k sees the state
// of the plug after the events due at k. UnpluggingPort is the cable on the
// port's registers; UnpluggingLines (fakes/UnpluggingLines.h) the same
// cable on the module's lines.
//
// Two ways to use it: single glitches at given accesses (Glitch), or random
// events (Random): plugged for a uniform number of accesses in [gap_min,
// gap_max], then unplugged for a uniform number in [1, max_length], again
// and again for the given number of events. Deterministic for a seed.
//
// Header-only, so that the fault-model bench builds unchanged against an
// older driver (bench/fault_compare).
class UnplugSchedule {
 public:
  explicit UnplugSchedule(SimulatedModule& module) : module_(module) {}

  // Unplugged from access `at` (counted from 0 at this port's creation, see
  // Accesses) for `length` accesses; length < 0 leaves it unplugged until
  // Plug is called.
  void Glitch(int64_t at, int64_t length) { glitches_.emplace_back(at, length); }
  // Puts the plug back now and forgets every pending event.
  void Plug() {
    glitches_.clear();
    random_left_ = 0;
    replug_at_ = -1;
    SetUnplugged(false);
  }
  void Random(uint64_t seed, int64_t gap_min, int64_t gap_max, int64_t max_length, int events) {
    rng_ = seed * 0x9E3779B97F4A7C15ull + 1;
    gap_min_ = gap_min;
    gap_max_ = gap_max;
    max_length_ = max_length;
    random_left_ = events;
    if (random_left_ > 0)
      glitches_.emplace_back(accesses_ + Uniform(gap_min_, gap_max_), kRandomLength);
  }

  int64_t Accesses() const { return accesses_; }
  bool Unplugged() const { return unplugged_; }
  // Unplug/replug events completed (plug put back).
  int EventsDone() const { return events_done_; }
  // Random events still to come (the one under way included).
  int RandomEventsLeft() const { return random_left_; }
  // Accesses made while unplugged.
  int64_t UnpluggedAccesses() const { return unplugged_accesses_; }

  // One access through the cable, before it reaches the module.
  void Step() {
    if (replug_at_ >= 0 && accesses_ >= replug_at_) {
      replug_at_ = -1;
      SetUnplugged(false);
      if (random_left_ > 0 && --random_left_ > 0)
        glitches_.emplace_back(accesses_ + Uniform(gap_min_, gap_max_), kRandomLength);
    }
    if (!glitches_.empty() && !unplugged_ && accesses_ >= glitches_.front().first) {
      int64_t length = glitches_.front().second;
      glitches_.pop_front();
      if (length == kRandomLength) length = Uniform(1, max_length_);
      SetUnplugged(true);
      replug_at_ = length < 0 ? -1 : accesses_ + length;
      if (length == 0) {
        replug_at_ = -1;
        SetUnplugged(false);
      }
    }
    if (unplugged_) ++unplugged_accesses_;
    ++accesses_;
  }

 private:
  static constexpr int64_t kRandomLength = -2;  // drawn when the event starts

  void SetUnplugged(bool on) {
    if (on == unplugged_) return;
    unplugged_ = on;
    module_.SetUnplugged(on);
    if (!on) ++events_done_;
  }

  // Uniform in [low, high].
  int64_t Uniform(int64_t low, int64_t high) {
    if (high <= low) return low;
    rng_ ^= rng_ << 13;
    rng_ ^= rng_ >> 7;
    rng_ ^= rng_ << 17;
    return low + static_cast<int64_t>(rng_ % static_cast<uint64_t>(high - low + 1));
  }

  SimulatedModule& module_;
  std::deque<std::pair<int64_t, int64_t>> glitches_;  // (access, length)
  int64_t accesses_ = 0;
  int64_t replug_at_ = -1;
  bool unplugged_ = false;
  int events_done_ = 0;
  int64_t unplugged_accesses_ = 0;

  uint64_t rng_ = 1;
  int64_t gap_min_ = 1, gap_max_ = 1, max_length_ = 1;
  int random_left_ = 0;
};

class UnpluggingPort : public PortIo, public UnplugSchedule {
 public:
  UnpluggingPort(SimulatedModule& module, PortIo& inner) : UnplugSchedule(module), inner_(inner) {}

  uint8_t ReadByte(uint16_t address) override {
    Step();
    return inner_.ReadByte(address);
  }
  void WriteByte(uint16_t address, uint8_t value) override {
    Step();
    inner_.WriteByte(address, value);
  }

 private:
  PortIo& inner_;
};
