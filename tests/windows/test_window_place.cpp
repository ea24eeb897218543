// Where windows stand: the small window's saved place survives any number of
// starts, and a place off the screens is brought fully onto the nearest one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>

#include "components/Window_place.h"
#include "main/Program.h"
#include "windows/Tsmall.h"

TEST(WindowPlace, SavedAndRestoredTenTimesTheSmallWindowStaysPut) {
  double x = 100, y = 500;
  for (int start = 0; start < 10; ++start) {
    TWsmall small;  // a new program: the place comes from the settings
    small.SetX(x);
    small.SetY(y);
    small.show();
    EXPECT_EQ(small.frameGeometry().topLeft(), QPoint(100, 500));
    x = small.GetX();  // saved on quitting
    y = small.GetY();
    small.hide();
    EXPECT_EQ(small.GetX(), 100.0);
    EXPECT_EQ(small.GetY(), 500.0);
  }
  Program().Wsmall_alive = false;
}

TEST(WindowPlace, AFrameOffTheScreensComesFullyOntoTheNearest) {
  const QList<QRect> screens = {QRect(0, 0, 1280, 800), QRect(1280, 0, 1920, 1080)};
  // Inside: unchanged.
  EXPECT_EQ(Twindow_place::OntoNearestArea(QRect(100, 100, 211, 100), screens), QPoint(100, 100));
  // Bottom 19 px below the first screen.
  EXPECT_EQ(Twindow_place::OntoNearestArea(QRect(2, 629, 655, 190), screens), QPoint(2, 610));
  // Across both screens: onto the one it overlaps most.
  EXPECT_EQ(Twindow_place::OntoNearestArea(QRect(1200, 50, 300, 100), screens), QPoint(1280, 50));
  // Far off to the right and above: the closest screen's corner.
  EXPECT_EQ(Twindow_place::OntoNearestArea(QRect(5000, -900, 300, 100), screens), QPoint(2900, 0));
  // Larger than the screen: its top-left corner on it.
  EXPECT_EQ(Twindow_place::OntoNearestArea(QRect(-50, -50, 2000, 900), screens), QPoint(0, 0));
}

TEST(WindowPlace, ADialogOpensCentredOverTheActiveWindowUntilMoved) {
  QWidget opener;
  opener.setGeometry(300, 200, 400, 300);
  opener.show();
  QApplication::setActiveWindow(&opener);
  QWidget dialog;
  dialog.setWindowFlags(Qt::Dialog);
  dialog.resize(100, 50);
  (new Twindow_place(&dialog))->CentreWhenShown();
  dialog.show();
  EXPECT_EQ(dialog.frameGeometry().center(), opener.frameGeometry().center());
  dialog.move(20, 30);  // the user's drag
  dialog.hide();
  dialog.show();
  EXPECT_EQ(dialog.pos(), QPoint(20, 30));
}
