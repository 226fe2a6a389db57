// The translator's scripts: local variables (DECLARE, SET @x, SELECT @x = ...), control flow
// (IF ... ELSE, WHILE with BREAK and CONTINUE, BEGIN ... END) and EXEC of a string.
//
// A variable is a value of the batch kept after the shape's literals (Translation::variables), so
// a statement reads it as a bound parameter and no value ever becomes SQL text. It is NULL until
// assigned, and every assignment converts the value to the declared type as CAST does (an int
// given '12' holds 12, a varchar(3) keeps three characters). A variable is known from its
// DECLARE to the end of the batch, whatever the control flow, as on SQL Server.
//
// Control flow becomes a flat list of statements with jumps: IF c S1 ELSE S2 is
// [JumpIfNot c -> L1] S1 [Jump -> L2] L1: S2 L2:, and WHILE c S is L0: [JumpIfNot c -> L1] S
// [Jump -> L0] L1:. The executor checks the time limit and SQLCancel at every jump back.
#include <string>
#include <string_view>

#include "translator_class.h"

namespace tsqlite {

void Translator::ScriptStatement() {
  Nesting nesting(*this);
  if (failed_) return;
  const Token& first = Peek();
  const bool transaction = IsWord(Kw::Begin) && (IsWord(Kw::Tran, 1) || IsWord(Kw::Transaction, 1));
  const bool control = IsWord(Kw::Declare) || IsWord(Kw::If) || IsWord(Kw::While) || IsWord(Kw::Break) ||
                       IsWord(Kw::Continue) || IsWord(Kw::Return) || (IsWord(Kw::Begin) && !transaction) ||
                       (IsWord(Kw::Set) && Peek(1).type == Tok::Variable);
  if (!control) {
    OneStatement();
  } else {
    verb_ = first.kw;
    target_.clear();
    if (out_.statements.empty() && out_.verb == Kw::None) out_.verb = verb_;
    if (AcceptWord(Kw::Declare)) {
      Declare();
    } else if (AcceptWord(Kw::Set)) {
      SetVariable();
    } else if (AcceptWord(Kw::If)) {
      If();
    } else if (AcceptWord(Kw::While)) {
      While();
    } else if (AcceptWord(Kw::Break)) {
      LoopExit(true);
    } else if (AcceptWord(Kw::Continue)) {
      LoopExit(false);
    } else if (AcceptWord(Kw::Return)) {
      Return();
    } else {
      Block();
    }
  }
  AcceptOp(";");
}

// DECLARE @a type [= value] [, @b type [= value]] ...
void Translator::Declare() {
  for (;;) {
    const Token name = Peek();
    if (name.type != Tok::Variable || (name.text.size() >= 2 && name.text[1] == '@')) return (void)Fail();
    ++pos_;
    for (const Var& v : vars_) {
      if (SameName(v.name, name.text)) {
        return (void)FailWith(Raised<Err::VariableDeclared>(name.text));
      }
    }
    AcceptWord(Kw::As);
    Var var;
    var.name = std::string(name.text);
    if (IsWord(Kw::Table) || !ParseType(var.type)) return (void)Fail();
    // varchar without a width is varchar(1) in a declaration (and varchar(30) in CAST).
    if (ToText(var.type) && var.type.length < 0 && !var.type.max) {
      var.type.length = 1;
    }
    vars_.push_back(std::move(var));
    if (AcceptOp("=")) {
      const Expr value = Expression();
      if (failed_) return;
      Emit(Statement::Kind::Assign, "SELECT " + Convert(vars_.back().type, value, "").sql);
      if (!failed_) out_.statements.back().assign = {static_cast<int>(vars_.size() - 1)};
    }
    if (failed_ || !AcceptOp(",")) return;
  }
}

// SET @x = value, or SET @x op= value with op one of + - * /
void Translator::SetVariable() {
  const Token name = Peek();
  ++pos_;
  const int slot = FindVariable(name);
  if (slot < 0) return;
  static const char* const kCompound[][2] = {{"+", "ts_add"}, {"-", "ts_sub"}, {"*", "ts_mul"}, {"/", "ts_div"}};
  const char* function = nullptr;
  for (const auto& compound : kCompound) {
    if (IsOp(compound[0]) && IsOp("=", 1)) {
      function = compound[1];
      pos_ += 2;
      break;
    }
  }
  if (function == nullptr && !ExpectOp("=")) return;
  Expr value = Expression();
  if (failed_) return;
  if (function != nullptr) {
    value = Expr{std::string(function) + "(" + Param(static_cast<int>(shape_.literals.size()) + slot) + ", " +
                 value.sql + ")"};
  }
  Emit(Statement::Kind::Assign, "SELECT " + Convert(vars_[static_cast<size_t>(slot)].type, value, "").sql);
  if (!failed_) out_.statements.back().assign = {slot};
}

size_t Translator::EmitCondition(const std::string& condition) {
  Emit(Statement::Kind::JumpIfNot, "SELECT CASE WHEN " + condition + " THEN 1 ELSE 0 END");
  return out_.statements.size() - 1;
}

size_t Translator::EmitJump(size_t target) {
  Emit(Statement::Kind::Jump, "");
  if (failed_) return 0;
  out_.statements.back().jump = target;
  return out_.statements.size() - 1;
}

// IF condition statement [ELSE statement]
void Translator::If() {
  const std::string condition = Expression().sql;
  if (failed_) return;
  const size_t test = EmitCondition(condition);
  ScriptStatement();
  if (failed_) return;
  if (AcceptWord(Kw::Else)) {
    const size_t skip = EmitJump(0);
    out_.statements[test].jump = out_.statements.size();
    ScriptStatement();
    if (!failed_) out_.statements[skip].jump = out_.statements.size();
  } else {
    out_.statements[test].jump = out_.statements.size();
  }
}

// WHILE condition statement
void Translator::While() {
  const size_t start = out_.statements.size();
  const std::string condition = Expression().sql;
  if (failed_) return;
  const size_t test = EmitCondition(condition);
  loops_.push_back(Loop{start, {}});
  ScriptStatement();
  if (!failed_) EmitJump(start);
  if (failed_) return;
  const size_t end = out_.statements.size();
  out_.statements[test].jump = end;
  for (size_t b : loops_.back().breaks) out_.statements[b].jump = end;
  loops_.pop_back();
}

void Translator::LoopExit(bool is_break) {
  if (loops_.empty()) {
    return (void)FailWith(is_break ? Raised<Err::BreakOutsideLoop>() : Raised<Err::ContinueOutsideLoop>());
  }
  if (!is_break) return (void)EmitJump(loops_.back().start);
  const size_t jump = EmitJump(0);
  if (!failed_) loops_.back().breaks.push_back(jump);
}

// RETURN ends the batch; only a procedure returns a value.
void Translator::Return() {
  const Tok next = Peek().type;
  if (next == Tok::Marker || next == Tok::Number || next == Tok::Variable || IsOp("(") || IsOp("-")) {
    return (void)FailWith(Raised<Err::ReturnValueHere>());
  }
  const size_t jump = EmitJump(0);
  if (!failed_) returns_.push_back(jump);
}

// BEGIN statement ... END; an empty block is a syntax error, as on SQL Server.
void Translator::Block() {
  if (!ExpectWord(Kw::Begin)) return;
  if (IsWord(Kw::End)) return (void)Fail();
  while (!failed_ && !AcceptWord(Kw::End)) {
    if (Peek().type == Tok::End) return (void)Fail();
    ScriptStatement();
  }
}

// EXEC (string [+ string]...) and EXEC sp_executesql string, where a string is a literal or a
// variable of a character type: the statement is a query of the string's value, whose pieces stay
// bound values, and the executor runs that value as a batch of its own (Database::RunText), never
// anything else. sp_executesql takes one Unicode literal or variable and no parameters here; any
// other procedure is not there (2812).
void Translator::Execute() {
  const bool direct = AcceptOp("(");
  if (!direct) {
    if (Peek().type == Tok::Variable) return (void)Fail();  // EXEC @status = ..., EXEC @procedure
    const size_t start = pos_;
    ObjectName procedure;
    if (!ParseObjectName(procedure)) return;
    if (!WordIs(procedure.name, "SP_EXECUTESQL") ||
        !(WordIs(procedure.schema, "DBO") || WordIs(procedure.schema, "SYS"))) {
      const bool qualified = pos_ - start > 1;
      return (void)FailWith(
          Raised<Err::ProcedureMissing>(qualified ? procedure.schema + "." + procedure.name : procedure.name));
    }
    if (Peek().type == Tok::Variable && SameName(Peek().text, "@stmt") && IsOp("=", 1)) pos_ += 2;
  }
  std::string sql = "SELECT ";
  for (bool first = true;; first = false) {
    const Token t = Peek();
    std::string piece;
    bool national = t.national;
    if (t.type == Tok::Marker) {
      piece = Param(t.literal);  // the executor checks that it holds a string
    } else if (t.type == Tok::String) {
      piece = std::string(t.text);  // a literal of a DDL batch, kept in the text: SQLite quotes as T-SQL does
    } else if (t.type == Tok::Variable) {
      const int slot = FindVariable(t);
      if (slot < 0) return;
      const SqlType& type = vars_[static_cast<size_t>(slot)].type;
      if (!type.IsText()) return (void)Fail();
      national = type.National();
      piece = Param(static_cast<int>(shape_.literals.size()) + slot);
    } else {
      return (void)Fail();
    }
    if (!direct && !national) {
      return (void)FailWith(Raised<Err::ProcedureParameterType>("@statement", "ntext/nchar/nvarchar"));
    }
    ++pos_;
    sql += (first ? "" : " || ") + piece;
    if (!direct || !AcceptOp("+")) break;
  }
  if (direct && !ExpectOp(")")) return;
  Emit(Statement::Kind::Exec, sql);
  if (!failed_) out_.statements.back().on = !direct;
}

int Translator::FindVariable(const Token& t) {
  if (t.text.size() >= 2 && t.text[1] == '@') return Fail(), -1;  // a global variable not known
  for (size_t v = 0; v < vars_.size(); ++v) {
    if (SameName(vars_[v].name, t.text)) return static_cast<int>(v);
  }
  FailWith(Raised<Err::MustDeclareVariable>(t.text));
  return -1;
}

Expr Translator::Variable(const Token& t) {
  const int slot = FindVariable(t);
  if (slot < 0) return {};
  Expr value;
  value.param = ParamOf(static_cast<int>(shape_.literals.size()) + slot);
  value.sql = "?" + std::to_string(value.param);
  // A decimal or datetime variable holds text: read as its type, it compares as a number or a
  // date (a string next to a datetime is read as a date).
  const SqlType& type = vars_[static_cast<size_t>(slot)].type;
  if (type.IsExact() || type.kind == SqlType::Kind::Datetime) return Convert(type, value, "");
  value.type = type;
  value.declared = true;
  return value;
}

bool Translator::IsAssignment() const {
  return Peek().type == Tok::Variable && IsOp("=", 1);
}

std::string Translator::AssignItem() {
  const Token name = Peek();
  pos_ += 2;  // @x =
  const int slot = FindVariable(name);
  if (slot < 0) return "";
  const Expr value = Expression();
  if (failed_) return "";
  assigns_.push_back(slot);
  return Convert(vars_[static_cast<size_t>(slot)].type, value, "").sql;
}

}  // namespace tsqlite
