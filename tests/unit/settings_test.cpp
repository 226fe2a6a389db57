#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <utility>

#include "fixtures/helpers.h"
#include "settings/cipher.h"
#include "settings/settings.h"

namespace {

std::string Enc(const std::string& plain) {
  std::string hex;
  Cfg_Value_Encode(plain, &hex, kCfgCipherKey);
  return hex;
}

// A settings file in a private temporary folder, removed with the object.
class SettingsFile {
 public:
  explicit SettingsFile(const std::string& content) { fixture::WriteText(path_, content); }
  const char* Path() const { return path_.c_str(); }
  // The record a look-up by the driver's rules gives: it asks with an empty section.
  CfgSatz Read(const char* key, int number = 0) const {
    CfgSatz record;
    Cfg_Value_Read("", key, number, Path(), &record);
    return record;
  }

 private:
  fixture::TempDir dir_{"planex-settings"};
  std::string path_ = dir_.File("planex.ini");
};

// What the driver gets for a key: it asks with an empty section and number 0. The run reads its
// four keys in one pass, which must give each the value of a look-up of its own.
std::string DriverValue(const std::string& content, const char* key) {
  const SettingsFile file(content);
  const std::string value = file.Read(key).value;
  const CfgSettings settings = Cfg_Settings_Read(file.Path());
  EXPECT_TRUE(settings.Readable());
  const std::pair<const char*, const std::string*> keys[] = {
      {"LOGIN", &settings.login}, {"PASS", &settings.password}, {"NET8", &settings.dsn}, {"SCHEMA", &settings.schema}};
  for (const auto& [name, one_pass] : keys) {
    if (std::string_view(key) == name) {
      EXPECT_EQ(*one_pass, value) << key << " in one pass";
    }
  }
  return value;
}

TEST(Settings, NthPosCountsOccurrences) {
  struct Case {
    const char* text;
    int n;
    int pos;
  } cases[] = {
      {"a;b;c", 1, 1}, {"a;b;c", 2, 3}, {"a;b;c", 3, 3},  // fewer than n: the last one
      {"abc", 1, -1},  {"", 1, -1},     {";;", 2, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(Str_NthPos(c.text, ';', c.n), c.pos) << c.text << " " << c.n;
}

TEST(Settings, SubCopyLengthRules) {
  struct Case {
    int start, length;
    const char* result;
  } cases[] = {
      {2, 3, "cde"}, {2, 0, "cdefg"},       // 0 = the rest
      {5, 10, "fg"},                        // never past the end
      {7, 0, ""},    {1, -1, "unchanged"},  // negative: nothing copied
      {9, 1, ""},                           // start beyond the end
  };
  for (const auto& c : cases) {
    std::string dst = "unchanged";
    Str_SubCopy("abcdefg", c.start, c.length, &dst);
    EXPECT_EQ(dst, c.result) << c.start << "," << c.length;
  }
}

TEST(Settings, MatchedPairFillsTheRecord) {
  SettingsFile file("0;DB;\n3;LOGIN;" + Enc("planex") + "\n0;DB;\n4;PASS;" + Enc("secret") + "\n");
  // The same record for both look-ups: one that finds nothing clears what the other left.
  CfgSatz r;
  Cfg_Value_Read("", "PASS", 0, file.Path(), &r);
  EXPECT_EQ(r.section, "DB");
  EXPECT_EQ(r.number, 4);
  EXPECT_EQ(r.key, "PASS");
  EXPECT_EQ(r.value, "secret");

  Cfg_Value_Read("", "NET8", 0, file.Path(), &r);
  EXPECT_EQ(r.number, 0);
  EXPECT_EQ(r.section, "");
  EXPECT_EQ(r.key, "");
  EXPECT_EQ(r.value, "");
}

// Which pair the driver's lookup of LOGIN takes. The wanted pair always comes last, holding "right".
TEST(Settings, DriverLookupMatchRules) {
  const std::string right = "0;DB;\n3;LOGIN;" + Enc("right") + "\n";
  struct Case {
    const char* name;
    std::string before;  // pairs ahead of the wanted one
    const char* value;
  } cases[] = {
      {"line 1 without two ';' matches the empty section", "x;DB\n5;OTHER;" + Enc("wrong") + "\n", "wrong"},
      {"blank line 1 matches too", "\n5;OTHER;" + Enc("wrong") + "\n", "wrong"},
      {"number 0 matches", "0;DB;\n0;OTHER;" + Enc("wrong") + "\n", "wrong"},
      {"empty number reads as 0", "0;DB;\n;OTHER;" + Enc("wrong") + "\n", "wrong"},
      {"number without digits reads as 0", "0;DB;\n x;OTHER;" + Enc("wrong") + "\n", "wrong"},
      {"empty section field is not empty", "0;;\n5;OTHER;" + Enc("wrong") + "\n", "right"},
      {"keys are case-sensitive", "0;DB;\n5;login;" + Enc("wrong") + "\n", "right"},
      {"blank before the key", "0;DB;\n5; LOGIN;" + Enc("wrong") + "\n", "right"},
      {"blank after the key", "0;DB;\n5;LOGIN ;" + Enc("wrong") + "\n", "right"},
      {"first of two equal keys wins", "0;DB;\n5;LOGIN;" + Enc("first") + "\n", "first"},
      {"number with blanks and sign", "0;DB;\n  +7x;OTHER;" + Enc("wrong") + "\n", "right"},
      {"huge number saturates", "0;DB;\n99999999999999999999;OTHER;" + Enc("wrong") + "\n", "right"},
  };
  for (const auto& c : cases) EXPECT_EQ(DriverValue(c.before + right, "LOGIN"), c.value) << c.name;
}

TEST(Settings, AdjacentSeparatorsCutToTheLineEnd) {
  CfgSatz record = SettingsFile("0;;\n5;;" + Enc("v") + "\n").Read("", 5);
  EXPECT_EQ(record.section, ";\n");
  EXPECT_EQ(record.key, std::string(";") + Enc("v") + "\n");
  EXPECT_EQ(record.value, "v");
}

TEST(Settings, LineEndsAndFileEndAreReadAlike) {
  const std::string lf = "0;DB;\n3;LOGIN;" + Enc("planex") + "\n0;DB;\n4;PASS;" + Enc("secret") + "\n";
  struct Case {
    const char* name;
    std::string content;
  } cases[] = {
      {"LF", lf},
      {"CR LF", "0;DB;\r\n3;LOGIN;" + Enc("planex") + "\r\n0;DB;\r\n4;PASS;" + Enc("secret") + "\r\n"},
      {"no line end at the end", lf.substr(0, lf.size() - 1)},
      {"unpaired last line", lf + "0;DB;\n"},
      {"end-of-text mark", lf +
                               "\x1A"
                               "0;DB;\n1;PASS;" +
                               Enc("hidden") + "\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DriverValue(c.content, "LOGIN"), "planex") << c.name;
    EXPECT_EQ(DriverValue(c.content, "PASS"), "secret") << c.name;
  }
}

// How the value of a whole file's line is cut and read.
TEST(Settings, ValueOfALine) {
  const std::string pair = "0;DB;\n3;LOGIN;" + Enc("planex") + "\n";
  // The value runs from the second ';' to the line end, ';' included, and is deciphered whole.
  const std::string separated = Enc("abcdefgh").substr(0, 15) + ";" + Enc("ijklmnop").substr(0, 16);
  std::string deciphered;
  Cfg_Value_Decode(separated, &deciphered, kCfgCipherKey);
  // The reader stops at the first matching pair; a line longer than any settings line before it
  // makes the file no settings file.
  const std::string longest = "0;LONG;" + std::string(kCfgLineMax - 8, 'x');  // with its line end at the limit
  struct Case {
    const char* name;
    std::string content;
    const char* key;
    std::string value;
  } cases[] = {
      {"pair behind the end-of-text mark is never seen", pair + "\x1A" + "0;DB;\n1;NET8;" + Enc("hidden") + "\n",
       "NET8", ""},
      {"stray carriage return belongs to the key", "0;DB;\n3;LOGIN\r;" + Enc("planex") + "\n", "LOGIN", ""},
      {"value keeps its separators", "0;DB;\n3;LOGIN;" + separated + "\n", "LOGIN", deciphered},
      {"long value held whole", "0;DB;\n3;LOGIN;" + Enc(std::string(150, 'x')) + "\n", "LOGIN", std::string(150, 'x')},
      {"overlong line after the match", pair + longest + "y\n", "LOGIN", "planex"},
      {"longest line before the match", longest + "\n9;OTHER;\n" + pair, "LOGIN", "planex"},
      {"overlong line before the match", longest + "y\n9;OTHER;\n" + pair, "LOGIN", ""},
      {"overlong line 2 before the match", "0;DB;\n" + longest + "yy" + pair, "LOGIN", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DriverValue(c.content, c.key), c.value) << c.name;
}

TEST(Settings, LineWithOneSeparatorHasAnEmptyKey) {
  CfgSatz record = SettingsFile("0;DB;\n0;" + Enc("value") + "\n").Read("LOGIN");
  EXPECT_EQ(record.key, "");
  EXPECT_EQ(record.value, "value");
}

// A file that cannot be read gives empty values, and the one pass says why.
TEST(Settings, MissingFileGivesEmptyValue) {
  struct Case {
    const char* path;
    CfgProblem problem;
    int error;
    bool directory;
  } cases[] = {{"/nonexistent/planex.ini", CfgProblem::CannotOpen, ENOENT, false},
               {"/dev/zero", CfgProblem::NotAFile, 0, false},
               {"/tmp", CfgProblem::NotAFile, 0, true},
               {"", CfgProblem::NoPath, 0, false}};
  for (const Case& c : cases) {
    CfgSatz record{7, "DB", "LOGIN", "stale"};  // what an earlier look-up left
    Cfg_Value_Read("", "LOGIN", 0, c.path, &record);
    EXPECT_EQ(record.value, "") << c.path;
    EXPECT_EQ(record.number, 0) << c.path;
    const CfgSettings settings = Cfg_Settings_Read(c.path);
    EXPECT_EQ(settings.problem, c.problem) << c.path;
    EXPECT_EQ(settings.error, c.error) << c.path;
    EXPECT_EQ(settings.directory, c.directory) << c.path;
    EXPECT_EQ(settings.login + settings.password + settings.dsn + settings.schema, "") << c.path;
  }
}

}  // namespace
