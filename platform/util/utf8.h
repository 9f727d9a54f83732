#pragma once
// UTF-8 encoding and decoding. Bad input never fails: a sequence that is not
// UTF-8 (a stray or missing continuation byte, an overlong form, a surrogate,
// a value past U+10FFFF) decodes to U+FFFD.

#include <cstddef>
#include <string>
#include <string_view>

namespace util {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Appends the UTF-8 form of `c` (at most U+10FFFF) to `out`.
void AppendUtf8(char32_t c, std::string& out);

// Decodes the sequence at text[pos] (pos < text.size()) and advances pos past
// it. A sequence broken by a missing continuation byte resumes at that byte,
// so the text that follows is not lost.
char32_t DecodeUtf8(std::string_view text, size_t& pos);

}  // namespace util
