#include "platform/jet/format/index_key.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include <fmt/format.h>

#include "platform/jet/format/index_page.h"
#include "tests/jet/index/fixture_file.h"
#include "tests/support/environment.h"

namespace jet::format {
namespace {

std::string Hex(const IndexKey& key) {
  std::string out;
  for (uint8_t b : key) out += fmt::format("{}{:02X}", out.empty() ? "" : " ", b);
  return out;
}

std::string TextKey(const std::string& value, TextSortOrder order, bool ascending = true) {
  const Cell cell{value};
  auto key = EncodeIndexKey(std::vector<KeyColumn>{{&cell, ColumnType::kText, ascending, order}});
  EXPECT_TRUE(key.has_value());
  return key ? Hex(*key) : "";
}

std::string LongKey(int64_t value, bool ascending = true) {
  const Cell cell{value};
  auto key = EncodeIndexKey(std::vector<KeyColumn>{{&cell, ColumnType::kLong, ascending}});
  return key ? Hex(*key) : "";
}

TEST(IndexKey, TextKeysOfBothSortOrders) {
  constexpr auto kLegacy = TextSortOrder::kGeneralLegacy;
  constexpr auto kGeneral = TextSortOrder::kGeneral;
  EXPECT_EQ(TextKey("MSysObjects", kLegacy), "7F 60 6B 76 6B 64 4C 5B 51 4D 6D 6B 01 00");
  EXPECT_EQ(TextKey("MSysObjects", kGeneral),
            "7F 0E 51 0E 91 0E A7 0E 91 0E 7C 0E 09 0E 35 0E 21 0E 0A 0E 99 0E 91 01 00");
  for (const char* same : {"abc", "ABC", "abc  "}) {
    EXPECT_EQ(TextKey(same, kLegacy), "7F 4A 4C 4D 01 00") << same;
    EXPECT_EQ(TextKey(same, kGeneral), "7F 0E 02 0E 09 0E 0A 01 00") << same;
  }
  EXPECT_EQ(TextKey("Café", kLegacy), "7F 4D 4A 53 51 01 02 02 02 0E 00");
  EXPECT_EQ(TextKey("Café", kGeneral), "7F 0E 0A 0E 02 0E 23 0E 21 01 02 02 02 0E 00");
  EXPECT_EQ(TextKey("O'Brien", kLegacy), "7F 64 4C 69 59 51 62 01 01 01 01 80 0B 06 80 00");
  EXPECT_EQ(TextKey("O'Brien", kGeneral), "7F 0E 7C 0E 09 0E 8A 0E 32 0E 21 0E 70 01 01 01 01 80 0B 06 80 00");
  EXPECT_EQ(TextKey("A_1", kLegacy), "7F 4A 2B 03 38 01 00");
  EXPECT_EQ(TextKey("A_1", kGeneral), "7F 0E 02 07 44 0D 19 01 00");
  EXPECT_EQ(TextKey("ß", kLegacy), "7F 6B 6B 01 00");
  EXPECT_EQ(TextKey("ß", kGeneral), "7F 0E 91 0E 91 01 00");
  EXPECT_EQ(TextKey("abc", kLegacy, false), "80 B5 B3 B2 FE FF 00");
  // Only the first 255 UTF-16 units count.
  EXPECT_EQ(TextKey(std::string(255, 'a'), kLegacy), TextKey(std::string(300, 'a'), kLegacy));
}

TEST(IndexKey, NumbersSortAsUnsignedBytes) {
  EXPECT_EQ(LongKey(5), "7F 80 00 00 05");
  EXPECT_EQ(LongKey(-1), "7F 7F FF FF FF");
  EXPECT_EQ(LongKey(0x0F000001), "7F 8F 00 00 01");
  EXPECT_EQ(LongKey(INT32_MIN), "7F 00 00 00 00");
  EXPECT_EQ(LongKey(5, false), "80 7F FF FF FA");
  const Cell null{Null{}};
  EXPECT_EQ(Hex(*EncodeIndexKey(std::vector<KeyColumn>{{&null, ColumnType::kLong, true}})), "00");
  EXPECT_EQ(Hex(*EncodeIndexKey(std::vector<KeyColumn>{{&null, ColumnType::kLong, false}})), "FF");

  // The catalogue's ParentIdName key of table t1 in the Tables container.
  const Cell parent{int64_t{0x0F000001}}, name{std::string("t1")};
  auto key = EncodeIndexKey(std::vector<KeyColumn>{{&parent, ColumnType::kLong, true},
                                                   {&name, ColumnType::kText, true, TextSortOrder::kGeneralLegacy}});
  EXPECT_EQ(Hex(*key), "7F 8F 00 00 01 7F 6D 38 01 00");

  // Doubles and dates keep their numeric order under byte comparison.
  std::vector<double> values = {-1e300, -2.5, -1, -0.5, 0, 1e-300, 0.5, 1, 2.5, 1e300};
  IndexKey previous;
  for (size_t i = 0; i < values.size(); ++i) {
    const Cell cell{DateTimeValue{values[i]}};
    auto k = EncodeIndexKey(std::vector<KeyColumn>{{&cell, ColumnType::kDateTime, true}});
    ASSERT_TRUE(k.has_value());
    if (i > 0) EXPECT_LT(CompareKeys(previous, *k), 0) << values[i];
    previous = *k;
  }
  const Cell guid{Guid{}};
  EXPECT_EQ(EncodeIndexKey(std::vector<KeyColumn>{{&guid, ColumnType::kGuid, true}}).error().code,
            ErrorCode::kNotSupported);
  EXPECT_EQ(SortOrderOfCollation(1033, 0), TextSortOrder::kGeneralLegacy);
  EXPECT_EQ(SortOrderOfCollation(1033, 1), TextSortOrder::kGeneral);
  EXPECT_FALSE(SortOrderOfCollation(1041, 0).has_value());  // Japanese: keys unknown, never written
}

// Re-encodes the key of every entry Access wrote into the fixtures' indexes
// (text, number and date columns) from the row it points at.
TEST(IndexKey, ReproducesEveryKeyAccessWrote) {
  REQUIRE_SHARED(shared);
  const std::filesystem::path folder = shared + "/fixtures/access";
  const std::set<uint8_t> supported = {0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x0A};
  size_t checked = 0, text_checked = 0, general_checked = 0;
  for (const auto& item : std::filesystem::directory_iterator(folder)) {
    const std::string file = item.path().filename().string();
    if (item.path().extension() != ".mdb" && item.path().extension() != ".accdb") continue;
    testing::FixtureFile db(item.path().string());
    if (db.PageCount() < 3 || db.U8(2 * testing::kPage) != 0x02) continue;  // encrypted pages
    for (uint32_t table_page : db.TablePages()) {
      auto table = db.Table(table_page);
      if (!table) continue;
      for (const auto& index : table->indexes) {
        std::vector<KeyColumn> columns;
        std::vector<const testing::FixtureColumn*> defs;
        bool usable = !index.columns.empty();
        for (auto [number, ascending] : index.columns) {
          const auto* c = table->Column(number);
          if (!c || !supported.count(c->type)) {
            usable = false;
            break;
          }
          KeyColumn k{nullptr, static_cast<ColumnType>(c->type), ascending};
          if (c->type == 0x0A) {
            auto order = SortOrderOfCollation(c->lcid, c->sort_version);
            if (!order) {
              usable = false;
              break;
            }
            k.sort_order = *order;
          }
          columns.push_back(k);
          defs.push_back(c);
        }
        if (!usable) continue;
        // Leftmost leaf, then along the leaf chain.
        uint32_t page = index.root;
        for (int depth = 0; depth < 8; ++depth) {
          auto parsed = ParseIndexPage(db.Page(page), page);
          ASSERT_TRUE(parsed.has_value()) << file << ": " << parsed.error().message;
          if (parsed->leaf) break;
          page = parsed->entries.empty() ? parsed->tail_page : parsed->entries.front().child;
        }
        for (size_t hops = 0; page != 0 && hops < db.PageCount(); ++hops) {
          auto leaf = ParseIndexPage(db.Page(page), page);
          ASSERT_TRUE(leaf.has_value()) << file << ": " << leaf.error().message;
          ASSERT_TRUE(leaf->leaf) << file << " page " << page;
          for (size_t i = 0; i < leaf->entries.size(); ++i) {
            const IndexEntry& e = leaf->entries[i];
            if (i > 0) EXPECT_TRUE(leaf->entries[i - 1] < e) << file << " page " << page << " entry " << i;
            auto row = db.Row(e.data_page, e.data_row);
            if (!row) continue;
            std::vector<Cell> cells;
            cells.reserve(defs.size());
            for (const auto* c : defs) cells.push_back(db.Value(*table, *c, *row));
            for (size_t k = 0; k < columns.size(); ++k) columns[k].value = &cells[k];
            auto key = EncodeIndexKey(columns);
            ASSERT_TRUE(key.has_value()) << key.error().message;
            EXPECT_EQ(Hex(*key), Hex(e.key)) << file << " table page " << table_page << " index page " << page;
            ++checked;
            for (const auto& c : columns) {
              if (c.type == ColumnType::kText) {
                ++text_checked;
                if (c.sort_order == TextSortOrder::kGeneral) ++general_checked;
              }
            }
          }
          page = leaf->next_page;
        }
      }
    }
  }
  EXPECT_GT(checked, 1000u);
  EXPECT_GT(text_checked, 500u);
  EXPECT_GT(general_checked, 100u);
  std::cout << "index entries re-encoded: " << checked << " (text " << text_checked << ", General "
            << general_checked << ")\n";
}

}  // namespace
}  // namespace jet::format
