// The settings file: format, loading rules, the round trip under any
// locale, failed saves and hostile values.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QWidget>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cinttypes>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <limits>

#include "main/Program.h"
#include "main/Tmain.h"
#include "support_fixture.h"
#include "windows/Tsmall.h"

namespace {

// Indexes that have a key in the file (8, the sea-level difference, has not).
constexpr std::array<uint8_t, 15> kStored = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 16};

const char kDefaultFile[] =
    "set_sampling_n\t1\n"
    "set_sampling_ts\t1\n"
    "set_altitude\t0.000000\n"
    "#warning, take care of the meteo limit sequence since they must be always coherent\n"
    "set_meteo_overcast_limit\t1002.000000\n"
    "set_meteo_variable_limit\t1009.000000\n"
    "set_meteo_sunny_limit\t1016.000000\n"
    "set_meteo_hysteresis_limit\t0.500000\n"
    "#warning, take care of the trend limit sequence since they must be always coherent\n"
    "set_quick_down_weather_rate\t-0.900000\n"
    "set_slow_down_weather_rate\t-0.230000\n"
    "set_quick_up_weather_rate\t0.900000\n"
    "set_slow_up_weather_rate\t0.230000\n"
    "set_minimized\t0.0\n"
    "set_save_on_exit\t1.0\n"
    "set_small_x\t709.000000\n"
    "set_small_y\t282.000000\n";

class SettingsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Conditions(990, 15);
    wmain->StartMeasuring();  // no setup.ini yet: one error box
    dialogs.calls.clear();
  }

  std::array<double, 17> Snapshot() {
    std::array<double, 17> values{};
    for (uint8_t i : kStored) values[i] = wmain->GetParameter(i);
    return values;
  }

  void ExpectSettings(const std::array<double, 17>& expected) {
    for (uint8_t i : kStored) EXPECT_EQ(wmain->GetParameter(i), expected[i]) << "index " << int(i);
  }

  // Loads a file as the program does: with the box that follows the loading,
  // whose text is returned ("" when there was none).
  std::string Load(const std::string& name) {
    dialogs.calls.clear();
    wmain->LoadSettings(name);
    EXPECT_TRUE(dialogs.calls.empty()) << "a box while loading";
    ShowLaterBoxes();
    EXPECT_LE(dialogs.calls.size(), 1u);
    return dialogs.calls.empty() ? "" : dialogs.calls.back().text;
  }

  // Saves a full set of non-default settings with the limits at
  // 1020/1025/1030, puts the defaults back and loads the file again.
  void RoundTrip() {
    wmain->SetParameter(1, 4);
    wmain->SetParameter(2, 10);
    wmain->SetParameter(3, 450.5);
    // One by one, from the top, as the guards accept them.
    wmain->SetParameter(4, 1030);
    wmain->SetParameter(5, 1025);
    wmain->SetParameter(6, 1020);
    wmain->SetParameter(7, 0.75);
    wmain->SetParameter(9, -1.5);
    wmain->SetParameter(10, -0.4);
    wmain->SetParameter(11, 1.6);
    wmain->SetParameter(12, 0.35);
    wmain->SetParameter(14, 0);
    wmain->SetParameter(15, 120);
    wmain->SetParameter(16, 340);
    const std::array<double, 17> saved = Snapshot();
    ASSERT_EQ(saved[6], 1020);
    wmain->SaveSettings("roundtrip.ini");
    ASSERT_EQ(dialogs.CountOf(ScriptedDialogs::Kind::Error), 0);

    // Back to the start values of every holder.
    wmain->SetParameter(1, 1);
    wmain->SetParameter(2, 1);
    wmain->SetParameter(3, 0);
    ASSERT_TRUE(wmain->SetWeatherLimits(1016, 1009, 1002));
    wmain->SetParameter(7, 0.5);
    wmain->SetParameter(9, -0.9);
    wmain->SetParameter(10, -0.23);
    wmain->SetParameter(11, 0.9);
    wmain->SetParameter(12, 0.23);
    wmain->SetParameter(14, 1);
    wmain->SetParameter(15, 709);
    wmain->SetParameter(16, 282);

    EXPECT_EQ(Load("roundtrip.ini"), "");
    ExpectSettings(saved);
  }
};

}  // namespace

