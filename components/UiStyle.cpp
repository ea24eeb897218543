#include "components/UiStyle.h"

#include <QWidget>

QFont ArialFont(int pixels, bool bold, bool italic) {
  QFont font("Liberation Sans");
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

void SetFixedDialogFrame(QWidget* window, const QString& caption, int width, int height) {
  window->setWindowTitle(caption);
  window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint);
  window->setFixedSize(width, height);
}
