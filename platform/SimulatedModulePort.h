#pragma once

#include "platform/PortIo.h"
#include "platform/SimulatedModule.h"

// A virtual LPT1 with the simulated module wired to it: writes to the data
// register reach the module's lines, the status register shows its data line
// on bit 5, the data register reads back what was last written. Other
// addresses read 0xFF and ignore writes.
class SimulatedModulePort : public PortIo {
 public:
  explicit SimulatedModulePort(SimulatedModule& module) : module_(module) {}

  uint8_t ReadByte(uint16_t address) override;
  void WriteByte(uint16_t address, uint8_t value) override;

  // Register accesses so far (all addresses).
  int64_t ReadCount() const { return reads_; }
  int64_t WriteCount() const { return writes_; }

 private:
  SimulatedModule& module_;
  uint8_t data_ = 0;
  int64_t reads_ = 0;
  int64_t writes_ = 0;
};
