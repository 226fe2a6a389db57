#pragma once
// The one ODBC connection of a run and the statement patterns every generator routine follows.
//
// A statement routine is three things: its statement text (a printf-style format kept in the
// routine, exactly as the system sends it), the layout of its columns, and the copy of the column
// buffers into its record. The patterns here do everything else: handles, execution, binding,
// fetching, result codes, diagnostic capture and releasing the handle on every path.
#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// Result codes of statement routines.
constexpr int DB_OK = 0;        // success (SQL_SUCCESS_WITH_INFO counts as success for queries)
constexpr int DB_INFO = 1;      // a write that succeeded with information
constexpr int DB_NODATA = 100;  // no (more) rows; an UPDATE that touched no row
constexpr int DB_FAIL = -1;

// Connects to the data source with user and password. 0 when connected, -1 on failure.
int Db_Connect(const char* user, const char* password, const char* dsn);

// The diagnostic record of the last failed statement.
struct DiagSatz {
  char state[256];
  char text[1000];
  int32_t native;
};
// Diagnostic capture: reads record 1 of the handle's diagnostics into the process-wide record.
SQLRETURN Db_Diag_Get(SQLSMALLINT handle_type, SQLHANDLE handle, DiagSatz* record);
const DiagSatz& Db_Diag();
void Db_Diag_Clear();

// One value pasted into a statement text: a text (for %s) or an integer (for %d and %ld).
class SqlArg {
 public:
  SqlArg(const char* text) : text_(text ? text : ""), is_text_(true) {}
  SqlArg(const std::string& text) : text_(text), is_text_(true) {}
  SqlArg(std::string_view text) : text_(text), is_text_(true) {}
  SqlArg(int value) : number_(value) {}
  SqlArg(long value) : number_(value) {}
  bool IsText() const { return is_text_; }
  std::string_view Text() const { return text_; }
  long Number() const { return number_; }

 private:
  std::string_view text_;
  long number_ = 0;
  bool is_text_ = false;
};

// Formats a statement text. %s takes a text argument with every single quote doubled (the SQL
// rule for a quote inside a literal), so that a value such as a name with an apostrophe is stored
// as it is instead of changing its statement; %d and %ld take integers; %% is a percent sign.
// The client schema is checked by the driver before it is ever pasted, so it passes unchanged.
// A format whose conversions do not match the arguments gives an empty text, which fails.
std::string Db_Format(const char* fmt, std::initializer_list<SqlArg> args);

// A column of a statement: SQL_C_CHAR into a text buffer of `size` bytes (terminator included)
// or SQL_C_LONG into a 32-bit integer. Buffers are cleared before they are bound.
struct DbCol {
  SQLSMALLINT c_type;
  void* buffer;
  SQLLEN size;
};
inline DbCol Db_Text(char* buffer, SQLLEN size) { return {SQL_C_CHAR, buffer, size}; }
inline DbCol Db_Long(int32_t* value) { return {SQL_C_LONG, value, sizeof(int32_t)}; }

// A cursor's handle slot: empty when no handle is held.
struct DbCursor {
  SQLHSTMT stmt = SQL_NULL_HSTMT;
};

// Cursor pattern. Open: 0 or -1 (SQL_SUCCESS_WITH_INFO counts as 0); a failed execution captures
// the diagnostics and empties the slot. Fetch: 0 with the columns filled, 100 at the end, -1 on
// failure or on an empty slot (a failed fetch captures, frees and empties the slot). Close: 0 for
// an empty slot, else the result of freeing the handle.
int Db_Cursor_Open(DbCursor& slot, const std::string& statement);
int Db_Cursor_Fetch(DbCursor& slot, std::initializer_list<DbCol> cols);
int Db_Cursor_Close(DbCursor& slot);

// Single-shot query pattern: executes, fetches at most one row into the columns. Returns the
// fetch code (0, 100, -1); -1 also when the execution failed (diagnostics captured). The columns
// hold meaningful values only on 0.
int Db_Query_One(const std::string& statement, std::initializer_list<DbCol> cols);

// Single-shot write pattern: the execution code as the driver returned it (0, 1, 100 for an
// UPDATE that touched no row, -1). On -1 the diagnostics are captured, and when passthrough is not
// 0 and the server's native error equals it, that native code is returned instead of -1.
int Db_Write(const std::string& statement, int passthrough = 0);

// Variant fallback: which of its two statement texts a routine uses.
enum class DbVariant { First, Second };

// Runs a routine's statement under its variant flag: the first variant while the flag names it;
// when that fails with the switch code as the server's native error, the flag moves to the second
// variant for the rest of the run and the second variant runs at once, in the same call. Any
// other failure of the first variant returns its code and leaves the flag.
template <class Run>
int Db_Variant_Run(DbVariant& flag, int switch_code, Run run) {
  if (flag == DbVariant::First) {
    Db_Diag_Clear();
    int r = run(DbVariant::First);
    if (r != DB_FAIL || Db_Diag().native != switch_code) return r;
    flag = DbVariant::Second;
  }
  return run(DbVariant::Second);
}
