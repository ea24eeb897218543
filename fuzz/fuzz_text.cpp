// The tokenizer and the two number parsers on arbitrary bytes. The first
// byte switches the comment options; the rest is the stream, and also the
// text given to each parser.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "atmosphere/Lib_vc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t options = data[0];
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  Tstreamtokenizer tokenizer;
  tokenizer.BlockComments = (options & 1) != 0;
  tokenizer.LineComments = (options & 2) != 0;
  std::FILE* stream =
      text.empty() ? nullptr : fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
  tokenizer.Attach(stream);
  // Every call takes at least one byte of the stream or ends it, and each
  // line end, a pair counting once, ends at most one token.
  const size_t most_calls = 2 * text.size() + 2;
  bool end_of_file = false;
  size_t calls = 0;
  while (!end_of_file) {
    tokenizer.NextToken(&end_of_file);
    const int32_t length = tokenizer.Length();
    if (length < 0 || length > Tstreamtokenizer::kMaxLength || tokenizer.Token[length] != '\0')
      std::abort();
    if (++calls > most_calls) std::abort();
  }
  if (stream) std::fclose(stream);

  // The parsers read up to the first NUL byte. A value is never NaN, and a
  // text without error is one of digits, signs, blanks (and for the decimal
  // parser points and exponents) only.
  int32_t integer = 0;
  if (!ParseInt(text.c_str(), &integer) &&
      std::strspn(text.c_str(), "0123456789+- \t") != std::strlen(text.c_str()))
    std::abort();
  double number = 0;
  const bool error = ParseDouble(text.c_str(), &number);
  if (std::isnan(number)) std::abort();
  if (!error && std::strspn(text.c_str(), "0123456789+-.eE \t") != std::strlen(text.c_str()))
    std::abort();
  return 0;
}
