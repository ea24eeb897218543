#pragma once

#include <string>
#include <vector>

#include "config/Tbarometer_ini.h"
#include "platform/ModulePort.h"

// The module's port in barometer.ini: port (lpt, gpio or ftdi), lpt_device,
// gpio_chip, gpio_clock, gpio_data_out, gpio_data_in, gpio_power, and
// ftdi_device, ftdi_clock, ftdi_data_out, ftdi_data_in, ftdi_power (-1 for
// no power line); port iio reads the kernel's sensor iio_device instead of
// a module. No port key: the first parallel port, as always. A value that
// is bad keeps its default.
PortChoice ReadPortChoice(const Tbarometer_ini& ini);
// The port key's value for a kind: "lpt", "gpio", "ftdi" or "iio".
const char* PortKindKey(PortChoice::Kind kind);
// One port key with its value as barometer.ini writes it; the wiring's
// line and bit numbers are whole numbers (`number`), the rest texts.
struct PortKeyValue {
  const char* key;
  std::string value;
  bool number = false;
};
// Every port key of a choice, in file order; iio_device only when one is
// chosen.
std::vector<PortKeyValue> PortKeyValues(const PortChoice& choice);
// Sets every port key.
void WritePortChoice(const PortChoice& choice, Tbarometer_ini* ini);
// Why the choice cannot be used (a line or bit out of range or used twice,
// no device), or empty when it can. Whether an IIO device is there and
// has a temperature channel is the sysfs tree's to say, not this check's.
std::string CheckPortChoice(const PortChoice& choice);

// Highest GPIO line offset taken: far beyond any header, well within the
// kernel's numbering.
constexpr int kHighestGpioLine = 1023;
