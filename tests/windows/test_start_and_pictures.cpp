// The program's start on the simulated module, seen from outside: the first
// sample is taken once, with the settings of setup.ini, and the main window
// appears with it; and the windows make their pictures only when shown and
// give them back when hidden.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>
#include <vector>

#include "assets/Assets.h"
#include "chart/Plot_time.h"
#include "chart/Tchart.h"
#include "components/Picture.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "sensor/Tsensor.h"
#include "settings/Tsettings.h"
#include "support_program.h"
#include "windows/Barograph_plot.h"
#include "windows/Tabout.h"
#include "windows/Tbarograph.h"
#include "windows/Tintro.h"
#include "windows/Tsmall.h"

namespace {

// The text of a label at the moment its window is shown.
class ShownWith : public QObject {
 public:
  ShownWith(QWidget* window, QLabel* label) : label_(label) { window->installEventFilter(this); }
  QString text;
  int shows = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      ++shows;
      text = label_->text();
    }
    return false;
  }

 private:
  QLabel* label_;
};

class StartTest : public ProgramTest {};

TEST_F(StartTest, TheFirstSampleIsTakenOnceWithTheSettingsOfSetupIni) {
  InstallDefaultSetup();
  std::string setup = ReadFile(PathOf("setup.ini"));
  const auto replace = [&setup](const std::string& from, const std::string& to) {
    setup.replace(setup.find(from), from.size(), to);
  };
  replace("set_sampling_n\t1", "set_sampling_n\t4");
  replace("set_sampling_ts\t1", "set_sampling_ts\t5");
  WriteFile(PathOf("setup.ini"), setup);
  StartProgram();
  TWintro* intro = Program().Wintro;
  TWmain* wmain = Program().Wmain;
  ShownWith shown(wmain, wmain->lbpressure);
  // The search (steps 0 to 2) finds the module.
  for (int step = 0; step < 3; ++step) {
    clock.AdvanceMs(300);
    intro->OnTimer();
  }
  ASSERT_FALSE(intro->ModuleMissing);
  EXPECT_FALSE(wmain->isVisible());
  // The hand-over: one forced measurement, every conversion of it with
  // n = 4 (a new module's first values are confirmed by further sequences
  // of the same n), and no sample follows for the ts the file sets.
  const int before = module.ConversionCount();
  clock.AdvanceMs(300);
  intro->OnTimer();
  const int conversions = module.ConversionCount() - before;
  EXPECT_EQ(Program().sensor->GetSampleCount(), 4);
  EXPECT_EQ(Program().sensor->GetSequenceInterval(), 5);
  EXPECT_TRUE(conversions > 0 && conversions % 8 == 0 && conversions <= 24) << conversions;
  EXPECT_EQ(Program().Wchart->pressure_plot->Count(), 1);
  // Shown once, with the sample's values in it.
  EXPECT_TRUE(wmain->isVisible());
  EXPECT_EQ(shown.shows, 1);
  EXPECT_NE(shown.text, "0.00");
  EXPECT_EQ(shown.text, wmain->lbpressure->text());
  // The next sample comes ts seconds later.
  const int after_start = module.ConversionCount();
  for (int s = 0; s < 4; ++s) MeasureTicks(1);
  EXPECT_EQ(module.ConversionCount(), after_start);
  MeasureTicks(1);
  EXPECT_EQ(module.ConversionCount(), after_start + 8);
}

TEST_F(StartTest, AMinimisedStartShowsTheSmallWindowAloneWithItsValues) {
  InstallDefaultSetup();
  std::string setup = ReadFile(PathOf("setup.ini"));
  setup.replace(setup.find("set_minimized\t0.0"), 17, "set_minimized\t1.0");
  WriteFile(PathOf("setup.ini"), setup);
  StartProgram();
  ShownWith main_shown(Program().Wmain, Program().Wmain->lbpressure);
  RunDetection();
  EXPECT_EQ(main_shown.shows, 0);
  EXPECT_FALSE(Program().Wmain->isVisible());
  EXPECT_TRUE(Program().Wsmall->isVisible());
}

// Whether any picture of the window is held.
int PicturesHeld(QWidget* window) {
  int held = 0;
  for (Tpicture* picture : window->findChildren<Tpicture*>()) held += !picture->pixmap().isNull();
  return held;
}

// The pictures the window holds, each by the identity of its pixels.
std::vector<qint64> PictureKeys(QWidget* window) {
  std::vector<qint64> keys;
  for (Tpicture* picture : window->findChildren<Tpicture*>())
    if (!picture->pixmap().isNull()) keys.push_back(picture->pixmap().cacheKey());
  return keys;
}

