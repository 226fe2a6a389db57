// SQLite's errors in SQL Server's terms: the table of rules that maps a failed SQLite call to SQL
// Server's native error, SQLSTATE and message, and the executor's record of a failed statement.
#include <sqlite3.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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
// marker matches only messages that contain it. The first matching rule wins. Rules with code 0
// give the SQLSTATE of errors that the registered functions raise as "tsqlite:<native>:<message>".
struct ErrorRule {
  int code;
  const char* marker;
  int native;
  const char* sqlstate;
  MessageFn message;
  bool terminated;  // SQL Server follows with 3621 "The statement has been terminated."
};

std::string Quoted(std::string_view text, char quote) {
  std::string out(1, quote);
  out += text;
  out += quote;
  return out;
}

// Reading names a missing column "no such column: c", inserting "table T has no column named c".
std::string InvalidColumn(const Mapped& m, std::string_view, std::string_view) {
  return "Invalid column name " + Quoted(m.detail, '\'') + ".";
}

const ErrorRule kErrorRules[] = {
    {SQLITE_CONSTRAINT_CHECK, "CHECK constraint failed: tsqlite_len_", 8152, "22001",
     [](const Mapped&, std::string_view, std::string_view) -> std::string {
       return "String or binary data would be truncated.";
     },
     true},
    {SQLITE_CONSTRAINT_CHECK, "CHECK constraint failed: tsqlite_dt_", 241, "22007",
     [](const Mapped&, std::string_view, std::string_view) -> std::string {
       return "Conversion failed when converting date and/or time from character string.";
     },
     false},
    {SQLITE_CONSTRAINT_CHECK, "CHECK constraint failed: tsqlite_int_", 8115, "22003",
     [](const Mapped&, std::string_view, std::string_view) -> std::string {
       return "Arithmetic overflow error converting expression to data type int.";
     },
     false},
    {SQLITE_CONSTRAINT_CHECK, nullptr, 547, "23000",
     [](const Mapped& m, std::string_view verb, std::string_view db) {
       std::string out = "The " + std::string(verb) + " statement conflicted with the CHECK constraint " +
                         Quoted(m.detail, '"') + ". The conflict occurred in database " + Quoted(db, '"');
       if (!m.table.empty()) out += ", table " + Quoted(m.table, '"');
       return out + ".";
     },
     true},
    {SQLITE_CONSTRAINT_FOREIGNKEY, nullptr, 547, "23000",
     [](const Mapped& m, std::string_view verb, std::string_view db) {
       std::string out = "The " + std::string(verb) + " statement conflicted with the " +
                         (verb == "DELETE" ? "REFERENCE" : "FOREIGN KEY") + " constraint";
       if (!m.constraint.empty()) out += " " + Quoted(m.constraint, '"');
       out += ". The conflict occurred in database " + Quoted(db, '"');
       if (!m.referenced.empty()) out += ", table " + Quoted(m.referenced, '"');
       if (!m.column.empty()) out += ", column " + Quoted(m.column, '\'');
       return out + ".";
     },
     true},
    {SQLITE_CONSTRAINT_NOTNULL, nullptr, 515, "23000",
     [](const Mapped& m, std::string_view verb, std::string_view db) {
       return "Cannot insert the value NULL into column " + Quoted(m.detail, '\'') + ", table " +
              Quoted(std::string(db) + "." + m.table, '\'') + "; column does not allow nulls. " +
              std::string(verb == "UPDATE" ? "UPDATE" : "INSERT") + " fails.";
     },
     true},
    {SQLITE_CONSTRAINT_PRIMARYKEY, nullptr, 2627, "23000",
     [](const Mapped& m, std::string_view, std::string_view) {
       return "Violation of PRIMARY KEY constraint" + (m.constraint.empty() ? "" : " " + Quoted(m.constraint, '\'')) +
              ". Cannot insert duplicate key in object " + Quoted(m.table, '\'') + ".";
     },
     true},
    {SQLITE_CONSTRAINT_UNIQUE, nullptr, 2627, "23000",
     [](const Mapped& m, std::string_view, std::string_view) {
       return "Violation of UNIQUE KEY constraint" + (m.constraint.empty() ? "" : " " + Quoted(m.constraint, '\'')) +
              ". Cannot insert duplicate key in object " + Quoted(m.table, '\'') + ".";
     },
     true},
    {SQLITE_ERROR, "no such table: ", 208, "42S02",
     [](const Mapped& m, std::string_view, std::string_view) {
       return "Invalid object name " + Quoted(m.detail, '\'') + ".";
     },
     false},
    {SQLITE_ERROR, "no such column: ", 207, "42S22", InvalidColumn, false},
    {SQLITE_ERROR, " has no column named ", 207, "42S22", InvalidColumn, false},
    {SQLITE_ERROR, "ambiguous column name: ", 209, "42000",
     [](const Mapped& m, std::string_view, std::string_view) {
       return "Ambiguous column name " + Quoted(m.detail, '\'') + ".";
     },
     false},
    {SQLITE_ERROR, " already exists", 2714, "42S01",
     [](const Mapped& m, std::string_view, std::string_view) {
       return "There is already an object named " + Quoted(m.detail, '\'') + " in the database.";
     },
     false},
    // An INSERT whose rows have more or fewer values than its columns ("table T has 4 columns but 2
    // values were supplied"; "... has 2 values for 4 columns" where the rows pass through a
    // common table expression).
    {SQLITE_ERROR, " values were supplied", 213, "21S01",
     [](const Mapped&, std::string_view, std::string_view) -> std::string {
       return "Column name or number of supplied values does not match table definition.";
     },
     false},
    {SQLITE_ERROR, " values for ", 213, "21S01",
     [](const Mapped&, std::string_view, std::string_view) -> std::string {
       return "Column name or number of supplied values does not match table definition.";
     },
     false},
    // SQLite's own limits on nesting (its parser's stack, the depth of an expression tree).
    {SQLITE_ERROR, "parser stack overflow", 191, "42000",
     [](const Mapped&, std::string_view, std::string_view) -> std::string { return kNestedTooDeeply; }, false},
    {SQLITE_ERROR, "Expression tree is too large", 191, "42000",
     [](const Mapped&, std::string_view, std::string_view) -> std::string { return kNestedTooDeeply; }, false},
    {SQLITE_ERROR, "syntax error", 102, "42000",
     [](const Mapped& m, std::string_view, std::string_view) {
       return "Incorrect syntax near " + Quoted(m.detail, '\'') + ".";
     },
     false},
    {SQLITE_TOOBIG, nullptr, 7119, "42000",
     [](const Mapped&, std::string_view, std::string_view) -> std::string {
       return "Attempting to grow LOB beyond maximum allowed size of 2147483647 bytes.";
     },
     false},
    {SQLITE_BUSY, nullptr, 1222, "HYT00",
     [](const Mapped&, std::string_view, std::string_view) -> std::string {
       return "Lock request time out period exceeded.";
     },
     false},
    {SQLITE_LOCKED, nullptr, 1222, "HYT00",
     [](const Mapped&, std::string_view, std::string_view) -> std::string {
       return "Lock request time out period exceeded.";
     },
     false},
    // A database file the connection may only read (its mode, a read-only mount): SQL Server's
    // answer for a write to a read-only database.
    {SQLITE_READONLY, nullptr, 3906, "42000",
     [](const Mapped&, std::string_view, std::string_view db) {
       return "Failed to update database " + Quoted(db, '"') + " because the database is read-only.";
     },
     false},
    // Errors raised by the registered functions: their SQLSTATE by native number.
    {0, nullptr, 8134, "22012", nullptr, false},
    {0, nullptr, 8115, "22003", nullptr, false},
    {0, nullptr, 220, "22003", nullptr, false},
    {0, nullptr, 241, "22007", nullptr, false},
    {0, nullptr, 242, "22007", nullptr, false},
    {0, nullptr, 245, "22018", nullptr, false},
    {0, nullptr, 8114, "22018", nullptr, false},
    {0, nullptr, 515, "23000", nullptr, true},
    {0, nullptr, 547, "23000", nullptr, true},
    {0, nullptr, 2627, "23000", nullptr, true},
    {0, nullptr, 8152, "22001", nullptr, true},
    {0, nullptr, 102, "42000", nullptr, false},
    {0, nullptr, 207, "42S22", nullptr, false},
    {0, nullptr, 208, "42S02", nullptr, false},
    {0, nullptr, 2714, "42S01", nullptr, false},
    {0, nullptr, 2760, "42000", nullptr, false},
    {0, nullptr, 1014, "42000", nullptr, false},
    {0, nullptr, 192, "42000", nullptr, false},
    {0, nullptr, 2750, "42000", nullptr, false},
    {0, nullptr, 9810, "42000", nullptr, false},
    {0, nullptr, 1007, "42000", nullptr, false},
    {0, nullptr, 8003, "42000", nullptr, false},
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
  switch (rule.native) {
    case 208:
      m.detail = DisplayName(After(message, "no such table: "));
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
      if (rule.code != SQLITE_CONSTRAINT_FOREIGNKEY || context.verb == "DELETE") break;
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
  const std::string_view verb = context.verb.empty() ? std::string_view("INSERT") : context.verb;
  std::vector<Error> out;
  const ErrorRule* rule = nullptr;
  Error error;
  if (extended_code != SQLITE_OK && message.substr(0, 8) == "tsqlite:") {
    // A function's own error: "tsqlite:<native>:<message>".
    std::string_view rest = message.substr(8);
    size_t colon = rest.find(':');
    error.native = std::atoi(std::string(rest.substr(0, colon)).c_str());
    error.message = colon == std::string_view::npos ? std::string() : std::string(rest.substr(colon + 1));
    error.sqlstate = "42000";
    for (const ErrorRule& r : kErrorRules) {
      if (r.code == 0 && r.native == error.native) {
        error.sqlstate = r.sqlstate;
        rule = &r;
        break;
      }
    }
  } else {
    for (const ErrorRule& r : kErrorRules) {
      if (r.code != 0 && RuleCodeMatches(r.code, extended_code) &&
          (r.marker == nullptr || message.find(r.marker) != std::string_view::npos)) {
        rule = &r;
        break;
      }
    }
    if (rule == nullptr) {
      error.sqlstate = "HY000";
      error.native = 0;
      error.message = std::string(message);
    } else {
      error.sqlstate = rule->sqlstate;
      error.native = rule->native;
      error.message = rule->message(Describe(*rule, message, context), verb, context.database);
    }
  }
  out.push_back(std::move(error));
  if (rule != nullptr && rule->terminated) {
    out.push_back(Error{"01000", 3621, "The statement has been terminated."});
  }
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
  ErrorContext context{statement ? std::string_view(statement->verb) : std::string_view(), name_,
                       statement ? statement->target : std::string(), nullptr};
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
