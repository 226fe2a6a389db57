#pragma once
// Execution of T-SQL batches on one SQLite database: the layer below the ODBC handles.
//
// Every statement is run to its end at once and its rows are kept in memory, so no SQLite
// statement stays pending between calls: a write in autocommit mode commits when it returns, and a
// caller may hold any number of result sets while it runs other statements. Translations and
// prepared SQLite statements are kept per statement shape, so a shape seen before costs no parse.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "collation.h"
#include "errors.h"
#include "function_table.h"
#include "statement_cache.h"
#include "integer_types.h"
#include "translate_api.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tsqlite {

struct Value {
  enum class Type : uint8_t { Null, Integer, Real, Text, Blob };
  Type type = Type::Null;
  int64_t integer = 0;
  double real = 0;
  std::string text;  // Text: UTF-8; Blob: the bytes
};

struct Column {
  std::string name;
  std::string declared_type;  // as written in the table definition; empty for expressions
  std::string table;          // the table a plain column comes from, "" otherwise
  // A plain column of a table: whether it refuses NULL (SQLDescribeCol's nullability); unknown
  // for expressions.
  enum class Nulls : uint8_t { Unknown, Allowed, Refused } nulls = Nulls::Unknown;
};

// Where the rows of a large result set wait: a table of the connection's spill database (rowid =
// row number from 1). It goes when the last result holding it is gone.
struct Spill {
  std::string table;
};

// The outcome of one statement of a batch: rows (a query) or a count of rows touched (-1 when no
// count applies).
struct Result {
  bool has_rows = false;
  std::vector<Column> columns;
  std::vector<Value> cells;  // row after row, columns.size() values each, from row `first` on
  size_t rows = 0;
  int64_t affected = -1;
  // A result set of more than kWindowCells values keeps only a window of its rows in cells; the
  // rest is read from the spill table a window at a time (Database::Window).
  std::shared_ptr<Spill> spill;
  size_t first = 0;  // 0-based row number of cells' first row
  // What the spilled rows held, per column, so that a column is described by all its values.
  struct Seen {
    bool any_int = false, any_real = false, any_text = false, any_blob = false, wide = false;
    size_t width = 0;  // the longest text
    // The texts that are decimals (in the engine's form): most digits before and after the
    // point; a column of only such texts (and ints) is described as numeric.
    bool any_plain_text = false;
    int decimal_integral = 0, decimal_scale = -1;
    void NoteText(std::string_view text);
  };
  std::vector<Seen> seen;
};

// Values held in memory per result set; beyond it the rows are spilled. A person cursor over a
// whole company thus costs the same memory for a thousand persons as for a hundred thousand.
constexpr size_t kWindowCells = 4096;

struct Batch {
  std::vector<Result> results;
  std::vector<Error> errors;    // filled when the batch failed
  std::vector<Error> messages;  // PRINT's texts (01000), in order, when it succeeded
  bool no_data = false;         // the batch's last write was an UPDATE/DELETE that touched no row
  Kw verb = Kw::None;           // the first statement's first word (None when unknown)
};

struct Settings {
  std::string file;     // the SQLite database file
  bool create = false;  // create the file when it is missing (else error 4060)
  int date_first = 7;   // 1 = Monday ... 7 = Sunday, as SET DATEFIRST
  bool synchronous_full = false;
  int lock_timeout_ms = 5000;  // how long a write waits for another connection's lock; -1 without end
  bool nocount = false;        // the session starts as under SET NOCOUNT ON
  // The collation a new file gets (empty: Latin1_General_CI_AS); an existing file keeps its own.
  std::string collation;
};

// What may end a running statement early: a time limit (SQL_ATTR_QUERY_TIMEOUT, in seconds, 0 for
// none) and a flag another thread sets (SQLCancel).
struct Limits {
  unsigned long timeout_seconds = 0;
  const std::atomic<bool>* cancel = nullptr;
};

