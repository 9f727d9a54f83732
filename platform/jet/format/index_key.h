#pragma once
// Index keys (docs/access-format.md §9.3): for each index column a flag byte
//
//   0x7F ascending, value follows     0x80 descending, value follows
//   0x00 ascending NULL               0xFF descending NULL
//
// then the value, encoded so that keys compare as unsigned bytes in the
// column's order; a descending value is the complement of the ascending one
// (Binary and GUID keep their 0x09 separators; Decimal has rules of its own).
//
//   Yes/No               00 True, FF False; never NULL (NULL is False)
//   Byte                 the byte
//   Integer, Long,       big-endian two's complement, top bit inverted
//   Currency, BigInt
//   Single, Double,      big-endian IEEE; non-negative: top bit inverted;
//   Date/Time            negative: every bit inverted
//   Text, Memo           the General / General-legacy text key (§9.4)
//   Binary               8-byte segments, each followed by 09 when more data
//                        follows; the last one padded with 00 to 8 bytes and
//                        followed by its length (1..8); nothing when empty
//   GUID                 its 16 bytes in text order (Data1..Data3 big-endian),
//                        as Binary
//   Decimal              sign byte and the 16-byte big-endian unscaled value
//                        at the column's scale, with Jet 4's and ACE's rules
//                        (docs/access-format.md §9.3)
//
// Text keys need the column's own collation (never the file header's);
// other column types (OLE, Attachment and other complex columns, Date/Time
// Extended, unknown types) are refused.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/jet/format/index_codes.h"
#include "platform/jet/public/result.h"
#include "platform/jet/public/value.h"

namespace jet::format {

using IndexKey = std::vector<uint8_t>;

// The sort order of a text column's collation (column descriptor +11..+14),
// or nothing for sort orders whose keys we cannot encode.
std::optional<TextSortOrder> SortOrderOfCollation(uint16_t lcid, uint8_t sort_version);

struct KeyColumn {
  const Cell* value = nullptr;
  ColumnType type = ColumnType::kLong;
  bool ascending = true;
  TextSortOrder sort_order = TextSortOrder::kGeneralLegacy;  // text and memo columns
  uint8_t scale = 0;   // decimal columns: the column's scale
  bool jet4 = false;   // decimal columns: a Jet 4 file (.mdb), whose descending keys differ from ACE's
};

// Whether AppendKeyColumn encodes values of `type`.
bool IndexKeySupported(ColumnType type);

// Appends one column's flag byte and encoded value to `key`.
Status AppendKeyColumn(const KeyColumn& column, IndexKey* key);

// The whole key of an index entry, column after column.
Result<IndexKey> EncodeIndexKey(std::span<const KeyColumn> columns);

// The text part of a key (after the flag byte) for UTF-16 code units.
void AppendTextKey(std::u16string_view text, TextSortOrder order, bool ascending, IndexKey* key);

}  // namespace jet::format
