// The IIO pressure sensors under a sysfs folder: which devices have a
// pressure channel, how each channel is read, and the oversampling setting.

#include "iio/Tiio_devices.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "iio/Tiio_attribute.h"

namespace {

constexpr const char* kDevicePrefix = "iio:device";

// The number of an "iio:deviceN" folder; -1 for any other entry (triggers).
long DeviceNumber(const std::string& entry) {
  const std::string prefix = kDevicePrefix;
  if (entry.compare(0, prefix.size(), prefix) != 0 || entry.size() == prefix.size()) return -1;
  int64_t number = 0;
  if (!ParseIioInteger(entry.substr(prefix.size()), &number) || number < 0) return -1;
  return static_cast<long>(number);
}

// Reads a number attribute that may be missing; false with the reason when
// it is there but cannot be read or is no number.
bool OptionalNumber(const std::string& file, double* value, std::string* why) {
  if (!IioAttributeExists(file)) return true;
  std::string text;
  if (!ReadIioAttribute(file, &text, why)) return false;
  if (!ParseIioNumber(text, value)) {
    *why = file + ": \"" + text + "\" is no number";
    return false;
  }
  return true;
}

// The channel of `type` ("pressure", "temp") in a device's folder: the
// plain channel or channel 0. Scale and offset may be the channel's own or
// shared by all channels of the type.
bool DescribeChannel(const std::string& path, const std::string& type, TiioChannel* channel,
                     std::string* why) {
  *channel = TiioChannel();
  for (const std::string& prefix : {path + "/in_" + type, path + "/in_" + type + "0"}) {
    if (IioAttributeExists(prefix + "_input")) {
      channel->present = true;
      channel->processed = true;
      channel->file = prefix + "_input";
      return true;
    }
    if (IioAttributeExists(prefix + "_raw")) {
      channel->present = true;
      channel->file = prefix + "_raw";
      // The channel's own scale and offset, or those shared by the type.
      const auto own_or_shared = [&](const char* suffix) {
        return IioAttributeExists(prefix + suffix) ? prefix + suffix
                                                   : path + "/in_" + type + suffix;
      };
      return OptionalNumber(own_or_shared("_scale"), &channel->scale, why) &&
             OptionalNumber(own_or_shared("_offset"), &channel->offset, why);
    }
  }
  return true;
}

}  // namespace

std::string TiioDevice::OversamplingFile() const {
  return path + "/in_pressure_oversampling_ratio";
}

std::optional<TiioDevice> Tiio_devices::Describe(const std::string& path, std::string* why) {
  TiioDevice device;
  device.path = path;
  while (device.path.size() > 1 && device.path.back() == '/') device.path.pop_back();
  if (!ReadIioAttribute(device.path + "/name", &device.name, why)) return std::nullopt;
  if (!DescribeChannel(device.path, "pressure", &device.pressure, why) ||
      !DescribeChannel(device.path, "temp", &device.temperature, why))
    return std::nullopt;
  if (!device.pressure.present) {
    *why = device.name + " at " + device.path + " has no pressure channel";
    return std::nullopt;
  }
  // The oversampling is a setting: a device whose ratio cannot be read is
  // still read for its values.
  std::string text, ignored;
  int64_t ratio = 0;
  if (ReadIioAttribute(device.OversamplingFile(), &text, &ignored) &&
      ParseIioInteger(text, &ratio) && ratio > 0 && ratio <= 1 << 20) {
    device.oversampling_ratio = static_cast<int>(ratio);
    // Some drivers list the ratios per channel, others for all channels.
    for (const char* list :
         {"/in_pressure_oversampling_ratio_available", "/oversampling_ratio_available"}) {
      if (ReadIioAttribute(device.path + list, &text, &ignored) &&
          ParseIioIntegerList(text, &device.oversampling_available))
        break;
    }
  }
  return device;
}

std::vector<TiioDevice> Tiio_devices::List() const {
  std::vector<std::pair<long, std::string>> entries;
  if (DIR* dir = ::opendir(root_.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const long number = DeviceNumber(entry->d_name);
      if (number >= 0) entries.emplace_back(number, entry->d_name);
    }
    ::closedir(dir);
  }
  std::sort(entries.begin(), entries.end());
  std::vector<TiioDevice> devices;
  for (const auto& entry : entries) {
    std::string ignored;
    if (auto device = Describe(root_ + "/" + entry.second, &ignored))
      devices.push_back(std::move(*device));
  }
  return devices;
}

std::optional<TiioDevice> Tiio_devices::Find(const std::string& name_or_path,
                                             std::string* why) const {
  if (name_or_path.empty()) {
    *why = "no IIO device is chosen";
    return std::nullopt;
  }
  if (name_or_path.find('/') != std::string::npos) {
    if (!IioAttributeExists(name_or_path)) {
      *why = "there is no IIO device at " + name_or_path;
      return std::nullopt;
    }
    return Describe(name_or_path, why);
  }
  for (TiioDevice& device : List())
    if (device.name == name_or_path) return std::move(device);
  *why = "no IIO pressure sensor named " + name_or_path + " under " + root_;
  return std::nullopt;
}

bool MayWriteOversampling(const TiioDevice& device) {
  // The effective ids and capabilities, those the write would have.
  return device.oversampling_ratio > 0 &&
         ::faccessat(AT_FDCWD, device.OversamplingFile().c_str(), W_OK, AT_EACCESS) == 0;
}

bool SetPressureOversampling(const TiioDevice& device, int ratio, std::string* why) {
  if (device.oversampling_ratio == 0) {
    *why = "the " + device.name + " driver offers no pressure oversampling setting";
    return false;
  }
  const auto& available = device.oversampling_available;
  if (!available.empty() &&
      std::find(available.begin(), available.end(), ratio) == available.end()) {
    *why = "the " + device.name + " driver takes no oversampling ratio of " + std::to_string(ratio);
    return false;
  }
  int error = 0;
  std::string reason;
  if (WriteIioAttribute(device.OversamplingFile(), std::to_string(ratio), &reason, &error))
    return true;
  if (error == EACCES || error == EPERM || error == EROFS)
    *why = "the program may not write " + device.OversamplingFile() + "; the driver's setting (" +
           std::to_string(device.oversampling_ratio) + ") stays";
  else
    *why = "the " + device.name + " driver did not take the ratio: " + reason;
  return false;
}
