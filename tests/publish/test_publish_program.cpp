// The whole program on the simulated module, in virtual time, publishing to
// a real broker: the state at its interval with the main window's values,
// discovery, availability, a broker that goes away, refused credentials,
// and the will of a killed barometer-sim.

#include <signal.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <fstream>

#include "archive/Tarchive_tendency.h"
#include "main/Program.h"
#include "main/Publishing.h"
#include "main/Tmain.h"
#include "support_broker.h"
#include "support_program.h"
#include "windows/Tdebug.h"

namespace {

QJsonObject Json(const std::string& payload) {
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(payload), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << payload;
  return doc.object();
}

class PublishProgramTest : public ProgramTest {
 protected:
  // barometer.ini in the working folder pointing at the broker.
  void WriteIni(const TestBroker& broker, const std::string& extra = "") {
    std::ofstream ini(PathOf("barometer.ini").toStdString());
    ini << "mqtt_enabled\t1\nmqtt_host\t127.0.0.1\nmqtt_port\t" << broker.Port()
        << "\nmqtt_client_id\tbench-room\nmqtt_base_topic\thome/barometer\nmqtt_interval\t10\n"
        << extra;
  }
  Tmqtt_client& Client() { return Program().publisher->client; }
  bool WaitConnected() {
    return WaitUntil([&] { return Client().Status().phase == TmqttPhase::Connected; });
  }

