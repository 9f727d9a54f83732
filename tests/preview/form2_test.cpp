// The SQL Preview window: its controls, loading, the hand-over flags, Jump To
// Error Line, the click that opens Edit Line, and the tick boxes.
#include <QHeaderView>

#include "preview/window_look.h"
#include "tests/preview/preview_fixture.h"
#include "tests/support/readable_layout.h"

namespace {

using preview::Px;
using preview_testing::PreviewTest;
using preview_testing::TableStatements;

class Form2Test : public PreviewTest {};

TEST_F(Form2Test, ControlsCaptionsPlacesAndTabOrder) {
  Fill({"DROP TABLE \"t\""});
  preview::Form2& w = Window();
  EXPECT_EQ(w.windowTitle(), "SQL Preview - Pelmora");
  EXPECT_FALSE(w.windowIcon().isNull());
  const std::pair<QPushButton*, const char*> buttons[] = {
      {w.PushButton1, "Execute SQL"},
      {w.PushButton3, "Find and Replace"},
      {w.PushButton2, "Copy SQL To Clipboard"},
      {w.PushButton6, "Jump To Error Line"},
      {w.PushButton4, "Copy Error Message To Clipboard"},
      {w.PushButton8, "Email Error Message To Halvex"},
      {w.PushButton5, "< Back"},
      {w.PushButton7, "View Datatype Conversion"},
      {w.PushButton9, "Skip Table / Do Not Execute SQL"},
  };
  for (const auto& [button, caption] : buttons) {
    EXPECT_EQ(button->text().toStdString(), caption);
    EXPECT_TRUE(button->font().bold());
    EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 11.25);
  }
  testing_support::ExpectReadableLayout(w);
  EXPECT_EQ(w.Frame2->title(), "Error:");
  EXPECT_EQ(w.Text1->parentWidget(), w.Frame2);
  EXPECT_EQ(w.ProgressBar1->Caption(), "Progress Bar");
  EXPECT_EQ(w.ListView1->toolTip().toStdString(),
            "Click item to edit it. Move | line to right and out of window to reveal full names.");
  EXPECT_EQ(w.Model().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "SQL Preview");
  EXPECT_EQ(w.ListView1->columnWidth(0), Px(7000));

