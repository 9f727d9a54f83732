// Memo values of every size into the Memo table of longtext-2016.accdb
// (ID AutoNumber primary key, LongText Memo): inline up to 64 bytes, one
// long-value row up to 4076 bytes, chains beyond, 100 kB and 1 MB; text that
// compresses and text that cannot. Both readers must see every value whole.

#include <gtest/gtest.h>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/long_value.h"
#include "platform/jet/format/row.h"
#include "platform/jet/table/row_access.h"
#include "platform/jet/table/table.h"
#include "tests/jet/write/writable_copy.h"

namespace {

using namespace jet;
using write_test::WritableCopy;
using Row = std::vector<Cell>;

std::string Repeat(const std::string& unit, size_t times) {
  std::string s;
  s.reserve(unit.size() * times);
  for (size_t i = 0; i < times; ++i) s += unit;
  return s;
}

// A text of `n` characters drawn from `alphabet` (UTF-8, whole characters)
// that does not repeat with a short period.
std::string Varied(size_t n, const std::string& alphabet) {
  std::vector<std::string> chars;
  for (size_t i = 0; i < alphabet.size();) {
    size_t len = 1;
    while (i + len < alphabet.size() && (static_cast<unsigned char>(alphabet[i + len]) & 0xC0) == 0x80) ++len;
    chars.push_back(alphabet.substr(i, len));
    i += len;
  }
  std::string s;
  uint32_t x = 12345;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s += chars[(x >> 16) % chars.size()];
  }
  return s;
}

// The kind byte of the long-value header the row at `at` holds in column `column`.
uint8_t StoredKind(WritableCopy& db, uint32_t tdef, format::RowPointer at, size_t column) {
  auto table = table::Table::Open(*db.pager, tdef, "t");
  EXPECT_TRUE(table);
  auto row = table::ReadRow(*db.pager, at, "row");
  EXPECT_TRUE(row);
  std::vector<format::RawField> fields;
  EXPECT_TRUE(format::DecodeRow(*row, (*table)->columns(), (*table)->definition().var_columns, fields));
  auto ref = format::ParseLongValue(fields[column].data);
  EXPECT_TRUE(ref);
  return ref ? ref->kind : 0xFF;
}

TEST(LongValuesTest, MemosOfEverySizeReadBackWhole) {
  REQUIRE_READERS();
  WritableCopy db;
  REQUIRE_FIXTURES("longtext-2016.accdb");
  ASSERT_TRUE(db.Open("longtext-2016.accdb", "LongValuesTest_Sizes"));
  auto before = readers::MdbReaderRows(db.path, "Table1");
  ASSERT_TRUE(before);
  int64_t next_id = 0;
  for (const auto& r : before->rows) next_id = std::max<int64_t>(next_id, std::atoll(r[0].text.c_str()));

  const std::string accented = "\xC3\xA9\xC3\xA8\xC3\xBC\xC3\xB1";  // é è ü ñ: compressible
  uint32_t tdef = db.Tdef("Table1");
  auto appender = db.Appender("Table1");
  ASSERT_TRUE(appender);
  // Memo text is stored compressed where it can be, whatever the column's flag says (as Access does).
  struct Case {
    std::string text;
    uint8_t kind;  // expected storage
  } cases[] = {
      {"", format::kLongValueInline},
      {"hi", format::kLongValueInline},
      {std::string(32, 'a'), format::kLongValueInline},                       // 32 x 2 = 64 bytes
      {std::string(60, 'b'), format::kLongValueInline},                       // 62 bytes compressed
      {Repeat("\xD0\xAF", 33), format::kLongValueSingle},                     // Cyrillic: 66 bytes
      {std::string(2038, 'c'), format::kLongValueSingle},                     // 4076 bytes
      {Repeat("\xD0\xAF", 2039), format::kLongValueChain},                    // 4078 bytes
      {Varied(1024, "abc" + accented), format::kLongValueSingle},             // 1026 bytes compressed
      {Varied(50000, "Lorem ipsum dolor sit amet\r\n'\""), format::kLongValueChain},   // 100 kB
      {Varied(524288, "0123456789abcdef \xE2\x82\xAC"), format::kLongValueChain},      // 1 MB of UTF-16
      {Repeat("emoji \xF0\x9F\x98\x80 ", 300), format::kLongValueChain},
  };
  std::vector<Row> expected;
  for (const auto& c : cases) {
    auto at = appender->Insert(Row{Null{}, c.text});
    ASSERT_TRUE(at) << at.error().message;
    EXPECT_EQ(StoredKind(db, tdef, *at, 1), c.kind) << c.text.size() << " bytes of UTF-8";
    expected.push_back(Row{int64_t{++next_id}, c.text});  // AutoNumber: the last one + 1
  }
  auto null_memo = appender->Insert(Row{Null{}, Null{}});
  ASSERT_TRUE(null_memo);
  expected.push_back(Row{int64_t{++next_id}, Null{}});
  ASSERT_TRUE(appender->Finish());
  db.Commit();
  db.Close();

  std::vector<ColumnType> types = {ColumnType::kLong, ColumnType::kMemo};
  auto tools = readers::MdbtoolsRows(db.path, "Table1");
  auto js = readers::MdbReaderRows(db.path, "Table1");
  ASSERT_TRUE(tools && js);
  EXPECT_EQ(readers::SameRows(before->rows, js->rows, before->rows.size()), "");
  EXPECT_EQ(readers::Compare(expected, types, js->rows, readers::Reader::kMdbReader, before->rows.size()), "");
  EXPECT_EQ(readers::Compare(expected, types, *tools, readers::Reader::kMdbtools, before->rows.size()), "");
  EXPECT_EQ(write_test::CheckReport(db.path), "");
}

TEST(LongValuesTest, DeletingRowsFreesTheirLongValuePages) {
  WritableCopy db;
  REQUIRE_FIXTURES("longtext-2016.accdb");
  ASSERT_TRUE(db.Open("longtext-2016.accdb", "LongValuesTest_Delete"));
  auto appender = db.Appender("Table1");
  ASSERT_TRUE(appender);
  std::string big = Varied(40000, "xyz\xC4\x80");  // U+0100: never compressed, 80 kB
  auto at = appender->Insert(Row{Null{}, big});
  ASSERT_TRUE(at) << at.error().message;
  uint32_t pages_with_value = db.pager->PageCount();
  ASSERT_TRUE(appender->Delete(*at));
  // The chain's pages are free again: the same value fits without the file growing.
  auto again = appender->Insert(Row{Null{}, big});
  ASSERT_TRUE(again) << again.error().message;
  EXPECT_EQ(db.pager->PageCount(), pages_with_value);
  ASSERT_TRUE(appender->Finish());
  db.Commit();
  db.Close();
  REQUIRE_MDB_READER();
  auto js = readers::MdbReaderRows(db.path, "Table1");
  ASSERT_TRUE(js);
  ASSERT_FALSE(js->rows.empty());
  EXPECT_TRUE(js->rows.back()[1].text == big) << "the memo inserted after the delete does not read back";
  EXPECT_EQ(write_test::CheckReport(db.path), "");
}

}  // namespace
