// Windows fit the screen they open on: a size remembered from a larger
// screen or a smaller scale is brought within the screen's available area.
// Run once on the default screen and once on a 1600 x 1000 screen at
// QT_SCALE_FACTOR=2 (800 x 500 in the windows' own pixels).
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include "chart/Tchart.h"
#include "components/Window_fit.h"
#include "components/Window_place.h"
#include "main/Program.h"
#include "windows/Tbarograph.h"

namespace {

QRect Available() {
  return QGuiApplication::primaryScreen()->availableGeometry();
}

// Whether the window's frame lies wholly on the screen, or the window is at
// its least size where the screen cannot hold even that.
void ExpectOnScreen(const QWidget& window, const char* what) {
  const QRect frame = Twindow_place::FrameOf(&window);
  const QSize least = window.minimumSizeHint().expandedTo(window.minimumSize());
  const QRect area = Available();
  if (least.width() < area.width() && least.height() < area.height()) {
    EXPECT_TRUE(area.contains(frame))
        << what << ": frame " << frame.x() << "," << frame.y() << " " << frame.width() << "x"
        << frame.height() << " on " << area.width() << "x" << area.height();
  } else {
    EXPECT_LE(window.width(), std::max(least.width(), area.width())) << what;
    EXPECT_LE(window.height(), std::max(least.height(), area.height())) << what;
  }
}

TEST(WindowFit, TheClientSizeWhoseFrameFits) {
  const QRect area(0, 0, 800, 500);
  const QMargins margins(2, 24, 2, 2);
  EXPECT_EQ(Twindow_fit::Within(QSize(600, 400), margins, area), QSize(600, 400));
  EXPECT_EQ(Twindow_fit::Within(QSize(1100, 850), margins, area), QSize(796, 474));
  EXPECT_EQ(Twindow_fit::Within(QSize(700, 850), margins, area), QSize(700, 474));
  EXPECT_EQ(Twindow_fit::Within(QSize(796, 474), margins, area), QSize(796, 474));
  EXPECT_EQ(Twindow_fit::Within(QSize(50, 50), QMargins(), QRect()), QSize(1, 1));
}

TEST(WindowFit, APlainWindowLargerThanTheScreenIsBroughtWithinIt) {
  QWidget window;
  window.resize(Available().width() * 3, Available().height() * 2);
  window.move(Available().topLeft() + QPoint(200, 100));
  new Twindow_fit(&window);
  window.show();
  QCoreApplication::processEvents();
  ExpectOnScreen(window, "plain");
  // A window that fits keeps its size and place.
  QWidget small;
  small.resize(200, 150);
  small.move(Available().topLeft() + QPoint(30, 40));
  new Twindow_fit(&small);
  small.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(small.size(), QSize(200, 150));
  EXPECT_EQ(small.pos(), Available().topLeft() + QPoint(30, 40));
}

TEST(WindowFit, ChartAndBarographOpenWithinTheScreenAtTheirRememberedSize) {
  QTemporaryDir dir;
  Program().ini.Load(dir.filePath("barometer.ini").toStdString());
  Program().ini.SetInt("chart_width", 2200);
  Program().ini.SetInt("chart_height", 1700);
  Program().ini.SetInt("barograph_width", 3000);
  Program().ini.SetInt("barograph_height", 2400);
  {
    TWchart chart;
    ASSERT_EQ(chart.size(), QSize(2200, 1700)) << "the remembered size until shown";
    chart.show();
    QCoreApplication::processEvents();
    ExpectOnScreen(chart, "chart");
    chart.hide();
  }
  {
    TWbarograph barograph;
    barograph.show();
    QCoreApplication::processEvents();
    ExpectOnScreen(barograph, "barograph");
    barograph.hide();
  }
  Program().Wchart_alive = false;
  Program().Wbarograph_alive = false;
}

// The main window, the small window and the dialogs fit through their place.
TEST(WindowFit, APlacedWindowFitsToo) {
  QWidget window;
  new Twindow_place(&window);
  window.resize(Available().width() + 300, Available().height() + 300);
  window.show();
  QCoreApplication::processEvents();
  ExpectOnScreen(window, "placed");
}

}  // namespace
