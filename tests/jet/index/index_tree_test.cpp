#include "platform/jet/table/index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include <fmt/format.h>

#include "tests/jet/index/fixture_file.h"
#include "tests/jet/memory_page_store.h"
#include "tests/support/environment.h"

namespace jet::table {
namespace {

using format::IndexEntry;
using format::IndexKey;

struct Row {
  IndexKey key;
  uint32_t page;
  uint8_t row;
  bool operator<(const Row& o) const {
    if (int c = format::CompareKeys(key, o.key); c != 0) return c < 0;
    return std::tie(page, row) < std::tie(o.page, o.row);
  }
  bool operator==(const Row& o) const = default;
};

IndexKey CatalogKey(int64_t parent, const std::string& name, format::TextSortOrder order) {
  const Cell p{parent}, n{name};
  const format::KeyColumn columns[] = {{&p, ColumnType::kLong, true}, {&n, ColumnType::kText, true, order}};
  return *format::EncodeIndexKey(columns);
}

// A tree whose pages come from the store's end and whose freed pages are recorded.
struct Harness {
  testing_support::MemoryPageStore store;
  std::vector<uint32_t> freed;
  uint32_t root;
  IndexTree tree;

  std::vector<std::vector<std::byte>> before;  // the pages as given

  Harness(testing_support::MemoryPageStore s, uint32_t root_page)
      : store(std::move(s)), root(root_page), tree(store, root_page, 2, Callbacks()) {
    for (uint32_t p = 0; p < store.PageCount(); ++p) {
      auto page = store.Page(p);
      before.emplace_back(page.begin(), page.end());
    }
  }
  IndexCallbacks Callbacks() {
    return IndexCallbacks{[this]() { return store.Append(); },
                          [this](uint32_t page) {
                            freed.push_back(page);
                            return Status{};
                          }};
  }

