#pragma once
// The ODBC connection of a run and the statement patterns every generator routine follows.
//
// A statement routine is three things: its statement text (a printf-style format kept in the
// routine, exactly as the system sends it, checked against its arguments when planex is built),
// the layout of its columns, and the copy of the column buffers into its record. The patterns here
// do everything else: handles, execution, binding, fetching, result codes, a failure's diagnostic
// and releasing every handle on every path. Before a statement executes, a run that SIGINT or SIGTERM
// has asked to stop throws RunInterrupted instead (common/interrupt.h).
#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "common/format.h"

// Result codes of statement routines, as the run log prints them ("RC:%d"). They are the system's
// own numbers: the patterns below map every ODBC return code onto them (db.cpp, Db_Code), so that
// no routine hands on an SQLRETURN.
constexpr int DB_OK = 0;        // success (SQL_SUCCESS_WITH_INFO counts as success for queries)
constexpr int DB_INFO = 1;      // a write that succeeded with information
constexpr int DB_NODATA = 100;  // no (more) rows; an UPDATE that touched no row
constexpr int DB_FAIL = -1;     // failed; any other return code of the driver counts as this

// The rows of a write that succeeded on a server that does not say how many (SET NOCOUNT ON, set
// by the session or by the server's 'user options'): unknown, never taken for any number.
constexpr long DB_ROWS_UNKNOWN = -2;

// SQL Server's numbers for a statement refused by locks (chosen as deadlock victim; waited longer
// than the session's LOCK_TIMEOUT), which the server asks to run again, and for a database that
// can take no writes (its data file group or its transaction log is full).
constexpr int32_t kDbDeadlock = 1205;
constexpr int32_t kDbLockTimeout = 1222;
constexpr int32_t kDbDataFull = 1105;
constexpr int32_t kDbLogFull = 9002;

// The diagnostic record of a failed statement.
struct DiagSatz {
  char state[256];
  char text[1000];
  int32_t native;
};
// Reads record 1 of the handle's diagnostics into record.
SQLRETURN Db_Diag_Get(SQLSMALLINT handle_type, SQLHANDLE handle, DiagSatz* record);

// What a statement pattern gives: its result code and, when the statement failed, why (record 1
// of its diagnostics: native code, SQLSTATE, text; all empty otherwise). Statement routines
// return it as they got it, up to the routine that logs the failure, which hands it over with
// its error line (Run_Error in db/run_context.h); one that decides on the failure (a variant
// fallback, a refused statement against an empty answer) reads diag.
struct DbResult {
  int code = DB_OK;
  DiagSatz diag{};
  // NOLINTNEXTLINE(google-explicit-constructor): routines return and log the code
  operator int() const { return code; }
};

// True when the server refused the statement by its locks: a deadlock victim or a lock wait that
// ran out. Such a statement changed nothing and may run again.
inline bool Db_Lock_Refused(const DbResult& r) {
  return r.code != DB_OK && r.code != DB_INFO && r.code != DB_NODATA &&
         (r.diag.native == kDbDeadlock || r.diag.native == kDbLockTimeout);
}

// Statements the server refused by its locks and that were run again, by reason.
struct DbRetries {
  long deadlock = 0;
  long lock_timeout = 0;
};

// Thrown before a statement once the database is plainly blocked: so many statements in a row
// were refused by locks, after their retries, or a write found the disk full. failure is the
// refusal that decided it. Every statement before has been committed on its own; a later run goes
// on from there.
struct RunBlocked {
  DbResult failure;
};

// How the run retries a statement refused by locks and when it calls the database blocked: a
// statement runs at most 1 + kDbRetries times, pausing kDbRetryPauseMs, twice that, four times
// that (each plus up to as much again at random, so that two runs refused together do not meet
// again); kDbBlockedAfter statements in a row refused after their retries stop the run. With a
// lock wait of 1 s, a database write-locked for a whole run thus stops it within a minute.
constexpr int kDbRetries = 3;
constexpr int kDbRetryPauseMs = 50;
constexpr int kDbBlockedAfter = 5;

// One connection: its environment and connection handles. Disconnects and frees both handles
// when it goes out of scope, on every path. It keeps no diagnostics: every pattern below gives
// its statement's failure back with its result code, and the routine that writes the error line
// hands it on with the line (Run_Error in db/run_context.h).
class DbConnection {
 public:
  DbConnection() = default;
  ~DbConnection() { Disconnect(); }
  DbConnection(const DbConnection&) = delete;
  DbConnection& operator=(const DbConnection&) = delete;

