// The reader's units and the station's corrections on the whole program:
// each pressure unit against its exact factor on the main and small
// windows, the chart, its range dialog, the barograph and the export; the
// temperature in deg F; the keys of barometer.ini; a correction shifting
// what is shown, logged and recorded while D1 and D2 stay raw.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "archive/Tarchive.h"
#include "chart/Plot_time.h"
#include "chart/Tchart.h"
#include "chart/Tchart_settings.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "sensor/Tsensor.h"
#include "settings/Tcorrections.h"
#include "support_program.h"
#include "windows/Barograph_plot.h"
#include "windows/Tbarograph.h"
#include "windows/Tsmall.h"

namespace {

std::string Text(const QLabel* label) {
  return label->text().toStdString();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Fields(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
  return fields;
}

class UnitsProgramTest : public ProgramTest {
 protected:
  // One sample a minute for `minutes`.
  void Minutes(int minutes) {
    for (int m = 0; m < minutes; ++m) {
      clock.AdvanceSeconds(60);
      Program().Wmain->OnTimer();
    }
  }
  std::string Exported(const std::string& name) {
    dialogs.file_answers.push_back(PathOf(QString::fromStdString(name)).toStdString());
    Program().Wbarograph->Exportshownrange1Click();
    return ReadFile(PathOf(QString::fromStdString(name)));
  }
};

}  // namespace

TEST_F(UnitsProgramTest, EachUnitReadsItsExactFactorOnEveryWindowAndInTheExport) {
  module.SetFixedConditions(1000, 20);
  StartMeasuringProgram();
  Minutes(150);  // two hourly history entries, a variation, a record
  TWmain* w = Program().Wmain;
  TWsmall* small = Program().Wsmall;
  TWchart* chart = Program().Wchart;
  TWrange* range = Program().Wrange;
  TWbarograph* barograph = Program().Wbarograph;
  w->ViewBarograph1Click();
  ASSERT_FALSE(std::isnan(w->variation_shown));

  const struct {
    const char* name;
    double mbar_per;
    int decimals;
  } units[] = {{"mbar", 1, 2},
               {"hPa", 1, 2},
               {"inHg", 33.8638866667, 3},
               {"mmHg", 1.33322387415, 1},
               {"kPa", 10, 3}};
  ASSERT_EQ(std::size(units), static_cast<size_t>(kPressureUnitCount));
  for (int i = 0; i < kPressureUnitCount; ++i) {
    const auto& u = units[i];
    SCOPED_TRACE(u.name);
    w->PressureUnits1[i]->trigger();
    EXPECT_TRUE(w->PressureUnits1[i]->isChecked());
    auto in = [&u](double mbar, int extra = 0) {
      return FormatFixed(mbar / u.mbar_per, u.decimals + extra).toStdString();
    };
    const std::string name = u.name, bracketed = " [" + name + "]";
    // The main window, its history's variation and the small window.
    EXPECT_EQ(Text(w->lbpressure), in(w->p_local));
    EXPECT_EQ(Text(w->lb_pressure_unit), name);
    EXPECT_EQ(Text(w->lbpresssea), in(w->p_sea));
    EXPECT_EQ(Text(w->lb_sea_unit), name);
    EXPECT_EQ(Text(w->lb_pmax), in(w->p_sea_max) + bracketed);
    EXPECT_EQ(Text(w->lb_pmin), in(w->p_sea_min) + bracketed);
    EXPECT_EQ(Text(w->lb_var), in(w->variation_shown, 1));
    EXPECT_EQ(Text(w->lb_var_unit), "[" + name + "/h]");
    EXPECT_EQ(Text(small->lbpresssea), in(w->p_local) + bracketed);
    // A new sample keeps to the unit.
    Minutes(1);
    EXPECT_EQ(Text(w->lbpresssea), in(w->p_sea));

    // The chart's axis and caption, and the range dialog in the unit: what
    // it is given is taken back to mbar.
    EXPECT_EQ(Text(chart->lb_press), "Pressure" + bracketed);
    // Each tick of the axis reads its value in the unit.
    const std::vector<Tplot_time::Tick> ticks = chart->pressure_plot->ValueTicks();
    ASSERT_FALSE(ticks.empty());
    ASSERT_GE(chart->lb_pvalue.size(), ticks.size());
    if (name != "mbar" && name != "hPa") {
      for (size_t t = 0; t < ticks.size(); ++t)
        EXPECT_EQ(Text(chart->lb_pvalue[t]), in(ticks[t].at));
    }
    EXPECT_EQ(Text(range->lb_pressure_units[0]), "[" + name + "]");
    range->SetPressureAutoscale(false);
    range->ed_ph->setText(QString::fromStdString(in(1010)));
    range->ed_pl->setText(QString::fromStdString(in(990)));
    range->ed_ah->setText("1000");
    range->ed_al->setText("0");
    range->ed_th->setText("30");
    range->ed_tl->setText("10");
    range->bt_okClick();
    // To half the unit's last place.
    const double place = u.mbar_per * 0.5 * std::pow(10.0, -u.decimals) + 1e-9;
    EXPECT_NEAR(chart->pressure_plot->GetRangeYHigh(), 1010, place);
    EXPECT_NEAR(chart->pressure_plot->GetRangeYLow(), 990, place);
    chart->ResetToAutoscale();

    // The barograph and its export: the unit in the header, each minute's
    // means in it.
    EXPECT_EQ(Text(barograph->Label1), "Sea-level pressure" + bracketed);
    EXPECT_NE(Text(barograph->lb_now).find(in(w->p_sea) + " " + name), std::string::npos)
        << Text(barograph->lb_now);
    const std::vector<std::string> lines = Lines(Exported("export_" + name + ".csv"));
    ASSERT_GE(lines.size(), 100u);
    const std::string suffix = name == "mbar" ? "" : "_" + name;
    EXPECT_EQ(lines[0], "time,sea_level_pressure_mean" + suffix + ",sea_level_pressure_min" +
                            suffix + ",sea_level_pressure_max" + suffix +
                            ",temperature_mean,temperature_min,temperature_max");
    const std::vector<TarchiveMinute> minutes =
        Program().archive->Minutes(barograph->columns.Start(), barograph->columns.End());
    ASSERT_EQ(minutes.size() + 1, lines.size());
    const std::vector<std::string> row = Fields(lines[50], ',');
    ASSERT_EQ(row.size(), 7u);
    EXPECT_EQ(row[1], in(minutes[49].sea_level_pressure_mean));
    EXPECT_EQ(row[3], in(minutes[49].sea_level_pressure_max));
    EXPECT_EQ(row[4], FormatFixed(minutes[49].temperature_mean, 2).toStdString());
  }

  // Degrees Fahrenheit on the small window, the chart, the barograph and
  // in the export; the main window shows both as ever.
  w->Fahrenheit1->trigger();
  EXPECT_TRUE(w->Fahrenheit1->isChecked());
  auto fahrenheit = [](double c, int decimals) {
    return FormatFixed(c * 1.8 + 32, decimals).toStdString();
  };
  EXPECT_EQ(Text(small->lbcelsius), fahrenheit(w->t_local, 2) + " [\u00b0F]");
  EXPECT_EQ(Text(chart->Label3), "Temperature [\u00b0F]");
  const std::vector<Tplot_time::Tick> t_ticks = chart->temperature_plot->ValueTicks();
  ASSERT_FALSE(t_ticks.empty());
  EXPECT_EQ(Text(chart->lb_tvalue[0]), fahrenheit(t_ticks[0].at, 1));
  EXPECT_EQ(Text(barograph->Label2), "Temperature [\u00b0F]");
  EXPECT_EQ(Text(w->lbcelsius), FormatFixed(w->t_local, 2).toStdString() + " \u00b0C");
  const std::vector<std::string> lines = Lines(Exported("export_f.csv"));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_NE(lines[0].find(",temperature_mean_F,temperature_min_F,temperature_max_F"),
            std::string::npos);
  const std::vector<TarchiveMinute> minutes =
      Program().archive->Minutes(barograph->columns.Start(), barograph->columns.End());
  EXPECT_EQ(Fields(lines[1], ',')[4], fahrenheit(minutes[0].temperature_mean, 2));

  // Both kept in barometer.ini; the data log and setup.ini stay in mbar.
  const std::string ini = ReadFile(PathOf("barometer.ini"));
  EXPECT_EQ(ValueOf(ini, "pressure_unit"), "kPa");
  EXPECT_EQ(ValueOf(ini, "temperature_unit"), "F");
}

TEST_F(UnitsProgramTest, TheKeysComeBackAtTheNextStartAndABadValueKeepsItsDefault) {
  WriteFile(PathOf("barometer.ini"),
            "pressure_unit\tinHg\ntemperature_unit\tF\npressure_correction\t-2.5\n"
            "temperature_correction\t0.75\nstorm_warning\t0\nstorm_threshold\t6.5\n");
  module.SetFixedConditions(1000, 20);
  StartMeasuringProgram();
  const ReadingSettings& r = Program().readings;
  EXPECT_EQ(r.units.pressure, PressureUnit::InHg);
  EXPECT_EQ(r.units.temperature, TemperatureUnit::Fahrenheit);
  EXPECT_EQ(r.pressure_correction, -2.5);
  EXPECT_EQ(r.temperature_correction, 0.75);
  EXPECT_FALSE(r.storm_warning);
  EXPECT_EQ(r.storm_threshold, 6.5);
  TWmain* w = Program().Wmain;
  EXPECT_TRUE(w->PressureUnits1[2]->isChecked());
  EXPECT_EQ(Text(w->lbpressure), FormatFixed(w->p_local / 33.8638866667, 3).toStdString());
  EXPECT_FALSE(w->storm.Enabled());
  EXPECT_EQ(w->storm.Threshold(), 6.5);
  EndProgramNow();

  WriteFile(PathOf("barometer.ini"),
            "pressure_unit\tbar\ntemperature_unit\tK\npressure_correction\t25\n"
            "temperature_correction\tx\nstorm_warning\t2\nstorm_threshold\t0.5\n");
  dialogs.calls.clear();
  StartProgram();
  RunDetection();
  // One box names every key refused, with its value and why.
  std::vector<std::string> boxes;
  for (const auto& call : dialogs.calls)
    if (call.text.find("barometer.ini were not taken") != std::string::npos)
      boxes.push_back(call.text);
  ASSERT_EQ(boxes.size(), 1u);
  for (const char* key : {"pressure_unit bar", "temperature_unit K", "pressure_correction 25",
                          "temperature_correction x", "storm_warning 2", "storm_threshold 0.5"})
    EXPECT_NE(boxes[0].find(key), std::string::npos) << key << " in " << boxes[0];
  EXPECT_EQ(r.units.pressure, PressureUnit::Mbar);
  EXPECT_EQ(r.units.temperature, TemperatureUnit::Celsius);
  EXPECT_EQ(r.pressure_correction, 0);
  EXPECT_EQ(r.temperature_correction, 0);
  EXPECT_TRUE(r.storm_warning);
  EXPECT_EQ(r.storm_threshold, 4.0);
  EXPECT_EQ(Text(Program().Wmain->lbpressure),
            FormatFixed(Program().Wmain->p_local, 2).toStdString());
}

// A unit chosen in one run is the unit of every pressure and of its caption
// from the first sample of the next, on every window.
TEST_F(UnitsProgramTest, EveryPressureReadsTheChosenUnitAtTheNextStart) {
  module.SetFixedConditions(1000, 20);
  StartMeasuringProgram();
  for (int i = 1; i < kPressureUnitCount; ++i) {
    const PressureUnit unit = kPressureUnits[i];
    const std::string name = PressureUnitText(unit).toStdString();
    const std::string bracketed = " [" + name + "]";
    SCOPED_TRACE(name);
    Program().Wmain->PressureUnits1[i]->trigger();
    Minutes(2);
    EndProgramNow();
    StartProgram();
    RunDetection();
    TWmain* w = Program().Wmain;
    EXPECT_TRUE(w->PressureUnits1[i]->isChecked());
    EXPECT_EQ(Text(w->lbpressure), PressureText(w->p_local, unit).toStdString());
    EXPECT_EQ(Text(w->lb_pressure_unit), name);
    EXPECT_EQ(Text(w->lbpresssea), PressureText(w->p_sea, unit).toStdString());
    EXPECT_EQ(Text(w->lb_sea_unit), name);
    EXPECT_EQ(Text(w->lb_var_unit), "[" + name + "/h]");
    EXPECT_EQ(Text(w->lb_pmax), PressureText(w->p_sea_max, unit).toStdString() + bracketed);
    EXPECT_EQ(Text(Program().Wsmall->lbpresssea),
              PressureText(w->p_local, unit).toStdString() + bracketed);
    EXPECT_EQ(Text(Program().Wchart->lb_press), "Pressure" + bracketed);
    EXPECT_EQ(Text(Program().Wbarograph->Label1), "Sea-level pressure" + bracketed);
  }
}

TEST_F(UnitsProgramTest, ACorrectionShiftsWhatIsShownLoggedAndRecordedWhileTheRawStays) {
  module.SetFixedConditions(1000, 20);
  StartMeasuringProgram();
  TWmain* w = Program().Wmain;
  Tsensor* sensor = Program().sensor;
  dialogs.file_answers.push_back(PathOf("log.dat").toStdString());
  Program().Wchart->Storesamplestofile1Click();
  MeasureTicks(3);
  const double raw_p = sensor->Pressure, raw_t = sensor->Temperature;
  const int32_t d1 = sensor->GetD1(), d2 = sensor->GetD2();
  const double altitude = w->alt_shown;
  const double sea = w->p_sea;

  TWcorrections dialog;
  dialog.OnShow();
  EXPECT_EQ(dialog.ed_pressure->text(), "0.00");
  EXPECT_TRUE(dialog.cb_storm->isChecked());
  EXPECT_EQ(dialog.ed_threshold->text(), "4.0");
  // A field out of its range is named, and nothing changes.
  dialog.ed_pressure->setText("25");
  dialog.bt_okClick();
  ASSERT_EQ(ErrorCount(), 1);
  EXPECT_NE(dialogs.calls.back().text.find("pressure correction"), std::string::npos);
  dialog.ed_pressure->setText("1.5");
  dialog.ed_temperature->setText("-0.5");
  dialog.ed_threshold->setText("abc");
  dialog.bt_okClick();
  ASSERT_EQ(ErrorCount(), 2);
  EXPECT_NE(dialogs.calls.back().text.find("threshold"), std::string::npos);
  EXPECT_EQ(Program().readings.pressure_correction, 0);
  dialog.ed_threshold->setText("5");
  dialog.bt_okClick();
  EXPECT_EQ(ErrorCount(), 2);
  MeasureTicks(3);

  // Shown, reduced and judged corrected; the altitude stays where it was.
  EXPECT_EQ(sensor->Pressure, raw_p);
  EXPECT_EQ(w->p_local, raw_p + 1.5);
  EXPECT_EQ(w->t_local, raw_t - 0.5);
  EXPECT_EQ(Text(w->lbpressure), FormatFixed(raw_p + 1.5, 2).toStdString());
  EXPECT_NEAR(w->p_sea, sea + 1.5, 1e-9);
  EXPECT_NEAR(w->alt_shown, altitude, 0.5);
  EXPECT_EQ(Text(w->lb_d1), std::to_string(d1));
  EXPECT_EQ(Text(w->lb_d2), std::to_string(d2));
  // Logged: corrected values beside the raw D1 and D2.
  const std::vector<std::string> log = Lines(ReadFile(PathOf("log.dat")));
  const std::vector<std::string> last = Fields(log.back(), ';');
  ASSERT_EQ(last.size(), 6u);
  EXPECT_EQ(last[1], std::to_string(d1));
  EXPECT_EQ(last[2], std::to_string(d2));
  EXPECT_EQ(last[3], FormatFixed(raw_p + 1.5, 2).toStdString());
  EXPECT_EQ(last[4], FormatFixed(raw_t - 0.5, 2).toStdString());
  const std::vector<std::string> before = Fields(log[log.size() - 4], ';');
  EXPECT_EQ(before[3], FormatFixed(raw_p, 2).toStdString());
  // Recorded likewise.
  const std::optional<TarchiveSample> recorded = Program().archive->LastSample();
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->d1, d1);
  EXPECT_EQ(recorded->d2, d2);
  EXPECT_NEAR(recorded->pressure, raw_p + 1.5, 1e-9);
  EXPECT_NEAR(recorded->temperature, raw_t - 0.5, 1e-9);
  // Kept in barometer.ini, with the warning's threshold.
  const std::string ini = ReadFile(PathOf("barometer.ini"));
  EXPECT_EQ(ValueOf(ini, "pressure_correction"), "1.5");
  EXPECT_EQ(ValueOf(ini, "temperature_correction"), "-0.5");
  EXPECT_EQ(ValueOf(ini, "storm_threshold"), "5");
  EXPECT_EQ(w->storm.Threshold(), 5);
}

