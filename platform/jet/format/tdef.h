#pragma once
// Table definitions (docs/access-format.md §6), parsed from the logical
// definition buffer: page 1 whole, then bytes 8.. of each continuation page.
//
//   0x00 1  0x02          0x10 4  row count           0x2D 2  column count
//   0x02 2  free space    0x14 4  last autonumber     0x2F 4  logical index count
//   0x04 4  next page     0x28 1  'N' user/'S' system 0x33 4  real index count
//   0x08 4  tdef_len      0x29 2  max column count    0x37 4  owned-pages map (row pointer)
//                         0x2B 2  variable columns    0x3B 4  free-space map (row pointer)
//   0x3F 12 x R real-index row-count blocks (+4: unique entries)
//   then 25-byte column descriptors, column names (uint16 length + UTF-16LE),
//   52-byte real indexes, 28-byte logical indexes, logical index names, and
//   10-byte column usage-map entries up to the FF FF terminator.
//
//   column descriptor: +0 type, +5 number, +7 variable index, +11 collation
//   (text) or precision/scale (decimal), +15 flags (0x01 fixed), +16 extended
//   flags (0x01 compressed Unicode), +21 fixed offset, +23 length

#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/format/bytes.h"
#include "platform/jet/public/column.h"
#include "platform/jet/public/result.h"
#include "platform/jet/public/value.h"

namespace jet::format {

inline constexpr size_t kTdefNextPageOffset = 0x04;
inline constexpr size_t kTdefLengthOffset = 0x08;
inline constexpr size_t kTdefRowCountOffset = 0x10;
inline constexpr size_t kTdefAutonumberOffset = 0x14;
inline constexpr size_t kTdefFixedPartSize = 0x3F;
inline constexpr size_t kColumnDescriptorSize = 25;
inline constexpr size_t kRealIndexSize = 52;
inline constexpr size_t kLogicalIndexSize = 28;
inline constexpr size_t kTdefContinuationHeader = 8;
inline constexpr uint8_t kTableTypeUser = 0x4E;
inline constexpr uint8_t kTableTypeSystem = 0x53;

using jet::ColumnDef;
using jet::kColumnAutoGuid;
using jet::kColumnAutoLong;
using jet::kColumnCompressedUnicode;
using jet::kColumnFixed;
using jet::kColumnHyperlink;
using jet::AccessTypeName;
using jet::SqlTypeName;


struct IndexColumn {
  uint16_t column_number = 0;
  bool ascending = true;
};

struct RealIndex {
  std::vector<IndexColumn> columns;
  RowPointer usage_map;
  uint32_t root_page = 0;
  uint8_t flags = 0;  // 0x01 unique, 0x02 ignore nulls, 0x08 required
  uint32_t unique_entries = 0;
};

// Real index flags (+46). Access sets 0x80 on every index it makes.
inline constexpr uint8_t kIndexUnique = 0x01;
inline constexpr uint8_t kIndexIgnoreNulls = 0x02;
inline constexpr uint8_t kIndexRequired = 0x08;
inline constexpr uint8_t kIndexAccessMade = 0x80;
// Logical index kinds (+23).
inline constexpr uint8_t kLogicalIndexPlain = 0;
inline constexpr uint8_t kLogicalIndexPrimaryKey = 1;
inline constexpr uint8_t kLogicalIndexRelationship = 2;
// A relationship index's side (+12).
inline constexpr uint8_t kRelationshipReferenced = 1;  // the table whose key is referenced
inline constexpr uint8_t kRelationshipForeignKey = 2;  // the table holding the foreign key
// Its actions (+21 on update, +22 on delete); other indexes hold 04 there.
inline constexpr uint8_t kRelationshipNoAction = 0;
inline constexpr uint8_t kRelationshipCascade = 1;
inline constexpr uint8_t kRelationshipSetNull = 2;

struct LogicalIndex {
  uint32_t number = 0;
  uint32_t real_index = 0;
  uint8_t kind = 0;  // 1 primary key, 2 relationship
  std::string name;
  // Relationship indexes only: which side this table is, the other side's
  // logical index number and definition page, the actions.
  uint8_t side = 0;
  uint32_t other_index = 0xFFFFFFFF;
  uint32_t other_tdef = 0;
  uint8_t on_update = 0;
  uint8_t on_delete = 0;
};

struct ColumnMaps {
  uint16_t column_number = 0;
  RowPointer owned;
  RowPointer free;
};

struct TableDefinition {
  uint32_t length = 0;  // tdef_len
  uint32_t row_count = 0;
  uint32_t autonumber = 0;
  uint8_t table_type = kTableTypeUser;
  uint16_t max_columns = 0;
  uint16_t var_columns = 0;
  RowPointer owned_pages;
  RowPointer free_pages;
  std::vector<ColumnDef> columns;  // sorted by column number
  std::vector<RealIndex> real_indexes;
  std::vector<LogicalIndex> logical_indexes;
  std::vector<ColumnMaps> column_maps;
};

// Parses a whole logical definition buffer; `page` names the table in messages.
Result<TableDefinition> ParseTableDefinition(ConstBytes buffer, uint32_t page);


}  // namespace jet::format
