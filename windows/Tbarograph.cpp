#include "windows/Tbarograph.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHideEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <algorithm>
#include <cstdio>
#include <utility>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "archive/Tarchive.h"
#include "archive/Tarchive_tendency.h"
#include "atmosphere/Lib_vc.h"
#include "atmosphere/Tendency.h"
#include "components/Client_area.h"
#include "components/Number_text.h"
#include "components/UiStyle.h"
#include "components/Window_fit.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "main/Window_size.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "windows/Barograph_plot.h"

namespace {

constexpr int kPressurePlotHeight = 260;
constexpr int kTemperaturePlotHeight = 100;
const char* const kSpanCaptions[TWbarograph::kSpanCount] = {"24 hours", "3 days", "7 days",
                                                            "30 days"};

QFrame* AddPanel(QWidget* parent, const QRect& geometry) {
  auto* panel = new QFrame(parent);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setGeometry(geometry);
  return panel;
}

QLabel* AddLabel(QWidget* parent, const QRect& geometry, const QFont& font,
                 Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
  auto* label = new QLabel(parent);
  label->setFont(font);
  label->setAlignment(align);
  label->setGeometry(geometry);
  return label;
}

QPushButton* AddButton(QWidget* parent, const QString& caption, const QRect& geometry) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(geometry);
  return button;
}

const DisplayUnits& Units() {
  return Program().readings.units;
}

QString PressureUnitName() {
  return PressureUnitText(Units().pressure);
}

