// Generators run in-process on a run context of their own, against a company database on the
// embedded driver: what the run needs is handed in, nothing is left behind between runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "calendar/bak.h"
#include "common/runlog.h"
#include "db/run_context.h"
#include "fixtures/company.h"
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
  RunContext Context() { return RunContext{db_, company_.Schema(), "20261208", log_, {}, nullptr, true, {}}; }
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

}  // namespace
