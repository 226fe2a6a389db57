// The translator's statements that write or set: the dispatch on a statement's first word,
// SET, INSERT, UPDATE and DELETE.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "translator_class.h"

namespace tsqlite {

void Translator::OneStatement() {
  // The statement's verb is its first word; the batch's verb is its first statement's, known
  // even when the rest of the statement fails to parse.
  const Token& first = Peek();
  verb_ = Kw::None;
  target_.clear();
  if (first.type == Tok::Word) {
    verb_ = first.kw == Kw::Truncate ? Kw::Delete : first.kw;  // emptied as a DELETE would
  } else if (IsOp("(") && IsWord(Kw::Select, 1)) {
    verb_ = Kw::Select;
  }
  if (out_.statements.empty() && out_.verb == Kw::None) out_.verb = verb_;
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
  } else if (AcceptWord(Kw::Exec) || AcceptWord(Kw::Execute)) {
    Execute();
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
  if (AcceptWord(Kw::LockTimeout)) {
    const bool minus = IsOp("-");
    if (minus) ++pos_;
    const Token& t = Peek();
    if (t.type != Tok::Marker) {
      Fail();
      return;
    }
    ++pos_;
    Emit(Statement::Kind::SetLockTimeout, "");
    out_.statements.back().date_first_param = t.literal;
    out_.statements.back().on = minus;
    return;
  }
  if (AcceptWord(Kw::Nocount)) {
    const bool on = AcceptWord(Kw::On);
    if (!on && !AcceptWord(Kw::Off)) {
      Fail();
      return;
    }
    Emit(Statement::Kind::SetNoCount, "");
    out_.statements.back().on = on;
    return;
  }
  // Session options that make no difference here: SET ANSI_NULLS ON, ...
  static constexpr Kw kOnOff[] = {
      Kw::AnsiNulls, Kw::AnsiPadding,          Kw::AnsiWarnings,   Kw::QuotedIdentifier,  Kw::Arithabort,
      Kw::XactAbort, Kw::ConcatNullYieldsNull, Kw::AnsiNullDfltOn, Kw::NumericRoundabort, Kw::ImplicitTransactions,
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
  // Through a view: the rows go to its table, each listed column to the table's column it shows.
  const ObjectName written = obj;
  const std::optional<UpdatableView> view = ViewWritten(obj);
  if (failed_) return;
  if (view) obj = ViewBase(*view);
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
      const std::string name = view ? ViewColumn(*view, written, RawName(t)) : RawName(t);
      if (failed_) return;
      sql += view ? QuoteName(name) : Name(t);
      columns += view ? QuoteName(name) : Name(t);
      names.push_back(name);
      if (AcceptOp(")")) break;
      if (!ExpectOp(",")) return;
    }
    sql += ")";
  }
  if (view && names.empty()) {  // every column of the view, in its order
    for (const auto& [shown, column] : view->columns) {
      names.push_back(ViewColumn(*view, written, shown));
      if (failed_) return;
      columns = (names.size() == 1 ? "" : columns + ", ") + QuoteName(names.back());
    }
    sql += " (" + columns + ")";
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
        std::find_if(all.begin(), all.end(), [](const CatalogColumn& c) { return ParseSqlType(c.type).row_number; });
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
  if (const std::optional<UpdatableView> view = ViewWritten(obj)) {
    if (!failed_) UpdateThroughView(obj, *view);
    return;
  }
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
  if (AcceptWord(Kw::Where)) sql += " WHERE " + Condition().sql;
  if (!failed_) Emit(Statement::Kind::Write, std::move(sql), true);
}

void Translator::Delete() {
  AcceptWord(Kw::From);
  ObjectName obj;
  if (!ParseObjectName(obj)) return;
  if (const std::optional<UpdatableView> view = ViewWritten(obj)) {
    if (!failed_) DeleteThroughView(obj, *view);
    return;
  }
  target_ = obj.Stored();
  const Scope scope(*this, {Source{obj.name, obj.Stored()}});
  std::string sql = "DELETE FROM " + obj.Quoted() + " AS " + QuoteName(obj.name);
  from_ = " FROM " + obj.Quoted() + " AS " + QuoteName(obj.name);
  if (AcceptWord(Kw::Where)) sql += " WHERE " + Condition().sql;
  if (!failed_) Emit(Statement::Kind::Write, std::move(sql), true);
}

}  // namespace tsqlite
