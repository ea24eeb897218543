// The module's port chosen in its dialog: saved to barometer.ini and read
// back, the module detected again on the new port (a gpiochip modelled
// behind its kernel calls, with a second simulated module on it), the texts
// naming the port, and bad values refused with nothing saved.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <memory>

#include "fakes/FakeGpioChip.h"
#include "main/Port_choice.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/LptLines.h"
#include "settings/Tport.h"
#include "support_program.h"
#include "windows/Tintro.h"

namespace {

class PortDialogTest : public ProgramTest {
 protected:
  // The program opens ports through the models: the parallel port is the
  // simulated module's of the fixture, the gpiochip has another module.
  void UseModelPorts() {
    gpio_module.SetFixedConditions(950, 12);
    PortState& state = ProgramPort();
    state.open = [this](const PortChoice& choice) {
      OpenedPort opened;
      std::string reason;
      if (choice.kind == PortChoice::Kind::kGpio)
        opened.lines = GpioLines::Open(choice.gpio, chip, &reason);
      if (choice.kind == PortChoice::Kind::kLpt)
        opened.lines = std::make_unique<LptLines>(port, "parallel port: simulated");
      if (opened.lines == nullptr) {
        opened.lines = std::make_unique<UnconnectedLines>("not opened: " + reason);
        opened.finding = reason;
      } else {
        opened.description = opened.lines->Describe();
      }
      return opened;
    };
    state.list_gpio_chips = [] {
      return std::vector<GpioChipInfo>{{"/dev/gpiochip0", "pinctrl-test", 54}};
    };
  }

  void SetGpio(const char* clock_line, const char* data_out, const char* data_in,
               const char* power) {
    dialog.rb_gpio->setChecked(true);
    dialog.OnKindClick();
    dialog.ed_gpio_clock->setText(clock_line);
    dialog.ed_gpio_data_out->setText(data_out);
    dialog.ed_gpio_data_in->setText(data_in);
    dialog.ed_gpio_power->setText(power);
    dialog.OnChange();
  }

  SimulatedModule gpio_module{clock, 11};
  FakeGpioChip chip{gpio_module};
  TWport dialog;
};

}  // namespace

TEST_F(PortDialogTest, AChoiceIsSavedReadBackAndTheModuleFoundOnTheNewPort) {
  StartMeasuringProgram();
  UseModelPorts();
  TWmain* w = Program().Wmain;
  ASSERT_TRUE(w->last_sample_good);
  EXPECT_EQ(w->DetectmoduleonLPT11->text().remove('&'), "Detect module on LPT1");

  dialog.OnShow();
  EXPECT_TRUE(dialog.rb_lpt->isChecked());
  ASSERT_EQ(dialog.cb_gpio_chip->count(), 1);
  EXPECT_EQ(dialog.cb_gpio_chip->itemText(0), "/dev/gpiochip0  (pinctrl-test, 54 lines)");
  dialog.cb_gpio_chip->setCurrentIndex(0);
  SetGpio("17", "27", "22", "-1");
  EXPECT_TRUE(dialog.lb_wiring->text().contains("Module CLK  <- line 17 (GPIO17, header pin 11)"));

  // Test: a detection on the chosen lines, the port in use untouched.
  dialog.bt_testClick();
  EXPECT_EQ(dialog.lb_test->text(), "OK: module found");
  EXPECT_FALSE(Exists(PathOf("barometer.ini")));
  MeasureTicks(2);
  EXPECT_NEAR(w->p_local, module.PressureNow(), 0.3);

  // OK: saved, the module detected again on the gpiochip.
  const int errors = ErrorCount();
  dialog.bt_okClick();
  EXPECT_EQ(ErrorCount(), errors);
  const std::string saved = ReadFile(PathOf("barometer.ini"));
  EXPECT_EQ(ValueOf(saved, "port"), "gpio");
  EXPECT_EQ(ValueOf(saved, "gpio_chip"), "/dev/gpiochip0");
  EXPECT_EQ(ValueOf(saved, "gpio_data_in"), "22");
  EXPECT_EQ(ValueOf(saved, "gpio_power"), "-1");
  Tbarometer_ini again;
  ASSERT_TRUE(again.Load(PathOf("barometer.ini").toStdString()));
  const PortChoice read = ReadPortChoice(again);
  EXPECT_EQ(read.kind, PortChoice::Kind::kGpio);
  EXPECT_EQ(read.gpio.clock, 17);
  EXPECT_EQ(read.gpio.data_out, 27);

  EXPECT_EQ(w->DetectmoduleonLPT11->text().remove('&'), "Detect module on GPIO /dev/gpiochip0");
  EXPECT_EQ(Program().Wintro->lbstatus->text(),
            "Searching barometer module on GPIO /dev/gpiochip0");
  RunDetection();
  EXPECT_EQ(Program().Wintro->lbstatus->text(), "OK: module found");
  EXPECT_TRUE(chip.request_open);
  MeasureTicks(3);
  EXPECT_TRUE(w->last_sample_good);
  EXPECT_NEAR(w->p_local, 950, 0.1);

  // The module gone from the gpiochip: the texts and the box name the port
  // and the backend.
  gpio_module.SetUnplugged(true);
  w->DetectmoduleonLPT11Click();
  RunDetection();
  EXPECT_EQ(Program().Wintro->lbstatus->text(), "Error: No module found on GPIO /dev/gpiochip0");
  const std::string box = dialogs.calls.back().text;
  EXPECT_EQ(box.rfind("Note: No module found on GPIO /dev/gpiochip0, please check", 0), 0u) << box;
  EXPECT_NE(box.find("Port: GPIO /dev/gpiochip0 (pinctrl-test): clock line 17"), std::string::npos)
      << box;

  // Back to the parallel port: the gpiochip's lines are given back, low.
  gpio_module.SetUnplugged(false);
  dialog.OnShow();
  EXPECT_TRUE(dialog.rb_gpio->isChecked());
  dialog.rb_lpt->setChecked(true);
  dialog.OnKindClick();
  dialog.bt_okClick();
  EXPECT_FALSE(chip.request_open);
  EXPECT_EQ(chip.values & chip.outputs, 0u);
  EXPECT_EQ(w->DetectmoduleonLPT11->text().remove('&'), "Detect module on LPT1");
  RunDetection();
  MeasureTicks(3);
  EXPECT_NEAR(w->p_local, module.PressureNow(), 0.3);
  EXPECT_EQ(ValueOf(ReadFile(PathOf("barometer.ini")), "port"), "lpt");
}

