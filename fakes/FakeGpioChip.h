#pragma once

#include <linux/gpio.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "platform/GpioLines.h"
#include "platform/SimulatedModule.h"

// A gpiochip with the simulated module wired to it, behind the calls of the
// GPIO backend: for tests and the speed bench, since no machine here has a
// gpiochip. It answers the chip-info, line-info, line-request and
// set/get-values calls as the kernel does, keeps the lines' levels, and
// passes them to the module (powered all along when no power line is
// requested). Header-only, like the other test stand-ins.
class FakeGpioChip : public GpioCalls {
 public:
  FakeGpioChip(SimulatedModule& module, std::string path = "/dev/gpiochip0", int lines = 54)
      : module_(module), path_(std::move(path)), lines_(lines) {}

  // A line another program holds, with its consumer's name.
  void Hold(int offset, const std::string& consumer) {
    held_.insert(offset);
    consumer_ = consumer;
  }
  // The chip's node refuses this user.
  void DenyAccess(bool on) { deny_ = on; }
  // Called once for every ioctl, to model its cost.
  std::function<void()> on_ioctl;

  int Open(const std::string& path) override {
    if (path != path_) {
      errno = ENOENT;
      return -1;
    }
    if (deny_) {
      errno = EACCES;
      return -1;
    }
    ++open_fds;
    return kChipFd;
  }

  int Close(int fd) override {
    if (fd == kRequestFd) request_open = false;
    --open_fds;
    return 0;
  }

  int Ioctl(int fd, unsigned long request, void* argument) override {
    ++ioctls;
    if (on_ioctl) on_ioctl();
    if (fd == kChipFd && request == GPIO_GET_CHIPINFO_IOCTL) {
      auto* info = static_cast<gpiochip_info*>(argument);
      std::strncpy(info->name, "gpiochip0", sizeof info->name - 1);
      std::strncpy(info->label, "pinctrl-test", sizeof info->label - 1);
      info->lines = static_cast<uint32_t>(lines_);
      return 0;
    }
    if (fd == kChipFd && request == GPIO_V2_GET_LINEINFO_IOCTL) {
      auto* info = static_cast<gpio_v2_line_info*>(argument);
      if (info->offset >= static_cast<uint32_t>(lines_)) return Fail(EINVAL);
      if (held_.count(static_cast<int>(info->offset)) != 0) {
        info->flags |= GPIO_V2_LINE_FLAG_USED;
        std::strncpy(info->consumer, consumer_.c_str(), sizeof info->consumer - 1);
      }
      return 0;
    }
    if (fd == kChipFd && request == GPIO_V2_GET_LINE_IOCTL) {
      auto* line_request = static_cast<gpio_v2_line_request*>(argument);
      if (request_open) return Fail(EBUSY);
      last_request = *line_request;
      for (uint32_t i = 0; i < line_request->num_lines; ++i) {
        if (held_.count(static_cast<int>(line_request->offsets[i])) != 0) return Fail(EBUSY);
        if (line_request->offsets[i] >= static_cast<uint32_t>(lines_)) return Fail(EINVAL);
      }
      // Outputs take their initial values from the request.
      const gpio_v2_line_config& config = line_request->config;
      outputs = 0;
      values = 0;
      for (uint32_t a = 0; a < config.num_attrs; ++a) {
        const gpio_v2_line_config_attribute& attr = config.attrs[a];
        if (attr.attr.id == GPIO_V2_LINE_ATTR_ID_FLAGS &&
            (attr.attr.flags & GPIO_V2_LINE_FLAG_OUTPUT) != 0)
          outputs |= attr.mask;
        if (attr.attr.id == GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES)
          values = (values & ~attr.mask) | (attr.attr.values & attr.mask);
      }
      line_request->fd = kRequestFd;
      request_open = true;
      ++open_fds;
      Apply();
      return 0;
    }
    if (fd == kRequestFd && request_open && request == GPIO_V2_LINE_SET_VALUES_IOCTL) {
      auto* v = static_cast<gpio_v2_line_values*>(argument);
      if ((v->mask & ~outputs) != 0) return Fail(EPERM);
      values = (values & ~v->mask) | (v->bits & v->mask);
      Apply();
      return 0;
    }
    if (fd == kRequestFd && request_open && request == GPIO_V2_LINE_GET_VALUES_IOCTL) {
      auto* v = static_cast<gpio_v2_line_values*>(argument);
      uint64_t bits = values & outputs;
      for (uint32_t i = 0; i < last_request.num_lines; ++i) {
        const uint64_t bit = uint64_t{1} << i;
        if ((outputs & bit) == 0 && module_.DataLine()) bits |= bit;
      }
      v->bits = bits & v->mask;
      return 0;
    }
    return Fail(EINVAL);
  }

  // The level of a line of the chip by its offset (outputs only).
  bool Level(int offset) const {
    for (uint32_t i = 0; i < last_request.num_lines; ++i)
      if (static_cast<int>(last_request.offsets[i]) == offset) return ((values & outputs) >> i) & 1;
    return false;
  }

  static constexpr int kChipFd = 7;
  static constexpr int kRequestFd = 8;

  gpio_v2_line_request last_request{};
  uint64_t outputs = 0;
  uint64_t values = 0;
  bool request_open = false;
  int open_fds = 0;
  int64_t ioctls = 0;

 private:
  static int Fail(int error_number) {
    errno = error_number;
    return -1;
  }
  // The request's lines in the backend's order: clock, data out, data in,
  // and power when there are four.
  void Apply() {
    const bool clock = values & 1;
    const bool data = (values >> 1) & 1;
    const bool power = last_request.num_lines < 4 || ((values >> 3) & 1);
    module_.SetLines(clock, data, power);
  }

  SimulatedModule& module_;
  std::string path_;
  int lines_;
  std::set<int> held_;
  std::string consumer_;
  bool deny_ = false;
};
