// barometer.ini: the settings beyond setup.ini, kept whole across a load and
// a save, with bad values falling back to the feature's default.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "config/Mqtt_ini.h"
#include "config/Port_settings.h"
#include "config/Reading_settings.h"
#include "config/Tbarometer_ini.h"
#include "publish/Mqtt_settings.h"

namespace {

void WriteFile(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(BarometerIni, MissingFileIsEmptyAndSavesPrivately) {
  Tbarometer_ini ini;
  ASSERT_TRUE(ini.Load("fresh.ini"));
  EXPECT_FALSE(ini.Has("port"));
  EXPECT_EQ(ini.Get("port", "lpt"), "lpt");
  ini.Set("port", "gpio");
  ini.SetInt("gpio_clock", 17);
  ini.SetNumber("storm_threshold", 4.5);
  ini.SetBool("mqtt_tls", true);
  ASSERT_TRUE(ini.Save());

  struct stat info;
  ASSERT_EQ(stat("fresh.ini", &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  Tbarometer_ini back;
  ASSERT_TRUE(back.Load("fresh.ini"));
  EXPECT_EQ(back.Get("port"), "gpio");
  EXPECT_EQ(back.GetInt("gpio_clock", -1, -1, 1000), 17);
  EXPECT_EQ(back.GetNumber("storm_threshold", 4.0, 1.0, 10.0), 4.5);
  EXPECT_TRUE(back.GetBool("mqtt_tls", false));
}

TEST(BarometerIni, UnknownLinesCommentsAndOrderSurviveASave) {
  WriteFile("keep.ini",
            "\xEF\xBB\xBF# mine\r\nfuture_key\tsome value with  blanks\r\n\r\nport lpt\n"
            "mqtt_password\tp@ss word\n");
  Tbarometer_ini ini;
  ASSERT_TRUE(ini.Load("keep.ini"));
  EXPECT_EQ(ini.Get("port"), "lpt");
  EXPECT_EQ(ini.Get("mqtt_password"), "p@ss word");
  ini.Set("port", "ftdi");
  ini.Set("evil", "a\nport\tgpio");  // a line end cannot make a second setting
  ASSERT_TRUE(ini.Save());
  const std::string text = ReadFile("keep.ini");
  EXPECT_NE(text.find("# mine\nfuture_key\tsome value with  blanks\n\nport\tftdi\n"),
            std::string::npos)
      << text;
  Tbarometer_ini back;
  ASSERT_TRUE(back.Load("keep.ini"));
  EXPECT_EQ(back.Get("port"), "ftdi");
  EXPECT_EQ(back.Get("evil"), "aport\tgpio");
}

TEST(BarometerIni, BadValuesGiveTheDefault) {
  WriteFile("bad.ini",
            "a\tnan\nb\t1e999\nc\t12abc\nd\t 7 \ne\t-3\nf\t2\ng\t\nh\t0x10\ni\tinHg\n"
            "a2\t1,5\nn\t+2.5\n");
  Tbarometer_ini ini;
  ASSERT_TRUE(ini.Load("bad.ini"));
  EXPECT_EQ(ini.GetNumber("a", 1, 0, 10), 1);
  EXPECT_EQ(ini.GetNumber("b", 1, 0, 10), 1);
  EXPECT_EQ(ini.GetNumber("c", 1, 0, 10), 1);
  EXPECT_EQ(ini.GetInt("d", 1, 0, 10), 7);
  EXPECT_EQ(ini.GetInt("e", 1, 0, 10), 1);  // out of range
  EXPECT_EQ(ini.GetInt("e", 1, -5, 10), -3);
  EXPECT_TRUE(ini.GetBool("f", true));  // neither 0 nor 1
  EXPECT_FALSE(ini.GetBool("f", false));
  EXPECT_EQ(ini.GetInt("g", 4, 0, 10), 4);
  EXPECT_EQ(ini.GetInt("h", 4, 0, 100), 4);
  EXPECT_EQ(ini.GetChoice("i", {"mbar", "inHg"}, "mbar"), "inHg");
  EXPECT_EQ(ini.GetChoice("i", {"mbar", "hPa"}, "mbar"), "mbar");
  EXPECT_EQ(ini.GetNumber("a2", 1, 0, 10), 1);  // a comma is no decimal point
  EXPECT_EQ(ini.GetNumber("n", 1, 0, 10), 2.5);
}

TEST(BarometerIni, NumbersUseAPointUnderACommaLocale) {
  const std::string old = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale";
  Tbarometer_ini ini;
  ini.SetNumber("x", 0.1);
  EXPECT_EQ(ini.Get("x"), "0.1");
  EXPECT_EQ(ParseIniNumber("0.25"), 0.25);
  std::setlocale(LC_ALL, old.c_str());
}

TEST(BarometerIni, AFileThatCannotBeReadIsNotWrittenOver) {
  ASSERT_EQ(mkdir("folder.ini", 0700), 0);
  Tbarometer_ini ini;
  EXPECT_FALSE(ini.Load("folder.ini"));
  EXPECT_FALSE(ini.LastError().empty());
  ini.Set("port", "gpio");
  EXPECT_FALSE(ini.Save());

  WriteFile("big.ini", std::string(3 << 20, 'x'));
  EXPECT_FALSE(ini.Load("big.ini"));
  EXPECT_EQ(ini.LastError(), "it is larger than 1 MB, too large for a settings file");
  EXPECT_FALSE(ini.Save());

  // A FIFO nobody writes to is refused at once, not waited on.
  ASSERT_EQ(mkfifo("fifo.ini", 0600), 0);
  EXPECT_FALSE(ini.Load("fifo.ini"));
  EXPECT_EQ(ini.LastError(), "it is a FIFO, not a settings file");
}

// Each feature reads its keys; what they refuse is kept, each key once with
// its value and why, for the one message of the start.
TEST(BarometerIni, TheKeysRefusedAreNamedWithWhy) {
  WriteFile("refused.ini",
            "mqtt_enabled\tyes\nmqtt_port\t70000\nmqtt_interval\t-1\npressure_unit\tbar\n"
            "temperature_unit\tF\nstorm_threshold\tnan\ngpio_clock\t12abc\nport\tgpio\n");
  Tbarometer_ini ini;
  ASSERT_TRUE(ini.Load("refused.ini"));
  const TmqttSettings mqtt = LoadMqttSettings(ini);
  LoadReadingSettings(ini);
  const PortChoice port = ReadPortChoice(ini);
  LoadMqttSettings(ini);  // read again: no second refusal
  EXPECT_FALSE(mqtt.enabled);
  EXPECT_EQ(mqtt.port, TmqttSettings::kPlainPort);
  EXPECT_EQ(mqtt.interval, TmqttSettings::kDefaultInterval);
  EXPECT_EQ(port.kind, PortChoice::Kind::kGpio);
  std::vector<std::string> keys;
  for (const Tbarometer_ini::Refusal& r : ini.Refusals()) keys.push_back(r.key);
  EXPECT_EQ(keys, (std::vector<std::string>{"mqtt_enabled", "mqtt_port", "mqtt_interval",
                                            "pressure_unit", "storm_threshold", "gpio_clock"}));
  EXPECT_EQ(ini.RefusalsText().rfind(
                "mqtt_enabled yes (neither 1 nor 0), mqtt_port 70000 (not a whole number from 1 "
                "to 65535), mqtt_interval -1 (not a whole number from 0 to 86400), ",
                0),
            0u)
      << ini.RefusalsText();
  EXPECT_NE(ini.RefusalsText().find("pressure_unit bar (not mbar, hPa, inHg, mmHg or kPa)"),
            std::string::npos)
      << ini.RefusalsText();
  EXPECT_NE(ini.RefusalsText().find("storm_threshold nan (not a number from 1 to 10)"),
            std::string::npos)
      << ini.RefusalsText();
  ASSERT_TRUE(ini.Load("refused.ini"));
  EXPECT_TRUE(ini.Refusals().empty()) << "a new load starts afresh";
}

// No client id in the file stays none when the settings are stored again:
// the client works out the default where it runs, so a copied folder
// never carries another's.
TEST(BarometerIni, AnEmptyClientIdStaysEmpty) {
  Tbarometer_ini ini;
  ASSERT_TRUE(ini.Load("id.ini"));
  TmqttSettings s = LoadMqttSettings(ini);
  EXPECT_EQ(s.client_id, "");
  StoreMqttSettings(ini, s);
  EXPECT_EQ(ini.Get("mqtt_client_id", "none"), "");
  ini.Set("mqtt_client_id", "kitchen");
  EXPECT_EQ(LoadMqttSettings(ini).client_id, "kitchen");
}

}  // namespace
