#include "calendar/kal.h"

#include <cstring>
#include <string>

#include "db/db.h"
#include "common/text.h"

namespace {

// The two families share their column layouts and copies; only the statement texts differ.

DbResult NumFetch(DbCursor& cursor, KalSatz& kal) {
  char num[Txt_Size(3)];
  DbResult r = cursor.Fetch({Db_Text(num, sizeof num)});
  if (r == DB_OK) Txt_Copy(kal.KalNum, num);
  return r;
}

DbResult LastDayGet(RunContext& run, const std::string& statement, char* key, size_t size) {
  char dtm[11];
  DbResult r = Db_Query_One(run.db, statement, {Db_Text(dtm, sizeof dtm)});
  if (r == DB_OK) {
    dtm[8] = '\0';
    Str_Copy(key, size, dtm);
  }
  return r;
}

DbResult DayFetch(DbCursor& cursor, KalSatz& kal) {
  char dtm[11];
  char ttp[Txt_Size(3)];
  char bak_dtm[30];  // the ORDER BY column; read but not used
  DbResult r = cursor.Fetch({Db_Text(dtm, sizeof dtm), Db_Text(ttp, sizeof ttp), Db_Text(bak_dtm, sizeof bak_dtm)});
  if (r == DB_OK) {
    dtm[8] = '\0';
    Fld_Copy(kal.KalDtm, dtm);
    Txt_Copy(kal.KalTtp, ttp);
    Txt_Copy(kal.KalPtp, ttp);
    Txt_Copy(kal.KalBtp, ttp);
    kal.KalGwt = 100;
  }
  return r;
}

}  // namespace

// System calendars.

DbResult Kal_Num_Open(RunContext& run, DbCursor& cursor) {
  static constexpr char kStatement[] =
      "SELECT DISTINCT MuwKal  FROM  QXSYSTEM.Qxs135Muw, %s.Qxs137Wch  WHERE MuwKal = WchKal  AND   MuwSta < 4  AND   "
      "WchSta < 4";
  return cursor.Open(Db_Format(kStatement, run.schema));
}

DbResult Kal_Num_Fetch(DbCursor& cursor, KalSatz& kal) {
  return NumFetch(cursor, kal);
}

int Kal_Num_Close(DbCursor& cursor) {
  return cursor.Close();
}

DbResult Kal_LastDay_Get(RunContext& run, const char* num, char* key, size_t size) {
  static constexpr char kStatement[] =
      "SELECT CONVERT(char(8), (COALESCE(MAX(KalDtm),        CURRENT_TIMESTAMP)), 112)  FROM  QXSYSTEM.Qxs133Kal  "
      "WHERE KalNum = '%s'  AND   KalSta < 4 ";
  return LastDayGet(run, Db_Format(kStatement, num), key, size);
}

DbResult Kal_Day_Open(RunContext& run, DbCursor& cursor, const char* num, const char* last_key, const char* end_key) {
  static constexpr char kStatement[] =
      "SELECT CONVERT(char(8), BakDtm, 112), WchTtp, BakDtm  FROM  QXSYSTEM.Qxs133Bak, QXSYSTEM.Qxs135Muw,        "
      "%s.Qxs137Wch  WHERE WchKal = '%s'    AND WchKal = MuwKal    AND WchTag = BakWtg    AND MuwSta < 4    AND WchSta "
      "< 4    AND BakDtm > CONVERT(Datetime, '%s', 112)    AND BakDtm <= CONVERT(Datetime, '%s', 112)  ORDER BY BakDtm";
  return cursor.Open(Db_Format(kStatement, run.schema, num, last_key, end_key));
}

DbResult Kal_Day_Fetch(DbCursor& cursor, KalSatz& kal) {
  return DayFetch(cursor, kal);
}

int Kal_Day_Close(DbCursor& cursor) {
  return cursor.Close();
}

