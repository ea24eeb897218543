#include "platform/HardwarePort.h"

#include "platform/DirectPort.h"
#include "platform/FloatingPort.h"
#include "platform/PpdevPort.h"

std::unique_ptr<PortIo> OpenHardwarePort(std::string* description) {
  std::string ppdev_error;
  if (auto port = PpdevPort::Open(PpdevPort::kDefaultDevice, &ppdev_error)) {
    if (description != nullptr) *description = std::string("ppdev on ") + port->Device();
    return port;
  }
  std::string direct_error;
  if (auto port = DirectPort::Open(&direct_error)) {
    if (description != nullptr) {
      *description = "direct I/O at 0x378 (ppdev unavailable: " + ppdev_error + ")";
    }
    return port;
  }
  if (description != nullptr) {
    *description =
        "no parallel port (ppdev: " + ppdev_error + "; direct I/O: " + direct_error + ")";
  }
  return std::make_unique<FloatingPort>();
}
