#include "person/ztg.h"

#include "db/db.h"
#include "driver/runlog.h"
#include "driver/text.h"
#include "person/field.h"

namespace {
// Writes the person's name until the client table turns out to have no name column (207).
DbVariant name_column = DbVariant::First;
constexpr int kNoColumn = 207;
}  // namespace

int Ztg_Day_Get(ZtgSatz& ztg) {
  static constexpr const char* kSql =
      "SELECT ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt,        ZtgAgr, ZtgTag, ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp  "
      "FROM  %s.Qxs329Ztg  WHERE ZtgPnr = '%s'    AND ZtgVon = CONVERT(Datetime, '%s', 112)    AND ZtgSta < 4";
  char akr[6], abt[16], kst[31], ktr[7], krt[5], agr[6], bsd[6], vra[6], azt[6], ttp[4];
  int32_t tag = 0;
  int r = Db_Query_One(Db_Format(kSql, {Run_Schema(), ztg.ZtgPnr, ztg.ZtgVon}),
                       {Db_Text(akr, sizeof akr), Db_Text(abt, sizeof abt), Db_Text(kst, sizeof kst),
                        Db_Text(ktr, sizeof ktr), Db_Text(krt, sizeof krt), Db_Text(agr, sizeof agr), Db_Long(&tag),
                        Db_Text(bsd, sizeof bsd), Db_Text(vra, sizeof vra), Db_Text(azt, sizeof azt),
                        Db_Text(ttp, sizeof ttp)});
  if (r == DB_OK) {
    Fld_Copy(ztg.ZtgAkr, akr);
    Fld_Copy(ztg.ZtgAbt, abt);
    Fld_Copy(ztg.ZtgKst, kst);
    Fld_Copy(ztg.ZtgKtr, ktr);
    Fld_Copy(ztg.ZtgKrt, krt);
    Fld_Copy(ztg.ZtgAgr, agr);
    ztg.ZtgTag = tag;
    Fld_Copy(ztg.ZtgBsd, bsd);
    Fld_Copy(ztg.ZtgVra, vra);
    Fld_Copy(ztg.ZtgAzt, azt);
    Fld_Copy(ztg.ZtgTtp, ttp);
  }
  return r;
}

int Zuo_Assign_Get(ZtgSatz& ztg) {
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
  char agr[6], abt[16], kst[31], krt[5], ktr[7], vra[6];
  Db_Diag_Clear();
  int r = Db_Query_One(
      Db_Format(kSql, {Run_Schema(), Run_Schema(), Run_Schema(), ztg.ZtgPnr, ztg.ZtgVon, ztg.ZtgVon, ztg.ZtgVon}),
      {Db_Long(&tag), Db_Text(agr, sizeof agr), Db_Text(abt, sizeof abt), Db_Text(kst, sizeof kst),
       Db_Text(krt, sizeof krt), Db_Text(ktr, sizeof ktr), Db_Text(vra, sizeof vra)});
  // A statement the server refused leaves the record as it was; only a query that ran and found
  // no assignment empties the assignment's values.
  const bool executed = r != DB_FAIL || Db_Diag().state[0] == '\0';
  if (r == DB_OK) {
    ztg.ZtgTag = tag;
    Fld_Copy(ztg.ZtgAgr, agr);
    Fld_Copy(ztg.ZtgAbt, abt);
    Fld_Copy(ztg.ZtgKst, kst);
    Fld_Copy(ztg.ZtgKrt, krt);
    Fld_Copy(ztg.ZtgKtr, ktr);
    Fld_Copy(ztg.ZtgVra, vra);
  } else if (executed) {
    ztg.ZtgTag = 0;
    Fld_Copy(ztg.ZtgAgr, "");
    Fld_Copy(ztg.ZtgAbt, "");
    Fld_Copy(ztg.ZtgKst, "");
    Fld_Copy(ztg.ZtgKrt, "");
    Fld_Copy(ztg.ZtgKtr, "");
    Fld_Copy(ztg.ZtgVra, "");
  }
  return r;
}

