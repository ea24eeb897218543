#include "components/Value_label.h"

#include <QEvent>
#include <QPainter>
#include <QRect>

Tvalue_label::Tvalue_label(QWidget* parent) : QLabel(parent) {}

Tvalue_label::Tvalue_label(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void Tvalue_label::DropBackdrop() {
  if (backdrop_.isNull()) return;
  backdrop_ = QPixmap();
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

void Tvalue_label::paintEvent(QPaintEvent* event) {
  // While the picture is taken the label itself is not part of it.
  if (capturing_) return;
  if (!backdrop_.isNull()) {
    if (mapTo(window(), QPoint(0, 0)) == backdrop_at_ &&
        backdrop_.devicePixelRatio() == devicePixelRatioF()) {
      QPainter painter(this);
      painter.drawPixmap(0, 0, backdrop_);
    } else {
      // Something around the label moved (or the screen changed): the
      // picture no longer fits. Repainted transparent, the label shows the
      // right background again from the next frame on.
      DropBackdrop();
      if (QWidget* parent = parentWidget()) parent->update(geometry());
    }
  }
  QLabel::paintEvent(event);
  if (backdrop_.isNull() && !capture_pending_) {
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

void Tvalue_label::CaptureBackdrop() {
  if (!backdrop_.isNull()) return;
  QWidget* top = window();
  if (top == this || !isVisibleTo(top) || size().isEmpty()) return;
  const QPoint at = mapTo(top, QPoint(0, 0));
  capturing_ = true;
  backdrop_ = top->grab(QRect(at, size()));
  capturing_ = false;
  if (backdrop_.isNull()) return;
  backdrop_at_ = at;
  // Opaque from now on: a repaint of the label no longer reaches beneath.
  setAttribute(Qt::WA_OpaquePaintEvent, true);
}
