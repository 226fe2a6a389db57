// The driver's ODBC behaviour, reached through the unixODBC driver manager as planex reaches it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "odbc_helpers.h"

namespace tsqlite_test {
namespace {

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db_.Ok()) << (db_.ConnectDiags().empty() ? "" : db_.ConnectDiags()[0].message);
    for (const char* const* s = kSchema; *s != nullptr; ++s) {
      std::vector<Diag> d;
      ASSERT_TRUE(SQL_SUCCEEDED(db_.Exec(*s, &d))) << *s << ": " << (d.empty() ? "" : d[0].message);
    }
    ASSERT_EQ(SQL_SUCCESS, db_.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam) VALUES ('00000001', 'Anna')"));
    ASSERT_EQ(SQL_SUCCESS,
              db_.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam, PnrSta) VALUES ('00000002', NULL, 2)"));
  }

  TempDir dir_;
  std::string file_ = dir_.File("company.db");
  Connection db_{"Database=" + file_};
};

struct ErrorCase {
  const char* name;
  const char* sql;
  SQLINTEGER native;
  const char* sqlstate;
  const char* message_part;
  bool terminated;  // followed by 3621 "The statement has been terminated."
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ErrorCase& c, std::ostream* os) {
  *os << c.name;
}

class NativeErrors : public DriverTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(NativeErrors, AreReportedAsSqlServerReportsThem) {
  const ErrorCase& c = GetParam();
  std::vector<Diag> diags;
  EXPECT_EQ(SQL_ERROR, db_.Exec(c.sql, &diags));
  ASSERT_FALSE(diags.empty());
  EXPECT_EQ(c.native, diags[0].native) << diags[0].message;
  EXPECT_EQ(c.sqlstate, diags[0].sqlstate);
  EXPECT_NE(std::string::npos, diags[0].message.find(c.message_part)) << diags[0].message;
  if (c.terminated) {
    ASSERT_EQ(2u, diags.size());
    EXPECT_EQ(3621, diags[1].native);
    EXPECT_EQ("01000", diags[1].sqlstate);
    EXPECT_NE(std::string::npos, diags[1].message.find("The statement has been terminated."));
  } else {
    EXPECT_EQ(1u, diags.size());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Driver, NativeErrors,
    ::testing::Values(
        ErrorCase{
            "ForeignKey",
            "INSERT INTO ABC_1.Qxs327Tag (TagPnr, TagTag) VALUES ('00000099', CONVERT(Datetime, '20240105', 112))", 547,
            "23000", "FOREIGN KEY", true},
        ErrorCase{"Check", "INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrSta) VALUES ('00000003', 9)", 547, "23000", "CHECK",
                  true},
        ErrorCase{"PrimaryKey", "INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000001')", 2627, "23000",
                  "Violation of PRIMARY KEY constraint", true},
        ErrorCase{"NotNull", "INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES (NULL)", 515, "23000",
                  "Cannot insert the value NULL into column 'PnrNum'", true},
        ErrorCase{"TooLong", "INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam) VALUES ('00000004', 'Maximiliane')", 8152,
                  "22001", "String or binary data would be truncated.", true},
        ErrorCase{"UnknownTable", "SELECT PnrNum FROM ABC_1.Qxs999Xyz", 208, "42S02", "Invalid object name", false},
        ErrorCase{"UnknownColumn", "SELECT PnrXyz FROM ABC_1.Qxs300Pnr", 207, "42S22", "Invalid column name 'PnrXyz'",
                  false},
        ErrorCase{"QuotedUnknownColumn", "SELECT \"PnrXyz\" FROM ABC_1.Qxs300Pnr", 207, "42S22",
                  "Invalid column name 'PnrXyz'", false},
        ErrorCase{"TextThatIsNoDateIntoDatetime",
                  "INSERT INTO ABC_1.Qxs327Tag (TagPnr, TagTag) VALUES ('00000001', '2024-01-0x')", 241, "22007",
                  "Conversion failed when converting date and/or time from character string.", false},
        ErrorCase{"ModuloByZero", "SELECT 7 % 0", 8134, "22012", "Divide by zero error encountered.", false},
        ErrorCase{"DivideByZero", "SELECT 7 / 0", 8134, "22012", "Divide by zero error encountered.", false},
        ErrorCase{"Syntax", "SELECT FROM WHERE", 102, "42000", "Incorrect syntax near", false}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

TEST_F(DriverTest, TextCutToItsBufferIsSuccessWithInfo) {
  Statement stmt(db_);
  ASSERT_EQ(SQL_SUCCESS, stmt.Exec("SELECT PnrNam, PnrNum FROM ABC_1.Qxs300Pnr WHERE PnrNum = '00000001'"));
  char name[4] = "";
  char number[9] = "";
  SQLLEN name_ind = 0, number_ind = 0;
  SQLBindCol(stmt.H(), 1, SQL_C_CHAR, name, sizeof(name), &name_ind);
  SQLBindCol(stmt.H(), 2, SQL_C_CHAR, number, sizeof(number), &number_ind);
  EXPECT_EQ(SQL_SUCCESS_WITH_INFO, SQLFetch(stmt.H()));
  EXPECT_STREQ("Ann", name);
  EXPECT_EQ(4, name_ind);            // the full length
  EXPECT_STREQ("00000001", number);  // fits exactly with its terminator
  std::vector<Diag> d = Diagnostics(SQL_HANDLE_STMT, stmt.H());
  ASSERT_EQ(1u, d.size());
  EXPECT_EQ("01004", d[0].sqlstate);
}

TEST_F(DriverTest, NullSetsTheIndicatorAndLeavesTheBuffer) {
  Statement stmt(db_);
  ASSERT_EQ(SQL_SUCCESS,
            stmt.Exec("SELECT PnrNam, MAX(PnrSta) FROM ABC_1.Qxs300Pnr WHERE PnrNum = '00000002' GROUP BY PnrNam"));
  char name[11] = "unchanged";
  SQLINTEGER number = 0;
  SQLLEN name_ind = 0, number_ind = 0;
  SQLBindCol(stmt.H(), 1, SQL_C_CHAR, name, sizeof(name), &name_ind);
  SQLBindCol(stmt.H(), 2, SQL_C_LONG, &number, sizeof(number), &number_ind);
  EXPECT_EQ(SQL_SUCCESS, SQLFetch(stmt.H()));
  EXPECT_EQ(SQL_NULL_DATA, name_ind);
  EXPECT_STREQ("unchanged", name);
  EXPECT_EQ(2, number);
  EXPECT_EQ(SQL_NO_DATA, SQLFetch(stmt.H()));
}

TEST_F(DriverTest, NumbersBindAsEveryIntegerAndFloatType) {
  Statement stmt(db_);
  ASSERT_EQ(SQL_SUCCESS,
            stmt.Exec("SELECT PnrSta, PnrSta, PnrSta, PnrSta, PnrNum FROM ABC_1.Qxs300Pnr WHERE PnrNum = '00000002'"));
  SQLINTEGER as_long = 0;
  SQLBIGINT as_bigint = 0;
  double as_double = 0;
  char as_text[8] = "";
  SQLINTEGER number_text = 0;
  SQLLEN ind[5];
  SQLBindCol(stmt.H(), 1, SQL_C_SLONG, &as_long, 0, &ind[0]);
  SQLBindCol(stmt.H(), 2, SQL_C_SBIGINT, &as_bigint, 0, &ind[1]);
  SQLBindCol(stmt.H(), 3, SQL_C_DOUBLE, &as_double, 0, &ind[2]);
  SQLBindCol(stmt.H(), 4, SQL_C_CHAR, as_text, sizeof(as_text), &ind[3]);
  SQLBindCol(stmt.H(), 5, SQL_C_LONG, &number_text, 0, &ind[4]);
  ASSERT_EQ(SQL_SUCCESS, SQLFetch(stmt.H()));
  EXPECT_EQ(2, as_long);
  EXPECT_EQ(2, as_bigint);
  EXPECT_EQ(2.0, as_double);
  EXPECT_STREQ("2", as_text);
  EXPECT_EQ(2, number_text);  // '00000002' read as a number
}

TEST_F(DriverTest, UpdateOrDeleteTouchingNoRowHasNoData) {
  SQLLEN count = -2;
  EXPECT_EQ(SQL_NO_DATA,
            db_.Exec("UPDATE ABC_1.Qxs300Pnr SET PnrNam = 'X' WHERE PnrNum = '00000077'", nullptr, &count));
  EXPECT_EQ(SQL_NO_DATA, db_.Exec("DELETE FROM ABC_1.Qxs300Pnr WHERE PnrNum = '00000077'"));
  EXPECT_EQ(SQL_SUCCESS, db_.Exec("UPDATE ABC_1.Qxs300Pnr SET PnrNam = 'X' WHERE PnrSta < 4", nullptr, &count));
  EXPECT_EQ(2, count);
  // TRUNCATE TABLE gives no count, and succeeds on an empty table too, as on SQL Server.
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(SQL_SUCCESS, db_.Exec("TRUNCATE TABLE ABC_1.Qxs300Pnr", nullptr, &count)) << round;
    EXPECT_EQ(-1, count) << round;
  }
}

TEST_F(DriverTest, RepeatedShapeWithOtherValuesGivesTheirRows) {
  // The second statement has the first one's shape: the cached statement must take the new values.
  EXPECT_EQ("Anna", db_.Scalar("SELECT PnrNam FROM ABC_1.Qxs300Pnr WHERE PnrNum = '00000001'"));
  EXPECT_EQ("NULL", db_.Scalar("SELECT PnrNam FROM ABC_1.Qxs300Pnr WHERE PnrNum = '00000002'"));
  EXPECT_EQ(SQL_SUCCESS, db_.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam) VALUES ('00000005', 'Eva')"));
  EXPECT_EQ(SQL_SUCCESS, db_.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam) VALUES ('00000006', 'O''Brien')"));
  EXPECT_EQ("O'Brien", db_.Scalar("SELECT PnrNam FROM ABC_1.Qxs300Pnr WHERE PnrNum = '00000006'"));
  EXPECT_EQ("4", db_.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs300Pnr"));
}

TEST_F(DriverTest, CurrentTimeIsReadAgainByEveryStatementOfACachedShape) {
  const std::string sql = "SELECT CONVERT(varchar(23), CURRENT_TIMESTAMP, 121)";
  const std::string first = db_.Scalar(sql);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const std::string second = db_.Scalar(sql);
  EXPECT_EQ(first.size(), 23u) << first;
  EXPECT_LT(first, second);
}

TEST_F(DriverTest, DatetimeReadsAsTextWithMilliseconds) {
  ASSERT_EQ(SQL_SUCCESS,
            db_.Exec("INSERT INTO ABC_1.Qxs327Tag (TagPnr, TagTag, TagDat) VALUES ('00000001', "
                     "CONVERT(Datetime, '20240105', 112), CONVERT(Datetime, '2024-01-05 07:30:00', 120))"));
  auto rows = db_.Rows("SELECT TagTag, TagDat, CONVERT(char(8), TagTag, 112) FROM ABC_1.Qxs327Tag");
  ASSERT_EQ(1u, rows.size());
  EXPECT_EQ((std::vector<std::string>{"2024-01-05 00:00:00.000", "2024-01-05 07:30:00.000", "20240105"}), rows[0]);
}

TEST_F(DriverTest, WeekdayFollowsDateFirstOfTheConnection) {
  // 7 January 2024 is a Sunday, 8 January a Monday.
  const char* sunday = "SELECT DATEPART(weekday, CONVERT(Datetime, '20240107', 112))";
  const char* monday = "SELECT DATEPART(weekday, CONVERT(Datetime, '20240108', 112))";
  EXPECT_EQ("1", db_.Scalar(sunday));  // us_english: Sunday is day 1
  EXPECT_EQ("2", db_.Scalar(monday));
  EXPECT_TRUE(SQL_SUCCEEDED(db_.Exec("SET DATEFIRST 1")));
  EXPECT_EQ("7", db_.Scalar(sunday));
  EXPECT_EQ("1", db_.Scalar(monday));

  Connection german("Database=" + file_ + ";DateFirst=1");
  ASSERT_TRUE(german.Ok());
  EXPECT_EQ("7", german.Scalar(sunday));
  EXPECT_EQ("1", german.Scalar(monday));
}

// The DateFirst a file is created with stays with the file for connections that name none; a
// connection that names one keeps its own, and a file created without one has SQL Server's 7.
TEST(Driver, FileKeepsTheDateFirstItWasCreatedWith) {
  TempDir dir;
  const char* at = "SELECT @@DATEFIRST";
  struct Case {
    const char* create;  // DateFirst of the connection that makes the file ("" = none)
    const char* later;   // DateFirst of a later connection ("" = none)
    const char* answer;
  } cases[] = {{"1", "", "1"}, {"1", "7", "7"}, {"", "", "7"}, {"3", "", "3"}, {"", "2", "2"}};
  int n = 0;
  for (const Case& c : cases) {
    const std::string file = dir.File("df" + std::to_string(++n) + ".db");
    {
      Connection made("Database=" + file + (*c.create != '\0' ? std::string(";DateFirst=") + c.create : ""));
      ASSERT_TRUE(made.Ok()) << file;
      ASSERT_TRUE(SQL_SUCCEEDED(made.Exec("CREATE TABLE dbo.t (a int)")));
    }
    Connection later("Create=No;Database=" + file + (*c.later != '\0' ? std::string(";DateFirst=") + c.later : ""));
    ASSERT_TRUE(later.Ok()) << file;
    EXPECT_EQ(c.answer, later.Scalar(at)) << c.create << " then " << c.later;
    // The record is no table a statement reaches.
    EXPECT_FALSE(SQL_SUCCEEDED(later.Exec("SELECT value FROM tsqlite_date_first"))) << file;
  }
}

TEST_F(DriverTest, CursorsKeepTheirPlaceWhileTheirTablesGrowAndEveryWriteIsCommitted) {
  Statement persons(db_), days(db_);
  SQLSetStmtAttr(persons.H(), SQL_ATTR_CURSOR_SCROLLABLE, reinterpret_cast<SQLPOINTER>(SQL_NONSCROLLABLE),
                 SQL_IS_INTEGER);
  EXPECT_EQ(SQL_SUCCESS, SQLSetStmtAttr(persons.H(), SQL_ATTR_CONCURRENCY,
                                        reinterpret_cast<SQLPOINTER>(SQL_CONCUR_LOCK), SQL_IS_INTEGER));
  ASSERT_EQ(SQL_SUCCESS, persons.Exec("SELECT PnrNum FROM ABC_1.Qxs300Pnr ORDER BY PnrNum"));
  ASSERT_EQ(SQL_SUCCESS, days.Exec("SELECT TagPnr FROM ABC_1.Qxs327Tag"));
  char pnr[9] = "";
  SQLLEN ind = 0;
  SQLBindCol(persons.H(), 1, SQL_C_CHAR, pnr, sizeof(pnr), &ind);
  ASSERT_EQ(SQL_SUCCESS, SQLFetch(persons.H()));
  EXPECT_STREQ("00000001", pnr);

  Connection other("Database=" + file_);
  ASSERT_TRUE(other.Ok());
  ASSERT_EQ(SQL_SUCCESS, db_.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000000')"));
  ASSERT_EQ(
      SQL_SUCCESS,
      db_.Exec("INSERT INTO ABC_1.Qxs327Tag (TagPnr, TagTag) VALUES ('00000001', CONVERT(Datetime, '20240105', 112))"));
  // Committed while both cursors are open: another connection sees the rows.
  EXPECT_EQ("3", other.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs300Pnr"));
  EXPECT_EQ("1", other.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs327Tag"));

  ASSERT_EQ(SQL_SUCCESS, SQLFetch(persons.H()));
  EXPECT_STREQ("00000002", pnr);
  EXPECT_EQ(SQL_NO_DATA, SQLFetch(persons.H()));
  EXPECT_EQ(SQL_NO_DATA, SQLFetch(days.H()));  // opened before the insert
}

TEST_F(DriverTest, ManualCommitKeepsOnlyCommittedWrites) {
  ASSERT_EQ(SQL_SUCCESS, SQLSetConnectAttr(db_.Dbc(), SQL_ATTR_AUTOCOMMIT,
                                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER));
  ASSERT_EQ(SQL_SUCCESS, db_.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000010')"));
  EXPECT_EQ(SQL_SUCCESS, SQLEndTran(SQL_HANDLE_DBC, db_.Dbc(), SQL_ROLLBACK));
  ASSERT_EQ(SQL_SUCCESS, db_.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000011')"));
  EXPECT_EQ(SQL_SUCCESS, SQLEndTran(SQL_HANDLE_DBC, db_.Dbc(), SQL_COMMIT));
  ASSERT_EQ(SQL_SUCCESS, db_.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000012')"));
  // Switching autocommit back on commits what is open.
  ASSERT_EQ(SQL_SUCCESS, SQLSetConnectAttr(db_.Dbc(), SQL_ATTR_AUTOCOMMIT,
                                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER));
  Connection other("Database=" + file_);
  auto rows = other.Rows("SELECT PnrNum FROM ABC_1.Qxs300Pnr WHERE PnrNum >= '00000010' ORDER BY PnrNum");
  EXPECT_EQ((std::vector<std::vector<std::string>>{{"00000011"}, {"00000012"}}), rows);
}

TEST_F(DriverTest, WriteWaitingTooLongForALockIsALockTimeout) {
  ASSERT_EQ(SQL_SUCCESS, SQLSetConnectAttr(db_.Dbc(), SQL_ATTR_AUTOCOMMIT,
                                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER));
  ASSERT_EQ(SQL_SUCCESS, db_.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000020')"));
  Connection other("Database=" + file_ + ";LockTimeout=50");
  ASSERT_TRUE(other.Ok());
  std::vector<Diag> diags;
  EXPECT_EQ(SQL_ERROR, other.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000021')", &diags));
  ASSERT_FALSE(diags.empty());
  EXPECT_EQ(1222, diags[0].native);
  EXPECT_EQ("HYT00", diags[0].sqlstate);
  EXPECT_EQ("2", other.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs300Pnr"));  // readers are not held up
  ASSERT_EQ(SQL_SUCCESS, SQLEndTran(SQL_HANDLE_DBC, db_.Dbc(), SQL_COMMIT));
  EXPECT_EQ(SQL_SUCCESS, other.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000021')"));
}

// A cross join of 100 rows five times over: 10^10 rows, minutes of work unless stopped (10^8
// rows took SQLite about a second, too close to a one-second limit).
constexpr const char* kEndlessQuery = "SELECT COUNT(*) FROM dbo.n a, dbo.n b, dbo.n c, dbo.n d, dbo.n e";
// A loop that never ends, each turn too short for SQLite to look at the limits itself.
constexpr const char* kEndlessLoop = "DECLARE @i int = 0 WHILE 1 = 1 BEGIN SET @i = @i + 1 IF @i < 0 BREAK END";

void FillHundredRows(Connection& db) {
  std::string insert = "INSERT INTO dbo.n VALUES (0)";
  for (int i = 1; i < 100; ++i) insert += ", (" + std::to_string(i) + ")";
  ASSERT_EQ(SQL_SUCCESS, db.Exec("CREATE TABLE dbo.n (i int)"));
  ASSERT_EQ(SQL_SUCCESS, db.Exec(insert));
}

TEST_F(DriverTest, QueryTimeoutEndsAStatementWithHYT00) {
  FillHundredRows(db_);
  Statement stmt(db_);
  ASSERT_EQ(SQL_SUCCESS, SQLSetStmtAttr(stmt.H(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(1), 0));
  for (const char* endless : {kEndlessQuery, kEndlessLoop}) {
    EXPECT_EQ(SQL_ERROR, stmt.Exec(endless)) << endless;
    std::vector<Diag> diags = Diagnostics(SQL_HANDLE_STMT, stmt.H());
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ("HYT00", diags[0].sqlstate) << endless;
  }
  // The limit belongs to that statement: the next one runs to its end.
  ASSERT_EQ(SQL_SUCCESS, SQLSetStmtAttr(stmt.H(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(0), 0));
  EXPECT_EQ(SQL_SUCCESS, stmt.Exec("SELECT COUNT(*) FROM dbo.n a, dbo.n b"));
}

TEST_F(DriverTest, CancelFromAnotherThreadEndsARunningStatementWithHY008) {
  FillHundredRows(db_);
  Statement stmt(db_);
  EXPECT_EQ(SQL_SUCCESS, SQLCancel(stmt.H()));  // nothing running: no effect
  for (const char* endless : {kEndlessQuery, kEndlessLoop}) {
    std::thread canceller([&stmt] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      SQLCancel(stmt.H());
    });
    const SQLRETURN rc = stmt.Exec(endless);
    canceller.join();
    EXPECT_EQ(SQL_ERROR, rc) << endless;
    std::vector<Diag> diags = Diagnostics(SQL_HANDLE_STMT, stmt.H());
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ("HY008", diags[0].sqlstate) << endless;
  }
  EXPECT_EQ("2", db_.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs300Pnr"));
}

TEST_F(DriverTest, TransactionThatReadsThenWritesAfterAnotherCommitWaitsInsteadOfFailing) {
  ASSERT_EQ(SQL_SUCCESS, SQLSetConnectAttr(db_.Dbc(), SQL_ATTR_AUTOCOMMIT,
                                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER));
  EXPECT_EQ("2", db_.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs300Pnr"));
  Connection other("Database=" + file_);
  ASSERT_EQ(SQL_SUCCESS, other.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000030')"));
  EXPECT_EQ(SQL_SUCCESS, db_.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000031')"));
  EXPECT_EQ(SQL_SUCCESS, db_.Exec("UPDATE ABC_1.Qxs300Pnr SET PnrSta = 3 WHERE PnrNum = '00000030'"));
  ASSERT_EQ(SQL_SUCCESS, SQLEndTran(SQL_HANDLE_DBC, db_.Dbc(), SQL_COMMIT));
  EXPECT_EQ("4", other.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs300Pnr"));
  EXPECT_EQ("3", other.Scalar("SELECT PnrSta FROM ABC_1.Qxs300Pnr WHERE PnrNum = '00000030'"));
}

// The benchmark aids: every execution and every fetch of a lock-concurrency cursor (the end
// included) costs one delay and is counted; a default cursor's fetches are neither. Compilations
// count every prepare and every directly executed text not executed before.
TEST_F(DriverTest, RoundTripsAreDelayedAndCounted) {
  const std::string counts = dir_.File("counts.txt");
  Connection net("Database=" + file_ + ";RoundTripMicros=20000;CountFile=" + counts);
  ASSERT_TRUE(net.Ok());
  auto read_counts = [&] {
    std::ifstream in(counts);
    std::string word, statements, fetches, compilations;
    in >> word >> statements >> word >> fetches >> word >> compilations;
    return statements + "/" + fetches + "/" + compilations;
  };
  EXPECT_EQ("0/0/0", read_counts());
  const auto start = std::chrono::steady_clock::now();
  const std::string query = "SELECT PnrNum FROM ABC_1.Qxs300Pnr ORDER BY PnrNum";
  for (SQLULEN concurrency : {SQLULEN{SQL_CONCUR_READ_ONLY}, SQLULEN{SQL_CONCUR_LOCK}}) {
    Statement stmt(net);
    SQLSetStmtAttr(stmt.H(), SQL_ATTR_CONCURRENCY, reinterpret_cast<SQLPOINTER>(concurrency), SQL_IS_INTEGER);
    ASSERT_EQ(SQL_SUCCESS, stmt.Exec(query));
    while (SQLFetch(stmt.H()) == SQL_SUCCESS) {
    }
  }
  EXPECT_EQ(SQL_SUCCESS, net.Exec("UPDATE ABC_1.Qxs300Pnr SET PnrNam = 'Anne' WHERE PnrNum = '00000001'"));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ("3/3/2", read_counts());  // two rows and the end of the lock-concurrency cursor
  EXPECT_GE(elapsed, std::chrono::milliseconds(6 * 20));
  {
    Statement stmt(net);
    SQLCHAR select[] = "SELECT PnrNum FROM ABC_1.Qxs300Pnr ORDER BY PnrNum";
    for (int prepare = 0; prepare < 2; ++prepare) {  // each prepare compiles, its executions do not
      ASSERT_EQ(SQL_SUCCESS, SQLPrepare(stmt.H(), select, SQL_NTS));
      for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(SQL_SUCCESS, SQLExecute(stmt.H()));
        ASSERT_EQ(SQL_SUCCESS, SQLFreeStmt(stmt.H(), SQL_CLOSE));
      }
    }
  }
  EXPECT_EQ("7/3/4", read_counts());
  // Another literal is another text; the same text again is not compiled again.
  EXPECT_EQ(SQL_SUCCESS, net.Exec("UPDATE ABC_1.Qxs300Pnr SET PnrNam = 'Anna' WHERE PnrNum = '00000001'"));
  EXPECT_EQ(SQL_SUCCESS, net.Exec("UPDATE ABC_1.Qxs300Pnr SET PnrNam = 'Anne' WHERE PnrNum = '00000001'"));
  EXPECT_EQ("9/3/5", read_counts());
}

TEST_F(DriverTest, DiagnosticFieldsAnswerTheDriverManager) {
  Statement stmt(db_);
  ASSERT_EQ(SQL_ERROR, stmt.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000001')"));
  SQLINTEGER count = 0, native = 0;
  EXPECT_EQ(SQL_SUCCESS, SQLGetDiagField(SQL_HANDLE_STMT, stmt.H(), 0, SQL_DIAG_NUMBER, &count, 0, nullptr));
  EXPECT_EQ(2, count);
  EXPECT_EQ(SQL_SUCCESS, SQLGetDiagField(SQL_HANDLE_STMT, stmt.H(), 1, SQL_DIAG_NATIVE, &native, 0, nullptr));
  EXPECT_EQ(2627, native);
  SQLCHAR state[6] = "";
  SQLCHAR message[16] = "";
  SQLSMALLINT length = 0;
  // A message cut to its buffer is still success with information.
  EXPECT_EQ(SQL_SUCCESS_WITH_INFO,
            SQLGetDiagRec(SQL_HANDLE_STMT, stmt.H(), 1, state, &native, message, sizeof(message), &length));
  EXPECT_EQ(15u, std::strlen(reinterpret_cast<char*>(message)));
  EXPECT_EQ(SQL_NO_DATA,
            SQLGetDiagRec(SQL_HANDLE_STMT, stmt.H(), 3, state, &native, message, sizeof(message), &length));
}

TEST_F(DriverTest, ColumnsAreDescribedWideEnoughForTheirValues) {
  Statement stmt(db_);
  ASSERT_EQ(SQL_SUCCESS,
            stmt.Exec("SELECT PnrNum, PnrNam, PnrSta, COUNT(*) FROM ABC_1.Qxs300Pnr GROUP BY PnrNum, PnrNam, PnrSta"));
  SQLSMALLINT columns = 0;
  ASSERT_EQ(SQL_SUCCESS, SQLNumResultCols(stmt.H(), &columns));
  ASSERT_EQ(4, columns);
  struct Expected {
    const char* name;  // "" for an expression
    bool text;
    SQLULEN min_size;
  } expected[] = {{"PnrNum", true, 8}, {"PnrNam", true, 4}, {"PnrSta", false, 1}, {"", false, 1}};
  for (SQLUSMALLINT c = 1; c <= 4; ++c) {
    SQLCHAR name[64] = "";
    SQLSMALLINT name_length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    ASSERT_EQ(SQL_SUCCESS,
              SQLDescribeCol(stmt.H(), c, name, sizeof(name), &name_length, &type, &size, &digits, &nullable));
    const Expected& e = expected[c - 1];
    if (*e.name) {
      EXPECT_STREQ(e.name, reinterpret_cast<char*>(name));
    }
    if (e.text) {
      EXPECT_TRUE(type == SQL_CHAR || type == SQL_VARCHAR) << c << ": " << type;
    } else {
      EXPECT_TRUE(type == SQL_INTEGER || type == SQL_SMALLINT || type == SQL_BIGINT) << c << ": " << type;
    }
    EXPECT_GE(size, e.min_size) << c;
    SQLLEN display = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLColAttribute(stmt.H(), c, SQL_DESC_DISPLAY_SIZE, nullptr, 0, nullptr, &display));
    EXPECT_GE(display, static_cast<SQLLEN>(e.min_size)) << c;
  }
}

// char/varchar under code page 1252 hold n characters, one byte each, and reach a SQL_C_CHAR buffer
// as UTF-8: their size and display size count characters, their octet length the UTF-8 bytes n
// characters may take (three for the euro sign); under a UTF-8 collation n counts bytes.
// https://learn.microsoft.com/en-us/sql/odbc/reference/appendixes/transfer-octet-length (the octet
// length of character data is what a buffer needs, in bytes)
// https://learn.microsoft.com/en-us/sql/connect/odbc/linux-mac/programming-guidelines?view=sql-server-ver16
// (SQLCHAR data is UTF-8)
TEST(DescribeText, CharactersOfCodePage1252ReachTheClientAsUtf8) {
  struct Row {
    const char* collation;
    SQLUSMALLINT column;
    SQLULEN size;
    SQLLEN display, octets;
  } const rows[] = {
      {"Latin1_General_CI_AS", 1, 5, 5, 15},        {"Latin1_General_CI_AS", 2, 6, 6, 18},
      {"Latin1_General_CI_AS", 3, 4, 4, 8},         {"Latin1_General_100_BIN2_UTF8", 1, 5, 5, 5},
      {"Latin1_General_100_BIN2_UTF8", 2, 6, 6, 6},
  };
  TempDir dir;
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.collation) + " column " + std::to_string(r.column));
    Connection db("Database=" + dir.File(std::string(r.collation) + ".db") + ";Collation=" + r.collation);
    ASSERT_TRUE(db.Ok());
    Statement setup(db);
    setup.Exec("CREATE TABLE dbo.d (c char(5), v varchar(6), n nvarchar(4))");
    // Müller takes 7 bytes of UTF-8, more than a varchar(6) holds there.
    setup.Exec(r.octets == r.display ? "INSERT INTO dbo.d VALUES ('€', 'Mülle', N'ab')"
                                     : "INSERT INTO dbo.d VALUES ('€', 'Müller', N'ab')");
    Statement stmt(db);
    ASSERT_EQ(SQL_SUCCESS, stmt.Exec("SELECT c, v, n FROM dbo.d"));
    SQLCHAR name[16] = "";
    SQLSMALLINT name_length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    ASSERT_EQ(SQL_SUCCESS,
              SQLDescribeCol(stmt.H(), r.column, name, sizeof(name), &name_length, &type, &size, &digits, &nullable));
    EXPECT_EQ(r.size, size);
    SQLLEN length = 0, display = 0, octets = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLColAttribute(stmt.H(), r.column, SQL_DESC_LENGTH, nullptr, 0, nullptr, &length));
    ASSERT_EQ(SQL_SUCCESS, SQLColAttribute(stmt.H(), r.column, SQL_DESC_DISPLAY_SIZE, nullptr, 0, nullptr, &display));
    ASSERT_EQ(SQL_SUCCESS, SQLColAttribute(stmt.H(), r.column, SQL_DESC_OCTET_LENGTH, nullptr, 0, nullptr, &octets));
    EXPECT_EQ(static_cast<SQLLEN>(r.size), length);
    EXPECT_EQ(r.display, display);
    EXPECT_EQ(r.octets, octets);
    // A buffer of the octet length (and the terminating zero) holds the value whole.
    ASSERT_TRUE(SQL_SUCCEEDED(SQLFetch(stmt.H())));
    std::vector<char> buffer(static_cast<size_t>(octets) + 1);
    SQLLEN indicator = 0;
    EXPECT_EQ(SQL_SUCCESS, SQLGetData(stmt.H(), r.column, SQL_C_CHAR, buffer.data(), static_cast<SQLLEN>(buffer.size()),
                                      &indicator));
  }
}

std::vector<std::string> ColumnOf(SQLHSTMT stmt, SQLUSMALLINT column) {
  std::vector<std::string> out;
  for (const std::vector<std::string>& row : FetchAll(stmt)) out.push_back(row.at(column - 1u));
  return out;
}

TEST_F(DriverTest, CatalogListsTablesAndColumnsBySchema) {
  Statement tables(db_);
  ASSERT_EQ(SQL_SUCCESS, SQLTables(tables.H(), nullptr, 0, reinterpret_cast<SQLCHAR*>(const_cast<char*>("ABC_1")),
                                   SQL_NTS, nullptr, 0, nullptr, 0));
  EXPECT_EQ((std::vector<std::string>{"Qxs300Pnr", "Qxs327Tag"}), ColumnOf(tables.H(), 3));
  Statement columns(db_);
  // isql's "help ABC_1.Qxs300Pnr" passes the schema inside the table name.
  ASSERT_EQ(SQL_SUCCESS,
            SQLColumns(columns.H(), nullptr, 0, nullptr, 0,
                       reinterpret_cast<SQLCHAR*>(const_cast<char*>("ABC_1.Qxs300Pnr")), SQL_NTS, nullptr, 0));
  EXPECT_EQ((std::vector<std::string>{"PnrNum", "PnrNam", "PnrSta"}), ColumnOf(columns.H(), 4));
}

struct ConnectCase {
  const char* name;
  const char* attributes;  // appended to Database=...
  bool connects;
  const char* sqlstate = "08001";  // of a refused connection
};

void PrintTo(const ConnectCase& c, std::ostream* os) {
  *os << c.name;
}

class ConnectionStrings : public ::testing::TestWithParam<ConnectCase> {};

TEST_P(ConnectionStrings, AreCheckedBeforeConnecting) {
  TempDir dir;
  const ConnectCase& c = GetParam();
  std::string attributes = c.attributes;
  if (attributes.find("Database") == std::string::npos) attributes = "Database=" + dir.File("x.db") + ";" + attributes;
  Connection conn(attributes);
  EXPECT_EQ(c.connects, conn.Ok());
  if (!c.connects) {
    ASSERT_FALSE(conn.ConnectDiags().empty());
    EXPECT_EQ(c.sqlstate, conn.ConnectDiags()[0].sqlstate);
    if (c.sqlstate == std::string("08004")) {  // a missing file: SQL Server's 4060, naming it
      EXPECT_EQ(4060, conn.ConnectDiags()[0].native);
      EXPECT_NE(std::string::npos, conn.ConnectDiags()[0].message.find("\"" + dir.File("x.db") + "\""));
      EXPECT_FALSE(std::ifstream(dir.File("x.db")).good());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Driver, ConnectionStrings,
    ::testing::Values(
        ConnectCase{"Defaults", "", true}, ConnectCase{"Full", "Synchronous=full;DateFirst=7", true},
        ConnectCase{"Braces", "MARS_Connection={yes;really}", true}, ConnectCase{"DateFirstZero", "DateFirst=0", false},
        ConnectCase{"DateFirstEight", "DateFirst=8", false}, ConnectCase{"DateFirstText", "DateFirst=monday", false},
        ConnectCase{"SynchronousOff", "Synchronous=OFF", false}, ConnectCase{"LockTimeout", "LockTimeout=250", true},
        ConnectCase{"LockTimeoutWithoutEnd", "LockTimeout=-1", true},
        ConnectCase{"LockTimeoutNegative", "LockTimeout=-2", false},
        ConnectCase{"FaultWrites", "FaultWrites=3:1205,5:50000:after", true},
        ConnectCase{"FaultWritesUnknownNative", "FaultWrites=3:208", false},
        ConnectCase{"FaultWritesNotAfter", "FaultWrites=3:1205:before", false},
        ConnectCase{"FaultWritesZeroth", "FaultWrites=0:1205", false},
        ConnectCase{"FaultReads", "FaultReads=2:1205,4:1222", true},
        ConnectCase{"FaultReadsNotByLocks", "FaultReads=2:547", false},
        ConnectCase{"FaultReadsAfter", "FaultReads=2:1205:after", false},
        ConnectCase{"TriggerCountsMaybe", "TriggerCounts=maybe", false}, ConnectCase{"NoCount", "NoCount=Yes", true},
        ConnectCase{"RoundTrip", "RoundTripMicros=500", true},
        ConnectCase{"RoundTripText", "RoundTripMicros=0.5ms", false},
        ConnectCase{"CountFileFolderMissing", "CountFile=/nonexistent/c", false},
        ConnectCase{"NoDatabase", "Database=;", false}, ConnectCase{"MissingFile", "Create=No", false, "08004"},
        ConnectCase{"CreateMaybe", "Create=maybe", false},
        ConnectCase{"FolderMissing", "Database=/nonexistent/folder/x.db", false}),
    [](const ::testing::TestParamInfo<ConnectCase>& info) { return std::string(info.param.name); });

TEST(DriverDsn, SettingsComeFromOdbcIni) {
  Connection conn = Connection::Dsn("TSQ_DF1");
  ASSERT_TRUE(conn.Ok()) << (conn.ConnectDiags().empty() ? "" : conn.ConnectDiags()[0].message);
  EXPECT_EQ("1", conn.Scalar("SELECT DATEPART(weekday, CONVERT(Datetime, '20240108', 112))"));  // a Monday
  SQLCHAR name[64] = "";
  SQLSMALLINT length = 0;
  ASSERT_EQ(SQL_SUCCESS, SQLGetInfo(conn.Dbc(), SQL_DATA_SOURCE_NAME, name, sizeof(name), &length));
  EXPECT_STREQ("TSQ_DF1", reinterpret_cast<char*>(name));
}

TEST(DriverDsn, ConnectionStringOverridesTheDsn) {
  TempDir dir;
  // The DSN's driver and DateFirst=1 are taken; the string's own keys win over the DSN's.
  Connection conn = Connection::String("DSN=TSQ_DF1;Database=" + dir.File("own.db") + ";DateFirst=7");
  ASSERT_EQ(SQL_SUCCESS, conn.ConnectResult());
  EXPECT_EQ("2", conn.Scalar("SELECT DATEPART(weekday, CONVERT(Datetime, '20240108', 112))"));  // Monday, DATEFIRST 7
  EXPECT_TRUE(std::ifstream(dir.File("own.db")).good());
}

TEST(DriverDsn, UnknownDsnDoesNotConnect) {
  Connection conn = Connection::Dsn("NO_SUCH_DSN");
  EXPECT_FALSE(conn.Ok());
  EXPECT_EQ(SQL_ERROR, conn.ConnectResult());
}

}  // namespace
}  // namespace tsqlite_test

namespace tsqlite_test {
namespace {

TEST(DriverConnection, DisconnectReleasesStatementsLeftAllocated) {
  TempDir dir;
  Connection db("Database=" + dir.File("x.db"));
  ASSERT_TRUE(db.Ok());
  for (int i = 0; i < 3; ++i) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    ASSERT_EQ(SQL_SUCCESS, SQLAllocHandle(SQL_HANDLE_STMT, db.Dbc(), &stmt));
    ASSERT_EQ(SQL_SUCCESS, SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT 1")), SQL_NTS));
  }
  // The connection's destructor disconnects with the three statements still allocated: the
  // sanitizer build sees any statement freed twice or never.
}

TEST(DriverConnection, PreparedStatementOfAMissingTableFailsWhenDescribed) {
  TempDir dir;
  Connection db("Database=" + dir.File("x.db"));
  ASSERT_TRUE(db.Ok());
  Statement stmt(db);
  ASSERT_EQ(SQL_SUCCESS,
            SQLPrepare(stmt.H(), reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT a FROM T")), SQL_NTS));
  SQLSMALLINT columns = -1;
  EXPECT_EQ(SQL_ERROR, SQLNumResultCols(stmt.H(), &columns));
  std::vector<Diag> d = Diagnostics(SQL_HANDLE_STMT, stmt.H());
  ASSERT_FALSE(d.empty());
  EXPECT_EQ(208, d[0].native);
}

TEST(DriverConnection, PreparedStatementRunsAgainWithFreshResults) {
  TempDir dir;
  Connection db("Database=" + dir.File("x.db"));
  ASSERT_TRUE(db.Ok());
  ASSERT_TRUE(SQL_SUCCEEDED(db.Exec("CREATE TABLE T (a int NOT NULL)")));
  Statement count(db);
  ASSERT_EQ(SQL_SUCCESS,
            SQLPrepare(count.H(), reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT COUNT(*) FROM T")), SQL_NTS));
  for (int expected = 0; expected < 3; ++expected) {
    // Described before it runs, as some applications ask.
    SQLSMALLINT columns = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLNumResultCols(count.H(), &columns));
    EXPECT_EQ(1, columns);
    SQLSMALLINT type = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLDescribeCol(count.H(), 1, nullptr, 0, nullptr, &type, nullptr, nullptr, nullptr));
    ASSERT_EQ(SQL_SUCCESS, SQLExecute(count.H()));
    SQLINTEGER n = -1;
    SQLLEN ind = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLFetch(count.H()));
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(count.H(), 1, SQL_C_SLONG, &n, 0, &ind));
    EXPECT_EQ(expected, n);
    ASSERT_EQ(SQL_SUCCESS, SQLCloseCursor(count.H()));
    ASSERT_EQ(SQL_SUCCESS, db.Exec("INSERT INTO T (a) VALUES (1)"));
  }
}

// COUNT_BIG reaches a client as a bigint, COUNT as an int.
// https://learn.microsoft.com/en-us/previous-versions/sql/sql-server-2012/ms190317(v=sql.110)
TEST(DriverConnection, CountBigIsDescribedAsBigint) {
  TempDir dir;
  Connection db("Database=" + dir.File("x.db"));
  ASSERT_TRUE(db.Ok());
  ASSERT_TRUE(SQL_SUCCEEDED(db.Exec("CREATE TABLE T (a int NOT NULL)")));
  Statement stmt(db);
  ASSERT_EQ(SQL_SUCCESS, stmt.Exec("SELECT COUNT_BIG(*), COUNT(*) FROM T"));
  SQLSMALLINT big = 0, count = 0;
  ASSERT_EQ(SQL_SUCCESS, SQLDescribeCol(stmt.H(), 1, nullptr, 0, nullptr, &big, nullptr, nullptr, nullptr));
  ASSERT_EQ(SQL_SUCCESS, SQLDescribeCol(stmt.H(), 2, nullptr, 0, nullptr, &count, nullptr, nullptr, nullptr));
  EXPECT_EQ(SQL_BIGINT, big);
  EXPECT_EQ(SQL_INTEGER, count);
}

}  // namespace
}  // namespace tsqlite_test

namespace tsqlite_test {
namespace {

// The statement's kind in the diagnostics header comes from its parse, also when it failed.
TEST(DriverDiagnostics, FunctionCodeFollowsTheParsedVerb) {
  TempDir dir;
  Connection db("Database=" + dir.File("x.db"));
  ASSERT_EQ(SQL_SUCCESS, db.Exec("CREATE TABLE t (a int NOT NULL)"));
  const std::pair<const char*, SQLINTEGER> cases[] = {
      {"  (SELECT 1)", SQL_DIAG_SELECT_CURSOR},
      {"insert INTO t VALUES (NULL)", SQL_DIAG_INSERT},  // fails: 515
      {"UPDATE t SET a = 1", SQL_DIAG_UPDATE_WHERE},
      {"DELETE t", SQL_DIAG_DELETE_WHERE},
      {"CREATE TABLE u (b int)", SQL_DIAG_CREATE_TABLE},
      {"SELECT FROM WHERE", SQL_DIAG_SELECT_CURSOR},  // fails: 102
      {"SET NOCOUNT ON", SQL_DIAG_UNKNOWN_STATEMENT},
  };
  for (const auto& [sql, code] : cases) {
    Statement stmt(db);
    stmt.Exec(sql);
    SQLINTEGER got = -1;
    SQLGetDiagField(SQL_HANDLE_STMT, stmt.H(), 0, SQL_DIAG_DYNAMIC_FUNCTION_CODE, &got, 0, nullptr);
    EXPECT_EQ(code, got) << sql;
  }
}

// ---------------------------------------------------------------------------------------------
// A busy server's answers to writes: session options and the test aids that model them.

TEST_F(DriverTest, LockTimeoutIsSetPerSessionAndReadBack) {
  // SET LOCK_TIMEOUT (Transact-SQL): milliseconds; -1 waits without end, 0 not at all.
  for (const char* ms : {"1800", "0", "-1"}) {
    ASSERT_EQ(SQL_SUCCESS, db_.Exec(std::string("SET LOCK_TIMEOUT ") + ms)) << ms;
    EXPECT_EQ(ms, db_.Scalar("SELECT @@LOCK_TIMEOUT"));
  }
  Connection other("Database=" + file_ + ";LockTimeout=-1");
  EXPECT_EQ("-1", other.Scalar("SELECT @@LOCK_TIMEOUT"));
  // Another session's wait is its own.
  ASSERT_EQ(SQL_SUCCESS, other.Exec("SET LOCK_TIMEOUT 50"));
  EXPECT_EQ("-1", db_.Scalar("SELECT @@LOCK_TIMEOUT"));
  // A wait set by the session runs out as the DSN's does.
  ASSERT_EQ(SQL_SUCCESS, SQLSetConnectAttr(db_.Dbc(), SQL_ATTR_AUTOCOMMIT,
                                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER));
  ASSERT_EQ(SQL_SUCCESS, db_.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000020')"));
  std::vector<Diag> diags;
  EXPECT_EQ(SQL_ERROR, other.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000021')", &diags));
  ASSERT_FALSE(diags.empty());
  EXPECT_EQ(1222, diags[0].native);
  EXPECT_EQ(SQL_SUCCESS, SQLEndTran(SQL_HANDLE_DBC, db_.Dbc(), SQL_ROLLBACK));
}

TEST_F(DriverTest, NoCountGivesNoRowCountsAndNoNoData) {
  for (const bool by_dsn : {false, true}) {
    SCOPED_TRACE(by_dsn ? "NoCount=Yes" : "SET NOCOUNT ON");
    Connection db("Database=" + file_ + (by_dsn ? ";NoCount=Yes" : ""));
    if (!by_dsn) {
      ASSERT_EQ(SQL_SUCCESS, db.Exec("SET NOCOUNT ON"));
    }
    SQLLEN count = 0;
    EXPECT_EQ(SQL_SUCCESS,
              db.Exec("UPDATE ABC_1.Qxs300Pnr SET PnrNam = 'X' WHERE PnrNum = '00000077'", nullptr, &count));
    EXPECT_EQ(-1, count);
    EXPECT_EQ(SQL_SUCCESS, db.Exec("UPDATE ABC_1.Qxs300Pnr SET PnrNam = PnrNam", nullptr, &count));
    EXPECT_EQ(-1, count);
    // A batch's writes add no results: its query's rows come first.
    EXPECT_EQ("2", db.Scalar("UPDATE ABC_1.Qxs300Pnr SET PnrNam = PnrNam; SELECT COUNT(*) FROM ABC_1.Qxs300Pnr"));
    ASSERT_EQ(SQL_SUCCESS, db.Exec("SET NOCOUNT OFF"));
    EXPECT_EQ(SQL_NO_DATA, db.Exec("UPDATE ABC_1.Qxs300Pnr SET PnrNam = 'X' WHERE PnrNum = '00000077'"));
  }
}

TEST_F(DriverTest, TriggerCountsFollowEveryWritesOwnCount) {
  Connection db("Database=" + file_ + ";TriggerCounts=Yes");
  Statement stmt(db);
  ASSERT_EQ(SQL_SUCCESS, stmt.Exec("UPDATE ABC_1.Qxs300Pnr SET PnrNam = PnrNam"));
  SQLLEN count = 0;
  for (int result = 0; result < 2; ++result) {
    EXPECT_EQ(SQL_SUCCESS, SQLRowCount(stmt.H(), &count));
    EXPECT_EQ(2, count) << result;
    EXPECT_EQ(result == 0 ? SQL_SUCCESS : SQL_NO_DATA, SQLMoreResults(stmt.H())) << result;
  }
  // A query has no trigger.
  EXPECT_EQ("2", db.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs300Pnr"));
}

struct FaultCase {
  int native;
  const char* sqlstate;
  const char* message;  // the start of SQL Server's message
};

// The Nth write fails as SQL Server answers it, before it writes or (":after") after its row
// count, its row rolled back; other statements, queries included, are not counted.
TEST_F(DriverTest, FaultWritesFailTheNthWriteAsSqlServerDoes) {
  const FaultCase cases[] = {
      {1205, "40001", "Transaction (Process ID"},  // deadlock victim
      {1222, "HYT00", "Lock request time out period exceeded."},
      {547, "23000", "The INSERT statement conflicted with the FOREIGN KEY constraint"},
      {2627, "23000", "Violation of PRIMARY KEY constraint"},
      {1105, "42000", "Could not allocate space for object"},
      {9002, "42000", "The transaction log for database"},
      {50000, "42000", "FaultWrites"},
  };
  int pnr = 30;
  auto insert = [&] { return "INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('000000" + std::to_string(++pnr) + "')"; };
  for (const FaultCase& c : cases) {
    for (const bool after : {false, true}) {
      SCOPED_TRACE(std::to_string(c.native) + (after ? ":after" : ""));
      Connection db("Database=" + file_ + ";FaultWrites=2:" + std::to_string(c.native) + (after ? ":after" : ""));
      ASSERT_EQ(SQL_SUCCESS, db.Exec(insert()));
      EXPECT_EQ("2", db.Scalar("SELECT 2"));
      const std::string refused = insert();
      std::vector<Diag> diags;
      Statement stmt(db);
      SQLRETURN rc = stmt.Exec(refused);
      if (after) {
        SQLLEN count = 0;
        EXPECT_EQ(SQL_SUCCESS, rc);
        EXPECT_EQ(SQL_SUCCESS, SQLRowCount(stmt.H(), &count));
        EXPECT_EQ(1, count);
        rc = SQLMoreResults(stmt.H());
      }
      EXPECT_EQ(SQL_ERROR, rc);
      diags = fixture::Diagnostics(SQL_HANDLE_STMT, stmt.H());
      ASSERT_FALSE(diags.empty());
      EXPECT_EQ(c.native, diags[0].native);
      EXPECT_EQ(c.sqlstate, diags[0].sqlstate);
      EXPECT_NE(std::string::npos, diags[0].message.find(c.message)) << diags[0].message;
      EXPECT_EQ("0",
                db.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs300Pnr WHERE PnrNum = '000000" + std::to_string(pnr) + "'"));
      EXPECT_EQ(SQL_SUCCESS, db.Exec(insert()));
    }
  }
}

// The Nth read, a SELECT's execution or a fetch, is refused by locks as SQL Server refuses it; a
// refused fetch ends its cursor. Writes are not counted, and the next read runs.
TEST_F(DriverTest, FaultReadsFailTheNthReadAsSqlServerDoes) {
  struct ReadCase {
    const char* fault;
    int fetched;  // rows fetched before the refusal; -1: the execution is refused
    int native;
    const char* sqlstate;
  };
  const ReadCase cases[] = {
      {"1:1205", -1, 1205, "40001"},
      {"2:1222", 0, 1222, "HYT00"},
      {"3:1205", 1, 1205, "40001"},
  };
  const std::string select = "SELECT n FROM (VALUES (1), (2)) AS v (n) ORDER BY n";
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.fault);
    Connection db("Database=" + file_ + ";FaultReads=" + c.fault);
    ASSERT_EQ(SQL_SUCCESS,
              db.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('0000009" + std::string(1, c.fault[0]) + "')"));
    Statement stmt(db);
    SQLRETURN rc = stmt.Exec(select);
    for (int row = 0; rc == SQL_SUCCESS && row <= c.fetched; ++row) rc = SQLFetch(stmt.H());
    ASSERT_EQ(SQL_ERROR, rc);
    const std::vector<Diag> diags = fixture::Diagnostics(SQL_HANDLE_STMT, stmt.H());
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ(c.native, diags[0].native);
    EXPECT_EQ(c.sqlstate, diags[0].sqlstate);
    if (c.fetched >= 0) {
      EXPECT_EQ(SQL_ERROR, SQLFetch(stmt.H()));  // the cursor has ended
    }
    EXPECT_EQ("2", db.Scalar("SELECT COUNT(*) FROM (VALUES (1), (2)) AS v (n)"));
  }
}

}  // namespace
}  // namespace tsqlite_test
