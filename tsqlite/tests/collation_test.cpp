// The collation of a database file: text compares as the file was made to compare, under each
// collation a file may have; a file keeps the collation it was made with, also when several
// connections make it at once.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <iterator>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "executor.h"
#include "odbc_helpers.h"

namespace tsqlite_test {
namespace {

// The same statements under each collation a file may have: the answer under Latin1_General_CI_AS,
// Latin1_General_CS_AS and Latin1_General_100_BIN2_UTF8 (nullptr: not checked there).
struct CollationCase {
  const char* sql;
  const char* ci;
  const char* cs;
  const char* bin;
};

// w: 1 'g1', 2 'G1', 3 'Äpfel', 4 'äpfel', 5 'apfel', 6 'b'; k: 'a'; own: 'a' (a CS_AS column).
const CollationCase kCollationCases[] = {
    // Case and accent: _CI_ ignores the case of every letter, umlauts included; _AS keeps 'a' and
    // 'ä' apart; trailing blanks never count.
    // https://learn.microsoft.com/en-us/previous-versions/sql/sql-server-2012/ms143726(v=sql.110)
    // https://learn.microsoft.com/en-gb/sql/t-sql/language-elements/string-comparison-assignment?view=sql-server-2017
    {"SELECT CASE WHEN 'g1' = 'G1' THEN 1 ELSE 0 END", "1", "0", "0"},
    {"SELECT CASE WHEN 'Ä' = 'ä' THEN 1 ELSE 0 END", "1", "0", "0"},
    {"SELECT CASE WHEN 'a' = 'ä' THEN 1 ELSE 0 END", "0", "0", "0"},
    {"SELECT CASE WHEN 'a' = 'a  ' THEN 1 ELSE 0 END", "1", "1", "1"},
    {"SELECT CASE WHEN 'g1' IN ('x', 'G1') THEN 1 ELSE 0 END, CASE WHEN 'b' BETWEEN 'A' AND 'C' THEN 1 ELSE 0 END",
     "1|1", "0|1", "0|0"},
    {"SELECT COUNT(*) FROM dbo.w WHERE s = 'g1'", "2", "1", "1"},
    {"SELECT COUNT(*) FROM dbo.w WHERE s <> 'G1'", "4", "5", "5"},
    {"SELECT COUNT(*) FROM dbo.w WHERE s < 'b'", "3", "3", "2"},
    {"SELECT COUNT(*) FROM dbo.w WHERE s BETWEEN 'a' AND 'c'", "4", "4", "2"},
    {"SELECT COUNT(*) FROM dbo.w WHERE s IN ('G1', 'ÄPFEL')", "4", "1", "1"},
    {"SELECT COUNT(*) FROM dbo.w WHERE s LIKE 'g%'", "2", "1", "1"},
    {"SELECT COUNT(*) FROM dbo.w WHERE s LIKE 'Ä_FEL'", "2", "0", "0"},
    {"SELECT COUNT(*) FROM dbo.w WHERE s LIKE '[G]1'", "2", "1", "1"},
    {"SELECT COUNT(DISTINCT s) FROM dbo.w", "4", "6", "6"},
    {"SELECT COUNT(*) FROM dbo.w GROUP BY s HAVING COUNT(*) > 1", "2;2", "", ""},
    {"SELECT COUNT(*) FROM dbo.w AS a JOIN dbo.w AS b ON a.s = b.s", "10", "6", "6"},
    {"SELECT MIN(s), MAX(s) FROM dbo.w WHERE id > 2", "apfel|b", "apfel|b", "apfel|äpfel"},
    // Order: under _CS_ lower case comes before upper case where nothing else differs; binary
    // order is that of the bytes.
    // https://learn.microsoft.com/en-us/previous-versions/sql/sql-server-2012/ms180175(v=sql.110)
    {"SELECT s FROM dbo.w ORDER BY s, id", "apfel;Äpfel;äpfel;b;g1;G1", "apfel;äpfel;Äpfel;b;g1;G1",
     "G1;apfel;b;g1;Äpfel;äpfel"},
    {"SELECT COUNT(*) FROM (SELECT s FROM dbo.w WHERE id = 2 UNION SELECT s FROM dbo.w WHERE id = 1) AS u", "1", "2",
     "2"},
    // Keys compare by the collation: 'A' after 'a' is a duplicate under _CI_.
    {"INSERT INTO dbo.k VALUES ('A')", "#2627", "ok", "ok"},
    // A COLLATE clause decides for its expression and for its column.
    {"SELECT CASE WHEN 'g1' = 'G1' COLLATE Latin1_General_CS_AS THEN 1 ELSE 0 END", "0", "0", "0"},
    {"SELECT CASE WHEN 'g1' = 'G1' COLLATE Latin1_General_CI_AS THEN 1 ELSE 0 END", "1", "1", "1"},
    {"SELECT COUNT(*) FROM dbo.own WHERE s = 'A'", "0", "0", "0"},
    // Two columns of different collations compared: 468, in WHERE and in JOIN ... ON, for a value made
    // from a column too, unless a COLLATE clause decides; a literal takes the column's collation.
    // https://learn.microsoft.com/en-us/sql/t-sql/statements/collation-precedence-transact-sql
    // https://sqlserver-help.com/2014/08/ (Msg 468, the right operand's collation named first)
    {"SELECT COUNT(*) FROM dbo.w JOIN dbo.own ON w.s = own.s", "#468", "0", "#468"},
    {"SELECT COUNT(*) FROM dbo.w, dbo.own WHERE UPPER(own.s) <> w.s", "#468", "6", "#468"},
    {"SELECT COUNT(*) FROM dbo.w JOIN dbo.own ON w.s = own.s COLLATE Latin1_General_CI_AS", "0", "0", "0"},
    {"SELECT COUNT(*) FROM dbo.w JOIN dbo.own ON w.s COLLATE Latin1_General_CS_AS = own.s WHERE own.s = 'A'", "0", "0",
     "0"},
    {"SELECT COUNT(*) FROM dbo.w AS a JOIN dbo.w AS b ON a.s = b.s JOIN dbo.k ON k.s < a.s", "10", "12", "11"},
    // A CASE whose result is a column's has the column's collation.
    // https://learn.microsoft.com/en-us/sql/t-sql/statements/collation-precedence-transact-sql
    {"SELECT COUNT(*) FROM dbo.own WHERE CASE WHEN s = 'a' THEN s END = 'A'", "0", "0", "0"},
    // A value computed from a column keeps the column's collation, in LIKE too; a clause decides over
    // it, an unknown _CI_ collation ignoring case too.
    // https://learn.microsoft.com/en-us/sql/t-sql/statements/collation-precedence-transact-sql
    {"SELECT CASE WHEN ISNULL(s, '') = 'A' THEN 1 ELSE 0 END, CASE WHEN s LIKE 'A' THEN 1 ELSE 0 END, CASE WHEN "
     "UPPER(s) IN ('a') THEN 1 ELSE 0 END, CASE WHEN (s) BETWEEN 'A' AND 'A' THEN 1 ELSE 0 END FROM dbo.own",
     "0|0|0|0", "0|0|0|0", "0|0|0|0"},
    {"SELECT CASE WHEN s COLLATE Latin1_General_CI_AS LIKE 'A' THEN 1 ELSE 0 END, CASE WHEN 'g1' LIKE 'G1' COLLATE "
     "SQL_Latin1_General_CP1_CI_AS THEN 1 ELSE 0 END, CASE WHEN UPPER(s COLLATE Latin1_General_CI_AS) = 'a' THEN 1 "
     "ELSE 0 END FROM dbo.own",
     "1|1|1", "1|1|1", "1|1|1"},
    // Code page 1252 holds one byte per character: a varchar(10) takes 10 umlauts, DATALENGTH
    // counts them once; UTF-8 counts the umlaut's two bytes.
    // https://learn.microsoft.com/en-us/previous-versions/sql/sql-server-2012/ms143726(v=sql.110)
    {"INSERT INTO dbo.w (id, s) VALUES (7, 'ÄÄÄÄÄÄÄÄÄÄ')", "ok", "ok", "#8152"},
    // https://learn.microsoft.com/sql/t-sql/functions/datalength-transact-sql (bytes, by the encoding)
    {"SELECT LEN(s), DATALENGTH(s) FROM dbo.w WHERE id = 3", "5|5", "5|5", "5|6"},
    // A character outside code page 1252 becomes its best-fit letter (Ł as L, ź as z), or '?'
    // where there is none (ア); nvarchar keeps every character.
    // https://learn.microsoft.com/en-us/previous-versions/sql/sql-server-2012/ms143726(v=sql.110)
    // https://dba.stackexchange.com/questions/76781/automatic-translation-when-converting-unicode-to-non-unicode-nvarchar-to-varch
    {"INSERT INTO dbo.w (id, s) VALUES (8, N'Łódźア')", "ok", "ok", "ok"},
    {"SELECT s FROM dbo.w WHERE id = 8", "Lódz?", "Lódz?", "Łódźア"},
    // A value computed from an nvarchar column is converted the same way, and its width counted in
    // characters, whether INSERT ... SELECT (with or without a column list) or UPDATE writes it.
    {"CREATE TABLE dbo.nw (id int, n nvarchar(20))", "ok", "ok", "ok"},
    {"INSERT INTO dbo.nw VALUES (1, N'Łódźア'), (2, N'ÄÄÄÄÄÄÄÄÄÄÄ')", "ok", "ok", "ok"},
    {"INSERT INTO dbo.w (id, s) SELECT 9, n FROM dbo.nw WHERE id = 1", "ok", "ok", "ok"},
    {"INSERT INTO dbo.w SELECT 10, n FROM dbo.nw WHERE id = 1", "ok", "ok", "ok"},
    {"UPDATE dbo.w SET s = (SELECT n FROM dbo.nw WHERE id = 1) WHERE id = 6", "ok", "ok", "ok"},
    {"SELECT id, s, DATALENGTH(s) FROM dbo.w WHERE id IN (6, 9, 10) ORDER BY id", "6|Lódz?|5;9|Lódz?|5;10|Lódz?|5",
     "6|Lódz?|5;9|Lódz?|5;10|Lódz?|5", "6|Łódźア|10;9|Łódźア|10;10|Łódźア|10"},
    {"INSERT INTO dbo.w (id, s) SELECT 11, n FROM dbo.nw WHERE id = 2", "#8152", "#8152", "#8152"},
    {"UPDATE dbo.w SET s = LEFT((SELECT n FROM dbo.nw WHERE id = 2), 10) WHERE id = 9", "ok", "ok", "#8152"},
    // The column made again with another collation: the statement above reads the new one.
    {"DROP TABLE dbo.own", "ok", "ok", "ok"},
    {"CREATE TABLE dbo.own (s varchar(5) COLLATE Latin1_General_CI_AS)", "ok", "ok", "ok"},
    {"INSERT INTO dbo.own VALUES ('a')", "ok", "ok", "ok"},
    {"SELECT CASE WHEN ISNULL(s, '') = 'A' THEN 1 ELSE 0 END, CASE WHEN s LIKE 'A' THEN 1 ELSE 0 END, CASE WHEN "
     "UPPER(s) IN ('a') THEN 1 ELSE 0 END, CASE WHEN (s) BETWEEN 'A' AND 'A' THEN 1 ELSE 0 END FROM dbo.own",
     "1|1|1|1", "1|1|1|1", "1|1|1|1"},
    {"SELECT COUNT(*) FROM dbo.own WHERE CASE WHEN s = 'a' THEN s END = 'A'", "1", "1", "1"},
    {"SELECT COUNT(*) FROM dbo.w JOIN dbo.own ON w.s = own.s", "0", "#468", "#468"},
    {"SELECT DATABASEPROPERTYEX(DB_NAME(), 'Collation'), SERVERPROPERTY('Collation')",
     "Latin1_General_CI_AS|Latin1_General_CI_AS", "Latin1_General_CS_AS|Latin1_General_CS_AS",
     "Latin1_General_100_BIN2_UTF8|Latin1_General_100_BIN2_UTF8"},
};

TEST(Conformance, TextComparesByTheFilesCollation) {
  TempDir dir;
  for (const char* collation : {"Latin1_General_CI_AS", "Latin1_General_CS_AS", "Latin1_General_100_BIN2_UTF8"}) {
    SCOPED_TRACE(collation);
    // A new file without the key gets Latin1_General_CI_AS.
    const std::string key =
        std::string(collation) == "Latin1_General_CI_AS" ? "" : std::string(";Collation=") + collation;
    Connection db("Database=" + dir.File(std::string(collation) + ".db") + key);
    ASSERT_TRUE(db.Ok());
    for (const char* setup :
         {"CREATE TABLE dbo.w (id int NOT NULL PRIMARY KEY, s varchar(10))",
          "INSERT INTO dbo.w VALUES (1, 'g1'), (2, 'G1'), (3, 'Äpfel'), (4, 'äpfel'), (5, 'apfel'), (6, 'b')",
          "CREATE TABLE dbo.k (s varchar(5) NOT NULL PRIMARY KEY)", "INSERT INTO dbo.k VALUES ('a')",
          "CREATE TABLE dbo.own (s varchar(5) COLLATE Latin1_General_CS_AS)", "INSERT INTO dbo.own VALUES ('a')"}) {
      ASSERT_EQ("ok", Answer(db, setup)) << setup;
    }
    for (size_t row = 0; row < std::size(kCollationCases); ++row) {
      const CollationCase& c = kCollationCases[row];
      const char* want = collation[15] == 'C' ? (collation[16] == 'I' ? c.ci : c.cs) : c.bin;
      if (want != nullptr) {
        EXPECT_EQ(want, Answer(db, c.sql)) << "row " << row + 1 << ": " << c.sql;
      }
    }
    // 468 names the right operand's collation first, then the left's, then the operation.
    if (std::string(collation) == "Latin1_General_CS_AS") {
      Statement conflict(db);
      ASSERT_EQ(SQL_ERROR, conflict.Exec("SELECT 1 FROM dbo.w, dbo.own WHERE w.s < own.s"));
      EXPECT_EQ(
          "[tsqlite]Cannot resolve the collation conflict between \"Latin1_General_CI_AS\" and "
          "\"Latin1_General_CS_AS\" in the less than operation.",
          Diagnostics(SQL_HANDLE_STMT, conflict.H())[0].message);
    }
  }
}

// A file keeps the collation it was made with; a file made before collations is binary. An
// unknown name is refused as SQL Server refuses it (448).
TEST(Conformance, CollationIsTheFilesOwn) {
  TempDir dir;
  // Files as the driver made them before: with the schemas' table, or with a table only.
  const std::string old_files[] = {dir.File("old.db"), dir.File("older.db")};
  const char* const old_sql[] = {
      "CREATE TABLE tsqlite_schemas (name TEXT PRIMARY KEY COLLATE NOCASE); "
      "INSERT INTO tsqlite_schemas VALUES ('dbo');",
      "CREATE TABLE \"dbo.t\" (s VARCHAR(5) COLLATE RTRIM);"};
  for (int k = 0; k < 2; ++k) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(old_files[k].c_str(), &raw));
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(raw, old_sql[k], nullptr, nullptr, nullptr));
    sqlite3_close(raw);
  }
  const std::string ask =
      "SELECT DATABASEPROPERTYEX(DB_NAME(), 'Collation') + CASE WHEN 'g1' = 'G1' THEN '=' ELSE '<>' END";
  for (const std::string& file : {old_files[0], old_files[1], dir.File("ci.db")}) {
    Connection made("Database=" + file);
    ASSERT_TRUE(made.Ok());
    Connection later("Database=" + file + ";Collation=Latin1_General_CS_AS");  // changes nothing
    ASSERT_TRUE(later.Ok());
    EXPECT_EQ(file == dir.File("ci.db") ? "Latin1_General_CI_AS=" : "Latin1_General_100_BIN2_UTF8<>",
              Answer(later, ask))
        << file;
  }
  Connection unknown("Database=" + dir.File("x.db") + ";Collation=German_PhoneBook_CI_AS");
  EXPECT_FALSE(unknown.Ok());
  ASSERT_FALSE(unknown.ConnectDiags().empty());
  EXPECT_EQ(448, unknown.ConnectDiags()[0].native);
}

