#include "main/Port_choice.h"

#include <QAction>
#include <QPlainTextEdit>
#include <vector>

#include "main/Program.h"
#include "main/Tmain.h"
#include "sensor/Tsensor.h"
#include "station/Tstation.h"
#include "windows/Tdebug.h"
#include "windows/Tintro.h"

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

// What the debug window says of the IIO sensor.
std::string IioDescription(const PortChoice& choice, const std::string& root) {
  return "IIO sensor " + choice.iio_device + " under " + root;
}

// The station reads the IIO sensor of the choice, with the n and ts in
// force; the sensor read before is let go once the station no longer
// reads it.
void ReadIioSensor(Tstation& station, const PortChoice& choice) {
  ProgramState& program = Program();
  PortState& port = ProgramPort();
  auto sensor = std::make_unique<Tiio_sensor>(*program.clock, choice.iio_device, port.iio_root);
  station.MoveToSource(sensor.get());
  port.iio = std::move(sensor);
  station.AddSink(&port.notice, SinkOrder::kView);
  port.name = PortName(choice);
  port.description = IioDescription(choice, port.iio_root);
}

// The station reads the module again, with the n and ts in force.
void ReadModule(Tstation& station, Tsensor& sensor) {
  PortState& port = ProgramPort();
  station.MoveToSensor(&sensor);
  port.iio.reset();
  port.notice.Clear();
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
  // The station has let the sensor go by now (the program's end).
  iio.reset();
  iio_root = Tiio_devices::kDefaultRoot;
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
  if (choice.kind == PortChoice::Kind::kIio) {
    const TiioTest test = TestIioDevice(choice.iio_device, port.iio_root);
    if (!test.ok) return "Error: " + test.text;
    std::string text = "OK: " + test.text;
    if (test.d1 && test.d2)
      text += " (raw " + std::to_string(*test.d1) + " and " + std::to_string(*test.d2) + ")";
    return text;
  }
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
  if (program.station != nullptr) {
    if (choice.kind == PortChoice::Kind::kIio) {
      ReadIioSensor(*program.station, choice);
    } else if (port.iio != nullptr && program.sensor != nullptr) {
      ReadModule(*program.station, *program.sensor);
      // Where the module is fixed, it answers where it always did.
      if (!port.open) port.name = "LPT1";
    }
  }
  ShowPortName();
  if (program.Wintro != nullptr && program.Wintro_alive) program.Wintro->StartSearch();
}

void UseChosenSource() {
  ProgramState& program = Program();
  PortState& port = ProgramPort();
  if (program.station == nullptr || program.clock == nullptr) return;
  if (port.choice.kind == PortChoice::Kind::kIio) ReadIioSensor(*program.station, port.choice);
}

bool IioSensorChosen() {
  const ProgramState& program = Program();
  const PortState& port = ProgramPort();
  return port.iio != nullptr && program.station != nullptr &&
         program.station->Source() == port.iio.get();
}

bool DetectIioSensor(std::string* why) {
  PortState& port = ProgramPort();
  if (port.iio == nullptr) {
    *why = "no IIO sensor is chosen";
    return false;
  }
  return port.iio->Detect(why);
}

void ShowPortName() {
  ProgramState& program = Program();
  const PortState& port = ProgramPort();
  if (program.Wmain != nullptr && program.Wmain_alive && program.Wmain->DetectmoduleonLPT11) {
    QAction* item = program.Wmain->DetectmoduleonLPT11;
    // The caption's mnemonic is in "Detect": only what follows it changes.
    const QString text = item->text();
    const int at = text.indexOf("Detect ");
    if (at >= 0) {
      const char* what = port.choice.kind == PortChoice::Kind::kIio ? "" : "module on ";
      item->setText(text.left(at + 7) + what + QString::fromStdString(port.name));
    }
  }
  if (program.Wdebug != nullptr && program.Wdebug_alive && program.Wdebug->Memo1 &&
      !port.description.empty()) {
    program.Wdebug->Memo1->setPlainText(QString::fromStdString("Port: " + port.description));
  }
}
