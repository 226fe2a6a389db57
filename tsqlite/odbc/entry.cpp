// The ODBC entry points the driver manager looks up by name. Each passes its arguments on to the
// driver's function of the same name through Guarded (handle kind checked, diagnostics cleared,
// exceptions caught) or, where the call takes a handle of any kind or reads diagnostics, through
// the exception barrier alone; only these symbols leave the library (exports.map).
#include "api.h"
#include "handles.h"

using tsqlite::Barrier;
using tsqlite::Dbc;
using tsqlite::Env;
using tsqlite::Guarded;
using tsqlite::Handle;
using tsqlite::Stmt;

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  return Barrier(type == SQL_HANDLE_ENV ? nullptr : tsqlite::As<Handle>(input),
                 [&] { return tsqlite::AllocHandle(type, input, output); });
}
SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  return Barrier(nullptr, [&] { return tsqlite::FreeHandle(type, handle); });
}
SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  return Guarded<Env>(env, [&](Env* h) { return tsqlite::SetEnvAttr(h, attribute, value, length); });
}
SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                                SQLINTEGER* length) {
  return Guarded<Env>(env, [&](Env* h) { return tsqlite::GetEnvAttr(h, attribute, value, buffer_length, length); });
}
SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* sqlstate,
                                SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT buffer_length, SQLSMALLINT* length) {
  return Barrier(nullptr, [&] {
    return tsqlite::GetDiagRec(type, handle, record, sqlstate, native, message, buffer_length, length);
  });
}
SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field,
                                  SQLPOINTER value, SQLSMALLINT buffer_length, SQLSMALLINT* length) {
  return Barrier(nullptr,
                 [&] { return tsqlite::GetDiagField(type, handle, record, field, value, buffer_length, length); });
}

