#include "tools/convert/cli_window.h"

#include <fmt/format.h>

#include "db/access.h"
#include "platform/ado/connection.h"

namespace convert {

void StreamSink::Append(std::string_view statement) {
  std::fwrite(statement.data(), 1, statement.size(), out_);
  std::fputc('\n', out_);
}

CliWindow::CliWindow(db::SourceFields source, db::TargetFields target, std::vector<std::string> tables,
                     bool print_sql, CliTerminal terminal)
    : source_(std::move(source)),
      target_(std::move(target)),
      tables_(std::move(tables)),
      print_sql_(print_sql),
      terminal_(terminal),
      progress_(terminal.progress),
      sink_(terminal.out) {}

bool CliWindow::AskToOverwrite(const std::string& table) {
  const bool overwrite = Overwrite(table);
  if (!overwrite) kept_.push_back(table);
  return overwrite;
}

bool CliWindow::Overwrite(const std::string& table) {
  if (terminal_.overwrite == OverwritePolicy::kYes) return true;
  if (terminal_.overwrite == OverwritePolicy::kNo || !terminal_.in) return false;
  if (progress_) progress_->End();
  for (;;) {
    fmt::print(terminal_.err, "Would you like to overwrite {}? [y/n] ", table);
    std::fflush(terminal_.err);
    char line[64];
    if (!std::fgets(line, sizeof line, terminal_.in)) return false;
    if (line[0] == 'y' || line[0] == 'Y') return true;
    if (line[0] == 'n' || line[0] == 'N') return false;
  }
}

void CliWindow::TargetNotFound() {
  if (progress_) progress_->End();
  fmt::print(terminal_.err, "{}\n", db::kUnableToAccess);
  std::fflush(terminal_.err);
}

void CliWindow::RunDone() {
  if (terminal_.quiet) return;
  fmt::print(terminal_.out, "Done.\n");
  std::fflush(terminal_.out);
}

void CliWindow::StatementFailed(const engine::StatementFailure& failure) {
  // A failed write's rows are missing, not refused: the closing line counts what the file holds.
  if (failure.kind == ado::ErrorKind::kWriteFailed) return;
  if (refusals_ && failure.row > 0) refusals_->by_table[failure.table].push_back({failure.row, failure.description});
}

void CliWindow::AddSourceTables(db::ListBox& list) {
  // The run converts its list from the end.
  for (auto it = tables_.rbegin(); it != tables_.rend(); ++it) list.AddItem(*it);
}

void CliWindow::TableStarted(const std::string& table, long long rows) {
  table_ = table;
  converted_.push_back(table);
  rows_ = rows;
  done_ = 0;
  started_ = drawn_ = std::chrono::steady_clock::now();
  if (progress_) DrawBar(false);
}

void CliWindow::RowDone(long long row) {
  done_ = row;
  if (!progress_ || (row & 1023) != 0) return;
  auto now = std::chrono::steady_clock::now();
  if (now - drawn_ < std::chrono::milliseconds(100)) return;
  drawn_ = now;
  DrawBar(false);
}

void CliWindow::TableFinished() {
  if (progress_) DrawBar(true);
}

void CliWindow::DrawBar(bool final) {
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  double rate = seconds > 0 ? done_ / seconds : 0;
  int filled = rows_ > 0 ? static_cast<int>(20 * std::min<long long>(done_, rows_) / rows_) : (final ? 20 : 0);
  std::string bar = std::string(filled, '#') + std::string(20 - filled, '.');
  std::string total = rows_ >= 0 ? std::to_string(rows_) : "?";
  progress_->Draw(fmt::format("{:<24.24} [{}] {} of {} rows  {:.0f} rows/s", table_, bar, done_, total, rate));
  if (final) progress_->End();
}

}  // namespace convert
