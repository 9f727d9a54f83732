#include "engine/text_forms.h"

#include "platform/util/calendar.h"
#include "platform/util/digits.h"

namespace engine {
namespace {

using util::IsDigit;

// Exactly `count` digits at `pos`; -1 when they are not all digits.
int Digits(std::string_view text, size_t pos, size_t count) { return util::FixedDigits(text, pos, count).value_or(-1); }

void AppendTwo(int value, std::string& out) {
  out.push_back(static_cast<char>('0' + value / 10 % 10));
  out.push_back(static_cast<char>('0' + value % 10));
}

}  // namespace

bool IsNumber(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  bool stop = false;
  for (; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      ++digits;
    } else if (text[i] == '.' && !stop) {
      stop = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i == text.size()) return true;
  if (text[i] != 'e' && text[i] != 'E') return false;
  ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t exponent_digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) ++exponent_digits;
  return exponent_digits > 0 && i == text.size();
}

std::optional<DateParts> ParseDate(std::string_view text) {
  // yyyy-mm-dd
  if (text.size() < 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  DateParts d;
  d.year = Digits(text, 0, 4);
  d.month = Digits(text, 5, 2);
  d.day = Digits(text, 8, 2);
  if (!util::IsCalendarDay(d.year, d.month, d.day)) return std::nullopt;
  if (text.size() == 10) return d;
  // " hh:mm:ss" and an optional fraction
  if (text.size() < 19 || text[10] != ' ' || text[13] != ':' || text[16] != ':') return std::nullopt;
  d.hour = Digits(text, 11, 2);
  d.minute = Digits(text, 14, 2);
  d.second = Digits(text, 17, 2);
  if (d.hour < 0 || d.hour > 23 || d.minute < 0 || d.minute > 59 || d.second < 0 || d.second > 59)
    return std::nullopt;
  if (text.size() > 19) {
    if (text[19] != '.' || text.size() == 20) return std::nullopt;
    for (size_t i = 20; i < text.size(); ++i)
      if (!IsDigit(text[i])) return std::nullopt;
  }
  d.has_time = true;
  return d;
}

void AppendDate(const DateParts& date, DateForm form, std::string& out) {
  AppendTwo(date.month, out);
  out.push_back('/');
  AppendTwo(date.day, out);
  out.push_back('/');
  AppendTwo(date.year / 100, out);
  AppendTwo(date.year % 100, out);
  if (form == DateForm::kDate) return;
  out.push_back(' ');
  AppendTwo(date.hour, out);
  out.push_back(':');
  AppendTwo(date.minute, out);
  out.push_back(':');
  AppendTwo(date.second, out);
}

std::string FormatDate(const DateParts& date, DateForm form) {
  std::string out;
  AppendDate(date, form, out);
  return out;
}

}  // namespace engine
