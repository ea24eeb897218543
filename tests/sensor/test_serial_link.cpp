#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Clock.h"
#include "sensor/Tsensor.h"
#include "support_ports.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Bytes of one ReadWord: clock low, then per bit the clock raised, a read,
// and the clock lowered; the data line to the module low throughout.
Bytes ReadWordBytes() {
  Bytes out{0xFC};
  for (int i = 0; i < 16; ++i) {
    out.push_back(0xFD);
    out.push_back(0xFC);
  }
  return out;
}

struct Link : ::testing::Test {
  Link() : sensor(port, clock) { port.log.clear(); }
  VirtualClock clock;
  RecordingPort port;
  Tsensor sensor;
};

}  // namespace

TEST_F(Link, SendBitsWritesClockAndDataLeastSignificantFirst) {
  sensor.SendBits(0, 0);
  EXPECT_EQ(port.Writes(), Bytes{0xFC});

  port.log.clear();
  // 0xD7 goes out as 1,1,1,0,1,0,1,1; the clock is left high.
  sensor.SendBits(0xD7, 8);
  const Bytes expected{0xFC, 0xFE, 0xFF, 0xFE, 0xFF, 0xFE, 0xFF, 0xFC, 0xFD,
                       0xFE, 0xFF, 0xFC, 0xFD, 0xFE, 0xFF, 0xFE, 0xFF};
  EXPECT_EQ(port.Writes(), expected);
  EXPECT_EQ(port.Reads(), 0);
  for (const auto& a : port.log) EXPECT_EQ(a.address, kLptData);

  // Only the low bits are sent, whatever lies above them or its sign.
  port.log.clear();
  sensor.SendBits(-2, 3);  // ...11110
  EXPECT_EQ(ClockedBits(port.Writes()), "011");
  port.log.clear();
  sensor.SendBits(0x1F8, 3);
  EXPECT_EQ(ClockedBits(port.Writes()), "000");
}

TEST_F(Link, ReadWordTakesSixteenBitsMostSignificantFirst) {
  port.idle_line = 1;
  EXPECT_EQ(sensor.ReadWord(), 65535);
  port.idle_line = 0;
  EXPECT_EQ(sensor.ReadWord(), 0);

  port.log.clear();
  port.QueueWord(0xA5C3);
  EXPECT_EQ(sensor.ReadWord(), 0xA5C3);
  EXPECT_EQ(port.Writes(), ReadWordBytes());
  // Each read comes right after a rising edge, with the clock high.
  ASSERT_EQ(port.log.size(), 1u + 16 * 3);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(port.log[2 + 3 * i].write, false);
    EXPECT_EQ(port.log[2 + 3 * i].address, kLptStatus);
    EXPECT_EQ(port.log[1 + 3 * i].value, 0xFD);
  }
}

TEST_F(Link, DataLineIsStatusBitFiveOnly) {
  struct FixedStatus : PortIo {
    uint8_t status = 0;
    uint8_t ReadByte(uint16_t) override { return status; }
    void WriteByte(uint16_t, uint8_t) override {}
  } fixed;
  Tsensor s(fixed, clock);
  fixed.status = 0xDF;
  EXPECT_EQ(s.ReadDataLine(), 0);
  fixed.status = 0x20;
  EXPECT_EQ(s.ReadDataLine(), 1);
}

TEST_F(Link, ResetSendsTwentyOneBits) {
  sensor.SendReset();
  EXPECT_EQ(port.Writes(), Cat({WireBytes("10101010"), WireBytes("10101010"), WireBytes("00000")}));
}

TEST_F(Link, CalibrationReadSendsTheFourWordCommands) {
  port.QueueWord(0x1111);
  port.QueueWord(0x2222);
  port.QueueWord(0x3333);
  port.QueueWord(0x4444);
  port.QueueConversion(0x5000);
  Tsensor_wc record;
  sensor.ReadCalibrationWords(&record);
  EXPECT_EQ(record.W1, 0x1111);
  EXPECT_EQ(record.W2, 0x2222);
  EXPECT_EQ(record.W3, 0x3333);
  EXPECT_EQ(record.W4, 0x4444);
  EXPECT_EQ(record.C6, 0x2222 & 0x3F);  // unpacked at once
  EXPECT_EQ(sensor.GetD1(), 0x5000);    // the probe conversion
  EXPECT_FALSE(sensor.HasError());

  const Bytes expected = Cat({WireBytes("10101010"),
                              WireBytes("10101010"),
                              WireBytes("00000"),
                              WireBytes("11101010"),
                              WireBytes("10000"),
                              ReadWordBytes(),
                              WireBytes("11101011"),
                              WireBytes("00000"),
                              ReadWordBytes(),
                              WireBytes("11101100"),
                              WireBytes("10000"),
                              ReadWordBytes(),
                              WireBytes("11101101"),
                              WireBytes("00000"),
                              ReadWordBytes(),
                              WireBytes("11110100"),
                              WireBytes("000"),
                              WireBytes("0"),
                              {0xFC},
                              ReadWordBytes()});
  EXPECT_EQ(port.Writes(), expected);

  port.log.clear();
  sensor.ReadCalibrationWords(nullptr);
  EXPECT_TRUE(port.log.empty());
}

