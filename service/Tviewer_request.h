#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A setting's value as a viewer sends it.
struct Tviewer_value {
  enum class Kind : uint8_t { kNumber, kBool, kString };
  Kind kind = Kind::kNumber;
  double number = 0;  // finite
  bool flag = false;
  std::string text;  // UTF-8, no control characters
};

struct Tviewer_setting {
  std::string key;
  Tviewer_value value;
};

// One request line of a viewer of the service's socket, without its "\n":
//   {"request":"ping","id":N}
//   {"request":"set","id":N,"settings":{"altitude":412.0,...}}
// A small JSON reader for exactly these shapes and nothing else: one object
// with the keys request, id and settings, each once; settings an object of
// known keys, each once, with a value of the key's type (a number, true or
// false, or a string). Everything is bounded: the line, each string, the
// count of settings; nothing nests deeper than the settings object. Pure,
// so that it can be fed anything.
class Tviewer_request {
 public:
  static constexpr size_t kLongestLine = 64 * 1024;
  static constexpr size_t kLongestString = 1024;
  static constexpr size_t kMostSettings = 64;

  enum class Kind : uint8_t { kNone, kPing, kSet };

  // Reads one line; false with `reason` (and `key` when it is about one of
  // the settings). `id` is kept whenever it was read, also on failure, so
  // that the refusal can answer it.
  bool Parse(const std::string& line);

  Kind kind = Kind::kNone;
  std::optional<int64_t> id;
  std::vector<Tviewer_setting> settings;
  std::string reason;
  std::string key;

  // The settings a viewer may send, with the kind of value each takes.
  struct Known {
    const char* key;
    Tviewer_value::Kind kind;
  };
  static const std::vector<Known>& KnownSettings();
  // The kind of a known key's value; nothing for an unknown key.
  static std::optional<Tviewer_value::Kind> KindOf(const std::string& key);
};
