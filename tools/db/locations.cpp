#include "locations.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

namespace pxdb {

namespace {

// The canonical form of a path, or the text itself when it does not resolve.
std::string Canonical(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) ? std::string(buf) : path;
}

}  // namespace

Locations FindLocations(const std::string& exe_dir, const std::string& build_dir) {
  if (!exe_dir.empty() && Canonical(exe_dir) == Canonical(build_dir)) {
    return {PLANEX_SOURCE_SCHEMA_SQL, build_dir + "/libtsqlite.so"};
  }
  return {Canonical(exe_dir + "/" PLANEX_INSTALLED_SCHEMA_SQL), Canonical(exe_dir + "/" PLANEX_INSTALLED_TSQLITE_LIB)};
}

std::string EmbeddedConnectionString(const std::string& lib, const std::string& file, int date_first, bool create,
                                     const std::string& collation) {
  std::string quoted = "{";
  for (char c : file) quoted += c == '}' ? std::string("}}") : std::string(1, c);
  quoted += "}";
  return "DRIVER=" + lib + ";Database=" + quoted + (date_first ? ";DateFirst=" + std::to_string(date_first) : "") +
         (create ? ";Create=Yes" : "") + (collation.empty() ? "" : ";Collation=" + collation);
}

std::string ExecutableDir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "";
  std::string exe(buf, static_cast<size_t>(n));
  size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "" : exe.substr(0, slash);
}

}  // namespace pxdb
