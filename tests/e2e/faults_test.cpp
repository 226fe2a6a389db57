// Faults around a run: a damaged schema, rows the database refuses, a database planex may not
// write, another writer holding the lock, and runs killed at random points. planex runs as a
// process against the embedded database with the clock pinned at 8 December 2026; rows are read
// back through ODBC. Whatever happens, planex must log what failed, go on with the next step, end
// with status 0 and never hang.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/helpers.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using fixture::Ended;
using fixture::Key;
using fixture::Rows;
using fixture::StartPlanex;
using fixture::WaitPlanex;

// The days after 8 December 2026 that a calendar with Mondays and Thursdays in its week model
// (weekday numbers 2 and 5 under DATEFIRST 7) gets up to the end of the year.
const fixture::Strings kDays = fixture::DayKeys({10, 14, 17, 21, 24, 28, 31});

// The cycle day of a December day in a 7-day cycle that starts on 1 December with day 1.
int CycleDay(const std::string& day) {
  return (std::stoi(day.substr(6, 2)) - 1) % 7 + 1;
}

std::string Pnr(int p) {
  return "P" + std::to_string(p);
}

// A small company as a T-SQL script: a system calendar S1 and a client calendar K1, both working
// Mondays and Thursdays, a group G1 with a 7-day plan, and persons P1..Pn on K1 and G1.
std::string SeedScript(int persons) {
  namespace seed = fixture::seed;
  std::string s;
  auto add = [&](const std::string& statement) { s += statement + "\nGO\n"; };
  add(seed::Calendar("S1", true));
  add(seed::Calendar("K1", false));
  for (const char* kal : {"S1", "K1"})
    for (int weekday : {2, 5}) add(seed::WeekDay(kal, weekday, "AT"));
  add(seed::Group("G1", 7));
  for (int d = 1; d <= 7; ++d) add(seed::Plan("G1", d, "A" + std::to_string(d), "V" + std::to_string(d)));
  for (int p = 1; p <= persons; ++p) {
    const std::string pnr = Pnr(p);
    add(seed::Person(pnr, "Person " + pnr));
    add(seed::PersonRow(pnr, "K1", "AK", "AB"));
    add(seed::Assignment({.pnr = pnr, .agr = "G1", .sdt = "20261201"}));
  }
  return s;
}

// The tables planex writes, with the statement that counts their rows.
const std::vector<std::pair<std::string, std::string>> kWritten = {
    {"Bak", "QXSYSTEM.Qxs133Bak"}, {"Kal", "QXSYSTEM.Qxs133Kal"}, {"Ka2", "ABC_1.Qxs133Ka2"},
    {"Tag", "ABC_1.Qxs327Tag"},    {"Ztg", "ABC_1.Qxs329Ztg"},    {"Urv", "ABC_1.Qxs332Urv"},
};
using Counts = std::map<std::string, int>;

// The run log without its two opening lines (the date and the schema).
std::string Body(const std::string& log) {
  std::istringstream in(log);
  std::string out;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Datum: ", 0) == 0 || line.rfind("Aktuelles Schema: ", 0) == 0) continue;
    out += line + "\n";
  }
  return out;
}

int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

// Rows of every written table of a database file; -1 for a table that does not exist.
Counts CountRows(const std::string& db) {
  Counts counts;
  for (const auto& [code, table] : kWritten) {
    const fixture::Answer a = fixture::QueryFile(db, "SELECT COUNT(*) FROM " + table);
    counts[code] = a.state.empty() && a.rows.size() == 1 ? std::stoi(a.rows[0][0]) : -1;
  }
  return counts;
}

// A company seeded once through planex-db, so that no connection is left on its database: each
// case runs planex on a copy of it.
class Shop {
 public:
  explicit Shop(int persons, const std::string& first_day = "20261201", const std::string& more = "")
      // A binary file: the sqlite3 shell that damages it knows none of the driver's collations.
      : co(fixture::Options{.first_day = first_day, .collation = "Latin1_General_100_BIN2_UTF8"}) {
    co.WriteSettings();
    Script(co.DbFile(), SeedScript(persons) + more);
    EXPECT_FALSE(fs::exists(co.DbFile() + "-wal"));
  }

  // Copies the seeded database to `name` in the company's folder and points the company's data
  // source at the copy, with extra settings.
  std::string Copy(const std::string& name, const std::string& dsn_extra = "") {
    const std::string db = co.Dir() + "/" + name;
    fs::copy_file(co.DbFile(), db, fs::copy_options::overwrite_existing);
    PointDsn(db, dsn_extra);
    return db;
  }

  void PointDsn(const std::string& db, const std::string& extra = "") {
    ASSERT_TRUE(fixture::WriteText(co.Dir() + "/odbc.ini", "[PLANEX_TEST]\nDriver = " + fixture::BuildDir() +
                                                               "/libtsqlite.so\nDatabase = " + db +
                                                               "\nDateFirst = 7\n" + extra));
  }

