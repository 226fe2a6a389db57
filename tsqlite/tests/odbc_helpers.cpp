#include "odbc_helpers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fixtures/schema_script.h"

namespace tsqlite_test {

namespace {

std::string MakeTempDir() {
  char pattern[] = "/tmp/tsqlite_test_XXXXXX";
  const char* made = mkdtemp(pattern);
  if (made == nullptr) {
    ADD_FAILURE() << "mkdtemp failed";
    return "/tmp";
  }
  return made;
}

// The driver manager reads ODBCSYSINI once per process, so the folder is made before the first
// test and kept for the whole run.
class SysIni : public ::testing::Environment {
 public:
  void SetUp() override { SysIniDir(); }
  void TearDown() override { std::filesystem::remove_all(SysIniDir()); }
};

[[maybe_unused]] ::testing::Environment* const kSysIni = ::testing::AddGlobalTestEnvironment(new SysIni);

}  // namespace

const std::string& SysIniDir() {
  static const std::string dir = [] {
    std::string d = MakeTempDir();
    std::ofstream(d + "/odbcinst.ini") << "[TSQLITE]\nDriver=" TSQLITE_LIB "\n";
    std::ofstream(d + "/odbc.ini") << "[TSQ_DF1]\nDriver=TSQLITE\nDatabase=" << d
                                   << "/dsn.db\nDateFirst=1\nSynchronous=FULL\nCreate=Yes\n";
    setenv("ODBCSYSINI", d.c_str(), 1);
    return d;
  }();
  return dir;
}

std::string DsnDatabase() {
  return SysIniDir() + "/dsn.db";
}

namespace {
std::string OnTheDriver(const std::string& attributes) {
  SysIniDir();
  return "DRIVER=" TSQLITE_LIB ";Create=Yes;" + attributes;
}
}  // namespace

Connection::Connection(const std::string& attributes) : fixture::Connection(Driver(OnTheDriver(attributes))) {}

Connection Connection::String(const std::string& text) {
  SysIniDir();
  return Connection(Driver(text));
}

Connection Connection::Dsn(const std::string& dsn) {
  SysIniDir();
  return Connection(fixture::Connection::Dsn(dsn, "planex", "secret"));
}

void InstallCompanySchema(Connection& db, const std::string& client) {
  const std::vector<std::string> batches = fixture::SchemaBatches(TSQLITE_SOURCE_DIR "/db/schema.sql", client);
  ASSERT_FALSE(batches.empty()) << "db/schema.sql not readable";
  for (const std::string& batch : batches) {
    std::vector<Diag> d;
    EXPECT_TRUE(SQL_SUCCEEDED(db.Exec(batch, &d))) << batch << (d.empty() ? "" : d[0].message);
  }
}

const char* const kSchema[] = {
    "CREATE SCHEMA ABC_1",
    "CREATE TABLE ABC_1.Qxs300Pnr (PnrNum char(8) NOT NULL PRIMARY KEY, PnrNam varchar(10) NULL, "
    "PnrSta smallint NOT NULL DEFAULT 1, CHECK (PnrSta < 9))",
    "CREATE TABLE ABC_1.Qxs327Tag (TagPnr char(8) NOT NULL, TagTag datetime NOT NULL, TagDat datetime NULL, "
    "PRIMARY KEY (TagPnr, TagTag), FOREIGN KEY (TagPnr) REFERENCES ABC_1.Qxs300Pnr (PnrNum))",
    nullptr,
};

std::string Answer(const Connection& db, const std::string& sql) {
  Statement stmt(db);
  const SQLRETURN rc = stmt.Exec(sql);
  if (rc == SQL_ERROR) {
    const std::vector<Diag> d = Diagnostics(SQL_HANDLE_STMT, stmt.H());
    return "#" + std::to_string(d.empty() ? 0 : d[0].native);
  }
  std::string out;
  bool any = false;
  do {
    SQLSMALLINT columns = 0;
    SQLNumResultCols(stmt.H(), &columns);
    if (columns == 0) continue;
    if (any) out += " / ";
    any = true;
    const std::vector<std::vector<std::string>> rows = FetchAll(stmt.H());
    for (size_t r = 0; r < rows.size(); ++r) {
      if (r > 0) out += ";";
      for (size_t c = 0; c < rows[r].size(); ++c) out += (c > 0 ? "|" : "") + rows[r][c];
    }
  } while (SQL_SUCCEEDED(SQLMoreResults(stmt.H())));
  return any ? out : "ok";
}

}  // namespace tsqlite_test
