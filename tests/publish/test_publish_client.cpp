// The client on its own against a real broker: the broker's answers in
// words, TLS with a trusted and an untrusted CA, and a broker that goes away
// and comes back.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTemporaryDir>

#include "publish/Tmqtt_client.h"
#include "support_broker.h"

namespace {

class ClientTest : public ::testing::Test {
 protected:
  TmqttSettings SettingsFor(const TestBroker& broker) {
    TmqttSettings s;
    s.enabled = true;
    s.host = "127.0.0.1";
    s.port = broker.Port();
    s.client_id = "client-test";
    s.base_topic = "test/client";
    s.interval = 0;
    s.retain = true;
    return s;
  }
  // The words of a connection test once it has its answer.
  std::string TestAnswer(const TmqttSettings& s,
                         std::chrono::seconds limit = std::chrono::seconds(20)) {
    Tmqtt_client probe;
    probe.StartTest(s);
    EXPECT_TRUE(WaitUntil([&] { return probe.Status().phase == TmqttPhase::Done; }, limit));
    return probe.Status().words;
  }

  QTemporaryDir dir;
};

TEST_F(ClientTest, TheBrokersAnswerInWords) {
  TestBroker broker(dir.path().toStdString(), TestBroker::Kind::Password);
  ASSERT_TRUE(broker.Start()) << broker.Failure();
  TmqttSettings s = SettingsFor(broker);

  EXPECT_EQ(TestAnswer(s), "not authorised");
  s.user = TestBroker::kUser;
  s.password = "wrong";
  EXPECT_EQ(TestAnswer(s), "not authorised");
  s.password = TestBroker::kPassword;
  EXPECT_EQ(TestAnswer(s), "connected");

  s.port = FreeLoopbackPort();
  EXPECT_EQ(TestAnswer(s), "connection refused");
  s.host = "no-such-host.invalid";
  EXPECT_EQ(TestAnswer(s, std::chrono::seconds(60)), "name not found");
}

TEST_F(ClientTest, TlsTrustsOnlyTheChosenCa) {
  TestBroker broker(dir.path().toStdString(), TestBroker::Kind::Tls);
  ASSERT_TRUE(broker.Start()) << broker.Failure();
  TmqttSettings s = SettingsFor(broker);
  s.tls = true;
  s.host = "localhost";

  s.ca_file = broker.TrustedCa();
  EXPECT_EQ(TestAnswer(s), "connected");
  s.ca_file = broker.UntrustedCa();
  EXPECT_EQ(TestAnswer(s), "TLS: certificate not trusted");
  // The system's store knows nothing of the test CA.
  s.ca_file.clear();
  EXPECT_EQ(TestAnswer(s), "TLS: certificate not trusted");
  // Plain MQTT to the TLS port gets no answer the client understands.
  s.tls = false;
  EXPECT_NE(TestAnswer(s), "connected");
}

TEST_F(ClientTest, ABrokerThatNeverAnswersIsGivenUp) {
  // A listening socket that takes the connection and says nothing.
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(sock, 4), 0);
  ASSERT_EQ(getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length), 0);
  TmqttSettings s;
  s.enabled = true;
  s.host = "127.0.0.1";
  s.port = ntohs(address.sin_port);
  s.base_topic = "test/silent";
  EXPECT_EQ(TestAnswer(s, std::chrono::seconds(Tmqtt_client::kAnswerSeconds + 10)),
            "no answer from the broker");
  close(sock);
}

TEST_F(ClientTest, ReconnectsAndSendsTheLatestStateOnly) {
  TestBroker broker(dir.path().toStdString(), TestBroker::Kind::Anonymous);
  ASSERT_TRUE(broker.Start()) << broker.Failure();
  Tmqtt_client client;
  client.Start(SettingsFor(broker));
  ASSERT_TRUE(WaitUntil([&] { return client.Status().phase == TmqttPhase::Connected; }));

  broker.Stop();
  ASSERT_TRUE(WaitUntil([&] { return client.Status().phase == TmqttPhase::Waiting; }));
  EXPECT_EQ(client.Status().words, "connection lost");
  // Samples while the broker is away: only the last one will be sent.
  TmqttState state;
  for (int i = 0; i < 50; ++i) {
    state.time = 1700000000 + i;
    state.pressure = 1000 + i;
    client.Offer(state);
  }
  ASSERT_TRUE(broker.Start()) << broker.Failure();
  TestSubscriber subscriber(broker.Port(), {"test/client/#"});
  ASSERT_TRUE(subscriber.WaitFor("test/client/state", 1, std::chrono::seconds(20)));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto states = subscriber.On("test/client/state");
  ASSERT_EQ(states.size(), 1u);
  EXPECT_NE(states[0].payload.find("\"pressure\":1049.00"), std::string::npos) << states[0].payload;
  EXPECT_EQ(client.Status().connections, 2);
  EXPECT_EQ(subscriber.On("test/client/availability").back().payload, "online");
}

}  // namespace
