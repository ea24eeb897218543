#include "chart/Plot_time.h"

#include <QHideEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "components/Axis_ticks.h"
#include "components/Gfxbase.h"

namespace {

// Whole parts of a sample position (never negative, at most the sample
// count), as std::floor and std::ceil give them; without SSE4.1 those are
// library calls, and the compressed drawing asks for two per column.
int FloorOf(double p) {
  return static_cast<int>(p);
}
int CeilOf(double p) {
  const int whole = static_cast<int>(p);
  return whole < p ? whole + 1 : whole;
}

// True when a range end moved; a NaN end that stays NaN is no change.
bool Differs(double before, double after) {
  if (std::isnan(before) && std::isnan(after)) return false;
  return !(before == after);
}

// Writes one colour into the pixels of an RGB32 image, column by column,
// clipped to the image, with the pixels the painter's one-pixel (cosmetic,
// aliased) pen puts for the same pieces.
class ColumnWriter {
 public:
  ColumnWriter(QImage& image, QRgb colour)
      : bits_(reinterpret_cast<QRgb*>(image.bits())),
        stride_(image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb))),
        width_(image.width()),
        height_(image.height()),
        colour_(colour) {}

  // Rows a .. b (either order) of column x: a vertical line, both ends
  // included.
  void Run(int x, int a, int b) {
    if (x < 0 || x >= width_) return;
    if (a > b) std::swap(a, b);
    a = std::max(a, 0);
    b = std::min(b, height_ - 1);
    for (int y = a; y <= b; ++y) bits_[y * stride_ + x] = colour_;
  }

  // A line from (x0, y0) to (x1, y1), where x1 is x0 or x0 + 1.
  void Join(int x0, int y0, int x1, int y1) {
    if (x0 == x1) {
      Run(x0, y0, y1);
      return;
    }
    // Rows are clamped to +-100000, so the difference fits an int.
    const int dy = y1 - y0;
    if (dy >= -1 && dy <= 1) {
      // A flat line: one pixel in each column.
      Put(x0, y0);
      Put(x1, y1);
      return;
    }
    Steep(x0, y0, y1);
  }

 private:
  void Put(int x, int y) {
    if (x >= 0 && x < width_ && y >= 0 && y < height_) bits_[y * stride_ + x] = colour_;
  }

  // A steep line from (x0, y0) to (x0 + 1, y1), stepped as the painter's
  // raster engine steps it, so that every row lands in the same one of the
  // two columns: the line is first cut (in floating point) to the rows -1 ..
  // height + 1, then walked from its top row to its bottom row in 26.6 fixed
  // point, the column advancing by a 16.16 increment per row. Both end rows
  // are drawn. The increment is rounded down, so the last row of a long
  // downward line may stay in the first column. The cut works on the image
  // columns themselves (its rounding depends on them); the walk then counts
  // columns from x0, which keeps its fixed-point numbers small.
  void Steep(int x0, int y0, int y1) {
    // Uncut, the walk comes down to this: every row but the far end's lies
    // in the first column; the far end's lies in the second, except on a
    // downward line whose rounded-down increment q falls short there.
    const int rows = std::abs(y1 - y0);
    if (y0 >= -1 && y0 <= height_ + 1 && y1 >= -1 && y1 <= height_ + 1 && rows <= 65536) {
      const int q = 65536 / rows;
      const bool far_end_moves = y1 < y0 || q * (rows + 1) - q / 2 >= 65536;
      const int step = y1 > y0 ? 1 : -1;
      Run(x0, y0, far_end_moves ? y1 - step : y1);
      if (far_end_moves) Put(x0 + 1, y1);
      return;
    }
    double xa = x0;
    double ya = y0;
    double xb = x0 + 1.0;
    double yb = y1;
    const double top = -1.0;
    const double bottom = height_ + 1.0;
    if (ya < top) {
      if (yb <= top) return;
      xa += (xb - xa) / (yb - ya) * (top - ya);
      ya = top;
    } else if (ya > bottom) {
      if (yb >= bottom) return;
      xa += (xb - xa) / (yb - ya) * (bottom - ya);
      ya = bottom;
    }
    if (yb < top) {
      xb += (xb - xa) / (yb - ya) * (top - yb);
      yb = top;
    } else if (yb > bottom) {
      xb += (xb - xa) / (yb - ya) * (bottom - yb);
      yb = bottom;
    }
    // x0 is a column of the image, and a widget is at most 16777215 pixels
    // wide, so 64 * x0 fits an int.
    const int origin = x0 * 64;
    int fx1 = static_cast<int>(xa * 64.0) - origin;
    int fy1 = static_cast<int>(ya * 64.0);
    int fx2 = static_cast<int>(xb * 64.0) - origin;
    int fy2 = static_cast<int>(yb * 64.0);
    // Cut down to less than a row, the line lies outside the image.
    if (std::abs(fx2 - fx1) >= std::abs(fy2 - fy1)) return;
    if (fy1 > fy2) {
      std::swap(fy1, fy2);
      std::swap(fx1, fx2);
    }
    // Both differences are at most 64 x 64 apart here, so no product below
    // leaves the int range.
    const int xinc = (fx2 - fx1) * 65536 / (fy2 - fy1);
    int x = fx1 * 1024;
    // Square caps: half a pixel added at both ends.
    fy1 -= 32;
    x -= FloorHalf(xinc);
    fy2 += 32;
    int y = FloorDiv64(fy1 + 32);
    const int end = FloorDiv64(fy2 + 32);
    if (y == end) return;
    const int round = xinc > 0 ? 32 : 0;
    x += FloorDiv64((y * 64 + round - fy1) * xinc);
    // The walk puts row y in column x0 + floor(x / 65536), x growing by xinc
    // per row; the rows that share a column are written as one run.
    long long at = x;
    while (y < end) {
      const long long column = FloorDiv(at, 65536);
      long long rows = end - y;
      if (xinc > 0) rows = std::min(rows, ((column + 1) * 65536 - at + xinc - 1) / xinc);
      if (xinc < 0) rows = std::min(rows, (at - column * 65536) / -xinc + 1);
      Run(x0 + static_cast<int>(column), y, y + static_cast<int>(rows) - 1);
      y += static_cast<int>(rows);
      at += rows * xinc;
    }
  }

  // The raster engine's arithmetic right shifts, written as divisions that
  // round toward minus infinity.
  static long long FloorDiv(long long v, long long d) {
    return v >= 0 ? v / d : -((-v + d - 1) / d);
  }
  static int FloorHalf(int v) { return static_cast<int>(FloorDiv(v, 2)); }
  static int FloorDiv64(int v) { return static_cast<int>(FloorDiv(v, 64)); }

  QRgb* bits_;
  qsizetype stride_;
  int width_;
  int height_;
  QRgb colour_;
};

}  // namespace

