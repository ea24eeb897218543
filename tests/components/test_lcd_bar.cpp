#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <limits>

#include "components/Lcd_bar.h"
#include "support_images.h"

namespace {

constexpr QRgb kBlack = Rgb(0, 0, 0);
constexpr QRgb kRed = Rgb(255, 0, 0);
constexpr QRgb kGreen = Rgb(0, 255, 0);
constexpr QRgb kOlive = Rgb(128, 128, 0);
constexpr QRgb kGrey = Rgb(128, 128, 128);

// The main window's history bar: 27 x 47, seven segments, olive in grey,
// range 995 .. 1025.
void MakeHistoryBar(Tlcd_bar& bar) {
  bar.resize(27, 47);
  bar.Set_NbrSegments(7);
  bar.Set_FGColor(QColor(128, 128, 0));
  bar.Set_BDColor(QColor(128, 128, 128));
  bar.Set_LowRange(995);
  bar.Set_HighRange(1025);
}

// Rows of segment i (0 at the bottom) on the 27 x 47 bar: four rows each,
// two-row gaps, the lowest ending at row 44.
int SegmentTop(int i) {
  return 41 - 6 * i;
}

// Segments of the 27 x 47 bar that are fully olive, checking that each is
// either fully lit or fully dark.
int LitSegments(const QImage& image) {
  int lit = 0;
  for (int i = 0; i < 7; ++i) {
    const int olive = CountColor(image, kOlive, 2, SegmentTop(i), 25, SegmentTop(i) + 4);
    EXPECT_TRUE(olive == 0 || olive == 23 * 4) << "segment " << i << " partly lit";
    if (olive > 0) ++lit;
  }
  return lit;
}

// The history bar at 1010, pixel by pixel: frame in the outer rows and columns,
// lit segments in rows 41-44, 35-38, 29-32, 23-26 over columns 2-24.
QRgb HistoryBarAt1010(int x, int y) {
  if (x == 0 || x == 26 || y == 0 || y == 46) return kGrey;
  if (x < 2 || x > 24) return kBlack;
  for (int top : {41, 35, 29, 23})
    if (y >= top && y <= top + 3) return kOlive;
  return kBlack;
}

}  // namespace

TEST(LcdBar, DefaultBarIsDrawnFromTheStart) {
  Tlcd_bar bar;
  EXPECT_EQ(bar.geometry(), QRect(0, 0, 100, 200));
  // A green frame on black, nothing lit, before any setter or paint.
  EXPECT_EQ(Differences(bar.GetBitmap(),
                        [](int x, int y) {
                          return (x == 0 || x == 99 || y == 0 || y == 199) ? kGreen : kBlack;
                        }),
            "");
  // Range 0 .. 100 and one red segment: rows 2 .. 197, columns 2 .. 97.
  bar.Set_Value(100);
  EXPECT_EQ(CountColor(bar.GetBitmap(), kRed, 0, 0, 100, 200), 96 * 196);
  EXPECT_EQ(CountColor(bar.GetBitmap(), kRed, 2, 2, 98, 198), 96 * 196);
}

TEST(LcdBar, HistoryBarAt1010) {
  Tlcd_bar bar;
  MakeHistoryBar(bar);
  bar.Set_Value(1010);
  const QImage& image = bar.GetBitmap();
  ASSERT_EQ(image.size(), QSize(27, 47));
  EXPECT_EQ(Differences(image, HistoryBarAt1010), "");
  SaveEnlarged(image, "lcd_bar_1010.png", 8);
}

TEST(LcdBar, ResizeIsLaidOutAtTheNextPaint) {
  Tlcd_bar bar;
  bar.Set_NbrSegments(7);
  bar.Set_FGColor(QColor(128, 128, 0));
  bar.Set_BDColor(QColor(128, 128, 128));
  bar.Set_LowRange(995);
  bar.Set_HighRange(1025);
  bar.Set_Value(1010);
  ASSERT_EQ(bar.GetBitmap().size(), QSize(100, 200));

  bar.setGeometry(10, 20, 27, 47);
  EXPECT_EQ(bar.GetBitmap().size(), QSize(100, 200)) << "laid out before any paint";
  bar.Paint();
  ASSERT_EQ(bar.GetBitmap().size(), QSize(27, 47));
  EXPECT_EQ(Differences(bar.GetBitmap(), HistoryBarAt1010), "");
}

