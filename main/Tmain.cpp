// The main window: construction, the placement of every control, the shape
// helper and the display operations of both pages.

#include "main/Tmain.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "assets/Assets.h"
#include "atmosphere/Altitude.h"
#include "chart/Tchart.h"
#include "components/Lcd_bar.h"
#include "components/Picture.h"
#include "components/UiStyle.h"
#include "components/Value_label.h"
#include "components/Window_place.h"
#include "main/Program.h"
#include "windows/Tsmall.h"

namespace {

const QString kDegree = QString(QChar(0xB0));

const QColor kMinColor(0, 0, 255);
const QColor kMaxColor(255, 0, 0);
const QColor kGlassColor(212, 240, 240);
const QColor kAltitudePanelColor(0, 128, 128);
const QColor kTrendTextColor(128, 0, 128);
const QColor kStormColor(208, 0, 0);

// Truncates toward zero into an int; values beyond the int range saturate
// and NaN gives 0, so no out-of-range conversion can happen.
int TruncToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int>(value);
}

// ---- Placement helpers: every control at its given position and size ----

QLabel* Place(QLabel* label, int x, int y, int w, int h, Qt::Alignment align) {
  label->setGeometry(x, y, w, h);
  label->setAlignment(align);
  return label;
}

// A fixed text.
QLabel* Text(QWidget* parent, int x, int y, int w, int h, const QString& text,
             Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
  return Place(new QLabel(text, parent), x, y, w, h, align);
}

QLabel* Text(QWidget* parent, int x, int y, int w, int h, const QString& text, const QFont& font,
             Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
  QLabel* label = Text(parent, x, y, w, h, text, align);
  label->setFont(font);
  return label;
}

// A text the displays rewrite while the program runs: it repaints alone.
// Its size is fixed, so a new text does not ask its panel for a new layout.
QLabel* LiveText(QWidget* parent, int x, int y, int w, int h, const QString& text,
                 Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
  QLabel* label = Place(new Tvalue_label(text, parent), x, y, w, h, align);
  label->setFixedSize(w, h);
  return label;
}

QLabel* LiveText(QWidget* parent, int x, int y, int w, int h, const QString& text,
                 const QFont& font, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
  QLabel* label = LiveText(parent, x, y, w, h, text, align);
  label->setFont(font);
  return label;
}

// A right-aligned value, "--" until the first one is shown.
QLabel* Value(QWidget* parent, int x, int y, int w, int h, const QFont& font,
              const QColor& color = QColor()) {
  QLabel* label = LiveText(parent, x, y, w, h, "--", font, Qt::AlignRight | Qt::AlignVCenter);
  if (color.isValid()) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
  }
  return label;
}

QLabel* Picture(QWidget* parent, int x, int y, int w, int h, const char* asset,
                bool hidden = true) {
  QLabel* label = new Tpicture(QString::fromLatin1(asset), parent);
  label->setGeometry(x, y, w, h);
  label->setVisible(!hidden);
  return label;
}

QFrame* Panel(QWidget* parent, int x, int y, int w, int h, QFrame::Shadow shadow = QFrame::Sunken) {
  auto* frame = new QFrame(parent);
  frame->setGeometry(x, y, w, h);
  SetPanelFrame(frame, shadow == QFrame::Sunken);
  return frame;
}

QGroupBox* Group(QWidget* parent, int x, int y, int w, int h, const QString& title) {
  auto* group = new QGroupBox(title, parent);
  group->setGeometry(x, y, w, h);
  return group;
}

void SetBackground(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, color);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void SetTextColor(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, color);
  widget->setPalette(palette);
}

void SetTop(QWidget* widget, int top) {
  widget->move(widget->x(), top);
}

}  // namespace

// ---------------------------------------------------------------------------
// TShape

