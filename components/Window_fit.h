#pragma once

#include <QList>
#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>

class QWidget;

// Keeps a top-level window no larger than the screen it opens on. A size
// remembered from a larger screen or a smaller scale, or a first size that
// a small screen cannot hold, is brought within the screen's available
// area (title bar and border included) when the window shows, and again
// when the window manager first frames it. A window made smaller as it shows is
// also moved wholly onto that screen. The window's least size still holds.
class Twindow_fit : public QObject {
 public:
  explicit Twindow_fit(QWidget* window);

  // The client size whose frame (the client plus `margins`) fits in `area`:
  // `size` where it fits already, each side cut to the area otherwise.
  static QSize Within(const QSize& size, const QMargins& margins, const QRect& area);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Makes the window fit the screen its frame lies on; `showing` moves it
  // onto that screen as well. Whether the size changed.
  bool Fit(bool showing);
  QMargins FrameMargins() const;

  QWidget* window_;
  QMargins margins_;
  // Shown and not yet framed by a window manager, at the size it showed at.
  bool framing_ = false;
  QSize shown_size_;
};
