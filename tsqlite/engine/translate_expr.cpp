// The translator's expressions: conditions, comparisons by collation, arithmetic, unary
// operators, primaries and CASE, and the parameters that meet a column.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "translator_class.h"

namespace tsqlite {

namespace {

// True when the SQLite text is one unit already: a name, a number, a parameter, a call f(...) or
// a parenthesized whole. Parentheses around such a unit change nothing but cost SQLite's parser a
// level of its fixed-size stack (100 in the system's SQLite), which a condition nested some tens
// of levels deep would otherwise exhaust ("parser stack overflow").
bool Enclosed(std::string_view sql) {
  size_t i = 0;
  while (i < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_' || sql[i] == '?' ||
                            (i > 0 && sql[i] == '.'))) {
    ++i;
  }
  if (i == sql.size()) return i > 0;
  if (sql[i] != '(') return false;
  int depth = 0;
  for (; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '[') {
      const char close = c == '[' ? ']' : c;
      for (++i; i < sql.size() && sql[i] != close; ++i) {
      }
      if (i == sql.size()) return false;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth == 0) {
      return i + 1 == sql.size();
    }
  }
  return false;
}

}  // namespace

Expr Translator::Expression() {
  Nesting nesting(*this);
  if (failed_) return {};
  return OrExpr();
}

// A chain of terms joined by one operator, grouped as a balanced tree: SQLite's parser and its
// expression depth limit see log(n) levels, so conditions of thousands of OR terms still run.
// AND and OR are associative in three-valued logic and the terms keep their order.
std::string Translator::Chain(const std::vector<Expr>& terms, size_t lo, size_t hi, const char* op) {
  if (hi - lo == 1) return terms[lo].sql;
  std::string out = "(";
  if (hi - lo <= 8) {
    for (size_t i = lo; i < hi; ++i) out += (i == lo ? "" : op) + terms[i].sql;
  } else {
    const size_t mid = lo + (hi - lo) / 2;
    out += Chain(terms, lo, mid, op) + op + Chain(terms, mid, hi, op);
  }
  return out + ")";
}

Expr Translator::Condition() {
  const int outer = std::exchange(truth_, 1);
  Expr e = Expression();
  truth_ = outer;
  return e;
}

Expr Translator::OrExpr() {
  std::vector<Expr> terms{AndExpr()};
  while (!failed_ && AcceptWord(Kw::Or)) terms.push_back(AndExpr());
  if (failed_) return {};
  if (terms.size() == 1) return std::move(terms[0]);
  return {Chain(terms, 0, terms.size(), " OR ")};
}

Expr Translator::AndExpr() {
  std::vector<Expr> terms{NotExpr()};
  while (!failed_ && AcceptWord(Kw::And)) terms.push_back(NotExpr());
  if (failed_) return {};
  if (terms.size() == 1) return std::move(terms[0]);
  return {Chain(terms, 0, terms.size(), " AND ")};
}

Expr Translator::NotExpr() {
  if (AcceptWord(Kw::Not)) {
    Nesting nesting(*this);
    if (failed_) return {};
    const int outer = std::exchange(truth_, -truth_);
    const std::string operand = NotExpr().sql;
    truth_ = outer;
    return {Enclosed(operand) ? "NOT " + operand : "NOT (" + operand + ")"};
  }
  return Predicate();
}

