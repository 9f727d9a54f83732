// New .accdb files of each version against the empty file Access made of the
// same version (docs/new-accdb-files.md): the header byte for byte, every
// system table's definition, the catalogue rows and access-control entries
// as Access's file holds them, every other object of that file one of
// Access's own; what mdbtools, mdb-reader and our check read; every table
// found through the catalogue's name index; and an encrypted file.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <set>

#include "platform/jet/public/database.h"
#include "platform/jet/file/codec.h"
#include "platform/jet/file/pager.h"
#include "platform/jet/create/blank_database.h"
#include "platform/jet/create/blank_formats.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/catalog_writer.h"
#include "platform/jet/table/table.h"
#include "tests/jet/write/readers.h"
#include "tests/support/environment.h"

namespace {

using namespace jet;

struct AceVersion {
  const char* name;
  BlankFormat format;
  const char* fixture;
};

const AceVersion kVersions[] = {{"Access2007", BlankFormat::kAccess2007, "empty-2007.accdb"},
                                {"Access2010", BlankFormat::kAccess2010, "empty-2010.accdb"},
                                {"Access2016", BlankFormat::kAccess2016, "empty-2016.accdb"},
                                {"Access2019", BlankFormat::kAccess2019, "empty-2019.accdb"}};

// The objects Access adds when it first opens a database (its navigation
// pane, resources, themes, SharePoint caches and its own containers), which a
// new file leaves to it.
bool IsAccessOwn(const std::string& name) {
  for (const char* prefix : {"MSysNavPane", "MSysAccessStorage", "MSysResources", "MSysWSDP", "f_"})
    if (name.starts_with(prefix)) return true;
  static const std::set<std::string> kContainers = {"DataAccessPages", "Forms",      "Modules",    "Reports",
                                                    "Scripts",         "SysRel",     "AccessLayout",
                                                    "SummaryInfo",     "UserDefined"};
  return kContainers.count(name) > 0;
}

// Everything of a definition the engine decides; the counts of rows, index
// entries and AutoNumbers follow the rows Access added.
std::string Shape(const format::TableDefinition& d) {
  std::string s = fmt::format("type {:#x} max {} var {} owned {}.{} free {}.{}\n", d.table_type, d.max_columns,
                              d.var_columns, d.owned_pages.page, d.owned_pages.row, d.free_pages.page,
                              d.free_pages.row);
  for (const auto& c : d.columns)
    s += fmt::format("column {} {} type {} var {} offset {} length {} flags {:#x}/{:#x} sort {}/{} digits {}/{}\n",
                     c.number, c.name, c.type_code, c.var_index, c.fixed() ? c.fixed_offset : 0, c.length, c.flags,
                     c.ext_flags, c.collation, c.sort_version, c.precision, c.scale);
  for (const auto& r : d.real_indexes) {
    s += fmt::format("real index flags {:#x} map {}.{} root {} columns", r.flags, r.usage_map.page, r.usage_map.row,
                     r.root_page);
    for (const auto& c : r.columns) s += fmt::format(" {}{}", c.column_number, c.ascending ? "" : " desc");
    s += "\n";
  }
  for (const auto& l : d.logical_indexes)
    s += fmt::format("logical index {} {} real {} kind {}\n", l.number, l.name, l.real_index, l.kind);
  for (const auto& m : d.column_maps)
    s += fmt::format("column maps {} {}.{} {}.{}\n", m.column_number, m.owned.page, m.owned.row, m.free.page,
                     m.free.row);
  return s;
}

// The column descriptors as stored, 25 bytes each, without the bytes the
// engine leaves unset in a variable column's fixed offset.
std::string Descriptors(PageStore& store, uint32_t tdef_page, size_t real_indexes, size_t columns) {
  auto page = store.Read(tdef_page);
  if (!page) return "unreadable";
  std::string out;
  for (size_t i = 0; i < columns; ++i) {
    auto d = page->subspan(0x3F + 12 * real_indexes + 25 * i, 25);
    const bool fixed = (static_cast<uint8_t>(d[15]) & 0x01) != 0;
    for (size_t b = 0; b < d.size(); ++b)
      out += (!fixed && (b == 21 || b == 22)) ? std::string("..") : fmt::format("{:02x}", static_cast<uint8_t>(d[b]));
    out += "\n";
  }
  return out;
}

// mdb-export's rows of a system table as lines, without the dates and property lists.
std::set<std::string> RowLines(const std::string& path, const std::string& table) {
  std::set<std::string> out;
  auto rows = readers::MdbtoolsRows(path, table);
  EXPECT_TRUE(rows) << "mdb-export failed on " << table << " of " << path;
  if (!rows) return out;
  for (const auto& row : *rows) {
    std::string line;
    for (size_t c = 0; c < row.size(); ++c) {
      if (table == "MSysObjects" && (c == 4 || c == 5 || c >= 8)) continue;
      line += (row[c].null ? std::string("NULL") : row[c].text) + "|";
    }
    out.insert(line);
  }
  return out;
}

std::vector<std::byte> HeaderPage(const std::string& path) {
  std::vector<std::byte> page = testing_support::ReadBytes(path);
  page.resize(format::kPageSize);
  ApplyHeaderMask(page);
  return page;
}

class BlankAccdbTest : public ::testing::TestWithParam<AceVersion> {};

TEST_P(BlankAccdbTest, IsTheAccessMadeEmptyFileWithoutAccessOwnObjects) {
  REQUIRE_READERS();
  const AceVersion& v = GetParam();
  REQUIRE_FIXTURE(theirs, v.fixture);
  std::vector<std::byte> their_header = HeaderPage(theirs);
  auto their_decoded = format::DecodeHeader(their_header);
  ASSERT_TRUE(their_decoded);
  std::string ours = testing_support::ScratchFolder(std::string("BlankAccdb_") + v.name) + "/new.accdb";
  auto made = CreateBlankDatabase(ours, {.format = v.format, .creation_date = their_decoded->creation_date});
  ASSERT_TRUE(made) << made.error().message;

  // The header: every byte but the first four of the table at 0xE00, which differ between Access's own files.
  std::vector<std::byte> our_header = HeaderPage(ours);
  for (size_t i = 0; i < format::kPageSize; ++i)
    if (i < 0xE00 || i >= 0xE04) {
      ASSERT_EQ(our_header[i], their_header[i]) << "header byte 0x" << std::hex << i;
    }

  // Every table and catalogue object: ours as Access's file has it; theirs ours or Access's own.
  auto our_pager = Pager::Open(ours, {});
  auto their_pager = Pager::Open(theirs, {});
  ASSERT_TRUE(our_pager && their_pager);
  auto our_objects = table::ReadCatalog(**our_pager);
  auto their_objects = table::ReadCatalog(**their_pager);
  ASSERT_TRUE(our_objects && their_objects);
  std::set<std::string> our_names;
  for (const auto& o : *our_objects) {
    our_names.insert(o.name);
    if (o.type != 1) continue;
    SCOPED_TRACE(o.name);
    auto same = std::find_if(their_objects->begin(), their_objects->end(), [&](const auto& t) { return t.name == o.name; });
    ASSERT_NE(same, their_objects->end());
    EXPECT_EQ(o.tdef_page(), same->tdef_page());
    auto a = table::Table::Open(**our_pager, o.tdef_page(), o.name);
    auto b = table::Table::Open(**their_pager, same->tdef_page(), o.name);
    ASSERT_TRUE(a && b);
    const auto& ad = (*a)->definition();
    EXPECT_EQ(Shape(ad), Shape((*b)->definition()));
    EXPECT_EQ(Descriptors(**our_pager, o.tdef_page(), ad.real_indexes.size(), ad.columns.size()),
              Descriptors(**their_pager, o.tdef_page(), ad.real_indexes.size(), ad.columns.size()));
  }
  for (const auto& t : *their_objects)
    if (!our_names.count(t.name)) {
      EXPECT_TRUE(IsAccessOwn(t.name)) << t.name << " is in Access's file only";
    }

  // Catalogue rows (ids, names, types, owners, flags) and access-control entries as Access's file holds them,
  // but for the Admin user's rights on the Tables container, which Access widens when it opens a database.
  std::set<std::string> their_rows = RowLines(theirs, "MSysObjects");
  for (const auto& row : RowLines(ours, "MSysObjects")) EXPECT_TRUE(their_rows.count(row)) << row;
  const Bytes& admin = ProfileOf(v.format).sids.admin;
  const std::string tables_admin = fmt::format("251658241|{:02X}{:02X}|393217|0|", admin[0], admin[1]);
  std::set<std::string> their_aces = RowLines(theirs, "MSysACEs");
  std::set<std::string> our_aces = RowLines(ours, "MSysACEs");
  EXPECT_EQ(our_aces.size(), 36u);
  for (const auto& row : our_aces)
    if (row != tables_admin) {
      EXPECT_TRUE(their_aces.count(row)) << row;
    }

  std::string props;
  testing_support::RunCommand("mdb-prop " + readers::ShellQuote(ours) + " MSysDb", &props);
  EXPECT_NE(props.find("AccessVersion: 09.50"), std::string::npos) << props;

  // Both readers read every system table; our check walks definitions, maps and indexes.
  std::string listed, out;
  ASSERT_EQ(testing_support::RunCommand("mdb-tables -S -1 " + readers::ShellQuote(ours), &listed), 0);
  for (const auto& o : *our_objects)
    if (o.type == 1) {
      EXPECT_NE(listed.find(o.name + "\n"), std::string::npos) << o.name;
      EXPECT_TRUE(readers::MdbtoolsRows(ours, o.name)) << "mdb-export cannot read " << o.name;
      EXPECT_TRUE(readers::MdbReaderRows(ours, o.name)) << "mdb-reader cannot read " << o.name;
    }
  EXPECT_EQ(testing_support::RunCommand("mdb-schema " + readers::ShellQuote(ours) + " 2>&1", &out), 0) << out;
  EXPECT_EQ(readers::CheckReport(ours), "");

  // Every catalogue object is found through MSysObjects' name index (of this version's sort order).
  for (const auto& o : *our_objects) {
    auto found = table::CatalogNameTaken(**our_pager, o.parent_id, o.name);
    EXPECT_TRUE(found && *found) << o.name;
  }
  auto absent = table::CatalogNameTaken(**our_pager, 0x0F000001, "MSysNavPaneGroups");
  EXPECT_TRUE(absent && !*absent);
}

// An encrypted .accdb: mdb-reader opens it with the password; our engine
// refuses a wrong one, writes into it with the right one, and the pages it
// writes later are encrypted as the first ones were.
TEST_P(BlankAccdbTest, EncryptedWithItsPassword) {
  REQUIRE_MDB_READER();
  const AceVersion& v = GetParam();
  const std::string password = "p\xC3\xA4ss w0rd";
  std::string path = testing_support::ScratchFolder(std::string("BlankAccdbPassword_") + v.name) + "/new.accdb";
  ASSERT_TRUE(CreateBlankDatabase(path, {.format = v.format, .password = password}));
  auto header = format::DecodeHeader(HeaderPage(path));
  ASSERT_TRUE(header);
  EXPECT_NE(header->db_key, 0u);
  EXPECT_EQ(std::tie(header->encryption_major, header->encryption_minor), std::make_tuple(4, 4));  // Agile

  auto wrong = Database::Open(path, {.password = "wrong"});
  ASSERT_FALSE(wrong);
  EXPECT_EQ(wrong.error().code, ErrorCode::kWrongPassword);
  {
    auto db = Database::Open(path, {.password = password, .writable = true});
    ASSERT_TRUE(db) << db.error().message;
    ASSERT_TRUE((*db)->Execute("CREATE TABLE notes (id COUNTER, body MEMO)"));
    ASSERT_TRUE((*db)->Execute("INSERT INTO notes (body) VALUES ('" + std::string(5000, 'n') + "')"));
    ASSERT_TRUE((*db)->Close());
  }
  auto objects = readers::MdbReaderRows(path, "MSysObjects", password);
  ASSERT_TRUE(objects);
  EXPECT_EQ(objects->rows.size(), 19u);  // 3 containers, MSysDb, 14 system tables, notes
  auto notes = readers::MdbReaderRows(path, "notes", password);
  ASSERT_TRUE(notes);
  ASSERT_EQ(notes->rows.size(), 1u);
  EXPECT_EQ(notes->rows[0][1].text, std::string(5000, 'n'));
  EXPECT_EQ(readers::CheckReport(path, password), "");
}

INSTANTIATE_TEST_SUITE_P(Versions, BlankAccdbTest, ::testing::ValuesIn(kVersions),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