Tplot_time::Tplot_time(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setGeometry(100, 100, 100, 100);
  last_geometry_ = geometry();
  SetHistoryLength(kDefaultHistoryLength);
  // A plot of its own draws its first picture now (background, border,
  // grid), so the image exists from the start; one in a window waits for
  // the window to show.
  if (!InHiddenWindow()) RedrawIfNeeded();
}

Tplot_time::~Tplot_time() = default;

void Tplot_time::ClearContent() {
  ring_.Clear();
  range_of_stores_ = false;
}

void Tplot_time::SetHistoryLength(int n) {
  if (n < 2) {
    needs_redraw_ = true;
    return;
  }
  // The old stores go first, so that a long history never needs both at once.
  ring_.Release();
  try {
    ring_.Reset(n);
    history_length_ = n;
  } catch (const std::bad_alloc&) {
    // No storage: the length stays, samples are ignored, the plot still
    // draws its background, border and grid.
  }
  // The new stores hold no sample.
  range_of_stores_ = false;
  needs_redraw_ = true;
}

void Tplot_time::AddSample(double value, double time) {
  if (HasStores()) {
    // The sample that leaves the history, if one does.
    const double dropped = ring_.Count() == ring_.Capacity() ? ring_.Value(0) : std::nan("");
    ring_.Push(value, time);
    // The span of the stored values, as a new scan would find it: while the
    // sample that left was no end of the last span, the new sample alone can
    // only widen it. (An end equal to the sample that left is scanned for
    // again, which also keeps the sign of a zero end as the scan has it.)
    const bool end_left = !std::isnan(dropped) && !(dropped > data_y_min_ && dropped < data_y_max_);
    if (range_of_stores_ && !end_left) {
      if (value < data_y_min_) data_y_min_ = value;
      if (value > data_y_max_) data_y_max_ = value;
      ApplyDataRange();
    } else {
      GetArrayRange();
    }
  }
  needs_redraw_ = true;
  Paint();
}

