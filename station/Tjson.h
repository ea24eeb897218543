#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One JSON value, as the lines of the recording service's socket carry
// them: read with a point for numbers whatever the locale, and with a bound
// on nesting, so that no line can exhaust the stack.
class Tjson {
 public:
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
  static constexpr int kMaxDepth = 32;

  // The value of the whole text (white space around it allowed); nothing,
  // with the reason in `error`, when it is no JSON.
  static std::optional<Tjson> Parse(std::string_view text, std::string* error = nullptr);

  Type type = Type::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Tjson> items;
  std::vector<std::pair<std::string, Tjson>> members;

  bool IsNull() const { return type == Type::kNull; }
  bool IsNumber() const { return type == Type::kNumber; }
  bool IsString() const { return type == Type::kString; }
  bool IsBool() const { return type == Type::kBool; }
  bool IsObject() const { return type == Type::kObject; }
  // The member of an object under `key` (the last one when a key comes
  // twice); null for none or for a value that is no object.
  const Tjson* Find(std::string_view key) const;
  // The member as a number, text or truth value; `fallback` when absent or
  // of another type.
  double NumberOf(std::string_view key, double fallback) const;
  std::string TextOf(std::string_view key, const std::string& fallback = std::string()) const;
  bool BoolOf(std::string_view key, bool fallback) const;

  // The value written back as JSON text (numbers as they were read,
  // shortest form).
  std::string Write() const;
};
