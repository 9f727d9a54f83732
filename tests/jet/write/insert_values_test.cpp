// Rows with edge values inserted into the user tables of copies of Access-made
// files, then read back by mdbtools and mdb-reader: every value as inserted,
// the file's own rows as before, and `pelmora-access check` content.

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>

#include "platform/jet/format/numeric.h"
#include "platform/jet/table/table.h"
#include "tests/jet/write/writable_copy.h"

namespace {

using namespace jet;
using write_test::WritableCopy;
using Row = std::vector<Cell>;

double Date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return format::CivilToOleDate(format::CivilDateTime{y, mo, d, h, mi, s, 0});
}

std::vector<ColumnType> TypesOf(const format::TableDefinition& def) {
  std::vector<ColumnType> types;
  for (const auto& c : def.columns) types.push_back(c.type());
  return types;
}

// Inserts `rows` into `table`, commits, and compares what both readers see
// after the table's original rows, which must be unchanged.
void InsertAndCompare(WritableCopy& db, const std::string& table, const std::vector<Row>& rows) {
  auto before_tools = readers::MdbtoolsRows(db.path, table);
  auto before_js = readers::MdbReaderRows(db.path, table);
  ASSERT_TRUE(before_tools && before_js);
  auto appender = db.Appender(table);
  ASSERT_TRUE(appender);
  for (const auto& row : rows) {
    auto at = appender->Insert(row);
    ASSERT_TRUE(at) << at.error().message;
  }
  ASSERT_TRUE(appender->Finish());
  auto types = TypesOf(appender->definition());
  db.Commit();
  db.Close();

  auto tools = readers::MdbtoolsRows(db.path, table);
  auto js = readers::MdbReaderRows(db.path, table);
  ASSERT_TRUE(tools) << "mdb-export failed on " << db.path;
  ASSERT_TRUE(js) << "mdb-reader failed on " << db.path;
  EXPECT_EQ(tools->size(), before_tools->size() + rows.size());
  EXPECT_EQ(js->rows.size(), before_js->rows.size() + rows.size());
  EXPECT_EQ(js->row_count, static_cast<long long>(before_js->rows.size() + rows.size())) << "row count in the TDEF";
  EXPECT_EQ(readers::SameRows(*before_tools, *tools, before_tools->size()), "") << "mdbtools, original rows";
  EXPECT_EQ(readers::SameRows(before_js->rows, js->rows, before_js->rows.size()), "") << "mdb-reader, original rows";
  EXPECT_EQ(readers::Compare(rows, types, *tools, readers::Reader::kMdbtools, before_tools->size()), "");
  EXPECT_EQ(readers::Compare(rows, types, js->rows, readers::Reader::kMdbReader, before_js->rows.size()), "");
  EXPECT_EQ(write_test::CheckReport(db.path), "");
}

// Table1 of the content files: A Text(50), B Text(100), C Byte, D Integer,
// E Long, F Double, G Date/Time, H Currency, I Yes/No.
std::vector<Row> Table1EdgeRows() {
  std::string fifty(50, 'x');
  std::string hundred_wide;
  for (int i = 0; i < 100; ++i) hundred_wide += "\xC3\xA9";  // 100 x U+00E9: compressible, 2 bytes in UTF-8
  return {
      {std::string("nulls"), Null{}, Null{}, Null{}, Null{}, Null{}, Null{}, Null{}, false},
      {std::string(), std::string(""), int64_t{0}, int64_t{0}, int64_t{0}, 0.0, DateTimeValue{0}, Money{0}, true},
      {fifty, hundred_wide, int64_t{255}, int64_t{32767}, int64_t{INT32_MAX}, DBL_MAX,
       DateTimeValue{Date(9999, 12, 31, 23, 59, 59)}, Money{INT64_MAX}, true},
      {std::string("O'Brien \"quoted\""), std::string("line one\r\nline two\nthree\rfour"), int64_t{1},
       int64_t{-32768}, int64_t{INT32_MIN}, -DBL_MAX, DateTimeValue{Date(1850, 7, 4, 12, 30, 15)}, Money{INT64_MIN},
       false},
      {std::string("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"),
       std::string("emoji \xF0\x9F\x98\x80\xF0\x9F\x8E\x89 and \xE2\x82\xAC"), int64_t{128}, int64_t{-1},
       int64_t{-1}, 2.2250738585072014e-308, DateTimeValue{Date(2150, 1, 1, 0, 0, 1)}, Money{-12345}, true},
      {std::string(" leading and trailing "), std::string("\xEF\xBB\xBFstarts with a byte order mark"), int64_t{7},
       int64_t{7}, int64_t{7}, -0.5, DateTimeValue{Date(100, 1, 1)}, Money{10000}, false},
      {std::string("ab"), std::string("\xC4\x80 U+0100 has a zero low byte"), Null{}, Null{}, Null{}, 1e-300,
       DateTimeValue{Date(1899, 12, 29, 6, 0, 0)}, Null{}, true},
  };
}

TEST(InsertValuesTest, EdgeValuesIntoEveryContentFile) {
  REQUIRE_READERS();
  for (std::string fixture : {"content-2000.mdb", "content-2003.mdb", "content-2007.accdb", "content-2010.accdb"}) {
    SCOPED_TRACE(fixture);
    WritableCopy db;
    REQUIRE_FIXTURES(fixture);
    ASSERT_TRUE(db.Open(fixture, "InsertValuesTest_EdgeValues_" + fixture));
    InsertAndCompare(db, "Table1", Table1EdgeRows());
  }
}

