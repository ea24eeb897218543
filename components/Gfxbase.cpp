#include "components/Gfxbase.h"

#include <QPaintEvent>
#include <QPainter>
#include <cstdint>
#include <cstdlib>

void DrawLineExcludingEnd(QImage& image, QPoint from, QPoint to, const QColor& color) {
  if (image.isNull()) return;
  const QRgb rgb = color.rgb();
  // Integer steps along the line, nearest pixel on the shorter axis; 64-bit
  // so that no distance between two int coordinates can overflow.
  int64_t x = from.x();
  int64_t y = from.y();
  const int64_t x1 = to.x();
  const int64_t y1 = to.y();
  const int64_t dx = std::llabs(x1 - x);
  const int64_t dy = std::llabs(y1 - y);
  const int sx = x < x1 ? 1 : -1;
  const int sy = y < y1 ? 1 : -1;
  int64_t err = dx - dy;
  while (x != x1 || y != y1) {
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
      image.setPixel(static_cast<int>(x), static_cast<int>(y), rgb);
    const int64_t e2 = 2 * err;
    if (e2 > -dy) {
      err -= dy;
      x += sx;
    }
    if (e2 < dx) {
      err += dx;
      y += sy;
    }
  }
}

Tgfxbase::Tgfxbase(QWidget* parent) : QWidget(parent) {
  // The image covers the whole control, so nothing below needs painting.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setGeometry(0, 0, 100, 200);
  Tgfxbase::NewDimensions();
  // Draw the first picture now, so the image never shows undrawn memory.
  Tgfxbase::DrawComponent();
  redraw_needed_ = false;
}

void Tgfxbase::Set_BGColor(const QColor& color) {
  background_color_ = color;
  redraw_needed_ = true;
  Paint();
}

void Tgfxbase::Set_DColor(const QColor& color) {
  draw_color_ = color;
  redraw_needed_ = true;
  Paint();
}

void Tgfxbase::Set_FGColor(const QColor& color) {
  foreground_color_ = color;
  redraw_needed_ = true;
  Paint();
}

void Tgfxbase::Set_State(int state) {
  state_ = state;
  redraw_needed_ = true;
  Paint();
}

void Tgfxbase::Set_Location(int x, int y) {
  move(x, y);
  Paint();
}

void Tgfxbase::Paint() {
  UpdateBitmap();
  update();
}

void Tgfxbase::NewDimensions() {
  laid_out_width_ = width();
  laid_out_height_ = height();
  bitmap_ = QImage(laid_out_width_, laid_out_height_, QImage::Format_RGB32);
}

void Tgfxbase::DrawComponent() {
  if (!bitmap_.isNull()) bitmap_.fill(background_color_);
}

void Tgfxbase::UpdateBitmap() {
  if (width() != laid_out_width_ || height() != laid_out_height_) {
    NewDimensions();
    redraw_needed_ = true;
  }
  if (redraw_needed_) {
    DrawComponent();
    redraw_needed_ = false;
  }
}

void Tgfxbase::paintEvent(QPaintEvent* event) {
  UpdateBitmap();
  QPainter painter(this);
  painter.drawImage(event->rect().topLeft(), bitmap_, event->rect());
}
