#include "settings_source.h"

#include <cstdio>

#include "common/schema.h"
#include "settings/settings.h"

namespace pxdb {

bool ReadSettings(const std::string& path, SettingsValues* values, std::string* why) {
  *values = SettingsValues();
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (!f) {
    *why = "cannot read the settings file " + path;
    return false;
  }
  std::fclose(f);
  // Asked as planex asks: empty section, the key, number 0.
  auto read = [&](const char* key, std::string* out) {
    CfgSatz record;
    Cfg_Value_Read("", key, 0, path.c_str(), &record);
    *out = record.value;
    if (out->empty()) *why = "the settings file " + path + " holds no " + key;
    return !out->empty();
  };
  std::string schema_setting;
  if (!read("LOGIN", &values->login) || !read("PASS", &values->password) || !read("NET8", &values->dsn) ||
      !read("SCHEMA", &schema_setting)) {
    return false;
  }
  values->schema = Schema_Form(schema_setting);
  return true;
}

}  // namespace pxdb
