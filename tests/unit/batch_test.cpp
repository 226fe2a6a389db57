#include <gtest/gtest.h>

#include <string>

#include "batch/batch.h"
#include "batch/early.h"
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

}  // namespace
