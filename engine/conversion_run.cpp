#include "engine/conversion_run.h"

#include <algorithm>
#include <optional>

#include "db/access.h"
#include "db/source_probe.h"
#include "db/postgresql.h"
#include "engine/list_functions.h"
#include "engine/row_statement.h"
#include "engine/table_definition.h"
#include "engine/text_case.h"
#include "engine/typed_conversion.h"
#include "platform/ado/data_type.h"
#include "platform/ado/error.h"
#include "platform/ado/recordset.h"
#include "platform/ui/services.h"
#include "report/error_report.h"
#include "report/procedures.h"

namespace engine {

namespace {

constexpr const char* kTrapName = report::procedures::kStartConverting;

// What a step that uses a missing object meets, as the program would.
[[noreturn]] void ObjectNotSet() { throw ado::Error(91, "Object variable or With block variable not set"); }

template <typename T>
T& Require(const std::unique_ptr<T>& object) {
  if (!object) ObjectNotSet();
  return *object;
}

// Closing a connection that is not open fails, as it does in ADO: a run whose
// open failed reports that at the closing steps too.
void CloseOpen(const std::unique_ptr<ado::Connection>& connection) {
  ado::Connection& c = Require(connection);
  if (!c.IsOpen()) throw ado::Error(ado::kErrorObjectClosed, "Operation is not allowed when the object is closed.");
  c.Close();
}


long long CountRowsOf(ado::Connection& source, const std::string& query) {
  auto counted = source.Execute(query);
  if (!counted->IsOpen() || counted->Eof()) return -1;
  const ado::Value& v = counted->Fields(size_t{0}).Value();
  long long n = -1;
  if (v.Holds<int64_t>()) n = v.As<int64_t>();
  else if (!v.IsNull()) n = std::stoll(v.ToText());
  counted->Close();
  return n;
}

long long CountRows(ado::Connection& source, const std::string& table) {
  return CountRowsOf(source, "SELECT count(*) FROM " + QuotedSourceName(table));
}

// What the target said of a statement it did not take.
StatementFailure FailureOf(const std::exception_ptr& failure, const std::string& table, long long row) {
  StatementFailure f{table, row, report::DescriptionOf(failure)};
  try {
    if (failure) std::rethrow_exception(failure);
  } catch (const ado::Error& e) {
    f.kind = e.Kind();
    f.statements_lost = e.StatementsLost();
  } catch (...) {
  }
  return f;
}

int Percent(long long row, long long rows) {
  if (rows <= 0) return 100;
  return static_cast<int>(std::min<long long>(100, (row * 100 + rows - 1) / rows));
}

}  // namespace

std::string QuotedSourceName(const std::string& table_name) {
  std::string quoted = "\"";
  for (char c : table_name) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  quoted += '"';
  return quoted;
}

std::string SourceQuery(const std::string& table_name) { return "SELECT * FROM " + QuotedSourceName(table_name); }

void RunWindow::AddSourceTables(db::ListBox& list) {
  db::AddTablesToPostgreSQLListbox(list, SourceFields());
}

RunResult RunConversion(RunWindow& w) {
  RunResult counts;
  if (w.State().busy) {  // step 100
    counts.outcome = RunOutcome::kAlreadyRunning;
    return counts;
  }
  report::Trap trap(kTrapName);
  ui::Services& services = ui::Current();  // the event pump only

  std::unique_ptr<ado::Connection> source;
  std::unique_ptr<ado::Recordset> records;
  trap(102, [&] { w.State().busy = true; });
  trap(104, [&] { w.AccessConn() = ado::CreateConnection(); });
  trap(108, [&] { source = ado::CreateConnection(); });
  trap(110, [&] { records = ado::CreateRecordset(); });

  bool reachable = false;
  trap(116, [&] { reachable = db::CanConnectToPostgreSQL(w.SourceFields()); });
  if (!reachable) {
    w.State().busy = false;
    counts.outcome = RunOutcome::kSourceUnreachable;
    return counts;
  }

  trap(118, [&] { w.SetBusy(true); });
  trap(120, [&] { w.TargetTables().Clear(); });
  trap(122, [&] { w.SourceTables().Clear(); });
  trap(124, [&] {
    if (!db::AddTablesToAccessListbox(w.TargetTables(), w.TargetFields().path, w.TargetFields())) w.TargetNotFound();
  });
  const TypedOptions* typed_options = w.KeepTypes();
  if (!typed_options) trap(126, [&] { w.AddSourceTables(w.SourceTables()); });
  trap(128, [&] { Require(source).CursorLocation = ado::adUseServer; });
  trap(130, [&] { Require(source).CommandTimeout = 5000; });
  trap(132, [&] { Require(source).ConnectionTimeout = 5000; });
  trap(134, [&] { Require(source).Open(db::PostgreSQLConnectionString(w.SourceFields())); });
  // Keeping types: the tables come from the catalogue, planned all at once
  // (names, types and relationships depend on each other).
  std::optional<TypedConversion> typed;
  if (typed_options) {
    typed.emplace();
    trap(126, [&] {
      typed->Prepare(Require(source), *typed_options);
      // The run converts its list from the end: the plans' order, then.
      const auto names = typed->TableNames();
      for (auto it = names.rbegin(); it != names.rend(); ++it) w.SourceTables().AddItem(*it);
    });
  }
  trap(136, [&] { Require(w.AccessConn()).CursorLocation = ado::adUseClient; });
  trap(138, [&] { Require(w.AccessConn()).Mode = ado::adModeReadWrite; });
  trap(140, [&] { Require(w.AccessConn()).Open(db::AccessConnectionString(w.TargetFields())); });
  if (!(w.AccessConn() && w.AccessConn()->IsOpen())) counts.outcome = RunOutcome::kTargetNotOpened;
  bool connections_open = false;
  trap(142, [&] { connections_open = true; });
  trap(146, [&] { w.PreviewList().Clear(); });
  trap(148, [&] { w.Log().Clear(); });

  auto preview_on = [&] { return w.PreviewCheck() == 1; };
  // A failed write lost the statements since the last commit, this one
  // included: they were counted as executed, so they are counted apart from
  // the statements refused one by one.
  auto failed = [&](const std::string& table, long long row) {
    if (!trap.LastFailure()) return;  // not run: the program is ending
    StatementFailure failure = FailureOf(trap.LastFailure(), table, row);
    if (failure.kind == ado::ErrorKind::kWriteFailed) {
      ++counts.failed_writes;
      counts.statements_lost += failure.statements_lost;
    } else {
      ++counts.statements_refused;
    }
    w.StatementFailed(failure);
  };
  // Direct execution: one statement on access_conn; false when it was not taken.
  auto execute = [&](int step, const std::string& statement, const std::string& table, long long row) {
    bool ok = trap(step, [&] { Require(w.AccessConn()).Execute(statement); });
    if (!ok) failed(table, row);
    return ok;
  };
  // The closing commit may fail as a statement's commit does.
  auto close_target = [&](int step) {
    if (trap(step, [&] { CloseOpen(w.AccessConn()); })) return;
    if (trap.LastFailure() && FailureOf(trap.LastFailure(), "", 0).kind == ado::ErrorKind::kWriteFailed)
      failed("", 0);
  };
  auto list = [&](int step, const std::string& statement) {
    bool ok = trap(step, [&] { w.PreviewList().Append(statement); });
    if (ok) ++counts.statements_listed;
    return ok;
  };

  int table_count = 0;
  trap(144, [&] { table_count = w.SourceTables().ListCount(); });
  // Executing into a target that did not open would report every statement of
  // every table; its failed open was reported at step 140, so the tables are left.
  auto target_unusable = [&] {
    return !preview_on() && !(w.AccessConn() && w.AccessConn()->IsOpen());
  };
  for (int i = table_count - 1; i >= 0 && !report::EndRequested() && !target_unusable(); --i) {
    trap(150, [&] { services.ProcessEvents(); });
    std::string table;
    trap(152, [&] { table = w.SourceTables().List(i); });

    enum class Answer { kNone, kYes, kNo } answer = Answer::kNone;
    bool exists = false;
    trap(154, [&] { exists = engine::ListboxContains(w.TargetTables(), table); });
    if (exists) {
      trap(156, [&] {
        answer = w.AskToOverwrite(table) ? Answer::kYes : Answer::kNo;
      });
    }
    if (answer == Answer::kNo) {  // step 160: the table is left alone
      trap(420, [&] { w.SetProgressCaption(""); });
      continue;
    }

    bool per_table = false;
    trap(162, [&] { per_table = w.PerTableOption(); });
    if (per_table) {
      trap(164, [&] { w.PreviewList().Clear(); });
      trap(166, [&] { w.Log().Clear(); });
    }
    const TablePlan* plan = typed ? typed->Plan(table) : nullptr;
    if (answer == Answer::kYes) {
      const std::string drop = plan ? "DROP TABLE [" + plan->name + "]" : "DROP TABLE \"" + table + "\"";
      bool preview = false;
      trap(170, [&] { preview = preview_on(); });
      std::vector<std::string> unrelate;
      if (plan) trap(171, [&] { unrelate = typed->DropRelationshipsOf(Require(w.AccessConn()), plan->name); });
      for (const auto& statement : unrelate) {
        if (preview) list(172, statement);
        else execute(174, statement, table, 0);
      }
      if (preview) list(172, drop);
      else execute(174, drop, table, 0);
      trap(176, [&] { engine::RemoveFromListbox(w.TargetTables(), LowerCase(table)); });
    }
    trap(178, [&] { w.SetProgressCaption("Please wait.. Processing table " + table); });

    long long rows = -1;
    trap(180, [&] {
      // The facts of a planned table counted its rows a moment ago.
      if (plan) rows = plan->counted_rows >= 0 ? plan->counted_rows : CountRowsOf(Require(source), typed->SelectCount(*plan));
      else rows = CountRows(Require(source), table);
      Require(records).Open(plan ? plan->source_query : SourceQuery(table), *source);
    });
    w.TableStarted(table, rows);

    TableDefinition definition;
    if (plan) {
      trap(182, [&] {
        // A table without columns has nothing to declare (PostgreSQL allows one).
        if (!plan->columns.empty()) definition.statement = plan->create;
        typed->LogColumns(*plan, w.Log());
      });
    } else if (records) {
      definition = BuildTableDefinition(table, *records, w.Log(), trap);
    }
    // A table without a column to declare gets no statements at all.
    const bool declared = !definition.statement.empty();
    if (declared) {
      bool preview = false;
      trap(290, [&] { preview = preview_on(); });
      bool ok = preview ? list(292, definition.statement) : execute(294, definition.statement, table, 0);
      if (ok && !preview) ++counts.tables_created;
    }

    NumericPositions positions;
    trap(296, [&] { positions = NumericPositions::Split(definition.numeric_positions); });
    RowStatementBuilder builder(table, positions, trap);
    bool has_rows = false;
    trap(298, [&] { has_rows = declared && !Require(records).Eof() && !records->Bof(); });
    long long row = 0;
    std::string typed_row;  // its buffer serves every row
    while (has_rows && !report::EndRequested()) {
      trap(302, [&] { services.ProcessEvents(); });
      ++row;
      trap(306, [&] { w.SetProgressValue(Percent(row, rows)); });
      if (plan && !trap(304, [&] { typed->RowStatement(*plan, *records, typed_row); })) typed_row.clear();
      const std::string& statement = plan ? typed_row : builder.Build(*records);
      bool preview = false;
      trap(390, [&] { preview = preview_on(); });
      bool ok = preview ? list(392, statement) : execute(402, statement, table, row);
      if (ok) ++counts.rows_written;
      w.RowDone(row);
      // A row that cannot be read ends the walk: going on would meet the same
      // failure again and again.
      if (!trap(404, [&] { records->MoveNext(); })) break;
      trap(406, [&] { has_rows = !records->Eof(); });
    }
    w.TableFinished();
    // Its keys once its rows are in, then the relationships both of whose tables now hold theirs.
    if (plan && declared) {
      std::vector<std::string> after;
      trap(407, [&] { after = typed->AfterRows(*plan); });
      for (const auto& statement : after) {
        bool preview = false;
        trap(390, [&] { preview = preview_on(); });
        if (preview) list(392, statement);
        else execute(402, statement, table, 0);
      }
    }
    trap(408, [&] { Require(records).Close(); });
    trap(410, [&] { w.State().end_after_preview = true; });
    bool per_table_preview = false;
    trap(412, [&] { per_table_preview = preview_on() && w.PerTableOption(); });
    if (per_table_preview) {
      trap(416, [&] { w.ShowPreview(); });
      if (w.State().end_after_preview) break;  // step 418: only Skip Table goes on
    }
    trap(420, [&] { w.SetProgressCaption(""); });
  }

  bool per_file_preview = false;
  trap(426, [&] { per_file_preview = preview_on() && w.PerFileOption(); });
  if (per_file_preview) {
    trap(428, [&] { w.State().preview_executed = false; });
    trap(430, [&] { w.ShowPreview(); });
    if (!w.State().preview_executed) {
      close_target(434);
      trap(436, [&] { CloseOpen(source); });
      trap(438, [&] { connections_open = false; });
      trap(440, [&] { w.SetProgressCaption(""); });
    }
  }
  if (connections_open) {
    close_target(444);
    trap(446, [&] { CloseOpen(source); });
  }
  if (typed) counts.notes = typed->Notes();
  trap(448, [&] { w.SetBusy(false); });
  trap(450, [&] { w.SetProgressValue(0); });
  trap(452, [&] { w.SetProgressCaption("Progress Bar"); });
  trap(454, [&] { w.RunDone(); });
  trap(456, [&] { w.State().busy = false; });
  return counts;
}

}  // namespace engine
