// The mistakes a newcomer makes in the first hour, each run as an operator would at a terminal (a
// pseudo-terminal of script(1)): what the terminal says, the run log, the run report, the exit
// status, and that no row was lost or half-written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "fixtures/helpers.h"

namespace {

namespace fs = std::filesystem;
using fixture::Company;
using fixture::ProcResult;
using Newcomer = fixture::DatabaseTest;
using Json = nlohmann::json;

// The rows of the client schema ABC_1 (the base and system calendars may grow in any run).
fixture::Rows ClientRows(const Company& c) {
  fixture::Rows rows;
  for (auto& row : fixture::WrittenRows(c.DbFile()))
    if (row[0] != "Bak" && row[0] != "Kal") rows.push_back(row);
  return rows;
}

// Writes a settings file in the company's folder with planex-settings.
void Settings(const Company& c, const std::string& file, const std::string& dsn, const std::string& schema) {
  ProcResult r = fixture::RunWithInput(c.Dir(),
                                       {fixture::BuildDir() + "/planex-settings", "write", file, "--login", "planex",
                                        "--dsn", dsn, "--schema", schema, "--password-stdin"},
                                       "secret\n");
  ASSERT_EQ(r.exit_code, 0) << r.err;
}

// planex with args at a terminal in the company's folder, as user uid when not 0; the screen
// shows standard output and standard error.
ProcResult AtTerminal(const Company& c, const std::vector<std::string>& args, uid_t uid = 0) {
  std::string command = fixture::BuildDir() + "/planex";
  for (const std::string& a : args) command += " '" + a + "'";
  std::vector<std::string> argv = {"script", "-qec", command, "/dev/null"};
  if (uid != 0) {
    argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=" + std::to_string(uid), "--regid=" + std::to_string(uid),
                               "--clear-groups"});
  }
  return fixture::Run(c.Dir(), argv,
                      {"ODBCSYSINI=" + c.Dir(), "ODBCINI=" + c.Dir() + "/odbc.ini", "PLANEX_REPORT=report.json",
                       "PLANEX_METRICS=metrics.prom"},
                      fixture::kNow);
}

const std::string kDate = "Datum: 20261208\n";
const std::string kRun = "0|2027|planex.ini|0|0";

std::vector<std::string> Args(const std::string& joined) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t bar; (bar = joined.find('|', start)) != std::string::npos; start = bar + 1)
    out.push_back(joined.substr(start, bar - start));
  if (!joined.empty()) out.push_back(joined.substr(start));
  return out;
}

