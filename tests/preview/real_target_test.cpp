// "Execute SQL" into a copy of a real Access file: a row edited into an error
// stops the pass; fixed and executed again, the pass stops at the CREATE TABLE
// row because the table now exists; with a DROP TABLE row first it completes.
// mdbtools reads the result.
#include "db/access.h"
#include "platform/access_provider/database_connection.h"
#include "platform/ado/error.h"
#include "platform/ado/recordset.h"
#include "tests/jet/file/fault_env.h"
#include "tests/preview/preview_fixture.h"

namespace {

using preview_testing::PreviewTest;
using preview_testing::TableStatements;

class RealTarget : public PreviewTest {
 protected:
  // Opens a copy of an empty Access file as the main window's target.
  void OpenTarget(const std::string& fixture) {
    file_ = testing_support::CopyFile(fixture, folder_);
    auto connection = std::make_unique<ado::Connection>();
    connection->CursorLocation = 3;
    connection->Mode = 3;
    connection->Open(db::AccessConnectionString({file_, ""}));
    main_window_->AccessConn() = std::move(connection);
  }
  std::string Export(const char* table) {
    main_window_->AccessConn()->Close();  // the engine writes its pages at the latest here
    std::string out;
    testing_support::RunCommand("mdb-export '" + file_ + "' " + table + " 2>&1", &out);
    return out;
  }
  std::string file_;
};

TEST_F(RealTarget, StopFixAndExecuteAgain) {
  REQUIRE_FIXTURE(fixture, "empty-2000.mdb");
  REQUIRE_MDBTOOLS();
  OpenTarget(fixture);
  auto statements = TableStatements("orders", 4);
  statements[3] = "INSERT INTO \"orders\" VALUES(3,'n3','x'";  // edited into an error
  Fill(statements);
  Show([&](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.execute_button->click();
    EXPECT_EQ(w.ErrorLine, 4);
    EXPECT_NE(ui.error_text->toPlainText().indexOf("SQLException"), -1) << ui.error_text->toPlainText().toStdString();
    w.Model().SetRowText(4, "INSERT INTO \"orders\" VALUES(3,'n3','x')");
    ui.jump_to_error_button->click();
    EXPECT_EQ(ui.statements_view->currentIndex().row(), 3);
    ui.execute_button->click();
    EXPECT_EQ(w.ErrorLine, 1);  // the table exists now
    ui.back_button->click();
  });
  EXPECT_EQ(services_.Texts(), (std::vector<std::string>{"Error found.", "Error found."}));

  // The next preview starts with the drop row and goes through.
  services_.messages.clear();
  Fill(TableStatements("orders", 4, /*with_drop=*/true));
  Show([](preview::SqlPreviewWindow& w) { w.Controls().execute_button->click(); });
  EXPECT_TRUE(main_window_->State().preview_executed);
  EXPECT_TRUE(services_.messages.empty());
  const std::string rows = Export("orders");
  for (const char* row : {"1,\"n1\",\"x\"", "4,\"n4\",\"x\""}) EXPECT_NE(rows.find(row), std::string::npos) << rows;
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 5) << rows;  // heading and four rows
}

// The disk fills up under "Execute SQL": the commit after the third row fails.
// The pass stops at that row as at a refused statement, showing the write
// failure's own text (no "SQLException: "), and the connection raises it as a
// failed write, not as a refused statement.
TEST_F(RealTarget, AFailedWriteStopsThePassAtItsRow) {
  REQUIRE_FIXTURE(fixture, "empty-2000.mdb");
  testing_support::FaultEnv disk;
  disk.Put("f/target.mdb", testing_support::ReadBytes(fixture));
  auto db = jet::Database::Open("f/target.mdb", {.writable = true,
                                                 .env = &disk,
                                                 .commit_limits = {.statements = 3, .delay = std::chrono::hours(1)}});
  ASSERT_TRUE(db) << db.error().message;
  main_window_->AccessConn() = std::make_unique<ado::Connection>();
  main_window_->AccessConn()->AttachProvider(access_provider::ConnectionOver(std::move(*db)));
  disk.faults.push_back({.op = testing_support::FaultEnv::Op::kWrite, .sticky = true});

  Fill(TableStatements("orders", 5));
  std::string shown;
  Show([&](preview::SqlPreviewWindow& w) {
    w.Controls().execute_button->click();
    EXPECT_EQ(w.ErrorLine, 3);
    shown = w.Controls().error_text->toPlainText().toStdString();
    w.Controls().back_button->click();
  });
  EXPECT_EQ(services_.Texts(), (std::vector<std::string>{"Error found."}));
  EXPECT_FALSE(main_window_->State().preview_executed);
  EXPECT_NE(shown.find("could not be written to the file f/target.mdb"), std::string::npos) << shown;
  EXPECT_NE(shown.find("The 3 statements since the last commit were lost"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("SQLException"), std::string::npos) << shown;

  // The same failure, met directly: its kind says what it is.
  try {
    for (int i = 0; i < 3; ++i) main_window_->AccessConn()->Execute("CREATE TABLE t" + std::to_string(i) + " (a INT)");
    ADD_FAILURE() << "no statement met the full disk";
  } catch (const ado::Error& e) {
    EXPECT_EQ(e.Kind(), ado::ErrorKind::kWriteFailed) << e.Description();
  }
  // Closed while `disk` lives. The failed commit dropped what was pending, so
  // nothing is left to write.
  EXPECT_NO_THROW(main_window_->AccessConn()->Close());
  main_window_->AccessConn().reset();
}

}  // namespace
