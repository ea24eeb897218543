#pragma once

#include <QDialog>
#include <QString>

class QPushButton;
class QTextBrowser;

// The help window (F1 in every window): the program's short manual, kept in
// the binary, in a browser that follows the manual's own links. It stays
// open beside the other windows; showing it again brings it to the front at
// the part asked for.
class TWhelp : public QDialog {
 public:
  explicit TWhelp(QWidget* parent = nullptr);
  ~TWhelp() override;

  // The manual as HTML.
  static QString ManualText();

  // Shows the window at the part named by anchor (the top when empty).
  void ShowPart(const QString& anchor = QString());
  void bt_closeClick();

  QTextBrowser* tx_help = nullptr;
  QPushButton* bt_close = nullptr;
};
