// Rows into tables that have indexes and AutoNumbers, rows deleted and the
// space reused: indexes-2000.mdb (primary keys and plain indexes over Long
// columns) and content-2000.mdb Table3 (AutoNumber primary key). Checked by
// walking every index tree, by both readers and by `pelmora-access check`.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/jet/format/index_key.h"
#include "platform/jet/table/index.h"
#include "platform/jet/table/row_access.h"
#include "platform/jet/table/row_writer.h"
#include "platform/jet/table/table.h"
#include "tests/jet/write/writable_copy.h"

namespace {

using namespace jet;
using write_test::WritableCopy;
using Row = std::vector<Cell>;

// Every index of the table is a valid tree whose entries are exactly the
// table's live rows, keyed by their values.
void ExpectIndexesMatchRows(WritableCopy& db, const std::string& name) {
  uint32_t tdef = db.Tdef(name);
  auto table = table::Table::Open(*db.pager, tdef, name);
  ASSERT_TRUE(table);
  const auto& def = (*table)->definition();
  std::vector<std::pair<format::RowPointer, Row>> rows;
  for (auto cursor = (*table)->Scan(); cursor.Valid(); cursor.Next()) rows.emplace_back(cursor.position(), cursor.row());
  EXPECT_EQ(def.row_count, rows.size());
  for (size_t x = 0; x < def.real_indexes.size(); ++x) {
    SCOPED_TRACE("index " + std::to_string(x));
    const auto& real = def.real_indexes[x];
    table::IndexTree tree(*db.pager, real.root_page, tdef);
    auto verified = tree.Verify();
    ASSERT_TRUE(verified) << verified.error().message;
    std::multiset<std::pair<std::vector<uint8_t>, uint32_t>> entries, wanted;
    std::set<std::vector<uint8_t>> distinct;
    ASSERT_TRUE(tree.Walk([&](const format::IndexEntry& e) -> Status {
      entries.insert({e.key, e.data_page << 8 | e.data_row});
      distinct.insert(e.key);
      return {};
    }));
    for (const auto& [at, row] : rows) {
      std::vector<format::KeyColumn> key;
      for (const auto& ic : real.columns)
        for (size_t i = 0; i < def.columns.size(); ++i)
          if (def.columns[i].number == ic.column_number)
            key.push_back(format::KeyColumn{&row[i], def.columns[i].type(), ic.ascending});
      wanted.insert({*format::EncodeIndexKey(key), at.page << 8 | at.row});
    }
    EXPECT_TRUE(entries == wanted) << entries.size() << " entries for " << wanted.size() << " rows";
    EXPECT_GE(real.unique_entries, distinct.size());
  }
}

TEST(TableWritesTest, IndexesFollowInsertsAndDeletes) {
  WritableCopy db;
  REQUIRE_FIXTURES("indexes-2000.mdb");
  ASSERT_TRUE(db.Open("indexes-2000.mdb", "TableWritesTest_Indexes"));
  auto appender = db.Appender("Table2");  // id Long (primary key and a second index), data Text(50)
  ASSERT_TRUE(appender);
  std::vector<format::RowPointer> placed;
  // Enough keys for the index pages to split.
  for (int64_t id = 100; id < 3100; ++id) {
    auto at = appender->Insert(Row{id, std::string("row ") + std::to_string(id)});
    ASSERT_TRUE(at) << at.error().message;
    placed.push_back(*at);
  }
  auto duplicate = appender->Insert(Row{int64_t{100}, std::string("again")});
  ASSERT_FALSE(duplicate);
  EXPECT_NE(duplicate.error().message.find("duplicate"), std::string::npos) << duplicate.error().message;
  auto missing_key = appender->Insert(Row{Null{}, std::string("no key")});
  ASSERT_FALSE(missing_key);
  for (size_t i = 0; i < placed.size(); i += 3) ASSERT_TRUE(appender->Delete(placed[i]));
  ASSERT_FALSE(appender->Delete(placed[0])) << "a row deleted twice";
  // A key whose row was deleted may come back.
  ASSERT_TRUE(appender->Insert(Row{int64_t{100}, std::string("back")}));
  ASSERT_TRUE(appender->Finish());
  ExpectIndexesMatchRows(db, "Table2");
  db.Commit();
  db.Close();
  EXPECT_EQ(write_test::CheckReport(db.path), "");
  REQUIRE_MDB_READER();
  auto js = readers::MdbReaderRows(db.path, "Table2");
  ASSERT_TRUE(js);
  EXPECT_EQ(js->rows.size(), 3u + 3000u - 1000u + 1u);
  EXPECT_EQ(js->row_count, static_cast<long long>(js->rows.size()));
}

// binary-index-2010.accdb, table Test: ID Long, BinAsc and BinDsc Binary with
// an ascending and a descending index. Deleting Access's rows finds each of
// their entries by the key computed from the row.
TEST(TableWritesTest, BinaryIndexesTakeRowsAndLoseAccesssOnes) {
  REQUIRE_SHARED(shared);
  WritableCopy db;
  db.path = testing_support::CopyFile(shared + "/fixtures/indexes/binary-index-2010.accdb",
                                      testing_support::ScratchFolder("TableWritesTest_Binary"));
  ASSERT_TRUE(db.Reopen());
  auto appender = db.Appender("Test");
  ASSERT_TRUE(appender);
  auto table = table::Table::Open(*db.pager, db.Tdef("Test"), "Test");
  ASSERT_TRUE(table);
  std::vector<format::RowPointer> access_rows;
  for (auto cursor = (*table)->Scan(); cursor.Valid(); cursor.Next()) access_rows.push_back(cursor.position());
  ASSERT_GT(access_rows.size(), 100u);
  for (size_t i = 0; i < access_rows.size(); i += 2) {
    auto deleted = appender->Delete(access_rows[i]);
    ASSERT_TRUE(deleted) << deleted.error().message;
  }
  for (int n = 0; n <= 20; ++n) {
    Bytes value(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) value[static_cast<size_t>(k)] = static_cast<uint8_t>(0xF0 - 7 * k);
    auto at = appender->Insert(Row{int64_t{1000 + n}, value, n % 5 ? Cell{value} : Cell{Null{}}});
    ASSERT_TRUE(at) << at.error().message;
  }
  ASSERT_TRUE(appender->Finish());
  ExpectIndexesMatchRows(db, "Test");
  db.Commit();
  db.Close();
  EXPECT_EQ(write_test::CheckReport(db.path), "");
}

TEST(TableWritesTest, AutoNumbersCountOnFromTheLastOne) {
  WritableCopy db;
  REQUIRE_FIXTURES("content-2000.mdb");
  ASSERT_TRUE(db.Open("content-2000.mdb", "TableWritesTest_AutoNumber"));
  auto appender = db.Appender("Table3");  // a AutoNumber primary key, b Text(50)
  ASSERT_TRUE(appender);
  uint32_t last = appender->definition().autonumber;
  ASSERT_TRUE(appender->Insert(Row{Null{}, std::string("first")}));
  ASSERT_TRUE(appender->Insert(Row{int64_t{last + 10}, std::string("given")}));
  ASSERT_TRUE(appender->Insert(Row{Null{}, std::string("after the given one")}));
  ASSERT_TRUE(appender->Finish());
  ExpectIndexesMatchRows(db, "Table3");
  auto reopened = db.Appender("Table3");
  EXPECT_EQ(reopened->definition().autonumber, last + 11);
  auto table = table::Table::Open(*db.pager, db.Tdef("Table3"), "Table3");
  std::vector<int64_t> ids;
  for (auto cursor = (*table)->Scan(); cursor.Valid(); cursor.Next()) ids.push_back(std::get<int64_t>(cursor.row()[0]));
  ASSERT_GE(ids.size(), 3u);
  EXPECT_EQ(std::vector<int64_t>(ids.end() - 3, ids.end()),
            (std::vector<int64_t>{last + 1, last + 10, last + 11}));
}

TEST(TableWritesTest, DeletedRowsLeaveRoomThatLaterRowsUse) {
  WritableCopy db;
  REQUIRE_FIXTURES("content-2000.mdb");
  ASSERT_TRUE(db.Open("content-2000.mdb", "TableWritesTest_Reuse"));
  auto appender = db.Appender("Table3");
  ASSERT_TRUE(appender);
  std::vector<format::RowPointer> placed;
  std::string text(40, 'r');
  for (int i = 0; i < 3000; ++i) {
    auto at = appender->Insert(Row{Null{}, text});
    ASSERT_TRUE(at);
    placed.push_back(*at);
  }
  db.Commit();
  uint32_t pages_full = db.pager->PageCount();
  // Every other row, and every row of the first pages entirely.
  std::set<uint32_t> emptied;
  for (size_t i = 0; i < placed.size(); ++i)
    if (i % 2 == 0 || i < 300) {
      ASSERT_TRUE(appender->Delete(placed[i]));
      if (i < 300) emptied.insert(placed[i].page);
    }
  // Pages left without rows went back to the allocator, zeroed.
  size_t released = 0;
  for (uint32_t p : emptied)
    if (p != placed[299].page && *db.pages->IsFree(p)) ++released;
  EXPECT_GE(released, 1u);
  // Nearly as many rows again go into the room left: the file grows by a few
  // index pages at most, not by the 22 data pages 1400 new rows take.
  for (int i = 0; i < 1400; ++i) ASSERT_TRUE(appender->Insert(Row{Null{}, text}));
  EXPECT_LE(db.pager->PageCount(), pages_full + 8);
  ASSERT_TRUE(appender->Finish());
  ExpectIndexesMatchRows(db, "Table3");
  db.Commit();
  db.Close();
  EXPECT_EQ(write_test::CheckReport(db.path), "");
  REQUIRE_MDBTOOLS();
  auto tools = readers::MdbtoolsRows(db.path, "Table3");
  ASSERT_TRUE(tools);
  EXPECT_EQ(tools->size(), 3000u - 1650u + 1400u);
}

TEST(TableWritesTest, OneOffInsertAndDeleteKeepTheRowCount) {
  WritableCopy db;
  REQUIRE_FIXTURES("content-2003.mdb");
  ASSERT_TRUE(db.Open("content-2003.mdb", "TableWritesTest_OneOff"));
  uint32_t tdef = db.Tdef("Table3");
  auto before = table::Table::Open(*db.pager, tdef, "Table3");
  uint32_t rows = (*before)->definition().row_count;
  auto at = table::InsertRow(*db.pager, *db.pages, tdef, Row{Null{}, std::string("one")});
  ASSERT_TRUE(at) << at.error().message;
  EXPECT_EQ((*table::Table::Open(*db.pager, tdef, "Table3"))->definition().row_count, rows + 1);
  ASSERT_TRUE(table::DeleteRow(*db.pager, *db.pages, tdef, *at));
  EXPECT_EQ((*table::Table::Open(*db.pager, tdef, "Table3"))->definition().row_count, rows);
  auto gone = table::DeleteRow(*db.pager, *db.pages, tdef, *at);
  ASSERT_FALSE(gone);
  EXPECT_EQ(gone.error().code, ErrorCode::kNotFound);
  ExpectIndexesMatchRows(db, "Table3");
}

}  // namespace