Expr Translator::Predicate() {
  // Operands are values; only a parenthesized group at the start may be a condition of its own.
  const int truth = truth_;
  struct Restore {
    int& truth;
    int value;
    ~Restore() { truth = value; }
  } restore{truth_, truth};
  if (!IsOp("(")) truth_ = 0;
  if (AcceptWord(Kw::Exists)) {
    if (!ExpectOp("(")) return {};
    std::string q = QueryExpression();
    if (!ExpectOp(")")) return {};
    return {"EXISTS (" + q + ")"};
  }
  Expr l = Additive();
  truth_ = 0;
  if (failed_) return {};
  static const char* const kCompare[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
  for (const char* op : kCompare) {
    if (AcceptOp(op)) {
      std::string sop = op;
      if (sop == "!<") sop = ">=";
      if (sop == "!>") sop = "<=";
      // Trailing blanks never count. A column compares by its own collation (which keeps its
      // index usable); between other operands the database's collation is named.
      Expr r = Additive();
      // A comparison with the NULL literal is UNKNOWN: the other side is not computed, so its
      // overflow or division by zero is never raised (SQL Server folds it so before running).
      if (l.null || r.null) return {"NULL"};
      if (CollationsConflict(l, r, op)) return {};
      Meets(l, r);
      Meets(r, l);
      const std::string by = ComparedBy(l, r);
      // A column's affinity and collation compare as numbers.
      const bool numeric = !l.column && !r.column;
      return {"(" + (numeric ? Comparable(l) : l.sql) + " " + sop + " " + (numeric ? Comparable(r) : r.sql) +
              (by.empty() ? ")" : " COLLATE " + by + ")")};
    }
  }
  if (AcceptWord(Kw::Is)) {
    const bool neg = AcceptWord(Kw::Not);
    if (!ExpectWord(Kw::Null)) return {};
    return {"(" + l.sql + (neg ? " IS NOT NULL)" : " IS NULL)")};
  }
  const bool neg = IsWord(Kw::Not) && (IsWord(Kw::Between, 1) || IsWord(Kw::In, 1) || IsWord(Kw::Like, 1));
  if (neg) ++pos_;
  const std::string not_ = neg ? " NOT" : "";
  if (AcceptWord(Kw::Between)) {
    Expr lo = Additive();
    if (!ExpectWord(Kw::And)) return {};
    Expr hi = Additive();
    // UNKNOWN whatever the other operands hold; one NULL bound alone still leaves FALSE possible
    // (TRUE for NOT BETWEEN), which counts only where the condition around it tells FALSE from
    // UNKNOWN: elsewhere the test value is not computed, as SQL Server's plan drops a range with
    // a NULL bound that can never qualify a row.
    if (l.null || (lo.null && hi.null)) return {"NULL"};
    if ((lo.null || hi.null) && truth == (neg ? -1 : 1)) return {"NULL"};
    Meets(l, lo);
    Meets(l, hi);
    if (l.column) return {"(" + l.sql + not_ + " BETWEEN " + lo.sql + " AND " + hi.sql + ")"};
    return {"(" + Collated(l, Comparable(l)) + not_ + " BETWEEN " + Comparable(lo) + " AND " + Comparable(hi) + ")"};
  }
  if (AcceptWord(Kw::In)) {
    if (!ExpectOp("(")) return {};
    std::string list;
    if (IsWord(Kw::Select)) {
      list = QueryExpression();
    } else {
      for (bool first = true;; first = false) {
        if (!first) list += ", ";
        Expr item = Expression();
        Meets(l, item);
        list += l.column ? item.sql : Comparable(item);
        if (!AcceptOp(",")) break;
      }
    }
    if (!ExpectOp(")")) return {};
    if (l.null) return {"NULL"};
    return {"(" + (l.column ? l.sql : Collated(l, Comparable(l))) + not_ + " IN (" + list + "))"};
  }
  if (AcceptWord(Kw::Like)) {
    // SQL Server's LIKE: [abc], [a-c], [^a], ESCAPE, trailing blanks of the value ignored; the
    // case of letters counts as in the operands' collation: one a COLLATE clause names, else a
    // column's, else the database's.
    Expr pattern = Additive();
    const std::string& p = pattern.sql;
    std::string by = !l.collation.empty() ? l.collation : pattern.collation;
    if (by.empty()) by = ColumnCollation(l);
    if (by.empty()) by = ColumnCollation(pattern);
    const bool ci = by.empty() ? CaseInsensitive(collation_) : IgnoresCase(by);
    std::string r = std::string(neg ? "(NOT " : "(") + (ci ? "ts_like_ci(" : "ts_like(") + l.sql + ", " + p;
    r += AcceptWord(Kw::Escape) ? ", " + Additive().sql : ", NULL";
    return {r + "))"};
  }
  if (neg) return Fail(), Expr{};
  return l;
}

std::string Translator::ComparedBy(const Expr& l, const Expr& r) {
  if (l.column || r.column || !l.collation.empty() || !r.collation.empty()) return "";
  std::string by = ColumnCollation(l);
  if (by.empty()) by = ColumnCollation(r);
  return by.empty() ? SqliteCollation(collation_) : by;
}

bool Translator::CollationsConflict(const Expr& l, const Expr& r, std::string_view op) {
  // A literal, a variable or a parameter takes the other side's collation, and a COLLATE clause
  // decides over a column's; only two columns (or values made from them) can conflict.
  if (l.name.empty() || r.name.empty() || !l.collation.empty() || !r.collation.empty() || catalog_ == nullptr) {
    return false;
  }
  // Where no column has a collation of its own, every text column has the database's, and the
  // columns' collations are not read (nor checked again at each execution).
  if (own_collations_ < 0) own_collations_ = catalog_->OwnCollations() ? 1 : 0;
  if (own_collations_ == 0) {
    out_.plain_collations = true;
    return false;
  }
  // Only text has a collation: the columns' types are read first, which costs less to check
  // again at each execution than their collations.
  if (!TypeOf(l).IsText() || !TypeOf(r).IsText()) return false;
  const std::string left = ColumnCollation(l), right = ColumnCollation(r);
  if (left.empty() || right.empty()) return false;  // not known
  const std::string_view left_name = CollationNameOfColumn(left), right_name = CollationNameOfColumn(right);
  if (left_name == right_name) return false;
  static constexpr std::pair<std::string_view, const char*> kOperations[] = {
      {"=", "equal to"},
      {"<>", "not equal to"},
      {"!=", "not equal to"},
      {"<", "less than"},
      {">", "greater than"},
      {"<=", "less than or equal to"},
      {">=", "greater than or equal to"},
      {"!<", "not less than"},
      {"!>", "not greater than"},
  };
  const char* operation = "equal to";
  for (const auto& [written, name] : kOperations) {
    if (written == op) operation = name;
  }
  // SQL Server names the right operand's collation first.
  FailWith(Raised<Err::CollationConflict>(right_name, left_name, operation));
  return true;
}

std::string Translator::Collated(const Expr& e, const std::string& sql) {
  if (!e.collation.empty()) return sql;
  std::string by = ColumnCollation(e);
  if (by.empty() && collation_ == Collation::Bin2Utf8) return sql;
  return "(" + sql + ") COLLATE " + (by.empty() ? SqliteCollation(collation_) : by);
}

void Translator::Meets(const Expr& column, const Expr& value, bool assigns) {
  const int k = value.param;
  if (k == 0) return;
  if (column.held == Expr::Held::Datetime) {
    probes_.push_back(Statement::Probe{k, "", 0, false});  // a datetime whatever the tables hold
  } else if (!from_.empty() && column.column) {
    probes_.push_back(Statement::Probe{k, "SELECT " + column.sql + from_, 0, assigns});
  }
}

std::string Translator::FitDatetime(const Expr& value, const ObjectName& table, const std::string& column) {
  if (value.held != Expr::Held::Datetime) return value.sql;
  return "ts_fit_datetime(" + value.sql + ", " + SqlString(table.Stored()) + ", " + SqlString(column) + ")";
}

void Translator::Exact(const Expr& operand) {
  if (operand.param > 0) exact_.push_back(operand.param);
}

std::string Translator::Assigned(const Expr& value, const std::string& column, int position) {
  // A computed value is brought to the column's type when the statement runs (a decimal to its
  // scale, an integer checked against its range, a bit to 0 or 1); a parameter is converted when
  // bound, and a datetime call is fitted by FitDatetime.
  if (target_.empty() || value.param > 0 || value.held == Expr::Held::Datetime || value.null) return value.sql;
  std::string fitted = "ts_fit(" + value.sql + ", " + SqlString(target_) + ", " +
                       (column.empty() ? std::to_string(position) : SqlString(column)) + ")";
  // A char/varchar column of code page 1252 takes a computed text as SQL Server converts it.
  return CodePage1252(collation_) && CodePageText(TargetColumnType(column, position)) ? "ts_to_1252(" + fitted + ")"
                                                                                      : fitted;
}

bool Translator::ToText(const SqlType& type) {
  return type.IsText() || type.kind == SqlType::Kind::UniqueIdentifier;
}

bool Translator::CodePageText(const SqlType& type) const {
  return CodePage1252(collation_) && type.IsText() && !type.National();
}

std::string Translator::Comparable(const Expr& e) {
  return e.held == Expr::Held::Decimal ? "ts_num(" + e.sql + ")" : e.sql;
}

bool Translator::IsNumberText(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!IsDigit(static_cast<unsigned char>(c)) && c != '.') return false;
  }
  return true;
}

