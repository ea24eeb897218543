#pragma once

#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <QPoint>

class QEvent;
class QMoveEvent;
class QPaintEvent;
class QResizeEvent;

// A label whose text changes while the window around it stays as it is: a
// new text repaints the label alone, not the panels, group boxes and pages
// beneath it.
//
// A plain label is transparent, so every repaint of it repaints everything
// under it first. This one paints once like a plain label, then keeps a
// picture of what lies beneath it (the window drawn without the label) and
// from then on paints that picture and its text itself, as an opaque widget
// (a background of one colour is kept as that colour alone).
// The picture is taken again after the label moves or changes size, and
// after a change of palette, style, enabled state or window activation,
// since those redraw what lies beneath. It suits labels over panels that do
// not change under them; the pixels are the same as a plain label's.
class Tvalue_label : public QLabel {
  Q_OBJECT

 public:
  explicit Tvalue_label(QWidget* parent = nullptr);
  Tvalue_label(const QString& text, QWidget* parent = nullptr);

  // Whether the label paints over its picture of the background (and so
  // repaints alone).
  bool HasBackdrop() const { return has_backdrop_; }
  // Forgets the picture: the label is transparent again and takes a new
  // picture after its next paint.
  void DropBackdrop();

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // Takes the picture of what lies beneath the label, from its window.
  void CaptureBackdrop();

  bool has_backdrop_ = false;
  // The background: one colour, or else the picture of it.
  QColor backdrop_colour_;
  QPixmap backdrop_;
  // Where in its window the label stood when the picture was taken.
  QPoint backdrop_at_;
  bool capturing_ = false;
  bool capture_pending_ = false;
};
