// pelmora-convert as a script would use it: exit statuses, --print-sql output,
// failures on stderr, and which source tables it converts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <vector>

#include "db/list_box.h"
#include "db/postgresql.h"
#include "tests/db/pg_scratch.h"
#include "tests/jet/write/readers.h"
#include "tests/support/environment.h"
#include "tests/support/scripted_services.h"

namespace {

using testing_support::RunCommand;

std::string Convert() { return std::string(PELMORA_RUNTIME_DIR) + "/pelmora-convert"; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(PelmoraConvert, WrongUsageExitsWithTwo) {
  EXPECT_EQ(RunCommand(Convert() + " --server x 2>/dev/null </dev/null"), 2);
  EXPECT_EQ(RunCommand(Convert() + " --user u --database d --target t --overwrite maybe 2>/dev/null </dev/null"), 2);
  // PostgreSQL would read these as POSIX offsets, west of Greenwich.
  for (const char* zone : {"+05:30", "UTC+5", "-3"}) {
    std::string out;
    EXPECT_EQ(RunCommand(Convert() + " --user u --database d --target t --time-zone " + zone + " 2>&1 </dev/null",
                         &out),
              2)
        << zone;
    EXPECT_NE(out.find("give the zone by name"), std::string::npos) << out;
  }
}

TEST(PelmoraConvert, AnUnreachableSourceIsAFailureNotASilentSuccess) {
  std::string out;
  int status = RunCommand(Convert() + " --server 127.0.0.1 --port 1 --user u --database d --target /nonexistent.mdb"
                                      " </dev/null 2>&1",
                          &out);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("Could not connect to the PostgreSQL server"), std::string::npos) << out;
  EXPECT_NE(out.find("Connection refused"), std::string::npos) << "the driver's reason is named: " << out;
  EXPECT_EQ(out.find("Done."), std::string::npos);
}

TEST(PelmoraConvert, AWrongPasswordIsNamedAsTheServerNamesIt) {
  REQUIRE_PG(pg);
  std::string out;
  int status = RunCommand("PELMORA_PG_PASSWORD=not-the-password " + Convert() + " --server " + pg.host + " --port " +
                              pg.port + " --user " + pg.user + " --database " + pg.database +
                              " --target /nonexistent.mdb </dev/null 2>&1",
                          &out);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("password authentication failed"), std::string::npos) << out;
}

TEST(PelmoraConvert, PrintSqlListsDropsForTablesTheTargetHasAndTheLogOnStderr) {
  REQUIRE_PG(pg);
  REQUIRE_FIXTURE(fixture, "content-2000.mdb");
  ASSERT_TRUE(testing_support::FreshDatabase(pg, "convert_print"));
  ASSERT_EQ(testing_support::Psql(pg, "convert_print",
                                  "CREATE TABLE table1 (id integer, note text);\n"
                                  "INSERT INTO table1 VALUES (1, 'it''s'), (2, NULL);\n"),
            0);
  std::string dir = testing_support::ScratchFolder("convert_print");
  std::string target = testing_support::CopyFile(fixture, dir);
  std::string command = "PELMORA_PG_PASSWORD='" + pg.password + "' " + Convert() + " --server " + pg.host +
                        " --port " + pg.port + " --user " + pg.user + " --database convert_print --target " +
                        target + " --classic-types --print-sql </dev/null >" + dir + "/out.txt 2>" + dir + "/err.txt";
  ASSERT_EQ(RunCommand(command), 0) << ReadFile(dir + "/err.txt");
  std::string out = ReadFile(dir + "/out.txt");
  std::string err = ReadFile(dir + "/err.txt");
  // content-2000.mdb has a table named Table1: the drop comes first, as if answered Yes.
  EXPECT_NE(out.find("DROP TABLE \"table1\"\nCREATE TABLE \"table1\" (id INT,note VARCHAR);\n"
                     "INSERT INTO \"table1\" VALUES(1, 'it''s')\nINSERT INTO \"table1\" VALUES(2,NULL)\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Done.\n"), std::string::npos);
  EXPECT_NE(out.find(" statements printed, nothing executed\n"), std::string::npos) << out;
  EXPECT_NE(err.find("table1\tid\tint\tINT\n"), std::string::npos) << err;
  EXPECT_NE(err.find("table1\tnote\tchar\tVARCHAR\n"), std::string::npos);
  // Nothing was executed: the file is unchanged.
  EXPECT_EQ(ReadFile(target), ReadFile(fixture));
}

