#pragma once
// Usage maps (docs/access-format.md §7): a row on a data page listing pages.
//
//   inline (type 0):    0x00, uint32 start page S, bitmap (bit k = page S + k, LSB first)
//   reference (type 1): 0x01, uint32 page numbers of 0x05 bitmap pages; bitmap
//                       page j covers pages j x 32736 .. and holds
//                       05 01 00 00 then 4092 bitmap bytes
//
// The global map (page 1, row 0) marks free pages; every other map marks the
// pages it owns.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/jet/format/bytes.h"
#include "platform/jet/public/result.h"

namespace jet::format {

inline constexpr uint8_t kUsageMapInline = 0x00;
inline constexpr uint8_t kUsageMapReference = 0x01;
inline constexpr size_t kInlineMapHeader = 5;
inline constexpr size_t kInlineMapRowSize = 69;  // covers 512 pages
inline constexpr size_t kBitmapPageHeader = 4;
inline constexpr uint32_t kPagesPerBitmapPage = (4096 - kBitmapPageHeader) * 8;  // 32736

// Calls `page` for every page set in an inline map row.
void ForEachInlinePage(ConstBytes row, const std::function<void(uint32_t)>& page);

// The bitmap-page pointers of a reference map row, with their index j (zeros skipped).
struct BitmapPageRef {
  uint32_t index = 0;
  uint32_t page = 0;
};
std::vector<BitmapPageRef> ReferenceMapPages(ConstBytes row);

// Calls `page` for every page set in bitmap page number `index` of a reference map.
void ForEachBitmapPage(ConstBytes bitmap_page, uint32_t index, const std::function<void(uint32_t)>& page);

// Writing an inline map row: whether `page` is in its range, and setting its bit.
bool InlineMapCovers(ConstBytes row, uint32_t page);
void InlineMapSet(MutableBytes row, uint32_t page, bool value);
void InitInlineMap(MutableBytes row, uint32_t start_page);
// Bit k of an inline map row (page start + k); false beyond the row.
bool InlineMapGet(ConstBytes row, uint32_t page);
// Pages an inline row of `row_size` bytes covers.
inline uint32_t InlineMapCapacity(size_t row_size) {
  return row_size > kInlineMapHeader ? static_cast<uint32_t>((row_size - kInlineMapHeader) * 8) : 0;
}

// Reference maps: the slot of bitmap page j in the row (0 when absent), how
// many slots a row has, and the bits of a 0x05 bitmap page.
inline size_t ReferenceMapSlots(size_t row_size) { return row_size > 1 ? (row_size - 1) / 4 : 0; }
void InitBitmapPage(MutableBytes page, bool all_set);
bool BitmapPageGet(ConstBytes page, uint32_t page_number);   // page_number within the page's range
void BitmapPageSet(MutableBytes page, uint32_t page_number, bool value);

}  // namespace jet::format
