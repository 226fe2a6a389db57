// The catalog views: SQLite queries of sqlite_master and the table-valued pragmas, with SQL
// Server's column names and values. Tables and views are stored as "S.T"; the schemas in
// tsqlite_schemas. Object and schema numbers are those OBJECT_ID and SCHEMA_ID give.
#include "catalog_views.h"

#include <string_view>

namespace tsqlite {

namespace {

// The users' tables and views: schema, name, stored name and SQLite's type.
#define TSQLITE_OBJECTS                                                                                  \
  "SELECT substr(name, 1, instr(name, '.') - 1) AS schem, substr(name, instr(name, '.') + 1) AS oname, " \
  "name AS stored, type AS mtype FROM main.sqlite_master WHERE type IN ('table', 'view') AND instr(name, '.') > 0"

// Every schema with its number and owner: the four every database has, then the users' own.
#define TSQLITE_SCHEMAS                                                                                      \
  "SELECT 'dbo' AS name, 1 AS schema_id, 1 AS principal_id, 'dbo' AS owner UNION ALL SELECT 'guest', 2, 2, " \
  "'guest' UNION ALL SELECT 'INFORMATION_SCHEMA', 3, 3, 'INFORMATION_SCHEMA' UNION ALL SELECT 'sys', 4, 4, " \
  "'sys' UNION ALL SELECT name, ts_schema_id(name), 1, 'dbo' FROM main.tsqlite_schemas WHERE name <> 'dbo'"

// sys.objects' columns of a table or view o (TSQLITE_OBJECTS); the file keeps no creation time.
#define TSQLITE_OBJECT_COLUMNS                                                                                   \
  "o.oname AS name, ts_object_key(o.stored) AS object_id, NULL AS principal_id, ts_schema_id(o.schem) AS "       \
  "schema_id, 0 AS parent_object_id, (CASE o.mtype WHEN 'view' THEN 'V ' ELSE 'U ' END) COLLATE RTRIM AS type, " \
  "CASE o.mtype WHEN 'view' THEN 'VIEW' ELSE 'USER_TABLE' END AS type_desc, NULL AS create_date, NULL AS "       \
  "modify_date, 0 AS is_ms_shipped, 0 AS is_published, 0 AS is_schema_published"

// The built-in types with SQL Server's numbers and sizes; text types take the file's collation.
#define TSQLITE_TYPES                                                                                             \
  "SELECT column1 AS name, column2 AS system_type_id, column3 AS user_type_id, 4 AS schema_id, NULL AS "          \
  "principal_id, column4 AS max_length, column5 AS precision, column6 AS scale, CASE WHEN column7 THEN "          \
  "ts_collation() END AS collation_name, column8 AS is_nullable, 0 AS is_user_defined, 0 AS is_assembly_type, 0 " \
  "AS default_object_id, 0 AS rule_object_id, 0 AS is_table_type FROM (VALUES "                                   \
  "('bigint', 127, 127, 8, 19, 0, 0, 1), ('binary', 173, 173, 8000, 0, 0, 0, 1)"                                  \
  ", ('bit', 104, 104, 1, 1, 0, 0, 1), ('char', 175, 175, 8000, 0, 0, 1, 1)"                                      \
  ", ('date', 40, 40, 3, 10, 0, 0, 1), ('datetime', 61, 61, 8, 23, 3, 0, 1)"                                      \
  ", ('datetime2', 42, 42, 8, 27, 7, 0, 1), ('datetimeoffset', 43, 43, 10, 34, 7, 0, 1)"                          \
  ", ('decimal', 106, 106, 17, 38, 38, 0, 1), ('float', 62, 62, 8, 53, 0, 0, 1)"                                  \
  ", ('image', 34, 34, 16, 0, 0, 0, 1), ('int', 56, 56, 4, 10, 0, 0, 1)"                                          \
  ", ('money', 60, 60, 8, 19, 4, 0, 1), ('nchar', 239, 239, 8000, 0, 0, 1, 1)"                                    \
  ", ('ntext', 99, 99, 16, 0, 0, 1, 1), ('numeric', 108, 108, 17, 38, 38, 0, 1)"                                  \
  ", ('nvarchar', 231, 231, 8000, 0, 0, 1, 1), ('real', 59, 59, 4, 24, 0, 0, 1)"                                  \
  ", ('smalldatetime', 58, 58, 4, 16, 0, 0, 1), ('smallint', 52, 52, 2, 5, 0, 0, 1)"                              \
  ", ('smallmoney', 122, 122, 4, 10, 4, 0, 1), ('sql_variant', 98, 98, 8016, 0, 0, 0, 1)"                         \
  ", ('text', 35, 35, 16, 0, 0, 1, 1), ('time', 41, 41, 5, 16, 7, 0, 1)"                                          \
  ", ('tinyint', 48, 48, 1, 3, 0, 0, 1), ('uniqueidentifier', 36, 36, 16, 0, 0, 0, 1)"                            \
  ", ('varbinary', 165, 165, 8000, 0, 0, 0, 1), ('varchar', 167, 167, 8000, 0, 0, 1, 1)"                          \
  ", ('xml', 241, 241, -1, 0, 0, 0, 1), ('sysname', 231, 256, 256, 0, 0, 1, 0)"                                   \
  ")"

struct View {
  const char* schema;
  const char* name;
  const char* sql;
};

constexpr View kViews[] = {
    {"INFORMATION_SCHEMA", "SCHEMATA",
     "SELECT ts_db_name() AS CATALOG_NAME, s.name AS SCHEMA_NAME, s.owner AS SCHEMA_OWNER, NULL AS "
     "DEFAULT_CHARACTER_SET_CATALOG, NULL AS DEFAULT_CHARACTER_SET_SCHEMA, 'iso_1' AS DEFAULT_CHARACTER_SET_NAME "
     "FROM (" TSQLITE_SCHEMAS ") AS s"},
    {"INFORMATION_SCHEMA", "TABLES",
     "SELECT ts_db_name() AS TABLE_CATALOG, o.schem AS TABLE_SCHEMA, o.oname AS TABLE_NAME, "
     "CASE o.mtype WHEN 'view' THEN 'VIEW' ELSE 'BASE TABLE' END AS TABLE_TYPE FROM (" TSQLITE_OBJECTS ") AS o"},
    {"INFORMATION_SCHEMA", "VIEWS",
     "SELECT ts_db_name() AS TABLE_CATALOG, o.schem AS TABLE_SCHEMA, o.oname AS TABLE_NAME, NULL AS "
     "VIEW_DEFINITION, 'NONE' AS CHECK_OPTION, 'NO' AS IS_UPDATABLE FROM (" TSQLITE_OBJECTS
     ") AS o WHERE o.mtype = 'view'"},
    {"INFORMATION_SCHEMA", "COLUMNS",
     "SELECT ts_db_name() AS TABLE_CATALOG, o.schem AS TABLE_SCHEMA, o.oname AS TABLE_NAME, p.name AS "
     "COLUMN_NAME, p.cid + 1 AS ORDINAL_POSITION, p.dflt_value AS COLUMN_DEFAULT, CASE WHEN p.\"notnull\" OR "
     "p.pk > 0 THEN 'NO' ELSE 'YES' END AS IS_NULLABLE, ts_type_name(p.type) AS DATA_TYPE, "
     "ts_type_chars(p.type) AS CHARACTER_MAXIMUM_LENGTH, ts_type_bytes(p.type, 1) AS CHARACTER_OCTET_LENGTH "
     "FROM (" TSQLITE_OBJECTS ") AS o, pragma_table_info(o.stored) AS p"},
    {"sys", "schemas",
     "SELECT s.name AS name, s.schema_id AS schema_id, s.principal_id AS principal_id FROM (" TSQLITE_SCHEMAS ") AS s"},
    {"sys", "objects", "SELECT " TSQLITE_OBJECT_COLUMNS " FROM (" TSQLITE_OBJECTS ") AS o"},
    {"sys", "tables",
     "SELECT " TSQLITE_OBJECT_COLUMNS
     ", 0 AS is_replicated, 0 AS is_memory_optimized, 0 AS temporal_type FROM (" TSQLITE_OBJECTS
     ") AS o WHERE o.mtype = 'table'"},
    {"sys", "views",
     "SELECT " TSQLITE_OBJECT_COLUMNS ", 0 AS is_replicated, 0 AS with_check_option FROM (" TSQLITE_OBJECTS
     ") AS o WHERE o.mtype = 'view'"},
    {"sys", "columns",
     "SELECT ts_object_key(o.stored) AS object_id, p.name AS name, p.cid + 1 AS column_id, (SELECT "
     "t.system_type_id FROM (" TSQLITE_TYPES ") AS t WHERE t.name = ts_type_name(p.type)) AS system_type_id, "
     "(SELECT t.user_type_id FROM (" TSQLITE_TYPES
     ") AS t WHERE t.name = ts_type_name(p.type)) AS user_type_id, ts_type_bytes(p.type, "
     "0) AS max_length, CASE WHEN p.\"notnull\" OR p.pk > 0 THEN 0 ELSE 1 END AS is_nullable, "
     "ts_type_identity(p.type) AS is_identity, 0 AS is_computed FROM (" TSQLITE_OBJECTS
     ") AS o, pragma_table_info(o.stored) AS p"},
    {"sys", "types", "SELECT * FROM (" TSQLITE_TYPES ")"},
};

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
    const char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
    if (x != y) return false;
  }
  return true;
}

}  // namespace

const char* CatalogViewSql(std::string_view schema, std::string_view name) {
  for (const View& v : kViews) {
    if (SameNoCase(schema, v.schema) && SameNoCase(name, v.name)) return v.sql;
  }
  return nullptr;
}

}  // namespace tsqlite
