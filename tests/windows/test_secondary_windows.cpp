// The about box and the chart's range dialog.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include "chart/Tchart_settings.h"
#include "main/Program.h"
#include "windows/Tabout.h"

namespace {

class SecondaryWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { Program() = ProgramState(); }
  void TearDown() override { Program() = ProgramState(); }
};

TEST_F(SecondaryWindowTest, AboutBoxShowsTheBuildDateLikeOct302001) {
  TWabout about;
  EXPECT_TRUE(Program().Wabout_alive);
  EXPECT_EQ(about.windowTitle(), "About Norvatech's Barometer");
  EXPECT_EQ(about.size(), QSize(341, 393));
  // The OK button has room under it.
  EXPECT_LE(about.bt_ok->geometry().bottom() + 8, about.height());
  EXPECT_FALSE(about.isVisible());

  const QString date = about.lb_date->text();
  EXPECT_TRUE(QRegularExpression("^(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                 "(0[1-9]|[12][0-9]|3[01]) [0-9]{4}$")
                  .match(date)
                  .hasMatch())
      << date.toStdString();
}

TEST_F(SecondaryWindowTest, AboutBoxClosesWithEnterOkOrTheCloseBoxAndKeepsItsDate) {
  TWabout about;
  const QString date = about.lb_date->text();
  EXPECT_TRUE(about.bt_ok->isDefault());

  about.open();
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(&about, &enter);
  EXPECT_FALSE(about.isVisible());
  EXPECT_EQ(about.result(), QDialog::Accepted);

  about.open();
  EXPECT_EQ(about.lb_date->text(), date);
  about.bt_ok->click();
  EXPECT_FALSE(about.isVisible());
  EXPECT_EQ(about.result(), QDialog::Accepted);

  about.open();
  QCloseEvent close;
  QCoreApplication::sendEvent(&about, &close);
  EXPECT_FALSE(about.isVisible());
  EXPECT_EQ(about.result(), QDialog::Rejected);
  EXPECT_EQ(about.lb_date->text(), date);
}

TEST_F(SecondaryWindowTest, RangeBoxesEnableOnlyTheirOwnFields) {
  TWrange range;
  EXPECT_TRUE(Program().Wrange_alive);
  EXPECT_EQ(range.windowTitle(), "Chart settings");
  range.SetPressureAutoscale(true);
  range.SetAltitudeAutoscale(true);
  range.SetTemperatureAutoscale(true);
  for (QLineEdit* e :
       {range.ed_pl, range.ed_ph, range.ed_al, range.ed_ah, range.ed_tl, range.ed_th}) {
    EXPECT_FALSE(e->isEnabled());
  }

  range.AAutoScaleBox->click();  // unticked by the user
  EXPECT_TRUE(range.ed_al->isEnabled());
  EXPECT_TRUE(range.ed_ah->isEnabled());
  EXPECT_FALSE(range.ed_pl->isEnabled());
  EXPECT_FALSE(range.ed_th->isEnabled());
  range.AAutoScaleBox->click();
  EXPECT_FALSE(range.ed_al->isEnabled());

  range.SetTemperatureAutoscale(false);
  EXPECT_FALSE(range.TAutoScaleBox->isChecked());
  EXPECT_TRUE(range.ed_tl->isEnabled());
  EXPECT_TRUE(range.ed_th->isEnabled());
}

}  // namespace
