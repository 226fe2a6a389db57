#include "roster_read.h"

#include <algorithm>
#include <set>

#include "script.h"

namespace pxdb {
namespace {

constexpr int kPage = 200;  // persons read per statement; bounds what is held at a time

}  // namespace

bool RosterReader::Rows(const std::string& sql, std::vector<std::vector<std::string>>* rows) {
  BatchResult result;
  rows->clear();
  if (!session_.Exec(sql, &result, &error_)) return false;
  if (result.sets.empty()) return true;
  for (auto& row : result.sets[0].rows) {
    std::vector<std::string> text;
    for (auto& value : row) text.push_back(value ? *value : std::string());
    rows->push_back(std::move(text));
  }
  return true;
}

std::string RosterReader::PersonRange(const std::string& column) const {
  std::string where;
  if (!pnr_from_.empty()) where += " AND " + column + " >= " + Quote(pnr_from_);
  if (!pnr_to_.empty()) where += " AND " + column + " <= " + Quote(pnr_to_);
  return where;
}

std::string RosterReader::DayRange(const std::string& column) const {
  return " AND " + column + " >= " + DateLiteral(DateKey(from_)) + " AND " + column +
         " <= " + DateLiteral(DateKey(to_));
}

long RosterReader::Index(const std::string& key) const {
  Day d{};
  if (!ParseDateKey(key, &d) || d < from_ || d > to_) return -1;
  return (d - from_).count();
}

bool RosterReader::Facts(RosterFacts* facts) {
  std::vector<std::vector<std::string>> rows;
  if (!Rows("SELECT COUNT(*) FROM " + s_ + ".Qxs300Pnr WHERE 1 = 1" + PersonRange("PnrNum"), &rows)) return false;
  facts->persons = rows.empty() ? 0 : std::atol(rows[0][0].c_str());
  for (const char* table : {"Qxs329Ztg", "Qxs327Tag"}) {
    const std::string p = table == std::string("Qxs329Ztg") ? "Ztg" : "Tag";
    const std::string day = p == "Ztg" ? "ZtgVon" : "TagTag";
    if (!Rows("SELECT CONVERT(varchar(19), MAX(" + p + "Dat), 120) FROM " + s_ + "." + table + " WHERE 1 = 1" +
                  PersonRange(p + "Pnr") + DayRange(day),
              &rows)) {
      return false;
    }
    if (!rows.empty()) facts->newest = std::max(facts->newest, rows[0][0]);
  }
  std::set<std::string> types;
  for (const std::string& t : {s_ + ".Qxs133Ka2 WHERE Ka2Sta < 4" + DayRange("Ka2Dtm"),
                               "QXSYSTEM.Qxs133Kal WHERE KalSta < 4" + DayRange("KalDtm")}) {
    const std::string col = t.find("Ka2") != std::string::npos ? "Ka2Ttp" : "KalTtp";
    if (!Rows("SELECT DISTINCT " + col + " FROM " + t, &rows)) return false;
    for (auto& r : rows) types.insert(r[0]);
  }
  facts->day_types.assign(types.begin(), types.end());
  // AgrBez is no column planex needs; a database without it still gets its groups.
  if (!Rows("SELECT AgrNum, AgrTge, AgrSta, AgrBez FROM " + s_ + ".Qxs160Agr ORDER BY AgrNum", &rows) &&
      !Rows("SELECT AgrNum, AgrTge, AgrSta FROM " + s_ + ".Qxs160Agr ORDER BY AgrNum", &rows)) {
    return false;
  }
  for (auto& r : rows) {
    facts->groups.push_back(
        {r[0], r.size() > 3 ? r[3] : std::string(), std::atoi(r[1].c_str()), std::atoi(r[2].c_str()) >= 4});
  }
  return true;
}

bool RosterReader::NextPersons(std::vector<RosterPerson>* page) {
  page->clear();
  std::string where = " WHERE 1 = 1";
  if (first_page_) {
    if (!pnr_from_.empty()) where += " AND PnrNum >= " + Quote(pnr_from_);
  } else {
    where += " AND PnrNum > " + Quote(last_pnr_);
  }
  if (!pnr_to_.empty()) where += " AND PnrNum <= " + Quote(pnr_to_);
  std::vector<std::vector<std::string>> rows;
  if (!Rows("SELECT TOP " + std::to_string(kPage) + " PnrNum, PnrNam, PnrSta FROM " + s_ + ".Qxs300Pnr" + where +
                " ORDER BY PnrNum",
            &rows)) {
    return false;
  }
  first_page_ = false;
  for (auto& r : rows) page->push_back({r[0], r[1], std::atoi(r[2].c_str()) >= 4});
  if (!page->empty()) last_pnr_ = page->back().num;
  return true;
}

bool RosterReader::Calendar(const std::string& kal, const std::vector<std::string>** types) {
  auto found = calendars_.find(kal);
  if (found == calendars_.end()) {
    std::vector<std::string> days(static_cast<size_t>((to_ - from_).count() + 1));
    std::vector<std::vector<std::string>> rows;
    // A client calendar first, as planex reads it; a number only the system knows from its table.
    if (!Rows("SELECT CONVERT(char(8), Ka2Dtm, 112), Ka2Ttp FROM " + s_ + ".Qxs133Ka2 WHERE Ka2Num = " + Quote(kal) +
                  " AND Ka2Sta < 4" + DayRange("Ka2Dtm"),
              &rows)) {
      return false;
    }
    if (rows.empty() && !Rows("SELECT CONVERT(char(8), KalDtm, 112), KalTtp FROM QXSYSTEM.Qxs133Kal WHERE KalNum = " +
                                  Quote(kal) + " AND KalSta < 4" + DayRange("KalDtm"),
                              &rows)) {
      return false;
    }
    for (auto& r : rows) {
      long i = Index(r[0]);
      if (i >= 0) days[static_cast<size_t>(i)] = r[1].empty() ? std::string(" ") : r[1];
    }
    found = calendars_.emplace(kal, std::move(days)).first;
  }
  *types = &found->second;
  return true;
}

bool RosterReader::Days(const RosterPerson& person, std::vector<RosterCell>* cells) {
  const size_t n = static_cast<size_t>((to_ - from_).count() + 1);
  cells->assign(n, RosterCell{});
  const std::string pnr = Quote(person.num);
  std::vector<std::vector<std::string>> rows;
  // The calendar of a day: the live assignment row valid on it with the latest valid-from date.
  if (!Rows("SELECT CONVERT(char(8), BsvGvo, 112), CONVERT(char(8), BsvGbi, 112), BsvKal FROM " + s_ +
                ".Qxs310Bsv WHERE BsvPnr = " + pnr + " AND BsvSta < 4 AND BsvGvo <= " + DateLiteral(DateKey(to_)) +
                " ORDER BY BsvGvo",
            &rows)) {
    return false;
  }
  for (auto& r : rows) {
    const std::vector<std::string>* types = nullptr;
    if (!Calendar(r[2], &types)) return false;
    Day gvo{}, gbi{};
    ParseDateKey(r[0], &gvo);
    const bool open = !ParseDateKey(r[1], &gbi);
    for (size_t i = 0; i < n; ++i) {
      const Day d = from_ + std::chrono::days{static_cast<long>(i)};
      if (d < gvo || (!open && d > gbi)) continue;
      RosterCell& c = (*cells)[i];  // later rows win: they are read in valid-from order
      c.in_calendar = !(*types)[i].empty();
      c.day_type = (*types)[i] == " " ? std::string() : (*types)[i];
    }
  }
  if (!Rows("SELECT CONVERT(char(8), TagTag, 112) FROM " + s_ + ".Qxs327Tag WHERE TagPnr = " + pnr + DayRange("TagTag"),
            &rows)) {
    return false;
  }
  for (auto& r : rows) {
    long i = Index(r[0]);
    if (i >= 0) (*cells)[static_cast<size_t>(i)].has_day = true;
  }
  if (!Rows("SELECT CONVERT(char(8), ZtgVon, 112), ZtgAgr, ZtgTag, ZtgAzt, ZtgVra, ZtgSta FROM " + s_ +
                ".Qxs329Ztg WHERE ZtgPnr = " + pnr + DayRange("ZtgVon"),
            &rows)) {
    return false;
  }
  for (auto& r : rows) {
    long i = Index(r[0]);
    if (i < 0) continue;
    RosterCell& c = (*cells)[static_cast<size_t>(i)];
    c.has_ztg = true;
    c.group = r[1];
    c.cycle_day = r[2];
    c.azt = r[3];
    c.vra = r[4];
    c.status = std::atoi(r[5].c_str());
  }
  return true;
}

}  // namespace pxdb
