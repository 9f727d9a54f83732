// A table of every writable column type, made by CREATE TABLE in copies of
// an Access 2000 and an Access 2016 file (BigInt only there), filled with
// limits and NULLs, and 1 million rows into one table (many data pages, a
// reference owned-pages map, a growing global map): both readers see every
// row, `pelmora-access check` finds nothing.

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>

#include "platform/jet/public/database.h"
#include "platform/jet/format/numeric.h"
#include "platform/jet/format/usage_map.h"
#include "platform/jet/table/row_access.h"
#include "platform/jet/table/table.h"
#include "tests/jet/write/writable_copy.h"

namespace {

using namespace jet;
using write_test::WritableCopy;
using Row = std::vector<Cell>;

bool Create(const std::string& path, const std::string& sql) {
  OpenOptions options;
  options.writable = true;
  auto db = Database::Open(path, options);
  EXPECT_TRUE(db) << db.error().message;
  if (!db) return false;
  auto done = (*db)->Execute(sql);
  EXPECT_TRUE(done) << done.error().message;
  EXPECT_TRUE((*db)->Close());
  return static_cast<bool>(done);
}

Decimal Dec(uint64_t magnitude, bool negative, uint8_t scale) {
  Decimal d;
  d.lo = static_cast<uint32_t>(magnitude);
  d.mid = static_cast<uint32_t>(magnitude >> 32);
  d.negative = negative;
  d.scale = scale;
  return d;
}

Guid GuidOf(uint8_t seed) {
  Guid g;
  for (int i = 0; i < 16; ++i) g.bytes[i] = static_cast<uint8_t>(seed * 17 + i);
  return g;
}

Bytes BytesOf(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 31);
  return b;
}

void FillAndCompare(const std::string& fixture, bool big_int) {
  REQUIRE_READERS();
  WritableCopy db;
  REQUIRE_FIXTURES(fixture);
  ASSERT_TRUE(db.Open(fixture, "AllTypesTest_" + fixture));
  db.Close();
  std::string sql =
      "CREATE TABLE every_type (id COUNTER, flag BIT, tiny BYTE, small SMALLINT, num LONG, amount MONEY, "
      "ratio REAL, measure DOUBLE, stamp DATETIME, raw VARBINARY(20), label VARCHAR(255), blob LONGBINARY, "
      "note MEMO, tag GUID, exact DECIMAL(18,4), wide DECIMAL(28,0)";
  sql += big_int ? ", huge BIGINT)" : ")";
  ASSERT_TRUE(Create(db.path, sql));
  ASSERT_TRUE(db.Reopen());
  auto appender = db.Appender("every_type");
  ASSERT_TRUE(appender);
  std::string label255;
  for (int i = 0; i < 255; ++i) label255 += static_cast<char>('a' + i % 26);
  std::vector<Row> rows = {
      {Null{}, true, int64_t{0}, int64_t{-32768}, int64_t{INT32_MIN}, Money{INT64_MIN}, -3.4028234663852886e38,
       -DBL_MAX, DateTimeValue{format::CivilToOleDate({1753, 1, 1, 0, 0, 0, 0})}, BytesOf(20, 1), label255,
       BytesOf(100000, 2), std::string(70000, 'm'), GuidOf(1), Dec(999999999999999999ull, true, 4),
       Dec(UINT64_MAX, false, 0), int64_t{INT64_MIN}},
      {Null{}, false, int64_t{255}, int64_t{32767}, int64_t{INT32_MAX}, Money{INT64_MAX}, 1.401298464324817e-45,
       DBL_MIN, DateTimeValue{format::CivilToOleDate({2199, 12, 31, 23, 59, 59, 0})}, Bytes{}, std::string(),
       BytesOf(10, 3), std::string(), GuidOf(2), Dec(1, false, 4), Dec(0, false, 0), int64_t{INT64_MAX}},
      {Null{}, false, Null{}, Null{}, Null{}, Null{}, Null{}, Null{}, Null{}, Null{}, Null{}, Null{}, Null{},
       Null{}, Null{}, Null{}, Null{}},
      {Null{}, true, int64_t{1}, int64_t{2}, int64_t{3}, Money{12500}, 0.5, 3.141592653589793,
       DateTimeValue{format::CivilToOleDate({2021, 8, 31, 12, 0, 0, 0})}, BytesOf(1, 9),
       std::string("O'Brien \xE2\x80\x94 \xF0\x9F\x8D\x95\r\n"), BytesOf(5000, 4),
       std::string("\xF0\x9F\x98\x80 memo with emoji"), GuidOf(3), Dec(123456789, false, 4),
       Dec(42, true, 0), int64_t{0}},
  };
  if (!big_int)
    for (auto& row : rows) row.pop_back();
  std::vector<Row> expected = rows;
  uint32_t next = appender->definition().autonumber;
  for (size_t r = 0; r < rows.size(); ++r) {
    auto at = appender->Insert(rows[r]);
    ASSERT_TRUE(at) << "row " << r << ": " << at.error().message;
    expected[r][0] = int64_t{++next};
  }
  ASSERT_TRUE(appender->Finish());
  std::vector<ColumnType> types;
  for (const auto& c : appender->definition().columns) types.push_back(c.type());
  ASSERT_EQ(types.size(), expected[0].size());
  db.Commit();
  db.Close();

  auto tools = readers::MdbtoolsRows(db.path, "every_type");
  auto js = readers::MdbReaderRows(db.path, "every_type");
  ASSERT_TRUE(tools && js);
  EXPECT_EQ(readers::Compare(expected, types, *tools, readers::Reader::kMdbtools), "");
  EXPECT_EQ(readers::Compare(expected, types, js->rows, readers::Reader::kMdbReader), "");
  EXPECT_EQ(tools->size(), expected.size());
  EXPECT_EQ(js->rows.size(), expected.size());
  EXPECT_EQ(write_test::CheckReport(db.path), "");
}

