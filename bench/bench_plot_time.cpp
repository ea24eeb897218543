// Cost of one new sample on a chart-sized time plot (537 x 177) with a full
// history of 10, 537, 3600 and 36000 samples, split into the whole step, the
// bookkeeping alone (storing, shifting, range scan) and the drawing alone.
#include <benchmark/benchmark.h>

#include <QColor>
#include <QWidget>
#include <cmath>
#include <vector>

#include "chart/Plot_time.h"

namespace {

constexpr int kWidth = 537;
constexpr int kHeight = 177;

// A pressure-like signal: one and a half slow swings over the whole history
// with a little noise, so every history length gives a picture of the same
// shape and the compressed drawing has bars to draw.
std::vector<double> Signal(int n) {
  std::vector<double> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    v[static_cast<size_t>(i)] =
        1013.0 + 4.0 * std::sin(3.0 * M_PI * i / n) + ((i * 7919) % 13) / 10.0;
  return v;
}

// Fills the history while hidden, so the setup draws nothing; the plot sits
// in a parent that is not shown, as in the hidden chart window.
void FillChartPlot(Tplot_time& plot, int history, const std::vector<double>& signal) {
  plot.hide();
  plot.setGeometry(96, 8, kWidth, kHeight);
  plot.SetBGColor(QColor(0, 0, 128));
  plot.SetWVColor(QColor(255, 255, 0));
  plot.SetBorderColor(QColor(0, 0, 0));
  plot.Set_x_grid_nbr(2);
  plot.Set_y_grid_nbr(2);
  plot.SetHistoryLength(history);
  for (int i = 0; i < history; ++i) plot.AddSample(signal[static_cast<size_t>(i)], i);
  plot.show();
  plot.DrawComponent();
}

// One sample into the full history and the redraw it causes.
void BM_AddSampleAndRedraw(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> signal = Signal(n);
  QWidget window;
  Tplot_time plot(&window);
  FillChartPlot(plot, n, signal);
  window.show();  // a plot in a hidden window would not draw
  size_t i = 0;
  for (auto _ : state) {
    plot.AddSample(signal[i], static_cast<double>(i));
    if (++i == signal.size()) i = 0;
  }
  benchmark::DoNotOptimize(plot.GetBitmap().constBits());
  state.counters["stored"] = plot.Count();
}

// The same step on a plot in a hidden window: storing, shifting and the
// range scan only.
void BM_AddSampleBookkeeping(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> signal = Signal(n);
  QWidget window;
  Tplot_time plot(&window);
  FillChartPlot(plot, n, signal);
  size_t i = 0;
  for (auto _ : state) {
    plot.AddSample(signal[i], static_cast<double>(i));
    if (++i == signal.size()) i = 0;
  }
  benchmark::DoNotOptimize(plot.GetRangeYHigh());
  state.counters["stored"] = plot.Count();
}

// The redraw alone, on the full history.
void BM_Redraw(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  QWidget window;
  Tplot_time plot(&window);
  FillChartPlot(plot, n, Signal(n));
  for (auto _ : state) plot.DrawComponent();
  benchmark::DoNotOptimize(plot.GetBitmap().constBits());
  state.counters["stored"] = plot.Count();
}

void Histories(benchmark::internal::Benchmark* b) {
  for (int n : {10, 537, 3600, 36000}) b->Arg(n);
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_AddSampleAndRedraw)->Apply(Histories);
BENCHMARK(BM_AddSampleBookkeeping)->Apply(Histories);
BENCHMARK(BM_Redraw)->Apply(Histories);

}  // namespace
