#pragma once

#include <QSize>
#include <QWidget>
#include <functional>

class QResizeEvent;

// The client area of a resizable window: it asks for its first size (so
// the window opens at it), keeps a least size, and calls on_resize after
// every change of its size, for the window to lay out its controls.
class Tclient_area : public QWidget {
 public:
  Tclient_area(const QSize& first, const QSize& least, QWidget* parent = nullptr);

  QSize sizeHint() const override { return first_; }
  std::function<void()> on_resize;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QSize first_;
};
