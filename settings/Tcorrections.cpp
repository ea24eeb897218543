#include "settings/Tcorrections.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>
#include <string>

#include "atmosphere/Lib_vc.h"
#include "components/Number_text.h"
#include "components/UiStyle.h"
#include "components/Window_place.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/Dialogs.h"
#include "settings/Tsettings_layout.h"

using namespace settings_layout;

namespace {

// The number in the field, when it is one within [least, most]; otherwise
// the box that names the field and its range.
bool FieldNumber(const QLineEdit* field, const std::string& name, double least, double most,
                 const std::string& unit, double& value) {
  double read = 0;
  if (!ParseDouble(field->text().trimmed().toStdString(), &read) && std::isfinite(read) &&
      read >= least && read <= most) {
    value = read;
    return true;
  }
  if (Dialogs* dialogs = Program().dialogs)
    dialogs->Error("Error : The " + name + " must be a number from " +
                   FormatFixed(least, 1).toStdString() + " to " +
                   FormatFixed(most, 1).toStdString() + " " + unit);
  return false;
}

}  // namespace

TWcorrections::TWcorrections(QWidget* parent) : QDialog(parent) {
  SetFixedDialogFrame(this, "Corrections", 380, 262);
  (new Twindow_place(this))->CentreWhenShown();
  setFont(ArialFont(11));

  Group(this, 8, 8, 364, 112, "Station correction");
  Text(this, 20, 28, 340, 18, "A correction makes the readings match a trusted barometer.");
  Text(this, 20, 56, 150, 21, "Pressure correction");
  ed_pressure = Edit(this, 176, 56, 64, "");
  Text(this, 246, 56, 120, 21, "mbar (-20 to +20)");
  Text(this, 20, 84, 150, 21, "Temperature correction");
  ed_temperature = Edit(this, 176, 84, 64, "");
  Text(this, 246, 84, 120, 21, QString::fromUtf8("\u00b0C (-5 to +5)"));

  Group(this, 8, 128, 364, 88, "Storm warning");
  cb_storm = new QCheckBox("Warn of a fast fall of the pressure", this);
  cb_storm->setGeometry(20, 148, 340, 21);
  Text(this, 20, 178, 150, 21, "Fall in 3 hours of");
  ed_threshold = Edit(this, 176, 178, 64, "");
  Text(this, 246, 178, 120, 21, "mbar (1 to 10)");

  bt_ok = new QPushButton("OK", this);
  bt_ok->setGeometry(104, 228, 81, 25);
  bt_cancel = new QPushButton("Cancel", this);
  bt_cancel->setGeometry(196, 228, 81, 25);
  bt_cancel->setAutoDefault(false);
  connect(bt_ok, &QPushButton::clicked, this, [this] { bt_okClick(); });
  connect(bt_cancel, &QPushButton::clicked, this, [this] { bt_cancelClick(); });
  connect(cb_storm, &QCheckBox::toggled, this, [this] { cb_stormClick(); });
}

TWcorrections::~TWcorrections() = default;

void TWcorrections::OnShow() {
  const ReadingSettings& s = Program().readings;
  ed_pressure->setText(FormatFixed(s.pressure_correction, 2));
  ed_temperature->setText(FormatFixed(s.temperature_correction, 2));
  cb_storm->setChecked(s.storm_warning);
  ed_threshold->setText(FormatFixed(s.storm_threshold, 1));
  cb_stormClick();
}

void TWcorrections::cb_stormClick() {
  ed_threshold->setEnabled(cb_storm->isChecked());
}

bool TWcorrections::FieldSettings(ReadingSettings& s) const {
  if (!FieldNumber(ed_pressure, "pressure correction", -ReadingSettings::kMostPressureCorrection,
                   ReadingSettings::kMostPressureCorrection, "mbar", s.pressure_correction))
    return false;
  if (!FieldNumber(
          ed_temperature, "temperature correction", -ReadingSettings::kMostTemperatureCorrection,
          ReadingSettings::kMostTemperatureCorrection, "\u00b0C", s.temperature_correction))
    return false;
  s.storm_warning = cb_storm->isChecked();
  // Switched off, the threshold field is not looked at: it keeps its value.
  if (s.storm_warning &&
      !FieldNumber(ed_threshold, "storm warning's threshold", Tstorm_warning::kLeastThreshold,
                   Tstorm_warning::kMostThreshold, "mbar in 3 hours", s.storm_threshold))
    return false;
  return true;
}

void TWcorrections::bt_okClick() {
  ReadingSettings settings = Program().readings;
  if (!FieldSettings(settings)) return;
  ProgramState& program = Program();
  if (program.Wmain != nullptr && program.Wmain_alive)
    program.Wmain->ApplyReadingSettings(settings);
  accept();
}

void TWcorrections::bt_cancelClick() {
  reject();
}
