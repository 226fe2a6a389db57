#pragma once
// The translator's class, the parser shared by the files that hold its parts: translate_entry.cpp
// (tokens, errors, output, names), translate_dml.cpp (SET, INSERT, UPDATE, DELETE),
// translate_select.cpp (queries), translate_expr.cpp (expressions), translate_functions.cpp
// (types, CAST, CONVERT, function calls), translate_ddl.cpp (CREATE, DROP, ALTER) and
// translate_script.cpp (variables, control flow). Not part of the engine's interface, which is
// translate_api.h.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "builtins.h"
#include "errors.h"
#include "sql_type.h"
#include "lexer.h"
#include "translate_api.h"

namespace tsqlite {

// Raw text that is not T-SQL outside a literal ('?' is a parameter marker of ODBC, which this
// driver does not take); written into the key as a byte the translator refuses, so that it can
// never be confused with a literal marker.
constexpr char kForeignByte = '\x01';
constexpr char kMarker = '?';

// A token of the shape key as the parser reads it.
struct Token {
  Tok type = Tok::End;
  std::string_view text;  // Quoted: without the brackets/quotes; String: with its quotes
  int literal = -1;       // Param: index into Shape::literals
  bool national = false;  // N'...', or a marker that stands for one
  Kw kw = Kw::None;       // Word: its keyword code
};

// A name quoted for SQLite.
std::string QuoteName(std::string_view name);

// Two names alike but for case, as SQL Server's catalog compares them.
bool SameName(std::string_view a, std::string_view b);

// A schema-qualified object: the schema as written (dbo when none) and the object's name.
struct ObjectName {
  std::string schema;
  std::string name;
  std::string Stored() const { return schema + "." + name; }  // the SQLite table's name
  std::string Quoted() const { return QuoteName(Stored()); }
  // A #name is the connection's own: created in SQLite's temp database, which goes with the
  // connection and which SQLite searches first for an unqualified name.
  bool Temporary() const { return !name.empty() && name[0] == '#'; }
  std::string Created() const { return (Temporary() ? "temp." : "") + Quoted(); }
};

// An expression as written for SQLite, with what the translator knows of its T-SQL type. The
// rules that depend on an operand's type (a datetime parameter, a decimal compared as a number,
// DATALENGTH of an nvarchar) read these fields, never the SQLite text.
struct Expr {
  Expr() = default;
  // Text of a type not tracked (a condition, a CASE, a call of SQLite's own).
  Expr(std::string text) : sql(std::move(text)) {}  // NOLINT(google-explicit-constructor)

  std::string sql;
  // The T-SQL type (a literal's, a conversion's, a function's result); Kind::Unknown when not
  // known here.
  SqlType type;
  // How the value is held at run time: a datetime in its storage form computed by a function of
  // ours (GETDATE, DATEADD, CONVERT to datetime), or a number that may be an exact decimal held as
  // text (arithmetic, SUM, ROUND, a conversion to decimal), which compares as a number via ts_num.
  enum class Held { Plain, Datetime, Decimal } held = Held::Plain;
  int param = 0;        // k of a lone parameter ?k, 0 for anything else
  bool column = false;  // a column reference: [table.]column
  // A column's qualifier ("" for none) and name as written; for a value computed from one column
  // without a type of its own (UPPER(col), MAX(col), ISNULL(col, 0), (col)), that column, which
  // gives the value its type and collation. Both are read from the catalog only where a rule needs
  // them (Translator::TypeOf, ColumnCollation): a cached statement that read a table's columns
  // checks them again at every execution.
  std::string qualifier, name;
  // The value is text made from that column's value: the column's type when it is text, else
  // varchar (UPPER, LEFT, REPLACE of it).
  bool text_of = false;
  // A concatenation of values without a type of their own (n + v, UPPER(n) + v): the columns they
  // are or follow, as [qualifier, name]. The value is nvarchar when one of them is (National); the
  // catalog is read for that only where a rule asks, so a sum of columns reads nothing elsewhere.
  std::vector<std::pair<std::string, std::string>> joined;
  // The collation a COLLATE clause names for the value, as SQLite names it (collation.h); the
  // clause is in `sql`, so SQLite compares by it. "" when no clause decides.
  std::string collation;
  // The type is one a conversion or a variable declares, which a client is told as it stands; any
  // other type here is that of the value, its width not known.
  bool declared = false;
  bool number = false;  // a number literal of digits (and a point)
  bool null = false;    // the literal NULL
};

class Translator {
 public:
  Translator(const Shape& shape, Translation& out, Collation collation, const Catalog* catalog)
      : shape_(shape), out_(out), collation_(collation), catalog_(catalog) {}

  bool Run();

 private:
  // ---- tokens ----

