// What the viewers of the service's socket cost its measurement tick: one
// whole tick of barometerd's station (the simulated module with no
// conversion time, the record, the fan-out to every sink), with 0, 1 and 50
// viewers connected and reading; the target is 50 viewers at most 1.5 x the
// tick without any.
// - BM_ServiceTick: the tick alone. It keeps its sample; the loop makes the
//   lines and writes them right after it (outside the time measured here).
// - BM_ServiceTickAndWrites: the tick, those lines and their writes, all the
//   loop does for a sample.
// The viewers empty their sockets outside the time measured.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
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

namespace {

int Viewer(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  return fd;
}

void Drain(const std::vector<int>& fds) {
  char buffer[65536];
  for (const int fd : fds)
    while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
}

void ServiceTick(benchmark::State& state, bool with_writes) {
  char name[] = "viewers.XXXXXX";
  if (::mkdtemp(name) == nullptr) {
    state.SkipWithError("no folder");
    return;
  }
  const std::string folder = name;
  std::ofstream(folder + "/setup.ini") << "set_sampling_n\t1\nset_sampling_ts\t1\n";
  const int log_fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  {
    VirtualClock clock(1700000000);
    SimulatedModule module(clock, 1);
    module.SetConversionTimeMs(0);
    SimulatedModuleLines lines(module);
    Tcadence cadence(clock, 1000);
    Tservice_log log(log_fd);
    Tservice service(clock, log, nullptr, folder, &lines, "the simulated module");
    Tservice_loop loop(clock, cadence, nullptr, &log, true);
    Tviewer_server server(service, loop, log, clock);
    service.Start();
    if (!server.Open(folder + "/barometer.sock")) {
      state.SkipWithError("no socket");
      return;
    }
    std::vector<int> viewers;
    for (int i = 0; i < state.range(0); ++i) viewers.push_back(Viewer(server.Path()));
    // The loop lets them in, a few a tick.
    int left = 8;
    loop.on_tick = [&] {
      service.Tick();
      if (--left == 0) loop.Stop();
    };
    loop.Run();
    if (server.Viewers() != viewers.size()) {
      state.SkipWithError("not every viewer was let in");
      return;
    }
    long ticks = 0;
    for (auto _ : state) {
      clock.AdvanceMs(1000);
      service.Tick();
      if (with_writes) {
        server.WriteQueued();
        if (++ticks % 64 == 0) {
          state.PauseTiming();
          Drain(viewers);
          state.ResumeTiming();
        }
      } else {
        state.PauseTiming();
        server.WriteQueued();
        if (++ticks % 64 == 0) Drain(viewers);
        state.ResumeTiming();
      }
    }
    state.counters["viewers"] = static_cast<double>(server.Viewers());
    for (const int fd : viewers) ::close(fd);
    server.Close();
    service.Stop();
  }
  ::close(log_fd);
  std::system(("rm -rf " + folder).c_str());
}
void BM_ServiceTick(benchmark::State& state) {
  ServiceTick(state, false);
}
void BM_ServiceTickAndWrites(benchmark::State& state) {
  ServiceTick(state, true);
}
BENCHMARK(BM_ServiceTick)->Arg(0)->Arg(1)->Arg(50)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ServiceTickAndWrites)->Arg(0)->Arg(1)->Arg(50)->Unit(benchmark::kMicrosecond);

}  // namespace
