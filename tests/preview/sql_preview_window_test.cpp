// The SQL Preview window: its controls, loading, the hand-over flags, Jump To
// Error Line, the click that opens Edit Line, and the tick boxes.
#include <QHeaderView>

#include "preview/window_look.h"
#include "tests/preview/preview_fixture.h"
#include "tests/support/readable_layout.h"

namespace {

using preview_testing::PreviewTest;
using preview_testing::TableStatements;
using widgets::Px;

class SqlPreviewWindowTest : public PreviewTest {};

TEST_F(SqlPreviewWindowTest, ControlsCaptionsPlacesAndTabOrder) {
  Fill({"DROP TABLE \"t\""});
  preview::SqlPreviewWindow& w = Window();
  EXPECT_EQ(w.windowTitle(), "SQL Preview - Pelmora");
  EXPECT_FALSE(w.windowIcon().isNull());
  const std::pair<QPushButton*, const char*> buttons[] = {
      {w.Controls().execute_button, "Execute SQL"},
      {w.Controls().find_replace_button, "Find and Replace"},
      {w.Controls().copy_sql_button, "Copy SQL To Clipboard"},
      {w.Controls().jump_to_error_button, "Jump To Error Line"},
      {w.Controls().copy_error_button, "Copy Error Message To Clipboard"},
      {w.Controls().email_error_button, "Email Error Message To Halvex"},
      {w.Controls().back_button, "< Back"},
      {w.Controls().datatypes_button, "View Datatype Conversion"},
      {w.Controls().skip_table_button, "Skip Table / Do Not Execute SQL"},
  };
  for (const auto& [button, caption] : buttons) {
    EXPECT_EQ(button->text().toStdString(), caption);
    EXPECT_TRUE(button->font().bold());
    EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 11.25);
  }
  testing_support::ExpectReadableLayout(w);
  EXPECT_EQ(w.Controls().error_frame->title(), "Error:");
  EXPECT_EQ(w.Controls().error_text->parentWidget(), w.Controls().error_frame);
  EXPECT_EQ(w.Controls().progress_bar->Caption(), "Progress Bar");
  EXPECT_EQ(w.Controls().statements_view->toolTip().toStdString(),
            "Click item to edit it. Move | line to right and out of window to reveal full names.");
  EXPECT_EQ(w.Model().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "SQL Preview");
  EXPECT_EQ(w.Controls().statements_view->columnWidth(0), Px(7000));

