#include "calendar/kal.h"

#include <cstring>
#include <string>

#include "db/db.h"
#include "driver/runlog.h"

namespace {

// Handle slots of the four cursors.
DbCursor kal_num_slot;
DbCursor ka2_num_slot;
DbCursor kal_day_slot;
DbCursor ka2_day_slot;

// Copies at most size-1 bytes of src and terminates: a longer text arrives cut, never overflows.
void CopyText(char* dst, size_t size, const char* src) {
  if (size == 0) return;
  size_t n = strnlen(src, size - 1);
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

// The two families share their column layouts and copies; only texts and slots differ.

int NumFetch(DbCursor& slot, KalSatz& kal) {
  char num[4];
  int r = Db_Cursor_Fetch(slot, {Db_Text(num, sizeof num)});
  if (r == DB_OK) CopyText(kal.KalNum, sizeof kal.KalNum, num);
  return r;
}

int LastDayGet(const std::string& statement, char* key, size_t size) {
  char dtm[11];
  int r = Db_Query_One(statement, {Db_Text(dtm, sizeof dtm)});
  if (r == DB_OK) {
    dtm[8] = '\0';
    CopyText(key, size, dtm);
  }
  return r;
}

int DayFetch(DbCursor& slot, KalSatz& kal) {
  char dtm[11];
  char ttp[4];
  char bak_dtm[30];  // the ORDER BY column; read but not used
  int r = Db_Cursor_Fetch(slot, {Db_Text(dtm, sizeof dtm), Db_Text(ttp, sizeof ttp), Db_Text(bak_dtm, sizeof bak_dtm)});
  if (r == DB_OK) {
    dtm[8] = '\0';
    CopyText(kal.KalDtm, sizeof kal.KalDtm, dtm);
    CopyText(kal.KalTtp, sizeof kal.KalTtp, ttp);
    CopyText(kal.KalPtp, sizeof kal.KalPtp, ttp);
    CopyText(kal.KalBtp, sizeof kal.KalBtp, ttp);
    kal.KalGwt = 100;
  }
  return r;
}

}  // namespace

// System calendars.

int Kal_Num_Open() {
  static constexpr char kStatement[] =
      "SELECT DISTINCT MuwKal  FROM  QXSYSTEM.Qxs135Muw, %s.Qxs137Wch  WHERE MuwKal = WchKal  AND   MuwSta < 4  AND   WchSta < 4";
  return Db_Cursor_Open(kal_num_slot, Db_Format(kStatement, {Run_Schema()}));
}

int Kal_Num_Fetch(KalSatz& kal) { return NumFetch(kal_num_slot, kal); }

int Kal_Num_Close() { return Db_Cursor_Close(kal_num_slot); }

int Kal_LastDay_Get(const char* num, char* key, size_t size) {
  static constexpr char kStatement[] =
      "SELECT CONVERT(char(8), (COALESCE(MAX(KalDtm),        CURRENT_TIMESTAMP)), 112)  FROM  QXSYSTEM.Qxs133Kal  WHERE KalNum = '%s'  AND   KalSta < 4 ";
  return LastDayGet(Db_Format(kStatement, {num}), key, size);
}

int Kal_Day_Open(const char* num, const char* last_key, const char* end_key) {
  static constexpr char kStatement[] =
      "SELECT CONVERT(char(8), BakDtm, 112), WchTtp, BakDtm  FROM  QXSYSTEM.Qxs133Bak, QXSYSTEM.Qxs135Muw,        %s.Qxs137Wch  WHERE WchKal = '%s'    AND WchKal = MuwKal    AND WchTag = BakWtg    AND MuwSta < 4    AND WchSta < 4    AND BakDtm > CONVERT(Datetime, '%s', 112)    AND BakDtm <= CONVERT(Datetime, '%s', 112)  ORDER BY BakDtm";
  return Db_Cursor_Open(kal_day_slot, Db_Format(kStatement, {Run_Schema(), num, last_key, end_key}));
}

int Kal_Day_Fetch(KalSatz& kal) { return DayFetch(kal_day_slot, kal); }

int Kal_Day_Close() { return Db_Cursor_Close(kal_day_slot); }

int Kal_NewDay_Ins(const KalSatz& kal) {
  static constexpr char kStatement[] =
      "INSERT INTO QXSYSTEM.Qxs133Kal   (KalNum, KalDtm, KalTtp,    KalPtp, KalBtp, KalGwt, KalDat, KalSta) VALUES   ('%s', CONVERT (Datetime, '%s',112), '%s',    '%s', '%s', %d, CURRENT_TIMESTAMP, 1)";
  return Db_Write(Db_Format(kStatement, {kal.KalNum, kal.KalDtm, kal.KalTtp, kal.KalPtp, kal.KalBtp, kal.KalGwt}),
                  547);
}

// Client calendars.

int Ka2_Num_Open() {
  static constexpr char kStatement[] =
      "SELECT DISTINCT Mu2Kal  FROM  %s.Qxs135Mu2, %s.Qxs137Wch  WHERE Mu2Kal = WchKal  AND   Mu2Sta < 4  AND   WchSta < 4 ";
  return Db_Cursor_Open(ka2_num_slot, Db_Format(kStatement, {Run_Schema(), Run_Schema()}));
}

int Ka2_Num_Fetch(KalSatz& kal) { return NumFetch(ka2_num_slot, kal); }

int Ka2_Num_Close() { return Db_Cursor_Close(ka2_num_slot); }

int Ka2_LastDay_Get(const char* num, char* key, size_t size) {
  static constexpr char kStatement[] =
      "SELECT CONVERT(char(8), (COALESCE(MAX(Ka2Dtm),        CURRENT_TIMESTAMP)), 112)  FROM  %s.Qxs133Ka2  WHERE Ka2Num = '%s'  AND   Ka2Sta < 4 ";
  return LastDayGet(Db_Format(kStatement, {Run_Schema(), num}), key, size);
}

int Ka2_Day_Open(const char* num, const char* last_key, const char* end_key) {
  static constexpr char kStatement[] =
      "SELECT CONVERT(char(8), BakDtm, 112), WchTtp, BakDtm  FROM  QXSYSTEM.Qxs133Bak, %s.Qxs135Mu2, %s.Qxs137Wch  WHERE WchKal = '%s'    AND WchKal = Mu2Kal    AND WchTag = BakWtg    AND Mu2Sta < 4    AND WchSta < 4    AND BakDtm > CONVERT(Datetime, '%s', 112)    AND BakDtm <= CONVERT(Datetime, '%s', 112)  ORDER BY BakDtm";
  return Db_Cursor_Open(ka2_day_slot, Db_Format(kStatement, {Run_Schema(), Run_Schema(), num, last_key, end_key}));
}

int Ka2_Day_Fetch(KalSatz& kal) { return DayFetch(ka2_day_slot, kal); }

int Ka2_Day_Close() { return Db_Cursor_Close(ka2_day_slot); }

int Ka2_NewDay_Ins(const KalSatz& kal) {
  static constexpr char kStatement[] =
      "INSERT INTO %s.Qxs133Ka2   (Ka2Num, Ka2Dtm, Ka2Ttp,    Ka2Ptp, Ka2Btp, Ka2Gwt, Ka2Dat, Ka2Sta) VALUES   ('%s', CONVERT (Datetime, '%s',112), '%s',    '%s', '%s', %d, CURRENT_TIMESTAMP, 1)";
  return Db_Write(Db_Format(kStatement, {Run_Schema(), kal.KalNum, kal.KalDtm, kal.KalTtp, kal.KalPtp, kal.KalBtp,
                                         kal.KalGwt}),
                  547);
}

namespace {

// One family's routines and run-log messages: the family loop below runs both families alike.
struct Family {
  int (*num_open)();
  int (*num_fetch)(KalSatz&);
  int (*num_close)();
  int (*last_day_get)(const char*, char*, size_t);
  int (*day_open)(const char*, const char*, const char*);
  int (*day_fetch)(KalSatz&);
  int (*day_close)();
  int (*new_day_ins)(const KalSatz&);
  const char* num_open_failed;
  const char* last_day_failed;
  const char* insert_failed;
  const char* day_cursor_failed;
  const char* num_cursor_failed;
};

constexpr Family kSystemFamily = {
    Kal_Num_Open, Kal_Num_Fetch, Kal_Num_Close, Kal_LastDay_Get, Kal_Day_Open, Kal_Day_Fetch, Kal_Day_Close,
    Kal_NewDay_Ins,
    "Error: KalNum Cursor Open. RC:%d\n",
    "Error: Letzten Kal-Tag ermitteln. RC:%d\n",
    "Error:Kal-Tag einfügen. RC:%d\n",
    "Error: Nächste KalSatz ermitteln. RC:%d\n",
    "Error: Nächste KalNum ermitteln. RC:%d\n",
};

constexpr Family kClientFamily = {
    Ka2_Num_Open, Ka2_Num_Fetch, Ka2_Num_Close, Ka2_LastDay_Get, Ka2_Day_Open, Ka2_Day_Fetch, Ka2_Day_Close,
    Ka2_NewDay_Ins,
    "Error: Ka2Num Cursor Open. RC:%d\n",
    "Error: Letzten Ka2-Tag ermitteln. RC:%d\n",
    "Error:Ka2-Tag einfügen. RC:%d\n",
    "Error: Nächste Ka2Satz ermitteln. RC:%d\n",
    "Error: Nächste Ka2Num ermitteln. RC:%d\n",
};

void RunFamily(const Family& f, KalSatz& kal, const char* end_key) {
  int r = f.num_open();
  // A cursor that did not open leaves its slot empty: the first fetch then fails with -1 and the
  // number-cursor message below follows.
  if (r != DB_OK) Log_Printf(f.num_open_failed, r);

  r = f.num_fetch(kal);
  while (r == DB_OK) {
    char last_key[9] = {};
    r = f.last_day_get(kal.KalNum, last_key, sizeof last_key);
    if (r != DB_OK) {
      // Without its last day a calendar cannot be continued; the family stops here.
      Log_Printf(f.last_day_failed, r);
      break;
    }
    // A calendar that already reaches the end date gets nothing.
    if (std::strcmp(last_key, end_key) < 0) {
      // An open that failed leaves the slot empty; the first fetch reports it.
      f.day_open(kal.KalNum, last_key, end_key);
      r = f.day_fetch(kal);
      while (r == DB_OK) {
        int w = f.new_day_ins(kal);
        if (w != DB_OK && w != DB_NODATA) Log_Printf(f.insert_failed, w);
        r = f.day_fetch(kal);
      }
      if (r != DB_OK && r != DB_NODATA) Log_Printf(f.day_cursor_failed, r);
      f.day_close();
    }
    r = f.num_fetch(kal);
  }
  if (r != DB_OK && r != DB_NODATA) Log_Printf(f.num_cursor_failed, r);
  f.num_close();
}

}  // namespace

int Kal_Calendar_Generate(const char* end_key) {
  // One record for every calendar of both families: each number fetch sets KalNum, each day
  // fetch the rest.
  KalSatz kal{};
  RunFamily(kSystemFamily, kal, end_key);
  RunFamily(kClientFamily, kal, end_key);
  return 0;
}
