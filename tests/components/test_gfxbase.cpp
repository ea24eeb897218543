#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <limits>

#include "components/Gfxbase.h"
#include "support_images.h"

namespace {

constexpr QRgb kBlack = Rgb(0, 0, 0);
constexpr QRgb kRed = Rgb(255, 0, 0);

// A control that draws its state as that many white pixels in row 0, to see
// when and at what size the base redraws.
class CountingControl : public Tgfxbase {
 public:
  int draws = 0;
  int layouts = 0;

 protected:
  void NewDimensions() override {
    Tgfxbase::NewDimensions();
    ++layouts;
  }
  void DrawComponent() override {
    Tgfxbase::DrawComponent();
    ++draws;
    for (int x = 0; x < State() && x < Bitmap().width(); ++x) Bitmap().setPixel(x, 0, 0xFFFFFFFF);
  }
};

}  // namespace

TEST(GfxBase, DefaultsAndInitialPicture) {
  Tgfxbase control;
  EXPECT_EQ(control.State(), 0);
  EXPECT_EQ(control.geometry(), QRect(0, 0, 100, 200));
  ASSERT_EQ(control.GetBitmap().size(), QSize(100, 200));
  EXPECT_EQ(CountColor(control.GetBitmap(), kBlack, 0, 0, 100, 200), 100 * 200);

  control.Set_BGColor(QColor(10, 20, 30));
  EXPECT_EQ(CountColor(control.GetBitmap(), Rgb(10, 20, 30), 0, 0, 100, 200), 100 * 200);
}

TEST(GfxBase, RedrawsOnlyAfterAChange) {
  CountingControl control;
  control.Paint();  // constructed, laid out and drawn already
  EXPECT_EQ(control.draws, 0);
  EXPECT_EQ(control.layouts, 0);

  control.Set_State(3);
  EXPECT_EQ(control.draws, 1);
  EXPECT_EQ(CountColor(control.GetBitmap(), 0xFFFFFF, 0, 0, 100, 1), 3);
  control.Set_DColor(QColor(1, 2, 3));
  control.Set_FGColor(QColor(1, 2, 3));
  EXPECT_EQ(control.draws, 3);

  control.Paint();
  control.Set_Location(5, 7);
  EXPECT_EQ(control.pos(), QPoint(5, 7));
  EXPECT_EQ(control.draws, 3) << "moving and plain paints only copy";
  EXPECT_EQ(control.layouts, 0);

  control.resize(40, 30);
  EXPECT_EQ(control.GetBitmap().size(), QSize(100, 200));
  control.Paint();
  EXPECT_EQ(control.layouts, 1);
  EXPECT_EQ(control.draws, 4);
  EXPECT_EQ(control.GetBitmap().size(), QSize(40, 30));
  control.Paint();
  EXPECT_EQ(control.draws, 4);

  control.resize(0, 30);
  control.Paint();
  EXPECT_TRUE(control.GetBitmap().isNull());
}

TEST(GfxBase, ShownOnScreenAsTheImage) {
  QWidget parent;
  parent.resize(80, 80);
  CountingControl control;
  control.setParent(&parent);
  control.setGeometry(10, 10, 30, 20);
  control.Set_BGColor(QColor(0, 0, 200));
  control.Set_State(12);
  parent.show();
  const QImage shot = control.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shot.size(), QSize(30, 20));
  EXPECT_EQ(Differences(shot, [&](int x, int y) { return PixelAt(control.GetBitmap(), x, y); }),
            "");
}

TEST(LineExcludingEnd, NearestPixelsWithoutTheLastOne) {
  QImage image(12, 8, QImage::Format_RGB32);
  image.fill(Qt::black);
  DrawLineExcludingEnd(image, QPoint(1, 1), QPoint(10, 4), Qt::red);
  // One pixel per column, the nearest to the line; (10,4) itself left out.
  EXPECT_EQ(Differences(image,
                        [](int x, int y) {
                          const bool on = x >= 1 && x < 10 && y == 1 + std::lround((x - 1) / 3.0);
                          return on ? kRed : kBlack;
                        }),
            "");

  image.fill(Qt::black);
  DrawLineExcludingEnd(image, QPoint(3, 3), QPoint(3, 3), Qt::red);
  EXPECT_EQ(CountColor(image, kRed, 0, 0, 12, 8), 0) << "a line to itself has no pixel";
  DrawLineExcludingEnd(image, QPoint(5, 7), QPoint(5, 2), Qt::red);
  EXPECT_EQ(CountColor(image, kRed, 5, 3, 6, 8), 5);
  EXPECT_EQ(PixelAt(image, 5, 2), kBlack);

  // Far outside the image: only the visible part, and no overflow.
  image.fill(Qt::black);
  const int big = std::numeric_limits<int>::max();
  DrawLineExcludingEnd(image, QPoint(-4, 0), QPoint(15, 0), Qt::red);
  EXPECT_EQ(CountColor(image, kRed, 0, 0, 12, 1), 12);
  DrawLineExcludingEnd(image, QPoint(big, big), QPoint(big - 3, big - 3), Qt::red);
  EXPECT_EQ(CountColor(image, kRed, 0, 0, 12, 8), 12);
}
