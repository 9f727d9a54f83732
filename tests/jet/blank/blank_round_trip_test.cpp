// Tables created, filled and dropped through Database::Execute in new
// databases of each format (with and without a password), read back by
// mdbtools and mdb-reader; and the sample database the build writes.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/jet/public/database.h"
#include "platform/jet/format/numeric.h"
#include "platform/jet/create/blank_database.h"
#include "tests/jet/write/readers.h"
#include "tests/jet/write/writable_copy.h"
#include "tests/support/environment.h"

namespace {

using jet::Cell;
using jet::ColumnType;
using jet::Null;

struct Variant {
  const char* name;
  jet::BlankFormat format;
  const char* password;
};

using readers::CheckReport;

class BlankRoundTripTest : public ::testing::TestWithParam<Variant> {};

std::string Execute(jet::Database& db, const std::string& sql) {
  auto done = db.Execute(sql);
  return done ? "" : done.error().message;
}

TEST_P(BlankRoundTripTest, CreateInsertDropReadBack) {
  REQUIRE_READERS();
  const Variant& v = GetParam();
  std::string path = testing_support::ScratchFolder(std::string("BlankRoundTrip_") + v.name) + "/db.mdb";
  ASSERT_TRUE(jet::CreateBlankDatabase(path, {.format = v.format, .password = v.password}));

  std::string memo(9000, 'm');
  memo += " \xF0\x9F\x98\x80 end";
  {
    auto db = jet::Database::Open(path, {.password = v.password, .writable = true});
    ASSERT_TRUE(db) << db.error().message;
    EXPECT_EQ(Execute(**db, "CREATE TABLE People (id COUNTER, name VARCHAR(40), born DATETIME, score DOUBLE, "
                            "active BIT, note MEMO)"),
              "");
    EXPECT_EQ(Execute(**db, "CREATE TABLE Doomed (x LONG)"), "");
    EXPECT_EQ(Execute(**db, "INSERT INTO Doomed VALUES (1)"), "");
    EXPECT_EQ(Execute(**db, "INSERT INTO People (name, born, score, active, note) VALUES "
                            "('Ann \xF0\x9F\x8D\x95', #1990-05-17 08:30:00#, 1.5, TRUE, 'short memo')"),
              "");
    EXPECT_EQ(Execute(**db, "INSERT INTO People (name, born, score, active, note) VALUES "
                            "(NULL, NULL, NULL, FALSE, NULL)"),
              "");
    EXPECT_EQ(Execute(**db, "INSERT INTO People (name, born, score, active, note) VALUES ('Zoë', #2024-02-29#, "
                            "-0.25, TRUE, '" + memo + "')"),
              "");
    EXPECT_EQ(Execute(**db, "DROP TABLE Doomed"), "");
    ASSERT_TRUE((*db)->Close());
  }

  std::vector<ColumnType> types = {ColumnType::kLong,   ColumnType::kText,    ColumnType::kDateTime,
                                   ColumnType::kDouble, ColumnType::kBoolean, ColumnType::kMemo};
  auto date = [](int y, int mo, int d, int h, int mi) {
    return Cell{jet::DateTimeValue{jet::format::CivilToOleDate({y, mo, d, h, mi, 0, 0})}};
  };
  std::vector<std::vector<Cell>> expected = {
      {int64_t{1}, std::string("Ann \xF0\x9F\x8D\x95"), date(1990, 5, 17, 8, 30), 1.5, true,
       std::string("short memo")},
      {int64_t{2}, Null{}, Null{}, Null{}, false, Null{}},
      {int64_t{3}, std::string("Zo\xC3\xAB"), date(2024, 2, 29, 0, 0), -0.25, true, memo},
  };
  auto tools = readers::MdbtoolsRows(path, "People");
  auto js = readers::MdbReaderRows(path, "People", v.password);
  ASSERT_TRUE(tools && js);
  EXPECT_EQ(readers::Compare(expected, types, *tools, readers::Reader::kMdbtools), "");
  EXPECT_EQ(readers::Compare(expected, types, js->rows, readers::Reader::kMdbReader), "");
  EXPECT_EQ(js->row_count, 3);

  std::string tables;
  testing_support::RunCommand("mdb-tables -1 " + readers::ShellQuote(path), &tables);
  EXPECT_EQ(tables, "People\n");
  EXPECT_EQ(CheckReport(path, v.password), "");
}

INSTANTIATE_TEST_SUITE_P(Formats, BlankRoundTripTest,
                         ::testing::Values(Variant{"Access2000", jet::BlankFormat::kAccess2000, ""},
                                           Variant{"Access2003", jet::BlankFormat::kAccess2003, ""},
                                           Variant{"Access2000Password", jet::BlankFormat::kAccess2000, "pw"},
                                           Variant{"Access2003Password", jet::BlankFormat::kAccess2003, "pw"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SampleDatabase, BuiltBesideTheProgramAndReadable) {
  std::string sample = std::string(PELMORA_RUNTIME_DIR) + "/Samples/sample.mdb";
  PELMORA_REQUIRE(std::filesystem::exists(sample), "Samples/sample.mdb (build target pelmora_sample)");
  REQUIRE_READERS();
  std::string tables;
  testing_support::RunCommand("mdb-tables -1 " + readers::ShellQuote(sample), &tables);
  EXPECT_EQ(tables, "Customers\nProducts\nOrders\n");
  for (const char* table : {"Customers", "Products", "Orders"}) {
    auto tools = readers::MdbtoolsRows(sample, table);
    auto js = readers::MdbReaderRows(sample, table);
    ASSERT_TRUE(tools && js) << table;
    EXPECT_GE(tools->size(), 6u) << table;
    EXPECT_EQ(tools->size(), js->rows.size()) << table;
  }
  EXPECT_EQ(write_test::CheckReport(sample), "");
}

}  // namespace
