// IIO pressure sensors against fake sysfs trees in a temporary folder,
// with the text the real drivers print: the devices listed, each driver's
// layout read in mbar and deg C, n readings averaged, and every kind of
// failed read reported with its reason, the readings coming back by
// themselves.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "iio/Tiio_attribute.h"
#include "iio/Tiio_devices.h"
#include "iio/Tiio_sensor.h"
#include "platform/Clock.h"
#include "tests/support/fake_iio.h"
#include "tests/support/without_permission_override.h"

namespace {

namespace fs = std::filesystem;
using namespace fake_iio;

class FakeSysfs : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }

  std::string Device(int number) const { return tree.Device(number); }
  std::string Add(int number, const Files& files) { return tree.Add(number, files); }
  static void Write(const std::string& path, const std::string& text) { Tree::Write(path, text); }
  // One tick, a second after the last.
  SourceReading Tick(Tiio_sensor& sensor, bool force = false) {
    clock.AdvanceMs(1000);
    return sensor.Measure(force);
  }

  QTemporaryDir dir;
  std::string root = dir.filePath("devices").toStdString();
  Tree tree{root};
  VirtualClock clock;
};

TEST_F(FakeSysfs, ListsPressureSensorsInDeviceOrderAndFindsOneByNameOrFolder) {
  Add(10, Bme280());
  Add(2, Lps22hb());
  Add(3, Bme280());
  Add(0, {{"name", "hdc100x\n"}, {"in_temp_raw", "25000\n"}, {"in_humidityrelative_raw", "9\n"}});
  Add(1, {{"name", "abp060mg\n"}, {"in_pressure_raw", "8000\n"}, {"in_pressure_scale", "1\n"}});
  Add(4, Ms5611());
  fs::create_directories(root + "/trigger0");
  std::ofstream(root + "/trigger0/name") << "bme280-dev10\n";

  const std::vector<TiioDevice> devices = Tiio_devices(root).List();
  std::vector<std::string> names;
  for (const TiioDevice& d : devices) names.push_back(d.name);
  EXPECT_EQ(names, (std::vector<std::string>{"abp060mg", "lps22hb", "bme280", "ms5611", "bme280"}));
  EXPECT_FALSE(devices[0].HasTemperature());
  EXPECT_TRUE(devices[1].HasTemperature());
  EXPECT_FALSE(devices[1].pressure.processed);
  EXPECT_DOUBLE_EQ(devices[1].pressure.scale, 0.000024414);
  EXPECT_EQ(devices[1].oversampling_ratio, 0);
  EXPECT_TRUE(devices[2].pressure.processed);
  EXPECT_EQ(devices[2].path, Device(3));
  EXPECT_EQ(devices[2].oversampling_ratio, 16);
  EXPECT_EQ(devices[2].oversampling_available, (std::vector<int>{1, 2, 4, 8, 16}));
  // The ratios listed for all channels.
  EXPECT_EQ(devices[3].oversampling_available, (std::vector<int>{256, 512, 1024, 2048, 4096}));

  const Tiio_devices tree(root);
  std::string why;
  auto first = tree.Find("bme280", &why);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->path, Device(3));
  auto by_path = tree.Find(Device(10) + "/", &why);
  ASSERT_TRUE(by_path);
  EXPECT_EQ(by_path->path, Device(10));
  EXPECT_FALSE(tree.Find("dps310", &why));
  EXPECT_EQ(why, "no IIO pressure sensor named dps310 under " + root);
  EXPECT_FALSE(tree.Find(Device(0), &why));
  EXPECT_EQ(why, "hdc100x at " + Device(0) + " has no pressure channel");
  EXPECT_FALSE(tree.Find(Device(7), &why));
  EXPECT_TRUE(Tiio_devices(root + "/nothing").List().empty());
}

TEST_F(FakeSysfs, EachDriversLayoutReadsInMbarAndDegrees) {
  struct Case {
    Files files;
    double mbar, celsius;
    std::optional<int32_t> d1, d2;
  };
  const Case cases[] = {
      {Bmp280(), 1000.4, 27.7, {}, {}},
      {Bme280(), 963.86199218, 21.56, {}, {}},
      {Lps22hb(), 4150272 * 0.000024414 * 10, 22.5, 4150272, 2250},
      {Lps25h(), 4150272 * 0.000024414 * 10, 22.5, 4150272, -9600},
      {Ms5611(), 1000.09, 20.07, {}, {}},
      {Dps310(), 1013.25, 21.5, {}, {}},
  };
  int number = 0;
  for (const Case& c : cases) {
    const std::string name = c.files.at("name");
    SCOPED_TRACE(name);
    Add(number, c.files);
    Tiio_sensor sensor(clock, Device(number++), root);
    const SourceReading r = Tick(sensor);
    ASSERT_TRUE(r.taken);
    ASSERT_TRUE(r.good) << r.reason;
    EXPECT_NEAR(r.pressure, c.mbar, 1e-6);
    EXPECT_NEAR(r.temperature, c.celsius, 1e-6);
    EXPECT_EQ(r.d1, c.d1);
    EXPECT_EQ(r.d2, c.d2);
    EXPECT_EQ(sensor.Kind(), SampleSourceKind::kIio);
  }
}

