// The barograph on the whole program in virtual time: its columns against
// the recorded samples across a gap, following new samples, moving through
// the record, the 3-hour tendency of traces built for each characteristic,
// and the export of the shown range.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "archive/Tarchive.h"
#include "atmosphere/Tendency.h"
#include "components/Client_area.h"
#include "components/Number_text.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "support_program.h"
#include "windows/Barograph_plot.h"
#include "windows/Tbarograph.h"

namespace {

using Column = Tbarograph_columns::Column;

class BarographTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    StartMeasuringProgram();
    barograph = Program().Wbarograph;
    ASSERT_NE(barograph, nullptr);
  }
  // Ticks `step` seconds apart for `seconds`; each tick takes a sample.
  void Run(int seconds, int step) {
    for (int s = 0; s < seconds; s += step) {
      clock.AdvanceSeconds(step);
      Program().Wmain->OnTimer();
    }
  }
  // The columns of the shown range summed up from the recorded samples.
  std::vector<Column> ColumnsFromSamples() const {
    const Tbarograph_columns& c = barograph->columns;
    std::vector<Column> expected(static_cast<size_t>(c.Count()));
    for (const TarchiveSample& s : Program().archive->Samples(c.Start(), c.End())) {
      // A sample counts in its minute's column.
      Column& e = expected[static_cast<size_t>(c.ColumnOf(s.time - s.time % 60))];
      const double p = s.sea_level_pressure, t = s.temperature;
      if (e.count == 0) e = {0, p, p, 0, t, t, 0};
      e.p_min = std::min(e.p_min, p), e.p_max = std::max(e.p_max, p);
      e.t_min = std::min(e.t_min, t), e.t_max = std::max(e.t_max, t);
      e.p_sum += p, e.t_sum += t, ++e.count;
    }
    return expected;
  }
  static void ExpectSameColumns(const Tbarograph_columns& shown,
                                const std::vector<Column>& expected) {
    ASSERT_EQ(static_cast<size_t>(shown.Count()), expected.size());
    for (int i = 0; i < shown.Count(); ++i) {
      const Column& a = shown[i];
      const Column& e = expected[static_cast<size_t>(i)];
      ASSERT_EQ(a.count, e.count) << "column " << i;
      if (a.count == 0) continue;
      ASSERT_EQ(a.p_min, e.p_min) << i;
      ASSERT_EQ(a.p_max, e.p_max) << i;
      ASSERT_EQ(a.t_min, e.t_min) << i;
      ASSERT_EQ(a.t_max, e.t_max) << i;
      ASSERT_NEAR(a.PressureMean(), e.PressureMean(), 1e-6) << i;
    }
  }
  std::string Text(const QLabel* label) const { return label->text().toStdString(); }

  TWbarograph* barograph = nullptr;
};

bool IsWave(const QImage& image, int x, int y) {
  return image.pixelColor(x, y) == Tbarograph_plot::kWaveColor;
}

}  // namespace

