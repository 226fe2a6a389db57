#include "calendar/date.h"

namespace {

constexpr int kMonthLen[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
// Weekday offsets of the months, January to December.
constexpr int kMonthOffset[12] = {1, 4, 3, 6, 1, 4, 6, 2, 5, 0, 3, 5};

// Weekday offset of the century of an effective year from 1600 on. The offsets repeat every four
// centuries (the Gregorian cycle of 400 years is a whole number of weeks), so 2400 takes the value
// of 2000 again.
int CenturyOffset(int effective_year) {
  static constexpr int kCentury[4] = {6, 4, 2, 0};  // 1600s, 1700s, 1800s, 1900s
  return kCentury[(effective_year / 100 - 16) % 4];
}

}  // namespace

int Dat_LeapYear(int year) {
  if (year % 400 == 0) return 1;
  if (year % 100 == 0) return 0;
  return year % 4 == 0 ? 1 : 0;
}

int Dat_MonthLen(int month, int year) {
  if (month < 1 || month > 12) return 0;
  if (month == 2) return Dat_LeapYear(year) ? 29 : 28;
  return kMonthLen[month - 1];
}

int Dat_WeekDay(int day, int month, int year) {
  if (day < 1 || day > 31 || month < 1 || month > 12 || year < 1600) return -1;
  if (year == 1600 && month <= 2) return -1;
  int effective = month <= 2 ? year - 1 : year;
  int yy = effective % 100;
  return (day + yy + yy / 4 + kMonthOffset[month - 1] + CenturyOffset(effective)) % 7;
}

int Dat_YearDay(int day, int month, int year) {
  if (month < 1 || month > 12) return -1;
  int n = day;
  for (int m = 1; m < month; ++m) n += Dat_MonthLen(m, year);
  return n;
}

int Dat_WeekNum(int day, int month, int year) {
  int n = Dat_YearDay(day, month, year);
  // Offset of 1 January from the Monday that starts week 1: 0..3 for Monday..Thursday, -3..-1 for
  // Friday..Sunday (that Monday then lies in the year itself).
  int o = Dat_WeekDay(1, 1, year) - 1;
  if (o >= 4) o -= 7;
  if (n + o <= 0) return Dat_WeekNum(31, 12, year - 1);
  int week = (n + o - 1) / 7 + 1;
  // A year has a week 53 when it begins on a Thursday, or on a Wednesday in a leap year; otherwise
  // its last days already belong to week 1 of the next year.
  if (week == 53 && !(o == 3 || (o == 2 && Dat_LeapYear(year)))) return 1;
  return week;
}
