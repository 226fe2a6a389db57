// Parameter markers through the driver manager: every C type a client binds, NULL by indicator,
// conversion to the parameter's SQL type, arrays of values, data at execution, and values that
// stay values whatever they hold.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <string>
#include <vector>

#include "odbc_helpers.h"

namespace tsqlite_test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

class ParamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db_.Ok());
    ASSERT_EQ(SQL_SUCCESS, db_.Exec("CREATE TABLE dbo.P (id int NOT NULL PRIMARY KEY, s varchar(100), dt datetime)"));
  }
  // Binds one value to every marker of sql, runs it and reads its rows as text; "error <state>"
  // when it fails.
  Rows Run(const std::string& sql, SQLSMALLINT c_type, SQLSMALLINT sql_type, const void* value, SQLLEN length,
           SQLSMALLINT digits = 0) {
    Statement st(db_);
    SQLLEN indicator = length;
    SQLSMALLINT markers = 0;
    SQLPrepare(st.H(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
    SQLNumParams(st.H(), &markers);
    for (SQLUSMALLINT k = 1; k <= markers; ++k) {
      SQLBindParameter(st.H(), k, SQL_PARAM_INPUT, c_type, sql_type, 0, digits, const_cast<void*>(value),
                       length > 0 ? length : 0, &indicator);
    }
    SQLRETURN rc = SQLExecute(st.H());
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
      auto d = Diagnostics(SQL_HANDLE_STMT, st.H());
      return {{"error " + (d.empty() ? std::string("?") : d[0].sqlstate)}};
    }
    return FetchAll(st.H());
  }
  TempDir dir_;
  Connection db_{"Database=" + dir_.File("p.db")};
};

template <typename T>
struct Bound {
  T value;
  SQLLEN length;
};

