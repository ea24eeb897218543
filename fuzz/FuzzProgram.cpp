#include "fuzz/FuzzProgram.h"

#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QByteArray>
#include <QTemporaryDir>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "chart/Tchart.h"
#include "main/Entry.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "sensor/Tsensor.h"
#include "sensor/Tsensor_wc.h"
#include "windows/Tintro.h"

namespace {

// Keys with a value in the file: every index but 8.
constexpr uint8_t kStored[] = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 16};

// The offscreen platform warns at every window raised or resized; those
// lines would fill the log and slow every input down. Errors still show.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

struct FuzzProgram {
  FuzzProgram() {
    // A folder in memory where there is one: saving syncs every file.
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : nullptr;
    folder = base ? std::make_unique<QTemporaryDir>(QString(base) + "/barometer-fuzz-XXXXXX")
                  : std::make_unique<QTemporaryDir>();
    if (!folder->isValid()) std::abort();

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietMessages);
    static int argc = 1;
    static char name[] = "barometer-fuzz";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QApplication>(argc, argv);
    std::setlocale(LC_NUMERIC, "C");

    // The program starts in the scratch folder: its pressure record (kept by
    // its full name) and the setup.ini of its start are the run's own, so
    // no earlier run's record steers this one and none lands in the folder
    // the run started in. The fuzzer's own paths are relative to that one.
    char started_in[4096];
    if (getcwd(started_in, sizeof started_in) == nullptr ||
        chdir(folder->path().toLocal8Bit().constData()) != 0)
      std::abort();
    BeginProgram(port, clock, dialogs);
    CreateWindows();
    TWintro* intro = Program().Wintro;
    for (int tick = 0; tick < 20 && intro->Timer1->isActive(); ++tick) {
      clock.AdvanceMs(300);
      intro->OnTimer();
    }
    if (intro->Timer1->isActive() || !Program().Wmain_alive) std::abort();
    if (chdir(started_in) != 0) std::abort();
    Program().Wmain->GetCalibration(&calibration);
    // From now on the atmosphere stands still, with the module's noise on it:
    // what a sample reads depends on the input's noise seed alone, not on
    // the time the input runs at.
    module.SetFixedConditions(module.PressureNow(), module.TemperatureNow());
  }

  ~FuzzProgram() { EndProgram(); }

  std::unique_ptr<QTemporaryDir> folder;
  VirtualClock clock;
  SimulatedModule module{clock, 7};
  SimulatedModulePort port{module};
  ScriptedDialogs dialogs;
  std::unique_ptr<QApplication> app;
  Tsensor_wc calibration;
};

FuzzProgram& Instance() {
  static FuzzProgram program;
  return program;
}

}  // namespace

void RestartFuzzProgram(const uint8_t* data, size_t size) {
  FuzzProgram& program = Instance();
  // FNV-1a of the input.
  uint64_t seed = 0xCBF29CE484222325ull;
  for (size_t i = 0; i < size; ++i) seed = (seed ^ data[i]) * 0x100000001B3ull;
  program.module.SetNoiseSeed(seed);
  // Three minutes on: the last input's samples are no reference (they are
  // forgotten after two), and the first sample is confirmed as after a start,
  // whatever the inputs before.
  program.clock.AdvanceSeconds(180);
  TWmain* w = Program().Wmain;
  // As after a detection: n and ts straight into the sensor (a new ts would
  // take a sample now).
  Program().sensor->SetSampleCount(1);
  Program().sensor->SetSequenceInterval(1);
  w->SetCalibration(&program.calibration);
  w->SetParameter(kAltitude, 0);
  w->SetWeatherLimits(1016, 1009, 1002);
  w->SetParameter(kHysteresis, 0.5);
  w->SetParameter(kQuickDownRate, -0.9);
  w->SetParameter(kSlowDownRate, -0.23);
  w->SetParameter(kQuickUpRate, 0.9);
  w->SetParameter(kSlowUpRate, 0.23);
  w->SetParameter(kMinimized, 0);
  w->SetParameter(kSaveOnExit, 1);
  w->SetParameter(kSmallX, 709);
  w->SetParameter(kSmallY, 282);
  Program().Wchart->ResetToAutoscale();
  // What the last input posted (window shows and hides, repaints) is
  // handled, as the event loop would: left alone it piles up.
  QCoreApplication::sendPostedEvents();
  program.dialogs.calls.clear();
  program.dialogs.confirm_answers.clear();
  program.dialogs.file_answers.clear();
}

ScriptedDialogs& FuzzDialogs() {
  return Instance().dialogs;
}

void FuzzMeasureTicks(int n) {
  for (int i = 0; i < n; ++i) {
    Instance().clock.AdvanceSeconds(1);
    Program().Wmain->OnTimer();
  }
}

std::string ScratchPath(const char* name) {
  return Instance().folder->filePath(name).toStdString();
}

std::string WriteScratchFile(const char* name, const uint8_t* data, size_t size) {
  const std::string path = ScratchPath(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) std::abort();
  return path;
}

std::string ReadScratchFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::array<double, 17> StoredSettings() {
  std::array<double, 17> values{};
  for (uint8_t index : kStored) values[index] = Program().Wmain->GetParameter(index);
  return values;
}
