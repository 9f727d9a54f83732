// Statements as the program writes them, statements that must be refused
// (the file stays byte for byte as it was), a statement that fails part-way
// (every page goes back), a failure to write the file, many tables (catalogue
// index pages split), and a million rows.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/jet/format/data_page.h"
#include "platform/jet/table/index.h"
#include "platform/jet/table/table.h"
#include "tests/jet/ddl/ddl_session.h"
#include "tests/jet/memory_env.h"

namespace {

using ddl_test::Session;

std::string Flush(Session& s) {
  auto flushed = s.db->Flush();
  return flushed ? "" : flushed.error().message;
}

TEST(DdlStatements, TheProgramsOwnStatementTextsExecuteUnchanged) {
  REQUIRE_READERS();
  Session s;
  REQUIRE_FIXTURES("empty-2003.mdb");
  ASSERT_TRUE(s.Open("empty-2003.mdb", "ddl_program_texts"));
  // The first run of a conversion drops a table that is not there yet.
  EXPECT_NE(s.Refused("DROP TABLE \"t\"").find("cannot find the input table"), std::string::npos);
  s.Run("CREATE TABLE \"t\" (id INT,name VARCHAR,price VARCHAR);");
  s.Run("INSERT INTO \"t\" VALUES(1, 'O''Brien', '08/31/2021 14:05:00')");
  s.Run("INSERT INTO \"t\" VALUES(2,NULL, '08/31/2021')");
  s.Run("INSERT INTO \"t\" VALUES(NULL, 'x',NULL)");
  s.Run("CREATE TABLE \"t4\" (id INT,name VARCHAR,note VARCHAR,created VARCHAR);");
  s.Run("INSERT INTO \"t4\" VALUES(1, 'O''Brien',NULL, '08/31/2021')");
  s.Run("DROP TABLE \"t4\"");
  s.Run("CREATE TABLE \"orders\" (id INT,name VARCHAR,price VARCHAR);");
  s.Run("insert  into [ORDERS]\n(name, id)\tvalues ('typed by hand', 7) ;");
  s.Run("INSERT INTO \"Orders\" VALUES(3.5, 3.5, 3.5)");  // 3.5 into INT rounds to 4, into text stays "3.5"
  s.Close();
  s.ExpectReadersAgree();
}

TEST(DdlStatements, RefusedStatementsLeaveTheFileByteIdentical) {
  Session s;
  REQUIRE_FIXTURES("empty-2003.mdb");
  ASSERT_TRUE(s.Open("empty-2003.mdb", "ddl_refusals"));
  s.Run("CREATE TABLE t (id INT, s SMALLINT, name TEXT(5), d DATETIME, n DECIMAL(5,2))");
  s.Run("INSERT INTO t VALUES (1, 2, 'abc', '01/02/2003', 1.25)");
  ASSERT_EQ(Flush(s), "");
  auto before = testing_support::ReadBytes(s.path);

  struct Case {
    std::string sql, says;
  };
  const std::vector<Case> cases = {
      {"INSERT INTO t VALUES (1)", "are not the same"},
      {"INSERT INTO nosuch VALUES (1)", "'nosuch'"},
      {"INSERT INTO t VALUES (1, 40000, 'a', NULL, NULL)", "'s'"},
      {"INSERT INTO t VALUES ('abc', 1, 'a', NULL, NULL)", "not a number"},
      {"INSERT INTO t (id, name) VALUES (1, 'toolong')", "'toolong'"},
      {"INSERT INTO t (id, nosuchcol) VALUES (1, 2)", "'nosuchcol'"},
      {"INSERT INTO t (id, ID) VALUES (1, 2)", "twice"},
      {"INSERT INTO t VALUES (1, 1, 'a', NULL, 1234.5)", "'n'"},
      {"INSERT INTO t VALUES (1, 1, 'a', NULL, NaN)", "'n'"},
      {"INSERT INTO MSysObjects (Id) VALUES (1)", "system table"},
      {"CREATE TABLE T (x INT)", "already exists"},
      {"CREATE TABLE msysobjects (x INT)", "already exists"},
      {"CREATE TABLE u (a COUNTER, b AUTOINCREMENT)", "only one AutoNumber"},
      {"CREATE TABLE w (a BIGINT)", "Access 2016"},
      {"CREATE TABLE [a.b] (x INT)", "SQLException"},
      {"DROP TABLE nosuch", "'nosuch'"},
      {"DROP TABLE MSysACEs", "system table"},
      {"DROP TABLE t; DROP TABLE t", "SQLException"},
      {"SELECT * FROM t", "SELECT"},
      {"UPDATE t SET id = 2", "SQLException"},
  };
  for (const auto& c : cases) {
    std::string message = s.Refused(c.sql);
    EXPECT_NE(message.find(c.says), std::string::npos) << c.sql << "\n-> " << message;
  }
  ASSERT_EQ(Flush(s), "");
  EXPECT_TRUE(testing_support::ReadBytes(s.path) == before) << "a refused statement changed the file";

  // The database goes on working after the refusals.
  s.Run("INSERT INTO t VALUES (2, 3, 'de', NULL, -1.5)");
  s.Close();
  REQUIRE_READERS();
  s.ExpectReadersAgree();
}

TEST(DdlStatements, AReadOnlyDatabaseRefusesStatements) {
  REQUIRE_FIXTURE(fixture, "empty-2000.mdb");
  auto db = jet::Database::Open(fixture);  // read-only
  ASSERT_TRUE(db);
  auto done = (*db)->Execute("CREATE TABLE t (x INT)");
  ASSERT_FALSE(done);
  EXPECT_EQ(done.error().message.rfind("SQLException: ", 0), 0u);
  EXPECT_NE(done.error().message.find("read-only"), std::string::npos);
}

// A database in memory whose pages can be damaged behind the pager's back.
struct MemoryDatabase {
  testing_support::MemoryEnv env;
  std::unique_ptr<jet::Database> db;
  const std::string path = "/mem/db.mdb";

