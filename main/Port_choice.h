#pragma once

#include <functional>
#include <string>
#include <vector>

#include "main/Tbarometer_ini.h"
#include "platform/ModulePort.h"

// The module's port in barometer.ini: port (lpt, gpio or ftdi), lpt_device,
// gpio_chip, gpio_clock, gpio_data_out, gpio_data_in, gpio_power, and
// ftdi_device, ftdi_clock, ftdi_data_out, ftdi_data_in, ftdi_power (-1 for
// no power line). No port key: the first parallel port, as always. A value
// that is bad keeps its default.
PortChoice ReadPortChoice(const Tbarometer_ini& ini);
// Sets every port key.
void WritePortChoice(const PortChoice& choice, Tbarometer_ini* ini);
// Why the choice cannot be used (a line or bit out of range or used twice,
// no device), or empty when it can.
std::string CheckPortChoice(const PortChoice& choice);

// Highest GPIO line offset taken: far beyond any header, well within the
// kernel's numbering.
constexpr int kHighestGpioLine = 1023;

// The program's port, beside its other state (main/Program.h).
struct PortState {
  // The port chosen (barometer.ini's keys) and its name in the texts:
  // "LPT1" unless another port is chosen.
  PortChoice choice;
  std::string name = "LPT1";
  // What the port is, for the debug window and the no-module box; empty
  // for the simulated module's lines.
  std::string description;
  // The port the program opened for the sensor; no lines when the sensor
  // runs on lines given to BeginProgram.
  OpenedPort opened;
  // Opens a chosen port: OpenModulePort in the real program. Null where the
  // module is fixed (barometer-sim): a choice is then saved, and the module
  // detected again where it is.
  std::function<OpenedPort(const PortChoice&)> open;
  // The devices the port dialog lists, and whether USB adapters can be used.
  std::function<std::vector<GpioChipInfo>()> list_gpio_chips;
  std::function<std::vector<FtdiDeviceInfo>()> list_ftdi_devices;
  bool ftdi_available = FtdiAvailable();

  PortState();
  // Back to the state before any port was opened (at the program's end).
  void Clear();
};

PortState& ProgramPort();

// The real program's start: reads the port from barometer.ini in the
// working folder and opens it; OpenModulePort opens the ports chosen later.
// Returns the lines for BeginProgram.
ModuleLines& OpenChosenPort();
// A detection on the chosen port, with a sensor of its own: "OK: module
// found", or why not. The port in use is given up meanwhile and opened again.
std::string TestModulePort(const PortChoice& choice);
// Moves the sensor to the chosen port, names it in the texts, and detects
// the module on it again.
void MoveModuleToPort(const PortChoice& choice);
// Puts the port's name into the texts that name it (the detect menu item,
// the splash window's) and its description into the debug window.
void ShowPortName();
