// Generators run in-process on a run context of their own, against a company database on the
// embedded driver: what the run needs is handed in, nothing is left behind between runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "batch/preflight.h"
#include "calendar/bak.h"
#include "common/runlog.h"
#include "db/run_context.h"
#include "fixtures/company.h"
#include "fixtures/helpers.h"
#include "person/pnr.h"

namespace {

// A connection to the company's data source, the way planex makes it.
class InProcessRun {
 public:
  explicit InProcessRun(fixture::Company& company) : company_(company) {
    setenv("ODBCSYSINI", company.Dir().c_str(), 1);
    setenv("ODBCINI", (company.Dir() + "/odbc.ini").c_str(), 1);
    connected_ = db_.Connect("planex", "secret", "PLANEX_TEST") == 0;
    log_.Open((company.Dir() + "/PLANEX.LOG").c_str(), nullptr);
  }
  bool Connected() const { return connected_; }
  RunContext Context() { return RunContext{db_, company_.Schema(), "20261208", log_, {}, true, {}, {}}; }
  std::string Log() {
    log_.Close();
    return company_.Log();
  }

 private:
  fixture::Company& company_;
  DbConnection db_;
  RunLog log_;
  bool connected_ = false;
};

TEST(RunContext, BaseCalendarExtendsInProcess) {
  if (!fixture::DriverAvailable()) GTEST_SKIP() << "embedded driver not built";
  fixture::Company company({.first_day = "20261201"});
  ASSERT_EQ(company.SetupError(), "");
  InProcessRun process(company);
  ASSERT_TRUE(process.Connected());
  RunContext run = process.Context();
  Bak_Calendar_Extend(run, "20261231");
  EXPECT_EQ(company.Scalar("SELECT COUNT(*) FROM QXSYSTEM.Qxs133Bak"), "32");
  EXPECT_EQ(company.Scalar("SELECT CONVERT(char(8), MAX(BakDtm), 112) FROM QXSYSTEM.Qxs133Bak"), "20261231");
  EXPECT_EQ(process.Log(), "");
}

// The fallback to the system calendar table is a flag of the run: a run that moved to it keeps it,
// the next run starts again with the client table.
TEST(RunContext, VariantFlagBelongsToItsRun) {
  if (!fixture::DriverAvailable()) GTEST_SKIP() << "embedded driver not built";
  fixture::Company company;
  ASSERT_EQ(company.SetupError(), "");
  ASSERT_EQ(company.Exec("DROP TABLE " + company.Schema() + ".Qxs133Ka2"), 0);
  InProcessRun process(company);
  ASSERT_TRUE(process.Connected());
  RunContext first = process.Context();
  {
    DbCursor days(first.db);
    EXPECT_EQ(Pnr_Day_Open(first, days, "K1", "20261201", "20261231"), DB_OK);
    EXPECT_TRUE(days.IsOpen());
  }
  EXPECT_EQ(first.variants.day_table, DbVariant::Second);
  EXPECT_EQ(process.Context().variants.day_table, DbVariant::First);
}

// A pattern's result carries why its statement failed; a write passes a native code through when
// asked; the error line written with the result has that failure as its reason, and the next
// line none.
TEST(RunContext, ResultCarriesTheFailuresDiagnostic) {
  if (!fixture::DriverAvailable()) GTEST_SKIP() << "embedded driver not built";
  fixture::Company company;
  ASSERT_EQ(company.SetupError(), "");
  InProcessRun process(company);
  ASSERT_TRUE(process.Connected());
  RunContext run = process.Context();
  struct Case {
    const char* statement;
    int passthrough;
    int code;
    int32_t native;
    const char* state;
  };
  const Case cases[] = {
      {"INSERT INTO ABC_1.NoSuchTable (a) VALUES (1)", 0, DB_FAIL, 208, "42S02"},
      {"INSERT INTO ABC_1.NoSuchTable (a) VALUES (1)", 208, 208, 208, "42S02"},
      {"UPDATE ABC_1.Qxs327Tag SET NoSuchColumn = 1", 0, DB_FAIL, 207, "42S22"},
      {"UPDATE ABC_1.Qxs327Tag SET TagPnr = TagPnr WHERE 1 = 0", 0, DB_NODATA, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    long rows = 0;
    const DbResult r = Db_Write(run.db, c.statement, c.passthrough, &rows);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(rows, -1);  // a write that failed or touched no row counts nothing
    EXPECT_EQ(r.diag.native, c.native);
    EXPECT_STREQ(r.diag.state, c.state);
    Run_Error(run, r, "Error: Db_Write %d! ", r.code);
    run.log.Printf("%s\n", c.statement);
    run.log.Error({}, "Error: no statement\n");
    ASSERT_GE(run.log.Errors().Kept().size(), 2u);
    const RunErrorLine& line = run.log.Errors().Kept().end()[-2];
    EXPECT_EQ(line.line, "Error: Db_Write " + std::to_string(c.code) + "! " + c.statement);
    EXPECT_EQ(line.reason.native, c.native);
    EXPECT_EQ(line.reason.sqlstate, c.state);
    EXPECT_TRUE(run.log.Errors().Kept().back().reason.Empty());
  }
  // The terminal's person count: persons as the person cursor gives them (one with two rows counts
  // once, one whose row has ended not at all); a failed count is no reason of an error line.
  for (const std::string& row :
       {fixture::seed::Person("P1", "Eins"), fixture::seed::Person("P2", "Zwei"), fixture::seed::Person("P3", "Drei"),
        fixture::seed::PersonRow("P1", "K1", "A", "B"), fixture::seed::PersonRow("P2", "K1", "A", "B"),
        fixture::seed::PersonRow("P2", "K1", "A", "B", "20260601"),
        fixture::seed::PersonRow("P3", "K1", "A", "B", "20250101", "20250601")}) {
    ASSERT_EQ(company.Exec(row), 0) << row;
  }
  EXPECT_EQ(Bsv_Pnr_Count(run, "        ", "zzzzzzzz"), 2);
  EXPECT_EQ(Bsv_Pnr_Count(run, "P2", "P3"), 1);
  RunContext other = process.Context();
  other.schema = "NO_SUCH";
  EXPECT_EQ(Bsv_Pnr_Count(other, "        ", "zzzzzzzz"), -1);
}

// The checks before a run read the company on the run's connection; each step changes the company
// further. A stored weekday outside 1..7 tells no numbering, so it stops no run.
TEST(RunContext, PreflightReadsWeekdaysAndPersonNumberWidth) {
  if (!fixture::DriverAvailable()) GTEST_SKIP() << "embedded driver not built";
  fixture::Company company({.first_day = "20261201"});
  ASSERT_EQ(company.SetupError(), "");
  InProcessRun process(company);
  ASSERT_TRUE(process.Connected());
  RunContext run = process.Context();
  for (const char* pnr : {"00000001", "P2"}) ASSERT_EQ(company.Exec(fixture::seed::Person(pnr, "Name")), 0);
  const std::string last = " WHERE BakDtm = (SELECT MAX(BakDtm) FROM QXSYSTEM.Qxs133Bak)";
  struct Case {
    std::string sql;
    const char* weekday_stop;  // "" when the run may go on
    int width;
  } cases[] = {
      {fixture::seed::PersonRow("00000001", "K1", "A", "B"), "", 8},
      {"UPDATE QXSYSTEM.Qxs133Bak SET BakWtg = 0" + last, "", 8},
      {"UPDATE QXSYSTEM.Qxs133Bak SET BakWtg = DATEPART(weekday, BakDtm) % 7 + 1" + last, "weekday_numbering", 8},
      {fixture::seed::PersonRow("P2", "K1", "A", "B"), "weekday_numbering", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    ASSERT_EQ(company.Exec(c.sql), 0);
    const auto stop = Batch_Check_Weekdays(run, "PLANEX_TEST", "planex");
    EXPECT_STREQ(stop ? stop->kind : "", c.weekday_stop);
    EXPECT_EQ(Bsv_Pnr_Width(run), c.width);
  }
}

}  // namespace
