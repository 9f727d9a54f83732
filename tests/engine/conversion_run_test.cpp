// The conversion run against a real PostgreSQL server. These cases need no
// Access writer: the target is missing or only read, and statements go to the
// preview list.

#include "engine/conversion_run.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/db/pg_scratch.h"
#include "tests/support/environment.h"
#include "tests/support/fake_run_window.h"
#include "tests/support/scripted_services.h"

namespace {

using testing_support::FakeRunWindow;
using testing_support::ScriptedServices;

// Positions of the user tables in the list, in list order (system tables are listed too).
std::vector<std::string> UserTablesInOrder(const std::vector<std::string>& items,
                                           const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const auto& item : items)
    if (std::find(names.begin(), names.end(), item) != names.end()) out.push_back(item);
  return out;
}

// The tables whose CREATE TABLE statements were listed, in listing order.
std::vector<std::string> CreatedInOrder(const std::vector<std::string>& statements,
                                        const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const auto& s : statements)
    for (const auto& n : names)
      if (s.rfind("CREATE TABLE \"" + n + "\" (", 0) == 0) out.push_back(n);
  return out;
}

class ConversionRunTest : public ::testing::Test {
 protected:
  void SetUpDatabase(const testing_support::PgServer& pg, const std::string& name, const std::string& sql) {
    ASSERT_TRUE(testing_support::FreshDatabase(pg, name));
    std::string out;
    ASSERT_EQ(testing_support::Psql(pg, name, sql, &out), 0) << out;
    window.source = testing_support::Fields(pg, name);
  }

  ScriptedServices services;
  FakeRunWindow window;
};

TEST_F(ConversionRunTest, UnreachableSourceEndsSilentlyAndTouchesNothing) {
  window.source = {"127.0.0.1", "1", "nobody", "", "none"};
  window.target_tables.AddItem("kept1");
  window.source_tables.AddItem("kept2");
  EXPECT_EQ(engine::RunConversion(window).outcome, engine::RunOutcome::kSourceUnreachable);
  EXPECT_TRUE(services.messages.empty());
  EXPECT_TRUE(window.events.empty());
  EXPECT_EQ(window.target_tables.Items(), std::vector<std::string>{"kept1"});
  EXPECT_EQ(window.source_tables.Items(), std::vector<std::string>{"kept2"});
  EXPECT_TRUE(window.captions.empty());
  EXPECT_FALSE(window.state.busy);
}

TEST_F(ConversionRunTest, ASecondPressWhileBusyDoesNothing) {
  window.state.busy = true;
  EXPECT_EQ(engine::RunConversion(window).outcome, engine::RunOutcome::kAlreadyRunning);
  EXPECT_TRUE(services.messages.empty());
  EXPECT_TRUE(window.events.empty());
  EXPECT_TRUE(window.state.busy);
}

TEST_F(ConversionRunTest, PerFilePreviewListsTablesLastFirstAndReportsTheMissingTarget) {
  REQUIRE_PG(pg);
  SetUpDatabase(pg, "run_order",
                "CREATE TABLE a (id integer, name varchar(10));\n"
                "CREATE TABLE b (id integer);\n"
                "CREATE TABLE c (label text);\n"
                "INSERT INTO a VALUES (1, 'x'), (2, NULL);\n"
                "INSERT INTO c VALUES ('O''Brien');\n");
  window.target = {testing_support::ScratchFolder("run_order") + "/missing.mdb", ""};
  window.preview_check = 1;
  window.per_file = true;
  window.per_table = false;
  EXPECT_EQ(engine::RunConversion(window).outcome, engine::RunOutcome::kTargetNotOpened);

  // The source list holds the source tables in server order; they are processed last first.
  auto listed = UserTablesInOrder(window.source_tables.Items(), {"a", "b", "c"});
  ASSERT_EQ(listed.size(), 3u);
  auto expected = listed;
  std::reverse(expected.begin(), expected.end());
  ASSERT_EQ(window.previews.size(), 1u);
  EXPECT_EQ(CreatedInOrder(window.previews[0], {"a", "b", "c"}), expected);

  const auto& rows = window.previews[0];
  auto at = std::find(rows.begin(), rows.end(), "CREATE TABLE \"a\" (id INT,name VARCHAR);");
  ASSERT_NE(at, rows.end());
  EXPECT_EQ(*(at + 1), "INSERT INTO \"a\" VALUES(1, 'x')");
  EXPECT_EQ(*(at + 2), "INSERT INTO \"a\" VALUES(2,NULL)");
  EXPECT_NE(std::find(rows.begin(), rows.end(), "INSERT INTO \"c\" VALUES('O''Brien')"), rows.end());

  // The missing target: told to the window, then the failed open (140); the
  // preview was closed without executing, so 434 reports the closed target.
  EXPECT_EQ(window.events, (std::vector<std::string>{"busy", "target not found", "idle", "done"}));
  ASSERT_EQ(services.messages.size(), 2u);
  EXPECT_NE(services.messages[0].text.find("Form1.PushButton7_Click at line 140"), std::string::npos);
  EXPECT_NE(services.messages[1].text.find("at line 434"), std::string::npos);
  EXPECT_EQ(window.captions.back(), "Progress Bar");
  EXPECT_EQ(window.progress_values.back(), 0);
  EXPECT_FALSE(window.state.busy);
  EXPECT_TRUE(std::find(window.captions.begin(), window.captions.end(), "Please wait.. Processing table a") !=
              window.captions.end());
}

