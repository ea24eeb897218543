// The grammar of setup.ini: its keys, the decimal numbers it takes, the
// settings refused as the settings dialog would refuse them, and the text
// the program writes.

#include "config/Tsetup_ini.h"

#include <locale.h>
#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "atmosphere/Lib_vc.h"
#include "config/Safe_save.h"
#include "config/Setting_rules.h"
#include "platform/Regular_file.h"

namespace {

const char* const kKeys[kSettingCount + 1] = {nullptr,
                                              "set_sampling_n",
                                              "set_sampling_ts",
                                              "set_altitude",
                                              "set_meteo_sunny_limit",
                                              "set_meteo_variable_limit",
                                              "set_meteo_overcast_limit",
                                              "set_meteo_hysteresis_limit",
                                              nullptr,
                                              "set_quick_down_weather_rate",
                                              "set_slow_down_weather_rate",
                                              "set_quick_up_weather_rate",
                                              "set_slow_up_weather_rate",
                                              "set_minimized",
                                              "set_save_on_exit",
                                              "set_small_x",
                                              "set_small_y"};

// Index of the key held in the tokenizer, compared exactly and with case;
// 0 when it is no key.
uint8_t KeyIndex(const Tstreamtokenizer& tokenizer) {
  const size_t length = static_cast<size_t>(tokenizer.Length());
  for (uint8_t index = 1; index <= kSettingCount; ++index) {
    const char* key = kKeys[index];
    if (key && std::strlen(key) == length && std::memcmp(key, tokenizer.Token, length) == 0)
      return index;
  }
  return 0;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The decimal conversion of a value: leading blanks, optional sign, digits
// with an optional point and fraction, optional exponent; reading stops at
// the first character that does not fit, and text that does not start with
// a number gives 0. Words such as "nan" or "inf" and hexadecimal are no
// numbers here. The point is the decimal separator whatever the locale.
// *end, if asked for, receives the end of the number (text when there is
// none).
double ParseDecimal(const char* text, const char** end = nullptr) {
  if (end != nullptr) *end = text;
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const char* const start = p;
  if (*p == '+' || *p == '-') ++p;
  bool digits = false;
  for (; IsDigit(*p); ++p) digits = true;
  if (*p == '.')
    for (++p; IsDigit(*p); ++p) digits = true;
  if (!digits) return 0;
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    if (*q == '+' || *q == '-') ++q;
    if (IsDigit(*q)) {
      while (IsDigit(*q)) ++q;
      p = q;
    }
  }
  // The C library converts what was matched: correctly rounded, and out of
  // range as it does (infinity or zero).
  if (end != nullptr) *end = p;
  const std::string number(start, p);
  static locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (c_locale) return strtod_l(number.c_str(), nullptr, c_locale);
  return std::strtod(number.c_str(), nullptr);
}

// printf's "%.6f" with a point whatever the locale.
std::string Fixed6(double value) {
  char buffer[400];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  if (result.ec != std::errc()) return "?";
  return std::string(buffer, result.ptr);
}

// "%f" text, unless that would not load back as the same value: more than
// six decimals, or wider than the 255 characters the tokenizer keeps in one
// token (from about 1e248 on). Such a value is written in the shortest form
// that loads back exactly, which the reader takes as well.
std::string Number(double value) {
  std::string text = Fixed6(value);
  if (text.size() <= 255 && ParseDecimal(text.c_str()) == value) return text;
  char buffer[32];
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// Whether the settings dialog edits the setting, or the setting has limits
// of its own (the small window's place): they hold for a file too.
bool DialogSetting(uint8_t key) {
  return (key >= kSamplingN && key <= kSlowUpRate && key != kSeaOffset) || key == kSmallX ||
         key == kSmallY;
}

// The limit of one setting alone.
bool SettingAllowed(uint8_t key, double value) {
  using namespace setting_rules;
  switch (key) {
    case kSamplingN:
      return SampleCountAllowed(value);
    case kSamplingTs:
      return SequenceIntervalAllowed(value);
    case kAltitude:
      return AltitudeAllowed(value);
    case kHysteresis:
      return HysteresisAllowed(value);
    case kSmallX:
    case kSmallY:
      return WindowPlaceAllowed(value);
    default:
      return std::isfinite(value);
  }
}

}  // namespace

const char* Tsetup_ini::Key(uint8_t index) {
  return index <= kSettingCount ? kKeys[index] : nullptr;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return a == b;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

Tsetup_ini::Reading Tsetup_ini::Read(const std::string& name, const SettingValues& in_force) {
  Reading reading;
  // The next start after a save was killed cleans up after it.
  RemoveStaleTemporary(FollowLinks(name), kSavedFileStart);
  // What is no regular file (a FIFO, a device, a folder, a link to one) or
  // is larger than any settings file is refused before it is read: nothing
  // at the start can block on it or read on for ever.
  Tfile_read read = ReadRegularFile(name);
  if (!read.Ok()) {
    reading.error = "Error : " + read.message;
    reading.missing = read.status == Tfile_read::Status::Missing;
    return reading;
  }
  reading.opened = true;
  std::string& content = read.content;
  // Some editors begin a text file with the UTF-8 byte-order mark; it is no
  // part of the first key.
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);
  if (content.empty()) return reading;
  std::FILE* file = fmemopen(content.data(), content.size(), "rb");
  if (file == nullptr) {
    reading.opened = false;
    reading.error = "Error : Unable to read input file " + name + ": " + std::strerror(errno);
    return reading;
  }
  Tstreamtokenizer tokenizer;
  tokenizer.Attach(file);

  // The whole file is read first; the settings taken are then applied in
  // file order, each at once.
  std::vector<Given> settings;  // the last value of each key, in file order
  int position = 0;             // of the token within its line
  uint8_t key = 0;
  bool end_of_file = false;
  do {
    const bool end_of_line = tokenizer.NextToken(&end_of_file);
    if (position == 0) {
      key = KeyIndex(tokenizer);
    } else if (position == 1 && key != 0 && tokenizer.Length() > 0) {
      // An empty token (blanks before the line end) is no value.
      const char* end = nullptr;
      const double value = ParseDecimal(tokenizer.Token, &end);
      // A number that is not finite ("1e999", "inf", "nan") is no value.
      bool number = std::isfinite(value) && std::isfinite(std::strtod(tokenizer.Token, nullptr));
      // The dialog takes a field only when all of it is a number; so is a
      // value of the file ("12,5", "450m" and "abc" are none).
      if (DialogSetting(key)) number = number && *end == '\0';
      // A key given twice takes the later value.
      for (auto s = settings.begin(); s != settings.end(); ++s) {
        if (s->key == key) {
          settings.erase(s);
          break;
        }
      }
      settings.push_back({key, value, number});
    }
    if (end_of_line)
      position = 0;
    else if (position < 2)
      ++position;
  } while (!end_of_file);
  std::fclose(file);
  Reading judged = Judge(settings, in_force);
  judged.opened = true;
  judged.any_setting = !settings.empty();
  return judged;
}

Tsetup_ini::Reading Tsetup_ini::Judge(const std::vector<Given>& settings,
                                      const SettingValues& in_force) {
  Reading reading;

  // The set the file would leave in force, and the settings refused.
  double after[kSettingCount + 1] = {};
  for (uint8_t index = 1; index <= kSettingCount; ++index) after[index] = in_force[index];
  bool given[kSettingCount + 1] = {};
  bool refused[kSettingCount + 1] = {};
  for (const Given& s : settings) {
    given[s.key] = true;
    if (DialogSetting(s.key) && !(s.number && SettingAllowed(s.key, s.value)))
      refused[s.key] = true;
    else if (s.number)
      after[s.key] = s.value;
  }
  // A rule between settings that the set breaks refuses those of them that
  // the file gives: the ones in force kept the rule.
  const auto refuse = [&given, &refused](std::initializer_list<uint8_t> keys) {
    for (const uint8_t k : keys) refused[k] = refused[k] || given[k];
  };
  using namespace setting_rules;
  if (!SamplingAllowed(after[kSamplingN], after[kSamplingTs])) refuse({kSamplingN, kSamplingTs});
  if ((given[kSunnyLimit] || given[kVariableLimit] || given[kOvercastLimit]) &&
      !WeatherLimitsAllowed(after[kSunnyLimit], after[kVariableLimit], after[kOvercastLimit]))
    refuse({kSunnyLimit, kVariableLimit, kOvercastLimit});
  if ((given[kQuickDownRate] || given[kSlowDownRate] || given[kQuickUpRate] ||
       given[kSlowUpRate]) &&
      !TrendRatesAllowed(after[kQuickDownRate], after[kSlowDownRate], after[kQuickUpRate],
                         after[kSlowUpRate]))
    refuse({kQuickDownRate, kSlowDownRate, kQuickUpRate, kSlowUpRate});

  for (const Given& s : settings) {
    if (refused[s.key]) {
      reading.refused_keys += std::string(reading.refused_keys.empty() ? "" : ", ") + kKeys[s.key];
      reading.refused.push_back(s.key);
      continue;
    }
    if (!s.number) continue;  // beyond the dialog's settings: the old value stays
    reading.applied = true;
    if (s.key >= kSunnyLimit && s.key <= kOvercastLimit) {
      reading.has_limit[s.key - kSunnyLimit] = true;
      reading.limits[s.key - kSunnyLimit] = s.value;
    } else {
      reading.apply.push_back({s.key, s.value});
    }
  }
  return reading;
}

std::string Tsetup_ini::Text(const SettingValues& v) {
  // n and ts are whole numbers in 32 bits (the sensor keeps them so).
  const auto whole = [](double value) {
    if (!(value >= -2147483648.0)) value = std::isnan(value) ? 0 : -2147483648.0;
    if (value > 2147483647.0) value = 2147483647.0;
    return std::to_string(static_cast<int32_t>(value));
  };
  std::string text;
  text += "set_sampling_n\t" + whole(v[kSamplingN]) + "\n";
  text += "set_sampling_ts\t" + whole(v[kSamplingTs]) + "\n";
  text += "set_altitude\t" + Number(v[kAltitude]) + "\n";
  text += "#warning, take care of the meteo limit sequence since they must be always coherent\n";
  text += "set_meteo_overcast_limit\t" + Number(v[kOvercastLimit]) + "\n";
  text += "set_meteo_variable_limit\t" + Number(v[kVariableLimit]) + "\n";
  text += "set_meteo_sunny_limit\t" + Number(v[kSunnyLimit]) + "\n";
  text += "set_meteo_hysteresis_limit\t" + Number(v[kHysteresis]) + "\n";
  text += "#warning, take care of the trend limit sequence since they must be always coherent\n";
  text += "set_quick_down_weather_rate\t" + Number(v[kQuickDownRate]) + "\n";
  text += "set_slow_down_weather_rate\t" + Number(v[kSlowDownRate]) + "\n";
  text += "set_quick_up_weather_rate\t" + Number(v[kQuickUpRate]) + "\n";
  text += "set_slow_up_weather_rate\t" + Number(v[kSlowUpRate]) + "\n";
  text += std::string("set_minimized\t") + (v[kMinimized] != 0 ? "1.0" : "0.0") + "\n";
  text += std::string("set_save_on_exit\t") + (v[kSaveOnExit] != 0 ? "1.0" : "0.0") + "\n";
  text += "set_small_x\t" + Number(v[kSmallX]) + "\n";
  text += "set_small_y\t" + Number(v[kSmallY]) + "\n";
  return text;
}
