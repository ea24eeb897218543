#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <functional>
#include <string>

// An opaque colour as PixelAt reports it (no alpha bits).
constexpr QRgb Rgb(int r, int g, int b) {
  return (static_cast<QRgb>(r) << 16) | (static_cast<QRgb>(g) << 8) | static_cast<QRgb>(b);
}

// Colour of one pixel, without alpha, for comparisons in test messages.
QRgb PixelAt(const QImage& image, int x, int y);

// Every pixel whose colour differs from what `expected` gives for it, as
// "(x,y) got #rrggbb want #rrggbb" lines, at most `limit` of them; empty when
// the image matches.
std::string Differences(const QImage& image, const std::function<QRgb(int x, int y)>& expected,
                        int limit = 20);

// Number of pixels of the given colour in the rectangle (left, top, right,
// bottom), right and bottom exclusive.
int CountColor(const QImage& image, QRgb color, int left, int top, int right, int bottom);

// Writes the image enlarged `scale` times (nearest pixel) as a PNG into the
// test's working folder, for looking at.
void SaveEnlarged(const QImage& image, const QString& file_name, int scale);
