#include "support_images.h"

#include <QtGlobal>
#include <cstdio>

QRgb PixelAt(const QImage& image, int x, int y) {
  return image.pixel(x, y) & 0xFFFFFFu;
}

std::string Differences(const QImage& image, const std::function<QRgb(int x, int y)>& expected,
                        int limit) {
  std::string out;
  int found = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb got = PixelAt(image, x, y);
      const QRgb want = expected(x, y) & 0xFFFFFFu;
      if (got == want) continue;
      if (found++ < limit) {
        char line[80];
        std::snprintf(line, sizeof line, "(%d,%d) got #%06x want #%06x\n", x, y,
                      static_cast<unsigned>(got), static_cast<unsigned>(want));
        out += line;
      }
    }
  }
  if (found > limit) out += "... " + std::to_string(found - limit) + " more\n";
  return out;
}

int CountColor(const QImage& image, QRgb color, int left, int top, int right, int bottom) {
  int count = 0;
  for (int y = qMax(0, top); y < qMin(bottom, image.height()); ++y)
    for (int x = qMax(0, left); x < qMin(right, image.width()); ++x)
      if (PixelAt(image, x, y) == (color & 0xFFFFFFu)) ++count;
  return count;
}

void SaveEnlarged(const QImage& image, const QString& file_name, int scale) {
  image
      .scaled(image.width() * scale, image.height() * scale, Qt::IgnoreAspectRatio,
              Qt::FastTransformation)
      .save(file_name);
}
