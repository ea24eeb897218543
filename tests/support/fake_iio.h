#pragma once

// Fake sysfs trees of IIO devices in a test's temporary folder, with the
// attributes the real drivers print, as they print them.

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>

namespace fake_iio {

using Files = std::map<std::string, std::string>;

// The attributes of the real drivers, as they print them.
// bmp280-core.c: pressure IIO_VAL_FRACTIONAL (Pa in Q24.8 over 256000),
// temperature IIO_VAL_INT in milli-degrees; its own list of ratios.
inline Files Bmp280() {
  return {{"name", "bmp280\n"},
          {"in_pressure_input", "100.040000000\n"},
          {"in_temp_input", "27700\n"},
          {"in_pressure_oversampling_ratio", "16\n"},
          {"in_pressure_oversampling_ratio_available", "1 2 4 8 16\n"},
          {"in_temp_oversampling_ratio", "2\n"},
          {"in_temp_oversampling_ratio_available", "1 2 4 8 16\n"}};
}
inline Files Bme280() {
  Files files = Bmp280();
  files["name"] = "bme280\n";
  files["in_pressure_input"] = "96.386199218\n";  // 24674867 / 256000
  files["in_temp_input"] = "21560\n";
  files["in_humidityrelative_input"] = "46332\n";
  return files;
}
// st_pressure_core.c (LPS22HB): 24-bit raw pressure, scale 10^8 / 4096
// nano-kPa as IIO_VAL_INT_PLUS_NANO; raw temperature at 100 LSB/deg C, scale
// 1000/100 as IIO_VAL_FRACTIONAL, no offset.
inline Files Lps22hb() {
  return {{"name", "lps22hb\n"},
          {"in_pressure_raw", "4150272\n"},
          {"in_pressure_scale", "0.000024414\n"},
          {"in_temp_raw", "2250\n"},
          {"in_temp_scale", "10.000000000\n"},
          {"sampling_frequency", "1\n"},
          {"sampling_frequency_available", "1 10 25 50 75\n"}};
}
// The same driver for the LPS25H: 480 LSB/deg C and an offset of 42.5 deg C,
// both as IIO_VAL_FRACTIONAL.
inline Files Lps25h() {
  Files files = Lps22hb();
  files["name"] = "lps25h\n";
  files["in_temp_raw"] = "-9600\n";
  files["in_temp_scale"] = "2.083333333\n";
  files["in_temp_offset"] = "20400.000000000\n";
  return files;
}
// ms5611_core.c: processed values (pressure in kPa as IIO_VAL_INT_PLUS_MICRO,
// temperature in milli-degrees) beside scales, and a list of ratios shared
// by both channels.
inline Files Ms5611() {
  return {{"name", "ms5611\n"},
          {"in_pressure_input", "100.009000\n"},
          {"in_pressure_scale", "0.001000\n"},
          {"in_temp_input", "20070\n"},
          {"in_temp_scale", "10\n"},
          {"in_pressure_oversampling_ratio", "4096\n"},
          {"in_temp_oversampling_ratio", "4096\n"},
          {"oversampling_ratio_available", "256 512 1024 2048 4096\n"}};
}
// dps310.c: pressure in Pa over 1000 (IIO_VAL_FRACTIONAL), no list of ratios.
inline Files Dps310() {
  return {{"name", "dps310\n"},
          {"in_pressure_input", "101.325000000\n"},
          {"in_temp_input", "21500\n"},
          {"in_pressure_oversampling_ratio", "1\n"},
          {"in_pressure_sampling_frequency", "1\n"}};
}

// A folder of IIO devices ("iio:deviceN" folders of attribute files).
class Tree {
 public:
  explicit Tree(std::string root) : root_(std::move(root)) {}
  const std::string& Root() const { return root_; }

  std::string Device(int number) const { return root_ + "/iio:device" + std::to_string(number); }
  // Device `number` with these files; its folder.
  std::string Add(int number, const Files& files) const {
    std::filesystem::create_directories(Device(number));
    for (const auto& [name, text] : files) Write(Device(number) + "/" + name, text);
    return Device(number);
  }
  // A file's text replaced (a new file: a FIFO or link in its place goes).
  static void Write(const std::string& path, const std::string& text) {
    std::filesystem::remove(path);
    std::ofstream(path) << text;
  }

 private:
  std::string root_;
};

}  // namespace fake_iio
