// Relationships declared in CREATE TABLE or added by ALTER TABLE to tables
// that hold their rows, in copies of Access's own empty files and in a new
// .accdb: MSysRelationships and the catalogue hold what Access writes, both
// readers read every row, `pelmora-access check` verifies each relationship;
// what Access refuses is refused with Access's message and leaves the file
// byte for byte as it was. And Access's own relationships, dropped and made
// again, come back as Access wrote them.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/jet/public/create.h"
#include "tests/jet/ddl/ddl_session.h"
#include "platform/jet/table/table.h"
#include "tests/jet/write/writable_copy.h"

namespace {

using ddl_test::Session;

using ddl_test::FileBytes;

std::string Export(const std::string& path, const std::string& table) {
  std::string csv;
  EXPECT_EQ(testing_support::RunCommand("mdb-export " + readers::ShellQuote(path) + " " + table, &csv), 0);
  return csv;
}

constexpr const char* kRelatedRecord = "a related record is required in table 'parent'.";

void RelationshipsAndTheirRefusals(Session& s) {
  s.Run("CREATE TABLE parent (a LONG, b TEXT(20), label TEXT(50), rank LONG, "
        "CONSTRAINT pk PRIMARY KEY (a, b), CONSTRAINT by_label UNIQUE (label))");
  s.Run("CREATE INDEX by_rank ON parent (rank DESC)");
  s.Run("CREATE INDEX maybe_label ON parent (label, rank) WITH IGNORE NULL");
  s.Run("CREATE TABLE child (id COUNTER PRIMARY KEY, pa LONG, pb TEXT(20), note TEXT(20) DEFAULT 'none', "
        "CONSTRAINT to_parent FOREIGN KEY (pa, pb) REFERENCES parent (a, b) ON DELETE CASCADE)");
  for (int i = 0; i < 10000; ++i)
    s.Run(fmt::format("INSERT INTO parent VALUES ({}, 'k{}', {}, {})", i % 100, i,
                      i % 7 ? fmt::format("'label {}'", i) : "NULL", i % 50));
  for (int i = 0; i < 10000; ++i) s.Run(fmt::format("INSERT INTO child (pa, pb) VALUES ({}, 'k{}')", i % 100, i));
  // Keys compare as the index sorts them: case does not count. A key with a NULL in it names nothing.
  s.Run("INSERT INTO child (pa, pb, note) VALUES (0, 'K0', 'case')");
  s.Run("INSERT INTO child (pa, pb) VALUES (99999, NULL)");

  // Rows first, then the key and a relationship of the table with itself.
  s.Run("CREATE TABLE staff (id LONG, boss LONG)");
  for (int i = 1; i <= 10000; ++i) s.Run(fmt::format("INSERT INTO staff VALUES ({}, {})", i, i == 1 ? 1 : i / 2));
  s.Run("ALTER TABLE staff ADD CONSTRAINT staff_pk PRIMARY KEY (id)");
  s.Run("ALTER TABLE staff ADD CONSTRAINT reports_to FOREIGN KEY (boss) REFERENCES staff (id) ON UPDATE CASCADE");
  s.Run("INSERT INTO staff VALUES (20000, 20000)");  // its own boss

  // Unnamed relationships are named referenced table + this one, numbered when taken.
  s.Run("CREATE TABLE other (x LONG PRIMARY KEY)");
  for (int i = 0; i < 10; ++i) s.Run(fmt::format("INSERT INTO other VALUES ({})", i));
  s.Run("CREATE TABLE link (x LONG REFERENCES other, y LONG REFERENCES other (x) ON DELETE SET NULL)");
  s.Run("INSERT INTO link VALUES (1, 2)");

  // For the refusals below: rows without a parent, and a table at Access's index limit.
  s.Run("CREATE TABLE loose (pa LONG, pb TEXT(20), m MEMO, t TEXT(5))");
  s.Run("INSERT INTO loose VALUES (5, 'nowhere', 'memo', 'x')");
  std::string wide = "CREATE TABLE wide (c0 LONG PRIMARY KEY";
  for (int i = 1; i < 32; ++i) wide += fmt::format(", c{} LONG UNIQUE", i);
  s.Run(wide + ")");
  s.Close();
  const std::string before = FileBytes(s.path);

  s.Reopen();
  EXPECT_NE(s.Refused("INSERT INTO child (pa, pb) VALUES (1, 'k2')").find(kRelatedRecord), std::string::npos);
  EXPECT_NE(s.Refused("INSERT INTO child (pa, pb) VALUES (100, 'k100')").find(kRelatedRecord), std::string::npos);
  EXPECT_NE(s.Refused("INSERT INTO staff VALUES (30000, 40000)").find("related record is required in table 'staff'"),
            std::string::npos);
  EXPECT_NE(s.Refused("INSERT INTO link VALUES (10, NULL)").find("in table 'other'"), std::string::npos);
  EXPECT_NE(s.Refused("DROP TABLE parent").find("relationships"), std::string::npos);
  EXPECT_NE(s.Refused("DROP TABLE child").find("relationships"), std::string::npos);
  EXPECT_NE(s.Refused("ALTER TABLE loose ADD CONSTRAINT f FOREIGN KEY (pa, pb) REFERENCES parent")
                .find("Data in the table 'loose' violates referential integrity rules"),
            std::string::npos);
  EXPECT_NE(s.Refused("ALTER TABLE loose ADD CONSTRAINT f FOREIGN KEY (pa) REFERENCES parent (a)")
                .find("No unique index found for the referenced field of the primary table."),
            std::string::npos);
  EXPECT_NE(s.Refused("ALTER TABLE loose ADD CONSTRAINT f FOREIGN KEY (m) REFERENCES parent (label)")
                .find("Memo, OLE Object and Attachment fields cannot"),
            std::string::npos);
  EXPECT_NE(s.Refused("ALTER TABLE loose ADD CONSTRAINT f FOREIGN KEY (pb, pa) REFERENCES parent (a, b)")
                .find("Relationship must be on the same number of fields with the same data types."),
            std::string::npos);
  EXPECT_NE(s.Refused("ALTER TABLE loose ADD CONSTRAINT f FOREIGN KEY (pa) REFERENCES parent (a, b)")
                .find("Relationship must be on the same number of fields"),
            std::string::npos);
  EXPECT_NE(s.Refused("ALTER TABLE loose ADD CONSTRAINT to_parent FOREIGN KEY (pa, pb) REFERENCES parent")
                .find("already exists"),
            std::string::npos);
  EXPECT_NE(s.Refused("ALTER TABLE loose ADD CONSTRAINT f FOREIGN KEY (pa) REFERENCES nowhere").find("cannot find"),
            std::string::npos);
  // 32 indexes already: the relationship's own would be the 33rd.
  EXPECT_NE(s.Refused("ALTER TABLE wide ADD CONSTRAINT f FOREIGN KEY (c1) REFERENCES other (x)")
                .find("too many indexes on table 'wide'"),
            std::string::npos);
  EXPECT_NE(s.Refused("ALTER TABLE other ADD CONSTRAINT f FOREIGN KEY (x) REFERENCES wide (c0)")
                .find("too many indexes on table 'wide'"),
            std::string::npos);
  // Its relationship's indexes number after the others: no index comes after them.
  EXPECT_NE(s.Refused("CREATE INDEX late ON link (y, x)").find("Make its indexes before its relationships."),
            std::string::npos);
  EXPECT_NE(s.Refused("CREATE TABLE two (p LONG REFERENCES other ON UPDATE SET NULL)").find("ON UPDATE SET NULL"),
            std::string::npos);
  // A CREATE TABLE whose relationship fails leaves no table behind.
  EXPECT_NE(s.Refused("CREATE TABLE two (p TEXT(5) REFERENCES other)").find("same data types"), std::string::npos);
  s.Close();
  EXPECT_EQ(FileBytes(s.path), before) << "a refused statement changed the file";

  s.ExpectReadersAgree();
  EXPECT_EQ(Export(s.path, "MSysRelationships"),
            "szRelationship,grbit,ccolumn,icolumn,szObject,szColumn,szReferencedObject,szReferencedColumn\n"
            "\"to_parent\",4096,2,0,\"child\",\"pa\",\"parent\",\"a\"\n"
            "\"to_parent\",4096,2,1,\"child\",\"pb\",\"parent\",\"b\"\n"
            "\"reports_to\",256,1,0,\"staff\",\"boss\",\"staff\",\"id\"\n"
            "\"otherlink\",0,1,0,\"link\",\"x\",\"other\",\"x\"\n"
            "\"otherlink1\",8192,1,0,\"link\",\"y\",\"other\",\"x\"\n");
  // One catalogue row each, Type 8 in the Relationships container (Id 0x0F000003).
  const std::string objects = Export(s.path, "MSysObjects");
  for (const char* name : {"to_parent", "reports_to", "otherlink", "otherlink1"})
    EXPECT_NE(objects.find(fmt::format(",251658243,\"{}\",8,", name)), std::string::npos) << name;
  std::string schema, props;
  ASSERT_EQ(testing_support::RunCommand("mdb-schema " + readers::ShellQuote(s.path) + " postgres 2>/dev/null", &schema),
            0);
  EXPECT_NE(schema.find("ALTER TABLE \"parent\" ADD CONSTRAINT \"parent_pkey\" PRIMARY KEY (\"a\", \"b\");"),
            std::string::npos)
      << schema;
  EXPECT_NE(schema.find("CREATE UNIQUE INDEX \"parent_by_label_idx\" ON \"parent\" (\"label\");"), std::string::npos);
  EXPECT_NE(schema.find("CREATE INDEX \"parent_by_rank_idx\" ON \"parent\" (\"rank\" DESC);"), std::string::npos);
  EXPECT_NE(schema.find("CREATE INDEX \"parent_maybe_label_idx\" ON \"parent\" (\"label\", \"rank\");"),
            std::string::npos);
  EXPECT_NE(schema.find("ALTER TABLE \"child\" ADD CONSTRAINT \"child_pkey\" PRIMARY KEY (\"id\");"),
            std::string::npos);
  EXPECT_NE(schema.find("ALTER TABLE \"staff\" ADD CONSTRAINT \"staff_pkey\" PRIMARY KEY (\"id\");"),
            std::string::npos);
  ASSERT_EQ(testing_support::RunCommand("mdb-prop " + readers::ShellQuote(s.path) + " child", &props), 0);
  EXPECT_NE(props.find("DefaultValue: \"none\""), std::string::npos) << props;
  std::string ours;
  ASSERT_EQ(testing_support::RunCommand(std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access schema " +
                                            readers::ShellQuote(s.path),
                                        &ours),
            0);
  EXPECT_NE(ours.find("ALTER TABLE [child] ADD CONSTRAINT [to_parent] FOREIGN KEY ([pa], [pb]) REFERENCES [parent] "
                      "([a], [b]) ON DELETE CASCADE;\n"),
            std::string::npos)
      << ours;
  EXPECT_NE(ours.find("ALTER TABLE [link] ADD CONSTRAINT [otherlink1] FOREIGN KEY ([y]) REFERENCES [other] ([x]) "
                      "ON DELETE SET NULL;\n"),
            std::string::npos);

  // Dropped again: rows, indexes and catalogue rows go, and the tables may go too.
  s.Reopen();
  s.Run("ALTER TABLE child DROP CONSTRAINT to_parent");
  s.Run("ALTER TABLE other DROP CONSTRAINT OTHERLINK");  // from the referenced side, in any case
  s.Run("DROP TABLE parent");
  s.Run("INSERT INTO link VALUES (99, 5)");  // x no longer needs its parent, y still does
  EXPECT_NE(s.Refused("INSERT INTO link VALUES (5, 99)").find("in table 'other'"), std::string::npos);
  s.Close();
  EXPECT_EQ(Export(s.path, "MSysRelationships"),
            "szRelationship,grbit,ccolumn,icolumn,szObject,szColumn,szReferencedObject,szReferencedColumn\n"
            "\"reports_to\",256,1,0,\"staff\",\"boss\",\"staff\",\"id\"\n"
            "\"otherlink1\",8192,1,0,\"link\",\"y\",\"other\",\"x\"\n");
  EXPECT_EQ(Export(s.path, "MSysObjects").find("\"to_parent\""), std::string::npos);
  s.ExpectReadersAgree();
}

class RelationshipsOnFixture : public ::testing::TestWithParam<const char*> {};

TEST_P(RelationshipsOnFixture, StoredAndEnforcedAsAccessDoes) {
  REQUIRE_FIXTURES(GetParam());
  REQUIRE_READERS();
  Session s;
  ASSERT_TRUE(s.Open(GetParam(), std::string("Relationships.") + GetParam()));
  RelationshipsAndTheirRefusals(s);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RelationshipsOnFixture, ::testing::Values("empty-2003.mdb", "empty-2010.accdb"),
                         ddl_test::FixtureName());

TEST(RelationshipsInANewFile, StoredAndEnforcedAsAccessDoes) {
  REQUIRE_READERS();
  const std::string path = testing_support::ScratchFolder("RelationshipsInANewFile") + "/new.accdb";
  ASSERT_TRUE(jet::CreateBlankDatabase(path, {.format = jet::BlankFormat::kAccess2016}));
  Session s;
  ASSERT_TRUE(s.OpenFile(path));
  RelationshipsAndTheirRefusals(s);
}

// Access's own relationships Table2Table1 (cascading deletes) and
// Table3Table1 (cascading updates), dropped and made again by statements:
// the referenced tables' definitions come back byte for byte, the foreign-key
// side's index fields as Access wrote them, and Table2Table1 dropped first
// renumbers Table3Table1 and its partner on both sides.
class AccessRelationshipsAgain : public ::testing::TestWithParam<const char*> {};

TEST_P(AccessRelationshipsAgain, ComeBackAsAccessWroteThem) {
  REQUIRE_FIXTURES(GetParam());
  write_test::WritableCopy original;
  ASSERT_TRUE(original.Open(GetParam(), std::string("AccessRelationshipsAgain.original.") + GetParam()));
  Session s;
  ASSERT_TRUE(s.Open(GetParam(), std::string("AccessRelationshipsAgain.") + GetParam()));
  s.Run("ALTER TABLE Table1 DROP CONSTRAINT Table2Table1");
  s.Run("ALTER TABLE Table1 DROP CONSTRAINT Table3Table1");
  s.Run("ALTER TABLE Table1 ADD CONSTRAINT Table2Table1 FOREIGN KEY (otherfk1) REFERENCES Table2 (id) "
        "ON DELETE CASCADE");
  s.Run("ALTER TABLE Table1 ADD CONSTRAINT Table3Table1 FOREIGN KEY (otherfk2) REFERENCES Table3 ON UPDATE CASCADE");
  s.Close();
  EXPECT_EQ(s.CheckReport(), "");
  EXPECT_EQ(Export(s.path, "MSysRelationships"), Export(original.path, "MSysRelationships"));

  write_test::WritableCopy made;
  ASSERT_TRUE(made.Open(GetParam(), std::string("AccessRelationshipsAgain.made.") + GetParam()));
  made.Close();
  made.path = s.path;
  ASSERT_TRUE(made.Reopen());
  auto definition = [](write_test::WritableCopy& copy, const std::string& table) {
    auto buffer = jet::table::ReadDefinitionBuffer(*copy.pager, copy.Tdef(table));
    EXPECT_TRUE(buffer);
    return buffer ? *buffer : std::vector<std::byte>{};
  };
  for (const char* table : {"Table2", "Table3"})
    EXPECT_TRUE(definition(original, table) == definition(made, table)) << table;
  auto ours = jet::format::ParseTableDefinition(definition(made, "Table1"), 0);
  auto theirs = jet::format::ParseTableDefinition(definition(original, "Table1"), 0);
  ASSERT_TRUE(ours && theirs);
  ASSERT_EQ(ours->logical_indexes.size(), theirs->logical_indexes.size());
  for (size_t i = 0; i < ours->logical_indexes.size(); ++i) {
    const auto& a = ours->logical_indexes[i];
    const auto& b = theirs->logical_indexes[i];
    EXPECT_EQ(std::tie(a.name, a.number, a.real_index, a.kind, a.side, a.other_index, a.other_tdef, a.on_update,
                       a.on_delete),
              std::tie(b.name, b.number, b.real_index, b.kind, b.side, b.other_index, b.other_tdef, b.on_update,
                       b.on_delete))
        << a.name;
  }
  ASSERT_EQ(ours->real_indexes.size(), theirs->real_indexes.size());
  for (size_t i = 0; i < ours->real_indexes.size(); ++i) {
    EXPECT_EQ(ours->real_indexes[i].flags, theirs->real_indexes[i].flags) << i;
    EXPECT_EQ(ours->real_indexes[i].unique_entries, theirs->real_indexes[i].unique_entries) << i;
    ASSERT_EQ(ours->real_indexes[i].columns.size(), theirs->real_indexes[i].columns.size());
    EXPECT_EQ(ours->real_indexes[i].columns[0].column_number, theirs->real_indexes[i].columns[0].column_number);
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, AccessRelationshipsAgain,
                         ::testing::Values("indexes-2000.mdb", "indexes-2007.accdb"), ddl_test::FixtureName());

}  // namespace