// + and - depend on the operands' run-time types (datetime arithmetic, concatenation).
Expr Translator::Additive() {
  std::vector<Expr> terms{Multiplicative()};
  std::vector<bool> minus;  // minus[k] is the operator before terms[k + 1]
  while (!failed_) {
    const bool plus = AcceptOp("+");
    if (plus || AcceptOp("-")) {
      minus.push_back(!plus);
      terms.push_back(Multiplicative());
    } else if (AcceptOp("&") || AcceptOp("|")) {
      const char* op = tokens_[pos_ - 1].text == "&" ? " & " : " | ";
      const std::string l = ArithmeticChain(terms, minus).sql;
      terms = {Expr{"(" + l + op + Multiplicative().sql + ")"}};
      minus.clear();
    } else {
      break;
    }
  }
  if (failed_) return {};
  if (terms.size() == 1) return std::move(terms[0]);
  for (const Expr& term : terms) Exact(term);
  // Text joined with an nvarchar is nvarchar.
  const bool national = std::any_of(terms.begin(), terms.end(), [](const Expr& term) { return term.type.National(); });
  Expr sum = ArithmeticChain(terms, minus);
  if (national) sum.type.kind = SqlType::Kind::NVarChar;
  // Else a sum of columns may be a concatenation with an nvarchar column: which, the catalog tells
  // where a rule needs it (National).
  if (!national && std::none_of(minus.begin(), minus.end(), [](bool m) { return m; })) {
    for (const Expr& term : terms) {
      if (term.type.kind != SqlType::Kind::Unknown) continue;
      if (!term.name.empty()) sum.joined.emplace_back(term.qualifier, term.name);
      sum.joined.insert(sum.joined.end(), term.joined.begin(), term.joined.end());
    }
  }
  // Text joined with a value a COLLATE clause names compares by that clause.
  for (const Expr& term : terms) {
    if (sum.collation.empty()) sum.collation = term.collation;
  }
  return sum;
}

