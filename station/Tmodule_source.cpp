#include "station/Tmodule_source.h"

#include "sensor/Tsensor.h"

bool Tmodule_source::IsGoodSample(const Tsensor& sensor) {
  // Where the module gives readings; a compensated value outside comes from a
  // reading that went wrong on the way (the link has no checksum).
  return !sensor.HasError() && InReadingRange(sensor.Pressure, sensor.Temperature);
}

SourceReading Tmodule_source::Measure(bool force) {
  SourceReading reading;
  reading.taken = sensor_.Measure(force);
  if (!reading.taken) return reading;
  reading.d1 = sensor_.GetD1();
  reading.d2 = sensor_.GetD2();
  reading.pressure = sensor_.Pressure;
  reading.temperature = sensor_.Temperature;
  reading.good = IsGoodSample(sensor_);
  if (reading.good) return reading;
  if (sensor_.HasError()) {
    reading.failure = sensor_.NoAnswer() ? SampleFailure::kNoModule : SampleFailure::kRefused;
    reading.reason =
        sensor_.NoAnswer() ? "the module does not answer" : "refused: the readings did not agree";
  } else {
    reading.failure = SampleFailure::kOutOfRange;
    reading.reason = "outside the module's range";
  }
  return reading;
}

bool Tmodule_source::Detect(std::string* why) {
  sensor_.Reset();
  sensor_.ReadCalibration();
  if (!sensor_.HasError()) return true;
  if (why) *why = "the module does not answer";
  return false;
}

void Tmodule_source::SetSampleCount(double n) {
  sensor_.SetSampleCount(n);
}

void Tmodule_source::SetSequenceInterval(double ts) {
  sensor_.SetSequenceInterval(ts);
}

int32_t Tmodule_source::GetSampleCount() const {
  return sensor_.GetSampleCount();
}

int32_t Tmodule_source::GetSequenceInterval() const {
  return sensor_.GetSequenceInterval();
}
