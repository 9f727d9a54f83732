// Rows: the null mask, fixed and variable columns, Booleans in the mask, and
// rows written before columns were added; both directions.

#include "platform/jet/format/row.h"

#include <gtest/gtest.h>

#include "platform/jet/format/tdef.h"
#include "tests/jet/memory_page_store.h"

namespace {

using namespace jet::format;
using testing_support::BytesOf;

// t1 (id LONG, name TEXT(50), note MEMO) of docs/access-format.md §6.6.
std::vector<ColumnDef> T1Columns() {
  ColumnDef id{.type_code = 0x04, .number = 0, .var_index = 0, .fixed_offset = 0, .length = 4, .flags = 0x03};
  ColumnDef name{.type_code = 0x0A, .number = 1, .var_index = 0, .fixed_offset = 0, .length = 100, .flags = 0x02};
  ColumnDef note{.type_code = 0x0C, .number = 2, .var_index = 1, .fixed_offset = 0, .length = 0, .flags = 0x02};
  return {id, name, note};
}

const char* kRow1 = "03 00 01 00 00 00 41 00 62 00 04 00 00 80 00 00 00 00 00 00 00 00 68 00 69 00 "
                    "1a 00 0a 00 06 00 02 00 07";
const char* kRow2 = "03 00 02 00 00 00 06 00 06 00 06 00 02 00 01";

TEST(RowTest, DecodesTheDocumentedRows) {
  auto columns = T1Columns();
  std::vector<RawField> f;
  auto row1 = BytesOf(kRow1);
  ASSERT_TRUE(DecodeRow(row1, columns, 2, f));
  EXPECT_FALSE(f[0].null);
  EXPECT_EQ(I32(f[0].data, 0), 1);
  EXPECT_EQ(f[1].data.size(), 4u);  // "Ab"
  EXPECT_EQ(f[2].data.size(), 16u);  // LVAL header + "hi"
  auto row2 = BytesOf(kRow2);
  ASSERT_TRUE(DecodeRow(row2, columns, 2, f));
  EXPECT_EQ(I32(f[0].data, 0), 2);
  EXPECT_TRUE(f[1].null);
  EXPECT_TRUE(f[2].null);
}

TEST(RowTest, EncodeReproducesTheDocumentedBytes) {
  auto columns = T1Columns();
  auto row1 = BytesOf(kRow1);
  std::vector<RawField> f;
  ASSERT_TRUE(DecodeRow(row1, columns, 2, f));
  EXPECT_EQ(EncodeRow(columns, 3, f), row1);
  auto row2 = BytesOf(kRow2);
  ASSERT_TRUE(DecodeRow(row2, columns, 2, f));
  EXPECT_EQ(EncodeRow(columns, 3, f), row2);
}

TEST(RowTest, BooleansLiveInTheMaskAndLateColumnsReadAsNull) {
  ColumnDef flag{.type_code = 0x01, .number = 0, .length = 1, .flags = 0x03};
  ColumnDef n{.type_code = 0x03, .number = 1, .fixed_offset = 0, .length = 2, .flags = 0x03};
  ColumnDef added{.type_code = 0x0A, .number = 9, .var_index = 0, .length = 20, .flags = 0x02};
  std::vector<ColumnDef> columns = {flag, n, added};
  // Written when the table had two columns and no variable ones: count, Integer 7, mask 0b11.
  auto old_row = BytesOf("02 00 07 00 03");
  std::vector<RawField> f;
  ASSERT_TRUE(DecodeRow(old_row, std::span(columns).first(2), 0, f));
  EXPECT_TRUE(f[0].boolean);
  EXPECT_EQ(I16(f[1].data, 0), 7);
  ASSERT_TRUE(DecodeRow(old_row, columns, 0, f));
  EXPECT_TRUE(f[2].null);  // column 9 is beyond the row's column count
  // False is a clear bit, not NULL.
  auto row = BytesOf("02 00 07 00 02");
  ASSERT_TRUE(DecodeRow(row, std::span(columns).first(2), 0, f));
  EXPECT_FALSE(f[0].null);
  EXPECT_FALSE(f[0].boolean);
}

TEST(RowTest, DamagedRowsAreCorruptionNotOverruns) {
  auto columns = T1Columns();
  std::vector<RawField> f;
  for (const char* hex : {"", "03", "03 00", "ff ff 00", "03 00 01 00 00 00 ff 00 06 00 02 00 07",
                          "03 00 01 00 00 00 06 00 0a 00 06 00 02 00 07", "03 00 01 00 00 00 06 00 06 00 06 00 ff 00 07",
                          "03 00 01 00 07"}) {
    auto row = BytesOf(hex);
    auto status = DecodeRow(row, columns, 2, f);
    EXPECT_FALSE(status) << hex;
    if (!status) EXPECT_EQ(status.error().code, jet::ErrorCode::kCorruption);
  }
}

}  // namespace
