#include "app/conversion_window.h"

#include "app/form1.h"
#include "preview/preview_windows.h"

namespace app {

db::SourceFields Form1RunWindow::SourceFields() { return form_.SourceFields(); }
db::TargetFields Form1RunWindow::TargetFields() { return form_.TargetFields(); }
int Form1RunWindow::PreviewCheck() { return form_.Check1->Value(); }
bool Form1RunWindow::PerFileOption() { return form_.Option1->Value(); }
bool Form1RunWindow::PerTableOption() { return form_.Option2->Value(); }
db::ListBox& Form1RunWindow::List1() { return form_.List1; }
db::ListBox& Form1RunWindow::List2() { return form_.List2; }
void Form1RunWindow::SetProgressValue(int percent) { form_.ProgressBar1->setValue(percent); }
void Form1RunWindow::SetProgressCaption(const std::string& caption) { form_.ProgressBar1->SetCaption(caption); }
engine::StatementSink& Form1RunWindow::PreviewList() { return preview_.PreviewList(); }
engine::ConversionLog& Form1RunWindow::Log() { return preview_.Log(); }
void Form1RunWindow::ShowPreview() { preview_.ShowPreview(); }
std::unique_ptr<ado::Connection>& Form1RunWindow::AccessConn() { return form_.access_conn; }
bool& Form1RunWindow::SQLFormOK() { return form_.SQLFormOK; }
bool& Form1RunWindow::Busy() { return form_.busy; }

void InstallConversionRun(Form1& form, preview::PreviewWindows& preview) {
  form.start_converting = [&preview](Form1& f) {
    Form1RunWindow window(f, preview);
    engine::RunConversion(window);
  };
}

}  // namespace app
