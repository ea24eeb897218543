#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "atmosphere/Lib_vc.h"

namespace {

// Writes `bytes` to a file of the test's own working folder and returns
// every token read from it. A token that ended its line carries "<" at its
// end; the last token must be the only one reporting the end of the file.
std::vector<std::string> Tokenize(const std::string& bytes, bool block = false, bool line = false) {
  const char* path = "tokens.txt";
  std::FILE* out = std::fopen(path, "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);

  std::FILE* in = std::fopen(path, "rb");
  Tstreamtokenizer t;
  t.BlockComments = block;
  t.LineComments = line;
  t.Attach(in);
  std::vector<std::string> tokens;
  bool eof = false;
  while (!eof && tokens.size() < 10000) {
    const bool eol = t.NextToken(&eof);
    EXPECT_LE(t.Length(), 255);
    EXPECT_EQ(t.Token[t.Length()], '\0');
    EXPECT_TRUE(eol || !eof);
    tokens.push_back(std::string(t.Token, t.Length()) + (eol ? "<" : ""));
  }
  // Reading past the end gives nothing new.
  EXPECT_TRUE(t.NextToken(&eof));
  EXPECT_TRUE(eof);
  EXPECT_EQ(t.Length(), 0);
  std::fclose(in);
  return tokens;
}

using Tokens = std::vector<std::string>;

}  // namespace

TEST(Tokenizer, LineEnds) {
  for (const char* end : {"\r\n", "\n\r", "\n", "\r"}) {
    EXPECT_EQ(Tokenize(std::string("key value") + end + "next"), (Tokens{"key", "value<", "next<"}))
        << int(end[0]);
  }
  EXPECT_EQ(Tokenize("a\r\rb"), (Tokens{"a<", "<", "b<"}));
  EXPECT_EQ(Tokenize("a\n\nb"), (Tokens{"a<", "<", "b<"}));
  EXPECT_EQ(Tokenize("a\r\n\r\nb\n"), (Tokens{"a<", "<", "b<", "<"}));
  EXPECT_EQ(Tokenize("key value \n"), (Tokens{"key", "value", "<", "<"}));
  EXPECT_EQ(Tokenize("\t #warning, take  care"), (Tokens{"#warning,", "take", "care<"}));
}

TEST(Tokenizer, QuotesAndEscapes) {
  EXPECT_EQ(Tokenize("a\"b c\"d e"), (Tokens{"ab cd", "e<"}));
  EXPECT_EQ(Tokenize("\"say \\\"hi\\\"\""), (Tokens{"say \"hi\"<"}));
  EXPECT_EQ(Tokenize("\"x\\ny\\rz\\\\w\\q\""), (Tokens{"x\ny\rz\\wq<"}));
  EXPECT_EQ(Tokenize("a\\nb"), (Tokens{"a\\nb<"}));  // no escapes outside quotes
  // An unclosed quote ends with its line.
  EXPECT_EQ(Tokenize("\"a b\nc d"), (Tokens{"a b<", "c", "d<"}));
}

TEST(Tokenizer, SlashesWithCommentsOff) {
  EXPECT_EQ(Tokenize("a/b a/ b a//b a/*b */"), (Tokens{"a/b", "a/", "b", "a//b", "a/*b", "*/<"}));
  EXPECT_EQ(Tokenize("a/\nb/"), (Tokens{"a/<", "b/<"}));
  // A slash is stored exactly once, whether quoted or held back before a
  // quote.
  EXPECT_EQ(Tokenize("\"x/\" y"), (Tokens{"x/", "y<"}));
  EXPECT_EQ(Tokenize("a/\"\" b/\"c\""), (Tokens{"a/", "b/c<"}));
}

TEST(Tokenizer, Comments) {
  EXPECT_EQ(Tokenize("ab/*x y*/cd e", true), (Tokens{"abcd", "e<"}));
  EXPECT_EQ(Tokenize("a /* x\n y */ b", true), (Tokens{"a", "<", "b<"}));
  EXPECT_EQ(Tokenize("/*/ x */y", true), (Tokens{"y<"}));
  EXPECT_EQ(Tokenize("a//b", true), (Tokens{"a//b<"}));
  EXPECT_EQ(Tokenize("key value // note \"x\r\nnext", false, true),
            (Tokens{"key", "value", "<", "next<"}));
  EXPECT_EQ(Tokenize("\"a//b\" c/*d", true, true), (Tokens{"a//b", "c<"}));
}

TEST(Tokenizer, LongTokensNeverPass255) {
  const std::string x254(254, 'x');
  EXPECT_EQ(Tokenize(x254), (Tokens{x254 + "<"}));
  EXPECT_EQ(Tokenize(x254 + "y"), (Tokens{x254 + "y", "<"}));
  EXPECT_EQ(Tokenize(x254 + "yz"), (Tokens{x254 + "y", "z<"}));
  EXPECT_EQ(Tokenize(std::string(600, 'w')),
            (Tokens{std::string(255, 'w'), std::string(255, 'w'), std::string(90, 'w') + "<"}));
  // A held-back slash at the boundary: it completes the token and the
  // character after it starts the next one.
  EXPECT_EQ(Tokenize(x254 + "/y"), (Tokens{x254 + "/", "y<"}));
  EXPECT_EQ(Tokenize(x254 + "/ y"), (Tokens{x254 + "/", "y<"}));
  EXPECT_EQ(Tokenize(x254 + "/\ny"), (Tokens{x254 + "/<", "y<"}));
  EXPECT_EQ(Tokenize(x254 + "//y"), (Tokens{x254 + "/", "/y<"}));
  EXPECT_EQ(Tokenize(x254 + "/\"a b\" c"), (Tokens{x254 + "/", "a b", "c<"}));
  EXPECT_EQ(Tokenize("x" + x254 + "/y"), (Tokens{"x" + x254, "/y<"}));
  // Whatever the slashes' positions, a long word comes back whole in pieces
  // of at most 255 characters.
  for (size_t n = 250; n <= 262; ++n) {
    for (const char* pattern : {"a/", "//", "a*/", "\\/b", "/**"}) {
      std::string word;
      while (word.size() < n) word += pattern;
      std::string joined;
      for (const std::string& t : Tokenize(word + "\n")) joined += t;
      joined.erase(std::remove(joined.begin(), joined.end(), '<'), joined.end());
      EXPECT_EQ(joined, word);
    }
  }
  const std::string quoted = "\"" + std::string(300, ' ') + "\"";
  EXPECT_EQ(Tokenize(quoted).front(), std::string(255, ' '));
}

TEST(Tokenizer, NulAndHighBytes) {
  const std::string bytes("a\0b \xff\xe9\x80 \x00", 9);
  EXPECT_EQ(Tokenize(bytes),
            (Tokens{std::string("a\0b", 3), "\xff\xe9\x80", std::string("\0<", 2)}));
}

TEST(Tokenizer, WithoutStream) {
  Tstreamtokenizer t;
  bool eof = false;
  EXPECT_TRUE(t.NextToken(&eof));
  EXPECT_TRUE(eof);
  EXPECT_STREQ(t.Token, "");
  EXPECT_TRUE(t.NextToken());
}

TEST(ParseInt, LenientIntegers) {
  struct Case {
    const char* text;
    int32_t value;
    bool error;
  };
  const Case cases[] = {
      {"1 000", 1000, false},
      {"5-", -5, false},
      {"-+5", 5, false},
      {"12.5", 12, true},
      {"  -42", -42, false},
      {"4a2", 4, true},
      {"", 0, false},
      {"\t7 ", 7, false},
      {"2147483647", 2147483647, false},
      {"2147483648", std::numeric_limits<int32_t>::min(), false},
      {"-2147483648", std::numeric_limits<int32_t>::min(), false},
      {"4294967297", 1, false},
      {"99999999999999999999", 1661992959, false},
  };
  for (const Case& c : cases) {
    int32_t v = 12345;
    EXPECT_EQ(ParseInt(c.text, &v), c.error) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
  int32_t v = 0;
  EXPECT_FALSE(ParseInt(std::string(100000, '9'), &v));
  EXPECT_FALSE(ParseInt("123"));
  EXPECT_TRUE(ParseInt(std::string("1x")));
}

TEST(ParseDouble, LenientDecimals) {
  struct Case {
    const char* text;
    double value;
    bool error;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {"1e3", 1000, false},    {"2.5E-2", 0.025, false},
      {"1.5.5", 1.55, false},  {"1,5", 1, true},
      {"", 0, false},          {"-1013.5", -1013.5, false},
      {"12abc", 12, true},     {" 1 0 . 5 ", 10.5, false},
      {"1/2", 1, true},        {"1e999", inf, false},
      {"-1e999", -inf, false}, {"1e-999", 0, false},
      {"0e999", 0, false},     {"5-", -5, false},
  };
  for (const Case& c : cases) {
    double v = 12345;
    EXPECT_EQ(ParseDouble(c.text, &v), c.error) << c.text;
    EXPECT_DOUBLE_EQ(v, c.value) << c.text;
  }
  double v = 0;
  EXPECT_FALSE(ParseDouble("1e0.5", &v));
  EXPECT_NEAR(v, 3.1623, 5e-5);

  // Hostile text: no hang, no crash, and never NaN.
  const std::string nines(400, '9');
  const std::string one_then_zeros = "1" + std::string(400, '0');
  const std::string texts[] = {nines,
                               nines + "e-999",
                               one_then_zeros + "e-400",
                               "0." + nines,
                               std::string(100000, '7'),
                               "1e" + nines,
                               "1e-" + nines,
                               "0e" + nines};
  for (const std::string& text : texts) {
    EXPECT_FALSE(ParseDouble(text, &v));
    EXPECT_FALSE(std::isnan(v)) << text.substr(0, 20);
  }
  ParseDouble(nines, &v);
  EXPECT_EQ(v, inf);
  ParseDouble(one_then_zeros + "e-400", &v);
  EXPECT_NEAR(v, 1, 1e-12);
  ParseDouble(nines + "e-999", &v);
  EXPECT_EQ(v, 0);
}

TEST(FileExists, FilesAndFolders) {
  std::FILE* f = std::fopen("exists.txt", "wb");
  std::fclose(f);
  EXPECT_TRUE(FileExists("exists.txt"));
  EXPECT_TRUE(FileExists(std::string(".")));
  EXPECT_FALSE(FileExists("no-such-file.txt"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(static_cast<const char*>(nullptr)));
}
