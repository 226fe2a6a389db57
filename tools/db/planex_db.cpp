// planex-db: the operator's database tool. Installs the time-recording schema, fills a demo
// company, runs T-SQL scripts, counts rows, and copies or dumps a company, through ODBC on any
// data source (a real SQL Server included) or directly on an embedded database file.
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/schema.h"
#include "common/text.h"
#include "copy.h"
#include "dates.h"
#include "demo.h"
#include "dump.h"
#include "install.h"
#include "locations.h"
#include "roster.h"
#include "script.h"
#include "session.h"
#include "settings_source.h"
#include "tables.h"

namespace {

using namespace pxdb;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // connection, script or statement failed
constexpr int kExitUsage = 2;

const char* const kUsage =
    "Usage: planex-db CONNECTION COMMAND [OPTIONS]\n"
    "\n"
    "The operator's database tool of planex: installs the time-recording schema, fills a demo\n"
    "company, runs T-SQL scripts and counts rows.\n"
    "\n"
    "Commands:\n"
    "  init --schema NAME [--first-day YYYYMMDD] [--collation NAME]\n"
    "        install the schema (QXSYSTEM and client schema NAME) and give the base calendar\n"
    "        its first row, the day before the first day (default: 1 January of this year)\n"
    "  demo --schema NAME [--persons N] [--seed S]\n"
    "        fill a demo company into the empty client schema NAME (default 1000 persons, seed 1)\n"
    "  sql FILE|- [-v VAR=value]... [--collation NAME]\n"
    "        run a T-SQL script: batches separated by GO lines, $(VAR) replaced by its value\n"
    "  counts --schema NAME\n"
    "        print the row count of every table of the system\n"
    "  copy --schema NAME (--to-db FILE | --to-dsn DSN [--to-user USER]) [--replace]\n"
    "        copy the company (QXSYSTEM and NAME) into another database, checked table by table\n"
    "  dump --schema NAME [--out FILE]\n"
    "        write the company as a T-SQL script that recreates it in an empty database\n"
    "\n"
    "Connection, one of:\n"
    "  --db FILE [--date-first N]   an embedded database file, through the embedded driver\n"
    "                               (init records DATEFIRST 1..7, default 7; later sessions take\n"
    "                               the recorded one unless N is given)\n"
    "  --dsn DSN [--user USER] [--password-stdin]\n"
    "                               an ODBC data source; the password is the first line of\n"
    "                               standard input\n"
    "  --settings FILE              user, password, data source and client schema from a planex\n"
    "                               settings file (--schema may then be left out)\n"
    "\n"
    "Exit status: 0 success, 1 connection or statement failure, 2 wrong usage.\n"
    "Run 'planex-db COMMAND --help' for a command's details.\n";

const std::map<std::string, std::string> kCommandHelp = {
    {"init",
     "Usage: planex-db CONNECTION init --schema NAME [--first-day YYYYMMDD] [--no-seed]\n"
     "                                 [--script FILE] [--collation NAME]\n"
     "\n"
     "Installs the schema script (default %SCHEMA_SQL%)\n"
     "with $(CLIENT) replaced by NAME (upper-cased, at most 20 letters, digits or '_'). When the\n"
     "database already holds the system schema QXSYSTEM, only the client schema is installed.\n"
     "An empty base calendar then gets the day before --first-day (default: 1 January of the\n"
     "current year) with its weekday as the server numbers it, and week number and week-based\n"
     "year as planex computes them. --no-seed leaves the base calendar empty.\n"
     "--collation (with --db, for a new file only) chooses the file's collation:\n"
     "Latin1_General_CI_AS (default), Latin1_General_CS_AS or Latin1_General_100_BIN2_UTF8.\n"},
    {"demo",
     "Usage: planex-db CONNECTION demo --schema NAME [--persons N] [--seed S]\n"
     "\n"
     "Fills a demo company into the installed, empty client schema NAME: system and client\n"
     "calendars with week models, groups with 7-, 14- and 21-day cycles and their plans, N\n"
     "persons (default 1000) with assignment rows and group assignments, and some existing day,\n"
     "schedule-assignment and leave-carry-over rows. The company follows from the seed (default 1)\n"
     "and the first date of the base calendar: the same database and seed give the same rows.\n"},
    {"sql",
     "Usage: planex-db CONNECTION sql FILE|- [-v VAR=value]... [--schema NAME] [--collation NAME]\n"
     "\n"
     "Runs a T-SQL script (- reads standard input) batch by batch: a line holding only GO ends a\n"
     "batch. $(VAR) is replaced by the value given with -v; --schema NAME, or the schema of\n"
     "--settings, gives $(CLIENT). Result sets are printed as aligned tables. The first failing\n"
     "batch stops the script with its native error number and exit status 1.\n"
     "With --db, --collation makes a missing file, empty and of that collation (see init), for\n"
     "a dump (planex-db dump) to run into; an existing file keeps its own.\n"},
    {"counts",
     "Usage: planex-db CONNECTION counts --schema NAME\n"
     "\n"
     "Prints the number of rows of every table of the system schema and of the client schema\n"
     "NAME. A missing table is reported with its error, and the exit status is then 1.\n"},
    {"copy",
     "Usage: planex-db CONNECTION copy --schema NAME (--to-db FILE | --to-dsn DSN [--to-user USER])\n"
     "                                 [--replace]\n"
     "\n"
     "Copies every table of the system schema QXSYSTEM and of the client schema NAME into the\n"
     "target: an embedded database file (made when missing, with the source's collation) or an\n"
     "ODBC data source (with --to-user, its password is the next line of standard input). The\n"
     "schema is installed where the target lacks it. Rows are read in key order and written by\n"
     "multi-row inserts, committed every 20,000 rows. Afterwards every table's row count and\n"
     "checksum are compared on both sides; a difference names the table and gives status 1.\n"
     "A target table that already holds rows is refused and nothing is written. --replace deletes\n"
     "the target's rows of these tables (the system schema's too, which every client of the target\n"
     "shares) in the transaction of the first rows; it also repairs an interrupted copy.\n"},
    {"dump",
     "Usage: planex-db CONNECTION dump --schema NAME [--out FILE]\n"
     "\n"
     "Writes the company (QXSYSTEM and client schema NAME) as a T-SQL script to FILE or standard\n"
     "output: the schemas and tables where missing, then the rows in GO batches of INSERTs of at\n"
     "most 1,000 rows, text as N'...', dates in style 126. sqlcmd and planex-db sql run it.\n"},
    {"roster",
     "Usage: planex-db CONNECTION roster --schema NAME --from YYYYMMDD --to YYYYMMDD\n"
     "                                   [--persons FROM..TO] [--out FILE]\n"
     "\n"
     "Writes one self-contained HTML page (German labels) to standard output or FILE: a row per\n"
     "person with number FROM to TO (either may be left out), a column per day from --from to --to\n"
     "(at most 732 days), each cell the day's schedule-assignment record: group on its colour,\n"
     "cycle day, plan values in the tooltip, deleted records and missing records marked.\n"},
};

struct Args {
  std::string command;
  std::vector<std::string> positional;
  std::set<std::string> given;  // options seen, for the per-command check
  std::string db, dsn, user, settings, schema, first_day, script, collation;
  std::string to_db, to_dsn, to_user, out;
  bool replace = false;
  bool password_stdin = false;
  bool no_seed = false;
  int date_first = 7;
  long persons = 1000;
  unsigned long long seed = 1;
  std::map<std::string, std::string> vars;
  std::map<std::string, std::string> roster;  // --from, --to, --out, --persons FROM..TO
  bool help = false;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "planex-db: %s\nRun 'planex-db --help' for usage.\n", message.c_str());
  return kExitUsage;
}

