#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

// The about box: the program's artwork, its version line and its build date.
class TWabout : public QDialog {
 public:
  explicit TWabout(QWidget* parent = nullptr);
  ~TWabout() override;

  // Closes the box with result OK (also Enter: OK is the default button).
  void bt_okClick();

  // The build date as "Oct 30 2001": three-letter month, two-digit day, year.
  static QString BuildDate();

  QLabel* lb_date = nullptr;
  QPushButton* bt_ok = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
};
