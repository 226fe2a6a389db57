#pragma once
// The arithmetic operators of the translated statements (operators.cpp).
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tsqlite {

// ts_mul(a, b): T-SQL's *. Two ints give an int (8115 past its range); texts are read as numbers.
void FnMul(sqlite3_context* ctx, int, sqlite3_value** argv);

void FnAvgStep(sqlite3_context* ctx, int, sqlite3_value** argv);

void FnAvgFinal(sqlite3_context* ctx);

// ts_add(a, b), ts_sub(a, b) and ts_addsub(a, op, b, op, c, ...) with op 0 for + and 1 for -: a
// chain of + and - worked from the left in one call, so a long sum is no deep nesting of calls.
void FnAdd(sqlite3_context* ctx, int, sqlite3_value** argv);

void FnSub(sqlite3_context* ctx, int, sqlite3_value** argv);

void FnAddSub(sqlite3_context* ctx, int argc, sqlite3_value** argv);

void FnMod(sqlite3_context* ctx, int, sqlite3_value** argv);

void FnDiv(sqlite3_context* ctx, int, sqlite3_value** argv);

// ts_muldiv(a, op, b, op, c, ...) with op 0 for *, 1 for / and 2 for %: a chain of them worked
// from the left in one call, as ts_addsub does for + and -.
void FnMulDiv(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// ts_top(n): the row count of TOP (n), whole; a negative or NULL count is SQL Server's 1014.
void FnTop(sqlite3_context* ctx, int, sqlite3_value** argv);

// ts_round(x, n [, truncate]): ROUND, also to tens and hundreds for a negative n; half away
// from zero, or towards zero when truncate is given and not 0. An integer stays an integer.
void FnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv);

}  // namespace tsqlite
