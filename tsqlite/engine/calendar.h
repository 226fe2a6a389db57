#pragma once
// The datetime library's parts the SQLite functions share (datetime.cpp): the calendar, parsing and
// formatting of the storage forms. Not part of the engine's interface.
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "lexer.h"

namespace tsqlite {

constexpr int64_t kMsPerDay = 86400000;

// SQL Server's datetime range: 1753-01-01 .. 9999-12-31 23:59:59.997.
constexpr int64_t kMinDay = -53690;  // 1753-01-01 counted from 1900-01-01

constexpr int64_t kMaxDay = 2958463;  // 9999-12-31

// Days from 1900-01-01 to the given proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d);

struct Civil {
  int y, m, d;
};

Civil CivilFromDays(int64_t z);

int DaysInMonth(int y, int m);

int64_t FloorDiv(int64_t a, int64_t b);

// The broken-down parts of a datetime.
struct Parts {
  int y, m, d, hh, mi, ss, ms;
};

Parts Split(int64_t ms);

// datetime keeps time in ticks of 1/300 s: the milliseconds of a value round to .000, .003 or
// .007 of their 10 ms (.999 becomes the next second), as SQL Server stores them.
int64_t RoundToTicks(int64_t ms);

bool InRange(int64_t ms);

// Writes the storage form (23 characters and a terminator) of an in-range value.
void FormatStorage(int64_t ms, char out[24]);

// True for text in the storage form, which is how a datetime column's value is recognised when
// an operator or a conversion has to decide between date and text semantics.
bool IsStorageForm(const unsigned char* s, int n);

int Num(const unsigned char* s, int n);

enum class ParseResult { Ok, BadFormat, OutOfRange };

// Reads a date and time text as SQL Server reads one for CONVERT(datetime, text, style): the
// ISO forms (yyyymmdd, yyyy-mm-dd, yyyy/mm/dd, yyyy.mm.dd, optionally followed by a time), and
// for the national styles the day-month orders. A text of blanks only is 1900-01-01.
// A text that starts with its time (hh:mi[:ss[.fff]]) is that time on 1900-01-01. sub, when
// given, receives the digits of the fraction past milliseconds in units of 100 ns (0 to 9999),
// which datetime2 and time keep; min_year is 1753 for datetime, 1 for datetime2.
ParseResult ParseDatetime(const unsigned char* s, int n, int style, int64_t& out, int* sub = nullptr,
                          int min_year = 1753);

constexpr int64_t kTicksPerMs = 10000;

int ScaleOf(sqlite3_value* v);

// The storage form of a datetime2 (false when out of its range) or a time.
bool FormatDatetime2(int64_t ticks, int scale, std::string& out);

std::string FormatTime(int64_t ticks, int scale);

ParseResult Datetime2Text(const unsigned char* t, int n, int style, int scale, std::string& out);

ParseResult TimeText(const unsigned char* t, int n, int style, int scale, std::string& out);

// smalldatetime keeps minutes: 29.998 seconds round down, 29.999 up.
bool SmallDatetimeText(int64_t ms, std::string& out);

// Formats a datetime by a CONVERT style; false for a style SQL Server does not know.
bool FormatStyle(int64_t ms, int style, std::string& out);

}  // namespace tsqlite
