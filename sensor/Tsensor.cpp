#include "sensor/Tsensor.h"

#include <cmath>
#include <initializer_list>
#include <limits>

#include "platform/LptLines.h"

namespace {

// Command bytes, sent least significant bit first.
constexpr int kCmdPressure = 0x2F;
constexpr int kCmdTemperature = 0x4F;

struct WordCommand {
  int command;  // 8 bits
  int tail;     // 5 bits
};
constexpr WordCommand kWordCommands[4] = {{0x57, 1}, {0xD7, 0}, {0x37, 1}, {0xB7, 0}};

// --- Acceptance ------------------------------------------------------------
//
// The link has no checksum, and a module that goes away in the middle of a
// word leaves a believable number: the bits after that float high (an
// unplugged line reads 1), and after a replug the module answers 0 until the
// next command. So a sample is accepted only on evidence:
//   - every conversion of the sequence succeeded (acknowledge, end of
//     conversion within the polls);
//   - the n pairs of the sequence agree with each other within their noise,
//     and pressure and temperature lie where the module gives readings
//     (InReadingRange);
//   - the step from the recent accepted samples (their mean) is no larger
//     than a share of the noise: the atmosphere at rest does not move faster.
// A sequence that fails the last two needs a second one to confirm it, run
// at once: the sample is accepted when the second passes the checks alone
// (the first was the glitch), or when the two agree and the module then
// hands back one of its calibration words unchanged (a module that went
// away or came back does not, nor does another module, whose values agree
// with each other as well); shown is their mean. So a real fast change, an
// altimeter in a lift, is confirmed by the second sequence, and a glitch is
// not. Two glitches that strike both sequences at the same bit give the
// same wrong value, but both with a floating tail (below) in the same raw
// word: away from the recent samples such a pair needs a third sequence.
// Without recent samples (after a gap), a sequence that was usable but not
// accepted stays a candidate for two minutes and confirms a later one that
// agrees with it, as a second sequence would.
//
// Reading the words back after every sequence as well was measured against
// the fault model of bench/bench_faults.cpp:
// it caught no wrong sample the checks above let through, and it cost a
// sixth of the good samples there (one word; four words cost half), since
// every register access is a chance for the cable to fail.

// The tolerances follow from the noise model (Tsensor.h): a fault-free
// conversion pair lies within its noise bound (noise_pressure,
// noise_temperature of its sequence) of the truth, so two fault-free
// sequences lie within the sum of their bounds of each other, and no
// fault-free sample is refused for a disagreement. What the atmosphere
// really does between two sequences run one after the other is allowed on
// top: a lift at 5 m/s moves 0.4 m in their 80 ms.
constexpr double kChangePressure = 0.05;     // mbar
constexpr double kChangeTemperature = 0.01;  // deg C
// A lone sample is accepted when it steps from the recent accepted ones (their
// mean) by no more than this share of its noise bound: the atmosphere at rest
// moves less, and a garbled word moves a value by more. A fault-free sample
// beyond it (the noise reaches the whole bound) costs a second sequence,
// which confirms it, not a refusal. With the factory calibration the step is
// 0.16 mbar and 0.009 deg C (and the drift below).
constexpr double kStepShare = 0.6;
// The temperature at rest drifts by more than its noise within the
// references' two minutes (2 deg C an hour in the morning sun): allowed on
// top of the step. It moves the pressure through D2 by 0.1 mbar at most.
constexpr double kStepTemperatureDrift = 0.04;  // deg C
// Accepted samples older than this are no reference. Within it the pressure
// step allowed does not grow: weather moves a reading by less than the step
// in two minutes (0.16 mbar in two minutes is 4.8 mbar an hour, a strong
// front), and anything faster (a lift, a sensor carried to another room) is
// confirmed by a second sequence. After two minutes without an accepted
// sample, and always when ts is above two minutes, every sample is
// confirmed.
constexpr int64_t kReferenceMs = 120000;
// A floating tail: the raw word ends in this many ones or more, followed by
// zeros or not, or in this many zeros or more: the module went away in the
// word (its line floats high) and, for the zeros, came back before the
// word's end (it then answers 0). About one legitimate word in six ends so
// too, so a tail decides nothing alone; it marks two agreeing sequences that
// may carry the same glitch.
constexpr int kFloatingTailBits = 4;
// Readings of the calibration words in a checked read, at most.
constexpr int kCalibrationReadings = 3;

// Whether a raw word ends as a glitch leaves it (kFloatingTailBits).
bool FloatingTail(int32_t word) {
  uint32_t bits = static_cast<uint32_t>(word) & 0xFFFFu;
  if (bits == 0) return false;
  int zeros = 0;
  for (; (bits & 1u) == 0; bits >>= 1) ++zeros;
  int ones = 0;
  for (; (bits & 1u) != 0; bits >>= 1) ++ones;
  return zeros >= kFloatingTailBits || ones >= kFloatingTailBits;
}

}  // namespace

