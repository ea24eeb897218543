#include "sensor/Tserial_link.h"

namespace {
constexpr int kResetPattern = 0x55;
}  // namespace

void Tserial_link::AddDrive(int clock, int data) {
  ModuleLines::Step step;
  step.clock = (clock & 1) != 0;
  step.data = (data & 1) != 0;
  step.power = true;
  steps_.push_back(step);
}

void Tserial_link::AddSample() {
  ModuleLines::Step step;
  step.sample = true;
  steps_.push_back(step);
}

void Tserial_link::AddBits(int value, int count) {
  const uint32_t bits = static_cast<uint32_t>(value);
  AddDrive(0, 0);
  for (int i = 0; i < count; ++i) {
    const int bit = i < 32 ? static_cast<int>((bits >> i) & 1u) : 0;
    AddDrive(0, bit);
    AddDrive(1, bit);
  }
}

void Tserial_link::AddWordRead() {
  AddDrive(0, 0);
  for (int i = 0; i < 16; ++i) {
    AddDrive(1, 0);
    AddSample();
    AddDrive(0, 0);
  }
}

void Tserial_link::Flush() {
  samples_.clear();
  lines_->Exchange(steps_, &samples_);
  steps_.clear();
}

int32_t Tserial_link::WordFromSamples(size_t first) const {
  int32_t result = 0;
  for (size_t i = first; i < first + 16; ++i) {
    const int bit = i < samples_.size() ? samples_[i] : 1;  // a missing bit floats high
    result = (result << 1) | bit;
  }
  return result;
}

void Tserial_link::WriteLines(int clock, int data, int upper) {
  lines_->Drive((clock & 1) != 0, (data & 1) != 0, upper == 1);
}

int Tserial_link::ReadDataLine() {
  return lines_->Sample() ? 1 : 0;
}

void Tserial_link::SendBits(int value, int count) {
  AddBits(value, count);
  Flush();
}

int32_t Tserial_link::ReadWord() {
  AddWordRead();
  Flush();
  return WordFromSamples(0);
}

void Tserial_link::SendReset() {
  AddBits(kResetPattern, 8);
  AddBits(kResetPattern, 8);
  AddBits(0, 5);
  Flush();
}

int32_t Tserial_link::CommandAndWord(int command, int count, int tail, int tail_count) {
  AddBits(command, count);
  AddBits(tail, tail_count);
  AddWordRead();
  Flush();
  return WordFromSamples(0);
}

bool Tserial_link::StartConversion(int command) {
  AddBits(command, 8);
  AddBits(0, 3);
  AddSample();  // the acknowledge: the line raised, with the clock high
  AddBits(0, 1);
  Flush();
  return !samples_.empty() && samples_[0] != 0;
}

bool Tserial_link::WaitConversion() {
  WriteLines(0, 0, 1);
  // The module is busy for its conversion time whatever it shows; polling
  // before would only cost wake-ups. Then a short interval, so that the end
  // is seen within a millisecond.
  SleepMs(kConversionMs);
  int slept = kConversionMs;
  for (;;) {
    if (ReadDataLine() == 0) return true;
    if (slept >= kWaitLimitMs) return false;
    SleepMs(kPollIntervalMs);
    slept += kPollIntervalMs;
  }
}

void Tserial_link::SleepMs(int ms) {
  clock_.SleepMs(ms);
}
