// The IIO sensor chosen in the port dialog against a fake sysfs tree: the
// sensors listed, one without temperature refused with nothing saved, the
// choice saved, read back and measured (D1 and D2 raw where the driver
// gives them), the calibration page's note, the oversampling offered where
// the driver lists it and left as it is where the program may not write
// it, and the module given back when a port is chosen again.
#include <sys/stat.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>
#include <string>

#include "iio/Tiio_attribute.h"
#include "main/Port_choice.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "settings/Tport.h"
#include "settings/Tsettings.h"
#include "station/Tstation.h"
#include "support_program.h"
#include "tests/support/fake_iio.h"
#include "tests/support/without_permission_override.h"
#include "windows/Tintro.h"

namespace {

using namespace fake_iio;

class IioPortDialogTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ProgramPort().iio_root = tree.Root();
  }
  // The kind IIO sensor and the listed sensor `index` chosen.
  void ChooseSensor(int index) {
    dialog.rb_iio->setChecked(true);
    dialog.OnKindClick();
    dialog.cb_iio_device->setCurrentIndex(index);
  }
  std::string Text(const QLabel* label) const { return label->text().toStdString(); }
  std::string Saved() { return ReadFile(PathOf("barometer.ini")); }

  QTemporaryDir sysfs;
  Tree tree{sysfs.filePath("devices").toStdString()};
  TWport dialog;
};

}  // namespace

