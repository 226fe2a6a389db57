#include <gtest/gtest.h>

#include <string>

#include "batch/batch.h"
#include "batch/early.h"
#include "batch/preflight.h"
#include "fixtures/helpers.h"

namespace {

TEST(Batch, EndeJahrMustBeFourDigits) {
  struct Case {
    const char* arg;
    bool ok;
  } cases[] = {{"2010", true},  {"0000", true}, {"27", false},  {"20100", false},
               {"201a", false}, {"", false},    {" 201", false}};
  for (const auto& c : cases) EXPECT_EQ(Batch_EndeJahr_Valid(c.arg), c.ok) << c.arg;
}

TEST(Batch, BegDatMustBeZeroOrARealDate) {
  struct Case {
    const char* arg;
    bool ok;
  } cases[] = {
      {"0", true},         {"20041201", true},   {"20240229", true},  {"20000229", true},  {"20230229", false},
      {"19000229", false}, {"20041301", false},  {"20041200", false}, {"20040431", false}, {"00", false},
      {"2004120", false},  {"200412011", false}, {"2004-12-", false}, {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(Batch_BegDat_Valid(c.arg), c.ok) << c.arg;
}

// PLANEX_LOCK_TIMEOUT: seconds to the session's milliseconds; a value that is no such number
// keeps the default rather than waiting for ever or not at all.
TEST(Batch, LockTimeoutFromItsEnvironmentVariable) {
  const struct {
    const char* seconds;
    long ms;
  } cases[] = {{nullptr, 30000}, {"", 30000},  {"1", 1000},   {"0", 0},         {"-1", -1},
               {"-2", 30000},    {"x", 30000}, {"5s", 30000}, {"86401", 30000}, {"86400", 86400000}};
  for (const auto& c : cases) {
    EXPECT_EQ(Batch_Lock_Timeout_Ms(c.seconds), c.ms) << (c.seconds != nullptr ? c.seconds : "unset");
  }
}

TEST(Batch, ZeroBoundTakesEveryPerson) {
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
    Batch_AllPersons(&von, &bis);
    EXPECT_EQ(von, c.out_von);
    EXPECT_EQ(bis, c.out_bis);
  }
}

// Only a lone --help, -h or --version is a request; every other argument list is a run.
TEST(Batch, InfoOnlyForALoneRequest) {
  struct Case {
    std::vector<const char*> argv;
    const char* starts;  // "" = no request
  } cases[] = {
      {{"planex", "--help"}, "Aufruf: planex BegDat EndeJahr Pfad PnrVon PnrBis\n"},
      {{"planex", "-h"}, "Aufruf: planex BegDat EndeJahr Pfad PnrVon PnrBis\n"},
      {{"planex", "--version"}, "planex 1."},
      {{"planex", "--help", "x"}, ""},
      {{"planex", "-help"}, ""},
      {{"planex"}, ""},
      {{"planex", "0", "2027", "--help", "0", "0"}, ""},
  };
  for (const auto& c : cases) {
    const std::string text = Batch_Info_Text(static_cast<int>(c.argv.size()), c.argv.data());
    EXPECT_EQ(text.rfind(c.starts, 0), 0u) << c.argv.back() << ": " << text;
    if (*c.starts == '\0') {
      EXPECT_EQ(text, "") << c.argv.back();
    }
  }
}

// A settings file that gives no settings is said as such, not as a bad schema.
TEST(Batch, SettingsFileProblemsAreNamed) {
  fixture::TempDir dir("planex-batch");
  fixture::WriteText(dir.File("ok.ini"), "0;DB;\n");
  struct Case {
    std::string path, problem, stop;
  } cases[] = {
      {dir.File("ok.ini"), "", "nennt kein SCHEMA"},
      {dir.File("missing.ini"), "existiert nicht", "existiert nicht"},
      {dir.File("ok.ini/x"), "existiert nicht (ein Teil des Pfads ist kein Ordner)", "kein Ordner"},
      {dir.Path().string(), "ist ein Ordner, keine Datei", "ist ein Ordner"},
      {"/dev/null", "ist keine gewöhnliche Datei", "keine gewöhnliche Datei"},
      {"", "ist leer", "ist leer"},
  };
  for (const auto& c : cases) {
    const CfgSettings settings = Cfg_Settings_Read(c.path);
    EXPECT_EQ(Batch_Settings_Problem(settings), c.problem) << c.path;
    BatchStop stop = Batch_Stop_Schema(c.path, settings, "");
    EXPECT_STREQ(stop.kind, "settings_file") << c.path;
    EXPECT_NE(Batch_Stop_Line(stop).find(c.stop), std::string::npos) << Batch_Stop_Line(stop);
  }
  CfgSettings named;
  named.schema = "1cx";
  EXPECT_STREQ(Batch_Stop_Schema(dir.File("ok.ini"), named, "1C").kind, "schema");
}

// A stored weekday tells the numbering it was written under: Friday 11 December 2026 is 6 when
// Sunday counts as 1 (DATEFIRST 7), 5 when Monday does.
TEST(Batch, StoredWeekdayGivesItsNumbering) {
  struct Case {
    const char* key;
    int weekday, date_first;
  } cases[] = {
      {"20261211", 6, 7}, {"20261211", 5, 1}, {"20261213", 1, 7}, {"20261213", 7, 1},
      {"20261214", 1, 1}, {"20261214", 4, 5}, {"20240229", 5, 7},  // a leap day, Thursday
      {"20261211", 0, 0}, {"20261211", 8, 0}, {"2026121", 3, 0},  {"2026121x", 3, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Batch_DateFirst_Of(c.key, c.weekday), c.date_first) << c.key << " " << c.weekday;
}

TEST(Batch, FarEndYearOnlyWhenAskedFor) {
  RunLog closed;  // writes nothing
  struct Case {
    const char* ende_jahr;
    const char* env;
    bool refused;
  } cases[] = {
      {"2036", nullptr, false}, {"2037", nullptr, true}, {"2037", "1", false},
      {"2037", "yes", true},    {"3000", "", true},      {"2020", nullptr, false},
  };
  for (const auto& c : cases) {
    const auto stop = Batch_Check_Far_Year(closed, c.ende_jahr, "20261208", c.env);
    EXPECT_EQ(stop.has_value(), c.refused) << c.ende_jahr;
    if (stop) {
      EXPECT_STREQ(stop->kind, "arguments");
      EXPECT_NE(stop->text.find("PLANEX_FAR_YEAR=1"), std::string::npos) << stop->text;
    }
  }
}

// Runs that may do nothing the operator meant: each warning by its code, the outcome untouched.
TEST(Batch, RunsThatMayDoNothingAreWarned) {
  struct Case {
    const char *von, *bis;
    bool all;
    int width;
    const char* ende;
    std::vector<std::string> codes;
  } cases[] = {
      {"        ", "zzzzzzzz", true, 0, "2027", {}},
      {"00000100", "00000400", false, 8, "2027", {}},
      {"00000400", "00000100", false, 8, "2027", {"range_reversed"}},
      {"1", "100", false, 8, "2027", {"pnr_width"}},
      {"5", "00000100", false, 8, "2027", {"range_reversed", "pnr_width"}},
      {"1", "100", false, 0, "2027", {}},  // the persons' numbers differ in width: no rule to hold to
      {"        ", "zzzzzzzz", true, 0, "2020", {"end_year_past"}},
      {"        ", "zzzzzzzz", true, 0, "2026", {}},
      {"        ", "zzzzzzzz", true, 0, "0000", {"end_year_past"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> codes;
    for (const RunWarning& w : Batch_Warnings(c.von, c.bis, c.all, c.width, c.ende, "20261208")) {
      codes.push_back(w.code);
      EXPECT_FALSE(w.text.empty());
    }
    EXPECT_EQ(codes, c.codes) << c.von << ".." << c.bis << " " << c.ende;
  }
  EXPECT_EQ(Batch_Warning_No_Persons("1", "5", false).text,
            "keine Person von '1' bis '5': keine Personenzeile geschrieben");
  EXPECT_EQ(Batch_Warning_No_Persons("0", "0", true).text, "keine Person gefunden: keine Personenzeile geschrieben");
}

}  // namespace
