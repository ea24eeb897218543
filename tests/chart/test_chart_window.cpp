// The chart window, its data log and the range dialog, in the whole program
// on the simulated module.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "chart/Plot_time.h"
#include "chart/Tchart.h"
#include "chart/Tchart_settings.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "support_program.h"

namespace {

using Kind = ScriptedDialogs::Kind;

std::string Text(const QLabel* label) {
  return label->text().toStdString();
}

// The data log's error boxes; the pressure record's own box (a file-size
// limit stops it too) is not the log's.
std::vector<std::string> ErrorTexts(const ScriptedDialogs& dialogs) {
  std::vector<std::string> texts;
  for (const auto& call : dialogs.calls)
    if (call.kind == Kind::Error && call.text.rfind("Error : ", 0) == 0) texts.push_back(call.text);
  return texts;
}

// Local time is UTC here, so dates in files and labels are fixed.
class ChartTest : public ProgramTest {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    ProgramTest::SetUp();
    InstallDefaultSetup();
    StartProgram();
  }
  TWchart* Chart() { return Program().Wchart; }
};

TEST_F(ChartTest, LogHasItsHeaderAndOneRowPerMeasurement) {
  RunDetection();
  MeasureTicks(2);
  TWchart* chart = Chart();
  ASSERT_TRUE(chart->isHidden());  // logging does not need the window
  dialogs.file_answers.push_back(PathOf("log.dat").toStdString());
  clock.SetNow(982665895);  // 2001-02-20 10:44:55
  chart->Storesamplestofile1Click();
  ASSERT_TRUE(chart->IsLogging());
  EXPECT_FALSE(chart->Storesamplestofile1->isEnabled());
  EXPECT_TRUE(chart->Enddatalogging1->isEnabled());
  EXPECT_FALSE(chart->lb_rec->isHidden());

  const std::string header =
      "#    Datafile for Norvatech PC-Port Altimeter\n\n"
      "#    Measurement start date : 2001-02-20 10:44:55\n\n"
      "#    Calibration words :\n"
      "#                        W1 = 0xb5a7\n"
      "#                        W2 = 0x9c4d\n"
      "#                        W3 = 0x62f1\n"
      "#                        W4 = 0xa7b3\n"
      "#    Calibration coeff :\n"
      "#                        C1 = 23251\n"
      "#                        C2 = 3187\n"
      "#                        C3 = 670\n"
      "#                        C4 = 395\n"
      "#                        C5 = 1649\n"
      "#                        C6 = 13\n\n"
      "#    Temperature [\xB0"
      "C]\n"
      "#    Pressure    [mbar]\n"
      "#    Altitude    [m]\n\n"
      "#    Local Altitude = 250.000 [m]\n"
      "#    Sampling N  = 1 (number of measures/sample)\n"
      "#    Sampling TS = 1 [s]\n"
      "#    Pressure difference to sea level = 29.5 [mbar]\n\n"
      "#(DateTime;D1;D2;Pressure;Temperature;Altitude)\n";
  EXPECT_EQ(ReadFile(PathOf("log.dat")), header);

  // A row from the main window's tick, then one with known values written
  // under a comma locale: numbers keep their point.
  MeasureTicks(1);
  EXPECT_TRUE(chart->lb_rec->isHidden()) << "blinks off for each row";
  EXPECT_TRUE(chart->timer_rec->isActive());
  chart->OnTimer();
  EXPECT_FALSE(chart->lb_rec->isHidden());
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  chart->AddMeasurement(16000, 27000, 1013.254, 21.5, 432.1);
  std::setlocale(LC_NUMERIC, previous.c_str());
  std::string text = ReadFile(PathOf("log.dat"));
  ASSERT_EQ(text.compare(0, header.size(), header), 0);
  text.erase(0, header.size());
  ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
  // The tick's sample may take a second sequence to confirm it after the
  // jump of the clock, which can carry its stamp into the next second.
  EXPECT_EQ(text.compare(0, 18, "2001-02-20 10:44:5"), 0) << text;
  const std::string second_row = text.substr(text.find('\n') + 1);
  EXPECT_EQ(second_row.compare(0, 18, "2001-02-20 10:44:5"), 0) << second_row;
  EXPECT_EQ(second_row.substr(19), ";16000;27000;1013.25;21.50;432.10\n");

  chart->Enddatalogging1Click();
  EXPECT_FALSE(chart->IsLogging());
  EXPECT_TRUE(chart->lb_rec->isHidden());
  EXPECT_TRUE(chart->Storesamplestofile1->isEnabled());
  EXPECT_FALSE(chart->Enddatalogging1->isEnabled());
  MeasureTicks(2);
  EXPECT_EQ(ReadFile(PathOf("log.dat")).size(), header.size() + text.size());

  // The save dialog offers the last name; the window's end closes a log.
  dialogs.file_answers.push_back(PathOf("second.dat").toStdString());
  chart->Storesamplestofile1Click();
  EXPECT_EQ(dialogs.calls.back().text, PathOf("log.dat").toStdString());
  MeasureTicks(1);
  EndProgramNow();
  text = ReadFile(PathOf("second.dat"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
            27 + 1);  // header with its empty lines, one row
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(ErrorCount(), 0);
}

TEST_F(ChartTest, RefusedAndFailingLogsLeaveTheWindowIdle) {
  RunDetection();
  TWchart* chart = Chart();
  auto expect_idle = [&] {
    EXPECT_FALSE(chart->IsLogging());
    EXPECT_TRUE(chart->Storesamplestofile1->isEnabled());
    EXPECT_FALSE(chart->Enddatalogging1->isEnabled());
    EXPECT_TRUE(chart->lb_rec->isHidden());
  };

  WriteFile(PathOf("old.dat"), "keep me\n");
  dialogs.file_answers.push_back(PathOf("old.dat").toStdString());
  dialogs.confirm_answers.push_back(false);
  chart->Storesamplestofile1Click();
  EXPECT_EQ(dialogs.calls.back().text,
            "Warning: File already exists. Do you really want to overwrite it ?");
  expect_idle();
  EXPECT_EQ(ReadFile(PathOf("old.dat")), "keep me\n");

  const std::string folder = PathOf("no-such-folder/log.dat").toStdString();
  dialogs.file_answers.push_back(folder);
  chart->Storesamplestofile1Click();
  EXPECT_EQ(ErrorTexts(dialogs),
            std::vector<std::string>{"Error : Unable to open output file " + folder});
  expect_idle();

  // A full disk: the error shows once, logging ends, ticks go on quietly.
  dialogs.file_answers.push_back("/dev/full");
  dialogs.confirm_answers.push_back(true);
  chart->Storesamplestofile1Click();
  MeasureTicks(3);
  EXPECT_EQ(ErrorTexts(dialogs).back(), "Error : Unable to write output file /dev/full");
  EXPECT_EQ(ErrorCount(), 2);
  expect_idle();
}

// Begins a log of the given name; logging runs.
void BeginLog(TWchart* chart, ScriptedDialogs& dialogs, const QString& path) {
  dialogs.file_answers.push_back(path.toStdString());
  chart->Storesamplestofile1Click();
  ASSERT_TRUE(chart->IsLogging());
}

// A disk that takes only part of the log: every line in the file is whole,
// the failure shows once, logging ends, and measuring goes on.
TEST_F(ChartTest, LogOnAFullDiskEndsWithTheLastWholeRow) {
  RunDetection();
  TWchart* chart = Chart();
  BeginLog(chart, dialogs, PathOf("log.dat"));
  MeasureTicks(2);
  const size_t before = ReadFile(PathOf("log.dat")).size();

  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old_limit{};
  getrlimit(RLIMIT_FSIZE, &old_limit);
  rlimit small_limit = old_limit;
  small_limit.rlim_cur = before + 70;  // room for one row and part of the next
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small_limit), 0);
  MeasureTicks(4);
  setrlimit(RLIMIT_FSIZE, &old_limit);

  const std::string text = ReadFile(PathOf("log.dat"));
  EXPECT_GT(text.size(), before);
  ASSERT_EQ(text.back(), '\n');
  const std::string rows = text.substr(text.rfind(")\n") + 2);  // after the column names
  EXPECT_EQ(std::count(rows.begin(), rows.end(), ';'),
            5 * std::count(rows.begin(), rows.end(), '\n'));
  EXPECT_EQ(ErrorTexts(dialogs), std::vector<std::string>{"Error : Unable to write output file " +
                                                          PathOf("log.dat").toStdString()});
  EXPECT_FALSE(chart->IsLogging());
  EXPECT_TRUE(chart->lb_rec->isHidden());
  const int samples = chart->MeasurementCount();
  MeasureTicks(2);
  EXPECT_EQ(chart->MeasurementCount(), samples + 2);
  EXPECT_EQ(ErrorTexts(dialogs).size(), 1u);

  // A header that does not fit leaves an empty file.
  small_limit.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small_limit), 0);
  dialogs.file_answers.push_back(PathOf("short.dat").toStdString());
  chart->Storesamplestofile1Click();
  setrlimit(RLIMIT_FSIZE, &old_limit);
  EXPECT_EQ(ReadFile(PathOf("short.dat")), "");
  EXPECT_FALSE(chart->IsLogging());
  EXPECT_EQ(ErrorTexts(dialogs).size(), 2u);
}

