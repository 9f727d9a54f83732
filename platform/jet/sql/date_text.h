#pragma once
// Dates and times in the two text forms a statement may carry into a Date/Time
// column: mm/dd/yyyy[ hh:nn[:ss]] (what the program writes) and
// yyyy-mm-dd[ hh:nn[:ss]] (also with a "T" before the time), seconds with up
// to three decimals (milliseconds). Years 100 to 9999, as Access allows.

#include <optional>
#include <string_view>

#include "platform/jet/public/value.h"

namespace jet::sql {

std::optional<DateTimeValue> ParseDateText(std::string_view text);

// Access' day numbers: days since 1899-12-30; before it, the time of day
// still counts forward from midnight (-1.25 is 1899-12-29 06:00).
DateTimeValue MakeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond = 0);

inline constexpr double kMinDateDays = -657434.0;  // 0100-01-01
inline constexpr double kMaxDateDays = 2958465.999988426;  // 9999-12-31 23:59:59

}  // namespace jet::sql
