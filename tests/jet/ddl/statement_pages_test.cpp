// Statement-level undo above the pager: pages back as they were at Begin,
// pages appended meanwhile blanked, finished statements kept, and the count
// of pages changed since the last commit.

#include <gtest/gtest.h>

#include "platform/jet/table/statement_pages.h"
#include "tests/jet/memory_page_store.h"

namespace {

using jet::table::StatementPages;

void Fill(StatementPages& pages, uint32_t page, uint8_t value) {
  auto image = pages.Write(page);
  ASSERT_TRUE(image);
  std::memset(image->data(), value, image->size());
}

uint8_t First(testing_support::MemoryPageStore& store, uint32_t page) {
  return static_cast<uint8_t>(store.Page(page)[0]);
}

TEST(StatementPages, UndoPutsBackWhatTheStatementChangedOnly) {
  testing_support::MemoryPageStore store(4);
  StatementPages pages(store);
  Fill(pages, 1, 0x11);  // outside any statement: not undoable, and not undone

  pages.Begin();
  Fill(pages, 2, 0x22);
  pages.End();  // a finished statement stays

  pages.Begin();
  Fill(pages, 1, 0xA1);
  Fill(pages, 1, 0xB1);  // written twice: the image from Begin comes back
  Fill(pages, 3, 0xA3);
  auto appended = pages.Append();
  ASSERT_TRUE(appended);
  Fill(pages, *appended, 0xEE);
  ASSERT_TRUE(pages.Undo());

  EXPECT_EQ(First(store, 1), 0x11);
  EXPECT_EQ(First(store, 2), 0x22);
  EXPECT_EQ(First(store, 3), 0x00);
  EXPECT_EQ(First(store, *appended), 0x00) << "an appended page is blanked";
  EXPECT_EQ(static_cast<uint8_t>(store.Page(*appended)[4095]), 0x00);
  EXPECT_FALSE(pages.InStatement());

  // The next statement keeps its own images again.
  pages.Begin();
  Fill(pages, 2, 0x33);
  ASSERT_TRUE(pages.Undo());
  EXPECT_EQ(First(store, 2), 0x22);
}

TEST(StatementPages, CountsPagesChangedSinceTheLastCommit) {
  testing_support::MemoryPageStore store(3);
  StatementPages pages(store);
  EXPECT_EQ(pages.PagesSinceCommit(), 0u);
  Fill(pages, 1, 1);
  Fill(pages, 1, 2);
  pages.Begin();
  Fill(pages, 2, 3);
  ASSERT_TRUE(pages.Append());
  pages.End();
  EXPECT_EQ(pages.PagesSinceCommit(), 3u);
  pages.MarkCommitted();
  EXPECT_EQ(pages.PagesSinceCommit(), 0u);
  Fill(pages, 1, 4);
  EXPECT_EQ(pages.PagesSinceCommit(), 1u);
}

}  // namespace
