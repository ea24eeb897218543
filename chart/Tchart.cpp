#include "chart/Tchart.h"

#include <QCloseEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <ctime>

#include "chart/Plot_time.h"
#include "chart/Tchart_settings.h"
#include "components/UiStyle.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/Clock.h"

namespace {

QFrame* AddPanel(QWidget* parent, const QRect& geometry) {
  auto* panel = new QFrame(parent);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setGeometry(geometry);
  return panel;
}

// One plot of the window: yellow on navy, a 3 x 3 grid, an hour of samples
// at one a second, autoscaled.
Tplot_time* AddPlot(QWidget* panel) {
  auto* plot = new Tplot_time(panel);
  plot->setGeometry(96, 8, 537, 177);
  plot->SetBGColor(QColor(0, 0, 128));
  plot->SetWVColor(QColor(255, 255, 0));
  plot->SetBorderColor(QColor(0, 0, 0));
  plot->SetHistoryLength(3600);
  plot->Set_x_grid_nbr(2);
  plot->Set_y_grid_nbr(2);
  plot->SetAutoScaleY(true);
  return plot;
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
  altitude_plot = AddPlot(upper);
  altitude_plot->hide();
  pressure_plot = AddPlot(upper);
  AddTitle(upper, "Pressure [mbar]", QRect(8, 80, 81, 33));
  lb_p = AddTitle(upper, "Chart of pressure vs time", QRect(272, 216, 185, 17));

  QFrame* lower = AddPanel(this, QRect(8, 248, 641, 241));
  temperature_plot = AddPlot(lower);
  AddTitle(lower, QString::fromUtf8("Temperature [\u00b0C]"), QRect(8, 80, 81, 33));
  Label2 = AddTitle(lower, "Temperature Chart vs time", QRect(272, 216, 185, 17));

  Program().Wchart_alive = true;
}

TWchart::~TWchart() = default;

void TWchart::AddMeasurement(int32_t, int32_t, double pressure, double temperature,
                             double altitude) {
  ++measurement_count_;
  // One stamp for all three plots, in whole calendar seconds.
  Clock* clock = Program().clock;
  const double stamp = static_cast<double>(clock != nullptr ? clock->Now() : std::time(nullptr));
  pressure_plot->AddSample(pressure, stamp);
  altitude_plot->AddSample(altitude, stamp);
  temperature_plot->AddSample(temperature, stamp);
}

void TWchart::ResetToAutoscale() {
  for (Tplot_time* plot : {pressure_plot, altitude_plot, temperature_plot})
    plot->SetAutoScaleY(true);
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
