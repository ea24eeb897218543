#pragma once

#include <cstdint>

#include "platform/ModuleLines.h"
#include "platform/SimulatedModule.h"

// The simulated module wired straight to the line interface, with no port
// in between: what a gpiochip or an adapter would give it.
class SimulatedModuleLines : public ModuleLines {
 public:
  explicit SimulatedModuleLines(SimulatedModule& module) : module_(module) {}

  void Drive(bool clock, bool data, bool power) override {
    ++drives_;
    module_.SetLines(clock, data, power);
  }
  bool Sample() override {
    ++samples_;
    return module_.DataLine();
  }
  std::string Describe() const override { return "simulated module"; }

  int64_t DriveCount() const { return drives_; }
  int64_t SampleCount() const { return samples_; }

 private:
  SimulatedModule& module_;
  int64_t drives_ = 0;
  int64_t samples_ = 0;
};
