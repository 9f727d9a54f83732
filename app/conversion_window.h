#pragma once
// The conversion run as "Start Converting" runs it: the main window's fields
// and state, and the preview windows, seen through engine::RunWindow.

#include "engine/conversion_run.h"
#include "engine/typed_conversion.h"

namespace preview {
class PreviewWindows;
}

namespace app {

class MainWindow;

// The run's events as the main window shows them: its pointer and message
// boxes, texts as the program has always shown them.
struct RunMessages {
  static void SetBusy(bool busy);  // hourglass on the main window, then the default pointer
  static bool AskToOverwrite(const std::string& table);  // "Would you like to overwrite NAME?"
  static void TargetNotFound();    // "Unable to access the database"
  static void RunDone();           // "Done."
};

class MainRunWindow : public engine::RunWindow {
 public:
  MainRunWindow(MainWindow& window, preview::PreviewWindows& preview) : window_(window), preview_(preview) {}

  db::SourceFields SourceFields() override;
  db::TargetFields TargetFields() override;
  int PreviewCheck() override;
  const engine::TypedOptions* KeepTypes() override;
  bool PerFileOption() override;
  bool PerTableOption() override;
  db::ListBox& TargetTables() override;
  db::ListBox& SourceTables() override;
  void SetProgressValue(int percent) override;
  void SetProgressCaption(const std::string& caption) override;
  engine::StatementSink& PreviewList() override;
  engine::ConversionLog& Log() override;
  void ShowPreview() override;
  std::unique_ptr<ado::Connection>& AccessConn() override;
  engine::RunState& State() override;
  void SetBusy(bool busy) override { RunMessages::SetBusy(busy); }
  bool AskToOverwrite(const std::string& table) override { return RunMessages::AskToOverwrite(table); }
  void TargetNotFound() override { RunMessages::TargetNotFound(); }
  void RunDone() override { RunMessages::RunDone(); }

 private:
  MainWindow& window_;
  preview::PreviewWindows& preview_;
  engine::TypedOptions keep_types_;  // every user schema's tables
};

// Makes "Start Converting" run the conversion on `window` with `preview`; both
// must live as long as the window.
void InstallConversionRun(MainWindow& window, preview::PreviewWindows& preview);

}  // namespace app
