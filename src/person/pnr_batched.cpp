// The statements of the batched person step: range reads over the person's days, multi-row
// inserts and set-based rewrites, each plain T-SQL that SQL Server 2012 and later accept.
#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "common/text.h"
#include "db/db.h"
#include "person/batched.h"

namespace {
constexpr int kNoTable = 208;
constexpr int kNoColumn = 207;
// Days rewritten by one UPDATE: its text grows with every day of every varying column.
constexpr std::size_t kDaysPerUpdate = 500;

// Columns are read into buffers wider than any field, so that a value the day-by-day routines
// would read cut is seen whole here, and sent day by day.
constexpr SQLLEN kWide = 64;
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
  int Read(DbConnection& db, const std::string& sql, std::initializer_list<DbCol> cols,
           const std::function<void()>& on_row) {
    const int r = Db_Query_Rows(db, sql, cols, on_row);
    return r == DB_OK && !readable ? DB_FAIL : r;
  }
};

// The live calendar days, from the table the run uses (the client's, or the system's once the
// client schema proves to have none), as the day cursor gives them.
int Kal_Days_Read(RunContext& run, const char* kal, const char* start_key, const char* end_key,
                  std::vector<KalTag>& days) {
  return Db_Variant_Run(run.db, run.variants.day_table, kNoTable, [&](DbVariant variant) {
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
      const int r = Db_Query_Rows(run.db, sql, cols, add);
      return r == DB_OK && !readable ? DB_FAIL : r;
    };
    if (variant == DbVariant::First) {
      static constexpr const char* kSqlClient =
          "SELECT Ka2Dtm, Ka2Ttp FROM %s.Qxs133Ka2 WHERE Ka2Num = '%s' "
          "AND Ka2Dtm > CONVERT(Datetime, '%s', 112) AND Ka2Dtm <= CONVERT(Datetime, '%s', 112) AND Ka2Sta < 4 "
          "ORDER BY Ka2Dtm";
      return read(Db_Format(kSqlClient, run.schema, kal, start_key, end_key));
    }
    static constexpr const char* kSqlSystem =
        "SELECT KalDtm, KalTtp FROM QXSYSTEM.Qxs133Kal WHERE KalNum = '%s' "
        "AND KalDtm > CONVERT(Datetime, '%s', 112) AND KalDtm <= CONVERT(Datetime, '%s', 112) AND KalSta < 4 "
        "ORDER BY KalDtm";
    return read(Db_Format(kSqlSystem, kal, start_key, end_key));
  });
}

// The dates go as 'yyyymmdd' literals into the datetime columns: SQL Server reads that form the
// same under every language and date format, as midnight of the day (the day-by-day statement's
// CONVERT(Datetime, '...', 112) and '... 00:00:00' with style 120 give the same values).
int Tag_Days_Ins(RunContext& run, const char* pnr, const std::vector<std::string>& new_days) {
  static constexpr const char* kHead =
      "INSERT INTO %s.Qxs327Tag (TagPnr, TagTag, TagVon, TagUhr, TagBis, TagEnd, TagDat) VALUES ";
  static constexpr const char* kRow = "('%s', '%s', '%s', '%s', '%s', '%s', CURRENT_TIMESTAMP)";
  std::vector<std::string> rows;
  rows.reserve(new_days.size());
  for (const std::string& day : new_days) rows.push_back(Db_Format(kRow, pnr, day, day, day, day, day));
  long written = -1;
  const int r = Db_Write_Rows(run.db, Db_Format(kHead, run.schema), rows, &written);
  Run_Wrote(run, run.schema, "Qxs327Tag", RunWrite::Added, written);
  return r;
}