  bool Load(const std::string& fixture) {
    auto source = testing_support::AccessFixture(fixture);
    if (!source) return false;
    env.files[path] = testing_support::ReadBytes(*source);
    return Reopen();
  }
  bool Reopen() {
    db.reset();
    jet::OpenOptions options;
    options.writable = true;
    options.env = &env;
    options.commit_limits.statements = 100;  // commits come soon
    auto opened = jet::Database::Open(path, options);
    EXPECT_TRUE(opened) << (opened ? "" : opened.error().message);
    if (opened) db = std::move(*opened);
    return db != nullptr;
  }
  std::vector<std::byte>& Bytes() { return env.files[path]; }
};

// In the engine-made Jet 4 file MSysACEs keeps its rows on page 18, which
// nothing reads before CREATE TABLE adds the new table's entries there: a
// damaged page 18 makes CREATE TABLE fail after it has written its
// definition, map page and catalogue row.
constexpr uint32_t kAcesDataPage = 18;

void Damage(MemoryDatabase& m, std::vector<std::byte>* saved) {
  auto& bytes = m.Bytes();
  saved->assign(bytes.begin() + kAcesDataPage * 4096, bytes.begin() + (kAcesDataPage + 1) * 4096);
  bytes[kAcesDataPage * 4096] = std::byte{0x07};
}

void Repair(MemoryDatabase& m, const std::vector<std::byte>& saved) {
  std::copy(saved.begin(), saved.end(), m.Bytes().begin() + kAcesDataPage * 4096);
}

TEST(DdlStatements, AStatementFailingPartWayPutsEveryPageBack) {
  MemoryDatabase m;
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  ASSERT_TRUE(m.Load("engine-empty-jet4.mdb"));

  // From a committed state: the file is exactly as before.
  auto before = m.Bytes();
  std::vector<std::byte> saved;
  Damage(m, &saved);
  auto failed = m.db->Execute("CREATE TABLE u (a INT, b MEMO)");
  ASSERT_FALSE(failed);
  EXPECT_NE(failed.error().message.find("SQLException: The Access database is damaged"), std::string::npos)
      << failed.error().message;
  Repair(m, saved);
  ASSERT_TRUE(m.db->Close());
  EXPECT_TRUE(m.Bytes() == before);

  // With earlier statements not yet committed: they stay, the failed one goes.
  ASSERT_TRUE(m.Reopen());
  ASSERT_TRUE(m.db->Execute("CREATE TABLE t (a INT, b TEXT(20))"));
  ASSERT_TRUE(m.db->Execute("INSERT INTO t VALUES (1, 'kept')"));
  // Page 18 was read by the CREATE above; reopen so that the next read is fresh.
  ASSERT_TRUE(m.db->Close());
  ASSERT_TRUE(m.Reopen());
  ASSERT_TRUE(m.db->Execute("INSERT INTO t VALUES (2, 'kept too')"));
  Damage(m, &saved);
  failed = m.db->Execute("CREATE TABLE u (a INT, b MEMO)");
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().message.rfind("SQLException: ", 0), 0u);
  EXPECT_TRUE(m.db->FindTable("u").has_value() == false) << "the catalogue held by the database follows the undo";
  ASSERT_TRUE(m.db->Execute("INSERT INTO t VALUES (3, 'after the failure')"));
  Repair(m, saved);
  ASSERT_TRUE(m.db->Close());