QString TemperatureUnitName() {
  return TemperatureUnitText(Units().temperature);
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

TWbarograph::TWbarograph(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Barograph");
  setFont(ArialFont(11));
  move(200, 80);

  client = new Tclient_area(QSize(810, 598), QSize(kLeastWidth, kLeastHeight), this);
  setCentralWidget(client);

  Panel0 = AddPanel(client, QRect(8, 4, 794, 34));
  const int span_left[kSpanCount] = {6, 80, 144, 208};
  const int span_width[kSpanCount] = {70, 60, 60, 66};
  for (int i = 0; i < kSpanCount; ++i) {
    bt_span[i] = AddButton(Panel0, kSpanCaptions[i], QRect(span_left[i], 4, span_width[i], 25));
    bt_span[i]->setCheckable(true);
    bt_span[i]->setAutoExclusive(true);
    connect(bt_span[i], &QPushButton::clicked, this, [this, i] { SpanClick(i); });
  }
  bt_span[0]->setChecked(true);
  lb_range = AddLabel(Panel0, QRect(280, 4, 290, 25), ArialFont(11, true), Qt::AlignCenter);
  lb_range->setWordWrap(true);
  bt_back = AddButton(Panel0, "< Back", QRect(576, 4, 66, 25));
  bt_now = AddButton(Panel0, "Now", QRect(646, 4, 58, 25));
  bt_forward = AddButton(Panel0, "Forward >", QRect(708, 4, 80, 25));
  connect(bt_back, &QPushButton::clicked, this, [this] { bt_backClick(); });
  connect(bt_now, &QPushButton::clicked, this, [this] { bt_nowClick(); });
  connect(bt_forward, &QPushButton::clicked, this, [this] { bt_forwardClick(); });

  Panel1 = AddPanel(client, QRect(8, 42, 794, 336));
  Label1 = AddLabel(Panel1, QRect(8, 3, 400, 17), ArialFont(13, true));
  Label1->setText("Sea-level pressure [mbar]");
  pressure_plot =
      new Tbarograph_plot(columns, Tbarograph_plot::kPressure, kPressurePlotHeight, true, Panel1);
  pressure_plot->move(4, 22);
  lb_scale =
      AddLabel(Panel1, QRect(556, 2, 44, 19), ArialFont(11), Qt::AlignRight | Qt::AlignVCenter);
  lb_scale->setText("Scale:");
  cb_scale = new QComboBox(Panel1);
  cb_scale->setFont(ArialFont(11));
  cb_scale->setGeometry(604, 1, 182, 20);
  cb_scale->setFocusPolicy(Qt::ClickFocus);

  Panel2 = AddPanel(client, QRect(8, 382, 794, 142));
  Label2 = AddLabel(Panel2, QRect(8, 3, 400, 17), ArialFont(13, true));
  Label2->setText(QString::fromUtf8("Temperature [\u00b0C]"));
  temperature_plot = new Tbarograph_plot(columns, Tbarograph_plot::kTemperature,
                                         kTemperaturePlotHeight, false, Panel2);
  temperature_plot->move(4, 22);

  Panel3 = AddPanel(client, QRect(8, 528, 794, 64));
  lb_now = AddLabel(Panel3, QRect(8, 4, 778, 17), ArialFont(11, true));
  lb_tendency = AddLabel(Panel3, QRect(8, 23, 778, 17), ArialFont(11));
  lb_cursor = AddLabel(Panel3, QRect(8, 42, 778, 17), ArialFont(11));

  for (Tbarograph_plot* plot : {pressure_plot, temperature_plot})
    plot->on_hover = [this](int column) { ShowCursor(column); };

  BuildMenu();
  LoadScaleChoice();
  connect(cb_scale, &QComboBox::activated, this, [this](int index) { cb_scaleChange(index); });
  SetUpPicture();

  ShowUnits();
  columns.SetRange(Now() + 1, kSpans[span_index]);
  LayOut();
  client->on_resize = [this] { LayOut(); };
  // The size the user last gave the window, else the first one.
  resize(sizeHint());
  (new Twindow_size(this, "barograph_width", "barograph_height"))->Restore();
  // Within the screen it opens on, whatever size that is.
  new Twindow_fit(this);
  ShowRangeText();
  UpdateButtons();
  ShowCursor(-1);
  // A view of the program's station.
  station_ = Program().station;
  if (station_ != nullptr) station_->AddSink(this, SinkOrder::kView);
  Program().Wbarograph_alive = true;
}

void TWbarograph::LayOut() {
  // At the first size, 810 x 598, everything stands where it always stood
  // and the plots are 720 columns wide. Of the height beyond it, three
  // quarters go to the pressure, the rest to the temperature.
  const int w = std::max(client->width(), kLeastWidth);
  const int h = std::max(client->height(), kLeastHeight);
  const int panel_width = w - 16;
  const int extra = h - 598;
  const int pressure_extra = extra * 3 / 4;
  const int temperature_extra = extra - pressure_extra;
  Panel0->setGeometry(8, 4, panel_width, 34);
  lb_range->setGeometry(280, 4, panel_width - 504, 25);
  bt_back->move(panel_width - 218, 4);
  bt_now->move(panel_width - 148, 4);
  bt_forward->move(panel_width - 86, 4);
  Panel1->setGeometry(8, 42, panel_width, 336 + pressure_extra);
  lb_scale->move(panel_width - 238, 2);
  cb_scale->move(panel_width - 190, 1);
  Panel2->setGeometry(8, Panel1->geometry().bottom() + 5, panel_width, 142 + temperature_extra);
  Panel3->setGeometry(8, h - 70, panel_width, 64);
  for (QLabel* label : {lb_now, lb_tendency, lb_cursor})
    label->resize(panel_width - 16, label->height());

  // One column per pixel of the plot's width.
  const int count = panel_width - 8 - Tbarograph_plot::kLeft - Tbarograph_plot::kRight;
  const bool new_count = count != columns.Count();
  if (new_count) columns.SetCount(count);
  pressure_plot->SetPlotSize(kPressurePlotHeight + pressure_extra);
  temperature_plot->SetPlotSize(kTemperaturePlotHeight + temperature_extra);
  // The columns of the new width come from the record (only while shown:
  // hidden, the window reads nothing until it shows).
  if (new_count && isVisible()) Reload();
}

void TWbarograph::BuildMenu() {
  MainMenu1 = menuBar();
  File1 = MainMenu1->addMenu("File");
  Savepicture1 = File1->addAction("Save picture...");
  Savepicture1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  Copy1 = File1->addAction("Copy");
  Copy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  Print1 = File1->addAction("Print...");
  Print1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  connect(Savepicture1, &QAction::triggered, this, [this] { Savepicture1Click(); });
  connect(Copy1, &QAction::triggered, this, [this] { Copy1Click(); });
  connect(Print1, &QAction::triggered, this, [this] { Print1Click(); });
  File1->addSeparator();
  Exportshownrange1 = File1->addAction("Export shown range...");
  Exportshownrange1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  File1->addSeparator();
  Close1 = File1->addAction("Close");
  Close1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));

  View1 = MainMenu1->addMenu("View");
  for (int i = 0; i < kSpanCount; ++i) {
    Span1[i] = View1->addAction(kSpanCaptions[i]);
    Span1[i]->setShortcut(QKeySequence(Qt::Key_1 + i));
    connect(Span1[i], &QAction::triggered, this, [this, i] { SpanClick(i); });
  }
  View1->addSeparator();
  Back1 = View1->addAction("Back");
  Back1->setShortcut(QKeySequence(Qt::Key_Left));
  Forward1 = View1->addAction("Forward");
  Forward1->setShortcut(QKeySequence(Qt::Key_Right));
  Now1 = View1->addAction("Now");
  Now1->setShortcut(QKeySequence(Qt::Key_End));
  connect(Back1, &QAction::triggered, this, [this] { bt_backClick(); });
  connect(Forward1, &QAction::triggered, this, [this] { bt_forwardClick(); });
  connect(Now1, &QAction::triggered, this, [this] { bt_nowClick(); });
  AssignMnemonics(MainMenu1);
  connect(Exportshownrange1, &QAction::triggered, this, [this] { Exportshownrange1Click(); });
  connect(Close1, &QAction::triggered, this, [this] { Close1Click(); });
}