// The valid group assignments on the person's midnight day records after the threshold, with the
// cycle day computed by the server as the day-by-day query computes it. CROSS JOIN is the comma's
// join; the order it names lets SQLite walk the person's few assignments and then their days,
// instead of looking up the assignments and the group of every day (SQL Server chooses its own).
int Zuo_Days_Read(RunContext& run, const char* pnr, const char* threshold, const char* end_key,
                  std::vector<ZuoTag>& out) {
  static constexpr const char* kSql =
      "SELECT TagTag, ((((CONVERT(int, (TAGTAG - ZUOSDT + ZUOSTG - 1)) %% "
      "CONVERT(int, AgrTge)) + CONVERT(int, AgrTge)) %% CONVERT(int, AgrTge)) + 1), ZuoAgr, ZuoAbt, ZuoKst, "
      "ZuoKrt, ZuoKtr, ZuoVra FROM %s.Qxs311Zuo CROSS JOIN %s.Qxs160Agr CROSS JOIN %s.Qxs327Tag WHERE ZuoPnr = '%s' "
      "AND ZuoPnr = TagPnr AND ZuoGvo <= TagTag AND (ZuoGbi >= TagTag OR ZuoGbi IS NULL) AND ZuoSta < 4 "
      "AND TagTag > CONVERT(Datetime, '%s', 112) AND TagTag <= CONVERT(Datetime, '%s', 112) "
      "AND AgrNum = ZuoAgr AND AgrSta < 4";
  Wide key, agr, abt, kst, krt, ktr, vra;
  int32_t tag = 0;
  Midnight midnight;
  return midnight.Read(
      run.db, Db_Format(kSql, run.schema, run.schema, run.schema, pnr, threshold, end_key),
      {Db_Text(key.text, kWide), Db_Long(&tag), Db_Text(agr.text, kWide), Db_Text(abt.text, kWide),
       Db_Text(kst.text, kWide), Db_Text(krt.text, kWide), Db_Text(ktr.text, kWide), Db_Text(vra.text, kWide)},
      [&] {
        if (midnight.Take(key.text)) {
          out.push_back({midnight.key, tag, agr.text, abt.text, kst.text, krt.text, ktr.text, vra.text});
        }
      });
}

// The live plan rows of the groups the person is assigned to, each under the assignment's group
// text the server matched it with.
int Wpl_Groups_Read(RunContext& run, const char* pnr, std::vector<WplZeile>& out) {
  static constexpr const char* kSql =
      "SELECT DISTINCT ZuoAgr, WplAgr, WplTag, WplAzt, WplVra FROM %s.Qxs311Zuo, %s.Qxs161Wpl "
      "WHERE ZuoPnr = '%s' AND ZuoSta < 4 AND WplAgr = ZuoAgr AND WplSta < 4";
  Wide zuo_agr, wpl_agr, azt, vra;
  int32_t tag = 0;
  return Db_Query_Rows(run.db, Db_Format(kSql, run.schema, run.schema, pnr),
                       {Db_Text(zuo_agr.text, kWide), Db_Text(wpl_agr.text, kWide), Db_Long(&tag),
                        Db_Text(azt.text, kWide), Db_Text(vra.text, kWide)},
                       [&] {
                         out.push_back({zuo_agr.text, tag, azt.text, vra.text});
                       });
}

// The person's day records on midnight dates after the start date: those the existence query
// finds. (Read apart from the schedule-assignment records: one UNION ALL of both would be one
// statement less, but the embedded database fails a UNION whose result spills to its temp table.)
int Tag_Days_Read(RunContext& run, const char* pnr, const char* start_key, const char* end_key,
                  std::vector<std::string>& keys) {
  static constexpr const char* kSql =
      "SELECT TagTag FROM %s.Qxs327Tag WHERE TagPnr = '%s' "
      "AND TagTag > CONVERT(Datetime, '%s', 112) AND TagTag <= CONVERT(Datetime, '%s', 112)";
  Wide tag;
  Midnight midnight;
  return midnight.Read(run.db, Db_Format(kSql, run.schema, pnr, start_key, end_key), {Db_Text(tag.text, kWide)}, [&] {
    if (midnight.Take(tag.text)) keys.push_back(midnight.key);
  });
}

