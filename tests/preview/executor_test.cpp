// "Execute SQL" on a scripted target: progress, blank rows, the stop at a
// statement error, the report for other failures, the close after the last row.
#include "tests/preview/preview_fixture.h"

namespace {

using preview_testing::PreviewTest;
using preview_testing::TableStatements;

class Executor : public PreviewTest {
 protected:
  // Captions and values of the progress bar at every row, recorded by the pump.
  void RecordProgress() {
    services_.on_events = [this](long) {
      captions_.push_back(Window().Controls().progress_bar->Caption());
      values_.push_back(Window().Controls().progress_bar->value());
    };
  }
  std::vector<std::string> captions_;
  std::vector<int> values_;
};

TEST_F(Executor, RunsEveryRowShowsProgressThenClosesWithSQLFormOK) {
  Fill({"CREATE TABLE \"t\" (\"a\" INTEGER);", "   ", "INSERT INTO \"t\" VALUES(1)", "INSERT INTO \"t\" VALUES(2)"});
  main_window_->State().preview_executed = false;
  bool pointer_was_hourglass = false;
  RecordProgress();
  Show([&](preview::SqlPreviewWindow& w) {
    w.Controls().execute_button->click();
    pointer_was_hourglass = !services_.pointer_changes.empty() &&
                            services_.pointer_changes.front() == std::pair<std::string, int>{"Form2", 11};
  });
  EXPECT_TRUE(main_window_->State().preview_executed);
  EXPECT_TRUE(pointer_was_hourglass);
  EXPECT_EQ(services_.pointer_changes.back(), (std::pair<std::string, int>{"Form2", 0}));
  // The blank row is skipped but counted; the captions seen at each row's yield
  // are those of the row before.
  EXPECT_EQ(target_->executed, (std::vector<std::string>{"CREATE TABLE \"t\" (\"a\" INTEGER);",
                                                         "INSERT INTO \"t\" VALUES(1)", "INSERT INTO \"t\" VALUES(2)"}));
  EXPECT_EQ(captions_, (std::vector<std::string>{"Progress Bar", "Please wait.. Processing row: 1 of 4",
                                                 "Please wait.. Processing row: 2 of 4",
                                                 "Please wait.. Processing row: 3 of 4"}));
  EXPECT_EQ(values_, (std::vector<int>{0, 25, 50, 75}));
  EXPECT_TRUE(services_.messages.empty());
  // The window closed and discarded its rows; the bar is back.
  EXPECT_FALSE(Window().isVisible());
  EXPECT_EQ(Rows().Count(), 0);
  EXPECT_EQ(Window().Controls().progress_bar->Caption(), "Progress Bar");
  EXPECT_EQ(Window().Controls().progress_bar->value(), 0);
}

TEST_F(Executor, EmptyListSaysNoSqlToRunAndStaysOpen) {
  Fill({});
  bool still_open = false;
  Show([&](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.execute_button->click();
    still_open = w.isVisible();
    ui.back_button->click();
  });
  EXPECT_TRUE(still_open);
  EXPECT_EQ(services_.Texts(), std::vector<std::string>{"No SQL to run."});
  EXPECT_EQ(services_.messages[0].title, "Pelmora");
  EXPECT_TRUE(services_.pointer_changes.empty());
  EXPECT_FALSE(main_window_->State().preview_executed);
}

TEST_F(Executor, AllBlankRowsExecuteNothingAndStillFinish) {
  Fill({"", "  ", "     "});
  Show([](preview::SqlPreviewWindow& w) { w.Controls().execute_button->click(); });
  EXPECT_TRUE(main_window_->State().preview_executed);
  EXPECT_TRUE(target_->executed.empty());
}

// Row 5 of 10 refused by the target: the pass stops there, whatever the text.
TEST_F(Executor, StatementErrorStopsAtItsRow) {
  auto statements = TableStatements("t", 9);
  target_->refuse[statements[4]] = "[provider] sqlexception: value & more # text";
  Fill(statements);
  bool open_after = false;
  int error_line = 0, selected = 0;
  std::string error_text;
  Show([&](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.execute_button->click();
    open_after = w.isVisible();
    error_line = w.ErrorLine;
    selected = ui.statements_view->currentIndex().row() + 1;
    error_text = ui.error_text->toPlainText().toStdString();
    EXPECT_TRUE(ui.statements_view->selectionModel()->isRowSelected(4, {}));
    EXPECT_EQ(ui.progress_bar->Caption(), "Progress Bar");
    EXPECT_EQ(ui.progress_bar->value(), 0);
    EXPECT_TRUE(ui.execute_button->isEnabled());
    ui.back_button->click();
  });
  EXPECT_TRUE(open_after);
  EXPECT_EQ(error_line, 5);
  EXPECT_EQ(selected, 5);
  EXPECT_EQ(error_text, "[provider] sqlexception: value & more # text");
  EXPECT_EQ(services_.Texts(), std::vector<std::string>{"Error found."});
  EXPECT_EQ(target_->executed.size(), 4u);  // rows 6 to 10 never ran
  EXPECT_FALSE(main_window_->State().preview_executed);
  EXPECT_EQ(services_.pointer_changes.back(), (std::pair<std::string, int>{"Form2", 0}));
}

TEST_F(Executor, OtherFailuresAreReportedAndThePassGoesOn) {
  auto statements = TableStatements("t", 9);
  target_->fail[statements[4]] = "Disk or network error.";
  Fill(statements);
  Show([](preview::SqlPreviewWindow& w) { w.Controls().execute_button->click(); });
  ASSERT_EQ(services_.Reports(), 1);
  EXPECT_EQ(services_.messages[0].text,
            "Disk or network error.\r\nin Tavrix2021/08/31.Form2.PushButton1_Click at line 116\r\r"
            "Please email screenshot of this message to support@halvex.example");
  EXPECT_EQ(target_->executed.size(), 9u);
  EXPECT_TRUE(main_window_->State().preview_executed);
  EXPECT_EQ(Window().ErrorLine, 0);
}

TEST_F(Executor, WithoutATargetConnectionEveryRowIsReported) {
  main_window_->AccessConn().reset();
  Fill({"CREATE TABLE \"t\" (\"a\" INTEGER);", "INSERT INTO \"t\" VALUES(1)"});
  Show([](preview::SqlPreviewWindow& w) { w.Controls().execute_button->click(); });
  EXPECT_EQ(services_.Reports(), 2);
  EXPECT_TRUE(main_window_->State().preview_executed);
}

// The round of the issue: an edited error, the stop, Jump To Error Line, the
// fix, and executing again from row 1.
TEST_F(Executor, EditedErrorThenFixedAndExecutedAgainFromRowOne) {
  auto statements = TableStatements("orders", 4);
  statements[3] = "INSERT INTO \"orders\" VALUES(3,'n3','x'";  // broken by an edit
  target_->refuse[statements[3]] = "SQLException: Syntax error in INSERT INTO statement.";
  Fill(statements);
  std::vector<std::string> seen;
  Show([&](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.execute_button->click();
    EXPECT_EQ(w.ErrorLine, 4);
    // Somewhere else, then back to the error.
    ui.statements_view->setCurrentIndex(w.Model().index(0));
    ui.jump_to_error_button->click();
    EXPECT_EQ(ui.statements_view->currentIndex().row(), 3);
    EXPECT_FALSE(ui.statements_view->hasFocus());
    // Fix the row in Edit Line.
    preview_testing::WhenModal([](QWidget* edit) {
      auto& edit_line = static_cast<preview::EditLineDialog&>(*edit);
      EXPECT_EQ(edit_line.ListLine, 4);
      edit_line.Controls().line_edit->setPlainText("INSERT INTO \"orders\" VALUES(3,'n3','x')");
      edit_line.Controls().ok_button->click();
    });
    preview_testing::ClickRow(ui.statements_view, 4);
    EXPECT_EQ(w.Model().List().Text(4), "INSERT INTO \"orders\" VALUES(3,'n3','x')");
    // Again from row 1: the table exists now, so the CREATE TABLE row stops it.
    ui.execute_button->click();
    EXPECT_EQ(w.ErrorLine, 1);
    EXPECT_EQ(ui.error_text->toPlainText().toStdString(), "SQLException: Table 'orders' already exists.");
    seen = services_.Texts();
    ui.back_button->click();
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"Error found.", "Error found."}));
  EXPECT_FALSE(main_window_->State().preview_executed);
}

TEST_F(Executor, WithADropRowFirstTheSecondPassCompletes) {
  auto statements = TableStatements("orders", 3, /*with_drop=*/true);
  target_->tables.insert("orders");
  const std::string broken = "INSERT INTO \"orders\" VALUES(2,'n2'";
  statements[3] = broken;
  target_->refuse[broken] = "SQLException: Syntax error";
  Fill(statements);
  Show([&](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.execute_button->click();
    ASSERT_EQ(w.ErrorLine, 4);
    w.Model().SetRowText(4, "INSERT INTO \"orders\" VALUES(2,'n2','x')");
    ui.execute_button->click();
  });
  EXPECT_TRUE(main_window_->State().preview_executed);
  EXPECT_EQ(target_->executed.back(), "INSERT INTO \"orders\" VALUES(3,'n3','x')");
  // First pass: drop, create, row 1; second: all five.
  EXPECT_EQ(target_->executed.size(), 3u + 5u);
}

}  // namespace