bool ParseNumber(const std::string& text, long long min, long long max, long long* value) {
  if (text.empty() || text.size() > 18) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  long long v = std::stoll(text);
  if (v < min || v > max) return false;
  *value = v;
  return true;
}

// Returns -1 when parsing succeeded, else the exit status.
int ParseArgs(int argc, char** argv, Args* a) {
  static const std::set<std::string> kWithValue = {
      "--db",   "--dsn",    "--user", "--settings",  "--schema", "--first-day", "--date-first", "--persons",
      "--seed", "--script", "-v",     "--collation", "--to-db",  "--to-dsn",    "--to-user",    "--out"};
  static const std::set<std::string> kRosterValue = {"--from", "--to", "--out"};
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      a->help = true;
      continue;
    }
    if (arg == "--password-stdin" || arg == "--no-seed" || arg == "--replace") {
      (arg == "--no-seed" ? a->no_seed : arg == "--replace" ? a->replace : a->password_stdin) = true;
      a->given.insert(arg);
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      if (!kWithValue.count(arg) && !kRosterValue.count(arg)) return UsageError("unknown option " + arg);
      if (i + 1 >= argc) return UsageError("option " + arg + " needs a value");
      std::string value = argv[++i];
      a->given.insert(arg);
      long long n = 0;
      if (arg == "--db") a->db = value;
      if (arg == "--dsn") a->dsn = value;
      if (arg == "--user") a->user = value;
      if (arg == "--settings") a->settings = value;
      if (arg == "--schema") a->schema = value;
      if (arg == "--first-day") a->first_day = value;
      if (arg == "--script") a->script = value;
      if (arg == "--to-db") a->to_db = value;
      if (arg == "--to-dsn") a->to_dsn = value;
      if (arg == "--to-user") a->to_user = value;
      if (arg == "--out") a->out = value;
      if (arg == "--collation") {
        // A name of letters, digits and '_' only, so that it cannot add a key to the connection.
        if (value.empty() ||
            value.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_") !=
                std::string::npos) {
          return UsageError("--collation takes a collation name");
        }
        a->collation = value;
      }
      if (arg == "--date-first") {
        if (!ParseNumber(value, 1, 7, &n)) return UsageError("--date-first takes 1 to 7");
        a->date_first = static_cast<int>(n);
      }
      if (kRosterValue.count(arg)) a->roster[arg] = value;
      // roster takes a range of person numbers; demo a count.
      if (arg == "--persons" && value.find("..") != std::string::npos) {
        a->roster[arg] = value;
      } else if (arg == "--persons") {
        if (!ParseNumber(value, 0, 10000000, &n)) return UsageError("--persons takes 0 to 10000000");
        a->persons = static_cast<long>(n);
      }
      if (arg == "--seed") {
        if (!ParseNumber(value, 0, 999999999999999999LL, &n)) return UsageError("--seed takes a number");
        a->seed = static_cast<unsigned long long>(n);
      }
      if (arg == "-v") {
        size_t eq = value.find('=');
        if (eq == std::string::npos || eq == 0) return UsageError("-v takes VAR=value");
        a->vars[value.substr(0, eq)] = value.substr(eq + 1);
      }
      continue;
    }
    if (a->command.empty()) {
      a->command = arg;
    } else {
      a->positional.push_back(arg);
    }
  }
  return -1;
}

