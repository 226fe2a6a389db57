#include "session.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace pxdb {
namespace {

// Frees a statement handle on every path out of a routine.
struct StmtHandle {
  SQLHSTMT h = SQL_NULL_HSTMT;
  ~StmtHandle() {
    if (h != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, h);
  }
};

bool Ok(SQLRETURN rc) {
  return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// "[unixODBC][tsqlite]Invalid object name 'x'." -> "Invalid object name 'x'."
std::string StripPrefixes(std::string message) {
  while (!message.empty() && message[0] == '[') {
    size_t close = message.find(']');
    if (close == std::string::npos) break;
    message.erase(0, close + 1);
  }
  return message;
}

// Column buffers are sized from the driver's column size, within bounds: a driver that reports 0
// or a huge size (text columns without a declared width) still gets a usable buffer. The size
// counts characters, and a code page 1252 column sends each as up to 3 bytes of UTF-8.
SQLULEN BufferSize(SQLULEN column_size) {
  if (column_size == 0 || column_size > 8000) column_size = 8000;
  return 3 * std::max<SQLULEN>(column_size, 40) + 1;
}

bool ReadResultSet(SQLHSTMT stmt, SQLSMALLINT ncols, ResultSet* set, DbError* error) {
  struct Column {
    std::vector<char> buffer;
    SQLLEN indicator = 0;
  };
  std::vector<Column> columns(static_cast<size_t>(ncols));
  for (SQLSMALLINT i = 1; i <= ncols; ++i) {
    SQLCHAR name[256] = {0};
    SQLSMALLINT name_len = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLDescribeCol(stmt, static_cast<SQLUSMALLINT>(i), name, sizeof name, &name_len, &type, &size, &digits, &nullable);
    set->columns.emplace_back(reinterpret_cast<char*>(name));
    Column& c = columns[static_cast<size_t>(i - 1)];
    c.buffer.assign(BufferSize(size), '\0');
    SQLRETURN rc = SQLBindCol(stmt, static_cast<SQLUSMALLINT>(i), SQL_C_CHAR, c.buffer.data(),
                              static_cast<SQLLEN>(c.buffer.size()), &c.indicator);
    if (!Ok(rc)) {
      *error = ReadDiag(SQL_HANDLE_STMT, stmt);
      return false;
    }
  }
  for (;;) {
    SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) return true;
    if (!Ok(rc)) {
      *error = ReadDiag(SQL_HANDLE_STMT, stmt);
      return false;
    }
    std::vector<std::optional<std::string>> row;
    for (Column& c : columns) {
      if (c.indicator == SQL_NULL_DATA) {
        row.emplace_back(std::nullopt);
      } else {
        row.emplace_back(std::string(c.buffer.data()));
      }
    }
    set->rows.push_back(std::move(row));
  }
}

}  // namespace

DbError ReadDiag(SQLSMALLINT handle_type, SQLHANDLE handle) {
  DbError e;
  SQLCHAR state[16] = {0};
  SQLCHAR text[2048] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  SQLRETURN rc = SQLGetDiagRec(handle_type, handle, 1, state, &native, text, sizeof text, &len);
  if (Ok(rc)) {
    e.native = static_cast<int>(native);
    e.sqlstate = reinterpret_cast<char*>(state);
    e.message = StripPrefixes(reinterpret_cast<char*>(text));
  } else {
    e.message = "no diagnostic record";
  }
  return e;
}

std::string FormatError(const DbError& error) {
  char head[64];
  std::snprintf(head, sizeof head, "Msg %d (%s): ", error.native,
                error.sqlstate.empty() ? "-----" : error.sqlstate.c_str());
  return head + error.message;
}