TEST_F(FakeSysfs, AveragesNReadingsASampleEveryTsTicks) {
  Add(0, Bme280());
  Tiio_sensor sensor(clock, "bme280", root);
  // Each reading of the pressure moves the driver's value by 0.01 kPa.
  int reads = 0;
  sensor.UseReader([&](const std::string& path, std::string* text, std::string* why, int* error) {
    const bool read = ReadIioAttribute(path, text, why, error);
    if (path.find("in_pressure_input") != std::string::npos)
      Write(path, "100.0" + std::to_string(++reads) + "0000000\n");
    return read;
  });
  Write(Device(0) + "/in_pressure_input", "100.000000000\n");
  sensor.SetSampleCount(4);
  sensor.SetSequenceInterval(3);
  EXPECT_EQ(sensor.GetSampleCount(), 4);
  EXPECT_EQ(sensor.GetSequenceInterval(), 3);
  SourceReading r = Tick(sensor);
  ASSERT_TRUE(r.good) << r.reason;
  EXPECT_NEAR(r.pressure, (1000.0 + 1000.1 + 1000.2 + 1000.3) / 4, 1e-9);
  EXPECT_NEAR(r.temperature, 21.56, 1e-9);
  EXPECT_EQ(reads, 4);
  // Then one sample every third tick; a forced tick runs one at once.
  EXPECT_FALSE(Tick(sensor).taken);
  EXPECT_FALSE(Tick(sensor).taken);
  EXPECT_TRUE(Tick(sensor).taken);
  EXPECT_TRUE(Tick(sensor, true).taken);
  EXPECT_FALSE(Tick(sensor).taken);
  EXPECT_EQ(reads, 12);
  // Nothing to average: a failed sample, not zeros taken for data.
  sensor.SetSampleCount(0);
  r = Tick(sensor, true);
  EXPECT_TRUE(r.taken);
  EXPECT_FALSE(r.good);
  EXPECT_EQ(r.reason, "no readings are asked for (n is 0)");
  sensor.SetSampleCount(std::nan(""));
  EXPECT_EQ(sensor.GetSampleCount(), 0);
  sensor.SetSequenceInterval(-1e300);
  EXPECT_EQ(sensor.GetSequenceInterval(), INT32_MIN);
}

