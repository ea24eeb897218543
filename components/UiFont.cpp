#include "components/UiFont.h"

QFont ArialFont(int pixels, bool bold, bool italic) {
  QFont font("Liberation Sans");
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}
