// The system tables a new .accdb gets are those the ACE engine made in the
// empty files of Access 2007, 2010, 2016 and 2019: every column's type,
// flags, length, place and collation, and every index, as Access wrote them.

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "platform/jet/file/pager.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/create/system_tables.h"
#include "platform/jet/table/table.h"
#include "tests/support/environment.h"

namespace {

using namespace jet;

// An index as a comparable value: name, columns, flags, kind.
using IndexShape = std::tuple<std::string, std::vector<uint16_t>, uint8_t, uint8_t>;

std::vector<IndexShape> Shapes(const format::TableDefinition& d) {
  std::vector<IndexShape> out;
  for (const auto& l : d.logical_indexes) {
    const auto& real = d.real_indexes.at(l.real_index);
    std::vector<uint16_t> columns;
    for (const auto& c : real.columns) columns.push_back(c.column_number);
    out.emplace_back(l.name, columns, real.flags, l.kind);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<IndexShape> Shapes(const table::SystemTable& t) {
  std::vector<IndexShape> out;
  for (const auto& i : t.indexes) out.emplace_back(i.name, i.columns, i.flags, i.kind);
  std::sort(out.begin(), out.end());
  return out;
}

TEST(AceSystemTables, AreTheTablesOfAccessMadeEmptyFiles) {
  for (const char* name : {"empty-2007.accdb", "empty-2010.accdb", "empty-2016.accdb", "empty-2019.accdb"}) {
    SCOPED_TRACE(name);
    REQUIRE_FIXTURE(path, name);
    auto pager = Pager::Open(path, {});
    ASSERT_TRUE(pager) << pager.error().message;
    auto objects = table::ReadCatalog(**pager);
    ASSERT_TRUE(objects);
    const auto& header = (*pager)->header();
    for (const table::SystemTable& ours : table::AceSystemTables(header.sort_order, header.sort_version)) {
      SCOPED_TRACE(ours.name);
      auto found = std::find_if(objects->begin(), objects->end(), [&](const auto& o) { return o.name == ours.name; });
      ASSERT_NE(found, objects->end());
      auto theirs = table::Table::Open(**pager, found->tdef_page(), ours.name);
      ASSERT_TRUE(theirs) << theirs.error().message;
      const format::TableDefinition& d = (*theirs)->definition();
      EXPECT_EQ(d.table_type, ours.table_type);
      ASSERT_EQ(d.columns.size(), ours.columns.size());
      for (size_t i = 0; i < ours.columns.size(); ++i) {
        const format::ColumnDef &a = d.columns[i], &b = ours.columns[i];
        SCOPED_TRACE(b.name);
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.type_code, b.type_code);
        EXPECT_EQ(a.flags, b.flags);
        EXPECT_EQ(a.ext_flags, b.ext_flags);
        EXPECT_EQ(a.length, b.length);
        EXPECT_EQ(a.var_index, b.var_index);
        EXPECT_EQ(a.collation, b.collation);
        EXPECT_EQ(a.sort_version, b.sort_version);
        EXPECT_EQ(std::tie(a.precision, a.scale), std::tie(b.precision, b.scale));
        // Access leaves whatever was there in a variable column's fixed offset.
        if (a.fixed()) {
          EXPECT_EQ(a.fixed_offset, b.fixed_offset);
        }
      }
      EXPECT_EQ(Shapes(d), Shapes(ours));
    }
  }
}

}  // namespace
