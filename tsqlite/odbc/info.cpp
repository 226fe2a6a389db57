// What the driver tells about itself: SQLGetInfo and SQLGetFunctions.
#include <cstring>

#include "api.h"
#include "handles.h"

namespace tsqlite {

namespace {

// The ODBC functions the driver offers; entry.cpp exports exactly these.
constexpr SQLUSMALLINT kFunctions[] = {
    SQL_API_SQLALLOCHANDLE,   SQL_API_SQLFREEHANDLE,     SQL_API_SQLSETENVATTR,     SQL_API_SQLGETENVATTR,
    SQL_API_SQLGETDIAGREC,    SQL_API_SQLGETDIAGFIELD,   SQL_API_SQLCONNECT,        SQL_API_SQLDRIVERCONNECT,
    SQL_API_SQLDISCONNECT,    SQL_API_SQLSETCONNECTATTR, SQL_API_SQLGETCONNECTATTR, SQL_API_SQLENDTRAN,
    SQL_API_SQLNATIVESQL,     SQL_API_SQLGETINFO,        SQL_API_SQLGETFUNCTIONS,   SQL_API_SQLEXECDIRECT,
    SQL_API_SQLPREPARE,       SQL_API_SQLEXECUTE,        SQL_API_SQLNUMPARAMS,      SQL_API_SQLNUMRESULTCOLS,
    SQL_API_SQLDESCRIBECOL,   SQL_API_SQLCOLATTRIBUTE,   SQL_API_SQLBINDCOL,        SQL_API_SQLFETCH,
    SQL_API_SQLFETCHSCROLL,   SQL_API_SQLGETDATA,        SQL_API_SQLROWCOUNT,       SQL_API_SQLMORERESULTS,
    SQL_API_SQLFREESTMT,      SQL_API_SQLCLOSECURSOR,    SQL_API_SQLCANCEL,         SQL_API_SQLSETSTMTATTR,
    SQL_API_SQLGETSTMTATTR,   SQL_API_SQLTABLES,         SQL_API_SQLCOLUMNS,        SQL_API_SQLBINDPARAMETER,
    SQL_API_SQLDESCRIBEPARAM, SQL_API_SQLPARAMDATA,      SQL_API_SQLPUTDATA,        SQL_API_SQLGETTYPEINFO,
    SQL_API_SQLPRIMARYKEYS,   SQL_API_SQLSTATISTICS,
};

bool Offered(SQLUSMALLINT id) {
  for (SQLUSMALLINT f : kFunctions) {
    if (f == id) return true;
  }
  return false;
}

}  // namespace

SQLRETURN GetFunctions(Dbc* dbc, SQLUSMALLINT function, SQLUSMALLINT* supported) {
  if (supported == nullptr) return SetDiag(dbc, SQL_ERROR, Sqlstate::NullPointer);
  if (function == SQL_API_ODBC3_ALL_FUNCTIONS) {
    std::memset(supported, 0, sizeof(SQLUSMALLINT) * SQL_API_ODBC3_ALL_FUNCTIONS_SIZE);
    for (SQLUSMALLINT f : kFunctions) supported[f >> 4] |= static_cast<SQLUSMALLINT>(1 << (f & 0xF));
    return SQL_SUCCESS;
  }
  if (function == SQL_API_ALL_FUNCTIONS) {
    std::memset(supported, 0, sizeof(SQLUSMALLINT) * 100);
    for (SQLUSMALLINT f : kFunctions) {
      if (f < 100) supported[f] = SQL_TRUE;
    }
    return SQL_SUCCESS;
  }
  *supported = Offered(function) ? SQL_TRUE : SQL_FALSE;
  return SQL_SUCCESS;
}

SQLRETURN GetInfo(Dbc* dbc, SQLUSMALLINT info, SQLPOINTER value, SQLSMALLINT buffer_length, SQLSMALLINT* length,
                  bool* is_text) {
  auto text = [&](const std::string& s) {
    if (is_text != nullptr) *is_text = true;
    return PutString(dbc, s, static_cast<SQLCHAR*>(value), buffer_length, length);
  };
  auto u16 = [&](SQLUSMALLINT n) {
    if (value != nullptr) *static_cast<SQLUSMALLINT*>(value) = n;
    if (length != nullptr) *length = sizeof(SQLUSMALLINT);
    return static_cast<SQLRETURN>(SQL_SUCCESS);
  };
  auto u32 = [&](SQLUINTEGER n) {
    if (value != nullptr) *static_cast<SQLUINTEGER*>(value) = n;
    if (length != nullptr) *length = sizeof(SQLUINTEGER);
    return static_cast<SQLRETURN>(SQL_SUCCESS);
  };
  switch (info) {
    // The driver and the data source.
    case SQL_DRIVER_NAME:
      return text("libtsqlite.so");
    case SQL_DRIVER_VER:
      return text("01.00.0000");
    case SQL_DRIVER_ODBC_VER:
      return text("03.00");
    case SQL_ODBC_VER:
      return text("03.00.0000");
    case SQL_DBMS_NAME:
      return text("tsqlite");
    case SQL_DBMS_VER:
      return text("01.00.0000");
    case SQL_DATA_SOURCE_NAME:
    case SQL_SERVER_NAME:
      return text(dbc->dsn);
    case SQL_DATABASE_NAME:
      return text(dbc->db.Name());
    case SQL_USER_NAME:
      return text("dbo");
    case SQL_DATA_SOURCE_READ_ONLY:
      return text("N");
    case SQL_XOPEN_CLI_YEAR:
      return text("1995");
    case SQL_ODBC_INTERFACE_CONFORMANCE:
      return u32(SQL_OIC_CORE);
    case SQL_SQL_CONFORMANCE:
      return u32(SQL_SC_SQL92_ENTRY);
    case SQL_ODBC_API_CONFORMANCE:
      return u16(SQL_OAC_LEVEL1);
    case SQL_ODBC_SQL_CONFORMANCE:
      return u16(SQL_OSC_CORE);

    // Statements and cursors: any number at once, forward only, kept across commits.
    case SQL_MAX_DRIVER_CONNECTIONS:
    case SQL_MAX_CONCURRENT_ACTIVITIES:
      return u16(0);
    case SQL_SCROLL_OPTIONS:
      return u32(SQL_SO_FORWARD_ONLY);
    case SQL_SCROLL_CONCURRENCY:
      return u32(SQL_SCCO_READ_ONLY | SQL_SCCO_LOCK);
    case SQL_STATIC_SENSITIVITY:
      return u32(0);
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1:
      return u32(SQL_CA1_NEXT);
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2:
      return u32(SQL_CA2_READ_ONLY_CONCURRENCY | SQL_CA2_LOCK_CONCURRENCY | SQL_CA2_MAX_ROWS_SELECT);
    case SQL_STATIC_CURSOR_ATTRIBUTES1:
    case SQL_STATIC_CURSOR_ATTRIBUTES2:
    case SQL_KEYSET_CURSOR_ATTRIBUTES1:
    case SQL_KEYSET_CURSOR_ATTRIBUTES2:
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES1:
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES2:
      return u32(0);
    case SQL_CURSOR_COMMIT_BEHAVIOR:
    case SQL_CURSOR_ROLLBACK_BEHAVIOR:
      return u16(SQL_CB_PRESERVE);
    case SQL_GETDATA_EXTENSIONS:
      return u32(SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND);
    case SQL_BOOKMARK_PERSISTENCE:
    case SQL_POS_OPERATIONS:
    case SQL_POSITIONED_STATEMENTS:
    case SQL_LOCK_TYPES:
    case SQL_ASYNC_MODE:
    case SQL_BATCH_SUPPORT:
    case SQL_BATCH_ROW_COUNT:
      return u32(0);
    case SQL_PARAM_ARRAY_ROW_COUNTS:  // the row counts of a parameter array add up to one
      return u32(SQL_PARC_NO_BATCH);
    case SQL_PARAM_ARRAY_SELECTS:  // a query with a parameter array gives a result set per row
      return u32(SQL_PAS_BATCH);
    case SQL_MAX_ASYNC_CONCURRENT_STATEMENTS:
      return u32(0);
    case SQL_MULT_RESULT_SETS:
    case SQL_MULTIPLE_ACTIVE_TXN:
      return text("Y");
    case SQL_ACCESSIBLE_TABLES:
    case SQL_ACCESSIBLE_PROCEDURES:
      return text("Y");
    case SQL_PROCEDURES:
    case SQL_OUTER_JOINS:
    case SQL_EXPRESSIONS_IN_ORDERBY:
      return text(info == SQL_EXPRESSIONS_IN_ORDERBY ? "Y" : "N");
    case SQL_NEED_LONG_DATA_LEN:
    case SQL_ROW_UPDATES:
      return text("N");
    case SQL_DESCRIBE_PARAMETER:
      return text("Y");

    // Transactions.
    case SQL_TXN_CAPABLE:
      return u16(SQL_TC_ALL);
    case SQL_DEFAULT_TXN_ISOLATION:
    case SQL_TXN_ISOLATION_OPTION:
      return u32(SQL_TXN_SERIALIZABLE);

    // Names and the SQL they may be written in.
    case SQL_IDENTIFIER_QUOTE_CHAR:
      return text("\"");
    case SQL_IDENTIFIER_CASE:
    case SQL_QUOTED_IDENTIFIER_CASE:
      return u16(SQL_IC_MIXED);
    case SQL_CATALOG_NAME_SEPARATOR:
      return text(".");
    case SQL_CATALOG_TERM:
      return text("database");
    case SQL_SCHEMA_TERM:
      return text("owner");
    case SQL_TABLE_TERM:
      return text("table");
    case SQL_PROCEDURE_TERM:
      return text("stored procedure");
    case SQL_CATALOG_NAME:
      return text("N");
    case SQL_CATALOG_USAGE:
      return u32(0);
    case SQL_CATALOG_LOCATION:
      return u16(0);
    case SQL_SCHEMA_USAGE:
      return u32(SQL_SU_DML_STATEMENTS | SQL_SU_TABLE_DEFINITION | SQL_SU_INDEX_DEFINITION);
    case SQL_SEARCH_PATTERN_ESCAPE:
      return text("\\");
    case SQL_LIKE_ESCAPE_CLAUSE:
      return text("Y");
    case SQL_SPECIAL_CHARACTERS:
      return text("$#@");
    case SQL_KEYWORDS:
      return text("");
    case SQL_COLUMN_ALIAS:
    case SQL_ORDER_BY_COLUMNS_IN_SELECT:
      return text(info == SQL_COLUMN_ALIAS ? "Y" : "N");
    case SQL_NULL_COLLATION:
      return u16(SQL_NC_LOW);
    case SQL_CONCAT_NULL_BEHAVIOR:
      return u16(SQL_CB_NULL);
    case SQL_NON_NULLABLE_COLUMNS:
      return u16(SQL_NNC_NON_NULL);
    case SQL_CORRELATION_NAME:
      return u16(SQL_CN_ANY);
    case SQL_GROUP_BY:
      return u16(SQL_GB_GROUP_BY_CONTAINS_SELECT);
    case SQL_CONVERT_FUNCTIONS:
      return u32(SQL_FN_CVT_CONVERT);
    case SQL_NUMERIC_FUNCTIONS:
    case SQL_STRING_FUNCTIONS:
    case SQL_SYSTEM_FUNCTIONS:
    case SQL_TIMEDATE_FUNCTIONS:
    case SQL_TIMEDATE_ADD_INTERVALS:
    case SQL_TIMEDATE_DIFF_INTERVALS:
    case SQL_OJ_CAPABILITIES:
    case SQL_SUBQUERIES:
    case SQL_UNION:
    case SQL_AGGREGATE_FUNCTIONS:
    case SQL_ALTER_TABLE:
    case SQL_DATETIME_LITERALS:
    case SQL_INDEX_KEYWORDS:
    case SQL_INSERT_STATEMENT:
    case SQL_SQL92_PREDICATES:
    case SQL_SQL92_RELATIONAL_JOIN_OPERATORS:
    case SQL_SQL92_VALUE_EXPRESSIONS:
    case SQL_SQL92_STRING_FUNCTIONS:
    case SQL_SQL92_NUMERIC_VALUE_FUNCTIONS:
    case SQL_SQL92_DATETIME_FUNCTIONS:
      return u32(0);
    case SQL_MAX_COLUMN_NAME_LEN:
    case SQL_MAX_TABLE_NAME_LEN:
    case SQL_MAX_SCHEMA_NAME_LEN:
    case SQL_MAX_CATALOG_NAME_LEN:
    case SQL_MAX_CURSOR_NAME_LEN:
    case SQL_MAX_PROCEDURE_NAME_LEN:
    case SQL_MAX_IDENTIFIER_LEN:
      return u16(128);
    case SQL_MAX_COLUMNS_IN_TABLE:
    case SQL_MAX_COLUMNS_IN_SELECT:
    case SQL_MAX_COLUMNS_IN_GROUP_BY:
    case SQL_MAX_COLUMNS_IN_ORDER_BY:
    case SQL_MAX_COLUMNS_IN_INDEX:
    case SQL_MAX_TABLES_IN_SELECT:
    case SQL_MAX_USER_NAME_LEN:
      return u16(0);
    case SQL_MAX_STATEMENT_LEN:
    case SQL_MAX_ROW_SIZE:
    case SQL_MAX_CHAR_LITERAL_LEN:
    case SQL_MAX_BINARY_LITERAL_LEN:
    case SQL_MAX_INDEX_SIZE:
      return u32(0);
    case SQL_MAX_ROW_SIZE_INCLUDES_LONG:
      return text("N");
    case SQL_FILE_USAGE:
      return u16(SQL_FILE_NOT_SUPPORTED);
    default:
      return SetDiag(dbc, SQL_ERROR, Sqlstate::InfoTypeOutOfRange);
  }
}

}  // namespace tsqlite
