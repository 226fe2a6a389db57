#include "convert.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "decimal.h"
#include "integer_types.h"

namespace tsqlite {

constexpr const char* kBadCharacterValue = "Invalid character value for the conversion to the bound type";

namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// n of "CHAR(n)", 0 when not given.
SQLULEN DeclaredWidth(const std::string& decl) {
  size_t open = decl.find('(');
  if (open == std::string::npos) return 0;
  long n = std::strtol(decl.c_str() + open + 1, nullptr, 10);
  return n > 0 ? static_cast<SQLULEN>(n) : 0;
}

ColumnType Integer(SQLSMALLINT type) {
  switch (type) {
    case SQL_SMALLINT:
      return ColumnType{SQL_SMALLINT, 5, 0, 6, "smallint"};
    case SQL_TINYINT:
      return ColumnType{SQL_TINYINT, 3, 0, 3, "tinyint"};
    case SQL_BIGINT:
      return ColumnType{SQL_BIGINT, 19, 0, 20, "bigint"};
    default:
      return ColumnType{SQL_INTEGER, 10, 0, 11, "int"};
  }
}

ColumnType Text(SQLSMALLINT type, SQLULEN width) {
  if (width == 0) width = 1;
  const char* name = type == SQL_CHAR       ? "char"
                     : type == SQL_WCHAR    ? "nchar"
                     : type == SQL_WVARCHAR ? "nvarchar"
                                            : "varchar";
  return ColumnType{type, width, 0, static_cast<SQLLEN>(width), name};
}

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
  return SetDiag(h, SQL_SUCCESS_WITH_INFO, "01004", 0, "String data, right truncated");
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
  if (p == Parse::Invalid) return SetDiag(h, SQL_ERROR, "22018", 0, kBadCharacterValue);
  if (n < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
      (n > 0 && static_cast<uint64_t>(n) > static_cast<uint64_t>(std::numeric_limits<T>::max()))) {
    return SetDiag(h, SQL_ERROR, "22003", 0, "Numeric value out of range");
  }
  if (target != nullptr) *static_cast<T*>(target) = static_cast<T>(n);
  if (indicator != nullptr) *indicator = sizeof(T);
  return p == Parse::Fraction ? SetDiag(h, SQL_SUCCESS_WITH_INFO, "01S07", 0, "Fractional truncation") : SQL_SUCCESS;
}

}  // namespace

// Decodes UTF-8 into UTF-16 code units; bytes that are not valid UTF-8 are taken as Latin-1.
std::u16string Utf16(std::string_view s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp = c;
    size_t len = 1;
    if (c >= 0xC0 && c < 0xE0 && i + 1 < s.size() && (s[i + 1] & 0xC0) == 0x80) {
      cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
      len = 2;
    } else if (c >= 0xE0 && c < 0xF0 && i + 2 < s.size() && (s[i + 1] & 0xC0) == 0x80 && (s[i + 2] & 0xC0) == 0x80) {
      cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      len = 3;
    } else if (c >= 0xF0 && c < 0xF8 && i + 3 < s.size() && (s[i + 1] & 0xC0) == 0x80 && (s[i + 2] & 0xC0) == 0x80 &&
               (s[i + 3] & 0xC0) == 0x80) {
      cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F);
      len = 4;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += len;
  }
  return out;
}

std::string Utf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

