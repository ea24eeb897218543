// Samples that fail (module unplugged, no module at all) are no data: they
// show "--" and change no history, minimum, maximum or chart.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <QtTest/QTest>
#include <cerrno>
#include <vector>

#include "chart/Plot_time.h"
#include "chart/Tchart.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/HardwarePort.h"
#include "support_program.h"
#include "windows/Tsmall.h"

namespace {

const char kNoModuleNote[] =
    "Note: No module found on parallel port, please check the connection and/or plug-in the "
    "module.\n";

std::string Text(const QLabel* label) {
  return label->text().toStdString();
}

class FailedSampleTest : public ProgramTest {
 protected:
  // One sample an hour at the given local pressure, so that every good
  // sample is also a weather-history entry.
  void HourlySample(double pressure) {
    module.SetFixedConditions(pressure, 20);
    clock.AdvanceSeconds(3599);
    MeasureTicks(1);
  }
  // The displays a failed sample must blank, in the main and small window.
  std::vector<std::string> FailedDisplays() {
    TWmain* w = Program().Wmain;
    TWsmall* s = Program().Wsmall;
    return {Text(w->lbpressure),  Text(w->lbpresssea), Text(w->lbcelsius),
            Text(w->lbfarenheit), Text(s->lbcelsius),  Text(s->lbpresssea)};
  }
};

}  // namespace

TEST_F(FailedSampleTest, AGapOfFailedSamplesLeavesOnlyTheGoodOnesInTheRecord) {
  InstallDefaultSetup();
  module.SetFixedConditions(1000, 20);
  StartProgram();
  RunDetection();
  TWmain* w = Program().Wmain;
  TWchart* chart = Program().Wchart;
  // The start's samples stand at the loaded altitude: the one the settings
  // file's ts asks for is taken once the whole file is in force.
  ASSERT_GT(chart->altitude_plot->Count(), 0);
  for (int i = 0; i < chart->altitude_plot->Count(); ++i)
    EXPECT_NEAR(chart->altitude_plot->ValueAt(i), 250, 1) << i;
  dialogs.file_answers.push_back(PathOf("gap.dat").toStdString());
  chart->Storesamplestofile1Click();

  // The sea-level pressures of the good samples, as taken.
  std::vector<double> good;
  for (double p : {1004.0, 998.0, 1002.0}) {
    HourlySample(p);
    good.push_back(w->p_sea);
  }
  const int charted = chart->pressure_plot->Count();
  module.SetUnplugged(true);
  for (double p : {950.0, 1050.0, 900.0}) {
    HourlySample(p);
    EXPECT_EQ(FailedDisplays(), std::vector<std::string>(6, "--"));
    EXPECT_EQ(Text(w->lb_d1), "0");
    EXPECT_EQ(Text(w->lb_d2), "0");
  }
  module.SetUnplugged(false);
  // A reading beyond what the module can measure is a garbled word, too.
  HourlySample(1150);
  EXPECT_EQ(FailedDisplays(), std::vector<std::string>(6, "--"));
  EXPECT_EQ(chart->pressure_plot->Count(), charted);
  for (double p : {1001.0, 997.0}) {
    HourlySample(p);
    good.push_back(w->p_sea);
  }
  EXPECT_EQ(Text(w->lbpressure).rfind("99", 0), 0u);
  EXPECT_EQ(Text(w->lbcelsius).rfind("20.0", 0), 0u);
  EXPECT_NEAR(Program().Wsmall->lbpresssea->text().split(' ')[0].toDouble(), 997, 0.05);

  // Newest first in the history, nothing else after them but the start's.
  for (size_t i = 0; i < good.size(); ++i)
    EXPECT_EQ(w->meteo->GetHistory(static_cast<int>(i)), good[good.size() - 1 - i]) << i;
  EXPECT_NEAR(w->meteo->GetHistory(static_cast<int>(good.size())), 1000 + w->sea_offset, 0.05);
  EXPECT_EQ(w->p_sea_min, good[4]);
  EXPECT_EQ(w->p_sea_max, good[0]);
  EXPECT_NEAR(w->t_min, 20, 0.05);
  EXPECT_NEAR(w->t_max, 20, 0.05);
  EXPECT_EQ(chart->pressure_plot->Count(), charted + 2);
  EXPECT_EQ(chart->temperature_plot->Count(), charted + 2);
  EXPECT_NEAR(chart->pressure_plot->ValueAt(charted), 1001, 0.05);

  // One log row per good sample: the three before the gap and the two after.
  chart->Enddatalogging1Click();
  const std::string log = ReadFile(PathOf("gap.dat"));
  int rows = 0;
  for (size_t at = log.find("\n2"); at != std::string::npos; at = log.find("\n2", at + 1)) ++rows;
  EXPECT_EQ(rows, 5);
}

