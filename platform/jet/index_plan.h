#pragma once
// The indexes a statement declares (PRIMARY KEY, UNIQUE, CREATE INDEX),
// checked as Access checks them and turned into what the table definition
// stores: columns by number, flags, names.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/public/result.h"
#include "platform/jet/public/value.h"
#include "platform/jet/sql/ast.h"
#include "platform/jet/table/create_table.h"

namespace jet {

inline constexpr size_t kMaxIndexesPerTable = 32;
inline constexpr size_t kMaxIndexColumns = 10;

// What the table has already, for CREATE INDEX.
struct ExistingIndexes {
  std::vector<std::string> names;
  bool has_primary_key = false;
};

// Access's refusal of a 33rd index on `table` (error 3626).
Error TooManyIndexes(std::string_view table);

// `columns` in column-number order. Refusals carry Access's own messages
// where Access has one (a second primary key, a name taken, too many indexes).
Result<std::vector<table::NewIndex>> PlanIndexes(std::string_view table, std::span<const ColumnSpec> columns,
                                                 std::span<const sql::IndexSpec> specs,
                                                 const ExistingIndexes& existing = {});

}  // namespace jet
