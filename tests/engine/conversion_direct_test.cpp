// The conversion run executing at once into copies of real Access files, read
// back by mdbtools and mdb-reader. PostgreSQL's own catalogue tables are part
// of every run (the catalogue query lists them); the assertions look at the
// user tables and at the reports that name them.

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/conversion_run.h"
#include "tests/db/pg_scratch.h"
#include "tests/jet/write/readers.h"
#include "tests/support/environment.h"
#include "tests/support/fake_run_window.h"
#include "tests/support/scripted_services.h"

namespace {

using testing_support::FakeRunWindow;
using testing_support::ScriptedServices;

std::vector<std::string> Texts(const readers::Rows& rows) {
  std::vector<std::string> out;
  for (const auto& row : rows) {
    std::string line;
    for (const auto& v : row) line += (v.null ? std::string("<null>") : v.text) + "|";
    out.push_back(line);
  }
  return out;
}

std::string Export(const std::string& path, const std::string& table) {
  std::string out;
  testing_support::RunCommand("mdb-export " + readers::ShellQuote(path) + " " + readers::ShellQuote(table) +
                                  " 2>&1",
                              &out);
  return out;
}

class ConversionDirectTest : public ::testing::Test {
 protected:
  void Prepare(const testing_support::PgServer& pg, const std::string& db, const std::string& sql,
               const std::string& file) {
    EXPECT_TRUE(testing_support::FreshDatabase(pg, db));
    std::string out;
    EXPECT_EQ(testing_support::Psql(pg, db, sql, &out), 0) << out;
    window.source = testing_support::Fields(pg, db);
    original = file;
    target = testing_support::CopyFile(file, testing_support::ScratchFolder(db));
    window.target = {target, ""};
    window.preview_check = 0;
  }

  // Reports that name a user table (the catalogue tables' long values are refused too).
  std::vector<std::string> ReportsAbout(const std::string& table) const {
    std::vector<std::string> out;
    for (const auto& m : services.messages)
      if (m.title == "Application Error" && m.text.find("'" + table + "'") != std::string::npos) out.push_back(m.text);
    return out;
  }

  ScriptedServices services;
  FakeRunWindow window;
  std::string original, target;
};

#define PREPARE(db, sql, fixture) \
  REQUIRE_PG(pg);                 \
  REQUIRE_FIXTURE(file, fixture); \
  REQUIRE_READERS();              \
  Prepare(pg, db, sql, file)

// A real (float4) column becomes an Access Single: every value arrives as
// the same 4-byte float, fractions and large magnitudes included.
TEST_F(ConversionDirectTest, RealColumnsArriveAsTheSameSingles) {
  PREPARE("direct_real", "CREATE TABLE ratios (v real);\nINSERT INTO ratios VALUES (2.5), (-1e10), (3.4e38);\n",
                  "content-2000.mdb");
  engine::RunConversion(window);
  EXPECT_TRUE(ReportsAbout("ratios").empty());
  auto js = readers::MdbReaderRows(target, "ratios");
  ASSERT_TRUE(js);
  // mdb-reader prints the float32 values as doubles: 3.4e38 is 3.3999999521443642e38 as a float.
  EXPECT_EQ(Texts(js->rows), (std::vector<std::string>{"2.5|", "-10000000000|", "3.3999999521443642e+38|"}));
  std::string schema;
  testing_support::RunCommand("mdb-schema -T ratios " + readers::ShellQuote(target) + " 2>&1", &schema);
  EXPECT_NE(schema.find("Single"), std::string::npos) << schema;
}

TEST_F(ConversionDirectTest, EveryRowReadsBackInBothReadersAndTheFilesOwnTablesStayAsTheyWere) {
  PREPARE("direct_values",
                  "CREATE TABLE people (id integer, name varchar(300), born date, seen timestamp, score double "
                  "precision, flag boolean, note text);\n"
                  "INSERT INTO people VALUES\n"
                  " (1, 'O''Brien', '2021-08-31', '2021-08-31 14:05:00', 0.5, true, 'one\r\ntwo'),\n"
                  " (2, NULL, '1850-01-02', '2021-08-31 00:00:00', -1e300, false, ''),\n"
                  " (3, 'Zoë 😀 Müller', NULL, NULL, NULL, NULL, '3,5'),\n"
                  " (4, repeat('x', 300), '2150-12-31', NULL, 2, NULL, 'refused: too long');\n"
                  "CREATE TABLE empty_one (a integer);\n",
                  "content-2000.mdb");
  const std::string before = Export(target, "Table1");
  engine::RunResult counts = engine::RunConversion(window);
  EXPECT_EQ(counts.outcome, engine::RunOutcome::kRan);
  EXPECT_EQ(window.events.back(), "done");

  // The 300-character name does not fit Text(255): one report, the other rows go in.
  auto reports = ReportsAbout("name");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("SQLException: "), std::string::npos);
  EXPECT_NE(reports[0].find("at line 402"), std::string::npos);
  EXPECT_GE(counts.statements_refused, 1);
  auto refused_name = std::find_if(window.failures.begin(), window.failures.end(),
                                   [](const auto& f) { return f.table == "people" && f.row == 4; });
  ASSERT_NE(refused_name, window.failures.end());
  EXPECT_EQ(refused_name->kind, ado::ErrorKind::kStatementRefused);
  EXPECT_EQ(counts.failed_writes, 0);

