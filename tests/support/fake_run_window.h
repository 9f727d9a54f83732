#pragma once
// A RunWindow for tests: the controls are plain members, the preview list is a
// vector, and ShowPreview runs a scripted reaction (Skip Table, Execute, Back).

#include <functional>
#include <string>
#include <vector>

#include "db/list_box.h"
#include "engine/conversion_run.h"
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
  int check1 = 0;
  bool option1 = true;
  bool option2 = false;
  db::MemoryListBox list1, list2;
  VectorStatementSink preview;
  engine::ConversionLog log;
  std::unique_ptr<ado::Connection> access_conn;
  engine::RunState state;
  std::vector<int> progress_values;
  std::vector<std::string> captions;
  // What each preview showed, and what the "user" does there.
  std::vector<std::vector<std::string>> previews;
  std::function<void(FakeRunWindow&)> on_preview = [](FakeRunWindow&) {};

  db::SourceFields SourceFields() override { return source; }
  db::TargetFields TargetFields() override { return target; }
  int PreviewCheck() override { return check1; }
  bool PerFileOption() override { return option1; }
  bool PerTableOption() override { return option2; }
  db::ListBox& TargetTables() override { return list1; }
  db::ListBox& SourceTables() override { return list2; }
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

  // Executes the preview list on access_conn, as "Execute SQL" does when every row succeeds.
  void ExecutePreview() {
    for (const auto& statement : preview.rows) access_conn->Execute(statement);
    state.preview_executed = true;
  }
};

}  // namespace testing_support
