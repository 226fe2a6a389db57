// SQLGetTypeInfo: the SQL Server data types the database takes, with their ODBC type numbers and
// sizes as SQL Server's driver lists them. Clients read it to choose how to bind (pyodbc takes the
// datetime's size to decide how many digits of a second it sends).
#include <cstdint>

#include "api.h"
#include "column_type.h"
#include "handles.h"
#include "params.h"

namespace tsqlite {

namespace {

struct TypeRow {
  const char* name;
  SQLSMALLINT data_type;
  int64_t size;        // column size; -1 for none
  const char* prefix;  // literal prefix and suffix, nullptr for none
  const char* suffix;
  const char* create_params;
  bool case_sensitive;
  SQLSMALLINT searchable;
  int unsigned_attribute;  // -1 for not applicable
  bool fixed_prec_scale;
  int min_scale, max_scale;  // -1 for not applicable
  int radix;                 // -1 for not applicable
};

// Ordered by DATA_TYPE, then by how closely the type maps to it, as ODBC asks.
constexpr TypeRow kTypes[] = {
    {"time", kSqlSsTime2, 16, "'", "'", "scale", false, SQL_PRED_BASIC, -1, false, 0, 7, -1},
    {"uniqueidentifier", SQL_GUID, 36, "'", "'", nullptr, false, SQL_PRED_BASIC, -1, false, -1, -1, -1},
    {"ntext", SQL_WLONGVARCHAR, 1073741823, "N'", "'", nullptr, true, SQL_LIKE_ONLY, -1, false, -1, -1, -1},
    {"nvarchar", SQL_WVARCHAR, 4000, "N'", "'", "max length", true, SQL_SEARCHABLE, -1, false, -1, -1, -1},
    {"nchar", SQL_WCHAR, 4000, "N'", "'", "length", true, SQL_SEARCHABLE, -1, false, -1, -1, -1},
    {"bit", SQL_BIT, 1, nullptr, nullptr, nullptr, false, SQL_PRED_BASIC, -1, false, 0, 0, -1},
    {"tinyint", SQL_TINYINT, 3, nullptr, nullptr, nullptr, false, SQL_PRED_BASIC, 1, false, 0, 0, 10},
    {"bigint", SQL_BIGINT, 19, nullptr, nullptr, nullptr, false, SQL_PRED_BASIC, 0, false, 0, 0, 10},
    {"image", SQL_LONGVARBINARY, 2147483647, "0x", nullptr, nullptr, false, SQL_PRED_NONE, -1, false, -1, -1, -1},
    {"varbinary", SQL_VARBINARY, 8000, "0x", nullptr, "max length", false, SQL_PRED_BASIC, -1, false, -1, -1, -1},
    {"binary", SQL_BINARY, 8000, "0x", nullptr, "length", false, SQL_PRED_BASIC, -1, false, -1, -1, -1},
    {"text", SQL_LONGVARCHAR, 2147483647, "'", "'", nullptr, true, SQL_LIKE_ONLY, -1, false, -1, -1, -1},
    {"char", SQL_CHAR, 8000, "'", "'", "length", true, SQL_SEARCHABLE, -1, false, -1, -1, -1},
    {"numeric", SQL_NUMERIC, 38, nullptr, nullptr, "precision,scale", false, SQL_PRED_BASIC, 0, false, 0, 38, 10},
    {"decimal", SQL_DECIMAL, 38, nullptr, nullptr, "precision,scale", false, SQL_PRED_BASIC, 0, false, 0, 38, 10},
    {"money", SQL_DECIMAL, 19, "$", nullptr, nullptr, false, SQL_PRED_BASIC, 0, true, 4, 4, 10},
    {"int", SQL_INTEGER, 10, nullptr, nullptr, nullptr, false, SQL_PRED_BASIC, 0, false, 0, 0, 10},
    {"smallint", SQL_SMALLINT, 5, nullptr, nullptr, nullptr, false, SQL_PRED_BASIC, 0, false, 0, 0, 10},
    {"float", SQL_FLOAT, 53, nullptr, nullptr, nullptr, false, SQL_PRED_BASIC, 0, false, -1, -1, 2},
    {"real", SQL_REAL, 24, nullptr, nullptr, nullptr, false, SQL_PRED_BASIC, 0, false, -1, -1, 2},
    {"varchar", SQL_VARCHAR, 8000, "'", "'", "max length", true, SQL_SEARCHABLE, -1, false, -1, -1, -1},
    {"date", SQL_TYPE_DATE, 10, "'", "'", nullptr, false, SQL_PRED_BASIC, -1, false, -1, -1, -1},
    {"datetime", SQL_TYPE_TIMESTAMP, 23, "'", "'", nullptr, false, SQL_PRED_BASIC, -1, false, 3, 3, -1},
    {"smalldatetime", SQL_TYPE_TIMESTAMP, 16, "'", "'", nullptr, false, SQL_PRED_BASIC, -1, false, 0, 0, -1},
    {"datetime2", SQL_TYPE_TIMESTAMP, 27, "'", "'", "scale", false, SQL_PRED_BASIC, -1, false, 0, 7, -1},
};

Value Int(int64_t n) {
  Value v;
  v.type = Value::Type::Integer;
  v.integer = n;
  return v;
}
Value Opt(int64_t n) {
  return n < 0 ? Value() : Int(n);
}
Value Str(const char* s) {
  Value v;
  if (s == nullptr) return v;
  v.type = Value::Type::Text;
  v.text = s;
  return v;
}

}  // namespace

SQLRETURN GetTypeInfo(Stmt* stmt, SQLSMALLINT data_type) {
  static const char* const kColumns[] = {
      "TYPE_NAME",        "DATA_TYPE",         "COLUMN_SIZE",     "LITERAL_PREFIX",    "LITERAL_SUFFIX",
      "CREATE_PARAMS",    "NULLABLE",          "CASE_SENSITIVE",  "SEARCHABLE",        "UNSIGNED_ATTRIBUTE",
      "FIXED_PREC_SCALE", "AUTO_UNIQUE_VALUE", "LOCAL_TYPE_NAME", "MINIMUM_SCALE",     "MAXIMUM_SCALE",
      "SQL_DATA_TYPE",    "SQL_DATETIME_SUB",  "NUM_PREC_RADIX",  "INTERVAL_PRECISION"};
  Batch batch;
  Result& r = batch.results.emplace_back();
  r.has_rows = true;
  for (const char* name : kColumns) r.columns.push_back(Column{name, "", ""});
  for (const TypeRow& t : kTypes) {
    if (data_type != SQL_ALL_TYPES && data_type != t.data_type) continue;
    const bool datetime = t.data_type == SQL_TYPE_TIMESTAMP || t.data_type == SQL_TYPE_DATE;
    const Value row[] = {Str(t.name),
                         Int(t.data_type),
                         Opt(t.size),
                         Str(t.prefix),
                         Str(t.suffix),
                         Str(t.create_params),
                         Int(SQL_NULLABLE),
                         Int(t.case_sensitive),
                         Int(t.searchable),
                         Opt(t.unsigned_attribute),
                         Int(t.fixed_prec_scale),
                         Int(0),
                         Str(t.name),
                         Opt(t.min_scale),
                         Opt(t.max_scale),
                         Int(datetime ? SQL_DATETIME : t.data_type),
                         datetime ? Int(t.data_type == SQL_TYPE_DATE ? SQL_CODE_DATE : SQL_CODE_TIMESTAMP) : Value(),
                         Opt(t.radix),
                         Value()};
    for (const Value& v : row) r.cells.push_back(v);
    ++r.rows;
  }
  return ShowResults(stmt, std::move(batch));
}

}  // namespace tsqlite
