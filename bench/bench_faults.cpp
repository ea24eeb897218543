// A loose cable between the driver and the simulated module
// (fakes/UnpluggingPort.h) pulls the plug at random register accesses,
// and every sample the program shows, charts or logs is compared with the
// simulated atmosphere at that moment (tolerance 0.3 mbar and 0.1 deg C).
//
//   BM_FaultModel/max_length/gap/lines
//                              the whole program, n = 1, ts = 1, the data log
//                              running: 5,000 unplug/replug events of 1 to
//                              max_length accesses, each after 1 to gap
//                              accesses plugged in (2,000: the module is in
//                              about half the time with events of 1 to 400
//                              accesses; 500: a cable that flutters). lines
//                              0: the cable on the port's registers; 1: on
//                              the module's lines, with no port (trees that
//                              have fakes/UnpluggingLines.h).
//   BM_DetectionFaults/length  the module detection (Reset, ReadCalibration,
//                              the splash window's step 1) with the plug
//                              pulled at each of its register accesses in
//                              turn: for length accesses, or (length 0) until
//                              detection ends; then the hand-over's forced
//                              sample and 29 ticks with the module plugged in.
//   BM_FaultFreeTick           CPU time of one measurement tick of the sensor
//                              on a module without faults (conversions end at
//                              the first poll, sleeps are virtual).
//
// The source builds against the driver of any branch (it uses only what the
// program had before the checks); bench/fault_compare runs it against the main
// branch and this tree in one go and prints both.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "chart/Tchart.h"
#include "fakes/ScriptedDialogs.h"
#include "fakes/UnpluggingPort.h"
#include "main/Entry.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#if __has_include("fakes/UnpluggingLines.h")
#include "fakes/UnpluggingLines.h"
#include "platform/SimulatedModuleLines.h"
#define BAROMETER_BENCH_LINES 1
#endif
#include "sensor/Tsensor.h"
#include "windows/Tintro.h"

