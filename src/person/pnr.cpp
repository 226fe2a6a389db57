#include "person/pnr.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/text.h"
#include "db/db.h"
#include "person/batch_sql.h"
#include "person/urv.h"
#include "person/ztg.h"

namespace {
constexpr int kDuplicateKey = 2627;

// The live assignment rows of live persons in the range that have not ended: the person cursor
// reads them, the terminal's count counts their persons, so both see the same persons.
constexpr char kBsvPersons[] =
    "  FROM  %s.Qxs310Bsv, %s.Qxs300Pnr  WHERE BsvPnr >= '%s'    AND BsvPnr <= '%s'    "
    "AND (BsvGbi IS NULL      OR BsvGbi >= CURRENT_TIMESTAMP)    AND   BsvPnr = PnrNum    AND BsvSta < 4    "
    "AND PnrSta < 4";

// Reads the person's calendar days after the start date and writes what is missing.
void Pnr_Day_Loop(RunContext& run, const BsvSatz& bsv, TagSatz& tag, const char* start_key, const char* threshold,
                  const char* end_key) {
  Txt_Copy(tag.TagPnr, bsv.BsvPnr);
  DbCursor day_cursor(run.db);
  // An open that failed leaves the cursor closed; the line of the first fetch reports it.
  const DbResult opened = Pnr_Day_Open(run, day_cursor, bsv.BsvKal, start_key, end_key);
  // A fetch refused by locks opens the cursor again after the last day done.
  char done[9];
  Fld_Copy(done, start_key);
  auto next = [&] {
    return Db_Fetch_Resumed(
        run.db, [&] { return Pnr_Day_Fetch(day_cursor, tag); },
        [&] { return Pnr_Day_Open(run, day_cursor, bsv.BsvKal, done, end_key); });
  };
  DbResult r = next();
  while (r == DB_OK) {
    if (const DbResult exists = Tag_Day_Exists(run, tag.TagPnr, tag.TagTag); exists == DB_NODATA) {
      // A day record written meanwhile by someone else is as good as our own.
      if (const DbResult w = Tag_NewDay_Ins(run, tag); w != DB_OK && w != kDuplicateKey) {
        Run_Error(run, w, "Error: Tagsatz einfügen %d! ", w.code);
        run.log.Printf("Person: %s! Tag: %s\n", tag.TagPnr, tag.TagTag);
      }
    } else if (exists != DB_OK) {
      // The day goes on as if its record were there, but the failure is no longer silent.
      Run_Error(run, exists, "Error: Tagsatz ermitteln %d! ", exists.code);
      run.log.Printf("Person: %s! Tag: %s\n", tag.TagPnr, tag.TagTag);
    }
    if (Key_Less(threshold, tag.TagTag)) Ztg_Day_Generate(run, bsv, tag);
    Fld_Copy(done, tag.TagTag);
    r = next();
  }
  if (r != DB_NODATA) {
    Run_Error(run, opened == DB_FAIL ? opened : r, "Error: Nächsten Tag ermitteln. RC:%d", r.code);
    run.log.Printf("Person: %s\n", bsv.BsvPnr);
  }
  Pnr_Day_Close(day_cursor);
}
}  // namespace

DbResult Bsv_Pnr_Open(RunContext& run, DbCursor& cursor, const char* pnr_von, const char* pnr_bis) {
  static constexpr auto kSql = Db_Text_Join(
      Db_Text_Join("SELECT BsvPnr, CONVERT(char(8), BsvGvo, 112),        CONVERT(char(8), BsvGbi, 112), BsvKal,        "
                   "BsvAkr, BsvAbr, BsvGvo, PnrNam",
                   kBsvPersons)
          .text,
      "  ORDER BY BsvPnr ASC, BsvGvo DESC");
  return cursor.Open(Db_Format(kSql.text, run.schema, run.schema, pnr_von, pnr_bis));
}

long Bsv_Pnr_Count(RunContext& run, const char* pnr_von, const char* pnr_bis) {
  static constexpr auto kSql = Db_Text_Join("SELECT COUNT(DISTINCT BsvPnr)", kBsvPersons);
  int32_t total = 0;
  const DbResult r =
      Db_Query_One(run.db, Db_Format(kSql.text, run.schema, run.schema, pnr_von, pnr_bis), {Db_Long(&total)});
  return r.code == DB_OK ? total : -1;
}

DbResult Bsv_Pnr_Fetch(DbCursor& cursor, BsvSatz& bsv) {
  char pnr[Txt_Size(8)], gvo[11], gbi[11], kal[Txt_Size(3)], akr[Txt_Size(5)], abr[Txt_Size(5)], gvo_time[30],
      nam[Txt_Size(50)];
  DbResult r = cursor.Fetch({Db_Text(pnr, sizeof pnr), Db_Text(gvo, sizeof gvo), Db_Text(gbi, sizeof gbi),
                             Db_Text(kal, sizeof kal), Db_Text(akr, sizeof akr), Db_Text(abr, sizeof abr),
                             Db_Text(gvo_time, sizeof gvo_time), Db_Text(nam, sizeof nam)});
  if (r == DB_OK) {
    Txt_Copy(bsv.BsvPnr, pnr);
    Fld_Copy(bsv.BsvGvo, gvo);
    Fld_Copy(bsv.BsvGbi, gbi);
    Txt_Copy(bsv.BsvKal, kal);
    Txt_Copy(bsv.BsvAkr, akr);
    Txt_Copy(bsv.BsvAbr, abr);
    Txt_Copy(bsv.PnrNam, nam);
  }
  return r;
}