void Tplot_time::shiftHistory() {
  ring_.ShiftDown();
  // The stores changed behind the span's back: the next sample scans.
  range_of_stores_ = false;
}

bool Tplot_time::YScaleChangedSinceLastCheck() {
  const bool changed = scale_changed_;
  scale_changed_ = false;
  return changed;
}

void Tplot_time::GetArrayRange() {
  if (HasStores()) {
    // NaN samples have no place in the range: a comparison with NaN is
    // false, so they never replace an end. Started beyond every number,
    // the ends are still crossed when no number is stored.
    double lo = HUGE_VAL;
    double hi = -HUGE_VAL;
    if (ring_.Count() > 0) ring_.Span(0, ring_.Count() - 1, lo, hi);
    const bool found = lo <= hi;
    // Without any number stored, the last range stays.
    if (found) {
      data_y_min_ = lo;
      data_y_max_ = hi;
    }
    range_of_stores_ = found;
  }
  ApplyDataRange();
}

void Tplot_time::ApplyDataRange() {
  const double old_low = display_y_low_;
  const double old_high = display_y_high_;
  if (auto_scale_y_on_) {
    display_y_low_ = data_y_min_;
    display_y_high_ = data_y_max_;
  }
  if (Differs(old_low, display_y_low_) || Differs(old_high, display_y_high_)) {
    scale_changed_ = true;
  }
}

void Tplot_time::SetAutoScaleY(bool on) {
  const double old_low = display_y_low_;
  const double old_high = display_y_high_;
  auto_scale_y_on_ = on;
  // Switching on takes the data range as last computed; it is not rescanned.
  display_y_low_ = on ? data_y_min_ : range_y_low_;
  display_y_high_ = on ? data_y_max_ : range_y_high_;
  if (Differs(old_low, display_y_low_) || Differs(old_high, display_y_high_)) {
    scale_changed_ = true;
  }
  needs_redraw_ = true;
  Paint();
}

void Tplot_time::SetManualYScaleLow(double v) {
  const double old_low = display_y_low_;
  range_y_low_ = v;
  if (!auto_scale_y_on_) display_y_low_ = v;
  if (Differs(old_low, display_y_low_)) scale_changed_ = true;
  needs_redraw_ = true;
  Paint();
}

void Tplot_time::SetManualYScaleHigh(double v) {
  const double old_high = display_y_high_;
  range_y_high_ = v;
  if (!auto_scale_y_on_) display_y_high_ = v;
  if (Differs(old_high, display_y_high_)) scale_changed_ = true;
  needs_redraw_ = true;
  Paint();
}

void Tplot_time::Set_x_grid_nbr(int n) {
  grid_x_divisions_ = n < 0 ? 0 : n;
  needs_redraw_ = true;
  Paint();
}

void Tplot_time::Set_y_grid_nbr(int n) {
  grid_y_divisions_ = n < 0 ? 0 : n;
  needs_redraw_ = true;
  Paint();
}

void Tplot_time::SetGridColor(const QColor& c) {
  grid_color_ = c;
  needs_redraw_ = true;
  Paint();
}

void Tplot_time::SetBGColor(const QColor& c) {
  back_color_ = c;
  needs_redraw_ = true;
  Paint();
}

void Tplot_time::SetWVColor(const QColor& c) {
  wave_color_ = c;
  needs_redraw_ = true;
  Paint();
}

void Tplot_time::SetBorderColor(const QColor& c) {
  border_color_ = c;
  needs_redraw_ = true;
  Paint();
}

void Tplot_time::SetRoundGrid(bool on) {
  round_grid_ = on;
  needs_redraw_ = true;
  Paint();
}

