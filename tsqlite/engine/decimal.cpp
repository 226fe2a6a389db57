#include "decimal.h"
#include "errors.h"
#include "integer_types.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tsqlite {
namespace {

using u128 = unsigned __int128;

struct Powers {
  u128 p[kMaxDecimalDigits + 1];
  constexpr Powers() : p() {
    p[0] = 1;
    for (int i = 1; i <= kMaxDecimalDigits; ++i) p[i] = p[i - 1] * 10;
  }
};
constexpr Powers kPowers;
constexpr u128 Pow10(int k) {
  return kPowers.p[k];
}
constexpr u128 kLimit = Pow10(kMaxDecimalDigits);  // every magnitude stays below 10^38

u128 Magnitude(__int128 v) {
  return v < 0 ? static_cast<u128>(0) - static_cast<u128>(v) : static_cast<u128>(v);
}

int Digits(u128 v) {
  int n = 1;
  while (n <= kMaxDecimalDigits && v >= Pow10(n)) ++n;
  return n;
}

// A 256-bit unsigned number: products of two magnitudes and the numerators of quotients.
struct U256 {
  u128 hi = 0, lo = 0;
};

U256 Multiply(u128 a, u128 b) {
  const uint64_t a0 = static_cast<uint64_t>(a), a1 = static_cast<uint64_t>(a >> 64);
  const uint64_t b0 = static_cast<uint64_t>(b), b1 = static_cast<uint64_t>(b >> 64);
  const u128 p00 = static_cast<u128>(a0) * b0, p01 = static_cast<u128>(a0) * b1;
  const u128 p10 = static_cast<u128>(a1) * b0, p11 = static_cast<u128>(a1) * b1;
  const u128 mid = (p00 >> 64) + static_cast<uint64_t>(p01) + static_cast<uint64_t>(p10);
  return U256{p11 + (p01 >> 64) + (p10 >> 64) + (mid >> 64), (mid << 64) | static_cast<uint64_t>(p00)};
}

// n / d and n % d for 0 < d < 2^127.
void DivMod(const U256& n, u128 d, U256& q, u128& r) {
  if (n.hi == 0) {
    q = U256{0, n.lo / d};
    r = n.lo % d;
    return;
  }
  q = U256{};
  r = 0;
  for (int i = 255; i >= 0; --i) {
    const u128 bit = i >= 128 ? (n.hi >> (i - 128)) & 1 : (n.lo >> i) & 1;
    r = (r << 1) | bit;
    if (r >= d) {
      r -= d;
      if (i >= 128) {
        q.hi |= static_cast<u128>(1) << (i - 128);
      } else {
        q.lo |= static_cast<u128>(1) << i;
      }
    }
  }
}

// n / 10^k rounded half away from zero (k may exceed 38); false when the result reaches 10^38.
bool DivideRounded(U256 n, int k, u128& out) {
  U256 q;
  u128 r = 0;
  if (k > kMaxDecimalDigits) {
    DivMod(n, Pow10(k - kMaxDecimalDigits), q, r);
    n = q;
    k = kMaxDecimalDigits;
  }
  DivMod(n, Pow10(k), q, r);
  if (k > 0 && r * 2 >= Pow10(k)) {
    if (++q.lo == 0) ++q.hi;
  }
  if (q.hi != 0 || q.lo >= kLimit) return false;
  out = q.lo;
  return true;
}

bool Signed(u128 magnitude, bool negative, int scale, int precision, Decimal& out) {
  if (magnitude >= kLimit) return false;
  out.units = negative ? -static_cast<__int128>(magnitude) : static_cast<__int128>(magnitude);
  out.scale = scale;
  out.precision = precision;
  return true;
}

// A result of * or / wider than 38 digits keeps its integral digits and gives up scale, as SQL
// Server's does: down to 6 when the integral part needs more than 32 digits.
void ReduceProductType(int& p, int& s) {
  if (p <= kMaxDecimalDigits) return;
  const int integral = p - s;
  if (integral < 32) {
    s = std::min(s, kMaxDecimalDigits - integral);
  } else if (s > 6) {
    s = 6;
  }
  p = kMaxDecimalDigits;
}

}  // namespace

