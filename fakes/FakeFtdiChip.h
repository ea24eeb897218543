#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/FtdiLines.h"
#include "platform/SimulatedModule.h"

// A USB adapter in synchronous bit-bang mode with the simulated module on
// its pins, behind the library calls of the FTDI backend: for tests and the
// speed bench, since no machine here has one. For every byte written it
// keeps the pins as they were before the byte took effect (one byte behind,
// as the chip does) and then applies the byte; reads hand those back. The
// wiring says which bits are the module's. Header-only.
class FakeFtdiChip : public FtdiCalls {
 public:
  struct State {
    std::string opened;  // the description string given to Open
    bool open = false;
    bool closed = false;
    int latency_ms = -1;
    int baudrate = 0;
    int bitmode = -1;
    int output_mask = -1;
    int writes = 0;
    int round_trips = 0;  // reads that followed a write
    uint8_t pins = 0;     // the outputs as last written
  };

  // `state` outlives the fake (the backend owns and deletes it).
  FakeFtdiChip(SimulatedModule& module, const FtdiWiring& wiring, State& state)
      : module_(module), wiring_(wiring), state_(state) {}

  // Called once per round trip (the first read after a write): its cost.
  std::function<void()> on_round_trip;
  // The device the fake answers to; others are not found.
  std::string device = "i:0x0403:0x6001";

  int Open(const std::string& name) override {
    state_.opened = name;
    if (name != device) {
      error_ = "device not found";
      return -3;
    }
    state_.open = true;
    return 0;
  }
  int SetLatencyTimer(int ms) override {
    state_.latency_ms = ms;
    return 0;
  }
  int SetBaudrate(int baudrate) override {
    state_.baudrate = baudrate;
    return 0;
  }
  int SetBitmode(int output_mask, int mode) override {
    state_.bitmode = mode;
    state_.output_mask = output_mask;
    return 0;
  }
  int Flush() override {
    back_.clear();
    return 0;
  }
  int Write(const uint8_t* bytes, int count) override {
    ++state_.writes;
    fresh_write_ = true;
    for (int i = 0; i < count; ++i) {
      back_.push_back(Pins());
      state_.pins = static_cast<uint8_t>(bytes[i] & state_.output_mask);
      Apply();
    }
    return count;
  }
  int Read(uint8_t* bytes, int count) override {
    if (fresh_write_) {
      fresh_write_ = false;
      ++state_.round_trips;
      if (on_round_trip) on_round_trip();
    }
    int n = 0;
    while (n < count && !back_.empty()) {
      bytes[n++] = back_.front();
      back_.pop_front();
    }
    return n;
  }
  void Close() override {
    state_.open = false;
    state_.closed = true;
  }
  std::string ErrorText() override { return error_; }

 private:
  uint8_t Pins() {
    uint8_t pins = state_.pins;
    if (module_.DataLine()) pins |= static_cast<uint8_t>(1u << wiring_.data_in);
    return pins;
  }
  void Apply() {
    const bool clock = (state_.pins >> wiring_.clock) & 1;
    const bool data = (state_.pins >> wiring_.data_out) & 1;
    const bool power = wiring_.power < 0 || ((state_.pins >> wiring_.power) & 1);
    module_.SetLines(clock, data, power);
  }

  SimulatedModule& module_;
  FtdiWiring wiring_;
  State& state_;
  std::deque<uint8_t> back_;
  bool fresh_write_ = false;
  std::string error_;
};
