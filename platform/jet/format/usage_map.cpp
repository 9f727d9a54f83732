#include "platform/jet/format/usage_map.h"

#include <cstring>

#include "platform/jet/format/data_page.h"

namespace jet::format {

void ForEachInlinePage(ConstBytes row, const std::function<void(uint32_t)>& page) {
  if (row.size() < kInlineMapHeader) return;
  uint32_t start = U32(row, 1);
  for (size_t i = kInlineMapHeader; i < row.size(); ++i) {
    uint8_t bits = U8(row, i);
    if (!bits) continue;
    for (int k = 0; k < 8; ++k)
      if (bits & (1u << k)) {
        uint64_t p = start + (i - kInlineMapHeader) * 8 + k;
        if (p <= UINT32_MAX) page(static_cast<uint32_t>(p));
      }
  }
}

std::vector<BitmapPageRef> ReferenceMapPages(ConstBytes row) {
  std::vector<BitmapPageRef> out;
  for (size_t at = 1, j = 0; at + 4 <= row.size(); at += 4, ++j) {
    uint32_t p = U32(row, at);
    if (p) out.push_back(BitmapPageRef{static_cast<uint32_t>(j), p});
  }
  return out;
}

void ForEachBitmapPage(ConstBytes bitmap_page, uint32_t index, const std::function<void(uint32_t)>& page) {
  uint64_t base = static_cast<uint64_t>(index) * kPagesPerBitmapPage;
  for (size_t i = kBitmapPageHeader; i < bitmap_page.size(); ++i) {
    uint8_t bits = U8(bitmap_page, i);
    if (!bits) continue;
    for (int k = 0; k < 8; ++k)
      if (bits & (1u << k)) {
        uint64_t p = base + (i - kBitmapPageHeader) * 8 + k;
        if (p <= UINT32_MAX) page(static_cast<uint32_t>(p));
      }
  }
}

bool InlineMapCovers(ConstBytes row, uint32_t page) {
  if (row.size() < kInlineMapHeader) return false;
  uint32_t start = U32(row, 1);
  return page >= start && static_cast<uint64_t>(page - start) < (row.size() - kInlineMapHeader) * 8;
}

void InlineMapSet(MutableBytes row, uint32_t page, bool value) {
  uint32_t bit = page - U32(row, 1);
  size_t at = kInlineMapHeader + bit / 8;
  uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
  uint8_t b = U8(row, at);
  Put8(row, at, value ? (b | mask) : (b & ~mask));
}

void InitInlineMap(MutableBytes row, uint32_t start_page) {
  std::memset(row.data(), 0, row.size());
  Put8(row, 0, kUsageMapInline);
  Put32(row, 1, start_page);
}

bool InlineMapGet(ConstBytes row, uint32_t page) {
  if (!InlineMapCovers(row, page)) return false;
  uint32_t bit = page - U32(row, 1);
  return (U8(row, kInlineMapHeader + bit / 8) >> (bit % 8)) & 1;
}

void InitBitmapPage(MutableBytes page, bool all_set) {
  std::memset(page.data(), all_set ? 0xFF : 0x00, page.size());
  Put8(page, 0, kPageTypeUsageBitmap);
  Put8(page, 1, 0x01);
  Put8(page, 2, 0x00);
  Put8(page, 3, 0x00);
}

bool BitmapPageGet(ConstBytes page, uint32_t page_number) {
  uint32_t bit = page_number % kPagesPerBitmapPage;
  return (U8(page, kBitmapPageHeader + bit / 8) >> (bit % 8)) & 1;
}

void BitmapPageSet(MutableBytes page, uint32_t page_number, bool value) {
  uint32_t bit = page_number % kPagesPerBitmapPage;
  size_t at = kBitmapPageHeader + bit / 8;
  uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
  uint8_t b = U8(page, at);
  Put8(page, at, value ? (b | mask) : (b & ~mask));
}

}  // namespace jet::format