// A log whose file is deleted, moved away or loses its folder stops at the
// next row with one message; the program measures on.
TEST_F(ChartTest, LogWhoseFileGoesAwayStopsAndSaysSo) {
  RunDetection();
  TWchart* chart = Chart();
  const std::vector<std::function<void(const std::string&, const std::string&)>> ways = {
      [](const std::string& file, const std::string&) { unlink(file.c_str()); },
      [](const std::string& file, const std::string&) {
        std::rename(file.c_str(), (file + ".old").c_str());
      },
      [](const std::string& file, const std::string& folder) {
        unlink(file.c_str());
        rmdir(folder.c_str());
      }};
  for (size_t way = 0; way < ways.size(); ++way) {
    SCOPED_TRACE(way);
    dialogs.calls.clear();
    const QString folder = PathOf(QString("logs%1").arg(way));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString file = folder + "/log.dat";
    BeginLog(chart, dialogs, file);
    MeasureTicks(1);
    ways[way](file.toStdString(), folder.toStdString());
    MeasureTicks(3);
    EXPECT_EQ(ErrorTexts(dialogs),
              std::vector<std::string>{"Error : The output file " + file.toStdString() +
                                       " was moved or deleted; data "
                                       "logging stopped."});
    EXPECT_FALSE(chart->IsLogging());
    EXPECT_TRUE(chart->Storesamplestofile1->isEnabled());
    EXPECT_TRUE(chart->lb_rec->isHidden());
    EXPECT_NE(Text(Program().Wmain->lbpressure), "--");
  }
  EXPECT_TRUE(Exists(PathOf("logs1/log.dat.old")));
}

