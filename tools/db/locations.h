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

// The folder of the running binary (/proc/self/exe), empty when it cannot be read.
std::string ExecutableDir();

}  // namespace pxdb
