#include "main/Port_choice.h"

#include <QAction>
#include <QPlainTextEdit>
#include <vector>

#include "main/Program.h"
#include "main/Tmain.h"
#include "sensor/Tintro.h"
#include "sensor/Tsensor.h"
#include "windows/Tdebug.h"

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
  const std::string kind = ini.GetChoice("port", {"lpt", "gpio", "ftdi"}, "lpt");
  if (kind == "gpio") choice.kind = PortChoice::Kind::kGpio;
  if (kind == "ftdi") choice.kind = PortChoice::Kind::kFtdi;
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
  return choice;
}

void WritePortChoice(const PortChoice& choice, Tbarometer_ini* ini) {
  const char* kind = choice.kind == PortChoice::Kind::kGpio   ? "gpio"
                     : choice.kind == PortChoice::Kind::kFtdi ? "ftdi"
                                                              : "lpt";
  ini->Set("port", kind);
  ini->Set("lpt_device", choice.lpt_device);
  ini->Set("gpio_chip", choice.gpio.chip);
  ini->SetInt("gpio_clock", choice.gpio.clock);
  ini->SetInt("gpio_data_out", choice.gpio.data_out);
  ini->SetInt("gpio_data_in", choice.gpio.data_in);
  ini->SetInt("gpio_power", choice.gpio.power);
  ini->Set("ftdi_device", choice.ftdi.device);
  ini->SetInt("ftdi_clock", choice.ftdi.clock);
  ini->SetInt("ftdi_data_out", choice.ftdi.data_out);
  ini->SetInt("ftdi_data_in", choice.ftdi.data_in);
  ini->SetInt("ftdi_power", choice.ftdi.power);
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
  }
  return "";
}

// --- the program's port ------------------------------------------------------

namespace {

// Where the sensor's traffic goes while its port is closed and opened again.
UnconnectedLines& Parked() {
  static UnconnectedLines parked("no port");
  return parked;
}

std::vector<GpioChipInfo> ListSystemGpioChips() {
  static SystemGpioCalls calls;
  return ListGpioChips(calls);
}

}  // namespace

PortState::PortState() {
  Clear();
}

void PortState::Clear() {
  choice = PortChoice();
  name = "LPT1";
  description.clear();
  opened = OpenedPort();
  open = nullptr;
  list_gpio_chips = ListSystemGpioChips;
  list_ftdi_devices = ListFtdiDevices;
  ftdi_available = FtdiAvailable();
}

PortState& ProgramPort() {
  static PortState state;
  return state;
}

ModuleLines& OpenChosenPort() {
  PortState& port = ProgramPort();
  Tbarometer_ini ini;
  ini.Load(Tbarometer_ini::kFileName);
  port.choice = ReadPortChoice(ini);
  port.open = OpenModulePort;
  port.opened = OpenModulePort(port.choice);
  port.name = PortName(port.choice);
  port.description = port.opened.description;
  Program().port_finding = port.opened.finding;
  return *port.opened.lines;
}

std::string TestModulePort(const PortChoice& choice) {
  ProgramState& program = Program();
  PortState& port = ProgramPort();
  if (program.sensor == nullptr || program.clock == nullptr) return "Error: no sensor";
  std::string result;
  auto probe = [&](ModuleLines& lines, const std::string& finding) {
    Tsensor sensor(lines, *program.clock);
    sensor.ReadCalibration();
    if (!sensor.HasError()) {
      result = "OK: module found";
    } else {
      result = "Error: No module found on " + PortName(choice);
      if (!finding.empty()) result += ": " + finding;
    }
  };
  if (!port.open) {
    probe(program.sensor->Lines(), "");
    return result;
  }
  // The port in use is given up first: the chosen one may be the same device.
  ModuleLines* before = &program.sensor->Lines();
  const bool ours = port.opened.lines != nullptr && before == port.opened.lines.get();
  program.sensor->UseLines(Parked());
  if (ours) port.opened = OpenedPort();
  {
    OpenedPort trial = port.open(choice);
    probe(*trial.lines, trial.finding);
  }
  if (ours) {
    port.opened = port.open(port.choice);
    before = port.opened.lines.get();
  }
  program.sensor->UseLines(*before);
  return result;
}

void MoveModuleToPort(const PortChoice& choice) {
  ProgramState& program = Program();
  PortState& port = ProgramPort();
  port.choice = choice;
  if (port.open && program.sensor != nullptr) {
    program.sensor->UseLines(Parked());
    port.opened = OpenedPort();
    port.opened = port.open(choice);
    program.sensor->UseLines(*port.opened.lines);
    port.name = PortName(choice);
    port.description = port.opened.description;
    program.port_finding = port.opened.finding;
  }
  ShowPortName();
  if (program.Wintro != nullptr && program.Wintro_alive) program.Wintro->StartSearch();
}

void ShowPortName() {
  ProgramState& program = Program();
  const PortState& port = ProgramPort();
  if (program.Wmain != nullptr && program.Wmain_alive && program.Wmain->DetectmoduleonLPT11) {
    QAction* item = program.Wmain->DetectmoduleonLPT11;
    // The caption's mnemonic is in "Detect": only the port's name changes.
    QString text = item->text();
    const int at = text.indexOf(" on ");
    if (at >= 0) item->setText(text.left(at + 4) + QString::fromStdString(port.name));
  }
  if (program.Wdebug != nullptr && program.Wdebug_alive && program.Wdebug->Memo1 &&
      !port.description.empty()) {
    program.Wdebug->Memo1->setPlainText(QString::fromStdString("Port: " + port.description));
  }
}
