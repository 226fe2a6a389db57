#pragma once
// What a result column is to a client: its ODBC type, and the C type its values are handed out as.
#include "handles.h"

namespace tsqlite {

// SQL Server's time type and its C type, which its clients know (not in unixODBC's headers): the
// time of day to 100 ns, read as SQL_SS_TIME2_STRUCT.
constexpr SQLSMALLINT kSqlSsTime2 = -154;
constexpr SQLSMALLINT kSqlCSsTime2 = 0x4000;
struct SsTime2 {
  SQLUSMALLINT hour;
  SQLUSMALLINT minute;
  SQLUSMALLINT second;
  SQLUINTEGER fraction;  // nanoseconds
};

// The C type a value of this column is handed out as: a time read as SQL_C_BINARY is its
// SQL_SS_TIME2_STRUCT, as SQL Server's driver hands it out (pyodbc reads time so).
inline SQLSMALLINT ReadAs(const ColumnType& type, SQLSMALLINT c_type) {
  return type.sql_type == kSqlSsTime2 && c_type == SQL_C_BINARY ? kSqlCSsTime2 : c_type;
}

// The column's SQL type: from its declared type where it has one, else from the values it holds.
ColumnType TypeOfColumn(const Result& result, size_t column);

// The C type SQL_C_DEFAULT stands for with a column of this SQL type.
SQLSMALLINT DefaultCType(SQLSMALLINT sql_type);

}  // namespace tsqlite
