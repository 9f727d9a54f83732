// The page allocator over a global usage map built in memory: appending and
// recording pages, freeing and reusing them, the inline map growing on page 1
// and turning into a reference map when page 1 is full, and a second bitmap
// page when the file passes 32,736 pages. Also the owner maps' writer:
// re-basing an inline map and promoting it to a reference map.

#include "platform/jet/table/page_allocator.h"

#include <gtest/gtest.h>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/usage_map.h"
#include "platform/jet/table/row_access.h"
#include "platform/jet/table/usage_map_writer.h"
#include "tests/jet/memory_page_store.h"

namespace {

using namespace jet;
using testing_support::MemoryPageStore;

// A file of `pages` pages whose global map (page 1 row 0, 69 bytes) marks
// pages 0..pages-1 used; row 1 takes `filler` bytes of page 1.
void BuildFile(MemoryPageStore& store, uint32_t pages, size_t filler = 69) {
  while (store.PageCount() < pages) ASSERT_TRUE(store.Append());
  auto page1 = store.Page(1);
  format::InitDataPage(page1, 1);
  std::vector<std::byte> map(format::kInlineMapRowSize);
  format::InitInlineMap(map, 0);
  for (uint32_t p = pages; p < format::InlineMapCapacity(map.size()); ++p) format::InlineMapSet(map, p, true);
  uint16_t index;
  ASSERT_TRUE(format::AppendRow(page1, map, &index));
  std::vector<std::byte> other(filler);
  ASSERT_TRUE(format::AppendRow(page1, other, &index));
}

std::vector<uint32_t> FreePages(MemoryPageStore& store) {
  auto pages = table::ReadUsageMap(store, format::RowPointer{1, 0}, "global map");
  EXPECT_TRUE(pages) << pages.error().message;
  std::vector<uint32_t> inside;
  for (uint32_t p : *pages)
    if (p < store.PageCount()) inside.push_back(p);
  return inside;
}

TEST(PageAllocatorTest, AppendsReleasesAndReusesPages) {
  MemoryPageStore store(1);
  BuildFile(store, 10);
  table::PageAllocator pages(store);
  auto a = pages.Allocate();
  ASSERT_TRUE(a);
  EXPECT_EQ(*a, 10u);
  auto b = pages.Allocate();
  ASSERT_TRUE(b);
  EXPECT_EQ(*b, 11u);
  EXPECT_EQ(store.PageCount(), 12u);
  EXPECT_FALSE(*pages.IsFree(10));
  EXPECT_TRUE(*pages.IsFree(12));  // past the end: free
  EXPECT_TRUE(FreePages(store).empty());

  store.Page(4)[0] = std::byte{0x01};
  ASSERT_TRUE(pages.Release(4));
  ASSERT_TRUE(pages.Release(10));
  EXPECT_EQ(FreePages(store), (std::vector<uint32_t>{4, 10}));
  for (std::byte x : store.Page(4)) ASSERT_EQ(x, std::byte{0}) << "a freed page keeps its old image";
  // The lowest free page first, then the next, then the end of the file.
  EXPECT_EQ(*pages.Allocate(), 4u);
  EXPECT_EQ(*pages.Allocate(), 10u);
  EXPECT_EQ(*pages.Allocate(), 12u);

  auto twice = pages.Release(3);
  ASSERT_TRUE(twice);
  auto again = pages.Release(3);
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error().code, ErrorCode::kCorruption);
  EXPECT_FALSE(pages.Release(1));
  EXPECT_FALSE(pages.Release(0));
  EXPECT_FALSE(pages.Release(store.PageCount()));
}

TEST(PageAllocatorTest, InlineMapGrowsOnPageOne) {
  MemoryPageStore store(1);
  BuildFile(store, 500);
  table::PageAllocator pages(store);
  for (int i = 0; i < 1500; ++i) ASSERT_TRUE(pages.Allocate());
  EXPECT_EQ(store.PageCount(), 2000u);
  auto slot = format::DataPageRow(store.Page(1), 1, 0);
  ASSERT_TRUE(slot);
  auto row = store.Page(1).subspan(slot->start, slot->end - slot->start);
  EXPECT_EQ(format::U8(row, 0), format::kUsageMapInline);
  EXPECT_GE(format::InlineMapCapacity(row.size()), 2000u);
  EXPECT_TRUE(FreePages(store).empty());
  // Row 1 moved with the growth and kept its bytes.
  auto other = format::DataPageRow(store.Page(1), 1, 1);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->end - other->start, 69);
  EXPECT_EQ(other->end, slot->start);
  EXPECT_EQ(format::DataPageFreeSpace(store.Page(1)), format::U16(store.Page(1), format::kDataFreeSpaceOffset));
}

