// The program's keys, typed into its windows as a user would: every window
// answers Ctrl+Q with the quit confirmation and F1 with the help, the main
// window's keys open the plots, and the barograph's keys choose its range
// and move through the record.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <initializer_list>

#include "chart/Tchart.h"
#include "components/QtDialogs.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "support_program.h"
#include "windows/Tbarograph.h"
#include "windows/Thelp.h"
#include "windows/Tsmall.h"

namespace {

class KeysTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    StartMeasuringProgram();
    dialogs.calls.clear();
  }

  // A key typed into `window`, made active first; it goes through the
  // shortcuts first, as a typed one does.
  static void Type(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    window->show();
    window->raise();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QWidget* target = window->focusWidget() ? window->focusWidget() : window;
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
  }

  int ConfirmCount() const { return dialogs.CountOf(ScriptedDialogs::Kind::Confirm); }
};

}  // namespace

TEST_F(KeysTest, EveryWindowQuitsOnCtrlQThroughTheConfirmationAndHelpsOnF1) {
  ProgramState& program = Program();
  ASSERT_NE(program.Whelp, nullptr);
  ASSERT_TRUE(program.Whelp_alive);
  // The help is the program's own manual, with each part it promises.
  const QString manual = TWhelp::ManualText();
  for (const char* part : {"windows", "record", "log", "settings", "port", "dashes"})
    EXPECT_TRUE(manual.contains(QString("name=\"%1\"").arg(part))) << part;
  EXPECT_TRUE(manual.contains("barometer.db") && manual.contains("setup.ini") &&
              manual.contains("barometer.ini") && manual.contains("samples.dat"));

  program.Wchart->show();
  program.Wbarograph->show();
  for (QWidget* window :
       std::initializer_list<QWidget*>{program.Wmain, program.Wchart, program.Wbarograph}) {
    SCOPED_TRACE(window->windowTitle().toStdString());
    program.Whelp->hide();
    Type(window, Qt::Key_F1);
    EXPECT_TRUE(program.Whelp->isVisible());
    EXPECT_FALSE(program.Whelp->tx_help->toPlainText().isEmpty());

    const int before = ConfirmCount();
    dialogs.confirm_answers = {false};
    Type(window, Qt::Key_Q, Qt::ControlModifier);
    ASSERT_EQ(ConfirmCount(), before + 1);
    EXPECT_EQ(dialogs.calls.back().text, "Close application ?");
    EXPECT_EQ(program.terminate_requests, 0);
    EXPECT_FALSE(program.closing);
  }
  program.Whelp->bt_closeClick();
  EXPECT_FALSE(program.Whelp->isVisible());

  // Minimised, only the small window shows; it quits too, and a yes ends
  // the program.
  program.Wmain->Minimize1Click();
  ASSERT_FALSE(program.Wmain->isVisible());
  dialogs.confirm_answers = {true};
  Type(program.Wsmall, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(dialogs.calls.back().text, "Close application ?");
  EXPECT_EQ(program.terminate_requests, 1);
  EXPECT_TRUE(program.closing);
}

TEST_F(KeysTest, MenuKeysShowInTheMenusAndOpenThePlots) {
  TWmain* w = Program().Wmain;
  // Each item a user comes back to carries a key, shown beside it.
  for (QAction* action :
       {w->DetectmoduleonLPT11, w->Loadsettings1, w->SavesettingsAs1, w->Exit1, w->ViewChart1,
        w->ViewBarograph1, w->ClearMinMax1, w->Minimize1, w->Settings1, w->Helpcontents1})
    EXPECT_FALSE(action->shortcut().isEmpty()) << action->text().toStdString();
  TWchart* chart = Program().Wchart;
  for (QAction* action : {chart->Storesamplestofile1, chart->Hide1, chart->Setupdisplayrange1,
                          chart->PressureTemperature1, chart->AltitudeTemperature1})
    EXPECT_FALSE(action->shortcut().isEmpty()) << action->text().toStdString();

  Type(w, Qt::Key_R, Qt::ControlModifier);
  EXPECT_TRUE(chart->isVisible());
  EXPECT_TRUE(w->ViewChart1->isChecked());
  Type(chart, Qt::Key_2, Qt::ControlModifier);
  EXPECT_EQ(chart->View, 1);
  Type(chart, Qt::Key_W, Qt::ControlModifier);
  EXPECT_FALSE(chart->isVisible());
  EXPECT_FALSE(w->ViewChart1->isChecked());

  Type(w, Qt::Key_B, Qt::ControlModifier);
  EXPECT_TRUE(Program().Wbarograph->isVisible());

  // Min/max cleared from the keyboard start again from the present value.
  w->p_sea_max = w->p_sea + 5;
  Type(w, Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(w->p_sea_max, w->p_sea);
}

TEST_F(KeysTest, BarographKeysChooseTheRangeAndMoveThroughTheRecord) {
  TWbarograph* b = Program().Wbarograph;
  Type(b, Qt::Key_3);
  EXPECT_EQ(b->span_index, 2);
  EXPECT_TRUE(b->bt_span[2]->isChecked());
  EXPECT_EQ(b->columns.Span(), 7 * 86400);
  const std::time_t end = b->columns.End();

  Type(b, Qt::Key_Left);
  EXPECT_FALSE(b->following);
  EXPECT_EQ(b->columns.End(), end - 7 * 86400);
  EXPECT_TRUE(b->Forward1->isEnabled());
  Type(b, Qt::Key_Left);
  Type(b, Qt::Key_Right);
  EXPECT_EQ(b->columns.End(), end - 7 * 86400);
  Type(b, Qt::Key_End);
  EXPECT_TRUE(b->following);
  EXPECT_FALSE(b->Now1->isEnabled());
  EXPECT_EQ(b->columns.End(), end);

  Type(b, Qt::Key_1);
  EXPECT_EQ(b->span_index, 0);
  Type(b, Qt::Key_4);
  EXPECT_EQ(b->columns.Span(), 30 * 86400);
  EXPECT_EQ(b->View1->actions().size(), TWbarograph::kSpanCount + 4);
}

TEST_F(KeysTest, FileDialogsSayWhatTheyDoAndOfferTheirKindOfFile) {
  Program().Wmain->Loadsettings1Click();
  Program().Wmain->SavesettingsAs1Click();
  Program().Wchart->Storesamplestofile1Click();
  Program().Wbarograph->Exportshownrange1Click();
  Program().Wbarograph->Savepicture1Click();
  std::vector<std::pair<std::string, std::string>> asked;
  for (const ScriptedDialogs::Call& call : dialogs.calls)
    asked.push_back({call.title, call.extensions});
  EXPECT_EQ(asked, (std::vector<std::pair<std::string, std::string>>{{"Load settings", "ini"},
                                                                     {"Save settings as", "ini"},
                                                                     {"Begin data logging", "dat"},
                                                                     {"Export shown range", "csv"},
                                                                     {"Save picture", "png svg"}}));
  EXPECT_EQ(QtDialogs::NameFilters("png svg"),
            QStringList({"PNG pictures (*.png)", "SVG pictures (*.svg)", "All files (*)"}));
  EXPECT_EQ(QtDialogs::NameFilters("ini"),
            QStringList({"Settings files (*.ini)", "All files (*)"}));
}
