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

}  // namespace pxdb