TWbarograph::~TWbarograph() {
  if (station_ != nullptr && Program().station == station_) station_->RemoveSink(this);
  if (Program().Wbarograph == this) Program().Wbarograph_alive = false;
}

Tarchive* TWbarograph::Archive() {
  return Program().archive;
}

std::time_t TWbarograph::Now() {
  Clock* clock = Program().clock;
  return clock != nullptr ? clock->Now() : std::time(nullptr);
}

// ---------------------------------------------------------------------------
// The record

void TWbarograph::OnSample(const Sample& sample) {
  // A window going (its flag cleared) takes no more.
  if (Program().Wbarograph == this && !Program().Wbarograph_alive) return;
  if (sample.good) AddSample(sample.time, sample.sea_level_pressure, sample.temperature);
}

void TWbarograph::AddSample(std::time_t t, double sea_level_pressure, double temperature) {
  has_sample_ = true;
  sample_time_ = t;
  sample_pressure_ = sea_level_pressure;
  sample_temperature_ = temperature;
  // Hidden, the window does nothing: showing it reads the record afresh.
  if (!isVisible()) return;

  // A clock set back behind the range: the range is made anew around it.
  if (following && t < columns.Start()) {
    Reload();
    return;
  }
  const int moved = following ? columns.FollowTo(t) : 0;
  bool changed = columns.AddSample(t, sea_level_pressure, temperature);
  const Tarchive* archive = Archive();
  if (moved > 0 || (archive && archive->AltitudeChangeCount() != altitude_changes_shown_)) {
    ShowAltitudeChanges();
    changed = true;
  }
  ShowRangeText();
  if (moved > 0 || changed) {
    pressure_plot->Paint();
    temperature_plot->Paint();
  }
  ShowPresentValue();
  if (TendencyMinuteOf(t) != tendency_minute_) UpdateTendency();
  if (pressure_plot->CursorColumn() >= 0) ShowCursor(pressure_plot->CursorColumn());
}

void TWbarograph::Reload() {
  ShowRangeEnding(following ? Now() + 1 : columns.End());
}

