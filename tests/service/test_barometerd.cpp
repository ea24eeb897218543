// The real barometerd on the simulated module, as a service manager runs
// it: its notifications on a datagram socket of the test's own, its log on
// standard error, its signals, its record, and no window system.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support_listener.h"
#include "tests/publish/support_broker.h"
#include "tests/support/sqlite_query.h"

#include "support_service.h"

namespace {

using WallClock = std::chrono::steady_clock;

std::string Cwd() {
  char cwd[4096];
  return ::getcwd(cwd, sizeof cwd) ? cwd : ".";
}

// What the child is given beside the test's environment.
struct Launch {
  std::vector<std::string> args;
  std::vector<std::pair<std::string, std::string>> env;  // empty value: unset
  std::string log;                                       // standard error
  bool watchdog = false;                                 // WATCHDOG_PID names the child
  uid_t uid = 0;                                         // run as this user (with gid) when not 0
  gid_t gid = 0;
  mode_t umask = 022;
};

pid_t Start(const Launch& l) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  // The child: no window system, whatever the test runs in.
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  ::unsetenv("QT_QPA_PLATFORM");
  for (const auto& [name, value] : l.env) {
    if (value.empty())
      ::unsetenv(name.c_str());
    else
      ::setenv(name.c_str(), value.c_str(), 1);
  }
  if (l.watchdog) ::setenv("WATCHDOG_PID", std::to_string(::getpid()).c_str(), 1);
  const int fd = ::open(l.log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd >= 0) ::dup2(fd, 2);
  ::umask(l.umask);
  if (l.uid != 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(l.gid) != 0 || ::setuid(l.uid) != 0) ::_exit(125);
  }
  std::vector<char*> argv;
  std::string program = BAROMETERD;
  argv.push_back(program.data());
  std::vector<std::string> args = l.args;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  ::_exit(127);
}

// The exit status, or -1 when it did not end within the time.
int WaitExit(pid_t pid, int seconds = 30) {
  const auto until = WallClock::now() + std::chrono::seconds(seconds);
  for (;;) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (WallClock::now() > until) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    ::usleep(20000);
  }
}

// The manager's side: every datagram kept, in order.
struct Manager {
  NotifyListener listener;
  std::vector<std::string> got;

  // Waits until a datagram holding `what` comes (real time); whether one did.
  bool WaitFor(const std::string& what, int seconds = 30) {
    const auto until = WallClock::now() + std::chrono::seconds(seconds);
    while (WallClock::now() < until) {
      const std::string m = listener.Wait(200);
      if (m.empty()) continue;
      got.push_back(m);
      if (m.find(what) != std::string::npos) return true;
    }
    return false;
  }
  int Count(const std::string& what) const {
    int n = 0;
    for (const std::string& m : got) n += m.find(what) != std::string::npos;
    return n;
  }
};

class Barometerd : public ServiceFolderTest {
 protected:
  void SetUp() override {
    ServiceFolderTest::SetUp();
    std::ofstream(Path("setup.ini")) << kSetup;
  }
  Launch Simulated() const {
    Launch l;
    l.args = {"--simulated", "--folder", folder};
    l.log = Path("stderr.log");
    return l;
  }
};

}  // namespace

