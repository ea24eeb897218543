#include "components/Lcd_bar.h"

#include "components/Gfxbase.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// Fills the pixels x = left .. right - 1, y = top .. bottom - 1; an empty or
// inverted rectangle fills nothing.
void FillBox(QPainter& painter, int left, int top, int right, int bottom, const QColor& color) {
  if (right <= left || bottom <= top) return;
  painter.fillRect(QRect(left, top, right - left, bottom - top), color);
}

// One-pixel outline on the outer pixels of (left, top, right, bottom).
void FrameBox(QPainter& painter, int left, int top, int right, int bottom, const QColor& color) {
  if (right <= left || bottom <= top) return;
  FillBox(painter, left, top, right, top + 1, color);
  FillBox(painter, left, bottom - 1, right, bottom, color);
  FillBox(painter, left, top, left + 1, bottom, color);
  FillBox(painter, right - 1, top, right, bottom, color);
}

}  // namespace

Tlcd_bar::Tlcd_bar(QWidget* parent) : QWidget(parent) {
  // The image covers the whole control, so nothing below needs painting.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setGeometry(0, 0, 100, 200);
  LayOut();
  // Draw the first picture now, so the image never shows undrawn memory.
  DrawComponent();
  redraw_needed_ = false;
}

void Tlcd_bar::Set_Enable(bool enable) {
  enable_display_ = enable;
  redraw_needed_ = true;
  Paint();
}

void Tlcd_bar::Set_LowRange(double low) {
  y_low_range_ = low;
  Rescale();
  redraw_needed_ = true;
  Paint();
}

void Tlcd_bar::Set_HighRange(double high) {
  y_high_range_ = high;
  Rescale();
  redraw_needed_ = true;
  Paint();
}

void Tlcd_bar::Set_NbrSegments(int count) {
  // Each segment needs at least its two-pixel gap, plus the frame and the
  // clear pixel at the bottom; the count never drops below one, even on a bar
  // too low to show a single segment.
  const int most = (laid_out_height_ - 3) / 2;
  if (count < 1) count = 1;
  if (count > most) count = most;
  if (count < 1) count = 1;
  nbr_of_segments_ = count;
  Rescale();
  redraw_needed_ = true;
  Paint();
}

void Tlcd_bar::Set_BGColor(const QColor& color) {
  background_color_ = color;
  redraw_needed_ = true;
  Paint();
}

void Tlcd_bar::Set_FGColor(const QColor& color) {
  foreground_color_ = color;
  redraw_needed_ = true;
  Paint();
}

void Tlcd_bar::Set_BDColor(const QColor& color) {
  border_color_ = color;
  redraw_needed_ = true;
  Paint();
}

void Tlcd_bar::Set_Value(double value) {
  // The high bound first: with an inverted range the low bound wins.
  if (value > y_high_range_) value = y_high_range_;
  if (value < y_low_range_) value = y_low_range_;
  bar_value_ = value;
  redraw_needed_ = true;
  Paint();
}

void Tlcd_bar::Paint() {
  UpdateBitmap();
  update();
}

void Tlcd_bar::paintEvent(QPaintEvent* event) {
  UpdateBitmap();
  QPainter painter(this);
  CopyToScreen(painter, event->rect(), bitmap_);
}

void Tlcd_bar::UpdateBitmap() {
  // A new size, or a screen of another pixel density.
  if (width() != laid_out_width_ || height() != laid_out_height_ ||
      bitmap_.devicePixelRatio() != devicePixelRatioF()) {
    LayOut();
    redraw_needed_ = true;
  }
  if (redraw_needed_) {
    DrawComponent();
    redraw_needed_ = false;
  }
}

void Tlcd_bar::LayOut() {
  laid_out_width_ = width();
  laid_out_height_ = height();
  bitmap_ = DeviceImage(laid_out_width_, laid_out_height_, devicePixelRatioF());
  Rescale();
}

void Tlcd_bar::Rescale() {
  // The segments share the height left after the frame, the clear pixel at
  // the bottom and a two-pixel gap per segment.
  const int usable = height() - 2 * nbr_of_segments_ - 2;
  segment_height_ = usable / nbr_of_segments_;
}

int Tlcd_bar::LitSegments() const {
  // A range of zero width has no scale: nothing is lit, also for a value
  // stored before the range closed up (its fraction would be infinite).
  if (y_high_range_ == y_low_range_) return 0;
  const double fraction = (bar_value_ - y_low_range_) / (y_high_range_ - y_low_range_);
  const double lit = nbr_of_segments_ * fraction;
  // Also catches a NaN value or range bound: nothing lit.
  if (!(lit > 0.0)) return 0;
  if (lit >= nbr_of_segments_) return nbr_of_segments_;
  return std::min(nbr_of_segments_, static_cast<int>(std::ceil(lit)));
}

void Tlcd_bar::DrawComponent() {
  if (bitmap_.isNull()) return;  // a control of zero width or height
  const int w = laid_out_width_;
  const int h = laid_out_height_;
  QPainter painter(&bitmap_);
  painter.setRenderHint(QPainter::Antialiasing, false);
  FillBox(painter, 0, 0, w, h, background_color_);

  if (!enable_display_) {
    // No data: a red diagonal cross over the background, nothing else.
    painter.end();
    DrawLineExcludingEnd(bitmap_, QPoint(0, 0), QPoint(w, h), QColor(255, 0, 0));
    DrawLineExcludingEnd(bitmap_, QPoint(0, h), QPoint(w, 0), QColor(255, 0, 0));
    return;
  }

  FrameBox(painter, 0, 0, w, h, border_color_);

  const int lit = LitSegments();
  const int s = segment_height_;
  for (int i = 0; i < nbr_of_segments_; ++i) {
    const int bottom = h - 2 - i * (s + 2);
    const QColor& color = i < lit ? foreground_color_ : background_color_;
    FillBox(painter, 2, bottom - s, w - 2, bottom, color);
  }
}
