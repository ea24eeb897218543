#include "config/Tbarometer_ini.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "config/Safe_save.h"
#include "platform/Regular_file.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && (IsBlank(text[begin]) || text[begin] == '\r')) ++begin;
  while (end > begin && (IsBlank(text[end - 1]) || text[end - 1] == '\r')) --end;
  return text.substr(begin, end - begin);
}

// A line of the file: "key<tab or blanks>value". A line that begins with a
// blank or '#', or holds no key, is kept as text.
void SplitLine(const std::string& raw, std::string* key, std::string* value) {
  key->clear();
  value->clear();
  std::string line = raw;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty() || line[0] == '#' || IsBlank(line[0])) return;
  size_t end = 0;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  *key = line.substr(0, end);
  size_t begin = end;
  while (begin < line.size() && IsBlank(line[begin])) ++begin;
  *value = line.substr(begin);
}

std::string WithoutLineEnds(const std::string& text) {
  std::string clean;
  for (char c : text)
    if (c != '\n' && c != '\r') clean += c;
  return clean;
}

std::string NumberText(double value) {
  char buffer[64];
  // The shortest form that reads back exactly; to_chars ignores the locale.
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// The first bytes of a saved file, which tell a leftover temporary file of
// ours from someone else's.
constexpr char kSavedFileStart[] = "# barometer.ini";

}  // namespace

std::optional<double> ParseIniNumber(const std::string& text) {
  const std::string number = Trimmed(text);
  if (number.empty()) return std::nullopt;
  const char* begin = number.data();
  const char* end = begin + number.size();
  if (*begin == '+') ++begin;  // from_chars takes no plus sign
  double value = 0;
  const std::from_chars_result result = std::from_chars(begin, end, value);
  if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

bool Tbarometer_ini::Load(const std::string& path) {
  path_ = path;
  last_error_.clear();
  refusals_.clear();
  readable_ = false;
  RemoveStaleTemporary(FollowLinks(path), kSavedFileStart);
  // Never blocks on a FIFO nor reads on from a device; refuses a file of
  // more than 1 MB.
  Tfile_read read = ReadRegularFile(path);
  if (read.status == Tfile_read::Status::Missing) {
    lines_.clear();
    readable_ = true;
    return true;
  }
  if (!read.Ok()) {
    last_error_ = read.reason;
    return false;
  }
  std::string text = std::move(read.content);
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);

  std::vector<Line> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    Line line;
    const std::string raw = text.substr(start, end - start);
    SplitLine(raw, &line.key, &line.value);
    if (line.key.empty())
      line.text = raw.empty() || raw.back() != '\r' ? raw : raw.substr(0, raw.size() - 1);
    lines.push_back(std::move(line));
    start = end + 1;
  }
  lines_ = std::move(lines);
  readable_ = true;
  return true;
}

bool Tbarometer_ini::Save() {
  // A file that could not be read is not written over: what it holds would
  // be lost.
  if (!readable_) {
    last_error_ = "it could not be read, so it is not written over";
    return false;
  }
  return SaveAs(path_);
}

bool Tbarometer_ini::SaveAs(const std::string& path) {
  last_error_.clear();
  if (!WriteWhole(path, Text(), true)) {
    last_error_ = std::strerror(errno ? errno : EIO);
    return false;
  }
  path_ = path;
  readable_ = true;
  return true;
}

std::string Tbarometer_ini::Text() const {
  std::string text;
  // The first line says what the file is; a file loaded with it keeps it.
  if (lines_.empty() ||
      lines_.front().text.compare(0, sizeof kSavedFileStart - 1, kSavedFileStart) != 0)
    text +=
        std::string(kSavedFileStart) + ": settings beyond setup.ini, one key, a tab, the value\n";
  for (const Line& line : lines_)
    text += (line.key.empty() ? line.text : line.key + "\t" + line.value) + "\n";
  return text;
}

