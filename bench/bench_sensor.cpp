// Wall time of one sampling sequence (n conversion pairs) against the
// simulated module with its 35 ms conversion time on the real clock, as a
// ratio to the bare conversion time 2 n x 35 ms, and the port accesses that
// one conversion costs.
#include <benchmark/benchmark.h>

#include <chrono>

#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "sensor/Tsensor.h"

namespace {

constexpr double kConversionMs = 35.0;

void BM_SamplingSequence(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  SystemClock clock;
  SimulatedModule module(clock);
  module.SetConversionTimeMs(static_cast<int>(kConversionMs));
  SimulatedModulePort port(module);
  Tsensor sensor(port, clock);
  sensor.ReadCalibration();
  sensor.SetSampleCount(n);

  const int64_t accesses_before = port.ReadCount() + port.WriteCount();
  const int conversions_before = module.ConversionCount();
  int errors = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    sensor.Measure(true);
    if (sensor.HasError()) ++errors;
    benchmark::DoNotOptimize(sensor.Pressure);
  }
  const double wall_ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const double iterations = static_cast<double>(state.iterations());
  const int conversions = module.ConversionCount() - conversions_before;

  state.counters["ratio_to_2n_35ms"] = wall_ms / iterations / (2 * n * kConversionMs);
  state.counters["accesses_per_conv"] =
      conversions > 0
          ? static_cast<double>(port.ReadCount() + port.WriteCount() - accesses_before) /
                conversions
          : 0.0;
  state.counters["errors"] = errors;
}

BENCHMARK(BM_SamplingSequence)
    ->Arg(1)
    ->Arg(4)
    ->Arg(8)
    ->Iterations(12)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
