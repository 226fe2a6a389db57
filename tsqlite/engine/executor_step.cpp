// Running one translated statement: its SQLite statements prepared on first use, each bound with
// its parameters (a text converted by the rule of the column it meets, a decimal brought to its
// column's scale) and stepped into the batch's result, and the retry of a stale snapshot as a
// writer.
#include "executor.h"

#include "decimal.h"
#include "executor_internal.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <unistd.h>

namespace tsqlite {

// A text as SQL Server converts it to int: blanks around, an optional sign, digits; blanks only
// are 0.
static bool TextToInteger(const std::string& text, int64_t& out) {
  size_t i = 0, n = text.size();
  while (i < n && text[i] == ' ') ++i;
  while (n > i && text[n - 1] == ' ') --n;
  out = 0;
  if (i == n) return true;
  const bool negative = text[i] == '-';
  if (text[i] == '-' || text[i] == '+') ++i;
  if (i == n) return false;
  for (; i < n; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    if (__builtin_mul_overflow(out, 10, &out) || __builtin_add_overflow(out, text[i] - '0', &out)) return false;
  }
  if (negative) out = -out;
  return true;
}

// 'TRUE' and 'FALSE' (any case, blanks around), as SQL Server converts them to bit.
static bool TextIsTruth(const std::string& text, int64_t& out) {
  std::string word;
  for (char c : text) {
    if (c != ' ') word.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
  }
  if (word != "TRUE" && word != "FALSE") return false;
  out = word == "TRUE";
  return true;
}

// A literal bound as a decimal: one written into a decimal column, brought to its scale (8114 for a
// text that is no number, 8115 past its precision), or a decimal literal that keeps its digits.
// 1 when bound, 0 when the value is bound as it is, -1 after an error.
int Database::BindDecimal(sqlite3_stmt* stmt, int k, const Literal& lit, const ParamRule& rule, Batch& batch) {
  Decimal d;
  const bool assigns = rule.decimal_precision > 0 && rule.assigns;
  switch (lit.kind) {
    case Literal::Kind::Integer:
      if (!assigns) return 0;
      d = IntegerToDecimal(lit.integer);
      break;
    case Literal::Kind::Real:
      if (!(lit.text.empty() ? assigns && DoubleToDecimal(lit.real, rule.decimal_scale, d)
                             : ParseDecimal(lit.text, d))) {
        if (!assigns) return 0;
        batch.errors.push_back(Raised<Err::ArithmeticOverflow>("float", "numeric"));
        return -1;
      }
      break;
    case Literal::Kind::Text:
      if (!assigns) return 0;
      if (!ParseDecimal(lit.text, d)) {
        batch.errors.push_back(Raised<Err::VarcharToNumeric>());
        return -1;
      }
      break;
    default:
      return 0;
  }
  if (assigns && !Rescale(d, rule.decimal_scale, rule.decimal_precision)) {
    batch.errors.push_back(Raised<Err::ArithmeticOverflow>("numeric", "numeric"));
    return -1;
  }
  const std::string form = DecimalForm(d);
  sqlite3_bind_text(stmt, k, form.data(), static_cast<int>(form.size()), SQLITE_TRANSIENT);
  return 1;
}

void Result::Seen::NoteText(std::string_view text) {
  any_text = true;
  if (text.size() > width) width = text.size();
  Decimal d;
  if (!any_plain_text && ParseDecimalForm(text, d)) {
    decimal_scale = std::max(decimal_scale, d.scale);
    decimal_integral = std::max(decimal_integral, d.precision - d.scale);
  } else {
    any_plain_text = true;
  }
}

bool Database::Step(sqlite3_stmt* stmt, const Statement& statement, const Shape& shape, Batch& batch,
                    const std::vector<ParamRule>* rules) {
  statement_cache_.Clear();
  int count = sqlite3_bind_parameter_count(stmt);
  std::string converted;
  Decimal scratch_decimal;
  for (int k = 1; k <= count; ++k) {
    int index = k - 1 < static_cast<int>(statement.params.size()) ? statement.params[k - 1] : -1;
    if (index < 0 || index >= static_cast<int>(shape.literals.size())) {
      sqlite3_bind_null(stmt, k);
      continue;
    }
    const Literal& lit = shape.literals[index];
    const ParamRule rule = rules != nullptr && static_cast<size_t>(k) < rules->size() ? (*rules)[k] : ParamRule{};
    if (rule.decimal_precision > 0 ||
        (lit.kind == Literal::Kind::Real && !lit.text.empty() &&
         std::find(statement.exact.begin(), statement.exact.end(), k) != statement.exact.end())) {
      int bound = BindDecimal(stmt, k, lit, rule, batch);
      if (bound < 0) return false;
      if (bound > 0) continue;
    }
    // A value written into an integer or bit column: a bit takes 1 for any value but 0 ('TRUE'
    // and 'FALSE' as 1 and 0); the other types refuse a value past their range.
    auto bind_integer = [&](int64_t n) {
      if (rule.integer_type == IntegerType::Bit) n = n != 0;
      if (!IntegerFits(rule.integer_type, n)) {
        batch.errors.push_back(IntegerOverflowError(rule.integer_type, std::to_string(n)));
        return false;
      }
      sqlite3_bind_int64(stmt, k, n);
      return true;
    };
    switch (lit.kind) {
      case Literal::Kind::Integer:
        if (!bind_integer(lit.integer)) return false;
        break;
      case Literal::Kind::Real:
        if (!lit.text.empty() && !ParseDecimal(lit.text, scratch_decimal)) {
          // A number written without an exponent is a decimal: more than 38 digits is none.
          batch.errors.push_back(Raised<Err::NumberOutOfRange>(lit.text));
          return false;
        }
        if (rule.integer_type == IntegerType::Bit) {
          sqlite3_bind_int(stmt, k, lit.real != 0);
          break;
        }
        sqlite3_bind_double(stmt, k, lit.real);
        break;
      case Literal::Kind::Text: {
        if (rule.temporal != Temporal::None) {
          Error error;
          if (!TextToTemporal(lit.text, rule.temporal, rule.scale, converted, error.native, error.message)) {
            batch.errors.push_back(ErrorOfNative(error.native, std::move(error.message)));
            return false;
          }
          BindText(stmt, k, converted, converted.size(), SQLITE_TRANSIENT);
          break;
        }
        if (rule.datetime) {
          // A string meeting a datetime column becomes a datetime, or fails as SQL Server's does.
          Error error;
          if (!TextToDatetime(lit.text, converted, error.native, error.message)) {
            batch.errors.push_back(ErrorOfNative(error.native, std::move(error.message)));
            return false;
          }
          if (rule.date_only) converted.resize(10);
          BindText(stmt, k, converted, converted.size(), SQLITE_TRANSIENT);
          break;
        }
        if (rule.integer) {
          // A string meeting an int column becomes an int ('' is 0), or fails with 245 instead of
          // being stored as text in the column.
          int64_t n = 0;
          if (rule.integer_type == IntegerType::Bit && TextIsTruth(lit.text, n)) {
            sqlite3_bind_int64(stmt, k, n);
            break;
          }
          if (!TextToInteger(lit.text, n)) {
            batch.errors.push_back(Raised<Err::ConversionFailed>(lit.text, "int"));
            return false;
          }
          if (!bind_integer(n)) return false;
          break;
        }
        // A character outside code page 1252 becomes what SQL Server's conversion makes of it.
        const bool replace = rule.code_page && !PlainLatin1(lit.text);
        if (replace) converted = To1252(lit.text);
        const std::string& text = replace ? converted : lit.text;
        // Blanks past a char/varchar column's width are cut, as SQL Server cuts them without an
        // error; any other character past it is left for the width's CHECK (8152). Under code
        // page 1252 the width counts characters.
        size_t length = text.size();
        size_t end = static_cast<size_t>(rule.width);
        if (rule.code_page && rule.width > 0) {
          end = 0;
          for (int n = 0; end < text.size() && n < rule.width; ++n) {
            ++end;
            while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
          }
        }
        if (rule.width > 0 && length > end && text.find_first_not_of(' ', end) == std::string::npos) length = end;
        BindText(stmt, k, text, length, replace ? SQLITE_TRANSIENT : SQLITE_STATIC);
        break;
      }
      case Literal::Kind::Null:
        sqlite3_bind_null(stmt, k);
        break;
      case Literal::Kind::Blob:
        sqlite3_bind_blob(stmt, k, lit.text.data(), static_cast<int>(lit.text.size()), SQLITE_STATIC);
        break;
    }
  }

  const int ncols = sqlite3_column_count(stmt);
  Result result;
  if (ncols > 0) {
    result.has_rows = true;
    result.columns.resize(ncols);
    for (int c = 0; c < ncols; ++c) {
      const char* name = sqlite3_column_name(stmt, c);
      const char* decl = sqlite3_column_decltype(stmt, c);
      result.columns[c].name = name ? name : "";
      result.columns[c].declared_type = decl ? decl : "";
      if (decl == nullptr && static_cast<size_t>(c) < statement.column_types.size()) {
        result.columns[c].declared_type = statement.column_types[static_cast<size_t>(c)];
      }
      result.columns[c].nulls = ColumnNulls(stmt, c);
    }
  }
  // Every row is read now, so that no statement stays pending; past kWindowCells values the rows
  // go into a spill table instead of memory.
  sqlite3_stmt* spill_insert = nullptr;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    if (statement.kind == Statement::Kind::Assign) result.cells.clear();  // the last row is assigned
    if (spill_insert == nullptr && result.cells.size() + ncols > kWindowCells) {
      spill_insert = StartSpill(result, ncols, batch);
      if (spill_insert == nullptr) {
        sqlite3_reset(stmt);
        return false;
      }
    }
    if (spill_insert != nullptr) {
      for (int c = 0; c < ncols; ++c) {
        Result::Seen& seen = result.seen[static_cast<size_t>(c)];
        switch (sqlite3_column_type(stmt, c)) {
          case SQLITE_INTEGER: {
            const sqlite3_int64 i = sqlite3_column_int64(stmt, c);
            seen.any_int = true;
            seen.wide = seen.wide || i > INT32_MAX || i < INT32_MIN;
            break;
          }
          case SQLITE_FLOAT:
            seen.any_real = true;
            break;
          case SQLITE_NULL:
            break;
          case SQLITE_BLOB:
            seen.any_blob = true;
            seen.width = std::max(seen.width, static_cast<size_t>(sqlite3_column_bytes(stmt, c)));
            break;
          default: {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            seen.NoteText(std::string_view(t ? t : "", static_cast<size_t>(sqlite3_column_bytes(stmt, c))));
            break;
          }
        }
        sqlite3_bind_value(spill_insert, c + 1, sqlite3_column_value(stmt, c));
      }
      int irc = sqlite3_step(spill_insert);
      sqlite3_reset(spill_insert);
      if (irc != SQLITE_DONE) {
        SpillFailed(batch);
        EndSpill(spill_insert, false, batch);
        sqlite3_reset(stmt);
        return false;
      }
    } else {
      for (int c = 0; c < ncols; ++c) ReadValue(stmt, c, result.cells.emplace_back());
    }
    ++result.rows;
  }
  if (spill_insert != nullptr && !EndSpill(spill_insert, rc == SQLITE_DONE, batch)) {
    sqlite3_reset(stmt);
    return false;
  }
  if (rc != SQLITE_DONE) {
    Fail(rc, &statement, batch);
    sqlite3_reset(stmt);
    return false;
  }
  if (!result.has_rows && statement.kind == Statement::Kind::Write) {
    result.affected = sqlite3_changes64(db_);
    batch.no_data = statement.is_update_or_delete && result.affected == 0;
  }
  if (statement.kind == Statement::Kind::Write) {
    row_count_ = result.has_rows ? static_cast<int64_t>(result.rows) : result.affected;
  } else if (statement.kind == Statement::Kind::Query || statement.kind == Statement::Kind::Assign) {
    row_count_ = static_cast<int64_t>(result.rows);
  }
  sqlite3_reset(stmt);
  if (result.has_rows || statement.kind == Statement::Kind::Write || statement.kind == Statement::Kind::Query) {
    batch.results.push_back(std::move(result));
  }
  return true;
}

