// The whole program on a module behind a loose cable (platform/
// UnpluggingPort.h): what detection, the measurement cycle, the calibration
// editor and the two dialogs' number fields make of it. Nothing wrong is
// ever shown, charted or logged; a failed sample shows "--".

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <cmath>
#include <string>

#include "chart/Tchart.h"
#include "chart/Tchart_settings.h"
#include "fakes/UnpluggingPort.h"
#include "main/Entry.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "sensor/Tsensor.h"
#include "settings/Tsettings.h"
#include "support_program.h"
#include "windows/Tintro.h"

namespace {

std::string Text(const QLabel* label) {
  return label->text().toStdString();
}

class ModuleFaultTest : public ProgramTest {
 protected:
  void TearDown() override {
    if (started_) EndProgram();
    ProgramTest::TearDown();
  }
  // The program with the default settings, its port behind the cable.
  void Start() {
    InstallDefaultSetup();
    BeginProgram(cable, clock, dialogs);
    CreateWindows();
    started_ = true;
  }
  // Whether the main window shows the module's present values.
  bool ShowsTheModule() {
    TWmain* w = Program().Wmain;
    const double t = static_cast<double>(clock.NowMs()) / 1000.0;
    return w->last_sample_good && std::fabs(w->p_local - module.LocalPressureAt(t)) <= 0.3 &&
           std::fabs(w->t_local - module.TemperatureAt(t)) <= 0.1;
  }

  UnpluggingPort cable{module, port};

 private:
  bool started_ = false;
};

}  // namespace

TEST_F(ModuleFaultTest, UnpluggedThroughoutDetectionThenPluggedInShowsValuesWithoutDetecting) {
  module.SetUnplugged(true);
  Start();
  RunDetection();
  EXPECT_EQ(Text(Program().Wintro->lbstatus), "Error: No module found on LPT1");
  EXPECT_FALSE(Program().sensor->HasCalibration());
  MeasureTicks(3);
  EXPECT_EQ(Text(Program().Wmain->lbpressure), "--");
  EXPECT_EQ(Program().Wchart->MeasurementCount(), 0);

  module.SetUnplugged(false);
  MeasureTicks(1);
  EXPECT_TRUE(ShowsTheModule());
  EXPECT_NE(Text(Program().Wmain->lbpressure), "--");
  Tsensor_wc calibration;
  Program().sensor->GetCalibration(&calibration);
  EXPECT_EQ(calibration.W1, 0xB5A7);
}

TEST_F(ModuleFaultTest, AFiveAccessGlitchOnW1DuringDetectionLeavesTheRightCalibration) {
  Start();
  // Detection's reset is 45 accesses and W1's command 28: pull the plug for
  // five of W1's bits (a bit is three accesses).
  cable.Glitch(cable.Accesses() + 1 + 45 + 28 + 3 * 5, 5);
  RunDetection();
  EXPECT_EQ(Text(Program().Wintro->lbstatus), "OK: module found");
  Tsensor_wc calibration;
  Program().sensor->GetCalibration(&calibration);
  EXPECT_EQ(calibration.W1, 0xB5A7);
  EXPECT_EQ(calibration.W4, 0xA7B3);
  for (int i = 0; i < 5; ++i) {
    MeasureTicks(1);
    EXPECT_TRUE(ShowsTheModule()) << i;
  }
}

