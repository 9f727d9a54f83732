// Definitions of new tables: byte layout against a definition all three
// independent readers accepted, the column layout rules, continuation pages,
// and the refusals.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/tdef.h"
#include "platform/jet/format/tdef_writer.h"
#include "tests/jet/memory_page_store.h"

namespace {

using namespace jet;
using namespace jet::format;

ColumnSpec Spec(std::string name, ColumnType type, uint16_t chars = 255) {
  ColumnSpec s;
  s.name = std::move(name);
  s.type = type;
  s.max_chars = chars;
  return s;
}

// t1 (id LONG, name TEXT(50), note MEMO) with its definition on page 19 and its
// maps on page 20, as a prototype writer produced it and mdbtools, mdb-reader
// and Jackcess read it (row count 0, compression off).
TEST(TdefWriter, MatchesAKnownGoodDefinitionByteForByte) {
  std::vector<ColumnSpec> specs = {Spec("id", ColumnType::kLong), Spec("name", ColumnType::kText, 50),
                                   Spec("note", ColumnType::kMemo)};
  auto columns = LayOutColumns(specs, Collation{1033, 0});
  ASSERT_TRUE(columns) << columns.error().message;
  for (auto& c : *columns) c.ext_flags = 0;
  NewTableDefinition def;
  def.columns = *columns;
  def.owned_pages = RowPointer{20, 0};
  def.free_pages = RowPointer{20, 1};
  def.column_maps = {ColumnMaps{2, RowPointer{20, 2}, RowPointer{20, 3}}};
  auto buffer = EncodeTableDefinition(def);
  auto expected = testing_support::BytesOf(
      "02 01 00 00 00 00 00 00 b0 00 00 00 59 06 00 00"
      "00 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00"
      "00 00 00 00 00 00 00 00 4e 03 00 02 00 03 00 00"
      "00 00 00 00 00 00 00 00 14 00 00 01 14 00 00 04"
      "59 06 00 00 00 00 00 00 00 00 00 00 00 00 03 00"
      "00 00 00 00 00 00 04 00 0a 59 06 00 00 01 00 00"
      "00 01 00 09 04 00 00 02 00 00 00 00 00 00 00 64"
      "00 0c 59 06 00 00 02 00 01 00 02 00 09 04 00 00"
      "02 00 00 00 00 00 00 00 00 00 04 00 69 00 64 00"
      "08 00 6e 00 61 00 6d 00 65 00 08 00 6e 00 6f 00"
      "74 00 65 00 02 00 02 14 00 00 03 14 00 00 ff ff");
  ASSERT_EQ(buffer.size(), expected.size());
  for (size_t i = 0; i < buffer.size(); ++i)
    EXPECT_EQ(static_cast<int>(buffer[i]), static_cast<int>(expected[i])) << "byte " << i;
  EXPECT_EQ(DefinitionLength(def.columns), buffer.size());

  uint32_t page = 19;
  auto pages = PaginateDefinition(buffer, std::span<const uint32_t>(&page, 1));
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(U16(pages[0], 2), 4096 - 176 - 8) << "free space of a one-page definition";
  EXPECT_EQ(U32(pages[0], 4), 0u);
}

TEST(TdefWriter, LaysOutEveryColumnTypeAsTheReaderParsesIt) {
  std::vector<ColumnSpec> specs = {
      Spec("flag", ColumnType::kBoolean), Spec("b", ColumnType::kByte),     Spec("i", ColumnType::kInteger),
      Spec("l", ColumnType::kLong),       Spec("m", ColumnType::kMoney),    Spec("s", ColumnType::kSingle),
      Spec("d", ColumnType::kDouble),     Spec("t", ColumnType::kDateTime), Spec("bin", ColumnType::kBinary, 20),
      Spec("txt", ColumnType::kText, 7),  Spec("ole", ColumnType::kOle),    Spec("memo", ColumnType::kMemo),
      Spec("g", ColumnType::kGuid),       Spec("n", ColumnType::kNumeric),  Spec("big", ColumnType::kBigInt),
      Spec("yes", ColumnType::kBoolean)};
  specs[13].precision = 28;
  specs[13].scale = 6;
  ColumnSpec counter = Spec("id", ColumnType::kLong);
  counter.auto_number = true;
  specs.push_back(counter);

  auto columns = LayOutColumns(specs, Collation{1033, 1});
  ASSERT_TRUE(columns) << columns.error().message;
  NewTableDefinition def;
  def.columns = *columns;
  def.owned_pages = RowPointer{30, 0};
  def.free_pages = RowPointer{30, 1};
  auto long_columns = LongValueColumns(def.columns);
  ASSERT_EQ(long_columns, (std::vector<uint16_t>{10, 11}));
  for (size_t i = 0; i < long_columns.size(); ++i)
    def.column_maps.push_back(ColumnMaps{long_columns[i], RowPointer{30, static_cast<uint8_t>(2 + 2 * i)},
                                         RowPointer{30, static_cast<uint8_t>(3 + 2 * i)}});
  auto buffer = EncodeTableDefinition(def);
  auto parsed = ParseTableDefinition(buffer, 29);
  ASSERT_TRUE(parsed) << parsed.error().message;
  EXPECT_EQ(parsed->length, buffer.size());
  EXPECT_EQ(parsed->max_columns, specs.size());
  EXPECT_EQ(parsed->var_columns, 4);
  EXPECT_EQ(parsed->owned_pages, (RowPointer{30, 0}));
  ASSERT_EQ(parsed->column_maps.size(), 2u);
  EXPECT_EQ(parsed->column_maps[1].free, (RowPointer{30, 5}));

  const auto& c = parsed->columns;
  ASSERT_EQ(c.size(), specs.size());
  // Fixed columns packed in order; Yes/No takes no row bytes.
  uint16_t expected_offset = 0;
  for (const auto& col : c) {
    EXPECT_EQ(col.name, specs[col.number].name);
    EXPECT_EQ(col.type(), specs[col.number].type) << col.name;
    if (col.is_boolean()) {
      EXPECT_TRUE(col.fixed());
      EXPECT_EQ(col.fixed_offset, 0);
      EXPECT_EQ(col.length, 1);
    } else if (col.fixed()) {
      EXPECT_EQ(col.fixed_offset, expected_offset) << col.name;
      expected_offset = static_cast<uint16_t>(expected_offset + col.length);
    }
  }
  EXPECT_EQ(expected_offset, 1 + 2 + 4 + 8 + 4 + 8 + 8 + 16 + 17 + 8 + 4);
  EXPECT_EQ(c[9].length, 14) << "Text(7) holds 7 UTF-16 units";
  EXPECT_EQ(c[8].length, 20) << "Binary(20) holds 20 bytes";
  EXPECT_EQ(c[8].var_index, 0);
  EXPECT_EQ(c[9].var_index, 1);
  EXPECT_EQ(c[10].var_index, 2);
  EXPECT_EQ(c[11].var_index, 3);
  EXPECT_EQ(c[9].collation, 1033);
  EXPECT_EQ(c[9].sort_version, 1);
  EXPECT_EQ(c[11].sort_version, 1) << "Memo carries the collation too";
  EXPECT_EQ(c[9].ext_flags & kColumnCompressedUnicode, kColumnCompressedUnicode);
  EXPECT_EQ(c[13].precision, 28);
  EXPECT_EQ(c[13].scale, 6);
  EXPECT_EQ(c[13].length, 17);
  EXPECT_EQ(c[16].flags, 0x07) << "COUNTER: fixed, updatable, autonumber";
  EXPECT_EQ(c[3].flags, 0x03);
  EXPECT_EQ(c[9].flags, 0x02);
}

TEST(TdefWriter, LongDefinitionsContinueOnFurtherPages) {
  std::vector<ColumnSpec> specs;
  for (int i = 0; i < 255; ++i)
    specs.push_back(Spec(fmt::format("a rather long column name, number {:03}", i),
                         i % 3 ? ColumnType::kText : ColumnType::kMemo, 10));
  auto columns = LayOutColumns(specs, Collation{});
  ASSERT_TRUE(columns) << columns.error().message;
  NewTableDefinition def;
  def.columns = *columns;
  for (auto n : LongValueColumns(def.columns)) def.column_maps.push_back(ColumnMaps{n, {40, 1}, {40, 2}});
  auto buffer = EncodeTableDefinition(def);
  size_t count = DefinitionPageCount(buffer.size());
  ASSERT_GE(count, 5u);
  std::vector<uint32_t> numbers;
  for (size_t i = 0; i < count; ++i) numbers.push_back(static_cast<uint32_t>(50 + 2 * i));
  auto pages = PaginateDefinition(buffer, numbers);
  ASSERT_EQ(pages.size(), count);

  // Reassemble as readers do: page 1 whole, then bytes 8.. of each continuation.
  std::vector<std::byte> logical(pages[0].begin(), pages[0].end());
  for (size_t i = 1; i < pages.size(); ++i) {
    EXPECT_EQ(U8(pages[i], 0), kPageTypeTdef);
    EXPECT_EQ(U32(pages[i - 1], 4), numbers[i]) << "next-page link of page " << i - 1;
    logical.insert(logical.end(), pages[i].begin() + 8, pages[i].end());
  }
  EXPECT_EQ(U32(pages.back(), 4), 0u);
  EXPECT_EQ(U16(pages[0], 2), 0) << "a full first page has no free space";
  size_t last_used = buffer.size() - 4096 - (count - 2) * 4088;
  EXPECT_EQ(U16(pages.back(), 2), 4096 - 8 - last_used - 8);
  logical.resize(buffer.size());
  auto parsed = ParseTableDefinition(logical, 50);
  ASSERT_TRUE(parsed) << parsed.error().message;
  ASSERT_EQ(parsed->columns.size(), 255u);
  EXPECT_EQ(parsed->columns[254].name, specs[254].name);
  EXPECT_EQ(parsed->column_maps.size(), 85u);
}

TEST(TdefWriter, RefusesWhatNoTableCanHold) {
  std::vector<ColumnSpec> too_many(256, Spec("c", ColumnType::kLong));
  auto many = LayOutColumns(too_many, Collation{});
  ASSERT_FALSE(many);
  EXPECT_NE(many.error().message.find("at most 255 columns"), std::string::npos);

  std::vector<ColumnSpec> too_wide(240, Spec("d", ColumnType::kNumeric));  // 240 x 17 bytes
  auto wide = LayOutColumns(too_wide, Collation{});
  ASSERT_FALSE(wide);
  EXPECT_NE(wide.error().message.find("per row"), std::string::npos);

  EXPECT_FALSE(LayOutColumns({}, Collation{}));
}

}  // namespace