TEST_F(ConversionRunTest, PerTablePreviewSkippedForEveryTableShowsOnePreviewEach) {
  REQUIRE_PG(pg);
  SetUpDatabase(pg, "run_skip", "CREATE TABLE a (id integer);\nINSERT INTO a VALUES (7);\n");
  window.target = {testing_support::ScratchFolder("run_skip") + "/missing.mdb", ""};
  window.preview_check = 1;
  window.per_file = false;
  window.per_table = true;
  window.on_preview = [](FakeRunWindow& w) { w.state.end_after_preview = false; };  // Skip Table
  engine::RunConversion(window);
  EXPECT_EQ(static_cast<int>(window.previews.size()), window.source_tables.ListCount());
  // Each preview holds only its own table.
  bool seen = false;
  for (const auto& p : window.previews)
    if (!p.empty() && p[0] == "CREATE TABLE \"a\" (id INT);") {
      EXPECT_EQ(p, (std::vector<std::string>{"CREATE TABLE \"a\" (id INT);", "INSERT INTO \"a\" VALUES(7)"}));
      seen = true;
    }
  EXPECT_TRUE(seen);
  EXPECT_EQ(window.events.back(), "done");
}

TEST_F(ConversionRunTest, PerTablePreviewClosedOtherwiseEndsTheRunAfterThatTable) {
  REQUIRE_PG(pg);
  SetUpDatabase(pg, "run_stop", "CREATE TABLE a (id integer);\nCREATE TABLE b (id integer);\n");
  window.target = {testing_support::ScratchFolder("run_stop") + "/missing.mdb", ""};
  window.preview_check = 1;
  window.per_file = false;
  window.per_table = true;
  engine::RunConversion(window);  // the preview closes without Skip
  EXPECT_EQ(window.previews.size(), 1u);
  EXPECT_EQ(window.events.back(), "done");
}

TEST_F(ConversionRunTest, ADoubleQuoteInATableNameCannotAddAStatementToTheSourceQuery) {
  EXPECT_EQ(engine::SourceQuery("orders"), "SELECT * FROM \"orders\"");
  EXPECT_EQ(engine::SourceQuery("x\"; DROP TABLE y; --"), "SELECT * FROM \"x\"\"; DROP TABLE y; --\"");
  REQUIRE_PG(pg);
  SetUpDatabase(pg, "run_quote", "CREATE TABLE \"we\"\"ird\" (id integer);\nINSERT INTO \"we\"\"ird\" VALUES (5);\n");
  window.target = {testing_support::ScratchFolder("run_quote") + "/missing.mdb", ""};
  window.preview_check = 1;
  engine::RunConversion(window);
  ASSERT_EQ(window.previews.size(), 1u);
  const auto& rows = window.previews[0];
  // The Access statements keep the name as it is; the source was read correctly.
  EXPECT_NE(std::find(rows.begin(), rows.end(), "INSERT INTO \"we\"ird\" VALUES(5)"), rows.end());
}

}  // namespace

namespace {

TEST_F(ConversionRunTest, DirectModeIntoATargetThatDidNotOpenLeavesTheTablesAfterOneReport) {
  REQUIRE_PG(pg);
  SetUpDatabase(pg, "run_no_target", "CREATE TABLE a (id integer);\nINSERT INTO a VALUES (1), (2), (3);\n");
  window.target = {testing_support::ScratchFolder("run_no_target") + "/missing.mdb", ""};
  window.preview_check = 0;
  engine::RunConversion(window);
  std::vector<std::string> texts;
  for (const auto& m : services.messages) texts.push_back(m.text.substr(0, m.text.find('\r')));
  ASSERT_EQ(services.messages.size(), 2u) << ::testing::PrintToString(texts);
  EXPECT_NE(services.messages[0].text.find("at line 140"), std::string::npos);
  EXPECT_NE(services.messages[1].text.find("at line 444"), std::string::npos);
  EXPECT_EQ(window.events, (std::vector<std::string>{"busy", "target not found", "idle", "done"}));
  EXPECT_FALSE(window.state.busy);
}

}  // namespace