namespace {

// A rectangle in an opaque colour covers all its pixels: declared opaque,
// it repaints (and moves, and grows) without repainting what lies beneath
// it, as the mercury column does whenever the temperature moves it.
void DeclareOpaque(TShape* shape) {
  shape->setAttribute(Qt::WA_OpaquePaintEvent, shape->ShapeKind() == TShape::Kind::Rectangle &&
                                                   shape->BrushColor().alpha() == 255);
}

}  // namespace

TShape::TShape(Kind kind, const QColor& brush, QWidget* parent)
    : QWidget(parent), kind_(kind), brush_(brush) {
  DeclareOpaque(this);
}

void TShape::SetBrushColor(const QColor& color) {
  if (color == brush_) return;
  brush_ = color;
  DeclareOpaque(this);
  update();
}

void TShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  switch (kind_) {
    case Kind::Rectangle:
      painter.fillRect(rect(), brush_);
      break;
    case Kind::Circle: {
      const int d = std::min(width(), height());
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setPen(Qt::NoPen);
      painter.setBrush(brush_);
      painter.drawEllipse(QRect((width() - d) / 2, (height() - d) / 2, d, d));
      break;
    }
    case Kind::TopLine:
      painter.fillRect(0, 0, width(), 1, QColor(64, 64, 64));
      painter.fillRect(0, 1, width(), 1, QColor(255, 255, 255));
      break;
  }
}

// ---------------------------------------------------------------------------
// Construction and layout

Tstation& TWmain::StationFor(std::unique_ptr<Tstation>& own) {
  ProgramState& program = Program();
  if (program.station != nullptr) return *program.station;
  static SystemClock fallback_clock;
  own = std::make_unique<Tstation>(program.clock ? *program.clock : fallback_clock);
  if (program.sensor) own->UseSensor(program.sensor);
  own->UseRecord(program.archive);
  program.station = own.get();
  return *own;
}

TWmain::TWmain(QWidget* parent)
    : QMainWindow(parent),
      station(StationFor(own_station_)),
      meteo(station.meteo),
      storm(station.storm),
      p_sea_min(station.p_sea_min),
      p_sea_max(station.p_sea_max),
      alt_min(station.alt_min),
      alt_max(station.alt_max),
      t_min(station.t_min),
      t_max(station.t_max),
      alt_offset(station.alt_offset),
      sea_offset(station.sea_offset),
      p_sea(station.p_sea),
      alt_setting(station.alt_setting),
      p_ref(station.p_ref),
      p_std(station.p_std),
      p_local(station.p_local),
      t_local(station.t_local),
      altitude_applied(station.altitude_applied),
      has_good_sample(station.has_good_sample),
      last_sample_good(station.last_sample_good),
      loading_settings(station.loading_settings),
      sample_after_loading(station.sample_after_loading),
      minmax_started(station.minmax_started),
      archive_refill_pending(station.archive_refill_pending),
      storm_replay_pending(station.storm_replay_pending),
      starting_(station.starting),
      settings_applied_pending_(station.settings_applied_pending) {
  setWindowTitle("NORVATECH's Barometer");
  // Wherever it shows, it shows wholly on a screen.
  new Twindow_place(this);
  setWindowIcon(AssetIcon("app_icon"));
  setFont(ArialFont(11));
  BuildLayout();
  BuildMenu();
  // The client area is fixed; the window is as large as it and the menu bar.
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &TWmain::OnTimer);

  minimized = false;
  save_on_exit = true;
  ShowAutosaveCheck();
  // The window shows the station: its samples, its derived values when a
  // setting changes them, and the weather object's history and trend; a
  // new ts takes its sample through this window's timer.
  station.SetMeteoDisplay(this);
  station.AddSink(this, SinkOrder::kView);
  station.AddSink(&storm_notice, SinkOrder::kStorm);
  station.on_derived = [this] { ShowDerived(); };
  station.tick_now = [this] { OnTimer(); };
  Program().readings = LoadReadingSettings(Program().ini);
  const ReadingSettings& readings = Program().readings;
  station.SetCorrections(readings.pressure_correction, readings.temperature_correction);
  storm.SetEnabled(readings.storm_warning);
  storm.SetThreshold(readings.storm_threshold);
  ShowUnitChecks();
  Program().Wmain_alive = true;
}

