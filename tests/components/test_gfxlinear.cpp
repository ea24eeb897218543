#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <utility>

#include "components/Gfxlinear.h"
#include "support_images.h"

namespace {

constexpr QRgb kBlack = Rgb(0, 0, 0);
constexpr QRgb kRed = Rgb(255, 0, 0);
constexpr QRgb kGreen = Rgb(0, 255, 0);
constexpr QRgb kTeal = Rgb(0, 128, 128);

// Posts and rail of a gauge w x h, the rest black.
QRgb Frame(int w, int h, int x, int y) {
  const int m = h / 2;
  if (x < 4 || x >= w - 4 || (y >= m && y < m + 8)) return kTeal;
  return kBlack;
}

// Pixels of a one-pixel line from `from` to `to` without the end point: one
// per step along the longer axis, the nearest on the other. Where the line
// passes exactly half-way, either pixel may be taken: both go to `either`.
void LinePixels(QPoint from, QPoint to, std::set<std::pair<int, int>>& sure,
                std::set<std::pair<int, int>>& either) {
  const int dx = to.x() - from.x();
  const int dy = to.y() - from.y();
  const int steps = std::max(std::abs(dx), std::abs(dy));
  for (int k = 0; k < steps; ++k) {
    const double x = from.x() + double(k) * dx / steps;
    const double y = from.y() + double(k) * dy / steps;
    const double minor = std::abs(dx) >= std::abs(dy) ? y : x;
    if (std::fabs(minor - std::floor(minor) - 0.5) < 1e-9) {
      for (double m : {std::floor(minor), std::ceil(minor)}) {
        if (std::abs(dx) >= std::abs(dy))
          either.insert({int(x), int(m)});
        else
          either.insert({int(m), int(y)});
      }
    } else {
      sure.insert({int(std::lround(x)), int(std::lround(y))});
    }
  }
}

// The red pixels of the "no position" cross on a w x h gauge: lines from
// (4,0) to (w-4,m) and from (4,m) to (w-4,0).
void CrossPixels(int w, int h, std::set<std::pair<int, int>>& sure,
                 std::set<std::pair<int, int>>& either) {
  const int m = h / 2;
  LinePixels(QPoint(4, 0), QPoint(w - 4, m), sure, either);
  LinePixels(QPoint(4, m), QPoint(w - 4, 0), sure, either);
}

// Checks a gauge image against the posts, the rail and the cross.
void ExpectCross(const QImage& image) {
  const int w = image.width();
  const int h = image.height();
  std::set<std::pair<int, int>> sure, either;
  CrossPixels(w, h, sure, either);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const QRgb got = PixelAt(image, x, y);
      if (sure.count({x, y})) {
        EXPECT_EQ(got, kRed) << "(" << x << "," << y << ")";
      } else if (either.count({x, y}) && got == kRed) {
        continue;
      } else {
        EXPECT_EQ(got, Frame(w, h, x, y)) << "(" << x << "," << y << ")";
      }
    }
  }
  // Each half-way column has exactly one of its two candidates red.
  EXPECT_EQ(CountColor(image, kRed, 0, 0, w, h), static_cast<int>(sure.size() + either.size() / 2));
}

// Full red cross over the background, for gauges too small for a rail.
void ExpectFullCross(const QImage& image) {
  const int w = image.width();
  const int h = image.height();
  EXPECT_EQ(CountColor(image, kTeal, 0, 0, w, h), 0);
  EXPECT_EQ(PixelAt(image, 0, 0), kRed);
  EXPECT_EQ(CountColor(image, kRed, 0, 0, w, h) + CountColor(image, kBlack, 0, 0, w, h), w * h);
  EXPECT_GE(CountColor(image, kRed, 0, 0, w, h), std::max(w, h));
}

}  // namespace

TEST(GfxLinear, NewGaugeShowsTheCross) {
  Tgfxlinear gauge;
  EXPECT_EQ(gauge.State(), -1);
  EXPECT_EQ(gauge.LowPos(), 0);
  EXPECT_EQ(gauge.HighPos(), 100);
  EXPECT_EQ(gauge.PayLoad(), nullptr);
  EXPECT_EQ(gauge.geometry(), QRect(0, 0, 100, 200));
  ExpectCross(gauge.GetBitmap());

  gauge.resize(112, 40);
  gauge.Paint();
  ExpectCross(gauge.GetBitmap());
  // The cross ends before the right post: its end points stay teal.
  EXPECT_EQ(PixelAt(gauge.GetBitmap(), 108, 20), kTeal);
  EXPECT_EQ(PixelAt(gauge.GetBitmap(), 108, 0), kTeal);
  EXPECT_EQ(PixelAt(gauge.GetBitmap(), 4, 0), kRed);
  EXPECT_EQ(PixelAt(gauge.GetBitmap(), 4, 20), kRed);
  SaveEnlarged(gauge.GetBitmap(), "gauge_no_position.png", 6);
}

