// The barograph window on a full record: drawing both panels of a 7-day view
// of 604,800 samples (one a second), a new sample that moves the range by a
// column, opening the window (reading the minutes and drawing) on 7 and 30
// days, and the rise of the peak resident memory that opening it on 30 days
// causes.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>

#include "archive/Tarchive.h"
#include "main/Program.h"
#include "platform/Clock.h"
#include "windows/Barograph_plot.h"
#include "windows/Tbarograph.h"

namespace {

constexpr std::time_t kEnd = 1765000000;

// A value of the process's status file, in KiB.
long StatusKiB(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(status, line))
    if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
  return -1;
}

// A record of `days` days up to kEnd, one sample every `step` seconds: slow
// fronts, a daily temperature cycle and a little noise.
struct Record {
  Record(int days, int step) : clock(kEnd) {
    archive = std::make_unique<Tarchive>(clock);
    archive->Open(dir.filePath("barometer.db").toStdString());
    for (std::time_t t = kEnd - days * 86400; t < kEnd; t += step) {
      const double x = static_cast<double>(t % 1000003);
      TarchiveSample s;
      s.time = t;
      s.sea_level_pressure = 1013 + 12 * std::sin(x / 190000.0) + 0.3 * std::sin(x * 7.3);
      s.pressure = s.sea_level_pressure - 30;
      s.temperature = 12 + 6 * std::sin(x * 2 * M_PI / 86400.0);
      archive->Append(s);
    }
    archive->Flush();
  }
  // The barograph on this record, shown on span `span_index`.
  std::unique_ptr<TWbarograph> Open(int span_index) {
    Program().clock = &clock;
    Program().archive = archive.get();
    auto window = std::make_unique<TWbarograph>();
    window->SpanClick(span_index);
    window->show();
    // The first paint, with the window's backing store.
    QCoreApplication::processEvents();
    return window;
  }
  ~Record() {
    Program().archive = nullptr;
    Program().clock = nullptr;
  }

  QTemporaryDir dir;
  VirtualClock clock;
  std::unique_ptr<Tarchive> archive;
};

Record& Week() {
  static Record record(7, 1);
  return record;
}

// At device pixel ratio 1 and 2, in the window's first size (720 columns)
// and as wide as a 1920-pixel screen (1830 columns): the drawing grows with
// the width, not with the record.
void BM_DrawSevenDays(benchmark::State& state) {
  auto window = Week().Open(2);
  window->resize(static_cast<int>(state.range(1)), window->height());
  window->Reload();
  QCoreApplication::processEvents();
  window->pressure_plot->SetPixelRatio(static_cast<double>(state.range(0)));
  window->temperature_plot->SetPixelRatio(static_cast<double>(state.range(0)));
  for (auto _ : state) {
    window->pressure_plot->DrawComponent();
    window->temperature_plot->DrawComponent();
  }
  state.counters["minutes"] = static_cast<double>(
      Week().archive->Minutes(window->columns.Start(), window->columns.End()).size());
  state.counters["columns"] = window->columns.Count();
}
BENCHMARK(BM_DrawSevenDays)
    ->Args({1, 810})
    ->Args({2, 810})
    ->Args({1, 1920})
    ->Args({2, 1920})
    ->Unit(benchmark::kMicrosecond);

// Each sample lies one column after the last: the range moves, the time
// grid is made anew and both panels are drawn.
void BM_SampleMovesSevenDays(benchmark::State& state) {
  auto window = Week().Open(2);
  std::time_t t = kEnd;
  for (auto _ : state) {
    t += window->columns.ColumnSeconds();
    Week().clock.SetNow(t);
    window->AddSample(t, 1013, 12);
  }
  Week().clock.SetNow(kEnd);
}
BENCHMARK(BM_SampleMovesSevenDays)->Unit(benchmark::kMicrosecond);

// Opening on 7 days of the one-second record: reading the minutes, summing
// them up per column and drawing.
void BM_OpenSevenDays(benchmark::State& state) {
  auto window = Week().Open(2);
  for (auto _ : state) window->Reload();
}
BENCHMARK(BM_OpenSevenDays)->Unit(benchmark::kMillisecond);

// Opening on 30 days (a sample a minute: the minutes are what the window
// reads); the counter is how far opening it raised the peak resident memory
// of the process, measured once on a fresh record.
void BM_OpenThirtyDays(benchmark::State& state) {
  Record month(30, 60);
  // Memory freed before goes back to the system, so that what the window
  // takes shows; then the peak is reset to the present resident size.
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = StatusKiB("VmHWM");
  auto window = month.Open(3);
  const long rise = StatusKiB("VmHWM") - before;
  for (auto _ : state) window->Reload();
  state.counters["peak_rise_KiB"] = static_cast<double>(rise);
}
BENCHMARK(BM_OpenThirtyDays)->Unit(benchmark::kMillisecond);

}  // namespace
