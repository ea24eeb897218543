#include "windows/Barograph_plot.h"

#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "components/Axis_ticks.h"
#include "components/UiStyle.h"

namespace {

using Column = Tbarograph_columns::Column;

const QColor kBorderColor(0, 0, 0);
const QColor kValueGridColor(64, 64, 176);
const QColor kHourGridColor(40, 40, 150);
const QColor kDayGridColor(150, 150, 150);
const QColor kCursorColor(255, 112, 112);
const QColor kNoRecordColor(170, 170, 210);

// Steps of the value scale, from the finest; those below 0.01 only for a
// unit written with more than two places (inHg, kPa).
constexpr double kSteps[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5,
                             1,     2,     5,     10,   20,   50,   100, 200, 500};
// Rows between two value lines, at least.
constexpr int kRowsPerStep = 20;

const char* const kWeekdays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};
const char* const kMonths[12] = {"January",   "February", "March",    "April",
                                 "May",       "June",     "July",     "August",
                                 "September", "October",  "November", "December"};

// The ways of writing a day's weekday and its date under it, longest first.
std::vector<QString> WeekdayForms(const std::tm& day) {
  const QString weekday = QString::fromLatin1(kWeekdays[day.tm_wday % 7]);
  return {weekday, weekday.left(3), weekday.left(2)};
}

std::vector<QString> DateForms(const std::tm& day) {
  const QString month = QString::fromLatin1(kMonths[day.tm_mon % 12]);
  const QString mday = QString::number(day.tm_mday);
  return {mday + " " + month + " " + QString::number(day.tm_year + 1900), mday + " " + month,
          mday + " " + month.left(3), mday};
}

// The shortest forms that still read on their own beside the others: the
// weekday's three letters ("Wed") and the date with its month ("9 Dec").
constexpr size_t kShortestWeekday = 1;
constexpr size_t kShortestDate = 2;

// The first of the forms, from `first` to `last`, that fits width pixels;
// the number of forms when none does.
size_t FittingForm(const QFontMetrics& metrics, const std::vector<QString>& forms, int width,
                   size_t first = 0, size_t last = SIZE_MAX) {
  for (size_t i = first; i < forms.size() && i <= last; ++i)
    if (metrics.horizontalAdvance(forms[i]) <= width) return i;
  return forms.size();
}

}  // namespace

const QColor Tbarograph_plot::kBackColor(0, 0, 128);
const QColor Tbarograph_plot::kWaveColor(255, 255, 0);
const QColor Tbarograph_plot::kOffScaleColor(255, 160, 64);
const QColor Tbarograph_plot::kTickColor(120, 230, 255);
const Tbarograph_plot::Quantity Tbarograph_plot::kPressure{&Column::p_min, &Column::p_max, 6.0,
                                                           1013.0, true};
const Tbarograph_plot::Quantity Tbarograph_plot::kTemperature{&Column::t_min, &Column::t_max, 4.0,
                                                              15.0};

Tbarograph_plot::Tbarograph_plot(const Tbarograph_columns& columns, const Quantity& quantity,
                                 int plot_height, bool time_labels, QWidget* parent)
    : QWidget(parent), columns_(columns), quantity_(quantity), time_labels_(time_labels) {
  SetPlotSize(plot_height);
  setMouseTracking(true);
  // The image covers the whole widget; nothing beneath needs painting.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void Tbarograph_plot::SetPlotSize(int plot_height) {
  plot_height_ = std::max(plot_height, kLeastPlotHeight);
  setFixedSize(kLeft + columns_.Count() + kRight,
               kTop + plot_height_ + (time_labels_ ? kTimeLabels : kBottom));
  // The time grid's columns, and the scale's steps, go with the size.
  grid_start_ = grid_end_ = -1;
  if (cursor_column_ >= columns_.Count()) cursor_column_ = -1;
  Paint();
}

void Tbarograph_plot::SetPixelRatio(qreal ratio) {
  pixel_ratio_ = ratio;
  Paint();
}

qreal Tbarograph_plot::PixelRatio() const {
  return pixel_ratio_ > 0 ? pixel_ratio_ : devicePixelRatioF();
}

void Tbarograph_plot::Paint() {
  needs_redraw_ = true;
  // Hidden or minimised, the picture waits for the next paint.
  if (!isVisible() || window()->isMinimized()) return;
  DrawComponent();
  update();
}

