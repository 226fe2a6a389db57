// The catalog as SQL Server's metadata functions give it, and the scripts that ask it whether a
// schema or table exists before making it. Each row cites the page it relies on.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "odbc_helpers.h"

namespace tsqlite_test {
namespace {

struct Row {
  const char* sql;
  const char* answer;  // the first value as text, "NULL", "ok" for no result, "#n" for error n
};

std::string FirstValue(Connection& db, const std::string& sql) {
  std::vector<Diag> d;
  Statement stmt(db);
  const SQLRETURN rc = stmt.Exec(sql);
  if (rc == SQL_ERROR) {
    d = Diagnostics(SQL_HANDLE_STMT, stmt.H());
    return "#" + std::to_string(d.empty() ? 0 : d[0].native);
  }
  do {
    SQLSMALLINT columns = 0;
    SQLNumResultCols(stmt.H(), &columns);
    if (columns == 0) continue;
    const std::vector<std::vector<std::string>> rows = FetchAll(stmt.H());
    return rows.empty() || rows[0].empty() ? "none" : rows[0][0];
  } while (SQL_SUCCEEDED(SQLMoreResults(stmt.H())));
  return "ok";
}

const Row kRows[] = {
    // OBJECT_ID: the number of a schema-scoped object, NULL when there is none or it is of
    // another type; a temporary table is asked for in tempdb.
    // https://learn.microsoft.com/en-us/sql/t-sql/functions/object-id-transact-sql
    {"SELECT CASE WHEN OBJECT_ID(N'B.T') IS NULL THEN 'none' ELSE 'some' END", "none"},
    {"IF SCHEMA_ID(N'B') IS NULL CREATE SCHEMA B", "ok"},
    {"IF OBJECT_ID(N'B.T', N'U') IS NULL CREATE TABLE B.T (id int NOT NULL, s varchar(8), n nvarchar(10), "
     "m nvarchar(max), d datetime, k decimal(12, 2))",
     "ok"},
    // the idiom again: the table exists, so nothing is made and nothing fails
    {"IF OBJECT_ID(N'B.T', N'U') IS NULL CREATE TABLE B.T (id int NOT NULL)", "ok"},
    {"SELECT CASE WHEN OBJECT_ID(N'B.T') = OBJECT_ID(N'[b].[t]', N'U') THEN 'same' END", "same"},
    {"SELECT CASE WHEN OBJECT_ID(N'B.T') = OBJECT_ID('f.B.T') THEN 'same' END", "same"},
    {"SELECT CASE WHEN OBJECT_ID(N'B.T') > 0 THEN 'positive' END", "positive"},
    {"SELECT OBJECT_ID(N'B.T', N'V')", "NULL"},
    {"SELECT OBJECT_ID(N'T')", "NULL"},  // the default schema is dbo
    {"SELECT OBJECT_ID(N'otherdb.B.T')", "NULL"},
    {"SELECT OBJECT_ID(N'[B.T')", "NULL"},
    {"SELECT OBJECT_ID(NULL)", "NULL"},
    {"CREATE TABLE #work (id int)", "ok"},
    {"SELECT CASE WHEN OBJECT_ID(N'tempdb..#work') IS NOT NULL THEN 'temp' END", "temp"},
    {"IF OBJECT_ID(N'tempdb..#work') IS NOT NULL DROP TABLE #work", "ok"},
    {"SELECT OBJECT_ID(N'tempdb..#work')", "NULL"},
    // OBJECTPROPERTY(id, 'IsUserTable'): 1 for a table, NULL for a number that is no object.
    // https://learn.microsoft.com/en-us/sql/t-sql/functions/objectproperty-transact-sql
    {"SELECT OBJECTPROPERTY(OBJECT_ID(N'B.T'), 'IsUserTable')", "1"},
    {"SELECT OBJECTPROPERTY(OBJECT_ID(N'B.T'), 'IsView')", "0"},
    {"SELECT OBJECTPROPERTY(OBJECT_ID(N'B.T'), 'NoSuchProperty')", "NULL"},
    // SCHEMA_ID and SCHEMA_NAME: system schemas and the users' own; NULL for none.
    // https://learn.microsoft.com/en-us/sql/t-sql/functions/schema-id-transact-sql
    // https://learn.microsoft.com/en-us/sql/t-sql/functions/schema-name-transact-sql
    {"SELECT SCHEMA_ID('dbo')", "1"},
    {"SELECT SCHEMA_ID()", "1"},
    {"SELECT SCHEMA_ID('INFORMATION_SCHEMA')", "3"},
    {"SELECT SCHEMA_ID('B')", "5"},
    {"SELECT SCHEMA_NAME(SCHEMA_ID('b'))", "B"},
    {"SELECT SCHEMA_ID('nosuch')", "NULL"},
    {"SELECT SCHEMA_NAME(99)", "NULL"},
    {"CREATE SCHEMA C", "ok"},
    {"SELECT SCHEMA_ID('C')", "6"},
    {"SELECT SCHEMA_NAME(6)", "C"},
    // COL_LENGTH: the defined length in bytes; nvarchar counts two per character, (max) is -1.
    // https://learn.microsoft.com/en-us/sql/t-sql/functions/col-length-transact-sql
    {"SELECT COL_LENGTH('B.T', 's')", "8"},
    {"SELECT COL_LENGTH('B.T', 'n')", "20"},
    {"SELECT COL_LENGTH('B.T', 'm')", "-1"},
    {"SELECT COL_LENGTH('B.T', 'id')", "4"},
    {"SELECT COL_LENGTH('B.T', 'd')", "8"},
    {"SELECT COL_LENGTH('B.T', 'k')", "9"},
    {"SELECT COL_LENGTH('B.T', 'nosuch')", "NULL"},
    // The catalog views: tables, views and their columns with SQL Server's names and values.
    // https://learn.microsoft.com/en-us/sql/relational-databases/system-information-schema-views/tables-transact-sql
    {"SELECT TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = 'B' AND TABLE_NAME = 'T'", "BASE TABLE"},
    {"SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME LIKE 'tsqlite%'", "0"},
    // https://learn.microsoft.com/en-us/sql/relational-databases/system-information-schema-views/schemata-transact-sql
    {"SELECT SCHEMA_OWNER FROM INFORMATION_SCHEMA.SCHEMATA WHERE SCHEMA_NAME = 'B'", "dbo"},
    // https://learn.microsoft.com/en-us/sql/relational-databases/system-information-schema-views/columns-transact-sql
    {"SELECT DATA_TYPE + '|' + CAST(CHARACTER_MAXIMUM_LENGTH AS varchar(9)) + '|' + "
     "CAST(CHARACTER_OCTET_LENGTH AS varchar(9)) + '|' + IS_NULLABLE FROM INFORMATION_SCHEMA.COLUMNS WHERE "
     "TABLE_SCHEMA = 'B' AND TABLE_NAME = 'T' AND COLUMN_NAME = 'n'",
     "nvarchar|10|20|YES"},
    {"SELECT DATA_TYPE + '|' + IS_NULLABLE + '|' + ISNULL(CAST(CHARACTER_MAXIMUM_LENGTH AS varchar(9)), 'NULL') "
     "FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'T' AND ORDINAL_POSITION = 1",
     "int|NO|NULL"},
    // https://learn.microsoft.com/en-us/sql/relational-databases/system-catalog-views/sys-objects-transact-sql
    {"SELECT type_desc FROM sys.objects WHERE object_id = OBJECT_ID('B.T') AND type = 'U'", "USER_TABLE"},
    // https://learn.microsoft.com/en-us/sql/relational-databases/system-catalog-views/sys-tables-transact-sql
    {"SELECT t.name FROM sys.tables AS t JOIN sys.schemas AS s ON s.schema_id = t.schema_id WHERE s.name = 'B'", "T"},
    // https://learn.microsoft.com/en-us/sql/relational-databases/system-catalog-views/sys-columns-transact-sql
    {"SELECT COUNT(*) FROM sys.columns WHERE object_id = OBJECT_ID(N'B.T')", "6"},
    {"SELECT max_length FROM sys.columns WHERE object_id = OBJECT_ID(N'B.T') AND name = 'm'", "-1"},
    {"CREATE TABLE B.I (k int IDENTITY(1, 1) PRIMARY KEY, v int)", "ok"},
    {"SELECT SUM(is_identity) * 10 + MAX(is_identity) FROM sys.columns WHERE object_id = OBJECT_ID(N'B.I') AND "
     "name = 'k' OR object_id = OBJECT_ID(N'B.T')",
     "11"},
    // https://learn.microsoft.com/en-us/sql/relational-databases/system-catalog-views/sys-schemas-transact-sql
    {"SELECT schema_id FROM sys.schemas WHERE name = 'sys'", "4"},
    // https://learn.microsoft.com/en-us/sql/relational-databases/system-catalog-views/sys-views-transact-sql
    {"SELECT COUNT(*) FROM sys.views", "0"},
    // https://learn.microsoft.com/en-us/sql/relational-databases/system-catalog-views/sys-types-transact-sql
    {"SELECT c.name + '|' + t.name FROM sys.columns AS c JOIN sys.types AS t ON t.user_type_id = c.user_type_id "
     "WHERE c.object_id = OBJECT_ID('B.T') AND c.name = 'd'",
     "d|datetime"},
    {"SELECT CAST(user_type_id AS varchar(5)) + '|' + collation_name FROM sys.types WHERE name = 'sysname'",
     "256|Latin1_General_CI_AS"},
    // DB_ID and DB_NAME: the system databases have 1 to 4; NULL for a database that is not there.
    // https://learn.microsoft.com/en-us/sql/t-sql/functions/db-id-transact-sql
    // https://learn.microsoft.com/en-us/sql/t-sql/functions/db-name-transact-sql
    {"SELECT DB_NAME()", "f"},
    {"SELECT DB_NAME(DB_ID())", "f"},
    {"SELECT DB_ID('tempdb')", "2"},
    {"SELECT DB_ID('nosuch')", "NULL"},
    // DATABASEPROPERTYEX(DB_NAME(), 'Collation'): the database's collation by SQL Server's name.
    // https://learn.microsoft.com/en-us/sql/t-sql/functions/databasepropertyex-transact-sql
    {"SELECT DATABASEPROPERTYEX(DB_NAME(), 'Collation')", "Latin1_General_CI_AS"},
    {"SELECT DATABASEPROPERTYEX(DB_NAME(), 'NoSuchProperty')", "NULL"},
};

TEST(Catalog, MetadataFunctionsAnswerAsSqlServerDocuments) {
  TempDir dir;
  Connection db("Database=" + dir.File("f.db"));
  ASSERT_TRUE(db.Ok());
  for (const Row& r : kRows) EXPECT_EQ(r.answer, FirstValue(db, r.sql)) << r.sql;
}

// A view is listed however it was made: here made in the file directly, as "S.V" beside the tables.
// https://learn.microsoft.com/en-us/sql/relational-databases/system-information-schema-views/views-transact-sql
TEST(Catalog, ViewsAreListedAsViews) {
  TempDir dir;
  {
    Connection db("Database=" + dir.File("f.db"));
    ASSERT_TRUE(db.Ok());
    ASSERT_EQ("ok", FirstValue(db, "CREATE TABLE dbo.t (id int)"));
  }
  sqlite3* raw = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(dir.File("f.db").c_str(), &raw));
  EXPECT_EQ(SQLITE_OK,
            sqlite3_exec(raw, "CREATE VIEW \"dbo.v\" AS SELECT id FROM \"dbo.t\"", nullptr, nullptr, nullptr));
  sqlite3_close(raw);
  Connection db("Database=" + dir.File("f.db"));
  ASSERT_TRUE(db.Ok());
  const Row rows[] = {
      {"SELECT CASE WHEN OBJECT_ID('dbo.v', 'V') = OBJECT_ID('dbo.v') THEN 'view' END", "view"},
      {"SELECT OBJECT_ID('dbo.v', 'U')", "NULL"},
      {"SELECT OBJECTPROPERTY(OBJECT_ID('dbo.v'), 'IsView')", "1"},
      {"SELECT OBJECTPROPERTY(OBJECT_ID('dbo.v'), 'IsUserTable')", "0"},
      {"SELECT TABLE_NAME + '|' + CHECK_OPTION + '|' + IS_UPDATABLE FROM INFORMATION_SCHEMA.VIEWS", "v|NONE|NO"},
      {"SELECT TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = 'v'", "VIEW"},
      {"SELECT type_desc FROM sys.views", "VIEW"},
      {"SELECT name FROM sys.objects WHERE type = 'V'", "v"},
      {"SELECT COUNT(*) FROM sys.tables", "1"},
  };
  for (const Row& r : rows) EXPECT_EQ(r.answer, FirstValue(db, r.sql)) << r.sql;
}

// An object's number stays the same in every connection, so a script may keep it.
TEST(Catalog, ObjectNumbersOutliveTheConnection) {
  TempDir dir;
  std::string first;
  {
    Connection db("Database=" + dir.File("f.db"));
    ASSERT_TRUE(db.Ok());
    ASSERT_EQ("ok", FirstValue(db, "CREATE TABLE dbo.keep (id int)"));
    first = FirstValue(db, "SELECT OBJECT_ID('dbo.keep')");
  }
  Connection again("Database=" + dir.File("f.db"));
  ASSERT_TRUE(again.Ok());
  EXPECT_EQ(first, FirstValue(again, "SELECT OBJECT_ID('dbo.keep')"));
  EXPECT_NE("NULL", first);
}

}  // namespace
}  // namespace tsqlite_test