// A source as a user has one: a table with an inheritance child, a partitioned
// table with two partitions, a "sql_" name, and a second schema on the search
// path holding a table the first one shadows.
constexpr const char* kTablesSource =
    "CREATE TABLE items (id integer, label text);\n"
    "INSERT INTO items VALUES (1, 'a'), (2, 'b');\n"
    "CREATE TABLE items_archive () INHERITS (items);\n"
    "INSERT INTO items_archive VALUES (3, 'c');\n"
    "CREATE TABLE payment (id integer, region text) PARTITION BY LIST (region);\n"
    "CREATE TABLE payment_north PARTITION OF payment FOR VALUES IN ('north');\n"
    "CREATE TABLE payment_south PARTITION OF payment FOR VALUES IN ('south');\n"
    "INSERT INTO payment VALUES (1, 'north'), (2, 'south'), (3, 'south');\n"
    "CREATE TABLE sql_x (id integer);\n"
    "CREATE SCHEMA extra;\n"
    "CREATE TABLE extra.items (other integer);\n"
    "CREATE TABLE extra.rates (id integer);\n"
    "INSERT INTO extra.rates VALUES (1);\n";

struct Outcome {
  int status;
  std::string out, err;
};

class ConvertTables : public testing::Test {
 protected:
  void SetUp() override {
    pg_ = testing_support::TestPgServer();
    PELMORA_REQUIRE(pg_, "the test PostgreSQL (PELMORA_TEST_PG_*; scripts/test.sh starts one)");
    empty_ = testing_support::AccessFixture("empty-2000.mdb");
    REQUIRE_FIXTURES("empty-2000.mdb");
  }

  // The source as database `name` and an empty target, both the test's own
  // (the tests run side by side).
  void Prepare(const std::string& name) {
    database_ = name;
    ASSERT_TRUE(testing_support::FreshDatabase(*pg_, name));
    ASSERT_EQ(testing_support::Psql(*pg_, name,
                                    std::string(kTablesSource) + "ALTER DATABASE " + name +
                                        " SET search_path = public, extra;\n"),
              0);
    dir_ = testing_support::ScratchFolder(name);
    target_ = testing_support::CopyFile(*empty_, dir_);
  }

  // `shell`: commands run first in the shell that starts the program (limits).
  Outcome Run(const std::string& arguments, const std::string& shell = "") {
    std::string command = shell + "PELMORA_PG_PASSWORD='" + pg_->password + "' PELMORA_ACCESS_PASSWORD='" +
                          access_password_ + "' " + Convert() + " --server " + pg_->host +
                          " --port " + pg_->port + " --user " + pg_->user + " --database " + database_ + " --target " +
                          target_ + " " + mapping_ + " " + arguments + " </dev/null >" + dir_ + "/out.txt 2>" + dir_ +
                          "/err.txt";
    int status = RunCommand(command);
    return {status, ReadFile(dir_ + "/out.txt"), ReadFile(dir_ + "/err.txt")};
  }

  // The tables of a --print-sql output, in the order they were converted.
  static std::vector<std::string> CreatedTables(const std::string& printed) {
    std::vector<std::string> names;
    std::istringstream lines(printed);
    const std::string prefix = "CREATE TABLE \"";
    for (std::string line; std::getline(lines, line);)
      if (line.starts_with(prefix))
        names.push_back(line.substr(prefix.size(), line.find('"', prefix.size()) - prefix.size()));
    return names;
  }

  std::optional<testing_support::PgServer> pg_;
  std::optional<std::string> empty_;
  std::string database_, dir_, target_, access_password_;
  // The statements these tests compare are the classic ones unless a test keeps types.
  std::string mapping_ = "--classic-types";
};