// The person's schedule-assignment records of any status on midnight dates after the threshold.
int Ztg_Days_Read(RunContext& run, const char* pnr, const char* threshold, const char* end_key,
                  std::vector<ZtgAlt>& out) {
  static constexpr const char* kSql =
      "SELECT ZtgVon, ZtgSta, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt, ZtgAgr, ZtgTag, "
      "ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp FROM %s.Qxs329Ztg WHERE ZtgPnr = '%s' "
      "AND ZtgVon > CONVERT(Datetime, '%s', 112) AND ZtgVon <= CONVERT(Datetime, '%s', 112)";
  Wide von, akr, abt, kst, ktr, krt, agr, bsd, vra, azt, ttp;
  int32_t sta = 0, tag = 0;
  SQLLEN null[11] = {};
  Midnight midnight;
  return midnight.Read(
      run.db, Db_Format(kSql, run.schema, pnr, threshold, end_key),
      {Db_Text(von.text, kWide), Db_Long(&sta), Db_Text(akr.text, kWide, &null[0]), Db_Text(abt.text, kWide, &null[1]),
       Db_Text(kst.text, kWide, &null[2]), Db_Text(ktr.text, kWide, &null[3]), Db_Text(krt.text, kWide, &null[4]),
       Db_Text(agr.text, kWide, &null[5]), Db_Long(&tag, &null[6]), Db_Text(bsd.text, kWide, &null[7]),
       Db_Text(vra.text, kWide, &null[8]), Db_Text(azt.text, kWide, &null[9]), Db_Text(ttp.text, kWide, &null[10])},
      [&] {
        if (!midnight.Take(von.text)) return;
        out.push_back({midnight.key, sta, akr.text, abt.text, kst.text, ktr.text, krt.text, agr.text, tag, bsd.text,
                       vra.text, azt.text, ttp.text,
                       std::find(std::begin(null), std::end(null), SQL_NULL_DATA) != std::end(null)});
      });
}

int Ztg_Days_Ins(RunContext& run, const std::vector<ZtgSatz>& records) {
  long written = -1;
  const int r = Db_Variant_Run(run.db, run.variants.ztg_name, kNoColumn, [&](DbVariant variant) {
    static constexpr const char* kHeadName =
        "INSERT INTO %s.Qxs329Ztg (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt, ZtgAgr, ZtgTag, ZtgBsd, "
        "ZtgVra, ZtgAzt, ZtgTtp, ZtgDat, ZtgSta, ZtgPnm) VALUES ";
    static constexpr const char* kHeadNoName =
        "INSERT INTO %s.Qxs329Ztg (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt, ZtgAgr, ZtgTag, ZtgBsd, "
        "ZtgVra, ZtgAzt, ZtgTtp, ZtgDat, ZtgSta) VALUES ";
    static constexpr const char* kRowName =
        "('%s', '%s', '%s', '%s', '%s', '%s', '%s', '%s', %ld, '%s', '%s', '%s', '%s', "
        "CURRENT_TIMESTAMP, 1, '%s')";
    static constexpr const char* kRowNoName =
        "('%s', '%s', '%s', '%s', '%s', '%s', '%s', '%s', %ld, '%s', '%s', '%s', '%s', "
        "CURRENT_TIMESTAMP, 1)";
    const bool name = variant == DbVariant::First;
    std::vector<std::string> rows;
    rows.reserve(records.size());
    for (const ZtgSatz& z : records) {
      const long tag = z.ZtgTag;
      rows.push_back(name ? Db_Format(kRowName, z.ZtgPnr, z.ZtgVon, z.ZtgAkr, z.ZtgAbt, z.ZtgKst, z.ZtgKtr, z.ZtgKrt,
                                      z.ZtgAgr, tag, z.ZtgBsd, z.ZtgVra, z.ZtgAzt, z.ZtgTtp, z.ZtgPnm)
                          : Db_Format(kRowNoName, z.ZtgPnr, z.ZtgVon, z.ZtgAkr, z.ZtgAbt, z.ZtgKst, z.ZtgKtr, z.ZtgKrt,
                                      z.ZtgAgr, tag, z.ZtgBsd, z.ZtgVra, z.ZtgAzt, z.ZtgTtp));
    }
    return Db_Write_Rows(run.db, name ? Db_Format(kHeadName, run.schema) : Db_Format(kHeadNoName, run.schema), rows,
                         &written);
  });
  Run_Wrote(run, run.schema, "Qxs329Ztg", RunWrite::Added, written);
  return r;
}

