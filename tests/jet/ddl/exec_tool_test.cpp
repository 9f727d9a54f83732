// `pelmora-access exec`: statements from the arguments or from standard input,
// stopping at the first failure unless --keep-going, with the exit status and
// the descriptions on standard error.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "tests/jet/write/readers.h"
#include "tests/support/environment.h"

namespace {

using readers::ShellQuote;

struct ToolRun {
  int status = 0;
  std::string out;  // standard output and error
};

std::string Tool() { return std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access"; }

ToolRun RunTool(const std::string& args, const std::string& input = "") {
  ToolRun r;
  std::string command = Tool() + " " + args + " 2>&1";
  if (!input.empty()) command = "printf '%s' " + ShellQuote(input) + " | " + command;
  r.status = testing_support::RunCommand(command, &r.out);
  return r;
}

class ExecTool : public ::testing::Test {
 protected:
  void SetUp() override {
    PELMORA_REQUIRE(std::filesystem::exists(Tool()), "pelmora-access (build target pelmora-access)");
    REQUIRE_FIXTURE(fixture, "empty-2000.mdb");
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = testing_support::CopyFile(fixture, testing_support::ScratchFolder(std::string("exec_") + info->name()));
  }
  std::string File() const { return ShellQuote(path_); }
  std::string Export(const std::string& table) { return RunTool("export " + File() + " " + ShellQuote(table)).out; }

  std::string path_;
};

TEST_F(ExecTool, RunsEachArgumentInOrder) {
  auto r = RunTool("exec " + File() + " " + ShellQuote("CREATE TABLE \"t\" (id INT,name VARCHAR);") + " " +
               ShellQuote("INSERT INTO \"t\" VALUES(1, 'O''Brien')") + " " + ShellQuote("INSERT INTO t VALUES(2,NULL)"));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Export("t"), "id,name\r\n1,\"O'Brien\"\r\n2,\r\n");
  EXPECT_EQ(RunTool("check " + File()).out, "ok\n");
}

TEST_F(ExecTool, ReadsOneStatementPerNonEmptyLineOfStandardInput) {
  auto r = RunTool("exec " + File(), "CREATE TABLE t (id INT)\r\n\n   \nINSERT INTO t VALUES (1)\nINSERT INTO t VALUES (2)");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Export("t"), "id\r\n1\r\n2\r\n");
}

TEST_F(ExecTool, StopsAtTheFirstFailureUnlessToldToGoOn) {
  std::string statements = ShellQuote("CREATE TABLE t (id INT)") + " " + ShellQuote("INSERT INTO t VALUES ('x')") +
                           " " + ShellQuote("INSERT INTO t VALUES (2)") + " " + ShellQuote("INSERT INTO nosuch VALUES (3)") +
                           " " + ShellQuote("INSERT INTO t VALUES (4)");
  auto stopped = RunTool("exec " + File() + " " + statements);
  EXPECT_EQ(stopped.status, 1);
  EXPECT_NE(stopped.out.find("statement 2: SQLException: "), std::string::npos) << stopped.out;
  EXPECT_EQ(stopped.out.find("statement 4"), std::string::npos) << stopped.out;
  EXPECT_EQ(Export("t"), "id\r\n") << "the statements after the failure did not run";

  auto went_on = RunTool("exec --keep-going " + File() + " " + ShellQuote("INSERT INTO t VALUES ('x')") + " " +
                     ShellQuote("INSERT INTO t VALUES (2)") + " " + ShellQuote("INSERT INTO nosuch VALUES (3)") + " " +
                     ShellQuote("INSERT INTO t VALUES (4)"));
  EXPECT_EQ(went_on.status, 1);
  EXPECT_NE(went_on.out.find("statement 1: SQLException: "), std::string::npos) << went_on.out;
  EXPECT_NE(went_on.out.find("statement 3: SQLException: "), std::string::npos) << went_on.out;
  EXPECT_EQ(Export("t"), "id\r\n2\r\n4\r\n");
}

// A path nobody can open for writing, root included (a folder), and for other
// users also a read-only file: refused with the tool's message, nothing changed.
TEST_F(ExecTool, RefusesAFileItCannotOpenForWriting) {
  const std::string folder = path_ + ".folder.mdb";
  std::filesystem::create_directory(folder);
  auto on_folder = RunTool("exec " + ShellQuote(folder) + " " + ShellQuote("CREATE TABLE t (id INT)"));
  EXPECT_EQ(on_folder.status, 1);
  EXPECT_NE(on_folder.out.find("pelmora-access: "), std::string::npos) << on_folder.out;
  EXPECT_TRUE(std::filesystem::is_empty(folder));

  if (geteuid() == 0) return;  // root writes read-only files
  const auto before = testing_support::ReadBytes(path_);
  std::filesystem::permissions(path_, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  auto r = RunTool("exec " + File() + " " + ShellQuote("CREATE TABLE t (id INT)"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("pelmora-access: "), std::string::npos) << r.out;
  EXPECT_EQ(testing_support::ReadBytes(path_), before);
}

}  // namespace
