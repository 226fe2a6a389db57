#pragma once
// The driver's ODBC handles. Every handle type derives from Handle, which owns the diagnostic
// records of the handle's last call; SetDiag records one and returns the call's result, so an
// error path is a single line.
#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <exception>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "executor.h"
#include "faults.h"
#include "sqlstate.h"

namespace tsqlite {

struct DiagRecord {
  std::string sqlstate;
  SQLINTEGER native = 0;
  std::string message;
};

struct Handle {
  explicit Handle(SQLSMALLINT t) : type(t) {}
  virtual ~Handle() = default;
  SQLSMALLINT type;
  std::vector<DiagRecord> diags;
  SQLLEN diag_row_count = 0;     // SQL_DIAG_ROW_COUNT of the last execution (statements)
  SQLINTEGER diag_function = 0;  // SQL_DIAG_DYNAMIC_FUNCTION_CODE (statements)
};

// Message prefix naming this driver as the component that reports.
inline constexpr const char* kMessagePrefix = "[tsqlite]";

// Records the driver's diagnostic on h, with its standard message or one that says more, and
// returns rc.
SQLRETURN SetDiag(Handle* h, SQLRETURN rc, Sqlstate state);
SQLRETURN SetDiag(Handle* h, SQLRETURN rc, Sqlstate state, const std::string& message);
// Records a diagnostic in SQL Server's terms (the engine's errors: their state, native number and
// message) on h and returns rc.
SQLRETURN SetDiag(Handle* h, SQLRETURN rc, const char* sqlstate, SQLINTEGER native, const std::string& message);
// Records the errors of a failed batch, in order.
SQLRETURN SetDiag(Handle* h, SQLRETURN rc, const std::vector<Error>& errors);
// The driver's diagnostic as an error record, with its standard message or one that says more.
inline Error ErrorOf(Sqlstate state) {
  return Error{RowOf(state).sqlstate, 0, RowOf(state).message};
}
inline Error ErrorOf(Sqlstate state, std::string message) {
  return Error{RowOf(state).sqlstate, 0, std::move(message)};
}
inline void ClearDiag(Handle* h) {
  h->diags.clear();
}

struct Dbc;
struct Stmt;

struct Env : Handle {
  Env() : Handle(SQL_HANDLE_ENV) {}
  SQLINTEGER odbc_version = SQL_OV_ODBC3;
  std::set<Dbc*> connections;
};

// Benchmark aid (DSN key CountFile): the statements a connection executed, the fetches of its
// lock-concurrency cursors and the statement texts a server would have compiled, kept current in a
// shared mapping of a small text file, so the figures are there even when the process is killed or
// never disconnects.
class CountFile {
 public:
  CountFile() = default;
  ~CountFile();
  CountFile(const CountFile&) = delete;
  CountFile& operator=(const CountFile&) = delete;
  bool Open(const std::string& path);
  void Statement() { ++statements_, Write(); }
  void Fetch() { ++fetches_, Write(); }
  // A server compiles every prepared text, and every directly executed text it has not seen
  // before; repeats of a text reuse its plan. Texts are told apart by a 64-bit hash.
  void Prepared() { ++compilations_, Write(); }
  void Direct(std::string_view text);

