#pragma once
// DATEADD, DATEPART, DATEDIFF and the current time as SQLite functions (date_functions.cpp).
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "builtins.h"

namespace tsqlite {

// ts_dateadd(part, n, x)
// ts_dateadd(part, n, x[, typed]): DATEADD. typed is given when x is no literal nor parameter
// (a column or an expression such as CAST(... AS date)): then a value in the date form
// 'YYYY-MM-DD' is a date and gives back a date, as SQL Server types it; a string is a datetime.
void FnDateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// ts_datepart(part, x): DATEPART, and YEAR(), MONTH(), DAY().
void FnDatePart(sqlite3_context* ctx, int, sqlite3_value** argv);

// ts_datediff(part, a, b): the number of part boundaries crossed from a to b.
void FnDateDiff(sqlite3_context* ctx, int, sqlite3_value** argv);

// ts_datefirst(): @@DATEFIRST.
void FnDateFirst(sqlite3_context* ctx, int, sqlite3_value**);

// ts_now(): the local time with milliseconds, "yyyy-mm-dd hh:mi:ss.mmm", the same for every row of
// one statement. It is what strftime('%Y-%m-%d %H:%M:%f','now','localtime') gives, formatted once
// per statement instead of once per row.
void FnNow(sqlite3_context* ctx, int, sqlite3_value**);

}  // namespace tsqlite