TEST(InsertValuesTest, GuidPrimaryKeysTakeRows) {
  // Table4: name Text, data a Replication ID (GUID) primary key, empty in
  // every content file. The GUIDs differ in Data4 and in Data1.
  REQUIRE_READERS();
  const Guid a{{0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
  Guid b = a, c = a;
  b.bytes[15] = 0x00;
  c.bytes[3] = 0xF0;
  for (std::string fixture : {"content-2000.mdb", "content-2007.accdb"}) {
    SCOPED_TRACE(fixture);
    WritableCopy db;
    REQUIRE_FIXTURES(fixture);
    ASSERT_TRUE(db.Open(fixture, "InsertValuesTest_GuidKey_" + fixture));
    InsertAndCompare(db, "Table4", {{std::string("a"), a}, {std::string("b"), b}, {std::string("c"), c}});
    ASSERT_TRUE(db.Reopen());
    auto again = db.Appender("Table4")->Insert(Row{std::string("again"), b});
    ASSERT_FALSE(again);
    EXPECT_NE(again.error().message.find("duplicate"), std::string::npos) << again.error().message;
  }
}

TEST(InsertValuesTest, TableWithAnIndexWhoseKeysCannotBeWrittenRefusesRows) {
  // MSysResources' primary key is its Attachment column Data, whose keys are not written.
  WritableCopy db;
  REQUIRE_FIXTURES("content-2010.accdb");
  ASSERT_TRUE(db.Open("content-2010.accdb", "InsertValuesTest_ComplexKey"));
  auto appender = db.Appender("MSysResources");  // Data, Extension, Id, Name, Type
  ASSERT_TRUE(appender);
  auto at = appender->Insert(Row{int64_t{1}, Null{}, Null{}, std::string("n"), Null{}});
  ASSERT_FALSE(at);
  EXPECT_EQ(at.error().code, ErrorCode::kNotSupported);
  EXPECT_NE(at.error().message.find("Data"), std::string::npos) << at.error().message;
  EXPECT_FALSE(db.pager->HasChanges());
}

TEST(InsertValuesTest, RefusedValuesLeaveThePagesUntouched) {
  WritableCopy db;
  REQUIRE_FIXTURES("content-2000.mdb");
  ASSERT_TRUE(db.Open("content-2000.mdb", "InsertValuesTest_Refused"));
  auto appender = db.Appender("Table1");
  ASSERT_TRUE(appender);
  Row good = Table1EdgeRows()[1];
  struct Case {
    size_t column;
    Cell value;
    const char* says;
  } cases[] = {
      {0, std::string(51, 'x'), "51 characters"},
      {0, std::string(49, 'x') + "\xF0\x9F\x98\x80", "51 characters"},  // the emoji counts two
      {0, Null{}, "Index or primary key cannot contain a Null value."},    // the primary key, as Access says
      {0, std::string("a"), "would create duplicate values in the index"},  // a key the file holds
      {0, int64_t{5}, "not a text"},
      {2, int64_t{256}, "out of range"},
      {2, int64_t{-1}, "out of range"},
      {3, int64_t{32768}, "out of range"},
      {4, 2147483648.0, "out of range"},
      {5, std::string("1.5"), "not a number"},
      {5, std::numeric_limits<double>::infinity(), "finite"},
      {6, DateTimeValue{Date(10000, 1, 1)}, "years 100 to 9999"},
      {6, DateTimeValue{-700000.0}, "years 100 to 9999"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    Row row = good;
    row[c.column] = c.value;
    auto at = appender->Insert(row);
    ASSERT_FALSE(at);
    EXPECT_EQ(at.error().code, ErrorCode::kInvalidValue);
    EXPECT_NE(at.error().message.find(c.says), std::string::npos) << at.error().message;
    // Access's key messages name no column; every other message does.
    if (std::string_view(c.says).find("ndex") == std::string_view::npos) {
      EXPECT_NE(at.error().message.find(appender->definition().columns[c.column].name), std::string::npos);
    }
  }
  auto short_row = appender->Insert(Row(3, Null{}));
  ASSERT_FALSE(short_row);
  EXPECT_NE(short_row.error().message.find("9 columns but 3 values"), std::string::npos);
  EXPECT_FALSE(db.pager->HasChanges()) << "a refused row wrote pages";
  // Still usable afterwards.
  ASSERT_TRUE(appender->Insert(good));
  ASSERT_TRUE(appender->Finish());
}

TEST(InsertValuesTest, NumbersConvertIntoTheColumnTypeRoundingHalfToEven) {
  WritableCopy db;
  REQUIRE_FIXTURES("content-2000.mdb");
  ASSERT_TRUE(db.Open("content-2000.mdb", "InsertValuesTest_Rounding"));
  auto appender = db.Appender("Table1");
  ASSERT_TRUE(appender);
  Row row = {std::string("r"), Null{}, 2.5, 3.5, -2.5, int64_t{3}, Null{}, 1.23456, int64_t{1}};
  auto at = appender->Insert(row);
  ASSERT_TRUE(at) << at.error().message;
  ASSERT_TRUE(appender->Finish());
  auto table = table::Table::Open(*db.pager, db.Tdef("Table1"), "Table1");
  ASSERT_TRUE(table);
  Row last;
  for (auto cursor = (*table)->Scan(); cursor.Valid(); cursor.Next()) last = cursor.row();
  ASSERT_EQ(last.size(), 9u);
  EXPECT_EQ(std::get<int64_t>(last[2]), 2);
  EXPECT_EQ(std::get<int64_t>(last[3]), 4);
  EXPECT_EQ(std::get<int64_t>(last[4]), -2);
  EXPECT_EQ(std::get<double>(last[5]), 3.0);
  EXPECT_EQ(std::get<Money>(last[7]).scaled, 12346);
  EXPECT_TRUE(std::get<bool>(last[8]));
}

}  // namespace
