// What publishing to an MQTT broker costs the measurement tick:
// - BM_PublishEverySample: the hand-over of one sample (interval 0, a state
//   message for every sample), connected to a real mosquitto broker that
//   the benchmark starts on a free loopback port;
// - BM_LongestTick/silent and /unresolvable: whole ticks of the program,
//   one every 10 ms of real time for BAROMETER_BENCH_SECONDS (default 300),
//   while the broker is a socket that takes connections and never answers,
//   or while its host name does not resolve; the longest and the mean tick
//   are reported, beside a run without publishing.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "fakes/ScriptedDialogs.h"
#include "main/Entry.h"
#include "main/Program.h"
#include "main/Publishing.h"
#include "main/Tmain.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "windows/Tintro.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// A loopback socket bound to a free port; listening when asked to.
int LoopbackSocket(int& port, bool listening) {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address);
  if (listening) listen(sock, 16);
  getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return sock;
}

// The program on the simulated module with the given barometer.ini, the
// module detected and measuring.
struct RunningProgram {
  explicit RunningProgram(const std::string& ini) {
    std::ofstream("barometer.ini") << ini;
    module.SetConversionTimeMs(0);
    BeginProgram(port, clock, dialogs);
    CreateWindows();
    TWintro* intro = Program().Wintro;
    for (int tick = 0; tick < 20 && intro->Timer1->isActive(); ++tick) {
      clock.AdvanceMs(300);
      intro->OnTimer();
    }
    QCoreApplication::processEvents();
  }
  ~RunningProgram() {
    EndProgram();
    std::remove("barometer.ini");
  }
  TmqttStatus Status() const { return Program().publisher->client.Status(); }

  VirtualClock clock;
  SimulatedModule module{clock, 11};
  SimulatedModulePort port{module};
  ScriptedDialogs dialogs;
};

std::string IniFor(const std::string& host, int port) {
  return "mqtt_enabled\t1\nmqtt_host\t" + host + "\nmqtt_port\t" + std::to_string(port) +
         "\nmqtt_interval\t0\nmqtt_base_topic\tbench/barometer\n";
}

void BM_PublishEverySample(benchmark::State& state) {
  int port = 0;
  close(LoopbackSocket(port, false));
  const std::string folder = QDir::currentPath().toStdString();
  {
    std::ofstream conf(folder + "/bench_mosquitto.conf");
    if (const passwd* user = getpwuid(geteuid())) conf << "user " << user->pw_name << "\n";
    conf << "persistence false\nlog_dest none\nallow_anonymous true\nlistener " << port
         << " 127.0.0.1\n";
  }
  QProcess broker;
  broker.setStandardOutputFile(QProcess::nullDevice());
  broker.setStandardErrorFile(QProcess::nullDevice());
  broker.start("mosquitto", {"-c", QString::fromStdString(folder + "/bench_mosquitto.conf")});
  if (!broker.waitForStarted()) {
    state.SkipWithError("mosquitto did not start");
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  {
    RunningProgram program(IniFor("127.0.0.1", port));
    const auto until = SteadyClock::now() + std::chrono::seconds(10);
    while (program.Status().phase != TmqttPhase::Connected && SteadyClock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (program.Status().phase != TmqttPhase::Connected) {
      state.SkipWithError("not connected to the broker");
    } else {
      TWmain* w = Program().Wmain;
      const long before = program.Status().states_published;
      for (auto _ : state) {
        program.clock.AdvanceSeconds(1);  // a new sample time: always due
        w->PublishSample();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      state.counters["published"] = static_cast<double>(program.Status().states_published - before);
    }
  }
  broker.terminate();
  broker.waitForFinished();
}
BENCHMARK(BM_PublishEverySample)->Unit(benchmark::kMicrosecond);

// Whole ticks, one every 10 ms, for the benchmark's duration.
void TickFor(benchmark::State& state, RunningProgram& program) {
  const char* env = std::getenv("BAROMETER_BENCH_SECONDS");
  const int seconds = env ? std::max(1, std::atoi(env)) : 300;
  TWmain* w = Program().Wmain;
  for (auto _ : state) {
    double longest = 0, total = 0;
    long ticks = 0;
    const auto end = SteadyClock::now() + std::chrono::seconds(seconds);
    while (SteadyClock::now() < end) {
      program.clock.AdvanceSeconds(1);
      const auto start = SteadyClock::now();
      w->OnTimer();
      const double us =
          std::chrono::duration<double, std::micro>(SteadyClock::now() - start).count();
      longest = std::max(longest, us);
      total += us;
      ++ticks;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    state.counters["ticks"] = static_cast<double>(ticks);
    state.counters["longest_tick_us"] = longest;
    state.counters["mean_tick_us"] = total / static_cast<double>(ticks);
    state.counters["attempts"] = program.Status().connections;
  }
  state.SetLabel(StatusText(program.Status()));
}

void BM_LongestTick(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  int port = 0;
  const int sock = LoopbackSocket(port, true);  // takes connections, never answers
  std::string ini;
  if (kind == 1) ini = IniFor("127.0.0.1", port);
  if (kind == 2) ini = IniFor("no-such-host.invalid", 1883);
  {
    RunningProgram program(ini);
    TickFor(state, program);
  }
  close(sock);
}
BENCHMARK(BM_LongestTick)
    ->ArgName("none_silent_unresolvable")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
