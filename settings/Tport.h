#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "iio/Tiio_devices.h"
#include "platform/ModulePort.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The module's port ("Wport", File > Module port...): a parallel port, a
// gpiochip's lines or a USB adapter's bits, with the devices found and the
// wiring each choice means; or, in the module's place, a pressure sensor
// the kernel drives (IIO), with its pressure oversampling where the driver
// offers it. "Test" runs a detection on the chosen port (reads the sensor
// once); OK saves the choice in barometer.ini and detects the module again
// on it. Bad values, and a sensor without temperature, are refused with a
// box and nothing is saved.
class TWport : public QDialog {
 public:
  explicit TWport(QWidget* parent = nullptr);
  ~TWport() override;

  // Fills the fields from the port in use and lists the devices found.
  void OnShow();
  // The kind chosen: enables its fields and shows its wiring.
  void OnKindClick();
  // A field changed: the wiring text follows.
  void OnChange();
  // Another IIO sensor chosen: its oversampling and what stands in its way.
  void OnIioDeviceChange();
  // Detection on the port the fields give; the result in lb_test.
  void bt_testClick();
  // Checks the fields (a box and nothing else when one is bad), saves
  // barometer.ini, moves the module to the port and detects it again.
  void bt_okClick();
  void bt_cancelClick();

  // The port the fields give; false (with the box's text in `error`) when
  // a field is not a number.
  bool ReadFields(PortChoice* choice, std::string* error) const;

  QRadioButton* rb_lpt = nullptr;
  QRadioButton* rb_gpio = nullptr;
  QRadioButton* rb_ftdi = nullptr;
  QRadioButton* rb_iio = nullptr;
  QComboBox* cb_lpt_device = nullptr;
  QComboBox* cb_gpio_chip = nullptr;
  QLineEdit* ed_gpio_clock = nullptr;
  QLineEdit* ed_gpio_data_out = nullptr;
  QLineEdit* ed_gpio_data_in = nullptr;
  QLineEdit* ed_gpio_power = nullptr;
  QComboBox* cb_ftdi_device = nullptr;
  QLineEdit* ed_ftdi_clock = nullptr;
  QLineEdit* ed_ftdi_data_out = nullptr;
  QLineEdit* ed_ftdi_data_in = nullptr;
  QLineEdit* ed_ftdi_power = nullptr;
  QLabel* lb_ftdi_absent = nullptr;
  // The IIO pressure sensors found: "bme280  (/sys/...:device0, with
  // temperature)"; the item's data is the setting (its name, or its folder
  // when an earlier device has the same name).
  QComboBox* cb_iio_device = nullptr;
  QComboBox* cb_iio_oversampling = nullptr;
  QLabel* lb_iio_note = nullptr;
  QLabel* lb_wiring = nullptr;
  QLabel* lb_note = nullptr;
  QLabel* lb_test = nullptr;
  QPushButton* bt_test = nullptr;
  QPushButton* bt_ok = nullptr;
  QPushButton* bt_cancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Fill(const PortChoice& choice);
  // The IIO sensor the field names, as the sysfs tree shows it now.
  std::optional<TiioDevice> ChosenIioDevice(std::string* why) const;
  // The driver's oversampling set to the ratio chosen, when it differs; a
  // box says why when the driver's setting stays.
  void ApplyOversampling();
};

// The wiring a choice means, one module pin a line: "CLK <- GPIO17 (header
// pin 11)" and so on.
std::string WiringText(const PortChoice& choice);
