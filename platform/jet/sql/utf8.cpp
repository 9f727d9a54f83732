#include "platform/jet/sql/utf8.h"

#include <cstdint>
#include <cstring>

#include "platform/util/utf8.h"

namespace jet::sql {

std::optional<char32_t> NextCodePoint(std::string_view s, size_t* pos) {
  if (*pos >= s.size()) return std::nullopt;
  // Statements must be valid UTF-8: a replacement character that is not
  // written as one (EF BF BD) marks a broken sequence.
  size_t at = *pos;
  char32_t c = util::DecodeUtf8(s, at);
  if (c == util::kReplacementCharacter && s.substr(*pos, 3) != "\xEF\xBF\xBD") return std::nullopt;
  *pos = at;
  return c;
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
