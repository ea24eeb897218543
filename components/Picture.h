#pragma once

#include <QLabel>
#include <QString>

class QPaintEvent;
class QHideEvent;
class QShowEvent;

// A picture of the program's artwork at the label's size, rendered for the
// device pixel ratio of the screen it shows on: sharp at any scale, and
// rendered again when the window moves to a screen of another density.
// It renders when it first shows (or when Render is called), so that of
// pictures stacked at one place only those ever shown are drawn, and it
// gives the picture back when its window is hidden: a window that is not
// shown keeps none of its pictures.
class Tpicture : public QLabel {
 public:
  Tpicture(const QString& asset, QWidget* parent);

  // Renders the picture unless it is there already at this size and ratio.
  void Render();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QString asset_;
};
