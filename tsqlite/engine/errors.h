#pragma once
// The errors the embedded database raises, in SQL Server's terms: one table, one row per error,
// giving its native number, SQLSTATE, severity and message. Every raise in the engine names a row
// (`Err`); the message's %s are filled in order by the arguments the raise gives, and their count
// is checked when the raise is compiled. Native numbers, severities and texts are SQL Server's
// (sys.messages; "Database engine events and errors" in its documentation); rows with native 0
// are the driver's own (the connection, a cancel, the spill file), which SQL Server never sends.
//
// A SQLite function of ours raises its error as the text "tsqlite:<native>:<message>"
// (RaiseError); the executor reads it back (DecodeRaised) and takes the SQLSTATE from the row.
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

struct sqlite3_context;

namespace tsqlite {

// One error or message in SQL Server's terms.
struct Error {
  std::string sqlstate;
  int native = 0;
  std::string message;
};

enum class Err : uint8_t {
  // the driver's own
  ConnectionNotOpen,
  ConnectFailed,
  CountFieldIncorrect,
  Message,
  QueryTimeout,
  Canceled,
  SpillFailed,
  Unmapped,
  // SQL Server's
  SyntaxError,
  CaseNestedTooDeeply,
  VariableDeclared,
  BreakOutsideLoop,
  ContinueOutsideLoop,
  MustDeclareVariable,
  AssignWithRetrieval,
  UnknownOption,
  ArgumentCount,
  ReturnValueHere,
  NestedTooDeeply,
  ScaleOverPrecision,
  UnknownFunction,
  InvalidColumn,
  InvalidObject,
  AmbiguousColumn,
  ValuesMismatch,
  ProcedureParameterType,
  NestLevel,
  SmallIntOverflow,
  DatetimeFromText,
  DatetimeOutOfRange,
  ConversionFailed,
  InvalidStyle,
  InvalidCollation,
  CollationConflict,
  NotNull,
  DatetimeOverflow,
  ExplicitConversion,
  DatediffOverflow,
  InvalidLength,
  Conflict,
  OutOfMemory,
  NumberOutOfRange,
  InvalidTop,
  LockTimeout,
  Duplicate,
  AlreadyExists,
  DateFirstRange,
  PrecisionOverMax,
  SchemaMissing,
  ProcedureMissing,
  Terminated,
  DropMissingView,
  DropWrongKind,
  ReadOnly,
  CannotOpenDatabase,
  ViewAggregates,
  ViewMultipleBases,
  ViewDerivedField,
  ViewColumnTwice,
  ValueTooLarge,
  VarcharToNumeric,
  ArithmeticOverflow,
  InvalidOperand,
  DivideByZero,
  Truncated,
  NoColumnName,
  MoreColumns,
  FewerColumns,
  NoQueryPlan,
  DatepartNotSupported,
  ValuesRowWidth,
  Deadlock,
  FileGroupFull,
  LogFull,
  End,  // one past the last row
};

struct ErrorRow {
  Err err;
  int native;
  const char* sqlstate;
  int severity;  // 0 for a message and the driver's own errors
  const char* text;
  bool terminates = false;  // SQL Server follows it with 3621 "The statement has been terminated."
};

inline constexpr std::array<ErrorRow, static_cast<size_t>(Err::End)> kErrors{{
    {Err::ConnectionNotOpen, 0, "08003", 0, "Connection not open."},
    {Err::ConnectFailed, 0, "08001", 0, "%s"},
    {Err::CountFieldIncorrect, 0, "07002", 0, "COUNT field incorrect or syntax error"},
    {Err::Message, 0, "01000", 0, "%s"},
    {Err::QueryTimeout, 0, "HYT00", 0, "Query timeout expired"},
    {Err::Canceled, 0, "HY008", 0, "Operation canceled"},
    {Err::SpillFailed, 0, "HY000", 0, "Cannot %s the rows of the result set: %s"},
    {Err::Unmapped, 0, "HY000", 0, "%s"},
    {Err::SyntaxError, 102, "42000", 15, "Incorrect syntax near '%s'."},
    {Err::CaseNestedTooDeeply, 125, "42000", 15, "Case expressions may only be nested to level 10."},
    {Err::VariableDeclared, 134, "42000", 15,
     "The variable name '%s' has already been declared. Variable names must be unique within a query batch or stored "
     "procedure."},
    {Err::BreakOutsideLoop, 135, "42000", 15, "Cannot use a BREAK statement outside the scope of a WHILE statement."},
    {Err::ContinueOutsideLoop, 136, "42000", 15,
     "Cannot use a CONTINUE statement outside the scope of a WHILE statement."},
    {Err::MustDeclareVariable, 137, "42000", 15, "Must declare the scalar variable \"%s\"."},
    {Err::AssignWithRetrieval, 141, "42000", 15,
     "A SELECT statement that assigns a value to a variable must not be combined with data-retrieval operations."},
    {Err::UnknownOption, 155, "42000", 15, "'%s' is not a recognized %s option."},
    {Err::ArgumentCount, 174, "42000", 15, "%s"},
    {Err::ReturnValueHere, 178, "42000", 15, "A RETURN statement with a return value cannot be used in this context."},
    {Err::NestedTooDeeply, 191, "42000", 15,
     "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller queries."},
    {Err::ScaleOverPrecision, 192, "42000", 16, "The scale must be less than or equal to the precision."},
    {Err::UnknownFunction, 195, "42000", 15, "'%s' is not a recognized built-in function name."},
    {Err::InvalidColumn, 207, "42S22", 16, "Invalid column name '%s'."},
    {Err::InvalidObject, 208, "42S02", 16, "Invalid object name '%s'."},
    {Err::AmbiguousColumn, 209, "42000", 16, "Ambiguous column name '%s'."},
    {Err::ValuesMismatch, 213, "21S01", 16,
     "Column name or number of supplied values does not match table definition."},
    {Err::ProcedureParameterType, 214, "42000", 16, "Procedure expects parameter '%s' of type '%s'."},
    {Err::NestLevel, 217, "42000", 16,
     "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit %s)."},
    {Err::SmallIntOverflow, 220, "22003", 16, "Arithmetic overflow error for data type %s, value = %s."},
    {Err::DatetimeFromText, 241, "22007", 16,
     "Conversion failed when converting date and/or time from character string."},
    {Err::DatetimeOutOfRange, 242, "22007", 16,
     "The conversion of a varchar data type to a %s data type resulted in an out-of-range value."},
    {Err::ConversionFailed, 245, "22018", 16,
     "Conversion failed when converting the varchar value '%s' to data type %s."},
    {Err::InvalidStyle, 281, "42000", 16,
     "%s is not a valid style number when converting from %s to a character string."},
    {Err::InvalidCollation, 448, "42000", 16, "Invalid collation '%s'."},
    {Err::CollationConflict, 468, "42000", 16,
     "Cannot resolve the collation conflict between \"%s\" and \"%s\" in the %s operation."},
    {Err::NotNull, 515, "23000", 16,
     "Cannot insert the value NULL into column '%s', table '%s'; column does not allow nulls. %s fails.", true},
    {Err::DatetimeOverflow, 517, "42000", 16, "Adding a value to a 'datetime' column caused an overflow."},
    {Err::ExplicitConversion, 529, "42000", 16, "Explicit conversion from data type %s to %s is not allowed."},
    {Err::DatediffOverflow, 535, "42000", 16,
     "The datediff function resulted in an overflow. The number of dateparts separating two date/time instances is too "
     "large. Try to use datediff with a less precise datepart."},
    {Err::InvalidLength, 536, "42000", 16, "Invalid length parameter passed to the %s function."},
    {Err::Conflict, 547, "23000", 16,
     "The %s statement conflicted with the %s constraint%s. The conflict occurred in database \"%s\"%s.", true},
    {Err::OutOfMemory, 701, "HY001", 17,
     "There is insufficient system memory in resource pool 'default' to run this query."},
    {Err::NumberOutOfRange, 1007, "42000", 15,
     "The number '%s' is out of the range for numeric representation (maximum precision 38)."},
    {Err::InvalidTop, 1014, "42000", 15, "A TOP or FETCH clause contains an invalid value."},
    {Err::LockTimeout, 1222, "HYT00", 16, "Lock request time out period exceeded."},
    {Err::Duplicate, 2627, "23000", 14, "Violation of %s constraint%s. Cannot insert duplicate key in object '%s'.",
     true},
    {Err::AlreadyExists, 2714, "42S01", 16, "There is already an object named '%s' in the database."},
    {Err::DateFirstRange, 2742, "42000", 16, "SET DATEFIRST %s is out of range. The valid values are 1 through 7."},
    {Err::PrecisionOverMax, 2750, "42000", 16,
     "Column or parameter #0: Specified column precision %s is greater than the maximum precision of 38."},
    {Err::SchemaMissing, 2760, "42000", 16,
     "The specified schema name \"%s\" either does not exist or you do not have permission to use it."},
    {Err::ProcedureMissing, 2812, "42000", 16, "Could not find stored procedure '%s'."},
    {Err::Terminated, 3621, "01000", 0, "The statement has been terminated."},
    {Err::DropMissingView, 3701, "42S02", 11,
     "Cannot drop the view '%s', because it does not exist or you do not have permission."},
    {Err::DropWrongKind, 3705, "42000", 16, "Cannot use DROP %s with '%s' because '%s' is a %s. Use DROP %s."},
    {Err::ReadOnly, 3906, "42000", 16, "Failed to update database \"%s\" because the database is read-only."},
    {Err::CannotOpenDatabase, 4060, "08004", 11,
     "Cannot open database \"%s\" requested by the login. The login failed."},
    {Err::ViewAggregates, 4403, "42000", 16,
     "Cannot update the view or function '%s' because it contains aggregates, or a DISTINCT or GROUP BY clause, or "
     "PIVOT or UNPIVOT operator."},
    {Err::ViewMultipleBases, 4405, "42000", 16,
     "View or function '%s' is not updatable because the modification affects multiple base tables."},
    {Err::ViewDerivedField, 4406, "42000", 16,
     "Update or insert of view or function '%s' failed because it contains a derived or constant field."},
    {Err::ViewColumnTwice, 4506, "42000", 16,
     "Column names in each view or function must be unique. Column name '%s' in view or function '%s' is specified "
     "more than once."},
    {Err::ValueTooLarge, 7119, "42000", 16, "Attempting to grow LOB beyond maximum allowed size of 2147483647 bytes."},
    {Err::VarcharToNumeric, 8114, "22018", 16, "Error converting data type varchar to numeric."},
    {Err::ArithmeticOverflow, 8115, "22003", 16, "Arithmetic overflow error converting %s to data type %s."},
    {Err::InvalidOperand, 8117, "42000", 16, "Operand data type %s is invalid for %s operator."},
    {Err::DivideByZero, 8134, "22012", 16, "Divide by zero error encountered."},
    {Err::Truncated, 8152, "22001", 16, "String or binary data would be truncated.", true},
    {Err::NoColumnName, 8155, "42000", 15, "No column name was specified for column 1 of '%s'."},
    {Err::MoreColumns, 8158, "42000", 16, "'%s' has more columns than were specified in the column list."},
    {Err::FewerColumns, 8159, "42000", 16, "'%s' has fewer columns than were specified in the column list."},
    {Err::NoQueryPlan, 8624, "42000", 16,
     "Internal Query Processor Error: The query processor could not produce a query plan."},
    {Err::DatepartNotSupported, 9810, "42000", 16,
     "The datepart %s is not supported by date function %s for data type %s."},
    {Err::ValuesRowWidth, 10709, "42000", 16,
     "The number of columns for each row in a table value constructor must be the same."},
    // A busy or full server's: the deadlock victim's (SQLSTATE 40001, as Microsoft's driver gives
    // it), a file group or the transaction log that can grow no more.
    {Err::Deadlock, 1205, "40001", 13,
     "Transaction (Process ID %s) was deadlocked on lock resources with another process and has been chosen as the "
     "deadlock victim. Rerun the transaction."},
    {Err::FileGroupFull, 1105, "42000", 17,
     "Could not allocate space for object '%s' in database '%s' because the 'PRIMARY' filegroup is full. Create disk "
     "space by deleting unneeded files, dropping objects in the filegroup, adding additional files to the filegroup, "
     "or setting autogrowth on for existing files in the filegroup."},
    {Err::LogFull, 9002, "42000", 17, "The transaction log for database '%s' is full due to '%s'."},
}};

constexpr const ErrorRow& RowOf(Err e) {
  return kErrors[static_cast<size_t>(e)];
}

// The number of %s in a message template.
constexpr int Placeholders(std::string_view text) {
  int n = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i) n += text[i] == '%' && text[i + 1] == 's' ? 1 : 0;
  return n;
}

constexpr bool RowsInOrder() {
  for (size_t i = 0; i < kErrors.size(); ++i) {
    if (static_cast<size_t>(kErrors[i].err) != i) return false;
  }
  return true;
}
static_assert(RowsInOrder(), "kErrors lists every Err once, in the order of the enum");

// The error of row e with its %s filled by args in order (any left over stay as %s).
Error MakeError(Err e, std::initializer_list<std::string_view> args);

// The same, with the number of arguments checked against the row's template when compiled.
template <Err E, typename... A>
Error Raised(const A&... args) {
  static_assert(Placeholders(RowOf(E).text) == sizeof...(A), "the arguments do not match the row's message");
  return MakeError(E, {std::string_view(args)...});
}

// The row of a native number (the first, where two share it); nullptr when none has it.
const ErrorRow* RowOfNative(int native);

// An error a SQLite function raised, or a translated statement named by its number (ts_error):
// SQLSTATE from the row of its number, 42000 where no row has it.
Error ErrorOfNative(int native, std::string message);

// The one encoding of an error a SQLite function of ours raises, and its reading back: false
// when text is not such an error.
void RaiseError(sqlite3_context* ctx, const Error& error);
bool DecodeRaised(std::string_view text, Error& out);

}  // namespace tsqlite
