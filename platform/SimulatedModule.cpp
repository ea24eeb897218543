#include "platform/SimulatedModule.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDay = 86400.0;

// A command as the module sees it: bits in the order they are clocked in.
constexpr uint32_t BitsOf(const char* bits) {
  uint32_t v = 0;
  for (; *bits != '\0'; ++bits) v = (v << 1) | (*bits == '1' ? 1u : 0u);
  return v;
}

constexpr const char* kResetSequence = "101010101010101000000";
constexpr uint32_t kResetBits = BitsOf(kResetSequence);
constexpr uint32_t kResetMask = (1u << 21) - 1;

// Commands 0..3 read W1..W4; 4 starts a pressure and 5 a temperature
// conversion.
constexpr int kPressureCommand = 4;
constexpr int kTemperatureCommand = 5;
const char* const kCommands[6] = {"1110101010000", "1110101100000", "1110110010000",
                                  "1110110100000", "11110100000",   "11110010000"};

uint64_t SplitMix64(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Uniform in [0, 1).
double Unit(uint64_t x) {
  return static_cast<double>(SplitMix64(x) >> 11) * 0x1.0p-53;
}

// Nearest 16-bit reading; anything outside (NaN included) pins to the ends.
uint16_t ToReading(double v) {
  if (!(v >= 0)) return 0;
  if (v >= 65535) return 65535;
  return static_cast<uint16_t>(std::lround(v));
}

// Standard atmosphere: local pressure as a fraction of the sea-level one.
double AltitudeFactor(double altitude_m) {
  return std::pow(1.0 - 2.25577e-5 * altitude_m, 5.25588);
}

}  // namespace

SimulatedModule::SimulatedModule(Clock& clock, uint32_t seed)
    : clock_(clock), seed_(seed), noise_seed_(seed) {
  SetCalibrationWords(0xB5A7, 0x9C4D, 0x62F1, 0xA7B3);
  for (int i = 0; i < 4; ++i) phase_[i] = 2 * kPi * Unit(seed_ * 8 + static_cast<uint64_t>(i));
}

void SimulatedModule::SetCalibrationWords(uint16_t w1, uint16_t w2, uint16_t w3, uint16_t w4) {
  words_[0] = w1;
  words_[1] = w2;
  words_[2] = w3;
  words_[3] = w4;
  // The module's own unpacking of its words into C1..C6.
  c_[1] = (w1 >> 1) & 0x7FFF;
  c_[2] = ((w3 & 0x3F) << 6) | (w4 & 0x3F);
  c_[3] = (w4 >> 6) & 0x3FF;
  c_[4] = (w3 >> 6) & 0x3FF;
  c_[5] = ((w1 & 1) << 10) | ((w2 >> 6) & 0x3FF);
  c_[6] = w2 & 0x3F;
}

uint16_t SimulatedModule::CalibrationWord(int index) const {
  return index >= 1 && index <= 4 ? words_[index - 1] : 0;
}

void SimulatedModule::SetConversionTimeMs(int ms) {
  conversion_ms_ = ms > 0 ? ms : 0;
}

void SimulatedModule::SetFixedConditions(double pressure_mbar, double temperature_c) {
  fixed_ = true;
  fixed_pressure_ = pressure_mbar;
  fixed_temperature_ = temperature_c;
}

void SimulatedModule::ClearFixedConditions() {
  fixed_ = false;
}

// --- atmosphere ---------------------------------------------------------------

double SimulatedModule::SeaLevelPressureAt(double t) const {
  // Three fronts of different reach: together they sweep roughly 992..1034
  // mbar over a week and change by up to about 2 mbar an hour.
  return 1013.0 + 11.0 * std::sin(2 * kPi * t / (6.1 * kDay) + phase_[0]) +
         6.0 * std::sin(2 * kPi * t / (2.3 * kDay) + phase_[1]) +
         2.5 * std::sin(2 * kPi * t / (0.83 * kDay) + phase_[2]);
}

double SimulatedModule::LocalPressureAt(double t) const {
  return SeaLevelPressureAt(t) * AltitudeFactor(kSimulatedSiteAltitude + ClimbAt(t));
}