int Wpl_Plan_Get(ZtgSatz& ztg) {
  static constexpr const char* kSql =
      "SELECT WplAzt, WplVra  FROM  %s.Qxs161Wpl  WHERE WplAgr = '%s'    AND WplTag = %ld    AND WplSta < 4";
  char azt[6], vra[6];
  int r = Db_Query_One(Db_Format(kSql, {Run_Schema(), ztg.ZtgAgr, static_cast<long>(ztg.ZtgTag)}),
                       {Db_Text(azt, sizeof azt), Db_Text(vra, sizeof vra)});
  if (r == DB_OK) {
    // A blank plan value means the plan does not decide it: the record keeps what it has.
    if (Str_TrimRight(azt)[0] != '\0') Fld_Copy(ztg.ZtgAzt, azt);
    if (Str_TrimRight(vra)[0] != '\0') Fld_Copy(ztg.ZtgVra, vra);
  }
  return r;
}

int Ztg_NewDay_Ins(const ZtgSatz& ztg) {
  return Db_Variant_Run(name_column, kNoColumn, [&](DbVariant variant) {
    const long tag = ztg.ZtgTag;
    if (variant == DbVariant::First) {
      static constexpr const char* kSqlName =
          "INSERT INTO %s.Qxs329Ztg   (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr,    ZtgKrt, ZtgAgr, ZtgTag, "
          "ZtgBsd, ZtgVra, ZtgAzt,    ZtgTtp, ZtgDat, ZtgSta, ZtgPnm) VALUES   ('%s', CONVERT(Datetime, '%s', 112), "
          "'%s', '%s',    '%s', '%s', '%s', '%s',    %ld, '%s', '%s', '%s',    '%s', CURRENT_TIMESTAMP, 1, '%s')";
      return Db_Write(Db_Format(kSqlName, {Run_Schema(), ztg.ZtgPnr, ztg.ZtgVon, ztg.ZtgAkr, ztg.ZtgAbt, ztg.ZtgKst,
                                           ztg.ZtgKtr, ztg.ZtgKrt, ztg.ZtgAgr, tag, ztg.ZtgBsd, ztg.ZtgVra,
                                           ztg.ZtgAzt, ztg.ZtgTtp, ztg.ZtgPnm}));
    }
    static constexpr const char* kSqlNoName =
        "INSERT INTO %s.Qxs329Ztg   (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr,    ZtgKrt, ZtgAgr, ZtgTag, "
        "ZtgBsd, ZtgVra, ZtgAzt,    ZtgTtp, ZtgDat, ZtgSta) VALUES   ('%s', CONVERT(Datetime, '%s', 112), "
        "'%s', '%s',    '%s', '%s', '%s', '%s',    %ld, '%s', '%s', '%s',    '%s', CURRENT_TIMESTAMP, 1)";
    return Db_Write(Db_Format(kSqlNoName, {Run_Schema(), ztg.ZtgPnr, ztg.ZtgVon, ztg.ZtgAkr, ztg.ZtgAbt, ztg.ZtgKst,
                                           ztg.ZtgKtr, ztg.ZtgKrt, ztg.ZtgAgr, tag, ztg.ZtgBsd, ztg.ZtgVra,
                                           ztg.ZtgAzt, ztg.ZtgTtp}));
  });
}