bool InReadingRange(double pressure, double temperature) {
  return pressure >= kRatedLowestPressure - kBeyondRatedPressure &&
         pressure <= kRatedHighestPressure + kBeyondRatedPressure &&
         temperature >= kRatedLowestTemperature - kBeyondRatedTemperature &&
         temperature <= kRatedHighestTemperature + kBeyondRatedTemperature;
}

int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483649.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);  // in range: truncates toward zero
}

Tsensor::Tsensor(ModuleLines& lines, Clock& clock) : link_(lines, clock), clock_(clock) {
  Reset();
}

Tsensor::Tsensor(PortIo& port, Clock& clock)
    : own_lines_(std::make_unique<LptLines>(port)), link_(*own_lines_, clock), clock_(clock) {
  Reset();
}

Tsensor::~Tsensor() {
  WriteLines(0, 0, 0);
}

void Tsensor::UseLines(ModuleLines& lines) {
  if (&lines == &link_.Lines()) return;
  WriteLines(0, 0, 0);
  // Lines made for a port given as registers stay for the sensor's life, so
  // that a caller may hand them back here.
  link_.UseLines(lines);
  WriteLines(0, 0, 1);
}

void Tsensor::Reset() {
  Error = false;
  D1 = 0;
  D2 = 0;
  SampleCount = 1;
  SequenceInterval = 1;
  TicksLeft = 0;
  C1 = C2 = C3 = C4 = C5 = C6 = 0;
  has_calibration_ = false;
  user_calibration_ = false;
  module_vouched_ = false;
  ForgetReferences();
  WriteLines(0, 0, 1);
}

bool Tsensor::Measure(bool force) {
  // ts may be as low as INT32_MIN; the countdown stops there instead of
  // overflowing (every call runs a sequence either way).
  if (TicksLeft > std::numeric_limits<int32_t>::min()) --TicksLeft;
  if (TicksLeft > 0 && !force) return false;
  TicksLeft = SequenceInterval;
  Error = false;
  no_answer_ = false;
  if (SampleCount <= 0) {
    // No conversion, nothing to check: the values become 0.
    Pressure = 0;
    Temperature = 0;
    return true;
  }

  if (!PrepareModule()) {
    no_answer_ = true;
    Refuse();
    return true;
  }
  const Sequence first = RunSequence();
  if (first.failed) {
    no_answer_ = true;
    Refuse();
    return true;
  }
  if (!NeedsConfirmation(first)) {
    Accept(first);
    return true;
  }
  // Without recent samples, a sequence of the last two minutes that could
  // not be accepted then, and agrees with this one, confirms it as a second
  // sequence now would. (With recent samples the second sequence decides: a
  // candidate away from them is likely the garbled one.)
  Reference recent;
  if (!RecentReference(&recent) && Confirms(candidate_, first)) {
    AcceptPair(candidate_, first);
    return true;
  }
  // One more sequence at once: a real change is there again, a glitch is not.
  const Sequence second = RunSequence();
  if (second.failed) {
    KeepCandidate(first);
    Refuse();
    return true;
  }
  if (!NeedsConfirmation(second)) {
    Accept(second);  // the first was the glitch
    return true;
  }
  if (!Confirms(first, second)) {
    // Unless two glitches struck both at the same bit (a floating tail in
    // the same raw word of both), a third sequence decides.
    if (!Agree(first, second) || !SameGlitchPossible(first, second)) {
      KeepCandidate(second);
      Refuse();
      return true;
    }
    const Sequence third = RunSequence();
    if (third.failed || !Agree(second, third) || !NextWordStillTheModules()) {
      if (!third.failed) KeepCandidate(third);
      Refuse();
      return true;
    }
    AcceptPair(second, third);
    return true;
  }
  AcceptPair(first, second);
  return true;
}