// Options that only some commands take.
int CheckOptions(const Args& a) {
  static const std::map<std::string, std::set<std::string>> kOwn = {
      {"init", {"--schema", "--first-day", "--script", "--no-seed", "--collation"}},
      {"demo", {"--schema", "--persons", "--seed"}},
      {"sql", {"--schema", "-v", "--collation"}},
      {"counts", {"--schema"}},
      {"copy", {"--schema", "--to-db", "--to-dsn", "--to-user", "--replace"}},
      {"dump", {"--schema", "--out"}},
      {"roster", {"--schema", "--from", "--to", "--persons", "--out"}},
  };
  static const std::set<std::string> kConnection = {"--db",       "--dsn",        "--user",
                                                    "--settings", "--date-first", "--password-stdin"};
  const std::set<std::string>& own = kOwn.at(a.command);
  for (const std::string& opt : a.given) {
    if (!kConnection.count(opt) && !own.count(opt)) {
      return UsageError("option " + opt + " does not belong to " + a.command);
    }
  }
  int ways = !a.db.empty() + !a.dsn.empty() + !a.settings.empty();
  if (ways != 1) return UsageError("give exactly one of --db, --dsn and --settings");
  if (a.given.count("--collation") && a.db.empty()) {
    return UsageError("--collation applies to --db only; a server's database has its own");
  }
  if (a.given.count("--date-first") && a.db.empty()) {
    return UsageError("--date-first applies to --db only; a data source has its own setting");
  }
  if ((a.given.count("--user") || a.password_stdin) && a.dsn.empty()) {
    return UsageError("--user and --password-stdin go with --dsn");
  }
  if (a.command == "copy" && a.to_db.empty() == a.to_dsn.empty()) {
    return UsageError("copy takes exactly one target: --to-db FILE or --to-dsn DSN");
  }
  if (a.given.count("--to-user") && a.to_dsn.empty()) return UsageError("--to-user goes with --to-dsn");
  size_t want = a.command == "sql" ? 1 : 0;
  if (a.positional.size() != want) {
    return UsageError(a.command == "sql" ? "sql takes one script file, or - for standard input"
                                         : a.command + " takes no further arguments");
  }
  return -1;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Opens the connection the options name. *schema receives the settings file's client schema
// when the command gave none.
int Connect(const Args& a, const Locations& where, bool create_db, Session* session, std::string* schema) {
  DbError e;
  if (!a.db.empty()) {
    if (!create_db && !FileExists(a.db)) {
      std::fprintf(stderr, "planex-db: database file %s does not exist (create it with init)\n", a.db.c_str());
      return kExitFailure;
    }
    // Only init, and sql when told the new file's collation, create the file.
    const std::string cs = EmbeddedConnectionString(
        where.tsqlite_lib, a.db, a.given.count("--date-first") ? a.date_first : 0, create_db, a.collation);
    if (!session->DriverConnect(cs, &e)) {
      std::fprintf(stderr, "planex-db: cannot open %s: %s\n", a.db.c_str(), FormatError(e).c_str());
      return kExitFailure;
    }
    return kExitOk;
  }
  std::string dsn = a.dsn, user = a.user, password;
  if (!a.settings.empty()) {
    SettingsValues s;
    std::string why;
    if (!ReadSettings(a.settings, &s, &why)) {
      std::fprintf(stderr, "planex-db: %s\n", why.c_str());
      return kExitFailure;
    }
    dsn = s.dsn;
    user = s.login;
    password = s.password;
    if (schema->empty()) *schema = s.schema;
  } else if (a.password_stdin) {
    if (!std::getline(std::cin, password)) password.clear();
    if (!password.empty() && password.back() == '\r') password.pop_back();
  }
  if (!session->Connect(dsn, user, password, &e)) {
    std::fprintf(stderr, "planex-db: cannot connect to data source %s as %s: %s\n", dsn.c_str(),
                 user.empty() ? "(no user)" : user.c_str(), FormatError(e).c_str());
    return kExitFailure;
  }
  return kExitOk;
}

int CheckSchema(std::string* schema) {
  if (schema->empty()) return UsageError("--schema NAME is required");
  if (!Schema_Valid(*schema)) {
    return UsageError("schema name '" + Str_Escape(*schema) + "' is not valid: " + kSchemaRule);
  }
  // planex upper-cases the schema of its settings; install it under that name.
  Str_Upper(*schema);
  return -1;
}

// Display width of UTF-8 text: continuation bytes take no column.
size_t Width(const std::string& s) {
  size_t w = 0;
  for (unsigned char c : s) w += (c & 0xC0) != 0x80;
  return w;
}

void PrintResultSet(const ResultSet& set) {
  std::vector<size_t> widths;
  for (const std::string& c : set.columns) widths.push_back(Width(c));
  for (const auto& row : set.rows) {
    for (size_t i = 0; i < row.size(); ++i) {
      widths[i] = std::max(widths[i], Width(row[i] ? *row[i] : "NULL"));
    }
  }
  auto cell = [&](const std::string& text, size_t i, bool last) {
    std::fputs(text.c_str(), stdout);
    if (!last) {
      for (size_t pad = Width(text); pad < widths[i] + 1; ++pad) std::fputc(' ', stdout);
    }
  };
  for (size_t i = 0; i < set.columns.size(); ++i) cell(set.columns[i], i, i + 1 == set.columns.size());
  std::fputc('\n', stdout);
  for (size_t i = 0; i < set.columns.size(); ++i) {
    cell(std::string(widths[i], '-'), i, i + 1 == set.columns.size());
  }
  std::fputc('\n', stdout);
  for (const auto& row : set.rows) {
    for (size_t i = 0; i < row.size(); ++i) cell(row[i] ? *row[i] : "NULL", i, i + 1 == row.size());
    std::fputc('\n', stdout);
  }
  std::printf("(%zu row%s)\n\n", set.rows.size(), set.rows.size() == 1 ? "" : "s");
}

int CmdInit(const Args& a, const Locations& where, Session& session, const std::string& schema) {
  std::string script_path = a.script.empty() ? where.schema_sql : a.script;
  Day first{};
  if (!a.first_day.empty()) {
    if (!ParseDateKey(a.first_day, &first)) {
      return UsageError("--first-day takes a date YYYYMMDD from 17530102 on");
    }
  } else {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char key[16];
    std::snprintf(key, sizeof key, "%04d0101", local.tm_year + 1900);
    ParseDateKey(key, &first);
  }
  if (TableExists(session, schema + ".Qxs300Pnr")) {
    std::fprintf(stderr, "planex-db: client schema %s is already installed\n", schema.c_str());
    return kExitFailure;
  }
  bool system_there = false;
  int statements = 0;
  std::string message;
  if (!InstallSchema(session, script_path, schema, &system_there, &statements, &message)) {
    std::fprintf(stderr, "planex-db: %s\n", message.c_str());
    return kExitFailure;
  }
  std::printf("Installed %s%s (%d statements).\n", system_there ? "" : "system schema QXSYSTEM and ",
              ("client schema " + schema).c_str(), statements);

  std::string count;
  DbError e;
  if (!session.Scalar("SELECT COUNT(*) FROM QXSYSTEM.Qxs133Bak", &count, &e)) {
    std::fprintf(stderr, "planex-db: cannot read the base calendar: %s\n", FormatError(e).c_str());
    return kExitFailure;
  }
  if (a.no_seed) {
    std::printf("Base calendar left as it is (%s rows).\n", count.c_str());
    return kExitOk;
  }
  if (count != "0") {
    std::printf("Base calendar already holds %s rows; not seeded%s.\n", count.c_str(),
                a.first_day.empty() ? "" : " (--first-day ignored)");
    return kExitOk;
  }
  // planex extends the base calendar from its latest row, so the first day needs the day before.
  const Day seed = first - std::chrono::days{1};
  const std::string key = DateKey(seed);
  const std::chrono::year_month_day ymd{seed};
  const WeekValues week = BaseCalendarWeek(seed);
  // The weekday is the server's own number, so that week models keyed by it match planex's rows.
  const std::string sql =
      "INSERT INTO QXSYSTEM.Qxs133Bak (BakDtm, BakJhr, BakMon, BakTag, BakWch, BakWtg, BakJtg, "
      "BakYow, BakDat) VALUES (" +
      DateLiteral(key) + ", " + std::to_string(static_cast<int>(ymd.year())) + ", " +
      std::to_string(static_cast<unsigned>(ymd.month())) + ", " + std::to_string(static_cast<unsigned>(ymd.day())) +
      ", " + std::to_string(week.week) + ", DATEPART(weekday, " + DateLiteral(key) + "), " +
      std::to_string(DayOfYear(seed)) + ", " + std::to_string(week.week_year) + ", CURRENT_TIMESTAMP)";
  std::string weekday;
  if (!session.Exec(sql, &e) ||
      !session.Scalar("SELECT BakWtg FROM QXSYSTEM.Qxs133Bak WHERE BakDtm = " + DateLiteral(key), &weekday, &e)) {
    std::fprintf(stderr, "planex-db: cannot seed the base calendar: %s\n", FormatError(e).c_str());
    return kExitFailure;
  }
  std::printf("Base calendar seeded with %s (week %d of %d, weekday %s); planex goes on from %s.\n", key.c_str(),
              week.week, week.week_year, weekday.c_str(), DateKey(first).c_str());
  return kExitOk;
}

int CmdDemo(const Args& a, Session& session, const std::string& schema) {
  DemoOptions options;
  options.schema = schema;
  options.persons = a.persons;
  options.seed = a.seed;
  std::map<std::string, long> rows;
  std::string message;
  const auto start = std::chrono::steady_clock::now();
  if (!FillDemo(session, options, &rows, &message)) {
    std::fprintf(stderr, "planex-db: demo: %s\n", message.c_str());
    return kExitFailure;
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  long total = 0;
  for (const auto& entry : rows) total += entry.second;
  std::printf("Demo company written into %s (seed %llu): %ld rows in %.1f s\n", schema.c_str(), a.seed, total,
              took.count());
  for (const auto& [table, n] : rows) std::printf("  %-24s %8ld rows\n", table.c_str(), n);
  return kExitOk;
}

int CmdSql(const Args& a, Session& session, const std::string& schema) {
  const std::string& path = a.positional[0];
  // Read batch by batch: a dump of a large company runs in the memory of one batch.
  std::ifstream file;
  if (path != "-") {
    file.open(path, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "planex-db: cannot read the script %s\n", path.c_str());
      return kExitFailure;
    }
  }
  BatchReader reader(path == "-" ? std::cin : file);
  std::map<std::string, std::string> vars = a.vars;
  if (!schema.empty() && !vars.count("CLIENT")) vars["CLIENT"] = schema;
  const std::string name = path == "-" ? "(stdin)" : path;
  for (Batch batch; reader.Next(&batch);) {
    std::string sql, missing;
    if (!Substitute(batch.text, vars, &sql, &missing)) {
      std::fprintf(stderr, "planex-db: %s:%d: scripting variable $(%s) has no value (give -v %s=...)\n", name.c_str(),
                   batch.first_line, missing.c_str(), missing.c_str());
      return kExitFailure;
    }
    BatchResult result;
    DbError e;
    if (!session.Exec(BlankComments(sql), &result, &e)) {
      std::fflush(stdout);
      std::fprintf(stderr, "planex-db: %s:%d: %s\n", name.c_str(), batch.first_line, FormatError(e).c_str());
      return kExitFailure;
    }
    for (const ResultSet& set : result.sets) PrintResultSet(set);
    for (long long n : result.row_counts) {
      std::printf("(%lld row%s affected)\n", n, n == 1 ? "" : "s");
    }
  }
  return kExitOk;
}

int CmdCopy(const Args& a, const Locations& where, Session& session, const std::string& schema) {
  CopyTarget target;
  target.db = a.to_db;
  target.dsn = a.to_dsn;
  target.user = a.to_user;
  target.tsqlite_lib = where.tsqlite_lib;
  target.schema_sql = where.schema_sql;
  target.date_first = a.given.count("--date-first") ? a.date_first : 0;
  target.replace = a.replace;
  if (!a.to_user.empty()) {
    // The target's password: the next line of standard input (after the source's, if any).
    if (!std::getline(std::cin, target.password)) target.password.clear();
    if (!target.password.empty() && target.password.back() == '\r') target.password.pop_back();
  }
  return CopyCompany(session, schema, target);
}

int CmdDump(const Args& a, const Locations& where, Session& session, const std::string& schema) {
  const std::string source = !a.db.empty() ? "embedded database file " + a.db
                                           : "data source " + (a.dsn.empty() ? std::string("of ") + a.settings : a.dsn);
  if (a.out.empty()) return DumpCompany(session, schema, where.schema_sql, source, stdout);
  // Written beside and renamed when whole, so that FILE is never a dump cut short.
  const std::string part = a.out + ".part";
  std::FILE* out = std::fopen(part.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "planex-db: dump: cannot write %s\n", part.c_str());
    return kExitFailure;
  }
  int status = DumpCompany(session, schema, where.schema_sql, source, out);
  if (std::fclose(out) != 0 && status == kExitOk) {
    std::fprintf(stderr, "planex-db: dump: writing %s failed\n", part.c_str());
    status = kExitFailure;
  }
  if (status == kExitOk && std::rename(part.c_str(), a.out.c_str()) != 0) {
    std::fprintf(stderr, "planex-db: dump: cannot rename %s to %s\n", part.c_str(), a.out.c_str());
    status = kExitFailure;
  }
  if (status != kExitOk) std::remove(part.c_str());
  return status;
}

