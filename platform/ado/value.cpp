#include "platform/ado/value.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>

#include "platform/util/digits.h"

namespace ado {

std::string FormatDouble(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
  return std::string(buffer, result.ptr);
}

std::string FormatDate(const Date& d) {
  return fmt::format("{:04d}-{:02d}-{:02d}", d.year, d.month, d.day);
}

static std::string Fraction(uint32_t nanosecond) {
  if (nanosecond == 0) return {};
  std::string digits = fmt::format("{:09d}", nanosecond);
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  return "." + digits;
}

std::string FormatTime(const Time& t) {
  return fmt::format("{:02d}:{:02d}:{:02d}", t.hour, t.minute, t.second) + Fraction(t.nanosecond);
}

std::string FormatDateTime(const DateTime& t) {
  const Time& tm = t.time;
  if (tm.hour == 0 && tm.minute == 0 && tm.second == 0 && tm.nanosecond == 0) return FormatDate(t.date);
  return FormatDate(t.date) + " " + FormatTime(tm);
}

std::string Value::ToText() const {
  struct Visitor {
    std::string operator()(const Null&) const { return {}; }
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(int64_t n) const { return std::to_string(n); }
    std::string operator()(uint64_t n) const { return std::to_string(n); }
    std::string operator()(double d) const { return FormatDouble(d); }
    std::string operator()(const Decimal& d) const { return d.text; }
    std::string operator()(const Date& d) const { return FormatDate(d); }
    std::string operator()(const Time& t) const { return FormatTime(t); }
    std::string operator()(const DateTime& t) const { return FormatDateTime(t); }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(const Binary& b) const {
      std::string out;
      util::AppendHex(b, out);
      return out;
    }
  };
  return std::visit(Visitor{}, v_);
}

}  // namespace ado
