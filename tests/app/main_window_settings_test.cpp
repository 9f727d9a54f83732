// The main window's settings: loading with its handlers, writing back on every
// change, the check box states and the option group.
#include <gtest/gtest.h>

#include <QStyle>

#include "tests/app/app_fixture.h"

namespace {

using app_testing::AppTest;

class MainWindowSettings : public AppTest {};

TEST_F(MainWindowSettings, FirstStartShowsDefaultsAndWritesOnlyWhatChanged) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();

  EXPECT_EQ(ui.server_edit->Text(), "localhost");
  EXPECT_EQ(ui.port_edit->Text(), "5432");
  for (auto* empty : {ui.user_edit, ui.password_edit, ui.database_edit, ui.target_file_edit, ui.target_password_edit})
    EXPECT_EQ(empty->Text(), "");
  EXPECT_EQ(ui.preview_check->Value(), widgets::CheckBox::kTicked);
  EXPECT_TRUE(ui.per_file_option->Value());
  EXPECT_FALSE(ui.per_table_option->Value());
  EXPECT_TRUE(ui.per_file_option->isEnabled());
  EXPECT_TRUE(ui.per_table_option->isEnabled());
  EXPECT_TRUE(services_.messages.empty());

  EXPECT_EQ(Stored("PostgreSQLServer"), "localhost");
  EXPECT_EQ(Stored("PostgreSQLPort"), "5432");
  EXPECT_EQ(Stored("Check1"), "1");
  QSettings file(settings_file_, QSettings::IniFormat);
  file.beginGroup("Pelmora");
  EXPECT_EQ(file.childKeys().size(), 3) << file.childKeys().join(",").toStdString();
}

TEST_F(MainWindowSettings, StoredValuesComeBackExactly) {
  Store("PostgreSQLServer", "  db.example.org ");
  Store("PostgreSQLPort", "6543");
  Store("PostgreSQLUser", "anna;x=1");
  Store("PostgreSQLPassword", "pä\"ss wörd");
  Store("PostgreSQLDatabase", "sales");
  Store("AccessMDBFile", "/home/anna/My Files/Data.ACCDB");
  Store("AccessPassword", "=secret,1");
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();

  EXPECT_EQ(ui.server_edit->Text(), "  db.example.org ");
  EXPECT_EQ(ui.port_edit->Text(), "6543");
  EXPECT_EQ(ui.user_edit->Text(), "anna;x=1");
  EXPECT_EQ(ui.password_edit->Text(), "pä\"ss wörd");
  EXPECT_EQ(ui.database_edit->Text(), "sales");
  EXPECT_EQ(ui.target_file_edit->Text(), "/home/anna/My Files/Data.ACCDB");
  EXPECT_EQ(ui.target_password_edit->Text(), "=secret,1");
  const db::SourceFields source = form.SourceFields();
  EXPECT_EQ(source.server, "  db.example.org ");
  EXPECT_EQ(source.password, "pä\"ss wörd");
  EXPECT_EQ(form.TargetFields().path, "/home/anna/My Files/Data.ACCDB");
  // Written back by the load itself, and still exact.
  EXPECT_EQ(Stored("PostgreSQLPassword"), "pä\"ss wörd");
  EXPECT_EQ(Stored("AccessPassword"), "=secret,1");
}

TEST_F(MainWindowSettings, ClearCheckBoxDisablesBothOptionsWhicheverIsSelected) {
  Store("Check1", "0");
  Store("Option1", "False");
  Store("Option2", "True");
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  EXPECT_EQ(ui.preview_check->Value(), widgets::CheckBox::kClear);
  EXPECT_FALSE(ui.per_file_option->isEnabled());
  EXPECT_FALSE(ui.per_table_option->isEnabled());
  EXPECT_TRUE(ui.per_table_option->Value());
  EXPECT_EQ(Stored("Check1"), "0");  // step 150 always rewrites it
}

