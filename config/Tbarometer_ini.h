#pragma once

#include <optional>
#include <string>
#include <vector>

// barometer.ini, beside setup.ini: every setting the program keeps beyond
// the 17 lines of setup.ini (the module's port, units and corrections, the
// storm warning, publishing, window sizes). One line a setting, in the same
// form as setup.ini: a key, a tab (or blanks), the value to the line's end.
// Each feature owns its keys and their defaults and reads them through the
// typed getters below, which give the default for a key that is missing,
// not a number, or out of the feature's range.
//
// A value a getter refuses is kept as a refusal (the key, its value and why),
// so that the program can say once which keys it did not take.
//
// Everything else in the file stays as it was when the file is saved:
// unknown keys (a newer program's), comments and blank lines, in their
// order. The file may hold a password, so it is always written with mode
// 0600, through the same safe save as setup.ini.
class Tbarometer_ini {
 public:
  static constexpr const char* kFileName = "barometer.ini";

  // Reads the file; a missing file is an empty one. False when the file
  // exists but cannot be read, or is no regular file or larger than 1 MB
  // (then `LastError()` says why and the settings held stay as they were).
  bool Load(const std::string& path = kFileName);
  // Writes every line held to the file last loaded (or `path`); false, with
  // `LastError()`, when it could not be saved. The old file is never harmed,
  // and one that exists but could not be loaded is not written over by Save.
  bool Save();
  bool SaveAs(const std::string& path);

  const std::string& Path() const { return path_; }
  const std::string& LastError() const { return last_error_; }

  bool Has(const std::string& key) const;
  // The value of the key's last line, or `fallback` when there is none.
  std::string Get(const std::string& key, const std::string& fallback = std::string()) const;
  // A decimal number with a point, whatever the locale, finite and within
  // [min, max]; otherwise the fallback.
  double GetNumber(const std::string& key, double fallback, double min, double max) const;
  // A whole number within [min, max]; otherwise the fallback.
  int GetInt(const std::string& key, int fallback, int min, int max) const;
  // "1" is on, "0" off; anything else is the fallback.
  bool GetBool(const std::string& key, bool fallback) const;
  // One of `choices`, compared exactly; otherwise the fallback.
  std::string GetChoice(const std::string& key, const std::vector<std::string>& choices,
                        const std::string& fallback) const;

  // A key whose value a getter refused.
  struct Refusal {
    std::string key;
    std::string value;
    std::string reason;  // "not a whole number from 1 to 65535", ...
  };
  // The keys refused since the last Load or ClearRefusals, each once, in
  // the order they were first refused.
  const std::vector<Refusal>& Refusals() const { return refusals_; }
  void ClearRefusals() { refusals_.clear(); }
  // The refusals in one line: "mqtt_port 70000 (not a whole number from 1
  // to 65535), mqtt_interval -1 (...)"; empty when there are none.
  std::string RefusalsText() const;

  // Sets the key's value (its last line, or a new line at the end). Line
  // ends in the value are dropped: one setting stays one line.
  void Set(const std::string& key, const std::string& value);
  // Numbers are written with a point and read back exactly.
  void SetNumber(const std::string& key, double value);
  void SetInt(const std::string& key, int value);
  void SetBool(const std::string& key, bool value);
  void Remove(const std::string& key);

  // The whole text as it would be saved.
  std::string Text() const;

 private:
  struct Line {
    std::string key;    // empty: a comment or blank line, kept as `text`
    std::string value;  // for a setting
    std::string text;   // for anything else
  };
  const Line* Find(const std::string& key) const;
  // Keeps the refusal of the key's value (once per key).
  void Refuse(const std::string& key, const std::string& reason) const;

  std::vector<Line> lines_;
  std::string path_ = kFileName;
  std::string last_error_;
  bool readable_ = true;
  // The getters are const: what they refuse is kept all the same.
  mutable std::vector<Refusal> refusals_;
};

// A number in the file's form: decimal, with a point, read whole (blanks
// around it allowed) or not at all.
std::optional<double> ParseIniNumber(const std::string& text);
