#include "platform/GpioLines.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/gpio.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Positions of the lines in the request; the supply, when there is one, last.
constexpr int kClockIndex = 0;
constexpr int kDataOutIndex = 1;
constexpr int kDataInIndex = 2;
constexpr int kPowerIndex = 3;

constexpr uint64_t Bit(int index) {
  return uint64_t{1} << index;
}

std::string OpenFinding(const std::string& chip, int error_number) {
  switch (error_number) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return chip +
             " does not exist: check gpio_chip in barometer.ini (the port dialog lists "
             "the chips found).";
    case EACCES:
    case EPERM:
      return chip +
             ": permission denied: install the package's udev rule "
             "(60-barometer-ports.rules) or add yourself to group plugdev (gpio on Raspberry Pi "
             "OS), and log in again.";
    default:
      return chip + ": " + std::strerror(error_number) + ".";
  }
}

std::string Text(const char* field, size_t size) {
  return std::string(field, strnlen(field, size));
}

}  // namespace

int SystemGpioCalls::Open(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_CLOEXEC);
}

int SystemGpioCalls::Ioctl(int fd, unsigned long request, void* argument) {
  return ::ioctl(fd, request, argument);
}

int SystemGpioCalls::Close(int fd) {
  return ::close(fd);
}

std::unique_ptr<GpioLines> GpioLines::Open(const GpioWiring& wiring, GpioCalls& calls,
                                           std::string* error) {
  auto fail = [error](const std::string& text) {
    if (error != nullptr) *error = text;
    return nullptr;
  };
  struct Named {
    const char* name;
    int offset;
  };
  std::vector<Named> lines = {
      {"clock", wiring.clock}, {"data out", wiring.data_out}, {"data in", wiring.data_in}};
  if (wiring.power >= 0) lines.push_back({"power", wiring.power});
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].offset < 0)
      return fail(std::string("No line given for ") + lines[i].name + " on " + wiring.chip + ".");
    for (size_t j = 0; j < i; ++j) {
      if (lines[j].offset == lines[i].offset) {
        return fail("Line " + std::to_string(lines[i].offset) + " of " + wiring.chip +
                    " is given twice (" + lines[j].name + " and " + lines[i].name + ").");
      }
    }
  }

  const int chip_fd = calls.Open(wiring.chip);
  if (chip_fd < 0) return fail(OpenFinding(wiring.chip, errno));
  // Everything below closes the chip again, and on failure leaves nothing.
  auto fail_closed = [&](const std::string& text) {
    calls.Close(chip_fd);
    return fail(text);
  };

  gpiochip_info info;
  std::memset(&info, 0, sizeof info);
  if (calls.Ioctl(chip_fd, GPIO_GET_CHIPINFO_IOCTL, &info) != 0) {
    return fail_closed(wiring.chip + " is not a gpiochip: " + std::strerror(errno) + ".");
  }
  const std::string label = Text(info.label, sizeof info.label);
  const std::string chip_name =
      wiring.chip + " (" + label + ", " + std::to_string(info.lines) + " lines)";
  for (const Named& line : lines) {
    if (static_cast<uint32_t>(line.offset) >= info.lines) {
      return fail_closed("Line " + std::to_string(line.offset) + " (" + line.name + ") is beyond " +
                         chip_name + ".");
    }
  }
  for (const Named& line : lines) {
    gpio_v2_line_info line_info;
    std::memset(&line_info, 0, sizeof line_info);
    line_info.offset = static_cast<uint32_t>(line.offset);
    if (calls.Ioctl(chip_fd, GPIO_V2_GET_LINEINFO_IOCTL, &line_info) == 0 &&
        (line_info.flags & GPIO_V2_LINE_FLAG_USED) != 0) {
      const std::string consumer = Text(line_info.consumer, sizeof line_info.consumer);
      return fail_closed("Line " + std::to_string(line.offset) + " (" + line.name + ") of " +
                         chip_name + " is in use by " +
                         (consumer.empty() ? std::string("the kernel or another program")
                                           : "\"" + consumer + "\"") +
                         ".");
    }
  }

  gpio_v2_line_request request;
  std::memset(&request, 0, sizeof request);
  for (size_t i = 0; i < lines.size(); ++i)
    request.offsets[i] = static_cast<uint32_t>(lines[i].offset);
  request.num_lines = static_cast<uint32_t>(lines.size());
  std::strncpy(request.consumer, kConsumer, sizeof request.consumer - 1);
  uint64_t outputs = Bit(kClockIndex) | Bit(kDataOutIndex);
  if (wiring.power >= 0) outputs |= Bit(kPowerIndex);
  request.config.flags = GPIO_V2_LINE_FLAG_INPUT;
  request.config.num_attrs = 2;
  request.config.attrs[0].attr.id = GPIO_V2_LINE_ATTR_ID_FLAGS;
  request.config.attrs[0].attr.flags = GPIO_V2_LINE_FLAG_OUTPUT;
  request.config.attrs[0].mask = outputs;
  request.config.attrs[1].attr.id = GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES;
  request.config.attrs[1].attr.values = 0;  // outputs start low
  request.config.attrs[1].mask = outputs;
  if (calls.Ioctl(chip_fd, GPIO_V2_GET_LINE_IOCTL, &request) != 0 || request.fd < 0) {
    const int error_number = errno;
    if (error_number == EBUSY) {
      return fail_closed("A line of " + chip_name + " (clock " + std::to_string(wiring.clock) +
                         ", data out " + std::to_string(wiring.data_out) + ", data in " +
                         std::to_string(wiring.data_in) + ") is in use by another program.");
    }
    if (error_number == EACCES || error_number == EPERM)
      return fail_closed(OpenFinding(wiring.chip, error_number));
    return fail_closed("The lines of " + chip_name +
                       " cannot be requested: " + std::strerror(error_number) + ".");
  }
  calls.Close(chip_fd);  // the request stands on its own
  return std::unique_ptr<GpioLines>(new GpioLines(calls, request.fd, wiring, label));
}

