#pragma once
// Exact numerics: decimal, numeric, money and smallmoney, to SQL Server's 38 digits.
//
// A value is a 128-bit count of units of 10^-scale, with SQL Server's precision p. Between SQLite
// and the engine it travels as a text: p - s + 1 digits before the point (zeros in front), the
// scale's digits after it and "e0" at the end (decimal(5,2) -12.50 is "-0012.50e0").
// SQLite reads that text as the number it is wherever it wants a number (abs(), a comparison with
// an int column), while the engine's own functions tell it from a plain text, so that two
// decimals add up instead of being concatenated and a client reads it as a decimal with its scale.
// Columns of these types are declared "DECIMAL TEXT(p,s)" (text affinity, so SQLite never turns
// a value into a double) with the collation "tsqlite_decimal", which orders them as numbers.
#include <cstdint>
#include <string>
#include <string_view>

#include "sql_type.h"

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace tsqlite {

inline constexpr int kMaxDecimalDigits = 38;
inline constexpr const char* kDecimalCollation = "tsqlite_decimal";

struct Decimal {
  __int128 units = 0;
  int scale = 0;
  int precision = 1;  // as SQL Server types a literal: its digits, at least the scale, at least 1
};

// Blanks around, a sign, digits with an optional point and an optional exponent (as SQLite writes
// a double); false when the text is no number or needs more than 38 digits.
bool ParseDecimal(std::string_view text, Decimal& out);

// The text in the engine's form ("1.50e0"), and false for anything else.
bool ParseDecimalForm(std::string_view text, Decimal& out);
inline bool LooksLikeDecimalForm(std::string_view text) {
  return text.size() >= 3 && text[text.size() - 2] == 'e' && text.back() == '0';
}

std::string DecimalForm(const Decimal& d);  // "-0012.50e0" for a decimal(5,2)
std::string DecimalText(const Decimal& d);  // "-12.50", as a client reads it

// The precision and scale of a declared type (DECIMAL TEXT(10,2), NUMERIC, MONEY, SMALLMONEY: as
// SQL Server defaults them); false for any other type.
bool DecimalTypeOf(const SqlType& type, int& precision, int& scale);

// To the given scale, rounding half away from zero; false when more than `precision` digits.
bool Rescale(Decimal& d, int scale, int precision = kMaxDecimalDigits);
// A double at the given scale (rounded); false past 38 digits or for inf/nan.
bool DoubleToDecimal(double v, int scale, Decimal& out);
double DecimalToDouble(const Decimal& d);
Decimal IntegerToDecimal(int64_t v);
int CompareDecimal(const Decimal& a, const Decimal& b);

// a op b with SQL Server's result precision and scale (the scale reduced past 38 digits); false
// when the result does not fit 38 digits (SQL Server's 8115). The divisor is not zero.
enum class DecimalOp { Add, Subtract, Multiply, Divide, Modulo };
bool DecimalArithmetic(const Decimal& a, DecimalOp op, const Decimal& b, Decimal& out);

// A 128-bit number kept where only 8-byte alignment is given (SQLite's aggregate states).
struct Units128 {
  uint64_t lo, hi;
  __int128 Get() const { return static_cast<__int128>((static_cast<unsigned __int128>(hi) << 64) | lo); }
  void Set(__int128 v) {
    lo = static_cast<uint64_t>(v);
    hi = static_cast<uint64_t>(static_cast<unsigned __int128>(v) >> 64);
  }
};

// ROUND(d, n[, truncate]): the digits past n places set to zero (half away from zero, or cut),
// the scale kept; false past 38 digits.
bool RoundDecimal(Decimal& d, int64_t places, bool truncate);

// Adds d to a running sum of units at scale (both start at 0); false past 38 digits.
bool AccumulateDecimal(Units128& units, int& scale, Decimal d);
// AVG: (units at scale + integers) / count at scale max(6, scale), cut; false past 38 digits.
bool DecimalAverage(Units128 units, int scale, int64_t integers, int64_t count, Decimal& out);

// The collation tsqlite_decimal, which orders decimal columns by value.
int RegisterDecimalCollation(sqlite3* db);

// The SQLite functions over exact decimals (registered with the others, function_table.cpp):
// ts_dec(x, p, s) (CAST to decimal(p,s)), ts_fit(x, table, column) (x as written into the column:
// brought to its type when that is a decimal, else unchanged; column is a name or a 0-based
// position), ts_abs, ts_floor, ts_ceiling (exact over decimals, SQLite's abs/floor/ceiling
// otherwise; ts_abs(x, 1): x is a bigint), ts_num(x) (a decimal as a SQLite number, for
// comparisons with numbers), ts_neg(x) and the aggregate ts_sum(x) (SUM, exact over decimals).
void FnDec(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnFit(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnNum(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnNeg(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnAbs(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnFloor(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnCeiling(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnSumStep(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnSumFinal(sqlite3_context* ctx);

}  // namespace tsqlite
