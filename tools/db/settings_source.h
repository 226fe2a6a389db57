#pragma once
// Connection values from a planex settings file, read with planex's own settings reader, so that
// planex-db connects exactly as planex would.
#include <string>

namespace pxdb {

struct SettingsValues {
  std::string login, password, dsn;
  std::string schema;  // as planex forms it: the value less its last character, upper-cased
};

// False, with the reason in *why, when the file cannot be read or a value is missing.
bool ReadSettings(const std::string& path, SettingsValues* values, std::string* why);

}  // namespace pxdb
