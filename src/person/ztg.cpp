#include "person/ztg.h"

#include "common/text.h"
#include "db/db.h"

DbResult Ztg_Day_Get(RunContext& run, ZtgSatz& ztg) {
  static constexpr const char* kSql =
      "SELECT ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt,        ZtgAgr, ZtgTag, ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp  "
      "FROM  %s.Qxs329Ztg  WHERE ZtgPnr = '%s'    AND ZtgVon = CONVERT(Datetime, '%s', 112)    AND ZtgSta < 4";
  char akr[Txt_Size(5)], abt[Txt_Size(15)], kst[Txt_Size(30)], ktr[Txt_Size(6)], krt[Txt_Size(4)], agr[Txt_Size(5)],
      bsd[Txt_Size(5)], vra[Txt_Size(5)], azt[Txt_Size(5)], ttp[Txt_Size(3)];
  int32_t tag = 0;
  DbResult r = Db_Query_One(
      run.db, Db_Format(kSql, run.schema, ztg.ZtgPnr, ztg.ZtgVon),
      {Db_Text(akr, sizeof akr), Db_Text(abt, sizeof abt), Db_Text(kst, sizeof kst), Db_Text(ktr, sizeof ktr),
       Db_Text(krt, sizeof krt), Db_Text(agr, sizeof agr), Db_Long(&tag), Db_Text(bsd, sizeof bsd),
       Db_Text(vra, sizeof vra), Db_Text(azt, sizeof azt), Db_Text(ttp, sizeof ttp)});
  if (r == DB_OK) {
    Txt_Copy(ztg.ZtgAkr, akr);
    Txt_Copy(ztg.ZtgAbt, abt);
    Txt_Copy(ztg.ZtgKst, kst);
    Txt_Copy(ztg.ZtgKtr, ktr);
    Txt_Copy(ztg.ZtgKrt, krt);
    Txt_Copy(ztg.ZtgAgr, agr);
    ztg.ZtgTag = tag;
    Txt_Copy(ztg.ZtgBsd, bsd);
    Txt_Copy(ztg.ZtgVra, vra);
    Txt_Copy(ztg.ZtgAzt, azt);
    Txt_Copy(ztg.ZtgTtp, ttp);
  }
  return r;
}

DbResult Zuo_Assign_Get(RunContext& run, ZtgSatz& ztg) {
  // The cycle day is the non-negative remainder, so that a day before the cycle start counts
  // backwards through the rotation instead of landing on a cycle day no group has.
  static constexpr const char* kSql =
      "SELECT ((((CONVERT(int, (TAGTAG - ZUOSDT + ZUOSTG - 1)) %%        CONVERT(int, AgrTge)) + "
      "CONVERT(int, AgrTge)) %% CONVERT(int, AgrTge)) + 1), ZuoAgr, ZuoAbt,        ZuoKst, ZuoKrt, ZuoKtr, ZuoVra  "
      "FROM  %s.Qxs327Tag, %s.Qxs311Zuo, %s.Qxs160Agr  WHERE ZuoPnr = '%s'    AND ZuoPnr = TagPnr    "
      "AND ZuoGvo <= CONVERT(Datetime, '%s', 112)    AND (ZuoGbi >= CONVERT(Datetime, '%s', 112)      "
      "OR ZuoGbi IS NULL)    AND ZuoSta < 4    AND TagTag = CONVERT(Datetime, '%s', 112)    "
      "AND AgrNum = ZuoAgr   AND AgrSta < 4 ";
  int32_t tag = 0;
  char agr[Txt_Size(5)], abt[Txt_Size(15)], kst[Txt_Size(30)], krt[Txt_Size(4)], ktr[Txt_Size(6)], vra[Txt_Size(5)];
  DbResult r = Db_Query_One(
      run.db, Db_Format(kSql, run.schema, run.schema, run.schema, ztg.ZtgPnr, ztg.ZtgVon, ztg.ZtgVon, ztg.ZtgVon),
      {Db_Long(&tag), Db_Text(agr, sizeof agr), Db_Text(abt, sizeof abt), Db_Text(kst, sizeof kst),
       Db_Text(krt, sizeof krt), Db_Text(ktr, sizeof ktr), Db_Text(vra, sizeof vra)});
  // A statement the server refused leaves the record as it was; only a query that ran and found
  // no assignment empties the assignment's values.
  const bool executed = r.code != DB_FAIL || r.diag.state[0] == '\0';
  if (r == DB_OK) {
    ztg.ZtgTag = tag;
    Txt_Copy(ztg.ZtgAgr, agr);
    Txt_Copy(ztg.ZtgAbt, abt);
    Txt_Copy(ztg.ZtgKst, kst);
    Txt_Copy(ztg.ZtgKrt, krt);
    Txt_Copy(ztg.ZtgKtr, ktr);
    Txt_Copy(ztg.ZtgVra, vra);
  } else if (executed) {
    ztg.ZtgTag = 0;
    Txt_Copy(ztg.ZtgAgr, "");
    Txt_Copy(ztg.ZtgAbt, "");
    Txt_Copy(ztg.ZtgKst, "");
    Txt_Copy(ztg.ZtgKrt, "");
    Txt_Copy(ztg.ZtgKtr, "");
    Txt_Copy(ztg.ZtgVra, "");
  }
  return r;
}

