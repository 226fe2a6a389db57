// The driver on hostile input, reached through the driver manager as any ODBC client reaches it:
// no text runs anything but its own translation, no nesting takes the process down, and no error
// carries a value of another statement.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "handles.h"
#include "odbc_helpers.h"
#include "translate_api.h"

namespace tsqlite_test {
namespace {

class SafetyTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(db_.Ok()); }

  // The native error of a failing statement, 0 when it succeeded.
  SQLINTEGER NativeOf(const std::string& sql, std::string* message = nullptr) {
    std::vector<Diag> d;
    const SQLRETURN rc = db_.Exec(sql, &d);
    if (message != nullptr) *message = d.empty() ? "" : d[0].message;
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return 0;
    return d.empty() ? -1 : d[0].native;
  }

  static std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  }

  TempDir dir_;
  Connection db_{"Database=" + dir_.File("company.db")};
};

// SQLite text smuggled into a statement: every attempt either fails or stays a value, and the
// copy the attacker asked for is never written.
TEST_F(SafetyTest, NoStatementReachesSqliteOutsideItsTranslation) {
  const std::string target = dir_.File("stolen.db");
  const std::string chars = [&] {  // char(47,116,...) spelling of the target path
    std::string c;
    for (unsigned char ch : target) c += (c.empty() ? "" : ",") + std::to_string(ch);
    return c;
  }();
  const std::string tail = "1)))); VACUUM INTO char(" + chars + "); ATTACH char(" + chars + ") AS x; --";
  const std::string cases[] = {
      "CREATE TABLE dbo.inj1 (a int CHECK (a > - -1), b varchar(400) DEFAULT 'x\n" + tail + "')",
      "CREATE TABLE dbo.inj2 (a int DEFAULT - -1, b varchar(400) DEFAULT 'x\n" + tail + "')",
      "SELECT - -1, 'x\n" + tail + "'",
      "SELECT 1; VACUUM INTO '" + target + "'",
      "SELECT 1 /* x */; ATTACH '" + target + "' AS y",
      "PRAGMA writable_schema = 1",
      "SELECT 5 - -1 -- '\n, 2",
      "EXEC ('SELECT 1; VACUUM INTO ''" + target + "''')",
      "EXEC sp_executesql N'ATTACH ''" + target + "'' AS z'",
  };
  for (const std::string& sql : cases) {
    db_.Exec(sql);
    EXPECT_FALSE(std::filesystem::exists(target)) << sql;
  }
  // What the first case meant as T-SQL still works: a > 1 refuses 1, the default is the text.
  EXPECT_NE(0, NativeOf("INSERT INTO dbo.inj1 (a) VALUES (1)"));
  EXPECT_EQ(0, NativeOf("INSERT INTO dbo.inj1 (a) VALUES (2)"));
  EXPECT_EQ("x\n" + tail, db_.Scalar("SELECT b FROM dbo.inj1"));
  EXPECT_EQ("6", db_.Scalar("SELECT 5 - -1"));
}

// The last check before SQLite sees a text: quotes hide everything, outside them a comment or a
// second statement is refused.
TEST(EmittedText, IsOneStatementWithoutComments) {
  const std::pair<const char*, bool> cases[] = {
      {"SELECT 1", true},
      {"", true},
      {"SELECT '--;/*'", true},
      {"SELECT \"a;--\" FROM [b--]", true},
      {"SELECT 'it''s;'", true},
      {"SELECT (--1)", false},
      {"SELECT 1; SELECT 2", false},
      {"SELECT 1 /* x */", false},
      {"SELECT 'open", false},
      {"SELECT \"a\"\"; --", false},
  };
  for (const auto& [sql, one] : cases) EXPECT_EQ(one, tsqlite::IsOneSqliteStatement(sql)) << sql;
}

