#include "preview/window_look.h"

#include <QApplication>

#include "platform/ui/services.h"
#include "report/error_report.h"
#include "widgets/window_helpers.h"

namespace preview {

int LoadWindowLook(report::Trap& trap, int step, QWidget* window, const std::string& window_name,
                   const char* caption) {
  trap(step, [&] { widgets::ApplyButtonFaceColors(window); });
  trap(step + 2, [&] { window->setWindowIcon(QApplication::windowIcon()); });
  trap(step + 4, [&] { window->setWindowTitle(QString::fromUtf8(caption) + " - " + kProductName); });
  const std::string pointer_file = widgets::HandPointerPath(ui::Current().ProgramFolder());
  bool has_pointer_file = false;
  trap(step + 6, [&] { has_pointer_file = widgets::FileExists(pointer_file); });
  if (has_pointer_file) trap(step + 8, [&] { widgets::LoadCustomPointer(window_name, pointer_file); });
  return step + 10;
}

}  // namespace preview

#include <QDialog>

namespace preview {

void ShowModal(QDialog* dialog) {
  if (report::EndRequested()) return;
  dialog->exec();
}

}  // namespace preview