TEST(AllTypesTest, EveryTypeInAnAccess2000File) { FillAndCompare("empty-2000.mdb", false); }
TEST(AllTypesTest, EveryTypeWithBigIntInAnAccess2016File) { FillAndCompare("empty-2016.accdb", true); }

TEST(AllTypesTest, AMillionRowsInOneTable) {
  REQUIRE_READERS();
  WritableCopy db;
  REQUIRE_FIXTURES("empty-2003.mdb");
  ASSERT_TRUE(db.Open("empty-2003.mdb", "AllTypesTest_Million"));
  db.Close();
  ASSERT_TRUE(Create(db.path, "CREATE TABLE big (id LONG, name VARCHAR(30), amount DOUBLE)"));
  ASSERT_TRUE(db.Reopen());
  auto appender = db.Appender("big");
  ASSERT_TRUE(appender);
  constexpr int64_t kRows = 1000000;
  for (int64_t i = 0; i < kRows; ++i) {
    Row row = {i, "name " + std::to_string(i), static_cast<double>(i) / 8};
    auto at = appender->Insert(row);
    ASSERT_TRUE(at) << at.error().message;
    if (i % 100000 == 99999) {
      ASSERT_TRUE(appender->Finish());
      db.Commit();
    }
  }
  ASSERT_TRUE(appender->Finish());
  auto owned = table::ReadRow(*db.pager, appender->definition().owned_pages, "owned map");
  ASSERT_TRUE(owned);
  EXPECT_EQ(format::U8(*owned, 0), format::kUsageMapReference) << "over 512 data pages need a reference map";
  db.Commit();
  db.Close();

  auto tools = readers::MdbtoolsRows(db.path, "big");
  ASSERT_TRUE(tools);
  ASSERT_EQ(tools->size(), static_cast<size_t>(kRows));
  auto js = readers::MdbReaderRows(db.path, "big");
  ASSERT_TRUE(js);
  ASSERT_EQ(js->rows.size(), static_cast<size_t>(kRows));
  EXPECT_EQ(js->row_count, kRows);
  // Rows come back in insertion order: every value checked.
  std::vector<ColumnType> types = {ColumnType::kLong, ColumnType::kText, ColumnType::kDouble};
  std::vector<Row> expected;
  for (int64_t i = 0; i < kRows; ++i) expected.push_back({i, "name " + std::to_string(i), static_cast<double>(i) / 8});
  EXPECT_EQ(readers::Compare(expected, types, *tools, readers::Reader::kMdbtools), "");
  EXPECT_EQ(readers::Compare(expected, types, js->rows, readers::Reader::kMdbReader), "");
  EXPECT_EQ(write_test::CheckReport(db.path), "");
}

}  // namespace
