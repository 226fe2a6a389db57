#include <gtest/gtest.h>

#include <string>

#include "batch/progress.h"
#include "fixtures/helpers.h"

namespace {

TEST(Progress, WritesAreTalliedByTheTableTheirStatementNames) {
  struct Case {
    const char* statement;
    bool counted;
    const char* table;
    bool inserted;
  } cases[] = {
      {"INSERT INTO QXSYSTEM.Qxs133Bak   (BakDtm) VALUES (1)", true, "QXSYSTEM.Qxs133Bak", true},
      {"  insert into ABC_1.Qxs327Tag(TagPnr) VALUES ('1')", true, "ABC_1.Qxs327Tag", true},
      {"UPDATE ABC_1.Qxs329Ztg SET   ZtgAkr = 'x'", true, "ABC_1.Qxs329Ztg", false},
      {"DELETE FROM ABC_1.Qxs329Ztg", false, "", false},
      {"INSERTX INTO A.B VALUES (1)", false, "", false},
      {"INSERT ABC_1.Qxs332Urv VALUES (1)", false, "", false},
      {"UPDATE ", false, "", false},
      {"", false, "", false},
  };
  for (const Case& c : cases) {
    std::string table;
    bool inserted = !c.inserted;
    EXPECT_EQ(Progress_Write_Parse(c.statement, &table, &inserted), c.counted) << c.statement;
    if (!c.counted) continue;
    EXPECT_EQ(table, c.table) << c.statement;
    EXPECT_EQ(inserted, c.inserted) << c.statement;
  }
}

TEST(Progress, LineShowsPersonsRateAndTimeLeftWhenKnown) {
  struct Case {
    long rows, done, total;
    double seconds;
    const char* line;
  } cases[] = {
      {12, -1, -1, 3.0, "Step, 12 Zeilen"},
      {0, 0, 200, 0.0, "Step 0/200, 0 Zeilen"},
      {900, 50, 200, 10.0, "Step 50/200, 5.0/s, noch 0:30, 900 Zeilen"},
      {900, 50, -1, 10.0, "Step 50, 5.0/s, 900 Zeilen"},  // the count failed
      {9, 3, 2, 1.0, "Step 3/2, 3.0/s, 9 Zeilen"},        // persons added meanwhile
      {1, 1, 40000, 1.0, "Step 1/40000, 1.0/s, noch 11:06:39, 1 Zeilen"},
      {1, 1, 3601, 1.0, "Step 1/3601, 1.0/s, noch 1:00:00, 1 Zeilen"},    // an hour exactly
      {10, 200, 200, 40.0, "Step 200/200, 5.0/s, noch 0:00, 10 Zeilen"},  // the last person done
      {1, 5, 10, 0.0, "Step 5/10, 1 Zeilen"},                             // a clock that stands still
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Progress_Line("Step", c.rows, c.done, c.total, c.seconds), c.line);
  }
}

TEST(Progress, SummaryListsTablesAndTheRunLogsErrorLines) {
  fixture::TempDir dir("planex-progress");
  const std::string log = dir.File("PLANEX.LOG");
  ASSERT_TRUE(fixture::WriteText(log,
                                 "Datum: 20261208\nError: Bak_NewDay_Ins RC:-1\nAktuelles Schema: A \n"
                                 "Fehler(DB-Connect)! RC:-1 \nkein Error\nError:Kal-Tag einfügen. RC:-1"));
  EXPECT_EQ(Progress_Error_Lines(log.c_str()), 3);
  EXPECT_EQ(Progress_Error_Lines((log + ".missing").c_str()), -1);

  EXPECT_EQ(Progress_Summary({{"QXSYSTEM.Qxs133Bak", 365, 0}, {"A.Qxs329Ztg", 7, 12}}, 3, 75.0),
            "planex: fertig in 1:15\n"
            "  Tabelle                   neu überschrieben\n"
            "  QXSYSTEM.Qxs133Bak        365             0\n"
            "  A.Qxs329Ztg                 7            12\n"
            "  Fehlerzeilen in PLANEX.LOG: 3\n");
}

}  // namespace
