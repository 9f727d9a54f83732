#include "platform/jet/index_plan.h"

#include "platform/jet/format/ascii_case.h"
#include "platform/jet/format/tdef.h"
#include "platform/jet/sql/names.h"
#include "platform/jet/sql/sql_error.h"

namespace jet {
namespace {

using sql::Shown;
using sql::SqlError;

bool Indexable(ColumnType type) {
  return type != ColumnType::kOle && type != ColumnType::kComplex && type != ColumnType::kUnknown11;
}

}  // namespace

Result<std::vector<table::NewIndex>> PlanIndexes(std::string_view table, std::span<const ColumnSpec> columns,
                                                 std::span<const sql::IndexSpec> specs,
                                                 const ExistingIndexes& existing) {
  std::vector<std::string> names = existing.names;
  bool has_primary = existing.has_primary_key;
  auto taken = [&](std::string_view name) {
    for (const auto& n : names)
      if (format::EqualNoCase(n, name)) return true;
    return false;
  };
  std::vector<table::NewIndex> out;
  for (const sql::IndexSpec& spec : specs) {
    table::NewIndex index;
    index.primary = spec.primary;
    if (spec.primary) {
      if (has_primary) return SqlError(ErrorCode::kAlreadyExists, "Primary key already exists.");
      has_primary = true;
      index.flags = format::kIndexUnique | format::kIndexRequired;
    }
    if (spec.unique) index.flags |= format::kIndexUnique;
    if (spec.disallow_null) index.flags |= format::kIndexRequired;
    if (spec.ignore_null) index.flags |= format::kIndexIgnoreNulls;
    if (spec.columns.size() > kMaxIndexColumns)
      return SqlError(ErrorCode::kTooLarge, "An index has at most {} fields; the index on table {} has {}.",
                      kMaxIndexColumns, Shown(table), spec.columns.size());
    for (const auto& wanted : spec.columns) {
      size_t k = 0;
      while (k < columns.size() && !sql::SameName(columns[k].name, wanted.name)) ++k;
      if (k == columns.size())
        return SqlError(ErrorCode::kNotFound, "Invalid field definition {} in definition of index or relationship.",
                        Shown(wanted.name));
      if (!Indexable(columns[k].type))
        return SqlError(ErrorCode::kNotSupported,
                        "Column {} of table {} cannot be indexed: OLE Object and Attachment fields have no index.",
                        Shown(columns[k].name), Shown(table));
      for (const auto& c : index.columns)
        if (c.column_number == k)
          return SqlError(ErrorCode::kInvalidValue, "Column {} appears twice in the index on table {}.",
                          Shown(columns[k].name), Shown(table));
      index.columns.push_back(format::IndexColumn{static_cast<uint16_t>(k), wanted.ascending});
    }
    // Unnamed: the primary key is "PrimaryKey", as Access names it; any
    // other takes its first column's name, numbered when that is taken.
    index.name = spec.name;
    if (index.name.empty()) {
      const std::string base = spec.primary ? "PrimaryKey" : columns[index.columns.front().column_number].name;
      index.name = base;
      for (int n = 1; taken(index.name); ++n) index.name = base + std::to_string(n);
    } else if (taken(index.name)) {
      return SqlError(ErrorCode::kAlreadyExists, "Index already exists.");
    }
    names.push_back(index.name);
    out.push_back(std::move(index));
  }
  if (names.size() > kMaxIndexesPerTable) return TooManyIndexes(table);
  return out;
}

Error TooManyIndexes(std::string_view table) {
  return SqlError(ErrorCode::kTooLarge,
                  "The operation failed. There are too many indexes on table {}. Delete some of the indexes on the "
                  "table and try the operation again.",
                  Shown(table));
}

}  // namespace jet
