#include "calendar/bak.h"

#include <cstring>

#include "calendar/date.h"
#include "db/db.h"
#include "common/text.h"

namespace {

// Decimal value of the digits text[from, from+count); a non-digit ends the number. text is a
// column buffer, cleared before the fetch, so reading past a short value finds zero bytes.
int Digits(const char* text, size_t from, size_t count) {
  int value = 0;
  for (size_t i = from; i < from + count && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

}  // namespace

DbResult Bak_LastDay_Get(RunContext& run, char* key, size_t size) {
  static constexpr char kStatement[] =
      "SELECT CONVERT(char(8), (COALESCE(MAX(BakDtm),        CURRENT_TIMESTAMP)), 112)  FROM  QXSYSTEM.Qxs133Bak";
  char dtm[11];
  DbResult r = Db_Query_One(run.db, Db_Format(kStatement), {Db_Text(dtm, sizeof dtm)});
  if (r == DB_OK) {
    dtm[8] = '\0';
    Str_Copy(key, size, dtm);
  }
  return r;
}

DbResult Bak_NxtDay_Init(RunContext& run, BakSatz& bak) {
  static constexpr char kStatement[] =
      "SELECT CONVERT(char(8), DATEADD(day, 1, BakDtm), 112),        DATEPART(year, DATEADD(day, 1, BakDtm)),        "
      "DATEPART(month, DATEADD(day, 1, BakDtm)),        DATEPART(day, DATEADD(day, 1, BakDtm)),        "
      "DATEPART(weekday, DATEADD(day, 1, BakDtm)),        DATEPART(dayofyear, DATEADD(day, 1, BakDtm))  FROM  "
      "QXSYSTEM.Qxs133Bak  WHERE BakDtm = CONVERT(Datetime, '%s', 112)";
  char dtm[11];
  int32_t year = 0, month = 0, day = 0, weekday = 0, year_day = 0;
  DbResult r = Db_Query_One(run.db, Db_Format(kStatement, bak.BakDtm),
                            {Db_Text(dtm, sizeof dtm), Db_Long(&year), Db_Long(&month), Db_Long(&day),
                             Db_Long(&weekday), Db_Long(&year_day)});
  if (r != DB_OK) return r;

  dtm[8] = '\0';
  Fld_Copy(bak.BakDtm, dtm);
  bak.BakJhr = year;
  bak.BakMon = month;
  bak.BakTag = day;
  bak.BakWtg = weekday;
  bak.BakJtg = year_day;
  // The week number is the program's own, computed from the date key rather than from the
  // server's parts, so that it never depends on the server's week settings.
  bak.BakWch = Dat_WeekNum(Digits(dtm, 6, 2), Digits(dtm, 4, 2), Digits(dtm, 0, 4));
  // Late December days may belong to week 1 of the next year, early January days to the last
  // week of the year before.
  if (bak.BakMon == 12 && bak.BakWch == 1) {
    bak.BakYow = bak.BakJhr + 1;
  } else if (bak.BakMon == 1 && bak.BakWch > 51) {
    bak.BakYow = bak.BakJhr - 1;
  } else {
    bak.BakYow = bak.BakJhr;
  }
  return r;
}

DbResult Bak_NewDay_Ins(RunContext& run, const BakSatz& bak) {
  static constexpr char kStatement[] =
      "INSERT INTO QXSYSTEM.Qxs133Bak   (BakDtm, BakJhr, BakMon, BakTag,    BakWch, BakWtg, BakJtg, BakYow, BakDat) "
      "VALUES   (CONVERT (Datetime, '%s', 112), %d, %d, %d,    %d, %d, %d, %d, CURRENT_TIMESTAMP)";
  long rows = -1;
  DbResult r = Db_Write(run.db,
                        Db_Format(kStatement, bak.BakDtm, bak.BakJhr, bak.BakMon, bak.BakTag, bak.BakWch, bak.BakWtg,
                                  bak.BakJtg, bak.BakYow),
                        547, &rows);
  Run_Wrote(run, "QXSYSTEM", "Qxs133Bak", RunWrite::Added, rows);
  return r;
}

void Bak_Calendar_Extend(RunContext& run, const char* end_key) {
  BakSatz bak{};
  char last[9] = {};
  const DbResult last_day = Bak_LastDay_Get(run, last, sizeof last);
  if (last_day != DB_OK) {
    Run_Error(run, last_day, "Error: Letzten BAK-Tag ermitteln. RC:%d\n", last_day.code);
    Fld_Copy(bak.BakDtm, run.today);
  } else {
    Fld_Copy(bak.BakDtm, last);
  }

  // Date keys compare as text in date order. Every successful step moves the record on one day,
  // whether its insert succeeds or not; a date that already has a row is passed over.
  while (std::strcmp(bak.BakDtm, end_key) < 0) {
    if (const DbResult r = Bak_NxtDay_Init(run, bak); r != DB_OK) {
      Run_Error(run, r, "Error: Bak_NxtDay_Init RC:%d\n", r.code);
      break;
    }
    if (const DbResult r = Bak_NewDay_Ins(run, bak); r != DB_OK) {
      Run_Error(run, r, "Error: Bak_NewDay_Ins RC:%d\n", r.code);
    }
  }
}
