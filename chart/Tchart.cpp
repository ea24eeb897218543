#include "chart/Tchart.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QFont>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <utility>

#include "archive/Tarchive.h"
#include "atmosphere/Altitude.h"
#include "atmosphere/Lib_vc.h"
#include "chart/Plot_time.h"
#include "chart/Tchart_settings.h"
#include "components/Axis_ticks.h"
#include "components/Client_area.h"
#include "components/UiStyle.h"
#include "components/Window_fit.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "main/Window_size.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "sensor/Tsensor_wc.h"

namespace {

// The plots hold this much of the record.
constexpr int kChartSeconds = 3600;

}  // namespace

namespace {

constexpr int kRecBlinkMs = 600;

// A plot's value as the reader reads it.
double ShownPressure(double mbar) {
  return PressureIn(Program().readings.units.pressure, mbar);
}
double ShownTemperature(double celsius) {
  return TemperatureIn(Program().readings.units.temperature, celsius);
}
double AsItIs(double value) {
  return value;
}

// Calendar second t (truncated toward zero) in local time; false when t lies
// outside the calendar the C library can convert.
bool LocalTime(double t, std::tm* out) {
  // Far beyond any year an int holds, but inside time_t.
  constexpr double kLimit = 1e17;
  if (!(t > -kLimit && t < kLimit)) return false;
  const auto seconds = static_cast<std::time_t>(t);
  return localtime_r(&seconds, out) != nullptr;
}

QFrame* AddPanel(QWidget* parent, const QRect& geometry) {
  auto* panel = new QFrame(parent);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setGeometry(geometry);
  return panel;
}

// Room for one value label and one time label.
constexpr int kValueLabelWidth = 76;
constexpr int kValueLabelHeight = 13;
constexpr int kTimeLabelWidth = 90;
constexpr int kTimeLabelHeight = 25;

// One plot of the window: yellow on navy, grid lines on round values and
// times, an hour of samples at one a second, autoscaled.
Tplot_time* AddPlot(QWidget* panel) {
  auto* plot = new Tplot_time(panel);
  plot->setGeometry(96, 8, 537, 177);
  plot->SetBGColor(QColor(0, 0, 128));
  plot->SetWVColor(QColor(255, 255, 0));
  plot->SetBorderColor(QColor(0, 0, 0));
  plot->SetHistoryLength(3600);
  plot->Set_x_grid_nbr(2);
  plot->Set_y_grid_nbr(2);
  plot->SetRoundGrid(true);
  plot->SetAutoScaleY(true);
  return plot;
}

QLabel* AddTitle(QWidget* parent, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setFont(ArialFont(13, true));
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  label->setGeometry(geometry);
  label->setAutoFillBackground(true);
  return label;
}

// The first n labels of `labels`, made in `panel` as needed and shown; the
// others are hidden.
void ShowLabels(std::vector<QLabel*>& labels, size_t n, QWidget* panel, Qt::Alignment align) {
  while (labels.size() < n) {
    auto* label = new QLabel(panel);
    label->setAlignment(align);
    label->setAutoFillBackground(true);
    labels.push_back(label);
  }
  for (size_t i = 0; i < labels.size(); ++i) labels[i]->setVisible(i < n);
}

// Decimals of the value labels: as many as the step between the ticks has.
int TickDecimals(const std::vector<Tplot_time::Tick>& ticks) {
  return ticks.size() < 2 ? 2 : Taxis_ticks::Decimals(ticks[0].at - ticks[1].at);
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

TWchart::TWchart(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Data recorder");
  setFont(ArialFont(11));
  move(321, 140);

  client = new Tclient_area(QSize(654, 522), QSize(kLeastWidth, kLeastHeight), this);
  setCentralWidget(client);

  Panel2 = AddPanel(client, QRect(8, 0, 641, 241));
  altitude_plot = AddPlot(Panel2);
  altitude_plot->hide();
  pressure_plot = AddPlot(Panel2);  // created last, so it lies on top
  lb_press = AddTitle(Panel2, "", QRect(8, 216, 180, 17));
  lb_p = AddTitle(Panel2, "", QRect(272, 216, 185, 17));

  Panel1 = AddPanel(client, QRect(8, 248, 641, 241));
  temperature_plot = AddPlot(Panel1);
  Label3 = AddTitle(
      Panel1, "Temperature [" + TemperatureUnitText(Program().readings.units.temperature) + "]",
      QRect(8, 216, 180, 17));
  Label2 = AddTitle(Panel1, "Temperature Chart vs time", QRect(272, 216, 185, 17));
  for (QLabel* title : {lb_press, Label3}) title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  lb_rec = new QLabel("REC", client);
  lb_rec->setGeometry(8, 496, 49, 18);
  lb_rec->setAlignment(Qt::AlignCenter);
  lb_rec->setFont(ArialFont(15, true));
  lb_rec->setAutoFillBackground(true);
  QPalette rec_palette = lb_rec->palette();
  rec_palette.setColor(QPalette::Window, Qt::black);
  rec_palette.setColor(QPalette::WindowText, Qt::red);
  lb_rec->setPalette(rec_palette);
  lb_rec->hide();

  Button1 = new QPushButton("Clear Charts", client);
  Button1->setGeometry(304, 496, 105, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  BuildMenu();
  SetUpPicture();
  LayOut();
  client->on_resize = [this] { LayOut(); };
  // The size the user last gave the window, else the first one.
  resize(sizeHint());
  (new Twindow_size(this, "chart_width", "chart_height"))->Restore();
  // Within the screen it opens on, whatever size that is.
  new Twindow_fit(this);

  timer_rec = new QTimer(this);
  timer_rec->setInterval(kRecBlinkMs);
  timer_rec->setSingleShot(true);
  connect(timer_rec, &QTimer::timeout, this, [this] { OnTimer(); });

  Program().Wchart_alive = true;
}

void TWchart::BuildMenu() {
  MainMenu1 = menuBar();
  File1 = MainMenu1->addMenu("File");
  Storesamplestofile1 = File1->addAction("Begin data logging");
  Storesamplestofile1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  Enddatalogging1 = File1->addAction("End data logging");
  Enddatalogging1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
  Enddatalogging1->setEnabled(false);
  File1->addSeparator();
  Savepicture1 = File1->addAction("Save picture...");
  Savepicture1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  Copy1 = File1->addAction("Copy");
  Copy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  Print1 = File1->addAction("Print...");
  Print1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  File1->addSeparator();
  Hide1 = File1->addAction("Close");
  Hide1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));

  Tools1 = MainMenu1->addMenu("Tools");
  Setupdisplayrange1 = Tools1->addAction("Setup display range");
  Setupdisplayrange1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  // One group of two view items; neither ever carries a mark.
  ViewGroup1 = new QActionGroup(this);
  PressureTemperature1 = Tools1->addAction("Show Pressure + Temperature");
  PressureTemperature1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
  AltitudeTemperature1 = Tools1->addAction("Show Altitude + Temperature");
  AltitudeTemperature1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_2));
  ViewGroup1->addAction(PressureTemperature1);
  ViewGroup1->addAction(AltitudeTemperature1);
  AssignMnemonics(MainMenu1);

  connect(Storesamplestofile1, &QAction::triggered, this, [this] { Storesamplestofile1Click(); });
  connect(Enddatalogging1, &QAction::triggered, this, [this] { Enddatalogging1Click(); });
  connect(Savepicture1, &QAction::triggered, this, [this] { Savepicture1Click(); });
  connect(Copy1, &QAction::triggered, this, [this] { Copy1Click(); });
  connect(Print1, &QAction::triggered, this, [this] { Print1Click(); });
  connect(Hide1, &QAction::triggered, this, [this] { Hide1Click(); });
  connect(Setupdisplayrange1, &QAction::triggered, this, [this] { Setupdisplayrange1Click(); });
  connect(PressureTemperature1, &QAction::triggered, this, [this] { PressureTemperature1Click(); });
  connect(AltitudeTemperature1, &QAction::triggered, this, [this] { AltitudeTemperature1Click(); });

  // A view of the program's station, and the data log beside it.
  station_ = Program().station;
  if (station_ != nullptr) {
    station_->AddSink(this, SinkOrder::kView);
    station_->AddSink(&data_log, SinkOrder::kView);
  }
  data_log.on_row = [this] {
    // The "REC" blinks off for each row.
    lb_rec->hide();
    if (!timer_rec->isActive()) timer_rec->start();
  };
  data_log.on_stopped = [this](const std::string& message) { LoggingStopped(message); };
}

