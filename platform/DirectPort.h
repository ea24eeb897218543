#pragma once

#include <memory>
#include <string>

#include "platform/PortIo.h"

// LPT1 by direct register access (ioperm, inb, outb) at 0x378..0x37A. Only
// for when the ppdev device is missing; needs the raw I/O privilege (root or
// CAP_SYS_RAWIO) and an x86 processor.
class DirectPort : public PortIo {
 public:
  // Asks for access to the three port registers; null (with the reason in
  // `error`) when refused or not possible on this machine.
  static std::unique_ptr<DirectPort> Open(std::string* error = nullptr);
  ~DirectPort() override;

  DirectPort(const DirectPort&) = delete;
  DirectPort& operator=(const DirectPort&) = delete;

  // Only 0x378..0x37A are reached; other addresses read 0xFF and ignore writes.
  uint8_t ReadByte(uint16_t address) override;
  void WriteByte(uint16_t address, uint8_t value) override;

 private:
  DirectPort() = default;
};
