#include "settings/Tpublish.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "components/UiStyle.h"
#include "components/Window_place.h"
#include "main/Program.h"
#include "main/Publishing.h"
#include "main/Tservice_view.h"
#include "platform/Dialogs.h"
#include "publish/Tmqtt_client.h"
#include "settings/Tsettings_layout.h"

using namespace settings_layout;

namespace {

QLineEdit* Field(QWidget* parent, int x, int y, int w) {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(x, y, w, 21);
  return edit;
}

QCheckBox* Check(QWidget* parent, int x, int y, int w, const QString& text) {
  auto* box = new QCheckBox(text, parent);
  box->setGeometry(x, y, w, 21);
  return box;
}

// A whole number in the field, or `invalid`.
int WholeNumber(const QLineEdit* edit, int invalid) {
  bool ok = false;
  const int value = edit->text().trimmed().toInt(&ok);
  return ok ? value : invalid;
}

}  // namespace

TWpublish::TWpublish(QWidget* parent) : QDialog(parent) {
  SetFixedDialogFrame(this, "Publish to MQTT", 440, 446);
  (new Twindow_place(this))->CentreWhenShown();
  setFont(ArialFont(11));

  cb_enabled = ::Check(this, 16, 10, 400, "Publish the readings to an MQTT broker");

  Group(this, 8, 38, 424, 180, "Broker");
  Text(this, 20, 60, 90, 21, "Host");
  ed_host = Field(this, 112, 60, 200);
  Text(this, 322, 60, 34, 21, "Port");
  ed_port = Field(this, 356, 60, 64);
  cb_tls = ::Check(this, 112, 86, 300, "TLS, with the broker's certificate checked");
  Text(this, 20, 112, 90, 21, "CA file");
  ed_ca_file = Field(this, 112, 112, 276);
  ed_ca_file->setPlaceholderText("the system's certificate store");
  bt_ca_file = new QPushButton("...", this);
  bt_ca_file->setGeometry(394, 112, 26, 21);
  bt_ca_file->setAutoDefault(false);
  Text(this, 20, 138, 90, 21, "User");
  ed_user = Field(this, 112, 138, 308);
  Text(this, 20, 164, 90, 21, "Password");
  ed_password = Field(this, 112, 164, 308);
  ed_password->setEchoMode(QLineEdit::Password);
  Text(this, 20, 190, 90, 21, "Client id");
  ed_client_id = Field(this, 112, 190, 308);
  // Empty is the default of this program and folder, shown greyed.
  ed_client_id->setPlaceholderText(QString::fromStdString(DefaultClientId()));

  Group(this, 8, 226, 424, 110, "Messages");
  Text(this, 20, 248, 90, 21, "Base topic");
  ed_base_topic = Field(this, 112, 248, 308);
  Text(this, 20, 274, 90, 21, "Interval");
  ed_interval = Field(this, 112, 274, 64);
  Text(this, 182, 274, 238, 21, "seconds (0: every sample)");
  cb_retain = ::Check(this, 112, 300, 120, "Retain the state");
  cb_discovery = ::Check(this, 238, 300, 190, "Home Assistant discovery");

  bt_test = new QPushButton("Test connection", this);
  bt_test->setGeometry(8, 346, 120, 25);
  bt_test->setAutoDefault(false);
  lb_test = Text(this, 136, 346, 296, 25, "");
  lb_state = Paragraph(this, 8, 378, 424, 30, "");

  bt_ok = new QPushButton("OK", this);
  bt_ok->setGeometry(130, 412, 81, 25);
  bt_ok->setAutoDefault(false);
  bt_cancel = new QPushButton("Cancel", this);
  bt_cancel->setGeometry(229, 412, 81, 25);
  bt_cancel->setAutoDefault(false);

  state_timer = new QTimer(this);
  state_timer->setInterval(250);
  connect(state_timer, &QTimer::timeout, this, [this] { OnStateTimer(); });
  connect(cb_tls, &QCheckBox::clicked, this, [this] { cb_tlsClick(); });
  connect(bt_ca_file, &QPushButton::clicked, this, [this] { bt_ca_fileClick(); });
  connect(bt_test, &QPushButton::clicked, this, [this] { bt_testClick(); });
  connect(bt_ok, &QPushButton::clicked, this, [this] { bt_okClick(); });
  connect(bt_cancel, &QPushButton::clicked, this, [this] { bt_cancelClick(); });
}

TWpublish::~TWpublish() = default;

