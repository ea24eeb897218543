// The desktop program as the viewer of the recording service's own code,
// both in this process: the service on the simulated module and virtual time
// in a folder of its own, the program started at a desk where that service
// runs. What the station hands the windows is what the record holds, a
// setting changed at the desk becomes the service's, no secret goes over the
// socket, and a service that stops and starts again is found again. Last,
// the same with the real barometerd, started by the test and run in real
// time.

#include <fcntl.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStatusBar>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "atmosphere/Altitude.h"
#include "components/Number_text.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "main/Tservice_view.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModuleLines.h"
#include "service/Tcadence.h"
#include "service/Tservice.h"
#include "service/Tservice_log.h"
#include "service/Tservice_loop.h"
#include "service/Tviewer_server.h"
#include "settings/Tsettings.h"
#include "station/Tstation.h"
#include "support_program.h"
#include "tests/service/support_service.h"
#include "tests/support/sqlite_query.h"
#include "windows/Tintro.h"

namespace {

constexpr std::time_t kStart = 1700000040;
// The standard atmosphere's pressure at sea level [mbar].
constexpr double kSeaLevelStandard = 1013.25;

// The service as barometerd runs it (its station, loop and viewers' socket),
// on the simulated module and a virtual clock that moves only by Tick():
// the loop never ticks by itself.
struct Service : SimulatedService {
  Service(const std::string& folder, std::time_t start)
      : SimulatedService(folder, start, std::string(), /*keep_log=*/true),
        loop(clock, cadence, nullptr, &log, /*sleep_on_clock=*/false),
        viewers(service, loop, log, clock),
        socket(folder + "/barometer.sock") {
    loop.Open(nullptr);
    service.Start();
    opened = viewers.Open(socket);
    // The loop's first turn, due at once, samples nothing: the start did.
    Tick();
  }
  // As barometerd ends: "stopping" to the viewers, the socket removed; then
  // the record committed and closed.
  ~Service() { viewers.Stopping(); }
  // The next tick, on time: the loop first serves what the viewers sent
  // (new ones greeted, requests answered), then ticks; what the tick queued
  // is written out as the loop's next turn would.
  void Tick() {
    clock.AdvanceMs(cadence.WaitMs());
    loop.on_tick = [this] {
      service.Tick();
      loop.Stop();
    };
    loop.Run();
    viewers.WriteQueued();
  }
  // The loop on a thread of its own, without a tick (the clock stands),
  // while `work` runs here: the program's start waits for the greeting.
  void ServeDuring(const std::function<void()>& work) {
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    loop.Watch(wake, POLLIN, [this](short) { loop.Stop(); });
    int ticks = 0;
    loop.on_tick = [&ticks] { ++ticks; };
    std::thread serving([this] { loop.Run(); });
    work();
    const uint64_t one = 1;
    (void)!::write(wake, &one, sizeof one);
    serving.join();
    loop.Unwatch(wake);
    ::close(wake);
    EXPECT_EQ(ticks, 0);
  }

  Tservice_loop loop;
  Tviewer_server viewers;
  std::string socket;
  bool opened = false;
};

// An end of the socket that asks nothing: every line a viewer is told.
struct Onlooker {
  explicit Onlooker(const std::string& path)
      : fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
  }
  ~Onlooker() { ::close(fd); }
  void Take() {
    char buffer[65536];
    ssize_t n;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0 || (n < 0 && errno == EINTR))
      if (n > 0) pending.append(buffer, static_cast<size_t>(n));
    for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
      lines.push_back(pending.substr(0, end));
  }
  int Count(const std::string& text) const {
    int n = 0;
    for (const std::string& line : lines) n += line.find(text) != std::string::npos;
    return n;
  }
  int fd;
  bool connected = false;
  std::string pending;
  std::vector<std::string> lines;
};

#ifdef BAROMETERD
constexpr const char* kBarometerd = BAROMETERD;
#else
constexpr const char* kBarometerd = nullptr;
#endif

