// The chart window, its data log and the range dialog, in the whole program
// on the simulated module.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QXmlStreamReader>
#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "archive/Tarchive.h"
#include "chart/Plot_time.h"
#include "chart/Tchart.h"
#include "chart/Tchart_settings.h"
#include "components/Client_area.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "support_program.h"

namespace {

using Kind = ScriptedDialogs::Kind;

std::string Text(const QLabel* label) {
  return label->text().toStdString();
}

// The texts of the labels that show, in their order.
std::vector<std::string> Shown(const std::vector<QLabel*>& labels) {
  std::vector<std::string> texts;
  for (const QLabel* label : labels)
    if (!label->isHidden()) texts.push_back(Text(label));
  return texts;
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
  // under a comma locale: numbers keep their point. The altitude is the
  // one the windows show, within -1000..10000 m.
  MeasureTicks(1);
  EXPECT_TRUE(chart->lb_rec->isHidden()) << "blinks off for each row";
  EXPECT_TRUE(chart->timer_rec->isActive());
  chart->OnTimer();
  EXPECT_FALSE(chart->lb_rec->isHidden());
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  Sample sample;
  sample.time = clock.Now();
  sample.good = true;
  sample.d1 = 16000;
  sample.d2 = 27000;
  sample.pressure = 1013.254;
  sample.temperature = 21.5;
  sample.altitude = 12345.6;
  chart->data_log.OnSample(sample);
  sample.good = false;  // a failed sample is no row
  chart->data_log.OnSample(sample);
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
  EXPECT_EQ(second_row.substr(19), ";16000;27000;1013.25;21.50;10000.00\n");

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
  EXPECT_EQ(ErrorTexts(dialogs), std::vector<std::string>{"Error : Unable to open output file " +
                                                          folder + ": No such file or directory"});
  expect_idle();

  // A full disk: the error shows once, logging ends, ticks go on quietly.
  dialogs.file_answers.push_back("/dev/full");
  dialogs.confirm_answers.push_back(true);
  chart->Storesamplestofile1Click();
  MeasureTicks(3);
  EXPECT_EQ(ErrorTexts(dialogs).back(),
            "Error : Unable to write output file /dev/full: No space left on device");
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
  EXPECT_EQ(ErrorTexts(dialogs),
            std::vector<std::string>{"Error : Unable to write output file " +
                                     PathOf("log.dat").toStdString() + ": File too large"});
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

// A disk that fills while logging: the log ends with the reason, and its box
// comes once the tick is over, with the timer running behind it. The
// record and the windows go on: each of the next 30 ticks is a good sample,
// in the record at its own time.
TEST_F(ChartTest, ALogOnADiskThatFillsHoldsUpNoSample) {
  RunDetection();
  TWchart* chart = Chart();
  BeginLog(chart, dialogs, PathOf("log.dat"));
  MeasureTicks(3);
  int rows_written = 0;
  chart->data_log.write_call = [&rows_written](int, const void*, size_t) -> ssize_t {
    ++rows_written;
    errno = ENOSPC;
    return -1;
  };
  bool in_tick = false;
  std::vector<bool> box_in_tick, timer_behind_box;
  dialogs.on_call = [&](const ScriptedDialogs::Call& call) {
    if (call.kind != Kind::Error) return;
    box_in_tick.push_back(in_tick);
    timer_behind_box.push_back(Program().Wmain->Timer1->isActive());
  };
  const std::time_t first = clock.Now() + 1;
  std::vector<std::time_t> ticks;
  for (int tick = 0; tick < 30; ++tick) {
    clock.AdvanceSeconds(1);
    in_tick = true;
    Program().Wmain->OnTimer();
    in_tick = false;
    const Sample& last = Program().station->Last();
    EXPECT_TRUE(last.good);
    if (ticks.empty() || last.time > ticks.back()) ticks.push_back(last.time);
    ShowLaterBoxes();
  }
  dialogs.on_call = nullptr;
  EXPECT_EQ(rows_written, 1) << "one try, then logging is over";
  EXPECT_EQ(ErrorTexts(dialogs), std::vector<std::string>{"Error : Unable to write output file " +
                                                          PathOf("log.dat").toStdString() +
                                                          ": No space left on device"});
  EXPECT_EQ(box_in_tick, std::vector<bool>{false});
  EXPECT_EQ(timer_behind_box, std::vector<bool>{true});
  EXPECT_FALSE(chart->IsLogging());
  EXPECT_TRUE(chart->Storesamplestofile1->isEnabled());
  EXPECT_TRUE(chart->lb_rec->isHidden());

  ASSERT_EQ(ticks.size(), 30u) << "a sample of its own each tick";
  std::vector<std::time_t> recorded;
  for (const TarchiveSample& s : Program().archive->Samples(first, ticks.back() + 1))
    recorded.push_back(s.time);
  EXPECT_EQ(recorded, ticks);
  EXPECT_EQ(chart->pressure_plot->TimeAt(chart->pressure_plot->Count() - 1),
            static_cast<double>(ticks.back()));
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
      for (TWchart* chart : {hidden, &shown}) chart->AddMeasurement(p, 20 + i % 5, 100 + i);
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

  // Minimised, it draws nothing either; shown again, it draws what it
  // would have drawn all along.
  hidden->showMinimized();
  const QImage minimised = hidden->pressure_plot->GetBitmap().copy();
  feed(700, 720);
  EXPECT_EQ(hidden->pressure_plot->GetBitmap(), minimised) << "nothing drawn while minimised";
  EXPECT_TRUE(hidden->temperature_plot->NeedsRedraw());
  hidden->showNormal();
  EXPECT_EQ(hidden->grab().toImage(), shown.grab().toImage());
  EXPECT_EQ(hidden->pressure_plot->GetBitmap(), shown.pressure_plot->GetBitmap());

  // Values 1000 .. 1012 give these labels from top to bottom: round
  // values (once 1012.00, 1008.00, 1004.00 and 1000.00, the range in thirds).
  EXPECT_EQ(Shown(hidden->lb_pvalue), (std::vector<std::string>{"1010", "1005", "1000"}));

  // Samples that arrive in the altitude view extend the pressure plot too;
  // back in the pressure view it shows the whole history.
  hidden->AltitudeTemperature1Click();
  EXPECT_TRUE(hidden->pressure_plot->isHidden());
  EXPECT_EQ(Text(hidden->lb_p), "Chart of altitude vs time");
  EXPECT_EQ(Text(hidden->lb_press), "Altitude [m]");
  shown.AltitudeTemperature1Click();
  EXPECT_EQ(hidden->altitude_plot->GetBitmap(), shown.altitude_plot->GetBitmap());
  shown.PressureTemperature1Click();
  feed(720, 760);
  shown.AddMeasurement(1030, 20, 0);
  hidden->AddMeasurement(1030, 20, 0);
  EXPECT_EQ(Shown(hidden->lb_pvalue).front(), "800") << "altitude labels while in that view";
  hidden->PressureTemperature1Click();
  EXPECT_EQ(Text(hidden->lb_p), "Chart of pressure vs time");
  EXPECT_EQ(Shown(hidden->lb_pvalue), (std::vector<std::string>{"1030", "1020", "1010", "1000"}));
  EXPECT_EQ(hidden->pressure_plot->Count(), 761);
  EXPECT_EQ(hidden->pressure_plot->GetBitmap(), shown.pressure_plot->GetBitmap());
  EXPECT_EQ(Shown(hidden->lb_ptime), Shown(shown.lb_ptime));
  EXPECT_FALSE(Shown(hidden->lb_ptime).empty());
}

// Each tick of a plot has its label, beside or under its grid line, and
// reads a round value (1, 2 or 5 times a power of ten apart) or a whole
// minute of the clock.
void ExpectRoundTicks(const Tplot_time* plot, const std::vector<QLabel*>& values,
                      const std::vector<QLabel*>& times) {
  const QImage& image = plot->GetBitmap();
  ASSERT_EQ(image.size(), plot->size());
  // A grid line's pixel, or the curve's where it runs over the line.
  auto grey = [&](int x, int y) {
    const QRgb c = image.pixel(x, y) & 0xFFFFFF;
    return c == 0x808080 || c == 0xFFFF00;
  };

  const std::vector<Tplot_time::Tick> ticks = plot->ValueTicks();
  ASSERT_GE(ticks.size(), 2u);
  ASSERT_EQ(Shown(values).size(), ticks.size());
  const double step = ticks[0].at - ticks[1].at;
  const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  EXPECT_TRUE(std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 ||
              std::abs(mantissa - 5) < 1e-6)
      << step;
  for (size_t i = 0; i < ticks.size(); ++i) {
    EXPECT_NEAR(std::remainder(ticks[i].at, step), 0.0, step * 1e-6);
    EXPECT_EQ(values[i]->geometry().center().y(), plot->y() + ticks[i].pixel);
    EXPECT_GE(values[i]->geometry().right(), plot->x() - 10);
    int grid = 0;
    for (int x = 0; x < image.width(); ++x) grid += grey(x, ticks[i].pixel);
    EXPECT_GT(grid, image.width() * 9 / 10) << "grid line at row " << ticks[i].pixel;
  }

  const std::vector<Tplot_time::Tick> when = plot->TimeTicks();
  ASSERT_GE(when.size(), 2u);
  ASSERT_EQ(Shown(times).size(), when.size());
  for (size_t i = 0; i < when.size(); ++i) {
    EXPECT_EQ(static_cast<long long>(when[i].at) % 60, 0);
    EXPECT_NE(Text(times[i]).find(":00 "), std::string::npos) << Text(times[i]);
    const QRect box = times[i]->geometry();
    EXPECT_TRUE(box.left() <= plot->x() + when[i].pixel && plot->x() + when[i].pixel <= box.right())
        << Text(times[i]);
    int grid = 0;
    for (int y = 0; y < image.height(); ++y) grid += grey(when[i].pixel, y);
    EXPECT_GT(grid, image.height() * 9 / 10) << "grid line at column " << when[i].pixel;
  }
}

// What a chart's labels show and where: each label's text and place, in the
// order of the four groups.
std::vector<std::pair<std::string, QRect>> Labels(const TWchart* chart) {
  std::vector<std::pair<std::string, QRect>> all;
  for (const auto* group :
       {&chart->lb_pvalue, &chart->lb_ptime, &chart->lb_tvalue, &chart->lb_ttime}) {
    for (const QLabel* label : *group)
      all.emplace_back(label->isHidden() ? "(hidden)" : Text(label), label->geometry());
    all.emplace_back("--", QRect());
  }
  return all;
}

// The time labels shown under a plot read its time ticks, one by one.
void ExpectTimesOfTicks(const Tplot_time* plot, const std::vector<QLabel*>& labels) {
  const std::vector<Tplot_time::Tick> ticks = plot->TimeTicks();
  ASSERT_FALSE(ticks.empty());
  const std::vector<std::string> shown = Shown(labels);
  ASSERT_EQ(shown.size(), ticks.size());
  for (size_t i = 0; i < ticks.size(); ++i)
    EXPECT_EQ(QString::fromStdString(shown[i]).replace('\n', ' ').trimmed(),
              TWchart::FormatTimeLabel(ticks[i].at).trimmed());
}

// The program's samples reach a hidden chart without touching its labels;
// shown, the chart's labels read at once what its plots' ticks say, follow
// them while it shows, and wait again once it is hidden.
TEST_F(ChartTest, HiddenChartLeavesItsLabelsUntilItShows) {
  clock.SetNow(982665895);  // 10:44:55
  RunDetection();
  TWchart* chart = Chart();
  ASSERT_TRUE(chart->isHidden());
  auto expect_up_to_date = [&] {
    ExpectRoundTicks(chart->pressure_plot, chart->lb_pvalue, chart->lb_ptime);
    ExpectRoundTicks(chart->temperature_plot, chart->lb_tvalue, chart->lb_ttime);
    ExpectTimesOfTicks(chart->pressure_plot, chart->lb_ptime);
    ExpectTimesOfTicks(chart->temperature_plot, chart->lb_ttime);
  };

  const auto before = Labels(chart);
  MeasureTicks(300);
  EXPECT_EQ(Labels(chart), before) << "labels set while hidden";

  Program().Wmain->ViewChart1Click();
  ASSERT_TRUE(chart->isVisible());
  QCoreApplication::processEvents();
  expect_up_to_date();
  MeasureTicks(240);  // a new tick a minute or two later
  QCoreApplication::processEvents();
  expect_up_to_date();

  chart->Hide1Click();
  const auto hidden = Labels(chart);
  MeasureTicks(420);
  EXPECT_EQ(Labels(chart), hidden);
  Program().Wmain->ViewChart1Click();
  QCoreApplication::processEvents();
  expect_up_to_date();
  EXPECT_NE(Labels(chart), hidden);
}

// Fifteen minutes of the program's own samples: the ticks of both charts
// fall on round values and whole minutes (they once divided the range and
// the history in thirds: 974.18, 974.10, 974.01, 973.92 and 02:04:13,
// 02:04:34). Resized, the window's plots take the room they get, the ticks
// follow, and the size comes back in the next window.
TEST_F(ChartTest, TicksOnRoundValuesAndMinutesAndTheWindowResizes) {
  RunDetection();
  TWchart* chart = Chart();
  Program().Wmain->ViewChart1Click();
  ASSERT_TRUE(chart->isVisible());
  EXPECT_EQ(chart->client->size(), QSize(654, 522));
  clock.SetNow(982665895);  // 10:44:55
  chart->Button1Click();
  MeasureTicks(900);
  QCoreApplication::processEvents();
  ExpectRoundTicks(chart->pressure_plot, chart->lb_pvalue, chart->lb_ptime);
  ExpectRoundTicks(chart->temperature_plot, chart->lb_tvalue, chart->lb_ttime);

  chart->resize(1000, 760);
  QCoreApplication::processEvents();
  EXPECT_EQ(chart->pressure_plot->width(), chart->client->width() - 117);
  EXPECT_EQ(chart->temperature_plot->height(), (chart->client->height() - 40) / 2 - 64);
  EXPECT_GT(chart->pressure_plot->TimeTicks().size(), 5u) << "more room, more ticks";
  ExpectRoundTicks(chart->pressure_plot, chart->lb_pvalue, chart->lb_ptime);
  ExpectRoundTicks(chart->temperature_plot, chart->lb_tvalue, chart->lb_ttime);
  EXPECT_EQ(chart->Button1->geometry().bottom(), chart->client->height() - 5);

  // Never smaller than its least size; the size is kept once it hides.
  chart->resize(100, 100);
  EXPECT_GE(chart->client->width(), TWchart::kLeastWidth);
  EXPECT_GE(chart->client->height(), TWchart::kLeastHeight);
  chart->resize(900, 700);
  chart->Hide1Click();
  const std::string ini = ReadFile(PathOf("barometer.ini"));
  EXPECT_EQ(ValueOf(ini, "chart_width"), "900") << ini;
  EXPECT_EQ(ValueOf(ini, "chart_height"), "700");
  TWchart next;
  EXPECT_EQ(next.size(), QSize(900, 700));
}

// The time labels, 90 pixels wide, at most one per 100 columns: the last
// one, pushed left by the panel's edge, once overlapped the one before.
TEST(TimeLabels, NoneOverlapsTheOneBefore) {
  using Places = std::vector<std::pair<size_t, int>>;
  auto place = [](const std::vector<int>& centres, int panel_width) {
    Places kept;
    for (const TWchart::TimeLabelPlace& p : TWchart::PlaceTimeLabels(centres, panel_width, 90))
      kept.emplace_back(p.tick, p.left);
    return kept;
  };
  EXPECT_EQ(place({196, 296, 396}, 640), (Places{{0, 151}, {1, 251}, {2, 351}}));
  // The last tick 20 pixels from the edge: its label would stand at 548, 52
  // pixels onto the one before; it is left out.
  EXPECT_EQ(place({196, 396, 520, 620}, 640), (Places{{0, 151}, {1, 351}, {2, 475}}));
  // Far enough from the one before, it stays, pushed inside the panel.
  EXPECT_EQ(place({196, 396, 630}, 640), (Places{{0, 151}, {1, 351}, {2, 548}}));
  // The first one at the left edge likewise.
  EXPECT_EQ(place({10, 60, 200}, 640), (Places{{0, 2}, {2, 155}}));
  EXPECT_TRUE(place({}, 640).empty());
  // A panel narrower than a label: one label.
  EXPECT_EQ(place({20, 40}, 50), (Places{{0, 2}}));
}

// Across a range of widths and histories, the shown time labels of both
// plots stand inside their panel and apart.
TEST_F(ChartTest, TimeLabelsNeverOverlapAtAnyWidth) {
  RunDetection();
  TWchart* chart = Chart();
  Program().Wmain->ViewChart1Click();
  clock.SetNow(982665895);
  chart->Button1Click();
  for (int round = 0; round < 3; ++round) {
    MeasureTicks(round == 0 ? 700 : 173);
    for (int width = 480; width <= 1500; width += 17) {
      chart->resize(width, 600);
      QCoreApplication::processEvents();
      for (const std::vector<QLabel*>* labels : {&chart->lb_ptime, &chart->lb_ttime}) {
        const QLabel* before = nullptr;
        for (const QLabel* label : *labels) {
          if (label->isHidden()) continue;
          const QRect at = label->geometry();
          EXPECT_GE(at.left(), 0) << width;
          EXPECT_LE(at.right(), label->parentWidget()->width()) << width;
          if (before != nullptr) {
            ASSERT_GT(at.left(), before->geometry().right())
                << "width " << width << ": " << Text(before) << " and " << Text(label);
          }
          before = label;
        }
      }
    }
  }
}

// The charts as a picture: a PNG with the pixels the window shows, an SVG
// that parses and holds both curves as lines, the clipboard, and a printed
// landscape page (a PDF read back through pdftoppm and pdftotext) with the
// navy plots, their yellow curves and the header line.
TEST_F(ChartTest, PictureSavedAsPngAndSvgCopiedAndPrintedHoldsTheCurves) {
  RunDetection();
  TWchart* chart = Chart();
  Program().Wmain->ViewChart1Click();
  clock.SetNow(982665895);  // 10:44:55
  chart->Button1Click();
  MeasureTicks(120);
  QCoreApplication::processEvents();
  const QRect area = chart->Panel2->geometry().united(chart->Panel1->geometry());

  dialogs.file_answers = {PathOf("chart.png").toStdString()};
  chart->Savepicture1Click();
  ASSERT_EQ(ErrorCount(), 0);
  EXPECT_EQ(dialogs.calls.back().title, "Save picture");
  EXPECT_EQ(dialogs.calls.back().extensions, "png svg");
  QImage png(PathOf("chart.png"));
  ASSERT_EQ(png.size(), area.size() * chart->devicePixelRatioF());
  for (Tplot_time* plot : {chart->pressure_plot, chart->temperature_plot}) {
    const QPoint at = plot->mapTo(chart->client, QPoint(0, 0)) - area.topLeft();
    const QImage& shown = plot->GetBitmap();
    for (int y = 0; y < plot->height(); y += 3)
      for (int x = 0; x < plot->width(); x += 3)
        ASSERT_EQ(png.pixel(at.x() + x, at.y() + y), shown.pixel(x, y)) << x << "," << y;
  }
  chart->Copy1Click();
  EXPECT_EQ(QGuiApplication::clipboard()->image().size(), png.size());

  dialogs.file_answers = {PathOf("chart.svg").toStdString()};
  chart->Savepicture1Click();
  ASSERT_EQ(ErrorCount(), 0);
  QFile file(PathOf("chart.svg"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&file);
  int curves = 0;
  bool title = false;
  QString stroke;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement) {
      if (xml.attributes().hasAttribute("stroke"))
        stroke = xml.attributes().value("stroke").toString();
      curves += xml.name() == QLatin1String("polyline") &&
                stroke.compare("#ffff00", Qt::CaseInsensitive) == 0;
    } else if (xml.isCharacters() && xml.text().toString().contains("Chart of pressure vs time")) {
      title = true;
    }
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(curves, 2);
  EXPECT_TRUE(title);
  file.seek(0);
  EXPECT_FALSE(file.readAll().contains("<image")) << "a plot went in as pixels";

  const QString pdf = PathOf("chart.pdf");
  chart->picture.choose_printer = [&](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return true;
  };
  chart->Print1Click();
  EXPECT_EQ(ErrorCount(), 0);
  ASSERT_GT(QFileInfo(pdf).size(), 0);
  // Lines and text, not the panels as pictures at the printer's resolution
  // (4.9 MB at 1,200 dpi).
  EXPECT_LT(QFileInfo(pdf).size(), 1 << 20) << "bytes";
  const PrintedPage page = RenderPrintedPage(pdf, PathOf("page"));
  if (!page.rendered) GTEST_SKIP() << "pdftoppm is not installed (poppler-utils)";
  EXPECT_GT(page.width, page.height);
  EXPECT_GT(page.navy, page.width * page.height / 4) << "fitted to the page";
  EXPECT_GT(page.yellow, 100);
  QProcess pdftotext;
  pdftotext.start("pdftotext", {pdf, "-"});
  ASSERT_TRUE(pdftotext.waitForFinished(60000));
  const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
  EXPECT_TRUE(text.contains("Data recorder, 2001-02-20 10:44:5")) << text.toStdString();
  // The labels went onto the page as text.
  EXPECT_TRUE(text.contains(Shown(chart->lb_ptime).front().substr(0, 6).c_str()))
      << text.toStdString();
  EXPECT_TRUE(text.contains(
      "Present value: " +
      FormatFixed(chart->pressure_plot->ValueAt(chart->pressure_plot->Count() - 1), 2) + " mbar"))
      << text.toStdString();
}

TEST_F(ChartTest, TimeLabelsShowLocalTimeWithoutWeekday) {
  EXPECT_EQ(TWchart::FormatTimeLabel(982665895.7).toStdString(), "Feb 20 10:44:55 2001\n");
  EXPECT_EQ(TWchart::FormatTimeLabel(0).toStdString(), "Jan 01 00:00:00 1970\n");
  EXPECT_EQ(TWchart::FormatTimeLabel(1e300).toStdString(), "");
  EXPECT_EQ(TWchart::FormatTimeLabel(std::nan("")).toStdString(), "");
  // Before the first sample there is no time to show (the labels once
  // showed calendar second 0).
  EXPECT_TRUE(Shown(Chart()->lb_ttime).empty());
  EXPECT_TRUE(Shown(Chart()->lb_ptime).empty());
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
  EXPECT_EQ(Shown(chart->lb_pvalue),
            (std::vector<std::string>{"1020", "1015", "1010", "1005", "1000"}));
  EXPECT_EQ(ErrorCount(), 2);
}

}  // namespace
