#pragma once
// Gregorian date arithmetic on day, month and year. Pure functions: no state, no output.
// Weekdays are numbered 0 = Sunday, 1 = Monday, ..., 6 = Saturday.

// 1 for a leap year, else 0.
int Dat_LeapYear(int year);
// Days of the month (28..31); 0 for a month outside 1..12.
int Dat_MonthLen(int month, int year);
// Weekday 0..6; -1 for a day outside 1..31, a month outside 1..12, or a date before March 1600.
// A day beyond its month's end is accepted and counts on into the next month.
int Dat_WeekDay(int day, int month, int year);
// Day of the year (1..366 for real dates); -1 for a month outside 1..12.
int Dat_YearDay(int day, int month, int year);
// ISO 8601 week number 1..53: weeks run Monday to Sunday, week 1 holds the year's first Thursday.
// Meaningful from the year 1602 on (the weekday of 1 January of the year before must be known).
int Dat_WeekNum(int day, int month, int year);
