#pragma once
// Text values (docs/access-format.md §5.2). Jet 4 and ACE store text as UTF-16LE, or,
// in columns that allow it, in the "compressed Unicode" form:
//
//   FF FE            marker
//   bytes            compressed mode: one byte per character U+0001..U+00FF
//   00               toggles between compressed and UTF-16LE mode
//
// Names in table definitions and the catalogue are always plain UTF-16LE.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/format/bytes.h"

namespace jet::format {

// UTF-16LE bytes to UTF-8; unpaired surrogates and a dangling odd byte become U+FFFD.
std::string Utf16LeToUtf8(ConstBytes utf16le);

// A stored text value (compressed or not) to UTF-8.
std::string DecodeText(ConstBytes stored);

// UTF-8 to UTF-16 code units; invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// UTF-8 to the stored form: compressed when `allow_compression` and every
// character lies in U+0001..U+00FF and that is shorter, UTF-16LE otherwise.
std::vector<std::byte> EncodeText(std::string_view utf8, bool allow_compression);

// Number of UTF-16 code units of a UTF-8 text (what Access counts as its length).
size_t Utf16Length(std::string_view utf8);

}  // namespace jet::format
