// The viewers' socket of barometerd's station in this process, on virtual
// time and the simulated module: viewers that watch and change settings,
// the secret that never goes out, and clients that do everything wrong.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModuleLines.h"
#include "service/Tcadence.h"
#include "service/Tservice.h"
#include "service/Tservice_log.h"
#include "service/Tservice_loop.h"
#include "service/Tviewer_server.h"
#include "tests/support/fake_iio.h"
#include "tests/support/sqlite_query.h"

#include "support_service.h"

namespace {

// A viewer's end of the socket, never waiting: what came is read when asked.
struct Client {
  explicit Client(const std::string& path, int receive_buffer = 0) {
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receive_buffer > 0)
      ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
  }
  ~Client() { ::close(fd); }
  // Whether all of it went (a closed or full socket takes less).
  bool Send(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  // The whole lines that came since the last call; `closed` once the
  // service has closed its end.
  std::vector<std::string> Take() {
    char buffer[65536];
    for (;;) {
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        pending.append(buffer, static_cast<size_t>(n));
        continue;
      }
      if (n == 0 || (errno != EAGAIN && errno != EINTR)) closed = true;
      if (n == 0 || errno != EINTR) break;
    }
    std::vector<std::string> lines;
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
      lines.push_back(pending.substr(0, end));
      all.push_back(lines.back());
      pending.erase(0, end + 1);
    }
    return lines;
  }
  int fd;
  bool connected = false;
  bool closed = false;
  std::string pending;
  std::vector<std::string> all;  // every line taken
};

bool Has(const std::string& line, const std::string& text) {
  return line.find(text) != std::string::npos;
}

// A number after "key": in a line; NAN when it is not there.
double NumberOf(const std::string& line, const std::string& key) {
  const size_t at = line.find("\"" + key + "\":");
  if (at == std::string::npos) return NAN;
  return std::strtod(line.c_str() + at + key.size() + 3, nullptr);
}

// The service, its loop and its socket on the simulated module and virtual
// time, in a folder of the test's own (with an IIO root, on barometer.ini's
// port).
struct Station : SimulatedService {
  explicit Station(const std::string& folder, const std::string& iio_root = std::string())
      : SimulatedService(folder, 1700000040, iio_root),
        loop(clock, cadence, nullptr, &log, true),
        viewers(service, loop, log, clock),
        socket(folder + "/barometer.sock") {
    service.Start();
    opened = viewers.Open(socket);
  }
  ~Station() { viewers.Close(); }
  // n ticks through the loop; each_tick runs before each.
  void Run(int n, const std::function<void()>& each_tick = {}) {
    int left = n;
    loop.on_tick = [&] {
      if (each_tick) each_tick();
      service.Tick();
      if (--left == 0) loop.Stop();
    };
    loop.Run();
    // What the last tick queued, as the loop's next turn would write it.
    viewers.WriteQueued();
  }

  Tservice_loop loop;
  Tviewer_server viewers;
  std::string socket;
  bool opened = false;
};

class ViewerServer : public ServiceFolderTest {
 protected:
  void SetUp() override {
    ServiceFolderTest::SetUp();
    std::ofstream(Path("setup.ini")) << kSetup;
  }
};

}  // namespace

