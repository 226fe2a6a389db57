// The translator's queries: SELECT with its joins, set operators, TOP and ORDER BY, table value
// constructors, and the columns a statement's tables declare (read from the catalog).
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

#include "catalog_views.h"
#include "translator_class.h"

namespace tsqlite {

// SELECT ... [UNION [ALL] SELECT ...] [ORDER BY ...], TOP n as LIMIT.
std::string Translator::QueryExpression() {
  Nesting nesting(*this);
  if (failed_) return "";
  std::string sql;
  std::string limit;
  // TOP belongs to the SELECT it stands in: in a UNION, that SELECT becomes a subquery with its
  // own LIMIT; alone, its LIMIT follows the ORDER BY.
  std::string member;
  std::string member_limit;
  bool compound = false;
  for (;;) {
    if (AcceptOp("(")) {
      member = "SELECT * FROM (" + QueryExpression() + ")";
      if (!ExpectOp(")")) return "";
    } else {
      member = SelectCore(&member_limit);
    }
    if (failed_) return "";
    std::string op;
    if (AcceptWord(Kw::Union)) {
      op = AcceptWord(Kw::All) ? " UNION ALL " : " UNION ";
    } else if (AcceptWord(Kw::Except)) {
      op = " EXCEPT ";
    } else if (AcceptWord(Kw::Intersect)) {
      op = " INTERSECT ";
    }
    compound = compound || !op.empty();
    if (!compound) {
      sql = std::move(member);
      limit = std::move(member_limit);
      break;
    }
    sql += member_limit.empty() ? member : "SELECT * FROM (" + member + " LIMIT " + member_limit + ")";
    member_limit.clear();
    if (op.empty()) break;
    sql += op;
  }
  if (AcceptWord(Kw::Order)) {
    if (!ExpectWord(Kw::By)) return "";
    sql += " ORDER BY ";
    for (bool first_item = true;; first_item = false) {
      if (!first_item) sql += ", ";
      sql += Comparable(Expression());  // a computed decimal in numeric order
      if (AcceptWord(Kw::Asc)) {
        sql += " ASC";
      } else if (AcceptWord(Kw::Desc)) {
        sql += " DESC";
      }
      if (!AcceptOp(",")) break;
    }
  }
  if (!limit.empty()) sql += " LIMIT " + limit;
  return failed_ ? "" : sql;
}

std::string Translator::SelectCore(std::string* limit) {
  if (!ExpectWord(Kw::Select)) return "";
  std::string sql = "SELECT ";
  if (AcceptWord(Kw::Distinct)) {
    sql += "DISTINCT ";
  } else {
    AcceptWord(Kw::All);
  }
  if (AcceptWord(Kw::Top)) {
    if (AcceptOp("(")) {
      *limit = Expression().sql;
      if (!ExpectOp(")")) return "";
    } else {
      *limit = Primary().sql;
    }
    // SQLite reads a negative LIMIT as none; SQL Server refuses it.
    *limit = "ts_top(" + *limit + ")";
    if (IsWord(Kw::Percent)) return Fail(), "";
  }
  const Scope scope(*this, ScanSources());
  const bool record = record_items_;
  record_items_ = false;  // subqueries and later members of a UNION do not name the columns
  for (bool first = true;; first = false) {
    if (!first) sql += ", ";
    const size_t start = pos_;
    // An outermost SELECT either assigns every item to a variable or none.
    const bool assigns = record && IsAssignment();
    if (record && !first && assigns != !assigns_.empty()) {
      return FailWith(Raised<Err::AssignWithRetrieval>());
    }
    const Expr item = assigns ? Expr{AssignItem()} : SelectItem();
    sql += item.sql;
    if (failed_) return "";
    if (record) item_types_.push_back(ItemType(item));
    // A value of its own (SELECT 1.5, SELECT ?) reaches the client with all its digits.
    const Tok after = start + 1 < pos_ ? tokens_[start + 1].type : Tok::End;
    if (record && tokens_[start].type == Tok::Marker && tokens_[start].literal >= 0 &&
        (after == Tok::End || after == Tok::Word || after == Tok::Quoted || after == Tok::String)) {
      exact_.push_back(ParamOf(tokens_[start].literal));
    }
    if (!AcceptOp(",")) break;
  }
  if (record && AcceptWord(Kw::Into)) {
    if (!ParseObjectName(into_)) return "";
  }
  const std::string outer_from = from_;
  if (AcceptWord(Kw::From)) {
    const std::string from = " FROM " + FromList();
    sql += from;
    from_ = from;
  }
  if (AcceptWord(Kw::Where)) sql += " WHERE " + Condition().sql;
  if (AcceptWord(Kw::Group)) {
    if (!ExpectWord(Kw::By)) return "";
    sql += " GROUP BY ";
    for (bool first = true;; first = false) {
      if (!first) sql += ", ";
      sql += Expression().sql;
      if (!AcceptOp(",")) break;
    }
  }
  if (AcceptWord(Kw::Having)) sql += " HAVING " + Condition().sql;
  from_ = outer_from;
  return failed_ ? "" : sql;
}

namespace {

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// Words that may stand in a select list or a join condition outside parentheses; any other
// reserved word ends the FROM clause or the statement.
bool InsideQuery(Kw kw) {
  switch (kw) {
    case Kw::As:
    case Kw::And:
    case Kw::Or:
    case Kw::Not:
    case Kw::Null:
    case Kw::Is:
    case Kw::In:
    case Kw::Like:
    case Kw::Between:
    case Kw::Exists:
    case Kw::Case:
    case Kw::When:
    case Kw::Then:
    case Kw::Else:
    case Kw::End:
    case Kw::Collate:
    case Kw::Escape:
    case Kw::Into:
    case Kw::All:
    case Kw::Distinct:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::vector<Translator::Source> Translator::ScanSources() const {
  std::vector<Source> sources;
  const size_t n = tokens_.size();
  auto op = [&](size_t k, std::string_view o) { return k < n && tokens_[k].type == Tok::Op && tokens_[k].text == o; };
  auto word = [&](size_t k, Kw kw) { return k < n && tokens_[k].type == Tok::Word && tokens_[k].kw == kw; };
  auto name = [&](size_t k) {
    return k < n && (tokens_[k].type == Tok::Quoted || (tokens_[k].type == Tok::Word && !IsReserved(tokens_[k].kw)));
  };
  auto skip_group = [&](size_t& k) {  // k at '(': past its ')'
    for (int depth = 0; k < n; ++k) {
      if (op(k, "(")) ++depth;
      if (op(k, ")") && --depth == 0) break;
    }
    ++k;
  };
  // The FROM of this query: outside parentheses and CASE ... END, before a word that ends it.
  size_t k = pos_;
  for (int cases = 0;; ++k) {
    if (k >= n || tokens_[k].type == Tok::End || op(k, ")") || op(k, ";")) return sources;
    if (op(k, "(")) {
      skip_group(k);
      --k;
      continue;
    }
    if (tokens_[k].type != Tok::Word) continue;
    if (word(k, Kw::From)) break;
    if (word(k, Kw::Case)) ++cases;
    if (word(k, Kw::End) && cases-- == 0) return sources;
    if (IsReserved(tokens_[k].kw) && !InsideQuery(tokens_[k].kw)) return sources;
  }
  ++k;
  for (;;) {
    Source source;
    if (op(k, "(")) {
      skip_group(k);
    } else if (name(k)) {
      std::vector<std::string> parts{RawName(tokens_[k++])};
      while (op(k, ".") && name(k + 1)) {
        parts.push_back(RawName(tokens_[k + 1]));
        k += 2;
      }
      source.alias = parts.back();
      source.table = (parts.size() >= 2 ? parts[parts.size() - 2] : std::string("dbo")) + "." + parts.back();
    } else {
      return sources;
    }
    if (word(k, Kw::As)) ++k;
    if (name(k)) source.alias = RawName(tokens_[k++]);
    if (op(k, "(")) skip_group(k);  // the column names of a derived table
    if (word(k, Kw::With) && op(k + 1, "(")) {
      ++k;
      skip_group(k);
    }
    sources.push_back(std::move(source));
    if (word(k, Kw::On)) {  // the join's condition, up to the next join, ',' or the end of the FROM
      for (++k; k < n && tokens_[k].type != Tok::End && !op(k, ",") && !op(k, ")") && !op(k, ";");) {
        if (op(k, "(")) {
          skip_group(k);
          continue;
        }
        if (tokens_[k].type == Tok::Word &&
            (word(k, Kw::Join) || word(k, Kw::Inner) || word(k, Kw::Left) || word(k, Kw::Right) || word(k, Kw::Full) ||
             word(k, Kw::Cross) || (IsReserved(tokens_[k].kw) && !InsideQuery(tokens_[k].kw)))) {
          break;
        }
        ++k;
      }
    }
    if (op(k, ",") || word(k, Kw::Join)) {
      ++k;
    } else if ((word(k, Kw::Inner) || word(k, Kw::Cross)) && word(k + 1, Kw::Join)) {
      k += 2;
    } else if (word(k, Kw::Left) || word(k, Kw::Right) || word(k, Kw::Full)) {
      k += word(k + 1, Kw::Outer) ? 3 : 2;
    } else {
      return sources;
    }
  }
}

const std::vector<CatalogColumn>& Translator::TableColumns(const std::string& table, bool collations) {
  for (Translation::TableRead& read : out_.tables_read) {
    if (!SameText(read.table, table)) continue;
    if (collations && !read.collations) {
      read.columns = catalog_->Columns(read.table, true);
      read.collations = true;
    }
    return read.columns;
  }
  out_.tables_read.push_back(Translation::TableRead{table, catalog_->Columns(table, collations), collations});
  return out_.tables_read.back().columns;
}

CatalogColumn Translator::ColumnOf(std::string_view qualifier, std::string_view name, bool collations) {
  if (catalog_ == nullptr) return {};
  for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
    CatalogColumn found;
    int hits = 0;
    bool unknown = false;  // a derived table, or a qualifier that names a table of this query
    for (const Source& source : *scope) {
      if (!qualifier.empty() && !SameText(source.alias, qualifier)) continue;
      unknown = unknown || source.table.empty() || !qualifier.empty();
      if (source.table.empty()) continue;
      for (const CatalogColumn& column : TableColumns(source.table, collations)) {
        if (SameText(column.name, name)) {
          found = column;
          ++hits;
        }
      }
    }
    if (hits == 1) return found;
    if (hits > 1 || unknown) return {};
  }
  return {};
}

SqlType Translator::TypeOf(const Expr& e) {
  if (e.type.kind != SqlType::Kind::Unknown || e.name.empty()) return e.type;
  SqlType type = ParseSqlType(ColumnOf(e.qualifier, e.name).type);
  if (e.text_of && !type.IsText()) {
    type = {};
    type.kind = SqlType::Kind::VarChar;
  }
  return type;
}

bool Translator::National(const Expr& e) {
  if (TypeOf(e).National()) return true;
  return std::any_of(e.joined.begin(), e.joined.end(), [this](const auto& column) {
    return ParseSqlType(ColumnOf(column.first, column.second).type).National();
  });
}

std::string Translator::ColumnCollation(const Expr& e) {
  if (e.name.empty()) return "";
  return ColumnOf(e.qualifier, e.name, true).collation;
}

std::string Translator::ItemType(const Expr& item) {
  if (item.declared) return SqlTypeText(item.type);
  return item.type.National() ? "N" : "";
}

Expr Translator::SelectItem() {
  if (AcceptOp("*")) return {"*"};
  // qualifier.* (the last qualifier part is the table's alias)
  {
    size_t k = 0;
    while (IsNameToken(k) && IsOp(".", k + 1)) k += 2;
    if (k > 0 && IsOp("*", k)) {
      const Token& alias = Peek(k - 2);
      pos_ += k + 1;
      return {Name(alias) + ".*"};
    }
  }
  // alias = expression
  if (IsNameToken() && IsOp("=", 1)) {
    const Token alias = Peek();
    pos_ += 2;
    Expr item = Expression();
    item.sql += " AS " + QuoteName(RawName(alias));
    return item;
  }
  const size_t from = pos_;
  Expr item = Expression();
  if (failed_) return {};
  Exact(item);  // SELECT 1.5 is a numeric(2,1)
  std::string& e = item.sql;
  if (AcceptWord(Kw::As)) {
    const Token& t = Peek();
    if (t.type == Tok::Word || t.type == Tok::Quoted) {
      ++pos_;
      e += " AS " + QuoteName(RawName(t));
      return item;
    }
    if (t.type == Tok::String) {  // AS 'alias'
      ++pos_;
      e += " AS " + QuoteName(t.text.substr(1, t.text.size() - 2));
      return item;
    }
    return Fail(), Expr{};
  }
  if (IsNameToken()) {
    const Token& t = Peek();
    ++pos_;
    e += " AS " + QuoteName(RawName(t));
    return item;
  }
  // SQL Server gives a computed column no name; SQLite would name it after its text.
  bool plain_column = true;
  for (size_t k = from; k < pos_; ++k) {
    const Tok type = tokens_[k].type;
    plain_column =
        plain_column && (type == Tok::Word || type == Tok::Quoted || (type == Tok::Op && tokens_[k].text == "."));
  }
  if (!plain_column) e += " AS \"\"";
  return item;
}

std::string Translator::FromList() {
  std::string sql;
  for (bool first = true;; first = false) {
    if (!first) sql += ", ";
    sql += JoinedTable();
    if (failed_) return "";
    if (!AcceptOp(",")) break;
  }
  return failed_ ? "" : sql;
}

// A table source and the joins that follow it.
std::string Translator::JoinedTable() {
  std::string sql = TableSource();
  if (failed_) return "";
  for (;;) {
    std::string join;
    if (AcceptWord(Kw::Join)) {
      join = " JOIN ";
    } else if (IsWord(Kw::Inner) && IsWord(Kw::Join, 1)) {
      pos_ += 2;
      join = " JOIN ";
    } else if (IsWord(Kw::Left) || IsWord(Kw::Right) || IsWord(Kw::Full)) {
      const std::string side(Upper(Peek().text[0]) == 'L' ? "LEFT" : Upper(Peek().text[0]) == 'R' ? "RIGHT" : "FULL");
      ++pos_;
      AcceptWord(Kw::Outer);
      if (!ExpectWord(Kw::Join)) return "";
      join = " " + side + " JOIN ";
    } else if (IsWord(Kw::Cross) && IsWord(Kw::Join, 1)) {
      pos_ += 2;
      sql += " CROSS JOIN " + TableSource();
      continue;
    } else {
      break;
    }
    sql += join + TableSource();
    if (!ExpectWord(Kw::On)) return "";
    sql += " ON " + Condition().sql;
    if (failed_) return "";
  }
  return failed_ ? "" : sql;
}

// At "(": a joined table in parentheses, as "( t0 AS a CROSS JOIN t1 AS b )", rather than a
// derived table. A derived table begins with its query and is always followed by its alias; a
// joined table in parentheses never has one.
bool Translator::AtParenthesizedJoin() const {
  if (!IsOp("(") || IsWord(Kw::Select, 1) || IsWord(Kw::With, 1)) return false;
  size_t ahead = 0;
  for (int depth = 0;; ++ahead) {
    const Token& t = Peek(ahead);
    if (t.type == Tok::End) return false;
    if (IsOp("(", ahead)) ++depth;
    if (IsOp(")", ahead) && --depth == 0) break;
  }
  return !IsWord(Kw::As, ahead + 1) && !IsNameToken(ahead + 1);
}

// A table is always given an alias, its own name unless the statement names one, so that
// columns qualified with the table's name or its schema-qualified name resolve.
std::string Translator::TableSource() {
  std::string sql;
  std::string alias;
  std::vector<std::vector<std::string>> rows;  // of a table value constructor
  const bool values = IsOp("(") && IsWord(Kw::Values, 1);
  if (values) {
    pos_ += 2;
    rows = ValuesRows();
    if (failed_ || !ExpectOp(")")) return "";
  } else if (AtParenthesizedJoin()) {
    Nesting nesting(*this);
    ++pos_;
    sql = "(" + JoinedTable() + ")";
    if (failed_ || !ExpectOp(")")) return "";
    return sql;
  } else if (AcceptOp("(")) {
    sql = "(" + QueryExpression() + ")";
    if (!ExpectOp(")")) return "";
  } else {
    ObjectName obj;
    if (!ParseObjectName(obj)) return "";
    // A catalog view (INFORMATION_SCHEMA.TABLES, sys.objects) is its query of SQLite's schema.
    const char* view = CatalogViewSql(obj.schema, obj.name);
    sql = view != nullptr ? "(" + std::string(view) + ")" : obj.Quoted();
    alias = obj.name;
  }
  if (AcceptWord(Kw::As)) {
    Token t;
    if (!ExpectName(t)) return "";
    alias = RawName(t);
  } else if (IsNameToken()) {
    alias = RawName(Peek());
    ++pos_;
  }
  if (values) {
    sql = ValuesTable(alias, rows);
    if (failed_) return "";
  }
  if (IsWord(Kw::With) && IsOp("(", 1)) {  // table hints such as WITH (NOLOCK)
    pos_ += 2;
    while (Peek().type != Tok::End && !IsOp(")")) ++pos_;
    if (!ExpectOp(")")) return "";
  }
  if (alias.empty()) return Fail(), "";
  return sql + " AS " + QuoteName(alias);
}

// The rows of (VALUES (a, b), (c, d)) after its VALUES: each row's expressions.
std::vector<std::vector<std::string>> Translator::ValuesRows() {
  std::vector<std::vector<std::string>> rows;
  do {
    if (!ExpectOp("(")) return {};
    std::vector<std::string>& row = rows.emplace_back();
    do {
      const Expr value = Expression();
      if (failed_) return {};
      row.push_back(value.sql);
      Exact(value);  // a decimal literal stays a decimal, as its column's sum and average do
    } while (AcceptOp(","));
    if (!ExpectOp(")")) return {};
    if (row.size() != rows.front().size()) {
      FailWith(Raised<Err::ValuesRowWidth>());
      return {};
    }
  } while (AcceptOp(","));
  return rows;
}

// A table value constructor takes its column names from the list after its alias, as
// (VALUES ...) AS v (a, b); SQLite names a VALUES' columns column1, column2, ...
std::string Translator::ValuesTable(const std::string& alias, const std::vector<std::vector<std::string>>& rows) {
  if (alias.empty()) return Fail(), "";
  if (!IsOp("(")) return FailWith(Raised<Err::NoColumnName>(alias));
  ++pos_;
  std::vector<std::string> names;
  do {
    Token t;
    if (!ExpectName(t)) return "";
    names.push_back(Name(t));
  } while (AcceptOp(","));
  if (!ExpectOp(")")) return "";
  const size_t width = rows.front().size();
  if (names.size() != width) {
    return FailWith(names.size() < width ? Raised<Err::MoreColumns>(alias) : Raised<Err::FewerColumns>(alias));
  }
  std::string sql = "(SELECT ";
  for (size_t i = 0; i < width; ++i) {
    sql += (i > 0 ? ", column" : "column") + std::to_string(i + 1) + " AS " + names[i];
  }
  sql += " FROM (VALUES ";
  for (size_t r = 0; r < rows.size(); ++r) {
    sql += r > 0 ? ", (" : "(";
    for (size_t i = 0; i < width; ++i) sql += (i > 0 ? ", " : "") + rows[r][i];
    sql += ")";
  }
  return sql + "))";
}

SqlType Translator::TargetColumnType(const std::string& column, int position) {
  if (catalog_ == nullptr || target_.empty()) return {};
  const std::vector<CatalogColumn>& columns = TableColumns(target_);
  if (column.empty()) {
    return position >= 0 && static_cast<size_t>(position) < columns.size() ? ParseSqlType(columns[position].type)
                                                                           : SqlType{};
  }
  for (const CatalogColumn& c : columns) {
    if (SameText(c.name, column)) return ParseSqlType(c.type);
  }
  return {};
}

}  // namespace tsqlite
