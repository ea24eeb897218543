#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/Clock.h"
#include "platform/FloatingPort.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "sensor/Tsensor.h"
#include "support_ports.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

Tsensor_wc FactoryRecord() {
  Tsensor_wc r;
  r.W1 = 0xB5A7;
  r.W2 = 0x9C4D;
  r.W3 = 0x62F1;
  r.W4 = 0xA7B3;
  r.WordsToCoefficients();
  return r;
}

int CommandCount(const RecordingPort& port, const std::string& command) {
  const std::string bits = ClockedBits(port.Writes());
  int n = 0;
  for (size_t at = bits.find(command); at != std::string::npos; at = bits.find(command, at + 1))
    ++n;
  return n;
}
const std::string kPressureCommand = "11110100000";
const std::string kTemperatureCommand = "11110010000";

// A sensor on a fast simulated module (conversions end at the first poll).
struct OnModule : ::testing::Test {
  OnModule() : module(clock), module_port(module), port(&module_port), sensor(port, clock) {
    module.SetConversionTimeMs(0);
    module.SetFixedConditions(1013.25, 20.0);
  }
  VirtualClock clock;
  SimulatedModule module;
  SimulatedModulePort module_port;
  RecordingPort port;
  Tsensor sensor;
};

}  // namespace

TEST(SensorDriver, CompensatesTheWorkedExample) {
  VirtualClock clock;
  RecordingPort port;
  Tsensor sensor(port, clock);
  const Tsensor_wc record = FactoryRecord();
  sensor.SetCalibration(&record);
  port.QueueConversion(19900);
  sensor.ConvertD1();
  port.QueueConversion(33736);
  sensor.ConvertD2();
  sensor.Compensate();
  EXPECT_NEAR(sensor.Pressure, 1018.4434, 0.00005);
  EXPECT_DOUBLE_EQ(sensor.Temperature, 21.96875);
}

TEST(SensorDriver, TruncationSaturatesAndNeverMisbehaves) {
  VirtualClock clock;
  RecordingPort port;
  Tsensor sensor(port, clock);
  struct Case {
    double in;
    int32_t out;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const Case& c :
       {Case{2.9, 2}, Case{-0.5, 0}, Case{-2.9, -2}, Case{nan, 0}, Case{1e300, kMax},
        Case{-1e300, kMin}, Case{inf, kMax}, Case{-inf, kMin}, Case{2147483647.9, kMax},
        Case{2147483648.0, kMax}, Case{-2147483648.9, kMin}, Case{-2147483649.0, kMin}}) {
    sensor.SetSampleCount(c.in);
    EXPECT_EQ(sensor.GetSampleCount(), c.out) << c.in;
    sensor.SetSequenceInterval(c.in);
    EXPECT_EQ(sensor.GetSequenceInterval(), c.out) << c.in;
  }
}

TEST_F(OnModule, SequenceIntervalCountsTicks) {
  sensor.SetSequenceInterval(5);
  std::vector<int> ran;
  for (int call = 1; call <= 16; ++call)
    if (sensor.Measure(false)) ran.push_back(call);
  EXPECT_EQ(ran, (std::vector<int>{1, 6, 11, 16}));

  // A forced call always runs and restarts the countdown from ts.
  EXPECT_FALSE(sensor.Measure(false));
  EXPECT_TRUE(sensor.Measure(true));
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(sensor.Measure(false));
  EXPECT_TRUE(sensor.Measure(false));
}

TEST_F(OnModule, FirstUnforcedCallAfterResetRunsAndIntervalsBelowOneRunEveryCall) {
  sensor.SetSequenceInterval(7);
  sensor.Reset();
  EXPECT_TRUE(sensor.Measure(false));
  EXPECT_EQ(sensor.GetSequenceInterval(), 1);
  EXPECT_TRUE(sensor.Measure(false));

  sensor.SetSampleCount(0);
  for (double ts : {0.0, -3.0, -1e300}) {
    sensor.SetSequenceInterval(ts);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(sensor.Measure(false)) << ts;
  }
}

TEST_F(OnModule, NoSamplesMeansNoTrafficAndZeroValues) {
  const Tsensor_wc record = FactoryRecord();
  sensor.SetCalibration(&record);
  ASSERT_TRUE(sensor.Measure(true));
  ASSERT_GT(sensor.Pressure, 1000);
  sensor.SetSampleCount(0);
  port.log.clear();
  EXPECT_TRUE(sensor.Measure(true));
  EXPECT_TRUE(port.log.empty());
  EXPECT_EQ(sensor.Pressure, 0);
  EXPECT_EQ(sensor.Temperature, 0);
  EXPECT_FALSE(sensor.HasError());
}

TEST_F(OnModule, AveragesTheSamplesOfASequence) {
  const Tsensor_wc record = FactoryRecord();
  sensor.SetCalibration(&record);
  sensor.SetSampleCount(4);
  ASSERT_TRUE(sensor.Measure(true));  // the first sample is confirmed by a second sequence
  port.log.clear();
  ASSERT_TRUE(sensor.Measure(true));
  EXPECT_EQ(CommandCount(port, kPressureCommand), 4);
  EXPECT_EQ(CommandCount(port, kTemperatureCommand), 4);
  EXPECT_NEAR(sensor.Pressure, 1013.25, 0.1);
  EXPECT_NEAR(sensor.Temperature, 20.0, 0.02);
}

