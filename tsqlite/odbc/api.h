#pragma once
// The ODBC calls the driver offers, one function per call with the call's own arguments; entry.cpp
// exports each under its ODBC name. Grouped by source file.
#include <sql.h>
#include <sqlext.h>

namespace tsqlite {

struct Env;
struct Dbc;
struct Stmt;

// handles.cpp
SQLRETURN AllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output);
SQLRETURN FreeHandle(SQLSMALLINT type, SQLHANDLE handle);
SQLRETURN SetEnvAttr(Env* env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
SQLRETURN GetEnvAttr(Env* env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length, SQLINTEGER* length);
SQLRETURN GetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* sqlstate, SQLINTEGER* native,
                     SQLCHAR* message, SQLSMALLINT buffer_length, SQLSMALLINT* length);
SQLRETURN GetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,
                       SQLSMALLINT buffer_length, SQLSMALLINT* length);

// connection.cpp
SQLRETURN Connect(Dbc* dbc, SQLCHAR* dsn, SQLSMALLINT dsn_length, SQLCHAR* user, SQLSMALLINT user_length,
                  SQLCHAR* password, SQLSMALLINT password_length);
SQLRETURN DriverConnect(Dbc* dbc, SQLHWND window, SQLCHAR* in, SQLSMALLINT in_length, SQLCHAR* out, SQLSMALLINT out_max,
                        SQLSMALLINT* out_length, SQLUSMALLINT completion);
SQLRETURN Disconnect(Dbc* dbc);
SQLRETURN SetConnectAttr(Dbc* dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
SQLRETURN GetConnectAttr(Dbc* dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                         SQLINTEGER* length);
SQLRETURN EndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion);
SQLRETURN NativeSql(Dbc* dbc, SQLCHAR* in, SQLINTEGER in_length, SQLCHAR* out, SQLINTEGER out_max,
                    SQLINTEGER* out_length);

// info.cpp
// is_text, when given, tells whether the answer is a text.
SQLRETURN GetInfo(Dbc* dbc, SQLUSMALLINT info, SQLPOINTER value, SQLSMALLINT buffer_length, SQLSMALLINT* length,
                  bool* is_text = nullptr);
SQLRETURN GetFunctions(Dbc* dbc, SQLUSMALLINT function, SQLUSMALLINT* supported);

// statement.cpp
SQLRETURN ExecDirect(Stmt* stmt, SQLCHAR* text, SQLINTEGER length);
SQLRETURN Prepare(Stmt* stmt, SQLCHAR* text, SQLINTEGER length);
SQLRETURN Execute(Stmt* stmt);
SQLRETURN NumResultCols(Stmt* stmt, SQLSMALLINT* count);
SQLRETURN DescribeCol(Stmt* stmt, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT buffer_length,
                      SQLSMALLINT* name_length, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                      SQLSMALLINT* nullable);
SQLRETURN ColAttribute(Stmt* stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text, SQLSMALLINT buffer_length,
                       SQLSMALLINT* length, SQLLEN* number);
SQLRETURN BindCol(Stmt* stmt, SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target, SQLLEN buffer_length,
                  SQLLEN* indicator);
SQLRETURN Fetch(Stmt* stmt);
SQLRETURN FetchScroll(Stmt* stmt, SQLSMALLINT orientation, SQLLEN offset);
SQLRETURN GetData(Stmt* stmt, SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target, SQLLEN buffer_length,
                  SQLLEN* indicator);