  QWidget* order[] = {w.ListView1,   w.PushButton1, w.PushButton3, w.PushButton2, w.Text1,       w.PushButton6,
                      w.PushButton4, w.PushButton8, w.PushButton5, w.PushButton7, w.PushButton9};
  // The next control that Tab reaches (parts of a control and controls that
  // take no focus are passed over).
  auto next_tab_stop = [](QWidget* from) {
    QWidget* next = from->nextInFocusChain();
    while (!(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    return next;
  };
  for (size_t i = 0; i + 1 < std::size(order); ++i)
    EXPECT_EQ(next_tab_stop(order[i]), order[i + 1]) << i;
}

// The run's first touch loads the window invisibly; its set-up runs once per
// opening; closing discards rows and error text but not ErrorLine.
TEST_F(Form2Test, InvisibleLoadingAndWhatClosingDiscards) {
  preview_->Clear();
  EXPECT_TRUE(Window().Loaded());
  EXPECT_FALSE(Window().isVisible());
  for (const auto& s : TableStatements("t", 8)) preview_->Append(s);
  target_->tables.insert("t");  // the CREATE TABLE row fails
  Show([](preview::Form2& w) {
    EXPECT_EQ(w.Model().rowCount(), 9);
    w.PushButton1->click();
    w.close();  // the close box
  });
  EXPECT_FALSE(Window().Loaded());
  EXPECT_EQ(Rows().Count(), 0);
  EXPECT_EQ(Window().Model().rowCount(), 0);
  EXPECT_EQ(Window().ErrorLine, 1);

  // A new list: the error box is empty again; ErrorLine stays 1 and jumps there.
  Fill(TableStatements("u", 2));
  Show([](preview::Form2& w) {
    EXPECT_TRUE(w.Text1->toPlainText().isEmpty());
    w.PushButton6->click();
    EXPECT_EQ(w.ListView1->currentIndex().row(), 0);
    w.PushButton5->click();
  });
}

TEST_F(Form2Test, HowTheWindowClosedReachesTheRunThroughTheFlags) {
  struct Case {
    const char* name;
    std::function<void(preview::Form2&)> close;
    bool end_run;
  };
  const Case cases[] = {
      {"back", [](preview::Form2& w) { w.PushButton5->click(); }, true},
      {"close box", [](preview::Form2& w) { w.close(); }, true},
      {"skip", [](preview::Form2& w) { w.PushButton9->click(); }, false},
      // Escape does not close the window (it would throw away every edit).
      {"escape then back",
       [](preview::Form2& w) {
         QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QApplication::sendEvent(&w, &escape);
         EXPECT_TRUE(w.isVisible());
         w.PushButton5->click();
       },
       true},
  };
  for (const auto& c : cases) {
    engine::EndRunAfterPreview = true;
    form1_->SQLFormOK = false;
    Fill(TableStatements("t", 2));
    Show(c.close);
    EXPECT_FALSE(form1_->SQLFormOK) << c.name;
    EXPECT_EQ(engine::EndRunAfterPreview, c.end_run) << c.name;
    EXPECT_TRUE(target_->executed.empty()) << c.name;
  }
}

TEST_F(Form2Test, JumpToErrorLine) {
  // Before any statement error since start: nothing.
  Fill(TableStatements("t", 3));
  Show([](preview::Form2& w) {
    w.PushButton6->click();
    EXPECT_FALSE(w.ListView1->currentIndex().isValid());
    w.PushButton5->click();
  });
  // An error on row 7, then a list of 3 rows: both steps fail, the selection stays.
  Fill(TableStatements("t", 8));
  target_->refuse[std::string(Rows().Text(7))] = "SQLException: no";
  Show([](preview::Form2& w) {
    w.PushButton1->click();
    w.PushButton5->click();
  });
  ASSERT_EQ(Window().ErrorLine, 7);
  services_.messages.clear();
  Fill(TableStatements("u", 2));
  Show([](preview::Form2& w) {
    w.ListView1->setCurrentIndex(w.Model().index(1));
    w.PushButton6->click();
    EXPECT_EQ(w.ListView1->currentIndex().row(), 1);
    w.PushButton5->click();
  });
  ASSERT_EQ(services_.Reports(), 2);
  EXPECT_NE(services_.messages[0].text.find("Index out of bounds\r\nin Tavrix2021/08/31.Form2.PushButton6_Click at line 104"),
            std::string::npos);
  EXPECT_NE(services_.messages[1].text.find("at line 106"), std::string::npos);
  // An empty list: nothing at all.
  services_.messages.clear();
  Fill({});
  Show([](preview::Form2& w) {
    w.PushButton6->click();
    w.PushButton5->click();
  });
  EXPECT_TRUE(services_.messages.empty());
}

TEST_F(Form2Test, AClickOnARowOpensEditLineAndATickBoxClickDoesNot) {
  Fill({"DROP TABLE \"a\"", "CREATE TABLE \"a\" (\"x\" INTEGER);"});
  Show([](preview::Form2& w) {
    // A click that selects nothing (the empty space below the rows) opens nothing.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(50, w.ListView1->viewport()->height() - 5),
                      QPointF(50, 50), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.ListView1->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(50, w.ListView1->viewport()->height() - 5),
                        QPointF(50, 50), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w.ListView1->viewport(), &release);
    EXPECT_EQ(QApplication::activeModalWidget(), &w);

    // The tick box of row 2 ticks the row without opening it.
    const QModelIndex second = w.Model().index(1);
    QStyleOptionViewItem option;
    option.initFrom(w.ListView1);
    option.rect = w.ListView1->visualRect(second);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = w.ListView1->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, w.ListView1);
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent e(type, box.center(), w.ListView1->viewport()->mapToGlobal(box.center()), Qt::LeftButton,
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(w.ListView1->viewport(), &e);
    }
    EXPECT_TRUE(w.Model().List().Ticked(2));
    EXPECT_EQ(QApplication::activeModalWidget(), &w);

    // A click on the text of row 2 opens Edit Line with it; "OK" with an
    // emptied box leaves an empty row.
    preview_testing::WhenModal([](QWidget* edit) {
      auto& form4 = static_cast<preview::Form4&>(*edit);
      EXPECT_EQ(form4.windowTitle(), "Edit Line - Pelmora");
      EXPECT_EQ(form4.ListLine, 2);
      EXPECT_EQ(form4.Text1->toPlainText(), "CREATE TABLE \"a\" (\"x\" INTEGER);");
      form4.Text1->clear();
      form4.PushButton2->click();
    });
    preview_testing::ClickRow(w.ListView1, 2);
    EXPECT_EQ(w.Model().rowCount(), 2);
    EXPECT_EQ(w.Model().List().Text(2), "");
    w.PushButton5->click();
  });
}

TEST_F(Form2Test, RowsAreAddedUntickedAndCanBeTickedAllAtOnce) {
  Fill({"a", "b", "c"});
  Show([](preview::Form2& w) {
    for (int row = 0; row < 3; ++row)
      EXPECT_EQ(w.Model().data(w.Model().index(row), Qt::CheckStateRole).toInt(), Qt::Unchecked);
    emit w.ListView1->header()->sectionClicked(0);
    for (int row = 1; row <= 3; ++row) EXPECT_TRUE(w.Model().List().Ticked(row));
    emit w.ListView1->header()->sectionClicked(0);  // all ticked: clears them
    for (int row = 1; row <= 3; ++row) EXPECT_FALSE(w.Model().List().Ticked(row));
    w.TickAll(true);
    EXPECT_TRUE(w.Model().List().Ticked(2));
    w.PushButton5->click();
  });
}

TEST_F(Form2Test, HoverShowsTheHandOverButtonsButNeverReplacesTheHourglass) {
  Fill({"a"});
  Show([](preview::Form2& w) {
    auto move = [](QWidget* over) {
      const QPoint at(2, over->height() - 2);
      QMouseEvent e(QEvent::MouseMove, at, over->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(over, &e);
    };
    move(w.PushButton9);
    EXPECT_EQ(ui::WindowPointers::Get("Form2"), ui::kPointerCustom);
    move(w.ListView1->viewport());
    EXPECT_EQ(ui::WindowPointers::Get("Form2"), ui::kPointerDefault);
    ui::WindowPointers::Set("Form2", ui::kPointerHourglass);
    move(w.PushButton1);
    EXPECT_EQ(ui::WindowPointers::Get("Form2"), ui::kPointerHourglass);
    ui::WindowPointers::Set("Form2", ui::kPointerDefault);
    w.PushButton5->click();
  });
}

}  // namespace
