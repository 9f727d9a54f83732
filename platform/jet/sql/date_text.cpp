#include "platform/jet/sql/date_text.h"

#include <cstdint>

#include "platform/jet/format/numeric.h"
#include "platform/util/calendar.h"

namespace jet::sql {
namespace {

using util::DaysInMonth;

// Reads 1 to `max_digits` digits (exactly `max_digits` when `exact`).
bool ReadNumber(std::string_view s, size_t* pos, int max_digits, bool exact, int* out) {
  int value = 0, count = 0;
  while (*pos < s.size() && count < max_digits && s[*pos] >= '0' && s[*pos] <= '9') {
    value = value * 10 + (s[*pos] - '0');
    ++*pos, ++count;
  }
  if (count == 0 || (exact && count != max_digits)) return false;
  *out = value;
  return true;
}

bool Expect(std::string_view s, size_t* pos, char c) {
  if (*pos >= s.size() || s[*pos] != c) return false;
  ++*pos;
  return true;
}

}  // namespace

DateTimeValue MakeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond) {
  const int64_t days = format::DaysFromCivil(year, month, day) - format::DaysFromCivil(1899, 12, 30);
  const double time = ((hour * 3600 + minute * 60 + second) * 1000.0 + millisecond) / 86400000.0;
  return DateTimeValue{days < 0 ? static_cast<double>(days) - time : static_cast<double>(days) + time};
}

std::optional<DateTimeValue> ParseDateText(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  size_t pos = 0;
  int year = 0, month = 0, day = 0;
  const size_t first_digits = s.find_first_not_of("0123456789");
  if (first_digits == 4 && s[4] == '-') {  // yyyy-mm-dd
    if (!ReadNumber(s, &pos, 4, true, &year) || !Expect(s, &pos, '-') || !ReadNumber(s, &pos, 2, false, &month) ||
        !Expect(s, &pos, '-') || !ReadNumber(s, &pos, 2, false, &day)) {
      return std::nullopt;
    }
  } else {  // mm/dd/yyyy
    if (!ReadNumber(s, &pos, 2, false, &month) || !Expect(s, &pos, '/') || !ReadNumber(s, &pos, 2, false, &day) ||
        !Expect(s, &pos, '/') || !ReadNumber(s, &pos, 4, true, &year)) {
      return std::nullopt;
    }
  }
  if (year < 100 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  if (pos < s.size()) {
    if (s[pos] != ' ' && s[pos] != 'T') return std::nullopt;
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == 'T')) ++pos;
    if (!ReadNumber(s, &pos, 2, false, &hour) || !Expect(s, &pos, ':') || !ReadNumber(s, &pos, 2, false, &minute)) {
      return std::nullopt;
    }
    if (pos < s.size() && s[pos] == ':') {
      if (!(++pos, ReadNumber(s, &pos, 2, true, &second))) return std::nullopt;
      // Milliseconds, which a Date/Time value holds though Access shows none.
      if (pos < s.size() && s[pos] == '.') {
        const size_t start = ++pos;
        if (!ReadNumber(s, &pos, 3, false, &millisecond)) return std::nullopt;
        for (size_t digits = pos - start; digits < 3; ++digits) millisecond *= 10;
      }
    }
    if (pos != s.size() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  }
  return MakeDateTime(year, month, day, hour, minute, second, millisecond);
}

}  // namespace jet::sql
