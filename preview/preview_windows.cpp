#include "preview/preview_windows.h"

#include "preview/datatypes_window.h"
#include "preview/sql_preview_window.h"

namespace preview {

PreviewWindows::PreviewWindows(QWidget* owner, std::unique_ptr<ado::Connection>& access_conn,
                               engine::RunState& run_state)
    : owner_(owner), access_conn_(access_conn), run_state_(run_state) {}

PreviewWindows::~PreviewWindows() {
  // The main window may have deleted its child windows already.
  delete window_.data();
}

SqlPreviewWindow& PreviewWindows::Window() {
  if (!window_) window_ = new SqlPreviewWindow(rows_, log_, access_conn_, run_state_, owner_);
  return *window_;
}

SqlPreviewWindow& PreviewWindows::Loaded() {
  SqlPreviewWindow& form = Window();
  form.Load();
  return form;
}

engine::ConversionLog& PreviewWindows::Log() {
  Window().DatatypesWindow().Load();
  return log_;
}

void PreviewWindows::ShowPreview() { Loaded().Open(); }

void PreviewWindows::Clear() {
  Loaded();
  rows_.Clear();
}

void PreviewWindows::Append(std::string_view statement) {
  if (!window_ || !window_->Loaded()) Loaded();
  rows_.Append(statement);
}

}  // namespace preview
