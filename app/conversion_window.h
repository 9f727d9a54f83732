#pragma once
// The conversion run as "Start Converting" runs it: Form1's controls and state,
// and the preview windows, seen through engine::RunWindow.

#include "engine/conversion_run.h"

namespace preview {
class PreviewWindows;
}

namespace app {

class Form1;

class Form1RunWindow : public engine::RunWindow {
 public:
  Form1RunWindow(Form1& form, preview::PreviewWindows& preview) : form_(form), preview_(preview) {}

  db::SourceFields SourceFields() override;
  db::TargetFields TargetFields() override;
  int PreviewCheck() override;
  bool PerFileOption() override;
  bool PerTableOption() override;
  db::ListBox& List1() override;
  db::ListBox& List2() override;
  void SetProgressValue(int percent) override;
  void SetProgressCaption(const std::string& caption) override;
  engine::StatementSink& PreviewList() override;
  engine::ConversionLog& Log() override;
  void ShowPreview() override;
  std::unique_ptr<ado::Connection>& AccessConn() override;
  bool& SQLFormOK() override;
  bool& Busy() override;

 private:
  Form1& form_;
  preview::PreviewWindows& preview_;
};

// Makes "Start Converting" run the conversion on `form` with `preview`; both
// must live as long as the window.
void InstallConversionRun(Form1& form, preview::PreviewWindows& preview);

}  // namespace app
