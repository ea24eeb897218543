#include "main/Port_choice.h"

#include <QAction>
#include <QPlainTextEdit>
#include <vector>

#include "main/Program.h"
#include "main/Tmain.h"
#include "windows/Tintro.h"
#include "sensor/Tsensor.h"
#include "windows/Tdebug.h"

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
