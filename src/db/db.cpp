#include "db/db.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "common/interrupt.h"

namespace {

// Frees a statement handle on every path out of a single-shot routine.
class StmtHandle {
 public:
  StmtHandle() = default;
  ~StmtHandle() {
    if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
  }
  StmtHandle(const StmtHandle&) = delete;
  StmtHandle& operator=(const StmtHandle&) = delete;
  // A handle of its own, also when it runs its statement again.
  bool Alloc(SQLHDBC hdbc) {
    if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
    stmt_ = SQL_NULL_HSTMT;
    return SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &stmt_) != SQL_ERROR;
  }
  SQLHSTMT get() const { return stmt_; }

 private:
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

SQLRETURN Execute(SQLHSTMT stmt, const std::string& statement) {
  return SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(statement.c_str())), SQL_NTS);
}

// Binds the columns in order. indicator receives every column's length/indicator; ODBC writes an
// SQLLEN there, so it must be SQLLEN wide, and it must live until the fetch. Nobody reads it:
// every buffer starts cleared, so NULL arrives as empty.
// A NULL leaves a bound buffer as it was: cleared before every fetch, it reads as "" or 0.
void ClearColumns(std::initializer_list<DbCol> cols) {
  for (const DbCol& col : cols) {
    if (col.c_type == SQL_C_CHAR) {
      std::memset(col.buffer, 0, static_cast<size_t>(col.size));
    } else {
      *static_cast<int32_t*>(col.buffer) = 0;
    }
  }
}

void BindColumns(SQLHSTMT stmt, std::initializer_list<DbCol> cols, SQLLEN* indicator) {
  ClearColumns(cols);
  SQLUSMALLINT number = 1;
  for (const DbCol& col : cols) {
    SQLBindCol(stmt, number++, col.c_type, col.buffer, col.size, col.indicator ? col.indicator : indicator);
  }
}

// The result code of a driver's return code.
int Db_Code(SQLRETURN rc) {
  switch (rc) {
    case SQL_SUCCESS:
      return DB_OK;
    case SQL_SUCCESS_WITH_INFO:
      return DB_INFO;
    case SQL_NO_DATA:
      return DB_NODATA;
    default:
      return DB_FAIL;
  }
}

// A failure and its reason, record 1 of the handle's diagnostics.
DbResult Failed(SQLSMALLINT handle_type, SQLHANDLE handle) {
  DbResult result{DB_FAIL, {}};
  Db_Diag_Get(handle_type, handle, &result.diag);
  return result;
}

// A failure whose reason is known already (or that has none: a handle not allocated).
DbResult Failed(const DiagSatz& diag) {
  return {DB_FAIL, diag};
}

// A fetch: 0 with a row, 100 at the end, -1 with why on failure.
DbResult Fetch(SQLHSTMT stmt) {
  const SQLRETURN rc = SQLFetch(stmt);
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) return {DB_OK, {}};
  if (rc == SQL_NO_DATA) return {DB_NODATA, {}};
  return Failed(SQL_HANDLE_STMT, stmt);
}

// A write that failed: its native code when the caller passes that code through, else -1.
DbResult Passed_Through(DbResult failed, int passthrough) {
  if (passthrough != 0 && failed.diag.native == passthrough) failed.code = passthrough;
  return failed;
}

// Reads a write's results after its first to the end: false with why in *failure when one of
// them failed (a trigger that raised an error after the write's row count: the server rolled the
// write back).
bool Rest_Read(SQLHSTMT stmt, DbResult* failure) {
  for (;;) {
    const SQLRETURN rc = SQLMoreResults(stmt);
    if (rc == SQL_ERROR) {
      *failure = Failed(SQL_HANDLE_STMT, stmt);
      return false;
    }
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return true;
  }
}

// A write that executed with rc: its result code and its own row count (the first result's) into
// *rows where asked, after every result has been read. A count the server does not give is
// unknown; an own count of 0 is no data, as ODBC 3 drivers report an UPDATE that touched no row.
DbResult Write_Results(SQLHSTMT stmt, SQLRETURN rc, int passthrough, long* rows) {
  SQLLEN count = -1;
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
    if (!SQL_SUCCEEDED(SQLRowCount(stmt, &count))) count = -1;
  }
  DbResult failure;
  if (!Rest_Read(stmt, &failure)) return Passed_Through(failure, passthrough);
  int code = Db_Code(rc);
  if (code == DB_OK && count == 0) code = DB_NODATA;
  if (rows != nullptr && (code == DB_OK || code == DB_INFO))
    *rows = count < 0 ? DB_ROWS_UNKNOWN : static_cast<long>(count);
  return {code, {}};
}

