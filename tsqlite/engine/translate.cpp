// T-SQL to SQLite translation.
//
// Parameterize() is the hot path (every statement executed): one pass over the text, literals out,
// whitespace and comments folded, no allocation once the caller's Shape has warmed up. Literals
// stay in the shape where SQLite cannot take a parameter or where they decide the translation:
// in CREATE/ALTER/DROP statements, CONVERT styles and type lengths (char(8)), ORDER BY positions.
// Translate() runs once per shape: a small recursive-descent parser that writes SQLite text.
//
// Storage conventions (see translate.h):
// - Table S.T is the SQLite table "S.T", an unqualified name is dbo's; SQLite compares names
//   without regard to case, so QXSYSTEM.Qxs133Bak and qxsystem.qxs133bak are one table. Every
//   table in a FROM list gets its own name as alias (unless the statement names one), so that
//   T.col and S.T.col resolve; UPDATE and DELETE alias their target the same way. Index names
//   become "S.T.name", since SQLite wants them unique per database.
// - Columns keep SQL Server's type names (VARCHAR(8), SMALLINT, DATETIME), which give SQLite the
//   matching affinity; an int key is never declared INTEGER, which SQLite would turn into a row
//   number that fills itself in instead of refusing a NULL.
// - char/varchar columns compare with COLLATE RTRIM: trailing blanks do not count, as in SQL
//   Server; comparisons are case-sensitive (as under a _CS_ or binary collation). A CHECK named
//   tsqlite_len_<column> refuses text longer than the declared width in bytes of UTF-8 (blanks
//   at the end do not count, as SQL Server trims them silently). char(n) values are not padded
//   when stored.
// - datetime values are TEXT 'YYYY-MM-DD hh:mm:ss.fff'; a CHECK named tsqlite_dt_<column>
//   refuses any other form, since a date pasted as plain text would never compare equal to a
//   converted one. CURRENT_TIMESTAMP/GETDATE() are the local time with milliseconds, the same
//   for every row one INSERT or UPDATE writes.
// - Operators whose meaning depends on the run-time type of their operands (+, -, /, %) and all
//   conversions become calls of the ts_* functions registered by RegisterFunctions().
// - CREATE SCHEMA records the schema in tsqlite_schemas; CREATE TABLE in a schema other than dbo
//   that is not recorded fails with SQL Server's 2760.
//
// Not translated (102): variables and control flow (DECLARE, IF, WHILE, EXEC), transactions in
// T-SQL text (the ODBC autocommit attribute and SQLEndTran do that), UPDATE/DELETE with FROM,
// SELECT INTO, views, IDENTITY, date/time types other than datetime, smalldatetime and datetime2.
#include "translate.h"

#include "builtins.h"
#include "lexer.h"

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

namespace tsqlite {
namespace {

// Raw text that is not T-SQL outside a literal ('?' is a parameter marker of ODBC, which this
// driver does not take); written into the key as a byte the translator refuses, so that it can
// never be confused with a literal marker.
constexpr char kForeignByte = '\x01';
constexpr char kMarker = '?';

}  // namespace

// ---- Parameterize ----------------------------------------------------------------------------

void Parameterize(std::string_view s, Shape& out) {
  out.key.clear();
  if (out.key.capacity() < s.size()) out.key.reserve(s.size() + 16);
  size_t nlit = 0;
  auto next_literal = [&]() -> Literal& {
    if (nlit == out.literals.size()) out.literals.emplace_back();
    return out.literals[nlit++];
  };

  // Context that decides whether a literal must stay in the text: DDL cannot take parameters, and
  // ORDER BY 1 names a column. Paren levels below 64 are tracked in bit sets.
  bool ddl = false;
  int depth = 0;
  uint64_t convert_levels = 0;  // levels opened by CONVERT( or by a type's length, as char(8)
  bool opens_convert = false;   // the last word was CONVERT or a type name taking a length
  bool after_by = false;        // the last word was BY
  bool order_by = false;
  int order_depth = 0;
  char prev = 0;  // the last significant character written
  bool pending_space = false;

  for (size_t i = 0;;) {
    const Lexeme t = NextToken(s, i);
    if (t.type == Tok::End) break;
    i = t.offset + t.length;
    const std::string_view text = s.substr(t.offset, t.length);
    if (t.type == Tok::Space || t.type == Tok::Comment) {
      pending_space = true;
      continue;
    }
    if (pending_space && !out.key.empty()) out.key.push_back(' ');
    pending_space = false;

    switch (t.type) {
      case Tok::String:
        if (ddl || !t.closed) {
          out.key.append(text);
        } else {
          Literal& lit = next_literal();
          lit.kind = Literal::Kind::Text;
          lit.text.clear();
          for (size_t k = t.national ? 2 : 1; k + 1 < text.size(); ++k) {
            lit.text.push_back(text[k]);
            if (text[k] == '\'') ++k;  // '' stands for one quote
          }
          out.key.push_back(kMarker);
        }
        prev = '\'';
        opens_convert = after_by = false;
        break;
      case Tok::Number: {
        bool keep = ddl || t.hex || after_by || (order_by && prev == ',' && depth == order_depth);
        if (!keep && depth < 64 && (convert_levels >> depth & 1) && (prev == ',' || prev == '(')) {
          // A CONVERT style or a type length: the literal belongs to the statement's shape.
          Lexeme after = NextToken(s, i);
          if (after.type == Tok::Space) after = NextToken(s, after.offset + after.length);
          keep = after.type == Tok::Op && (s[after.offset] == ')' || s[after.offset] == ',');
        }
        if (keep) {
          out.key.append(text);
        } else {
          Literal& lit = next_literal();
          int64_t v = 0;
          bool overflow = t.real;
          for (size_t k = 0; k < text.size() && !overflow; ++k) {
            overflow = __builtin_mul_overflow(v, 10, &v) || __builtin_add_overflow(v, text[k] - '0', &v);
          }
          if (overflow) {
            char buf[64];
            const size_t len = std::min(text.size(), sizeof buf - 1);
            std::memcpy(buf, text.data(), len);
            buf[len] = 0;
            lit.kind = Literal::Kind::Real;
            lit.real = std::strtod(buf, nullptr);
          } else {
            lit.kind = Literal::Kind::Integer;
            lit.integer = v;
          }
          out.key.push_back(kMarker);
        }
        prev = '0';
        opens_convert = after_by = false;
        break;
      }
      case Tok::Word:
      case Tok::Variable: {
        out.key.append(text);
        after_by = WordIs(text, "BY");
        if (after_by) {
          order_by = true;
          order_depth = depth;
        }
        opens_convert = WordIs(text, "CONVERT") || WordIs(text, "CHAR") || WordIs(text, "VARCHAR") ||
                        WordIs(text, "NCHAR") || WordIs(text, "NVARCHAR") || WordIs(text, "DECIMAL") ||
                        WordIs(text, "NUMERIC");
        if (depth == 0 && text.size() >= 2 && text.size() <= 8) {
          if (WordIs(text, "CREATE") || WordIs(text, "ALTER") || WordIs(text, "DROP")) {
            ddl = true;
            order_by = false;
          } else if (WordIs(text, "SELECT") || WordIs(text, "INSERT") || WordIs(text, "UPDATE") ||
                     WordIs(text, "DELETE") || WordIs(text, "SET") || WordIs(text, "USE") ||
                     WordIs(text, "PRINT") || WordIs(text, "GO") || WordIs(text, "UNION")) {
            ddl = false;
            order_by = false;
          }
        }
        prev = 'a';
        break;
      }
      case Tok::Quoted:  // copied as it stands
        out.key.append(text);
        prev = 'a';
        opens_convert = after_by = false;
        break;
      case Tok::Op:
        if (text == "(") {
          ++depth;
          if (depth < 64) {
            if (opens_convert) {
              convert_levels |= uint64_t{1} << depth;
            } else {
              convert_levels &= ~(uint64_t{1} << depth);
            }
          }
        } else if (text == ")") {
          if (depth > 0) --depth;
          if (depth < order_depth) order_by = false;
        }
        out.key.append(text);
        prev = text.back();
        opens_convert = after_by = false;
        break;
      default:  // Marker, Foreign: never taken for a literal marker
        for (char c : text) out.key.push_back(c == kMarker ? kForeignByte : c);
        prev = text.back();
        opens_convert = after_by = false;
        break;
    }
  }
  out.literals.resize(nlit);
}

// ---- the emitted text ------------------------------------------------------------------------

bool IsOneSqliteStatement(std::string_view sql) {
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      size_t j = i + 1;
      for (;; ++j) {
        if (j >= sql.size()) return false;  // an open quote swallows the rest
        if (sql[j] != close) continue;
        if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
          ++j;  // a doubled quote stands for itself
          continue;
        }
        break;
      }
      i = j;
    } else if (c == ';' || (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') ||
               (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*')) {
      return false;
    }
  }
  return true;
}

