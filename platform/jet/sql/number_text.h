#pragma once
// Numbers as Access reads them from SQL text: an optional sign, digits with at
// most one full stop, an optional exponent (12, -3.5, .5, 1e-3). Conversions to
// the column types are exact on the decimal digits; fractions are rounded to
// the nearest, halves to even.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jet::sql {

// 128-bit integers hold a Decimal's 96-bit magnitude and its rounding.
__extension__ typedef unsigned __int128 Uint128;
__extension__ typedef __int128 Int128;

// value = (negative ? -1 : 1) × digits × 10^exponent
struct DecimalNumber {
  bool negative = false;
  std::string digits;    // without leading zeros; empty for zero
  int64_t exponent = 0;  // clamped far beyond any column's range
};

// Nothing for anything but the form above (no blanks, no NaN, no Infinity).
std::optional<DecimalNumber> ParseDecimalNumber(std::string_view text);

// The value rounded to `scale` decimals, as an unsigned magnitude scaled by
// 10^scale; nothing when the magnitude reaches 10^38.
std::optional<Uint128> ScaledMagnitude(const DecimalNumber& number, int scale);

// Rounded to an integer in [min, max]; nothing when out of range.
std::optional<int64_t> ToInteger(const DecimalNumber& number, int64_t min, int64_t max);

// The nearest double; nothing when beyond its range (a tiny value becomes 0).
std::optional<double> ToDouble(const DecimalNumber& number);

}  // namespace jet::sql