// Appends text with every single quote doubled, a run of quote-free text at a time.
void AppendQuoted(std::string& out, std::string_view text) {
  for (size_t quote; (quote = text.find('\'')) != std::string_view::npos; text.remove_prefix(quote + 1)) {
    out.append(text.data(), quote + 1);
    out += '\'';
  }
  out.append(text);
}
// Allocates the statement's own handle and executes it (a run asked to stop throws instead): the
// driver's return code, with why in *failure when it is SQL_ERROR, SQL_INVALID_HANDLE when there
// is no handle to execute it on.
SQLRETURN Execute_Own(DbConnection& db, StmtHandle& stmt, const std::string& statement, DbResult* failure) {
  Sig_Check();
  db.CheckBlocked();
  if (!stmt.Alloc(db.Handle())) return SQL_INVALID_HANDLE;
  const SQLRETURN rc = statement.empty() ? SQL_ERROR : Execute(stmt.get(), statement);
  if (rc == SQL_ERROR) *failure = Failed(SQL_HANDLE_STMT, stmt.get());
  return rc;
}

}  // namespace

DbResult DbConnection::Connect(const char* user, const char* password, const char* dsn) {
  Disconnect();
  if (SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &henv_) == SQL_ERROR) {
    henv_ = SQL_NULL_HENV;
    return Failed(DiagSatz{});
  }
  SQLSetEnvAttr(henv_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), SQL_IS_INTEGER);
  if (SQLAllocHandle(SQL_HANDLE_DBC, henv_, &hdbc_) == SQL_ERROR) {
    hdbc_ = SQL_NULL_HDBC;
    return Failed(SQL_HANDLE_ENV, henv_);
  }
  SQLRETURN rc = SQLConnect(hdbc_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(dsn)), SQL_NTS,
                            reinterpret_cast<SQLCHAR*>(const_cast<char*>(user)), SQL_NTS,
                            reinterpret_cast<SQLCHAR*>(const_cast<char*>(password)), SQL_NTS);
  connected_ = rc != SQL_ERROR;
  if (!connected_) return Failed(SQL_HANDLE_DBC, hdbc_);
  return {DB_OK, {}};
}

DbResult DbConnection::SetLockTimeout(long milliseconds) {
  StmtHandle stmt;
  DbResult failure = Failed(DiagSatz{});
  const SQLRETURN rc = Execute_Own(*this, stmt, "SET LOCK_TIMEOUT " + std::to_string(milliseconds), &failure);
  if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) return failure;
  return {DB_OK, {}};
}

void DbConnection::Pause(int retry, int32_t native) {
  ++(native == kDbDeadlock ? retries_.deadlock : retries_.lock_timeout);
  const long base = static_cast<long>(kDbRetryPauseMs) << retry;
  const long pause = base + static_cast<long>(jitter_() % static_cast<unsigned long>(base + 1));
  std::this_thread::sleep_for(std::chrono::milliseconds(pause));
}

void DbConnection::Note(const DbResult& r, bool write) {
  if (r.code == DB_FAIL && (r.diag.native == kDbDataFull || r.diag.native == kDbLogFull)) {
    blocked_ = r;
  } else if (Db_Lock_Refused(r)) {
    if (++refused_in_row_ >= kDbBlockedAfter) blocked_ = r;
  } else if (write && r.code != DB_FAIL) {
    refused_in_row_ = 0;
  }
}

void DbConnection::Disconnect() {
  prepared_.clear();  // the statements go before the connection they belong to
  if (connected_) SQLDisconnect(hdbc_);
  connected_ = false;
  if (hdbc_ != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, hdbc_);
  hdbc_ = SQL_NULL_HDBC;
  if (henv_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, henv_);
  henv_ = SQL_NULL_HENV;
}

SQLHSTMT DbConnection::Prepared(const std::string& text, DiagSatz* diag) {
  std::memset(diag, 0, sizeof(*diag));
  if (const auto it = prepared_.find(text); it != prepared_.end()) return it->second->stmt;
  auto prepared = std::make_unique<PreparedStmt>();
  if (SQLAllocHandle(SQL_HANDLE_STMT, hdbc_, &prepared->stmt) == SQL_ERROR) {
    prepared->stmt = SQL_NULL_HSTMT;
    return SQL_NULL_HSTMT;
  }
  const SQLRETURN rc = SQLPrepare(prepared->stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())),
                                  static_cast<SQLINTEGER>(text.size()));
  if (!SQL_SUCCEEDED(rc)) {
    Db_Diag_Get(SQL_HANDLE_STMT, prepared->stmt, diag);
    return SQL_NULL_HSTMT;
  }
  return prepared_.emplace(text, std::move(prepared)).first->second->stmt;
}

