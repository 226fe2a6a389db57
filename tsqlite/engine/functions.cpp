// SQLite functions behind the translated T-SQL: conversions, date arithmetic, DATEPART/DATEADD,
// and the arithmetic operators whose meaning depends on the run-time type of their operands.
//
// A datetime is stored as TEXT 'YYYY-MM-DD hh:mm:ss.fff'. Internally it is a count of
// milliseconds since 1900-01-01 00:00:00, the origin SQL Server uses when it mixes datetimes
// with numbers (datetime - datetime, datetime + int, CONVERT(int, datetime)).
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "builtins.h"
#include "decimal.h"
#include "integer_types.h"
#include "translate.h"

namespace tsqlite {
namespace {

constexpr int64_t kMsPerDay = 86400000;
// SQL Server's datetime range: 1753-01-01 .. 9999-12-31 23:59:59.997.
constexpr int64_t kMinDay = -53690;   // 1753-01-01 counted from 1900-01-01
constexpr int64_t kMaxDay = 2958463;  // 9999-12-31

// Days from 1900-01-01 to the given proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468 + 25567;
}

struct Civil {
  int y, m, d;
};

Civil CivilFromDays(int64_t z) {
  z += 719468 - 25567;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// The broken-down parts of a datetime.
struct Parts {
  int y, m, d, hh, mi, ss, ms;
};

Parts Split(int64_t ms) {
  const int64_t day = FloorDiv(ms, kMsPerDay);
  int64_t rest = ms - day * kMsPerDay;
  const Civil c = CivilFromDays(day);
  Parts p{c.y, c.m, c.d, 0, 0, 0, 0};
  p.hh = static_cast<int>(rest / 3600000);
  rest %= 3600000;
  p.mi = static_cast<int>(rest / 60000);
  rest %= 60000;
  p.ss = static_cast<int>(rest / 1000);
  p.ms = static_cast<int>(rest % 1000);
  return p;
}

// datetime keeps time in ticks of 1/300 s: the milliseconds of a value round to .000, .003 or
// .007 of their 10 ms (.999 becomes the next second), as SQL Server stores them.
int64_t RoundToTicks(int64_t ms) {
  const int64_t second = FloorDiv(ms, 1000) * 1000;
  const int64_t ticks = ((ms - second) * 3 + 5) / 10;
  return second + (ticks * 10 + 1) / 3;
}

bool InRange(int64_t ms) {
  const int64_t day = FloorDiv(ms, kMsPerDay);
  return day >= kMinDay && day <= kMaxDay;
}

// Writes the storage form (23 characters and a terminator) of an in-range value.
void FormatStorage(int64_t ms, char out[24]) {
  const Parts p = Split(ms);
  auto put = [&out](int at, int value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10) out[at + i] = static_cast<char>('0' + value % 10);
  };
  std::memcpy(out, "0000-00-00 00:00:00.000", 24);
  put(0, p.y, 4);
  put(5, p.m, 2);
  put(8, p.d, 2);
  put(11, p.hh, 2);
  put(14, p.mi, 2);
  put(17, p.ss, 2);
  put(20, p.ms, 3);
}

bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}

// True for text in the storage form, which is how a datetime column's value is recognised when
// an operator or a conversion has to decide between date and text semantics.
bool IsStorageForm(const unsigned char* s, int n) {
  if (n != 23 && n != 19) return false;
  static const char kPattern[] = "dddd-dd-dd dd:dd:dd.ddd";
  for (int i = 0; i < n; ++i) {
    if (kPattern[i] == 'd') {
      if (!IsDigit(s[i])) return false;
    } else if (s[i] != static_cast<unsigned char>(kPattern[i])) {
      return false;
    }
  }
  return true;
}

int Num(const unsigned char* s, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) v = v * 10 + (s[i] - '0');
  return v;
}

enum class ParseResult { Ok, BadFormat, OutOfRange };

// Reads a date and time text as SQL Server reads one for CONVERT(datetime, text, style): the
// ISO forms (yyyymmdd, yyyy-mm-dd, yyyy/mm/dd, yyyy.mm.dd, optionally followed by a time), and
// for the national styles the day-month orders. A text of blanks only is 1900-01-01.
// A text that starts with its time (hh:mi[:ss[.fff]]) is that time on 1900-01-01. sub, when
// given, receives the digits of the fraction past milliseconds in units of 100 ns (0 to 9999),
// which datetime2 and time keep; min_year is 1753 for datetime, 1 for datetime2.
ParseResult ParseDatetime(const unsigned char* s, int n, int style, int64_t& out, int* sub = nullptr,
                          int min_year = 1753) {
  int i = 0;
  while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
  while (n > i && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
  if (i == n) {
    out = 0;
    return ParseResult::Ok;
  }
  auto digits = [&](int at) {
    int k = at;
    while (k < n && IsDigit(s[k])) ++k;
    return k - at;
  };
  int y = 0, m = 0, d = 0;
  const int lead = digits(i);
  const bool time_only = lead >= 1 && lead <= 2 && i + lead < n && s[i + lead] == ':';
  if (time_only) {
    y = 1900;
    m = d = 1;
  } else if (lead == 8) {  // yyyymmdd
    y = Num(s + i, 4);
    m = Num(s + i + 4, 2);
    d = Num(s + i + 6, 2);
    i += 8;
  } else if (lead == 4 && i + 4 < n && (s[i + 4] == '-' || s[i + 4] == '/' || s[i + 4] == '.')) {
    const unsigned char sep = s[i + 4];
    y = Num(s + i, 4);
    i += 5;
    int k = digits(i);
    if (k < 1 || k > 2 || i + k >= n || s[i + k] != sep) return ParseResult::BadFormat;
    m = Num(s + i, k);
    i += k + 1;
    k = digits(i);
    if (k < 1 || k > 2) return ParseResult::BadFormat;
    d = Num(s + i, k);
    i += k;
  } else if (lead >= 1 && lead <= 2 && i + lead < n &&
             (s[i + lead] == '/' || s[i + lead] == '.' || s[i + lead] == '-')) {
    // Two numbers and a four-digit year: day first for the European styles, month first else.
    const unsigned char sep = s[i + lead];
    const int a = Num(s + i, lead);
    i += lead + 1;
    int k = digits(i);
    if (k < 1 || k > 2 || i + k >= n || s[i + k] != sep) return ParseResult::BadFormat;
    const int b = Num(s + i, k);
    i += k + 1;
    k = digits(i);
    if (k != 4) return ParseResult::BadFormat;
    y = Num(s + i, 4);
    i += 4;
    const bool day_first = style == 103 || style == 104 || style == 105 || style == 3 || style == 4 || style == 5;
    d = day_first ? a : b;
    m = day_first ? b : a;
  } else {
    return ParseResult::BadFormat;
  }
  int hh = 0, mi = 0, ss = 0, ms = 0;
  if (sub != nullptr) *sub = 0;
  if (i < n) {
    if (!time_only && s[i] != ' ' && s[i] != 'T') return ParseResult::BadFormat;
    while (i < n && (s[i] == ' ' || s[i] == 'T')) ++i;
    int k = digits(i);
    if (k < 1 || k > 2) return ParseResult::BadFormat;
    hh = Num(s + i, k);
    i += k;
    if (i >= n || s[i] != ':') return ParseResult::BadFormat;
    ++i;
    k = digits(i);
    if (k < 1 || k > 2) return ParseResult::BadFormat;
    mi = Num(s + i, k);
    i += k;
    if (i < n && s[i] == ':') {
      ++i;
      k = digits(i);
      if (k < 1 || k > 2) return ParseResult::BadFormat;
      ss = Num(s + i, k);
      i += k;
      if (i < n && (s[i] == '.' || s[i] == ':')) {
        ++i;
        k = digits(i);
        if (k < 1) return ParseResult::BadFormat;
        // Fractions beyond milliseconds are cut, shorter ones scaled: .5 is 500 ms.
        int frac = 0;
        for (int j = 0; j < 3; ++j) frac = frac * 10 + (j < k ? s[i + j] - '0' : 0);
        ms = frac;
        if (sub != nullptr) {
          for (int j = 3; j < 7; ++j) *sub = *sub * 10 + (j < k ? s[i + j] - '0' : 0);
        }
        i += k;
      }
    }
    while (i < n && s[i] == ' ') ++i;
    if (i + 2 <= n && (s[i] == 'A' || s[i] == 'a' || s[i] == 'P' || s[i] == 'p') &&
        (s[i + 1] == 'M' || s[i + 1] == 'm')) {
      if (hh < 1 || hh > 12) return ParseResult::OutOfRange;
      const bool pm = s[i] == 'P' || s[i] == 'p';
      hh = hh % 12 + (pm ? 12 : 0);
      i += 2;
    }
    if (i != n) return ParseResult::BadFormat;
  }
  if (m < 1 || m > 12 || d < 1 || y < min_year || y > 9999 || d > DaysInMonth(y, m) || hh > 23 || mi > 59 || ss > 59) {
    return ParseResult::OutOfRange;
  }
  out = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) * kMsPerDay +
        ((hh * 60 + mi) * 60 + ss) * int64_t{1000} + ms;
  return ParseResult::Ok;
}

// ---- errors in SQL Server's terms -----------------------------------------------------------

void RaiseError(sqlite3_context* ctx, int native, const std::string& message) {
  const std::string text = "tsqlite:" + std::to_string(native) + ":" + message;
  sqlite3_result_error(ctx, text.c_str(), static_cast<int>(text.size()));
}