TEST_F(ParamsTest, EveryCTypeArrivesAsTheValueItHolds) {
  const SQLINTEGER slong = -7;
  const SQLSMALLINT sshort = -300;
  const SQLCHAR utiny = 255;
  const SQLBIGINT big = 9007199254740993LL;  // not a double
  const SQLCHAR bit = 1;
  const double dbl = 1.5;
  SQL_NUMERIC_STRUCT num{};
  num.precision = 5;
  num.scale = 2;
  num.sign = 0;       // negative
  num.val[0] = 0x39;  // 12345
  num.val[1] = 0x30;
  const SQL_DATE_STRUCT date{2024, 6, 15};
  const SQL_TIME_STRUCT time{10, 30, 5};
  const SQL_TIMESTAMP_STRUCT ts{2024, 6, 15, 10, 30, 5, 123000000};
  const SQL_TIMESTAMP_STRUCT ts7{2024, 6, 15, 10, 30, 5, 123456700};
  const SQLGUID guid{0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
  const char16_t wide[] = u"x \U0001F31C z";
  const char text[] = "x'); DROP TABLE dbo.P; --";
  const char bytes[] = {'A', '\0', 'B'};
  struct Case {
    const char* name;
    SQLSMALLINT c_type, sql_type;
    const void* value;
    SQLLEN length;
    const char* sql;
    const char* expected;
  } cases[] = {
      {"char that looks like SQL", SQL_C_CHAR, SQL_VARCHAR, text, SQL_NTS, "SELECT ?", text},
      {"char with a length", SQL_C_CHAR, SQL_VARCHAR, "abcdef", 3, "SELECT ?", "abc"},
      {"wide char beyond the BMP", SQL_C_WCHAR, SQL_WVARCHAR, wide, SQL_NTS, "SELECT ?", "x \xF0\x9F\x8C\x9C z"},
      {"slong", SQL_C_SLONG, SQL_INTEGER, &slong, 0, "SELECT ? + 1", "-6"},
      {"sshort", SQL_C_SSHORT, SQL_SMALLINT, &sshort, 0, "SELECT ?", "-300"},
      {"utinyint", SQL_C_UTINYINT, SQL_TINYINT, &utiny, 0, "SELECT ?", "255"},
      {"sbigint", SQL_C_SBIGINT, SQL_BIGINT, &big, 0, "SELECT ?", "9007199254740993"},
      {"bit", SQL_C_BIT, SQL_BIT, &bit, 0, "SELECT ?", "1"},
      {"double", SQL_C_DOUBLE, SQL_DOUBLE, &dbl, 0, "SELECT ? * 3", "4.5"},
      {"numeric struct", SQL_C_NUMERIC, SQL_NUMERIC, &num, 0, "SELECT ?", "-123.45"},
      {"date struct", SQL_C_TYPE_DATE, SQL_TYPE_DATE, &date, 0, "SELECT ?", "2024-06-15"},
      {"time struct", SQL_C_TYPE_TIME, SQL_TYPE_TIME, &time, 0, "SELECT ?", "10:30:05"},
      {"timestamp struct", SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, &ts, 0, "SELECT ?", "2024-06-15 10:30:05.123"},
      {"timestamp struct to 100 ns", SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, &ts7, 0, "SELECT CAST(? AS datetime2)",
       "2024-06-15 10:30:05.1234567"},
      {"time struct into time(0)", SQL_C_TYPE_TIME, SQL_TYPE_TIME, &time, 0, "SELECT CAST(? AS time(0))", "10:30:05"},
      {"guid struct", SQL_C_GUID, SQL_GUID, &guid, 0, "SELECT ?", "01020304-0506-0708-090A-0B0C0D0E0F10"},
      {"binary keeps its zero byte", SQL_C_BINARY, SQL_VARBINARY, bytes, 3, "SELECT DATALENGTH(?)", "3"},
      {"char keeps its zero byte", SQL_C_CHAR, SQL_VARCHAR, bytes, 3, "SELECT CASE WHEN ? = 'A' THEN 1 ELSE 0 END",
       "0"},
      {"NULL by indicator", SQL_C_CHAR, SQL_VARCHAR, "x", SQL_NULL_DATA, "SELECT ISNULL(?, 'null')", "null"},
      {"default C type of nvarchar", SQL_C_DEFAULT, SQL_WVARCHAR, u"\u00e4", SQL_NTS, "SELECT ?", "\xC3\xA4"},
      {"char given as integer", SQL_C_CHAR, SQL_INTEGER, "41", SQL_NTS, "SELECT ? + 1", "42"},
      {"char that is no integer", SQL_C_CHAR, SQL_INTEGER, "4x", SQL_NTS, "SELECT ?", "error 22018"},
      {"a quoted ? is text", SQL_C_CHAR, SQL_VARCHAR, "v", SQL_NTS, "SELECT '?', ?", "?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rows rows = Run(c.sql, c.c_type, c.sql_type, c.value, c.length);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(c.expected, rows[0][0]);
  }
  EXPECT_EQ("0", db_.Scalar("SELECT COUNT(*) FROM dbo.P"));
}

TEST_F(ParamsTest, ValuesMeetColumnsAsLiteralsDo) {
  const SQL_TIMESTAMP_STRUCT ts{2024, 6, 15, 10, 0, 0, 0};
  SQLINTEGER id = 1;
  SQLLEN id_len = 0, ts_len = 0, s_len = SQL_NTS;
  Statement st(db_);
  SQLBindParameter(st.H(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0, &id_len);
  SQLBindParameter(st.H(), 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 100, 0, const_cast<char*>("ab    "), 0, &s_len);
  SQLBindParameter(st.H(), 3, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3,
                   const_cast<SQL_TIMESTAMP_STRUCT*>(&ts), 0, &ts_len);
  ASSERT_EQ(SQL_SUCCESS, st.Exec("INSERT INTO dbo.P (id, s, dt) VALUES (?, ?, ?)"));
  // A string parameter compared with a datetime column is read as a date.
  EXPECT_EQ((Rows{{"1"}}),
            Run("SELECT id FROM dbo.P WHERE dt = ?", SQL_C_CHAR, SQL_VARCHAR, "20240615 10:00", SQL_NTS));
  EXPECT_EQ((Rows{{"error 22007"}}),
            Run("SELECT id FROM dbo.P WHERE dt = ?", SQL_C_CHAR, SQL_VARCHAR, "no date", SQL_NTS));
  EXPECT_EQ((Rows{{"1"}}), Run("SELECT id FROM dbo.P WHERE s = ?", SQL_C_CHAR, SQL_VARCHAR, "ab", SQL_NTS));
}

TEST_F(ParamsTest, ValuesPastAnIntegerColumnsRangeAreRefusedAndBitsAreZeroOrOne) {
  ASSERT_EQ(SQL_SUCCESS, db_.Exec("CREATE TABLE dbo.I (id int IDENTITY, x int, b bit, t tinyint)"));
  const SQLINTEGER three_hundred = 300, five = 5;
  const struct {
    const char* sql;
    SQLSMALLINT c_type, sql_type;
    const void* value;
    const char* answer;  // "ok" or the error's SQLSTATE
  } cases[] = {
      {"INSERT INTO dbo.I (x) VALUES (?)", SQL_C_CHAR, SQL_INTEGER, "99999999999", "error 22003"},
      {"INSERT INTO dbo.I (t) VALUES (?)", SQL_C_SLONG, SQL_INTEGER, &three_hundred, "error 22003"},
      {"INSERT INTO dbo.I (b) VALUES (?)", SQL_C_SLONG, SQL_INTEGER, &five, "ok"},
      {"INSERT INTO dbo.I (b) VALUES (?)", SQL_C_CHAR, SQL_VARCHAR, "TRUE", "ok"},
      {"UPDATE dbo.I SET t = ? WHERE id = 1", SQL_C_SLONG, SQL_INTEGER, &three_hundred, "error 22003"},
  };
  for (const auto& c : cases) {
    const Rows rows = Run(c.sql, c.c_type, c.sql_type, c.value, c.c_type == SQL_C_CHAR ? SQL_NTS : 0);
    EXPECT_EQ(c.answer, rows.empty() ? "ok" : rows[0][0]) << c.sql;
  }
  EXPECT_EQ((Rows{{"1"}, {"1"}}), db_.Rows("SELECT b FROM dbo.I ORDER BY id"));
}

// A file written before ranges were checked reads its values as their types' nearest ones.
TEST(ParamsFile, ValuesPastTheirTypeReadAsTheNearestTheTypeHolds) {
  TempDir dir;
  sqlite3* raw = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(dir.File("old.db").c_str(), &raw));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(raw,
                                    "CREATE TABLE \"dbo.old\" (x INT, b BIT, t TINYINT, s SMALLINT);"
                                    "INSERT INTO \"dbo.old\" VALUES (99999999999, 5, 300, -40000),"
                                    "(-99999999999, -1, -1, 40000), (7, 0, 8, 9)",
                                    nullptr, nullptr, nullptr));
  sqlite3_close(raw);
  Connection db("Database=" + dir.File("old.db"));
  ASSERT_TRUE(db.Ok());
  EXPECT_EQ((Rows{{"2147483647", "1", "255", "-32768"}, {"-2147483648", "1", "0", "32767"}, {"7", "0", "8", "9"}}),
            db.Rows("SELECT x, b, t, s FROM dbo.old"));
}

TEST_F(ParamsTest, MarkersAreCountedAndMustBeBound) {
  Statement st(db_);
  SQLSMALLINT count = -1;
  ASSERT_EQ(SQL_SUCCESS,
            SQLPrepare(st.H(), (SQLCHAR*)"SELECT id FROM dbo.P WHERE id = ? AND s <> '?' OR s = ?", SQL_NTS));
  ASSERT_EQ(SQL_SUCCESS, SQLNumParams(st.H(), &count));
  EXPECT_EQ(2, count);
  SQLSMALLINT type = 0, digits = -1, nullable = 0;
  SQLULEN size = 0;
  EXPECT_EQ(SQL_ERROR, SQLDescribeParam(st.H(), 3, &type, &size, &digits, &nullable));
  EXPECT_EQ(SQL_ERROR, SQLExecute(st.H()));
  EXPECT_EQ("07002", Diagnostics(SQL_HANDLE_STMT, st.H()).at(0).sqlstate);
  // A marker in DDL is refused, as SQL Server refuses it.
  EXPECT_EQ(SQL_ERROR, db_.Exec("CREATE TABLE dbo.Q (a int DEFAULT ?)"));
  // Past SQL Server's 2,100 parameters a statement is refused, not counted modulo 65,536.
  std::string many = "SELECT ?";
  for (int k = 1; k < 40000; ++k) many += ", ?";
  Statement big(db_);
  ASSERT_EQ(SQL_SUCCESS, SQLPrepare(big.H(), (SQLCHAR*)many.c_str(), SQL_NTS));
  EXPECT_EQ(SQL_ERROR, SQLNumParams(big.H(), &count));
  EXPECT_EQ(8003, Diagnostics(SQL_HANDLE_STMT, big.H()).at(0).native);
}

// A marker is described as the column it meets; any other as nvarchar(4000).
TEST_F(ParamsTest, MarkersAreDescribedAsTheColumnTheyMeet) {
  const struct {
    const char* sql;
    SQLUSMALLINT marker;
    std::vector<long> described;  // type, size, digits
  } cases[] = {
      {"SELECT id FROM dbo.P WHERE id = ? AND s <> '?' OR s = ?", 2, {SQL_VARCHAR, 100, 0}},
      {"SELECT id FROM dbo.P WHERE ? = id", 1, {SQL_INTEGER, 10, 0}},
      {"INSERT INTO dbo.P (dt, id) VALUES (?, ?)", 1, {SQL_TYPE_TIMESTAMP, 23, 3}},
      {"INSERT INTO dbo.P VALUES (1, 'x', ?)", 1, {SQL_TYPE_TIMESTAMP, 23, 3}},
      {"UPDATE dbo.P SET s = ? WHERE id = 1", 1, {SQL_VARCHAR, 100, 0}},
      {"SELECT ? + 1", 1, {SQL_WVARCHAR, 4000, 0}},
      {"SELECT id FROM dbo.P WHERE DATEADD(day, 1, dt) > ?", 1, {SQL_TYPE_TIMESTAMP, 23, 3}},
  };
  for (const auto& c : cases) {
    Statement st(db_);
    ASSERT_EQ(SQL_SUCCESS, SQLPrepare(st.H(), (SQLCHAR*)c.sql, SQL_NTS)) << c.sql;
    SQLSMALLINT type = 0, digits = -1, nullable = 0;
    SQLULEN size = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLDescribeParam(st.H(), c.marker, &type, &size, &digits, &nullable)) << c.sql;
    EXPECT_EQ(c.described, (std::vector<long>{type, static_cast<long>(size), digits})) << c.sql;
  }
}