Session::~Session() {
  if (connected_) SQLDisconnect(dbc_);
  if (dbc_ != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  if (env_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

bool Session::Prepare(DbError* error) {
  if (!Ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
    error->message = "cannot allocate an ODBC environment";
    return false;
  }
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), SQL_IS_INTEGER);
  if (!Ok(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
    *error = ReadDiag(SQL_HANDLE_ENV, env_);
    return false;
  }
  return true;
}

bool Session::Connect(const std::string& dsn, const std::string& user, const std::string& password, DbError* error) {
  if (!Prepare(error)) return false;
  SQLRETURN rc = SQLConnect(dbc_, (SQLCHAR*)dsn.c_str(), SQL_NTS, (SQLCHAR*)user.c_str(), SQL_NTS,
                            (SQLCHAR*)password.c_str(), SQL_NTS);
  if (!Ok(rc)) {
    *error = ReadDiag(SQL_HANDLE_DBC, dbc_);
    return false;
  }
  connected_ = true;
  return true;
}

bool Session::DriverConnect(const std::string& connection_string, DbError* error) {
  if (!Prepare(error)) return false;
  SQLCHAR out[1024];
  SQLSMALLINT out_len = 0;
  SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, (SQLCHAR*)connection_string.c_str(), SQL_NTS, out, sizeof out,
                                  &out_len, SQL_DRIVER_NOPROMPT);
  if (!Ok(rc)) {
    *error = ReadDiag(SQL_HANDLE_DBC, dbc_);
    return false;
  }
  connected_ = true;
  return true;
}

bool Session::Exec(const std::string& sql, BatchResult* result, DbError* error) {
  StmtHandle stmt;
  if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt.h))) {
    *error = ReadDiag(SQL_HANDLE_DBC, dbc_);
    return false;
  }
  SQLRETURN rc = SQLExecDirect(stmt.h, (SQLCHAR*)sql.c_str(), SQL_NTS);
  if (rc == SQL_NO_DATA) {  // an UPDATE or DELETE that touched no row
    if (result) result->row_counts.push_back(0);
    return true;
  }
  if (!Ok(rc)) {
    *error = ReadDiag(SQL_HANDLE_STMT, stmt.h);
    return false;
  }
  for (;;) {
    SQLSMALLINT ncols = 0;
    SQLNumResultCols(stmt.h, &ncols);
    if (ncols > 0) {
      ResultSet set;
      bool read = ReadResultSet(stmt.h, ncols, &set, error);
      SQLFreeStmt(stmt.h, SQL_UNBIND);  // the bound buffers end with ReadResultSet
      if (!read) return false;
      if (result) result->sets.push_back(std::move(set));
    } else if (result) {
      SQLLEN count = -1;
      SQLRowCount(stmt.h, &count);
      if (count >= 0) result->row_counts.push_back(count);
    }
    // A driver without several results per batch answers anything but success here.
    rc = SQLMoreResults(stmt.h);
    if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE) return true;
    if (rc == SQL_ERROR) {
      DbError more = ReadDiag(SQL_HANDLE_STMT, stmt.h);
      if (more.sqlstate == "IM001" || more.sqlstate == "HYC00") return true;
      *error = more;
      return false;
    }
  }
}

bool Session::Exec(const std::string& sql, DbError* error) {
  StmtHandle stmt;
  if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt.h))) {
    *error = ReadDiag(SQL_HANDLE_DBC, dbc_);
    return false;
  }
  SQLRETURN rc = SQLExecDirect(stmt.h, (SQLCHAR*)sql.c_str(), SQL_NTS);
  if (rc == SQL_NO_DATA || Ok(rc)) return true;
  *error = ReadDiag(SQL_HANDLE_STMT, stmt.h);
  return false;
}

bool Session::Scalar(const std::string& sql, std::string* value, DbError* error) {
  StmtHandle stmt;
  if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt.h))) {
    *error = ReadDiag(SQL_HANDLE_DBC, dbc_);
    return false;
  }
  SQLRETURN rc = SQLExecDirect(stmt.h, (SQLCHAR*)sql.c_str(), SQL_NTS);
  if (!Ok(rc)) {
    *error = ReadDiag(SQL_HANDLE_STMT, stmt.h);
    return false;
  }
  char buffer[512] = {0};
  SQLLEN indicator = 0;
  SQLBindCol(stmt.h, 1, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
  rc = SQLFetch(stmt.h);
  if (rc == SQL_NO_DATA) {
    error->message = "the query returned no row";
    return false;
  }
  if (!Ok(rc)) {
    *error = ReadDiag(SQL_HANDLE_STMT, stmt.h);
    return false;
  }
  *value = indicator == SQL_NULL_DATA ? std::string() : std::string(buffer);
  return true;
}