void RaiseDivideByZero(sqlite3_context* ctx) {
  RaiseError(ctx, 8134, "Divide by zero error encountered.");
}

void RaiseOverflow(sqlite3_context* ctx) {
  RaiseError(ctx, 517, "Adding a value to a 'datetime' column caused an overflow.");
}

void RaiseIntOverflow(sqlite3_context* ctx) {
  RaiseError(ctx, 8115, "Arithmetic overflow error converting expression to data type int.");
}

void RaiseDecimalOverflow(sqlite3_context* ctx) {
  RaiseError(ctx, 8115, "Arithmetic overflow error converting expression to data type numeric.");
}

std::string TextOf(sqlite3_value* v) {
  const unsigned char* t = sqlite3_value_text(v);
  return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_value_bytes(v))) : std::string();
}

void RaiseNotInt(sqlite3_context* ctx, const std::string& text) {
  RaiseError(ctx, 245, "Conversion failed when converting the varchar value '" + text + "' to data type int.");
}

void RaiseNotInt(sqlite3_context* ctx, sqlite3_value* v) {
  RaiseNotInt(ctx, TextOf(v));
}

void RaiseParse(sqlite3_context* ctx, ParseResult r) {
  if (r == ParseResult::OutOfRange) {
    RaiseError(ctx, 242,
               "The conversion of a varchar data type to a datetime data type resulted in an "
               "out-of-range value.");
  } else {
    RaiseError(ctx, 241, "Conversion failed when converting date and/or time from character string.");
  }
}

// ---- run-time operand types ------------------------------------------------------------------

enum class Type { Null, Int, Real, Datetime, Text, Decimal };

struct Operand {
  Type type = Type::Null;
  int64_t i = 0;  // Int; Datetime: milliseconds since 1900-01-01
  double r = 0;   // Real
  Decimal d;      // Decimal
};

// A text in the storage form (IsStorageForm) has its fields at fixed places; it reads as
// ParseDatetime reads it, without the search for a format, as every datetime of a row does.
bool ParseStorageForm(const unsigned char* s, int n, int64_t& out) {
  const int y = Num(s, 4), m = Num(s + 5, 2), d = Num(s + 8, 2);
  const int hh = Num(s + 11, 2), mi = Num(s + 14, 2), ss = Num(s + 17, 2), ms = n == 23 ? Num(s + 20, 3) : 0;
  if (m < 1 || m > 12 || d < 1 || y < 1753 || d > DaysInMonth(y, m) || hh > 23 || mi > 59 || ss > 59) return false;
  out = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) * kMsPerDay +
        ((hh * 60 + mi) * 60 + ss) * int64_t{1000} + ms;
  return true;
}

// A decimal where only a double will do (a day count, a modulo, a product with a float).
Operand NumericOf(Operand o) {
  if (o.type == Type::Decimal) {
    o.type = Type::Real;
    o.r = DecimalToDouble(o.d);
  }
  return o;
}

double DoubleOf(const Operand& o) {
  return o.type == Type::Int ? static_cast<double>(o.i) : o.type == Type::Decimal ? DecimalToDouble(o.d) : o.r;
}

Decimal DecimalOf(const Operand& o) {
  return o.type == Type::Decimal ? o.d : IntegerToDecimal(o.i);
}

// A text is a datetime when it has the storage form of one.
Operand ClassifyText(const unsigned char* t, int n) {
  Operand o;
  o.type = Type::Text;
  if (t && IsStorageForm(t, n) && ParseStorageForm(t, n, o.i)) o.type = Type::Datetime;
  return o;
}

Operand Classify(sqlite3_value* v) {
  Operand o;
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      return o;
    case SQLITE_INTEGER:
      o.type = Type::Int;
      o.i = sqlite3_value_int64(v);
      return o;
    case SQLITE_FLOAT:
      o.type = Type::Real;
      o.r = sqlite3_value_double(v);
      return o;
    default: {
      const unsigned char* t = sqlite3_value_text(v);
      const int n = sqlite3_value_bytes(v);
      if (t != nullptr && LooksLikeDecimalForm(std::string_view(reinterpret_cast<const char*>(t), n)) &&
          ParseDecimalForm(std::string_view(reinterpret_cast<const char*>(t), n), o.d)) {
        o.type = Type::Decimal;
        return o;
      }
      return ClassifyText(t, n);
    }
  }
}

// A text operand next to a number is read as a number, as SQL Server converts varchar to int.
bool TextToNumber(const unsigned char* t, int n, Operand& o) {
  int i = 0;
  while (i < n && t[i] == ' ') ++i;
  while (n > i && t[n - 1] == ' ') --n;
  if (i == n) {  // an empty text converts to 0
    o.type = Type::Int;
    o.i = 0;
    return true;
  }
  int k = i;
  if (t[k] == '-' || t[k] == '+') ++k;
  const int digits_from = k;
  int64_t value = 0;
  bool overflow = false;
  while (k < n && IsDigit(t[k])) {
    overflow |= __builtin_mul_overflow(value, 10, &value) || __builtin_add_overflow(value, t[k] - '0', &value);
    ++k;
  }
  if (k == n && k > digits_from && !overflow) {
    o.type = Type::Int;
    o.i = t[i] == '-' ? -value : value;
    return true;
  }
  return false;
}

bool TextToNumber(sqlite3_value* v, Operand& o) {
  return TextToNumber(sqlite3_value_text(v), sqlite3_value_bytes(v), o);
}

// Days (possibly fractional) as milliseconds; a count far outside the datetime range maps to a
// value that the range check refuses, rather than overflowing.
constexpr int64_t kFarOut = int64_t{1} << 60;

int64_t DaysToMs(const Operand& operand) {
  const Operand o = NumericOf(operand);
  if (o.type == Type::Int) {
    return o.i > 10 * kMaxDay || o.i < 10 * kMinDay ? kFarOut : o.i * kMsPerDay;
  }
  if (!(o.r < 10.0 * kMaxDay && o.r > 10.0 * kMinDay)) return kFarOut;
  return static_cast<int64_t>(std::llround(o.r * kMsPerDay));
}

// Every datetime a function makes (CONVERT, CAST, DATEADD, datetime arithmetic) is rounded to
// ticks; DATEPART of a text reads the text as it is, as SQL Server reads it as datetime2.
void ResultDatetime(sqlite3_context* ctx, int64_t ms) {
  ms = RoundToTicks(ms);
  if (!InRange(ms)) {
    RaiseOverflow(ctx);
    return;
  }
  char buf[24];
  FormatStorage(ms, buf);
  sqlite3_result_text(ctx, buf, 23, SQLITE_TRANSIENT);
}

// Brings a text operand that stands next to a number or a datetime to one of them; false after
// an error was raised.
bool Coerce(sqlite3_context* ctx, const std::string& text, Operand& o, bool to_datetime) {
  if (o.type != Type::Text) return true;
  const auto* t = reinterpret_cast<const unsigned char*>(text.data());
  const int n = static_cast<int>(text.size());
  if (to_datetime) {
    const ParseResult r = ParseDatetime(t, n, 0, o.i);
    if (r != ParseResult::Ok) {
      RaiseParse(ctx, r);
      return false;
    }
    o.type = Type::Datetime;
    return true;
  }
  if (TextToNumber(t, n, o)) return true;
  // A number with a point: what SQLite wrote into a decimal column from a double (a default of
  // 0.5, a row copied by INSERT ... SELECT) is a decimal.
  if (text.find('.') != std::string::npos && text.find_first_of("eE") == std::string::npos && ParseDecimal(text, o.d)) {
    o.type = Type::Decimal;
    return true;
  }
  RaiseNotInt(ctx, text);
  return false;
}

bool Coerce(sqlite3_context* ctx, sqlite3_value* v, Operand& o, bool to_datetime) {
  return o.type != Type::Text || Coerce(ctx, TextOf(v), o, to_datetime);
}

bool IsInt32(int64_t v) {
  return v >= INT32_MIN && v <= INT32_MAX;
}

// Decimal literals are exact numerics on SQL Server (0.1 + 0.2 = 0.3); here they are doubles,
// whose sums carry binary noise in the last digits. A sum or difference is kept to 15 significant
// digits, which every decimal of up to 15 digits survives exactly.
double ExactDigits(double v) {
  if (!std::isfinite(v) || v == 0) return v;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return std::strtod(buf, nullptr);
}

// ts_mul(a, b): T-SQL's *. Two ints give an int (8115 past its range); texts are read as numbers.
void FnMul(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Operand a = Classify(argv[0]);
  Operand b = Classify(argv[1]);
  if (a.type == Type::Null || b.type == Type::Null) {
    sqlite3_result_null(ctx);
    return;
  }
  if (a.type == Type::Datetime || b.type == Type::Datetime) {
    RaiseError(ctx, 8117, "Operand data type datetime is invalid for multiply operator.");
    return;
  }
  if (!Coerce(ctx, argv[0], a, false) || !Coerce(ctx, argv[1], b, false)) return;
  if (a.type == Type::Int && b.type == Type::Int) {
    int64_t r;
    if (__builtin_mul_overflow(a.i, b.i, &r) || (IsInt32(a.i) && IsInt32(b.i) && !IsInt32(r))) {
      RaiseIntOverflow(ctx);
      return;
    }
    sqlite3_result_int64(ctx, r);
    return;
  }
  if (a.type != Type::Real && b.type != Type::Real) {  // decimal with decimal or int: exact
    Decimal r;
    if (!DecimalArithmetic(DecimalOf(a), DecimalOp::Multiply, DecimalOf(b), r)) return RaiseDecimalOverflow(ctx);
    const std::string form = DecimalForm(r);
    sqlite3_result_text(ctx, form.data(), static_cast<int>(form.size()), SQLITE_TRANSIENT);
    return;
  }
  sqlite3_result_double(ctx, DoubleOf(a) * DoubleOf(b));
}

