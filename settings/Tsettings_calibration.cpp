// The "Sensor coefficients" page of the settings dialog: the four
// calibration words and the six coefficients of the working copy, each in
// decimal with its hexadecimal value beside it, kept in step as the user
// types, and the words read back from the module on request. A sensor the
// kernel drives has its compensation in its driver: the page says so.

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdint>

#include "atmosphere/Lib_vc.h"
#include "main/Port_choice.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "main/Tservice_view.h"
#include "platform/Dialogs.h"
#include "settings/Tsettings.h"
#include "settings/Tsettings_layout.h"

using namespace settings_layout;

namespace {

// "0x%x": lower-case digits without leading zeros; a negative value shows
// its 32-bit pattern.
QString Hex(int32_t value) {
  return QStringLiteral("0x") + QString::number(static_cast<uint32_t>(value), 16);
}

// The value the user means: a text that is no number counts as far as it
// was read (0 for an empty one).
int32_t TypedValue(const QLineEdit* edit) {
  int32_t value = 0;
  ParseInt(edit->text().toStdString(), &value);
  return value;
}

// One row of a group: name, decimal edit, hexadecimal readout.
void Row(QWidget* group, int x, int y, const char* name, QLineEdit** edit, QLabel** hex) {
  Text(group, x, y, 24, 21, name);
  *edit = Edit(group, x + 28, y, 73, "0", 9);
  *hex = Readout(group, x + 108, y, 73, 21, "-");
}

}  // namespace

void TWsettings::BuildSensorPage(QWidget* page) {
  QGroupBox* words = Group(page, 8, 6, 451, 130, "W parameters");
  Row(words, 16, 30, "W1", &ed_w1, &lb_w1);
  Row(words, 16, 64, "W2", &ed_w2, &lb_w2);
  Row(words, 236, 30, "W3", &ed_w3, &lb_w3);
  Row(words, 236, 64, "W4", &ed_w4, &lb_w4);
  Text(words, 44, 94, 73, 16, "decimal", Qt::AlignCenter);
  Text(words, 124, 94, 73, 16, "hexadecimal", Qt::AlignCenter);

  QGroupBox* coefficients = Group(page, 8, 148, 451, 142, "C parameters");
  Row(coefficients, 16, 30, "C1", &ed_c1, &lb_c1);
  Row(coefficients, 16, 64, "C2", &ed_c2, &lb_c2);
  Row(coefficients, 16, 98, "C3", &ed_c3, &lb_c3);
  Row(coefficients, 236, 30, "C4", &ed_c4, &lb_c4);
  Row(coefficients, 236, 64, "C5", &ed_c5, &lb_c5);
  Row(coefficients, 236, 98, "C6", &ed_c6, &lb_c6);

  Button1 = new QPushButton("Restore from sensor", page);
  Button1->setGeometry(153, 310, 161, 25);
  Button1->setAutoDefault(false);

  gb_words_ = words;
  gb_coefficients_ = coefficients;
  lb_kernel = Paragraph(page, 24, 24, 420, 120, "");
  lb_kernel->hide();
}

void TWsettings::ShowSensorPage() {
  // A viewer shows the module's calibration as the recording service read
  // it, and changes nothing of it.
  const Tservice_view* service = Program().service;
  const std::string kernel_note =
      " is compensated by its kernel driver: the driver reads the sensor's own calibration and "
      "gives the pressure and temperature ready to use.\n\nThere is nothing to edit here.";
  std::string note;
  if (service != nullptr && !service->Calibration()) {
    const std::optional<PortChoice> port = service->ServicePort();
    note = port && port->kind == PortChoice::Kind::kIio
               ? "The " + service->Port() + kernel_note
               : "The recording service has read no module's calibration yet.";
  } else if (service == nullptr && IioSensorChosen()) {
    note = "The " + ProgramPort().name + kernel_note;
  }
  lb_kernel->setText(QString::fromStdString(note));
  lb_kernel->setVisible(!note.empty());
  for (QWidget* w : {static_cast<QWidget*>(gb_words_), gb_coefficients_})
    w->setVisible(note.empty());
  Button1->setVisible(note.empty() && service == nullptr);
  for (QLineEdit* e : {ed_w1, ed_w2, ed_w3, ed_w4, ed_c1, ed_c2, ed_c3, ed_c4, ed_c5, ed_c6})
    e->setReadOnly(service != nullptr);
  gb_words_->setTitle(service != nullptr
                          ? "W parameters, as the recording service read them (read only)"
                          : "W parameters");
}

