#include "db/db.h"

#include <algorithm>
#include <cstring>

namespace {
SQLHENV henv = SQL_NULL_HENV;
SQLHDBC hdbc = SQL_NULL_HDBC;
DiagSatz diag{};

// Handed to every column binding as its length/indicator. ODBC writes an SQLLEN there, so it
// must be SQLLEN wide; nobody reads it: every buffer starts cleared, so NULL arrives as empty.
SQLLEN shared_indicator = -1;

// Frees a statement handle on every path out of a single-shot routine.
class StmtHandle {
 public:
  StmtHandle() = default;
  ~StmtHandle() {
    if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
  }
  StmtHandle(const StmtHandle&) = delete;
  StmtHandle& operator=(const StmtHandle&) = delete;
  bool Alloc() { return SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &stmt_) != SQL_ERROR; }
  SQLHSTMT get() const { return stmt_; }

 private:
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

SQLRETURN Execute(SQLHSTMT stmt, const std::string& statement) {
  return SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(statement.c_str())), SQL_NTS);
}

void BindColumns(SQLHSTMT stmt, std::initializer_list<DbCol> cols) {
  SQLUSMALLINT number = 1;
  for (const DbCol& col : cols) {
    if (col.c_type == SQL_C_CHAR) {
      std::memset(col.buffer, 0, static_cast<size_t>(col.size));
    } else {
      *static_cast<int32_t*>(col.buffer) = 0;
    }
    SQLBindCol(stmt, number++, col.c_type, col.buffer, col.size, &shared_indicator);
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
}  // namespace

int Db_Connect(const char* user, const char* password, const char* dsn) {
  if (SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &henv) == SQL_ERROR) return -1;
  SQLSetEnvAttr(henv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), SQL_IS_INTEGER);
  if (SQLAllocHandle(SQL_HANDLE_DBC, henv, &hdbc) == SQL_ERROR) return -1;
  SQLRETURN rc = SQLConnect(hdbc, reinterpret_cast<SQLCHAR*>(const_cast<char*>(dsn)), SQL_NTS,
                            reinterpret_cast<SQLCHAR*>(const_cast<char*>(user)), SQL_NTS,
                            reinterpret_cast<SQLCHAR*>(const_cast<char*>(password)), SQL_NTS);
  return rc == SQL_ERROR ? -1 : 0;
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

const DiagSatz& Db_Diag() { return diag; }
void Db_Diag_Clear() { std::memset(&diag, 0, sizeof(diag)); }

std::string Db_Format(const char* fmt, std::initializer_list<SqlArg> args) {
  std::string out;
  out.reserve(std::strlen(fmt) + 128);
  const SqlArg* arg = args.begin();
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
    bool is_long = false;
    if (*p == 'l') {
      is_long = true;
      ++p;
    }
    if (arg == args.end()) return {};
    if (*p == 's' && !is_long && arg->IsText()) {
      AppendQuoted(out, arg->Text());
    } else if (*p == 'd' && !arg->IsText()) {
      out += std::to_string(arg->Number());
    } else {
      return {};
    }
    ++arg;
  }
  return arg == args.end() ? out : std::string();
}

int Db_Cursor_Open(DbCursor& slot, const std::string& statement) {
  if (SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &slot.stmt) == SQL_ERROR) {
    slot.stmt = SQL_NULL_HSTMT;
    return DB_FAIL;
  }
  // A non-scrollable cursor with lock concurrency makes SQL Server's driver use a server cursor,
  // which lets the run's other statements execute while this cursor holds rows.
  SQLSetStmtAttr(slot.stmt, SQL_ATTR_CURSOR_SCROLLABLE, reinterpret_cast<SQLPOINTER>(SQL_NONSCROLLABLE), SQL_IS_INTEGER);
  SQLSetStmtAttr(slot.stmt, SQL_ATTR_CONCURRENCY, reinterpret_cast<SQLPOINTER>(SQL_CONCUR_LOCK), SQL_IS_INTEGER);
  SQLRETURN rc = statement.empty() ? SQL_ERROR : Execute(slot.stmt, statement);
  if (rc == SQL_SUCCESS_WITH_INFO) return DB_OK;
  if (rc == SQL_ERROR) {
    Db_Diag_Get(SQL_HANDLE_STMT, slot.stmt, &diag);
    SQLFreeHandle(SQL_HANDLE_STMT, slot.stmt);
    slot.stmt = SQL_NULL_HSTMT;
  }
  return rc;
}

int Db_Cursor_Fetch(DbCursor& slot, std::initializer_list<DbCol> cols) {
  if (slot.stmt == SQL_NULL_HSTMT) return DB_FAIL;
  BindColumns(slot.stmt, cols);
  int r = Fetch(slot.stmt);
  if (r == DB_FAIL) {
    Db_Diag_Get(SQL_HANDLE_STMT, slot.stmt, &diag);
    SQLFreeHandle(SQL_HANDLE_STMT, slot.stmt);
    slot.stmt = SQL_NULL_HSTMT;
  }
  return r;
}

int Db_Cursor_Close(DbCursor& slot) {
  int r = 0;
  if (slot.stmt != SQL_NULL_HSTMT) r = SQLFreeHandle(SQL_HANDLE_STMT, slot.stmt);
  slot.stmt = SQL_NULL_HSTMT;
  return r;
}

int Db_Query_One(const std::string& statement, std::initializer_list<DbCol> cols) {
  StmtHandle stmt;
  if (!stmt.Alloc()) return DB_FAIL;
  SQLRETURN rc = statement.empty() ? SQL_ERROR : Execute(stmt.get(), statement);
  if (rc == SQL_ERROR) {
    Db_Diag_Get(SQL_HANDLE_STMT, stmt.get(), &diag);
    return DB_FAIL;
  }
  BindColumns(stmt.get(), cols);
  return Fetch(stmt.get());
}

int Db_Write(const std::string& statement, int passthrough) {
  StmtHandle stmt;
  if (!stmt.Alloc()) return DB_FAIL;
  SQLRETURN rc = statement.empty() ? SQL_ERROR : Execute(stmt.get(), statement);
  if (rc == SQL_ERROR) {
    Db_Diag_Get(SQL_HANDLE_STMT, stmt.get(), &diag);
    if (passthrough != 0 && diag.native == passthrough) return passthrough;
    return DB_FAIL;
  }
  return rc;
}
