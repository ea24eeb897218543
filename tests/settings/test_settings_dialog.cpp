// The settings dialog inside the whole program on the simulated module: the
// checks of OK with their messages, the write-back, the altitude and time
// fields, the calibration editor, and Cancel/Escape.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <clocale>
#include <string>
#include <vector>

#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/SimulatedModule.h"
#include "sensor/Tsensor.h"
#include "sensor/Tsensor_wc.h"
#include "settings/Tsettings.h"
#include "support_program.h"

namespace {

const char kNMessage[] = "Error : The n value must be an integer, larger than 0";
const char kTsMessage[] = "Error : The ts value must be an integer, larger than 0";

std::string Text(const QLineEdit* edit) {
  return edit->text().toStdString();
}
std::string Text(const QLabel* label) {
  return label->text().toStdString();
}

// Types into an edit as the user does, one key at a time.
void Type(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(edit, &press);
  }
}

class SettingsDialogTest : public ProgramTest {
 protected:
  // The program started with the default setup.ini (n 1, ts 1 s, 250 m,
  // limits 1016/1009/1002) and the dialog open.
  void SetUp() override {
    ProgramTest::SetUp();
    StartMeasuringProgram();
    wmain = Program().Wmain;
    dialog = Program().Wsettings;
    dialog->show();
    dialogs.calls.clear();
  }
  void TearDown() override {
    if (dialog) dialog->hide();
    ProgramTest::TearDown();
  }

  // OK, returning the texts of the boxes it showed.
  std::vector<std::string> ClickOk() {
    dialogs.calls.clear();
    dialog->bt_okClick();
    std::vector<std::string> texts;
    for (const auto& call : dialogs.calls) texts.push_back(call.text);
    return texts;
  }
  void Reopen() {
    dialog->hide();
    dialog->show();
  }
  void SetTs(const char* d, const char* h, const char* m, const char* s) {
    dialog->ed_tsd->setText(d);
    dialog->ed_tsh->setText(h);
    dialog->ed_tsm->setText(m);
    dialog->ed_tss->setText(s);
    dialog->OnExittsd();
    dialog->OnExittsh();
    dialog->OnExittsm();
    dialog->OnExittss();
  }
  Tsensor_wc SensorCalibration() {
    Tsensor_wc record;
    Program().sensor->GetCalibration(&record);
    return record;
  }

  TWmain* wmain = nullptr;
  TWsettings* dialog = nullptr;
};

TEST_F(SettingsDialogTest, OpensFilledOnTheFirstPageEveryTime) {
  EXPECT_EQ(dialog->size(), QSize(487, 506));
  EXPECT_EQ(dialog->PageControl1->currentIndex(), TWsettings::kPageMeasurements);
  EXPECT_EQ(Text(dialog->ed_alti), "250.0");
  EXPECT_EQ(Text(dialog->ed_altifeet), "820.2");
  EXPECT_EQ(Text(dialog->ed_n), "1");
  EXPECT_EQ(Text(dialog->ed_tss), "1");
  EXPECT_EQ(Text(dialog->ed_sunny), "1016.0");
  EXPECT_EQ(Text(dialog->ed_hysteresis), "0.5");
  EXPECT_EQ(Text(dialog->ed_quick_down), "-0.900");
  EXPECT_EQ(Text(dialog->lb_w1),
            "0x" + QString::number(module.CalibrationWord(1), 16).toStdString());

  dialog->PageControl1->setCurrentIndex(TWsettings::kPageAltitude);
  Reopen();
  EXPECT_EQ(dialog->PageControl1->currentIndex(), TWsettings::kPageMeasurements);
}

