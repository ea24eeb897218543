#include "platform/LptLines.h"

namespace {
constexpr uint8_t kClockBit = 0x01;
constexpr uint8_t kDataBit = 0x02;
constexpr uint8_t kSupplyBits = 0xFC;  // bits 2..7, never one without the others
constexpr uint8_t kDataInMask = 0x20;  // status bit 5
}  // namespace

uint8_t LptLines::DataByte(bool clock, bool data, bool power) {
  uint8_t value = 0;
  if (clock) value |= kClockBit;
  if (data) value |= kDataBit;
  if (power) value |= kSupplyBits;
  return value;
}

void LptLines::Drive(bool clock, bool data, bool power) {
  port_.WriteByte(kLptData, DataByte(clock, data, power));
}

bool LptLines::Sample() {
  return (port_.ReadByte(kLptStatus) & kDataInMask) == kDataInMask;
}