SQLRETURN Db_Diag_Get(SQLSMALLINT handle_type, SQLHANDLE handle, DiagSatz* record) {
  std::memset(record, 0, sizeof(*record));
  SQLINTEGER native = 0;
  SQLSMALLINT text_len = 0;
  SQLRETURN rc = SQLGetDiagRec(handle_type, handle, 1, reinterpret_cast<SQLCHAR*>(record->state), &native,
                               reinterpret_cast<SQLCHAR*>(record->text), sizeof(record->text), &text_len);
  record->native = native;
  return rc;
}

std::string Db_FormatArgs(const char* fmt, std::span<const std::string_view> texts, std::span<const long> numbers) {
  std::string out;
  out.reserve(std::strlen(fmt) + 128);
  auto text = texts.begin();
  auto number = numbers.begin();
  for (const char* p = fmt; *p != '\0'; ++p) {
    if (*p != '%') {
      // The statement text between conversions goes over in one piece.
      const char* next = std::strchr(p, '%');
      const size_t run = next != nullptr ? static_cast<size_t>(next - p) : std::strlen(p);
      out.append(p, run);
      p += run - 1;
      continue;
    }
    ++p;
    if (*p == '%') {
      out += '%';
      continue;
    }
    if (*p == 'l') ++p;
    if (*p == 's' && text != texts.end()) {
      AppendQuoted(out, *text++);
    } else if (*p == 'd' && number != numbers.end()) {
      out += std::to_string(*number++);
    } else {
      return {};
    }
  }
  return text == texts.end() && number == numbers.end() ? out : std::string();
}

DbResult DbCursor::Open(const std::string& statement) {
  return db_.Retried(false, [&] { return OpenOnce(statement); });
}

DbResult DbCursor::OpenOnce(const std::string& statement) {
  Close();
  Sig_Check();
  db_.CheckBlocked();
  if (SQLAllocHandle(SQL_HANDLE_STMT, db_.Handle(), &stmt_) == SQL_ERROR) {
    stmt_ = SQL_NULL_HSTMT;
    return Failed(DiagSatz{});
  }
  // A non-scrollable cursor with lock concurrency makes SQL Server's driver use a server cursor,
  // which lets the run's other statements execute while this cursor holds rows.
  SQLSetStmtAttr(stmt_, SQL_ATTR_CURSOR_SCROLLABLE, reinterpret_cast<SQLPOINTER>(SQL_NONSCROLLABLE), SQL_IS_INTEGER);
  SQLSetStmtAttr(stmt_, SQL_ATTR_CONCURRENCY, reinterpret_cast<SQLPOINTER>(SQL_CONCUR_LOCK), SQL_IS_INTEGER);
  SQLRETURN rc = statement.empty() ? SQL_ERROR : Execute(stmt_, statement);
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) return {DB_OK, {}};
  if (rc != SQL_ERROR) return {Db_Code(rc), {}};
  DbResult failed = Failed(SQL_HANDLE_STMT, stmt_);
  Close();
  return failed;
}

DbResult DbCursor::Fetch(std::initializer_list<DbCol> cols) {
  // A fetch of a cursor whose open failed runs nothing, and has no diagnostic of its own.
  if (stmt_ == SQL_NULL_HSTMT) return Failed(DiagSatz{});
  BindColumns(stmt_, cols, &indicator_);
  DbResult r = ::Fetch(stmt_);
  if (r.code == DB_FAIL) Close();
  return r;
}

int DbCursor::Close() {
  int r = DB_OK;
  if (stmt_ != SQL_NULL_HSTMT) r = Db_Code(SQLFreeHandle(SQL_HANDLE_STMT, stmt_));
  stmt_ = SQL_NULL_HSTMT;
  return r;
}

DbResult Db_Query_One(DbConnection& db, const std::string& statement, std::initializer_list<DbCol> cols) {
  return db.Retried(false, [&] {
    StmtHandle stmt;
    DbResult failure = Failed(DiagSatz{});
    const SQLRETURN rc = Execute_Own(db, stmt, statement, &failure);
    if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) return failure;
    SQLLEN indicator = 0;
    BindColumns(stmt.get(), cols, &indicator);
    return Fetch(stmt.get());
  });
}