TEST_F(FakeSysfs, EveryFailedReadSaysWhyAndTheReadingsComeBackByThemselves) {
  const std::string device = Add(0, Bmp280());
  const std::string pressure = device + "/in_pressure_input";
  const std::string temperature = device + "/in_temp_input";
  Tiio_sensor sensor(clock, "bmp280", root);
  sensor.SetSampleCount(2);
  ASSERT_TRUE(Tick(sensor).good);

  struct Fault {
    const char* what;
    std::function<void()> make;
    SampleFailure failure;
    std::string reason;
  };
  const Fault faults[] = {
      // /proc/self/mem is a regular file whose read at offset 0 fails
      // with EIO, as a driver's failed bus transfer does.
      {"EIO",
       [&] {
         fs::remove(pressure);
         fs::create_symlink("/proc/self/mem", pressure);
       },
       SampleFailure::kReadError,
       "the pressure of bmp280 could not be read: " + pressure + ": EIO (Input/output error)"},
      // A FIFO with no writer: refused at once, never waited on.
      {"FIFO",
       [&] {
         fs::remove(temperature);
         ASSERT_EQ(mkfifo(temperature.c_str(), 0600), 0);
       },
       SampleFailure::kReadError,
       "the temperature of bmp280 could not be read: " + temperature +
           ": is not a sysfs attribute (a FIFO, a device or a folder stands there)"},
      {"empty", [&] { Write(pressure, "\n"); }, SampleFailure::kReadError,
       "the pressure of bmp280 could not be read: " + pressure + ": is empty"},
      {"unparsable", [&] { Write(temperature, "27,700\n"); }, SampleFailure::kReadError,
       "the temperature of bmp280 could not be read: " + temperature + ": \"27,700\" is no number"},
      {"too long", [&] { Write(pressure, std::string(300, '1')); }, SampleFailure::kReadError,
       "the pressure of bmp280 could not be read: " + pressure +
           ": is longer than an attribute (256 bytes)"},
      {"out of range", [&] { Write(pressure, "112.500000000\n"); }, SampleFailure::kOutOfRange,
       "bmp280 read 1125.00 mbar and 27.70 deg C, outside its rated range (300.00 to 1100.00 "
       "mbar, -40.00 to 85.00 deg C)"},
      {"too cold", [&] { Write(temperature, "-46000\n"); }, SampleFailure::kOutOfRange,
       "bmp280 read 1000.40 mbar and -46.00 deg C, outside its rated range (300.00 to 1100.00 "
       "mbar, -40.00 to 85.00 deg C)"},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    fault.make();
    const SourceReading failed = Tick(sensor);
    EXPECT_TRUE(failed.taken);
    EXPECT_FALSE(failed.good);
    EXPECT_EQ(failed.failure, fault.failure);
    EXPECT_EQ(failed.reason, fault.reason);
    EXPECT_EQ(failed.pressure, 0);
    // The driver's files as they were: the next sample is good again.
    Write(pressure, Bmp280()["in_pressure_input"]);
    Write(temperature, Bmp280()["in_temp_input"]);
    const SourceReading good = Tick(sensor);
    ASSERT_TRUE(good.good) << good.reason;
    EXPECT_NEAR(good.pressure, 1000.4, 1e-9);
  }
  // A value just beyond the rated range is still the sensor's.
  Write(pressure, "110.010000000\n");
  clock.AdvanceMs(kIioReferenceMs + 1000);  // no step check after a gap
  EXPECT_TRUE(sensor.Measure(false).good);
  // The errors without a file of their own, in words.
  EXPECT_EQ(IioErrorWords(EAGAIN), "EAGAIN (Resource temporarily unavailable)");
  EXPECT_EQ(IioErrorWords(ETIMEDOUT), "ETIMEDOUT (Connection timed out)");
  EXPECT_EQ(IioErrorWords(ENODEV), "ENODEV (No such device)");
}

TEST_F(FakeSysfs, ADeviceThatGoesAndComesBackUnderAnotherNumberIsFoundByItsName) {
  Add(0, Bme280());
  Tiio_sensor sensor(clock, "bme280", root);
  ASSERT_TRUE(Tick(sensor).good);
  EXPECT_EQ(sensor.Device().path, Device(0));
  // Unbound: the folder goes between two samples.
  const std::string aside = dir.filePath("aside").toStdString();
  fs::rename(Device(0), aside);
  SourceReading r = Tick(sensor);
  EXPECT_FALSE(r.good);
  EXPECT_EQ(r.failure, SampleFailure::kNoModule);
  EXPECT_EQ(r.reason, "bme280 is gone (" + Device(0) +
                          "/in_pressure_input: ENOENT (No such file or directory)); it is "
                          "looked for again at the next sample");
  r = Tick(sensor);
  EXPECT_FALSE(r.good);
  EXPECT_EQ(r.reason, "no IIO pressure sensor named bme280 under " + root);
  // Bound again as another device.
  fs::rename(aside, Device(5));
  r = Tick(sensor);
  ASSERT_TRUE(r.good) << r.reason;
  EXPECT_NEAR(r.pressure, 963.86199218, 1e-6);
  EXPECT_EQ(sensor.Device().path, Device(5));
}

TEST_F(FakeSysfs, AStepFasterThanTheWeatherIsRefusedUntilTheNextSampleConfirmsIt) {
  const std::string pressure = Add(0, Bmp280()) + "/in_pressure_input";
  Tiio_sensor sensor(clock, "bmp280", root);
  ASSERT_TRUE(Tick(sensor).good);  // 1000.40
  // A lone spike of 2 mbar in a second: refused, and the next sample is
  // judged against the last accepted one.
  Write(pressure, "100.240000000\n");
  SourceReading r = Tick(sensor);
  EXPECT_EQ(r.failure, SampleFailure::kRefused);
  EXPECT_EQ(r.reason,
            "bmp280 moved from 1000.40 mbar and 27.70 deg C to 1002.40 mbar and 27.70 deg C, "
            "faster than the weather can");
  Write(pressure, "100.041000000\n");
  EXPECT_TRUE(Tick(sensor).good);
  // Within the noise and the weather of the time between: accepted.
  Write(pressure, "100.055000000\n");
  EXPECT_TRUE(Tick(sensor).good);
  // A real step (the sensor carried down a floor and more) is there again
  // at the next sample: refused once, then accepted.
  Write(pressure, "100.300000000\n");
  EXPECT_EQ(Tick(sensor).failure, SampleFailure::kRefused);
  r = Tick(sensor);
  ASSERT_TRUE(r.good) << r.reason;
  EXPECT_NEAR(r.pressure, 1003.0, 1e-9);
}

