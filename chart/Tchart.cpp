#include "chart/Tchart.h"

#include <QCloseEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>

#include "chart/Tchart_settings.h"
#include "components/UiFont.h"
#include "main/Program.h"
#include "main/Tmain.h"

namespace {

QFrame* AddPanel(QWidget* parent, const QRect& geometry) {
  auto* panel = new QFrame(parent);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setGeometry(geometry);
  return panel;
}

// The navy plot area, empty until the plots arrive.
void AddPlotArea(QWidget* panel) {
  auto* area = new QFrame(panel);
  area->setGeometry(96, 8, 537, 177);
  area->setAutoFillBackground(true);
  QPalette palette = area->palette();
  palette.setColor(QPalette::Window, QColor(0, 0, 128));
  area->setPalette(palette);
}

QLabel* AddTitle(QWidget* parent, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setFont(ArialFont(13, true));
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  label->setGeometry(geometry);
  return label;
}

}  // namespace

TWchart::TWchart(QWidget* parent) : QWidget(parent) {
  setWindowTitle("Data recorder");
  setFixedSize(654, 522);
  move(321, 140);
  setFont(ArialFont(11));

  QFrame* upper = AddPanel(this, QRect(8, 0, 641, 241));
  AddPlotArea(upper);
  AddTitle(upper, "Pressure [mbar]", QRect(8, 80, 81, 33));
  lb_p = AddTitle(upper, "Chart of pressure vs time", QRect(272, 216, 185, 17));

  QFrame* lower = AddPanel(this, QRect(8, 248, 641, 241));
  AddPlotArea(lower);
  AddTitle(lower, QString::fromUtf8("Temperature [\u00b0C]"), QRect(8, 80, 81, 33));
  Label2 = AddTitle(lower, "Temperature Chart vs time", QRect(272, 216, 185, 17));

  Program().Wchart_alive = true;
}

TWchart::~TWchart() = default;

void TWchart::AddMeasurement(int32_t, int32_t, double, double, double) {
  ++measurement_count_;
}

void TWchart::ResetToAutoscale() {
  // The plots come with the chart work; the range dialog already follows.
  ProgramState& program = Program();
  if (TWrange* range = program.Wrange; range != nullptr && program.Wrange_alive) {
    range->SetPressureAutoscale(true);
    range->SetAltitudeAutoscale(true);
    range->SetTemperatureAutoscale(true);
  }
  RefreshView(false);
}

void TWchart::RefreshView(bool) {}

void TWchart::OnClose() {
  hide();
  ProgramState& program = Program();
  if (program.Wmain == nullptr || !program.Wmain_alive) return;
  program.Wmain->UncheckViewChart();
}

void TWchart::closeEvent(QCloseEvent* event) {
  event->ignore();
  OnClose();
}
