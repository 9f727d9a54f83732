#pragma once
// Where tests find what lies outside the repository: the test PostgreSQL server
// (scripts/test.sh starts one), ../shared and its Access fixtures, the readers.

#include <gtest/gtest.h>

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct PgServer {
  std::string host, port, user, password, database;
  // "Driver={PostgreSQL Unicode};Server=...;Port=...;Uid=...;Pwd=...;Database=..."
  std::string ConnectionString(const std::string& database_override = {}) const;
};

// The test server, or nothing when PELMORA_TEST_PG_PORT is not set.
std::optional<PgServer> TestPgServer();

// ../shared, or nothing when it is absent.
std::optional<std::string> SharedFolder();
// ../shared/fixtures/access/NAME, or nothing.
std::optional<std::string> AccessFixture(const std::string& name);

// A fresh private folder under the build tree for one test's files.
std::string ScratchFolder(const std::string& test_name);
// Copies a file (fixtures are never modified in place); returns the copy's path.
std::string CopyFile(const std::string& from, const std::string& to_folder);

// Runs a command line; returns its exit status and fills stdout.
int RunCommand(const std::string& command, std::string* output = nullptr);

// A file's bytes (none when it cannot be read).
std::vector<std::byte> ReadBytes(const std::string& path);

// True in CI: CI=true and PELMORA_SHARED set. Then a missing prerequisite
// fails the test instead of skipping it (PELMORA_REQUIRE).
bool MissingPrerequisiteFails();
// The names among `names` that ../shared/fixtures/access lacks, comma-separated.
std::string MissingFixtures(std::initializer_list<std::string> names);
// Whether a command is on PATH.
bool HaveCommand(const std::string& name);
// The independent readers the write tests compare with.
bool HaveMdbtools();
bool HaveMdbReader();  // node and tests/readers/node_modules/mdb-reader

}  // namespace testing_support

// --- What a test needs from outside the repository -----------------------------
//
// A test whose fixture, reader, tool or test server is missing skips on a
// developer's checkout without ../shared. In CI (CI=true, with ../shared given
// as PELMORA_SHARED by scripts/test.sh) it fails instead: a green CI run has
// run every test.
//
//   REQUIRE_PG(pg);                          // pg: the test server's PgServer
//   REQUIRE_FIXTURE(file, "empty-2000.mdb"); // file: its path under ../shared/fixtures/access
//   REQUIRE_FIXTURES("a.mdb", "b.accdb");    // only the check
//   REQUIRE_SHARED(shared);                  // shared: the ../shared folder
//   REQUIRE_READERS();                       // mdbtools and mdb-reader
//   REQUIRE_MDBTOOLS(); REQUIRE_MDB_READER();
//   PELMORA_REQUIRE(condition, "what is missing" << detail);
#define PELMORA_REQUIRE(condition, what)                                                         \
  do {                                                                                           \
    if (!(condition)) {                                                                          \
      if (::testing_support::MissingPrerequisiteFails()) FAIL() << "missing in CI: " << what;   \
      else GTEST_SKIP() << "missing: " << what;                                                  \
    }                                                                                            \
  } while (0)

#define REQUIRE_PG(var)                                                                             \
  const auto var##_found = ::testing_support::TestPgServer();                                       \
  PELMORA_REQUIRE(var##_found, "the test PostgreSQL (PELMORA_TEST_PG_*; scripts/test.sh starts one)"); \
  const ::testing_support::PgServer& var = *var##_found

#define REQUIRE_FIXTURE(var, name)                                                       \
  const auto var##_found = ::testing_support::AccessFixture(name);                      \
  PELMORA_REQUIRE(var##_found, "Access fixture " << (name) << " (../shared/fixtures/access)"); \
  const std::string& var = *var##_found

#define REQUIRE_FIXTURES(...)                                                               \
  PELMORA_REQUIRE(::testing_support::MissingFixtures({__VA_ARGS__}).empty(),                \
                  "Access fixtures " << ::testing_support::MissingFixtures({__VA_ARGS__}) \
                                     << " (../shared/fixtures/access)")

#define REQUIRE_SHARED(var)                                                  \
  const auto var##_found = ::testing_support::SharedFolder();               \
  PELMORA_REQUIRE(var##_found, "../shared (or PELMORA_SHARED) with fixtures"); \
  const std::string& var = *var##_found

#define REQUIRE_MDBTOOLS() PELMORA_REQUIRE(::testing_support::HaveMdbtools(), "mdbtools (mdb-export)")
#define REQUIRE_MDB_READER() \
  PELMORA_REQUIRE(::testing_support::HaveMdbReader(), "mdb-reader (node, npm install in tests/readers)")
#define REQUIRE_READERS() \
  REQUIRE_MDBTOOLS();     \
  REQUIRE_MDB_READER()
