// The run with types kept, as the window runs it with its box ticked: direct,
// with one preview for the file, and with a preview per table that ends the
// run after the first table. Each file holds the tables it was given with
// their keys, and every relationship whose two tables it holds.

#include <gtest/gtest.h>

#include "engine/conversion_run.h"
#include "engine/typed_conversion.h"
#include "tests/db/pg_scratch.h"
#include "tests/jet/write/readers.h"
#include "tests/support/environment.h"
#include "tests/support/fake_run_window.h"
#include "tests/support/scripted_services.h"

namespace {

using testing_support::FakeRunWindow;

constexpr const char* kSource =
    "CREATE SCHEMA shop;\n"
    "CREATE TABLE shop.customers (id serial PRIMARY KEY, name text, boss int REFERENCES shop.customers);\n"
    "CREATE TABLE shop.orders (customer int REFERENCES shop.customers ON DELETE CASCADE, line int, total money,\n"
    "  PRIMARY KEY (customer, line));\n"
    "INSERT INTO shop.customers (name, boss) VALUES ('Ann', NULL), ('Bob', 1);\n"
    "INSERT INTO shop.orders VALUES (1, 1, 12.50), (2, 1, 3);\n"
    // Two keys PostgreSQL tells apart and Access does not.
    "CREATE TABLE shop.tags (label text PRIMARY KEY);\n"
    "INSERT INTO shop.tags VALUES ('Red'), ('red ');\n"
    // Several NULLs in a unique key are no duplicates for Access either;
    // two-column keys partly NULL are.
    "CREATE TABLE shop.people (email text UNIQUE, a int, b int, UNIQUE (a, b));\n"
    "INSERT INTO shop.people VALUES (NULL, 1, NULL), (NULL, 1, NULL), ('x', NULL, NULL), ('y', NULL, NULL);\n"
    // More columns than an Access table holds.
    "DO $$ BEGIN EXECUTE 'CREATE TABLE shop.wide (' || "
    "(SELECT string_agg('c' || i || ' int', ', ') FROM generate_series(1, 256) i) || ')'; END $$;\n";

std::string Export(const std::string& path, const std::string& table) {
  std::string out;
  testing_support::RunCommand("mdb-export " + readers::ShellQuote(path) + " " + table + " 2>&1", &out);
  return out;
}

class TypedRun : public ::testing::Test {
 protected:
  // A new source and a copy of an empty Access file for `name`.
  bool Prepare(const testing_support::PgServer& pg, const std::string& name, const std::string& fixture) {
    if (!testing_support::FreshDatabase(pg, name)) return false;
    std::string out;
    EXPECT_EQ(testing_support::Psql(pg, name, kSource, &out), 0) << out;
    window.source = testing_support::Fields(pg, name);
    target = testing_support::CopyFile(fixture, testing_support::ScratchFolder(name));
    window.target = {target, ""};
    window.keep_types = engine::TypedOptions{};
    return true;
  }

