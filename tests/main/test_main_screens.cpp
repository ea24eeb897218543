// Pictures of the main window after some hours on the simulated module:
// both pages are written as PNG files into the test's working folder
// (mainwindow_barometer.png, mainwindow_altimeter.png), and the drawn parts
// are checked where their pixels are exact.

#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QPixmap>
#include <QTabWidget>
#include <cstdlib>

#include "components/Lcd_bar.h"
#include "main/Tmain.h"
#include "support_fixture.h"
#include "windows/Tsmall.h"

namespace {

class ScreenTest : public MainWindowTest {
 protected:
  // Half a day of slowly rising pressure at 250 m, 18 degrees.
  void Run() {
    Conditions(982, 18);
    wmain->ApplyMinimized();
    wmain->StartMeasuring();
    wmain->SetParameter(3, 250);
    for (int hour = 1; hour <= 12; ++hour) {
      Conditions(982 + 0.35 * hour, 18);
      Ticks(4, 900);
    }
  }
};

}  // namespace

TEST_F(ScreenTest, BothPagesRenderAsAnInstrumentPanel) {
  Run();
  wmain->PageControl1->setCurrentIndex(0);
  const QImage barometer = wmain->grab().toImage();
  EXPECT_TRUE(barometer.save("mainwindow_barometer.png"));
  wmain->PageControl1->setCurrentIndex(1);
  const QImage altimeter = wmain->grab().toImage();
  EXPECT_TRUE(altimeter.save("mainwindow_altimeter.png"));
  EXPECT_EQ(barometer.size(), wmain->size());
  EXPECT_EQ(wmain->size().width(), 655);

  // The altitude drawing: teal panel, red bar below the up arrowhead.
  const QImage panel = wmain->altipanel->grab().toImage();
  EXPECT_EQ(QColor(panel.pixel(3, 3)), QColor(0, 128, 128));
  const QRect bar = wmain->shparrow->geometry();
  ASSERT_FALSE(wmain->shparrow->isHidden());
  EXPECT_EQ(QColor(panel.pixel(bar.center())), QColor(255, 0, 0));

  // The thermometer: glass around a mercury column of the shown colour.
  const QImage group = wmain->gb_temperature->grab().toImage();
  const QRect column = wmain->mercure->geometry();
  EXPECT_EQ(QColor(group.pixel(column.center())), wmain->mercure->BrushColor());
  EXPECT_EQ(QColor(group.pixel(66, column.top() + 2)), QColor(212, 240, 240));
  EXPECT_EQ(QColor(group.pixel(66, 40)), QColor(212, 240, 240));

  // The history bars show the hours of rising pressure.
  EXPECT_TRUE(wmain->pb8->EnableDisplay());
  EXPECT_FALSE(wmain->pb16->EnableDisplay());
  EXPECT_GT(wmain->pb0->BarValue(), wmain->pb8->BarValue());

  const QImage small_window = small->grab().toImage();
  EXPECT_TRUE(small_window.save("smallwindow.png"));
}

// Every panel of both pages and the right column shows all four of its
// edges: the middle pixel of each edge stands out from the pixel just
// outside it, so no neighbour covers an edge and no edge fades into the
// background.
TEST_F(ScreenTest, EveryPanelShowsAllFourEdges) {
  wmain->ApplyMinimized();
  const auto differs = [](QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
               std::abs(qBlue(a) - qBlue(b)) >=
           40;
  };
  for (int page = 0; page < 2; ++page) {
    wmain->PageControl1->setCurrentIndex(page);
    const QImage window = wmain->grab().toImage();
    for (QFrame* frame : wmain->client->findChildren<QFrame*>()) {
      if (frame->frameShape() != QFrame::Panel || !frame->isVisibleTo(wmain)) continue;
      const QRect r(frame->mapTo(wmain, QPoint(0, 0)), frame->size());
      const QPoint mid = r.center();
      const QPoint edges[4][2] = {{QPoint(mid.x(), r.top()), QPoint(mid.x(), r.top() - 1)},
                                  {QPoint(mid.x(), r.bottom()), QPoint(mid.x(), r.bottom() + 1)},
                                  {QPoint(r.left(), mid.y()), QPoint(r.left() - 1, mid.y())},
                                  {QPoint(r.right(), mid.y()), QPoint(r.right() + 1, mid.y())}};
      for (int e = 0; e < 4; ++e)
        EXPECT_TRUE(differs(window.pixel(edges[e][0]), window.pixel(edges[e][1])))
            << "edge " << e << " of the panel at " << r.x() << "," << r.y() << " " << r.width()
            << "x" << r.height() << " on page " << page;
    }
  }
}
