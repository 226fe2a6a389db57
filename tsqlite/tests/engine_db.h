#pragma once
// The engine as the driver runs it, for tests of the translator and the functions: a database
// file run by the executor the driver uses (Database), reached only through T-SQL.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "executor.h"
#include "odbc_helpers.h"

namespace tsqlite_test {

// A database file run by the executor the driver uses, reached only through T-SQL. Its text
// compares byte by byte, as a file made before collations does.
class Db {
 public:
  Db() {
    tsqlite::Settings settings;
    settings.file = dir_.File("t.db");
    settings.create = true;
    settings.collation = "Latin1_General_100_BIN2_UTF8";
    tsqlite::Error error;
    EXPECT_TRUE(db_.Open(settings, error)) << error.message;
    sqlite3_open(":memory:", &text_);
  }
  ~Db() { sqlite3_close(text_); }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  // Runs a batch; returns the rows of its queries as "a|b|c" lines, or "error: <native> <message>"
  // with the first error of the batch.
  std::vector<std::string> Run(std::string_view tsql) {
    tsqlite::Batch batch;
    changes_ = -1;
    if (!db_.Execute(tsql, batch)) {
      if (batch.errors.empty()) return {"error: none recorded"};
      return {"error: " + std::to_string(batch.errors[0].native) + " " + batch.errors[0].message};
    }
    std::vector<std::string> rows;
    for (tsqlite::Result& r : batch.results) {
      if (!r.has_rows) {
        if (r.affected >= 0) changes_ = static_cast<int>(r.affected);
        continue;
      }
      const size_t ncols = r.columns.size();
      for (size_t k = 0; k < r.rows; ++k) {
        tsqlite::Error error;
        if (!db_.Window(r, k, error)) return {"error: " + error.message};
        std::string row;
        for (size_t c = 0; c < ncols; ++c) {
          if (c) row += "|";
          row += Text(r.cells[(k - r.first) * ncols + c]);
        }
        rows.push_back(row);
      }
    }
    return rows;
  }

  // The single value of a one-row, one-column query.
  std::string Value(std::string_view tsql) {
    const std::vector<std::string> rows = Run(tsql);
    return rows.size() == 1 ? rows[0] : "rows: " + std::to_string(rows.size());
  }

  // The declared column types of a table, as SQLite keeps them (read on a connection of its own).
  std::string DeclaredTypes(const char* table) {
    sqlite3* file = nullptr;
    std::string out;
    if (sqlite3_open_v2(dir_.File("t.db").c_str(), &file, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* stmt = nullptr;
      sqlite3_prepare_v2(file, "SELECT group_concat(type, ',') FROM pragma_table_info(?1)", -1, &stmt, nullptr);
      sqlite3_bind_text(stmt, 1, table, -1, SQLITE_STATIC);
      if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0)) {
        out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      }
      sqlite3_finalize(stmt);
    }
    sqlite3_close(file);
    return out;
  }

  int changes() const { return changes_; }
  int date_first() const { return db_.DateFirst(); }

 private:
  // A value as SQLite shows it as text ("NULL" for NULL).
  std::string Text(const tsqlite::Value& v) {
    switch (v.type) {
      case tsqlite::Value::Type::Null:
        return "NULL";
      case tsqlite::Value::Type::Integer:
        return std::to_string(v.integer);
      case tsqlite::Value::Type::Real: {
        sqlite3_stmt* stmt = nullptr;
        std::string out;
        sqlite3_prepare_v2(text_, "SELECT ?1", -1, &stmt, nullptr);
        sqlite3_bind_double(stmt, 1, v.real);
        if (sqlite3_step(stmt) == SQLITE_ROW) out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
        return out;
      }
      default:
        return v.text;
    }
  }

  TempDir dir_;
  tsqlite::Database db_;
  sqlite3* text_ = nullptr;  // renders a double as SQLite does
  int changes_ = -1;
};

}  // namespace tsqlite_test