TEST_F(Barometerd, TellsTheManagerItsStateThroughAnUnplugAndEndsCleanlyOnSigterm) {
  Manager manager;
  ASSERT_TRUE(manager.listener.Valid());
  Launch l = Simulated();
  l.env = {{"WATCHDOG_USEC", "1000000"}, {"BAROMETERD_TEST_UNPLUG", Path("unplugged")}};
  l.watchdog = true;
  const pid_t pid = Start(l);
  ASSERT_TRUE(manager.WaitFor("READY=1")) << ReadAll(l.log);
  const auto ready = WallClock::now();
  ASSERT_TRUE(manager.WaitFor("STATUS=Recording: ")) << ReadAll(l.log);
  const std::string recording = manager.got.back();
  double mbar = 0;
  int h = -1, m = -1, sec = -1, end = 0;
  ASSERT_EQ(std::sscanf(recording.c_str(), "STATUS=Recording: %lf mbar at %2d:%2d:%2d%n", &mbar, &h,
                        &m, &sec, &end),
            4)
      << recording;
  EXPECT_EQ(static_cast<size_t>(end), recording.size()) << recording;
  EXPECT_GT(mbar, 950);
  EXPECT_LT(mbar, 1070);

  std::ofstream(Path("unplugged")) << "";
  ASSERT_TRUE(manager.WaitFor("STATUS=Module lost on the simulated module: ")) << ReadAll(l.log);
  ::unlink(Path("unplugged").c_str());
  ASSERT_TRUE(manager.WaitFor("STATUS=Recording: ")) << ReadAll(l.log);
  ASSERT_TRUE(manager.WaitFor("STATUS=Recording: "));  // a second sample back

  ::kill(pid, SIGTERM);
  EXPECT_TRUE(manager.WaitFor("STOPPING=1"));
  const double seconds = std::chrono::duration<double>(WallClock::now() - ready).count();
  EXPECT_EQ(WaitExit(pid), 0);
  EXPECT_EQ(manager.Count("READY=1"), 1);
  // At least one a watchdog interval (1 s) from the loop, as it ran.
  EXPECT_GE(manager.Count("WATCHDOG=1"), static_cast<int>(seconds) - 1) << seconds << " s";

  // One line per change of state, none per sample.
  const std::vector<std::string> log = Lines(ReadAll(l.log));
  ASSERT_EQ(log.size(), 6u) << ReadAll(l.log);
  EXPECT_EQ(log[0], "<6>Starting on the simulated module in " + folder);
  EXPECT_EQ(log[1], "<6>Module found on the simulated module");
  // Started by hand: the viewers' socket beside the record.
  EXPECT_EQ(log[2].rfind("<6>Viewers' socket: " + folder + "/barometer.sock, for group ", 0), 0u)
      << log[2];
  EXPECT_EQ(log[3].rfind("<4>Module lost on the simulated module: ", 0), 0u) << log[3];
  EXPECT_EQ(log[4], "<6>Module back on the simulated module");
  EXPECT_EQ(log[5], "<6>Stopping: the record is committed");

  // The record whole and committed, its log copied back.
  const std::string db = Path("barometer.db");
  EXPECT_EQ(QueryText(db, "PRAGMA integrity_check"), "ok");
  EXPECT_GE(QueryNumber(db, "SELECT count(*) FROM sample"), 3);
  struct stat st {};
  EXPECT_TRUE(::stat((db + "-wal").c_str(), &st) != 0 || st.st_size == 0);
}

TEST_F(Barometerd, ALoopStuckInAPortCallSendsNoMoreWatchdogMessages) {
  Manager manager;
  Launch l = Simulated();
  l.env = {{"WATCHDOG_USEC", "1000000"}, {"BAROMETERD_TEST_HANG_AFTER", "3"}};
  l.watchdog = true;
  const pid_t pid = Start(l);
  ASSERT_TRUE(manager.WaitFor("READY=1")) << ReadAll(l.log);
  ASSERT_TRUE(manager.WaitFor("WATCHDOG=1"));
  // Once it hangs, three watchdog intervals pass in silence while it lives.
  bool silent = false;
  auto last = WallClock::now();
  const auto until = last + std::chrono::seconds(30);
  while (!silent && WallClock::now() < until) {
    const std::string m = manager.listener.Wait(200);
    if (m.find("WATCHDOG=1") != std::string::npos) last = WallClock::now();
    silent = WallClock::now() - last > std::chrono::seconds(3);
  }
  EXPECT_TRUE(silent);
  EXPECT_EQ(::kill(pid, 0), 0);  // still there: only the manager ends it
  ::kill(pid, SIGKILL);
  EXPECT_EQ(WaitExit(pid), 128 + SIGKILL);
}

