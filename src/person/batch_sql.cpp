// The statements of the batched person step: range reads over the person's days, multi-row
// inserts and set-based rewrites, each plain T-SQL that SQL Server 2012 and later accept. Every
// one is prepared once per connection with ? for its values, in a few fixed shapes, so that the
// server compiles a handful of texts per run whatever the number of persons.
#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/text.h"
#include "db/db.h"
#include "person/batch_sql.h"

namespace {
// Rows of the largest statement of each multi-row write: SQL Server takes at most 2,100
// parameters in one statement (one a day record, ten a schedule-assignment record).
constexpr std::size_t kTagRows = 512;
constexpr std::size_t kZtgRows = 200;
// Rows of the largest rewrite of records that keep their values: a date a record.
constexpr std::size_t kZtgDateRows = 512;
// Times a person's batched work is done again when the server refused one of its statements by
// its locks, after that statement's own retries.
constexpr int kPnrBatchAgain = 2;

// Columns are read into buffers wider than any field, so that a value the day-by-day routines
// would read cut is seen whole here, and sent day by day. A server may send a character of its
// code page as up to three bytes of UTF-8.
constexpr SQLLEN kWide = 256;
struct Wide {
  char text[kWide];
};

// The day-by-day routines visit the records on midnight dates only (their statements compare a
// date with CONVERT(Datetime, CONVERT(char(8), date, 112), 112)); the range reads take the dates
// as the server sends them and keep the midnight ones here, which spares the server two
// conversions of every row. A date in a form not known here fails the read.
struct Midnight {
  std::string key;
  bool readable = true;
  // The date key of a date read; false when it is not midnight or not readable.
  bool Take(const char* datetime) {
    bool at_midnight = false;
    readable = readable && Datetime_Key(datetime, key, at_midnight);
    return readable && at_midnight;
  }
  DbResult Read(DbConnection& db, const std::string& sql, std::vector<DbParam> params,
                std::initializer_list<DbCol> cols, const std::function<void()>& on_row) {
    DbResult r = Db_Prepared_Rows(db, sql, params, cols, on_row);
    if (r.code == DB_OK && !readable) r.code = DB_FAIL;
    return r;
  }
};

// A write the server answered with a warning (SQL_SUCCESS_WITH_INFO, such as a trigger's PRINT)
// has written its rows: the person stays in the batched step rather than doing its days twice.
bool Written(int r) {
  return r == DB_OK || r == DB_INFO;
}

// "(?, ?), (?, ?)": rows of a VALUES list of markers.
std::string Markers(std::size_t rows, std::size_t per_row) {
  std::string row = "(?";
  for (std::size_t i = 1; i < per_row; ++i) row += ", ?";
  row += ')';
  std::string out;
  out.reserve(rows * (row.size() + 2));
  for (std::size_t i = 0; i < rows; ++i) out += (i > 0 ? ", " : "") + row;
  return out;
}

// The live calendar days, from the table the run uses (the client's, or the system's once the
// client schema proves to have none), as the day cursor gives them.
DbResult Kal_Days_Read(RunContext& run, const char* kal, const char* start_key, const char* end_key,
                       std::vector<KalTag>& days) {
  return Db_Variant_Run(run.variants.day_table, kNoTable, [&](DbVariant variant) {
    days.clear();
    Wide dtm, ttp;
    const auto cols = {Db_Text(dtm.text, kWide), Db_Text(ttp.text, kWide)};
    bool readable = true;
    std::string key;
    auto add = [&] {
      bool midnight = false;
      readable = readable && Datetime_Key(dtm.text, key, midnight);
      days.push_back({key, ttp.text});
    };
    auto read = [&](const std::string& sql) {
      std::vector<DbParam> params = {Db_Param(kal), Db_Param(start_key), Db_Param(end_key)};
      DbResult r = Db_Prepared_Rows(run.db, sql, params, cols, add);
      if (r.code == DB_OK && !readable) r.code = DB_FAIL;
      return r;
    };
    if (variant == DbVariant::First) {
      static constexpr const char* kSqlClient =
          "SELECT Ka2Dtm, Ka2Ttp FROM %s.Qxs133Ka2 WHERE Ka2Num = ? "
          "AND Ka2Dtm > CONVERT(Datetime, ?, 112) AND Ka2Dtm <= CONVERT(Datetime, ?, 112) AND Ka2Sta < 4 "
          "ORDER BY Ka2Dtm";
      return read(Db_Format(kSqlClient, run.schema));
    }
    return read(
        "SELECT KalDtm, KalTtp FROM QXSYSTEM.Qxs133Kal WHERE KalNum = ? "
        "AND KalDtm > CONVERT(Datetime, ?, 112) AND KalDtm <= CONVERT(Datetime, ?, 112) AND KalSta < 4 "
        "ORDER BY KalDtm");
  });
}

// The day records of the days, in date order, a statement of a few fixed sizes at a time. The
// dates go as 'yyyymmdd' texts read with style 112, midnight of the day, the values the
// day-by-day statement's CONVERT(Datetime, '...', 112) and '... 00:00:00' with style 120 give.
DbResult Tag_Days_Ins(RunContext& run, const char* pnr, const std::vector<std::string>& new_days) {
  static constexpr const char* kHead =
      "INSERT INTO %s.Qxs327Tag (TagPnr, TagTag, TagVon, TagUhr, TagBis, TagEnd, TagDat) "
      "SELECT ?, CONVERT(Datetime, v.Tag, 112), CONVERT(Datetime, v.Tag, 112), CONVERT(Datetime, v.Tag, 112), "
      "CONVERT(Datetime, v.Tag, 112), CONVERT(Datetime, v.Tag, 112), CURRENT_TIMESTAMP FROM (VALUES ";
  for (std::size_t first = 0, rows = 0; first < new_days.size(); first += rows) {
    rows = Db_Chunk_Rows(new_days.size() - first, kTagRows);
    std::vector<DbParam> params = {Db_Param(pnr)};
    for (std::size_t i = first; i < first + rows; ++i) {
      params.push_back(i < new_days.size() ? Db_Param(new_days[i]) : Db_Param_Null(SQL_C_CHAR));
    }
    const std::string sql = Db_Format(kHead, run.schema) + Markers(rows, 1) + ") AS v (Tag) WHERE v.Tag IS NOT NULL";
    long written = -1;
    const DbResult r = Db_Prepared_Write(run.db, sql, params, 0, &written);
    Run_Wrote(run, run.schema, "Qxs327Tag", RunWrite::Added, written);
    if (!Written(r)) return r;
  }
  return {};
}

// The valid group assignments on the person's midnight day records after the threshold, with the
// cycle day computed by the server as the day-by-day query computes it, and the live plan rows the
// server pairs with each (as the day-by-day plan query compares group texts: by the database's
// collation, trailing blanks aside). A plan row goes under the group text of the assignment it was
// paired with; rows that say the same twice are kept once. CROSS JOIN is the comma's join; the
// order it names lets SQLite walk the person's few assignments and then their days, instead of
// looking up the assignments and the group of every day (SQL Server chooses its own).
DbResult Zuo_Days_Read(RunContext& run, const char* pnr, const char* threshold, const char* end_key,
                       std::vector<ZuoTag>& out, std::vector<WplZeile>& plans) {
  static constexpr const char* kSql =
      "SELECT TagTag, ((((CONVERT(int, (TagTag - ZUOSDT + ZUOSTG - 1)) %% "
      "CONVERT(int, AgrTge)) + CONVERT(int, AgrTge)) %% CONVERT(int, AgrTge)) + 1), ZuoAgr, ZuoAbt, ZuoKst, "
      "ZuoKrt, ZuoKtr, ZuoVra, WplTag, WplAzt, WplVra FROM %s.Qxs311Zuo CROSS JOIN %s.Qxs160Agr "
      "CROSS JOIN %s.Qxs327Tag LEFT JOIN %s.Qxs161Wpl ON WplAgr = ZuoAgr AND WplSta < 4 "
      "AND WplTag = ((((CONVERT(int, (TagTag - ZUOSDT + ZUOSTG - 1)) %% CONVERT(int, AgrTge)) + "
      "CONVERT(int, AgrTge)) %% CONVERT(int, AgrTge)) + 1) WHERE ZuoPnr = ? "
      "AND ZuoPnr = TagPnr AND ZuoGvo <= TagTag AND (ZuoGbi >= TagTag OR ZuoGbi IS NULL) AND ZuoSta < 4 "
      "AND TagTag > CONVERT(Datetime, ?, 112) AND TagTag <= CONVERT(Datetime, ?, 112) "
      "AND AgrNum = ZuoAgr AND AgrSta < 4";
  Wide key, agr, abt, kst, krt, ktr, vra, azt, wpl_vra;
  int32_t tag = 0, wpl_tag = 0;
  SQLLEN no_plan = 0;
  Midnight midnight;
  // Rows already taken, each as its values joined by NULs (a value read as a C string has none).
  std::unordered_set<std::string> seen_zuo, seen_wpl;
  std::string seen;
  auto joined = [&seen](std::initializer_list<std::string_view> values) -> const std::string& {
    seen.clear();
    for (const std::string_view v : values) seen.append(v).push_back('\0');
    return seen;
  };
  return midnight.Read(
      run.db, Db_Format(kSql, run.schema, run.schema, run.schema, run.schema),
      {Db_Param(pnr), Db_Param(threshold), Db_Param(end_key)},
      {Db_Text(key.text, kWide), Db_Long(&tag), Db_Text(agr.text, kWide), Db_Text(abt.text, kWide),
       Db_Text(kst.text, kWide), Db_Text(krt.text, kWide), Db_Text(ktr.text, kWide), Db_Text(vra.text, kWide),
       Db_Long(&wpl_tag, &no_plan), Db_Text(azt.text, kWide), Db_Text(wpl_vra.text, kWide)},
      [&] {
        if (!midnight.Take(key.text)) return;
        // A day with several plan rows comes once per row: the assignment counts once.
        const std::string day_tag = std::to_string(tag);
        if (seen_zuo.insert(joined({midnight.key, day_tag, agr.text, abt.text, kst.text, krt.text, ktr.text, vra.text}))
                .second) {
          out.push_back({midnight.key, tag, agr.text, abt.text, kst.text, krt.text, ktr.text, vra.text});
        }
        if (no_plan != SQL_NULL_DATA && seen_wpl.insert(joined({agr.text, day_tag, azt.text, wpl_vra.text})).second) {
          plans.push_back({agr.text, tag, azt.text, wpl_vra.text});
        }
      });
}

// The person's day records on midnight dates after the start date: those the existence query
// finds. (Read apart from the schedule-assignment records: one UNION ALL of both would be one
// statement less, but the embedded database fails a UNION whose result spills to its temp table.)
DbResult Tag_Days_Read(RunContext& run, const char* pnr, const char* start_key, const char* end_key,
                       std::vector<std::string>& keys) {
  static constexpr const char* kSql =
      "SELECT TagTag FROM %s.Qxs327Tag WHERE TagPnr = ? "
      "AND TagTag > CONVERT(Datetime, ?, 112) AND TagTag <= CONVERT(Datetime, ?, 112)";
  Wide tag;
  Midnight midnight;
  return midnight.Read(run.db, Db_Format(kSql, run.schema), {Db_Param(pnr), Db_Param(start_key), Db_Param(end_key)},
                       {Db_Text(tag.text, kWide)}, [&] {
                         if (midnight.Take(tag.text)) keys.push_back(midnight.key);
                       });
}

// The person's schedule-assignment records of any status on midnight dates after the threshold.
DbResult Ztg_Days_Read(RunContext& run, const char* pnr, const char* threshold, const char* end_key,
                       std::vector<ZtgAlt>& out) {
  static constexpr const char* kSql =
      "SELECT ZtgVon, ZtgSta, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt, ZtgAgr, ZtgTag, "
      "ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp FROM %s.Qxs329Ztg WHERE ZtgPnr = ? "
      "AND ZtgVon > CONVERT(Datetime, ?, 112) AND ZtgVon <= CONVERT(Datetime, ?, 112)";
  Wide von, akr, abt, kst, ktr, krt, agr, bsd, vra, azt, ttp;
  int32_t sta = 0, tag = 0;
  SQLLEN null[11] = {};
  Midnight midnight;
  return midnight.Read(
      run.db, Db_Format(kSql, run.schema), {Db_Param(pnr), Db_Param(threshold), Db_Param(end_key)},
      {Db_Text(von.text, kWide), Db_Long(&sta), Db_Text(akr.text, kWide, &null[0]), Db_Text(abt.text, kWide, &null[1]),
       Db_Text(kst.text, kWide, &null[2]), Db_Text(ktr.text, kWide, &null[3]), Db_Text(krt.text, kWide, &null[4]),
       Db_Text(agr.text, kWide, &null[5]), Db_Long(&tag, &null[6]), Db_Text(bsd.text, kWide, &null[7]),
       Db_Text(vra.text, kWide, &null[8]), Db_Text(azt.text, kWide, &null[9]), Db_Text(ttp.text, kWide, &null[10])},
      [&] {
        if (!midnight.Take(von.text)) return;
        // A value with a NUL in it, or one longer than its buffer, reads shorter than it is.
        bool whole = true;
        const char* texts[] = {akr.text, abt.text, kst.text, ktr.text, krt.text, agr.text,
                               nullptr,  bsd.text, vra.text, azt.text, ttp.text};
        for (std::size_t i = 0; i < std::size(texts); ++i) {
          if (texts[i] != nullptr && null[i] != SQL_NULL_DATA) {
            whole = whole && null[i] == static_cast<SQLLEN>(std::strlen(texts[i]));
          }
        }
        out.push_back({midnight.key, sta, akr.text, abt.text, kst.text, ktr.text, krt.text, agr.text, tag, bsd.text,
                       vra.text, azt.text, ttp.text,
                       std::find(std::begin(null), std::end(null), SQL_NULL_DATA) != std::end(null), whole});
      });
}

// The values of a record that differ from day to day, as rows of a VALUES list named v (Von,
// Abt, Kst, Ktr, Krt, Agr, Tag, Vra, Azt, Ttp); a row of NULLs past the last record.
constexpr std::size_t kZtgPerRow = 10;
constexpr const char* kZtgNames = ") AS v (Von, Abt, Kst, Ktr, Krt, Agr, Tag, Vra, Azt, Ttp)";
void Ztg_Row_Params(const ZtgSatz* z, std::vector<DbParam>& params) {
  if (z == nullptr) {
    for (std::size_t i = 0; i < kZtgPerRow; ++i) params.push_back(Db_Param_Null(i == 6 ? SQL_C_LONG : SQL_C_CHAR));
    return;
  }
  for (const DbParam& p :
       {Db_Param(z->ZtgVon), Db_Param(z->ZtgAbt), Db_Param(z->ZtgKst), Db_Param(z->ZtgKtr), Db_Param(z->ZtgKrt),
        Db_Param(z->ZtgAgr), Db_Param(z->ZtgTag), Db_Param(z->ZtgVra), Db_Param(z->ZtgAzt), Db_Param(z->ZtgTtp)}) {
    params.push_back(p);
  }
}

// The two texts of a write of records (with and without the name column, schema filled in), what
// follows their table of days, and where the person number goes.
struct ZtgWrite {
  std::string head_name;
  std::string head_no_name;
  const char* tail;
  // Where the person number goes: leading the parameters (insert), after the values and the name
  // (an update's WHERE before the table of days) or last (an update's WHERE after it).
  enum class Pnr { First, BeforeDays, Last } pnr;
  RunWrite kind;
  bool values = true;  // the records' values go along; false: the table of days has the dates alone
};

// Writes the records a statement of a few fixed sizes at a time. Person number, the person row's
// two values and the name are the same on every day of a person.
DbResult Ztg_Days_Write(RunContext& run, const std::vector<ZtgSatz>& records, const ZtgWrite& w) {
  const ZtgSatz& z = records.front();
  for (std::size_t first = 0, rows = 0; first < records.size(); first += rows) {
    rows = Db_Chunk_Rows(records.size() - first, w.values ? kZtgRows : kZtgDateRows);
    long written = -1;
    const DbResult r = Db_Variant_Run(run.variants.ztg_name, kNoColumn, [&](DbVariant variant) {
      const bool name = variant == DbVariant::First;
      std::vector<DbParam> params;
      if (w.pnr == ZtgWrite::Pnr::First) params.push_back(Db_Param(z.ZtgPnr));
      if (w.values) {
        params.push_back(Db_Param(z.ZtgAkr));
        params.push_back(Db_Param(z.ZtgBsd));
      }
      if (name) params.push_back(Db_Param(z.ZtgPnm));
      if (w.pnr == ZtgWrite::Pnr::BeforeDays) params.push_back(Db_Param(z.ZtgPnr));
      for (std::size_t i = first; i < first + rows; ++i) {
        const ZtgSatz* day = i < records.size() ? &records[i] : nullptr;
        if (w.values) {
          Ztg_Row_Params(day, params);
        } else {
          params.push_back(day != nullptr ? Db_Param(day->ZtgVon) : Db_Param_Null(SQL_C_CHAR));
        }
      }
      if (w.pnr == ZtgWrite::Pnr::Last) params.push_back(Db_Param(z.ZtgPnr));
      const std::string sql = (name ? w.head_name : w.head_no_name) +
                              (w.values ? Markers(rows, kZtgPerRow) + kZtgNames : Markers(rows, 1) + ") AS v (Von)") +
                              w.tail;
      return Db_Prepared_Write(run.db, sql, params, 0, &written);
    });
    Run_Wrote(run, run.schema, "Qxs329Ztg", w.kind, written);
    if (!Written(r)) return r;
  }
  return {};
}

// New records, in date order.
DbResult Ztg_Days_Ins(RunContext& run, const std::vector<ZtgSatz>& records) {
  static constexpr char kHead[] =
      "INSERT INTO %s.Qxs329Ztg (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt, ZtgAgr, ZtgTag, ZtgBsd, "
      "ZtgVra, ZtgAzt, ZtgTtp, ZtgDat, ZtgSta{, ZtgPnm}) SELECT ?, CONVERT(Datetime, v.Von, 112), ?, v.Abt, v.Kst, "
      "v.Ktr, v.Krt, v.Agr, v.Tag, ?, v.Vra, v.Azt, v.Ttp, CURRENT_TIMESTAMP, 1{, ?} FROM (VALUES ";
  static constexpr auto kHeadName = Db_Variant_Text(kHead, DbVariant::First);
  static constexpr auto kHeadNoName = Db_Variant_Text(kHead, DbVariant::Second);
  return Ztg_Days_Write(run, records,
                        {Db_Format(kHeadName.text, run.schema), Db_Format(kHeadNoName.text, run.schema),
                         " WHERE v.Von IS NOT NULL", ZtgWrite::Pnr::First, RunWrite::Added});
}

// True when the rewrite leaves every value of the existing record as it is: none is NULL, each
// arrived whole, and each is byte for byte the one the record gets (the database's collation may
// call other spellings equal; the record would still change).
bool Ztg_Kept(const ZtgSatz& z, const ZtgAlt& a) {
  return !a.nulls && a.whole && a.akr == z.ZtgAkr && a.abt == z.ZtgAbt && a.kst == z.ZtgKst && a.ktr == z.ZtgKtr &&
         a.krt == z.ZtgKrt && a.agr == z.ZtgAgr && a.tag == z.ZtgTag && a.bsd == z.ZtgBsd && a.vra == z.ZtgVra &&
         a.azt == z.ZtgAzt && a.ttp == z.ZtgTtp;
}

// Rewrites the person's existing records: every column, ZtgDat renewed and the status 1, on
// exactly the listed days, each taking its day's values from a table of the days (VALUES) joined
// on the record's date, so the server finds every row by its key. Records that keep all their
// values (a run over days already done) get only the time stamp, the status and the name, from a
// table of their dates: the rows come out the same, and the server neither receives, checks nor
// logs the values again.
DbResult Ztg_Days_Upd(RunContext& run, const std::vector<ZtgSatz>& records, const std::vector<ZtgAlt>& existing) {
  static constexpr char kHead[] =
      "UPDATE %s.Qxs329Ztg SET ZtgAkr = ?, ZtgAbt = v.Abt, ZtgKst = v.Kst, ZtgKtr = v.Ktr, ZtgKrt = v.Krt, "
      "ZtgAgr = v.Agr, ZtgTag = v.Tag, ZtgBsd = ?, ZtgVra = v.Vra, ZtgAzt = v.Azt, ZtgTtp = v.Ttp, "
      "ZtgDat = CURRENT_TIMESTAMP, ZtgSta = 1{, ZtgPnm = ?} FROM (VALUES ";
  static constexpr char kHeadKept[] =
      "UPDATE %s.Qxs329Ztg SET ZtgDat = CURRENT_TIMESTAMP, ZtgSta = 1{, ZtgPnm = ?} WHERE ZtgPnr = ? "
      "AND ZtgVon IN (SELECT CONVERT(Datetime, v.Von, 112) FROM (VALUES ";
  static constexpr const char* kTail = " WHERE ZtgPnr = ? AND ZtgVon = CONVERT(Datetime, v.Von, 112)";
  static constexpr auto kHeadName = Db_Variant_Text(kHead, DbVariant::First);
  static constexpr auto kHeadNoName = Db_Variant_Text(kHead, DbVariant::Second);
  static constexpr auto kHeadKeptName = Db_Variant_Text(kHeadKept, DbVariant::First);
  static constexpr auto kHeadKeptNoName = Db_Variant_Text(kHeadKept, DbVariant::Second);
  std::map<std::string, const ZtgAlt*> before;
  for (const ZtgAlt& alt : existing) before.emplace(alt.von, &alt);
  std::vector<ZtgSatz> changed, kept;
  for (const ZtgSatz& z : records) {
    const auto it = before.find(z.ZtgVon);
    (it != before.end() && Ztg_Kept(z, *it->second) ? kept : changed).push_back(z);
  }
  if (!changed.empty()) {
    const DbResult r = Ztg_Days_Write(run, changed,
                                      {Db_Format(kHeadName.text, run.schema), Db_Format(kHeadNoName.text, run.schema),
                                       kTail, ZtgWrite::Pnr::Last, RunWrite::Rewritten});
    if (!Written(r)) return r;
  }
  if (kept.empty()) return {};
  return Ztg_Days_Write(run, kept,
                        {Db_Format(kHeadKeptName.text, run.schema), Db_Format(kHeadKeptNoName.text, run.schema), ")",
                         ZtgWrite::Pnr::BeforeDays, RunWrite::Rewritten, false});
}

}  // namespace

