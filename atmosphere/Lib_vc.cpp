#include "atmosphere/Lib_vc.h"

#include <sys/stat.h>

#include <cmath>
#include <limits>

namespace {

// Characters that, read outside quotes, end the token by themselves: blanks,
// line ends and the end of the stream. Any other character belongs to a token,
// either as text or, like a quote or a slash, as markup for what follows.
bool EndsToken(int c) {
  switch (c) {
    case ' ':
    case '\t':
    case '\n':
    case '\r':
    case -1:
      return true;
    default:
      return false;
  }
}

// Two's-complement reinterpretation without relying on an out-of-range
// conversion.
int32_t ToSigned(uint32_t v) {
  if (v <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
    return static_cast<int32_t>(v);
  }
  return -static_cast<int32_t>(~v) - 1;
}

}  // namespace

Tstreamtokenizer::Tstreamtokenizer() {
  Token[0] = '\0';
}

void Tstreamtokenizer::Attach(std::FILE* stream) {
  stream_ = stream;
  pending_ = -1;
  inside_block_comment_ = false;
  inside_line_comment_ = false;
  slash_held_ = false;
  put_back_ = kNothingPutBack;
}

int Tstreamtokenizer::ReadByte() {
  if (put_back_ != kNothingPutBack) {
    const int c = put_back_;
    put_back_ = kNothingPutBack;
    return c;
  }
  const int c = std::fgetc(stream_);
  return c == EOF ? -1 : c;
}

void Tstreamtokenizer::Store(int c) {
  // The callers never pass the limit; this keeps the buffer safe regardless.
  if (length_ >= kMaxLength) return;
  Token[length_++] = static_cast<char>(static_cast<unsigned char>(c));
  token_empty_ = false;
}

void Tstreamtokenizer::LineEnd(int c, int partner) {
  if (pending_ == partner) {
    // Second half of a CR LF or LF CR pair: the line has already ended.
    pending_ = -1;
    return;
  }
  end_of_line_ = true;
  token_complete_ = true;
  inside_quotes_ = false;
  inside_line_comment_ = false;
  pending_ = c;
}

bool Tstreamtokenizer::NextToken(bool* end_of_file) {
  token_complete_ = false;
  end_of_line_ = false;
  end_of_file_ = false;
  inside_quotes_ = false;
  token_empty_ = true;
  length_ = 0;

  if (stream_ == nullptr) {
    end_of_file_ = true;
    end_of_line_ = true;
  }

  while (!token_complete_ && !end_of_line_ && !end_of_file_) {
    const int c = ReadByte();
    current_ = c;

    // A slash held back from the previous character (always read outside
    // quotes and comments): either it opens a comment with this character,
    // or it is text and is stored now, before this character.
    if (slash_held_) {
      slash_held_ = false;
      if (BlockComments && c == '*') {
        inside_block_comment_ = true;
        pending_ = -1;  // this '*' does not also close the comment
        continue;
      }
      if (LineComments && c == '/') {
        inside_line_comment_ = true;
        pending_ = -1;
        continue;
      }
      Store('/');
      if (length_ >= kMaxLength && !EndsToken(c)) {
        // The token is full with the slash: this character starts the next
        // token. An opening quote included: handled here, it would open
        // quotes in a token that is already complete, and be lost.
        PutBack(c);
        token_complete_ = true;
        continue;
      }
    }

    if (inside_block_comment_ || inside_line_comment_) {
      // Nothing is stored and blanks do not end the token; line ends are
      // still reported.
      if (c == '\n') {
        LineEnd(c, '\r');
      } else if (c == '\r') {
        LineEnd(c, '\n');
      } else if (c == -1) {
        end_of_line_ = true;
        end_of_file_ = true;
        token_complete_ = true;
      } else if (inside_block_comment_ && c == '/' && pending_ == '*') {
        inside_block_comment_ = false;
        pending_ = -1;
      } else {
        pending_ = c;
      }
      continue;
    }

    switch (c) {
      case ' ':
      case '\t':
        if (inside_quotes_) {
          Store(c);
        } else if (!token_empty_) {
          token_complete_ = true;
        }
        pending_ = c;
        break;
      case '\n':
        LineEnd(c, '\r');
        break;
      case '\r':
        LineEnd(c, '\n');
        break;
      case -1:
        end_of_line_ = true;
        end_of_file_ = true;
        token_complete_ = true;
        inside_quotes_ = false;
        break;
      case '"':
        if (!inside_quotes_) {
          inside_quotes_ = true;
        } else if (pending_ == '\\') {
          Store('"');
          pending_ = '"';
        } else {
          inside_quotes_ = false;
        }
        break;
      case '\\':
        if (!inside_quotes_ || pending_ == '\\') {
          Store('\\');
          pending_ = -1;
        } else {
          pending_ = '\\';  // an escape begins
        }
        break;
      case '/':
        if (inside_quotes_) {
          Store('/');
        } else {
          slash_held_ = true;
        }
        pending_ = '/';
        break;
      case '*':
        Store('*');
        pending_ = '*';
        break;
      default:
        if (inside_quotes_ && pending_ == '\\') {
          Store(c == 'n' ? '\n' : c == 'r' ? '\r' : c);
          pending_ = -1;
        } else {
          Store(c);
          pending_ = c;
        }
        break;
    }

    if (length_ >= kMaxLength) token_complete_ = true;
  }

  Token[length_] = '\0';
  if (end_of_file != nullptr) *end_of_file = end_of_file_;
  return end_of_line_;
}

