#pragma once
// What the main-window tests share: one offscreen QApplication for the test
// program, the scripted services, a private settings file per test, and mouse
// and key events delivered as the window system would.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSettings>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "platform/ui/qt/settings_store.h"
#include "platform/ui/qt/window_pointers.h"
#include "report/error_report.h"
#include "tests/support/environment.h"
#include "tests/support/scripted_services.h"
#include "tests/support/test_application.h"
#include "tests/support/window_test.h"

namespace app_testing {

using testing_support::TestApplication;

using testing_support::TestName;

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing_support::StartWindowTest();
    settings_file_ = QString::fromStdString(folder_ + "/Pelmora.conf");
    services_.program_folder = folder_;
  }
  void TearDown() override {
    form_.reset();
    store_.reset();
    report::ResetEndForTests();
  }

  // Values placed in the file before the store opens it, as a previous run left them.
  void Store(const char* key, const char* value) {
    QSettings file(settings_file_, QSettings::IniFormat);
    file.setValue(QStringLiteral("Pelmora/%1").arg(key), QString::fromUtf8(value));
  }
  // What the file holds now, read independently of the store.
  std::optional<std::string> Stored(const char* key) const {
    QSettings file(settings_file_, QSettings::IniFormat);
    const QVariant value = file.value(QStringLiteral("Pelmora/%1").arg(key));
    if (!value.isValid()) return std::nullopt;
    return value.toString().toStdString();
  }

  app::MainWindow& MakeForm() {
    form_.reset();
    store_ = std::make_unique<ui::SettingsStore>(settings_file_);
    form_ = std::make_unique<app::MainWindow>(*store_);
    form_->end_program = [this] { ++ends_; };
    return *form_;
  }
  // The settings steps of the loading sequence, as start-up runs them.
  app::MainWindow& LoadedForm() {
    app::MainWindow& form = MakeForm();
    report::Trap trap("Form1.Form_Load");
    form.LoadSettings(trap);
    return form;
  }
  void ShowActive(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
  }

  testing_support::ScriptedServices services_;
  std::string folder_;
  QString settings_file_;
  std::unique_ptr<ui::SettingsStore> store_;
  std::unique_ptr<app::MainWindow> form_;
  int ends_ = 0;
};

// Keys typed into the focused widget (or `target`).
inline void Type(QWidget* target, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(target, &release);
  }
}

inline void PressTab(QWidget* from) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
  QApplication::sendEvent(from, &press);
  QApplication::processEvents();
}

// A mouse move (no button) to `local` in `receiver`, delivered to it as the
// window system delivers it: to the widget under the pointer, then to its
// parents while none takes it.
inline void MouseMove(QWidget* receiver, QPoint local) {
  const QPointF global = receiver->mapToGlobal(QPointF(local));
  QMouseEvent move(QEvent::MouseMove, QPointF(local), receiver->window()->mapFromGlobal(global), global,
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(receiver, &move);
}

// A point of `element` that no child of it covers.
inline QPoint BarePoint(QWidget* element) {
  for (int y = element->height() - 2; y > 0; y -= 2) {
    for (int x = 2; x < element->width(); x += 3) {
      if (!element->childAt(x, y)) return {x, y};
    }
  }
  ADD_FAILURE() << "no bare point";
  return {};
}

// Moves the mouse over `element` at a point of its own, delivered to the
// widget under it.
inline void HoverOver(QWidget* element) { MouseMove(element, BarePoint(element)); }

}  // namespace app_testing