namespace {

// ParseDecimal, also counting the digits written before the point (leading zeros included).
bool Parse(std::string_view text, Decimal& out, int& written_integral) {
  written_integral = 0;
  size_t i = 0, n = text.size();
  while (i < n && text[i] == ' ') ++i;
  while (n > i && text[n - 1] == ' ') --n;
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  u128 u = 0;
  int digits = 0, fraction = 0;
  bool any = false, point = false;
  for (; i < n; ++i) {
    const char c = text[i];
    if (c == '.') {
      if (point) return false;
      point = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    any = true;
    if (point) ++fraction;
    if (!point) ++written_integral;
    if (u == 0 && c == '0') continue;  // leading zeros carry no digit
    if (++digits > kMaxDecimalDigits) return false;
    u = u * 10 + static_cast<unsigned>(c - '0');
  }
  if (!any) return false;
  int exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exp_negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) exp_negative = text[i++] == '-';
    if (i == n) return false;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
      if (exponent < 1000) exponent = exponent * 10 + (text[i] - '0');
    }
    if (exp_negative) exponent = -exponent;
  }
  if (i != n) return false;
  int scale = fraction - exponent;
  if (scale < 0) {  // 1.5e3: digits to add
    if (u != 0 && digits - scale > kMaxDecimalDigits) return false;
    if (u != 0) u *= Pow10(-scale);
    scale = 0;
  } else if (scale > kMaxDecimalDigits) {  // 1e-50: rounded to 38 places
    if (!DivideRounded(U256{0, u}, scale - kMaxDecimalDigits, u)) return false;
    scale = kMaxDecimalDigits;
  }
  return Signed(u, negative, scale, std::max(Digits(u), std::max(scale, 1)), out);
}

}  // namespace

bool ParseDecimal(std::string_view text, Decimal& out) {
  int written_integral;
  return Parse(text, out, written_integral);
}

bool ParseDecimalForm(std::string_view text, Decimal& out) {
  int written_integral;
  if (!LooksLikeDecimalForm(text) || text.size() <= 2 || text[0] == ' ' || text[text.size() - 3] < '0' ||
      text[text.size() - 3] > '9' || !Parse(text, out, written_integral)) {
    return false;
  }
  // The form writes p - s + 1 digits before the point: its zeros in front carry the precision.
  out.precision = std::clamp(written_integral - 1 + out.scale, out.precision, kMaxDecimalDigits);
  return true;
}

std::string DecimalText(const Decimal& d) {
  u128 m = Magnitude(d.units);
  std::string digits;
  do {
    digits.push_back(static_cast<char>('0' + static_cast<int>(m % 10)));
    m /= 10;
  } while (m != 0);
  while (digits.size() <= static_cast<size_t>(d.scale)) digits.push_back('0');
  std::string out;
  if (d.units < 0) out.push_back('-');
  for (size_t k = digits.size(); k-- > 0;) {
    out.push_back(digits[k]);
    if (k == static_cast<size_t>(d.scale) && k > 0) out.push_back('.');
  }
  return out;
}

std::string DecimalForm(const Decimal& d) {
  std::string text = DecimalText(d);
  const size_t sign = d.units < 0 ? 1 : 0;
  const size_t point = text.find('.');
  const size_t integral = (point == std::string::npos ? text.size() : point) - sign;
  const size_t wanted = static_cast<size_t>(std::max(d.precision - d.scale, 0)) + 1;
  if (integral < wanted) text.insert(sign, wanted - integral, '0');
  return text + "e0";
}

bool DecimalTypeOf(const SqlType& type, int& precision, int& scale) {
  if (!type.IsExact()) return false;
  precision = type.precision;
  scale = type.scale;
  return true;
}

bool Rescale(Decimal& d, int scale, int precision) {
  u128 m = Magnitude(d.units);
  if (scale > d.scale) {
    const int k = scale - d.scale;
    if (m != 0 && (k > kMaxDecimalDigits || m >= kLimit / Pow10(k))) return false;
    m *= Pow10(k);
  } else if (scale < d.scale) {
    if (!DivideRounded(U256{0, m}, d.scale - scale, m)) return false;
  }
  if (m >= Pow10(precision)) return false;
  return Signed(m, d.units < 0, scale, precision, d);
}

