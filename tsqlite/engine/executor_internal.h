#pragma once
// What the executor's files share (executor.cpp, executor_step.cpp, executor_values.cpp,
// error_map.cpp, spill.cpp, catalog.cpp): the mapping of SQLite's errors, the copy of values
// between SQLite statements and results, and the prepared statements kept per shape.
#include <sqlite3.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "executor.h"

namespace tsqlite {

// What the messages say beyond SQLite's words.
struct ErrorContext {
  Kw verb = Kw::None;         // INSERT, UPDATE, DELETE, ...
  std::string_view database;  // the database's name
  std::string table;          // the table the statement writes, as stored ("S.T"), "" when unknown
  std::function<std::string(const std::string&)> definition;  // CREATE TABLE text of a stored table
};

// Maps a failed SQLite call (extended result code and message) to SQL Server's errors: the error
// itself and, where SQL Server sends one, the record that the statement has been terminated.
std::vector<Error> MapSqliteError(int extended_code, std::string_view message, const ErrorContext& context);

// Column c of the statement's current row as a value.
void ReadValue(sqlite3_stmt* stmt, int c, Value& v);
// Binds v to parameter k; texts and blobs are bound without a copy.
void BindValue(sqlite3_stmt* stmt, int k, const Value& v);

// Whether result column c is a table's column that refuses NULL (read from the table's
// definition); unknown for an expression.
Column::Nulls ColumnNulls(sqlite3_stmt* stmt, int c);
// Binds text[0, length) to parameter k, NUL-terminated where it can be.
void BindText(sqlite3_stmt* stmt, int k, const std::string& text, size_t length, sqlite3_destructor_type keep);

// The SQLite statements one translated statement became, prepared on first use.
struct Database::Prepared {
  std::vector<sqlite3_stmt*> stmts;
  bool ready = false;
  // rules[k]: what a text bound to ?k becomes, by the column it meets.
  std::vector<ParamRule> rules;
};

struct Database::Entry {
  Translation translation;
  bool ok = false;
  std::vector<Prepared> prepared;  // one per translation.statements

  ~Entry() {
    for (Prepared& p : prepared) {
      for (sqlite3_stmt* s : p.stmts) sqlite3_finalize(s);
    }
  }
};

}  // namespace tsqlite
