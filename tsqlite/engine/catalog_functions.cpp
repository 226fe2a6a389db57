// OBJECT_ID, OBJECTPROPERTY, SCHEMA_ID, SCHEMA_NAME, DB_ID and COL_LENGTH: the catalog read from
// SQLite's schema at every call. A name that does not parse, or names nothing, gives NULL, as SQL
// Server's metadata functions return NULL on error.
#include "catalog_functions.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "sql_type.h"

namespace tsqlite {

namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string TextArg(sqlite3_value* v) {
  const unsigned char* t = sqlite3_value_text(v);
  return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_value_bytes(v))) : "";
}

// '[db.][schema.]object' as OBJECT_ID reads it: parts split at dots outside [brackets] and
// "quotes" (a doubled closing character stands for itself). False for text that is no name.
bool SplitName(std::string_view text, std::vector<std::string>& parts) {
  parts.assign(1, "");
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.') {
      parts.emplace_back();
    } else if ((c == '[' || c == '"') && parts.back().empty()) {
      const char close = c == '[' ? ']' : '"';
      for (++i;; ++i) {
        if (i >= text.size()) return false;
        if (text[i] == close) {
          if (i + 1 < text.size() && text[i + 1] == close) {
            parts.back().push_back(close);
            ++i;
            continue;
          }
          break;
        }
        parts.back().push_back(text[i]);
      }
      if (i + 1 < text.size() && text[i + 1] != '.') return false;
    } else {
      parts.back().push_back(c);
    }
  }
  return parts.size() <= 4 && !parts.back().empty();
}

// Where a named object lives: SQLite's schema ("main", or "temp" for a #table) and its stored
// name ("S.T"); false when the name does not parse or names another database.
bool Locate(sqlite3_context* ctx, sqlite3_value* name, std::string& where, std::string& stored) {
  if (sqlite3_value_type(name) == SQLITE_NULL) return false;
  std::vector<std::string> parts;
  if (!SplitName(TextArg(name), parts)) return false;
  const std::string& object = parts.back();
  const bool temporary = object[0] == '#';
  if (parts.size() >= 3) {
    const std::string& database = parts[parts.size() - 3];
    const auto* own = static_cast<const std::string*>(sqlite3_user_data(ctx));
    const bool ours = temporary ? SameNoCase(database, "tempdb") : own != nullptr && SameNoCase(database, *own);
    if (!database.empty() && !ours) return false;
  }
  const std::string schema = parts.size() >= 2 && !parts[parts.size() - 2].empty() ? parts[parts.size() - 2] : "dbo";
  where = temporary ? "temp" : "main";
  stored = schema + "." + object;
  return true;
}

// The first column of the first row of sql (parameters bound as texts), NULL when none.
bool QueryText(sqlite3_context* ctx, const char* sql, const std::vector<std::string>& args, std::string& out,
               bool& found) {
  found = false;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(sqlite3_context_db_handle(ctx), sql, -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return false;
  }
  for (size_t i = 0; i < args.size(); ++i) {
    sqlite3_bind_text(stmt, static_cast<int>(i + 1), args[i].data(), static_cast<int>(args[i].size()), SQLITE_STATIC);
  }
  const int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) {
    found = true;
    const unsigned char* t = sqlite3_column_text(stmt, 0);
    out = t ? reinterpret_cast<const char*>(t) : "";
  }
  sqlite3_finalize(stmt);
  return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

// SQLite's type of a table or view ("table", "view"); "" when there is none by that name.
std::string ObjectType(sqlite3_context* ctx, const std::string& where, const std::string& stored) {
  const std::string sql =
      "SELECT type FROM " + where + ".sqlite_master WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE";
  std::string type;
  bool found = false;
  if (!QueryText(ctx, sql.c_str(), {stored}, type, found) || !found) return "";
  return type;
}

// The schemas every database has, with SQL Server's numbers; the others follow from 5 in the
// order they were made.
struct FixedSchema {
  const char* name;
  int id;
};
constexpr FixedSchema kFixedSchemas[] = {{"dbo", 1}, {"guest", 2}, {"INFORMATION_SCHEMA", 3}, {"sys", 4}};
constexpr int kFirstUserSchema = 5;

