// The settings held by the main window, the sensor, the weather object and
// the small window: index-addressed access and the settings file.

#include <fcntl.h>
#include <locale.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "archive/Tarchive.h"
#include "atmosphere/Lib_vc.h"
#include "main/Program.h"
#include "main/Safe_save.h"
#include "main/Setting_rules.h"
#include "main/Tmain.h"
#include "platform/Dialogs.h"
#include "sensor/Tsensor.h"
#include "windows/Tsmall.h"

namespace {

const char* const kKeys[17] = {nullptr,
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

// The first bytes every saved file begins with.
constexpr char kSavedFileStart[] = "set_sampling_n\t";

// Index of the key held in the tokenizer, compared exactly and with case;
// 0 when it is no key.
uint8_t KeyIndex(const Tstreamtokenizer& tokenizer) {
  const size_t length = static_cast<size_t>(tokenizer.Length());
  for (uint8_t index = 1; index <= 16; ++index) {
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

// "%f" text, unless that would not load back as the same value: more than
// six decimals, or wider than the 255 characters the tokenizer keeps in one
// token (from about 1e248 on). Such a value is written in the shortest form
// that loads back exactly, which the reader takes as well.
std::string Number(double value) {
  std::string text = FormatFixed(value, 6).toStdString();
  if (text.size() <= 255 && ParseDecimal(text.c_str()) == value) return text;
  char buffer[32];
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// Some editors begin a text file with the UTF-8 byte-order mark; it is no
// part of the first key. Anything else is read from the start.
void SkipByteOrderMark(std::FILE* file) {
  unsigned char start[3];
  const size_t length = std::fread(start, 1, sizeof start, file);
  if (length == 3 && start[0] == 0xEF && start[1] == 0xBB && start[2] == 0xBF) return;
  // A stream that cannot seek (a fifo) takes the bytes back instead.
  if (std::fseek(file, 0, SEEK_SET) != 0)
    for (size_t i = length; i > 0; --i) std::ungetc(start[i - 1], file);
}

void ShowError(const std::string& text) {
  if (Program().dialogs) Program().dialogs->Error(text);
}

// Whether the settings dialog edits the setting: its limits then hold for a
// file too.
bool DialogSetting(uint8_t key) {
  return key >= kSamplingN && key <= kSlowUpRate && key != kSeaOffset;
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
    default:
      return std::isfinite(value);
  }
}

// Whether two names name one file.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return a == b;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

void TWmain::SetParameter(uint8_t index, double value) {
  // A setting changed by the user: the settings file is the program's again.
  if (!loading_settings) settings_file_kept = false;
  Tsensor* sensor = Sensor();
  switch (index) {
    case kSamplingN:
      // A sequence holds the program for about 2 x n conversions: more than
      // 100 would freeze it, so larger values are held at 100. With fewer
      // than 1 there would be no sample at all, so those (and a value that
      // is no number) are held at 1.
      if (sensor) sensor->SetSampleCount(value > 100 ? 100 : value >= 1 ? value : 1);
      break;
    case kSamplingTs:
      // A new interval takes a sample at once; while a file is read, once
      // the whole file is in force, so that the sample is not taken (and
      // charted and logged) at an altitude the file is about to change.
      if (sensor) sensor->SetSequenceInterval(value);
      if (loading_settings)
        sample_after_loading = true;
      else
        OnTimer();
      break;
    case kAltitude: {
      // Every application re-zeroes the altimeter at the present pressure;
      // only a changed altitude restarts the history and the minima/maxima.
      const double old = alt_setting;
      SetLocalAltitude(value);
      UpdateAltitude();
      UpdateSeaLevelPressure();
      if (value != old && meteo) {
        meteo->ClearHistory();
        ClearMinMax();
      }
      // A change the user made is marked in the record (the start puts back
      // the altitude in force, which is no change).
      if (value != old && !starting_)
        if (Tarchive* archive = Program().archive) archive->RecordAltitudeChange(old, value);
      break;
    }
    case kSunnyLimit:
      if (meteo) meteo->SetSunnyLimit(value);
      break;
    case kVariableLimit:
      if (meteo) meteo->SetVariableLimit(value);
      break;
    case kOvercastLimit:
      if (meteo) meteo->SetOvercastLimit(value);
      break;
    case kHysteresis:
      if (meteo) meteo->SetHysteresis(value);
      break;
    case kSeaOffset:
      sea_offset = value;  // recomputed from the altitude at the next refresh
      break;
    case kQuickDownRate:
      if (meteo) meteo->SetQuickDownRate(value);
      break;
    case kSlowDownRate:
      if (meteo) meteo->SetSlowDownRate(value);
      break;
    case kQuickUpRate:
      if (meteo) meteo->SetQuickUpRate(value);
      break;
    case kSlowUpRate:
      if (meteo) meteo->SetSlowUpRate(value);
      break;
    case kMinimized:
      minimized = value != 0;
      // At the start the window shows once its first values are in it.
      if (starting_)
        minimized_pending_ = true;
      else
        ApplyMinimized();
      break;
    case kSaveOnExit:
      save_on_exit = value != 0;
      ShowAutosaveCheck();
      break;
    case kSmallX:
      if (TWsmall* small = SmallWindow()) small->SetX(value);
      break;
    case kSmallY:
      if (TWsmall* small = SmallWindow()) small->SetY(value);
      break;
    default:
      break;
  }
}

double TWmain::GetParameter(uint8_t index) {
  Tsensor* sensor = Sensor();
  switch (index) {
    case kSamplingN:
      return sensor ? sensor->GetSampleCount() : 0;
    case kSamplingTs:
      return sensor ? sensor->GetSequenceInterval() : 0;
    case kAltitude:
      return alt_setting;
    case kSunnyLimit:
      return meteo ? meteo->GetSunnyLimit() : 0;
    case kVariableLimit:
      return meteo ? meteo->GetVariableLimit() : 0;
    case kOvercastLimit:
      return meteo ? meteo->GetOvercastLimit() : 0;
    case kHysteresis:
      return meteo ? meteo->GetHysteresis() : 0;
    case kSeaOffset:
      return sea_offset;
    case kQuickDownRate:
      return meteo ? meteo->GetQuickDownRate() : 0;
    case kSlowDownRate:
      return meteo ? meteo->GetSlowDownRate() : 0;
    case kQuickUpRate:
      return meteo ? meteo->GetQuickUpRate() : 0;
    case kSlowUpRate:
      return meteo ? meteo->GetSlowUpRate() : 0;
    case kMinimized:
      return minimized ? 1.0 : 0.0;
    case kSaveOnExit:
      return save_on_exit ? 1.0 : 0.0;
    case kSmallX:
      return SmallWindow() ? SmallWindow()->GetX() : 0;
    case kSmallY:
      return SmallWindow() ? SmallWindow()->GetY() : 0;
    default:
      return 0;
  }
}

bool TWmain::SetWeatherLimits(double sunny, double variable, double overcast) {
  if (!meteo) return false;
  if (!(sunny > variable && variable > overcast)) return false;
  // Each setter accepts only a value that keeps the order with the two
  // limits in force. Going from one ordered set to another, every pass
  // accepts at least one more limit, so three passes always suffice.
  for (int pass = 0; pass < 3; ++pass) {
    if (meteo->GetSunnyLimit() != sunny) meteo->SetSunnyLimit(sunny);
    if (meteo->GetVariableLimit() != variable) meteo->SetVariableLimit(variable);
    if (meteo->GetOvercastLimit() != overcast) meteo->SetOvercastLimit(overcast);
  }
  return meteo->GetSunnyLimit() == sunny && meteo->GetVariableLimit() == variable &&
         meteo->GetOvercastLimit() == overcast;
}

void TWmain::LoadSettings(const std::string& name) {
  // The next start after a save was killed cleans up after it.
  RemoveStaleTemporary(FollowLinks(name), kSavedFileStart);
  std::FILE* file = std::fopen(name.c_str(), "rb");
  // A folder opens for reading here, but holds no text to read.
  struct stat info;
  if (file && (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode))) {
    std::fclose(file);
    file = nullptr;
  }
  if (!file) {
    ShowError("Error : Unable to open input file " + name);
    return;
  }
  SkipByteOrderMark(file);
  Tstreamtokenizer tokenizer;
  tokenizer.Attach(file);

  // The whole file is read first: a setting the settings dialog would refuse
  // is not taken (the value in force stays), and that may depend on the
  // others (the order of the limits, of the rates, n and ts together).
  // Then the settings taken are applied in file order, each at once.
  struct Setting {
    uint8_t key;
    double value;
    bool number;  // a finite number, and for the dialog's settings one as a whole
  };
  std::vector<Setting> settings;  // the last value of each key, in file order
  int position = 0;               // of the token within its line
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

  // The set the file would leave in force, and the settings refused.
  double after[17] = {};
  for (uint8_t index = 1; index <= 16; ++index) after[index] = GetParameter(index);
  bool given[17] = {};
  bool refused[17] = {};
  for (const Setting& s : settings) {
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

  loading_settings = true;
  sample_after_loading = false;
  // The weather limits are applied together at the end: one by one in file
  // order, the guards would refuse part of a valid set.
  std::optional<double> limits[3];  // sunny, variable, overcast
  std::string refused_keys;
  bool applied = false;
  for (const Setting& s : settings) {
    if (refused[s.key]) {
      refused_keys += std::string(refused_keys.empty() ? "" : ", ") + kKeys[s.key];
      continue;
    }
    if (!s.number) continue;  // beyond the dialog's settings: the old value stays
    applied = true;
    if (s.key >= kSunnyLimit && s.key <= kOvercastLimit)
      limits[s.key - kSunnyLimit] = s.value;
    else
      SetParameter(s.key, s.value);
  }
  loading_settings = false;

  if (meteo && (limits[0] || limits[1] || limits[2])) {
    SetWeatherLimits(limits[0].value_or(meteo->GetSunnyLimit()),
                     limits[1].value_or(meteo->GetVariableLimit()),
                     limits[2].value_or(meteo->GetOvercastLimit()));
  }
  SettingsApplied();

  // One box at most, once the loading is over (and, at the start, once the
  // measurement runs).
  if (settings.empty()) {
    // Random bytes, another kind of file: what the autosave would write over
    // it is no settings the user chose from it.
    const bool kept = SameFile(name, save_file_name.empty() ? "setup.ini" : save_file_name);
    if (kept) settings_file_kept = true;
    const std::string text =
        "Error : " + name + " holds no settings. The settings in force stay as they are" +
        (kept ? ", and the file is not saved over on exit until settings are saved or changed."
              : ".");
    ShowLater([text] { ShowError(text); });
    return;
  }
  if (applied) settings_file_kept = false;
  if (!refused_keys.empty()) {
    const std::string text =
        "Error : Settings in " + name +
        " that the settings dialog would refuse were not taken: " + refused_keys +
        ". They keep the values in force.";
    ShowLater([text] { ShowError(text); });
  }
}

void TWmain::SettingsApplied() {
  // At the start the refresh waits for the first sample (StartMeasuring).
  if (starting_) {
    settings_applied_pending_ = true;
    return;
  }
  // The minima and maxima restart from the values the refresh below
  // computes: restarting them first (the pairs are then set from the previous
  // refresh, or from nothing at the first load) would keep a stale value.
  minmax_started = false;
  UpdateDerived();
  // A new ts takes its sample once the whole set is in force.
  if (sample_after_loading) {
    sample_after_loading = false;
    OnTimer();
  }
}

void TWmain::SaveSettings(const std::string& name) {
  const std::string error = "Error : Unable to open output file " + name;
  Tsensor* sensor = Sensor();
  TWsmall* small = SmallWindow();
  if (!meteo || !sensor || !small) {
    ShowError(error);
    return;
  }

  std::string text;
  text += "set_sampling_n\t" + std::to_string(sensor->GetSampleCount()) + "\n";
  text += "set_sampling_ts\t" + std::to_string(sensor->GetSequenceInterval()) + "\n";
  text += "set_altitude\t" + Number(alt_setting) + "\n";
  text += "#warning, take care of the meteo limit sequence since they must be always coherent\n";
  text += "set_meteo_overcast_limit\t" + Number(meteo->GetOvercastLimit()) + "\n";
  text += "set_meteo_variable_limit\t" + Number(meteo->GetVariableLimit()) + "\n";
  text += "set_meteo_sunny_limit\t" + Number(meteo->GetSunnyLimit()) + "\n";
  text += "set_meteo_hysteresis_limit\t" + Number(meteo->GetHysteresis()) + "\n";
  text += "#warning, take care of the trend limit sequence since they must be always coherent\n";
  text += "set_quick_down_weather_rate\t" + Number(meteo->GetQuickDownRate()) + "\n";
  text += "set_slow_down_weather_rate\t" + Number(meteo->GetSlowDownRate()) + "\n";
  text += "set_quick_up_weather_rate\t" + Number(meteo->GetQuickUpRate()) + "\n";
  text += "set_slow_up_weather_rate\t" + Number(meteo->GetSlowUpRate()) + "\n";
  text += std::string("set_minimized\t") + (minimized ? "1.0" : "0.0") + "\n";
  text += std::string("set_save_on_exit\t") + (save_on_exit ? "1.0" : "0.0") + "\n";
  text += "set_small_x\t" + Number(small->GetX()) + "\n";
  text += "set_small_y\t" + Number(small->GetY()) + "\n";

  if (!WriteWhole(name, text)) {
    ShowError(error);
    return;
  }
  settings_file_kept = false;
}
