#include "platform/jet/public/statement.h"

#include <variant>

#include "platform/jet/sql/parser.h"

namespace jet {

std::optional<std::string> SelectAllTable(std::string_view statement) {
  if (sql::IsInsertStatement(statement)) return std::nullopt;
  auto parsed = sql::Parse(statement);
  if (!parsed) return std::nullopt;
  auto* select = std::get_if<sql::Select>(&*parsed);
  if (!select) return std::nullopt;
  return std::move(select->table);
}

Result<std::vector<Literal>> InsertedValues(std::string_view statement) {
  sql::InsertInto insert;
  JET_TRY(sql::ParseInsertInto(statement, insert));
  return std::move(insert.values);
}

}  // namespace jet