void Tplot_time::SetTickUnit(double scale, double offset, double least) {
  if (!(scale > 0) || !std::isfinite(scale) || !std::isfinite(offset) || !(least > 0)) return;
  if (scale == tick_scale_ && offset == tick_offset_ && least == tick_least_) return;
  tick_scale_ = scale;
  tick_offset_ = offset;
  tick_least_ = least;
  needs_redraw_ = true;
  Paint();
}

std::vector<Tplot_time::Tick> Tplot_time::ValueTicks() const {
  return ValueTicksAt(size());
}

std::vector<Tplot_time::Tick> Tplot_time::TimeTicks() const {
  return TimeTicksAt(size());
}

std::vector<Tplot_time::Tick> Tplot_time::ValueTicksAt(const QSize& size) const {
  const int h = size.height();
  double y_scale = 0, y_offset = 0, x_scale = 0;
  Scaling(size, y_scale, y_offset, x_scale);
  std::vector<Tick> ticks;
  // Round in the reader's unit, each taken back to the plot's own.
  const std::vector<double> values = Taxis_ticks::Values(
      display_y_low_ * tick_scale_ + tick_offset_, display_y_high_ * tick_scale_ + tick_offset_,
      std::max(h / kRowsPerTick, 2), tick_least_);
  for (auto shown = values.rbegin(); shown != values.rend(); ++shown) {
    const double v = (*shown - tick_offset_) / tick_scale_;
    const int row = ToPixel(y_offset + y_scale * v);
    if (row >= 0 && row < h) ticks.push_back({v, row});
  }
  return ticks;
}

std::vector<Tplot_time::Tick> Tplot_time::TimeTicksAt(const QSize& size) const {
  const int count = ring_.Count();
  const int w = size.width();
  if (count < 1 || w < 1) return {};
  double y_scale = 0, y_offset = 0, x_scale = 0;
  Scaling(size, y_scale, y_offset, x_scale);
  const double last = ring_.Time(count - 1);
  // After the clock was set back the newest stamps lie before the oldest;
  // the ticks are then those of the stretch since, where the stamps grow
  // again (looked for only then: it costs a pass over that stretch).
  int start = 0;
  if (last < ring_.Time(0)) {
    start = count - 1;
    while (start > 0 && ring_.Time(start - 1) <= ring_.Time(start)) --start;
  }
  const double first = ring_.Time(start);
  // The column of a (fractional) sample position, as the curve is drawn:
  // spread evenly over the width, or compressed into columns.
  const double ratio = static_cast<double>(count) / w;
  auto column = [&](double position) {
    if (count <= w) return position <= 0 ? 0 : ToPixel(1.0 + position * x_scale);
    return std::clamp(ToPixel(position / ratio), 0, w - 1);
  };
  std::vector<Tick> ticks;
  for (double t : Taxis_ticks::Times(first, last, std::max(w / kColumnsPerTick, 2),
                                     Taxis_ticks::UtcOffset(first))) {
    // The first sample at or after the tick, by bisection (the stamps
    // grow with the samples).
    int lo = start, hi = count - 1;
    while (lo < hi) {
      const int mid = lo + (hi - lo) / 2;
      if (ring_.Time(mid) < t)
        lo = mid + 1;
      else
        hi = mid;
    }
    double position = lo;
    if (lo > start && ring_.Time(lo) > t) {
      const double before = ring_.Time(lo - 1), after = ring_.Time(lo);
      if (after > before && t > before) position = lo - 1 + (t - before) / (after - before);
    }
    // Samples are spread evenly whatever their stamps, so the ticks of a
    // gap in time all fall on its edge: one of them is drawn there, and no
    // tick comes closer to the one before than most ticks lie apart.
    const int at = column(position);
    if (!ticks.empty() && at - ticks.back().pixel < kColumnsPerTick * 3 / 4) continue;
    ticks.push_back({t, at});
  }
  return ticks;
}

double Tplot_time::GetRangeTempsAtX(double x) const {
  const int count = ring_.Count();
  if (count <= 0) return 0.0;
  if (!(x >= 0.0)) x = 0.0;
  if (x > 1.0) x = 1.0;
  // Both factors are bounded, so the product fits an int.
  const int index = std::clamp(static_cast<int>((count - 1) * x), 0, count - 1);
  return ring_.Time(index);
}

