#include "windows/Tabout.h"

#include <QFont>
#include <QFrame>
#include <QHideEvent>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "BuildDate.h"
#include "components/Picture.h"
#include "components/UiStyle.h"
#include "components/Window_place.h"
#include "main/Program.h"

namespace {

QLabel* AddLabel(QWidget* parent, const QString& text, const QRect& geometry, const QFont& font,
                 const QColor& color, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  label->setFont(font);
  label->setAlignment(alignment);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
  return label;
}

}  // namespace

TWabout::TWabout(QWidget* parent) : QDialog(parent) {
  // As much room under the OK button as around the panel.
  SetFixedDialogFrame(this, "About Norvatech's Barometer", 341, 393);
  (new Twindow_place(this))->CentreWhenShown();
  setFont(ArialFont(11, false));

  auto* panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(1);
  panel->setGeometry(8, 8, 329, 329);

  // Rendered when the box first shows.
  auto* picture = new Tpicture("about", panel);
  picture->setGeometry(8, 8, 310, 240);

  // White texts drawn over the picture (labels are transparent by default).
  AddLabel(panel, "Norvatech Barometer", QRect(16, 8, 313, 29), ArialFont(24, true), Qt::white,
           Qt::AlignCenter);
  AddLabel(panel, "Version  2.2", QRect(224, 40, 97, 16), ArialFont(13, true), Qt::white);
  // Right-aligned, so that the address fits whatever its length.
  AddLabel(panel, "www.norvatech.example", QRect(113, 232, 200, 16), ArialFont(13, true), Qt::white,
           Qt::AlignRight | Qt::AlignTop);

  AddLabel(panel, "Software Development :", QRect(8, 256, 140, 16), ArialFont(11, true), Qt::black);
  AddLabel(panel, "Norvatech software team", QRect(152, 256, 153, 16), ArialFont(13, false),
           Qt::black);
  AddLabel(panel, "Norvatech", QRect(152, 272, 153, 16), ArialFont(13, false), Qt::black);
  AddLabel(panel, "Europe", QRect(152, 288, 153, 16), ArialFont(13, false), Qt::black);
  AddLabel(panel, "Compilation Date:", QRect(8, 304, 140, 16), ArialFont(11, true), Qt::black);
  lb_date = AddLabel(panel, "Compilation date", QRect(152, 304, 145, 16), ArialFont(13, false),
                     Qt::black);

  AddLabel(this, "New version for Linux desktops", QRect(56, 344, 280, 14), ArialFont(11, false),
           Qt::black);

  // Its icon, as the pictures, is made when the box shows.
  bt_ok = new QPushButton("OK", this);
  bt_ok->setGeometry(128, 360, 75, 25);
  bt_ok->setDefault(true);
  connect(bt_ok, &QPushButton::clicked, this, [this] { bt_okClick(); });

  lb_date->setText(BuildDate());

  Program().Wabout_alive = true;
}

TWabout::~TWabout() = default;

void TWabout::showEvent(QShowEvent* event) {
  if (bt_ok->icon().isNull()) bt_ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  QDialog::showEvent(event);
}

void TWabout::hideEvent(QHideEvent* event) {
  // Closed, the box keeps no picture; minimised, it keeps what it shows.
  if (!event->spontaneous()) bt_ok->setIcon(QIcon());
  QDialog::hideEvent(event);
}

void TWabout::bt_okClick() {
  accept();
}

QString TWabout::BuildDate() {
  return QString::fromLatin1(BAROMETER_BUILD_DATE);
}
