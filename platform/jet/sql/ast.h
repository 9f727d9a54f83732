#pragma once
// The statements the Access engine executes, as the parser hands them to the
// executor. Names are UTF-8 exactly as written (quotes and brackets removed);
// literals keep their text so that each is converted only once its column's
// type is known (literal.h).

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/jet/value.h"

namespace jet::sql {

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

struct CreateTable {
  std::string table;
  std::vector<ColumnSpec> columns;  // in declaration order, names unique without regard to case
};

struct InsertInto {
  std::string table;
  std::optional<std::vector<std::string>> columns;  // absent: every column in table order
  std::vector<Literal> values;                      // as many as `columns` when present
  // The statement text up to the first value, when this buffer parsed it: a
  // next statement that begins with the same text has the same table and
  // columns, and only its values need reading.
  std::string head;
};

struct DropTable {
  std::string table;
};

// SELECT * FROM t: all rows, all columns.
struct Select {
  std::string table;
};

using Statement = std::variant<CreateTable, InsertInto, DropTable, Select>;

}  // namespace jet::sql
