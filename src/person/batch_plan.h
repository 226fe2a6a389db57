#pragma once
// The in-memory planner of the batched person step (no statement runs here; its statements are in
// person/batch_sql.h). The batched person step decides all days of one person in memory, from what a few range reads
// gave, exactly as the day-by-day routines would decide them one statement at a time. Whatever
// those routines would log, and whatever would depend on the order in which the server returns
// rows, is not decided here: the person then goes through the day-by-day routines instead.
#include <cstdint>
#include <string>
#include <vector>

#include "db/run_stats.h"
#include "person/records.h"
#include "person/ztg.h"

// A live day of the person's working-time calendar, in the order the calendar read gives them.
struct KalTag {
  std::string key;  // date key
  std::string ttp;  // day type
};

// A schedule-assignment record of the person on a midnight date, whatever its status.
struct ZtgAlt {
  std::string von;  // date key
  int32_t sta = 0;
  std::string akr, abt, kst, ktr, krt, agr;
  int32_t tag = 0;
  std::string bsd, vra, azt, ttp;
  bool nulls = false;  // a value column is NULL (read as "" or 0)
  bool whole = true;   // every text value arrived as long as the server said it is
};

// One valid group assignment of the person on a day, with the cycle day the server computed.
struct ZuoTag {
  std::string key;  // date key
  int32_t tag = 0;
  std::string agr, abt, kst, krt, ktr, vra;
};

// A live plan row, under the group text of the assignment the server matched it to.
struct WplZeile {
  std::string agr;
  int32_t tag = 0;
  std::string azt, vra;
};

// The day records to add: every calendar day without one. False when the days are not what the
// day loop can take one by one in the same way (a date twice or out of order, a value longer
// than the day loop's field), so the person goes day by day.
// A datetime as the server sends it read as text ("yyyy-mm-dd hh:mm:ss.fff"): its date key
// (yyyymmdd) and whether its time is midnight exactly, as CONVERT(char(8), x, 112) and the
// day-by-day routines' midnight test see it. False for any other form.
bool Datetime_Key(const char* text, std::string& key, bool& midnight);

bool Tag_Batch_Plan(const std::vector<KalTag>& days, const std::vector<std::string>& existing,
                    std::vector<std::string>& new_days, PnrFallback* why = nullptr);

// The schedule-assignment records of the days after the threshold: new ones to insert, existing
// live ones to rewrite, each with every field as the day-by-day step would set it. False when a
// day has no valid assignment or several, no plan row or several, a dead record or several
// records, or a value longer than its field; why then tells which, where given.
bool Ztg_Batch_Plan(const BsvSatz& bsv, const char* threshold, const std::vector<KalTag>& days,
                    const std::vector<ZtgAlt>& existing, const std::vector<ZuoTag>& assignments,
                    const std::vector<WplZeile>& plans, std::vector<ZtgSatz>& inserts, std::vector<ZtgSatz>& updates,
                    PnrFallback* why = nullptr);
