#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Why a sample is no data.
enum class SampleFailure : uint8_t {
  kNone = 0,    // a good sample
  kNoModule,    // nothing answered (no module, unplugged, device gone)
  kRefused,     // the acceptance did not vouch for it
  kOutOfRange,  // compensated values outside where the sensor reads
  kReadError,   // the source could not be read (its reason in words)
};

// Where a sample came from: the module (raw words D1 and D2) or a kernel
// IIO sensor (no raw words).
enum class SampleSourceKind : uint8_t { kModule = 0, kIio = 1 };

// What a source found in one tick of its sampling countdown.
struct SourceReading {
  bool taken = false;  // a sampling sequence ran in this tick
  bool good = false;
  SampleFailure failure = SampleFailure::kNone;
  std::string reason;
  double pressure = 0;     // mbar, not corrected
  double temperature = 0;  // deg C, not corrected
  std::optional<int32_t> d1, d2;
};

// A source of samples below the station: the module through its driver, or
// a kernel IIO pressure sensor. n readings are averaged per sample, one
// sample every ts ticks.
class Tsample_source {
 public:
  virtual ~Tsample_source() = default;
  virtual SampleSourceKind Kind() const = 0;
  // One tick of the countdown: a sequence runs when one is due or forced.
  virtual SourceReading Measure(bool force) = 0;
  // Detection: whether the sensor answers now; `why` in words when not.
  virtual bool Detect(std::string* why) = 0;
  virtual void SetSampleCount(double n) = 0;
  virtual void SetSequenceInterval(double ts) = 0;
  virtual int32_t GetSampleCount() const = 0;
  virtual int32_t GetSequenceInterval() const = 0;
};
