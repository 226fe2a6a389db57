#pragma once
// The ODBC calls the driver offers, one function per call with the call's own arguments; entry.cpp
// exports each under its ODBC name. Grouped by source file.
#include <sql.h>
#include <sqlext.h>

namespace tsqlite {

// handles.cpp
SQLRETURN AllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output);
SQLRETURN FreeHandle(SQLSMALLINT type, SQLHANDLE handle);
SQLRETURN SetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
SQLRETURN GetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                     SQLINTEGER* length);
SQLRETURN GetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* sqlstate,
                     SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT buffer_length, SQLSMALLINT* length);
SQLRETURN GetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field,
                       SQLPOINTER value, SQLSMALLINT buffer_length, SQLSMALLINT* length);

// connection.cpp
SQLRETURN Connect(SQLHDBC dbc, SQLCHAR* dsn, SQLSMALLINT dsn_length, SQLCHAR* user, SQLSMALLINT user_length,
                  SQLCHAR* password, SQLSMALLINT password_length);
SQLRETURN DriverConnect(SQLHDBC dbc, SQLHWND window, SQLCHAR* in, SQLSMALLINT in_length, SQLCHAR* out,
                        SQLSMALLINT out_max, SQLSMALLINT* out_length, SQLUSMALLINT completion);
SQLRETURN Disconnect(SQLHDBC dbc);
SQLRETURN SetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
SQLRETURN GetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                         SQLINTEGER* length);
SQLRETURN EndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion);
SQLRETURN NativeSql(SQLHDBC dbc, SQLCHAR* in, SQLINTEGER in_length, SQLCHAR* out, SQLINTEGER out_max,
                    SQLINTEGER* out_length);

// info.cpp
SQLRETURN GetInfo(SQLHDBC dbc, SQLUSMALLINT info, SQLPOINTER value, SQLSMALLINT buffer_length,
                  SQLSMALLINT* length);
SQLRETURN GetFunctions(SQLHDBC dbc, SQLUSMALLINT function, SQLUSMALLINT* supported);

// statement.cpp
SQLRETURN ExecDirect(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length);
SQLRETURN Prepare(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length);
SQLRETURN Execute(SQLHSTMT stmt);
SQLRETURN NumParams(SQLHSTMT stmt, SQLSMALLINT* count);
SQLRETURN NumResultCols(SQLHSTMT stmt, SQLSMALLINT* count);
SQLRETURN DescribeCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT buffer_length,
                      SQLSMALLINT* name_length, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                      SQLSMALLINT* nullable);
SQLRETURN ColAttribute(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                       SQLSMALLINT buffer_length, SQLSMALLINT* length, SQLLEN* number);
SQLRETURN BindCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target,
                  SQLLEN buffer_length, SQLLEN* indicator);
SQLRETURN Fetch(SQLHSTMT stmt);
SQLRETURN FetchScroll(SQLHSTMT stmt, SQLSMALLINT orientation, SQLLEN offset);
SQLRETURN GetData(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target,
                  SQLLEN buffer_length, SQLLEN* indicator);
SQLRETURN RowCount(SQLHSTMT stmt, SQLLEN* count);
SQLRETURN MoreResults(SQLHSTMT stmt);
SQLRETURN FreeStmt(SQLHSTMT stmt, SQLUSMALLINT option);
SQLRETURN CloseCursor(SQLHSTMT stmt);
SQLRETURN Cancel(SQLHSTMT stmt);
SQLRETURN SetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
SQLRETURN GetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                      SQLINTEGER* length);
SQLRETURN Tables(SQLHSTMT stmt, SQLCHAR* catalog, SQLSMALLINT catalog_length, SQLCHAR* schema,
                 SQLSMALLINT schema_length, SQLCHAR* table, SQLSMALLINT table_length, SQLCHAR* types,
                 SQLSMALLINT types_length);
SQLRETURN Columns(SQLHSTMT stmt, SQLCHAR* catalog, SQLSMALLINT catalog_length, SQLCHAR* schema,
                  SQLSMALLINT schema_length, SQLCHAR* table, SQLSMALLINT table_length, SQLCHAR* column,
                  SQLSMALLINT column_length);

}  // namespace tsqlite
