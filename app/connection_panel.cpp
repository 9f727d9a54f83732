#include "app/connection_panel.h"

#include <optional>

#include "app/main_window.h"
#include "db/test_connection.h"
#include "platform/ui/services.h"
#include "report/addresses.h"
#include "report/error_report.h"
#include "report/procedures.h"

namespace app {

std::string LoginHintText() {
  std::string text = kLoginHintFirst;
  text += kLoginHintSecond;
  text += "\r\n\r\n";
  text += addresses::kPgAdminDownload;
  return text;
}

std::string TransferNotesText() {
  std::string text =
      "This software transfers text-based and numeric fields but does not handle binary / pictures fields.";
  text += "\r\n\r\n";
  text += "Use SQL Preview if your tables contains less than 32767 rows.";
  text += "\r\n\r\n";
  text += "Questions? Please contact Team Halvex at ";
  text += addresses::kContactPage;
  return text;
}

namespace {

// The check's events as the main window shows them.
class WindowConnectionCheck : public db::ConnectionCheckWindow {
 public:
  void SetBusy(bool busy) override {
    ui::Current().SetPointer(MainWindow::kName, busy ? ui::kPointerHourglass : ui::kPointerDefault);
  }
  void Connected() override { ui::Current().MessageBox(db::kConnectionSuccessful); }
  void NotConnected() override { ui::Current().MessageBox(db::kCouldNotConnect); }
};

}  // namespace

void MainWindow::TestConnection() {
  WindowConnectionCheck window;
  db::TestPostgreSQLConnection(SourceFields(), window);
}

void MainWindow::ShowLoginHint() {
  report::Trap trap(report::procedures::kLoginHint);
  std::string hint;
  trap(100, [&] { hint = kLoginHintFirst; });
  trap(102, [&] { hint += kLoginHintSecond; });
  trap(104, [&] {
    hint += "\r\n\r\n";
    hint += addresses::kPgAdminDownload;
  });
  trap(106, [&] { ui::Current().MessageBox(hint); });
}

void MainWindow::ChooseTargetFile() {
  report::Trap trap(report::procedures::kChooseTargetFile);
  ui::FileDialogRequest request;
  std::string file_name;
  trap(100, [&] { file_name.clear(); });
  trap(102, [&] { request.flags = kAccessFileDialogFlags; });
  trap(104, [&] { request.title = kAccessFileDialogTitle; });
  trap(106, [&] { request.filter = kAccessFileFilter; });
  trap(108, [&] { file_name = ui::Current().OpenFileDialog(request).value_or(""); });
  bool chosen = false;
  trap(110, [&] { chosen = !file_name.empty(); });
  if (chosen) trap(112, [&] { ui_.target_file_edit->SetText(file_name); });
}

void MainWindow::LoadSampleDatabase() {
  report::Trap trap(report::procedures::kLoadSample);
  trap(100, [&] { ui_.target_file_edit->SetText(ui::Current().ProgramFolder() + kSampleDatabase); });
}

void MainWindow::ShowTransferNotes() {
  report::Trap trap(report::procedures::kTransferNotes);
  trap(100, [&] { ui::Current().MessageBox(TransferNotesText()); });
}

}  // namespace app
