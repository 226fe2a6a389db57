#pragma once
// What one run of planex hands to every generator and statement routine. The run sequence
// (src/batch) makes it once, after the connection is up, and passes it down by reference; nothing
// of a run lives anywhere else.
#include <array>
#include <cstddef>
#include <string>

#include "common/runlog.h"
#include "db/db.h"

// The variant flags of the run: which of its two statement texts a routine with a fallback uses.
// Each starts at the first variant and moves once, for the rest of the run.
struct RunVariants {
  DbVariant day_table = DbVariant::First;  // client calendar table, until the schema has none
  DbVariant ztg_name = DbVariant::First;   // person name column of Qxs329Ztg, until it is missing
};

// Follows the person run for the operator's terminal (src/batch/progress.h). A run whose standard
// error is no terminal has none.
class RunProgress {
 public:
  virtual void PersonDone() = 0;

 protected:
  ~RunProgress() = default;
};

// Why the batched person step handed a person to the day-by-day routines.
enum class PnrFallback : std::size_t {
  NoAssignment,        // a day without a valid group assignment
  SeveralAssignments,  // a day with several
  NoPlan,              // no live plan row for the group and cycle day
  SeveralPlans,        // several
  DeadRecord,          // a schedule-assignment record with status 4 or more on the day
  SeveralRecords,      // several records on the day
  TooLong,             // a value longer than its field
  OddDays,             // calendar days twice or out of order
  ReadFailed,          // a read failed
  WriteRefused,        // a write was refused
};
constexpr std::size_t kPnrFallbacks = 10;

// How the person run went: persons by step, and the reasons of the fall-backs. Read by the
// summary on the terminal and by whatever reports the run.
struct RunPersonStats {
  long batched = 0;                             // persons the batched step did
  long daily = 0;                               // persons that went day by day (every person of a day-by-day run)
  std::array<long, kPnrFallbacks> fallbacks{};  // persons handed over, by PnrFallback
  void FellBack(PnrFallback why) { ++fallbacks[static_cast<std::size_t>(why)]; }
};

struct RunContext {
  DbConnection& db;    // the run's connection
  std::string schema;  // client schema as pasted before table names (checked, upper case)
  std::string today;   // today's date key YYYYMMDD, fixed at start-up
  RunLog& log;         // PLANEX.LOG
  RunVariants variants;
  RunProgress* progress = nullptr;
  // The person step: a few statements per person (batched), or one routine per statement and
  // day (the day-by-day step, the reference and the operator's fall-back).
  bool batched = true;
  RunPersonStats persons;
};

// One person of the person run is done.
inline void Run_Person_Done(RunContext& run) {
  if (run.progress != nullptr) run.progress->PersonDone();
}
