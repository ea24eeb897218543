#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/Clock.h"

// Altitude of the site where the simulated module stands, in metres.
constexpr double kSimulatedSiteAltitude = 250.0;

// The conversion noise, in counts of a raw reading, either way.
constexpr double kSimulatedNoiseCounts = 2.0;

// The pressure-and-temperature module at the level of its wires, for running
// the program without hardware and for the tests.
//
// It watches every byte put on the data register: bits 2..7 must all be on
// for it to have power, bit 0 is the clock and bit 1 the data line from the
// PC, taken on each rising clock edge. It answers on its own data line
// (status bit 5):
//   - the reset sequence 1010101010101010 00000 puts its interface back to idle
//     whatever it was doing;
//   - a calibration-word command (13 bits) is followed by the word, 16 bits
//     MSB first, one bit presented after each rising edge;
//   - a conversion command (11 bits) is acknowledged by raising the line; the
//     next rising edge starts the conversion, during which the line stays high;
//     the line drops at the end of the conversion, and the 16-bit result
//     follows like a word.
// A rising edge with the PC's data line high while a conversion runs or a
// result is being shifted out abandons it and starts a new command, so the
// module falls back in step after a reading the PC gave up on.
//
// The readings come from an atmosphere over time (calendar seconds of the
// clock): weather fronts of several mbar over days around a mean sea-level
// pressure, reduced to the site altitude, and a daily temperature cycle. D1
// and D2 are found by inverting the compensation formula for the module's
// calibration, so a correct driver reads back the atmosphere's values.
// Each conversion adds the module's noise as the driver's noise model states
// it (sensor/Tsensor.h): up to kSimulatedNoiseCounts counts either way on the
// exact reading, then rounded to a whole count. The noise of a conversion
// (triangular, as the sum of two uniform draws) is drawn from the seed and
// the number of conversions since the seed was set, so a run is the same on
// every machine. Fixed conditions have no noise until SetNoiseSeed is called.
class SimulatedModule {
 public:
  explicit SimulatedModule(Clock& clock, uint32_t seed = 1);

  // Starts the noise again from another seed (the atmosphere stays), on fixed
  // conditions too: the conversions from now on are the same for a seed.
  void SetNoiseSeed(uint64_t seed);

  // Factory calibration; the default is 0xB5A7, 0x9C4D, 0x62F1, 0xA7B3.
  void SetCalibrationWords(uint16_t w1, uint16_t w2, uint16_t w3, uint16_t w4);
  uint16_t CalibrationWord(int index) const;  // 1..4, 0 otherwise

  // Time from the start of a conversion to its end (default 35 ms);
  // 0 ends it at the first poll.
  void SetConversionTimeMs(int ms);

  // Constant local pressure and temperature without noise, instead of the
  // time-varying atmosphere.
  void SetFixedConditions(double pressure_mbar, double temperature_c);
  void ClearFixedConditions();

  // Carries the module up (a positive speed) or down from now on, at the
  // given vertical speed in metres per second, as in a lift; 0 stops it where
  // it is. Both the time-varying atmosphere and fixed conditions (taken as
  // those at the start) then change with the altitude.
  void SetClimb(double metres_per_second);
  // Metres above or below the starting place at calendar time t.
  double ClimbAt(double t) const;

  // Local values the module measures at the clock's present time (before
  // the conversion's noise).
  double PressureNow();
  double TemperatureNow();

  // The atmosphere without noise at calendar time t.
  double SeaLevelPressureAt(double t) const;
  double LocalPressureAt(double t) const;
  double TemperatureAt(double t) const;

  // Raw readings for given conditions: the inverse of the compensation for
  // the module's calibration, rounded to the nearest 16-bit value.
  uint16_t TemperatureReading(double temperature_c) const;
  uint16_t PressureReading(double pressure_mbar, double temperature_c) const;

  // Faults. Unplugged: the module sees nothing and its lines float high, so
  // the status register reads 0xFF.
  void SetUnplugged(bool on);
  // Conversion commands are ignored: the line stays low where the
  // acknowledge should be.
  void SetNoAcknowledge(bool on);
  // The line drops at the given poll (status read) of a conversion;
  // 0 = after the conversion time (default), < 0 = never.
  void SetEndOfConversionAfterPolls(int polls);
  // After k more conversions the module is gone, as if unplugged, until this
  // is called again; < 0 = never (default).
  void SetDisappearAfterConversions(int k);

  // Conversions started since construction.
  int ConversionCount() const { return conversion_count_; }

  // The wires: clock and data from the PC and the supply, driven together;
  // the module's data line (high while it floats). Every read of the data
  // line counts as a poll of a running conversion.
  void SetLines(bool clock, bool data, bool power);
  bool DataLine();

  // The same wires on a parallel port: the data register (bit 0 clock, bit 1
  // data, bits 2..7 all on for power) and the status register (bit 5).
  void WriteData(uint8_t value);
  uint8_t ReadStatus();

 private:
  enum class State { kIdle, kAckPending, kConverting, kShifting };

  void InterfaceReset();
  void OnRisingEdge(int bit);
  void TakeCommandBit(int bit);
  void StartCommand(int command);
  void StartConversion();
  void UpdateConversion(bool is_poll);
  bool Floating() const { return unplugged_ || gone_ || !powered_; }
  // The noise of the present conversion, in counts.
  double ConversionNoise() const;
  // The readings before rounding; the pressure's for a given exact D2.
  double ExactTemperatureReading(double temperature_c) const;
  double ExactPressureReading(double pressure_mbar, double d2) const;

  Clock& clock_;
  uint64_t seed_;
  uint64_t noise_seed_;
  uint64_t noise_draws_ = 0;  // conversions since the noise seed was set
  bool noise_on_fixed_ = false;

  // Calibration words and the coefficients unpacked from them.
  uint16_t words_[4];
  double c_[7] = {};  // c_[1]..c_[6]

  int conversion_ms_ = 35;
  bool fixed_ = false;
  double fixed_pressure_ = 0;
  double fixed_temperature_ = 0;
  double phase_[4] = {};
  // The climb: metres reached at climb_start_ms_, and the speed since then.
  double climb_m_ = 0;
  double climb_speed_ = 0;
  int64_t climb_start_ms_ = 0;

  bool unplugged_ = false;
  bool no_ack_ = false;
  int eoc_polls_ = 0;
  int64_t disappear_at_ = -1;  // conversion count at which the module goes
  bool gone_ = false;

  // Line and protocol state.
  bool powered_ = false;
  int last_clock_ = 0;
  int dout_ = 0;
  uint32_t history_ = 0;  // last bits taken, newest in bit 0
  std::string received_;  // command bits since idle, '0'/'1'
  State state_ = State::kIdle;
  bool pressure_channel_ = false;
  int64_t conversion_start_ms_ = 0;
  int polls_ = 0;
  uint16_t result_ = 0;
  uint16_t out_word_ = 0;
  int out_index_ = 0;
  int conversion_count_ = 0;
};