namespace {

// The value a tick label reads, and its places after the point.
double LabelValue(const std::string& text, int& decimals) {
  const size_t point = text.find('.');
  decimals = point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
  return std::stod(text);
}

// True when `step` is 1, 2 or 5 times a power of ten.
bool RoundStep(double step) {
  if (!(step > 0)) return false;
  const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  const double mantissa = step / power;
  for (double m : {1.0, 2.0, 5.0})
    if (std::fabs(mantissa - m) < 1e-6) return true;
  return false;
}

// Labels that read whole multiples of one round step, with at least
// `least_decimals` places; the step in return.
double ExpectRoundLabels(const std::vector<std::string>& labels, int least_decimals) {
  EXPECT_GE(labels.size(), 2u);
  if (labels.size() < 2) return 0;
  std::vector<double> values;
  for (const std::string& text : labels) {
    int decimals = 0;
    values.push_back(LabelValue(text, decimals));
    EXPECT_GE(decimals, least_decimals) << text;
  }
  const double step = std::fabs(values[1] - values[0]);
  EXPECT_TRUE(RoundStep(step)) << labels[0] << " " << labels[1];
  for (size_t i = 0; i < values.size(); ++i) {
    const double k = values[i] / step;
    EXPECT_NEAR(k, std::round(k), 1e-6) << labels[i];
    if (i > 0) {
      EXPECT_NEAR(std::fabs(values[i] - values[i - 1]), step, step * 1e-6) << labels[i];
    }
  }
  return step;
}

std::vector<std::string> Texts(const std::vector<QLabel*>& labels, size_t n) {
  std::vector<std::string> texts;
  for (size_t i = 0; i < n && i < labels.size(); ++i) texts.push_back(Text(labels[i]));
  return texts;
}

std::vector<std::string> Texts(const Tbarograph_plot* plot) {
  std::vector<std::string> texts;
  for (const Tbarograph_plot::ScaleLine& line : plot->ScaleLines())
    texts.push_back(line.text.toStdString());
  return texts;
}

}  // namespace

