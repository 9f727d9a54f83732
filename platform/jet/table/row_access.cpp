#include "platform/jet/table/row_access.h"

#include <fmt/format.h>

#include <algorithm>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/usage_map.h"

namespace jet::table {

using format::ConstBytes;

Result<ConstBytes> ReadRow(PageStore& store, format::RowPointer at, std::string_view what) {
  if (at.page == 0 || at.page >= store.PageCount())
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("{} points to page {}, outside the file ({} pages)", what, at.page,
                                 store.PageCount()));
  JET_ASSIGN_OR_RETURN(page, store.Read(at.page));
  if (format::PageType(page) != format::kPageTypeData)
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("{} points to page {}, which is not a data page", what, at.page));
  if (at.row >= format::DataPageRowCount(page))
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("{} points to row {} of page {}, which has {} rows", what, at.row, at.page,
                                 format::DataPageRowCount(page)));
  JET_ASSIGN_OR_RETURN(slot, format::DataPageRow(page, at.page, at.row));
  if (!slot.live())
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("{} points to row {} of page {}, which is deleted", what, at.row, at.page));
  return page.subspan(slot.start, slot.end - slot.start);
}

Result<std::vector<uint32_t>> ReadUsageMap(PageStore& store, format::RowPointer map, std::string_view what) {
  JET_ASSIGN_OR_RETURN(row, ReadRow(store, map, what));
  std::vector<uint32_t> pages;
  if (row.empty()) return MakeError(ErrorCode::kCorruption, fmt::format("{} is an empty row", what));
  uint8_t type = format::U8(row, 0);
  if (type == format::kUsageMapInline) {
    format::ForEachInlinePage(row, [&](uint32_t p) { pages.push_back(p); });
  } else if (type == format::kUsageMapReference) {
    // Copy the pointers first: reading bitmap pages may evict the map's page.
    std::vector<format::BitmapPageRef> refs = format::ReferenceMapPages(row);
    for (const auto& ref : refs) {
      if (ref.page >= store.PageCount())
        return MakeError(ErrorCode::kCorruption,
                         fmt::format("{} names bitmap page {}, outside the file", what, ref.page));
      JET_ASSIGN_OR_RETURN(bitmap, store.Read(ref.page));
      if (format::PageType(bitmap) != format::kPageTypeUsageBitmap)
        return MakeError(ErrorCode::kCorruption,
                         fmt::format("{} names page {} as a bitmap page, but it has type {:#04x}", what, ref.page,
                                     format::PageType(bitmap)));
      format::ForEachBitmapPage(bitmap, ref.index, [&](uint32_t p) { pages.push_back(p); });
    }
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
  } else {
    return MakeError(ErrorCode::kCorruption, fmt::format("{} has an unknown map type {}", what, type));
  }
  return pages;
}

}  // namespace jet::table
