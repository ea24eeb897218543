// The small window on its own: layout, placement and its behaviour while
// there is no main window to talk to.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <limits>

#include "main/Program.h"
#include "windows/Tsmall.h"

namespace {

class SmallWindowTest : public ::testing::Test {
 protected:
  // Clears the program state before the window is made and after it goes.
  struct FreshState {
    FreshState() { Program() = ProgramState(); }
    ~FreshState() { Program() = ProgramState(); }
  } fresh;
  TWsmall small;
};

TEST_F(SmallWindowTest, StartsHiddenAtItsLayoutPlaceWithNoPictureShown) {
  EXPECT_TRUE(Program().Wsmall_alive);
  EXPECT_FALSE(small.isVisible());
  EXPECT_EQ(small.windowTitle(), "Barometer");
  EXPECT_TRUE(small.windowFlags() & Qt::Tool);
  EXPECT_EQ(small.size(), QSize(211, 80));
  EXPECT_EQ(small.minimumSize(), small.maximumSize());
  EXPECT_EQ(small.GetX(), 709.0);
  EXPECT_EQ(small.GetY(), 282.0);

  for (QLabel* p : {small.img_rainsnow, small.img_snow, small.img_couvert, small.img_variable,
                    small.img_sunny, small.img_rainy, small.img_unch, small.img_quick_up,
                    small.img_quick_down, small.img_slow_down, small.img_slow_up}) {
    EXPECT_TRUE(p->isHidden());
    // Made when the window first shows them, not before.
    EXPECT_TRUE(p->pixmap().isNull());
  }
  EXPECT_EQ(small.lbcelsius->text(), QString::fromUtf8("-27.85 [\u00b0C]"));
  EXPECT_EQ(small.lbpresssea->text(), "1070.21 [mbar]");
}

TEST_F(SmallWindowTest, PositionIsTruncatedTowardZero) {
  small.SetX(120.9);
  small.SetY(99.99);
  EXPECT_EQ(small.GetX(), 120.0);
  EXPECT_EQ(small.GetY(), 99.0);
  // Negative values are kept while the window is hidden (it is moved onto
  // the screen when it shows).
  small.SetX(-35.7);
  EXPECT_EQ(small.GetX(), -35.0);
  EXPECT_EQ(small.GetY(), 99.0);
}

TEST_F(SmallWindowTest, UnusablePositionsAreBoundedInsteadOfOverflowing) {
  small.SetX(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(small.GetX(), 0.0);
  small.SetX(1e300);
  small.SetY(-std::numeric_limits<double>::infinity());
  EXPECT_GT(small.GetX(), 1e6);
  EXPECT_LT(small.GetY(), -1e6);
  // Still a usable window: moving it back works.
  small.SetX(10);
  small.SetY(20);
  EXPECT_EQ(small.GetX(), 10.0);
  EXPECT_EQ(small.GetY(), 20.0);
}

TEST_F(SmallWindowTest, WithoutAMainWindowClicksAndCloseRequestsDoNothing) {
  small.show();
  small.img_sunny->show();
  const QPointF inside(3, 3);
  QMouseEvent release(QEvent::MouseButtonRelease, inside, small.img_sunny->mapToGlobal(inside),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(small.img_sunny, &release);
  small.Panel1Click();

  QCloseEvent close;
  QCoreApplication::sendEvent(&small, &close);
  EXPECT_FALSE(close.isAccepted());
  EXPECT_TRUE(small.isVisible());
  EXPECT_TRUE(small.img_sunny->isVisible());
  EXPECT_EQ(Program().terminate_requests, 0);
}

}  // namespace
