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

bool Translator::ParseType(Type& type) {
  const Token t = Peek();
  if (t.type != Tok::Word) return Fail();
  ++pos_;
  const std::string_view w = t.text;
  if (t.kw == Kw::Char || t.kw == Kw::Nchar || t.kw == Kw::Character) {
    type.kind = Type::Kind::Char;
  } else if (t.kw == Kw::Varchar || t.kw == Kw::Nvarchar || t.kw == Kw::Text || t.kw == Kw::Ntext) {
    type.kind = Type::Kind::VarChar;
  } else if (t.kw == Kw::Datetime) {
    type.kind = Type::Kind::Datetime;
  } else if (t.kw == Kw::Datetime2) {
    type.kind = Type::Kind::Datetime2;
  } else if (t.kw == Kw::Smalldatetime) {
    type.kind = Type::Kind::SmallDatetime;
  } else if (t.kw == Kw::Time) {
    type.kind = Type::Kind::Time;
  } else if (t.kw == Kw::Int || t.kw == Kw::Integer || t.kw == Kw::Smallint || t.kw == Kw::Tinyint ||
             t.kw == Kw::Bigint || t.kw == Kw::Bit) {
    type.kind = Type::Kind::Int;
  } else if (t.kw == Kw::Float || t.kw == Kw::Real) {
    type.kind = Type::Kind::Real;
  } else if (t.kw == Kw::Decimal || t.kw == Kw::Dec || t.kw == Kw::Numeric || t.kw == Kw::Money ||
             t.kw == Kw::Smallmoney) {
    type.kind = Type::Kind::Decimal;
  } else if (t.kw == Kw::Binary || t.kw == Kw::Varbinary || t.kw == Kw::Image) {
    type.kind = Type::Kind::Binary;
  } else if (t.kw == Kw::Date) {
    type.kind = Type::Kind::Date;  // stored as 'YYYY-MM-DD'
  } else if (t.kw == Kw::Uniqueidentifier) {
    type.kind = Type::Kind::Char;  // its text form, 36 characters
    type.length = 36;
  } else {
    --pos_;
    return Fail();
  }
  type.decl.clear();
  for (char c : w) type.decl.push_back(Upper(c));
  if (type.decl == "INTEGER") type.decl = "INT";
  if (type.decl == "DEC") type.decl = "DECIMAL";
  type.national = type.decl == "NCHAR" || type.decl == "NVARCHAR" || type.decl == "NTEXT";
  type.max = type.decl == "TEXT" || type.decl == "NTEXT" || type.decl == "IMAGE";  // no width: as (max)
  if (AcceptOp("(")) {
    const Token& n = Peek();
    if (n.type == Tok::Number) {
      type.length = std::strtol(std::string(n.text).c_str(), nullptr, 10);
      type.decl += "(" + std::string(n.text);
    } else if (n.type == Tok::Word && n.kw == Kw::Max) {
      type.max = true;
    } else {
      return Fail();
    }
    ++pos_;
    if (AcceptOp(",")) {  // decimal(p, s)
      if (Peek().type != Tok::Number) return Fail();
      type.decl += "," + std::string(Peek().text);
      type.scale = static_cast<int>(std::strtol(std::string(Peek().text).c_str(), nullptr, 10));
      ++pos_;
    }
    if (!ExpectOp(")")) return false;
    if (!type.max) type.decl += ")";
  }
  if (type.kind == Type::Kind::Decimal && type.length >= 0 && type.decl.find("MONEY") == std::string::npos) {
    if (type.length < 1 || type.length > 38) {
      FailWith(Raised<Err::PrecisionOverMax>(std::to_string(type.length)));
      return false;
    }
    if (type.scale > type.length) {
      FailWith(Raised<Err::ScaleOverPrecision>());
      return false;
    }
  }
  if (type.kind == Type::Kind::Datetime2 || type.kind == Type::Kind::Time) {
    if (type.length > 7) return FailAt(t.text);
    if (type.length < 0) type.length = 7;
  }
  return true;
}