TEST_F(MainWindowSettings, GreyedCheckBoxKeepsItsStateAndDisablesTheOptions) {
  Store("Check1", "2");
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  EXPECT_EQ(ui.preview_check->Value(), widgets::CheckBox::kGreyed);
  EXPECT_EQ(ui.preview_check->checkState(), Qt::PartiallyChecked);
  EXPECT_FALSE(ui.per_file_option->isEnabled());
  EXPECT_EQ(Stored("Check1"), "2");
  // A click on a greyed box ticks it; the next one clears it.
  ui.preview_check->click();
  EXPECT_EQ(ui.preview_check->Value(), widgets::CheckBox::kTicked);
  EXPECT_TRUE(ui.per_file_option->isEnabled());
  EXPECT_EQ(Stored("Check1"), "1");
  ui.preview_check->click();
  EXPECT_EQ(ui.preview_check->Value(), widgets::CheckBox::kClear);
  EXPECT_EQ(Stored("Check1"), "0");
}

TEST_F(MainWindowSettings, BothOptionsTrueLeavesTheSecondSelectedAndRewritesBoth) {
  Store("Option1", "True");
  Store("Option2", "True");
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  EXPECT_FALSE(ui.per_file_option->Value());
  EXPECT_TRUE(ui.per_table_option->Value());
  EXPECT_EQ(Stored("Option1"), "False");
  EXPECT_EQ(Stored("Option2"), "True");
}

TEST_F(MainWindowSettings, BothOptionsFalseLeavesNeitherSelectedAndWritesNoOption) {
  Store("Option1", "false");
  Store("Option2", "FALSE");
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  EXPECT_FALSE(ui.per_file_option->Value());
  EXPECT_FALSE(ui.per_table_option->Value());
  EXPECT_EQ(Stored("Option1"), "false");  // untouched: no option handler ran
  EXPECT_EQ(Stored("Option2"), "FALSE");
  // The group still works afterwards: a click selects one and writes both.
  ui.per_table_option->click();
  EXPECT_EQ(Stored("Option1"), "False");
  EXPECT_EQ(Stored("Option2"), "True");
  ui.per_file_option->click();
  EXPECT_FALSE(ui.per_table_option->Value());
  EXPECT_EQ(Stored("Option1"), "True");
  EXPECT_EQ(Stored("Option2"), "False");
}

TEST_F(MainWindowSettings, UnconvertibleCheckStateIsReportedAtStep130AndLoadingGoesOn) {
  Store("Check1", "x");
  Store("PostgreSQLDatabase", "sales");
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].title, "Application Error");
  EXPECT_TRUE(
      services_.messages[0].text.starts_with("Type mismatch\r\nin Tavrix2021/08/31.Form1.Form_Load at line 130\r\r"))
      << services_.messages[0].text;
  EXPECT_EQ(ui.preview_check->Value(), widgets::CheckBox::kClear);
  EXPECT_FALSE(ui.per_file_option->isEnabled());
  EXPECT_FALSE(ui.per_table_option->isEnabled());
  EXPECT_EQ(Stored("Check1"), "0");
  EXPECT_EQ(ui.database_edit->Text(), "sales");
}

TEST_F(MainWindowSettings, OutOfRangeStateAndBadOptionReportTheirOwnSteps) {
  Store("Check1", "3");
  Store("Option2", "maybe");
  LoadedForm();
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_TRUE(services_.messages[0].text.starts_with("Invalid property value\r\n"));
  EXPECT_NE(services_.messages[0].text.find("Form1.Form_Load at line 130"), std::string::npos);
  EXPECT_NE(services_.messages[1].text.find("Form1.Form_Load at line 134"), std::string::npos);
}

TEST_F(MainWindowSettings, TypingWritesEveryKeystroke) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ui.server_edit->clear();
  std::vector<std::optional<std::string>> seen;
  QObject::connect(ui.server_edit, &QLineEdit::textChanged, [&] { seen.push_back(Stored("PostgreSQLServer")); });
  app_testing::Type(ui.server_edit, "abc");
  EXPECT_EQ(seen, (std::vector<std::optional<std::string>>{"a", "ab", "abc"}));

  // Every field has its key; the masked ones store the text as typed.
  app_testing::Type(ui.password_edit, "p*w");
  app_testing::Type(ui.target_password_edit, "x y");
  app_testing::Type(ui.user_edit, "u");
  app_testing::Type(ui.database_edit, "d");
  app_testing::Type(ui.target_file_edit, "f");
  ui.port_edit->clear();
  app_testing::Type(ui.port_edit, "1");
  EXPECT_EQ(Stored("PostgreSQLPassword"), "p*w");
  EXPECT_EQ(Stored("AccessPassword"), "x y");
  EXPECT_EQ(Stored("PostgreSQLUser"), "u");
  EXPECT_EQ(Stored("PostgreSQLDatabase"), "d");
  EXPECT_EQ(Stored("AccessMDBFile"), "f");
  EXPECT_EQ(Stored("PostgreSQLPort"), "1");
  ui.target_file_edit->clear();
  EXPECT_EQ(Stored("AccessMDBFile"), "");
}

