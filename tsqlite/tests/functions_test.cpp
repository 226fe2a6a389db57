// The SQLite functions behind translated T-SQL, called directly in SQLite's own SQL.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "datetime.h"
#include "function_table.h"
#include "translate.h"

namespace tsqlite {
namespace {

class Functions : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    FunctionState state;
    state.date_first = &date_first_;
    state.statement_cache = &statement_cache_;
    ASSERT_EQ(RegisterFunctions(db_, state), SQLITE_OK);
  }
  void TearDown() override { sqlite3_close(db_); }

 public:
  // The value of a one-value query as text ("NULL" for NULL), or "error: <message>".
  std::string Eval(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, ("SELECT " + sql).c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      return std::string("error: ") + sqlite3_errmsg(db_);
    }
    std::string out;
    if (sqlite3_step(stmt) == SQLITE_ROW) {
      const unsigned char* v = sqlite3_column_text(stmt, 0);
      out = v ? reinterpret_cast<const char*>(v) : "NULL";
    } else {
      out = std::string("error: ") + sqlite3_errmsg(db_);
    }
    sqlite3_finalize(stmt);
    return out;
  }

 protected:
  sqlite3* db_ = nullptr;
  int date_first_ = 7;
  StatementCache statement_cache_;
};

struct Case {
  const char* sql;
  const char* value;
};

void ExpectAll(Functions* f, std::initializer_list<Case> cases, std::string (Functions::*eval)(const std::string&)) {
  for (const Case& c : cases) EXPECT_EQ((f->*eval)(c.sql), c.value) << c.sql;
}

#define EXPECT_CASES(...) ExpectAll(this, {__VA_ARGS__}, &Functions::Eval)

TEST_F(Functions, DatetimeToIntRoundsToTheNearestDay) {
  EXPECT_CASES({"ts_to_int('1900-01-01 00:00:00.000')", "0"}, {"ts_to_int('1900-01-01 11:59:59.997')", "0"},
               {"ts_to_int('1900-01-01 12:00:00.000')", "1"}, {"ts_to_int('1899-12-31 12:00:00.000')", "0"},
               {"ts_to_int('1899-12-31 11:59:00.000')", "-1"}, {"ts_to_int('2024-02-29 00:00:00.000')", "45349"},
               {"ts_to_int(2.9)", "2"}, {"ts_to_int(-2.9)", "-2"}, {"ts_to_int(' 17 ')", "17"},
               {"ts_to_int(NULL)", "NULL"},
               {"ts_to_int('1.5')",
                "error: tsqlite:245:Conversion failed when converting the varchar value '1.5' to data type int."});
}

TEST_F(Functions, TextToDatetimeByStyle) {
  EXPECT_CASES({"ts_to_datetime('20240229', 112)", "2024-02-29 00:00:00.000"},
               {"ts_to_datetime('2024-02-29 13:14:15', 120)", "2024-02-29 13:14:15.000"},
               {"ts_to_datetime('2024-02-29 13:14:15.5', 121)", "2024-02-29 13:14:15.500"},
               {"ts_to_datetime('2024-02-29T13:14:15.123', 126)", "2024-02-29 13:14:15.123"},
               {"ts_to_datetime('29.02.2024', 104)", "2024-02-29 00:00:00.000"},
               {"ts_to_datetime('02/29/2024 1:05 PM', 0)", "2024-02-29 13:05:00.000"},
               {"ts_to_datetime('', 112)", "1900-01-01 00:00:00.000"},
               {"ts_to_datetime(2, 0)", "1900-01-03 00:00:00.000"},
               {"ts_to_datetime(-1.5, 0)", "1899-12-30 12:00:00.000"}, {"ts_to_datetime(NULL, 112)", "NULL"},
               {"ts_to_datetime('20230229', 112)",
                "error: tsqlite:242:The conversion of a varchar data type to a datetime data type resulted in an "
                "out-of-range value."},
               {"ts_to_datetime('17520101', 112)",
                "error: tsqlite:242:The conversion of a varchar data type to a datetime data type resulted in an "
                "out-of-range value."},
               {"ts_to_datetime('2024-1', 120)",
                "error: tsqlite:241:Conversion failed when converting date and/or time from character string."},
               {"ts_to_datetime('20240229 25:00', 112)",
                "error: tsqlite:242:The conversion of a varchar data type to a datetime data type resulted in an "
                "out-of-range value."});
}

