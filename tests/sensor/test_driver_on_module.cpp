#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "sensor/Tsensor.h"
#include "support_ports.h"

namespace {

// The driver reading a simulated module on virtual time, its traffic taped.
struct Bench {
  explicit Bench(uint32_t seed = 1)
      : module(clock, seed), module_port(module), port(&module_port), sensor(port, clock) {}
  void Calibrate() {
    sensor.Reset();
    sensor.ReadCalibration();
  }
  VirtualClock clock;
  SimulatedModule module;
  SimulatedModulePort module_port;
  RecordingPort port;
  Tsensor sensor;
};

}  // namespace

TEST(DriverOnModule, CalibrationReadGivesTheModulesWords) {
  Bench b;
  b.Calibrate();
  EXPECT_FALSE(b.sensor.HasError());
  EXPECT_GT(b.sensor.GetD1(), 0);
  Tsensor_wc record;
  b.sensor.GetCalibration(&record);
  EXPECT_EQ(record.W1, 0xB5A7);
  EXPECT_EQ(record.W2, 0x9C4D);
  EXPECT_EQ(record.W3, 0x62F1);
  EXPECT_EQ(record.W4, 0xA7B3);
  EXPECT_EQ(record.C1, 23251);
  EXPECT_EQ(b.sensor.GetCoefficient(5), 1649);

  // Words no module has (a word of all ones, coefficients at the ends of
  // their fields) are refused: the sensor then holds no calibration and
  // makes no probe.
  b.module.SetCalibrationWords(0x0001, 0xFFFF, 0x8000, 0x7FFE);
  const int conversions = b.module.ConversionCount();
  b.Calibrate();
  EXPECT_TRUE(b.sensor.HasError());
  EXPECT_FALSE(b.sensor.HasCalibration());
  EXPECT_EQ(b.module.ConversionCount(), conversions);
  b.sensor.GetCalibration(&record);
  EXPECT_TRUE(record.IsCleared());
}

TEST(DriverOnModule, ReadsBackTheModulesConditionsAcrossTheRange) {
  // Two calibrations, so that a coefficient taken for another shows up.
  const Tsensor_wc other = OtherCalibration();
  for (int calibration = 0; calibration < 2; ++calibration) {
    Bench b;
    if (calibration == 1) {
      b.module.SetCalibrationWords(other.W1, other.W2, other.W3, other.W4);
    }
    b.Calibrate();
    ASSERT_FALSE(b.sensor.HasError());
    // Inside the module's range: a reading just below 300 mbar is refused.
    for (double p = 325; p <= 1075; p += 50) {
      for (double t = -20; t <= 50; t += 7.5) {
        b.module.SetFixedConditions(p, t);
        ASSERT_TRUE(b.sensor.Measure(true));
        ASSERT_FALSE(b.sensor.HasError());
        EXPECT_NEAR(b.sensor.Pressure, p, 0.1) << "calibration " << calibration << " t " << t;
        EXPECT_NEAR(b.sensor.Temperature, t, 0.02) << "calibration " << calibration << " p " << p;
      }
    }
  }
}

TEST(DriverOnModule, FollowsTheTimeVaryingAtmosphere) {
  Bench b(7);
  b.Calibrate();
  b.sensor.SetSampleCount(4);
  for (int hour = 0; hour < 48; hour += 5) {
    b.clock.AdvanceSeconds(5 * 3600);
    const double t = static_cast<double>(b.clock.Now());
    ASSERT_TRUE(b.sensor.Measure(true));
    EXPECT_FALSE(b.sensor.HasError());
    // Noise and rounding only.
    EXPECT_NEAR(b.sensor.Pressure, b.module.LocalPressureAt(t), 0.15);
    EXPECT_NEAR(b.sensor.Temperature, b.module.TemperatureAt(t), 0.04);
  }
}

TEST(DriverOnModule, TheWaitEndsWhenTheConversionDoes) {
  // A module whose conversions take 31, 35 or 149 ms, or never end. The
  // wait sleeps the conversion time, then polls at the short interval; it
  // never sleeps once the end is seen, and gives up at the limit.
  struct Case {
    int conversion_ms;  // < 0: never ends
    int slept_ms;
    bool good;
  };
  const int limit = Tserial_link::kWaitLimitMs;
  for (const Case& c : {Case{31, 35, true}, Case{35, 35, true}, Case{149, 149, true},
                        Case{150, 150, true}, Case{-1, limit, false}}) {
    SCOPED_TRACE(c.conversion_ms);
    Bench b;
    b.module.SetFixedConditions(1000, 20);
    b.Calibrate();
    if (c.conversion_ms >= 0) {
      b.module.SetConversionTimeMs(c.conversion_ms);
    } else {
      b.module.SetEndOfConversionAfterPolls(-1);
    }
    b.clock.ResetSleepStats();
    b.port.log.clear();
    b.sensor.ConvertD2();
    EXPECT_EQ(b.sensor.HasError(), !c.good);
    EXPECT_EQ(b.clock.SleptMs(), c.slept_ms);
    const int polls = 1 + (c.slept_ms - Tserial_link::kConversionMs);
    EXPECT_EQ(b.clock.SleepCount(), polls);
    EXPECT_EQ(b.port.Reads(), 1 + polls + (c.good ? 16 : 0));
    if (c.good) {
      EXPECT_EQ(b.sensor.GetD2(), b.module.TemperatureReading(20));
    } else {
      EXPECT_EQ(b.sensor.GetD2(), 0);
    }
  }
}

