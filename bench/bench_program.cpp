// The whole program, one measurement tick at a time: the sensor on the
// simulated module (no conversion delay), every display of the main and
// small windows with the repaints they cause, the weather object and the
// hand-over to the chart window, with its plots and data log.
// Also reports the peak resident memory of the process and, in steady state,
// the number of widgets one tick repaints.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>

#include "chart/Plot_time.h"
#include "chart/Tchart.h"

#include "fakes/ScriptedDialogs.h"
#include "main/Entry.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "windows/Tintro.h"
#include "windows/Tsmall.h"

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

// Counts the paint events the application delivers: one per widget
// repainted, whatever window it belongs to.
class PaintCounter : public QObject {
 public:
  long paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
};

// What is on the screen while the steady-state tick is measured.
enum class Screen { kMainWindow = 0, kMainWindowAndChart = 1, kSmallWindow = 2 };

// A tick in steady state: the three chart plots full (3600 samples each, an
// hour of samples behind the weather history) and the data log running,
// with the main window, the main window and the chart, or the small window
// alone on the screen. Besides the time it reports the widgets repainted
// per tick, counted over a second run of ticks outside the timing.
void BM_SteadyTick(benchmark::State& state) {
  const auto screen = static_cast<Screen>(state.range(0));
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
  auto full = [](const Tplot_time* plot) { return plot->Count() == plot->HistoryLength(); };
  while (!full(chart->pressure_plot) || !full(chart->temperature_plot) ||
         !full(chart->altitude_plot)) {
    clock.AdvanceSeconds(1);
    main_window->OnTimer();
  }
  dialogs.file_answers.push_back(dir.filePath("samples.dat").toStdString());
  chart->Storesamplestofile1Click();
  if (screen == Screen::kMainWindowAndChart) main_window->ViewChart1Click();
  if (screen == Screen::kSmallWindow) main_window->Minimize1Click();
  auto tick = [&] {
    clock.AdvanceSeconds(1);
    main_window->OnTimer();
    // The repaints the tick asked for, as the event loop would run them.
    QCoreApplication::processEvents();
  };
  // Everything shown is drawn once (and the labels take their backgrounds);
  // the ticks then repaint what changes.
  for (int i = 0; i < 3; ++i) tick();
  for (auto _ : state) tick();

  PaintCounter counter;
  QCoreApplication::instance()->installEventFilter(&counter);
  constexpr int kCountedTicks = 200;
  for (int i = 0; i < kCountedTicks; ++i) tick();
  QCoreApplication::instance()->removeEventFilter(&counter);
  state.counters["repainted"] = static_cast<double>(counter.paints) / kCountedTicks;

  const bool chart_shown = screen == Screen::kMainWindowAndChart;
  const bool small_shown = screen == Screen::kSmallWindow;
  if (!chart->IsLogging() || chart->isVisible() != chart_shown ||
      Program().Wsmall->isVisible() != small_shown || main_window->isVisible() == small_shown)
    state.SkipWithError("the windows were not in the state measured");
  EndProgram();
}
BENCHMARK(BM_SteadyTick)
    ->ArgName("screen")  // 0 main window, 1 main window and chart, 2 small window
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
