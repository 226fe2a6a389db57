// The translator's entry point, Translate(), with the parser's tokens, errors, output and names,
// and the check of every emitted text. Parameterize() (parameterize.cpp) takes the literals out of
// a statement; Translate() runs once per shape: a small recursive-descent parser (the class in
// translator_class.h) that writes SQLite text: its statements in translate_dml.cpp, queries in
// translate_select.cpp, expressions in translate_expr.cpp, types and calls in
// translate_functions.cpp, DDL in translate_ddl.cpp; the functions it knows are in builtins.cpp.
//
// Storage conventions (see translate_api.h):
// - Table S.T is the SQLite table "S.T", an unqualified name is dbo's; SQLite compares names
//   without regard to case, so QXSYSTEM.Qxs133Bak and qxsystem.qxs133bak are one table. Every
//   table in a FROM list gets its own name as alias (unless the statement names one), so that
//   T.col and S.T.col resolve; UPDATE and DELETE alias their target the same way. Index names
//   become "S.T.name", since SQLite wants them unique per database.
// - Columns keep SQL Server's type names (VARCHAR(8), SMALLINT, DATETIME), which give SQLite the
//   matching affinity; an int key is never declared INTEGER, which SQLite would turn into a row
//   number that fills itself in instead of refusing a NULL.
// - char/varchar columns compare by the database's collation (or their own COLLATE clause):
//   RTRIM in a binary database, tsqlite_ci_as/tsqlite_cs_as otherwise (collation.h); trailing
//   blanks never count, as in SQL Server. A CHECK named tsqlite_len_<column> refuses text longer
//   than the declared width, in bytes of UTF-8 in a binary database and in characters (code page
//   1252, one byte each) otherwise (blanks at the end do not count, as SQL Server trims them
//   silently). char(n) values are not padded when stored.
// - datetime values are TEXT 'YYYY-MM-DD hh:mm:ss.fff'; a CHECK named tsqlite_dt_<column>
//   refuses any other form. A string literal that meets a column (compared, BETWEEN, IN, inserted,
//   assigned) is recorded as a Statement::Probe; the executor reads the column's declared type and
//   converts the string to a datetime (or cuts a char column's surplus blanks) before binding.
//   CURRENT_TIMESTAMP/GETDATE() are the local time with milliseconds, the same for every row one
//   INSERT or UPDATE writes.
// - Operators whose meaning depends on the run-time type of their operands (+, -, /, %) and all
//   conversions become calls of the ts_* functions registered by RegisterFunctions().
// - CREATE SCHEMA records the schema in tsqlite_schemas; CREATE TABLE in a schema other than dbo
//   that is not recorded fails with SQL Server's 2760.
//
// - A batch's local variables (DECLARE @x) are values of the shape after its literals, read as
//   parameters; IF and WHILE become statements that jump (translate_script.cpp).
//
// - EXEC (string) and EXEC sp_executesql string run the string as a batch of its own
//   (translate_script.cpp, Database::RunText).
//
// Not translated (102): stored procedures, transactions in
// T-SQL text (the ODBC autocommit attribute and SQLEndTran do that), UPDATE/DELETE with FROM,
// SELECT INTO, views, IDENTITY, datetimeoffset.
#include "translate_api.h"

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