  std::vector<Row> Entries() {
    std::vector<Row> out;
    auto walked = tree.Walk([&](const IndexEntry& e) {
      out.push_back(Row{e.key, e.data_page, e.data_row});
      return Status{};
    });
    EXPECT_TRUE(walked.has_value()) << walked.error().message;
    return out;
  }
  void ExpectSound(const std::set<Row>& expected) {
    auto verified = tree.Verify();
    ASSERT_TRUE(verified.has_value()) << verified.error().message;
    EXPECT_EQ(Entries(), std::vector<Row>(expected.begin(), expected.end()));
    auto pages = tree.Pages();
    ASSERT_TRUE(pages.has_value());
    for (uint32_t p : freed) EXPECT_EQ(std::count(pages->begin(), pages->end(), p), 0) << "freed page in use " << p;
    // Every page the tree wrote, whether changed in place or rebuilt, is
    // byte for byte what BuildIndexPage writes for its entries.
    for (uint32_t p : *pages) {
      auto image = store.Page(p);
      if (p < before.size() && std::equal(image.begin(), image.end(), before[p].begin())) continue;
      auto parsed = format::ParseIndexPage(image, p);
      ASSERT_TRUE(parsed.has_value()) << parsed.error().message;
      std::vector<std::byte> built(format::kIndexPageSize);
      format::BuildIndexPage(*parsed, built);
      EXPECT_TRUE(std::equal(image.begin(), image.end(), built.begin())) << "page " << p << " is not as built";
    }
  }
  // Contains and Find agree with the expected entries for `key`.
  void ExpectFound(const std::set<Row>& expected, const IndexKey& key) {
    size_t n = 0;
    for (const Row& r : expected) n += r.key == key;
    auto found = tree.Find(key);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->size(), n);
    auto held = tree.Contains(key);
    ASSERT_TRUE(held.has_value());
    EXPECT_EQ(*held, n > 0);
  }
};

Harness EmptyTree() {
  testing_support::MemoryPageStore store(4);
  EXPECT_TRUE(IndexTree::InitializeRoot(store, 3, 2).has_value());
  return Harness(std::move(store), 3);
}

TEST(IndexTree, ThreeHundredTablesInTheCatalogueOfARealFile) {
  for (const char* fixture : {"engine-empty-jet4.mdb", "empty-2010.accdb"}) {
    REQUIRE_FIXTURE(path, fixture);
    testing::FixtureFile file(path);
    auto catalog = file.Table(2);
    ASSERT_TRUE(catalog.has_value());
    ASSERT_GE(catalog->indexes.size(), 1u);
    // ParentIdName: the index on ParentId and Name.
    const testing::FixtureIndex* parent_name = nullptr;
    for (const auto& x : catalog->indexes) {
      if (x.columns.size() == 2) parent_name = &x;
    }
    ASSERT_NE(parent_name, nullptr);
    const auto* name_column = catalog->Column(parent_name->columns[1].first);
    const auto order = *format::SortOrderOfCollation(name_column->lcid, name_column->sort_version);

    Harness h(testing_support::MemoryPageStore(file.bytes()), parent_name->root);
    std::set<Row> expected;
    for (const auto& r : h.Entries()) expected.insert(r);
    ASSERT_FALSE(expected.empty());
    const size_t original = expected.size();
    h.ExpectSound(expected);

    std::mt19937 random(7);
    std::vector<Row> added;
    for (int i = 0; i < 320; ++i) {
      Row r{CatalogKey(0x0F000001, fmt::format("table_{:03d}_{}", (i * 37) % 320, "Ünïcode 😀"), order),
            static_cast<uint32_t>(1000 + i / 8), static_cast<uint8_t>(i % 8)};
      auto inserted = h.tree.Insert(r.key, r.page, r.row);
      ASSERT_TRUE(inserted.has_value()) << inserted.error().message;
      EXPECT_TRUE(*inserted);
      expected.insert(r);
      added.push_back(r);
    }
    h.ExpectSound(expected);
    auto pages = h.tree.Pages();
    ASSERT_TRUE(pages.has_value());
    EXPECT_GT(pages->size(), 3u) << fixture << ": the root should have split";

    // The same name again (a second row) is not a new key; the same row is refused.
    EXPECT_FALSE(*h.tree.Insert(added[5].key, 5000, 1));
    expected.insert(Row{added[5].key, 5000, 1});
    EXPECT_EQ(h.tree.Insert(added[5].key, added[5].page, added[5].row).error().code, ErrorCode::kAlreadyExists);
    auto found = h.tree.Find(added[5].key);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->size(), 2u);

    std::shuffle(added.begin(), added.end(), random);
    for (size_t i = 0; i < added.size(); ++i) {
      ASSERT_TRUE(h.tree.Remove(added[i].key, added[i].page, added[i].row).has_value());
      expected.erase(added[i]);
      if (i % 80 == 0) h.ExpectSound(expected);
    }
    EXPECT_EQ(h.tree.Remove(added[0].key, added[0].page, added[0].row).error().code, ErrorCode::kNotFound);
    h.ExpectSound(expected);
    EXPECT_EQ(expected.size(), original + 1);
    EXPECT_FALSE(h.freed.empty());
  }
}

