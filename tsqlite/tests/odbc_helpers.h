#pragma once
// Helpers for tests that reach the driver the way planex does: through the unixODBC driver
// manager, which loads build/libtsqlite.so.
#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

#include "fixtures/temp_dir.h"

namespace tsqlite_test {

// The folder named by ODBCSYSINI for the whole test process: odbcinst.ini names the driver
// "TSQLITE", odbc.ini holds the DSN "TSQ_DF1" (DateFirst=1, Create=Yes) on DsnDatabase().
const std::string& SysIniDir();
std::string DsnDatabase();

// A fresh folder under /tmp, removed with its content at destruction: planex's fixture, the one
// temporary-folder helper of the suites.
using fixture::TempDir;

struct Diag {
  std::string sqlstate;
  SQLINTEGER native = 0;
  std::string message;
};

std::vector<Diag> Diagnostics(SQLSMALLINT type, SQLHANDLE handle);

// One ODBC connection, freed on every path.
class Connection {
 public:
  // Connects with SQLDriverConnect; attributes are appended to "DRIVER=<lib>;Create=Yes;" (tests
  // work on fresh files; "Create=No" in attributes takes it back).
  explicit Connection(const std::string& attributes);
  // Connects with SQLConnect to a DSN of SysIniDir().
  static Connection Dsn(const std::string& dsn);
  // Connects with SQLDriverConnect and exactly this connection string ("DSN=...;...").
  static Connection String(const std::string& text);
  ~Connection();
  Connection(Connection&& other) noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool Ok() const { return connected_; }
  SQLRETURN ConnectResult() const { return connect_rc_; }
  const std::vector<Diag>& ConnectDiags() const { return connect_diags_; }
  SQLHDBC Dbc() const { return dbc_; }

  // Executes a batch on a statement of its own. Returns the SQLExecDirect result; the
  // diagnostics and the row count land in the optional outputs.
  SQLRETURN Exec(const std::string& sql, std::vector<Diag>* diags = nullptr, SQLLEN* row_count = nullptr);
  // Executes and reads every row with SQLGetData as text; NULL reads "NULL". Fails the test on error.
  std::vector<std::vector<std::string>> Rows(const std::string& sql);
  std::string Scalar(const std::string& sql);

 private:
  Connection() = default;
  // Environment and connection handles allocated, not yet connected.
  static Connection Allocated();
  // Reads the connect call's outcome: connected, or its diagnostics kept.
  void Settle();
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  SQLRETURN connect_rc_ = SQL_ERROR;
  std::vector<Diag> connect_diags_;
};

// Reads every row of the statement's result set with SQLGetData as text; NULL reads "NULL".
std::vector<std::vector<std::string>> FetchAll(SQLHSTMT stmt);

// A statement handle, freed on every path.
class Statement {
 public:
  explicit Statement(const Connection& c);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  SQLHSTMT H() const { return stmt_; }
  SQLRETURN Exec(const std::string& sql) {
    return SQLExecDirect(stmt_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
  }

 private:
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

// Installs db/schema.sql of the source tree with the client schema `client`; fails the test on
// any statement that does not succeed.
void InstallCompanySchema(Connection& db, const std::string& client);

// The schema most tests work on: persons and their days, with a primary key, a foreign key, a
// NOT NULL column, a CHECK, and widths.
extern const char* const kSchema[];

}  // namespace tsqlite_test
