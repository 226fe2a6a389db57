// The translator's statements, queries, expressions and function calls: INSERT, UPDATE,
// DELETE, SELECT with its joins and set operators, SET, and every expression inside them.
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

#include "translator.h"

namespace tsqlite {

void Translator::OneStatement() {
  // The statement's verb is its first word; the batch's verb is its first statement's, known
  // even when the rest of the statement fails to parse.
  const Token& first = Peek();
  verb_.clear();
  target_.clear();
  if (first.type == Tok::Word) {
    for (char c : first.text) verb_.push_back(Upper(c));
    if (first.kw == Kw::Truncate) verb_ = "DELETE";  // emptied as a DELETE would
  } else if (IsOp("(") && IsWord(Kw::Select, 1)) {
    verb_ = "SELECT";
  }
  if (out_.statements.empty() && out_.verb.empty()) out_.verb = verb_;
  if (IsWord(Kw::Select) || (IsOp("(") && IsWord(Kw::Select, 1))) {
    record_items_ = true;
    item_types_.clear();
    assigns_.clear();
    into_ = ObjectName();
    std::string sql = QueryExpression();
    record_items_ = false;
    if (!failed_ && !assigns_.empty()) {
      // SELECT @x = ...: no result set; the last row's values go into the variables.
      Emit(Statement::Kind::Assign, std::move(sql));
      if (!failed_) out_.statements.back().assign = std::move(assigns_);
    } else if (!failed_ && !into_.name.empty()) {
      // SELECT ... INTO makes the table from the query's columns and rows.
      RequireSchema(into_.schema);
      target_ = into_.Stored();
      Emit(Statement::Kind::Ddl, "CREATE TABLE " + into_.Created() + " AS " + sql);
    } else {
      if (!failed_) Emit(Statement::Kind::Query, std::move(sql));
      if (!failed_ && !out_.statements.empty()) out_.statements.back().column_types = std::move(item_types_);
    }
  } else if (AcceptWord(Kw::Insert)) {
    Insert();
  } else if (AcceptWord(Kw::Update)) {
    Update();
  } else if (AcceptWord(Kw::Delete)) {
    Delete();
  } else if (AcceptWord(Kw::Create)) {
    Create();
  } else if (AcceptWord(Kw::Drop)) {
    Drop();
  } else if (AcceptWord(Kw::Alter)) {
    Alter();
  } else if (AcceptWord(Kw::Set)) {
    Set();
  } else if (AcceptWord(Kw::Use)) {
    Token t;
    if (ExpectName(t)) Emit(Statement::Kind::NoOp, "");
  } else if (AcceptWord(Kw::Print)) {
    const Expr e = Expression();
    if (!failed_) Emit(Statement::Kind::Print, "SELECT " + e.sql);
  } else if (AcceptWord(Kw::Go)) {
    Emit(Statement::Kind::NoOp, "");
  } else if (AcceptWord(Kw::Truncate)) {
    ObjectName table;
    if (ExpectWord(Kw::Table) && ParseObjectName(table)) {
      target_ = table.Stored();
      Emit(Statement::Kind::Ddl, "DELETE FROM " + table.Quoted());
    }
  } else {
    Fail();
  }
}

void Translator::Set() {
  if (AcceptWord(Kw::Datefirst)) {
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
  static constexpr Kw kOnOff[] = {Kw::Nocount,
                                  Kw::AnsiNulls,
                                  Kw::AnsiPadding,
                                  Kw::AnsiWarnings,
                                  Kw::QuotedIdentifier,
                                  Kw::Arithabort,
                                  Kw::XactAbort,
                                  Kw::ConcatNullYieldsNull,
                                  Kw::AnsiNullDfltOn,
                                  Kw::NumericRoundabort,
                                  Kw::ImplicitTransactions,
                                  Kw::Textsize};
  for (const Kw option : kOnOff) {
    if (AcceptWord(option)) {
      if (AcceptWord(Kw::On) || AcceptWord(Kw::Off) || Peek().type == Tok::Marker) {
        if (Peek().type == Tok::Marker) ++pos_;
        Emit(Statement::Kind::NoOp, "");
        return;
      }
      Fail();
      return;
    }
  }
  if (AcceptWord(Kw::Language) || AcceptWord(Kw::Dateformat)) {
    if (Peek().type == Tok::Word || Peek().type == Tok::Quoted || Peek().type == Tok::Marker) {
      ++pos_;
      Emit(Statement::Kind::NoOp, "");
      return;
    }
  }
  Fail();
}

void Translator::Insert() {
  AcceptWord(Kw::Into);
  ObjectName obj;
  if (!ParseObjectName(obj)) return;
  target_ = obj.Stored();
  std::string sql = "INSERT INTO " + obj.Quoted();
  // The columns written, in order: the query whose result column i is the i-th of them.
  std::string columns = "*";
  std::vector<std::string> names;  // as written, when listed
  if (IsOp("(") && !IsWord(Kw::Select, 1)) {
    ++pos_;
    sql += " (";
    columns.clear();
    for (bool first = true;; first = false) {
      Token t;
      if (!ExpectName(t)) return;
      if (!first) sql += ", ";
      if (!first) columns += ", ";
      sql += Name(t);
      columns += Name(t);
      names.push_back(RawName(t));
      if (AcceptOp(")")) break;
      if (!ExpectOp(",")) return;
    }
    sql += ")";
  }
  // Without a column list the values of a row go to every column but an IDENTITY one, which
  // numbers the rows itself (here SQLite's row number, declared INTEGER). A row with a value for it
  // too is left as it is.
  if (names.empty() && catalog_ != nullptr && IsWord(Kw::Values) && IsOp("(", 1)) {
    const std::vector<CatalogColumn> all = TableColumns(target_);
    size_t values = 1;
    for (size_t k = pos_ + 2, depth = 0; k < tokens_.size() && tokens_[k].type != Tok::End; ++k) {
      const Token& t = tokens_[k];
      if (t.type != Tok::Op) continue;
      if (t.text == "(") ++depth;
      if (t.text == ")" && depth-- == 0) break;
      if (t.text == "," && depth == 0) ++values;
    }
    const auto identity =
        std::find_if(all.begin(), all.end(), [](const CatalogColumn& c) { return c.type == "INTEGER"; });
    if (identity != all.end() && values + 1 == all.size()) {
      sql += " (";
      columns.clear();
      for (const CatalogColumn& c : all) {
        if (&c == &*identity) continue;
        if (!names.empty()) sql += ", ", columns += ", ";
        sql += QuoteName(c.name);
        columns += QuoteName(c.name);
        names.push_back(c.name);
      }
      sql += ")";
    }
  }
  if (AcceptWord(Kw::Values)) {
    sql += " VALUES ";
    for (bool first_row = true;; first_row = false) {
      if (!ExpectOp("(")) return;
      sql += first_row ? "(" : ", (";
      for (int column = 0;; ++column) {
        if (column > 0) sql += ", ";
        if (AcceptWord(Kw::Default)) return (void)Fail();  // SQLite has no DEFAULT in VALUES
        Expr value = Expression();
        if (const int k = value.param; k > 0) {
          probes_.push_back(Statement::Probe{k, "SELECT " + columns + " FROM " + obj.Quoted(), column, true});
        } else {
          value.sql = Assigned(value, names.size() > static_cast<size_t>(column) ? names[column] : "", column);
        }
        if (static_cast<size_t>(column) < names.size()) value.sql = FitDatetime(value, obj, names[column]);
        sql += value.sql;
        if (failed_) return;
        if (AcceptOp(")")) break;
        if (!ExpectOp(",")) return;
      }
      sql += ")";
      if (!AcceptOp(",")) break;
    }
  } else if (IsWord(Kw::Select) || IsOp("(")) {
    std::string query = QueryExpression();
    // Without a column list the rows go in as they are, but a char/varchar column of code page
    // 1252 takes them converted.
    size_t unlisted = 0;
    if (names.empty() && CodePage1252(collation_)) {
      const size_t count = catalog_ == nullptr ? 0 : TableColumns(target_).size();
      for (size_t k = 0; k < count; ++k) {
        if (CodePageText(TargetColumnType("", static_cast<int>(k)))) unlisted = count;
      }
    }
    if (!names.empty() || unlisted > 0) {
      // The rows go through ts_fit by way of a common table expression: a decimal column takes
      // them in its type, any other column as they are.
      std::string columns_of_rows, fitted;
      for (size_t k = 0; k < std::max(names.size(), unlisted); ++k) {
        const std::string c = "c" + std::to_string(k + 1);
        columns_of_rows += (k > 0 ? ", " : "") + c;
        std::string value =
            names.empty() ? c
                          : std::string("ts_fit(") + c + ", " + SqlString(target_) + ", " + SqlString(names[k]) + ")";
        if (CodePageText(names.empty() ? TargetColumnType("", static_cast<int>(k)) : TargetColumnType(names[k], 0))) {
          value = "ts_to_1252(" + value + ")";
        }
        fitted += (k > 0 ? ", " : "") + value;
      }
      query = "WITH tsqlite_rows(" + columns_of_rows + ") AS (" + query + ") SELECT " + fitted + " FROM tsqlite_rows";
    }
    sql += " " + query;
  } else if (AcceptWord(Kw::Default)) {
    if (!ExpectWord(Kw::Values)) return;
    sql += " DEFAULT VALUES";
  } else {
    Fail();
    return;
  }
  if (!failed_) Emit(Statement::Kind::Write, std::move(sql));
}

// The target carries its own name as alias, so that Table.Column and Schema.Table.Column work.
void Translator::Update() {
  ObjectName obj;
  if (!ParseObjectName(obj)) return;
  target_ = obj.Stored();
  const Scope scope(*this, {Source{obj.name, obj.Stored()}});
  std::string sql = "UPDATE " + obj.Quoted() + " AS " + QuoteName(obj.name) + " SET ";
  from_ = " FROM " + obj.Quoted() + " AS " + QuoteName(obj.name);
  if (!ExpectWord(Kw::Set)) return;
  for (bool first = true;; first = false) {
    Token t;
    if (!ExpectName(t)) return;
    while (AcceptOp(".")) {  // Table.Column = ...: SQLite takes the bare column
      if (!ExpectName(t)) return;
    }
    if (!ExpectOp("=")) return;
    if (!first) sql += ", ";
    Expr value = Expression();
    Expr column{Name(t)};
    column.column = true;
    Meets(column, value, true);
    value.sql = Assigned(value, RawName(t), 0);
    sql += column.sql + " = " + FitDatetime(value, obj, RawName(t));
    if (failed_) return;
    if (!AcceptOp(",")) break;
  }
  // UPDATE ... FROM other sources joined in WHERE, as SQL Server and SQLite both take it. A
  // FROM that names the target again (UPDATE t ... FROM t JOIN ...) means the same rows on SQL
  // Server but a second copy of the table in SQLite, so it is refused rather than misread.
  if (AcceptWord(Kw::From)) {
    const size_t from_start = pos_;
    const std::string sources = FromList();
    if (failed_) return;
    std::string name;
    for (char c : obj.name) name.push_back(Upper(c));
    for (size_t k = from_start; k < pos_; ++k) {
      if ((tokens_[k].type == Tok::Word || tokens_[k].type == Tok::Quoted) && WordIs(tokens_[k].text, name)) {
        FailAt(tokens_[k].text);
        return;
      }
    }
    sql += " FROM " + sources;
  }
  if (AcceptWord(Kw::Where)) sql += " WHERE " + Expression().sql;
  if (!failed_) Emit(Statement::Kind::Write, std::move(sql), true);
}

void Translator::Delete() {
  AcceptWord(Kw::From);
  ObjectName obj;
  if (!ParseObjectName(obj)) return;
  target_ = obj.Stored();
  const Scope scope(*this, {Source{obj.name, obj.Stored()}});
  std::string sql = "DELETE FROM " + obj.Quoted() + " AS " + QuoteName(obj.name);
  from_ = " FROM " + obj.Quoted() + " AS " + QuoteName(obj.name);
  if (AcceptWord(Kw::Where)) sql += " WHERE " + Expression().sql;
  if (!failed_) Emit(Statement::Kind::Write, std::move(sql), true);
}

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
      return FailWith(141,
                      "A SELECT statement that assigns a value to a variable must not be combined with "
                      "data-retrieval operations.");
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
  if (AcceptWord(Kw::Where)) sql += " WHERE " + Expression().sql;
  if (AcceptWord(Kw::Group)) {
    if (!ExpectWord(Kw::By)) return "";
    sql += " GROUP BY ";
    for (bool first = true;; first = false) {
      if (!first) sql += ", ";
      sql += Expression().sql;
      if (!AcceptOp(",")) break;
    }
  }
  if (AcceptWord(Kw::Having)) sql += " HAVING " + Expression().sql;
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

std::string Translator::TypeOf(const Expr& e) {
  if (!e.type.empty() || e.name.empty()) return e.type;
  const std::string type = ColumnOf(e.qualifier, e.name).type;
  return e.text_of && !TextType(type) ? "VARCHAR" : type;
}

std::string Translator::ColumnCollation(const Expr& e) {
  if (e.name.empty()) return "";
  return ColumnOf(e.qualifier, e.name, true).collation;
}

std::string Translator::ItemType(const Expr& item) {
  if (item.declared) {
    const std::string& type = item.type;
    const bool max = type.size() > 5 && type.compare(type.size() - 5, 5, "(MAX)") == 0;
    return max ? type.substr(0, type.size() - 5) : type;
  }
  return NationalType(item.type) ? "N" : "";
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
    sql += TableSource();
    if (failed_) return "";
    for (;;) {  // joins
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
      sql += " ON " + Expression().sql;
      if (failed_) return "";
    }
    if (!AcceptOp(",")) break;
  }
  return failed_ ? "" : sql;
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
  } else if (AcceptOp("(")) {
    sql = "(" + QueryExpression() + ")";
    if (!ExpectOp(")")) return "";
  } else {
    ObjectName obj;
    if (!ParseObjectName(obj)) return "";
    sql = obj.Quoted();
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
      FailWith(10709, "The number of columns for each row in a table value constructor must be the same.");
      return {};
    }
  } while (AcceptOp(","));
  return rows;
}