TEST_F(OnModule, AModuleLostInTheSecondPassEndsTheSequence) {
  const Tsensor_wc record = FactoryRecord();
  sensor.SetCalibration(&record);
  sensor.SetSampleCount(3);
  module.SetDisappearAfterConversions(2);  // the first pair only
  port.log.clear();
  ASSERT_TRUE(sensor.Measure(true));
  EXPECT_TRUE(sensor.HasError());
  EXPECT_EQ(sensor.GetD1(), 0);
  EXPECT_EQ(sensor.GetD2(), 0);
  EXPECT_EQ(CommandCount(port, kPressureCommand), 2);
  EXPECT_EQ(CommandCount(port, kTemperatureCommand), 2);
  // The failed pass counts in the average: (good + failed) / 2, where the
  // failed pass is what the zero readings compensate to.
  const double average = sensor.Pressure;
  const double average_t = sensor.Temperature;
  sensor.Compensate();
  EXPECT_NEAR(2 * average - sensor.Pressure, 1013.25, 0.1);
  EXPECT_NEAR(2 * average_t - sensor.Temperature, 20.0, 0.02);
}

TEST(SensorDriver, AFailedPressureConversionFailsItsPass) {
  VirtualClock clock;
  RecordingPort port;
  Tsensor sensor(port, clock);
  const Tsensor_wc record = FactoryRecord();
  sensor.SetCalibration(&record);
  sensor.SetSampleCount(3);
  // Before its first sequence the sensor reads the module's words until two
  // readings agree.
  for (int reading = 0; reading < 2; ++reading)
    for (int32_t word : {record.W1, record.W2, record.W3, record.W4})
      port.QueueWord(static_cast<uint16_t>(word));
  port.lines.push_back(0);       // pressure: no acknowledge
  port.QueueConversion(33736);   // temperature: fine
  for (int i = 0; i < 2; ++i) {  // what later passes would read
    port.QueueConversion(19900);
    port.QueueConversion(33736);
  }
  ASSERT_TRUE(sensor.Measure(true));
  EXPECT_TRUE(sensor.HasError());
  EXPECT_EQ(sensor.GetD1(), 0);
  EXPECT_EQ(sensor.GetD2(), 0);  // a failed sample shows no raw value
  EXPECT_EQ(CommandCount(port, kPressureCommand), 1);
  EXPECT_EQ(CommandCount(port, kTemperatureCommand), 1);
  EXPECT_DOUBLE_EQ(sensor.Temperature, 21.96875);  // the pass still counts
}

TEST(SensorDriver, CalibrationTransfersAndReset) {
  VirtualClock clock;
  RecordingPort port;
  Tsensor sensor(port, clock);

  // Coefficients are taken as they stand, not re-derived from the words.
  Tsensor_wc odd = FactoryRecord();
  odd.C1 = 100;
  odd.C6 = 7;
  sensor.SetCalibration(&odd);
  EXPECT_EQ(sensor.GetCoefficient(1), 100);
  EXPECT_EQ(sensor.GetCoefficient(6), 7);
  EXPECT_EQ(sensor.GetCoefficient(5), 1649);

  // Get then Set with the same record changes nothing.
  Tsensor_wc copy;
  sensor.GetCalibration(&copy);
  EXPECT_EQ(copy, odd);
  sensor.SetCalibration(&copy);
  Tsensor_wc again;
  sensor.GetCalibration(&again);
  EXPECT_EQ(again, odd);
  EXPECT_EQ(sensor.GetCoefficient(1), 100);
  sensor.GetCalibration(nullptr);  // ignored

  // Reset zeroes the coefficients in use, keeps the record and the last
  // values, and puts 0xFC on the port.
  sensor.Pressure = 999;
  sensor.Temperature = 9;
  sensor.SetSampleCount(4);
  sensor.SetSequenceInterval(9);
  port.log.clear();
  sensor.Reset();
  EXPECT_EQ(port.Writes(), std::vector<uint8_t>{0xFC});
  EXPECT_EQ(sensor.GetCoefficient(1), 0);
  EXPECT_EQ(sensor.GetSampleCount(), 1);
  EXPECT_EQ(sensor.GetSequenceInterval(), 1);
  EXPECT_EQ(sensor.Pressure, 999);
  EXPECT_EQ(sensor.Temperature, 9);
  sensor.GetCalibration(&again);
  EXPECT_EQ(again, odd);

  // Without a record, SetCalibration refreshes the coefficients from the own one.
  sensor.SetCalibration(nullptr);
  EXPECT_EQ(sensor.GetCoefficient(1), 100);
  EXPECT_EQ(sensor.GetCoefficient(0), 0);
}

TEST(SensorDriver, CalibrationReadWithoutModuleHoldsNoneAndEverySampleFails) {
  VirtualClock clock;
  FloatingPort port;  // no port at all: every line reads high
  Tsensor sensor(port, clock);
  sensor.ReadCalibration();
  EXPECT_TRUE(sensor.HasError());
  EXPECT_FALSE(sensor.HasCalibration());
  EXPECT_EQ(sensor.GetD1(), 0);
  Tsensor_wc record;
  sensor.GetCalibration(&record);
  EXPECT_TRUE(record.IsCleared());
  EXPECT_EQ(sensor.GetCoefficient(1), 0);
  EXPECT_EQ(clock.SleptMs(), 0);  // words of all ones: no probe
  // Each sequence first looks for a calibration, and fails without polling.
  EXPECT_TRUE(sensor.Measure(false));
  EXPECT_TRUE(sensor.HasError());
  EXPECT_EQ(clock.SleptMs(), 0);
}