  // Connects to the data source with user and password: 0 when connected, else -1 with why the
  // driver manager or the driver refused (IM002 for an unknown data source, the server's login
  // failure, ...).
  DbResult Connect(const char* user, const char* password, const char* dsn);
  // Disconnects and frees the handles; safe to call more than once.
  void Disconnect();
  SQLHDBC Handle() const { return hdbc_; }

  // The statement handle prepared with text on this connection: prepared at the first call, the
  // same handle at every later one, so that the server compiles the text once per connection.
  // SQL_NULL_HSTMT when no handle could be allocated or the text was refused (then why in *diag);
  // the next call tries again.
  SQLHSTMT Prepared(const std::string& text, DiagSatz* diag);
  // Statement texts prepared so far.
  std::size_t PreparedCount() const { return prepared_.size(); }

  // Sets the session's lock wait (SET LOCK_TIMEOUT) in milliseconds: -1 waits as long as the
  // server does, 0 does not wait. 0 (DB_OK) or the failure.
  DbResult SetLockTimeout(long milliseconds);

  // Runs attempt (one execution of a statement, giving its DbResult) and again while the server
  // refuses it by its locks, at most kDbRetries times more, with a short growing pause before
  // each; then notes how it ended for Blocked. write: the statement writes (a write that succeeds
  // shows that the database takes writes again).
  template <class Attempt>
  DbResult Retried(bool write, Attempt attempt) {
    for (int retry = 0;; ++retry) {
      DbResult r = attempt();
      if (retry == kDbRetries || !Db_Lock_Refused(r)) {
        Note(r, write);
        return r;
      }
      Pause(retry, r.diag.native);
    }
  }
  // Counts a retry of work refused by locks (a statement, or a person's batched writes run
  // again) and pauses the retry'th pause (from 0).
  void Pause(int retry, int32_t native);
  // Notes how a statement ended, after its retries.
  void Note(const DbResult& r, bool write);
  // The statements retried so far, by reason.
  const DbRetries& Retries() const { return retries_; }
  // The refusal that shows the database blocked; code DB_OK while it is not.
  const DbResult& Blocked() const { return blocked_; }
  // Throws RunBlocked when the database is blocked, once the run sequence is ready to catch it
  // (StopWhenBlocked); before, a blocked database's statements fail as any other.
  void CheckBlocked() const {
    if (stop_when_blocked_ && blocked_.code != DB_OK) throw RunBlocked{blocked_};
  }
  void StopWhenBlocked() { stop_when_blocked_ = true; }

