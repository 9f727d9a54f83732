// The main window as the user sees it: captions, grouping, fonts, and captions
// that show whole without controls covering each other.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QKeyEvent>

#include "app/controls.h"
#include "tests/app/app_fixture.h"
#include "tests/support/readable_layout.h"

namespace {

using app_testing::AppTest;

class Form1Layout : public AppTest {};

TEST_F(Form1Layout, CaptionsAndGroupingAreThePanels) {
  app::Form1& form = LoadedForm();
  EXPECT_EQ(form.Frame1->title(), "PostgreSQL Database");
  EXPECT_EQ(form.Frame3->title(), "Access Database");
  EXPECT_EQ(form.Frame2->title(), "SQL Preview");
  const std::vector<std::pair<QWidget*, QWidget*>> parent_of = {
      {form.Text1, form.Frame1},  {form.Text9, form.Frame1},   {form.Text3, form.Frame1},
      {form.Text7, form.Frame1},  {form.Text10, form.Frame1},  {form.PushButton1, form.Frame1},
      {form.PushButton2, form.Frame1}, {form.Text5, form.Frame3}, {form.PushButton3, form.Frame3},
      {form.Text6, form.Frame3},  {form.PushButton4, form.Frame3}, {form.Check1, form.Frame2},
      {form.Option1, form.Frame2}, {form.Option2, form.Frame2}, {form.PushButton7, &form},
      {form.PushButton5, &form},  {form.ProgressBar1, &form}};
  for (auto [child, parent] : parent_of) EXPECT_EQ(child->parentWidget(), parent);

  const std::vector<std::pair<QAbstractButton*, const char*>> buttons = {
      {form.PushButton5, "Help"}, {form.PushButton1, "Test Connection"}, {form.PushButton2, "Help"},
      {form.PushButton3, "..."}, {form.PushButton4, "Load Sample/Example Database"},
      {form.PushButton7, "Start Converting"},
      {form.Check1, "Enable SQL Preview mode to see SQL commands or check for errors"},
      {form.Option1, "Show SQL Preview For Each File"}, {form.Option2, "Show SQL Preview For Each Table"}};
  for (auto [button, caption] : buttons) EXPECT_EQ(button->text(), caption);
  const std::vector<std::pair<QLabel*, const char*>> labels = {
      {form.Label6, "Server:"}, {form.Label8, "Port:"}, {form.Label2, "Username:"}, {form.Label7, "Password:"},
      {form.Label9, "Database:"}, {form.Label5, "MDB or ACCDB File:"}, {form.lblPassword, "Password (if required):"}};
  for (auto [label, caption] : labels) EXPECT_EQ(label->text(), caption);
  EXPECT_EQ(form.ProgressBar1->text(), "Progress Bar");
}

TEST_F(Form1Layout, FontsAndCaptionsFitTheirPlaces) {
  app::Form1& form = LoadedForm();
  EXPECT_TRUE(form.font().bold());
  EXPECT_DOUBLE_EQ(form.font().pointSizeF(), 9.0);
  EXPECT_DOUBLE_EQ(form.PushButton4->font().pointSizeF(), 11.25);
  EXPECT_TRUE(form.PushButton4->font().bold());
  const QString family = QFontInfo(form.font()).family();
  PELMORA_REQUIRE(family.contains("Liberation Sans") || family == "Arial",
                  "Arial or Liberation Sans (fonts-liberation2), the font the sizes are made for");
  testing_support::ExpectReadableLayout(form);
}

TEST(Controls, MultiLineBoxPassesTabOnAndProgressCaptionIsText) {
  app_testing::TestApplication();
  QWidget window;
  auto* lines = new app::MultiLineTextBox(&window);
  auto* next = new QLineEdit(&window);
  window.show();
  QApplication::setActiveWindow(&window);
  lines->setFocus();
  QApplication::processEvents();
  app_testing::PressTab(lines);
  EXPECT_TRUE(next->hasFocus());
  EXPECT_EQ(lines->toPlainText(), "");

  app::ProgressBar bar(nullptr);
  bar.SetCaption("Please wait.. Processing table 100%p");
  EXPECT_EQ(bar.text(), "Please wait.. Processing table 100%p");
}

}  // namespace
