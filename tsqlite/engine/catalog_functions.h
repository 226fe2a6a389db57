#pragma once
// The metadata functions of T-SQL that read the catalog: OBJECT_ID, OBJECTPROPERTY, SCHEMA_ID,
// SCHEMA_NAME, DB_ID and COL_LENGTH, as SQLite functions of ours (ts_*). They read SQLite's schema
// on the connection that calls them, so a script's IF OBJECT_ID(...) IS NULL sees the tables its
// earlier statements made.
#include <sqlite3.h>

#include <cstdint>
#include <string_view>

namespace tsqlite {

// An object's number: the same for the same stored name ("S.T", compared without regard to case)
// in every connection and after every restart, positive and at least 1000 (below are SQL Server's
// system objects).
int64_t ObjectKey(std::string_view stored);

void FnObjectId(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnObjectProperty(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnSchemaId(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnSchemaName(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnDbId(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnColLength(sqlite3_context* ctx, int argc, sqlite3_value** argv);
// For the catalog views: an object's number by its stored name, and a declared type's facts.
void FnObjectKey(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnTypeName(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnTypeChars(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnTypeBytes(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnTypeIdentity(sqlite3_context* ctx, int argc, sqlite3_value** argv);
// For SQLColumns: a declared type's ODBC number and column size.
void FnOdbcType(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void FnColumnSize(sqlite3_context* ctx, int argc, sqlite3_value** argv);

}  // namespace tsqlite
