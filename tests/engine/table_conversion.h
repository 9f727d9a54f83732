#pragma once
// Runs the two builders over a whole record set the way the conversion run
// does: the table definition, then one row statement per row (none when the
// table has no column to declare).

#include <string>
#include <string_view>
#include <vector>

#include "engine/conversion_log.h"
#include "engine/row_statement.h"
#include "engine/table_definition.h"

namespace testing_support {

struct ConvertedTable {
  engine::TableDefinition definition;
  std::vector<std::string> rows;
};

inline ConvertedTable ConvertTable(std::string_view name, ado::Recordset& recordset, engine::ConversionLog& log,
                                   report::Trap& trap) {
  ConvertedTable out;
  out.definition = engine::BuildTableDefinition(name, recordset, log, trap);
  if (out.definition.statement.empty()) return out;
  engine::RowStatementBuilder builder(name, engine::NumericPositions::Split(out.definition.numeric_positions),
                                      trap);
  for (; !recordset.Eof(); recordset.MoveNext()) out.rows.push_back(builder.Build(recordset));
  return out;
}

}  // namespace testing_support