TEST_F(Newcomer, MistakesAreSaidPlainlyAndCostNoRow) {
  // File permissions do not stop root, so the read-only case gives up root for planex.
  const uid_t as_user = geteuid() == 0 ? 65534 : 0;
  struct Case {
    const char* name;
    std::function<void(Company&)> set_up;
    std::string args;                 // '|' between the arguments
    std::vector<std::string> screen;  // texts the terminal shows
    std::string log;                  // the whole run log; "-" = none; "~..." = a part of it
    std::string outcome;              // the report's; "" = no report
    std::string stopped_by;           // the report's stopped_by.kind; "" = null
    int native;                       // the native error of stopped_by or of the first error line with one
    bool as_user = false;
  } cases[] = {
      {"wrong argument count",
       nullptr,
       "0|2027",
       {"Aufruf: planex [BegDat]", "planex: falsche Anzahl Argumente: 2"},
       "Falsche Anzahl Parameter(= 5)! AnzParam: 2\n",
       "refused",
       "arguments",
       0},
      {"bad year",
       nullptr,
       "0|27|planex.ini|0|0",
       {"planex: EndeJahr '27' ist kein vierstelliges Jahr"},
       kDate + "Error: Parameter EndeJahr ungültig: 27\n",
       "refused",
       "arguments",
       0},
      {"missing settings file",
       nullptr,
       "0|2027|nope.ini|0|0",
       {"planex: Einstellungsdatei 'nope.ini' existiert nicht"},
       kDate + "Error: Einstellungsdatei 'nope.ini' existiert nicht\nError: Schema ungültig: ''\n",
       "refused",
       "settings_file",
       0},
      {"unknown data source",
       [](Company& c) { Settings(c, "planex.ini", "NO_SUCH_DSN", "abc_1"); },
       kRun,
       {"planex: Verbindung zur Datenquelle 'NO_SUCH_DSN' als 'planex' fehlgeschlagen: SQLSTATE IM002: ",
        "isql -v NO_SUCH_DSN"},
       kDate + "Fehler(DB-Connect)! RC:-1 Name:planex Pwd:**** Net:NO_SUCH_DSN \n",
       "connection_failed",
       "connection",
       0},
      {"missing database file",
       [](Company& c) {
         fixture::WriteText(c.Dir() + "/odbc.ini", "[PLANEX_TEST]\nDriver = " + fixture::BuildDir() +
                                                       "/libtsqlite.so\nDatabase = " + c.Dir() + "/mistyped.db\n");
       },
       kRun,
       {"fehlgeschlagen: SQLSTATE 08004, Nr. 4060: ", "mistyped.db"},
       kDate + "Fehler(DB-Connect)! RC:-1 Name:planex Pwd:**** Net:PLANEX_TEST \n",
       "connection_failed",
       "connection",
       4060},
      // The client schema XYZ_1 was never installed: refused before anything is written.
      {"schema not installed",
       [](Company& c) { Settings(c, "planex.ini", "PLANEX_TEST", "xyz_1"); },
       kRun,
       {"planex: das Schema 'XYZ_1' fehlt auf der Datenquelle 'PLANEX_TEST' (falsche Datenbank, oder falsches "
        "SCHEMA in 'planex.ini'?); nichts geschrieben"},
       "~Aktuelles Schema: XYZ_1 \nError: Schema XYZ_1 unvollständig! Es fehlt: XYZ_1.Qxs300Pnr, XYZ_1.Qxs310Bsv, "
       "XYZ_1.Qxs327Tag, XYZ_1.Qxs329Ztg, XYZ_1.Qxs332Urv\n",
       "refused",
       "schema",
       0},
      // A database file its user may only read: refused before the first write.
      {"read-only database file",
       [](Company& c) {
         fs::permissions(c.Dir(), fs::perms::all);
         fs::permissions(c.Dir() + "/planex.ini", fs::perms::owner_read | fs::perms::others_read);
         fs::permissions(c.DbFile(), fs::perms::owner_read | fs::perms::others_read);
       },
       kRun,
       {"der Login 'planex' darf nicht schreiben: ABC_1.Qxs327Tag (INSERT), ABC_1.Qxs329Ztg (INSERT), "
        "ABC_1.Qxs329Ztg (UPDATE), ABC_1.Qxs332Urv (INSERT); nichts geschrieben"},
       "~Aktuelles Schema: ABC_1 \nError: Schema ABC_1 nicht beschreibbar! ",
       "refused",
       "schema",
       0,
       true},
      {"help",
       nullptr,
       "--help",
       {"Aufruf: planex BegDat EndeJahr Pfad PnrVon PnrBis\r\n", "  EndeJahr  "},
       "-",
       "",
       "",
       0},
  };
  fixture::TempDir keep("planex-newcomer-reports");
  std::vector<std::string> checked;  // reports and metrics with their outcomes, for the checker
  std::string skipped;               // why a case that runs planex as another user did not run
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Company co({.first_day = "20260101"});
    ASSERT_EQ(co.SetupError(), "");
    ASSERT_EQ(fixture::PlanexDb(co, {"demo", "--schema", "ABC_1", "--persons", "5", "--seed", "2"}).exit_code, 0);
    co.WriteSettings();
    if (c.set_up) c.set_up(co);
    if (c.as_user && as_user != 0) {
      skipped = fixture::UnreachableFor(as_user, co.Dir());
      if (!skipped.empty()) continue;
    }
    const fixture::Rows before = ClientRows(co);
    ProcResult r = AtTerminal(co, Args(c.args), c.as_user ? as_user : 0);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    for (const std::string& text : c.screen) EXPECT_TRUE(fixture::Contains(r.out, text)) << text << "\n" << r.out;
    if (c.log == "-") {
      EXPECT_FALSE(fs::exists(co.Dir() + "/PLANEX.LOG"));
    } else if (c.log[0] == '~') {
      EXPECT_TRUE(fixture::Contains(co.Log(), c.log.substr(1))) << co.Log();
    } else {
      EXPECT_EQ(co.Log(), c.log);
    }
    EXPECT_EQ(ClientRows(co), before);
    const std::string report_file = co.Dir() + "/report.json";
    if (c.outcome.empty()) {
      EXPECT_FALSE(fs::exists(report_file));
    } else {
      const Json report = Json::parse(fixture::ReadText(report_file), nullptr, false);
      EXPECT_EQ(report.value("outcome", ""), c.outcome);
      const Json& stopped = report["stopped_by"];
      EXPECT_EQ(stopped.is_null() ? "" : stopped.value("kind", ""), c.stopped_by);
      // The reason travels with the line (or the stop) it explains.
      int native = stopped.is_object() && stopped["native"].is_number() ? stopped["native"].get<int>() : 0;
      for (const Json& line : report["first_error_lines"])
        if (native == 0 && line["native"].is_number()) native = line["native"].get<int>();
      EXPECT_EQ(native, c.native) << report.dump(1);
      const std::string kept = keep.File(std::to_string(checked.size() / 3));
      fs::copy_file(report_file, kept + ".json");
      fs::copy_file(co.Dir() + "/metrics.prom", kept + ".prom");
      checked.insert(checked.end(), {kept + ".json", kept + ".prom", c.outcome});
    }
    if (c.as_user) {
      // No file is left beside the database that would keep failing once it is writable again.
      EXPECT_FALSE(fs::exists(co.DbFile() + "-shm"));
      EXPECT_FALSE(fs::exists(co.DbFile() + "-wal"));
      fs::permissions(co.DbFile(),
                      fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec));
      ProcResult again = AtTerminal(co, Args(kRun), as_user);
      EXPECT_TRUE(fixture::Contains(again.out, "Fehlerzeilen in PLANEX.LOG: 0")) << again.out;
      EXPECT_NE(ClientRows(co), before);
    }
  }
  // Every report is valid against its schema and agrees with its metrics.
  std::vector<std::string> argv = {"python3", std::string(PLANEX_SOURCE_DIR) + "/scripts/check-run-report.py",
                                   "--cases"};
  argv.insert(argv.end(), checked.begin(), checked.end());
  ProcResult v = fixture::Run("/tmp", argv);
  EXPECT_EQ(v.exit_code, 0) << v.err;
  if (!skipped.empty()) GTEST_SKIP() << "the read-only case did not run: " << skipped;
}

