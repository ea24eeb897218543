#pragma once

#include <optional>
#include <string>
#include <vector>

// One channel (pressure or temperature) of an IIO device and how its value
// is read: the driver's processed value (<prefix>_input) where it offers
// one, otherwise (<prefix>_raw + offset) x scale, as the kernel's IIO ABI
// has it. Either way the value is in kilopascal for pressure and in
// milli-degrees Celsius for temperature.
struct TiioChannel {
  bool present = false;
  bool processed = false;  // <prefix>_input; false: _raw with scale and offset
  std::string file;        // the file read for each value (_input or _raw)
  double scale = 1;        // for _raw: <prefix>_scale, or the type's shared one
  double offset = 0;       // for _raw: <prefix>_offset, likewise
};

// An IIO device with a pressure channel, as the sysfs tree shows it.
struct TiioDevice {
  std::string name;  // the driver's name for it: "bme280", "lps22hb", ...
  std::string path;  // its folder: /sys/bus/iio/devices/iio:deviceN
  TiioChannel pressure;
  TiioChannel temperature;  // present: the device has a temperature channel
  // The pressure oversampling ratio, where the driver offers it (0: not
  // offered), and the ratios it takes, where it lists them.
  int oversampling_ratio = 0;
  std::vector<int> oversampling_available;

  bool HasTemperature() const { return temperature.present; }
  // The file that sets the oversampling ratio.
  std::string OversamplingFile() const;
};

// The IIO devices under a sysfs folder (the system's, or a test's fake tree)
// that have a pressure channel.
class Tiio_devices {
 public:
  static constexpr const char* kDefaultRoot = "/sys/bus/iio/devices";

  explicit Tiio_devices(std::string root = kDefaultRoot) : root_(std::move(root)) {}
  const std::string& Root() const { return root_; }

  // Every device with a pressure channel, by device number (iio:device2
  // before iio:device10).
  std::vector<TiioDevice> List() const;
  // The device a setting names: a device's name (the first device of that
  // name) or its folder (anything with a '/'). Nothing, with the reason in
  // *why, when there is none or it has no pressure channel.
  std::optional<TiioDevice> Find(const std::string& name_or_path, std::string* why) const;
  // The device in one folder; nothing, with the reason, when it is no IIO
  // device with a pressure channel or its attributes cannot be read.
  static std::optional<TiioDevice> Describe(const std::string& path, std::string* why);

 private:
  std::string root_;
};

// Whether this process may write the pressure oversampling ratio, as the
// file's permissions stand (false where the driver offers none).
bool MayWriteOversampling(const TiioDevice& device);
// Sets the driver's pressure oversampling ratio. False with the reason in
// words: a ratio the driver does not list, an attribute the program may not
// write (the driver's setting then stays), or the driver's refusal.
bool SetPressureOversampling(const TiioDevice& device, int ratio, std::string* why);
