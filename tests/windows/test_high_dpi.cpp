// The self-drawn parts on a screen of device pixel ratio 2 (this program is
// run a second time with QT_SCALE_FACTOR=2; at ratio 1 the tests of each
// component check their pictures pixel by pixel): every picture has twice
// the pixels each way, a one-pixel line is two device pixels thick, and no
// pixel has a colour between those drawn.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QSet>
#include <QStyle>
#include <memory>

#include "chart/Plot_time.h"
#include "components/Lcd_bar.h"
#include "components/QtDialogs.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "support_program.h"

namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kOlive = qRgb(128, 128, 0);
const QRgb kGrey = qRgb(128, 128, 128);
const QRgb kWhite = qRgb(255, 255, 255);

class HighDpiTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    if (QWidget().devicePixelRatioF() != 2.0) GTEST_SKIP() << "runs at QT_SCALE_FACTOR=2";
  }
};

// The colours of the image that are not among `drawn`.
QSet<QRgb> Strays(const QImage& image, const QSet<QRgb>& drawn) {
  QSet<QRgb> strays;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (!drawn.contains(image.pixel(x, y) | 0xff000000)) strays.insert(image.pixel(x, y));
  return strays;
}

// Whether every logical pixel (a 2 x 2 block) is of one colour.
bool WholeBlocks(const QImage& image) {
  for (int y = 0; y < image.height(); y += 2)
    for (int x = 0; x < image.width(); x += 2) {
      const QRgb c = image.pixel(x, y);
      if (image.pixel(x + 1, y) != c || image.pixel(x, y + 1) != c ||
          image.pixel(x + 1, y + 1) != c)
        return false;
    }
  return true;
}

}  // namespace

// The program on the simulated module: the history bars of its main window
// and its pictures are drawn at the screen's ratio.
TEST_F(HighDpiTest, HistoryBarsAndPicturesAreDrawnAtTheDeviceRatio) {
  StartMeasuringProgram();
  TWmain* w = Program().Wmain;
  MeasureTicks(2);
  const QImage lit = w->pb0->GetBitmap();
  EXPECT_EQ(lit.devicePixelRatio(), 2.0);
  EXPECT_EQ(lit.size(), QSize(54, 94));
  EXPECT_TRUE(WholeBlocks(lit));
  EXPECT_TRUE(Strays(lit, {kBlack, kOlive, kGrey}).isEmpty());
  // The border: rows 0 and 1 grey, row 2 inside it.
  EXPECT_EQ(lit.pixel(20, 0), kGrey);
  EXPECT_EQ(lit.pixel(20, 1), kGrey);
  EXPECT_NE(lit.pixel(20, 2), kGrey);

  // An empty hour: the red cross, two device pixels thick, nothing between.
  const QImage cross = w->pb16->GetBitmap();
  EXPECT_FALSE(w->pb16->EnableDisplay());
  EXPECT_TRUE(Strays(cross, {kBlack, kRed}).isEmpty());
  int run = 0;
  for (int x = 0; x < cross.width(); ++x) run += cross.pixel(x, 0) == kRed;
  EXPECT_GE(run, 2);
  EXPECT_LE(run, 3);

  // The pictures: rendered at device size.
  const QPixmap scale = w->img_scale->pixmap();
  EXPECT_EQ(scale.devicePixelRatio(), 2.0);
  EXPECT_EQ(scale.size(), QSize(82, 322));
}

TEST_F(HighDpiTest, PlotLinesAreTwoDevicePixelsThickWithNoGreyBetween) {
  Tplot_time plot;
  plot.resize(100, 50);
  plot.Set_x_grid_nbr(3);
  for (int i = 0; i < 5; ++i) plot.AddSample(7.0, i);  // flat: along row 1
  QImage image = plot.GetBitmap();
  EXPECT_EQ(image.size(), QSize(200, 100));
  EXPECT_TRUE(WholeBlocks(image));
  EXPECT_EQ(image.pixel(60, 0), kRed);
  EXPECT_EQ(image.pixel(60, 1), kRed);
  EXPECT_EQ(image.pixel(60, 2), kWhite);
  EXPECT_EQ(image.pixel(60, 3), kWhite);
  EXPECT_EQ(image.pixel(60, 4), kBlack);

  // A zigzag over more samples than columns: only the four colours.
  for (int i = 0; i < 300; ++i) plot.AddSample(i % 7 * (i % 3), i);
  image = plot.GetBitmap();
  EXPECT_TRUE(Strays(image, {kBlack, kRed, kGrey, kWhite}).isEmpty());
}

TEST_F(HighDpiTest, MessageBoxIconsAreDrawnAtTheScreensRatio) {
  for (QMessageBox::Icon icon :
       {QMessageBox::Critical, QMessageBox::Information, QMessageBox::Question}) {
    const std::unique_ptr<QMessageBox> box =
        QtDialogs::MakeBox(icon, "Text", QMessageBox::Ok, Program().Wmain);
    const QPixmap pixmap = box->iconPixmap();
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.devicePixelRatio(), 2.0);
    EXPECT_EQ(pixmap.width(),
              2 * box->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, box.get()));
  }
}