double Tplot_time::ValueAt(int i) const {
  if (i < 0 || i >= ring_.Count()) return 0.0;
  return ring_.Value(i);
}

double Tplot_time::TimeAt(int i) const {
  if (i < 0 || i >= ring_.Count()) return 0.0;
  return ring_.Time(i);
}

bool Tplot_time::VisibleFlag() const {
  // A widget starts hidden until its window is shown; only an explicit hide()
  // takes the plot out of view.
  return !(testAttribute(Qt::WA_WState_ExplicitShowHide) && testAttribute(Qt::WA_WState_Hidden));
}

void Tplot_time::SyncGeometry() {
  // On a screen of another pixel density the picture is drawn anew.
  if (!image_.isNull() && image_.devicePixelRatio() != devicePixelRatioF()) {
    image_ = QImage();
    needs_redraw_ = true;
  }
  const QRect g = geometry();
  if (g == last_geometry_) return;
  // The image of the new size is made when the plot draws next: a plot in
  // a window that is not shown holds no picture it cannot show.
  if (g.size() != last_geometry_.size()) image_ = QImage();
  last_geometry_ = g;
  needs_redraw_ = true;
}

void Tplot_time::RedrawIfNeeded() {
  if (needs_redraw_ || image_.isNull()) DrawComponent();
}

bool Tplot_time::InHiddenWindow() const {
  // A plot without a parent is drawn for its picture alone (an off-screen
  // rendering); it never waits for a window. A minimised window shows
  // nothing either: it draws when it is shown again.
  return parentWidget() != nullptr && (!isVisible() || window()->isMinimized());
}

void Tplot_time::Paint() {
  SyncGeometry();
  // Off screen nothing is drawn: the mark stays, and the paint that comes
  // with showing the window draws the picture from the samples as they are
  // then. The picture depends on the stored state alone, so it is the one
  // that drawing every sample would have left.
  if (!InHiddenWindow()) RedrawIfNeeded();
  update();
}

void Tplot_time::hideEvent(QHideEvent* event) {
  // Hidden, or hidden with its window (not minimised): the picture is given
  // back and drawn again from the samples when the plot shows.
  if (!event->spontaneous() && parentWidget() != nullptr) {
    image_ = QImage();
    needs_redraw_ = true;
  }
  QWidget::hideEvent(event);
}

void Tplot_time::paintEvent(QPaintEvent*) {
  SyncGeometry();
  QPainter painter(this);
  // Rendered into a picture file or onto paper (a vector device), the plot
  // is drawn as lines rather than copied as pixels.
  const QPaintEngine* engine = painter.paintEngine();
  if (engine != nullptr &&
      (engine->type() == QPaintEngine::SVG || engine->type() == QPaintEngine::Pdf ||
       engine->type() == QPaintEngine::Picture)) {
    DrawVector(painter);
    return;
  }
  RedrawIfNeeded();
  painter.drawImage(QPointF(0, 0), image_);
}

void Tplot_time::DrawFrameAndGrid(const RectFill& fill, int w, int h) const {
  fill(0, 0, w, h, back_color_);
  // Border and grid are one-pixel lines along rows and columns; filled as
  // one-pixel rectangles they take the same pixels at a fraction of the
  // cost of stroking them. Rectangles reaching outside the picture are cut
  // to it. A frame around a single pixel is an empty rectangle, which the
  // painter does not draw.
  if (w > 1 || h > 1) {
    fill(0, 0, w, 1, border_color_);
    fill(0, h - 1, w, 1, border_color_);
    fill(0, 0, 1, h, border_color_);
    fill(w - 1, 0, 1, h, border_color_);
  }
  if (round_grid_) {
    const QSize size(w, h);
    for (const Tick& tick : ValueTicksAt(size)) fill(0, tick.pixel, w, 1, grid_color_);
    for (const Tick& tick : TimeTicksAt(size)) fill(tick.pixel, 0, 1, h, grid_color_);
    return;
  }
  // Grid lines include both edges; one at the far edge lies outside the
  // picture. With more divisions than pixels every line falls on the first.
  if (grid_x_divisions_ > 0) {
    const long long step = w / (static_cast<long long>(grid_x_divisions_) + 1);
    const long long lines = step > 0 ? grid_x_divisions_ + 1LL : 0;
    for (long long k = 0; k <= lines; ++k) fill(static_cast<int>(k * step), 0, 1, h, grid_color_);
  }
  if (grid_y_divisions_ > 0) {
    const long long step = h / (static_cast<long long>(grid_y_divisions_) + 1);
    const long long lines = step > 0 ? grid_y_divisions_ + 1LL : 0;
    for (long long k = 0; k <= lines; ++k) fill(0, static_cast<int>(k * step), w, 1, grid_color_);
  }
}