// ---- Translate -------------------------------------------------------------------------------

namespace {

// A token of the shape key as the parser reads it.
struct Token {
  Tok type = Tok::End;
  std::string_view text;  // Quoted: without the brackets/quotes; String: with its quotes
  int literal = -1;       // Param: index into Shape::literals
};

// Words that end an expression or a name list where T-SQL would otherwise take them as an alias.
bool IsReserved(std::string_view w) {
  static const char* const kWords[] = {
      "SELECT",  "FROM",      "WHERE",      "GROUP",    "ORDER",    "HAVING",   "UNION",
      "EXCEPT",  "INTERSECT", "INSERT",     "UPDATE",   "DELETE",   "CREATE",   "ALTER",
      "DROP",    "SET",       "USE",        "PRINT",    "GO",       "ON",       "JOIN",
      "INNER",   "LEFT",      "RIGHT",      "FULL",     "CROSS",    "OUTER",    "AS",
      "AND",     "OR",        "NOT",        "NULL",     "IS",       "IN",       "LIKE",
      "BETWEEN", "EXISTS",    "CASE",       "WHEN",     "THEN",     "ELSE",     "END",
      "INTO",    "VALUES",    "BY",         "ASC",      "DESC",     "DISTINCT", "TOP",
      "ALL",     "DECLARE",   "BEGIN",      "COMMIT",   "ROLLBACK", "WITH",     "OPTION",
      "FOR",     "COLLATE",   "ESCAPE",     "DEFAULT",  "PRIMARY",  "FOREIGN",  "CONSTRAINT",
      "CHECK",   "UNIQUE",    "REFERENCES", "IDENTITY", "ADD",      "TRUNCATE", "IF",
      "WHILE",   "EXEC",      "EXECUTE",    "RETURN",   "MERGE",    "OUTPUT",   "GRANT",
      "REVOKE",  "DENY",
  };
  for (const char* k : kWords) {
    if (WordIs(w, k)) return true;
  }
  return false;
}

std::string QuoteName(std::string_view name) {
  std::string q = "\"";
  for (char c : name) {
    q.push_back(c);
    if (c == '"') q.push_back('"');
  }
  q.push_back('"');
  return q;
}

// A schema-qualified object: the schema as written (dbo when none) and the object's name.
struct ObjectName {
  std::string schema;
  std::string name;
  std::string Stored() const { return schema + "." + name; }  // the SQLite table's name
  std::string Quoted() const { return QuoteName(Stored()); }
};

class Translator {
 public:
  Translator(const Shape& shape, Translation& out) : shape_(shape), out_(out) {}

  bool Run() {
    if (!Tokenize()) return false;
    while (!failed_ && Peek().type != Tok::End) {
      if (IsOp(";")) {
        ++pos_;
        continue;
      }
      OneStatement();
    }
    return !failed_;
  }

 private:
  // ---- tokens ----

  bool Tokenize() {
    const std::string_view k = shape_.key;
    int literal = 0;
    for (size_t i = 0;;) {
      const Lexeme l = NextToken(k, i);
      if (l.type == Tok::End) break;
      i = l.offset + l.length;
      const std::string_view text = k.substr(l.offset, l.length);
      Token t;
      t.type = l.type;
      t.text = text;
      switch (l.type) {
        case Tok::Space:
          continue;
        case Tok::Comment:  // Parameterize took every comment out; one here is no T-SQL
          return FailAt(text.substr(0, 2));
        case Tok::Marker:
          t.literal = literal++;
          if (t.literal >= static_cast<int>(shape_.literals.size())) return FailAt(text);
          break;
        case Tok::String:  // kept with its quotes, without the N of N'...'
          if (!l.closed) return FailAt(text);
          if (l.national) t.text = text.substr(1);
          break;
        case Tok::Quoted:  // kept without its brackets or quotes
          if (!l.closed) return FailAt(text);
          t.text = text.substr(1, text.size() - 2);
          break;
        case Tok::Foreign:
          return FailAt(text[0] == kForeignByte ? std::string_view("?") : text.substr(0, 1));
        default:
          break;
      }
      tokens_.push_back(t);
    }
    tokens_.push_back(Token{});
    return true;
  }

  const Token& Peek(size_t ahead = 0) const {
    const size_t at = pos_ + ahead;
    return at < tokens_.size() ? tokens_[at] : tokens_.back();
  }
  bool IsOp(std::string_view op, size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.type == Tok::Op && t.text == op;
  }
  bool IsWord(std::string_view upper, size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.type == Tok::Word && WordIs(t.text, upper);
  }
  bool AcceptOp(std::string_view op) {
    if (!IsOp(op)) return false;
    ++pos_;
    return true;
  }
  bool AcceptWord(std::string_view upper) {
    if (!IsWord(upper)) return false;
    ++pos_;
    return true;
  }
  bool ExpectOp(std::string_view op) { return AcceptOp(op) || Fail(); }
  bool ExpectWord(std::string_view upper) { return AcceptWord(upper) || Fail(); }

  // ---- errors ----

  // Every recursive step of the parser (a nested expression, subquery, sign or NOT) holds one
  // of these; past kMaxNesting levels the statement fails with SQL Server's 191 instead of
  // running the process out of stack, whatever the size of the text.
  static constexpr int kMaxNesting = 128;
  struct Nesting {
    explicit Nesting(Translator& t) : translator(t) {
      if (++translator.nesting_ > kMaxNesting) translator.FailNesting();
    }
    ~Nesting() { --translator.nesting_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;
    Translator& translator;
  };

  // An error of SQL Server's other than a syntax error (195, 174, ...); returns "" for the
  // expression being built.
  std::string FailWith(int native, const std::string& message) {
    if (!failed_) {
      failed_ = true;
      out_.native_error = native;
      out_.sqlstate = "42000";
      out_.message = message;
    }
    return "";
  }

  void FailNesting() { FailWith(191, kNestedTooDeeply); }

  // SQL Server names the token it stumbled on; a literal shows its value.
  bool Fail() {
    if (failed_) return false;
    size_t at = pos_;
    if (Peek().type == Tok::End && at > 0) at = tokens_.size() >= 2 ? tokens_.size() - 2 : 0;
    const Token& t = at < tokens_.size() ? tokens_[at] : tokens_.back();
    std::string near;
    switch (t.type) {
      case Tok::Marker: {
        const Literal& l = shape_.literals[static_cast<size_t>(t.literal)];
        if (l.kind == Literal::Kind::Real) {
          char buf[32];
          std::snprintf(buf, sizeof buf, "%.15g", l.real);
          near = buf;
        } else {
          near = l.kind == Literal::Kind::Text ? l.text : std::to_string(l.integer);
        }
        break;
      }
      case Tok::String:
        near = std::string(t.text.substr(t.text.size() >= 2 ? 1 : 0,
                                         t.text.size() >= 2 ? t.text.size() - 2 : t.text.size()));
        break;
      default:
        near = std::string(t.text);
    }
    return FailAt(near);
  }

  bool FailAt(std::string_view near) {
    if (!failed_) {
      failed_ = true;
      out_.native_error = 102;
      out_.sqlstate = "42000";
      out_.message = "Incorrect syntax near '" + std::string(near) + "'.";
    }
    return false;
  }

  // ---- output ----

  std::string Param(int literal) {
    for (size_t k = 0; k < params_.size(); ++k) {
      if (params_[k] == literal) return "?" + std::to_string(k + 1);
    }
    params_.push_back(literal);
    return "?" + std::to_string(params_.size());
  }