TEST(GfxLinear, MarkerAtFifty) {
  Tgfxlinear gauge;
  gauge.resize(112, 40);
  gauge.Set_State(50);
  ASSERT_EQ(gauge.GetBitmap().size(), QSize(112, 40));
  EXPECT_EQ(Differences(gauge.GetBitmap(),
                        [](int x, int y) {
                          if (x >= 54 && x <= 57 && y < 20) return kGreen;
                          return Frame(112, 40, x, y);
                        }),
            "");
  SaveEnlarged(gauge.GetBitmap(), "gauge_50.png", 6);

  // The ends of the scale: columns 4 and 4 + 100.
  gauge.Set_State(0);
  EXPECT_EQ(CountColor(gauge.GetBitmap(), kGreen, 4, 0, 8, 20), 4 * 20);
  gauge.Set_State(100);
  EXPECT_EQ(CountColor(gauge.GetBitmap(), kGreen, 104, 0, 108, 20), 4 * 20);
  EXPECT_EQ(CountColor(gauge.GetBitmap(), kGreen, 0, 0, 112, 40), 4 * 20);
}

TEST(GfxLinear, StateIsClampedExceptNoPosition) {
  Tgfxlinear gauge;
  gauge.resize(112, 40);
  gauge.Set_State(150);
  EXPECT_EQ(gauge.State(), 100);
  gauge.Set_State(-7);
  EXPECT_EQ(gauge.State(), 0);
  gauge.Set_State(-1);
  EXPECT_EQ(gauge.State(), -1);
  gauge.Set_LowPos(20);
  gauge.Set_State(-1);
  EXPECT_EQ(gauge.State(), -1);
  gauge.Set_State(5);
  EXPECT_EQ(gauge.State(), 20);

  // Moving the bounds leaves the stored state alone.
  gauge.Set_State(60);
  gauge.Set_HighPos(40);
  EXPECT_EQ(gauge.State(), 60);

  const qint64 drawn = gauge.GetBitmap().cacheKey();
  gauge.Set_LowPos(-5);
  EXPECT_EQ(gauge.LowPos(), 20);
  EXPECT_EQ(gauge.GetBitmap().cacheKey(), drawn) << "a negative low position draws nothing";
}

TEST(GfxLinear, BoundsRescaleTheMarker) {
  Tgfxlinear gauge;
  gauge.resize(112, 40);
  gauge.Set_LowPos(10);
  gauge.Set_HighPos(60);  // 2 pixels a step from column 4
  gauge.Set_State(35);
  EXPECT_EQ(CountColor(gauge.GetBitmap(), kGreen, 54, 0, 58, 20), 4 * 20);
  EXPECT_EQ(CountColor(gauge.GetBitmap(), kGreen, 0, 0, 112, 40), 4 * 20);

  // Truncation toward zero: 100 / 30 pixels a step puts 10 at 37.33.
  gauge.Set_LowPos(0);
  gauge.Set_HighPos(30);
  gauge.Set_State(10);
  EXPECT_EQ(CountColor(gauge.GetBitmap(), kGreen, 37, 0, 41, 20), 4 * 20);
}

TEST(GfxLinear, EqualOrInvertedBoundsStayDefined) {
  Tgfxlinear gauge;
  gauge.resize(112, 40);
  gauge.Set_State(50);
  gauge.Set_HighPos(0);  // equal bounds: no scale, shown as no position
  EXPECT_EQ(gauge.State(), 50);
  ExpectCross(gauge.GetBitmap());

  // Inverted bounds: the high bound is applied last and wins.
  gauge.Set_LowPos(80);
  gauge.Set_HighPos(30);
  gauge.Set_State(50);
  EXPECT_EQ(gauge.State(), 30);
  EXPECT_EQ(CountColor(gauge.GetBitmap(), kGreen, 104, 0, 108, 20), 4 * 20);

  // A stored state far outside bounds set later lands off the gauge.
  const int most = std::numeric_limits<int>::max();
  gauge.Set_LowPos(0);
  gauge.Set_HighPos(most);
  gauge.Set_State(most);
  gauge.Set_HighPos(1);
  EXPECT_EQ(CountColor(gauge.GetBitmap(), kGreen, 0, 0, 112, 40), 0);
  gauge.Set_HighPos(std::numeric_limits<int>::min());
  EXPECT_EQ(CountColor(gauge.GetBitmap(), kGreen, 0, 0, 112, 40), 0);
  EXPECT_EQ(CountColor(gauge.GetBitmap(), kTeal, 0, 0, 4, 40), 4 * 40);
}

