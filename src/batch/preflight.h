#pragma once
// What planex checks on the connection before the generators write anything, and what it says of
// a run that did nothing: each check that fails is a refused start (a log line, the terminal's
// line, the report's stopped_by), so that a mistake costs no row that nobody can take back.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/early.h"
#include "db/run_context.h"

// The DATEFIRST (1 = Monday ... 7 = Sunday) under which the date key's day has the weekday number
// weekday (1..7) of DATEPART(weekday, ...); 0 for a key that is no date or a number outside 1..7.
int Batch_DateFirst_Of(std::string_view key, int weekday);

// The base calendar's latest day as this connection numbers its weekday, beside the number the
// table stores: a base calendar written under another numbering would go on with days shifted
// by one or more. Empty when they agree or cannot be compared (an empty or unreadable base
// calendar, which the base-calendar step reports itself); else the stop, with its log line written.
std::optional<BatchStop> Batch_Check_Weekdays(RunContext& run, const std::string& dsn, const std::string& login);

// The client schema's tables that every run reads or writes exist on this connection, and the
// login may write those it writes. Empty when so, or when the server cannot be asked; else the
// stop, with its log line written.
std::optional<BatchStop> Batch_Check_Schema(RunContext& run, const std::string& dsn, const std::string& login,
                                            const std::string& settings_path);

// EndeJahr more than kFarYears after the current year, without PLANEX_FAR_YEAR=1: the stop, with
// its log line written; else empty.
inline constexpr int kFarYears = 10;
std::optional<BatchStop> Batch_Check_Far_Year(RunLog& log, std::string_view ende_jahr, std::string_view today,
                                              const char* far_year_env);

// Warnings of a run that may do nothing: a reversed person range, person numbers of another width
// than the person table's, an end year already past. pnr_width: the one length of the person
// table's numbers, 0 when they differ or are unknown.
std::vector<RunWarning> Batch_Warnings(std::string_view pnr_von, std::string_view pnr_bis, bool all_persons,
                                       int pnr_width, std::string_view ende_jahr, std::string_view today);
// The one length of the person numbers in the person table, 0 when they differ, there are none or
// the table cannot be read.
int Bsv_Pnr_Width(RunContext& run);
// The warning of a run whose person range (as given) held no person.
RunWarning Batch_Warning_No_Persons(std::string_view pnr_von, std::string_view pnr_bis, bool all_persons);