  ASSERT_TRUE(m.Reopen());
  EXPECT_EQ(m.db->UserTables(), std::vector<std::string>{"t"});
  auto rows = m.db->ReadTable("t");
  ASSERT_TRUE(rows);
  std::vector<std::string> texts;
  for (; (*rows)->Valid(); (*rows)->Next()) texts.push_back(std::get<std::string>((*rows)->row()[1]));
  EXPECT_EQ(texts, (std::vector<std::string>{"kept", "kept too", "after the failure"}));
  auto problems = m.db->Check();
  ASSERT_TRUE(problems);
  EXPECT_TRUE(problems->empty()) << (*problems)[0];
}

TEST(DdlStatements, AFailureToWriteTheFileIsAWriteFailureNotARefusedStatement) {
  MemoryDatabase m;
  REQUIRE_FIXTURES("empty-2000.mdb");
  ASSERT_TRUE(m.Load("empty-2000.mdb"));
  ASSERT_TRUE(m.db->Execute("CREATE TABLE t (a INT, b MEMO)"));
  ASSERT_TRUE(m.db->Flush());
  m.env.fail_writes = true;
  // Statements are committed in groups of 100 here: a commit comes soon.
  jet::Status done;
  int executed = 0;
  while (done && executed < 5000) {
    done = m.db->Execute("INSERT INTO t VALUES (" + std::to_string(executed) + ", 'memo')");
    ++executed;
  }
  ASSERT_FALSE(done) << "no statement reported the failed write";
  EXPECT_EQ(done.error().kind, jet::ErrorKind::kWriteFailed);
  EXPECT_EQ(done.error().message.find("SQLException: "), std::string::npos) << done.error().message;
  EXPECT_NE(done.error().message.find("statements since the last commit were lost"), std::string::npos)
      << done.error().message;
  EXPECT_NE(done.error().message.find("disk is full"), std::string::npos) << done.error().message;
  // The failed group is gone (the message says so); the database goes on.
  m.env.fail_writes = false;
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(m.db->Execute("INSERT INTO t VALUES (-1, 'after')"));
  ASSERT_TRUE(m.db->Close());
  ASSERT_TRUE(m.Reopen());
  auto rows = m.db->ReadTable("t");
  ASSERT_TRUE(rows) << rows.error().message;
  int count = 0;
  for (; (*rows)->Valid(); (*rows)->Next()) count += std::get<int64_t>((*rows)->row()[0]) == -1 ? 1 : 100;
  EXPECT_EQ(count, 5) << "exactly the rows after the failure";
  auto problems = m.db->Check();
  ASSERT_TRUE(problems);
  EXPECT_TRUE(problems->empty()) << (*problems)[0];
}

