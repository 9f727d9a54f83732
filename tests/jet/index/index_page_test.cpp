#include "platform/jet/format/index_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/jet/index/fixture_file.h"
#include "tests/support/environment.h"

namespace jet::format {
namespace {

bool SameEntries(const IndexPage& a, const IndexPage& b) {
  if (a.entries.size() != b.entries.size()) return false;
  for (size_t i = 0; i < a.entries.size(); ++i) {
    if (!a.entries[i].SameRow(b.entries[i]) || a.entries[i].child != b.entries[i].child) return false;
  }
  return a.leaf == b.leaf && a.prev_page == b.prev_page && a.next_page == b.next_page &&
         a.tail_page == b.tail_page && a.tdef_page == b.tdef_page;
}

// Every index page Access wrote reads back, rebuilds and reads back to the
// same entries; free space matches. Where Access stored no shared prefix we
// store none either, and the page comes out byte for byte as Access wrote it
// (up to its free space).
TEST(IndexPage, EveryFixturePageRoundTrips) {
  REQUIRE_SHARED(shared);
  size_t pages = 0, with_prefix = 0;
  for (const auto& item : std::filesystem::directory_iterator(shared + "/fixtures/access")) {
    const auto ext = item.path().extension();
    if (ext != ".mdb" && ext != ".accdb") continue;
    testing::FixtureFile db(item.path().string());
    if (db.PageCount() < 3 || db.U8(2 * testing::kPage) != 0x02) continue;
    for (uint32_t p = 1; p < db.PageCount(); ++p) {
      const uint8_t type = db.U8(size_t{p} * testing::kPage);
      if (type != kIndexLeafPage && type != kIndexNodePage) continue;
      auto parsed = ParseIndexPage(db.Page(p), p);
      ASSERT_TRUE(parsed.has_value()) << item.path() << ": " << parsed.error().message;
      ASSERT_TRUE(FitsOnIndexPage(*parsed));
      std::vector<std::byte> image(kIndexPageSize);
      BuildIndexPage(*parsed, image);
      auto again = ParseIndexPage(image, p);
      ASSERT_TRUE(again.has_value());
      EXPECT_TRUE(SameEntries(*parsed, *again)) << item.path() << " page " << p;
      const size_t stored = IndexEntryBytes(*again);
      EXPECT_EQ(static_cast<size_t>(image[2]) | static_cast<size_t>(image[3]) << 8, kIndexEntryCapacity - stored);
      const uint16_t access_prefix = db.U16(size_t{p} * testing::kPage + 0x18);
      if (access_prefix != 0) {
        ++with_prefix;
      } else {
        EXPECT_EQ(image[0x18], std::byte{0}) << item.path() << " page " << p;
        // Equal up to the end of the entries (Access leaves old bytes in its free space).
        auto original = db.Page(p);
        const size_t used = kIndexEntriesOffset + stored;
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + used, original.begin())) << item.path() << " page " << p;
      }
      ++pages;
    }
  }
  EXPECT_GT(pages, 50u);
  std::cout << "index pages round-tripped: " << pages << " (" << with_prefix << " with a shared prefix)\n";
}

std::vector<IndexEntry> ViewEntries(const IndexPageView& view) {
  std::vector<IndexEntry> out;
  for (size_t at = 0; at < view.data_end();) {
    auto e = view.EntryAt(at);
    EXPECT_TRUE(e.has_value());
    if (!e) break;
    out.push_back(e->ToEntry());
    at = e->end;
  }
  return out;
}

std::vector<uint8_t> WholeEntry(const IndexEntry& e, bool leaf) {
  std::vector<uint8_t> bytes;
  EncodeIndexEntry(e.key, e.data_page, e.data_row, leaf, e.child, &bytes);
  return bytes;
}

