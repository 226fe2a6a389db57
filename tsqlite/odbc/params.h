#pragma once
// What statement.cpp, params.cpp and catalog_calls.cpp share: running a batch with the values of
// its parameter markers, a statement's results, and a bound parameter's value as the engine takes
// it.
#include <string_view>
#include <vector>

#include "handles.h"

namespace tsqlite {

// Runs text on stmt; params holds one value per parameter marker (nullptr when there are none).
// Replaces the statement's results.
SQLRETURN RunBatch(Stmt* stmt, std::string_view text, const std::vector<Literal>* params);
// Drops the statement's results and its cursor.
void Close(Stmt* stmt);
// Makes the result set at stmt->result_index the current one.
void EnterResult(Stmt* stmt);
// Puts the statement on the first result of a batch made by the driver itself (catalog calls).
SQLRETURN ShowResults(Stmt* stmt, Batch batch);

// Runs text with the statement's bound parameters: every row of a parameter array, or
// SQL_NEED_DATA when a parameter's value comes at execution (SQLParamData/SQLPutData).
SQLRETURN ExecuteWithParams(Stmt* stmt, std::string_view text);

// One bound value as the engine binds it: from its C type (data and its octet length, SQL_NTS or
// SQL_NULL_DATA), then converted to the parameter's SQL type as SQL Server converts it. False with
// the error when the value does not convert.
bool ParamLiteral(SQLSMALLINT c_type, SQLSMALLINT sql_type, const char* data, SQLLEN length, Literal& out,
                  Error& error);

}  // namespace tsqlite
