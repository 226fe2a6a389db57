// What a result column is to a client: its SQL type, size, digits and type name, read from its
// declared type or, for an expression, from the values it holds.
#include "column_type.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "decimal.h"
#include "sql_type.h"

namespace tsqlite {

namespace {

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

}  // namespace

ColumnType TypeOfColumn(const Result& result, size_t column) {
  const SqlType decl = ParseSqlType(result.columns[column].declared_type);
  const SQLULEN declared = decl.length > 0 ? static_cast<SQLULEN>(decl.length) : 0;
  using K = SqlType::Kind;
  switch (decl.kind) {
    case K::Int:
      return Integer(SQL_INTEGER);
    case K::SmallInt:
      return Integer(SQL_SMALLINT);
    case K::TinyInt:
      return Integer(SQL_TINYINT);
    case K::BigInt:
      return Integer(SQL_BIGINT);
    case K::Date:
      return ColumnType{SQL_TYPE_DATE, 10, 0, 10, "date"};
    case K::Datetime2:
    case K::Time: {
      // datetime2(n) and time(n): n digits of the second (7 when not given), as SQL Server says.
      const bool time = decl.kind == K::Time;
      const auto n = static_cast<SQLSMALLINT>(decl.scale);
      const SQLULEN size = (time ? 8 : 19) + (n > 0 ? n + 1 : 0);
      return ColumnType{time ? kSqlSsTime2 : static_cast<SQLSMALLINT>(SQL_TYPE_TIMESTAMP), size, n,
                        static_cast<SQLLEN>(size), time ? "time" : "datetime2"};
    }
    case K::SmallDatetime:
      return ColumnType{SQL_TYPE_TIMESTAMP, 16, 0, 16, "smalldatetime"};
    case K::Datetime:
    case K::DatetimeOffset:
      return ColumnType{SQL_TYPE_TIMESTAMP, 23, 3, 23, "datetime"};
    case K::Float:
    case K::Real:
      return ColumnType{SQL_DOUBLE, 15, 0, 24, "float"};
    // nchar/nvarchar widths count characters, and the client reads them as wide text.
    case K::NChar:
      if (declared > 0) return Text(SQL_WCHAR, declared);
      break;
    case K::NVarChar: {
      ColumnType t = Text(SQL_WVARCHAR, declared > 0 ? declared : 1);
      if (declared == 0) t.size = t.display_size = 0;  // nvarchar(max), as SQL Server says
      return t;
    }
    case K::Bit:
      return ColumnType{SQL_BIT, 1, 0, 1, "bit"};
    case K::UniqueIdentifier:
      return ColumnType{SQL_GUID, 36, 0, 36, "uniqueidentifier"};
    case K::Decimal:
    case K::Numeric: {
      // decimal(p, s): p defaults to 18 and s to 0, as in SQL Server.
      const bool numeric = decl.kind == K::Numeric;
      const auto precision = static_cast<SQLULEN>(decl.precision);
      return ColumnType{static_cast<SQLSMALLINT>(numeric ? SQL_NUMERIC : SQL_DECIMAL), precision,
                        static_cast<SQLSMALLINT>(decl.scale), static_cast<SQLLEN>(precision + 2),
                        numeric ? "numeric" : "decimal"};
    }
    case K::Money:
      return ColumnType{SQL_DECIMAL, 19, 4, 21, "money"};
    case K::SmallMoney:
      return ColumnType{SQL_DECIMAL, 10, 4, 12, "smallmoney"};
    case K::Image:
      return ColumnType{SQL_LONGVARBINARY, 2147483647, 0, 2147483647, "image"};
    case K::Binary:
      return ColumnType{SQL_BINARY, declared, 0, static_cast<SQLLEN>(2 * declared), "binary"};
    case K::VarBinary:
      return ColumnType{SQL_VARBINARY, declared, 0, static_cast<SQLLEN>(2 * declared), "varbinary"};
    case K::NText:
      return ColumnType{SQL_WLONGVARCHAR, 1073741823, 0, 1073741823, "ntext"};
    case K::Text:
      return ColumnType{SQL_LONGVARCHAR, 2147483647, 0, 2147483647, "text"};
    case K::Char:
      if (declared > 0) return Text(SQL_CHAR, declared);
      break;
    case K::VarChar:
      if (declared > 0) return Text(SQL_VARCHAR, declared);
      if (!decl.max) {  // a column declared varchar(max) is kept as VARCHAR: size 0, as SQL Server's driver says
        ColumnType t = Text(SQL_VARCHAR, 1);
        t.size = t.display_size = 0;
        return t;
      }
      break;
    default:
      break;
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
  if (any_text || (!any_int && !any_real))
    return Text(result.columns[column].declared_type == "N" ? SQL_WVARCHAR : SQL_VARCHAR, width);
  if (any_real) return ColumnType{SQL_DOUBLE, 15, 0, 24, "float"};
  return Integer(wide ? SQL_BIGINT : SQL_INTEGER);
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

}  // namespace tsqlite
