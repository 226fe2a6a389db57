// The executor's part of scripts: assignments of local variables, the jumps of IF and WHILE, and
// EXEC of a string (translate_script.cpp translates them).
#include "executor.h"

#include <cstdio>
#include <string>
#include <utility>

#include "executor_internal.h"

namespace tsqlite {

namespace {

// Result sets and row counts a batch holds at most when a loop turns. They stay in memory until
// the client reads them, so a loop that returns rows at every turn and never ends would
// otherwise take all the memory there is before a client without a time limit noticed.
constexpr size_t kMaxResults = 100000;

Literal ToLiteral(const Value& v) {
  Literal l;
  switch (v.type) {
    case Value::Type::Integer:
      l.kind = Literal::Kind::Integer;
      l.integer = v.integer;
      break;
    case Value::Type::Real:
      l.kind = Literal::Kind::Real;
      l.real = v.real;
      break;
    case Value::Type::Text:
      l.kind = Literal::Kind::Text;
      l.text = v.text;
      break;
    case Value::Type::Blob:
      l.kind = Literal::Kind::Blob;
      l.text = v.text;
      break;
    case Value::Type::Null:
      break;
  }
  return l;
}

}  // namespace

Error Database::StoppedError() const {
  return stopped_ == Stop::Timeout ? Raised<Err::QueryTimeout>() : Raised<Err::Canceled>();
}

bool Database::Interrupted(Batch& batch) {
  if (Progress(this) == 0) return false;
  batch.errors.push_back(StoppedError());
  return true;
}

bool Database::RunScript(Entry& entry, const Translation& translation, size_t index, Shape& shape, Batch& batch,
                         size_t& next) {
  const Statement& statement = translation.statements[index];
  if (statement.kind == Statement::Kind::Jump) {
    next = statement.jump;
  } else {
    const size_t before = batch.results.size();
    if (!Run(entry, index, shape, batch)) return false;
    if (batch.results.size() > before) {
      // The query's last row (Step keeps no other for an assignment); none leaves the variables
      // as they were, and a condition that is not true (false or unknown) does not hold.
      const Result& result = batch.results.back();
      if (statement.kind == Statement::Kind::JumpIfNot) {
        const bool holds = result.rows > 0 && !result.cells.empty() && result.cells[0].type == Value::Type::Integer &&
                           result.cells[0].integer == 1;
        if (!holds) next = statement.jump;
      } else if (result.rows > 0) {
        const size_t base = shape.literals.size() - translation.variables;
        for (size_t c = 0; c < statement.assign.size() && c < result.cells.size(); ++c) {
          shape.literals[base + static_cast<size_t>(statement.assign[c])] = ToLiteral(result.cells[c]);
        }
      }
      batch.results.pop_back();
    }
  }
  if (next > index) return true;
  if (Interrupted(batch)) return false;
  if (batch.results.size() > kMaxResults) {
    batch.errors.push_back(Raised<Err::OutOfMemory>());
    return false;
  }
  return true;
}

// EXEC (string) runs the string as a batch of its own, compiled when the statement is reached: its
// result sets, row counts and messages are the statement's, and so is its first error, which ends
// the outer batch as any failed statement does. It nests one level (sp_executesql two), and past
// SQL Server's 32 levels fails with 217, so a string that executes itself ends. The string is the
// value the client wrote: literals and variables of a character type, nothing else; NULL runs
// nothing. Its variables and SCOPE_IDENTITY() are its own.
bool Database::RunText(Entry& entry, size_t index, const Shape& shape, Batch& batch, int depth) {
  const Statement& statement = entry.translation.statements[index];
  // A number literal shares the shape of a string: it is no T-SQL string.
  for (int literal : statement.params) {
    const Literal& l = shape.literals[static_cast<size_t>(literal)];
    if (l.kind == Literal::Kind::Text || l.kind == Literal::Kind::Null) continue;
    std::string near = l.kind == Literal::Kind::Integer ? std::to_string(l.integer) : l.text;
    if (l.kind == Literal::Kind::Real && near.empty()) {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.15g", l.real);
      near = buffer;
    }
    batch.errors.push_back(Raised<Err::SyntaxError>(l.kind == Literal::Kind::Blob ? "?" : near));
    return false;
  }
  const size_t before = batch.results.size();
  if (!Run(entry, index, shape, batch)) return false;
  if (batch.results.size() == before) return true;
  Value text = batch.results.back().rows > 0 && !batch.results.back().cells.empty()
                   ? std::move(batch.results.back().cells[0])
                   : Value{};
  batch.results.pop_back();
  if (text.type != Value::Type::Text) return true;  // NULL
  constexpr int kMaxNestLevel = 32;
  const int level = depth + (statement.on ? 2 : 1);
  if (level > kMaxNestLevel) {
    batch.errors.push_back(Raised<Err::NestLevel>(std::to_string(kMaxNestLevel)));
    return false;
  }
  Shape inner;
  Parameterize(text.text, inner);
  if (!inner.markers.empty()) {  // a parameter marker has no value here
    batch.errors.push_back(Raised<Err::SyntaxError>("?"));
    return false;
  }
  const Identity outer = identity_;
  const bool ok = RunBatch(inner, batch, level);
  identity_.scope = outer.scope;
  identity_.has_scope = outer.has_scope;
  return ok;
}

}  // namespace tsqlite
