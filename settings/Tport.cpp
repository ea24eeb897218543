#include "settings/Tport.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVariant>
#include <algorithm>
#include <optional>

#include "components/UiStyle.h"
#include "main/Port_choice.h"
#include "main/Program.h"
#include "main/Tservice_view.h"
#include "platform/Dialogs.h"

namespace {

// Header pins of a Raspberry Pi's 40-pin header by GPIO number.
int PiHeaderPin(int gpio) {
  static const int kPins[28] = {27, 28, 3,  5,  7,  29, 31, 26, 24, 21, 19, 23, 32, 33,
                                8,  10, 36, 11, 12, 35, 38, 40, 15, 16, 18, 22, 37, 13};
  return gpio >= 0 && gpio < 28 ? kPins[gpio] : -1;
}

// The bit-bang pins of an FT232R by bit; on an FT2232H or FT232H they are
// ADBUS0..7 of channel A.
const char* const kFtdiNames[8] = {"TXD", "RXD", "RTS#", "CTS#", "DTR#", "DSR#", "DCD#", "RI#"};

std::string GpioLine(int line) {
  std::string text = "line " + std::to_string(line);
  const int pin = PiHeaderPin(line);
  if (pin > 0)
    text += " (GPIO" + std::to_string(line) + ", header pin " + std::to_string(pin) + ")";
  return text;
}

std::string FtdiBit(int bit) {
  if (bit < 0 || bit > 7) return "bit " + std::to_string(bit);
  return "bit " + std::to_string(bit) + " (ADBUS" + std::to_string(bit) + ", " + kFtdiNames[bit] +
         " on an FT232R)";
}

std::optional<int> Whole(const QLineEdit* edit) {
  bool ok = false;
  const int value = edit->text().trimmed().toInt(&ok);
  if (!ok) return std::nullopt;
  return value;
}

QLineEdit* AddEdit(QWidget* parent, const QString& caption, int x, int y) {
  auto* label = new QLabel(caption, parent);
  label->setGeometry(x, y + 3, 70, 16);
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(x + 72, y, 44, 22);
  return edit;
}

// A device row (caption and an editable list at the top of the group) and,
// below it, the four wiring fields: clock, data out, data in, power.
QComboBox* AddDeviceRow(QWidget* group, const QString& caption, QLineEdit* edits[4]) {
  auto* label = new QLabel(caption, group);
  label->setGeometry(10, 23, 60, 16);
  auto* box = new QComboBox(group);
  box->setEditable(true);
  box->setGeometry(82, 20, 410, 22);
  if (edits) {
    const char* captions[4] = {"Clock", "Data out", "Data in", "Power"};
    for (int i = 0; i < 4; ++i) edits[i] = AddEdit(group, captions[i], 10 + 122 * i, 50);
  }
  return box;
}

QString DeviceOf(const QComboBox* box) {
  // The list shows "device  (what it is)"; the device is the first word.
  const QString text = box->currentText().trimmed();
  const int space = text.indexOf("  ");
  return space < 0 ? text : text.left(space);
}

// The IIO sensor a list names: the setting of the item shown, or what was
// typed (a name or a folder).
std::string IioSettingOf(const QComboBox* box) {
  const int index = box->findText(box->currentText());
  if (index >= 0) return box->itemData(index).toString().toStdString();
  return DeviceOf(box).toStdString();
}

}  // namespace

std::string WiringText(const PortChoice& choice) {
  std::string text;
  switch (choice.kind) {
    case PortChoice::Kind::kLpt:
      text =
          "Module CLK  <- pin 2 (D0)\nModule DIN  <- pin 3 (D1)\nModule DOUT -> pin 12 (paper "
          "end, status bit 5)\nModule VCC  <- pins 4 to 9 (D2 to D7 together)\nModule GND  -- "
          "pins 18 to 25";
      break;
    case PortChoice::Kind::kGpio: {
      const GpioWiring& w = choice.gpio;
      text = "Module CLK  <- " + GpioLine(w.clock) + "\nModule DIN  <- " + GpioLine(w.data_out) +
             "\nModule DOUT -> " + GpioLine(w.data_in) + "\nModule VCC  <- " +
             (w.power >= 0 ? GpioLine(w.power) : std::string("3.3 V (header pin 1)")) +
             "\nModule GND  -- ground (header pin 6)";
      break;
    }
    case PortChoice::Kind::kFtdi: {
      const FtdiWiring& w = choice.ftdi;
      text = "Module CLK  <- " + FtdiBit(w.clock) + "\nModule DIN  <- " + FtdiBit(w.data_out) +
             "\nModule DOUT -> " + FtdiBit(w.data_in) + "\nModule VCC  <- " +
             (w.power >= 0 ? FtdiBit(w.power) : std::string("the adapter's 3.3 V output")) +
             "\nModule GND  -- the adapter's GND";
      break;
    }
    case PortChoice::Kind::kIio:
      // An I2C breakout on a Raspberry Pi's header; its driver is loaded by
      // an overlay (dtoverlay=i2c-sensor,bme280, see the README).
      text =
          "Sensor VIN  <- 3.3 V (header pin 1)\nSensor GND  -- ground (header pin 6)\nSensor SDA "
          "<-> GPIO2 (header pin 3, SDA1)\nSensor SCL  <- GPIO3 (header pin 5, SCL1)";
      break;
  }
  return text;
}