TWmain::~TWmain() {
  Timer1->stop();
  // Nothing may reach this window once it is going.
  if (Program().Wmain == this) Program().Wmain_alive = false;
  station.SetMeteoDisplay(nullptr);
  station.RemoveSink(this);
  station.RemoveSink(&storm_notice);
  station.on_derived = nullptr;
  Tstation* own = &station;
  station.tick_now = [own] { own->Tick(); };
  if (own_station_ && Program().station == own_station_.get()) Program().station = nullptr;
}

Tsensor* TWmain::Sensor() const {
  return station.Sensor();
}

TWsmall* TWmain::SmallWindow() {
  return Program().Wsmall && Program().Wsmall_alive ? Program().Wsmall : nullptr;
}

TWchart* TWmain::ChartWindow() {
  return Program().Wchart && Program().Wchart_alive ? Program().Wchart : nullptr;
}

void TWmain::BuildLayout() {
  client = new QWidget(this);
  client->setFixedSize(655, 396);
  setCentralWidget(client);
  lb_storm = new QLabel(client);
  lb_storm->setGeometry(8, 396, 639, 22);
  lb_storm->setFont(ArialFont(13, true));
  lb_storm->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  SetTextColor(lb_storm, kStormColor);
  lb_storm->hide();

  BuildTopLine(client);
  BuildRightColumn(client);

  PageControl1 = new QTabWidget(client);
  PageControl1->setGeometry(8, 40, 489, 353);
  sheet_p = new QWidget;
  sheet_a = new QWidget;
  PageControl1->addTab(sheet_p, "Barometer mode");
  PageControl1->addTab(sheet_a, "Altimeter mode");
  BuildBarometerPage(sheet_p);
  BuildAltimeterPage(sheet_a);
}

void TWmain::BuildTopLine(QWidget* parent) {
  QFrame* line = Panel(parent, 8, 6, 489, 28);
  Text(line, 8, 6, 120, 16, "Local Altitude Setup", ArialFont(11, true));
  lb_alti = Value(line, 128, 6, 57, 16, ArialFont(11, true));
  Text(line, 189, 6, 40, 16, "[meter]");
  lb_altifeet = Value(line, 230, 6, 57, 16, ArialFont(11, true));
  Text(line, 291, 6, 36, 16, "[feet]");
  Text(line, 340, 6, 22, 16, "D1 :");
  lb_d1 = Value(line, 362, 6, 44, 16, ArialFont(11));
  Text(line, 416, 6, 22, 16, "D2 :");
  lb_d2 = Value(line, 438, 6, 44, 16, ArialFont(11));
}

void TWmain::BuildRightColumn(QWidget* parent) {
  gb_pressure = Group(parent, 504, 0, 145, 49, "Current local pressure");
  lbpressure = Value(gb_pressure, 6, 18, 95, 26, ArialFont(22, true));
  lbpressure->setText("0.00");  // what p_shown starts with
  lb_pressure_unit = Text(gb_pressure, 105, 25, 36, 16, "mbar");

  gb_temperature = Group(parent, 504, 56, 145, 337, "Temperature");
  QWidget* g = gb_temperature;
  img_scale = Picture(g, 24, 32, 41, 161, "thermo_scale", false);
  verre3 = new TShape(TShape::Kind::Circle, kGlassColor, g);
  verre3->setGeometry(64, 16, 25, 25);
  verre1 = new TShape(TShape::Kind::Rectangle, kGlassColor, g);
  verre1->setGeometry(64, 32, 25, 169);
  verre2 = new TShape(TShape::Kind::Circle, kGlassColor, g);
  verre2->setGeometry(48, 192, 57, 49);
  mercure2 = new TShape(TShape::Kind::Circle, QColor(255, 0, 0), g);
  mercure2->setGeometry(56, 200, 41, 33);
  mercure = new TShape(TShape::Kind::Rectangle, QColor(255, 0, 0), g);
  mercure->setGeometry(72, 184, 9, 25);

  lbcelsius = LiveText(g, 6, 248, 133, 18, "--", ArialFont(15, true), Qt::AlignCenter);
  lbfarenheit = LiveText(g, 6, 268, 133, 16, "--", ArialFont(13), Qt::AlignCenter);
  QFrame* minmax = Panel(g, 8, 292, 129, 39);
  Text(minmax, 6, 3, 26, 16, "min");
  lb_tmin = Value(minmax, 30, 3, 93, 16, ArialFont(11, true), kMinColor);
  Text(minmax, 6, 20, 26, 16, "max");
  lb_tmax = Value(minmax, 30, 20, 93, 16, ArialFont(11, true), kMaxColor);
}

