// The spill store: the rows of a large result set wait in a table of the connection's private
// temporary database, and are read back a window at a time.
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "executor.h"
#include "executor_internal.h"

namespace tsqlite {

sqlite3_stmt* Database::StartSpill(Result& result, int ncols, Batch& batch) {
  if (spill_db_ == nullptr) {
    // No journal and no sync: the file holds nothing that must outlive the connection. The
    // table's pages are what the window saves: keep few of them in memory.
    if (sqlite3_open_v2("", &spill_db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK ||
        sqlite3_exec(spill_db_, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA cache_size = -64", nullptr,
                     nullptr, nullptr) != SQLITE_OK) {
      SpillFailed(batch);
      sqlite3_close_v2(spill_db_);
      spill_db_ = nullptr;
      return nullptr;
    }
  }
  auto spill = std::make_shared<Spill>();
  spill->table = "rows_" + std::to_string(++spill_count_);
  // Columns without a type keep every value as it came. One transaction holds the table and all
  // its rows.
  std::string create = "BEGIN; CREATE TABLE \"" + spill->table + "\" (";
  std::string insert = "INSERT INTO \"" + spill->table + "\" VALUES (";
  for (int c = 0; c < ncols; ++c) {
    create += (c ? ", c" : "c") + std::to_string(c + 1);
    insert += (c ? ", ?" : "?") + std::to_string(c + 1);
  }
  if (sqlite3_exec(spill_db_, (create + ")").c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    SpillFailed(batch);
    if (!sqlite3_get_autocommit(spill_db_)) sqlite3_exec(spill_db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return nullptr;
  }
  spills_.emplace_back(spill->table, spill);
  sqlite3_stmt* ins = nullptr;
  int rc = sqlite3_prepare_v2(spill_db_, (insert + ")").c_str(), -1, &ins, nullptr);
  // The rows read so far stay in cells as the first window, and go into the table as well.
  for (size_t i = 0; rc == SQLITE_OK && i < result.cells.size(); i += static_cast<size_t>(ncols)) {
    for (int c = 0; c < ncols; ++c) BindValue(ins, c + 1, result.cells[i + static_cast<size_t>(c)]);
    rc = sqlite3_step(ins);
    sqlite3_reset(ins);
    if (rc == SQLITE_DONE) rc = SQLITE_OK;
  }
  if (rc != SQLITE_OK) {
    SpillFailed(batch);
    EndSpill(ins, false, batch);
    return nullptr;
  }
  result.spill = std::move(spill);
  result.first = 0;
  result.seen.assign(static_cast<size_t>(ncols), Result::Seen{});
  for (size_t i = 0; i < result.cells.size(); ++i) {
    const Value& v = result.cells[i];
    Result::Seen& seen = result.seen[i % static_cast<size_t>(ncols)];
    seen.any_int = seen.any_int || v.type == Value::Type::Integer;
    seen.wide = seen.wide || (v.type == Value::Type::Integer && (v.integer > INT32_MAX || v.integer < INT32_MIN));
    seen.any_real = seen.any_real || v.type == Value::Type::Real;
    if (v.type == Value::Type::Text) seen.NoteText(v.text);
    seen.any_blob = seen.any_blob || v.type == Value::Type::Blob;
    if (v.type == Value::Type::Blob && v.text.size() > seen.width) seen.width = v.text.size();
  }
  return ins;
}

// Commits the spill table and its rows, or drops both. A failure to commit fails the statement.
bool Database::EndSpill(sqlite3_stmt* insert, bool commit, Batch& batch) {
  sqlite3_finalize(insert);
  if (commit && sqlite3_exec(spill_db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  if (commit) SpillFailed(batch);
  if (!sqlite3_get_autocommit(spill_db_)) sqlite3_exec(spill_db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return false;
}

void Database::SpillFailed(Batch& batch) {
  batch.errors.push_back(Raised<Err::SpillFailed>("keep", spill_db_ ? sqlite3_errmsg(spill_db_) : "out of memory"));
}

void Database::DropSpills() {
  for (auto it = spills_.begin(); it != spills_.end();) {
    if (it->second.expired()) {
      if (spill_db_ != nullptr) {
        sqlite3_exec(spill_db_, ("DROP TABLE IF EXISTS \"" + it->first + "\"").c_str(), nullptr, nullptr, nullptr);
      }
      it = spills_.erase(it);
    } else {
      ++it;
    }
  }
}

bool Database::Window(Result& result, size_t row, Error& error) {
  const size_t ncols = result.columns.size();
  if (!result.spill || ncols == 0) return true;
  if (row >= result.first && (row - result.first) * ncols < result.cells.size()) return true;
  std::lock_guard<std::mutex> lock(mutex_);
  if (db_ == nullptr) {
    error = Raised<Err::ConnectionNotOpen>();
    return false;
  }
  const std::string sql = "SELECT * FROM \"" + result.spill->table + "\" WHERE rowid > ?1 ORDER BY rowid LIMIT ?2";
  sqlite3_stmt* stmt = nullptr;
  int rc = spill_db_ ? sqlite3_prepare_v2(spill_db_, sql.c_str(), -1, &stmt, nullptr) : SQLITE_MISUSE;
  if (rc == SQLITE_OK) {
    sqlite3_bind_int64(stmt, 1, static_cast<sqlite3_int64>(row));
    sqlite3_bind_int64(stmt, 2, static_cast<sqlite3_int64>(kWindowCells / ncols > 0 ? kWindowCells / ncols : 1));
    result.cells.clear();
    result.first = row;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      for (size_t c = 0; c < ncols; ++c) ReadValue(stmt, static_cast<int>(c), result.cells.emplace_back());
    }
    if (rc == SQLITE_DONE && !result.cells.empty()) rc = SQLITE_OK;
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_OK) {
    result.cells.clear();
    error = Raised<Err::SpillFailed>("read", spill_db_ ? sqlite3_errmsg(spill_db_) : sqlite3_errstr(rc));
    return false;
  }
  return true;
}

}  // namespace tsqlite
