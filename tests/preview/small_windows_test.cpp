// Find and Replace, Edit Line and Datatypes Conversion, driven through the
// SQL Preview window's buttons.
#include "preview/window_look.h"
#include "tests/preview/preview_fixture.h"

namespace {

using preview_testing::PreviewTest;
using preview_testing::WhenModal;
using widgets::Px;

class SmallWindows : public PreviewTest {
 protected:
  // Opens Find and Replace from the preview and runs one pass.
  void Replace(preview::SqlPreviewWindow& w, const QString& find, const QString& with) {
    WhenModal([&](QWidget* window) {
      auto& find_replace = static_cast<preview::FindReplaceDialog&>(*window);
      const auto& dialog = find_replace.Controls();
      EXPECT_TRUE(dialog.find_edit->text().isEmpty());  // opened empty
      EXPECT_TRUE(dialog.replace_edit->text().isEmpty());
      dialog.find_edit->setText(find);
      dialog.replace_edit->setText(with);
      dialog.replace_button->click();
    });
    w.Controls().find_replace_button->click();
  }
};

TEST_F(SmallWindows, FindAndReplaceChangesTheFirstOccurrenceInEveryRow) {
  Fill({"CREATE TABLE \"t\" (\"a\" VARCHAR(10), \"b\" VARCHAR(20));", "INSERT INTO \"t\" VALUES('varchar','x')",
        "DROP TABLE \"t\""});
  std::vector<std::string> rows;
  Show([&](preview::SqlPreviewWindow& w) {
    Replace(w, "varchar", "MEMO");
    EXPECT_FALSE(w.FindAndReplaceWindow().isVisible());
    for (int row = 1; row <= 3; ++row) rows.emplace_back(w.Model().List().Text(row));
    w.Controls().back_button->click();
  });
  EXPECT_EQ(services_.Texts(), std::vector<std::string>{"Done."});
  // The first column only; the upper-case word is found by the lower-case search.
  EXPECT_EQ(rows, (std::vector<std::string>{"CREATE TABLE \"t\" (\"a\" MEMO(10), \"b\" VARCHAR(20));",
                                            "INSERT INTO \"t\" VALUES('MEMO','x')", "DROP TABLE \"t\""}));
}

TEST_F(SmallWindows, FindAndReplaceEdgeCases) {
  Fill({"CREATE TABLE \"t\" (\"a\" VARCHAR(10), \"b\" VARCHAR(20));", "a TEXT b TEXT", "x INT y", "none"});
  std::vector<std::string> rows;
  Show([&](preview::SqlPreviewWindow& w) {
    Replace(w, "varchar", "MEMO");
    Replace(w, "TEXT", "");           // an empty replacement deletes
    Replace(w, "int", "INTEGER");     // contains the search text: applied once
    Replace(w, "", "nothing");        // an empty search changes nothing
    Replace(w, "absent", "x");        // nothing found: still "Done."
    for (int row = 1; row <= 4; ++row) rows.emplace_back(w.Model().List().Text(row));
    EXPECT_EQ(ui::WindowPointers::Get("Form3"), ui::kPointerDefault);
    w.Controls().back_button->click();
  });
  EXPECT_EQ(rows, (std::vector<std::string>{"CREATE TABLE \"t\" (\"a\" MEMO(10), \"b\" VARCHAR(20));", "a  b TEXT",
                                            "x INTEGER y", "none"}));
  EXPECT_EQ(services_.Texts(), std::vector<std::string>(5, "Done."));
}

TEST_F(SmallWindows, FindAndReplaceOnAnEmptyListStaysOpenAndCancelChangesNothing) {
  Fill({});
  Show([&](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    WhenModal([&](QWidget* window) {
      auto& find_replace = static_cast<preview::FindReplaceDialog&>(*window);
      const auto& dialog = find_replace.Controls();
      EXPECT_EQ(find_replace.windowTitle(), "Find and Replace - Pelmora");
      EXPECT_EQ(find_replace.size(), QSize(Px(8040), Px(1500)));
      EXPECT_EQ(dialog.find_label->text(), "Find what:");
      EXPECT_EQ(dialog.replace_label->text(), "Replace with:");
      EXPECT_EQ(dialog.find_edit->nextInFocusChain(), dialog.replace_edit);
      dialog.find_edit->setText("a");
      dialog.replace_button->click();
      EXPECT_TRUE(find_replace.isVisible());
      dialog.cancel_button->click();
    });
    ui.find_replace_button->click();
    ui.back_button->click();
  });
  EXPECT_EQ(services_.Texts(), std::vector<std::string>{"No SQL to run."});
}

TEST_F(SmallWindows, EditLineWritesBackAsTypedAndCancelLeavesTheRow) {
  Fill({"DROP TABLE \"a\"", "CREATE TABLE \"a\" (\"x\" INTEGER);"});
  Show([&](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    preview::EditLineDialog& edit_line = w.EditLineWindow();
    const auto& edit = edit_line.Controls();
    WhenModal([&](QWidget*) {
      EXPECT_EQ(edit_line.size(), QSize(Px(8040), Px(2580)));
      // Focus selects the whole text, again after tabbing back.
      EXPECT_EQ(edit.line_edit->textCursor().selectedText(), "DROP TABLE \"a\"");
      edit.ok_button->setFocus();
      edit.line_edit->setFocus(Qt::TabFocusReason);
      EXPECT_EQ(edit.line_edit->textCursor().selectedText(), "DROP TABLE \"a\"");
      edit.line_edit->setPlainText("  DROP TABLE \"b\"\nsecond line  ");
      edit.ok_button->click();
    });
    edit_line.Open(1, "DROP TABLE \"a\"");
    EXPECT_EQ(w.Model().List().Text(1), "  DROP TABLE \"b\"\nsecond line  ");
    EXPECT_EQ(w.Model().rowCount(), 2);

    WhenModal([&](QWidget*) {
      edit.line_edit->setPlainText("changed");
      edit.cancel_button->click();
    });
    preview_testing::ClickRow(ui.statements_view, 2);
    EXPECT_EQ(w.Model().List().Text(2), "CREATE TABLE \"a\" (\"x\" INTEGER);");

    // OK without a change writes the same bytes back, CR included.
    w.Model().SetRowText(2, "a\r\nb");
    WhenModal([&](QWidget*) { edit.ok_button->click(); });
    preview_testing::ClickRow(ui.statements_view, 2);
    EXPECT_EQ(w.Model().List().Text(2), "a\r\nb");
    ui.back_button->click();
  });
}

TEST_F(SmallWindows, DatatypesViewShowsTheLogAndEmptiesItOnClose) {
  preview_->Clear();
  engine::ConversionLog& log = preview_->Log();
  EXPECT_TRUE(Window().DatatypesWindow().Loaded());  // loaded invisibly by the run's touch
  log.AddRow("orders");
  log.SetLastRowSubItem(1, "id");
  log.SetLastRowSubItem(2, "adInteger");
  log.SetLastRowSubItem(3, "INTEGER");
  log.AddRow("orders");
  log.SetLastRowSubItem(1, "memo");  // the others left empty
  preview_->Append("CREATE TABLE \"orders\" (\"id\" INTEGER, \"memo\" MEMO);");
  std::vector<QString> first, second;
  Show([&](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    preview::DatatypesConversionWindow& datatypes_window = w.DatatypesWindow();
    const auto& datatypes = datatypes_window.Controls();
    WhenModal([&](QWidget*) {
      EXPECT_EQ(datatypes_window.windowTitle(), "Datatypes Conversion - Pelmora");
      EXPECT_EQ(datatypes_window.size(), QSize(Px(8040), Px(8340)));
      QAbstractItemModel* m = datatypes.log_view->model();
      for (int c = 0; c < 4; ++c) {
        first.push_back(m->headerData(c, Qt::Horizontal).toString());
        EXPECT_EQ(datatypes.log_view->columnWidth(c), Px(1700));
      }
      for (int r = 0; r < m->rowCount(); ++r)
        for (int c = 0; c < 4; ++c) first.push_back(m->index(r, c).data().toString());
      // A click on a row opens nothing.
      preview_testing::ClickRow(datatypes.log_view, 1);
      EXPECT_EQ(QApplication::activeModalWidget(), &datatypes_window);
      datatypes.back_button->click();
    });
    ui.datatypes_button->click();
    EXPECT_EQ(preview_->Log().RowCount(), 0u);
    WhenModal([&](QWidget*) {
      second.push_back(QString::number(datatypes.log_view->model()->rowCount()));
      datatypes_window.close();
    });
    ui.datatypes_button->click();
    ui.back_button->click();
  });
  EXPECT_EQ(first, (std::vector<QString>{"PostgreSQL Table", "PostgreSQL Table Field", "PostgreSQL Field Datatype",
                                         "New MS Access Datatype", "orders", "id", "adInteger", "INTEGER", "orders",
                                         "memo", "", ""}));
  EXPECT_EQ(second, std::vector<QString>{"0"});
}

}  // namespace