bool Session::SetAutocommit(bool on, DbError* error) {
  SQLRETURN rc = SQLSetConnectAttr(
      dbc_, SQL_ATTR_AUTOCOMMIT,
      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)), SQL_IS_UINTEGER);
  if (!Ok(rc)) {
    *error = ReadDiag(SQL_HANDLE_DBC, dbc_);
    return false;
  }
  return true;
}

bool Session::Commit(DbError* error) {
  if (!Ok(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT))) {
    *error = ReadDiag(SQL_HANDLE_DBC, dbc_);
    return false;
  }
  return true;
}

bool Session::Rollback() {
  return Ok(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK));
}

Cursor::~Cursor() {
  if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

bool Cursor::Open(const Session& session, const std::string& sql, DbError* error) {
  if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, session.Handle(), &stmt_))) {
    *error = ReadDiag(SQL_HANDLE_DBC, session.Handle());
    return false;
  }
  // The default cursor already is forward-only and read-only; said here, as a server cursor of
  // another kind would copy the whole result before the first row.
  SQLSetStmtAttr(stmt_, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY), SQL_IS_UINTEGER);
  if (!Ok(SQLExecDirect(stmt_, (SQLCHAR*)sql.c_str(), SQL_NTS))) {
    *error = ReadDiag(SQL_HANDLE_STMT, stmt_);
    return false;
  }
  SQLSMALLINT ncols = 0;
  SQLNumResultCols(stmt_, &ncols);
  columns_.resize(static_cast<size_t>(ncols));
  buffers_.resize(columns_.size());
  indicators_.assign(columns_.size(), 0);
  for (SQLSMALLINT i = 1; i <= ncols; ++i) {
    const auto k = static_cast<size_t>(i - 1);
    SQLCHAR name[256] = {0};
    SQLSMALLINT name_len = 0, nullable = 0;
    ColumnInfo& c = columns_[k];
    SQLDescribeCol(stmt_, static_cast<SQLUSMALLINT>(i), name, sizeof name, &name_len, &c.type, &c.size, &c.digits,
                   &nullable);
    c.name = reinterpret_cast<char*>(name);
    buffers_[k].assign(BufferSize(c.size), '\0');
    if (!Ok(SQLBindCol(stmt_, static_cast<SQLUSMALLINT>(i), SQL_C_CHAR, buffers_[k].data(),
                       static_cast<SQLLEN>(buffers_[k].size()), &indicators_[k]))) {
      *error = ReadDiag(SQL_HANDLE_STMT, stmt_);
      return false;
    }
  }
  return true;
}

int Cursor::Fetch(Row* row, DbError* error) {
  SQLRETURN rc = SQLFetch(stmt_);
  if (rc == SQL_NO_DATA) return 0;
  if (!Ok(rc)) {
    *error = ReadDiag(SQL_HANDLE_STMT, stmt_);
    return -1;
  }
  row->resize(columns_.size());
  for (size_t k = 0; k < columns_.size(); ++k) {
    const SQLLEN n = indicators_[k];
    if (n == SQL_NULL_DATA) {
      (*row)[k].reset();
      continue;
    }
    if (n < 0 || static_cast<size_t>(n) >= buffers_[k].size()) {
      error->message = "a value of column " + columns_[k].name + " is longer than its column's " +
                       std::to_string(columns_[k].size) + " characters";
      return -1;
    }
    (*row)[k].emplace(buffers_[k].data(), static_cast<size_t>(n));
  }
  return 1;
}