void TWsettings::ShowWords() {
  const Tsensor_wc& c = WorkCalibration;
  ed_w1->setText(QString::number(c.W1));
  ed_w2->setText(QString::number(c.W2));
  ed_w3->setText(QString::number(c.W3));
  ed_w4->setText(QString::number(c.W4));
  ShowWordsHex();
}

void TWsettings::ShowWordsHex() {
  const Tsensor_wc& c = WorkCalibration;
  lb_w1->setText(Hex(c.W1));
  lb_w2->setText(Hex(c.W2));
  lb_w3->setText(Hex(c.W3));
  lb_w4->setText(Hex(c.W4));
}

void TWsettings::ShowCoefficients() {
  const Tsensor_wc& c = WorkCalibration;
  ed_c1->setText(QString::number(c.C1));
  ed_c2->setText(QString::number(c.C2));
  ed_c3->setText(QString::number(c.C3));
  ed_c4->setText(QString::number(c.C4));
  ed_c5->setText(QString::number(c.C5));
  ed_c6->setText(QString::number(c.C6));
  ShowCoefficientsHex();
}

void TWsettings::ShowCoefficientsHex() {
  const Tsensor_wc& c = WorkCalibration;
  lb_c1->setText(Hex(c.C1));
  lb_c2->setText(Hex(c.C2));
  lb_c3->setText(Hex(c.C3));
  lb_c4->setText(Hex(c.C4));
  lb_c5->setText(Hex(c.C5));
  lb_c6->setText(Hex(c.C6));
}

// The edit typed in keeps its text, even where the stored value was reduced
// to its width; its readout shows what is stored.
void TWsettings::WordTyped(int index) {
  QLineEdit* const edits[4] = {ed_w1, ed_w2, ed_w3, ed_w4};
  int32_t* const words[4] = {&WorkCalibration.W1, &WorkCalibration.W2, &WorkCalibration.W3,
                             &WorkCalibration.W4};
  *words[index] = TypedValue(edits[index]);
  WorkCalibration.WordsToCoefficients();
  ShowCoefficients();
  ShowWordsHex();
}

void TWsettings::CoefficientTyped(int index) {
  QLineEdit* const edits[6] = {ed_c1, ed_c2, ed_c3, ed_c4, ed_c5, ed_c6};
  int32_t* const coefficients[6] = {&WorkCalibration.C1, &WorkCalibration.C2, &WorkCalibration.C3,
                                    &WorkCalibration.C4, &WorkCalibration.C5, &WorkCalibration.C6};
  *coefficients[index] = TypedValue(edits[index]);
  WorkCalibration.CoefficientsToWords();
  ShowWords();
  ShowCoefficientsHex();
}

void TWsettings::OnKeyUpW1() {
  WordTyped(0);
}
void TWsettings::OnKeyUpW2() {
  WordTyped(1);
}
void TWsettings::OnKeyUpW3() {
  WordTyped(2);
}
void TWsettings::OnKeyUpW4() {
  WordTyped(3);
}
void TWsettings::OnKeyUpC1() {
  CoefficientTyped(0);
}
void TWsettings::OnKeyUpC2() {
  CoefficientTyped(1);
}
void TWsettings::OnKeyUpC3() {
  CoefficientTyped(2);
}
void TWsettings::OnKeyUpC4() {
  CoefficientTyped(3);
}
void TWsettings::OnKeyUpC5() {
  CoefficientTyped(4);
}
void TWsettings::OnKeyUpC6() {
  CoefficientTyped(5);
}

// Only the working copy changes, and only to a calibration that passed the
// sensor's check (two readings that agree, plausible words); the sensor takes
// it over on OK.
void TWsettings::Button1Click() {
  if (Program().Wmain && Program().Wmain_alive) {
    // The read writes the record only when it passed; no valid calibration
    // is all zero.
    Tsensor_wc read;
    Program().Wmain->ReadCalibrationFromModule(&read);
    if (!read.IsCleared()) {
      WorkCalibration = read;
    } else if (Program().dialogs) {
      Program().dialogs->Error(
          "Error : The module did not answer; the calibration was not changed.");
    }
  }
  ShowWords();
  ShowCoefficients();
}
