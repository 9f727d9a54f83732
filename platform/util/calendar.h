#pragma once
// Calendar checks of the proleptic Gregorian calendar, as PostgreSQL and
// Access date values use it.

namespace util {

constexpr bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Days of `month` (1-12) in `year`; 0 for a month out of range.
constexpr int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Whether year-month-day names a real day, with years 1 to 9999.
constexpr bool IsCalendarDay(int year, int month, int day) {
  return year >= 1 && year <= 9999 && day >= 1 && day <= DaysInMonth(year, month);
}

}  // namespace util
