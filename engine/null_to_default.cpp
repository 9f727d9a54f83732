#include "engine/null_to_default.h"

#include <charconv>
#include <cmath>

namespace engine {
namespace {

void AppendNumber(auto n, std::string& out) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
  out.append(buffer, result.ptr);
}

// As fmt's "{:0Nd}": the sign counts towards the width.
void AppendPadded(int value, int width, std::string& out) {
  long long magnitude = value;
  if (magnitude < 0) {
    out.push_back('-');
    magnitude = -magnitude;
    --width;
  }
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude);
  for (int n = static_cast<int>(result.ptr - buffer); n < width; ++n) out.push_back('0');
  out.append(buffer, result.ptr);
}

void AppendDate(const ado::Date& d, std::string& out) {
  AppendPadded(d.year, 4, out);
  out.push_back('-');
  AppendPadded(d.month, 2, out);
  out.push_back('-');
  AppendPadded(d.day, 2, out);
}

void AppendTime(const ado::Time& t, std::string& out) {
  AppendPadded(t.hour, 2, out);
  out.push_back(':');
  AppendPadded(t.minute, 2, out);
  out.push_back(':');
  AppendPadded(t.second, 2, out);
  if (t.nanosecond == 0) return;
  char digits[9];
  uint32_t n = t.nanosecond;
  for (int i = 8; i >= 0; --i, n /= 10) digits[i] = static_cast<char>('0' + n % 10);
  int length = 9;
  while (length > 0 && digits[length - 1] == '0') --length;
  out.push_back('.');
  out.append(digits, length);
}

}  // namespace

std::string NullToDefault(const ado::Value& value, std::string_view default_text) {
  if (value.IsNull()) return std::string(default_text);
  return value.ToText();
}

// Mirrors ado::Value::ToText for the kinds that occur in bulk; the rest go
// through ToText itself.
std::string_view NullToDefault(const ado::Value& value, std::string_view default_text, std::string& scratch) {
  const auto& v = value.Get();
  if (std::holds_alternative<ado::Null>(v)) return default_text;
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* d = std::get_if<ado::Decimal>(&v)) return d->text;
  if (auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  scratch.clear();
  if (auto* n = std::get_if<int64_t>(&v)) {
    AppendNumber(*n, scratch);
  } else if (auto* u = std::get_if<uint64_t>(&v)) {
    AppendNumber(*u, scratch);
  } else if (auto* f = std::get_if<double>(&v)) {
    if (std::isnan(*f)) return "NaN";
    if (std::isinf(*f)) return *f > 0 ? "Infinity" : "-Infinity";
    AppendNumber(*f, scratch);
  } else if (auto* date = std::get_if<ado::Date>(&v)) {
    AppendDate(*date, scratch);
  } else if (auto* dt = std::get_if<ado::DateTime>(&v)) {
    AppendDate(dt->date, scratch);
    const ado::Time& t = dt->time;
    if (t.hour != 0 || t.minute != 0 || t.second != 0 || t.nanosecond != 0) {
      scratch.push_back(' ');
      AppendTime(t, scratch);
    }
  } else if (auto* t = std::get_if<ado::Time>(&v)) {
    AppendTime(*t, scratch);
  } else {
    scratch = value.ToText();
  }
  return scratch;
}

}  // namespace engine
