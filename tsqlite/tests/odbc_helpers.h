#pragma once
// Helpers for tests that reach the driver the way planex does: through the unixODBC driver
// manager, which loads build/libtsqlite.so.
#include <sql.h>
#include <sqlext.h>

#include <string>
#include <utility>
#include <vector>

#include "fixtures/odbc_client.h"
#include "fixtures/temp_dir.h"

namespace tsqlite_test {

// The folder named by ODBCSYSINI for the whole test process: odbcinst.ini names the driver
// "TSQLITE", odbc.ini holds the DSN "TSQ_DF1" (DateFirst=1, Create=Yes) on DsnDatabase().
const std::string& SysIniDir();
std::string DsnDatabase();

// A fresh folder under /tmp, removed with its content at destruction: planex's fixture, the one
// temporary-folder helper of the suites.
using fixture::TempDir;

// The suites' ODBC client; a Connection here starts on the driver of the build.
using fixture::Diag;
using fixture::Diagnostics;
using fixture::FetchAll;
using fixture::Statement;

class Connection : public fixture::Connection {
 public:
  // Connects with SQLDriverConnect; attributes are appended to "DRIVER=<lib>;Create=Yes;" (tests
  // work on fresh files; "Create=No" in attributes takes it back).
  explicit Connection(const std::string& attributes);
  // Connects with SQLConnect to a DSN of SysIniDir().
  static Connection Dsn(const std::string& dsn);
  // Connects with SQLDriverConnect and exactly this connection string ("DSN=...;...").
  static Connection String(const std::string& text);

 private:
  explicit Connection(fixture::Connection&& opened) : fixture::Connection(std::move(opened)) {}
};

// The rows of the batch's result sets as text: columns joined by '|', rows by ';', result sets by
// " / ", NULL as "NULL"; "ok" for a batch without a result set, "#<native>" for an error.
std::string Answer(const Connection& db, const std::string& sql);

// Installs db/schema.sql of the source tree with the client schema `client`; fails the test on
// any statement that does not succeed.
void InstallCompanySchema(Connection& db, const std::string& client);

// The schema most tests work on: persons and their days, with a primary key, a foreign key, a
// NOT NULL column, a CHECK, and widths.
extern const char* const kSchema[];

}  // namespace tsqlite_test