TEST(PageAllocatorTest, FullPageOneTurnsTheMapIntoAReferenceMapAcrossBitmapPages) {
  // 700 pages, the inline map covering 512 of them with page 100 free, and
  // page 1 too full for the row to grow.
  MemoryPageStore store(1);
  BuildFile(store, 700, 4000);
  {
    auto slot = format::DataPageRow(store.Page(1), 1, 0);
    auto row = store.Page(1).subspan(slot->start, slot->end - slot->start);
    for (uint32_t p = 0; p < 512; ++p) format::InlineMapSet(row, p, p == 100);
  }
  table::PageAllocator pages(store);
  ASSERT_TRUE(pages.Release(600));  // beyond the inline map: it becomes a reference map
  auto slot = format::DataPageRow(store.Page(1), 1, 0);
  ASSERT_TRUE(slot);
  auto row = store.Page(1).subspan(slot->start, slot->end - slot->start);
  ASSERT_EQ(format::U8(row, 0), format::kUsageMapReference);
  EXPECT_EQ(row.size(), format::kInlineMapRowSize);
  EXPECT_EQ(FreePages(store), (std::vector<uint32_t>{100, 600}));
  EXPECT_EQ(*pages.Allocate(), 100u);
  EXPECT_EQ(*pages.Allocate(), 600u);
  // Past 32,736 pages the map needs a second bitmap page.
  while (store.PageCount() < 33000) ASSERT_TRUE(pages.Allocate());
  row = store.Page(1).subspan(slot->start, slot->end - slot->start);
  auto refs = format::ReferenceMapPages(row);
  ASSERT_EQ(refs.size(), 2u);
  for (const auto& ref : refs) {
    EXPECT_EQ(format::PageType(store.Page(ref.page)), format::kPageTypeUsageBitmap);
    EXPECT_FALSE(*pages.IsFree(ref.page));
  }
  EXPECT_TRUE(FreePages(store).empty());
  EXPECT_TRUE(*pages.IsFree(store.PageCount() + 5));
  ASSERT_TRUE(pages.Release(32800));
  ASSERT_TRUE(pages.Release(250));
  pages.Reset();
  EXPECT_EQ(*pages.Allocate(), 250u);
  EXPECT_EQ(*pages.Allocate(), 32800u);
}

TEST(UsageMapWriterTest, InlineMapsMoveTheirWindowThenBecomeReferenceMaps) {
  MemoryPageStore store(1);
  BuildFile(store, 40);
  // An owner map on page 5, row 0, starting at page 1000.
  format::InitDataPage(store.Page(5), 0);
  std::vector<std::byte> map(format::kInlineMapRowSize);
  format::InitInlineMap(map, 1000);
  uint16_t index;
  ASSERT_TRUE(format::AppendRow(store.Page(5), map, &index));
  while (store.PageCount() < 2100) ASSERT_TRUE(store.Append());
  table::PageAllocator pages(store);
  format::RowPointer at{5, 0};

  ASSERT_TRUE(table::SetMapPage(store, pages, at, 1200, true));
  ASSERT_TRUE(table::SetMapPage(store, pages, at, 1100, true));
  EXPECT_TRUE(*table::MapHasPage(store, at, 1200));
  // Below the window but within 512 pages of the others: the window moves.
  ASSERT_TRUE(table::SetMapPage(store, pages, at, 900, true));
  auto row = *table::ReadRow(store, at, "map");
  EXPECT_EQ(format::U8(row, 0), format::kUsageMapInline);
  EXPECT_EQ(format::U32(row, 1), 896u);
  EXPECT_EQ(*table::ReadUsageMap(store, at, "map"), (std::vector<uint32_t>{900, 1100, 1200}));
  // Too far apart for 512 pages: a reference map in the same row.
  ASSERT_TRUE(table::SetMapPage(store, pages, at, 2000, true));
  row = *table::ReadRow(store, at, "map");
  EXPECT_EQ(format::U8(row, 0), format::kUsageMapReference);
  EXPECT_EQ(row.size(), format::kInlineMapRowSize);
  EXPECT_EQ(*table::ReadUsageMap(store, at, "map"), (std::vector<uint32_t>{900, 1100, 1200, 2000}));
  ASSERT_TRUE(table::SetMapPage(store, pages, at, 1100, false));
  ASSERT_TRUE(table::SetMapPage(store, pages, at, 400000, false));  // not listed: nothing to do
  EXPECT_EQ(*table::ReadUsageMap(store, at, "map"), (std::vector<uint32_t>{900, 1200, 2000}));
  EXPECT_FALSE(*table::MapHasPage(store, at, 1100));
  // The bitmap page came from the allocator.
  auto refs = format::ReferenceMapPages(*table::ReadRow(store, at, "map"));
  ASSERT_EQ(refs.size(), 1u);
  EXPECT_FALSE(*pages.IsFree(refs[0].page));
}

}  // namespace
