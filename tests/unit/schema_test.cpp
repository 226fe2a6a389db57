#include <gtest/gtest.h>

#include <string>

#include "common/schema.h"

namespace {

TEST(Schema, SchemaIsFormedFromTheSetting) {
  struct Case {
    std::string setting, schema;
    bool valid;
  } cases[] = {
      {"abc_1x", "ABC_1", true},
      {"m\xC3\xBCller_", "M\xC3\xBCLLER", true},      // bytes above 127 are kept
      {"x", "", false},                               // one character leaves nothing
      {"", "", false},                                // key missing
      {"abcdefghij0123456789x", "ABCDEFGHIJ0123456789", true},
      {"abcdefghij0123456789Xx", "ABCDEFGHIJ0123456789X", false},  // 21 characters
      {"$#@_9x", "$#@_9", true},
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

}  // namespace
