#include "preview/preview_windows.h"

#include "preview/form2.h"
#include "preview/form5.h"

namespace preview {

PreviewWindows::PreviewWindows(QWidget* owner, std::unique_ptr<ado::Connection>& access_conn, bool& sql_form_ok)
    : owner_(owner), access_conn_(access_conn), sql_form_ok_(sql_form_ok) {}

PreviewWindows::~PreviewWindows() {
  // The main window may have deleted its child windows already.
  delete form2_.data();
}

Form2& PreviewWindows::Window() {
  if (!form2_) form2_ = new Form2(rows_, log_, access_conn_, sql_form_ok_, owner_);
  return *form2_;
}

Form2& PreviewWindows::Loaded() {
  Form2& form = Window();
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
  if (!form2_ || !form2_->Loaded()) Loaded();
  rows_.Append(statement);
}

}  // namespace preview