// ts_avg(x): AVG. Over integers the average is an integer, cut toward zero, as SQL Server's
// AVG of an int column is an int; any other value makes it a float.
// SQLite hands the state out zero-filled, never constructed: every member starts as zero.
struct AvgState {
  int64_t count;
  int64_t int_sum;
  double sum;
  bool any_real;
  bool overflow;
  bool any_decimal;  // then the average is a decimal of scale 6 or more, cut as SQL Server's is
  bool decimal_overflow;
  int scale;
  Units128 units;  // the decimals' sum at `scale`
};

void FnAvgStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* st = static_cast<AvgState*>(sqlite3_aggregate_context(ctx, sizeof(AvgState)));
  if (st == nullptr) {
    sqlite3_result_error_nomem(ctx);
    return;
  }
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
    Decimal d;
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    if (t != nullptr && ParseDecimalForm(std::string_view(t, static_cast<size_t>(sqlite3_value_bytes(argv[0]))), d)) {
      ++st->count;
      st->any_decimal = true;
      st->sum += DecimalToDouble(d);
      st->decimal_overflow = st->decimal_overflow || !AccumulateDecimal(st->units, st->scale, d);
      return;
    }
  }
  const int type = sqlite3_value_numeric_type(argv[0]);
  if (type == SQLITE_NULL) return;
  ++st->count;
  if (type == SQLITE_INTEGER) {
    const int64_t v = sqlite3_value_int64(argv[0]);
    st->overflow = st->overflow || __builtin_add_overflow(st->int_sum, v, &st->int_sum);
    st->sum += static_cast<double>(v);
  } else {
    st->any_real = true;
    st->sum += sqlite3_value_double(argv[0]);
  }
}

void FnAvgFinal(sqlite3_context* ctx) {
  auto* st = static_cast<AvgState*>(sqlite3_aggregate_context(ctx, 0));
  if (st == nullptr || st->count == 0) {
    sqlite3_result_null(ctx);
  } else if (!st->any_real && st->any_decimal) {
    Decimal avg;
    if (st->overflow || st->decimal_overflow || !DecimalAverage(st->units, st->scale, st->int_sum, st->count, avg)) {
      return RaiseDecimalOverflow(ctx);
    }
    const std::string form = DecimalForm(avg);
    sqlite3_result_text(ctx, form.data(), static_cast<int>(form.size()), SQLITE_TRANSIENT);
  } else if (!st->any_real && st->overflow) {
    RaiseIntOverflow(ctx);
  } else if (!st->any_real) {
    sqlite3_result_int64(ctx, st->int_sum / st->count);
  } else {
    sqlite3_result_double(ctx, st->sum / static_cast<double>(st->count));
  }
}

// One operand of + or -, with its text while it is one (a text may turn into a number or a
// datetime next to one).
struct Term {
  Operand o;
  std::string text;
};

Term TermOf(sqlite3_value* v) {
  Term t{Classify(v), {}};
  if (t.o.type == Type::Text || t.o.type == Type::Datetime) t.text = TextOf(v);
  return t;
}

// acc = acc + b, or acc - b, as T-SQL's binary + and - work: a datetime on either side makes the
// result a datetime (both sides counted in days from 1900-01-01); two texts are concatenated by
// +; numbers add as numbers. False after an error was raised.
bool Combine(sqlite3_context* ctx, Term& acc, Term b, bool subtract) {
  Operand& a = acc.o;
  if (a.type == Type::Null || b.o.type == Type::Null) {
    acc = Term{};
    return true;
  }
  if (a.type == Type::Text && b.o.type == Type::Text) {
    if (subtract) {
      RaiseError(ctx, 8117, "Operand data type varchar is invalid for subtract operator.");
      return false;
    }
    acc.text += b.text;
    // what comes out reads as any other text would: in the storage form, as a datetime
    a = ClassifyText(reinterpret_cast<const unsigned char*>(acc.text.data()), static_cast<int>(acc.text.size()));
    return true;
  }
  const bool datetime = a.type == Type::Datetime || b.o.type == Type::Datetime;
  if (datetime) {
    a = NumericOf(a);
    b.o = NumericOf(b.o);
  }
  if (!Coerce(ctx, acc.text, a, datetime) || !Coerce(ctx, b.text, b.o, datetime)) return false;
  acc.text.clear();  // a computed value, no longer the text it came from
  if (datetime) {
    const int64_t x = a.type == Type::Datetime ? a.i : DaysToMs(a);
    const int64_t y = b.o.type == Type::Datetime ? b.o.i : DaysToMs(b.o);
    const int64_t ms = subtract ? x - y : x + y;
    if (!InRange(ms)) {
      RaiseOverflow(ctx);
      return false;
    }
    a = Operand{Type::Datetime, ms, 0, {}};
    return true;
  }
  if (a.type == Type::Int && b.o.type == Type::Int) {
    int64_t r;
    // int with int gives int: a sum past its range is an overflow, not a bigint.
    const bool wrapped = subtract ? __builtin_sub_overflow(a.i, b.o.i, &r) : __builtin_add_overflow(a.i, b.o.i, &r);
    if (wrapped || (IsInt32(a.i) && IsInt32(b.o.i) && !IsInt32(r))) {
      RaiseIntOverflow(ctx);
      return false;
    }
    a = Operand{Type::Int, r, 0, {}};
    return true;
  }
  if (a.type != Type::Real && b.o.type != Type::Real) {  // decimal with decimal or int: exact
    Decimal r;
    if (!DecimalArithmetic(DecimalOf(a), subtract ? DecimalOp::Subtract : DecimalOp::Add, DecimalOf(b.o), r)) {
      RaiseDecimalOverflow(ctx);
      return false;
    }
    a = Operand{Type::Decimal, 0, 0, r};
    return true;
  }
  const double x = DoubleOf(a);
  const double y = DoubleOf(b.o);
  a = Operand{Type::Real, 0, ExactDigits(subtract ? x - y : x + y), {}};
  return true;
}

void ResultTerm(sqlite3_context* ctx, const Term& t) {
  switch (t.o.type) {
    case Type::Null:
      return sqlite3_result_null(ctx);
    case Type::Int:
      return sqlite3_result_int64(ctx, t.o.i);
    case Type::Real:
      return sqlite3_result_double(ctx, t.o.r);
    case Type::Decimal: {
      const std::string form = DecimalForm(t.o.d);
      return sqlite3_result_text(ctx, form.data(), static_cast<int>(form.size()), SQLITE_TRANSIENT);
    }
    case Type::Datetime:
      if (t.text.empty()) return ResultDatetime(ctx, t.o.i);
      [[fallthrough]];  // a text in the storage form stays as it was written
    case Type::Text:
      return sqlite3_result_text(ctx, t.text.data(), static_cast<int>(t.text.size()), SQLITE_TRANSIENT);
  }
}

// ts_add(a, b), ts_sub(a, b) and ts_addsub(a, op, b, op, c, ...) with op 0 for + and 1 for -: a
// chain of + and - worked from the left in one call, so a long sum is no deep nesting of calls.
void FnAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Term acc = TermOf(argv[0]);
  if (Combine(ctx, acc, TermOf(argv[1]), false)) ResultTerm(ctx, acc);
}
void FnSub(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Term acc = TermOf(argv[0]);
  if (Combine(ctx, acc, TermOf(argv[1]), true)) ResultTerm(ctx, acc);
}
void FnAddSub(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Term acc = TermOf(argv[0]);
  for (int i = 1; i + 1 < argc && acc.o.type != Type::Null; i += 2) {
    if (!Combine(ctx, acc, TermOf(argv[i + 1]), sqlite3_value_int(argv[i]) != 0)) return;
  }
  ResultTerm(ctx, acc);
}

