// The main window's settings: loading with its handlers, writing back on every
// change, the check box states and the option group.
#include <gtest/gtest.h>

#include <QStyle>

#include "tests/app/app_fixture.h"

namespace {

using app_testing::AppTest;

class Form1Settings : public AppTest {};

TEST_F(Form1Settings, FirstStartShowsDefaultsAndWritesOnlyWhatChanged) {
  app::Form1& form = LoadedForm();

  EXPECT_EQ(form.Text1->Text(), "localhost");
  EXPECT_EQ(form.Text9->Text(), "5432");
  for (auto* empty : {form.Text3, form.Text7, form.Text10, form.Text5, form.Text6}) EXPECT_EQ(empty->Text(), "");
  EXPECT_EQ(form.Check1->Value(), app::CheckBox::kTicked);
  EXPECT_TRUE(form.Option1->Value());
  EXPECT_FALSE(form.Option2->Value());
  EXPECT_TRUE(form.Option1->isEnabled());
  EXPECT_TRUE(form.Option2->isEnabled());
  EXPECT_TRUE(services_.messages.empty());

  EXPECT_EQ(Stored("PostgreSQLServer"), "localhost");
  EXPECT_EQ(Stored("PostgreSQLPort"), "5432");
  EXPECT_EQ(Stored("Check1"), "1");
  QSettings file(settings_file_, QSettings::IniFormat);
  file.beginGroup("Pelmora");
  EXPECT_EQ(file.childKeys().size(), 3) << file.childKeys().join(",").toStdString();
}

TEST_F(Form1Settings, StoredValuesComeBackExactly) {
  Store("PostgreSQLServer", "  db.example.org ");
  Store("PostgreSQLPort", "6543");
  Store("PostgreSQLUser", "anna;x=1");
  Store("PostgreSQLPassword", "pä\"ss wörd");
  Store("PostgreSQLDatabase", "sales");
  Store("AccessMDBFile", "/home/anna/My Files/Data.ACCDB");
  Store("AccessPassword", "=secret,1");
  app::Form1& form = LoadedForm();

  EXPECT_EQ(form.Text1->Text(), "  db.example.org ");
  EXPECT_EQ(form.Text9->Text(), "6543");
  EXPECT_EQ(form.Text3->Text(), "anna;x=1");
  EXPECT_EQ(form.Text7->Text(), "pä\"ss wörd");
  EXPECT_EQ(form.Text10->Text(), "sales");
  EXPECT_EQ(form.Text5->Text(), "/home/anna/My Files/Data.ACCDB");
  EXPECT_EQ(form.Text6->Text(), "=secret,1");
  const db::SourceFields source = form.SourceFields();
  EXPECT_EQ(source.server, "  db.example.org ");
  EXPECT_EQ(source.password, "pä\"ss wörd");
  EXPECT_EQ(form.TargetFields().path, "/home/anna/My Files/Data.ACCDB");
  // Written back by the load itself, and still exact.
  EXPECT_EQ(Stored("PostgreSQLPassword"), "pä\"ss wörd");
  EXPECT_EQ(Stored("AccessPassword"), "=secret,1");
}

TEST_F(Form1Settings, ClearCheckBoxDisablesBothOptionsWhicheverIsSelected) {
  Store("Check1", "0");
  Store("Option1", "False");
  Store("Option2", "True");
  app::Form1& form = LoadedForm();
  EXPECT_EQ(form.Check1->Value(), app::CheckBox::kClear);
  EXPECT_FALSE(form.Option1->isEnabled());
  EXPECT_FALSE(form.Option2->isEnabled());
  EXPECT_TRUE(form.Option2->Value());
  EXPECT_EQ(Stored("Check1"), "0");  // step 150 always rewrites it
}

TEST_F(Form1Settings, GreyedCheckBoxKeepsItsStateAndDisablesTheOptions) {
  Store("Check1", "2");
  app::Form1& form = LoadedForm();
  EXPECT_EQ(form.Check1->Value(), app::CheckBox::kGreyed);
  EXPECT_EQ(form.Check1->checkState(), Qt::PartiallyChecked);
  EXPECT_FALSE(form.Option1->isEnabled());
  EXPECT_EQ(Stored("Check1"), "2");
  // A click on a greyed box ticks it; the next one clears it.
  form.Check1->click();
  EXPECT_EQ(form.Check1->Value(), app::CheckBox::kTicked);
  EXPECT_TRUE(form.Option1->isEnabled());
  EXPECT_EQ(Stored("Check1"), "1");
  form.Check1->click();
  EXPECT_EQ(form.Check1->Value(), app::CheckBox::kClear);
  EXPECT_EQ(Stored("Check1"), "0");
}

TEST_F(Form1Settings, BothOptionsTrueLeavesTheSecondSelectedAndRewritesBoth) {
  Store("Option1", "True");
  Store("Option2", "True");
  app::Form1& form = LoadedForm();
  EXPECT_FALSE(form.Option1->Value());
  EXPECT_TRUE(form.Option2->Value());
  EXPECT_EQ(Stored("Option1"), "False");
  EXPECT_EQ(Stored("Option2"), "True");
}

TEST_F(Form1Settings, BothOptionsFalseLeavesNeitherSelectedAndWritesNoOption) {
  Store("Option1", "false");
  Store("Option2", "FALSE");
  app::Form1& form = LoadedForm();
  EXPECT_FALSE(form.Option1->Value());
  EXPECT_FALSE(form.Option2->Value());
  EXPECT_EQ(Stored("Option1"), "false");  // untouched: no option handler ran
  EXPECT_EQ(Stored("Option2"), "FALSE");
  // The group still works afterwards: a click selects one and writes both.
  form.Option2->click();
  EXPECT_EQ(Stored("Option1"), "False");
  EXPECT_EQ(Stored("Option2"), "True");
  form.Option1->click();
  EXPECT_FALSE(form.Option2->Value());
  EXPECT_EQ(Stored("Option1"), "True");
  EXPECT_EQ(Stored("Option2"), "False");
}

TEST_F(Form1Settings, UnconvertibleCheckStateIsReportedAtStep130AndLoadingGoesOn) {
  Store("Check1", "x");
  Store("PostgreSQLDatabase", "sales");
  app::Form1& form = LoadedForm();
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].title, "Application Error");
  EXPECT_TRUE(services_.messages[0].text.starts_with("Type mismatch\r\nin Tavrix2021/08/31.Form1.Form_Load at line 130\r\r"))
      << services_.messages[0].text;
  EXPECT_EQ(form.Check1->Value(), app::CheckBox::kClear);
  EXPECT_FALSE(form.Option1->isEnabled());
  EXPECT_FALSE(form.Option2->isEnabled());
  EXPECT_EQ(Stored("Check1"), "0");
  EXPECT_EQ(form.Text10->Text(), "sales");
}