bool Database::Prepare(Entry& entry, size_t index, Batch& batch) {
  const Statement& statement = entry.translation.statements[index];
  Prepared& prepared = entry.prepared[index];
  if (prepared.ready) return true;
  // Exactly one SQLite statement per translated statement: text after the first one is refused,
  // never run, whatever the translator let through.
  const char* sql = statement.sql.c_str();
  const char* end = sql + statement.sql.size();
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v3(db_, sql, static_cast<int>(end - sql), SQLITE_PREPARE_PERSISTENT, &stmt, &tail);
  if (rc != SQLITE_OK) {
    // Not kept: the table or column may exist the next time.
    Fail(rc, nullptr, batch);
    return false;
  }
  for (const char* t = tail ? tail : end; t < end; ++t) {
    if (*t != ' ' && *t != '\n' && *t != '\t' && *t != '\r') {
      sqlite3_finalize(stmt);
      batch.errors.push_back(Raised<Err::NoQueryPlan>());
      return false;
    }
  }
  if (stmt != nullptr) prepared.stmts.push_back(stmt);
  // The declared type of each column a parameter meets; a probe that does not compile (a name the
  // query resolves some other way) converts nothing. The probes of a multi-row INSERT repeat one
  // text for every row: each text is compiled once.
  std::map<std::string, sqlite3_stmt*, std::less<>> compiled;
  for (const Statement::Probe& probe : statement.probes) {
    if (probe.sql.empty()) {  // meets a datetime expression
      if (prepared.rules.size() <= static_cast<size_t>(probe.param)) {
        prepared.rules.resize(static_cast<size_t>(probe.param) + 1);
      }
      prepared.rules[static_cast<size_t>(probe.param)].datetime = true;
      continue;
    }
    auto [it, added] = compiled.try_emplace(probe.sql, nullptr);
    if (added && sqlite3_prepare_v2(db_, probe.sql.c_str(), -1, &it->second, nullptr) != SQLITE_OK) {
      sqlite3_finalize(it->second);
      it->second = nullptr;
    }
    sqlite3_stmt* q = it->second;
    if (q != nullptr && probe.column < sqlite3_column_count(q)) {
      const char* decl = sqlite3_column_decltype(q, probe.column);
      const SqlType type = ParseSqlType(decl ? decl : "");
      ParamRule rule;
      const Temporal temporal = TemporalOf(type, rule.scale);
      rule.datetime = temporal == Temporal::Datetime || temporal == Temporal::Date;
      rule.date_only = temporal == Temporal::Date;
      if (!rule.datetime && temporal != Temporal::None) rule.temporal = temporal;
      rule.integer = type.IsInteger();
      rule.integer_type = probe.assigns ? IntegerTypeOf(type) : IntegerType::None;
      if (type.IsText() && type.kind != SqlType::Kind::Text && type.kind != SqlType::Kind::NText && type.length > 0) {
        rule.width = type.length;
      }
      if (!DecimalTypeOf(type, rule.decimal_precision, rule.decimal_scale)) rule.decimal_precision = 0;
      rule.assigns = probe.assigns;
      rule.code_page = probe.assigns && CodePage1252(collation_) && type.IsText() && !type.National();
      if (rule.datetime || rule.temporal != Temporal::None || rule.integer || rule.width > 0 ||
          rule.decimal_precision > 0 || rule.code_page) {
        if (prepared.rules.size() <= static_cast<size_t>(probe.param)) {
          prepared.rules.resize(static_cast<size_t>(probe.param) + 1);
        }
        prepared.rules[static_cast<size_t>(probe.param)] = rule;
      }
    }
  }
  for (auto& [text, q] : compiled) sqlite3_finalize(q);
  prepared.ready = true;
  return true;
}