ColumnType TypeOfColumn(const Result& result, size_t column) {
  const std::string decl = Upper(result.columns[column].declared_type);
  if (!decl.empty()) {
    if (decl.find("INT") != std::string::npos) {
      if (decl.find("SMALLINT") != std::string::npos) return Integer(SQL_SMALLINT);
      if (decl.find("TINYINT") != std::string::npos) return Integer(SQL_TINYINT);
      if (decl.find("BIGINT") != std::string::npos) return Integer(SQL_BIGINT);
      return Integer(SQL_INTEGER);
    }
    if (decl == "DATE") return ColumnType{SQL_TYPE_DATE, 10, 0, 10, "date"};
    // datetime2(n) and time(n): n digits of the second (7 when not given), as SQL Server says.
    if (decl.rfind("DATETIME2", 0) == 0 || decl.rfind("TIME", 0) == 0) {
      const bool time = decl[0] == 'T';
      const size_t open = decl.find('(');
      const SQLSMALLINT n =
          static_cast<SQLSMALLINT>(open == std::string::npos ? 7 : std::atoi(decl.c_str() + open + 1));
      const SQLULEN size = (time ? 8 : 19) + (n > 0 ? n + 1 : 0);
      return ColumnType{time ? kSqlSsTime2 : static_cast<SQLSMALLINT>(SQL_TYPE_TIMESTAMP), size, n,
                        static_cast<SQLLEN>(size), time ? "time" : "datetime2"};
    }
    if (decl == "SMALLDATETIME") return ColumnType{SQL_TYPE_TIMESTAMP, 16, 0, 16, "smalldatetime"};
    if (decl.find("DATE") != std::string::npos || decl.find("TIME") != std::string::npos) {
      return ColumnType{SQL_TYPE_TIMESTAMP, 23, 3, 23, "datetime"};
    }
    if (decl.find("REAL") != std::string::npos || decl.find("FLOA") != std::string::npos ||
        decl.find("DOUB") != std::string::npos) {
      return ColumnType{SQL_DOUBLE, 15, 0, 24, "float"};
    }
    // nchar/nvarchar widths count characters, and the client reads them as wide text.
    if (decl.rfind("NCHAR", 0) == 0 && DeclaredWidth(decl) > 0) return Text(SQL_WCHAR, DeclaredWidth(decl));
    if (decl.rfind("NVARCHAR", 0) == 0) {
      ColumnType t = Text(SQL_WVARCHAR, DeclaredWidth(decl) > 0 ? DeclaredWidth(decl) : 1);
      if (DeclaredWidth(decl) <= 0) t.size = t.display_size = 0;  // nvarchar(max), as SQL Server says
      return t;
    }
    if (decl.rfind("BIT", 0) == 0) return ColumnType{SQL_BIT, 1, 0, 1, "bit"};
    if (decl.rfind("UNIQUEIDENTIFIER", 0) == 0) return ColumnType{SQL_GUID, 36, 0, 36, "uniqueidentifier"};
    if (decl.rfind("DECIMAL", 0) == 0 || decl.rfind("NUMERIC", 0) == 0) {
      // decimal(p, s): p defaults to 18 and s to 0, as in SQL Server.
      const SQLULEN precision = DeclaredWidth(decl) > 0 ? DeclaredWidth(decl) : 18;
      const size_t comma = decl.find(',');
      const SQLSMALLINT scale =
          comma == std::string::npos ? 0 : static_cast<SQLSMALLINT>(std::atoi(decl.c_str() + comma + 1));
      const bool numeric = decl[0] == 'N';
      return ColumnType{static_cast<SQLSMALLINT>(numeric ? SQL_NUMERIC : SQL_DECIMAL), precision, scale,
                        static_cast<SQLLEN>(precision + 2), numeric ? "numeric" : "decimal"};
    }
    if (decl.rfind("MONEY", 0) == 0) return ColumnType{SQL_DECIMAL, 19, 4, 21, "money"};
    if (decl.rfind("SMALLMONEY", 0) == 0) return ColumnType{SQL_DECIMAL, 10, 4, 12, "smallmoney"};
    if (decl.find("BINARY") != std::string::npos || decl.rfind("IMAGE", 0) == 0) {
      const SQLULEN width = DeclaredWidth(decl) > 0 ? static_cast<SQLULEN>(DeclaredWidth(decl)) : 0;
      if (decl.rfind("IMAGE", 0) == 0) return ColumnType{SQL_LONGVARBINARY, 2147483647, 0, 2147483647, "image"};
      if (decl.rfind("BINARY", 0) == 0)
        return ColumnType{SQL_BINARY, width, 0, static_cast<SQLLEN>(2 * width), "binary"};
      return ColumnType{SQL_VARBINARY, width, 0, static_cast<SQLLEN>(2 * width), "varbinary"};
    }
    if (decl.rfind("NTEXT", 0) == 0) return ColumnType{SQL_WLONGVARCHAR, 1073741823, 0, 1073741823, "ntext"};
    if (decl.rfind("TEXT", 0) == 0) return ColumnType{SQL_LONGVARCHAR, 2147483647, 0, 2147483647, "text"};
    if (decl.rfind("CHAR", 0) == 0 && DeclaredWidth(decl) > 0) {
      return Text(SQL_CHAR, DeclaredWidth(decl));
    }
    if (decl.find("CHAR") != std::string::npos && DeclaredWidth(decl) > 0) {
      return Text(SQL_VARCHAR, DeclaredWidth(decl));
    }
    if (decl == "VARCHAR") {  // varchar(max): size 0, as SQL Server's driver says
      ColumnType t = Text(SQL_VARCHAR, 1);
      t.size = t.display_size = 0;
      return t;
    }
  }
  // An expression or an undeclared width: what the values show.
  const size_t ncols = result.columns.size();
  Result::Seen texts;
  bool any_int = false, any_real = false, any_text = false, any_blob = false, wide = false;
  SQLULEN width = 0;
  if (column < result.seen.size()) {  // the rows of a large result set that are not in memory
    const Result::Seen& seen = result.seen[column];
    texts = seen;
    any_int = seen.any_int;
    any_real = seen.any_real;
    any_text = seen.any_text;
    any_blob = seen.any_blob;
    wide = seen.wide;
    width = seen.width;
  }
  const size_t held = ncols == 0 ? 0 : result.cells.size() / ncols;
  for (size_t r = 0; r < held; ++r) {
    const Value& v = result.cells[r * ncols + column];
    switch (v.type) {
      case Value::Type::Integer:
        any_int = true;
        wide = wide || v.integer > INT32_MAX || v.integer < INT32_MIN;
        break;
      case Value::Type::Real:
        any_real = true;
        break;
      case Value::Type::Text:
        any_text = true;
        if (v.text.size() > width) width = v.text.size();
        texts.NoteText(v.text);
        break;
      case Value::Type::Blob:
        any_blob = true;
        if (v.text.size() > width) width = v.text.size();
        break;
      default:
        break;
    }
  }
  if (any_blob && !any_text && !any_int && !any_real) {
    return ColumnType{SQL_VARBINARY, width > 0 ? width : 1, 0, static_cast<SQLLEN>(2 * (width > 0 ? width : 1)),
                      "varbinary"};
  }
  if (any_text && !texts.any_plain_text && texts.decimal_scale >= 0 && !any_real && !any_blob) {
    // Decimals the engine computed: numeric with room for every value's digits.
    const int scale = texts.decimal_scale;
    const int integral = std::max(texts.decimal_integral, any_int ? (wide ? 19 : 10) : 1);
    const SQLULEN precision = static_cast<SQLULEN>(std::min(kMaxDecimalDigits, integral + scale));
    return ColumnType{SQL_NUMERIC, precision, static_cast<SQLSMALLINT>(std::min(scale, static_cast<int>(precision))),
                      static_cast<SQLLEN>(precision + 2), "numeric"};
  }
  // "N": an expression of nvarchar text (N'...'), its width counted in bytes, which is enough.
  if (any_text || (!any_int && !any_real)) return Text(decl == "N" ? SQL_WVARCHAR : SQL_VARCHAR, width);
  if (any_real) return ColumnType{SQL_DOUBLE, 15, 0, 24, "float"};
  return Integer(wide ? SQL_BIGINT : SQL_INTEGER);
}

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

