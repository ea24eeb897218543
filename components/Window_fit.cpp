#include "components/Window_fit.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>

#include "components/Window_place.h"

Twindow_fit::Twindow_fit(QWidget* window) : QObject(window), window_(window) {
  window->installEventFilter(this);
}

QSize Twindow_fit::Within(const QSize& size, const QMargins& margins, const QRect& area) {
  const int width = area.width() - margins.left() - margins.right();
  const int height = area.height() - margins.top() - margins.bottom();
  return QSize(std::max(1, std::min(size.width(), width)),
               std::max(1, std::min(size.height(), height)));
}

QMargins Twindow_fit::FrameMargins() const {
  const QRect frame = Twindow_place::FrameOf(window_);
  const QRect client = window_->geometry();
  return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                  frame.right() - client.right(), frame.bottom() - client.bottom());
}

bool Twindow_fit::Fit(bool showing) {
  const QList<QRect> areas = Twindow_place::ScreenAreas();
  const QRect frame = Twindow_place::FrameOf(window_);
  const QRect area = Twindow_place::NearestArea(frame, areas);
  margins_ = FrameMargins();
  if (area.isEmpty()) return false;
  const QSize fitted = Within(window_->size(), margins_, area);
  if (fitted == window_->size()) return false;
  window_->resize(fitted);
  if (showing) {
    const QRect smaller(frame.topLeft(), fitted.grownBy(margins_));
    const QPoint corner = Twindow_place::OntoNearestArea(smaller, {area});
    if (corner != frame.topLeft()) window_->move(corner);
  }
  return true;
}

bool Twindow_fit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && window_->isWindow()) {
    if (event->type() == QEvent::Show) {
      Fit(true);
      framing_ = true;
      shown_size_ = window_->size();
    } else if (event->type() == QEvent::Hide) {
      framing_ = false;
    } else if (framing_ && window_->size() != shown_size_) {
      // Given another size since it showed: not the fit's to change.
      framing_ = false;
    } else if (framing_ && window_->isVisible() && FrameMargins() != margins_) {
      // Framed by the window manager after it showed: the title bar and
      // border count now. Once only: a size given later is the user's (or
      // the window manager's) to choose. A place of its own is kept by the
      // window's Twindow_place.
      framing_ = false;
      Fit(false);
    }
  }
  return QObject::eventFilter(watched, event);
}
