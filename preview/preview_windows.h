#pragma once
// The preview side of a conversion run: the SQL Preview window with its
// StatementList and the Datatypes Conversion window with its conversion log,
// as the run reaches them through engine::RunWindow.
//
//   preview::PreviewWindows preview(&form1, form1.access_conn, form1.SQLFormOK);
//   ... RunWindow::PreviewList() { return preview.PreviewList(); }
//       RunWindow::Log()         { return preview.Log(); }
//       RunWindow::ShowPreview() { preview.ShowPreview(); }
//
// Create one for the life of the program, beside the main window: the preview
// window keeps ErrorLine from one list to the next. Touching the list or the
// log of a closed window loads that window invisibly first.

#include <QPointer>
#include <memory>
#include <string_view>

#include "engine/conversion_log.h"
#include "engine/statement_sink.h"
#include "platform/ado/connection.h"
#include "preview/statement_list.h"

class QWidget;

namespace preview {

class Form2;

class PreviewWindows : public engine::StatementSink {
 public:
  // `owner` is the main window; `access_conn` and `sql_form_ok` are its members
  // and must outlive this object.
  PreviewWindows(QWidget* owner, std::unique_ptr<ado::Connection>& access_conn, bool& sql_form_ok);
  ~PreviewWindows() override;

  engine::StatementSink& PreviewList() { return *this; }
  engine::ConversionLog& Log();
  // Shows the SQL Preview window modally over the main window; returns when it
  // has closed (the run then reads SQLFormOK and EndRunAfterPreview).
  void ShowPreview();

  // engine::StatementSink, for the run.
  void Clear() override;
  void Append(std::string_view statement) override;

  // The window itself (created and loaded on first use), and its rows.
  Form2& Window();
  StatementList& Statements() { return rows_; }

 private:
  Form2& Loaded();

  QWidget* owner_;
  std::unique_ptr<ado::Connection>& access_conn_;
  bool& sql_form_ok_;
  StatementList rows_;
  engine::ConversionLog log_;
  QPointer<Form2> form2_;
};

}  // namespace preview