size_t RowsPerInsert(size_t columns) {
  if (columns == 0) return 1;
  return std::max<size_t>(1, std::min<size_t>(1000, 2100 / columns));
}

Inserter::~Inserter() {
  if (full_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, full_);
}

bool Inserter::Prepare(const Session& session, const std::string& table, const std::vector<ColumnInfo>& columns,
                       size_t rows_per_statement, DbError* error) {
  dbc_ = session.Handle();
  table_ = table;
  columns_ = columns;
  rows_per_statement_ = std::max<size_t>(1, rows_per_statement);
  widths_.clear();
  for (const ColumnInfo& c : columns_) widths_.push_back(BufferSize(c.size));
  buffers_.resize(rows_per_statement_ * columns_.size());
  indicators_.assign(buffers_.size(), SQL_NULL_DATA);
  for (size_t i = 0; i < buffers_.size(); ++i) buffers_[i].assign(widths_[i % columns_.size()], '\0');
  if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &full_))) {
    *error = ReadDiag(SQL_HANDLE_DBC, dbc_);
    return false;
  }
  return PrepareRows(full_, rows_per_statement_, error);
}

bool Inserter::PrepareRows(SQLHSTMT stmt, size_t rows, DbError* error) {
  std::string names, one = "(";
  for (size_t k = 0; k < columns_.size(); ++k) {
    names += (k ? ", " : "") + columns_[k].name;
    one += k ? ", ?" : "?";
  }
  one += ")";
  std::string sql = "INSERT INTO " + table_ + " (" + names + ") VALUES ";
  for (size_t r = 0; r < rows; ++r) sql += (r ? ", " : "") + one;
  if (!Ok(SQLPrepare(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS))) {
    *error = ReadDiag(SQL_HANDLE_STMT, stmt);
    return false;
  }
  for (size_t i = 0; i < rows * columns_.size(); ++i) {
    const ColumnInfo& c = columns_[i % columns_.size()];
    SQLRETURN rc =
        SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR, c.type, c.size, c.digits,
                         buffers_[i].data(), static_cast<SQLLEN>(buffers_[i].size()), &indicators_[i]);
    if (!Ok(rc)) {
      *error = ReadDiag(SQL_HANDLE_STMT, stmt);
      return false;
    }
  }
  return true;
}

bool Inserter::Add(const Row& row, long long* written, DbError* error) {
  const size_t base = pending_ * columns_.size();
  for (size_t k = 0; k < columns_.size(); ++k) {
    std::vector<char>& buffer = buffers_[base + k];
    if (!row[k]) {
      indicators_[base + k] = SQL_NULL_DATA;
      continue;
    }
    const std::string& value = *row[k];
    if (value.size() >= buffer.size()) {
      error->message = "a value of column " + columns_[k].name + " is longer than its column";
      return false;
    }
    std::copy(value.begin(), value.end(), buffer.begin());
    buffer[value.size()] = '\0';
    indicators_[base + k] = static_cast<SQLLEN>(value.size());
  }
  if (++pending_ < rows_per_statement_) return true;
  return Flush(written, error);
}

bool Inserter::Flush(long long* written, DbError* error) {
  if (pending_ == 0) return true;
  if (!Execute(pending_, error)) return false;
  *written += static_cast<long long>(pending_);
  pending_ = 0;
  return true;
}

bool Inserter::Execute(size_t rows, DbError* error) {
  if (rows == rows_per_statement_) {
    if (Ok(SQLExecute(full_))) return true;
    *error = ReadDiag(SQL_HANDLE_STMT, full_);
    return false;
  }
  // The last rows of a table: a statement of their own, made once.
  StmtHandle tail;
  if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &tail.h))) {
    *error = ReadDiag(SQL_HANDLE_DBC, dbc_);
    return false;
  }
  if (!PrepareRows(tail.h, rows, error)) return false;
  if (Ok(SQLExecute(tail.h))) return true;
  *error = ReadDiag(SQL_HANDLE_STMT, tail.h);
  return false;
}

}  // namespace pxdb
