#include "chart/Tchart_settings.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>
#include <string>

#include "atmosphere/Lib_vc.h"
#include "chart/Plot_time.h"
#include "chart/Tchart.h"
#include "components/Number_text.h"
#include "components/UiStyle.h"
#include "components/Window_place.h"
#include "main/Program.h"
#include "platform/Dialogs.h"

namespace {

void SetGroupAutoscale(QCheckBox* box, QLineEdit* low, QLineEdit* high, bool on) {
  low->setEnabled(!on);
  high->setEnabled(!on);
  box->setChecked(on);
}

// One field parsed as a decimal number; a field that is not one, or whose
// number is not finite ("1e999"), is reported with its message. The value
// read so far is kept either way.
bool ParseField(const QLineEdit* field, const char* message, double* value) {
  if (!ParseDouble(field->text().toStdString(), value) && std::isfinite(*value)) return true;
  if (Dialogs* dialogs = Program().dialogs) dialogs->Error(message);
  return false;
}

bool CheckOrder(double high, double low, const char* message) {
  if (high > low) return true;
  if (Dialogs* dialogs = Program().dialogs) dialogs->Error(message);
  return false;
}

// The group's setting on one plot: autoscale, or the manual range.
void ApplyRange(Tplot_time* plot, const QCheckBox* box, double high, double low) {
  if (plot == nullptr) return;
  if (box->isChecked()) {
    plot->SetAutoScaleY(true);
    return;
  }
  plot->SetAutoScaleY(false);
  plot->SetManualYScaleHigh(high);
  plot->SetManualYScaleLow(low);
}

}  // namespace

TWrange::TWrange(QWidget* parent) : QDialog(parent) {
  // Wide enough for the longest unit, "[mmHg]", after the high limit.
  SetFixedDialogFrame(this, "Chart settings", 385, 402);
  (new Twindow_place(this))->CentreWhenShown();
  setFont(ArialFont(11));

  auto* frame = new QFrame(this);
  frame->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  frame->setGeometry(8, 8, 369, 337);

  AddGroup("Pressure range", 24, "[mbar]", &PAutoScaleBox, &ed_pl, &ed_ph, lb_pressure_units);
  AddGroup("Altitude range", 128, "[m]", &AAutoScaleBox, &ed_al, &ed_ah);
  AddGroup("Temperature range", 232, QString::fromUtf8("[\u00b0C]"), &TAutoScaleBox, &ed_tl, &ed_th,
           lb_temperature_units);
  ShowUnits();

  bt_ok = new QPushButton("OK", this);
  bt_ok->setGeometry(104, 362, 81, 25);
  bt_ok->setAutoDefault(false);
  bt_cancel = new QPushButton("Cancel", this);
  bt_cancel->setGeometry(200, 362, 81, 25);
  bt_cancel->setAutoDefault(false);
  connect(bt_ok, &QPushButton::clicked, this, [this] { bt_okClick(); });
  connect(bt_cancel, &QPushButton::clicked, this, [this] { bt_cancelClick(); });
  connect(PAutoScaleBox, &QCheckBox::toggled, this, [this] { PAutoScaleBoxClick(); });
  connect(AAutoScaleBox, &QCheckBox::toggled, this, [this] { AAutoScaleBoxClick(); });
  connect(TAutoScaleBox, &QCheckBox::toggled, this, [this] { TAutoScaleBoxClick(); });
  for (QLineEdit* field : {ed_pl, ed_ph, ed_al, ed_ah, ed_tl, ed_th})
    field->installEventFilter(this);

  Program().Wrange_alive = true;
}

TWrange::~TWrange() = default;

QGroupBox* TWrange::AddGroup(const QString& title, int top, const QString& unit, QCheckBox** box,
                             QLineEdit** low, QLineEdit** high, QLabel** units) {
  auto* group = new QGroupBox(title, this);
  group->setGeometry(24, top, 337, 97);
  *box = new QCheckBox("Y-Axis Autoscale mode", group);
  (*box)->setGeometry(16, 24, 161, 17);
  const int row = 56;
  (new QLabel("Low limit", group))->setGeometry(16, row + 3, 46, 16);
  *low = new QLineEdit(group);
  (*low)->setGeometry(64, row, 57, 21);
  auto* low_unit = new QLabel(unit, group);
  low_unit->setGeometry(128, row + 3, 40, 16);
  (new QLabel("High limit", group))->setGeometry(176, row + 3, 46, 16);
  *high = new QLineEdit(group);
  (*high)->setGeometry(224, row, 57, 21);
  auto* high_unit = new QLabel(unit, group);
  high_unit->setGeometry(288, row + 3, 45, 16);
  if (units != nullptr) {
    units[0] = low_unit;
    units[1] = high_unit;
  }
  return group;
}

