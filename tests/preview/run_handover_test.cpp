// The conversion run with the SQL Preview window: PostgreSQL source, a copy of
// a real Access file as target, the user acting in the preview; mdbtools reads
// the file.
#include "app/conversion_window.h"
#include "db/access.h"
#include "engine/conversion_run.h"
#include "engine/typed_conversion.h"
#include "platform/ado/recordset.h"
#include "tests/db/pg_scratch.h"
#include "tests/jet/write/readers.h"
#include "tests/preview/preview_fixture.h"

namespace {

using preview_testing::WhenModal;

// The main window as the run sees it, with the real preview windows behind it.
class PreviewRunWindow : public engine::RunWindow {
 public:
  PreviewRunWindow() : preview(&owner, access_conn, state) {}

  db::SourceFields source;
  db::TargetFields target;
  int preview_check = 1;
  bool per_file = true, per_table = false;
  db::MemoryListBox target_tables, source_tables;
  QWidget owner;
  std::unique_ptr<ado::Connection> access_conn;
  engine::RunState state;
  preview::PreviewWindows preview;
  std::function<void(preview::SqlPreviewWindow&)> user;
  std::vector<int> rows_shown;  // rows of each preview shown
  // Per preview: the tables among a, b, c whose CREATE TABLE it holds, with
  // the number of rows of the preview.
  std::vector<std::string> user_tables_shown;

  db::SourceFields SourceFields() override { return source; }
  db::TargetFields TargetFields() override { return target; }
  int PreviewCheck() override { return preview_check; }
  std::optional<engine::TypedOptions> keep_types;  // set: "Keep column types, keys and relationships" ticked
  const engine::TypedOptions* KeepTypes() override { return keep_types ? &*keep_types : nullptr; }
  bool PerFileOption() override { return per_file; }
  bool PerTableOption() override { return per_table; }
  db::ListBox& TargetTables() override { return target_tables; }
  db::ListBox& SourceTables() override { return source_tables; }
  void SetProgressValue(int) override {}
  void SetProgressCaption(const std::string&) override {}
  engine::StatementSink& PreviewList() override { return preview.PreviewList(); }
  engine::ConversionLog& Log() override { return preview.Log(); }
  void ShowPreview() override {
    const preview::StatementList& rows = preview.Statements();
    rows_shown.push_back(rows.Count());
    std::string tables;
    for (int row = 1; row <= rows.Count(); ++row)
      for (const char* t : {"a", "b", "c", "d"})
        if (rows.Text(row).rfind(std::string("CREATE TABLE \"") + t + "\" (", 0) == 0) tables += t;
    if (!tables.empty()) user_tables_shown.push_back(tables);
    WhenModal([this](QWidget*) { user(preview.Window()); });
    preview.ShowPreview();
  }
  std::unique_ptr<ado::Connection>& AccessConn() override { return access_conn; }
  engine::RunState& State() override { return state; }
  // The events as the main window shows them.
  void SetBusy(bool busy) override { app::RunMessages::SetBusy(busy); }
  bool AskToOverwrite(const std::string& table) override { return app::RunMessages::AskToOverwrite(table); }
  void TargetNotFound() override { app::RunMessages::TargetNotFound(); }
  void RunDone() override { app::RunMessages::RunDone(); }
};

class RunWithPreview : public ::testing::Test {
 protected:
  void SetUp() override {
    preview_testing::TestApplication();
    report::ResetEndForTests();
    ui::SetApplicationTitle("Pelmora");
    folder_ = testing_support::ScratchFolder(
        std::string("RunWithPreview.") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    services_.program_folder = folder_;
  }
  // The window needs the application, which SetUp makes.
  RunWithPreview() : owned_window_((preview_testing::TestApplication(), std::make_unique<PreviewRunWindow>())) {}

  // Source tables a, b, c, d and a fresh copy of an empty Access file.
  void Prepare(const testing_support::PgServer& pg) {
    target_ = testing_support::CopyFile(*testing_support::AccessFixture("empty-2000.mdb"), folder_);
    // One database per test: ctest runs the tests of this fixture side by side.
    const std::string database = "preview_run_" + std::to_string(getpid());
    EXPECT_TRUE(testing_support::FreshDatabase(pg, database));
    std::string out;
    EXPECT_EQ(testing_support::Psql(pg, database,
                                    "CREATE TABLE a (id integer, name varchar(20));\n"
                                    "CREATE TABLE b (id integer);\n"
                                    "CREATE TABLE c (label text);\n"
                                    "CREATE TABLE d (ratio real);\n"
                                    "INSERT INTO a VALUES (1, 'one'), (2, 'two');\n"
                                    "INSERT INTO b VALUES (7);\n"
                                    "INSERT INTO c VALUES ('O''Brien'), ('x'), ('y');\n"
                                    "INSERT INTO d VALUES (2.5), (-1e10), (3.4e38);\n",
                                    &out),
              0)
        << out;
    window_.source = testing_support::Fields(pg, database);
    window_.target = {target_, ""};
  }

  // The user tables in the file, read by mdbtools.
  std::string TablesInFile() const {
    std::string tables;
    testing_support::RunCommand("mdb-tables -1 '" + target_ + "' 2>&1", &tables);
    return tables;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : services_.messages) texts.push_back(m.text);
    return texts;
  }

