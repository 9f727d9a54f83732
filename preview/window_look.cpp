#include "preview/window_look.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include "app/error_report.h"
#include "app/window_helpers.h"
#include "platform/ui/services.h"

namespace preview {

int Px(int twips) {
  double scale = 1.0;
  if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && screen->logicalDotsPerInch() > 0)
    scale = screen->logicalDotsPerInch() / 96.0;
  return qRound(twips / 15.0 * scale);
}

void Place(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

QFont WindowFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(9);
  font.setBold(true);
  return font;
}

QFont ButtonFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(11.25);
  font.setBold(true);
  return font;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                        int height) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromUtf8(name));
  button->setFont(ButtonFont());
  button->setAutoDefault(false);
  Place(button, left, top, width, height);
  return button;
}

int LoadWindowLook(report::Trap& trap, int step, QWidget* window, const std::string& window_name,
                   const char* caption) {
  trap(step, [&] { app::ApplyButtonFaceColors(window); });
  trap(step + 2, [&] { window->setWindowIcon(QApplication::windowIcon()); });
  trap(step + 4, [&] { window->setWindowTitle(QString::fromUtf8(caption) + " - " + kProductName); });
  const std::string pointer_file = app::HandPointerPath(ui::Current().ProgramFolder());
  bool has_pointer_file = false;
  trap(step + 6, [&] { has_pointer_file = app::FileExists(pointer_file); });
  if (has_pointer_file) trap(step + 8, [&] { app::LoadCustomPointer(window_name, pointer_file); });
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