TEST_F(SettingsTest, SavedFileHasTheSeventeenLinesInOrder) {
  wmain->SetParameter(3, 0);  // the start state's altitude, applied
  wmain->SaveSettings("setup.ini");
  EXPECT_EQ(ReadFile("setup.ini"), kDefaultFile);
  EXPECT_EQ(dialogs.calls.size(), 0u);

  wmain->minimized = true;
  wmain->save_on_exit = false;
  wmain->SaveSettings("setup.ini");
  const std::string text = ReadFile("setup.ini");
  EXPECT_NE(text.find("set_minimized\t1.0\nset_save_on_exit\t0.0\n"), std::string::npos);
}

TEST_F(SettingsTest, RoundTripRestoresTheSettingsSavedWhateverIsInForce) {
  RoundTrip();
  // And the other way: lower limits loaded while higher ones are in force.
  ASSERT_TRUE(wmain->SetWeatherLimits(1016, 1009, 1002));
  wmain->SaveSettings("low.ini");
  ASSERT_TRUE(wmain->SetWeatherLimits(1060, 1050, 1040));
  wmain->LoadSettings("low.ini");
  EXPECT_EQ(wmain->GetParameter(4), 1016);
  EXPECT_EQ(wmain->GetParameter(5), 1009);
  EXPECT_EQ(wmain->GetParameter(6), 1002);
  // Loading what was just saved, with it in force, changes nothing.
  const auto before = Snapshot();
  wmain->LoadSettings("low.ini");
  ExpectSettings(before);
  EXPECT_EQ(wmain->p_sea_min, wmain->p_sea_max);
}

TEST_F(SettingsTest, RoundTripUnderACommaLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
      << "locale de_DE.UTF-8 missing (./test generates it)";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  EXPECT_STREQ(probe, "0,5");  // the locale really writes commas

  RoundTrip();
  const std::string text = ReadFile("roundtrip.ini");
  EXPECT_NE(text.find("set_meteo_hysteresis_limit\t0.750000\n"), std::string::npos);
  // The only commas are the two comment lines' own.
  EXPECT_EQ(std::count(text.begin(), text.end(), ','), 2);
  EXPECT_EQ(Text(wmain->lb_alti), "450.5");
  std::setlocale(LC_ALL, previous.c_str());
}

TEST_F(SettingsTest, WeatherLimitsApplyAsOneSet) {
  // The file order overcast, variable, sunny, all above the limits in force.
  WriteFile("up.ini",
            "set_meteo_overcast_limit\t1010\nset_meteo_variable_limit\t1015\n"
            "set_meteo_sunny_limit\t1020\n");
  wmain->LoadSettings("up.ini");
  EXPECT_EQ(wmain->GetParameter(6), 1010);
  EXPECT_EQ(wmain->GetParameter(5), 1015);
  EXPECT_EQ(wmain->GetParameter(4), 1020);

  // A set out of order with the limits in force leaves them all.
  WriteFile("bad.ini", "set_meteo_sunny_limit\t1000\n");  // below variable 1015
  wmain->LoadSettings("bad.ini");
  WriteFile("bad2.ini", "set_meteo_overcast_limit\t1030\nset_meteo_variable_limit\t1025\n");
  wmain->LoadSettings("bad2.ini");
  EXPECT_FALSE(wmain->SetWeatherLimits(1013, 1012, std::nan("")));
  EXPECT_EQ(wmain->GetParameter(6), 1010);
  EXPECT_EQ(wmain->GetParameter(5), 1015);
  EXPECT_EQ(wmain->GetParameter(4), 1020);

  // All three below the set in force: needs the lowest one first.
  EXPECT_TRUE(wmain->SetWeatherLimits(990, 985, 980));
  EXPECT_EQ(wmain->GetParameter(4), 990);
  EXPECT_EQ(wmain->GetParameter(6), 980);
  EXPECT_FALSE(wmain->SetWeatherLimits(1000, 1000, 980));
}

