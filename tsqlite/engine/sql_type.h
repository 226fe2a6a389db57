#pragma once
// A declared T-SQL type as one value: its kind, width, precision, scale and collation. A declared
// type's text (a column's as the database keeps it, "NVARCHAR(10)", "decimal(10, 2)") is read by
// ParseSqlType only; everything that asks what a type is (a text, a date and time type, an
// integer, a decimal) asks this value.
#include <cstdint>
#include <string>
#include <string_view>

namespace tsqlite {

struct SqlType {
  enum class Kind : uint8_t {
    Unknown,
    Bit,
    TinyInt,
    SmallInt,
    Int,
    BigInt,
    Decimal,
    Numeric,
    Money,
    SmallMoney,
    Float,
    Real,
    Char,
    VarChar,
    Text,
    NChar,
    NVarChar,
    NText,
    Binary,
    VarBinary,
    Image,
    Date,
    Time,
    Datetime,
    Datetime2,
    SmallDatetime,
    DatetimeOffset,
    UniqueIdentifier,
  };
  Kind kind = Kind::Unknown;
  int length = -1;        // char, binary: the width given (-1: none); decimal: the precision given
  bool max = false;       // (MAX), or text, ntext, image
  int precision = 0;      // decimal, numeric (18 when not given), money (19), smallmoney (10)
  int scale = 0;          // decimal: digits after the point; datetime2, time: of the second (7 when not given)
  std::string collation;  // a COLLATE clause's name, "" for none
  // Declared INTEGER: an IDENTITY column, held as SQLite's row number (an int column is kept as INT).
  bool row_number = false;

  bool National() const { return kind == Kind::NChar || kind == Kind::NVarChar || kind == Kind::NText; }
  bool IsText() const { return National() || kind == Kind::Char || kind == Kind::VarChar || kind == Kind::Text; }
  // A text of unlimited width: (MAX), text, ntext.
  bool MaxText() const { return IsText() && max; }
  // Written with a width in parentheses: char, varchar, nchar, nvarchar, binary, varbinary, float(n).
  bool TakesLength() const {
    return kind == Kind::Char || kind == Kind::VarChar || kind == Kind::NChar || kind == Kind::NVarChar ||
           kind == Kind::Binary || kind == Kind::VarBinary || kind == Kind::Float;
  }
  bool IsInteger() const { return kind >= Kind::Bit && kind <= Kind::BigInt; }
  bool IsExact() const { return kind >= Kind::Decimal && kind <= Kind::SmallMoney; }
};

// The one reading of a declared type's text, in any case, with blanks around its parts; a name
// it does not know is Kind::Unknown.
SqlType ParseSqlType(std::string_view decl);

// The name of a kind, upper case ("NVARCHAR", "DECIMAL", "INT"); "" for Kind::Unknown.
std::string_view SqlTypeName(SqlType::Kind kind);

// A type's width as its declaration writes it: "(10)", "(10,2)", "(3)"; "" where the type has
// none, is of unlimited width ((MAX): a column of one is kept as its name alone), or has the
// default (a datetime2 or time of 7 digits; a decimal's scale 0 is left out).
std::string SqlTypeArgs(const SqlType& type);

// The type's text as the database keeps a column's and tells a client: name and width
// ("NVARCHAR(10)", "DECIMAL(10,2)", "DATETIME2(3)"); ParseSqlType reads it back.
std::string SqlTypeText(const SqlType& type);

}  // namespace tsqlite