 private:
  void Write();
  char* map_ = nullptr;
  unsigned long long statements_ = 0;
  unsigned long long fetches_ = 0;
  unsigned long long compilations_ = 0;
  std::unordered_set<size_t> direct_texts_;
};

struct Dbc : Handle {
  explicit Dbc(Env* e) : Handle(SQL_HANDLE_DBC), env(e) {}
  Env* env;
  Database db;
  std::string dsn;
  std::string file;
  bool autocommit = true;
  SQLUINTEGER login_timeout = 0;
  SQLUINTEGER connection_timeout = 0;
  SQLUINTEGER access_mode = SQL_MODE_READ_WRITE;
  SQLUINTEGER txn_isolation = SQL_TXN_SERIALIZABLE;
  std::set<Stmt*> statements;
  // Benchmark aids: the delay a networked server's round trip would add to every statement and
  // to every fetch of a lock-concurrency (server) cursor (DSN key RoundTripMicros), and the counts.
  long round_trip_us = 0;
  std::unique_ptr<CountFile> counts;
  void RoundTrip() const;
  // Test aids: write statements that fail as a busy server's, triggers' row counts.
  Faults faults;
};

struct Desc : Handle {
  Desc(Stmt* s, bool row) : Handle(SQL_HANDLE_DESC), stmt(s), row_desc(row) {}
  Stmt* stmt;
  bool row_desc;
};

// A column bound with SQLBindCol.
struct Binding {
  SQLSMALLINT c_type = 0;
  SQLPOINTER target = nullptr;
  SQLLEN buffer_length = 0;
  SQLLEN* indicator = nullptr;
};

// A parameter bound with SQLBindParameter: the application's buffer, its C type, and the SQL type
// the value is to have.
struct ParamBinding {
  bool bound = false;
  SQLSMALLINT c_type = SQL_C_DEFAULT;
  SQLSMALLINT sql_type = SQL_VARCHAR;
  SQLULEN size = 0;
  SQLSMALLINT digits = 0;
  SQLPOINTER value = nullptr;
  SQLLEN buffer_length = 0;
  SQLLEN* indicator = nullptr;
};

// A statement waiting for data at execution (SQLParamData/SQLPutData): its text, the row of
// parameter values it has reached, the values of that row so far, and which parameters still
// want their data; with an array of rows, what the rows before have given.
struct PendingExecution {
  bool active = false;
  std::string text;
  size_t count = 0;  // parameter markers in text
  SQLULEN row = 0;   // the row of the array being run
  SQLULEN rows = 1;
  bool gathered = false;  // values and wanted hold row `row`
  Batch all;              // the result sets of the rows run so far (arrays only)
  int64_t affected = -1;
  bool only_counts = true;
  std::vector<Literal> values;
  std::vector<size_t> wanted;  // parameter indices (0-based) in the order they are asked
  size_t next = 0;             // wanted[next - 1] is the one SQLPutData fills
  std::string data;            // the bytes put so far for it
  bool null = false;
  bool put = false;
};

// How far SQLGetData has read the value of one column: the units handed out, and the value as
// UTF-16 when it is read as SQL_C_WCHAR, converted once so that reading in pieces stays linear.
struct GetDataState {
  size_t offset = 0;
  bool wide_ready = false;
  std::u16string wide;
  void Reset() {
    offset = 0;
    wide_ready = false;
    wide.clear();
  }
};

// SQL type of a result column as ODBC describes it.
struct ColumnType {
  SQLSMALLINT sql_type = SQL_VARCHAR;
  SQLULEN size = 0;
  SQLSMALLINT digits = 0;
  SQLLEN display_size = 0;
  const char* type_name = "varchar";
};

struct Stmt : Handle {
  explicit Stmt(Dbc* d)
      : Handle(SQL_HANDLE_STMT), dbc(d), ard(this, true), apd(this, false), ird(this, true), ipd(this, false) {}
  Dbc* dbc;
  Desc ard, apd, ird, ipd;
  std::vector<Binding> bindings;     // index 0 is column 1
  std::vector<ParamBinding> params;  // index 0 is parameter 1
  SQLULEN paramset_size = 1;         // SQL_ATTR_PARAMSET_SIZE: rows of parameter values
  SQLULEN param_bind_type = SQL_PARAM_BIND_BY_COLUMN;
  SQLULEN* params_processed = nullptr;
  SQLUSMALLINT* param_status = nullptr;
  SQLULEN* param_bind_offset = nullptr;
  PendingExecution pending;

  std::string prepared_text;
  bool prepared = false;
  bool described = false;  // description holds the prepared statement's columns
  Result description;

  Batch batch;              // the results of the last execution
  size_t result_index = 0;  // the result set the cursor is on
  // An error that follows the batch's results (a trigger's, after the write's row count): the
  // call that moves past the last result fails with it.
  std::vector<Error> error_after;
  bool executed = false;
  bool cursor_open = false;
  // Set while SQLExecute/SQLExecDirect runs; SQLCancel from another thread then sets cancel,
  // which stops the statement at its next progress check.
  std::atomic<bool> running{false};
  std::atomic<bool> cancel{false};
  std::vector<ColumnType> types;  // of the current result set
  size_t row = 0;                 // 1-based position of the cursor; 0 before the first row
  // SQLGetData on the current row: the column last read and how much of it was handed out.
  SQLUSMALLINT getdata_column = 0;
  GetDataState getdata;