TEST_F(Barometerd, SighupAppliesAChangedAltitudeAndKeepsARefusedOne) {
  Manager manager;
  Launch l = Simulated();
  const pid_t pid = Start(l);
  ASSERT_TRUE(manager.WaitFor("READY=1")) << ReadAll(l.log);
  ASSERT_TRUE(manager.WaitFor("STATUS=Recording: ")) << ReadAll(l.log);

  std::string setup = kSetup;
  setup.replace(setup.find("250.000000"), 10, "99999.000");
  std::ofstream(Path("setup.ini")) << setup;
  ::kill(pid, SIGHUP);
  ASSERT_TRUE(manager.WaitFor("RELOADING=1"));
  ASSERT_TRUE(manager.WaitFor("READY=1"));

  setup.replace(setup.find("99999.000"), 9, "412.000000");
  std::ofstream(Path("setup.ini")) << setup;
  ::kill(pid, SIGHUP);
  ASSERT_TRUE(manager.WaitFor("RELOADING=1"));
  ASSERT_TRUE(manager.WaitFor("READY=1"));
  ASSERT_TRUE(manager.WaitFor("STATUS=Recording: "));

  ::kill(pid, SIGTERM);
  EXPECT_EQ(WaitExit(pid), 0);
  const std::vector<std::string> log = Lines(ReadAll(l.log));
  EXPECT_EQ(CountHaving(log,
                        "<4>setup.ini: values refused, the values in force stay in force "
                        "for: set_altitude"),
            1)
      << ReadAll(l.log);
  EXPECT_EQ(CountHaving(log, "<6>setup.ini: applied set_altitude 250 -> 412"), 1) << ReadAll(l.log);
  // The refused one changed nothing; the other is in the record.
  const std::string db = Path("barometer.db");
  EXPECT_EQ(QueryNumber(db, "SELECT count(*) FROM altitude_change"), 1);
  EXPECT_EQ(QueryDouble(db, "SELECT new_altitude FROM altitude_change"), 412);
  EXPECT_NEAR(QueryDouble(db, "SELECT altitude FROM sample ORDER BY time DESC LIMIT 1"), 412, 5);
}

TEST_F(Barometerd, RefusesABadCommandLineOrFolderInOneLineWithStatusTwo) {
  auto run = [&](std::vector<std::string> args) {
    ::unlink(Path("stderr.log").c_str());
    Launch l = Simulated();
    l.args = std::move(args);
    return WaitExit(Start(l));
  };
  EXPECT_EQ(run({"--frobnicate"}), 2);
  EXPECT_EQ(Lines(ReadAll(Path("stderr.log"))).size(), 1u);
  EXPECT_EQ(run({"--folder", Path("missing")}), 2);
  EXPECT_EQ(Lines(ReadAll(Path("stderr.log"))).size(), 1u);
  EXPECT_EQ(run({"--version"}), 0);
}

TEST(BarometerdProgram, LinksNoWindowSystemLibrary) {
  FILE* pipe = ::popen("readelf -d " BAROMETERD " 2>/dev/null", "r");
  ASSERT_NE(pipe, nullptr);
  std::string dynamic;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) dynamic += buffer;
  const int rc = ::pclose(pipe);
  if (rc != 0 || dynamic.empty()) GTEST_SKIP() << "readelf is not installed";
  EXPECT_NE(dynamic.find("(NEEDED)"), std::string::npos);
  EXPECT_EQ(dynamic.find("libQt"), std::string::npos) << dynamic;
  EXPECT_EQ(dynamic.find("libX11"), std::string::npos) << dynamic;
  EXPECT_EQ(dynamic.find("libxcb"), std::string::npos) << dynamic;
  EXPECT_EQ(dynamic.find("libwayland"), std::string::npos) << dynamic;
}

