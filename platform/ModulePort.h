#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/FtdiLines.h"
#include "platform/GpioLines.h"
#include "platform/ModuleLines.h"
#include "platform/PortIo.h"

// Which port the module is on: a parallel port (the default, LPT1 as
// always), a gpiochip's lines, or a USB adapter's bits; or, in the module's
// place, a pressure sensor the kernel drives (IIO), with no module port.
struct PortChoice {
  enum class Kind { kLpt, kGpio, kFtdi, kIio };
  Kind kind = Kind::kLpt;
  std::string lpt_device = "/dev/parport0";
  GpioWiring gpio = DefaultGpio();
  FtdiWiring ftdi;
  // The IIO sensor: a device's name (the first device of that name) or its
  // sysfs folder.
  std::string iio_device;

  // A Raspberry Pi's header: GPIO17 (pin 11) clock, GPIO27 (pin 13) data
  // out, GPIO22 (pin 15) data in.
  static GpioWiring DefaultGpio() {
    GpioWiring wiring;
    wiring.clock = 17;
    wiring.data_out = 27;
    wiring.data_in = 22;
    return wiring;
  }
  bool IsDefaultLpt() const { return kind == Kind::kLpt && lpt_device == "/dev/parport0"; }
};

// What the texts call the port: "LPT1" for the first parallel port, else
// "parallel port /dev/parport1", "GPIO /dev/gpiochip0", "USB adapter",
// "IIO sensor bme280".
std::string PortName(const PortChoice& choice);

// A port opened for the module: the lines (always there: when the port
// could not be opened they lead nowhere and no module answers), what they
// are, and what to tell the user who is told that no module answered.
struct OpenedPort {
  std::unique_ptr<PortIo> registers;  // a parallel port's, under `lines`
  std::unique_ptr<ModuleLines> lines;
  std::string description;
  std::string finding;
};

// Opens the chosen port. The first parallel port is tried as always:
// ppdev, else direct register access, else nothing. An IIO sensor has no
// module port: its lines lead nowhere.
OpenedPort OpenModulePort(const PortChoice& choice);

// Lines that lead nowhere: drives go nowhere and the data line reads high,
// as an unconnected input does. No module answers on them.
class UnconnectedLines : public ModuleLines {
 public:
  explicit UnconnectedLines(std::string description) : description_(std::move(description)) {}
  void Drive(bool, bool, bool) override {}
  bool Sample() override { return true; }
  std::string Describe() const override { return description_; }

 private:
  std::string description_;
};

// The parallel-port device nodes present (/dev/parport*).
std::vector<std::string> ListParports();
