#include "platform/FtdiLines.h"

namespace {
// The library's mode values (BITMODE_RESET, BITMODE_SYNCBB), kept here so
// that this part builds without it.
constexpr int kModeReset = 0x00;
constexpr int kModeSyncBitbang = 0x04;
// Reads of a round trip that find nothing yet before the chip is taken to
// have stopped answering (each waits for the latency timer, 1 ms).
constexpr int kEmptyReads = 50;
}  // namespace

std::unique_ptr<FtdiLines> FtdiLines::Open(const FtdiWiring& wiring,
                                           std::unique_ptr<FtdiCalls> calls, std::string* error) {
  auto fail = [error](const std::string& text) {
    if (error != nullptr) *error = text;
    return nullptr;
  };
  if (calls == nullptr) {
    return fail(
        "This program was built without the FTDI adapter library (libftdi1): USB "
        "adapters cannot be used.");
  }
  struct Named {
    const char* name;
    int bit;
  };
  std::vector<Named> pins = {
      {"clock", wiring.clock}, {"data out", wiring.data_out}, {"data in", wiring.data_in}};
  if (wiring.power >= 0) pins.push_back({"power", wiring.power});
  for (size_t i = 0; i < pins.size(); ++i) {
    if (pins[i].bit < 0 || pins[i].bit > 7) {
      return fail(std::string("Bit ") + std::to_string(pins[i].bit) + " (" + pins[i].name +
                  ") is not one of the adapter's bits 0 to 7.");
    }
    for (size_t j = 0; j < i; ++j) {
      if (pins[j].bit == pins[i].bit) {
        return fail("Bit " + std::to_string(pins[i].bit) + " of the adapter is given twice (" +
                    pins[j].name + " and " + pins[i].name + ").");
      }
    }
  }

  const int opened = calls->Open(wiring.device);
  if (opened < 0) {
    const std::string reason = calls->ErrorText();
    std::string text = "USB adapter " + wiring.device + ": " + reason + ".";
    // The library says "inappropriate permissions" or "usb_open() failed" when
    // the device node is not the user's.
    if (opened == -4 || opened == -8 || reason.find("ermission") != std::string::npos) {
      text +=
          " Install the package's udev rule (60-barometer-ports.rules) or add yourself to group "
          "plugdev, then plug the adapter in again.";
    } else if (opened == -3) {
      text = "No USB adapter " + wiring.device + " found: check the cable and ftdi_device.";
    } else if (opened == -5) {
      text += " Another program holds the adapter.";
    }
    calls->Close();
    return fail(text);
  }
  std::unique_ptr<FtdiLines> lines(new FtdiLines(std::move(calls), wiring));
  FtdiCalls& c = *lines->calls_;
  uint8_t mask = 0;
  mask |= static_cast<uint8_t>(1u << wiring.clock);
  mask |= static_cast<uint8_t>(1u << wiring.data_out);
  if (wiring.power >= 0) mask |= static_cast<uint8_t>(1u << wiring.power);
  if (c.SetLatencyTimer(kLatencyMs) < 0 || c.SetBaudrate(kBaudrate) < 0 ||
      c.SetBitmode(mask, kModeSyncBitbang) < 0 || c.Flush() < 0) {
    const std::string text =
        "USB adapter " + wiring.device + ": cannot enter bit-bang mode: " + c.ErrorText() + ".";
    c.SetBitmode(0, kModeReset);
    c.Close();
    lines->calls_.reset();
    return fail(text);
  }
  // Outputs low from the start.
  lines->Drive(false, false, false);
  return lines;
}

FtdiLines::~FtdiLines() {
  if (calls_ == nullptr) return;
  Drive(false, false, false);
  calls_->SetBitmode(0, kModeReset);
  calls_->Close();
}

uint8_t FtdiLines::Byte(bool clock, bool data, bool power) const {
  uint8_t value = 0;
  if (clock) value |= static_cast<uint8_t>(1u << wiring_.clock);
  if (data) value |= static_cast<uint8_t>(1u << wiring_.data_out);
  if (power && wiring_.power >= 0) value |= static_cast<uint8_t>(1u << wiring_.power);
  return value;
}

bool FtdiLines::RoundTrip(const std::vector<uint8_t>& out, std::vector<uint8_t>* back) {
  ++round_trips_;
  back->assign(out.size(), 0xFF);
  if (out.empty()) return true;
  if (calls_->Write(out.data(), static_cast<int>(out.size())) != static_cast<int>(out.size()))
    return false;
  size_t got = 0;
  for (int empty = 0; got < out.size() && empty < kEmptyReads;) {
    const int n = calls_->Read(back->data() + got, static_cast<int>(out.size() - got));
    if (n < 0) return false;
    if (n == 0) {
      ++empty;
      continue;
    }
    got += static_cast<size_t>(n);
  }
  return got == out.size();
}

void FtdiLines::Drive(bool clock, bool data, bool power) {
  outputs_ = Byte(clock, data, power);
  out_.assign(1, outputs_);
  RoundTrip(out_, &back_);
}

bool FtdiLines::Sample() {
  // The byte read back for a byte written is the pins before it: with the
  // outputs unchanged, the pins now.
  out_.assign(1, outputs_);
  RoundTrip(out_, &back_);
  return (back_[0] >> wiring_.data_in) & 1;
}

void FtdiLines::Exchange(const std::vector<Step>& steps, std::vector<uint8_t>* samples) {
  out_.clear();
  std::vector<size_t> sample_at;
  for (const Step& step : steps) {
    if (step.sample) {
      sample_at.push_back(out_.size());
      out_.push_back(outputs_);  // unchanged; its read-back is the pins after the last drive
    } else {
      outputs_ = Byte(step.clock, step.data, step.power);
      out_.push_back(outputs_);
    }
  }
  RoundTrip(out_, &back_);
  if (samples == nullptr) return;
  for (size_t at : sample_at) samples->push_back((back_[at] >> wiring_.data_in) & 1);
}

std::string FtdiLines::Describe() const {
  std::string text = "USB adapter " + wiring_.device + ": clock bit " +
                     std::to_string(wiring_.clock) + ", data out " +
                     std::to_string(wiring_.data_out) + ", data in " +
                     std::to_string(wiring_.data_in);
  if (wiring_.power >= 0) text += ", power " + std::to_string(wiring_.power);
  return text;
}