void TWbarograph::ShowRangeEnding(std::time_t end) {
  // Never beyond the present: a range that reaches it follows it.
  const std::time_t now = Now();
  if (end > now) {
    following = true;
    end = now + 1;
  }
  columns.SetRange(end, kSpans[span_index]);
  if (const Tarchive* archive = Archive()) {
    archive->ForEachMinute(columns.FirstMinute(), columns.End(), [this](const TarchiveMinute& m) {
      columns.Add(m.time, m.count, m.sea_level_pressure_min, m.sea_level_pressure_mean,
                  m.sea_level_pressure_max, m.temperature_min, m.temperature_mean,
                  m.temperature_max);
    });
  }
  ShowAltitudeChanges();
  ShowRangeText();
  UpdateButtons();
  pressure_plot->Paint();
  temperature_plot->Paint();
  ShowPresentValue();
  UpdateTendency();
  ShowCursor(pressure_plot->CursorColumn());
}

void TWbarograph::ShowAltitudeChanges() {
  std::vector<int> ticks;
  if (const Tarchive* archive = Archive()) {
    altitude_changes_shown_ = archive->AltitudeChangeCount();
    for (const TarchiveAltitudeChange& change :
         archive->AltitudeChanges(columns.Start(), columns.End()))
      ticks.push_back(columns.ColumnOf(change.time));
  }
  pressure_plot->SetTicks(std::move(ticks));
}

std::time_t TWbarograph::ShownEnd() const {
  // The columns end on a whole column, which lies up to a column ahead of
  // the present while following: the last column holds the present and the
  // range shown ends at the present minute.
  if (!following) return columns.End();
  const std::time_t now = Now();
  const std::time_t minute = now - ((now % 60) + 60) % 60;
  return std::min(columns.End(), minute);
}

void TWbarograph::ShowRangeText() {
  const std::time_t end = ShownEnd();
  lb_range->setText(Tbarograph_plot::TimeText(end - columns.Span()) + "  to  " +
                    Tbarograph_plot::TimeText(end));
}

void TWbarograph::UpdateButtons() {
  bt_forward->setEnabled(!following);
  bt_now->setEnabled(!following);
  Forward1->setEnabled(!following);
  Now1->setEnabled(!following);
}

void TWbarograph::ShowPresentValue() {
  if (!has_sample_) {
    const Tarchive* archive = Archive();
    const std::optional<TarchiveSample> last = archive ? archive->LastSample() : std::nullopt;
    if (!last) {
      lb_now->setText("Present value: --  (nothing recorded yet)");
      return;
    }
    has_sample_ = true;
    sample_time_ = last->time;
    sample_pressure_ = last->sea_level_pressure;
    sample_temperature_ = last->temperature;
  }
  lb_now->setText("Present value: " + PressureText(sample_pressure_, Units().pressure) + " " +
                  PressureUnitName() + ", " +
                  TemperatureText(sample_temperature_, Units().temperature, 1) + " " +
                  TemperatureUnitName() + "  at " + Tbarograph_plot::TimeText(sample_time_));
}

void TWbarograph::UpdateTendency() {
  const ThreeHourTendency t = RecordTendency(Archive(), Now());
  tendency_minute_ = t.minute;
  const QString title = "3-hour tendency: ";
  switch (t.gap) {
    case TendencyGap::NoRecord:
      lb_tendency->setText(title + "--  (no pressure record is kept)");
      return;
    case TendencyGap::NothingRecent:
      lb_tendency->setText(title + "--  (nothing recorded in the last 10 minutes)");
      return;
    case TendencyGap::ShortRecord:
      lb_tendency->setText(title + "--  (less than 3 hours of record: it begins at " +
                           Tbarograph_plot::TimeText(t.at) + ")");
      return;
    case TendencyGap::NoStart:
      lb_tendency->setText(title + "--  (no record around " +
                           Tbarograph_plot::TimeText(t.at, false) + ", 3 hours ago)");
      return;
    case TendencyGap::ClockSetBack:
      lb_tendency->setText(title + "--  (the clock was set back to " +
                           Tbarograph_plot::TimeText(t.at) + ": the record holds that time twice)");
      return;
    case TendencyGap::NoMiddle:
    case TendencyGap::None:
      break;
  }
  const PressureUnit unit = Units().pressure;
  QString text = title + PressureChangeText(t.change, unit, TendencyDecimals(unit)) + " " +
                 PressureUnitName() + " in 3 hours";
  if (t.gap == TendencyGap::NoMiddle)
    text += ", no characteristic: no record around " + Tbarograph_plot::TimeText(t.at, false);
  else
    text += "    " + QString::number(t.code) + ": " + TendencyWords(t.code);
  lb_tendency->setText(text);
}