// The declared length in bytes of a column's type; -1 for a type of unlimited width, 0 unknown.
// varchar(max) and its kind are held without a width, as the column descriptions read them.
int ColumnBytes(const std::string& decl) {
  const SqlType t = ParseSqlType(decl);
  using K = SqlType::Kind;
  const bool max = t.max || t.length < 0;
  switch (t.kind) {
    case K::Char:
    case K::VarChar:
    case K::Binary:
    case K::VarBinary:
      return max ? -1 : t.length;
    case K::NChar:
    case K::NVarChar:
      return max ? -1 : 2 * t.length;
    case K::Text:
    case K::NText:
    case K::Image:
    case K::UniqueIdentifier:
      return 16;
    case K::BigInt:
    case K::Float:
    case K::Datetime:
    case K::Money:
      return 8;
    case K::Int:
    case K::Real:
    case K::SmallDatetime:
    case K::SmallMoney:
      return 4;
    case K::SmallInt:
      return 2;
    case K::TinyInt:
    case K::Bit:
      return 1;
    case K::Date:
      return 3;
    case K::Decimal:
    case K::Numeric:
      return t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17;
    case K::Datetime2:
      return t.scale < 3 ? 6 : t.scale < 5 ? 7 : 8;
    case K::Time:
      return t.scale < 3 ? 3 : t.scale < 5 ? 4 : 5;
    case K::DatetimeOffset:
      return t.scale < 3 ? 8 : t.scale < 5 ? 9 : 10;
    case K::Unknown:
      break;
  }
  return 0;
}

}  // namespace

int64_t ObjectKey(std::string_view stored) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (char c : stored) {
    h ^= static_cast<unsigned char>(Lower(c));
    h *= 16777619u;
  }
  const int64_t key = h & 0x7FFFFFFF;
  return key < 1000 ? key + 1000 : key;
}

// ts_object_id(name [, type]): U a table, V a view; any other type names nothing here.
void FnObjectId(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  std::string where, stored;
  if (!Locate(ctx, argv[0], where, stored)) return sqlite3_result_null(ctx);
  const std::string type = ObjectType(ctx, where, stored);
  if (type.empty()) return sqlite3_result_null(ctx);
  if (argc > 1 && sqlite3_value_type(argv[1]) != SQLITE_NULL) {
    std::string wanted = TextArg(argv[1]);
    while (!wanted.empty() && wanted.back() == ' ') wanted.pop_back();
    const bool matches = (SameNoCase(wanted, "U") && type == "table") || (SameNoCase(wanted, "V") && type == "view");
    if (!matches) return sqlite3_result_null(ctx);
  }
  sqlite3_result_int64(ctx, ObjectKey(stored));
}

// ts_objectproperty(id, property): IsUserTable, IsTable, IsView of the table or view with that
// number; NULL for an unknown number or property.
void FnObjectProperty(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const int64_t id = sqlite3_value_int64(argv[0]);
  const std::string property = TextArg(argv[1]);
  sqlite3_stmt* stmt = nullptr;
  const char* sql =
      "SELECT name, type FROM main.sqlite_master WHERE type IN ('table', 'view') AND instr(name, '.') > 0 "
      "UNION ALL SELECT name, type FROM temp.sqlite_master WHERE type = 'table' AND instr(name, '.') > 0";
  if (sqlite3_prepare_v2(sqlite3_context_db_handle(ctx), sql, -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return sqlite3_result_null(ctx);
  }
  std::string type;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const unsigned char* name = sqlite3_column_text(stmt, 0);
    if (name != nullptr && ObjectKey(reinterpret_cast<const char*>(name)) == id) {
      type = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
      break;
    }
  }
  sqlite3_finalize(stmt);
  if (type.empty()) return sqlite3_result_null(ctx);
  if (SameNoCase(property, "IsUserTable") || SameNoCase(property, "IsTable")) {
    return sqlite3_result_int(ctx, type == "table");
  }
  if (SameNoCase(property, "IsView")) return sqlite3_result_int(ctx, type == "view");
  sqlite3_result_null(ctx);
}

// ts_schema_id([name]): without a name the caller's default schema, dbo.
void FnSchemaId(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (argc == 0) return sqlite3_result_int(ctx, 1);
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const std::string name = TextArg(argv[0]);
  for (const FixedSchema& s : kFixedSchemas) {
    if (SameNoCase(name, s.name)) return sqlite3_result_int(ctx, s.id);
  }
  std::string rank;
  bool found = false;
  if (!QueryText(ctx,
                 "SELECT count(*) FROM main.tsqlite_schemas AS o, main.tsqlite_schemas AS s WHERE s.name = ?1 AND "
                 "o.name <> 'dbo' AND o.rowid < s.rowid",
                 {name}, rank, found) ||
      !found) {
    return sqlite3_result_null(ctx);
  }
  bool exists = false;
  std::string ignored;
  QueryText(ctx, "SELECT 1 FROM main.tsqlite_schemas WHERE name = ?1", {name}, ignored, exists);
  if (!exists) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, kFirstUserSchema + std::atoll(rank.c_str()));
}