  void Script(const std::string& db, const std::string& tsql) {
    fixture::ProcResult r =
        fixture::RunWithInput(co.Dir(), {fixture::BuildDir() + "/planex-db", "--db", db, "sql", "-"}, tsql);
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  }

  // Runs SQL on a database file with the sqlite3 shell, around the embedded driver: with foreign
  // keys off a table that other tables refer to can be removed, as on a damaged installation.
  void Sqlite(const std::string& db, const std::string& sql) {
    fixture::ProcResult r = fixture::Run(co.Dir(), {"sqlite3", db, "PRAGMA foreign_keys=OFF; " + sql});
    ASSERT_EQ(r.exit_code, 0) << sql << "\n" << r.out << r.err;
  }

  fixture::Company co;
};

using Faults = fixture::DatabaseTest;

// ---------------------------------------------------------------------------------------------
// A damaged schema or a refusing table stops only the steps that need it.

// The log texts of the persons P1..Pn of the company above: `first` once per person, then
// `each` for every day of the person.
using PersonLines = std::function<std::string(const std::string& pnr)>;
using DayLines = std::function<std::string(const std::string& pnr, const std::string& day)>;
std::string PerPerson(int persons, const PersonLines& first, const DayLines& each = nullptr) {
  std::string out;
  for (int p = 1; p <= persons; ++p) {
    if (first) out += first(Pnr(p));
    for (const auto& day : kDays) out += each ? each(Pnr(p), day) : "";
  }
  return out;
}
std::string EveryDay(int persons, const DayLines& each) {
  return PerPerson(persons, nullptr, each);
}
std::string Repeat(int n, const std::string& text) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}

std::string NoAssignment(const std::string& code, const std::string& pnr, const std::string& day) {
  return "Error: Zuordnung ermitteln. " + code + "! Person: " + pnr + "! Tag: " + day + "!\n" +
         "Error: Azt + Vra ermitteln. 100! Person: " + pnr + "! Tag: " + day + "!\nZtgTag: 0!\nZtgAgr: !\n";
}

std::string ZtgLookupFailed(const std::string& pnr, const std::string& day) {
  return "Error: Ztgsatz ermitteln -1! Person: " + pnr + "! Tag: " + day + "!\n";
}