bool DoubleToDecimal(double v, int scale, Decimal& out) {
  if (!std::isfinite(v) || std::fabs(v) >= 1e38) return false;
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%.*f", scale, v);
  return ParseDecimal(buffer, out) && Rescale(out, scale);
}

double DecimalToDouble(const Decimal& d) {
  return std::strtod(DecimalText(d).c_str(), nullptr);
}

Decimal IntegerToDecimal(int64_t v) {
  Decimal d;
  d.units = v;
  d.precision = Digits(Magnitude(d.units));
  return d;
}

int CompareDecimal(const Decimal& a, const Decimal& b) {
  // Integral parts first, then the fractions brought to 38 places: no step can overflow.
  const __int128 ia = a.units / static_cast<__int128>(Pow10(a.scale));
  const __int128 ib = b.units / static_cast<__int128>(Pow10(b.scale));
  if (ia != ib) return ia < ib ? -1 : 1;
  const __int128 fa =
      (a.units % static_cast<__int128>(Pow10(a.scale))) * static_cast<__int128>(Pow10(kMaxDecimalDigits - a.scale));
  const __int128 fb =
      (b.units % static_cast<__int128>(Pow10(b.scale))) * static_cast<__int128>(Pow10(kMaxDecimalDigits - b.scale));
  return fa < fb ? -1 : fa > fb ? 1 : 0;
}

bool DecimalArithmetic(const Decimal& a, DecimalOp op, const Decimal& b, Decimal& out) {
  const int p1 = a.precision, s1 = a.scale, p2 = b.precision, s2 = b.scale;
  const bool negative = (a.units < 0) != (b.units < 0);
  switch (op) {
    case DecimalOp::Add:
    case DecimalOp::Subtract: {
      const int integral = std::max(p1 - s1, p2 - s2);
      int s = std::max(s1, s2);
      const int p = std::min(s + integral + 1, kMaxDecimalDigits);
      if (s + integral + 1 > kMaxDecimalDigits) s = std::max(0, kMaxDecimalDigits - integral);
      Decimal x = a, y = b;
      if (!Rescale(x, s) || !Rescale(y, s)) return false;
      __int128 r;
      const bool wrapped = op == DecimalOp::Add ? __builtin_add_overflow(x.units, y.units, &r)
                                                : __builtin_sub_overflow(x.units, y.units, &r);
      return !wrapped && Signed(Magnitude(r), r < 0, s, p, out);
    }
    case DecimalOp::Multiply: {
      int p = p1 + p2 + 1, s = s1 + s2;
      ReduceProductType(p, s);
      u128 m;
      return DivideRounded(Multiply(Magnitude(a.units), Magnitude(b.units)), s1 + s2 - s, m) &&
             Signed(m, negative && m != 0, s, p, out);
    }
    case DecimalOp::Modulo: {  // the remainder with the dividend's sign, at the larger scale
      const int s = std::max(s1, s2);
      Decimal x = a, y = b;
      if (!Rescale(x, s) || !Rescale(y, s)) return false;
      return Signed(Magnitude(x.units % y.units), x.units % y.units < 0, s, std::min(p1 - s1, p2 - s2) + s, out);
    }
    case DecimalOp::Divide: {
      int s = std::max(6, s1 + p2 + 1);
      int p = p1 - s1 + s2 + s;
      ReduceProductType(p, s);
      // a / b at scale s is a * 10^(s - s1 + s2) / b, cut (not rounded) as SQL Server cuts it.
      const u128 x = Magnitude(a.units), y = Magnitude(b.units);
      const int k = s - s1 + s2;
      U256 q;
      u128 r;
      if (k < 0) {
        DivMod(U256{0, x / Pow10(-k)}, y, q, r);
      } else {
        DivMod(Multiply(x, Pow10(std::min(k, kMaxDecimalDigits))), y, q, r);
        if (k > kMaxDecimalDigits) {  // the remaining powers of ten, on quotient and remainder
          if (q.hi != 0) return false;
          const U256 high = Multiply(q.lo, Pow10(k - kMaxDecimalDigits));
          U256 low;
          DivMod(Multiply(r, Pow10(k - kMaxDecimalDigits)), y, low, r);
          if (high.hi != 0 || high.lo >= kLimit) return false;
          q = U256{0, high.lo + low.lo};
        }
      }
      return q.hi == 0 && Signed(q.lo, negative && q.lo != 0, s, p, out);
    }
  }
  return false;
}