TWport::TWport(QWidget* parent) : QDialog(parent) {
  SetFixedDialogFrame(this, "Module port", 520, 558);
  setFont(ArialFont(11));

  rb_lpt = new QRadioButton("Parallel port", this);
  rb_lpt->setGeometry(12, 10, 112, 20);
  rb_gpio = new QRadioButton("GPIO (gpiochip)", this);
  rb_gpio->setGeometry(126, 10, 128, 20);
  rb_ftdi = new QRadioButton("USB adapter (FTDI)", this);
  rb_ftdi->setGeometry(256, 10, 150, 20);
  rb_iio = new QRadioButton("IIO sensor", this);
  rb_iio->setGeometry(410, 10, 104, 20);
  for (QRadioButton* rb : {rb_lpt, rb_gpio, rb_ftdi, rb_iio})
    connect(rb, &QRadioButton::clicked, this, [this] { OnKindClick(); });

  auto* lpt = new QGroupBox("Parallel port", this);
  lpt->setGeometry(8, 36, 504, 52);
  cb_lpt_device = AddDeviceRow(lpt, "Device", nullptr);

  auto* gpio = new QGroupBox("GPIO: line offsets on the chip (power -1: none)", this);
  gpio->setGeometry(8, 92, 504, 84);
  QLineEdit* gpio_lines[4];
  cb_gpio_chip = AddDeviceRow(gpio, "Chip", gpio_lines);
  ed_gpio_clock = gpio_lines[0];
  ed_gpio_data_out = gpio_lines[1];
  ed_gpio_data_in = gpio_lines[2];
  ed_gpio_power = gpio_lines[3];

  auto* ftdi = new QGroupBox("USB adapter: bits 0 to 7 (power -1: none)", this);
  ftdi->setGeometry(8, 180, 504, 84);
  QLineEdit* ftdi_bits[4];
  cb_ftdi_device = AddDeviceRow(ftdi, "Device", ftdi_bits);
  ed_ftdi_clock = ftdi_bits[0];
  ed_ftdi_data_out = ftdi_bits[1];
  ed_ftdi_data_in = ftdi_bits[2];
  ed_ftdi_power = ftdi_bits[3];
  lb_ftdi_absent = new QLabel(ftdi);
  lb_ftdi_absent->setGeometry(10, 20, 484, 60);
  lb_ftdi_absent->setWordWrap(true);

  // A pressure sensor the kernel drives, in the module's place.
  auto* iio = new QGroupBox("IIO sensor: a pressure sensor the kernel drives", this);
  iio->setGeometry(8, 268, 504, 84);
  cb_iio_device = AddDeviceRow(iio, "Sensor", nullptr);
  auto* oversampling = new QLabel("Oversampling", iio);
  oversampling->setGeometry(10, 53, 80, 16);
  cb_iio_oversampling = new QComboBox(iio);
  cb_iio_oversampling->setGeometry(92, 50, 70, 22);
  lb_iio_note = new QLabel(iio);
  lb_iio_note->setGeometry(172, 46, 322, 34);
  lb_iio_note->setWordWrap(true);
  lb_iio_note->setFont(ArialFont(9));
  connect(cb_iio_device, &QComboBox::currentTextChanged, this, [this] {
    OnIioDeviceChange();
    OnChange();
  });

  lb_wiring = new QLabel(this);
  lb_wiring->setGeometry(12, 358, 496, 84);
  lb_wiring->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lb_wiring->setFont(QFont("DejaVu Sans Mono", 9));
  lb_note = new QLabel(this);
  lb_note->setGeometry(12, 444, 496, 32);
  lb_note->setWordWrap(true);
  lb_test = new QLabel(this);
  lb_test->setGeometry(12, 478, 496, 40);
  lb_test->setWordWrap(true);

  bt_test = new QPushButton("Test", this);
  bt_test->setGeometry(12, 524, 75, 25);
  bt_ok = new QPushButton("OK", this);
  bt_ok->setGeometry(352, 524, 75, 25);
  bt_ok->setDefault(true);
  bt_cancel = new QPushButton("Cancel", this);
  bt_cancel->setGeometry(435, 524, 75, 25);
  connect(bt_test, &QPushButton::clicked, this, [this] { bt_testClick(); });
  connect(bt_ok, &QPushButton::clicked, this, [this] { bt_okClick(); });
  connect(bt_cancel, &QPushButton::clicked, this, [this] { bt_cancelClick(); });
  for (QLineEdit* edit : {ed_gpio_clock, ed_gpio_data_out, ed_gpio_data_in, ed_gpio_power,
                          ed_ftdi_clock, ed_ftdi_data_out, ed_ftdi_data_in, ed_ftdi_power})
    connect(edit, &QLineEdit::textEdited, this, [this] { OnChange(); });
}

