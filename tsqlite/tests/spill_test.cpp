// Result sets larger than the driver's window of values: their rows wait in a temp table and are
// read back a window at a time, while the connection goes on writing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "odbc_helpers.h"

namespace tsqlite_test {
namespace {

// Well past the window of 4096 values for a cursor of three columns.
constexpr int kPersons = 3000;

std::string Pnr(int i) {
  char out[16];
  std::snprintf(out, sizeof out, "%08d", i);
  return out;
}

// Names with a quote, NULLs and varying lengths, so that every kind of value passes the table.
std::string NameSql(int i) {
  if (i % 7 == 0) return "NULL";
  if (i % 5 == 0) return "'O''Brien'";
  return "'N" + std::to_string(i) + "'";
}
std::string Name(int i) {
  if (i % 7 == 0) return "";
  if (i % 5 == 0) return "O'Brien";
  return "N" + std::to_string(i);
}

class SpillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db_.Ok());
    for (const char* const* s = kSchema; *s != nullptr; ++s) ASSERT_TRUE(SQL_SUCCEEDED(db_.Exec(*s))) << *s;
    ASSERT_EQ(SQL_SUCCESS, SQLSetConnectAttr(db_.Dbc(), SQL_ATTR_AUTOCOMMIT,
                                             reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER));
    for (int i = 1; i <= kPersons; ++i) {
      ASSERT_EQ(SQL_SUCCESS, db_.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam, PnrSta) VALUES ('" + Pnr(i) +
                                      "', " + NameSql(i) + ", " + std::to_string(i % 3) + ")"));
    }
    ASSERT_EQ(SQL_SUCCESS, SQLSetConnectAttr(db_.Dbc(), SQL_ATTR_AUTOCOMMIT,
                                             reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER));
  }

  TempDir dir_;
  std::string file_ = dir_.File("company.db");
  Connection db_{"Database=" + file_};
};

// A person row as bound by planex: texts and an integer, every buffer cleared before the fetch.
struct Row {
  char pnr[9];
  char nam[11];
  SQLINTEGER sta;
};

SQLRETURN FetchRow(SQLHSTMT h, Row& row) {
  SQLLEN ind = 0;
  row = Row{};
  SQLBindCol(h, 1, SQL_C_CHAR, row.pnr, sizeof row.pnr, &ind);
  SQLBindCol(h, 2, SQL_C_CHAR, row.nam, sizeof row.nam, &ind);
  SQLBindCol(h, 3, SQL_C_LONG, &row.sta, sizeof row.sta, &ind);
  return SQLFetch(h);
}

TEST_F(SpillTest, EveryRowArrivesInOrderWhileTheConnectionWritesAndCommits) {
  Statement persons(db_);
  ASSERT_EQ(SQL_SUCCESS, persons.Exec("SELECT PnrNum, PnrNam, PnrSta FROM ABC_1.Qxs300Pnr ORDER BY PnrNum"));
  Connection other("Database=" + file_);
  ASSERT_TRUE(other.Ok());
  Row row;
  for (int i = 1; i <= kPersons; ++i) {
    ASSERT_EQ(SQL_SUCCESS, FetchRow(persons.H(), row)) << i;
    ASSERT_EQ(Pnr(i), row.pnr);
    ASSERT_EQ(Name(i), row.nam) << i;
    ASSERT_EQ(i % 3, row.sta) << i;
    // Each person's day is written while the cursor is open, and is committed at once.
    if (i % 500 == 0) {
      ASSERT_EQ(SQL_SUCCESS, db_.Exec("INSERT INTO ABC_1.Qxs327Tag (TagPnr, TagTag) VALUES ('" + Pnr(i) +
                                      "', CONVERT(Datetime, '20270101', 112))"));
      EXPECT_EQ(std::to_string(i / 500), other.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs327Tag"));
    }
    if (i == 100) {
      // A person added meanwhile is not in the result set, which was fixed when it was executed.
      ASSERT_EQ(SQL_SUCCESS, db_.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('99999999')"));
    }
  }
  EXPECT_EQ(SQL_NO_DATA, FetchRow(persons.H(), row));
}

TEST_F(SpillTest, TwoLargeCursorsAndGetDataReadTheirOwnRows) {
  Statement up(db_), down(db_);
  ASSERT_EQ(SQL_SUCCESS, up.Exec("SELECT PnrNum, PnrNam, PnrSta FROM ABC_1.Qxs300Pnr ORDER BY PnrNum"));
  ASSERT_EQ(SQL_SUCCESS, down.Exec("SELECT PnrNum, PnrNam, PnrSta FROM ABC_1.Qxs300Pnr ORDER BY PnrNum DESC"));
  for (int i = 1; i <= kPersons; ++i) {
    ASSERT_EQ(SQL_SUCCESS, SQLFetch(up.H()));
    ASSERT_EQ(SQL_SUCCESS, SQLFetch(down.H()));
    char a[9] = "", b[9] = "";
    SQLLEN ind = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(up.H(), 1, SQL_C_CHAR, a, sizeof a, &ind));
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(down.H(), 1, SQL_C_CHAR, b, sizeof b, &ind));
    ASSERT_EQ(Pnr(i), a);
    ASSERT_EQ(Pnr(kPersons + 1 - i), b);
  }
  EXPECT_EQ(SQL_NO_DATA, SQLFetch(up.H()));
  EXPECT_EQ(SQL_NO_DATA, SQLFetch(down.H()));
}