TEST_F(UnitsProgramTest, InInchesAndFahrenheitTheTicksOfChartAndBarographAreRoundInTheUnit) {
  module.SetFixedConditions(1000, 15);
  StartMeasuringProgram();
  TWmain* w = Program().Wmain;
  TWchart* chart = Program().Wchart;
  TWbarograph* barograph = Program().Wbarograph;
  // Two hours of a rise of 6 mbar and 5 deg C: spans that no round mbar or
  // deg C step maps to a round inHg or deg F one.
  for (int m = 1; m <= 120; ++m) {
    module.SetFixedConditions(1000 + m * 0.05, 15 + m / 24.0);
    Minutes(1);
  }
  w->ViewChart1Click();
  w->ViewBarograph1Click();
  const std::vector<std::string> mbar_chart =
      Texts(chart->lb_pvalue, chart->pressure_plot->ValueTicks().size());
  const std::vector<std::string> mbar_barograph = Texts(barograph->pressure_plot);

  w->PressureUnits1[2]->trigger();  // inHg
  w->Fahrenheit1->trigger();
  Minutes(1);
  // The chart: each label a round inHg (or deg F) at its grid line, with
  // the unit's places.
  const std::vector<Tplot_time::Tick> p_ticks = chart->pressure_plot->ValueTicks();
  const std::vector<std::string> p_labels = Texts(chart->lb_pvalue, p_ticks.size());
  ExpectRoundLabels(p_labels, 3);
  for (size_t i = 0; i < p_ticks.size(); ++i)
    EXPECT_NEAR(p_ticks[i].at / 33.8638866667, std::stod(p_labels[i]), 1e-9);
  const std::vector<Tplot_time::Tick> t_ticks = chart->temperature_plot->ValueTicks();
  const std::vector<std::string> t_labels = Texts(chart->lb_tvalue, t_ticks.size());
  ExpectRoundLabels(t_labels, 1);
  for (size_t i = 0; i < t_ticks.size(); ++i)
    EXPECT_NEAR(t_ticks[i].at * 1.8 + 32, std::stod(t_labels[i]), 1e-9);
  // The barograph's scales likewise.
  ExpectRoundLabels(Texts(barograph->pressure_plot), 3);
  ExpectRoundLabels(Texts(barograph->temperature_plot), 1);

  // Back in mbar and deg C, the ticks are those of before.
  w->PressureUnits1[0]->trigger();
  w->Celsius1->trigger();
  EXPECT_EQ(Texts(barograph->pressure_plot), mbar_barograph);
  ExpectRoundLabels(mbar_chart, 0);
}
