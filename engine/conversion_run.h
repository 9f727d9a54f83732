#pragma once
// The conversion run: what "Start Converting" does. It lists the tables of the
// source and the target, and for every source table (last listed first) asks
// about overwriting, then builds the drop, CREATE TABLE and INSERT INTO texts
// and executes each at once or appends it to the preview list.
//
// The run knows the main window only through RunWindow, so the window and the
// command line share it. Every step runs in the trap "Form1.PushButton7_Click":
// a failure is reported with the step's number and the run goes on.

#include <string>
#include <vector>

#include "engine/run_window.h"

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
  long statements_refused = 0;    // statements the target refused, one by one
  long failed_writes = 0;         // commits that failed: what they held is not in the file
  long statements_lost = 0;       // the statements those commits held, each one whose commit failed included
  long statements_listed = 0;     // statements appended to the preview list
  // Keeping types: what could not be carried, what was renamed or changed, one line each.
  std::vector<std::string> notes;
};

// Form1.PushButton7_Click.
RunResult RunConversion(RunWindow& window);

// The source query for a table: SELECT * FROM "name", with a double quote inside
// the name doubled so that a name can never add a statement to the query.
std::string SourceQuery(const std::string& table_name);
// The table name in double quotes, embedded double quotes doubled.
std::string QuotedSourceName(const std::string& table_name);

}  // namespace engine
