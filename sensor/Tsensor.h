#pragma once

#include <cstdint>
#include <memory>

#include "platform/Clock.h"
#include "platform/ModuleLines.h"
#include "platform/PortIo.h"
#include "sensor/Tsensor_wc.h"
#include "sensor/Tserial_link.h"

// What the driver assumes of the module's readings; the acceptance's
// tolerances follow from it, and the simulated module's noise keeps to it.
// Each raw reading, D1 and D2, is a whole count: the true reading plus a
// conversion noise of at most kConversionNoiseCounts counts either way, then
// rounded, so at most kReadingErrorCounts off. Through the compensation, with
// the calibration in use, the error of one conversion pair is found at the
// corners of that box around its D1 and D2 (the compensation is bilinear in
// them). With the factory calibration of the simulated module near 1000
// mbar, a count of D1 is 0.090 mbar, a count of D2 0.017 mbar and 0.0062
// deg C: a pair is at most 0.27 mbar and 0.015 deg C off the truth, and so
// is the mean of n pairs.
constexpr double kConversionNoiseCounts = 2;
constexpr double kReadingErrorCounts = kConversionNoiseCounts + 0.5;

// The module's rated range, where its maker promises the accuracy.
constexpr double kRatedLowestPressure = 300, kRatedHighestPressure = 1100;      // mbar
constexpr double kRatedLowestTemperature = -40, kRatedHighestTemperature = 85;  // deg C
// Readings a little beyond it are the module's as well (a check at the rated
// limits reads 299.97 or 1100.02 mbar) and are shown; a compensated value
// farther out comes from a reading that went wrong on the way.
constexpr double kBeyondRatedPressure = 20;    // mbar
constexpr double kBeyondRatedTemperature = 5;  // deg C

// Whether compensated values lie where the module gives readings: the rated
// range and the margins beyond it.
bool InReadingRange(double pressure, double temperature);

// Driver of the pressure-and-temperature module. Talks to it through the
// serial link (Tserial_link) over whatever lines connect it, reads and
// checks its calibration, runs sampling sequences of n conversion pairs
// every ts ticks and compensates the raw readings. A sample is accepted only
// when the module vouches for it; failures, refused samples included, are
// reported only through the error flag, with the raw values 0.
class Tsensor {
 public:
  // Creates the calibration record (all zero) and performs Reset, whose one
  // drive powers the module with clock and data low (on a parallel port:
  // 0xFC on the data register).
  Tsensor(ModuleLines& lines, Clock& clock);
  // The module on a parallel port's registers.
  Tsensor(PortIo& port, Clock& clock);
  // Drops every line, the supply included (on a parallel port: 0x00).
  ~Tsensor();

  // Moves to other lines: the old ones are dropped as at destruction, the
  // new ones powered as at Reset. The calibration and settings stay; the
  // caller detects the module again.
  void UseLines(ModuleLines& lines);
  ModuleLines& Lines() const { return link_.Lines(); }

  Tsensor(const Tsensor&) = delete;
  Tsensor& operator=(const Tsensor&) = delete;

  // Compensated values of the last sampling sequence: mbar and degrees C.
  double Pressure = 0;
  double Temperature = 0;

