#include "components/Window_place.h"

#include "components/Window_fit.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdint>

namespace {

// Distance between two rectangles (0 when they touch or overlap), squared.
int64_t GapSquared(const QRect& a, const QRect& b) {
  const int64_t dx =
      std::max<int64_t>({0, int64_t{b.left()} - a.right() - 1, int64_t{a.left()} - b.right() - 1});
  const int64_t dy =
      std::max<int64_t>({0, int64_t{b.top()} - a.bottom() - 1, int64_t{a.top()} - b.bottom() - 1});
  return dx * dx + dy * dy;
}

int64_t Overlap(const QRect& a, const QRect& b) {
  const QRect common = a.intersected(b);
  return common.isEmpty() ? 0 : int64_t{common.width()} * common.height();
}

int Fit(int start, int length, int area_start, int area_length) {
  if (length >= area_length) return area_start;
  return std::clamp(start, area_start, area_start + area_length - length);
}

}  // namespace

Twindow_place::Twindow_place(QWidget* window) : QObject(window), window_(window) {
  place_ = window->pos();
  window->installEventFilter(this);
  // Installed after this one, the fit sees every event first: the window
  // has its fitted size by the time its place is worked out.
  new Twindow_fit(window);
}

QList<QRect> Twindow_place::ScreenAreas() {
  QList<QRect> areas;
  for (QScreen* screen : QGuiApplication::screens()) areas.append(screen->availableGeometry());
  return areas;
}

QPoint Twindow_place::OntoNearestArea(const QRect& frame, const QList<QRect>& areas) {
  if (areas.isEmpty()) return frame.topLeft();
  const QRect best = NearestArea(frame, areas);
  return QPoint(Fit(frame.x(), frame.width(), best.x(), best.width()),
                Fit(frame.y(), frame.height(), best.y(), best.height()));
}

QRect Twindow_place::NearestArea(const QRect& frame, const QList<QRect>& areas) {
  if (areas.isEmpty()) return QRect();
  const QRect* best = &areas.front();
  for (const QRect& area : areas) {
    const int64_t overlap = Overlap(frame, area);
    const int64_t best_overlap = Overlap(frame, *best);
    if (overlap > best_overlap ||
        (overlap == 0 && best_overlap == 0 && GapSquared(frame, area) < GapSquared(frame, *best)))
      best = &area;
  }
  return *best;
}

QRect Twindow_place::FrameOf(const QWidget* window) {
  if (const QWindow* handle = window->windowHandle()) return handle->frameGeometry();
  return window->frameGeometry();
}

QPoint Twindow_place::Position() const {
  return window_->isVisible() ? Frame().topLeft() : place_;
}

void Twindow_place::MoveTo(const QPoint& place) {
  place_ = place;
  placed_ = true;
  if (window_->isVisible())
    Apply();
  else
    window_->move(place);  // the frame's corner; made to fit a screen when shown
}

void Twindow_place::CentreWhenShown() {
  centre_ = true;
}

QMargins Twindow_place::FrameMargins() const {
  const QRect frame = Frame();
  const QRect client = window_->geometry();
  return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                  frame.right() - client.right(), frame.bottom() - client.bottom());
}

QSize Twindow_place::FrameSize() const {
  return Frame().size();
}

void Twindow_place::Apply(bool always) {
  place_ = OntoNearestArea(QRect(place_, FrameSize()), ScreenAreas());
  margins_ = FrameMargins();
  // A shown window's move places its frame with the margins known now.
  // While the window is about to show, the move is made even to where it
  // seems to stand already: only a window moved by the program asks the
  // window manager for its place, the others are placed anew, in a corner.
  if (always || Frame().topLeft() != place_) window_->move(place_);
}

void Twindow_place::Centre() {
  QRect frame(QPoint(0, 0), FrameSize());
  frame.moveCenter(over_.center());
  place_ = frame.topLeft();
  placed_ = true;
}

void Twindow_place::Shown() {
  shown_ = true;
  if (centre_ && !user_moved_) {
    QWidget* opener = QApplication::activeWindow();
    if (opener != nullptr && opener != window_ && opener->isVisible())
      over_ = FrameOf(opener);
    else if (QScreen* screen = window_->screen())
      over_ = screen->availableGeometry();
    Centre();
  } else if (!placed_) {
    // Where the window manager (or an earlier showing) put it.
    place_ = window_->pos();
  }
  Apply(placed_);
}

bool Twindow_place::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) return QObject::eventFilter(watched, event);
  if (event->type() == QEvent::Show) {
    Shown();
  } else if (event->type() == QEvent::Hide) {
    // Hidden: where it stood, wherever the user or the window manager put
    // it, is where it comes back (a dialog centres itself again instead).
    if (shown_ && (!centre_ || user_moved_)) {
      place_ = Frame().topLeft();
      placed_ = true;
    }
    shown_ = false;
  } else if (window_->isVisible() && event->type() != QEvent::Hide) {
    // The window manager's frame arrives some time after the window shows,
    // with no event of its own: its margins are looked at on every event.
    if (FrameMargins() != margins_) {
      // Framed (again): the frame goes back to its place; a window never
      // placed stays where the window manager put it.
      if (!placed_) place_ = Frame().topLeft();
      if (centre_ && !user_moved_) Centre();  // with the frame's true size
      Apply();
    } else if (event->type() == QEvent::Move && Frame().topLeft() != place_) {
      // Moved as a whole, by the user: that is its place now.
      place_ = Frame().topLeft();
      placed_ = true;
      user_moved_ = true;
    }
  }
  return QObject::eventFilter(watched, event);
}