// The real barometerd on the simulated module in `folder`, on the wall
// clock: its log (standard error) goes to stderr.log there and, with no
// runtime folder from a service manager, its socket beside the record.
class Barometerd {
 public:
  explicit Barometerd(const std::string& folder) : folder_(folder) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"RUNTIME_DIRECTORY", "NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"})
      env.remove(name);
    process_.setProcessEnvironment(env);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QString::fromStdString(Log()), QIODevice::Append);
    process_.start(kBarometerd, {"--simulated", "--folder", QString::fromStdString(folder)});
  }
  ~Barometerd() {
    if (process_.state() != QProcess::NotRunning) Stop();
  }
  std::string Log() const { return folder_ + "/stderr.log"; }
  std::string Socket() const { return folder_ + "/barometer.sock"; }
  // Whether its socket is there within about ten seconds, the process still
  // running.
  bool WaitForSocket() {
    if (!process_.waitForStarted(5000)) return false;
    for (int i = 0; i < 1000; ++i) {
      struct stat st {};
      if (::stat(Socket().c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) return true;
      if (process_.waitForFinished(10)) return false;
    }
    return false;
  }
  // SIGTERM, as the service manager stops it: its exit status, or -1 when it
  // was killed or did not end in time.
  int Stop() {
    process_.terminate();
    if (!process_.waitForFinished(15000)) {
      process_.kill();
      process_.waitForFinished(5000);
      return -1;
    }
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
  }

 private:
  std::string folder_;
  QProcess process_;
};

struct Row {
  long long d1 = 0, d2 = 0;
  double pressure = 0, temperature = 0, sea_level_pressure = 0, altitude = 0;
};

// The record's samples by time, read as another program would; `repeated`
// counts the times found more than once.
std::map<std::time_t, Row> ReadRecord(const std::string& path, int* repeated) {
  std::map<std::time_t, Row> rows;
  *repeated = 0;
  sqlite3* db = nullptr;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db,
                         "SELECT time, d1, d2, pressure, temperature, sea_level_pressure, "
                         "altitude FROM sample",
                         -1, &s, nullptr) == SQLITE_OK) {
    while (sqlite3_step(s) == SQLITE_ROW) {
      const auto time = static_cast<std::time_t>(sqlite3_column_int64(s, 0));
      *repeated += rows.count(time) != 0;
      rows[time] = Row{sqlite3_column_int64(s, 1),  sqlite3_column_int64(s, 2),
                       sqlite3_column_double(s, 3), sqlite3_column_double(s, 4),
                       sqlite3_column_double(s, 5), sqlite3_column_double(s, 6)};
    }
  }
  EXPECT_NE(s, nullptr) << "the record cannot be read: " << sqlite3_errmsg(db);
  sqlite3_finalize(s);
  sqlite3_close(db);
  return rows;
}

// A value to the decimals the socket carries it with.
std::string Fixed(double value, int decimals) {
  char text[64];
  const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, r.ptr);
}

class ViewerOfService : public ProgramTest, private TstationSink {
 protected:
  // The altitude typed into the settings dialog and taken with OK, as at
  // the desk (the dialog shows the service's 250 m first).
  static void TypeAltitudeAtTheDesk(const char* meters) {
    TWsettings* settings = Program().Wsettings;
    settings->OnShow();
    EXPECT_EQ(settings->ed_alti->text().toStdString(), "250.0");
    settings->ed_alti->setText(meters);
    settings->OnKeyUpAlti();
    settings->bt_okClick();
  }
  void SetUp() override {
    ProgramTest::SetUp();
    folder = PathOf("service").toStdString();
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    WriteFile(QString::fromStdString(folder + "/setup.ini"), kSetup);
    WriteFile(QString::fromStdString(folder + "/barometer.ini"),
              "mqtt_enabled\t0\nmqtt_host\tbroker.example\nmqtt_user\tstation\n"
              "mqtt_password\tDesk-Secret-42\n");
    // The program's own folder is the working one; its barometer.ini names
    // the service's socket.
    WriteFile(PathOf("barometer.ini"), "service_socket\t" + folder + "/barometer.sock\n");
  }
  void TearDown() override {
    if (Program().station != nullptr) Program().station->RemoveSink(this);
    ProgramTest::TearDown();
  }