bool AccumulateDecimal(Units128& units, int& scale, Decimal d) {
  Decimal acc{units.Get(), scale, kMaxDecimalDigits};
  if (d.scale > scale && !Rescale(acc, d.scale)) return false;
  __int128 sum;
  if (!Rescale(d, acc.scale) || __builtin_add_overflow(acc.units, d.units, &sum) || Magnitude(sum) >= kLimit) {
    return false;
  }
  units.Set(sum);
  scale = acc.scale;
  return true;
}

bool DecimalAverage(Units128 units, int scale, int64_t integers, int64_t count, Decimal& out) {
  if (!AccumulateDecimal(units, scale, IntegerToDecimal(integers))) return false;
  Decimal sum{units.Get(), scale, kMaxDecimalDigits};
  if (!Rescale(sum, std::max(scale, 6))) return false;
  out = sum;
  out.units /= count;
  return true;
}

bool RoundDecimal(Decimal& d, int64_t places, bool truncate) {
  if (places >= d.scale) return true;
  // Places far left of the point, down to the smallest bigint, drop every digit; compared before
  // the subtraction, which could not hold them.
  if (places < static_cast<int64_t>(d.scale) - kMaxDecimalDigits) {
    d.units = 0;
    return true;
  }
  const int64_t drop = d.scale - places;
  const __int128 unit = static_cast<__int128>(Pow10(static_cast<int>(drop)));
  __int128 q = d.units / unit;
  const __int128 r = d.units % unit;
  if (!truncate && (r >= 0 ? r : -r) * 2 >= unit) q += d.units < 0 ? -1 : 1;
  // a carry past the precision (ROUND(9.99, 1) of a decimal(3,2)) is an overflow
  const u128 limit = Pow10(std::clamp(d.precision, 1, kMaxDecimalDigits));
  if (Magnitude(q) * static_cast<u128>(unit) >= limit) return false;
  d.units = q * unit;
  return true;
}