  void Emit(Statement::Kind kind, std::string sql, bool update_or_delete = false) {
    if (!IsOneSqliteStatement(sql)) {
      // Nothing the parser accepted may leave as a comment or a second statement; should the
      // emitted text ever read differently, the statement is refused rather than run.
      failed_ = true;
      out_.native_error = 8624;
      out_.sqlstate = "42000";
      out_.message = "Internal Query Processor Error: The query processor could not produce a query plan.";
      return;
    }
    Statement st;
    st.kind = kind;
    st.sql = std::move(sql);
    st.params = std::move(params_);
    st.is_update_or_delete = update_or_delete;
    st.verb = verb_;
    st.target = target_;
    params_.clear();
    out_.statements.push_back(std::move(st));
  }

  // A column, alias or other simple name, quoted only where SQLite needs it.
  static std::string Name(const Token& t) {
    if (t.type == Tok::Word) {
      bool plain = !t.text.empty() && !IsDigit(static_cast<unsigned char>(t.text[0]));
      for (unsigned char c : t.text) plain = plain && (IsAlpha(c) || IsDigit(c) || c == '_');
      if (plain && !sqlite3_keyword_check(t.text.data(), static_cast<int>(t.text.size()))) {
        return std::string(t.text);
      }
      return QuoteName(t.text);
    }
    // Quoted: undo the doubling of the closing character, then quote for SQLite.
    std::string raw;
    for (size_t i = 0; i < t.text.size(); ++i) {
      raw.push_back(t.text[i]);
      if ((t.text[i] == ']' || t.text[i] == '"') && i + 1 < t.text.size() &&
          t.text[i + 1] == t.text[i])
        ++i;
    }
    return QuoteName(raw);
  }

  static std::string RawName(const Token& t) {
    std::string raw;
    for (size_t i = 0; i < t.text.size(); ++i) {
      raw.push_back(t.text[i]);
      if (t.type == Tok::Quoted && (t.text[i] == ']' || t.text[i] == '"') &&
          i + 1 < t.text.size() && t.text[i + 1] == t.text[i]) {
        ++i;
      }
    }
    return raw;
  }

  bool IsNameToken(size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.type == Tok::Quoted || (t.type == Tok::Word && !IsReserved(t.text));
  }

  bool ExpectName(Token& t) {
    if (!IsNameToken()) return Fail();
    t = Peek();
    ++pos_;
    return true;
  }

  // [server.][database.][schema.]object
  bool ParseObjectName(ObjectName& obj) {
    std::vector<std::string> parts;
    Token t;
    if (!ExpectName(t)) return false;
    parts.push_back(RawName(t));
    while (IsOp(".")) {
      ++pos_;
      if (IsOp(".")) {  // db..table: the default schema
        parts.push_back("dbo");
        continue;
      }
      if (!ExpectName(t)) return false;
      parts.push_back(RawName(t));
    }
    if (parts.size() > 4) return Fail();
    obj.name = parts.back();
    obj.schema = parts.size() >= 2 ? parts[parts.size() - 2] : "dbo";
    return true;
  }

  // ---- statements ----

  void OneStatement() {
    // The statement's verb is its first word; the batch's verb is its first statement's, known
    // even when the rest of the statement fails to parse.
    const Token& first = Peek();
    verb_.clear();
    target_.clear();
    if (first.type == Tok::Word) {
      for (char c : first.text) verb_.push_back(Upper(c));
      if (WordIs(first.text, "TRUNCATE")) verb_ = "DELETE";  // emptied as a DELETE would
    } else if (IsOp("(") && IsWord("SELECT", 1)) {
      verb_ = "SELECT";
    }
    if (out_.statements.empty() && out_.verb.empty()) out_.verb = verb_;
    if (IsWord("SELECT") || (IsOp("(") && IsWord("SELECT", 1))) {
      std::string sql = QueryExpression();
      if (!failed_) Emit(Statement::Kind::Query, std::move(sql));
    } else if (AcceptWord("INSERT")) {
      Insert();
    } else if (AcceptWord("UPDATE")) {
      Update();
    } else if (AcceptWord("DELETE")) {
      Delete();
    } else if (AcceptWord("CREATE")) {
      Create();
    } else if (AcceptWord("DROP")) {
      Drop();
    } else if (AcceptWord("ALTER")) {
      Alter();
    } else if (AcceptWord("SET")) {
      Set();
    } else if (AcceptWord("USE")) {
      Token t;
      if (ExpectName(t)) Emit(Statement::Kind::NoOp, "");
    } else if (AcceptWord("PRINT")) {
      Expression();
      if (!failed_) {
        params_.clear();
        Emit(Statement::Kind::NoOp, "");
      }
    } else if (AcceptWord("GO")) {
      Emit(Statement::Kind::NoOp, "");
    } else if (AcceptWord("TRUNCATE")) {
      ObjectName table;
      if (ExpectWord("TABLE") && ParseObjectName(table)) {
        target_ = table.Stored();
        Emit(Statement::Kind::Ddl, "DELETE FROM " + table.Quoted());
      }
    } else {
      Fail();
    }
  }

  void Set() {
    if (AcceptWord("DATEFIRST")) {
      const Token& t = Peek();
      if (t.type != Tok::Marker) {
        Fail();
        return;
      }
      ++pos_;
      Emit(Statement::Kind::SetDateFirst, "");
      out_.statements.back().date_first_param = t.literal;
      return;
    }
    // Session options that make no difference here: SET NOCOUNT ON, SET ANSI_NULLS ON, ...
    static const char* const kOnOff[] = {"NOCOUNT",
                                         "ANSI_NULLS",
                                         "ANSI_PADDING",
                                         "ANSI_WARNINGS",
                                         "QUOTED_IDENTIFIER",
                                         "ARITHABORT",
                                         "XACT_ABORT",
                                         "CONCAT_NULL_YIELDS_NULL",
                                         "ANSI_NULL_DFLT_ON",
                                         "NUMERIC_ROUNDABORT",
                                         "IMPLICIT_TRANSACTIONS",
                                         "TEXTSIZE"};
    for (const char* option : kOnOff) {
      if (AcceptWord(option)) {
        if (AcceptWord("ON") || AcceptWord("OFF") || Peek().type == Tok::Marker) {
          if (Peek().type == Tok::Marker) ++pos_;
          Emit(Statement::Kind::NoOp, "");
          return;
        }
        Fail();
        return;
      }
    }
    if (AcceptWord("LANGUAGE") || AcceptWord("DATEFORMAT")) {
      if (Peek().type == Tok::Word || Peek().type == Tok::Quoted || Peek().type == Tok::Marker) {
        ++pos_;
        Emit(Statement::Kind::NoOp, "");
        return;
      }
    }
    Fail();
  }

  void Insert() {
    AcceptWord("INTO");
    ObjectName obj;
    if (!ParseObjectName(obj)) return;
    target_ = obj.Stored();
    std::string sql = "INSERT INTO " + obj.Quoted();
    if (IsOp("(") && !IsWord("SELECT", 1)) {
      ++pos_;
      sql += " (";
      for (bool first = true;; first = false) {
        Token t;
        if (!ExpectName(t)) return;
        if (!first) sql += ", ";
        sql += Name(t);
        if (AcceptOp(")")) break;
        if (!ExpectOp(",")) return;
      }
      sql += ")";
    }
    if (AcceptWord("VALUES")) {
      sql += " VALUES ";
      for (bool first_row = true;; first_row = false) {
        if (!ExpectOp("(")) return;
        sql += first_row ? "(" : ", (";
        for (bool first = true;; first = false) {
          if (!first) sql += ", ";
          if (AcceptWord("DEFAULT")) return (void)Fail();  // SQLite has no DEFAULT in VALUES
          sql += Expression();
          if (failed_) return;
          if (AcceptOp(")")) break;
          if (!ExpectOp(",")) return;
        }
        sql += ")";
        if (!AcceptOp(",")) break;
      }
    } else if (IsWord("SELECT") || IsOp("(")) {
      sql += " " + QueryExpression();
    } else if (AcceptWord("DEFAULT")) {
      if (!ExpectWord("VALUES")) return;
      sql += " DEFAULT VALUES";
    } else {
      Fail();
      return;
    }
    if (!failed_) Emit(Statement::Kind::Write, std::move(sql));
  }

