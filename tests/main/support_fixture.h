#pragma once

#include <gtest/gtest.h>

#include <QLabel>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "fakes/ScriptedDialogs.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "sensor/Tsensor.h"
#include "station/Tstation.h"

class TWchart;
class TWmain;
class TWsmall;

// A main window with a real sensor on the simulated module, virtual time,
// scripted dialogs, and the small and chart windows it talks to, all
// registered in the program-wide state as the entry does. Each test works in
// a temporary folder of its own: files by bare names land there.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Holds the module at these local conditions (no noise).
  void Conditions(double pressure, double temperature) {
    module.SetFixedConditions(pressure, temperature);
  }
  // n timer ticks, the clock moving `seconds` before each; the boxes asked
  // for during a tick (TWmain::ShowLater) follow it.
  void Ticks(int n, int seconds = 1);
  // The boxes the main window asked to show later, shown now.
  void ShowLaterBoxes();
  // Conversions the module has made; two per sample with n = 1.
  int Conversions() const { return module.ConversionCount(); }

  static std::string ReadFile(const std::string& name);
  static void WriteFile(const std::string& name, const std::string& text);
  static std::string Text(const QLabel* label) { return label->text().toStdString(); }

  VirtualClock clock{1700000000};
  SimulatedModule module{clock, 7};
  SimulatedModulePort port{module};
  ScriptedDialogs dialogs;
  std::unique_ptr<Tsensor> sensor;
  std::unique_ptr<Tstation> station;
  TWsmall* small = nullptr;
  TWchart* chart = nullptr;
  TWmain* wmain = nullptr;

 private:
  QTemporaryDir folder_;
  QString previous_folder_;
};