void Tbarograph_plot::Release() {
  image_ = QImage();
  std::vector<Mark>().swap(marks_);
  std::vector<Label>().swap(labels_);
  grid_start_ = grid_end_ = -1;
  needs_redraw_ = true;
}

void Tbarograph_plot::SetCursorColumn(int column) {
  if (column < 0 || column >= columns_.Count()) column = -1;
  if (column == cursor_column_) return;
  cursor_column_ = column;
  update();
}

int Tbarograph_plot::ColumnAtX(int x) const {
  const int column = x - kLeft;
  return column >= 0 && column < columns_.Count() ? column : -1;
}

void Tbarograph_plot::SetUnit(double scale, double offset, int decimals) {
  if (!(scale > 0) || !std::isfinite(scale) || !std::isfinite(offset)) return;
  decimals = std::clamp(decimals, 0, 3);
  if (scale == unit_scale_ && offset == unit_offset_ && decimals == unit_decimals_) return;
  unit_scale_ = scale;
  unit_offset_ = offset;
  unit_decimals_ = decimals;
  scaled_ = false;
  Paint();
}

double Tbarograph_plot::LeastStep() const {
  return Taxis_ticks::LeastStep(unit_decimals_);
}

int Tbarograph_plot::RowOfShown(double v) const {
  const double rows = plot_height_ - 1;
  const double r = (scale_high_ - v) / (scale_high_ - scale_low_) * rows;
  // Off the scale (or not a number) lands just outside the plot area.
  if (!(r >= -1)) return -1;
  if (r > rows + 1) return plot_height_;
  return static_cast<int>(std::lround(r));
}

QString Tbarograph_plot::TimeText(std::time_t t, bool with_date) {
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return QString();
  const QString time = QString::asprintf("%02d:%02d", local.tm_hour, local.tm_min);
  if (!with_date) return time;
  return QString::fromLatin1(kWeekdays[local.tm_wday % 7]).left(3) + " " +
         QString::number(local.tm_mday) + " " +
         QString::fromLatin1(kMonths[local.tm_mon % 12]).left(3) + " " +
         QString::number(local.tm_year + 1900) + " " + time;
}

// ---------------------------------------------------------------------------
// Drawing

void Tbarograph_plot::DrawComponent() {
  needs_redraw_ = false;
  const qreal ratio = PixelRatio();
  const QSize device(static_cast<int>(std::ceil(width() * ratio)),
                     static_cast<int>(std::ceil(height() * ratio)));
  if (image_.size() != device || image_.devicePixelRatio() != ratio) {
    image_ = QImage(device, QImage::Format_RGB32);
    image_.setDevicePixelRatio(ratio);
  }
  UpdateScale();
  UpdateTimeGrid();
  {
    QPainter painter(&image_);
    DrawFrame(painter);
  }
  DrawValues();
  QPainter painter(&image_);
  DrawTicks(painter);
  DrawOffScaleMarks(painter);
}

void Tbarograph_plot::DrawVector(QPainter& painter) {
  UpdateScale();
  UpdateTimeGrid();
  DrawFrame(painter);
  const QRect plot = PlotRect();
  ForEachValueSpan([&](int column, int top, int bottom) {
    painter.fillRect(QRect(plot.left() + column, plot.top() + top, 1, bottom - top + 1),
                     kWaveColor);
  });
  DrawTicks(painter);
  DrawOffScaleMarks(painter);
}

void Tbarograph_plot::SetTicks(std::vector<int> columns) {
  if (columns == ticks_) return;
  ticks_ = std::move(columns);
  needs_redraw_ = true;
}

void Tbarograph_plot::DrawTicks(QPainter& painter) {
  // Dashed, 3 pixels on and 3 off from the top, so the trace shows through.
  const QRect plot = PlotRect();
  for (const int column : ticks_) {
    if (column < 0 || column >= columns_.Count()) continue;
    for (int row = 0; row < plot_height_; row += 6)
      painter.fillRect(
          QRect(plot.left() + column, plot.top() + row, 1, std::min(3, plot_height_ - row)),
          kTickColor);
  }
}

