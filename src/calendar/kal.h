#pragma once
// The working-time calendars: day rows typed by each calendar's week model, for the system
// calendars (QXSYSTEM.Qxs133Kal) and the client calendars (client schema Qxs133Ka2).
#include <cstddef>
#include <cstdint>

#include "common/text.h"
#include "db/run_context.h"

// One day of a working-time calendar, shared by both families.
struct KalSatz {
  char KalNum[Txt_Size(3)];  // calendar number
  char KalDtm[9];            // date key
  char KalTtp[Txt_Size(3)];  // day type of the week model for the date's weekday
  char KalPtp[Txt_Size(3)];  // the same day type
  int32_t KalGwt;            // always 100
  char KalBtp[Txt_Size(3)];  // the same day type
};

// Gives every working-time calendar in use (system family, then client family) its day rows up to
// the end date key.
int Kal_Calendar_Generate(RunContext& run, const char* end_key);

// The cursor routines open their statement on a cursor the caller owns; the cursor frees its
// handle when it is closed or goes out of scope.

// System calendars: QXSYSTEM.Qxs135Muw numbers, days into QXSYSTEM.Qxs133Kal.
DbResult Kal_Num_Open(RunContext& run, DbCursor& cursor);
DbResult Kal_Num_Fetch(DbCursor& cursor, KalSatz& kal);  // sets KalNum
int Kal_Num_Close(DbCursor& cursor);
DbResult Kal_LastDay_Get(RunContext& run, const char* num, char* key, size_t size);
DbResult Kal_Day_Open(RunContext& run, DbCursor& cursor, const char* num, const char* last_key, const char* end_key);
DbResult Kal_Day_Fetch(DbCursor& cursor, KalSatz& kal);  // sets every field but KalNum
int Kal_Day_Close(DbCursor& cursor);
DbResult Kal_NewDay_Ins(RunContext& run, const KalSatz& kal);  // 0, 1, -1 or 547

// Client calendars: client schema Qxs135Mu2 numbers, days into the client schema's Qxs133Ka2.
DbResult Ka2_Num_Open(RunContext& run, DbCursor& cursor);
DbResult Ka2_Num_Fetch(DbCursor& cursor, KalSatz& kal);
int Ka2_Num_Close(DbCursor& cursor);
DbResult Ka2_LastDay_Get(RunContext& run, const char* num, char* key, size_t size);
DbResult Ka2_Day_Open(RunContext& run, DbCursor& cursor, const char* num, const char* last_key, const char* end_key);
DbResult Ka2_Day_Fetch(DbCursor& cursor, KalSatz& kal);
int Ka2_Day_Close(DbCursor& cursor);
DbResult Ka2_NewDay_Ins(RunContext& run, const KalSatz& kal);
