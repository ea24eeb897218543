// The driver behind a loose cable (platform/UnpluggingPort.h): whatever the
// plug does, an accepted sample is the module's reading.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "platform/UnpluggingPort.h"
#include "sensor/Tsensor.h"
#include "support_ports.h"

namespace {

struct Cable {
  Cable() : module(clock, 3), module_port(module), port(module, module_port), sensor(port, clock) {}
  VirtualClock clock;
  SimulatedModule module;
  SimulatedModulePort module_port;
  UnpluggingPort port;
  Tsensor sensor;
};

}  // namespace

TEST(GlitchProof, LongAndShortUnplugEventsNeverGiveAWrongSample) {
  for (int max_length : {400, 3000}) {
    SCOPED_TRACE(max_length);
    Cable c;
    c.sensor.ReadCalibration();
    c.port.Random(static_cast<uint64_t>(max_length), 1, 2000, max_length, 2000);
    int ticks = 0, accepted = 0;
    while (c.port.RandomEventsLeft() > 0) {
      c.clock.AdvanceSeconds(1);
      ASSERT_TRUE(c.sensor.Measure(false));
      ++ticks;
      if (c.sensor.HasError()) continue;
      ++accepted;
      const double t = static_cast<double>(c.clock.Now());
      ASSERT_NEAR(c.sensor.Pressure, c.module.LocalPressureAt(t), 0.3) << ticks;
      ASSERT_NEAR(c.sensor.Temperature, c.module.TemperatureAt(t), 0.1) << ticks;
    }
    EXPECT_GT(accepted, ticks / (max_length == 400 ? 2 : 5));
  }
}

TEST(GlitchProof, AModulePluggedInLaterIsTakenOnAndAnotherOneReplacesIt) {
  Cable c;
  c.module.SetUnplugged(true);
  c.sensor.ReadCalibration();
  EXPECT_FALSE(c.sensor.HasCalibration());
  c.module.SetFixedConditions(990, 15);
  EXPECT_TRUE(c.sensor.Measure(true));
  EXPECT_TRUE(c.sensor.HasError());
  c.module.SetUnplugged(false);
  EXPECT_TRUE(c.sensor.Measure(true));
  EXPECT_FALSE(c.sensor.HasError());
  EXPECT_NEAR(c.sensor.Pressure, 990, 0.1);

  // Another module on the same port: its own calibration is read and used.
  const Tsensor_wc other = OtherCalibration();
  c.module.SetCalibrationWords(other.W1, other.W2, other.W3, other.W4);
  c.module.SetFixedConditions(995, 18);
  for (int i = 0; i < 3 && c.sensor.GetCoefficient(1) != 26000; ++i) c.sensor.Measure(true);
  EXPECT_EQ(c.sensor.GetCoefficient(1), 26000);
  EXPECT_TRUE(c.sensor.Measure(true));
  EXPECT_FALSE(c.sensor.HasError());
  EXPECT_NEAR(c.sensor.Pressure, 995, 0.1);

  // A calibration the user gives stays, whatever module answers.
  Tsensor_wc mine = other;
  mine.C1 = 25000;
  mine.CoefficientsToWords();
  c.sensor.SetCalibration(&mine);
  c.module.SetCalibrationWords(0xB5A7, 0x9C4D, 0x62F1, 0xA7B3);
  for (int i = 0; i < 4; ++i) c.sensor.Measure(true);
  EXPECT_EQ(c.sensor.GetCoefficient(1), 25000);
}