void TWbarograph::ShowCursor(int column) {
  pressure_plot->SetCursorColumn(column);
  temperature_plot->SetCursorColumn(column);
  column = pressure_plot->CursorColumn();
  if (column < 0) {
    lb_cursor->setText("Point at the chart to read the time and the values there.");
    return;
  }
  const std::time_t from = columns.TimeOf(column);
  const std::time_t to = columns.TimeOf(column + 1);
  QString text = Tbarograph_plot::TimeText(from);
  if (to - from > 60) text += " to " + Tbarograph_plot::TimeText(to, false);
  const Tbarograph_columns::Column& c = columns[column];
  if (c.count == 0) {
    lb_cursor->setText(text + ":  no record");
    return;
  }
  // The mean, and the least and greatest value where they read apart.
  auto values = [](double mean, double least, double greatest, auto text) {
    const QString low = text(least), high = text(greatest);
    return text(mean) + (low != high ? " (" + low + " to " + high + ")" : "");
  };
  const DisplayUnits& units = Units();
  auto pressure = [&units](double v) { return PressureText(v, units.pressure); };
  auto temperature = [&units](double v) { return TemperatureText(v, units.temperature, 1); };
  lb_cursor->setText(text + ":  " + values(c.PressureMean(), c.p_min, c.p_max, pressure) + " " +
                     PressureUnitName() + ",  " +
                     values(c.TemperatureMean(), c.t_min, c.t_max, temperature) + " " +
                     TemperatureUnitName());
}

// ---------------------------------------------------------------------------
// The pressure scale

namespace {

const char kScaleKey[] = "barograph_scale";
const char kScaleLowKey[] = "barograph_scale_low";
const char kScaleHighKey[] = "barograph_scale_high";
// What a sea-level pressure can be here: the module's range, reduced.
constexpr double kScaleLeast = 300, kScaleMost = 1200;

// A fixed span [mbar] in the reader's unit: whole mbar and hPa as they
// are, other units with their places.
QString SpanText(double low, double high) {
  const PressureUnit unit = Units().pressure;
  auto text = [unit](double v) {
    return MbarPer(unit) == 1.0 ? QString::number(v, 'g', 6) : PressureText(v, unit);
  };
  return text(low) + " to " + text(high) + " " + PressureUnitName();
}

}  // namespace

void TWbarograph::LoadScaleChoice() {
  const Tbarometer_ini& ini = Program().ini;
  const bool fixed = ini.GetChoice(kScaleKey, {"auto", "fixed"}, "auto") == "fixed";
  double low = ini.GetNumber(kScaleLowKey, kScales[0][0], kScaleLeast, kScaleMost);
  double high = ini.GetNumber(kScaleHighKey, kScales[0][1], kScaleLeast, kScaleMost);
  if (!(low < high)) {
    low = kScales[0][0];
    high = kScales[0][1];
  }
  scale_spans_.clear();
  for (const auto& span : kScales) scale_spans_.push_back({span[0], span[1]});
  int chosen = 1;
  for (size_t i = 0; i < scale_spans_.size(); ++i)
    if (scale_spans_[i] == std::make_pair(low, high)) chosen = static_cast<int>(i) + 1;
  // A span of the user's own, from the file, is offered as well.
  if (scale_spans_[static_cast<size_t>(chosen) - 1] != std::make_pair(low, high)) {
    scale_spans_.push_back({low, high});
    chosen = static_cast<int>(scale_spans_.size());
  }
  const QSignalBlocker quiet(cb_scale);
  cb_scale->clear();
  cb_scale->addItem("Auto");
  for (const auto& span : scale_spans_) cb_scale->addItem(SpanText(span.first, span.second));
  cb_scale->setCurrentIndex(fixed ? chosen : 0);
  if (fixed)
    pressure_plot->SetFixedScale(low, high);
  else
    pressure_plot->SetAutoScale();
}