TEST_F(SettingsTest, LinesAreReadKeyFirstValueSecondAndNothingElse) {
  const auto before = Snapshot();
  WriteFile("odd.ini",
            "SET_SAMPLING_N\t5\r\n"                 // keys match with case
            "set_hysteresis\t3\r\n"                 // no such key
            "set_quick_up_weather_rate\r\n2.5\r\n"  // value on the next line
            "set_slow_up_weather_rate \r\n"         // blank, then the line end
            "\r\n"
            "#warning, set_sampling_n 7\r\n"
            "set_meteo_hysteresis_limit\t0.9\t0.1 extra\r\n"  // later tokens ignored
            "set_sampling_n\t3\r\n"
            "set_sampling_n\t2");  // given twice, no final line end: the later wins
  EXPECT_EQ(Load("odd.ini"), "");
  auto expected = before;
  expected[1] = 2;
  expected[7] = 0.9;
  ExpectSettings(expected);

  // A value is a decimal number: sign, digits, point, fraction, exponent.
  // Words, hexadecimal, commas and a number with more after it are none, as
  // in the settings dialog's fields, and neither is a number that is not
  // finite: the old value stays.
  const struct {
    const char* text;
    double value;
  } numbers[] = {{"+7.25E+1", 72.5}, {"4.e-1", 0.4}, {"-.5e1x", 0.4}, {"3e", 0.4},
                 {"12,5", 0.4},      {"0x10", 0.4},  {".", 0.4},      {"-", 0.4},
                 {"1e999", 0.4},     {"-inf", 0.4},  {"nan", 0.4},    {".25", 0.25}};
  for (const auto& number : numbers) {
    SCOPED_TRACE(number.text);
    WriteFile("number.ini", std::string("set_meteo_hysteresis_limit\t") + number.text + "\n");
    const std::string box = Load("number.ini");
    EXPECT_EQ(wmain->GetParameter(7), number.value);
    EXPECT_EQ(box.find("set_meteo_hysteresis_limit") != std::string::npos,
              number.value == 0.4 && std::string(number.text) != "4.e-1")
        << box;
  }
}

TEST_F(SettingsTest, AltitudeAloneChangesOnlyTheAltitude) {
  Ticks(1);
  const auto before = Snapshot();
  ASSERT_NE(wmain->meteo->GetHistory(0), -1);
  const int conversions = Conversions();
  WriteFile("alt.ini", "set_altitude\t450\n");
  wmain->LoadSettings("alt.ini");
  auto expected = before;
  expected[3] = 450;
  ExpectSettings(expected);
  EXPECT_EQ(Conversions(), conversions);  // no sample taken
  EXPECT_NEAR(wmain->alt_shown, 450, 2);  // re-zeroed
  // The history restarted with the value assessed after loading.
  EXPECT_EQ(wmain->meteo->GetHistory(1), -1);
  EXPECT_NEAR(wmain->meteo->GetHistory(0), wmain->p_sea, 1e-9);
  EXPECT_EQ(wmain->alt_min, wmain->alt_max);
}

TEST_F(SettingsTest, TsTakesASampleAndMinimizedSwitchesWindowsWhileLoading) {
  wmain->show();
  const int before = Conversions();
  // 0.5 counts as on.
  WriteFile("acts.ini", "set_sampling_ts\t10\nset_minimized\t0.5\n");
  wmain->LoadSettings("acts.ini");
  EXPECT_EQ(Conversions(), before + 2);  // only the ts line samples
  EXPECT_EQ(wmain->GetParameter(2), 10);
  EXPECT_TRUE(wmain->minimized);
  EXPECT_TRUE(wmain->isHidden());
  EXPECT_FALSE(small->isHidden());
}

