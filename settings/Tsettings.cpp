#include "settings/Tsettings.h"

#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

#include "components/UiStyle.h"
#include "main/Program.h"

TWsettings::TWsettings(QWidget* parent) : QDialog(parent) {
  SetFixedDialogFrame(this, "Wsettings", 487, 506);
  move(371, 102);
  setFont(ArialFont(11));

  PageControl1 = new QTabWidget(this);
  PageControl1->setGeometry(8, 8, 471, 449);
  for (const char* page : {"Measurements", "Altitude Configuration", "Sensor coefficients",
                           "Weather Situation", "Weather forecast"}) {
    PageControl1->addTab(new QWidget, page);
  }
  PageControl1->setCurrentIndex(4);

  bt_ok = new QPushButton("OK", this);
  bt_ok->setGeometry(150, 470, 81, 25);
  bt_ok->setAutoDefault(false);
  bt_cancel = new QPushButton("Cancel", this);
  bt_cancel->setGeometry(256, 470, 81, 25);
  bt_cancel->setAutoDefault(false);
  connect(bt_ok, &QPushButton::clicked, this, [this] { bt_okClick(); });
  connect(bt_cancel, &QPushButton::clicked, this, [this] { bt_cancelClick(); });

  Program().Wsettings_alive = true;
}

TWsettings::~TWsettings() = default;

void TWsettings::OnShow() {}

// Nothing is edited yet, so nothing is written: OK leaves like Cancel.
void TWsettings::bt_okClick() {
  reject();
}

void TWsettings::bt_cancelClick() {
  reject();
}