  // The target carries its own name as alias, so that Table.Column and Schema.Table.Column work.
  void Update() {
    ObjectName obj;
    if (!ParseObjectName(obj)) return;
    target_ = obj.Stored();
    std::string sql = "UPDATE " + obj.Quoted() + " AS " + QuoteName(obj.name) + " SET ";
    if (!ExpectWord("SET")) return;
    for (bool first = true;; first = false) {
      Token t;
      if (!ExpectName(t)) return;
      while (AcceptOp(".")) {  // Table.Column = ...: SQLite takes the bare column
        if (!ExpectName(t)) return;
      }
      if (!ExpectOp("=")) return;
      if (!first) sql += ", ";
      sql += Name(t) + " = " + Expression();
      if (failed_) return;
      if (!AcceptOp(",")) break;
    }
    if (AcceptWord("WHERE")) sql += " WHERE " + Expression();
    if (!failed_) Emit(Statement::Kind::Write, std::move(sql), true);
  }

  void Delete() {
    AcceptWord("FROM");
    ObjectName obj;
    if (!ParseObjectName(obj)) return;
    target_ = obj.Stored();
    std::string sql = "DELETE FROM " + obj.Quoted() + " AS " + QuoteName(obj.name);
    if (AcceptWord("WHERE")) sql += " WHERE " + Expression();
    if (!failed_) Emit(Statement::Kind::Write, std::move(sql), true);
  }

  // ---- queries ----

  // SELECT ... [UNION [ALL] SELECT ...] [ORDER BY ...], TOP n as LIMIT.
  std::string QueryExpression() {
    Nesting nesting(*this);
    if (failed_) return "";
    std::string sql;
    std::string limit;
    bool first = true;
    for (;;) {
      if (AcceptOp("(")) {
        sql += "SELECT * FROM (" + QueryExpression() + ")";
        if (!ExpectOp(")")) return "";
      } else {
        sql += SelectCore(first ? &limit : nullptr);
      }
      if (failed_) return "";
      first = false;
      if (AcceptWord("UNION")) {
        sql += AcceptWord("ALL") ? " UNION ALL " : " UNION ";
      } else if (AcceptWord("EXCEPT")) {
        sql += " EXCEPT ";
      } else if (AcceptWord("INTERSECT")) {
        sql += " INTERSECT ";
      } else {
        break;
      }
    }
    if (AcceptWord("ORDER")) {
      if (!ExpectWord("BY")) return "";
      sql += " ORDER BY ";
      for (bool first_item = true;; first_item = false) {
        if (!first_item) sql += ", ";
        sql += Expression();
        if (AcceptWord("ASC")) {
          sql += " ASC";
        } else if (AcceptWord("DESC")) {
          sql += " DESC";
        }
        if (!AcceptOp(",")) break;
      }
    }
    if (!limit.empty()) sql += " LIMIT " + limit;
    return failed_ ? "" : sql;
  }

  std::string SelectCore(std::string* limit) {
    if (!ExpectWord("SELECT")) return "";
    std::string sql = "SELECT ";
    if (AcceptWord("DISTINCT")) {
      sql += "DISTINCT ";
    } else {
      AcceptWord("ALL");
    }
    if (AcceptWord("TOP")) {
      if (!limit) return Fail(), "";
      if (AcceptOp("(")) {
        *limit = Expression();
        if (!ExpectOp(")")) return "";
      } else {
        *limit = Primary();
      }
      if (IsWord("PERCENT")) return Fail(), "";
    }
    for (bool first = true;; first = false) {
      if (!first) sql += ", ";
      sql += SelectItem();
      if (failed_) return "";
      if (!AcceptOp(",")) break;
    }
    if (AcceptWord("FROM")) sql += " FROM " + FromList();
    if (AcceptWord("WHERE")) sql += " WHERE " + Expression();
    if (AcceptWord("GROUP")) {
      if (!ExpectWord("BY")) return "";
      sql += " GROUP BY ";
      for (bool first = true;; first = false) {
        if (!first) sql += ", ";
        sql += Expression();
        if (!AcceptOp(",")) break;
      }
    }
    if (AcceptWord("HAVING")) sql += " HAVING " + Expression();
    return failed_ ? "" : sql;
  }

  std::string SelectItem() {
    if (AcceptOp("*")) return "*";
    // qualifier.* (the last qualifier part is the table's alias)
    {
      size_t k = 0;
      while (IsNameToken(k) && IsOp(".", k + 1)) k += 2;
      if (k > 0 && IsOp("*", k)) {
        const Token& alias = Peek(k - 2);
        pos_ += k + 1;
        return Name(alias) + ".*";
      }
    }
    // alias = expression
    if (IsNameToken() && IsOp("=", 1)) {
      const Token alias = Peek();
      pos_ += 2;
      return Expression() + " AS " + QuoteName(RawName(alias));
    }
    const size_t from = pos_;
    std::string e = Expression();
    if (failed_) return "";
    if (AcceptWord("AS")) {
      const Token& t = Peek();
      if (t.type == Tok::Word || t.type == Tok::Quoted) {
        ++pos_;
        return e + " AS " + QuoteName(RawName(t));
      }
      if (t.type == Tok::String) {  // AS 'alias'
        ++pos_;
        return e + " AS " + QuoteName(t.text.substr(1, t.text.size() - 2));
      }
      return Fail(), "";
    }
    if (IsNameToken()) {
      const Token& t = Peek();
      ++pos_;
      return e + " AS " + QuoteName(RawName(t));
    }
    // SQL Server gives a computed column no name; SQLite would name it after its text.
    bool plain_column = true;
    for (size_t k = from; k < pos_; ++k) {
      const Tok type = tokens_[k].type;
      plain_column = plain_column && (type == Tok::Word || type == Tok::Quoted ||
                                      (type == Tok::Op && tokens_[k].text == "."));
    }
    return plain_column ? e : e + " AS \"\"";
  }

  std::string FromList() {
    std::string sql;
    for (bool first = true;; first = false) {
      if (!first) sql += ", ";
      sql += TableSource();
      if (failed_) return "";
      for (;;) {  // joins
        std::string join;
        if (AcceptWord("JOIN")) {
          join = " JOIN ";
        } else if (IsWord("INNER") && IsWord("JOIN", 1)) {
          pos_ += 2;
          join = " JOIN ";
        } else if (IsWord("LEFT") || IsWord("RIGHT") || IsWord("FULL")) {
          const std::string side(Upper(Peek().text[0]) == 'L'   ? "LEFT"
                                 : Upper(Peek().text[0]) == 'R' ? "RIGHT"
                                                                : "FULL");
          ++pos_;
          AcceptWord("OUTER");
          if (!ExpectWord("JOIN")) return "";
          join = " " + side + " JOIN ";
        } else if (IsWord("CROSS") && IsWord("JOIN", 1)) {
          pos_ += 2;
          sql += " CROSS JOIN " + TableSource();
          continue;
        } else {
          break;
        }
        sql += join + TableSource();
        if (!ExpectWord("ON")) return "";
        sql += " ON " + Expression();
        if (failed_) return "";
      }
      if (!AcceptOp(",")) break;
    }
    return failed_ ? "" : sql;
  }

  // A table is always given an alias, its own name unless the statement names one, so that
  // columns qualified with the table's name or its schema-qualified name resolve.
  std::string TableSource() {
    std::string sql;
    std::string alias;
    if (AcceptOp("(")) {
      sql = "(" + QueryExpression() + ")";
      if (!ExpectOp(")")) return "";
    } else {
      ObjectName obj;
      if (!ParseObjectName(obj)) return "";
      sql = obj.Quoted();
      alias = obj.name;
    }
    if (AcceptWord("AS")) {
      Token t;
      if (!ExpectName(t)) return "";
      alias = RawName(t);
    } else if (IsNameToken()) {
      alias = RawName(Peek());
      ++pos_;
    }
    if (IsWord("WITH") && IsOp("(", 1)) {  // table hints such as WITH (NOLOCK)
      pos_ += 2;
      while (Peek().type != Tok::End && !IsOp(")")) ++pos_;
      if (!ExpectOp(")")) return "";
    }
    if (alias.empty()) return Fail(), "";
    return sql + " AS " + QuoteName(alias);
  }