void TWmain::BuildBarometerPage(QWidget* page) {
  QGroupBox* meteo_group = Group(page, 8, 0, 209, 321, "Meteorological Situation");
  Panel4 = Panel(meteo_group, 8, 16, 193, 193);
  SetBackground(Panel4, QColor(248, 250, 252));
  img_sunny = Picture(Panel4, 8, 8, 177, 177, "weather_sunny");
  img_variable = Picture(Panel4, 8, 8, 177, 177, "weather_variable");
  img_couvert = Picture(Panel4, 8, 8, 177, 177, "weather_overcast");
  img_rainy = Picture(Panel4, 8, 8, 177, 177, "weather_rainy");
  img_rainsnow = Picture(Panel4, 8, 8, 177, 177, "weather_rainsnow");
  img_snow = Picture(Panel4, 8, 8, 177, 177, "weather_snow");
  Panel5 = LiveText(meteo_group, 8, 214, 193, 30, "", ArialFont(16, true), Qt::AlignCenter);
  SetPanelFrame(Panel5, true);
  Text(meteo_group, 10, 250, 60, 14, "trend");
  pl_trend = LiveText(meteo_group, 8, 266, 193, 46, "", ArialFont(11), Qt::AlignCenter);
  SetPanelFrame(pl_trend, true);
  pl_trend->setWordWrap(true);
  SetTextColor(pl_trend, kTrendTextColor);

  QFrame* sea = Panel(page, 248, 24, 217, 145, QFrame::Raised);
  Text(sea, 10, 8, 200, 18, "Pressure at sea level :", ArialFont(13, true));
  lbpresssea = Value(sea, 8, 34, 157, 38, ArialFont(32, true));
  lb_sea_unit = Text(sea, 169, 48, 40, 18, "mbar", ArialFont(13));
  QFrame* sea_minmax = Panel(sea, 8, 86, 201, 49);
  Text(sea_minmax, 8, 5, 30, 18, "min", ArialFont(13));
  lb_pmin = Value(sea_minmax, 40, 5, 153, 18, ArialFont(13, true), kMinColor);
  Text(sea_minmax, 8, 25, 30, 18, "max", ArialFont(13));
  lb_pmax = Value(sea_minmax, 40, 25, 153, 18, ArialFont(13, true), kMaxColor);

  QFrame* history = Panel(page, 232, 184, 233, 137, QFrame::Raised);
  Text(history, 8, 4, 217, 18, "Historical Pressure Trend ", ArialFont(12, true));
  // Oldest on the left, the present hour on the right.
  const char* const captions[6] = {"-16 h", "-8 h", "-4 h", "-2 h", "-1h", "actual"};
  Tlcd_bar** bars[6] = {&pb16, &pb8, &pb4, &pb2, &pb1, &pb0};
  for (int i = 0; i < 6; ++i) {
    const int x = 10 + i * 32;
    auto* bar = new Tlcd_bar(history);
    bar->setGeometry(x, 28, 27, 47);
    bar->Set_Enable(true);
    bar->Set_LowRange(995.0);
    bar->Set_HighRange(1025.0);
    bar->Set_NbrSegments(7);
    bar->Set_FGColor(QColor(128, 128, 0));
    bar->Set_BDColor(QColor(128, 128, 128));
    bar->Set_Value(1020.0);
    *bars[i] = bar;
    Text(history, x - 4, 78, 35, 14, captions[i], ArialFont(10), Qt::AlignCenter);
  }
  Text(history, 8, 104, 62, 18, "Variation :");
  lb_var = Value(history, 68, 104, 64, 18, ArialFont(11, true));
  lb_var_unit = Text(history, 136, 104, 70, 18, "[mbar/h]");
  // Trend arrows beside the bars; the trend is told by the text instead.
  img_unch = Picture(history, 198, 28, 33, 33, "trend_unch");
  img_quick_up = Picture(history, 206, 28, 17, 33, "trend_quick_up");
  img_slow_up = Picture(history, 206, 28, 17, 33, "trend_slow_up");
  img_slow_down = Picture(history, 206, 28, 17, 33, "trend_slow_down");
  img_quick_down = Picture(history, 206, 28, 17, 33, "trend_quick_down");
}

