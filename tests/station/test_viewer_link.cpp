// The viewer's link to the recording service: its lines read into events,
// lines that are not the service's left aside, and the connection itself.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include "station/Tjson.h"
#include "station/Tviewer_link.h"

namespace {

using Kind = ViewerEvent::Kind;

TEST(ViewerLinkLines, HelloSampleRepliesAndEventsAreRead) {
  auto hello = Tviewer_link::ParseLine(
      R"({"event":"hello","version":"2.2","record":"/var/lib/barometer/barometer.db",)"
      R"("port":"LPT1","settings":{"n":4,"altitude":412.5,"storm_warning":true}})");
  ASSERT_TRUE(hello);
  EXPECT_EQ(hello->kind, Kind::kHello);
  EXPECT_EQ(hello->record, "/var/lib/barometer/barometer.db");
  EXPECT_EQ(hello->port, "LPT1");
  EXPECT_EQ(hello->settings.NumberOf("altitude", 0), 412.5);
  EXPECT_TRUE(hello->settings.BoolOf("storm_warning", false));

  auto sample = Tviewer_link::ParseLine(
      R"({"event":"sample","time":"2026-12-09T05:13:47+01:00","pressure":987.65,)"
      R"("sea_level_pressure":1012.34,"temperature":-3.25,"altitude":231.4,"tendency_3h":-1.2,)"
      R"("tendency_code":6,"weather":"Snow & Rain","trend":"Constant","storm_warning":true,)"
      R"("good":true,"d1":30001,"d2":29002,"reason":""})");
  ASSERT_TRUE(sample);
  const Sample& s = sample->sample;
  EXPECT_TRUE(s.good);
  EXPECT_EQ(s.time, 1796789627);  // 04:13:47 UTC
  EXPECT_EQ(s.pressure, 987.65);
  EXPECT_EQ(s.sea_level_pressure, 1012.34);
  EXPECT_EQ(s.temperature, -3.25);
  EXPECT_EQ(s.altitude, 231.4);
  EXPECT_EQ(*s.d1, 30001);
  EXPECT_EQ(*s.d2, 29002);
  EXPECT_EQ(s.weather, WeatherPrecipitation);
  EXPECT_EQ(s.precipitation, Precipitation::kRainAndSnow);
  EXPECT_TRUE(s.has_trend);
  EXPECT_EQ(s.trend, TrendSteady);
  EXPECT_EQ(*s.tendency_3h, -1.2);
  EXPECT_EQ(s.tendency_code, 6);
  EXPECT_TRUE(s.storm_active);

  // A failed sample: its words and reason, no values; an IIO sample has no
  // words.
  auto failed = Tviewer_link::ParseLine(
      R"({"event":"sample","time":"2026-12-09T04:13:47Z","good":false,"d1":null,"d2":null,)"
      R"("reason":"in_pressure_input: No such device"})");
  ASSERT_TRUE(failed);
  EXPECT_FALSE(failed->sample.good);
  EXPECT_FALSE(failed->sample.d1.has_value());
  EXPECT_EQ(failed->sample.reason, "in_pressure_input: No such device");

  auto refused = Tviewer_link::ParseLine(
      R"({"event":"reply","id":7,"ok":false,"key":"altitude","reason":"out of range"})");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->kind, Kind::kReply);
  EXPECT_EQ(refused->id, 7);
  EXPECT_FALSE(refused->ok);
  EXPECT_EQ(refused->key, "altitude");

  auto storm = Tviewer_link::ParseLine(
      R"({"event":"storm_raised","fall":4.6,"since":"2026-12-09T05:00:00+01:00"})");
  ASSERT_TRUE(storm);
  EXPECT_EQ(storm->fall, 4.6);
  EXPECT_EQ(storm->since, 1796788800);
  for (const char* line : {R"({"event":"module_lost","reason":"no acknowledge"})",
                           R"({"event":"module_back"})", R"({"event":"storm_cleared"})",
                           R"({"event":"stopping"})", R"({"event":"refused","reason":"x"})"})
    EXPECT_TRUE(Tviewer_link::ParseLine(line)) << line;
}

