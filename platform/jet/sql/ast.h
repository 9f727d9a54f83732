#pragma once
// The statements the Access engine executes, as the parser hands them to the
// executor. Names are UTF-8 exactly as written (quotes and brackets removed);
// literals keep their text so that each is converted only once its column's
// type is known (literal.h).

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/jet/public/statement.h"
#include "platform/jet/public/value.h"

namespace jet::sql {

using jet::Literal;  // public/statement.h

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
