// The window pointer: the hover rule of the main window, the hourglass that no
// hover replaces, and the pointer winning over the controls' own cursors.
#include <gtest/gtest.h>

#include <QFile>

#include "app/artwork.h"
#include "platform/ui/qt/cursor_file.h"
#include "platform/ui/qt/qt_services.h"
#include "tests/app/app_fixture.h"

namespace {

using app_testing::AppTest;
using app_testing::HoverOver;
using ui::WindowPointers;

class Pointer : public AppTest {
 protected:
  int Now() const { return WindowPointers::Get("Form1"); }
};

TEST_F(Pointer, ButtonsShowTheHandAndTheListedElementsTheArrow) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ShowActive(form);
  for (QWidget* button : {ui.test_connection_button, ui.login_help_button, ui.browse_button, ui.sample_button,
                          ui.transfer_help_button, ui.start_button}) {
    WindowPointers::Set("Form1", ui::kPointerDefault);
    HoverOver(button);
    EXPECT_EQ(Now(), ui::kPointerCustom) << button->objectName().toStdString();
  }
  for (QWidget* element :
       std::initializer_list<QWidget*>{&form, ui.source_frame, ui.preview_frame, ui.target_frame, ui.server_edit,
                                       ui.target_file_edit, ui.target_password_edit, ui.password_edit}) {
    WindowPointers::Set("Form1", ui::kPointerCustom);
    HoverOver(element);
    EXPECT_EQ(Now(), ui::kPointerDefault) << element->objectName().toStdString();
  }
}

TEST_F(Pointer, ElementsWithoutARuleKeepThePointer) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ShowActive(form);
  HoverOver(ui.test_connection_button);
  ASSERT_EQ(Now(), ui::kPointerCustom);
  // From a button onto Port, Username, Database, a label or an option: still the hand.
  for (QWidget* element : std::initializer_list<QWidget*>{ui.port_edit, ui.user_edit, ui.database_edit, ui.server_label,
                                                          ui.preview_check, ui.per_file_option, ui.progress_bar}) {
    HoverOver(element);
    EXPECT_EQ(Now(), ui::kPointerCustom) << element->objectName().toStdString();
  }
  // The same move as it reaches the frame when the field lets it pass.
  app_testing::MouseMove(ui.source_frame, ui.port_edit->geometry().center());
  EXPECT_EQ(Now(), ui::kPointerCustom);
}

TEST_F(Pointer, NoHoverReplacesTheHourglass) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ShowActive(form);
  ui::QtServices services;  // as the actions set it
  services.SetPointer("Form1", ui::kPointerHourglass);
  for (QWidget* element : std::initializer_list<QWidget*>{ui.start_button, &form, ui.source_frame, ui.server_edit}) {
    HoverOver(element);
    EXPECT_EQ(Now(), ui::kPointerHourglass);
  }
  EXPECT_EQ(ui.start_button->cursor().shape(), Qt::WaitCursor);
  EXPECT_EQ(ui.server_edit->cursor().shape(), Qt::WaitCursor);
  services.SetPointer("Form1", ui::kPointerDefault);
  HoverOver(ui.start_button);
  EXPECT_EQ(Now(), ui::kPointerCustom);
}

TEST_F(Pointer, WithoutTheCursorFileTheHandIsTheArrow) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ShowActive(form);
  HoverOver(ui.sample_button);
  EXPECT_EQ(Now(), ui::kPointerCustom);
  EXPECT_EQ(ui.sample_button->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Pointer, TheWindowPointerWinsOverTheControlsOwnCursors) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ShowActive(form);
  // A line edit brings its own I-beam; the window's arrow covers it.
  EXPECT_EQ(ui.port_edit->cursor().shape(), Qt::ArrowCursor);

  const QString file = QString::fromStdString(folder_ + "/HAND-M.CUR");
  QFile out(file);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write(ui::EncodeCursorFile(app::DrawHandPointer(), app::kHandPointerHotspot));
  out.close();
  WindowPointers::SetCustomImage("Form1", ui::LoadCursorFile(file));
  HoverOver(ui.login_help_button);
  for (QWidget* widget : std::initializer_list<QWidget*>{ui.login_help_button, ui.port_edit, ui.server_edit, &form}) {
    EXPECT_EQ(widget->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(widget->cursor().hotSpot(), app::kHandPointerHotspot);
  }
  HoverOver(ui.target_frame);
  EXPECT_EQ(ui.port_edit->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Pointer, SecondaryWindowsKeepTheirOwnPointer) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  QWidget secondary(&form, Qt::Dialog);
  QWidget* inside = new QWidget(&secondary);
  WindowPointers::Set("Form1", ui::kPointerHourglass);
  EXPECT_EQ(ui.test_connection_button->cursor().shape(), Qt::WaitCursor);
  EXPECT_NE(inside->cursor().shape(), Qt::WaitCursor);
  EXPECT_NE(secondary.cursor().shape(), Qt::WaitCursor);
}

}  // namespace