DbResult Kal_NewDay_Ins(RunContext& run, const KalSatz& kal) {
  static constexpr char kStatement[] =
      "INSERT INTO QXSYSTEM.Qxs133Kal   (KalNum, KalDtm, KalTtp,    KalPtp, KalBtp, KalGwt, KalDat, KalSta) VALUES   "
      "('%s', CONVERT (Datetime, '%s',112), '%s',    '%s', '%s', %d, CURRENT_TIMESTAMP, 1)";
  long rows = -1;
  DbResult r =
      Db_Write(run.db, Db_Format(kStatement, kal.KalNum, kal.KalDtm, kal.KalTtp, kal.KalPtp, kal.KalBtp, kal.KalGwt),
               547, &rows);
  Run_Wrote(run, "QXSYSTEM", "Qxs133Kal", RunWrite::Added, rows);
  return r;
}

// Client calendars.

DbResult Ka2_Num_Open(RunContext& run, DbCursor& cursor) {
  static constexpr char kStatement[] =
      "SELECT DISTINCT Mu2Kal  FROM  %s.Qxs135Mu2, %s.Qxs137Wch  WHERE Mu2Kal = WchKal  AND   Mu2Sta < 4  AND   WchSta "
      "< 4 ";
  return cursor.Open(Db_Format(kStatement, run.schema, run.schema));
}

DbResult Ka2_Num_Fetch(DbCursor& cursor, KalSatz& kal) {
  return NumFetch(cursor, kal);
}

int Ka2_Num_Close(DbCursor& cursor) {
  return cursor.Close();
}

DbResult Ka2_LastDay_Get(RunContext& run, const char* num, char* key, size_t size) {
  static constexpr char kStatement[] =
      "SELECT CONVERT(char(8), (COALESCE(MAX(Ka2Dtm),        CURRENT_TIMESTAMP)), 112)  FROM  %s.Qxs133Ka2  WHERE "
      "Ka2Num = '%s'  AND   Ka2Sta < 4 ";
  return LastDayGet(run, Db_Format(kStatement, run.schema, num), key, size);
}

DbResult Ka2_Day_Open(RunContext& run, DbCursor& cursor, const char* num, const char* last_key, const char* end_key) {
  static constexpr char kStatement[] =
      "SELECT CONVERT(char(8), BakDtm, 112), WchTtp, BakDtm  FROM  QXSYSTEM.Qxs133Bak, %s.Qxs135Mu2, %s.Qxs137Wch  "
      "WHERE WchKal = '%s'    AND WchKal = Mu2Kal    AND WchTag = BakWtg    AND Mu2Sta < 4    AND WchSta < 4    AND "
      "BakDtm > CONVERT(Datetime, '%s', 112)    AND BakDtm <= CONVERT(Datetime, '%s', 112)  ORDER BY BakDtm";
  return cursor.Open(Db_Format(kStatement, run.schema, run.schema, num, last_key, end_key));
}

DbResult Ka2_Day_Fetch(DbCursor& cursor, KalSatz& kal) {
  return DayFetch(cursor, kal);
}

int Ka2_Day_Close(DbCursor& cursor) {
  return cursor.Close();
}

DbResult Ka2_NewDay_Ins(RunContext& run, const KalSatz& kal) {
  static constexpr char kStatement[] =
      "INSERT INTO %s.Qxs133Ka2   (Ka2Num, Ka2Dtm, Ka2Ttp,    Ka2Ptp, Ka2Btp, Ka2Gwt, Ka2Dat, Ka2Sta) VALUES   ('%s', "
      "CONVERT (Datetime, '%s',112), '%s',    '%s', '%s', %d, CURRENT_TIMESTAMP, 1)";
  long rows = -1;
  DbResult r = Db_Write(
      run.db, Db_Format(kStatement, run.schema, kal.KalNum, kal.KalDtm, kal.KalTtp, kal.KalPtp, kal.KalBtp, kal.KalGwt),
      547, &rows);
  Run_Wrote(run, run.schema, "Qxs133Ka2", RunWrite::Added, rows);
  return r;
}

