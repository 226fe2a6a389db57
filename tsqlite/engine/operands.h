#pragma once
// SQL Server's errors as the SQLite functions raise them, and the run-time operand types the
// operators and conversions decide by (a datetime text, a number, an exact decimal).
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "calendar.h"
#include "decimal.h"
#include "errors.h"

namespace tsqlite {

void RaiseDivideByZero(sqlite3_context* ctx);

void RaiseOverflow(sqlite3_context* ctx);

void RaiseIntOverflow(sqlite3_context* ctx);

void RaiseDecimalOverflow(sqlite3_context* ctx);

std::string TextOf(sqlite3_value* v);

void RaiseNotInt(sqlite3_context* ctx, const std::string& text);

void RaiseNotInt(sqlite3_context* ctx, sqlite3_value* v);

void RaiseParse(sqlite3_context* ctx, ParseResult r);

// The run-time type of an operand.
enum class ValueType { Null, Int, Real, Datetime, Text, Decimal };

struct Operand {
  ValueType type = ValueType::Null;
  int64_t i = 0;  // Int; Datetime: milliseconds since 1900-01-01
  double r = 0;   // Real
  Decimal d;      // Decimal
};

// The form of a text operand, as DATEADD gives it back and CONVERT styles it: a time stays a time, a datetime2 whose
// digits of the second are other than datetime's three keeps them (and its 100 ns); anything else is a datetime.
enum class Form { Datetime, Datetime2, Time };

Form FormOf(sqlite3_value* v, int& scale);

// A decimal where only a double will do (a day count, a modulo, a product with a float).
Operand NumericOf(Operand o);

double DoubleOf(const Operand& o);

Decimal DecimalOf(const Operand& o);

// A text is a datetime when it has the storage form of one.
Operand ClassifyText(const unsigned char* t, int n);

Operand Classify(sqlite3_value* v);

// A text operand next to a number is read as a number, as SQL Server converts varchar to int.
bool TextToNumber(const unsigned char* t, int n, Operand& o);

bool TextToNumber(sqlite3_value* v, Operand& o);

int64_t DaysToMs(const Operand& operand);

// Every datetime a function makes (CONVERT, CAST, DATEADD, datetime arithmetic) is rounded to
// ticks; DATEPART of a text reads the text as it is, as SQL Server reads it as datetime2.
void ResultDatetime(sqlite3_context* ctx, int64_t ms);

// Brings a text operand that stands next to a number or a datetime to one of them; false after
// an error was raised.
bool Coerce(sqlite3_context* ctx, const std::string& text, Operand& o, bool to_datetime);

bool Coerce(sqlite3_context* ctx, sqlite3_value* v, Operand& o, bool to_datetime);

bool IsInt32(int64_t v);

// Decimal literals are exact numerics on SQL Server (0.1 + 0.2 = 0.3); here they are doubles,
// whose sums carry binary noise in the last digits. A sum or difference is kept to 15 significant
// digits, which every decimal of up to 15 digits survives exactly.
double ExactDigits(double v);

// ts_error(native, message): raises the given SQL Server error; used by translated statements
// that must fail in SQL Server's terms (a table created in a schema that does not exist).
void FnError(sqlite3_context* ctx, int, sqlite3_value** argv);

}  // namespace tsqlite
