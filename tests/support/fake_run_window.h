#pragma once
// A RunWindow for tests: the controls are plain members, the preview list is a
// vector, ShowPreview runs a scripted reaction (Skip Table, Execute, Back), and
// the run's events are recorded in order ("busy", "overwrite? NAME", "target
// not found", "idle", "done"), overwrite questions answered from a script.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "db/list_box.h"
#include "engine/conversion_run.h"
#include "engine/typed_conversion.h"
#include "platform/ado/recordset.h"

namespace testing_support {

class VectorStatementSink : public engine::StatementSink {
 public:
  void Clear() override { rows.clear(); }
  void Append(std::string_view statement) override { rows.emplace_back(statement); }
  std::vector<std::string> rows;
};

class FakeRunWindow : public engine::RunWindow {
 public:
  db::SourceFields source;
  db::TargetFields target;
  int preview_check = 0;
  bool per_file = true;
  bool per_table = false;
  db::MemoryListBox target_tables, source_tables;
  VectorStatementSink preview;
  engine::ConversionLog log;
  std::unique_ptr<ado::Connection> access_conn;
  engine::RunState state;
  std::vector<int> progress_values;
  std::vector<std::string> captions;
  // What each preview showed, and what the "user" does there.
  std::vector<std::vector<std::string>> previews;
  std::function<void(FakeRunWindow&)> on_preview = [](FakeRunWindow&) {};
  std::deque<bool> overwrite_answers;  // in order; No when empty
  std::function<std::optional<bool>(const std::string& table)> overwrite_for;  // asked first when set
  std::vector<std::string> events;
  std::vector<engine::StatementFailure> failures;
  std::optional<engine::TypedOptions> keep_types;  // set: the run keeps types

  db::SourceFields SourceFields() override { return source; }
  db::TargetFields TargetFields() override { return target; }
  int PreviewCheck() override { return preview_check; }
  const engine::TypedOptions* KeepTypes() override { return keep_types ? &*keep_types : nullptr; }
  bool PerFileOption() override { return per_file; }
  bool PerTableOption() override { return per_table; }
  db::ListBox& TargetTables() override { return target_tables; }
  db::ListBox& SourceTables() override { return source_tables; }
  void SetProgressValue(int percent) override { progress_values.push_back(percent); }
  void SetProgressCaption(const std::string& caption) override { captions.push_back(caption); }
  engine::StatementSink& PreviewList() override { return preview; }
  engine::ConversionLog& Log() override { return log; }
  void ShowPreview() override {
    previews.push_back(preview.rows);
    on_preview(*this);
  }
  std::unique_ptr<ado::Connection>& AccessConn() override { return access_conn; }
  engine::RunState& State() override { return state; }

  void SetBusy(bool busy) override { events.push_back(busy ? "busy" : "idle"); }
  bool AskToOverwrite(const std::string& table) override {
    events.push_back("overwrite? " + table);
    if (overwrite_for)
      if (auto answer = overwrite_for(table)) return *answer;
    if (overwrite_answers.empty()) return false;
    bool yes = overwrite_answers.front();
    overwrite_answers.pop_front();
    return yes;
  }
  void TargetNotFound() override { events.push_back("target not found"); }
  void RunDone() override { events.push_back("done"); }
  void StatementFailed(const engine::StatementFailure& failure) override { failures.push_back(failure); }

  // Executes the preview list on access_conn, as "Execute SQL" does when every row succeeds.
  void ExecutePreview() {
    for (const auto& statement : preview.rows) access_conn->Execute(statement);
    state.preview_executed = true;
  }
};

}  // namespace testing_support
