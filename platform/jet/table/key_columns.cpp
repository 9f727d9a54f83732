#include "platform/jet/table/key_columns.h"

#include <fmt/format.h>

#include "platform/jet/format/header.h"

namespace jet::table {

Result<format::KeyColumn> KeyColumnOf(PageStore& store, const format::ColumnDef& column, bool ascending) {
  format::KeyColumn key;
  key.type = column.type();
  key.ascending = ascending;
  if (key.type == ColumnType::kText || key.type == ColumnType::kMemo) {
    auto order = format::SortOrderOfCollation(column.collation, column.sort_version);
    if (!order)
      return MakeError(ErrorCode::kNotSupported,
                       fmt::format("column {} is indexed with sort order {} (version {}), whose index keys cannot be "
                                   "written",
                                   column.name, column.collation, column.sort_version));
    key.sort_order = *order;
  } else if (key.type == ColumnType::kNumeric) {
    JET_ASSIGN_OR_RETURN(header, store.Read(0));
    key.scale = column.scale;
    key.jet4 = format::IsJetHeaderPage(header);
  }
  return key;
}

}  // namespace jet::table