  // ---- expressions ----

  std::string Expression() {
    Nesting nesting(*this);
    if (failed_) return "";
    return OrExpr();
  }

  // A chain of terms joined by one operator, grouped as a balanced tree: SQLite's parser and its
  // expression depth limit see log(n) levels, so conditions of thousands of OR terms still run.
  // AND and OR are associative in three-valued logic and the terms keep their order.
  static std::string Chain(const std::vector<std::string>& terms, size_t lo, size_t hi, const char* op) {
    if (hi - lo == 1) return terms[lo];
    std::string out = "(";
    if (hi - lo <= 8) {
      for (size_t i = lo; i < hi; ++i) out += (i == lo ? "" : op) + terms[i];
    } else {
      const size_t mid = lo + (hi - lo) / 2;
      out += Chain(terms, lo, mid, op) + op + Chain(terms, mid, hi, op);
    }
    return out + ")";
  }

  std::string OrExpr() {
    std::vector<std::string> terms{AndExpr()};
    while (!failed_ && AcceptWord("OR")) terms.push_back(AndExpr());
    return failed_ ? "" : Chain(terms, 0, terms.size(), " OR ");
  }

  std::string AndExpr() {
    std::vector<std::string> terms{NotExpr()};
    while (!failed_ && AcceptWord("AND")) terms.push_back(NotExpr());
    return failed_ ? "" : Chain(terms, 0, terms.size(), " AND ");
  }

  std::string NotExpr() {
    if (AcceptWord("NOT")) {
      Nesting nesting(*this);
      if (failed_) return "";
      return "NOT (" + NotExpr() + ")";
    }
    return Predicate();
  }

  std::string Predicate() {
    if (AcceptWord("EXISTS")) {
      if (!ExpectOp("(")) return "";
      std::string q = QueryExpression();
      if (!ExpectOp(")")) return "";
      return "EXISTS (" + q + ")";
    }
    std::string l = Additive();
    if (failed_) return "";
    static const char* const kCompare[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    for (const char* op : kCompare) {
      if (AcceptOp(op)) {
        std::string sop = op;
        if (sop == "!<") sop = ">=";
        if (sop == "!>") sop = "<=";
        return "(" + l + " " + sop + " " + Additive() + ")";
      }
    }
    if (AcceptWord("IS")) {
      const bool neg = AcceptWord("NOT");
      if (!ExpectWord("NULL")) return "";
      return "(" + l + (neg ? " IS NOT NULL)" : " IS NULL)");
    }
    const bool neg =
        IsWord("NOT") && (IsWord("BETWEEN", 1) || IsWord("IN", 1) || IsWord("LIKE", 1));
    if (neg) ++pos_;
    const std::string not_ = neg ? " NOT" : "";
    if (AcceptWord("BETWEEN")) {
      std::string lo = Additive();
      if (!ExpectWord("AND")) return "";
      return "(" + l + not_ + " BETWEEN " + lo + " AND " + Additive() + ")";
    }
    if (AcceptWord("IN")) {
      if (!ExpectOp("(")) return "";
      std::string list;
      if (IsWord("SELECT")) {
        list = QueryExpression();
      } else {
        for (bool first = true;; first = false) {
          if (!first) list += ", ";
          list += Expression();
          if (!AcceptOp(",")) break;
        }
      }
      if (!ExpectOp(")")) return "";
      return "(" + l + not_ + " IN (" + list + "))";
    }
    if (AcceptWord("LIKE")) {
      std::string r = "(" + l + not_ + " LIKE " + Additive();
      if (AcceptWord("ESCAPE")) r += " ESCAPE " + Additive();
      return r + ")";
    }
    if (neg) return Fail(), "";
    return l;
  }

  static bool IsNumberText(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s) {
      if (!IsDigit(static_cast<unsigned char>(c)) && c != '.') return false;
    }
    return true;
  }

  // + and - depend on the operands' run-time types (datetime arithmetic, concatenation).
  std::string Additive() {
    std::string l = Multiplicative();
    while (!failed_) {
      if (AcceptOp("+")) {
        std::string r = Multiplicative();
        l = IsNumberText(l) && IsNumberText(r) ? "(" + l + " + " + r + ")"
                                               : "ts_add(" + l + ", " + r + ")";
      } else if (AcceptOp("-")) {
        std::string r = Multiplicative();
        l = IsNumberText(l) && IsNumberText(r) ? "(" + l + " - " + r + ")"
                                               : "ts_sub(" + l + ", " + r + ")";
      } else if (AcceptOp("&")) {
        l = "(" + l + " & " + Multiplicative() + ")";
      } else if (AcceptOp("|")) {
        l = "(" + l + " | " + Multiplicative() + ")";
      } else {
        break;
      }
    }
    return l;
  }

  std::string Multiplicative() {
    std::string l = Unary();
    while (!failed_) {
      if (AcceptOp("*")) {
        l = "(" + l + " * " + Unary() + ")";
      } else if (AcceptOp("/")) {
        l = "ts_div(" + l + ", " + Unary() + ")";
      } else if (AcceptOp("%")) {
        l = "ts_mod(" + l + ", " + Unary() + ")";
      } else {
        break;
      }
    }
    return l;
  }

  std::string Unary() {
    Nesting nesting(*this);
    if (failed_) return "";
    if (AcceptOp("-")) {
      std::string e = Unary();
      // A blank after the sign: "-" followed by an emitted "-1" must never read as a comment.
      return IsNumberText(e) ? "-" + e : "(- " + e + ")";
    }
    if (AcceptOp("+")) return Unary();
    if (AcceptOp("~")) return "(~" + Unary() + ")";
    std::string e = Primary();
    if (!failed_ && AcceptWord("COLLATE")) {
      // A case-insensitive SQL Server collation compares as NOCASE; any other keeps blanks
      // at the end out of the comparison, as every SQL Server collation does.
      Token name;
      if (!ExpectName(name)) return "";
      std::string upper;
      for (char c : RawName(name)) upper.push_back(Upper(c));
      const bool ci = upper.find("_CI") != std::string::npos;
      e = "(" + e + (ci ? " COLLATE NOCASE)" : " COLLATE RTRIM)");
    }
    return e;
  }

  std::string Primary() {
    const Token t = Peek();
    switch (t.type) {
      case Tok::Marker:
        ++pos_;
        return Param(t.literal);
      case Tok::Number:
        ++pos_;
        return std::string(t.text);
      case Tok::String:
        ++pos_;
        return std::string(t.text);
      case Tok::Variable:
        ++pos_;
        if (WordIs(t.text, "@@DATEFIRST")) return "ts_datefirst()";
        if (WordIs(t.text, "@@ROWCOUNT")) return "changes()";
        if (WordIs(t.text, "@@VERSION")) return "'tsqlite " SQLITE_VERSION "'";
        --pos_;
        return Fail(), "";
      case Tok::Op:
        if (AcceptOp("(")) {
          std::string e = IsWord("SELECT") ? QueryExpression() : Expression();
          if (!ExpectOp(")")) return "";
          return "(" + e + ")";
        }
        return Fail(), "";
      case Tok::Word:
      case Tok::Quoted:
        break;
      default:  // End; Space, Comment and Foreign never reach the parser
        return Fail(), "";
    }
    if (t.type == Tok::Word) {
      if (AcceptWord("NULL")) return "NULL";
      if (AcceptWord("CURRENT_TIMESTAMP")) return kNow;
      if (AcceptWord("CASE")) return Case();
      if (IsOp("(", 1)) return Function();
      if (IsReserved(t.text)) return Fail(), "";
    }
    // Column reference: [[schema.]table.]column; the table part is the table's alias.
    std::vector<Token> parts;
    parts.push_back(t);
    ++pos_;
    while (IsOp(".")) {
      ++pos_;
      Token p;
      if (!ExpectName(p)) return "";
      parts.push_back(p);
    }
    if (parts.size() == 1) return Name(parts[0]);
    return Name(parts[parts.size() - 2]) + "." + Name(parts.back());
  }