DbResult Wpl_Plan_Get(RunContext& run, ZtgSatz& ztg) {
  static constexpr const char* kSql =
      "SELECT WplAzt, WplVra  FROM  %s.Qxs161Wpl  WHERE WplAgr = '%s'    AND WplTag = %ld    AND WplSta < 4";
  char azt[Txt_Size(5)], vra[Txt_Size(5)];
  DbResult r = Db_Query_One(run.db, Db_Format(kSql, run.schema, ztg.ZtgAgr, static_cast<long>(ztg.ZtgTag)),
                            {Db_Text(azt, sizeof azt), Db_Text(vra, sizeof vra)});
  if (r == DB_OK) {
    // A blank plan value means the plan does not decide it: the record keeps what it has.
    if (Str_TrimRight(azt)[0] != '\0') Txt_Copy(ztg.ZtgAzt, azt);
    if (Str_TrimRight(vra)[0] != '\0') Txt_Copy(ztg.ZtgVra, vra);
  }
  return r;
}

namespace {
// Insert and update of the record, each written once: the parts in braces are the person's name
// column, left out once the client table turns out to have none.
constexpr char kInsert[] =
    "INSERT INTO %s.Qxs329Ztg   (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr,    ZtgKrt, ZtgAgr, ZtgTag, "
    "ZtgBsd, ZtgVra, ZtgAzt,    ZtgTtp, ZtgDat, ZtgSta{, ZtgPnm}) VALUES   ('%s', CONVERT(Datetime, '%s', 112), "
    "'%s', '%s',    '%s', '%s', '%s', '%s',    %ld, '%s', '%s', '%s',    '%s', CURRENT_TIMESTAMP, 1{, '%s'})";
constexpr auto kInsertName = Db_Variant_Text(kInsert, DbVariant::First);
constexpr auto kInsertNoName = Db_Variant_Text(kInsert, DbVariant::Second);

constexpr char kUpdate[] =
    "UPDATE %s.Qxs329Ztg SET   ZtgAkr = '%s', ZtgAbt = '%s',   ZtgKst = '%s', ZtgKtr = '%s',   "
    "ZtgKrt = '%s', ZtgAgr = '%s', ZtgTag = %ld{ },   ZtgBsd = '%s', ZtgVra = '%s', ZtgAzt = '%s',   "
    "ZtgTtp = '%s', ZtgDat = CURRENT_TIMESTAMP, ZtgSta = 1{,   ZtgPnm = '%s'}  WHERE ZtgPnr = '%s'    "
    "AND ZtgVon = CONVERT(Datetime, '%s', 112)";
constexpr auto kUpdateName = Db_Variant_Text(kUpdate, DbVariant::First);
constexpr auto kUpdateNoName = Db_Variant_Text(kUpdate, DbVariant::Second);
}  // namespace

DbResult Ztg_NewDay_Ins(RunContext& run, const ZtgSatz& ztg) {
  long rows = -1;
  DbResult r = Db_Variant_Run(run.variants.ztg_name, kNoColumn, [&](DbVariant variant) {
    const long tag = ztg.ZtgTag;
    if (variant == DbVariant::First) {
      return Db_Write(run.db,
                      Db_Format(kInsertName.text, run.schema, ztg.ZtgPnr, ztg.ZtgVon, ztg.ZtgAkr, ztg.ZtgAbt,
                                ztg.ZtgKst, ztg.ZtgKtr, ztg.ZtgKrt, ztg.ZtgAgr, tag, ztg.ZtgBsd, ztg.ZtgVra, ztg.ZtgAzt,
                                ztg.ZtgTtp, ztg.ZtgPnm),
                      0, &rows);
    }
    return Db_Write(
        run.db,
        Db_Format(kInsertNoName.text, run.schema, ztg.ZtgPnr, ztg.ZtgVon, ztg.ZtgAkr, ztg.ZtgAbt, ztg.ZtgKst,
                  ztg.ZtgKtr, ztg.ZtgKrt, ztg.ZtgAgr, tag, ztg.ZtgBsd, ztg.ZtgVra, ztg.ZtgAzt, ztg.ZtgTtp),
        0, &rows);
  });
  Run_Wrote(run, run.schema, "Qxs329Ztg", RunWrite::Added, rows);
  return r;
}

