#pragma once
// Schedule-assignment records: a person's group, cycle day and plan values on one day.
#include <cstdint>

#include "db/run_context.h"
#include "person/records.h"

// SQL Server's native error for a column it does not know (207): the client's Qxs329Ztg has no
// person name column, and the writes leave it out from then on (run.variants.ztg_name).
constexpr int kNoColumn = 207;

struct ZtgSatz {
  char ZtgPnr[Txt_Size(8)];
  char ZtgVon[9];
  char ZtgAbt[Txt_Size(15)];
  char ZtgKst[Txt_Size(30)];
  char ZtgKtr[Txt_Size(6)];
  char ZtgKrt[Txt_Size(4)];
  char ZtgAkr[Txt_Size(5)];
  char ZtgAgr[Txt_Size(5)];
  char ZtgVra[Txt_Size(5)];
  char ZtgAzt[Txt_Size(5)];
  int32_t ZtgTag;  // cycle day in the group's rotation
  char ZtgBsd[Txt_Size(5)];
  char ZtgTtp[Txt_Size(3)];
  char ZtgPnm[Txt_Size(50)];
};

// Builds the record of the person and day and inserts it, or rewrites the existing live one.
void Ztg_Day_Generate(RunContext& run, const BsvSatz& bsv, const TagSatz& tag);

// The existing live record of ZtgPnr on ZtgVon: 0 with the fields filled, 100 when none, -1.
DbResult Ztg_Day_Get(RunContext& run, ZtgSatz& ztg);
// The person's valid group assignment on ZtgVon with its cycle day.
DbResult Zuo_Assign_Get(RunContext& run, ZtgSatz& ztg);
// The group's plan values for the cycle day; blank values leave the record's values.
DbResult Wpl_Plan_Get(RunContext& run, ZtgSatz& ztg);
// Insert and update share one flag (run.variants.ztg_name): once the client table proves to have
// no name column, both leave the name out for the rest of the run.
DbResult Ztg_NewDay_Ins(RunContext& run, const ZtgSatz& ztg);
DbResult Ztg_Day_Upd(RunContext& run, const ZtgSatz& ztg);