void Tsensor::AcceptPair(const Sequence& a, const Sequence& b) {
  Sequence mean = b;
  mean.pressure = (a.pressure + b.pressure) / 2;
  mean.temperature = (a.temperature + b.temperature) / 2;
  Accept(mean);
}

bool Tsensor::Confirms(const Sequence& earlier, const Sequence& later) {
  if (earlier.ms < 0) return false;  // no sequence
  const int64_t age = clock_.NowMs() - earlier.ms;
  // A change the recent samples do not vouch for: the two agree, and the
  // module hands back one of its words (another module's values agree with
  // each other as well).
  return age >= 0 && age <= kReferenceMs && Agree(earlier, later) &&
         !SameGlitchPossible(earlier, later) && NextWordStillTheModules();
}

void Tsensor::KeepCandidate(const Sequence& sequence) {
  candidate_ = sequence;
}

Tsensor::Sequence Tsensor::RunSequence() {
  Sequence sequence;
  double pressure_sum = 0;
  double temperature_sum = 0;
  double p_low = 0, p_high = 0, t_low = 0, t_high = 0;
  int32_t passes = 0;
  while (passes < SampleCount && !sequence.failed) {
    ConvertD1();
    // The temperature conversion clears the flag when it starts; a failed
    // pressure conversion must still fail the pass.
    const bool pressure_failed = Error;
    ConvertD2();
    if (pressure_failed) Error = true;
    Compensate();
    pressure_sum += Pressure;
    temperature_sum += Temperature;
    if (passes == 0 || Pressure < p_low) p_low = Pressure;
    if (passes == 0 || Pressure > p_high) p_high = Pressure;
    if (passes == 0 || Temperature < t_low) t_low = Temperature;
    if (passes == 0 || Temperature > t_high) t_high = Temperature;
    // The pair's noise bound: the compensation at the corners of the box of
    // kReadingErrorCounts around its readings.
    for (const double d1 : {D1 - kReadingErrorCounts, D1 + kReadingErrorCounts}) {
      for (const double d2 : {D2 - kReadingErrorCounts, D2 + kReadingErrorCounts}) {
        double p = 0, t = 0;
        Compensated(d1, d2, &p, &t);
        sequence.noise_pressure = std::fmax(sequence.noise_pressure, std::fabs(p - Pressure));
        sequence.noise_temperature =
            std::fmax(sequence.noise_temperature, std::fabs(t - Temperature));
      }
    }
    if (FloatingTail(D1)) sequence.tail_d1 = true;
    if (FloatingTail(D2)) sequence.tail_d2 = true;
    if (Error) sequence.failed = true;
    ++passes;
  }

  double divisor = static_cast<double>(passes);
  if (divisor == 0) divisor = 0.00001;
  Pressure = pressure_sum / divisor;
  Temperature = temperature_sum / divisor;
  sequence.pressure = Pressure;
  sequence.temperature = Temperature;
  sequence.ms = clock_.NowMs();
  // Two fault-free pairs lie within twice the bound of each other.
  sequence.pairs_agree = p_high - p_low <= 2 * sequence.noise_pressure + kChangePressure &&
                         t_high - t_low <= 2 * sequence.noise_temperature + kChangeTemperature;
  return sequence;
}

