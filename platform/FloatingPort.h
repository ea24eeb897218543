#pragma once

#include "platform/PortIo.h"

// No port at all, as on a PC without a parallel port or with nothing plugged
// in: writes go nowhere and every register reads 0xFF, like inputs held high
// by their pull-ups. The driver then finds no module.
class FloatingPort : public PortIo {
 public:
  uint8_t ReadByte(uint16_t address) override;
  void WriteByte(uint16_t address, uint8_t value) override;
};