const Tbarometer_ini::Line* Tbarometer_ini::Find(const std::string& key) const {
  for (auto it = lines_.rbegin(); it != lines_.rend(); ++it)
    if (!key.empty() && it->key == key) return &*it;
  return nullptr;
}

bool Tbarometer_ini::Has(const std::string& key) const {
  return Find(key) != nullptr;
}

std::string Tbarometer_ini::Get(const std::string& key, const std::string& fallback) const {
  const Line* line = Find(key);
  return line ? line->value : fallback;
}

double Tbarometer_ini::GetNumber(const std::string& key, double fallback, double min,
                                 double max) const {
  const Line* line = Find(key);
  if (!line) return fallback;
  const std::optional<double> value = ParseIniNumber(line->value);
  if (value && *value >= min && *value <= max) return *value;
  Refuse(key,
         (value ? "not from " : "not a number from ") + NumberText(min) + " to " + NumberText(max));
  return fallback;
}

int Tbarometer_ini::GetInt(const std::string& key, int fallback, int min, int max) const {
  const Line* line = Find(key);
  if (!line) return fallback;
  const std::string text = Trimmed(line->value);
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  int value = 0;
  const std::from_chars_result result = std::from_chars(begin, end, value);
  if (!text.empty() && result.ec == std::errc() && result.ptr == end && value >= min &&
      value <= max)
    return value;
  Refuse(key, "not a whole number from " + std::to_string(min) + " to " + std::to_string(max));
  return fallback;
}

bool Tbarometer_ini::GetBool(const std::string& key, bool fallback) const {
  if (!Has(key)) return fallback;
  const std::string value = Trimmed(Get(key));
  if (value == "1") return true;
  if (value == "0") return false;
  Refuse(key, "neither 1 nor 0");
  return fallback;
}

std::string Tbarometer_ini::GetChoice(const std::string& key,
                                      const std::vector<std::string>& choices,
                                      const std::string& fallback) const {
  if (!Has(key)) return fallback;
  const std::string value = Trimmed(Get(key));
  for (const std::string& choice : choices)
    if (value == choice) return choice;
  std::string allowed;
  for (size_t i = 0; i < choices.size(); ++i)
    allowed += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + choices[i];
  Refuse(key, "not " + allowed);
  return fallback;
}

void Tbarometer_ini::Refuse(const std::string& key, const std::string& reason) const {
  for (const Refusal& refusal : refusals_)
    if (refusal.key == key) return;
  const Line* line = Find(key);
  refusals_.push_back({key, line ? Trimmed(line->value) : std::string(), reason});
}

std::string Tbarometer_ini::RefusalsText() const {
  std::string text;
  for (const Refusal& refusal : refusals_) {
    if (!text.empty()) text += ", ";
    text += refusal.key + " " + (refusal.value.empty() ? "(empty)" : refusal.value) + " (" +
            refusal.reason + ")";
  }
  return text;
}

void Tbarometer_ini::Set(const std::string& key, const std::string& value) {
  std::string clean_key;
  for (char c : key)
    if (!IsBlank(c) && c != '\n' && c != '\r') clean_key += c;
  if (clean_key.empty() || clean_key[0] == '#') return;
  for (auto it = lines_.rbegin(); it != lines_.rend(); ++it) {
    if (it->key == clean_key) {
      it->value = WithoutLineEnds(value);
      return;
    }
  }
  lines_.push_back(Line{clean_key, WithoutLineEnds(value), std::string()});
}

void Tbarometer_ini::SetNumber(const std::string& key, double value) {
  Set(key, NumberText(value));
}

void Tbarometer_ini::SetInt(const std::string& key, int value) {
  Set(key, std::to_string(value));
}

void Tbarometer_ini::SetBool(const std::string& key, bool value) {
  Set(key, value ? "1" : "0");
}

void Tbarometer_ini::Remove(const std::string& key) {
  std::vector<Line> kept;
  for (Line& line : lines_)
    if (line.key != key || key.empty()) kept.push_back(std::move(line));
  lines_ = std::move(kept);
}