TWport::~TWport() = default;

void TWport::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
}

void TWport::Fill(const PortChoice& choice) {
  rb_lpt->setChecked(choice.kind == PortChoice::Kind::kLpt);
  rb_gpio->setChecked(choice.kind == PortChoice::Kind::kGpio);
  rb_ftdi->setChecked(choice.kind == PortChoice::Kind::kFtdi);
  rb_iio->setChecked(choice.kind == PortChoice::Kind::kIio);
  cb_lpt_device->setEditText(QString::fromStdString(choice.lpt_device));
  cb_gpio_chip->setEditText(QString::fromStdString(choice.gpio.chip));
  ed_gpio_clock->setText(QString::number(choice.gpio.clock));
  ed_gpio_data_out->setText(QString::number(choice.gpio.data_out));
  ed_gpio_data_in->setText(QString::number(choice.gpio.data_in));
  ed_gpio_power->setText(QString::number(choice.gpio.power));
  cb_ftdi_device->setEditText(QString::fromStdString(choice.ftdi.device));
  ed_ftdi_clock->setText(QString::number(choice.ftdi.clock));
  ed_ftdi_data_out->setText(QString::number(choice.ftdi.data_out));
  ed_ftdi_data_in->setText(QString::number(choice.ftdi.data_in));
  ed_ftdi_power->setText(QString::number(choice.ftdi.power));
  // None chosen yet: the first sensor listed is offered.
  const int listed = cb_iio_device->findData(QString::fromStdString(choice.iio_device));
  if (listed >= 0 || (choice.iio_device.empty() && cb_iio_device->count() > 0))
    cb_iio_device->setCurrentIndex(std::max(listed, 0));
  else
    cb_iio_device->setEditText(QString::fromStdString(choice.iio_device));
}

