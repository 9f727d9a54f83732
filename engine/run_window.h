#pragma once
// What the conversion run sees of its window: the controls it reads, the lists
// it fills, the state kept with the window, and the events it tells. The main
// window turns the events into its pointer and message boxes; the command line
// into answers and lines of its own. The run never looks a window up itself.

#include <memory>
#include <string>

#include "db/list_box.h"
#include "db/source_fields.h"
#include "db/target_fields.h"
#include "engine/conversion_log.h"
#include "engine/run_state.h"
#include "engine/statement_sink.h"
#include "platform/ado/connection.h"
#include "platform/ado/error.h"

namespace engine {

struct TypedOptions;

// A statement the target did not take, after its report was shown.
struct StatementFailure {
  std::string table;
  long long row = 0;  // the row of a row statement, 0 for DROP TABLE / CREATE TABLE
  std::string description;
  ado::ErrorKind kind = ado::ErrorKind::kOther;  // kWriteFailed: earlier statements were lost too
  long statements_lost = 0;                      // kWriteFailed: how many, this one included
};

class RunWindow {
 public:
  virtual ~RunWindow() = default;

  // The controls, read at the step that needs them.
  virtual db::SourceFields SourceFields() = 0;
  virtual db::TargetFields TargetFields() = 0;
  virtual int PreviewCheck() = 0;    // 1: "Enable SQL Preview mode" ticked
  virtual bool PerFileOption() = 0;  // one preview for the whole file
  virtual bool PerTableOption() = 0; // one preview per table
  virtual db::ListBox& TargetTables() = 0;
  virtual db::ListBox& SourceTables() = 0;
  // Fills the source table list (just cleared): by default with the
  // source catalogue as the window shows it; the command line gives its own
  // selection.
  virtual void AddSourceTables(db::ListBox& list);
  // The conversion that keeps column types, keys and relationships, and what
  // it converts; nullptr: the statements the run has always written.
  virtual const TypedOptions* KeepTypes() { return nullptr; }
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

  // Events. A failure inside one is reported at the run's step that told it.
  // The run is under way (true) or over (false).
  virtual void SetBusy(bool busy) = 0;
  // `table` exists in the target: true drops and recreates it, false leaves it.
  virtual bool AskToOverwrite(const std::string& table) = 0;
  // The target file does not exist, so its table list stays empty.
  virtual void TargetNotFound() = 0;
  // Every table was converted or listed (the last event of a run that started).
  virtual void RunDone() = 0;
  // The target refused a statement, or could not write (reported already).
  virtual void StatementFailed(const StatementFailure& /*failure*/) {}

  // Progress of one table for displays that want more than the bar (the
  // command line's per-table bar). Called at the table's start and per row.
  virtual void TableStarted(const std::string& /*table*/, long long /*rows*/) {}
  virtual void RowDone(long long /*row*/) {}
  virtual void TableFinished() {}
};

}  // namespace engine