TEST_F(SettingsDialogTest, BadNIsRefusedWithItsMessageAndNothingIsWritten) {
  const struct {
    const char* n;
    const char* message;
  } cases[] = {{"0", kNMessage},
               {"2.5", kNMessage},
               {"abc", kNMessage},
               {"101", "Error : The n value must not be larger than 100"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    dialog->ed_n->setText(c.n);
    dialog->ed_sunny->setText("1020");
    Type(dialog->ed_alti, "600");
    EXPECT_EQ(ClickOk(), std::vector<std::string>{c.message});
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(wmain->GetParameter(1), 1);
    EXPECT_EQ(wmain->GetParameter(3), 250);
    EXPECT_EQ(wmain->GetParameter(4), 1016);
  }
}

TEST_F(SettingsDialogTest, NineSamplesAtOneSecondAskToCorrectTs) {
  dialog->ed_n->setText("9");
  dialogs.confirm_answers = {false};
  ASSERT_EQ(ClickOk(), std::vector<std::string>{
                           "Error : For more than 8 samples, the sampling time (ts) must be at "
                           "least 2 seconds.\n Correct ts to 2 seconds ?"});
  EXPECT_EQ(dialogs.calls[0].kind, ScriptedDialogs::Kind::Confirm);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(wmain->GetParameter(1), 1);

  dialogs.confirm_answers = {true};
  EXPECT_EQ(ClickOk().size(), 1u);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(wmain->GetParameter(1), 9);
  EXPECT_EQ(wmain->GetParameter(2), 2);
}

TEST_F(SettingsDialogTest, TsIsTheSumOfItsPartsAndMustFit) {
  SetTs("0", "0", "0", "0");
  EXPECT_EQ(ClickOk(), std::vector<std::string>{kTsMessage});
  // 24856 days are more seconds than the interval can hold.
  SetTs("24856", "0", "0", "0");
  EXPECT_EQ(ClickOk(), std::vector<std::string>{kTsMessage});
  EXPECT_EQ(wmain->GetParameter(2), 1);

  SetTs("0", "0", "0", "90");
  dialog->ed_tsm->setText("x");  // no number: back to the part kept
  dialog->OnExittsm();
  EXPECT_EQ(Text(dialog->ed_tsm), "0");
  EXPECT_TRUE(ClickOk().empty());
  EXPECT_EQ(wmain->GetParameter(2), 90);

  Reopen();
  EXPECT_EQ(Text(dialog->ed_tsd), "0");
  EXPECT_EQ(Text(dialog->ed_tsh), "0");
  EXPECT_EQ(Text(dialog->ed_tsm), "1");
  EXPECT_EQ(Text(dialog->ed_tss), "30");
}

TEST_F(SettingsDialogTest, AltitudeEditsFollowEachOtherWithinTheirRange) {
  Type(dialog->ed_alti, "10000");
  EXPECT_EQ(Text(dialog->ed_alti), "9166");
  EXPECT_EQ(Text(dialog->ed_altifeet), "30072.2");

  Type(dialog->ed_altifeet, "-2400");
  EXPECT_EQ(Text(dialog->ed_altifeet), "-2306.430");  // the edit holds 9 characters
  EXPECT_EQ(Text(dialog->ed_alti), "-703.0");

  dialog->ed_alti->setText("12a");  // no number: the altitude stays
  dialog->OnKeyUpAlti();
  EXPECT_EQ(Text(dialog->ed_alti), "12a");
  EXPECT_TRUE(ClickOk().empty());
  EXPECT_EQ(wmain->GetParameter(3), -703);
}

TEST_F(SettingsDialogTest, OneClickReportsEveryFaultInOrderButNoOrderingAfterAFailedGroup) {
  dialog->ed_n->setText("abc");
  SetTs("0", "0", "0", "0");
  dialog->ed_sunny->setText("x");
  dialog->ed_variable->setText("1030");  // out of order, but not checked now
  dialog->ed_quick_down->setText("?");
  dialog->ed_slow_up->setText("-5");  // out of order, not checked either
  EXPECT_EQ(ClickOk(),
            (std::vector<std::string>{
                kNMessage, kTsMessage, "Error : The \"Sunny\" limit for the meteo must be a number",
                "Error : The rate limit for the fast falling trend must be a number"}));
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(SettingsDialogTest, WeatherLimitsAreStrictlyOrderedAndAppliedAsOneSet) {
  dialog->ed_sunny->setText("1000");
  dialog->ed_variable->setText("1000");
  dialog->ed_overcast->setText("990");
  EXPECT_EQ(ClickOk(), std::vector<std::string>{"Error : The \"Sunny\" limit for the meteo must "
                                                "be larger than the \"Variable\" one"});
  dialog->ed_variable->setText("995");
  dialog->ed_overcast->setText("995");
  EXPECT_EQ(ClickOk(), std::vector<std::string>{"Error : The \"Variable\" limit for the meteo "
                                                "must be larger than the \"Overcast\" one"});
  // A band of negative width is none: refused, a hysteresis of 0 is not.
  dialog->ed_overcast->setText("990");
  dialog->ed_hysteresis->setText("-0.1");
  EXPECT_EQ(ClickOk(), std::vector<std::string>{"Error : The \"Hysteresis\" limit for the meteo "
                                                "must not be negative"});
  EXPECT_EQ(wmain->GetParameter(6), 1002);
  // Nor is one wider than any pressure the limits tell apart.
  dialog->ed_hysteresis->setText("1e308");
  EXPECT_EQ(ClickOk(), std::vector<std::string>{"Error : The \"Hysteresis\" limit for the meteo "
                                                "must not be larger than 100 mbar"});
  dialog->ed_hysteresis->setText("0");

  // All lower than the limits in force (1016/1009/1002): one by one, the
  // weather object would refuse the first two. Equal rates pass.
  dialog->ed_overcast->setText("990");
  for (QLineEdit* rate :
       {dialog->ed_quick_down, dialog->ed_slow_down, dialog->ed_quick_up, dialog->ed_slow_up})
    rate->setText("0.5");
  EXPECT_TRUE(ClickOk().empty());
  EXPECT_EQ(wmain->GetParameter(4), 1000);
  EXPECT_EQ(wmain->GetParameter(5), 995);
  EXPECT_EQ(wmain->GetParameter(6), 990);
  EXPECT_EQ(wmain->GetParameter(12), 0.5);
  EXPECT_EQ(wmain->GetParameter(7), 0);

  Reopen();
  EXPECT_EQ(Text(dialog->ed_sunny), "1000.0");
  EXPECT_EQ(Text(dialog->ed_variable), "995.0");
  EXPECT_EQ(Text(dialog->ed_overcast), "990.0");
}

TEST_F(SettingsDialogTest, CalibrationEditorKeepsWordsAndCoefficientsInStep) {
  Type(dialog->ed_w2, "70000");
  EXPECT_EQ(Text(dialog->ed_w2), "70000");
  EXPECT_EQ(Text(dialog->lb_w2), "0x1170");  // 4464, the low 16 bits
  EXPECT_EQ(Text(dialog->ed_c6), std::to_string(4464 & 0x3F));

  Type(dialog->ed_c1, "40000");
  EXPECT_EQ(Text(dialog->ed_c1), "40000");
  EXPECT_EQ(Text(dialog->lb_c1), "0x1c40");  // 7232, the low 15 bits
  const int c5 = dialog->ed_c5->text().toInt();
  EXPECT_EQ(Text(dialog->ed_w1), std::to_string((7232 << 1) | (c5 >> 10)));

  // OK hands the edited record to the sensor.
  EXPECT_TRUE(ClickOk().empty());
  EXPECT_EQ(SensorCalibration().W2, 4464);
  EXPECT_EQ(SensorCalibration().C1, 7232);
}

TEST_F(SettingsDialogTest, RestoreFromSensorReachesTheSensorOnlyThroughOk) {
  Type(dialog->ed_w2, "70000");
  ASSERT_TRUE(ClickOk().empty());
  const Tsensor_wc edited = SensorCalibration();

  dialog->show();
  dialog->Button1Click();
  EXPECT_EQ(Text(dialog->ed_w2), std::to_string(module.CalibrationWord(2)));
  dialog->bt_cancelClick();
  EXPECT_EQ(SensorCalibration(), edited);

  dialog->show();
  dialog->Button1Click();
  ASSERT_TRUE(ClickOk().empty());
  EXPECT_EQ(SensorCalibration().W2, module.CalibrationWord(2));
  EXPECT_EQ(SensorCalibration().W4, module.CalibrationWord(4));
}

TEST_F(SettingsDialogTest, EscapeCancelsFromAnyField) {
  dialog->ed_n->setText("4");
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(dialog->ed_n, &escape);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(wmain->GetParameter(1), 1);
}

TEST_F(SettingsDialogTest, NumbersUseAPointUnderACommaLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
      << "locale de_DE.UTF-8 missing (./test generates it)";
  Reopen();
  EXPECT_EQ(Text(dialog->ed_alti), "250.0");
  Type(dialog->ed_alti, "1234.5");
  EXPECT_EQ(Text(dialog->ed_altifeet), "4050.2");
  dialog->ed_hysteresis->setText("0.75");
  EXPECT_TRUE(ClickOk().empty());
  EXPECT_EQ(wmain->GetParameter(3), 1234.5);
  EXPECT_DOUBLE_EQ(wmain->GetParameter(7), 0.75);
  std::setlocale(LC_ALL, previous.c_str());
}

TEST_F(SettingsDialogTest, ASampleCountTheDialogRefusesIsNotTakenFromAFile) {
  WriteFile(PathOf("count.ini"), "set_sampling_n\t1e300\n");
  wmain->LoadSettings(PathOf("count.ini").toStdString());
  EXPECT_EQ(wmain->GetParameter(1), 1);
  Reopen();
  EXPECT_EQ(Text(dialog->ed_n), "1");
}

}  // namespace
