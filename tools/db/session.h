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

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;

  bool Prepare(DbError* error);
};

// Reads the first diagnostic record of a handle.
DbError ReadDiag(SQLSMALLINT handle_type, SQLHANDLE handle);

// "Msg 208 (42S02): Invalid object name 'x'."
std::string FormatError(const DbError& error);

}  // namespace pxdb