// A string bound to a datetime column: 'yyyymmdd', planex's form for dates, and its neighbours.
TEST(TextToDatetime, DatesOfEightDigitsAndTheirErrors) {
  const std::pair<const char*, const char*> cases[] = {
      {"20240229", "2024-02-29 00:00:00.000"},
      {"17530101", "1753-01-01 00:00:00.000"},
      {"99991231", "9999-12-31 00:00:00.000"},
      {"20271231", "2027-12-31 00:00:00.000"},
      {"20000229", "2000-02-29 00:00:00.000"},
      {"19000229", "242"},
      {"20230229", "242"},
      {"17521231", "242"},
      {"20241301", "242"},
      {"20240100", "242"},
      {"20240431", "242"},
      {"00000000", "242"},
      {"2024022a", "241"},
      {"2024-02-29", "2024-02-29 00:00:00.000"},
      {" 20240229", "2024-02-29 00:00:00.000"},
      {"202402291", "241"},
  };
  for (const auto& [text, expected] : cases) {
    std::string storage, message;
    int native = 0;
    const bool ok = TextToDatetime(text, storage, native, message);
    EXPECT_EQ(ok ? storage : std::to_string(native), expected) << text;
  }
}

TEST_F(Functions, DatetimeKeepsThreeHundredthsOfASecond) {
  EXPECT_CASES({"ts_to_datetime('2024-01-01 23:59:59.999', 121)", "2024-01-02 00:00:00.000"},
               {"ts_to_datetime('2024-01-01 10:00:00.001', 121)", "2024-01-01 10:00:00.000"},
               {"ts_to_datetime('2024-01-01 10:00:00.002', 121)", "2024-01-01 10:00:00.003"},
               {"ts_to_datetime('2024-01-01 10:00:00.005', 121)", "2024-01-01 10:00:00.007"},
               {"ts_to_datetime('2024-01-01 10:00:00.995', 121)", "2024-01-01 10:00:00.997"},
               {"ts_to_datetime('2024-01-01 10:00:00.991', 121)", "2024-01-01 10:00:00.990"},
               {"ts_dateadd('ms', 1, '2024-01-01 10:00:00.000')", "2024-01-01 10:00:00.000"},
               {"ts_dateadd('ms', 2, '2024-01-01 10:00:00.000')", "2024-01-01 10:00:00.003"});
}

TEST_F(Functions, DatetimeToTextByStyle) {
  const char* d = "'2024-03-05 14:07:09.120'";
  auto conv = [&](const char* len, const char* style, const char* fixed) {
    return std::string("ts_to_char(") + d + ", " + len + ", " + style + ", " + fixed + ")";
  };
  EXPECT_EQ(Eval(conv("8", "112", "1")), "20240305");
  EXPECT_EQ(Eval(conv("30", "120", "0")), "2024-03-05 14:07:09");
  EXPECT_EQ(Eval(conv("30", "121", "0")), "2024-03-05 14:07:09.120");
  EXPECT_EQ(Eval(conv("30", "104", "0")), "05.03.2024");
  EXPECT_EQ(Eval(conv("30", "4", "0")), "05.03.24");
  EXPECT_EQ(Eval(conv("30", "108", "0")), "14:07:09");
  EXPECT_EQ(Eval(conv("30", "126", "0")), "2024-03-05T14:07:09.120");
  EXPECT_EQ(Eval(conv("-1", "NULL", "0")), "Mar  5 2024  2:07PM");
  EXPECT_EQ(Eval(conv("10", "120", "0")), "2024-03-05");  // cut to the length
  EXPECT_EQ(Eval(conv("10", "112", "1")), "20240305  ");  // char(n) pads
  EXPECT_EQ(Eval(conv("30", "999", "0")),
            "error: tsqlite:281:999 is not a valid style number when converting from datetime to a character string.");
}