  const std::vector<std::string> expected = {
      "1|O'Brien|08/31/2021|08/31/2021 14:05:00|0.5|1|onetwo|",
      "2|<null>|01/02/1850|08/31/2021|-1e+300|0|<null>|",
      "3|Zoë 😀 Müller|<null>|<null>|<null>|<null>|3,5|",  // a text keeps its comma in a table with numbers
  };
  auto js = readers::MdbReaderRows(target, "people");
  ASSERT_TRUE(js);
  EXPECT_EQ(js->columns, (std::vector<std::string>{"id", "name", "born", "seen", "score", "flag", "note"}));
  EXPECT_EQ(Texts(js->rows), expected);
  // mdbtools writes "??" for characters outside the Basic Multilingual Plane.
  std::string csv = Export(target, "people");
  EXPECT_NE(csv.find("1,\"O'Brien\",\"08/31/2021\",\"08/31/2021 14:05:00\",0.5,\"1\",\"onetwo\""), std::string::npos)
      << csv;
  EXPECT_NE(csv.find("3,\"Zo\xC3\xAB ?? M\xC3\xBCller\""), std::string::npos) << csv;

  EXPECT_NE(Export(target, "empty_one").find("a"), std::string::npos);
  EXPECT_EQ(Export(target, "Table1"), before);
  std::string check;
  EXPECT_EQ(testing_support::RunCommand(std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access check " +
                                            readers::ShellQuote(target) + " 2>&1",
                                        &check),
            0)
      << check;
}

TEST_F(ConversionDirectTest, OverwriteAnsweredNoLeavesTheTableAndYesReplacesIt) {
  PREPARE("direct_overwrite", "CREATE TABLE table1 (id integer);\nINSERT INTO table1 VALUES (42);\n",
                  "content-2000.mdb");
  const std::string before = Export(target, "Table1");
  window.overwrite_answers = {false};  // table1 is processed before the catalogue tables
  engine::RunConversion(window);
  ASSERT_GE(window.events.size(), 2u);
  EXPECT_EQ(window.events[1], "overwrite? table1");
  EXPECT_EQ(Export(target, "Table1"), before);

  services.messages.clear();
  // The catalogue tables converted by the first run are in the file now: keep them.
  window.overwrite_for = [](const std::string& table) { return std::optional<bool>(table == "table1"); };
  window.access_conn.reset();
  engine::RunConversion(window);
  // The stored name was Table1; the drop matched it without regard to case.
  for (const auto& m : services.messages)
    if (m.title == "Application Error" && m.text.find("table1") != std::string::npos) ADD_FAILURE() << m.text;
  std::string tables;
  testing_support::RunCommand("mdb-tables -1 " + readers::ShellQuote(target), &tables);
  EXPECT_NE(tables.find("table1\n"), std::string::npos) << tables;
  EXPECT_EQ(tables.find("Table1\n"), std::string::npos) << tables;
  EXPECT_EQ(Export(target, "table1"), "id\n42\n");
}

TEST_F(ConversionDirectTest, AWrongAccessPasswordIsReportedAndTheFileIsUntouched) {
  PREPARE("direct_password", "CREATE TABLE t (id integer);\nINSERT INTO t VALUES (1);\n",
                  "password-2000.mdb");
  window.target.password = "wrong";
  EXPECT_EQ(engine::RunConversion(window).outcome, engine::RunOutcome::kTargetNotOpened);
  bool reported = false;
  for (const auto& m : services.messages)
    if (m.text.find("Not a valid password") != std::string::npos &&
        m.text.find("Form1.PushButton7_Click at line 124") != std::string::npos)
      reported = true;
  EXPECT_TRUE(reported);
  EXPECT_EQ(window.events.back(), "done");
  std::string a, b;
  testing_support::RunCommand("cmp " + readers::ShellQuote(target) + " " + readers::ShellQuote(original), &a);
  EXPECT_EQ(a, "");
}

}  // namespace
