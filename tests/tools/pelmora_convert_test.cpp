// pelmora-convert as a script would use it: exit statuses, --print-sql output,
// and failures on stderr.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/db/pg_scratch.h"
#include "tests/support/environment.h"

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
}

TEST(PelmoraConvert, AnUnreachableSourceIsAFailureNotASilentSuccess) {
  std::string out;
  int status = RunCommand(Convert() + " --server 127.0.0.1 --port 1 --user u --database d --target /nonexistent.mdb"
                                      " </dev/null 2>&1",
                          &out);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("Could not connect to the PostgreSQL server"), std::string::npos) << out;
  EXPECT_EQ(out.find("Done."), std::string::npos);
}

TEST(PelmoraConvert, PrintSqlListsDropsForTablesTheTargetHasAndTheLogOnStderr) {
  PELMORA_REQUIRE_PG(pg);
  auto fixture = testing_support::AccessFixture("content-2000.mdb");
  if (!fixture) GTEST_SKIP() << "../shared/fixtures/access is absent";
  ASSERT_TRUE(testing_support::FreshDatabase(pg, "convert_print"));
  ASSERT_EQ(testing_support::Psql(pg, "convert_print",
                                  "CREATE TABLE table1 (id integer, note text);\n"
                                  "INSERT INTO table1 VALUES (1, 'it''s'), (2, NULL);\n"),
            0);
  std::string dir = testing_support::ScratchFolder("convert_print");
  std::string target = testing_support::CopyFile(*fixture, dir);
  std::string command = "PELMORA_PG_PASSWORD='" + pg.password + "' " + Convert() + " --server " + pg.host +
                        " --port " + pg.port + " --user " + pg.user + " --database convert_print --target " +
                        target + " --print-sql </dev/null >" + dir + "/out.txt 2>" + dir + "/err.txt";
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
  EXPECT_EQ(ReadFile(target), ReadFile(*fixture));
}

}  // namespace
