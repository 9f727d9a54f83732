#pragma once
// Text rules of the preview windows.

#include <optional>
#include <string>
#include <string_view>

namespace preview {

// True when the text is empty once leading and trailing spaces are removed
// (spaces only: a TAB or a line break is text).
bool IsBlank(std::string_view text);

// The text with its first occurrence of `search` (compared without regard to
// letter case) replaced by `replacement` as typed; nothing when `search` is
// empty or does not occur.
std::optional<std::string> ReplaceFirstOccurrence(std::string_view text, std::string_view search,
                                                  std::string_view replacement);

}  // namespace preview
