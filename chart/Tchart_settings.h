#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

// "Chart settings": autoscale or a manual range for each of the chart's
// three plots. The layout and the autoscale boxes work; applying a manual
// range to the plots comes with the chart work.
class TWrange : public QDialog {
 public:
  explicit TWrange(QWidget* parent = nullptr);
  ~TWrange() override;

  // on: the group's two limit fields are disabled and its box ticked;
  // off: the fields enabled and the box cleared.
  void SetPressureAutoscale(bool on);
  void SetAltitudeAutoscale(bool on);
  void SetTemperatureAutoscale(bool on);

  // A change of a box's state (click or program): its fields follow it.
  void PAutoScaleBoxClick();
  void AAutoScaleBoxClick();
  void TAutoScaleBoxClick();

  void bt_okClick();
  void bt_cancelClick();

  QCheckBox* PAutoScaleBox = nullptr;
  QCheckBox* AAutoScaleBox = nullptr;
  QCheckBox* TAutoScaleBox = nullptr;
  QLineEdit* ed_pl = nullptr;
  QLineEdit* ed_ph = nullptr;
  QLineEdit* ed_al = nullptr;
  QLineEdit* ed_ah = nullptr;
  QLineEdit* ed_tl = nullptr;
  QLineEdit* ed_th = nullptr;
  QPushButton* bt_ok = nullptr;
  QPushButton* bt_cancel = nullptr;

 private:
  QGroupBox* AddGroup(const QString& title, int top, const QString& unit, QCheckBox** box,
                      QLineEdit** low, QLineEdit** high);
};
