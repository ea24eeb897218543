#include "windows/Tdebug.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>

#include "main/Program.h"
#include "main/Publishing.h"

TWdebug::TWdebug(QWidget* parent) : QWidget(parent) {
  setWindowTitle("Debug");
  setFixedSize(210, 377);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setGeometry(0, 0, 209, 377);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->hide();
  lb_mqtt = new QLabel(this);
  lb_mqtt->setGeometry(4, 4, 202, 369);
  lb_mqtt->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lb_mqtt->setWordWrap(true);
  publish_timer = new QTimer(this);
  publish_timer->setInterval(1000);
  connect(publish_timer, &QTimer::timeout, this, &TWdebug::UpdatePublishState);
  hide();
  Program().Wdebug_alive = true;
}

TWdebug::~TWdebug() = default;

void TWdebug::UpdatePublishState() {
  const Tpublisher* publisher = Program().publisher;
  const std::string text =
      publisher != nullptr ? StatusText(publisher->client.Status()) : "Not publishing";
  lb_mqtt->setText(QString::fromStdString("MQTT: " + text));
}

void TWdebug::showEvent(QShowEvent* event) {
  UpdatePublishState();
  publish_timer->start();
  QWidget::showEvent(event);
}

void TWdebug::hideEvent(QHideEvent* event) {
  publish_timer->stop();
  QWidget::hideEvent(event);
}
