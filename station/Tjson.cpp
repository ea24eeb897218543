#include "station/Tjson.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "publish/Mqtt_messages.h"

namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : s_(text) {}

  bool Value(Tjson& out, int depth) {
    if (depth > Tjson::kMaxDepth) return Fail("nested too deep");
    Space();
    if (at_ >= s_.size()) return Fail("a value is missing");
    const char c = s_[at_];
    if (c == '{') return Object(out, depth);
    if (c == '[') return Array(out, depth);
    if (c == '"') {
      out.type = Tjson::Type::kString;
      return String(out.text);
    }
    if (Word("true")) {
      out.type = Tjson::Type::kBool;
      out.boolean = true;
      return true;
    }
    if (Word("false")) {
      out.type = Tjson::Type::kBool;
      return true;
    }
    if (Word("null")) return true;
    return Number(out);
  }

  bool End() {
    Space();
    return at_ == s_.size() || Fail("text after the value");
  }

  std::string error;

 private:
  bool Fail(const char* why) {
    if (error.empty()) error = std::string(why) + " at byte " + std::to_string(at_);
    return false;
  }

  void Space() {
    while (at_ < s_.size() &&
           (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r'))
      ++at_;
  }

  bool Word(std::string_view word) {
    if (s_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool Number(Tjson& out) {
    // JSON's grammar: an optional minus, digits, a fraction, an exponent.
    const size_t start = at_;
    if (at_ < s_.size() && s_[at_] == '-') ++at_;
    const size_t digits = at_;
    while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
    if (at_ == digits) return Fail("no value");
    if (at_ < s_.size() && s_[at_] == '.') {
      ++at_;
      const size_t fraction = at_;
      while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
      if (at_ == fraction) return Fail("a number without its fraction");
    }
    if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
      ++at_;
      if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) ++at_;
      const size_t exponent = at_;
      while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
      if (at_ == exponent) return Fail("a number without its exponent");
    }
    double value = 0;
    const auto result = std::from_chars(s_.data() + start, s_.data() + at_, value);
    if (result.ec != std::errc() || !std::isfinite(value)) return Fail("a number out of range");
    out.type = Tjson::Type::kNumber;
    out.number = value;
    return true;
  }

  static void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool Hex4(uint32_t& code) {
    if (at_ + 4 > s_.size()) return Fail("a short \\u escape");
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = s_[at_++];
      code <<= 4;
      if (c >= '0' && c <= '9')
        code |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f')
        code |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        code |= static_cast<uint32_t>(c - 'A' + 10);
      else
        return Fail("a bad \\u escape");
    }
    return true;
  }

  bool String(std::string& out) {
    ++at_;  // the opening quote
    out.clear();
    while (at_ < s_.size()) {
      const char c = s_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= s_.size()) break;
      const char e = s_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t code = 0;
          if (!Hex4(code)) return false;
          // A surrogate pair makes one character beyond the first plane; a
          // lone half becomes the replacement character.
          if (code >= 0xD800 && code < 0xDC00 && s_.substr(at_, 2) == "\\u") {
            at_ += 2;
            uint32_t low = 0;
            if (!Hex4(low)) return false;
            code = (low >= 0xDC00 && low < 0xE000)
                       ? 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00)
                       : 0xFFFD;
          } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
          }
          AppendUtf8(out, code);
          break;
        }
        default:
          return Fail("a bad escape");
      }
    }
    return Fail("a string without its end");
  }

  bool Array(Tjson& out, int depth) {
    ++at_;
    out.type = Tjson::Type::kArray;
    Space();
    if (at_ < s_.size() && s_[at_] == ']') {
      ++at_;
      return true;
    }
    for (;;) {
      out.items.emplace_back();
      if (!Value(out.items.back(), depth + 1)) return false;
      Space();
      if (at_ >= s_.size()) return Fail("an array without its end");
      const char c = s_[at_++];
      if (c == ']') return true;
      if (c != ',') return Fail("a bad separator in an array");
    }
  }

  bool Object(Tjson& out, int depth) {
    ++at_;
    out.type = Tjson::Type::kObject;
    Space();
    if (at_ < s_.size() && s_[at_] == '}') {
      ++at_;
      return true;
    }
    for (;;) {
      Space();
      if (at_ >= s_.size() || s_[at_] != '"') return Fail("a key is missing");
      std::string key;
      if (!String(key)) return false;
      Space();
      if (at_ >= s_.size() || s_[at_] != ':') return Fail("a colon is missing");
      ++at_;
      out.members.emplace_back(std::move(key), Tjson());
      if (!Value(out.members.back().second, depth + 1)) return false;
      Space();
      if (at_ >= s_.size()) return Fail("an object without its end");
      const char c = s_[at_++];
      if (c == '}') return true;
      if (c != ',') return Fail("a bad separator in an object");
    }
  }

  std::string_view s_;
  size_t at_ = 0;
};

}  // namespace

std::optional<Tjson> Tjson::Parse(std::string_view text, std::string* error) {
  Reader reader(text);
  Tjson value;
  if (reader.Value(value, 0) && reader.End()) return value;
  if (error != nullptr) *error = reader.error;
  return std::nullopt;
}

const Tjson* Tjson::Find(std::string_view key) const {
  if (type != Type::kObject) return nullptr;
  for (auto it = members.rbegin(); it != members.rend(); ++it)
    if (it->first == key) return &it->second;
  return nullptr;
}

double Tjson::NumberOf(std::string_view key, double fallback) const {
  const Tjson* v = Find(key);
  return v != nullptr && v->IsNumber() ? v->number : fallback;
}

std::string Tjson::TextOf(std::string_view key, const std::string& fallback) const {
  const Tjson* v = Find(key);
  return v != nullptr && v->IsString() ? v->text : fallback;
}

bool Tjson::BoolOf(std::string_view key, bool fallback) const {
  const Tjson* v = Find(key);
  return v != nullptr && v->IsBool() ? v->boolean : fallback;
}

std::string Tjson::Write() const {
  switch (type) {
    case Type::kNull:
      return "null";
    case Type::kBool:
      return boolean ? "true" : "false";
    case Type::kNumber: {
      char buffer[64];
      const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
      return result.ec == std::errc() ? std::string(buffer, result.ptr) : "null";
    }
    case Type::kString:
      return JsonString(text);
    case Type::kArray: {
      std::string out = "[";
      for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i].Write();
      return out + "]";
    }
    case Type::kObject: {
      std::string out = "{";
      for (size_t i = 0; i < members.size(); ++i)
        out += (i ? "," : "") + JsonString(members[i].first) + ":" + members[i].second.Write();
      return out + "}";
    }
  }
  return "null";
}
