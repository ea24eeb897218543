#pragma once

#include <QDialog>
#include <memory>

#include "publish/Mqtt_settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class Tmqtt_client;

// "Publish to MQTT": the broker, its credentials and TLS, the topics and
// the interval, an on/off switch, a connection test and the state of the
// running connection. It works on the fields: OK checks them all, says the
// first field that is wrong in a box and saves nothing then; otherwise it
// writes the mqtt_ keys of barometer.ini and restarts publishing with them.
// Once the dialog is closed no box is ever shown about the connection.
class TWpublish : public QDialog {
 public:
  explicit TWpublish(QWidget* parent = nullptr);
  ~TWpublish() override;

  // Fills the fields from barometer.ini and starts showing the state.
  void OnShow();
  // The settings the fields hold; a port that is not a whole number
  // comes out as 0, which the check refuses.
  TmqttSettings FieldSettings() const;
  void FillFields(const TmqttSettings& settings);
  // TLS switched on or off: a port left at one default takes the other.
  void cb_tlsClick();
  void bt_ca_fileClick();
  // Checks the fields and connects once with them, beside the running
  // connection; the answer appears in lb_test.
  void bt_testClick();
  // The periodic refresh of lb_test and lb_state.
  void OnStateTimer();
  void bt_okClick();
  void bt_cancelClick();

  QCheckBox* cb_enabled = nullptr;
  QLineEdit* ed_host = nullptr;
  QLineEdit* ed_port = nullptr;
  QCheckBox* cb_tls = nullptr;
  QLineEdit* ed_ca_file = nullptr;
  QPushButton* bt_ca_file = nullptr;
  QLineEdit* ed_user = nullptr;
  QLineEdit* ed_password = nullptr;
  QLineEdit* ed_client_id = nullptr;
  QLineEdit* ed_base_topic = nullptr;
  QLineEdit* ed_interval = nullptr;
  QCheckBox* cb_retain = nullptr;
  QCheckBox* cb_discovery = nullptr;
  QPushButton* bt_test = nullptr;
  QLabel* lb_test = nullptr;
  QLabel* lb_state = nullptr;
  QPushButton* bt_ok = nullptr;
  QPushButton* bt_cancel = nullptr;
  QTimer* state_timer = nullptr;

  // The connection test's own client, while one runs or has answered.
  std::unique_ptr<Tmqtt_client> test_client;

 private:
  // Says the problem in a box; true when there was none.
  bool Check(const TmqttSettings& settings);
};