void SimulatedModule::SetClimb(double metres_per_second) {
  const int64_t now = clock_.NowMs();
  climb_m_ = ClimbAt(static_cast<double>(now) / 1000.0);
  climb_speed_ = metres_per_second;
  climb_start_ms_ = now;
}

double SimulatedModule::ClimbAt(double t) const {
  const double seconds = t - static_cast<double>(climb_start_ms_) / 1000.0;
  return seconds > 0 ? climb_m_ + climb_speed_ * seconds : climb_m_;
}

double SimulatedModule::TemperatureAt(double t) const {
  // Daily cycle of UTC time, coldest at 03:00 and warmest at 15:00, on a
  // mean that drifts over a few days.
  const double hours = std::fmod(t, kDay) / 3600.0;
  return 15.0 + 7.0 * std::sin(2 * kPi * (hours - 9.0) / 24.0) +
         2.0 * std::sin(2 * kPi * t / (3.7 * kDay) + phase_[3]);
}

void SimulatedModule::SetNoiseSeed(uint64_t seed) {
  noise_seed_ = seed;
  noise_draws_ = 0;
  noise_on_fixed_ = true;
}

double SimulatedModule::ConversionNoise() const {
  const uint64_t key = SplitMix64(noise_seed_) ^ (noise_draws_ * 2);
  // -1..1, most often near 0.
  return kSimulatedNoiseCounts * (Unit(key) + Unit(key + 1) - 1.0);
}

double SimulatedModule::PressureNow() {
  // The climb to the millisecond; the weather to the second.
  const double factor =
      climb_m_ == 0 && climb_speed_ == 0
          ? 1.0
          : AltitudeFactor(kSimulatedSiteAltitude +
                           ClimbAt(static_cast<double>(clock_.NowMs()) / 1000.0)) /
                AltitudeFactor(kSimulatedSiteAltitude);
  if (fixed_) return fixed_pressure_ * factor;
  return SeaLevelPressureAt(static_cast<double>(clock_.Now())) *
         AltitudeFactor(kSimulatedSiteAltitude) * factor;
}

double SimulatedModule::TemperatureNow() {
  if (fixed_) return fixed_temperature_;
  return TemperatureAt(static_cast<double>(clock_.Now()));
}

// --- inverse compensation -----------------------------------------------------

double SimulatedModule::ExactTemperatureReading(double temperature_c) const {
  const double dT = (temperature_c - 20.0) * 10240.0 / (c_[6] + 50.0);
  return dT + 8.0 * c_[5] + 20224.0;
}

double SimulatedModule::ExactPressureReading(double pressure_mbar, double d2) const {
  const double dT = d2 - (8.0 * c_[5] + 20224.0);
  const double off = 4.0 * c_[2] + (c_[4] - 512.0) * dT / 4096.0;
  const double sens = c_[1] + 24576.0 + c_[3] * dT / 1024.0;
  const double x = (pressure_mbar - 250.0) * 32.0;
  if (!(sens > 0)) return 0;  // a calibration that cannot measure
  return (x + off) * 16384.0 / sens + 7168.0;
}

uint16_t SimulatedModule::TemperatureReading(double temperature_c) const {
  return ToReading(ExactTemperatureReading(temperature_c));
}

uint16_t SimulatedModule::PressureReading(double pressure_mbar, double temperature_c) const {
  // Work from the rounded temperature reading, the one the driver will use.
  return ToReading(ExactPressureReading(pressure_mbar, TemperatureReading(temperature_c)));
}

// --- faults -------------------------------------------------------------------

void SimulatedModule::SetUnplugged(bool on) {
  unplugged_ = on;
  InterfaceReset();
}

void SimulatedModule::SetNoAcknowledge(bool on) {
  no_ack_ = on;
}

void SimulatedModule::SetEndOfConversionAfterPolls(int polls) {
  eoc_polls_ = polls;
}

void SimulatedModule::SetDisappearAfterConversions(int k) {
  disappear_at_ = k < 0 ? -1 : conversion_count_ + static_cast<int64_t>(k);
  if (gone_) {
    gone_ = false;
    InterfaceReset();
  }
}

// --- lines and protocol ---------------------------------------------------------

void SimulatedModule::InterfaceReset() {
  state_ = State::kIdle;
  received_.clear();
  history_ = 0;
  dout_ = 0;
}

