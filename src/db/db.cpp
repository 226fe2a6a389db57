#include "db/db.h"

#include <algorithm>
#include <cstring>

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
  bool Alloc(SQLHDBC hdbc) { return SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &stmt_) != SQL_ERROR; }
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

int Fetch(SQLHSTMT stmt) {
  SQLRETURN rc = SQLFetch(stmt);
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) return DB_OK;
  if (rc == SQL_NO_DATA) return DB_NODATA;
  return DB_FAIL;
}

// Appends text with every single quote doubled, a run of quote-free text at a time.
void AppendQuoted(std::string& out, std::string_view text) {
  for (size_t quote; (quote = text.find('\'')) != std::string_view::npos; text.remove_prefix(quote + 1)) {
    out.append(text.data(), quote + 1);
    out += '\'';
  }
  out.append(text);
}
// Allocates the statement's own handle and executes it (a run asked to stop throws instead): SQL_ERROR with the
// diagnostics kept in db when the execution fails, SQL_INVALID_HANDLE when there is no handle to execute it on.
SQLRETURN Execute_Own(DbConnection& db, StmtHandle& stmt, const std::string& statement) {
  Sig_Check();
  db.StatementStarts();
  if (!stmt.Alloc(db.Handle())) return SQL_INVALID_HANDLE;
  const SQLRETURN rc = statement.empty() ? SQL_ERROR : Execute(stmt.get(), statement);
  if (rc == SQL_ERROR) db.Capture(stmt.get());
  return rc;
}

}  // namespace

int DbConnection::Connect(const char* user, const char* password, const char* dsn) {
  Disconnect();
  if (SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &henv_) == SQL_ERROR) {
    henv_ = SQL_NULL_HENV;
    return -1;
  }
  SQLSetEnvAttr(henv_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), SQL_IS_INTEGER);
  if (SQLAllocHandle(SQL_HANDLE_DBC, henv_, &hdbc_) == SQL_ERROR) {
    hdbc_ = SQL_NULL_HDBC;
    return -1;
  }
  SQLRETURN rc = SQLConnect(hdbc_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(dsn)), SQL_NTS,
                            reinterpret_cast<SQLCHAR*>(const_cast<char*>(user)), SQL_NTS,
                            reinterpret_cast<SQLCHAR*>(const_cast<char*>(password)), SQL_NTS);
  connected_ = rc != SQL_ERROR;
  if (!connected_) {
    // Why the driver manager or the driver refused (IM002 for an unknown data source, the
    // server's login failure, ...): kept as the reason of the connect failure.
    Db_Diag_Get(SQL_HANDLE_DBC, hdbc_, &diag_);
    diag_fresh_ = diag_.state[0] != '\0';
  }
  return connected_ ? 0 : -1;
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

SQLHSTMT DbConnection::Prepared(const std::string& text) {
  if (const auto it = prepared_.find(text); it != prepared_.end()) return it->second->stmt;
  auto prepared = std::make_unique<PreparedStmt>();
  if (SQLAllocHandle(SQL_HANDLE_STMT, hdbc_, &prepared->stmt) == SQL_ERROR) {
    prepared->stmt = SQL_NULL_HSTMT;
    ClearDiag();
    return SQL_NULL_HSTMT;
  }
  const SQLRETURN rc = SQLPrepare(prepared->stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())),
                                  static_cast<SQLINTEGER>(text.size()));
  if (!SQL_SUCCEEDED(rc)) {
    Db_Diag_Get(SQL_HANDLE_STMT, prepared->stmt, &diag_);
    return SQL_NULL_HSTMT;
  }
  return prepared_.emplace(text, std::move(prepared)).first->second->stmt;
}

void DbConnection::ClearDiag() {
  std::memset(&diag_, 0, sizeof(diag_));
}

void DbConnection::Capture(SQLHSTMT stmt) {
  Db_Diag_Get(SQL_HANDLE_STMT, stmt, &diag_);
  diag_fresh_ = true;
}