// No module at all: the box says what was found at the port and every
// reading shows "--" from the start.
TEST_F(FailedSampleTest, NoModuleSaysWhatThePortShowedAndReadsDashes) {
  InstallDefaultSetup();
  module.SetFixedConditions(1000, 20);
  module.SetUnplugged(true);
  StartProgram();
  Program().port_finding = PpdevFinding("/dev/parport0", ENOENT);
  RunDetection();
  ASSERT_EQ(InformationCount(), 1);
  EXPECT_EQ(dialogs.calls.back().text,
            std::string(kNoModuleNote) +
                "\n/dev/parport0 does not exist: load the ppdev driver (modprobe ppdev).\n");
  EXPECT_EQ(FailedDisplays(), std::vector<std::string>(6, "--"));
  MeasureTicks(2);
  EXPECT_EQ(FailedDisplays(), std::vector<std::string>(6, "--"));
  EXPECT_EQ(Program().Wchart->pressure_plot->Count(), 0);

  TWmain* w = Program().Wmain;
  Program().port_finding = PpdevFinding("/dev/parport0", EACCES);
  w->DetectmoduleonLPT11Click();
  RunDetection();
  EXPECT_EQ(dialogs.calls.back().text,
            std::string(kNoModuleNote) +
                "\n/dev/parport0: permission denied: add yourself to group lp and log in again.\n");

  // The simulated program has nothing to add about its port.
  Program().port_finding.clear();
  w->DetectmoduleonLPT11Click();
  RunDetection();
  EXPECT_EQ(dialogs.calls.back().text, kNoModuleNote);
}

// Readings at the ends of the rated range (300..1100 mbar, -40..85 deg C),
// and a little beyond, are the module's: they are shown. Farther out they
// come from a reading gone wrong and are refused.
TEST_F(FailedSampleTest, ReadingsAtTheEndsOfTheRatedRangeAreShown) {
  InstallDefaultSetup();
  module.SetFixedConditions(1000, 20);
  StartProgram();
  RunDetection();
  TWmain* w = Program().Wmain;
  struct Case {
    double pressure, temperature;
    bool shown;
  };
  const Case cases[] = {{300, 20, true},     {299.97, 20, true},   {1100, 20, true},
                        {1100.02, 20, true}, {281, -44, true},     {1119, 89, true},
                        {1000, -40, true},   {1000, 85, true},     {278, 20, false},
                        {1122, 20, false},   {1000, -46.5, false}, {1000, 91, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pressure << " mbar, " << c.temperature << " deg C");
    module.SetFixedConditions(c.pressure, c.temperature);
    MeasureTicks(1);
    if (c.shown) {
      ASSERT_NE(Text(w->lbpressure), "--");
      EXPECT_NEAR(w->p_local, c.pressure, 0.1);
      EXPECT_NEAR(w->t_local, c.temperature, 0.05);
    } else {
      EXPECT_EQ(FailedDisplays(), std::vector<std::string>(6, "--"));
    }
  }
}

// The module answers the detection and is gone for the first samples: the
// altitude loaded meanwhile takes its reference from the first good sample.
TEST_F(FailedSampleTest, AltitudeLoadedBeforeAnyGoodSampleRefersToTheFirstOne) {
  InstallDefaultSetup();
  module.SetFixedConditions(1000, 20);
  module.SetDisappearAfterConversions(1);  // the detection's probe
  StartProgram();
  RunDetection();
  EXPECT_EQ(InformationCount(), 0);
  EXPECT_EQ(FailedDisplays(), std::vector<std::string>(6, "--"));
  module.SetDisappearAfterConversions(-1);
  MeasureTicks(1);
  TWmain* w = Program().Wmain;
  EXPECT_NEAR(w->lbpressure->text().toDouble(), 1000, 0.05);
  EXPECT_NEAR(w->alt_shown, 250, 1);
  EXPECT_EQ(w->p_sea_min, w->p_sea_max);
}

TEST_F(FailedSampleTest, AltFOpensTheFileMenu) {
  StartMeasuringProgram();
  TWmain* w = Program().Wmain;
  w->show();
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  QTest::keyClick(w, Qt::Key_F, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([w] { return w->File1->isVisible(); }, 2000));
  w->File1->hide();

  TWchart* chart = Program().Wchart;
  chart->show();
  chart->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(chart));
  QTest::keyClick(chart, Qt::Key_T, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([chart] { return chart->Tools1->isVisible(); }, 2000));
  chart->Tools1->hide();
}
