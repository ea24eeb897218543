#pragma once

#include <QDialog>

class QCheckBox;
class QEvent;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

// "Chart settings": autoscale or a manual range for each of the chart's
// three plots. The chart window fills the six limit fields before showing
// it; OK checks every field, reports each fault in its own message and only
// when all are valid applies the settings to the plots and closes.
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

  // A key pressed in one of the six fields: Enter acts as OK.
  void OnKeyDown(int key);
  void bt_okClick();
  void bt_cancelClick();
  // The pressure and temperature limits are in the reader's units; their
  // unit labels follow them.
  void ShowUnits();

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
  // The unit labels beside the pressure and temperature limits.
  QLabel* lb_pressure_units[2] = {};
  QLabel* lb_temperature_units[2] = {};

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QGroupBox* AddGroup(const QString& title, int top, const QString& unit, QCheckBox** box,
                      QLineEdit** low, QLineEdit** high, QLabel** units = nullptr);
};
