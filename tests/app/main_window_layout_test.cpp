// The main window as the user sees it: captions, grouping, fonts, and captions
// that show whole without controls covering each other.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QKeyEvent>

#include "widgets/controls.h"
#include "tests/app/app_fixture.h"
#include "tests/support/readable_layout.h"

namespace {

using app_testing::AppTest;

class MainWindowLayout : public AppTest {};

TEST_F(MainWindowLayout, CaptionsAndGroupingAreThePanels) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  EXPECT_EQ(ui.source_frame->title(), "PostgreSQL Database");
  EXPECT_EQ(ui.target_frame->title(), "Access Database");
  EXPECT_EQ(ui.preview_frame->title(), "SQL Preview");
  const std::vector<std::pair<QWidget*, QWidget*>> parent_of = {
      {ui.server_edit, ui.source_frame},  {ui.port_edit, ui.source_frame},   {ui.user_edit, ui.source_frame},
      {ui.password_edit, ui.source_frame},  {ui.database_edit, ui.source_frame},  {ui.test_connection_button, ui.source_frame},
      {ui.login_help_button, ui.source_frame}, {ui.target_file_edit, ui.target_frame}, {ui.browse_button, ui.target_frame},
      {ui.target_password_edit, ui.target_frame},  {ui.sample_button, ui.target_frame}, {ui.preview_check, ui.preview_frame},
      {ui.per_file_option, ui.preview_frame}, {ui.per_table_option, ui.preview_frame}, {ui.start_button, &form},
      {ui.transfer_help_button, &form},  {ui.progress_bar, &form}};
  for (auto [child, parent] : parent_of) EXPECT_EQ(child->parentWidget(), parent);

  const std::vector<std::pair<QAbstractButton*, const char*>> buttons = {
      {ui.transfer_help_button, "Help"}, {ui.test_connection_button, "Test Connection"}, {ui.login_help_button, "Help"},
      {ui.browse_button, "..."}, {ui.sample_button, "Load Sample/Example Database"},
      {ui.start_button, "Start Converting"},
      {ui.preview_check, "Enable SQL Preview mode to see SQL commands or check for errors"},
      {ui.per_file_option, "Show SQL Preview For Each File"}, {ui.per_table_option, "Show SQL Preview For Each Table"}};
  for (auto [button, caption] : buttons) EXPECT_EQ(button->text(), caption);
  const std::vector<std::pair<QLabel*, const char*>> labels = {
      {ui.server_label, "Server:"}, {ui.port_label, "Port:"}, {ui.user_label, "Username:"}, {ui.password_label, "Password:"},
      {ui.database_label, "Database:"}, {ui.target_file_label, "MDB or ACCDB File:"}, {ui.target_password_label, "Password (if required):"}};
  for (auto [label, caption] : labels) EXPECT_EQ(label->text(), caption);
  EXPECT_EQ(ui.progress_bar->text(), "Progress Bar");
}

TEST_F(MainWindowLayout, FontsAndCaptionsFitTheirPlaces) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  EXPECT_TRUE(form.font().bold());
  EXPECT_DOUBLE_EQ(form.font().pointSizeF(), 9.0);
  EXPECT_DOUBLE_EQ(ui.sample_button->font().pointSizeF(), 11.25);
  EXPECT_TRUE(ui.sample_button->font().bold());
  const QString family = QFontInfo(form.font()).family();
  PELMORA_REQUIRE(family.contains("Liberation Sans") || family == "Arial",
                  "Arial or Liberation Sans (fonts-liberation2), the font the sizes are made for");
  testing_support::ExpectReadableLayout(form);
}

TEST(Controls, MultiLineBoxPassesTabOnAndProgressCaptionIsText) {
  app_testing::TestApplication();
  QWidget window;
  auto* lines = new widgets::MultiLineTextBox(&window);
  auto* next = new QLineEdit(&window);
  window.show();
  QApplication::setActiveWindow(&window);
  lines->setFocus();
  QApplication::processEvents();
  app_testing::PressTab(lines);
  EXPECT_TRUE(next->hasFocus());
  EXPECT_EQ(lines->toPlainText(), "");

  widgets::ProgressBar bar(nullptr);
  bar.SetCaption("Please wait.. Processing table 100%p");
  EXPECT_EQ(bar.text(), "Please wait.. Processing table 100%p");
}

}  // namespace