// ts_mod(a, b) and ts_div(a, b): integer remainder with the sign of the dividend and truncating
// division, both refusing a zero divisor with 8134 where SQLite would give NULL.
void ModOrDivide(sqlite3_context* ctx, sqlite3_value** argv, bool modulo) {
  Operand a = Classify(argv[0]);
  Operand b = Classify(argv[1]);
  if (a.type == Type::Null || b.type == Type::Null) {
    sqlite3_result_null(ctx);
    return;
  }
  if (a.type == Type::Datetime || b.type == Type::Datetime) {
    RaiseError(
        ctx, 8117,
        std::string("Operand data type datetime is invalid for ") + (modulo ? "modulo" : "divide") + " operator.");
    return;
  }
  if (!Coerce(ctx, argv[0], a, false) || !Coerce(ctx, argv[1], b, false)) return;
  if ((b.type == Type::Int && b.i == 0) || (b.type == Type::Real && b.r == 0) ||
      (b.type == Type::Decimal && b.d.units == 0)) {
    RaiseDivideByZero(ctx);
    return;
  }
  if (!modulo && (a.type == Type::Decimal || b.type == Type::Decimal) && a.type != Type::Real &&
      b.type != Type::Real) {  // decimal with decimal or int: exact
    Decimal r;
    if (!DecimalArithmetic(DecimalOf(a), DecimalOp::Divide, DecimalOf(b), r)) return RaiseDecimalOverflow(ctx);
    const std::string form = DecimalForm(r);
    sqlite3_result_text(ctx, form.data(), static_cast<int>(form.size()), SQLITE_TRANSIENT);
    return;
  }
  if (modulo && (a.type == Type::Decimal || b.type == Type::Decimal) && a.type != Type::Real && b.type != Type::Real) {
    Decimal r;
    if (!DecimalArithmetic(DecimalOf(a), DecimalOp::Modulo, DecimalOf(b), r)) return RaiseDecimalOverflow(ctx);
    const std::string form = DecimalForm(r);
    sqlite3_result_text(ctx, form.data(), static_cast<int>(form.size()), SQLITE_TRANSIENT);
    return;
  }
  a = NumericOf(a);
  b = NumericOf(b);
  if (a.type == Type::Int && b.type == Type::Int) {
    if (b.i == -1) {  // INT64_MIN / -1 would trap
      if (modulo) {
        sqlite3_result_int64(ctx, 0);
      } else if (a.i == INT64_MIN) {
        RaiseIntOverflow(ctx);
      } else {
        sqlite3_result_int64(ctx, -a.i);
      }
      return;
    }
    sqlite3_result_int64(ctx, modulo ? a.i % b.i : a.i / b.i);
    return;
  }
  const double x = DoubleOf(a);
  const double y = DoubleOf(b);
  sqlite3_result_double(ctx, modulo ? std::fmod(x, y) : x / y);
}

void FnMod(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ModOrDivide(ctx, argv, true);
}

// NEWID(): a random uniqueidentifier (version 4) in SQL Server's text form.
void FnNewId(sqlite3_context* ctx, int, sqlite3_value**) {
  unsigned char b[16];
  sqlite3_randomness(sizeof b, b);
  b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
  char text[37];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  sqlite3_result_text(ctx, text, 36, SQLITE_TRANSIENT);
}
void FnDiv(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ModOrDivide(ctx, argv, false);
}

// ---- conversions -----------------------------------------------------------------------------

// Reads any operand as a datetime: numbers count days from 1900-01-01, texts are parsed.
bool ToDatetime(sqlite3_context* ctx, sqlite3_value* v, int style, int64_t& ms) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
      Operand o = Classify(v);
      ms = DaysToMs(o);
      break;
    }
    default: {
      const ParseResult r = ParseDatetime(sqlite3_value_text(v), sqlite3_value_bytes(v), style, ms);
      if (r != ParseResult::Ok) {
        RaiseParse(ctx, r);
        return false;
      }
      return true;
    }
  }
  if (!InRange(ms)) {
    RaiseOverflow(ctx);
    return false;
  }
  return true;
}

// ts_to_datetime(x, style): CONVERT(datetime, x[, style]).
void FnToDatetime(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  int64_t ms;
  if (ToDatetime(ctx, argv[0], sqlite3_value_int(argv[1]), ms)) ResultDatetime(ctx, ms);
}

// ---- datetime2, smalldatetime, time ----------------------------------------------------------
//
// datetime2 and time keep 100 ns: internally a count of such ticks from 1900-01-01 00:00 (time:
// from midnight), rounded to the type's digits of the second.

constexpr int64_t kTicksPerMs = 10000;
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kTicksPerDay = kMsPerDay * kTicksPerMs;
constexpr int64_t kFirstDay2 = -693595;   // 0001-01-01, datetime2's first day
constexpr int64_t kLastSmallDay = 65535;  // 2079-06-06, smalldatetime's last day

int64_t RoundToScale(int64_t ticks, int scale) {
  int64_t unit = 1;
  for (int i = scale; i < 7; ++i) unit *= 10;
  return FloorDiv(ticks + unit / 2, unit) * unit;
}

int ScaleOf(sqlite3_value* v) {
  const int scale = sqlite3_value_int(v);
  return scale < 0 ? 0 : scale > 7 ? 7 : scale;
}

// hh:mm:ss and, for a scale above 0, '.' and that many digits of the second.
void AppendTime(std::string& out, int64_t ticks_of_day, int scale) {
  const int64_t second = ticks_of_day / kTicksPerSecond;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%07d", static_cast<int>(second / 3600),
                static_cast<int>(second / 60 % 60), static_cast<int>(second % 60),
                static_cast<int>(ticks_of_day % kTicksPerSecond));
  out.append(buf, static_cast<size_t>(scale > 0 ? 9 + scale : 8));
}

// The storage form of a datetime2 (false when out of its range) or a time.
bool FormatDatetime2(int64_t ticks, int scale, std::string& out) {
  const int64_t day = FloorDiv(ticks, kTicksPerDay);
  if (day < kFirstDay2 || day > kMaxDay) return false;
  char buf[24];
  FormatStorage(day * kMsPerDay, buf);
  out.assign(buf, 11);
  AppendTime(out, ticks - day * kTicksPerDay, scale);
  return true;
}
std::string FormatTime(int64_t ticks, int scale) {
  std::string out;
  AppendTime(out, ticks - FloorDiv(ticks, kTicksPerDay) * kTicksPerDay, scale);
  return out;
}

ParseResult ParseTicks(const unsigned char* t, int n, int style, int64_t& ticks) {
  int64_t ms = 0;
  int sub = 0;
  const ParseResult r = ParseDatetime(t, n, style, ms, &sub, 1);
  ticks = ms * kTicksPerMs + sub;
  return r;
}

ParseResult Datetime2Text(const unsigned char* t, int n, int style, int scale, std::string& out) {
  int64_t ticks = 0;
  const ParseResult r = ParseTicks(t, n, style, ticks);
  if (r != ParseResult::Ok) return r;
  return FormatDatetime2(RoundToScale(ticks, scale), scale, out) ? ParseResult::Ok : ParseResult::OutOfRange;
}

ParseResult TimeText(const unsigned char* t, int n, int style, int scale, std::string& out) {
  int64_t ticks = 0;
  const ParseResult r = ParseTicks(t, n, style, ticks);
  if (r == ParseResult::Ok) out = FormatTime(RoundToScale(ticks, scale), scale);
  return r;
}

// smalldatetime keeps minutes: 29.998 seconds round down, 29.999 up.
bool SmallDatetimeText(int64_t ms, std::string& out) {
  ms = FloorDiv(ms + 30001, 60000) * 60000;
  const int64_t day = FloorDiv(ms, kMsPerDay);
  if (day < 0 || day > kLastSmallDay) return false;
  char buf[24];
  FormatStorage(ms, buf);
  out.assign(buf, 19);
  return true;
}

void RaiseSmallRange(sqlite3_context* ctx) {
  RaiseError(ctx, 242,
             "The conversion of a varchar data type to a smalldatetime data type resulted in an out-of-range value.");
}

// datetime2 and time take no numbers, as in SQL Server.
bool RefuseNumber(sqlite3_context* ctx, sqlite3_value* v, const char* type) {
  const int vt = sqlite3_value_type(v);
  if (vt != SQLITE_INTEGER && vt != SQLITE_FLOAT) return false;
  RaiseError(ctx, 529,
             std::string("Explicit conversion from data type ") + (vt == SQLITE_INTEGER ? "int" : "float") + " to " +
                 type + " is not allowed.");
  return true;
}

// ts_to_datetime2(x, style, scale) and ts_to_time(x, style, scale): CONVERT(datetime2(scale), x)
// and CONVERT(time(scale), x).
void ToTicksType(sqlite3_context* ctx, sqlite3_value** argv, bool time) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  if (RefuseNumber(ctx, argv[0], time ? "time" : "datetime2")) return;
  std::string out;
  const unsigned char* t = sqlite3_value_text(argv[0]);
  const int n = sqlite3_value_bytes(argv[0]);
  const int style = sqlite3_value_int(argv[1]);
  const ParseResult r =
      time ? TimeText(t, n, style, ScaleOf(argv[2]), out) : Datetime2Text(t, n, style, ScaleOf(argv[2]), out);
  if (r != ParseResult::Ok) return RaiseParse(ctx, r);
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}
void FnToDatetime2(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ToTicksType(ctx, argv, false);
}
void FnToTime(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ToTicksType(ctx, argv, true);
}

