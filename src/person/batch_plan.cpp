#include "person/batch_plan.h"

#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "common/text.h"

namespace {

// Gives false, telling why where the caller asked.
bool Fail(PnrFallback* why, PnrFallback reason) {
  if (why != nullptr) *why = reason;
  return false;
}

// A value fits a field when the day-by-day routines would take it whole: no more characters
// than the field's width. A longer value would arrive cut there, which is not decided here.
template <std::size_t N>
bool Fits(const char (&field)[N], const std::string& value) {
  return Txt_Fits(field, value);
}

template <std::size_t N>
bool Put(char (&field)[N], const std::string& value) {
  if (!Fits(field, value)) return false;
  Txt_Copy(field, value);
  return true;
}

// The rows of one day in a list ordered by nothing in particular.
template <class Row>
std::multimap<std::string, const Row*> ByDay(const std::vector<Row>& rows, std::string Row::*key) {
  std::multimap<std::string, const Row*> out;
  for (const Row& row : rows) out.emplace(row.*key, &row);
  return out;
}

bool Kal_Days_Plain(const std::vector<KalTag>& days, PnrFallback* why) {
  TagSatz tag{};
  for (size_t i = 0; i < days.size(); ++i) {
    if (days[i].key.size() != 8) return Fail(why, PnrFallback::OddDays);
    if (!Fits(tag.TagTtp, days[i].ttp)) return Fail(why, PnrFallback::TooLong);
    if (i > 0 && !(days[i - 1].key < days[i].key)) return Fail(why, PnrFallback::OddDays);
  }
  return true;
}

}  // namespace

bool Datetime_Key(const char* text, std::string& key, bool& midnight) {
  auto digits = [&](std::size_t from, std::size_t n) {
    for (std::size_t i = from; i < from + n; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
  };
  const std::size_t n = std::strlen(text);
  if (n < 10 || !digits(0, 4) || text[4] != '-' || !digits(5, 2) || text[7] != '-' || !digits(8, 2)) return false;
  key.assign(text, 4).append(text + 5, 2).append(text + 8, 2);
  if (n == 10) {
    midnight = true;
    return true;
  }
  if (n < 19 || text[10] != ' ' || !digits(11, 2) || text[13] != ':' || !digits(14, 2) || text[16] != ':' ||
      !digits(17, 2)) {
    return false;
  }
  if (n > 19 && (text[19] != '.' || n == 20 || !digits(20, n - 20))) return false;
  midnight = std::strspn(text + 11, "0:.") == n - 11;
  return true;
}

bool Tag_Batch_Plan(const std::vector<KalTag>& days, const std::vector<std::string>& existing,
                    std::vector<std::string>& new_days, PnrFallback* why) {
  new_days.clear();
  if (!Kal_Days_Plain(days, why)) return false;
  const std::set<std::string> have(existing.begin(), existing.end());
  for (const KalTag& day : days) {
    if (have.count(day.key) == 0) new_days.push_back(day.key);
  }
  return true;
}

bool Ztg_Batch_Plan(const BsvSatz& bsv, const char* threshold, const std::vector<KalTag>& days,
                    const std::vector<ZtgAlt>& existing, const std::vector<ZuoTag>& assignments,
                    const std::vector<WplZeile>& plans, std::vector<ZtgSatz>& inserts, std::vector<ZtgSatz>& updates,
                    PnrFallback* why) {
  inserts.clear();
  updates.clear();
  if (!Kal_Days_Plain(days, why)) return false;
  const auto records = ByDay(existing, &ZtgAlt::von);
  const auto assigned = ByDay(assignments, &ZuoTag::key);
  std::multimap<std::pair<std::string, int32_t>, const WplZeile*> planned;
  for (const WplZeile& plan : plans) planned.emplace(std::make_pair(plan.agr, plan.tag), &plan);

  for (const KalTag& day : days) {
    if (!(std::strcmp(threshold, day.key.c_str()) < 0)) continue;
    ZtgSatz ztg{};
    Txt_Copy(ztg.ZtgPnr, bsv.BsvPnr);
    Fld_Copy(ztg.ZtgVon, day.key);

    // The existing record: a live one is rewritten on the values it has, field by field; a dead
    // one would refuse the insert, and several make the outcome depend on the server's order.
    auto [first, last] = records.equal_range(day.key);
    const bool new_row = first == last;
    if (!new_row) {
      if (std::next(first) != last) return Fail(why, PnrFallback::SeveralRecords);
      const ZtgAlt& alt = *first->second;
      if (alt.sta >= 4) return Fail(why, PnrFallback::DeadRecord);
      if (!Put(ztg.ZtgAkr, alt.akr) || !Put(ztg.ZtgAbt, alt.abt) || !Put(ztg.ZtgKst, alt.kst) ||
          !Put(ztg.ZtgKtr, alt.ktr) || !Put(ztg.ZtgKrt, alt.krt) || !Put(ztg.ZtgAgr, alt.agr) ||
          !Put(ztg.ZtgBsd, alt.bsd) || !Put(ztg.ZtgVra, alt.vra) || !Put(ztg.ZtgAzt, alt.azt) ||
          !Put(ztg.ZtgTtp, alt.ttp)) {
        return Fail(why, PnrFallback::TooLong);
      }
      ztg.ZtgTag = alt.tag;
    }

    Txt_Copy(ztg.ZtgAkr, bsv.BsvAkr);
    Txt_Copy(ztg.ZtgBsd, bsv.BsvAbr);
    if (!Put(ztg.ZtgTtp, day.ttp)) return Fail(why, PnrFallback::TooLong);
    Txt_Copy(ztg.ZtgPnm, bsv.PnrNam);

    // The day-by-day step logs a day without an assignment; several make the first row decide.
    auto [zuo_first, zuo_last] = assigned.equal_range(day.key);
    if (zuo_first == zuo_last) return Fail(why, PnrFallback::NoAssignment);
    if (std::next(zuo_first) != zuo_last) return Fail(why, PnrFallback::SeveralAssignments);
    const ZuoTag* zuo = zuo_first->second;
    ztg.ZtgTag = zuo->tag;
    if (!Put(ztg.ZtgAgr, zuo->agr) || !Put(ztg.ZtgAbt, zuo->abt) || !Put(ztg.ZtgKst, zuo->kst) ||
        !Put(ztg.ZtgKrt, zuo->krt) || !Put(ztg.ZtgKtr, zuo->ktr) || !Put(ztg.ZtgVra, zuo->vra)) {
      return Fail(why, PnrFallback::TooLong);
    }

    // Likewise exactly one plan row; its blank values leave the record's values.
    auto [plan_first, plan_last] = planned.equal_range(std::make_pair(zuo->agr, zuo->tag));
    if (plan_first == plan_last) return Fail(why, PnrFallback::NoPlan);
    if (std::next(plan_first) != plan_last) return Fail(why, PnrFallback::SeveralPlans);
    std::string azt = plan_first->second->azt;
    std::string vra = plan_first->second->vra;
    if (!Fits(ztg.ZtgAzt, azt) || !Fits(ztg.ZtgVra, vra)) return Fail(why, PnrFallback::TooLong);
    if (!Str_TrimRight(azt).empty()) Txt_Copy(ztg.ZtgAzt, azt);
    if (!Str_TrimRight(vra).empty()) Txt_Copy(ztg.ZtgVra, vra);

    (new_row ? inserts : updates).push_back(ztg);
  }
  return true;
}
