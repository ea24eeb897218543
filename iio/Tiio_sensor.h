#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "iio/Tiio_devices.h"
#include "platform/Clock.h"
#include "sensor/Tsample_source.h"

// Where a kind of sensor gives readings: its maker's rated operating range
// (mbar, deg C).
struct TiioRatedRange {
  double lowest_pressure, highest_pressure;
  double lowest_temperature, highest_temperature;
};
// The rated range of the sensor a driver names (Tiio_sensor.cpp has the
// table); 300..1100 mbar and -40..85 deg C for any other.
TiioRatedRange RatedRange(const std::string& driver_name);
// Readings a little beyond the rated range are still the sensor's (a
// reading at the limit is the true value plus its noise); a value farther
// out comes from a reading that went wrong.
constexpr double kIioBeyondRatedPressure = 20;    // mbar
constexpr double kIioBeyondRatedTemperature = 5;  // deg C

// The step check of this path. A sample is refused when it lies further
// from the last accepted sample than the noise of two samples and what the
// weather can do in the time between them; the next sample that agrees
// with the refused one shows the change was real and is accepted.
//
// Noise: the worst case of the common sensors at their lowest setting.
// The BMP280 data sheet (BST-BMP280-DS001, table 7, "weather monitoring":
// forced mode, oversampling x1, filter off) gives an RMS noise of 26.4 cm,
// 3.2 Pa; the BME280 shares its pressure part. The DPS310 is quieter (its
// data sheet: 0.2 Pa in high precision mode). The difference of two samples
// has sqrt(2) x 3.2 = 4.5 Pa RMS; about four and a half times that, 0.2
// mbar, is the bound. Temperatures resolve to 0.01 deg C or better; 0.1
// deg C covers their noise.
constexpr double kIioNoisePressure = 0.2;     // mbar
constexpr double kIioNoiseTemperature = 0.1;  // deg C
// The weather: a squall line's pressure jump reaches a few mbar in ten
// minutes; 0.5 mbar a minute is beyond anything but a tornado's core. Air
// at a sensor in sun and shade changes by less than 1 deg C a minute.
constexpr double kIioWeatherPressurePerMinute = 0.5;
constexpr double kIioWeatherTemperaturePerMinute = 1;
// An accepted sample older than this is no reference (the first sample
// after a gap is accepted as it is).
constexpr int64_t kIioReferenceMs = 120000;

// How a value file is read: ReadIioAttribute, or a test's reader around it.
using TiioReader =
    std::function<bool(const std::string& path, std::string* text, std::string* why, int* error)>;

// A pressure sensor the kernel drives (BMP280, BME280, BMP3xx/5xx, DPS310,
// MS5611, LPS22, ...), read through its sysfs files: a source of samples
// like the module, without raw words of its own. D1 and D2 carry the
// driver's raw values where it gives them (_raw files), nothing otherwise.
//
// n readings are averaged per sample, one sample every ts ticks, with the
// module driver's countdown (a forced tick runs one at once). A read that
// fails gives a failed reading with its reason in words, and nothing that
// was read in that sample counts. A device that went away (a rebind, a
// replug) is looked for again by its name at the next sample, whatever
// its new iio:deviceN.
class Tiio_sensor : public Tsample_source {
 public:
  // device: a device's name (the first of that name) or its sysfs folder;
  // root: the folder of IIO devices (a test's fake tree).
  Tiio_sensor(Clock& clock, std::string device, std::string root = Tiio_devices::kDefaultRoot);

  SampleSourceKind Kind() const override { return SampleSourceKind::kIio; }
  SourceReading Measure(bool force) override;
  // Finds the device and reads it once. A device without a temperature
  // channel is refused: the station needs both values.
  bool Detect(std::string* why) override;
  // Truncated toward zero, saturating (as the module's); n <= 0 gives a
  // failed reading, since there is nothing to average.
  void SetSampleCount(double n) override;
  // As SetSampleCount; also makes the next unforced Measure run a sample.
  void SetSequenceInterval(double ts) override;
  int32_t GetSampleCount() const override { return sample_count_; }
  int32_t GetSequenceInterval() const override { return sequence_interval_; }

  // The device as last found (empty path: not found).
  const TiioDevice& Device() const { return device_; }
  const std::string& Setting() const { return setting_; }

  // One reading of pressure and temperature, without the countdown and the
  // step check; for the detection and the dialog's test.
  SourceReading ReadOnce();

  // Reads the value files through another reader (a test's, which changes
  // the values between the readings of a sample).
  void UseReader(TiioReader reader) { reader_ = std::move(reader); }

 private:
  struct Reference {
    double pressure = 0, temperature = 0;
    int64_t ms = 0;
  };

  // Finds the device when it is not known (or went away); false with the
  // failure filled in.
  bool Locate(SourceReading* reading);
  // One reading of both channels into *reading (values, raw words); false
  // with the failure filled in.
  bool ReadPair(SourceReading* reading);
  bool ReadChannel(const TiioChannel& channel, const char* what, double* value,
                   std::optional<int32_t>* raw, SourceReading* reading);
  void Fail(SourceReading* reading, SampleFailure failure, const std::string& why);
  // Whether a sample lies within the step allowed from a reference.
  static bool WithinStep(const Reference& from, double pressure, double temperature, int64_t ms);

  Clock& clock_;
  std::string setting_;
  Tiio_devices devices_;
  TiioDevice device_;
  bool located_ = false;
  int32_t sample_count_ = 1;
  int32_t sequence_interval_ = 1;
  int32_t ticks_left_ = 0;
  std::optional<Reference> last_accepted_;
  std::optional<Reference> refused_;
  TiioReader reader_;
};

// The dialog's "Test": reads the device once. ok with the values, or the
// reason in text; text says what was read either way ("bme280 at
// /sys/...: 1000.40 mbar, 27.70 deg C").
struct TiioTest {
  bool ok = false;
  double pressure = 0, temperature = 0;
  std::optional<int32_t> d1, d2;
  std::string text;
};
TiioTest TestIioDevice(const std::string& device,
                       const std::string& root = Tiio_devices::kDefaultRoot);
