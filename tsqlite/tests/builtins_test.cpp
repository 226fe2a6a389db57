// The T-SQL built-in functions through the driver, each with the answer SQL Server documents;
// every function of the table has a row here.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "builtins.h"
#include "odbc_helpers.h"

namespace tsqlite_test {
namespace {

struct Call {
  const char* function;  // the table's name, for the check that every function has a row
  const char* expression;
  const char* answer;  // as text; "195", "174", "155": the statement fails with that error
};

const Call kCalls[] = {
    {"COUNT", "COUNT(*)", "1"},
    {"COUNT_BIG", "COUNT_BIG(*)", "1"},
    {"SUM", "SUM(2)", "2"},
    {"AVG", "AVG(4)", "4"},
    {"MIN", "MIN('b')", "b"},
    {"MAX", "MAX(DISTINCT 3)", "3"},
    {"COALESCE", "COALESCE(NULL, NULL, 7)", "7"},
    {"ISNULL", "ISNULL(NULL, 'z')", "z"},
    {"NULLIF", "NULLIF(3, 3)", "NULL"},
    {"IIF", "IIF(1 < 2, 'yes', 'no')", "yes"},
    {"CONVERT", "CONVERT(varchar(8), 42)", "42"},
    {"CAST", "CAST('7' AS int)", "7"},
    {"DATEADD", "DATEADD(day, 1, '20240228')", "2024-02-29 00:00:00.000"},
    {"DATEDIFF", "DATEDIFF(day, '20240101', '20240301')", "60"},
    {"DATEPART", "DATEPART(month, '20240615')", "6"},
    {"YEAR", "YEAR('20240615')", "2024"},
    {"MONTH", "MONTH('20240615')", "6"},
    {"DAY", "DAY('20240615')", "15"},
    {"GETDATE", "LEN(CONVERT(varchar(30), GETDATE(), 121))", "23"},
    // A datetime, so its milliseconds end in 0, 3 or 7: "Rounded to increments of .000, .003, or
    // .007 seconds" (learn.microsoft.com/sql/t-sql/data-types/datetime-transact-sql).
    {"", "CASE WHEN DATEPART(millisecond, CURRENT_TIMESTAMP) % 10 IN (0, 3, 7) THEN 'tick' END", "tick"},
    {"SYSDATETIME", "YEAR(SYSDATETIME()) - YEAR(GETDATE())", "0"},
    {"GETUTCDATE", "LEN(CONVERT(varchar(30), GETUTCDATE(), 121))", "23"},
    {"SCOPE_IDENTITY", "ISNULL(SCOPE_IDENTITY(), 0) * 0", "0"},
    {"DB_NAME", "DB_NAME()", "f"},
    // learn.microsoft.com/sql/t-sql/functions/has-perms-by-name-transact-sql: 1 or 0, NULL when
    // the question cannot be evaluated (no such object, class or permission).
    {"HAS_PERMS_BY_NAME", "HAS_PERMS_BY_NAME('dbo.t', 'OBJECT', 'INSERT')", "1"},
    {"HAS_PERMS_BY_NAME", "HAS_PERMS_BY_NAME('[dbo].[T]', 'object', 'select')", "1"},
    {"HAS_PERMS_BY_NAME", "HAS_PERMS_BY_NAME('f.dbo.t', 'OBJECT', 'UPDATE')", "1"},
    {"HAS_PERMS_BY_NAME", "HAS_PERMS_BY_NAME('t', 'OBJECT', 'DELETE')", "1"},
    {"HAS_PERMS_BY_NAME", "HAS_PERMS_BY_NAME('dbo.nosuch', 'OBJECT', 'INSERT')", "NULL"},
    {"HAS_PERMS_BY_NAME", "HAS_PERMS_BY_NAME('dbo.t', 'OBJECT', 'ALTER')", "NULL"},
    {"HAS_PERMS_BY_NAME", "HAS_PERMS_BY_NAME('dbo.t', 'SCHEMA', 'INSERT')", "NULL"},
    {"DB_NAME", "DB_NAME(2) + DB_NAME(DB_ID())", "tempdbf"},
    {"DB_ID", "DB_ID('master') + DB_ID()", "6"},
    {"OBJECT_ID", "ISNULL(OBJECT_ID(N'dbo.nosuch', N'U'), -1)", "-1"},
    {"OBJECTPROPERTY", "ISNULL(OBJECTPROPERTY(0, 'IsUserTable'), -1)", "-1"},
    {"SCHEMA_ID", "SCHEMA_ID('sys')", "4"},
    {"SCHEMA_NAME", "SCHEMA_NAME()", "dbo"},
    {"COL_LENGTH", "ISNULL(COL_LENGTH('dbo.nosuch', 'c'), -2)", "-2"},
    {"DATABASEPROPERTYEX", "DATABASEPROPERTYEX(DB_NAME(), 'Collation')", "Latin1_General_CI_AS"},
    {"SERVERPROPERTY", "SERVERPROPERTY('collation')", "Latin1_General_CI_AS"},
    {"NEWID", "CASE WHEN LEN(NEWID()) = 36 AND NEWID() <> NEWID() AND SUBSTRING(NEWID(), 15, 1) = '4' THEN 1 END", "1"},
    {"LEN", "LEN('ab  ')", "2"},
    {"DATALENGTH", "DATALENGTH('abc')", "3"},
    {"UPPER", "UPPER('aB')", "AB"},
    {"LOWER", "LOWER('aB')", "ab"},
    {"LTRIM", "LTRIM('  a')", "a"},
    {"RTRIM", "RTRIM('a  ') + 'x'", "ax"},
    {"TRIM", "TRIM('  a  ') + 'x'", "ax"},
    {"SUBSTRING", "SUBSTRING('abcdef', 2, 3)", "bcd"},
    {"LEFT", "LEFT('abc', 2)", "ab"},
    {"RIGHT", "RIGHT('abc', 2)", "bc"},
    {"CHARINDEX", "CHARINDEX('c', 'abcabc')", "3"},
    {"CHARINDEX", "CHARINDEX('b', 'abcabc', 3)", "5"},
    {"REPLACE", "REPLACE('aXbX', 'X', 'y')", "ayby"},
    {"REPLICATE", "REPLICATE('ab', 3)", "ababab"},
    {"REPLICATE", "LEN(REPLICATE('ab', 2000000000))", "8000"},
    {"SPACE", "SPACE(2) + 'x'", "  x"},
    {"STR", "STR(123.45, 6, 1)", " 123.5"},
    {"STR", "STR(123.45, 2, 2)", "**"},
    {"STR", "STR(5)", "         5"},
    {"CHAR", "CHAR(65)", "A"},
    {"ASCII", "ASCII('A')", "65"},
    {"ABS", "ABS(-3)", "3"},
    {"ROUND", "ROUND(1250, -2)", "1300"},
    {"ROUND", "ROUND(CAST(1234.567 AS float), -2)", "1200"},
    {"ROUND", "ROUND(CAST(2.5 AS float), 0, 1)", "2"},
    {"FLOOR", "FLOOR(-2.5)", "-3"},
    {"CEILING", "CEILING(2.1)", "3"},
    {"LOG", "LOG(100)", "4.60517018598809"},
    {"LOG", "LOG(8, 2)", "3"},
    {"LOG10", "LOG10(1000)", "3"},
    {"EXP", "EXP(0)", "1"},
    {"POWER", "POWER(2, 10)", "1024"},
    {"SQRT", "SQRT(16)", "4"},
    {"SIGN", "SIGN(-4)", "-1"},
    {"PI", "PI()", "3.14159265358979"},
    // what SQL Server refuses
    {"", "NOSUCH(1)", "195"},
    {"", "FORMAT(1234.5, 'N2')", "195"},
    {"", "ts_add(1, 2)", "195"},            // the driver's own helpers are no T-SQL
    {"", "load_extension('x.so')", "195"},  // nor are SQLite's functions
    {"", "MAX(3, 7)", "174"},
    {"", "LOG()", "174"},
    {"", "ROUND(1)", "174"},
    {"", "LEFT('abc')", "174"},
    {"", "DATEPART(fortnight, GETDATE())", "155"},  // an unknown date part
};

TEST(Builtins, AnswerAsSqlServerDocuments) {
  TempDir dir;
  Connection db("Database=" + dir.File("f.db"));
  ASSERT_TRUE(db.Ok());
  ASSERT_EQ(SQL_SUCCESS, db.Exec("CREATE TABLE dbo.t (a int)"));  // the object HAS_PERMS_BY_NAME asks of
  for (const Call& c : kCalls) {
    const std::string sql = std::string("SELECT ") + c.expression;
    if (std::string(c.answer) == "195" || std::string(c.answer) == "174" || std::string(c.answer) == "155") {
      std::vector<Diag> d;
      EXPECT_EQ(SQL_ERROR, db.Exec(sql, &d)) << sql;
      ASSERT_FALSE(d.empty()) << sql;
      EXPECT_EQ(std::stoi(c.answer), d[0].native) << sql << ": " << d[0].message;
      EXPECT_EQ("42000", d[0].sqlstate) << sql;
    } else {
      EXPECT_EQ(c.answer, db.Scalar(sql)) << sql;
    }
  }
}

TEST(Builtins, EveryFunctionOfTheTableHasACall) {
  std::set<std::string> called;
  for (const Call& c : kCalls) called.insert(c.function);
  for (const tsqlite::Builtin& b : tsqlite::AllBuiltins()) EXPECT_TRUE(called.count(b.name)) << b.name;
}

TEST(Builtins, ErrorMessagesNameTheFunction) {
  TempDir dir;
  Connection db("Database=" + dir.File("f.db"));
  const std::pair<const char*, const char*> cases[] = {
      {"SELECT Nosuch(1)", "'Nosuch' is not a recognized built-in function name."},
      {"SELECT LEFT('abc')", "The left function requires 2 argument(s)."},
      {"SELECT ROUND(1)", "The round function requires 2 to 3 arguments."},
      {"SELECT COALESCE(1)", "The coalesce function requires at least 2 arguments."},
      {"SELECT DATEADD(fortnight, 1, GETDATE())", "'fortnight' is not a recognized dateadd option."},
  };
  for (const auto& [sql, message] : cases) {
    std::vector<Diag> d;
    db.Exec(sql, &d);
    ASSERT_FALSE(d.empty()) << sql;
    EXPECT_EQ(std::string("[tsqlite]") + message, d[0].message);
  }
}

}  // namespace
}  // namespace tsqlite_test
