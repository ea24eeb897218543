// The whole program, one measurement tick at a time: the sensor on the
// simulated module (no conversion delay), every display of the main and
// small windows with the repaints they cause, the weather object and the
// hand-over to the chart window, with its plots and data log.
// Also reports the peak resident memory of the process.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include "chart/Plot_time.h"
#include "chart/Tchart.h"

#include "main/Entry.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/Clock.h"
#include "platform/ScriptedDialogs.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "sensor/Tintro.h"

namespace {

double PeakResidentMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux gives KiB
}

// Starts the program and lets detection hand over to the main window.
void StartAndDetect(VirtualClock& clock) {
  CreateWindows();
  TWintro* intro = Program().Wintro;
  for (int tick = 0; tick < 20 && intro->Timer1->isActive(); ++tick) {
    clock.AdvanceMs(300);
    intro->OnTimer();
  }
  QCoreApplication::processEvents();
}

// A sample every tick, with the benchmark's argument as the number of
// conversion pairs per sample (n).
void BM_MeasurementTick(benchmark::State& state) {
  VirtualClock clock;
  SimulatedModule module(clock, 11);
  module.SetConversionTimeMs(0);
  SimulatedModulePort port(module);
  ScriptedDialogs dialogs;  // setup.ini may be missing: its error box is recorded
  BeginProgram(port, clock, dialogs);
  StartAndDetect(clock);
  TWmain* main_window = Program().Wmain;
  main_window->SetParameter(1, static_cast<double>(state.range(0)));

  for (auto _ : state) {
    clock.AdvanceSeconds(1);
    main_window->OnTimer();
    // The repaints the tick asked for, as the event loop would run them.
    QCoreApplication::processEvents();
  }
  state.counters["peak_MiB"] = PeakResidentMiB();
  EndProgram();
}
BENCHMARK(BM_MeasurementTick)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);

// A tick in steady state: the chart's plots full (3600 samples each) and the
// data log running; the argument says whether the chart window is shown.
void BM_MeasurementTickLogging(benchmark::State& state) {
  const bool chart_shown = state.range(0) != 0;
  QTemporaryDir dir;
  VirtualClock clock;
  SimulatedModule module(clock, 11);
  module.SetConversionTimeMs(0);
  SimulatedModulePort port(module);
  ScriptedDialogs dialogs;
  BeginProgram(port, clock, dialogs);
  StartAndDetect(clock);
  TWmain* main_window = Program().Wmain;
  TWchart* chart = Program().Wchart;
  while (chart->pressure_plot->Count() < chart->pressure_plot->HistoryLength()) {
    clock.AdvanceSeconds(1);
    main_window->OnTimer();
  }
  dialogs.file_answers.push_back(dir.filePath("samples.dat").toStdString());
  chart->Storesamplestofile1Click();
  if (chart_shown) main_window->ViewChart1Click();
  QCoreApplication::processEvents();

  for (auto _ : state) {
    clock.AdvanceSeconds(1);
    main_window->OnTimer();
    QCoreApplication::processEvents();
  }
  if (!chart->IsLogging() || chart->isVisible() != chart_shown)
    state.SkipWithError("the chart was not in the state measured");
  EndProgram();
}
BENCHMARK(BM_MeasurementTickLogging)
    ->ArgName("chart_shown")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