bool Database::Run(Entry& entry, size_t index, const Shape& shape, Batch& batch) {
  if (!Prepare(entry, index, batch)) return false;
  const Statement& statement = entry.translation.statements[index];
  for (sqlite3_stmt* stmt : entry.prepared[index].stmts) {
    if (!Step(stmt, statement, shape, batch, &entry.prepared[index].rules)) return false;
  }
  return true;
}

// A manual-commit transaction that has only read holds a snapshot of the database; once another
// connection has committed, SQLite refuses to make that snapshot a writer (SQLITE_BUSY_SNAPSHOT)
// without waiting, and would refuse every later write of the transaction too. SQL Server's reader
// holds no lock after its read, and its writer waits for the lock. So a transaction that has not
// written yet starts again as a writer: it waits for the write lock (up to LockTimeout, then 1222)
// and runs the statement on the current database. What it read before stays as it was read.
bool Database::RetryWithWriteLock(Entry& entry, size_t index, const Shape& shape, Batch& batch) {
  // Only a stale snapshot: a lock held by another writer has been waited for already.
  if (!manual_commit_ || sqlite3_extended_errcode(db_) != SQLITE_BUSY_SNAPSHOT ||
      sqlite3_txn_state(db_, "main") == SQLITE_TXN_WRITE) {
    return false;
  }
  std::vector<Error> first = std::move(batch.errors);
  batch.errors.clear();
  Error error;
  if (!sqlite3_get_autocommit(db_) && !Exec("ROLLBACK", error)) {
    batch.errors = std::move(first);
    return false;
  }
  if (!Exec("BEGIN IMMEDIATE", error)) {
    batch.errors.push_back(error);
    return false;
  }
  return Run(entry, index, shape, batch);
}

}  // namespace tsqlite
