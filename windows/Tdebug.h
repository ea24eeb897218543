#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QTimer;

// A hidden window with a text area that nothing writes to, and a line with
// the state of the connection to the MQTT broker, refreshed once a second
// while the window is shown.
class TWdebug : public QWidget {
 public:
  explicit TWdebug(QWidget* parent = nullptr);
  ~TWdebug() override;

  // Shows the publisher's present state in lb_mqtt.
  void UpdatePublishState();

  QPlainTextEdit* Memo1 = nullptr;
  QLabel* lb_mqtt = nullptr;
  QTimer* publish_timer = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
};
