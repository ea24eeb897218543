#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModuleLines.h"
#include "service/Tcadence.h"
#include "service/Tservice.h"
#include "service/Tservice_log.h"

// What the service's tests share: a folder of each test's own, the service
// on the simulated module and virtual time, reading the files it writes,
// and the setup.ini they start it with.

inline std::string ReadAll(const std::string& name) {
  std::ifstream in(name);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// n = 1, ts = 1, 250 m and the default weather limits.
inline const char kSetup[] =
    "set_sampling_n\t1\nset_sampling_ts\t1\nset_altitude\t250.000000\n"
    "set_meteo_overcast_limit\t1002.000000\nset_meteo_variable_limit\t1009.000000\n"
    "set_meteo_sunny_limit\t1016.000000\n";

inline int CountHaving(const std::vector<std::string>& lines, const std::string& text) {
  int n = 0;
  for (const std::string& line : lines) n += line.find(text) != std::string::npos;
  return n;
}

// Each test in a folder of its own, made in the working folder.
class ServiceFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "service.XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    char real[PATH_MAX];
    ASSERT_NE(::realpath(name, real), nullptr);
    folder = real;
  }
  std::string Path(const std::string& name) const { return folder + "/" + name; }
  std::string folder;
};

// barometerd's station on the simulated module and a virtual clock,
// logging to service.log in its folder (started again, it logs on after
// what was there with `keep_log`). With an IIO root it opens the port of
// barometer.ini instead, and finds the kernel's sensors there.
struct SimulatedService {
  explicit SimulatedService(const std::string& folder, std::time_t start = 1700000000,
                            const std::string& iio_root = std::string(), bool keep_log = false)
      : log_name(folder + "/service.log"),
        clock(start),
        log_fd(::open(log_name.c_str(),
                      O_RDWR | O_CREAT | O_CLOEXEC | (keep_log ? O_APPEND : O_TRUNC), 0600)),
        log(log_fd),
        service(clock, log, nullptr, folder, iio_root.empty() ? &lines : nullptr,
                iio_root.empty() ? "the simulated module" : "") {
    if (!iio_root.empty()) service.iio_root = iio_root;
  }
  ~SimulatedService() {
    service.Stop();
    ::close(log_fd);
  }
  std::string LogText() const { return ReadAll(log_name); }

  std::string log_name;
  VirtualClock clock;
  SimulatedModule module{clock, 1};
  SimulatedModuleLines lines{module};
  Tcadence cadence{clock, 1000};
  int log_fd;
  Tservice_log log;
  Tservice service;
};
