#pragma once
// The two text tests of the row statement builder and its date formatter.
//
// The tests are strict on purpose: they accept exactly the forms in which the
// data-access layer delivers numbers, dates and date-times (C-locale text, ISO
// dates), so that ordinary text is never taken for a number or a date by
// accident. In particular a decimal comma or a thousands separator is not a
// number ("3,5" and "1,234" stay text), and a bare time is not a date.

#include <optional>
#include <string>
#include <string_view>

namespace engine {

// An optional sign, digits with at most one full stop (at least one digit),
// and an optional exponent: "-12", "3.5", ".5", "1e10", "-2.5E-3".
bool IsNumber(std::string_view text);

struct DateParts {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
  bool has_time = false;
};

// "yyyy-mm-dd", optionally followed by " hh:mm:ss" and a fraction ".f...".
// Every part must be in range (months 1-12, days of that month with leap
// years, hours 0-23, minutes and seconds 0-59; years 0001-9999).
std::optional<DateParts> ParseDate(std::string_view text);
inline bool IsDate(std::string_view text) { return ParseDate(text).has_value(); }

// The two forms of written dates. Separators are always "/" and ":", whatever
// the desktop's regional settings say, so a statement reads the same everywhere.
enum class DateForm { kDateTime, kDate };
inline constexpr std::string_view kDateTimeFormText = "mm/dd/yyyy hh:nn:ss";
inline constexpr std::string_view kDateFormText = "mm/dd/yyyy";

// Appends the date in the form: "08/31/2021 14:05:00" or "08/31/2021". The
// fraction of a second is not written.
void AppendDate(const DateParts& date, DateForm form, std::string& out);
std::string FormatDate(const DateParts& date, DateForm form);

}  // namespace engine