// Puts `entry` in place of page.entries[from, to) with SpliceIndexEntry and
// checks the outcome against BuildIndexPage of the same change: taken exactly
// when the entries fit, and then the very image BuildIndexPage writes.
void ExpectSpliceAsBuilt(std::span<const std::byte> original, uint32_t number, size_t from, size_t to,
                         const IndexEntry& entry, const std::string& where) {
  auto parsed = ParseIndexPage(original, number);
  ASSERT_TRUE(parsed.has_value());
  IndexPage expected = *parsed;
  expected.entries.erase(expected.entries.begin() + from, expected.entries.begin() + to);
  expected.entries.insert(expected.entries.begin() + from, entry);
  std::vector<std::byte> image(original.begin(), original.end());
  auto view = IndexPageView::Open(image, number);
  ASSERT_TRUE(view.has_value());
  // Entries are named by where their stored bytes begin.
  size_t start = 0, end = 0;
  for (size_t i = 0, at = 0; i <= to && at <= view->data_end(); ++i) {
    if (i == from) start = at;
    if (i == to) {
      end = at;
      break;
    }
    at = view->EntryAt(at)->end;
  }
  const auto bytes = WholeEntry(entry, parsed->leaf);
  const bool fits = FitsOnIndexPage(expected);
  EXPECT_EQ(SpliceIndexEntry(*view, {}, start, end, bytes), fits) << where;
  IndexSpliceBytes changes;
  EXPECT_EQ(PlanIndexSplice(*view, start, end, bytes, &changes), fits) << where;
  ASSERT_EQ(SpliceIndexEntry(*view, image, start, end, bytes), fits) << where;
  if (!fits) {
    EXPECT_TRUE(std::equal(image.begin(), image.end(), original.begin())) << where << ": declined, yet written";
    return;
  }
  std::vector<std::byte> built(kIndexPageSize);
  BuildIndexPage(expected, built);
  EXPECT_TRUE(image == built) << where;
  // Undoing the splice keeps only the bytes the plan names: none other may change.
  if (!changes.whole) {
    for (size_t i = kIndexMaskOffset; i < kIndexPageSize; ++i) {
      const bool named = (i >= changes.mask_from && i < changes.mask_to) || (i >= changes.data_from && i < changes.data_to);
      if (!named && image[i] != original[i]) {
        ADD_FAILURE() << where << ": byte " << i << " changed outside the planned ranges";
        break;
      }
    }
  }
}

