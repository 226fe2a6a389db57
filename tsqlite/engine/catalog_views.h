#pragma once
// The catalog views SQL Server's clients and scripts read (INFORMATION_SCHEMA.TABLES, sys.objects,
// ...), each a SQLite query of the database's own schema that a FROM clause reads in their place.
#include <string_view>

namespace tsqlite {

// The SQLite query that stands for schema.name (names compared without regard to case), nullptr
// when it names no catalog view.
const char* CatalogViewSql(std::string_view schema, std::string_view name);

}  // namespace tsqlite