bool DbConnection::TakeReason(DiagSatz* reason) {
  if (!diag_fresh_) return false;
  diag_fresh_ = false;
  *reason = diag_;
  return true;
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

int DbCursor::Open(const std::string& statement) {
  Close();
  Sig_Check();
  db_.StatementStarts();
  if (SQLAllocHandle(SQL_HANDLE_STMT, db_.Handle(), &stmt_) == SQL_ERROR) {
    stmt_ = SQL_NULL_HSTMT;
    return DB_FAIL;
  }
  // A non-scrollable cursor with lock concurrency makes SQL Server's driver use a server cursor,
  // which lets the run's other statements execute while this cursor holds rows.
  SQLSetStmtAttr(stmt_, SQL_ATTR_CURSOR_SCROLLABLE, reinterpret_cast<SQLPOINTER>(SQL_NONSCROLLABLE), SQL_IS_INTEGER);
  SQLSetStmtAttr(stmt_, SQL_ATTR_CONCURRENCY, reinterpret_cast<SQLPOINTER>(SQL_CONCUR_LOCK), SQL_IS_INTEGER);
  SQLRETURN rc = statement.empty() ? SQL_ERROR : Execute(stmt_, statement);
  if (rc == SQL_SUCCESS_WITH_INFO) return DB_OK;
  if (rc == SQL_ERROR) {
    db_.Capture(stmt_);
    Close();
  }
  return rc;
}

int DbCursor::Fetch(std::initializer_list<DbCol> cols) {
  // A fetch of a cursor whose open failed runs nothing: the open's reason stays.
  if (stmt_ == SQL_NULL_HSTMT) return DB_FAIL;
  db_.StatementStarts();
  BindColumns(stmt_, cols, &indicator_);
  int r = ::Fetch(stmt_);
  if (r == DB_FAIL) {
    db_.Capture(stmt_);
    Close();
  }
  return r;
}

int DbCursor::Close() {
  int r = 0;
  if (stmt_ != SQL_NULL_HSTMT) r = SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
  stmt_ = SQL_NULL_HSTMT;
  return r;
}

int Db_Query_One(DbConnection& db, const std::string& statement, std::initializer_list<DbCol> cols) {
  StmtHandle stmt;
  const SQLRETURN rc = Execute_Own(db, stmt, statement);
  if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) return DB_FAIL;
  SQLLEN indicator = 0;
  BindColumns(stmt.get(), cols, &indicator);
  return Fetch(stmt.get());
}

int Db_Query_Rows(DbConnection& db, const std::string& statement, std::initializer_list<DbCol> cols,
                  const std::function<void()>& on_row) {
  StmtHandle stmt;
  const SQLRETURN rc = Execute_Own(db, stmt, statement);
  if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) return DB_FAIL;
  // Bound once: the range reads are the batched step's own, not the day-by-day routines' cursors.
  SQLLEN indicator = 0;
  BindColumns(stmt.get(), cols, &indicator);
  for (bool first = true;; first = false) {
    if (!first) ClearColumns(cols);
    int r = Fetch(stmt.get());
    if (r == DB_NODATA) return DB_OK;
    if (r != DB_OK) return r;
    on_row();
  }
}

int Db_Write_Rows(DbConnection& db, const std::string& head, const std::vector<std::string>& rows, long* written,
                  std::size_t per_statement) {
  if (written != nullptr) *written = -1;
  for (std::size_t first = 0; first < rows.size(); first += per_statement) {
    std::string statement = head;
    const std::size_t last = std::min(rows.size(), first + per_statement);
    for (std::size_t i = first; i < last; ++i) {
      if (i > first) statement += ", ";
      statement += rows[i];
    }
    long done = 0;
    if (int r = Db_Write(db, statement, 0, &done); r != DB_OK) return r;
    if (written != nullptr) *written = std::max(*written, 0L) + done;
  }
  return DB_OK;
}

