#include <gtest/gtest.h>

#include "db/db.h"

namespace {

struct FormatCase {
  const char* name;
  const char* fmt;
  std::initializer_list<SqlArg> args;
  const char* expected;
};

TEST(DbFormat, PastesValuesAndDoublesQuotesInTexts) {
  const FormatCase cases[] = {
      {"plain text", "WHERE TagPnr = '%s'", {"0815"}, "WHERE TagPnr = '0815'"},
      {"apostrophe doubled", "VALUES ('%s')", {"O'Brien"}, "VALUES ('O''Brien')"},
      {"comment marker kept inside the literal", "'%s'", {"a'--b"}, "'a''--b'"},
      {"integers", "%d, %ld", {42, -7L}, "42, -7"},
      {"modulo sign", "a %% b", {}, "a % b"},
      {"schema and value", "FROM %s.Qxs327Tag WHERE x = '%s'", {"ABC_1", "x"}, "FROM ABC_1.Qxs327Tag WHERE x = 'x'"},
      {"empty text", "'%s'", {""}, "''"},
  };
  for (const auto& c : cases) EXPECT_EQ(Db_Format(c.fmt, c.args), c.expected) << c.name;
}

TEST(DbFormat, MismatchedArgumentsGiveAnEmptyStatement) {
  EXPECT_EQ(Db_Format("'%s'", {}), "");
  EXPECT_EQ(Db_Format("'%s'", {1}), "");
  EXPECT_EQ(Db_Format("%d", {"x"}), "");
  EXPECT_EQ(Db_Format("%d", {1, 2}), "");
}

}  // namespace
