#include <gtest/gtest.h>

#include <string>

#include "db/db.h"

namespace {

TEST(DbFormat, PastesValuesAndDoublesQuotesInTexts) {
  const std::string schema = "ABC_1";
  const char pnr[9] = "0815";
  EXPECT_EQ(Db_Format("WHERE TagPnr = '%s'", pnr), "WHERE TagPnr = '0815'");
  EXPECT_EQ(Db_Format("VALUES ('%s')", "O'Brien"), "VALUES ('O''Brien')") << "apostrophe doubled";
  EXPECT_EQ(Db_Format("'%s'", "a'--b"), "'a''--b'") << "comment marker kept inside the literal";
  EXPECT_EQ(Db_Format("%d, %ld", 42, -7L), "42, -7");
  EXPECT_EQ(Db_Format("a %% b"), "a % b");
  EXPECT_EQ(Db_Format("FROM %s.Qxs327Tag WHERE x = '%s'", schema, "x"), "FROM ABC_1.Qxs327Tag WHERE x = 'x'");
  EXPECT_EQ(Db_Format("'%s'", ""), "''");
}

// A format whose conversions do not fit its arguments does not build; these are the checks the
// build makes.
static_assert(Fmt_Matches<const char*, int, long>("'%s' %d %ld %%"));
static_assert(Fmt_Matches<char[9], std::string, std::string_view>("%s%s%s"));
static_assert(!Fmt_Matches<>("'%s'"), "too few arguments");
static_assert(!Fmt_Matches<int>("'%s'"), "a number for a text");
static_assert(!Fmt_Matches<const char*>("%d"), "a text for a number");
static_assert(!Fmt_Matches<int, int>("%d"), "too many arguments");
static_assert(!Fmt_Matches<long>("%d"), "a long for an int");
static_assert(!Fmt_Matches<int>("%ld"), "an int for a long");
static_assert(!Fmt_Matches<double>("%f"), "a conversion the texts do not use");
static_assert(!Fmt_Matches<>("100%"), "a lone percent sign at the end");

// The untyped path behind Db_Format still refuses what does not fit, for callers that build
// their argument lists at run time.
TEST(DbFormat, MismatchedArgumentsGiveAnEmptyStatement) {
  const std::string_view x[] = {"x"};
  const long numbers[] = {1, 2};
  EXPECT_EQ(Db_FormatArgs("'%s'", {}, {}), "");
  EXPECT_EQ(Db_FormatArgs("'%s'", {}, std::span(numbers, 1)), "");
  EXPECT_EQ(Db_FormatArgs("%d", x, {}), "");
  EXPECT_EQ(Db_FormatArgs("%d", {}, numbers), "");
}

TEST(DbFormat, VariantTextLeavesTheMarkedPartsOutOfTheSecondVariant) {
  static constexpr char kMarked[] = "SET a = %ld{ },   b = 1{,   c = '%s'}  WHERE d";
  static constexpr auto kFirst = Db_Variant_Text(kMarked, DbVariant::First);
  static constexpr auto kSecond = Db_Variant_Text(kMarked, DbVariant::Second);
  EXPECT_STREQ(kFirst.text, "SET a = %ld ,   b = 1,   c = '%s'  WHERE d");
  EXPECT_STREQ(kSecond.text, "SET a = %ld,   b = 1  WHERE d");
  EXPECT_EQ(Db_Format(kFirst.text, 5L, "x"), "SET a = 5 ,   b = 1,   c = 'x'  WHERE d");
}

// A multi-row write takes one of three sizes, whatever the number of rows left.
TEST(DbChunkRows, FewFixedSizesWhateverTheRowsLeft) {
  const struct {
    std::size_t left, largest, rows;
  } cases[] = {{1, 512, 8},     {8, 512, 8},     {9, 512, 64},     {64, 512, 64}, {65, 512, 512},
               {396, 512, 512}, {513, 512, 512}, {5000, 200, 200}, {65, 50, 50},  {3, 8, 8}};
  for (const auto& c : cases) EXPECT_EQ(Db_Chunk_Rows(c.left, c.largest), c.rows) << c.left << " of " << c.largest;
}

}  // namespace
