// The functions behind translated T-SQL, called as T-SQL through the executor the driver uses.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <utility>

#include "engine_db.h"
#include "errors.h"
#include "sql_type.h"
#include "translate_api.h"

namespace tsqlite {
namespace {

class Functions : public ::testing::Test {
 public:
  // The value of "SELECT <sql>" as text ("NULL" for NULL), or "error: <native> <message>".
  std::string Eval(const std::string& sql) { return db_.Value("SELECT " + sql); }

 protected:
  tsqlite_test::Db db_;
};

struct Case {
  const char* sql;
  const char* value;
};

void ExpectAll(Functions* f, std::initializer_list<Case> cases, std::string (Functions::*eval)(const std::string&)) {
  for (const Case& c : cases) EXPECT_EQ((f->*eval)(c.sql), c.value) << c.sql;
}

#define EXPECT_CASES(...) ExpectAll(this, {__VA_ARGS__}, &Functions::Eval)

// A datetime from its ODBC canonical text (style 121).
#define DT(text) "CONVERT(datetime, '" text "', 121)"

// The error table: a native number names one row, so that an error a function raises by its
// number comes back with that row's SQLSTATE; messages fill their %s in order.
TEST(ErrorTable, NativeNumbersNameOneRowAndComeBackWithTheirState) {
  for (const ErrorRow& row : kErrors) {
    EXPECT_EQ(5u, std::string(row.sqlstate).size()) << row.native;
    if (row.native == 0) continue;
    EXPECT_EQ(&row, RowOfNative(row.native)) << row.native;
    Error back;
    ASSERT_TRUE(DecodeRaised("tsqlite:" + std::to_string(row.native) + ":m", back));
    EXPECT_EQ(row.sqlstate, back.sqlstate) << row.native;
  }
  struct {
    Error error;
    const char* sqlstate;
    int native;
    const char* message;
  } const cases[] = {
      {Raised<Err::ArithmeticOverflow>("expression", "int"), "22003", 8115,
       "Arithmetic overflow error converting expression to data type int."},
      {Raised<Err::ConversionFailed>("x%sy", "int"), "22018", 245,
       "Conversion failed when converting the varchar value 'x%sy' to data type int."},
      {ErrorOfNative(99999, "unknown"), "42000", 99999, "unknown"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.sqlstate, c.error.sqlstate) << c.message;
    EXPECT_EQ(c.native, c.error.native) << c.message;
    EXPECT_EQ(c.message, c.error.message);
  }
  Error none;
  EXPECT_FALSE(DecodeRaised("no such table: t", none));
}

// A declared type's text, as a statement writes it or as the database keeps a column's (a decimal
// column is kept as "DECIMAL TEXT(p,s)"), read into its value.
TEST(SqlTypeOf, DeclaredTextsAsTheirValue) {
  using K = SqlType::Kind;
  struct {
    const char* decl;
    K kind;
    int length, precision, scale;
    bool max, national;
    const char* collation;
  } const cases[] = {
      {"INT", K::Int, -1, 0, 0, false, false, ""},
      {"integer", K::Int, -1, 0, 0, false, false, ""},
      {"VARCHAR(8)", K::VarChar, 8, 0, 0, false, false, ""},
      {"nvarchar ( max )", K::NVarChar, -1, 0, 0, true, true, ""},
      {"NTEXT", K::NText, -1, 0, 0, true, true, ""},
      {"CHAR(3) COLLATE Latin1_General_CI_AS", K::Char, 3, 0, 0, false, false, "Latin1_General_CI_AS"},
      {"DECIMAL TEXT(10,2)", K::Decimal, 10, 10, 2, false, false, ""},
      {"NUMERIC", K::Numeric, -1, 18, 0, false, false, ""},
      {"decimal(50, 60)", K::Decimal, 50, 38, 38, false, false, ""},
      {"MONEY TEXT", K::Money, -1, 19, 4, false, false, ""},
      {"SMALLMONEY", K::SmallMoney, -1, 10, 4, false, false, ""},
      {"DATETIME2(3)", K::Datetime2, -1, 0, 3, false, false, ""},
      {"TIME", K::Time, -1, 0, 7, false, false, ""},
      {"DOUBLE PRECISION", K::Float, -1, 0, 0, false, false, ""},
      {"TIMESTAMP", K::Unknown, -1, 0, 0, false, false, ""},
      {"", K::Unknown, -1, 0, 0, false, false, ""},
  };
  for (const auto& c : cases) {
    const SqlType t = ParseSqlType(c.decl);
    EXPECT_EQ(c.kind, t.kind) << c.decl;
    EXPECT_EQ(c.length, t.length) << c.decl;
    EXPECT_EQ(c.precision, t.precision) << c.decl;
    EXPECT_EQ(c.scale, t.scale) << c.decl;
    EXPECT_EQ(c.max, t.max) << c.decl;
    EXPECT_EQ(c.national, t.National()) << c.decl;
    EXPECT_EQ(c.collation, t.collation) << c.decl;
  }
}

// A type rendered as the database keeps a column's reads back as the same type; defaults (a
// datetime2's 7 digits, a scale of 0) and (max) are left out.
TEST(SqlTypeOf, RenderedTextReadsBackAsTheSameType) {
  const std::pair<const char*, const char*> cases[] = {
      {"integer", "INT"},
      {"nvarchar ( max )", "NVARCHAR"},
      {"DECIMAL TEXT(10,2)", "DECIMAL(10,2)"},
      {"numeric(5, 0)", "NUMERIC(5)"},
      {"datetime2(3)", "DATETIME2(3)"},
      {"TIME(7)", "TIME"},
      {"char(3) COLLATE Latin1_General_CS_AS", "CHAR(3)"},
      {"float(53)", "FLOAT(53)"},
      {"MONEY TEXT", "MONEY"},
      {"uniqueidentifier", "UNIQUEIDENTIFIER"},
  };
  for (const auto& [decl, text] : cases) {
    const SqlType t = ParseSqlType(decl);
    EXPECT_EQ(text, SqlTypeText(t)) << decl;
    const SqlType again = ParseSqlType(SqlTypeText(t));
    EXPECT_EQ(t.kind, again.kind) << decl;
    EXPECT_EQ(t.precision, again.precision) << decl;
    EXPECT_EQ(t.scale, again.scale) << decl;
    if (!t.max) {
      EXPECT_EQ(t.length, again.length) << decl;
    }
  }
}

TEST_F(Functions, DatetimeToIntRoundsToTheNearestDay) {
  EXPECT_CASES({"CONVERT(int, " DT("1900-01-01 00:00:00.000") ")", "0"},
               {"CONVERT(int, " DT("1900-01-01 11:59:59.997") ")", "0"},
               {"CONVERT(int, " DT("1900-01-01 12:00:00.000") ")", "1"},
               {"CONVERT(int, " DT("1899-12-31 12:00:00.000") ")", "0"},
               {"CONVERT(int, " DT("1899-12-31 11:59:00.000") ")", "-1"},
               {"CONVERT(int, " DT("2024-02-29 00:00:00.000") ")", "45349"}, {"CONVERT(int, 2.9)", "2"},
               {"CONVERT(int, -2.9)", "-2"}, {"CONVERT(int, ' 17 ')", "17"}, {"CONVERT(int, NULL)", "NULL"},
               {"CONVERT(int, '1.5')",
                "error: 245 Conversion failed when converting the varchar value '1.5' to data type int."});
}

TEST_F(Functions, TextToDatetimeByStyle) {
  EXPECT_CASES(
      {"CONVERT(datetime, '20240229', 112)", "2024-02-29 00:00:00.000"},
      {"CONVERT(datetime, '2024-02-29 13:14:15', 120)", "2024-02-29 13:14:15.000"},
      {"CONVERT(datetime, '2024-02-29 13:14:15.5', 121)", "2024-02-29 13:14:15.500"},
      {"CONVERT(datetime, '2024-02-29T13:14:15.123', 126)", "2024-02-29 13:14:15.123"},
      {"CONVERT(datetime, '29.02.2024', 104)", "2024-02-29 00:00:00.000"},
      {"CONVERT(datetime, '02/29/2024 1:05 PM', 0)", "2024-02-29 13:05:00.000"},
      {"CONVERT(datetime, '', 112)", "1900-01-01 00:00:00.000"}, {"CONVERT(datetime, 2)", "1900-01-03 00:00:00.000"},
      {"CONVERT(datetime, -1.5e0)", "1899-12-30 12:00:00.000"}, {"CONVERT(datetime, -1.5)", "1899-12-30 12:00:00.000"},
      {"CAST(0 - 1.5 AS datetime)", "1899-12-30 12:00:00.000"}, {"CONVERT(datetime, NULL, 112)", "NULL"},
      {"CONVERT(datetime, '20230229', 112)",
       "error: 242 The conversion of a varchar data type to a datetime data type resulted in an "
       "out-of-range value."},
      {"CONVERT(datetime, '17520101', 112)",
       "error: 242 The conversion of a varchar data type to a datetime data type resulted in an "
       "out-of-range value."},
      {"CONVERT(datetime, '2024-1', 120)",
       "error: 241 Conversion failed when converting date and/or time from character string."},
      {"CONVERT(datetime, '20240229 25:00', 112)",
       "error: 242 The conversion of a varchar data type to a datetime data type resulted in an "
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
  EXPECT_CASES({"CONVERT(datetime, '2024-01-01 23:59:59.999', 121)", "2024-01-02 00:00:00.000"},
               {"CONVERT(datetime, '2024-01-01 10:00:00.001', 121)", "2024-01-01 10:00:00.000"},
               {"CONVERT(datetime, '2024-01-01 10:00:00.002', 121)", "2024-01-01 10:00:00.003"},
               {"CONVERT(datetime, '2024-01-01 10:00:00.005', 121)", "2024-01-01 10:00:00.007"},
               {"CONVERT(datetime, '2024-01-01 10:00:00.995', 121)", "2024-01-01 10:00:00.997"},
               {"CONVERT(datetime, '2024-01-01 10:00:00.991', 121)", "2024-01-01 10:00:00.990"},
               {"DATEADD(ms, 1, " DT("2024-01-01 10:00:00.000") ")", "2024-01-01 10:00:00.000"},
               {"DATEADD(ms, 2, " DT("2024-01-01 10:00:00.000") ")", "2024-01-01 10:00:00.003"});
}

TEST_F(Functions, DatetimeToTextByStyle) {
  const std::string d = DT("2024-03-05 14:07:09.120");
  auto conv = [&](const char* type, const char* style) {
    return std::string("CONVERT(") + type + ", " + d + (style[0] != '\0' ? std::string(", ") + style : "") + ")";
  };
  EXPECT_EQ(Eval(conv("char(8)", "112")), "20240305");
  EXPECT_EQ(Eval(conv("varchar(30)", "120")), "2024-03-05 14:07:09");
  EXPECT_EQ(Eval(conv("varchar(30)", "121")), "2024-03-05 14:07:09.120");
  EXPECT_EQ(Eval(conv("varchar(30)", "104")), "05.03.2024");
  EXPECT_EQ(Eval(conv("varchar(30)", "4")), "05.03.24");
  EXPECT_EQ(Eval(conv("varchar(30)", "108")), "14:07:09");
  EXPECT_EQ(Eval(conv("varchar(30)", "126")), "2024-03-05T14:07:09.120");
  EXPECT_EQ(Eval(conv("varchar", "")), "Mar  5 2024  2:07PM");
  EXPECT_EQ(Eval(conv("varchar(10)", "120")), "2024-03-05");  // cut to the length
  EXPECT_EQ(Eval(conv("char(10)", "112")), "20240305  ");     // char(n) pads
  EXPECT_EQ(Eval(conv("varchar(30)", "999")),
            "error: 281 999 is not a valid style number when converting from datetime to a character string.");
}

TEST_F(Functions, ValuesToText) {
  EXPECT_CASES({"CONVERT(varchar(8), 12345)", "12345"}, {"CONVERT(varchar(3), 12345)", "*"},
               {"CONVERT(varchar(3), 'abcdef')", "abc"}, {"CONVERT(char(2), 'äöüß')", "äö"},
               {"CONVERT(char(3), 'ä')", "ä  "}, {"CONVERT(varchar, 'x', 112)", "x"},  // a style does not change a text
               {"CONVERT(char(8), NULL, 112)", "NULL"});
}

TEST_F(Functions, DatetimeArithmeticCountsFrom1900) {
  EXPECT_CASES(
      {DT("2024-01-10 00:00:00.000") " - " DT("2024-01-01 00:00:00.000"), "1900-01-10 00:00:00.000"},
      {DT("2024-01-01 00:00:00.000") " - " DT("2024-01-04 00:00:00.000"), "1899-12-29 00:00:00.000"},
      {"CONVERT(int, (" DT("2024-01-01 00:00:00.000") " - " DT("2024-01-04 00:00:00.000") ") + 1 - 1)", "-3"},
      {DT("2024-02-28 00:00:00.000") " + 2", "2024-03-01 00:00:00.000"},
      {"1 + " DT("2024-02-28 00:00:00.000"), "2024-02-29 00:00:00.000"},
      {DT("2024-03-01 00:00:00.000") " - 0.5", "2024-02-29 12:00:00.000"},
      {DT("2024-03-01 00:00:00.000") " + '20240101'", "2148-03-01 00:00:00.000"},
      {DT("1753-01-01 00:00:00.000") " - 1", "error: 517 Adding a value to a 'datetime' column caused an overflow."},
      {"2 + 3", "5"}, {"2 - 3.5", "-001.5e0"}, {"'ab' + 'cd'", "abcd"}, {"'5' + 1", "6"},
      {"'x' + 1", "error: 245 Conversion failed when converting the varchar value 'x' to data type int."},
      {"'a' - 'b'", "error: 8117 Operand data type varchar is invalid for subtract operator."}, {"NULL + 1", "NULL"},
      {DT("2024-01-01 00:00:00.000") " + CAST(9223372036854775807 AS bigint)",
       "error: 517 Adding a value to a 'datetime' column caused an overflow."},
      {"CONVERT(datetime, 1e300)", "error: 517 Adding a value to a 'datetime' column caused an overflow."},
      {"CAST(9223372036854775807 AS bigint) + 1",
       "error: 8115 Arithmetic overflow error converting expression to data type int."});
}

// A chain of + and - in one expression gives what the operators taken one at a time from the left
// give.
TEST_F(Functions, AddSubChainWorksFromTheLeft) {
  EXPECT_CASES({"10 - 2 - 3", "5"}, {"'1' + '2' + 3", "15"},  // '12' + 3
               {"3 + '1' + '2'", "6"},
               {"'2024-01-01 ' + '00:00:00.000' + 1", "2024-01-02 00:00:00.000"},  // the text becomes a datetime
               {DT("2024-01-01 00:00:00.000") " + 1 - 0.5", "2024-01-01 12:00:00.000"}, {"'a' + 'b' + 'c'", "abc"},
               {"NULL + 'x' - 'y'", "NULL"},
               {"'a' + 'b' - 'c'", "error: 8117 Operand data type varchar is invalid for subtract operator."},
               {"CAST(9223372036854775807 AS bigint) - 1 + 1", "9223372036854775807"},
               {DT("1753-01-02 00:00:00.000") " - 2 + 5",
                "error: 517 Adding a value to a 'datetime' column caused an overflow."});
}

TEST_F(Functions, ModuloKeepsTheSignOfTheDividendAndRefusesZero) {
  EXPECT_CASES(
      {"7 % 3", "1"}, {"-7 % 3", "-1"}, {"7 % -3", "1"}, {"-7 % -3", "-1"}, {"(-3 % 7 + 7) % 7", "4"},
      {"CAST(-9223372036854775808 AS bigint) % -1", "0"}, {"7.5 % 2", "01.5e0"}, {"NULL % 0", "NULL"},
      {"1 % 0", "error: 8134 Divide by zero error encountered."},
      {"1 % 0.0", "error: 8134 Divide by zero error encountered."},
      {DT("2024-01-01 00:00:00.000") " % 7", "error: 8117 Operand data type datetime is invalid for modulo operator."},
      {DT("2024-01-01 00:00:00.000") " / 2", "error: 8117 Operand data type datetime is invalid for divide operator."},
      {"2 * " DT("2024-01-01 00:00:00.000"),
       "error: 8117 Operand data type datetime is invalid for multiply operator."},
      {"7 / 2", "3"}, {"-7 / 2", "-3"}, {"7.0 / 2", "03.500000e0"},
      {"5 / 0", "error: 8134 Divide by zero error encountered."},
      {"CAST(-9223372036854775808 AS bigint) / -1",
       "error: 8115 Arithmetic overflow error converting expression to data type int."});
}

// Decimals in the engine's form: p - s + 1 digits before the point carry the precision, which gives a result its type
// by SQL Server's rules.
TEST_F(Functions, DecimalsTakeSqlServersResultTypes) {
  EXPECT_CASES(
      {"CAST(1.50 AS decimal(10, 2)) * CAST(2.00 AS decimal(10, 2))", "000000000000000003.0000e0"},    // decimal(21,4)
      {"CAST(1.00 AS decimal(10, 2)) / CAST(3.00 AS decimal(10, 2))", "00000000000.3333333333333e0"},  // decimal(23,13)
      {"9.9 + 0.1", "010.0e0"},
      {"CONVERT(varchar(60), CAST(1.5 AS decimal(38, 10)) * CAST(2 AS decimal(38, 10)))", "3.000000"},
      {"7.5 % 2", "01.5e0"}, {"-7.5 % 2", "-01.5e0"}, {"ROUND(1.555, 2)", "01.560e0"},
      {"ROUND(-1.555, 2, 1)", "-01.550e0"},
      {"ROUND(9.99, 1)", "error: 8115 Arithmetic overflow error converting expression to data type numeric."},
      {"CAST('1.005' AS decimal(10, 2))", "000000001.01e0"}, {"CAST(NULL AS decimal(10, 2))", "NULL"},
      {"CAST('abc' AS decimal(5, 2))", "error: 8114 Error converting data type varchar to numeric."},
      {"CAST(1000 AS decimal(3, 0))", "error: 8115 Arithmetic overflow error converting int to data type numeric."},
      {"CONVERT(float, 3.50)", "3.5"}, {"CONVERT(float, CAST(2 AS decimal(1, 0)))", "2.0"},
      {"-CAST(1.5 AS decimal(2, 1))", "-01.5e0"}, {"ABS(CAST(-1.5 AS decimal(2, 1)))", "01.5e0"},
      {"FLOOR(CAST(-1.5 AS decimal(2, 1)))", "-002e0"},
      {"CASE WHEN CAST(10 AS decimal(3, 0)) > 9.5 THEN 1 ELSE 0 END", "1"},
      {"CASE WHEN 1.50 = CAST(1.5 AS decimal(3, 1)) THEN 1 ELSE 0 END", "1"},
      {"CASE WHEN -0.5 < CAST(0 AS decimal(1, 0)) THEN 1 ELSE 0 END", "1"});
  ASSERT_EQ(db_.Run("CREATE TABLE dbo.d (v decimal(10, 3)); INSERT INTO dbo.d VALUES (1.10), (2.205), (NULL), (3)"),
            std::vector<std::string>{});
  EXPECT_CASES({"CONVERT(varchar(40), SUM(v)) FROM dbo.d", "6.305"},
               {"CONVERT(varchar(40), AVG(v)) FROM dbo.d WHERE v < 3", "1.652500"});
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
    EXPECT_EQ(
        db_.Value("SET DATEFIRST " + std::to_string(c.date_first) + "; SELECT DATEPART(weekday, '" + c.day + "')"),
        c.weekday)
        << c.day << " DATEFIRST " << c.date_first;
  }
  EXPECT_EQ(db_.Value("SET DATEFIRST 1; SELECT @@DATEFIRST"), "1");
}

TEST_F(Functions, DateParts) {
  EXPECT_CASES({"DATEPART(year, '2024-12-31 23:59:59.997')", "2024"}, {"DATEPART(month, '20241231')", "12"},
               {"DATEPART(day, '20241231')", "31"}, {"DATEPART(dayofyear, '20241231')", "366"},
               {"DATEPART(dy, '20230301')", "60"}, {"DATEPART(quarter, '20230401')", "2"},
               {"DATEPART(hour, '2023-04-01 13:14:15.016')", "13"},
               {"DATEPART(millisecond, '2023-04-01 13:14:15.016')", "16"}, {"DATEPART(iso_week, '20210103')", "53"},
               {"DATEPART(iso_week, '20210104')", "1"},
               {"DATEPART(week, '20240106')", "1"},  // Saturday before the first Sunday
               {"DATEPART(week, '20240107')", "2"}, {"DATEPART(day, NULL)", "NULL"},
               {"DATEPART(fortnight, '20240107')", "error: 155 'fortnight' is not a recognized datepart option."});
}

TEST_F(Functions, DateAddAndDateDiff) {
  EXPECT_CASES({"DATEADD(day, 1, " DT("2024-02-28 00:00:00.000") ")", "2024-02-29 00:00:00.000"},
               {"DATEADD(day, 1, " DT("2024-12-31 00:00:00.000") ")", "2025-01-01 00:00:00.000"},
               {"DATEADD(day, -1, " DT("2024-03-01 00:00:00.000") ")", "2024-02-29 00:00:00.000"},
               {"DATEADD(month, 1, " DT("2024-01-31 10:00:00.000") ")", "2024-02-29 10:00:00.000"},
               {"DATEADD(year, -1, " DT("2024-02-29 00:00:00.000") ")", "2023-02-28 00:00:00.000"},
               {"DATEADD(week, 2, '20240101')", "2024-01-15 00:00:00.000"},
               {"DATEADD(hour, 25, '20240101')", "2024-01-02 01:00:00.000"},
               {"DATEADD(day, 1, " DT("9999-12-31 00:00:00.000") ")",
                "error: 517 Adding a value to a 'datetime' column caused an overflow."},
               {"DATEADD(day, NULL, '20240101')", "NULL"},
               {"DATEDIFF(day, " DT("2024-01-01 23:00:00.000") ", " DT("2024-01-02 01:00:00.000") ")", "1"},
               {"DATEDIFF(month, '20231231', '20240101')", "1"}, {"DATEDIFF(year, '20241231', '20230101')", "-1"});
}

// An error the engine raises itself (here: the schema check) reaches the caller with its number.
TEST_F(Functions, ErrorFunctionRaisesTheGivenNumber) {
  EXPECT_EQ(db_.Value("CREATE TABLE nope.t (a int)").substr(0, 11), "error: 2760");
}

// GETDATE() and CURRENT_TIMESTAMP: the local time to the millisecond, read once per statement, as
// SQLite's own 'now' gives it; the next statement reads it again.
TEST_F(Functions, NowIsTheLocalTimeReadOncePerStatement) {
  char local[32];
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(local, sizeof local, "%Y-%m-%d %H:%M:%S", &tm);
  EXPECT_CASES({"LEN(GETDATE())", "23"},
               {(std::string("CASE WHEN ABS(DATEDIFF(second, GETDATE(), CONVERT(datetime, '") + local +
                 "', 120))) <= 2 THEN 1 ELSE 0 END")
                    .c_str(),
                "1"},
               {"CASE WHEN GETDATE() = CURRENT_TIMESTAMP THEN 1 ELSE 0 END", "1"});
  const std::string first = Eval("CONVERT(varchar(23), GETDATE(), 121)");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_NE(Eval("CONVERT(varchar(23), GETDATE(), 121)"), first);
}

}  // namespace
}  // namespace tsqlite