// Shows the window, then hides it: it gave back what it held, and nothing of
// its pictures stayed anywhere else: shown again, each is made afresh.
void ExpectPicturesGoneOnceHidden(QWidget* window, size_t shown) {
  window->show();
  QApplication::processEvents();
  const std::vector<qint64> first = PictureKeys(window);
  EXPECT_EQ(first.size(), shown);
  window->hide();
  EXPECT_EQ(PicturesHeld(window), 0);
  window->show();
  QApplication::processEvents();
  const std::vector<qint64> again = PictureKeys(window);
  EXPECT_EQ(again.size(), shown);
  for (qint64 key : again)
    EXPECT_EQ(std::count(first.begin(), first.end(), key), 0) << "kept while hidden";
  window->hide();
}

TEST_F(StartTest, WindowsMakeTheirPicturesWhenShownAndGiveThemBackWhenHidden) {
  StartMeasuringProgram();
  MeasureTicks(5);
  ProgramState& program = Program();
  // Never shown: no picture made.
  TWchart* chart = program.Wchart;
  for (Tplot_time* plot : {chart->pressure_plot, chart->temperature_plot, chart->altitude_plot})
    EXPECT_TRUE(plot->GetBitmap().isNull());
  EXPECT_EQ(PicturesHeld(program.Wabout), 0);
  EXPECT_TRUE(program.Wabout->bt_ok->icon().isNull());
  EXPECT_EQ(PicturesHeld(program.Wsettings), 0);
  EXPECT_TRUE(program.Wbarograph->pressure_plot->GetBitmap().isNull());
  // The splash window's logo went with the splash window.
  EXPECT_EQ(PicturesHeld(program.Wintro), 0);
  EXPECT_EQ(PicturesHeld(program.Wsmall), 0);

  // Shown: drawn at the plot's size, with the samples taken while hidden.
  program.Wmain->ViewChart1Click();
  ASSERT_TRUE(chart->isVisible());
  QApplication::processEvents();
  const QImage& pressure = chart->pressure_plot->GetBitmap();
  EXPECT_EQ(pressure.size(), chart->pressure_plot->size() * chart->devicePixelRatioF());
  EXPECT_EQ(pressure.pixel(1, 1) & 0xFFFFFF, 0x000080u);
  EXPECT_FALSE(chart->temperature_plot->GetBitmap().isNull());
  EXPECT_TRUE(chart->altitude_plot->GetBitmap().isNull());  // the view not chosen
  chart->hide();
  for (Tplot_time* plot : {chart->pressure_plot, chart->temperature_plot, chart->altitude_plot})
    EXPECT_TRUE(plot->GetBitmap().isNull());
  chart->show();
  QApplication::processEvents();
  EXPECT_FALSE(chart->pressure_plot->GetBitmap().isNull());
  chart->hide();

  ExpectPicturesGoneOnceHidden(program.Wabout, 1);
  // Its button's icon as well.
  program.Wabout->show();
  EXPECT_FALSE(program.Wabout->bt_ok->icon().isNull());
  program.Wabout->hide();
  EXPECT_TRUE(program.Wabout->bt_ok->icon().isNull());
  // The message boxes' icons are asked for again and again: those stay,
  // made once.
  const QPixmap icon = AssetPixmap("box_question", QSize(48, 48), 2);
  EXPECT_EQ(AssetPixmap("box_question", QSize(48, 48), 2).cacheKey(), icon.cacheKey());
  EXPECT_EQ(icon.size(), QSize(96, 96));

  // The small window makes the weather and trend pictures it shows, no
  // others of their stacks, and gives them back with the main window.
  program.Wmain->Minimize1Click();
  QApplication::processEvents();
  ASSERT_TRUE(program.Wsmall->isVisible());
  EXPECT_EQ(PicturesHeld(program.Wsmall), 2);
  const std::vector<qint64> small = PictureKeys(program.Wsmall);
  program.Wsmall->Panel1Click();
  QApplication::processEvents();
  EXPECT_EQ(PicturesHeld(program.Wsmall), 0);
  // Back to the small window: its two pictures made afresh.
  program.Wmain->Minimize1Click();
  QApplication::processEvents();
  for (qint64 key : PictureKeys(program.Wsmall))
    EXPECT_EQ(std::count(small.begin(), small.end(), key), 0) << "kept while hidden";
  program.Wsmall->Panel1Click();

  TWbarograph* barograph = program.Wbarograph;
  barograph->show();
  QApplication::processEvents();
  EXPECT_FALSE(barograph->pressure_plot->GetBitmap().isNull());
  barograph->Close1Click();
  EXPECT_TRUE(barograph->pressure_plot->GetBitmap().isNull());
  EXPECT_TRUE(barograph->temperature_plot->GetBitmap().isNull());
}

}  // namespace
