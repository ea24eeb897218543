#include "config/Port_settings.h"

#include <string>
#include <vector>

namespace {

struct Named {
  const char* name;
  int value;
};

// The lines of a wiring by name; power only when there is one.
std::vector<Named> Lines(int clock, int data_out, int data_in, int power) {
  std::vector<Named> lines = {{"clock", clock}, {"data out", data_out}, {"data in", data_in}};
  if (power != -1) lines.push_back({"power", power});
  return lines;
}

std::string CheckLines(const std::vector<Named>& lines, int highest, const std::string& what) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].value < 0 || lines[i].value > highest) {
      return "Error : The " + what + " for " + lines[i].name + " must be 0 to " +
             std::to_string(highest) + (std::string(lines[i].name) == "power" ? " or -1" : "") +
             ".";
    }
    for (size_t j = 0; j < i; ++j) {
      if (lines[j].value == lines[i].value) {
        return "Error : The " + what + " " + std::to_string(lines[i].value) + " is used twice (" +
               lines[j].name + " and " + lines[i].name + ").";
      }
    }
  }
  return "";
}

}  // namespace

PortChoice ReadPortChoice(const Tbarometer_ini& ini) {
  PortChoice choice;
  const std::string kind = ini.GetChoice("port", {"lpt", "gpio", "ftdi", "iio"}, "lpt");
  if (kind == "gpio") choice.kind = PortChoice::Kind::kGpio;
  if (kind == "ftdi") choice.kind = PortChoice::Kind::kFtdi;
  if (kind == "iio") choice.kind = PortChoice::Kind::kIio;
  choice.lpt_device = ini.Get("lpt_device", choice.lpt_device);
  if (choice.lpt_device.empty()) choice.lpt_device = PortChoice().lpt_device;

  GpioWiring& gpio = choice.gpio;
  gpio.chip = ini.Get("gpio_chip", gpio.chip);
  if (gpio.chip.empty()) gpio.chip = PortChoice().gpio.chip;
  gpio.clock = ini.GetInt("gpio_clock", gpio.clock, 0, kHighestGpioLine);
  gpio.data_out = ini.GetInt("gpio_data_out", gpio.data_out, 0, kHighestGpioLine);
  gpio.data_in = ini.GetInt("gpio_data_in", gpio.data_in, 0, kHighestGpioLine);
  gpio.power = ini.GetInt("gpio_power", gpio.power, -1, kHighestGpioLine);

  FtdiWiring& ftdi = choice.ftdi;
  ftdi.device = ini.Get("ftdi_device", ftdi.device);
  if (ftdi.device.empty()) ftdi.device = PortChoice().ftdi.device;
  ftdi.clock = ini.GetInt("ftdi_clock", ftdi.clock, 0, 7);
  ftdi.data_out = ini.GetInt("ftdi_data_out", ftdi.data_out, 0, 7);
  ftdi.data_in = ini.GetInt("ftdi_data_in", ftdi.data_in, 0, 7);
  ftdi.power = ini.GetInt("ftdi_power", ftdi.power, -1, 7);

  choice.iio_device = ini.Get("iio_device", "");
  return choice;
}

const char* PortKindKey(PortChoice::Kind kind) {
  switch (kind) {
    case PortChoice::Kind::kGpio:
      return "gpio";
    case PortChoice::Kind::kFtdi:
      return "ftdi";
    case PortChoice::Kind::kIio:
      return "iio";
    case PortChoice::Kind::kLpt:
      break;
  }
  return "lpt";
}

std::vector<PortKeyValue> PortKeyValues(const PortChoice& choice) {
  auto line = [](const char* key, int value) {
    return PortKeyValue{key, std::to_string(value), true};
  };
  std::vector<PortKeyValue> keys = {{"port", PortKindKey(choice.kind)},
                                    {"lpt_device", choice.lpt_device},
                                    {"gpio_chip", choice.gpio.chip},
                                    line("gpio_clock", choice.gpio.clock),
                                    line("gpio_data_out", choice.gpio.data_out),
                                    line("gpio_data_in", choice.gpio.data_in),
                                    line("gpio_power", choice.gpio.power),
                                    {"ftdi_device", choice.ftdi.device},
                                    line("ftdi_clock", choice.ftdi.clock),
                                    line("ftdi_data_out", choice.ftdi.data_out),
                                    line("ftdi_data_in", choice.ftdi.data_in),
                                    line("ftdi_power", choice.ftdi.power)};
  // A module's user gets no IIO key; an IIO device chosen once is kept
  // when the module comes back.
  if (!choice.iio_device.empty()) keys.push_back({"iio_device", choice.iio_device});
  return keys;
}

void WritePortChoice(const PortChoice& choice, Tbarometer_ini* ini) {
  for (const PortKeyValue& k : PortKeyValues(choice)) ini->Set(k.key, k.value);
}

std::string CheckPortChoice(const PortChoice& choice) {
  switch (choice.kind) {
    case PortChoice::Kind::kLpt:
      if (choice.lpt_device.empty()) return "Error : No parallel-port device given.";
      return "";
    case PortChoice::Kind::kGpio: {
      const GpioWiring& w = choice.gpio;
      if (w.chip.empty()) return "Error : No gpiochip given.";
      return CheckLines(Lines(w.clock, w.data_out, w.data_in, w.power), kHighestGpioLine,
                        "GPIO line");
    }
    case PortChoice::Kind::kFtdi: {
      const FtdiWiring& w = choice.ftdi;
      if (w.device.empty()) return "Error : No USB adapter given.";
      return CheckLines(Lines(w.clock, w.data_out, w.data_in, w.power), 7, "adapter bit");
    }
    case PortChoice::Kind::kIio:
      if (choice.iio_device.empty()) return "Error : No IIO sensor given.";
      return "";
  }
  return "";
}
