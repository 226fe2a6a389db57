// SQL Server's errors as the SQLite functions raise them, and the run-time operand types the
// operators and conversions decide by (a datetime text, a number, an exact decimal).
#include "operands.h"

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
#include <string_view>

#include "calendar.h"
#include "decimal.h"

namespace tsqlite {
namespace {

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

// Days (possibly fractional) as milliseconds; a count far outside the datetime range maps to a
// value that the range check refuses, rather than overflowing.
constexpr int64_t kFarOut = int64_t{1} << 60;

}  // namespace

void RaiseDivideByZero(sqlite3_context* ctx) {
  RaiseError(ctx, Raised<Err::DivideByZero>());
}

void RaiseOverflow(sqlite3_context* ctx) {
  RaiseError(ctx, Raised<Err::DatetimeOverflow>());
}

void RaiseIntOverflow(sqlite3_context* ctx) {
  RaiseError(ctx, Raised<Err::ArithmeticOverflow>("expression", "int"));
}

void RaiseDecimalOverflow(sqlite3_context* ctx) {
  RaiseError(ctx, Raised<Err::ArithmeticOverflow>("expression", "numeric"));
}

std::string TextOf(sqlite3_value* v) {
  const unsigned char* t = sqlite3_value_text(v);
  return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_value_bytes(v))) : std::string();
}

void RaiseNotInt(sqlite3_context* ctx, const std::string& text) {
  RaiseError(ctx, Raised<Err::ConversionFailed>(text, "int"));
}

void RaiseNotInt(sqlite3_context* ctx, sqlite3_value* v) {
  RaiseNotInt(ctx, TextOf(v));
}

void RaiseParse(sqlite3_context* ctx, ParseResult r) {
  if (r == ParseResult::OutOfRange) {
    RaiseError(ctx, Raised<Err::DatetimeOutOfRange>("datetime"));
  } else {
    RaiseError(ctx, Raised<Err::DatetimeFromText>());
  }
}

Operand NumericOf(Operand o) {
  if (o.type == ValueType::Decimal) {
    o.type = ValueType::Real;
    o.r = DecimalToDouble(o.d);
  }
  return o;
}

double DoubleOf(const Operand& o) {
  return o.type == ValueType::Int       ? static_cast<double>(o.i)
         : o.type == ValueType::Decimal ? DecimalToDouble(o.d)
                                        : o.r;
}

Decimal DecimalOf(const Operand& o) {
  return o.type == ValueType::Decimal ? o.d : IntegerToDecimal(o.i);
}

Operand ClassifyText(const unsigned char* t, int n) {
  Operand o;
  o.type = ValueType::Text;
  if (t && IsStorageForm(t, n) && ParseStorageForm(t, n, o.i)) o.type = ValueType::Datetime;
  return o;
}

Operand Classify(sqlite3_value* v) {
  Operand o;
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      return o;
    case SQLITE_INTEGER:
      o.type = ValueType::Int;
      o.i = sqlite3_value_int64(v);
      return o;
    case SQLITE_FLOAT:
      o.type = ValueType::Real;
      o.r = sqlite3_value_double(v);
      return o;
    default: {
      const unsigned char* t = sqlite3_value_text(v);
      const int n = sqlite3_value_bytes(v);
      if (t != nullptr && LooksLikeDecimalForm(std::string_view(reinterpret_cast<const char*>(t), n)) &&
          ParseDecimalForm(std::string_view(reinterpret_cast<const char*>(t), n), o.d)) {
        o.type = ValueType::Decimal;
        return o;
      }
      return ClassifyText(t, n);
    }
  }
}

bool TextToNumber(const unsigned char* t, int n, Operand& o) {
  int i = 0;
  while (i < n && t[i] == ' ') ++i;
  while (n > i && t[n - 1] == ' ') --n;
  if (i == n) {  // an empty text converts to 0
    o.type = ValueType::Int;
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
    o.type = ValueType::Int;
    o.i = t[i] == '-' ? -value : value;
    return true;
  }
  return false;
}

bool TextToNumber(sqlite3_value* v, Operand& o) {
  return TextToNumber(sqlite3_value_text(v), sqlite3_value_bytes(v), o);
}

int64_t DaysToMs(const Operand& operand) {
  const Operand o = NumericOf(operand);
  if (o.type == ValueType::Int) {
    return o.i > 10 * kMaxDay || o.i < 10 * kMinDay ? kFarOut : o.i * kMsPerDay;
  }
  if (!(o.r < 10.0 * kMaxDay && o.r > 10.0 * kMinDay)) return kFarOut;
  return static_cast<int64_t>(std::llround(o.r * kMsPerDay));
}

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

bool Coerce(sqlite3_context* ctx, const std::string& text, Operand& o, bool to_datetime) {
  if (o.type != ValueType::Text) return true;
  const auto* t = reinterpret_cast<const unsigned char*>(text.data());
  const int n = static_cast<int>(text.size());
  if (to_datetime) {
    const ParseResult r = ParseDatetime(t, n, 0, o.i);
    if (r != ParseResult::Ok) {
      RaiseParse(ctx, r);
      return false;
    }
    o.type = ValueType::Datetime;
    return true;
  }
  if (TextToNumber(t, n, o)) return true;
  // A number with a point: what SQLite wrote into a decimal column from a double (a default of
  // 0.5, a row copied by INSERT ... SELECT) is a decimal.
  if (text.find('.') != std::string::npos && text.find_first_of("eE") == std::string::npos && ParseDecimal(text, o.d)) {
    o.type = ValueType::Decimal;
    return true;
  }
  RaiseNotInt(ctx, text);
  return false;
}

bool Coerce(sqlite3_context* ctx, sqlite3_value* v, Operand& o, bool to_datetime) {
  return o.type != ValueType::Text || Coerce(ctx, TextOf(v), o, to_datetime);
}

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

bool IsInt32(int64_t v) {
  return v >= INT32_MIN && v <= INT32_MAX;
}

double ExactDigits(double v) {
  if (!std::isfinite(v) || v == 0) return v;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return std::strtod(buf, nullptr);
}

void FnError(sqlite3_context* ctx, int, sqlite3_value** argv) {
  RaiseError(ctx, ErrorOfNative(sqlite3_value_int(argv[0]), TextOf(argv[1])));
}

}  // namespace tsqlite
