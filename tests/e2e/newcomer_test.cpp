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
      // The client schema XYZ_1 was never installed: every statement on its tables fails with 208.
      {"schema not installed",
       [](Company& c) { Settings(c, "planex.ini", "PLANEX_TEST", "xyz_1"); },
       kRun,
       {"Fehlerzeilen in PLANEX.LOG: ", "Grund: SQLSTATE 42S02, Nr. 208: ", "Invalid object name 'XYZ_1."},
       "~Aktuelles Schema: XYZ_1 \n",
       "errors",
       "",
       208},
      // A database file its user may only read: reads work, every write fails with 3906.
      {"read-only database file",
       [](Company& c) {
         fs::permissions(c.Dir(), fs::perms::all);
         fs::permissions(c.Dir() + "/planex.ini", fs::perms::owner_read | fs::perms::others_read);
         fs::permissions(c.DbFile(), fs::perms::owner_read | fs::perms::others_read);
       },
       kRun,
       {"Grund: SQLSTATE 42000, Nr. 3906: ", "because the database is read-only."},
       "~Aktuelles Schema: ABC_1 \n",
       "errors",
       "",
       3906,
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Company co({.first_day = "20260101"});
    ASSERT_EQ(co.SetupError(), "");
    ASSERT_EQ(fixture::PlanexDb(co, {"demo", "--schema", "ABC_1", "--persons", "5", "--seed", "2"}).exit_code, 0);
    co.WriteSettings();
    if (c.set_up) c.set_up(co);
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
