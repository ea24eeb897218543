// A kernel-driven pressure sensor as a source of samples: the countdown,
// the n readings of a sample, the rated range, the step check, and finding
// the device again after it went away.

#include "iio/Tiio_sensor.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <limits>

#include "iio/Tiio_attribute.h"

namespace {

// The rated operating ranges from the makers' data sheets, by the name the
// kernel driver gives the device.
struct NamedRange {
  const char* name;
  TiioRatedRange range;
};
constexpr NamedRange kRatedRanges[] = {
    {"bmp085", {300, 1100, -40, 85}},  {"bmp180", {300, 1100, -40, 85}},
    {"bmp280", {300, 1100, -40, 85}},  {"bme280", {300, 1100, -40, 85}},
    {"bmp380", {300, 1250, -40, 85}},  {"bmp580", {300, 1250, -40, 85}},
    {"dps310", {300, 1200, -40, 85}},  {"ms5611", {10, 1200, -40, 85}},
    {"ms5607", {10, 1200, -40, 85}},   {"lps22hb", {260, 1260, -40, 85}},
    {"lps22hh", {260, 1260, -40, 85}}, {"lps22df", {260, 1260, -40, 85}},
    {"lps33hw", {260, 1260, -40, 85}}, {"lps35hw", {260, 1260, -40, 85}},
    {"lps25h", {260, 1260, -30, 105}},
};
constexpr TiioRatedRange kDefaultRange = {300, 1100, -40, 85};

int32_t TruncateRaw(double value) {
  if (!(value > std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (!(value < std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

// A value with two decimals and a point, whatever the locale.
std::string Fixed2(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  return std::string(text, result.ec == std::errc() ? result.ptr : text);
}

}  // namespace

TiioRatedRange RatedRange(const std::string& driver_name) {
  for (const NamedRange& named : kRatedRanges)
    if (driver_name == named.name) return named.range;
  return kDefaultRange;
}

Tiio_sensor::Tiio_sensor(Clock& clock, std::string device, std::string root)
    : clock_(clock), setting_(std::move(device)), devices_(std::move(root)) {}

void Tiio_sensor::SetSampleCount(double n) {
  if (std::isnan(n)) n = 0;
  sample_count_ = n >= 2147483647.0    ? std::numeric_limits<int32_t>::max()
                  : n <= -2147483648.0 ? std::numeric_limits<int32_t>::min()
                                       : static_cast<int32_t>(n);
}

void Tiio_sensor::SetSequenceInterval(double ts) {
  if (std::isnan(ts)) ts = 0;
  sequence_interval_ = ts >= 2147483647.0    ? std::numeric_limits<int32_t>::max()
                       : ts <= -2147483648.0 ? std::numeric_limits<int32_t>::min()
                                             : static_cast<int32_t>(ts);
  ticks_left_ = 1;
}

void Tiio_sensor::Fail(SourceReading* reading, SampleFailure failure, const std::string& why) {
  reading->good = false;
  reading->failure = failure;
  reading->reason = why;
  reading->pressure = 0;
  reading->temperature = 0;
  reading->d1.reset();
  reading->d2.reset();
}

bool Tiio_sensor::Locate(SourceReading* reading) {
  if (located_) return true;
  std::string why;
  std::optional<TiioDevice> found = devices_.Find(setting_, &why);
  if (!found) {
    Fail(reading, SampleFailure::kNoModule, why);
    return false;
  }
  device_ = std::move(*found);
  located_ = true;
  return true;
}

bool Tiio_sensor::ReadChannel(const TiioChannel& channel, const char* what, double* value,
                              std::optional<int32_t>* raw, SourceReading* reading) {
  std::string text, why;
  int error = 0;
  const bool read = reader_ ? reader_(channel.file, &text, &why, &error)
                            : ReadIioAttribute(channel.file, &text, &why, &error);
  if (!read) {
    if (error == ENOENT || error == ENODEV || error == ENXIO) {
      // The device went away (unbound, unplugged): found again by its
      // setting at the next sample.
      located_ = false;
      Fail(reading, SampleFailure::kNoModule,
           device_.name + " is gone (" + why + "); it is looked for again at the next sample");
    } else {
      Fail(reading, SampleFailure::kReadError,
           "the " + std::string(what) + " of " + device_.name + " could not be read: " + why);
    }
    return false;
  }
  double number = 0;
  if (!ParseIioNumber(text, &number)) {
    Fail(reading, SampleFailure::kReadError,
         "the " + std::string(what) + " of " + device_.name +
             " could not be read: " + channel.file + ": \"" + text + "\" is no number");
    return false;
  }
  if (channel.processed) {
    *value = number;
    raw->reset();
  } else {
    *value = (number + channel.offset) * channel.scale;
    *raw = TruncateRaw(number);
  }
  return true;
}

bool Tiio_sensor::ReadPair(SourceReading* reading) {
  if (!device_.HasTemperature()) {
    Fail(reading, SampleFailure::kReadError,
         device_.name + " at " + device_.path +
             " has no temperature channel; the station needs one beside the pressure");
    return false;
  }
  double kpa = 0, millidegrees = 0;
  if (!ReadChannel(device_.pressure, "pressure", &kpa, &reading->d1, reading) ||
      !ReadChannel(device_.temperature, "temperature", &millidegrees, &reading->d2, reading))
    return false;
  reading->pressure = kpa * 10;  // kPa to mbar
  reading->temperature = millidegrees / 1000;
  const TiioRatedRange range = RatedRange(device_.name);
  if (!(reading->pressure >= range.lowest_pressure - kIioBeyondRatedPressure &&
        reading->pressure <= range.highest_pressure + kIioBeyondRatedPressure &&
        reading->temperature >= range.lowest_temperature - kIioBeyondRatedTemperature &&
        reading->temperature <= range.highest_temperature + kIioBeyondRatedTemperature)) {
    Fail(reading, SampleFailure::kOutOfRange,
         device_.name + " read " + Fixed2(reading->pressure) + " mbar and " +
             Fixed2(reading->temperature) + " deg C, outside its rated range (" +
             Fixed2(range.lowest_pressure) + " to " + Fixed2(range.highest_pressure) + " mbar, " +
             Fixed2(range.lowest_temperature) + " to " + Fixed2(range.highest_temperature) +
             " deg C)");
    return false;
  }
  return true;
}

SourceReading Tiio_sensor::ReadOnce() {
  SourceReading reading;
  reading.taken = true;
  if (!Locate(&reading) || !ReadPair(&reading)) return reading;
  reading.good = true;
  return reading;
}

bool Tiio_sensor::WithinStep(const Reference& from, double pressure, double temperature,
                             int64_t ms) {
  const double minutes = static_cast<double>(ms - from.ms) / 60000;
  return std::fabs(pressure - from.pressure) <=
             kIioNoisePressure + kIioWeatherPressurePerMinute * minutes &&
         std::fabs(temperature - from.temperature) <=
             kIioNoiseTemperature + kIioWeatherTemperaturePerMinute * minutes;
}

SourceReading Tiio_sensor::Measure(bool force) {
  SourceReading sample;
  // The module driver's countdown: it stops at INT32_MIN rather than
  // overflowing, and ts <= 1 runs a sample at every tick.
  if (ticks_left_ > std::numeric_limits<int32_t>::min()) --ticks_left_;
  if (ticks_left_ > 0 && !force) return sample;
  ticks_left_ = sequence_interval_;
  sample.taken = true;
  if (sample_count_ <= 0) {
    Fail(&sample, SampleFailure::kReadError, "no readings are asked for (n is 0)");
    return sample;
  }
  if (!Locate(&sample)) return sample;
  double pressure = 0, temperature = 0;
  for (int32_t i = 0; i < sample_count_; ++i) {
    if (!ReadPair(&sample)) return sample;
    pressure += sample.pressure;
    temperature += sample.temperature;
  }
  sample.pressure = pressure / sample_count_;
  sample.temperature = temperature / sample_count_;

  const int64_t now = clock_.NowMs();
  // A reference from the future (the clock set back) or from long ago
  // says nothing about this sample.
  const auto recent = [now](const std::optional<Reference>& r) {
    return r && now >= r->ms && now - r->ms <= kIioReferenceMs;
  };
  const bool confirmed =
      recent(refused_) && WithinStep(*refused_, sample.pressure, sample.temperature, now);
  if (recent(last_accepted_) && !confirmed &&
      !WithinStep(*last_accepted_, sample.pressure, sample.temperature, now)) {
    const std::string why = device_.name + " moved from " + Fixed2(last_accepted_->pressure) +
                            " mbar and " + Fixed2(last_accepted_->temperature) + " deg C to " +
                            Fixed2(sample.pressure) + " mbar and " + Fixed2(sample.temperature) +
                            " deg C, faster than the weather can";
    refused_ = Reference{sample.pressure, sample.temperature, now};
    Fail(&sample, SampleFailure::kRefused, why);
    return sample;
  }
  refused_.reset();
  last_accepted_ = Reference{sample.pressure, sample.temperature, now};
  sample.good = true;
  sample.failure = SampleFailure::kNone;
  return sample;
}

bool Tiio_sensor::Detect(std::string* why) {
  // A detection looks at the device as it is now.
  located_ = false;
  const SourceReading reading = ReadOnce();
  if (why != nullptr) *why = reading.good ? std::string() : reading.reason;
  return reading.good;
}

TiioTest TestIioDevice(const std::string& device, const std::string& root) {
  SystemClock clock;
  Tiio_sensor sensor(clock, device, root);
  const SourceReading reading = sensor.ReadOnce();
  TiioTest test;
  test.ok = reading.good;
  if (!reading.good) {
    test.text = reading.reason;
    return test;
  }
  test.pressure = reading.pressure;
  test.temperature = reading.temperature;
  test.d1 = reading.d1;
  test.d2 = reading.d2;
  test.text = sensor.Device().name + " at " + sensor.Device().path + ": " +
              Fixed2(reading.pressure) + " mbar, " + Fixed2(reading.temperature) + " deg C";
  return test;
}
