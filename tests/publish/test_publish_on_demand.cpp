// The whole program on the simulated module, in virtual time: while it does
// not publish, neither libmosquitto nor the TLS libraries it needs are in
// the process; switching publishing on in the dialog opens them and
// publishes. A library that cannot be opened is a connection failure in
// words, and measuring goes on. This executable does not link libmosquitto
// itself, so what is mapped is the program's own doing.

#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <fstream>

#include "main/Program.h"
#include "main/Publishing.h"
#include "main/Tmain.h"
#include "publish/Mosquitto_library.h"
#include "settings/Tpublish.h"
#include "support_broker.h"
#include "support_program.h"
#include "windows/Tdebug.h"

namespace {

// Whether a shared object whose file name starts with `prefix` is mapped.
bool Mapped(const std::string& prefix) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    const size_t slash = line.rfind('/');
    if (slash != std::string::npos && line.compare(slash + 1, prefix.size(), prefix) == 0)
      return true;
  }
  return false;
}

const char* const kLibraries[] = {"libmosquitto.so", "libssl.so", "libcrypto.so"};

class PublishOnDemandTest : public ProgramTest {
 protected:
  void TearDown() override {
    Mosquitto_library::UseFile(Mosquitto_library::kDefaultFile);
    ProgramTest::TearDown();
  }
  // Publishing switched on in the dialog, as the user does, to the broker.
  void SwitchOn(int port) {
    TWpublish dialog;
    dialog.OnShow();
    dialog.cb_enabled->setChecked(true);
    dialog.ed_host->setText("127.0.0.1");
    dialog.ed_port->setText(QString::number(port));
    dialog.ed_base_topic->setText("room/barometer");
    dialog.ed_interval->setText("0");
    dialog.bt_okClick();
  }
  Tmqtt_client& Client() { return Program().publisher->client; }

  QTemporaryDir broker_dir;
};

TEST_F(PublishOnDemandTest, TheLibraryIsOpenedOnlyWhenPublishingIsSwitchedOn) {
  StartMeasuringProgram();
  MeasureTicks(3);
  ASSERT_TRUE(Program().Wmain->last_sample_good);
  EXPECT_FALSE(Client().Running());
  for (const char* library : kLibraries) EXPECT_FALSE(Mapped(library)) << library;
  // Nor is the USB adapter library, with no adapter chosen.
  EXPECT_FALSE(Mapped("libftdi1.so"));
  EXPECT_FALSE(Mapped("libusb-1.0.so"));

  TestBroker broker(broker_dir.path().toStdString(), TestBroker::Kind::Anonymous);
  ASSERT_TRUE(broker.Start()) << broker.Failure();

  // A library that is not there: the attempt fails with the loader's
  // message and is tried again later; the program measures on, no box.
  Mosquitto_library::UseFile("libmosquitto-absent.so.1");
  SwitchOn(broker.Port());
  ASSERT_TRUE(Client().Running());
  ASSERT_TRUE(WaitUntil([&] { return Client().Status().phase == TmqttPhase::Waiting; }));
  const std::string words = Client().Status().words;
  EXPECT_EQ(words.rfind("MQTT library not loaded: libmosquitto-absent.so.1", 0), 0u) << words;
  MeasureTicks(3);
  EXPECT_TRUE(Program().Wmain->last_sample_good);
  EXPECT_EQ(ErrorCount(), 0);
  Program().Wdebug->UpdatePublishState();
  EXPECT_TRUE(Program().Wdebug->lb_mqtt->text().contains("MQTT library not loaded"))
      << Program().Wdebug->lb_mqtt->text().toStdString();
  for (const char* library : kLibraries) EXPECT_FALSE(Mapped(library)) << library;

  // A library that opens but lacks the functions: the first one missing is
  // named, and the library is let go again.
  Mosquitto_library::UseFile("libc.so.6");
  SwitchOn(broker.Port());
  ASSERT_TRUE(WaitUntil([&] { return Client().Status().phase == TmqttPhase::Waiting; }));
  EXPECT_NE(Client().Status().words.find("undefined symbol: mosquitto_lib_init"), std::string::npos)
      << Client().Status().words;
  MeasureTicks(1);
  EXPECT_TRUE(Program().Wmain->last_sample_good);

  // The real one: opened at the attempt that the dialog's OK starts, then
  // connected and publishing every sample.
  Mosquitto_library::UseFile(Mosquitto_library::kDefaultFile);
  SwitchOn(broker.Port());
  ASSERT_TRUE(WaitUntil([&] { return Client().Status().phase == TmqttPhase::Connected; }))
      << StatusText(Client().Status());
  for (const char* library : kLibraries) EXPECT_TRUE(Mapped(library)) << library;

  // The broker's own command-line subscriber takes the state messages.
  QProcess subscriber;
  subscriber.start("mosquitto_sub", {"-h", "127.0.0.1", "-p", QString::number(broker.Port()), "-t",
                                     "room/barometer/state", "-C", "1", "-W", "30"});
  ASSERT_TRUE(subscriber.waitForStarted());
  ASSERT_TRUE(WaitUntil(
      [&] {
        MeasureTicks(1);
        return subscriber.waitForFinished(50);
      },
      std::chrono::seconds(40)));
  ASSERT_EQ(subscriber.exitCode(), 0) << subscriber.readAllStandardError().toStdString();
  const QJsonObject state = QJsonDocument::fromJson(subscriber.readAllStandardOutput()).object();
  ASSERT_TRUE(state.contains("pressure"));
  EXPECT_NEAR(state["pressure"].toDouble(), Program().Wmain->p_local, 0.5);
  EXPECT_GE(Client().Status().states_published, 1);
}

}  // namespace
