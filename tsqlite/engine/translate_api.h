#pragma once
// The translator's interface: T-SQL to SQLite translation, a function from statement text (and
// the declared types of the columns some functions read) to SQLite text and parameters.
//
// Statements arrive as complete texts with their values pasted in. Parameterize() takes the
// literals out (as SQL Server's simple parameterization does), so that statements that differ only
// in their values share one shape; Translate() turns a shape into SQLite statements once, and the
// executor keeps the prepared statements per shape.
//
// Storage conventions shared with the executor:
// - A table S.T lives in the SQLite database as the table named "S.T" (schema and name joined by
//   a dot, one quoted identifier); an unqualified name belongs to schema dbo. Schemas created with
//   CREATE SCHEMA are listed in the table "tsqlite_schemas" (name TEXT PRIMARY KEY).
// - datetime values are stored as TEXT 'YYYY-MM-DD hh:mm:ss.fff'; int/smallint as INTEGER.
// - A CHECK the translator adds for the width of a char(n)/varchar(n) column is named
//   "tsqlite_len_<column>"; its failure is SQL Server's 8152.
// - A function registered by RegisterFunctions() that raises a SQL Server error reports it with
//   sqlite3_result_error() and a message "tsqlite:<native>:<SQL Server's message>", for example
//   "tsqlite:8134:Divide by zero error encountered."; the executor maps it to that native number.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "collation.h"
#include "lexer.h"

struct sqlite3;

