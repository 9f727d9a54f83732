// Primary keys and indexes declared in CREATE TABLE or made by CREATE INDEX
// on tables that hold their rows, in copies of
// Access's own empty files and in a new .accdb: mdbtools prints the same keys
// and indexes, both readers read every row, `pelmora-access check` verifies
// every index against the rows; what Access refuses is refused with Access's
// message and leaves the file byte for byte as it was.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/jet/public/create.h"
#include "tests/jet/ddl/ddl_session.h"

namespace {

using ddl_test::Session;

using ddl_test::FileBytes;

constexpr const char* kDuplicate = "would create duplicate values in the index, primary key, or relationship";
constexpr const char* kNullKey = "Index or primary key cannot contain a Null value.";

void KeysAndTheirRefusals(Session& s) {
  s.Run("CREATE TABLE parent (a LONG, b TEXT(20), c LONG, d DOUBLE, CONSTRAINT pk PRIMARY KEY (a, b), "
        "CONSTRAINT by_c UNIQUE (c DESC))");
  s.Run("CREATE TABLE child (id LONG PRIMARY KEY, name TEXT(50) UNIQUE, note MEMO)");
  for (int i = 0; i < 10000; ++i)
    s.Run(fmt::format("INSERT INTO parent VALUES ({}, 'k{}', {}, {})", i % 100, i, 10000 - i, i * 0.5));
  for (int i = 0; i < 2000; ++i) s.Run(fmt::format("INSERT INTO child VALUES ({}, 'Name {}', NULL)", i, i));
  // Two rows whose unique column is NULL are no duplicates.
  s.Run("INSERT INTO parent VALUES (7, 'no c', NULL, 0)");
  s.Run("INSERT INTO parent VALUES (7, 'no c either', NULL, 0)");
  // Keys of the other types Access indexes: GUID, Decimal, Yes/No, Memo (its first 255 characters).
  s.Run("CREATE TABLE keyed (g GUID PRIMARY KEY, n DECIMAL(18,4) UNIQUE, y YESNO, m MEMO)");
  s.Run("CREATE INDEX by_y ON keyed (y DESC, n)");
  for (int i = 0; i < 10000; ++i)
    s.Run(fmt::format("INSERT INTO keyed VALUES ('{{{:08X}-0000-4000-8000-{:012X}}}', {}.{:04}, {}, '{}')", i * 2654435761u,
                      i, i % 2 ? -i : i, i % 10000, i % 3 ? "True" : "False", std::string(300, 'm') + std::to_string(i)));
  s.Run("CREATE INDEX by_m ON keyed (m)");
  // Keys alike far beyond their first bytes, and keys that begin others:
  // sorted as the tree orders them, or the check finds leaves out of order.
  s.Run("CREATE TABLE blobs (v BINARY(40), k LONG)");
  for (int i = 0; i < 3000; ++i)
    s.Run(fmt::format("INSERT INTO blobs VALUES (0x{}{}, {})", std::string(2 * (i % 37), 'A'), i % 3 ? "" : "0B",
                      i % 5));
  s.Run("CREATE INDEX by_v ON blobs (v DESC, k)");
  s.Run("CREATE INDEX by_vk ON blobs (v, k DESC)");
  // Indexes made on tables that hold their rows, then rows after them.
  s.Run("CREATE INDEX by_d ON parent (d DESC)");
  s.Run("CREATE UNIQUE INDEX by_b ON parent (b) WITH DISALLOW NULL");
  s.Run("CREATE INDEX by_note ON child (note) WITH IGNORE NULL");
  s.Run("ALTER TABLE child ADD CONSTRAINT name_id UNIQUE (name, id DESC)");
  s.Run("ALTER TABLE child ADD CONSTRAINT passing UNIQUE (id, name)");
  s.Run("ALTER TABLE child DROP CONSTRAINT passing");
  s.Run("INSERT INTO parent VALUES (500, 'after', -1, -2.5)");
  s.Run("INSERT INTO child VALUES (5000, 'Later', 'a note')");
  s.Run("INSERT INTO child VALUES (5001, 'Nämé 5', NULL)");
  // An index dropped, the ones after it renumbered; one made again in its place.
  s.Run("CREATE INDEX gone ON parent (d, c)");
  s.Run("DROP INDEX by_d ON parent");
  s.Run("DROP INDEX GONE ON parent");
  s.Run("CREATE INDEX by_d ON parent (d DESC)");
  s.Close();
  const std::string before = FileBytes(s.path);

  s.Reopen();
  EXPECT_NE(s.Refused("INSERT INTO parent VALUES (1, 'k1', 99999, 0)").find(kDuplicate), std::string::npos);
  EXPECT_NE(s.Refused("INSERT INTO parent VALUES (100, 'new', 10000, 0)").find(kDuplicate), std::string::npos);
  EXPECT_NE(s.Refused("INSERT INTO parent VALUES (NULL, 'z', 5, 0)").find(kNullKey), std::string::npos);
  EXPECT_NE(s.Refused("INSERT INTO child VALUES (5, 'fresh', NULL)").find(kDuplicate), std::string::npos);
  EXPECT_NE(s.Refused("INSERT INTO child VALUES (9999, 'Name 5', NULL)").find(kDuplicate), std::string::npos);
  // Keys follow the sort order: case and trailing spaces do not count, accents do.
  EXPECT_NE(s.Refused("INSERT INTO child VALUES (9998, 'NAME 5', NULL)").find(kDuplicate), std::string::npos);
  EXPECT_NE(s.Refused("INSERT INTO child VALUES (9997, 'Name 5   ', NULL)").find(kDuplicate), std::string::npos);
  EXPECT_NE(s.Refused("CREATE TABLE two (a LONG PRIMARY KEY, b LONG, CONSTRAINT p2 PRIMARY KEY (b))")
                .find("Primary key already exists."),
            std::string::npos);
  EXPECT_NE(s.Refused("CREATE TABLE two (a LONG, CONSTRAINT i UNIQUE (nothing))").find("Invalid field definition"),
            std::string::npos);
  EXPECT_NE(s.Refused("CREATE TABLE two (a LONG, b LONG, CONSTRAINT i UNIQUE (a), CONSTRAINT I UNIQUE (b))")
                .find("Index already exists."),
            std::string::npos);
  EXPECT_NE(s.Refused("CREATE TABLE two (a LONGBINARY PRIMARY KEY)").find("cannot be indexed"), std::string::npos);
  EXPECT_NE(s.Refused("CREATE UNIQUE INDEX by_a ON parent (a)").find(kDuplicate), std::string::npos);
  // Memo keys hold the first 255 characters: these two differ only after them.
  EXPECT_NE(s.Refused("CREATE UNIQUE INDEX um ON keyed (m)").find(kDuplicate), std::string::npos);
  EXPECT_NE(s.Refused("CREATE UNIQUE INDEX uv ON blobs (v)").find(kDuplicate), std::string::npos);
  EXPECT_NE(s.Refused("INSERT INTO keyed VALUES ('{00000000-0000-4000-8000-000000000000}', 1, True, NULL)")
                .find(kDuplicate),
            std::string::npos);
  EXPECT_NE(s.Refused("CREATE INDEX p ON child (name) WITH PRIMARY").find("Primary key already exists."),
            std::string::npos);
  EXPECT_NE(s.Refused("CREATE INDEX by_c ON parent (c)").find("Index already exists."), std::string::npos);
  EXPECT_NE(s.Refused("ALTER TABLE parent ADD CONSTRAINT p2 PRIMARY KEY (c)").find("Primary key already exists."),
            std::string::npos);
  EXPECT_NE(s.Refused("DROP INDEX gone ON parent").find("has no index"), std::string::npos);
  EXPECT_NE(s.Refused("CREATE INDEX n ON child (note) WITH DISALLOW NULL").find(kNullKey), std::string::npos);
  EXPECT_NE(s.Refused("INSERT INTO parent VALUES (501, 'after', 7, 0)").find(kDuplicate), std::string::npos);
  std::string eleven = "CREATE TABLE two (c0 LONG, c1 LONG, c2 LONG, c3 LONG, c4 LONG, c5 LONG, c6 LONG, c7 LONG, "
                       "c8 LONG, c9 LONG, c10 LONG, CONSTRAINT wide UNIQUE (c0, c1, c2, c3, c4, c5, c6, c7, c8, c9, "
                       "c10))";
  EXPECT_NE(s.Refused(eleven).find("at most 10 fields"), std::string::npos);
  s.Close();
  EXPECT_EQ(FileBytes(s.path), before) << "a refused statement changed the file";

  s.ExpectReadersAgree();
  std::string schema;
  ASSERT_EQ(testing_support::RunCommand("mdb-schema " + readers::ShellQuote(s.path) + " postgres 2>/dev/null", &schema),
            0);
  EXPECT_NE(schema.find("ALTER TABLE \"parent\" ADD CONSTRAINT \"parent_pkey\" PRIMARY KEY (\"a\", \"b\");"),
            std::string::npos)
      << schema;
  EXPECT_NE(schema.find("CREATE UNIQUE INDEX \"parent_by_c_idx\" ON \"parent\" (\"c\" DESC);"), std::string::npos)
      << schema;
  EXPECT_NE(schema.find("ALTER TABLE \"child\" ADD CONSTRAINT \"child_pkey\" PRIMARY KEY (\"id\");"),
            std::string::npos);
  EXPECT_NE(schema.find("CREATE UNIQUE INDEX \"child_name_idx\" ON \"child\" (\"name\");"), std::string::npos);
  EXPECT_NE(schema.find("CREATE INDEX \"parent_by_d_idx\" ON \"parent\" (\"d\" DESC);"), std::string::npos);
  EXPECT_NE(schema.find("CREATE UNIQUE INDEX \"parent_by_b_idx\" ON \"parent\" (\"b\");"), std::string::npos);
  EXPECT_NE(schema.find("CREATE INDEX \"child_by_note_idx\" ON \"child\" (\"note\");"), std::string::npos);
  EXPECT_EQ(schema.find("parent_gone_idx"), std::string::npos);
  // pelmora-access schema gives the statements that make the tables again.
  std::string ours;
  ASSERT_EQ(testing_support::RunCommand(std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access schema " +
                                            readers::ShellQuote(s.path),
                                        &ours),
            0);
  EXPECT_NE(ours.find("CREATE TABLE [parent] ([a] LONG, [b] TEXT(20), [c] LONG, [d] DOUBLE, CONSTRAINT [pk] PRIMARY "
                      "KEY ([a], [b]));\n"),
            std::string::npos)
      << ours;
  EXPECT_NE(ours.find("CREATE UNIQUE INDEX [by_b] ON [parent] ([b]) WITH DISALLOW NULL;\n"), std::string::npos);
  EXPECT_NE(ours.find("CREATE UNIQUE INDEX [by_c] ON [parent] ([c] DESC);\n"), std::string::npos);
  EXPECT_NE(ours.find("CREATE INDEX [by_note] ON [child] ([note]) WITH IGNORE NULL;\n"), std::string::npos);
  EXPECT_NE(ours.find("CREATE UNIQUE INDEX [name_id] ON [child] ([name], [id] DESC);\n"), std::string::npos);
  EXPECT_EQ(ours.find("[passing]"), std::string::npos);
  EXPECT_NE(schema.find("ALTER TABLE \"keyed\" ADD CONSTRAINT \"keyed_pkey\" PRIMARY KEY (\"g\");"), std::string::npos);
  EXPECT_NE(schema.find("CREATE INDEX \"keyed_by_y_idx\" ON \"keyed\" (\"y\" DESC, \"n\");"), std::string::npos);
}

class KeysOnFixture : public ::testing::TestWithParam<const char*> {};

TEST_P(KeysOnFixture, PrimaryKeysAndUniqueIndexesAsAccessStoresThem) {
  REQUIRE_FIXTURES(GetParam());
  REQUIRE_READERS();
  Session s;
  ASSERT_TRUE(s.Open(GetParam(), std::string("Keys.") + GetParam()));
  KeysAndTheirRefusals(s);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, KeysOnFixture, ::testing::Values("empty-2003.mdb", "empty-2010.accdb"),
                         ddl_test::FixtureName());

// DEFAULT: stored as Access stores it (the DefaultValue property, texts in
// double quotes), given to the columns an INSERT leaves out, Access's own
// defaults included; a default that does not fit its column is refused.
TEST(Defaults, StoredAsAccessStoresThemAndGivenToLeftOutColumns) {
  REQUIRE_FIXTURES("content-2000.mdb");
  REQUIRE_READERS();
  Session s;
  ASSERT_TRUE(s.Open("content-2000.mdb", "Defaults"));
  s.Run("CREATE TABLE t (id COUNTER PRIMARY KEY, n LONG DEFAULT -5, x TEXT(20) DEFAULT 'it''s \"q\"', "
        "d DATETIME DEFAULT #2020-01-31#, b YESNO DEFAULT True, m MONEY DEFAULT 1.5 NOT NULL, o LONG)");
  auto inserted = s.db->Execute("INSERT INTO t (o) VALUES (1)");
  ASSERT_TRUE(inserted) << inserted.error().message;
  inserted = s.db->Execute("INSERT INTO t (x, o) VALUES ('given', 2)");
  ASSERT_TRUE(inserted) << inserted.error().message;
  // Access's own Table1 gives its column C the default 0.
  inserted = s.db->Execute("INSERT INTO Table1 (A) VALUES ('mine')");
  ASSERT_TRUE(inserted) << inserted.error().message;
  EXPECT_NE(s.Refused("CREATE TABLE u (n LONG DEFAULT 'abc')").find("does not fit column 'n'"), std::string::npos);
  EXPECT_NE(s.Refused("CREATE TABLE u (n LONG DEFAULT Date())").find("DEFAULT takes"), std::string::npos);
  s.Close();

  std::string csv, props;
  ASSERT_EQ(testing_support::RunCommand("mdb-export " + readers::ShellQuote(s.path) + " t", &csv), 0);
  EXPECT_EQ(csv,
            "id,n,x,d,b,m,o\n1,-5,\"it's \"\"q\"\"\",\"01/31/20 00:00:00\",1,1.5000,1\n"
            "2,-5,\"given\",\"01/31/20 00:00:00\",1,1.5000,2\n");
  ASSERT_EQ(testing_support::RunCommand("mdb-prop " + readers::ShellQuote(s.path) + " t", &props), 0);
  EXPECT_NE(props.find("DefaultValue: \"it's \"\"q\"\"\""), std::string::npos) << props;
  EXPECT_NE(props.find("DefaultValue: #2020-01-31#"), std::string::npos);
  EXPECT_NE(props.find("DefaultValue: -5"), std::string::npos);
  auto table1 = readers::MdbReaderRows(s.path, "Table1");
  ASSERT_TRUE(table1);
  bool found = false;
  for (const auto& row : table1->rows)
    if (row.size() > 2 && row[0].text == "mine") {
      found = true;
      EXPECT_EQ(row[2].text, "0");
    }
  EXPECT_TRUE(found);
  EXPECT_EQ(s.CheckReport(), "");
}

// Access's own relationships name their tables' index numbers: such tables
// keep their indexes until relationships are ours too, and nothing changes.
TEST(KeysOnAccessRelationships, IndexesOfATableInARelationshipStayAsTheyAre) {
  REQUIRE_FIXTURES("indexes-2000.mdb");
  Session s;
  ASSERT_TRUE(s.Open("indexes-2000.mdb", "KeysOnAccessRelationships"));
  s.Close();
  const std::string before = FileBytes(s.path);
  s.Reopen();
  EXPECT_NE(s.Refused("DROP INDEX id ON Table1").find("relationship"), std::string::npos);
  EXPECT_NE(s.Refused("DROP INDEX Table2Table1 ON Table1").find("used in a relationship"), std::string::npos);
  EXPECT_NE(s.Refused("CREATE INDEX d ON Table2 (data)").find("relationship"), std::string::npos);
  s.Close();
  EXPECT_EQ(FileBytes(s.path), before);
}

// Rows inserted one after another keep their index entries aside until
// something reads or commits: a duplicate of a waiting key is refused all the
// same, a refused row's other keys leave with it, a foreign key finds parent
// rows whose entries still wait, and a reader in the middle finds every row
// through the indexes.
TEST(WaitingIndexEntries, RefusedAndReadAsIfInTheTrees) {
  REQUIRE_FIXTURES("empty-2003.mdb");
  REQUIRE_READERS();
  Session s;
  ASSERT_TRUE(s.Open("empty-2003.mdb", "WaitingIndexEntries"));
  s.Run("CREATE TABLE p (id LONG PRIMARY KEY, name TEXT(20) UNIQUE, code LONG)");
  s.Run("CREATE INDEX by_code ON p (code)");
  s.Run("CREATE TABLE c (id COUNTER PRIMARY KEY, p LONG REFERENCES p (id))");
  for (int i = 0; i < 3000; ++i) s.Run(fmt::format("INSERT INTO p VALUES ({}, 'n{}', {})", i * 7 % 3001, i, i % 10));
  EXPECT_NE(s.Refused("INSERT INTO p VALUES (7, 'fresh', 0)").find(kDuplicate), std::string::npos);
  EXPECT_NE(s.Refused("INSERT INTO p VALUES (5000, 'N12', 0)").find(kDuplicate), std::string::npos);
  s.Run("INSERT INTO p VALUES (5000, 'fresh', 0)");  // neither key stayed behind
  s.Run("INSERT INTO c (p) VALUES (7)");
  EXPECT_NE(s.Refused("INSERT INTO c (p) VALUES (4000)").find("a related record is required in table 'p'"),
            std::string::npos);
  for (int i = 0; i < 500; ++i) s.Run(fmt::format("INSERT INTO p VALUES ({}, 'm{}', 1)", 10000 - i, i));
  auto problems = s.db->Check();
  ASSERT_TRUE(problems.has_value()) << problems.error().message;
  EXPECT_TRUE(problems->empty()) << problems->front();
  for (int i = 0; i < 500; ++i) s.Run(fmt::format("INSERT INTO p VALUES ({}, 'o{}', {})", 20000 + i * 13 % 500, i, i));
  EXPECT_NE(s.Refused("INSERT INTO p VALUES (20013, 'again', 0)").find(kDuplicate), std::string::npos);
  // A key too long for an index page is refused with its row, not when the
  // entries go in (which would cost every statement since the last commit).
  s.Run("CREATE TABLE wide (n LONG PRIMARY KEY, a TEXT(255), b TEXT(255), c TEXT(255), d TEXT(255), e TEXT(255))");
  s.Run("CREATE INDEX by_all ON wide (a, b, c, d, e)");
  s.Run("INSERT INTO wide VALUES (1, 'a', 'b', 'c', 'd', 'e')");
  const std::string w(255, 'w');
  EXPECT_NE(s.Refused(fmt::format("INSERT INTO wide VALUES (2, '{0}', '{0}', '{0}', '{0}', '{0}')", w))
                .find("is longer than"),
            std::string::npos);
  s.Run("INSERT INTO wide VALUES (3, 'a', 'b', 'c', 'd', 'f')");
  s.Run("INSERT INTO c (p) VALUES (5000)");
  s.Close();
  s.ExpectReadersAgree();
}

TEST(KeysInANewFile, PrimaryKeysAndUniqueIndexesAsAccessStoresThem) {
  REQUIRE_READERS();
  const std::string path = testing_support::ScratchFolder("KeysInANewFile") + "/new.accdb";
  ASSERT_TRUE(jet::CreateBlankDatabase(path, {.format = jet::BlankFormat::kAccess2016}));
  Session s;
  ASSERT_TRUE(s.OpenFile(path));
  KeysAndTheirRefusals(s);
}

}  // namespace
