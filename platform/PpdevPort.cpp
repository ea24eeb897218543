#include "platform/PpdevPort.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}
}  // namespace

std::unique_ptr<PpdevPort> PpdevPort::Open(const std::string& device, std::string* error,
                                           int* error_number) {
  const int fd = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    if (error_number != nullptr) *error_number = errno;
    SetError(error, device + ": " + std::strerror(errno));
    return nullptr;
  }
  if (::ioctl(fd, PPCLAIM) != 0) {
    if (error_number != nullptr) *error_number = errno;
    SetError(error, device + ": cannot claim the port: " + std::strerror(errno));
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<PpdevPort>(new PpdevPort(fd, device));
}

PpdevPort::~PpdevPort() {
  ::ioctl(fd_, PPRELEASE);
  ::close(fd_);
}

uint8_t PpdevPort::ReadByte(uint16_t address) {
  unsigned char value = 0xFF;
  int rc = -1;
  if (address == kLptStatus) {
    rc = ::ioctl(fd_, PPRSTATUS, &value);
  } else if (address == kLptData) {
    rc = ::ioctl(fd_, PPRDATA, &value);
  }
  return rc == 0 ? value : 0xFF;
}

void PpdevPort::WriteByte(uint16_t address, uint8_t value) {
  if (address != kLptData) return;
  unsigned char byte = value;
  ::ioctl(fd_, PPWDATA, &byte);
}
