// How much the embedded database costs over SQLite itself, for the statements of a person day.
//
// Both runs write the same rows into databases created from db/schema.sql by the driver:
// - "driver": the T-SQL texts with their values pasted in, as planex sends them, each on a
//   statement handle of its own through the unixODBC driver manager, autocommit;
// - "sqlite": the same work as SQLite statements prepared once and bound with parameters,
//   autocommit, on the same tables.
// A person day is: does the day record exist, insert it, read the existing schedule-assignment
// record, look up the assignment (three-table join), look up the plan, insert the
// schedule-assignment record. The last line prints the ratio of statements per second (best of
// three rounds each).
//
// Usage: bench_tsqlite [persons [days]]   (defaults 4 persons, 365 days each)
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "collation.h"
#include "fixtures/schema_script.h"

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "bench_tsqlite: %s\n", what.c_str());
  std::exit(1);
}

// The days from 1 January 2025 on, as date keys.
std::vector<std::string> DateKeys(int days) {
  std::vector<std::string> keys;
  std::tm tm{};
  tm.tm_year = 125;
  tm.tm_mon = 0;
  tm.tm_mday = 1;
  tm.tm_hour = 12;
  for (int i = 0; i < days; ++i) {
    std::tm t = tm;
    t.tm_mday += i;
    std::mktime(&t);
    char key[40];
    std::snprintf(key, sizeof(key), "%04d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    keys.push_back(key);
  }
  return keys;
}

std::string PersonNumber(int p) {
  char pnr[16];
  std::snprintf(pnr, sizeof(pnr), "%08d", p + 1);
  return pnr;
}

class Odbc {
 public:
  explicit Odbc(const std::string& file) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), SQL_IS_INTEGER);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    std::string text = "DRIVER=" TSQLITE_LIB ";Create=Yes;Database=" + file;
    SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, nullptr, 0,
                                    nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) Die("cannot connect to " + file);
  }
  ~Odbc() {
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }

  // One statement as planex runs it: own handle, execute, bind every column as text, fetch once.
  // Returns the SQLFetch result for queries, the SQLExecDirect result for writes.
  SQLRETURN Run(const char* sql, int columns, bool must_succeed = true) {
    SQLHSTMT stmt;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt);
    SQLRETURN rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)), SQL_NTS);
    if (must_succeed && !SQL_SUCCEEDED(rc)) {
      SQLCHAR state[6], message[512];
      SQLINTEGER native;
      SQLSMALLINT len;
      SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, message, sizeof(message), &len);
      Die(std::string(sql) + ": " + reinterpret_cast<char*>(message));
    }
    if (SQL_SUCCEEDED(rc) && columns > 0) {
      char buffers[16][64];
      SQLLEN indicator;
      for (int c = 0; c < columns && c < 16; ++c) {
        SQLBindCol(stmt, static_cast<SQLUSMALLINT>(c + 1), SQL_C_CHAR, buffers[c], sizeof(buffers[c]), &indicator);
      }
      rc = SQLFetch(stmt);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return rc;
  }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
};

// Installs db/schema.sql for client ABC_1 and the master data the person day reads.
void CreateDatabase(const std::string& file, int persons) {
  const std::vector<std::string> batches = fixture::SchemaBatches(PLANEX_SOURCE_DIR "/db/schema.sql", "ABC_1");
  if (batches.empty()) Die("cannot read db/schema.sql");
  Odbc db(file);
  for (const std::string& batch : batches) db.Run(batch.c_str(), 0);
  db.Run("INSERT INTO ABC_1.Qxs160Agr (AgrNum, AgrTge) VALUES ('G1', 7)", 0);
  for (int d = 1; d <= 7; ++d) {
    char sql[256];
    std::snprintf(sql, sizeof(sql),
                  "INSERT INTO ABC_1.Qxs161Wpl (WplAgr, WplTag, WplAzt, WplVra) VALUES ('G1', %d, 'F%d', 'V')", d, d);
    db.Run(sql, 0);
  }
  for (int p = 0; p < persons; ++p) {
    std::string pnr = PersonNumber(p);
    std::string sql = "INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam) VALUES ('" + pnr + "', 'Person')";
    db.Run(sql.c_str(), 0);
    sql =
        "INSERT INTO ABC_1.Qxs311Zuo (ZuoPnr, ZuoAgr, ZuoAbt, ZuoKst, ZuoKrt, ZuoKtr, ZuoVra, ZuoGvo, ZUOSDT, ZUOSTG) "
        "VALUES ('" +
        pnr +
        "', 'G1', 'A', 'K', 'R', 'T', 'V', CONVERT(Datetime, '20240101', 112), "
        "CONVERT(Datetime, '20240101', 112), 1)";
    db.Run(sql.c_str(), 0);
  }
}

