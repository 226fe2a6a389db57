#include "settings_source.h"

#include <utility>

#include "common/schema.h"
#include "settings/settings.h"

namespace pxdb {

bool ReadSettings(const std::string& path, SettingsValues* values, std::string* why) {
  *values = SettingsValues();
  // Read as planex reads it, in one pass.
  CfgSettings settings = Cfg_Settings_Read(path);
  if (!settings.Readable()) {
    *why = "cannot read the settings file " + path;
    return false;
  }
  const std::pair<const char*, const std::string*> keys[] = {
      {"LOGIN", &settings.login}, {"PASS", &settings.password}, {"NET8", &settings.dsn}, {"SCHEMA", &settings.schema}};
  for (const auto& [key, value] : keys) {
    if (value->empty()) {
      *why = "the settings file " + path + " holds no " + key;
      return false;
    }
  }
  values->login = std::move(settings.login);
  values->password = std::move(settings.password);
  values->dsn = std::move(settings.dsn);
  values->schema = Schema_Form(settings.schema);
  return true;
}

}  // namespace pxdb
