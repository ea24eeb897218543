#include "components/Gfxbase.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

// Sets the `thickness` x `thickness` device pixels from (x, y) on, clipped.
void Stamp(QImage& image, int64_t x, int64_t y, int thickness, QRgb rgb) {
  for (int64_t j = y; j < y + thickness; ++j) {
    if (j < 0 || j >= image.height()) continue;
    for (int64_t i = x; i < x + thickness; ++i)
      if (i >= 0 && i < image.width())
        image.setPixel(static_cast<int>(i), static_cast<int>(j), rgb);
  }
}

int64_t ToDevice(int v, qreal ratio) {
  return static_cast<int64_t>(std::floor(v * ratio));
}

}  // namespace

QImage DeviceImage(int width, int height, qreal ratio) {
  if (!(ratio > 0)) ratio = 1;
  QImage image(static_cast<int>(std::ceil(width * ratio)),
               static_cast<int>(std::ceil(height * ratio)), QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  return image;
}

void CopyToScreen(QPainter& painter, const QRect& rect, const QImage& image) {
  const qreal ratio = image.devicePixelRatio();
  painter.drawImage(
      QRectF(rect), image,
      QRectF(rect.x() * ratio, rect.y() * ratio, rect.width() * ratio, rect.height() * ratio));
}

void DrawLine(QImage& image, QPoint from, QPoint to, const QColor& color) {
  DrawLineExcludingEnd(image, from, to, color);
  if (image.isNull()) return;
  const qreal ratio = image.devicePixelRatio();
  Stamp(image, ToDevice(to.x(), ratio), ToDevice(to.y(), ratio), std::max(1, qRound(ratio)),
        color.rgb());
}

void DrawLineExcludingEnd(QImage& image, QPoint from, QPoint to, const QColor& color) {
  if (image.isNull()) return;
  const QRgb rgb = color.rgb();
  // At a device pixel ratio the line runs between the device pixels of its
  // logical end points, each step a square as thick as a logical pixel.
  const qreal ratio = image.devicePixelRatio();
  const int thickness = std::max(1, qRound(ratio));
  // Integer steps along the line, nearest pixel on the shorter axis; 64-bit
  // so that no distance between two int coordinates can overflow.
  int64_t x = ToDevice(from.x(), ratio);
  int64_t y = ToDevice(from.y(), ratio);
  const int64_t x1 = ToDevice(to.x(), ratio);
  const int64_t y1 = ToDevice(to.y(), ratio);
  const int64_t dx = std::llabs(x1 - x);
  const int64_t dy = std::llabs(y1 - y);
  const int sx = x < x1 ? 1 : -1;
  const int sy = y < y1 ? 1 : -1;
  // A line wholly beside the image puts no pixel.
  if ((x < 0 && x1 < 0) || (y < 0 && y1 < 0) || (x >= image.width() && x1 >= image.width()) ||
      (y >= image.height() && y1 >= image.height()))
    return;
  int64_t err = dx - dy;
  while (x != x1 || y != y1) {
    if (thickness > 1)
      Stamp(image, x, y, thickness, rgb);
    else if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
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
  bitmap_ = DeviceImage(laid_out_width_, laid_out_height_, devicePixelRatioF());
}

void Tgfxbase::DrawComponent() {
  if (!bitmap_.isNull()) bitmap_.fill(background_color_);
}

void Tgfxbase::UpdateBitmap() {
  // A new size, or a screen of another pixel density.
  if (width() != laid_out_width_ || height() != laid_out_height_ ||
      bitmap_.devicePixelRatio() != devicePixelRatioF()) {
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
  CopyToScreen(painter, event->rect(), bitmap_);
}
