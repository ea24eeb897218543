#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "service/Tservice_log.h"

namespace {
// A log into a file of the test's folder, read back whole.
class LogFile {
 public:
  LogFile() : fd_(::open("service.log", O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)) {}
  ~LogFile() { ::close(fd_); }
  int Fd() const { return fd_; }
  std::string Text() const {
    std::ifstream in("service.log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  int fd_;
};
}  // namespace

TEST(ServiceLog, LinesCarryTheirPriority) {
  LogFile file;
  Tservice_log log(file.Fd());
  log.Info("Started on GPIO /dev/gpiochip0 in /var/lib/barometer");
  log.Warning("The clock was set back by 3600 s");
  log.Error("The record failed:\nthe disk is full");
  EXPECT_EQ(file.Text(),
            "<6>Started on GPIO /dev/gpiochip0 in /var/lib/barometer\n"
            "<4>The clock was set back by 3600 s\n"
            "<3>The record failed: the disk is full\n");
}

TEST(ServiceLog, OneLinePerChangeOfStateNeverPerSample) {
  LogFile file;
  Tservice_log log(file.Fd());
  // A module found, unplugged for a while, plugged in again; the broker
  // connecting in between. Each tick reports every state as it stands.
  const char* module[] = {"found", "found", "found", "lost", "lost",
                          "lost",  "lost",  "found", "found"};
  int logged = 0;
  for (int tick = 0; tick < 9; ++tick) {
    const std::string state = module[tick];
    logged +=
        log.Change("module", state, state == "found" ? LogPriority::kInfo : LogPriority::kWarning,
                   state == "found" ? (log.State("module").empty() ? "Module found" : "Module back")
                                    : "Module lost");
    logged += log.Change("mqtt", tick < 2 ? "lost" : "connected",
                         tick < 2 ? LogPriority::kWarning : LogPriority::kInfo,
                         tick < 2 ? "Broker not reached" : "Broker connected");
  }
  EXPECT_EQ(logged, 5);
  EXPECT_EQ(file.Text(),
            "<6>Module found\n"
            "<4>Broker not reached\n"
            "<6>Broker connected\n"
            "<4>Module lost\n"
            "<6>Module back\n");
  EXPECT_EQ(log.State("module"), "found");
  log.Forget("module");
  EXPECT_TRUE(log.Change("module", "found", LogPriority::kInfo, "Module found"));
}

TEST(ServiceLog, AFailingLogDoesNotStopTheService) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[0]);  // no reader: every write fails (with SIGPIPE ignored, as the service has it)
  struct sigaction ignore {
  }, old{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &old);
  Tservice_log log(fds[1]);
  log.Error("nobody reads this");
  EXPECT_TRUE(log.Change("record", "failed", LogPriority::kError, "The record failed"));
  ::sigaction(SIGPIPE, &old, nullptr);
  ::close(fds[1]);
}
