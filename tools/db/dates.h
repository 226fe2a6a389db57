#pragma once
// Date keys (YYYYMMDD) for planex-db: parsing, day arithmetic, and the week values of a
// base-calendar row as planex computes them.
#include <chrono>
#include <string>
#include <string_view>

namespace pxdb {

using Day = std::chrono::sys_days;

// Parses an 8-digit date key of a real date between 1753 and 9999 (the datetime range).
bool ParseDateKey(std::string_view key, Day* day);
std::string DateKey(Day day);
// 1 = Monday ... 7 = Sunday.
int IsoWeekday(Day day);
// The weekday number SQL Server's DATEPART(weekday, ...) gives under SET DATEFIRST date_first.
int ServerWeekday(Day day, int date_first);
// The DATEFIRST setting under which day has the weekday number server_weekday.
int DateFirstFrom(Day day, int server_weekday);

// The values of a base-calendar row that planex derives itself.
struct WeekValues {
  int week = 0;       // BakWch
  int week_year = 0;  // BakYow
};
WeekValues BaseCalendarWeek(Day day);

int DayOfYear(Day day);

}  // namespace pxdb
