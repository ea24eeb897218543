#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <string>

#include "fakes/ScriptedDialogs.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"

// The whole program on the simulated module, a virtual clock and scripted
// dialogs, started through the same entry stages as the executables, in a
// temporary working folder. The timers are not left to the event loop: the
// tests run their handlers themselves.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Copies the default setup.ini that ./run installs into the working folder.
  void InstallDefaultSetup();
  // Begins the program and creates its windows; detection is then started.
  void StartProgram();
  // Ticks the splash window's timer (300 ms apart) until it stops.
  void RunDetection();
  // The default setup.ini installed, the program started and the module
  // detected: the main window is measuring.
  void StartMeasuringProgram();
  // n ticks of the main window's measurement timer, one second apart; the
  // boxes asked for during a tick (TWmain::ShowLater) follow it, as the event
  // loop shows them.
  void MeasureTicks(int n);
  // The boxes the main window asked to show later, shown now.
  void ShowLaterBoxes();
  // Ends the program (alive flags, sensor, windows), as after the event loop.
  void EndProgramNow();

  // Path in the working folder.
  QString PathOf(const QString& name) const;

  int InformationCount() const { return dialogs.CountOf(ScriptedDialogs::Kind::Information); }
  int ErrorCount() const { return dialogs.CountOf(ScriptedDialogs::Kind::Error); }

  VirtualClock clock;
  SimulatedModule module{clock, 7};
  SimulatedModulePort port{module};
  ScriptedDialogs dialogs;
  // The port StartProgram hands the program; `port` when null.
  PortIo* program_port = nullptr;

 private:
  QTemporaryDir dir_;
  QString previous_dir_;
  bool running_ = false;
};

// The default settings file shipped for ./run.
QString DefaultSetupPath();

bool Exists(const QString& path);
std::string ReadFile(const QString& path);
void WriteFile(const QString& path, const std::string& text);
// Value of a key as a settings file holds it ("" when absent).
std::string ValueOf(const std::string& file_text, const std::string& key);

// A printed chart's first page, turned back into pixels by pdftoppm (60 dpi):
// its size and how many of its pixels are the plot's navy and the trace's
// yellow. `rendered` is false when pdftoppm is not installed; a failure of
// the conversion itself fails the calling test.
struct PrintedPage {
  bool rendered = false;
  int width = 0, height = 0;
  int navy = 0, yellow = 0;
};
PrintedPage RenderPrintedPage(const QString& pdf, const QString& png_base);