// As the unit runs it, as far as a machine without systemd as PID 1 allows:
// as the user barometer, in a state folder of its own with the unit's
// umask, publishing to a real broker on loopback; stopped and started again,
// the record goes on.
TEST_F(Barometerd, RunsAsTheUnitWouldAndTheRecordGoesOnAfterARestart) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can run it as another user";
  if (::getpwnam("barometer") == nullptr &&
      std::system("useradd --system --user-group --no-create-home --home-dir /var/lib/barometer "
                  "--shell /usr/sbin/nologin barometer >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no user barometer, and none can be made here";
  const passwd* user = ::getpwnam("barometer");
  ASSERT_NE(user, nullptr);
  const uid_t uid = user->pw_uid;
  const gid_t gid = user->pw_gid;

  TestBroker broker(folder, TestBroker::Kind::Anonymous);
  if (!broker.Start()) GTEST_SKIP() << "no broker: " << broker.Failure();
  TestSubscriber subscriber(broker.Port(), {"service-test/#"});
  ASSERT_TRUE(WaitUntil([&] { return subscriber.Connected(); }));

  // The state folder as StateDirectory= makes it: the user's, 0750, in a
  // folder the user may pass through.
  ASSERT_EQ(::chmod(Cwd().c_str(), 0711), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0711), 0);
  const std::string state = Path("state");
  ASSERT_EQ(::mkdir(state.c_str(), 0750), 0);
  ASSERT_EQ(::chown(state.c_str(), uid, gid), 0);
  {
    std::ofstream(state + "/setup.ini") << kSetup;
    std::ofstream(state + "/barometer.ini")
        << "mqtt_enabled\t1\nmqtt_host\t127.0.0.1\nmqtt_port\t" << broker.Port()
        << "\nmqtt_interval\t0\nmqtt_base_topic\tservice-test\n";
    ASSERT_EQ(::chown((state + "/setup.ini").c_str(), uid, gid), 0);
    ASSERT_EQ(::chown((state + "/barometer.ini").c_str(), uid, gid), 0);
  }
  auto run = [&](int states) {
    Manager manager;
    // The manager's socket is for the service's user to write to.
    ASSERT_EQ(::chmod((Cwd() + "/notify." + std::to_string(::getpid())).c_str(), 0666), 0);
    Launch l;
    l.args = {"--simulated", "--folder", state};
    l.log = Path("unit.log");
    l.uid = uid;
    l.gid = gid;
    l.umask = 027;
    subscriber.Clear();
    const pid_t pid = Start(l);
    EXPECT_TRUE(manager.WaitFor("READY=1")) << ReadAll(l.log);
    EXPECT_TRUE(subscriber.WaitFor("service-test/state", states)) << ReadAll(l.log);
    ::kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 0) << ReadAll(l.log);
    bool offline = false;
    for (const auto& m : subscriber.On("service-test/availability"))
      offline = m.payload == "offline";
    EXPECT_TRUE(offline);
  };
  run(3);
  const std::string db = state + "/barometer.db";
  const long long first = QueryNumber(db, "SELECT count(*) FROM sample");
  EXPECT_GE(first, 3);
  struct stat st {};
  ASSERT_EQ(::stat(db.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, uid);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the group may read it, nobody else

  run(3);
  EXPECT_GE(QueryNumber(db, "SELECT count(*) FROM sample"), first + 3);
  EXPECT_EQ(QueryText(db, "PRAGMA integrity_check"), "ok");
  const std::vector<std::string> log = Lines(ReadAll(Path("unit.log")));
  EXPECT_EQ(CountHaving(log, "<6>MQTT: connected to 127.0.0.1:"), 2) << ReadAll(Path("unit.log"));
}