// Number literals (kept in DDL) add as SQLite adds them; anything else goes to the driver's
// functions, one call for up to 63 operators of the chain, so a long sum nests no deeper than
// a short one does.
Expr Translator::ArithmeticChain(const std::vector<Expr>& terms, const std::vector<bool>& minus) {
  if (terms.size() == 1) return terms[0];
  if (std::all_of(terms.begin(), terms.end(), [](const Expr& term) { return term.number; })) {
    std::string out = "(" + terms[0].sql;
    for (size_t k = 1; k < terms.size(); ++k) out += (minus[k - 1] ? " - " : " + ") + terms[k].sql;
    return {out + ")"};
  }
  Expr sum;
  sum.held = Expr::Held::Decimal;
  if (terms.size() == 2) {
    sum.sql = (minus[0] ? "ts_sub(" : "ts_add(") + terms[0].sql + ", " + terms[1].sql + ")";
    return sum;
  }
  std::string acc = terms[0].sql;
  for (size_t k = 1; k < terms.size();) {
    std::string call = "ts_addsub(" + acc;
    for (int ops = 0; ops < 63 && k < terms.size(); ++ops, ++k) {
      call += (minus[k - 1] ? ", 1, " : ", 0, ") + terms[k].sql;
    }
    acc = call + ")";
  }
  sum.sql = std::move(acc);
  return sum;
}

// Two operands make one call of ts_mul, ts_div or ts_mod; a longer chain makes one call of
// ts_muldiv for up to 63 operators, as ArithmeticChain does for a sum.
Expr Translator::Multiplicative() {
  std::vector<Expr> factors{Unary()};
  std::vector<int> ops;  // ops[k]: 0 for *, 1 for /, 2 for %, the operator before factors[k + 1]
  while (!failed_) {
    const int op = AcceptOp("*") ? 0 : AcceptOp("/") ? 1 : AcceptOp("%") ? 2 : -1;
    if (op < 0) break;
    ops.push_back(op);
    factors.push_back(Unary());
  }
  if (failed_ || factors.size() == 1) return failed_ ? Expr{} : std::move(factors[0]);
  for (const Expr& factor : factors) Exact(factor);
  Expr product;
  product.held = Expr::Held::Decimal;
  if (factors.size() == 2) {
    static constexpr const char* kTwo[] = {"ts_mul(", "ts_div(", "ts_mod("};
    product.sql = kTwo[ops[0]] + factors[0].sql + ", " + factors[1].sql + ")";
    return product;
  }
  std::string acc = factors[0].sql;
  for (size_t k = 1; k < factors.size();) {
    std::string call = "ts_muldiv(" + acc;
    for (int n = 0; n < 63 && k < factors.size(); ++n, ++k) {
      call += ", " + std::to_string(ops[k - 1]) + ", " + factors[k].sql;
    }
    acc = call + ")";
  }
  product.sql = std::move(acc);
  return product;
}

