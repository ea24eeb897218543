#pragma once

#include <QWidget>

class QPlainTextEdit;

// A hidden window with a text area; nothing shows it or writes to it.
class TWdebug : public QWidget {
 public:
  explicit TWdebug(QWidget* parent = nullptr);
  ~TWdebug() override;

  QPlainTextEdit* Memo1 = nullptr;
};
