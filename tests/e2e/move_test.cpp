// planex-db copy and dump: a company after a planex run carried into another database file, every
// value of every row as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/helpers.h"
#include "fixtures/random_company.h"

extern char** environ;

namespace {

using fixture::BuildDir;
using fixture::Company;
using fixture::Contains;
using fixture::ProcResult;
using fixture::Rows;
using PlanexDbMove = fixture::DatabaseTest;

constexpr char kCiAs[] = "Latin1_General_CI_AS";
constexpr char kUtf8[] = "Latin1_General_100_BIN2_UTF8";

// Every table with its number of columns: all rows, all columns, ordered by all of them.
Rows AllRows(const std::string& db) {
  static const std::pair<const char*, int> kTables[] = {
      {"QXSYSTEM.Qxs133Bak", 9}, {"QXSYSTEM.Qxs135Muw", 3}, {"QXSYSTEM.Qxs133Kal", 8}, {"ABC_1.Qxs135Mu2", 3},
      {"ABC_1.Qxs137Wch", 4},    {"ABC_1.Qxs133Ka2", 8},    {"ABC_1.Qxs160Agr", 4},    {"ABC_1.Qxs161Wpl", 5},
      {"ABC_1.Qxs300Pnr", 3},    {"ABC_1.Qxs310Bsv", 7},    {"ABC_1.Qxs311Zuo", 12},   {"ABC_1.Qxs327Tag", 7},
      {"ABC_1.Qxs329Ztg", 16},   {"ABC_1.Qxs332Urv", 3}};
  std::vector<std::string> queries;
  for (const auto& [table, columns] : kTables) {
    std::string order;
    for (int i = 1; i <= columns; ++i) order += (i > 1 ? ", " : "") + std::to_string(i);
    queries.push_back(std::string("SELECT '") + table + "', * FROM " + table + " ORDER BY " + order);
  }
  std::vector<const char*> texts;
  for (const std::string& q : queries) texts.push_back(q.c_str());
  return fixture::DumpRows(db, texts);
}

// What a move must carry besides what a run writes: NULL in every nullable column, milliseconds
// in time stamps, and texts a script could misread (a quote, a sqlcmd variable, a GO line).
const char* const kOddRows[] = {
    "INSERT INTO QXSYSTEM.Qxs135Muw (MuwKal, MuwBez, MuwSta) VALUES ('NUL', NULL, 1)",
    "INSERT INTO QXSYSTEM.Qxs133Kal (KalNum, KalDtm, KalTtp, KalPtp, KalBtp, KalGwt, KalDat) VALUES "
    "('NUL', CONVERT(datetime, '2026-12-24T23:59:59.997', 126), NULL, NULL, NULL, NULL, NULL)",
    "INSERT INTO ABC_1.Qxs135Mu2 (Mu2Kal, Mu2Bez) VALUES ('NUL', NULL)",
    "INSERT INTO ABC_1.Qxs133Ka2 (Ka2Num, Ka2Dtm, Ka2Ttp, Ka2Ptp, Ka2Btp, Ka2Gwt, Ka2Dat) VALUES "
    "('NUL', CONVERT(datetime, '2026-12-24T00:00:00.003', 126), NULL, NULL, NULL, NULL, NULL)",
    "INSERT INTO ABC_1.Qxs160Agr (AgrNum, AgrBez, AgrTge) VALUES ('NUL', NULL, 7)",
    "INSERT INTO ABC_1.Qxs161Wpl (WplAgr, WplTag, WplAzt, WplVra) VALUES ('NUL', 1, NULL, NULL)",
    "INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam) VALUES ('ZZNUL', NULL), ('ZZQ1', N'O''Brien $' + N'(CLIENT)'), "
    "('ZZQ2', N'zwei' + CHAR(10) + N'GO' + CHAR(10) + N'Zeilen')",
    "INSERT INTO ABC_1.Qxs310Bsv (BsvPnr, BsvGvo, BsvGbi, BsvKal, BsvAkr, BsvAbr) VALUES "
    "('ZZNUL', CONVERT(datetime, '2026-01-01T00:00:00.007', 126), NULL, NULL, NULL, NULL)",
    "INSERT INTO ABC_1.Qxs311Zuo (ZuoPnr, ZuoAgr, ZuoAbt, ZuoKst, ZuoKrt, ZuoKtr, ZuoVra, ZuoGvo, ZuoGbi, ZUOSDT) "
    "VALUES ('ZZNUL', 'NUL', NULL, NULL, NULL, NULL, NULL, CONVERT(datetime, '2026-01-01T08:00:00.123', 126), NULL, "
    "CONVERT(datetime, '2026-01-01T00:00:00.000', 126))",
    "INSERT INTO ABC_1.Qxs327Tag (TagPnr, TagTag, TagVon, TagUhr, TagBis, TagEnd, TagDat) VALUES "
    "('ZZNUL', CONVERT(datetime, '2026-12-01T00:00:00.000', 126), NULL, NULL, NULL, NULL, NULL)",
    "INSERT INTO ABC_1.Qxs329Ztg (ZtgPnr, ZtgVon) VALUES ('ZZNUL', CONVERT(datetime, '2026-12-01', 126))",
    "INSERT INTO ABC_1.Qxs332Urv (UrvPnr, UrvJhr) VALUES ('ZZNUL', 2026)",
    "UPDATE QXSYSTEM.Qxs133Bak SET BakDat = NULL WHERE BakDtm = (SELECT MIN(BakDtm) FROM QXSYSTEM.Qxs133Bak)",
    "UPDATE ABC_1.Qxs327Tag SET TagDat = CONVERT(datetime, '2026-12-08T10:00:00.123', 126) "
    "WHERE TagPnr = (SELECT MIN(TagPnr) FROM ABC_1.Qxs327Tag)",
};

// A company of the given collation after a planex run: names of umlauts at full width, characters
// outside code page 1252, NULL values, and the rows above.
std::unique_ptr<Company> RunCompany(const std::string& collation, int persons = 40) {
  auto company = std::make_unique<Company>(fixture::Options{.first_day = "20260101", .collation = collation});
  if (!company->SetupError().empty()) return company;
  fixture::Oddities odd;
  // Full width counts characters of code page 1252; a UTF-8 varchar counts bytes.
  odd.full_width = collation == kCiAs ? 0.3 : 0;
  odd.foreign = 0.2;
  odd.null_values = 0.3;
  for (const std::string& sql : fixture::RandomCompany(11, persons, odd, fixture::ClientShape::Full)) {
    fixture::Sql(*company, sql);
  }
  company->WriteSettings();
  fixture::RunPlanexOk(*company, "0", "2027");
  for (const char* sql : kOddRows) fixture::Sql(*company, sql);
  return company;
}

ProcResult Copy(const Company& from, const std::string& to, std::vector<std::string> more = {}) {
  std::vector<std::string> argv = {
      BuildDir() + "/planex-db", "--db", from.DbFile(), "copy", "--schema", "abc_1", "--to-db", to};
  argv.insert(argv.end(), more.begin(), more.end());
  return fixture::Run(from.Dir(), argv);
}

// The rows of the dump's INSERTs, one count per statement.
std::vector<int> RowsPerInsert(const std::string& script) {
  std::vector<int> counts;
  std::istringstream in(script);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("INSERT INTO ", 0) == 0) counts.push_back(0);
    if (line.rfind("(", 0) == 0 && !counts.empty()) ++counts.back();
  }
  return counts;
}

