#pragma once
// Leave-carry-over years: every person gets one row per calendar year up to the end year.
#include <cstdint>

#include "db/run_context.h"
#include "person/records.h"

// Adds the person's missing years up to the year of end_key.
void Urv_Year_Generate(RunContext& run, const BsvSatz& bsv, const char* end_key);

// The person's last carried-over year, 0 when none. On -1, last_year is left as it was.
DbResult Urv_LastYear_Get(RunContext& run, const char* pnr, int32_t& last_year);
// Inserts a year; 547 when a constraint of the table refuses it.
DbResult Urv_NewYear_Ins(RunContext& run, const char* pnr, int32_t year);