  // Back to the constructed settings (n = 1, ts = 1, coefficients zero, no
  // error, D1 = D2 = 0); keeps Pressure, Temperature and the record.
  void Reset();
  // One tick of the sampling countdown: runs a sampling sequence when one is
  // due or when forced, and then returns true. The sample is accepted only
  // when the module vouches for it (Tsensor.cpp, "Acceptance"); a refused
  // sample is a failed one: error flag set, D1 = D2 = 0. Without a
  // calibration the sensor first tries to read a valid one from the module;
  // the sample fails when it cannot.
  bool Measure(bool force);
  // The detection's read: the checked read of the calibration
  // (ReadCheckedCalibration), then one pressure conversion as a probe, whose
  // error flag and D1 tell whether a module answered. A calibration that
  // passes the check becomes the sensor's; otherwise the sensor holds none
  // (record cleared, coefficients 0), the error flag is set, D1 = 0 and no
  // probe is made.
  void ReadCalibration();
  void GetCalibration(Tsensor_wc* record) const;
  // Copies the record in (when given) and takes the own record's coefficients
  // as they stand; the words are not converted again. A record the user
  // gives stays his decision: it is used as it is and not replaced by the
  // module's. The sensor holds a calibration afterwards unless its record is
  // all zero (what it hands out while it holds none).
  void SetCalibration(const Tsensor_wc* record);
  // Reset of the module's interface, the four word reads, the unpacking and
  // one pressure conversion as a probe, without any check. Null record:
  // nothing happens.
  void ReadCalibrationWords(Tsensor_wc* record);
  // The checked read of the module's calibration: the four words (after a
  // reset of the module's interface) read again and again, at most three
  // times, until two readings in a row agree and are plausible
  // (Tsensor_wc::IsPlausible). Only then is the record written, words and
  // coefficients; returns whether it was. Changes nothing in the sensor.
  bool ReadCheckedCalibration(Tsensor_wc* record);
  // Whether the sensor holds a calibration: one read from the module that
  // passed the check, or one given by SetCalibration.
  bool HasCalibration() const { return has_calibration_; }
  // Pressure and Temperature from D1, D2 and the coefficients.
  void Compensate();
  // The same for given raw readings, leaving the sensor as it is.
  void Compensated(double d1, double d2, double* pressure, double* temperature) const;

  bool HasError() const { return Error; }
  // Whether the last sequence failed because the module did not answer (no
  // calibration could be read, or its first conversion failed), rather than
  // being refused by the acceptance.
  bool NoAnswer() const { return no_answer_; }
  int32_t GetD1() const { return D1; }
  int32_t GetD2() const { return D2; }

  // Truncated toward zero; saturates at the int32 limits, NaN gives 0.
  void SetSampleCount(double value);
  // As SetSampleCount; also makes the next unforced Measure run a sequence.
  void SetSequenceInterval(double value);
  int32_t GetSampleCount() const { return SampleCount; }
  int32_t GetSequenceInterval() const { return SequenceInterval; }

  // Coefficients in use by Compensate, index 1..6 (0 for any other index).
  double GetCoefficient(int index) const;

  // --- link level (Tserial_link) --------------------------------------------
  // One drive of the lines: clock and data (only bit 0 of each argument
  // counts), and the module's supply on when upper is 1, off for any other
  // value. On a parallel port: one byte to the data register.
  void WriteLines(int clock, int data, int upper);
  // The module's data line as 0 or 1.
  int ReadDataLine();
  // Clocks out the count low bits of value, least significant first: each bit
  // is set with the clock low and taken by the module on the rising edge; the
  // clock is left high. count 0 writes only the leading clock-low byte.
  void SendBits(int value, int count);
  // Clocks in 16 bits, most significant first, each sampled while the clock
  // is high; the clock is left low.
  int32_t ReadWord();
  // Waits for the end of a conversion (Tserial_link::WaitConversion); sets
  // the error flag when it does not come. Does nothing at all when the flag
  // is already set.
  void WaitConversion();
  void SleepMs(int ms);
  void SendReset();
  // Pressure and temperature conversions: command, acknowledge check, wait,
  // 16-bit read. Each clears the error flag once its command is sent.
  void ConvertD1();
  void ConvertD2();

 private:
  // The averages of one sampling sequence of n conversion pairs.
  struct Sequence {
    double pressure = 0;
    double temperature = 0;
    bool failed = false;      // a conversion failed: the error flag is set
    bool pairs_agree = true;  // the n pairs lie within their noise of each other
    // How far the values may lie from the truth by the module's noise alone
    // (the noise model above), the largest of the n pairs.
    double noise_pressure = 0;
    double noise_temperature = 0;
    bool tail_d1 = false;  // a D1 of the sequence has a floating tail
    bool tail_d2 = false;  // a D2 likewise
    int64_t ms = -1;       // when it ended; -1: no sequence
  };
  // An accepted sample (ms: when), or the mean of the recent ones.
  struct Reference {
    double pressure = 0;
    double temperature = 0;
    int64_t ms = 0;
  };