namespace {

// SQLite compiles a numbered parameter (?12) by looking its number up in the list of every
// parameter of the statement, so a 1,000-row INSERT with 15,000 of them took longer to compile
// than to run; a bare ? costs nothing. Renumbers the parameters in the order the text names them,
// writes the first mention of each as a bare ? (SQLite gives it the next number) and the others
// as ?k, and moves params, probes and exact along. Parameters the text does not name go last,
// where nothing binds them, as before. A text with a bare ? of its own is left as it is.
void BareParams(Statement& st) {
  const std::string& sql = st.sql;
  std::vector<int> renumbered(st.params.size() + 1, 0);  // by old k
  std::vector<int> order;                                // old k by new k - 1
  std::string out;
  out.reserve(sql.size());
  for (size_t i = 0; i < sql.size();) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      size_t j = i + 1;
      while (j < sql.size() && !(sql[j] == close && !(close != ']' && j + 1 < sql.size() && sql[j + 1] == close))) {
        j += sql[j] == close ? 2 : 1;
      }
      out.append(sql, i, j + 1 - i);
      i = j + 1;
      continue;
    }
    if (c != '?') {
      out.push_back(c);
      ++i;
      continue;
    }
    size_t j = i + 1;
    size_t k = 0;
    while (j < sql.size() && sql[j] >= '0' && sql[j] <= '9' && k <= st.params.size()) k = k * 10 + (sql[j++] - '0');
    if (j == i + 1 || k == 0 || k > st.params.size()) return;  // not one of ours: leave the text alone
    if (renumbered[k] == 0) {
      order.push_back(static_cast<int>(k));
      renumbered[k] = static_cast<int>(order.size());
      out.push_back('?');
    } else {
      out += "?" + std::to_string(renumbered[k]);
    }
    i = j;
  }
  for (size_t k = 1; k < renumbered.size(); ++k) {
    if (renumbered[k] == 0) {
      order.push_back(static_cast<int>(k));
      renumbered[k] = static_cast<int>(order.size());
    }
  }
  std::vector<int> params(order.size());
  for (size_t n = 0; n < order.size(); ++n) params[n] = st.params[static_cast<size_t>(order[n]) - 1];
  for (Statement::Probe& probe : st.probes) {
    if (probe.param > 0 && static_cast<size_t>(probe.param) < renumbered.size()) {
      probe.param = renumbered[static_cast<size_t>(probe.param)];
    }
  }
  for (int& k : st.exact) {
    if (k > 0 && static_cast<size_t>(k) < renumbered.size()) k = renumbered[static_cast<size_t>(k)];
  }
  st.params = std::move(params);
  st.sql = std::move(out);
}

}  // namespace

// ---- the parser: tokens, errors, output, names -----------------------------------------------

std::string QuoteName(std::string_view name) {
  std::string q = "\"";
  for (char c : name) {
    q.push_back(c);
    if (c == '"') q.push_back('"');
  }
  q.push_back('"');
  return q;
}

bool Translator::Run() {
  if (!Tokenize()) return false;
  while (!failed_ && Peek().type != Tok::End) {
    if (IsOp(";")) {
      ++pos_;
      continue;
    }
    ScriptStatement();
  }
  for (size_t jump : returns_) out_.statements[jump].jump = out_.statements.size();
  out_.variables = vars_.size();
  return !failed_;
}

