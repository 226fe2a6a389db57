// The ODBC entry points the driver manager looks up by name. Each passes its arguments on to the
// driver's function of the same name; only these symbols leave the library (exports.map).
#include "api.h"

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  return tsqlite::AllocHandle(type, input, output);
}
SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) { return tsqlite::FreeHandle(type, handle); }
SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  return tsqlite::SetEnvAttr(env, attribute, value, length);
}
SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                                SQLINTEGER* length) {
  return tsqlite::GetEnvAttr(env, attribute, value, buffer_length, length);
}
SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* sqlstate,
                                SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT buffer_length,
                                SQLSMALLINT* length) {
  return tsqlite::GetDiagRec(type, handle, record, sqlstate, native, message, buffer_length, length);
}
SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field,
                                  SQLPOINTER value, SQLSMALLINT buffer_length, SQLSMALLINT* length) {
  return tsqlite::GetDiagField(type, handle, record, field, value, buffer_length, length);
}

SQLRETURN SQL_API SQLConnect(SQLHDBC dbc, SQLCHAR* dsn, SQLSMALLINT dsn_length, SQLCHAR* user,
                             SQLSMALLINT user_length, SQLCHAR* password, SQLSMALLINT password_length) {
  return tsqlite::Connect(dbc, dsn, dsn_length, user, user_length, password, password_length);
}
SQLRETURN SQL_API SQLDriverConnect(SQLHDBC dbc, SQLHWND window, SQLCHAR* in, SQLSMALLINT in_length, SQLCHAR* out,
                                   SQLSMALLINT out_max, SQLSMALLINT* out_length, SQLUSMALLINT completion) {
  return tsqlite::DriverConnect(dbc, window, in, in_length, out, out_max, out_length, completion);
}
SQLRETURN SQL_API SQLDisconnect(SQLHDBC dbc) { return tsqlite::Disconnect(dbc); }
SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  return tsqlite::SetConnectAttr(dbc, attribute, value, length);
}
SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value,
                                    SQLINTEGER buffer_length, SQLINTEGER* length) {
  return tsqlite::GetConnectAttr(dbc, attribute, value, buffer_length, length);
}
SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
  return tsqlite::EndTran(type, handle, completion);
}
SQLRETURN SQL_API SQLNativeSql(SQLHDBC dbc, SQLCHAR* in, SQLINTEGER in_length, SQLCHAR* out, SQLINTEGER out_max,
                               SQLINTEGER* out_length) {
  return tsqlite::NativeSql(dbc, in, in_length, out, out_max, out_length);
}
SQLRETURN SQL_API SQLGetInfo(SQLHDBC dbc, SQLUSMALLINT info, SQLPOINTER value, SQLSMALLINT buffer_length,
                             SQLSMALLINT* length) {
  return tsqlite::GetInfo(dbc, info, value, buffer_length, length);
}
SQLRETURN SQL_API SQLGetFunctions(SQLHDBC dbc, SQLUSMALLINT function, SQLUSMALLINT* supported) {
  return tsqlite::GetFunctions(dbc, function, supported);
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) {
  return tsqlite::ExecDirect(stmt, text, length);
}
SQLRETURN SQL_API SQLPrepare(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) {
  return tsqlite::Prepare(stmt, text, length);
}
SQLRETURN SQL_API SQLExecute(SQLHSTMT stmt) { return tsqlite::Execute(stmt); }
SQLRETURN SQL_API SQLNumParams(SQLHSTMT stmt, SQLSMALLINT* count) { return tsqlite::NumParams(stmt, count); }
SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT stmt, SQLSMALLINT* count) {
  return tsqlite::NumResultCols(stmt, count);
}
SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT buffer_length,
                                 SQLSMALLINT* name_length, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                                 SQLSMALLINT* nullable) {
  return tsqlite::DescribeCol(stmt, column, name, buffer_length, name_length, type, size, digits, nullable);
}
SQLRETURN SQL_API SQLColAttribute(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                                  SQLSMALLINT buffer_length, SQLSMALLINT* length, SQLLEN* number) {
  return tsqlite::ColAttribute(stmt, column, field, text, buffer_length, length, number);
}
SQLRETURN SQL_API SQLBindCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target,
                             SQLLEN buffer_length, SQLLEN* indicator) {
  return tsqlite::BindCol(stmt, column, c_type, target, buffer_length, indicator);
}
SQLRETURN SQL_API SQLFetch(SQLHSTMT stmt) { return tsqlite::Fetch(stmt); }
SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT stmt, SQLSMALLINT orientation, SQLLEN offset) {
  return tsqlite::FetchScroll(stmt, orientation, offset);
}
SQLRETURN SQL_API SQLGetData(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target,
                             SQLLEN buffer_length, SQLLEN* indicator) {
  return tsqlite::GetData(stmt, column, c_type, target, buffer_length, indicator);
}
SQLRETURN SQL_API SQLRowCount(SQLHSTMT stmt, SQLLEN* count) { return tsqlite::RowCount(stmt, count); }
SQLRETURN SQL_API SQLMoreResults(SQLHSTMT stmt) { return tsqlite::MoreResults(stmt); }
SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT stmt, SQLUSMALLINT option) { return tsqlite::FreeStmt(stmt, option); }
SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT stmt) { return tsqlite::CloseCursor(stmt); }
SQLRETURN SQL_API SQLCancel(SQLHSTMT stmt) { return tsqlite::Cancel(stmt); }
SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  return tsqlite::SetStmtAttr(stmt, attribute, value, length);
}
SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                                 SQLINTEGER* length) {
  return tsqlite::GetStmtAttr(stmt, attribute, value, buffer_length, length);
}
SQLRETURN SQL_API SQLTables(SQLHSTMT stmt, SQLCHAR* catalog, SQLSMALLINT catalog_length, SQLCHAR* schema,
                            SQLSMALLINT schema_length, SQLCHAR* table, SQLSMALLINT table_length, SQLCHAR* types,
                            SQLSMALLINT types_length) {
  return tsqlite::Tables(stmt, catalog, catalog_length, schema, schema_length, table, table_length, types,
                         types_length);
}
SQLRETURN SQL_API SQLColumns(SQLHSTMT stmt, SQLCHAR* catalog, SQLSMALLINT catalog_length, SQLCHAR* schema,
                             SQLSMALLINT schema_length, SQLCHAR* table, SQLSMALLINT table_length, SQLCHAR* column,
                             SQLSMALLINT column_length) {
  return tsqlite::Columns(stmt, catalog, catalog_length, schema, schema_length, table, table_length, column,
                          column_length);
}

}  // extern "C"