// The in-place reader sees what the parser sees on every page Access wrote
// (with and without a shared prefix), its bisection lands where
// std::lower_bound does, and entries spliced into those pages leave exactly
// the image BuildIndexPage writes for the changed entries.
TEST(IndexPage, InPlaceReadsAndSplicesAgreeWithParseAndBuild) {
  REQUIRE_SHARED(shared);
  size_t pages = 0, splices = 0;
  for (const auto& item : std::filesystem::directory_iterator(shared + "/fixtures/access")) {
    const auto ext = item.path().extension();
    if (ext != ".mdb" && ext != ".accdb") continue;
    testing::FixtureFile db(item.path().string());
    if (db.PageCount() < 3 || db.U8(2 * testing::kPage) != 0x02) continue;
    for (uint32_t p = 1; p < db.PageCount(); ++p) {
      const uint8_t type = db.U8(size_t{p} * testing::kPage);
      if (type != kIndexLeafPage && type != kIndexNodePage) continue;
      const std::string where = item.path().filename().string() + " page " + std::to_string(p);
      auto parsed = ParseIndexPage(db.Page(p), p);
      ASSERT_TRUE(parsed.has_value());
      auto view = IndexPageView::Open(db.Page(p), p);
      ASSERT_TRUE(view.has_value()) << where << ": " << view.error().message;
      EXPECT_EQ(view->leaf(), parsed->leaf);
      EXPECT_EQ(view->prev_page(), parsed->prev_page);
      EXPECT_EQ(view->next_page(), parsed->next_page);
      EXPECT_EQ(view->tail_page(), parsed->tail_page);
      EXPECT_EQ(view->Count(), parsed->entries.size());
      const auto seen = ViewEntries(*view);
      ASSERT_EQ(seen.size(), parsed->entries.size()) << where;
      for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_TRUE(seen[i].SameRow(parsed->entries[i]) && seen[i].child == parsed->entries[i].child)
            << where << " entry " << i;
      }
      const auto& entries = parsed->entries;
      for (size_t i = 0; i < entries.size(); ++i) {
        // Probes at an entry, just below it and just above it.
        for (int step : {0, -1, 1}) {
          IndexEntry probe = entries[i];
          if (step < 0 && probe.data_row == 0) continue;
          if (step > 0 && probe.data_row == 255) continue;
          probe.data_row = static_cast<uint8_t>(probe.data_row + step);
          const auto expected = std::lower_bound(entries.begin(), entries.end(), probe) - entries.begin();
          auto at = view->LowerBound(IndexProbe{probe.key, probe.data_page, probe.data_row});
          ASSERT_TRUE(at.has_value());
          size_t index = 0;
          for (size_t pos = 0; pos < *at; pos = view->EntryAt(pos)->end) ++index;
          EXPECT_EQ(index, static_cast<size_t>(expected)) << where << " entry " << i << " step " << step;
        }
      }
      // Splices: a new row for a key the page holds, at its place; an entry
      // replaced by itself with another child (nodes) or row (leaves, where
      // the order allows it).
      for (size_t i = 0; i < entries.size(); i += std::max<size_t>(1, entries.size() / 7)) {
        IndexEntry added = entries[i];
        added.data_row = static_cast<uint8_t>(added.data_row + 1);
        if (added.data_row != 0 && !(i + 1 < entries.size() && !(added < entries[i + 1]))) {
          added.child = parsed->leaf ? 0 : 77;
          ExpectSpliceAsBuilt(db.Page(p), p, i + 1, i + 1, added, where + " insert after " + std::to_string(i));
          ++splices;
        }
        IndexEntry replaced = entries[i];
        if (!parsed->leaf) replaced.child += 1000;
        ExpectSpliceAsBuilt(db.Page(p), p, i, i + 1, replaced, where + " replace " + std::to_string(i));
        ++splices;
      }
      ++pages;
    }
  }
  EXPECT_GT(pages, 50u);
  EXPECT_GT(splices, pages);
}

// Keys with a long common beginning fill a page past what it holds without
// a shared prefix: splices then add, keep or drop the prefix (the page is
// written anew when it changes) and decline once the entries cannot fit.
TEST(IndexPage, SplicesFollowTheSharedPrefixAsBuildWritesIt) {
  auto key = [](int lead, int n) {
    IndexKey k(1, 0x7F);
    k.insert(k.end(), 90, static_cast<uint8_t>(0x40 + lead));
    for (int d = 1000; d > 0; d /= 10) k.push_back(static_cast<uint8_t>(0x30 + n / d % 10));
    return k;
  };
  for (bool leaf : {true, false}) {
    IndexPage page;
    page.leaf = leaf;
    page.prev_page = 11;
    page.next_page = 12;
    page.tail_page = leaf ? 0 : 99;
    page.tdef_page = 2;
    std::vector<std::byte> image(kIndexPageSize);
    for (int n = 0; n < 80; n += 2) {
      page.entries.clear();
      for (int i = 0; i <= n; i += 2) page.entries.push_back(IndexEntry{key(1, i), 5, 1, leaf ? 0u : 40u + i});
      if (!FitsOnIndexPage(page)) break;
      BuildIndexPage(page, image);
      const std::string where = (leaf ? "leaf" : "node") + std::string(" with ") + std::to_string(n / 2 + 1);
      // First, middle and last places; a key that differs from the others
      // early (the prefix shrinks) at either end.
      const IndexEntry in_first{key(1, 0), 4, 0, leaf ? 0u : 7u};
      const int odd = n / 2 | 1;
      const size_t middle = static_cast<size_t>(std::min(odd + 1, n + 2) / 2);  // the even keys below it
      const IndexEntry in_middle{key(1, odd), 5, 1, leaf ? 0u : 7u};
      const IndexEntry in_last{key(1, n + 1), 5, 1, leaf ? 0u : 7u};
      const IndexEntry far_first{key(0, 5), 5, 1, leaf ? 0u : 7u};
      const IndexEntry far_last{key(2, 5), 5, 1, leaf ? 0u : 7u};
      const size_t count = page.entries.size();
      ExpectSpliceAsBuilt(image, 9, 0, 0, in_first, where + " first");
      ExpectSpliceAsBuilt(image, 9, middle, middle, in_middle, where + " middle");
      ExpectSpliceAsBuilt(image, 9, count, count, in_last, where + " last");
      ExpectSpliceAsBuilt(image, 9, 0, 0, far_first, where + " far first");
      ExpectSpliceAsBuilt(image, 9, count, count, far_last, where + " far last");
      ExpectSpliceAsBuilt(image, 9, count - 1, count, far_last, where + " last replaced");
      if (count > 1) ExpectSpliceAsBuilt(image, 9, 0, 1, far_first, where + " first replaced");
    }
  }
}