// The columns an existing record's rewrite sets from the decided record, each with the name of
// its column in the table of days the rewrite joins (the record's name without its prefix), and
// whether the existing record has the value already.
struct ZtgColumn {
  const char* name;
  std::string (*literal)(const ZtgSatz&);
  bool (*kept)(const ZtgSatz&, const ZtgAlt&);
};
// A text column: the record's field and the existing record's value of it.
template <auto Field, auto Old>
constexpr ZtgColumn Ztg_Text(const char* name) {
  return {name, [](const ZtgSatz& z) { return Db_Format("'%s'", z.*Field); },
          [](const ZtgSatz& z, const ZtgAlt& a) { return a.*Old == z.*Field; }};
}
constexpr ZtgColumn kZtgColumns[] = {
    Ztg_Text<&ZtgSatz::ZtgAkr, &ZtgAlt::akr>("ZtgAkr"),
    Ztg_Text<&ZtgSatz::ZtgAbt, &ZtgAlt::abt>("ZtgAbt"),
    Ztg_Text<&ZtgSatz::ZtgKst, &ZtgAlt::kst>("ZtgKst"),
    Ztg_Text<&ZtgSatz::ZtgKtr, &ZtgAlt::ktr>("ZtgKtr"),
    Ztg_Text<&ZtgSatz::ZtgKrt, &ZtgAlt::krt>("ZtgKrt"),
    Ztg_Text<&ZtgSatz::ZtgAgr, &ZtgAlt::agr>("ZtgAgr"),
    {"ZtgTag", [](const ZtgSatz& z) { return Db_Format("%ld", static_cast<long>(z.ZtgTag)); },
     [](const ZtgSatz& z, const ZtgAlt& a) { return a.tag == z.ZtgTag; }},
    Ztg_Text<&ZtgSatz::ZtgBsd, &ZtgAlt::bsd>("ZtgBsd"),
    Ztg_Text<&ZtgSatz::ZtgVra, &ZtgAlt::vra>("ZtgVra"),
    Ztg_Text<&ZtgSatz::ZtgAzt, &ZtgAlt::azt>("ZtgAzt"),
    Ztg_Text<&ZtgSatz::ZtgTtp, &ZtgAlt::ttp>("ZtgTtp"),
};

// Rewrites the person's existing records: every column, ZtgDat renewed and the status 1, on
// exactly the listed days. A column that every record has already is left out; one with the same
// new value on every day is set to it; the others take each day's value from a table of the days
// (VALUES), joined on the record's date, so the server finds every row by its key.
int Ztg_Days_Upd(RunContext& run, const std::vector<ZtgSatz>& records, const std::vector<ZtgAlt>& existing) {
  std::map<std::string, const ZtgAlt*> before;
  for (const ZtgAlt& alt : existing) before.emplace(alt.von, &alt);
  std::vector<const ZtgAlt*> olds;
  for (const ZtgSatz& z : records) {
    const auto it = before.find(z.ZtgVon);
    olds.push_back(it == before.end() || it->second->nulls ? nullptr : it->second);
  }
  for (std::size_t first = 0; first < records.size(); first += kDaysPerUpdate) {
    const std::size_t last = std::min(records.size(), first + kDaysPerUpdate);
    const ZtgSatz& z = records[first];
    std::string set, names = "Von";
    std::vector<std::string> rows;
    for (std::size_t i = first; i < last; ++i) rows.push_back(Db_Format("('%s'", records[i].ZtgVon));
    std::vector<std::string> values(last - first);
    for (const ZtgColumn& column : kZtgColumns) {
      // A column that keeps its value on every day is left out: the row ends the same.
      bool kept = true;
      for (std::size_t i = first; i < last && kept; ++i) kept = olds[i] != nullptr && column.kept(records[i], *olds[i]);
      if (kept) continue;
      bool same = true;
      for (std::size_t i = first; i < last; ++i) {
        values[i - first] = column.literal(records[i]);
        same = same && values[i - first] == values[0];
      }
      const std::string alias = column.name + 3;
      set += (set.empty() ? "" : ", ") + std::string(column.name) + " = " + (same ? values[0] : "v." + alias);
      if (same) continue;
      names += ", " + alias;
      for (std::size_t i = 0; i < values.size(); ++i) rows[i] += ", " + values[i];
    }
    set += std::string(set.empty() ? "" : ", ") + "ZtgDat = CURRENT_TIMESTAMP, ZtgSta = 1";
    std::string days;
    for (const std::string& row : rows) days += (days.empty() ? "" : ", ") + row + ")";
    long rewritten = -1;
    int r = Db_Variant_Run(run.db, run.variants.ztg_name, kNoColumn, [&](DbVariant variant) {
      const std::string name = variant == DbVariant::First ? Db_Format(", ZtgPnm = '%s'", z.ZtgPnm) : std::string();
      return Db_Write(run.db,
                      Db_Format("UPDATE %s.Qxs329Ztg SET ", run.schema) + set + name + " FROM (VALUES " + days +
                          ") AS v (" + names + ")" +
                          Db_Format(" WHERE ZtgPnr = '%s' AND ZtgVon = CONVERT(Datetime, v.Von, 112)", z.ZtgPnr),
                      0, &rewritten);
    });
    Run_Wrote(run, run.schema, "Qxs329Ztg", RunWrite::Rewritten, rewritten);
    if (r != DB_OK) return r;
  }
  return DB_OK;
}