namespace {

// One family's routines and run-log messages: the family loop below runs both families alike.
struct Family {
  DbResult (*num_open)(RunContext&, DbCursor&);
  DbResult (*num_fetch)(DbCursor&, KalSatz&);
  int (*num_close)(DbCursor&);
  DbResult (*last_day_get)(RunContext&, const char*, char*, size_t);
  DbResult (*day_open)(RunContext&, DbCursor&, const char*, const char*, const char*);
  DbResult (*day_fetch)(DbCursor&, KalSatz&);
  int (*day_close)(DbCursor&);
  DbResult (*new_day_ins)(RunContext&, const KalSatz&);
  // Each message takes the result code.
  ErrorFormat<int> num_open_failed;
  ErrorFormat<int> last_day_failed;
  ErrorFormat<int> insert_failed;
  ErrorFormat<int> day_cursor_failed;
  ErrorFormat<int> num_cursor_failed;
};

constexpr Family kSystemFamily = {
    Kal_Num_Open,
    Kal_Num_Fetch,
    Kal_Num_Close,
    Kal_LastDay_Get,
    Kal_Day_Open,
    Kal_Day_Fetch,
    Kal_Day_Close,
    Kal_NewDay_Ins,
    "Error: KalNum Cursor Open. RC:%d\n",
    "Error: Letzten Kal-Tag ermitteln. RC:%d\n",
    "Error:Kal-Tag einfügen. RC:%d\n",
    "Error: Nächste KalSatz ermitteln. RC:%d\n",
    "Error: Nächste KalNum ermitteln. RC:%d\n",
};

constexpr Family kClientFamily = {
    Ka2_Num_Open,
    Ka2_Num_Fetch,
    Ka2_Num_Close,
    Ka2_LastDay_Get,
    Ka2_Day_Open,
    Ka2_Day_Fetch,
    Ka2_Day_Close,
    Ka2_NewDay_Ins,
    "Error: Ka2Num Cursor Open. RC:%d\n",
    "Error: Letzten Ka2-Tag ermitteln. RC:%d\n",
    "Error:Ka2-Tag einfügen. RC:%d\n",
    "Error: Nächste Ka2Satz ermitteln. RC:%d\n",
    "Error: Nächste Ka2Num ermitteln. RC:%d\n",
};

void RunFamily(RunContext& run, const Family& f, KalSatz& kal, const char* end_key) {
  DbCursor num_cursor(run.db);
  // A cursor that did not open stays closed: the first fetch then fails with -1 and the
  // number-cursor message below follows.
  if (const DbResult opened = f.num_open(run, num_cursor); opened != DB_OK) {
    Run_Error(run, opened, f.num_open_failed, opened.code);
  }

  DbResult r = f.num_fetch(num_cursor, kal);
  while (r == DB_OK) {
    char last_key[9] = {};
    if (const DbResult last = f.last_day_get(run, kal.KalNum, last_key, sizeof last_key); last != DB_OK) {
      // Without its last day a calendar cannot be continued; the family stops here.
      Run_Error(run, last, f.last_day_failed, last.code);
      // The number-cursor line below gives the same code again; its reason went with this line.
      r = DbResult{last.code, {}};
      break;
    }
    // A calendar that already reaches the end date gets nothing.
    if (std::strcmp(last_key, end_key) < 0) {
      // An open that failed leaves the cursor closed; the line of the first fetch reports it.
      DbCursor day_cursor(run.db);
      const DbResult opened = f.day_open(run, day_cursor, kal.KalNum, last_key, end_key);
      DbResult day = f.day_fetch(day_cursor, kal);
      while (day == DB_OK) {
        if (const DbResult w = f.new_day_ins(run, kal); w != DB_OK && w != DB_NODATA) {
          Run_Error(run, w, f.insert_failed, w.code);
        }
        day = f.day_fetch(day_cursor, kal);
      }
      if (day != DB_OK && day != DB_NODATA) {
        Run_Error(run, opened == DB_FAIL ? opened : day, f.day_cursor_failed, day.code);
      }
      f.day_close(day_cursor);
    }
    r = f.num_fetch(num_cursor, kal);
  }
  if (r != DB_OK && r != DB_NODATA) Run_Error(run, r, f.num_cursor_failed, r.code);
  f.num_close(num_cursor);
}

}  // namespace

int Kal_Calendar_Generate(RunContext& run, const char* end_key) {
  // One record for every calendar of both families: each number fetch sets KalNum, each day
  // fetch the rest.
  KalSatz kal{};
  RunFamily(run, kSystemFamily, kal, end_key);
  RunFamily(run, kClientFamily, kal, end_key);
  return 0;
}
