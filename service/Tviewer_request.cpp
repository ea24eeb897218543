// The viewers' requests: a strict reader of the few JSON shapes they take.

#include "service/Tviewer_request.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "config/Port_settings.h"

namespace {

using Value_kind = Tviewer_value::Kind;

// A cursor over the line; every Read... leaves `why` set when it fails.
class Reader {
 public:
  explicit Reader(const std::string& text) : p_(text.data()), end_(text.data() + text.size()) {}

  std::string why;

  void Blanks() {
    while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n')) ++p_;
  }
  bool AtEnd() const { return p_ == end_; }
  // Takes c after blanks, or fails with the message.
  bool Take(char c, const char* message) {
    Blanks();
    if (p_ < end_ && *p_ == c) {
      ++p_;
      return true;
    }
    return Fail(message);
  }
  // Whether the next character after blanks is c (taken when it is).
  bool TakeIf(char c) {
    Blanks();
    if (p_ < end_ && *p_ == c) {
      ++p_;
      return true;
    }
    return false;
  }
  char Peek() {
    Blanks();
    return p_ < end_ ? *p_ : '\0';
  }

  bool ReadString(std::string* out) {
    if (!Take('"', "a string was expected")) return false;
    out->clear();
    while (p_ < end_) {
      const auto c = static_cast<unsigned char>(*p_);
      if (c == '"') {
        ++p_;
        return true;
      }
      if (out->size() >= Tviewer_request::kLongestString) return Fail("a string is too long");
      if (c < 0x20 || c == 0x7F) return Fail("a string holds a control character");
      if (c == '\\') {
        ++p_;
        if (!ReadEscape(out)) return false;
        continue;
      }
      if (c < 0x80) {
        out->push_back(static_cast<char>(c));
        ++p_;
        continue;
      }
      if (!CopyUtf8(out)) return false;
    }
    return Fail("a string is not closed");
  }

  // A JSON number, finite; `whole` when it has neither fraction nor exponent.
  bool ReadNumber(double* out, bool* whole) {
    Blanks();
    const char* start = p_;
    const char* q = p_;
    if (q < end_ && *q == '-') ++q;
    if (q >= end_ || !IsDigit(*q)) return Fail("a number was expected");
    if (*q == '0') {
      ++q;
    } else {
      while (q < end_ && IsDigit(*q)) ++q;
    }
    *whole = true;
    if (q < end_ && *q == '.') {
      ++q;
      if (q >= end_ || !IsDigit(*q)) return Fail("a number has no digits after its point");
      while (q < end_ && IsDigit(*q)) ++q;
      *whole = false;
    }
    if (q < end_ && (*q == 'e' || *q == 'E')) {
      ++q;
      if (q < end_ && (*q == '+' || *q == '-')) ++q;
      if (q >= end_ || !IsDigit(*q)) return Fail("a number has no digits in its exponent");
      while (q < end_ && IsDigit(*q)) ++q;
      *whole = false;
    }
    double value = 0;
    const std::from_chars_result r = std::from_chars(start, q, value);
    if (r.ec != std::errc() || r.ptr != q || !std::isfinite(value))
      return Fail("a number is out of range");
    p_ = q;
    *out = value;
    return true;
  }

  // true, false: the word and what it means.
  bool ReadWord(bool* out) {
    Blanks();
    if (Has("true")) {
      p_ += 4;
      *out = true;
      return true;
    }
    if (Has("false")) {
      p_ += 5;
      *out = false;
      return true;
    }
    return Fail("a value was expected");
  }

  bool Fail(const char* message) {
    if (why.empty()) why = message;
    return false;
  }

 private:
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  bool Has(const char* word) const {
    const size_t n = std::strlen(word);
    return static_cast<size_t>(end_ - p_) >= n && std::memcmp(p_, word, n) == 0;
  }

  int Hex4() {
    if (end_ - p_ < 4) return -1;
    int v = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = p_[i];
      v <<= 4;
      if (c >= '0' && c <= '9')
        v |= c - '0';
      else if (c >= 'a' && c <= 'f')
        v |= c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        v |= c - 'A' + 10;
      else
        return -1;
    }
    p_ += 4;
    return v;
  }

