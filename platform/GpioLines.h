#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ModuleLines.h"

// The calls the GPIO backend makes to the kernel, one each, so that tests
// put a model of a gpiochip behind them. The program uses SystemGpioCalls.
class GpioCalls {
 public:
  virtual ~GpioCalls() = default;
  // As open(2), ioctl(2) and close(2): -1 with errno set on failure.
  virtual int Open(const std::string& path) = 0;
  virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;
  virtual int Close(int fd) = 0;
};

class SystemGpioCalls : public GpioCalls {
 public:
  int Open(const std::string& path) override;
  int Ioctl(int fd, unsigned long request, void* argument) override;
  int Close(int fd) override;
};

// Which lines of which gpiochip the module is wired to: offsets on the chip;
// power -1 when the module has its own supply.
struct GpioWiring {
  std::string chip = "/dev/gpiochip0";
  int clock = -1;
  int data_out = -1;
  int data_in = -1;
  int power = -1;
};

// The module on a gpiochip through the kernel's GPIO character device
// (uAPI v2): every line in one request made for "barometer", outputs
// starting low; each drive is one set-values call and each sample one
// get-values call. On close the outputs are driven low and the request is
// given back.
class GpioLines : public ModuleLines {
 public:
  static constexpr const char* kConsumer = "barometer";

  // Requests the lines; null when that cannot be done, with the reason in
  // `error` (naming the chip and the line), and nothing left open.
  static std::unique_ptr<GpioLines> Open(const GpioWiring& wiring, GpioCalls& calls,
                                         std::string* error);
  ~GpioLines() override;

  GpioLines(const GpioLines&) = delete;
  GpioLines& operator=(const GpioLines&) = delete;

  void Drive(bool clock, bool data, bool power) override;
  bool Sample() override;
  std::string Describe() const override;

 private:
  GpioLines(GpioCalls& calls, int fd, GpioWiring wiring, std::string label)
      : calls_(calls), fd_(fd), wiring_(std::move(wiring)), label_(std::move(label)) {}

  GpioCalls& calls_;
  int fd_;  // the line request
  GpioWiring wiring_;
  std::string label_;
};

// A gpiochip found in /dev: its path, label and number of lines.
struct GpioChipInfo {
  std::string path;
  std::string label;
  int lines = 0;
};
std::vector<GpioChipInfo> ListGpioChips(GpioCalls& calls);
