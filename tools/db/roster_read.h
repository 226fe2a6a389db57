#pragma once
// What the roster page shows, read from the time-recording database in pieces of bounded size: the
// facts above the grid, then persons page by page and each person's days on their own.
#include <map>
#include <string>
#include <vector>

#include "dates.h"
#include "session.h"

namespace pxdb {

struct RosterGroup {
  std::string num, name;
  int length = 0;
  bool dead = false;
};

struct RosterFacts {
  long persons = 0;
  std::string newest;                  // "YYYY-MM-DD hh:mm:ss" of the newest day or schedule-assignment record shown
  std::vector<std::string> day_types;  // of the calendars' rows in the range, sorted
  std::vector<RosterGroup> groups;
};

struct RosterPerson {
  std::string num, name;
  bool dead = false;
};

// One day of one person.
struct RosterCell {
  std::string day_type;  // the calendar row's day type; empty when the calendar has no row
  bool in_calendar = false;
  bool has_day = false;  // a day record exists
  bool has_ztg = false;  // a schedule-assignment record exists (live or not)
  std::string group, azt, vra;
  std::string cycle_day;
  int status = 1;
};

class RosterReader {
 public:
  RosterReader(Session& session, std::string schema, Day from, Day to, std::string pnr_from, std::string pnr_to)
      : session_(session),
        s_(std::move(schema)),
        from_(from),
        to_(to),
        pnr_from_(std::move(pnr_from)),
        pnr_to_(std::move(pnr_to)) {}

  bool Facts(RosterFacts* facts);
  // The next page of persons in number order; an empty page at the end.
  bool NextPersons(std::vector<RosterPerson>* page);
  // The cells of one person, one per day of the range.
  bool Days(const RosterPerson& person, std::vector<RosterCell>* cells);
  const DbError& Error() const { return error_; }

 private:
  Session& session_;
  std::string s_;
  Day from_, to_;
  std::string pnr_from_, pnr_to_;
  std::string last_pnr_;
  bool first_page_ = true;
  // Day types of each calendar met so far, one per day of the range ("" = no row).
  std::map<std::string, std::vector<std::string>> calendars_;
  DbError error_;

  bool Rows(const std::string& sql, std::vector<std::vector<std::string>>* rows);
  bool Calendar(const std::string& kal, const std::vector<std::string>** types);
  std::string PersonRange(const std::string& column) const;
  std::string DayRange(const std::string& column) const;
  long Index(const std::string& key) const;
};

}  // namespace pxdb
