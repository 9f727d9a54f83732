#pragma once
// Jet SQL type words with their ANSI-92 meanings, e.g. VARCHAR = Text(255),
// TEXT = Memo, TEXT(n) = Text(n), INT = Long Integer, FLOAT = Double,
// DECIMAL = Decimal(18,0), COUNTER = AutoNumber Long Integer.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/jet/public/result.h"
#include "platform/jet/public/value.h"

namespace jet::sql {

// True when `phrase` (words in any case, separated by one space) is a type
// name or the start of one, such as "DOUBLE" of "DOUBLE PRECISION".
bool IsTypePhrasePrefix(std::string_view phrase);

// Sets the type fields of `column` (type, max_chars, precision, scale,
// auto_number) from the type phrase and its parenthesised arguments, if any.
// Unknown types and arguments a type does not take, or out of range, fail.
Status ApplyColumnType(std::string_view phrase, const std::optional<std::vector<int64_t>>& args,
                       ColumnSpec* column);

}  // namespace jet::sql