TEST_F(PlanexDbMove, CopyAndDumpCarryEveryValueInBothCollations) {
  for (const char* collation : {kCiAs, kUtf8}) {
    SCOPED_TRACE(collation);
    auto company = RunCompany(collation);
    ASSERT_EQ(company->SetupError(), "");
    const Rows source = AllRows(company->DbFile());
    ASSERT_TRUE(std::any_of(source.begin(), source.end(),
                            [](const auto& row) { return Contains(row.back(), "2026-12-08 10:00:00.123"); }));

    // copy into a new file: made with the source's collation, every value as it was.
    const std::string copied = company->Dir() + "/copied.db";
    ProcResult r = Copy(*company, copied);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "every table matches")) << r.out;
    EXPECT_EQ(fixture::QueryFile(copied, "SELECT DATABASEPROPERTYEX(DB_NAME(), 'Collation')").rows, Rows{{collation}});
    EXPECT_EQ(AllRows(copied), source);

    // dump, then planex-db sql into a file of the same collation.
    r = fixture::Run(company->Dir(), {BuildDir() + "/planex-db", "--db", company->DbFile(), "dump", "--schema", "ABC_1",
                                      "--out", "company.sql"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string script = fixture::ReadText(company->Dir() + "/company.sql");
    EXPECT_EQ(script.rfind("-- planex-db dump of a time-recording company: system schema QXSYSTEM and client "
                           "schema ABC_1,\n",
                           0),
              0u);
    EXPECT_TRUE(Contains(script.substr(0, script.find("\n\n")), collation)) << script.substr(0, 600);
    struct Rule {
      const char* what;
      const char* text;
    };
    const Rule rules[] = {
        // learn.microsoft.com/sql/t-sql/functions/cast-and-convert-transact-sql: style 126,
        // yyyy-mm-ddThh:mi:ss.mmm, the ISO 8601 form no language or DATEFORMAT setting reads otherwise.
        {"time stamp in style 126", "CONVERT(datetime, '2026-12-08T10:00:00.123', 126)"},
        // learn.microsoft.com/sql/t-sql/data-types/nchar-and-nvarchar-transact-sql: N'' for Unicode text.
        {"quote doubled", "N'O''Brien $' + N'(CLIENT)'"},
        // learn.microsoft.com/sql/tools/sqlcmd/sqlcmd-use-scripting-variables: sqlcmd replaces $(NAME)
        // anywhere, literals included; learn.microsoft.com/sql/t-sql/language-elements/
        // sql-server-utilities-statements-go: a line of GO ends the batch.
        {"no GO line inside a text", "N'zwei' + CHAR(10) + N'GO' + CHAR(10) + N'Zeilen'"},
        // learn.microsoft.com/sql/t-sql/language-elements/sql-server-utilities-statements-go: CREATE
        // SCHEMA must begin its batch, so behind IF it runs through EXEC.
        {"schema where missing", "IF SCHEMA_ID(N'ABC_1') IS NULL EXEC(N'CREATE SCHEMA ABC_1')\nGO\n"},
        {"table where missing", "IF OBJECT_ID(N'ABC_1.Qxs327Tag', N'U') IS NULL\nBEGIN\nCREATE TABLE ABC_1.Qxs327Tag"},
    };
    for (const Rule& rule : rules) EXPECT_TRUE(Contains(script, rule.text)) << rule.what;
    // learn.microsoft.com/sql/t-sql/queries/table-value-constructor-transact-sql: at most 1,000 rows
    // in the VALUES of an INSERT, error 10738 beyond.
    const std::vector<int> per_insert = RowsPerInsert(script);
    ASSERT_FALSE(per_insert.empty());
    EXPECT_EQ(*std::max_element(per_insert.begin(), per_insert.end()), 1000);

    // The whole script into a new, empty file: it makes the schemas and tables itself.
    const std::string dumped = company->Dir() + "/dumped.db";
    r = fixture::Run(company->Dir(),
                     {BuildDir() + "/planex-db", "--db", dumped, "sql", "company.sql", "--collation", collation});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(fixture::QueryFile(dumped, "SELECT DATABASEPROPERTYEX(DB_NAME(), 'Collation')").rows, Rows{{collation}});
    EXPECT_EQ(AllRows(dumped), source);
  }
}

