#pragma once
// What callers need of the engine's SQL without reaching into its parser: the
// prefix every refused statement's message starts with, the table a
// SELECT * FROM reads, and the values an INSERT INTO writes, as written.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/public/result.h"

namespace jet {

// Every refused statement's message starts with it (the SQL Preview shows and copies it).
inline constexpr std::string_view kSqlExceptionPrefix = "SQLException: ";

// A literal as written in a statement; it becomes a value once its column's type is known.
struct Literal {
  enum class Kind {
    kNull,     // NULL
    kNumber,   // 12, -3.5, 1e10, .5; `text` holds sign and digits as written.
               // NaN / Infinity written bare also land here and are refused on conversion.
    kString,   // 'text' with '' turned into '; `text` is the UTF-8 content
    kBoolean,  // True/False/Yes/No/On/Off; `text` is "True" or "False"
    kDate,     // #...#; `text` is what stands between the hashes
    kBinary,   // 0x0A1B; `text` holds the hexadecimal digits after 0x
  };
  Kind kind = Kind::kNull;
  std::string text;
  bool operator==(const Literal&) const = default;
};

// The table of a SELECT * FROM statement; nothing for any other text (an
// INSERT INTO is recognised by its first word and never parsed).
std::optional<std::string> SelectAllTable(std::string_view statement);

// The values of one INSERT INTO ... VALUES statement, in order; the parser's
// refusal for anything else.
Result<std::vector<Literal>> InsertedValues(std::string_view statement);

}  // namespace jet