  // Statement attributes that are kept and reported back.
  SQLULEN cursor_type = SQL_CURSOR_FORWARD_ONLY;
  SQLULEN concurrency = SQL_CONCUR_READ_ONLY;
  SQLULEN scrollable = SQL_NONSCROLLABLE;
  SQLULEN sensitivity = SQL_UNSPECIFIED;
  SQLULEN query_timeout = 0;
  SQLULEN max_rows = 0;
  SQLULEN max_length = 0;
  SQLULEN noscan = SQL_NOSCAN_OFF;
  SQLULEN retrieve_data = SQL_RD_ON;
  SQLULEN* rows_fetched = nullptr;
  SQLUSMALLINT* row_status = nullptr;

  // The result set the cursor is on; before execution, the prepared statement's description.
  const Result* Current() const {
    if (executed) return result_index < batch.results.size() ? &batch.results[result_index] : nullptr;
    return prepared && described ? &description : nullptr;
  }
};

// Handle validation: the driver manager checks handles before calling, so these only guard
// against null.
template <typename T>
T* As(SQLHANDLE h) {
  return static_cast<T*>(reinterpret_cast<Handle*>(h));
}

template <typename T>
constexpr SQLSMALLINT kHandleType = 0;
template <>
inline constexpr SQLSMALLINT kHandleType<Env> = SQL_HANDLE_ENV;
template <>
inline constexpr SQLSMALLINT kHandleType<Dbc> = SQL_HANDLE_DBC;
template <>
inline constexpr SQLSMALLINT kHandleType<Stmt> = SQL_HANDLE_STMT;

// Records the failure of a call that threw (message: nullptr for the standard one); never throws
// itself, even when out of memory.
SQLRETURN Failed(Handle* h, Sqlstate state, const char* message = nullptr) noexcept;

// The exception barrier of every exported function: nothing unwinds into the caller, which is C.
// An allocation failure is HY001, any other exception HY000, recorded on h when it is not null.
template <typename Body>
SQLRETURN Barrier(Handle* h, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return Failed(h, Sqlstate::MemoryAllocation);
  } catch (const std::exception& e) {
    return Failed(h, Sqlstate::GeneralError, e.what());
  } catch (...) {
    return Failed(h, Sqlstate::GeneralError);
  }
}

// The entry of an exported function on one kind of handle: a null handle or one of another kind
// is SQL_INVALID_HANDLE; the diagnostics of the handle's previous call are dropped; body runs
// behind the exception barrier.
template <typename T, typename Body>
SQLRETURN Guarded(SQLHANDLE handle, Body&& body) noexcept {
  Handle* h = As<Handle>(handle);
  if (h == nullptr || h->type != kHandleType<T>) return SQL_INVALID_HANDLE;
  ClearDiag(h);
  return Barrier(h, [&] { return body(static_cast<T*>(h)); });
}

// Copies a text into an ODBC output buffer, cut and terminated; SQL_SUCCESS_WITH_INFO with 01004
// on h when cut (h may be null). length receives the full length.
SQLRETURN PutString(Handle* h, const std::string& text, SQLCHAR* buffer, SQLLEN buffer_length, SQLSMALLINT* length16,
                    SQLINTEGER* length32 = nullptr);

// The same for a UTF-16 output buffer of a W call: text (UTF-8) converted, capacity and lengths
// counted in bytes when bytes is set, else in characters; a surrogate pair is never cut.
SQLRETURN PutWide(Handle* h, const std::string& text, SQLWCHAR* out, SQLLEN capacity, bool bytes, SQLSMALLINT* len16,
                  SQLINTEGER* len32);

// Text argument of an ODBC call: (pointer, length or SQL_NTS).
std::string ArgString(const SQLCHAR* text, SQLINTEGER length);

}  // namespace tsqlite
