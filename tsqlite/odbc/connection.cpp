// Connections: settings from the DSN and the connection string, opening the database, connection
// attributes and transactions.
#include <fcntl.h>
#include <odbcinst.h>
#include <sqlite3.h>
#include <strings.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

#include "api.h"
#include "handles.h"

namespace tsqlite {

namespace {

// Connection settings by upper-cased key, as given in odbc.ini or the connection string.
using Attributes = std::map<std::string, std::string>;

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// KEY=value;KEY={value with ; inside};...
Attributes ParseConnectionString(const std::string& text) {
  Attributes out;
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find('=', i);
    if (eq == std::string::npos) break;
    std::string key = Upper(Trim(text.substr(i, eq - i)));
    size_t v = eq + 1;
    while (v < text.size() && text[v] == ' ') ++v;
    std::string value;
    if (v < text.size() && text[v] == '{') {
      size_t close = v + 1;
      // "}}" inside braces stands for one "}".
      while (close < text.size()) {
        if (text[close] == '}') {
          if (close + 1 < text.size() && text[close + 1] == '}') {
            value += '}';
            close += 2;
            continue;
          }
          break;
        }
        value += text[close++];
      }
      i = text.find(';', close);
    } else {
      size_t semi = text.find(';', v);
      value = Trim(text.substr(v, semi == std::string::npos ? std::string::npos : semi - v));
      i = semi;
    }
    if (!key.empty()) out[key] = value;
    if (i == std::string::npos) break;
    ++i;
  }
  return out;
}

// The settings the driver reads from a DSN's section of odbc.ini.
void ReadDsn(const std::string& dsn, Attributes& out) {
  static const char* const kKeys[] = {"Database",    "DateFirst",       "Synchronous", "LockTimeout",
                                      "Create",      "RoundTripMicros", "CountFile",   "Collation",
                                      "FaultWrites", "TriggerCounts",   "NoCount",     "FaultReads"};
  for (const char* key : kKeys) {
    char buffer[4096] = "";
    int n = SQLGetPrivateProfileString(dsn.c_str(), key, "", buffer, sizeof(buffer), "odbc.ini");
    if (n > 0 && buffer[0] != '\0') out[Upper(key)] = buffer;
  }
}

// The weekday numbering a file was made with (planex-db init --date-first N): the base calendar
// stores each day's weekday as its first connection numbered it, so a later connection whose DSN
// names no DateFirst takes this one. It lives in a table of SQLite's own, which no T-SQL name
// reaches and the catalog does not list.
constexpr char kDateFirstTable[] = "tsqlite_date_first";

// The DateFirst recorded in the file, 0 when none (a file made before, or one that cannot be read).
int RecordedDateFirst(const std::string& file) {
  sqlite3* db = nullptr;
  int value = 0;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
    sqlite3_stmt* read = nullptr;
    const std::string sql = std::string("SELECT value FROM ") + kDateFirstTable;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &read, nullptr) == SQLITE_OK && sqlite3_step(read) == SQLITE_ROW)
      value = sqlite3_column_int(read, 0);
    sqlite3_finalize(read);
  }
  sqlite3_close(db);
  return value >= 1 && value <= 7 ? value : 0;
}

// Records date_first in the file; false when it cannot be written.
bool RecordDateFirst(const std::string& file, int date_first) {
  sqlite3* db = nullptr;
  bool ok = false;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 5000);
    const std::string sql = std::string("BEGIN IMMEDIATE; CREATE TABLE IF NOT EXISTS ") + kDateFirstTable +
                            " (value INTEGER NOT NULL); DELETE FROM " + kDateFirstTable + "; INSERT INTO " +
                            kDateFirstTable + " VALUES (" + std::to_string(date_first) + "); COMMIT;";
    ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  sqlite3_close(db);
  return ok;
}

