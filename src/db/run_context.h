#pragma once
// What one run of planex hands to every generator and statement routine. The run sequence
// (src/batch) makes it once, after the connection is up, and passes it down by reference; nothing
// of a run lives anywhere else.
#include <functional>
#include <string>
#include <string_view>

#include "common/runlog.h"
#include "db/db.h"
#include "db/error_lines.h"
#include "db/run_stats.h"

// The variant flags of the run: which of its two statement texts a routine with a fallback uses.
// Each starts at the first variant and moves once, for the rest of the run.
struct RunVariants {
  DbVariant day_table = DbVariant::First;  // client calendar table, until the schema has none
  DbVariant ztg_name = DbVariant::First;   // person name column of Qxs329Ztg, until it is missing
};

struct RunContext {
  DbConnection& db;    // the run's connection
  std::string schema;  // client schema as pasted before table names (checked, upper case)
  std::string today;   // today's date key YYYYMMDD, fixed at start-up
  RunLog& log;         // PLANEX.LOG, which keeps its error lines with their reasons
  RunVariants variants;
  // The person step: a few statements per person (batched), or one routine per statement and
  // day (the day-by-day step, the reference and the operator's fall-back).
  bool batched = true;
  RunStats stats{};  // what the run did so far
  // Called after every write and every person once stats holds them: the run sequence lets the
  // terminal's progress line redraw from stats there. Empty when nobody watches (no terminal).
  std::function<void()> stats_changed{};
};

// A write of the run is done: rows >= 0 rows touched in schema.table (as Db_Write gives them),
// DB_ROWS_UNKNOWN for a write that succeeded without saying its rows, or -1 for a write that
// failed, which counts nothing.
inline void Run_Wrote(RunContext& run, std::string_view schema, std::string_view table, RunWrite kind, long rows) {
  if (rows < 0 && rows != DB_ROWS_UNKNOWN) return;
  run.stats.Wrote(schema, table, kind, rows);
  if (run.stats_changed) run.stats_changed();
}

// Begins an error line of the run log with the text of fmt; the line's reason is failed's
// diagnostic. Every failure a routine reports in the log goes through here, with the result of
// the statement that failed.
template <class... Args>
void Run_Error(RunContext& run, const DbResult& failed, ErrorFormat<std::type_identity_t<Args>...> fmt,
               const Args&... args) {
  run.log.Error(Db_Reason(failed.diag), fmt, args...);
}

// A statement of the batched step failed for the person: the first few are kept with the
// server's reason for the report.
inline void Run_Refused(RunContext& run, const char* pnr, const DbResult& failed) {
  if (failed.code == DB_NODATA) return;
  ++run.stats.refused;
  if (run.stats.refusals.size() >= RunStats::kRefusalsKept) return;
  run.stats.refusals.push_back({pnr, failed.diag.state, failed.diag.native, failed.diag.text});
}

// One person of the person run is done.
inline void Run_Person_Done(RunContext& run) {
  ++run.stats.persons_done;
  if (run.stats_changed) run.stats_changed();
}