TEST(GfxLinear, SmallGaugesShowOnlyTheFullCross) {
  Tgfxlinear gauge;
  gauge.Set_State(50);
  for (QSize size : {QSize(15, 40), QSize(112, 15), QSize(1, 1), QSize(16, 3)}) {
    gauge.resize(size);
    gauge.Paint();
    ASSERT_EQ(gauge.GetBitmap().size(), size);
    ExpectFullCross(gauge.GetBitmap());
  }
  gauge.resize(15, 15);
  gauge.Paint();
  EXPECT_EQ(Differences(gauge.GetBitmap(),
                        [](int x, int y) { return x == y || x + y == 15 ? kRed : kBlack; }),
            "");
  gauge.resize(0, 40);
  gauge.Paint();
  EXPECT_TRUE(gauge.GetBitmap().isNull());
  gauge.resize(16, 16);  // smallest with posts and rail
  gauge.Paint();
  EXPECT_EQ(CountColor(gauge.GetBitmap(), kTeal, 0, 0, 16, 16), 16 * 8 + 8 * 8);
}

TEST(GfxLinear, PayloadRidesOnTheRail) {
  QWidget parent;
  parent.resize(200, 120);
  Tgfxlinear gauge(&parent);
  gauge.setGeometry(10, 50, 112, 40);
  Tgfxbase payload(&parent);
  payload.setGeometry(0, 0, 20, 10);
  payload.Set_BGColor(QColor(0, 0, 255));

  gauge.SetPayLoad(&payload);
  EXPECT_EQ(gauge.PayLoad(), &payload);
  // No position: on the rail at the left post.
  EXPECT_EQ(payload.pos(), QPoint(10 + 4, 50 + 20 - 10));

  // L = 112 - 8 - 20 = 84: state 50 is 46 pixels right of the gauge's edge.
  gauge.Set_State(50);
  EXPECT_EQ(payload.pos(), QPoint(10 + 46, 50 + 20 - 10));
  EXPECT_EQ(CountColor(gauge.GetBitmap(), kGreen, 0, 0, 112, 40), 0) << "no own marker";
  gauge.Set_State(100);
  EXPECT_EQ(payload.pos(), QPoint(10 + 88, 60));

  // The gauge's own moves count from the next drawing on.
  gauge.move(30, 70);
  gauge.Set_State(0);
  EXPECT_EQ(payload.pos(), QPoint(30 + 4, 70 + 20 - 10));

  parent.show();
  gauge.Set_State(50);
  const QImage shot = parent.grab().toImage().convertToFormat(QImage::Format_RGB32);
  SaveEnlarged(shot, "gauge_payload.png", 3);
  EXPECT_EQ(PixelAt(shot, 30 + 46, 70 + 19), Rgb(0, 0, 255));

  // Too small: the payload stands on the gauge's top edge.
  gauge.resize(112, 12);
  gauge.Paint();
  EXPECT_EQ(payload.pos(), QPoint(30, 70 - 10));

  gauge.SetPayLoad(nullptr);
  gauge.resize(112, 40);
  gauge.Set_State(50);
  EXPECT_EQ(payload.pos(), QPoint(30, 60));
  EXPECT_EQ(CountColor(gauge.GetBitmap(), kGreen, 54, 0, 58, 20), 4 * 20);
}

TEST(GfxLinear, PayloadResizeOfTheGaugeMovesItOnThePaint) {
  QWidget parent;
  parent.resize(300, 120);
  Tgfxlinear gauge(&parent);
  gauge.setGeometry(0, 0, 112, 40);
  Tgfxbase payload(&parent);
  payload.resize(20, 10);
  gauge.SetPayLoad(&payload);
  gauge.Set_State(100);
  EXPECT_EQ(payload.pos(), QPoint(88, 10));
  parent.show();
  QCoreApplication::processEvents();
  gauge.resize(212, 60);  // L = 184; rail at 30
  EXPECT_EQ(payload.pos(), QPoint(88, 10));
  gauge.repaint();
  EXPECT_EQ(payload.pos(), QPoint(188, 20));
}

TEST(GfxLinear, PayloadsThatCarryEachOtherDoNotLoop) {
  QWidget parent;
  Tgfxlinear a(&parent);
  Tgfxlinear b(&parent);
  a.resize(112, 40);
  b.resize(60, 30);
  a.SetPayLoad(&a);
  EXPECT_EQ(a.PayLoad(), nullptr);

  a.SetPayLoad(&b);
  b.SetPayLoad(&a);
  a.Set_State(50);
  b.Set_State(10);
  EXPECT_EQ(a.State(), 50);

  // A payload destroyed without being cleared is dropped, not used.
  auto c = std::make_unique<Tgfxbase>(&parent);
  c->resize(10, 10);
  b.SetPayLoad(c.get());
  c.reset();
  EXPECT_EQ(b.PayLoad(), nullptr);
  b.Set_State(20);
  b.resize(80, 30);
  b.Paint();
  EXPECT_EQ(b.GetBitmap().size(), QSize(80, 30));
}