TEST_F(ModuleFaultTest, RandomUnplugEventsNeverShowChartOrLogAWrongValue) {
  Start();
  RunDetection();
  TWmain* w = Program().Wmain;
  TWchart* chart = Program().Wchart;
  dialogs.file_answers.push_back(PathOf("faults.dat").toStdString());
  chart->Storesamplestofile1Click();
  cable.Random(17, 1, 2000, 400, 2000);
  int ticks = 0, good = 0;
  double t_low = 100, t_high = -100;  // the true temperatures of the shown samples
  while (cable.RandomEventsLeft() > 0) {
    const int charted = chart->MeasurementCount();
    MeasureTicks(1);
    ++ticks;
    if (w->last_sample_good) {
      ASSERT_TRUE(ShowsTheModule()) << "tick " << ticks;
      ++good;
      const double t = module.TemperatureAt(static_cast<double>(clock.NowMs()) / 1000.0);
      t_low = std::min(t_low, t);
      t_high = std::max(t_high, t);
    } else {
      ASSERT_EQ(Text(w->lbpressure), "--");
      ASSERT_EQ(chart->MeasurementCount(), charted);
    }
  }
  // Not "refuse everything": most ticks still show the module.
  EXPECT_GT(good, ticks / 2);
  // The minima and maxima hold only what was shown.
  EXPECT_GE(w->t_min, t_low - 0.1);
  EXPECT_LE(w->t_max, t_high + 0.1);
}

TEST_F(ModuleFaultTest, ALiftRideIsShownSampleBySample) {
  Start();
  RunDetection();
  TWmain* w = Program().Wmain;
  MeasureTicks(2);
  const double start = w->alt_shown;
  module.SetClimb(3.0);
  for (int i = 1; i <= 60; ++i) {
    const int charted = Program().Wchart->MeasurementCount();
    MeasureTicks(1);
    ASSERT_TRUE(ShowsTheModule()) << i;
    ASSERT_EQ(Program().Wchart->MeasurementCount(), charted + 1) << i;
  }
  // 3 m/s for the minute and the sequences' time within it.
  const double climbed = module.ClimbAt(static_cast<double>(clock.NowMs()) / 1000.0);
  EXPECT_GT(climbed, 180);
  EXPECT_NEAR(w->alt_shown - start, climbed, 10);
}

TEST_F(ModuleFaultTest, RestoreFromSensorWithTheModuleUnpluggedChangesNothing) {
  Start();
  RunDetection();
  TWsettings* settings = Program().Wsettings;
  settings->OnShow();
  settings->ed_w1->setText("47000");
  settings->OnKeyUpW1();  // a calibration being edited by hand
  dialogs.calls.clear();
  module.SetUnplugged(true);
  settings->Button1Click();
  ASSERT_EQ(ErrorCount(), 1);
  EXPECT_EQ(dialogs.calls[0].text,
            "Error : The module did not answer; the calibration was not changed.");
  EXPECT_EQ(settings->ed_w1->text(), "47000");
  EXPECT_EQ(Text(settings->lb_w1), "0xb798");

  module.SetUnplugged(false);
  settings->Button1Click();
  EXPECT_EQ(ErrorCount(), 1);
  EXPECT_EQ(settings->ed_w1->text(), QString::number(0xB5A7));
}

TEST_F(ModuleFaultTest, NumbersThatAreNotFiniteAreRefusedWithTheFieldsMessage) {
  Start();
  RunDetection();
  TWsettings* settings = Program().Wsettings;
  settings->OnShow();
  dialogs.calls.clear();
  settings->ed_sunny->setText("1e999");
  settings->bt_okClick();
  ASSERT_EQ(ErrorCount(), 1);
  EXPECT_EQ(dialogs.calls[0].text, "Error : The \"Sunny\" limit for the meteo must be a number");
  EXPECT_EQ(Program().Wmain->GetParameter(kSunnyLimit), 1016);

  TWrange* range = Program().Wrange;
  range->ed_pl->setText("900");
  range->ed_ph->setText("1e999");
  range->ed_al->setText("0");
  range->ed_ah->setText("100");
  range->ed_tl->setText("0");
  range->ed_th->setText("30");
  dialogs.calls.clear();
  range->bt_okClick();
  ASSERT_EQ(ErrorCount(), 1);
  EXPECT_EQ(dialogs.calls[0].text,
            "Error : The value for the pressure high range must be a number");
}