  std::string Case() {
    std::string sql = "CASE";
    if (!IsWord("WHEN")) sql += " " + Expression();
    while (AcceptWord("WHEN")) {
      sql += " WHEN " + Expression();
      if (!ExpectWord("THEN")) return "";
      sql += " THEN " + Expression();
    }
    if (AcceptWord("ELSE")) sql += " ELSE " + Expression();
    if (!ExpectWord("END")) return "";
    return failed_ ? "" : sql + " END";
  }

  // A type as CONVERT and CAST name it.
  struct Type {
    enum class Kind { Char, VarChar, Datetime, Int, Real } kind = Kind::Int;
    long length = -1;  // -1: none given
    bool max = false;
    std::string decl;  // the type as declared, upper case: VARCHAR(8), SMALLINT, DATETIME
  };

  bool ParseType(Type& type) {
    const Token t = Peek();
    if (t.type != Tok::Word) return Fail();
    ++pos_;
    const std::string_view w = t.text;
    if (WordIs(w, "CHAR") || WordIs(w, "NCHAR") || WordIs(w, "CHARACTER")) {
      type.kind = Type::Kind::Char;
    } else if (WordIs(w, "VARCHAR") || WordIs(w, "NVARCHAR") || WordIs(w, "TEXT") ||
               WordIs(w, "NTEXT")) {
      type.kind = Type::Kind::VarChar;
    } else if (WordIs(w, "DATETIME") || WordIs(w, "SMALLDATETIME") || WordIs(w, "DATETIME2")) {
      type.kind = Type::Kind::Datetime;
    } else if (WordIs(w, "INT") || WordIs(w, "INTEGER") || WordIs(w, "SMALLINT") ||
               WordIs(w, "TINYINT") || WordIs(w, "BIGINT") || WordIs(w, "BIT")) {
      type.kind = Type::Kind::Int;
    } else if (WordIs(w, "FLOAT") || WordIs(w, "REAL") || WordIs(w, "DECIMAL") ||
               WordIs(w, "NUMERIC") || WordIs(w, "MONEY")) {
      type.kind = Type::Kind::Real;
    } else {
      --pos_;
      return Fail();
    }
    type.decl.clear();
    for (char c : w) type.decl.push_back(Upper(c));
    if (type.decl == "INTEGER") type.decl = "INT";
    if (AcceptOp("(")) {
      const Token& n = Peek();
      if (n.type == Tok::Number) {
        type.length = std::strtol(std::string(n.text).c_str(), nullptr, 10);
        type.decl += "(" + std::string(n.text);
      } else if (n.type == Tok::Word && WordIs(n.text, "MAX")) {
        type.max = true;
      } else {
        return Fail();
      }
      ++pos_;
      if (AcceptOp(",")) {  // decimal(p, s)
        if (Peek().type != Tok::Number) return Fail();
        type.decl += "," + std::string(Peek().text);
        ++pos_;
      }
      if (!ExpectOp(")")) return false;
      if (!type.max) type.decl += ")";
    }
    return true;
  }

  std::string Convert(const Type& type, const std::string& value, const std::string& style) {
    switch (type.kind) {
      case Type::Kind::Char:
      case Type::Kind::VarChar:
        return "ts_to_char(" + value + ", " + std::to_string(type.length) + ", " +
               (style.empty() ? "NULL" : style) + ", " +
               (type.kind == Type::Kind::Char ? "1" : "0") + ")";
      case Type::Kind::Datetime:
        return "ts_to_datetime(" + value + ", " + (style.empty() ? "0" : style) + ")";
      case Type::Kind::Int:
        return "ts_to_int(" + value + ")";
      case Type::Kind::Real:
        return "CAST(" + value + " AS REAL)";
    }
    return "";
  }

  // A date part named by a word (day, dd, weekday, ...), passed to the ts_* functions as text.
  std::string DatePartName() {
    static const char* const kParts[] = {
        "YEAR",      "YY", "YYYY",        "QUARTER", "QQ",       "Q",      "MONTH", "MM", "M",
        "DAYOFYEAR", "DY", "Y",           "DAY",     "DD",       "D",      "WEEK",  "WK", "WW",
        "WEEKDAY",   "DW", "W",           "HOUR",    "HH",       "MINUTE", "MI",    "N",  "SECOND",
        "SS",        "S",  "MILLISECOND", "MS",      "ISO_WEEK", "ISOWK",  "ISOWW"};
    const Token& t = Peek();
    if (t.type == Tok::Word) {
      for (const char* p : kParts) {
        if (WordIs(t.text, p)) {
          ++pos_;
          std::string lower(p);
          for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
          return "'" + lower + "'";
        }
      }
    }
    return Fail(), "";
  }

  // A built-in function call, name and '(' next: read as its row in the function table says.
  std::string Function() {
    const Token name = Peek();
    const std::vector<const Builtin*> rows = FindBuiltins(name.text);
    if (rows.empty()) return FailWith(195, "'" + std::string(name.text) + "' is not a recognized built-in function name.");
    pos_ += 2;  // name and '('
    const ArgForm form = rows.front()->form;
    if (form == ArgForm::Convert) {
      Type type;
      if (!ParseType(type) || !ExpectOp(",")) return "";
      std::string value = Expression();
      std::string style;
      if (AcceptOp(",")) style = Expression();
      if (!ExpectOp(")")) return "";
      return Convert(type, value, style);
    }
    if (form == ArgForm::Cast) {
      std::string value = Expression();
      Type type;
      if (!ExpectWord("AS") || !ParseType(type) || !ExpectOp(")")) return "";
      return Convert(type, value, "");
    }
    const bool counts_rows = WordIs(name.text, "COUNT") || WordIs(name.text, "COUNT_BIG");  // COUNT(*)
    std::vector<std::string> args;
    bool distinct = false;
    if (!AcceptOp(")")) {
      if (form == ArgForm::DatePart) {
        args.push_back(DatePartName());
        if (failed_ || !ExpectOp(",")) return "";
      } else if (form == ArgForm::Aggregate) {
        distinct = AcceptWord("DISTINCT");
        if (!distinct) AcceptWord("ALL");
      }
      for (;;) {
        if (counts_rows && args.empty() && !distinct && AcceptOp("*")) {
          args.push_back("*");
        } else {
          args.push_back(Expression());
        }
        if (failed_) return "";
        if (AcceptOp(")")) break;
        if (!ExpectOp(",")) return "";
      }
    }
    const Builtin* row = ForCount(rows, static_cast<int>(args.size()));
    if (row == nullptr) return FailWith(174, ArgumentCountMessage(rows));
    return EmitBuiltin(*row, args, distinct);
  }

  // ---- DDL ----

  // CREATE TABLE in a schema other than dbo fails as on SQL Server when the schema is unknown;
  // schemas are listed in tsqlite_schemas.
  void EnsureSchemaTable() {
    Emit(Statement::Kind::Ddl,
         "CREATE TABLE IF NOT EXISTS tsqlite_schemas (name TEXT PRIMARY KEY COLLATE NOCASE)");
  }

  static std::string SqlString(std::string_view s) {
    std::string q = "'";
    for (char c : s) {
      q.push_back(c);
      if (c == '\'') q.push_back('\'');
    }
    return q + "'";
  }

  void RequireSchema(const std::string& schema) {
    if (WordIs(schema, "DBO")) return;
    EnsureSchemaTable();
    const std::string message = "The specified schema name \"" + schema +
                                "\" either does not exist or you do not have permission to use it.";
    Emit(Statement::Kind::Ddl,
         "INSERT INTO tsqlite_schemas (name) SELECT ts_error(2760, " + SqlString(message) +
             ") WHERE NOT EXISTS (SELECT 1 FROM tsqlite_schemas WHERE name = " + SqlString(schema) +
             ")");
  }

