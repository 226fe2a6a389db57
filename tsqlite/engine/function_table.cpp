// The table of our SQLite functions and the loop that registers them on a connection.
#include "function_table.h"

#include <sqlite3.h>

#include <cstdint>
#include <span>
#include <string>

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

using D = FunctionData;

constexpr SqliteFunction kFunctions[] = {
    // operators: the meaning depends on the operands' run-time types
    {"ts_add", 2, true, FnAdd, nullptr, nullptr, D::None},
    {"ts_sub", 2, true, FnSub, nullptr, nullptr, D::None},
    {"ts_addsub", -1, true, FnAddSub, nullptr, nullptr, D::None},
    {"ts_mul", 2, true, FnMul, nullptr, nullptr, D::None},
    {"ts_div", 2, true, FnDiv, nullptr, nullptr, D::None},
    {"ts_mod", 2, true, FnMod, nullptr, nullptr, D::None},
    {"ts_neg", 1, true, FnNeg, nullptr, nullptr, D::None},
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
    {"ts_collation", 0, true, FnCollation, nullptr, nullptr, D::Collation},
    {"ts_rowcount", 0, false, FnRowCount, nullptr, nullptr, D::RowCount},
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
