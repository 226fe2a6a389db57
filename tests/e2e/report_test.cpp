// The run report and the metrics: for every way a run ends, PLANEX_REPORT and PLANEX_METRICS hold
// its outcome and figures, valid against the report's JSON Schema and promtool, agreeing with each
// other, with the rows the database gained and with the run log; the log and the exit status are
// those of a run without them. A run stopped by SIGINT or SIGTERM ends at a statement boundary,
// says so in its log and report and dies by that signal; one killed outright leaves "running".
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/helpers.h"

namespace {

using fixture::Company;
using fixture::ProcResult;
using Json = nlohmann::json;
using Report = fixture::DatabaseTest;

const std::pair<const char*, const char*> kTables[] = {
    {"Qxs133Bak", "QXSYSTEM.Qxs133Bak"}, {"Qxs133Kal", "QXSYSTEM.Qxs133Kal"}, {"Qxs133Ka2", "ABC_1.Qxs133Ka2"},
    {"Qxs327Tag", "ABC_1.Qxs327Tag"},    {"Qxs329Ztg", "ABC_1.Qxs329Ztg"},    {"Qxs332Urv", "ABC_1.Qxs332Urv"},
};
using Counts = std::map<std::string, long>;

Counts CountRows(Company& c) {
  Counts n;
  for (const auto& [name, table] : kTables) {
    const std::string v = c.Scalar(std::string("SELECT COUNT(*) FROM ") + table);
    n[name] = v.empty() ? 0 : std::stol(v);
  }
  return n;
}

// A demo company of `persons` persons whose base calendar starts on 1 January 2026.
void Demo(Company& c, int persons) {
  ProcResult r =
      fixture::PlanexDb(c, {"demo", "--schema", c.Schema(), "--persons", std::to_string(persons), "--seed", "5"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  c.WriteSettings();
}

fixture::Strings LogErrorLines(const std::string& log) {
  fixture::Strings lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);)
    if (std::regex_search(line, std::regex("^(Error|Fehler|Falsche Anzahl Parameter)"))) lines.push_back(line);
  return lines;
}

// Reports and metrics files checked against each other, the schema and promtool (one start of
// the checker for many: Python takes its time to start): triples of report, metrics and outcome.
void ExpectValid(const std::vector<std::string>& triples) {
  std::vector<std::string> argv = {"python3", std::string(PLANEX_SOURCE_DIR) + "/scripts/check-run-report.py",
                                   "--cases"};
  argv.insert(argv.end(), triples.begin(), triples.end());
  ProcResult v = fixture::Run("/tmp", argv);
  EXPECT_EQ(v.exit_code, 0) << v.err;
}

// The report of the run in the company's folder, kept in `keep` for ExpectValid with its metrics.
Json Kept(Company& c, const fixture::TempDir& keep, const std::string& outcome, std::vector<std::string>* triples) {
  const std::string name = keep.File(std::to_string(triples->size() / 3));
  std::filesystem::copy_file(c.Dir() + "/report.json", name + ".json");
  std::filesystem::copy_file(c.Dir() + "/metrics.prom", name + ".prom");
  triples->insert(triples->end(), {name + ".json", name + ".prom", outcome});
  return Json::parse(fixture::ReadText(name + ".json"), nullptr, false);
}

// The report's figures against the rows the database gained and the run log.
void ExpectFigures(const Json& report, const Counts& before, const Counts& after, const std::string& log) {
  ASSERT_TRUE(report.is_object());
  for (const auto& [name, table] : kTables) {
    EXPECT_EQ(report["rows"][name]["added"], after.at(name) - before.at(name)) << name;
  }
  const fixture::Strings errors = LogErrorLines(log);
  EXPECT_EQ(report["error_lines"], errors.size());
  ASSERT_EQ(report["first_error_lines"].size(), std::min<size_t>(errors.size(), 10));
  for (size_t i = 0; i < report["first_error_lines"].size(); ++i) {
    EXPECT_EQ(report["first_error_lines"][i]["line"], errors[i]);
  }
}

TEST_F(Report, EveryOutcomeGivesReportAndMetricsThatAgreeWithTheDatabaseAndTheLog) {
  const std::string next_run = "next run rewrites the end year";
  struct Case {
    std::string name;
    std::function<void(Company&)> prepare;
    std::vector<std::string> args;
    std::vector<std::string> env;
    std::string outcome;
    int exit_code = 0;
    long rewritten = 0;  // Qxs329Ztg rows rewritten; -1: those of the end year
  } cases[] = {
      {"batched", nullptr, {"0", "2026", "planex.ini", "0", "0"}, {}, "ok"},
      {"day by day", nullptr, {"0", "2026", "planex.ini", "0", "0"}, {"PLANEX_PERSON_STEP=daily"}, "ok"},
      {next_run, nullptr, {"0", "2026", "planex.ini", "0", "0"}, {}, "ok", 0, -1},
      {"error lines",
       [](Company& c) { fixture::Sql(c, "DROP TABLE QXSYSTEM.Qxs135Muw"); },
       {"0", "2026", "planex.ini", "0", "0"},
       {},
       "errors"},
      {"argument count", nullptr, {"0", "2026"}, {}, "refused"},
      {"bad year", nullptr, {"0", "27", "planex.ini", "0", "0"}, {}, "refused"},
      {"no settings file", nullptr, {"0", "2026", "missing.ini", "0", "0"}, {}, "refused"},
      {"unknown data source",
       [](Company& c) {
         ProcResult r =
             fixture::RunWithInput(c.Dir(),
                                   {fixture::BuildDir() + "/planex-settings", "write", "other.ini", "--login", "u",
                                    "--dsn", "NO_SUCH_DSN", "--schema", "ABC_1", "--password-stdin"},
                                   "pw\n");
         ASSERT_EQ(r.exit_code, 0) << r.err;
       },
       {"0", "2026", "other.ini", "0", "0"},
       {},
       "connection_failed"},
      {"log cannot be created",
       [](Company& c) { std::filesystem::create_directory(c.Dir() + "/PLANEX.LOG"); },
       {"0", "2026", "planex.ini", "0", "0"},
       {},
       "log_failed",
       1},
  };
  fixture::TempDir keep("planex-report");
  std::vector<std::string> triples;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    std::string plain_log;
    int plain_exit = -1;
    // The same run without the variables first: its log and exit status are what the run with
    // them must give, and it leaves no report behind.
    for (bool with : {false, true}) {
      Company c({.first_day = "20260101"});
      ASSERT_EQ(c.SetupError(), "");
      Demo(c, 6);
      if (k.name == next_run) fixture::RunPlanexOk(c, "0", "2026");
      if (k.prepare) k.prepare(c);
      const Counts before = CountRows(c);
      std::vector<std::string> env = k.env;
      if (with) env.insert(env.end(), {"PLANEX_REPORT=report.json", "PLANEX_METRICS=" + c.Dir() + "/metrics.prom"});
      ProcResult r = c.RunPlanex(k.args, fixture::kNow, env);
      EXPECT_EQ(r.exit_code, k.exit_code) << r.err;
      if (!with) {
        plain_log = c.Log();
        plain_exit = r.exit_code;
        EXPECT_FALSE(std::filesystem::exists(c.Dir() + "/report.json"));
        continue;
      }
      EXPECT_EQ(c.Log(), plain_log);
      EXPECT_EQ(r.exit_code, plain_exit);
      const Json report = Kept(c, keep, k.outcome, &triples);
      ExpectFigures(report, before, CountRows(c), c.Log());
      const long rewritten =
          k.rewritten >= 0 ? k.rewritten
                           : std::stol(c.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs329Ztg WHERE ZtgVon > '20251231'"));
      EXPECT_EQ(report["rows"]["Qxs329Ztg"]["rewritten"], rewritten);
      EXPECT_FALSE(std::filesystem::exists(c.Dir() + "/report.json.tmp"));
      const Json& persons = report["persons"];
      if (k.outcome == "ok" || k.outcome == "errors") {
        // The demo company's persons that have not left, each with days to fill.
        const long live = std::stol(
            c.Scalar("SELECT COUNT(DISTINCT BsvPnr) FROM ABC_1.Qxs310Bsv, ABC_1.Qxs300Pnr WHERE BsvPnr = PnrNum "
                     "AND (BsvGbi IS NULL OR BsvGbi >= CURRENT_TIMESTAMP) AND BsvSta < 4 AND PnrSta < 4"));
        EXPECT_EQ(persons["read"], live);
        EXPECT_EQ(persons["batched"].get<long>() + persons["daily"].get<long>(), live);
        EXPECT_EQ(persons[report["person_step"].get<std::string>()], live);
        EXPECT_EQ(report["data_source"], "PLANEX_TEST");
        EXPECT_EQ(report["schema"], "ABC_1");
      } else {
        EXPECT_EQ(persons["read"], 0);
      }
      EXPECT_EQ(report["arguments"], k.args);
      EXPECT_EQ(fixture::ReadText(c.Dir() + "/report.json").find("secret"), std::string::npos);
    }
  }
  ExpectValid(triples);
}

TEST_F(Report, FilesAreReplacedWholeNeverThroughALinkAndOneThatFailsChangesNothingElse) {
  namespace fs = std::filesystem;
  struct Case {
    std::string name;
    std::function<void(const std::string&)> prepare;  // in the run's folder
    std::string env;
    std::string said;  // on standard error; "" for nothing
    std::function<void(const std::string&)> check;
  } cases[] = {
      {"a link planted at the report is replaced, its target kept",
       [](const std::string& d) {
         ASSERT_TRUE(fixture::WriteText(d + "/victim", "keep"));
         fs::create_symlink(d + "/victim", d + "/report.json");
       },
       "PLANEX_REPORT=report.json", "",
       [](const std::string& d) {
         EXPECT_EQ(fixture::ReadText(d + "/victim"), "keep");
         EXPECT_FALSE(fs::is_symlink(d + "/report.json"));
         EXPECT_EQ(Json::parse(fixture::ReadText(d + "/report.json"), nullptr, false).value("outcome", ""), "ok");
       }},
      {"a temporary file left there is not used",
       [](const std::string& d) { fs::create_symlink(d + "/victim", d + "/report.json.tmp"); },
       "PLANEX_REPORT=report.json", "report.json.tmp exists already",
       [](const std::string& d) {
         EXPECT_FALSE(fs::exists(d + "/victim"));
         EXPECT_FALSE(fs::exists(d + "/report.json"));
       }},
      {"a folder that does not exist", nullptr, "PLANEX_METRICS=no/such/folder/planex.prom",
       "planex: cannot write no/such/folder/planex.prom", nullptr},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Company c({.first_day = "20260101"});
    ASSERT_EQ(c.SetupError(), "");
    c.WriteSettings();
    if (k.prepare) k.prepare(c.Dir());
    ProcResult r = c.RunPlanex({"0", "2026", "planex.ini", "0", "0"}, fixture::kNow, {k.env});
    EXPECT_EQ(r.exit_code, 0);
    if (k.said.empty()) {
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_TRUE(fixture::Contains(r.err, k.said)) << r.err;
    }
    EXPECT_TRUE(fixture::Contains(c.Log(), "Aktuelles Schema: ABC_1")) << c.Log();
    EXPECT_TRUE(LogErrorLines(c.Log()).empty()) << c.Log();
    if (k.check) k.check(c.Dir());
  }
}

// planex started in the company's folder with the report and metrics set, the clock left as it
// is (faketime would stand between the test and planex's signals).
pid_t Start(Company& c, const char* step) {
  const std::string planex = fixture::BuildDir() + "/planex";
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open((c.Dir() + "/planex.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0 || chdir(c.Dir().c_str()) != 0) _exit(126);
    dup2(out, 1);
    dup2(out, 2);
    setenv("ODBCSYSINI", c.Dir().c_str(), 1);
    setenv("ODBCINI", (c.Dir() + "/odbc.ini").c_str(), 1);
    setenv("PLANEX_REPORT", "report.json", 1);
    setenv("PLANEX_METRICS", "metrics.prom", 1);
    setenv("PLANEX_PERSON_STEP", step, 1);
    execl(planex.c_str(), planex.c_str(), "0", "2029", "planex.ini", "0", "0", nullptr);
    _exit(127);
  }
  return pid;
}

TEST_F(Report, SignalMidRunStopsAtAStatementAndSaysSoAKillLeavesRunning) {
  struct Case {
    int signal;
    const char* step;
    std::string outcome;
  } cases[] = {
      {SIGTERM, "batched", "interrupted"},
      {SIGINT, "daily", "interrupted"},
      {SIGKILL, "daily", "running"},
  };
  fixture::TempDir keep("planex-report");
  std::vector<std::string> triples;
  for (const Case& k : cases) {
    SCOPED_TRACE(strsignal(k.signal));
    Company c({.first_day = "20260101"});
    ASSERT_EQ(c.SetupError(), "");
    Demo(c, 150);
    const Counts before = CountRows(c);
    const pid_t pid = Start(c, k.step);
    ASSERT_GT(pid, 0);
    // The signal comes once the person run has written day records and is still going.
    bool mid_run = false;
    for (int i = 0; i < 6000 && !mid_run; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      mid_run = CountRows(c)["Qxs327Tag"] > before.at("Qxs327Tag");
    }
    int status = 0;
    ASSERT_TRUE(mid_run && waitpid(pid, &status, WNOHANG) == 0) << "the run ended before it could be stopped";
    const Json running = Json::parse(fixture::ReadText(c.Dir() + "/report.json"), nullptr, false);
    EXPECT_EQ(running.value("outcome", ""), "running");
    kill(pid, k.signal);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), k.signal);

    const std::string log = c.Log();
    // The scheduler's check fails the run: by its log's error line, or by its report.
    const std::string check_log =
        "PLANEX_REPORT=report.json " + std::string(PLANEX_SOURCE_DIR) + "/packaging/planex-check-log PLANEX.LOG";
    EXPECT_NE(fixture::Run(c.Dir(), {"/bin/sh", "-c", check_log}).exit_code, 0);
    if (k.signal == SIGKILL) {
      EXPECT_EQ(Json::parse(fixture::ReadText(c.Dir() + "/report.json"), nullptr, false).value("outcome", ""),
                "running");
      EXPECT_FALSE(std::filesystem::exists(c.Dir() + "/metrics.prom"));
      continue;
    }
    std::smatch m;
    const std::regex last(std::string("\nError: Abbruch durch SIG") + sigabbrev_np(k.signal) + "! Person: (\\S+)!\n$");
    ASSERT_TRUE(std::regex_search(log, m, last)) << log.substr(log.size() > 300 ? log.size() - 300 : 0);
    const Json report = Kept(c, keep, k.outcome, &triples);
    EXPECT_EQ(report["signal"], std::string("SIG") + sigabbrev_np(k.signal));
    ExpectFigures(report, before, CountRows(c), log);
    // The person the log names is one the run had reached, and not the last of all.
    EXPECT_LT(report["persons"]["read"].get<long>(), 150);
    EXPECT_NE(c.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs300Pnr WHERE PnrNum = " + fixture::Lit(m[1])), "0");
  }
  ExpectValid(triples);
}

}  // namespace