TEST_F(BarographTest, ADayWithAGapShowsEverySampleInItsColumnAndTheGapEmpty) {
  // 14 hours, 3 hours with the module unplugged, 7 hours: a sample every 20 s.
  Run(14 * 3600, 20);
  const std::time_t gap_from = clock.Now();
  module.SetUnplugged(true);
  Run(3 * 3600, 20);
  module.SetUnplugged(false);
  const std::time_t gap_to = clock.Now();
  Run(7 * 3600, 20);

  // Opened from the main menu, it reads the last 24 hours from the record.
  Program().Wmain->ViewBarograph1Click();
  ASSERT_TRUE(barograph->isVisible());
  const Tbarograph_columns& columns = barograph->columns;
  EXPECT_EQ(columns.Span(), 86400);
  EXPECT_EQ(columns.ColumnOf(clock.Now()), barograph->columns.Count() - 1);
  ExpectSameColumns(columns, ColumnsFromSamples());

  // The gap is empty in the columns and in the picture; a column with
  // samples is drawn from its greatest to its least value.
  const QImage& image = barograph->pressure_plot->GetBitmap();
  const QRect plot = barograph->pressure_plot->PlotRect();
  int empty = 0;
  for (int i = 0; i < barograph->columns.Count(); ++i) {
    const Column& c = columns[i];
    const std::time_t t = columns.TimeOf(i);
    if (t > gap_from + 120 && t + columns.ColumnSeconds() < gap_to) {
      ++empty;
      EXPECT_EQ(c.count, 0) << i;
      for (int y = plot.top(); y <= plot.bottom(); ++y)
        ASSERT_FALSE(IsWave(image, plot.left() + i, y)) << "column " << i << " row " << y;
    } else if (c.count > 0) {
      const Tbarograph_plot* p = barograph->pressure_plot;
      EXPECT_TRUE(IsWave(image, plot.left() + i, plot.top() + p->RowOf(c.p_max))) << i;
      EXPECT_TRUE(IsWave(image, plot.left() + i, plot.top() + p->RowOf(c.p_min))) << i;
    }
  }
  EXPECT_GE(empty, 3 * 30 - 2);

  // Shown, it follows each new sample; what it built is what the record
  // holds.
  Run(600, 20);
  EXPECT_EQ(columns.ColumnOf(clock.Now()), barograph->columns.Count() - 1);
  ExpectSameColumns(columns, ColumnsFromSamples());
  EXPECT_NE(Text(barograph->lb_now).find(FormatFixed(Program().Wmain->p_sea, 2).toStdString()),
            std::string::npos);

  // Back by one width, forward again, and the 30 days of the whole record.
  const std::time_t end = columns.End();
  barograph->bt_backClick();
  EXPECT_FALSE(barograph->following);
  EXPECT_EQ(columns.End(), end - 86400);
  EXPECT_TRUE(barograph->bt_forward->isEnabled());
  ExpectSameColumns(columns, ColumnsFromSamples());
  barograph->bt_forwardClick();
  EXPECT_TRUE(barograph->following);
  EXPECT_FALSE(barograph->bt_now->isEnabled());
  barograph->SpanClick(3);
  EXPECT_EQ(columns.ColumnSeconds(), 3600);
  ExpectSameColumns(columns, ColumnsFromSamples());

  // The mouse over a column reads its time and values.
  barograph->ShowCursor(barograph->columns.Count() - 1);
  EXPECT_NE(Text(barograph->lb_cursor).find(" mbar"), std::string::npos);

  // At ratio 2 every line of the plot area is two device pixels wide and
  // high, in the colours of ratio 1 and no other.
  auto colours = [&](const QImage& picture, int ratio) {
    std::set<QRgb> found;
    for (int y = plot.top() * ratio; y < (plot.bottom() + 1) * ratio; ++y)
      for (int x = plot.left() * ratio; x < (plot.right() + 1) * ratio; ++x)
        found.insert(picture.pixel(x, y));
    return found;
  };
  const std::set<QRgb> at_one = colours(image, 1);
  barograph->pressure_plot->SetPixelRatio(2);
  const QImage& sharp = barograph->pressure_plot->GetBitmap();
  ASSERT_EQ(sharp.width(), barograph->pressure_plot->width() * 2);
  EXPECT_EQ(colours(sharp, 2), at_one);
  for (int y = plot.top() * 2; y < (plot.bottom() + 1) * 2; y += 2)
    for (int x = plot.left() * 2; x < (plot.right() + 1) * 2; x += 2) {
      const QRgb c = sharp.pixel(x, y);
      ASSERT_TRUE(c == sharp.pixel(x + 1, y) && c == sharp.pixel(x, y + 1) &&
                  c == sharp.pixel(x + 1, y + 1))
          << x << "," << y;
    }
}

