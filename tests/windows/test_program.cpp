// The whole program, end to end: start-up and module detection, the quit
// path with and without autosave, the small window round trip, shut-down.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <cstdlib>

#include "chart/Tchart.h"
#include "chart/Tchart_settings.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/PortIo.h"
#include "platform/SimulatedModule.h"
#include "sensor/Tsensor.h"
#include "settings/Tsettings.h"
#include "support_program.h"
#include "windows/Tabout.h"
#include "windows/Tdebug.h"
#include "windows/Tintro.h"
#include "windows/Tsmall.h"

namespace {

constexpr uint8_t kSetMinimized = 13;
constexpr uint8_t kSetSaveOnExit = 14;
constexpr uint8_t kSetSmallX = 15;
constexpr uint8_t kSetSmallY = 16;

const char kNoModuleNote[] =
    "Note: No module found on parallel port, please check the connection and/or plug-in the "
    "module.\n";

void ClickPicture(QLabel* picture) {
  const QPointF inside(2, 2);
  QMouseEvent press(QEvent::MouseButtonPress, inside, picture->mapToGlobal(inside), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, inside, picture->mapToGlobal(inside),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(picture, &press);
  QCoreApplication::sendEvent(picture, &release);
}

// Sends a close request as the close box would; true when it was accepted.
bool RequestClose(QWidget* window) {
  QCloseEvent event;
  QCoreApplication::sendEvent(window, &event);
  return event.isAccepted();
}

QLabel* VisibleWeatherPicture(TWsmall* small) {
  for (QLabel* p : {small->img_rainsnow, small->img_snow, small->img_couvert, small->img_variable,
                    small->img_sunny, small->img_rainy}) {
    if (!p->isHidden()) return p;
  }
  return nullptr;
}

}  // namespace

TEST_F(ProgramTest, StartUpCreatesEveryWindowAndShowsOnlyTheSplash) {
  InstallDefaultSetup();
  StartProgram();
  ProgramState& program = Program();

  ASSERT_NE(program.sensor, nullptr);
  EXPECT_TRUE(program.Wintro_alive && program.Wmain_alive && program.Wsmall_alive &&
              program.Wchart_alive && program.Wabout_alive && program.Wsettings_alive &&
              program.Wrange_alive && program.Wdebug_alive);
  EXPECT_EQ(QCoreApplication::applicationName(), "Barometer");
  EXPECT_EQ(program.Wintro->windowTitle(), "Barometer");
  EXPECT_EQ(program.Wsettings->windowTitle(), "Settings");
  EXPECT_EQ(program.Wdebug->windowTitle(), "Debug");

  EXPECT_TRUE(program.Wintro->isVisible());
  for (QWidget* w : std::initializer_list<QWidget*>{program.Wmain, program.Wsmall, program.Wchart,
                                                    program.Wabout, program.Wsettings,
                                                    program.Wrange, program.Wdebug}) {
    EXPECT_FALSE(w->isVisible()) << w->windowTitle().toStdString();
  }
  // The chart's init step put the range dialog into autoscale mode.
  EXPECT_TRUE(program.Wrange->PAutoScaleBox->isChecked());
  EXPECT_TRUE(program.Wrange->AAutoScaleBox->isChecked());
  EXPECT_TRUE(program.Wrange->TAutoScaleBox->isChecked());
  EXPECT_FALSE(program.Wrange->ed_ph->isEnabled());

  // Detection has started; the main window waits for its end.
  EXPECT_TRUE(program.Wintro->Timer1->isActive());
  EXPECT_EQ(program.Wintro->lbstatus->text(), "Searching barometer module on LPT1");
  EXPECT_FALSE(program.Wmain->Timer1->isActive());
}

TEST_F(ProgramTest, ModulePresentReachesTheMainWindowMeasuring) {
  InstallDefaultSetup();
  StartProgram();
  ProgramState& program = Program();

  RunDetection();

  EXPECT_EQ(program.Wintro->lbstatus->text(), "OK: module found");
  EXPECT_FALSE(program.Wintro->ModuleMissing);
  EXPECT_TRUE(dialogs.calls.empty()) << "first call: " << dialogs.calls.front().text;
  EXPECT_FALSE(program.Wintro->isVisible());
  EXPECT_TRUE(program.Wmain->isVisible());
  EXPECT_FALSE(program.Wsmall->isVisible());
  EXPECT_TRUE(program.Wmain->Timer1->isActive());

  // setup.ini was loaded: the site altitude gives a sensible sea-level value.
  EXPECT_DOUBLE_EQ(program.Wmain->GetParameter(3), kSimulatedSiteAltitude);

  const int conversions = module.ConversionCount();
  const int samples = program.Wchart->MeasurementCount();
  MeasureTicks(5);
  EXPECT_GE(module.ConversionCount(), conversions + 10);  // a pair per sample
  EXPECT_EQ(program.Wchart->MeasurementCount(), samples + 5);
  EXPECT_TRUE(program.Wmain->Timer1->isActive());
  EXPECT_FALSE(program.sensor->HasError());
  EXPECT_NEAR(program.sensor->Pressure, module.PressureNow(), 1.0);
  EXPECT_NEAR(program.Wmain->p_sea, module.SeaLevelPressureAt(static_cast<double>(clock.Now())),
              3.0);
}

TEST_F(ProgramTest, MissingModuleShowsTheNoteBeforeTheMainWindowStarts) {
  InstallDefaultSetup();
  module.SetUnplugged(true);
  StartProgram();
  ProgramState& program = Program();

  bool checked_while_open = false;
  dialogs.on_call = [&](const ScriptedDialogs::Call& call) {
    if (call.kind != ScriptedDialogs::Kind::Information) return;
    checked_while_open = true;
    EXPECT_EQ(program.Wintro->lbstatus->text(), "Error: No module found on LPT1");
    EXPECT_FALSE(program.Wintro->Timer1->isActive());
    EXPECT_FALSE(program.Wmain->isVisible());
    EXPECT_FALSE(program.Wmain->Timer1->isActive());
  };
  RunDetection();

  EXPECT_TRUE(checked_while_open);
  ASSERT_EQ(InformationCount(), 1);
  EXPECT_EQ(dialogs.calls.front().text, kNoModuleNote);
  EXPECT_TRUE(program.Wintro->ModuleMissing);
  // The program goes on to the main window all the same.
  EXPECT_FALSE(program.Wintro->isVisible());
  EXPECT_TRUE(program.Wmain->isVisible());
  EXPECT_TRUE(program.Wmain->Timer1->isActive());
  MeasureTicks(2);
  EXPECT_TRUE(program.Wmain->Timer1->isActive());
}

TEST_F(ProgramTest, DetectTwiceInQuickSuccessionRestartsFromStepZero) {
  InstallDefaultSetup();
  StartProgram();
  ProgramState& program = Program();
  RunDetection();
  ASSERT_TRUE(program.Wmain->isVisible());

  program.Wmain->DetectmoduleonLPT11Click();
  clock.AdvanceMs(300);
  program.Wintro->OnTimer();  // step 0: shown again
  program.Wintro->OnTimer();  // step 1: searched
  EXPECT_TRUE(program.Wintro->isVisible());
  EXPECT_EQ(program.Wintro->Step, 2);

  program.Wmain->DetectmoduleonLPT11Click();
  EXPECT_EQ(program.Wintro->Step, 0);
  EXPECT_FALSE(program.Wintro->ModuleMissing);
  EXPECT_EQ(program.Wintro->lbstatus->text(), "Searching barometer module on LPT1");
  EXPECT_TRUE(program.Wintro->Timer1->isActive());
  // The measurement timer keeps running through a search from the menu.
  EXPECT_TRUE(program.Wmain->Timer1->isActive());

  int ticks = 0;
  while (program.Wintro->Timer1->isActive() && ticks < 20) {
    clock.AdvanceMs(300);
    program.Wintro->OnTimer();
    ++ticks;
  }
  EXPECT_EQ(ticks, 5);  // steps 0..4 once more, from the start
  EXPECT_EQ(program.Wintro->lbstatus->text(), "OK: module found");
  EXPECT_FALSE(program.Wintro->isVisible());
  EXPECT_TRUE(program.Wmain->isVisible());
  EXPECT_TRUE(dialogs.calls.empty());
}

// Detecting again from the menu keeps what was set in this session: the
// settings file is read at the first start only.
TEST_F(ProgramTest, DetectingAgainKeepsTheSettingsAppliedInTheSession) {
  StartMeasuringProgram();
  ProgramState& program = Program();
  TWsettings* dialog = program.Wsettings;
  dialog->OnShow();
  dialog->ed_alti->setText("450");
  dialog->OnKeyUpAlti();
  dialog->ed_n->setText("4");
  dialog->ed_tss->setText("3");
  dialog->OnExittss();
  dialog->bt_okClick();
  ASSERT_DOUBLE_EQ(program.Wmain->GetParameter(3), 450);
  MeasureTicks(3);
  const double sea = program.Wmain->p_sea;

  program.Wmain->DetectmoduleonLPT11Click();
  RunDetection();
  EXPECT_DOUBLE_EQ(program.Wmain->GetParameter(3), 450);
  EXPECT_DOUBLE_EQ(program.Wmain->GetParameter(1), 4);
  EXPECT_DOUBLE_EQ(program.Wmain->GetParameter(2), 3);
  EXPECT_NEAR(program.Wmain->p_sea, sea, 1.0);
  MeasureTicks(3);
  EXPECT_NEAR(program.Wmain->p_sea, sea, 1.0);
  EXPECT_NE(ValueOf(ReadFile(PathOf("setup.ini")), "set_altitude"), "450.000000");
}

TEST_F(ProgramTest, QuittingWithNoKeepsEverythingRunning) {
  InstallDefaultSetup();
  StartProgram();
  ProgramState& program = Program();
  RunDetection();
  const std::string before = ReadFile(PathOf("setup.ini"));

  dialogs.confirm_answers = {false, false, false};
  program.Wmain->Exit1Click();
  EXPECT_FALSE(RequestClose(program.Wmain));
  program.Wmain->Minimize1Click();
  EXPECT_FALSE(RequestClose(program.Wsmall));

  EXPECT_EQ(dialogs.CountOf(ScriptedDialogs::Kind::Confirm), 3);
  for (const auto& call : dialogs.calls) EXPECT_EQ(call.text, "Close application ?");
  EXPECT_EQ(program.terminate_requests, 0);
  EXPECT_FALSE(program.closing);
  EXPECT_TRUE(program.Wmain->Timer1->isActive());
  EXPECT_TRUE(program.Wsmall->isVisible());
  EXPECT_EQ(ReadFile(PathOf("setup.ini")), before);
  MeasureTicks(1);
  EXPECT_TRUE(program.Wmain->Timer1->isActive());
}

TEST_F(ProgramTest, QuittingWithYesAndAutosaveWritesSetupIni) {
  InstallDefaultSetup();
  StartProgram();
  ProgramState& program = Program();
  RunDetection();
  ASSERT_TRUE(QFile::remove(PathOf("setup.ini")));

  dialogs.confirm_answers = {true};
  program.Wmain->Exit1Click();

  EXPECT_EQ(program.terminate_requests, 1);
  EXPECT_TRUE(program.closing);
  EXPECT_FALSE(program.Wmain->Timer1->isActive());
  const std::string saved = ReadFile(PathOf("setup.ini"));
  EXPECT_EQ(ValueOf(saved, "set_altitude"), "250.000000");
  EXPECT_EQ(ValueOf(saved, "set_save_on_exit"), "1.0");
  // A late tick does not start the timer again.
  MeasureTicks(1);
  EXPECT_FALSE(program.Wmain->Timer1->isActive());
}

TEST_F(ProgramTest, AConfirmedQuitEndsTheRunningEventLoopWithoutAskingAgain) {
  InstallDefaultSetup();
  StartProgram();
  ProgramState& program = Program();
  RunDetection();

  dialogs.confirm_answers = {true};
  QTimer::singleShot(0, [] { Program().Wmain->Exit1Click(); });
  // Should the loop not end, this ends it with another code.
  QTimer::singleShot(3000, [] { QCoreApplication::exit(7); });
  const int result = QCoreApplication::exec();

  EXPECT_EQ(result, 0);
  EXPECT_EQ(dialogs.CountOf(ScriptedDialogs::Kind::Confirm), 1);
  EXPECT_EQ(program.terminate_requests, 1);
  EXPECT_TRUE(program.Wmain->isVisible());  // nothing was closed on the way out
}

TEST_F(ProgramTest, QuittingAfterSaveAsWritesTheFileChosenLast) {
  InstallDefaultSetup();
  StartProgram();
  ProgramState& program = Program();
  RunDetection();
  const std::string original = ReadFile(PathOf("setup.ini"));

  dialogs.file_answers = {PathOf("mine.ini").toStdString()};
  program.Wmain->SavesettingsAs1Click();
  ASSERT_TRUE(Exists(PathOf("mine.ini")));
  ASSERT_TRUE(QFile::remove(PathOf("mine.ini")));

  dialogs.confirm_answers = {true};
  EXPECT_FALSE(RequestClose(program.Wmain));  // the window itself never closes
  EXPECT_EQ(program.terminate_requests, 1);
  EXPECT_TRUE(Exists(PathOf("mine.ini")));
  EXPECT_EQ(ReadFile(PathOf("setup.ini")), original);
}

TEST_F(ProgramTest, QuittingWithAutosaveOffWritesNothing) {
  InstallDefaultSetup();
  StartProgram();
  ProgramState& program = Program();
  RunDetection();
  ASSERT_TRUE(program.Wmain->Autosavesettingsonexit1->isChecked());
  program.Wmain->Autosavesettingsonexit1Click();
  EXPECT_EQ(program.Wmain->GetParameter(kSetSaveOnExit), 0.0);
  ASSERT_TRUE(QFile::remove(PathOf("setup.ini")));

  dialogs.confirm_answers = {true};
  program.Wmain->Exit1Click();

  EXPECT_EQ(program.terminate_requests, 1);
  EXPECT_FALSE(Exists(PathOf("setup.ini")));
  EXPECT_EQ(ErrorCount(), 0);
}

TEST_F(ProgramTest, SmallWindowRoundTripKeepsMinimizedAndPositionInStep) {
  InstallDefaultSetup();
  StartProgram();
  ProgramState& program = Program();
  RunDetection();
  MeasureTicks(1);

  program.Wmain->Minimize1Click();
  EXPECT_TRUE(program.Wsmall->isVisible());
  EXPECT_FALSE(program.Wmain->isVisible());
  EXPECT_EQ(program.Wmain->GetParameter(kSetMinimized), 1.0);
  // The small window mirrors the sample.
  EXPECT_TRUE(program.Wsmall->lbpresssea->text().endsWith(" [mbar]"));
  EXPECT_NE(program.Wsmall->lbpresssea->text(), "1070.21 [mbar]");

  program.Wmain->SetParameter(kSetSmallX, 120.9);
  program.Wmain->SetParameter(kSetSmallY, 300.2);
  EXPECT_EQ(program.Wsmall->GetX(), 120.0);
  EXPECT_EQ(program.Wsmall->GetY(), 300.0);

  // Clicking the temperature does nothing; clicking the weather picture
  // brings the main window back.
  ClickPicture(program.Wsmall->lbcelsius);
  EXPECT_TRUE(program.Wsmall->isVisible());
  QLabel* weather = VisibleWeatherPicture(program.Wsmall);
  ASSERT_NE(weather, nullptr) << "no weather picture shown after a sample";
  ClickPicture(weather);
  EXPECT_FALSE(program.Wsmall->isVisible());
  EXPECT_TRUE(program.Wmain->isVisible());
  EXPECT_EQ(program.Wmain->GetParameter(kSetMinimized), 0.0);

  dialogs.confirm_answers = {true};
  program.Wmain->Exit1Click();
  const std::string saved = ReadFile(PathOf("setup.ini"));
  EXPECT_EQ(ValueOf(saved, "set_minimized"), "0.0");
  EXPECT_EQ(ValueOf(saved, "set_small_x"), "120.000000");
  EXPECT_EQ(ValueOf(saved, "set_small_y"), "300.000000");
}

TEST_F(ProgramTest, SavedSmallWindowModeComesBackAtTheNextStart) {
  InstallDefaultSetup();
  std::string text = ReadFile(PathOf("setup.ini"));
  const auto replace = [&](const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  };
  replace("set_minimized\t0.0", "set_minimized\t1.0");
  replace("set_small_x\t709.000000", "set_small_x\t-40.700000");
  WriteFile(PathOf("setup.ini"), text);

  StartProgram();
  ProgramState& program = Program();
  RunDetection();

  EXPECT_TRUE(program.Wsmall->isVisible());
  EXPECT_FALSE(program.Wmain->isVisible());
  // A place partly off the screen is moved fully onto it when shown.
  const QRect screen = program.Wsmall->screen()->availableGeometry();
  EXPECT_EQ(program.Wsmall->GetX(), screen.left());
  EXPECT_EQ(program.Wsmall->GetY(), 282.0);
  EXPECT_TRUE(screen.contains(program.Wsmall->frameGeometry()));

  // So is the main window, coming back from the small window.
  program.Wmain->move(screen.right() - 100, screen.bottom() - 20);
  program.Wsmall->Panel1Click();
  EXPECT_TRUE(program.Wmain->isVisible());
  EXPECT_TRUE(screen.contains(program.Wmain->frameGeometry()));
  program.Wmain->Minimize1Click();

  // Closing the small window asks; Yes ends the program.
  dialogs.confirm_answers = {true};
  EXPECT_FALSE(RequestClose(program.Wsmall));
  EXPECT_EQ(program.terminate_requests, 1);
  EXPECT_EQ(ValueOf(ReadFile(PathOf("setup.ini")), "set_minimized"), "1.0");
}

TEST_F(ProgramTest, ClosingTheChartHidesItAndClearsTheViewChartMark) {
  InstallDefaultSetup();
  StartProgram();
  ProgramState& program = Program();
  RunDetection();

  program.Wmain->ViewChart1Click();
  ASSERT_TRUE(program.Wchart->isVisible());
  ASSERT_TRUE(program.Wmain->ViewChart1->isChecked());

  RequestClose(program.Wchart);
  EXPECT_FALSE(program.Wchart->isVisible());
  EXPECT_FALSE(program.Wmain->ViewChart1->isChecked());
  EXPECT_TRUE(program.Wchart_alive);
  // Hidden, it still receives every sample.
  const int samples = program.Wchart->MeasurementCount();
  MeasureTicks(3);
  EXPECT_EQ(program.Wchart->MeasurementCount(), samples + 3);
  EXPECT_EQ(program.terminate_requests, 0);
}

TEST_F(ProgramTest, ClosingTheSplashEndsAtOnceWithoutAskingOrSaving) {
  StartProgram();
  ProgramState& program = Program();
  clock.AdvanceMs(300);
  program.Wintro->OnTimer();  // shown, searching

  EXPECT_TRUE(RequestClose(program.Wintro));
  EXPECT_EQ(program.terminate_requests, 1);
  EXPECT_FALSE(program.Wintro->Timer1->isActive());
  EXPECT_TRUE(dialogs.calls.empty());
  EXPECT_FALSE(Exists(PathOf("setup.ini")));
}

TEST_F(ProgramTest, EndOfProgramClearsFlagsDropsTheLinesAndDestroysTheWindows) {
  InstallDefaultSetup();
  StartProgram();
  RunDetection();
  MeasureTicks(2);
  // While the program runs the module is powered: the upper lines are on.
  EXPECT_EQ(port.ReadByte(kLptData) & 0xFC, 0xFC);

  EndProgramNow();
  ProgramState& program = Program();
  EXPECT_EQ(program.sensor, nullptr);
  EXPECT_EQ(port.ReadByte(kLptData), 0x00);
  EXPECT_FALSE(program.Wintro_alive || program.Wmain_alive || program.Wsmall_alive ||
               program.Wchart_alive || program.Wabout_alive || program.Wsettings_alive ||
               program.Wrange_alive || program.Wdebug_alive);
  EXPECT_EQ(program.Wintro, nullptr);
  EXPECT_EQ(program.Wmain, nullptr);
  EXPECT_EQ(program.Wsmall, nullptr);
  EXPECT_EQ(program.Wchart, nullptr);
  EXPECT_EQ(program.Wabout, nullptr);
  EXPECT_EQ(program.Wsettings, nullptr);
  EXPECT_EQ(program.Wrange, nullptr);
  EXPECT_EQ(program.Wdebug, nullptr);
  EXPECT_EQ(QApplication::topLevelWidgets().size(), 0);
}

TEST(DefaultSetup, MatchesTheSimulatedSiteAndTheSavedFormat) {
  const std::string text = ReadFile(DefaultSetupPath());
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(std::atof(ValueOf(text, "set_altitude").c_str()), kSimulatedSiteAltitude);
  int lines = 0;
  for (char c : text) lines += c == '\n' ? 1 : 0;
  EXPECT_EQ(lines, 17);
}
