#pragma once
// Rows on data pages (docs/access-format.md §5.1), Jet 4 / ACE:
//
//   +0     uint16 column count C (the table's max column count when written)
//   +2     fixed area: each fixed column at 2 + its fixed offset, full width
//          variable data, in variable-index order, back to back
//   E      uint16 end of variable data, then var_offset[n-1] .. var_offset[0]
//          uint16 n (variable-column count)                (absent when the
//          null mask: (C + 7) / 8 bytes, bit k = column k   table has none)
//
// A mask bit of 1 means NOT NULL; a Boolean's value is its mask bit. Columns
// numbered at or beyond C, and variable columns beyond n, read as NULL.

#include <cstdint>
#include <span>
#include <vector>

#include "platform/jet/format/bytes.h"
#include "platform/jet/format/tdef.h"
#include "platform/jet/public/result.h"

namespace jet::format {

// One column of a decoded row: where its bytes are, before any conversion.
struct RawField {
  bool null = true;
  bool boolean = false;  // the value of a Boolean column
  ConstBytes data;       // fixed or variable bytes (empty for NULL and Boolean)
};

// Splits `row` into its columns (`columns` sorted by number, as in the
// definition); `table_var_columns` is the definition's variable-column count.
// `where` names the row in messages.
Status DecodeRow(ConstBytes row, std::span<const ColumnDef> columns, uint16_t table_var_columns,
                 std::vector<RawField>& out, const char* where = "a row");

// The byte image of a row, the inverse of DecodeRow: `fields` in the order of
// `columns`; fixed data must be exactly the column's length.
std::vector<std::byte> EncodeRow(std::span<const ColumnDef> columns, uint16_t max_columns,
                                 std::span<const RawField> fields);

}  // namespace jet::format
