#pragma once

#include <memory>
#include <string>

#include "platform/PortIo.h"

// LPT1 through the Linux parallel-port device (/dev/parport0): the port is
// claimed for the life of the object; the data register is written and read
// with PPWDATA/PPRDATA, the status register read with PPRSTATUS. Needs read
// and write access to the device node (group lp on Debian), not root.
class PpdevPort : public PortIo {
 public:
  static constexpr const char* kDefaultDevice = "/dev/parport0";

  // Opens and claims the device; on failure returns null and, when asked,
  // says why in `error` and gives the errno of the failed step.
  static std::unique_ptr<PpdevPort> Open(const std::string& device = kDefaultDevice,
                                         std::string* error = nullptr, int* error_number = nullptr);
  ~PpdevPort() override;

  PpdevPort(const PpdevPort&) = delete;
  PpdevPort& operator=(const PpdevPort&) = delete;

  // 0x378 is the data register, 0x379 the status register; other addresses
  // read 0xFF and ignore writes. A failing ioctl reads as 0xFF (floating).
  uint8_t ReadByte(uint16_t address) override;
  void WriteByte(uint16_t address, uint8_t value) override;

  const std::string& Device() const { return device_; }

 private:
  PpdevPort(int fd, std::string device) : fd_(fd), device_(std::move(device)) {}

  int fd_;
  std::string device_;
};