  testing_support::ScriptedServices services;
  FakeRunWindow window;
  std::string target;
};

constexpr const char* kBothRelationships =
    "szRelationship,grbit,ccolumn,icolumn,szObject,szColumn,szReferencedObject,szReferencedColumn\n"
    "\"customers_boss_fkey\",0,1,0,\"customers\",\"boss\",\"customers\",\"id\"\n"
    "\"orders_customer_fkey\",4096,1,0,\"orders\",\"customer\",\"customers\",\"id\"\n";

TEST_F(TypedRun, DirectAndThroughOnePreviewTheFileHoldsKeysAndRelationships) {
  REQUIRE_PG(pg);
  REQUIRE_FIXTURE(fixture, "empty-2003.mdb");
  REQUIRE_READERS();
  for (int preview : {0, 1}) {
    SCOPED_TRACE(preview ? "one preview for the file" : "direct");
    ASSERT_TRUE(Prepare(pg, preview ? "typed_run_preview" : "typed_run_direct", fixture));
    window.preview_check = preview;
    window.on_preview = [](FakeRunWindow& w) { w.ExecutePreview(); };
    engine::RunResult result = engine::RunConversion(window);
    EXPECT_TRUE(window.failures.empty()) << window.failures.front().description;
    EXPECT_EQ(Export(target, "MSysRelationships"), kBothRelationships);
    EXPECT_EQ(Export(target, "orders"), "customer,line,total\n1,1,12.5000\n2,1,3.0000\n");
    EXPECT_EQ(readers::CheckReport(target), "");
    // The Datatypes Conversion window: PostgreSQL's type beside Access's.
    bool logged = false;
    for (const auto& row : window.log.Rows())
      logged |= row.table == "orders" && row.field == "total" && row.source_type == "money" &&
                row.access_type == "CURRENCY";
    EXPECT_TRUE(logged);
    // What the table could not keep as it was is in the same log.
    bool key_told = false;
    for (const auto& row : window.log.Rows())
      key_told |= row.table == "tags" && row.source_type == "changed" &&
                  row.access_type.find("key tags_pkey of shop.tags") != std::string::npos;
    EXPECT_TRUE(key_told);
    if (!preview) EXPECT_EQ(result.tables_created, 4);
    // The key Access would refuse on these rows is a plain index, and said so.
    EXPECT_NE(Export(target, "tags"), "");
    bool said = false;
    bool wide = false;
    for (const auto& note : result.notes) {
      said |= note.find("key tags_pkey of shop.tags") != std::string::npos;
      wide |= note == "left out: table shop.wide has 256 columns; an Access table holds at most 255";
    }
    EXPECT_TRUE(said);
    EXPECT_TRUE(wide);
    bool email_weakened = false, pair_weakened = false;
    for (const auto& note : result.notes) {
      email_weakened |= note.find("key people_email_key") != std::string::npos;
      pair_weakened |= note.find("key people_a_b_key") != std::string::npos;
    }
    EXPECT_FALSE(email_weakened);
    EXPECT_TRUE(pair_weakened);
    std::string schema;
    testing_support::RunCommand("mdb-schema -T people " + readers::ShellQuote(target) + " postgres 2>/dev/null",
                                &schema);
    EXPECT_NE(schema.find("CREATE UNIQUE INDEX \"people_people_email_key_idx\""), std::string::npos) << schema;
    window = FakeRunWindow{};
  }
}

// Converting again over the same file, every table replaced: the tables in
// relationships are freed of them first (Access drops no table in one), and
// the run makes them again; so it does when it converts one table of them.
TEST_F(TypedRun, ConvertingAgainReplacesTablesInRelationships) {
  REQUIRE_PG(pg);
  REQUIRE_FIXTURE(fixture, "empty-2003.mdb");
  REQUIRE_READERS();
  ASSERT_TRUE(Prepare(pg, "typed_run_again", fixture));
  engine::RunConversion(window);
  ASSERT_TRUE(window.failures.empty()) << window.failures.front().description;
  window.failures.clear();
  window.overwrite_for = [](const std::string&) { return std::optional<bool>(true); };
  engine::RunConversion(window);
  EXPECT_TRUE(window.failures.empty()) << window.failures.front().description;
  EXPECT_EQ(Export(target, "MSysRelationships"), kBothRelationships);
  EXPECT_EQ(Export(target, "orders"), "customer,line,total\n1,1,12.5000\n2,1,3.0000\n");
  EXPECT_EQ(readers::CheckReport(target), "");
  // Only the parent again: the relationship from orders, which this run does
  // not convert, is dropped with it and made again after its rows.
  window.failures.clear();
  window.keep_types->tables = {"customers"};
  engine::RunConversion(window);
  EXPECT_TRUE(window.failures.empty()) << window.failures.front().description;
  const std::string relationships = Export(target, "MSysRelationships");
  EXPECT_NE(relationships.find("\"orders_customer_fkey\",4096,1,0,\"orders\",\"customer\",\"customers\",\"id\""),
            std::string::npos)
      << relationships;
  EXPECT_NE(relationships.find("\"customers_boss_fkey\""), std::string::npos) << relationships;
  EXPECT_EQ(readers::CheckReport(target), "");
}

TEST_F(TypedRun, APreviewPerTableEndedAfterOneTableKeepsItsKeysAndItsOwnRelationship) {
  REQUIRE_PG(pg);
  REQUIRE_FIXTURE(fixture, "empty-2010.accdb");
  REQUIRE_READERS();
  ASSERT_TRUE(Prepare(pg, "typed_run_per_table", fixture));
  window.preview_check = 1;
  window.per_file = false;
  window.per_table = true;
  window.on_preview = [](FakeRunWindow& w) { w.ExecutePreview(); };  // Execute: the run ends after it
  engine::RunConversion(window);
  ASSERT_EQ(window.previews.size(), 1u);
  const auto& shown = window.previews.front();
  EXPECT_EQ(shown.front(), "CREATE TABLE [customers] ([id] COUNTER, [name] TEXT(255), [boss] LONG)");
  EXPECT_EQ(shown.back(),
            "ALTER TABLE [customers] ADD CONSTRAINT [customers_boss_fkey] FOREIGN KEY ([boss]) REFERENCES "
            "[customers] ([id])");
  EXPECT_EQ(Export(target, "MSysRelationships"),
            "szRelationship,grbit,ccolumn,icolumn,szObject,szColumn,szReferencedObject,szReferencedColumn\n"
            "\"customers_boss_fkey\",0,1,0,\"customers\",\"boss\",\"customers\",\"id\"\n");
  EXPECT_EQ(readers::CheckReport(target), "");
}

}  // namespace
