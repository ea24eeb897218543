// Wall time of one sampling sequence (n conversion pairs) in steady state
// against the simulated module with its 35 ms conversion time on the real
// clock, as a ratio to the bare conversion time 2 n x 35 ms, the port
// accesses that one conversion costs, and the conversions per sample (2 n
// when no sample needed a second sequence) with the ratio to their time.
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
  // The first sample after a start is confirmed by a second sequence (there
  // are no recent samples to judge it by); that start is not the steady
  // sequence measured here.
  sensor.Measure(true);

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
  state.counters["conv_per_sample"] = conversions / iterations;
  // The same against the conversions the samples really took: the cost of
  // the wait and of the port, whatever the acceptance asked for.
  state.counters["ratio_to_conversions"] =
      conversions > 0 ? wall_ms / (conversions * kConversionMs) : 0.0;
}

BENCHMARK(BM_SamplingSequence)
    ->Arg(1)
    ->Arg(4)
    ->Arg(8)
    ->Iterations(12)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