// ts_schema_name([id]): the name SCHEMA_ID gives that number.
void FnSchemaName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (argc == 0) return sqlite3_result_text(ctx, "dbo", -1, SQLITE_STATIC);
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const int64_t id = sqlite3_value_int64(argv[0]);
  for (const FixedSchema& s : kFixedSchemas) {
    if (id == s.id) return sqlite3_result_text(ctx, s.name, -1, SQLITE_STATIC);
  }
  if (id < kFirstUserSchema) return sqlite3_result_null(ctx);
  std::string name;
  bool found = false;
  if (!QueryText(ctx, "SELECT name FROM main.tsqlite_schemas WHERE name <> 'dbo' ORDER BY rowid LIMIT 1 OFFSET ?1",
                 {std::to_string(id - kFirstUserSchema)}, name, found) ||
      !found) {
    return sqlite3_result_null(ctx);
  }
  sqlite3_result_text(ctx, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
}

// ts_db_id([name]): the system databases' numbers, and 5 for this one, the first number SQL Server
// gives a database of its users.
void FnDbId(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  constexpr int kThisDatabase = 5;
  if (argc == 0) return sqlite3_result_int(ctx, kThisDatabase);
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const std::string name = TextArg(argv[0]);
  static constexpr const char* kSystem[] = {"master", "tempdb", "model", "msdb"};
  for (int i = 0; i < 4; ++i) {
    if (SameNoCase(name, kSystem[i])) return sqlite3_result_int(ctx, i + 1);
  }
  const auto* own = static_cast<const std::string*>(sqlite3_user_data(ctx));
  if (own != nullptr && SameNoCase(name, *own)) return sqlite3_result_int(ctx, kThisDatabase);
  sqlite3_result_null(ctx);
}

// ts_col_length(table, column): the column's declared length in bytes; -1 for (max).
void FnColLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::string where, stored;
  if (!Locate(ctx, argv[0], where, stored) || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    return sqlite3_result_null(ctx);
  }
  if (ObjectType(ctx, where, stored).empty()) return sqlite3_result_null(ctx);
  std::string decl;
  bool found = false;
  if (!QueryText(ctx, "SELECT type FROM pragma_table_info(?1, ?2) WHERE name = ?3 COLLATE NOCASE",
                 {stored, where, TextArg(argv[1])}, decl, found) ||
      !found) {
    return sqlite3_result_null(ctx);
  }
  const int bytes = ColumnBytes(decl);
  if (bytes == 0) return sqlite3_result_null(ctx);
  sqlite3_result_int(ctx, bytes);
}

// ts_object_key(stored): the number of the table or view stored so, as OBJECT_ID gives it.
void FnObjectKey(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, ObjectKey(TextArg(argv[0])));
}

// ts_type_name(decl): a column's type as SQL Server names it (varchar, decimal, datetime2).
void FnTypeName(sqlite3_context* ctx, int, sqlite3_value** argv) {
  using K = SqlType::Kind;
  static constexpr struct {
    K kind;
    const char* name;
  } kNames[] = {
      {K::Bit, "bit"},
      {K::TinyInt, "tinyint"},
      {K::SmallInt, "smallint"},
      {K::Int, "int"},
      {K::BigInt, "bigint"},
      {K::Decimal, "decimal"},
      {K::Numeric, "numeric"},
      {K::Money, "money"},
      {K::SmallMoney, "smallmoney"},
      {K::Float, "float"},
      {K::Real, "real"},
      {K::Char, "char"},
      {K::VarChar, "varchar"},
      {K::Text, "text"},
      {K::NChar, "nchar"},
      {K::NVarChar, "nvarchar"},
      {K::NText, "ntext"},
      {K::Binary, "binary"},
      {K::VarBinary, "varbinary"},
      {K::Image, "image"},
      {K::Date, "date"},
      {K::Time, "time"},
      {K::Datetime, "datetime"},
      {K::Datetime2, "datetime2"},
      {K::SmallDatetime, "smalldatetime"},
      {K::DatetimeOffset, "datetimeoffset"},
      {K::UniqueIdentifier, "uniqueidentifier"},
  };
  const std::string decl = TextArg(argv[0]);
  const SqlType t = ParseSqlType(decl);  // an IDENTITY column's INTEGER is an int
  for (const auto& n : kNames) {
    if (n.kind == t.kind) return sqlite3_result_text(ctx, n.name, -1, SQLITE_STATIC);
  }
  sqlite3_result_null(ctx);
}