TEST_F(IioPortDialogTest, TheSensorsAreListedOneWithoutTemperatureRefusedAndTheChoiceKept) {
  tree.Add(
      0,
      {{"name", "abp060mg\n"}, {"in_pressure_raw", "8000\n"}, {"in_pressure_scale", "0.0125\n"}});
  tree.Add(1, Bme280());
  tree.Add(2, Lps22hb());
  tree.Add(3, {{"name", "hdc100x\n"}, {"in_temp_raw", "25000\n"}});
  tree.Add(4, Bme280());
  StartMeasuringProgram();
  TWmain* w = Program().Wmain;
  ASSERT_TRUE(w->last_sample_good);

  dialog.OnShow();
  EXPECT_TRUE(dialog.rb_lpt->isChecked());
  EXPECT_FALSE(dialog.cb_iio_device->isEnabled());
  EXPECT_EQ(dialog.cb_iio_device->currentIndex(), 0);
  ASSERT_EQ(dialog.cb_iio_device->count(), 4);
  EXPECT_EQ(dialog.cb_iio_device->itemText(0).toStdString(),
            "abp060mg  (" + tree.Device(0) + ", no temperature)");
  EXPECT_EQ(dialog.cb_iio_device->itemText(1).toStdString(),
            "bme280  (" + tree.Device(1) + ", with temperature)");
  EXPECT_EQ(dialog.cb_iio_device->itemText(2).toStdString(),
            "lps22hb  (" + tree.Device(2) + ", with temperature)");
  // The second bme280 is chosen by its folder: its name finds the first.
  EXPECT_EQ(dialog.cb_iio_device->itemData(3).toString().toStdString(), tree.Device(4));

  // Without temperature: said beside it, by the test, and refused on OK.
  ChooseSensor(0);
  EXPECT_EQ(Text(dialog.lb_iio_note), "It has no temperature channel: the station cannot use it.");
  EXPECT_TRUE(dialog.lb_wiring->text().contains("Sensor SDA <-> GPIO2 (header pin 3, SDA1)"));
  dialog.bt_testClick();
  EXPECT_EQ(Text(dialog.lb_test), "Error: abp060mg at " + tree.Device(0) +
                                      " has no temperature channel; the station needs one "
                                      "beside the pressure");
  const int errors = ErrorCount();
  dialog.bt_okClick();
  ASSERT_EQ(ErrorCount(), errors + 1);
  EXPECT_EQ(dialogs.calls.back().text,
            "Error : abp060mg at " + tree.Device(0) +
                " has no temperature channel; the station needs one beside the pressure. Please "
                "choose another sensor.");
  EXPECT_FALSE(Exists(PathOf("barometer.ini")));
  EXPECT_EQ(Program().station->Sensor(), Program().sensor);

  // A sensor with temperature: the test reads it, OK saves it by name.
  ChooseSensor(1);
  dialog.bt_testClick();
  EXPECT_EQ(Text(dialog.lb_test), "OK: bme280 at " + tree.Device(1) + ": 963.86 mbar, 21.56 deg C");
  dialog.bt_okClick();
  EXPECT_EQ(ErrorCount(), errors + 1);
  EXPECT_EQ(ValueOf(Saved(), "port"), "iio");
  EXPECT_EQ(ValueOf(Saved(), "iio_device"), "bme280");
  Tbarometer_ini again;
  ASSERT_TRUE(again.Load(PathOf("barometer.ini").toStdString()));
  EXPECT_EQ(ReadPortChoice(again).kind, PortChoice::Kind::kIio);
  EXPECT_EQ(ReadPortChoice(again).iio_device, "bme280");

  // The detection reads it; the station measures it, without raw words.
  EXPECT_EQ(Text(Program().Wintro->lbstatus), "Searching IIO sensor bme280");
  RunDetection();
  EXPECT_EQ(Text(Program().Wintro->lbstatus), "OK: IIO sensor bme280 found");
  EXPECT_EQ(w->DetectmoduleonLPT11->text().remove('&').toStdString(), "Detect IIO sensor bme280");
  MeasureTicks(2);
  EXPECT_TRUE(w->last_sample_good);
  EXPECT_NEAR(w->p_local, 963.862, 0.001);
  EXPECT_EQ(Text(w->lb_d1), "--");
  EXPECT_EQ(Text(w->lb_d2), "--");
  EXPECT_EQ(Program().station->Sensor(), nullptr);

  // The calibration page: nothing to edit.
  TWsettings* settings = Program().Wsettings;
  settings->OnShow();
  EXPECT_FALSE(settings->lb_kernel->isHidden());
  EXPECT_TRUE(settings->lb_kernel->text().startsWith(
      "The IIO sensor bme280 is compensated by its kernel driver"));
  EXPECT_TRUE(settings->Button1->isHidden());
  EXPECT_TRUE(settings->ed_w1->parentWidget()->isHidden());

  // Shown again: the choice in force; another, whose driver gives raw values.
  dialog.OnShow();
  EXPECT_TRUE(dialog.rb_iio->isChecked());
  EXPECT_EQ(dialog.cb_iio_device->currentIndex(), 1);
  ChooseSensor(2);
  dialog.bt_testClick();
  EXPECT_EQ(Text(dialog.lb_test)
                .rfind("OK: lps22hb at " + tree.Device(2) +
                           ": 1013.25 mbar, "
                           "22.50 deg C (raw 4150272 and 2250)",
                       0),
            0u)
      << Text(dialog.lb_test);
  dialog.bt_okClick();
  RunDetection();
  MeasureTicks(2);
  EXPECT_EQ(Text(w->lb_d1), "4150272");
  EXPECT_EQ(Text(w->lb_d2), "2250");

  // Back to the module: it measures again with the n and ts in force, and
  // the sensor's key stays for the next time.
  w->SetParameter(kSamplingN, 3);
  dialog.OnShow();
  dialog.rb_lpt->setChecked(true);
  dialog.OnKindClick();
  dialog.bt_okClick();
  EXPECT_EQ(w->DetectmoduleonLPT11->text().remove('&').toStdString(), "Detect module on LPT1");
  RunDetection();
  EXPECT_EQ(Text(Program().Wintro->lbstatus), "OK: module found");
  MeasureTicks(3);
  EXPECT_EQ(Program().station->Sensor(), Program().sensor);
  EXPECT_EQ(Program().station->Source()->Kind(), SampleSourceKind::kModule);
  EXPECT_EQ(w->GetParameter(kSamplingN), 3);
  EXPECT_NEAR(w->p_local, module.PressureNow(), 0.3);
  EXPECT_NE(Text(w->lb_d1), "--");
  EXPECT_EQ(ValueOf(Saved(), "port"), "lpt");
  EXPECT_EQ(ValueOf(Saved(), "iio_device"), "lps22hb");
  settings->OnShow();
  EXPECT_TRUE(settings->lb_kernel->isHidden());
  EXPECT_FALSE(settings->Button1->isHidden());
}

