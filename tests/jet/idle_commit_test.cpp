// Statements executed and then waited on reach the file when the program asks
// the engine to commit while idle, without closing it.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/jet/public/database.h"
#include "tests/support/environment.h"

namespace {

std::string Tables(const std::string& path) {
  std::string out;
  testing_support::RunCommand("mdb-tables -1 '" + path + "' 2>&1", &out);
  return out;
}

TEST(IdleCommit, WaitingStatementsReachTheFileOnceTheirTimeHasCome) {
  REQUIRE_FIXTURE(fixture, "empty-2000.mdb");
  REQUIRE_MDBTOOLS();
  const std::string path = testing_support::CopyFile(fixture, testing_support::ScratchFolder("idle_commit"));
  auto db = jet::Database::Open(path, {.writable = true});
  ASSERT_TRUE(db) << db.error().message;
  ASSERT_TRUE((*db)->Execute("CREATE TABLE waiting (id INT)"));
  ASSERT_TRUE((*db)->Execute("INSERT INTO waiting VALUES (1)"));

  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  ASSERT_TRUE((*db)->CommitIfDue());
  EXPECT_NE(Tables(path).find("waiting"), std::string::npos);
  std::string rows;
  testing_support::RunCommand("mdb-export '" + path + "' waiting 2>&1", &rows);
  EXPECT_EQ(rows, "id\n1\n");
  ASSERT_TRUE((*db)->Close());
}

}  // namespace
