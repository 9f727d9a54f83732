// New, empty Jet 4 databases: what mdbtools and mdb-reader see in them
// compared with a database the Jet engine itself created
// (engine-empty-jet4.mdb), the database password as mdb-reader decodes it,
// the Access version property, and the refusals (existing file, a name that
// does not fit the format, passwords Jet 4 cannot hold).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/jet/public/database.h"
#include "platform/jet/create/blank_database.h"
#include "tests/jet/write/readers.h"
#include "tests/jet/write/writable_copy.h"
#include "tests/support/environment.h"

namespace {

namespace fs = std::filesystem;
using jet::BlankFormat;
using jet::BlankOptions;

struct Variant {
  const char* name;
  BlankFormat format;
  const char* password;
};

const Variant kVariants[] = {
    {"Access2000", BlankFormat::kAccess2000, ""},
    {"Access2003", BlankFormat::kAccess2003, ""},
    {"Access2000Password", BlankFormat::kAccess2000, "s3cr\xC3\xA9t pw"},
    {"Access2003Password", BlankFormat::kAccess2003, "12345678901234567890"},
};

std::string Output(const std::string& command) {
  std::string out;
  testing_support::RunCommand(command + " 2>&1", &out);
  return out;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// mdb-export's rows of a system table without the columns that must differ
// between two databases (creation dates, MSysDb's property list).
std::string SystemRows(const std::string& path, const std::string& table) {
  auto rows = readers::MdbtoolsRows(path, table);
  if (!rows) return "mdb-export failed on " + table;
  std::string out;
  for (const auto& row : *rows) {
    for (size_t c = 0; c < row.size(); ++c) {
      if (table == "MSysObjects" && (c == 4 || c == 5 || c == 14)) continue;
      out += (row[c].null ? std::string("NULL") : row[c].text) + "|";
    }
    out += "\n";
  }
  return out;
}

// mdb-reader's view of every table including the system tables, dates removed.
std::string MdbReaderSystemView(const std::string& path, const std::string& password) {
  std::string out;
  for (const char* table : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
    auto t = readers::MdbReaderRows(path, table, password);
    if (!t) return std::string("mdb-reader failed on ") + table;
    for (const auto& c : t->columns) out += c + ",";
    out += "\n";
    for (const auto& row : t->rows) {
      for (size_t c = 0; c < row.size(); ++c) {
        if (std::string(table) == "MSysObjects" && (c == 4 || c == 5 || c == 14)) continue;
        out += (row[c].null ? std::string("NULL") : row[c].text) + "|";
      }
      out += "\n";
    }
  }
  return out;
}

// What mdb-reader decodes from the header's password field (null: none).
std::string MdbReaderPassword(const std::string& path) {
  std::string script =
      "import { readFileSync } from 'node:fs'; import M from 'mdb-reader'; "
      "const r = new M(readFileSync(process.argv[1])); process.stdout.write(JSON.stringify(r.getPassword()));";
  return Output("cd " + readers::ShellQuote(readers::ReadersDir()) + " && node --input-type=module -e " +
             readers::ShellQuote(script) + " " + readers::ShellQuote(path));
}

using readers::CheckReport;

class BlankDatabaseTest : public ::testing::TestWithParam<Variant> {};

TEST_P(BlankDatabaseTest, ReadersSeeTheEngineLayout) {
  REQUIRE_READERS();
  REQUIRE_FIXTURE(engine, "engine-empty-jet4.mdb");
  const Variant& v = GetParam();
  std::string path = testing_support::ScratchFolder(std::string("BlankLayout_") + v.name) + "/new.mdb";
  auto done = jet::CreateBlankDatabase(path, {.format = v.format, .password = v.password});
  ASSERT_TRUE(done) << done.error().message;

  EXPECT_EQ(Output("mdb-tables -S -1 " + readers::ShellQuote(path)), Output("mdb-tables -S -1 " + engine));
  EXPECT_EQ(Output("mdb-schema " + readers::ShellQuote(path)), Output("mdb-schema " + engine));
  for (const char* table : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"})
    EXPECT_EQ(SystemRows(path, table), SystemRows(engine, table)) << table;
  EXPECT_EQ(MdbReaderSystemView(path, v.password), MdbReaderSystemView(engine, ""));
  EXPECT_EQ(CheckReport(path, v.password), "");

  // Access 2000 and 2002-2003 files differ only in MSysDb's AccessVersion.
  std::string props = Output("mdb-prop " + readers::ShellQuote(path) + " MSysDb");
  EXPECT_NE(props.find(v.format == BlankFormat::kAccess2003 ? "AccessVersion: 09.50" : "AccessVersion: 08.50"),
            std::string::npos)
      << props;
}

TEST_P(BlankDatabaseTest, PasswordAsReadersDecodeIt) {
  REQUIRE_MDB_READER();
  const Variant& v = GetParam();
  std::string path = testing_support::ScratchFolder(std::string("BlankPassword_") + v.name) + "/new.mdb";
  ASSERT_TRUE(jet::CreateBlankDatabase(path, {.format = v.format, .password = v.password}));

  std::string expected = *v.password ? "\"" + std::string(v.password) + "\"" : "null";
  EXPECT_EQ(MdbReaderPassword(path), expected);
  // Our own engine refuses a wrong password and opens with the right one.
  if (*v.password) {
    auto wrong = jet::Database::Open(path, {.password = "wrong"});
    ASSERT_FALSE(wrong);
    EXPECT_EQ(wrong.error().code, jet::ErrorCode::kWrongPassword);
    auto none = jet::Database::Open(path);
    EXPECT_FALSE(none);
  }
  auto right = jet::Database::Open(path, {.password = v.password});
  ASSERT_TRUE(right) << right.error().message;
  EXPECT_TRUE((*right)->UserTables().empty());
}

INSTANTIATE_TEST_SUITE_P(Formats, BlankDatabaseTest, ::testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BlankDatabaseRefusals, NeverReplacesAFileAndLeavesNothingBehind) {
  std::string folder = testing_support::ScratchFolder("BlankRefusals");
  std::string path = folder + "/existing.mdb";
  { std::ofstream(path) << "precious"; }
  auto again = jet::CreateBlankDatabase(path);
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error().code, jet::ErrorCode::kAlreadyExists);
  EXPECT_EQ(FileText(path), "precious");

  // A format that does not fit the name, either way round.
  auto jet4_accdb = jet::CreateBlankDatabase(folder + "/new.ACCDB");
  ASSERT_FALSE(jet4_accdb);
  EXPECT_EQ(jet4_accdb.error().code, jet::ErrorCode::kInvalidValue);
  EXPECT_NE(jet4_accdb.error().message.find("Access 2000-2003 databases are .mdb files"), std::string::npos);
  auto ace_mdb = jet::CreateBlankDatabase(folder + "/new.mdb", {.format = BlankFormat::kAccess2016});
  ASSERT_FALSE(ace_mdb);
  EXPECT_EQ(ace_mdb.error().code, jet::ErrorCode::kInvalidValue);

  auto long_password = jet::CreateBlankDatabase(folder + "/long.mdb", {.password = std::string(21, 'x')});
  ASSERT_FALSE(long_password);
  EXPECT_EQ(long_password.error().code, jet::ErrorCode::kInvalidValue);

  auto no_folder = jet::CreateBlankDatabase(folder + "/missing/new.mdb");
  EXPECT_FALSE(no_folder);

  // Only the file that was there before: no temporary files, no partial databases.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"existing.mdb"});
}

TEST(BlankDatabaseRefusals, CreateCommand) {
  std::string tool = std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access";
  PELMORA_REQUIRE(fs::exists(tool), "pelmora-access (build target pelmora-access)");
  std::string folder = testing_support::ScratchFolder("BlankCreateCommand");
  std::string out;
  EXPECT_EQ(testing_support::RunCommand(tool + " create " + folder + "/a.mdb --format 2003 --password pw 2>&1", &out), 0)
      << out;
  EXPECT_TRUE(fs::exists(folder + "/a.mdb"));
  EXPECT_NE(testing_support::RunCommand(tool + " create " + folder + "/a.mdb 2>&1", &out), 0);
  EXPECT_NE(out.find("exists already"), std::string::npos) << out;
  EXPECT_NE(testing_support::RunCommand(tool + " create " + folder + "/b.accdb --format 2003 2>&1", &out), 0);
  EXPECT_NE(out.find("format 2003 makes an .mdb file"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(folder + "/b.accdb"));
  EXPECT_NE(testing_support::RunCommand(tool + " create " + folder + "/c.mdb --format 97 2>&1", &out), 0);
  EXPECT_NE(out.find("unknown format \"97\""), std::string::npos) << out;
  EXPECT_NE(testing_support::RunCommand(tool + " create " + folder + "/c.mdb --format 2019 2>&1", &out), 0);
  EXPECT_NE(out.find("name the new file"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(folder + "/c.mdb"));
  // Without --format an .accdb is Access 2016's.
  EXPECT_EQ(testing_support::RunCommand(tool + " create " + folder + "/d.accdb 2>&1", &out), 0) << out;
  auto made = jet::Database::Open(folder + "/d.accdb");
  ASSERT_TRUE(made) << made.error().message;
  EXPECT_EQ((*made)->header().version, jet::format::Version::kAce16);
}

}  // namespace