TEST_F(Functions, ValuesToText) {
  EXPECT_CASES({"ts_to_char(12345, 8, NULL, 0)", "12345"}, {"ts_to_char(12345, 3, NULL, 0)", "*"},
               {"ts_to_char('abcdef', 3, NULL, 0)", "abc"}, {"ts_to_char('äöüß', 2, NULL, 1)", "äö"},
               {"ts_to_char('ä', 3, NULL, 1)", "ä  "},
               {"ts_to_char('x', -1, 112, 0)", "x"},  // a style does not change a text
               {"ts_to_char(NULL, 8, 112, 1)", "NULL"});
}

TEST_F(Functions, DatetimeArithmeticCountsFrom1900) {
  EXPECT_CASES(
      {"ts_sub('2024-01-10 00:00:00.000', '2024-01-01 00:00:00.000')", "1900-01-10 00:00:00.000"},
      {"ts_sub('2024-01-01 00:00:00.000', '2024-01-04 00:00:00.000')", "1899-12-29 00:00:00.000"},
      {"ts_to_int(ts_sub(ts_add(ts_sub('2024-01-01 00:00:00.000', '2024-01-04 00:00:00.000'), 1), 1))", "-3"},
      {"ts_add('2024-02-28 00:00:00.000', 2)", "2024-03-01 00:00:00.000"},
      {"ts_add(1, '2024-02-28 00:00:00.000')", "2024-02-29 00:00:00.000"},
      {"ts_sub('2024-03-01 00:00:00.000', 0.5)", "2024-02-29 12:00:00.000"},
      {"ts_add('2024-03-01 00:00:00.000', '20240101')", "2148-03-01 00:00:00.000"},
      {"ts_sub('1753-01-01 00:00:00.000', 1)",
       "error: tsqlite:517:Adding a value to a 'datetime' column caused an overflow."},
      {"ts_add(2, 3)", "5"}, {"ts_sub(2, 3.5)", "-1.5"}, {"ts_add('ab', 'cd')", "abcd"}, {"ts_add('5', 1)", "6"},
      {"ts_add('x', 1)",
       "error: tsqlite:245:Conversion failed when converting the varchar value 'x' to data type int."},
      {"ts_sub('a', 'b')", "error: tsqlite:8117:Operand data type varchar is invalid for subtract operator."},
      {"ts_add(NULL, 1)", "NULL"},
      {"ts_add('2024-01-01 00:00:00.000', 9223372036854775807)",
       "error: tsqlite:517:Adding a value to a 'datetime' column caused an overflow."},
      {"ts_to_datetime(1e300, 0)", "error: tsqlite:517:Adding a value to a 'datetime' column caused an overflow."},
      {"ts_add(9223372036854775807, 1)",
       "error: tsqlite:8115:Arithmetic overflow error converting expression to data type int."});
}

// A chain of + and - in one call gives what the nested two-operand calls give.
TEST_F(Functions, AddSubChainWorksFromTheLeft) {
  EXPECT_CASES(
      {"ts_addsub(10, 1, 2, 1, 3)", "5"}, {"ts_addsub('1', 0, '2', 0, 3)", "15"},  // '12' + 3
      {"ts_addsub(3, 0, '1', 0, '2')", "6"},
      {"ts_addsub('2024-01-01 ', 0, '00:00:00.000', 0, 1)", "2024-01-02 00:00:00.000"},  // the text becomes a datetime
      {"ts_addsub('2024-01-01 00:00:00.000', 0, 1, 1, 0.5)", "2024-01-01 12:00:00.000"},
      {"ts_addsub('a', 0, 'b', 0, 'c')", "abc"}, {"ts_addsub(NULL, 0, 'x', 1, 'y')", "NULL"},
      {"ts_addsub('a', 0, 'b', 1, 'c')",
       "error: tsqlite:8117:Operand data type varchar is invalid for subtract operator."},
      {"ts_addsub(9223372036854775807, 1, 1, 0, 1)", "9223372036854775807"},
      {"ts_addsub('1753-01-02 00:00:00.000', 1, 2, 0, 5)",
       "error: tsqlite:517:Adding a value to a 'datetime' column caused an overflow."});
}