// Nesting of any depth fails with 191 instead of overflowing the stack; moderate nesting and long
// flat chains run.
TEST_F(SafetyTest, DeepNestingFailsWith191AndLongChainsRun) {
  struct Case {
    const char* name;
    std::string sql;
    SQLINTEGER native;
  };
  const Case cases[] = {
      {"parentheses", "SELECT " + Repeat("(", 5000) + "1" + Repeat(")", 5000), 191},
      {"parentheses of a 1 MB text", "SELECT " + Repeat("(", 500000) + "1" + Repeat(")", 500000), 191},
      // A run of signs is one operator with a count, however long.
      {"5000 signs", "SELECT " + Repeat("- ", 4999) + "+ - 2", 0},
      {"NOT", "SELECT 1 WHERE " + Repeat("NOT ", 5000) + "1 = 1", 191},
      {"subqueries", "SELECT " + Repeat("(SELECT ", 3000) + "1" + Repeat(")", 3000), 191},
      {"function arguments", "SELECT " + Repeat("ABS(", 5000) + "1" + Repeat(")", 5000), 191},
      {"unclosed", "SELECT " + Repeat("(", 100000), 191},
      {"sums SQLite cannot nest", "SELECT 1" + Repeat(" + 1", 3000), 191},
      {"1500-term sum", "SELECT 1" + Repeat(" + 1 - 2 + 2", 500), 0},
      {"20 levels", "SELECT " + Repeat("(", 20) + "1" + Repeat(")", 20), 0},
      {"3000 OR terms", "SELECT 1 WHERE 1 = 2" + Repeat(" OR 1 = 2", 2998) + " OR 1 = 1", 0},
      {"3000 AND terms", "SELECT 1 WHERE 1 = 1" + Repeat(" AND 1 = 1", 2999), 0},
      // A condition of 10,000 terms, each in parentheses: one level of nesting, not one per term.
      {"10000 OR terms", "SELECT 1 WHERE (1 = 2)" + Repeat(" OR (1 = 2) AND (2 = 2)", 9998) + " OR (1 = 1)", 0},
      // Thirty levels of NOT (...) are well within SQL Server's nesting and within SQLite's parser
      // stack once the parentheses are not doubled
      // (learn.microsoft.com/sql/t-sql/language-elements/not-transact-sql).
      {"30 levels of NOT (...)", "SELECT 1 WHERE " + Repeat("NOT (", 30) + "1 = 1" + Repeat(")", 30), 0},
      // CASE nests ten levels deep, no more (learn.microsoft.com/sql/t-sql/language-elements/case-transact-sql,
      // and the page of error 125).
      {"10 nested CASE", "SELECT " + Repeat("CASE WHEN 1 = 1 THEN ", 10) + "1" + Repeat(" END", 10), 0},
      {"11 nested CASE", "SELECT " + Repeat("CASE 1 WHEN 1 THEN ", 11) + "1" + Repeat(" END", 11), 125},
      // A sign before a call takes no parentheses of its own: twenty signed calls fit SQLite's parser.
      {"20 levels of - NULLIF(...)", "SELECT " + Repeat("- NULLIF(", 20) + "1" + Repeat(", 2)", 20), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.native, NativeOf(c.sql)) << c.name;
  EXPECT_EQ("1", db_.Scalar(cases[10].sql));
  EXPECT_EQ("501", db_.Scalar(cases[8].sql));
  EXPECT_EQ("1", db_.Scalar(cases[12].sql));
  EXPECT_EQ("1", db_.Scalar(cases[13].sql));
  EXPECT_EQ("1", db_.Scalar(cases[16].sql));
  EXPECT_EQ("2", db_.Scalar(cases[2].sql));
  EXPECT_EQ("", db_.Scalar("SELECT 1 WHERE 1 = 1" + Repeat(" AND 1 = 1", 2998) + " AND 1 = 2"));
  // Grouping keeps precedence: AND binds before OR.
  EXPECT_EQ("", db_.Scalar("SELECT 1 WHERE 1 = 2 AND 1 = 1 OR 1 = 2" + Repeat(" OR 1 = 2", 20)));
}

// ROUND to places far left of the point, down to the smallest bigint, drops every digit without
// computing past a bigint's range (a fault the fuzz target found).
TEST_F(SafetyTest, RoundFarLeftOfThePointDropsEveryDigit) {
  EXPECT_EQ("0.0", db_.Scalar("SELECT ROUND(1234.5, -100)"));
  EXPECT_EQ("0.0", db_.Scalar("SELECT ROUND(1234.5, CAST(-9223372036854775807 AS bigint) - 1)"));
}

// DATEADD of a count no integer holds is an overflow, not a conversion past a bigint's range.
TEST_F(SafetyTest, DateAddOfAFarRealCountOverflows) {
  EXPECT_EQ(517, NativeOf("SELECT DATEADD(day, CAST(2.6e28 AS float), CAST('20260101' AS datetime))"));
  EXPECT_EQ(517, NativeOf("SELECT DATEADD(day, CAST(-2.6e28 AS float), CAST('20260101' AS datetime))"));
}

// Statements of one shape share a translation; the error of each names its own value.
TEST_F(SafetyTest, AnErrorNamesOnlyItsOwnStatementsValues) {
  std::string first, second;
  ASSERT_EQ(102, NativeOf("SELECT 1 WHERE 1 = 1 'secret-A'", &first));
  ASSERT_EQ(102, NativeOf("SELECT 1 WHERE 1 = 1 'other-B'", &second));
  EXPECT_NE(std::string::npos, first.find("secret-A")) << first;
  EXPECT_EQ(std::string::npos, second.find("secret-A")) << second;
  EXPECT_NE(std::string::npos, second.find("other-B")) << second;
}

// Every exported function runs behind Guarded: a handle of another kind is refused, the previous
// call's diagnostics go, and no exception leaves the driver.
TEST(EntryGuard, ChecksTheHandleKindAndTurnsExceptionsIntoDiagnostics) {
  using namespace tsqlite;
  Env env;
  Dbc dbc(&env);
  SetDiag(&dbc, SQL_ERROR, "HY000", 0, "from the previous call");
  auto ok = [](Dbc*) -> SQLRETURN { return SQL_SUCCESS; };
  EXPECT_EQ(SQL_INVALID_HANDLE, Guarded<Stmt>(&dbc, [](Stmt*) -> SQLRETURN { return SQL_SUCCESS; }));
  EXPECT_EQ(SQL_INVALID_HANDLE, Guarded<Dbc>(nullptr, ok));
  EXPECT_EQ(1u, dbc.diags.size());  // a refused call leaves the handle alone
  EXPECT_EQ(SQL_SUCCESS, Guarded<Dbc>(&dbc, ok));
  EXPECT_TRUE(dbc.diags.empty());

  struct Case {
    SQLRETURN (*body)(Dbc*);
    const char* sqlstate;
  };
  const Case cases[] = {
      {[](Dbc*) -> SQLRETURN { throw std::bad_alloc(); }, "HY001"},
      {[](Dbc*) -> SQLRETURN { throw std::out_of_range("vector::at"); }, "HY000"},
      {[](Dbc*) -> SQLRETURN { throw 42; }, "HY000"},
      {[](Dbc* h) -> SQLRETURN {
         SetDiag(h, SQL_SUCCESS_WITH_INFO, "01004", 0, "half done");
         throw std::runtime_error("broke off");
       },
       "HY000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SQL_ERROR, Guarded<Dbc>(&dbc, c.body));
    ASSERT_EQ(1u, dbc.diags.size()) << c.sqlstate;
    EXPECT_EQ(c.sqlstate, dbc.diags[0].sqlstate);
  }
}

}  // namespace
}  // namespace tsqlite_test
