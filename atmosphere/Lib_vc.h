#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Splits a byte stream into tokens separated by blanks and line ends.
//
// Double quotes group blanks into a token (the quotes themselves are not
// kept); inside them a backslash escapes the next character (\n and \r give
// line feed and carriage return). CR LF, LF CR, LF and CR each count as one
// line end. A token holds at most 255 characters; the rest of a longer word
// comes as the next token. Optional slash-star and double-slash comments are
// skipped.
class Tstreamtokenizer {
 public:
  static constexpr int kMaxLength = 255;

  Tstreamtokenizer();

  // Reads from `stream` from now on. The stream is not owned: the caller
  // opens it (in binary mode, so that carriage returns arrive) and closes it.
  void Attach(std::FILE* stream);

  // Reads the next token into Token. Returns true when the token was the
  // last on its line or the stream has ended; `end_of_file`, when given,
  // tells whether the stream has ended. The token may be empty (an empty
  // line, or blanks before a line end). Without a stream it returns at once
  // with an empty token, end of line and end of file.
  bool NextToken(bool* end_of_file = nullptr);

  // Characters in Token; can differ from strlen(Token) when the stream held
  // NUL bytes.
  int32_t Length() const { return length_; }

  char Token[kMaxLength + 1];
  bool BlockComments = false;
  bool LineComments = false;

 private:
  static constexpr int32_t kNothingPutBack = -2;

  int ReadByte();
  void Store(int c);
  // A line feed or carriage return; `partner` is the other one of the pair.
  void LineEnd(int c, int partner);
  // The character just read goes back to the stream and starts the next
  // token.
  void PutBack(int c) { put_back_ = c; }

  int32_t current_ = -1;  // last value read: a byte 0..255, or -1 at the end
  int32_t length_ = 0;
  bool token_complete_ = false;
  bool end_of_line_ = false;
  bool end_of_file_ = false;
  bool inside_quotes_ = false;
  bool token_empty_ = true;
  std::FILE* stream_ = nullptr;
  // The character before the current one where the rules need it, or -1.
  // It survives from one token to the next.
  int32_t pending_ = -1;
  bool inside_block_comment_ = false;
  bool inside_line_comment_ = false;
  // A slash read outside quotes and not stored yet: whether it is text or
  // the start of a comment is known only from the next character.
  bool slash_held_ = false;
  int32_t put_back_ = kNothingPutBack;
};

// Lenient integer parser: digits accumulate; '+' and '-' anywhere set the
// sign (the last one wins); blanks and tabs are skipped. Any other character
// stops the scan with the error flag set. The value read so far is stored
// into `value` in every case; the empty text gives 0. Overflow wraps around
// modulo 2^32. Returns true on error.
bool ParseInt(const char* text, int32_t* value = nullptr);
bool ParseInt(const std::string& text, int32_t* value = nullptr);

// Lenient decimal parser: mantissa, then after 'E' or 'e' an exponent, each
// with its own sign ('+'/'-' anywhere in the part) and optional fraction
// (a second '.' changes nothing); blanks and tabs are skipped. Any other
// character stops the scan with the error flag set. The value read so far is
// stored into `value` in every case; the empty text gives 0. Huge exponents
// give infinity or zero; the result is never NaN. Returns true on error.
bool ParseDouble(const char* text, double* value = nullptr);
bool ParseDouble(const std::string& text, double* value = nullptr);

// True when `path` names an existing file or directory.
bool FileExists(const char* path);
bool FileExists(const std::string& path);