SQLRETURN SQL_API SQLConnect(SQLHDBC dbc, SQLCHAR* dsn, SQLSMALLINT dsn_length, SQLCHAR* user, SQLSMALLINT user_length,
                             SQLCHAR* password, SQLSMALLINT password_length) {
  return Guarded<Dbc>(
      dbc, [&](Dbc* h) { return tsqlite::Connect(h, dsn, dsn_length, user, user_length, password, password_length); });
}
SQLRETURN SQL_API SQLDriverConnect(SQLHDBC dbc, SQLHWND window, SQLCHAR* in, SQLSMALLINT in_length, SQLCHAR* out,
                                   SQLSMALLINT out_max, SQLSMALLINT* out_length, SQLUSMALLINT completion) {
  return Guarded<Dbc>(dbc, [&](Dbc* h) {
    return tsqlite::DriverConnect(h, window, in, in_length, out, out_max, out_length, completion);
  });
}
SQLRETURN SQL_API SQLDisconnect(SQLHDBC dbc) {
  return Guarded<Dbc>(dbc, [&](Dbc* h) { return tsqlite::Disconnect(h); });
}
SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  return Guarded<Dbc>(dbc, [&](Dbc* h) { return tsqlite::SetConnectAttr(h, attribute, value, length); });
}
SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                                    SQLINTEGER* length) {
  return Guarded<Dbc>(dbc, [&](Dbc* h) { return tsqlite::GetConnectAttr(h, attribute, value, buffer_length, length); });
}
SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
  return Barrier(tsqlite::As<Handle>(handle), [&] { return tsqlite::EndTran(type, handle, completion); });
}
SQLRETURN SQL_API SQLNativeSql(SQLHDBC dbc, SQLCHAR* in, SQLINTEGER in_length, SQLCHAR* out, SQLINTEGER out_max,
                               SQLINTEGER* out_length) {
  return Guarded<Dbc>(dbc, [&](Dbc* h) { return tsqlite::NativeSql(h, in, in_length, out, out_max, out_length); });
}
SQLRETURN SQL_API SQLGetInfo(SQLHDBC dbc, SQLUSMALLINT info, SQLPOINTER value, SQLSMALLINT buffer_length,
                             SQLSMALLINT* length) {
  return Guarded<Dbc>(dbc, [&](Dbc* h) { return tsqlite::GetInfo(h, info, value, buffer_length, length); });
}
SQLRETURN SQL_API SQLGetFunctions(SQLHDBC dbc, SQLUSMALLINT function, SQLUSMALLINT* supported) {
  return Guarded<Dbc>(dbc, [&](Dbc* h) { return tsqlite::GetFunctions(h, function, supported); });
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::ExecDirect(h, text, length); });
}
SQLRETURN SQL_API SQLPrepare(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::Prepare(h, text, length); });
}
SQLRETURN SQL_API SQLExecute(SQLHSTMT stmt) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::Execute(h); });
}
SQLRETURN SQL_API SQLNumParams(SQLHSTMT stmt, SQLSMALLINT* count) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::NumParams(h, count); });
}
SQLRETURN SQL_API SQLBindParameter(SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT io_type, SQLSMALLINT c_type,
                                   SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT digits, SQLPOINTER value,
                                   SQLLEN buffer_length, SQLLEN* indicator) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) {
    return tsqlite::BindParameter(h, number, io_type, c_type, sql_type, size, digits, value, buffer_length, indicator);
  });
}
SQLRETURN SQL_API SQLDescribeParam(SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT* type, SQLULEN* size,
                                   SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::DescribeParam(h, number, type, size, digits, nullable); });
}
SQLRETURN SQL_API SQLParamData(SQLHSTMT stmt, SQLPOINTER* token) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::ParamData(h, token); });
}
SQLRETURN SQL_API SQLPutData(SQLHSTMT stmt, SQLPOINTER data, SQLLEN length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::PutData(h, data, length); });
}
SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT stmt, SQLSMALLINT* count) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::NumResultCols(h, count); });
}
SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT buffer_length,
                                 SQLSMALLINT* name_length, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                                 SQLSMALLINT* nullable) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) {
    return tsqlite::DescribeCol(h, column, name, buffer_length, name_length, type, size, digits, nullable);
  });
}
SQLRETURN SQL_API SQLColAttribute(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                                  SQLSMALLINT buffer_length, SQLSMALLINT* length, SQLLEN* number) {
  return Guarded<Stmt>(
      stmt, [&](Stmt* h) { return tsqlite::ColAttribute(h, column, field, text, buffer_length, length, number); });
}
SQLRETURN SQL_API SQLBindCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target,
                             SQLLEN buffer_length, SQLLEN* indicator) {
  return Guarded<Stmt>(stmt,
                       [&](Stmt* h) { return tsqlite::BindCol(h, column, c_type, target, buffer_length, indicator); });
}
SQLRETURN SQL_API SQLFetch(SQLHSTMT stmt) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::Fetch(h); });
}
SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT stmt, SQLSMALLINT orientation, SQLLEN offset) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::FetchScroll(h, orientation, offset); });
}
SQLRETURN SQL_API SQLGetData(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target,
                             SQLLEN buffer_length, SQLLEN* indicator) {
  return Guarded<Stmt>(stmt,
                       [&](Stmt* h) { return tsqlite::GetData(h, column, c_type, target, buffer_length, indicator); });
}
SQLRETURN SQL_API SQLRowCount(SQLHSTMT stmt, SQLLEN* count) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::RowCount(h, count); });
}
SQLRETURN SQL_API SQLMoreResults(SQLHSTMT stmt) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::MoreResults(h); });
}
SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT stmt, SQLUSMALLINT option) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::FreeStmt(h, option); });
}
SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT stmt) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::CloseCursor(h); });
}
// SQLCancel comes from another thread while the statement's own call runs and writes its
// diagnostics: the handle is checked, and its diagnostics left alone.
SQLRETURN SQL_API SQLCancel(SQLHSTMT stmt) {
  Handle* h = tsqlite::As<Handle>(stmt);
  if (h == nullptr || h->type != SQL_HANDLE_STMT) return SQL_INVALID_HANDLE;
  return Barrier(nullptr, [&] { return tsqlite::Cancel(static_cast<Stmt*>(h)); });
}
SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::SetStmtAttr(h, attribute, value, length); });
}
SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                                 SQLINTEGER* length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::GetStmtAttr(h, attribute, value, buffer_length, length); });
}
SQLRETURN SQL_API SQLTables(SQLHSTMT stmt, SQLCHAR* catalog, SQLSMALLINT catalog_length, SQLCHAR* schema,
                            SQLSMALLINT schema_length, SQLCHAR* table, SQLSMALLINT table_length, SQLCHAR* types,
                            SQLSMALLINT types_length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) {
    return tsqlite::Tables(h, catalog, catalog_length, schema, schema_length, table, table_length, types, types_length);
  });
}
SQLRETURN SQL_API SQLColumns(SQLHSTMT stmt, SQLCHAR* catalog, SQLSMALLINT catalog_length, SQLCHAR* schema,
                             SQLSMALLINT schema_length, SQLCHAR* table, SQLSMALLINT table_length, SQLCHAR* column,
                             SQLSMALLINT column_length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) {
    return tsqlite::Columns(h, catalog, catalog_length, schema, schema_length, table, table_length, column,
                            column_length);
  });
}