  bool Tokenize();
  const Token& Peek(size_t ahead = 0) const;
  bool IsOp(std::string_view op, size_t ahead = 0) const;
  bool IsWord(Kw kw, size_t ahead = 0) const;
  bool AcceptOp(std::string_view op);
  bool AcceptWord(Kw kw);
  bool ExpectOp(std::string_view op) { return AcceptOp(op) || Fail(); }
  bool ExpectWord(Kw kw) { return AcceptWord(kw) || Fail(); }

  // ---- errors ----

  // Every recursive step of the parser (a nested expression, subquery, sign or NOT) holds one
  // of these; past kMaxNesting levels the statement fails with SQL Server's 191 instead of
  // running the process out of stack, whatever the size of the text.
  static constexpr int kMaxNesting = 128;
  struct Nesting {
    explicit Nesting(Translator& t) : translator(t) {
      if (++translator.nesting_ > kMaxNesting) translator.FailNesting();
    }
    ~Nesting() { --translator.nesting_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;
    Translator& translator;
  };

  // An error of SQL Server's other than a syntax error (195, 174, ...); returns "" for the
  // expression being built.
  std::string FailWith(Error error);

  void FailNesting() { FailWith(Raised<Err::NestedTooDeeply>()); }

  // SQL Server names the token it stumbled on; a literal shows its value.
  bool Fail();
  bool FailAt(std::string_view near);

  // ---- output ----

  std::string Param(int literal);
  int ParamOf(int literal);  // k of the literal's ?k
  void Emit(Statement::Kind kind, std::string sql, bool update_or_delete = false);

  // A column, alias or other simple name, quoted only where SQLite needs it.
  static std::string Name(const Token& t);
  static std::string RawName(const Token& t);
  bool IsNameToken(size_t ahead = 0) const;
  bool ExpectName(Token& t);

  // [server.][database.][schema.]object
  bool ParseObjectName(ObjectName& obj);

  // ---- statements ----

  void OneStatement();
  // ---- scripts (translate_script.cpp): variables and control flow ----
  // One statement of a batch, a control-flow statement or a BEGIN ... END block included.
  void ScriptStatement();
  void Declare();
  void SetVariable();
  void If();
  void While();
  void Block();
  void LoopExit(bool is_break);
  void Return();
  void Execute();
  // The statements that test `condition`; returns the index of the JumpIfNot to patch.
  size_t EmitCondition(const std::string& condition);
  size_t EmitJump(size_t target);
  // A variable used in an expression: its parameter ("?k"); 137 when it was not declared.
  Expr Variable(const Token& t);
  // The variable's number; -1 (failed with 137 or 102) when it is not a declared one.
  int FindVariable(const Token& t);
  // SELECT's `@x = expression` item: the expression converted to @x's type; the variable's number
  // is added to assigns_.
  bool IsAssignment() const;
  std::string AssignItem();
  void Set();
  void Insert();

  // The target carries its own name as alias, so that Table.Column and Schema.Table.Column work.
  void Update();
  void Delete();

  // ---- queries ----

  // SELECT ... [UNION [ALL] SELECT ...] [ORDER BY ...], TOP n as LIMIT.
  std::string QueryExpression();
  std::string SelectCore(std::string* limit);
  // One item with its alias; its fields are those of the item's expression.
  Expr SelectItem();
  // The type a client is told for a select item: a declared one (a conversion's, a variable's) as
  // declared, varchar(max) as VARCHAR; "N" for other nvarchar text, its width read from the values;
  // "" where the values tell.
  static std::string ItemType(const Expr& item);
  std::string FromList();

  // A table is always given an alias, its own name unless the statement names one, so that
  // columns qualified with the table's name or its schema-qualified name resolve.
  std::string TableSource();
  std::string JoinedTable();
  bool AtParenthesizedJoin() const;
  std::vector<std::vector<std::string>> ValuesRows();
  std::string ValuesTable(const std::string& alias, const std::vector<std::vector<std::string>>& rows);

  // ---- expressions ----

  Expr Expression();
  // A search condition of WHERE, HAVING, ON or CASE WHEN, where a row or branch is taken only
  // when the condition is TRUE: FALSE and UNKNOWN act alike there.
  Expr Condition();