void TWpublish::OnShow() {
  // A viewer shows and changes the recording service's publishing; its
  // password and CA file never leave the service.
  const Tservice_view* service = Program().service;
  FillFields(service != nullptr ? service->ServiceMqtt() : LoadMqttSettings(Program().ini));
  ed_password->setPlaceholderText(service != nullptr ? "kept by the service unless typed" : "");
  ed_client_id->setPlaceholderText(service != nullptr ? "the service's own"
                                                      : QString::fromStdString(DefaultClientId()));
  for (QWidget* w : {static_cast<QWidget*>(ed_ca_file), static_cast<QWidget*>(bt_ca_file)})
    w->setEnabled(service == nullptr);
  test_client.reset();
  lb_test->clear();
  OnStateTimer();
  state_timer->start();
}

void TWpublish::FillFields(const TmqttSettings& s) {
  cb_enabled->setChecked(s.enabled);
  ed_host->setText(QString::fromStdString(s.host));
  ed_port->setText(QString::number(s.port));
  cb_tls->setChecked(s.tls);
  ed_ca_file->setText(QString::fromStdString(s.ca_file));
  ed_user->setText(QString::fromStdString(s.user));
  ed_password->setText(QString::fromStdString(s.password));
  ed_client_id->setText(QString::fromStdString(s.client_id));
  ed_base_topic->setText(QString::fromStdString(s.base_topic));
  ed_interval->setText(QString::number(s.interval));
  cb_retain->setChecked(s.retain);
  cb_discovery->setChecked(s.discovery);
}

TmqttSettings TWpublish::FieldSettings() const {
  TmqttSettings s;
  s.enabled = cb_enabled->isChecked();
  s.host = ed_host->text().trimmed().toStdString();
  s.port = WholeNumber(ed_port, 0);
  s.tls = cb_tls->isChecked();
  s.ca_file = ed_ca_file->text().trimmed().toStdString();
  s.user = ed_user->text().toStdString();
  s.password = ed_password->text().toStdString();
  s.client_id = ed_client_id->text().trimmed().toStdString();
  s.base_topic = ed_base_topic->text().trimmed().toStdString();
  s.interval = WholeNumber(ed_interval, -1);
  s.retain = cb_retain->isChecked();
  s.discovery = cb_discovery->isChecked();
  return s;
}

void TWpublish::cb_tlsClick() {
  const int port = WholeNumber(ed_port, 0);
  if (cb_tls->isChecked() && port == TmqttSettings::kPlainPort)
    ed_port->setText(QString::number(TmqttSettings::kTlsPort));
  else if (!cb_tls->isChecked() && port == TmqttSettings::kTlsPort)
    ed_port->setText(QString::number(TmqttSettings::kPlainPort));
}

void TWpublish::bt_ca_fileClick() {
  Dialogs* dialogs = Program().dialogs;
  std::string name = ed_ca_file->text().toStdString();
  if (dialogs && dialogs->OpenFileName(name, "crt"))
    ed_ca_file->setText(QString::fromStdString(name));
}

bool TWpublish::Check(const TmqttSettings& settings) {
  const std::optional<TmqttProblem> problem = CheckMqttSettings(settings);
  if (!problem) return true;
  if (Program().dialogs) Program().dialogs->Error(problem->text);
  return false;
}

void TWpublish::bt_testClick() {
  TmqttSettings s = FieldSettings();
  s.enabled = true;  // a test needs a host, whatever the switch says
  if (!Check(s)) return;
  if (!test_client) test_client = std::make_unique<Tmqtt_client>();
  test_client->StartTest(s);
  lb_test->setText("Testing...");
}

void TWpublish::OnStateTimer() {
  if (test_client) {
    const TmqttStatus status = test_client->Status();
    if (status.phase == TmqttPhase::Done) {
      lb_test->setText(QString::fromStdString(status.words));
      test_client.reset();
    }
  }
  if (const Tservice_view* service = Program().service) {
    lb_state->setText(service->ServiceMqtt().enabled ? "Now: Published by the recording service"
                                                     : "Now: Not publishing");
    return;
  }
  const Tpublisher* publisher = Program().publisher;
  lb_state->setText(QString::fromStdString(
      "Now: " + (publisher ? StatusText(publisher->client.Status()) : "Not publishing")));
}

void TWpublish::bt_okClick() {
  const TmqttSettings s = FieldSettings();
  if (!Check(s)) return;
  ProgramState& program = Program();
  if (program.service != nullptr) {
    // The service checks, applies, keeps and announces them; a refusal
    // comes back as a box.
    program.service->SendMqtt(s);
    state_timer->stop();
    test_client.reset();
    accept();
    return;
  }
  StoreMqttSettings(program.ini, s);
  if (!program.ini.Save() && program.dialogs)
    program.dialogs->Error("Error : Unable to save " + program.ini.Path() + ": " +
                           program.ini.LastError());
  if (program.publisher) program.publisher->Apply(s);
  state_timer->stop();
  test_client.reset();
  accept();
}

void TWpublish::bt_cancelClick() {
  state_timer->stop();
  test_client.reset();
  reject();
}