  preview_testing::PumpServices services_;
  std::string folder_, target_;
  std::unique_ptr<PreviewRunWindow> owned_window_;
  PreviewRunWindow& window_ = *owned_window_;
};

// "Execute SQL"; a statement error fails the test and leaves with "< Back".
void ExecuteAll(preview::SqlPreviewWindow& w) {
  const auto& ui = w.Controls();
  ui.execute_button->click();
  if (w.isVisible()) {
    ADD_FAILURE() << "row " << w.ErrorLine << ": " << ui.error_text->toPlainText().toStdString();
    ui.back_button->click();
  }
}

#define PREPARE()                     \
  REQUIRE_PG(pg);                     \
  REQUIRE_FIXTURES("empty-2000.mdb"); \
  REQUIRE_MDBTOOLS();                 \
  Prepare(pg)

TEST_F(RunWithPreview, PerTablePreviewSkippedForEveryTable) {
  PREPARE();
  window_.per_file = false;
  window_.per_table = true;
  window_.user = [](preview::SqlPreviewWindow& w) { w.Controls().skip_table_button->click(); };
  engine::RunConversion(window_);
  // One preview per table (the source lists its system tables too), the user
  // tables last listed first.
  EXPECT_GE(window_.rows_shown.size(), 3u);
  EXPECT_EQ(window_.user_tables_shown, (std::vector<std::string>{"d", "c", "b", "a"}));
  EXPECT_EQ(Texts(), std::vector<std::string>{"Done."});
  EXPECT_FALSE(window_.state.preview_executed);
  EXPECT_EQ(TablesInFile().find("\nb"), std::string::npos);
}

TEST_F(RunWithPreview, PerTableExecuteEndsTheRunAfterThatTable) {
  PREPARE();
  window_.per_file = false;
  window_.per_table = true;
  window_.user = ExecuteAll;
  engine::RunConversion(window_);
  EXPECT_EQ(window_.rows_shown.size(), 1u);  // the run ended after the first table
  EXPECT_TRUE(window_.state.preview_executed);
  EXPECT_EQ(Texts(), std::vector<std::string>{"Done."});
}

TEST_F(RunWithPreview, PerFilePreviewOfThreeTablesExecutedInOneGo) {
  PREPARE();
  // The source lists its system tables too; the user empties their rows
  // (blank rows are skipped) and executes the three tables in one go.
  window_.user = [](preview::SqlPreviewWindow& w) {
    preview::StatementList& rows = w.Model().List();
    for (int row = 1; row <= rows.Count(); ++row) {
      const std::string_view text = rows.Text(row);
      bool ours = false;
      for (const char* t : {"a", "b", "c", "d"})
        for (const char* verb : {"CREATE TABLE \"", "INSERT INTO \""})
          ours = ours || text.rfind(std::string(verb) + t + "\"", 0) == 0;
      if (!ours) w.Model().SetRowText(row, "");
    }
    ExecuteAll(w);
  };
  engine::RunConversion(window_);
  ASSERT_EQ(window_.rows_shown.size(), 1u);
  EXPECT_EQ(window_.user_tables_shown, std::vector<std::string>{"dcba"});
  EXPECT_TRUE(window_.state.preview_executed);
  EXPECT_EQ(Texts(), std::vector<std::string>{"Done."});
  const std::string tables = TablesInFile();
  for (const char* t : {"a", "b", "c"}) EXPECT_NE(tables.find(t), std::string::npos) << tables;
  std::string rows;
  testing_support::RunCommand("mdb-export '" + target_ + "' c 2>&1", &rows);
  EXPECT_NE(rows.find("O'Brien"), std::string::npos) << rows;
  // A real column arrives as the same 4-byte floats (Access Single).
  auto ratios = readers::MdbReaderRows(target_, "d");
  ASSERT_TRUE(ratios);
  ASSERT_EQ(ratios->rows.size(), 3u);
  EXPECT_EQ(ratios->rows[0][0].text, "2.5");
  EXPECT_EQ(ratios->rows[1][0].text, "-10000000000");
  EXPECT_EQ(ratios->rows[2][0].text, "3.3999999521443642e+38");
}

// With types kept, the statements go through the SQL Preview as the user sees
// them (bracketed names, texts with line breaks as Chr() joins): executed per
// file they make both tables with their keys and relationships; executed per
// table the run ends after the first table, which keeps its own relationship.
TEST_F(RunWithPreview, KeepingTypesPerFileAndPerTable) {
  REQUIRE_PG(pg);
  REQUIRE_FIXTURES("empty-2003.mdb");
  REQUIRE_READERS();
  for (bool per_table : {false, true}) {
    SCOPED_TRACE(per_table ? "per table" : "per file");
    const std::string database = std::string("preview_typed_") + (per_table ? "table_" : "file_") +
                                 std::to_string(getpid());
    ASSERT_TRUE(testing_support::FreshDatabase(pg, database));
    std::string out;
    ASSERT_EQ(testing_support::Psql(pg, database,
                                    "CREATE SCHEMA shop;\n"
                                    "CREATE TABLE shop.customers (id serial PRIMARY KEY, name text,\n"
                                    "  boss int REFERENCES shop.customers);\n"
                                    "CREATE TABLE shop.orders (customer int REFERENCES shop.customers ON DELETE CASCADE,\n"
                                    "  total money);\n"
                                    "INSERT INTO shop.customers (name, boss) VALUES (E'one\\r\\ntwo', NULL), ('', 1);\n"
                                    "INSERT INTO shop.orders VALUES (1, 12.50);\n",
                                    &out),
              0)
        << out;
    const std::string target =
        testing_support::CopyFile(*testing_support::AccessFixture("empty-2003.mdb"),
                                  testing_support::ScratchFolder(database));
    auto owned = std::make_unique<PreviewRunWindow>();
    PreviewRunWindow& window = *owned;
    window.source = testing_support::Fields(pg, database);
    window.target = {target, ""};
    window.keep_types = engine::TypedOptions{};
    window.per_file = !per_table;
    window.per_table = per_table;
    window.user = ExecuteAll;
    engine::RunConversion(window);
    EXPECT_EQ(window.rows_shown.size(), 1u);
    EXPECT_TRUE(window.state.preview_executed);
    std::string relationships, customers;
    testing_support::RunCommand("mdb-export '" + target + "' MSysRelationships 2>&1", &relationships);
    EXPECT_NE(relationships.find("\"customers_boss_fkey\",0,1,0,\"customers\",\"boss\",\"customers\",\"id\""),
              std::string::npos)
        << relationships;
    EXPECT_EQ(relationships.find("orders_customer_fkey") == std::string::npos, per_table) << relationships;
    auto rows = readers::MdbReaderRows(target, "customers");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->rows.size(), 2u);
    EXPECT_EQ(rows->rows[0][1].text, "one\r\ntwo");
    EXPECT_EQ(rows->rows[1][1].text, "");
    EXPECT_EQ(readers::CheckReport(target), "");
    // The Datatypes Conversion window: each column's PostgreSQL type beside Access's.
    bool logged = false;
    for (const auto& row : window.preview.Log().Rows())
      logged |= row.table == "customers" && row.field == "id" && row.source_type == "integer" &&
                row.access_type == "COUNTER";
    EXPECT_TRUE(logged);
  }
}

}  // namespace
