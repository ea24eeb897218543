#include "chart/Tchart_settings.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "components/UiStyle.h"
#include "main/Program.h"

namespace {

void SetGroupAutoscale(QCheckBox* box, QLineEdit* low, QLineEdit* high, bool on) {
  low->setEnabled(!on);
  high->setEnabled(!on);
  box->setChecked(on);
}

}  // namespace

TWrange::TWrange(QWidget* parent) : QDialog(parent) {
  SetFixedDialogFrame(this, "Chart settings", 369, 402);
  move(417, 170);
  setFont(ArialFont(11));

  auto* frame = new QFrame(this);
  frame->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  frame->setGeometry(8, 8, 353, 337);

  AddGroup("Pressure range", 24, "[mbar]", &PAutoScaleBox, &ed_pl, &ed_ph);
  AddGroup("Altitude range", 128, "[m]", &AAutoScaleBox, &ed_al, &ed_ah);
  AddGroup("Temperature range", 232, QString::fromUtf8("[\u00b0C]"), &TAutoScaleBox, &ed_tl,
           &ed_th);

  bt_ok = new QPushButton("OK", this);
  bt_ok->setGeometry(96, 362, 81, 25);
  bt_ok->setAutoDefault(false);
  bt_cancel = new QPushButton("Cancel", this);
  bt_cancel->setGeometry(192, 362, 81, 25);
  bt_cancel->setAutoDefault(false);
  connect(bt_ok, &QPushButton::clicked, this, [this] { bt_okClick(); });
  connect(bt_cancel, &QPushButton::clicked, this, [this] { bt_cancelClick(); });
  connect(PAutoScaleBox, &QCheckBox::toggled, this, [this] { PAutoScaleBoxClick(); });
  connect(AAutoScaleBox, &QCheckBox::toggled, this, [this] { AAutoScaleBoxClick(); });
  connect(TAutoScaleBox, &QCheckBox::toggled, this, [this] { TAutoScaleBoxClick(); });

  Program().Wrange_alive = true;
}

TWrange::~TWrange() = default;

QGroupBox* TWrange::AddGroup(const QString& title, int top, const QString& unit, QCheckBox** box,
                             QLineEdit** low, QLineEdit** high) {
  auto* group = new QGroupBox(title, this);
  group->setGeometry(24, top, 321, 97);
  *box = new QCheckBox("Y-Axis Autoscale mode", group);
  (*box)->setGeometry(16, 24, 161, 17);
  const int row = 56;
  (new QLabel("Low limit", group))->setGeometry(16, row + 3, 46, 16);
  *low = new QLineEdit(group);
  (*low)->setGeometry(64, row, 57, 21);
  (new QLabel(unit, group))->setGeometry(128, row + 3, 40, 16);
  (new QLabel("High limit", group))->setGeometry(176, row + 3, 46, 16);
  *high = new QLineEdit(group);
  (*high)->setGeometry(224, row, 57, 21);
  (new QLabel(unit, group))->setGeometry(288, row + 3, 30, 16);
  return group;
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

// Nothing can be applied to the plots yet, so OK must not claim success:
// it leaves like Cancel.
void TWrange::bt_okClick() {
  reject();
}

void TWrange::bt_cancelClick() {
  reject();
}