TEST_F(IioPortDialogTest, TheOversamplingIsOfferedWhereTheDriverListsItAndMayBeWritten) {
  const std::string bmp280 = tree.Add(0, Bmp280());
  tree.Add(1, Dps310());
  const std::string ratio_file = bmp280 + "/in_pressure_oversampling_ratio";
  StartMeasuringProgram();
  std::string text, why;

  dialog.OnShow();
  ChooseSensor(0);
  ASSERT_TRUE(dialog.cb_iio_oversampling->isEnabled());
  ASSERT_EQ(dialog.cb_iio_oversampling->count(), 5);
  EXPECT_EQ(dialog.cb_iio_oversampling->currentText(), "16");
  EXPECT_EQ(Text(dialog.lb_iio_note), "");
  dialog.cb_iio_oversampling->setCurrentIndex(dialog.cb_iio_oversampling->findText("2"));
  const int errors = ErrorCount();
  dialog.bt_okClick();
  EXPECT_EQ(ErrorCount(), errors);
  ASSERT_TRUE(ReadIioAttribute(ratio_file, &text, &why));
  EXPECT_EQ(text, "2");

  // A file the program may not write: said, and the driver's ratio stays.
  ASSERT_EQ(chmod(ratio_file.c_str(), 0444), 0);
  {
    WithoutPermissionOverride as_a_user;
    dialog.OnShow();
    EXPECT_TRUE(dialog.rb_iio->isChecked());
    EXPECT_FALSE(dialog.cb_iio_oversampling->isEnabled());
    EXPECT_EQ(dialog.cb_iio_oversampling->currentText(), "2");
    EXPECT_EQ(Text(dialog.lb_iio_note), "The program may not change it (no right to write " +
                                            ratio_file + "); the driver's setting stays.");
  }
  // Taken away between the showing and OK: a box says so, the choice of
  // the sensor is saved all the same.
  ASSERT_EQ(chmod(ratio_file.c_str(), 0644), 0);
  dialog.OnShow();
  dialog.cb_iio_oversampling->setCurrentIndex(dialog.cb_iio_oversampling->findText("8"));
  ASSERT_EQ(chmod(ratio_file.c_str(), 0444), 0);
  {
    WithoutPermissionOverride as_a_user;
    dialog.bt_okClick();
  }
  ASSERT_EQ(ErrorCount(), errors + 1);
  EXPECT_EQ(dialogs.calls.back().text,
            "Error : The oversampling was not changed: the program "
            "may not write " +
                ratio_file + "; the driver's setting (2) stays.");
  ASSERT_TRUE(ReadIioAttribute(ratio_file, &text, &why));
  EXPECT_EQ(text, "2");
  EXPECT_EQ(ValueOf(Saved(), "iio_device"), "bmp280");

  // A driver with a ratio and no list of them: shown, not offered.
  ChooseSensor(1);
  EXPECT_FALSE(dialog.cb_iio_oversampling->isEnabled());
  EXPECT_EQ(dialog.cb_iio_oversampling->currentText(), "1");
  EXPECT_EQ(Text(dialog.lb_iio_note),
            "Its driver lists no ratios to choose from; its setting stays.");
  // A sensor typed that is not there: said; chosen all the same, it is
  // looked for at every sample.
  dialog.cb_iio_device->setEditText("bmp388");
  EXPECT_EQ(Text(dialog.lb_iio_note), "no IIO pressure sensor named bmp388 under " + tree.Root());
  dialog.bt_okClick();
  EXPECT_EQ(ValueOf(Saved(), "iio_device"), "bmp388");
  RunDetection();
  EXPECT_EQ(Text(Program().Wintro->lbstatus), "Error: IIO sensor bmp388 cannot be read");
  EXPECT_EQ(
      dialogs.calls.back().text,
      "Note: The IIO sensor bmp388 cannot be read: no IIO pressure sensor named bmp388 under " +
          tree.Root() +
          ".\n\nPlease check that its kernel driver is loaded (ls /sys/bus/iio/devices) or "
          "choose another sensor in File > Module port.\n");
}