TWchart::~TWchart() {
  if (station_ != nullptr && Program().station == station_) {
    station_->RemoveSink(&data_log);
    station_->RemoveSink(this);
  }
  OnDestroy();
  if (Program().Wchart == this) Program().Wchart_alive = false;
}

// ---------------------------------------------------------------------------
// Measurements, labels and views

void TWchart::AddMeasurement(double pressure, double temperature, double altitude) {
  Clock* clock = Program().clock;
  AddMeasurement(clock != nullptr ? clock->Now() : std::time(nullptr), pressure, temperature,
                 altitude);
}

void TWchart::OnSample(const Sample& sample) {
  // A failed sample is no data for the plots. The altitude is the one the
  // main window shows, within -1000..10000 m.
  if (!sample.good || (Program().Wchart == this && !Program().Wchart_alive)) return;
  AddMeasurement(sample.time, sample.pressure, sample.temperature, ShownAltitude(sample.altitude));
}

void TWchart::OnHistoryRefilled(std::time_t now) {
  // The plots take the record's last hour.
  const Tarchive* archive = Program().archive;
  if (archive == nullptr) return;
  archive->ForEachSample(now - kChartSeconds, now, [this](const TarchiveSample& s) {
    const auto t = static_cast<double>(s.time);
    if (pressure_plot) pressure_plot->AddSample(s.pressure, t);
    if (temperature_plot) temperature_plot->AddSample(s.temperature, t);
    if (altitude_plot) altitude_plot->AddSample(s.altitude, t);
  });
  RefreshView(true);
}