// ts_to_smalldatetime(x, style): CONVERT(smalldatetime, x[, style]); numbers count days.
void FnToSmallDatetime(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  int64_t ms;
  std::string out;
  if (!ToDatetime(ctx, argv[0], sqlite3_value_int(argv[1]), ms)) return;
  if (!SmallDatetimeText(ms, out)) return RaiseSmallRange(ctx);
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// What DATEADD gives back for a text operand: a time stays a time, a datetime2 whose digits of
// the second are other than datetime's three keeps them (and its 100 ns); anything else is a
// datetime.
enum class Form { Datetime, Datetime2, Time };

Form FormOf(sqlite3_value* v, int& scale) {
  if (sqlite3_value_type(v) != SQLITE_TEXT) return Form::Datetime;
  const unsigned char* t = sqlite3_value_text(v);
  const int n = sqlite3_value_bytes(v);
  if (n >= 8 && n <= 16 && n != 9 && t[2] == ':' && t[5] == ':') {
    scale = n > 8 ? n - 9 : 0;
    return Form::Time;
  }
  if (n >= 21 && n <= 27 && n != 23 && t[4] == '-' && t[19] == '.') {
    scale = n - 20;
    return Form::Datetime2;
  }
  return Form::Datetime;
}

// ts_to_int(x[, type]): CONVERT(int, x), or to the named integer type ('BIGINT', 'SMALLINT',
// 'TINYINT', 'BIT'). A datetime becomes its day count from 1900-01-01, rounded to the nearest day
// (12:00 and later count as the next day); a real is truncated. A value past the type's range is
// SQL Server's overflow error; a bit is 1 for any value but 0, and 'TRUE'/'FALSE' are 1 and 0.
void FnToInt(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const IntegerType target = argc > 1 ? IntegerTypeOf(TextOf(argv[1])) : IntegerType::Int;
  Operand o = Classify(argv[0]);
  auto overflow = [&](const std::string& value) {
    const IntegerOverflow e = IntegerOverflowError(target, value);
    RaiseError(ctx, e.native, e.message);
  };
  int64_t n = 0;
  switch (o.type) {
    case Type::Null:
      sqlite3_result_null(ctx);
      return;
    case Type::Int:
      n = o.i;
      break;
    case Type::Real:
      if (target == IntegerType::Bit) return sqlite3_result_int(ctx, o.r != 0);
      if (!(std::fabs(o.r) < 9.2e18)) return overflow(TextOf(argv[0]));
      n = static_cast<int64_t>(std::trunc(o.r));
      break;
    case Type::Decimal: {  // cut toward zero
      if (target == IntegerType::Bit) return sqlite3_result_int(ctx, o.d.units != 0);
      __int128 whole = o.d.units;
      for (int k = 0; k < o.d.scale; ++k) whole /= 10;
      if (whole > INT64_MAX || whole < INT64_MIN) return overflow(DecimalText(o.d));
      n = static_cast<int64_t>(whole);
      break;
    }
    case Type::Datetime:
      n = FloorDiv(o.i + kMsPerDay / 2, kMsPerDay);
      break;
    case Type::Text: {
      if (target == IntegerType::Bit) {
        std::string word;
        for (char c : TextOf(argv[0])) {
          if (c != ' ') word.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
        }
        if (word == "TRUE" || word == "FALSE") return sqlite3_result_int(ctx, word == "TRUE");
      }
      if (!TextToNumber(argv[0], o)) {
        RaiseNotInt(ctx, argv[0]);
        return;
      }
      n = o.i;
      break;
    }
  }
  if (target == IntegerType::Bit) return sqlite3_result_int(ctx, n != 0);
  if (!IntegerFits(target, n)) return overflow(std::to_string(n));
  sqlite3_result_int64(ctx, n);
}

const char* const kMonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Formats a datetime by a CONVERT style; false for a style SQL Server does not know.
bool FormatStyle(int64_t ms, int style, std::string& out) {
  const Parts p = Split(ms);
  if (style == 112) {
    // The date key every date of planex comes back as: written without snprintf, which cost more
    // than the rest of the conversion.
    char key[8];
    int parts[3][2] = {{p.y, 4}, {p.m, 2}, {p.d, 2}};
    char* at = key;
    for (auto& [value, width] : parts) {
      for (int i = width - 1; i >= 0; --i, value /= 10) at[i] = static_cast<char>('0' + value % 10);
      at += width;
    }
    out.assign(key, sizeof key);
    return true;
  }
  char buf[48];
  const bool two_digit_year = style >= 1 && style <= 12;
  const int yy = two_digit_year ? p.y % 100 : p.y;
  const char* yfmt = two_digit_year ? "%02d" : "%04d";
  char year[8];
  std::snprintf(year, sizeof year, yfmt, yy);
  switch (two_digit_year ? style + 100 : style) {
    case -1:
    case 0:
    case 100: {
      const int h12 = p.hh % 12 == 0 ? 12 : p.hh % 12;
      std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", kMonthAbbrev[p.m - 1], p.d, p.y, h12, p.mi,
                    p.hh < 12 ? "AM" : "PM");
      break;
    }
    case 101:
      std::snprintf(buf, sizeof buf, "%02d/%02d/%s", p.m, p.d, year);
      break;
    case 102:
      std::snprintf(buf, sizeof buf, "%s.%02d.%02d", year, p.m, p.d);
      break;
    case 103:
      std::snprintf(buf, sizeof buf, "%02d/%02d/%s", p.d, p.m, year);
      break;
    case 104:
      std::snprintf(buf, sizeof buf, "%02d.%02d.%s", p.d, p.m, year);
      break;
    case 105:
      std::snprintf(buf, sizeof buf, "%02d-%02d-%s", p.d, p.m, year);
      break;
    case 108:
    case 8:
    case 24:
      std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hh, p.mi, p.ss);
      break;
    case 110:
      std::snprintf(buf, sizeof buf, "%02d-%02d-%s", p.m, p.d, year);
      break;
    case 111:
      std::snprintf(buf, sizeof buf, "%s/%02d/%02d", year, p.m, p.d);
      break;
    case 112:
      std::snprintf(buf, sizeof buf, "%s%02d%02d", year, p.m, p.d);
      break;
    case 20:
    case 120:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.y, p.m, p.d, p.hh, p.mi, p.ss);
      break;
    case 21:
    case 25:
    case 121:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.y, p.m, p.d, p.hh, p.mi, p.ss, p.ms);
      break;
    case 23:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.y, p.m, p.d);
      break;
    case 126:
      if (p.ms) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", p.y, p.m, p.d, p.hh, p.mi, p.ss, p.ms);
      } else {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", p.y, p.m, p.d, p.hh, p.mi, p.ss);
      }
      break;
    default:
      return false;
  }
  out = buf;
  return true;
}

// Number of UTF-8 characters, and the byte length of the first `chars` characters.
size_t Utf8Prefix(const std::string& s, size_t chars) {
  size_t i = 0, n = 0;
  while (i < s.size() && n < chars) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    ++n;
  }
  return i;
}

size_t Utf8Length(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// ts_to_char(x, length, style, fixed): CONVERT(char(n) | varchar(n), x[, style]). length is -1
// when the type names none (then 30, as SQL Server), style -1 when no style was given, fixed 1
// for char(n), whose value is padded with blanks to its length.
void FnToChar(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Operand o = Classify(argv[0]);
  if (o.type == Type::Null) {
    sqlite3_result_null(ctx);
    return;
  }
  int64_t length = sqlite3_value_int64(argv[1]);
  const bool whole = length == -2;  // varchar(max)
  if (whole) length = INT32_MAX;
  if (length < 0) length = 30;
  if (length > 8000 && !whole) length = 8000;  // SQL Server's longest char/varchar
  const int style = sqlite3_value_type(argv[2]) == SQLITE_NULL ? -1 : sqlite3_value_int(argv[2]);
  const bool fixed = sqlite3_value_int(argv[3]) != 0;
  std::string s;
  bool numeric = false;
  switch (o.type) {
    case Type::Datetime:
      if (!FormatStyle(o.i, style, s)) {
        RaiseError(ctx, 281,
                   std::to_string(style) +
                       " is not a valid style number when converting from datetime to a character "
                       "string.");
        return;
      }
      break;
    case Type::Int:
      s = std::to_string(o.i);
      numeric = true;
      break;
    case Type::Real: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.6g", o.r);
      s = buf;
      numeric = true;
      break;
    }
    case Type::Decimal:
      s = DecimalText(o.d);
      numeric = true;
      break;
    default: {
      s = TextOf(argv[0]);
      // A datetime2 with a style reads as a datetime does; 121 and 126 show all its digits.
      int scale = 0;
      int64_t ms = 0;
      if (style < 0 || FormOf(argv[0], scale) != Form::Datetime2 || style == 121) break;
      if (style == 126 || style == 127) {
        s[10] = 'T';
      } else if (ParseDatetime(reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size()), 0, ms,
                               nullptr, 1) != ParseResult::Ok ||
                 !FormatStyle(ms, style, s)) {
        RaiseError(ctx, 281,
                   std::to_string(style) +
                       " is not a valid style number when converting from datetime2 to a character string.");
        return;
      }
      break;
    }
  }
  const size_t chars = Utf8Length(s);
  if (chars > static_cast<size_t>(length)) {
    // A number that does not fit is shown as '*', as SQL Server does; a text is cut.
    s = numeric ? std::string("*") : s.substr(0, Utf8Prefix(s, static_cast<size_t>(length)));
  }
  if (fixed) {
    const size_t now = Utf8Length(s);
    if (now < static_cast<size_t>(length)) s.append(static_cast<size_t>(length) - now, ' ');
  }
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// ---- DATEADD, DATEPART, DATEDIFF -------------------------------------------------------------

using Part = DatePart;

Part PartOf(sqlite3_value* v) {
  const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return t ? DatePartOf(t) : Part::Unknown;
}

void RaiseBadPart(sqlite3_context* ctx, sqlite3_value* v, const char* function) {
  std::string message = "'";
  message += TextOf(v);
  message += "' is not a recognized ";
  message += function;
  message += " option.";
  RaiseError(ctx, 155, message);
}

// Monday = 1 .. Sunday = 7 for a day count from 1900-01-01 (which was a Monday).
int IsoWeekday(int64_t day) {
  return static_cast<int>(((day % 7) + 7) % 7) + 1;
}

int WeekdayByDateFirst(int64_t day, int date_first) {
  return (IsoWeekday(day) - date_first + 7) % 7 + 1;
}

