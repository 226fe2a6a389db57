#pragma once
// Schedule-assignment records: a person's group, cycle day and plan values on one day.
#include <cstdint>

#include "db/run_context.h"
#include "person/pnr.h"

struct ZtgSatz {
  char ZtgPnr[9];
  char ZtgVon[9];
  char ZtgAbt[16];
  char ZtgKst[31];
  char ZtgKtr[7];
  char ZtgKrt[5];
  char ZtgAkr[6];
  char ZtgAgr[6];
  char ZtgVra[6];
  char ZtgAzt[6];
  int32_t ZtgTag;  // cycle day in the group's rotation
  char ZtgBsd[6];
  char ZtgTtp[4];
  char ZtgPnm[51];
};

// Builds the record of the person and day and inserts it, or rewrites the existing live one.
void Ztg_Day_Generate(RunContext& run, const BsvSatz& bsv, const TagSatz& tag);

// The existing live record of ZtgPnr on ZtgVon: 0 with the fields filled, 100 when none, -1.
int Ztg_Day_Get(RunContext& run, ZtgSatz& ztg);
// The person's valid group assignment on ZtgVon with its cycle day.
int Zuo_Assign_Get(RunContext& run, ZtgSatz& ztg);
// The group's plan values for the cycle day; blank values leave the record's values.
int Wpl_Plan_Get(RunContext& run, ZtgSatz& ztg);
// Insert and update share one flag (run.variants.ztg_name): once the client table proves to have
// no name column, both leave the name out for the rest of the run.
int Ztg_NewDay_Ins(RunContext& run, const ZtgSatz& ztg);
int Ztg_Day_Upd(RunContext& run, const ZtgSatz& ztg);
