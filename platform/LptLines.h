#pragma once

#include <string>
#include <utility>

#include "platform/ModuleLines.h"
#include "platform/PortIo.h"

// The module on a parallel port's registers: data register bit 0 is the
// clock, bit 1 the data to the module, bits 2..7 together the module's
// supply; status bit 5 is the module's data line, read without inversion.
// Every drive is one byte to the data register, every sample one read of the
// status register. No other code knows these bits.
class LptLines : public ModuleLines {
 public:
  explicit LptLines(PortIo& port, std::string description = "parallel port")
      : port_(port), description_(std::move(description)) {}

  void Drive(bool clock, bool data, bool power) override;
  bool Sample() override;
  std::string Describe() const override { return description_; }

  // The data-register byte for the given levels.
  static uint8_t DataByte(bool clock, bool data, bool power);

 private:
  PortIo& port_;
  std::string description_;
};