TEST_F(Faults, DamagedSchemaIsLoggedAndTheOtherStepsStillRun) {
  constexpr int kPersons = 2;
  const Counts full = {{"Bak", 32}, {"Kal", 7}, {"Ka2", 7}, {"Tag", 14}, {"Ztg", 14}, {"Urv", 2}};
  auto with = [&](std::map<std::string, int> changes) {
    Counts c = full;
    for (const auto& [k, v] : changes) c[k] = v;
    return c;
  };
  const std::string no_persons = "Error: Nächste Person ermitteln. RC:-1\n";
  auto missing = [](const std::string& table) {
    return "Error: Schema ABC_1 unvollständig! Es fehlt: ABC_1." + table + "\n";
  };

  struct Case {
    const char* name;
    std::string sqlite;  // the damage, done on the file
    std::string tsql;    // or through the driver
    std::string log;
    Counts rows;               // empty: as before the run
    const char* reasons = "";  // native error of each of the report's first error lines; "-": none
  };
  const Case cases[] = {
      {"system calendar master missing", R"(DROP TABLE "QXSYSTEM.Qxs135Muw")", "",
       "Error: KalNum Cursor Open. RC:-1\nError: Nächste KalNum ermitteln. RC:-1\n", with({{"Kal", 0}}), "208 -"},
      {"system calendar master without status", R"(ALTER TABLE "QXSYSTEM.Qxs135Muw" DROP COLUMN MuwSta)", "",
       "Error: KalNum Cursor Open. RC:-1\nError: Nächste KalNum ermitteln. RC:-1\n", with({{"Kal", 0}}), "207 -"},
      {"system calendar days missing", R"(DROP TABLE "QXSYSTEM.Qxs133Kal")", "",
       "Error: Letzten Kal-Tag ermitteln. RC:-1\nError: Nächste KalNum ermitteln. RC:-1\n", with({{"Kal", -1}}),
       "208 -"},
      {"system calendar days without KalGwt", R"(ALTER TABLE "QXSYSTEM.Qxs133Kal" DROP COLUMN KalGwt)", "",
       Repeat(7, "Error:Kal-Tag einfügen. RC:-1\n"), with({{"Kal", 0}}), "207 207 207 207 207 207 207"},
      // The persons' calendar gets no days, so they get only their leave years.
      {"client calendar days without Ka2Dat", R"(ALTER TABLE "ABC_1.Qxs133Ka2" DROP COLUMN Ka2Dat)", "",
       Repeat(7, "Error:Ka2-Tag einfügen. RC:-1\n"), with({{"Ka2", 0}, {"Tag", 0}, {"Ztg", 0}}),
       "207 207 207 207 207 207 207"},
      // The base calendar stops at its first refused day; no calendar gets days beyond it.
      {"base calendar without BakYow", R"(ALTER TABLE "QXSYSTEM.Qxs133Bak" DROP COLUMN BakYow)", "",
       "Error: Bak_NewDay_Ins RC:-1\nError: Bak_NxtDay_Init RC:100\n",
       with({{"Bak", 1}, {"Kal", 0}, {"Ka2", 0}, {"Tag", 0}, {"Ztg", 0}}), "207 -"},
      // A day cursor that did not open: the line of its first fetch gives the open's reason.
      {"base calendar missing", R"(DROP TABLE "QXSYSTEM.Qxs133Bak")", "",
       "Error: Letzten BAK-Tag ermitteln. RC:-1\nError: Bak_NxtDay_Init RC:-1\n"
       "Error: Nächste KalSatz ermitteln. RC:-1\nError: Nächste Ka2Satz ermitteln. RC:-1\n",
       with({{"Bak", -1}, {"Kal", 0}, {"Ka2", 0}, {"Tag", 0}, {"Ztg", 0}}), "208 208 208 208"},
      {"calendar days missing", R"(DROP TABLE "QXSYSTEM.Qxs133Kal"; DROP TABLE "ABC_1.Qxs133Ka2")", "",
       "Error: Letzten Kal-Tag ermitteln. RC:-1\nError: Nächste KalNum ermitteln. RC:-1\n"
       "Error: Letzten Ka2-Tag ermitteln. RC:-1\nError: Nächste Ka2Num ermitteln. RC:-1\n" +
           PerPerson(kPersons,
                     [](const std::string& p) { return "Error: Nächsten Tag ermitteln. RC:-1Person: " + p + "\n"; }),
       with({{"Kal", -1}, {"Ka2", -1}, {"Tag", 0}, {"Ztg", 0}}), "208 - 208 - 208 208"},
      // A client table every run needs that is missing is a refused start: nothing is written.
      {"persons missing", R"(DROP TABLE "ABC_1.Qxs300Pnr")", "", missing("Qxs300Pnr"), {}, "-"},
      {"persons without names", R"(ALTER TABLE "ABC_1.Qxs300Pnr" DROP COLUMN PnrNam)", "", no_persons,
       with({{"Tag", 0}, {"Ztg", 0}, {"Urv", 0}}), "207"},
      {"person assignments missing", R"(DROP TABLE "ABC_1.Qxs310Bsv")", "", missing("Qxs310Bsv"), {}, "-"},
      {"day records missing", R"(DROP TABLE "ABC_1.Qxs327Tag")", "", missing("Qxs327Tag"), {}, "-"},
      {"day records without TagEnd", R"(ALTER TABLE "ABC_1.Qxs327Tag" DROP COLUMN TagEnd)", "",
       EveryDay(kPersons,
                [](const std::string& p, const std::string& d) {
                  return "Error: Tagsatz einfügen -1! Person: " + p + "! Tag: " + d + "\n" + NoAssignment("100", p, d);
                }),
       with({{"Tag", 0}}), "207 - - 207 - - 207 - - 207"},
      {"group assignments missing", R"(DROP TABLE "ABC_1.Qxs311Zuo")", "",
       EveryDay(kPersons, [](const std::string& p, const std::string& d) { return NoAssignment("-1", p, d); }), full,
       "208 - 208 - 208 - 208 - 208 -"},
      // P2's existing record of 10 December keeps the group and cycle day it has: a refused
      // assignment query empties nothing, and the plan of that group and day is found.
      {"groups missing", R"(DROP TABLE "ABC_1.Qxs160Agr")",
       "INSERT INTO ABC_1.Qxs329Ztg (ZtgPnr, ZtgVon, ZtgAgr, ZtgTag, ZtgSta) VALUES ('P2', " + Key("20261210") +
           ", 'G1', 3, 1)\n",
       EveryDay(kPersons,
                [](const std::string& p, const std::string& d) -> std::string {
                  if (p == "P2" && d == "20261210")
                    return "Error: Zuordnung ermitteln. -1! Person: P2! Tag: 20261210!\n";
                  return NoAssignment("-1", p, d);
                }),
       full, "208 - 208 - 208 - 208 - 208 -"},
      {"week plans without WplVra", R"(ALTER TABLE "ABC_1.Qxs161Wpl" DROP COLUMN WplVra)", "",
       EveryDay(kPersons,
                [](const std::string& p, const std::string& d) {
                  return "Error: Azt + Vra ermitteln. -1! Person: " + p + "! Tag: " + d +
                         "!\nZtgTag: " + std::to_string(CycleDay(d)) + "!\nZtgAgr: G1!\n";
                }),
       full, "207 207 207 207 207 207 207 207 207 207"},
      {"schedule-assignment records missing", R"(DROP TABLE "ABC_1.Qxs329Ztg")", "", missing("Qxs329Ztg"), {}, "-"},
      // The lookup of the existing record fails: the step ends for the day, with a line.
      {"schedule-assignment records without ZtgBsd", R"(ALTER TABLE "ABC_1.Qxs329Ztg" DROP COLUMN ZtgBsd)", "",
       EveryDay(kPersons, ZtgLookupFailed), with({{"Ztg", 0}}), "207 207 207 207 207 207 207 207 207 207"},
      // A rule refuses cycle day 3 (every Thursday): new records are refused, and so is the
      // rewrite of P2's existing one.
      {"schedule-assignment records refused", "",
       "DROP TABLE ABC_1.Qxs329Ztg\nGO\n"
       "CREATE TABLE ABC_1.Qxs329Ztg (ZtgPnr varchar(8) NOT NULL, ZtgVon datetime NOT NULL, ZtgAkr varchar(5) NULL, "
       "ZtgAbt varchar(15) NULL, ZtgKst varchar(30) NULL, ZtgKtr varchar(6) NULL, ZtgKrt varchar(4) NULL, "
       "ZtgAgr varchar(5) NULL, ZtgTag int NULL, ZtgBsd varchar(5) NULL, ZtgVra varchar(5) NULL, "
       "ZtgAzt varchar(5) NULL, ZtgTtp varchar(3) NULL, ZtgDat datetime NULL, ZtgSta smallint NOT NULL DEFAULT 1, "
       "ZtgPnm varchar(50) NULL, CONSTRAINT PK_Qxs329Ztg PRIMARY KEY (ZtgPnr, ZtgVon), "
       "CONSTRAINT CK_Qxs329Ztg_Tag CHECK (ZtgTag <> 3))\nGO\n"
       "INSERT INTO ABC_1.Qxs329Ztg (ZtgPnr, ZtgVon, ZtgTag, ZtgSta) VALUES ('P2', " +
           Key("20261210") + ", 0, 1)\n",
       EveryDay(kPersons,
                [](const std::string& p, const std::string& d) -> std::string {
                  if (CycleDay(d) != 3) return "";
                  const bool rewrite = p == "P2" && d == "20261210";
                  return std::string(rewrite ? "Error: Ztgsatz updaten -1! " : "Error: Ztgsatz einfügen -1! ") +
                         "Person: " + p + "! Tag: " + d + "!\n";
                }),
       with({{"Ztg", 7}}), "547 547 547 547 547 547 547 547"},
      {"leave years missing", R"(DROP TABLE "ABC_1.Qxs332Urv")", "", missing("Qxs332Urv"), {}, "-"},
  };
  Shop shop(kPersons);
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string db = shop.Copy("case" + std::to_string(++number) + ".db");
    if (!c.sqlite.empty()) shop.Sqlite(db, c.sqlite);
    if (!c.tsql.empty()) shop.Script(db, c.tsql);
    const Counts before = CountRows(db);
    const std::string report = shop.co.Dir() + "/report.json";
    const fixture::ProcResult r =
        shop.co.RunPlanex({"0", "2026", "planex.ini", "0", "0"}, fixture::kNow, {"PLANEX_REPORT=" + report});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(Body(shop.co.Log()), c.log);
    EXPECT_EQ(CountRows(db), c.rows.empty() ? before : c.rows);
    // Each error line carries the reason of the statement it reports, and only that.
    std::string reasons;
    const auto doc = nlohmann::json::parse(fixture::ReadText(report));
    for (const auto& line : doc["first_error_lines"]) {
      reasons += (reasons.empty() ? "" : " ") + (line["native"].is_null() ? "-" : line["native"].dump());
    }
    EXPECT_EQ(reasons, c.reasons);
  }
}