TEST_F(BarographTest, TheTendencyOfATraceBuiltForEachCharacteristic) {
  // One sample a minute, at a fixed local pressure that the trace sets.
  std::time_t minute = (clock.Now() / 60 + 1) * 60;
  double p = 990.0;
  auto sample = [&](double pressure) {
    module.SetFixedConditions(pressure, 15);
    clock.SetNow(minute + 5);
    Program().Wmain->OnTimer();
    minute += 60;
  };
  // A trace: the change over the first 90 minutes, then over the last 90.
  auto trace = [&](double first, double second) {
    const double from = p;
    for (int m = 0; m <= 180; ++m) {
      p = m <= 90 ? from + first * m / 90 : from + first + second * (m - 90) / 90;
      sample(p);
    }
  };
  sample(p);
  barograph->UpdateTendency();
  EXPECT_NE(Text(barograph->lb_tendency).find("--  (less than 3 hours of record"),
            std::string::npos)
      << Text(barograph->lb_tendency);

  // The change is read to the tenth the module resolves.
  const struct {
    double first, second;
    int code;
  } traces[] = {{1.5, -0.6, 0}, {1.2, 0.3, 1},   {0.8, 0.9, 2},   {0.0, 1.0, 3}, {0.0, 0.0, 4},
                {-1.5, 0.6, 5}, {-1.2, -0.3, 6}, {-0.8, -0.9, 7}, {0.0, -1.0, 8}};
  for (const auto& t : traces) {
    trace(t.first, t.second);
    barograph->UpdateTendency();
    const std::string text = Text(barograph->lb_tendency);
    const std::string words = "    " + std::to_string(t.code) + ": " + TendencyWords(t.code);
    ASSERT_EQ(text.rfind("3-hour tendency: ", 0), 0u) << text;
    EXPECT_NEAR(std::stod(text.substr(17)), t.first + t.second, 0.15) << text;
    EXPECT_EQ(text.substr(text.size() - std::min(text.size(), words.size())), words) << text;
  }

  // A gap three hours ago: no change, and why.
  module.SetUnplugged(true);
  for (int m = 0; m < 30; ++m) sample(p);
  module.SetUnplugged(false);
  for (int m = 0; m < 165; ++m) sample(p);
  barograph->UpdateTendency();
  EXPECT_NE(Text(barograph->lb_tendency).find("--  (no record around"), std::string::npos)
      << Text(barograph->lb_tendency);
}

TEST_F(BarographTest, ExportWritesTheMinutesOfTheShownRangeWithPointsInACommaLocale) {
  Run(1200, 20);
  Program().Wmain->ViewBarograph1Click();
  const char* previous_tz = std::getenv("TZ");
  const std::string saved_tz = previous_tz ? previous_tz : "";
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  const std::string previous_locale = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
      << "locale de_DE.UTF-8 missing (./test generates it)";

  const std::string path = PathOf("pressure.csv").toStdString();
  dialogs.file_answers.push_back(path);
  barograph->Exportshownrange1Click();
  // A second export over the file asks first; No leaves it as it is.
  const std::string written = ReadFile(PathOf("pressure.csv"));
  dialogs.file_answers.push_back(path);
  dialogs.confirm_answers.push_back(false);
  barograph->Exportshownrange1Click();

  std::setlocale(LC_ALL, previous_locale.c_str());
  if (previous_tz)
    setenv("TZ", saved_tz.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();

  EXPECT_EQ(ErrorCount(), 0);
  EXPECT_EQ(ReadFile(PathOf("pressure.csv")), written);
  std::istringstream lines(written);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line,
            "time,sea_level_pressure_mean,sea_level_pressure_min,sea_level_pressure_max,"
            "temperature_mean,temperature_min,temperature_max");
  const std::vector<TarchiveMinute> minutes =
      Program().archive->Minutes(barograph->columns.Start(), barograph->columns.End());
  ASSERT_GE(minutes.size(), 20u);
  size_t row = 0;
  for (; std::getline(lines, line); ++row) {
    ASSERT_LT(row, minutes.size());
    const TarchiveMinute& m = minutes[row];
    // The virtual clock starts in November: Berlin is an hour ahead of UTC.
    std::tm utc{};
    const std::time_t local = m.time + 3600;
    gmtime_r(&local, &utc);
    char time[40];
    std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%S+01:00,", &utc);
    ASSERT_EQ(line.rfind(time, 0), 0u) << line;
    std::vector<double> fields;
    std::istringstream rest(line.substr(std::string(time).size()));
    for (std::string field; std::getline(rest, field, ',');) fields.push_back(std::stod(field));
    ASSERT_EQ(fields.size(), 6u) << line;
    const double expected[] = {m.sea_level_pressure_mean, m.sea_level_pressure_min,
                               m.sea_level_pressure_max,  m.temperature_mean,
                               m.temperature_min,         m.temperature_max};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(fields[i], expected[i], 0.005) << line;
  }
  EXPECT_EQ(row, minutes.size());
}

