// Builds the CREATE TABLE text and one INSERT INTO text per row for a synthetic
// table (int, text, numeric, timestamp, double) read through a record set, and
// prints rows per second and peak resident memory. The rows are made on the
// fly by the cursor, so memory must stay flat whatever the row count.
//
//   statement_bench [--rows N]

#include <fmt/format.h>
#include <sys/resource.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <memory>

#include "engine/conversion_log.h"
#include "engine/row_statement.h"
#include "engine/table_definition.h"
#include "platform/ado/data_type.h"
#include "platform/ado/provider.h"
#include "platform/ado/recordset.h"
#include "platform/ui/services.h"
#include "report/error_report.h"

namespace {

class QuietServices : public ui::Services {
 public:
  ui::Answer MessageBox(const std::string& text, ui::Buttons, ui::Icon, const std::string&) override {
    fmt::print(stderr, "unexpected message: {}\n", text);
    return ui::Answer::Ok;
  }
  void ProcessEvents() override { ++events; }
  void SetPointer(const std::string&, int) override {}
  std::optional<std::string> OpenFileDialog(const ui::FileDialogRequest&) override { return std::nullopt; }
  bool ClearClipboard() override { return true; }
  bool SetClipboardText(const std::string&) override { return true; }
  void OpenUrl(const std::string&) override {}
  double Random() override { return 0; }
  std::string ProgramFolder() override { return "."; }
  long long events = 0;
};

// Rows made on demand: no row is kept after it has been fetched.
class SyntheticCursor : public ado::Cursor {
 public:
  explicit SyntheticCursor(long long rows) : rows_(rows) {}
  const std::vector<ado::ColumnInfo>& Columns() const override { return columns_; }
  bool Fetch(std::vector<ado::Value>& row) override {
    if (next_ >= rows_) return false;
    long long i = next_++;
    row.resize(5);
    row[0] = ado::Value(int64_t{i});
    row[1] = i % 17 == 0 ? ado::Value() : ado::Value(fmt::format("customer {} O'Brien\r\nline two", i));
    row[2] = ado::Value(ado::Decimal{fmt::format("{}.{:02d}", i / 100, i % 100)});
    row[3] = ado::Value(ado::DateTime{{2000 + static_cast<int>(i % 25), 1 + static_cast<int>(i % 12),
                                       1 + static_cast<int>(i % 28)},
                                      {static_cast<int>(i % 24), static_cast<int>(i % 60), static_cast<int>(i % 60),
                                       static_cast<uint32_t>(i % 3) * 250000000u}});
    row[4] = ado::Value(static_cast<double>(i) * 0.37);
    return true;
  }

 private:
  std::vector<ado::ColumnInfo> columns_ = {{"id", ado::adInteger},
                                           {"name", ado::adLongVarWChar},
                                           {"amount", ado::adNumeric},
                                           {"created", ado::adDBTimeStamp},
                                           {"ratio", ado::adDouble}};
  long long rows_;
  long long next_ = 0;
};

long PeakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Row statement builder benchmark");
  long long rows = 5'000'000;
  app.add_option("--rows", rows, "rows of the synthetic table");
  CLI11_PARSE(app, argc, argv);

  QuietServices services;
  ui::SetCurrent(&services);
  report::Trap trap("Form1.PushButton7_Click");

  // Reading alone, for comparison.
  {
    ado::Recordset recordset;
    recordset.Attach(std::make_unique<SyntheticCursor>(rows), ado::adUseServer);
    auto start = std::chrono::steady_clock::now();
    long long n = 0;
    for (; !recordset.Eof(); recordset.MoveNext()) ++n;
    double seconds = Seconds(start);
    fmt::print("read only:        {:>10} rows in {:6.2f} s = {:>10.0f} rows/s\n", n, seconds, n / seconds);
  }

  ado::Recordset recordset;
  recordset.Attach(std::make_unique<SyntheticCursor>(rows), ado::adUseServer);
  engine::ConversionLog log;
  auto start = std::chrono::steady_clock::now();
  auto definition = engine::BuildTableDefinition("bench", recordset, log, trap);
  engine::RowStatementBuilder builder("bench", engine::NumericPositions::Split(definition.numeric_positions), trap);
  long long n = 0;
  size_t bytes = 0;
  std::string sample;
  long rss_after_first_million = 0;
  for (; !recordset.Eof(); recordset.MoveNext()) {
    const std::string& statement = builder.Build(recordset);
    bytes += statement.size();
    if (++n == 3) sample = statement;
    if (n == 1'000'000) rss_after_first_million = PeakRssKiB();
  }
  double seconds = Seconds(start);

  fmt::print("{}\n{}\n", definition.statement, sample);
  fmt::print("read and build:   {:>10} rows in {:6.2f} s = {:>10.0f} rows/s, {:.1f} MB of SQL text\n", n,
             seconds, n / seconds, bytes / 1e6);
  fmt::print("events processed: {}\n", services.events);
  fmt::print("peak RSS:         {} KiB (after 1 000 000 rows: {} KiB)\n", PeakRssKiB(), rss_after_first_million);
  fmt::print("reports:          {}\n", trap.Reports());
  ui::SetCurrent(nullptr);
  return trap.Reports() == 0 ? 0 : 1;
}