void Tplot_time::DrawVector(QPainter& p) {
  if (!VisibleFlag()) return;
  UpdateDrawScaling();
  const int w = last_geometry_.width();
  const int h = last_geometry_.height();
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setClipRect(0, 0, w, h);
  DrawFrameAndGrid(
      [&p](int x, int y, int rw, int rh, const QColor& c) { p.fillRect(x, y, rw, rh, c); }, w, h);
  // The curve as one polyline: the samples, or each column's entry, span
  // and exit.
  const int count = ring_.Count();
  if (count > 1) {
    QPolygonF curve;
    if (count <= w) {
      curve.reserve(count);
      curve << QPointF(0.5, RowOf(ring_.Value(0)) + 0.5);
      for (int i = 1; i < count; ++i)
        curve << QPointF(ToPixel(x_offset_ + i * x_scale_) + 0.5, RowOf(ring_.Value(i)) + 0.5);
    } else {
      curve.reserve(3 * w);
      const double ratio = static_cast<double>(count) / w;
      double position = 0.0;
      for (int c = 0; c < w; ++c) {
        const int first = std::min(CeilOf(position), count);
        position += ratio;
        const int last = std::min(FloorOf(position), count - 1);
        MinMaxInOut(first, last);
        // Down to the span's lowest point and up to its highest, ending at
        // its exit, within the column.
        curve << QPointF(c + 0.5, entry_y_ + 0.5) << QPointF(c + 0.5, min_y_ + 0.5)
              << QPointF(c + 0.5, max_y_ + 0.5) << QPointF(c + 0.5, exit_y_ + 0.5);
      }
    }
    p.setPen(QPen(wave_color_, 0));
    p.drawPolyline(curve);
  }
  p.restore();
}

void Tplot_time::Scaling(const QSize& size, double& y_scale, double& y_offset,
                         double& x_scale) const {
  const int w = size.width();
  const int h = size.height();
  // A normal range gives a negative span: larger values lie higher.
  double span = display_y_low_ - display_y_high_;
  if (span == 0.0) span = 0.00001;
  y_scale = (h - 3) / span;
  y_offset = 1.0 - y_scale * display_y_high_;
  double steps = ring_.Count() - 1;
  if (!(steps > 0.0)) steps = 0.00001;
  x_scale = (w - 3) / steps;
}

void Tplot_time::UpdateDrawScaling() {
  Scaling(last_geometry_.size(), y_scale_, y_offset_, x_scale_);
  x_offset_ = 1.0;
}

void Tplot_time::MinMaxInOut(int first, int last) {
  const int newest = ring_.Count() - 1;
  if (newest < 0) return;
  // Only stored samples count; a span that reaches outside them takes the
  // newest one.
  if (first < 0 || first > newest || last < 0 || last > newest) {
    entry_y_ = exit_y_ = min_y_ = max_y_ = RowOf(ring_.Value(newest));
    return;
  }
  const double entry = ring_.Value(first);
  double lo = entry;
  double hi = entry;
  // The fold keeps the comparisons of a plain scan from the entry on: a NaN
  // never replaces anything, so a NaN entry stays the whole span.
  if (!std::isnan(entry) && last > first) ring_.Span(first + 1, last, lo, hi);
  const double exit = last > first ? ring_.Value(last) : entry;
  entry_y_ = RowOf(entry);
  exit_y_ = RowOf(exit);
  min_y_ = RowOf(lo);
  max_y_ = RowOf(hi);
}