void TWchart::AddMeasurement(std::time_t now, double pressure, double temperature,
                             double altitude) {
  ++measurement_count_;
  last_pressure_ = pressure;
  last_temperature_ = temperature;
  last_altitude_ = altitude;
  // One stamp for all three plots, in whole calendar seconds.
  const auto stamp = static_cast<double>(now);
  if (pressure_plot) pressure_plot->AddSample(pressure, stamp);
  if (temperature_plot) temperature_plot->AddSample(temperature, stamp);
  if (altitude_plot) altitude_plot->AddSample(altitude, stamp);

  // A hidden window's labels wait: showing it brings them all up to date
  // from the plots as they are then (a minimised one is still visible).
  if (isVisible()) UpdateLabelsOfSample();
}

void TWchart::UpdateLabelsOfSample() {
  UpdateTemperatureTimeLabels();
  if (View == 0)
    UpdatePressureTimeLabels();
  else
    UpdateAltitudeTimeLabels();

  // Only the shown upper plot's flag is checked: the other one stays set
  // until a change of view rewrites the labels.
  if (View == 0) {
    if (pressure_plot && pressure_plot->YScaleChangedSinceLastCheck()) UpdatePressureValueLabels();
  } else if (altitude_plot && altitude_plot->YScaleChangedSinceLastCheck()) {
    UpdateAltitudeValueLabels();
  }
  if (temperature_plot && temperature_plot->YScaleChangedSinceLastCheck())
    UpdateTemperatureValueLabels();
}

QString TWchart::FormatTimeLabel(double t) {
  static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm local{};
  if (!LocalTime(t, &local) || local.tm_mon < 0 || local.tm_mon > 11) return QString();
  char text[64];
  std::snprintf(text, sizeof text, "%s %02d %02d:%02d:%02d %lld\n", kMonths[local.tm_mon],
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<long long>(local.tm_year) + 1900);
  return QString::fromLatin1(text).left(39);
}

std::vector<TWchart::TimeLabelPlace> TWchart::PlaceTimeLabels(const std::vector<int>& centres,
                                                              int panel_width, int width) {
  std::vector<TimeLabelPlace> places;
  const int rightmost = std::max(panel_width - width - 2, 2);
  for (size_t i = 0; i < centres.size(); ++i) {
    const int left = std::clamp(centres[i] - width / 2, 2, rightmost);
    if (!places.empty() && left < places.back().left + width) continue;
    places.push_back({i, left});
  }
  return places;
}

void TWchart::UpdateTimeLabels(const Tplot_time* plot, std::vector<QLabel*>& labels, QWidget* panel,
                               TimeLabelsMade& made) {
  if (plot == nullptr) return;
  std::vector<Tplot_time::Tick> ticks = plot->TimeTicks();
  // Over a full history a tick keeps its column for several samples: its
  // label stays as it is.
  if (made.plot == plot && made.place == plot->geometry() && made.panel_width == panel->width() &&
      made.ticks == ticks)
    return;
  std::vector<int> centres;
  for (const Tplot_time::Tick& tick : ticks) centres.push_back(plot->x() + tick.pixel);
  const std::vector<TimeLabelPlace> places =
      PlaceTimeLabels(centres, panel->width(), kTimeLabelWidth);
  ShowLabels(labels, places.size(), panel, Qt::AlignHCenter | Qt::AlignTop);
  const int top = plot->y() + plot->height() + 7;
  for (size_t i = 0; i < places.size(); ++i) {
    // The labels are narrower than a whole date: each breaks after the day,
    // so that all read alike (date above, time and year below).
    QString text = FormatTimeLabel(ticks[places[i].tick].at);
    const int blank = text.indexOf(' ', 4);
    if (blank > 0) text[blank] = '\n';
    if (labels[i]->text() != text) labels[i]->setText(text);
    labels[i]->setGeometry(places[i].left, top, kTimeLabelWidth, kTimeLabelHeight);
  }
  made.plot = plot;
  made.place = plot->geometry();
  made.panel_width = panel->width();
  made.ticks = std::move(ticks);
}

