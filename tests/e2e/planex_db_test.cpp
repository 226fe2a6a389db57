// planex-db run as a process against embedded database files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "fixtures/helpers.h"

namespace {

using fixture::BuildDir;
using fixture::Company;
using fixture::Options;
using fixture::PlanexDb;
using fixture::ProcResult;
using fixture::WriteText;
using PlanexDbInit = fixture::DatabaseTest;
using PlanexDbSql = fixture::DatabaseTest;
using PlanexDbCounts = fixture::DatabaseTest;
using PlanexDbDemo = fixture::DatabaseTest;

Options WithFirstDay(const std::string& first_day = "20260101", int date_first = 7) {
  return {.date_first = date_first, .first_day = first_day};
}

// --- init -------------------------------------------------------------------------------------

struct SeedCase {
  const char* first_day;
  int date_first;
  std::vector<std::string> row;  // date, year, month, day, week, weekday, day of year, week-year
};

TEST_F(PlanexDbInit, SeedsTheDayBeforeTheFirstDayWithServerWeekdayAndIsoWeek) {
  const SeedCase cases[] = {
      // Thursday 31 December 2026 closes a 53-week year.
      {"20270101", 7, {"20261231", "2026", "12", "31", "53", "5", "365", "2026"}},
      {"20270101", 1, {"20261231", "2026", "12", "31", "53", "4", "365", "2026"}},
      // 2020 begins on a Wednesday and is a leap year: ISO gives it a week 53.
      {"20210101", 7, {"20201231", "2020", "12", "31", "53", "5", "366", "2020"}},
      // Sunday 3 January 2016 still belongs to week 53 of 2015.
      {"20160104", 1, {"20160103", "2016", "1", "3", "53", "7", "3", "2015"}},
      {"20160104", 7, {"20160103", "2016", "1", "3", "53", "1", "3", "2015"}},
      // Tuesday 31 December 2024 is in week 1 of 2025.
      {"20250101", 7, {"20241231", "2024", "12", "31", "1", "3", "366", "2025"}},
  };
  for (const SeedCase& c : cases) {
    SCOPED_TRACE(std::string(c.first_day) + " DATEFIRST " + std::to_string(c.date_first));
    Company company(WithFirstDay(c.first_day, c.date_first));
    ASSERT_EQ(company.SetupError(), "");
    auto rows = company.Query(
        "SELECT CONVERT(char(8), BakDtm, 112), BakJhr, BakMon, BakTag, BakWch, BakWtg, BakJtg, "
        "BakYow FROM QXSYSTEM.Qxs133Bak");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], c.row);
  }
}

TEST_F(PlanexDbInit, DefaultFirstDayIsFirstOfJanuaryOfTheCurrentYear) {
  Company company(Options{});
  const std::string file = company.Dir() + "/other.db";
  ProcResult r = fixture::Run(company.Dir(), {BuildDir() + "/planex-db", "--db", file, "init", "--schema", "xyz"}, {},
                              "2031-06-15 10:00:00");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("client schema XYZ"), std::string::npos) << r.out;
  ProcResult q = fixture::RunWithInput(company.Dir(), {BuildDir() + "/planex-db", "--db", file, "sql", "-"},
                                       "SELECT CONVERT(char(8), BakDtm, 112) AS d FROM QXSYSTEM.Qxs133Bak\n");
  ASSERT_EQ(q.exit_code, 0) << q.err;
  EXPECT_NE(q.out.find("20301231"), std::string::npos) << q.out;
}