TEST_F(SettingsTest, MissingFileIsReportedAndChangesNothing) {
  const auto before = Snapshot();
  wmain->LoadSettings("nofile.ini");
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(dialogs.calls[0].kind, ScriptedDialogs::Kind::Error);
  EXPECT_EQ(dialogs.calls[0].text,
            "Error : Unable to open input file nofile.ini: No such file or directory");
  // A folder is named as such.
  ASSERT_EQ(mkdir("folder.ini", 0755) == 0 || errno == EEXIST, true);
  wmain->LoadSettings("folder.ini");
  ASSERT_EQ(dialogs.calls.size(), 2u);
  EXPECT_EQ(dialogs.calls[1].text, "Error : folder.ini is a folder, not a settings file");
  ExpectSettings(before);
}

TEST_F(SettingsTest, FailedSaveKeepsTheOldFileAndSaysSo) {
  WriteFile("keep.ini", "old contents\n");

  // A disk that takes no more than 64 bytes per file.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old_limit{};
  getrlimit(RLIMIT_FSIZE, &old_limit);
  rlimit small_limit = old_limit;
  small_limit.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small_limit), 0);
  wmain->SaveSettings("keep.ini");
  setrlimit(RLIMIT_FSIZE, &old_limit);

  EXPECT_EQ(ReadFile("keep.ini"), "old contents\n");
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(dialogs.calls[0].text, "Error : Unable to open output file keep.ini: File too large");

  wmain->SaveSettings("no_such_folder/x.ini");
  wmain->SaveSettings("");
  ASSERT_EQ(dialogs.calls.size(), 3u);
  EXPECT_EQ(dialogs.calls[1].text,
            "Error : Unable to open output file no_such_folder/x.ini: No such file or directory");

  // A file the user may not write is not replaced behind his back (root may
  // write any file, so this holds for other users only).
  if (geteuid() != 0) {
    WriteFile("locked.ini", "old contents\n");
    ASSERT_EQ(chmod("locked.ini", 0444), 0);
    wmain->SaveSettings("locked.ini");
    EXPECT_EQ(ReadFile("locked.ini"), "old contents\n");
    EXPECT_EQ(dialogs.calls.back().text,
              "Error : Unable to open output file locked.ini: Permission denied");
    dialogs.calls.pop_back();
  }

  // Without the small window there is nothing to take its place from: the
  // old file is not touched either.
  Program().Wsmall_alive = false;
  wmain->SaveSettings("keep.ini");
  EXPECT_EQ(dialogs.calls.size(), 4u);
  EXPECT_EQ(ReadFile("keep.ini"), "old contents\n");
}

TEST_F(SettingsTest, SavingThroughALinkWritesTheFileItPointsTo) {
  std::remove("link.ini");
  WriteFile("target.ini", "old contents\n");
  ASSERT_EQ(symlink("target.ini", "link.ini"), 0);
  wmain->SaveSettings("link.ini");
  EXPECT_TRUE(dialogs.calls.empty());
  struct stat link_stat {};
  ASSERT_EQ(lstat("link.ini", &link_stat), 0);
  EXPECT_TRUE(S_ISLNK(link_stat.st_mode));
  EXPECT_EQ(ReadFile("target.ini").rfind("set_sampling_n\t1\n", 0), 0u);
  std::remove("link.ini");
}

