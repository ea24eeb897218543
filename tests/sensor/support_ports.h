#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/PortIo.h"
#include "sensor/Tsensor_wc.h"

// A port that records every register access in order. Status reads answer
// from a queue of data-line levels (0/1 on bit 5), then from `idle_line`.
// With an inner port, accesses are passed on and answered by it instead.
class RecordingPort : public PortIo {
 public:
  struct Access {
    bool write;
    uint16_t address;
    uint8_t value;
  };

  RecordingPort() = default;
  explicit RecordingPort(PortIo* inner) : inner_(inner) {}

  uint8_t ReadByte(uint16_t address) override {
    uint8_t value;
    if (inner_ != nullptr) {
      value = inner_->ReadByte(address);
    } else {
      int line = idle_line;
      if (!lines.empty()) {
        line = lines.front();
        lines.pop_front();
      }
      value = line ? 0x20 : 0x00;
    }
    log.push_back({false, address, value});
    return value;
  }

  void WriteByte(uint16_t address, uint8_t value) override {
    log.push_back({true, address, value});
    if (inner_ != nullptr) inner_->WriteByte(address, value);
  }

  std::vector<uint8_t> Writes() const {
    std::vector<uint8_t> out;
    for (const Access& a : log)
      if (a.write) out.push_back(a.value);
    return out;
  }
  int Reads() const {
    int n = 0;
    for (const Access& a : log) n += a.write ? 0 : 1;
    return n;
  }

  // Queues what a module answers to one conversion: the acknowledge, the
  // given number of busy polls, the end of conversion, then the 16 bits.
  void QueueConversion(uint16_t word, int busy_polls = 0) {
    lines.push_back(1);
    for (int i = 0; i < busy_polls; ++i) lines.push_back(1);
    lines.push_back(0);
    QueueWord(word);
  }
  void QueueWord(uint16_t word) {
    for (int i = 15; i >= 0; --i) lines.push_back((word >> i) & 1);
  }

  std::vector<Access> log;
  std::deque<int> lines;
  int idle_line = 0;

 private:
  PortIo* inner_ = nullptr;
};

// The data bits a module takes from a run of data-register bytes: one
// character per rising clock edge (bit 0 going from 0 to 1), the level of
// bit 1 at that edge. The clock is taken as low before the first byte.
inline std::string ClockedBits(const std::vector<uint8_t>& writes) {
  std::string bits;
  int clock = 0;
  for (uint8_t b : writes) {
    if (clock == 0 && (b & 1)) bits.push_back((b & 2) ? '1' : '0');
    clock = b & 1;
  }
  return bits;
}

// The bytes that clock out a bit string as written on the wire: clock low
// first, then for each bit the data set with the clock low and the clock
// raised with the data held; the six upper lines on throughout.
inline std::vector<uint8_t> WireBytes(const std::string& bits) {
  std::vector<uint8_t> out{0xFC};
  for (char c : bits) {
    const uint8_t d = c == '1' ? 0x02 : 0x00;
    out.push_back(0xFC | d);
    out.push_back(0xFD | d);
  }
  return out;
}

// A second plausible calibration, unlike the simulated module's own, with its
// words filled in: a coefficient taken from the wrong one shows up.
inline Tsensor_wc OtherCalibration() {
  Tsensor_wc other;
  other.C1 = 26000;
  other.C2 = 2900;
  other.C3 = 720;
  other.C4 = 610;
  other.C5 = 1500;
  other.C6 = 40;
  other.CoefficientsToWords();
  return other;
}