TEST(IndexTree, DeepTreesStaySoundUnderRandomInsertsAndRemoves) {
  Harness h = EmptyTree();
  std::set<Row> expected;
  std::mt19937 random(11);
  std::vector<Row> live;
  // Long text keys (about 120 bytes) give few entries per page and a three-level tree.
  auto make = [&](int n) {
    return Row{CatalogKey(n % 3, fmt::format("{:0>100}_{}", n * 7919 % 100003, n % 5),
                          format::TextSortOrder::kGeneral),
               static_cast<uint32_t>(n / 200 + 10), static_cast<uint8_t>(n % 200)};
  };
  for (int round = 0; round < 4; ++round) {
    for (int i = 0; i < 1500; ++i) {
      Row r = make(round * 1500 + i);
      ASSERT_TRUE(h.tree.Insert(r.key, r.page, r.row).has_value());
      expected.insert(r);
      live.push_back(r);
    }
    h.ExpectSound(expected);
    std::shuffle(live.begin(), live.end(), random);
    for (int i = 0; i < 1000; ++i) {
      ASSERT_TRUE(h.tree.Remove(live.back().key, live.back().page, live.back().row).has_value());
      expected.erase(live.back());
      live.pop_back();
    }
    h.ExpectSound(expected);
    // Keys held and keys removed (n % 5 repeats a key's text for other rows).
    for (int n = round * 1500; n < round * 1500 + 1500; n += 37) h.ExpectFound(expected, make(n).key);
  }
  // Ascending appends (catalogue Ids) as well.
  for (int64_t id = 0; id < 3000; ++id) {
    const Cell c{id};
    const format::KeyColumn column{&c, ColumnType::kLong, true};
    auto key = *format::EncodeIndexKey(std::span(&column, 1));
    ASSERT_TRUE(h.tree.Insert(key, static_cast<uint32_t>(id + 1), 0).has_value());
    expected.insert(Row{key, static_cast<uint32_t>(id + 1), 0});
  }
  h.ExpectSound(expected);
  for (const Row& r : std::vector<Row>(expected.begin(), expected.end())) {
    ASSERT_TRUE(h.tree.Remove(r.key, r.page, r.row).has_value());
  }
  expected.clear();
  h.ExpectSound(expected);
  auto pages = h.tree.Pages();
  EXPECT_EQ(pages->size(), 1u);  // back to an empty root leaf
}

// A unique index's check hands its insert the place it found; a place found
// before other inserts split the pages is not used.
TEST(IndexTree, InsertsAtThePlaceContainsFoundOnlyWhileItHolds) {
  Harness h = EmptyTree();
  std::set<Row> expected;
  auto key_of = [](int n) {
    return CatalogKey(1, fmt::format("{:0>60}", n * 7919 % 100003), format::TextSortOrder::kGeneral);
  };
  for (int i = 0; i < 3000; ++i) {
    const Row r{key_of(i), static_cast<uint32_t>(i / 100 + 10), static_cast<uint8_t>(i % 100)};
    IndexPosition held;
    ASSERT_FALSE(*h.tree.Contains(r.key, &held));
    if (i % 3 == 0) {
      // Another entry first: its splits move the place found.
      const Row other{key_of(i + 100000), 9, static_cast<uint8_t>(i % 200)};
      ASSERT_TRUE(h.tree.Insert(other.key, other.page, other.row).has_value());
      expected.insert(other);
    }
    auto fresh = h.tree.Insert(r.key, r.page, r.row, &held);
    ASSERT_TRUE(fresh.has_value()) << fresh.error().message;
    EXPECT_TRUE(*fresh);
    expected.insert(r);
    if (i % 1000 == 999) h.ExpectSound(expected);
  }
  IndexPosition none;
  EXPECT_TRUE(*h.tree.Contains(key_of(7), &none));
  EXPECT_EQ(none.tree, nullptr);
}

