#pragma once
// Index pages (docs/access-format.md §9.1-9.2), Jet 4 / ACE, 4096-byte pages.
//
//   0x00  1    0x04 leaf / 0x03 node       0x14  4    tail child (nodes; 0 on leaves)
//   0x01  1    0x01                        0x18  2    shared prefix length P
//   0x02  2    free space = 3616 - data    0x1A  1    0
//   0x04  4    TDEF page of the table      0x1B  453  entry mask: bit p set where an
//   0x08  4    0                                      entry ends, p counting stored bytes
//   0x0C  4    previous page at this level 0x1E0 ...  entry data, back to back
//   0x10  4    next page at this level
//
// Leaf entry: key ‖ data page (3 bytes, big-endian) ‖ data row (1 byte).
// Node entry: the largest entry of the child's subtree (key ‖ page ‖ row) ‖
// child page (4 bytes, big-endian). A node with several children keeps the
// last one in the tail field instead of an entry. Every entry after the first
// omits the P bytes it shares with the first; as Access does, P is 0 unless
// the entries would not fit without it.
//
// Entries sort by key bytes (unsigned, shorter first on a common prefix), then
// by data page and row.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/jet/format/index_key.h"
#include "platform/jet/public/result.h"

namespace jet::format {

inline constexpr uint8_t kIndexNodePage = 0x03;
inline constexpr uint8_t kIndexLeafPage = 0x04;
inline constexpr size_t kIndexPageSize = 4096;
inline constexpr size_t kIndexMaskOffset = 0x1B;
inline constexpr size_t kIndexEntriesOffset = 0x1E0;
inline constexpr size_t kIndexEntryCapacity = kIndexPageSize - kIndexEntriesOffset;  // 3616 bytes

struct IndexEntry {
  IndexKey key;
  uint32_t data_page = 0;  // the row this entry stands for (for node entries: the subtree's largest)
  uint8_t data_row = 0;
  uint32_t child = 0;  // node entries only

  // Order of entries: key bytes, then data page, then row (`child` not compared).
  bool operator<(const IndexEntry& other) const;
  bool SameRow(const IndexEntry& other) const {
    return key == other.key && data_page == other.data_page && data_row == other.data_row;
  }
};

// Compares key bytes as Access orders them; <0, 0 or >0.
int CompareKeys(const IndexKey& a, const IndexKey& b);

struct IndexPage {
  bool leaf = true;
  uint32_t tdef_page = 0;
  uint32_t prev_page = 0;
  uint32_t next_page = 0;
  uint32_t tail_page = 0;  // nodes only
  std::vector<IndexEntry> entries;
};

// Reads an index page image; `page` names it in a Corruption message.
Result<IndexPage> ParseIndexPage(std::span<const std::byte> image, uint32_t page);

// Bytes the entries occupy on a page, after prefix compression (if any).
size_t IndexEntryBytes(const IndexPage& page);
bool FitsOnIndexPage(const IndexPage& page);

// Writes the whole page image (every byte). Requires FitsOnIndexPage(page).
void BuildIndexPage(const IndexPage& page, std::span<std::byte> image);

}  // namespace jet::format
