#include "platform/jet/sql/utf8.h"

#include <cstdint>
#include <cstring>

namespace jet::sql {

std::optional<char32_t> NextCodePoint(std::string_view s, size_t* pos) {
  size_t i = *pos;
  if (i >= s.size()) return std::nullopt;
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    *pos = i + 1;
    return b0;
  }
  int extra;
  char32_t cp;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, cp = b0 & 0x07, min = 0x10000;
  } else {
    return std::nullopt;
  }
  if (s.size() - i <= static_cast<size_t>(extra)) return std::nullopt;
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  *pos = i + 1 + extra;
  return cp;
}

std::optional<size_t> Utf16Length(std::string_view s) {
  size_t units = 0;
  size_t pos = 0;
  while (pos < s.size()) {
    // Eight ASCII bytes at a time.
    while (pos + 8 <= s.size()) {
      uint64_t word;
      std::memcpy(&word, s.data() + pos, 8);
      if (word & 0x8080808080808080ULL) break;
      pos += 8, units += 8;
    }
    if (pos >= s.size()) break;
    if (static_cast<unsigned char>(s[pos]) < 0x80) {  // fast path for ASCII
      ++pos, ++units;
      continue;
    }
    auto cp = NextCodePoint(s, &pos);
    if (!cp) return std::nullopt;
    units += *cp >= 0x10000 ? 2 : 1;
  }
  return units;
}

}  // namespace jet::sql