TEST_F(Link, ConversionsSendCommandCheckAcknowledgeWaitAndRead) {
  port.QueueConversion(19900, 2);
  sensor.ConvertD1();
  EXPECT_EQ(sensor.GetD1(), 19900);
  EXPECT_FALSE(sensor.HasError());
  const Bytes d1_bytes =
      Cat({WireBytes("11110100"), WireBytes("000"), WireBytes("0"), {0xFC}, ReadWordBytes()});
  EXPECT_EQ(port.Writes(), d1_bytes);
  // The acknowledge is read with the clock high after the 11th bit.
  const size_t ack_at = WireBytes("11110100").size() + WireBytes("000").size();
  EXPECT_FALSE(port.log[ack_at].write);
  EXPECT_EQ(port.log[ack_at - 1].value & 1, 1);
  // The conversion time slept first, then two more polls at the short
  // interval; no sleep after the poll that saw the end.
  EXPECT_EQ(clock.SleepCount(), 3);
  EXPECT_EQ(clock.SleptMs(), Tserial_link::kConversionMs + 2 * Tserial_link::kPollIntervalMs);

  port.log.clear();
  port.QueueConversion(33736);
  sensor.ConvertD2();
  EXPECT_EQ(sensor.GetD2(), 33736);
  EXPECT_EQ(sensor.GetD1(), 19900);
  EXPECT_EQ(
      port.Writes(),
      Cat({WireBytes("11110010"), WireBytes("000"), WireBytes("0"), {0xFC}, ReadWordBytes()}));
}

TEST_F(Link, MissingAcknowledgeFailsWithoutWaiting) {
  port.QueueConversion(0x1234);
  sensor.ConvertD1();
  ASSERT_EQ(sensor.GetD1(), 0x1234);

  port.log.clear();
  clock.ResetSleepStats();
  port.lines.clear();
  port.lines.push_back(0);  // the line stays low where the acknowledge belongs
  port.idle_line = 1;       // and would look busy if it were polled
  sensor.ConvertD1();
  EXPECT_TRUE(sensor.HasError());
  EXPECT_EQ(sensor.GetD1(), 0);
  EXPECT_EQ(clock.SleepCount(), 0);
  // Command, one acknowledge read, the last bit; nothing after.
  EXPECT_EQ(port.Writes(), Cat({WireBytes("11110100"), WireBytes("000"), WireBytes("0")}));
  EXPECT_EQ(port.Reads(), 1);

  // WaitConversion on its own does nothing while the flag is set.
  port.log.clear();
  sensor.WaitConversion();
  EXPECT_TRUE(port.log.empty());
  EXPECT_EQ(clock.SleepCount(), 0);

  // A failure does not carry over to the next conversion.
  port.QueueConversion(0x4321);
  sensor.ConvertD2();
  EXPECT_FALSE(sensor.HasError());
  EXPECT_EQ(sensor.GetD2(), 0x4321);
}

TEST_F(Link, EndOfConversionMustComeWithinTheWaitLimit) {
  // Polls at the conversion time and then every interval up to the limit.
  const int last_poll = 1 + (Tserial_link::kWaitLimitMs - Tserial_link::kConversionMs) /
                                Tserial_link::kPollIntervalMs;
  // Line low at the last poll: a good conversion.
  port.QueueConversion(0x0F0F, last_poll - 1);
  sensor.ConvertD1();
  EXPECT_FALSE(sensor.HasError());
  EXPECT_EQ(sensor.GetD1(), 0x0F0F);
  EXPECT_EQ(clock.SleptMs(), Tserial_link::kWaitLimitMs);

  // Line low one poll later: the wait has given up before, with no sleep
  // after its last poll.
  clock.ResetSleepStats();
  port.log.clear();
  port.QueueConversion(0x0F0F, last_poll);
  sensor.ConvertD1();
  EXPECT_TRUE(sensor.HasError());
  EXPECT_EQ(sensor.GetD1(), 0);
  EXPECT_EQ(clock.SleepCount(), last_poll);
  EXPECT_EQ(clock.SleptMs(), Tserial_link::kWaitLimitMs);
  EXPECT_EQ(port.Reads(), 1 + last_poll);  // acknowledge and polls; no word read
}

TEST(SensorLines, ConstructorRaisesUpperLinesAndDestructorDropsThem) {
  VirtualClock clock;
  RecordingPort port;
  {
    Tsensor sensor(port, clock);
    EXPECT_EQ(port.Writes(), Bytes{0xFC});
    sensor.WriteLines(1, 1, 1);
    sensor.WriteLines(3, 2, 1);  // only bit 0 of each argument counts
    sensor.WriteLines(1, 0, 0);
    sensor.WriteLines(0, 1, 3);  // the upper lines need exactly 1, not an odd value
    sensor.Reset();
    EXPECT_EQ(port.Writes(), (Bytes{0xFC, 0xFF, 0xFD, 0x01, 0x02, 0xFC}));
    port.log.clear();
  }
  EXPECT_EQ(port.Writes(), Bytes{0x00});
  EXPECT_EQ(port.Reads(), 0);
}
