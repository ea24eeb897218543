// The splash window's search sequence, on its own (no main window).
#include <gtest/gtest.h>

#include <QLabel>
#include <QTimer>
#include <memory>

#include "fakes/ScriptedDialogs.h"
#include "main/Program.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "sensor/Tsensor.h"
#include "windows/Tintro.h"

namespace {

class IntroTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Program() = ProgramState();
    Program().dialogs = &dialogs;
    Program().clock = &clock;
  }
  void TearDown() override {
    intro.reset();
    Program() = ProgramState();
  }

  void UseSensor() {
    sensor = std::make_unique<Tsensor>(port, clock);
    Program().sensor = sensor.get();
  }

  // Runs one tick; returns the status text afterwards.
  QString Tick() {
    clock.AdvanceMs(300);
    intro->OnTimer();
    return intro->lbstatus->text();
  }

  VirtualClock clock;
  SimulatedModule module{clock, 3};
  SimulatedModulePort port{module};
  ScriptedDialogs dialogs;
  std::unique_ptr<Tsensor> sensor;
  std::unique_ptr<TWintro> intro;
};

TEST_F(IntroTest, FoundModuleGoesThroughTheStepsWithoutABox) {
  UseSensor();
  intro = std::make_unique<TWintro>();
  EXPECT_TRUE(Program().Wintro_alive);
  EXPECT_EQ(intro->windowTitle(), "Barometer");
  EXPECT_EQ(intro->size(), QSize(310, 242));
  EXPECT_EQ(intro->Timer1->interval(), 300);
  EXPECT_FALSE(intro->Timer1->isActive());
  EXPECT_TRUE(intro->lbstatus->text().isEmpty());
  // The title stays on one line.
  for (const QLabel* label : intro->findChildren<QLabel*>()) {
    if (!label->text().startsWith("Barometer / Altimeter")) continue;
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
  }

  intro->StartSearch();
  EXPECT_EQ(intro->lbstatus->text(), "Searching barometer module on LPT1");
  EXPECT_TRUE(intro->Timer1->isActive());
  EXPECT_FALSE(intro->isVisible());  // StartSearch itself does not show it

  Tick();
  EXPECT_TRUE(intro->isVisible());
  const int conversions = module.ConversionCount();
  EXPECT_EQ(Tick(), "Searching barometer module on LPT1");
  EXPECT_EQ(module.ConversionCount(), conversions + 1);  // the probe conversion
  EXPECT_FALSE(intro->ModuleMissing);
  EXPECT_TRUE(intro->Timer1->isActive());
  EXPECT_EQ(Tick(), "OK: module found");
  Tick();
  EXPECT_FALSE(intro->isVisible());
  EXPECT_TRUE(intro->Timer1->isActive());
  Tick();
  EXPECT_FALSE(intro->Timer1->isActive());
  EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(IntroTest, WithoutASensorTheSearchReportsNoModule) {
  intro = std::make_unique<TWintro>();
  intro->StartSearch();
  Tick();
  Tick();
  EXPECT_TRUE(intro->ModuleMissing);
  EXPECT_EQ(Tick(), "Error: No module found on LPT1");
  EXPECT_EQ(dialogs.CountOf(ScriptedDialogs::Kind::Information), 1);
  EXPECT_EQ(port.WriteCount(), 0);
}

TEST_F(IntroTest, ANewSearchStartsOverAndShowsTheWindowAgain) {
  UseSensor();
  intro = std::make_unique<TWintro>();
  intro->StartSearch();
  for (int i = 0; i < 5; ++i) Tick();
  ASSERT_FALSE(intro->isVisible());
  ASSERT_FALSE(intro->Timer1->isActive());
  // Handed over, it holds no window of the window system (nor its buffer).
  EXPECT_EQ(intro->windowHandle(), nullptr);
  EXPECT_FALSE(intro->testAttribute(Qt::WA_WState_Created));

  // The search changed n and ts back to 1; a new one starts from step 0.
  module.SetUnplugged(true);
  intro->StartSearch();
  EXPECT_EQ(intro->Step, 0);
  Tick();
  EXPECT_TRUE(intro->isVisible());
  EXPECT_NE(intro->windowHandle(), nullptr);
  Tick();
  EXPECT_TRUE(intro->ModuleMissing);
  intro->StartSearch();
  EXPECT_FALSE(intro->ModuleMissing);
  EXPECT_EQ(intro->Step, 0);
}

}  // namespace
