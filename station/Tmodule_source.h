#pragma once

#include "sensor/Tsample_source.h"

class Tsensor;

// The module as a source of samples: its driver's sampling countdown and
// acceptance, and the module's reading range on top.
class Tmodule_source : public Tsample_source {
 public:
  explicit Tmodule_source(Tsensor& sensor) : sensor_(sensor) {}
  SampleSourceKind Kind() const override { return SampleSourceKind::kModule; }
  SourceReading Measure(bool force) override;
  bool Detect(std::string* why) override;
  void SetSampleCount(double n) override;
  void SetSequenceInterval(double ts) override;
  int32_t GetSampleCount() const override;
  int32_t GetSequenceInterval() const override;

  // Whether the sensor's last sequence is data: no error flag, and pressure
  // and temperature where the module gives readings (its rated range and
  // the margins beyond it).
  static bool IsGoodSample(const Tsensor& sensor);

 private:
  Tsensor& sensor_;
};
