// SQLite's errors in SQL Server's terms: the table of rules that maps a failed SQLite call to SQL
// Server's native error, SQLSTATE and message, and the executor's record of a failed statement.
#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "errors.h"
#include "executor.h"
#include "executor_internal.h"

namespace tsqlite {

namespace {

// Tables are stored as "schema.name"; SQL Server names a table of the default schema without it.
std::string DisplayName(std::string_view name) {
  if (name.size() > 4 && (name.substr(0, 4) == "dbo." || name.substr(0, 4) == "DBO.")) {
    name.remove_prefix(4);
  }
  return std::string(name);
}

// "A.T.c" (table A.T, column c) as SQLite names a column in constraint messages.
void SplitColumn(std::string_view qualified, std::string& table, std::string& column) {
  size_t dot = qualified.rfind('.');
  if (dot == std::string_view::npos) {
    table.clear();
    column = qualified;
  } else {
    table = qualified.substr(0, dot);
    column = qualified.substr(dot + 1);
  }
}

std::string_view After(std::string_view message, std::string_view prefix) {
  size_t at = message.find(prefix);
  return at == std::string_view::npos ? std::string_view() : message.substr(at + prefix.size());
}

// An identifier at text[pos] ("x", [x], `x` or a bare word); pos is moved past it.
std::string ReadIdentifier(std::string_view text, size_t& pos) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\n' || text[pos] == '\t')) ++pos;
  if (pos >= text.size()) return std::string();
  char open = text[pos];
  char close = open == '"' ? '"' : open == '[' ? ']' : open == '`' ? '`' : '\0';
  std::string out;
  if (close != '\0') {
    ++pos;
    while (pos < text.size() && text[pos] != close) out += text[pos++];
    ++pos;
    return out;
  }
  while (pos < text.size() && text[pos] != ' ' && text[pos] != '(' && text[pos] != ',' && text[pos] != ')' &&
         text[pos] != '\n') {
    out += text[pos++];
  }
  return out;
}

// The name of the table constraint whose definition holds text[at], "" when it has none.
std::string ConstraintAt(std::string_view definition, size_t at) {
  size_t c = definition.rfind("CONSTRAINT ", at);
  if (c == std::string_view::npos) return std::string();
  int depth = 0;
  size_t pos = c + 11;
  std::string name = ReadIdentifier(definition, pos);
  for (size_t i = pos; i < at; ++i) {
    if (definition[i] == '(') ++depth;
    if (definition[i] == ')') --depth;
    if (definition[i] == ',' && depth == 0) return std::string();  // another column or constraint between
  }
  return name;
}

struct Mapped {
  std::string table;       // the table concerned, as SQL Server shows it
  std::string detail;      // the column, constraint or token SQLite names
  std::string constraint;  // the constraint's name where the table definition gives it
  std::string referenced;  // a foreign key's table, as SQL Server shows it
  std::string column;      // a foreign key's column in that table
};

using MessageFn = std::string (*)(const Mapped& m, std::string_view verb, std::string_view db);

// One rule of the translation of SQLite errors into SQL Server's. code is matched against the
// extended result code when it has extended bits, else against the primary code; a rule with a
// marker matches only messages that contain it. The first matching rule wins. The error is the
// row err of the error table; message gives its text where the row's needs more than the name
// SQLite gave (m.detail), which fills the row's one %s where it has one.
struct ErrorRule {
  int code;
  const char* marker;
  Err err;
  MessageFn message = nullptr;
};

std::string Quoted(std::string_view text, char quote) {
  std::string out(1, quote);
  out += text;
  out += quote;
  return out;
}

std::string ConflictIn(std::string_view verb, std::string_view kind, const std::string& constraint, std::string_view db,
                       const std::string& where) {
  return MakeError(Err::Conflict, {verb, kind, constraint, db, where}).message;
}

std::string DuplicateKey(const Mapped& m, std::string_view kind) {
  return MakeError(Err::Duplicate, {kind, m.constraint.empty() ? "" : " " + Quoted(m.constraint, '\''), m.table})
      .message;
}

const ErrorRule kErrorRules[] = {
    {SQLITE_CONSTRAINT_CHECK, "CHECK constraint failed: tsqlite_len_", Err::Truncated},
    {SQLITE_CONSTRAINT_CHECK, "CHECK constraint failed: tsqlite_dt_", Err::DatetimeFromText},
    {SQLITE_CONSTRAINT_CHECK, "CHECK constraint failed: tsqlite_int_", Err::ArithmeticOverflow,
     [](const Mapped&, std::string_view, std::string_view) {
       return Raised<Err::ArithmeticOverflow>("expression", "int").message;
     }},
    {SQLITE_CONSTRAINT_CHECK, nullptr, Err::Conflict,
     [](const Mapped& m, std::string_view verb, std::string_view db) {
       return ConflictIn(verb, "CHECK", " " + Quoted(m.detail, '"'), db,
                         m.table.empty() ? "" : ", table " + Quoted(m.table, '"'));
     }},
    {SQLITE_CONSTRAINT_FOREIGNKEY, nullptr, Err::Conflict,
     [](const Mapped& m, std::string_view verb, std::string_view db) {
       std::string where;
       if (!m.referenced.empty()) where += ", table " + Quoted(m.referenced, '"');
       if (!m.column.empty()) where += ", column " + Quoted(m.column, '\'');
       return ConflictIn(verb, verb == "DELETE" ? "REFERENCE" : "FOREIGN KEY",
                         m.constraint.empty() ? "" : " " + Quoted(m.constraint, '"'), db, where);
     }},
    {SQLITE_CONSTRAINT_NOTNULL, nullptr, Err::NotNull,
     [](const Mapped& m, std::string_view verb, std::string_view db) {
       return Raised<Err::NotNull>(m.detail, std::string(db) + "." + m.table, verb == "UPDATE" ? "UPDATE" : "INSERT")
           .message;
     }},
    {SQLITE_CONSTRAINT_PRIMARYKEY, nullptr, Err::Duplicate,
     [](const Mapped& m, std::string_view, std::string_view) { return DuplicateKey(m, "PRIMARY KEY"); }},
    {SQLITE_CONSTRAINT_UNIQUE, nullptr, Err::Duplicate,
     [](const Mapped& m, std::string_view, std::string_view) { return DuplicateKey(m, "UNIQUE KEY"); }},
    {SQLITE_ERROR, "no such table: ", Err::InvalidObject},
    // Reading names a missing column "no such column: c", inserting "table T has no column named c".
    {SQLITE_ERROR, "no such column: ", Err::InvalidColumn},
    {SQLITE_ERROR, " has no column named ", Err::InvalidColumn},
    {SQLITE_ERROR, "ambiguous column name: ", Err::AmbiguousColumn},
    {SQLITE_ERROR, " already exists", Err::AlreadyExists},
    {SQLITE_ERROR, "no such view: ", Err::DropMissingView},
    // DROP VIEW of a table ("use DROP TABLE to delete table S.T"), DROP TABLE of a view.
    {SQLITE_ERROR, "use DROP TABLE to delete table ", Err::DropWrongKind,
     [](const Mapped& m, std::string_view, std::string_view) {
       return Raised<Err::DropWrongKind>("VIEW", m.detail, m.detail, "table", "TABLE").message;
     }},
    {SQLITE_ERROR, "use DROP VIEW to delete view ", Err::DropWrongKind,
     [](const Mapped& m, std::string_view, std::string_view) {
       return Raised<Err::DropWrongKind>("TABLE", m.detail, m.detail, "view", "VIEW").message;
     }},
    // An INSERT whose rows have more or fewer values than its columns ("table T has 4 columns but 2
    // values were supplied"; "... has 2 values for 4 columns" where the rows pass through a
    // common table expression).
    {SQLITE_ERROR, " values were supplied", Err::ValuesMismatch},
    {SQLITE_ERROR, " values for ", Err::ValuesMismatch},
    // SQLite's own limits on nesting (its parser's stack, the depth of an expression tree).
    {SQLITE_ERROR, "parser stack overflow", Err::NestedTooDeeply},
    {SQLITE_ERROR, "Expression tree is too large", Err::NestedTooDeeply},
    {SQLITE_ERROR, "syntax error", Err::SyntaxError},
    {SQLITE_TOOBIG, nullptr, Err::ValueTooLarge},
    {SQLITE_BUSY, nullptr, Err::LockTimeout},
    {SQLITE_LOCKED, nullptr, Err::LockTimeout},
    // A database file the connection may only read (its mode, a read-only mount): SQL Server's
    // answer for a write to a read-only database.
    {SQLITE_READONLY, nullptr, Err::ReadOnly,
     [](const Mapped&, std::string_view, std::string_view db) { return Raised<Err::ReadOnly>(db).message; }},
    // The disk of the database file is full: SQL Server's answer when a file group can grow no
    // more; the statement wrote nothing.
    {SQLITE_FULL, nullptr, Err::FileGroupFull,
     [](const Mapped& m, std::string_view, std::string_view db) {
       return Raised<Err::FileGroupFull>(m.table.empty() ? std::string_view("dbo") : std::string_view(m.table), db)
           .message;
     }},
};

bool RuleCodeMatches(int rule_code, int extended_code) {
  return (rule_code & ~0xff) != 0 ? rule_code == extended_code : rule_code == (extended_code & 0xff);
}

Mapped Describe(const ErrorRule& rule, std::string_view message, const ErrorContext& context) {
  Mapped m;
  std::string_view rest;
  auto definition = [&](const std::string& table) {
    return context.definition ? context.definition(table) : std::string();
  };
  switch (RowOf(rule.err).native) {
    case 208:
      m.detail = DisplayName(After(message, "no such table: "));
      break;
    case 3701:
      m.detail = DisplayName(After(message, "no such view: "));
      break;
    case 3705:
      rest = After(message, " to delete ");
      m.detail = DisplayName(After(rest, " "));
      break;
    case 207:
      // "no such column: c" when reading, "table T has no column named c" when inserting
      rest = After(message, "no such column: ");
      m.detail = std::string(rest.empty() ? After(message, " has no column named ") : rest);
      break;
    case 209:
      m.detail = std::string(After(message, "ambiguous column name: "));
      break;
    case 2714: {
      // table "S.T" already exists: SQL Server names the object without its schema
      rest = After(message, "\"");
      rest = rest.substr(0, rest.find('"'));
      const size_t dot = rest.find('.');
      m.detail = std::string(dot == std::string_view::npos ? rest : rest.substr(dot + 1));
      break;
    }
    case 102:
      // near "x": syntax error
      rest = After(message, "near \"");
      m.detail = std::string(rest.substr(0, rest.find("\": syntax error")));
      break;
    case 515:
      SplitColumn(After(message, "constraint failed: "), m.table, m.detail);
      m.table = m.table;
      break;
    case 2627: {
      // UNIQUE constraint failed: A.T.x, A.T.y
      rest = After(message, "constraint failed: ");
      SplitColumn(rest.substr(0, rest.find(", ")), m.table, m.detail);
      const std::string def = definition(m.table);
      size_t key = def.find(rule.code == SQLITE_CONSTRAINT_PRIMARYKEY ? "PRIMARY KEY" : "UNIQUE");
      if (key != std::string::npos) m.constraint = ConstraintAt(def, key);
      m.table = DisplayName(m.table);
      break;
    }
    case 547: {
      m.detail = std::string(After(message, "CHECK constraint failed: "));
      m.table = DisplayName(context.table);
      if (rule.code != SQLITE_CONSTRAINT_FOREIGNKEY || context.verb == Kw::Delete) break;
      // SQLite does not say which foreign key failed; a table with only one names it.
      const std::string def = definition(context.table);
      size_t ref = def.find("REFERENCES ");
      if (ref == std::string::npos || def.find("REFERENCES ", ref + 1) != std::string::npos) break;
      m.constraint = ConstraintAt(def, ref);
      size_t pos = ref + 11;
      m.referenced = DisplayName(ReadIdentifier(def, pos));
      while (pos < def.size() && def[pos] == ' ') ++pos;
      if (pos < def.size() && def[pos] == '(') {
        ++pos;
        m.column = ReadIdentifier(def, pos);
      }
      break;
    }
    default:
      break;
  }
  return m;
}

}  // namespace

