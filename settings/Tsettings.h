#pragma once

#include <QDialog>

class QPushButton;
class QTabWidget;

// The settings dialog ("Wsettings"). For now it has its pages and buttons
// only; the fields, their filling and validation come with the settings work.
class TWsettings : public QDialog {
 public:
  explicit TWsettings(QWidget* parent = nullptr);
  ~TWsettings() override;

  // Fills the fields from the main window's settings (nothing to fill yet).
  void OnShow();
  void bt_okClick();
  void bt_cancelClick();

  QTabWidget* PageControl1 = nullptr;
  QPushButton* bt_ok = nullptr;
  QPushButton* bt_cancel = nullptr;
};
