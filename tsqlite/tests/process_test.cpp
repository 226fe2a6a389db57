// The driver used by whole processes: a writer killed with cursors open, and isql running a script.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "odbc_helpers.h"

namespace tsqlite_test {
namespace {

// In the child: connects, opens two cursors on the tables it writes, inserts `count` day rows in
// autocommit, then kills itself before any cursor is closed or the connection ended.
[[noreturn]] void WriteAndDie(const std::string& file, int count) {
  Connection db("Database=" + file);
  if (!db.Ok()) _exit(2);
  Statement persons(db), days(db);
  if (persons.Exec("SELECT PnrNum FROM ABC_1.Qxs300Pnr") != SQL_SUCCESS) _exit(3);
  if (days.Exec("SELECT TagPnr FROM ABC_1.Qxs327Tag") != SQL_SUCCESS) _exit(4);
  if (!SQL_SUCCEEDED(SQLFetch(persons.H())) || !SQL_SUCCEEDED(SQLFetch(days.H()))) _exit(5);
  for (int i = 1; i <= count; ++i) {
    char sql[256];
    std::snprintf(
        sql, sizeof(sql),
        "INSERT INTO ABC_1.Qxs327Tag (TagPnr, TagTag) VALUES ('00000001', CONVERT(Datetime, '202402%02d', 112))", i);
    if (db.Exec(sql) != SQL_SUCCESS) _exit(6);
  }
  raise(SIGKILL);
  _exit(7);
}

TEST(DriverProcess, WritesThatReturnedSurviveAKilledProcess) {
  TempDir dir;
  const std::string file = dir.File("company.db");
  {
    Connection db("Database=" + file);
    ASSERT_TRUE(db.Ok());
    for (const char* const* s = kSchema; *s != nullptr; ++s) ASSERT_TRUE(SQL_SUCCEEDED(db.Exec(*s))) << *s;
    ASSERT_EQ(SQL_SUCCESS, db.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000001')"));
    ASSERT_EQ(
        SQL_SUCCESS,
        db.Exec(
            "INSERT INTO ABC_1.Qxs327Tag (TagPnr, TagTag) VALUES ('00000001', CONVERT(Datetime, '20240101', 112))"));
  }
  pid_t child = fork();
  ASSERT_NE(-1, child);
  if (child == 0) WriteAndDie(file, 20);
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_TRUE(WIFSIGNALED(status)) << "child exited with " << WEXITSTATUS(status);
  EXPECT_EQ(SIGKILL, WTERMSIG(status));

  Connection reopened("Database=" + file);
  ASSERT_TRUE(reopened.Ok());
  EXPECT_EQ("21", reopened.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs327Tag"));
  EXPECT_EQ("20240220", reopened.Scalar("SELECT CONVERT(char(8), MAX(TagTag), 112) FROM ABC_1.Qxs327Tag"));
}

std::string RunIsql(const std::string& dir, const std::string& script) {
  std::ofstream(dir + "/script.sql") << script;
  std::string command =
      "cd '" + dir + "' && ODBCSYSINI='" + SysIniDir() + "' isql TSQ_DF1 planex secret -b -v < script.sql 2>&1";
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  return output;
}

TEST(DriverProcess, IsqlRunsATsqlScript) {
  TempDir dir;
  std::remove(DsnDatabase().c_str());
  const std::string output =
      RunIsql(dir.Path(),
              "CREATE SCHEMA QXSYSTEM\n"
              "CREATE TABLE QXSYSTEM.Qxs133Bak (BakDtm datetime NOT NULL PRIMARY KEY, BakWtg smallint NULL)\n"
              "INSERT INTO QXSYSTEM.Qxs133Bak (BakDtm, BakWtg) VALUES (CONVERT (Datetime, '20241231', 112), 2)\n"
              "SELECT CONVERT(char(8), DATEADD(day, 1, BakDtm), 112), DATEPART(weekday, DATEADD(day, 1, BakDtm)) FROM "
              "QXSYSTEM.Qxs133Bak\n"
              "SELECT BakWtg FROM QXSYSTEM.Qxs133Bak WHERE BakWtg = 9\n"
              "SELECT nosuch FROM QXSYSTEM.Qxs133Bak\n");
  // 1 January 2025 is a Wednesday: day 3 with DATEFIRST 1 from the DSN.
  EXPECT_NE(std::string::npos, output.find("20250101")) << output;
  EXPECT_NE(std::string::npos, output.find("| 3")) << output;
  EXPECT_NE(std::string::npos, output.find("Invalid column name 'nosuch'")) << output;
  Connection db = Connection::Dsn("TSQ_DF1");
  ASSERT_TRUE(db.Ok());
  EXPECT_EQ("2024-12-31 00:00:00.000", db.Scalar("SELECT BakDtm FROM QXSYSTEM.Qxs133Bak"));
}

}  // namespace
}  // namespace tsqlite_test