TEST_F(ViewerServer, AViewerChangesTheAltitudeAndEveryViewerSeesItInTheSamples) {
  Station s(folder);
  ASSERT_TRUE(s.opened) << s.LogText();
  struct stat st {};
  ASSERT_EQ(::stat(s.socket.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0660u);

  Client a(s.socket), b(s.socket);
  ASSERT_TRUE(a.connected && b.connected);
  s.Run(2);
  for (Client* c : {&a, &b}) {
    const std::vector<std::string> lines = c->Take();
    // The start's sample went out before anyone was there.
    ASSERT_EQ(lines.size(), static_cast<size_t>(s.service.Samples()));
    EXPECT_TRUE(Has(lines[0], "{\"event\":\"hello\",\"version\":")) << lines[0];
    EXPECT_TRUE(Has(lines[0], "\"record\":\"" + Path("barometer.db") + "\"")) << lines[0];
    EXPECT_TRUE(Has(lines[0], "\"port\":\"the simulated module\"")) << lines[0];
    EXPECT_EQ(NumberOf(lines[0], "altitude"), 250);
    // The module's calibration words as the service read them.
    EXPECT_TRUE(Has(lines[0], "\"calibration\":{\"w1\":")) << lines[0];
    EXPECT_FALSE(Has(lines[0], "\"gpio_chip\"")) << "fixed lines have no port keys";
    EXPECT_EQ(CountHaving(lines, "{\"event\":\"sample\","), s.service.Samples() - 1);
  }

  // A value out of range: refused with its key, nothing changes.
  a.Send("{\"request\":\"set\",\"id\":7,\"settings\":{\"altitude\":12000}}\n");
  s.Run(1);
  std::vector<std::string> got = a.Take();
  ASSERT_EQ(CountHaving(got, "\"event\":\"reply\""), 1);
  EXPECT_EQ(CountHaving(got, "{\"event\":\"reply\",\"id\":7,\"ok\":false,\"key\":\"altitude\","),
            1);
  EXPECT_EQ(CountHaving(b.Take(), "\"event\":\"settings\""), 0);
  EXPECT_TRUE(Has(ReadAll(Path("setup.ini")), "set_altitude\t250"));

  // Fixed lines stay: the port is refused, with all that came with it.
  a.Send("{\"request\":\"set\",\"id\":6,\"settings\":{\"altitude\":300,\"port\":\"gpio\"}}\n");
  s.Run(1);
  EXPECT_EQ(CountHaving(a.Take(), "{\"event\":\"reply\",\"id\":6,\"ok\":false,\"key\":\"port\","),
            1);
  EXPECT_EQ(s.service.Station().GetParameter(kAltitude), 250);

  // Limits out of order with those in force are refused as the file's are.
  a.Send("{\"request\":\"set\",\"id\":8,\"settings\":{\"sunny_limit\":1005}}\n");
  s.Run(1);
  EXPECT_EQ(CountHaving(a.Take(), "\"id\":8,\"ok\":false,\"key\":\"sunny_limit\""), 1);

  a.Send("{\"request\":\"set\",\"id\":9,\"settings\":{\"altitude\":412.0}}\n");
  s.Run(3);
  got = a.Take();
  std::vector<std::string> other = b.Take();
  EXPECT_EQ(CountHaving(got, "{\"event\":\"reply\",\"id\":9,\"ok\":true}"), 1);
  for (std::vector<std::string>* lines : {&got, &other}) {
    ASSERT_EQ(CountHaving(*lines, "{\"event\":\"settings\",\"port\":"), 1);
    bool after_settings = false;
    int samples = 0;
    for (const std::string& line : *lines) {
      if (Has(line, "\"event\":\"settings\"")) {
        EXPECT_EQ(NumberOf(line, "altitude"), 412);
        after_settings = true;
      } else if (after_settings && Has(line, "\"event\":\"sample\"")) {
        ++samples;
        EXPECT_NEAR(NumberOf(line, "altitude"), 412, 2) << line;
      }
    }
    EXPECT_GE(samples, 2);
  }
  EXPECT_TRUE(Has(ReadAll(Path("setup.ini")), "set_altitude\t412.000000\n"));
  EXPECT_TRUE(Has(ReadAll(Path("setup.ini")), "set_meteo_sunny_limit\t1016.000000\n"));
  EXPECT_TRUE(Has(s.LogText(), "A viewer: applied set_altitude 250 -> 412"));

  // The next start takes what was saved.
  s.viewers.Close();
  s.service.Stop();
  Station again(folder);
  EXPECT_EQ(again.service.Station().GetParameter(kAltitude), 412);
}

TEST_F(ViewerServer, TheMqttPasswordNeverGoesOutAndANewOneIsKeptInThePrivateFile) {
  std::ofstream(Path("barometer.ini"))
      << "mqtt_enabled\t0\nmqtt_host\tbroker.example\nmqtt_user\tstation\n"
         "mqtt_password\tOld-Secret-77\n";
  Station s(folder);
  ASSERT_TRUE(s.opened);
  Client a(s.socket);
  s.Run(2);
  a.Send(
      "{\"request\":\"set\",\"id\":1,\"settings\":{\"mqtt_password\":\"New-Secret-88\","
      "\"mqtt_port\":1884,\"storm_threshold\":3.5}}\n");
  // A password without a user is refused by the MQTT rules, by its key.
  a.Send(
      "{\"request\":\"set\",\"id\":2,\"settings\":{\"mqtt_user\":\"\",\"mqtt_password\":\"x\"}}\n");
  a.Send("{\"request\":\"set\",\"id\":3,\"settings\":{\"mqtt_port\":70000}}\n");
  s.Run(2);
  a.Take();
  ASSERT_EQ(CountHaving(a.all, "{\"event\":\"reply\",\"id\":1,\"ok\":true}"), 1);
  EXPECT_EQ(CountHaving(a.all, "\"id\":2,\"ok\":false,\"key\":\"mqtt_password\""), 1);
  EXPECT_EQ(CountHaving(a.all, "\"id\":3,\"ok\":false,\"key\":\"mqtt_port\""), 1);
  const int settings = CountHaving(a.all, "\"event\":\"settings\"");
  EXPECT_EQ(settings, 1);
  for (const std::string& line : a.all) {
    EXPECT_FALSE(Has(line, "Secret")) << line;
    EXPECT_FALSE(Has(line, "\"mqtt_password\":")) << line;
  }
  EXPECT_EQ(CountHaving(a.all, "\"mqtt_user\":\"station\""), 2);  // hello, settings
  EXPECT_EQ(CountHaving(a.all, "\"mqtt_port\":1884"), 1);
  EXPECT_EQ(CountHaving(a.all, "\"storm_threshold\":3.5"), 1);

  const std::string ini = ReadAll(Path("barometer.ini"));
  EXPECT_TRUE(Has(ini, "mqtt_password\tNew-Secret-88\n")) << ini;
  EXPECT_TRUE(Has(ini, "mqtt_port\t1884\n")) << ini;
  EXPECT_TRUE(Has(ini, "mqtt_host\tbroker.example\n")) << ini;
  struct stat st {};
  ASSERT_EQ(::stat(Path("barometer.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(s.service.Mqtt().password, "New-Secret-88");
  EXPECT_EQ(s.service.Readings().storm_threshold, 3.5);
}

TEST_F(ViewerServer, AViewerThatNeverReadsIsDroppedAndCostsNoSample) {
  Station s(folder);
  ASSERT_TRUE(s.opened);
  // It asks and asks, and reads nothing: its queue grows past the limit.
  Client deaf(s.socket, 4096);
  Client reader(s.socket);
  int id = 0;
  bool deaf_sends = true;
  int dropped_after = 0;
  s.Run(1000, [&] {
    for (int i = 0; i < 50 && deaf_sends; ++i)
      deaf_sends = deaf.Send("{\"request\":\"ping\",\"id\":" + std::to_string(++id) + "}\n");
    reader.Take();
    if (dropped_after == 0 && s.viewers.Viewers() == 1)
      dropped_after = static_cast<int>(s.service.Samples());
  });
  EXPECT_EQ(s.service.Samples(), 1000);
  EXPECT_EQ(s.viewers.Viewers(), 1u);
  EXPECT_GT(dropped_after, 0);
  EXPECT_LT(dropped_after, 1000);
  EXPECT_TRUE(Has(s.LogText(), "A viewer was dropped: it read nothing while"));
  reader.Take();
  EXPECT_EQ(CountHaving(reader.all, "{\"event\":\"sample\","), 999);  // all but the start's
  EXPECT_FALSE(reader.closed);
  s.viewers.Close();
  s.service.Stop();
  EXPECT_EQ(QueryNumber(Path("barometer.db"), "SELECT count(*) FROM sample"), 1000);
  // Samples a second apart on the clock, none lost to the deaf viewer.
  EXPECT_EQ(QueryNumber(Path("barometer.db"), "SELECT max(time) - min(time) FROM sample"), 999);
}

TEST_F(ViewerServer, BadClientsAreRefusedOrDroppedAndTheOthersServedOn) {
  Station s(folder);
  ASSERT_TRUE(s.opened);
  Client good(s.socket);

  // Lines that are no request, or not a good one.
  Client wrong(s.socket);
  wrong.Send("hello\n{\"request\":\"set\",\"id\":1}\n{\"request\":\"reboot\",\"id\":2}\n");
  wrong.Send("{\"request\":\"set\",\"id\":3,\"settings\":{\"colour\":1}}\n");
  wrong.Send("{\"request\":\"set\",\"id\":4,\"settings\":{\"n\":\"5\"}}\n");
  wrong.Send("{\"request\":\"set\",\"id\":5,\"settings\":{\"n\":2.5}}\n");
  wrong.Send("{\"request\":\"ping\",\"id\":6}\n");

  // A 10 MB line, sent as far as the service takes it.
  Client endless(s.socket);
  const std::string chunk(65536, 'x');
  size_t sent = 0;
  bool endless_sends = true;

  // Random bytes, with line ends among them.
  Client noise(s.socket);
  std::mt19937 random(36);
  std::string bytes(200000, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  bool noise_sends = true;

  // A thousand requests in one second.
  Client flood(s.socket);
  std::string burst;
  for (int i = 0; i < 1000; ++i)
    burst += "{\"request\":\"ping\",\"id\":" + std::to_string(i) + "}\n";
  flood.Send(burst);

  s.Run(30, [&] {
    for (int i = 0; i < 4 && endless_sends && sent < 10 * 1000 * 1000; ++i) {
      endless_sends = endless.Send(chunk);
      sent += chunk.size();
    }
    if (noise_sends) noise_sends = noise.Send(bytes.substr(0, 20000));
    for (Client* c : {&good, &wrong, &endless, &noise, &flood}) c->Take();
  });
  EXPECT_EQ(s.service.Samples(), 30);
  for (Client* c : {&good, &wrong, &endless, &noise, &flood}) c->Take();

  EXPECT_EQ(CountHaving(wrong.all, "{\"event\":\"error\",\"reason\":"), 3);
  EXPECT_EQ(CountHaving(wrong.all, "\"id\":3,\"ok\":false,\"key\":\"colour\""), 1);
  EXPECT_EQ(CountHaving(wrong.all, "\"id\":4,\"ok\":false,\"key\":\"n\""), 1);
  EXPECT_EQ(CountHaving(wrong.all, "\"id\":5,\"ok\":false,\"key\":\"n\""), 1);
  EXPECT_EQ(CountHaving(wrong.all, "{\"event\":\"reply\",\"id\":6,\"ok\":true}"), 1);
  EXPECT_FALSE(wrong.closed);

  EXPECT_TRUE(endless.closed);
  EXPECT_EQ(CountHaving(endless.all, "\"reason\":\"a line is longer than 64 KiB\""), 1);
  EXPECT_TRUE(flood.closed);
  EXPECT_EQ(CountHaving(flood.all, "\"event\":\"reply\""), Tviewer_server::kMostRequestsPerSecond);
  EXPECT_EQ(CountHaving(flood.all, "more than 100 requests a second"), 1);
  // Noise gets errors, or is closed for its long lines or its many.
  EXPECT_TRUE(noise.closed || CountHaving(noise.all, "{\"event\":\"error\",") > 0);

  EXPECT_FALSE(good.closed);
  EXPECT_EQ(CountHaving(good.all, "{\"event\":\"sample\","), 29);  // all but the start's
  EXPECT_EQ(s.service.Station().GetParameter(kSamplingN), 1);

  // Still open for the next one.
  Client late(s.socket);
  late.Send("{\"request\":\"ping\",\"id\":99}\n");
  s.Run(1);
  EXPECT_EQ(CountHaving(late.Take(), "{\"event\":\"reply\",\"id\":99,\"ok\":true}"), 1);
}

TEST_F(ViewerServer, EventsTellTheModuleLostAndBackAndTheServiceStopping) {
  Station s(folder);
  ASSERT_TRUE(s.opened);
  Client a(s.socket);
  s.Run(2);
  s.module.SetUnplugged(true);
  s.Run(3);
  // A viewer that comes while the module is lost is told so after the hello.
  Client late(s.socket);
  s.Run(1);
  const std::vector<std::string> first = late.Take();
  ASSERT_GE(first.size(), 2u);
  EXPECT_TRUE(Has(first[1], "{\"event\":\"module_lost\",\"reason\":")) << first[1];
  s.module.SetUnplugged(false);
  s.Run(3);
  a.Take();
  EXPECT_EQ(CountHaving(a.all, "{\"event\":\"module_lost\",\"reason\":"), 1);
  EXPECT_EQ(CountHaving(a.all, "{\"event\":\"module_back\"}"), 1);
  // A failed sample: the time, the words and the reason, no values.
  bool failed_seen = false;
  for (const std::string& line : a.all) {
    if (!Has(line, "\"good\":false")) continue;
    failed_seen = true;
    EXPECT_TRUE(Has(line, "{\"event\":\"sample\",\"time\":\"")) << line;
    EXPECT_FALSE(Has(line, "\"pressure\"")) << line;
    EXPECT_TRUE(Has(line, "\"d1\":")) << line;
  }
  EXPECT_TRUE(failed_seen);

  // A second service on the same socket is turned away; the first serves on.
  Tviewer_server second(s.service, s.loop, s.log, s.clock);
  EXPECT_FALSE(second.Open(s.socket));
  EXPECT_TRUE(Has(s.LogText(), "another service answers there"));

  s.viewers.Stopping();
  a.Take();
  ASSERT_FALSE(a.all.empty());
  EXPECT_EQ(a.all.back(), "{\"event\":\"stopping\"}");
  EXPECT_TRUE(a.closed);
  struct stat st {};
  EXPECT_NE(::stat(s.socket.c_str(), &st), 0);
}

TEST_F(ViewerServer, AViewerMovesTheServiceToAKernelSensorOrIsToldWhyNot) {
  // A gpiochip that is not there: the service starts, finds no module and
  // waits for a port that works.
  std::ofstream(Path("barometer.ini")) << "port\tgpio\ngpio_chip\t" << Path("no-gpiochip") << "\n";
  const fake_iio::Tree sysfs(Path("iio"));
  sysfs.Add(0, fake_iio::Bmp280());
  Station s(folder, sysfs.Root());
  ASSERT_TRUE(s.opened) << s.LogText();
  Client a(s.socket);
  s.Run(1);
  std::vector<std::string> got = a.Take();
  ASSERT_FALSE(got.empty());
  EXPECT_TRUE(Has(got[0], "\"port\":\"gpio\",")) << got[0];
  EXPECT_TRUE(Has(got[0], "\"gpio_chip\":\"" + Path("no-gpiochip") + "\"")) << got[0];
  EXPECT_FALSE(Has(got[0], "\"calibration\"")) << got[0];

  // Refused as the port dialog refuses them, and nothing saved.
  a.Send("{\"request\":\"set\",\"id\":1,\"settings\":{\"gpio_clock\":5000}}\n");
  a.Send("{\"request\":\"set\",\"id\":2,\"settings\":{\"gpio_clock\":5,\"gpio_data_out\":5}}\n");
  a.Send("{\"request\":\"set\",\"id\":3,\"settings\":{\"port\":\"serial\"}}\n");
  // Only devices: nothing else on the machine is opened for a viewer.
  a.Send("{\"request\":\"set\",\"id\":10,\"settings\":{\"lpt_device\":\"/etc/shadow\"}}\n");
  a.Send("{\"request\":\"set\",\"id\":11,\"settings\":{\"gpio_chip\":\"/dev/../etc\"}}\n");
  a.Send("{\"request\":\"set\",\"id\":12,\"settings\":{\"iio_device\":\"/home\"}}\n");
  s.Run(1);
  got = a.Take();
  EXPECT_EQ(CountHaving(got, "\"id\":1,\"ok\":false,\"key\":\"gpio_clock\""), 1);
  EXPECT_EQ(CountHaving(got,
                        "\"id\":2,\"ok\":false,\"key\":\"port\",\"reason\":\"The GPIO line 5 "
                        "is used twice (clock and data out)\""),
            1);
  EXPECT_EQ(CountHaving(got, "\"id\":3,\"ok\":false,\"key\":\"port\""), 1);
  EXPECT_EQ(CountHaving(got, "\"id\":10,\"ok\":false,\"key\":\"lpt_device\""), 1);
  EXPECT_EQ(CountHaving(got, "\"id\":11,\"ok\":false,\"key\":\"gpio_chip\""), 1);
  EXPECT_EQ(CountHaving(got, "\"id\":12,\"ok\":false,\"key\":\"iio_device\""), 1);
  EXPECT_FALSE(Has(ReadAll(Path("barometer.ini")), "gpio_clock"));

  a.Send(
      "{\"request\":\"set\",\"id\":4,\"settings\":{\"port\":\"iio\",\"iio_device\":\"bmp280\"}}\n");
  s.Run(3);
  got = a.Take();
  EXPECT_EQ(CountHaving(got, "{\"event\":\"reply\",\"id\":4,\"ok\":true}"), 1);
  EXPECT_EQ(CountHaving(got, "{\"event\":\"settings\",\"port\":\"IIO sensor bmp280\","), 1);
  // The kernel's sensor measures now: 100.04 kPa, no module words.
  int good = 0;
  for (const std::string& line : got) {
    if (!Has(line, "\"event\":\"sample\"") || !Has(line, "\"good\":true")) continue;
    ++good;
    EXPECT_NEAR(NumberOf(line, "pressure"), 1000.4, 0.01) << line;
    EXPECT_TRUE(Has(line, "\"d1\":null")) << line;
  }
  EXPECT_GE(good, 2);
  EXPECT_TRUE(Has(ReadAll(Path("barometer.ini")), "port\tiio\n"));
  EXPECT_TRUE(Has(ReadAll(Path("barometer.ini")), "iio_device\tbmp280\n"));
  EXPECT_TRUE(Has(s.LogText(), "Port changed: now IIO sensor bmp280"));
}
