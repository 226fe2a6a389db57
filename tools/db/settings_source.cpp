#include "settings_source.h"

namespace pxdb {

bool ReadSettings(const std::string& path, SettingsValues* values, std::string* why) {
  (void)path;
  *values = SettingsValues();
  *why = "--settings is not available yet in this build; use --dsn with --user and --password-stdin";
  return false;
}

}  // namespace pxdb