TEST(LcdBar, ValuesAtAndAroundTheBounds) {
  Tlcd_bar bar;
  MakeHistoryBar(bar);

  bar.Set_Value(995);
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 0);
  bar.Set_Value(995.001);  // rounds up to one segment
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 1);
  bar.Set_Value(999);  // 0.93 of a segment
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 1);
  bar.Set_Value(1001);  // 1.4 segments
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 2);
  bar.Set_Value(1024.999);
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 7);
  bar.Set_Value(1025);
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 7);

  bar.Set_Value(2000);
  EXPECT_EQ(bar.BarValue(), 1025);
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 7);
  bar.Set_Value(-5);
  EXPECT_EQ(bar.BarValue(), 995);
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 0);
}

TEST(LcdBar, MovingTheRangeKeepsTheStoredValue) {
  Tlcd_bar bar;
  MakeHistoryBar(bar);
  bar.Set_Value(1010);

  bar.Set_LowRange(1012);
  bar.Set_HighRange(1040);
  EXPECT_EQ(bar.BarValue(), 1010);
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 0);

  bar.Set_LowRange(980);
  bar.Set_HighRange(1000);
  EXPECT_EQ(bar.BarValue(), 1010);
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 7);

  bar.Set_HighRange(1040);  // 30 of 60: 3.5 segments, rounded up
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 4);
}

TEST(LcdBar, DegenerateRangesAndValuesLightNothing) {
  Tlcd_bar bar;
  MakeHistoryBar(bar);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();

  bar.Set_Value(1010);
  bar.Set_LowRange(1010);
  bar.Set_HighRange(1010);  // zero width, value on it: 0 / 0
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 0);
  bar.Set_Value(1010);
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 0);
  // The range closes up away from a stored value: x / 0 is infinite, yet
  // nothing is lit on either side.
  bar.Set_LowRange(1000);
  bar.Set_HighRange(1000);
  EXPECT_EQ(bar.BarValue(), 1010);
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 0);
  bar.Set_LowRange(1020);
  bar.Set_HighRange(1020);
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 0);

  bar.Set_LowRange(995);
  bar.Set_HighRange(1025);
  bar.Set_Value(nan);
  EXPECT_TRUE(std::isnan(bar.BarValue()));
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 0);

  bar.Set_Value(1010);
  bar.Set_LowRange(-inf);  // inf / inf
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 0);
  bar.Set_HighRange(inf);
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 0);
  bar.Set_LowRange(-1e308);
  bar.Set_HighRange(1e308);  // the width overflows to infinity
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 0);
  bar.Set_HighRange(nan);
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 0);

  // Inverted range: the low bound is applied last and wins.
  bar.Set_LowRange(1025);
  bar.Set_HighRange(995);
  bar.Set_Value(1010);
  EXPECT_EQ(bar.BarValue(), 1025);
  EXPECT_EQ(LitSegments(bar.GetBitmap()), 0);
}

TEST(LcdBar, SegmentCountIsKeptWithinTheHeight) {
  Tlcd_bar bar;
  bar.resize(27, 47);
  bar.Paint();  // lay out at 47 pixels

  bar.Set_NbrSegments(0);
  EXPECT_EQ(bar.NbrOfSegments(), 1);
  bar.Set_NbrSegments(-7);
  EXPECT_EQ(bar.NbrOfSegments(), 1);
  bar.Set_NbrSegments(std::numeric_limits<int>::min());
  EXPECT_EQ(bar.NbrOfSegments(), 1);

  // 22 segments of zero height: full value shows the frame on black only.
  bar.Set_NbrSegments(50);
  EXPECT_EQ(bar.NbrOfSegments(), 22);
  bar.Set_Value(100);
  EXPECT_EQ(CountColor(bar.GetBitmap(), kRed, 0, 0, 27, 47), 0);
  EXPECT_EQ(CountColor(bar.GetBitmap(), kGreen, 0, 0, 27, 47), 2 * 27 + 2 * 45);

  // Too low for a single segment: the count still stays at one.
  bar.resize(27, 4);
  bar.Paint();
  bar.Set_NbrSegments(3);
  EXPECT_EQ(bar.NbrOfSegments(), 1);
  EXPECT_EQ(CountColor(bar.GetBitmap(), kRed, 0, 0, 27, 4), 0);

  bar.resize(27, 5);
  bar.Paint();
  bar.Set_Value(100);
  // One segment of one row: row 2 between the frame and the clear bottom row.
  EXPECT_EQ(CountColor(bar.GetBitmap(), kRed, 0, 0, 27, 5), 23);
  EXPECT_EQ(CountColor(bar.GetBitmap(), kRed, 2, 2, 25, 3), 23);
}