// The person-day statement texts, as planex formats them.
long RunDriver(const std::string& file, int persons, const std::vector<std::string>& keys) {
  Odbc db(file);
  long statements = 0;
  char sql[1000];
  for (int p = 0; p < persons; ++p) {
    const std::string pnr = PersonNumber(p);
    const char* s = "ABC_1";
    for (const std::string& key : keys) {
      const char* k = key.c_str();
      std::snprintf(
          sql, sizeof(sql),
          "SELECT TagPnr, convert(char(8), TagTag, 112)   FROM %s.Qxs327Tag  WHERE TagPnr = '%s'    AND TagTag = "
          "convert(Datetime, '%s', 112)",
          s, pnr.c_str(), k);
      if (db.Run(sql, 2) != SQL_NO_DATA) Die("day exists already");
      std::snprintf(
          sql, sizeof(sql),
          "INSERT INTO %s.Qxs327Tag   (TagPnr, TagTag, TagVon,    TagUhr, TagBis, TagEnd, TagDat) VALUES ('%s', "
          "CONVERT(Datetime, '%s', 112), CONVERT(Datetime, '%s', 112),  CONVERT(Datetime, '%s 00:00:00', 120), "
          "CONVERT(Datetime, '%s', 112),  CONVERT(Datetime, '%s 00:00:00', 120), CURRENT_TIMESTAMP)",
          s, pnr.c_str(), k, k, (key.substr(0, 4) + "-" + key.substr(4, 2) + "-" + key.substr(6, 2)).c_str(), k,
          (key.substr(0, 4) + "-" + key.substr(4, 2) + "-" + key.substr(6, 2)).c_str());
      db.Run(sql, 0);
      std::snprintf(
          sql, sizeof(sql),
          "SELECT ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt,        ZtgAgr, ZtgTag, ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp  "
          "FROM  %s.Qxs329Ztg  WHERE ZtgPnr = '%s'    AND ZtgVon = CONVERT(Datetime, '%s', 112)    AND ZtgSta < 4",
          s, pnr.c_str(), k);
      db.Run(sql, 11);
      std::snprintf(
          sql, sizeof(sql),
          "SELECT ((CONVERT(int, (TAGTAG - ZUOSDT + ZUOSTG - 1)) %%        CONVERT(int, AgrTge)) + 1), ZuoAgr, "
          "ZuoAbt,        ZuoKst, ZuoKrt, ZuoKtr, ZuoVra  FROM  %s.Qxs327Tag, %s.Qxs311Zuo, %s.Qxs160Agr  WHERE "
          "ZuoPnr = '%s'    AND ZuoPnr = TagPnr    AND ZuoGvo <= CONVERT(Datetime, '%s', 112)    AND (ZuoGbi >= "
          "CONVERT(Datetime, '%s', 112)      OR ZuoGbi IS NULL)    AND ZuoSta < 4    AND TagTag = CONVERT(Datetime, "
          "'%s', 112)    AND AgrNum = ZuoAgr   AND AgrSta < 4 ",
          s, s, s, pnr.c_str(), k, k, k);
      if (db.Run(sql, 7) != SQL_SUCCESS) Die("no assignment");
      std::snprintf(
          sql, sizeof(sql),
          "SELECT WplAzt, WplVra  FROM  %s.Qxs161Wpl  WHERE WplAgr = '%s'    AND WplTag = %ld    AND WplSta < 4", s,
          "G1", static_cast<long>(statements % 7 + 1));
      db.Run(sql, 2);
      std::snprintf(
          sql, sizeof(sql),
          "INSERT INTO %s.Qxs329Ztg   (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr,    ZtgKrt, ZtgAgr, ZtgTag, "
          "ZtgBsd, ZtgVra, ZtgAzt,    ZtgTtp, ZtgDat, ZtgSta, ZtgPnm) VALUES   ('%s', CONVERT(Datetime, '%s', "
          "112), '%s', '%s',    '%s', '%s', '%s', '%s',    %ld, '%s', '%s', '%s',    '%s', CURRENT_TIMESTAMP, 1, "
          "'%s')",
          s, pnr.c_str(), k, "AKR", "A", "K", "T", "R", "G1", static_cast<long>(statements % 7 + 1), "", "V", "F1",
          "ABC", "Person");
      db.Run(sql, 0);
      statements += 6;
    }
  }
  return statements;
}