TEST_F(Functions, ModuloKeepsTheSignOfTheDividendAndRefusesZero) {
  EXPECT_CASES({"ts_mod(7, 3)", "1"}, {"ts_mod(-7, 3)", "-1"}, {"ts_mod(7, -3)", "1"}, {"ts_mod(-7, -3)", "-1"},
               {"ts_mod(ts_add(ts_mod(-3, 7), 7), 7)", "4"}, {"ts_mod(-9223372036854775808, -1)", "0"},
               {"ts_mod(7.5, 2)", "1.5"}, {"ts_mod(NULL, 0)", "NULL"},
               {"ts_mod(1, 0)", "error: tsqlite:8134:Divide by zero error encountered."},
               {"ts_mod(1, 0.0)", "error: tsqlite:8134:Divide by zero error encountered."},
               {"ts_mod('2024-01-01 00:00:00.000', 7)",
                "error: tsqlite:8117:Operand data type datetime is invalid for modulo operator."},
               {"ts_div(7, 2)", "3"}, {"ts_div(-7, 2)", "-3"}, {"ts_div(7.0, 2)", "3.5"},
               {"ts_div(5, 0)", "error: tsqlite:8134:Divide by zero error encountered."},
               {"ts_div(-9223372036854775808, -1)",
                "error: tsqlite:8115:Arithmetic overflow error converting expression to data type int."});
}

// Decimals in the engine's form: p - s + 1 digits before the point carry the precision, which
// gives a result its type by SQL Server's rules.
TEST_F(Functions, DecimalsTakeSqlServersResultTypes) {
  EXPECT_CASES(
      {"ts_mul('000000001.50e0', '000000002.00e0')", "000000000000000003.0000e0"},    // decimal(21,4)
      {"ts_div('000000001.00e0', '000000003.00e0')", "00000000000.3333333333333e0"},  // decimal(23,13)
      {"ts_add('9.9e0', '0.1e0')", "010.0e0"},
      {"ts_to_char(ts_mul(ts_dec(1.5, 38, 10), ts_dec(2, 38, 10)), 60, NULL, 0)", "3.000000"},
      {"ts_mod('7.5e0', 2)", "01.5e0"}, {"ts_mod('-7.5e0', 2)", "-01.5e0"}, {"ts_round('01.555e0', 2)", "01.560e0"},
      {"ts_round('-01.555e0', 2, 1)", "-01.550e0"},
      {"ts_round('9.99e0', 1)",
       "error: tsqlite:8115:Arithmetic overflow error converting expression to data type numeric."},
      {"ts_dec('1.005', 10, 2)", "000000001.01e0"}, {"ts_dec(NULL, 10, 2)", "NULL"},
      {"ts_dec('abc', 5, 2)", "error: tsqlite:8114:Error converting data type varchar to numeric."},
      {"ts_dec(1000, 3, 0)", "error: tsqlite:8115:Arithmetic overflow error converting int to data type numeric."},
      {"ts_num('0003.50e0')", "3.5"}, {"ts_num('02e0')", "2"}, {"ts_num('x')", "x"}, {"ts_neg('01.5e0')", "-01.5e0"},
      {"ts_abs('-01.5e0')", "01.5e0"}, {"ts_floor('-01.5e0')", "-002e0"},
      {"('10e0' COLLATE tsqlite_decimal) > '9.5e0'", "1"}, {"('1.50e0' COLLATE tsqlite_decimal) = '01.5'", "1"},
      {"('-0.5' COLLATE tsqlite_decimal) < '0e0'", "1"}, {"('abc' COLLATE tsqlite_decimal) > '99e0'", "1"},
      {"ts_to_char(ts_sum(column1), 40, NULL, 0) FROM (VALUES ('01.10e0'), ('2.205e0'), (NULL), (3))", "6.305"},
      {"ts_to_char(ts_avg(column1), 40, NULL, 0) FROM (VALUES ('01.10e0'), ('2.20e0'))", "1.650000"});
}