void Tplot_time::DrawComponent() {
  if (!VisibleFlag()) return;
  UpdateDrawScaling();
  if (image_.isNull() && !last_geometry_.isEmpty())
    image_ = DeviceImage(last_geometry_.width(), last_geometry_.height(), devicePixelRatioF());
  if (image_.isNull()) return;
  // The picture is about to show the present state; nothing stays pending.
  needs_redraw_ = false;
  // Logical pixels; on a high-density screen the image has ratio times more.
  const int w = last_geometry_.width();
  const int h = last_geometry_.height();
  const bool device_scaled = image_.devicePixelRatio() != 1.0;

  // Opaque colours at the image's own resolution are written straight into
  // it, as the painter would fill them; otherwise the painter fills (and
  // blends, or scales to the device).
  const bool opaque =
      back_color_.alpha() == 255 && border_color_.alpha() == 255 && grid_color_.alpha() == 255;
  if (opaque && !device_scaled) {
    QRgb* bits = reinterpret_cast<QRgb*>(image_.bits());
    const qsizetype stride = image_.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    const int iw = image_.width();
    const int ih = image_.height();
    DrawFrameAndGrid(
        [&](int x, int y, int rw, int rh, const QColor& c) {
          const int x0 = std::max(x, 0), x1 = std::min(x + rw, iw);
          const int y0 = std::max(y, 0), y1 = std::min(y + rh, ih);
          if (x0 >= x1 || y0 >= y1) return;
          const QRgb value = c.rgba64().toArgb32();
          for (int row = y0; row < y1; ++row)
            std::fill(bits + row * stride + x0, bits + row * stride + x1, value);
        },
        w, h);
  } else {
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    DrawFrameAndGrid(
        [&p](int x, int y, int rw, int rh, const QColor& c) { p.fillRect(x, y, rw, rh, c); }, w, h);
  }

  const int count = ring_.Count();
  if (count <= 1) return;
  // The curve's lines are collected and drawn in one call; they share a
  // colour, so their order does not matter.
  std::vector<QLine> lines;

  if (count <= w) {
    // Samples spread evenly over the width, whatever their time stamps.
    lines.reserve(static_cast<size_t>(count));
    QPoint pen(0, RowOf(ring_.Value(0)));
    for (int i = 1; i < count; ++i) {
      const QPoint next(ToPixel(x_offset_ + i * x_scale_), RowOf(ring_.Value(i)));
      lines.emplace_back(pen, next);
      pen = next;
    }
    if (!device_scaled) {
      QPainter p(&image_);
      p.setRenderHint(QPainter::Antialiasing, false);
      p.setPen(QPen(wave_color_, 0));
      p.drawLines(lines.data(), static_cast<int>(lines.size()));
      return;
    }
    for (const QLine& line : lines) DrawLine(image_, line.p1(), line.p2(), wave_color_);
    return;
  }

  // More samples than columns: each column stands for the samples whose
  // positions fall into it and shows their span as a vertical bar. Every
  // piece of this curve is a run of pixels within one or two neighbouring
  // columns, so it is written straight into the image: the drawing runs once
  // a second for every shown plot, and this way costs a fraction of the
  // painter's line drawing while putting exactly the pixels its one-pixel
  // lines put.
  ColumnWriter column(image_, wave_color_.rgb());
  const double ratio = static_cast<double>(count) / w;
  double position = 0.0;
  QPoint pen(0, RowOf(ring_.Value(0)));
  for (int c = 0; c < w; ++c) {
    const int first = std::min(CeilOf(position), count);
    position += ratio;
    const int last = std::min(FloorOf(position), count - 1);
    MinMaxInOut(first, last);
    if (device_scaled) {
      // At device resolution, each piece a line as thick as a logical pixel.
      DrawLine(image_, pen, QPoint(c, entry_y_), wave_color_);
      if (max_y_ != min_y_) DrawLine(image_, QPoint(c, min_y_), QPoint(c, max_y_), wave_color_);
      pen = QPoint(c, exit_y_);
      continue;
    }
    column.Join(pen.x(), pen.y(), c, entry_y_);
    if (max_y_ != min_y_) column.Run(c, min_y_, max_y_);
    pen = QPoint(c, exit_y_);
  }
}
