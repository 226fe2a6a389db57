#pragma once
// planex-db dump: a company (the system schema and one client schema) as a T-SQL script that
// recreates it in an empty database, for sqlcmd and planex-db sql alike.
#include <cstdio>
#include <string>
#include <vector>

#include "session.h"

namespace pxdb {

// The schema script's statements for client schema `schema`, each made to run only where its
// object is missing: CREATE SCHEMA behind SCHEMA_ID, a CREATE TABLE with the indexes that follow
// it behind OBJECT_ID. One batch each; false with *message when a statement is none of these.
bool CreateWhereMissing(const std::string& script, const std::string& schema, std::vector<std::string>* batches,
                        std::string* message);

// A value read as text as a T-SQL literal of its column's type: N'...' with quotes doubled (a
// control character or "$(" written so that no line of the script reads as GO and no sqlcmd
// variable appears), CONVERT(datetime, '...', 126), a decimal with its scale, a number as it is.
std::string Literal(const ColumnInfo& column, const std::optional<std::string>& value);

// Writes the script to out; source_name says in its first lines where it came from. Returns the
// exit status (1 with the reason on standard error).
int DumpCompany(Session& source, const std::string& schema, const std::string& schema_sql,
                const std::string& source_name, std::FILE* out);

}  // namespace pxdb