void TWmain::BuildAltimeterPage(QWidget* page) {
  QGroupBox* group = Group(page, 8, 16, 473, 297, "Altitude");

  altipanel = Panel(group, 8, 28, 297, 221);
  altipanel->setFrameStyle(QFrame::NoFrame);
  SetBackground(altipanel, kAltitudePanelColor);
  SetTextColor(altipanel, Qt::white);
  altipanel->setFont(ArialFont(11, true));
  mountlow = Picture(altipanel, 88, 8, 201, 201, "mount_low");
  mountmid = Picture(altipanel, 89, 8, 200, 201, "mount_mid");
  mounthigh = Picture(altipanel, 89, 8, 200, 201, "mount_high");
  lbbottom = LiveText(altipanel, 32, 192, 52, 14, "");
  lbtop = LiveText(altipanel, 32, 4, 52, 14, "");
  shparrow = new TShape(TShape::Kind::Rectangle, QColor(255, 0, 0), altipanel);
  shparrow->setGeometry(14, 140, 5, 69);
  imgup = Picture(altipanel, 8, 124, 17, 17, "arrow_up", false);
  imgdown = Picture(altipanel, 8, 408, 17, 17, "arrow_down", false);
  bvl1 = new TShape(TShape::Kind::TopLine, QColor(), altipanel);
  bvl1->setGeometry(8, 124, 72, 2);
  bvl_base = new TShape(TShape::Kind::TopLine, QColor(), altipanel);
  bvl_base->setGeometry(8, 208, 72, 2);

  QGroupBox* current = Group(group, 312, 24, 153, 137, "Current altitude");
  lbmeter = Value(current, 6, 28, 92, 30, ArialFont(24, false, true));
  Text(current, 102, 38, 46, 16, "meters");
  lbfeet = Value(current, 6, 78, 92, 30, ArialFont(24, false, true));
  Text(current, 102, 88, 46, 16, "feet");

  QFrame* minmax = Panel(group, 312, 192, 153, 57);
  Text(minmax, 8, 8, 30, 18, "min", ArialFont(13));
  lb_amin = Value(minmax, 38, 8, 107, 18, ArialFont(13, true), kMinColor);
  Text(minmax, 8, 30, 30, 18, "max", ArialFont(13));
  lb_amax = Value(minmax, 38, 30, 107, 18, ArialFont(13, true), kMaxColor);
}

// ---------------------------------------------------------------------------
// Displays

void TWmain::InitDisplays() {
  mountlow->hide();
  mountmid->hide();
  mounthigh->hide();
  for (QLabel* picture : {img_sunny, img_variable, img_couvert, img_rainy, img_rainsnow, img_snow})
    picture->hide();
  if (TWsmall* small = SmallWindow()) {
    for (QLabel* picture :
         {small->img_sunny, small->img_variable, small->img_couvert, small->img_rainy,
          small->img_rainsnow, small->img_snow, small->img_quick_up, small->img_slow_up,
          small->img_unch, small->img_slow_down, small->img_quick_down})
      picture->hide();
  }
  InitAltitudeDisplay();
  InitTemperatureDisplay();
  shown_weather = WeatherNone;
  shown_trend = 5;
  PageControl1->setTabText(0, "Barometer mode");
  PageControl1->setTabText(1, "Altimeter mode");
}

