#pragma once
// The integer types and bit: which values each holds, and SQL Server's error for one it cannot.
// Shared by CAST/CONVERT, the value written into a column (ts_fit, bound values) and the column's
// CHECK, so that every route into a column refuses the same values with the same error.
#include <cstdint>
#include <string>
#include <string_view>

#include "errors.h"
#include "sql_type.h"

namespace tsqlite {

enum class IntegerType { None, Int, BigInt, SmallInt, TinyInt, Bit };

// The integer type of a declared type; None for any other.
inline IntegerType IntegerTypeOf(const SqlType& type) {
  switch (type.kind) {
    case SqlType::Kind::Int:
      return IntegerType::Int;
    case SqlType::Kind::BigInt:
      return IntegerType::BigInt;
    case SqlType::Kind::SmallInt:
      return IntegerType::SmallInt;
    case SqlType::Kind::TinyInt:
      return IntegerType::TinyInt;
    case SqlType::Kind::Bit:
      return IntegerType::Bit;
    default:
      return IntegerType::None;
  }
}
inline IntegerType IntegerTypeOf(std::string_view decl) {
  return IntegerTypeOf(ParseSqlType(decl));
}

inline const char* IntegerTypeName(IntegerType t) {
  switch (t) {
    case IntegerType::BigInt:
      return "bigint";
    case IntegerType::SmallInt:
      return "smallint";
    case IntegerType::TinyInt:
      return "tinyint";
    case IntegerType::Bit:
      return "bit";
    default:
      return "int";
  }
}

inline bool IntegerFits(IntegerType t, int64_t v) {
  switch (t) {
    case IntegerType::Int:
      return v >= INT32_MIN && v <= INT32_MAX;
    case IntegerType::SmallInt:
      return v >= INT16_MIN && v <= INT16_MAX;
    case IntegerType::TinyInt:
      return v >= 0 && v <= 255;
    case IntegerType::Bit:
      return v == 0 || v == 1;
    default:
      return true;
  }
}

// The nearest value the type holds: a bit is 1 for anything but 0, the others are clamped.
inline int64_t IntegerNearest(IntegerType t, int64_t v) {
  switch (t) {
    case IntegerType::Int:
      return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v;
    case IntegerType::SmallInt:
      return v < INT16_MIN ? INT16_MIN : v > INT16_MAX ? INT16_MAX : v;
    case IntegerType::TinyInt:
      return v < 0 ? 0 : v > 255 ? 255 : v;
    case IntegerType::Bit:
      return v != 0;
    default:
      return v;
  }
}

// SQL Server's overflow error for v in the type: 8115 for int and bigint, 220 (naming the value)
// for smallint and tinyint.
inline Error IntegerOverflowError(IntegerType t, const std::string& value) {
  if (t == IntegerType::SmallInt || t == IntegerType::TinyInt) {
    return Raised<Err::SmallIntOverflow>(IntegerTypeName(t), value);
  }
  return Raised<Err::ArithmeticOverflow>("expression", IntegerTypeName(t));
}

}  // namespace tsqlite