void TWport::OnShow() {
  PortState& port = ProgramPort();
  cb_lpt_device->clear();
  for (const std::string& device : ListParports())
    cb_lpt_device->addItem(QString::fromStdString(device));
  cb_gpio_chip->clear();
  for (const GpioChipInfo& chip : port.list_gpio_chips()) {
    cb_gpio_chip->addItem(QString::fromStdString(chip.path + "  (" + chip.label + ", " +
                                                 std::to_string(chip.lines) + " lines)"));
  }
  cb_ftdi_device->clear();
  for (const FtdiDeviceInfo& device : port.list_ftdi_devices()) {
    cb_ftdi_device->addItem(QString::fromStdString(device.device + "  (" + device.description +
                                                   ", serial " + device.serial + ")"));
  }
  const bool ftdi = port.ftdi_available;
  lb_ftdi_absent->setVisible(!ftdi);
  lb_ftdi_absent->setText(
      ftdi ? QString()
           : "This program was built without the FTDI adapter library (libftdi1): USB adapters "
             "cannot be used.");
  for (QWidget* w : {static_cast<QWidget*>(cb_ftdi_device), static_cast<QWidget*>(ed_ftdi_clock),
                     static_cast<QWidget*>(ed_ftdi_data_out),
                     static_cast<QWidget*>(ed_ftdi_data_in), static_cast<QWidget*>(ed_ftdi_power)})
    w->setVisible(ftdi);
  rb_ftdi->setEnabled(ftdi);
  // Each sensor by its name where it is the first of that name (found again
  // by it after a rebind), else by its folder.
  cb_iio_device->clear();
  const std::vector<TiioDevice> sensors = Tiio_devices(port.iio_root).List();
  for (size_t i = 0; i < sensors.size(); ++i) {
    const TiioDevice& d = sensors[i];
    bool first = true;
    for (size_t j = 0; j < i; ++j) first = first && sensors[j].name != d.name;
    const std::string text = d.name + "  (" + d.path + ", " +
                             (d.HasTemperature() ? "with temperature" : "no temperature") + ")";
    cb_iio_device->addItem(QString::fromStdString(text),
                           QString::fromStdString(first ? d.name : d.path));
  }
  lb_note->setText(port.open ? QString()
                             : "The simulated module answers on whatever port is chosen here; the "
                               "choice is saved for the barometer program. An IIO sensor is read "
                               "here too.");
  lb_test->clear();
  // A viewer shows the recording service's port; the service holds it, so
  // nothing here may test it.
  const Tservice_view* service = Program().service;
  bt_test->setEnabled(service == nullptr);
  if (service != nullptr) {
    lb_note->setText(QString::fromStdString(
        "The recording service measures on " + service->Port() +
        ". OK asks it to measure on the port chosen here; it checks and keeps the choice."));
  }
  Fill(service != nullptr ? service->ServicePort().value_or(port.choice) : port.choice);
  OnKindClick();
}

void TWport::OnKindClick() {
  cb_lpt_device->setEnabled(rb_lpt->isChecked());
  for (QWidget* w : {static_cast<QWidget*>(cb_gpio_chip), static_cast<QWidget*>(ed_gpio_clock),
                     static_cast<QWidget*>(ed_gpio_data_out),
                     static_cast<QWidget*>(ed_gpio_data_in), static_cast<QWidget*>(ed_gpio_power)})
    w->setEnabled(rb_gpio->isChecked());
  for (QWidget* w : {static_cast<QWidget*>(cb_ftdi_device), static_cast<QWidget*>(ed_ftdi_clock),
                     static_cast<QWidget*>(ed_ftdi_data_out),
                     static_cast<QWidget*>(ed_ftdi_data_in), static_cast<QWidget*>(ed_ftdi_power)})
    w->setEnabled(rb_ftdi->isChecked());
  cb_iio_device->setEnabled(rb_iio->isChecked());
  OnIioDeviceChange();
  OnChange();
}

std::optional<TiioDevice> TWport::ChosenIioDevice(std::string* why) const {
  return Tiio_devices(ProgramPort().iio_root).Find(IioSettingOf(cb_iio_device), why);
}

void TWport::OnIioDeviceChange() {
  cb_iio_oversampling->clear();
  std::string why, note;
  const std::optional<TiioDevice> device = ChosenIioDevice(&why);
  bool offered = false;
  if (!device) {
    note = why;
  } else if (!device->HasTemperature()) {
    note = "It has no temperature channel: the station cannot use it.";
  } else if (device->oversampling_ratio == 0) {
    note = "Its driver offers no oversampling setting.";
  } else {
    std::vector<int> ratios = device->oversampling_available;
    if (ratios.empty()) ratios.push_back(device->oversampling_ratio);
    for (int ratio : ratios) cb_iio_oversampling->addItem(QString::number(ratio), ratio);
    cb_iio_oversampling->setCurrentIndex(cb_iio_oversampling->findData(device->oversampling_ratio));
    if (device->oversampling_available.empty())
      note = "Its driver lists no ratios to choose from; its setting stays.";
    else if (!MayWriteOversampling(*device))
      note = "The program may not change it (no right to write " + device->OversamplingFile() +
             "); the driver's setting stays.";
    else
      offered = true;
  }
  cb_iio_oversampling->setEnabled(rb_iio->isChecked() && offered);
  lb_iio_note->setText(rb_iio->isChecked() ? QString::fromStdString(note) : QString());
}

