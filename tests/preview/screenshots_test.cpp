// The four windows as a user meets them, filled with real-looking content: the
// SQL Preview after a statement error, Find and Replace, Edit Line and
// Datatypes Conversion. Each shows its captions whole with no control covering
// another; each is also rendered to build/screenshots/*.png for the README.
#include <QDir>
#include <QPixmap>

#include "tests/preview/preview_fixture.h"
#include "tests/support/readable_layout.h"

namespace {

using preview_testing::PreviewTest;
using preview_testing::WhenModal;

class Screenshots : public PreviewTest {
 protected:
  static QString Folder() {
    const QString folder = QStringLiteral(PELMORA_BINARY_DIR "/screenshots");
    QDir().mkpath(folder);
    return folder;
  }
  static void Check(QWidget* window, const char* name) {
    QApplication::processEvents();
    SCOPED_TRACE(name);
    testing_support::ExpectReadableLayout(*window);
    window->grab().save(Folder() + "/" + name);
  }
};

TEST_F(Screenshots, PreviewAndItsSmallWindowsShowTheirTextsWhole) {
  std::vector<std::string> statements = {"DROP TABLE \"customers\"",
                                         "CREATE TABLE \"customers\" (\"id\" INTEGER, \"name\" VARCHAR(80), "
                                         "\"city\" VARCHAR(40), \"joined\" DATETIME);"};
  const char* names[] = {"Ada Lovelace", "Alan Turing", "Grace Hopper", "Edsger Dijkstra", "Barbara Liskov",
                         "Donald Knuth", "Frances Allen", "John Backus",  "Niklaus Wirth",   "Margaret Hamilton"};
  const char* cities[] = {"London", "Manchester", "New York", "Austin", "Boston"};
  for (int i = 0; i < 10; ++i)
    statements.push_back("INSERT INTO \"customers\" VALUES(" + std::to_string(i + 1) + ",'" + names[i] + "','" +
                         cities[i % 5] + "',#2021-0" + std::to_string(i % 9 + 1) + "-1" + std::to_string(i % 10) +
                         "#)");
  statements[7] = "INSERT INTO \"customers\" VALUES(6,'Donald Knuth','Austin',#2021-06-31#)";
  target_->tables.insert("customers");
  target_->refuse[statements[7]] =
      "SQLException: Data type mismatch in criteria expression. (row 6, column \"joined\": #2021-06-31#)";
  preview_->Clear();
  engine::ConversionLog& log = preview_->Log();
  const char* fields[][3] = {{"id", "int4", "INTEGER"},
                             {"name", "varchar", "VARCHAR(80)"},
                             {"city", "varchar", "VARCHAR(40)"},
                             {"joined", "timestamp", "DATETIME"}};
  for (auto& f : fields) {
    log.AddRow("customers");
    for (int i = 0; i < 3; ++i) log.SetLastRowSubItem(i + 1, f[i]);
  }
  for (const auto& s : statements) preview_->Append(s);

  Show([&](preview::SqlPreviewWindow& w) {
    const auto& ui = w.Controls();
    ui.execute_button->click();
    Check(&w, "form2-error.png");

    WhenModal([&](QWidget* window) {
      auto& find_replace = static_cast<preview::FindReplaceDialog&>(*window);
      const auto& dialog = find_replace.Controls();
      dialog.find_edit->setText("varchar");
      dialog.replace_edit->setText("MEMO");
      Check(&find_replace, "form3.png");
      dialog.cancel_button->click();
    });
    ui.find_replace_button->click();

    WhenModal([&](QWidget* window) {
      auto& edit_line = static_cast<preview::EditLineDialog&>(*window);
      Check(&edit_line, "form4.png");
      edit_line.Controls().cancel_button->click();
    });
    preview_testing::ClickRow(ui.statements_view, 8);

    WhenModal([&](QWidget* window) {
      Check(window, "form5.png");
      static_cast<preview::DatatypesConversionWindow*>(window)->Controls().back_button->click();
    });
    ui.datatypes_button->click();
    ui.back_button->click();
  });
}

}  // namespace