TEST_F(BarographTest, TheRangeEndsAtThePresentMinuteAndCutDaysKeepReadableLabels) {
  Run(3 * 3600, 60);
  Program().Wmain->ViewBarograph1Click();
  const std::vector<QString> weekdays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                         "Thursday", "Friday", "Saturday"};
  auto is_weekday = [&](const QString& text) {
    for (const QString& day : weekdays)
      if (text == day || text == day.left(3) || text == day.left(2)) return true;
    return false;
  };
  // Through a day and a half, every 25 minutes, at each span.
  for (int step = 0; step < 52; ++step) {
    clock.AdvanceSeconds(25 * 60 + 7);
    Program().Wmain->OnTimer();
    for (int span = 0; span < TWbarograph::kSpanCount; ++span) {
      barograph->SpanClick(span);
      const std::time_t now = clock.Now();
      const std::time_t minute = now - now % 60;
      const QString range = barograph->lb_range->text();
      SCOPED_TRACE(range.toStdString());
      ASSERT_TRUE(range.endsWith("to  " + Tbarograph_plot::TimeText(minute)));
      ASSERT_TRUE(range.startsWith(Tbarograph_plot::TimeText(minute - TWbarograph::kSpans[span])));
      // The columns hold the present in their last one.
      ASSERT_EQ(barograph->columns.ColumnOf(now), barograph->columns.Count() - 1);

      // Every weekday under the plot reads as the whole days do: where those
      // are written out, no two-letter stub at an edge.
      const std::vector<QString> labels = barograph->pressure_plot->TimeLabelTexts();
      bool long_names = false, stub = false, month = false;
      for (const QString& text : labels) {
        if (is_weekday(text)) {
          long_names = long_names || text.size() > 3;
          stub = stub || text.size() == 2;
        }
        month = month || text.contains(QRegularExpression("^[A-Z][a-z]+ [0-9]{4}$"));
        ASSERT_FALSE(text.contains(QRegularExpression("^[0-9]{1,2}$")) && span < 3)
            << text.toStdString();
      }
      if (long_names) {
        ASSERT_FALSE(stub);
      }
      // The month view names the months; the others' dates say them.
      ASSERT_EQ(month, span == 3);
    }
  }
  // Away from the present, the range is the columns' own.
  barograph->bt_backClick();
  EXPECT_TRUE(barograph->lb_range->text().endsWith(
      "to  " + Tbarograph_plot::TimeText(barograph->columns.End())));
}

TEST_F(BarographTest, AMinuteAtAWrongAltitudeStaysOutOfTheAutoScaleAndIsMarked) {
  // A day and a half, one sample a minute; one minute at 9166 m, then back.
  TWmain* w = Program().Wmain;
  Run(20 * 3600, 60);
  const double altitude = w->GetParameter(3);
  const std::time_t set_wrong = clock.Now();
  w->SetParameter(3, 9166);
  Run(60, 60);
  const std::time_t mistake = clock.Now();
  const double wrong = w->p_sea;
  ASSERT_GT(wrong, 1500);
  w->SetParameter(3, altitude);
  Run(16 * 3600, 60);
  w->ViewBarograph1Click();
  barograph->SpanClick(1);  // 3 days: some 2200 minutes on record

  const Tbarograph_plot* plot = barograph->pressure_plot;
  EXPECT_FALSE(plot->IsFixedScale());
  EXPECT_LT(plot->ScaleHigh(), 1100);
  EXPECT_GT(plot->ScaleHigh() - plot->ScaleLow(), 5);
  // Marked by one arrow at the top, over its column.
  ASSERT_EQ(plot->OffScaleMarks().size(), 1u);
  const Tbarograph_plot::OffScale mark = plot->OffScaleMarks().front();
  EXPECT_TRUE(mark.above);
  EXPECT_LE(std::abs(mark.column - barograph->columns.ColumnOf(mistake - 30)), 3);
  const QRect area = plot->PlotRect();
  EXPECT_EQ(plot->GetBitmap().pixelColor(area.left() + mark.column, area.top()),
            Tbarograph_plot::kOffScaleColor);
  // Both changes of the altitude are in the record, each a tick over the
  // trace at its column.
  const auto changes = Program().archive->AltitudeChanges(set_wrong, mistake + 1);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].new_altitude, 9166);
  EXPECT_EQ(changes[1].old_altitude, 9166);
  EXPECT_EQ(changes[1].new_altitude, altitude);
  const Tbarograph_columns& c = barograph->columns;
  EXPECT_EQ(plot->Ticks(), (std::vector<int>{c.ColumnOf(set_wrong), c.ColumnOf(mistake)}));
  for (const int tick : plot->Ticks())
    EXPECT_EQ(plot->GetBitmap().pixelColor(area.left() + tick, area.top() + 12),
              Tbarograph_plot::kTickColor);
  // One more, while the barograph is shown, is ticked at once.
  w->SetParameter(3, altitude + 10);
  Run(60, 60);
  ASSERT_EQ(plot->Ticks().size(), 3u);
  EXPECT_EQ(plot->Ticks().back(), c.ColumnOf(clock.Now() - 60));

  // A fixed span, as on a drum barograph's paper, kept for the next start.
  barograph->cb_scaleChange(1);
  EXPECT_TRUE(plot->IsFixedScale());
  EXPECT_EQ(plot->ScaleLow(), TWbarograph::kScales[0][0]);
  EXPECT_EQ(plot->ScaleHigh(), TWbarograph::kScales[0][1]);
  EXPECT_EQ(ErrorCount(), 0);
  const std::string ini = ReadFile(PathOf("barometer.ini"));
  EXPECT_NE(ini.find("barograph_scale\tfixed"), std::string::npos) << ini;
  EXPECT_NE(ini.find("barograph_scale_low\t950"), std::string::npos) << ini;
  {
    // The user's own span from the file is offered and taken.
    Program().ini.SetNumber("barograph_scale_low", 990);
    Program().ini.SetNumber("barograph_scale_high", 1025);
    TWbarograph next;
    EXPECT_TRUE(next.pressure_plot->IsFixedScale());
    EXPECT_EQ(next.cb_scale->currentText(), "990 to 1025 mbar");
    EXPECT_EQ(next.cb_scale->count(), TWbarograph::kScaleCount + 2);
  }
  Program().Wbarograph_alive = true;
  barograph->cb_scaleChange(0);
  EXPECT_FALSE(plot->IsFixedScale());
  EXPECT_NE(ReadFile(PathOf("barometer.ini")).find("barograph_scale\tauto"), std::string::npos);
}