// An operator's mistakes that used to pass as success or cost hours, each caught before it costs
// a night: what the terminal says, the report's outcome, stop and warnings, and the rows.
TEST_F(Newcomer, OperatorMistakesAreCaughtBeforeTheyCostANight) {
  // odbc.ini of the company's data source on the database file db, with a DateFirst line when given.
  auto dsn = [](Company& c, const std::string& db, const std::string& date_first) {
    fixture::WriteText(c.Dir() + "/odbc.ini", "[PLANEX_TEST]\nDriver = " + fixture::BuildDir() +
                                                  "/libtsqlite.so\nDatabase = " + db + "\n" +
                                                  (date_first.empty() ? "" : "DateFirst = " + date_first + "\n"));
  };
  struct Case {
    const char* name;
    int date_first;  // the database was made with planex-db init --date-first N
    std::function<void(Company&)> set_up;
    std::string args;
    std::vector<std::string> screen;
    std::string outcome, stopped_by;
    std::vector<std::string> warnings;  // the report's codes
    const char* rows;  // "none": no row changes anywhere; "calendars": no person's row; "written": persons' too
  } cases[] = {
      {"weekday numbering of the DSN differs from the base calendar's",
       1,
       [&](Company& c) { dsn(c, c.DbFile(), "7"); },
       kRun,
       {"planex: diese Verbindung zählt die Wochentage ab Sonntag (DATEFIRST 7), der Basiskalender ab Montag "
        "(DATEFIRST 1)",
        "DateFirst = 1 in der Datenquelle 'PLANEX_TEST' (odbc.ini)"},
       "refused",
       "weekday_numbering",
       {},
       "none"},
      {"a DSN without DateFirst takes the database's own",
       1,
       [&](Company& c) { dsn(c, c.DbFile(), ""); },
       kRun,
       {"Fehlerzeilen in PLANEX.LOG: 0"},
       "ok",
       "",
       {},
       "written"},
      {"the DSN points at another database without the client schema",
       7,
       [&](Company& c) {
         ASSERT_EQ(fixture::Run(c.Dir(), {fixture::BuildDir() + "/planex-db", "--db", c.Dir() + "/other.db", "init",
                                          "--schema", "XYZ_1", "--first-day", "20260101"})
                       .exit_code,
                   0);
         dsn(c, c.Dir() + "/other.db", "7");
       },
       kRun,
       {"planex: das Schema 'ABC_1' fehlt auf der Datenquelle 'PLANEX_TEST'"},
       "refused",
       "schema",
       {},
       "none"},
      {"an end year far ahead",
       7,
       nullptr,
       "0|3000|planex.ini|0|0",
       {"planex: EndeJahr 3000 liegt mehr als 10 Jahre nach 2026", "PLANEX_FAR_YEAR=1"},
       "refused",
       "arguments",
       {},
       "none"},
      {"a reversed person range",
       7,
       nullptr,
       "0|2027|planex.ini|00000004|00000001",
       {"planex: Warnung: PnrVon '00000004' liegt hinter PnrBis '00000001'"},
       "ok",
       "",
       {"range_reversed"},
       "calendars"},
      {"person numbers without their leading zeros",
       7,
       nullptr,
       "0|2027|planex.ini|1|5",
       {"planex: Warnung: Personalnummer '1' hat 1 Zeichen, die Personen haben 8", "planex: Warnung: keine Person"},
       "ok",
       "",
       {"pnr_width", "no_persons"},
       "calendars"},
      {"an end year already past",
       7,
       nullptr,
       "0|2020|planex.ini|0|0",
       {"planex: Warnung: EndeJahr 2020 liegt vor dem laufenden Jahr 2026"},
       "ok",
       "",
       {"end_year_past"},
       "none"},
  };
  fixture::TempDir keep("planex-mistake-reports");
  std::vector<std::string> checked;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Company co({.date_first = c.date_first, .first_day = "20260101"});
    ASSERT_EQ(co.SetupError(), "");
    ASSERT_EQ(
        fixture::PlanexDb(co, {"demo", "--schema", "ABC_1", "--persons", "5", "--seed", "2"}, c.date_first).exit_code,
        0);
    co.WriteSettings();
    if (c.set_up) c.set_up(co);
    const fixture::Rows before = fixture::WrittenRows(co.DbFile());
    // The persons' rows: day records, schedule-assignment records, leave years.
    auto person_rows = [&co] {
      fixture::Rows rows;
      for (auto& row : ClientRows(co))
        if (row[0] == "Tag" || row[0] == "Ztg" || row[0] == "Urv") rows.push_back(row);
      return rows;
    };
    const fixture::Rows persons_before = person_rows();
    const std::string other = co.Dir() + "/other.db";
    const std::string other_before =
        fs::exists(other) ? fixture::Run(co.Dir(), {"sqlite3", other, ".dump"}).out : std::string();
    ProcResult r = AtTerminal(co, Args(c.args));
    EXPECT_EQ(r.exit_code, 0) << r.out;
    for (const std::string& text : c.screen) EXPECT_TRUE(fixture::Contains(r.out, text)) << text << "\n" << r.out;
    const Json report = Json::parse(fixture::ReadText(co.Dir() + "/report.json"), nullptr, false);
    EXPECT_EQ(report.value("outcome", ""), c.outcome);
    const Json& stopped = report["stopped_by"];
    EXPECT_EQ(stopped.is_null() ? "" : stopped.value("kind", ""), c.stopped_by);
    std::vector<std::string> warnings;
    for (const Json& w : report["warnings"]) warnings.push_back(w.value("code", ""));
    EXPECT_EQ(warnings, c.warnings) << report.dump(1);
    const std::string rows = c.rows;
    if (rows == "none") {
      EXPECT_EQ(fixture::WrittenRows(co.DbFile()), before);
    } else if (rows == "calendars") {
      EXPECT_EQ(person_rows(), persons_before);
    } else {
      EXPECT_NE(person_rows(), persons_before);
    }
    if (!other_before.empty()) {
      EXPECT_EQ(fixture::Run(co.Dir(), {"sqlite3", other, ".dump"}).out, other_before);
    }
    const std::string kept = keep.File(std::to_string(checked.size() / 3));
    fs::copy_file(co.Dir() + "/report.json", kept + ".json");
    fs::copy_file(co.Dir() + "/metrics.prom", kept + ".prom");
    checked.insert(checked.end(), {kept + ".json", kept + ".prom", c.outcome});
  }
  std::vector<std::string> argv = {"python3", std::string(PLANEX_SOURCE_DIR) + "/scripts/check-run-report.py",
                                   "--cases"};
  argv.insert(argv.end(), checked.begin(), checked.end());
  ProcResult v = fixture::Run("/tmp", argv);
  EXPECT_EQ(v.exit_code, 0) << v.err;
}

