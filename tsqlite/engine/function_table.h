#pragma once
// The SQLite functions of ours that translated statements call (ts_*): one table, one row per
// function and argument count, registered on a connection by one loop. The T-SQL built-ins
// (builtins.cpp) name these in their SQLite text; the translator calls the rest for operators
// and conversions.
#include <sqlite3.h>

#include <cstdint>
#include <span>
#include <string>

#include "collation.h"

namespace tsqlite {

struct StatementCache;  // statement_cache.h

// The IDENTITY values a connection last gave: @@IDENTITY (any scope) and SCOPE_IDENTITY().
struct IdentityValues {
  int64_t connection = 0, scope = 0;
  bool has_connection = false, has_scope = false;
};

// The connection's state the functions read, all owned by the connection and outliving it.
struct FunctionState {
  const int* date_first = nullptr;  // DATEFIRST, 1..7, read at every call
  StatementCache* statement_cache = nullptr;
  const std::string* database_name = nullptr;  // DB_NAME()
  const Collation* collation = nullptr;        // the file's, DATABASEPROPERTYEX(..., 'Collation')
  const int64_t* row_count = nullptr;          // @@ROWCOUNT
  const IdentityValues* identity = nullptr;
  const int* lock_timeout = nullptr;  // @@LOCK_TIMEOUT, milliseconds, -1 without end
};

// Which part of FunctionState a function is handed (sqlite3_user_data).
enum class FunctionData { None, DateFirst, StatementCache, DatabaseName, Collation, RowCount, Identity, LockTimeout };

struct SqliteFunction {
  const char* name;
  int args;  // -1: any number
  // Gives the same answer for the same arguments within one statement (SQLite may then factor
  // it out of a loop or use it in an index).
  bool deterministic;
  void (*scalar)(sqlite3_context*, int, sqlite3_value**);
  // An aggregate has a step and a final function instead.
  void (*step)(sqlite3_context*, int, sqlite3_value**);
  void (*final)(sqlite3_context*);
  FunctionData data;
};

// Every row, for tests that go through the whole table.
std::span<const SqliteFunction> AllSqliteFunctions();

// Registers every function of the table, and the collation that orders decimals, on db.
int RegisterFunctions(sqlite3* db, const FunctionState& state);

}  // namespace tsqlite
