#include "odbc_helpers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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

std::vector<Diag> Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<Diag> out;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLCHAR state[6] = "";
    SQLINTEGER native = 0;
    SQLCHAR message[1024] = "";
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRec(type, handle, i, state, &native, message, sizeof(message), &length);
    if (!SQL_SUCCEEDED(rc)) break;
    out.push_back(Diag{reinterpret_cast<char*>(state), native, reinterpret_cast<char*>(message)});
  }
  return out;
}

Connection::Connection(const std::string& attributes) {
  SysIniDir();
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), SQL_IS_INTEGER);
  SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
  std::string text = "DRIVER=" TSQLITE_LIB ";Create=Yes;" + attributes;
  SQLCHAR out[1024];
  SQLSMALLINT out_length = 0;
  connect_rc_ = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, out, sizeof(out),
                                 &out_length, SQL_DRIVER_NOPROMPT);
  Settle();
}

Connection Connection::Allocated() {
  SysIniDir();
  Connection c;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &c.env_);
  SQLSetEnvAttr(c.env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), SQL_IS_INTEGER);
  SQLAllocHandle(SQL_HANDLE_DBC, c.env_, &c.dbc_);
  return c;
}

void Connection::Settle() {
  connected_ = SQL_SUCCEEDED(connect_rc_);
  if (!connected_) connect_diags_ = Diagnostics(SQL_HANDLE_DBC, dbc_);
}

Connection Connection::String(const std::string& text) {
  Connection c = Allocated();
  c.connect_rc_ = SQLDriverConnect(c.dbc_, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())),
                                   SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  c.Settle();
  return c;
}

Connection Connection::Dsn(const std::string& dsn) {
  Connection c = Allocated();
  c.connect_rc_ = SQLConnect(c.dbc_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(dsn.c_str())), SQL_NTS,
                             reinterpret_cast<SQLCHAR*>(const_cast<char*>("planex")), SQL_NTS,
                             reinterpret_cast<SQLCHAR*>(const_cast<char*>("secret")), SQL_NTS);
  c.Settle();
  return c;
}

Connection::Connection(Connection&& other) noexcept
    : env_(other.env_),
      dbc_(other.dbc_),
      connected_(other.connected_),
      connect_rc_(other.connect_rc_),
      connect_diags_(std::move(other.connect_diags_)) {
  other.env_ = SQL_NULL_HENV;
  other.dbc_ = SQL_NULL_HDBC;
  other.connected_ = false;
}

Connection::~Connection() {
  if (connected_) SQLDisconnect(dbc_);
  if (dbc_ != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  if (env_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

SQLRETURN Connection::Exec(const std::string& sql, std::vector<Diag>* diags, SQLLEN* row_count) {
  Statement stmt(*this);
  SQLRETURN rc = stmt.Exec(sql);
  if (diags != nullptr) *diags = Diagnostics(SQL_HANDLE_STMT, stmt.H());
  if (row_count != nullptr) {
    *row_count = -2;
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) SQLRowCount(stmt.H(), row_count);
  }
  return rc;
}

std::vector<std::vector<std::string>> Connection::Rows(const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  Statement stmt(*this);
  SQLRETURN rc = stmt.Exec(sql);
  if (!SQL_SUCCEEDED(rc)) {
    std::vector<Diag> d = Diagnostics(SQL_HANDLE_STMT, stmt.H());
    ADD_FAILURE() << sql << " failed: " << (d.empty() ? std::string("no diagnostic") : d[0].message);
    return rows;
  }
  return FetchAll(stmt.H());
}

std::vector<std::vector<std::string>> FetchAll(SQLHSTMT stmt) {
  std::vector<std::vector<std::string>> rows;
  SQLSMALLINT columns = 0;
  SQLNumResultCols(stmt, &columns);
  while (SQL_SUCCEEDED(SQLFetch(stmt))) {
    std::vector<std::string>& row = rows.emplace_back();
    for (SQLUSMALLINT c = 1; c <= columns; ++c) {
      char buffer[512] = "";
      SQLLEN indicator = 0;
      SQLGetData(stmt, c, SQL_C_CHAR, buffer, sizeof(buffer), &indicator);
      row.push_back(indicator == SQL_NULL_DATA ? "NULL" : buffer);
    }
  }
  return rows;
}

std::string Connection::Scalar(const std::string& sql) {
  auto rows = Rows(sql);
  return rows.empty() || rows[0].empty() ? std::string() : rows[0][0];
}

Statement::Statement(const Connection& c) {
  SQLAllocHandle(SQL_HANDLE_STMT, c.Dbc(), &stmt_);
}
Statement::~Statement() {
  if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

void InstallCompanySchema(Connection& db, const std::string& client) {
  std::ifstream in(TSQLITE_SOURCE_DIR "/db/schema.sql");
  ASSERT_TRUE(in.good()) << "db/schema.sql not readable";
  std::string line, batch;
  auto flush = [&] {
    if (batch.find_first_not_of(" \n") != std::string::npos) {
      std::vector<Diag> d;
      EXPECT_TRUE(SQL_SUCCEEDED(db.Exec(batch, &d))) << batch << (d.empty() ? "" : d[0].message);
    }
    batch.clear();
  };
  while (std::getline(in, line)) {
    if (line.rfind("--", 0) == 0) continue;
    if (line == "GO") {
      flush();
      continue;
    }
    for (size_t at; (at = line.find("$(CLIENT)")) != std::string::npos;) line.replace(at, 9, client);
    batch += line + "\n";
  }
  flush();
}

const char* const kSchema[] = {
    "CREATE SCHEMA ABC_1",
    "CREATE TABLE ABC_1.Qxs300Pnr (PnrNum char(8) NOT NULL PRIMARY KEY, PnrNam varchar(10) NULL, "
    "PnrSta smallint NOT NULL DEFAULT 1, CHECK (PnrSta < 9))",
    "CREATE TABLE ABC_1.Qxs327Tag (TagPnr char(8) NOT NULL, TagTag datetime NOT NULL, TagDat datetime NULL, "
    "PRIMARY KEY (TagPnr, TagTag), FOREIGN KEY (TagPnr) REFERENCES ABC_1.Qxs300Pnr (PnrNum))",
    nullptr,
};

}  // namespace tsqlite_test