TEST(LcdBar, ShrinkingBelowTheSegmentCountDrawsNoSegment) {
  Tlcd_bar bar;
  bar.Set_NbrSegments(60);  // fits 200 pixels, one row each
  bar.Set_Value(100);
  EXPECT_EQ(CountColor(bar.GetBitmap(), kRed, 0, 0, 100, 200), 60 * 96);
  bar.resize(30, 40);  // now far too many: segment height turns negative
  bar.Paint();
  EXPECT_EQ(bar.NbrOfSegments(), 60);
  EXPECT_EQ(CountColor(bar.GetBitmap(), kRed, 0, 0, 30, 40), 0);

  bar.resize(0, 0);
  bar.Paint();
  EXPECT_TRUE(bar.GetBitmap().isNull());
  bar.Set_Value(50);
  bar.resize(5, 5);
  bar.Paint();
  EXPECT_EQ(bar.GetBitmap().size(), QSize(5, 5));
}

TEST(LcdBar, DisabledShowsTheRedCrossOnly) {
  Tlcd_bar bar;
  MakeHistoryBar(bar);
  bar.Set_Value(1010);
  bar.Set_Enable(false);
  const QImage& image = bar.GetBitmap();
  SaveEnlarged(image, "lcd_bar_disabled.png", 8);

  EXPECT_EQ(CountColor(image, kGrey, 0, 0, 27, 47), 0);
  EXPECT_EQ(CountColor(image, kOlive, 0, 0, 27, 47), 0);
  // Lines between pixel corners (0,0)-(27,47) and (0,47)-(27,0), end points
  // left out: one pixel per row, the one nearest to the line. The rising
  // line starts outside the image (row 47) and ends at (27,0), so row 0 has
  // only the falling line's pixel.
  EXPECT_EQ(Differences(image,
                        [](int x, int y) {
                          const bool falling = x == std::lround(y * 27.0 / 47);
                          const bool rising = y > 0 && x == std::lround((47 - y) * 27.0 / 47);
                          return falling || rising ? kRed : kBlack;
                        }),
            "");

  bar.Set_Enable(true);
  EXPECT_EQ(Differences(bar.GetBitmap(), HistoryBarAt1010), "");
}

TEST(LcdBar, PaintWithoutChangeOnlyCopies) {
  Tlcd_bar bar;
  MakeHistoryBar(bar);
  bar.Set_Value(1010);
  const qint64 drawn = bar.GetBitmap().cacheKey();
  bar.Paint();
  bar.repaint();
  EXPECT_EQ(bar.GetBitmap().cacheKey(), drawn);
  bar.Set_Value(1000);
  EXPECT_NE(bar.GetBitmap().cacheKey(), drawn);
}

TEST(LcdBar, ScreenShowsTheImage) {
  QWidget parent;
  parent.resize(60, 70);
  Tlcd_bar bar(&parent);
  bar.setGeometry(10, 10, 27, 47);
  bar.Set_NbrSegments(7);
  bar.Set_LowRange(995);
  bar.Set_HighRange(1025);
  bar.Set_Value(1010);
  parent.show();
  const QImage shot = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shot.size(), QSize(27, 47));
  EXPECT_EQ(Differences(shot, [&](int x, int y) { return PixelAt(bar.GetBitmap(), x, y); }), "");
}