// Connections that open one new file at the same moment (a copy making its target while another
// process looks at it) all connect, and the file keeps the collation it was made with. They open
// the engine's database straight away: through the driver manager they seldom meet in time.
TEST(Conformance, ConnectionsOpeningOneNewFileAtOnceAllConnect) {
  TempDir dir;
  for (int file = 0; file < 40; ++file) {
    const std::string path = dir.File("race" + std::to_string(file) + ".db");
    std::vector<std::string> answers(6);
    std::vector<std::thread> openers;
    std::latch ready(static_cast<std::ptrdiff_t>(answers.size()));
    for (std::string& answer : answers) {
      openers.emplace_back([&path, &answer, &ready] {
        tsqlite::Settings settings;
        settings.file = path;
        settings.create = true;
        settings.collation = "Latin1_General_100_BIN2_UTF8";
        tsqlite::Database db;
        tsqlite::Error error;
        ready.arrive_and_wait();  // all open at once
        if (!db.Open(settings, error)) {
          answer = "no connection: " + error.message;
          return;
        }
        tsqlite::Batch batch;
        tsqlite::Error read;
        if (db.Execute("SELECT CAST(DATABASEPROPERTYEX(DB_NAME(), 'Collation') AS varchar(40))", batch) &&
            batch.results.size() == 1 && batch.results[0].rows == 1 && db.Window(batch.results[0], 0, read)) {
          answer = batch.results[0].cells[0].text;
        }
      });
    }
    for (std::thread& t : openers) t.join();
    for (const std::string& answer : answers) EXPECT_EQ("Latin1_General_100_BIN2_UTF8", answer) << path;
  }
}

}  // namespace
}  // namespace tsqlite_test
