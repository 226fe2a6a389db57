// Writes through views. CREATE VIEW records what a view lets through to its table (tsqlite_views)
// and, for a view of one table, a second view of the same rows that also shows each row's SQLite
// row number; INSERT, UPDATE and DELETE on a view then write that table, the rows they touch found
// through the second view by those numbers. SQLite's own views refuse every write.
#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "translator_class.h"

namespace tsqlite {

namespace {

// The aggregate functions: a view that shows one is not updatable (4403).
bool IsAggregate(std::string_view word) {
  static constexpr std::string_view kAggregates[] = {"AVG", "CHECKSUM_AGG", "COUNT", "COUNT_BIG", "GROUPING",
                                                     "MAX", "MIN",          "STDEV", "STDEVP",    "STRING_AGG",
                                                     "SUM", "VAR",          "VARP"};
  return std::any_of(std::begin(kAggregates), std::end(kAggregates),
                     [&](std::string_view a) { return WordIs(word, a); });
}

bool IsOpToken(const Token& t, std::string_view op) {
  return t.type == Tok::Op && t.text == op;
}

bool IsNameOf(const Token& t) {
  return (t.type == Tok::Word && t.kw != Kw::Null && t.kw != Kw::CurrentTimestamp) || t.type == Tok::Quoted;
}

ObjectName StoredObject(const std::string& stored) {
  const size_t dot = stored.find('.');
  return ObjectName{stored.substr(0, dot), dot == std::string::npos ? std::string() : stored.substr(dot + 1)};
}

Error Refusal(int native, const std::string& view) {
  switch (native) {
    case 4403:
      return Raised<Err::ViewAggregates>(view);
    case 4406:
      return Raised<Err::ViewDerivedField>(view);
    default:
      return Raised<Err::ViewMultipleBases>(view);
  }
}

constexpr char kViewsTable[] =
    "CREATE TABLE IF NOT EXISTS tsqlite_views (name TEXT PRIMARY KEY COLLATE NOCASE, refusal INTEGER NOT NULL, base "
    "TEXT NOT NULL, columns TEXT NOT NULL)";

}  // namespace

// The view of the same rows with their row numbers; its name has no '.', so that no catalog view
// lists it.
std::string Translator::RowidsView(const ObjectName& view) {
  std::string name = "tsqlite_rowids:" + view.schema + ":" + view.name;
  std::replace(name.begin(), name.end(), '.', ':');
  return QuoteName(name);
}

// The query from tokens [start, end) as the view's table and columns: one table after FROM, with
// an alias at most, and select items that are its columns or derived values.
UpdatableView Translator::ViewFacts(size_t start, size_t end, const std::vector<std::string>& names) {
  UpdatableView facts;
  const auto refuse = [&facts](Err e) {
    facts.refusal = RowOf(e).native;
    facts.columns.clear();
    return facts;
  };
  if (start >= end || tokens_[start].kw != Kw::Select) return refuse(Err::ViewDerivedField);
  size_t k = start + 1;
  if (tokens_[k].kw == Kw::Distinct) return refuse(Err::ViewAggregates);
  if (tokens_[k].kw == Kw::All) ++k;
  if (tokens_[k].kw == Kw::Top) {  // TOP (n) [PERCENT] [WITH TIES]: the rows, not the columns
    ++k;
    for (int depth = 0; k < end; ++k) {
      depth += IsOpToken(tokens_[k], "(") ? 1 : IsOpToken(tokens_[k], ")") ? -1 : 0;
      if (depth == 0) break;
    }
    ++k;
    if (k < end && tokens_[k].kw == Kw::Percent) ++k;
    if (k + 1 < end && tokens_[k].kw == Kw::With && WordIs(tokens_[k + 1].text, "TIES")) k += 2;
  }
  std::vector<std::pair<size_t, size_t>> items;
  size_t item = k;
  size_t from = end;
  bool aggregate = false, several = false, set_operator = false;
  for (int depth = 0; k < end; ++k) {
    const Token& t = tokens_[k];
    if (IsOpToken(t, "(")) ++depth;
    if (IsOpToken(t, ")")) --depth;
    if (from == end && t.type == Tok::Word && IsAggregate(t.text) && k + 1 < end && IsOpToken(tokens_[k + 1], "(")) {
      aggregate = true;
    }
    if (depth != 0) continue;
    if (from == end && IsOpToken(t, ",")) {
      items.emplace_back(item, k);
      item = k + 1;
    } else if (from == end && t.kw == Kw::From) {
      items.emplace_back(item, k);
      from = k;
    } else if (from != end) {
      aggregate = aggregate || t.kw == Kw::Group || t.kw == Kw::Having;
      set_operator = set_operator || t.kw == Kw::Union || t.kw == Kw::Except || t.kw == Kw::Intersect;
      several = several || IsOpToken(t, ",") || t.kw == Kw::Join || t.kw == Kw::Cross || t.kw == Kw::Inner ||
                t.kw == Kw::Left || t.kw == Kw::Right || t.kw == Kw::Full || t.kw == Kw::Outer;
    }
  }
  if (from == end) items.emplace_back(item, end);
  if (aggregate) return refuse(Err::ViewAggregates);
  if (set_operator || from == end) return refuse(Err::ViewDerivedField);
  if (several || from + 1 >= end || !IsNameOf(tokens_[from + 1])) return refuse(Err::ViewMultipleBases);
  // The table and its alias; then only WHERE, ORDER BY or the end.
  const size_t saved = pos_;
  pos_ = from + 1;
  ObjectName base;
  const bool named = ParseObjectName(base) && !base.Temporary();
  if (AcceptWord(Kw::As) || (IsNameToken() && !IsWord(Kw::Where) && !IsWord(Kw::Order))) ++pos_;
  const bool plain = named && (pos_ >= end || IsWord(Kw::Where) || IsWord(Kw::Order));
  pos_ = saved;
  if (!plain) return refuse(Err::ViewMultipleBases);
  facts.base = base.Stored();
  for (auto [a, b] : items) {
    if (b > a && IsOpToken(tokens_[b - 1], "*")) {  // * or T.*: every column of the table
      for (const CatalogColumn& c : TableColumns(facts.base)) facts.columns.emplace_back(c.name, c.name);
      continue;
    }
    std::string alias;
    if (b - a >= 3 && IsOpToken(tokens_[a + 1], "=") && IsNameOf(tokens_[a])) {  // alias = expression
      alias = RawName(tokens_[a]);
      a += 2;
    } else if (b - a >= 3 && tokens_[b - 2].kw == Kw::As) {
      alias = RawName(tokens_[b - 1]);
      b -= 2;
    } else if (b - a >= 2 && (IsNameOf(tokens_[b - 1]) || tokens_[b - 1].type == Tok::String) &&
               !IsOpToken(tokens_[b - 2], ".")) {
      alias = RawName(tokens_[b - 1]);
      --b;
    }
    // A column is a name, qualified or not: T.C, S.T.C.
    bool column = (b - a) % 2 == 1;
    for (size_t n = a; column && n < b; ++n)
      column = (n - a) % 2 == 0 ? IsNameOf(tokens_[n]) : IsOpToken(tokens_[n], ".");
    const std::string shown = column ? RawName(tokens_[b - 1]) : std::string();
    facts.columns.emplace_back(alias.empty() ? shown : alias, shown);
  }
  if (names.size() == facts.columns.size()) {
    for (size_t n = 0; n < names.size(); ++n) facts.columns[n].first = names[n];
  }
  return facts;
}

// After the view itself: its facts and, for a view of one table, its rows with their numbers.
void Translator::RecordView(const ObjectName& view, const UpdatableView& facts, const std::string& query) {
  Emit(Statement::Kind::Ddl, kViewsTable);
  Emit(Statement::Kind::Ddl, "DELETE FROM tsqlite_views WHERE name = " + SqlString(view.Stored()));
  Emit(Statement::Kind::Ddl, "DROP VIEW IF EXISTS " + RowidsView(view));
  std::string lines;
  for (const auto& [shown, column] : facts.columns) lines += shown + "\t" + column + "\n";
  Emit(Statement::Kind::Ddl, "INSERT INTO tsqlite_views VALUES (" + SqlString(view.Stored()) + ", " +
                                 std::to_string(facts.refusal) + ", " + SqlString(facts.base) + ", " +
                                 SqlString(lines) + ")");
  constexpr std::string_view kSelect = "SELECT ";
  if (facts.refusal != 0 || facts.columns.empty() || query.compare(0, kSelect.size(), kSelect) != 0) return;
  std::string columns = "\"tsqlite_rowid\"";
  for (const auto& [shown, column] : facts.columns) columns += ", " + QuoteName(shown);
  Emit(Statement::Kind::Ddl,
       "CREATE VIEW " + RowidsView(view) + " (" + columns + ") AS SELECT rowid, " + query.substr(kSelect.size()));
}

void Translator::ForgetView(const ObjectName& view) {
  Emit(Statement::Kind::Ddl, kViewsTable);
  Emit(Statement::Kind::Ddl, "DELETE FROM tsqlite_views WHERE name = " + SqlString(view.Stored()));
  Emit(Statement::Kind::Ddl, "DROP VIEW IF EXISTS " + RowidsView(view));
}

// The view a statement writes, as recorded; nothing for a table. A view that is not updatable
// fails the statement with SQL Server's error.
std::optional<UpdatableView> Translator::ViewWritten(const ObjectName& target) {
  if (catalog_ == nullptr || target.Temporary()) return std::nullopt;
  std::optional<UpdatableView> view = catalog_->View(target.Stored());
  if (!view) return view;
  out_.views_read.emplace_back(target.Stored(), *view);
  if (view->refusal != 0) FailWith(Refusal(view->refusal, target.name));
  return view;
}

// The table's column a column of the view shows; "" after failing with 4406 for a derived one.
// A name the view does not have is left as it is, for SQLite to refuse as any unknown column.
std::string Translator::ViewColumn(const UpdatableView& view, const ObjectName& target, const std::string& name) {
  for (const auto& [shown, column] : view.columns) {
    if (!SameName(shown, name)) continue;
    if (column.empty()) FailWith(Raised<Err::ViewDerivedField>(target.name));
    return column;
  }
  return name;
}

ObjectName Translator::ViewBase(const UpdatableView& view) {
  return StoredObject(view.base);
}

// DELETE FROM view [WHERE ...]: the table's rows the view shows and the condition takes.
void Translator::DeleteThroughView(const ObjectName& target, const UpdatableView& view) {
  target_ = view.base;
  const Scope scope(*this, {Source{target.name, target.Stored()}});
  from_ = " FROM " + target.Quoted() + " AS " + QuoteName(target.name);
  std::string rows = "SELECT \"tsqlite_rowid\" FROM " + RowidsView(target) + " AS " + QuoteName(target.name);
  if (AcceptWord(Kw::Where)) rows += " WHERE " + Condition().sql;
  if (!failed_)
    Emit(Statement::Kind::Write, "DELETE FROM " + QuoteName(view.base) + " WHERE rowid IN (" + rows + ")", true);
}

// UPDATE view SET column = value, ... [WHERE ...]: each value computed from the view's row.
void Translator::UpdateThroughView(const ObjectName& target, const UpdatableView& view) {
  target_ = view.base;
  const ObjectName base = ViewBase(view);
  const Scope scope(*this, {Source{target.name, target.Stored()}});
  from_ = " FROM " + target.Quoted() + " AS " + QuoteName(target.name);
  const std::string row = " FROM " + RowidsView(target) + " AS " + QuoteName(target.name);
  std::string sets;
  if (!ExpectWord(Kw::Set)) return;
  for (;;) {
    Token t;
    if (!ExpectName(t)) return;
    while (AcceptOp(".")) {
      if (!ExpectName(t)) return;
    }
    if (!ExpectOp("=")) return;
    const std::string column = ViewColumn(view, target, RawName(t));
    Expr value = Expression();
    if (failed_) return;
    Expr shown{Name(t)};
    shown.column = true;
    Meets(shown, value, true);
    value.sql = Assigned(value, column, 0);
    sets += (sets.empty() ? "" : ", ") + QuoteName(column) + " = (SELECT " + FitDatetime(value, base, column) + row +
            " WHERE " + QuoteName(target.name) + ".\"tsqlite_rowid\" = " + QuoteName(view.base) + ".rowid)";
    if (!AcceptOp(",")) break;
  }
  if (IsWord(Kw::From)) {  // other sources joined: not through a view
    Fail();
    return;
  }
  std::string rows = "SELECT \"tsqlite_rowid\"" + row;
  if (AcceptWord(Kw::Where)) rows += " WHERE " + Condition().sql;
  if (!failed_) {
    Emit(Statement::Kind::Write, "UPDATE " + QuoteName(view.base) + " SET " + sets + " WHERE rowid IN (" + rows + ")",
         true);
  }
}

}  // namespace tsqlite