bool Less(const char* a, const char* b) {
  return std::strcmp(a, b) < 0;
}

}  // namespace

int Pnr_LastDays_Get(RunContext& run, const char* pnr, char (&last_tag)[9], char (&last_ztg)[9]) {
  static constexpr const char* kSql =
      "SELECT (SELECT CONVERT(char(8), (COALESCE(MAX(TagTag), CURRENT_TIMESTAMP)), 112) FROM %s.Qxs327Tag "
      "WHERE TagPnr = '%s'), (SELECT CONVERT(char(8), (COALESCE(MAX(ZtgVon), CURRENT_TIMESTAMP)), 112) "
      "FROM %s.Qxs329Ztg WHERE ZtgPnr = '%s' AND ZtgSta < 4)";
  char tag[11], ztg[11];
  int r = Db_Query_One(run.db, Db_Format(kSql, run.schema, pnr, run.schema, pnr),
                       {Db_Text(tag, sizeof tag), Db_Text(ztg, sizeof ztg)});
  if (r == DB_OK) {
    Fld_Copy(last_tag, tag);
    Fld_Copy(last_ztg, ztg);
  }
  return r;
}

bool Pnr_Batch_Days(RunContext& run, const BsvSatz& bsv, const char* start_key, const char* threshold,
                    const char* end_key) {
  std::vector<KalTag> days;
  std::vector<std::string> tag_keys, new_days;
  if (Kal_Days_Read(run, bsv.BsvKal, start_key, end_key, days) != DB_OK) return false;
  if (Tag_Days_Read(run, bsv.BsvPnr, start_key, end_key, tag_keys) != DB_OK) return false;
  if (!Tag_Batch_Plan(days, tag_keys, new_days)) return false;
  if (!new_days.empty() && Tag_Days_Ins(run, bsv.BsvPnr, new_days) != DB_OK) return false;

  // The schedule-assignment step runs for the days after the threshold only.
  if (days.empty() || !Less(threshold, days.back().key.c_str())) return true;
  std::vector<ZuoTag> assignments;
  std::vector<WplZeile> plans;
  std::vector<ZtgAlt> existing;
  std::vector<ZtgSatz> inserts, updates;
  if (Zuo_Days_Read(run, bsv.BsvPnr, threshold, end_key, assignments) != DB_OK) return false;
  if (Wpl_Groups_Read(run, bsv.BsvPnr, plans) != DB_OK) return false;
  if (Ztg_Days_Read(run, bsv.BsvPnr, threshold, end_key, existing) != DB_OK) return false;
  if (!Ztg_Batch_Plan(bsv, threshold, days, existing, assignments, plans, inserts, updates)) return false;
  if (!inserts.empty() && Ztg_Days_Ins(run, inserts) != DB_OK) return false;
  if (!updates.empty() && Ztg_Days_Upd(run, updates, existing) != DB_OK) return false;
  return true;
}