TEST_F(SettingsTest, HostileValuesLeaveTheProgramRunning) {
  const char* const values[] = {"nan", "inf", "-inf", "1e300", "-1e300", "1e999", "-nan"};
  const char* const keys[] = {"set_sampling_ts",
                              "set_altitude",
                              "set_meteo_sunny_limit",
                              "set_meteo_variable_limit",
                              "set_meteo_overcast_limit",
                              "set_meteo_hysteresis_limit",
                              "set_quick_down_weather_rate",
                              "set_slow_down_weather_rate",
                              "set_quick_up_weather_rate",
                              "set_slow_up_weather_rate",
                              "set_minimized",
                              "set_save_on_exit",
                              "set_small_x",
                              "set_small_y"};
  for (const char* value : values) {
    SCOPED_TRACE(value);
    std::string text;
    for (const char* key : keys) text += std::string(key) + "\t" + value + "\n";
    WriteFile("hostile.ini", text);
    wmain->LoadSettings("hostile.ini");
    Ticks(2);
    wmain->SaveSettings("saved.ini");
    wmain->LoadSettings("saved.ini");
    wmain->SetParameter(2, 1);
    Ticks(1);
  }
  // "-1e300" switched it on; the values that are not finite kept that.
  EXPECT_EQ(wmain->GetParameter(13), 1);

  // The settings dialog passes doubles as they come; any index takes any
  // value (n aside: a huge count would sample for ever).
  for (double value : {std::nan(""), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity(), 1e300, -1e300}) {
    SCOPED_TRACE(value);
    for (uint8_t index = 2; index <= 16; ++index) wmain->SetParameter(index, value);
    Ticks(2);
    wmain->SaveSettings("saved.ini");
    wmain->LoadSettings("saved.ini");
  }
  EXPECT_EQ(wmain->GetParameter(13), 1);  // -1e300 is not 0: on

  // A count the settings dialog refuses is not taken from a file; given
  // directly, a huge one is held at 100 (2^31 - 1 pairs would sample for
  // ever), and fewer than one conversion (no sample at all) at 1.
  WriteFile("count.ini", "set_sampling_n\t1e300\n");
  wmain->LoadSettings("count.ini");
  EXPECT_EQ(wmain->GetParameter(1), 1);
  wmain->SetParameter(1, 1e300);
  EXPECT_EQ(wmain->GetParameter(1), 100);
  wmain->SetParameter(1, -1e300);
  EXPECT_EQ(wmain->GetParameter(1), 1);
  Ticks(1);
  wmain->SaveSettings("saved.ini");
  EXPECT_NE(ReadFile("saved.ini").find("set_sampling_n\t1\n"), std::string::npos);
}

// What editors and typing slips put into the file: a byte-order mark before
// the first key, a count that is no number. The first loads, the second is
// refused, and the readings show.
TEST_F(SettingsTest, ByteOrderMarkAndACountThatIsNoNumberLoad) {
  WriteFile("setup.ini", "\xEF\xBB\xBFset_sampling_n\t4\nset_altitude\t120\n");
  wmain->LoadSettings("setup.ini");
  EXPECT_EQ(wmain->GetParameter(1), 4);
  EXPECT_EQ(wmain->GetParameter(3), 120);

  for (const char* count : {"abc", "0", "-3"}) {
    WriteFile("setup.ini", std::string("set_sampling_n\t") + count + "\n");
    EXPECT_NE(Load("setup.ini").find(": set_sampling_n."), std::string::npos) << count;
    EXPECT_EQ(wmain->GetParameter(1), 4) << count;
    Ticks(1);
    EXPECT_NE(Text(wmain->lbpressure), "--") << count;
  }
}

// A settings file with a second name, or owned by another user, stays what
// it was: every name sees the new settings, the owner and mode are kept.
TEST_F(SettingsTest, SavingKeepsHardLinksOwnerAndMode) {
  WriteFile("setup.ini", "old contents, longer than the new ones will be" + std::string(700, '#'));
  ASSERT_EQ(link("setup.ini", "other.ini"), 0);
  wmain->SetParameter(3, 321);
  wmain->SaveSettings("setup.ini");
  EXPECT_TRUE(dialogs.calls.empty());
  const std::string saved = ReadFile("setup.ini");
  EXPECT_NE(saved.find("set_altitude\t321.000000\n"), std::string::npos);
  EXPECT_EQ(ReadFile("other.ini"), saved);
  wmain->SaveSettings("fresh.ini");
  EXPECT_EQ(ReadFile("fresh.ini"), saved) << "nothing of the old file left";
  struct stat info {};
  ASSERT_EQ(stat("setup.ini", &info), 0);
  EXPECT_EQ(info.st_nlink, 2u);

  if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
  WriteFile("nobody.ini", "old contents\n");
  ASSERT_EQ(chown("nobody.ini", 65534, 65534), 0);
  ASSERT_EQ(chmod("nobody.ini", 0640), 0);
  wmain->SaveSettings("nobody.ini");
  EXPECT_TRUE(dialogs.calls.empty());
  ASSERT_EQ(stat("nobody.ini", &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_gid, 65534u);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile("nobody.ini"), saved);
}