Expr Translator::Unary() {
  Nesting nesting(*this);
  if (failed_) return {};
  if (IsOp("-") || IsOp("+")) {
    // A run of signs ("- + - x") is read at once: one call for all its minus signs, so that it
    // nests no deeper in the statement than one sign does.
    int minus = 0;
    while (AcceptOp("-") || AcceptOp("+")) minus += tokens_[pos_ - 1].text == "-" ? 1 : 0;
    Expr e = Unary();
    if (failed_ || minus == 0) return e;
    Expr negated;
    negated.type = e.type;
    if (e.param > 0 || e.column || e.held == Expr::Held::Decimal) {  // a decimal keeps its digits
      Exact(e);
      negated.sql = "ts_neg(" + e.sql + (minus > 1 ? ", " + std::to_string(minus) : std::string()) + ")";
      negated.held = Expr::Held::Decimal;
      return negated;
    }
    // A blank after the sign: "-" followed by an emitted "-1" must never read as a comment.
    negated.sql = e.sql;
    for (int k = 0; k < minus; ++k) {
      negated.sql = k == 0 && e.number      ? "-" + negated.sql
                    : Enclosed(negated.sql) ? "- " + negated.sql
                                            : "(- " + negated.sql + ")";
    }
    return negated;
  }
  if (AcceptOp("~")) return {"(~" + Unary().sql + ")"};
  Expr e = Primary();
  if (!failed_ && AcceptWord(Kw::Collate)) {
    // The clause decides how the value compares (SqliteCollationOf), over a column's collation.
    Token name;
    if (!ExpectName(name)) return {};
    Expr collated;
    collated.type = e.type;
    collated.declared = e.declared;
    collated.qualifier = e.qualifier;  // the type of the column it is, or follows
    collated.name = e.name;
    collated.text_of = e.text_of;
    collated.joined = e.joined;
    collated.collation = SqliteCollationOf(RawName(name));
    collated.sql = "(" + e.sql + " COLLATE " + collated.collation + ")";
    return collated;
  }
  return e;
}