// Opens the database the attributes name; errors go to dbc's diagnostics.
SQLRETURN Open(Dbc* dbc, const Attributes& attributes) {
  if (dbc->db.IsOpen()) return SetDiag(dbc, SQL_ERROR, Sqlstate::ConnectionNameInUse);
  Settings settings;
  auto get = [&](const char* key) {
    auto found = attributes.find(key);
    return found == attributes.end() ? std::string() : found->second;
  };
  settings.file = get("DATABASE");
  if (settings.file.empty()) {
    return SetDiag(dbc, SQL_ERROR, Sqlstate::CannotConnect,
                   "No database file given: set Database in the DSN or connection string");
  }
  std::string date_first = get("DATEFIRST");
  if (!date_first.empty()) {
    char* end = nullptr;
    long n = std::strtol(date_first.c_str(), &end, 10);
    if (*end != '\0' || n < 1 || n > 7) {
      return SetDiag(dbc, SQL_ERROR, Sqlstate::CannotConnect,
                     "DateFirst must be a number from 1 to 7, not '" + date_first + "'");
    }
    settings.date_first = static_cast<int>(n);
  }
  std::string lock_timeout = get("LOCKTIMEOUT");
  if (!lock_timeout.empty()) {
    char* end = nullptr;
    long ms = std::strtol(lock_timeout.c_str(), &end, 10);
    // -1 waits without end, as SQL Server does by default.
    if (*end != '\0' || ms < -1 || ms > 24L * 3600 * 1000) {
      return SetDiag(dbc, SQL_ERROR, Sqlstate::CannotConnect,
                     "LockTimeout must be a number of milliseconds or -1, not '" + lock_timeout + "'");
    }
    settings.lock_timeout_ms = static_cast<int>(ms);
  }
  std::string synchronous = Upper(get("SYNCHRONOUS"));
  if (synchronous == "FULL") {
    settings.synchronous_full = true;
  } else if (!synchronous.empty() && synchronous != "NORMAL") {
    return SetDiag(dbc, SQL_ERROR, Sqlstate::CannotConnect,
                   "Synchronous must be NORMAL or FULL, not '" + get("SYNCHRONOUS") + "'");
  }
  // A mistyped path must not quietly give an empty database: only Create=Yes makes the file.
  std::string create = Upper(get("CREATE"));
  if (create == "YES" || create == "1") {
    settings.create = true;
  } else if (!create.empty() && create != "NO" && create != "0") {
    return SetDiag(dbc, SQL_ERROR, Sqlstate::CannotConnect, "Create must be Yes or No, not '" + get("CREATE") + "'");
  }
  // Test aids: a busy server's answers to writes and reads.
  auto yes_no = [&](const char* key, const char* name, bool& out) {
    const std::string v = Upper(get(key));
    out = v == "YES" || v == "1";
    return out || v.empty() || v == "NO" || v == "0"
               ? SQL_SUCCESS
               : SetDiag(dbc, SQL_ERROR, Sqlstate::CannotConnect,
                         std::string(name) + " must be Yes or No, not '" + get(key) + "'");
  };
  if (yes_no("TRIGGERCOUNTS", "TriggerCounts", dbc->faults.trigger_counts) != SQL_SUCCESS) return SQL_ERROR;
  if (yes_no("NOCOUNT", "NoCount", settings.nocount) != SQL_SUCCESS) return SQL_ERROR;
  if (std::string problem; !ParseWriteFaults(get("FAULTWRITES"), dbc->faults.writes, &problem)) {
    return SetDiag(dbc, SQL_ERROR, Sqlstate::CannotConnect, problem);
  }
  if (std::string problem; !ParseReadFaults(get("FAULTREADS"), dbc->faults.reads, &problem)) {
    return SetDiag(dbc, SQL_ERROR, Sqlstate::CannotConnect, problem);
  }
  dbc->faults.written = 0;
  dbc->faults.read = 0;
  // The collation of a file Create=Yes makes; a file that exists keeps its own.
  settings.collation = get("COLLATION");
  std::string round_trip = get("ROUNDTRIPMICROS");
  if (!round_trip.empty()) {
    char* end = nullptr;
    long us = std::strtol(round_trip.c_str(), &end, 10);
    if (*end != '\0' || us < 0 || us > 1000L * 1000) {
      return SetDiag(dbc, SQL_ERROR, Sqlstate::CannotConnect,
                     "RoundTripMicros must be a number of microseconds, not '" + round_trip + "'");
    }
    dbc->round_trip_us = us;
  }
  if (std::string count_file = get("COUNTFILE"); !count_file.empty()) {
    auto counts = std::make_unique<CountFile>();
    if (!counts->Open(count_file)) {
      return SetDiag(dbc, SQL_ERROR, Sqlstate::CannotConnect, "CountFile '" + count_file + "' cannot be written");
    }
    dbc->counts = std::move(counts);
  }
  Error error;
  if (!dbc->db.Open(settings, error))
    return SetDiag(dbc, SQL_ERROR, error.sqlstate.c_str(), error.native, error.message);
  // A file made with a DateFirst keeps it for the connections that name none; one that names its
  // own keeps that, as SQL Server's SET DATEFIRST of a session.
  if (!date_first.empty() && settings.create) {
    if (!RecordDateFirst(settings.file, settings.date_first)) {
      dbc->db.Close();
      return SetDiag(dbc, SQL_ERROR, Sqlstate::CannotConnect,
                     "DateFirst cannot be recorded in '" + settings.file + "'");
    }
  } else if (const int recorded = date_first.empty() ? RecordedDateFirst(settings.file) : 0; recorded != 0) {
    Batch batch;
    if (!dbc->db.Execute("SET DATEFIRST " + std::to_string(recorded), batch)) {
      dbc->db.Close();
      return SetDiag(dbc, SQL_ERROR, Sqlstate::CannotConnect,
                     "DateFirst " + std::to_string(recorded) + " cannot be set");
    }
  }
  dbc->file = settings.file;
  dbc->db.SetManualCommit(!dbc->autocommit);
  return SQL_SUCCESS;
}

}  // namespace

