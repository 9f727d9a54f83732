#pragma once
// Where tests find what lies outside the repository: the test PostgreSQL server
// (scripts/test.sh starts one), ../shared and its Access fixtures, the readers.

#include <optional>
#include <string>

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

}  // namespace testing_support

// Skips the current test with a message when the test server is absent.
#define PELMORA_REQUIRE_PG(var)                                                   \
  auto var##_opt = ::testing_support::TestPgServer();                             \
  if (!var##_opt) GTEST_SKIP() << "no test PostgreSQL (run scripts/test.sh)";     \
  const auto& var = *var##_opt