GpioLines::~GpioLines() {
  gpio_v2_line_values values;
  std::memset(&values, 0, sizeof values);
  values.mask = Bit(kClockIndex) | Bit(kDataOutIndex);
  if (wiring_.power >= 0) values.mask |= Bit(kPowerIndex);
  calls_.Ioctl(fd_, GPIO_V2_LINE_SET_VALUES_IOCTL, &values);
  calls_.Close(fd_);
}

void GpioLines::Drive(bool clock, bool data, bool power) {
  gpio_v2_line_values values;
  std::memset(&values, 0, sizeof values);
  values.mask = Bit(kClockIndex) | Bit(kDataOutIndex);
  if (clock) values.bits |= Bit(kClockIndex);
  if (data) values.bits |= Bit(kDataOutIndex);
  if (wiring_.power >= 0) {
    values.mask |= Bit(kPowerIndex);
    if (power) values.bits |= Bit(kPowerIndex);
  }
  calls_.Ioctl(fd_, GPIO_V2_LINE_SET_VALUES_IOCTL, &values);
}

bool GpioLines::Sample() {
  gpio_v2_line_values values;
  std::memset(&values, 0, sizeof values);
  values.mask = Bit(kDataInIndex);
  // A failed read is a line nobody drives: high, as a floating line reads.
  if (calls_.Ioctl(fd_, GPIO_V2_LINE_GET_VALUES_IOCTL, &values) != 0) return true;
  return (values.bits & Bit(kDataInIndex)) != 0;
}

std::string GpioLines::Describe() const {
  std::string text = "GPIO " + wiring_.chip;
  if (!label_.empty()) text += " (" + label_ + ")";
  text += ": clock line " + std::to_string(wiring_.clock) + ", data out " +
          std::to_string(wiring_.data_out) + ", data in " + std::to_string(wiring_.data_in);
  if (wiring_.power >= 0) text += ", power " + std::to_string(wiring_.power);
  return text;
}

std::vector<GpioChipInfo> ListGpioChips(GpioCalls& calls) {
  std::vector<GpioChipInfo> chips;
  DIR* dir = ::opendir("/dev");
  if (dir == nullptr) return chips;
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.rfind("gpiochip", 0) != 0) continue;
    GpioChipInfo chip;
    chip.path = "/dev/" + name;
    const int fd = calls.Open(chip.path);
    if (fd >= 0) {
      gpiochip_info info;
      std::memset(&info, 0, sizeof info);
      if (calls.Ioctl(fd, GPIO_GET_CHIPINFO_IOCTL, &info) == 0) {
        chip.label = Text(info.label, sizeof info.label);
        chip.lines = static_cast<int>(info.lines);
      }
      calls.Close(fd);
    } else {
      chip.label = std::string("cannot be opened: ") + std::strerror(errno);
    }
    chips.push_back(chip);
  }
  ::closedir(dir);
  std::sort(chips.begin(), chips.end(),
            [](const GpioChipInfo& a, const GpioChipInfo& b) { return a.path < b.path; });
  return chips;
}
