// The protocol over each backend of the module's lines, against the
// simulated module: a gpiochip through a model of its kernel calls, a USB
// adapter through a model of the library calls (one byte behind). No real
// chip or adapter is needed.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fakes/FakeFtdiChip.h"
#include "fakes/FakeGpioChip.h"
#include "platform/Clock.h"
#include "platform/FtdiLines.h"
#include "platform/GpioLines.h"
#include "platform/SimulatedModule.h"
#include "sensor/Tsensor.h"

namespace {

GpioWiring PiWiring(int power = -1) {
  GpioWiring wiring;
  wiring.chip = "/dev/gpiochip0";
  wiring.clock = 17;
  wiring.data_out = 27;
  wiring.data_in = 22;
  wiring.power = power;
  return wiring;
}

// Detection, then a sampling sequence at n = 4, on whatever lines: the
// module's own calibration and conditions come back.
void DetectAndSample(ModuleLines& lines, VirtualClock& clock, SimulatedModule& module) {
  module.SetFixedConditions(987.25, 18.5);
  Tsensor sensor(lines, clock);
  sensor.Reset();
  sensor.ReadCalibration();
  ASSERT_FALSE(sensor.HasError());
  Tsensor_wc record;
  sensor.GetCalibration(&record);
  EXPECT_EQ(record.W1, module.CalibrationWord(1));
  EXPECT_EQ(record.W4, module.CalibrationWord(4));
  sensor.SetSampleCount(4);
  for (int tick = 0; tick < 3; ++tick) {
    clock.AdvanceSeconds(1);
    ASSERT_TRUE(sensor.Measure(true));
    ASSERT_FALSE(sensor.HasError());
    EXPECT_NEAR(sensor.Pressure, 987.25, 0.1);
    EXPECT_NEAR(sensor.Temperature, 18.5, 0.02);
  }
  EXPECT_EQ(sensor.GetD2(), module.TemperatureReading(18.5));
}

}  // namespace

TEST(GpioPort, RunsTheProtocolAndLeavesTheLinesLowOnClose) {
  for (int power : {-1, 5}) {
    SCOPED_TRACE(power);
    VirtualClock clock;
    SimulatedModule module(clock);
    FakeGpioChip chip(module);
    std::string error;
    {
      auto lines = GpioLines::Open(PiWiring(power), chip, &error);
      ASSERT_NE(lines, nullptr) << error;
      // One request of every line, for "barometer", outputs starting low;
      // the chip itself is closed again.
      const gpio_v2_line_request& request = chip.last_request;
      EXPECT_STREQ(request.consumer, "barometer");
      EXPECT_EQ(request.num_lines, power < 0 ? 3u : 4u);
      EXPECT_EQ(request.offsets[0], 17u);
      EXPECT_EQ(request.offsets[2], 22u);
      EXPECT_EQ(chip.outputs, power < 0 ? 0x3u : 0xBu);
      EXPECT_EQ(chip.values, 0u);
      EXPECT_EQ(chip.open_fds, 1);
      EXPECT_NE(lines->Describe().find("GPIO /dev/gpiochip0"), std::string::npos);

      DetectAndSample(*lines, clock, module);
      // The sensor has gone: its last drive took the supply away.
      if (power >= 0) {
        EXPECT_FALSE(chip.Level(5));
      }
    }
    EXPECT_EQ(chip.values & chip.outputs, 0u);
    EXPECT_FALSE(chip.request_open);
    EXPECT_EQ(chip.open_fds, 0);
  }
}

TEST(GpioPort, RefusesLinesItCannotHaveAndOpensNothing) {
  VirtualClock clock;
  SimulatedModule module(clock);
  FakeGpioChip chip(module, "/dev/gpiochip0", 28);
  chip.Hold(27, "spi0");
  struct Case {
    GpioWiring wiring;
    std::string expected;
  };
  GpioWiring twice = PiWiring();
  twice.data_in = 17;
  GpioWiring beyond = PiWiring();
  beyond.data_in = 40;
  GpioWiring busy = PiWiring();
  GpioWiring elsewhere = PiWiring();
  elsewhere.chip = "/dev/gpiochip4";
  GpioWiring power_twice = PiWiring(22);
  for (const Case& c : {Case{twice, "Line 17 of /dev/gpiochip0 is given twice (clock and data in)"},
                        Case{beyond,
                             "Line 40 (data in) is beyond /dev/gpiochip0 (pinctrl-test, "
                             "28 lines)"},
                        Case{busy,
                             "Line 27 (data out) of /dev/gpiochip0 (pinctrl-test, 28 "
                             "lines) is in use by \"spi0\""},
                        Case{elsewhere, "/dev/gpiochip4 does not exist"},
                        Case{power_twice, "given twice (data in and power)"}}) {
    std::string error;
    EXPECT_EQ(GpioLines::Open(c.wiring, chip, &error), nullptr);
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    EXPECT_EQ(chip.open_fds, 0);
    EXPECT_FALSE(chip.request_open);
  }
  chip.DenyAccess(true);
  std::string error;
  EXPECT_EQ(GpioLines::Open(PiWiring(), chip, &error), nullptr);
  EXPECT_NE(error.find("plugdev"), std::string::npos) << error;
  EXPECT_NE(error.find("udev rule"), std::string::npos) << error;
}