 private:
  // A prepared statement handle, freed with its connection.
  struct PreparedStmt {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    PreparedStmt() = default;
    PreparedStmt(const PreparedStmt&) = delete;
    PreparedStmt& operator=(const PreparedStmt&) = delete;
    ~PreparedStmt() {
      if (stmt != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }
  };
  std::map<std::string, std::unique_ptr<PreparedStmt>, std::less<>> prepared_;
  SQLHENV henv_ = SQL_NULL_HENV;
  SQLHDBC hdbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  DbRetries retries_;
  int refused_in_row_ = 0;  // statements refused by locks since the last write that succeeded
  DbResult blocked_;
  bool stop_when_blocked_ = false;
  std::minstd_rand jitter_{std::random_device{}()};
};

// Db_Format without the argument types: the texts and the numbers each in the order of their
// conversions. A format that does not fit them gives an empty text, which fails as a statement.
std::string Db_FormatArgs(const char* fmt, std::span<const std::string_view> texts, std::span<const long> numbers);

namespace db_detail {
inline std::string_view TextOf(std::string_view text) {
  return text;
}
inline std::string_view TextOf(const char* text) {
  return text != nullptr ? text : "";
}
template <class T>
constexpr bool IsText() {
  using D = std::remove_cv_t<std::decay_t<T>>;
  return !std::is_same_v<D, int> && !std::is_same_v<D, long>;
}
}  // namespace db_detail

// Formats a statement text. %s takes a text argument with every single quote doubled (the SQL
// rule for a quote inside a literal), so that a value such as a name with an apostrophe is stored
// as it is instead of changing its statement; %d takes an int, %ld a long; %% is a percent sign.
// The client schema is checked by the run sequence before it is ever pasted, so it passes
// unchanged. A format whose conversions do not match the arguments does not build.
template <class... Args>
std::string Db_Format(FormatFor<Args...> fmt, const Args&... args) {
  std::string_view texts[sizeof...(Args) + 1] = {};
  long numbers[sizeof...(Args) + 1] = {};
  std::size_t t = 0, n = 0;
  [[maybe_unused]] auto put = [&](const auto& arg) {
    if constexpr (db_detail::IsText<decltype(arg)>()) {
      texts[t++] = db_detail::TextOf(arg);
    } else {
      numbers[n++] = arg;
    }
  };
  (put(args), ...);
  return Db_FormatArgs(fmt.c_str(), std::span<const std::string_view>(texts, t), std::span<const long>(numbers, n));
}

// A column of a statement: SQL_C_CHAR into a text buffer of `size` bytes (terminator included)
// or SQL_C_LONG into a 32-bit integer. Buffers are cleared before they are bound.
struct DbCol {
  SQLSMALLINT c_type;
  void* buffer;
  SQLLEN size;
  SQLLEN* indicator = nullptr;  // its own length/NULL indicator; none: one shared by the columns
};
inline DbCol Db_Text(char* buffer, SQLLEN size, SQLLEN* indicator = nullptr) {
  return {SQL_C_CHAR, buffer, size, indicator};
}
inline DbCol Db_Long(int32_t* value, SQLLEN* indicator = nullptr) {
  return {SQL_C_LONG, value, sizeof(int32_t), indicator};
}

// Cursor pattern: a cursor owns its statement handle and frees it when closed or when it goes out
// of scope. Open: 0 or -1 (SQL_SUCCESS_WITH_INFO counts as 0); a failed execution leaves the
// cursor closed; one refused by locks runs again (DbConnection::Retried), as do the single-shot
// queries and the range reads' executions. Fetch: 0 with the columns filled, 100 at the end, -1 on failure (then
// closed) or on a closed cursor, which runs nothing and so has no diagnostic: where an open goes unreported, the line
// of the fetch after it gives the open's. Close: 0 for a closed cursor, else the result of freeing the handle.
class DbCursor {
 public:
  explicit DbCursor(DbConnection& db) : db_(db) {}
  ~DbCursor() { Close(); }
  DbCursor(const DbCursor&) = delete;
  DbCursor& operator=(const DbCursor&) = delete;

  DbResult Open(const std::string& statement);
  DbResult Fetch(std::initializer_list<DbCol> cols);
  int Close();
  bool IsOpen() const { return stmt_ != SQL_NULL_HSTMT; }