int IsoWeekNumber(int64_t day) {
  // The ISO week belongs to the year of its Thursday.
  const int64_t thursday = day - IsoWeekday(day) + 4;
  const Civil c = CivilFromDays(thursday);
  const int64_t jan1 = DaysFromCivil(c.y, 1, 1);
  return static_cast<int>((thursday - jan1) / 7 + 1);
}

int64_t AddMonths(int64_t ms, int64_t months, bool& ok) {
  const int64_t day = FloorDiv(ms, kMsPerDay);
  const int64_t time = ms - day * kMsPerDay;
  const Civil c = CivilFromDays(day);
  const int64_t total = static_cast<int64_t>(c.y) * 12 + (c.m - 1) + months;
  const int64_t y = FloorDiv(total, 12);
  const int m = static_cast<int>(total - y * 12) + 1;
  ok = y >= 1753 && y <= 9999;
  if (!ok) return 0;
  const int d = std::min(c.d, DaysInMonth(static_cast<int>(y), m));
  return DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) * kMsPerDay + time;
}

// ts_dateadd(part, n, x)
// ts_dateadd(part, n, x[, typed]): DATEADD. typed is given when x is no literal nor parameter
// (a column or an expression such as CAST(... AS date)): then a value in the date form
// 'YYYY-MM-DD' is a date and gives back a date, as SQL Server types it; a string is a datetime.
void FnDateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const Part part = PartOf(argv[0]);
  if (part == Part::Unknown) {
    RaiseBadPart(ctx, argv[0], "dateadd");
    return;
  }
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  Operand n = NumericOf(Classify(argv[1]));
  if (n.type == Type::Datetime || (n.type == Type::Text && !TextToNumber(argv[1], n))) {
    RaiseNotInt(ctx, argv[1]);
    return;
  }
  const int64_t count = n.type == Type::Real ? static_cast<int64_t>(std::trunc(n.r)) : n.i;
  if (count > 4000000000LL || count < -4000000000LL) {
    RaiseOverflow(ctx);
    return;
  }
  int scale = 0;
  const Form form = FormOf(argv[2], scale);
  if (form == Form::Time && part < Part::Hour) {
    // A time has no date to move.
    return RaiseError(
        ctx, 9810,
        "The datepart " + TextOf(argv[0]) + " is not supported by date function dateadd for data type time.");
  }
  const unsigned char* x = sqlite3_value_text(argv[2]);
  const bool date = argc > 3 && form == Form::Datetime && sqlite3_value_type(argv[2]) == SQLITE_TEXT &&
                    sqlite3_value_bytes(argv[2]) == 10 && x[4] == '-' && x[7] == '-';
  if (date && part >= Part::Hour) {
    return RaiseError(
        ctx, 9810,
        "The datepart " + TextOf(argv[0]) + " is not supported by date function dateadd for data type date.");
  }
  int64_t ms;
  int sub = 0;
  if (form == Form::Datetime) {
    if (!ToDatetime(ctx, argv[2], 0, ms)) return;
  } else {
    const ParseResult r = ParseDatetime(sqlite3_value_text(argv[2]), sqlite3_value_bytes(argv[2]), 0, ms, &sub, 1);
    if (r != ParseResult::Ok) return RaiseParse(ctx, r);
  }
  bool ok = true;
  switch (part) {
    case Part::Year:
      ms = AddMonths(ms, count * 12, ok);
      break;
    case Part::Quarter:
      ms = AddMonths(ms, count * 3, ok);
      break;
    case Part::Month:
      ms = AddMonths(ms, count, ok);
      break;
    case Part::DayOfYear:
    case Part::Day:
    case Part::Weekday:
      ms += count * kMsPerDay;
      break;
    case Part::Week:
    case Part::IsoWeek:
      ms += count * 7 * kMsPerDay;
      break;
    case Part::Hour:
      ms += count * 3600000;
      break;
    case Part::Minute:
      ms += count * 60000;
      break;
    case Part::Second:
      ms += count * 1000;
      break;
    case Part::Millisecond:
      ms += count;
      break;
    case Part::Unknown:
      break;
  }
  std::string out;
  if (form == Form::Time) {
    out = FormatTime(ms * kTicksPerMs + sub, scale);
  } else if (form == Form::Datetime2 && ok) {
    ok = FormatDatetime2(ms * kTicksPerMs + sub, scale, out);
  }
  if (!ok) {
    RaiseOverflow(ctx);
    return;
  }
  if (date) {
    const Parts p = Split(ms);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.y, p.m, p.d);
    return sqlite3_result_text(ctx, text, 10, SQLITE_TRANSIENT);
  }
  if (form == Form::Datetime) return ResultDatetime(ctx, ms);
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

int64_t DatePart(Part part, int64_t ms, int date_first) {
  const int64_t day = FloorDiv(ms, kMsPerDay);
  const Parts p = Split(ms);
  switch (part) {
    case Part::Year:
      return p.y;
    case Part::Quarter:
      return (p.m - 1) / 3 + 1;
    case Part::Month:
      return p.m;
    case Part::DayOfYear:
      return day - DaysFromCivil(p.y, 1, 1) + 1;
    case Part::Day:
      return p.d;
    case Part::Week: {
      // Week 1 holds 1 January; a new week starts on the DATEFIRST day.
      const int64_t jan1 = DaysFromCivil(p.y, 1, 1);
      const int offset = WeekdayByDateFirst(jan1, date_first) - 1;
      return (day - jan1 + offset) / 7 + 1;
    }
    case Part::Weekday:
      return WeekdayByDateFirst(day, date_first);
    case Part::Hour:
      return p.hh;
    case Part::Minute:
      return p.mi;
    case Part::Second:
      return p.ss;
    case Part::Millisecond:
      return p.ms;
    case Part::IsoWeek:
      return IsoWeekNumber(day);
    case Part::Unknown:
      break;
  }
  return 0;
}

int DateFirstOf(sqlite3_context* ctx) {
  const int* df = static_cast<const int*>(sqlite3_user_data(ctx));
  const int v = df ? *df : 7;
  return v >= 1 && v <= 7 ? v : 7;
}

// ts_datepart(part, x): DATEPART, and YEAR(), MONTH(), DAY().
void FnDatePart(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const Part part = PartOf(argv[0]);
  if (part == Part::Unknown) {
    RaiseBadPart(ctx, argv[0], "datepart");
    return;
  }
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  int64_t ms;
  if (!ToDatetime(ctx, argv[1], 0, ms)) return;
  sqlite3_result_int64(ctx, DatePart(part, ms, DateFirstOf(ctx)));
}

// ts_datediff(part, a, b): the number of part boundaries crossed from a to b.
void FnDateDiff(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const Part part = PartOf(argv[0]);
  if (part == Part::Unknown) {
    RaiseBadPart(ctx, argv[0], "datediff");
    return;
  }
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  int64_t a, b;
  if (!ToDatetime(ctx, argv[1], 0, a) || !ToDatetime(ctx, argv[2], 0, b)) return;
  const Parts pa = Split(a), pb = Split(b);
  const int64_t da = FloorDiv(a, kMsPerDay), db = FloorDiv(b, kMsPerDay);
  int64_t r = 0;
  switch (part) {
    case Part::Year:
      r = pb.y - pa.y;
      break;
    case Part::Quarter:
      r = (pb.y * 4 + (pb.m - 1) / 3) - (pa.y * 4 + (pa.m - 1) / 3);
      break;
    case Part::Month:
      r = (pb.y * 12 + pb.m) - (pa.y * 12 + pa.m);
      break;
    case Part::DayOfYear:
    case Part::Day:
    case Part::Weekday:
      r = db - da;
      break;
    case Part::Week:  // weeks counted from Sunday, whatever DATEFIRST says
      r = FloorDiv(db + 1, 7) - FloorDiv(da + 1, 7);
      break;
    case Part::IsoWeek:
      r = FloorDiv(db, 7) - FloorDiv(da, 7);
      break;
    case Part::Hour:
      r = FloorDiv(b, 3600000) - FloorDiv(a, 3600000);
      break;
    case Part::Minute:
      r = FloorDiv(b, 60000) - FloorDiv(a, 60000);
      break;
    case Part::Second:
      r = FloorDiv(b, 1000) - FloorDiv(a, 1000);
      break;
    case Part::Millisecond:
      r = b - a;
      break;
    case Part::Unknown:
      break;
  }
  if (!IsInt32(r)) {
    RaiseError(ctx, 535,
               "The datediff function resulted in an overflow. The number of dateparts separating two "
               "date/time instances is too large. Try to use datediff with a less precise datepart.");
    return;
  }
  sqlite3_result_int64(ctx, r);
}

// ---- strings ---------------------------------------------------------------------------------

// The code point at s[i] (UTF-8; a byte that starts no valid sequence stands for itself); i is
// moved past it.
char32_t NextChar(std::string_view s, size_t& i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  size_t len = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  if (i + len > s.size()) len = 1;
  for (size_t k = 1; k < len; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) len = 1;
  }
  char32_t cp = len == 1 ? c : c & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  i += len;
  return cp;
}