void TWmain::InitAltitudeDisplay() {
  SetTop(lbtop, 8);
  // The station applies 0 m at the next sample, and shows the weather anew.
  station.ResetForDetection();
  px_per_m = 1.0;
  range_index = -1;
  alt_shown = kNothingShown;
  ShowAltitude(0);
}

void TWmain::InitTemperatureDisplay() {
  verre1->SetBrushColor(kGlassColor);
  verre2->SetBrushColor(kGlassColor);
  verre3->SetBrushColor(kGlassColor);
  t_shown = kNothingShown;
  ShowTemperature(20.0);
}

void TWmain::ShowPressure(double p) {
  if (std::isnan(p) || p < 0) p = 0;
  if (p > 2000) p = 2000;
  if (p == p_shown) return;
  p_shown = p;
  lbpressure->setText(PressureText(p, Program().readings.units.pressure));
}

void TWmain::ShowTemperature(double t) {
  if (t == t_shown) return;
  t_shown = t;

  double tc = t;
  if (std::isnan(tc) || tc < -13) tc = -13;
  if (tc > 63) tc = 63;
  // -6 at -13 degrees, 0 at -10, 151 at 63: the column's lower end stays
  // at 209, inside the bulb.
  const int h = TruncToInt((tc + 10) * 2.08);
  mercure->setGeometry(mercure->x(), 184 - h, mercure->width(), h + 25);

  lbcelsius->setText(FormatFixed(t, 2) + " " + kDegree + "C");
  if (TWsmall* small = SmallWindow())
    small->ShowTemperature(t, Program().readings.units.temperature);
  lbfarenheit->setText(FormatFixed(t * 1.8 + 32, 2) + " " + kDegree + "F");

  // Bluish when cold, greenish in the middle, red when hot.
  const int c = std::clamp(h + 64, 0, 255);
  const int g = std::clamp(c > 127 ? 512 - 2 * c : 2 * c, 0, 255);
  const QColor colour(c, g, 255 - c);
  mercure->SetBrushColor(colour);
  mercure2->SetBrushColor(colour);
}

void TWmain::ShowAltitude(double a) {
  a = ShownAltitude(a);
  if (a == alt_shown) return;
  const double previous = alt_shown;
  alt_shown = a;

  const int range = a < 2000 ? 0 : (a < 6000 ? 1 : 2);
  if (range != range_index || previous == kNothingShown) {
    QLabel* const pictures[3] = {mountlow, mountmid, mounthigh};
    static const double bottoms[3] = {-1000, 2000, 6000};
    static const double tops[3] = {2000, 6000, 10000};
    if (range_index >= 0 && range_index <= 2) pictures[range_index]->hide();
    pictures[range]->show();
    scale_bottom = bottoms[range];
    lbbottom->setText(FormatFixed(scale_bottom, 0) + " m");
    range_index = range;
    double span = tops[range] - bottoms[range];
    if (span == 0) span = 0.00001;
    px_per_m = 200 / span;
  }

  lbtop->setText(FormatFixed(a, 0) + " m");
  lbmeter->setText(FormatFixed(a, 0));
  lbfeet->setText(FormatFixed(a * kFeetPerMetre, 0));

  // The range maps onto 200 pixels: y = 224 at its bottom, 24 at its top.
  const int h = TruncToInt((a - scale_bottom) * px_per_m);
  const int y = 224 - h;
  SetTop(bvl1, y);
  SetTop(lbtop, y - 16);
  if (h > 32) {
    SetTop(imgup, y);
    SetTop(imgdown, 408);
    shparrow->setGeometry(shparrow->x(), y + 16, shparrow->width(), h - 31);
    shparrow->show();
  } else {
    SetTop(imgdown, y - 15);
    SetTop(imgup, 223);
    if (h > 0) {
      shparrow->setGeometry(shparrow->x(), y, shparrow->width(), h + 1);
      shparrow->show();
    } else {
      shparrow->hide();
    }
  }
}