bool Tsensor::PrepareModule() {
  if (has_calibration_ && module_vouched_) return true;
  Tsensor_wc read;
  ReadWords(&read);
  // The module known from an earlier checked read, unchanged: one reading
  // that matches it is as good as two that agree.
  if (!module_record_.IsCleared() && SameWords(read, module_record_)) {
    if (!has_calibration_) TakeModuleCalibration(read);
    module_vouched_ = true;
    return true;
  }
  // Nothing there (an unplugged module reads 0xFFFF), or a garbled reading.
  if (!read.IsPlausible()) return false;
  // Words not seen before: a module to take on once a second reading agrees.
  Tsensor_wc again;
  ReadWords(&again);
  if (!SameWords(again, read)) return false;
  // Without a calibration the module's becomes the sensor's; so does another
  // module's, unless the user gave the calibration in use.
  if (!has_calibration_ || !user_calibration_) TakeModuleCalibration(again);
  // Another module's first values are confirmed, whatever the last were.
  ForgetReferences();
  module_record_ = again;
  module_vouched_ = true;
  return true;
}

bool Tsensor::NextWordStillTheModules() {
  const int index = next_word_check_;
  next_word_check_ = (index + 1) % 4;
  const int32_t words[4] = {module_record_.W1, module_record_.W2, module_record_.W3,
                            module_record_.W4};
  const int32_t word = ReadOneWord(index);
  if (word == words[index]) return true;
  // The same other word read again at once is no glitch: maybe another
  // module. The next sequence reads all four words first.
  if (word != 0 && word != 0xFFFF && ReadOneWord(index) == word) module_vouched_ = false;
  return false;
}

bool Tsensor::RecentReference(Reference* reference) {
  const int64_t now = clock_.NowMs();
  int used = 0;
  double pressure = 0, temperature = 0;
  for (int i = 0; i < reference_count_; ++i) {
    const int64_t age = now - references_[i].ms;
    if (age < 0 || age > kReferenceMs) continue;  // old, or the clock was set back
    pressure += references_[i].pressure;
    temperature += references_[i].temperature;
    ++used;
  }
  if (used == 0) return false;
  reference->pressure = pressure / used;
  reference->temperature = temperature / used;
  return true;
}

bool Tsensor::NeedsConfirmation(const Sequence& sequence) {
  if (!sequence.pairs_agree || !InReadingRange(sequence.pressure, sequence.temperature))
    return true;
  Reference reference;
  if (!RecentReference(&reference)) return true;
  return !(std::fabs(sequence.pressure - reference.pressure) <=
           kStepShare * sequence.noise_pressure) ||
         !(std::fabs(sequence.temperature - reference.temperature) <=
           kStepShare * sequence.noise_temperature + kStepTemperatureDrift);
}

bool Tsensor::Agree(const Sequence& first, const Sequence& second) {
  return first.pairs_agree && second.pairs_agree &&
         InReadingRange(first.pressure, first.temperature) &&
         InReadingRange(second.pressure, second.temperature) &&
         std::fabs(first.pressure - second.pressure) <=
             first.noise_pressure + second.noise_pressure + kChangePressure &&
         std::fabs(first.temperature - second.temperature) <=
             first.noise_temperature + second.noise_temperature + kChangeTemperature;
}

bool Tsensor::SameGlitchPossible(const Sequence& first, const Sequence& second) {
  if (!(first.tail_d1 && second.tail_d1) && !(first.tail_d2 && second.tail_d2)) return false;
  // A stable reading keeps its low bits, tail and all: near the recent
  // samples (within the noise of a sample and of theirs) a shared tail is no
  // sign of anything.
  Reference recent;
  return !RecentReference(&recent) ||
         !(std::fabs(second.pressure - recent.pressure) <=
           2 * second.noise_pressure + kChangePressure) ||
         !(std::fabs(second.temperature - recent.temperature) <=
           2 * second.noise_temperature + kChangeTemperature + kStepTemperatureDrift);
}

void Tsensor::Accept(const Sequence& sequence) {
  Pressure = sequence.pressure;
  Temperature = sequence.temperature;
  references_[reference_next_] = {sequence.pressure, sequence.temperature, clock_.NowMs()};
  reference_next_ = (reference_next_ + 1) % kReferences;
  if (reference_count_ < kReferences) ++reference_count_;
  candidate_ = Sequence();  // last: the sequence may be the candidate itself
}

void Tsensor::ForgetReferences() {
  reference_count_ = 0;
  reference_next_ = 0;
  candidate_ = Sequence();
}

