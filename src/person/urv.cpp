#include "person/urv.h"

#include <cctype>
#include <vector>

#include "db/db.h"

namespace {
constexpr int kConstraint = 547;

// The year in the first four characters of a date key, or -1 when they are not four digits.
int32_t Year_Of(const char* date_key) {
  int32_t year = 0;
  for (int i = 0; i < 4; ++i) {
    const unsigned char c = static_cast<unsigned char>(date_key[i]);
    if (!std::isdigit(c)) return -1;
    year = year * 10 + (c - '0');
  }
  return year;
}
}  // namespace

// The batched person step runs the same two statements prepared, with the person and the year as
// parameters, so that the server compiles them once per run instead of once per person.
DbResult Urv_LastYear_Get(RunContext& run, const char* pnr, int32_t& last_year) {
  static constexpr const char* kSql = "SELECT MAX(UrvJhr)  FROM  %s.Qxs332Urv  WHERE UrvPnr = '%s'";
  static constexpr const char* kSqlPrepared = "SELECT MAX(UrvJhr)  FROM  %s.Qxs332Urv  WHERE UrvPnr = ?";
  int32_t year = 0;
  std::vector<DbParam> params = {Db_Param(pnr)};
  DbResult r = run.batched ? Db_Prepared_One(run.db, Db_Format(kSqlPrepared, run.schema), params, {Db_Long(&year)})
                           : Db_Query_One(run.db, Db_Format(kSql, run.schema, pnr), {Db_Long(&year)});
  if (r == DB_OK) last_year = year;
  return r;
}

DbResult Urv_NewYear_Ins(RunContext& run, const char* pnr, int32_t year) {
  static constexpr const char* kSql = "INSERT INTO %s.Qxs332Urv   (UrvPnr, UrvJhr) VALUES   ('%s', %ld)";
  long rows = -1;
  DbResult r = [&] {
    if (!run.batched) {
      return Db_Write(run.db, Db_Format(kSql, run.schema, pnr, static_cast<long>(year)), kConstraint, &rows);
    }
    std::vector<DbParam> params = {Db_Param(pnr), Db_Param(year)};
    return Db_Prepared_Write(run.db,
                             Db_Format("INSERT INTO %s.Qxs332Urv   (UrvPnr, UrvJhr) VALUES   (?, ?)", run.schema),
                             params, kConstraint, &rows);
  }();
  Run_Wrote(run, run.schema, "Qxs332Urv", RunWrite::Added, rows);
  return r;
}

void Urv_Year_Generate(RunContext& run, const BsvSatz& bsv, const char* end_key) {
  int32_t last_year = 0;
  const int32_t end_year = Year_Of(end_key);
  int32_t today_year = Year_Of(run.today.c_str());

  // The counter is the year before the first year to insert.
  int32_t counter;
  if (const DbResult last = Urv_LastYear_Get(run, bsv.BsvPnr, last_year); last != DB_OK) {
    Run_Error(run, last, "Error: Letzten Urlaubsvortrag ermitteln. %d", last.code);
    run.log.Printf("Person: %s!\n", bsv.BsvPnr);
    counter = today_year - 1;
  } else if (last_year > 0) {
    // Years carried over already continue without a gap.
    counter = last_year;
  } else {
    // A new person starts with the current year, or with the year its assignment begins when
    // that lies in the future.
    const int32_t gvo_year = Year_Of(bsv.BsvGvo);
    counter = (gvo_year > today_year ? gvo_year : today_year) - 1;
  }

  while (counter < end_year) {
    ++counter;
    if (const DbResult r = Urv_NewYear_Ins(run, bsv.BsvPnr, counter); r != DB_OK) {
      Run_Error(run, r, "Error: Urlaubsvortrag einpflegen. %d", r.code);
      run.log.Printf("Person: %s! Jahr: %ld!\n", bsv.BsvPnr, static_cast<long>(counter));
    }
  }
}
