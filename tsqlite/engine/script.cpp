// The executor's part of scripts: assignments of local variables and the jumps of IF and WHILE
// (translate_script.cpp translates them).
#include "executor.h"

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

bool Database::RunScript(Entry& entry, const Translation& translation, size_t index, Batch& batch, size_t& next) {
  const Statement& statement = translation.statements[index];
  if (statement.kind == Statement::Kind::Jump) {
    next = statement.jump;
  } else {
    const size_t before = batch.results.size();
    if (!Run(entry, index, shape_, batch)) return false;
    if (batch.results.size() > before) {
      // The query's last row (Step keeps no other for an assignment); none leaves the variables
      // as they were, and a condition that is not true (false or unknown) does not hold.
      const Result& result = batch.results.back();
      if (statement.kind == Statement::Kind::JumpIfNot) {
        const bool holds = result.rows > 0 && !result.cells.empty() && result.cells[0].type == Value::Type::Integer &&
                           result.cells[0].integer == 1;
        if (!holds) next = statement.jump;
      } else if (result.rows > 0) {
        const size_t base = shape_.literals.size() - translation.variables;
        for (size_t c = 0; c < statement.assign.size() && c < result.cells.size(); ++c) {
          shape_.literals[base + static_cast<size_t>(statement.assign[c])] = ToLiteral(result.cells[c]);
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

}  // namespace tsqlite
