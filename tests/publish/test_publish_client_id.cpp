// The default client id: one per program and working folder, so that two
// copies publishing to one broker never throw each other off.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <thread>

#include "publish/Tmqtt_client.h"
#include "support_broker.h"

namespace {

TEST(ClientId, OnePerProgramAndFolderAndStable) {
  QTemporaryDir dir;
  const std::string a = dir.filePath("a").toStdString(), b = dir.filePath("b").toStdString();
  ASSERT_EQ(mkdir(a.c_str(), 0700), 0);
  ASSERT_EQ(mkdir(b.c_str(), 0700), 0);
  const std::string link = dir.filePath("link").toStdString();
  ASSERT_EQ(symlink(a.c_str(), link.c_str()), 0);

  const std::string real_a = DefaultClientId("barometer", "station", a);
  EXPECT_EQ(real_a.rfind("barometer-", 0), 0u) << real_a;
  EXPECT_EQ(DefaultClientId("barometer", "station", a), real_a);
  EXPECT_EQ(DefaultClientId("barometer", "station", link), real_a) << "the real path counts";
  EXPECT_EQ(DefaultClientId("barometer", "station", a + "/."), real_a);
  EXPECT_NE(DefaultClientId("barometer-sim", "station", a), real_a);
  EXPECT_NE(DefaultClientId("barometer", "station", b), real_a);
  EXPECT_NE(DefaultClientId("barometer", "other", a), real_a) << "same folder, other machine";
  EXPECT_EQ(DefaultClientId("barometer-sim", "station", a).rfind("barometer-sim-", 0), 0u);
  EXPECT_LE(DefaultClientId("barometer-sim", "station", a).size(), 23u);
  // A name the broker takes as is, and the discovery id the same text.
  const std::string id = DefaultClientId("barometer-sim", "station", a);
  EXPECT_EQ(NodeIdOf(id), id);

  // The setter chooses the program of the no-argument form.
  const std::string before = ProgramName();
  SetProgramName("barometer-sim");
  EXPECT_EQ(DefaultClientId(), DefaultClientId("barometer-sim", HostName(), "."));
  SetProgramName("");
  EXPECT_EQ(ProgramName(), "barometer");
  SetProgramName(before);
}

// The real and the simulated program in one folder, and a second real one in
// another, all with their default ids and the default base topic on one
// broker: each connects once and stays connected. With a shared id the broker
// threw the older one off at every reconnect, once a second.
TEST(ClientId, CopiesOnOneBrokerStayConnected) {
  QTemporaryDir dir;
  TestBroker broker(dir.path().toStdString(), TestBroker::Kind::Anonymous);
  ASSERT_TRUE(broker.Start()) << broker.Failure();
  const std::string other = dir.filePath("other").toStdString();
  ASSERT_EQ(mkdir(other.c_str(), 0700), 0);

  TestSubscriber subscriber(broker.Port(), {DefaultBaseTopic() + "/availability"});
  ASSERT_TRUE(WaitUntil([&] { return subscriber.Connected(); }));
  const std::string cwd = QDir::currentPath().toStdString();
  const std::vector<std::string> ids = {DefaultClientId("barometer", HostName(), cwd),
                                        DefaultClientId("barometer-sim", HostName(), cwd),
                                        DefaultClientId("barometer", HostName(), other)};
  Tmqtt_client clients[3];
  for (size_t i = 0; i < ids.size(); ++i) {
    TmqttSettings s;
    s.enabled = true;
    s.host = "127.0.0.1";
    s.port = broker.Port();
    s.client_id = ids[i];
    s.base_topic = DefaultBaseTopic();
    s.discovery = false;
    clients[i].Start(s);
  }
  auto all_connected = [&] {
    for (const Tmqtt_client& c : clients)
      if (c.Status().phase != TmqttPhase::Connected) return false;
    return true;
  };
  ASSERT_TRUE(WaitUntil(all_connected));

  // A thrown-off client is back within its first pause of 1 s, so 12 s of
  // watching sees a dozen rounds of flapping where there is any.
  std::this_thread::sleep_for(std::chrono::seconds(12));
  for (size_t i = 0; i < ids.size(); ++i) {
    EXPECT_EQ(clients[i].Status().phase, TmqttPhase::Connected) << ids[i];
    EXPECT_EQ(clients[i].Status().connections, 1) << ids[i];
  }
  int online = 0, offline = 0;
  for (const TestSubscriber::Message& m : subscriber.Messages()) {
    online += m.payload == "online";
    offline += m.payload == "offline";
  }
  EXPECT_EQ(online, 3);
  EXPECT_EQ(offline, 0);
}

}  // namespace