void TWbarograph::ShowUnits() {
  const DisplayUnits& units = Units();
  Label1->setText("Sea-level pressure [" + PressureUnitName() + "]");
  Label2->setText("Temperature [" + TemperatureUnitName() + "]");
  pressure_plot->SetUnit(1.0 / MbarPer(units.pressure), 0, PressureDecimals(units.pressure));
  const bool fahrenheit = units.temperature == TemperatureUnit::Fahrenheit;
  temperature_plot->SetUnit(fahrenheit ? 1.8 : 1.0, fahrenheit ? 32.0 : 0.0, 1);
  for (size_t i = 0; i < scale_spans_.size(); ++i)
    cb_scale->setItemText(static_cast<int>(i) + 1,
                          SpanText(scale_spans_[i].first, scale_spans_[i].second));
  // Hidden, it shows them when it is shown next.
  if (!isVisible()) return;
  ShowPresentValue();
  UpdateTendency();
  ShowCursor(pressure_plot->CursorColumn());
}

void TWbarograph::cb_scaleChange(int index) {
  if (index < 0 || index > static_cast<int>(scale_spans_.size())) return;
  if (cb_scale->currentIndex() != index) cb_scale->setCurrentIndex(index);
  Tbarometer_ini& ini = Program().ini;
  if (index == 0) {
    pressure_plot->SetAutoScale();
    ini.Set(kScaleKey, "auto");
  } else {
    const auto& span = scale_spans_[static_cast<size_t>(index) - 1];
    pressure_plot->SetFixedScale(span.first, span.second);
    ini.Set(kScaleKey, "fixed");
    ini.SetNumber(kScaleLowKey, span.first);
    ini.SetNumber(kScaleHighKey, span.second);
  }
  if (!ini.Save() && Program().dialogs != nullptr)
    Program().dialogs->Error("Error : Unable to save " + ini.Path() + ": " + ini.LastError());
}

// ---------------------------------------------------------------------------
// Commands

void TWbarograph::SpanClick(int index) {
  if (index < 0 || index >= kSpanCount) return;
  span_index = index;
  bt_span[index]->setChecked(true);
  // A range away from the present keeps its end.
  ShowRangeEnding(following ? Now() + 1 : columns.End());
}

void TWbarograph::bt_backClick() {
  following = false;
  ShowRangeEnding(columns.End() - columns.Span());
}

void TWbarograph::bt_forwardClick() {
  ShowRangeEnding(columns.End() + columns.Span());
}

void TWbarograph::bt_nowClick() {
  following = true;
  Reload();
}

void TWbarograph::OnShow() {
  Reload();
}

void TWbarograph::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  // Closed (not minimised): the pictures go, and with them the memory the
  // month of minutes they were drawn from took; showing the window reads
  // the record afresh.
  if (event->spontaneous()) return;
  if (pressure_plot) pressure_plot->Release();
  if (temperature_plot) temperature_plot->Release();
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

void TWbarograph::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  OnShow();
}

void TWbarograph::OnClose() {
  hide();
}

void TWbarograph::closeEvent(QCloseEvent* event) {
  event->ignore();
  OnClose();
}

void TWbarograph::Close1Click() {
  OnClose();
}

// ---------------------------------------------------------------------------
// Picture, clipboard and paper

void TWbarograph::RenderPicture(QPainter& painter) const {
  // The scale chooser is a control, not part of the chart.
  const bool chooser = !cb_scale->isHidden();
  lb_scale->hide();
  cb_scale->hide();
  const QPoint origin = Panel1->pos();
  for (QFrame* panel : {Panel1, Panel2, Panel3})
    panel->render(&painter, panel->pos() - origin, QRegion(),
                  QWidget::DrawWindowBackground | QWidget::DrawChildren);
  if (chooser) {
    lb_scale->show();
    cb_scale->show();
  }
}

