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