  // A chain of terms joined by one operator, grouped as a balanced tree: SQLite's parser and its
  // expression depth limit see log(n) levels, so conditions of thousands of OR terms still run.
  // AND and OR are associative in three-valued logic and the terms keep their order.
  static std::string Chain(const std::vector<Expr>& terms, size_t lo, size_t hi, const char* op);
  Expr OrExpr();
  Expr AndExpr();
  Expr NotExpr();
  Expr Predicate();
  static bool IsNumberText(std::string_view s);
  // Notes that the parameter `value` (if it is one) meets `column` (a column of the current
  // query's tables, or a datetime expression), so that the executor converts a text bound to it.
  void Meets(const Expr& column, const Expr& value, bool assigns = false);
  // A datetime expression written into a column: converted at run time when the column is a
  // datetime2, smalldatetime or time (ts_fit_datetime), as SQL Server converts it.
  static std::string FitDatetime(const Expr& value, const ObjectName& table, const std::string& column);
  // An operand of arithmetic or CAST: a decimal literal there is bound exactly.
  void Exact(const Expr& operand);
  // A value compared with another: a decimal computed by the engine's functions (a text) as a
  // number SQLite orders with other numbers.
  static std::string Comparable(const Expr& e);
  // A value written into column `column` (a name, or a 0-based position when empty) of the target:
  // a computed decimal is brought to the column's type as SQL Server converts it on assignment.
  std::string Assigned(const Expr& value, const std::string& column, int position);
  // The declared type of the target's column `column` (or at `position` when empty); Kind::Unknown
  // when not known.
  SqlType TargetColumnType(const std::string& column, int position);
  // A text type that holds code page 1252 in this database.
  bool CodePageText(const SqlType& type) const;

  // + and - depend on the operands' run-time types (datetime arithmetic, concatenation).
  Expr Additive();
  static Expr ArithmeticChain(const std::vector<Expr>& terms, const std::vector<bool>& minus);
  Expr Multiplicative();
  Expr Unary();
  Expr Primary();
  Expr Case();

  // A type as CONVERT, CAST, DECLARE and a column definition name it, read by ParseSqlType; a
  // uniqueidentifier is its text form, 36 characters.
  bool ParseType(SqlType& type);
  // A conversion to char/varchar (any text type, uniqueidentifier): the value's own type decides
  // its text.
  static bool ToText(const SqlType& type);
  // typed_source: the value's type (value.type) decides the text of a conversion to char/varchar;
  // false where the value is a variable's or a column default's.
  Expr Convert(const SqlType& type, const Expr& value, const std::string& style, bool typed_source = false);
  std::string ConvertSql(const SqlType& type, const Expr& source, const std::string& style, bool typed_source);

  // A date part named by a word (day, dd, weekday, ...), passed to the ts_* functions as text.
  std::string DatePartName(std::string_view function);

  // A built-in function call, name and '(' next: read as its row in the function table says.
  Expr Function();

  // ---- DDL ----

  // CREATE TABLE in a schema other than dbo fails as on SQL Server when the schema is unknown;
  // schemas are listed in tsqlite_schemas.
  void EnsureSchemaTable();
  static std::string SqlString(std::string_view s);
  void RequireSchema(const std::string& schema);
  void Create();

  // Index names are unique per table on SQL Server but per database in SQLite.
  static std::string IndexName(const ObjectName& table, const std::string& index);
  void CreateIndex(bool unique);

  // (col [ASC|DESC], ...)
  std::string IndexColumns(bool with_order);

  // WITH (...) and ON [filegroup] after a table or an index: storage details without meaning here.
  void SkipStorageOptions();

  // The SQLite column type with the additions that give SQL Server's behaviour: text compares
  // without regard to trailing blanks, a char/varchar width refuses longer values (8152), and a
  // datetime column only takes values in the storage form.
  void ColumnType(const std::string& column, SqlType type, Collation collation, std::string& decl, std::string& checks);
  std::string WidthCheck(const std::string& column, const SqlType& type, Collation collation);

  // REFERENCES table [(cols)] [ON DELETE|UPDATE action]
  std::string References();

  // DEFAULT value: a constant, parenthesised as SQL Server scripts write it ((0), ('x'),
  // (getdate())); returned without the word DEFAULT, a plain literal for ADD COLUMN.
  std::string DefaultValue(bool for_add_column);

  // One column definition: name type [constraints]
  std::string ColumnDefinition(bool for_add_column);

