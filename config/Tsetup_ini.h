#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Indexes of the settings reached through SetParameter and GetParameter;
// 8, the sea-level difference, has no key in the settings file.
enum Setting : uint8_t {
  kSamplingN = 1,
  kSamplingTs = 2,
  kAltitude = 3,
  kSunnyLimit = 4,
  kVariableLimit = 5,
  kOvercastLimit = 6,
  kHysteresis = 7,
  kSeaOffset = 8,
  kQuickDownRate = 9,
  kSlowDownRate = 10,
  kQuickUpRate = 11,
  kSlowUpRate = 12,
  kMinimized = 13,
  kSaveOnExit = 14,
  kSmallX = 15,
  kSmallY = 16,
};
constexpr int kSettingCount = 16;

// The values of the 16 indexed settings, index 1..16 (0 unused).
using SettingValues = double[kSettingCount + 1];

// setup.ini: one "key<TAB>value" line per setting, in the order the program
// writes them, with two comment lines. Reading takes the keys in any order
// and ignores what it does not know.
class Tsetup_ini {
 public:
  static constexpr const char* kFileName = "setup.ini";
  // The first bytes every saved file begins with.
  static constexpr const char* kSavedFileStart = "set_sampling_n\t";

  // A setting of the file that is to be applied, in file order.
  struct Setting {
    uint8_t key;
    double value;
  };
  struct Reading {
    bool opened = false;
    // Why it could not be read, in words ("Error : Unable to open input
    // file setup.ini: Permission denied", "Error : setup.ini is a FIFO, not
    // a settings file"), when not opened; and whether there was no such
    // file at all.
    std::string error;
    bool missing = false;
    // Whether the file held any setting at all.
    bool any_setting = false;
    // The settings to apply one by one, in file order; the weather limits
    // are not among them (they are applied together, see `limits`).
    std::vector<Setting> apply;
    // The weather limits the file gives (sunny, variable, overcast), each
    // when given and taken.
    bool has_limit[3] = {false, false, false};
    double limits[3] = {0, 0, 0};
    // Whether any setting was taken; the keys refused, ", "-separated.
    bool applied = false;
    std::string refused_keys;
    // The same, by index, in file order.
    std::vector<uint8_t> refused;
  };
  // A setting as given: its value, and whether the value is a number the
  // setting can take at all (finite, and all of the field for the settings
  // the dialog edits).
  struct Given {
    uint8_t key;
    double value;
    bool number;
  };

  // Reads a settings file. A setting the settings dialog would refuse is not
  // taken (the value in force stays), and that may depend on the others
  // (the order of the limits, of the rates, n and ts together): `in_force`
  // holds the values in force, which the file's are judged against.
  static Reading Read(const std::string& name, const SettingValues& in_force);
  // The same judgement for settings given another way (each key at most
  // once, in the order given): what to apply and what is refused.
  static Reading Judge(const std::vector<Given>& settings, const SettingValues& in_force);
  // The text of a saved file for these values.
  static std::string Text(const SettingValues& values);
  // The key of a setting (null for 8 and any other index).
  static const char* Key(uint8_t index);
};

// Whether two names name one file.
bool SameFile(const std::string& a, const std::string& b);