void TWrange::ShowUnits() {
  const DisplayUnits& units = Program().readings.units;
  for (QLabel* label : lb_pressure_units)
    if (label) label->setText("[" + PressureUnitText(units.pressure) + "]");
  for (QLabel* label : lb_temperature_units)
    if (label) label->setText("[" + TemperatureUnitText(units.temperature) + "]");
}

void TWrange::SetPressureAutoscale(bool on) {
  SetGroupAutoscale(PAutoScaleBox, ed_pl, ed_ph, on);
}

void TWrange::SetAltitudeAutoscale(bool on) {
  SetGroupAutoscale(AAutoScaleBox, ed_al, ed_ah, on);
}

void TWrange::SetTemperatureAutoscale(bool on) {
  SetGroupAutoscale(TAutoScaleBox, ed_tl, ed_th, on);
}

void TWrange::PAutoScaleBoxClick() {
  const bool on = PAutoScaleBox->isChecked();
  ed_pl->setEnabled(!on);
  ed_ph->setEnabled(!on);
}

void TWrange::AAutoScaleBoxClick() {
  const bool on = AAutoScaleBox->isChecked();
  ed_al->setEnabled(!on);
  ed_ah->setEnabled(!on);
}

void TWrange::TAutoScaleBoxClick() {
  const bool on = TAutoScaleBox->isChecked();
  ed_tl->setEnabled(!on);
  ed_th->setEnabled(!on);
}

bool TWrange::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      OnKeyDown(key);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TWrange::keyPressEvent(QKeyEvent* event) {
  // Escape is not bound: only Cancel and the close box leave unapplied.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TWrange::OnKeyDown(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) bt_okClick();
}

void TWrange::bt_okClick() {
  // Every field and every pair is checked, each fault with its own message.
  bool valid = true;
  double p_high = 0, p_low = 0, a_high = 0, a_low = 0, t_high = 0, t_low = 0;
  valid &=
      ParseField(ed_ph, "Error : The value for the pressure high range must be a number", &p_high);
  valid &=
      ParseField(ed_pl, "Error : The value for the pressure low range must be a number", &p_low);
  valid &=
      ParseField(ed_ah, "Error : The value for the altitude high range must be a number", &a_high);
  valid &=
      ParseField(ed_al, "Error : The value for the altitude low range must be a number", &a_low);
  valid &= ParseField(ed_th, "Error : The value for the temperature high range must be a number",
                      &t_high);
  valid &=
      ParseField(ed_tl, "Error : The value for the temperature low range must be a number", &t_low);
  valid &= CheckOrder(t_high, t_low,
                      "Error : The high temperature range must be bigger than the low limit");
  valid &= CheckOrder(p_high, p_low,
                      "Error : The high pressure range must be bigger than the low limit");
  valid &= CheckOrder(a_high, a_low,
                      "Error : The high altitude range must be bigger than the low limit");
  if (!valid) return;

  ProgramState& program = Program();
  TWchart* chart = program.Wchart_alive ? program.Wchart : nullptr;
  if (chart == nullptr) return;
  // The plots hold mbar and deg C.
  const DisplayUnits& units = Program().readings.units;
  ApplyRange(chart->pressure_plot, PAutoScaleBox, PressureFrom(units.pressure, p_high),
             PressureFrom(units.pressure, p_low));
  ApplyRange(chart->altitude_plot, AAutoScaleBox, a_high, a_low);
  ApplyRange(chart->temperature_plot, TAutoScaleBox, TemperatureFrom(units.temperature, t_high),
             TemperatureFrom(units.temperature, t_low));
  chart->RefreshView(true);
  accept();
}

void TWrange::bt_cancelClick() {
  reject();
}
