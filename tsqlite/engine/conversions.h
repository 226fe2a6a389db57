#pragma once
// CONVERT and CAST as SQLite functions (conversions.cpp).
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tsqlite {

// Reads any operand as a datetime: numbers count days from 1900-01-01, texts are parsed.
bool ToDatetime(sqlite3_context* ctx, sqlite3_value* v, int style, int64_t& ms);

// ts_to_datetime(x, style): CONVERT(datetime, x[, style]).
void FnToDatetime(sqlite3_context* ctx, int, sqlite3_value** argv);

void FnToDatetime2(sqlite3_context* ctx, int, sqlite3_value** argv);

void FnToTime(sqlite3_context* ctx, int, sqlite3_value** argv);

// ts_to_smalldatetime(x, style): CONVERT(smalldatetime, x[, style]); numbers count days.
void FnToSmallDatetime(sqlite3_context* ctx, int, sqlite3_value** argv);

// ts_to_int(x[, type]): CONVERT(int, x), or to the named integer type ('BIGINT', 'SMALLINT',
// 'TINYINT', 'BIT'). A datetime becomes its day count from 1900-01-01, rounded to the nearest day
// (12:00 and later count as the next day); a real is truncated. A value past the type's range is
// SQL Server's overflow error; a bit is 1 for any value but 0, and 'TRUE'/'FALSE' are 1 and 0.
void FnToInt(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// ts_to_char(x, length, style, fixed): CONVERT(char(n) | varchar(n), x[, style]). length is -1
// when the type names none (then 30, as SQL Server), style -1 when no style was given, fixed 1
// for char(n), whose value is padded with blanks to its length.
void FnToChar(sqlite3_context* ctx, int, sqlite3_value** argv);

// ts_fit_datetime(value, table, column): a datetime written into a datetime2, smalldatetime or time column
// becomes that type; into any other column it stays as it is. The column's type is looked up
// once per statement.
void FnFitDatetime(sqlite3_context* ctx, int, sqlite3_value** argv);

}  // namespace tsqlite