namespace {

// Text parameters are declared with one size whatever their value, so that the server sees the
// same parameter types at every execution of a statement (and keeps its plan): room for any
// value of the time-recording tables, also in UTF-8.
constexpr SQLULEN kParamChars = 400;

// Binds the parameters and executes the prepared statement: SQL_ERROR with the diagnostics kept
// in db when it fails, SQL_INVALID_HANDLE when the statement could not be prepared.
SQLRETURN Execute_Prepared(DbConnection& db, SQLHSTMT stmt, std::vector<DbParam>& params) {
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
  if (rc == SQL_ERROR) Db_Diag_Get(SQL_HANDLE_STMT, stmt, &db.Diag());
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

int Db_Prepared_Write(DbConnection& db, const std::string& text, std::vector<DbParam>& params, int passthrough,
                      long* rows) {
  if (rows != nullptr) *rows = -1;
  const SQLHSTMT stmt = db.Prepared(text);
  const SQLRETURN rc = Execute_Prepared(db, stmt, params);
  if (rc == SQL_INVALID_HANDLE) return passthrough != 0 && db.Diag().native == passthrough ? passthrough : DB_FAIL;
  if (rc == SQL_ERROR) {
    Release_Prepared(stmt);
    return passthrough != 0 && db.Diag().native == passthrough ? passthrough : DB_FAIL;
  }
  if (rows != nullptr && (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO)) {
    SQLLEN count = 0;
    if (!SQL_SUCCEEDED(SQLRowCount(stmt, &count)) || count < 0) count = 1;
    *rows = static_cast<long>(count);
  }
  Release_Prepared(stmt);
  return rc;
}

int Db_Prepared_One(DbConnection& db, const std::string& text, std::vector<DbParam>& params,
                    std::initializer_list<DbCol> cols) {
  const SQLHSTMT stmt = db.Prepared(text);
  const SQLRETURN rc = Execute_Prepared(db, stmt, params);
  if (rc == SQL_INVALID_HANDLE) return DB_FAIL;
  if (rc != SQL_ERROR) {
    SQLLEN indicator = 0;
    BindColumns(stmt, cols, &indicator);
    const int r = Fetch(stmt);
    Release_Prepared(stmt);
    return r;
  }
  Release_Prepared(stmt);
  return DB_FAIL;
}

int Db_Prepared_Rows(DbConnection& db, const std::string& text, std::vector<DbParam>& params,
                     std::initializer_list<DbCol> cols, const std::function<void()>& on_row) {
  const SQLHSTMT stmt = db.Prepared(text);
  const SQLRETURN rc = Execute_Prepared(db, stmt, params);
  if (rc == SQL_INVALID_HANDLE) return DB_FAIL;
  int r = DB_FAIL;
  if (rc != SQL_ERROR) {
    SQLLEN indicator = 0;
    BindColumns(stmt, cols, &indicator);
    for (bool first = true;; first = false) {
      if (!first) ClearColumns(cols);
      r = Fetch(stmt);
      if (r != DB_OK) break;
      on_row();
    }
    if (r == DB_NODATA) r = DB_OK;
  }
  Release_Prepared(stmt);
  return r;
}

int Db_Write(DbConnection& db, const std::string& statement, int passthrough, long* rows) {
  if (rows != nullptr) *rows = -1;
  StmtHandle stmt;
  const SQLRETURN rc = Execute_Own(db, stmt, statement);
  if (rc == SQL_INVALID_HANDLE) return DB_FAIL;
  if (rc == SQL_ERROR) {
    if (passthrough != 0 && db.Diag().native == passthrough) return passthrough;
    return DB_FAIL;
  }
  if (rows != nullptr && (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO)) {
    SQLLEN count = 0;
    if (!SQL_SUCCEEDED(SQLRowCount(stmt.get(), &count)) || count < 0) count = 1;
    *rows = static_cast<long>(count);
  }
  return rc;
}