class Raw {
 public:
  explicit Raw(const std::string& file) {
    if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) Die("cannot open " + file);
    // Text columns compare by the file's collation, as the driver registers it.
    if (tsqlite::RegisterCollations(db_) != SQLITE_OK) Die("cannot register the collations");
    sqlite3_exec(db_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;", nullptr, nullptr,
                 nullptr);
  }
  ~Raw() {
    for (sqlite3_stmt* s : statements_) sqlite3_finalize(s);
    sqlite3_close(db_);
  }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) Die(std::string(sql) + ": " + sqlite3_errmsg(db_));
    statements_.push_back(s);
    return s;
  }
  // Steps to the end, reading every column as the driver would, and resets.
  int Run(sqlite3_stmt* s) {
    int rows = 0, rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(s); ++c) sqlite3_column_text(s, c);
      ++rows;
    }
    if (rc != SQLITE_DONE) Die(std::string(sqlite3_sql(s)) + ": " + sqlite3_errmsg(db_));
    sqlite3_reset(s);
    return rows;
  }

 private:
  sqlite3* db_ = nullptr;
  std::vector<sqlite3_stmt*> statements_;
};

void Text(sqlite3_stmt* s, int i, const std::string& v) {
  sqlite3_bind_text(s, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
}

// The same work in SQLite's own terms, on the tables the driver created.
long RunSqlite(const std::string& file, int persons, const std::vector<std::string>& keys) {
  Raw db(file);
  sqlite3_stmt* exists = db.Prepare(
      "SELECT TagPnr, strftime('%Y%m%d', TagTag) FROM \"ABC_1.Qxs327Tag\" WHERE TagPnr = ?1 AND TagTag = ?2");
  sqlite3_stmt* day = db.Prepare(
      "INSERT INTO \"ABC_1.Qxs327Tag\" (TagPnr, TagTag, TagVon, TagUhr, TagBis, TagEnd, TagDat) "
      "VALUES (?1, ?2, ?2, ?2, ?2, ?2, strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime'))");
  sqlite3_stmt* ztg = db.Prepare(
      "SELECT ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt, ZtgAgr, ZtgTag, ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp "
      "FROM \"ABC_1.Qxs329Ztg\" WHERE ZtgPnr = ?1 AND ZtgVon = ?2 AND ZtgSta < 4");
  sqlite3_stmt* zuo = db.Prepare(
      "SELECT ((CAST(julianday(TagTag) - julianday(ZUOSDT) + ZUOSTG - 1 AS INTEGER) % AgrTge) + 1), ZuoAgr, ZuoAbt, "
      "ZuoKst, ZuoKrt, ZuoKtr, ZuoVra FROM \"ABC_1.Qxs327Tag\", \"ABC_1.Qxs311Zuo\", \"ABC_1.Qxs160Agr\" "
      "WHERE ZuoPnr = ?1 AND ZuoPnr = TagPnr AND ZuoGvo <= ?2 AND (ZuoGbi >= ?2 OR ZuoGbi IS NULL) AND ZuoSta < 4 "
      "AND TagTag = ?2 AND AgrNum = ZuoAgr AND AgrSta < 4");
  sqlite3_stmt* wpl =
      db.Prepare("SELECT WplAzt, WplVra FROM \"ABC_1.Qxs161Wpl\" WHERE WplAgr = ?1 AND WplTag = ?2 AND WplSta < 4");
  sqlite3_stmt* insert = db.Prepare(
      "INSERT INTO \"ABC_1.Qxs329Ztg\" (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt, ZtgAgr, ZtgTag, "
      "ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp, ZtgDat, ZtgSta, ZtgPnm) VALUES (?1, ?2, 'AKR', 'A', 'K', 'T', 'R', 'G1', ?3, "
      "'', 'V', 'F1', 'ABC', strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime'), 1, 'Person')");
  long statements = 0;
  for (int p = 0; p < persons; ++p) {
    const std::string pnr = PersonNumber(p);
    for (const std::string& key : keys) {
      const std::string dtm = key.substr(0, 4) + "-" + key.substr(4, 2) + "-" + key.substr(6, 2) + " 00:00:00.000";
      Text(exists, 1, pnr);
      Text(exists, 2, dtm);
      if (db.Run(exists) != 0) Die("day exists already");
      Text(day, 1, pnr);
      Text(day, 2, dtm);
      db.Run(day);
      Text(ztg, 1, pnr);
      Text(ztg, 2, dtm);
      db.Run(ztg);
      Text(zuo, 1, pnr);
      Text(zuo, 2, dtm);
      if (db.Run(zuo) != 1) Die("no assignment");
      Text(wpl, 1, "G1");
      sqlite3_bind_int64(wpl, 2, statements % 7 + 1);
      db.Run(wpl);
      Text(insert, 1, pnr);
      Text(insert, 2, dtm);
      sqlite3_bind_int64(insert, 3, statements % 7 + 1);
      db.Run(insert);
      statements += 6;
    }
  }
  return statements;
}

}  // namespace

