#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ModuleLines.h"

// The few calls of the USB adapter library that the FTDI backend makes, so
// that tests put a model of the chip in synchronous bit-bang mode behind
// them. Return codes as the library's: negative on failure, with the text in
// ErrorText. NewFtdiCalls gives the library's own, or null when the program
// was built without it.
class FtdiCalls {
 public:
  virtual ~FtdiCalls() = default;
  // Opens the device named in the library's description-string form
  // ("i:0x0403:0x6001", "s:0x0403:0x6001:SERIAL", "d:BUS/DEV"), detaching
  // the kernel's serial driver.
  virtual int Open(const std::string& device) = 0;
  virtual int SetLatencyTimer(int ms) = 0;
  virtual int SetBaudrate(int baudrate) = 0;
  // mode: the library's BITMODE_* value.
  virtual int SetBitmode(int output_mask, int mode) = 0;
  virtual int Flush() = 0;
  virtual int Write(const uint8_t* bytes, int count) = 0;
  // Up to `count` bytes that have arrived; 0 when none yet.
  virtual int Read(uint8_t* bytes, int count) = 0;
  virtual void Close() = 0;
  virtual std::string ErrorText() = 0;
};

// The adapter library's calls; null when the program was built without it.
std::unique_ptr<FtdiCalls> NewFtdiCalls();
// Whether the program was built with the adapter library.
bool FtdiAvailable();

// An adapter found on the USB: its description string for Open, and what
// it says of itself.
struct FtdiDeviceInfo {
  std::string device;  // "s:0x0403:0x6001:SERIAL" or "d:BUS/DEV"
  std::string description;
  std::string serial;
};
std::vector<FtdiDeviceInfo> ListFtdiDevices();

// The adapter library is opened the first time an adapter is listed or
// opened (NewFtdiCalls' Open), from this file; a library that cannot be
// opened lists no adapter and fails the opening with the loader's message.
constexpr const char* kFtdiLibraryFile = "libftdi1.so.2";
// The file the next opening tries, for tests of a missing library; no
// effect once the library is open.
void UseFtdiLibraryFile(const std::string& file);
// Whether the library is open in this process.
bool FtdiLibraryOpened();

// Which pins of the adapter's bit-bang port (bits 0..7 of ADBUS) the module
// is wired to; power -1 when the module has its own supply.
struct FtdiWiring {
  std::string device = "i:0x0403:0x6001";
  int clock = 0;
  int data_out = 1;
  int data_in = 2;
  int power = -1;
};

// The module on a USB adapter in synchronous bit-bang mode: every byte
// written sets the pins, and for every byte the chip returns the pins as
// they were just before that byte took effect. So a sample is one more byte
// with the outputs unchanged, its pins read back from that byte. A whole
// exchange (a command, a word) is one write and its bytes read back, one
// round trip; so is a single poll.
class FtdiLines : public ModuleLines {
 public:
  // Bytes per second of the bit-bang clock (each drive or sample is one).
  static constexpr int kBaudrate = 62500;
  static constexpr int kLatencyMs = 1;

  // Opens the adapter and puts it into synchronous bit-bang mode with the
  // outputs low; null on failure, with the reason in `error` and the device
  // closed again.
  static std::unique_ptr<FtdiLines> Open(const FtdiWiring& wiring, std::unique_ptr<FtdiCalls> calls,
                                         std::string* error);
  // Outputs low, the chip back to its normal mode, the device closed.
  ~FtdiLines() override;

  FtdiLines(const FtdiLines&) = delete;
  FtdiLines& operator=(const FtdiLines&) = delete;

  void Drive(bool clock, bool data, bool power) override;
  bool Sample() override;
  void Exchange(const std::vector<Step>& steps, std::vector<uint8_t>* samples) override;
  std::string Describe() const override;

  // USB round trips so far (write and read back).
  int64_t RoundTrips() const { return round_trips_; }

 private:
  FtdiLines(std::unique_ptr<FtdiCalls> calls, FtdiWiring wiring)
      : calls_(std::move(calls)), wiring_(std::move(wiring)) {}

  uint8_t Byte(bool clock, bool data, bool power) const;
  // Writes the bytes and reads as many back; false when the chip did not
  // answer them all (then `back` is padded with floating-high pins).
  bool RoundTrip(const std::vector<uint8_t>& out, std::vector<uint8_t>* back);

  std::unique_ptr<FtdiCalls> calls_;
  FtdiWiring wiring_;
  uint8_t outputs_ = 0;  // the pins as last written
  int64_t round_trips_ = 0;
  std::vector<uint8_t> out_;
  std::vector<uint8_t> back_;
};
