#pragma once
// Cells into the bytes a row stores (docs/access-format.md §5.3), checked
// against the column: the value's kind, a text's length in UTF-16 units, the
// range of numbers, a decimal's precision. Failures are kInvalidValue with a
// message naming the column, e.g. "the value 300 does not fit column Age
// (Byte: 0 to 255)".

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/jet/format/bytes.h"
#include "platform/jet/format/tdef.h"
#include "platform/jet/public/result.h"
#include "platform/jet/public/value.h"

namespace jet::table {

// The Yes/No value of a cell for a Boolean column (Null is No).
Result<bool> BooleanCell(const format::ColumnDef& column, const Cell& cell);

// Writes a non-Null cell of a fixed column into `out` (exactly column.length bytes).
Status EncodeFixedCell(const format::ColumnDef& column, const Cell& cell, format::MutableBytes out);

// Appends the stored bytes of a non-Null cell of a variable column: Text as
// UTF-16LE or compressed, Binary as is, and the data of Memo (text) and OLE
// (bytes) values (the caller wraps those into long values).
Status AppendVariableCell(const format::ColumnDef& column, const Cell& cell, std::vector<std::byte>& out);

// Appends a text in its stored form: compressed when `compress` and every
// character lies in U+0001..U+00FF and that is shorter, else UTF-16LE
// (surrogate pairs outside the Basic Multilingual Plane). A leading U+FEFF is
// stored behind an empty compressed run so it is not read as the marker.
// Returns the length in UTF-16 units.
size_t AppendStoredText(std::string_view utf8, bool compress, std::vector<std::byte>& out);

// How a value appears in messages: quoted text cut at 40 characters, numbers as written.
std::string DescribeCell(const Cell& cell);

}  // namespace jet::table