void Tsensor::Refuse() {
  Error = true;
  D1 = 0;
  D2 = 0;
}

void Tsensor::TakeModuleCalibration(const Tsensor_wc& record) {
  Calibration = record;
  TakeCoefficients();
  has_calibration_ = true;
  user_calibration_ = false;
  module_record_ = record;
  module_vouched_ = true;
}

void Tsensor::ReadCalibration() {
  ForgetReferences();
  Tsensor_wc read;
  if (ReadCheckedCalibration(&read)) {
    TakeModuleCalibration(read);
    ConvertD1();  // the probe
    return;
  }
  // No valid calibration: the sensor holds none, and each sequence first
  // tries to read one.
  Calibration.Clear();
  TakeCoefficients();
  module_record_.Clear();
  has_calibration_ = false;
  user_calibration_ = false;
  module_vouched_ = false;
  Error = true;
  D1 = 0;
}

void Tsensor::GetCalibration(Tsensor_wc* record) const {
  Calibration.CopyTo(record);
}

void Tsensor::SetCalibration(const Tsensor_wc* record) {
  if (record != nullptr && *record != Calibration) {
    record->CopyTo(&Calibration);
    // The module's own record handed back (say, after "Restore from
    // sensor") is still the module's.
    user_calibration_ = Calibration != module_record_;
    ForgetReferences();
  }
  TakeCoefficients();
  has_calibration_ = !Calibration.IsCleared();
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
  ReadWords(record);
  ConvertD1();
}

bool Tsensor::ReadCheckedCalibration(Tsensor_wc* record) {
  if (record == nullptr) return false;
  Tsensor_wc previous;
  ReadWords(&previous);
  for (int reading = 2; reading <= kCalibrationReadings; ++reading) {
    Tsensor_wc current;
    ReadWords(&current);
    if (SameWords(current, previous)) {
      // Two equal readings: the module's words, or a line that reads the
      // same nonsense every time (no module); a third reading changes nothing.
      if (!current.IsPlausible()) return false;
      *record = current;
      return true;
    }
    previous = current;
  }
  return false;
}

void Tsensor::ReadWords(Tsensor_wc* record) {
  SendReset();
  record->W1 = ReadOneWord(0);
  record->W2 = ReadOneWord(1);
  record->W3 = ReadOneWord(2);
  record->W4 = ReadOneWord(3);
  record->WordsToCoefficients();
}

int32_t Tsensor::ReadOneWord(int index) {
  return link_.CommandAndWord(kWordCommands[index].command, 8, kWordCommands[index].tail, 5);
}

void Tsensor::Compensate() {
  Compensated(D1, D2, &Pressure, &Temperature);
}

void Tsensor::Compensated(double d1, double d2, double* pressure, double* temperature) const {
  const double dT = d2 - (8 * C5 + 20224);
  const double off = 4 * C2 + (C4 - 512) * dT * 0.000244140625;
  const double sens = C1 + 24576 + C3 * dT * 0.0009765625;
  const double x = (d1 - 7168) * sens * 0.00006103515625 - off;
  *pressure = x * 0.03125 + 250;
  *temperature = (C6 + 50) * dT * 0.00009765625 + 20;
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
  link_.WriteLines(clock, data, upper);
}

int Tsensor::ReadDataLine() {
  return link_.ReadDataLine();
}

void Tsensor::SendBits(int value, int count) {
  link_.SendBits(value, count);
}

int32_t Tsensor::ReadWord() {
  return link_.ReadWord();
}

void Tsensor::WaitConversion() {
  if (Error) return;
  if (!link_.WaitConversion()) Error = true;
}

void Tsensor::SleepMs(int ms) {
  link_.SleepMs(ms);
}

void Tsensor::SendReset() {
  link_.SendReset();
}

int32_t Tsensor::Convert(int command) {
  const bool acknowledged = link_.StartConversion(command);
  Error = !acknowledged;
  WaitConversion();
  return Error ? 0 : ReadWord();
}

void Tsensor::ConvertD1() {
  D1 = Convert(kCmdPressure);
}

void Tsensor::ConvertD2() {
  D2 = Convert(kCmdTemperature);
}
