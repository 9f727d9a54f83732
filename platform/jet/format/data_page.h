#pragma once
// Data pages (docs/access-format.md §4), also used for long values and usage maps.
//
//   0x00  1   0x01                  0x0C  2     number of row-offset entries
//   0x01  1   0x01                  0x0E  2 x n row offsets: bits 0-12 start of the row,
//   0x02  2   free space                        flags below
//   0x04  4   owner: TDEF page, "LVAL", 0 for usage-map holders
//
// Rows are packed downwards from the page end: row 0 ends at the page end and
// row i ends where row i-1 starts.
//
// Row flags as Access writes them: 0x4000 alone = the row moved (its body is a
// row pointer to where it lives now); 0x8000 alone = a moved row's new home, a
// live row; both (0xC000) = deleted. Every reader skips rows with 0x4000 and
// reads the rest, so a moved row is seen once, at its new home.

#include <cstdint>
#include <optional>

#include "platform/jet/format/bytes.h"
#include "platform/jet/public/result.h"

namespace jet::format {

inline constexpr uint8_t kPageTypeData = 0x01;
inline constexpr uint8_t kPageTypeTdef = 0x02;
inline constexpr uint8_t kPageTypeIndexNode = 0x03;
inline constexpr uint8_t kPageTypeIndexLeaf = 0x04;
inline constexpr uint8_t kPageTypeUsageBitmap = 0x05;

inline constexpr size_t kDataFreeSpaceOffset = 0x02;
inline constexpr size_t kDataOwnerOffset = 0x04;
inline constexpr size_t kDataRowCountOffset = 0x0C;
inline constexpr size_t kDataRowTableOffset = 0x0E;
inline constexpr uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr uint16_t kRowLookup = 0x8000;   // the new home of a moved row
inline constexpr uint16_t kRowMoved = 0x4000;    // deleted, or moved elsewhere
inline constexpr uint16_t kRowDeleted = kRowLookup | kRowMoved;
inline constexpr uint32_t kLongValueOwner = 0x4C41564C;  // "LVAL"
inline constexpr size_t kMaxRowsPerPage = 255;
inline constexpr size_t kMaxRowSize = 4060;

struct RowSlot {
  uint16_t start = 0;
  uint16_t end = 0;      // one past the last byte
  bool gone = false;     // 0x4000: deleted (0xC000) or moved away (0x4000 alone)
  bool deleted = false;  // 0xC000
  bool lookup = false;   // 0x8000 alone: a moved row's new home
  bool live() const { return !gone; }
};

inline uint8_t PageType(ConstBytes page) { return U8(page, 0); }
inline uint32_t DataPageOwner(ConstBytes page) { return U32(page, kDataOwnerOffset); }
inline uint16_t DataPageRowCount(ConstBytes page) { return U16(page, kDataRowCountOffset); }

// Checks that `page` (number `page_number`, for messages) is a data page whose
// row-offset table fits.
Status CheckDataPage(ConstBytes page, uint32_t page_number);

// The bounds of row `index`. Rows that are gone are returned with their flags
// unchecked; the bounds of a live row are checked to lie in the row area.
Result<RowSlot> DataPageRow(ConstBytes page, uint32_t page_number, uint16_t index);

// Free space by the row layout: lowest row start - (row table end).
size_t DataPageFreeSpace(ConstBytes page);

// Writing: a fresh data page owned by `owner`; a row appended below the last
// one (false when it does not fit or the page holds 255 rows); a row marked deleted.
void InitDataPage(MutableBytes page, uint32_t owner);
bool AppendRow(MutableBytes page, ConstBytes row, uint16_t* index);

// Where AppendRow would put a row of `size` bytes, for a writer that changes
// only those bytes: the row at `start`, entry `index` of the row table
// (value `start`), the row count `index + 1` and the free space `free_space`.
// Empty when the row does not fit.
struct RowPlacement {
  size_t start = 0;
  uint16_t index = 0;
  uint16_t free_space = 0;
};
std::optional<RowPlacement> PlanAppendRow(ConstBytes page, size_t size);
void MarkRowDeleted(MutableBytes page, uint16_t index);

// Marks live row `index` deleted (0xC000) and gives its bytes back to the
// page: the rows below it move up and the deleted entry keeps zero length
// (row 0 becomes 0xD000, as Access leaves it). Row numbers do not change.
// False when the row does not exist or is gone already.
bool DeleteRowAndCompact(MutableBytes page, uint16_t index);

// Whether the page has a live row (one without 0x4000).
bool DataPageHasLiveRows(ConstBytes page);

// Replaces the bytes of row `index` by `row` (of any length), moving the rows
// below it; false when the page has no room. For rows whose length changes in
// place, such as the global usage map on page 1.
bool ReplaceRow(MutableBytes page, uint16_t index, ConstBytes row);

}  // namespace jet::format
