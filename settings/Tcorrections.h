#pragma once

#include <QDialog>

#include "config/Reading_settings.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

// "Corrections": the station's pressure and temperature corrections, added
// to every reading so that it matches a trusted barometer and thermometer,
// and the storm warning's switch and threshold. OK checks every field and
// names the first one that is wrong in a box, keeping the dialog open and
// changing nothing; otherwise the settings take effect at once and are
// kept in barometer.ini.
class TWcorrections : public QDialog {
 public:
  explicit TWcorrections(QWidget* parent = nullptr);
  ~TWcorrections() override;

  // Fills the fields from the settings in force.
  void OnShow();
  // The warning's switch: its threshold field follows it.
  void cb_stormClick();
  void bt_okClick();
  void bt_cancelClick();

  QLineEdit* ed_pressure = nullptr;
  QLineEdit* ed_temperature = nullptr;
  QCheckBox* cb_storm = nullptr;
  QLineEdit* ed_threshold = nullptr;
  QPushButton* bt_ok = nullptr;
  QPushButton* bt_cancel = nullptr;

 private:
  // The settings the fields hold; false, after the box, when one is wrong.
  bool FieldSettings(ReadingSettings& settings) const;
};