int Ztg_Day_Upd(const ZtgSatz& ztg) {
  return Db_Variant_Run(name_column, kNoColumn, [&](DbVariant variant) {
    const long tag = ztg.ZtgTag;
    if (variant == DbVariant::First) {
      static constexpr const char* kSqlName =
          "UPDATE %s.Qxs329Ztg SET   ZtgAkr = '%s', ZtgAbt = '%s',   ZtgKst = '%s', ZtgKtr = '%s',   "
          "ZtgKrt = '%s', ZtgAgr = '%s', ZtgTag = %ld ,   ZtgBsd = '%s', ZtgVra = '%s', ZtgAzt = '%s',   "
          "ZtgTtp = '%s', ZtgDat = CURRENT_TIMESTAMP, ZtgSta = 1,   ZtgPnm = '%s'  WHERE ZtgPnr = '%s'    "
          "AND ZtgVon = CONVERT(Datetime, '%s', 112)";
      return Db_Write(Db_Format(kSqlName, {Run_Schema(), ztg.ZtgAkr, ztg.ZtgAbt, ztg.ZtgKst, ztg.ZtgKtr, ztg.ZtgKrt,
                                           ztg.ZtgAgr, tag, ztg.ZtgBsd, ztg.ZtgVra, ztg.ZtgAzt, ztg.ZtgTtp,
                                           ztg.ZtgPnm, ztg.ZtgPnr, ztg.ZtgVon}));
    }
    static constexpr const char* kSqlNoName =
        "UPDATE %s.Qxs329Ztg SET   ZtgAkr = '%s', ZtgAbt = '%s',   ZtgKst = '%s', ZtgKtr = '%s',   "
        "ZtgKrt = '%s', ZtgAgr = '%s', ZtgTag = %ld,   ZtgBsd = '%s', ZtgVra = '%s', ZtgAzt = '%s',   "
        "ZtgTtp = '%s', ZtgDat = CURRENT_TIMESTAMP, ZtgSta = 1  WHERE ZtgPnr = '%s'    "
        "AND ZtgVon = CONVERT(Datetime, '%s', 112)";
    return Db_Write(Db_Format(kSqlNoName, {Run_Schema(), ztg.ZtgAkr, ztg.ZtgAbt, ztg.ZtgKst, ztg.ZtgKtr, ztg.ZtgKrt,
                                           ztg.ZtgAgr, tag, ztg.ZtgBsd, ztg.ZtgVra, ztg.ZtgAzt, ztg.ZtgTtp,
                                           ztg.ZtgPnr, ztg.ZtgVon}));
  });
}

void Ztg_Day_Generate(const BsvSatz& bsv, const TagSatz& tag) {
  ZtgSatz ztg{};
  Fld_Copy(ztg.ZtgPnr, tag.TagPnr);
  Fld_Copy(ztg.ZtgVon, tag.TagTag);

  int r = Ztg_Day_Get(ztg);
  if (r != DB_OK && r != DB_NODATA) return;
  const bool new_row = r == DB_NODATA;

  Fld_Copy(ztg.ZtgAkr, bsv.BsvAkr);
  Fld_Copy(ztg.ZtgBsd, bsv.BsvAbr);
  Fld_Copy(ztg.ZtgTtp, tag.TagTtp);
  Fld_Copy(ztg.ZtgPnm, bsv.PnrNam);

  r = Zuo_Assign_Get(ztg);
  if (r != DB_OK) {
    Log_Printf("Error: Zuordnung ermitteln. %d! ", r);
    Log_Printf("Person: %s! ", ztg.ZtgPnr);
    Log_Printf("Tag: %s!\n", ztg.ZtgVon);
  }
  r = Wpl_Plan_Get(ztg);
  if (r != DB_OK) {
    Log_Printf("Error: Azt + Vra ermitteln. %d! ", r);
    Log_Printf("Person: %s! ", ztg.ZtgPnr);
    Log_Printf("Tag: %s!\n", ztg.ZtgVon);
    Log_Printf("ZtgTag: %d!\n", ztg.ZtgTag);
    Log_Printf("ZtgAgr: %s!\n", ztg.ZtgAgr);
  }

  // The record is written whatever the assignment and the plan gave, so the day is never left
  // without one.
  if (new_row) {
    r = Ztg_NewDay_Ins(ztg);
    if (r != DB_OK) {
      Log_Printf("Error: Ztgsatz einfügen %d! ", r);
      Log_Printf("Person: %s! ", ztg.ZtgPnr);
      Log_Printf("Tag: %s!\n", ztg.ZtgVon);
    }
  } else {
    r = Ztg_Day_Upd(ztg);
    if (r != DB_OK) {
      Log_Printf("Error: Ztgsatz updaten %d! ", r);
      Log_Printf("Person: %s! ", ztg.ZtgPnr);
      Log_Printf("Tag: %s!\n", ztg.ZtgVon);
    }
  }
}
