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
    if (i > 0) {
      EXPECT_LT(CompareKeys(previous, *k), 0) << values[i];
    }
    previous = *k;
  }
  EXPECT_EQ(SortOrderOfCollation(1033, 0), TextSortOrder::kGeneralLegacy);
  EXPECT_EQ(SortOrderOfCollation(1033, 1), TextSortOrder::kGeneral);
  EXPECT_FALSE(SortOrderOfCollation(1041, 0).has_value());  // Japanese: keys unknown, never written
}

std::string Key(const Cell& cell, ColumnType type, bool ascending, uint8_t scale = 0, bool jet4 = false) {
  KeyColumn column{&cell, type, ascending};
  column.scale = scale;
  column.jet4 = jet4;
  auto key = EncodeIndexKey(std::vector<KeyColumn>{column});
  EXPECT_TRUE(key.has_value()) << key.error().message;
  return key ? Hex(*key) : "";
}

TEST(IndexKey, YesNoBinaryGuidAndMemoValues) {
  EXPECT_EQ(Key(true, ColumnType::kBoolean, true), "7F 00");
  EXPECT_EQ(Key(false, ColumnType::kBoolean, true), "7F FF");
  EXPECT_EQ(Key(Null{}, ColumnType::kBoolean, true), "7F FF");  // never NULL: No
  EXPECT_EQ(Key(true, ColumnType::kBoolean, false), "80 FF");
  EXPECT_EQ(Key(false, ColumnType::kBoolean, false), "80 00");

  EXPECT_EQ(Key(Bytes{0xAA, 0xBB, 0xCC}, ColumnType::kBinary, true), "7F AA BB CC 00 00 00 00 00 03");
  EXPECT_EQ(Key(Bytes{0xAA, 0xBB, 0xCC}, ColumnType::kBinary, false), "80 55 44 33 FF FF FF FF FF FC");
  EXPECT_EQ(Key(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, ColumnType::kBinary, true),
            "7F 01 02 03 04 05 06 07 08 09 09 0A 00 00 00 00 00 00 02");
  EXPECT_EQ(Key(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, ColumnType::kBinary, false),
            "80 FE FD FC FB FA F9 F8 F7 09 F6 F5 FF FF FF FF FF FF FD");
  EXPECT_EQ(Key(Bytes{}, ColumnType::kBinary, true), "7F");
  EXPECT_EQ(Key(Null{}, ColumnType::kBinary, false), "FF");

  // {00112233-4455-6677-8899-AABBCCDDEEFF}, stored with Data1..Data3 little-endian.
  Guid guid{{0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
  EXPECT_EQ(Key(guid, ColumnType::kGuid, true), "7F 00 11 22 33 44 55 66 77 09 88 99 AA BB CC DD EE FF 08");

  // Memo keys are the text keys of the first 255 UTF-16 units.
  EXPECT_EQ(Key(std::string(255, 'a') + "bbb", ColumnType::kMemo, true), Key(std::string(255, 'a'), ColumnType::kText, true));

  const Cell ole{Bytes{1}};
  IndexKey key{0x7F};
  EXPECT_EQ(AppendKeyColumn({&ole, ColumnType::kOle, true}, &key).error().code, ErrorCode::kNotSupported);
  EXPECT_EQ(key, IndexKey{0x7F});
}

// Decimal keys, scale 1: ascending alike in Jet 4 and ACE; descending ACE
// keys in reverse order; descending Jet 4 keys put every negative value first.
TEST(IndexKey, DecimalKeysOfJet4AndAce) {
  auto dec = [](int64_t unscaled, uint8_t scale = 1) {
    const uint64_t m = static_cast<uint64_t>(unscaled < 0 ? -unscaled : unscaled);
    return Cell{Decimal{static_cast<uint32_t>(m), static_cast<uint32_t>(m >> 32), 0, unscaled < 0, scale}};
  };
  std::string z, f;  // 15 bytes 00, 15 bytes FF
  for (int i = 0; i < 15; ++i) z += " 00", f += " FF";
  for (bool jet4 : {false, true}) {
    EXPECT_EQ(Key(dec(0), ColumnType::kNumeric, true, 1, jet4), "7F FF" + z + " 00");
    EXPECT_EQ(Key(dec(15), ColumnType::kNumeric, true, 1, jet4), "7F FF" + z + " 0F");
    EXPECT_EQ(Key(dec(-15), ColumnType::kNumeric, true, 1, jet4), "7F 00" + f + " F0");
  }
  EXPECT_EQ(Key(dec(15), ColumnType::kNumeric, false, 1, false), "80 00" + f + " F0");
  EXPECT_EQ(Key(dec(-15), ColumnType::kNumeric, false, 1, false), "80 FF" + z + " 0F");
  EXPECT_EQ(Key(dec(15), ColumnType::kNumeric, false, 1, true), "80 FF" + f + " F0");
  EXPECT_EQ(Key(dec(-15), ColumnType::kNumeric, false, 1, true), "80 00" + z + " 0F");
  // The value at the column's scale: 1.50 and 1.5 are one key; 1.25 rounds to 1.2.
  EXPECT_EQ(Key(dec(150, 2), ColumnType::kNumeric, true, 1), Key(dec(15), ColumnType::kNumeric, true, 1));
  EXPECT_EQ(Key(dec(125, 2), ColumnType::kNumeric, true, 1), Key(dec(12), ColumnType::kNumeric, true, 1));

  const Cell huge_negative{Decimal{0, 0, 0x10000000, true, 1}}, huge{Decimal{0, 0, 0x10000000, false, 1}};
  const std::vector<Cell> sorted = {huge_negative, dec(-300), dec(-256), dec(-255), dec(-1), dec(0),
                                    dec(1),        dec(255),  dec(256),  dec(300),  huge};
  auto keys = [&](bool ascending, bool jet4) {  // vectors of bytes compare as unsigned bytes, as keys do
    std::vector<IndexKey> out;
    for (const Cell& c : sorted) {
      KeyColumn column{&c, ColumnType::kNumeric, ascending};
      column.scale = 1;
      column.jet4 = jet4;
      out.push_back(*EncodeIndexKey(std::vector<KeyColumn>{column}));
    }
    return out;
  };
  auto strictly_ascending = [](auto begin, auto end) {
    return std::adjacent_find(begin, end, [](const auto& a, const auto& b) { return !(a < b); }) == end;
  };
  for (bool jet4 : {false, true}) {
    auto asc = keys(true, jet4);
    EXPECT_TRUE(strictly_ascending(asc.begin(), asc.end())) << "Jet 4: " << jet4;
  }
  auto ace_desc = keys(false, false);
  EXPECT_TRUE(strictly_ascending(ace_desc.rbegin(), ace_desc.rend()));
  auto jet4_desc = keys(false, true);
  const std::vector<IndexKey> negatives(jet4_desc.begin(), jet4_desc.begin() + 5),
      others(jet4_desc.begin() + 5, jet4_desc.end());
  EXPECT_TRUE(strictly_ascending(negatives.rbegin(), negatives.rend()));
  EXPECT_TRUE(strictly_ascending(others.rbegin(), others.rend()));
  EXPECT_LT(negatives.front(), others.back());  // every negative value before every other one
}

// Re-encodes the key of every entry Access wrote into the fixtures' indexes
// (text, number, date, Yes/No, Binary and GUID columns) from the row it
// points at. Binary keys, ascending and descending, come from
// binary-index-2010.accdb. No fixture has an Access-written Yes/No, GUID or
// Decimal key: the GUID primary keys of Table4 (content-*) are empty.
TEST(IndexKey, ReproducesEveryKeyAccessWrote) {
  REQUIRE_SHARED(shared);
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"/fixtures/access", "/fixtures/indexes"})
    for (const auto& item : std::filesystem::directory_iterator(shared + folder))
      if (item.path().extension() == ".mdb" || item.path().extension() == ".accdb") files.push_back(item.path());
  const std::set<uint8_t> supported = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0F};
  size_t checked = 0, text_checked = 0, general_checked = 0, binary_ascending = 0, binary_descending = 0;
  for (const auto& path : files) {
    const std::string file = path.filename().string();
    testing::FixtureFile db(path.string());
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
            if (i > 0) {
              EXPECT_TRUE(leaf->entries[i - 1] < e) << file << " page " << page << " entry " << i;
            }
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
              if (c.type == ColumnType::kBinary) ++(c.ascending ? binary_ascending : binary_descending);
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
  EXPECT_GT(binary_ascending, 100u);
  EXPECT_GT(binary_descending, 100u);
  std::cout << "index entries re-encoded: " << checked << " (text " << text_checked << ", General "
            << general_checked << ", Binary " << binary_ascending << " ascending and " << binary_descending
            << " descending)\n";
}

}  // namespace
}  // namespace jet::format