void Tbarograph_plot::DrawFrame(QPainter& painter) {
  {
    painter.save();
    painter.setFont(ArialFont(11));
    // Each pixel is filled once: the plot area, then the margins around it.
    const QRect plot = PlotRect();
    const QColor window = palette().color(QPalette::Window);
    painter.fillRect(plot, kBackColor);
    painter.fillRect(QRect(0, 0, width(), plot.top()), window);
    painter.fillRect(QRect(0, plot.bottom() + 1, width(), height() - plot.bottom() - 1), window);
    painter.fillRect(QRect(0, plot.top(), plot.left(), plot.height()), window);
    painter.fillRect(QRect(plot.right() + 1, plot.top(), width() - plot.right() - 1, plot.height()),
                     window);
    DrawGrid(painter);
    // The border lies around the plot area, so every column shows.
    painter.fillRect(QRect(plot.left() - 1, plot.top() - 1, plot.width() + 2, 1), kBorderColor);
    painter.fillRect(QRect(plot.left() - 1, plot.bottom() + 1, plot.width() + 2, 1), kBorderColor);
    painter.fillRect(QRect(plot.left() - 1, plot.top(), 1, plot.height()), kBorderColor);
    painter.fillRect(QRect(plot.right() + 1, plot.top(), 1, plot.height()), kBorderColor);
    painter.setPen(palette().color(QPalette::WindowText));
    for (const Label& label : labels_) painter.drawText(label.box, Qt::AlignCenter, label.text);
    if (!has_values_) {
      painter.setPen(kNoRecordColor);
      painter.drawText(plot, Qt::AlignCenter, "No record in this range");
    }
    painter.restore();
  }
}

void Tbarograph_plot::DrawOffScaleMarks(QPainter& painter) {
  off_scale_.clear();
  const QRect plot = PlotRect();
  // One arrow for each run of columns beyond the same edge, in its middle,
  // and none closer than a few pixels to the one before.
  constexpr int kHalf = 3;  // the arrow is 2 * kHalf + 1 pixels wide
  const int count = columns_.Count();
  for (bool above : {true, false}) {
    int last = -100;
    int run_start = -1;
    for (int i = 0; i <= count; ++i) {
      bool beyond = false;
      if (i < count && columns_[i].count > 0) {
        const double v = above ? columns_[i].*quantity_.greatest : columns_[i].*quantity_.least;
        beyond = above ? Shown(v) > scale_high_ : Shown(v) < scale_low_;
      }
      if (beyond && run_start < 0) run_start = i;
      if (beyond || run_start < 0) continue;
      const int x = std::clamp((run_start + i - 1) / 2, kHalf, count - 1 - kHalf);
      run_start = -1;
      if (x - last < 2 * kHalf + 3) continue;
      last = x;
      off_scale_.push_back({x, above});
    }
  }
  std::sort(off_scale_.begin(), off_scale_.end(),
            [](const OffScale& a, const OffScale& b) { return a.column < b.column; });
  for (const OffScale& mark : off_scale_) {
    // A triangle pointing at the edge, its tip on the edge's row.
    for (int r = 0; r <= kHalf; ++r) {
      const int row = mark.above ? r : plot_height_ - 1 - r;
      painter.fillRect(QRect(plot.left() + mark.column - r, plot.top() + row, 2 * r + 1, 1),
                       kOffScaleColor);
    }
  }
}

void Tbarograph_plot::SetAutoScale() {
  fixed_ = false;
  Paint();
}

void Tbarograph_plot::SetFixedScale(double low, double high) {
  if (!std::isfinite(low) || !std::isfinite(high) || !(low < high)) return;
  fixed_ = true;
  fixed_low_ = low;
  fixed_high_ = high;
  Paint();
}

