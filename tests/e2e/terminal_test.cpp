// planex at an operator's terminal: with standard error a terminal (a pseudo-terminal of script(1))
// it shows its progress and a closing summary there; with standard error a pipe it writes nothing
// there. The run log is the same byte for byte either way.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "fixtures/helpers.h"

namespace {

using fixture::Company;
using fixture::ProcResult;
using Terminal = fixture::DatabaseTest;

// A demo company of 20 persons whose base calendar starts on 1 January 2026.
void FillDemo(Company& c) {
  ProcResult r = fixture::PlanexDb(c, {"demo", "--schema", c.Schema(), "--persons", "20", "--seed", "3"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  c.WriteSettings();
}

long Count(Company& c, const std::string& table) {
  return std::stol(c.Scalar("SELECT COUNT(*) FROM " + table));
}

// The "added" figure of a table in the summary, -1 when the summary has no line for it.
long Added(const std::string& summary, const std::string& table) {
  std::smatch m;
  if (!std::regex_search(summary, m, std::regex("\n  " + table + " +([0-9]+) +[0-9]+\r?\n"))) return -1;
  return std::stol(m[1]);
}

TEST_F(Terminal, ProgressAndSummaryOnATerminalNothingElsewhereSameRunLog) {
  std::string logs[2];
  for (bool terminal : {false, true}) {
    Company c({.first_day = "20260101"});
    ASSERT_EQ(c.SetupError(), "");
    FillDemo(c);
    if (!terminal) {
      EXPECT_EQ(fixture::RunPlanexOk(c, "0", "2027").out, "");
      logs[0] = c.Log();
      continue;
    }
    long tag_before = Count(c, "ABC_1.Qxs327Tag");
    long bak_before = Count(c, "QXSYSTEM.Qxs133Bak");
    std::string planex = fixture::BuildDir() + "/planex 0 2027 planex.ini 0 0";
    ProcResult r = fixture::Run(c.Dir(), {"script", "-qec", planex, "/dev/null"},
                                {"ODBCSYSINI=" + c.Dir(), "ODBCINI=" + c.Dir() + "/odbc.ini"}, fixture::kNow);
    EXPECT_EQ(r.exit_code, 0);
    const std::string& screen = r.out;  // the terminal's output, standard error included
    EXPECT_NE(screen.find("\r\033[K[1/3] Basiskalender"), std::string::npos) << screen;
    EXPECT_NE(screen.find("\r\033[K[2/3] Arbeitszeitkalender"), std::string::npos) << screen;
    EXPECT_NE(screen.find("\r\033[K[3/3] Personen 0/"), std::string::npos) << screen;
    size_t summary = screen.find("\r\033[Kplanex: fertig in ");
    ASSERT_NE(summary, std::string::npos) << screen;
    // The persons counted ahead are the persons the run walked: the last line before the
    // summary shows all of them done.
    std::smatch last;
    std::string progress = screen.substr(0, summary);
    ASSERT_TRUE(std::regex_search(progress, last, std::regex("Personen ([0-9]+)/([0-9]+)[^\r]*$"))) << screen;
    EXPECT_EQ(last[1], last[2]) << screen;
    EXPECT_EQ(Added(screen, "ABC_1.Qxs327Tag"), Count(c, "ABC_1.Qxs327Tag") - tag_before) << screen;
    EXPECT_EQ(Added(screen, "QXSYSTEM.Qxs133Bak"), Count(c, "QXSYSTEM.Qxs133Bak") - bak_before) << screen;
    EXPECT_NE(screen.find("Fehlerzeilen in PLANEX.LOG: 0"), std::string::npos) << screen;
    logs[1] = c.Log();
  }
  EXPECT_NE(logs[0].find("Aktuelles Schema: ABC_1"), std::string::npos) << logs[0];
  EXPECT_EQ(logs[0], logs[1]);
}

}  // namespace
