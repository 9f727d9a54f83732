// Buttons pressed while "Execute SQL" runs, and the main window closed in the
// middle of it: the pass stops cleanly or the press is refused; no row is read
// after the window let it go.
#include "tests/preview/preview_fixture.h"

namespace {

using preview_testing::PreviewTest;
using preview_testing::TableStatements;
using preview_testing::WhenModal;

class MidExecution : public PreviewTest {
 protected:
  void SetUp() override {
    PreviewTest::SetUp();
    Fill(TableStatements("t", 9));  // 10 rows
  }
  // Runs `press` at the yield before row `row`.
  void AtRow(long row, std::function<void(preview::SqlPreviewWindow&)> press) {
    services_.on_events = [this, row, press](long n) {
      if (n == row) press(Window());
    };
  }
  size_t Executed() const { return target_->executed.size(); }
};

TEST_F(MidExecution, BackStopsThePassAndClosesTheWindow) {
  bool buttons_disabled = false;
  AtRow(4, [&](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    buttons_disabled = !ui.execute_button->isEnabled() && !ui.find_replace_button->isEnabled();
    ui.back_button->click();
  });
  Show([](preview::SqlPreviewWindow& w) { w.Controls().execute_button->click(); });
  EXPECT_TRUE(buttons_disabled);
  EXPECT_EQ(Executed(), 3u);
  EXPECT_FALSE(main_window_->State().preview_executed);
  EXPECT_TRUE(main_window_->State().end_after_preview);
  EXPECT_EQ(services_.Reports(), 0);
  EXPECT_EQ(Rows().Count(), 0);  // discarded once the window had closed
  EXPECT_EQ(services_.pointer_changes.back(), (std::pair<std::string, int>{"Form2", 0}));
  EXPECT_TRUE(Window().Controls().execute_button->isEnabled());
}

TEST_F(MidExecution, CloseBoxAndSkipTableStopItToo) {
  AtRow(2, [](preview::SqlPreviewWindow& w) { w.close(); });
  Show([](preview::SqlPreviewWindow& w) { w.Controls().execute_button->click(); });
  EXPECT_EQ(Executed(), 1u);
  EXPECT_FALSE(main_window_->State().preview_executed);

  Fill(TableStatements("u", 9));
  services_.events_processed = 0;
  AtRow(3, [](preview::SqlPreviewWindow& w) { w.Controls().skip_table_button->click(); });
  Show([](preview::SqlPreviewWindow& w) { w.Controls().execute_button->click(); });
  EXPECT_EQ(Executed(), 1u + 2u);
  EXPECT_FALSE(main_window_->State().end_after_preview);
  EXPECT_FALSE(main_window_->State().preview_executed);
  EXPECT_EQ(services_.Reports(), 0);
}

TEST_F(MidExecution, ExecuteAgainFindAndReplaceAndRowClicksAreRefused) {
  int modal_opened = 0;
  AtRow(5, [&](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.execute_button->click();                        // no second pass
    ui.find_replace_button->click();                   // disabled: no Find and Replace
    w.OpenFindReplace();                               // even when called directly
    preview_testing::ClickRow(ui.statements_view, 2);  // no Edit Line
    modal_opened += QApplication::activeModalWidget() != &w;
  });
  Show([](preview::SqlPreviewWindow& w) { w.Controls().execute_button->click(); });
  EXPECT_EQ(modal_opened, 0);
  EXPECT_EQ(Executed(), 10u);  // each row once
  EXPECT_TRUE(main_window_->State().preview_executed);
}

TEST_F(MidExecution, HarmlessButtonsWorkAndThePassGoesOn) {
  AtRow(3, [&](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    w.TickAll(true);
    ui.copy_sql_button->click();       // copy SQL
    ui.jump_to_error_button->click();  // jump (no error yet: nothing)
    WhenModal([](QWidget* datatypes_window) {
      static_cast<preview::DatatypesConversionWindow*>(datatypes_window)->Controls().back_button->click();
    });
    ui.datatypes_button->click();  // datatypes, modal over the running pass
  });
  Show([](preview::SqlPreviewWindow& w) { w.Controls().execute_button->click(); });
  EXPECT_EQ(Executed(), 10u);
  EXPECT_TRUE(main_window_->State().preview_executed);
  EXPECT_EQ(std::count(services_.clipboard.begin(), services_.clipboard.end(), '\n'), 10);
}

TEST_F(MidExecution, ClosingTheMainWindowEndsThePassWithoutReports) {
  main_window_->show();
  AtRow(4, [this](preview::SqlPreviewWindow&) { main_window_->close(); });
  Show([](preview::SqlPreviewWindow& w) { w.Controls().execute_button->click(); });
  EXPECT_TRUE(report::EndRequested());
  EXPECT_EQ(Executed(), 3u);
  EXPECT_TRUE(target_->closed);  // the main window closed the target
  EXPECT_FALSE(main_window_->State().preview_executed);
  EXPECT_EQ(services_.Reports(), 0);
  EXPECT_EQ(Rows().Count(), 0);
  // Nothing opens any more once the program is ending.
  Fill(TableStatements("u", 1));
  preview_->ShowPreview();
  EXPECT_FALSE(Window().isVisible());
}

TEST_F(MidExecution, ClosingTheMainWindowDuringFindAndReplaceEndsThePass) {
  main_window_->show();
  std::vector<std::string> rows;
  Show([&](preview::SqlPreviewWindow& w) {
    WhenModal([&](QWidget* window) {
      auto& find_replace = static_cast<preview::FindReplaceDialog&>(*window);
      const auto& dialog = find_replace.Controls();
      dialog.find_edit->setText("VALUES");
      dialog.replace_edit->setText("VALUES ");
      services_.on_events = [this](long n) {
        if (n == 3) main_window_->close();
      };
      dialog.replace_button->click();
    });
    w.Controls().find_replace_button->click();
    for (int row = 1; row <= w.Model().List().Count(); ++row) rows.emplace_back(w.Model().List().Text(row));
  });
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows[1], "INSERT INTO \"t\" VALUES (1,'n1','x')");  // row 2 changed
  EXPECT_EQ(rows[2], "INSERT INTO \"t\" VALUES(2,'n2','x')");   // row 3 not reached
  EXPECT_TRUE(services_.messages.empty());
}

}  // namespace