TEST_F(PlanexDbMove, CopyRefusesATargetThatHoldsRowsAndWritesNothing) {
  Company source(fixture::Options{.date_first = 1, .first_day = "20260101"});
  ASSERT_EQ(source.SetupError(), "");
  fixture::Sql(source, fixture::seed::Person("00000001", "Anna"));
  Company target(fixture::Options{.first_day = "20260101"});
  ASSERT_EQ(target.SetupError(), "");
  fixture::Sql(target, fixture::seed::Person("00000009", "Zoe"));
  const Rows before = AllRows(target.DbFile());
  ProcResult r = Copy(source, target.DbFile());
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(Contains(r.err, "target table QXSYSTEM.Qxs133Bak already holds 1 rows")) << r.err;
  EXPECT_TRUE(Contains(r.err, "target table ABC_1.Qxs300Pnr already holds 1 rows")) << r.err;
  EXPECT_EQ(AllRows(target.DbFile()), before);

  // --replace, into the target's data source this time, the password on standard input.
  r = fixture::RunWithInput(source.Dir(),
                            {BuildDir() + "/planex-db", "--db", source.DbFile(), "copy", "--schema", "ABC_1",
                             "--to-dsn", "PLANEX_TEST", "--to-user", "planex", "--replace"},
                            "secret\n", {"ODBCSYSINI=" + target.Dir(), "ODBCINI=" + target.Dir() + "/odbc.ini"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(AllRows(target.DbFile()), AllRows(source.DbFile()));

  // At a terminal (a pseudo-terminal of script(1)), a line per table with rows, rate, time left.
  const std::string copy =
      BuildDir() + "/planex-db --db " + source.DbFile() + " copy --schema ABC_1 --to-db " + source.Dir() + "/seen.db";
  r = fixture::Run(source.Dir(), {"script", "-qec", copy, "/dev/null"});
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("\r\033\\[KABC_1.Qxs300Pnr +1 of 1 rows +[0-9]+ rows/s +0:00 left")))
      << r.out;
  // The new file numbers weekdays as its source does, one made with DateFirst 1.
  fixture::WriteText(source.Dir() + "/datefirst.sql", "SELECT @@DATEFIRST AS d");
  r = fixture::Run(source.Dir(),
                   {BuildDir() + "/planex-db", "--db", source.Dir() + "/seen.db", "sql", "datefirst.sql"});
  EXPECT_EQ(r.out, "d\n-\n1\n(1 row)\n\n") << r.err;
}