bool Translator::Tokenize() {
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
    if (l.type == Tok::Word) t.kw = KeywordOf(text);
    switch (l.type) {
      case Tok::Space:
        continue;
      case Tok::Comment:  // Parameterize took every comment out; one here is no T-SQL
        return FailAt(text.substr(0, 2));
      case Tok::Marker:
        t.literal = literal++;
        if (t.literal >= static_cast<int>(shape_.literals.size())) return FailAt(text);
        // N? is an N'...' literal taken out of the text.
        if (!tokens_.empty() && tokens_.back().type == Tok::Word && tokens_.back().text == "N" &&
            tokens_.back().text.data() + 1 == text.data()) {
          tokens_.pop_back();
          t.national = true;
        }
        break;
      case Tok::String:  // kept with its quotes, without the N of N'...'
        if (!l.closed) return FailAt(text);
        if (l.national) t.text = text.substr(1);
        t.national = l.national;
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

const Token& Translator::Peek(size_t ahead) const {
  const size_t at = pos_ + ahead;
  return at < tokens_.size() ? tokens_[at] : tokens_.back();
}

bool Translator::IsOp(std::string_view op, size_t ahead) const {
  const Token& t = Peek(ahead);
  return t.type == Tok::Op && t.text == op;
}

bool Translator::IsWord(Kw kw, size_t ahead) const {
  const Token& t = Peek(ahead);
  return t.type == Tok::Word && t.kw == kw;
}

bool Translator::AcceptOp(std::string_view op) {
  if (!IsOp(op)) return false;
  ++pos_;
  return true;
}

bool Translator::AcceptWord(Kw kw) {
  if (!IsWord(kw)) return false;
  ++pos_;
  return true;
}

// An error of SQL Server's other than a syntax error (195, 174, ...); returns "" for the
// expression being built.
std::string Translator::FailWith(Error error) {
  if (!failed_) {
    failed_ = true;
    out_.native_error = error.native;
    out_.sqlstate = std::move(error.sqlstate);
    out_.message = std::move(error.message);
  }
  return "";
}

// SQL Server names the token it stumbled on; a literal shows its value.
bool Translator::Fail() {
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
      near = std::string(
          t.text.substr(t.text.size() >= 2 ? 1 : 0, t.text.size() >= 2 ? t.text.size() - 2 : t.text.size()));
      break;
    default:
      near = std::string(t.text);
  }
  return FailAt(near);
}

bool Translator::FailAt(std::string_view near) {
  FailWith(Raised<Err::SyntaxError>(near));
  return false;
}

int Translator::ParamOf(int literal) {
  const auto at = static_cast<size_t>(literal);
  if (at >= param_of_literal_.size()) param_of_literal_.resize(at + 1, 0);
  int& k = param_of_literal_[at];
  if (k == 0) {
    params_.push_back(literal);
    k = static_cast<int>(params_.size());
  }
  return k;
}

std::string Translator::Param(int literal) {
  return "?" + std::to_string(ParamOf(literal));
}

void Translator::Emit(Statement::Kind kind, std::string sql, bool update_or_delete) {
  if (!IsOneSqliteStatement(sql)) {
    // Nothing the parser accepted may leave as a comment or a second statement; should the
    // emitted text ever read differently, the statement is refused rather than run.
    FailWith(Raised<Err::NoQueryPlan>());
    return;
  }
  Statement st;
  st.kind = kind;
  st.sql = std::move(sql);
  st.params = std::move(params_);
  st.probes = std::move(probes_);
  st.exact = std::move(exact_);
  st.is_update_or_delete = update_or_delete;
  st.verb = verb_;
  st.target = target_;
  BareParams(st);
  for (int literal : st.params) param_of_literal_[static_cast<size_t>(literal)] = 0;
  params_.clear();
  probes_.clear();
  exact_.clear();
  from_.clear();
  out_.statements.push_back(std::move(st));
}

// A column, alias or other simple name, quoted only where SQLite needs it.
std::string Translator::Name(const Token& t) {
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
    if ((t.text[i] == ']' || t.text[i] == '"') && i + 1 < t.text.size() && t.text[i + 1] == t.text[i]) ++i;
  }
  return QuoteName(raw);
}

std::string Translator::RawName(const Token& t) {
  std::string raw;
  for (size_t i = 0; i < t.text.size(); ++i) {
    raw.push_back(t.text[i]);
    if (t.type == Tok::Quoted && (t.text[i] == ']' || t.text[i] == '"') && i + 1 < t.text.size() &&
        t.text[i + 1] == t.text[i]) {
      ++i;
    }
  }
  return raw;
}

bool Translator::IsNameToken(size_t ahead) const {
  const Token& t = Peek(ahead);
  return t.type == Tok::Quoted || (t.type == Tok::Word && !IsReserved(t.kw));
}

bool Translator::ExpectName(Token& t) {
  if (!IsNameToken()) return Fail();
  t = Peek();
  ++pos_;
  return true;
}

// [server.][database.][schema.]object
bool Translator::ParseObjectName(ObjectName& obj) {
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

bool Translate(const Shape& shape, Translation& out, Collation collation, const Catalog* catalog) {
  out = Translation{};
  Translator t(shape, out, collation, catalog);
  if (!t.Run()) {
    out.statements.clear();
    return false;
  }
  return true;
}

}  // namespace tsqlite