TEST_F(ConvertTables, ByDefaultTheUsersTablesEachOnceWithAllRowsAndExitZero) {
  ASSERT_NO_FATAL_FAILURE(Prepare("convert_default"));
  Outcome printed = Run("--print-sql");
  ASSERT_EQ(printed.status, 0) << printed.err;
  EXPECT_EQ(CreatedTables(printed.out), (std::vector<std::string>{"items", "payment", "rates"})) << printed.out;

  Outcome run = Run("--overwrite no");
  ASSERT_EQ(run.status, 0) << run.err;
  // items' SELECT brings its child's row, payment's its partitions' rows.
  EXPECT_NE(run.out.find("3 tables created, 7 rows written, 0 statements refused"), std::string::npos) << run.out;
  std::string tables;
  ASSERT_EQ(RunCommand(std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access tables " + target_, &tables), 0);
  EXPECT_EQ(tables, "items\npayment\nrates\n");
  // Again: every table is there already and kept, which the summary says.
  Outcome again = Run("--overwrite no");
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find("0 tables created, 0 rows written, 0 statements refused\n3 tables the file had already "
                           "kept as they were (--overwrite yes replaces them): "),
            std::string::npos)
      << again.out;
}

// By default types are kept: every user schema's tables are read schema-qualified: a
// name in two schemas becomes schema_name, partitions and children still
// come with their parents, and each table's key and index follow its rows.
TEST_F(ConvertTables, ByDefaultTypesAreKeptFromEverySchemaWithKeysAfterTheRows) {
  ASSERT_NO_FATAL_FAILURE(Prepare("convert_keep_types"));
  mapping_.clear();  // the default
  ASSERT_EQ(testing_support::Psql(*pg_, database_,
                                  "ALTER TABLE extra.rates ADD PRIMARY KEY (id);\n"
                                  "ALTER TABLE extra.items ADD FOREIGN KEY (other) REFERENCES extra.rates;\n"
                                  "CREATE TABLE extra.stamps (at timestamptz);\n"
                                  "INSERT INTO extra.stamps VALUES ('2024-01-01 12:00:00.25+00');\n"),
            0);
  Outcome printed = Run("--print-sql");
  ASSERT_EQ(printed.status, 0) << printed.err;
  EXPECT_NE(printed.out.find("CREATE TABLE [extra_items] ([other] LONG)\n"), std::string::npos) << printed.out;
  EXPECT_NE(printed.out.find("CREATE TABLE [rates] ([id] LONG NOT NULL)\nINSERT INTO [rates] VALUES (1)\n"
                             "ALTER TABLE [rates] ADD CONSTRAINT [rates_pkey] PRIMARY KEY ([id])\n"
                             "ALTER TABLE [extra_items] ADD CONSTRAINT [items_other_fkey] FOREIGN KEY ([other]) "
                             "REFERENCES [rates] ([id])\n"),
            std::string::npos)
      << printed.out;
  EXPECT_EQ(printed.out.find("sql_x"), std::string::npos);

  // Timestamps with time zone arrive as the wall-clock time of the zone asked for.
  Outcome run = Run("--overwrite no --time-zone Asia/Tokyo");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("5 tables created, 8 rows written, 0 statements refused"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("time zone of timestamps with time zone: Asia/Tokyo\n"), std::string::npos) << run.err;
  std::string tables, relationships, stamps;
  ASSERT_EQ(RunCommand(std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access tables " + target_, &tables), 0);
  EXPECT_EQ(tables, "extra_items\nrates\nstamps\npublic_items\npayment\n");
  ASSERT_EQ(RunCommand(std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access export " + target_ + " stamps", &stamps),
            0);
  EXPECT_NE(stamps.find("2024-01-01 21:00:00"), std::string::npos) << stamps;
  // --verify-only compares what the mapping promises (times to the millisecond,
  // in the zone asked for), and finds a value changed since.
  Outcome verified = Run("--verify-only --time-zone Asia/Tokyo");
  EXPECT_EQ(verified.status, 0) << verified.out << verified.err;
  EXPECT_NE(verified.out.find("stamps: verified (1 rows)"), std::string::npos) << verified.out;
  ASSERT_EQ(testing_support::Psql(*pg_, database_, "UPDATE extra.stamps SET at = at + interval '1 ms';\n"), 0);
  Outcome changed = Run("--verify-only --time-zone Asia/Tokyo --tables extra.stamps");
  EXPECT_EQ(changed.status, 1);
  EXPECT_NE(changed.out.find("column at: source '2024-01-01 21:00:00.251', stored '2024-01-01 21:00:00.250'"),
            std::string::npos)
      << changed.out;
  ASSERT_EQ(RunCommand("mdb-export " + target_ + " MSysRelationships", &relationships), 0);
  EXPECT_NE(relationships.find("\"items_other_fkey\",0,1,0,\"extra_items\",\"other\",\"rates\",\"id\""),
            std::string::npos)
      << relationships;
  EXPECT_EQ(Run("--classic-types --schemas extra").status, 2);  // schemas are read only when types are kept
  EXPECT_EQ(Run("--all-tables").status, 2);                     // PostgreSQL's own tables only classically
  Outcome unknown = Run("--tables extra.nope --overwrite yes");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("\"extra.nope\""), std::string::npos) << unknown.err;
  // A partition's rows come with its parent's: the refusal says which to name.
  Outcome part = Run("--tables payment_north --overwrite yes");
  EXPECT_EQ(part.status, 2);
  EXPECT_NE(part.err.find("--tables payment_north: a partition or inheritance child, whose rows come with those of "
                          "public.payment: name public.payment.\n"),
            std::string::npos)
      << part.err;
  // A target that cannot be opened is said once, before the run.
  const std::string kept = target_;
  target_ = dir_ + "/missing.accdb";
  Outcome missing = Run("--overwrite yes");
  target_ = kept;
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "Unable to access the database: Could not find file '" + dir_ +
                             "/missing.accdb'.\nNothing converted.\n");
  EXPECT_EQ(missing.out, "");
  Outcome no_zone = Run("--time-zone Mars/Olympus --overwrite yes");
  EXPECT_EQ(no_zone.status, 2);
  EXPECT_NE(no_zone.err.find("--time-zone Mars/Olympus: "), std::string::npos) << no_zone.err;
  EXPECT_EQ(no_zone.err.find("Please email"), std::string::npos) << no_zone.err;
  Outcome no_schema = Run("--schemas extra,Extra --overwrite yes");  // names as PostgreSQL stores them
  EXPECT_EQ(no_schema.status, 2);
  EXPECT_NE(no_schema.err.find("No schema \"Extra\" in database"), std::string::npos) << no_schema.err;
  // Views only when asked for, each as a table of its rows.
  ASSERT_EQ(testing_support::Psql(*pg_, database_, "CREATE VIEW extra.rate_list AS SELECT id FROM extra.rates;\n"), 0);
  EXPECT_EQ(Run("--print-sql").out.find("[rate_list]"), std::string::npos);
  EXPECT_NE(Run("--include-views --print-sql --schemas extra").out.find(
                "CREATE TABLE [rate_list] ([id] LONG)\nINSERT INTO [rate_list] VALUES (1)\n"),
            std::string::npos);
}

TEST_F(ConvertTables, AllTablesIsTheWindowsListAsTheWindowConvertsIt) {
  ASSERT_NO_FATAL_FAILURE(Prepare("convert_all_tables"));
  testing_support::ScriptedServices services;
  db::MemoryListBox window_list;
  db::AddTablesToPostgreSQLListbox(window_list, testing_support::Fields(*pg_, database_));
  ASSERT_TRUE(services.messages.empty());
  std::vector<std::string> expected(window_list.Items().rbegin(), window_list.Items().rend());
  ASSERT_NE(std::find(expected.begin(), expected.end(), "pg_class"), expected.end());

  Outcome printed = Run("--all-tables --print-sql");
  EXPECT_EQ(CreatedTables(printed.out), expected) << printed.err;
}

TEST_F(ConvertTables, TablesSelectsByNameAndAnUnknownNameChangesNothing) {
  ASSERT_NO_FATAL_FAILURE(Prepare("convert_named"));
  Outcome printed = Run("--tables payment_north,items --print-sql");
  ASSERT_EQ(printed.status, 0) << printed.err;
  EXPECT_EQ(CreatedTables(printed.out), (std::vector<std::string>{"payment_north", "items"}));

  Outcome refused = Run("--tables items,nope --overwrite yes");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("\"nope\""), std::string::npos) << refused.err;
  EXPECT_EQ(refused.out.find("Done."), std::string::npos);
  EXPECT_EQ(ReadFile(target_), ReadFile(*empty_));
}

// --verify and --verify-only: a clean run verifies; a refused row is counted
// apart with its reason; a reordering at the source is no difference; a changed
// value is named by row and column, a row added to the Access file by number.
TEST_F(ConvertTables, VerifyComparesEveryValueAndNamesWhatDiffers) {
  ASSERT_NO_FATAL_FAILURE(Prepare("convert_verify"));
  ASSERT_EQ(testing_support::Psql(*pg_, database_,
                                  "CREATE TABLE big (id integer, v bigint, note text);\n"
                                  "INSERT INTO big VALUES (1, 5, 'one\r\ntwo'), (2, 5000000000, ''), (3, 7, NULL);\n"),
            0);
  Outcome clean = Run("--tables items,rates --overwrite yes --verify");
  EXPECT_EQ(clean.status, 0) << clean.out << clean.err;
  EXPECT_NE(clean.out.find("items: verified (3 rows)"), std::string::npos) << clean.out;
  EXPECT_NE(clean.out.find("Verified 2 of 2 tables; 0 differences, 0 rows refused."), std::string::npos) << clean.out;

  Outcome refused = Run("--tables big --overwrite yes --verify");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.out.find("big: 1 refused (3 source rows, 2 in the Access file)"), std::string::npos) << refused.out;
  EXPECT_NE(refused.out.find("  row 2 refused: SQLException: The value 5000000000"), std::string::npos) << refused.out;

  // A row rewritten at the source moves to the end of its table: only the changed value differs.
  ASSERT_EQ(testing_support::Psql(*pg_, database_, "UPDATE items SET label = 'B' WHERE id = 2;\n"), 0);
  ASSERT_EQ(RunCommand(std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access exec " + target_ +
                       " \"INSERT INTO rates VALUES (2)\" >/dev/null"),
            0);
  Outcome changed = Run("--tables items,rates --verify-only");
  EXPECT_EQ(changed.status, 1);
  EXPECT_NE(changed.out.find("items: 1 difference (3 source rows, 3 in the Access file)"), std::string::npos)
      << changed.out;
  EXPECT_NE(changed.out.find(", column label: source 'B', stored 'b'"), std::string::npos) << changed.out;
  EXPECT_NE(changed.out.find("rates: 1 difference (1 source rows, 2 in the Access file)\n  stored row 2: not in the "
                             "source"),
            std::string::npos)
      << changed.out;

  ASSERT_EQ(testing_support::Psql(*pg_, database_, "UPDATE items SET label = 'b' WHERE id = 2;\n"), 0);
  Outcome reordered = Run("--tables items --verify-only");
  EXPECT_EQ(reordered.status, 0) << reordered.out;
  EXPECT_NE(reordered.out.find("items: verified (3 rows)"), std::string::npos) << reordered.out;
}