// Ctrl-C's sibling at a terminal: SIGTERM in the middle of a run. The terminal and the log say so,
// the report says interrupted, and a second run leaves the rows one uninterrupted run leaves.
TEST_F(Newcomer, SigtermMidRunIsSaidAndTheNextRunCompletesTheRows) {
  auto company = [](Company& c) {
    ASSERT_EQ(c.SetupError(), "");
    ASSERT_EQ(fixture::PlanexDb(c, {"demo", "--schema", "ABC_1", "--persons", "150", "--seed", "5"}).exit_code, 0);
    c.WriteSettings();
  };
  Company reference({.first_day = "20260101"});
  company(reference);
  fixture::RunPlanexOk(reference, "0", "2029");

  Company co({.first_day = "20260101"});
  company(co);
  // The signal comes a moment after the run has connected, while it is still working.
  fixture::WriteText(co.Dir() + "/stop.sh",
                     "'" + fixture::BuildDir() +
                         "/planex' 0 2029 planex.ini 0 0 & p=$!\n"
                         "until grep -q '^Aktuelles Schema' PLANEX.LOG 2>/dev/null; do sleep 0.02; done\n"
                         "sleep 0.3; kill -TERM $p; wait $p\n");
  ProcResult r = fixture::Run(
      co.Dir(), {"script", "-qec", "sh stop.sh", "/dev/null"},
      {"ODBCSYSINI=" + co.Dir(), "ODBCINI=" + co.Dir() + "/odbc.ini", "PLANEX_REPORT=report.json"}, fixture::kNow);
  EXPECT_NE(r.exit_code, 0);
  EXPECT_TRUE(fixture::Contains(r.out, "planex: abgebrochen durch SIGTERM")) << r.out;
  const std::string log = co.Log();
  EXPECT_TRUE(std::regex_search(log, std::regex("\nError: Abbruch durch SIGTERM! (Person|Schritt): [^\n]*!\n$")))
      << log.substr(log.size() > 300 ? log.size() - 300 : 0);
  EXPECT_EQ(Json::parse(fixture::ReadText(co.Dir() + "/report.json"), nullptr, false).value("outcome", ""),
            "interrupted");
  // The run logged out before it ended by its signal: the embedded database then leaves no
  // write-ahead file, as after any run that ends on its own.
  EXPECT_FALSE(fs::exists(co.DbFile() + "-wal"));

  fixture::RunPlanexOk(co, "0", "2029");
  EXPECT_EQ(fixture::ErrorLines(co.Log()), fixture::Strings{});
  EXPECT_EQ(fixture::WrittenRows(co.DbFile()), fixture::WrittenRows(reference.DbFile()));
}

}  // namespace