 private:
  DbResult OpenOnce(const std::string& statement);
  DbConnection& db_;
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
  SQLLEN indicator_ = 0;
};

// The next row of a cursor whose fetch the server may refuse by its locks. A deadlock victim's or
// a lock wait's fetch ends the cursor (the server ends its batch), so it is opened again after the
// last row the caller has done (reopen) and fetched again, as a refused statement runs again: at
// most kDbRetries times, after a growing pause. The rest of the range is thus still read. fetch
// gives the cursor's next row; the answer is the last fetch's, or the failed re-open's.
template <class Fetch, class Reopen>
DbResult Db_Fetch_Resumed(DbConnection& db, Fetch fetch, Reopen reopen) {
  DbResult r = fetch();
  for (int retry = 0; retry < kDbRetries && Db_Lock_Refused(r); ++retry) {
    db.Pause(retry, r.diag.native);
    if (DbResult opened = reopen(); opened.code != DB_OK) return opened;
    r = fetch();
  }
  db.Note(r, false);
  return r;
}

// Single-shot query pattern: executes, fetches at most one row into the columns. Returns the
// fetch code (0, 100, -1); -1 also when the execution failed. The columns hold meaningful values
// only on 0.
DbResult Db_Query_One(DbConnection& db, const std::string& statement, std::initializer_list<DbCol> cols);

// Single-shot write pattern: the execution code as the driver returned it (0, 1, 100 for an
// UPDATE that touched no row, -1). Every result the statement returns is read: one that fails
// (a trigger that raised an error after the write's row count; the server has rolled the write
// back) fails the write with its own diagnostic. On failure, when passthrough is not 0 and the
// server's native error equals it, that native code is returned instead of -1. A write refused by
// locks runs again (DbConnection::Retried). When the write succeeds (0 or 1), *rows (where given)
// is set to the rows it touched, its own row count, the first result's (DB_ROWS_UNKNOWN where the
// server does not say); otherwise to -1. A write whose own count is 0 gives 100, also where the
// driver said SQL_SUCCESS.
DbResult Db_Write(DbConnection& db, const std::string& statement, int passthrough = 0, long* rows = nullptr);

// A parameter of a prepared statement: a text (SQL_C_CHAR to a varchar), a 32-bit integer
// (SQL_C_LONG to an int), or NULL of either. length is the text's bytes or SQL_NULL_DATA; ODBC
// reads it at the execution, so the parameters must live until the call returns.
struct DbParam {
  SQLSMALLINT c_type;
  const void* value;
  SQLLEN length;
};
inline DbParam Db_Param(std::string_view text) {
  return {SQL_C_CHAR, text.data() != nullptr ? text.data() : "", static_cast<SQLLEN>(text.size())};
}
inline DbParam Db_Param(const char* text) {
  return Db_Param(std::string_view(text != nullptr ? text : ""));
}
inline DbParam Db_Param(const int32_t& number) {
  return {SQL_C_LONG, &number, 0};
}
inline DbParam Db_Param_Null(SQLSMALLINT c_type) {
  return {c_type, nullptr, SQL_NULL_DATA};
}

// The prepared forms of the patterns above: the statement text holds ? where a value goes, is
// prepared once per connection (DbConnection::Prepared) and executed with the parameters in the
// order of their markers. Results and diagnostics as the unprepared pattern gives them.
DbResult Db_Prepared_Write(DbConnection& db, const std::string& text, std::vector<DbParam>& params, int passthrough = 0,
                           long* rows = nullptr);
DbResult Db_Prepared_One(DbConnection& db, const std::string& text, std::vector<DbParam>& params,
                         std::initializer_list<DbCol> cols);
DbResult Db_Prepared_Rows(DbConnection& db, const std::string& text, std::vector<DbParam>& params,
                          std::initializer_list<DbCol> cols, const std::function<void()>& on_row);

// Rows of one statement of a multi-row write in a few fixed shapes: the smallest of 8, 64 and
// largest that takes the rows left, else largest. A statement of fewer rows is filled up with
// rows of NULLs that its text leaves out, so that the server compiles three texts, not one per
// count of rows.
std::size_t Db_Chunk_Rows(std::size_t left, std::size_t largest);

// Variant fallback: which of its two statement texts a routine uses.
enum class DbVariant { First, Second };

// Runs a routine's statement under its variant flag: the first variant while the flag names it;
// when that fails with the switch code as the server's native error, the flag moves to the second
// variant for the rest of the run and the second variant runs at once, in the same call. Any
// other failure of the first variant returns its result and leaves the flag. run gives the
// DbResult of the variant's statement.
template <class Run>
DbResult Db_Variant_Run(DbVariant& flag, int switch_code, Run run) {
  if (flag == DbVariant::First) {
    DbResult r = run(DbVariant::First);
    if (r.code != DB_FAIL || r.diag.native != switch_code) return r;
    flag = DbVariant::Second;
  }
  return run(DbVariant::Second);
}

// Statement texts that share a part, joined when planex is built: .text is a followed by b.
template <std::size_t A, std::size_t B>
struct DbJoinedText {
  char text[A + B - 1];
};
template <std::size_t A, std::size_t B>
consteval DbJoinedText<A, B> Db_Text_Join(const char (&a)[A], const char (&b)[B]) {
  DbJoinedText<A, B> out{};
  for (std::size_t i = 0; i + 1 < A; ++i) out.text[i] = a[i];
  for (std::size_t i = 0; i < B; ++i) out.text[A - 1 + i] = b[i];
  return out;
}

// A statement text of a routine with a variant fallback, written once: the parts between '{' and
// '}' belong to the first variant only and are left out of the second. Made when planex is built;
// .text is the statement text of the variant.
template <std::size_t N>
struct DbVariantText {
  char text[N];
};
template <std::size_t N>
consteval DbVariantText<N> Db_Variant_Text(const char (&marked)[N], DbVariant variant) {
  DbVariantText<N> out{};
  std::size_t o = 0;
  bool optional = false;
  for (std::size_t i = 0; i + 1 < N; ++i) {
    if (marked[i] == '{' || marked[i] == '}') {
      optional = marked[i] == '{';
      continue;
    }
    if (!optional || variant == DbVariant::First) out.text[o++] = marked[i];
  }
  return out;
}
