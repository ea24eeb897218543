#include "components/Client_area.h"

#include <QResizeEvent>

Tclient_area::Tclient_area(const QSize& first, const QSize& least, QWidget* parent)
    : QWidget(parent), first_(first) {
  setMinimumSize(least);
  resize(first);
}

void Tclient_area::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (on_resize) on_resize();
}