TEST(IndexPage, HostileImagesFailCleanly) {
  std::vector<std::byte> image(kIndexPageSize);
  IndexPage page;
  page.entries.push_back(IndexEntry{{0x7F, 0x80, 0, 0, 1}, 5, 1, 0});
  page.entries.push_back(IndexEntry{{0x7F, 0x80, 0, 0, 2}, 5, 2, 0});
  BuildIndexPage(page, image);
  ASSERT_TRUE(ParseIndexPage(image, 9).has_value());
  auto damaged = image;
  damaged[0x18] = std::byte{200};  // shared prefix longer than the first entry
  EXPECT_EQ(ParseIndexPage(damaged, 9).error().code, ErrorCode::kCorruption);
  damaged = image;
  damaged[kIndexMaskOffset] = std::byte{0x03};  // entries of 0 and 1 bytes
  EXPECT_FALSE(ParseIndexPage(damaged, 9).has_value());
  damaged = image;
  damaged[0] = std::byte{0x01};
  EXPECT_FALSE(ParseIndexPage(damaged, 9).has_value());
  EXPECT_FALSE(ParseIndexPage(std::span(image).first(100), 9).has_value());

  // The in-place reader refuses the same damage, and entries shorter than
  // their row pointer when it meets them.
  damaged = image;
  damaged[0x18] = std::byte{200};
  EXPECT_EQ(IndexPageView::Open(damaged, 9).error().code, ErrorCode::kCorruption);
  damaged = image;
  damaged[kIndexMaskOffset] = std::byte{0x03};
  EXPECT_FALSE(IndexPageView::Open(damaged, 9).has_value());
  damaged = image;
  damaged[kIndexMaskOffset] = std::byte{0x04};  // a first entry of 2 bytes
  auto view = IndexPageView::Open(damaged, 9);
  ASSERT_TRUE(view.has_value());
  EXPECT_EQ(view->First().error().code, ErrorCode::kCorruption);
  const uint8_t low_key[] = {0x00};  // the search ends on the damaged entry
  EXPECT_FALSE(view->LowerBound(IndexProbe{low_key, 0, 0}).has_value());
  damaged = image;
  damaged[kIndexMaskOffset + 452] = std::byte{0x80};  // an entry end past the page's room
  EXPECT_FALSE(IndexPageView::Open(damaged, 9).has_value());
  damaged = image;
  damaged[0] = std::byte{0x01};
  EXPECT_FALSE(IndexPageView::Open(damaged, 9).has_value());
  EXPECT_FALSE(IndexPageView::Open(std::span(image).first(100), 9).has_value());
}

}  // namespace
}  // namespace jet::format
