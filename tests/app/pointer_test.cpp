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
  app::Form1& form = LoadedForm();
  ShowActive(form);
  for (QWidget* button : {form.PushButton1, form.PushButton2, form.PushButton3, form.PushButton4, form.PushButton5,
                          form.PushButton7}) {
    WindowPointers::Set("Form1", ui::kPointerDefault);
    HoverOver(button);
    EXPECT_EQ(Now(), ui::kPointerCustom) << button->objectName().toStdString();
  }
  for (QWidget* element : std::initializer_list<QWidget*>{&form, form.Frame1, form.Frame2, form.Frame3, form.Text1,
                                                          form.Text5, form.Text6, form.Text7}) {
    WindowPointers::Set("Form1", ui::kPointerCustom);
    HoverOver(element);
    EXPECT_EQ(Now(), ui::kPointerDefault) << element->objectName().toStdString();
  }
}

TEST_F(Pointer, ElementsWithoutARuleKeepThePointer) {
  app::Form1& form = LoadedForm();
  ShowActive(form);
  HoverOver(form.PushButton1);
  ASSERT_EQ(Now(), ui::kPointerCustom);
  // From a button onto Port, Username, Database, a label or an option: still the hand.
  for (QWidget* element : std::initializer_list<QWidget*>{form.Text9, form.Text3, form.Text10, form.Label6,
                                                          form.Check1, form.Option1, form.ProgressBar1}) {
    HoverOver(element);
    EXPECT_EQ(Now(), ui::kPointerCustom) << element->objectName().toStdString();
  }
  // The same move as it reaches the frame when the field lets it pass.
  app_testing::MouseMove(form.Frame1, form.Text9->geometry().center());
  EXPECT_EQ(Now(), ui::kPointerCustom);
}

TEST_F(Pointer, NoHoverReplacesTheHourglass) {
  app::Form1& form = LoadedForm();
  ShowActive(form);
  ui::QtServices services;  // as the actions set it
  services.SetPointer("Form1", ui::kPointerHourglass);
  for (QWidget* element : std::initializer_list<QWidget*>{form.PushButton7, &form, form.Frame1, form.Text1}) {
    HoverOver(element);
    EXPECT_EQ(Now(), ui::kPointerHourglass);
  }
  EXPECT_EQ(form.PushButton7->cursor().shape(), Qt::WaitCursor);
  EXPECT_EQ(form.Text1->cursor().shape(), Qt::WaitCursor);
  services.SetPointer("Form1", ui::kPointerDefault);
  HoverOver(form.PushButton7);
  EXPECT_EQ(Now(), ui::kPointerCustom);
}

TEST_F(Pointer, WithoutTheCursorFileTheHandIsTheArrow) {
  app::Form1& form = LoadedForm();
  ShowActive(form);
  HoverOver(form.PushButton4);
  EXPECT_EQ(Now(), ui::kPointerCustom);
  EXPECT_EQ(form.PushButton4->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Pointer, TheWindowPointerWinsOverTheControlsOwnCursors) {
  app::Form1& form = LoadedForm();
  ShowActive(form);
  // A line edit brings its own I-beam; the window's arrow covers it.
  EXPECT_EQ(form.Text9->cursor().shape(), Qt::ArrowCursor);

  const QString file = QString::fromStdString(folder_ + "/HAND-M.CUR");
  QFile out(file);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write(ui::EncodeCursorFile(app::DrawHandPointer(), app::kHandPointerHotspot));
  out.close();
  WindowPointers::SetCustomImage("Form1", ui::LoadCursorFile(file));
  HoverOver(form.PushButton2);
  for (QWidget* widget : std::initializer_list<QWidget*>{form.PushButton2, form.Text9, form.Text1, &form}) {
    EXPECT_EQ(widget->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(widget->cursor().hotSpot(), app::kHandPointerHotspot);
  }
  HoverOver(form.Frame3);
  EXPECT_EQ(form.Text9->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Pointer, SecondaryWindowsKeepTheirOwnPointer) {
  app::Form1& form = LoadedForm();
  QWidget secondary(&form, Qt::Dialog);
  QWidget* inside = new QWidget(&secondary);
  WindowPointers::Set("Form1", ui::kPointerHourglass);
  EXPECT_EQ(form.PushButton1->cursor().shape(), Qt::WaitCursor);
  EXPECT_NE(inside->cursor().shape(), Qt::WaitCursor);
  EXPECT_NE(secondary.cursor().shape(), Qt::WaitCursor);
}

}  // namespace