SQLRETURN RowCount(Stmt* stmt, SQLLEN* count);
SQLRETURN MoreResults(Stmt* stmt);
SQLRETURN FreeStmt(Stmt* stmt, SQLUSMALLINT option);
SQLRETURN CloseCursor(Stmt* stmt);
SQLRETURN Cancel(Stmt* stmt);
SQLRETURN SetStmtAttr(Stmt* stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
SQLRETURN GetStmtAttr(Stmt* stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length, SQLINTEGER* length);
// params.cpp
SQLRETURN NumParams(Stmt* stmt, SQLSMALLINT* count);
SQLRETURN BindParameter(Stmt* stmt, SQLUSMALLINT number, SQLSMALLINT io_type, SQLSMALLINT c_type, SQLSMALLINT sql_type,
                        SQLULEN size, SQLSMALLINT digits, SQLPOINTER value, SQLLEN buffer_length, SQLLEN* indicator);
SQLRETURN DescribeParam(Stmt* stmt, SQLUSMALLINT number, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                        SQLSMALLINT* nullable);
SQLRETURN ParamData(Stmt* stmt, SQLPOINTER* token);
SQLRETURN PutData(Stmt* stmt, SQLPOINTER data, SQLLEN length);

// catalog_calls.cpp
SQLRETURN Tables(Stmt* stmt, SQLCHAR* catalog, SQLSMALLINT catalog_length, SQLCHAR* schema, SQLSMALLINT schema_length,
                 SQLCHAR* table, SQLSMALLINT table_length, SQLCHAR* types, SQLSMALLINT types_length);
SQLRETURN Columns(Stmt* stmt, SQLCHAR* catalog, SQLSMALLINT catalog_length, SQLCHAR* schema, SQLSMALLINT schema_length,
                  SQLCHAR* table, SQLSMALLINT table_length, SQLCHAR* column, SQLSMALLINT column_length);

SQLRETURN PrimaryKeys(Stmt* stmt, SQLCHAR* catalog, SQLSMALLINT catalog_length, SQLCHAR* schema,
                      SQLSMALLINT schema_length, SQLCHAR* table, SQLSMALLINT table_length);
SQLRETURN Statistics(Stmt* stmt, SQLCHAR* catalog, SQLSMALLINT catalog_length, SQLCHAR* schema,
                     SQLSMALLINT schema_length, SQLCHAR* table, SQLSMALLINT table_length, SQLUSMALLINT unique,
                     SQLUSMALLINT reserved);

// typeinfo.cpp
SQLRETURN GetTypeInfo(Stmt* stmt, SQLSMALLINT data_type);

// wide.cpp: the Unicode calls, each running the call above of the same name.
SQLRETURN ExecDirectW(Stmt* stmt, SQLWCHAR* text, SQLINTEGER length);
SQLRETURN PrepareW(Stmt* stmt, SQLWCHAR* text, SQLINTEGER length);
SQLRETURN ConnectW(Dbc* dbc, SQLWCHAR* dsn, SQLSMALLINT dsn_length, SQLWCHAR* user, SQLSMALLINT user_length,
                   SQLWCHAR* password, SQLSMALLINT password_length);
SQLRETURN DriverConnectW(Dbc* dbc, SQLHWND window, SQLWCHAR* in, SQLSMALLINT in_length, SQLWCHAR* out,
                         SQLSMALLINT out_max, SQLSMALLINT* out_length, SQLUSMALLINT completion);
SQLRETURN NativeSqlW(Dbc* dbc, SQLWCHAR* in, SQLINTEGER in_length, SQLWCHAR* out, SQLINTEGER out_max,
                     SQLINTEGER* out_length);
SQLRETURN DescribeColW(Stmt* stmt, SQLUSMALLINT column, SQLWCHAR* name, SQLSMALLINT buffer_length,
                       SQLSMALLINT* name_length, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                       SQLSMALLINT* nullable);
SQLRETURN ColAttributeW(Stmt* stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text, SQLSMALLINT buffer_length,
                        SQLSMALLINT* length, SQLLEN* number);
SQLRETURN GetDiagRecW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLWCHAR* sqlstate, SQLINTEGER* native,
                      SQLWCHAR* message, SQLSMALLINT buffer_length, SQLSMALLINT* length);
SQLRETURN GetDiagFieldW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,
                        SQLSMALLINT buffer_length, SQLSMALLINT* length);
SQLRETURN GetInfoW(Dbc* dbc, SQLUSMALLINT info, SQLPOINTER value, SQLSMALLINT buffer_length, SQLSMALLINT* length);
SQLRETURN GetConnectAttrW(Dbc* dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                          SQLINTEGER* length);
SQLRETURN SetConnectAttrW(Dbc* dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
SQLRETURN TablesW(Stmt* stmt, SQLWCHAR* catalog, SQLSMALLINT catalog_length, SQLWCHAR* schema,
                  SQLSMALLINT schema_length, SQLWCHAR* table, SQLSMALLINT table_length, SQLWCHAR* types,
                  SQLSMALLINT types_length);
SQLRETURN PrimaryKeysW(Stmt* stmt, SQLWCHAR* catalog, SQLSMALLINT catalog_length, SQLWCHAR* schema,
                       SQLSMALLINT schema_length, SQLWCHAR* table, SQLSMALLINT table_length);
SQLRETURN StatisticsW(Stmt* stmt, SQLWCHAR* catalog, SQLSMALLINT catalog_length, SQLWCHAR* schema,
                      SQLSMALLINT schema_length, SQLWCHAR* table, SQLSMALLINT table_length, SQLUSMALLINT unique,
                      SQLUSMALLINT reserved);
SQLRETURN ColumnsW(Stmt* stmt, SQLWCHAR* catalog, SQLSMALLINT catalog_length, SQLWCHAR* schema,
                   SQLSMALLINT schema_length, SQLWCHAR* table, SQLSMALLINT table_length, SQLWCHAR* column,
                   SQLSMALLINT column_length);

}  // namespace tsqlite