  // The program started while the service serves: it finds the service and
  // becomes its viewer; the station's views are watched from then on.
  void StartViewing(Service& s) {
    ASSERT_TRUE(s.opened) << ReadAll(folder + "/service.log");
    s.ServeDuring([this] { StartProgram(); });
    ASSERT_NE(Program().service, nullptr) << "the program did not find the service";
    WatchStation();
  }
  // The station's views are watched from now on.
  void WatchStation() {
    ASSERT_NE(Program().station, nullptr);
    Program().station->AddSink(this, SinkOrder::kView);
  }
  // n ticks of the service, each followed by the viewer reading what came.
  void Run(Service& s, int n, Onlooker* onlooker = nullptr) {
    for (int i = 0; i < n; ++i) {
      s.Tick();
      PollViewer();
      if (onlooker != nullptr) onlooker->Take();
    }
  }
  void PollViewer() {
    Program().service->Poll();
    ShowLaterBoxes();
  }
  // Polls the viewer every 10 ms until `done`; the bound (in polls) keeps a
  // viewer that never gets there from hanging the suite.
  bool PollUntil(const std::function<bool()>& done, int polls = 500) {
    for (int i = 0; i < polls; ++i) {
      PollViewer();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  // Every sample the views got is the record's row of its second, to the
  // decimals the socket carries; and the record has no row in their span
  // that the views did not get.
  void ExpectViewedAsRecorded() {
    ASSERT_FALSE(viewed.empty());
    int repeated = 0;
    const std::map<std::time_t, Row> record = ReadRecord(folder + "/barometer.db", &repeated);
    EXPECT_EQ(repeated, 0) << "two samples in one second";
    for (const Sample& v : viewed) {
      SCOPED_TRACE("the sample of " + std::to_string(v.time));
      ASSERT_TRUE(v.good);
      const auto at = record.find(v.time);
      ASSERT_NE(at, record.end()) << "not in the record";
      const Row& r = at->second;
      EXPECT_EQ(v.d1.value_or(-1), r.d1);
      EXPECT_EQ(v.d2.value_or(-1), r.d2);
      EXPECT_EQ(Fixed(v.pressure, 2), Fixed(r.pressure, 2));
      EXPECT_EQ(Fixed(v.temperature, 2), Fixed(r.temperature, 2));
      EXPECT_EQ(Fixed(v.sea_level_pressure, 2), Fixed(r.sea_level_pressure, 2));
      EXPECT_EQ(Fixed(v.altitude, 1), Fixed(r.altitude, 1));
    }
    for (size_t i = 1; i < viewed.size(); ++i)
      EXPECT_LT(viewed[i - 1].time, viewed[i].time) << "at " << i;
  }
  // Samples in the record from `from` to `to`, both included.
  size_t RecordedBetween(std::time_t from, std::time_t to) {
    int repeated = 0;
    size_t n = 0;
    for (const auto& [time, row] : ReadRecord(folder + "/barometer.db", &repeated))
      n += time >= from && time <= to;
    return n;
  }

  static std::string Status() {
    return Program().Wmain->statusBar()->currentMessage().toStdString();
  }
  static std::string ShownPressure() { return Program().Wmain->lbpressure->text().toStdString(); }

  std::string folder;
  std::vector<Sample> viewed;

 private:
  void OnSample(const Sample& sample) override { viewed.push_back(sample); }
};

TEST_F(ViewerOfService, TheViewerShowsTheRecordAndItsAltitudeBecomesTheServices) {
  Service s(folder, kStart);
  Onlooker onlooker(s.socket);
  ASSERT_TRUE(onlooker.connected);
  StartViewing(s);
  EXPECT_EQ(Status(), "Connected to the recording service");
  EXPECT_EQ(Program().Wmain->GetParameter(kAltitude), 250);

  Run(s, 20, &onlooker);
  ASSERT_EQ(viewed.size(), 20u) << "one sample a tick";

  // The altitude, through the settings dialog as at the desk.
  TypeAltitudeAtTheDesk("412");
  const size_t before_change = viewed.size();
  Run(s, 20, &onlooker);
  ASSERT_EQ(viewed.size(), 40u);
  EXPECT_EQ(ErrorCount() + InformationCount(), 0) << "no box";

  EXPECT_TRUE(ReadAll(folder + "/setup.ini").find("set_altitude\t412.000000\n") !=
              std::string::npos)
      << ReadAll(folder + "/setup.ini");
  EXPECT_EQ(s.service.Station().GetParameter(kAltitude), 412);
  EXPECT_NE(ReadAll(folder + "/service.log").find("A viewer: applied set_altitude 250 -> 412"),
            std::string::npos);
  EXPECT_EQ(Program().Wmain->GetParameter(kAltitude), 412) << "the announced change";
  EXPECT_EQ(onlooker.Count("{\"event\":\"settings\","), 1) << "every viewer is told";
  // The reduction to sea level follows the altitude from the next sample on.
  for (size_t i = 0; i < viewed.size(); ++i) {
    const double altitude = i < before_change ? 250 : 412;
    EXPECT_NEAR(viewed[i].sea_level_pressure - viewed[i].pressure,
                kSeaLevelStandard - PressureFromAltitude(altitude), 0.011)
        << "sample " << i;
  }
  EXPECT_EQ(ShownPressure(),
            PressureText(viewed.back().pressure, Program().readings.units.pressure).toStdString());

  // The MQTT settings reach the viewers, the password never.
  EXPECT_EQ(onlooker.Count("\"mqtt_user\":\"station\""), 2) << "hello, settings";
  for (const std::string& line : onlooker.lines) {
    EXPECT_EQ(line.find("Secret"), std::string::npos) << line;
    EXPECT_EQ(line.find("mqtt_password"), std::string::npos) << line;
  }
  const std::string in_viewer = Program().service->Settings().Write();
  EXPECT_NE(in_viewer.find("\"mqtt_user\":\"station\""), std::string::npos) << in_viewer;
  EXPECT_EQ(in_viewer.find("Secret"), std::string::npos) << in_viewer;
  EXPECT_EQ(onlooker.Count("{\"event\":\"sample\","), 40) << "the start's went before anyone";

  const std::time_t first = viewed.front().time, last = viewed.back().time;
  s.service.Stop();  // everything committed
  ExpectViewedAsRecorded();
  EXPECT_EQ(RecordedBetween(first, last), viewed.size());
}

TEST_F(ViewerOfService, AServiceStartedAgainIsFoundAgainAndShownAsItRecords) {
  auto s = std::make_unique<Service>(folder, kStart);
  StartViewing(*s);
  Run(*s, 15);
  ASSERT_EQ(viewed.size(), 15u);
  ASSERT_NE(ShownPressure(), "--");

  s.reset();
  struct stat st {};
  EXPECT_NE(::stat((folder + "/barometer.sock").c_str(), &st), 0) << "the socket stays";
  PollViewer();
  EXPECT_EQ(Status(), "Recording service stopped");
  EXPECT_EQ(ShownPressure(), "--");

  // Started again in the same folder a minute later: the viewer connects
  // by itself and is greeted at the service's next turn.
  s = std::make_unique<Service>(folder, kStart + 60);
  ASSERT_TRUE(s->opened);
  ASSERT_TRUE(PollUntil([] { return Program().service->Link().Fd() >= 0; }));
  EXPECT_EQ(Status(), "Recording service stopped") << "no greeting yet";
  Run(*s, 15);
  EXPECT_EQ(Status(), "Connected to the recording service");
  ASSERT_EQ(viewed.size(), 30u);
  EXPECT_GT(viewed[15].time, kStart + 60);
  EXPECT_EQ(ShownPressure(),
            PressureText(viewed.back().pressure, Program().readings.units.pressure).toStdString());

  s->service.Stop();
  ExpectViewedAsRecorded();
  EXPECT_EQ(RecordedBetween(viewed.front().time, viewed[14].time), 15u);
  EXPECT_EQ(RecordedBetween(viewed[15].time, viewed.back().time), 15u);
  EXPECT_EQ(ErrorCount() + InformationCount(), 0) << "no box to answer";
}

// The sea-level pressure less the pressure, as the altitude makes it.
double Reduction(double altitude) {
  return kSeaLevelStandard - PressureFromAltitude(altitude);
}

TEST_F(ViewerOfService, TheRealBarometerdIsViewedChangedAndFoundAgainAfterARestart) {
  if (kBarometerd == nullptr) GTEST_SKIP() << "built without barometerd";
  // The desk's clock reads the calendar the service measures on.
  clock.SetNow(std::time(nullptr));
  auto service = std::make_unique<Barometerd>(folder);
  ASSERT_TRUE(service->WaitForSocket()) << ReadAll(service->Log());

  StartProgram();
  ASSERT_NE(Program().service, nullptr) << ReadAll(service->Log());
  WatchStation();
  EXPECT_EQ(Status(), "Connected to the recording service");
  EXPECT_EQ(Program().Wintro->lbstatus->text().toStdString(), "Connected to the recording service");
  EXPECT_EQ(Program().Wmain->GetParameter(kAltitude), 250);

  // One sample a second: five of them.
  ASSERT_TRUE(PollUntil([this] { return viewed.size() >= 5; }, 2000))
      << viewed.size() << " samples\n"
      << ReadAll(service->Log());
  const size_t before_change = viewed.size();

  // The altitude, through the settings dialog as at the desk; the service
  // announces it taken, and the samples after the announcement follow it.
  TypeAltitudeAtTheDesk("412");
  ASSERT_TRUE(PollUntil(
      [] { return Program().service->StationSetting(kAltitude).value_or(0) == 412; }, 1000))
      << ReadAll(service->Log());
  const size_t announced = viewed.size();
  ASSERT_TRUE(PollUntil([&] { return viewed.size() >= announced + 3; }, 1000))
      << ReadAll(service->Log());
  EXPECT_NE(ReadAll(folder + "/setup.ini").find("set_altitude\t412.000000\n"), std::string::npos)
      << ReadAll(folder + "/setup.ini");
  EXPECT_NE(ReadAll(service->Log()).find("A viewer: applied set_altitude 250 -> 412"),
            std::string::npos)
      << ReadAll(service->Log());
  EXPECT_EQ(Program().Wmain->GetParameter(kAltitude), 412);
  // 250 m up to one sample, 412 m from it on: no later one goes back.
  size_t first_at_412 = 0;
  while (first_at_412 < viewed.size() &&
         std::abs(viewed[first_at_412].sea_level_pressure - viewed[first_at_412].pressure -
                  Reduction(412)) > 0.011)
    ++first_at_412;
  EXPECT_GE(first_at_412, before_change) << "taken before the change was asked for";
  EXPECT_LE(first_at_412, announced) << "not followed after the announcement";
  for (size_t i = 0; i < viewed.size(); ++i)
    EXPECT_NEAR(viewed[i].sea_level_pressure - viewed[i].pressure,
                Reduction(i < first_at_412 ? 250 : 412), 0.011)
        << "sample " << i;

  // Stopped as the service manager stops it: the record is committed, and
  // holds every second the viewer was shown, as shown.
  const size_t first_run = viewed.size();
  EXPECT_EQ(service->Stop(), 0) << ReadAll(service->Log());
  ASSERT_TRUE(PollUntil([] { return Status() == "Recording service stopped"; }))
      << Status() << "\n"
      << ReadAll(service->Log());
  EXPECT_EQ(ShownPressure(), "--");
  ExpectViewedAsRecorded();
  EXPECT_EQ(RecordedBetween(viewed.front().time, viewed.back().time), first_run);

  // Started again in the same folder once the wall clock has left the last
  // recorded second: a start within it records its first sample in that
  // second too (the record keeps both), and a comparison by the second
  // could not tell them apart. The viewer finds the service by itself and
  // is shown its new samples, at the altitude it keeps.
  const long long last_recorded =
      QueryNumber(folder + "/barometer.db", "SELECT max(time) FROM sample");
  for (int i = 0; i < 300 && std::time(nullptr) <= last_recorded; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  service = std::make_unique<Barometerd>(folder);
  ASSERT_TRUE(service->WaitForSocket()) << ReadAll(service->Log());
  ASSERT_TRUE(PollUntil(
      [&] {
        return Status() == "Connected to the recording service" && viewed.size() >= first_run + 2;
      },
      1000))
      << Status() << ", " << viewed.size() - first_run << " new samples\n"
      << ReadAll(service->Log());
  EXPECT_EQ(ShownPressure(),
            PressureText(viewed.back().pressure, Program().readings.units.pressure).toStdString());
  for (size_t i = first_run; i < viewed.size(); ++i)
    EXPECT_NEAR(viewed[i].sea_level_pressure - viewed[i].pressure, Reduction(412), 0.011)
        << "sample " << i;

  const std::time_t restarted = viewed[first_run].time;
  EXPECT_EQ(service->Stop(), 0) << ReadAll(service->Log());
  ExpectViewedAsRecorded();
  EXPECT_EQ(RecordedBetween(restarted, viewed.back().time), viewed.size() - first_run);
  EXPECT_EQ(ErrorCount() + InformationCount(), 0) << "no box to answer";
}

}  // namespace