TEST(ViewerLinkLines, LinesThatAreNotTheServicesAreLeftAside) {
  for (const char* line : {
           "",
           "not json",
           "[1,2]",
           "{}",
           R"({"event":"unknown"})",
           R"({"event":7})",
           R"({"event":"sample","good":true})",  // no time
           R"({"event":"sample","time":"2026-12-09T05:13:47+01:00","good":true,"pressure":"x"})",
           R"({"event":"sample","time":"2026-13-09T05:13:47Z","good":false})",
           R"({"event":"settings","settings":3})",
           R"({"event":"settings","settings":{},"calibration":{"w1":1,"w2":2,"w3":3,"w4":65536}})",
           R"({"event":"hello","calibration":{"w1":1.5,"w2":2,"w3":3,"w4":4}})",
           R"({"event":"hello","calibration":[1,2,3,4]})",
           R"({"event":"reply","id":-1,"ok":true})",
           R"({"event":"hello",)",
           R"({"event":"hello"} trailing)",
           "{\"a\":\"\x01\"}",
           R"({"event":"sample","time":"2026-12-09T05:13:47Z","good":true,"pressure":1e999,)"
           R"("sea_level_pressure":1,"temperature":1,"altitude":1})",
       })
    EXPECT_FALSE(Tviewer_link::ParseLine(line)) << line;
  // Nesting past the bound is refused, not followed down the stack.
  EXPECT_FALSE(Tjson::Parse(std::string(100000, '[') + std::string(100000, ']')));
  // Words outside 32 bits are no words.
  auto huge = Tviewer_link::ParseLine(
      R"({"event":"sample","time":"2026-12-09T04:13:47Z","good":false,"d1":1e300,"d2":-5e12})");
  ASSERT_TRUE(huge);
  EXPECT_FALSE(huge->sample.d1.has_value());
  EXPECT_FALSE(huge->sample.d2.has_value());
  // Random bytes never crash the reader.
  std::mt19937 random(36);
  for (int i = 0; i < 2000; ++i) {
    std::string line(random() % 200, '\0');
    for (char& c : line) c = static_cast<char>(random() % 256);
    (void)Tviewer_link::ParseLine(line);
  }
}

TEST(ViewerLinkLines, JsonTextsAndEscapesRoundTrip) {
  auto v = Tjson::Parse(R"({"a":"\u00e9\ud83d\ude00\n","b":[true,null,-1.5e2]})");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->TextOf("a"), "\xc3\xa9\xf0\x9f\x98\x80\n");
  EXPECT_EQ(v->Write(), "{\"a\":\"\xc3\xa9\xf0\x9f\x98\x80\\n\",\"b\":[true,null,-150]}");
}

