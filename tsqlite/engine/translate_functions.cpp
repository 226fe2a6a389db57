// The translator's types and calls: a declared type, CAST and CONVERT, and the built-in
// functions read as their rows in the function table say.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "translator_class.h"

namespace tsqlite {

bool Translator::ParseType(SqlType& type) {
  const Token t = Peek();
  if (t.type != Tok::Word) return Fail();
  switch (t.kw) {
    case Kw::Char:
    case Kw::Nchar:
    case Kw::Character:
    case Kw::Varchar:
    case Kw::Nvarchar:
    case Kw::Text:
    case Kw::Ntext:
    case Kw::Datetime:
    case Kw::Datetime2:
    case Kw::Smalldatetime:
    case Kw::Time:
    case Kw::Date:
    case Kw::Int:
    case Kw::Integer:
    case Kw::Smallint:
    case Kw::Tinyint:
    case Kw::Bigint:
    case Kw::Bit:
    case Kw::Float:
    case Kw::Real:
    case Kw::Decimal:
    case Kw::Dec:
    case Kw::Numeric:
    case Kw::Money:
    case Kw::Smallmoney:
    case Kw::Binary:
    case Kw::Varbinary:
    case Kw::Image:
    case Kw::Uniqueidentifier:
      break;
    default:
      return Fail();
  }
  ++pos_;
  // The declaration as text, read by the one reader of a declared type; the numbers are kept
  // here too, as written, for the errors that name them.
  std::string decl(t.text);
  long first = -1, second = -1;
  if (AcceptOp("(")) {
    const Token& n = Peek();
    if (n.type == Tok::Number) {
      first = std::strtol(std::string(n.text).c_str(), nullptr, 10);
    } else if (n.type != Tok::Word || n.kw != Kw::Max) {
      return Fail();
    }
    decl += "(" + std::string(n.text);
    ++pos_;
    if (AcceptOp(",")) {  // decimal(p, s)
      if (Peek().type != Tok::Number) return Fail();
      decl += "," + std::string(Peek().text);
      second = std::strtol(std::string(Peek().text).c_str(), nullptr, 10);
      ++pos_;
    }
    if (!ExpectOp(")")) return false;
    decl += ")";
  }
  type = ParseSqlType(decl);
  type.row_number = false;  // INTEGER written in a statement is an int
  using K = SqlType::Kind;
  if ((type.kind == K::Decimal || type.kind == K::Numeric) && first >= 0) {
    if (first < 1 || first > 38) {
      FailWith(Raised<Err::PrecisionOverMax>(std::to_string(first)));
      return false;
    }
    if (second > first) {
      FailWith(Raised<Err::ScaleOverPrecision>());
      return false;
    }
  }
  if ((type.kind == K::Datetime2 || type.kind == K::Time) && first > 7) return FailAt(t.text);
  if (type.kind == K::UniqueIdentifier) type.length = 36;
  return true;
}

Expr Translator::Convert(const SqlType& type, const Expr& source, const std::string& style, bool typed_source) {
  Expr out;
  out.type = type;
  out.declared = true;
  if (type.kind == SqlType::Kind::Datetime) out.held = Expr::Held::Datetime;
  if (type.IsExact()) out.held = Expr::Held::Decimal;
  if (ToText(type)) out.collation = source.collation;  // text keeps the collation a clause named
  out.sql = ConvertSql(type, source, style, typed_source);
  return out;
}

std::string Translator::ConvertSql(const SqlType& type, const Expr& source, const std::string& style,
                                   bool typed_source) {
  using K = SqlType::Kind;
  const std::string& value = source.sql;
  // Only a conversion without a style asks the source's type (and reads the catalog for it).
  const SqlType from_type = typed_source && ToText(type) && style.empty() ? TypeOf(source) : SqlType{};
  switch (type.kind) {
    case K::Char:
    case K::NChar:
    case K::UniqueIdentifier:
    case K::VarChar:
    case K::NVarChar:
    case K::Text:
    case K::NText: {
      // A datetime2(3) value has a datetime's form; cast to text it keeps its ISO form all the same.
      const bool iso = style.empty() && source.type.kind == K::Datetime2 && source.type.scale == 3 &&
                       source.param == 0 && !source.column;
      // A datetime2, date or time column is stored in its ISO form, which its text is (a
      // datetime2(0) or a date would otherwise read as a datetime, style 0).
      const K from = from_type.kind;
      if (style.empty() && (from == K::Datetime2 || from == K::Date || from == K::Time)) {
        return type.max ? value
                        : "substr(" + value + ", 1, " + std::to_string(type.length < 0 ? 30 : type.length) + ")";
      }
      // -2 stands for (max): the whole value.
      return "ts_to_char(" + value + ", " + (type.max ? std::string("-2") : std::to_string(type.length)) + ", " +
             (iso             ? "121"
              : style.empty() ? "NULL"
                              : style) +
             ", " + (type.kind == K::Char || type.kind == K::NChar || type.kind == K::UniqueIdentifier ? "1" : "0") +
             ")";
    }
    case K::Datetime:
      return "ts_to_datetime(" + value + ", " + (style.empty() ? "0" : style) + ")";
    case K::Date:
      return "substr(ts_to_datetime(" + value + ", " + (style.empty() ? "0" : style) + "), 1, 10)";
    case K::Datetime2:
    case K::Time:
      return std::string(type.kind == K::Time ? "ts_to_time(" : "ts_to_datetime2(") + value + ", " +
             (style.empty() ? "0" : style) + ", " + std::to_string(type.scale) + ")";
    case K::SmallDatetime:
      return "ts_to_smalldatetime(" + value + ", " + (style.empty() ? "0" : style) + ")";
    case K::Bit:
    case K::TinyInt:
    case K::SmallInt:
    case K::Int:
    case K::BigInt:
      return "ts_to_int(" + value + ", " + SqlString(SqlTypeText(type)) + ")";
    case K::Float:
    case K::Real:
      return "CAST(" + value + " AS REAL)";
    case K::Decimal:
    case K::Numeric:
    case K::Money:
    case K::SmallMoney:
      Exact(source);
      return "ts_dec(" + value + ", " + std::to_string(type.precision) + ", " + std::to_string(type.scale) + ")";
    case K::Binary:
    case K::VarBinary:
    case K::Image:
      return "CAST(" + value + " AS BLOB)";
    default:
      return "";
  }
}

// A date part named by a word (day, dd, weekday, ...), passed to the ts_* functions as text.
std::string Translator::DatePartName(std::string_view function) {
  const Token& t = Peek();
  if (t.type != Tok::Word) return Fail(), "";
  if (DatePartOf(t.text) == DatePart::Unknown) {
    std::string lower;
    for (char c : function) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return FailWith(Raised<Err::UnknownOption>(t.text, lower));
  }
  ++pos_;
  std::string lower;
  for (char c : t.text) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return "'" + lower + "'";
}

// A built-in function call, name and '(' next: read as its row in the function table says.
Expr Translator::Function() {
  const Token name = Peek();
  const std::vector<const Builtin*> rows = FindBuiltins(name.text);
  if (rows.empty()) return FailWith(Raised<Err::UnknownFunction>(name.text)), Expr{};
  pos_ += 2;  // name and '('
  const ArgForm form = rows.front()->form;
  if (form == ArgForm::Convert) {
    SqlType type;
    if (!ParseType(type) || !ExpectOp(",")) return {};
    Expr value = Expression();
    std::string style;
    if (AcceptOp(",")) style = Expression().sql;
    if (!ExpectOp(")")) return {};
    Expr converted = Convert(type, value, style, true);
    converted.null = value.null;  // CONVERT of the NULL literal folds to a NULL of the type
    return converted;
  }
  if (form == ArgForm::Cast) {
    Expr value = Expression();
    SqlType type;
    if (!ExpectWord(Kw::As) || !ParseType(type) || !ExpectOp(")")) return {};
    Expr converted = Convert(type, value, "", true);
    converted.null = value.null;  // CAST(NULL AS int) folds to a NULL of the type
    return converted;
  }
  const Rule rule = rows.front()->rule;
  const bool counts_rows = rule == Rule::CountsRows;  // COUNT(*)
  std::vector<Expr> args;
  bool distinct = false;
  if (!AcceptOp(")")) {
    if (form == ArgForm::DatePart) {
      args.push_back({DatePartName(name.text)});
      if (failed_ || !ExpectOp(",")) return {};
    } else if (form == ArgForm::Aggregate) {
      distinct = AcceptWord(Kw::Distinct);
      if (!distinct) AcceptWord(Kw::All);
    }
    for (;;) {
      if (counts_rows && args.empty() && !distinct && AcceptOp("*")) {
        args.push_back({"*"});
      } else {
        args.push_back(Expression());
      }
      if (failed_) return {};
      if (AcceptOp(")")) break;
      if (!ExpectOp(",")) return {};
    }
  }
  const Builtin* row = ForCount(rows, static_cast<int>(args.size()));
  if (row == nullptr) return FailWith(Raised<Err::ArgumentCount>(ArgumentCountMessage(rows))), Expr{};
  // The result's type as the row gives it; a datetime or decimal computed by our functions is
  // held as such.
  Expr out;
  const Expr* first = args.empty() ? nullptr : &args[row->form == ArgForm::DatePart ? args.size() - 1 : 0];
  // A result that follows its first argument follows the column that argument is or follows,
  // where it has no type of its own, and keeps a collation a COLLATE clause gave it.
  const bool follows =
      row->result == Result::Arg || row->result == Result::ArgDecimal || row->result == Result::ArgText;
  if (follows && first != nullptr) {
    out.collation = first->collation;
    if (first->type.kind == SqlType::Kind::Unknown) {
      out.qualifier = first->qualifier;
      out.name = first->name;
      out.text_of = first->text_of || row->result == Result::ArgText;
      out.joined = first->joined;
    }
  }
  switch (row->result) {
    case Result::Unknown:
      break;
    case Result::Datetime:
      out.type.kind = SqlType::Kind::Datetime;
      out.held = Expr::Held::Datetime;
      break;
    case Result::Decimal:
      out.held = Expr::Held::Decimal;
      break;
    case Result::ArgDecimal:
      out.held = Expr::Held::Decimal;
      if (first != nullptr) out.type = first->type;
      break;
    case Result::Arg:
      if (first != nullptr) out.type = first->type;
      break;
    case Result::ArgText:
      // Of a column, the column's text type (TypeOf); of a concatenation of columns, nvarchar when
      // one of them is (National reads `joined`).
      if (out.name.empty()) {
        out.type.kind = first != nullptr && first->type.National() ? SqlType::Kind::NVarChar : SqlType::Kind::VarChar;
      }
      break;
    case Result::Int:
      out.type.kind = SqlType::Kind::Int;
      break;
    case Result::BigInt:
      out.type.kind = SqlType::Kind::BigInt;
      out.declared = true;
      break;
    case Result::Float:
      out.type.kind = SqlType::Kind::Float;
      break;
    case Result::VarChar:
      out.type.kind = SqlType::Kind::VarChar;
      break;
    case Result::NVarChar:
      out.type.kind = SqlType::Kind::NVarChar;
      break;
  }
  // A decimal literal handed to a function that keeps decimals exact keeps its digits.
  if (!args.empty() && row->exact_args) Exact(args[0]);
  std::vector<std::string> sql;
  sql.reserve(args.size());
  for (const Expr& arg : args) sql.push_back(arg.sql);
  // REPLICATE of a varchar(max) may reach the longest value, not 8,000 characters.
  if (args.size() == 2 && rule == Rule::Replicate && TypeOf(args[0]).MaxText()) {
    out.sql = "CASE WHEN " + sql[1] + " < 0 THEN NULL ELSE replace(hex(zeroblob(min(" + sql[1] + ", " +
              std::to_string(kMaxValueBytes) + " / max(length(" + sql[0] + "), 1) + 1))), '00', " + sql[0] + ") END";
    return out;
  }
  // An nvarchar other than (max) holds 4,000 characters (8,000 bytes of UTF-16): REPLICATE of one
  // stops there.
  if (args.size() == 2 && rule == Rule::Replicate && National(args[0])) {
    out.sql = "CASE WHEN " + sql[1] + " < 0 THEN NULL ELSE substr(replace(hex(zeroblob(min(" + sql[1] +
              ", 4000 / max(length(" + sql[0] + "), 1) + 1))), '00', " + sql[0] + "), 1, 4000) END";
    return out;
  }
  // ABS of a bigint: its smallest value alone has no positive one.
  if (args.size() == 1 && rule == Rule::Abs && TypeOf(args[0]).kind == SqlType::Kind::BigInt) {
    out.sql = "ts_abs(" + sql[0] + ", 1)";
    return out;
  }
  // ISNULL is of its first argument's type: a replacement is converted to a text of known width
  // (cut, a char padded); of the NULL literal as first argument, the replacement's type (a NULL
  // cast to a type keeps that type).
  if (args.size() == 2 && rule == Rule::IsNull) {
    if (args[0].null && args[0].type.kind == SqlType::Kind::Unknown) {
      out.type = args[1].type;
      out.qualifier = args[1].qualifier;
      out.name = args[1].name;
      out.text_of = args[1].text_of;
      out.joined = args[1].joined;
      out.collation = args[1].collation;
    } else if (!args[1].null) {
      const SqlType first_type = TypeOf(args[0]);
      if (first_type.IsText() && !first_type.max && first_type.length > 0) {
        sql[1] = ConvertSql(first_type, args[1], "", false);
      }
    }
  }
  // DATALENGTH counts the bytes of the value's type: two per UTF-16 unit for nvarchar, one per
  // character of code page 1252, or UTF-8's bytes for a varchar of a UTF-8 collation.
  if (args.size() == 1 && rule == Rule::DataLength) {
    const char* unit = National(args[0]) ? "2" : CodePage1252(collation_) ? "0" : "1";
    out.sql = "ts_datalength(" + sql[0] + ", " + unit + ")";
    return out;
  }
  // DATEADD of a value that is no literal nor parameter keeps a date a date; a text column, like
  // a string, is read as a datetime.
  if (args.size() == 3 && rule == Rule::DateAdd && args[2].param == 0 && !TypeOf(args[2]).IsText()) {
    out.sql = "ts_dateadd(" + sql[0] + ", " + sql[1] + ", " + sql[2] + ", 1)";
    return out;
  }
  out.sql = EmitBuiltin(*row, sql, distinct);
  return out;
}

}  // namespace tsqlite
