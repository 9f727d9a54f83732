#pragma once
// The conversion run: what "Start Converting" does. It lists the tables of the
// source and the target, and for every source table (last listed first) asks
// about overwriting, then builds the drop, CREATE TABLE and INSERT INTO texts
// and executes each at once or appends it to the preview list.
//
// The run knows the main window only through RunWindow, so the window and the
// command line share it. Every step runs in the trap "Form1.PushButton7_Click":
// a failure is reported with the step's number and the run goes on.

#include <memory>
#include <string>

#include "db/list_box.h"
#include "db/source_fields.h"
#include "db/target_fields.h"
#include "engine/conversion_log.h"
#include "engine/run_state.h"
#include "engine/statement_sink.h"
#include "platform/ado/connection.h"

namespace engine {

// How a run ended. A run whose target did not open still lists statements for
// the preview and reports every statement it tried to execute.
enum class RunOutcome {
  kRan,                // the source and the target opened
  kAlreadyRunning,     // a run was under way already: nothing done
  kSourceUnreachable,  // the source could not be reached: nothing done, nothing reported
  kTargetNotOpened,    // the target did not open (reported at its step)
};

// How a run ended and what it counted, for summaries.
struct RunResult {
  RunOutcome outcome = RunOutcome::kRan;
  long tables_created = 0;
  long rows_written = 0;          // row statements executed or listed
  long statements_refused = 0;    // statements the target refused
  long statements_listed = 0;     // statements appended to the preview list
};

class RunWindow {
 public:
  virtual ~RunWindow() = default;

  // The controls, read at the step that needs them.
  virtual db::SourceFields SourceFields() = 0;
  virtual db::TargetFields TargetFields() = 0;
  virtual int PreviewCheck() = 0;    // Check1: 1 ticked
  virtual bool PerFileOption() = 0;  // Option1
  virtual bool PerTableOption() = 0; // Option2
  virtual db::ListBox& TargetTables() = 0;  // List1
  virtual db::ListBox& SourceTables() = 0;  // List2
  // Fills the source table list (just cleared): by default with the
  // source catalogue as the window shows it; the command line gives its own
  // selection.
  virtual void AddSourceTables(db::ListBox& list);
  virtual void SetProgressValue(int percent) = 0;
  virtual void SetProgressCaption(const std::string& caption) = 0;

  // The preview window's list and the Datatypes Conversion window's log.
  virtual StatementSink& PreviewList() = 0;
  virtual ConversionLog& Log() = 0;
  // Shows the SQL Preview window modally; returns when it closes.
  virtual void ShowPreview() = 0;

  // State kept with the window.
  virtual std::unique_ptr<ado::Connection>& AccessConn() = 0;
  virtual RunState& State() = 0;

  // Progress of one table for displays that want more than the bar (the
  // command line's per-table bar). Called at the table's start and per row.
  virtual void TableStarted(const std::string& /*table*/, long long /*rows*/) {}
  virtual void RowDone(long long /*row*/) {}
  // The target refused the statement of row `row` (reported already).
  virtual void RowRefused(long long /*row*/) {}
  virtual void TableFinished() {}
};

// Form1.PushButton7_Click.
RunResult RunConversion(RunWindow& window);

// The source query for a table: SELECT * FROM "name", with a double quote inside
// the name doubled so that a name can never add a statement to the query.
std::string SourceQuery(const std::string& table_name);
// The table name in double quotes, embedded double quotes doubled.
std::string QuotedSourceName(const std::string& table_name);

}  // namespace engine