int CmdCounts(Session& session, const std::string& schema) {
  std::vector<std::string> tables;
  for (const SystemTable& t : SystemTables(schema)) tables.push_back(t.name);
  int status = kExitOk;
  for (const std::string& t : tables) {
    std::string n;
    DbError e;
    if (session.Scalar("SELECT COUNT(*) FROM " + t, &n, &e)) {
      std::printf("%-20s %10s\n", t.c_str(), n.c_str());
    } else {
      std::printf("%-20s %10s  %s\n", t.c_str(), "-", FormatError(e).c_str());
      status = kExitFailure;
    }
  }
  return status;
}

// The roster's own options, checked before connecting.
int RosterOptionsOf(const Args& a, RosterOptions* o) {
  const auto value = [&](const char* name) {
    auto found = a.roster.find(name);
    return found == a.roster.end() ? std::string() : found->second;
  };
  if (!ParseDateKey(value("--from"), &o->from) || !ParseDateKey(value("--to"), &o->to)) {
    return UsageError("roster needs --from and --to, each a date YYYYMMDD");
  }
  if (o->to < o->from || (o->to - o->from).count() >= 732) {
    return UsageError("roster: --to must be on or after --from, at most 732 days in all");
  }
  if (a.given.count("--persons") && !ParseRosterPersons(value("--persons"), &o->pnr_from, &o->pnr_to)) {
    return UsageError("roster: --persons takes FROM..TO, person numbers of at most 8 characters");
  }
  o->out = value("--out");
  return -1;
}

