#pragma once
// From stored values to what an application reads: the ODBC type of a result column, and the copy
// of one value into an application buffer of a given C type.
#include "handles.h"

namespace tsqlite {

// The column's SQL type: from its declared type where it has one, else from the values it holds.
ColumnType TypeOfColumn(const Result& result, size_t column);

// The C type SQL_C_DEFAULT stands for with a column of this SQL type.
SQLSMALLINT DefaultCType(SQLSMALLINT sql_type);

// Copies value into target as c_type. state, when given, holds how much of a text earlier
// SQLGetData calls on the same column have handed out, and is advanced; SQL_NO_DATA when all of it
// has been. Each call copies only the piece it hands out. Diagnostics go to h.
SQLRETURN PutValue(Handle* h, const Value& value, SQLSMALLINT c_type, SQLPOINTER target, SQLLEN buffer_length,
                   SQLLEN* indicator, GetDataState* state);

}  // namespace tsqlite
