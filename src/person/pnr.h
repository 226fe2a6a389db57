#pragma once
// The person run: day records, schedule-assignment records and leave-carry-over years for every
// person from pnr_von to pnr_bis.
#include "db/run_context.h"
#include "person/records.h"

int Pnr_Schedule_Generate(RunContext& run, const char* beg_dat, const char* end_key, const char* pnr_von,
                          const char* pnr_bis);

// Person cursor: the live assignment rows of live persons in the range, not yet ended, by person
// and latest valid-from date first. The caller owns the cursor; it frees its handle when closed or
// when it goes out of scope.
DbResult Bsv_Pnr_Open(RunContext& run, DbCursor& cursor, const char* pnr_von, const char* pnr_bis);
DbResult Bsv_Pnr_Fetch(DbCursor& cursor, BsvSatz& bsv);
int Bsv_Pnr_Close(DbCursor& cursor);
// The persons the person cursor gives for the range, counted before it opens (for the operator's
// terminal); -1 when the count fails, which no error line reports.
long Bsv_Pnr_Count(RunContext& run, const char* pnr_von, const char* pnr_bis);

// The days of a person's working-time calendar after start_key up to end_key: from the client
// calendar table, or from the system table once the client schema turns out to have none
// (run.variants.day_table).
DbResult Pnr_Day_Open(RunContext& run, DbCursor& cursor, const char* kal, const char* start_key, const char* end_key);
DbResult Pnr_Day_Fetch(DbCursor& cursor, TagSatz& tag);
int Pnr_Day_Close(DbCursor& cursor);

// Latest day record and latest live schedule-assignment date of a person (today when none).
// On 0 the date key is copied into date (9 bytes); otherwise date is left as it was.
DbResult Tag_LastDay_Get(RunContext& run, const char* pnr, char (&date)[9]);
DbResult Ztg_LastDay_Get(RunContext& run, const char* pnr, char (&date)[9]);

// 0 when the person has a day record on date_key, 100 when not, -1 on failure.
DbResult Tag_Day_Exists(RunContext& run, const char* pnr, const char* date_key);
// Inserts the day record; 2627 when one with that key exists already.
DbResult Tag_NewDay_Ins(RunContext& run, const TagSatz& tag);
