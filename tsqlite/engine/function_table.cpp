// The table of our SQLite functions and the loop that registers them on a connection.
#include "function_table.h"

#include <sqlite3.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalog_functions.h"
#include "conversions.h"
#include "date_functions.h"
#include "decimal.h"
#include "operands.h"
#include "operators.h"
#include "text_functions.h"

namespace tsqlite {
namespace {

// ts_db_name(): the database's name, DB_NAME().
void FnDbName(sqlite3_context* ctx, int, sqlite3_value**) {
  const auto* name = static_cast<const std::string*>(sqlite3_user_data(ctx));
  sqlite3_result_text(ctx, name->c_str(), static_cast<int>(name->size()), SQLITE_TRANSIENT);
}

// ts_collation(): the file's collation, for DATABASEPROPERTYEX and SERVERPROPERTY.
void FnCollation(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_text(ctx, CollationName(*static_cast<const Collation*>(sqlite3_user_data(ctx))), -1, SQLITE_STATIC);
}

// ts_rowcount(): @@ROWCOUNT.
void FnRowCount(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_int64(ctx, *static_cast<const int64_t*>(sqlite3_user_data(ctx)));
}

// ts_lock_timeout(): @@LOCK_TIMEOUT.
void FnLockTimeout(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_int64(ctx, *static_cast<const int*>(sqlite3_user_data(ctx)));
}

// ts_identity(0): @@IDENTITY, ts_identity(1): SCOPE_IDENTITY(); NULL before the first IDENTITY
// value.
void FnIdentity(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto* id = static_cast<const IdentityValues*>(sqlite3_user_data(ctx));
  const bool scope = sqlite3_value_int(argv[0]) != 0;
  if (scope ? id->has_scope : id->has_connection) {
    sqlite3_result_int64(ctx, scope ? id->scope : id->connection);
  } else {
    sqlite3_result_null(ctx);
  }
}

// ts_has_perms(securable, class, permission): HAS_PERMS_BY_NAME for class OBJECT, the only one a
// file has. A table or view of the file (a one-part name is in dbo; a database part is left out)
// may be read, and written unless the file is open read-only: SELECT gives 1, INSERT, UPDATE and
// DELETE 1 or 0. A name the file does not hold, another class or permission give NULL, as SQL
// Server's answer when it cannot evaluate the question.
void FnHasPerms(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto text = [&](int i) {
    const unsigned char* v = sqlite3_value_text(argv[i]);
    std::string s = v != nullptr ? reinterpret_cast<const char*>(v) : "";
    for (char& c : s) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return s;
  };
  const std::string kind = text(1), permission = text(2);
  const bool write = permission == "INSERT" || permission == "UPDATE" || permission == "DELETE";
  if (kind != "OBJECT" || (!write && permission != "SELECT") || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  // schema.table from one to three parts, each without its brackets.
  std::vector<std::string> parts(1);
  const unsigned char* raw = sqlite3_value_text(argv[0]);
  if (raw == nullptr) {  // out of memory
    sqlite3_result_error_nomem(ctx);
    return;
  }
  for (const char* c = reinterpret_cast<const char*>(raw); *c != '\0'; ++c) {
    if (*c == '.') {
      parts.emplace_back();
    } else if (*c != '[' && *c != ']') {
      parts.back() += *c;
    }
  }
  if (parts.size() > 3 || parts.back().empty()) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::string schema = parts.size() >= 2 && !parts[parts.size() - 2].empty() ? parts[parts.size() - 2] : "dbo";
  const std::string stored = schema + "." + parts.back();
  sqlite3* db = sqlite3_context_db_handle(ctx);
  sqlite3_stmt* find = nullptr;
  bool found = false;
  if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE",
                         -1, &find, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(find, 1, stored.c_str(), static_cast<int>(stored.size()), SQLITE_TRANSIENT);
    found = sqlite3_step(find) == SQLITE_ROW;
  }
  sqlite3_finalize(find);
  if (!found) {
    sqlite3_result_null(ctx);
    return;
  }
  sqlite3_result_int(ctx, write && sqlite3_db_readonly(db, "main") == 1 ? 0 : 1);
}

using D = FunctionData;

constexpr SqliteFunction kFunctions[] = {
    // operators: the meaning depends on the operands' run-time types
    {"ts_add", 2, true, FnAdd, nullptr, nullptr, D::None},
    {"ts_sub", 2, true, FnSub, nullptr, nullptr, D::None},
    {"ts_addsub", -1, true, FnAddSub, nullptr, nullptr, D::None},
    {"ts_mul", 2, true, FnMul, nullptr, nullptr, D::None},
    {"ts_div", 2, true, FnDiv, nullptr, nullptr, D::None},
    {"ts_mod", 2, true, FnMod, nullptr, nullptr, D::None},
    {"ts_muldiv", -1, true, FnMulDiv, nullptr, nullptr, D::None},
    {"ts_neg", 1, true, FnNeg, nullptr, nullptr, D::None},
    {"ts_neg", 2, true, FnNeg, nullptr, nullptr, D::None},
    {"ts_num", 1, true, FnNum, nullptr, nullptr, D::None},
    {"ts_top", 1, true, FnTop, nullptr, nullptr, D::None},
    {"ts_error", 2, false, FnError, nullptr, nullptr, D::None},
    // conversions
    {"ts_to_int", 1, true, FnToInt, nullptr, nullptr, D::None},
    {"ts_to_int", 2, true, FnToInt, nullptr, nullptr, D::None},
    {"ts_to_datetime", 2, true, FnToDatetime, nullptr, nullptr, D::None},
    {"ts_to_datetime2", 3, true, FnToDatetime2, nullptr, nullptr, D::None},
    {"ts_to_time", 3, true, FnToTime, nullptr, nullptr, D::None},
    {"ts_to_smalldatetime", 2, true, FnToSmallDatetime, nullptr, nullptr, D::None},
    {"ts_to_char", 4, true, FnToChar, nullptr, nullptr, D::None},
    {"ts_dec", 3, true, FnDec, nullptr, nullptr, D::None},
    {"ts_fit", 3, true, FnFit, nullptr, nullptr, D::None},
    {"ts_fit_datetime", 3, true, FnFitDatetime, nullptr, nullptr, D::StatementCache},
    // dates; deterministic within one statement: DATEFIRST only changes between statements, and
    // the current time is read once per statement
    {"ts_dateadd", 3, true, FnDateAdd, nullptr, nullptr, D::None},
    {"ts_dateadd", 4, true, FnDateAdd, nullptr, nullptr, D::None},
    {"ts_datepart", 2, true, FnDatePart, nullptr, nullptr, D::DateFirst},
    {"ts_datediff", 3, true, FnDateDiff, nullptr, nullptr, D::None},
    {"ts_datefirst", 0, false, FnDateFirst, nullptr, nullptr, D::DateFirst},
    {"ts_now", 0, true, FnNow, nullptr, nullptr, D::StatementCache},
    // numbers
    {"ts_abs", 1, true, FnAbs, nullptr, nullptr, D::None},
    {"ts_abs", 2, true, FnAbs, nullptr, nullptr, D::None},
    {"ts_floor", 1, true, FnFloor, nullptr, nullptr, D::None},
    {"ts_ceiling", 1, true, FnCeiling, nullptr, nullptr, D::None},
    {"ts_round", 2, true, FnRound, nullptr, nullptr, D::None},
    {"ts_round", 3, true, FnRound, nullptr, nullptr, D::None},
    {"ts_sum", 1, true, nullptr, FnSumStep, FnSumFinal, D::None},
    {"ts_avg", 1, true, nullptr, FnAvgStep, FnAvgFinal, D::None},
    // text
    {"ts_like", 3, true, FnLike, nullptr, nullptr, D::None},
    {"ts_like_ci", 3, true, FnLikeCi, nullptr, nullptr, D::None},
    {"ts_substring", 3, true, FnSubstring, nullptr, nullptr, D::None},
    {"ts_to_1252", 1, true, FnTo1252, nullptr, nullptr, D::None},
    {"ts_datalength", 2, true, FnDataLength, nullptr, nullptr, D::None},
    {"ts_str", 1, true, FnStr, nullptr, nullptr, D::None},
    {"ts_str", 2, true, FnStr, nullptr, nullptr, D::None},
    {"ts_str", 3, true, FnStr, nullptr, nullptr, D::None},
    {"ts_newid", 0, false, FnNewId, nullptr, nullptr, D::None},
    // the connection's own values
    {"ts_db_name", 0, true, FnDbName, nullptr, nullptr, D::DatabaseName},
    {"ts_has_perms", 3, false, FnHasPerms, nullptr, nullptr, D::None},
    {"ts_collation", 0, true, FnCollation, nullptr, nullptr, D::Collation},
    {"ts_rowcount", 0, false, FnRowCount, nullptr, nullptr, D::RowCount},
    {"ts_lock_timeout", 0, false, FnLockTimeout, nullptr, nullptr, D::LockTimeout},
    // the catalog: read at every call, never factored out of a statement
    {"ts_object_id", 1, false, FnObjectId, nullptr, nullptr, D::DatabaseName},
    {"ts_object_id", 2, false, FnObjectId, nullptr, nullptr, D::DatabaseName},
    {"ts_objectproperty", 2, false, FnObjectProperty, nullptr, nullptr, D::None},
    {"ts_schema_id", 0, false, FnSchemaId, nullptr, nullptr, D::None},
    {"ts_schema_id", 1, false, FnSchemaId, nullptr, nullptr, D::None},
    {"ts_schema_name", 0, false, FnSchemaName, nullptr, nullptr, D::None},
    {"ts_schema_name", 1, false, FnSchemaName, nullptr, nullptr, D::None},
    {"ts_db_id", 0, true, FnDbId, nullptr, nullptr, D::DatabaseName},
    {"ts_db_id", 1, true, FnDbId, nullptr, nullptr, D::DatabaseName},
    {"ts_col_length", 2, false, FnColLength, nullptr, nullptr, D::DatabaseName},
    {"ts_object_key", 1, true, FnObjectKey, nullptr, nullptr, D::None},
    {"ts_type_name", 1, true, FnTypeName, nullptr, nullptr, D::None},
    {"ts_type_chars", 1, true, FnTypeChars, nullptr, nullptr, D::None},
    {"ts_type_bytes", 2, true, FnTypeBytes, nullptr, nullptr, D::None},
    {"ts_type_identity", 1, true, FnTypeIdentity, nullptr, nullptr, D::None},
    {"ts_odbc_type", 1, true, FnOdbcType, nullptr, nullptr, D::None},
    {"ts_column_size", 1, true, FnColumnSize, nullptr, nullptr, D::None},
    {"ts_identity", 1, false, FnIdentity, nullptr, nullptr, D::Identity},
};

void* DataOf(const FunctionState& state, FunctionData data) {
  switch (data) {
    case D::None:
      return nullptr;
    case D::DateFirst:
      return const_cast<int*>(state.date_first);
    case D::StatementCache:
      return state.statement_cache;
    case D::DatabaseName:
      return const_cast<std::string*>(state.database_name);
    case D::Collation:
      return const_cast<Collation*>(state.collation);
    case D::RowCount:
      return const_cast<int64_t*>(state.row_count);
    case D::LockTimeout:
      return const_cast<int*>(state.lock_timeout);
    case D::Identity:
      return const_cast<IdentityValues*>(state.identity);
  }
  return nullptr;
}

}  // namespace

std::span<const SqliteFunction> AllSqliteFunctions() {
  return kFunctions;
}

int RegisterFunctions(sqlite3* db, const FunctionState& state) {
  for (const SqliteFunction& f : kFunctions) {
    // A function whose state the caller does not keep is left out rather than handed nothing.
    void* data = DataOf(state, f.data);
    if (f.data != D::None && data == nullptr) continue;
    const int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
    const int rc = sqlite3_create_function_v2(db, f.name, f.args, flags, data, f.scalar, f.step, f.final, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return RegisterDecimalCollation(db);
}

}  // namespace tsqlite
