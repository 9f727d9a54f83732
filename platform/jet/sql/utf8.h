#pragma once
// The little UTF-8 the SQL layer needs: validity and lengths in UTF-16 code
// units, which is how Access counts the characters of names and Text columns.

#include <cstddef>
#include <optional>
#include <string_view>

namespace jet::sql {

// UTF-16 code units of a valid UTF-8 text (a character beyond the Basic
// Multilingual Plane counts two), or nothing for invalid UTF-8 (overlong forms,
// surrogates, truncated sequences, values above U+10FFFF).
std::optional<size_t> Utf16Length(std::string_view utf8);

// Decodes one character at `*pos`, advancing it; nothing on invalid input.
std::optional<char32_t> NextCodePoint(std::string_view utf8, size_t* pos);

}  // namespace jet::sql
