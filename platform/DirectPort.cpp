#include "platform/DirectPort.h"

#include <cerrno>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define BAROMETER_HAVE_IOPERM 1
#endif

namespace {
constexpr uint16_t kFirst = kLptData;
constexpr uint16_t kCount = 3;  // data, status, control
bool Covered(uint16_t address) {
  return address >= kFirst && address < kFirst + kCount;
}
}  // namespace

std::unique_ptr<DirectPort> DirectPort::Open(std::string* error) {
#ifdef BAROMETER_HAVE_IOPERM
  if (::ioperm(kFirst, kCount, 1) != 0) {
    if (error != nullptr) *error = std::string("ioperm(0x378): ") + std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<DirectPort>(new DirectPort());
#else
  if (error != nullptr) *error = "direct port access is not available on this processor";
  return nullptr;
#endif
}

DirectPort::~DirectPort() {
#ifdef BAROMETER_HAVE_IOPERM
  ::ioperm(kFirst, kCount, 0);
#endif
}

uint8_t DirectPort::ReadByte(uint16_t address) {
#ifdef BAROMETER_HAVE_IOPERM
  if (Covered(address)) return ::inb(address);
#else
  (void)address;
#endif
  return 0xFF;
}

void DirectPort::WriteByte(uint16_t address, uint8_t value) {
#ifdef BAROMETER_HAVE_IOPERM
  if (Covered(address)) ::outb(value, address);
#else
  (void)address;
  (void)value;
#endif
}
