#include "db/run_stats.h"

#include "db/db.h"

void RunStats::Wrote(std::string_view schema, std::string_view table, RunWrite kind, long rows) {
  RunTableRows* entry = nullptr;
  for (RunTableRows& t : tables) {
    if (t.schema == schema && t.table == table) entry = &t;
  }
  if (entry == nullptr) entry = &tables.emplace_back(RunTableRows{std::string(schema), std::string(table)});
  if (rows == DB_ROWS_UNKNOWN) {
    (kind == RunWrite::Added ? entry->added_unknown : entry->rewritten_unknown) = true;
  } else {
    (kind == RunWrite::Added ? entry->added : entry->rewritten) += rows;
  }
}

const RunTableRows* RunStats::Find(std::string_view schema, std::string_view table) const {
  for (const RunTableRows& t : tables) {
    if (t.schema == schema && t.table == table) return &t;
  }
  return nullptr;
}

long RunStats::Rows() const {
  long rows = 0;
  for (const RunTableRows& t : tables) rows += t.added + t.rewritten;
  return rows;
}
