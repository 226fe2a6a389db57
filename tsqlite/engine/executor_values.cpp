// Values between SQLite statements and results: a column of the current row read into a
// value, a value bound to a parameter, and what a result column says of NULLs.
#include <sqlite3.h>

#include <cstring>
#include <string>

#include "executor.h"
#include "executor_internal.h"

namespace tsqlite {

// Whether result column c is a table's column that refuses NULL (read from the table's
// definition); unknown for an expression.
Column::Nulls ColumnNulls(sqlite3_stmt* stmt, int c) {
  const char* table = sqlite3_column_table_name(stmt, c);
  const char* origin = sqlite3_column_origin_name(stmt, c);
  const char* database = sqlite3_column_database_name(stmt, c);
  if (table == nullptr || origin == nullptr) return Column::Nulls::Unknown;
  int not_null = 0, primary_key = 0;
  if (sqlite3_table_column_metadata(sqlite3_db_handle(stmt), database, table, origin, nullptr, nullptr, &not_null,
                                    &primary_key, nullptr) != SQLITE_OK) {
    return Column::Nulls::Unknown;
  }
  return not_null || primary_key ? Column::Nulls::Refused : Column::Nulls::Allowed;
}

void ReadValue(sqlite3_stmt* stmt, int c, Value& v) {
  switch (sqlite3_column_type(stmt, c)) {
    case SQLITE_INTEGER:
      v.type = Value::Type::Integer;
      v.integer = sqlite3_column_int64(stmt, c);
      break;
    case SQLITE_FLOAT:
      v.type = Value::Type::Real;
      v.real = sqlite3_column_double(stmt, c);
      break;
    case SQLITE_NULL:
      break;
    case SQLITE_BLOB: {
      const void* bytes = sqlite3_column_blob(stmt, c);
      v.type = Value::Type::Blob;
      v.text.assign(bytes ? static_cast<const char*>(bytes) : "", static_cast<size_t>(sqlite3_column_bytes(stmt, c)));
      break;
    }
    default: {
      const unsigned char* text = sqlite3_column_text(stmt, c);
      v.type = Value::Type::Text;
      v.text.assign(reinterpret_cast<const char*>(text ? text : reinterpret_cast<const unsigned char*>("")),
                    static_cast<size_t>(sqlite3_column_bytes(stmt, c)));
      break;
    }
  }
}

// A text bound with its length is not NUL-terminated for SQLite, and every function that then
// reads it (length() in a column's width CHECK) copies it to add the NUL: two copies of every
// value of a long INSERT. A whole text without a NUL of its own is bound as NUL-terminated.
void BindText(sqlite3_stmt* stmt, int k, const std::string& text, size_t length, sqlite3_destructor_type keep) {
  const bool terminated = length == text.size() && std::memchr(text.data(), 0, length) == nullptr;
  sqlite3_bind_text(stmt, k, text.data(), terminated ? -1 : static_cast<int>(length), keep);
}

void BindValue(sqlite3_stmt* stmt, int k, const Value& v) {
  switch (v.type) {
    case Value::Type::Integer:
      sqlite3_bind_int64(stmt, k, v.integer);
      break;
    case Value::Type::Real:
      sqlite3_bind_double(stmt, k, v.real);
      break;
    case Value::Type::Text:
      BindText(stmt, k, v.text, v.text.size(), SQLITE_STATIC);
      break;
    case Value::Type::Null:
      sqlite3_bind_null(stmt, k);
      break;
    case Value::Type::Blob:
      sqlite3_bind_blob(stmt, k, v.text.data(), static_cast<int>(v.text.size()), SQLITE_STATIC);
      break;
  }
}

}  // namespace tsqlite