  void Create() {
    if (AcceptWord("SCHEMA")) {
      Token t;
      if (!ExpectName(t)) return;
      const std::string schema = RawName(t);
      if (AcceptWord("AUTHORIZATION")) {
        Token owner;
        if (!ExpectName(owner)) return;
      }
      EnsureSchemaTable();
      const std::string message =
          "There is already an object named '" + schema + "' in the database.";
      Emit(
          Statement::Kind::Ddl,
          "INSERT INTO tsqlite_schemas (name) SELECT CASE WHEN EXISTS (SELECT 1 FROM tsqlite_schemas "
          "WHERE name = " +
              SqlString(schema) + ") OR " + (WordIs(schema, "DBO") ? "1" : "0") +
              " THEN ts_error(2714, " + SqlString(message) + ") ELSE " + SqlString(schema) +
              " END");
      return;
    }
    if (AcceptWord("TABLE")) {
      CreateTable();
      return;
    }
    const bool unique = AcceptWord("UNIQUE");
    if (!AcceptWord("CLUSTERED")) AcceptWord("NONCLUSTERED");
    if (AcceptWord("INDEX")) {
      CreateIndex(unique);
      return;
    }
    Fail();
  }

  // Index names are unique per table on SQL Server but per database in SQLite.
  static std::string IndexName(const ObjectName& table, const std::string& index) {
    return QuoteName(table.schema + "." + table.name + "." + index);
  }

  void CreateIndex(bool unique) {
    Token name;
    if (!ExpectName(name) || !ExpectWord("ON")) return;
    ObjectName table;
    if (!ParseObjectName(table)) return;
    std::string cols = IndexColumns(true);
    if (failed_) return;
    if (AcceptWord("INCLUDE")) IndexColumns(false);  // covering columns: SQLite has none
    std::string filter;
    if (AcceptWord("WHERE")) filter = " WHERE " + Expression();  // a filtered index
    SkipStorageOptions();
    if (failed_) return;
    Emit(Statement::Kind::Ddl, std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " +
                                   IndexName(table, RawName(name)) + " ON " + table.Quoted() +
                                   " (" + cols + ")" + filter);
  }

  // (col [ASC|DESC], ...)
  std::string IndexColumns(bool with_order) {
    if (!ExpectOp("(")) return "";
    std::string cols;
    for (bool first = true;; first = false) {
      Token t;
      if (!ExpectName(t)) return "";
      if (!first) cols += ", ";
      cols += Name(t);
      if (with_order && AcceptWord("ASC")) cols += " ASC";
      if (with_order && AcceptWord("DESC")) cols += " DESC";
      if (AcceptOp(")")) return cols;
      if (!ExpectOp(",")) return "";
    }
  }

  // WITH (...) and ON [filegroup] after a table or an index: storage details without meaning here.
  void SkipStorageOptions() {
    for (;;) {
      if (IsWord("WITH") && IsOp("(", 1)) {
        pos_ += 2;
        int nest = 1;
        while (nest > 0 && Peek().type != Tok::End) {
          if (IsOp("(")) ++nest;
          if (IsOp(")")) --nest;
          ++pos_;
        }
      } else if (IsWord("ON") && (Peek(1).type == Tok::Word || Peek(1).type == Tok::Quoted)) {
        pos_ += 2;
      } else if (IsWord("TEXTIMAGE_ON")) {
        pos_ += 2;
      } else {
        return;
      }
    }
  }

  // The SQLite column type with the additions that give SQL Server's behaviour: text compares
  // without regard to trailing blanks, a char/varchar width refuses longer values (8152), and a
  // datetime column only takes values in the storage form.
  bool ColumnType(const std::string& column, std::string& decl, std::string& checks) {
    Type type;
    const Token t = Peek();
    if (t.type != Tok::Word) return Fail();
    if (!ParseType(type)) return false;
    const std::string quoted = Name(Token{Tok::Word, column, -1});
    // The declared type keeps SQL Server's name, which gives SQLite the matching affinity (TEXT
    // for the char types, INTEGER for the int types; NUMERIC for datetime, which leaves the
    // storage form as text) and lets the catalog and column descriptions show the type. An int
    // column is never declared INTEGER, which would make a primary key SQLite's rowid.
    decl = type.decl;
    switch (type.kind) {
      case Type::Kind::Char:
      case Type::Kind::VarChar:
        decl += " COLLATE RTRIM";
        if (type.length < 0 && !type.max) type.length = 1;  // a column declared char means char(1)
        if (!type.max) {
          // The width counts bytes, as SQL Server's varchar(n) does: a client binds a column
          // into a buffer of n bytes and a terminator, and a longer UTF-8 value would arrive cut
          // in the middle of a character.
          checks += " CONSTRAINT " + QuoteName("tsqlite_len_" + column) + " CHECK (length(CAST(rtrim(" +
                    quoted + ") AS BLOB)) <= " + std::to_string(type.length) + ")";
        }
        break;
      case Type::Kind::Datetime:
        // Values arrive through CONVERT or the current time, both in the storage form; the
        // length catches a date pasted as plain text ('20200101', '2020-01-01'), which would
        // otherwise be stored as it stands and never compare equal to a converted date. A
        // pattern match would be stricter but costs every insert several times as much.
        checks += " CONSTRAINT " + QuoteName("tsqlite_dt_" + column) + " CHECK (length(" + quoted +
                  ") = 23)";
        break;
      case Type::Kind::Int:
      case Type::Kind::Real:
        break;
    }
    return true;
  }

  // REFERENCES table [(cols)] [ON DELETE|UPDATE action]
  std::string References() {
    ObjectName target;
    if (!ParseObjectName(target)) return "";
    std::string sql = " REFERENCES " + target.Quoted();
    if (IsOp("(")) sql += " (" + IndexColumns(false) + ")";
    while (AcceptWord("ON")) {
      std::string event;
      if (AcceptWord("DELETE")) {
        event = " ON DELETE ";
      } else if (AcceptWord("UPDATE")) {
        event = " ON UPDATE ";
      } else {
        return Fail(), "";
      }
      if (AcceptWord("CASCADE")) {
        sql += event + "CASCADE";
      } else if (AcceptWord("NO")) {
        if (!ExpectWord("ACTION")) return "";
        sql += event + "NO ACTION";
      } else if (AcceptWord("SET")) {
        if (AcceptWord("NULL")) {
          sql += event + "SET NULL";
        } else if (AcceptWord("DEFAULT")) {
          sql += event + "SET DEFAULT";
        } else {
          return Fail(), "";
        }
      } else {
        return Fail(), "";
      }
    }
    return failed_ ? "" : sql;
  }

  // DEFAULT value: a constant, parenthesised as SQL Server scripts write it ((0), ('x'),
  // (getdate())).
  std::string DefaultValue(bool for_add_column) {
    const size_t from = pos_;
    std::string e = Expression();
    if (failed_) return "";
    if (for_add_column) {
      // SQLite's ADD COLUMN takes a plain literal only.
      size_t k = from;
      while (k < pos_ && tokens_[k].type == Tok::Op && tokens_[k].text == "(") ++k;
      std::string lit;
      if (k < pos_ && tokens_[k].type == Tok::Op && tokens_[k].text == "-") {
        lit = "-";
        ++k;
      }
      if (k < pos_ && (tokens_[k].type == Tok::Number || tokens_[k].type == Tok::String ||
                       (tokens_[k].type == Tok::Word && WordIs(tokens_[k].text, "NULL")))) {
        std::string_view text = tokens_[k].text;
        if (tokens_[k].type == Tok::String && (text[0] == 'N' || text[0] == 'n'))
          text.remove_prefix(1);
        return " DEFAULT " + lit + std::string(text);
      }
      return Fail(), "";
    }
    return " DEFAULT (" + e + ")";
  }

