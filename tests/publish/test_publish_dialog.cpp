// The "Publish to MQTT" dialog: each bad field refused with a box naming it
// and nothing saved; good fields saved to barometer.ini and in force at
// once; the connection test's answer in words.

#include <sys/stat.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include "main/Program.h"
#include "main/Publishing.h"
#include "main/Tmain.h"
#include "settings/Tpublish.h"
#include "support_broker.h"
#include "support_program.h"

namespace {

class PublishDialogTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    StartMeasuringProgram();
    dialog = std::make_unique<TWpublish>();
    dialog->OnShow();
  }
  void TearDown() override {
    dialog.reset();
    ProgramTest::TearDown();
  }
  // Good fields for a broker on `port`.
  void FillGood(int port) {
    dialog->cb_enabled->setChecked(true);
    dialog->ed_host->setText("127.0.0.1");
    dialog->ed_port->setText(QString::number(port));
    dialog->ed_base_topic->setText("room/barometer");
    dialog->ed_interval->setText("0");
  }
  std::string LastError() const {
    for (auto c = dialogs.calls.rbegin(); c != dialogs.calls.rend(); ++c)
      if (c->kind == ScriptedDialogs::Kind::Error) return c->text;
    return "";
  }

  std::unique_ptr<TWpublish> dialog;
  QTemporaryDir broker_dir;
};

TEST_F(PublishDialogTest, EachBadFieldIsRefusedAndNothingIsSaved) {
  struct Case {
    const char* what;
    std::function<void(TWpublish&)> spoil;
    const char* field;
  };
  const Case cases[] = {
      {"port 0", [](TWpublish& d) { d.ed_port->setText("0"); }, "Port:"},
      {"port 65536", [](TWpublish& d) { d.ed_port->setText("65536"); }, "Port:"},
      {"port not a number", [](TWpublish& d) { d.ed_port->setText("18 83"); }, "Port:"},
      {"no host", [](TWpublish& d) { d.ed_host->setText("  "); }, "Host:"},
      {"topic with +", [](TWpublish& d) { d.ed_base_topic->setText("home/+/baro"); },
       "Base topic:"},
      {"topic with #", [](TWpublish& d) { d.ed_base_topic->setText("home/#"); }, "Base topic:"},
      {"missing CA file",
       [](TWpublish& d) {
         d.cb_tls->setChecked(true);
         d.ed_ca_file->setText("/nonexistent/ca.crt");
       },
       "CA file:"},
      {"interval", [](TWpublish& d) { d.ed_interval->setText("-5"); }, "Interval:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dialog->OnShow();
    FillGood(1883);
    c.spoil(*dialog);
    const size_t boxes = dialogs.calls.size();
    dialog->bt_okClick();
    ASSERT_EQ(dialogs.calls.size(), boxes + 1);
    EXPECT_EQ(LastError().rfind(c.field, 0), 0u) << LastError();
    EXPECT_FALSE(Exists(PathOf("barometer.ini")));
    EXPECT_FALSE(Program().publisher->client.Running());
    // The connection test refuses the same fields.
    dialog->bt_testClick();
    EXPECT_EQ(LastError().rfind(c.field, 0), 0u) << LastError();
    EXPECT_EQ(dialog->test_client, nullptr);
  }
  // Switched off, an empty host is fine.
  dialog->OnShow();
  dialog->bt_okClick();
  EXPECT_TRUE(Exists(PathOf("barometer.ini")));
}

TEST_F(PublishDialogTest, GoodFieldsAreSavedAndPublishedAtOnce) {
  TestBroker broker(broker_dir.path().toStdString(), TestBroker::Kind::Password);
  ASSERT_TRUE(broker.Start()) << broker.Failure();
  FillGood(broker.Port());
  dialog->ed_user->setText(TestBroker::kUser);
  dialog->ed_password->setText("wrong");

  // The test says the broker's answer, and the TLS switch moves the port
  // only between the two defaults.
  dialog->bt_testClick();
  EXPECT_EQ(dialog->lb_test->text(), "Testing...");
  ASSERT_TRUE(WaitUntil([&] {
    dialog->OnStateTimer();
    return dialog->lb_test->text() != "Testing...";
  }));
  EXPECT_EQ(dialog->lb_test->text(), "not authorised");
  dialog->ed_password->setText(TestBroker::kPassword);
  dialog->bt_testClick();
  ASSERT_TRUE(WaitUntil([&] {
    dialog->OnStateTimer();
    return dialog->lb_test->text() != "Testing...";
  }));
  EXPECT_EQ(dialog->lb_test->text(), "connected");

  dialog->bt_okClick();
  EXPECT_EQ(ErrorCount(), 0);
  const std::string ini = ReadFile(PathOf("barometer.ini"));
  EXPECT_EQ(ValueOf(ini, "mqtt_enabled"), "1");
  EXPECT_EQ(ValueOf(ini, "mqtt_port"), std::to_string(broker.Port()));
  EXPECT_EQ(ValueOf(ini, "mqtt_password"), TestBroker::kPassword);
  EXPECT_EQ(ValueOf(ini, "mqtt_base_topic"), "room/barometer");
  struct stat info {};
  ASSERT_EQ(stat(PathOf("barometer.ini").toLocal8Bit().constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  TestSubscriber subscriber(broker.Port(), {"room/barometer/state"}, TestBroker::kUser);
  ASSERT_TRUE(WaitUntil(
      [] { return Program().publisher->client.Status().phase == TmqttPhase::Connected; }));
  MeasureTicks(1);
  EXPECT_TRUE(subscriber.WaitFor("room/barometer/state", 1));
  dialog->OnStateTimer();
  EXPECT_TRUE(dialog->lb_state->text().startsWith("Now: Connected"))
      << dialog->lb_state->text().toStdString();

  // Shown again, the dialog holds what was saved.
  TWpublish again;
  again.OnShow();
  EXPECT_EQ(again.ed_port->text().toInt(), broker.Port());
  EXPECT_EQ(again.ed_user->text(), TestBroker::kUser);
  EXPECT_TRUE(again.cb_enabled->isChecked());
  again.cb_tls->setChecked(true);
  again.cb_tlsClick();
  EXPECT_EQ(again.ed_port->text().toInt(), broker.Port());  // not a default: kept
  again.ed_port->setText("1883");
  again.cb_tlsClick();
  EXPECT_EQ(again.ed_port->text(), "8883");
}

}  // namespace
