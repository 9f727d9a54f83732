#include "platform/jet/table/page_allocator.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/usage_map.h"

namespace jet::table {
namespace {

using format::ConstBytes;
using format::MutableBytes;

constexpr uint32_t kFirstAllocatablePage = 2;  // 0 is the header, 1 the global map
constexpr size_t kGrowthBytes = 16;            // the inline row grows 128 pages at a time

Error Damaged(std::string what) {
  return MakeError(ErrorCode::kCorruption, fmt::format("The global usage map on page 1 is damaged: {}.", what));
}

// Row 0 of page 1, writable or not.
template <typename Span>
Result<Span> GlobalRow(Span page) {
  JET_ASSIGN_OR_RETURN(slot, format::DataPageRow(page, PageAllocator::kGlobalMapPage, 0));
  if (!slot.live() || slot.end <= slot.start) return Damaged("its first row is missing");
  return page.subspan(slot.start, slot.end - slot.start);
}

// Index of the first set bit of `bits` in [from, to), or `to`.
uint32_t FirstSet(uint32_t from, uint32_t to, ConstBytes bits, size_t header, uint32_t base) {
  for (uint32_t p = from; p < to;) {
    uint32_t bit = p - base;
    if (bit % 8 == 0 && p + 8 <= to && format::U8(bits, header + bit / 8) == 0) {
      p += 8;
      continue;
    }
    if ((format::U8(bits, header + bit / 8) >> (bit % 8)) & 1) return p;
    ++p;
  }
  return to;
}

}  // namespace

Result<bool> PageAllocator::IsFree(uint32_t page) {
  JET_ASSIGN_OR_RETURN(image, store_.Read(kGlobalMapPage));
  JET_ASSIGN_OR_RETURN(row, GlobalRow(image));
  if (format::U8(row, 0) == format::kUsageMapInline) {
    if (format::InlineMapCovers(row, page)) return format::InlineMapGet(row, page);
    return page >= store_.PageCount();
  }
  if (format::U8(row, 0) != format::kUsageMapReference) return Damaged("its type is unknown");
  size_t slot = page / format::kPagesPerBitmapPage;
  if (slot >= format::ReferenceMapSlots(row.size())) return page >= store_.PageCount();
  uint32_t bitmap = format::U32(row, 1 + 4 * slot);
  if (bitmap == 0) return page >= store_.PageCount();
  if (bitmap >= store_.PageCount()) return Damaged(fmt::format("it names bitmap page {}, outside the file", bitmap));
  JET_ASSIGN_OR_RETURN(bits, store_.Read(bitmap));
  if (format::PageType(bits) != format::kPageTypeUsageBitmap)
    return Damaged(fmt::format("page {} is not a bitmap page", bitmap));
  return format::BitmapPageGet(bits, page);
}

Result<bool> PageAllocator::TakeFreePage(uint32_t* out) {
  uint32_t end = store_.PageCount();
  uint32_t from = std::max(hint_, kFirstAllocatablePage);
  uint32_t found = end;
  {
    JET_ASSIGN_OR_RETURN(image, store_.Read(kGlobalMapPage));
    JET_ASSIGN_OR_RETURN(row, GlobalRow(image));
    uint8_t type = format::U8(row, 0);
    if (type == format::kUsageMapInline) {
      if (row.size() < format::kInlineMapHeader) return Damaged("its row is too short");
      uint32_t start = format::U32(row, 1);
      uint64_t stop = std::min<uint64_t>(end, uint64_t{start} + format::InlineMapCapacity(row.size()));
      uint32_t lo = std::max(from, start);
      if (lo < stop) found = FirstSet(lo, static_cast<uint32_t>(stop), row, format::kInlineMapHeader, start);
      if (found >= stop) found = end;
    } else if (type == format::kUsageMapReference) {
      std::vector<format::BitmapPageRef> refs = format::ReferenceMapPages(row);
      for (const auto& ref : refs) {
        uint64_t base = uint64_t{ref.index} * format::kPagesPerBitmapPage;
        uint64_t stop = std::min<uint64_t>(end, base + format::kPagesPerBitmapPage);
        uint64_t lo = std::max<uint64_t>(from, base);
        if (lo >= stop) continue;
        if (ref.page >= end) return Damaged(fmt::format("it names bitmap page {}, outside the file", ref.page));
        JET_ASSIGN_OR_RETURN(bits, store_.Read(ref.page));
        if (format::PageType(bits) != format::kPageTypeUsageBitmap)
          return Damaged(fmt::format("page {} is not a bitmap page", ref.page));
        uint32_t hit = FirstSet(static_cast<uint32_t>(lo), static_cast<uint32_t>(stop), bits,
                                format::kBitmapPageHeader, static_cast<uint32_t>(base));
        if (hit < stop) {
          found = hit;
          break;
        }
      }
    } else {
      return Damaged("its type is unknown");
    }
  }
  if (found >= end) {
    hint_ = end;
    return false;
  }
  JET_TRY(SetFree(found, false));
  hint_ = found + 1;
  *out = found;
  return true;
}

Result<uint32_t> PageAllocator::Allocate() {
  uint32_t page = 0;
  JET_ASSIGN_OR_RETURN(reused, TakeFreePage(&page));
  if (reused) return page;
  JET_ASSIGN_OR_RETURN(appended, store_.Append());
  JET_TRY(SetFree(appended, false));
  hint_ = store_.PageCount();  // everything below is in use: nothing was free before
  return appended;
}

Status PageAllocator::Release(uint32_t page) {
  if (page < kFirstAllocatablePage || page >= store_.PageCount())
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("Page {} cannot be freed: it is {}.", page,
                                 page < kFirstAllocatablePage ? "the header or the global usage map"
                                                              : "outside the file"));
  JET_ASSIGN_OR_RETURN(free, IsFree(page));
  if (free) return MakeError(ErrorCode::kCorruption, fmt::format("Page {} is freed twice.", page));
  JET_TRY(SetFree(page, true));
  // A freed page holds nothing a reader could take for live data.
  JET_ASSIGN_OR_RETURN(image, store_.Write(page));
  std::memset(image.data(), 0, image.size());
  hint_ = std::min(hint_, page);
  return {};
}

