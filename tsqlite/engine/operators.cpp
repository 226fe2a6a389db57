// The arithmetic operators whose meaning depends on the run-time type of their operands (datetime
// arithmetic, exact decimals, integer overflow), AVG, ROUND and the row count of TOP.
#include "operators.h"

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
#include "operands.h"

namespace tsqlite {
namespace {

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

// One operand of + or -, with its text while it is one (a text may turn into a number or a
// datetime next to one).
struct Term {
  Operand o;
  std::string text;
};

Term TermOf(sqlite3_value* v) {
  Term t{Classify(v), {}};
  if (t.o.type == ValueType::Text || t.o.type == ValueType::Datetime) t.text = TextOf(v);
  return t;
}

// a = a + b, a - b or a * b (op) of two numbers: int with int gives an int, past its range an
// overflow, not a bigint; a decimal with a decimal or an int an exact decimal; anything with a
// float a float, a sum or difference kept to 15 significant digits (ExactDigits). False after an
// error was raised.
bool Numbers(sqlite3_context* ctx, Operand& a, const Operand& b, DecimalOp op) {
  if (a.type == ValueType::Int && b.type == ValueType::Int) {
    int64_t r;
    const bool wrapped = op == DecimalOp::Add        ? __builtin_add_overflow(a.i, b.i, &r)
                         : op == DecimalOp::Subtract ? __builtin_sub_overflow(a.i, b.i, &r)
                                                     : __builtin_mul_overflow(a.i, b.i, &r);
    if (wrapped || (IsInt32(a.i) && IsInt32(b.i) && !IsInt32(r))) {
      RaiseIntOverflow(ctx);
      return false;
    }
    a = Operand{ValueType::Int, r, 0, {}};
    return true;
  }
  if (a.type != ValueType::Real && b.type != ValueType::Real) {  // decimal with decimal or int: exact
    Decimal r;
    if (!DecimalArithmetic(DecimalOf(a), op, DecimalOf(b), r)) {
      RaiseDecimalOverflow(ctx);
      return false;
    }
    a = Operand{ValueType::Decimal, 0, 0, r};
    return true;
  }
  const double x = DoubleOf(a);
  const double y = DoubleOf(b);
  const double r = op == DecimalOp::Add ? ExactDigits(x + y) : op == DecimalOp::Subtract ? ExactDigits(x - y) : x * y;
  a = Operand{ValueType::Real, 0, r, {}};
  return true;
}

// acc = acc + b, or acc - b, as T-SQL's binary + and - work: a datetime on either side makes the
// result a datetime (both sides counted in days from 1900-01-01); two texts are concatenated by
// +; numbers add as numbers. False after an error was raised.
bool Combine(sqlite3_context* ctx, Term& acc, Term b, bool subtract) {
  Operand& a = acc.o;
  if (a.type == ValueType::Null || b.o.type == ValueType::Null) {
    acc = Term{};
    return true;
  }
  if (a.type == ValueType::Text && b.o.type == ValueType::Text) {
    if (subtract) {
      RaiseError(ctx, Raised<Err::InvalidOperand>("varchar", "subtract"));
      return false;
    }
    acc.text += b.text;
    // what comes out reads as any other text would: in the storage form, as a datetime
    a = ClassifyText(reinterpret_cast<const unsigned char*>(acc.text.data()), static_cast<int>(acc.text.size()));
    return true;
  }
  const bool datetime = a.type == ValueType::Datetime || b.o.type == ValueType::Datetime;
  if (datetime) {
    a = NumericOf(a);
    b.o = NumericOf(b.o);
  }
  if (!Coerce(ctx, acc.text, a, datetime) || !Coerce(ctx, b.text, b.o, datetime)) return false;
  acc.text.clear();  // a computed value, no longer the text it came from
  if (datetime) {
    const int64_t x = a.type == ValueType::Datetime ? a.i : DaysToMs(a);
    const int64_t y = b.o.type == ValueType::Datetime ? b.o.i : DaysToMs(b.o);
    const int64_t ms = subtract ? x - y : x + y;
    if (!InRange(ms)) {
      RaiseOverflow(ctx);
      return false;
    }
    a = Operand{ValueType::Datetime, ms, 0, {}};
    return true;
  }
  return Numbers(ctx, a, b.o, subtract ? DecimalOp::Subtract : DecimalOp::Add);
}

void ResultTerm(sqlite3_context* ctx, const Term& t) {
  switch (t.o.type) {
    case ValueType::Null:
      return sqlite3_result_null(ctx);
    case ValueType::Int:
      return sqlite3_result_int64(ctx, t.o.i);
    case ValueType::Real:
      return sqlite3_result_double(ctx, t.o.r);
    case ValueType::Decimal: {
      const std::string form = DecimalForm(t.o.d);
      return sqlite3_result_text(ctx, form.data(), static_cast<int>(form.size()), SQLITE_TRANSIENT);
    }
    case ValueType::Datetime:
      if (t.text.empty()) return ResultDatetime(ctx, t.o.i);
      [[fallthrough]];  // a text in the storage form stays as it was written
    case ValueType::Text:
      return sqlite3_result_text(ctx, t.text.data(), static_cast<int>(t.text.size()), SQLITE_TRANSIENT);
  }
}

enum class Product { Multiply, Divide, Modulo };

// acc = acc * b, acc / b or acc % b: NULL for a NULL operand, error 8117 for a datetime (SQL
// Server allows only + and - on datetime), or the conversion's error for a text that is no
// number. Integer division truncates and the remainder takes the dividend's sign; a zero divisor
// is refused with 8134 where SQLite would give NULL. False after an error was raised.
bool Multiply(sqlite3_context* ctx, Term& acc, Term b, Product op) {
  Operand& a = acc.o;
  if (a.type == ValueType::Null || b.o.type == ValueType::Null) {
    acc = Term{};
    return true;
  }
  if (a.type == ValueType::Datetime || b.o.type == ValueType::Datetime) {
    RaiseError(ctx, Raised<Err::InvalidOperand>("datetime", op == Product::Multiply ? "multiply"
                                                            : op == Product::Divide ? "divide"
                                                                                    : "modulo"));
    return false;
  }
  if (!Coerce(ctx, acc.text, a, false) || !Coerce(ctx, b.text, b.o, false)) return false;
  acc.text.clear();  // a computed value, no longer the text it came from
  if (op == Product::Multiply) return Numbers(ctx, a, b.o, DecimalOp::Multiply);
  const bool modulo = op == Product::Modulo;
  if ((b.o.type == ValueType::Int && b.o.i == 0) || (b.o.type == ValueType::Real && b.o.r == 0) ||
      (b.o.type == ValueType::Decimal && b.o.d.units == 0)) {
    RaiseDivideByZero(ctx);
    return false;
  }
  if ((a.type == ValueType::Decimal || b.o.type == ValueType::Decimal) && a.type != ValueType::Real &&
      b.o.type != ValueType::Real) {  // decimal with decimal or int: exact
    Decimal r;
    if (!DecimalArithmetic(DecimalOf(a), modulo ? DecimalOp::Modulo : DecimalOp::Divide, DecimalOf(b.o), r)) {
      RaiseDecimalOverflow(ctx);
      return false;
    }
    a = Operand{ValueType::Decimal, 0, 0, r};
    return true;
  }
  a = NumericOf(a);
  b.o = NumericOf(b.o);
  if (a.type == ValueType::Int && b.o.type == ValueType::Int) {
    if (b.o.i == -1 && !modulo && a.i == INT64_MIN) {  // INT64_MIN / -1 would trap
      RaiseIntOverflow(ctx);
      return false;
    }
    const int64_t r = b.o.i == -1 ? (modulo ? 0 : -a.i) : modulo ? a.i % b.o.i : a.i / b.o.i;
    a = Operand{ValueType::Int, r, 0, {}};
    return true;
  }
  const double x = DoubleOf(a);
  const double y = DoubleOf(b.o);
  a = Operand{ValueType::Real, 0, modulo ? std::fmod(x, y) : x / y, {}};
  return true;
}

void Product2(sqlite3_context* ctx, sqlite3_value** argv, Product op) {
  Term acc = TermOf(argv[0]);
  if (Multiply(ctx, acc, TermOf(argv[1]), op)) ResultTerm(ctx, acc);
}

}  // namespace

void FnMul(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Product2(ctx, argv, Product::Multiply);
}

// ts_muldiv(a, op, b, op, c, ...): a chain of *, / and % (op 0, 1 and 2) in one call, worked
// from the left as the nested calls of two operands would: a long product nests no deeper in
// the statement than a short one does.
void FnMulDiv(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Term acc = TermOf(argv[0]);
  for (int i = 1; i + 1 < argc && acc.o.type != ValueType::Null; i += 2) {
    const int op = sqlite3_value_int(argv[i]);
    const Product product = op == 1 ? Product::Divide : op == 2 ? Product::Modulo : Product::Multiply;
    if (!Multiply(ctx, acc, TermOf(argv[i + 1]), product)) return;
  }
  ResultTerm(ctx, acc);
}

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
  for (int i = 1; i + 1 < argc && acc.o.type != ValueType::Null; i += 2) {
    if (!Combine(ctx, acc, TermOf(argv[i + 1]), sqlite3_value_int(argv[i]) != 0)) return;
  }
  ResultTerm(ctx, acc);
}

void FnMod(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Product2(ctx, argv, Product::Modulo);
}

void FnDiv(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Product2(ctx, argv, Product::Divide);
}

void FnTop(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_numeric_type(argv[0]);
  const double r = sqlite3_value_double(argv[0]);
  if ((type != SQLITE_INTEGER && type != SQLITE_FLOAT) || r < 0) {
    return RaiseError(ctx, Raised<Err::InvalidTop>());
  }
  sqlite3_result_int64(ctx, type == SQLITE_INTEGER ? sqlite3_value_int64(argv[0]) : static_cast<int64_t>(r));
}

void FnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  }
  const int64_t n = sqlite3_value_int64(argv[1]);
  const bool truncate = argc > 2 && sqlite3_value_int64(argv[2]) != 0;
  Operand o = Classify(argv[0]);
  if (o.type == ValueType::Decimal) {  // exact, the scale kept: ROUND(1.555, 2) is 1.560
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

}  // namespace tsqlite