namespace {

void ResultDecimal(sqlite3_context* ctx, const Decimal& d) {
  const std::string form = DecimalForm(d);
  sqlite3_result_text(ctx, form.data(), static_cast<int>(form.size()), SQLITE_TRANSIENT);
}

std::string_view TextView(sqlite3_value* v) {
  const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return t ? std::string_view(t, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

// A decimal in a text: the engine's form or a plain number (a value SQLite wrote into a decimal
// column from an int or a double).
bool TextDecimal(sqlite3_value* v, Decimal& d) {
  return ParseDecimal(TextView(v), d);
}

// The collation of decimal columns: numbers in numeric order (exactly where both have at most 38
// digits), before any other text, which compares by its bytes.
int CollateDecimal(void*, int n1, const void* p1, int n2, const void* p2) {
  const std::string_view a(static_cast<const char*>(p1), static_cast<size_t>(n1));
  const std::string_view b(static_cast<const char*>(p2), static_cast<size_t>(n2));
  Decimal x, y;
  if (ParseDecimal(a, x) && ParseDecimal(b, y)) return CompareDecimal(x, y);
  char* end = nullptr;
  const std::string sa(a), sb(b);
  const double da = std::strtod(sa.c_str(), &end);
  const bool na = end != sa.c_str() && *end == 0;
  const double db = std::strtod(sb.c_str(), &end);
  const bool nb = end != sb.c_str() && *end == 0;
  if (na && nb) return da < db ? -1 : da > db ? 1 : 0;
  if (na != nb) return na ? -1 : 1;
  const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  return c != 0 ? c : a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

const char* TypeName(int sqlite_type) {
  switch (sqlite_type) {
    case SQLITE_INTEGER:
      return "int";
    case SQLITE_FLOAT:
      return "float";
    default:
      return "numeric";
  }
}

// ts_dec(x, p, s): CAST(x AS decimal(p, s)). A number rounds to the scale; a text is read as SQL
// Server reads varchar as numeric (8114 when it is none); more digits than p is 8115.
void ResultConverted(sqlite3_context* ctx, sqlite3_value* v, int p, int s) {
  const int type = sqlite3_value_type(v);
  Decimal d;
  bool ok = true;
  switch (type) {
    case SQLITE_NULL:
      return sqlite3_result_null(ctx);
    case SQLITE_INTEGER:
      d = IntegerToDecimal(sqlite3_value_int64(v));
      break;
    case SQLITE_FLOAT:
      ok = DoubleToDecimal(sqlite3_value_double(v), s, d);
      break;
    default:
      if (!TextDecimal(v, d)) {
        return RaiseError(ctx, Raised<Err::VarcharToNumeric>());
      }
      break;
  }
  if (!ok || !Rescale(d, s, p)) {
    return RaiseError(ctx, Raised<Err::ArithmeticOverflow>(TypeName(type), "numeric"));
  }
  ResultDecimal(ctx, d);
}

}  // namespace

void FnDec(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int p = std::clamp(sqlite3_value_int(argv[1]), 1, kMaxDecimalDigits);
  ResultConverted(ctx, argv[0], p, std::clamp(sqlite3_value_int(argv[2]), 0, p));
}

// ts_fit(x, table, column): the column's type, looked up once per statement (kept with the
// table argument) from the declared type of a query of the column.
struct ColumnDecimal {
  bool decimal;
  bool text;  // a char/varchar column: a decimal is written as a client would read it ("1.50")
  int precision, scale;
  IntegerType integer;  // an integer or bit column: its range, and a bit's 1 for any value but 0
};

void FnFit(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ColumnDecimal type{false, false, 0, 0, IntegerType::None};
  if (const auto* kept = static_cast<const ColumnDecimal*>(sqlite3_get_auxdata(ctx, 1))) {
    type = *kept;
  } else {
    auto quote = [](std::string_view name) {
      std::string q = "\"";
      for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
      return q + "\"";
    };
    const bool by_position = sqlite3_value_type(argv[2]) == SQLITE_INTEGER;
    const std::string sql =
        "SELECT " + (by_position ? std::string("*") : quote(TextView(argv[2]))) + " FROM " + quote(TextView(argv[1]));
    sqlite3_stmt* stmt = nullptr;
    const int index = by_position ? sqlite3_value_int(argv[2]) : 0;
    if (sqlite3_prepare_v2(sqlite3_context_db_handle(ctx), sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        stmt != nullptr && index >= 0 && index < sqlite3_column_count(stmt)) {
      const char* decl = sqlite3_column_decltype(stmt, index);
      const SqlType declared = ParseSqlType(decl == nullptr ? "" : decl);
      type.decimal = DecimalTypeOf(declared, type.precision, type.scale);
      type.text = !type.decimal && declared.IsText();
      type.integer = IntegerTypeOf(declared);
    }
    sqlite3_finalize(stmt);
    // Kept for the statement's other rows; SQLite may drop it at once, so only the copy is used.
    if (auto* keep = static_cast<ColumnDecimal*>(sqlite3_malloc(sizeof(ColumnDecimal)))) {
      *keep = type;
      sqlite3_set_auxdata(ctx, 1, keep, sqlite3_free);
    }
  }
  Decimal d;
  if (type.text && sqlite3_value_type(argv[0]) == SQLITE_TEXT && ParseDecimalForm(TextView(argv[0]), d)) {
    const std::string text = DecimalText(d);
    return sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  // An exact decimal (the literal -9223372036854775808 is one) goes into an integer column as
  // that integer, cut toward zero as a conversion cuts it, never by way of a double.
  if (type.integer != IntegerType::None && type.integer != IntegerType::Bit &&
      sqlite3_value_type(argv[0]) == SQLITE_TEXT && ParseDecimalForm(TextView(argv[0]), d)) {
    __int128 whole = d.units;
    for (int k = 0; k < d.scale; ++k) whole /= 10;
    if (whole > INT64_MAX || whole < INT64_MIN || !IntegerFits(type.integer, static_cast<int64_t>(whole))) {
      return RaiseError(ctx, IntegerOverflowError(type.integer, DecimalText(d)));
    }
    return sqlite3_result_int64(ctx, static_cast<int64_t>(whole));
  }
  if (type.integer != IntegerType::None && sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
    const int64_t n = sqlite3_value_int64(argv[0]);
    if (type.integer == IntegerType::Bit) return sqlite3_result_int(ctx, n != 0);
    if (!IntegerFits(type.integer, n)) {
      return RaiseError(ctx, IntegerOverflowError(type.integer, std::to_string(n)));
    }
  }
  if (type.integer == IntegerType::Bit && sqlite3_value_type(argv[0]) == SQLITE_FLOAT) {
    return sqlite3_result_int(ctx, sqlite3_value_double(argv[0]) != 0);
  }
  if (!type.decimal) return sqlite3_result_value(ctx, argv[0]);
  ResultConverted(ctx, argv[0], type.precision, type.scale);
}

// ts_num(x): a decimal as a number SQLite compares with other numbers (an integer when it has
// no fraction); any other value as it is.
void FnNum(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Decimal d;
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT || !ParseDecimalForm(TextView(argv[0]), d)) {
    return sqlite3_result_value(ctx, argv[0]);
  }
  const __int128 one = static_cast<__int128>(Pow10(d.scale));
  const __int128 whole = d.units / one;
  if (d.units % one == 0 && whole >= INT64_MIN && whole <= INT64_MAX) {
    return sqlite3_result_int64(ctx, static_cast<int64_t>(whole));
  }
  sqlite3_result_double(ctx, DecimalToDouble(d));
}

// ts_neg(x): unary minus; a decimal stays one, the smallest bigint has no negative (8115).
// ts_neg(x, n): n minus signs in a row ("- - x"), each as the one before.
void FnNeg(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const int64_t times = argc > 1 ? sqlite3_value_int64(argv[1]) : 1;
  Decimal d;
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT && ParseDecimalForm(TextView(argv[0]), d)) {
    if (times % 2 != 0) d.units = -d.units;
    return ResultDecimal(ctx, d);
  }
  switch (sqlite3_value_numeric_type(argv[0])) {
    case SQLITE_NULL:
      return sqlite3_result_null(ctx);
    case SQLITE_INTEGER: {
      const int64_t i = sqlite3_value_int64(argv[0]);
      if (i == INT64_MIN) {
        return RaiseError(ctx, Raised<Err::ArithmeticOverflow>("expression", "bigint"));
      }
      return sqlite3_result_int64(ctx, times % 2 != 0 ? -i : i);
    }
    case SQLITE_FLOAT:
      return sqlite3_result_double(ctx,
                                   times % 2 != 0 ? -sqlite3_value_double(argv[0]) : sqlite3_value_double(argv[0]));
    default:
      return sqlite3_result_int64(ctx, 0);  // as SQLite negates a text that is no number
  }
}

namespace {

// ts_abs(x), ts_floor(x), ts_ceiling(x): a decimal keeps its type (FLOOR and CEILING with scale
// 0); any other value as SQLite's abs, floor and ceiling take it. ts_abs(x, 1): x is a bigint.
void Math(sqlite3_context* ctx, sqlite3_value* v, int op, bool bigint = false) {
  Decimal d;
  if (sqlite3_value_type(v) == SQLITE_TEXT && ParseDecimalForm(TextView(v), d)) {
    if (op == 0) {
      if (d.units < 0) d.units = -d.units;
    } else {
      const __int128 unit = static_cast<__int128>(Pow10(d.scale));
      __int128 q = d.units / unit;
      if (d.units % unit != 0 && (op > 0) == (d.units > 0)) q += op > 0 ? 1 : -1;
      d = Decimal{q, 0, d.precision};  // decimal(p, 0), as SQL Server types FLOOR and CEILING
    }
    return ResultDecimal(ctx, d);
  }
  switch (sqlite3_value_numeric_type(v)) {
    case SQLITE_NULL:
      return sqlite3_result_null(ctx);
    case SQLITE_INTEGER: {
      const int64_t i = sqlite3_value_int64(v);
      if (op != 0 || i >= 0) return sqlite3_result_int64(ctx, i);
      // An int keeps its type: the smallest int has no positive one (a bigint within int's
      // range counts as an int here too, unless its type is known).
      if (i == INT32_MIN && !bigint) {
        return RaiseError(ctx, Raised<Err::ArithmeticOverflow>("expression", "int"));
      }
      if (i == INT64_MIN) {
        return RaiseError(ctx, Raised<Err::ArithmeticOverflow>("expression", "bigint"));
      }
      return sqlite3_result_int64(ctx, -i);
    }
    case SQLITE_FLOAT: {
      const double x = sqlite3_value_double(v);
      return sqlite3_result_double(ctx, op == 0 ? std::fabs(x) : op < 0 ? std::floor(x) : std::ceil(x));
    }
    default:  // a text that is no number, as SQLite's functions take it
      return op == 0 ? sqlite3_result_double(ctx, 0) : sqlite3_result_null(ctx);
  }
}

}  // namespace
void FnAbs(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Math(ctx, argv[0], 0, argc == 2 && sqlite3_value_int(argv[1]) != 0);
}
void FnFloor(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Math(ctx, argv[0], -1);
}
void FnCeiling(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Math(ctx, argv[0], 1);
}

// ts_sum(x): SUM. Integers sum to an integer (8115 past bigint), decimals exactly to a decimal
// of the largest scale among them (8115 past 38 digits), anything with a double to a double.
// SQLite hands the state out zero-filled, never constructed: every member starts as zero.
namespace {
struct SumState {
  Units128 units;  // the decimals, at `scale`
  int scale;
  bool any, any_decimal, any_real, overflow;
  double real;
  int64_t integer;
};
}  // namespace

void FnSumStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* st = static_cast<SumState*>(sqlite3_aggregate_context(ctx, sizeof(SumState)));
  if (st == nullptr) return sqlite3_result_error_nomem(ctx);
  sqlite3_value* v = argv[0];
  int type = sqlite3_value_type(v);
  if (type == SQLITE_NULL) return;
  st->any = true;
  Decimal d;
  if (type == SQLITE_TEXT && ParseDecimalForm(TextView(v), d)) {
    st->real += DecimalToDouble(d);
    st->any_decimal = true;
    st->overflow = st->overflow || !AccumulateDecimal(st->units, st->scale, d);
    return;
  }
  if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) type = sqlite3_value_numeric_type(v);
  if (type == SQLITE_INTEGER) {
    const int64_t i = sqlite3_value_int64(v);
    st->real += static_cast<double>(i);
    st->overflow = st->overflow || __builtin_add_overflow(st->integer, i, &st->integer);
    return;
  }
  st->any_real = true;
  st->real += sqlite3_value_double(v);
}

void FnSumFinal(sqlite3_context* ctx) {
  auto* st = static_cast<SumState*>(sqlite3_aggregate_context(ctx, 0));
  if (st == nullptr || !st->any) return sqlite3_result_null(ctx);
  if (st->any_real) return sqlite3_result_double(ctx, st->real);
  if (st->overflow || (st->any_decimal && !AccumulateDecimal(st->units, st->scale, IntegerToDecimal(st->integer)))) {
    return RaiseError(ctx, Raised<Err::ArithmeticOverflow>("expression", st->any_decimal ? "numeric" : "bigint"));
  }
  if (!st->any_decimal) return sqlite3_result_int64(ctx, st->integer);
  ResultDecimal(ctx, Decimal{st->units.Get(), st->scale, kMaxDecimalDigits});
}

int RegisterDecimalCollation(sqlite3* db) {
  return sqlite3_create_collation_v2(db, kDecimalCollation, SQLITE_UTF8, nullptr, CollateDecimal, nullptr);
}

}  // namespace tsqlite
