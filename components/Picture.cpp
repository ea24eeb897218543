#include "components/Picture.h"

#include <QPixmap>

#include "assets/Assets.h"

Tpicture::Tpicture(const QString& asset, QWidget* parent) : QLabel(parent), asset_(asset) {}

void Tpicture::Render() {
  const qreal ratio = devicePixelRatioF();
  const QPixmap shown = pixmap();
  if (!shown.isNull() && shown.devicePixelRatio() == ratio &&
      shown.deviceIndependentSize().toSize() == size())
    return;
  setPixmap(AssetPixmap(asset_, size(), ratio));
}

void Tpicture::showEvent(QShowEvent* event) {
  Render();
  QLabel::showEvent(event);
}

void Tpicture::paintEvent(QPaintEvent* event) {
  Render();
  QLabel::paintEvent(event);
}
