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
//                             sequence. On the real clock: a loaded machine
//                             adds its wake-up delays.
//   BM_PortSequenceModel/port/n
//                             the same in virtual time: sleeps, ioctls and
//                             round trips cost exactly their nominal time,
//                             so the ratio is the protocol's own.
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <type_traits>

#include "fakes/FakeFtdiChip.h"
#include "fakes/FakeGpioChip.h"
#include "platform/Clock.h"
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

template <typename ClockType>
void PortSequence(benchmark::State& state) {
  const int port = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  constexpr bool kVirtual = std::is_same<ClockType, VirtualClock>::value;
  ClockType clock;
  SimulatedModule module(clock);
  module.SetConversionTimeMs(static_cast<int>(kConversionMs));
  // Conditions at rest: every sample is one sequence, none needs confirming.
  module.SetFixedConditions(1000, 20);

  SimulatedModulePort module_port(module);
  FakeGpioChip chip(module);
  // A call's cost: spent on the real clock, or charged to the virtual one to
  // the microsecond.
  int64_t pending_us = 0;
  auto charge = [&clock, &pending_us](int64_t us) {
    if constexpr (kVirtual) {
      pending_us += us;
      clock.AdvanceMs(pending_us / 1000);
      pending_us %= 1000;
    } else if (us < 1000) {
      Spin(std::chrono::microseconds(us));
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(us));
    }
  };
  chip.on_ioctl = [&charge] { charge(2); };
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
    fake->on_round_trip = [&charge] { charge(1000); };
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
  const int64_t clock_start = clock.NowMs();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    sensor.Measure(true);
    if (sensor.HasError()) ++errors;
    benchmark::DoNotOptimize(sensor.Pressure);
  }
  const double wall_ms =
      kVirtual ? static_cast<double>(clock.NowMs() - clock_start)
               : std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count();
  const double iterations = static_cast<double>(state.iterations());
  state.counters["ratio_to_2n_35ms"] = wall_ms / iterations / (2 * n * kConversionMs);
  state.counters["calls_per_sequence"] = static_cast<double>(calls() - calls_before) / iterations;
  state.counters["errors"] = errors;
}

void BM_PortSequence(benchmark::State& state) {
  PortSequence<SystemClock>(state);
}
void BM_PortSequenceModel(benchmark::State& state) {
  PortSequence<VirtualClock>(state);
}

// Each port (0 LPT, 1 GPIO, 2 FTDI) at n = 1 and n = 4.
void EachPortAndN(benchmark::internal::Benchmark* b) {
  b->ArgNames({"port", "n"});
  for (int port = 0; port < 3; ++port)
    for (int n : {1, 4}) b->Args({port, n});
}

BENCHMARK(BM_PortSequenceModel)->Apply(EachPortAndN)->Iterations(50)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_PortSequence)
    ->Apply(EachPortAndN)
    ->Iterations(12)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