int Bsv_Pnr_Close(DbCursor& cursor) {
  return cursor.Close();
}

DbResult Pnr_Day_Open(RunContext& run, DbCursor& cursor, const char* kal, const char* start_key, const char* end_key) {
  return Db_Variant_Run(run.variants.day_table, kNoTable, [&](DbVariant variant) {
    if (variant == DbVariant::First) {
      static constexpr const char* kSqlClient =
          "SELECT CONVERT(char(8), Ka2Dtm, 112), Ka2Ttp, Ka2Dtm  FROM  %s.Qxs133Ka2  WHERE Ka2Num = '%s'    "
          "AND Ka2Dtm > CONVERT(Datetime, '%s', 112)    AND Ka2Dtm <= CONVERT(Datetime, '%s', 112)    "
          "AND Ka2Sta < 4  ORDER BY Ka2Dtm";
      return cursor.Open(Db_Format(kSqlClient, run.schema, kal, start_key, end_key));
    }
    static constexpr const char* kSqlSystem =
        "SELECT CONVERT(char(8), KalDtm, 112), KalTtp, KalDtm  FROM  QXSYSTEM.Qxs133Kal  WHERE KalNum = '%s'    "
        "AND KalDtm > CONVERT(Datetime, '%s', 112)    AND KalDtm <= CONVERT(Datetime, '%s', 112)    "
        "AND KalSta < 4  ORDER BY KalDtm";
    return cursor.Open(Db_Format(kSqlSystem, kal, start_key, end_key));
  });
}

DbResult Pnr_Day_Fetch(DbCursor& cursor, TagSatz& tag) {
  char dtm[11], ttp[Txt_Size(3)], dtm_time[30];
  DbResult r = cursor.Fetch({Db_Text(dtm, sizeof dtm), Db_Text(ttp, sizeof ttp), Db_Text(dtm_time, sizeof dtm_time)});
  if (r == DB_OK) {
    Fld_Copy(tag.TagTag, dtm);
    Fld_Copy(tag.TagVon, dtm);
    Fld_Copy(tag.TagBis, dtm);
    Fld_Copy(tag.TagUhr, "000000");
    Fld_Copy(tag.TagEnd, "000000");
    Txt_Copy(tag.TagTtp, ttp);
  }
  return r;
}

int Pnr_Day_Close(DbCursor& cursor) {
  return cursor.Close();
}

DbResult Tag_LastDay_Get(RunContext& run, const char* pnr, char (&date)[9]) {
  static constexpr const char* kSql =
      "SELECT CONVERT(char(8), (COALESCE(MAX(TagTag),        CURRENT_TIMESTAMP)), 112)  FROM  %s.Qxs327Tag "
      "WHERE TagPnr = '%s'";
  char last[11];
  DbResult r = Db_Query_One(run.db, Db_Format(kSql, run.schema, pnr), {Db_Text(last, sizeof last)});
  if (r == DB_OK) Fld_Copy(date, last);
  return r;
}

DbResult Ztg_LastDay_Get(RunContext& run, const char* pnr, char (&date)[9]) {
  static constexpr const char* kSql =
      "SELECT CONVERT(char(8), (COALESCE(MAX(ZtgVon),        CURRENT_TIMESTAMP)), 112) FROM   %s.Qxs329Ztg  "
      "WHERE ZtgPnr = '%s'  AND   ZtgSta < 4";
  char last[11];
  DbResult r = Db_Query_One(run.db, Db_Format(kSql, run.schema, pnr), {Db_Text(last, sizeof last)});
  if (r == DB_OK) Fld_Copy(date, last);
  return r;
}

DbResult Tag_Day_Exists(RunContext& run, const char* pnr, const char* date_key) {
  static constexpr const char* kSql =
      "SELECT TagPnr, convert(char(8), TagTag, 112)   FROM %s.Qxs327Tag  WHERE TagPnr = '%s'    "
      "AND TagTag = convert(Datetime, '%s', 112)";
  char tag_pnr[Txt_Size(8)], tag_tag[11];
  return Db_Query_One(run.db, Db_Format(kSql, run.schema, pnr, date_key),
                      {Db_Text(tag_pnr, sizeof tag_pnr), Db_Text(tag_tag, sizeof tag_tag)});
}

