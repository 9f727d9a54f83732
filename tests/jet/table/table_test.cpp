// A table built page by page in memory (the t1 example of
// docs/access-format.md §6.6): its definition, usage maps, data pages with deleted and moved rows,
// and long values inline, on one page and chained; then damage to each.

#include "platform/jet/table/table.h"

#include <gtest/gtest.h>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/long_value.h"
#include "platform/jet/format/row.h"
#include "platform/jet/format/text.h"
#include "platform/jet/format/usage_map.h"
#include "tests/jet/memory_page_store.h"

namespace {

using namespace jet;
using namespace jet::format;
using testing_support::BytesOf;
using testing_support::MemoryPageStore;

constexpr uint32_t kTdef = 19, kHolder = 20, kData1 = 21, kData2 = 22, kLval1 = 23, kLval2 = 24, kLval3 = 25;

const char* kTdefHex =
    "02 01 48 0f 00 00 00 00 b0 00 00 00 59 06 00 00 04 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00"
    "00 00 00 00 00 00 00 00 4e 03 00 02 00 03 00 00 00 00 00 00 00 00 00 00 14 00 00 01 14 00 00 04"
    "59 06 00 00 00 00 00 00 00 00 00 00 00 00 03 00 00 00 00 00 00 00 04 00 0a 59 06 00 00 01 00 00"
    "00 01 00 09 04 00 00 02 00 00 00 00 00 00 00 64 00 0c 59 06 00 00 02 00 01 00 02 00 09 04 00 00"
    "02 00 00 00 00 00 00 00 00 00 04 00 69 00 64 00 08 00 6e 00 61 00 6d 00 65 00 08 00 6e 00 6f 00"
    "74 00 65 00 02 00 02 14 00 00 03 14 00 00 ff ff";

struct T1 {
  MemoryPageStore store{32};
  std::vector<std::byte> long_text;  // the chained memo's stored bytes

  void Append(uint32_t page, const std::vector<std::byte>& row, uint16_t flags = 0) {
    uint16_t index = 0;
    ASSERT_TRUE(AppendRow(store.Page(page), row, &index));
    size_t at = kDataRowTableOffset + 2 * index;
    Put16(store.Page(page), at, static_cast<uint16_t>(U16(store.Page(page), at) | flags));
  }

  std::vector<std::byte> Row(int32_t id, const std::vector<std::byte>* name, const std::vector<std::byte>* note) {
    auto def = ParseTableDefinition(store.Page(kTdef).first(176), kTdef);
    std::vector<std::byte> id_bytes(4);
    Put32(id_bytes, 0, static_cast<uint32_t>(id));
    std::vector<RawField> f(3);
    f[0] = RawField{false, false, id_bytes};
    if (name) f[1] = RawField{false, false, *name};
    if (note) f[2] = RawField{false, false, *note};
    return EncodeRow(def->columns, def->max_columns, f);
  }

  T1() {
    store.PutHex(kTdef, 0, kTdefHex);
    // Holder: owned {21, 22}, free {22}, memo owned {23, 24, 25}, memo free {}.
    InitDataPage(store.Page(kHolder), 0);
    for (auto pages : std::vector<std::vector<uint32_t>>{{kData1, kData2}, {kData2}, {kLval1, kLval2, kLval3}, {}}) {
      std::vector<std::byte> map(kInlineMapRowSize);
      InitInlineMap(map, 16);
      for (uint32_t p : pages) InlineMapSet(map, p, true);
      Append(kHolder, map);
    }
    for (uint32_t p : {kData1, kData2}) InitDataPage(store.Page(p), kTdef);
    for (uint32_t p : {kLval1, kLval2, kLval3}) InitDataPage(store.Page(p), kLongValueOwner);

    auto ab = EncodeText("Ab", false);
    auto hi = BytesOf("04 00 00 80 00 00 00 00 00 00 00 00 68 00 69 00");
    Append(kData1, Row(1, &ab, &hi));
    Append(kData1, Row(99, &ab, nullptr), kRowDeleted);           // deleted
    Append(kData1, BytesOf("00 16 00 00"), kRowMoved);             // moved to page 22 row 0
    Append(kData1, Row(2, nullptr, nullptr));

    // One LVAL row: 100 bytes of text.
    auto single = EncodeText(std::string(50, 'x'), false);
    Append(kLval1, single);
    std::vector<std::byte> single_ref(12);
    PutLongValueHeader(single_ref, static_cast<uint32_t>(single.size()), kLongValueSingle, RowPointer{kLval1, 0});
    Append(kData2, Row(3, nullptr, &single_ref), kRowLookup);  // the moved row's new home

    // A chain of two segments: 3000 + 2000 bytes.
    long_text = EncodeText(std::string(2500, 'L'), false);
    std::vector<std::byte> seg1(4), seg2(4);
    PutRowPointer(seg1, 0, RowPointer{kLval3, 0});
    seg1.insert(seg1.end(), long_text.begin(), long_text.begin() + 3000);
    seg2.insert(seg2.end(), long_text.begin() + 3000, long_text.end());
    Append(kLval2, seg1);
    Append(kLval3, seg2);
    std::vector<std::byte> chain_ref(12);
    PutLongValueHeader(chain_ref, static_cast<uint32_t>(long_text.size()), kLongValueChain, RowPointer{kLval2, 0});
    auto name = EncodeText("Zoë", true);
    Append(kData2, Row(4, &name, &chain_ref));
  }

