#include "components/Picture.h"

#include <QHideEvent>
#include <QPixmap>

#include "assets/Assets.h"

Tpicture::Tpicture(const QString& asset, QWidget* parent) : QLabel(parent), asset_(asset) {}

void Tpicture::Render() {
  const qreal ratio = devicePixelRatioF();
  const QPixmap shown = pixmap();
  if (!shown.isNull() && shown.devicePixelRatio() == ratio &&
      shown.deviceIndependentSize().toSize() == size())
    return;
  // Rendered for this label alone: given back, it is gone.
  setPixmap(RenderAssetPixmap(asset_, size(), ratio));
}

void Tpicture::showEvent(QShowEvent* event) {
  Render();
  QLabel::showEvent(event);
}

void Tpicture::hideEvent(QHideEvent* event) {
  // Hidden with its window (not minimised, not one picture of a stack
  // switched off): rendered again when the window shows.
  if (!event->spontaneous() && !window()->isVisible()) clear();
  QLabel::hideEvent(event);
}

void Tpicture::paintEvent(QPaintEvent* event) {
  Render();
  QLabel::paintEvent(event);
}