// Resized, the plots take the width and height they get, one column per
// pixel: the columns hold what the record holds and every column of a
// recorded stretch is drawn. Wider than the 24 hours have minutes, each
// minute spreads over the columns its time touches, with no false gap. The
// size comes back in the next window.
TEST_F(BarographTest, ResizedItDrawsOneColumnPerPixelOfItsWidth) {
  Run(26 * 3600, 30);
  Program().Wmain->ViewBarograph1Click();
  const Tbarograph_columns& columns = barograph->columns;
  const Tbarograph_plot* plot = barograph->pressure_plot;
  EXPECT_EQ(columns.Count(), Tbarograph_columns::kDefaultCount);
  auto expect_every_column_drawn = [&] {
    const QImage& image = plot->GetBitmap();
    const QRect area = plot->PlotRect();
    ASSERT_EQ(image.width(), plot->width());
    for (int i = 0; i < columns.Count(); ++i) {
      ASSERT_GT(columns[i].count, 0) << "column " << i << " of " << columns.Count();
      ASSERT_TRUE(IsWave(image, area.left() + i, area.top() + plot->RowOf(columns[i].p_max))) << i;
      ASSERT_TRUE(IsWave(image, area.left() + i, area.top() + plot->RowOf(columns[i].p_min))) << i;
    }
  };

  for (const QSize size : {QSize(1300, 800), QSize(1700, 640), QSize(100, 100)}) {
    SCOPED_TRACE(size.width());
    barograph->resize(size);
    QCoreApplication::processEvents();
    const int width = std::max(barograph->client->width(), TWbarograph::kLeastWidth);
    EXPECT_EQ(columns.Count(), width - 16 - 8 - Tbarograph_plot::kLeft - Tbarograph_plot::kRight);
    EXPECT_EQ(plot->PlotRect().width(), columns.Count());
    EXPECT_EQ(columns.Span(), 86400);
    EXPECT_EQ(columns.ColumnOf(clock.Now()), columns.Count() - 1);
    EXPECT_EQ(barograph->Panel3->geometry().bottom(), barograph->client->height() - 7);
    if (columns.ColumnSeconds() >= 60) ExpectSameColumns(columns, ColumnsFromSamples());
    expect_every_column_drawn();
  }
  EXPECT_GE(barograph->client->width(), TWbarograph::kLeastWidth);
  EXPECT_GE(barograph->client->height(), TWbarograph::kLeastHeight);

  barograph->resize(1300, 800);
  Run(600, 30);  // followed at the new width
  EXPECT_EQ(columns.ColumnOf(clock.Now()), columns.Count() - 1);
  ExpectSameColumns(columns, ColumnsFromSamples());
  EXPECT_GT(plot->PlotRect().height(), 260);
  barograph->Close1Click();
  const std::string ini = ReadFile(PathOf("barometer.ini"));
  EXPECT_EQ(ValueOf(ini, "barograph_width"), "1300") << ini;
  TWbarograph next;
  EXPECT_EQ(next.size(), QSize(1300, 800));
  next.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(next.columns.Count(), columns.Count());
}

