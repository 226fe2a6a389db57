#pragma once
// Installing the schema script: the system schema QXSYSTEM where the database has none yet, and
// a client schema. init and copy (into a new database) share it.
#include <string>

#include "session.h"

namespace pxdb {

// Whether the table answers SELECT COUNT(*), i.e. exists for this connection.
bool TableExists(Session& session, const std::string& table);

// Runs the schema script at script_path with $(CLIENT) = schema. The batches of the system schema
// are skipped when QXSYSTEM already holds the base calendar (*system_there). On failure,
// *message names the script's line and the server's error.
bool InstallSchema(Session& session, const std::string& script_path, const std::string& schema, bool* system_there,
                   int* statements, std::string* message);

}  // namespace pxdb