std::string Translator::ExprType(const Type& type) {
  if (type.max &&
      (type.kind == Type::Kind::Char || type.kind == Type::Kind::VarChar || type.kind == Type::Kind::Binary) &&
      type.decl != "TEXT" && type.decl != "NTEXT" && type.decl != "IMAGE") {
    return type.decl + "(MAX)";
  }
  if ((type.kind == Type::Kind::Datetime2 || type.kind == Type::Kind::Time) &&
      type.decl.find('(') == std::string::npos) {
    return type.decl + "(" + std::to_string(type.length) + ")";
  }
  return type.decl;
}

Expr Translator::Convert(const Type& type, const Expr& source, const std::string& style, bool typed_source) {
  Expr out;
  out.type = ExprType(type);
  out.declared = true;
  if (type.kind == Type::Kind::Datetime) out.held = Expr::Held::Datetime;
  if (type.kind == Type::Kind::Decimal) out.held = Expr::Held::Decimal;
  if (ToText(type)) out.collation = source.collation;  // text keeps the collation a clause named
  out.sql = ConvertSql(type, source, style, typed_source);
  return out;
}

std::string Translator::ConvertSql(const Type& type, const Expr& source, const std::string& style, bool typed_source) {
  const std::string& value = source.sql;
  // Only a conversion without a style asks the source's type (and reads the catalog for it).
  const std::string from_type = typed_source && ToText(type) && style.empty() ? TypeOf(source) : std::string();
  switch (type.kind) {
    case Type::Kind::Char:
    case Type::Kind::VarChar: {
      // A datetime2(3) value has a datetime's form; cast to text it keeps its ISO form all the same.
      const SqlType source_type = ParseSqlType(source.type);
      const bool iso = style.empty() && source_type.kind == SqlType::Kind::Datetime2 && source_type.scale == 3 &&
                       source.param == 0 && !source.column;
      // A datetime2, date or time column is stored in its ISO form, which its text is (a
      // datetime2(0) or a date would otherwise read as a datetime, style 0).
      const SqlType::Kind from = ParseSqlType(from_type).kind;
      if (style.empty() &&
          (from == SqlType::Kind::Datetime2 || from == SqlType::Kind::Date || from == SqlType::Kind::Time)) {
        return type.max ? value
                        : "substr(" + value + ", 1, " + std::to_string(type.length < 0 ? 30 : type.length) + ")";
      }
      // -2 stands for (max): the whole value.
      return "ts_to_char(" + value + ", " + (type.max ? std::string("-2") : std::to_string(type.length)) + ", " +
             (iso             ? "121"
              : style.empty() ? "NULL"
                              : style) +
             ", " + (type.kind == Type::Kind::Char ? "1" : "0") + ")";
    }
    case Type::Kind::Datetime:
      return "ts_to_datetime(" + value + ", " + (style.empty() ? "0" : style) + ")";
    case Type::Kind::Date:
      return "substr(ts_to_datetime(" + value + ", " + (style.empty() ? "0" : style) + "), 1, 10)";
    case Type::Kind::Datetime2:
    case Type::Kind::Time:
      return std::string(type.kind == Type::Kind::Time ? "ts_to_time(" : "ts_to_datetime2(") + value + ", " +
             (style.empty() ? "0" : style) + ", " + std::to_string(type.length) + ")";
    case Type::Kind::SmallDatetime:
      return "ts_to_smalldatetime(" + value + ", " + (style.empty() ? "0" : style) + ")";
    case Type::Kind::Int:
      return "ts_to_int(" + value + ", " + SqlString(type.decl) + ")";
    case Type::Kind::Real:
      return "CAST(" + value + " AS REAL)";
    case Type::Kind::Decimal: {
      Exact(source);
      const bool money = type.decl.find("MONEY") != std::string::npos;
      const long precision = money ? (type.decl.rfind("SMALL", 0) == 0 ? 10 : 19) : type.length > 0 ? type.length : 18;
      return "ts_dec(" + value + ", " + std::to_string(precision) + ", " + std::to_string(money ? 4 : type.scale) + ")";
    }
    case Type::Kind::Binary:
      return "CAST(" + value + " AS BLOB)";
  }
  return "";
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
    Type type;
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
    Type type;
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
    if (first->type.empty()) {
      out.qualifier = first->qualifier;
      out.name = first->name;
      out.text_of = first->text_of || row->result == Result::ArgText;
    }
  }
  switch (row->result) {
    case Result::Unknown:
      break;
    case Result::Datetime:
      out.type = "DATETIME";
      out.held = Expr::Held::Datetime;
      break;
    case Result::Decimal:
      out.held = Expr::Held::Decimal;
      break;
    case Result::ArgDecimal:
      out.held = Expr::Held::Decimal;
      out.type = first != nullptr ? first->type : "";
      break;
    case Result::Arg:
      out.type = first != nullptr ? first->type : "";
      break;
    case Result::ArgText:
      // Of a column, the column's text type (TypeOf).
      if (out.name.empty()) out.type = first != nullptr && NationalType(first->type) ? "NVARCHAR" : "VARCHAR";
      break;
    case Result::Int:
      out.type = "INT";
      break;
    case Result::Float:
      out.type = "FLOAT";
      break;
    case Result::VarChar:
      out.type = "VARCHAR";
      break;
    case Result::NVarChar:
      out.type = "NVARCHAR";
      break;
  }
  // A decimal literal handed to a function that keeps decimals exact keeps its digits.
  if (!args.empty() && row->exact_args) Exact(args[0]);
  std::vector<std::string> sql;
  sql.reserve(args.size());
  for (const Expr& arg : args) sql.push_back(arg.sql);
  // REPLICATE of a varchar(max) may reach the longest value, not 8,000 characters.
  if (args.size() == 2 && rule == Rule::Replicate && MaxText(TypeOf(args[0]))) {
    out.sql = "CASE WHEN " + sql[1] + " < 0 THEN NULL ELSE replace(hex(zeroblob(min(" + sql[1] + ", " +
              std::to_string(kMaxValueBytes) + " / max(length(" + sql[0] + "), 1) + 1))), '00', " + sql[0] + ") END";
    return out;
  }
  // An nvarchar other than (max) holds 4,000 characters (8,000 bytes of UTF-16): REPLICATE of one
  // stops there.
  if (args.size() == 2 && rule == Rule::Replicate && NationalType(TypeOf(args[0]))) {
    out.sql = "CASE WHEN " + sql[1] + " < 0 THEN NULL ELSE substr(replace(hex(zeroblob(min(" + sql[1] +
              ", 4000 / max(length(" + sql[0] + "), 1) + 1))), '00', " + sql[0] + "), 1, 4000) END";
    return out;
  }
  // ABS of a bigint: its smallest value alone has no positive one.
  if (args.size() == 1 && rule == Rule::Abs && ParseSqlType(TypeOf(args[0])).kind == SqlType::Kind::BigInt) {
    out.sql = "ts_abs(" + sql[0] + ", 1)";
    return out;
  }
  // DATALENGTH counts the bytes of the value's type: two per UTF-16 unit for nvarchar, one per
  // character of code page 1252, or UTF-8's bytes for a varchar of a UTF-8 collation.
  if (args.size() == 1 && rule == Rule::DataLength) {
    const char* unit = NationalType(TypeOf(args[0])) ? "2" : CodePage1252(collation_) ? "0" : "1";
    out.sql = "ts_datalength(" + sql[0] + ", " + unit + ")";
    return out;
  }
  // DATEADD of a value that is no literal nor parameter keeps a date a date; a text column, like
  // a string, is read as a datetime.
  if (args.size() == 3 && rule == Rule::DateAdd && args[2].param == 0 && !TextType(TypeOf(args[2]))) {
    out.sql = "ts_dateadd(" + sql[0] + ", " + sql[1] + ", " + sql[2] + ", 1)";
    return out;
  }
  out.sql = EmitBuiltin(*row, sql, distinct);
  return out;
}

}  // namespace tsqlite
