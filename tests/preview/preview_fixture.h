#pragma once
// What the preview tests share: one offscreen QApplication, scripted services
// whose event pump can act in the middle of a loop, the real main window as
// owner with its access_conn on a scripted target, the preview windows, and a
// way to act inside a modal window once it shows.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/artwork.h"
#include "app/main_window.h"
#include "engine/statement_sink.h"
#include "platform/ui/qt/settings_store.h"
#include "platform/ui/qt/window_pointers.h"
#include "preview/datatypes_window.h"
#include "preview/edit_line_dialog.h"
#include "preview/find_replace_dialog.h"
#include "preview/preview_windows.h"
#include "preview/sql_preview_window.h"
#include "report/error_report.h"
#include "tests/support/environment.h"
#include "tests/support/fake_provider.h"
#include "tests/support/scripted_services.h"
#include "tests/support/test_application.h"
#include "tests/support/window_test.h"

namespace preview_testing {

// The test program's application, showing the program's icon in its windows.
inline QApplication& TestApplication() {
  QApplication& application = testing_support::TestApplication();
  if (QApplication::windowIcon().isNull()) QApplication::setWindowIcon(app::AppIcon());
  return application;
}

// Scripted services whose event pump runs `on_events` with the number of the
// pass (1, 2, ...), so that a test can press buttons in the middle of a loop.
class PumpServices : public testing_support::ScriptedServices {
 public:
  void ProcessEvents() override {
    ++events_processed;
    if (on_events) on_events(events_processed);
  }
  std::function<void(long)> on_events;

  // The texts of the messages shown, in order.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : messages) texts.push_back(m.text);
    return texts;
  }
  // How many "Application Error" reports were shown.
  int Reports() const {
    int n = 0;
    for (const auto& m : messages) n += m.title == "Application Error";
    return n;
  }
};

// Runs `action` on the next modal window other than the one active now, once
// it shows. A window still open after two minutes is closed, so that a broken
// test fails instead of hanging (far beyond what a loaded machine needs).
inline void WhenModal(std::function<void(QWidget*)> action) {
  QWidget* before = QApplication::activeModalWidget();
  auto* timer = new QTimer;
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, [timer, before, action] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == before || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    QPointer<QWidget> guard = modal;
    QTimer::singleShot(120000, [guard] {
      if (guard && guard->isVisible()) {
        ADD_FAILURE() << "a modal window was left open: " << guard->objectName().toStdString();
        guard->close();
      }
    });
    action(modal);
  });
  timer->start();
}

// A left click on a row of a list, as the window system delivers it.
inline void ClickRow(QAbstractItemView* view, int row_from_1) {
  const QModelIndex index = view->model()->index(row_from_1 - 1, 0);
  view->scrollTo(index);
  const QRect rect = view->visualRect(index);
  const QPoint at(rect.left() + rect.width() / 2, rect.center().y());
  QMouseEvent press(QEvent::MouseButtonPress, at, view->viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &release);
}

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();  // with the program's icon
    folder_ = testing_support::StartWindowTest();
    services_.program_folder = folder_;
    store_ = std::make_unique<ui::SettingsStore>(QString::fromStdString(folder_ + "/Pelmora.conf"));
    main_window_ = std::make_unique<app::MainWindow>(*store_);
    // As the program ends: every event loop returns.
    main_window_->end_program = [this] {
      ended_ = true;
      QCoreApplication::exit(0);
    };
    target_ = std::make_shared<testing_support::FakeTarget>();
    main_window_->AccessConn() = testing_support::FakeConnection(target_);
    preview_ = std::make_unique<preview::PreviewWindows>(main_window_.get(), main_window_->AccessConn(),
                                                         main_window_->State());
    main_window_->State().end_after_preview = true;
  }
  void TearDown() override {
    preview_.reset();
    main_window_.reset();
    store_.reset();
    report::ResetEndForTests();
    if (ended_) {
      // Exiting leaves every later event loop returning at once; running the
      // application's own loop once clears that for the next test.
      QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
      QCoreApplication::exec();
    }
  }

  static std::string TestName() { return testing_support::TestName(); }

  // The run's side: the list emptied and filled.
  void Fill(const std::vector<std::string>& statements) {
    preview_->Clear();
    for (const auto& s : statements) preview_->Append(s);
  }
  // Shows the preview as the run does, with `user` acting in it once it shows.
  void Show(std::function<void(preview::SqlPreviewWindow&)> user) {
    WhenModal([this, user](QWidget*) { user(Window()); });
    preview_->ShowPreview();
  }
  preview::SqlPreviewWindow& Window() { return preview_->Window(); }
  preview::StatementList& Rows() { return preview_->Statements(); }

  PumpServices services_;
  std::string folder_;
  std::unique_ptr<ui::SettingsStore> store_;
  std::unique_ptr<app::MainWindow> main_window_;
  std::shared_ptr<testing_support::FakeTarget> target_;
  std::unique_ptr<preview::PreviewWindows> preview_;
  bool ended_ = false;
};

// Statements of one table with `rows` rows: drop, create, inserts.
inline std::vector<std::string> TableStatements(const std::string& table, int rows, bool with_drop = false) {
  std::vector<std::string> statements;
  if (with_drop) statements.push_back("DROP TABLE \"" + table + "\"");
  statements.push_back("CREATE TABLE \"" + table + "\" (\"id\" INTEGER, \"name\" VARCHAR(50), \"note\" VARCHAR(255));");
  for (int i = 1; i <= rows; ++i)
    statements.push_back("INSERT INTO \"" + table + "\" VALUES(" + std::to_string(i) + ",'n" + std::to_string(i) +
                         "','x')");
  return statements;
}

}  // namespace preview_testing