TEST_F(MainWindowSettings, FocusSelectsTheWholeTextOnlyInItsFields) {
  Store("PostgreSQLUser", "anna");
  Store("PostgreSQLDatabase", "sales");
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ShowActive(form);
  ui.server_edit->setFocus(Qt::OtherFocusReason);
  ui.server_edit->deselect();
  app_testing::PressTab(ui.server_edit);
  ASSERT_TRUE(ui.port_edit->hasFocus());
  EXPECT_EQ(ui.port_edit->selectedText(), "5432");
  EXPECT_EQ(ui.port_edit->selectionStart(), 0);

  ui.user_edit->setCursorPosition(2);
  app_testing::PressTab(ui.port_edit);
  ASSERT_TRUE(ui.user_edit->hasFocus());
  EXPECT_FALSE(ui.user_edit->hasSelectedText());
  EXPECT_EQ(ui.user_edit->cursorPosition(), 2);

  app_testing::PressTab(ui.user_edit);
  ASSERT_TRUE(ui.password_edit->hasFocus());
  ui.database_edit->setCursorPosition(0);
  app_testing::PressTab(ui.password_edit);
  ASSERT_TRUE(ui.database_edit->hasFocus());
  EXPECT_FALSE(ui.database_edit->hasSelectedText());

  ui.target_file_edit->SetText("/tmp/a.mdb");
  ui.target_file_edit->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(ui.target_file_edit->selectedText(), "/tmp/a.mdb");
}

TEST_F(MainWindowSettings, TabOrderFollowsThePanel) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ShowActive(form);
  std::vector<QWidget*> expected = {ui.server_edit,          ui.port_edit,        ui.user_edit,
                                    ui.password_edit,        ui.database_edit,    ui.test_connection_button,
                                    ui.login_help_button,    ui.target_file_edit, ui.browse_button,
                                    ui.target_password_edit, ui.keep_types_check, ui.sample_button,
                                    ui.preview_check,
                                    ui.per_file_option};
  ui.transfer_help_button->setFocus(Qt::OtherFocusReason);
  for (QWidget* next : expected) {
    app_testing::PressTab(QApplication::focusWidget());
    ASSERT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
  }
}

TEST_F(MainWindowSettings, PasswordsAreMaskedWithStars) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  for (auto* masked : {ui.password_edit, ui.target_password_edit}) {
    EXPECT_EQ(masked->echoMode(), QLineEdit::Password);
    EXPECT_EQ(masked->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, masked), '*');
  }
  for (auto* plain : {ui.server_edit, ui.port_edit, ui.user_edit, ui.database_edit, ui.target_file_edit})
    EXPECT_EQ(plain->echoMode(), QLineEdit::Normal);
}

}  // namespace

namespace {

// The keep-types box: unticked at first and not written until the user
// changes it, then "0"/"1" as the preview box is kept; it sits in the Access
// Database frame under the password field, and the run keeps types only
// while it is ticked.
TEST_F(MainWindowSettings, KeepTypesIsStoredWhenChangedAndTellsTheRun) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  EXPECT_EQ(ui.keep_types_check->text(), "Keep column types, keys and relationships");
  EXPECT_EQ(ui.keep_types_check->parentWidget(), ui.target_frame);
  EXPECT_GT(ui.keep_types_check->y(), ui.target_password_edit->geometry().bottom());
  EXPECT_LT(ui.keep_types_check->geometry().bottom(), ui.sample_button->y());
  EXPECT_FALSE(form.KeepTypes());
  EXPECT_FALSE(Stored("KeepTypesAndKeys"));

  ui.keep_types_check->click();
  EXPECT_TRUE(form.KeepTypes());
  EXPECT_EQ(Stored("KeepTypesAndKeys"), "1");
  app::MainWindow& again = LoadedForm();
  EXPECT_TRUE(again.KeepTypes());
  EXPECT_EQ(Stored("KeepTypesAndKeys"), "1");
  again.Controls().keep_types_check->click();
  EXPECT_EQ(Stored("KeepTypesAndKeys"), "0");
}

}  // namespace
