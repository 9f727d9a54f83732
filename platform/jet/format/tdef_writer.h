#pragma once
// Writing the definition of a new table (docs/access-format.md §6.6):
// columns laid out as Access stores them, the logical definition buffer, and
// that buffer cut into a first page and continuation pages.
//
//   logical buffer  fixed part (0x3F bytes), 12 bytes per real index, N column
//                   descriptors, N names, the real indexes, the logical indexes
//                   and their names, one 10-byte map entry per Memo/OLE
//                   column, FF FF
//   first page      buffer[0 .. 4096); +2 free space, +4 next page
//   continuation    02 01 [free:2] [next:4], then the next 4088 buffer bytes
//
// Fixed columns are packed in column order (Yes/No columns live in the null
// mask and take no bytes); variable columns get variable-table indexes 0, 1,
// 2, ... in column order. Text and Memo carry the collation the caller chose
// (the file's default sort order) and allow compressed Unicode.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/jet/format/bytes.h"
#include "platform/jet/format/tdef.h"
#include "platform/jet/public/result.h"
#include "platform/jet/public/value.h"

namespace jet::format {

inline constexpr uint32_t kTdefMagic = 1625;  // TDEF+12 and every column descriptor's +1
inline constexpr size_t kMaxColumns = 255;

// The collation new text columns get: LCID and sort version (1033/0 General
// legacy, 1033/1 General).
struct Collation {
  uint16_t lcid = 1033;
  uint8_t version = 0;
};

// Column definitions for `specs`, numbered 0..N-1 in order. Refuses (kInvalidValue,
// with a plain description) more than 255 columns and a fixed area wider than a
// row may be. Names are taken as they are (the SQL layer checks them).
Result<std::vector<ColumnDef>> LayOutColumns(std::span<const ColumnSpec> specs, Collation collation);

// What a new table's definition holds besides its columns.
struct NewTableDefinition {
  std::vector<ColumnDef> columns;  // from LayOutColumns
  RowPointer owned_pages;
  RowPointer free_pages;
  std::vector<ColumnMaps> column_maps;  // one per Memo/OLE column, in column order
  std::vector<RealIndex> real_indexes;        // the B-trees, in the order they were made
  std::vector<LogicalIndex> logical_indexes;  // the indexes Access shows, sorted by name
};

// The columns that keep long-value maps of their own (Memo and OLE), in order.
std::vector<uint16_t> LongValueColumns(std::span<const ColumnDef> columns);

// Length of the logical buffer for these columns (each with its map entry), without indexes.
size_t DefinitionLength(std::span<const ColumnDef> columns);
// Pages a logical buffer of `length` bytes occupies.
size_t DefinitionPageCount(size_t length);

// The logical definition buffer; next page and free space are left 0 (set per page).
std::vector<std::byte> EncodeTableDefinition(const NewTableDefinition& definition);

// The page images of a logical buffer stored on `pages` (first page, then
// continuations); requires pages.size() == DefinitionPageCount(buffer.size()).
std::vector<std::vector<std::byte>> PaginateDefinition(ConstBytes buffer, std::span<const uint32_t> pages);

// A name as a table definition stores it: its length in bytes (2 bytes),
// then UTF-16LE.
void AppendTdefName(std::vector<std::byte>& out, const std::string& name);

}  // namespace jet::format
