#pragma once

#include <cstdint>

// Byte access to the parallel port's registers (data 0x378, status 0x379).
// Both operations act at once and in call order; the sensor driver relies on it.
class PortIo {
 public:
  virtual ~PortIo() = default;
  virtual uint8_t ReadByte(uint16_t address) = 0;
  virtual void WriteByte(uint16_t address, uint8_t value) = 0;
};

constexpr uint16_t kLptData = 0x378;
constexpr uint16_t kLptStatus = 0x379;