// The Unicode calls (wide.cpp); SQLGetStmtAttrW and SQLSetStmtAttrW carry no text and run the
// ANSI calls.
SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT stmt, SQLWCHAR* text, SQLINTEGER length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::ExecDirectW(h, text, length); });
}
SQLRETURN SQL_API SQLPrepareW(SQLHSTMT stmt, SQLWCHAR* text, SQLINTEGER length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::PrepareW(h, text, length); });
}
SQLRETURN SQL_API SQLConnectW(SQLHDBC dbc, SQLWCHAR* dsn, SQLSMALLINT dsn_length, SQLWCHAR* user,
                              SQLSMALLINT user_length, SQLWCHAR* password, SQLSMALLINT password_length) {
  return Guarded<Dbc>(
      dbc, [&](Dbc* h) { return tsqlite::ConnectW(h, dsn, dsn_length, user, user_length, password, password_length); });
}
SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC dbc, SQLHWND window, SQLWCHAR* in, SQLSMALLINT in_length, SQLWCHAR* out,
                                    SQLSMALLINT out_max, SQLSMALLINT* out_length, SQLUSMALLINT completion) {
  return Guarded<Dbc>(dbc, [&](Dbc* h) {
    return tsqlite::DriverConnectW(h, window, in, in_length, out, out_max, out_length, completion);
  });
}
SQLRETURN SQL_API SQLNativeSqlW(SQLHDBC dbc, SQLWCHAR* in, SQLINTEGER in_length, SQLWCHAR* out, SQLINTEGER out_max,
                                SQLINTEGER* out_length) {
  return Guarded<Dbc>(dbc, [&](Dbc* h) { return tsqlite::NativeSqlW(h, in, in_length, out, out_max, out_length); });
}
SQLRETURN SQL_API SQLGetInfoW(SQLHDBC dbc, SQLUSMALLINT info, SQLPOINTER value, SQLSMALLINT buffer_length,
                              SQLSMALLINT* length) {
  return Guarded<Dbc>(dbc, [&](Dbc* h) { return tsqlite::GetInfoW(h, info, value, buffer_length, length); });
}
SQLRETURN SQL_API SQLGetConnectAttrW(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                                     SQLINTEGER* length) {
  return Guarded<Dbc>(dbc,
                      [&](Dbc* h) { return tsqlite::GetConnectAttrW(h, attribute, value, buffer_length, length); });
}
SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  return Guarded<Dbc>(dbc, [&](Dbc* h) { return tsqlite::SetConnectAttrW(h, attribute, value, length); });
}
SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLWCHAR* sqlstate,
                                 SQLINTEGER* native, SQLWCHAR* message, SQLSMALLINT buffer_length,
                                 SQLSMALLINT* length) {
  return Barrier(nullptr, [&] {
    return tsqlite::GetDiagRecW(type, handle, record, sqlstate, native, message, buffer_length, length);
  });
}
SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field,
                                   SQLPOINTER value, SQLSMALLINT buffer_length, SQLSMALLINT* length) {
  return Barrier(nullptr,
                 [&] { return tsqlite::GetDiagFieldW(type, handle, record, field, value, buffer_length, length); });
}
SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT stmt, SQLUSMALLINT column, SQLWCHAR* name, SQLSMALLINT buffer_length,
                                  SQLSMALLINT* name_length, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                                  SQLSMALLINT* nullable) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) {
    return tsqlite::DescribeColW(h, column, name, buffer_length, name_length, type, size, digits, nullable);
  });
}
SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                                   SQLSMALLINT buffer_length, SQLSMALLINT* length, SQLLEN* number) {
  return Guarded<Stmt>(
      stmt, [&](Stmt* h) { return tsqlite::ColAttributeW(h, column, field, text, buffer_length, length, number); });
}
SQLRETURN SQL_API SQLGetTypeInfo(SQLHSTMT stmt, SQLSMALLINT data_type) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::GetTypeInfo(h, data_type); });
}
SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT stmt, SQLSMALLINT data_type) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::GetTypeInfo(h, data_type); });
}
SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::SetStmtAttr(h, attribute, value, length); });
}
SQLRETURN SQL_API SQLGetStmtAttrW(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                                  SQLINTEGER* length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) { return tsqlite::GetStmtAttr(h, attribute, value, buffer_length, length); });
}
SQLRETURN SQL_API SQLTablesW(SQLHSTMT stmt, SQLWCHAR* catalog, SQLSMALLINT catalog_length, SQLWCHAR* schema,
                             SQLSMALLINT schema_length, SQLWCHAR* table, SQLSMALLINT table_length, SQLWCHAR* types,
                             SQLSMALLINT types_length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) {
    return tsqlite::TablesW(h, catalog, catalog_length, schema, schema_length, table, table_length, types,
                            types_length);
  });
}
SQLRETURN SQL_API SQLColumnsW(SQLHSTMT stmt, SQLWCHAR* catalog, SQLSMALLINT catalog_length, SQLWCHAR* schema,
                              SQLSMALLINT schema_length, SQLWCHAR* table, SQLSMALLINT table_length, SQLWCHAR* column,
                              SQLSMALLINT column_length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) {
    return tsqlite::ColumnsW(h, catalog, catalog_length, schema, schema_length, table, table_length, column,
                             column_length);
  });
}

