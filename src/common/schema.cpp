#include "common/schema.h"

#include "common/text.h"

bool Schema_Valid(std::string_view schema) {
  if (schema.empty() || schema.size() > kSchemaMax) return false;
  for (char ch : schema) {
    unsigned char c = static_cast<unsigned char>(ch);
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
              c == '#' || c == '@' || c > 127;
    if (!ok) return false;
  }
  return true;
}

std::string Schema_Form(std::string_view setting) {
  std::string schema(setting.substr(0, setting.empty() ? 0 : setting.size() - 1));
  return Str_Upper(schema);
}
