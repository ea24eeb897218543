// Fault-free samples refused by the acceptance: the driver on the simulated
// module without faults, whose noise spans the driver's noise model, in
// virtual time. 10^4 starts (the splash window's detection, then the
// hand-over's forced sample, which two sequences must confirm), each with a
// noise seed of its own and followed by 99 samples a second: 10^6 samples,
// 10^4 of them the first after a start. The target is none refused.
//
//   BM_FaultFreeRefusals/n    n conversion pairs a sequence, ts = 1
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "sensor/Tsensor.h"

namespace {

void BM_FaultFreeRefusals(benchmark::State& state) {
  constexpr int kStarts = 10000;
  constexpr int kSamplesAfterStart = 99;
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    VirtualClock clock;
    SimulatedModule module(clock, 23);
    SimulatedModulePort port(module);
    Tsensor sensor(port, clock);
    long samples = 0, refused = 0, first = 0, first_refused = 0;
    double worst = 0;
    const int conversions_before = module.ConversionCount();
    for (int start = 0; start < kStarts; ++start) {
      module.SetNoiseSeed(static_cast<uint64_t>(start) + 1);
      clock.AdvanceMs(180000 + 7919 * start % 1000);
      sensor.Reset();
      sensor.ReadCalibration();
      sensor.SetSampleCount(n);
      for (int sample = 0; sample <= kSamplesAfterStart; ++sample) {
        if (sample > 0) clock.AdvanceSeconds(1);
        sensor.Measure(sample == 0);
        ++samples;
        if (sample == 0) ++first;
        if (sensor.HasError()) {
          ++refused;
          if (sample == 0) ++first_refused;
          continue;
        }
        const double truth = module.LocalPressureAt(static_cast<double>(clock.Now()));
        worst = std::fmax(worst, std::fabs(sensor.Pressure - truth));
      }
    }
    const double conversions = module.ConversionCount() - conversions_before;
    state.counters["samples"] = static_cast<double>(samples);
    state.counters["refused"] = static_cast<double>(refused);
    state.counters["first_refused"] = static_cast<double>(first_refused);
    state.counters["conversions_per_sample"] = conversions / static_cast<double>(samples);
    std::printf(
        "fault-free, n = %d: %ld samples, %ld refused (%ld of the %ld first after a start), "
        "worst %.3f mbar off, %.2f conversions a sample\n",
        n, samples, refused, first_refused, first, worst,
        conversions / static_cast<double>(samples));
    std::fflush(stdout);
  }
}
BENCHMARK(BM_FaultFreeRefusals)
    ->ArgName("n")
    ->Arg(1)
    ->Arg(4)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
