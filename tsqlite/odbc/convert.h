#pragma once
// From stored values to what an application reads: the copy of one value into an application
// buffer of a given C type.
#include "handles.h"

#include <string>
#include <string_view>

namespace tsqlite {

// A value as the client reads it from a column of this type: a decimal with its scale's digits
// (decimal(10,2) reads 0.30), held in scratch; any other value as it is.
const Value& Shown(const ColumnType& type, const Value& value, Value& scratch);

// Copies value into target as c_type. state, when given, holds how much of a text earlier
// SQLGetData calls on the same column have handed out, and is advanced; SQL_NO_DATA when all of it
// has been. Each call copies only the piece it hands out. Diagnostics go to h.
SQLRETURN PutValue(Handle* h, const Value& value, SQLSMALLINT c_type, SQLPOINTER target, SQLLEN buffer_length,
                   SQLLEN* indicator, GetDataState* state);

}  // namespace tsqlite
