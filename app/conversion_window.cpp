#include "app/conversion_window.h"

#include "app/main_window.h"
#include "db/access.h"
#include "platform/ui/services.h"
#include "preview/preview_windows.h"

namespace app {

db::SourceFields MainRunWindow::SourceFields() { return window_.SourceFields(); }
db::TargetFields MainRunWindow::TargetFields() { return window_.TargetFields(); }
int MainRunWindow::PreviewCheck() { return window_.PreviewCheck(); }
const engine::TypedOptions* MainRunWindow::KeepTypes() { return window_.KeepTypes() ? &keep_types_ : nullptr; }
bool MainRunWindow::PerFileOption() { return window_.PerFileOption(); }
bool MainRunWindow::PerTableOption() { return window_.PerTableOption(); }
db::ListBox& MainRunWindow::TargetTables() { return window_.TargetTables(); }
db::ListBox& MainRunWindow::SourceTables() { return window_.SourceTables(); }
void MainRunWindow::SetProgressValue(int percent) { window_.SetProgressValue(percent); }
void MainRunWindow::SetProgressCaption(const std::string& caption) { window_.SetProgressCaption(caption); }
engine::StatementSink& MainRunWindow::PreviewList() { return preview_.PreviewList(); }
engine::ConversionLog& MainRunWindow::Log() { return preview_.Log(); }
void MainRunWindow::ShowPreview() { preview_.ShowPreview(); }
std::unique_ptr<ado::Connection>& MainRunWindow::AccessConn() { return window_.AccessConn(); }
engine::RunState& MainRunWindow::State() { return window_.State(); }

void RunMessages::SetBusy(bool busy) {
  ui::Current().SetPointer(MainWindow::kName, busy ? ui::kPointerHourglass : ui::kPointerDefault);
}

bool RunMessages::AskToOverwrite(const std::string& table) {
  return ui::Current().MessageBox("Would you like to overwrite " + table + "?", ui::Buttons::YesNo, ui::Icon::None,
                                  "Overwrite?") == ui::Answer::Yes;
}

void RunMessages::TargetNotFound() { ui::Current().MessageBox(db::kUnableToAccess); }
void RunMessages::RunDone() { ui::Current().MessageBox("Done."); }

void InstallConversionRun(MainWindow& window, preview::PreviewWindows& preview) {
  window.start_converting = [&preview](MainWindow& w) {
    MainRunWindow run_window(w, preview);
    engine::RunConversion(run_window);
  };
}

}  // namespace app