void TWmain::ShowWeather() {
  const WeatherClass weather = station.Weather();
  const Precipitation precipitation = station.PrecipitationKind();
  if (weather == shown_weather && precipitation == shown_precipitation) return;
  TWsmall* small = SmallWindow();
  if (!small) return;
  if (weather == WeatherNone) return;  // no assessment: text unchanged, nothing shown

  for (QLabel* picture : {img_sunny, img_variable, img_couvert, img_rainy, img_rainsnow, img_snow,
                          small->img_sunny, small->img_variable, small->img_couvert,
                          small->img_rainy, small->img_rainsnow, small->img_snow})
    picture->hide();

  shown_weather = weather;
  shown_precipitation = precipitation;
  QLabel* main_picture = nullptr;
  QLabel* small_picture = nullptr;
  switch (weather) {
    case WeatherSunny:
      main_picture = img_sunny, small_picture = small->img_sunny;
      break;
    case WeatherVariable:
      main_picture = img_variable, small_picture = small->img_variable;
      break;
    case WeatherOvercast:
      main_picture = img_couvert, small_picture = small->img_couvert;
      break;
    default:
      // Rain or snow, as the station chose it when the weather became
      // precipitation.
      if (precipitation == Precipitation::kSnow)
        main_picture = img_snow, small_picture = small->img_snow;
      else if (precipitation == Precipitation::kRainAndSnow)
        main_picture = img_rainsnow, small_picture = small->img_rainsnow;
      else
        main_picture = img_rainy, small_picture = small->img_rainy;
      break;
  }
  main_picture->show();
  small_picture->show();
  Panel5->setText(WeatherText(weather, precipitation));
}

Tlcd_bar* TWmain::HistoryBar(int index) const {
  switch (index) {
    case 0:
      return pb0;
    case 1:
      return pb1;
    case 2:
      return pb2;
    case 4:
      return pb4;
    case 8:
      return pb8;
    case 16:
      return pb16;
    default:
      return nullptr;
  }
}

void TWmain::ShowHistoryRange(double low, double high) {
  for (Tlcd_bar* bar : {pb0, pb1, pb2, pb4, pb8, pb16}) {
    // The bars' scale begins half a segment below the history's lowest
    // value, so that the lowest bar still shows as a bar (one segment)
    // rather than as no bar at all; the highest still fills every segment.
    const int segments = std::max(bar->NbrOfSegments(), 1);
    bar->Set_LowRange(low - (high - low) / (2.0 * segments));
    bar->Set_HighRange(high);
  }
}

void TWmain::ShowHistoryBar(int index, double value) {
  Tlcd_bar* bar = HistoryBar(index);
  if (!bar) return;
  if (value == -1) {
    bar->Set_Enable(false);
  } else {
    bar->Set_Enable(true);
    bar->Set_Value(value);
  }
}

void TWmain::ShowTrend(TrendClass trend, double variation) {
  variation_shown = variation;
  const PressureUnit unit = Program().readings.units.pressure;
  lb_var->setText(FormatFixed(PressureIn(unit, variation), VariationDecimals(unit)));
  if (trend == shown_trend) return;
  TWsmall* small = SmallWindow();
  if (!small) return;

  QLabel* const arrows[5] = {small->img_quick_down, small->img_slow_down, small->img_unch,
                             small->img_quick_up, small->img_slow_up};
  if (trend > TrendSlowUp) return;  // not a trend class
  if (shown_trend < 5) arrows[shown_trend]->hide();
  shown_trend = trend;
  pl_trend->setText(TrendText(trend));
  arrows[trend]->show();
}