namespace {

// A user for the viewers' tests, made when missing: in group barometer or
// not in it. Null when the machine does not allow it.
const passwd* ViewerUser(const char* name, bool member) {
  if (::getpwnam(name) == nullptr) {
    const std::string add = std::string("useradd --no-create-home --shell /usr/sbin/nologin ") +
                            (member ? "--groups barometer " : "") + name + " >/dev/null 2>&1";
    if (std::system(add.c_str()) != 0) return nullptr;
  } else if (member) {
    const std::string add = std::string("usermod -a -G barometer ") + name + " >/dev/null 2>&1";
    if (std::system(add.c_str()) != 0) return nullptr;
  }
  return ::getpwnam(name);
}

// What a viewer saw: it connects as the user (with the user's groups), sends
// `request` (if any) and reads for `ms` milliseconds or until the service
// closes. `connect_error` is errno of a connect that failed.
struct Seen {
  std::string text;
  int connect_error = 0;
  bool closed = false;
};

Seen ViewAs(const char* name, const std::string& socket, const std::string& request, int ms) {
  Seen seen;
  const passwd* user = ::getpwnam(name);
  if (user == nullptr) return seen;
  // Everything the child needs is made here: it only makes system calls.
  std::vector<gid_t> groups(256);
  int count = static_cast<int>(groups.size());
  ::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count);
  groups.resize(count > 0 ? static_cast<size_t>(count) : 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
  const uid_t uid = user->pw_uid;
  const gid_t gid = user->pw_gid;
  int out[2];
  if (::pipe(out) != 0) return seen;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(out[0]);
    if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
      ::_exit(125);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      const int error = errno;
      (void)!::write(out[1], &error, sizeof error);
      ::_exit(1);
    }
    const int none = 0;
    (void)!::write(out[1], &none, sizeof none);
    if (!request.empty()) (void)!::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buffer[65536];
    for (int waited = 0; waited < ms; waited += 50) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n <= 0) {
        const char closed = 'X';  // no line holds a bare X
        (void)!::write(out[1], &closed, 1);
        ::_exit(0);
      }
      (void)!::write(out[1], buffer, static_cast<size_t>(n));
    }
    ::_exit(0);
  }
  ::close(out[1]);
  char buffer[65536];
  std::string all;
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) all.append(buffer, n);
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (all.size() >= sizeof(int)) {
    std::memcpy(&seen.connect_error, all.data(), sizeof(int));
    seen.text = all.substr(sizeof(int));
  }
  if (!seen.text.empty() && seen.text.back() == 'X') {
    seen.closed = true;
    seen.text.pop_back();
  }
  return seen;
}

}  // namespace