void TWbarograph::SetUpPicture() {
  picture.title = "Barograph";
  picture.background = palette().color(QPalette::Window);
  picture.size = [this] { return Panel1->geometry().united(Panel3->geometry()).size(); };
  picture.render = [this](QPainter& painter) { RenderPicture(painter); };
  picture.header = [this] { return lb_range->text() + "     " + lb_now->text(); };
}

QImage TWbarograph::Picture(qreal ratio) const {
  return picture.Picture(ratio);
}

bool TWbarograph::SavePicture(const std::string& name) const {
  return picture.Save(name, pressure_plot->PixelRatio());
}

void TWbarograph::Savepicture1Click() {
  picture.SaveCommand(Program().dialogs, picture_file_name, pressure_plot->PixelRatio());
}

void TWbarograph::Copy1Click() {
  picture.CopyCommand(pressure_plot->PixelRatio());
}

bool TWbarograph::PrintTo(QPrinter& printer) const {
  return picture.PrintTo(printer);
}

void TWbarograph::Print1Click() {
  picture.PrintCommand(this, Program().dialogs);
}

// ---------------------------------------------------------------------------
// Export

std::string TWbarograph::IsoLocalTime(std::time_t t) {
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return std::string();
  const long offset_minutes = local.tm_gmtoff / 60;
  const long hours = (offset_minutes < 0 ? -offset_minutes : offset_minutes) / 60;
  const long minutes = (offset_minutes < 0 ? -offset_minutes : offset_minutes) % 60;
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                static_cast<long long>(local.tm_year) + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec, offset_minutes < 0 ? '-' : '+', hours,
                minutes);
  return text;
}

void TWbarograph::Exportshownrange1Click() {
  Dialogs* dialogs = Program().dialogs;
  if (dialogs == nullptr) return;
  const Tarchive* archive = Archive();
  if (archive == nullptr) {
    dialogs->Error("Error : There is no pressure record to export");
    return;
  }
  std::string name = export_file_name;
  if (!dialogs->SaveFileName(name, "csv", "Export shown range")) return;
  export_file_name = name;
  if (FileExists(name) &&
      !dialogs->Confirm("Warning: File already exists. Do you really want to overwrite it ?"))
    return;
  if (!WriteExport(*archive, name)) dialogs->Error("Error : Unable to write output file " + name);
}

bool TWbarograph::WriteExport(const Tarchive& archive, const std::string& name) const {
  // Binary mode: lines end with a line feed alone.
  std::FILE* file = std::fopen(name.c_str(), "wb");
  if (file == nullptr) return false;
  // In the reader's units. The column names carry the unit where it is not
  // mbar or deg C, so a file in those reads as it always did.
  const DisplayUnits units = Units();
  const std::string p_unit = units.pressure == PressureUnit::Mbar
                                 ? ""
                                 : std::string("_") + PressureUnitName(units.pressure);
  const std::string t_unit = units.temperature == TemperatureUnit::Celsius
                                 ? ""
                                 : std::string("_") + TemperatureUnitKey(units.temperature);
  std::string header = "time";
  for (const char* what : {"mean", "min", "max"})
    header += std::string(",sea_level_pressure_") + what + p_unit;
  for (const char* what : {"mean", "min", "max"})
    header += std::string(",temperature_") + what + t_unit;
  header += '\n';
  bool ok = std::fputs(header.c_str(), file) >= 0;
  auto pressure = [&units](double v) { return PressureText(v, units.pressure).toStdString(); };
  auto temperature = [&units](double v) {
    return TemperatureText(v, units.temperature, 2).toStdString();
  };
  // A record that cannot be read to the end gives no export that looks whole.
  const bool read =
      archive.ForEachMinute(columns.Start(), columns.End(), [&](const TarchiveMinute& m) {
        if (!ok) return;
        const std::string row =
            IsoLocalTime(m.time) + ',' + pressure(m.sea_level_pressure_mean) + ',' +
            pressure(m.sea_level_pressure_min) + ',' + pressure(m.sea_level_pressure_max) + ',' +
            temperature(m.temperature_mean) + ',' + temperature(m.temperature_min) + ',' +
            temperature(m.temperature_max) + '\n';
        ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
      });
  return std::fclose(file) == 0 && ok && read;
}
