#include "tools/convert/cli_window.h"

#include <fmt/format.h>

#include "platform/ado/connection.h"

namespace convert {

void StreamSink::Append(std::string_view statement) {
  std::fwrite(statement.data(), 1, statement.size(), out_);
  std::fputc('\n', out_);
}

CliWindow::CliWindow(db::SourceFields source, db::TargetFields target, std::vector<std::string> tables,
                     bool print_sql, FILE* out, TerminalLine* progress)
    : source_(std::move(source)),
      target_(std::move(target)),
      tables_(std::move(tables)),
      print_sql_(print_sql),
      progress_(progress),
      sink_(out) {}

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

void CliWindow::RowRefused(long long row) {
  if (!refusals_) return;
  refusals_->by_table[table_].push_back({row, refusals_->last_report});
  refusals_->last_report.clear();
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
