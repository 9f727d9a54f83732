// "Execute SQL": every row of the list, in order, as one command on the run's
// target connection, with the row count in the progress bar. A statement the
// target refused stops the pass at its row and shows it in the window; so does
// a failed write (going on would call the pass a success while statements were
// lost). Any other failure gets the uniform report and the pass goes on.
#include <fmt/format.h>

#include <cmath>
#include <exception>
#include <iterator>

#include "platform/ado/error.h"
#include "platform/ado/recordset.h"
#include "platform/ui/services.h"
#include "preview/row_text.h"
#include "preview/sql_preview_window.h"
#include "report/error_report.h"
#include "report/procedures.h"

namespace preview {
namespace {

constexpr const char* kTrapName = report::procedures::kPreviewExecute;

bool IsStatementError(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const ado::Error& e) {
    return e.Kind() == ado::ErrorKind::kStatementRefused || e.Kind() == ado::ErrorKind::kWriteFailed;
  } catch (...) {
    return false;
  }
}

}  // namespace

void SqlPreviewWindow::ExecuteSql() {
  if (Executing()) return;  // one pass at a time; the button is disabled meanwhile
  report::Trap trap(kTrapName);
  ui::Services& services = ui::Current();

  // The statement error that ended the pass, if any, and its row.
  std::exception_ptr statement_error;
  int error_row = 0;
  int x = 0;
  // One step of the pass: a statement error is kept for the window's own
  // display, every other failure goes to the report.
  auto step = [&](int number, auto&& action) {
    return trap(number, [&] {
      try {
        action();
      } catch (...) {
        std::exception_ptr failure = std::current_exception();
        if (!IsStatementError(failure)) throw;
        statement_error = failure;
        error_row = x;
      }
    }) && !statement_error;
  };

  bool empty = false;
  step(100, [&] { empty = rows_.Count() == 0; });
  if (empty) {
    step(102, [&] { services.MessageBox("No SQL to run."); });
    return;
  }

  ++passes_;
  stop_requested_ = false;
  SetExecuting(true);
  step(104, [&] { services.SetPointer(kName, ui::kPointerHourglass); });
  int n = 0;
  step(106, [&] { n = rows_.Count(); });
  bool stopped = false;
  for (x = 1; x <= n && !statement_error; ++x) {
    step(108, [&] { services.ProcessEvents(); });
    // The window was closed, or the program is ending: leave the rows alone.
    if (stop_requested_ || report::EndRequested() || x > rows_.Count()) {
      stopped = true;
      break;
    }
    int count = 0;
    step(110, [&] {
      count = rows_.Count();
      ui_.progress_bar->setValue(int(std::lround(double(x) / double(count) * 100.0)));
    });
    step(112, [&] {
      progress_text_.clear();
      fmt::format_to(std::back_inserter(progress_text_), "Please wait.. Processing row: {} of {}", x, count);
      ui_.progress_bar->SetCaption(progress_text_);
    });
    bool blank = false;
    step(114, [&] { blank = IsBlank(rows_.Text(x)); });
    if (blank) continue;
    step(116, [&] {
      ado::Connection* connection = access_conn_.get();
      if (!connection) throw ado::Error(91, "Object variable or With block variable not set");
      connection->Execute(rows_.Text(x));
    });
  }
  --passes_;
  SetExecuting(false);

  if (statement_error) {
    // Shown in the window, without the report.
    trap(116, [&] { ErrorLine = error_row; });
    trap(116, [&] { SelectRow(error_row); });
    trap(116, [&] { ScrollToRow(error_row); });
    trap(116, [&] { SetErrorText(report::DescriptionOf(statement_error)); });
    trap(116, [&] { services.SetPointer(kName, ui::kPointerDefault); });
    trap(116, [&] { ResetProgress(); });
    trap(116, [&] { services.MessageBox("Error found."); });
    return;
  }
  if (stopped) {
    services.SetPointer(kName, ui::kPointerDefault);
    ResetProgress();
    return;
  }
  step(118, [&] { run_state_.preview_executed = true; });
  step(120, [&] { services.SetPointer(kName, ui::kPointerDefault); });
  step(122, [&] { ui_.progress_bar->setValue(0); });
  step(124, [&] { ui_.progress_bar->SetCaption("Progress Bar"); });
  step(126, [&] { close(); });
}

}  // namespace preview