// ts_type_chars(decl): the characters a text column holds, -1 for (max); NULL for other types.
void FnTypeChars(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const SqlType t = ParseSqlType(TextArg(argv[0]));
  if (!t.IsText() && t.kind != SqlType::Kind::Binary && t.kind != SqlType::Kind::VarBinary) {
    return sqlite3_result_null(ctx);
  }
  const int bytes = ColumnBytes(TextArg(argv[0]));
  sqlite3_result_int(ctx, bytes < 0 || !t.National() ? bytes : bytes / 2);
}

// ts_type_bytes(decl, text_only): the declared length in bytes (sys.columns' max_length); with
// text_only, NULL for a type that is no text or binary (CHARACTER_OCTET_LENGTH).
void FnTypeBytes(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const std::string decl = TextArg(argv[0]);
  const SqlType t = ParseSqlType(decl);
  const bool text = t.IsText() || t.kind == SqlType::Kind::Binary || t.kind == SqlType::Kind::VarBinary;
  if (sqlite3_value_int(argv[1]) != 0 && !text) return sqlite3_result_null(ctx);
  const int bytes = ColumnBytes(decl);
  if (bytes == 0) return sqlite3_result_null(ctx);
  sqlite3_result_int(ctx, bytes);
}

// ts_type_identity(decl): 1 for an IDENTITY column (SQLite's row number, declared INTEGER), else 0.
void FnTypeIdentity(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_result_int(ctx, ParseSqlType(TextArg(argv[0])).row_number ? 1 : 0);
}

// ts_odbc_type(decl): the ODBC type number of a column's type (SQLColumns' DATA_TYPE); varchar's
// for a type not known here.
void FnOdbcType(sqlite3_context* ctx, int, sqlite3_value** argv) {
  using K = SqlType::Kind;
  static constexpr struct {
    K kind;
    int odbc;
  } kNumbers[] = {
      {K::Bit, -7},
      {K::TinyInt, -6},
      {K::SmallInt, 5},
      {K::Int, 4},
      {K::BigInt, -5},
      {K::Decimal, 3},
      {K::Numeric, 2},
      {K::Money, 3},
      {K::SmallMoney, 3},
      {K::Float, 8},
      {K::Real, 7},
      {K::Char, 1},
      {K::Text, -1},
      {K::NChar, -8},
      {K::NVarChar, -9},
      {K::NText, -10},
      {K::Binary, -2},
      {K::VarBinary, -3},
      {K::Image, -4},
      {K::Date, 91},
      {K::Time, -154},
      {K::Datetime, 93},
      {K::Datetime2, 93},
      {K::SmallDatetime, 93},
      {K::DatetimeOffset, 93},
      {K::UniqueIdentifier, -11},
  };
  const SqlType t = ParseSqlType(TextArg(argv[0]));
  for (const auto& n : kNumbers) {
    if (n.kind == t.kind) return sqlite3_result_int(ctx, n.odbc);
  }
  sqlite3_result_int(ctx, 12);
}

// ts_column_size(decl): SQLColumns' COLUMN_SIZE: the declared width or precision, the
// characters of a date and time type's text form; NULL where neither says one.
void FnColumnSize(sqlite3_context* ctx, int, sqlite3_value** argv) {
  using K = SqlType::Kind;
  const SqlType t = ParseSqlType(TextArg(argv[0]));
  const int fraction = t.scale > 0 ? t.scale + 1 : 0;
  int size = 0;
  switch (t.kind) {
    case K::Time:
      size = 8 + fraction;
      break;
    case K::Datetime2:
      size = 19 + fraction;
      break;
    case K::SmallDatetime:
      size = 16;
      break;
    case K::Date:
      size = 10;
      break;
    case K::Datetime:
    case K::DatetimeOffset:
      size = 23;
      break;
    case K::SmallInt:
      size = 5;
      break;
    case K::Int:
    case K::SmallMoney:
      size = 10;
      break;
    case K::Money:
      size = 19;
      break;
    case K::Decimal:
    case K::Numeric:
      size = t.length >= 0 ? t.length : 18;
      break;
    default:
      size = !t.TakesLength() ? -1 : t.max ? 0 : t.length;
      break;
  }
  if (size < 0) return sqlite3_result_null(ctx);
  sqlite3_result_int(ctx, size);
}

}  // namespace tsqlite
