#include "dates.h"

#include <cctype>
#include <cstdio>

#include "calendar/date.h"

namespace pxdb {

using namespace std::chrono;

bool ParseDateKey(std::string_view key, Day* day) {
  if (key.size() != 8) return false;
  for (char c : key) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  int y = std::stoi(std::string(key.substr(0, 4)));
  unsigned m = static_cast<unsigned>(std::stoi(std::string(key.substr(4, 2))));
  unsigned d = static_cast<unsigned>(std::stoi(std::string(key.substr(6, 2))));
  year_month_day ymd{year{y}, month{m}, std::chrono::day{d}};
  if (!ymd.ok() || y < 1753) return false;
  *day = sys_days(ymd);
  return true;
}

std::string DateKey(Day d) {
  year_month_day ymd{d};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02u%02u", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()));
  return buf;
}

int IsoWeekday(Day d) {
  return static_cast<int>(weekday{d}.iso_encoding());
}

int ServerWeekday(Day d, int date_first) {
  return (IsoWeekday(d) - date_first + 7) % 7 + 1;
}

int DateFirstFrom(Day d, int server_weekday) {
  int df = ((IsoWeekday(d) - (server_weekday - 1)) % 7 + 7) % 7;
  return df == 0 ? 7 : df;
}

int DayOfYear(Day d) {
  year_month_day ymd{d};
  return static_cast<int>((d - sys_days(ymd.year() / January / 1)).count()) + 1;
}

WeekValues BaseCalendarWeek(Day d) {
  year_month_day ymd{d};
  const int y = static_cast<int>(ymd.year());
  const int m = static_cast<int>(static_cast<unsigned>(ymd.month()));
  const int week = Dat_WeekNum(static_cast<int>(static_cast<unsigned>(ymd.day())), m, y);
  // The week-based year as planex stores it: the year of the week BakWch.
  int week_year = y;
  if (m == 12 && week == 1) week_year = y + 1;
  if (m == 1 && week > 51) week_year = y - 1;
  return {week, week_year};
}

}  // namespace pxdb
