#include "sensor/Tsensor.h"

#include <cmath>
#include <limits>

namespace {

constexpr uint8_t kClockBit = 0x01;
constexpr uint8_t kDataBit = 0x02;
constexpr uint8_t kUpperLines = 0xFC;
constexpr uint8_t kDataInMask = 0x20;  // status bit 5

// Command bytes, sent least significant bit first.
constexpr int kResetPattern = 0x55;
constexpr int kCmdPressure = 0x2F;
constexpr int kCmdTemperature = 0x4F;

struct WordCommand {
  int command;  // 8 bits
  int tail;     // 5 bits
};
constexpr WordCommand kWordCommands[4] = {{0x57, 1}, {0xD7, 0}, {0x37, 1}, {0xB7, 0}};

}  // namespace

int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483649.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);  // in range: truncates toward zero
}

Tsensor::Tsensor(PortIo& port, Clock& clock) : port_(port), clock_(clock) {
  Reset();
}

Tsensor::~Tsensor() {
  WriteLines(0, 0, 0);
}

void Tsensor::Reset() {
  Error = false;
  D1 = 0;
  D2 = 0;
  SampleCount = 1;
  SequenceInterval = 1;
  TicksLeft = 0;
  C1 = C2 = C3 = C4 = C5 = C6 = 0;
  WriteLines(0, 0, 1);
}

bool Tsensor::Measure(bool force) {
  // ts may be as low as INT32_MIN; the countdown stops there instead of
  // overflowing (every call runs a sequence either way).
  if (TicksLeft > std::numeric_limits<int32_t>::min()) --TicksLeft;
  if (TicksLeft > 0 && !force) return false;

  Error = false;
  double pressure_sum = 0;
  double temperature_sum = 0;
  int32_t passes = 0;
  bool failed = false;
  while (passes < SampleCount && !failed) {
    ConvertD1();
    // The temperature conversion clears the flag when it starts; a failed
    // pressure conversion must still fail the pass.
    const bool pressure_failed = Error;
    ConvertD2();
    if (pressure_failed) Error = true;
    Compensate();
    pressure_sum += Pressure;
    temperature_sum += Temperature;
    if (Error) failed = true;
    ++passes;
  }

  double divisor = static_cast<double>(passes);
  if (divisor == 0) divisor = 0.00001;
  Pressure = pressure_sum / divisor;
  Temperature = temperature_sum / divisor;
  TicksLeft = SequenceInterval;
  return true;
}

void Tsensor::ReadCalibration() {
  ReadCalibrationWords(&Calibration);
  TakeCoefficients();
}

void Tsensor::GetCalibration(Tsensor_wc* record) const {
  Calibration.CopyTo(record);
}

void Tsensor::SetCalibration(const Tsensor_wc* record) {
  if (record != nullptr) record->CopyTo(&Calibration);
  TakeCoefficients();
}

void Tsensor::TakeCoefficients() {
  C1 = Calibration.C1;
  C2 = Calibration.C2;
  C3 = Calibration.C3;
  C4 = Calibration.C4;
  C5 = Calibration.C5;
  C6 = Calibration.C6;
}

double Tsensor::GetCoefficient(int index) const {
  switch (index) {
    case 1:
      return C1;
    case 2:
      return C2;
    case 3:
      return C3;
    case 4:
      return C4;
    case 5:
      return C5;
    case 6:
      return C6;
    default:
      return 0;
  }
}

void Tsensor::ReadCalibrationWords(Tsensor_wc* record) {
  if (record == nullptr) return;
  SendReset();
  int32_t* const words[4] = {&record->W1, &record->W2, &record->W3, &record->W4};
  for (int i = 0; i < 4; ++i) {
    SendBits(kWordCommands[i].command, 8);
    SendBits(kWordCommands[i].tail, 5);
    *words[i] = ReadWord();
  }
  record->WordsToCoefficients();
  ConvertD1();
}

void Tsensor::Compensate() {
  const double dT = D2 - (8 * C5 + 20224);
  const double off = 4 * C2 + (C4 - 512) * dT * 0.000244140625;
  const double sens = C1 + 24576 + C3 * dT * 0.0009765625;
  const double x = (D1 - 7168) * sens * 0.00006103515625 - off;
  Pressure = x * 0.03125 + 250;
  Temperature = (C6 + 50) * dT * 0.00009765625 + 20;
}

void Tsensor::SetSampleCount(double value) {
  SampleCount = TruncateToInt32(value);
}

void Tsensor::SetSequenceInterval(double value) {
  SequenceInterval = TruncateToInt32(value);
  TicksLeft = 1;
}

// --- link level -------------------------------------------------------------

void Tsensor::WriteLines(int clock, int data, int upper) {
  uint8_t value = 0;
  if (clock & 1) value |= kClockBit;
  if (data & 1) value |= kDataBit;
  if (upper == 1) value |= kUpperLines;
  port_.WriteByte(kLptData, value);
}

int Tsensor::ReadDataLine() {
  return (port_.ReadByte(kLptStatus) & kDataInMask) == kDataInMask;
}

void Tsensor::SendBits(int value, int count) {
  const uint32_t bits = static_cast<uint32_t>(value);
  WriteLines(0, 0, 1);
  for (int i = 0; i < count; ++i) {
    const int bit = i < 32 ? static_cast<int>((bits >> i) & 1u) : 0;
    WriteLines(0, bit, 1);
    WriteLines(1, bit, 1);
  }
}

int32_t Tsensor::ReadWord() {
  int32_t result = 0;
  WriteLines(0, 0, 1);
  for (int i = 0; i < 16; ++i) {
    WriteLines(1, 0, 1);
    result = (result << 1) | ReadDataLine();
    WriteLines(0, 0, 1);
  }
  return result;
}

void Tsensor::WaitConversion() {
  if (Error) return;
  WriteLines(0, 0, 1);
  for (int polls = 1;; ++polls) {
    const int line = ReadDataLine();
    SleepMs(kPollSleepMs);
    if (polls >= kMaxPolls) {
      Error = true;
      return;
    }
    if (line == 0) return;
  }
}

void Tsensor::SleepMs(int ms) {
  clock_.SleepMs(ms);
}

void Tsensor::SendReset() {
  SendBits(kResetPattern, 8);
  SendBits(kResetPattern, 8);
  SendBits(0, 5);
}

int32_t Tsensor::Convert(int command) {
  SendBits(command, 8);
  SendBits(0, 3);
  Error = false;
  if (ReadDataLine() == 0) Error = true;  // no acknowledge
  SendBits(0, 1);
  WaitConversion();
  return Error ? 0 : ReadWord();
}

void Tsensor::ConvertD1() {
  D1 = Convert(kCmdPressure);
}

void Tsensor::ConvertD2() {
  D2 = Convert(kCmdTemperature);
}