void Tbarograph_plot::UpdateScale() {
  double low = 0, high = 0;
  has_values_ = columns_.Span(quantity_.least, quantity_.greatest, low, high);
  if (fixed_) {
    // The span as chosen, its lines on round steps within it.
    const int most = std::max(plot_height_ / kRowsPerStep, 2);
    const double shown_low = Shown(fixed_low_), shown_high = Shown(fixed_high_);
    double step = LeastStep();
    for (double s : kSteps) {
      if (s < step) continue;
      step = s;
      if ((shown_high - shown_low) / s <= most) break;
    }
    scale_step_ = step;
    scale_low_ = shown_low;
    scale_high_ = shown_high;
    scaled_ = true;
    return;
  }
  if (has_values_ && quantity_.trimmed) {
    // The minutes set aside stay out of the scale only where they would
    // stretch it: beyond the rest by more than a quarter of the rest's span
    // (at least the least span). Nearer ones are ordinary weather, drawn
    // whole rather than cut at the edge.
    double trimmed_low = 0, trimmed_high = 0;
    if (columns_.TrimmedPressureSpan(kTrimmed, trimmed_low, trimmed_high) &&
        trimmed_low <= trimmed_high) {
      const double slack = std::max(trimmed_high - trimmed_low, quantity_.min_span) / 4;
      if (low < trimmed_low - slack) low = trimmed_low;
      if (high > trimmed_high + slack) high = trimmed_high;
    }
  }
  if (!has_values_ || !std::isfinite(low) || !std::isfinite(high)) {
    // Nothing to show: the scale stays where it was, or is centred on a
    // typical value at first.
    if (scaled_) return;
    low = high = quantity_.typical;
  }
  scaled_ = true;
  // At least the least span, around the middle of the values.
  if (high - low < quantity_.min_span) {
    const double middle = (low + high) / 2;
    low = middle - quantity_.min_span / 2;
    high = middle + quantity_.min_span / 2;
  }
  // Round steps of the scale's unit.
  low = Shown(low);
  high = Shown(high);
  const int most = std::max(plot_height_ / kRowsPerStep, 2);
  double step = LeastStep();
  for (double s : kSteps) {
    if (s < step) continue;
    step = s;
    if (std::ceil(high / s) - std::floor(low / s) <= most) break;
  }
  scale_step_ = step;
  scale_low_ = std::floor(low / step) * step;
  scale_high_ = std::max(std::ceil(high / step) * step, scale_low_ + step);
}

void Tbarograph_plot::UpdateTimeGrid() {
  const std::time_t start = columns_.Start();
  const std::time_t end = columns_.End();
  if (start == grid_start_ && end == grid_end_ && columns_.Count() == grid_count_) return;
  grid_start_ = start;
  grid_end_ = end;
  grid_count_ = columns_.Count();
  marks_.clear();
  labels_.clear();
  std::vector<Day> days;

  // Hours between two hour lines, and between two hour labels; the 30-day
  // view has day lines only.
  const int span = columns_.Span();
  int line_hours = 0, label_hours = 0;
  if (span <= 86400) {
    line_hours = 1;
    label_hours = 3;
  } else if (span <= 3 * 86400) {
    line_hours = 3;
    label_hours = 6;
  } else if (span <= 7 * 86400) {
    line_hours = 6;
    label_hours = 12;
  }

  auto x_of = [&](std::time_t t) {
    if (t <= start) return 0;
    if (t >= end) return columns_.Count();
    return columns_.ColumnOf(t);
  };
  std::tm day{};
  if (localtime_r(&start, &day) == nullptr) return;
  day.tm_hour = day.tm_min = day.tm_sec = 0;
  day.tm_isdst = -1;
  std::time_t midnight = mktime(&day);
  // A month of days at most; mktime gives -1 for what it cannot convert.
  for (int n = 0; n < 40 && midnight != -1 && midnight < end; ++n) {
    std::tm next = day;
    next.tm_mday += 1;
    next.tm_isdst = -1;
    const std::time_t next_midnight = mktime(&next);
    if (next_midnight <= midnight) break;
    if (midnight >= start) marks_.push_back({x_of(midnight), true, label_hours ? "00:00" : ""});
    for (int h = line_hours; line_hours > 0 && h < 24; h += line_hours) {
      std::tm hour = day;
      hour.tm_hour = h;
      hour.tm_isdst = -1;
      const std::time_t t = mktime(&hour);
      if (t < start || t >= end) continue;
      marks_.push_back(
          {x_of(t), false, h % label_hours == 0 ? QString::asprintf("%02d:00", h) : QString()});
    }
    days.push_back({x_of(midnight), x_of(next_midnight), day});
    day = next;
    midnight = next_midnight;
  }
  if (time_labels_) LayOutTimeLabels(days);
}

