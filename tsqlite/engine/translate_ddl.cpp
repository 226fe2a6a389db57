// The translator's DDL: CREATE SCHEMA/TABLE/INDEX/VIEW, DROP and ALTER TABLE and VIEW, with the column
// types, widths, defaults and constraints SQLite is given for them.
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

#include "decimal.h"
#include "translator_class.h"

namespace tsqlite {

// CREATE TABLE in a schema other than dbo fails as on SQL Server when the schema is unknown;
// schemas are listed in tsqlite_schemas.
void Translator::EnsureSchemaTable() {
  Emit(Statement::Kind::Ddl, "CREATE TABLE IF NOT EXISTS tsqlite_schemas (name TEXT PRIMARY KEY COLLATE NOCASE)");
}

std::string Translator::SqlString(std::string_view s) {
  std::string q = "'";
  for (char c : s) {
    q.push_back(c);
    if (c == '\'') q.push_back('\'');
  }
  return q + "'";
}

void Translator::RequireSchema(const std::string& schema) {
  if (WordIs(schema, "DBO")) return;
  EnsureSchemaTable();
  const Error error = Raised<Err::SchemaMissing>(schema);
  Emit(Statement::Kind::Ddl, "INSERT INTO tsqlite_schemas (name) SELECT ts_error(" + std::to_string(error.native) +
                                 ", " + SqlString(error.message) +
                                 ") WHERE NOT EXISTS (SELECT 1 FROM tsqlite_schemas WHERE name = " + SqlString(schema) +
                                 ")");
}

void Translator::Create() {
  if (AcceptWord(Kw::Schema)) {
    Token t;
    if (!ExpectName(t)) return;
    const std::string schema = RawName(t);
    if (AcceptWord(Kw::Authorization)) {
      Token owner;
      if (!ExpectName(owner)) return;
    }
    EnsureSchemaTable();
    const Error error = Raised<Err::AlreadyExists>(schema);
    Emit(Statement::Kind::Ddl,
         "INSERT INTO tsqlite_schemas (name) SELECT CASE WHEN EXISTS (SELECT 1 FROM tsqlite_schemas "
         "WHERE name = " +
             SqlString(schema) + ") OR " + (WordIs(schema, "DBO") ? "1" : "0") + " THEN ts_error(" +
             std::to_string(error.native) + ", " + SqlString(error.message) + ") ELSE " + SqlString(schema) + " END");
    return;
  }
  if (AcceptWord(Kw::Table)) {
    CreateTable();
    return;
  }
  if (AcceptWord(Kw::View)) {
    CreateView(false);
    return;
  }
  const bool unique = AcceptWord(Kw::Unique);
  if (!AcceptWord(Kw::Clustered)) AcceptWord(Kw::Nonclustered);
  if (AcceptWord(Kw::Index)) {
    CreateIndex(unique);
    return;
  }
  Fail();
}

// Index names are unique per table on SQL Server but per database in SQLite.
std::string Translator::IndexName(const ObjectName& table, const std::string& index) {
  return QuoteName(table.schema + "." + table.name + "." + index);
}

void Translator::CreateIndex(bool unique) {
  Token name;
  if (!ExpectName(name) || !ExpectWord(Kw::On)) return;
  ObjectName table;
  if (!ParseObjectName(table)) return;
  std::string cols = IndexColumns(true);
  if (failed_) return;
  if (AcceptWord(Kw::Include)) IndexColumns(false);  // covering columns: SQLite has none
  std::string filter;
  if (AcceptWord(Kw::Where)) filter = " WHERE " + Expression().sql;  // a filtered index
  SkipStorageOptions();
  if (failed_) return;
  Emit(Statement::Kind::Ddl, std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " +
                                 IndexName(table, RawName(name)) + " ON " + table.Quoted() + " (" + cols + ")" +
                                 filter);
}

// (col [ASC|DESC], ...)
std::string Translator::IndexColumns(bool with_order) {
  if (!ExpectOp("(")) return "";
  std::string cols;
  for (bool first = true;; first = false) {
    Token t;
    if (!ExpectName(t)) return "";
    if (!first) cols += ", ";
    cols += Name(t);
    if (with_order && AcceptWord(Kw::Asc)) cols += " ASC";
    if (with_order && AcceptWord(Kw::Desc)) cols += " DESC";
    if (AcceptOp(")")) return cols;
    if (!ExpectOp(",")) return "";
  }
}

// WITH (...) and ON [filegroup] after a table or an index: storage details without meaning here.
void Translator::SkipStorageOptions() {
  for (;;) {
    if (IsWord(Kw::With) && IsOp("(", 1)) {
      pos_ += 2;
      int nest = 1;
      while (nest > 0 && Peek().type != Tok::End) {
        if (IsOp("(")) ++nest;
        if (IsOp(")")) --nest;
        ++pos_;
      }
    } else if (IsWord(Kw::On) && (Peek(1).type == Tok::Word || Peek(1).type == Tok::Quoted)) {
      pos_ += 2;
    } else if (IsWord(Kw::TextimageOn)) {
      pos_ += 2;
    } else {
      return;
    }
  }
}

// The CHECK that refuses a char/varchar value longer than its width (8152). A binary (UTF-8)
// varchar(n) counts bytes, as SQL Server's does: a client binds a column into a buffer of n bytes
// and a terminator, and a longer UTF-8 value would arrive cut in the middle of a character. Under
// code page 1252 every character is one byte; nvarchar(n) counts characters.
std::string Translator::WidthCheck(const std::string& column, const SqlType& type, Collation collation) {
  if (type.max) return "";
  const std::string quoted = Name(Token{Tok::Word, column, -1});
  const bool characters = type.National() || CodePage1252(collation);
  return " CONSTRAINT " + QuoteName("tsqlite_len_" + column) + " CHECK (length(" +
         (characters ? "rtrim(" + quoted + ")" : "CAST(rtrim(" + quoted + ") AS BLOB)") +
         ") <= " + std::to_string(type.length) + ")";
}

// The SQLite column type with the additions that give SQL Server's behaviour: text compares
// without regard to trailing blanks, a char/varchar width refuses longer values (8152), and a
// datetime column only takes values in the storage form.
void Translator::ColumnType(const std::string& column, SqlType type, Collation collation, std::string& decl,
                            std::string& checks) {
  const std::string quoted = Name(Token{Tok::Word, column, -1});
  // The declared type keeps SQL Server's name, which gives SQLite the matching affinity (TEXT
  // for the char types, INTEGER for the int types; NUMERIC for datetime, which leaves the
  // storage form as text) and lets the catalog and column descriptions show the type. An int
  // column is never declared INTEGER, which would make a primary key SQLite's rowid.
  using K = SqlType::Kind;
  decl = SqlTypeText(type);
  switch (type.kind) {
    case K::Char:
    case K::NChar:
    case K::UniqueIdentifier:
    case K::VarChar:
    case K::NVarChar:
    case K::Text:
    case K::NText:
      decl += std::string(" COLLATE ") + SqliteCollation(collation);
      if (type.length < 0 && !type.max) type.length = 1;  // a column declared char means char(1)
      checks += WidthCheck(column, type, collation);
      break;
    case K::Datetime:
      // Values arrive through CONVERT or the current time, both in the storage form; the
      // length catches a date pasted as plain text ('20200101', '2020-01-01'), which would
      // otherwise be stored as it stands and never compare equal to a converted date. A
      // pattern match would be stricter but costs every insert several times as much.
      checks += " CONSTRAINT " + QuoteName("tsqlite_dt_" + column) + " CHECK (length(" + quoted + ") = 23)";
      break;
    case K::Date:
    case K::Datetime2:
    case K::SmallDatetime:
    case K::Time: {
      // The storage form's length: 'YYYY-MM-DD', 'YYYY-MM-DD hh:mm:ss[.f]', 'hh:mm:ss[.f]'.
      const long fraction = type.scale > 0 ? type.scale + 1 : 0;
      const long length = type.kind == K::Date            ? 10
                          : type.kind == K::SmallDatetime ? 19
                          : type.kind == K::Time          ? 8 + fraction
                                                          : 19 + fraction;
      checks += " CONSTRAINT " + QuoteName("tsqlite_dt_" + column) + " CHECK (length(" + quoted +
                ") = " + std::to_string(length) + ")";
      break;
    }
    case K::Binary:
    case K::VarBinary:
    case K::Image:
      if (type.length < 0 && !type.max) type.length = 1;  // binary means binary(1)
      if (!type.max) {
        checks += " CONSTRAINT " + QuoteName("tsqlite_len_" + column) + " CHECK (length(CAST(" + quoted +
                  " AS BLOB)) <= " + std::to_string(type.length) + ")";
      }
      break;
    case K::Decimal:
    case K::Numeric:
    case K::Money:
    case K::SmallMoney:
      // "DECIMAL TEXT(10,2)": text affinity, so that SQLite never turns a value into a double;
      // the collation orders the values as numbers.
      decl = std::string(SqlTypeName(type.kind)) + " TEXT" + SqlTypeArgs(type) + " COLLATE " + kDecimalCollation;
      break;
    case K::Bit:
    case K::TinyInt:
    case K::SmallInt:
    case K::Int:
    case K::BigInt: {
      // The type's range, whatever route a value takes into the column. Conversions before it
      // give SQL Server's error naming the value; this catches the rest (INSERT ... SELECT
      // without a column list, a DEFAULT) with 8115. Plain SQL, so that any SQLite tool can
      // still check and write the file.
      const char* range = type.kind == K::Bit        ? " IN (0, 1)"
                          : type.kind == K::TinyInt  ? " BETWEEN 0 AND 255"
                          : type.kind == K::SmallInt ? " BETWEEN -32768 AND 32767"
                          : type.kind == K::Int      ? " BETWEEN -2147483648 AND 2147483647"
                                                     : nullptr;
      if (range != nullptr) {
        checks += " CONSTRAINT " + QuoteName("tsqlite_int_" + column) + " CHECK (" + quoted + range + ")";
      }
      break;
    }
    default:  // float, real
      break;
  }
}

// REFERENCES table [(cols)] [ON DELETE|UPDATE action]
std::string Translator::References() {
  ObjectName target;
  if (!ParseObjectName(target)) return "";
  std::string sql = " REFERENCES " + target.Quoted();
  if (IsOp("(")) sql += " (" + IndexColumns(false) + ")";
  while (AcceptWord(Kw::On)) {
    std::string event;
    if (AcceptWord(Kw::Delete)) {
      event = " ON DELETE ";
    } else if (AcceptWord(Kw::Update)) {
      event = " ON UPDATE ";
    } else {
      return Fail(), "";
    }
    if (AcceptWord(Kw::Cascade)) {
      sql += event + "CASCADE";
    } else if (AcceptWord(Kw::No)) {
      if (!ExpectWord(Kw::Action)) return "";
      sql += event + "NO ACTION";
    } else if (AcceptWord(Kw::Set)) {
      if (AcceptWord(Kw::Null)) {
        sql += event + "SET NULL";
      } else if (AcceptWord(Kw::Default)) {
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
std::string Translator::DefaultValue(bool for_add_column) {
  const size_t from = pos_;
  std::string e = Expression().sql;
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
                     (tokens_[k].type == Tok::Word && tokens_[k].kw == Kw::Null))) {
      std::string_view text = tokens_[k].text;
      if (tokens_[k].type == Tok::String && (text[0] == 'N' || text[0] == 'n')) text.remove_prefix(1);
      return lit + std::string(text);
    }
    return Fail(), "";
  }
  return e;
}

// One column definition: name type [constraints]
std::string Translator::ColumnDefinition(bool for_add_column) {
  Token name;
  if (!ExpectName(name)) return "";
  const std::string column = RawName(name);
  SqlType type;
  if (!ParseType(type)) return "";
  Collation own_collation = collation_;  // a COLLATE clause may name the column's own
  std::string sql;                       // the clauses after the type, as written
  std::string constraint_name;
  // IDENTITY makes the column SQLite's row number, which fills itself in with the next number;
  // its PRIMARY KEY clause (written where the column's own stands, or added) says so.
  bool identity = false;
  size_t primary_key = std::string::npos;  // where in `sql` the PRIMARY KEY clause stands
  for (;;) {
    if (AcceptWord(Kw::Constraint)) {
      Token cn;
      if (!ExpectName(cn)) return "";
      constraint_name = " CONSTRAINT " + QuoteName(RawName(cn));
      continue;
    }
    if (IsWord(Kw::Not) && IsWord(Kw::Null, 1)) {
      pos_ += 2;
      sql += " NOT NULL";
    } else if (AcceptWord(Kw::Null)) {
      // nullable is the default
    } else if (AcceptWord(Kw::Default)) {
      std::string value = DefaultValue(for_add_column);
      if (failed_) return "";
      // A datetime2, smalldatetime or time column takes its default (GETDATE(), ...) in its own form.
      const bool own_form = type.kind == SqlType::Kind::Datetime2 || type.kind == SqlType::Kind::SmallDatetime ||
                            type.kind == SqlType::Kind::Time;
      int p = 0, s = 0;
      Decimal d;
      if (own_form && !for_add_column) {
        value = Convert(type, Expr{value}, "").sql;
      } else if (DecimalTypeOf(type, p, s)) {  // a decimal default in the column's type
        if (!for_add_column) {
          value = "ts_dec(" + value + ", " + std::to_string(p) + ", " + std::to_string(s) + ")";
        } else if (ParseDecimal(value, d) && Rescale(d, s, p)) {
          value = SqlString(DecimalForm(d));
        }
      }
      // SQLite's ADD COLUMN takes a plain literal only.
      sql += constraint_name + (for_add_column ? " DEFAULT " + value : " DEFAULT (" + value + ")");
    } else if (IsWord(Kw::Primary) && IsWord(Kw::Key, 1)) {
      pos_ += 2;
      if (!AcceptWord(Kw::Clustered)) AcceptWord(Kw::Nonclustered);
      sql += constraint_name;
      primary_key = sql.size();
    } else if (AcceptWord(Kw::Identity)) {
      long seed = 1, step = 1;
      if (AcceptOp("(")) {
        if (Peek().type != Tok::Number) return Fail(), "";
        seed = std::strtol(std::string(Peek().text).c_str(), nullptr, 10);
        ++pos_;
        if (!ExpectOp(",")) return "";
        if (Peek().type != Tok::Number) return Fail(), "";
        step = std::strtol(std::string(Peek().text).c_str(), nullptr, 10);
        ++pos_;
        if (!ExpectOp(")")) return "";
      }
      // Only ascending by one, on an int column of a new table: what SQLite's row number does.
      if (step != 1 || for_add_column || !type.IsInteger() || type.kind == SqlType::Kind::Bit || identity) {
        return FailWith(Raised<Err::SyntaxError>("IDENTITY")), "";
      }
      identity = true;
      identity_seed_ = seed;
    } else if (AcceptWord(Kw::Unique)) {
      if (!AcceptWord(Kw::Clustered)) AcceptWord(Kw::Nonclustered);
      sql += constraint_name + " UNIQUE";
    } else if (AcceptWord(Kw::Check)) {
      if (!ExpectOp("(")) return "";
      std::string e = Expression().sql;
      if (!ExpectOp(")")) return "";
      sql += constraint_name + " CHECK (" + e + ")";
    } else if (IsWord(Kw::Foreign) && IsWord(Kw::Key, 1)) {
      pos_ += 2;
      if (!ExpectWord(Kw::References)) return "";
      sql += constraint_name + References();
    } else if (AcceptWord(Kw::References)) {
      sql += constraint_name + References();
    } else if (AcceptWord(Kw::Collate)) {
      Token collation;  // a collation the database knows replaces the database's; another is ignored
      if (!ExpectName(collation)) return "";
      Collation own;
      if (ToText(type) && CollationByName(RawName(collation), own)) own_collation = own;
    } else {
      break;
    }
    constraint_name.clear();
    if (failed_) return "";
  }
  if (failed_) return "";
  std::string decl, checks;
  ColumnType(column, type, own_collation, decl, checks);
  const char* key = identity ? " PRIMARY KEY AUTOINCREMENT" : " PRIMARY KEY";
  if (primary_key != std::string::npos) sql.insert(primary_key, key);
  // A key's column refuses NULL, as on SQL Server; SQLite's own key of a table would take it.
  if (primary_key != std::string::npos) sql += " NOT NULL";
  // An IDENTITY column is declared INTEGER, SQLite's row number, keyed here when no key is written.
  if (identity) decl = primary_key == std::string::npos ? std::string("INTEGER") + key : "INTEGER";
  return Name(name) + " " + decl + sql + checks;
}

// [CONSTRAINT name] PRIMARY KEY|UNIQUE (cols) | FOREIGN KEY (cols) REFERENCES ... | CHECK (expr)
bool Translator::IsTableConstraint() const {
  return IsWord(Kw::Constraint) || (IsWord(Kw::Primary) && IsWord(Kw::Key, 1)) ||
         (IsWord(Kw::Foreign) && IsWord(Kw::Key, 1)) ||
         (IsWord(Kw::Unique) && (IsOp("(", 1) || IsWord(Kw::Clustered, 1) || IsWord(Kw::Nonclustered, 1))) ||
         IsWord(Kw::Check);
}

std::string Translator::TableConstraint() {
  std::string sql;
  if (AcceptWord(Kw::Constraint)) {
    Token cn;
    if (!ExpectName(cn)) return "";
    sql = "CONSTRAINT " + QuoteName(RawName(cn)) + " ";
  }
  if (IsWord(Kw::Primary) && IsWord(Kw::Key, 1)) {
    pos_ += 2;
    if (!AcceptWord(Kw::Clustered)) AcceptWord(Kw::Nonclustered);
    const size_t from = pos_;
    sql += "PRIMARY KEY (" + IndexColumns(true) + ")";
    for (size_t k = from; k < pos_; ++k) {  // the key's columns refuse NULL (CreateTable)
      const Token& t = tokens_[k];
      if ((t.type == Tok::Word && t.kw != Kw::Asc && t.kw != Kw::Desc) || t.type == Tok::Quoted) {
        key_columns_.push_back(RawName(t));
      }
    }
  } else if (AcceptWord(Kw::Unique)) {
    if (!AcceptWord(Kw::Clustered)) AcceptWord(Kw::Nonclustered);
    sql += "UNIQUE (" + IndexColumns(true) + ")";
  } else if (IsWord(Kw::Foreign) && IsWord(Kw::Key, 1)) {
    pos_ += 2;
    sql += "FOREIGN KEY (" + IndexColumns(false) + ")";
    if (!ExpectWord(Kw::References)) return "";
    sql += References();
  } else if (AcceptWord(Kw::Check)) {
    if (!ExpectOp("(")) return "";
    std::string e = Expression().sql;
    if (!ExpectOp(")")) return "";
    sql += "CHECK (" + e + ")";
  } else {
    return Fail(), "";
  }
  return failed_ ? "" : sql;
}

void Translator::CreateTable() {
  identity_seed_ = 0;
  key_columns_.clear();
  ObjectName table;
  if (!ParseObjectName(table) || !ExpectOp("(")) return;
  std::vector<std::string> columns, constraints;
  std::vector<std::string> names;  // of the columns, as written
  for (;;) {
    if (IsTableConstraint()) {
      constraints.push_back(TableConstraint());
    } else {
      if (IsNameToken()) names.push_back(RawName(Peek()));
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
  // The columns of a PRIMARY KEY (...) refuse NULL, as they do on SQL Server.
  for (size_t c = 0; c < columns.size() && c < names.size(); ++c) {
    if (std::any_of(key_columns_.begin(), key_columns_.end(),
                    [&](const std::string& k) { return SameName(k, names[c]); })) {
      columns[c] += " NOT NULL";
    }
  }
  // SQLite gives an unnamed table constraint that follows the columns the last name a column
  // constraint was given (the width or range CHECK of the last column, which would then report
  // its own error for the table's CHECK); a named constraint that always holds ends that name.
  if (!constraints.empty() && constraints.front().rfind("CONSTRAINT ", 0) != 0 && !columns.empty() &&
      columns.back().find(" CONSTRAINT ") != std::string::npos) {
    constraints.insert(constraints.begin(), "CONSTRAINT " + QuoteName("tsqlite_end") + " CHECK (1)");
  }
  std::string sql = "CREATE TABLE " + table.Created() + " (";
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
  if (identity_seed_ != 0 && identity_seed_ != 1 && !failed_) {
    // The next number SQLite gives is one past the table's entry in sqlite_sequence.
    Emit(Statement::Kind::Ddl, "INSERT INTO sqlite_sequence (name, seq) VALUES (" + SqlString(table.Stored()) + ", " +
                                   std::to_string(identity_seed_ - 1) + ")");
  }
  identity_seed_ = 0;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// A view is a SQLite view named as a table is ("schema.name"), holding the translated query, so
// that the catalog and every query find it where they find tables; its columns keep the types
// and collations of the base columns they show. SQLite neither checks a view's tables when it is
// created nor refuses two columns of one name (it renames the second "name:1"), so the query is
// first made a temporary view and checked; SQLite has no ALTER VIEW: ALTER drops and creates.
void Translator::CreateView(bool alter) {
  ObjectName view;
  if (!ParseObjectName(view)) return;
  const auto duplicate = [&](const std::string& column) { FailWith(Raised<Err::ViewColumnTwice>(column, view.name)); };
  std::string columns;
  std::vector<std::string> names;
  if (AcceptOp("(")) {
    for (;;) {
      Token t;
      if (!ExpectName(t)) return;
      const std::string name = RawName(t);
      for (const std::string& earlier : names) {
        if (SameName(earlier, name)) {
          duplicate(name);
          return;
        }
      }
      names.push_back(name);
      columns += (columns.empty() ? " (" : ", ") + Name(t);
      if (AcceptOp(")")) break;
      if (!ExpectOp(",")) return;
    }
    columns += ")";
  }
  if (AcceptWord(Kw::With)) {  // SCHEMABINDING, ENCRYPTION, VIEW_METADATA: nothing to keep here
    do {
      Token t;
      if (!ExpectName(t)) return;
    } while (AcceptOp(","));
  }
  if (!ExpectWord(Kw::As)) return;
  const size_t query_start = pos_;
  const std::string query = QueryExpression();
  if (failed_) return;
  const size_t query_end = pos_;
  if (IsWord(Kw::With) && IsWord(Kw::Check, 1) && WordIs(Peek(2).text, "OPTION")) pos_ += 3;

  RequireSchema(view.schema);
  const std::string check = QuoteName("tsqlite_view_check");
  Emit(Statement::Kind::Ddl, "DROP VIEW IF EXISTS temp." + check);
  Emit(Statement::Kind::Ddl, "CREATE TEMP VIEW " + check + columns + " AS " + query);
  EnsureSchemaTable();
  // The message with the column's name spliced in where SQLite finds it.
  const std::string message = SqlString(Raised<Err::ViewColumnTwice>("\x01", view.name).message);
  const size_t at = message.find('\x01');
  Emit(Statement::Kind::Ddl, "INSERT INTO tsqlite_schemas (name) SELECT ts_error(" +
                                 std::to_string(RowOf(Err::ViewColumnTwice).native) + ", " + message.substr(0, at) +
                                 "' || a.name || '" + message.substr(at + 1) +
                                 ") FROM pragma_table_info('tsqlite_view_check', 'temp') AS a "
                                 "JOIN pragma_table_info('tsqlite_view_check', 'temp') AS b "
                                 "ON substr(b.name, 1, length(a.name) + 1) = a.name || ':' COLLATE NOCASE LIMIT 1");
  Emit(Statement::Kind::Ddl, "DROP VIEW temp." + check);
  if (alter) {
    const Error missing = Raised<Err::InvalidObject>(view.name);
    Emit(Statement::Kind::Ddl, "INSERT INTO tsqlite_schemas (name) SELECT ts_error(" + std::to_string(missing.native) +
                                   ", " + SqlString(missing.message) +
                                   ") WHERE NOT EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'view' AND name = " +
                                   SqlString(view.Stored()) + " COLLATE NOCASE)");
    Emit(Statement::Kind::Ddl, "DROP VIEW " + view.Quoted());
  }
  Emit(Statement::Kind::Ddl, "CREATE VIEW " + view.Quoted() + columns + " AS " + query);
  RecordView(view, ViewFacts(query_start, query_end, names), query);
}

// DROP VIEW [IF EXISTS] name [, name ...]
void Translator::DropView() {
  const bool if_exists = IsWord(Kw::If) && IsWord(Kw::Exists, 1);
  if (if_exists) pos_ += 2;
  for (;;) {
    ObjectName view;
    if (!ParseObjectName(view)) return;
    Emit(Statement::Kind::Ddl, std::string("DROP VIEW ") + (if_exists ? "IF EXISTS " : "") + view.Quoted());
    ForgetView(view);
    if (!AcceptOp(",")) return;
  }
}

void Translator::Drop() {
  if (AcceptWord(Kw::View)) {
    DropView();
    return;
  }
  if (AcceptWord(Kw::Table)) {
    const bool if_exists = IsWord(Kw::If) && IsWord(Kw::Exists, 1);
    if (if_exists) pos_ += 2;
    for (;;) {
      ObjectName table;
      if (!ParseObjectName(table)) return;
      Emit(Statement::Kind::Ddl, std::string("DROP TABLE ") + (if_exists ? "IF EXISTS " : "") + table.Quoted());
      if (!AcceptOp(",")) return;
    }
  }
  if (AcceptWord(Kw::Index)) {
    const bool if_exists = IsWord(Kw::If) && IsWord(Kw::Exists, 1);
    if (if_exists) pos_ += 2;
    // DROP INDEX name ON schema.table, or DROP INDEX schema.table.name
    ObjectName first;
    if (!ParseObjectName(first)) return;
    ObjectName table;
    std::string index;
    if (AcceptWord(Kw::On)) {
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
        if (tokens_[k].type == Tok::Word && tokens_[k].kw == Kw::Index) break;
      }
      std::vector<std::string> parts;
      for (size_t j = k; j < end; ++j) {
        if (tokens_[j].type == Tok::Word || tokens_[j].type == Tok::Quoted) {
          if (!(tokens_[j].type == Tok::Word &&
                (tokens_[j].kw == Kw::Index || tokens_[j].kw == Kw::If || tokens_[j].kw == Kw::Exists))) {
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
    Emit(Statement::Kind::Ddl, std::string("DROP INDEX ") + (if_exists ? "IF EXISTS " : "") + IndexName(table, index));
    return;
  }
  if (AcceptWord(Kw::Schema)) {
    Token t;
    if (!ExpectName(t)) return;
    EnsureSchemaTable();
    Emit(Statement::Kind::Ddl, "DELETE FROM tsqlite_schemas WHERE name = " + SqlString(RawName(t)));
    return;
  }
  Fail();
}

void Translator::Alter() {
  if (AcceptWord(Kw::View)) {
    CreateView(true);
    return;
  }
  if (!ExpectWord(Kw::Table)) return;
  ObjectName table;
  if (!ParseObjectName(table)) return;
  if (AcceptWord(Kw::Add)) {
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
  if (AcceptWord(Kw::Drop)) {
    if (!ExpectWord(Kw::Column)) return;
    for (;;) {
      Token t;
      if (!ExpectName(t)) return;
      Emit(Statement::Kind::Ddl, "ALTER TABLE " + table.Quoted() + " DROP COLUMN " + Name(t));
      if (!AcceptOp(",")) return;
    }
  }
  Fail();
}

}  // namespace tsqlite
