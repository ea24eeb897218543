#include "windows/Tdebug.h"

#include <QPlainTextEdit>

#include "main/Program.h"

TWdebug::TWdebug(QWidget* parent) : QWidget(parent) {
  setWindowTitle("Debug");
  setFixedSize(210, 377);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setGeometry(0, 0, 209, 377);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->hide();
  hide();
  Program().Wdebug_alive = true;
}

TWdebug::~TWdebug() = default;
