#include "platform/jet/table/usage_map_writer.h"

#include <fmt/format.h>

#include <algorithm>
#include <vector>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/usage_map.h"

namespace jet::table {
namespace {

using format::MutableBytes;

Error Damaged(format::RowPointer map, std::string what) {
  return MakeError(ErrorCode::kCorruption,
                   fmt::format("The usage map in row {} of page {} is damaged: {}.", map.row, map.page, what));
}

template <typename Span>
Result<Span> MapRow(Span page, format::RowPointer map) {
  if (map.row >= format::DataPageRowCount(page)) return Damaged(map, "the row does not exist");
  JET_ASSIGN_OR_RETURN(slot, format::DataPageRow(page, map.page, map.row));
  if (!slot.live() || static_cast<size_t>(slot.end - slot.start) < format::kInlineMapHeader) return Damaged(map, "the row is missing");
  return page.subspan(slot.start, slot.end - slot.start);
}

Result<MutableBytes> WritableMapRow(PageStore& store, format::RowPointer map) {
  if (map.page == 0 || map.page >= store.PageCount()) return Damaged(map, "it lies outside the file");
  JET_ASSIGN_OR_RETURN(page, store.Write(map.page));
  if (format::PageType(page) != format::kPageTypeData) return Damaged(map, "its page is not a data page");
  return MapRow(page, map);
}

Status SetReferenceBit(PageStore& store, PageAllocator& pages, format::RowPointer map, uint32_t page, bool present) {
  JET_ASSIGN_OR_RETURN(row, WritableMapRow(store, map));
  uint32_t slot = page / format::kPagesPerBitmapPage;
  if (slot >= format::ReferenceMapSlots(row.size())) {
    if (!present) return {};
    return MakeError(ErrorCode::kTooLarge, fmt::format("Page {} lies beyond what a usage map can list.", page));
  }
  uint32_t bitmap = format::U32(row, 1 + 4 * slot);
  if (bitmap == 0) {
    if (!present) return {};
    JET_ASSIGN_OR_RETURN(fresh, pages.Allocate());
    JET_ASSIGN_OR_RETURN(bits, store.Write(fresh));
    format::InitBitmapPage(bits, false);
    JET_ASSIGN_OR_RETURN(again, WritableMapRow(store, map));
    format::Put32(again, 1 + 4 * slot, fresh);
    bitmap = fresh;
  }
  if (bitmap >= store.PageCount()) return Damaged(map, fmt::format("bitmap page {} lies outside the file", bitmap));
  JET_ASSIGN_OR_RETURN(bits, store.Write(bitmap));
  if (format::PageType(bits) != format::kPageTypeUsageBitmap)
    return Damaged(map, fmt::format("page {} is not a bitmap page", bitmap));
  format::BitmapPageSet(bits, page, present);
  return {};
}

}  // namespace

Status SetMapPage(PageStore& store, PageAllocator& pages, format::RowPointer map, uint32_t page, bool present) {
  JET_ASSIGN_OR_RETURN(row, WritableMapRow(store, map));
  uint8_t type = format::U8(row, 0);
  if (type == format::kUsageMapReference) return SetReferenceBit(store, pages, map, page, present);
  if (type != format::kUsageMapInline) return Damaged(map, fmt::format("its type {} is unknown", type));
  if (format::InlineMapCovers(row, page)) {
    format::InlineMapSet(row, page, present);
    return {};
  }
  if (!present) return {};

  std::vector<uint32_t> listed;
  format::ForEachInlinePage(row, [&](uint32_t p) { listed.push_back(p); });
  listed.push_back(page);
  auto [lo, hi] = std::minmax_element(listed.begin(), listed.end());
  uint32_t start = *lo / 8 * 8;
  if (*hi - start < format::InlineMapCapacity(row.size())) {
    // All pages fit one window: move the window.
    format::InitInlineMap(row, start);
    for (uint32_t p : listed) format::InlineMapSet(row, p, true);
    return {};
  }
  // Too far apart for an inline row: the same row becomes a reference map.
  std::fill(row.begin(), row.end(), std::byte{0});
  format::Put8(row, 0, format::kUsageMapReference);
  for (uint32_t p : listed) JET_TRY(SetReferenceBit(store, pages, map, p, true));
  return {};
}

Result<bool> MapHasPage(PageStore& store, format::RowPointer map, uint32_t page) {
  if (map.page == 0 || map.page >= store.PageCount()) return Damaged(map, "it lies outside the file");
  JET_ASSIGN_OR_RETURN(image, store.Read(map.page));
  if (format::PageType(image) != format::kPageTypeData) return Damaged(map, "its page is not a data page");
  JET_ASSIGN_OR_RETURN(row, MapRow(image, map));
  uint8_t type = format::U8(row, 0);
  if (type == format::kUsageMapInline) return format::InlineMapGet(row, page);
  if (type != format::kUsageMapReference) return Damaged(map, fmt::format("its type {} is unknown", type));
  uint32_t slot = page / format::kPagesPerBitmapPage;
  if (slot >= format::ReferenceMapSlots(row.size())) return false;
  uint32_t bitmap = format::U32(row, 1 + 4 * slot);
  if (bitmap == 0) return false;
  if (bitmap >= store.PageCount()) return Damaged(map, fmt::format("bitmap page {} lies outside the file", bitmap));
  JET_ASSIGN_OR_RETURN(bits, store.Read(bitmap));
  if (format::PageType(bits) != format::kPageTypeUsageBitmap)
    return Damaged(map, fmt::format("page {} is not a bitmap page", bitmap));
  return format::BitmapPageGet(bits, page);
}

}  // namespace jet::table