// A company with one person where every step of a run to the end of 2026 has something to write
// but the base calendar: it holds 31 December 2026 only, which the system calendar gets, and the
// client calendar has its days already, so the person gets day records, schedule-assignment
// records and a leave year.
std::string ClientCalendarDays() {
  std::string days;
  for (const auto& day : kDays) days += fixture::seed::Day("K1", day) + "\nGO\n";
  return days;
}
std::unique_ptr<Shop> WritingShop() {
  return std::make_unique<Shop>(1, "20270101", ClientCalendarDays());
}

// The run log of a run that could not open the database.
constexpr char kConnectFailed[] = "Fehler(DB-Connect)! RC:-1 Name:planex Pwd:**** Net:PLANEX_TEST \n";

// ---------------------------------------------------------------------------------------------
// A database planex may not write.

TEST_F(Faults, DatabaseThatCannotBeWrittenIsLoggedAndLeftAsItWas) {
  // File permissions do not stop root; a run as root gives up root for planex instead.
  const uid_t as_user = geteuid() == 0 ? 65534 : 0;
  const fs::perms read_only = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  struct Case {
    const char* name;
    bool readonly_folder;  // else the file itself is read-only
  };
  auto shop = WritingShop();
  fixture::Company& co = shop->co;
  if (as_user != 0) {
    // The test opens the company's folders to that user itself; the build must be open already.
    if (const std::string why = fixture::UnreachableFor(as_user, "/"); !why.empty()) GTEST_SKIP() << why;
  }
  int number = 0;
  for (const Case& c : {Case{"read-only file", false}, Case{"read-only folder", true}}) {
    SCOPED_TRACE(c.name);
    // A copy of the database in a folder of its own.
    const std::string folder = co.Dir() + "/data" + std::to_string(++number);
    fs::create_directory(folder);
    const std::string db = folder + "/company.db";
    fs::copy_file(co.DbFile(), db);
    shop->PointDsn(db);
    const std::string before = fixture::Run(co.Dir(), {"sqlite3", db, ".dump"}).out;
    ASSERT_NE(before.find("INSERT INTO"), std::string::npos);
    ASSERT_FALSE(fs::exists(db + "-wal"));

    // The run log stays writable, and so does the database's folder unless the case closes it.
    fs::permissions(co.Dir(), fs::perms::all);
    fs::permissions(folder, fs::perms::all);
    fs::permissions(co.Dir() + "/planex.ini", read_only);
    fs::permissions(c.readonly_folder ? folder : db,
                    c.readonly_folder
                        ? read_only | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec
                        : read_only);
    Ended e = WaitPlanex(StartPlanex(co, "2026", "batched", as_user));
    fs::permissions(folder, fs::perms::owner_all);
    fs::permissions(db, fs::perms::owner_read | fs::perms::owner_write);
    if (e.status == 125) GTEST_SKIP() << "cannot give up root for planex";
    if (e.status == 124) GTEST_SKIP() << "the build folder is closed to an unprivileged user";
    EXPECT_EQ(e.status, 0) << e.output;
    // A file its user may not write, or one in a folder it may not write, is opened read-only:
    // a refused start that names the tables, and nothing is left beside the file.
    EXPECT_EQ(Body(co.Log()),
              "Error: Schema ABC_1 nicht beschreibbar! ABC_1.Qxs327Tag (INSERT), ABC_1.Qxs329Ztg (INSERT), "
              "ABC_1.Qxs329Ztg (UPDATE), ABC_1.Qxs332Urv (INSERT)\n");
    EXPECT_FALSE(fs::exists(db + "-wal"));
    EXPECT_FALSE(fs::exists(db + "-shm"));
    EXPECT_EQ(fixture::Run(co.Dir(), {"sqlite3", db, ".dump"}).out, before);
  }
}