  // [CONSTRAINT name] PRIMARY KEY|UNIQUE (cols) | FOREIGN KEY (cols) REFERENCES ... | CHECK (expr)
  bool IsTableConstraint() const;
  std::string TableConstraint();
  void CreateTable();
  void CreateView(bool alter);
  void DropView();
  // ---- writes through views (translate_views.cpp) ----
  static std::string RowidsView(const ObjectName& view);
  UpdatableView ViewFacts(size_t start, size_t end, const std::vector<std::string>& names);
  void RecordView(const ObjectName& view, const UpdatableView& facts, const std::string& query);
  void ForgetView(const ObjectName& view);
  std::optional<UpdatableView> ViewWritten(const ObjectName& target);
  std::string ViewColumn(const UpdatableView& view, const ObjectName& target, const std::string& name);
  static ObjectName ViewBase(const UpdatableView& view);
  void DeleteThroughView(const ObjectName& target, const UpdatableView& view);
  void UpdateThroughView(const ObjectName& target, const UpdatableView& view);
  void Drop();
  void Alter();
  const Shape& shape_;
  Translation& out_;
  Collation collation_;     // the database's: text columns and comparisons without their own take it
  const Catalog* catalog_;  // nullptr: no column's type is known
  std::vector<Token> tokens_;
  size_t pos_ = 0;
  bool failed_ = false;
  // The outermost SELECT of a query records the type of each of its items (ItemType).
  bool record_items_ = false;
  // The seed of the IDENTITY column of the table being created; 0 when it has none.
  long identity_seed_ = 0;
  // The columns a PRIMARY KEY (...) of the table being created names.
  std::vector<std::string> key_columns_;
  // SELECT ... INTO table: the table the outermost SELECT creates; empty name when none.
  ObjectName into_;
  std::vector<std::string> item_types_;
  // The tables a query names after its FROM, found from pos_ (at its first select item) without
  // parsing: its items come before its FROM, and a function among them may need a column's type.
  struct Source {
    std::string alias;  // as the query names the table (its own name when it gives no alias)
    std::string table;  // as stored ("S.T"); "" for a derived table or VALUES
  };
  std::vector<Source> ScanSources() const;
  // The tables of one query, known while its expressions are read.
  struct Scope {
    Scope(Translator& t, std::vector<Source> sources) : translator(t) {
      translator.scopes_.push_back(std::move(sources));
    }
    ~Scope() { translator.scopes_.pop_back(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    Translator& translator;
  };
  std::vector<std::vector<Source>> scopes_;  // the tables of each query around the current expression
  // e's type; for a column or a value that follows one, from the column's declared type in the
  // catalog (Kind::Unknown when unknown).
  SqlType TypeOf(const Expr& e);
  // Whether e is nvarchar: its type, or that of a column it is, follows or is joined from.
  bool National(const Expr& e);
  // The collation of the column e is or follows, from the catalog; "" for other values, a column
  // that is not text, or one not known.
  std::string ColumnCollation(const Expr& e);
  // Column [qualifier.]name among the tables of the queries around it, innermost first, as the
  // catalog has it; an empty one when no table or more than one has it, or it may come from a
  // derived table.
  CatalogColumn ColumnOf(std::string_view qualifier, std::string_view name, bool collations = false);
  // The collation a comparison of l and r names after it: "" where SQLite takes an operand's own
  // (a column's declared one, a COLLATE clause); else that of the column an operand follows, or
  // the database's.
  std::string ComparedBy(const Expr& l, const Expr& r);
  // SQL Server's 468: l and r are columns, or follow columns, of different collations, and no
  // COLLATE clause decides between them. `op` is the comparison as written.
  bool CollationsConflict(const Expr& l, const Expr& r, std::string_view op);
  int own_collations_ = -1;  // Catalog::OwnCollations(), once asked; -1 before
  // An operand of BETWEEN or IN other than a column: SQLite takes a COLLATE on the left operand
  // for the whole comparison; a binary file keeps SQLite's default here, as it always did.
  std::string Collated(const Expr& e, const std::string& sql);
  // The columns of a table from the catalog, read once per translation (again when the collations
  // are asked for later) and recorded in out_.
  const std::vector<CatalogColumn>& TableColumns(const std::string& table, bool collations = false);
  int nesting_ = 0;
  // What the predicate being parsed decides, seen from the search condition around it: 1 when
  // only TRUE counts (FALSE and UNKNOWN act alike), -1 under an odd number of NOTs (only FALSE
  // counts), 0 where every value counts (a value, a CHECK constraint).
  int truth_ = 0;
  int case_depth_ = 0;  // CASE expressions around the one being parsed
  Kw verb_ = Kw::None;  // of the statement being parsed
  std::string target_;  // the table it writes, as stored; "" for none
  std::vector<int> params_;
  // For each literal of the shape, its k in ?k (0: not a parameter yet); a 1,000-row INSERT has
  // some 15,000 literals, so Param() must not search params_.
  std::vector<int> param_of_literal_;
  std::vector<int> exact_;
  // Parameters that meet a column, and the tables the current query reads ("FROM ..." as
  // emitted), from which the column's type is read.
  std::vector<Statement::Probe> probes_;
  std::string from_;
  // The batch's variables in the order declared; a variable's number is its index.
  struct Var {
    std::string name;  // as declared, @ included
    SqlType type;
  };
  std::vector<Var> vars_;
  std::vector<int> assigns_;  // the variables the outermost SELECT's items assign, in order
  // The WHILE loops around the statement being read: where each begins (its condition) and its
  // BREAKs, which go on after the loop once its end is known.
  struct Loop {
    size_t start = 0;
    std::vector<size_t> breaks;
  };
  std::vector<Loop> loops_;
  std::vector<size_t> returns_;  // the jumps of RETURN, to the batch's end once it is known
};

}  // namespace tsqlite
