// The parallel port sees the same bytes as before the link was split out of
// the driver: recordings of detection and of a sampling sequence made with
// the bit-by-bit driver (lpt_traffic/), against the link now. Only the
// polls of the end-of-conversion wait may differ in number.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "sensor/Tsensor.h"
#include "support_ports.h"

namespace {

// One access a line: "W FC" for a write of 0xFC to the data register, "R"
// for a read of the status register.
std::vector<std::string> Recording(const std::string& name) {
  std::ifstream in(std::string(BAROMETER_SOURCE_DIR) + "/tests/sensor/lpt_traffic/" + name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Taped(const RecordingPort& port) {
  std::vector<std::string> lines;
  char text[8];
  for (const RecordingPort::Access& a : port.log) {
    if (a.write) {
      EXPECT_EQ(a.address, kLptData);
      std::snprintf(text, sizeof text, "W %02X", a.value);
      lines.push_back(text);
    } else {
      EXPECT_EQ(a.address, kLptStatus);
      lines.push_back("R");
    }
  }
  return lines;
}

std::vector<std::string> WritesOf(const std::vector<std::string>& tape) {
  std::vector<std::string> out;
  for (const std::string& line : tape)
    if (line != "R") out.push_back(line);
  return out;
}

// Runs of reads counted as one: where the reads fall between the writes.
std::vector<std::string> ReadPlaces(const std::vector<std::string>& tape) {
  std::vector<std::string> out;
  for (const std::string& line : tape)
    if (line != "R" || out.empty() || out.back() != "R") out.push_back(line);
  return out;
}

void ExpectSameTraffic(const std::vector<std::string>& recorded,
                       const std::vector<std::string>& now) {
  ASSERT_FALSE(recorded.empty());
  EXPECT_EQ(WritesOf(now), WritesOf(recorded));
  EXPECT_EQ(ReadPlaces(now), ReadPlaces(recorded));
  // The wait reads fewer times, never more.
  EXPECT_LE(now.size(), recorded.size());
}

}  // namespace

TEST(LptTraffic, DetectionAndASequenceWriteTheRecordedBytes) {
  VirtualClock clock;
  SimulatedModule module(clock, 1);
  module.SetFixedConditions(1001.5, 21.25);
  SimulatedModulePort module_port(module);
  RecordingPort port(&module_port);
  Tsensor sensor(port, clock);
  sensor.Reset();
  sensor.ReadCalibration();
  ASSERT_FALSE(sensor.HasError());
  ExpectSameTraffic(Recording("detection.txt"), Taped(port));

  sensor.SetSampleCount(4);
  sensor.Measure(true);
  clock.AdvanceSeconds(1);
  port.log.clear();
  sensor.Measure(true);
  ASSERT_FALSE(sensor.HasError());
  EXPECT_NEAR(sensor.Pressure, 1001.5, 0.1);
  ExpectSameTraffic(Recording("sequence_n4.txt"), Taped(port));
}

TEST(LptTraffic, DetectionWithoutAModuleWritesTheRecordedBytes) {
  VirtualClock clock;
  RecordingPort port;
  port.idle_line = 1;  // nothing plugged in: the line floats high
  {
    Tsensor sensor(port, clock);
    sensor.Reset();
    sensor.ReadCalibration();
    EXPECT_TRUE(sensor.HasError());
  }
  ExpectSameTraffic(Recording("no_module.txt"), Taped(port));
}
