#include "platform/odbc/text_values.h"

#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>

#include "platform/util/calendar.h"
#include "platform/util/digits.h"

namespace odbc {
namespace {

using util::FixedDigits;
using util::IsDigit;

std::optional<ado::Date> ParseDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  auto year = FixedDigits(text, 0, 4), month = FixedDigits(text, 5, 2), day = FixedDigits(text, 8, 2);
  if (!year || !month || !day || !util::IsCalendarDay(*year, *month, *day)) return std::nullopt;
  return ado::Date{*year, *month, *day};
}

std::optional<ado::Time> ParseTime(std::string_view text) {
  if (text.size() < 8 || text[2] != ':' || text[5] != ':') return std::nullopt;
  auto hour = FixedDigits(text, 0, 2), minute = FixedDigits(text, 3, 2), second = FixedDigits(text, 6, 2);
  if (!hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
  ado::Time time{*hour, *minute, *second, 0};
  if (text.size() == 8) return time;
  // A fraction: a full stop and one to nine digits, nothing after them.
  size_t digits = text.size() - 9;
  if (text[8] != '.' || digits < 1 || digits > 9) return std::nullopt;
  auto fraction = FixedDigits(text, 9, digits);
  if (!fraction) return std::nullopt;
  uint32_t nanosecond = static_cast<uint32_t>(*fraction);
  for (size_t i = digits; i < 9; ++i) nanosecond *= 10;
  time.nanosecond = nanosecond;
  return time;
}

// A plain decimal: optional minus, digits, optionally a full stop and digits.
bool IsPlainDecimal(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  size_t integer_digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++integer_digits;
  if (integer_digits == 0) return false;
  if (i == text.size()) return true;
  if (text[i] != '.') return false;
  ++i;
  size_t fraction_digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++fraction_digits;
  return fraction_digits > 0 && i == text.size();
}

bool IsSymbolChar(char c) {
  return !IsDigit(c) && c != '-' && c != '+' && c != ',' && c != '.' && c != '(' && c != ')' &&
         !std::isspace(static_cast<unsigned char>(c));
}

// Removes a currency symbol (and one blank beside it) from the front or the back.
void StripSymbol(std::string_view& text, bool at_front) {
  size_t n = 0;
  if (at_front) {
    while (n < text.size() && IsSymbolChar(text[n])) ++n;
    text.remove_prefix(n);
    if (n > 0 && !text.empty() && text.front() == ' ') text.remove_prefix(1);
  } else {
    while (n < text.size() && IsSymbolChar(text[text.size() - 1 - n])) ++n;
    text.remove_suffix(n);
    if (n > 0 && !text.empty() && text.back() == ' ') text.remove_suffix(1);
  }
}

// "1,234,567.89" -> "1234567.89"; nullopt unless the groups are exactly as written.
std::optional<std::string> UngroupedNumber(std::string_view text) {
  std::string out;
  size_t i = 0;
  size_t group = 0;
  while (i < text.size() && IsDigit(text[i])) out.push_back(text[i++]), ++group;
  if (group == 0) return std::nullopt;
  if (group > 3 && i < text.size() && text[i] == ',') return std::nullopt;
  while (i < text.size() && text[i] == ',') {
    ++i;
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) out.push_back(text[i++]), ++digits;
    if (digits != 3) return std::nullopt;
  }
  if (i < text.size() && text[i] == '.') {
    out.push_back(text[i++]);
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) out.push_back(text[i++]), ++digits;
    if (digits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  return out;
}

}  // namespace

ado::Value DecimalFromText(std::string text) {
  if (IsPlainDecimal(text)) return ado::Decimal{std::move(text)};
  return ado::Value(std::move(text));
}

ado::Value DateFromText(std::string text) {
  if (auto date = ParseDate(text)) return *date;
  return ado::Value(std::move(text));
}

ado::Value TimeFromText(std::string text) {
  if (auto time = ParseTime(text)) return *time;
  return ado::Value(std::move(text));
}

ado::Value DateTimeFromText(std::string text) {
  std::string_view view = text;
  if (view.size() >= 19 && view[10] == ' ') {
    auto date = ParseDate(view.substr(0, 10));
    auto time = ParseTime(view.substr(11));
    if (date && time) return ado::DateTime{*date, *time};
  }
  return ado::Value(std::move(text));
}

ado::Value MoneyFromText(std::string text) {
  std::string_view view = text;
  bool negative = false;
  if (view.size() >= 2 && view.front() == '(' && view.back() == ')') {
    negative = true;
    view = view.substr(1, view.size() - 2);
  }
  // The sign may stand before or after the symbol: "-$1.00", "$-1.00", "-1.00 kr".
  auto take_minus = [&] {
    if (!negative && !view.empty() && view.front() == '-') {
      negative = true;
      view.remove_prefix(1);
    }
  };
  take_minus();
  StripSymbol(view, true);
  take_minus();
  StripSymbol(view, false);
  auto digits = UngroupedNumber(view);
  if (!digits) return ado::Value(std::move(text));
  double value = 0;
  auto [end, error] = std::from_chars(digits->data(), digits->data() + digits->size(), value);
  if (error != std::errc() || end != digits->data() + digits->size()) return ado::Value(std::move(text));
  return negative ? -value : value;
}

}  // namespace odbc
