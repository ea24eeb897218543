#include "components/Value_label.h"

#include <QEvent>
#include <QHideEvent>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QStyle>
#include <QTextDocument>

Tvalue_label::Tvalue_label(QWidget* parent) : QLabel(parent) {}

Tvalue_label::Tvalue_label(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void Tvalue_label::DropBackdrop() {
  if (!has_backdrop_) return;
  has_backdrop_ = false;
  backdrop_ = QPixmap();
  backdrop_colour_ = QColor();
  face_ = QPixmap();
  // Transparent again: the next repaint draws what lies beneath first.
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  update();
}

bool Tvalue_label::event(QEvent* event) {
  // A window that changes its activation may redraw itself in other
  // colours; the window passes these events on to its children.
  if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)
    DropBackdrop();
  return QLabel::event(event);
}

void Tvalue_label::changeEvent(QEvent* event) {
  // A new font, direction or locale draws the text otherwise.
  face_ = QPixmap();
  switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::EnabledChange:
    case QEvent::ParentChange:
      DropBackdrop();
      break;
    default:
      break;
  }
  QLabel::changeEvent(event);
}

void Tvalue_label::moveEvent(QMoveEvent* event) {
  // An opaque widget that moves is copied to its new place as it was; the
  // background there is another one.
  DropBackdrop();
  QLabel::moveEvent(event);
}

void Tvalue_label::resizeEvent(QResizeEvent* event) {
  DropBackdrop();
  QLabel::resizeEvent(event);
}

void Tvalue_label::hideEvent(QHideEvent* event) {
  // Hidden, or hidden with its window (not minimised): a window that is not
  // shown keeps no pictures; the label takes them again when it shows.
  if (!event->spontaneous()) DropBackdrop();
  QLabel::hideEvent(event);
}

void Tvalue_label::paintEvent(QPaintEvent* event) {
  // While the picture is taken the label itself is not part of it.
  if (capturing_) return;
  if (has_backdrop_) {
    const bool fits = mapTo(window(), QPoint(0, 0)) == backdrop_at_ &&
                      (backdrop_.isNull() || backdrop_.devicePixelRatio() == devicePixelRatioF());
    if (fits && DrawsOwnText()) {
      const qreal ratio = devicePixelRatioF();
      if (face_.isNull() || face_text_ != text() || face_alignment_ != alignment() ||
          face_wraps_ != wordWrap() || face_.devicePixelRatio() != ratio ||
          face_.size() != size() * ratio)
        MakeFace();
      QPainter painter(this);
      painter.drawPixmap(0, 0, face_);
      return;
    }
    if (fits) {
      QPainter painter(this);
      if (backdrop_.isNull())
        painter.fillRect(rect(), backdrop_colour_);
      else
        painter.drawPixmap(0, 0, backdrop_);
    } else {
      // Something around the label moved (or the screen changed): the
      // picture no longer fits. Repainted transparent, the label shows the
      // right background again from the next frame on.
      DropBackdrop();
      if (QWidget* parent = parentWidget()) parent->update(geometry());
    }
  }
  if (!text().isEmpty()) ++text_layouts_;
  QLabel::paintEvent(event);
  if (!has_backdrop_ && !capture_pending_) {
    // Not from inside a paint: the picture is taken once the event loop
    // runs again, from what was just painted on the screen's behalf.
    capture_pending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          capture_pending_ = false;
          CaptureBackdrop();
        },
        Qt::QueuedConnection);
  }
}

bool Tvalue_label::DrawsOwnText() const {
  // What QLabel draws for these is more than its frame and aligned text.
  if (margin() != 0 || indent() > 0 || buddy() != nullptr || !pixmap().isNull()) return false;
  if (textInteractionFlags() & (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard))
    return false;
  switch (textFormat()) {
    case Qt::PlainText:
      return true;
    case Qt::AutoText:
      return !Qt::mightBeRichText(text());
    default:
      return false;
  }
}

void Tvalue_label::MakeFace() {
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = size() * ratio;
  if (face_.size() != pixels) face_ = QPixmap(pixels);
  face_.setDevicePixelRatio(ratio);
  face_text_ = text();
  face_alignment_ = alignment();
  face_wraps_ = wordWrap();
  QPainter painter(&face_);
  painter.setFont(font());
  painter.setLayoutDirection(layoutDirection());
  if (backdrop_.isNull())
    painter.fillRect(rect(), backdrop_colour_);
  else
    painter.drawPixmap(0, 0, backdrop_);
  drawFrame(&painter);
  if (face_text_.isEmpty()) return;
  ++text_layouts_;
  // As QLabel draws plain text: aligned in the contents, in the text's own
  // direction, tabs expanded, wrapped at words if asked.
  const Qt::LayoutDirection direction =
      face_text_.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
  const Qt::Alignment align =
      QStyle::visualAlignment(direction, face_alignment_ | Qt::AlignmentFlag(Qt::TextExpandTabs) |
                                             Qt::AlignmentFlag(wordWrap() ? Qt::TextWordWrap : 0));
  // Within a frame the text keeps half an x's width from the edges it is
  // aligned to.
  QRect contents = contentsRect();
  const int inset = frameWidth() != 0 ? fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 : 0;
  if (inset > 0) {
    if (align & Qt::AlignLeft) contents.setLeft(contents.left() + inset);
    if (align & Qt::AlignRight) contents.setRight(contents.right() - inset);
    if (align & Qt::AlignTop) contents.setTop(contents.top() + inset);
    if (align & Qt::AlignBottom) contents.setBottom(contents.bottom() - inset);
  }
  const int flags =
      static_cast<int>(align) |
      (direction == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
  style()->drawItemText(&painter, contents, flags, palette(), isEnabled(), face_text_,
                        foregroundRole());
}

void Tvalue_label::CaptureBackdrop() {
  if (has_backdrop_) return;
  QWidget* top = window();
  if (top == this || !isVisibleTo(top) || size().isEmpty()) return;
  const QPoint at = mapTo(top, QPoint(0, 0));
  capturing_ = true;
  QPixmap picture = top->grab(QRect(at, size()));
  capturing_ = false;
  if (picture.isNull()) return;
  // Most labels sit on one colour: that is all there is to keep.
  const QImage image = picture.toImage();
  const QRgb first = image.pixel(0, 0);
  bool one_colour = qAlpha(first) == 255;
  for (int y = 0; y < image.height() && one_colour; ++y)
    for (int x = 0; x < image.width() && one_colour; ++x) one_colour = image.pixel(x, y) == first;
  if (one_colour)
    backdrop_colour_ = QColor::fromRgb(first);
  else
    backdrop_ = picture;
  has_backdrop_ = true;
  backdrop_at_ = at;
  // Opaque from now on: a repaint of the label no longer reaches beneath.
  setAttribute(Qt::WA_OpaquePaintEvent, true);
}