// Feeds the same measurements to two charts: one hidden until the end, one
// shown all along. After showing, the hidden one shows the same pictures.
TEST_F(ChartTest, HiddenChartDrawsOnShowWhatItWouldHaveDrawnAllAlong) {
  TWchart* hidden = Chart();
  TWchart shown;
  shown.ResetToAutoscale();
  shown.show();
  hidden->Button1Click();  // both start empty
  const QImage before = hidden->pressure_plot->GetBitmap().copy();
  auto feed = [&](int from, int to) {
    for (int i = from; i < to; ++i) {
      clock.AdvanceSeconds(1);
      const double p = 1000 + (i % 13);
      for (TWchart* chart : {hidden, &shown}) chart->AddMeasurement(i, i, p, 20 + i % 5, 100 + i);
    }
  };
  feed(0, 700);  // more samples than columns
  EXPECT_EQ(hidden->pressure_plot->GetBitmap(), before) << "nothing drawn while hidden";
  EXPECT_TRUE(hidden->temperature_plot->NeedsRedraw());

  hidden->show();
  for (Tplot_time* plot : {hidden->pressure_plot, hidden->temperature_plot})
    EXPECT_FALSE(plot->NeedsRedraw());
  EXPECT_EQ(hidden->pressure_plot->GetBitmap(), shown.pressure_plot->GetBitmap());
  EXPECT_EQ(hidden->temperature_plot->GetBitmap(), shown.temperature_plot->GetBitmap());
  EXPECT_EQ(hidden->grab().toImage(), shown.grab().toImage());

  // Values 1000 .. 1012 give these labels from top to bottom.
  EXPECT_EQ(Text(hidden->lb_ph100), "1012.00");
  EXPECT_EQ(Text(hidden->lb_ph66), "1008.00");
  EXPECT_EQ(Text(hidden->lb_ph33), "1004.00");
  EXPECT_EQ(Text(hidden->lb_ph0), "1000.00");

  // Samples that arrive in the altitude view extend the pressure plot too;
  // back in the pressure view it shows the whole history.
  hidden->AltitudeTemperature1Click();
  EXPECT_TRUE(hidden->pressure_plot->isHidden());
  EXPECT_EQ(Text(hidden->lb_p), "Chart of altitude vs time");
  EXPECT_EQ(Text(hidden->lb_press), "Altitude [m]");
  shown.AltitudeTemperature1Click();
  EXPECT_EQ(hidden->altitude_plot->GetBitmap(), shown.altitude_plot->GetBitmap());
  shown.PressureTemperature1Click();
  feed(700, 760);
  shown.AddMeasurement(0, 0, 1030, 20, 0);
  hidden->AddMeasurement(0, 0, 1030, 20, 0);
  EXPECT_EQ(Text(hidden->lb_ph100), "859.00") << "altitude labels while in that view";
  hidden->PressureTemperature1Click();
  EXPECT_EQ(Text(hidden->lb_p), "Chart of pressure vs time");
  EXPECT_EQ(Text(hidden->lb_ph100), "1030.00");
  EXPECT_EQ(hidden->pressure_plot->Count(), 761);
  EXPECT_EQ(hidden->pressure_plot->GetBitmap(), shown.pressure_plot->GetBitmap());
  EXPECT_EQ(Text(hidden->lb_px100), Text(shown.lb_px100));
}