// Batches of sorted entries, as INSERTs leave them waiting: into an empty
// root, below, among and above the entries there (new largest ones through
// the last leaf's tails), with keys that repeat within a batch, across
// batches and across leaves, and long keys that split pages and grow the
// tree. The tree ends as sound as one filled entry by entry, each page as
// BuildIndexPage writes it, and each batch counts the keys it made new.
TEST(IndexTree, SortedBatchesGoInAsOneAtATimeWould) {
  Harness h = EmptyTree();
  std::set<Row> expected;
  std::set<IndexKey> keys;
  std::mt19937 random(5);
  int next_row = 0;
  for (int batch = 0; batch < 12; ++batch) {
    std::vector<Row> rows;
    const int count = batch == 0 ? 40 : 150 + batch * 60;
    for (int i = 0; i < count; ++i) {
      // Keys from a range that grows each batch; every fifth text long enough
      // for about 25 entries to a page; some values many times.
      const int n = static_cast<int>(random() % (400 + batch * 300));
      const std::string text = fmt::format("{:0>{}}", n % 7 == 0 ? n % 11 : n, n % 5 ? 12 : 140);
      const int row = (next_row++ * 7919) % 100000;  // rows of a key not in order of arrival
      rows.push_back(Row{CatalogKey(n % 4, text, format::TextSortOrder::kGeneral),
                         static_cast<uint32_t>(row / 200 + 10), static_cast<uint8_t>(row % 200)});
    }
    std::sort(rows.begin(), rows.end());
    size_t fresh_keys = 0;
    for (const Row& r : rows) {
      fresh_keys += keys.insert(r.key).second;
      expected.insert(r);
    }
    std::vector<format::IndexProbe> probes;
    for (const Row& r : rows) probes.push_back(format::IndexProbe{r.key, r.page, r.row});
    size_t new_keys = 0;
    auto inserted = h.tree.InsertSorted(probes, &new_keys);
    ASSERT_TRUE(inserted.has_value()) << "batch " << batch << ": " << inserted.error().message;
    EXPECT_EQ(new_keys, fresh_keys) << "batch " << batch;
    h.ExpectSound(expected);
  }
  auto pages = h.tree.Pages();
  ASSERT_TRUE(pages.has_value());
  EXPECT_GT(pages->size(), 40u);
  for (int n = 0; n < 4000; n += 97) h.ExpectFound(expected, CatalogKey(n % 4, fmt::format("{:0>12}", n), format::TextSortOrder::kGeneral));

  // An entry the tree holds already is refused.
  const Row& held = *std::next(expected.begin(), static_cast<long>(expected.size() / 2));
  const format::IndexProbe again[] = {{held.key, held.page, held.row}};
  size_t new_keys = 0;
  EXPECT_EQ(h.tree.InsertSorted(again, &new_keys).error().code, ErrorCode::kAlreadyExists);
}

TEST(IndexTree, DamagedTreesAreReportedNotFollowed) {
  Harness h = EmptyTree();
  std::set<Row> expected;
  for (int i = 0; i < 2000; ++i) {
    const Cell c{int64_t{i}};
    const format::KeyColumn column{&c, ColumnType::kLong, true};
    auto key = *format::EncodeIndexKey(std::span(&column, 1));
    ASSERT_TRUE(h.tree.Insert(key, 100, static_cast<uint8_t>(i % 256)).has_value());
  }
  auto pages = *h.tree.Pages();
  ASSERT_GT(pages.size(), 3u);
  // A leaf whose next pointer leads back to itself.
  auto leaf_page = pages.back();
  auto image = *h.store.Write(leaf_page);
  auto leaf = *format::ParseIndexPage(image, leaf_page);
  leaf.next_page = leaf_page;
  format::BuildIndexPage(leaf, image);
  auto walked = h.tree.Walk([](const IndexEntry&) { return Status{}; });
  ASSERT_FALSE(walked.has_value());
  EXPECT_EQ(walked.error().code, ErrorCode::kCorruption);
  // A root that names itself as a child.
  auto root_image = *h.store.Write(h.root);
  auto root = *format::ParseIndexPage(root_image, h.root);
  root.tail_page = h.root;
  format::BuildIndexPage(root, root_image);
  EXPECT_FALSE(h.tree.Verify().has_value());
  EXPECT_FALSE(h.tree.Pages().has_value());
  const Cell c{int64_t{5000}};
  const format::KeyColumn column{&c, ColumnType::kLong, true};
  EXPECT_EQ(h.tree.Insert(*format::EncodeIndexKey(std::span(&column, 1)), 1, 1).error().code,
            ErrorCode::kCorruption);
  // A page that is not an index page at all.
  auto junk = *h.store.Write(pages[1]);
  std::fill(junk.begin(), junk.end(), std::byte{0x01});
  EXPECT_FALSE(format::ParseIndexPage(junk, pages[1]).has_value());
}

}  // namespace
}  // namespace jet::table
