#pragma once
// What one run of planex hands to every generator and statement routine. The run sequence
// (src/batch) makes it once, after the connection is up, and passes it down by reference; nothing
// of a run lives anywhere else.
#include <string>

#include "common/runlog.h"
#include "db/db.h"

// The variant flags of the run: which of its two statement texts a routine with a fallback uses.
// Each starts at the first variant and moves once, for the rest of the run.
struct RunVariants {
  DbVariant day_table = DbVariant::First;    // client calendar table, until the schema has none
  DbVariant ztg_name = DbVariant::First;     // person name column of Qxs329Ztg, until it is missing
};

struct RunContext {
  DbConnection& db;     // the run's connection
  std::string schema;   // client schema as pasted before table names (checked, upper case)
  std::string today;    // today's date key YYYYMMDD, fixed at start-up
  RunLog& log;          // PLANEX.LOG
  RunVariants variants;
  // The person step: a few statements per person (batched), or one routine per statement and
  // day (the day-by-day step, the reference and the operator's fall-back).
  bool batched = true;
};