// One [...] of a LIKE pattern at p[i] (just past '['): [abc], [a-c], [^a]. False when the class
// is not closed, and '[' is then an ordinary character.
bool MatchClass(std::string_view p, size_t& i, char32_t c, bool& matched, bool fold) {
  size_t k = i;
  bool negate = k < p.size() && p[k] == '^';
  if (negate) ++k;
  bool hit = false;
  bool first = true;
  while (k < p.size() && (p[k] != ']' || first)) {
    first = false;
    const char32_t lo = NextChar(p, k);
    char32_t hi = lo;
    if (k + 1 < p.size() && p[k] == '-' && p[k + 1] != ']') {
      ++k;
      hi = NextChar(p, k);
    }
    hit = hit || (c >= lo && c <= hi) || (fold && FoldCase(c) >= FoldCase(lo) && FoldCase(c) <= FoldCase(hi));
  }
  if (k >= p.size()) return false;
  i = k + 1;
  matched = hit != negate;
  return true;
}

// SQL Server's LIKE: % any run, _ one character, [..] a class, escape makes the next pattern
// character literal. Characters compare exactly, as = does, or with their case taken away (fold)
// under a case-insensitive collation.
bool Like(std::string_view v, std::string_view p, int64_t escape, bool fold) {
  auto same = [fold](char32_t a, char32_t b) { return a == b || (fold && FoldCase(a) == FoldCase(b)); };
  size_t vi = 0, pi = 0;
  size_t star_p = std::string_view::npos, star_v = 0;
  while (vi < v.size()) {
    bool ok = false;
    if (pi < p.size()) {
      size_t pj = pi;
      const char32_t pc = NextChar(p, pj);
      size_t vj = vi;
      const char32_t vc = NextChar(v, vj);
      if (escape >= 0 && pc == static_cast<char32_t>(escape) && pj < p.size()) {
        const char32_t literal = NextChar(p, pj);
        ok = same(literal, vc);
      } else if (pc == '%') {
        star_p = pj;
        star_v = vi;
        pi = pj;
        continue;
      } else if (pc == '_') {
        ok = true;
      } else if (pc == '[') {
        bool matched = false;
        if (MatchClass(p, pj, vc, matched, fold)) {
          ok = matched;
        } else {
          ok = vc == '[';
        }
      } else {
        ok = same(pc, vc);
      }
      if (ok) {
        vi = vj;
        pi = pj;
        continue;
      }
    }
    if (star_p == std::string_view::npos) return false;
    NextChar(v, star_v);
    vi = star_v;
    pi = star_p;
  }
  while (pi < p.size() && p[pi] == '%') ++pi;
  return pi == p.size();
}

// ts_like(value, pattern, escape): value LIKE pattern [ESCAPE escape]; trailing blanks of the
// value do not count, those of the pattern do. ts_like_ci ignores the case of letters.
void LikeOf(sqlite3_context* ctx, sqlite3_value** argv, bool fold) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string value = TextOf(argv[0]);
  while (!value.empty() && value.back() == ' ') value.pop_back();
  const std::string pattern = TextOf(argv[1]);
  int64_t escape = -1;
  if (sqlite3_value_type(argv[2]) != SQLITE_NULL) {
    const std::string e = TextOf(argv[2]);
    size_t i = 0;
    if (!e.empty()) escape = NextChar(e, i);
  }
  sqlite3_result_int(ctx, Like(value, pattern, escape, fold) ? 1 : 0);
}
void FnLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
  LikeOf(ctx, argv, false);
}
void FnLikeCi(sqlite3_context* ctx, int, sqlite3_value** argv) {
  LikeOf(ctx, argv, true);
}

// ts_to_1252(x): a text as a char/varchar column of code page 1252 holds it (a character outside
// the code page as its best-fit letter or '?'); any other value as it is.
void FnTo1252(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_value(ctx, argv[0]);
  const std::string_view text(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                              static_cast<size_t>(sqlite3_value_bytes(argv[0])));
  if (PlainLatin1(text)) return sqlite3_result_value(ctx, argv[0]);
  const std::string converted = To1252(text);
  sqlite3_result_text(ctx, converted.data(), static_cast<int>(converted.size()), SQLITE_TRANSIENT);
}

// ts_datalength(x, unit): DATALENGTH of a text by the bytes its type stores: unit 0 one per
// character (code page 1252), 1 UTF-8's bytes, 2 two per UTF-16 unit (nvarchar; a character past
// U+FFFF takes two units). A binary value counts its bytes, a number the characters of its text.
void FnDataLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
      return sqlite3_result_null(ctx);
    case SQLITE_BLOB:
      return sqlite3_result_int64(ctx, sqlite3_value_bytes(argv[0]));
    default:
      break;
  }
  const bool text = sqlite3_value_type(argv[0]) == SQLITE_TEXT;
  const unsigned char* p = sqlite3_value_text(argv[0]);
  const int bytes = sqlite3_value_bytes(argv[0]);
  if (p == nullptr) return sqlite3_result_null(ctx);
  const int unit = text ? sqlite3_value_int(argv[1]) : 0;
  if (unit == 1) return sqlite3_result_int64(ctx, bytes);
  int64_t characters = 0, astral = 0;
  for (int i = 0; i < bytes; ++i) {
    if ((p[i] & 0xC0) != 0x80) ++characters;
    if (p[i] >= 0xF0) ++astral;
  }
  sqlite3_result_int64(ctx, unit == 2 ? 2 * (characters + astral) : characters);
}

// ts_substring(s, start, length): the characters at positions start .. start + length - 1 that
// lie inside s; a start below 1 shortens what is left.
void FnSubstring(sqlite3_context* ctx, int, sqlite3_value** argv) {
  for (int k = 0; k < 3; ++k) {
    if (sqlite3_value_type(argv[k]) == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
  }
  const int64_t start = sqlite3_value_int64(argv[1]);
  const int64_t length = sqlite3_value_int64(argv[2]);
  if (length < 0) {
    RaiseError(ctx, 536, "Invalid length parameter passed to the substring function.");
    return;
  }
  const std::string s = TextOf(argv[0]);
  const int64_t first = start < 1 ? 1 : start;
  const int64_t end = start > INT64_MAX - length ? INT64_MAX : start + length;  // one past the last
  if (end <= first) {
    sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
    return;
  }
  size_t i = 0;
  int64_t position = 1;
  for (; position < first && i < s.size(); ++position) NextChar(s, i);
  const size_t begin = i;
  for (; position < end && i < s.size(); ++position) NextChar(s, i);
  const size_t stop = i;
  sqlite3_result_text(ctx, s.data() + begin, static_cast<int>(stop - begin), SQLITE_TRANSIENT);
}

// ts_datefirst(): @@DATEFIRST.
void FnDateFirst(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_int(ctx, DateFirstOf(ctx));
}

// ts_error(native, message): raises the given SQL Server error; used by translated statements
// that must fail in SQL Server's terms (a table created in a schema that does not exist).
void FnError(sqlite3_context* ctx, int, sqlite3_value** argv) {
  RaiseError(ctx, sqlite3_value_int(argv[0]), TextOf(argv[1]));
}

// ts_top(n): the row count of TOP (n), whole; a negative or NULL count is SQL Server's 1014.
void FnTop(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_numeric_type(argv[0]);
  const double r = sqlite3_value_double(argv[0]);
  if ((type != SQLITE_INTEGER && type != SQLITE_FLOAT) || r < 0) {
    return RaiseError(ctx, 1014, "A TOP or FETCH clause contains an invalid value.");
  }
  sqlite3_result_int64(ctx, type == SQLITE_INTEGER ? sqlite3_value_int64(argv[0]) : static_cast<int64_t>(r));
}

// ts_round(x, n [, truncate]): ROUND, also to tens and hundreds for a negative n; half away
// from zero, or towards zero when truncate is given and not 0. An integer stays an integer.
void FnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  }
  const int64_t n = sqlite3_value_int64(argv[1]);
  const bool truncate = argc > 2 && sqlite3_value_int64(argv[2]) != 0;
  Operand o = Classify(argv[0]);
  if (o.type == Type::Decimal) {  // exact, the scale kept: ROUND(1.555, 2) is 1.560
    if (!RoundDecimal(o.d, n, truncate)) return RaiseDecimalOverflow(ctx);
    const std::string form = DecimalForm(o.d);
    return sqlite3_result_text(ctx, form.data(), static_cast<int>(form.size()), SQLITE_TRANSIENT);
  }
  if (sqlite3_value_numeric_type(argv[0]) == SQLITE_INTEGER) {
    const int64_t x = sqlite3_value_int64(argv[0]);
    if (n >= 0) return sqlite3_result_int64(ctx, x);
    if (n < -18) return sqlite3_result_int64(ctx, 0);
    int64_t unit = 1;
    for (int64_t i = 0; i < -n; ++i) unit *= 10;
    int64_t q = x / unit;  // towards zero
    const int64_t rest = x % unit;
    if (!truncate && (rest >= unit - rest || -rest >= unit + rest)) q += x < 0 ? -1 : 1;
    if (q > INT64_MAX / unit || q < INT64_MIN / unit) return RaiseOverflow(ctx);
    return sqlite3_result_int64(ctx, q * unit);
  }
  const double x = sqlite3_value_double(argv[0]);
  if (n > 15) return sqlite3_result_double(ctx, x);
  const double scale = std::pow(10.0, static_cast<double>(n < -308 ? -308 : n));
  const double v = x * scale;
  sqlite3_result_double(ctx, (truncate ? std::trunc(v) : std::round(v)) / scale);
}