// Two users beside the service as the unit runs it (its user, its runtime
// folder): a member of group barometer watches and changes the altitude; one
// who is not cannot open the socket, and is refused by the service itself
// even when the socket's mode would let anyone in.
TEST_F(Barometerd, AMemberOfTheGroupWatchesAndChangesTheAltitudeAndOthersAreRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can make users and run as them";
  if (::getgrnam("barometer") == nullptr &&
      std::system("groupadd --system barometer >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no group barometer, and none can be made here";
  if (::getpwnam("barometer") == nullptr &&
      std::system("useradd --system --gid barometer --no-create-home --home-dir "
                  "/var/lib/barometer --shell /usr/sbin/nologin barometer >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no user barometer, and none can be made here";
  const passwd* service_user = ::getpwnam("barometer");
  ASSERT_NE(service_user, nullptr);
  const uid_t uid = service_user->pw_uid;
  const gid_t gid = service_user->pw_gid;
  const gid_t group = ::getgrnam("barometer")->gr_gid;
  if (ViewerUser("barometer-member", true) == nullptr ||
      ViewerUser("barometer-other", false) == nullptr)
    GTEST_SKIP() << "no viewers' users can be made here (useradd)";
  const uid_t other_uid = ::getpwnam("barometer-other")->pw_uid;

  // The folders as the unit makes them: state and runtime, the user's, 0750.
  ASSERT_EQ(::chmod(Cwd().c_str(), 0711), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0711), 0);
  const std::string state = Path("state");
  const std::string run = Path("run");
  for (const std::string& f : {state, run}) {
    ASSERT_EQ(::mkdir(f.c_str(), 0750), 0);
    ASSERT_EQ(::chown(f.c_str(), uid, group), 0);
  }
  std::ofstream(state + "/setup.ini") << kSetup;
  ASSERT_EQ(::chown((state + "/setup.ini").c_str(), uid, gid), 0);

  Launch l;
  l.args = {"--simulated", "--folder", state};
  l.env = {{"RUNTIME_DIRECTORY", run}};
  l.log = Path("unit.log");
  l.uid = uid;
  l.gid = gid;
  l.umask = 027;
  const pid_t pid = Start(l);
  // Stopped whatever the checks find.
  struct Stop {
    pid_t pid;
    ~Stop() {
      if (pid > 0 && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, nullptr, 0);
    }
  } stop{pid};
  const std::string socket = run + "/barometer.sock";
  struct stat st {};
  ASSERT_TRUE(WaitUntil([&] { return ::stat(socket.c_str(), &st) == 0; })) << ReadAll(l.log);
  EXPECT_EQ(st.st_mode & 0777, 0660u);
  EXPECT_EQ(st.st_gid, group);

  const Seen watched =
      ViewAs("barometer-member", socket,
             "{\"request\":\"set\",\"id\":5,\"settings\":{\"altitude\":412}}\n", 3000);
  EXPECT_EQ(watched.connect_error, 0);
  const std::vector<std::string> lines = Lines(watched.text);
  ASSERT_FALSE(lines.empty()) << ReadAll(l.log);
  EXPECT_EQ(lines[0].rfind("{\"event\":\"hello\",", 0), 0u) << lines[0];
  EXPECT_EQ(CountHaving(lines, "{\"event\":\"reply\",\"id\":5,\"ok\":true}"), 1) << watched.text;
  int announced = 0;
  for (const std::string& line : lines)
    announced += line.rfind("{\"event\":\"settings\",", 0) == 0 &&
                 line.find("\"settings\":{\"n\":1,\"ts\":1,\"altitude\":412,") != std::string::npos;
  EXPECT_EQ(announced, 1) << watched.text;
  EXPECT_GE(CountHaving(lines, "{\"event\":\"sample\","), 1);
  EXPECT_NE(ReadAll(state + "/setup.ini").find("set_altitude\t412.000000\n"), std::string::npos);

  // The mode keeps the other out...
  const Seen kept_out = ViewAs("barometer-other", socket, "", 1000);
  EXPECT_EQ(kept_out.connect_error, EACCES);
  // ...and were it wrong, the service itself refuses them.
  ASSERT_EQ(::chmod(run.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(socket.c_str(), 0666), 0);
  const Seen refused =
      ViewAs("barometer-other", socket,
             "{\"request\":\"set\",\"id\":6,\"settings\":{\"altitude\":0}}\n", 3000);
  EXPECT_EQ(refused.connect_error, 0);
  EXPECT_TRUE(refused.closed);
  EXPECT_EQ(refused.text.rfind(
                "{\"event\":\"refused\",\"reason\":\"not a member of group barometer\"}\n", 0),
            0u)
      << refused.text;
  EXPECT_EQ(CountHaving(Lines(refused.text), "\"event\":\"hello\""), 0);
  EXPECT_NE(ReadAll(state + "/setup.ini").find("set_altitude\t412.000000\n"), std::string::npos);

  ::kill(pid, SIGTERM);
  EXPECT_EQ(WaitExit(pid), 0) << ReadAll(l.log);
  stop.pid = -1;
  EXPECT_NE(::stat(socket.c_str(), &st), 0);  // removed at the stop
  EXPECT_NE(ReadAll(l.log).find("A viewer was refused (uid " + std::to_string(other_uid)),
            std::string::npos);
}
