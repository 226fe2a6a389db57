// Reads one long value with SQLGetData in 4 KB pieces, as SQL_C_CHAR and as SQL_C_WCHAR, at sizes
// of 1, 2, 4 and 8 MB, through the driver manager, and prints the time per megabyte. Reading in
// pieces is linear when that figure stays the same as the size grows.
//
//   build-bench/bench_getdata [DATABASE]   (default /tmp/bench_getdata.db, created)
#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

bool Ok(SQLRETURN rc) {
  return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// Seconds to read the only value of `sql` in pieces of `piece` bytes; -1 on an error.
double ReadInPieces(SQLHDBC dbc, const std::string& sql, SQLSMALLINT c_type, size_t piece) {
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  double seconds = -1;
  if (Ok(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS)) &&
      Ok(SQLFetch(stmt))) {
    std::string buffer(piece, '\0');
    SQLLEN indicator = 0;
    const auto start = std::chrono::steady_clock::now();
    SQLRETURN rc;
    while (Ok(rc = SQLGetData(stmt, 1, c_type, buffer.data(), static_cast<SQLLEN>(piece), &indicator))) {
    }
    if (rc == SQL_NO_DATA) {
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string file = argc > 1 ? argv[1] : "/tmp/bench_getdata.db";
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  const std::string connect = "DRIVER=" TSQLITE_LIB ";Database=" + file + ";Create=Yes";
  if (!Ok(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connect.c_str())), SQL_NTS,
                           nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
    std::fprintf(stderr, "cannot connect to %s\n", file.c_str());
    return 1;
  }
  std::printf("%8s %16s %16s\n", "MB", "char s/MB", "wchar s/MB");
  for (int mb : {1, 2, 4, 8}) {
    // REPLICATE stops at 8,000 characters: mb * 256 marks, each replaced by 4,096 characters.
    const std::string sql = "SELECT REPLACE(REPLICATE(CAST('x' AS varchar(max)), " + std::to_string(mb * 256) +
                            "), 'x', CAST(REPLICATE('y', 4096) AS varchar(max)))";
    const double c = ReadInPieces(dbc, sql, SQL_C_CHAR, 4096);
    const double w = ReadInPieces(dbc, sql, SQL_C_WCHAR, 4096);
    std::printf("%8d %16.4f %16.4f\n", mb, c / mb, w / mb);
  }
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return 0;
}