// A copy stopped by SIGTERM after its first commit leaves part of the rows; copy refuses that
// target, copy --replace makes it whole.
TEST_F(PlanexDbMove, InterruptedCopyIsRepairedByReplace) {
  Company company(fixture::Options{.first_day = "20260101"});
  ASSERT_EQ(company.SetupError(), "");
  ASSERT_EQ(fixture::PlanexDb(company, {"demo", "--schema", "ABC_1", "--persons", "40"}).exit_code, 0);
  company.WriteSettings();
  fixture::RunPlanexOk(company, "0", "2027");
  const std::string target = company.Dir() + "/target.db";
  const std::string planex_db = BuildDir() + "/planex-db";
  std::vector<std::string> args = {planex_db, "--db", company.DbFile(), "copy", "--schema", "ABC_1", "--to-db", target};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  const std::string err = company.Dir() + "/copy.err";
  posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&files);
  // The base calendar is copied first and becomes visible with the first commit.
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < limit &&
         fixture::QueryFile(target, "SELECT COUNT(*) FROM QXSYSTEM.Qxs133Bak").rows != Rows{{"731"}}) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  // Stopped in the middle, or on a loaded machine perhaps only while it checked: either way the
  // target holds rows, and a plain copy refuses it.
  EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
  if (WIFSIGNALED(status)) {
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_TRUE(Contains(fixture::ReadText(err), "copy: stopped by SIGTERM in table ")) << fixture::ReadText(err);
  }
  const Rows source = AllRows(company.DbFile());
  ProcResult again = Copy(company, target);
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_TRUE(Contains(again.err, "already holds")) << again.err;
  ProcResult r = Copy(company, target, {"--replace"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(AllRows(target), source);

  // A SIGTERM already waiting (held back by the caller) stops the copy at its first statement:
  // nothing is committed, and planex-db ends by that signal.
  args[args.size() - 1] = company.Dir() + "/held.db";
  argv.clear();
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawnattr_t held;
  posix_spawnattr_init(&held);
  sigset_t term;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  posix_spawnattr_setsigmask(&held, &term);
  posix_spawnattr_setflags(&held, POSIX_SPAWN_SETSIGMASK);
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_EQ(posix_spawn(&pid, argv[0], &files, &held, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&held);
  kill(pid, SIGTERM);
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_TRUE(Contains(fixture::ReadText(err), "copy: stopped by SIGTERM in table QXSYSTEM.Qxs133Bak"))
      << fixture::ReadText(err);
  EXPECT_EQ(fixture::QueryFile(company.Dir() + "/held.db", "SELECT COUNT(*) FROM QXSYSTEM.Qxs133Bak").rows,
            Rows{{"0"}});
}

// The checksum compares what the target holds after writing with what was read: a target whose
// code page cannot hold a text changes that row, and the copy fails naming the table.
TEST_F(PlanexDbMove, ChecksumCatchesARowTheTargetChanged) {
  Company source(fixture::Options{.first_day = "20260101", .collation = kUtf8});
  ASSERT_EQ(source.SetupError(), "");
  fixture::Sql(source, fixture::seed::Person("00000001", "Łukasz"));
  Company target(fixture::Options{.collation = kCiAs});  // empty, base calendar too
  ASSERT_EQ(target.SetupError(), "");
  ProcResult r = Copy(source, target.DbFile());
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(Contains(r.err,
                       "note: the target's collation Latin1_General_CI_AS is not the source's "
                       "Latin1_General_100_BIN2_UTF8"))
      << r.err;
  EXPECT_TRUE(Contains(r.err, "table ABC_1.Qxs300Pnr differs: source 1 rows")) << r.err;
  EXPECT_FALSE(Contains(r.err, "Qxs133Bak differs")) << r.err;
  EXPECT_TRUE(Contains(r.out, "TABLES DIFFER")) << r.out;
}

}  // namespace