namespace {

// Text parameters are declared with one size whatever their value, so that the server sees the
// same parameter types at every execution of a statement (and keeps its plan): room for any
// value of the time-recording tables, also in UTF-8.
constexpr SQLULEN kParamChars = 400;

// Binds the parameters and executes the prepared statement: SQL_ERROR with why in *failure when
// it fails, SQL_INVALID_HANDLE when the statement could not be prepared. A run asked to stop
// throws instead, as before any other statement: the batched step runs (almost) only prepared
// statements.
SQLRETURN Execute_Prepared(SQLHSTMT stmt, std::vector<DbParam>& params, DbResult* failure) {
  Sig_Check();
  if (stmt == SQL_NULL_HSTMT) return SQL_INVALID_HANDLE;
  static const int32_t kNoNumber = 0;
  SQLFreeStmt(stmt, SQL_RESET_PARAMS);
  SQLUSMALLINT number = 1;
  for (DbParam& p : params) {
    const bool text = p.c_type == SQL_C_CHAR;
    const void* value = p.value != nullptr ? p.value : text ? static_cast<const void*>("") : &kNoNumber;
    SQLBindParameter(stmt, number++, SQL_PARAM_INPUT, p.c_type, text ? SQL_VARCHAR : SQL_INTEGER,
                     text ? kParamChars : 0, 0, const_cast<void*>(value), text && p.length > 0 ? p.length : 0,
                     &p.length);
  }
  const SQLRETURN rc = SQLExecute(stmt);
  if (rc == SQL_ERROR) *failure = Failed(SQL_HANDLE_STMT, stmt);
  return rc;
}

// Leaves a prepared statement ready for its next execution, with no pointer to this one's
// buffers: result closed, columns and parameters unbound.
void Release_Prepared(SQLHSTMT stmt) {
  SQLFreeStmt(stmt, SQL_CLOSE);
  SQLFreeStmt(stmt, SQL_UNBIND);
  SQLFreeStmt(stmt, SQL_RESET_PARAMS);
}

}  // namespace

std::size_t Db_Chunk_Rows(std::size_t left, std::size_t largest) {
  for (const std::size_t size : {std::size_t{8}, std::size_t{64}}) {
    if (left <= size && size < largest) return size;
  }
  return largest;
}

DbResult Db_Prepared_Write(DbConnection& db, const std::string& text, std::vector<DbParam>& params, int passthrough,
                           long* rows) {
  if (rows != nullptr) *rows = -1;
  return db.Retried(true, [&] {
    DbResult failure = Failed(DiagSatz{});
    db.CheckBlocked();
    const SQLHSTMT stmt = db.Prepared(text, &failure.diag);
    const SQLRETURN rc = Execute_Prepared(stmt, params, &failure);
    if (rc == SQL_INVALID_HANDLE) return Passed_Through(failure, passthrough);
    DbResult r = rc == SQL_ERROR ? Passed_Through(failure, passthrough) : Write_Results(stmt, rc, passthrough, rows);
    Release_Prepared(stmt);
    return r;
  });
}

DbResult Db_Prepared_One(DbConnection& db, const std::string& text, std::vector<DbParam>& params,
                         std::initializer_list<DbCol> cols) {
  return db.Retried(false, [&] {
    DbResult failure = Failed(DiagSatz{});
    db.CheckBlocked();
    const SQLHSTMT stmt = db.Prepared(text, &failure.diag);
    const SQLRETURN rc = Execute_Prepared(stmt, params, &failure);
    if (rc == SQL_INVALID_HANDLE) return failure;
    if (rc != SQL_ERROR) {
      SQLLEN indicator = 0;
      BindColumns(stmt, cols, &indicator);
      DbResult r = Fetch(stmt);
      Release_Prepared(stmt);
      return r;
    }
    Release_Prepared(stmt);
    return failure;
  });
}

DbResult Db_Prepared_Rows(DbConnection& db, const std::string& text, std::vector<DbParam>& params,
                          std::initializer_list<DbCol> cols, const std::function<void()>& on_row) {
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  // Its execution runs again when refused by locks; a fetch that fails has handed rows on already.
  DbResult r = db.Retried(false, [&] {
    DbResult failure = Failed(DiagSatz{});
    db.CheckBlocked();
    stmt = db.Prepared(text, &failure.diag);
    const SQLRETURN rc = Execute_Prepared(stmt, params, &failure);
    if (rc == SQL_ERROR) Release_Prepared(stmt);
    return rc == SQL_ERROR || rc == SQL_INVALID_HANDLE ? failure : DbResult{};
  });
  if (r.code != DB_OK) return r;
  SQLLEN indicator = 0;
  BindColumns(stmt, cols, &indicator);
  for (bool first = true;; first = false) {
    if (!first) ClearColumns(cols);
    r = Fetch(stmt);
    if (r.code != DB_OK) break;
    on_row();
  }
  if (r.code == DB_NODATA) r.code = DB_OK;
  Release_Prepared(stmt);
  return r;
}

DbResult Db_Write(DbConnection& db, const std::string& statement, int passthrough, long* rows) {
  if (rows != nullptr) *rows = -1;
  return db.Retried(true, [&] {
    StmtHandle stmt;
    DbResult failure = Failed(DiagSatz{});
    const SQLRETURN rc = Execute_Own(db, stmt, statement, &failure);
    if (rc == SQL_INVALID_HANDLE) return failure;
    if (rc == SQL_ERROR) return Passed_Through(failure, passthrough);
    return Write_Results(stmt.get(), rc, passthrough, rows);
  });
}