  // One conversion: command byte 0x2F (pressure) or 0x4F (temperature).
  int32_t Convert(int command);
  void TakeCoefficients();
  // The words of the record: the reset, then the four word reads (unpacked).
  void ReadWords(Tsensor_wc* record);
  // One calibration word, 0..3 for W1..W4: its command and a 16-bit read.
  int32_t ReadOneWord(int index);

  // --- acceptance (Tsensor.cpp, "Acceptance") ---
  Sequence RunSequence();
  // Before a sequence: makes sure the sensor holds a calibration and knows
  // the module's words (otherwise they are read first, and read again until
  // two readings agree for a module not seen before). False when it cannot.
  bool PrepareModule();
  // The mean of the accepted samples of the last kReferenceMs; false when
  // there is none.
  bool RecentReference(Reference* reference);
  // Whether a sequence cannot be accepted on its own: out of the module's
  // range, pairs apart, or a step from the recent accepted samples larger
  // than a lone sample may take (kStepShare of its noise).
  bool NeedsConfirmation(const Sequence& sequence);
  // Whether two sequences agree: both in range, pairs together, values
  // within their noise of each other (and what the atmosphere can change
  // between two sequences).
  bool Agree(const Sequence& first, const Sequence& second);
  // Whether two agreeing sequences may carry the same glitch: a floating
  // tail in the same raw word of both, and values away from the recent
  // accepted samples.
  bool SameGlitchPossible(const Sequence& first, const Sequence& second);
  // Whether a later sequence is confirmed by an earlier one of the last
  // kReferenceMs: they agree, cannot carry the same glitch, and the module
  // hands back one of its words.
  bool Confirms(const Sequence& earlier, const Sequence& later);
  // One calibration word read back (W1..W4 in turn) and compared with the
  // module's.
  bool NextWordStillTheModules();
  // Keeps a sequence that could be used but not accepted, to confirm a
  // later one.
  void KeepCandidate(const Sequence& sequence);
  // Shows the sequence's values, which become a reference.
  void Accept(const Sequence& sequence);
  // Two sequences that confirm each other: their mean.
  void AcceptPair(const Sequence& a, const Sequence& b);
  // A failed sample: error flag set, D1 = D2 = 0.
  void Refuse();
  void ForgetReferences();
  void TakeModuleCalibration(const Tsensor_wc& record);

  // The lines made for a port given as registers.
  std::unique_ptr<ModuleLines> own_lines_;
  Tserial_link link_;
  Clock& clock_;

  bool Error = false;
  int32_t D1 = 0;
  int32_t D2 = 0;
  Tsensor_wc Calibration;
  double C1 = 0, C2 = 0, C3 = 0, C4 = 0, C5 = 0, C6 = 0;
  int32_t SampleCount = 1;
  int32_t SequenceInterval = 1;
  int32_t TicksLeft = 0;

  // Whether the coefficients in use are a calibration, and whether the user
  // gave them (SetCalibration with a record other than the module's).
  bool has_calibration_ = false;
  bool no_answer_ = false;
  bool user_calibration_ = false;
  // The module's calibration as its last checked read gave it, and whether
  // it still stands (false: the next sequence reads the words first).
  Tsensor_wc module_record_;
  bool module_vouched_ = false;
  // The calibration word the next read-back asks for, 0..3.
  int next_word_check_ = 0;
  // The last accepted samples, oldest overwritten first: the reference of
  // the step check.
  static constexpr int kReferences = 4;
  Reference references_[kReferences];
  int reference_count_ = 0;
  int reference_next_ = 0;
  // The last sequence that could be used but not accepted (ms -1: none).
  Sequence candidate_;
};

// A double truncated toward zero into int32, saturating at the limits; NaN
// gives 0. Never undefined, whatever the value.
int32_t TruncateToInt32(double value);
