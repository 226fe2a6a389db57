#pragma once
// What the executor's files share (executor.cpp, error_map.cpp, spill.cpp, catalog.cpp): the
// mapping of SQLite's errors and the copy of values between SQLite statements and results.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "executor.h"

namespace tsqlite {

// What the messages say beyond SQLite's words.
struct ErrorContext {
  std::string_view verb;      // INSERT, UPDATE, DELETE, ...
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

}  // namespace tsqlite
