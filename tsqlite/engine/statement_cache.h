#pragma once
// What the functions of one statement's execution look up once rather than for every row of a
// multi-row INSERT. The executor owns it (one per connection); the functions that read it
// (conversions.cpp, date_functions.cpp) are handed it through the function table.
#include <string>
#include <unordered_map>

#include "datetime.h"

namespace tsqlite {

// The declared type of each column ts_fit_datetime writes into (by table and column, a NUL
// between them), and the current time ts_now gives. The owner clears it before every statement
// it steps: a column's type cannot change while a statement runs, but may between two, and SQL
// Server reads the current time once per statement.
struct StatementCache {
  struct Target {
    Temporal kind = Temporal::None;
    int scale = 0;
  };
  std::unordered_map<std::string, Target> known;
  std::string now;  // "" until ts_now is first called
  void Clear() {
    known.clear();
    now.clear();
  }
};

}  // namespace tsqlite