void TWchart::UpdateValueLabels(const Tplot_time* plot, std::vector<QLabel*>& labels,
                                QWidget* panel, double (*shown)(double), int shown_decimals) {
  if (plot == nullptr) return;
  const std::vector<Tplot_time::Tick> ticks = plot->ValueTicks();
  ShowLabels(labels, ticks.size(), panel, Qt::AlignRight | Qt::AlignVCenter);
  int decimals = TickDecimals(ticks);
  if (shown != nullptr) {
    // In another unit the ticks are round in that unit: each reads with
    // the unit's places, or more where the step between them needs them.
    decimals = shown_decimals;
    if (ticks.size() >= 2)
      decimals = std::max(
          decimals, Taxis_ticks::Decimals(std::fabs(shown(ticks[0].at) - shown(ticks[1].at))));
  }
  for (size_t i = 0; i < ticks.size(); ++i) {
    labels[i]->setText(shown != nullptr ? FormatFixed(shown(ticks[i].at), decimals)
                                        : FormatFixed(ticks[i].at, decimals));
    // Beside its grid line, left of the plot.
    labels[i]->setGeometry(plot->x() - kValueLabelWidth - 4,
                           plot->y() + ticks[i].pixel - kValueLabelHeight / 2, kValueLabelWidth,
                           kValueLabelHeight);
  }
}

void TWchart::UpdatePressureTimeLabels() {
  UpdateTimeLabels(pressure_plot, lb_ptime, Panel2, ptime_made_);
}

void TWchart::UpdateAltitudeTimeLabels() {
  UpdateTimeLabels(altitude_plot, lb_ptime, Panel2, ptime_made_);
}

void TWchart::UpdateTemperatureTimeLabels() {
  UpdateTimeLabels(temperature_plot, lb_ttime, Panel1, ttime_made_);
}

void TWchart::UpdatePressureValueLabels() {
  const PressureUnit unit = Program().readings.units.pressure;
  if (pressure_plot != nullptr)
    pressure_plot->SetTickUnit(1.0 / MbarPer(unit), 0.0,
                               Taxis_ticks::LeastStep(PressureDecimals(unit)));
  UpdateValueLabels(pressure_plot, lb_pvalue, Panel2,
                    MbarPer(unit) == 1.0 ? nullptr : ShownPressure, PressureDecimals(unit));
}

void TWchart::UpdateAltitudeValueLabels() {
  UpdateValueLabels(altitude_plot, lb_pvalue, Panel2);
}

void TWchart::UpdateTemperatureValueLabels() {
  const bool fahrenheit = Program().readings.units.temperature == TemperatureUnit::Fahrenheit;
  if (temperature_plot != nullptr)
    temperature_plot->SetTickUnit(fahrenheit ? 1.8 : 1.0, fahrenheit ? 32.0 : 0.0,
                                  Taxis_ticks::kLeastValueStep);
  UpdateValueLabels(temperature_plot, lb_tvalue, Panel1, fahrenheit ? ShownTemperature : nullptr,
                    1);
}