class Database {
 public:
  Database();
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  bool Open(const Settings& settings, Error& error);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }

  // Runs a batch to its end. On failure the results are dropped and batch.errors says why: a
  // batch stopped by its time limit fails with HYT00, one cancelled with HY008.
  // params holds the values bound to the statement's parameter markers ('?'), in order; fewer
  // values than markers fail with 07002.
  bool Execute(std::string_view tsql, Batch& batch, const Limits& limits = Limits(),
               const std::vector<Literal>* params = nullptr);
  // The parameter markers ('?') of a text, as Execute counts them.
  size_t Markers(std::string_view tsql);

  // Makes row (0-based) of a spilled result available in result.cells; its values then start at
  // cells[(row - result.first) * columns]. False when the spill table cannot be read.
  bool Window(Result& result, size_t row, Error& error);

  // The columns the batch's first result set will have, without running it (none for a batch
  // that returns no rows).
  bool Describe(std::string_view tsql, Result& result, std::vector<Error>& errors);

  // For each parameter marker of the batch, the declared type of the column it meets (compared
  // with, inserted into or assigned to; "DATETIME" for a datetime expression), "" when none.
  std::vector<std::string> DescribeMarkers(std::string_view tsql);

  // Manual commit mode: the first statement after a commit or rollback opens a transaction.
  void SetManualCommit(bool manual) { manual_commit_ = manual; }
  bool InTransaction() const;
  bool EndTransaction(bool commit, Error& error);

  // Catalog: the tables and their columns, as SQLTables and SQLColumns list them. Patterns are
  // LIKE patterns; an empty pattern matches everything.
  bool Tables(const std::string& schema, const std::string& table, Batch& batch);
  bool Columns(const std::string& schema, const std::string& table, const std::string& column, Batch& batch);
  // SQLPrimaryKeys and SQLStatistics: the key's columns; the indexes (only the unique ones when
  // unique_only) and their columns. The table is named exactly, not by pattern.
  bool PrimaryKeys(const std::string& schema, const std::string& table, Batch& batch);
  bool Statistics(const std::string& schema, const std::string& table, bool unique_only, Batch& batch);

  int DateFirst() const { return date_first_; }
  // SET LOCK_TIMEOUT: milliseconds a statement waits for another connection's lock, -1 without end.
  void SetLockTimeout(int milliseconds);
  int LockTimeout() const { return lock_timeout_ms_; }
  // SET NOCOUNT ON: writes report no row counts.
  bool NoCount() const { return nocount_; }
  // The file's collation: chosen when it was made; files made before collations are binary.
  Collation TextCollation() const { return collation_; }
  const std::string& Name() const { return name_; }

 private:
  struct Prepared;
  struct Entry;

  // The translation of a shape, kept alive by its holder while a batch run from EXEC evicts it.
  std::shared_ptr<Entry> Lookup(const Shape& shape);
  bool Prepare(Entry& entry, size_t index, Batch& batch);
  bool Run(Entry& entry, size_t index, const Shape& shape, Batch& batch);
  bool RetryWithWriteLock(Entry& entry, size_t index, const Shape& shape, Batch& batch);
  // Runs the batch whose shape (literals filled in) is given, statement by statement; depth is the
  // nesting level of an EXEC of a string (0 for a client's batch).
  bool RunBatch(Shape& shape, Batch& batch, int depth);
  // EXEC of a string (script.cpp): the string's value, run as a batch of its own.
  bool RunText(Entry& entry, size_t index, const Shape& shape, Batch& batch, int depth);
  // Runs an assignment or a jump of a script (script.cpp); next is the index of the statement the
  // batch goes on at. A jump back first checks the time limit and SQLCancel, so that no loop
  // outlives them, however little work each turn does.
  bool RunScript(Entry& entry, const Translation& translation, size_t index, Shape& shape, Batch& batch, size_t& next);
  // HYT00 or HY008 in batch.errors when the batch's time is up or it was cancelled.
  bool Interrupted(Batch& batch);
  Error StoppedError() const;
  // What a text value bound to a parameter becomes, by the column the parameter meets.
  struct ParamRule {
    bool datetime = false;   // converted to a datetime (241 when it is none)
    bool date_only = false;  // a date column: the converted datetime's date part
    // A datetime2, smalldatetime or time column: converted to that type, scale digits of the second.
    Temporal temporal = Temporal::None;
    int scale = 0;
    bool integer = false;                          // converted to an int (245 when it is none)
    IntegerType integer_type = IntegerType::None;  // written into an integer or bit column: its range
    int width = 0;                                 // a char/varchar(n): blanks past n are cut
    int decimal_precision = 0;                     // a decimal(p, s) column: p, and s in decimal_scale
    int decimal_scale = 0;
    bool assigns = false;  // written into the column: a decimal is brought to its scale (8115)
    // Written into a char/varchar/text column of a code page 1252 file: a character outside the
    // code page is replaced, and the width counts characters.
    bool code_page = false;
  };
  bool Step(sqlite3_stmt* stmt, const Statement& statement, const Shape& shape, Batch& batch,
            const std::vector<ParamRule>* rules = nullptr);
  static int BindDecimal(sqlite3_stmt* stmt, int k, const Literal& lit, const ParamRule& rule, Batch& batch);
  // Records SQLite's last error in SQL Server's terms; statement (when known) gives the verb and
  // target table the messages name.
  void Fail(int rc, const Statement* statement, Batch& batch);
  bool Exec(const char* sql, Error& error);
  bool Catalog(const char* sql, const std::vector<std::string>& patterns, Batch& batch);
  sqlite3_stmt* StartSpill(Result& result, int ncols, Batch& batch);
  bool EndSpill(sqlite3_stmt* insert, bool commit, Batch& batch);
  void SpillFailed(Batch& batch);
  void DropSpills();
  static int Progress(void* self);

  // The limits of the batch that runs, read by Progress() while SQLite works on it.
  enum class Stop { None, Timeout, Cancel };
  const std::atomic<bool>* cancel_ = nullptr;
  std::chrono::steady_clock::time_point deadline_{};
  bool has_deadline_ = false;
  Stop stopped_ = Stop::None;

  // ODBC lets an application use one connection's statements from several threads; the
  // statement cache and the SQLite connection are used by one call at a time.
  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  // The last value an INSERT gave an IDENTITY column: on the connection (@@IDENTITY) and in the
  // batch that runs (SCOPE_IDENTITY()); has_ says whether there is one. Read by ts_identity().
  using Identity = IdentityValues;
  Identity identity_;
  // @@ROWCOUNT: the rows the last statement returned, assigned or wrote.
  int64_t row_count_ = 0;
  void NoteIdentity(const std::string& table);
  int date_first_ = 7;
  int lock_timeout_ms_ = 5000;
  bool nocount_ = false;
  Collation collation_ = Collation::Bin2Utf8;
  StatementCache statement_cache_;
  bool manual_commit_ = false;
  std::string name_;  // the database's name in messages: the file name without folder
  std::unordered_map<std::string, std::shared_ptr<Entry>> cache_;
  // The catalog's query of a table's columns, kept prepared: translations that read column types
  // are checked against it at every execution.
  sqlite3_stmt* table_info_ = nullptr;
  // A shape that failed to translate is not cached: its error names the values of the statement
  // at hand, so it is translated again for every statement of that shape.
  std::shared_ptr<Entry> failed_;
  Shape shape_;  // reused for every statement to keep its buffers
  // The shapes of texts with parameter markers, by their text. A prepared statement's text is the
  // same at every execution; lexing it again (a multi-row write has thousands of markers) cost
  // as much as executing it. Texts without markers carry their values and are not kept.
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::unordered_map<std::string, Shape, TextHash, std::equal_to<>> marked_;
  void Keep(std::string_view tsql, const Shape& shape);
  // A private temporary database of SQLite's own (a file it removes when closed), opened at the
  // first spill. Its tables are no part of db_'s schema: creating one while a query runs would
  // otherwise abort that query as soon as it opens another table (a UNION's next SELECT), and
  // make every prepared statement of the connection prepare again.
  sqlite3* spill_db_ = nullptr;
  // Spill tables made by this connection; dropped once no result holds them.
  std::vector<std::pair<std::string, std::weak_ptr<Spill>>> spills_;
  uint64_t spill_count_ = 0;
};

}  // namespace tsqlite