// ts_str(x [, length [, decimals]]): STR, the number right-aligned in length characters (10) with
// decimals places (0, at most 16); places are given up before the whole part is, and a whole part
// that does not fit gives length asterisks. NULL for a length outside 1 to 8000.
void FnStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  }
  const double x = sqlite3_value_double(argv[0]);
  const int64_t length = argc > 1 ? sqlite3_value_int64(argv[1]) : 10;
  int64_t decimals = argc > 2 ? sqlite3_value_int64(argv[2]) : 0;
  if (length < 1 || length > 8000 || decimals < 0) return sqlite3_result_null(ctx);
  if (decimals > 16) decimals = 16;
  for (;; --decimals) {
    char buf[400];
    const int n = std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(decimals), x);
    if (n > 0 && n <= length) {
      std::string out(static_cast<size_t>(length - n), ' ');
      out.append(buf, static_cast<size_t>(n));
      return sqlite3_result_text(ctx, out.c_str(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
    }
    if (decimals == 0) break;
  }
  const std::string stars(static_cast<size_t>(length), '*');
  sqlite3_result_text(ctx, stars.c_str(), static_cast<int>(stars.size()), SQLITE_TRANSIENT);
}

}  // namespace

bool TextToDatetime(std::string_view text, std::string& storage, int& native, std::string& message) {
  // 'yyyymmdd', the form planex writes every date in: a valid day in datetime's range is midnight
  // of that day without the search for a format. Anything else, errors included, takes the
  // general way.
  if (text.size() == 8 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const auto number = [&](size_t at, size_t len) {
      int v = 0;
      for (size_t k = at; k < at + len; ++k) v = v * 10 + (text[k] - '0');
      return v;
    };
    const int year = number(0, 4), month = number(4, 2), day = number(6, 2);
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year >= 1753 && month >= 1 && month <= 12 && day >= 1 &&
        day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0)) {
      storage.assign(text.substr(0, 4));
      storage += '-';
      storage.append(text.substr(4, 2));
      storage += '-';
      storage.append(text.substr(6, 2));
      storage += " 00:00:00.000";
      return true;
    }
  }
  int64_t ms = 0;
  const ParseResult r =
      ParseDatetime(reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()), 0, ms);
  if (r == ParseResult::Ok && InRange(RoundToTicks(ms))) {
    char buf[24];
    FormatStorage(RoundToTicks(ms), buf);
    storage.assign(buf, 23);
    return true;
  }
  if (r == ParseResult::BadFormat) {
    native = 241;
    message = "Conversion failed when converting date and/or time from character string.";
  } else {
    native = 242;
    message = "The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.";
  }
  return false;
}

Temporal TemporalOf(std::string_view upper_decl, int& scale) {
  scale = 7;
  const size_t open = upper_decl.find('(');
  if (open != std::string_view::npos) scale = std::atoi(std::string(upper_decl.substr(open + 1)).c_str());
  const std::string_view name = upper_decl.substr(0, open);
  if (name == "DATETIME2") return Temporal::Datetime2;
  if (name == "SMALLDATETIME") return Temporal::SmallDatetime;
  if (name == "TIME") return Temporal::Time;
  if (name == "DATE") return Temporal::Date;
  const bool datetime =
      upper_decl.find("DATE") != std::string_view::npos || upper_decl.find("TIME") != std::string_view::npos;
  return datetime ? Temporal::Datetime : Temporal::None;
}

bool TextToTemporal(std::string_view text, Temporal kind, int scale, std::string& storage, int& native,
                    std::string& message) {
  const auto* t = reinterpret_cast<const unsigned char*>(text.data());
  const int n = static_cast<int>(text.size());
  ParseResult r = ParseResult::Ok;
  const char* type = "datetime2";
  if (kind == Temporal::Time) {
    r = TimeText(t, n, 0, scale, storage);
    type = "time";
  } else if (kind == Temporal::Datetime2) {
    r = Datetime2Text(t, n, 0, scale, storage);
  } else {
    int64_t ms = 0;
    r = ParseDatetime(t, n, 0, ms);
    if (r == ParseResult::Ok && !SmallDatetimeText(ms, storage)) r = ParseResult::OutOfRange;
    type = "smalldatetime";
  }
  if (r == ParseResult::Ok) return true;
  native = r == ParseResult::BadFormat ? 241 : 242;
  message = r == ParseResult::BadFormat ? "Conversion failed when converting date and/or time from character string."
                                        : std::string("The conversion of a varchar data type to a ") + type +
                                              " data type resulted in an out-of-range value.";
  return false;
}

namespace {

// ts_fit_datetime(value, table, column): a datetime written into a datetime2, smalldatetime or time column
// becomes that type; into any other column it stays as it is. The column's type is looked up
// once per statement.
void FnFitDatetime(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* targets = static_cast<StatementCache*>(sqlite3_user_data(ctx));
  const auto* table = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
  const auto* column = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
  if (table == nullptr || column == nullptr) {
    sqlite3_result_value(ctx, argv[0]);
    return;
  }
  std::string key(table);
  key.push_back('\0');  // no name holds it
  key.append(column);
  auto found = targets->known.find(key);
  if (found == targets->known.end()) {
    StatementCache::Target target;
    const char* decl = nullptr;
    if (sqlite3_table_column_metadata(sqlite3_context_db_handle(ctx), nullptr, table, column, &decl, nullptr, nullptr,
                                      nullptr, nullptr) == SQLITE_OK &&
        decl != nullptr) {
      std::string upper(decl);
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      target.kind = TemporalOf(upper, target.scale);
      if (target.kind == Temporal::Datetime || target.kind == Temporal::Date) target.kind = Temporal::None;
    }
    found = targets->known.emplace(std::move(key), target).first;
  }
  const StatementCache::Target target = found->second;
  if (target.kind == Temporal::None || sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
    sqlite3_result_value(ctx, argv[0]);
    return;
  }
  std::string out, message;
  int native = 0;
  if (!TextToTemporal(TextOf(argv[0]), target.kind, target.scale, out, native, message)) {
    return RaiseError(ctx, native, message);
  }
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// ts_now(): the local time with milliseconds, "yyyy-mm-dd hh:mi:ss.mmm", the same for every row of
// one statement. It is what strftime('%Y-%m-%d %H:%M:%f','now','localtime') gives, formatted once
// per statement instead of once per row.
void FnNow(sqlite3_context* ctx, int, sqlite3_value**) {
  auto* cache = static_cast<StatementCache*>(sqlite3_user_data(ctx));
  if (cache->now.empty()) {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
    cache->now = text;
  }
  sqlite3_result_text(ctx, cache->now.data(), static_cast<int>(cache->now.size()), SQLITE_TRANSIENT);
}

}  // namespace

int RegisterFunctions(sqlite3* db, const int* date_first, StatementCache* statement_cache) {
  struct Function {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
  };
  static const Function kFunctions[] = {
      {"ts_add", 2, FnAdd, true},
      {"ts_mul", 2, FnMul, true},
      {"ts_sub", 2, FnSub, true},
      {"ts_addsub", -1, FnAddSub, true},
      {"ts_mod", 2, FnMod, true},
      {"ts_div", 2, FnDiv, true},
      {"ts_to_int", 1, FnToInt, true},
      {"ts_to_int", 2, FnToInt, true},
      {"ts_to_datetime", 2, FnToDatetime, true},
      {"ts_to_datetime2", 3, FnToDatetime2, true},
      {"ts_to_time", 3, FnToTime, true},
      {"ts_to_smalldatetime", 2, FnToSmallDatetime, true},
      {"ts_to_char", 4, FnToChar, true},
      {"ts_dateadd", 3, FnDateAdd, true},
      {"ts_dateadd", 4, FnDateAdd, true},
      // Deterministic within one statement: DATEFIRST only changes between statements.
      {"ts_datepart", 2, FnDatePart, true},
      {"ts_datediff", 3, FnDateDiff, true},
      {"ts_datefirst", 0, FnDateFirst, false},
      {"ts_newid", 0, FnNewId, false},
      {"ts_like", 3, FnLike, true},
      {"ts_like_ci", 3, FnLikeCi, true},
      {"ts_substring", 3, FnSubstring, true},
      {"ts_to_1252", 1, FnTo1252, true},
      {"ts_datalength", 2, FnDataLength, true},
      {"ts_error", 2, FnError, false},
      {"ts_top", 1, FnTop, true},
      {"ts_round", 2, FnRound, true},
      {"ts_round", 3, FnRound, true},
      {"ts_str", 1, FnStr, true},
      {"ts_str", 2, FnStr, true},
      {"ts_str", 3, FnStr, true},
  };
  for (const Function& f : kFunctions) {
    const int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
    const int rc = sqlite3_create_function_v2(db, f.name, f.args, flags, const_cast<int*>(date_first), f.fn, nullptr,
                                              nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  int rc = sqlite3_create_function_v2(db, "ts_fit_datetime", 3, SQLITE_UTF8 | SQLITE_INNOCUOUS | SQLITE_DETERMINISTIC,
                                      statement_cache, FnFitDatetime, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  rc = sqlite3_create_function_v2(db, "ts_now", 0, SQLITE_UTF8 | SQLITE_INNOCUOUS | SQLITE_DETERMINISTIC,
                                  statement_cache, FnNow, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  rc = sqlite3_create_function_v2(db, "ts_avg", 1, SQLITE_UTF8 | SQLITE_INNOCUOUS | SQLITE_DETERMINISTIC, nullptr,
                                  nullptr, FnAvgStep, FnAvgFinal, nullptr);
  return rc != SQLITE_OK ? rc : RegisterDecimalFunctions(db);
}

}  // namespace tsqlite