// Writes that fail (the file may grow to 400 KB only): the closing line counts
// what the file holds, the lost statements apart from refused ones, and
// --verify finds the same rows. How many commits fail depends on the clock;
// the accounting holds whatever it is.
TEST_F(ConvertTables, AfterFailedWritesTheClosingLineCountsWhatTheFileHolds) {
  ASSERT_NO_FATAL_FAILURE(Prepare("convert_full"));
  ASSERT_EQ(testing_support::Psql(*pg_, database_,
                                  "CREATE TABLE wide (id integer, note varchar(250));\n"
                                  "INSERT INTO wide SELECT n, repeat('x', 200) || n FROM generate_series(1, 8000) n;\n"),
            0);
  // Past the limit a write fails with EFBIG instead of killing the program.
  Outcome run = Run("--tables wide --overwrite yes --verify", "trap '' XFSZ; ulimit -f 400; ");
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  std::smatch m;
  const std::regex closing(R"((\d+) tables and (\d+) rows in the file, (\d+) statements refused, (\d+) statements )"
                           R"(lost in (\d+) failed writes?\n)");
  ASSERT_TRUE(std::regex_search(run.out, m, closing)) << run.out << run.err;
  const long tables = std::stol(m[1]), rows = std::stol(m[2]), refused = std::stol(m[3]), lost = std::stol(m[4]);
  EXPECT_GE(std::stol(m[5]), 1);
  EXPECT_GT(lost, 0);
  EXPECT_EQ(run.err.find("SQLException: "), std::string::npos) << "a failed write is no refused statement";
  // Every statement (CREATE TABLE and 8000 rows) is in the file, lost or refused.
  EXPECT_EQ(tables + rows + lost + refused, 8001) << run.out;
  if (tables == 1) {
    EXPECT_NE(run.out.find("(8000 source rows, " + std::to_string(rows) + " in the Access file)"), std::string::npos)
        << run.out;
    std::string csv;
    ASSERT_EQ(RunCommand("mdb-export " + target_ + " wide | tail -n +2 | wc -l", &csv), 0);
    EXPECT_EQ(std::stol(csv), rows);
  } else {
    EXPECT_EQ(rows, 0);
    EXPECT_NE(run.out.find("wide: not compared"), std::string::npos) << run.out;
  }
  std::string check;
  EXPECT_EQ(RunCommand(std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access check " + target_ + " 2>&1", &check), 0)
      << check;
}

// New .accdb files of each version, made by `pelmora-access create`, as
// targets end to end: converted and verified, both readers read every row.
TEST_F(ConvertTables, IntoANewAccdbOfEachVersion) {
  ASSERT_NO_FATAL_FAILURE(Prepare("convert_new_accdb"));
  REQUIRE_READERS();
  const std::string access = std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access";
  for (const char* version : {"2007", "2010", "2016", "2019"}) {
    SCOPED_TRACE(version);
    target_ = dir_ + "/new-" + version + ".accdb";
    ASSERT_EQ(RunCommand(access + " create " + target_ + " --format " + version), 0);
    Outcome run = Run("--overwrite no --verify");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Verified 3 of 3 tables; 0 differences, 0 rows refused."), std::string::npos) << run.out;
    for (auto [table, rows] : {std::pair{"items", 3u}, std::pair{"payment", 3u}, std::pair{"rates", 1u}}) {
      auto tools = readers::MdbtoolsRows(target_, table);
      auto js = readers::MdbReaderRows(target_, table);
      ASSERT_TRUE(tools && js) << table;
      EXPECT_EQ(tools->size(), rows) << table;
      EXPECT_EQ(js->rows.size(), rows) << table;
    }
    EXPECT_EQ(readers::CheckReport(target_), "");
  }
}

// An encrypted target (Agile, made by Access) end to end: converted with its
// password and verified through the engine; a wrong password writes nothing.
TEST_F(ConvertTables, IntoAnEncryptedAccdbWithItsPassword) {
  ASSERT_NO_FATAL_FAILURE(Prepare("convert_encrypted"));
  REQUIRE_FIXTURE(agile, "encrypted-agile.accdb");
  REQUIRE_MDB_READER();
  target_ = testing_support::CopyFile(agile, dir_);
  const std::vector<std::byte> before = testing_support::ReadBytes(target_);
  access_password_ = "wrong";
  Outcome refused = Run("--tables items --overwrite yes");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("Not a valid password."), std::string::npos) << refused.err;
  EXPECT_EQ(testing_support::ReadBytes(target_), before);

  access_password_ = "password";
  Outcome run = Run("--overwrite yes --verify");
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Verified 3 of 3 tables; 0 differences, 0 rows refused."), std::string::npos) << run.out;
  auto items = readers::MdbReaderRows(target_, "items", "password");
  ASSERT_TRUE(items) << "mdb-reader could not read the converted table";
  EXPECT_EQ(items->rows.size(), 3u);
}

// New .accdb files encrypted by each scheme `pelmora-access create` writes,
// the compatibility-mode-off AES among them: a wrong password is refused by
// both tools with the file unchanged; the right one converts and verifies, and
// a fresh pelmora-access reads the rows back.
TEST_F(ConvertTables, IntoANewAccdbEncryptedByEachScheme) {
  ASSERT_NO_FATAL_FAILURE(Prepare("convert_schemes"));
  const std::string access = std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access";
  for (const char* scheme : {"agile", "rc4-cryptoapi", "standard-aes", "cryptoapi-aes"}) {
    SCOPED_TRACE(scheme);
    target_ = dir_ + "/" + scheme + ".accdb";
    ASSERT_EQ(RunCommand(access + " create " + target_ + " --password 'S3cret pw' --encryption " + scheme), 0);
    const std::vector<std::byte> before = testing_support::ReadBytes(target_);
    std::string listed;
    EXPECT_EQ(RunCommand(access + " tables " + target_ + " --password wrong 2>&1", &listed), 1);
    EXPECT_NE(listed.find("Not a valid password."), std::string::npos) << listed;
    access_password_ = "wrong";
    Outcome refused = Run("--overwrite yes");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Not a valid password."), std::string::npos) << refused.err;
    EXPECT_EQ(testing_support::ReadBytes(target_), before);

    access_password_ = "S3cret pw";
    Outcome run = Run("--overwrite no --verify");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Verified 3 of 3 tables; 0 differences, 0 rows refused."), std::string::npos) << run.out;
    std::string rows;
    ASSERT_EQ(RunCommand(access + " export " + target_ + " items --password 'S3cret pw'", &rows), 0);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 4) << rows;  // the header and three rows
    EXPECT_EQ(readers::CheckReport(target_, "S3cret pw"), "");
  }
}