std::vector<Error> MapSqliteError(int extended_code, std::string_view message, const ErrorContext& context) {
  const std::string_view verb = KeywordText(context.verb == Kw::None ? Kw::Insert : context.verb);
  std::vector<Error> out;
  Error error;
  if (extended_code == SQLITE_OK || !DecodeRaised(message, error)) {
    const ErrorRule* rule = nullptr;
    for (const ErrorRule& r : kErrorRules) {
      if (RuleCodeMatches(r.code, extended_code) &&
          (r.marker == nullptr || message.find(r.marker) != std::string_view::npos)) {
        rule = &r;
        break;
      }
    }
    if (rule == nullptr) {
      error = Raised<Err::Unmapped>(message);
    } else {
      const Mapped m = Describe(*rule, message, context);
      error = MakeError(rule->err, {m.detail});
      if (rule->message != nullptr) error.message = rule->message(m, verb, context.database);
    }
  }
  const ErrorRow* row = RowOfNative(error.native);
  out.push_back(std::move(error));
  if (row != nullptr && row->terminates) out.push_back(Raised<Err::Terminated>());
  return out;
}

void Database::Fail(int rc, const Statement* statement, Batch& batch) {
  int extended = sqlite3_extended_errcode(db_);
  if (extended == SQLITE_OK) extended = rc;
  if ((extended & 0xff) == SQLITE_INTERRUPT && stopped_ != Stop::None) {
    batch.errors.push_back(StoppedError());
    return;
  }
  std::string message = sqlite3_errmsg(db_);
  ErrorContext context{statement ? statement->verb : Kw::None, name_, statement ? statement->target : std::string(),
                       nullptr};
  if ((extended & 0xff) == SQLITE_CONSTRAINT) {
    // Constraint names live in the table definitions; read only when a constraint failed. A
    // statement may name its table in any case, as SQL Server's names go: the table is found in
    // any case, and messages show it as it was created.
    auto stored = [this](const std::string& table, int column) {
      std::string out;
      sqlite3_stmt* q = nullptr;
      if (sqlite3_prepare_v2(db_,
                             "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE",
                             -1, &q, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(q, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(q) == SQLITE_ROW && sqlite3_column_text(q, column) != nullptr) {
          out = reinterpret_cast<const char*>(sqlite3_column_text(q, column));
        }
      }
      sqlite3_finalize(q);
      return out;
    };
    context.definition = [stored](const std::string& table) { return stored(table, 1); };
    if (std::string name = context.table.empty() ? "" : stored(context.table, 0); !name.empty()) context.table = name;
  }
  for (Error& e : MapSqliteError(extended, message, context)) batch.errors.push_back(std::move(e));
}

}  // namespace tsqlite
