#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/Port_settings.h"
#include "config/Tbarometer_ini.h"
#include "iio/Tiio_sensor.h"
#include "main/Tsource_notice.h"
#include "platform/ModulePort.h"

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

  // The folder of the kernel's IIO devices (a test's fake tree).
  std::string iio_root = Tiio_devices::kDefaultRoot;
  // The IIO sensor the station reads while one is chosen (port = iio); the
  // module's sensor then stays, its lines leading nowhere.
  std::unique_ptr<Tiio_sensor> iio;
  // Says on the main window why a sample of the IIO sensor failed.
  Tsource_notice notice;

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
// For an IIO sensor, one reading: "OK: bme280 at ...: 1000.40 mbar, 27.70
// deg C", or "Error: " and why not.
std::string TestModulePort(const PortChoice& choice);
// Moves the sensor to the chosen port, names it in the texts, and detects
// the module on it again. Choosing an IIO sensor gives the module's port up
// and makes the station read the sensor; choosing a port again gives the
// station back the module. Either way n and ts stay as they are.
void MoveModuleToPort(const PortChoice& choice);
// At the start, once the station is made: the IIO sensor as its source
// when one is chosen, and the notice of its failed samples.
void UseChosenSource();
// Whether the station reads an IIO sensor rather than the module.
bool IioSensorChosen();
// The detection on the IIO sensor: whether it answers now, why not in *why.
bool DetectIioSensor(std::string* why);
// Puts the port's name into the texts that name it (the detect menu item,
// the splash window's) and its description into the debug window.
void ShowPortName();
