// The Unicode (W) calls through the driver manager, as a Unicode application makes them: texts go
// in and out as UTF-16 and reach the database as UTF-8 unchanged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "odbc_helpers.h"

namespace tsqlite_test {
namespace {

std::u16string U16(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}
SQLWCHAR* W(std::u16string& s) {
  return reinterpret_cast<SQLWCHAR*>(s.data());
}

// The handles of a connection made with the W calls, freed on every path out of the test.
struct WideHandles {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  bool connected = false;
  WideHandles() = default;
  WideHandles(const WideHandles&) = delete;
  WideHandles& operator=(const WideHandles&) = delete;
  ~WideHandles() {
    if (stmt != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    if (connected) SQLDisconnect(dbc);
    if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
};

TEST(WideCalls, TextsRoundTripAsUtf16) {
  TempDir dir;
  WideHandles h;
  SQLHENV& env = h.env;
  SQLHDBC& dbc = h.dbc;
  SQLHSTMT& stmt = h.stmt;
  ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)));
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  std::u16string in = U16(std::string("DRIVER=") + TSQLITE_LIB + ";Create=Yes;Database=" + dir.File("w.db"));
  SQLWCHAR out[16];
  SQLSMALLINT out_length = 0;
  // A connection string longer than the buffer comes back cut, its full length in characters.
  const SQLRETURN connected =
      SQLDriverConnectW(dbc, nullptr, W(in), SQL_NTS, out, 16, &out_length, SQL_DRIVER_NOPROMPT);
  h.connected = SQL_SUCCEEDED(connected);
  EXPECT_EQ(SQL_SUCCESS_WITH_INFO, connected);
  EXPECT_EQ(static_cast<SQLSMALLINT>(in.size()), out_length);
  EXPECT_EQ(std::u16string(u"DRIVER=/"), std::u16string(reinterpret_cast<char16_t*>(out), 8));
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);

  std::u16string create = u"CREATE TABLE Tipolog\u00eda (n nvarchar(5))";
  std::u16string insert = u"INSERT INTO Tipolog\u00eda VALUES (N'x \U0001F31C z')";
  std::u16string select = u"SELECT n AS A\u00f1o FROM Tipolog\u00eda";
  ASSERT_EQ(SQL_SUCCESS, SQLExecDirectW(stmt, W(create), SQL_NTS));
  ASSERT_EQ(SQL_SUCCESS, SQLExecDirectW(stmt, W(insert), SQL_NTS));
  ASSERT_EQ(SQL_SUCCESS, SQLExecDirectW(stmt, W(select), static_cast<SQLINTEGER>(select.size())));
  SQLWCHAR name[8];
  SQLSMALLINT name_length = 0, type = 0, digits = 0, nullable = 0;
  SQLULEN size = 0;
  ASSERT_EQ(SQL_SUCCESS, SQLDescribeColW(stmt, 1, name, 8, &name_length, &type, &size, &digits, &nullable));
  EXPECT_EQ(u"A\u00f1o", std::u16string(reinterpret_cast<char16_t*>(name)));
  EXPECT_EQ(3, name_length);
  EXPECT_EQ(SQL_WVARCHAR, type);
  EXPECT_EQ(5u, size);
  SQLWCHAR value[16];
  SQLLEN indicator = 0;
  ASSERT_EQ(SQL_SUCCESS, SQLFetch(stmt));
  ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &indicator));
  EXPECT_EQ(u"x \U0001F31C z", std::u16string(reinterpret_cast<char16_t*>(value)));
  SQLCloseCursor(stmt);

  std::u16string bad = u"SELECT A\u00f1o FROM Tipolog\u00eda";
  ASSERT_EQ(SQL_ERROR, SQLExecDirectW(stmt, W(bad), SQL_NTS));
  SQLWCHAR state[6], message[256];
  SQLINTEGER native = 0;
  SQLSMALLINT message_length = 0;
  ASSERT_EQ(SQL_SUCCESS, SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 1, state, &native, message, 256, &message_length));
  EXPECT_EQ(207, native);
  EXPECT_EQ(u"42S22", std::u16string(reinterpret_cast<char16_t*>(state)));
  EXPECT_NE(std::u16string::npos, std::u16string(reinterpret_cast<char16_t*>(message)).find(u"'A\u00f1o'"));
}

// Expressions are described with the type SQL Server gives them: nvarchar for N'...' text.
TEST(Descriptions, ExpressionsHaveSqlServersTypes) {
  TempDir dir;
  Connection db("Database=" + dir.File("d.db") + ";Create=Yes");
  ASSERT_TRUE(db.Ok());
  const struct {
    const char* item;
    SQLSMALLINT type;
    SQLULEN size;
    SQLSMALLINT digits;
  } cases[] = {
      {"N'abc'", SQL_WVARCHAR, 3, 0},
      {"N'a' + 'b' AS x", SQL_WVARCHAR, 2, 0},
      {"'a' + 'b'", SQL_VARCHAR, 2, 0},
      {"UPPER(N'abc')", SQL_WVARCHAR, 3, 0},
      // A conversion is described by its type, in parentheses too; varchar(max) has size 0.
      {"(CAST('ab' AS varchar(5)))", SQL_VARCHAR, 5, 0},
      {"CAST('ab' AS varchar(max)) AS x", SQL_VARCHAR, 0, 0},
      {"LEN(N'abc')", SQL_INTEGER, 10, 0},
      {"CAST('10:00' AS time)", -154, 16, 7},  // SQL_SS_TIME2
      {"CAST('10:00' AS time(0))", -154, 8, 0},
      {"CAST('2024-01-02' AS datetime2(3))", SQL_TYPE_TIMESTAMP, 23, 3},
      {"CAST('2024-01-02' AS smalldatetime)", SQL_TYPE_TIMESTAMP, 16, 0},
      {"CAST('2024-01-02' AS datetime)", SQL_TYPE_TIMESTAMP, 23, 3},
  };
  for (const auto& c : cases) {
    Statement st(db);
    ASSERT_EQ(SQL_SUCCESS, st.Exec(std::string("SELECT ") + c.item)) << c.item;
    SQLSMALLINT type = 0, digits = -1, nullable = 0;
    SQLULEN size = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLDescribeCol(st.H(), 1, nullptr, 0, nullptr, &type, &size, &digits, &nullable));
    EXPECT_EQ((std::vector<long>{c.type, static_cast<long>(c.size), c.digits}),
              (std::vector<long>{type, static_cast<long>(size), digits}))
        << c.item;
  }
}

}  // namespace
}  // namespace tsqlite_test