// A mistyped Database path in the DSN is a failed connection, not a new empty database.
TEST_F(Faults, MissingDatabaseFileIsAConnectFailureAndNothingIsCreated) {
  auto shop = WritingShop();
  fixture::Company& co = shop->co;
  const std::string db = co.Dir() + "/mistyped.db";
  shop->PointDsn(db);
  Ended e = WaitPlanex(StartPlanex(co, "2026", "batched"));
  EXPECT_EQ(e.status, 0) << e.output;
  EXPECT_EQ(Body(co.Log()), kConnectFailed);
  EXPECT_FALSE(fs::exists(db));
}

TEST_F(Faults, DamagedDatabaseFileIsLoggedWithoutACrash) {
  struct Case {
    const char* name;
    bool truncate;  // else the first pages are overwritten
  };
  auto shop = WritingShop();
  fixture::Company& co = shop->co;
  int number = 0;
  for (const Case& c : {Case{"overwritten", false}, Case{"cut in half", true}}) {
    SCOPED_TRACE(c.name);
    const std::string db = shop->Copy("damaged" + std::to_string(++number) + ".db");
    const auto size = fs::file_size(db);
    if (c.truncate) {
      fs::resize_file(db, size / 2);
    } else {
      std::string noise(8192, '\0');
      std::mt19937 random(number);
      for (char& ch : noise) ch = static_cast<char>(random());
      std::string text = fixture::ReadText(db);
      text.replace(0, noise.size(), noise);
      ASSERT_TRUE(fixture::WriteText(db, text));
    }
    Ended e = WaitPlanex(StartPlanex(co, "2026", "batched"));
    EXPECT_EQ(e.status, 0) << e.output;
    EXPECT_EQ(e.output, "");
    // Whether the damage shows at the connection or at the statements depends on where it lies.
    const std::string body = Body(co.Log());
    EXPECT_TRUE(body.rfind("Fehler(DB-Connect)! RC:-1 ", 0) == 0 || body.rfind("Error", 0) == 0) << body;
  }
}

// ---------------------------------------------------------------------------------------------
// Another writer holding the database.