TEST_F(BarographTest, ThePictureSavedAsPngAndSvgCopiedAndPrintedHoldsTheTrace) {
  Run(6 * 3600, 30);
  Program().Wmain->ViewBarograph1Click();
  const Tbarograph_plot* plot = barograph->pressure_plot;
  const QRect area = barograph->Panel1->geometry().united(barograph->Panel3->geometry());
  int traced = 0;
  for (int i = 0; i < barograph->columns.Count(); ++i) traced += barograph->columns[i].count > 0;
  ASSERT_GT(traced, 100);

  // PNG, at the plot's pixel density, the same pixels as the window shows.
  dialogs.file_answers = {PathOf("chart.png").toStdString()};
  barograph->Savepicture1Click();
  ASSERT_EQ(ErrorCount(), 0);
  EXPECT_EQ(dialogs.calls.back().title, "Save picture");
  EXPECT_EQ(dialogs.calls.back().extensions, "png svg");
  QImage png(PathOf("chart.png"));
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.size(), area.size() * plot->PixelRatio());
  const QImage& shown = plot->GetBitmap();
  for (int i = 0; i < barograph->columns.Count(); i += 7) {
    const int x = plot->PlotRect().left() + i;
    for (int y = plot->PlotRect().top(); y <= plot->PlotRect().bottom(); y += 3)
      ASSERT_EQ(png.pixel(plot->pos().x() + x, plot->pos().y() + y), shown.pixel(x, y))
          << x << "," << y;
  }

  // SVG: it parses, and the trace is in it as yellow rectangles, one or
  // more per column with values; the texts are text.
  dialogs.file_answers = {PathOf("chart.svg").toStdString()};
  barograph->Savepicture1Click();
  ASSERT_EQ(ErrorCount(), 0);
  QFile file(PathOf("chart.svg"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&file);
  int yellow = 0;
  bool scale_text = false;
  QString fill;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement) {
      if (xml.attributes().hasAttribute("fill")) fill = xml.attributes().value("fill").toString();
      if (xml.name() == QLatin1String("rect") || xml.name() == QLatin1String("path"))
        yellow += fill.compare("#ffff00", Qt::CaseInsensitive) == 0;
    } else if (xml.isCharacters() && xml.text().toString().contains("Sea-level pressure")) {
      scale_text = true;
    }
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_GE(yellow, 1);
  EXPECT_TRUE(scale_text);
  file.seek(0);
  const QByteArray svg = file.readAll();
  EXPECT_FALSE(svg.contains("<image")) << "the plot went in as pixels";
  EXPECT_TRUE(barograph->cb_scale->isVisible());

  // A file that cannot be written says so.
  dialogs.file_answers = {PathOf("no/such/folder/chart.png").toStdString()};
  barograph->Savepicture1Click();
  EXPECT_EQ(ErrorCount(), 1);

  // Copy: the picture on the clipboard.
  barograph->Copy1Click();
  EXPECT_EQ(QGuiApplication::clipboard()->image().size(), png.size());

  // Print, through a PDF file in place of the print dialog, and back into
  // pixels with pdftoppm: a landscape page with the chart's navy plot and
  // its yellow trace on it.
  const QString pdf = PathOf("chart.pdf");
  barograph->picture.choose_printer = [&](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return true;
  };
  barograph->Print1Click();
  EXPECT_EQ(ErrorCount(), 1);
  ASSERT_GT(QFileInfo(pdf).size(), 0);
  EXPECT_LT(QFileInfo(pdf).size(), 1 << 20) << "bytes";
  const PrintedPage page = RenderPrintedPage(pdf, PathOf("page"));
  if (!page.rendered) GTEST_SKIP() << "pdftoppm is not installed (poppler-utils)";
  EXPECT_GT(page.width, page.height);
  // The plot fills much of the page: fitted, not a stamp in a corner.
  EXPECT_GT(page.navy, page.width * page.height / 5);
  EXPECT_GT(page.yellow, 50);
}
