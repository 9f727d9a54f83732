#pragma once
// The preview side of a conversion run: the SQL Preview window with its
// StatementList and the Datatypes Conversion window with its conversion log,
// as the run reaches them through engine::RunWindow.
//
//   preview::PreviewWindows preview(&main_window, main_window.AccessConn(), main_window.State());
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
#include "engine/run_state.h"
#include "engine/statement_sink.h"
#include "platform/ado/connection.h"
#include "preview/statement_list.h"

class QWidget;

namespace preview {

class SqlPreviewWindow;

class PreviewWindows : public engine::StatementSink {
 public:
  // `owner` is the main window; `access_conn` and `run_state` are kept with it
  // and must outlive this object.
  PreviewWindows(QWidget* owner, std::unique_ptr<ado::Connection>& access_conn, engine::RunState& run_state);
  ~PreviewWindows() override;

  engine::StatementSink& PreviewList() { return *this; }
  engine::ConversionLog& Log();
  // Shows the SQL Preview window modally over the main window; returns when it
  // has closed (the run then reads its RunState).
  void ShowPreview();

  // engine::StatementSink, for the run.
  void Clear() override;
  void Append(std::string_view statement) override;

  // The window itself (created and loaded on first use), and its rows.
  SqlPreviewWindow& Window();
  StatementList& Statements() { return rows_; }

 private:
  SqlPreviewWindow& Loaded();

  QWidget* owner_;
  std::unique_ptr<ado::Connection>& access_conn_;
  engine::RunState& run_state_;
  StatementList rows_;
  engine::ConversionLog log_;
  QPointer<SqlPreviewWindow> window_;
};

}  // namespace preview