// Catalogue index pages of both MSysObjects indexes must split; each must still
// reach every catalogue row (check), and both readers list every table.
void ManyTables(const std::string& fixture) {
  REQUIRE_READERS();
  Session s;
  REQUIRE_FIXTURES(fixture);
  ASSERT_TRUE(s.Open(fixture, "ddl_many_" + fixture.substr(0, fixture.find('.'))));
  for (int i = 1; i <= 300; ++i) {
    std::string name = fmt::format("table number {:03} with a name of some length", i);
    s.Run(fmt::format("CREATE TABLE [{}] (id INT, name VARCHAR, note MEMO)", name));
    s.Run(fmt::format("INSERT INTO [{}] VALUES ({}, 'row of {}', 'memo {}')", name, i, i, i));
  }
  for (int i = 1; i <= 300; i += 3)
    s.Run(fmt::format("DROP TABLE [TABLE NUMBER {:03} WITH A NAME OF SOME LENGTH]", i));
  for (int i = 1; i <= 30; ++i) s.Run(fmt::format("CREATE TABLE again_{} (x DOUBLE)", i));
  ASSERT_EQ(Flush(s), "");

  auto catalog = jet::table::Table::Open(s.db->pages(), 2, "MSysObjects");
  ASSERT_TRUE(catalog);
  for (const auto& index : (*catalog)->definition().real_indexes) {
    if (index.columns.size() != 2) continue;  // ParentIdName; the Id index's short keys may fit one page
    jet::table::IndexTree tree(s.db->pages(), index.root_page, 2);
    auto pages = tree.Pages();
    ASSERT_TRUE(pages);
    EXPECT_GT(pages->size(), 2u) << "the catalogue index on page " << index.root_page << " did not split";
  }
  s.Close();
  s.ExpectReadersAgree();
}

TEST(DdlStatements, ThreeHundredTablesInAJet4File) { ManyTables("empty-2003.mdb"); }
TEST(DdlStatements, ThreeHundredTablesInAnAceFile) { ManyTables("empty-2016.accdb"); }

TEST(DdlStatements, AMillionRowsReadBackByBothReaders) {
  REQUIRE_READERS();
  Session s;
  REQUIRE_FIXTURES("empty-2010.accdb");
  ASSERT_TRUE(s.Open("empty-2010.accdb", "ddl_million"));
  constexpr int kRows = 1000000;
  ASSERT_TRUE(s.db->Execute("CREATE TABLE \"big\" (id INT,name VARCHAR,price VARCHAR,qty INT,created VARCHAR);"));
  for (int i = 0; i < kRows; ++i) {
    auto done = s.db->Execute(
        fmt::format("INSERT INTO \"big\" VALUES({}, 'name {}', '{}.25',{}, '08/31/2021')", i, i, i % 1000, i % 77));
    ASSERT_TRUE(done) << done.error().message;
  }
  s.Close();

  std::string out;
  ASSERT_EQ(testing_support::RunCommand("mdb-export " + readers::ShellQuote(s.path) + " big | wc -l", &out), 0);
  EXPECT_EQ(std::atoi(out.c_str()), kRows + 1);
  ASSERT_EQ(testing_support::RunCommand("mdb-export " + readers::ShellQuote(s.path) + " big | tail -1", &out), 0);
  EXPECT_EQ(out, "999999,\"name 999999\",\"999.25\",0,\"08/31/2021\"\n");
  std::string script = fmt::format(
      "import('{}/node_modules/mdb-reader/lib/node/index.js').then(m => {{"
      " const r = new m.default(require('fs').readFileSync({}));"
      " const t = r.getTable('big'); const d = t.getData();"
      " console.log(t.rowCount, d.length, d[0].id, d[d.length - 1].id, d[500000].name); }})",
      readers::ReadersDir(), "process.argv[1]");
  ASSERT_EQ(testing_support::RunCommand("node -e " + readers::ShellQuote(script) + " " + readers::ShellQuote(s.path),
                                        &out),
            0)
      << out;
  EXPECT_EQ(out, "1000000 1000000 0 999999 name 500000\n");
  EXPECT_EQ(s.CheckReport(), "");
}

}  // namespace
