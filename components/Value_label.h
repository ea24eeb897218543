#pragma once

#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <QPoint>

class QEvent;
class QHideEvent;
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
//
// Over its backdrop a plain text is drawn once per change into a
// picture of the whole label (backdrop and text, at the widget's pixel
// density): the text is laid out when it changes, not at every paint, and a
// repaint that comes without a change (an expose, a window raised or
// restored) only copies that picture. A setText with the text shown changes
// nothing and repaints nothing (QLabel returns early on an equal text).
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
  // How many times the label has laid out and drawn its text since it was
  // made (into its picture, or as a plain label).
  long TextLayouts() const { return text_layouts_; }

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // Takes the picture of what lies beneath the label, from its window.
  void CaptureBackdrop();
  // Whether the text is one the label draws into its picture itself: plain
  // text, no margin, indent, selection or mnemonic.
  bool DrawsOwnText() const;
  // Draws backdrop and text into the picture of the label.
  void MakeFace();

  bool has_backdrop_ = false;
  // The background: one colour, or else the picture of it.
  QColor backdrop_colour_;
  QPixmap backdrop_;
  // Where in its window the label stood when the picture was taken.
  QPoint backdrop_at_;
  bool capturing_ = false;
  bool capture_pending_ = false;
  // The label as painted over its backdrop, and what it was drawn from.
  QPixmap face_;
  QString face_text_;
  Qt::Alignment face_alignment_;
  bool face_wraps_ = false;
  long text_layouts_ = 0;
};