void SimulatedModule::WriteData(uint8_t value) {
  // The module lives on the six upper data lines; anything less is no power.
  SetLines((value & 0x01) != 0, (value & 0x02) != 0, (value & 0xFC) == 0xFC);
}

uint8_t SimulatedModule::ReadStatus() {
  return DataLine() ? 0xFF : 0xDF;
}

void SimulatedModule::SetLines(bool clock_line, bool data_line, bool power) {
  const int clock = clock_line ? 1 : 0;
  const int data = data_line ? 1 : 0;
  if (power != powered_) {
    powered_ = power;
    InterfaceReset();
    last_clock_ = clock;
    return;
  }
  if (powered_ && !unplugged_ && !gone_ && last_clock_ == 0 && clock == 1) OnRisingEdge(data);
  last_clock_ = clock;
}

bool SimulatedModule::DataLine() {
  if (Floating()) return true;
  UpdateConversion(true);
  return dout_ != 0;
}

void SimulatedModule::OnRisingEdge(int bit) {
  history_ = (history_ << 1) | static_cast<uint32_t>(bit);
  if ((history_ & kResetMask) == kResetBits) {
    InterfaceReset();
    return;
  }
  UpdateConversion(false);
  switch (state_) {
    case State::kIdle:
      TakeCommandBit(bit);
      break;
    case State::kAckPending:
      StartConversion();
      break;
    case State::kConverting:
    case State::kShifting:
      if (bit == 1) {
        // The PC has moved on to a new command (every command starts with a 1).
        state_ = State::kIdle;
        dout_ = 0;
        TakeCommandBit(bit);
      } else if (state_ == State::kShifting) {
        dout_ = (out_word_ >> (15 - out_index_)) & 1;
        if (++out_index_ == 16) state_ = State::kIdle;
      }
      break;
  }
}

void SimulatedModule::TakeCommandBit(int bit) {
  received_.push_back(bit ? '1' : '0');
  while (!received_.empty()) {
    bool prefix = false;
    for (int i = 0; i < 6; ++i) {
      const std::string command = kCommands[i];
      if (received_ == command) {
        received_.clear();
        StartCommand(i);
        return;
      }
      if (command.compare(0, received_.size(), received_) == 0) prefix = true;
    }
    if (prefix) return;
    received_.erase(0, 1);  // not the start of any command: slide on
  }
}

void SimulatedModule::StartCommand(int command) {
  if (command < kPressureCommand) {
    state_ = State::kShifting;
    out_word_ = words_[command];
    out_index_ = 0;
    return;
  }
  if (no_ack_) {
    dout_ = 0;
    return;
  }
  if (disappear_at_ >= 0 && conversion_count_ >= disappear_at_) {
    gone_ = true;
    InterfaceReset();
    return;
  }
  pressure_channel_ = command == kPressureCommand;
  state_ = State::kAckPending;
  dout_ = 1;
}

void SimulatedModule::StartConversion() {
  ++conversion_count_;
  const double temperature = TemperatureNow();
  if (fixed_ && !noise_on_fixed_) {
    result_ = pressure_channel_ ? PressureReading(PressureNow(), temperature)
                                : TemperatureReading(temperature);
  } else {
    // The exact reading of the true values, plus the conversion's noise.
    const double d2 = ExactTemperatureReading(temperature);
    result_ = ToReading((pressure_channel_ ? ExactPressureReading(PressureNow(), d2) : d2) +
                        ConversionNoise());
    ++noise_draws_;
  }
  state_ = State::kConverting;
  conversion_start_ms_ = clock_.NowMs();
  polls_ = 0;
  dout_ = 1;
}

void SimulatedModule::UpdateConversion(bool is_poll) {
  if (state_ != State::kConverting) return;
  if (is_poll) ++polls_;
  bool done = false;
  if (eoc_polls_ > 0) {
    done = polls_ >= eoc_polls_;
  } else if (eoc_polls_ == 0) {
    done = clock_.NowMs() - conversion_start_ms_ >= conversion_ms_;
  }
  if (!done) return;
  state_ = State::kShifting;
  out_word_ = result_;
  out_index_ = 0;
  dout_ = 0;
}