TEST_F(ChartTest, TimeLabelsShowLocalTimeWithoutWeekday) {
  EXPECT_EQ(TWchart::FormatTimeLabel(982665895.7).toStdString(), "Feb 20 10:44:55 2001\n");
  EXPECT_EQ(TWchart::FormatTimeLabel(0).toStdString(), "Jan 01 00:00:00 1970\n");
  EXPECT_EQ(TWchart::FormatTimeLabel(1e300).toStdString(), "");
  EXPECT_EQ(TWchart::FormatTimeLabel(std::nan("")).toStdString(), "");
  // Before the first sample every time label shows calendar second 0.
  EXPECT_EQ(Text(Chart()->lb_tx100), "Jan 01\n00:00:00 1970\n");
}

TEST_F(ChartTest, RangeDialogChecksEveryFieldAndAppliesOnOk) {
  TWchart* chart = Chart();
  TWrange* range = Program().Wrange;
  // Before the first sample all ranges are 0: OK is refused three times,
  // the dialog stays open until Cancel, and the view is refreshed after.
  QTimer::singleShot(0, range, [&] {
    EXPECT_EQ(range->ed_ph->text(), "0.00");
    EXPECT_EQ(range->ed_tl->text(), "0.00");
    range->bt_okClick();
    EXPECT_TRUE(range->isVisible());
    range->bt_cancelClick();
  });
  chart->View = 1;
  chart->Setupdisplayrange1Click();
  EXPECT_EQ(ErrorTexts(dialogs),
            (std::vector<std::string>{
                "Error : The high temperature range must be bigger than the low limit",
                "Error : The high pressure range must be bigger than the low limit",
                "Error : The high altitude range must be bigger than the low limit"}));
  EXPECT_EQ(Text(chart->lb_p), "Chart of altitude vs time");
  chart->PressureTemperature1Click();

  // A word in a field: its own message, then its pair's.
  dialogs.calls.clear();
  range->PAutoScaleBox->click();
  range->ed_ph->setText("1020");
  range->ed_pl->setText("1000");
  range->ed_ah->setText("1");
  range->ed_al->setText("0");
  range->ed_th->setText("abc");
  range->ed_tl->setText("10");
  range->bt_okClick();
  EXPECT_EQ(ErrorTexts(dialogs),
            (std::vector<std::string>{
                "Error : The value for the temperature high range must be a number",
                "Error : The high temperature range must be bigger than the low limit"}));
  EXPECT_TRUE(chart->pressure_plot->AutoScaleYOn());

  // Enter in any field is OK: pressure goes manual, the others autoscale.
  range->ed_th->setText("30");
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(range->ed_al, &enter);
  EXPECT_EQ(range->result(), QDialog::Accepted);
  EXPECT_FALSE(chart->pressure_plot->AutoScaleYOn());
  EXPECT_EQ(chart->pressure_plot->GetRangeYHigh(), 1020.0);
  EXPECT_EQ(chart->pressure_plot->GetRangeYLow(), 1000.0);
  EXPECT_TRUE(chart->temperature_plot->AutoScaleYOn());
  EXPECT_EQ(Text(chart->lb_ph100), "1020.00");
  EXPECT_EQ(Text(chart->lb_ph33), "1006.67");
  EXPECT_EQ(ErrorCount(), 2);
}

}  // namespace
