#include "copy.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/interrupt.h"
#include "install.h"
#include "locations.h"
#include "tables.h"

namespace pxdb {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kOk = 0;
constexpr int kFailed = 1;
// Rows written between two commits of the target: large enough that commits cost little, small
// enough that an interrupted copy loses little work and the server's log stays small.
constexpr long long kRowsPerCommit = 20000;

std::uint64_t Mix(std::uint64_t h) {  // the finalizer of splitmix64
  h ^= h >> 30;
  h *= 0xbf58476d1ce4e5b9ULL;
  h ^= h >> 27;
  h *= 0x94d049bb133111ebULL;
  return h ^ (h >> 31);
}

// One line per table on a terminal, redrawn while its rows are copied: rows, rate, time left.
class ProgressLine {
 public:
  ProgressLine() : tty_(isatty(fileno(stderr)) != 0) {}
  void Start(const std::string& table, long long total) {
    table_ = table;
    total_ = total;
    start_ = last_ = Clock::now();
  }
  void Show(long long done, bool last) {
    if (!tty_) return;
    const auto now = Clock::now();
    if (!last && now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    const long long left = rate > 0 ? static_cast<long long>(static_cast<double>(total_ - done) / rate) : 0;
    std::fprintf(stderr, "\r\033[K%-20s %10lld of %lld rows %9.0f rows/s %3lld:%02lld left%s", table_.c_str(), done,
                 total_, rate, left / 60, left % 60, last ? "\n" : "");
    std::fflush(stderr);
  }

 private:
  bool tty_;
  std::string table_;
  long long total_ = 0;
  Clock::time_point start_, last_;
};

bool Count(Session& session, const std::string& table, long long* n, DbError* error) {
  std::string text;
  if (!session.Scalar("SELECT COUNT(*) FROM " + table, &text, error)) return false;
  *n = std::stoll(text);
  return true;
}

std::string ColumnList(const std::vector<ColumnInfo>& columns) {
  std::string list;
  for (const ColumnInfo& c : columns) list += (list.empty() ? "" : ", ") + c.name;
  return list;
}

// The target's connection; a missing file is made with the source's collation and the schema.
int OpenTarget(Session& source, const std::string& schema, const CopyTarget& t, Session* target) {
  DbError e;
  if (!t.db.empty()) {
    struct stat st;
    const bool create = stat(t.db.c_str(), &st) != 0;
    std::string collation;
    if (create) {
      // The new file takes the source's collation; a name of letters, digits and '_' only, so
      // that it cannot add a key to the connection string.
      if (!source.Scalar("SELECT DATABASEPROPERTYEX(DB_NAME(), 'Collation')", &collation, &e)) {
        std::fprintf(stderr, "planex-db: copy: cannot read the source's collation: %s\n", FormatError(e).c_str());
        return kFailed;
      }
      if (collation.empty() ||
          collation.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_") !=
              std::string::npos) {
        std::fprintf(stderr, "planex-db: copy: the source names no usable collation ('%s')\n", collation.c_str());
        return kFailed;
      }
    }
    // A new file numbers weekdays as the source does, so that the base calendar it receives
    // agrees with its connections' DATEPART(weekday, ...).
    int date_first = t.date_first;
    std::string source_first;
    if (create && date_first == 0 && source.Scalar("SELECT @@DATEFIRST", &source_first, &e))
      date_first = std::atoi(source_first.c_str());
    const std::string cs = EmbeddedConnectionString(t.tsqlite_lib, t.db, date_first, create, collation);
    if (!target->DriverConnect(cs, &e)) {
      std::fprintf(stderr, "planex-db: copy: cannot open %s: %s\n", t.db.c_str(), FormatError(e).c_str());
      return kFailed;
    }
    if (create) std::printf("Created %s with collation %s.\n", t.db.c_str(), collation.c_str());
  } else if (!target->Connect(t.dsn, t.user, t.password, &e)) {
    std::fprintf(stderr, "planex-db: copy: cannot connect to data source %s as %s: %s\n", t.dsn.c_str(),
                 t.user.empty() ? "(no user)" : t.user.c_str(), FormatError(e).c_str());
    return kFailed;
  }
  // An existing target keeps its own collation: what it cannot hold shows as a differing table.
  std::string from, to;
  DbError ignored;
  if (source.Scalar("SELECT DATABASEPROPERTYEX(DB_NAME(), 'Collation')", &from, &ignored) &&
      target->Scalar("SELECT DATABASEPROPERTYEX(DB_NAME(), 'Collation')", &to, &ignored) && from != to) {
    std::fprintf(stderr, "planex-db: copy: note: the target's collation %s is not the source's %s\n", to.c_str(),
                 from.c_str());
  }
  if (!TableExists(*target, schema + ".Qxs300Pnr")) {
    bool system_there = false;
    int statements = 0;
    std::string message;
    if (!InstallSchema(*target, t.schema_sql, schema, &system_there, &statements, &message)) {
      std::fprintf(stderr, "planex-db: copy: installing the schema in the target: %s\n", message.c_str());
      return kFailed;
    }
    std::printf("Installed %sclient schema %s in the target.\n", system_there ? "" : "system schema QXSYSTEM and ",
                schema.c_str());
  }
  return kOk;
}

// Reads a table in key order on the given side, with the columns named, into its sum.
bool SumTable(Session& session, const SystemTable& table, const std::string& columns, TableSum* sum, DbError* error) {
  Cursor cursor;
  if (!cursor.Open(session, "SELECT " + columns + " FROM " + table.name + " ORDER BY " + table.order_by, error)) {
    return false;
  }
  Row row;
  int got = 0;
  while ((got = cursor.Fetch(&row, error)) == 1) sum->Add(row);
  return got == 0;
}

struct Copied {
  std::string columns;
  TableSum source;
};

// Streams one table: the source in key order, the target by multi-row inserts, a commit after
// every kRowsPerCommit rows (the first one also makes the deletes of --replace final).
// A SIGINT or SIGTERM held back stops it after the statement that is running (*stopped).
bool CopyTable(Session& source, Session& target, const SystemTable& table, long long total, ProgressLine& progress,
               long long* since_commit, Copied* copied, int* stopped, DbError* error) {
  Cursor cursor;
  if (!cursor.Open(source, "SELECT * FROM " + table.name + " ORDER BY " + table.order_by, error)) return false;
  copied->columns = ColumnList(cursor.Columns());
  Inserter inserter;
  if (!inserter.Prepare(target, table.name, cursor.Columns(), RowsPerInsert(cursor.Columns().size()), error)) {
    return false;
  }
  progress.Start(table.name, total);
  long long written = 0;
  Row row;
  int got = 0;
  while ((got = cursor.Fetch(&row, error)) == 1) {
    copied->source.Add(row);
    const long long before = written;
    if (!inserter.Add(row, &written, error)) return false;
    if (written != before && (*stopped = Sig_Pending()) != 0) return false;
    *since_commit += written - before;
    if (*since_commit >= kRowsPerCommit) {
      if (!target.Commit(error)) return false;
      *since_commit = 0;
    }
    progress.Show(written, false);
  }
  if (got < 0) return false;
  const long long before = written;
  if (!inserter.Flush(&written, error)) return false;
  *since_commit += written - before;
  progress.Show(written, true);
  return true;
}

}  // namespace

void TableSum::Add(const Row& row) {
  std::uint64_t h = 0xcbf29ce484222325ULL;  // FNV-1a over the values, each with its length
  auto byte = [&h](unsigned char b) {
    h ^= b;
    h *= 0x100000001b3ULL;
  };
  for (const auto& value : row) {
    if (!value) {
      byte(0);
      continue;
    }
    byte(1);
    for (size_t n = value->size(), i = 0; i < 8; ++i, n >>= 8) byte(static_cast<unsigned char>(n & 0xFF));
    for (char c : *value) byte(static_cast<unsigned char>(c));
  }
  ++rows;
  sum += Mix(h);
}

int CopyCompany(Session& source, const std::string& schema, const CopyTarget& t) {
  Session target;
  if (OpenTarget(source, schema, t, &target) != kOk) return kFailed;
  const std::vector<SystemTable> tables = SystemTables(schema);

  // Everything is counted before anything is written: a target that holds rows is refused whole.
  std::vector<long long> totals;
  bool refused = false;
  for (const SystemTable& table : tables) {
    long long in_source = 0, in_target = 0;
    DbError e;
    if (!Count(source, table.name, &in_source, &e)) {
      std::fprintf(stderr, "planex-db: copy: source table %s: %s\n", table.name.c_str(), FormatError(e).c_str());
      return kFailed;
    }
    if (!Count(target, table.name, &in_target, &e)) {
      std::fprintf(stderr, "planex-db: copy: target table %s: %s\n", table.name.c_str(), FormatError(e).c_str());
      return kFailed;
    }
    totals.push_back(in_source);
    if (in_target > 0 && !t.replace) {
      std::fprintf(stderr, "planex-db: copy: target table %s already holds %lld rows\n", table.name.c_str(), in_target);
      refused = true;
    }
  }
  if (refused) {
    std::fprintf(stderr, "planex-db: copy: nothing written; --replace deletes the target's rows of these tables\n");
    return kFailed;
  }

  DbError e;
  if (!target.SetAutocommit(false, &e)) {
    std::fprintf(stderr, "planex-db: copy: %s\n", FormatError(e).c_str());
    return kFailed;
  }
  const auto start = Clock::now();
  if (t.replace) {
    // Child tables first, so that no foreign key is left pointing nowhere.
    for (auto it = tables.rbegin(); it != tables.rend(); ++it) {
      if (!target.Exec("DELETE FROM " + it->name, &e)) {
        target.Rollback();
        std::fprintf(stderr, "planex-db: copy: deleting the rows of %s: %s\n", it->name.c_str(),
                     FormatError(e).c_str());
        return kFailed;
      }
    }
  }
  ProgressLine progress;
  std::vector<Copied> copied(tables.size());
  long long since_commit = 0, rows = 0;
  {
    // While rows are written, SIGINT and SIGTERM wait for the end of the statement that runs.
    RunSignals signals;
    for (size_t i = 0; i < tables.size(); ++i) {
      int stopped = 0;
      if (!CopyTable(source, target, tables[i], totals[i], progress, &since_commit, &copied[i], &stopped, &e)) {
        target.Rollback();
        if (stopped != 0) {
          std::fprintf(stderr, "\nplanex-db: copy: stopped by %s in table %s\n", Sig_Name(stopped),
                       tables[i].name.c_str());
        } else {
          std::fprintf(stderr, "planex-db: copy: table %s: %s\n", tables[i].name.c_str(), FormatError(e).c_str());
        }
        std::fprintf(stderr,
                     "planex-db: copy: the target holds the rows committed so far; copy --replace repairs it\n");
        if (stopped != 0) Sig_Die(stopped);
        return kFailed;
      }
      rows += copied[i].source.rows;
    }
    if (!target.Commit(&e) || !target.SetAutocommit(true, &e)) {
      std::fprintf(stderr, "planex-db: copy: commit: %s\n", FormatError(e).c_str());
      return kFailed;
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

  // Every table is read back from the target and compared with what was read from the source.
  int status = kOk;
  for (size_t i = 0; i < tables.size(); ++i) {
    TableSum in_target;
    if (!SumTable(target, tables[i], copied[i].columns, &in_target, &e)) {
      std::fprintf(stderr, "planex-db: copy: reading back %s: %s\n", tables[i].name.c_str(), FormatError(e).c_str());
      status = kFailed;
      continue;
    }
    const TableSum& from = copied[i].source;
    std::printf("  %-20s %10lld rows  %016llx\n", tables[i].name.c_str(), from.rows,
                static_cast<unsigned long long>(from.sum));
    if (!(in_target == from)) {
      std::fprintf(stderr,
                   "planex-db: copy: table %s differs: source %lld rows, checksum %016llx; target %lld rows, "
                   "checksum %016llx\n",
                   tables[i].name.c_str(), from.rows, static_cast<unsigned long long>(from.sum), in_target.rows,
                   static_cast<unsigned long long>(in_target.sum));
      status = kFailed;
    }
  }
  std::printf("Copied %lld rows in %zu tables in %.1f s%s.\n", rows, tables.size(), seconds,
              status == kOk ? "; every table matches its source (rows and checksum)" : "; TABLES DIFFER");
  return status;
}

}  // namespace pxdb
