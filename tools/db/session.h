#pragma once
// One ODBC connection of planex-db, owned with its handles, and the few things the tool does on
// it: run a batch, read its result sets as text, count, and bulk-load inside transactions.
#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <string>
#include <vector>

namespace pxdb {

// The first diagnostic record of a failed call, as the server reported it.
struct DbError {
  int native = 0;
  std::string sqlstate;
  std::string message;  // without the driver manager's and driver's "[...]" prefixes
};

// One result set, every value as text (SQL_C_CHAR); a NULL is an empty optional.
struct ResultSet {
  std::vector<std::string> columns;
  std::vector<std::vector<std::optional<std::string>>> rows;
};

// What one batch produced: result sets and row counts in order.
struct BatchResult {
  std::vector<ResultSet> sets;
  std::vector<long long> row_counts;  // one per statement without a result set
};

class Session {
 public:
  Session() = default;
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // SQLConnect to a data source name.
  bool Connect(const std::string& dsn, const std::string& user, const std::string& password, DbError* error);
  // SQLDriverConnect with a complete connection string (the embedded database).
  bool DriverConnect(const std::string& connection_string, DbError* error);

  // Runs one batch. Returns false with the error of the first failing statement.
  bool Exec(const std::string& sql, BatchResult* result, DbError* error);
  // Runs a statement whose result is not needed (inserts of the demo, DDL).
  bool Exec(const std::string& sql, DbError* error);
  // The first column of the first row as text; false when the statement fails or has no row.
  bool Scalar(const std::string& sql, std::string* value, DbError* error);

  // Manual-commit mode for bulk loading: with autocommit off, rows stay in one transaction until
  // Commit; one commit per few thousand rows instead of one per row.
  bool SetAutocommit(bool on, DbError* error);
  bool Commit(DbError* error);
  bool Rollback();

  // The connection handle, for the statements that Cursor and Inserter own.
  SQLHDBC Handle() const { return dbc_; }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;

  bool Prepare(DbError* error);
};

// A column of a result set as the driver describes it.
struct ColumnInfo {
  std::string name;
  SQLSMALLINT type = 0;  // SQL data type (SQL_VARCHAR, SQL_TYPE_TIMESTAMP, SQL_DECIMAL, ...)
  SQLULEN size = 0;      // characters, or the precision of a number
  SQLSMALLINT digits = 0;
};
using Row = std::vector<std::optional<std::string>>;

// A query read row by row on a forward-only cursor, so that a table of any size takes the memory
// of one row. Values come as text (SQL_C_CHAR); one longer than its column's buffer is an error,
// never cut.
class Cursor {
 public:
  Cursor() = default;
  ~Cursor();
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;

  bool Open(const Session& session, const std::string& sql, DbError* error);
  const std::vector<ColumnInfo>& Columns() const { return columns_; }
  // 1 with the next row in *row, 0 after the last one, -1 on a failure (in *error).
  int Fetch(Row* row, DbError* error);

 private:
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
  std::vector<ColumnInfo> columns_;
  std::vector<std::vector<char>> buffers_;
  std::vector<SQLLEN> indicators_;
};

// Rows written into one table by a prepared multi-row INSERT: rows are gathered until a statement
// is full, then sent as its parameters (text, converted by the server to each column's type).
class Inserter {
 public:
  Inserter() = default;
  ~Inserter();
  Inserter(const Inserter&) = delete;
  Inserter& operator=(const Inserter&) = delete;

  // table: schema-qualified name; columns: as the source described them; rows_per_statement:
  // at most 1,000, and the parameters of a statement (rows times columns) at most 2,100.
  bool Prepare(const Session& session, const std::string& table, const std::vector<ColumnInfo>& columns,
               size_t rows_per_statement, DbError* error);
  // Adds a row; a full statement is executed. *written counts the rows sent.
  bool Add(const Row& row, long long* written, DbError* error);
  // Sends the rows gathered so far.
  bool Flush(long long* written, DbError* error);

 private:
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  std::string table_;
  std::vector<ColumnInfo> columns_;
  size_t rows_per_statement_ = 0;
  SQLHSTMT full_ = SQL_NULL_HSTMT;          // the statement of rows_per_statement_ rows
  std::vector<std::vector<char>> buffers_;  // one per parameter: row-major, column by column
  std::vector<size_t> widths_;              // bytes of a column's buffer
  std::vector<SQLLEN> indicators_;
  size_t pending_ = 0;

  bool Execute(size_t rows, DbError* error);
  bool PrepareRows(SQLHSTMT stmt, size_t rows, DbError* error);
};

// The most rows a multi-row INSERT of n columns may carry: SQL Server takes 1,000 rows in a
// VALUES list and 2,100 parameters in a statement.
size_t RowsPerInsert(size_t columns);

// Reads the first diagnostic record of a handle.
DbError ReadDiag(SQLSMALLINT handle_type, SQLHANDLE handle);

// "Msg 208 (42S02): Invalid object name 'x'."
std::string FormatError(const DbError& error);

}  // namespace pxdb