  static void PutUtf8(std::string* out, uint32_t cp) {
    if (cp < 0x80) {
      out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  // After the backslash.
  bool ReadEscape(std::string* out) {
    if (p_ >= end_) return Fail("a string is not closed");
    const char c = *p_++;
    switch (c) {
      case '"':
      case '\\':
      case '/':
        out->push_back(c);
        return true;
      case 'b':
      case 'f':
      case 'n':
      case 'r':
      case 't':
        // Settings are one line of a file each: no control characters.
        return Fail("a string holds a control character");
      case 'u':
        break;
      default:
        return Fail("a string holds an unknown escape");
    }
    const int first = Hex4();
    if (first < 0) return Fail("a \\u escape needs four hexadecimal digits");
    uint32_t cp = static_cast<uint32_t>(first);
    if (cp >= 0xDC00 && cp <= 0xDFFF) return Fail("a string holds a lone surrogate");
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u')
        return Fail("a string holds a lone surrogate");
      p_ += 2;
      const int second = Hex4();
      if (second < 0xDC00 || second > 0xDFFF) return Fail("a string holds a lone surrogate");
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint32_t>(second) - 0xDC00);
    }
    if (cp < 0x20 || cp == 0x7F) return Fail("a string holds a control character");
    PutUtf8(out, cp);
    return true;
  }

  // One UTF-8 sequence of two to four bytes, well formed (no overlong form,
  // no surrogate, nothing beyond U+10FFFF).
  bool CopyUtf8(std::string* out) {
    const auto b0 = static_cast<unsigned char>(*p_);
    int n = 0;
    uint32_t cp = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      n = 2;
      cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      n = 3;
      cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      n = 4;
      cp = b0 & 0x07;
    } else {
      return Fail("a string is not UTF-8");
    }
    if (end_ - p_ < n) return Fail("a string is not UTF-8");
    for (int i = 1; i < n; ++i) {
      const auto b = static_cast<unsigned char>(p_[i]);
      if ((b & 0xC0) != 0x80) return Fail("a string is not UTF-8");
      cp = (cp << 6) | (b & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return Fail("a string is not UTF-8");
    out->append(p_, static_cast<size_t>(n));
    p_ += n;
    return true;
  }

  const char* p_;
  const char* end_;
};

const char* KindWords(Value_kind kind) {
  switch (kind) {
    case Value_kind::kNumber:
      return "a number";
    case Value_kind::kBool:
      return "true or false";
    case Value_kind::kString:
      return "a string";
  }
  return "";
}

}  // namespace

const std::vector<Tviewer_request::Known>& Tviewer_request::KnownSettings() {
  static const std::vector<Known> known = [] {
    std::vector<Known> keys = {
        {"n", Value_kind::kNumber},
        {"ts", Value_kind::kNumber},
        {"altitude", Value_kind::kNumber},
        {"sunny_limit", Value_kind::kNumber},
        {"variable_limit", Value_kind::kNumber},
        {"overcast_limit", Value_kind::kNumber},
        {"hysteresis", Value_kind::kNumber},
        {"quick_down_rate", Value_kind::kNumber},
        {"slow_down_rate", Value_kind::kNumber},
        {"quick_up_rate", Value_kind::kNumber},
        {"slow_up_rate", Value_kind::kNumber},
        {"pressure_correction", Value_kind::kNumber},
        {"temperature_correction", Value_kind::kNumber},
        {"storm_warning", Value_kind::kBool},
        {"storm_threshold", Value_kind::kNumber},
        {"mqtt_enabled", Value_kind::kBool},
        {"mqtt_host", Value_kind::kString},
        {"mqtt_port", Value_kind::kNumber},
        {"mqtt_tls", Value_kind::kBool},
        {"mqtt_user", Value_kind::kString},
        {"mqtt_password", Value_kind::kString},
        {"mqtt_base_topic", Value_kind::kString},
        {"mqtt_interval", Value_kind::kNumber},
        {"mqtt_retain", Value_kind::kBool},
        {"mqtt_discovery", Value_kind::kBool},
        {"mqtt_client_id", Value_kind::kString},
    };
    // The port, as barometer.ini names its keys (iio_device among them).
    PortChoice every;
    every.iio_device = "any";
    for (const PortKeyValue& k : PortKeyValues(every))
      keys.push_back({k.key, k.number ? Value_kind::kNumber : Value_kind::kString});
    return keys;
  }();
  return known;
}

