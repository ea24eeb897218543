#pragma once

#include <cstdint>

#include "platform/Clock.h"
#include "platform/PortIo.h"
#include "sensor/Tsensor_wc.h"

// Driver of the pressure-and-temperature module on LPT1. Talks to it bit by
// bit through the port's data register (bit 0 clock, bit 1 data to the
// module, bits 2..7 held together) and status bit 5 (data from the module),
// reads its calibration, runs sampling sequences of n conversion pairs every
// ts ticks and compensates the raw readings. Failures are reported only
// through the error flag; the raw value of a failed conversion is 0.
class Tsensor {
 public:
  // Creates the calibration record (all zero) and performs Reset, whose one
  // port write puts 0xFC on the data register.
  Tsensor(PortIo& port, Clock& clock);
  // Drops every data line, the upper ones included: the register holds 0x00.
  ~Tsensor();

  Tsensor(const Tsensor&) = delete;
  Tsensor& operator=(const Tsensor&) = delete;

  // Compensated values of the last sampling sequence: mbar and degrees C.
  double Pressure = 0;
  double Temperature = 0;

  // Back to the constructed settings (n = 1, ts = 1, coefficients zero, no
  // error, D1 = D2 = 0); keeps Pressure, Temperature and the record.
  void Reset();
  // One tick of the sampling countdown: runs a sampling sequence when one is
  // due or when forced, and then returns true.
  bool Measure(bool force);
  // Reads the calibration words from the module into the own record and
  // takes its coefficients; the error flag and D1 afterwards are those of the
  // probe conversion, which tells whether a module answered.
  void ReadCalibration();
  void GetCalibration(Tsensor_wc* record) const;
  // Copies the record in (when given) and takes the own record's coefficients
  // as they stand; the words are not converted again.
  void SetCalibration(const Tsensor_wc* record);
  // Reset of the module's interface, the four word reads, the unpacking and
  // one pressure conversion as a probe. Null record: nothing happens.
  void ReadCalibrationWords(Tsensor_wc* record);
  // Pressure and Temperature from D1, D2 and the coefficients.
  void Compensate();

  bool HasError() const { return Error; }
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

  // --- link level ---------------------------------------------------------
  // One byte to the data register: clock in bit 0, data in bit 1 (only bit 0
  // of each argument counts), and the six upper lines all on when upper is 1,
  // all off for any other value.
  void WriteLines(int clock, int data, int upper);
  // The module's data line (status bit 5) as 0 or 1.
  int ReadDataLine();
  // Clocks out the count low bits of value, least significant first: each bit
  // is set with the clock low and taken by the module on the rising edge; the
  // clock is left high. count 0 writes only the leading clock-low byte.
  void SendBits(int value, int count);
  // Clocks in 16 bits, most significant first, each sampled while the clock
  // is high; the clock is left low.
  int32_t ReadWord();
  // Polls for the end of a conversion: at most 30 polls, each followed by a
  // 5 ms sleep; the 30th poll always gives up with the error flag set. Does
  // nothing at all when the flag is already set.
  void WaitConversion();
  void SleepMs(int ms);
  void SendReset();
  // Pressure and temperature conversions: command, acknowledge check, wait,
  // 16-bit read. Each clears the error flag once its command is sent.
  void ConvertD1();
  void ConvertD2();

  static constexpr int kMaxPolls = 30;
  static constexpr int kPollSleepMs = 5;

 private:
  // One conversion: command byte 0x2F (pressure) or 0x4F (temperature).
  int32_t Convert(int command);
  void TakeCoefficients();

  PortIo& port_;
  Clock& clock_;

  bool Error = false;
  int32_t D1 = 0;
  int32_t D2 = 0;
  Tsensor_wc Calibration;
  double C1 = 0, C2 = 0, C3 = 0, C4 = 0, C5 = 0, C6 = 0;
  int32_t SampleCount = 1;
  int32_t SequenceInterval = 1;
  int32_t TicksLeft = 0;
};

// A double truncated toward zero into int32, saturating at the limits; NaN
// gives 0. Never undefined, whatever the value.
int32_t TruncateToInt32(double value);
