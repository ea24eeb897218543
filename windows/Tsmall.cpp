#include "windows/Tsmall.h"

#include <QCloseEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <cmath>
#include <cstdint>

#include "components/Number_text.h"
#include "components/Picture.h"
#include "components/UiStyle.h"
#include "components/Value_label.h"
#include "components/Window_place.h"
#include "main/Program.h"
#include "main/Tmain.h"

namespace {

// Index of set_minimized in the main window's setting access.
constexpr uint8_t kSetMinimized = 13;

// Truncates toward zero. NaN gives 0; values beyond the widest coordinate a
// window can take are held there, so no conversion or geometry sum overflows.
int TruncateToPixel(double v) {
  constexpr double kLimit = QWIDGETSIZE_MAX;
  if (std::isnan(v)) return 0;
  if (v >= kLimit) return QWIDGETSIZE_MAX;
  if (v <= -kLimit) return -QWIDGETSIZE_MAX;
  return static_cast<int>(v);
}

// The window's height, and what the storm warning's line adds to it.
constexpr int kHeight = 80;
constexpr int kStormHeight = 32;

QFrame* AddPanel(QWidget* parent, const QRect& geometry) {
  auto* panel = new QFrame(parent);
  SetPanelFrame(panel, false);
  panel->setGeometry(geometry);
  return panel;
}

QLabel* AddText(QWidget* parent, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  return label;
}

}  // namespace

TWsmall::TWsmall(QWidget* parent) : QWidget(parent) {
  // Above the program's other windows (the barograph, the chart), which it
  // stands in for while the main window is hidden.
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  setWindowTitle("Barometer");
  setFixedSize(211, kHeight);
  place_ = new Twindow_place(this);
  place_->MoveTo(QPoint(709, 282));

  setFont(ArialFont(11));

  weather_panel = AddPanel(this, QRect(8, 4, 81, 73));
  trend_panel = AddPanel(this, QRect(96, 4, 41, 73));
  temperature_panel = AddPanel(this, QRect(144, 4, 65, 25));
  pressure_panel = AddPanel(this, QRect(144, 36, 65, 41));

  const QRect weather_place(10, 14, 63, 51);
  img_rainsnow = AddPicture(weather_panel, "weather_rainsnow", weather_place);
  img_snow = AddPicture(weather_panel, "weather_snow", weather_place);
  img_couvert = AddPicture(weather_panel, "weather_overcast", weather_place);
  img_variable = AddPicture(weather_panel, "weather_variable", weather_place);
  img_sunny = AddPicture(weather_panel, "weather_sunny", weather_place);
  img_rainy = AddPicture(weather_panel, "weather_rainy", weather_place);

  const QRect arrow_place(12, 8, 17, 33);
  img_unch = AddPicture(trend_panel, "trend_unch", QRect(4, 8, 33, 33));
  img_quick_up = AddPicture(trend_panel, "trend_quick_up", arrow_place);
  img_quick_down = AddPicture(trend_panel, "trend_quick_down", arrow_place);
  img_slow_down = AddPicture(trend_panel, "trend_slow_down", arrow_place);
  img_slow_up = AddPicture(trend_panel, "trend_slow_up", arrow_place);
  AddText(trend_panel, "trend", QRect(8, 48, 30, 14));

  // The two values repaint alone when the main window rewrites them; their
  // size is fixed, so a new text asks for no new layout.
  lbcelsius = new Tvalue_label(QString::fromUtf8("-27.85 [\u00b0C]"), temperature_panel);
  lbcelsius->setGeometry(8, 8, 57, 14);
  lbcelsius->setFixedSize(57, 14);
  lbpresssea = new Tvalue_label("1070.21 [mbar]", pressure_panel);
  lbpresssea->setGeometry(16, 6, 41, 33);
  lbpresssea->setFixedSize(41, 33);
  lbpresssea->setAlignment(Qt::AlignRight | Qt::AlignTop);
  lbpresssea->setWordWrap(true);

  lb_storm = new QLabel(this);
  lb_storm->setGeometry(8, kHeight, 201, kStormHeight - 2);
  lb_storm->setFont(ArialFont(11, true));
  lb_storm->setWordWrap(true);
  lb_storm->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QPalette storm_palette = lb_storm->palette();
  storm_palette.setColor(QPalette::WindowText, QColor(208, 0, 0));
  lb_storm->setPalette(storm_palette);
  lb_storm->hide();

  Program().Wsmall_alive = true;
}

TWsmall::~TWsmall() = default;

QLabel* TWsmall::AddPicture(QWidget* panel, const QString& asset, const QRect& geometry) {
  auto* picture = new Tpicture(asset, panel);
  picture->setGeometry(geometry);
  picture->setAttribute(Qt::WA_TranslucentBackground);
  picture->installEventFilter(this);
  picture->hide();
  return picture;
}

void TWsmall::SetX(double x) {
  place_->MoveTo(QPoint(TruncateToPixel(x), place_->Position().y()));
}

void TWsmall::SetY(double y) {
  place_->MoveTo(QPoint(place_->Position().x(), TruncateToPixel(y)));
}

double TWsmall::GetX() const {
  return place_->Position().x();
}

double TWsmall::GetY() const {
  return place_->Position().y();
}

void TWsmall::ShowTemperature(double celsius, TemperatureUnit unit) {
  lbcelsius->setText(TemperatureText(celsius, unit, 2) + " [" + TemperatureUnitText(unit) + "]");
}

void TWsmall::ShowPressure(double mbar, PressureUnit unit) {
  lbpresssea->setText(PressureText(mbar, unit) + " [" + PressureUnitText(unit) + "]");
}

void TWsmall::ShowStormWarning(const QString& warning) {
  // Too long for one line of this window: it breaks before the time, so
  // that the time does not stand alone on the second line.
  QString text = warning;
  const qsizetype since = text.lastIndexOf(QStringLiteral(" since "));
  if (since > 0) text[since] = '\n';
  if (text == lb_storm->text() && lb_storm->isHidden() == text.isEmpty()) return;
  lb_storm->setText(text);
  lb_storm->setVisible(!text.isEmpty());
  setFixedSize(211, text.isEmpty() ? kHeight : kHeight + kStormHeight);
}

void TWsmall::Panel1Click() {
  ProgramState& program = Program();
  if (program.Wmain == nullptr || !program.Wmain_alive) return;
  program.Wmain->SetParameter(kSetMinimized, 0.0);
  program.Wmain->ApplyMinimized();
}

void TWsmall::OnClose() {
  ProgramState& program = Program();
  if (program.Wmain == nullptr || !program.Wmain_alive) return;
  if (program.Wmain->ConfirmClose() == 2) TerminateApplication();
}

void TWsmall::closeEvent(QCloseEvent* event) {
  // The window itself never closes: either the program ends or it stays.
  event->ignore();
  OnClose();
}

bool TWsmall::eventFilter(QObject* watched, QEvent* event) {
  // Only the pictures are watched; a left click on one (release inside it)
  // counts, as a button would.
  if (event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* picture = qobject_cast<QWidget*>(watched);
    if (mouse->button() == Qt::LeftButton && picture != nullptr &&
        picture->rect().contains(mouse->position().toPoint())) {
      Panel1Click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