namespace tsqlite {

// The largest text or binary value a statement may make (SQL Server's 7119 past it).
inline constexpr int kMaxValueBytes = 256 << 20;

struct Literal {
  enum class Kind { Integer, Real, Text, Null, Blob };
  Kind kind = Kind::Null;
  int64_t integer = 0;
  double real = 0;
  std::string text;  // for Text: the value with doubled quotes undone; for Blob: the bytes
};

// The statement text with its literals taken out, and the literals in order.
struct Shape {
  std::string key;  // cache key: the text with each literal replaced by a marker
  std::vector<Literal> literals;
  // The client's parameter markers ('?') in order: each is a literal slot (its index into
  // literals) that the caller fills with the bound value before the statement runs, so a bound
  // value is always bound to SQLite, never pasted into a text.
  std::vector<int> markers;
};

// Cheap, run for every statement executed.
void Parameterize(std::string_view tsql, Shape& out);

struct Statement {
  enum class Kind {
    Query,           // returns rows
    Write,           // INSERT, UPDATE, DELETE: the row count matters
    Ddl,             // CREATE/DROP/ALTER ...
    SetDateFirst,    // SET DATEFIRST n: date_first_param names the literal with n
    SetLockTimeout,  // SET LOCK_TIMEOUT n: date_first_param names the literal, negative when minus
    SetNoCount,      // SET NOCOUNT ON (on) or OFF
    NoOp,            // accepted and ignored (SET NOCOUNT ON, USE ..., ...)
    Print,           // PRINT expr: sql is a query of one value, handed to the client as a message
    Assign,          // SET @x = ..., SELECT @x = ...: sql's last row goes into the variables `assign`
    JumpIfNot,       // IF / WHILE: sql gives 1 when the condition holds; else go on at `jump`
    Jump,            // go on at `jump` (ELSE, the end of a WHILE body, BREAK, CONTINUE)
    Exec,            // EXEC (string), EXEC sp_executesql string: sql gives the string, run as a batch
  };
  Kind kind = Kind::NoOp;
  std::string sql;          // SQLite text; parameters written ?1, ?2, ... in order
  std::vector<int> params;  // for ?k, params[k-1] is the index into Shape::literals
  int date_first_param = -1;
  bool on = false;  // SetNoCount: ON; SetLockTimeout: the literal follows a minus sign; Exec: sp_executesql
  // Assign: the variable each result column goes into (its number in Translation::variables).
  std::vector<int> assign;
  size_t jump = 0;                   // JumpIfNot, Jump: the index of the statement to go on at
  bool is_update_or_delete = false;  // no row touched means SQL_NO_DATA
  Kw verb = Kw::None;                // the statement's first word (TRUNCATE: DELETE; none: None)
  std::string target;                // the table INSERT, UPDATE, DELETE write, as stored ("S.T")
  // A parameter that meets a column (compared with it, or written into it): the executor reads
  // the column's declared type from `sql` (a query whose result column `column` is that column)
  // and converts a text value to that type before binding it, as SQL Server converts a string to
  // the type of higher precedence: '20240615' against a datetime column is a date.
  struct Probe {
    int param = 0;    // k of ?k
    std::string sql;  // empty: ?k meets a datetime expression (CONVERT, DATEADD, ...)
    int column = 0;
    bool assigns = false;  // written into the column (INSERT, UPDATE SET), not compared with it
  };
  std::vector<Probe> probes;
  // ?k that are operands of arithmetic or of a CAST: a decimal literal bound to them keeps its
  // digits and scale (7.0 / 2 is 3.500000); elsewhere it is bound as a double.
  std::vector<int> exact;
  // Query: the type each result column is CAST or CONVERTed to (as declared, "DATETIME",
  // "DECIMAL(10,2)"), "" for other columns; a client is told that type, as for a table column.
  std::vector<std::string> column_types;
};

// A column of a table as the database declares it: its name and its T-SQL type, upper case
// ("NVARCHAR(10)", "DATETIME2(3)").
struct CatalogColumn {
  std::string name;
  std::string type;
  // A text column's collation as SQLite names it (collation.h: SqliteCollation(), or NOCASE or
  // RTRIM), where asked for; "" for a column of another type.
  std::string collation;
  bool operator==(const CatalogColumn&) const = default;
};

// What a view lets through to its table: INSERT, UPDATE and DELETE on a view of one table,
// without DISTINCT, GROUP BY or aggregates, write that table (refusal 0); any other view refuses
// them with SQL Server's error (4403, 4405 or 4406). CREATE VIEW records it.
struct UpdatableView {
  int refusal = 0;
  std::string base;  // the table as stored ("S.T")
  // Each column of the view in order with the table's column it shows; "" for a derived one.
  std::vector<std::pair<std::string, std::string>> columns;
  bool operator==(const UpdatableView&) const = default;
};

// The tables a translation may read the declared types of: a function's answer depends on its
// argument's type where the value alone does not tell (DATALENGTH of an nvarchar column, a
// datetime2(3) column cast to text, DATEADD of a varchar column, a varchar column written from an
// nvarchar one). The executor gives the connection's database.
class Catalog {
 public:
  virtual ~Catalog() = default;
  // The columns of table S.T (as stored) in order; empty when there is no such table. The
  // collations of its text columns cost a look-up each, made only when asked for.
  virtual std::vector<CatalogColumn> Columns(const std::string& table, bool collations) const = 0;
  // What the view S.T (as stored) lets through, or nothing when S.T is no view CREATE VIEW made.
  virtual std::optional<UpdatableView> View(const std::string& /*view*/) const { return std::nullopt; }
  // Whether a table may have a text column with a collation other than the database's (a COLLATE
  // clause of its own); only such a column can differ from another column. Asked at most once per
  // translation, where two columns are compared.
  virtual bool OwnCollations() const { return true; }
};

// The result of translating one shape: the statements of the batch in order, or an error in SQL
// Server's terms (102 Incorrect syntax near '...', 42000).
struct Translation {
  std::vector<Statement> statements;
  Kw verb = Kw::None;  // the first statement's verb, also when translation failed
  // The batch's local variables (DECLARE @x ...). They live in Shape::literals after the
  // statement's own literals: variable v is literals[literals.size() - variables + v], NULL until
  // set, and a statement reads it as a parameter like any literal.
  size_t variables = 0;
  int native_error = 0;
  std::string sqlstate;
  std::string message;
  // The tables whose columns the translation read from the catalog, as read: a translation kept
  // for later executions holds only while each still reads so (a table made or changed later, by
  // this batch or another connection, asks for a new one).
  struct TableRead {
    std::string table;
    std::vector<CatalogColumn> columns;
    bool collations = false;  // read with the collations of its text columns
  };
  std::vector<TableRead> tables_read;
  // The views written through, with what they let through as read: likewise.
  std::vector<std::pair<std::string, UpdatableView>> views_read;
  // Two columns are compared without their collations read, as no column had a collation of its
  // own (Catalog::OwnCollations): a table this connection makes or changes later asks for a new
  // translation, which reads them if one now has.
  bool plain_collations = false;
};

// Returns false (with the error filled in) when the batch cannot be translated. Text compares by
// the database's collation; column types are read from catalog where one is given (none: every
// column's type is unknown, and the functions go by the value).
bool Translate(const Shape& shape, Translation& out, Collation collation = Collation::Bin2Utf8,
               const Catalog* catalog = nullptr);

// True when SQLite reads sql as at most one statement with no comment in it: every quote is
// closed, and outside quotes there is no ';', '--' or '/*'. The translator checks every text it
// emits, so no value of a statement can end up outside its literal.
bool IsOneSqliteStatement(std::string_view sql);

}  // namespace tsqlite
