// The catalog as SQLTables, SQLColumns, SQLPrimaryKeys and SQLStatistics list it: queries of
// SQLite's schema, their patterns bound as parameters.
#include <sqlite3.h>

#include <mutex>
#include <string>
#include <vector>

#include "executor.h"
#include "executor_internal.h"

namespace tsqlite {

bool Database::Catalog(const char* sql, const std::vector<std::string>& patterns, Batch& batch) {
  std::lock_guard<std::mutex> lock(mutex_);
  batch.results.clear();
  batch.errors.clear();
  batch.no_data = false;
  if (db_ == nullptr) {
    batch.errors.push_back(Raised<Err::ConnectionNotOpen>());
    return false;
  }
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
  if (rc != SQLITE_OK) {
    Fail(rc, nullptr, batch);
    return false;
  }
  Shape shape;
  Statement statement;
  statement.kind = Statement::Kind::Query;
  for (size_t i = 0; i < patterns.size(); ++i) {
    Literal lit;
    lit.kind = Literal::Kind::Text;
    lit.text = patterns[i].empty() ? "%" : patterns[i];
    shape.literals.push_back(std::move(lit));
    statement.params.push_back(static_cast<int>(i));
  }
  bool ok = Step(stmt, statement, shape, batch);
  sqlite3_finalize(stmt);
  if (!ok) batch.results.clear();
  return ok;
}

// A table given as "schema.name" without a schema, as isql's "help" passes it.
static void SplitQualified(std::string& schema, std::string& table) {
  size_t dot = table.find('.');
  if (schema.empty() && dot != std::string::npos) {
    schema = table.substr(0, dot);
    table.erase(0, dot + 1);
  }
}

// Tables are stored as "schema.name"; the catalog shows the two parts apart.
#define TSQLITE_USER_TABLES                                                                              \
  "SELECT substr(name, 1, instr(name, '.') - 1) AS schem, substr(name, instr(name, '.') + 1) AS tname, " \
  "name AS stored, type FROM sqlite_master WHERE type IN ('table', 'view') AND instr(name, '.') > 0 "

bool Database::Tables(const std::string& schema, const std::string& table, Batch& batch) {
  static const char* const kSql =
      "SELECT NULL AS TABLE_CAT, schem AS TABLE_SCHEM, tname AS TABLE_NAME, "
      "CASE type WHEN 'view' THEN 'VIEW' ELSE 'TABLE' END AS TABLE_TYPE, NULL AS REMARKS "
      "FROM (" TSQLITE_USER_TABLES ") WHERE schem LIKE ?1 AND tname LIKE ?2 ORDER BY 2, 3";
  std::string s = schema, t = table;
  SplitQualified(s, t);
  return Catalog(kSql, {s, t}, batch);
}

bool Database::Columns(const std::string& schema, const std::string& table, const std::string& column, Batch& batch) {
  // DATA_TYPE holds ODBC's numbers for SQL Server's types; TYPE_NAME is the type without its
  // width (and without the " TEXT" that gives a decimal column its affinity), as SQL Server's
  // catalog names it.
  static const char* const kSql =
      "SELECT NULL AS TABLE_CAT, t.schem AS TABLE_SCHEM, t.tname AS TABLE_NAME, p.name AS COLUMN_NAME, "
      "ts_odbc_type(p.type) AS DATA_TYPE, "
      "replace(lower(CASE WHEN instr(p.type, '(') > 0 THEN rtrim(substr(p.type, 1, instr(p.type, '(') - 1)) "
      "ELSE p.type END), ' text', '') AS TYPE_NAME, "
      "ts_column_size(p.type) AS COLUMN_SIZE, "
      "NULL AS BUFFER_LENGTH, NULL AS DECIMAL_DIGITS, NULL AS NUM_PREC_RADIX, "
      "CASE WHEN p.\"notnull\" THEN 0 ELSE 1 END AS NULLABLE, NULL AS REMARKS, p.dflt_value AS COLUMN_DEF, "
      "NULL AS SQL_DATA_TYPE, NULL AS SQL_DATETIME_SUB, NULL AS CHAR_OCTET_LENGTH, p.cid + 1 AS ORDINAL_POSITION, "
      "CASE WHEN p.\"notnull\" THEN 'NO' ELSE 'YES' END AS IS_NULLABLE "
      "FROM (" TSQLITE_USER_TABLES
      ") AS t, pragma_table_info(t.stored) AS p "
      "WHERE t.schem LIKE ?1 AND t.tname LIKE ?2 AND p.name LIKE ?3 ORDER BY 2, 3, ORDINAL_POSITION";
  std::string s = schema, t = table;
  SplitQualified(s, t);
  return Catalog(kSql, {s, t, column}, batch);
}

bool Database::PrimaryKeys(const std::string& schema, const std::string& table, Batch& batch) {
  static const char* const kSql =
      "SELECT NULL AS TABLE_CAT, t.schem AS TABLE_SCHEM, t.tname AS TABLE_NAME, p.name AS COLUMN_NAME, "
      "p.pk AS KEY_SEQ, 'PK_' || t.tname AS PK_NAME "
      "FROM (" TSQLITE_USER_TABLES
      ") AS t, pragma_table_info(t.stored) AS p "
      "WHERE p.pk > 0 AND t.schem = ?1 COLLATE NOCASE AND t.tname = ?2 COLLATE NOCASE ORDER BY 2, 3, 5";
  std::string s = schema, t = table;
  SplitQualified(s, t);
  return Catalog(kSql, {s.empty() ? "dbo" : s, t}, batch);
}

bool Database::Statistics(const std::string& schema, const std::string& table, bool unique_only, Batch& batch) {
  // Index names are stored as "S.T.name"; the catalog shows the name alone. TYPE 3 is
  // SQL_INDEX_OTHER; SQLite's automatic indexes of PRIMARY KEY and UNIQUE are listed too.
  static const char* const kSql =
      "SELECT NULL AS TABLE_CAT, t.schem AS TABLE_SCHEM, t.tname AS TABLE_NAME, "
      "CASE WHEN l.\"unique\" THEN 0 ELSE 1 END AS NON_UNIQUE, NULL AS INDEX_QUALIFIER, "
      "CASE WHEN l.origin = 'pk' THEN 'PK_' || t.tname WHEN l.origin = 'u' THEN 'UQ_' || t.tname || '_' || l.seq "
      "WHEN instr(l.name, t.stored || '.') = 1 THEN substr(l.name, length(t.stored) + 2) ELSE l.name END "
      "AS INDEX_NAME, 3 AS TYPE, i.seqno + 1 AS ORDINAL_POSITION, i.name AS COLUMN_NAME, 'A' AS ASC_OR_DESC, "
      "NULL AS CARDINALITY, NULL AS PAGES, NULL AS FILTER_CONDITION "
      "FROM (" TSQLITE_USER_TABLES
      ") AS t, pragma_index_list(t.stored) AS l, pragma_index_info(l.name) AS i "
      "WHERE t.schem = ?1 COLLATE NOCASE AND t.tname = ?2 COLLATE NOCASE AND (l.\"unique\" OR ?3 = '0') "
      "ORDER BY 4, 6, 8";
  std::string s = schema, t = table;
  SplitQualified(s, t);
  return Catalog(kSql, {s.empty() ? "dbo" : s, t, unique_only ? "1" : "0"}, batch);
}

}  // namespace tsqlite