Status PageAllocator::MarkUsed(uint32_t page) { return SetFree(page, false); }

// Sets the bit of `page` (inside the file, or just appended) in the global map.
Status PageAllocator::SetFree(uint32_t page, bool free) {
  JET_ASSIGN_OR_RETURN(image, store_.Write(kGlobalMapPage));
  JET_ASSIGN_OR_RETURN(row, GlobalRow(image));
  uint8_t type = format::U8(row, 0);

  if (type == format::kUsageMapInline) {
    if (row.size() < format::kInlineMapHeader) return Damaged("its row is too short");
    if (format::InlineMapCovers(row, page)) {
      format::InlineMapSet(row, page, free);
      return {};
    }
    uint32_t start = format::U32(row, 1);
    if (page >= start) {
      // Grow the row: new bits mark pages past the end of the file, free.
      size_t bytes = (page - start) / 8 + 1;
      bytes = (bytes + kGrowthBytes - 1) / kGrowthBytes * kGrowthBytes;
      std::vector<std::byte> grown(format::kInlineMapHeader + bytes, std::byte{0xFF});
      std::memcpy(grown.data(), row.data(), row.size());
      // Pages inside the file that the old row did not cover count as used.
      for (uint64_t p = uint64_t{start} + format::InlineMapCapacity(row.size());
           p < std::min<uint64_t>(store_.PageCount(), uint64_t{start} + format::InlineMapCapacity(grown.size())); ++p)
        format::InlineMapSet(grown, static_cast<uint32_t>(p), false);
      if (format::ReplaceRow(image, 0, grown)) {
        JET_ASSIGN_OR_RETURN(again, GlobalRow(image));
        format::InlineMapSet(again, page, free);
        return {};
      }
    }
    // Page 1 has no room left (or the map starts after the page): switch to
    // a reference map of the same row length.
    std::unordered_set<uint32_t> was_free;
    format::ForEachInlinePage(row, [&](uint32_t p) {
      if (p < store_.PageCount()) was_free.insert(p);
    });
    std::memset(row.data(), 0, row.size());
    format::Put8(row, 0, format::kUsageMapReference);
    // Highest range first: the bitmap pages are appended, so they fall into
    // the last range (or a new one), never into one still to be created.
    for (uint32_t j = (store_.PageCount() - 1) / format::kPagesPerBitmapPage + 1; j-- > 0;)
      JET_TRY(EnsureBitmap(j, &was_free));
    return SetFree(page, free);
  }

  if (type != format::kUsageMapReference) return Damaged("its type is unknown");
  uint32_t slot = page / format::kPagesPerBitmapPage;
  if (slot >= format::ReferenceMapSlots(row.size()))
    return MakeError(ErrorCode::kTooLarge, "The database would grow beyond what its usage map can describe.");
  uint32_t bitmap = format::U32(row, 1 + 4 * slot);
  if (bitmap == 0) {
    JET_TRY(EnsureBitmap(slot, nullptr));
    return SetFree(page, free);
  }
  if (bitmap >= store_.PageCount()) return Damaged(fmt::format("it names bitmap page {}, outside the file", bitmap));
  JET_ASSIGN_OR_RETURN(bits, store_.Write(bitmap));
  if (format::PageType(bits) != format::kPageTypeUsageBitmap)
    return Damaged(fmt::format("page {} is not a bitmap page", bitmap));
  format::BitmapPageSet(bits, page, free);
  return {};
}

// Creates the bitmap page of range `slot` of a reference global map: pages of
// the range inside the file are in use unless `was_free` lists them, pages
// past the end are free. The bitmap page itself is appended and in use.
Status PageAllocator::EnsureBitmap(uint32_t slot, const std::unordered_set<uint32_t>* was_free) {
  {
    JET_ASSIGN_OR_RETURN(image, store_.Read(kGlobalMapPage));
    JET_ASSIGN_OR_RETURN(row, GlobalRow(image));
    if (format::U32(row, 1 + 4 * slot) != 0) return {};
  }
  uint32_t existing = store_.PageCount();
  JET_ASSIGN_OR_RETURN(bitmap, store_.Append());
  {
    JET_ASSIGN_OR_RETURN(bits, store_.Write(bitmap));
    format::InitBitmapPage(bits, true);
    uint64_t base = uint64_t{slot} * format::kPagesPerBitmapPage;
    for (uint64_t p = base; p < std::min<uint64_t>(existing, base + format::kPagesPerBitmapPage); ++p)
      if (!was_free || !was_free->count(static_cast<uint32_t>(p)))
        format::BitmapPageSet(bits, static_cast<uint32_t>(p), false);
  }
  {
    JET_ASSIGN_OR_RETURN(image, store_.Write(kGlobalMapPage));
    JET_ASSIGN_OR_RETURN(row, GlobalRow(image));
    format::Put32(row, 1 + 4 * slot, bitmap);
  }
  return SetFree(bitmap, false);
}

}  // namespace jet::table