TEST_F(Functions, WeekdayFollowsDateFirst) {
  // 2024-01-07 is a Sunday, 2024-01-08 a Monday, 2024-01-13 a Saturday.
  struct WeekdayCase {
    int date_first;
    const char* day;
    const char* weekday;
  };
  const WeekdayCase cases[] = {
      {7, "20240107", "1"}, {7, "20240108", "2"}, {7, "20240113", "7"}, {1, "20240107", "7"},
      {1, "20240108", "1"}, {1, "20240113", "6"}, {3, "20240110", "1"},  // Wednesday first
  };
  for (const WeekdayCase& c : cases) {
    date_first_ = c.date_first;
    EXPECT_EQ(Eval(std::string("ts_datepart('weekday', '") + c.day + "')"), c.weekday)
        << c.day << " DATEFIRST " << c.date_first;
  }
  date_first_ = 1;
  EXPECT_EQ(Eval("ts_datefirst()"), "1");
}

TEST_F(Functions, DateParts) {
  EXPECT_CASES(
      {"ts_datepart('year', '2024-12-31 23:59:59.997')", "2024"}, {"ts_datepart('month', '20241231')", "12"},
      {"ts_datepart('day', '20241231')", "31"}, {"ts_datepart('dayofyear', '20241231')", "366"},
      {"ts_datepart('dy', '20230301')", "60"}, {"ts_datepart('quarter', '20230401')", "2"},
      {"ts_datepart('hour', '2023-04-01 13:14:15.016')", "13"},
      {"ts_datepart('millisecond', '2023-04-01 13:14:15.016')", "16"}, {"ts_datepart('iso_week', '20210103')", "53"},
      {"ts_datepart('iso_week', '20210104')", "1"},
      {"ts_datepart('week', '20240106')", "1"},  // Saturday before the first Sunday
      {"ts_datepart('week', '20240107')", "2"}, {"ts_datepart('day', NULL)", "NULL"},
      {"ts_datepart('fortnight', '20240107')", "error: tsqlite:155:'fortnight' is not a recognized datepart option."});
}

TEST_F(Functions, DateAddAndDateDiff) {
  EXPECT_CASES({"ts_dateadd('day', 1, '2024-02-28 00:00:00.000')", "2024-02-29 00:00:00.000"},
               {"ts_dateadd('day', 1, '2024-12-31 00:00:00.000')", "2025-01-01 00:00:00.000"},
               {"ts_dateadd('day', -1, '2024-03-01 00:00:00.000')", "2024-02-29 00:00:00.000"},
               {"ts_dateadd('month', 1, '2024-01-31 10:00:00.000')", "2024-02-29 10:00:00.000"},
               {"ts_dateadd('year', -1, '2024-02-29 00:00:00.000')", "2023-02-28 00:00:00.000"},
               {"ts_dateadd('week', 2, '20240101')", "2024-01-15 00:00:00.000"},
               {"ts_dateadd('hour', 25, '20240101')", "2024-01-02 01:00:00.000"},
               {"ts_dateadd('day', 1, '9999-12-31 00:00:00.000')",
                "error: tsqlite:517:Adding a value to a 'datetime' column caused an overflow."},
               {"ts_dateadd('day', NULL, '20240101')", "NULL"},
               {"ts_datediff('day', '2024-01-01 23:00:00.000', '2024-01-02 01:00:00.000')", "1"},
               {"ts_datediff('month', '20231231', '20240101')", "1"},
               {"ts_datediff('year', '20241231', '20230101')", "-1"});
}

TEST_F(Functions, ErrorFunctionRaisesTheGivenNumber) {
  EXPECT_EQ(Eval("ts_error(2760, 'no schema')"), "error: tsqlite:2760:no schema");
}

// GETDATE() and CURRENT_TIMESTAMP: the local time to the millisecond, read once per statement
// (the owner clears the cache between statements), as SQLite's own 'now' gives it.
TEST_F(Functions, NowIsTheLocalTimeReadOncePerStatement) {
  EXPECT_CASES({"length(ts_now())", "23"},
               {"abs(julianday(ts_now()) - julianday('now', 'localtime')) * 86400 < 1", "1"});
  statement_cache_.now = "2001-02-03 04:05:06.789";
  EXPECT_CASES({"ts_now()", "2001-02-03 04:05:06.789"});
  statement_cache_.Clear();
  EXPECT_CASES({"ts_now() > '2026'", "1"});
}

}  // namespace
}  // namespace tsqlite
