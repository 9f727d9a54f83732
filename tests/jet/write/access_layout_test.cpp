// What Access itself will see in the structures we write, compared with what
// Access wrote in its own files: index pages without a shared prefix unless
// the entries need one, memo columns without the compression flag, NOT NULL
// as the column property Required = Yes, and long values chained in
// ascending order. mdbtools and mdb-reader read every file back.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "platform/jet/public/database.h"
#include "platform/jet/format/index_page.h"
#include "platform/jet/format/long_value.h"
#include "platform/jet/format/row.h"
#include "platform/jet/format/tdef.h"
#include "platform/jet/table/row_access.h"
#include "platform/jet/table/table.h"
#include "tests/jet/write/writable_copy.h"

namespace {

using namespace jet;
using write_test::WritableCopy;

void Exec(const std::string& path, const std::vector<std::string>& statements) {
  auto db = Database::Open(path, {.writable = true});
  ASSERT_TRUE(db) << db.error().message;
  for (const auto& sql : statements) {
    auto done = (*db)->Execute(sql);
    ASSERT_TRUE(done) << sql.substr(0, 60) << ": " << done.error().message;
  }
  ASSERT_TRUE((*db)->Close());
}

const format::ColumnDef* Column(const std::vector<format::ColumnDef>& columns, const std::string& name) {
  for (const auto& c : columns)
    if (c.name == name) return &c;
  return nullptr;
}

std::string Output(const std::string& command) {
  std::string out;
  testing_support::RunCommand(command + " 2>&1", &out);
  return out;
}

// A text that does not compress (Cyrillic) of `n` characters.
std::string Cyrillic(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += i % 7 == 0 ? "\xD0\x96" : "\xD0\xAF";
  return s;
}

TEST(AccessLayoutTest, NewTablesCarryColumnFlagsPropertiesAndChainsAsAccessWritesThem) {
  REQUIRE_READERS();
  REQUIRE_FIXTURE(fixture, "longtext-2016.accdb");
  std::string path = testing_support::CopyFile(fixture, testing_support::ScratchFolder("AccessLayout"));
  const std::string long_memo = Cyrillic(20000);  // 40,000 bytes: ten segments of 4,072
  Exec(path, {"CREATE TABLE Made (id LONG NOT NULL, label TEXT(20), notes MEMO NOT NULL, extra MEMO)",
              "INSERT INTO Made VALUES (1, 'a', '" + long_memo + "', NULL)",
              "INSERT INTO Made VALUES (2, NULL, 'short', 'x')"});

  auto db = Database::Open(path);
  ASSERT_TRUE(db);
  // Column flags: our memo columns as Access's own memo column (LongText of Table1).
  auto access_columns = (*db)->TableColumns("Table1");
  auto our_columns = (*db)->TableColumns("Made");
  ASSERT_TRUE(access_columns && our_columns);
  const format::ColumnDef* access_memo = nullptr;
  for (const auto& c : *access_columns)
    if (c.type() == ColumnType::kMemo) access_memo = &c;
  ASSERT_NE(access_memo, nullptr);
  EXPECT_EQ(access_memo->ext_flags & format::kColumnCompressedUnicode, 0);
  EXPECT_EQ(Column(*our_columns, "notes")->ext_flags, access_memo->ext_flags);
  EXPECT_EQ(Column(*our_columns, "label")->ext_flags, format::kColumnCompressedUnicode);

  // The long memo: its segments in ascending page order, and whole.
  uint32_t tdef = (*(*db)->FindTable("Made"))->tdef_page();
  db->reset();
  WritableCopy copy;
  copy.path = path;
  ASSERT_TRUE(copy.Reopen());
  auto table = table::Table::Open(*copy.pager, tdef, "Made");
  ASSERT_TRUE(table);
  auto cursor = (*table)->Scan();
  ASSERT_TRUE(cursor.Valid());
  auto row = table::ReadRow(*copy.pager, cursor.position(), "row");
  ASSERT_TRUE(row);
  std::vector<format::RawField> fields;
  ASSERT_TRUE(format::DecodeRow(*row, (*table)->columns(), (*table)->definition().var_columns, fields));
  auto ref = format::ParseLongValue(fields[2].data);
  ASSERT_TRUE(ref);
  ASSERT_EQ(ref->kind, format::kLongValueChain);
  std::vector<uint32_t> chain;
  for (format::RowPointer at = ref->first; !at.IsNull() && chain.size() < 100;) {
    chain.push_back(at.page);
    auto segment = table::ReadRow(*copy.pager, at, "segment");
    ASSERT_TRUE(segment);
    at = format::LoadRowPointer(*segment, 0);
  }
  EXPECT_EQ(chain.size(), 10u);
  EXPECT_TRUE(std::is_sorted(chain.begin(), chain.end())) << "segments on pages " << ::testing::PrintToString(chain);
  copy.Close();

  // Required = Yes for the NOT NULL columns only, AllowZeroLength = Yes for
  // every Text and Memo column, as mdbtools prints the properties.
  std::string properties = Output("mdb-prop " + readers::ShellQuote(path) + " Made");
  EXPECT_EQ(properties,
            "name: id\n\tRequired: yes\n\nname: label\n\tAllowZeroLength: yes\n\n"
            "name: notes\n\tAllowZeroLength: yes\n\tRequired: yes\n\nname: extra\n\tAllowZeroLength: yes\n\n")
      << properties;
  std::string schema = Output("mdb-schema -T Made " + readers::ShellQuote(path));
  EXPECT_NE(schema.find("[id]\t\t\tLong Integer NOT NULL"), std::string::npos) << schema;
  EXPECT_EQ(schema.find("[label]\t\t\tText (20) NOT NULL"), std::string::npos) << schema;
  auto js = readers::MdbReaderRows(path, "Made");
  ASSERT_TRUE(js);
  ASSERT_EQ(js->rows.size(), 2u);
  EXPECT_EQ(js->rows[0][2].text, long_memo);
  EXPECT_EQ(readers::CheckReport(path), "");
}

// Sum of the entries' bytes without a shared prefix.
size_t PlainEntryBytes(const format::IndexPage& page) {
  size_t total = 0;
  for (const auto& e : page.entries)
    total += e.key.size() + (page.leaf ? 4 : 8);
  return total;
}

TEST(AccessLayoutTest, IndexPagesWeRewriteKeepNoSharedPrefixUnlessTheyNeedOne) {
  REQUIRE_MDBTOOLS();
  REQUIRE_FIXTURE(fixture, "indexes-2000.mdb");
  std::string path = testing_support::CopyFile(fixture, testing_support::ScratchFolder("AccessLayoutIndexes"));
  // Table2 has two indexes; 150 new tables grow MSysObjects' indexes past a page.
  std::vector<std::string> statements;
  for (int i = 0; i < 400; ++i)
    statements.push_back(fmt::format("INSERT INTO Table2 VALUES ({}, 'same prefix {:05}')", 1000 + i, i));
  for (int i = 0; i < 150; ++i) statements.push_back(fmt::format("CREATE TABLE common_prefix_{:03} (a LONG)", i));
  Exec(path, statements);

  const std::vector<std::byte> file = testing_support::ReadBytes(path);
  size_t index_pages = 0, prefixed = 0;
  for (size_t p = 1; p < file.size() / format::kPageSize; ++p) {
    std::span<const std::byte> image(file.data() + p * format::kPageSize, format::kPageSize);
    uint8_t type = static_cast<uint8_t>(image[0]);
    if (type != format::kIndexLeafPage && type != format::kIndexNodePage) continue;
    auto page = format::ParseIndexPage(image, static_cast<uint32_t>(p));
    ASSERT_TRUE(page) << page.error().message;
    ++index_pages;
    uint16_t prefix = static_cast<uint16_t>(static_cast<uint8_t>(image[0x18]) | static_cast<uint8_t>(image[0x19]) << 8);
    if (prefix != 0) ++prefixed;
    if (PlainEntryBytes(*page) <= format::kIndexEntryCapacity) {
      EXPECT_EQ(prefix, 0) << "page " << p;
    }
  }
  EXPECT_GT(index_pages, 6u);
  EXPECT_EQ(readers::CheckReport(path), "");
  EXPECT_NE(Output("mdb-tables -1 " + readers::ShellQuote(path)).find("common_prefix_149"), std::string::npos);
  EXPECT_NE(Output("mdb-export " + readers::ShellQuote(path) + " Table2").find("same prefix 00399"), std::string::npos);
}

}  // namespace
