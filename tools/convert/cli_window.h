#pragma once
// The conversion run's window, on a terminal: the controls and the source
// tables come from the command line, the preview list streams to stdout
// (--print-sql), and a progress bar per table is drawn on a terminal line
// (when stderr is a terminal and the run is not quiet). The overwrite question
// is answered by --overwrite or asked on the terminal; "Done." goes to stdout.

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "db/list_box.h"
#include "engine/conversion_run.h"
#include "engine/typed_conversion.h"
#include "tools/convert/terminal_line.h"
#include "tools/convert/verify.h"

namespace convert {

class StreamSink : public engine::StatementSink {
 public:
  explicit StreamSink(FILE* out) : out_(out) {}
  void Clear() override {}
  void Append(std::string_view statement) override;

 private:
  FILE* out_;
};

enum class OverwritePolicy { kAsk, kYes, kNo };

// Where the run's window writes and reads.
struct CliTerminal {
  FILE* out = stdout;
  FILE* err = stderr;
  FILE* in = nullptr;              // the overwrite answers (kAsk); nullptr answers No
  TerminalLine* progress = nullptr;  // the bar's line on err, nullptr for none
  OverwritePolicy overwrite = OverwritePolicy::kNo;
  bool quiet = false;              // no "Done."
};

class CliWindow : public engine::RunWindow {
 public:
  // `tables` in the order they are to be converted.
  CliWindow(db::SourceFields source, db::TargetFields target, std::vector<std::string> tables, bool print_sql,
            CliTerminal terminal);

  db::SourceFields SourceFields() override { return source_; }
  db::TargetFields TargetFields() override { return target_; }
  int PreviewCheck() override { return print_sql_ ? 1 : 0; }
  bool PerFileOption() override { return true; }
  bool PerTableOption() override { return false; }
  db::ListBox& TargetTables() override { return target_tables_; }
  db::ListBox& SourceTables() override { return source_tables_; }
  void AddSourceTables(db::ListBox& list) override;
  const engine::TypedOptions* KeepTypes() override { return keep_types_ ? &*keep_types_ : nullptr; }
  void SetKeepTypes(engine::TypedOptions options) { keep_types_ = std::move(options); }
  void SetProgressValue(int) override {}
  void SetProgressCaption(const std::string&) override {}
  engine::StatementSink& PreviewList() override { return sink_; }
  engine::ConversionLog& Log() override { return log_; }
  void ShowPreview() override {}  // the statements were printed as they came
  std::unique_ptr<ado::Connection>& AccessConn() override { return access_conn_; }
  engine::RunState& State() override { return state_; }

  void SetBusy(bool) override {}
  bool AskToOverwrite(const std::string& table) override;
  void TargetNotFound() override;
  void RunDone() override;
  void StatementFailed(const engine::StatementFailure& failure) override;

  void TableStarted(const std::string& table, long long rows) override;
  void RowDone(long long row) override;
  void TableFinished() override;

  const engine::ConversionLog& ConversionLog() const { return log_; }
  // The tables the run converted, in its order; their refused rows go into
  // the refusal log with the report shown last.
  const std::vector<std::string>& ConvertedTables() const { return converted_; }
  // The tables the file had already and that were left as they were (overwrite answered no).
  const std::vector<std::string>& KeptTables() const { return kept_; }
  void SetRefusalLog(RefusalLog* log) { refusals_ = log; }

 private:
  bool Overwrite(const std::string& table);  // the policy, or the answer on the terminal
  void DrawBar(bool final);

  db::SourceFields source_;
  db::TargetFields target_;
  std::vector<std::string> tables_;
  bool print_sql_;
  CliTerminal terminal_;
  TerminalLine* progress_;
  db::MemoryListBox target_tables_, source_tables_;
  StreamSink sink_;
  engine::ConversionLog log_;
  std::unique_ptr<ado::Connection> access_conn_;
  engine::RunState state_;

  std::optional<engine::TypedOptions> keep_types_;
  std::vector<std::string> converted_;
  std::vector<std::string> kept_;
  RefusalLog* refusals_ = nullptr;
  std::string table_;
  long long rows_ = 0;
  long long done_ = 0;
  std::chrono::steady_clock::time_point started_, drawn_;
};

}  // namespace convert