TEST_F(PlanexDbInit, SecondClientSkipsTheSystemSchemaAndKeepsTheBaseCalendar) {
  Company company(WithFirstDay());
  ASSERT_EQ(company.SetupError(), "");
  ProcResult r = PlanexDb(company, {"init", "--schema", "DEF_2", "--first-day", "20300101"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(company.Scalar("SELECT COUNT(*) FROM DEF_2.Qxs300Pnr"), "0");
  EXPECT_EQ(company.Scalar("SELECT CONVERT(char(8), MAX(BakDtm), 112) FROM QXSYSTEM.Qxs133Bak"), "20251231");

  ProcResult again = PlanexDb(company, {"init", "--schema", "def_2"});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.err.find("already installed"), std::string::npos) << again.err;
}

TEST_F(PlanexDbInit, SchemaRefusesRowsThatWouldBreakTheSystem) {
  Company company(WithFirstDay());
  ASSERT_EQ(company.SetupError(), "");
  ASSERT_EQ(company.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam) VALUES ('00000001', 'A')"), 0);
  struct Case {
    const char* what;
    const char* sql;
    int native;
  };
  const Case cases[] = {
      {"day record of an unknown person",
       "INSERT INTO ABC_1.Qxs327Tag (TagPnr, TagTag) VALUES ('nobody', CONVERT(Datetime, "
       "'20260105', 112))",
       547},
      {"second base-calendar row for a date",
       "INSERT INTO QXSYSTEM.Qxs133Bak (BakDtm, BakJhr, BakMon, BakTag, BakWch, BakWtg, BakJtg, "
       "BakYow) VALUES (CONVERT(Datetime, '20251231', 112), 2025, 12, 31, 1, 4, 365, 2026)",
       2627},
      {"group with a cycle of zero days", "INSERT INTO ABC_1.Qxs160Agr (AgrNum, AgrTge) VALUES ('G0', 0)", 547},
      {"person number of nine characters", "INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('123456789')", 8152},
      {"leave year of an unknown person", "INSERT INTO ABC_1.Qxs332Urv (UrvPnr, UrvJhr) VALUES ('nobody', 2026)", 547},
  };
  for (const Case& c : cases) {
    std::string message;
    EXPECT_EQ(company.Exec(c.sql, &message), c.native) << c.what << ": " << message;
  }
  // What planex writes at full width is accepted.
  EXPECT_EQ(company.Exec("INSERT INTO ABC_1.Qxs329Ztg (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, "
                         "ZtgKrt, ZtgAgr, ZtgTag, ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp, ZtgDat, ZtgSta, ZtgPnm) "
                         "VALUES ('00000001', CONVERT(Datetime, '20260105', 112), 'AAAAA', "
                         "'BBBBBBBBBBBBBBB', 'CCCCCCCCCCCCCCCCCCCCCCCCCCCCCC', 'DDDDDD', 'EEEE', 'FFFFF', "
                         "21, 'GGGGG', 'HHHHH', 'IIIII', 'JJJ', CURRENT_TIMESTAMP, 1, "
                         "'NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN')"),
            0);
  EXPECT_EQ(company.Exec("INSERT INTO ABC_1.Qxs332Urv (UrvPnr, UrvJhr) VALUES ('00000001', 2026)"), 0);
  EXPECT_EQ(company.Scalar("SELECT UrvTge FROM ABC_1.Qxs332Urv"), "0");
}

// --- sql --------------------------------------------------------------------------------------

TEST_F(PlanexDbSql, RunsBatchesWithVariablesAndPrintsAlignedTables) {
  Company company(WithFirstDay());
  ASSERT_EQ(company.SetupError(), "");
  WriteText(company.Dir() + "/notes.sql",
            "CREATE TABLE $(CLIENT).Note (Id int NOT NULL, Txt varchar(20) NULL)\n"
            "GO\n"
            "INSERT INTO $(CLIENT).Note (Id, Txt) VALUES ($(n), 'it''s')\n"
            "  go  \n"
            "-- a batch of nothing but a comment\n"
            "GO\n"
            "INSERT INTO $(CLIENT).Note (Id) VALUES (7)\n"
            "GO\n"
            "SELECT Id, Txt FROM $(CLIENT).Note ORDER BY Id DESC\n");
  ProcResult r = PlanexDb(company, {"sql", "notes.sql", "-v", "CLIENT=ABC_1", "-v", "N=42"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("Id Txt\n-- ----\n42 it's\n7  NULL\n(2 rows)\n"), std::string::npos) << r.out;
}

TEST_F(PlanexDbSql, CommentsAreDroppedButCommentMarksInsideLiteralsStay) {
  Company company(WithFirstDay());
  ASSERT_EQ(company.SetupError(), "");
  WriteText(company.Dir() + "/notes.sql",
            "/* a block comment /* nested */ still comment */\n"
            "INSERT INTO $(client).Qxs300Pnr (PnrNum, PnrNam) -- trailing comment\n"
            "  VALUES ('1', 'a -- b /* c */ ''d''')\n"
            "GO\n"
            "SELECT PnrNam FROM ABC_1.Qxs300Pnr\n");
  ProcResult r = PlanexDb(company, {"sql", "notes.sql", "--schema", "abc_1"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(company.Scalar("SELECT PnrNam FROM ABC_1.Qxs300Pnr"), "a -- b /* c */ 'd'");
  EXPECT_NE(r.out.find("a -- b /* c */ 'd'\n(1 row)"), std::string::npos) << r.out;
}

struct SqlErrorCase {
  const char* what;
  const char* script;
  const char* expected;  // in standard error
};

TEST_F(PlanexDbSql, StopsAtTheFirstFailingBatchWithItsNativeError) {
  const SqlErrorCase cases[] = {
      {"missing table", "SELECT 1 AS x FROM ABC_1.Nothing\n", "script.sql:1: Msg 208 (42S02)"},
      {"duplicate key",
       "INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('1')\nGO\n"
       "INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('1')\nGO\n"
       "INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('2')\n",
       "script.sql:3: Msg 2627 (23000)"},
      {"foreign key",
       "INSERT INTO ABC_1.Qxs310Bsv (BsvPnr, BsvGvo) VALUES ('x', CONVERT(Datetime, '20260101', "
       "112))\n",
       "Msg 547 (23000)"},
      {"syntax", "SELEKT 1\n", "Msg 102 (42000)"},
      {"variable without value", "SELECT 1 AS x FROM $(NOPE).Qxs300Pnr\n", "$(NOPE)"},
  };
  for (const SqlErrorCase& c : cases) {
    SCOPED_TRACE(c.what);
    Company company(WithFirstDay());
    ASSERT_EQ(company.SetupError(), "");
    WriteText(company.Dir() + "/script.sql", c.script);
    ProcResult r = PlanexDb(company, {"sql", "script.sql"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
    // Batches before the failure stay; none after it runs.
    EXPECT_EQ(company.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs300Pnr"),
              std::string(c.what) == "duplicate key" ? "1" : "0");
  }
}

TEST_F(PlanexDbSql, MissingScriptOrDatabaseFails) {
  Company company(WithFirstDay());
  ProcResult r = PlanexDb(company, {"sql", "nothing.sql"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("cannot read the script"), std::string::npos) << r.err;
  r = fixture::Run(company.Dir(),
                   {BuildDir() + "/planex-db", "--db", company.Dir() + "/none.db", "counts", "--schema", "ABC_1"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("does not exist"), std::string::npos) << r.err;
  // sql makes a missing file only when told its collation (for a dump to run into).
  ASSERT_TRUE(WriteText(company.Dir() + "/one.sql", "SELECT 1\n"));
  r = fixture::Run(company.Dir(), {BuildDir() + "/planex-db", "--db", company.Dir() + "/none.db", "sql", "one.sql"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_FALSE(std::ifstream(company.Dir() + "/none.db").good());
}

// A file name holding the connection string's own marks stays one file name: no key of its own.
TEST_F(PlanexDbInit, DatabasePathCannotAddConnectionKeys) {
  Company company(WithFirstDay());
  const std::string db = company.Dir() + "/a;DRIVER=x}.so;Create=No";
  ProcResult r = fixture::Run(company.Dir(), {BuildDir() + "/planex-db", "--db", db, "init", "--schema", "ABC_1"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(std::ifstream(db).good());
  r = fixture::Run(company.Dir(), {BuildDir() + "/planex-db", "--db", db, "counts", "--schema", "ABC_1"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
}

// --- usage and connection, without a database -------------------------------------------------

TEST(PlanexDbUsage, RefusesWrongCommandLinesWithStatus2) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--db", "x.db"},
      {"--db", "x.db", "frobnicate"},
      {"--db", "x.db", "init", "--schema", "ABC_1", "--bogus"},
      {"--db", "x.db", "--dsn", "D", "counts", "--schema", "ABC_1"},
      {"--db", "x.db", "init", "--schema", "1ABC"},
      {"--db", "x.db", "init", "--schema", "ABC;DROP"},
      {"--db", "x.db", "init", "--schema", "select"},  // a reserved word, as planex refuses it
      {"--db", "x.db", "init", "--schema", "ABC_1", "--first-day", "20230230"},
      {"--db", "x.db", "init", "--schema", "ABC_1", "--persons", "5"},
      {"--db", "x.db", "--date-first", "8", "counts", "--schema", "ABC_1"},
      {"--db", "x.db", "sql"},
      {"--db", "x.db", "init", "--schema", "ABC_1", "--collation", "Latin1_General_CI_AS;Create=No"},
      {"--dsn", "D", "init", "--schema", "ABC_1", "--collation", "Latin1_General_CI_AS"},
      {"--db", "x.db", "counts", "--schema", "ABC_1", "--collation", "Latin1_General_CI_AS"},
      {"--db", "x.db", "copy", "--schema", "ABC_1"},
      {"--db", "x.db", "copy", "--schema", "ABC_1", "--to-db", "y.db", "--to-dsn", "D"},
      {"--db", "x.db", "copy", "--schema", "ABC_1", "--to-db", "y.db", "--to-user", "u"},
      {"--db", "x.db", "dump", "--schema", "ABC_1", "--replace"},
      {"--db", "x.db", "counts", "--schema", "ABC_1", "--out", "x.sql"},
  };
  fixture::TempDir tmp("planex-usage");
  const std::string tmpl = tmp.Path();
  for (const auto& args : cases) {
    std::vector<std::string> argv = {BuildDir() + "/planex-db"};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcResult r = fixture::Run(tmpl, argv);
    std::string line;
    for (const auto& a : args) line += a + " ";
    EXPECT_EQ(r.exit_code, 2) << line << r.err;
    EXPECT_FALSE(r.err.empty()) << line;
  }
  // Nothing was created on the way.
  EXPECT_EQ(fixture::Run(tmpl, {"ls", "-A"}).out, "");
}

TEST(PlanexDbUsage, HelpForToolAndEveryCommand) {
  for (std::string cmd : {"", "init", "demo", "sql", "counts", "copy", "dump", "roster"}) {
    std::vector<std::string> argv = {BuildDir() + "/planex-db"};
    if (!cmd.empty()) argv.push_back(cmd);
    argv.push_back("--help");
    ProcResult r = fixture::Run("/tmp", argv);
    EXPECT_EQ(r.exit_code, 0) << cmd;
    EXPECT_NE(r.out.find("Usage: planex-db"), std::string::npos) << cmd;
    EXPECT_NE(r.out.find(cmd), std::string::npos) << cmd;
  }
}

TEST(PlanexDbUsage, UnknownDataSourceFailsWithStatus1) {
  ProcResult r = fixture::RunWithInput("/tmp",
                                       {BuildDir() + "/planex-db", "--dsn", "PLANEX_NO_SUCH_DSN", "--user", "u",
                                        "--password-stdin", "counts", "--schema", "ABC_1"},
                                       "pw\n", {"ODBCSYSINI=/nonexistent", "ODBCINI=/nonexistent/odbc.ini"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("cannot connect to data source PLANEX_NO_SUCH_DSN"), std::string::npos) << r.err;
}

TEST(PlanexDbUsage, SettingsFileGivesUserAndDataSource) {
  fixture::TempDir tmp("planex-settings");
  const std::string dir = tmp.Path();
  ProcResult w = fixture::RunWithInput(dir,
                                       {BuildDir() + "/planex-settings", "write", "planex.ini", "--login", "clerk",
                                        "--dsn", "PLANEX_NO_SUCH_DSN", "--schema", "abc_1", "--password-stdin"},
                                       "pw\n");
  ASSERT_EQ(w.exit_code, 0) << w.err;
  ProcResult r = fixture::Run(dir, {BuildDir() + "/planex-db", "--settings", "planex.ini", "counts"},
                              {"ODBCSYSINI=/nonexistent", "ODBCINI=/nonexistent/odbc.ini"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("data source PLANEX_NO_SUCH_DSN as clerk"), std::string::npos) << r.err;
  r = fixture::Run(dir, {BuildDir() + "/planex-db", "--settings", "missing.ini", "counts"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("cannot read the settings file"), std::string::npos) << r.err;
}

TEST_F(PlanexDbCounts, ConnectsThroughPlanexSettingsAndItsSchema) {
  Company company(WithFirstDay());
  ASSERT_EQ(company.SetupError(), "");
  company.WriteSettings();
  ProcResult r = fixture::Run(company.Dir(), {BuildDir() + "/planex-db", "--settings", "planex.ini", "counts"},
                              {"ODBCSYSINI=" + company.Dir(), "ODBCINI=" + company.Dir() + "/odbc.ini"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("ABC_1.Qxs300Pnr"), std::string::npos) << r.out;
}

// --- demo and counts --------------------------------------------------------------------------

// The input tables of a company (each query's rows have a width of their own).
std::vector<std::vector<std::string>> Dump(Company& c) {
  static const char* const queries[] = {
      "SELECT PnrNum, PnrNam, PnrSta FROM ABC_1.Qxs300Pnr ORDER BY PnrNum",
      "SELECT BsvPnr, CONVERT(char(8), BsvGvo, 112), CONVERT(char(8), BsvGbi, 112), BsvKal, "
      "BsvAkr, BsvAbr FROM ABC_1.Qxs310Bsv ORDER BY BsvPnr, BsvGvo",
      "SELECT ZuoPnr, ZuoAgr, ZuoAbt, ZuoKst, CONVERT(char(8), ZuoGvo, 112), "
      "CONVERT(char(8), ZUOSDT, 112), ZUOSTG FROM ABC_1.Qxs311Zuo ORDER BY ZuoPnr, ZuoGvo",
      "SELECT ZtgPnr, CONVERT(char(8), ZtgVon, 112), ZtgAgr, ZtgTag, ZtgPnm FROM ABC_1.Qxs329Ztg "
      "ORDER BY ZtgPnr, ZtgVon",
      "SELECT UrvPnr, UrvJhr, UrvTge FROM ABC_1.Qxs332Urv ORDER BY UrvPnr, UrvJhr",
      "SELECT WplAgr, WplTag, WplAzt, WplVra FROM ABC_1.Qxs161Wpl ORDER BY WplAgr, WplTag",
  };
  return fixture::DumpRows(c.DbFile(), queries);
}

TEST_F(PlanexDbDemo, SameSeedGivesTheSameCompanyAndAnotherSeedAnother) {
  std::vector<std::vector<std::vector<std::string>>> dumps;
  for (const char* seed : {"7", "7", "8"}) {
    Company company(WithFirstDay());
    ASSERT_EQ(company.SetupError(), "");
    ProcResult r = PlanexDb(company, {"demo", "--schema", "ABC_1", "--persons", "60", "--seed", seed});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(company.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs300Pnr"), "60");
    dumps.push_back(Dump(company));
  }
  EXPECT_EQ(dumps[0], dumps[1]);
  EXPECT_NE(dumps[0], dumps[2]);
  // Names with apostrophes arrive as written.
  bool apostrophe = false;
  for (const auto& row : dumps[0]) apostrophe |= row.size() == 3 && row[1].find('\'') != std::string::npos;
  EXPECT_TRUE(apostrophe);
}

TEST_F(PlanexDbDemo, WeekModelsFollowTheServersWeekdayNumbers) {
  struct Case {
    int date_first;
    const char* weekdays;  // K5 (Monday to Friday) in the server's numbering
    const char* weekend;   // WE (Saturday and Sunday)
  };
  for (const Case& c : {Case{7, "2,3,4,5,6", "1,7"}, Case{1, "1,2,3,4,5", "6,7"}}) {
    SCOPED_TRACE(c.date_first);
    Company company(WithFirstDay("20260101", c.date_first));
    ASSERT_EQ(company.SetupError(), "");
    ProcResult r = PlanexDb(company, {"demo", "--schema", "ABC_1", "--persons", "3"}, c.date_first);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    auto join = [&](const char* kal) {
      std::string s;
      for (auto& row : company.Query(std::string("SELECT WchTag FROM ABC_1.Qxs137Wch WHERE WchKal = '") + kal +
                                     "' AND WchSta < 4 ORDER BY WchTag")) {
        s += (s.empty() ? "" : ",") + row[0];
      }
      return s;
    };
    EXPECT_EQ(join("K5"), c.weekdays);
    EXPECT_EQ(join("WE"), c.weekend);
  }
}

TEST_F(PlanexDbDemo, RefusesASchemaThatAlreadyHoldsPersonsOrAnEmptyBaseCalendar) {
  Company company(WithFirstDay());
  ASSERT_EQ(company.SetupError(), "");
  const std::vector<std::string> demo = {"demo", "--schema", "ABC_1", "--persons", "2"};
  ASSERT_EQ(PlanexDb(company, demo).exit_code, 0);
  ProcResult again = PlanexDb(company, demo);
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.err.find("already holds 2 persons"), std::string::npos) << again.err;

  Company empty(Options{});  // no base-calendar row
  ProcResult r = PlanexDb(empty, {"demo", "--schema", "ABC_1"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("run planex-db init"), std::string::npos) << r.err;
  EXPECT_EQ(empty.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs137Wch"), "0");
}

TEST_F(PlanexDbCounts, CountsEveryTableAndFailsOnAMissingOne) {
  Company company(WithFirstDay());
  ASSERT_EQ(company.SetupError(), "");
  ASSERT_EQ(company.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('1')"), 0);
  ASSERT_EQ(company.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('2')"), 0);
  ProcResult r = PlanexDb(company, {"counts", "--schema", "abc_1"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  auto line = [](const char* table, const char* n) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "%-20s %10s\n", table, n);
    return std::string(buf);
  };
  EXPECT_NE(r.out.find(line("QXSYSTEM.Qxs133Bak", "1")), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(line("ABC_1.Qxs300Pnr", "2")), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(line("ABC_1.Qxs332Urv", "0")), std::string::npos) << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 14) << r.out;

  ASSERT_EQ(company.Exec("DROP TABLE ABC_1.Qxs133Ka2"), 0);
  r = PlanexDb(company, {"counts", "--schema", "ABC_1"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("ABC_1.Qxs133Ka2"), std::string::npos);
  EXPECT_NE(r.out.find("Msg 208"), std::string::npos) << r.out;
}

// The demo company is made for planex: a run over it must write every kind of row and log no
// error line.
TEST_F(PlanexDbDemo, PlanexRunsThroughTheDemoCompanyWithoutErrorLines) {
  Company company(WithFirstDay("20260101", 1));
  ASSERT_EQ(company.SetupError(), "");
  ProcResult r = PlanexDb(company, {"demo", "--schema", "ABC_1", "--persons", "30"}, 1);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  company.WriteSettings();
  ProcResult run = company.RunPlanex({"0", "2027", "planex.ini", "0", "0"}, "2026-12-08 10:00:00");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::string log = company.Log();
  EXPECT_EQ(log.rfind("Datum: 20261208\nAktuelles Schema: ABC_1 \n", 0), 0u) << log;
  EXPECT_EQ(log.find("Error"), std::string::npos) << log;
  // Every day record written gets its schedule-assignment record.
  const std::string days = company.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs327Tag");
  EXPECT_GT(std::stol(days), 30 * 14);
  EXPECT_EQ(company.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs329Ztg"), days);
  EXPECT_EQ(company.Scalar("SELECT MAX(UrvJhr) FROM ABC_1.Qxs332Urv"), "2027");
  EXPECT_EQ(company.Scalar("SELECT CONVERT(char(8), MAX(BakDtm), 112) FROM QXSYSTEM.Qxs133Bak"), "20271231");
}

}  // namespace
