#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/Clock.h"
#include "platform/FloatingPort.h"
#include "platform/HardwarePort.h"
#include "platform/PpdevPort.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"

namespace {

constexpr double kHour = 3600;
constexpr double kDay = 86400;

// Drives the module's lines by hand, as a minimal master would.
struct Wires {
  explicit Wires(SimulatedModule& m) : module(m) { module.WriteData(0xFC); }
  void Clock(const std::string& bits) {
    for (char c : bits) {
      const uint8_t d = c == '1' ? 0x02 : 0x00;
      module.WriteData(0xFC | d);
      module.WriteData(0xFD | d);
    }
    module.WriteData(0xFC);
  }
  int Line() { return (module.ReadStatus() & 0x20) ? 1 : 0; }
  int Word() {
    int w = 0;
    for (int i = 0; i < 16; ++i) {
      module.WriteData(0xFD);
      w = (w << 1) | Line();
      module.WriteData(0xFC);
    }
    return w;
  }
  SimulatedModule& module;
};

const std::string kReset = "101010101010101000000";
const std::string kReadW1 = "1110101010000";
const std::string kReadW2 = "1110101100000";
const std::string kReadW4 = "1110110100000";
const std::string kConvertD2 = "11110010000";

}  // namespace

TEST(SimulatedModule, AnswersWordsAndConversionsAtTheLineLevel) {
  VirtualClock clock;
  SimulatedModule module(clock);
  module.SetFixedConditions(1000, 20);
  Wires w(module);
  w.Clock(kReadW4);
  EXPECT_EQ(w.Word(), 0xA7B3);
  w.Clock(kReadW1);
  EXPECT_EQ(w.Word(), 0xB5A7);

  w.Clock(kConvertD2);
  EXPECT_EQ(w.Line(), 1);  // acknowledge
  w.Clock("0");            // starts the conversion
  EXPECT_EQ(w.Line(), 1);
  clock.AdvanceMs(34);
  EXPECT_EQ(w.Line(), 1);
  clock.AdvanceMs(1);
  EXPECT_EQ(w.Line(), 0);  // 35 ms: done
  EXPECT_EQ(w.Word(), module.TemperatureReading(20));
  EXPECT_EQ(module.ConversionCount(), 1);
}

TEST(SimulatedModule, ResetSequenceRecoversFromAnyState) {
  VirtualClock clock;
  SimulatedModule module(clock);
  Wires w(module);
  // Garbage, half a word read, then the reset: the next read is clean.
  w.Clock("0110");
  w.Clock(kReadW1);
  for (int i = 0; i < 5; ++i) {
    module.WriteData(0xFD);
    module.WriteData(0xFC);
  }
  w.Clock(kReset);
  w.Clock(kReadW2);
  EXPECT_EQ(w.Word(), 0x9C4D);
  // Leading zeros and stray bits before a command are passed over.
  w.Clock("000101");
  w.Clock(kReadW2);
  EXPECT_EQ(w.Word(), 0x9C4D);
}

TEST(SimulatedModule, NeedsAllUpperLinesForPower) {
  VirtualClock clock;
  SimulatedModule module(clock);
  EXPECT_EQ(module.ReadStatus(), 0xFF);  // never powered: floating
  module.WriteData(0xFC);
  EXPECT_EQ(module.ReadStatus() & 0x20, 0);
  // Clocking a command with one supply line missing does nothing.
  for (char c : kConvertD2) {
    const uint8_t d = c == '1' ? 0x02 : 0x00;
    module.WriteData(0x7C | d);
    module.WriteData(0x7D | d);
  }
  EXPECT_EQ(module.ReadStatus(), 0xFF);
  Wires w(module);
  w.Clock(kConvertD2);
  EXPECT_EQ(w.Line(), 1);
}

TEST(SimulatedModule, InversionHitsTheNearestReading) {
  VirtualClock clock;
  SimulatedModule module(clock);
  // The factory calibration: 20 degrees is the reference reading 8*C5+20224.
  EXPECT_EQ(module.TemperatureReading(20), 8 * 1649 + 20224);
  // Out of range and NaN conditions pin to the ends instead of wrapping.
  EXPECT_EQ(module.TemperatureReading(1e9), 65535);
  EXPECT_EQ(module.TemperatureReading(-1e9), 0);
  EXPECT_EQ(module.PressureReading(std::nan(""), 20), 0);
  EXPECT_EQ(module.PressureReading(1e9, 20), 65535);
  // A calibration with no sensitivity cannot measure; it must not misbehave.
  module.SetCalibrationWords(0, 0, 0, 0);
  EXPECT_GE(module.PressureReading(1000, 20), 0);
  EXPECT_LE(module.PressureReading(1000, -1e6), 65535);
}