  // Every row's (id, name, note) or the scan's failure.
  Result<std::vector<std::vector<Cell>>> Scan() {
    JET_ASSIGN_OR_RETURN(table, table::Table::Open(store, kTdef, "t1"));
    std::vector<std::vector<Cell>> rows;
    auto cursor = table->Scan();
    for (; cursor.Valid(); cursor.Next()) rows.push_back(cursor.row());
    if (!cursor.status()) return cursor.status().error();
    return rows;
  }
};

TEST(TableTest, ReadsTheDefinition) {
  T1 t;
  auto table = table::Table::Open(t.store, kTdef, "t1");
  ASSERT_TRUE(table) << table.error().message;
  const auto& def = (*table)->definition();
  EXPECT_EQ(def.row_count, 4u);
  ASSERT_EQ(def.columns.size(), 3u);
  EXPECT_EQ(def.columns[1].name, "name");
  EXPECT_EQ(SqlTypeName(def.columns[1]), "TEXT(50)");
  EXPECT_EQ(def.columns[1].collation, 0x0409);
  EXPECT_EQ(SqlTypeName(def.columns[2]), "MEMO");
  EXPECT_EQ(def.owned_pages, (RowPointer{kHolder, 0}));
  ASSERT_EQ(def.column_maps.size(), 1u);
  EXPECT_EQ(def.column_maps[0].owned, (RowPointer{kHolder, 2}));
}

TEST(TableTest, ScansLiveRowsSkippingDeletedAndMovedOnes) {
  T1 t;
  auto rows = t.Scan();
  ASSERT_TRUE(rows) << rows.error().message;
  ASSERT_EQ(rows->size(), 4u);
  std::vector<int64_t> ids;
  for (auto& r : *rows) ids.push_back(std::get<int64_t>(r[0]));
  EXPECT_EQ(ids, (std::vector<int64_t>{1, 2, 3, 4}));
  EXPECT_EQ(std::get<std::string>((*rows)[0][1]), "Ab");
  EXPECT_EQ(std::get<std::string>((*rows)[0][2]), "hi");               // inline
  EXPECT_TRUE(IsNull((*rows)[1][1]));
  EXPECT_EQ(std::get<std::string>((*rows)[2][2]), std::string(50, 'x'));  // one LVAL row
  EXPECT_EQ(std::get<std::string>((*rows)[3][1]), "Zoë");                 // compressed
  EXPECT_EQ(std::get<std::string>((*rows)[3][2]), std::string(2500, 'L'));  // chained
}

void ExpectCorruption(T1& t, const std::string& words) {
  auto rows = t.Scan();
  ASSERT_FALSE(rows) << "damage went unnoticed";
  EXPECT_EQ(rows.error().code, ErrorCode::kCorruption);
  EXPECT_NE(rows.error().message.find(words), std::string::npos) << rows.error().message;
}

TEST(TableTest, LongValueChainsThatLoopOrLeaveTheFileFail) {
  {
    T1 t;  // the last segment links back to the first
    PutRowPointer(t.store.Page(kLval3), U16(t.store.Page(kLval3), kDataRowTableOffset), RowPointer{kLval2, 0});
    // ... and the value claims more than the two segments hold, so the loop is followed.
    auto page = t.store.Page(kData2);
    size_t row1 = U16(page, kDataRowTableOffset + 2) & kRowOffsetMask;
    std::vector<RawField> f;
    auto def = ParseTableDefinition(t.store.Page(kTdef).first(176), kTdef);
    ASSERT_TRUE(DecodeRow(page.subspan(row1, (U16(page, kDataRowTableOffset) & kRowOffsetMask) - row1),
                          def->columns, 2, f));
    size_t header_at = static_cast<size_t>(f[2].data.data() - page.data());
    Put32(page, header_at, 9000);
    ExpectCorruption(t, "loops");
  }
  {
    T1 t;  // the first segment points beyond the file
    PutRowPointer(t.store.Page(kLval2), U16(t.store.Page(kLval2), kDataRowTableOffset), RowPointer{4000, 0});
    ExpectCorruption(t, "outside the file");
  }
  {
    T1 t;  // a single-page value whose row is shorter than its length
    Put16(t.store.Page(kLval1), kDataRowTableOffset, 4090);
    ExpectCorruption(t, "claims");
  }
}

TEST(TableTest, PagesThatBelongElsewhereOrLoopFail) {
  {
    T1 t;  // the owned map lists an LVAL page
    auto holder = t.store.Page(kHolder);
    size_t map0 = U16(holder, kDataRowTableOffset) & kRowOffsetMask;
    InlineMapSet(holder.subspan(map0, kInlineMapRowSize), kLval1, true);
    ExpectCorruption(t, "does not belong");
  }
  {
    T1 t;  // a definition that continues on itself
    Put32(t.store.Page(kTdef), kTdefNextPageOffset, kTdef);
    ExpectCorruption(t, "loop");
  }
  {
    T1 t;  // a row offset table longer than the page
    Put16(t.store.Page(kData1), kDataRowCountOffset, 3000);
    ExpectCorruption(t, "rows");
  }
  {
    T1 t;  // a definition cut short
    Put16(t.store.Page(kTdef), 0x2D, 200);
    auto table = table::Table::Open(t.store, kTdef, "t1");
    ASSERT_FALSE(table);
    EXPECT_EQ(table.error().code, ErrorCode::kCorruption);
  }
}

}  // namespace