// The connection as libpq programs take it: PGHOST, PGPORT, PGUSER and
// PGDATABASE instead of options, the password from a password file named by
// PGPASSFILE (never the user's own), and PGSSLMODE as the driver's SSL mode.
TEST_F(ConvertTables, TakesLibpqsVariablesAndPasswordFile) {
  ASSERT_NO_FATAL_FAILURE(Prepare("convert_libpq"));
  const std::string passfile = dir_ + "/pgpass";
  {
    std::ofstream out(passfile);
    out << pg_->host << ":" << pg_->port << ":" << database_ << ":" << pg_->user << ":" << pg_->password << "\n";
  }
  auto run = [&](const std::string& variables, mode_t mode, const std::string& arguments = "") {
    std::filesystem::permissions(passfile, static_cast<std::filesystem::perms>(mode));
    std::string command = "env -u PGPASSWORD -u PELMORA_PG_PASSWORD -u PGSERVICE PGHOST=" + pg_->host + " PGPORT=" +
                          pg_->port + " PGUSER=" + pg_->user + " PGDATABASE=" + database_ + " PGPASSFILE=" +
                          passfile + " " + variables + " " + Convert() + " --target " + target_ +
                          " --overwrite yes --classic-types " + arguments + " </dev/null >" + dir_ + "/out.txt 2>" + dir_ + "/err.txt";
    return Outcome{RunCommand(command), ReadFile(dir_ + "/out.txt"), ReadFile(dir_ + "/err.txt")};
  };
  Outcome converted = run("", 0600);
  EXPECT_EQ(converted.status, 0) << converted.out << converted.err;
  EXPECT_NE(converted.out.find("3 tables created, 7 rows written, 0 statements refused"), std::string::npos)
      << converted.out << converted.err;

  // libpq reads no password file that others may read: no password, no login.
  Outcome exposed = run("", 0644);
  EXPECT_EQ(exposed.status, 1) << exposed.out;
  EXPECT_NE(exposed.err.find("Could not connect"), std::string::npos) << exposed.err;

  // The test server speaks no SSL: "require" must reach libpq to fail, "disable" to pass.
  Outcome required = run("PGSSLMODE=require", 0600);
  EXPECT_EQ(required.status, 1) << required.out;
  EXPECT_EQ(run("PGSSLMODE=disable", 0600).status, 0);
  EXPECT_EQ(run("PGSSLMODE=sometimes", 0600).status, 2);
  // A password given is used instead of the file; PELMORA_PG_PASSWORD before PGPASSWORD.
  EXPECT_EQ(run("PGPASSWORD=wrong", 0600).status, 1);
  EXPECT_EQ(run("PGPASSWORD=wrong PELMORA_PG_PASSWORD=" + pg_->password, 0600).status, 0);
  // Options win over the variables.
  EXPECT_EQ(run("PGPORT=1", 0600).status, 1);
  Outcome port_given = run("PGPORT=1", 0600, "--port " + pg_->port);
  EXPECT_EQ(port_given.status, 0) << port_given.err;
  EXPECT_EQ(RunCommand("env -u PGUSER -u PGDATABASE " + Convert() + " --target " + target_ + " </dev/null 2>/dev/null"),
            2);
}

}  // namespace
