#pragma once
// Text functions and LIKE as SQLite functions (text_functions.cpp).
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tsqlite {

// NEWID(): a random uniqueidentifier (version 4) in SQL Server's text form.
void FnNewId(sqlite3_context* ctx, int, sqlite3_value**);

void FnLike(sqlite3_context* ctx, int, sqlite3_value** argv);

void FnLikeCi(sqlite3_context* ctx, int, sqlite3_value** argv);

// ts_to_1252(x): a text as a char/varchar column of code page 1252 holds it (a character outside
// the code page as its best-fit letter or '?'); any other value as it is.
void FnTo1252(sqlite3_context* ctx, int, sqlite3_value** argv);

// ts_datalength(x, unit): DATALENGTH of a text by the bytes its type stores: unit 0 one per
// character (code page 1252), 1 UTF-8's bytes, 2 two per UTF-16 unit (nvarchar; a character past
// U+FFFF takes two units). A binary value counts its bytes, a number the characters of its text.
void FnDataLength(sqlite3_context* ctx, int, sqlite3_value** argv);

// ts_substring(s, start, length): the characters at positions start .. start + length - 1 that
// lie inside s; a start below 1 shortens what is left.
void FnSubstring(sqlite3_context* ctx, int, sqlite3_value** argv);

// ts_str(x [, length [, decimals]]): STR, the number right-aligned in length characters (10) with
// decimals places (0, at most 16); places are given up before the whole part is, and a whole part
// that does not fit gives length asterisks. NULL for a length outside 1 to 8000.
void FnStr(sqlite3_context* ctx, int argc, sqlite3_value** argv);

}  // namespace tsqlite