std::vector<Tbarograph_plot::ScaleLine> Tbarograph_plot::ScaleLines() const {
  // As many places as the step has; in another unit than the columns' own
  // at least the unit's.
  int decimals = Taxis_ticks::Decimals(scale_step_);
  if (unit_scale_ != 1 || unit_offset_ != 0) decimals = std::max(decimals, unit_decimals_);
  // At most a thousand lines, whatever the values; on whole steps (a fixed
  // scale's ends need not lie on one).
  std::vector<ScaleLine> lines;
  const double first = std::ceil(scale_low_ / scale_step_ - 1e-9) * scale_step_;
  const double steps = (scale_high_ - first) / scale_step_ + 1e-9;
  const int count = steps < 1000 ? static_cast<int>(std::floor(steps)) : 1000;
  for (int k = 0; k <= count; ++k) {
    const double v = first + k * scale_step_;
    lines.push_back({v, QString::number(v, 'f', decimals)});
  }
  return lines;
}

void Tbarograph_plot::DrawGrid(QPainter& painter) {
  const QRect plot = PlotRect();
  painter.setPen(palette().color(QPalette::WindowText));
  for (const ScaleLine& line : ScaleLines()) {
    const int row = RowOfShown(line.value);
    if (row > 0 && row < plot_height_ - 1)
      painter.fillRect(QRect(plot.left(), plot.top() + row, plot.width(), 1), kValueGridColor);
    painter.drawText(QRect(0, plot.top() + row - 7, kLeft - 6, 14),
                     Qt::AlignRight | Qt::AlignVCenter, line.text);
  }
  for (const Mark& mark : marks_) {
    if (mark.x <= 0) continue;  // the border is the line there
    painter.fillRect(QRect(plot.left() + mark.x, plot.top(), 1, plot.height()),
                     mark.day ? kDayGridColor : kHourGridColor);
  }
}

void Tbarograph_plot::DrawValues() {
  // Straight into the image: a logical pixel is the block of device pixels
  // between the rounded device positions of its edges, so every column and
  // row is whole at any ratio.
  const qreal ratio = image_.devicePixelRatio();
  const QRect plot = PlotRect();
  auto device = [ratio](int logical) { return static_cast<int>(std::lround(logical * ratio)); };
  const QRgb wave = kWaveColor.rgb();
  const qsizetype stride = image_.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
  QRgb* const bits = reinterpret_cast<QRgb*>(image_.bits());
  const int device_width = image_.width(), device_height = image_.height();

  ForEachValueSpan([&](int i, int top, int bottom) {
    const int x0 = device(plot.left() + i),
              x1 = std::min(device(plot.left() + i + 1), device_width);
    const int y0 = device(plot.top() + top);
    const int y1 = std::min(device(plot.top() + bottom + 1), device_height);
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) bits[y * stride + x] = wave;
  });
}

template <typename Draw>
void Tbarograph_plot::ForEachValueSpan(Draw draw) const {
  int previous_top = 0, previous_bottom = -1;  // rows of the column before; none yet
  for (int i = 0; i < columns_.Count(); ++i) {
    const Column& c = columns_[i];
    if (c.count == 0) {
      previous_top = 0;
      previous_bottom = -1;
      continue;
    }
    int top = RowOf(c.*quantity_.greatest);
    int bottom = RowOf(c.*quantity_.least);
    const int own_top = top, own_bottom = bottom;
    // Two neighbouring columns with samples are joined as a pen trace
    // would join them: the step between them is drawn in this column.
    if (previous_bottom >= previous_top) {
      if (top > previous_bottom + 1) top = previous_bottom + 1;
      if (bottom < previous_top - 1) bottom = previous_top - 1;
    }
    previous_top = own_top;
    previous_bottom = own_bottom;
    top = std::max(top, 0);
    bottom = std::min(bottom, plot_height_ - 1);
    if (bottom >= top) draw(i, top, bottom);
  }
}