std::optional<Tviewer_value::Kind> Tviewer_request::KindOf(const std::string& key) {
  for (const Known& k : KnownSettings())
    if (key == k.key) return k.kind;
  return std::nullopt;
}

bool Tviewer_request::Parse(const std::string& line) {
  kind = Kind::kNone;
  id.reset();
  settings.clear();
  reason.clear();
  key.clear();
  if (line.size() > kLongestLine) {
    reason = "the line is longer than 64 KiB";
    return false;
  }
  Reader r(line);
  // What a failure leaves: the reader's words, and the setting it was at.
  auto fail = [&](const std::string& setting = std::string()) {
    reason = r.why.empty() ? "not a request" : r.why;
    key = setting;
    kind = Kind::kNone;
    settings.clear();
    return false;
  };
  auto refuse = [&](const char* message, const std::string& setting = std::string()) {
    r.Fail(message);
    return fail(setting);
  };
  if (!r.Take('{', "a request is one JSON object")) return fail();
  bool seen_request = false, seen_settings = false;
  Kind named = Kind::kNone;
  if (!r.TakeIf('}')) {
    do {
      std::string name;
      if (!r.ReadString(&name) || !r.Take(':', "a ':' was expected")) return fail();
      if (name == "request") {
        std::string what;
        if (seen_request) return refuse("the key request is given twice");
        seen_request = true;
        if (!r.ReadString(&what)) return fail();
        if (what == "ping")
          named = Kind::kPing;
        else if (what == "set")
          named = Kind::kSet;
        else
          return refuse("no such request");
      } else if (name == "id") {
        if (id) return refuse("the key id is given twice");
        double value = 0;
        bool whole = false;
        if (!r.ReadNumber(&value, &whole)) return fail();
        // Whole, and exact in a double: up to 2^53.
        if (!whole || std::fabs(value) > 9007199254740992.0)
          return refuse("the id is a whole number");
        id = static_cast<int64_t>(value);
      } else if (name == "settings") {
        if (seen_settings) return refuse("the key settings is given twice");
        seen_settings = true;
        if (!r.Take('{', "settings is an object")) return fail();
        if (r.TakeIf('}')) continue;
        do {
          std::string setting;
          if (!r.ReadString(&setting) || !r.Take(':', "a ':' was expected")) return fail();
          const std::optional<Tviewer_value::Kind> want = KindOf(setting);
          if (!want) return refuse("no such setting", setting);
          for (const Tviewer_setting& s : settings)
            if (s.key == setting) return refuse("the setting is given twice", setting);
          if (settings.size() >= kMostSettings) return refuse("too many settings");
          Tviewer_setting s;
          s.key = setting;
          s.value.kind = *want;
          const char next = r.Peek();
          bool ok = false;
          if (*want == Value_kind::kString && next == '"') {
            ok = r.ReadString(&s.value.text);
          } else if (*want == Value_kind::kNumber &&
                     (next == '-' || (next >= '0' && next <= '9'))) {
            bool whole = false;
            ok = r.ReadNumber(&s.value.number, &whole);
          } else if (*want == Value_kind::kBool && (next == 't' || next == 'f')) {
            ok = r.ReadWord(&s.value.flag);
          } else {
            r.why = std::string("the value is to be ") + KindWords(*want);
          }
          if (!ok) return fail(setting);
          settings.push_back(std::move(s));
        } while (r.TakeIf(','));
        if (!r.Take('}', "a ',' or '}' was expected")) return fail();
      } else {
        return refuse("no such key in a request");
      }
    } while (r.TakeIf(','));
    if (!r.Take('}', "a ',' or '}' was expected")) return fail();
  }
  r.Blanks();
  if (!r.AtEnd()) return refuse("something follows the request");
  if (!seen_request) return refuse("the key request is missing");
  if (!id) return refuse("the key id is missing");
  if (named == Kind::kPing && seen_settings) return refuse("a ping takes no settings");
  if (named == Kind::kSet && !seen_settings) return refuse("the key settings is missing");
  kind = named;
  return true;
}