bool ParseInt(const char* text, int32_t* value) {
  uint32_t v = 0;  // wraps modulo 2^32 on overflow
  bool positive = true;
  bool error = false;
  for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
    const char ch = *p;
    if (ch >= '0' && ch <= '9') {
      v = v * 10u + static_cast<uint32_t>(ch - '0');
    } else if (ch == '+') {
      positive = true;
    } else if (ch == '-') {
      positive = false;
    } else if (ch == ' ' || ch == '\t') {
      continue;
    } else {
      error = true;
      break;
    }
  }
  if (!positive) v = 0u - v;
  if (value != nullptr) *value = ToSigned(v);
  return error;
}

bool ParseInt(const std::string& text, int32_t* value) {
  return ParseInt(text.c_str(), value);
}

bool ParseDouble(const char* text, double* value) {
  // part 0 is the mantissa, part 1 the exponent.
  double part[2] = {0, 0};
  bool positive[2] = {true, true};
  int current = 0;
  bool fraction = false;
  double weight = 0.1;
  bool error = false;
  // Decimal places dropped from an integer mantissa too large for a double;
  // they are added to the exponent, so the mantissa stays finite and the
  // result is never infinity times zero.
  double mantissa_scale = 0;

  for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
    const char ch = *p;
    if (ch >= '0' && ch <= '9') {
      const int d = ch - '0';
      double& x = part[current];
      if (fraction) {
        x += d * weight;
        weight *= 0.1;
      } else if (current == 0 && mantissa_scale > 0) {
        mantissa_scale += 1;
      } else {
        const double next = x * 10 + d;
        if (current == 0 && std::isinf(next)) {
          mantissa_scale += 1;
        } else {
          x = next;
        }
      }
    } else if (ch == '.') {
      fraction = true;
    } else if (ch == 'E' || ch == 'e') {
      current = 1;
      fraction = false;
      weight = 0.1;
    } else if (ch == '+' || ch == '-') {
      positive[current] = ch == '+';
    } else if (ch == ' ' || ch == '\t') {
      continue;
    } else {
      error = true;
      break;
    }
  }

  const double mantissa = positive[0] ? part[0] : -part[0];
  const double exponent = (positive[1] ? part[1] : -part[1]) + mantissa_scale;
  // Zero stays zero whatever the exponent (zero times infinity would be NaN).
  const double result = mantissa == 0 ? mantissa : std::pow(10.0, exponent) * mantissa;
  if (value != nullptr) *value = result;
  return error;
}

bool ParseDouble(const std::string& text, double* value) {
  return ParseDouble(text.c_str(), value);
}

bool FileExists(const char* path) {
  if (path == nullptr || *path == '\0') return false;
  struct stat attributes;
  return ::stat(path, &attributes) == 0;
}

bool FileExists(const std::string& path) {
  return FileExists(path.c_str());
}
