#include "batch/report.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <nlohmann/json.hpp>
#include <string>

#include "db/db.h"
#include "fixtures/helpers.h"

namespace {

// Values from the database, the settings and the command line reach the report and the metrics
// as the bytes they are: the JSON stays valid UTF-8 and a label cannot end its sample early.
TEST(Report, OutsideValuesKeepBothFormatsWellFormed) {
  RunReport r;
  r.version = "1.0\"x";
  r.started = 0;
  r.login = "M\xFCller";  // Latin-1, not UTF-8
  r.first_error_lines = {"Error: Tagsatz einf\xFCgen -1! Person: 0000\x01\x37!"};
  r.stats.fallback_reasons["quote\" backslash\\ line\nend"] = 2;
  const auto doc = nlohmann::json::parse(Report_Json(r));
  EXPECT_EQ(doc["login"], "M\xEF\xBF\xBDller");  // U+FFFD in place of the byte
  EXPECT_EQ(doc["first_error_lines"][0]["line"], "Error: Tagsatz einf\xEF\xBF\xBDgen -1! Person: 0000\x01\x37!");
  EXPECT_EQ(doc["persons"]["fallback_reasons"].size(), 1u);
  const std::string metrics = Report_Metrics(r);
  EXPECT_NE(metrics.find("planex_run_person_fallbacks{reason=\"quote\\\" backslash\\\\ line\\nend\"} 2\n"),
            std::string::npos)
      << metrics;
  EXPECT_NE(metrics.find("planex_run_info{version=\"1.0\\\"x\"} 1\n"), std::string::npos) << metrics;
}

// A busy server's marks: rows a server did not count are null (never a guess), statements run
// again are counted by reason, refused statements of the batched step are quoted.
TEST(Report, UnknownRowsRetriesAndRefusalsAreReportedAsTheyAre) {
  RunReport r;
  r.outcome = RunOutcome::Blocked;
  r.schema = "ABC_1";
  r.stats.Wrote("ABC_1", "Qxs327Tag", RunWrite::Added, 3);
  r.stats.Wrote("ABC_1", "Qxs327Tag", RunWrite::Added, DB_ROWS_UNKNOWN);
  r.stats.Wrote("ABC_1", "Qxs329Ztg", RunWrite::Rewritten, 4);
  r.stats.retries_deadlock = 2;
  r.stats.refusals.push_back({"00000001", "40001", 1205, "deadlocked"});
  r.stats.refused = 1;
  const auto doc = nlohmann::json::parse(Report_Json(r));
  EXPECT_EQ(doc["outcome"], "blocked");
  EXPECT_TRUE(doc["rows"]["Qxs327Tag"]["added"].is_null());
  EXPECT_EQ(doc["rows"]["Qxs327Tag"]["rewritten"], 0);
  EXPECT_EQ(doc["rows"]["Qxs329Ztg"]["rewritten"], 4);
  EXPECT_EQ(doc["retries"], nlohmann::json({{"deadlock", 2}, {"lock_timeout", 0}}));
  EXPECT_EQ(doc["persons"]["refusals"][0],
            nlohmann::json({{"pnr", "00000001"}, {"sqlstate", "40001"}, {"native", 1205}, {"message", "deadlocked"}}));
  const std::string metrics = Report_Metrics(r);
  for (const char* sample :
       {"planex_run_retries{reason=\"deadlock\"} 2\n", "planex_run_retries{reason=\"lock_timeout\"} 0\n",
        "planex_run_person_refusals 1\n", "planex_run_outcome{outcome=\"blocked\"} 1\n",
        "planex_run_rows{table=\"Qxs327Tag\",kind=\"rewritten\"} 0\n"}) {
    EXPECT_NE(metrics.find(sample), std::string::npos) << sample << metrics;
  }
  EXPECT_EQ(metrics.find("planex_run_rows{table=\"Qxs327Tag\",kind=\"added\"}"), std::string::npos) << metrics;
}

TEST(Report, TimesAreLocalWithTheOffsetInExtendedForm) {
  struct Case {
    const char* tz;
    std::time_t when;
    const char* text;
  } cases[] = {
      {"UTC0", 0, "1970-01-01T00:00:00+00:00"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", 1796779800, "2026-12-09T02:30:00+01:00"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", 1783554600, "2026-07-09T01:50:00+02:00"},
      {"<-0330>3:30", 0, "1969-12-31T20:30:00-03:30"},
  };
  const char* saved = getenv("TZ");
  const std::string before = saved != nullptr ? saved : "";
  for (const Case& c : cases) {
    setenv("TZ", c.tz, 1);
    tzset();
    EXPECT_EQ(Report_Time(c.when), c.text) << c.tz;
  }
  if (saved != nullptr) {
    setenv("TZ", before.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

// The report quotes the first error lines of the run log with the reasons written with them, in
// order (two lines that read the same keep their own), counts them all, and an ok run with error
// lines ends as one with errors.
TEST(Report, ErrorLinesComeFromTheRunLogWithTheirReasons) {
  fixture::TempDir dir("planex-report");
  const std::string path = dir.File("report.json");
  setenv("PLANEX_REPORT", path.c_str(), 1);
  const char* argv[] = {"planex"};
  RunReporter reporter(1, argv);
  unsetenv("PLANEX_REPORT");
  RunLog log;
  ASSERT_EQ(log.Open(dir.File("PLANEX.LOG").c_str(), nullptr), 0);
  reporter.ErrorLines(&log.Errors());
  const DbReason dup{"23000", 2627, "Violation of PRIMARY KEY constraint"};
  const DbReason ro{"42000", 3906, "read-only"};
  log.Printf("Datum: %s\n", "20261208");
  log.Error(dup, "Error: A\n");
  log.Error({}, "Error: B\n");
  log.Error(ro, "Error: A\n");
  for (int i = 0; i < 10; ++i) log.Error(dup, "Error: C %d\n", i);
  log.Close();
  EXPECT_EQ(reporter.Finish(RunOutcome::Ok, nullptr, 0, 0), 0);
  const auto doc = nlohmann::json::parse(fixture::ReadText(path));
  EXPECT_EQ(doc["outcome"], "errors");
  EXPECT_EQ(doc["error_lines"], 13);
  ASSERT_EQ(doc["first_error_lines"].size(), kReportErrorLines);
  EXPECT_EQ(doc["first_error_lines"][0]["native"], 2627);
  EXPECT_EQ(doc["first_error_lines"][1]["native"], nullptr);
  EXPECT_EQ(doc["first_error_lines"][2]["line"], "Error: A");
  EXPECT_EQ(doc["first_error_lines"][2]["native"], 3906);
  EXPECT_EQ(doc["first_error_lines"][9]["line"], "Error: C 6");
}

TEST(Report, StoppedByCarriesTheDriversReason) {
  const DbReason dup{"23000", 2627, "Violation of PRIMARY KEY constraint"};
  RunReport r;
  r.first_error_lines = {"Error: A"};
  r.first_error_reasons = {dup};
  r.stopped_by = BatchStop{"connection", "Verbindung ...", {"IM002", 0, "Data source name not found"}};
  const auto doc = nlohmann::json::parse(Report_Json(r));
  EXPECT_EQ(doc["first_error_lines"][0]["native"], 2627);
  EXPECT_EQ(doc["stopped_by"]["kind"], "connection");
  EXPECT_EQ(doc["stopped_by"]["sqlstate"], "IM002");
}

// Warnings travel as code and text into the report, and as a count per code into the metrics,
// every code listed so that an alert can watch one that has not happened yet.
TEST(Report, WarningsAreListedAndCountedByCode) {
  RunReport r;
  r.outcome = RunOutcome::Ok;
  r.stats.warnings = {{"pnr_width", "Personalnummer '1' hat 1 Zeichen"}, {"no_persons", "keine Person"}};
  const auto doc = nlohmann::json::parse(Report_Json(r));
  ASSERT_EQ(doc["warnings"].size(), 2u);
  EXPECT_EQ(doc["warnings"][0]["code"], "pnr_width");
  EXPECT_EQ(doc["warnings"][1]["text"], "keine Person");
  EXPECT_EQ(doc["outcome"], "ok");
  const std::string metrics = Report_Metrics(r);
  for (const char* sample :
       {"planex_run_warnings{code=\"pnr_width\"} 1\n", "planex_run_warnings{code=\"no_persons\"} 1\n",
        "planex_run_warnings{code=\"range_reversed\"} 0\n", "planex_run_warnings{code=\"end_year_past\"} 0\n"}) {
    EXPECT_NE(metrics.find(sample), std::string::npos) << sample << metrics;
  }
  EXPECT_EQ(nlohmann::json::parse(Report_Json(RunReport{}))["warnings"], nlohmann::json::array());
}

}  // namespace