// The sqlite3 shell on a database file, holding whatever lock the given statements take until it
// is destroyed.
class LockHolder {
 public:
  LockHolder(const std::string& db, const std::string& statements) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(out[1], 2);
      for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
      execlp("sqlite3", "sqlite3", db.c_str(), nullptr);
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    // With .bail on the shell ends at the first failing statement; else it answers once they ran.
    const std::string script = ".bail on\n" + statements + "\n.print locked\n";
    locked_ = write(to_, script.data(), script.size()) == static_cast<ssize_t>(script.size());
    std::string answer;
    char c;
    while (locked_ && answer.find("locked\n") == std::string::npos && read(out[0], &c, 1) == 1) answer += c;
    close(out[0]);
    locked_ = locked_ && answer.find("locked\n") != std::string::npos;
    if (!locked_) ADD_FAILURE() << "the lock was not taken: " << answer;
  }
  ~LockHolder() {
    if (to_ >= 0) close(to_);  // end of input: the shell rolls back and ends
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;
  bool Locked() const { return locked_; }

 private:
  pid_t pid_ = -1;
  int to_ = -1;
  bool locked_ = false;
};

TEST_F(Faults, LockedDatabaseStopsTheRunAfterItsStatementsAreRefusedAgainAndAgain) {
  constexpr int kLockTimeoutMs = 100;
  // Statements refused in a row before the run stops: the calendar day, the batched write of the
  // person's days and its two repetitions, the first day-by-day write. Each is tried four times.
  constexpr int kRefused = 5;
  struct Case {
    const char* name;
    const char* statements;
    bool writes_refused;  // else the connection itself fails
  };
  const Case cases[] = {
      // In WAL mode a writer keeps out only other writers: planex reads, and every write waits.
      {"another writer", "BEGIN IMMEDIATE;", true},
      {"exclusive lock", "PRAGMA locking_mode=EXCLUSIVE;\nBEGIN EXCLUSIVE;", false},
  };
  auto shop = WritingShop();
  fixture::Company& co = shop->co;
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string db = shop->Copy("locked" + std::to_string(++number) + ".db",
                                      "LockTimeout = " + std::to_string(kLockTimeoutMs) + "\n");
    LockHolder lock(db, c.statements);
    ASSERT_TRUE(lock.Locked());

    const auto wait = std::chrono::milliseconds(kLockTimeoutMs);
    if (c.writes_refused) {
      // The driver reports the lock as SQL Server reports a lock timeout.
      const auto at = Clock::now();
      const fixture::Answer f =
          fixture::QueryFile(db, "INSERT INTO ABC_1.Qxs332Urv (UrvPnr, UrvJhr) VALUES ('P1', 2030)",
                             ";LockTimeout=" + std::to_string(kLockTimeoutMs));
      const auto took = Clock::now() - at;
      EXPECT_EQ(f.state, "HYT00");
      EXPECT_EQ(f.native, 1222);
      EXPECT_NE(f.message.find("Lock request time out period exceeded."), std::string::npos) << f.message;
      EXPECT_GE(took, wait);
    }

    // planex's own lock wait (1 s) holds for its session, whatever the data source's.
    const auto at = Clock::now();
    const fixture::ProcResult r = co.RunPlanex({"0", "2026", "planex.ini", "0", "0"}, fixture::kNow,
                                               {"PLANEX_PERSON_STEP=batched", "PLANEX_LOCK_TIMEOUT=1"});
    const auto took = Clock::now() - at;
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const std::string body = Body(co.Log());
    if (c.writes_refused) {
      EXPECT_EQ(Occurrences(body, "Error:Kal-Tag einfügen. RC:-1\n"), 1) << body;
      EXPECT_EQ(Occurrences(body, "Error: Tagsatz einfügen -1! Person: P1! Tag: 20261210\n"), 1) << body;
      EXPECT_TRUE(body.ends_with("Error: Abbruch, Datenbank blockiert (1222)! Person: P1!\n")) << body;
      // The calendar day's and the first day-by-day write's lines, then the stop: the fifth
      // refused statement stops the run, not a later one.
      EXPECT_EQ(Occurrences(body, "Error"), 3) << body;
      EXPECT_GE(took, kRefused * 4 * std::chrono::seconds(1));
      // Four lock waits per statement, their pauses (at most 0.7 s), the repetitions' and a
      // sanitizer build's start-up.
      EXPECT_LT(took, kRefused * 4 * std::chrono::seconds(1) + kRefused * std::chrono::milliseconds(700) +
                          std::chrono::seconds(10));
    } else {
      EXPECT_EQ(body, kConnectFailed);
      EXPECT_LT(took, std::chrono::seconds(10));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// A busy server: lock waits, deadlocks, triggers, NOCOUNT, a full disk. Each fault meets the
// person run of both steps (the calendars are written before); the run must end in bounded
// time, name its reason in the report, and leave the rows of a quiet run, at once or after a
// run once the fault is gone.

struct BusyCase {
  const char* name;
  const char* dsn;      // keys of the data source of the run with the fault
  const char* lock;     // statements of another session that holds its lock through that run
  const char* outcome;  // the report's outcome; nullptr: ok or errors
  int native;           // named by the report's error lines or refusals; 0: none
  const char* retried;  // the report's retries of this reason must be 1 or more
  bool same_log;        // the run log of the quiet run
  bool counts_unknown;  // the report gives null for the rows of the person tables
  // Keys for the batched step, whose reads fall elsewhere; nullptr: dsn.
  const char* dsn_batched = nullptr;
};

class BusyServer : public Faults, public ::testing::WithParamInterface<const char*> {};

TEST_P(BusyServer, RunEndsNamesItsReasonAndLeavesTheRowsOfAQuietRun) {
  const char* step = GetParam();
  const BusyCase cases[] = {
      {"DeadlockVictim", "FaultWrites = 2:1205\n", nullptr, "ok", 0, "deadlock", true, false},
      {"LockWaitRunsOut", "FaultWrites = 2:1222\n", nullptr, "ok", 0, "lock_timeout", true, false},
      {"ErrorBehindRowCount", "FaultWrites = 2:50000:after\n", nullptr, nullptr, 50000, nullptr, false, false},
      {"TriggerCounts", "TriggerCounts = Yes\n", nullptr, "ok", 0, nullptr, true, false},
      {"NoCount", "NoCount = Yes\n", nullptr, "ok", 0, nullptr, true, true},
      {"HeldWriteLock", "", "BEGIN IMMEDIATE;", "blocked", 1222, "lock_timeout", false, false},
      {"DiskFull", "FaultWrites = 2:1105\n", nullptr, "blocked", 1105, nullptr, false, false},
      // A read refused by locks: the person cursor's open, its fetch of the third person, a day
      // read of the second (the day cursor's, the batched range read's), and the person cursor's
      // fetch refused at every retry, which ends the range with its error line.
      {"DeadlockOnPersonCursorOpen", "FaultReads = 27:1205\n", nullptr, "ok", 0, "deadlock", true, false},
      {"DeadlockOnPersonRead", "FaultReads = 172:1205\n", nullptr, "ok", 0, "deadlock", true, false,
       "FaultReads = 82:1205\n"},
      {"DeadlockOnDayRead", "FaultReads = 115:1205\n", nullptr, "ok", 0, "deadlock", true, false,
       "FaultReads = 33:1205\n"},
      {"PersonReadRefusedAtEveryRetry", "FaultReads = 100:1222,102:1222,104:1222,106:1222\n", nullptr, nullptr, 1222,
       "lock_timeout", false, false, "FaultReads = 55:1222,57:1222,59:1222,61:1222\n"},
  };
  Shop shop(3);
  fixture::Company& co = shop.co;
  const std::string report = co.Dir() + "/report.json";
  auto run = [&](const std::string& range) {
    return co.RunPlanex(
        {"0", "2026", "planex.ini", range, range}, fixture::kNow,
        {std::string("PLANEX_PERSON_STEP=") + step, "PLANEX_REPORT=" + report, "PLANEX_LOCK_TIMEOUT=1"});
  };
  // The calendars, then a quiet person run on a copy.
  shop.PointDsn(co.DbFile());
  ASSERT_EQ(run("ZZZZZZZZ").exit_code, 0);
  const std::string quiet = shop.Copy("quiet.db");
  ASSERT_EQ(run("0").exit_code, 0);
  const Rows expected = fixture::WrittenRows(quiet);
  const std::string quiet_log = Body(co.Log());
  const auto quiet_doc = nlohmann::json::parse(fixture::ReadText(report));
  const auto quiet_rows = quiet_doc["rows"];
  ASSERT_EQ(quiet_log.find("Error"), std::string::npos) << quiet_log;
  // A quiet run counts the rows of its writes, and the batched step keeps every person.
  ASSERT_TRUE(quiet_rows["Qxs327Tag"]["added"].is_number()) << quiet_rows.dump();
  const bool batched = std::string(step) == "batched";
  if (batched) {
    EXPECT_EQ(quiet_doc["persons"]["batched"], 3) << quiet_doc["persons"].dump();
  }

  for (const BusyCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string db = shop.Copy(std::string(c.name) + ".db", batched && c.dsn_batched ? c.dsn_batched : c.dsn);
    {
      std::unique_ptr<LockHolder> lock;
      if (c.lock != nullptr) lock = std::make_unique<LockHolder>(db, c.lock);
      const auto at = Clock::now();
      ASSERT_EQ(run("0").exit_code, 0);
      EXPECT_LT(Clock::now() - at, std::chrono::seconds(120));
    }
    const auto doc = nlohmann::json::parse(fixture::ReadText(report));
    if (c.outcome != nullptr) {
      EXPECT_EQ(doc["outcome"], c.outcome);
    }
    if (c.native != 0) {
      std::set<int> named;
      for (const auto& line : doc["first_error_lines"]) {
        if (!line["native"].is_null()) named.insert(line["native"].get<int>());
      }
      for (const auto& refusal : doc["persons"]["refusals"]) named.insert(refusal["native"].get<int>());
      EXPECT_EQ(named.count(c.native), 1u) << doc.dump(2);
    }
    if (c.retried != nullptr) {
      EXPECT_GE(doc["retries"][c.retried].get<int>(), 1) << doc["retries"].dump();
    }
    if (c.same_log) {
      EXPECT_EQ(Body(co.Log()), quiet_log);
      // Each person once: a person cursor opened again goes on after the persons done.
      EXPECT_EQ(doc["persons"]["read"], quiet_doc["persons"]["read"]);
    }
    // A refused write counts no rows; it does not make a table's count unknown.
    for (const auto& table : doc["rows"].items()) {
      if (!c.counts_unknown) {
        EXPECT_FALSE(table.value()["added"].is_null()) << table.key();
      }
    }
    for (const char* table : {"Qxs327Tag", "Qxs329Ztg", "Qxs332Urv"}) {
      if (!c.same_log) break;  // a run that failed a write wrote less
      EXPECT_EQ(doc["rows"][table]["added"], c.counts_unknown ? nlohmann::json() : quiet_rows[table]["added"]) << table;
    }
    // Once the fault is gone, a run leaves the rows of the quiet run.
    shop.PointDsn(db);
    ASSERT_EQ(run("0").exit_code, 0);
    EXPECT_EQ(fixture::WrittenRows(db), expected);
    EXPECT_EQ(co.Log().find("Error"), std::string::npos) << co.Log();
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, BusyServer, ::testing::Values("daily", "batched"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// ---------------------------------------------------------------------------------------------
// Runs killed at random points.

std::string Join(const std::vector<std::string>& row) {
  std::string out;
  for (const auto& v : row) out += (out.empty() ? "" : "|") + v;
  return out;
}

// Each run is killed with SIGKILL after a random share of an uninterrupted run's time and then
// started again, in both person steps. Every row a killed run left must be one the uninterrupted
// run writes too (a row is written whole or not at all, and a multi-row statement all its rows or
// none), the database must be sound, and the run after it must end with exactly the rows of the
// uninterrupted run and without an error line. PLANEX_FAULT_SEED replays other kill points.
class KilledRuns : public Faults, public ::testing::WithParamInterface<const char*> {};

TEST_P(KilledRuns, EndLikeAnUninterruptedRun) {
  constexpr int kRuns = 10;
  constexpr int kPersons = 2;
  const char* step = GetParam();
  const char* seed_text = std::getenv("PLANEX_FAULT_SEED");
  const unsigned seed = seed_text ? static_cast<unsigned>(std::strtoul(seed_text, nullptr, 10)) : 20261208u;
  SCOPED_TRACE("PLANEX_FAULT_SEED=" + std::to_string(seed));

  Shop shop(kPersons);
  const std::string whole = shop.Copy("whole.db");
  const Ended reference = WaitPlanex(StartPlanex(shop.co, "2027", step));
  ASSERT_EQ(reference.status, 0) << reference.output;
  const Rows expected = fixture::WrittenRows(whole);
  const std::set<std::vector<std::string>> known(expected.begin(), expected.end());
  ASSERT_GT(expected.size(), 800u);

  std::mt19937 random(seed);
  std::uniform_int_distribution<long> share(
      0, std::chrono::duration_cast<std::chrono::microseconds>(reference.took).count());
  int killed = 0;
  for (int run = 0; run < kRuns; ++run) {
    const std::chrono::microseconds after(share(random));
    SCOPED_TRACE("run " + std::to_string(run) + " killed after " + std::to_string(after.count()) + " us");
    const std::string db = shop.Copy("killed" + std::to_string(run) + ".db");
    const fixture::Started started = StartPlanex(shop.co, "2027", step);
    std::this_thread::sleep_until(started.at + after);
    fixture::KillPlanex(started);
    if (WaitPlanex(started).status != 0) ++killed;

    // A process of the killed group may hold the file's lock for a moment longer than faketime.
    const fixture::ProcResult check =
        fixture::Run(shop.co.Dir(), {"sqlite3", "-cmd", ".timeout 5000", db, "PRAGMA integrity_check"});
    EXPECT_EQ(check.out, "ok\n") << check.err;
    const Rows left = fixture::WrittenRows(db);
    for (const auto& row : left) EXPECT_EQ(known.count(row), 1u) << Join(row);

    const Ended again = WaitPlanex(StartPlanex(shop.co, "2027", step));
    EXPECT_EQ(again.status, 0) << again.output;
    EXPECT_EQ(fixture::WrittenRows(db), expected) << left.size() << " rows were left by the killed run";
    EXPECT_EQ(shop.co.Log().find("Error"), std::string::npos) << shop.co.Log();
  }
  // A run so short that no kill landed inside it would prove nothing.
  EXPECT_GT(killed, 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, KilledRuns, ::testing::Values("daily", "batched"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
