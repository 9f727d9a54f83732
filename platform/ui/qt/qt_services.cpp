#include "platform/ui/qt/qt_services.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QTime>
#include <QUrl>
#include <QWidget>

#include "platform/ui/qt/dialog_texts.h"
#include "platform/ui/qt/window_pointers.h"

namespace ui {
namespace {
bool g_ending = false;
}

void QtServices::EndProgram() {
  g_ending = true;
  QCoreApplication::exit(0);
}

bool QtServices::Ending() { return g_ending; }

QtServices::QtServices() : random_(uint32_t(QTime::currentTime().msecsSinceStartOfDay())) {}

QWidget* QtServices::DialogOwner() {
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->isVisible() && top->isWindow()) return top;
  }
  return nullptr;
}

Answer QtServices::MessageBox(const std::string& text, Buttons buttons, Icon icon,
                              const std::string& title) {
  if (g_ending) return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
  QMessageBox box(DialogOwner());
  box.setWindowTitle(QString::fromStdString(title.empty() ? ApplicationTitle() : title));
  box.setTextFormat(Qt::PlainText);  // database messages may hold "<" and "&"
  box.setText(DisplayText(text));
  box.setIcon(icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
  if (buttons == Buttons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int pressed = box.exec();
  if (buttons == Buttons::Ok) return Answer::Ok;
  return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtServices::ProcessEvents() {
  if (since_events_.isValid() && since_events_.elapsed() < kEventIntervalMs) return;
  QCoreApplication::processEvents();
  since_events_.start();
}

void QtServices::SetPointer(const std::string& window, int pointer) {
  WindowPointers::Set(window, pointer);
  // A long action that sets the hourglass may block before the next pass of the
  // event loop; let the new pointer reach the screen now.
  if (pointer == kPointerHourglass) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

std::optional<std::string> QtServices::OpenFileDialog(const FileDialogRequest& request) {
  if (g_ending) return std::nullopt;
  QFileDialog dialog(DialogOwner(), QString::fromStdString(request.title));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // Qt's own dialog matches the patterns without regard to case, as the
  // program's users expect (Data.ACCDB is an Access file too).
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  const QStringList filters = NameFilters(request.filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(chosen.front()).toStdString();
}

bool QtServices::ClearClipboard() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return false;
  clipboard->clear();
  return true;
}

bool QtServices::SetClipboardText(const std::string& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return false;
  clipboard->setText(QString::fromStdString(text));
  return true;
}

void QtServices::OpenUrl(const std::string& url) {
  QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::TolerantMode));
}

double QtServices::Random() {
  // generate_canonical may round up to 1.0; Rnd never gives it.
  const double r = std::uniform_real_distribution<double>(0.0, 1.0)(random_);
  return r < 1.0 ? r : 0.0;
}

std::string QtServices::ProgramFolder() {
  return QCoreApplication::applicationDirPath().toStdString();
}

}  // namespace ui
