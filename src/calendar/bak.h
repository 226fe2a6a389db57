#pragma once
// The base calendar QXSYSTEM.Qxs133Bak: one row per date, extended day by day from its latest row.
#include <cstddef>
#include <cstdint>

#include "db/run_context.h"

// One base-calendar day. BakDtm holds the date key (YYYYMMDD); the rest are the date's parts as
// the row stores them.
struct BakSatz {
  char BakDtm[12];
  int32_t BakJhr;  // year
  int32_t BakMon;  // month 1..12
  int32_t BakTag;  // day of the month
  int32_t BakWch;  // ISO week number
  int32_t BakWtg;  // weekday as the server's DATEPART(weekday, ...) numbers it
  int32_t BakJtg;  // day of the year
  int32_t BakYow;  // year the week BakWch belongs to
};

// Extends the base calendar QXSYSTEM.Qxs133Bak day by day up to the end date key.
void Bak_Calendar_Extend(RunContext& run, const char* end_key);

// The latest base-calendar date (the server's current date when the table is empty) into key
// (at least 9 bytes). 0 or -1.
DbResult Bak_LastDay_Get(RunContext& run, char* key, size_t size);
// Moves the record to the day after its BakDtm, with the server's date parts and the week number.
// 0; 100 when BakDtm has no row; -1. The record is unchanged unless the result is 0.
DbResult Bak_NxtDay_Init(RunContext& run, BakSatz& bak);
// Inserts the record's day: 0, 1 (success with information), -1, or 547 (refused by a constraint).
DbResult Bak_NewDay_Ins(RunContext& run, const BakSatz& bak);
