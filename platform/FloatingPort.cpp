#include "platform/FloatingPort.h"

uint8_t FloatingPort::ReadByte(uint16_t) {
  return 0xFF;
}

void FloatingPort::WriteByte(uint16_t, uint8_t) {}
