#include "platform/jet/sql/number_text.h"

#include <charconv>
#include <cmath>

namespace jet::sql {
namespace {

constexpr int64_t kExponentLimit = 1'000'000;  // far beyond every type's range
constexpr size_t kMaxDigits = 38;              // 10^38 < 2^128

}  // namespace

std::optional<DecimalNumber> ParseDecimalNumber(std::string_view text) {
  DecimalNumber n;
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) n.negative = text[i++] == '-';
  bool any_digit = false;
  bool seen_point = false;
  int64_t fraction_digits = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      any_digit = true;
      if (!(n.digits.empty() && c == '0')) n.digits += c;
      if (seen_point) ++fraction_digits;
    } else if (c == '.' && !seen_point) {
      seen_point = true;
    } else {
      break;
    }
  }
  if (!any_digit) return std::nullopt;
  int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative_exponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative_exponent = text[i++] == '-';
    if (i >= text.size()) return std::nullopt;
    for (; i < text.size(); ++i) {
      if (text[i] < '0' || text[i] > '9') return std::nullopt;
      if (exponent < kExponentLimit) exponent = exponent * 10 + (text[i] - '0');
    }
    if (negative_exponent) exponent = -exponent;
  }
  if (i != text.size()) return std::nullopt;
  // Digits counted after the point belong to the fraction even if they were
  // leading zeros dropped from `digits` (0.05 = 5 × 10^-2).
  n.exponent = exponent - fraction_digits;
  if (n.digits.empty()) {
    n.exponent = 0;
    n.negative = false;
  }
  return n;
}

std::optional<Uint128> ScaledMagnitude(const DecimalNumber& number, int scale) {
  const std::string& d = number.digits;
  const int64_t shift = number.exponent + scale;  // scaled value = digits × 10^shift
  Uint128 value = 0;
  if (shift >= 0) {
    if (d.empty()) return value;
    if (static_cast<int64_t>(d.size()) + shift > static_cast<int64_t>(kMaxDigits)) return std::nullopt;
    for (char c : d) value = value * 10 + static_cast<unsigned>(c - '0');
    for (int64_t k = 0; k < shift; ++k) value *= 10;
    return value;
  }
  const int64_t cut = -shift;  // digits that fall below the unit
  const int64_t keep = static_cast<int64_t>(d.size()) - cut;
  if (keep > static_cast<int64_t>(kMaxDigits)) return std::nullopt;
  for (int64_t k = 0; k < keep; ++k) value = value * 10 + static_cast<unsigned>(d[k] - '0');
  // Round half to even on the first cut digit and whether any later one is non-zero.
  if (keep >= 0 && keep < static_cast<int64_t>(d.size())) {
    const char first = d[keep];
    bool rest_nonzero = false;
    for (size_t k = keep + 1; k < d.size(); ++k) rest_nonzero |= d[k] != '0';
    const bool up = first > '5' || (first == '5' && (rest_nonzero || (value & 1)));
    if (up) ++value;
  }
  if (value >= [] {
        Uint128 limit = 1;
        for (size_t k = 0; k < kMaxDigits; ++k) limit *= 10;
        return limit;
      }()) {
    return std::nullopt;
  }
  return value;
}

std::optional<int64_t> ToInteger(const DecimalNumber& number, int64_t min, int64_t max) {
  auto magnitude = ScaledMagnitude(number, 0);
  if (!magnitude) return std::nullopt;
  if (number.negative) {
    if (*magnitude > static_cast<Uint128>(-(static_cast<Int128>(min)))) return std::nullopt;
    return static_cast<int64_t>(-static_cast<Int128>(*magnitude));
  }
  if (*magnitude > static_cast<Uint128>(max)) return std::nullopt;
  return static_cast<int64_t>(*magnitude);
}

std::optional<double> ToDouble(const DecimalNumber& number) {
  if (number.digits.empty()) return 0.0;
  // Where the first digit stands: 10^magnitude_exponent.
  const int64_t magnitude_exponent = number.exponent + static_cast<int64_t>(number.digits.size()) - 1;
  if (magnitude_exponent > 400) return std::nullopt;
  if (magnitude_exponent < -400) return number.negative ? -0.0 : 0.0;
  std::string text = number.digits + "e" + std::to_string(number.exponent);
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    if (magnitude_exponent < 0) return number.negative ? -0.0 : 0.0;
    return std::nullopt;
  }
  if (ec != std::errc() || !std::isfinite(value)) return std::nullopt;
  return number.negative ? -value : value;
}

}  // namespace jet::sql
