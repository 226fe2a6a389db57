#include <gtest/gtest.h>

#include <string>

#include "common/schema.h"
#include "common/text.h"

namespace {

TEST(Schema, FormedFromTheSettingAndCheckedAsARegularIdentifier) {
  struct Case {
    std::string setting, schema;
    bool valid;
  } cases[] = {
      {"abc_1x", "ABC_1", true},
      {"_abc$#@9x", "_ABC$#@9", true},  // '_' first, then the other signs
      {"x", "", false},                 // one character leaves nothing
      {"", "", false},                  // key missing
      {"abcdefghij0123456789x", "ABCDEFGHIJ0123456789", true},
      {"abcdefghij0123456789Xx", "ABCDEFGHIJ0123456789X", false},  // 21 characters
      // No T-SQL regular identifier: every statement would fail with it.
      {"m\xC3\xBCller_", "M\xC3\xBCLLER", false},  // bytes above 127
      {"$#@_9x", "$#@_9", false},
      {"1cx", "1C", false},
      {"@c1x", "@C1", false},
      {"#c1x", "#C1", false},
      {"selectx", "SELECT", false},  // reserved words in any case
      {"Userx", "USER", false},
      {"selectedx", "SELECTED", true},
      {"abc.dbox", "ABC.DBO", false},
      {"a b_", "A B", false},
      {"abc;--x", "ABC;--", false},
      {"ab'cx", "AB'C", false},
  };
  for (const auto& c : cases) {
    std::string schema = Schema_Form(c.setting);
    EXPECT_EQ(schema, c.schema) << c.setting;
    EXPECT_EQ(Schema_Valid(schema), c.valid) << c.setting;
  }
}

TEST(Schema, SettingFormsTheSchemaBack) {
  for (const char* schema : {"ABC_1", "abc_1", "X"}) {
    std::string upper = schema;
    for (char& c : upper) c = Str_UpperChar(c);
    EXPECT_EQ(Schema_Form(Schema_Setting(schema)), upper);
  }
}

}  // namespace
