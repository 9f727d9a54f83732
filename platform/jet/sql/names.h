#pragma once
// Access' rules for table and column names: 1 to 64 characters; no ".", "!",
// "`", "[" or "]"; no leading space; no control characters. Names are UTF-8.

#include <string_view>

#include "platform/jet/public/result.h"

namespace jet::sql {

// `what` says which name it is in the message, e.g. "table" or "column".
Status CheckName(std::string_view name, std::string_view what);

// Access compares names without regard to case (ASCII and the common Latin,
// Greek and Cyrillic letters); true when the two names denote the same object.
bool SameName(std::string_view a, std::string_view b);

}  // namespace jet::sql
