#include "platform/jet/format/index_page.h"

#include <gtest/gtest.h>

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
}

}  // namespace
}  // namespace jet::format
