// The reading of a declared type's text into its value.
#include "sql_type.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tsqlite {

namespace {

struct KindName {
  std::string_view name;
  SqlType::Kind kind;
};

constexpr KindName kKinds[] = {
    {"BIT", SqlType::Kind::Bit},
    {"TINYINT", SqlType::Kind::TinyInt},
    {"SMALLINT", SqlType::Kind::SmallInt},
    {"INT", SqlType::Kind::Int},
    {"INTEGER", SqlType::Kind::Int},
    {"BIGINT", SqlType::Kind::BigInt},
    {"DECIMAL", SqlType::Kind::Decimal},
    {"DEC", SqlType::Kind::Decimal},
    {"NUMERIC", SqlType::Kind::Numeric},
    {"MONEY", SqlType::Kind::Money},
    {"SMALLMONEY", SqlType::Kind::SmallMoney},
    {"FLOAT", SqlType::Kind::Float},
    {"DOUBLE", SqlType::Kind::Float},
    {"REAL", SqlType::Kind::Real},
    {"CHAR", SqlType::Kind::Char},
    {"CHARACTER", SqlType::Kind::Char},
    {"VARCHAR", SqlType::Kind::VarChar},
    {"TEXT", SqlType::Kind::Text},
    {"NCHAR", SqlType::Kind::NChar},
    {"NVARCHAR", SqlType::Kind::NVarChar},
    {"NTEXT", SqlType::Kind::NText},
    {"BINARY", SqlType::Kind::Binary},
    {"VARBINARY", SqlType::Kind::VarBinary},
    {"IMAGE", SqlType::Kind::Image},
    {"DATE", SqlType::Kind::Date},
    {"TIME", SqlType::Kind::Time},
    {"DATETIME", SqlType::Kind::Datetime},
    {"DATETIME2", SqlType::Kind::Datetime2},
    {"SMALLDATETIME", SqlType::Kind::SmallDatetime},
    {"DATETIMEOFFSET", SqlType::Kind::DatetimeOffset},
    {"UNIQUEIDENTIFIER", SqlType::Kind::UniqueIdentifier},
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

char UpperOf(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return UpperOf(x) == y; });
}

void SkipBlanks(std::string_view s, size_t& i) {
  while (i < s.size() && IsBlank(s[i])) ++i;
}

// A width's digits as a number, a huge one held at the largest int (atoi's overflow is undefined).
int Number(std::string_view s) {
  const long n = std::strtol(std::string(s).c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long>(n, INT_MIN, INT_MAX));
}

std::string_view Word(std::string_view s, size_t& i) {
  SkipBlanks(s, i);
  const size_t start = i;
  while (i < s.size() && !IsBlank(s[i]) && s[i] != '(' && s[i] != ')' && s[i] != ',') ++i;
  return s.substr(start, i - start);
}

}  // namespace

SqlType ParseSqlType(std::string_view decl) {
  SqlType t;
  size_t i = 0;
  const std::string_view name = Word(decl, i);
  for (const KindName& k : kKinds) {
    if (SameWord(name, k.name)) {
      t.kind = k.kind;
      t.row_number = k.name == "INTEGER";
      break;
    }
  }
  // Words after the name up to its arguments: DOUBLE PRECISION, and the storage form of a decimal
  // column ("DECIMAL TEXT(10,2)", text affinity for SQLite).
  bool collate = false;
  for (;;) {
    SkipBlanks(decl, i);
    if (i >= decl.size() || decl[i] == '(') break;
    const std::string_view w = Word(decl, i);
    if (w.empty()) break;
    if (SameWord(w, "COLLATE")) {
      collate = true;
      break;
    }
  }
  int first = -1, second = -1;
  if (!collate && i < decl.size() && decl[i] == '(') {
    ++i;
    const std::string_view a = Word(decl, i);
    if (SameWord(a, "MAX")) {
      t.max = true;
    } else if (!a.empty()) {
      first = Number(a);
    }
    SkipBlanks(decl, i);
    if (i < decl.size() && decl[i] == ',') {
      ++i;
      second = Number(Word(decl, i));
    }
    SkipBlanks(decl, i);
    if (i < decl.size() && decl[i] == ')') ++i;
  }
  if (collate || SameWord(Word(decl, i), "COLLATE")) t.collation = std::string(Word(decl, i));
  using K = SqlType::Kind;
  switch (t.kind) {
    case K::Text:
    case K::NText:
    case K::Image:
      t.max = true;
      break;
    case K::Decimal:
    case K::Numeric:
      t.length = first;
      t.precision = std::clamp(first >= 0 ? first : 18, 1, 38);
      t.scale = std::clamp(second >= 0 ? second : 0, 0, t.precision);
      break;
    case K::Money:
      t.precision = 19;
      t.scale = 4;
      break;
    case K::SmallMoney:
      t.precision = 10;
      t.scale = 4;
      break;
    case K::Datetime2:
    case K::Time:
    case K::DatetimeOffset:
      t.scale = first >= 0 ? first : 7;
      break;
    default:
      t.length = first;
      break;
  }
  return t;
}

std::string_view SqlTypeName(SqlType::Kind kind) {
  for (const KindName& k : kKinds) {  // the first name of a kind is its own (INT, not INTEGER)
    if (k.kind == kind) return k.name;
  }
  return "";
}

std::string SqlTypeArgs(const SqlType& type) {
  using K = SqlType::Kind;
  switch (type.kind) {
    case K::Decimal:
    case K::Numeric:
      if (type.length < 0) return "";
      return "(" + std::to_string(type.precision) + (type.scale != 0 ? "," + std::to_string(type.scale) : "") + ")";
    case K::Datetime2:
    case K::Time:
    case K::DatetimeOffset:
      return type.scale != 7 ? "(" + std::to_string(type.scale) + ")" : "";
    default:
      return type.TakesLength() && !type.max && type.length >= 0 ? "(" + std::to_string(type.length) + ")" : "";
  }
}

std::string SqlTypeText(const SqlType& type) {
  return std::string(SqlTypeName(type.kind)) + SqlTypeArgs(type);
}

}  // namespace tsqlite