TEST_F(Form1Settings, OutOfRangeStateAndBadOptionReportTheirOwnSteps) {
  Store("Check1", "3");
  Store("Option2", "maybe");
  LoadedForm();
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_TRUE(services_.messages[0].text.starts_with("Invalid property value\r\n"));
  EXPECT_NE(services_.messages[0].text.find("Form1.Form_Load at line 130"), std::string::npos);
  EXPECT_NE(services_.messages[1].text.find("Form1.Form_Load at line 134"), std::string::npos);
}

TEST_F(Form1Settings, TypingWritesEveryKeystroke) {
  app::Form1& form = LoadedForm();
  form.Text1->clear();
  std::vector<std::optional<std::string>> seen;
  QObject::connect(form.Text1, &QLineEdit::textChanged, [&] { seen.push_back(Stored("PostgreSQLServer")); });
  app_testing::Type(form.Text1, "abc");
  EXPECT_EQ(seen, (std::vector<std::optional<std::string>>{"a", "ab", "abc"}));

  // Every field has its key; the masked ones store the text as typed.
  app_testing::Type(form.Text7, "p*w");
  app_testing::Type(form.Text6, "x y");
  app_testing::Type(form.Text3, "u");
  app_testing::Type(form.Text10, "d");
  app_testing::Type(form.Text5, "f");
  form.Text9->clear();
  app_testing::Type(form.Text9, "1");
  EXPECT_EQ(Stored("PostgreSQLPassword"), "p*w");
  EXPECT_EQ(Stored("AccessPassword"), "x y");
  EXPECT_EQ(Stored("PostgreSQLUser"), "u");
  EXPECT_EQ(Stored("PostgreSQLDatabase"), "d");
  EXPECT_EQ(Stored("AccessMDBFile"), "f");
  EXPECT_EQ(Stored("PostgreSQLPort"), "1");
  form.Text5->clear();
  EXPECT_EQ(Stored("AccessMDBFile"), "");
}

TEST_F(Form1Settings, FocusSelectsTheWholeTextOnlyInItsFields) {
  Store("PostgreSQLUser", "anna");
  Store("PostgreSQLDatabase", "sales");
  app::Form1& form = LoadedForm();
  ShowActive(form);
  form.Text1->setFocus(Qt::OtherFocusReason);
  form.Text1->deselect();
  app_testing::PressTab(form.Text1);
  ASSERT_TRUE(form.Text9->hasFocus());
  EXPECT_EQ(form.Text9->selectedText(), "5432");
  EXPECT_EQ(form.Text9->selectionStart(), 0);

  form.Text3->setCursorPosition(2);
  app_testing::PressTab(form.Text9);
  ASSERT_TRUE(form.Text3->hasFocus());
  EXPECT_FALSE(form.Text3->hasSelectedText());
  EXPECT_EQ(form.Text3->cursorPosition(), 2);

  app_testing::PressTab(form.Text3);
  ASSERT_TRUE(form.Text7->hasFocus());
  form.Text10->setCursorPosition(0);
  app_testing::PressTab(form.Text7);
  ASSERT_TRUE(form.Text10->hasFocus());
  EXPECT_FALSE(form.Text10->hasSelectedText());

  form.Text5->SetText("/tmp/a.mdb");
  form.Text5->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(form.Text5->selectedText(), "/tmp/a.mdb");
}

TEST_F(Form1Settings, TabOrderFollowsThePanel) {
  app::Form1& form = LoadedForm();
  ShowActive(form);
  std::vector<QWidget*> expected = {form.Text1, form.Text9, form.Text3, form.Text7, form.Text10, form.PushButton1,
                                    form.PushButton2, form.Text5, form.PushButton3, form.Text6, form.PushButton4,
                                    form.Check1, form.Option1};
  form.PushButton5->setFocus(Qt::OtherFocusReason);
  for (QWidget* next : expected) {
    app_testing::PressTab(QApplication::focusWidget());
    ASSERT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
  }
}

TEST_F(Form1Settings, PasswordsAreMaskedWithStars) {
  app::Form1& form = LoadedForm();
  for (auto* masked : {form.Text7, form.Text6}) {
    EXPECT_EQ(masked->echoMode(), QLineEdit::Password);
    EXPECT_EQ(masked->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, masked), '*');
  }
  for (auto* plain : {form.Text1, form.Text9, form.Text3, form.Text10, form.Text5})
    EXPECT_EQ(plain->echoMode(), QLineEdit::Normal);
}

}  // namespace
