#pragma once
// The statements of the batched person step (range reads, multi-row inserts, set-based
// rewrites) and the step itself, which hands their rows to the planner of person/batch_plan.h.
#include "db/run_context.h"
#include "person/batch_plan.h"
#include "person/records.h"

// The person's latest day-record date and latest live schedule-assignment date in one query, as
// Tag_LastDay_Get and Ztg_LastDay_Get give them: 0 with both copied, else neither is touched.
int Pnr_LastDays_Get(RunContext& run, const char* pnr, char (&last_tag)[9], char (&last_ztg)[9]);

// The batched step of one person over the calendar days after start_key up to end_key: a few
// range reads, the decisions above, multi-row inserts and set-based rewrites. True when the person
// is done; false when the person must go through the day-by-day routines, the batched step having
// written nothing those routines would write differently; why then tells the reason.
bool Pnr_Batch_Days(RunContext& run, const BsvSatz& bsv, const char* start_key, const char* threshold,
                    const char* end_key, PnrFallback& why);