  // One column definition: name type [constraints]
  std::string ColumnDefinition(bool for_add_column) {
    Token name;
    if (!ExpectName(name)) return "";
    const std::string column = RawName(name);
    std::string decl, checks;
    if (!ColumnType(column, decl, checks)) return "";
    std::string sql = Name(name) + " " + decl;
    std::string constraint_name;
    for (;;) {
      if (AcceptWord("CONSTRAINT")) {
        Token cn;
        if (!ExpectName(cn)) return "";
        constraint_name = " CONSTRAINT " + QuoteName(RawName(cn));
        continue;
      }
      if (IsWord("NOT") && IsWord("NULL", 1)) {
        pos_ += 2;
        sql += " NOT NULL";
      } else if (AcceptWord("NULL")) {
        // nullable is the default
      } else if (AcceptWord("DEFAULT")) {
        sql += constraint_name + DefaultValue(for_add_column);
      } else if (IsWord("PRIMARY") && IsWord("KEY", 1)) {
        pos_ += 2;
        if (!AcceptWord("CLUSTERED")) AcceptWord("NONCLUSTERED");
        sql += constraint_name + " PRIMARY KEY";
      } else if (AcceptWord("UNIQUE")) {
        if (!AcceptWord("CLUSTERED")) AcceptWord("NONCLUSTERED");
        sql += constraint_name + " UNIQUE";
      } else if (AcceptWord("CHECK")) {
        if (!ExpectOp("(")) return "";
        std::string e = Expression();
        if (!ExpectOp(")")) return "";
        sql += constraint_name + " CHECK (" + e + ")";
      } else if (IsWord("FOREIGN") && IsWord("KEY", 1)) {
        pos_ += 2;
        if (!ExpectWord("REFERENCES")) return "";
        sql += constraint_name + References();
      } else if (AcceptWord("REFERENCES")) {
        sql += constraint_name + References();
      } else if (AcceptWord("COLLATE")) {
        Token collation;  // the column keeps the collation that matches SQL Server's default
        if (!ExpectName(collation)) return "";
      } else {
        break;
      }
      constraint_name.clear();
      if (failed_) return "";
    }
    return failed_ ? "" : sql + checks;
  }

  // [CONSTRAINT name] PRIMARY KEY|UNIQUE (cols) | FOREIGN KEY (cols) REFERENCES ... | CHECK (expr)
  bool IsTableConstraint() const {
    return IsWord("CONSTRAINT") || (IsWord("PRIMARY") && IsWord("KEY", 1)) ||
           (IsWord("FOREIGN") && IsWord("KEY", 1)) ||
           (IsWord("UNIQUE") &&
            (IsOp("(", 1) || IsWord("CLUSTERED", 1) || IsWord("NONCLUSTERED", 1))) ||
           IsWord("CHECK");
  }

  std::string TableConstraint() {
    std::string sql;
    if (AcceptWord("CONSTRAINT")) {
      Token cn;
      if (!ExpectName(cn)) return "";
      sql = "CONSTRAINT " + QuoteName(RawName(cn)) + " ";
    }
    if (IsWord("PRIMARY") && IsWord("KEY", 1)) {
      pos_ += 2;
      if (!AcceptWord("CLUSTERED")) AcceptWord("NONCLUSTERED");
      sql += "PRIMARY KEY (" + IndexColumns(true) + ")";
    } else if (AcceptWord("UNIQUE")) {
      if (!AcceptWord("CLUSTERED")) AcceptWord("NONCLUSTERED");
      sql += "UNIQUE (" + IndexColumns(true) + ")";
    } else if (IsWord("FOREIGN") && IsWord("KEY", 1)) {
      pos_ += 2;
      sql += "FOREIGN KEY (" + IndexColumns(false) + ")";
      if (!ExpectWord("REFERENCES")) return "";
      sql += References();
    } else if (AcceptWord("CHECK")) {
      if (!ExpectOp("(")) return "";
      std::string e = Expression();
      if (!ExpectOp(")")) return "";
      sql += "CHECK (" + e + ")";
    } else {
      return Fail(), "";
    }
    return failed_ ? "" : sql;
  }

  void CreateTable() {
    ObjectName table;
    if (!ParseObjectName(table) || !ExpectOp("(")) return;
    std::vector<std::string> columns, constraints;
    for (;;) {
      if (IsTableConstraint()) {
        constraints.push_back(TableConstraint());
      } else {
        columns.push_back(ColumnDefinition(false));
      }
      if (failed_) return;
      if (AcceptOp(")")) break;
      if (!ExpectOp(",")) return;
      if (IsOp(")")) {  // a trailing comma, which SQL Server accepts
        ++pos_;
        break;
      }
    }
    SkipStorageOptions();
    if (failed_) return;
    std::string sql = "CREATE TABLE " + table.Quoted() + " (";
    bool first = true;
    for (const auto* list : {&columns, &constraints}) {
      for (const std::string& item : *list) {
        if (!first) sql += ", ";
        sql += item;
        first = false;
      }
    }
    sql += ")";
    RequireSchema(table.schema);
    Emit(Statement::Kind::Ddl, std::move(sql));
  }

  void Drop() {
    if (AcceptWord("TABLE")) {
      const bool if_exists = IsWord("IF") && IsWord("EXISTS", 1);
      if (if_exists) pos_ += 2;
      for (;;) {
        ObjectName table;
        if (!ParseObjectName(table)) return;
        Emit(Statement::Kind::Ddl,
             std::string("DROP TABLE ") + (if_exists ? "IF EXISTS " : "") + table.Quoted());
        if (!AcceptOp(",")) return;
      }
    }
    if (AcceptWord("INDEX")) {
      const bool if_exists = IsWord("IF") && IsWord("EXISTS", 1);
      if (if_exists) pos_ += 2;
      // DROP INDEX name ON schema.table, or DROP INDEX schema.table.name
      ObjectName first;
      if (!ParseObjectName(first)) return;
      ObjectName table;
      std::string index;
      if (AcceptWord("ON")) {
        if (!ParseObjectName(table)) return;
        index = first.name;
      } else {
        // schema.table.index was read as schema=table, name=index; the schema is before it
        const size_t end = pos_;
        size_t k = end;
        int dots = 0;
        while (k > 0 && dots < 3) {
          --k;
          if (tokens_[k].type == Tok::Op && tokens_[k].text == ".") ++dots;
          if (tokens_[k].type == Tok::Word && WordIs(tokens_[k].text, "INDEX")) break;
        }
        std::vector<std::string> parts;
        for (size_t j = k; j < end; ++j) {
          if (tokens_[j].type == Tok::Word || tokens_[j].type == Tok::Quoted) {
            if (!(tokens_[j].type == Tok::Word &&
                  (WordIs(tokens_[j].text, "INDEX") || WordIs(tokens_[j].text, "IF") ||
                   WordIs(tokens_[j].text, "EXISTS")))) {
              parts.push_back(RawName(tokens_[j]));
            }
          }
        }
        if (parts.size() < 2) {
          Fail();
          return;
        }
        index = parts.back();
        table.name = parts[parts.size() - 2];
        table.schema = parts.size() >= 3 ? parts[parts.size() - 3] : "dbo";
      }
      Emit(Statement::Kind::Ddl,
           std::string("DROP INDEX ") + (if_exists ? "IF EXISTS " : "") + IndexName(table, index));
      return;
    }
    if (AcceptWord("SCHEMA")) {
      Token t;
      if (!ExpectName(t)) return;
      EnsureSchemaTable();
      Emit(Statement::Kind::Ddl,
           "DELETE FROM tsqlite_schemas WHERE name = " + SqlString(RawName(t)));
      return;
    }
    Fail();
  }

  void Alter() {
    if (!ExpectWord("TABLE")) return;
    ObjectName table;
    if (!ParseObjectName(table)) return;
    if (AcceptWord("ADD")) {
      if (IsTableConstraint()) {  // SQLite cannot add a constraint to an existing table
        Fail();
        return;
      }
      for (;;) {
        std::string column = ColumnDefinition(true);
        if (failed_) return;
        Emit(Statement::Kind::Ddl, "ALTER TABLE " + table.Quoted() + " ADD COLUMN " + column);
        if (!AcceptOp(",")) return;
      }
    }
    if (AcceptWord("DROP")) {
      if (!ExpectWord("COLUMN")) return;
      for (;;) {
        Token t;
        if (!ExpectName(t)) return;
        Emit(Statement::Kind::Ddl, "ALTER TABLE " + table.Quoted() + " DROP COLUMN " + Name(t));
        if (!AcceptOp(",")) return;
      }
    }
    Fail();
  }

  const Shape& shape_;
  Translation& out_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;
  bool failed_ = false;
  int nesting_ = 0;
  std::string verb_;    // of the statement being parsed
  std::string target_;  // the table it writes, as stored; "" for none
  std::vector<int> params_;
};

}  // namespace

bool Translate(const Shape& shape, Translation& out) {
  out = Translation{};
  Translator t(shape, out);
  if (!t.Run()) {
    out.statements.clear();
    return false;
  }
  return true;
}

}  // namespace tsqlite
