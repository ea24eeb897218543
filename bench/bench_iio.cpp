// The CPU one sample costs on the IIO path, beyond the device's own
// conversion (a fake tree has none): finding the files, n readings of both
// channels through sysfs-like files, parsing, the range and step checks.
// Processed values (a BME280) and raw ones with scale and offset (an
// LPS25H), at n = 1 and n = 4.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "iio/Tiio_sensor.h"
#include "platform/Clock.h"

namespace {

void MakeDevice(const std::string& folder, const std::map<std::string, std::string>& files) {
  for (const auto& [name, text] : files) std::ofstream(folder + "/" + name) << text;
}

void Sample(benchmark::State& state, bool processed) {
  QTemporaryDir dir;
  const std::string root = dir.path().toStdString();
  const std::string device = root + "/iio:device0";
  std::filesystem::create_directories(device);
  if (processed)
    MakeDevice(device, {{"name", "bme280\n"},
                        {"in_pressure_input", "96.386199218\n"},
                        {"in_temp_input", "21560\n"},
                        {"in_humidityrelative_input", "46332\n"},
                        {"in_pressure_oversampling_ratio", "1\n"},
                        {"in_pressure_oversampling_ratio_available", "1 2 4 8 16\n"}});
  else
    MakeDevice(device, {{"name", "lps25h\n"},
                        {"in_pressure_raw", "4150272\n"},
                        {"in_pressure_scale", "0.000024414\n"},
                        {"in_temp_raw", "-9600\n"},
                        {"in_temp_scale", "2.083333333\n"},
                        {"in_temp_offset", "20400.000000000\n"}});
  VirtualClock clock;
  Tiio_sensor sensor(clock, processed ? "bme280" : "lps25h", root);
  sensor.SetSampleCount(static_cast<double>(state.range(0)));
  for (auto _ : state) {
    clock.AdvanceMs(1000);
    const SourceReading reading = sensor.Measure(false);
    if (!reading.good) state.SkipWithError(reading.reason.c_str());
    benchmark::DoNotOptimize(reading.pressure);
  }
  state.SetLabel(processed ? "bme280 (processed)" : "lps25h (raw, scale, offset)");
}

void BM_IioSampleProcessed(benchmark::State& state) {
  Sample(state, true);
}
void BM_IioSampleRaw(benchmark::State& state) {
  Sample(state, false);
}
BENCHMARK(BM_IioSampleProcessed)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IioSampleRaw)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

// Finding a device by its name again (after it went away): the listing of
// a tree of four devices and the description of each.
void BM_IioFindByName(benchmark::State& state) {
  QTemporaryDir dir;
  const std::string root = dir.path().toStdString();
  for (int i = 0; i < 4; ++i) {
    const std::string device = root + "/iio:device" + std::to_string(i);
    std::filesystem::create_directories(device);
    MakeDevice(device, {{"name", i == 3 ? "bme280\n" : "lps22hb\n"},
                        {"in_pressure_raw", "4150272\n"},
                        {"in_pressure_scale", "0.000024414\n"},
                        {"in_temp_raw", "2250\n"},
                        {"in_temp_scale", "10.000000000\n"}});
  }
  const Tiio_devices devices(root);
  std::string why;
  for (auto _ : state) benchmark::DoNotOptimize(devices.Find("bme280", &why));
}
BENCHMARK(BM_IioFindByName)->Unit(benchmark::kMicrosecond);

}  // namespace
