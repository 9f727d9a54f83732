#pragma once
// Message texts use CR LF and bare CR line breaks (the error report puts two
// bare CRs before its last line); displays want LF, or the empty lines vanish.

#include <string>
#include <string_view>

namespace ui {

std::string WithLineFeeds(std::string_view text);

}  // namespace ui