  QWidget* order[] = {
      w.Controls().statements_view,   w.Controls().execute_button,     w.Controls().find_replace_button,
      w.Controls().copy_sql_button,   w.Controls().error_text,         w.Controls().jump_to_error_button,
      w.Controls().copy_error_button, w.Controls().email_error_button, w.Controls().back_button,
      w.Controls().datatypes_button,  w.Controls().skip_table_button};
  // The next control that Tab reaches (parts of a control and controls that
  // take no focus are passed over).
  auto next_tab_stop = [](QWidget* from) {
    QWidget* next = from->nextInFocusChain();
    while (!(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    return next;
  };
  for (size_t i = 0; i + 1 < std::size(order); ++i) EXPECT_EQ(next_tab_stop(order[i]), order[i + 1]) << i;
}

// The run's first touch loads the window invisibly; its set-up runs once per
// opening; closing discards rows and error text but not ErrorLine.
TEST_F(SqlPreviewWindowTest, InvisibleLoadingAndWhatClosingDiscards) {
  preview_->Clear();
  EXPECT_TRUE(Window().Loaded());
  EXPECT_FALSE(Window().isVisible());
  for (const auto& s : TableStatements("t", 8)) preview_->Append(s);
  target_->tables.insert("t");  // the CREATE TABLE row fails
  Show([](preview::SqlPreviewWindow& w) {
    EXPECT_EQ(w.Model().rowCount(), 9);
    w.Controls().execute_button->click();
    w.close();  // the close box
  });
  EXPECT_FALSE(Window().Loaded());
  EXPECT_EQ(Rows().Count(), 0);
  EXPECT_EQ(Window().Model().rowCount(), 0);
  EXPECT_EQ(Window().ErrorLine, 1);

  // A new list: the error box is empty again; ErrorLine stays 1 and jumps there.
  Fill(TableStatements("u", 2));
  Show([](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    EXPECT_TRUE(ui.error_text->toPlainText().isEmpty());
    ui.jump_to_error_button->click();
    EXPECT_EQ(ui.statements_view->currentIndex().row(), 0);
    ui.back_button->click();
  });
}

TEST_F(SqlPreviewWindowTest, HowTheWindowClosedReachesTheRunThroughTheFlags) {
  struct Case {
    const char* name;
    std::function<void(preview::SqlPreviewWindow&)> close;
    bool end_run;
  };
  const Case cases[] = {
      {"back", [](preview::SqlPreviewWindow& w) { w.Controls().back_button->click(); }, true},
      {"close box", [](preview::SqlPreviewWindow& w) { w.close(); }, true},
      {"skip", [](preview::SqlPreviewWindow& w) { w.Controls().skip_table_button->click(); }, false},
      // Escape does not close the window (it would throw away every edit).
      {"escape then back",
       [](preview::SqlPreviewWindow& w) {
         QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QApplication::sendEvent(&w, &escape);
         EXPECT_TRUE(w.isVisible());
         w.Controls().back_button->click();
       },
       true},
  };
  for (const auto& c : cases) {
    main_window_->State().end_after_preview = true;
    main_window_->State().preview_executed = false;
    Fill(TableStatements("t", 2));
    Show(c.close);
    EXPECT_FALSE(main_window_->State().preview_executed) << c.name;
    EXPECT_EQ(main_window_->State().end_after_preview, c.end_run) << c.name;
    EXPECT_TRUE(target_->executed.empty()) << c.name;
  }
}

TEST_F(SqlPreviewWindowTest, JumpToErrorLine) {
  // Before any statement error since start: nothing.
  Fill(TableStatements("t", 3));
  Show([](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.jump_to_error_button->click();
    EXPECT_FALSE(ui.statements_view->currentIndex().isValid());
    ui.back_button->click();
  });
  // An error on row 7, then a list of 3 rows: both steps fail, the selection stays.
  Fill(TableStatements("t", 8));
  target_->refuse[std::string(Rows().Text(7))] = "SQLException: no";
  Show([](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.execute_button->click();
    ui.back_button->click();
  });
  ASSERT_EQ(Window().ErrorLine, 7);
  services_.messages.clear();
  Fill(TableStatements("u", 2));
  Show([](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.statements_view->setCurrentIndex(w.Model().index(1));
    ui.jump_to_error_button->click();
    EXPECT_EQ(ui.statements_view->currentIndex().row(), 1);
    ui.back_button->click();
  });
  ASSERT_EQ(services_.Reports(), 2);
  EXPECT_NE(
      services_.messages[0].text.find("Index out of bounds\r\nin Tavrix2021/08/31.Form2.PushButton6_Click at line 104"),
      std::string::npos);
  EXPECT_NE(services_.messages[1].text.find("at line 106"), std::string::npos);
  // An empty list: nothing at all.
  services_.messages.clear();
  Fill({});
  Show([](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.jump_to_error_button->click();
    ui.back_button->click();
  });
  EXPECT_TRUE(services_.messages.empty());
}

TEST_F(SqlPreviewWindowTest, AClickOnARowOpensEditLineAndATickBoxClickDoesNot) {
  Fill({"DROP TABLE \"a\"", "CREATE TABLE \"a\" (\"x\" INTEGER);"});
  Show([](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    // A click that selects nothing (the empty space below the rows) opens nothing.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(50, ui.statements_view->viewport()->height() - 5),
                      QPointF(50, 50), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(ui.statements_view->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(50, ui.statements_view->viewport()->height() - 5),
                        QPointF(50, 50), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(ui.statements_view->viewport(), &release);
    EXPECT_EQ(QApplication::activeModalWidget(), &w);

    // The tick box of row 2 ticks the row without opening it.
    const QModelIndex second = w.Model().index(1);
    QStyleOptionViewItem option;
    option.initFrom(ui.statements_view);
    option.rect = ui.statements_view->visualRect(second);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box =
        ui.statements_view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, ui.statements_view);
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent e(type, box.center(), ui.statements_view->viewport()->mapToGlobal(box.center()), Qt::LeftButton,
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(ui.statements_view->viewport(), &e);
    }
    EXPECT_TRUE(w.Model().List().Ticked(2));
    EXPECT_EQ(QApplication::activeModalWidget(), &w);

    // A click on the text of row 2 opens Edit Line with it; "OK" with an
    // emptied box leaves an empty row.
    preview_testing::WhenModal([](QWidget* edit) {
      auto& edit_line = static_cast<preview::EditLineDialog&>(*edit);
      EXPECT_EQ(edit_line.windowTitle(), "Edit Line - Pelmora");
      EXPECT_EQ(edit_line.ListLine, 2);
      EXPECT_EQ(edit_line.Controls().line_edit->toPlainText(), "CREATE TABLE \"a\" (\"x\" INTEGER);");
      edit_line.Controls().line_edit->clear();
      edit_line.Controls().ok_button->click();
    });
    preview_testing::ClickRow(ui.statements_view, 2);
    EXPECT_EQ(w.Model().rowCount(), 2);
    EXPECT_EQ(w.Model().List().Text(2), "");
    ui.back_button->click();
  });
}

TEST_F(SqlPreviewWindowTest, RowsAreAddedUntickedAndCanBeTickedAllAtOnce) {
  Fill({"a", "b", "c"});
  Show([](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    for (int row = 0; row < 3; ++row)
      EXPECT_EQ(w.Model().data(w.Model().index(row), Qt::CheckStateRole).toInt(), Qt::Unchecked);
    emit ui.statements_view->header()->sectionClicked(0);
    for (int row = 1; row <= 3; ++row) EXPECT_TRUE(w.Model().List().Ticked(row));
    emit ui.statements_view->header()->sectionClicked(0);  // all ticked: clears them
    for (int row = 1; row <= 3; ++row) EXPECT_FALSE(w.Model().List().Ticked(row));
    w.TickAll(true);
    EXPECT_TRUE(w.Model().List().Ticked(2));
    ui.back_button->click();
  });
}

TEST_F(SqlPreviewWindowTest, HoverShowsTheHandOverButtonsButNeverReplacesTheHourglass) {
  Fill({"a"});
  Show([](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    auto move = [](QWidget* over) {
      const QPoint at(2, over->height() - 2);
      QMouseEvent e(QEvent::MouseMove, at, over->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(over, &e);
    };
    move(ui.skip_table_button);
    EXPECT_EQ(ui::WindowPointers::Get("Form2"), ui::kPointerCustom);
    move(ui.statements_view->viewport());
    EXPECT_EQ(ui::WindowPointers::Get("Form2"), ui::kPointerDefault);
    ui::WindowPointers::Set("Form2", ui::kPointerHourglass);
    move(ui.execute_button);
    EXPECT_EQ(ui::WindowPointers::Get("Form2"), ui::kPointerHourglass);
    ui::WindowPointers::Set("Form2", ui::kPointerDefault);
    ui.back_button->click();
  });
}

}  // namespace