SQLRETURN SQL_API SQLPrimaryKeys(SQLHSTMT stmt, SQLCHAR* catalog, SQLSMALLINT catalog_length, SQLCHAR* schema,
                                 SQLSMALLINT schema_length, SQLCHAR* table, SQLSMALLINT table_length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) {
    return tsqlite::PrimaryKeys(h, catalog, catalog_length, schema, schema_length, table, table_length);
  });
}
SQLRETURN SQL_API SQLPrimaryKeysW(SQLHSTMT stmt, SQLWCHAR* catalog, SQLSMALLINT catalog_length, SQLWCHAR* schema,
                                  SQLSMALLINT schema_length, SQLWCHAR* table, SQLSMALLINT table_length) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) {
    return tsqlite::PrimaryKeysW(h, catalog, catalog_length, schema, schema_length, table, table_length);
  });
}
SQLRETURN SQL_API SQLStatistics(SQLHSTMT stmt, SQLCHAR* catalog, SQLSMALLINT catalog_length, SQLCHAR* schema,
                                SQLSMALLINT schema_length, SQLCHAR* table, SQLSMALLINT table_length,
                                SQLUSMALLINT unique, SQLUSMALLINT reserved) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) {
    return tsqlite::Statistics(h, catalog, catalog_length, schema, schema_length, table, table_length, unique,
                               reserved);
  });
}
SQLRETURN SQL_API SQLStatisticsW(SQLHSTMT stmt, SQLWCHAR* catalog, SQLSMALLINT catalog_length, SQLWCHAR* schema,
                                 SQLSMALLINT schema_length, SQLWCHAR* table, SQLSMALLINT table_length,
                                 SQLUSMALLINT unique, SQLUSMALLINT reserved) {
  return Guarded<Stmt>(stmt, [&](Stmt* h) {
    return tsqlite::StatisticsW(h, catalog, catalog_length, schema, schema_length, table, table_length, unique,
                                reserved);
  });
}

}  // extern "C"