namespace {

constexpr double kPressureTolerance = 0.3;     // mbar
constexpr double kTemperatureTolerance = 0.1;  // deg C
constexpr int kEvents = 5000;

bool Wrong(double p, double t, SimulatedModule& module, std::time_t now) {
  const double truth_p = module.LocalPressureAt(static_cast<double>(now));
  const double truth_t = module.TemperatureAt(static_cast<double>(now));
  return !(std::fabs(p - truth_p) <= kPressureTolerance) ||
         !(std::fabs(t - truth_t) <= kTemperatureTolerance);
}

void Print(const char* line) {
  std::fputs(line, stdout);
  std::fflush(stdout);
}

// ---------------------------------------------------------------------------
// The whole program under random unplug/replug events.

void BM_FaultModel(benchmark::State& state) {
  const int64_t max_length = state.range(0);
  const int64_t gap_max = state.range(1);
  const bool on_lines = state.range(2) != 0;
#ifndef BAROMETER_BENCH_LINES
  if (on_lines) {
    state.SkipWithError("this tree has no line interface");
    return;
  }
#endif
  for (auto _ : state) {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    {
      std::ofstream setup("setup.ini", std::ios::binary);
      setup << "set_sampling_n\t1\nset_sampling_ts\t1\nset_altitude\t250.000000\n";
    }
    VirtualClock clock;
    SimulatedModule module(clock, 17);
    SimulatedModulePort module_port(module);
    UnpluggingPort register_cable(module, module_port);
#ifdef BAROMETER_BENCH_LINES
    SimulatedModuleLines module_lines(module);
    UnpluggingLines line_cable(module, module_lines);
    UnplugSchedule& port = on_lines ? static_cast<UnplugSchedule&>(line_cable)
                                    : static_cast<UnplugSchedule&>(register_cable);
    ScriptedDialogs dialogs;
    if (on_lines) {
      BeginProgram(line_cable, clock, dialogs);
    } else {
      BeginProgram(register_cable, clock, dialogs);
    }
#else
    UnpluggingPort& port = register_cable;
    ScriptedDialogs dialogs;
    BeginProgram(port, clock, dialogs);
#endif
    CreateWindows();
    TWintro* intro = Program().Wintro;
    for (int step = 0; step < 20 && intro->Timer1->isActive(); ++step) {
      clock.AdvanceMs(300);
      intro->OnTimer();
    }
    TWmain* w = Program().Wmain;
    TWchart* chart = Program().Wchart;
    dialogs.file_answers.push_back(dir.filePath("samples.dat").toStdString());
    chart->Storesamplestofile1Click();

    // The true values at each charted sample, in order, for the log rows.
    std::vector<std::pair<double, double>> charted_truth;
    long ticks = 0, shown = 0, wrong_shown = 0, charted = 0, wrong_charted = 0;
    double worst = 0;
    port.Random(static_cast<uint64_t>(max_length * 7919 + gap_max), 1, gap_max, max_length,
                kEvents);
    while (port.RandomEventsLeft() > 0 && ticks < 2000000) {
      const int charted_before = chart->MeasurementCount();
      clock.AdvanceSeconds(1);
      w->OnTimer();
      ++ticks;
      const std::time_t now = clock.Now();
      const double truth_p = module.LocalPressureAt(static_cast<double>(now));
      const double truth_t = module.TemperatureAt(static_cast<double>(now));
      if (w->last_sample_good) {
        ++shown;
        if (Wrong(w->p_local, w->t_local, module, now)) {
          ++wrong_shown;
          worst = std::max(worst, std::fabs(w->p_local - truth_p));
        }
      } else if (w->lbpressure->text() != "--") {
        ++wrong_shown;  // a failed sample must show "--"
      }
      if (chart->MeasurementCount() != charted_before) {
        ++charted;
        charted_truth.emplace_back(truth_p, truth_t);
        if (Wrong(w->p_local, w->t_local, module, now)) ++wrong_charted;
      }
    }
    chart->Enddatalogging1Click();

    // Every row of the data log against the truth of its sample.
    long logged = 0, wrong_logged = 0;
    std::ifstream log(dir.filePath("samples.dat").toStdString());
    std::string line;
    while (std::getline(log, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::vector<std::string> fields;
      std::stringstream row(line);
      std::string field;
      while (std::getline(row, field, ';')) fields.push_back(field);
      if (fields.size() < 6) continue;
      const double p = std::stod(fields[3]);
      const double t = std::stod(fields[4]);
      if (static_cast<size_t>(logged) < charted_truth.size()) {
        const auto& truth = charted_truth[static_cast<size_t>(logged)];
        // The log keeps two decimals.
        if (!(std::fabs(p - truth.first) <= kPressureTolerance + 0.005) ||
            !(std::fabs(t - truth.second) <= kTemperatureTolerance + 0.005))
          ++wrong_logged;
      }
      ++logged;
    }
    const bool minmax_polluted =
        w->t_max > 40 || w->t_min < -10 || w->p_sea_max > 1060 || w->p_sea_min < 960;

    state.counters["events"] = port.EventsDone();
    state.counters["ticks"] = static_cast<double>(ticks);
    state.counters["shown"] = static_cast<double>(shown);
    state.counters["wrong_shown"] = static_cast<double>(wrong_shown);
    state.counters["wrong_charted"] = static_cast<double>(wrong_charted);
    state.counters["wrong_logged"] = static_cast<double>(wrong_logged);
    state.counters["good_share_pct"] =
        100.0 * static_cast<double>(shown - wrong_shown) / static_cast<double>(ticks);
    char text[512];
    std::snprintf(text, sizeof text,
                  "fault model%s 1..%lld accesses, gaps 1..%lld: %d events, %ld ticks, %ld shown, "
                  "%ld wrong shown "
                  "(worst %.2f mbar), %ld charted, %ld wrong charted, %ld logged, %ld wrong "
                  "logged, good samples %.2f %% of ticks, min/max %s\n",
                  on_lines ? " (lines)" : "", static_cast<long long>(max_length),
                  static_cast<long long>(gap_max), port.EventsDone(), ticks, shown, wrong_shown,
                  worst, charted, wrong_charted, logged, wrong_logged,
                  100.0 * static_cast<double>(shown - wrong_shown) / static_cast<double>(ticks),
                  minmax_polluted ? "POLLUTED" : "clean");
    Print(text);
    EndProgram();
    QDir::setCurrent(previous);
  }
}
BENCHMARK(BM_FaultModel)
    ->ArgNames({"max_length", "gap", "lines"})
    ->Args({400, 2000, 0})
    ->Args({3000, 2000, 0})
    ->Args({400, 500, 0})
    ->Args({3000, 500, 0})
    ->Args({400, 2000, 1})
    ->Args({3000, 500, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Faults during detection.

struct SensorOnModule {
  SensorOnModule()
      : module(clock, 5), module_port(module), port(module, module_port), sensor(port, clock) {}
  VirtualClock clock;
  SimulatedModule module;
  SimulatedModulePort module_port;
  UnpluggingPort port;
  Tsensor sensor;
};

// The splash window's step 1.
void Detect(Tsensor& sensor) {
  sensor.Reset();
  sensor.ReadCalibration();
}

void BM_DetectionFaults(benchmark::State& state) {
  const int64_t length = state.range(0);
  constexpr int kTicks = 30;
  for (auto _ : state) {
    int64_t detection_accesses = 0;
    {
      SensorOnModule clean;
      const int64_t start = clean.port.Accesses();
      Detect(clean.sensor);
      detection_accesses = clean.port.Accesses() - start;
    }
    long trials = 0, found = 0, shown = 0, wrong_shown = 0, trials_with_wrong = 0;
    for (int64_t k = 0; k < detection_accesses; ++k) {
      SensorOnModule b;
      b.port.Glitch(b.port.Accesses() + k, length > 0 ? length : -1);
      Detect(b.sensor);
      if (!b.sensor.HasError()) ++found;
      b.port.Plug();
      bool any_wrong = false;
      for (int tick = 0; tick < kTicks; ++tick) {
        b.clock.AdvanceSeconds(1);
        b.sensor.Measure(tick == 0);
        if (!TWmain::IsGoodSample(b.sensor)) continue;
        ++shown;
        if (Wrong(b.sensor.Pressure, b.sensor.Temperature, b.module, b.clock.Now())) {
          ++wrong_shown;
          any_wrong = true;
        }
      }
      if (any_wrong) ++trials_with_wrong;
      ++trials;
    }
    const double samples = static_cast<double>(trials) * kTicks;
    state.counters["detection_accesses"] = static_cast<double>(detection_accesses);
    state.counters["found"] = static_cast<double>(found);
    state.counters["wrong_shown"] = static_cast<double>(wrong_shown);
    state.counters["good_share_pct"] = 100.0 * static_cast<double>(shown - wrong_shown) / samples;
    char text[512];
    std::snprintf(text, sizeof text,
                  "detection, plug pulled %s%s at each of its %lld accesses: %ld trials, module "
                  "found in %ld, %ld of %.0f samples wrong (%ld trials with a wrong sample), good "
                  "samples %.2f %%\n",
                  length > 0 ? "for " : "until its end",
                  length > 0 ? (std::to_string(length) + " accesses").c_str() : "",
                  static_cast<long long>(detection_accesses), trials, found, wrong_shown, samples,
                  trials_with_wrong, 100.0 * static_cast<double>(shown - wrong_shown) / samples);
    Print(text);
  }
}
BENCHMARK(BM_DetectionFaults)
    ->ArgName("length")  // 0: until detection ends
    ->Arg(0)
    ->Arg(5)
    ->Arg(40)
    ->Arg(200)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Cost of a fault-free tick.

void BM_FaultFreeTick(benchmark::State& state) {
  SensorOnModule b;
  b.module.SetConversionTimeMs(0);
  Detect(b.sensor);
  for (int i = 0; i < 5; ++i) {
    b.clock.AdvanceSeconds(1);
    b.sensor.Measure(false);
  }
  const int64_t accesses_before = b.port.Accesses();
  const int conversions_before = b.module.ConversionCount();
  long refused = 0;
  for (auto _ : state) {
    b.clock.AdvanceSeconds(1);
    b.sensor.Measure(false);
    if (!TWmain::IsGoodSample(b.sensor)) ++refused;
  }
  const double ticks = static_cast<double>(state.iterations());
  state.counters["accesses_per_tick"] =
      static_cast<double>(b.port.Accesses() - accesses_before) / ticks;
  state.counters["conversions_per_tick"] =
      static_cast<double>(b.module.ConversionCount() - conversions_before) / ticks;
  state.counters["refused"] = static_cast<double>(refused);
}
BENCHMARK(BM_FaultFreeTick)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
