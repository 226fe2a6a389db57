#include <gtest/gtest.h>

#include <chrono>

#include "calendar/date.h"
#include "fixtures/helpers.h"

namespace {

TEST(Date, LeapYearAndMonthLength) {
  struct Case {
    int month, year, leap, len;
  } cases[] = {
      {2, 1900, 0, 28}, {2, 2000, 1, 29}, {2, 2024, 1, 29}, {2, 2023, 0, 28},
      {13, 2000, 1, 0}, {0, 2000, 1, 0},  {4, 2023, 0, 30}, {12, 2023, 0, 31},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Dat_LeapYear(c.year), c.leap) << c.year;
    EXPECT_EQ(Dat_MonthLen(c.month, c.year), c.len) << c.month << "/" << c.year;
  }
}

TEST(Date, WeekDayValuesAndRejections) {
  struct Case {
    int day, month, year, weekday;
  } cases[] = {
      {1, 1, 2007, 1},
      {1, 3, 2007, 4},
      {1, 1, 2000, 6},
      {29, 2, 2024, 4},
      {1, 3, 1600, 3},
      {29, 2, 1600, -1},
      {0, 5, 2007, -1},
      {32, 5, 2007, -1},
      {1, 13, 2007, -1},
      {1, 6, 1599, -1},
      // past the month's end: counts on, as 3 March 2007
      {31, 2, 2007, 6},
      // the centuries repeat after 400 years: a Wednesday like 1 March 2000
      {1, 3, 2400, 3},
      {1, 1, 2401, 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Dat_WeekDay(c.day, c.month, c.year), c.weekday) << c.day << "." << c.month << "." << c.year;
}

TEST(Date, YearDayValues) {
  struct Case {
    int day, month, year, n;
  } cases[] = {
      {31, 12, 2024, 366}, {31, 12, 2023, 365}, {1, 3, 2024, 61}, {1, 1, 2024, 1}, {5, 0, 2024, -1}, {5, 13, 2024, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(Dat_YearDay(c.day, c.month, c.year), c.n);
}

TEST(Date, WeekNumbersAroundTheTurnOfTheYear) {
  struct Case {
    int day, month, year, week;
  } cases[] = {
      {31, 12, 2015, 53}, {1, 1, 2016, 53},   {3, 1, 2016, 53},   {4, 1, 2016, 1},
      {27, 12, 2020, 52}, {28, 12, 2020, 53}, {31, 12, 2020, 53}, {3, 1, 2021, 53},
      {4, 1, 2021, 1},    {10, 1, 2021, 1},   {11, 1, 2021, 2},   {30, 12, 2024, 1},
      {1, 1, 2027, 53},   {3, 1, 2027, 53},   {4, 1, 2027, 1},    {29, 12, 1992, 53},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Dat_WeekNum(c.day, c.month, c.year), c.week) << c.day << "." << c.month << "." << c.year;
}

// Every day of the range against the standard library's calendar: the weekday, the day of the
// year, and the ISO 8601 week.
void CheckAgainstChrono(int first_year, int last_year) {
  using namespace std::chrono;
  const sys_days first = year{first_year} / January / 1;
  const sys_days last = year{last_year} / December / 31;
  int mismatches = 0;
  for (sys_days d = first; d <= last && mismatches < 10; d += days{1}) {
    year_month_day ymd{d};
    int y = int(ymd.year()), m = int(unsigned(ymd.month())), dd = int(unsigned(ymd.day()));
    weekday wd{d};
    int iso_week = fixture::IsoWeekOf(d).week;
    int year_day = int((d - sys_days{ymd.year() / January / 1}).count() + 1);

    bool ok = Dat_WeekDay(dd, m, y) == int(wd.c_encoding()) && Dat_WeekNum(dd, m, y) == iso_week &&
              Dat_YearDay(dd, m, y) == year_day;
    if (!ok) {
      ++mismatches;
      ADD_FAILURE() << y << "-" << m << "-" << dd << ": weekday " << Dat_WeekDay(dd, m, y) << " vs " << wd.c_encoding()
                    << ", week " << Dat_WeekNum(dd, m, y) << " vs " << iso_week;
    }
  }
}

TEST(Date, AgreesWithTheStandardCalendar1990To2100) {
  CheckAgainstChrono(1990, 2100);
}
TEST(Date, AgreesWithTheStandardCalendarAcross2400) {
  CheckAgainstChrono(2398, 2402);
}

}  // namespace
