#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "driver/driver.h"
#include "driver/runlog.h"
#include "driver/text.h"

namespace {

TEST(Text, UpperChangesOnlyAsciiLetters) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"abc_1", "ABC_1"}, {"MiXeD9$#@", "MIXED9$#@"}, {"", ""},
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
      {"F1   ", "F1"}, {"F1\t \t", "F1"}, {"  F1", "  F1"}, {" \t ", ""}, {"", ""}, {"a b ", "a b"},
      {"F1\n", "F1\n"},  // only blanks and tabs go
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    EXPECT_EQ(Str_TrimRight(s), c.out);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s", c.in.c_str());
    EXPECT_STREQ(Str_TrimRight(buf), c.out.c_str());
  }
}

TEST(Driver, EndeJahrMustBeFourDigits) {
  struct Case {
    const char* arg;
    bool ok;
  } cases[] = {{"2010", true}, {"0000", true}, {"27", false}, {"20100", false},
               {"201a", false}, {"", false},   {" 201", false}};
  for (const auto& c : cases) EXPECT_EQ(Drv_EndeJahr_Valid(c.arg), c.ok) << c.arg;
}

TEST(Driver, BegDatMustBeZeroOrARealDate) {
  struct Case {
    const char* arg;
    bool ok;
  } cases[] = {
      {"0", true},         {"20041201", true},  {"20240229", true},  {"20000229", true},
      {"20230229", false}, {"19000229", false}, {"20041301", false}, {"20041200", false},
      {"20040431", false}, {"00", false},       {"2004120", false},  {"200412011", false},
      {"2004-12-", false}, {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(Drv_BegDat_Valid(c.arg), c.ok) << c.arg;
}

TEST(Driver, SchemaIsFormedFromTheSetting) {
  struct Case {
    std::string setting, schema;
    bool valid;
  } cases[] = {
      {"abc_1x", "ABC_1", true},
      {"m\xC3\xBCller_", "M\xC3\xBCLLER", true},      // bytes above 127 are kept
      {"x", "", false},                               // one character leaves nothing
      {"", "", false},                                // key missing
      {"abcdefghij0123456789x", "ABCDEFGHIJ0123456789", true},
      {"abcdefghij0123456789Xx", "ABCDEFGHIJ0123456789X", false},  // 21 characters
      {"$#@_9x", "$#@_9", true},
      {"abc.dbox", "ABC.DBO", false},
      {"a b_", "A B", false},
      {"abc;--x", "ABC;--", false},
      {"ab'cx", "AB'C", false},
  };
  for (const auto& c : cases) {
    std::string schema = Drv_Schema_Form(c.setting);
    EXPECT_EQ(schema, c.schema) << c.setting;
    EXPECT_EQ(Drv_Schema_Valid(schema), c.valid) << c.setting;
  }
}

TEST(Driver, ZeroBoundTakesEveryPerson) {
  struct Case {
    std::string von, bis, out_von, out_bis;
  } cases[] = {
      {"0", "9999", "        ", "zzzzzzzz"},
      {"0100", "0", "        ", "zzzzzzzz"},
      {"0000", "9999", "0000", "9999"},
      {"00", "9999", "00", "9999"},
  };
  for (const auto& c : cases) {
    std::string von = c.von, bis = c.bis;
    Drv_AllPersons(&von, &bis);
    EXPECT_EQ(von, c.out_von);
    EXPECT_EQ(bis, c.out_bis);
  }
}

// A run that dies must leave every completed line in the file; a started line may stay behind.
TEST(RunLog, CompletedLinesReachTheFileAtOnce) {
  char tmpl[] = "/tmp/planex-log-XXXXXX";
  std::string path = std::string(mkdtemp(tmpl)) + "/PLANEX.LOG";
  auto content = [&] {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  ASSERT_EQ(Log_Open(path.c_str(), nullptr), 0);
  Log_Printf("Datum: %s\n", "20261208");
  EXPECT_EQ(content(), "Datum: 20261208\n");
  Log_Printf("Fehler(DB-Connect)! RC:%d ", -1);
  Log_Printf("Name:%s \n", "x");
  EXPECT_EQ(content(), "Datum: 20261208\nFehler(DB-Connect)! RC:-1 Name:x \n");
  Log_Close();
  const char* reason = nullptr;
  EXPECT_EQ(Log_Open("/nonexistent/PLANEX.LOG", &reason), -1);
  EXPECT_STREQ(reason, "No such file or directory");
  std::remove(path.c_str());
  rmdir(path.substr(0, path.rfind('/')).c_str());
}

TEST(RunValues, TodayAndSchemaAreKept) {
  Run_SetToday("20261208");
  Run_SetSchema("ABC_1");
  EXPECT_STREQ(Run_Today(), "20261208");
  EXPECT_STREQ(Run_Schema(), "ABC_1");
}

}  // namespace
