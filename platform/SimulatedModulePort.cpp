#include "platform/SimulatedModulePort.h"

uint8_t SimulatedModulePort::ReadByte(uint16_t address) {
  ++reads_;
  if (address == kLptStatus) return module_.ReadStatus();
  if (address == kLptData) return data_;
  return 0xFF;
}

void SimulatedModulePort::WriteByte(uint16_t address, uint8_t value) {
  ++writes_;
  if (address != kLptData) return;
  data_ = value;
  module_.WriteData(value);
}