TEST(FtdiPort, RunsTheProtocolOneByteBehindAndResetsTheChipOnClose) {
  for (int power : {-1, 3}) {
    SCOPED_TRACE(power);
    VirtualClock clock;
    SimulatedModule module(clock);
    FtdiWiring wiring;
    wiring.device = "i:0x0403:0x6001";
    wiring.clock = 0;
    wiring.data_out = 1;
    wiring.data_in = 2;
    wiring.power = power;
    FakeFtdiChip::State state;
    auto calls = std::make_unique<FakeFtdiChip>(module, wiring, state);
    // A USB round trip takes a millisecond.
    calls->on_round_trip = [&clock] { clock.AdvanceMs(1); };
    std::string error;
    {
      auto lines = FtdiLines::Open(wiring, std::move(calls), &error);
      ASSERT_NE(lines, nullptr) << error;
      EXPECT_EQ(state.opened, "i:0x0403:0x6001");
      EXPECT_EQ(state.latency_ms, 1);
      EXPECT_EQ(state.bitmode, 0x04);  // synchronous bit-bang
      EXPECT_EQ(state.output_mask, power < 0 ? 0x03 : 0x0B);
      EXPECT_EQ(state.pins, 0);
      DetectAndSample(*lines, clock, module);

      // One trip per command or word, and one per poll: a sequence of one
      // pair is four trips per conversion.
      Tsensor sensor(*lines, clock);
      sensor.ReadCalibration();
      sensor.SetSampleCount(1);
      sensor.Measure(true);
      clock.AdvanceSeconds(1);
      const int64_t before = lines->RoundTrips();
      sensor.Measure(true);
      ASSERT_FALSE(sensor.HasError());
      EXPECT_EQ(lines->RoundTrips() - before, 2 * 4);
    }
    EXPECT_EQ(state.pins, 0);
    EXPECT_EQ(state.bitmode, 0x00);  // back to the chip's normal mode
    EXPECT_TRUE(state.closed);
  }
}

TEST(FtdiPort, RefusesBadBitsAndMissingAdapters) {
  VirtualClock clock;
  SimulatedModule module(clock);
  struct Case {
    FtdiWiring wiring;
    std::string expected;
  };
  FtdiWiring twice;
  twice.data_in = 0;
  FtdiWiring beyond;
  beyond.power = 8;
  FtdiWiring other;
  other.device = "s:0x0403:0x6014:FT1234";
  for (const Case& c : {Case{twice, "Bit 0 of the adapter is given twice (clock and data in)"},
                        Case{beyond, "Bit 8 (power) is not one of the adapter's bits 0 to 7"},
                        Case{other, "No USB adapter s:0x0403:0x6014:FT1234 found"}}) {
    FakeFtdiChip::State state;
    std::string error;
    EXPECT_EQ(
        FtdiLines::Open(c.wiring, std::make_unique<FakeFtdiChip>(module, c.wiring, state), &error),
        nullptr);
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    EXPECT_FALSE(state.open);
  }
  std::string error;
  EXPECT_EQ(FtdiLines::Open(FtdiWiring(), nullptr, &error), nullptr);
  EXPECT_NE(error.find("built without"), std::string::npos);
  // The library's calls are there exactly when the program is built with it.
  EXPECT_EQ(FtdiAvailable(), BAROMETER_HAVE_FTDI != 0);
  EXPECT_EQ(NewFtdiCalls() != nullptr, BAROMETER_HAVE_FTDI != 0);
  if (!FtdiAvailable()) {
    EXPECT_TRUE(ListFtdiDevices().empty());
  }
}

// The adapter library is not linked: it is opened the first time an adapter
// is listed or opened. One that cannot be opened lists nothing and fails the
// opening with the loader's words.
TEST(FtdiPort, TheLibraryIsOpenedAtItsFirstUse) {
  if (!FtdiAvailable()) GTEST_SKIP() << "built without the adapter library";
  ASSERT_FALSE(FtdiLibraryOpened());
  std::unique_ptr<FtdiCalls> calls = NewFtdiCalls();
  EXPECT_FALSE(FtdiLibraryOpened()) << "not by making the calls";

  UseFtdiLibraryFile("libftdi1-absent.so.2");
  EXPECT_TRUE(ListFtdiDevices().empty());
  std::string error;
  FtdiWiring wiring;
  EXPECT_EQ(FtdiLines::Open(wiring, std::move(calls), &error), nullptr);
  EXPECT_NE(error.find("USB adapter " + wiring.device +
                       ": the adapter library could not be opened: libftdi1-absent.so.2"),
            std::string::npos)
      << error;
  EXPECT_FALSE(FtdiLibraryOpened());

  UseFtdiLibraryFile(kFtdiLibraryFile);
  ListFtdiDevices();  // none here, or those plugged in
  EXPECT_TRUE(FtdiLibraryOpened());
}