// A listening socket in a folder of the test's own.
class ViewerLinkSocket : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/viewer-link-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    folder_ = folder;
    path_ = folder_ + "/barometer.sock";
  }
  void TearDown() override {
    StopListening();
    ::unlink(path_.c_str());
    ::rmdir(folder_.c_str());
  }
  void Listen() {
    listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path_.c_str());
    ASSERT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener_, 4), 0);
  }
  void StopListening() {
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
    ::unlink(path_.c_str());
  }
  int Accept() { return ::accept(listener_, nullptr, nullptr); }
  static void Write(int fd, const std::string& text) {
    ASSERT_EQ(::send(fd, text.data(), text.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(text.size()));
  }
  // Polls until an event of `kind` came (bounded, not timed).
  bool PollFor(Tviewer_link& link, Kind kind, std::vector<ViewerEvent>* seen = nullptr) {
    for (int i = 0; i < 500; ++i) {
      std::vector<ViewerEvent> events;
      link.Poll(events);
      for (const ViewerEvent& e : events) {
        if (seen != nullptr) seen->push_back(e);
        if (e.kind == kind) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  std::string folder_, path_;
  int listener_ = -1;
};

TEST_F(ViewerLinkSocket, NoServiceThenAServiceThatStopsAndComesBack) {
  Tviewer_link link(path_);
  std::vector<ViewerEvent> events;
  EXPECT_FALSE(link.WaitForHello(50, events));
  EXPECT_EQ(link.GetState(), Tviewer_link::State::kNoService);
  EXPECT_NE(link.StateText().find("No recording service at " + path_), std::string::npos);

  Listen();
  for (int i = 0; i < 500 && link.Fd() < 0; ++i) {
    std::vector<ViewerEvent> none;
    link.Poll(none);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const int service = Accept();
  ASSERT_GE(service, 0);
  // A line over the limit is skipped whole; the lines around it are read,
  // and a line split over many writes too.
  Write(service, "{\"event\":\"hello\",\"record\":\"r\",\"port\":\"p\",\"settings\":{}}\n");
  Write(service, "{\"event\":\"error\",\"reason\":\"" +
                     std::string(Tviewer_link::kMaxLine + 10, 'x') + "\"}\n");
  Write(service, "{\"event\":\"module_");
  Write(service, "back\"}\n");
  std::vector<ViewerEvent> seen;
  ASSERT_TRUE(PollFor(link, Kind::kModuleBack, &seen));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].kind, Kind::kHello);
  EXPECT_EQ(link.StateText(), "Connected to the recording service");

  // A request goes out as one line.
  const int64_t id = link.SendSet({{"altitude", *Tjson::Parse("412")}});
  EXPECT_EQ(id, 1);
  char buffer[256] = {};
  ASSERT_GT(::recv(service, buffer, sizeof buffer - 1, 0), 0);
  EXPECT_STREQ(buffer, "{\"request\":\"set\",\"id\":1,\"settings\":{\"altitude\":412}}\n");

  // The service goes: the viewer says so and comes back with it.
  ::close(service);
  StopListening();
  ASSERT_TRUE(PollFor(link, Kind::kDisconnected));
  EXPECT_EQ(link.GetState(), Tviewer_link::State::kStopped);
  EXPECT_EQ(link.StateText(), "Recording service stopped");
  EXPECT_EQ(link.SendPing(), 0) << "nothing is sent while away";
  Listen();
  for (int i = 0; i < 500 && link.Fd() < 0; ++i) {
    std::vector<ViewerEvent> none;
    link.Poll(none);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_GE(link.Fd(), 0);
  const int again = Accept();
  Write(again, "{\"event\":\"hello\",\"record\":\"r\",\"port\":\"p\",\"settings\":{}}\n");
  ASSERT_TRUE(PollFor(link, Kind::kHello));
  ::close(again);
}

TEST_F(ViewerLinkSocket, ARefusalIsKeptAndNoServiceIsPretended) {
  Listen();
  Tviewer_link link(path_);
  std::thread service([this] {
    const int fd = Accept();
    Write(fd, "{\"event\":\"refused\",\"reason\":\"not in group barometer\"}\n");
    ::close(fd);
  });
  std::vector<ViewerEvent> events;
  EXPECT_FALSE(link.WaitForHello(2000, events));
  service.join();
  std::vector<ViewerEvent> more;
  link.Poll(more);
  EXPECT_EQ(link.GetState(), Tviewer_link::State::kRefused);
  EXPECT_EQ(link.StateText(), Tviewer_link::kRefusedText);
  // Away from the socket altogether, it stays refused (not "no service"),
  // so the program does not go to the port.
  StopListening();
  std::this_thread::sleep_for(std::chrono::milliseconds(Tviewer_link::kRetryMs + 20));
  link.Poll(more);
  EXPECT_EQ(link.GetState(), Tviewer_link::State::kRefused);
}

TEST(ViewerLinkTime, IsoTimesWithTheirOffsets) {
  EXPECT_EQ(Tviewer_link::ParseIsoTime("1970-01-01T00:00:00Z"), 0);
  EXPECT_EQ(Tviewer_link::ParseIsoTime("1970-01-01T01:00:00+01:00"), 0);
  EXPECT_EQ(Tviewer_link::ParseIsoTime("1969-12-31T19:00:00-05:00"), 0);
  EXPECT_EQ(Tviewer_link::ParseIsoTime("2024-02-29T12:00:00Z"), 1709208000);
  for (const char* bad : {"", "2024-02-29", "2024-02-29T12:00:00", "2024-02-29T12:00:00+1:00",
                          "2024-02-29T25:00:00Z", "2024-02-29 12:00:00Z", "abcd-ef-ghTij:kl:mnZ"})
    EXPECT_FALSE(Tviewer_link::ParseIsoTime(bad)) << bad;
}

}  // namespace