// A table value constructor takes its column names from the list after its alias, as
// (VALUES ...) AS v (a, b); SQLite names a VALUES' columns column1, column2, ...
std::string Translator::ValuesTable(const std::string& alias, const std::vector<std::vector<std::string>>& rows) {
  if (alias.empty()) return Fail(), "";
  if (!IsOp("(")) return FailWith(8155, "No column name was specified for column 1 of '" + alias + "'.");
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
    return FailWith(names.size() < width ? 8158 : 8159, "'" + alias + "' has " +
                                                            (names.size() < width ? "more" : "fewer") +
                                                            " columns than were specified in the column list.");
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
    return {"NOT (" + NotExpr().sql + ")"};
  }
  return Predicate();
}

Expr Translator::Predicate() {
  if (AcceptWord(Kw::Exists)) {
    if (!ExpectOp("(")) return {};
    std::string q = QueryExpression();
    if (!ExpectOp(")")) return {};
    return {"EXISTS (" + q + ")"};
  }
  Expr l = Additive();
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

std::string Translator::TargetColumnType(const std::string& column, int position) {
  if (catalog_ == nullptr || target_.empty()) return "";
  const std::vector<CatalogColumn>& columns = TableColumns(target_);
  if (column.empty())
    return position >= 0 && static_cast<size_t>(position) < columns.size() ? columns[position].type : "";
  for (const CatalogColumn& c : columns) {
    if (SameText(c.name, column)) return c.type;
  }
  return "";
}

bool Translator::ToText(const Type& type) {
  return type.kind == Type::Kind::Char || type.kind == Type::Kind::VarChar;
}

bool Translator::NationalType(const std::string& type) {
  return type.rfind("NCHAR", 0) == 0 || type.rfind("NVARCHAR", 0) == 0 || type.rfind("NTEXT", 0) == 0;
}

bool Translator::TextType(const std::string& type) {
  return NationalType(type) || type.rfind("CHAR", 0) == 0 || type.rfind("VARCHAR", 0) == 0 ||
         type.rfind("TEXT", 0) == 0;
}

bool Translator::MaxText(const std::string& type) {
  const bool max = type.size() > 5 && type.compare(type.size() - 5, 5, "(MAX)") == 0;
  return (max && TextType(type)) || type == "TEXT" || type == "NTEXT";
}

bool Translator::CodePageText(const std::string& type) const {
  return CodePage1252(collation_) && TextType(type) && !NationalType(type);
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
  const bool national =
      std::any_of(terms.begin(), terms.end(), [](const Expr& term) { return NationalType(term.type); });
  Expr sum = ArithmeticChain(terms, minus);
  if (national) sum.type = "NVARCHAR";
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

Expr Translator::Multiplicative() {
  Expr l = Unary();
  while (!failed_) {
    const char* function = AcceptOp("*") ? "ts_mul(" : AcceptOp("/") ? "ts_div(" : AcceptOp("%") ? "ts_mod(" : nullptr;
    if (function != nullptr) {
      const Expr r = Unary();
      Exact(l);
      Exact(r);
      Expr product;
      product.sql = function + l.sql + ", " + r.sql + ")";
      product.held = Expr::Held::Decimal;
      l = std::move(product);
    } else {
      break;
    }
  }
  return l;
}

Expr Translator::Unary() {
  Nesting nesting(*this);
  if (failed_) return {};
  if (AcceptOp("-")) {
    Expr e = Unary();
    Expr negated;
    negated.type = e.type;
    if (e.param > 0 || e.column || e.held == Expr::Held::Decimal) {  // a decimal keeps its digits
      Exact(e);
      negated.sql = "ts_neg(" + e.sql + ")";
      negated.held = Expr::Held::Decimal;
      return negated;
    }
    // A blank after the sign: "-" followed by an emitted "-1" must never read as a comment.
    negated.sql = e.number ? "-" + e.sql : "(- " + e.sql + ")";
    return negated;
  }
  if (AcceptOp("+")) return Unary();
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
        e.type = "NVARCHAR";
      } else if (t.literal >= 0 && at < shape_.literals.size() &&
                 std::find(shape_.markers.begin(), shape_.markers.end(), t.literal) == shape_.markers.end() &&
                 shape_.literals[at].kind == Literal::Kind::Text) {
        e.type = "VARCHAR";
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
      if (t.national) e.type = "NVARCHAR";
      return e;
    case Tok::Variable:
      ++pos_;
      switch (GlobalOf(t.text)) {
        case Global::Datefirst:
          return {"ts_datefirst()"};
        case Global::Rowcount:
          return {"ts_rowcount()"};
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
          e.number = e.null = false;
        }
        if (!ExpectOp(")")) return {};
        e.sql = "(" + e.sql + ")";
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
      e.type = "DATETIME";
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
  std::string sql = "CASE";
  if (!IsWord(Kw::When)) sql += " " + Expression().sql;
  while (AcceptWord(Kw::When)) {
    sql += " WHEN " + Expression().sql;
    if (!ExpectWord(Kw::Then)) return {};
    sql += " THEN " + Expression().sql;
  }
  if (AcceptWord(Kw::Else)) sql += " ELSE " + Expression().sql;
  if (!ExpectWord(Kw::End)) return {};
  if (failed_) return {};
  return {sql + " END"};
}

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
      FailWith(2750, "Column or parameter #0: Specified column precision " + std::to_string(type.length) +
                         " is greater than the maximum precision of 38.");
      return false;
    }
    if (type.scale > type.length) {
      FailWith(192, "The scale must be less than or equal to the precision.");
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
      const bool iso = style.empty() && source.type == "DATETIME2(3)" && source.param == 0 && !source.column;
      // A datetime2, date or time column is stored in its ISO form, which its text is (a
      // datetime2(0) or a date would otherwise read as a datetime, style 0).
      if (style.empty() &&
          (from_type.rfind("DATETIME2", 0) == 0 || from_type == "DATE" || from_type.rfind("TIME", 0) == 0)) {
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
    return FailWith(155, "'" + std::string(t.text) + "' is not a recognized " + lower + " option.");
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
  if (rows.empty())
    return FailWith(195, "'" + std::string(name.text) + "' is not a recognized built-in function name."), Expr{};
  pos_ += 2;  // name and '('
  const ArgForm form = rows.front()->form;
  if (form == ArgForm::Convert) {
    Type type;
    if (!ParseType(type) || !ExpectOp(",")) return {};
    Expr value = Expression();
    std::string style;
    if (AcceptOp(",")) style = Expression().sql;
    if (!ExpectOp(")")) return {};
    return Convert(type, value, style, true);
  }
  if (form == ArgForm::Cast) {
    Expr value = Expression();
    Type type;
    if (!ExpectWord(Kw::As) || !ParseType(type) || !ExpectOp(")")) return {};
    return Convert(type, value, "", true);
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
  if (row == nullptr) return FailWith(174, ArgumentCountMessage(rows)), Expr{};
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
  if (args.size() == 1 && rule == Rule::Abs && TypeOf(args[0]) == "BIGINT") {
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
