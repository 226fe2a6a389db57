// The catalog calls: SQLTables, SQLColumns, SQLPrimaryKeys and SQLStatistics, each a result set
// the engine makes from its schema, shown on the statement as an executed batch's.
#include "api.h"
#include "handles.h"
#include "params.h"

namespace tsqlite {

namespace {

// The catalog answer now in stmt->batch becomes the statement's result, read as a query's is.
SQLRETURN ShowCatalog(Stmt* stmt) {
  stmt->executed = true;
  stmt->result_index = 0;
  EnterResult(stmt);
  return SQL_SUCCESS;
}

}  // namespace

SQLRETURN Tables(Stmt* stmt, SQLCHAR*, SQLSMALLINT, SQLCHAR* schema, SQLSMALLINT schema_length, SQLCHAR* table,
                 SQLSMALLINT table_length, SQLCHAR*, SQLSMALLINT) {
  Close(stmt);
  if (!stmt->dbc->db.Tables(ArgString(schema, schema_length), ArgString(table, table_length), stmt->batch)) {
    return SetDiag(stmt, SQL_ERROR, stmt->batch.errors);
  }
  return ShowCatalog(stmt);
}

SQLRETURN Columns(Stmt* stmt, SQLCHAR*, SQLSMALLINT, SQLCHAR* schema, SQLSMALLINT schema_length, SQLCHAR* table,
                  SQLSMALLINT table_length, SQLCHAR* column, SQLSMALLINT column_length) {
  Close(stmt);
  if (!stmt->dbc->db.Columns(ArgString(schema, schema_length), ArgString(table, table_length),
                             ArgString(column, column_length), stmt->batch)) {
    return SetDiag(stmt, SQL_ERROR, stmt->batch.errors);
  }
  return ShowCatalog(stmt);
}

SQLRETURN PrimaryKeys(Stmt* stmt, SQLCHAR*, SQLSMALLINT, SQLCHAR* schema, SQLSMALLINT schema_length, SQLCHAR* table,
                      SQLSMALLINT table_length) {
  if (table == nullptr) return SetDiag(stmt, SQL_ERROR, Sqlstate::NullPointer);
  Batch batch;
  if (!stmt->dbc->db.PrimaryKeys(ArgString(schema, schema_length), ArgString(table, table_length), batch)) {
    return SetDiag(stmt, SQL_ERROR, batch.errors);
  }
  return ShowResults(stmt, std::move(batch));
}

SQLRETURN Statistics(Stmt* stmt, SQLCHAR*, SQLSMALLINT, SQLCHAR* schema, SQLSMALLINT schema_length, SQLCHAR* table,
                     SQLSMALLINT table_length, SQLUSMALLINT unique, SQLUSMALLINT) {
  if (table == nullptr) return SetDiag(stmt, SQL_ERROR, Sqlstate::NullPointer);
  Batch batch;
  if (!stmt->dbc->db.Statistics(ArgString(schema, schema_length), ArgString(table, table_length),
                                unique == SQL_INDEX_UNIQUE, batch)) {
    return SetDiag(stmt, SQL_ERROR, batch.errors);
  }
  return ShowResults(stmt, std::move(batch));
}

}  // namespace tsqlite
