#include "platform/ModulePort.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>

#include "platform/FloatingPort.h"
#include "platform/HardwarePort.h"
#include "platform/LptLines.h"
#include "platform/PpdevPort.h"

std::string PortName(const PortChoice& choice) {
  switch (choice.kind) {
    case PortChoice::Kind::kGpio:
      return "GPIO " + choice.gpio.chip;
    case PortChoice::Kind::kFtdi:
      return "USB adapter";
    case PortChoice::Kind::kIio:
      return "IIO sensor " + choice.iio_device;
    case PortChoice::Kind::kLpt:
      break;
  }
  return choice.IsDefaultLpt() ? "LPT1" : "parallel port " + choice.lpt_device;
}

OpenedPort OpenModulePort(const PortChoice& choice) {
  OpenedPort opened;
  std::string reason;
  switch (choice.kind) {
    case PortChoice::Kind::kGpio: {
      static SystemGpioCalls calls;
      opened.lines = GpioLines::Open(choice.gpio, calls, &reason);
      if (opened.lines != nullptr) {
        opened.description = opened.lines->Describe();
        opened.finding = OpenPortFinding();
        return opened;
      }
      opened.description = "GPIO " + choice.gpio.chip + ", not opened: " + reason;
      break;
    }
    case PortChoice::Kind::kFtdi: {
      opened.lines = FtdiLines::Open(choice.ftdi, NewFtdiCalls(), &reason);
      if (opened.lines != nullptr) {
        opened.description = opened.lines->Describe();
        opened.finding = OpenPortFinding();
        return opened;
      }
      opened.description = "USB adapter " + choice.ftdi.device + ", not opened: " + reason;
      break;
    }
    case PortChoice::Kind::kIio:
      opened.description = "no module port: the IIO sensor " + choice.iio_device + " is read";
      opened.lines = std::make_unique<UnconnectedLines>(opened.description);
      return opened;
    case PortChoice::Kind::kLpt: {
      if (choice.IsDefaultLpt()) {
        opened.registers = OpenHardwarePort(&opened.description, &opened.finding);
      } else {
        int error_number = 0;
        opened.registers = PpdevPort::Open(choice.lpt_device, &reason, &error_number);
        if (opened.registers != nullptr) {
          opened.description = "ppdev on " + choice.lpt_device;
          opened.finding = OpenPortFinding();
        } else {
          opened.description = "no parallel port (ppdev: " + reason + ")";
          opened.finding = PpdevFinding(choice.lpt_device, error_number);
          opened.registers = std::make_unique<FloatingPort>();
        }
      }
      opened.description = "parallel port: " + opened.description;
      opened.lines = std::make_unique<LptLines>(*opened.registers, opened.description);
      return opened;
    }
  }
  opened.finding = reason;
  opened.lines = std::make_unique<UnconnectedLines>(opened.description);
  return opened;
}

std::vector<std::string> ListParports() {
  std::vector<std::string> found;
  DIR* dir = ::opendir("/dev");
  if (dir == nullptr) return found;
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.rfind("parport", 0) == 0) found.push_back("/dev/" + name);
  }
  ::closedir(dir);
  std::sort(found.begin(), found.end());
  return found;
}
