// Wall time of one sampling sequence (n conversion pairs) on each kind of
// port, against the simulated module with its 35 ms conversions on the real
// clock, as a ratio to the bare conversion time 2 n x 35 ms. The gpiochip
// and the USB adapter are models that charge what the real ones cost: 2 us
// per GPIO ioctl, 1 ms per USB round trip (with the chip's one byte of lag).
//
//   BM_PortSequence/port/n    port 0: parallel port (registers of the
//                             simulated module's port), 1: GPIO, 2: USB
//                             adapter; counters: the ratio, and the calls
//                             (register accesses, ioctls, round trips) per
//                             sequence.
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "platform/Clock.h"
#include "platform/FakeFtdiChip.h"
#include "platform/FakeGpioChip.h"
#include "platform/FtdiLines.h"
#include "platform/GpioLines.h"
#include "platform/LptLines.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "sensor/Tsensor.h"

namespace {

constexpr double kConversionMs = 35.0;

void Spin(std::chrono::nanoseconds how_long) {
  const auto end = std::chrono::steady_clock::now() + how_long;
  while (std::chrono::steady_clock::now() < end) {
  }
}

void BM_PortSequence(benchmark::State& state) {
  const int port = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  SystemClock clock;
  SimulatedModule module(clock);
  module.SetConversionTimeMs(static_cast<int>(kConversionMs));

  SimulatedModulePort module_port(module);
  FakeGpioChip chip(module);
  chip.on_ioctl = [] { Spin(std::chrono::microseconds(2)); };
  FtdiWiring ftdi_wiring;
  FakeFtdiChip::State ftdi_state;
  std::unique_ptr<ModuleLines> lines;
  std::function<int64_t()> calls;
  if (port == 0) {
    lines = std::make_unique<LptLines>(module_port);
    calls = [&] { return module_port.ReadCount() + module_port.WriteCount(); };
  } else if (port == 1) {
    GpioWiring wiring;
    wiring.clock = 17;
    wiring.data_out = 27;
    wiring.data_in = 22;
    lines = GpioLines::Open(wiring, chip, nullptr);
    calls = [&] { return chip.ioctls; };
  } else {
    auto fake = std::make_unique<FakeFtdiChip>(module, ftdi_wiring, ftdi_state);
    fake->on_round_trip = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
    lines = FtdiLines::Open(ftdi_wiring, std::move(fake), nullptr);
    calls = [&] { return static_cast<int64_t>(ftdi_state.round_trips); };
  }
  if (lines == nullptr) {
    state.SkipWithError("the port did not open");
    return;
  }
  Tsensor sensor(*lines, clock);
  sensor.ReadCalibration();
  sensor.SetSampleCount(n);
  sensor.Measure(true);  // the first sample is confirmed; the bench times the steady ones

  const int64_t calls_before = calls();
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
  state.counters["ratio_to_2n_35ms"] = wall_ms / iterations / (2 * n * kConversionMs);
  state.counters["calls_per_sequence"] = static_cast<double>(calls() - calls_before) / iterations;
  state.counters["errors"] = errors;
}

BENCHMARK(BM_PortSequence)
    ->ArgNames({"port", "n"})
    ->Args({0, 1})
    ->Args({0, 4})
    ->Args({1, 1})
    ->Args({1, 4})
    ->Args({2, 1})
    ->Args({2, 4})
    ->Iterations(12)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
