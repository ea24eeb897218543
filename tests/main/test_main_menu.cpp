// The main menu, the main/small window switch and the quit path.

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <cstdio>

#include "chart/Tchart.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "support_fixture.h"
#include "windows/Tsmall.h"

namespace {

// The captions of a menu, "-" for a separator.
std::vector<std::string> Captions(const QMenu* menu) {
  std::vector<std::string> captions;
  for (const QAction* action : menu->actions())
    captions.push_back(action->isSeparator() ? "-" : action->text().remove('&').toStdString());
  return captions;
}

bool Exists(const char* name) {
  if (std::FILE* f = std::fopen(name, "rb")) {
    std::fclose(f);
    return true;
  }
  return false;
}

class MenuTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Conditions(1000, 15);
    wmain->ApplyMinimized();
    wmain->Timer1->start();
    wmain->StartMeasuring();
    dialogs.calls.clear();
  }
};

}  // namespace

TEST_F(MenuTest, MenuBarHoldsEveryItemInOrder) {
  const QList<QAction*> menus = wmain->MainMenu1->actions();
  ASSERT_EQ(menus.size(), 4);
  EXPECT_EQ(menus[0]->text(), "&File");
  EXPECT_EQ(menus[1]->text(), "&Plots");
  EXPECT_EQ(menus[2]->text(), "&Settings");
  EXPECT_EQ(menus[3]->text(), "&Help");
  EXPECT_EQ(
      Captions(wmain->File1),
      (std::vector<std::string>{"Detect module on LPT1", "Module port...", "-", "Load settings ...",
                                "Save settings As ...", "Autosave settings on exit", "-",
                                "Publish to MQTT...", "-", "Exit"}));
  EXPECT_EQ(Captions(wmain->Plots1), (std::vector<std::string>{"View Chart", "View Barograph"}));
  EXPECT_EQ(Captions(wmain->Settings2),
            (std::vector<std::string>{"Clear min/max values", "Minimize", "Settings", "Units",
                                      "Corrections..."}));
  // One mark among the pressure units and one among the temperature units,
  // then a word on the files, which keep mbar and deg C.
  const std::vector<std::string> units = Captions(wmain->Units1);
  ASSERT_EQ(units.size(), 11u);
  EXPECT_EQ(
      std::vector<std::string>(units.begin(), units.begin() + 8),
      (std::vector<std::string>{"mbar", "hPa", "inHg", "mmHg", "kPa", "-", "\u00b0C", "\u00b0F"}));
  EXPECT_TRUE(wmain->PressureUnits1[0]->isChecked());
  EXPECT_TRUE(wmain->Celsius1->isChecked());
  EXPECT_EQ(Captions(wmain->Help1), (std::vector<std::string>{"Help", "-", "About"}));
  EXPECT_EQ(wmain->Loadsettings1->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_TRUE(wmain->Autosavesettingsonexit1->isCheckable());
  EXPECT_TRUE(wmain->ViewChart1->isCheckable());
  EXPECT_FALSE(wmain->ViewChart1->isChecked());
  EXPECT_EQ(wmain->windowTitle(), "NORVATECH's Barometer");
  EXPECT_EQ(wmain->client->size(), QSize(655, 396));
}

TEST_F(MenuTest, CtrlOOpensTheLoadDialog) {
  wmain->activateWindow();
  QApplication::processEvents();
  // A key press sent by the program goes through the shortcuts first, as
  // a typed one does.
  QKeyEvent press(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier);
  QApplication::sendEvent(wmain->client, &press);
  ASSERT_EQ(dialogs.CountOf(ScriptedDialogs::Kind::OpenFile), 1);
  EXPECT_EQ(dialogs.calls.back().text, "setup.ini");
}

TEST_F(MenuTest, FileDialogsStartFromTheLastNameChosen) {
  dialogs.file_answers = {std::nullopt, std::string("mine.ini"), std::string("mine.ini")};
  wmain->SavesettingsAs1->trigger();  // cancelled
  EXPECT_FALSE(Exists("setup.ini"));
  wmain->SavesettingsAs1->trigger();
  EXPECT_TRUE(Exists("mine.ini"));
  EXPECT_EQ(wmain->save_file_name, "mine.ini");

  wmain->Loadsettings1->trigger();  // the open dialog keeps its own name
  ASSERT_EQ(dialogs.calls.size(), 3u);
  EXPECT_EQ(dialogs.calls[0].text, "setup.ini");
  EXPECT_EQ(dialogs.calls[1].text, "setup.ini");
  EXPECT_EQ(dialogs.calls[2].kind, ScriptedDialogs::Kind::OpenFile);
  EXPECT_EQ(dialogs.calls[2].text, "setup.ini");
  EXPECT_EQ(wmain->open_file_name, "mine.ini");
  EXPECT_EQ(dialogs.CountOf(ScriptedDialogs::Kind::Error), 0);
  std::remove("mine.ini");

  // Quitting with autosave writes the file last chosen in the save dialog.
  dialogs.confirm_answers = {true};
  EXPECT_EQ(wmain->ConfirmClose(), 2);
  EXPECT_TRUE(Exists("mine.ini"));
  EXPECT_FALSE(Exists("setup.ini"));
  std::remove("mine.ini");
}

TEST_F(MenuTest, AutosaveIsCheckedFromTheStartAndEachClickToggles) {
  EXPECT_TRUE(wmain->Autosavesettingsonexit1->isChecked());
  wmain->Autosavesettingsonexit1->trigger();  // from the menu
  EXPECT_FALSE(wmain->save_on_exit);
  EXPECT_FALSE(wmain->Autosavesettingsonexit1->isChecked());
  wmain->Autosavesettingsonexit1Click();  // from code, the same
  EXPECT_TRUE(wmain->save_on_exit);
  EXPECT_TRUE(wmain->Autosavesettingsonexit1->isChecked());
  wmain->SetParameter(14, 0);
  EXPECT_FALSE(wmain->Autosavesettingsonexit1->isChecked());
}

TEST_F(MenuTest, ViewChartShowsAndHidesTheChartAndItsOwnCloseClearsTheMark) {
  wmain->ViewChart1->trigger();
  EXPECT_TRUE(wmain->ViewChart1->isChecked());
  EXPECT_TRUE(chart->isVisible());
  wmain->ViewChart1->trigger();
  EXPECT_FALSE(wmain->ViewChart1->isChecked());
  EXPECT_FALSE(chart->isVisible());

  wmain->ViewChart1Click();
  ASSERT_TRUE(chart->isVisible());
  chart->close();  // the chart's own close box
  EXPECT_FALSE(chart->isVisible());
  EXPECT_FALSE(wmain->ViewChart1->isChecked());
}

TEST_F(MenuTest, MinimizeSwitchesToTheSmallWindowAndAClickComesBack) {
  ASSERT_TRUE(wmain->isVisible());
  wmain->Minimize1->trigger();
  EXPECT_FALSE(wmain->isVisible());
  EXPECT_TRUE(small->isVisible());

  small->Panel1Click();
  EXPECT_TRUE(wmain->isVisible());
  EXPECT_FALSE(small->isVisible());
  wmain->SaveSettings("setup.ini");
  EXPECT_NE(ReadFile("setup.ini").find("set_minimized\t0.0\n"), std::string::npos);

  // Without the small window nothing switches.
  Program().Wsmall_alive = false;
  wmain->Minimize1Click();
  EXPECT_TRUE(wmain->isVisible());
}

TEST_F(MenuTest, AnsweringNoLeavesEverythingRunning) {
  QCloseEvent event;
  QApplication::sendEvent(wmain, &event);
  EXPECT_FALSE(event.isAccepted());
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(dialogs.calls[0].kind, ScriptedDialogs::Kind::Confirm);
  EXPECT_EQ(dialogs.calls[0].text, "Close application ?");
  EXPECT_TRUE(wmain->isVisible());
  EXPECT_TRUE(wmain->Timer1->isActive());
  EXPECT_FALSE(Program().closing);
  EXPECT_EQ(Program().terminate_requests, 0);
  EXPECT_FALSE(Exists("setup.ini"));

  wmain->Exit1->trigger();
  EXPECT_EQ(Program().terminate_requests, 0);
  EXPECT_TRUE(wmain->Timer1->isActive());
}

TEST_F(MenuTest, AnsweringYesSavesStopsTheTimerAndTerminates) {
  // Samples go on while the box is open; the timer stops only on Yes.
  dialogs.on_call = [this](const ScriptedDialogs::Call&) {
    EXPECT_TRUE(wmain->Timer1->isActive());
    Ticks(1);
  };
  dialogs.confirm_answers = {true};
  QCloseEvent event;
  QApplication::sendEvent(wmain, &event);
  EXPECT_FALSE(event.isAccepted());  // the window itself never closes
  EXPECT_TRUE(wmain->isVisible());
  EXPECT_TRUE(Program().closing);
  EXPECT_FALSE(wmain->Timer1->isActive());
  EXPECT_EQ(Program().terminate_requests, 1);
  EXPECT_TRUE(Exists("setup.ini"));

  Ticks(1);  // the timer stays off for good
  EXPECT_FALSE(wmain->Timer1->isActive());
}

TEST_F(MenuTest, ExitWithAutosaveOffWritesNothing) {
  wmain->Autosavesettingsonexit1->trigger();
  dialogs.confirm_answers = {true};
  wmain->Exit1->trigger();
  EXPECT_EQ(Program().terminate_requests, 1);
  EXPECT_FALSE(Exists("setup.ini"));
}

TEST_F(MenuTest, QuittingStillQuitsWhenTheSettingsCannotBeWritten) {
  wmain->save_file_name = "no_such_folder/setup.ini";
  dialogs.confirm_answers = {true};
  wmain->Exit1Click();
  EXPECT_EQ(dialogs.CountOf(ScriptedDialogs::Kind::Error), 1);
  EXPECT_EQ(Program().terminate_requests, 1);
}

TEST_F(MenuTest, CommandsOnAbsentWindowsDoNothing) {
  // Neither settings nor about window exists: no modal dialog is run.
  wmain->Settings1->trigger();
  wmain->Mabout->trigger();
  wmain->DetectmoduleonLPT11->trigger();
  Program().Wchart_alive = false;
  wmain->ViewChart1->trigger();
  EXPECT_FALSE(chart->isVisible());
  EXPECT_TRUE(wmain->ViewChart1->isChecked());  // the mark still follows the intent
  EXPECT_TRUE(dialogs.calls.empty());
}