TEST(SimulatedModule, AtmosphereHasFrontsDailyCycleAndIsSeeded) {
  VirtualClock clock;
  SimulatedModule a(clock, 1), b(clock, 1), c(clock, 2);
  const double start = 1700000000;
  double lo = 1e9, hi = -1e9, fastest = 0, warmest = -1e9, coldest = 1e9;
  int steady_hours = 0;
  for (double t = start; t < start + 14 * kDay; t += kHour) {
    const double p = a.SeaLevelPressureAt(t);
    ASSERT_EQ(p, b.SeaLevelPressureAt(t));
    lo = std::min(lo, p);
    hi = std::max(hi, p);
    const double rate = std::fabs(a.SeaLevelPressureAt(t + kHour) - p);
    fastest = std::max(fastest, rate);
    if (rate < 0.5) ++steady_hours;
    warmest = std::max(warmest, a.TemperatureAt(t));
    coldest = std::min(coldest, a.TemperatureAt(t));
  }
  EXPECT_GT(hi - lo, 20);  // crosses the weather classes
  EXPECT_GT(lo, 980);
  EXPECT_LT(hi, 1045);
  EXPECT_GT(fastest, 1.0);      // quick trends happen
  EXPECT_GT(steady_hours, 24);  // and so do steady hours
  EXPECT_GT(warmest - coldest, 12);
  EXPECT_GT(coldest, -5);
  EXPECT_LT(warmest, 35);
  EXPECT_NE(a.SeaLevelPressureAt(start), c.SeaLevelPressureAt(start));
  // Mid-afternoon is warmer than the small hours (UTC day).
  const double midnight = std::floor(start / kDay) * kDay;
  EXPECT_GT(a.TemperatureAt(midnight + 15 * kHour), a.TemperatureAt(midnight + 3 * kHour) + 10);
  // The site lies at 250 m: about 29.6 mbar below sea level.
  EXPECT_NEAR(a.SeaLevelPressureAt(start) - a.LocalPressureAt(start), 29.6, 1.0);

  // Now-values follow the clock (the noise is the conversions').
  clock.SetNow(static_cast<std::time_t>(start));
  EXPECT_DOUBLE_EQ(a.PressureNow(), a.LocalPressureAt(start));
  EXPECT_DOUBLE_EQ(a.TemperatureNow(), a.TemperatureAt(start));
  a.SetFixedConditions(555.5, -5.5);
  EXPECT_EQ(a.PressureNow(), 555.5);
  EXPECT_EQ(a.TemperatureNow(), -5.5);
  a.ClearFixedConditions();
  EXPECT_DOUBLE_EQ(a.PressureNow(), a.LocalPressureAt(start));
}

TEST(PortBackends, RegistersOfTheSimulatedAndFloatingPorts) {
  VirtualClock clock;
  SimulatedModule module(clock);
  SimulatedModulePort port(module);
  port.WriteByte(kLptData, 0xFC);
  EXPECT_EQ(port.ReadByte(kLptData), 0xFC);
  EXPECT_EQ(port.ReadByte(kLptStatus) & 0x20, 0);
  EXPECT_EQ(port.ReadByte(0x37A), 0xFF);
  port.WriteByte(0x37A, 0x00);  // not the data register: no effect
  EXPECT_EQ(port.ReadByte(kLptData), 0xFC);
  module.SetUnplugged(true);
  EXPECT_EQ(port.ReadByte(kLptStatus), 0xFF);
  EXPECT_EQ(port.ReadCount(), 5);
  EXPECT_EQ(port.WriteCount(), 2);

  FloatingPort floating;
  floating.WriteByte(kLptData, 0x00);
  EXPECT_EQ(floating.ReadByte(kLptStatus), 0xFF);
  EXPECT_EQ(floating.ReadByte(kLptData), 0xFF);
}

TEST(PortBackends, HardwarePortFallsBackAndSaysWhy) {
  std::string why;
  EXPECT_EQ(PpdevPort::Open("/nonexistent/parport9", &why), nullptr);
  EXPECT_NE(why.find("/nonexistent/parport9"), std::string::npos);

  // Whatever this machine has, a port comes back with a description; nothing
  // is written to it here.
  std::string description;
  auto port = OpenHardwarePort(&description);
  ASSERT_NE(port, nullptr);
  EXPECT_FALSE(description.empty());
  port.reset();  // releases the port before asking again
  EXPECT_NE(OpenHardwarePort(), nullptr);
}
