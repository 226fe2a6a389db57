#include "builtins.h"

#include <algorithm>
#include <string>

namespace tsqlite {

namespace {

using F = ArgForm;
using R = Result;

constexpr Builtin kBuiltins[] = {
    // aggregates
    {"COUNT", 1, 1, F::Aggregate, "count($*)", R::Int, false, Rule::CountsRows},
    {"COUNT_BIG", 1, 1, F::Aggregate, "count($*)", R::BigInt, false, Rule::CountsRows},
    {"SUM", 1, 1, F::Aggregate, "ts_sum($*)", R::Decimal, true},  // exact over decimals
    {"AVG", 1, 1, F::Aggregate, "ts_avg($*)", R::Decimal, true},  // of integers an integer
    {"MIN", 1, 1, F::Aggregate, "min($*)", R::ArgDecimal},
    {"MAX", 1, 1, F::Aggregate, "max($*)", R::ArgDecimal},
    // NULL handling and choice
    {"COALESCE", 2, -1, F::Values, "coalesce($*)", R::ArgDecimal},
    {"ISNULL", 2, 2, F::Values, "ifnull($1, $2)", R::ArgDecimal, false, Rule::IsNull},
    {"NULLIF", 2, 2, F::Values, "nullif($1, $2)", R::Arg},
    {"IIF", 3, 3, F::Values, "CASE WHEN $1 THEN $2 ELSE $3 END"},
    // conversions
    {"CONVERT", 2, 3, F::Convert, ""},
    {"CAST", 1, 1, F::Cast, ""},
    // dates
    {"DATEADD", 3, 3, F::DatePart, "ts_dateadd($*)", R::Datetime, false, Rule::DateAdd},
    {"DATEDIFF", 3, 3, F::DatePart, "ts_datediff($*)", R::Int},
    {"DATEPART", 2, 2, F::DatePart, "ts_datepart($*)", R::Int},
    {"YEAR", 1, 1, F::Values, "ts_datepart('year', $1)", R::Int},
    {"MONTH", 1, 1, F::Values, "ts_datepart('month', $1)", R::Int},
    {"DAY", 1, 1, F::Values, "ts_datepart('day', $1)", R::Int},
    {"GETDATE", 0, 0, F::Values, kNow, R::Datetime},
    {"SYSDATETIME", 0, 0, F::Values, kNow, R::Datetime},
    {"GETUTCDATE", 0, 0, F::Values, "strftime('%Y-%m-%d %H:%M:%f','now')", R::Datetime},
    // identity and uniqueidentifier: the number the last INSERT of the batch gave an IDENTITY column
    // (a numeric(38,0)); a random (version 4) uniqueidentifier in SQL Server's text form
    {"SCOPE_IDENTITY", 0, 0, F::Values, "ts_dec(ts_identity(1), 38, 0)", R::Decimal},
    {"NEWID", 0, 0, F::Values, "ts_newid()"},
    // the database and its collation (the only property known; any other is NULL, as an unknown
    // property name is)
    {"DB_NAME", 0, 0, F::Values, "ts_db_name()", R::NVarChar},
    {"HAS_PERMS_BY_NAME", 3, 3, F::Values, "ts_has_perms($1, $2, $3)", R::Int},
    {"DB_NAME", 1, 1, F::Values,
     "CASE $1 WHEN 1 THEN 'master' WHEN 2 THEN 'tempdb' WHEN 3 THEN 'model' WHEN 4 THEN 'msdb' WHEN 5 THEN "
     "ts_db_name() END",
     R::NVarChar},
    {"DB_ID", 0, 1, F::Values, "ts_db_id($*)", R::Int},
    // the catalog, read at every call (catalog_functions.cpp)
    {"OBJECT_ID", 1, 2, F::Values, "ts_object_id($*)", R::Int},
    {"OBJECTPROPERTY", 2, 2, F::Values, "ts_objectproperty($1, $2)", R::Int},
    {"SCHEMA_ID", 0, 1, F::Values, "ts_schema_id($*)", R::Int},
    {"SCHEMA_NAME", 0, 1, F::Values, "ts_schema_name($*)", R::NVarChar},
    {"COL_LENGTH", 2, 2, F::Values, "ts_col_length($1, $2)", R::Int},
    {"DATABASEPROPERTYEX", 2, 2, F::Values, "CASE WHEN upper($2) = 'COLLATION' THEN ts_collation() END"},
    {"SERVERPROPERTY", 1, 1, F::Values, "CASE WHEN upper($1) = 'COLLATION' THEN ts_collation() END"},
    // text
    {"LEN", 1, 1, F::Values, "length(rtrim($1))", R::Int},
    {"DATALENGTH", 1, 1, F::Values, "length($1)", R::Int, false, Rule::DataLength},
    {"UPPER", 1, 1, F::Values, "upper($1)", R::ArgText},
    {"LOWER", 1, 1, F::Values, "lower($1)", R::ArgText},
    {"LTRIM", 1, 1, F::Values, "ltrim($1)", R::ArgText},
    {"RTRIM", 1, 1, F::Values, "rtrim($1)", R::ArgText},
    {"TRIM", 1, 1, F::Values, "trim($1)", R::ArgText},
    // positions start .. start + length - 1 that lie in the text; a negative length is 536
    {"SUBSTRING", 3, 3, F::Values, "ts_substring($1, $2, $3)", R::ArgText},
    {"LEFT", 2, 2, F::Values,
     "CASE WHEN $2 < 0 THEN ts_error(536, 'Invalid length parameter passed to the left function.') ELSE "
     "substr($1, 1, $2) END",
     R::ArgText},
    // RIGHT(x, 0) is empty; substr(x, -0) would be the whole text
    {"RIGHT", 2, 2, F::Values,
     "CASE WHEN $2 > 0 THEN substr($1, -($2)) WHEN $2 < 0 THEN ts_error(536, 'Invalid length parameter passed to "
     "the right function.') ELSE '' END",
     R::ArgText},
    {"CHARINDEX", 2, 2, F::Values, "instr($2, $1)", R::Int},
    // from a start position (below 1 counts as 1), still counting from the beginning of the text
    {"CHARINDEX", 3, 3, F::Values,
     "CASE WHEN instr(substr($2, max($3, 1)), $1) > 0 THEN instr(substr($2, max($3, 1)), $1) + max($3, 1) - 1 "
     "ELSE 0 END",
     R::Int},
    {"REPLACE", 3, 3, F::Values, "replace($1, $2, $3)", R::ArgText},
    // hex(zeroblob(n)) is n pairs of '00', each replaced by the text; a negative count is NULL.
    // Both stop at 8,000 characters, as SQL Server's do for types other than varchar(max), so
    // no count makes the process allocate more.
    {"REPLICATE", 2, 2, F::Values,
     "CASE WHEN $2 < 0 THEN NULL ELSE substr(replace(hex(zeroblob(min($2, 8000 / max(length($1), 1) + 1))), '00', $1), "
     "1, 8000) END",
     R::ArgText, false, Rule::Replicate},
    {"SPACE", 1, 1, F::Values, "CASE WHEN $1 < 0 THEN NULL ELSE printf('%*s', min($1, 8000), '') END", R::VarChar},
    {"STR", 1, 3, F::Values, "ts_str($*)", R::VarChar},
    {"CHAR", 1, 1, F::Values, "CASE WHEN $1 BETWEEN 0 AND 255 THEN char($1) END", R::VarChar},  // else NULL
    {"ASCII", 1, 1, F::Values, "unicode($1)", R::Int},
    // numbers
    {"ABS", 1, 1, F::Values, "ts_abs($1)", R::ArgDecimal, true, Rule::Abs},
    {"ROUND", 2, 3, F::Values, "ts_round($*)", R::ArgDecimal, true},
    {"FLOOR", 1, 1, F::Values, "ts_floor($1)", R::ArgDecimal, true},
    {"CEILING", 1, 1, F::Values, "ts_ceiling($1)", R::ArgDecimal, true},
    {"LOG", 1, 1, F::Values, "ln($1)", R::Float},  // natural logarithm; SQLite's log() is base 10
    {"LOG", 2, 2, F::Values, "log($2, $1)", R::Float},
    {"LOG10", 1, 1, F::Values, "log10($1)", R::Float},
    {"EXP", 1, 1, F::Values, "exp($1)", R::Float},
    {"POWER", 2, 2, F::Values, "power($1, $2)", R::Float},
    {"SQRT", 1, 1, F::Values, "sqrt($1)", R::Float},
    {"SIGN", 1, 1, F::Values, "sign($1)", R::Arg},
    {"PI", 0, 0, F::Values, "pi()", R::Float},
};

bool SameName(std::string_view a, const char* upper) {
  size_t i = 0;
  for (; i < a.size() && upper[i] != '\0'; ++i) {
    const char c = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
    if (c != upper[i]) return false;
  }
  return i == a.size() && upper[i] == '\0';
}

}  // namespace

DatePart DatePartOf(std::string_view name) {
  struct Name {
    const char* name;
    DatePart part;
  };
  using P = DatePart;
  static constexpr Name kNames[] = {
      {"YEAR", P::Year},       {"YY", P::Year},
      {"YYYY", P::Year},       {"QUARTER", P::Quarter},
      {"QQ", P::Quarter},      {"Q", P::Quarter},
      {"MONTH", P::Month},     {"MM", P::Month},
      {"M", P::Month},         {"DAYOFYEAR", P::DayOfYear},
      {"DY", P::DayOfYear},    {"Y", P::DayOfYear},
      {"DAY", P::Day},         {"DD", P::Day},
      {"D", P::Day},           {"WEEK", P::Week},
      {"WK", P::Week},         {"WW", P::Week},
      {"WEEKDAY", P::Weekday}, {"DW", P::Weekday},
      {"W", P::Weekday},       {"HOUR", P::Hour},
      {"HH", P::Hour},         {"MINUTE", P::Minute},
      {"MI", P::Minute},       {"N", P::Minute},
      {"SECOND", P::Second},   {"SS", P::Second},
      {"S", P::Second},        {"MILLISECOND", P::Millisecond},
      {"MS", P::Millisecond},  {"ISO_WEEK", P::IsoWeek},
      {"ISOWK", P::IsoWeek},   {"ISOWW", P::IsoWeek},
  };
  for (const Name& n : kNames) {
    if (SameName(name, n.name)) return n.part;
  }
  return DatePart::Unknown;
}

std::vector<const Builtin*> FindBuiltins(std::string_view name) {
  std::vector<const Builtin*> rows;
  for (const Builtin& b : kBuiltins) {
    if (SameName(name, b.name)) rows.push_back(&b);
  }
  return rows;
}

const Builtin* ForCount(const std::vector<const Builtin*>& rows, int count) {
  for (const Builtin* b : rows) {
    if (count >= b->min_args && (b->max_args < 0 || count <= b->max_args)) return b;
  }
  return nullptr;
}

std::string ArgumentCountMessage(const std::vector<const Builtin*>& rows) {
  int lo = rows.front()->min_args, hi = rows.front()->max_args;
  for (const Builtin* b : rows) {
    lo = std::min(lo, b->min_args);
    hi = b->max_args < 0 || hi < 0 ? -1 : std::max(hi, b->max_args);
  }
  std::string name;
  for (const char* c = rows.front()->name; *c != '\0'; ++c) {
    name.push_back(*c >= 'A' && *c <= 'Z' ? static_cast<char>(*c - 'A' + 'a') : *c);
  }
  if (lo == hi) return "The " + name + " function requires " + std::to_string(lo) + " argument(s).";
  if (hi < 0) return "The " + name + " function requires at least " + std::to_string(lo) + " arguments.";
  return "The " + name + " function requires " + std::to_string(lo) + " to " + std::to_string(hi) + " arguments.";
}

std::string EmitBuiltin(const Builtin& row, const std::vector<std::string>& args, bool distinct) {
  std::string out;
  for (const char* p = row.emit; *p != '\0'; ++p) {
    if (p[0] == '$' && p[1] == '*') {
      if (distinct) out += "DISTINCT ";
      for (size_t i = 0; i < args.size(); ++i) out += (i ? ", " : "") + args[i];
      ++p;
    } else if (p[0] == '$' && p[1] >= '1' && p[1] <= '9') {
      const size_t i = static_cast<size_t>(p[1] - '1');
      if (i < args.size()) out += args[i];
      ++p;
    } else {
      out.push_back(*p);
    }
  }
  return out;
}

std::span<const Builtin> AllBuiltins() {
  return kBuiltins;
}

}  // namespace tsqlite
