#pragma once
// The definition of a table with indexes (docs/access-format.md §6.1-6.3), as the
// Jet engine lays out its own system tables: the fixed part with one
// unique-entry block per real index, the column descriptors and names in the
// order given (the engine sorts system columns by name), the real indexes,
// the logical indexes and their names (sorted by name by the caller), the
// memo/OLE column maps and FF FF. The result is the logical buffer with
// tdef_len set; PaginateDefinition (tdef_writer.h) cuts it into pages.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/jet/format/bytes.h"
#include "platform/jet/format/tdef.h"

namespace jet::format {

inline constexpr uint32_t kRealIndexMagic = 1923;
inline constexpr size_t kMaxRealIndexColumns = 10;

// The ACE engine's way with the descriptor bytes a column does not use: it
// leaves +9 zero and gives every column the database's sort order (a
// Decimal column its version at +14).
struct AceDescriptorFill {
  uint16_t collation = 1033;
  uint8_t sort_version = 0;
};

// A real index (52 bytes) and a logical index (28 bytes) as Access writes them.
void PutRealIndex(MutableBytes out52, const RealIndex& index);
void PutLogicalIndex(MutableBytes out28, const LogicalIndex& index);

// `definition.columns` in descriptor order; text and memo columns carry their
// collation. Without `ace`, other columns get `definition`'s first text
// collation as the Jet 4 writer leaves it there (0 when none) and +9 repeats
// the column number. Row count, autonumber, table type, maps and unique-entry
// counts are taken from `definition`.
std::vector<std::byte> EncodeIndexedTableDefinition(const TableDefinition& definition,
                                                    std::optional<AceDescriptorFill> ace = std::nullopt);

}  // namespace jet::format