int main(int argc, char** argv) {
  const int persons = argc > 1 ? std::atoi(argv[1]) : 4;
  const int days = argc > 2 ? std::atoi(argv[2]) : 365;
  if (persons < 1 || days < 1 || days > 20000) Die("usage: bench_tsqlite [persons [days]]");
  char folder[] = "/tmp/bench_tsqlite_XXXXXX";
  if (mkdtemp(folder) == nullptr) Die("mkdtemp failed");
  const std::vector<std::string> keys = DateKeys(days);
  // The machine is shared: the two runs take turns, and each keeps its best of three rounds.
  long n_driver = 0, n_sqlite = 0;
  double t_driver = 1e30, t_sqlite = 1e30;
  for (int round = 0; round < 3; ++round) {
    const std::string driver_file = std::string(folder) + "/driver" + std::to_string(round) + ".db";
    const std::string sqlite_file = std::string(folder) + "/sqlite" + std::to_string(round) + ".db";
    CreateDatabase(driver_file, persons);
    CreateDatabase(sqlite_file, persons);
    auto start = Clock::now();
    n_driver = RunDriver(driver_file, persons, keys);
    t_driver = std::min(t_driver, std::chrono::duration<double>(Clock::now() - start).count());
    start = Clock::now();
    n_sqlite = RunSqlite(sqlite_file, persons, keys);
    t_sqlite = std::min(t_sqlite, std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::filesystem::remove_all(folder);

  const double rate_driver = n_driver / t_driver;
  const double rate_sqlite = n_sqlite / t_sqlite;
  std::printf("driver (T-SQL through the driver manager): %ld statements in %.3f s, %.0f statements/s\n", n_driver,
              t_driver, rate_driver);
  std::printf("sqlite (prepared statements):              %ld statements in %.3f s, %.0f statements/s\n", n_sqlite,
              t_sqlite, rate_sqlite);
  std::printf("ratio driver/sqlite: %.2f\n", rate_driver / rate_sqlite);
  return 0;
}