TEST(DriverOnModule, ASequenceSleepsOnlyTheConversionTimes) {
  Bench b;
  b.Calibrate();
  b.sensor.SetSampleCount(2);
  b.module.SetFixedConditions(1000, 20);
  ASSERT_TRUE(b.sensor.Measure(true));  // the first sample is confirmed by a second sequence
  b.clock.ResetSleepStats();
  ASSERT_TRUE(b.sensor.Measure(true));
  // Four conversions of 35 ms: one sleep each.
  EXPECT_EQ(b.clock.SleepCount(), 4);
  EXPECT_EQ(b.clock.SleptMs(), 4 * 35);
}

TEST(DriverOnModule, UnpluggedModuleFailsAtTheWaitLimit) {
  Bench b;
  b.Calibrate();
  b.module.SetUnplugged(true);
  b.clock.ResetSleepStats();
  b.port.log.clear();
  b.sensor.ConvertD1();
  EXPECT_TRUE(b.sensor.HasError());
  EXPECT_EQ(b.sensor.GetD1(), 0);
  EXPECT_EQ(b.clock.SleptMs(), Tserial_link::kWaitLimitMs);
  // The acknowledge (floating high) and the polls.
  EXPECT_EQ(b.port.Reads(), 1 + b.clock.SleepCount());

  b.clock.ResetSleepStats();
  EXPECT_TRUE(b.sensor.Measure(true));
  EXPECT_TRUE(b.sensor.HasError());
  EXPECT_EQ(b.clock.SleptMs(), 300);

  // Plugged in again, it answers at once.
  b.module.SetUnplugged(false);
  EXPECT_TRUE(b.sensor.Measure(true));
  EXPECT_FALSE(b.sensor.HasError());
}

TEST(DriverOnModule, ModuleFaults) {
  Bench b;
  b.Calibrate();

  b.module.SetNoAcknowledge(true);
  b.clock.ResetSleepStats();
  b.sensor.ConvertD2();
  EXPECT_TRUE(b.sensor.HasError());
  EXPECT_EQ(b.sensor.GetD2(), 0);
  EXPECT_EQ(b.clock.SleepCount(), 0);
  b.module.SetNoAcknowledge(false);

  // The end seen at the last poll of the wait, or one later.
  const int last_poll = 1 + (Tserial_link::kWaitLimitMs - Tserial_link::kConversionMs) /
                                Tserial_link::kPollIntervalMs;
  b.module.SetEndOfConversionAfterPolls(last_poll);
  b.sensor.ConvertD2();
  EXPECT_FALSE(b.sensor.HasError());
  EXPECT_GT(b.sensor.GetD2(), 0);
  b.module.SetEndOfConversionAfterPolls(last_poll + 1);
  b.sensor.ConvertD2();
  EXPECT_TRUE(b.sensor.HasError());

  // A conversion that never ends; the driver gives up and the next command
  // finds the module listening again, without a reset.
  b.module.SetEndOfConversionAfterPolls(-1);
  b.sensor.ConvertD1();
  EXPECT_TRUE(b.sensor.HasError());
  b.module.SetEndOfConversionAfterPolls(0);
  b.module.SetFixedConditions(900, 10);
  EXPECT_TRUE(b.sensor.Measure(true));
  EXPECT_FALSE(b.sensor.HasError());
  EXPECT_NEAR(b.sensor.Pressure, 900, 0.1);
}

TEST(DriverOnModule, DetectionAfterTheModuleWentAway) {
  Bench b;
  b.module.SetDisappearAfterConversions(1);
  b.Calibrate();  // its probe is the one conversion
  EXPECT_FALSE(b.sensor.HasError());
  EXPECT_TRUE(b.sensor.Measure(true));
  EXPECT_TRUE(b.sensor.HasError());
  b.Calibrate();
  EXPECT_TRUE(b.sensor.HasError());
  EXPECT_EQ(b.module.ConversionCount(), 1);
}

TEST(DriverOnModule, EveryByteWhileTheSensorLivesHoldsTheUpperLines) {
  VirtualClock clock;
  SimulatedModule module(clock);
  SimulatedModulePort module_port(module);
  RecordingPort port(&module_port);
  {
    Tsensor sensor(port, clock);
    sensor.ReadCalibration();
    sensor.SetSampleCount(3);
    sensor.Measure(false);
    module.SetUnplugged(true);
    sensor.Measure(true);
    EXPECT_TRUE(sensor.HasError());
  }
  const std::vector<uint8_t> writes = port.Writes();
  ASSERT_GT(writes.size(), 500u);
  for (size_t i = 0; i + 1 < writes.size(); ++i) ASSERT_EQ(writes[i] & 0xFC, 0xFC) << i;
  EXPECT_EQ(writes.back(), 0x00);
  // With its supply lines down, the module no longer drives anything.
  module.SetUnplugged(false);
  EXPECT_EQ(module.ReadStatus(), 0xFF);
}
