#pragma once
// From stored values to what an application reads: the ODBC type of a result column, and the copy
// of one value into an application buffer of a given C type.
#include "handles.h"

#include <string>
#include <string_view>

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

// UTF-8 to UTF-16 (bytes that are not UTF-8 are taken as Latin-1), and back (an unpaired
// surrogate becomes U+FFFD).
std::u16string Utf16(std::string_view s);
std::string Utf8(std::u16string_view s);

// The column's SQL type: from its declared type where it has one, else from the values it holds.
ColumnType TypeOfColumn(const Result& result, size_t column);

// A value as the client reads it from a column of this type: a decimal with its scale's digits
// (decimal(10,2) reads 0.30), held in scratch; any other value as it is.
const Value& Shown(const ColumnType& type, const Value& value, Value& scratch);

// The C type SQL_C_DEFAULT stands for with a column of this SQL type.
SQLSMALLINT DefaultCType(SQLSMALLINT sql_type);

// Copies value into target as c_type. state, when given, holds how much of a text earlier
// SQLGetData calls on the same column have handed out, and is advanced; SQL_NO_DATA when all of it
// has been. Each call copies only the piece it hands out. Diagnostics go to h.
SQLRETURN PutValue(Handle* h, const Value& value, SQLSMALLINT c_type, SQLPOINTER target, SQLLEN buffer_length,
                   SQLLEN* indicator, GetDataState* state);

}  // namespace tsqlite
