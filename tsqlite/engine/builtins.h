#pragma once
// The T-SQL built-in functions the embedded database knows: a closed table. A name that is not in
// it is SQL Server's error 195, a known name with an argument count no row takes is 174; nothing
// reaches SQLite under a name of its own. Adding a function is one row here (and one test row);
// a SQLite function of ours that its text calls has its own row in function_table.cpp.
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tsqlite {

// The current time as SQL Server's GETDATE() gives it: local time with milliseconds, in the
// storage form of a datetime, read once per statement execution (ts_now, RegisterFunctions).
inline constexpr const char* kNow = "ts_now()";

// How a function's arguments are read.
enum class ArgForm {
  Values,     // expressions
  Aggregate,  // expressions, DISTINCT allowed before the first; COUNT also takes *
  DatePart,   // a date-part name (day, dd, weekday, ...) stays a word, then expressions
  Convert,    // CONVERT(type, value [, style]): the type stays a word, the style a literal
  Cast,       // CAST(value AS type)
};

// What the translator knows of a function's result: its T-SQL type and how it is held. A result
// that follows its first argument follows a column there (its declared type, read from the
// catalog where a rule needs it) and a collation a COLLATE clause names there.
enum class Result {
  Unknown,     // SQLite's own value of a type not tracked here
  Datetime,    // a datetime in its storage form, computed by one of our functions
  Decimal,     // a number that may be an exact decimal held as text (compared via ts_num)
  ArgDecimal,  // the first argument's type, possibly held as decimal text (MIN, ABS, ISNULL)
  Arg,         // the first argument's type (NULLIF, SIGN)
  ArgText,     // the first argument's text type: nvarchar when it is one, a text column's own, else varchar
               // (UPPER, LEFT, REPLACE)
  Int,
  BigInt,  // a client is told bigint (COUNT_BIG)
  Float,
  VarChar,
  NVarChar,
};

// A function the translator writes by a rule of its own rather than by the row's text alone.
enum class Rule {
  None,
  CountsRows,  // COUNT, COUNT_BIG: also take *
  Replicate,   // REPLICATE: its limit follows the type of the text (nvarchar 4,000, (max) none)
  Abs,         // ABS: of a bigint, the smallest value has no positive one
  DataLength,  // DATALENGTH: the bytes of the value's type (UTF-16, code page 1252, UTF-8)
  DateAdd,     // DATEADD: a date of a column or expression stays a date
  IsNull,      // ISNULL: of the first argument's type, the replacement converted to it
};

struct Builtin {
  const char* name;  // upper case
  int min_args;
  int max_args;  // -1: no upper bound
  ArgForm form;
  // The SQLite text: $1 ... $9 stand for the translated arguments, $* for all of them joined
  // with ", " (with DISTINCT in front when given). The ts_* functions are registered by
  // RegisterFunctions(); every other name is SQLite's own. Unused for Convert and Cast.
  const char* emit;
  Result result = Result::Unknown;
  // A decimal literal as first argument is bound exactly (SUM(1.5), ROUND(2.675, 2)).
  bool exact_args = false;
  Rule rule = Rule::None;
};

// The rows for a name (case-insensitive); empty when the name is no built-in function. A name may
// have several rows for different argument counts.
std::vector<const Builtin*> FindBuiltins(std::string_view name);

// The row of rows that takes count arguments, nullptr when none does.
const Builtin* ForCount(const std::vector<const Builtin*>& rows, int count);

// SQL Server's message for a call with a wrong number of arguments (error 174).
std::string ArgumentCountMessage(const std::vector<const Builtin*>& rows);

// The row's emission with the arguments put in; distinct puts DISTINCT before them in $*.
std::string EmitBuiltin(const Builtin& row, const std::vector<std::string>& args, bool distinct);

// The parts of a date DATEADD, DATEDIFF and DATEPART take, by any of their names (day, dd, d).
enum class DatePart {
  Year,
  Quarter,
  Month,
  DayOfYear,
  Day,
  Week,
  Weekday,
  Hour,
  Minute,
  Second,
  Millisecond,
  IsoWeek,
  Unknown
};
DatePart DatePartOf(std::string_view name);

// Every row, for tests that go through the whole table.
std::span<const Builtin> AllBuiltins();

}  // namespace tsqlite