TEST_F(FakeSysfs, DetectionRefusesADeviceWithoutTemperatureAndTheTestSaysWhatItRead) {
  Add(0,
      {{"name", "abp060mg\n"}, {"in_pressure_raw", "8000\n"}, {"in_pressure_scale", "0.0125\n"}});
  Add(1, Ms5611());
  std::string why;
  Tiio_sensor pressure_only(clock, "abp060mg", root);
  EXPECT_FALSE(pressure_only.Detect(&why));
  EXPECT_EQ(why, "abp060mg at " + Device(0) +
                     " has no temperature channel; the station needs one beside the pressure");
  Tiio_sensor missing(clock, "bmp280", root);
  EXPECT_FALSE(missing.Detect(&why));
  EXPECT_EQ(why, "no IIO pressure sensor named bmp280 under " + root);
  Tiio_sensor ms5611(clock, "ms5611", root);
  EXPECT_TRUE(ms5611.Detect(&why));
  EXPECT_EQ(why, "");

  TiioTest test = TestIioDevice("ms5611", root);
  EXPECT_TRUE(test.ok);
  EXPECT_NEAR(test.pressure, 1000.09, 1e-9);
  EXPECT_EQ(test.text, "ms5611 at " + Device(1) + ": 1000.09 mbar, 20.07 deg C");
  test = TestIioDevice(Device(0), root);
  EXPECT_FALSE(test.ok);
  EXPECT_NE(test.text.find("has no temperature channel"), std::string::npos) << test.text;

  // The oversampling: a ratio the driver lists goes in, whole (a shorter
  // one leaves nothing of the longer); one it does not list, or a file the
  // program may not write, leaves the driver's.
  TiioDevice device = *Tiio_devices(root).Find("ms5611", &why);
  EXPECT_TRUE(SetPressureOversampling(device, 512, &why)) << why;
  std::string text;
  ASSERT_TRUE(ReadIioAttribute(device.OversamplingFile(), &text, &why));
  EXPECT_EQ(text, "512");
  EXPECT_TRUE(SetPressureOversampling(device, 1024, &why)) << why;
  ASSERT_TRUE(ReadIioAttribute(device.OversamplingFile(), &text, &why));
  EXPECT_EQ(text, "1024");
  EXPECT_FALSE(SetPressureOversampling(device, 100, &why));
  EXPECT_EQ(why, "the ms5611 driver takes no oversampling ratio of 100");
  ASSERT_EQ(chmod(device.OversamplingFile().c_str(), 0444), 0);
  {
    WithoutPermissionOverride as_a_user;
    EXPECT_FALSE(SetPressureOversampling(device, 256, &why));
  }
  EXPECT_EQ(why, "the program may not write " + device.OversamplingFile() +
                     "; the driver's setting (4096) stays");
  ASSERT_TRUE(ReadIioAttribute(device.OversamplingFile(), &text, &why));
  EXPECT_EQ(text, "1024");
  device = *Tiio_devices(root).Find(Device(0), &why);
  EXPECT_FALSE(SetPressureOversampling(device, 2, &why));
  EXPECT_EQ(why, "the abp060mg driver offers no pressure oversampling setting");
}

TEST(IioNumbers, OnlyWhatADriverPrintsIsANumber) {
  double v = 0;
  EXPECT_TRUE(ParseIioNumber("100.040000000", &v));
  EXPECT_DOUBLE_EQ(v, 100.04);
  EXPECT_TRUE(ParseIioNumber("-27700", &v));
  EXPECT_DOUBLE_EQ(v, -27700);
  for (const char* bad : {"", "nan", "inf", "-inf", "1e3", "+5", "1,5", "12 ", " 12", "0x10"})
    EXPECT_FALSE(ParseIioNumber(bad, &v)) << bad;
  std::vector<int> list;
  EXPECT_TRUE(ParseIioIntegerList("1 2 4 8 16", &list));
  EXPECT_FALSE(ParseIioIntegerList("1 2 x", &list));
  EXPECT_FALSE(ParseIioIntegerList(" ", &list));
  EXPECT_EQ(list, (std::vector<int>{1, 2, 4, 8, 16}));
}

}  // namespace