int Pnr_LastDays_Get(RunContext& run, const char* pnr, char (&last_tag)[9], char (&last_ztg)[9]) {
  static constexpr const char* kSql =
      "SELECT (SELECT CONVERT(char(8), (COALESCE(MAX(TagTag), CURRENT_TIMESTAMP)), 112) FROM %s.Qxs327Tag "
      "WHERE TagPnr = ?), (SELECT CONVERT(char(8), (COALESCE(MAX(ZtgVon), CURRENT_TIMESTAMP)), 112) "
      "FROM %s.Qxs329Ztg WHERE ZtgPnr = ? AND ZtgSta < 4)";
  char tag[11], ztg[11];
  std::vector<DbParam> params = {Db_Param(pnr), Db_Param(pnr)};
  int r = Db_Prepared_One(run.db, Db_Format(kSql, run.schema, run.schema), params,
                          {Db_Text(tag, sizeof tag), Db_Text(ztg, sizeof ztg)});
  if (r == DB_OK) {
    Fld_Copy(last_tag, tag);
    Fld_Copy(last_ztg, ztg);
  }
  return r;
}

namespace {

// One try of the batched step for the person; *failed is the statement that failed, if one did.
bool Pnr_Batch_Once(RunContext& run, const BsvSatz& bsv, const char* start_key, const char* threshold,
                    const char* end_key, PnrFallback& why, DbResult& failed) {
  auto read = [&](const DbResult& r) {
    if (r.code != DB_OK) why = PnrFallback::ReadFailed, failed = r;
    return r.code == DB_OK;
  };
  auto write = [&](const DbResult& r) {
    if (!Written(r)) why = PnrFallback::WriteRefused, failed = r;
    return Written(r);
  };
  std::vector<KalTag> days;
  std::vector<std::string> tag_keys, new_days;
  if (!read(Kal_Days_Read(run, bsv.BsvKal, start_key, end_key, days))) return false;
  if (!read(Tag_Days_Read(run, bsv.BsvPnr, start_key, end_key, tag_keys))) return false;
  if (!Tag_Batch_Plan(days, tag_keys, new_days, &why)) return false;
  if (!new_days.empty() && !write(Tag_Days_Ins(run, bsv.BsvPnr, new_days))) return false;

  // The schedule-assignment step runs for the days after the threshold only.
  if (days.empty() || !Key_Less(threshold, days.back().key.c_str())) return true;
  std::vector<ZuoTag> assignments;
  std::vector<WplZeile> plans;
  std::vector<ZtgAlt> existing;
  std::vector<ZtgSatz> inserts, updates;
  if (!read(Zuo_Days_Read(run, bsv.BsvPnr, threshold, end_key, assignments, plans))) return false;
  if (!read(Ztg_Days_Read(run, bsv.BsvPnr, threshold, end_key, existing))) return false;
  if (!Ztg_Batch_Plan(bsv, threshold, days, existing, assignments, plans, inserts, updates, &why)) return false;
  if (!inserts.empty() && !write(Ztg_Days_Ins(run, inserts))) return false;
  if (!updates.empty() && !write(Ztg_Days_Upd(run, updates, existing))) return false;
  return true;
}

}  // namespace

bool Pnr_Batch_Days(RunContext& run, const BsvSatz& bsv, const char* start_key, const char* threshold,
                    const char* end_key, PnrFallback& why) {
  // A statement refused by locks has been run again already; when it is refused still, the
  // person's batched work is done again from its reads, which find what the earlier try wrote
  // (its statements stand or fail whole): a few times, before the day-by-day routines take it.
  for (int again = 0;; ++again) {
    DbResult failed;
    if (Pnr_Batch_Once(run, bsv, start_key, threshold, end_key, why, failed)) return true;
    if (failed.code != DB_OK) Run_Refused(run, bsv.BsvPnr, failed);
    if (again == kPnrBatchAgain || !Db_Lock_Refused(failed) || run.db.Blocked().code != DB_OK) return false;
    run.db.Pause(again, failed.diag.native);
  }
}
