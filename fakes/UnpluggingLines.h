#pragma once

#include "fakes/UnpluggingPort.h"
#include "platform/ModuleLines.h"
#include "platform/SimulatedModule.h"

// The loose cable of UnpluggingPort on the module's lines: every drive and
// every sample of an exchange is one access.
class UnpluggingLines : public ModuleLines, public UnplugSchedule {
 public:
  UnpluggingLines(SimulatedModule& module, ModuleLines& inner)
      : UnplugSchedule(module), inner_(inner) {}

  void Drive(bool clock, bool data, bool power) override {
    UnplugSchedule::Step();
    inner_.Drive(clock, data, power);
  }
  bool Sample() override {
    UnplugSchedule::Step();
    return inner_.Sample();
  }
  std::string Describe() const override { return inner_.Describe() + " behind a loose cable"; }

 private:
  ModuleLines& inner_;
};