Expr Translator::Primary() {
  const Token t = Peek();
  Expr e;
  switch (t.type) {
    case Tok::Marker: {
      ++pos_;
      e.param = ParamOf(t.literal);
      e.sql = "?" + std::to_string(e.param);
      // A literal of the text is a varchar (N'...' an nvarchar); a client's marker is bound later,
      // its type unknown here.
      const auto at = static_cast<size_t>(t.literal);
      if (t.national) {
        e.type.kind = SqlType::Kind::NVarChar;
      } else if (t.literal >= 0 && at < shape_.literals.size() &&
                 std::find(shape_.markers.begin(), shape_.markers.end(), t.literal) == shape_.markers.end() &&
                 shape_.literals[at].kind == Literal::Kind::Text) {
        e.type.kind = SqlType::Kind::VarChar;
      }
      return e;
    }
    case Tok::Number:
      ++pos_;
      if (t.text.size() >= 2 && t.text[0] == '0' && (t.text[1] == 'x' || t.text[1] == 'X')) {
        // 0x0102 is binary, two bytes; an odd digit count gets a leading 0, as SQL Server reads it.
        const std::string_view digits = t.text.substr(2);
        return {"X'" + std::string(digits.size() % 2 ? "0" : "") + std::string(digits) + "'"};
      }
      e.sql = std::string(t.text);
      e.number = IsNumberText(t.text);
      return e;
    case Tok::String:
      ++pos_;
      e.sql = std::string(t.text);
      if (t.national) e.type.kind = SqlType::Kind::NVarChar;
      return e;
    case Tok::Variable:
      ++pos_;
      switch (GlobalOf(t.text)) {
        case Global::Datefirst:
          return {"ts_datefirst()"};
        case Global::Rowcount:
          return {"ts_rowcount()"};
        case Global::LockTimeout:
          return {"ts_lock_timeout()"};
        case Global::Version:
          return {"'tsqlite " SQLITE_VERSION "'"};
        case Global::Identity:  // a numeric(38,0)
          e.sql = "ts_dec(ts_identity(0), 38, 0)";
          e.held = Expr::Held::Decimal;
          return e;
        case Global::None:
          break;
      }
      return Variable(t);
    case Tok::Op:
      if (AcceptOp("(")) {
        if (IsWord(Kw::Select)) {
          e.sql = QueryExpression();
        } else {
          Expr inner = Expression();
          e = std::move(inner);
          e.column = false;
          e.param = 0;
          e.number = false;  // (NULL) stays the NULL literal
        }
        truth_ = 0;  // what follows the group is a value
        if (!ExpectOp(")")) return {};
        if (!Enclosed(e.sql)) e.sql = "(" + e.sql + ")";
        return e;
      }
      return Fail(), Expr{};
    case Tok::Word:
    case Tok::Quoted:
      break;
    default:  // End; Space, Comment and Foreign never reach the parser
      return Fail(), Expr{};
  }
  if (t.type == Tok::Word) {
    if (AcceptWord(Kw::Null)) {
      e.sql = "NULL";
      e.null = true;
      return e;
    }
    if (AcceptWord(Kw::CurrentTimestamp)) {
      e.sql = kNow;
      e.type.kind = SqlType::Kind::Datetime;
      e.held = Expr::Held::Datetime;
      return e;
    }
    if (AcceptWord(Kw::Case)) return Case();
    if (IsOp("(", 1)) return Function();
    if (IsReserved(t.kw)) return Fail(), Expr{};
  }
  // Column reference: [[schema.]table.]column; the table part is the table's alias.
  std::vector<Token> parts;
  parts.push_back(t);
  ++pos_;
  while (IsOp(".")) {
    ++pos_;
    Token p;
    if (!ExpectName(p)) return {};
    parts.push_back(p);
  }
  e.column = true;
  e.name = RawName(parts.back());
  if (parts.size() == 1) {
    e.sql = Name(parts[0]);
  } else {
    e.qualifier = RawName(parts[parts.size() - 2]);
    e.sql = Name(parts[parts.size() - 2]) + "." + Name(parts.back());
  }
  return e;
}

Expr Translator::Case() {
  // SQL Server nests CASE expressions ten levels deep at most.
  struct Depth {
    int& depth;
    ~Depth() { --depth; }
  } depth{++case_depth_};
  if (case_depth_ > 10) return FailWith(Raised<Err::CaseNestedTooDeeply>()), Expr{};
  std::string sql = "CASE";
  if (!IsWord(Kw::When)) sql += " " + Expression().sql;
  std::vector<Expr> results;
  while (AcceptWord(Kw::When)) {
    sql += " WHEN " + Condition().sql;
    if (!ExpectWord(Kw::Then)) return {};
    results.push_back(Expression());
    sql += " THEN " + results.back().sql;
  }
  if (AcceptWord(Kw::Else)) {
    results.push_back(Expression());
    sql += " ELSE " + results.back().sql;
  }
  if (!ExpectWord(Kw::End)) return {};
  if (failed_) return {};
  // The result is nvarchar when a result is one; it takes the collation a COLLATE clause gives a
  // result, else that of the first result that is or follows a column.
  Expr out{sql + " END"};
  for (const Expr& r : results) {
    if (r.type.National()) out.type.kind = SqlType::Kind::NVarChar;
    if (out.collation.empty()) out.collation = r.collation;
  }
  if (out.collation.empty()) {
    for (const Expr& r : results) {
      if (r.name.empty()) continue;
      out.qualifier = r.qualifier;
      out.name = r.name;
      out.text_of = r.text_of;
      break;
    }
    // Named on the value, as a clause would be: SQLite would otherwise take a collation named
    // inside the CASE (a WHEN's comparison) for the whole value.
    out.collation = ColumnCollation(out);
    if (!out.collation.empty()) out.sql = "(" + out.sql + " COLLATE " + out.collation + ")";
  }
  return out;
}

}  // namespace tsqlite