TEST_F(PortDialogTest, BadValuesAreRefusedWithABoxAndNothingIsSaved) {
  StartMeasuringProgram();
  UseModelPorts();
  dialog.OnShow();
  struct Case {
    const char* clock_line;
    const char* data_out;
    const char* data_in;
    const char* power;
    const char* box;
  };
  for (const Case& c :
       {Case{"17", "27", "17", "-1", "Error : The GPIO line 17 is used twice (clock and data in)."},
        Case{"17", "27", "22", "22", "Error : The GPIO line 22 is used twice (data in and power)."},
        Case{"17", "27", "22", "-2", "Error : The GPIO line for power must be 0 to 1023 or -1."},
        Case{"17", "2000", "22", "-1", "Error : The GPIO line for data out must be 0 to 1023."},
        Case{"17", "x", "22", "-1", "Error : The GPIO data out line is not a whole number."}}) {
    SetGpio(c.clock_line, c.data_out, c.data_in, c.power);
    dialog.bt_okClick();
    EXPECT_EQ(dialogs.calls.back().text, c.box);
    dialog.bt_testClick();
    EXPECT_EQ(dialogs.calls.back().text, c.box);
    EXPECT_TRUE(dialog.lb_test->text().isEmpty());
  }
  dialog.rb_ftdi->setChecked(true);
  dialog.OnKindClick();
  dialog.ed_ftdi_data_in->setText("8");
  dialog.bt_okClick();
  EXPECT_EQ(dialogs.calls.back().text, "Error : The adapter bit for data in must be 0 to 7.");
  EXPECT_FALSE(Exists(PathOf("barometer.ini")));
  EXPECT_FALSE(chip.request_open);
  EXPECT_EQ(Program().Wmain->DetectmoduleonLPT11->text().remove('&'), "Detect module on LPT1");

  // Values the file holds that are no good keep their defaults.
  WriteFile(PathOf("barometer.ini"),
            "port\tusb\ngpio_clock\tabc\nftdi_data_in\t9\ngpio_power\t-5\n");
  Tbarometer_ini ini;
  ASSERT_TRUE(ini.Load(PathOf("barometer.ini").toStdString()));
  const PortChoice read = ReadPortChoice(ini);
  EXPECT_TRUE(read.IsDefaultLpt());
  EXPECT_EQ(read.gpio.clock, 17);
  EXPECT_EQ(read.gpio.power, -1);
  EXPECT_EQ(read.ftdi.data_in, 2);
}

TEST_F(PortDialogTest, WithoutTheAdapterLibraryOrARealPortTheDialogSaysSo) {
  StartMeasuringProgram();
  // barometer-sim: no ports of its own, the simulated module answers.
  ProgramPort().ftdi_available = false;
  dialog.OnShow();
  EXPECT_FALSE(dialog.rb_ftdi->isEnabled());
  EXPECT_TRUE(dialog.lb_ftdi_absent->text().contains("built without the FTDI adapter library"));
  EXPECT_TRUE(dialog.lb_note->text().contains("simulated module"));
  SetGpio("5", "6", "13", "-1");
  dialog.bt_testClick();
  EXPECT_EQ(dialog.lb_test->text(), "OK: module found");
  dialog.bt_okClick();
  EXPECT_EQ(ValueOf(ReadFile(PathOf("barometer.ini")), "gpio_data_in"), "13");
  RunDetection();
  EXPECT_EQ(Program().Wintro->lbstatus->text(), "OK: module found");
}