void TWport::ApplyOversampling() {
  if (!cb_iio_oversampling->isEnabled() || cb_iio_oversampling->currentIndex() < 0) return;
  std::string why;
  const std::optional<TiioDevice> device = ChosenIioDevice(&why);
  const int ratio = cb_iio_oversampling->currentData().toInt();
  if (!device || ratio == device->oversampling_ratio) return;
  if (!SetPressureOversampling(*device, ratio, &why) && Program().dialogs)
    Program().dialogs->Error("Error : The oversampling was not changed: " + why + ".");
}

void TWport::OnChange() {
  PortChoice choice;
  std::string error;
  if (ReadFields(&choice, &error) && CheckPortChoice(choice).empty()) {
    lb_wiring->setText(QString::fromStdString(WiringText(choice)));
  } else {
    lb_wiring->clear();
  }
}

bool TWport::ReadFields(PortChoice* choice, std::string* error) const {
  *choice = PortChoice();
  if (rb_gpio->isChecked()) choice->kind = PortChoice::Kind::kGpio;
  if (rb_ftdi->isChecked()) choice->kind = PortChoice::Kind::kFtdi;
  if (rb_iio->isChecked()) choice->kind = PortChoice::Kind::kIio;
  choice->lpt_device = DeviceOf(cb_lpt_device).toStdString();
  choice->iio_device = IioSettingOf(cb_iio_device);
  choice->gpio.chip = DeviceOf(cb_gpio_chip).toStdString();
  choice->ftdi.device = DeviceOf(cb_ftdi_device).toStdString();
  struct Field {
    const QLineEdit* edit;
    int* value;
    const char* name;
  };
  const Field fields[] = {{ed_gpio_clock, &choice->gpio.clock, "GPIO clock"},
                          {ed_gpio_data_out, &choice->gpio.data_out, "GPIO data out"},
                          {ed_gpio_data_in, &choice->gpio.data_in, "GPIO data in"},
                          {ed_gpio_power, &choice->gpio.power, "GPIO power"},
                          {ed_ftdi_clock, &choice->ftdi.clock, "adapter clock"},
                          {ed_ftdi_data_out, &choice->ftdi.data_out, "adapter data out"},
                          {ed_ftdi_data_in, &choice->ftdi.data_in, "adapter data in"},
                          {ed_ftdi_power, &choice->ftdi.power, "adapter power"}};
  for (const Field& field : fields) {
    const std::optional<int> value = Whole(field.edit);
    const bool in_use = (choice->kind == PortChoice::Kind::kGpio && field.name[0] == 'G') ||
                        (choice->kind == PortChoice::Kind::kFtdi && field.name[0] == 'a');
    if (!value) {
      if (!in_use) continue;  // the other kinds' fields keep their defaults
      *error = std::string("Error : The ") + field.name + " line is not a whole number.";
      return false;
    }
    *field.value = *value;
  }
  return true;
}

void TWport::bt_testClick() {
  PortChoice choice;
  std::string error;
  if (!ReadFields(&choice, &error) || !(error = CheckPortChoice(choice)).empty()) {
    if (Program().dialogs) Program().dialogs->Error(error);
    return;
  }
  lb_test->setText(QString::fromStdString(TestModulePort(choice)));
}

void TWport::bt_okClick() {
  PortChoice choice;
  std::string error;
  if (!ReadFields(&choice, &error) || !(error = CheckPortChoice(choice)).empty()) {
    if (Program().dialogs) Program().dialogs->Error(error);
    return;
  }
  ProgramState& program = Program();
  if (choice.kind == PortChoice::Kind::kIio) {
    // The station needs the temperature beside the pressure. A sensor that
    // is not there now may be chosen: it is looked for at every sample.
    std::string why;
    const std::optional<TiioDevice> device = ChosenIioDevice(&why);
    if (device && !device->HasTemperature()) {
      if (program.dialogs)
        program.dialogs->Error("Error : " + device->name + " at " + device->path +
                               " has no temperature channel; the station needs one beside the "
                               "pressure. Please choose another sensor.");
      return;
    }
  }
  if (program.service != nullptr) {
    program.service->SendPort(choice);
    accept();
    return;
  }
  WritePortChoice(choice, &program.ini);
  if (!program.ini.Save() && program.dialogs) {
    program.dialogs->Error("Error : Unable to save " + program.ini.Path() + ": " +
                           program.ini.LastError());
  }
  if (choice.kind == PortChoice::Kind::kIio) ApplyOversampling();
  accept();
  MoveModuleToPort(choice);
}

void TWport::bt_cancelClick() {
  reject();
}
