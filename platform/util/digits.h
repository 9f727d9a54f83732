#pragma once
// Decimal and hexadecimal digits.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace util {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of exactly `count` decimal digits at text[pos]; nothing when the
// text is shorter or any of them is not a digit.
constexpr std::optional<int> FixedDigits(std::string_view text, size_t pos, size_t count) {
  if (pos > text.size() || count > text.size() - pos) return std::nullopt;
  int value = 0;
  for (size_t i = pos; i < pos + count; ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// The value of a hexadecimal digit (either case), or -1 for any other character.
constexpr int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Appends two upper-case hexadecimal digits per byte ("0A1F").
inline void AppendHex(std::span<const uint8_t> bytes, std::string& out) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out.reserve(out.size() + bytes.size() * 2);
  for (uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
}

}  // namespace util
