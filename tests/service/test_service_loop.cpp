#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "service/Tcadence.h"
#include "service/Tsd_notify.h"
#include "service/Tservice_log.h"
#include "service/Tservice_loop.h"
#include "support_listener.h"

namespace {
int Count(const std::vector<std::string>& messages, const std::string& what) {
  int n = 0;
  for (const std::string& m : messages) n += m.rfind(what, 0) == 0;
  return n;
}

std::string ReadFile(const char* name) {
  std::ifstream in(name);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The loop on virtual time, told by a listener of the test's own, with a
// watchdog of watchdog_usec for this process.
struct VirtualService {
  explicit VirtualService(const char* watchdog_usec = "4000000")
      : usec("WATCHDOG_USEC", watchdog_usec),
        pid("WATCHDOG_PID", std::to_string(::getpid()).c_str()),
        log_fd(::open("service.log", O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)),
        log(log_fd),
        loop(clock, cadence, &notify, &log, true) {}
  ~VirtualService() { ::close(log_fd); }

  NotifyListener manager;
  ScopedEnv usec, pid;
  VirtualClock clock{1700000000};
  Tcadence cadence{clock, 1000};
  Tsd_notify notify;
  int log_fd;
  Tservice_log log;
  Tservice_loop loop;
};
}  // namespace

TEST(ServiceLoop, TicksOnTheClockUntilSigtermWithTheWatchdogAtItsRate) {
  VirtualService s;
  ASSERT_TRUE(s.manager.Valid());
  std::string error;
  ASSERT_TRUE(s.loop.Open(&error)) << error;
  std::vector<std::time_t> times;
  s.loop.on_tick = [&] {
    times.push_back(s.clock.Now());
    s.clock.AdvanceMs(300);  // a sampling sequence
    if (times.size() == 10) ::raise(SIGTERM);
  };
  EXPECT_EQ(s.loop.Run(), SIGTERM);
  ASSERT_EQ(times.size(), 10u);
  for (size_t i = 0; i < times.size(); ++i) EXPECT_EQ(times[i], 1700000000 + (time_t)i);
  const std::vector<std::string> got = s.manager.Take();
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ(got.front(), "READY=1");
  EXPECT_EQ(got.back(), "STOPPING=1");
  // A 4 s watchdog hears from the loop every 2 s: after ticks 1, 3, 5, 7, 9.
  EXPECT_EQ(Count(got, "WATCHDOG=1"), 5);
  EXPECT_EQ(got.size(), 7u);
}

TEST(ServiceLoop, SighupReloadsBetweenTicksAndSigintEnds) {
  VirtualService s;
  ASSERT_TRUE(s.loop.Open(nullptr));
  int ticks = 0;
  std::vector<int> reloaded_after;
  s.loop.on_tick = [&] {
    ++ticks;
    if (ticks == 3) ::raise(SIGHUP);
    if (ticks == 6) ::raise(SIGINT);
  };
  s.loop.on_reload = [&] { reloaded_after.push_back(ticks); };
  EXPECT_EQ(s.loop.Run(), SIGINT);
  EXPECT_EQ(ticks, 6);
  EXPECT_EQ(reloaded_after, std::vector<int>{3});
  const std::vector<std::string> got = s.manager.Take();
  size_t reloading = 0;
  while (reloading < got.size() && got[reloading].rfind("RELOADING=1\n", 0) != 0) ++reloading;
  ASSERT_LT(reloading + 1, got.size());
  EXPECT_EQ(got[reloading + 1], "READY=1");
  EXPECT_EQ(Count(got, "READY=1"), 2);
}

TEST(ServiceLoop, AClockJumpIsLoggedOnceAndTheTicksFollowIt) {
  VirtualService s;
  ASSERT_TRUE(s.loop.Open(nullptr));
  std::vector<int64_t> at;
  s.loop.on_tick = [&] {
    at.push_back(s.clock.CalendarMs());
    if (at.size() == 2) s.clock.SetWallClockBy(3600);
    if (at.size() == 5) s.loop.Stop();
  };
  EXPECT_EQ(s.loop.Run(), 0);
  const int64_t start = 1700000000000LL;
  EXPECT_EQ(at, (std::vector<int64_t>{start, start + 1000, start + 3601000, start + 3602000,
                                      start + 3603000}));
  EXPECT_EQ(ReadFile("service.log"),
            "<4>The clock was set forwards by 3600 s; the samples follow the new time\n");
  EXPECT_EQ(s.manager.Take().back(), "STOPPING=1");
}

TEST(ServiceLoop, AWatchedDescriptorIsServedInTheLoop) {
  VirtualService s;
  ASSERT_TRUE(s.loop.Open(nullptr));
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
  int ticks = 0;
  std::string read;
  s.loop.on_tick = [&] {
    if (++ticks == 2) {
      ASSERT_EQ(::write(fds[1], "v", 1), 1);
    }
  };
  s.loop.Watch(fds[0], POLLIN, [&](short) {
    char c;
    while (::read(fds[0], &c, 1) == 1) read += c;
    s.loop.Stop();
  });
  EXPECT_EQ(s.loop.Run(), 0);
  EXPECT_EQ(read, "v");
  EXPECT_EQ(ticks, 2);
  ::close(fds[0]);
  ::close(fds[1]);
}

// On real time: a tick that hangs in a port call (here: a read of a pipe
// that nobody writes to yet) silences the watchdog messages, however long
// it hangs, and they come again once it returns.
TEST(ServiceLoop, AHungTickStopsTheWatchdogMessages) {
  NotifyListener manager;
  ScopedEnv usec("WATCHDOG_USEC", "100000");  // a message every 50 ms at least
  ScopedEnv pid("WATCHDOG_PID", std::to_string(::getpid()).c_str());
  int entered[2], release[2];
  ASSERT_EQ(::pipe2(entered, O_CLOEXEC), 0);
  ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);
  std::atomic<bool> finish{false};
  std::thread service([&] {
    SystemClock clock;
    Tcadence cadence(clock, 20);
    Tsd_notify notify;
    Tservice_loop loop(clock, cadence, &notify, nullptr);
    int ticks = 0;
    loop.on_tick = [&] {
      if (++ticks == 10) {
        char c = 'h';
        (void)!::write(entered[1], &c, 1);
        (void)!::read(release[0], &c, 1);  // the port call that hangs
      }
      if (finish) loop.Stop();
    };
    loop.Run();
  });
  char c;
  ASSERT_EQ(::read(entered[0], &c, 1), 1);  // the tick hangs from now on
  const std::vector<std::string> before = manager.Take();
  EXPECT_GE(Count(before, "WATCHDOG=1"), 1);
  // Ten times the watchdog's rate: a timer thread would have sent ten.
  ::poll(nullptr, 0, 500);
  EXPECT_EQ(Count(manager.Take(), "WATCHDOG=1"), 0);
  ASSERT_EQ(::write(release[1], "r", 1), 1);
  EXPECT_EQ(manager.Wait(30000), "WATCHDOG=1");
  finish = true;
  service.join();
  for (int fd : {entered[0], entered[1], release[0], release[1]}) ::close(fd);
}