TEST_F(SpillTest, ExpressionColumnIsDescribedByEveryValueNotOnlyThoseInMemory) {
  Statement s(db_);
  // The one long value comes last, long after the first window.
  ASSERT_EQ(SQL_SUCCESS, s.Exec("SELECT PnrNum, CASE WHEN PnrNum = '00003000' THEN 'zweiundzwanzig Zeichen' "
                                "ELSE 'kurz' END FROM ABC_1.Qxs300Pnr ORDER BY PnrNum"));
  auto width = [&] {
    SQLCHAR name[32];
    SQLSMALLINT name_len = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    EXPECT_EQ(SQL_SUCCESS, SQLDescribeCol(s.H(), 2, name, sizeof name, &name_len, &type, &size, &digits, &nullable));
    return size;
  };
  EXPECT_EQ(22u, width());
  while (SQLFetch(s.H()) == SQL_SUCCESS) {
  }
  EXPECT_EQ(22u, width());
}

// Queries that open a table after their first rows (a UNION's next SELECT, a subquery per row),
// past the window: every row arrives, in the order asked for.
TEST_F(SpillTest, CompoundQueriesAndSubqueriesSpillEveryRow) {
  const std::string all = "SELECT PnrNum, PnrNam, PnrSta FROM ABC_1.Qxs300Pnr";
  const struct {
    std::string sql;
    int rows;
    std::string first, last;  // PnrNum of the first and the last row
  } cases[] = {
      {all + " UNION ALL " + all, 2 * kPersons, Pnr(1), Pnr(kPersons)},
      {all + " UNION " + all + " ORDER BY PnrNum DESC", kPersons, Pnr(kPersons), Pnr(1)},
      {all + " UNION ALL " + all + " WHERE PnrSta = 0 ORDER BY 1", kPersons + kPersons / 3, Pnr(1), Pnr(kPersons)},
      {all + " EXCEPT " + all + " WHERE PnrSta = 0", kPersons - kPersons / 3, Pnr(1), Pnr(kPersons - 1)},
      {all + " INTERSECT " + all + " WHERE PnrSta <> 0", kPersons - kPersons / 3, Pnr(1), Pnr(kPersons - 1)},
      // Not compound, but also opening a table for every row after the spill began.
      {"SELECT PnrNum, (SELECT p.PnrNam FROM ABC_1.Qxs300Pnr p WHERE p.PnrNum = q.PnrNum), PnrSta "
       "FROM ABC_1.Qxs300Pnr q ORDER BY PnrNum",
       kPersons, Pnr(1), Pnr(kPersons)},
  };
  for (const auto& c : cases) {
    Statement s(db_);
    ASSERT_EQ(SQL_SUCCESS, s.Exec(c.sql)) << c.sql;
    Row row;
    std::string first, last;
    int n = 0;
    while (FetchRow(s.H(), row) == SQL_SUCCESS) {
      if (n++ == 0) first = row.pnr;
      last = row.pnr;
    }
    EXPECT_EQ(c.rows, n) << c.sql;
    EXPECT_EQ(c.first, first) << c.sql;
    EXPECT_EQ(c.last, last) << c.sql;
  }
}

TEST_F(SpillTest, ManualCommitRollbackKeepsTheSpilledRows) {
  ASSERT_EQ(SQL_SUCCESS, SQLSetConnectAttr(db_.Dbc(), SQL_ATTR_AUTOCOMMIT,
                                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER));
  Statement s(db_);
  ASSERT_EQ(SQL_SUCCESS, s.Exec("SELECT PnrNum, PnrNam, PnrSta FROM ABC_1.Qxs300Pnr ORDER BY PnrNum"));
  ASSERT_EQ(SQL_SUCCESS, db_.Exec("DELETE FROM ABC_1.Qxs300Pnr"));
  ASSERT_EQ(SQL_SUCCESS, SQLEndTran(SQL_HANDLE_DBC, db_.Dbc(), SQL_ROLLBACK));
  Row row;
  int n = 0;
  while (FetchRow(s.H(), row) == SQL_SUCCESS) ASSERT_EQ(Pnr(++n), row.pnr);
  EXPECT_EQ(kPersons, n);
}

TEST_F(SpillTest, ManyLargeResultSetsOneAfterTheOther) {
  // Each freed result set's table is dropped by a later statement; the connection keeps working.
  for (int round = 0; round < 20; ++round) {
    Statement s(db_);
    ASSERT_EQ(SQL_SUCCESS, s.Exec("SELECT PnrNum, PnrNam, PnrSta FROM ABC_1.Qxs300Pnr ORDER BY PnrNum DESC"));
    Row row;
    ASSERT_EQ(SQL_SUCCESS, FetchRow(s.H(), row));
    EXPECT_EQ(Pnr(kPersons), row.pnr);
  }
  EXPECT_EQ(std::to_string(kPersons), db_.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs300Pnr"));
}

}  // namespace
}  // namespace tsqlite_test