namespace {
// "statements N\nfetches N\ncompilations N\n", each number right-aligned in 20 digits, so the file
// keeps its size.
constexpr size_t kCountFileSize = 11 + 20 + 1 + 8 + 20 + 1 + 13 + 20 + 1;
}  // namespace

CountFile::~CountFile() {
  if (map_ != nullptr) munmap(map_, kCountFileSize);
}

bool CountFile::Open(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  void* map = ftruncate(fd, kCountFileSize) == 0
                  ? mmap(nullptr, kCountFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                  : MAP_FAILED;
  close(fd);
  if (map == MAP_FAILED) return false;
  map_ = static_cast<char*>(map);
  Write();
  return true;
}

void CountFile::Write() {
  char text[kCountFileSize + 1];
  std::snprintf(text, sizeof text, "statements %20llu\nfetches %20llu\ncompilations %20llu\n", statements_, fetches_,
                compilations_);
  std::memcpy(map_, text, kCountFileSize);
}

void CountFile::Direct(std::string_view text) {
  if (direct_texts_.insert(std::hash<std::string_view>{}(text)).second) Prepared();
}

void Dbc::RoundTrip() const {
  if (round_trip_us > 0) std::this_thread::sleep_for(std::chrono::microseconds(round_trip_us));
}

SQLRETURN Connect(Dbc* dbc, SQLCHAR* dsn, SQLSMALLINT dsn_length, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT) {
  // User and password are accepted and not checked: the database file's permissions decide.
  dbc->dsn = ArgString(dsn, dsn_length);
  Attributes attributes;
  ReadDsn(dbc->dsn, attributes);
  return Open(dbc, attributes);
}

SQLRETURN DriverConnect(Dbc* dbc, SQLHWND, SQLCHAR* in, SQLSMALLINT in_length, SQLCHAR* out, SQLSMALLINT out_max,
                        SQLSMALLINT* out_length, SQLUSMALLINT) {
  // There is nothing to prompt for in a console program: every completion mode connects with what
  // the string and the DSN give.
  std::string text = ArgString(in, in_length);
  Attributes given = ParseConnectionString(text);
  Attributes attributes;
  auto dsn = given.find("DSN");
  if (dsn != given.end() && !dsn->second.empty()) {
    dbc->dsn = dsn->second;
    ReadDsn(dbc->dsn, attributes);
  }
  for (const auto& [key, value] : given) attributes[key] = value;
  SQLRETURN rc = Open(dbc, attributes);
  if (!SQL_SUCCEEDED(rc)) return rc;
  if (out != nullptr || out_length != nullptr) {
    SQLRETURN put = PutString(dbc, text, out, out_max, out_length);
    if (put != SQL_SUCCESS) rc = put;
  }
  return rc;
}

SQLRETURN Disconnect(Dbc* dbc) {
  for (Stmt* stmt : dbc->statements) delete stmt;
  dbc->statements.clear();
  // An open manual transaction is rolled back, as the server does when a session ends.
  dbc->db.Close();
  return SQL_SUCCESS;
}

SQLRETURN SetConnectAttr(Dbc* dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
  const auto v = static_cast<SQLUINTEGER>(reinterpret_cast<uintptr_t>(value));
  switch (attribute) {
    case SQL_ATTR_AUTOCOMMIT: {
      bool on = v != SQL_AUTOCOMMIT_OFF;
      if (on && !dbc->autocommit && dbc->db.InTransaction()) {
        // Switching autocommit back on commits the open transaction.
        Error error;
        if (!dbc->db.EndTransaction(true, error)) {
          return SetDiag(dbc, SQL_ERROR, error.sqlstate.c_str(), error.native, error.message);
        }
      }
      dbc->autocommit = on;
      dbc->db.SetManualCommit(!on);
      return SQL_SUCCESS;
    }
    case SQL_ATTR_LOGIN_TIMEOUT:
      dbc->login_timeout = v;
      return SQL_SUCCESS;
    case SQL_ATTR_CONNECTION_TIMEOUT:
      dbc->connection_timeout = v;
      return SQL_SUCCESS;
    case SQL_ATTR_ACCESS_MODE:
      dbc->access_mode = v;
      return SQL_SUCCESS;
    case SQL_ATTR_TXN_ISOLATION:
      // SQLite transactions are serializable whatever is asked for.
      dbc->txn_isolation = v;
      return SQL_SUCCESS;
    case SQL_ATTR_PACKET_SIZE:
    case SQL_ATTR_QUIET_MODE:
    case SQL_ATTR_ODBC_CURSORS:
    case SQL_ATTR_METADATA_ID:
    case SQL_ATTR_CURRENT_CATALOG:
    case 1224:  // multiple active result sets: always on here
      return SQL_SUCCESS;
    default:
      return SetDiag(dbc, SQL_ERROR, Sqlstate::InvalidAttribute);
  }
}

SQLRETURN GetConnectAttr(Dbc* dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                         SQLINTEGER* length) {
  SQLUINTEGER v = 0;
  switch (attribute) {
    case SQL_ATTR_AUTOCOMMIT:
      v = dbc->autocommit ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
      break;
    case SQL_ATTR_LOGIN_TIMEOUT:
      v = dbc->login_timeout;
      break;
    case SQL_ATTR_CONNECTION_TIMEOUT:
      v = dbc->connection_timeout;
      break;
    case SQL_ATTR_ACCESS_MODE:
      v = dbc->access_mode;
      break;
    case SQL_ATTR_TXN_ISOLATION:
      v = dbc->txn_isolation;
      break;
    case SQL_ATTR_CONNECTION_DEAD:
      v = dbc->db.IsOpen() ? SQL_CD_FALSE : SQL_CD_TRUE;
      break;
    case SQL_ATTR_AUTO_IPD:
    case SQL_ATTR_METADATA_ID:
      v = SQL_FALSE;
      break;
    case SQL_ATTR_PACKET_SIZE:
      v = 4096;
      break;
    case SQL_ATTR_CURRENT_CATALOG:
      return PutString(dbc, dbc->db.Name(), static_cast<SQLCHAR*>(value), buffer_length, nullptr, length);
    default:
      return SetDiag(dbc, SQL_ERROR, Sqlstate::InvalidAttribute);
  }
  if (value != nullptr) *static_cast<SQLUINTEGER*>(value) = v;
  if (length != nullptr) *length = sizeof(SQLUINTEGER);
  return SQL_SUCCESS;
}

SQLRETURN EndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
  if (completion != SQL_COMMIT && completion != SQL_ROLLBACK) return SQL_ERROR;
  auto end = [completion](Dbc* dbc) {
    ClearDiag(dbc);
    Error error;
    if (!dbc->db.EndTransaction(completion == SQL_COMMIT, error)) {
      return SetDiag(dbc, SQL_ERROR, error.sqlstate.c_str(), error.native, error.message);
    }
    return static_cast<SQLRETURN>(SQL_SUCCESS);
  };
  if (type == SQL_HANDLE_DBC) {
    Dbc* dbc = As<Dbc>(handle);
    if (dbc == nullptr) return SQL_INVALID_HANDLE;
    return end(dbc);
  }
  if (type == SQL_HANDLE_ENV) {
    Env* env = As<Env>(handle);
    if (env == nullptr) return SQL_INVALID_HANDLE;
    ClearDiag(env);
    SQLRETURN rc = SQL_SUCCESS;
    for (Dbc* dbc : env->connections) {
      if (dbc->db.IsOpen() && end(dbc) != SQL_SUCCESS) rc = SQL_ERROR;
    }
    return rc;
  }
  return SQL_INVALID_HANDLE;
}

SQLRETURN NativeSql(Dbc* dbc, SQLCHAR* in, SQLINTEGER in_length, SQLCHAR* out, SQLINTEGER out_max,
                    SQLINTEGER* out_length) {
  // Statements are taken as they are written: no escape clauses are rewritten.
  return PutString(dbc, ArgString(in, in_length), out, out_max, nullptr, out_length);
}

}  // namespace tsqlite
