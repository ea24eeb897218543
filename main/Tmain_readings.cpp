// The main window's side of the reader's units, the station's corrections
// and the storm warning.

#include <QAction>
#include <QLabel>
#include <QString>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "archive/Tarchive_tendency.h"
#include "atmosphere/Tendency.h"
#include "chart/Tchart.h"
#include "chart/Tchart_settings.h"
#include "components/Number_text.h"
#include "config/Reading_settings.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "main/Tservice_view.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Notifier.h"
#include "settings/Tcorrections.h"
#include "windows/Tbarograph.h"
#include "windows/Tsmall.h"

namespace {

// The client area, and with the storm warning's line under it.
constexpr int kClientWidth = 655;
constexpr int kClientHeight = 396;
constexpr int kStormLineHeight = 22;

// "14:20": the local hour and minute of calendar second t.
QString HourMinute(std::time_t t) {
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return QStringLiteral("--:--");
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", local.tm_hour % 100, local.tm_min % 100);
  return QString::fromLatin1(text);
}

}  // namespace

// ---------------------------------------------------------------------------
// Storm warning

QString TWmain::StormWarningText() const {
  return StormWarningText(storm.Fall(), storm.Since());
}

QString TWmain::StormWarningText(double fall, std::time_t since) {
  return "Storm warning: " + StormChangeText(fall, since);
}

QString TWmain::StormChangeText(double fall, std::time_t since) {
  const PressureUnit unit = Program().readings.units.pressure;
  // The change, with a true minus sign before a fall.
  QString change = PressureChangeText(-fall, unit, TendencyDecimals(unit));
  if (change.startsWith('-')) change[0] = QChar(0x2212);
  return change + " " + PressureUnitText(unit) + " in 3 h since " + HourMinute(since);
}

void TWmain::StormNotice::OnSample(const Sample& sample) {
  // One desktop notification when a warning rises.
  if (sample.storm_event != StormEvent::kRaised || Program().notifier == nullptr) return;
  Program().notifier->Notify("Storm warning",
                             StormChangeText(sample.storm_fall, sample.storm_since).toStdString());
}

void TWmain::ShowStormWarning() {
  const bool up = storm.Active();
  const QString text = up ? StormWarningText() : QString();
  lb_storm->setText(text);
  if (lb_storm->isHidden() == up) {
    // The line takes room of its own under the pages: nothing else moves.
    lb_storm->setVisible(up);
    client->setFixedSize(kClientWidth, up ? kClientHeight + kStormLineHeight : kClientHeight);
  }
  if (TWsmall* small = SmallWindow()) small->ShowStormWarning(text);
}

// ---------------------------------------------------------------------------
// Units and corrections

void TWmain::ShowUnitChecks() {
  const DisplayUnits& units = Program().readings.units;
  // The captions of the pressures read in the unit their values are in,
  // from the first value shown on.
  const QString unit = PressureUnitText(units.pressure);
  lb_pressure_unit->setText(unit);
  lb_sea_unit->setText(unit);
  lb_var_unit->setText("[" + unit + "/h]");
  for (int i = 0; i < kPressureUnitCount; ++i)
    if (PressureUnits1[i]) PressureUnits1[i]->setChecked(kPressureUnits[i] == units.pressure);
  if (Celsius1) Celsius1->setChecked(units.temperature == TemperatureUnit::Celsius);
  if (Fahrenheit1) Fahrenheit1->setChecked(units.temperature == TemperatureUnit::Fahrenheit);
}

void TWmain::ShowUnits() {
  const DisplayUnits units = Program().readings.units;
  ShowUnitChecks();
  if (has_good_sample && last_sample_good) {
    lbpressure->setText(PressureText(p_shown, units.pressure));
    ShowDerived();
    if (TWsmall* small = SmallWindow()) small->ShowTemperature(t_local, units.temperature);
  }
  if (!std::isnan(variation_shown))
    lb_var->setText(FormatFixed(PressureIn(units.pressure, variation_shown),
                                VariationDecimals(units.pressure)));
  ShowStormWarning();
  ProgramState& program = Program();
  if (TWchart* chart = ChartWindow()) chart->ShowUnits();
  if (program.Wrange != nullptr && program.Wrange_alive) program.Wrange->ShowUnits();
  if (program.Wbarograph != nullptr && program.Wbarograph_alive) program.Wbarograph->ShowUnits();
}

void TWmain::ApplyReadingSettings(const ReadingSettings& settings) {
  ProgramState& program = Program();
  if (program.service != nullptr) {
    program.service->ApplyReadingSettings(settings);
    return;
  }
  ReadingSettings& readings = program.readings;
  // The altimeter's reference moves with the pressure correction, so the
  // altitude shown does not jump.
  station.ApplyCorrections(settings.pressure_correction, settings.temperature_correction);
  readings = settings;
  StoreReadingSettings(program.ini, readings);
  if (!program.ini.Save() && program.dialogs)
    program.dialogs->Error("Error : Unable to save " + program.ini.Path() + ": " +
                           program.ini.LastError());
  storm.SetThreshold(readings.storm_threshold);
  storm.SetEnabled(readings.storm_warning);
  ShowUnits();
}

void TWmain::PressureUnit1Click(PressureUnit unit) {
  ReadingSettings settings = Program().readings;
  settings.units.pressure = unit;
  ApplyReadingSettings(settings);
}

void TWmain::TemperatureUnit1Click(TemperatureUnit unit) {
  ReadingSettings settings = Program().readings;
  settings.units.temperature = unit;
  ApplyReadingSettings(settings);
}

void TWmain::Corrections1Click() {
  TWcorrections dialog(this);
  dialog.OnShow();
  dialog.exec();
}