DbResult Ztg_Day_Upd(RunContext& run, const ZtgSatz& ztg) {
  long rows = -1;
  DbResult r = Db_Variant_Run(run.variants.ztg_name, kNoColumn, [&](DbVariant variant) {
    const long tag = ztg.ZtgTag;
    if (variant == DbVariant::First) {
      return Db_Write(run.db,
                      Db_Format(kUpdateName.text, run.schema, ztg.ZtgAkr, ztg.ZtgAbt, ztg.ZtgKst, ztg.ZtgKtr,
                                ztg.ZtgKrt, ztg.ZtgAgr, tag, ztg.ZtgBsd, ztg.ZtgVra, ztg.ZtgAzt, ztg.ZtgTtp, ztg.ZtgPnm,
                                ztg.ZtgPnr, ztg.ZtgVon),
                      0, &rows);
    }
    return Db_Write(
        run.db,
        Db_Format(kUpdateNoName.text, run.schema, ztg.ZtgAkr, ztg.ZtgAbt, ztg.ZtgKst, ztg.ZtgKtr, ztg.ZtgKrt,
                  ztg.ZtgAgr, tag, ztg.ZtgBsd, ztg.ZtgVra, ztg.ZtgAzt, ztg.ZtgTtp, ztg.ZtgPnr, ztg.ZtgVon),
        0, &rows);
  });
  Run_Wrote(run, run.schema, "Qxs329Ztg", RunWrite::Rewritten, rows);
  return r;
}

void Ztg_Day_Generate(RunContext& run, const BsvSatz& bsv, const TagSatz& tag) {
  ZtgSatz ztg{};
  Txt_Copy(ztg.ZtgPnr, tag.TagPnr);
  Fld_Copy(ztg.ZtgVon, tag.TagTag);

  const DbResult found = Ztg_Day_Get(run, ztg);
  if (found != DB_OK && found != DB_NODATA) {
    // Without knowing whether a record exists, the day gets none written, and the log says so.
    Run_Error(run, found, "Error: Ztgsatz ermitteln %d! ", found.code);
    run.log.Printf("Person: %s! ", ztg.ZtgPnr);
    run.log.Printf("Tag: %s!\n", ztg.ZtgVon);
    return;
  }
  const bool new_row = found == DB_NODATA;

  Txt_Copy(ztg.ZtgAkr, bsv.BsvAkr);
  Txt_Copy(ztg.ZtgBsd, bsv.BsvAbr);
  Txt_Copy(ztg.ZtgTtp, tag.TagTtp);
  Txt_Copy(ztg.ZtgPnm, bsv.PnrNam);

  if (const DbResult r = Zuo_Assign_Get(run, ztg); r != DB_OK) {
    Run_Error(run, r, "Error: Zuordnung ermitteln. %d! ", r.code);
    run.log.Printf("Person: %s! ", ztg.ZtgPnr);
    run.log.Printf("Tag: %s!\n", ztg.ZtgVon);
  }
  if (const DbResult r = Wpl_Plan_Get(run, ztg); r != DB_OK) {
    Run_Error(run, r, "Error: Azt + Vra ermitteln. %d! ", r.code);
    run.log.Printf("Person: %s! ", ztg.ZtgPnr);
    run.log.Printf("Tag: %s!\n", ztg.ZtgVon);
    run.log.Printf("ZtgTag: %d!\n", ztg.ZtgTag);
    run.log.Printf("ZtgAgr: %s!\n", ztg.ZtgAgr);
  }

  // The record is written whatever the assignment and the plan gave, so the day is never left
  // without one.
  if (new_row) {
    if (const DbResult r = Ztg_NewDay_Ins(run, ztg); r != DB_OK) {
      Run_Error(run, r, "Error: Ztgsatz einfügen %d! ", r.code);
      run.log.Printf("Person: %s! ", ztg.ZtgPnr);
      run.log.Printf("Tag: %s!\n", ztg.ZtgVon);
    }
  } else if (const DbResult r = Ztg_Day_Upd(run, ztg); r != DB_OK) {
    Run_Error(run, r, "Error: Ztgsatz updaten %d! ", r.code);
    run.log.Printf("Person: %s! ", ztg.ZtgPnr);
    run.log.Printf("Tag: %s!\n", ztg.ZtgVon);
  }
}