int CmdRoster(const Args& a, Session& session, const std::string& schema) {
  RosterOptions o;
  int rc = RosterOptionsOf(a, &o);
  if (rc >= 0) return rc;
  o.schema = schema;
  return RunRoster(session, o);
}

}  // namespace

int main(int argc, char** argv) {
  Args a;
  int rc = ParseArgs(argc, argv, &a);
  if (rc >= 0) return rc;
  const Locations where = FindLocations(ExecutableDir(), PLANEX_BUILD_DIR);
  if (a.help || a.command.empty()) {
    auto help = kCommandHelp.find(a.command);
    std::string text = help != kCommandHelp.end() ? help->second : kUsage;
    size_t mark = text.find("%SCHEMA_SQL%");
    if (mark != std::string::npos) text.replace(mark, 12, where.schema_sql);
    std::fputs(text.c_str(), a.help ? stdout : stderr);
    return a.help ? kExitOk : kExitUsage;
  }
  if (!kCommandHelp.count(a.command)) return UsageError("unknown command " + a.command);
  rc = CheckOptions(a);
  if (rc >= 0) return rc;

  // Everything the command line decides is checked before connecting: init with --db creates
  // the database file.
  std::string schema = a.schema;
  if (!schema.empty() || (a.command != "sql" && a.settings.empty())) {
    rc = CheckSchema(&schema);
    if (rc >= 0) return rc;
  }
  Day first_day{};
  if (!a.first_day.empty() && !ParseDateKey(a.first_day, &first_day)) {
    return UsageError("--first-day takes a date YYYYMMDD from 17530102 on");
  }
  if (a.command != "roster" && a.roster.count("--persons")) return UsageError("--persons takes 0 to 10000000");
  if (a.command == "roster") {
    RosterOptions checked;
    rc = RosterOptionsOf(a, &checked);
    if (rc >= 0) return rc;
  }
  Session session;
  rc =
      Connect(a, where, a.command == "init" || (a.command == "sql" && a.given.count("--collation")), &session, &schema);
  if (rc != kExitOk) return rc;
  if (a.command != "sql" || !schema.empty()) {
    rc = CheckSchema(&schema);
    if (rc >= 0) return rc;
  }
  if (a.command == "init") return CmdInit(a, where, session, schema);
  if (a.command == "demo") return CmdDemo(a, session, schema);
  if (a.command == "sql") return CmdSql(a, session, schema);
  if (a.command == "copy") return CmdCopy(a, where, session, schema);
  if (a.command == "dump") return CmdDump(a, where, session, schema);
  if (a.command == "roster") return CmdRoster(a, session, schema);
  return CmdCounts(session, schema);
}