void TWchart::LayOut() {
  // At the first size, 654 x 522, everything stands where it always stood.
  const int w = std::max(client->width(), kLeastWidth);
  const int h = std::max(client->height(), kLeastHeight);
  const int panel_width = w - 13;
  const int panel_height = (h - 40) / 2;
  const QRect plot(96, 8, panel_width - 104, panel_height - 64);
  Panel2->setGeometry(8, 0, panel_width, panel_height);
  Panel1->setGeometry(8, panel_height + 7, panel_width, panel_height);
  for (Tplot_time* p : {pressure_plot, altitude_plot, temperature_plot}) p->setGeometry(plot);
  const int title_top = panel_height - 25;
  const int title_left = plot.left() + plot.width() / 2 - 92;
  for (QLabel* title : {lb_p, Label2}) title->setGeometry(title_left, title_top, 185, 17);
  for (QLabel* title : {lb_press, Label3})
    title->setGeometry(8, title_top, std::min(180, title_left - 16), 17);
  lb_rec->setGeometry(8, h - 26, 49, 18);
  // In the middle of the strip under the panels, clear of the window's edge.
  Button1->setGeometry(w / 2 - 23, h - 29, 105, 25);
  // The ticks of the new size.
  if (View == 0) {
    UpdatePressureValueLabels();
    UpdatePressureTimeLabels();
  } else {
    UpdateAltitudeValueLabels();
    UpdateAltitudeTimeLabels();
  }
  UpdateTemperatureValueLabels();
  UpdateTemperatureTimeLabels();
}

void TWchart::ShowUnits() {
  Label3->setText("Temperature [" + TemperatureUnitText(Program().readings.units.temperature) +
                  "]");
  RefreshView(true);
}

void TWchart::RefreshView(bool force) {
  if (!pressure_plot || !altitude_plot || !temperature_plot) return;
  if (ShownView != View || force) {
    if (View == 0) {
      pressure_plot->show();
      altitude_plot->hide();
      lb_p->setText("Chart of pressure vs time");
      lb_press->setText("Pressure [" + PressureUnitText(Program().readings.units.pressure) + "]");
      UpdatePressureValueLabels();
    } else {
      pressure_plot->hide();
      altitude_plot->show();
      lb_p->setText("Chart of altitude vs time");
      lb_press->setText("Altitude [m]");
      UpdateAltitudeValueLabels();
    }
    ShownView = View;
  }

  // The upper plot that was hidden skipped its drawing; it is drawn now
  // (only while shown: a chart never shown makes no picture).
  Tplot_time* upper = View == 0 ? pressure_plot : altitude_plot;
  if (View == 0)
    UpdatePressureTimeLabels();
  else
    UpdateAltitudeTimeLabels();
  upper->Paint();

  UpdateTemperatureValueLabels();
  UpdateTemperatureTimeLabels();
  temperature_plot->Paint();
}

void TWchart::ResetToAutoscale() {
  for (Tplot_time* plot : {pressure_plot, temperature_plot, altitude_plot})
    if (plot) plot->SetAutoScaleY(true);
  ProgramState& program = Program();
  if (TWrange* range = program.Wrange; range != nullptr && program.Wrange_alive) {
    range->SetPressureAutoscale(true);
    range->SetAltitudeAutoscale(true);
    range->SetTemperatureAutoscale(true);
  }
  RefreshView(false);
}

// ---------------------------------------------------------------------------
// Commands

void TWchart::OnShow() {
  RefreshView(true);
}

void TWchart::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The plots are visible by now; they draw what they recorded while hidden.
  OnShow();
}

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

void TWchart::Hide1Click() {
  OnClose();
}

void TWchart::PressureTemperature1Click() {
  View = 0;
  RefreshView(true);
}

void TWchart::AltitudeTemperature1Click() {
  View = 1;
  RefreshView(true);
}

void TWchart::Button1Click() {
  for (Tplot_time* plot : {temperature_plot, pressure_plot, altitude_plot})
    if (plot) plot->ClearContent();
  RefreshView(true);
}

void TWchart::Setupdisplayrange1Click() {
  ProgramState& program = Program();
  if (TWrange* range = program.Wrange; range != nullptr && program.Wrange_alive) {
    // In the reader's units, as the value labels read.
    auto fill = [](QLineEdit* high, QLineEdit* low, const Tplot_time* plot, double (*shown)(double),
                   int decimals) {
      if (plot == nullptr) return;
      high->setText(FormatFixed(shown(plot->GetRangeYHigh()), decimals));
      low->setText(FormatFixed(shown(plot->GetRangeYLow()), decimals));
    };
    fill(range->ed_ph, range->ed_pl, pressure_plot, ShownPressure,
         PressureDecimals(Program().readings.units.pressure));
    fill(range->ed_ah, range->ed_al, altitude_plot, AsItIs, 2);
    fill(range->ed_th, range->ed_tl, temperature_plot, ShownTemperature, 2);
    range->exec();
  }
  // Whatever the dialog did, the view is applied afresh.
  ShownView = View == 0 ? 1 : 0;
  RefreshView(true);
}

// ---------------------------------------------------------------------------
// Picture, clipboard and paper

