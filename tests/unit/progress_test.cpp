#include <gtest/gtest.h>

#include <string>

#include "batch/progress.h"
#include "fixtures/helpers.h"

namespace {

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
  EXPECT_EQ(Progress_Summary({{"QXSYSTEM.Qxs133Bak", 365, 0}, {"A.Qxs329Ztg", 7, 12}}, 3, 75.0),
            "planex: fertig in 1:15\n"
            "  Tabelle                   neu überschrieben\n"
            "  QXSYSTEM.Qxs133Bak        365             0\n"
            "  A.Qxs329Ztg                 7            12\n"
            "  Fehlerzeilen in PLANEX.LOG: 3\n");
  // Persons by step, and the reasons of those that went day by day (none: no reason line).
  RunStats persons;
  persons.persons_batched = 97;
  persons.persons_daily = 3;
  persons.FellBack(PnrFallback::NoAssignment);
  persons.FellBack(PnrFallback::NoAssignment);
  persons.FellBack(PnrFallback::WriteRefused);
  EXPECT_EQ(Progress_Summary({}, 0, 5.0, nullptr, &persons),
            "planex: fertig in 0:05\n"
            "  Tabelle        neu überschrieben\n"
            "  (keine Zeile geschrieben)\n"
            "  Fehlerzeilen in PLANEX.LOG: 0\n"
            "  Personen: 97 gebündelt, 3 Tag für Tag\n"
            "    Tag für Tag, weil: ohne Zuordnung: 2, Schreiben abgewiesen: 1\n");
  persons = RunStats{};
  persons.persons_batched = 5;
  const std::string summary = Progress_Summary({}, 0, 5.0, nullptr, &persons);
  EXPECT_EQ(summary.substr(summary.find("  Personen")), "  Personen: 5 gebündelt, 0 Tag für Tag\n");
  EXPECT_EQ(Progress_Summary({}, 1, 3.0, "SIGINT"),
            "planex: abgebrochen durch SIGINT nach 0:03\n"
            "  Tabelle        neu überschrieben\n"
            "  (keine Zeile geschrieben)\n"
            "  Fehlerzeilen in PLANEX.LOG: 1\n");
}

// The first error lines go to the terminal with their reasons; the rest are counted.
TEST(Progress, ErrorReasonsOfTheFirstLines) {
  const DbReason missing{"42S02", 208, "[tsqlite]Invalid object name 'ABC_1.Qxs327Tag'."};
  const std::vector<RunErrorLine> kept = {
      {"Error: Tagsatz ermitteln -1! Person: P1! Tag: 20261201", missing},
      {"Error: Zuordnung ermitteln. 100! Person: P1! Tag: 20261201! ", {}},
      {"Error: Nächste Person ermitteln. RC:-1", {"HY000", 0, "bad\nline"}},
  };
  struct Case {
    long count;
    std::size_t shown;
    std::string text;
  } cases[] = {
      {0, 5, ""},
      {3, 2,
       "    Error: Tagsatz ermitteln -1! Person: P1! Tag: 20261201\n"
       "      Grund: SQLSTATE 42S02, Nr. 208: [tsqlite]Invalid object name 'ABC_1.Qxs327Tag'.\n"
       "    Error: Zuordnung ermitteln. 100! Person: P1! Tag: 20261201! \n"
       "    ... und 1 weitere\n"},
      {3, 5,
       "    Error: Tagsatz ermitteln -1! Person: P1! Tag: 20261201\n"
       "      Grund: SQLSTATE 42S02, Nr. 208: [tsqlite]Invalid object name 'ABC_1.Qxs327Tag'.\n"
       "    Error: Zuordnung ermitteln. 100! Person: P1! Tag: 20261201! \n"
       "    Error: Nächste Person ermitteln. RC:-1\n"
       "      Grund: SQLSTATE HY000: bad\\nline\n"},
  };
  for (const auto& c : cases) {
    const std::vector<RunErrorLine> lines(kept.begin(), kept.begin() + std::min<long>(c.count, 3));
    EXPECT_EQ(Progress_Error_Reasons(lines, c.count, c.shown), c.text) << c.count << " " << c.shown;
  }
}

}  // namespace
