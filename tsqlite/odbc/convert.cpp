#include "convert.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "decimal.h"
#include "integer_types.h"
#include "column_type.h"
#include "utf16.h"

namespace tsqlite {

namespace {

std::string AsText(const Value& v) {
  char buffer[64];
  switch (v.type) {
    case Value::Type::Integer:
      return std::to_string(v.integer);
    case Value::Type::Real:
      std::snprintf(buffer, sizeof(buffer), "%.15g", v.real);
      return buffer;
    case Value::Type::Text:
      return v.text;
    case Value::Type::Blob: {
      // Binary read as text: two hex digits a byte, as SQL Server hands it out.
      static const char kHex[] = "0123456789ABCDEF";
      std::string hex;
      hex.reserve(v.text.size() * 2);
      for (unsigned char c : v.text) {
        hex += kHex[c >> 4];
        hex += kHex[c & 15];
      }
      return hex;
    }
    default:
      return std::string();
  }
}

enum class Parse { Ok, Fraction, Invalid };

// A value as a number: integers exactly, texts as SQL Server converts them (blanks around allowed).
Parse AsDouble(const Value& v, double& out) {
  switch (v.type) {
    case Value::Type::Integer:
      out = static_cast<double>(v.integer);
      return Parse::Ok;
    case Value::Type::Real:
      out = v.real;
      return Parse::Ok;
    case Value::Type::Text: {
      const char* begin = v.text.c_str();
      char* end = nullptr;
      errno = 0;
      out = std::strtod(begin, &end);
      if (end == begin) return Parse::Invalid;
      while (*end == ' ') ++end;
      return *end == '\0' ? Parse::Ok : Parse::Invalid;
    }
    default:
      return Parse::Invalid;
  }
}

Parse AsInteger(const Value& v, int64_t& out) {
  if (v.type == Value::Type::Integer) {
    out = v.integer;
    return Parse::Ok;
  }
  if (v.type == Value::Type::Text) {
    const char* begin = v.text.c_str();
    char* end = nullptr;
    errno = 0;
    long long n = std::strtoll(begin, &end, 10);
    if (end != begin && errno == 0) {
      while (*end == ' ') ++end;
      if (*end == '\0') {
        out = n;
        return Parse::Ok;
      }
    }
  }
  double d = 0;
  if (AsDouble(v, d) != Parse::Ok || !std::isfinite(d) || d >= 9.3e18 || d <= -9.3e18) return Parse::Invalid;
  out = static_cast<int64_t>(d);
  return static_cast<double>(out) == d ? Parse::Ok : Parse::Fraction;
}

// "hh:mm:ss[.fffffff]", as time values are stored, or the time of a stored date and time.
bool AsTime(const Value& v, SsTime2& t) {
  if (v.type != Value::Type::Text) return false;
  const char* s = v.text.c_str();
  if (v.text.size() >= 19 && v.text[4] == '-') s += 11;
  unsigned h = 0, mi = 0, sec = 0;
  char fraction[16] = "";
  const int n = std::sscanf(s, "%2u:%2u:%2u.%9[0-9]", &h, &mi, &sec, fraction);
  if (n < 3 || h > 23 || mi > 59 || sec > 59) return false;
  SQLUINTEGER ns = 0;
  for (int i = 0; i < 9; ++i) ns = ns * 10 + (fraction[i] >= '0' && fraction[i] <= '9' ? fraction[i] - '0' : 0);
  t = SsTime2{static_cast<SQLUSMALLINT>(h), static_cast<SQLUSMALLINT>(mi), static_cast<SQLUSMALLINT>(sec), ns};
  return true;
}

// "YYYY-MM-DD[ hh:mm:ss[.fff]]", as datetime values are stored.
bool AsTimestamp(const Value& v, SQL_TIMESTAMP_STRUCT& ts) {
  if (v.type != Value::Type::Text) return false;
  unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char fraction[16] = "";
  int n = std::sscanf(v.text.c_str(), "%4u-%2u-%2u %2u:%2u:%2u.%9[0-9]", &y, &mo, &d, &h, &mi, &s, fraction);
  if (n < 3 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return false;
  ts.year = static_cast<SQLSMALLINT>(y);
  ts.month = static_cast<SQLUSMALLINT>(mo);
  ts.day = static_cast<SQLUSMALLINT>(d);
  ts.hour = static_cast<SQLUSMALLINT>(h);
  ts.minute = static_cast<SQLUSMALLINT>(mi);
  ts.second = static_cast<SQLUSMALLINT>(s);
  // Nanoseconds: the digits given, padded to nine.
  SQLUINTEGER ns = 0;
  for (int i = 0; i < 9; ++i) ns = ns * 10 + (fraction[i] >= '0' && fraction[i] <= '9' ? fraction[i] - '0' : 0);
  ts.fraction = ns;
  return true;
}

SQLRETURN Truncated(Handle* h) {
  return SetDiag(h, SQL_SUCCESS_WITH_INFO, Sqlstate::StringTruncated);
}

// Hands out text (of units of unit bytes) from *offset on; the terminator takes one unit.
template <typename Unit>
SQLRETURN PutChars(Handle* h, std::basic_string_view<Unit> s, SQLPOINTER target, SQLLEN buffer_length,
                   SQLLEN* indicator, size_t* offset) {
  size_t from = offset ? *offset : 0;
  if (offset != nullptr && from > 0 && from >= s.size()) return SQL_NO_DATA;
  size_t remaining = s.size() - from;
  if (indicator != nullptr) *indicator = static_cast<SQLLEN>(remaining * sizeof(Unit));
  size_t room = buffer_length > 0 ? static_cast<size_t>(buffer_length) / sizeof(Unit) : 0;
  if (target == nullptr || room == 0) {
    return remaining == 0 ? SQL_SUCCESS : Truncated(h);
  }
  size_t n = remaining < room ? remaining : room - 1;
  Unit* out = static_cast<Unit*>(target);
  std::memcpy(out, s.data() + from, n * sizeof(Unit));
  out[n] = Unit(0);
  if (offset != nullptr) *offset = from + (n < remaining ? n : remaining);
  if (offset != nullptr && remaining == 0) *offset = 1;  // an empty text is handed out once
  return n < remaining ? Truncated(h) : SQL_SUCCESS;
}

template <typename T>
SQLRETURN PutInteger(Handle* h, const Value& v, SQLPOINTER target, SQLLEN* indicator) {
  int64_t n = 0;
  Parse p = AsInteger(v, n);
  if (p == Parse::Invalid) return SetDiag(h, SQL_ERROR, Sqlstate::BadCharacterValue);
  if (n < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
      (n > 0 && static_cast<uint64_t>(n) > static_cast<uint64_t>(std::numeric_limits<T>::max()))) {
    return SetDiag(h, SQL_ERROR, Sqlstate::NumericOutOfRange);
  }
  if (target != nullptr) *static_cast<T*>(target) = static_cast<T>(n);
  if (indicator != nullptr) *indicator = sizeof(T);
  return p == Parse::Fraction ? SetDiag(h, SQL_SUCCESS_WITH_INFO, Sqlstate::FractionalTruncation) : SQL_SUCCESS;
}

}  // namespace

const Value& Shown(const ColumnType& type, const Value& value, Value& scratch) {
  if (value.type == Value::Type::Integer) {
    // A value its column's type cannot hold (written by a version that did not check ranges)
    // reads as the type's nearest value: a bit as 1, the others at the end of their range.
    const IntegerType t = type.sql_type == SQL_INTEGER    ? IntegerType::Int
                          : type.sql_type == SQL_SMALLINT ? IntegerType::SmallInt
                          : type.sql_type == SQL_TINYINT  ? IntegerType::TinyInt
                          : type.sql_type == SQL_BIT      ? IntegerType::Bit
                                                          : IntegerType::None;
    if (t != IntegerType::None && !IntegerFits(t, value.integer)) {
      scratch.type = Value::Type::Integer;
      scratch.integer = IntegerNearest(t, value.integer);
      return scratch;
    }
  }
  if (type.sql_type != SQL_DECIMAL && type.sql_type != SQL_NUMERIC) return value;
  if (value.type == Value::Type::Text) {
    // The digits as they are, at the column's scale (a value from an int or a double, which
    // SQLite wrote as a plain text, gets its scale's digits).
    Decimal d;
    if (!ParseDecimal(value.text, d) || !Rescale(d, type.digits)) return value;
    scratch.type = Value::Type::Text;
    scratch.text = DecimalText(d);
    return scratch;
  }
  if (value.type != Value::Type::Real && value.type != Value::Type::Integer) return value;
  char buffer[400];
  const double d = value.type == Value::Type::Real ? value.real : static_cast<double>(value.integer);
  if (value.type == Value::Type::Integer && type.digits == 0) return value;
  std::snprintf(buffer, sizeof buffer, "%.*f", static_cast<int>(type.digits), d);
  scratch.type = Value::Type::Text;
  scratch.text = buffer;
  return scratch;
}

SQLRETURN PutValue(Handle* h, const Value& value, SQLSMALLINT c_type, SQLPOINTER target, SQLLEN buffer_length,
                   SQLLEN* indicator, GetDataState* state) {
  size_t* offset = state != nullptr ? &state->offset : nullptr;
  // A text value is handed out from where it lies; only numbers are formatted first.
  std::string formatted;
  if (value.type != Value::Type::Text) formatted = AsText(value);
  const std::string_view text = value.type == Value::Type::Text ? std::string_view(value.text) : formatted;
  if (value.type == Value::Type::Null) {
    // The buffer keeps what it held: only the indicator tells the application.
    if (offset != nullptr && *offset > 0) return SQL_NO_DATA;
    if (indicator == nullptr) {
      return SetDiag(h, SQL_ERROR, Sqlstate::IndicatorRequired);
    }
    *indicator = SQL_NULL_DATA;
    if (offset != nullptr) *offset = 1;
    return SQL_SUCCESS;
  }
  // Fixed-size values are handed out once to SQLGetData.
  const bool is_text = c_type == SQL_C_CHAR || c_type == SQL_C_WCHAR || c_type == SQL_C_BINARY;
  if (!is_text && offset != nullptr) {
    if (*offset > 0) return SQL_NO_DATA;
    *offset = 1;
  }
  switch (c_type) {
    case SQL_C_CHAR: {
      if ((value.type == Value::Type::Integer || value.type == Value::Type::Real) && target != nullptr &&
          buffer_length > 0 && text.size() >= static_cast<size_t>(buffer_length)) {
        // Digits are never cut off a number.
        return SetDiag(h, SQL_ERROR, Sqlstate::NumericOutOfRange);
      }
      return PutChars<char>(h, text, target, buffer_length, indicator, offset);
    }
    case SQL_C_WCHAR: {
      if (state == nullptr) return PutChars<char16_t>(h, Utf16(text), target, buffer_length, indicator, nullptr);
      if (!state->wide_ready) {
        state->wide = Utf16(text);
        state->wide_ready = true;
      }
      return PutChars<char16_t>(h, state->wide, target, buffer_length, indicator, offset);
    }
    case SQL_C_BINARY: {
      // Bytes as they are, without a terminator.
      const std::string_view bytes = value.type == Value::Type::Blob ? std::string_view(value.text) : text;
      size_t from = offset ? *offset : 0;
      if (offset != nullptr && from > 0 && from >= bytes.size()) return SQL_NO_DATA;
      size_t remaining = bytes.size() - from;
      size_t n = buffer_length > 0 && static_cast<size_t>(buffer_length) < remaining
                     ? static_cast<size_t>(buffer_length)
                     : remaining;
      if (target == nullptr || buffer_length <= 0) n = 0;
      if (n > 0) std::memcpy(target, bytes.data() + from, n);
      if (indicator != nullptr) *indicator = static_cast<SQLLEN>(remaining);
      if (offset != nullptr) *offset = remaining == 0 ? 1 : from + n;
      return n < remaining ? Truncated(h) : SQL_SUCCESS;
    }
    case SQL_C_LONG:
    case SQL_C_SLONG:
      return PutInteger<SQLINTEGER>(h, value, target, indicator);
    case SQL_C_ULONG:
      return PutInteger<SQLUINTEGER>(h, value, target, indicator);
    case SQL_C_SHORT:
    case SQL_C_SSHORT:
      return PutInteger<SQLSMALLINT>(h, value, target, indicator);
    case SQL_C_USHORT:
      return PutInteger<SQLUSMALLINT>(h, value, target, indicator);
    case SQL_C_TINYINT:
    case SQL_C_STINYINT:
      return PutInteger<SQLSCHAR>(h, value, target, indicator);
    case SQL_C_UTINYINT:
    case SQL_C_BIT:
      return PutInteger<SQLCHAR>(h, value, target, indicator);
    case SQL_C_SBIGINT:
      return PutInteger<SQLBIGINT>(h, value, target, indicator);
    case SQL_C_UBIGINT:
      return PutInteger<SQLUBIGINT>(h, value, target, indicator);
    case SQL_C_DOUBLE:
    case SQL_C_FLOAT: {
      double d = 0;
      if (AsDouble(value, d) != Parse::Ok) {
        return SetDiag(h, SQL_ERROR, Sqlstate::BadCharacterValue);
      }
      if (c_type == SQL_C_DOUBLE) {
        if (target != nullptr) *static_cast<SQLDOUBLE*>(target) = d;
        if (indicator != nullptr) *indicator = sizeof(SQLDOUBLE);
      } else {
        if (target != nullptr) *static_cast<SQLREAL*>(target) = static_cast<SQLREAL>(d);
        if (indicator != nullptr) *indicator = sizeof(SQLREAL);
      }
      return SQL_SUCCESS;
    }
    case SQL_C_TYPE_TIME:
    case SQL_C_TIME:
    case kSqlCSsTime2: {
      SsTime2 t{};
      if (!AsTime(value, t)) return SetDiag(h, SQL_ERROR, Sqlstate::BadCharacterValue);
      if (c_type == kSqlCSsTime2) {
        if (target != nullptr && buffer_length > 0 && static_cast<size_t>(buffer_length) < sizeof t) {
          return SetDiag(h, SQL_ERROR, Sqlstate::NumericOutOfRange);
        }
        if (target != nullptr) std::memcpy(target, &t, sizeof t);
        if (indicator != nullptr) *indicator = sizeof t;
        return SQL_SUCCESS;
      }
      SQL_TIME_STRUCT time{t.hour, t.minute, t.second};
      if (target != nullptr) *static_cast<SQL_TIME_STRUCT*>(target) = time;
      if (indicator != nullptr) *indicator = sizeof(SQL_TIME_STRUCT);
      return t.fraction != 0 ? SetDiag(h, SQL_SUCCESS_WITH_INFO, Sqlstate::FractionalTruncation) : SQL_SUCCESS;
    }
    case SQL_C_NUMERIC: {
      // Precision and scale are the value's own (as it was stored, at the column's scale): the
      // digits arrive whole whatever the application's descriptor would say.
      Decimal d;
      if (!(value.type == Value::Type::Integer ? (d = IntegerToDecimal(value.integer), true) : ParseDecimal(text, d))) {
        return SetDiag(h, SQL_ERROR,
                       value.type == Value::Type::Real ? Sqlstate::NumericOutOfRange : Sqlstate::BadCharacterValue);
      }
      SQL_NUMERIC_STRUCT n{};
      n.precision = static_cast<SQLCHAR>(d.precision);
      n.scale = static_cast<SQLSCHAR>(d.scale);
      n.sign = d.units < 0 ? 0 : 1;
      unsigned __int128 m =
          d.units < 0 ? static_cast<unsigned __int128>(-d.units) : static_cast<unsigned __int128>(d.units);
      for (int i = 0; i < SQL_MAX_NUMERIC_LEN; ++i, m >>= 8) n.val[i] = static_cast<SQLCHAR>(m & 0xFF);
      if (target != nullptr) *static_cast<SQL_NUMERIC_STRUCT*>(target) = n;
      if (indicator != nullptr) *indicator = sizeof(SQL_NUMERIC_STRUCT);
      return SQL_SUCCESS;
    }
    case SQL_C_TYPE_TIMESTAMP:
    case SQL_C_TIMESTAMP:
    case SQL_C_TYPE_DATE:
    case SQL_C_DATE: {
      SQL_TIMESTAMP_STRUCT ts{};
      if (!AsTimestamp(value, ts)) {
        return SetDiag(h, SQL_ERROR, Sqlstate::BadCharacterValue);
      }
      if (c_type == SQL_C_TYPE_TIMESTAMP || c_type == SQL_C_TIMESTAMP) {
        if (target != nullptr) *static_cast<SQL_TIMESTAMP_STRUCT*>(target) = ts;
        if (indicator != nullptr) *indicator = sizeof(SQL_TIMESTAMP_STRUCT);
        return SQL_SUCCESS;
      }
      SQL_DATE_STRUCT date{ts.year, ts.month, ts.day};
      if (target != nullptr) *static_cast<SQL_DATE_STRUCT*>(target) = date;
      if (indicator != nullptr) *indicator = sizeof(SQL_DATE_STRUCT);
      if (ts.hour || ts.minute || ts.second || ts.fraction) {
        return SetDiag(h, SQL_SUCCESS_WITH_INFO, Sqlstate::FractionalTruncation);
      }
      return SQL_SUCCESS;
    }
    default:
      return SetDiag(h, SQL_ERROR, Sqlstate::ProgramTypeOutOfRange);
  }
}

}  // namespace tsqlite