SQLSMALLINT DefaultCType(SQLSMALLINT sql_type) {
  switch (sql_type) {
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
      return SQL_C_WCHAR;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return SQL_C_BINARY;
    case SQL_INTEGER:
      return SQL_C_SLONG;
    case SQL_SMALLINT:
      return SQL_C_SSHORT;
    case SQL_TINYINT:
      return SQL_C_UTINYINT;
    case SQL_BIGINT:
      return SQL_C_SBIGINT;
    case SQL_DOUBLE:
      return SQL_C_DOUBLE;
    case SQL_TYPE_TIMESTAMP:
      return SQL_C_TYPE_TIMESTAMP;
    default:
      return SQL_C_CHAR;
  }
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
      return SetDiag(h, SQL_ERROR, "22002", 0, "Indicator variable required but not supplied");
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
        return SetDiag(h, SQL_ERROR, "22003", 0, "Numeric value out of range");
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
        return SetDiag(h, SQL_ERROR, "22018", 0, kBadCharacterValue);
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
      if (!AsTime(value, t)) return SetDiag(h, SQL_ERROR, "22018", 0, kBadCharacterValue);
      if (c_type == kSqlCSsTime2) {
        if (target != nullptr && buffer_length > 0 && static_cast<size_t>(buffer_length) < sizeof t) {
          return SetDiag(h, SQL_ERROR, "22003", 0, "Numeric value out of range");
        }
        if (target != nullptr) std::memcpy(target, &t, sizeof t);
        if (indicator != nullptr) *indicator = sizeof t;
        return SQL_SUCCESS;
      }
      SQL_TIME_STRUCT time{t.hour, t.minute, t.second};
      if (target != nullptr) *static_cast<SQL_TIME_STRUCT*>(target) = time;
      if (indicator != nullptr) *indicator = sizeof(SQL_TIME_STRUCT);
      return t.fraction != 0 ? SetDiag(h, SQL_SUCCESS_WITH_INFO, "01S07", 0, "Fractional truncation") : SQL_SUCCESS;
    }
    case SQL_C_NUMERIC: {
      // Precision and scale are the value's own (as it was stored, at the column's scale): the
      // digits arrive whole whatever the application's descriptor would say.
      Decimal d;
      if (!(value.type == Value::Type::Integer ? (d = IntegerToDecimal(value.integer), true) : ParseDecimal(text, d))) {
        return SetDiag(h, SQL_ERROR, value.type == Value::Type::Real ? "22003" : "22018", 0,
                       value.type == Value::Type::Real ? "Numeric value out of range" : kBadCharacterValue);
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
        return SetDiag(h, SQL_ERROR, "22018", 0, kBadCharacterValue);
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
        return SetDiag(h, SQL_SUCCESS_WITH_INFO, "01S07", 0, "Fractional truncation");
      }
      return SQL_SUCCESS;
    }
    default:
      return SetDiag(h, SQL_ERROR, "HY003", 0, "Program type out of range");
  }
}

}  // namespace tsqlite