void TWchart::SetUpPicture() {
  picture.title = "Data recorder";
  picture.background = palette().color(QPalette::Window);
  picture.size = [this] { return Panel2->geometry().united(Panel1->geometry()).size(); };
  picture.render = [this](QPainter& painter) { RenderPicture(painter); };
  picture.header = [this] { return PictureHeader(); };
}

void TWchart::RenderPicture(QPainter& painter) const {
  const QPoint origin = Panel2->pos();
  for (QFrame* panel : {Panel2, Panel1})
    panel->render(&painter, panel->pos() - origin, QRegion(),
                  QWidget::DrawWindowBackground | QWidget::DrawChildren);
}

QString TWchart::PictureHeader() const {
  const Tplot_time* upper = View == 0 ? pressure_plot : altitude_plot;
  if (upper == nullptr || upper->Count() == 0) return "no samples yet";
  const auto oldest = static_cast<std::time_t>(upper->TimeAt(0));
  const auto newest = static_cast<std::time_t>(upper->TimeAt(upper->Count() - 1));
  const QString upper_value =
      View == 0 ? FormatFixed(last_pressure_, 2) + " mbar" : FormatFixed(last_altitude_, 2) + " m";
  return QString::fromStdString(DateTimeText(oldest) + " to " + DateTimeText(newest)) +
         "     Present value: " + upper_value + ", " + FormatFixed(last_temperature_, 2) +
         QString::fromUtf8(" \u00b0C");
}

void TWchart::Savepicture1Click() {
  picture.SaveCommand(Program().dialogs, picture_file_name, pressure_plot->devicePixelRatioF());
}

void TWchart::Copy1Click() {
  picture.CopyCommand(pressure_plot->devicePixelRatioF());
}

void TWchart::Print1Click() {
  picture.PrintCommand(this, Program().dialogs);
}

// ---------------------------------------------------------------------------
// Data log

void TWchart::Storesamplestofile1Click() {
  Dialogs* dialogs = Program().dialogs;
  if (dialogs == nullptr) return;
  std::string name = log_file_name;
  if (!dialogs->SaveFileName(name, "dat", "Begin data logging")) return;
  log_file_name = name;

  // A log still open ends first, so that every way out below leaves the
  // window in its idle state.
  if (IsLogging()) Enddatalogging1Click();

  if (FileExists(name) &&
      !dialogs->Confirm("Warning: File already exists. Do you really want to overwrite it ?")) {
    return;
  }
  // The header documents the module and the settings in force; without the
  // main window there is nothing to document: rows only.
  ProgramState& program = Program();
  TWmain* main_window = program.Wmain_alive ? program.Wmain : nullptr;
  DataLogHeader header;
  if (main_window != nullptr) {
    header.calibration.Clear();
    main_window->GetCalibration(&header.calibration);
    header.local_altitude = main_window->GetParameter(kAltitude);
    header.sampling_n = main_window->GetParameter(kSamplingN);
    header.sampling_ts = main_window->GetParameter(kSamplingTs);
    header.sea_offset = main_window->GetParameter(kSeaOffset);
  }
  Clock* clock = program.clock;
  const std::time_t now = clock != nullptr ? clock->Now() : std::time(nullptr);
  const std::string failed = data_log.Begin(name, main_window != nullptr ? &header : nullptr, now);
  if (!failed.empty()) {
    Enddatalogging1Click();
    dialogs->Error(failed);
    return;
  }
  Storesamplestofile1->setEnabled(false);
  Enddatalogging1->setEnabled(true);
  lb_rec->show();
}

void TWchart::LoggingStopped(const std::string& message) {
  Enddatalogging1Click();
  // No box inside the tick: the measurement goes on behind it.
  auto show = [message] {
    if (Dialogs* dialogs = Program().dialogs) dialogs->Error(message);
  };
  ProgramState& program = Program();
  if (program.Wmain != nullptr && program.Wmain_alive)
    program.Wmain->ShowLater(show);
  else
    QMetaObject::invokeMethod(this, show, Qt::QueuedConnection);
}

void TWchart::Enddatalogging1Click() {
  lb_rec->hide();
  timer_rec->stop();
  Storesamplestofile1->setEnabled(true);
  Enddatalogging1->setEnabled(false);
  data_log.End();
}

void TWchart::OnTimer() {
  if (IsLogging()) lb_rec->show();
  timer_rec->stop();
}

void TWchart::OnDestroy() {
  if (timer_rec != nullptr) timer_rec->stop();
  data_log.End();
}
