#include "platform/HardwarePort.h"

#include <cerrno>
#include <cstring>

#include "platform/DirectPort.h"
#include "platform/FloatingPort.h"
#include "platform/PpdevPort.h"

std::string PpdevFinding(const std::string& device, int error_number) {
  switch (error_number) {
    case ENOENT:
      return device + " does not exist: load the ppdev driver (modprobe ppdev).";
    case EACCES:
    case EPERM:
      return device + ": permission denied: add yourself to group lp and log in again.";
    case ENXIO:
    case ENODEV:
      return device +
             " has no parallel port behind it: check that the PC has one and that it is "
             "enabled (driver parport_pc).";
    case EBUSY:
      return device + " is in use by another program or by the printer driver (rmmod lp).";
    default:
      return device + ": " + std::strerror(error_number) + ".";
  }
}

std::string OpenPortFinding() {
  return "The port answered but no module replied: check the cable and the module.";
}

std::unique_ptr<PortIo> OpenHardwarePort(std::string* description, std::string* finding) {
  std::string ppdev_error;
  int ppdev_errno = 0;
  if (auto port = PpdevPort::Open(PpdevPort::kDefaultDevice, &ppdev_error, &ppdev_errno)) {
    if (description != nullptr) *description = std::string("ppdev on ") + port->Device();
    if (finding != nullptr) *finding = OpenPortFinding();
    return port;
  }
  std::string direct_error;
  if (auto port = DirectPort::Open(&direct_error)) {
    if (description != nullptr) {
      *description = "direct I/O at 0x378 (ppdev unavailable: " + ppdev_error + ")";
    }
    if (finding != nullptr) *finding = OpenPortFinding();
    return port;
  }
  if (description != nullptr) {
    *description =
        "no parallel port (ppdev: " + ppdev_error + "; direct I/O: " + direct_error + ")";
  }
  if (finding != nullptr) *finding = PpdevFinding(PpdevPort::kDefaultDevice, ppdev_errno);
  return std::make_unique<FloatingPort>();
}
