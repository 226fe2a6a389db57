#pragma once
// Where planex-db finds the schema script and the embedded driver: beside the sources and in the
// build folder when it runs from its build folder, else in the installed tree relative to its own
// binary (bin/../share/planex/schema.sql, bin/../lib/<multiarch>/odbc/libtsqlite.so), so that an
// installed planex-db works under any prefix without options.
#include <string>

namespace pxdb {

struct Locations {
  std::string schema_sql;
  std::string tsqlite_lib;
};

// exe_dir: the folder of the running binary. The build-tree paths apply when it is build_dir.
Locations FindLocations(const std::string& exe_dir, const std::string& build_dir);

// The connection string of an embedded database file through the driver at lib. The path goes
// in braces ('}' doubled), so that a ';' in it cannot add a key of its own, such as another
// DRIVER. date_first 0 leaves the weekday numbering to what the file records. create lets the driver make a missing
// file, with collation when not empty (a name of letters, digits and '_' only, checked by the caller).
std::string EmbeddedConnectionString(const std::string& lib, const std::string& file, int date_first, bool create,
                                     const std::string& collation);

// The folder of the running binary (/proc/self/exe), empty when it cannot be read.
std::string ExecutableDir();

}  // namespace pxdb
