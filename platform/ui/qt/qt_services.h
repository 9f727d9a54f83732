#pragma once
// ui::Services on Qt Widgets: QMessageBox, QFileDialog, QClipboard,
// QDesktopServices, the window pointers and the event pump.

#include <QElapsedTimer>
#include <random>

#include "platform/ui/services.h"

class QWidget;

namespace ui {

class QtServices : public Services {
 public:
  QtServices();

  Answer MessageBox(const std::string& text, Buttons buttons, Icon icon,
                    const std::string& title) override;
  // Returns at once when the last pass ran less than kEventInterval ago, so that
  // loops may call it for every row without being slowed down by it.
  void ProcessEvents() override;
  void SetPointer(const std::string& window, int pointer) override;
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  bool ClearClipboard() override;
  bool SetClipboardText(const std::string& text) override;
  void OpenUrl(const std::string& url) override;
  double Random() override;
  std::string ProgramFolder() override;

  static constexpr int kEventIntervalMs = 15;

  // Ends the program: every event loop returns, and from now on no message box
  // or file dialog opens (code still unwinding gets No, OK or Cancel at once).
  static void EndProgram();
  static bool Ending();

 private:
  // The owner of dialogs: the active window, else the first visible one.
  static QWidget* DialogOwner();

  QElapsedTimer since_events_;
  std::mt19937 random_;
};

}  // namespace ui
