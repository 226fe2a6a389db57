#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/text.h"

namespace {

TEST(Text, UpperChangesOnlyAsciiLetters) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"abc_1", "ABC_1"},
      {"MiXeD9$#@", "MIXED9$#@"},
      {"", ""},
      {"m\xC3\xBCller", "M\xC3\xBCLLER"},  // UTF-8 ü stays as it is
      {"gr\xFC\xDF", "GR\xFC\xDF"},        // Latin-1 ü and ß too
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    EXPECT_EQ(Str_Upper(s), c.out);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s", c.in.c_str());
    EXPECT_STREQ(Str_Upper(buf), c.out.c_str());
  }
}

TEST(Text, TrimRightRemovesBlanksAndTabs) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"F1   ", "F1"}, {"F1\t \t", "F1"}, {"  F1", "  F1"}, {" \t ", ""},
      {"", ""},        {"a b ", "a b"},   {"F1\n", "F1\n"},  // only blanks and tabs go
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    EXPECT_EQ(Str_TrimRight(s), c.out);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s", c.in.c_str());
    EXPECT_STREQ(Str_TrimRight(buf), c.out.c_str());
  }
}

TEST(Text, CopyCutsToTheBufferAndTerminates) {
  struct Case {
    const char* value;
    const char* out;
  } cases[] = {{"0815", "0815"}, {"12345678", "1234"}, {"", ""}, {nullptr, ""}};
  for (const auto& c : cases) {
    char field[5] = "xxxx";
    Fld_Copy(field, c.value);
    EXPECT_STREQ(field, c.out) << (c.value ? c.value : "null");
  }
  char unterminated[3] = {'a', 'b', 'c'};  // read no further than the target can hold
  char small[3];
  Str_Copy(small, sizeof small, unterminated);
  EXPECT_STREQ(small, "ab");
}

// Text fields hold their width in characters, whatever bytes those take; a value is cut at a
// character boundary, counting each character once, and a byte that starts no UTF-8 sequence is
// one character of its own (text in a single-byte encoding).
TEST(Text, TextFieldsCutAtTheirWidthInWholeCharacters) {
  struct Case {
    std::string value, out;
    std::size_t chars;
  } cases[] = {
      {"abc", "abc", 3},
      {"abcd", "abc", 4},
      {"\xC3\x84\xC3\x96\xC3\x9C", "\xC3\x84\xC3\x96\xC3\x9C", 3},                          // ÄÖÜ: 6 bytes, whole
      {"\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4", "\xC3\x84\xC3\x96\xC3\x9C", 4},                  // cut after the third
      {"\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", 3},  // three euros: 9 bytes
      {"a\xF0\x9F\x98\x80"
       "bc",
       "a\xF0\x9F\x98\x80"
       "b",
       4},                                   // a 4-byte character counts once
      {"\xC4\xD6\xDCx", "\xC4\xD6\xDC", 4},  // single-byte umlauts
      {"\xB0\xA7\xB5x", "\xB0\xA7\xB5", 4},  // single-byte bytes that continue UTF-8 sequences
      {"\xC3(ab", "\xC3(a", 4},              // a lead byte without its tail
      // The lowest and highest lead bytes of 2, 3 and 4 bytes: U+00A7, U+07FF, U+0905, U+10FFFF.
      {"\xC2\xA7\xDF\xBF\xE0\xA4\x85\xF4\x8F\xBF\xBF", "\xC2\xA7\xDF\xBF\xE0\xA4\x85", 4},
  };
  for (const auto& c : cases) {
    char field[Txt_Size(3)];
    Txt_Copy(field, c.value);
    EXPECT_EQ(std::string(field), c.out) << c.value;
    EXPECT_EQ(Str_Chars(c.value), c.chars) << c.value;
    EXPECT_EQ(Txt_Fits(field, c.value), c.chars <= 3) << c.value;
    char from_c[Txt_Size(3)];  // the same value as a C string, read up to the field's last byte
    Txt_Copy(from_c, c.value.c_str());
    EXPECT_EQ(std::string(from_c), c.out) << c.value;
  }
  // A byte bound never splits a character: the umlaut that does not fit is left out whole.
  char small[4];
  Str_Copy(small, sizeof small, std::string_view("a\xC3\x84\xC3\x96"));
  EXPECT_STREQ(small, "a\xC3\x84");
  const char unterminated[3] = {'a', '\xC3', '\x84'};
  Str_Copy(small, 3, unterminated);
  EXPECT_STREQ(small, "a");
  // The same bound of 3 bytes on C strings cuts characters of every lead byte's lowest and highest
  // value: U+00A7, U+07FF, U+0905, U+FFFD, U+1F600, U+10FFFF.
  struct Cut {
    const char *value, *out;
  } cuts[] = {{"ab\xC2\xA7", "ab"},     {"ab\xDF\xBF", "ab"},     {"ab\xE0\xA4\x85", "ab"},
              {"ab\xEF\xBF\xBD", "ab"}, {"\xF0\x9F\x98\x80", ""}, {"a\xF4\x8F\xBF\xBF", "a"}};
  for (const Cut& c : cuts) {
    Str_Copy(small, sizeof small, c.value);
    EXPECT_STREQ(small, c.out) << c.value;
  }
}

TEST(Text, EscapeWritesControlCharactersVisibly) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"sa", "sa"},
      {"sa\nError: forged", "sa\\nError: forged"},
      {"..\\files\\planex.ini", "..\\files\\planex.ini"},  // a backslash already there stays one
      {std::string("a\nb\rc\td\x1B\x7F\0e", 11), "a\\nb\\rc\\td\\x1B\\x7F\\x00e"},
      {"m\xC3\xBCller", "m\xC3\xBCller"},  // umlauts are no control characters
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Str_Escape(c.in), c.out);
    EXPECT_EQ(Str_HasControl(c.in), c.in != c.out);
  }
}

}  // namespace