  QTemporaryDir broker_dir;
};

TEST_F(PublishProgramTest, PublishesStateAtItsIntervalWithDiscoveryAndAvailability) {
  TestBroker broker(broker_dir.path().toStdString(), TestBroker::Kind::Anonymous);
  ASSERT_TRUE(broker.Start()) << broker.Failure();
  TestSubscriber subscriber(broker.Port(), {"home/#", "homeassistant/#"});
  WriteIni(broker);
  StartMeasuringProgram();
  ASSERT_TRUE(WaitConnected()) << StatusText(Client().Status());
  ASSERT_TRUE(subscriber.WaitFor("home/barometer/availability", 1));
  EXPECT_EQ(subscriber.On("home/barometer/availability")[0].payload, "online");

  // Discovery: one retained config per reading, all of one device.
  ASSERT_TRUE(WaitUntil([&] {
    int configs = 0;
    for (const auto& m : subscriber.Messages()) configs += m.topic.rfind("homeassistant/", 0) == 0;
    return configs >= 7;
  }));
  std::map<std::string, QJsonObject> configs;
  for (const auto& m : subscriber.Messages()) {
    if (m.topic.rfind("homeassistant/sensor/bench-room/", 0) != 0) continue;
    const std::string object_id = m.topic.substr(32, m.topic.size() - 32 - 7);
    ASSERT_EQ(m.topic, "homeassistant/sensor/bench-room/" + object_id + "/config");
    configs[object_id] = Json(m.payload);
  }
  ASSERT_EQ(configs.size(), 7u);
  const std::map<std::string, std::pair<QString, QString>> classes = {
      {"pressure", {"atmospheric_pressure", "hPa"}},
      {"sea_level_pressure", {"atmospheric_pressure", "hPa"}},
      {"temperature", {"temperature", QString::fromUtf8("\u00b0C")}},
      {"altitude", {"distance", "m"}},
      {"tendency_3h", {"", "hPa"}},
      {"tendency_code", {"", ""}},
      {"weather", {"", ""}}};
  for (const auto& [id, config] : configs) {
    SCOPED_TRACE(id);
    ASSERT_TRUE(classes.count(id));
    EXPECT_EQ(config["device_class"].toString(), classes.at(id).first);
    EXPECT_EQ(config["unit_of_measurement"].toString(), classes.at(id).second);
    EXPECT_EQ(config["state_class"].toString(),
              classes.at(id).second.isEmpty() ? "" : "measurement");
    EXPECT_EQ(config["unique_id"].toString(), QString::fromStdString("bench-room_" + id));
    EXPECT_EQ(config["state_topic"].toString(), "home/barometer/state");
    EXPECT_EQ(config["availability_topic"].toString(), "home/barometer/availability");
    EXPECT_EQ(config["value_template"].toString(),
              QString::fromStdString("{{ value_json." + id + " }}"));
    const QJsonObject device = config["device"].toObject();
    EXPECT_EQ(device["name"].toString(), "Barometer");
    EXPECT_EQ(device["identifiers"].toArray().at(0).toString(), "barometer_bench-room");
    EXPECT_FALSE(device["model"].toString().isEmpty());
    EXPECT_FALSE(device["sw_version"].toString().isEmpty());
  }

  // The state: the first sample, then one whenever 10 s of the samples'
  // time have passed, each with the values the main window holds then.
  TWmain* w = Program().Wmain;
  ASSERT_TRUE(subscriber.WaitFor("home/barometer/state", 1));
  std::time_t last = clock.Now();
  size_t expected = 1;
  for (int tick = 0; tick < 30; ++tick) {
    MeasureTicks(1);
    if (clock.Now() - last < 10) continue;
    last = clock.Now();
    ++expected;
    ASSERT_TRUE(subscriber.WaitFor("home/barometer/state", expected)) << tick;
    const auto message = subscriber.On("home/barometer/state").back();
    EXPECT_EQ(message.retained, false);  // live, not a retained one
    const QJsonObject state = Json(message.payload);
    EXPECT_NEAR(state["pressure"].toDouble(), w->p_local, 0.005);
    EXPECT_NEAR(state["sea_level_pressure"].toDouble(), w->p_sea, 0.005);
    EXPECT_NEAR(state["temperature"].toDouble(), w->t_local, 0.005);
    EXPECT_NEAR(state["altitude"].toDouble(), w->alt_shown, 0.05);
    EXPECT_EQ(state["weather"].toString(), w->Panel5->text());
    EXPECT_EQ(state["trend"].toString(), w->pl_trend->text());
    EXPECT_TRUE(state["tendency_3h"].isNull());
    EXPECT_EQ(state["tendency_reason"].toString(), "less than 3 hours of record");
    EXPECT_TRUE(state["tendency_code"].isNull());
    ASSERT_TRUE(state["storm_warning"].isBool());
    EXPECT_FALSE(state["storm_warning"].toBool());
    EXPECT_EQ(state["time"].toString(), QString::fromStdString(IsoLocalTime(clock.Now())));
  }
  EXPECT_GE(expected, 3u);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(subscriber.On("home/barometer/state").size(), expected);

  // A clean end says offline, and leaves it retained for late subscribers.
  EndProgramNow();
  ASSERT_TRUE(subscriber.WaitFor("home/barometer/availability", 2));
  EXPECT_EQ(subscriber.On("home/barometer/availability")[1].payload, "offline");
  TestSubscriber late(broker.Port(), {"home/barometer/availability"});
  ASSERT_TRUE(late.WaitFor("home/barometer/availability", 1));
  EXPECT_EQ(late.Messages()[0].payload, "offline");
  EXPECT_TRUE(late.Messages()[0].retained);
}

TEST_F(PublishProgramTest, AfterThreeHoursTheTendencyIsPublished) {
  TestBroker broker(broker_dir.path().toStdString(), TestBroker::Kind::Anonymous);
  ASSERT_TRUE(broker.Start()) << broker.Failure();
  WriteIni(broker, "mqtt_interval\t600\n");
  StartMeasuringProgram();
  ASSERT_TRUE(WaitConnected());
  MeasureTicks(3 * 3600 + 60);
  TestSubscriber subscriber(broker.Port(), {"home/barometer/state"});
  // The retained state is the one before the last while the last is still on its
  // way to the broker: wait for the one sent within the last interval.
  const auto sent_at = [&] {
    const auto states = subscriber.On("home/barometer/state");
    if (states.empty()) return std::time_t(0);
    const QString time = Json(states.back().payload)["time"].toString();
    return static_cast<std::time_t>(QDateTime::fromString(time, Qt::ISODate).toSecsSinceEpoch());
  };
  ASSERT_TRUE(WaitUntil([&] { return sent_at() > clock.Now() - 600; }));
  const QJsonObject state = Json(subscriber.On("home/barometer/state").back().payload);
  const ThreeHourTendency expected = RecordTendency(Program().archive, sent_at());
  ASSERT_TRUE(expected.HasChange());
  EXPECT_NEAR(state["tendency_3h"].toDouble(), expected.change, 0.05);
  EXPECT_EQ(state["tendency_code"].toInt(-1), expected.code);
  EXPECT_FALSE(state.contains("tendency_reason"));
}

TEST_F(PublishProgramTest, ABrokerThatGoesAwayAndComesBackGetsTheStateAgain) {
  TestBroker broker(broker_dir.path().toStdString(), TestBroker::Kind::Anonymous);
  ASSERT_TRUE(broker.Start()) << broker.Failure();
  WriteIni(broker, "mqtt_interval\t0\n");
  StartMeasuringProgram();
  ASSERT_TRUE(WaitConnected());

  broker.Stop();
  ASSERT_TRUE(WaitUntil([&] { return Client().Status().phase == TmqttPhase::Waiting; }));
  // Measuring goes on meanwhile, without a box.
  const int errors = ErrorCount();
  MeasureTicks(20);
  EXPECT_TRUE(Program().Wmain->last_sample_good);
  EXPECT_EQ(ErrorCount(), errors);
  Program().Wdebug->UpdatePublishState();
  EXPECT_TRUE(Program().Wdebug->lb_mqtt->text().startsWith("MQTT: Not connected: "))
      << Program().Wdebug->lb_mqtt->text().toStdString();

  ASSERT_TRUE(broker.Start()) << broker.Failure();
  TestSubscriber subscriber(broker.Port(), {"home/barometer/#"});
  ASSERT_TRUE(WaitConnected());
  ASSERT_TRUE(subscriber.WaitFor("home/barometer/state", 1));
  EXPECT_NEAR(Json(subscriber.On("home/barometer/state").back().payload)["pressure"].toDouble(),
              Program().Wmain->p_local, 0.005);
  EXPECT_EQ(subscriber.On("home/barometer/availability").back().payload, "online");
  MeasureTicks(1);
  EXPECT_TRUE(subscriber.WaitFor("home/barometer/state", 2));
}

TEST_F(PublishProgramTest, RefusedCredentialsAreShownAndMeasuringGoesOn) {
  TestBroker broker(broker_dir.path().toStdString(), TestBroker::Kind::Password);
  ASSERT_TRUE(broker.Start()) << broker.Failure();
  WriteIni(broker, "mqtt_user\tbarometer\nmqtt_password\twrong\n");
  StartMeasuringProgram();
  ASSERT_TRUE(WaitUntil([&] { return Client().Status().words == "not authorised"; }));
  MeasureTicks(5);
  EXPECT_TRUE(Program().Wmain->last_sample_good);
  EXPECT_EQ(ErrorCount(), 0);
  Program().Wdebug->UpdatePublishState();
  EXPECT_TRUE(Program().Wdebug->lb_mqtt->text().contains("not authorised"));
}

TEST_F(PublishProgramTest, AKilledProgramLeavesItsWill) {
  TestBroker broker(broker_dir.path().toStdString(), TestBroker::Kind::Anonymous);
  ASSERT_TRUE(broker.Start()) << broker.Failure();
  TestSubscriber subscriber(broker.Port(), {"home/barometer/availability"});
  InstallDefaultSetup();
  WriteIni(broker);
  QProcess child;
  child.setWorkingDirectory(PathOf(""));
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(BAROMETER_SIM, {});
  ASSERT_TRUE(child.waitForStarted());
  ASSERT_TRUE(subscriber.WaitFor("home/barometer/availability", 1, std::chrono::seconds(60)));
  EXPECT_EQ(subscriber.Messages()[0].payload, "online");
  ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
  ASSERT_TRUE(child.waitForFinished());
  ASSERT_TRUE(subscriber.WaitFor("home/barometer/availability", 2));
  EXPECT_EQ(subscriber.Messages()[1].payload, "offline");
}

}  // namespace
