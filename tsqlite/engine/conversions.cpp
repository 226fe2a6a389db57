// CONVERT and CAST: to int, datetime, datetime2, smalldatetime, time and char/varchar, and a datetime
// written into a column of another date and time type.
#include "conversions.h"

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
#include "datetime.h"
#include "decimal.h"
#include "statement_cache.h"
#include "integer_types.h"
#include "operands.h"

namespace tsqlite {
namespace {

void RaiseSmallRange(sqlite3_context* ctx) {
  RaiseError(ctx, Raised<Err::DatetimeOutOfRange>("smalldatetime"));
}

// datetime2 and time take no numbers, as in SQL Server.
bool RefuseNumber(sqlite3_context* ctx, sqlite3_value* v, const char* type) {
  const int vt = sqlite3_value_type(v);
  if (vt != SQLITE_INTEGER && vt != SQLITE_FLOAT) return false;
  RaiseError(ctx, Raised<Err::ExplicitConversion>(vt == SQLITE_INTEGER ? "int" : "float", type));
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

}  // namespace

bool ToDatetime(sqlite3_context* ctx, sqlite3_value* v, int style, int64_t& ms) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
      Operand o = Classify(v);
      ms = DaysToMs(o);
      break;
    }
    default: {
      // A decimal (a literal such as -1.5, or a computed one) counts days from 1900-01-01 as a
      // number does; it is held as text, so it is told apart from a date text first.
      const Operand o = Classify(v);
      if (o.type == ValueType::Decimal) {
        ms = DaysToMs(o);
        break;
      }
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

void FnToDatetime(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  int64_t ms;
  if (ToDatetime(ctx, argv[0], sqlite3_value_int(argv[1]), ms)) ResultDatetime(ctx, ms);
}

void FnToDatetime2(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ToTicksType(ctx, argv, false);
}

void FnToTime(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ToTicksType(ctx, argv, true);
}

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

void FnToInt(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const IntegerType target = argc > 1 ? IntegerTypeOf(TextOf(argv[1])) : IntegerType::Int;
  Operand o = Classify(argv[0]);
  auto overflow = [&](const std::string& value) { RaiseError(ctx, IntegerOverflowError(target, value)); };
  int64_t n = 0;
  switch (o.type) {
    case ValueType::Null:
      sqlite3_result_null(ctx);
      return;
    case ValueType::Int:
      n = o.i;
      break;
    case ValueType::Real:
      if (target == IntegerType::Bit) return sqlite3_result_int(ctx, o.r != 0);
      if (!(std::fabs(o.r) < 9.2e18)) return overflow(TextOf(argv[0]));
      n = static_cast<int64_t>(std::trunc(o.r));
      break;
    case ValueType::Decimal: {  // cut toward zero
      if (target == IntegerType::Bit) return sqlite3_result_int(ctx, o.d.units != 0);
      __int128 whole = o.d.units;
      for (int k = 0; k < o.d.scale; ++k) whole /= 10;
      if (whole > INT64_MAX || whole < INT64_MIN) return overflow(DecimalText(o.d));
      n = static_cast<int64_t>(whole);
      break;
    }
    case ValueType::Datetime:
      n = FloorDiv(o.i + kMsPerDay / 2, kMsPerDay);
      break;
    case ValueType::Text: {
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

void FnToChar(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Operand o = Classify(argv[0]);
  if (o.type == ValueType::Null) {
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
    case ValueType::Datetime:
      if (!FormatStyle(o.i, style, s)) {
        RaiseError(ctx, Raised<Err::InvalidStyle>(std::to_string(style), "datetime"));
        return;
      }
      break;
    case ValueType::Int:
      s = std::to_string(o.i);
      numeric = true;
      break;
    case ValueType::Real: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.6g", o.r);
      s = buf;
      numeric = true;
      break;
    }
    case ValueType::Decimal:
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
        RaiseError(ctx, Raised<Err::InvalidStyle>(std::to_string(style), "datetime2"));
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
      target.kind = TemporalOf(ParseSqlType(decl), target.scale);
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
    return RaiseError(ctx, ErrorOfNative(native, message));
  }
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

}  // namespace tsqlite