DbResult Tag_NewDay_Ins(RunContext& run, const TagSatz& tag) {
  static constexpr const char* kSql =
      "INSERT INTO %s.Qxs327Tag   (TagPnr, TagTag, TagVon,    TagUhr, TagBis, TagEnd, TagDat) VALUES ('%s', "
      "CONVERT(Datetime, '%s', 112), CONVERT(Datetime, '%s', 112),  CONVERT(Datetime, '%s', 120), "
      "CONVERT(Datetime, '%s', 112),  CONVERT(Datetime, '%s', 120), CURRENT_TIMESTAMP)";
  const std::string von_time = std::string(tag.TagVon) + " 00:00:00";
  const std::string bis_time = std::string(tag.TagBis) + " 00:00:00";
  long rows = -1;
  DbResult r =
      Db_Write(run.db, Db_Format(kSql, run.schema, tag.TagPnr, tag.TagTag, tag.TagVon, von_time, tag.TagBis, bis_time),
               kDuplicateKey, &rows);
  Run_Wrote(run, run.schema, "Qxs327Tag", RunWrite::Added, rows);
  return r;
}

int Pnr_Schedule_Generate(RunContext& run, const char* beg_dat, const char* end_key, const char* pnr_von,
                          const char* pnr_bis) {
  char prev_pnr[Txt_Size(8)] = "";
  TagSatz tag{};
  BsvSatz bsv{};

  // Every person's days of the end year are looked at again from 31 December of the year before.
  char prev_year_end[9];
  {
    char year[5] = "";
    Fld_Copy(year, end_key);
    char formed[32];
    std::snprintf(formed, sizeof formed, "%4d1231", std::atoi(year) - 1);
    Fld_Copy(prev_year_end, formed);
  }
  const bool have_beg = std::strcmp(beg_dat, "0") != 0;

  DbCursor bsv_cursor(run.db);
  // An open that failed leaves the cursor closed; the line of the first fetch reports it.
  const DbResult opened = Bsv_Pnr_Open(run, bsv_cursor, pnr_von, pnr_bis);
  // A fetch refused by locks opens the cursor again from the last person done, whose rows come
  // first again and are skipped as its further rows are; the rest of the range still runs.
  auto next = [&] {
    return Db_Fetch_Resumed(
        run.db, [&] { return Bsv_Pnr_Fetch(bsv_cursor, bsv); },
        [&] { return Bsv_Pnr_Open(run, bsv_cursor, prev_pnr[0] != '\0' ? prev_pnr : pnr_von, pnr_bis); });
  };
  DbResult r = next();
  while (r == DB_OK) {
    // Rows come latest valid-from first: a person's further rows are skipped.
    if (std::strcmp(bsv.BsvPnr, prev_pnr) != 0) {
      run.stats.person = bsv.BsvPnr;
      ++run.stats.persons_read;
      char last_tag[9] = "";
      char last_ztg[9] = "";
      // The batched step reads both dates at once; when that fails, the two queries say which.
      if (!run.batched || Pnr_LastDays_Get(run, bsv.BsvPnr, last_tag, last_ztg) != DB_OK) {
        if (const DbResult last = Tag_LastDay_Get(run, bsv.BsvPnr, last_tag); last != DB_OK) {
          Run_Error(run, last, "Error: Letzten Tagsatz ermitteln. %d", last.code);
          run.log.Printf("Person: %s!\n", bsv.BsvPnr);
          Fld_Copy(last_tag, run.today);
        }
        if (const DbResult last = Ztg_LastDay_Get(run, bsv.BsvPnr, last_ztg); last != DB_OK) {
          Run_Error(run, last, "Error: Letzten Ztgsatz ermitteln. %d", last.code);
          run.log.Printf("Person: %s!\n", bsv.BsvPnr);
          Fld_Copy(last_ztg, run.today);
        }
      }

      char start[9];
      char threshold[9];
      Fld_Copy(start, Key_Less(last_tag, last_ztg) ? last_tag : last_ztg);
      Fld_Copy(threshold, last_ztg);
      if (Key_Less(prev_year_end, start)) Fld_Copy(start, prev_year_end);
      if (Key_Less(prev_year_end, threshold)) Fld_Copy(threshold, prev_year_end);
      if (have_beg) {
        if (Key_Less(beg_dat, start)) Fld_Copy(start, beg_dat);
        if (Key_Less(beg_dat, threshold)) Fld_Copy(threshold, beg_dat);
      }

      // The batched step hands a person it cannot decide exactly to the day-by-day routines.
      if (Key_Less(start, end_key)) {
        PnrFallback why{};
        if (run.batched && Pnr_Batch_Days(run, bsv, start, threshold, end_key, why)) {
          ++run.stats.persons_batched;
        } else {
          if (run.batched) {
            ++run.stats.persons_handed_over;
            run.stats.FellBack(why);
          }
          ++run.stats.persons_daily;
          Pnr_Day_Loop(run, bsv, tag, start, threshold, end_key);
        }
      }
      Urv_Year_Generate(run, bsv, end_key);
      Run_Person_Done(run);
    }
    Txt_Copy(prev_pnr, bsv.BsvPnr);
    r = next();
  }
  if (r != DB_NODATA) {
    Run_Error(run, opened == DB_FAIL ? opened : r, "Error: Nächste Person ermitteln. RC:%d\n", r.code);
  }
  return Bsv_Pnr_Close(bsv_cursor);
}