// The next start removes what a killed save left, and nothing else.
TEST_F(SettingsTest, LoadingRemovesATemporaryFileAKilledSaveLeft) {
  wmain->SaveSettings("setup.ini");
  WriteFile("setup.ini.tmp", "set_sampling_n\t4\nset_sampl");
  WriteFile("other.ini", "set_sampling_n\t1\n");
  WriteFile("other.ini.tmp", "a file of the user's own\n");
  wmain->LoadSettings("setup.ini");
  wmain->LoadSettings("other.ini");
  EXPECT_NE(access("setup.ini.tmp", F_OK), 0);
  EXPECT_EQ(ReadFile("other.ini.tmp"), "a file of the user's own\n");
  EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(SettingsTest, ParametersWithoutAKeyOrOutOfRange) {
  wmain->SetParameter(8, 12.5);  // sea-level difference: recomputed next refresh
  EXPECT_EQ(wmain->GetParameter(8), 12.5);
  Ticks(1);
  EXPECT_NE(wmain->GetParameter(8), 12.5);
  const auto before = Snapshot();
  wmain->SetParameter(0, 5);
  wmain->SetParameter(17, 5);
  wmain->SetParameter(255, 5);
  ExpectSettings(before);
  EXPECT_EQ(wmain->GetParameter(0), 0);
  EXPECT_EQ(wmain->GetParameter(200), 0);
  wmain->SetParameter(15, 120.9);
  EXPECT_EQ(wmain->GetParameter(15), 120);
}

// Saving replaces only regular files, writes through any link, and leaves
// nothing but the file itself behind.
TEST_F(SettingsTest, SavingNeverHarmsWhatItReplaces) {
  // A fifo stands in for a device: written in place while a reader holds it,
  // refused at once without one, and in both cases still a fifo afterwards.
  std::remove("pipe.ini");
  ASSERT_EQ(mkfifo("pipe.ini", 0600), 0);
  const int reader = open("pipe.ini", O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  wmain->SaveSettings("pipe.ini");
  EXPECT_TRUE(dialogs.calls.empty());
  char received[64] = {};
  ASSERT_GT(read(reader, received, sizeof received - 1), 0);
  EXPECT_EQ(std::string(received).rfind("set_sampling_n\t1\n", 0), 0u);
  close(reader);
  wmain->SaveSettings("pipe.ini");
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(dialogs.calls[0].text,
            "Error : Unable to open output file pipe.ini: No such device or address");
  struct stat info {};
  ASSERT_EQ(lstat("pipe.ini", &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_FALSE(access("pipe.ini.tmp", F_OK) == 0);
  std::remove("pipe.ini");
  dialogs.calls.clear();

  // A dangling link creates its target and stays a link.
  std::remove("dangling.ini");
  std::remove("missing.ini");
  ASSERT_EQ(symlink("missing.ini", "dangling.ini"), 0);
  wmain->SaveSettings("dangling.ini");
  ASSERT_EQ(lstat("dangling.ini", &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadFile("missing.ini").rfind("set_sampling_n\t1\n", 0), 0u);

  // One fixed temporary name: a stale one from a killed save is reused and
  // gone after the next save.
  WriteFile("missing.ini.tmp", "half a file");
  wmain->SaveSettings("missing.ini");
  EXPECT_FALSE(access("missing.ini.tmp", F_OK) == 0);
  EXPECT_TRUE(dialogs.calls.empty());
  std::remove("dangling.ini");
  std::remove("missing.ini");
}

// A writable settings file in a folder the user may not write is written in
// place. Root may write any folder, so as root the save runs as "nobody".
TEST_F(SettingsTest, SharedFileInALockedFolderIsWrittenInPlace) {
  ::mkdir("shared", 0755);
  WriteFile("shared/s.ini", "old contents\n");
  ASSERT_EQ(chmod("shared/s.ini", 0666), 0);
  ASSERT_EQ(chmod("shared", 0555), 0);
  const bool dropped = geteuid() == 0 && seteuid(65534) == 0;
  if (geteuid() == 0) {
    chmod("shared", 0755);
    GTEST_SKIP() << "cannot run as another user";
  }
  wmain->SaveSettings("shared/s.ini");
  if (dropped) {
    ASSERT_EQ(seteuid(0), 0);
  }
  chmod("shared", 0755);
  EXPECT_TRUE(dialogs.calls.empty());
  EXPECT_EQ(ReadFile("shared/s.ini").rfind("set_sampling_n\t1\n", 0), 0u);
  EXPECT_FALSE(access("shared/s.ini.tmp", F_OK) == 0);
}

TEST_F(SettingsTest, ExtremeValuesLoadBackAsSaved) {
  // More decimals than six are kept too.
  wmain->SetParameter(3, 1234.5678901);
  const double lowest = -std::numeric_limits<double>::max();
  wmain->SetParameter(9, lowest);
  wmain->SetParameter(11, 1e300);
  wmain->SaveSettings("extreme.ini");
  EXPECT_NE(ReadFile("extreme.ini").find("set_quick_down_weather_rate\t-1.7976931348623157e+308\n"),
            std::string::npos);
  wmain->SetParameter(9, -0.9);
  wmain->SetParameter(11, 0.9);
  wmain->LoadSettings("extreme.ini");
  EXPECT_EQ(wmain->GetParameter(9), lowest);
  EXPECT_EQ(wmain->GetParameter(11), 1e300);
  EXPECT_EQ(wmain->GetParameter(3), 1234.5678901);
  EXPECT_TRUE(dialogs.calls.empty());
}

// A setting the settings dialog would refuse is not taken from a file: the
// value in force stays, the rest of the file is applied, and one box after
// the loading names the keys refused, in file order.
TEST_F(SettingsTest, WhatTheDialogWouldRefuseIsNotTakenFromAFile) {
  const auto before = Snapshot();
  WriteFile("mixed.ini",
            "set_sampling_ts\t0\n"
            "set_altitude\t450\n"
            "set_meteo_hysteresis_limit\t-0.5\n"
            "set_quick_down_weather_rate\t-0.1\n"  // above the slow fall rate -0.23
            "set_small_x\t100\n");
  EXPECT_EQ(Load("mixed.ini"),
            "Error : Settings in mixed.ini that the settings dialog would refuse were not taken: "
            "set_sampling_ts, set_meteo_hysteresis_limit, set_quick_down_weather_rate. They keep "
            "the values in force.");
  auto expected = before;
  expected[3] = 450;
  expected[15] = 100;
  ExpectSettings(expected);

  // One key at a time, from the same settings in force.
  const struct {
    const char* line;
    const char* key;
  } refused[] = {
      {"set_sampling_n\t0", "set_sampling_n"},
      {"set_sampling_n\t2.5", "set_sampling_n"},
      {"set_sampling_n\t101", "set_sampling_n"},
      {"set_sampling_n\t9", "set_sampling_n"},  // more than 8 need ts >= 2 s
      {"set_sampling_ts\t1.5", "set_sampling_ts"},
      {"set_sampling_ts\t3e9", "set_sampling_ts"},
      {"set_altitude\t9166.5", "set_altitude"},
      {"set_altitude\t-704", "set_altitude"},
      {"set_altitude\t450m", "set_altitude"},
      {"set_meteo_sunny_limit\t1009", "set_meteo_sunny_limit"},  // not above variable
      {"set_meteo_overcast_limit\t1012\nset_meteo_variable_limit\t1010",
       "set_meteo_overcast_limit, set_meteo_variable_limit"},
      {"set_slow_up_weather_rate\t1", "set_slow_up_weather_rate"},  // above the fast one
      {"set_meteo_hysteresis_limit\t1e308", "set_meteo_hysteresis_limit"},
      {"set_meteo_hysteresis_limit\t100.5", "set_meteo_hysteresis_limit"},
      // The small window's place: within a window system's coordinates.
      {"set_small_x\t1e300", "set_small_x"},
      {"set_small_y\t-32768", "set_small_y"},
      {"set_small_x\t12px", "set_small_x"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.line);
    WriteFile("one.ini", std::string(c.line) + "\n");
    const std::string box = Load("one.ini");
    EXPECT_NE(box.find(std::string("not taken: ") + c.key + ". They"), std::string::npos) << box;
    ExpectSettings(expected);
  }
  // What the dialog takes loads without a word: 9 samples with ts 2 s,
  // the ends of the altitude's range, equal rates, a hysteresis of 0.
  WriteFile("fine.ini",
            "set_sampling_n\t9\nset_sampling_ts\t2\nset_altitude\t9166\n"
            "set_meteo_hysteresis_limit\t0\nset_quick_down_weather_rate\t-0.23\n"
            "set_small_x\t-32767\n");
  EXPECT_EQ(Load("fine.ini"), "");
  WriteFile("fine.ini", "set_meteo_hysteresis_limit\t100\nset_small_x\t32767\n");
  EXPECT_EQ(Load("fine.ini"), "");
  EXPECT_EQ(wmain->GetParameter(7), 100);
  WriteFile("fine.ini", "set_meteo_hysteresis_limit\t0\n");
  EXPECT_EQ(Load("fine.ini"), "");
  EXPECT_EQ(wmain->GetParameter(1), 9);
  EXPECT_EQ(wmain->GetParameter(2), 2);
  EXPECT_EQ(wmain->GetParameter(3), 9166);
  EXPECT_EQ(wmain->GetParameter(7), 0);
  EXPECT_EQ(wmain->GetParameter(9), -0.23);
}

// A file without a single setting in it (random bytes, another kind of
// file) says so, at the start too once the measurement runs; it is then not
// saved over on exit until settings are saved or one of them changes.
TEST_F(SettingsTest, AFileWithNoSettingIsSaidAndKeptUntilAChange) {
  std::string noise;
  uint32_t x = 12345;
  for (int i = 0; i < 600; ++i) {
    x = x * 1103515245u + 12345u;
    noise += static_cast<char>(x >> 24);
  }
  const auto before = Snapshot();
  const auto quit = [this] {
    dialogs.confirm_answers.push_back(true);
    EXPECT_EQ(wmain->ConfirmClose(), 2);
    Program().closing = false;
  };
  for (const std::string& content : {noise, std::string("set_altitude\n\n# nothing\n")}) {
    WriteFile("setup.ini", content);
    dialogs.calls.clear();
    wmain->StartMeasuring();
    EXPECT_TRUE(dialogs.calls.empty());
    ShowLaterBoxes();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].text,
              "Error : setup.ini holds no settings. The settings in force stay as they are, and "
              "the file is not saved over on exit until settings are saved or changed.");
    ExpectSettings(before);
    Ticks(3);
    quit();
    EXPECT_EQ(ReadFile("setup.ini"), content);
  }

  // A change of a setting, or saving settings, ends that.
  wmain->SetParameter(kAltitude, 120);
  quit();
  EXPECT_NE(ReadFile("setup.ini").find("set_altitude\t120.000000\n"), std::string::npos);
  WriteFile("setup.ini", noise);
  Load("setup.ini");
  wmain->SaveSettings("elsewhere.ini");
  quit();
  EXPECT_NE(ReadFile("setup.ini").find("set_altitude\t120.000000\n"), std::string::npos);
  WriteFile("setup.ini", noise);
  Load("setup.ini");
  wmain->Autosavesettingsonexit1Click();  // off
  wmain->Autosavesettingsonexit1Click();  // and on again
  quit();
  EXPECT_NE(ReadFile("setup.ini"), noise);

  // Another file of no settings: said, and setup.ini is saved as ever.
  WriteFile("other.ini", noise);
  EXPECT_EQ(Load("other.ini"),
            "Error : other.ini holds no settings. The settings in force stay as they are.");
  wmain->SetParameter(kAltitude, 80);
  quit();
  EXPECT_NE(ReadFile("setup.ini").find("set_altitude\t80.000000\n"), std::string::npos);
}