TEST_F(ParamsTest, AnArrayOfValuesRunsOncePerRow) {
  SQLINTEGER ids[3] = {1, 2, 3};
  char names[3][8] = {"a", "b", "c"};
  SQLLEN id_len[3] = {0, 0, 0}, name_len[3] = {SQL_NTS, SQL_NULL_DATA, SQL_NTS};
  SQLUSMALLINT status[3] = {};
  SQLULEN processed = 0;
  Statement st(db_);
  SQLSetStmtAttr(st.H(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(3), 0);
  SQLSetStmtAttr(st.H(), SQL_ATTR_PARAM_STATUS_PTR, status, 0);
  SQLSetStmtAttr(st.H(), SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0);
  SQLBindParameter(st.H(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids, 0, id_len);
  SQLBindParameter(st.H(), 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 8, 0, names, 8, name_len);
  ASSERT_EQ(SQL_SUCCESS, st.Exec("INSERT INTO dbo.P (id, s) VALUES (?, ?)"));
  SQLLEN count = 0;
  SQLRowCount(st.H(), &count);
  EXPECT_EQ(3, count);
  EXPECT_EQ(3u, processed);
  EXPECT_EQ(SQL_PARAM_SUCCESS, status[2]);
  EXPECT_EQ((Rows{{"1", "a"}, {"2", "NULL"}, {"3", "c"}}), db_.Rows("SELECT id, s FROM dbo.P ORDER BY id"));
  // A failing row stops the array there and says which.
  ids[2] = 1;
  EXPECT_EQ(SQL_ERROR, st.Exec("INSERT INTO dbo.P (id, s) VALUES (? + 10, ?)"));
  EXPECT_EQ(SQL_PARAM_ERROR, status[2]);
  EXPECT_EQ("2", db_.Scalar("SELECT COUNT(*) FROM dbo.P WHERE id > 10"));
}

TEST_F(ParamsTest, DataAtExecutionArrivesInPieces) {
  SQLINTEGER id = 7;
  SQLLEN id_len = 0, s_len = SQL_LEN_DATA_AT_EXEC(0);
  Statement st(db_);
  SQLBindParameter(st.H(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0, &id_len);
  SQLBindParameter(st.H(), 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 100, 0, reinterpret_cast<SQLPOINTER>(2), 0,
                   &s_len);
  ASSERT_EQ(SQL_NEED_DATA, st.Exec("INSERT INTO dbo.P (id, s) VALUES (?, ?)"));
  SQLPOINTER token = nullptr;
  ASSERT_EQ(SQL_NEED_DATA, SQLParamData(st.H(), &token));
  EXPECT_EQ(reinterpret_cast<SQLPOINTER>(2), token);
  SQLPutData(st.H(), const_cast<char*>("first "), SQL_NTS);
  SQLPutData(st.H(), const_cast<char*>("second"), 6);
  ASSERT_EQ(SQL_SUCCESS, SQLParamData(st.H(), &token));
  EXPECT_EQ("first second", db_.Scalar("SELECT s FROM dbo.P WHERE id = 7"));
}

// Rows bound row-wise behind an offset, each with a value at execution: the token of each is
// that row's buffer, so the application can tell which value to put.
TEST_F(ParamsTest, DataAtExecutionInAnArrayNamesEachRowsBuffer) {
  struct Row {
    SQLINTEGER id;  // at 0: bound as the null pointer, the offset alone gives its place
    SQLLEN id_len;
    const char* s;
    SQLLEN s_len;
  } rows[3] = {{1, 0, "one", SQL_DATA_AT_EXEC}, {2, 0, nullptr, SQL_NULL_DATA}, {3, 0, "three", SQL_DATA_AT_EXEC}};
  SQLULEN offset = reinterpret_cast<SQLULEN>(&rows[0]);
  Statement st(db_);
  SQLSetStmtAttr(st.H(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(3), 0);
  SQLSetStmtAttr(st.H(), SQL_ATTR_PARAM_BIND_TYPE, reinterpret_cast<SQLPOINTER>(sizeof(Row)), 0);
  SQLSetStmtAttr(st.H(), SQL_ATTR_PARAM_BIND_OFFSET_PTR, &offset, 0);
  SQLBindParameter(st.H(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                   reinterpret_cast<SQLPOINTER>(offsetof(Row, id)), 0,
                   reinterpret_cast<SQLLEN*>(offsetof(Row, id_len)));
  SQLBindParameter(st.H(), 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 0, 0,
                   reinterpret_cast<SQLPOINTER>(offsetof(Row, s)), 8, reinterpret_cast<SQLLEN*>(offsetof(Row, s_len)));
  ASSERT_EQ(SQL_NEED_DATA, st.Exec("INSERT INTO dbo.P (id, s) VALUES (?, ?)"));
  SQLPOINTER token = nullptr;
  for (SQLRETURN rc; (rc = SQLParamData(st.H(), &token)) == SQL_NEED_DATA;) {
    const Row* row = reinterpret_cast<const Row*>(static_cast<char*>(token) - offsetof(Row, s));
    ASSERT_TRUE(row == &rows[0] || row == &rows[2]);
    SQLPutData(st.H(), const_cast<char*>(row->s), SQL_NTS);
  }
  EXPECT_EQ((Rows{{"1", "one"}, {"2", "NULL"}, {"3", "three"}}), db_.Rows("SELECT id, s FROM dbo.P ORDER BY id"));
}

// A decimal text as SQL_NUMERIC_STRUCT, and back.
SQL_NUMERIC_STRUCT ToNumeric(const std::string& text) {
  SQL_NUMERIC_STRUCT n{};
  unsigned __int128 v = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '.') n.scale = static_cast<SQLSCHAR>(text.size() - i - 1);
    if (text[i] >= '0' && text[i] <= '9') v = v * 10 + static_cast<unsigned>(text[i] - '0');
  }
  n.precision = 38;
  n.sign = text[0] == '-' ? 0 : 1;
  for (int i = 0; i < SQL_MAX_NUMERIC_LEN; ++i, v >>= 8) n.val[i] = static_cast<SQLCHAR>(v & 0xFF);
  return n;
}

std::string FromNumeric(const SQL_NUMERIC_STRUCT& n) {
  unsigned __int128 v = 0;
  for (int i = SQL_MAX_NUMERIC_LEN - 1; i >= 0; --i) v = (v << 8) | n.val[i];
  std::string digits;
  for (; v != 0 || digits.size() <= static_cast<size_t>(n.scale); v /= 10) digits.insert(0, 1, char('0' + int(v % 10)));
  if (n.scale > 0) digits.insert(digits.size() - static_cast<size_t>(n.scale), ".");
  return (n.sign == 0 ? "-" : "") + digits;
}

TEST_F(ParamsTest, ThirtyEightDigitsArriveAndLeaveWhole) {
  ASSERT_EQ(SQL_SUCCESS, db_.Exec("CREATE TABLE dbo.D (id int, a decimal(38,0), b decimal(38,10), c numeric(38,38))"));
  const std::string values[] = {"99999999999999999999999999999999999999", "-1234567890123456789012345678.9012345678",
                                "0.00000000000000000000000000000000000001"};
  const char* const columns[] = {"a", "b", "c"};
  const SQLSMALLINT c_types[] = {SQL_C_CHAR, SQL_C_WCHAR, SQL_C_NUMERIC};
  int id = 0;
  for (SQLSMALLINT c_type : c_types) {
    for (int k = 0; k < 3; ++k) {
      SCOPED_TRACE(std::to_string(c_type) + " " + values[k]);
      const std::string sql =
          "INSERT INTO dbo.D (id, " + std::string(columns[k]) + ") VALUES (" + std::to_string(++id) + ", ?)";
      const std::u16string wide(values[k].begin(), values[k].end());
      const SQL_NUMERIC_STRUCT numeric = ToNumeric(values[k]);
      const void* value = c_type == SQL_C_CHAR    ? static_cast<const void*>(values[k].c_str())
                          : c_type == SQL_C_WCHAR ? static_cast<const void*>(wide.c_str())
                                                  : &numeric;
      const Rows r = Run(sql, c_type, SQL_DECIMAL, value, c_type == SQL_C_NUMERIC ? 0 : SQL_NTS);
      ASSERT_TRUE(r.empty()) << r[0][0];
      const std::string select = "SELECT " + std::string(columns[k]) + " FROM dbo.D WHERE id = " + std::to_string(id);
      EXPECT_EQ(values[k], db_.Scalar(select));
      Statement st(db_);
      ASSERT_EQ(SQL_SUCCESS, st.Exec(select));
      ASSERT_EQ(SQL_SUCCESS, SQLFetch(st.H()));
      SQL_NUMERIC_STRUCT out{};
      SQLLEN indicator = 0;
      ASSERT_EQ(SQL_SUCCESS, SQLGetData(st.H(), 1, SQL_C_NUMERIC, &out, sizeof out, &indicator));
      EXPECT_EQ(values[k], FromNumeric(out));
      // Compared with the same value given as a literal, the row is found.
      EXPECT_EQ(std::to_string(id), db_.Scalar("SELECT id FROM dbo.D WHERE " + std::string(columns[k]) + " = " +
                                               values[k] + " AND id = " + std::to_string(id)));
    }
  }
}

}  // namespace
}  // namespace tsqlite_test
