#pragma once

#include <cstdint>
#include <vector>

#include "platform/Clock.h"
#include "platform/ModuleLines.h"

// The module's synchronous serial protocol over its named lines: clocking
// out command bits, the acknowledge, the wait for the end of a conversion
// and the 16-bit word read. Each command or word goes to the lines as one
// exchange, so that a backend that pays per trip (USB) makes one trip for
// it; the levels and their order are the same as bit by bit. The module's
// supply is on in every drive made through the link.
class Tserial_link {
 public:
  Tserial_link(ModuleLines& lines, Clock& clock) : lines_(&lines), clock_(clock) {}

  // Further traffic goes to other lines (a port chosen anew).
  void UseLines(ModuleLines& lines) { lines_ = &lines; }
  ModuleLines& Lines() const { return *lines_; }

  // One drive of the lines: only bit 0 of clock and data counts; the supply
  // is on when upper is exactly 1.
  void WriteLines(int clock, int data, int upper);
  // The module's data line as 0 or 1.
  int ReadDataLine();
  // Clocks out the count low bits of value, least significant first: each
  // bit set with the clock low and taken by the module on the rising edge;
  // the clock is left high. count 0 drives only the leading clock low.
  void SendBits(int value, int count);
  // Clocks in 16 bits, most significant first, each sampled while the clock
  // is high; the clock is left low.
  int32_t ReadWord();
  // Resets the module's serial interface: 0x55, 0x55 and five zeros.
  void SendReset();
  // A command of `count` bits followed by a word read, in one exchange.
  int32_t CommandAndWord(int command, int count, int tail, int tail_count);
  // Starts a conversion: the command's 8 bits and three zeros, the
  // acknowledge sampled with the clock high, then the bit that starts it, in
  // one exchange. Returns whether the module acknowledged.
  bool StartConversion(int command);
  // Waits for the end of a conversion: the clock dropped, a sleep of the
  // nominal conversion time, then a poll every kPollIntervalMs until the
  // module pulls its line low. No sleep follows the poll that sees it.
  // False when the line is still high once kWaitLimitMs have been slept.
  bool WaitConversion();
  void SleepMs(int ms);

  // The module converts in 35 ms at most; nothing is read before.
  static constexpr int kConversionMs = 35;
  static constexpr int kPollIntervalMs = 1;
  // A conversion not ended after this much sleeping has failed.
  static constexpr int kWaitLimitMs = 150;

 private:
  void AddDrive(int clock, int data);
  void AddSample();
  void AddBits(int value, int count);
  void AddWordRead();
  // Runs the steps gathered and forgets them; the samples are in samples_.
  void Flush();
  int32_t WordFromSamples(size_t first) const;

  ModuleLines* lines_;
  Clock& clock_;
  std::vector<ModuleLines::Step> steps_;
  std::vector<uint8_t> samples_;
};
