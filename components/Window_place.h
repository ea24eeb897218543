#pragma once

#include <QList>
#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QRect>

class QWidget;

// Keeps a top-level window where it was put. Its place is the top-left
// corner of its frame (title bar and border included), for reading and for
// setting alike, with or without a window manager:
// - a place set while the window is hidden is applied when it shows;
// - when the window manager frames the window after it was placed (its
//   frame margins change), the frame is put back at the place, so the title
//   bar is never counted on one side only;
// - a window whose frame would not lie wholly on a screen when it shows is
//   moved fully onto the nearest one;
// - a move of the frame elsewhere (the user's drag) becomes the new place.
// A dialog can ask to open centred over the window that was active when it
// showed, until the user moves it. A placed window is also kept within its
// screen's size (Twindow_fit).
class Twindow_place : public QObject {
 public:
  explicit Twindow_place(QWidget* window);

  // The frame's top-left corner: where the window stands while shown, where
  // it will stand (or last stood) while hidden.
  QPoint Position() const;
  void MoveTo(const QPoint& place);
  // Every showing opens centred over the active window (or the screen),
  // unless the user has moved the window since the first.
  void CentreWhenShown();

  // Where a frame lies once moved wholly onto the nearest of the areas: the
  // one it overlaps most, else the closest. A frame larger than the area
  // keeps its top-left corner in it. With no area the frame stays.
  static QPoint OntoNearestArea(const QRect& frame, const QList<QRect>& areas);
  // That area itself; an empty rectangle with no area.
  static QRect NearestArea(const QRect& frame, const QList<QRect>& areas);
  // The available area of every screen.
  static QList<QRect> ScreenAreas();
  // A top-level window's frame (title bar and border) as the window system
  // has it now. QWidget's own copy is brought up to date only by a move of
  // the window: shown again and framed in place, a window gets none, and
  // the copy goes on reading the frame as absent.
  static QRect FrameOf(const QWidget* window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QRect Frame() const { return FrameOf(window_); }
  QMargins FrameMargins() const;
  QSize FrameSize() const;
  // Moves the frame's top-left corner to place_ (made to fit a screen);
  // `always` moves it even where it seems to stand.
  void Apply(bool always = false);
  void Shown();
  // place_ becomes the corner that centres the frame over over_.
  void Centre();

  QWidget* window_;
  QPoint place_;
  QMargins margins_;
  // Whether the place was set (by MoveTo, centring or the user), rather
  // than left to the window manager.
  bool placed_ = false;
  bool centre_ = false;
  // What a centred window is centred over.
  QRect over_;
  bool user_moved_ = false;
  // Shown since the last hiding.
  bool shown_ = false;
};