void Tbarograph_plot::LayOutTimeLabels(const std::vector<Day>& days) {
  const QRect plot = PlotRect();
  const QFontMetrics metrics(ArialFont(11));
  const int hour_row = plot.bottom() + 3;
  for (const Mark& mark : marks_) {
    if (mark.label.isEmpty()) continue;
    const int w = metrics.horizontalAdvance(mark.label);
    const int left = plot.left() + mark.x - w / 2;
    if (left < plot.left() - kLeft || left + w > plot.right() + kRight) continue;
    labels_.push_back({QRect(left, hour_row, w, 13), mark.label});
  }
  // Under each day, as far as it shows, its weekday and its date: every
  // day written alike, as long as a whole day has room for. A part of a day
  // at an edge gets the same, or a shorter form that still reads on its own
  // ("Wed", "9 Dec"), or nothing: never a stub such as "We" or "9" where
  // the whole days read "Wednesday".
  const int weekday_row = hour_row + 13;
  const int date_row = weekday_row + 13;
  const int whole_day =
      static_cast<int>(86400LL * columns_.Count() / std::max(columns_.Span(), 1)) - 4;
  size_t weekday_form = 0, date_form = 0;
  for (const Day& day : days) {
    weekday_form = std::max(weekday_form, FittingForm(metrics, WeekdayForms(day.date), whole_day));
    date_form = std::max(date_form, FittingForm(metrics, DateForms(day.date), whole_day));
  }
  auto write = [&](const std::vector<QString>& forms, size_t first, size_t shortest,
                   const QRect& box) {
    const size_t form =
        FittingForm(metrics, forms, box.width() - 4, first, std::max(first, shortest));
    if (form < forms.size()) labels_.push_back({box, forms[form]});
  };
  for (const Day& day : days) {
    if (day.x1 - day.x0 <= 4) continue;
    write(WeekdayForms(day.date), weekday_form, kShortestWeekday,
          QRect(plot.left() + day.x0, weekday_row, day.x1 - day.x0, 13));
    write(DateForms(day.date), date_form, kShortestDate,
          QRect(plot.left() + day.x0, date_row, day.x1 - day.x0, 13));
  }

  // Where the dates leave the month out, the months stand in the row of
  // the hours (which such a range has none of): each month's name from its
  // first day on, the first one from the left edge, as far as it has room
  // before the next.
  if (date_form <= kShortestDate) return;
  std::vector<std::pair<int, QString>> months;
  for (const Day& day : days) {
    if (day.x1 <= 0 || day.x0 >= columns_.Count()) continue;
    if (!months.empty() && day.date.tm_mday != 1) continue;
    months.push_back({std::max(day.x0, 0), QString::fromLatin1(kMonths[day.date.tm_mon % 12]) +
                                               " " + QString::number(day.date.tm_year + 1900)});
  }
  for (size_t i = 0; i < months.size(); ++i) {
    const int x0 = months[i].first;
    const int x1 = i + 1 < months.size() ? months[i + 1].first : columns_.Count();
    const QString& text = months[i].second;
    const QString shorter = text.left(3);
    const QString& shown = metrics.horizontalAdvance(text) + 6 <= x1 - x0 ? text : shorter;
    const int w = metrics.horizontalAdvance(shown);
    if (w + 6 > x1 - x0) continue;
    labels_.push_back({QRect(plot.left() + x0 + 3, hour_row, w, 13), shown});
  }
}

std::vector<QString> Tbarograph_plot::TimeLabelTexts() const {
  std::vector<QString> texts;
  for (const Label& label : labels_) texts.push_back(label.text);
  return texts;
}

// ---------------------------------------------------------------------------
// Events

void Tbarograph_plot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Rendered into a picture file or onto paper (a vector device), the plot
  // is drawn as lines and text rather than copied as pixels.
  const QPaintEngine* engine = painter.paintEngine();
  if (engine != nullptr &&
      (engine->type() == QPaintEngine::SVG || engine->type() == QPaintEngine::Pdf ||
       engine->type() == QPaintEngine::Picture)) {
    DrawVector(painter);
    return;
  }
  if (needs_redraw_ || image_.devicePixelRatio() != PixelRatio()) DrawComponent();
  painter.drawImage(0, 0, image_);
  if (cursor_column_ >= 0)
    painter.fillRect(QRect(kLeft + cursor_column_, kTop, 1, plot_height_), kCursorColor);
}

void Tbarograph_plot::mouseMoveEvent(QMouseEvent* event) {
  if (on_hover) on_hover(ColumnAtX(static_cast<int>(event->position().x())));
}

void Tbarograph_plot::leaveEvent(QEvent*) {
  if (on_hover) on_hover(-1);
}
