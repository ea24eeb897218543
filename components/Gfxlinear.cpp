#include "components/Gfxlinear.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

const QColor kCrossColor(255, 0, 0);

// Fills the pixels x = left .. right - 1, y = top .. bottom - 1.
void FillBox(QPainter& painter, int left, int top, int right, int bottom, const QColor& color) {
  if (right <= left || bottom <= top) return;
  painter.fillRect(QRect(left, top, right - left, bottom - top), color);
}

int ClampToInt(int64_t value) {
  return static_cast<int>(
      std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

Tgfxlinear::Tgfxlinear(QWidget* parent) : Tgfxbase(parent) {
  StoreState(-1);
  Tgfxlinear::NewDimensions();
  Tgfxlinear::DrawComponent();
}

void Tgfxlinear::Set_State(int state) {
  if (state != -1) {
    if (state < low_pos_) state = low_pos_;
    if (state > high_pos_) state = high_pos_;
  }
  StoreState(state);
  SetRedrawNeeded();
  Paint();
}

void Tgfxlinear::Set_LowPos(int position) {
  if (position < 0) return;
  low_pos_ = position;
  NewDimensions();
  SetRedrawNeeded();
  Paint();
}

void Tgfxlinear::Set_HighPos(int position) {
  high_pos_ = position;
  NewDimensions();
  SetRedrawNeeded();
  Paint();
}

void Tgfxlinear::SetPayLoad(Tgfxbase* payload) {
  // A gauge cannot carry itself.
  payload_ = payload == this ? nullptr : payload;
  NewDimensions();
  SetRedrawNeeded();
  Paint();
}

void Tgfxlinear::Paint() {
  Tgfxbase::Paint();
  PlacePayLoad();
}

void Tgfxlinear::paintEvent(QPaintEvent* event) {
  Tgfxbase::paintEvent(event);
  // A change of size found here may have moved the payload's place.
  if (payload_ && payload_->pos() != QPoint(payload_left_, payload_top_)) PlacePayLoad();
}

void Tgfxlinear::PlacePayLoad() {
  if (!payload_ || placing_payload_) return;
  placing_payload_ = true;
  payload_->Set_Location(payload_left_, payload_top_);
  placing_payload_ = false;
}

void Tgfxlinear::NewDimensions() {
  Tgfxbase::NewDimensions();
  const double length = payload_ ? static_cast<double>(LaidOutWidth()) - 8 - payload_->width()
                                 : static_cast<double>(LaidOutWidth()) - 12;
  // In floating point: the bounds are unchecked ints whose difference may
  // not fit an int. Equal bounds give no scale; the gauge then shows "no
  // position".
  const double span = static_cast<double>(high_pos_) - static_cast<double>(low_pos_);
  if (span != 0.0) {
    pixels_per_step_ = length / span;
    pixel_offset_ = 4.0 - pixels_per_step_ * low_pos_;
  } else {
    pixels_per_step_ = 0.0;
    pixel_offset_ = 4.0;
  }
}

void Tgfxlinear::SetPayLoadPosition(int64_t left, int64_t top) {
  payload_left_ = ClampToInt(left);
  payload_top_ = ClampToInt(top);
}

void Tgfxlinear::DrawComponent() {
  QImage& image = Bitmap();
  if (image.isNull()) return;
  const int w = LaidOutWidth();
  const int h = LaidOutHeight();
  const int middle = h / 2;
  const int64_t payload_height = payload_ ? payload_->height() : 0;

  QPainter painter(&image);
  FillBox(painter, 0, 0, w, h, BackGroundColor());

  if (w < 16 || h < 16) {
    // Too small for posts and rail: only a full red cross.
    painter.end();
    DrawLineExcludingEnd(image, QPoint(0, 0), QPoint(w, h), kCrossColor);
    DrawLineExcludingEnd(image, QPoint(0, h), QPoint(w, 0), kCrossColor);
    if (payload_) SetPayLoadPosition(x(), int64_t{y()} - payload_height);
    return;
  }

  FillBox(painter, 0, 0, 4, h, ForeGroundColor());
  FillBox(painter, w - 4, 0, w, h, ForeGroundColor());
  FillBox(painter, 0, middle, w, middle + 8, ForeGroundColor());

  if (State() == -1 || high_pos_ == low_pos_) {
    // No position: a cross over the upper half between the posts.
    painter.end();
    DrawLineExcludingEnd(image, QPoint(4, 0), QPoint(w - 4, middle), kCrossColor);
    DrawLineExcludingEnd(image, QPoint(4, middle), QPoint(w - 4, 0), kCrossColor);
    if (payload_) SetPayLoadPosition(int64_t{x()} + 4, int64_t{y()} + middle - payload_height);
    return;
  }

  // The stored state is not clamped again when the bounds move, so its
  // column can lie far outside the gauge; keep it within a range where the
  // conversion and the payload's position stay defined.
  const double limit = 1 << 30;
  const double exact = std::clamp(pixels_per_step_ * State() + pixel_offset_, -limit, limit);
  const int column = static_cast<int>(std::trunc(exact));
  if (payload_) {
    SetPayLoadPosition(int64_t{x()} + column, int64_t{y()} + middle - payload_height);
  } else {
    FillBox(painter, column, 0, column + 4, middle, DrawColor());
  }
}
