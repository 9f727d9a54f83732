// Fills the SQL Preview with a million statements, shows it, and presses
// "Execute SQL"; then runs the same statements directly on the same
// connection. Prints the time until the window is shown, the memory per
// statement, and the two execution rates. Runs offscreen with the program's own
// Qt services (so the event pump and the progress bar cost what they cost).
//
//   preview_bench [--rows N] [--access FILE.mdb] [--direct-first]
//
// The target is a scripted provider that keeps the table names and refuses
// nothing; with --access the statements go into that Access file instead
// (give it a copy: the benchmark writes to it).

#include <fmt/format.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <fstream>
#include <memory>
#include <vector>

#include "engine/statement_sink.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/ui/qt/qt_services.h"
#include "preview/preview_windows.h"
#include "preview/sql_preview_window.h"
#include "report/error_report.h"
#include "tests/support/fake_provider.h"

namespace {

using Clock = std::chrono::steady_clock;

// The program's services, with messages printed instead of waiting for a click.
class BenchServices : public ui::QtServices {
 public:
  ui::Answer MessageBox(const std::string& text, ui::Buttons, ui::Icon, const std::string&) override {
    fmt::print(stderr, "message: {}\n", text);
    return ui::Answer::Ok;
  }
};

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Resident memory in bytes (Linux).
size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * size_t(sysconf(_SC_PAGESIZE));
}

std::string Statement(long long i) {
  if (i == 0) return "CREATE TABLE \"bench\" (\"id\" INTEGER, \"name\" VARCHAR(40), \"note\" MEMO, \"at\" DATETIME);";
  return fmt::format("INSERT INTO \"bench\" VALUES({},'customer {}','a note of some length for row {}',#2021-{:02}-{:02}#)",
                     i, i, i, i % 12 + 1, i % 28 + 1);
}

std::unique_ptr<ado::Connection> OpenTarget(const std::string& access_file,
                                            const std::shared_ptr<testing_support::FakeTarget>& fake) {
  if (access_file.empty()) return testing_support::FakeConnection(fake);
  auto connection = std::make_unique<ado::Connection>();
  connection->CursorLocation = 3;
  connection->Mode = 3;
  connection->Open("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + access_file + ";JET OLEDB:Database Password=");
  return connection;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App cli("SQL Preview: show and execute a large preview");
  long long rows = 1'000'000;
  std::string access_file;
  cli.add_option("--rows", rows, "statements in the preview");
  cli.add_option("--access", access_file, "an Access file to write to (a copy)");
  bool direct_first = false;
  cli.add_flag("--direct-first", direct_first, "run the direct pass before the preview's");
  CLI11_PARSE(cli, argc, argv);

  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  BenchServices services;
  ui::SetCurrent(&services);

  auto fake = std::make_shared<testing_support::FakeTarget>();
  fake->keep_log = false;
  QWidget owner;
  owner.resize(400, 300);
  owner.show();
  std::unique_ptr<ado::Connection> access_conn = OpenTarget(access_file, fake);
  engine::RunState state;
  preview::PreviewWindows preview(&owner, access_conn, state);

  // The run's side: empty the list, then one statement per row.
  const size_t memory_before = ResidentBytes();
  const auto fill_start = Clock::now();
  preview.Clear();
  for (long long i = 0; i < rows; ++i) preview.Append(Statement(i));
  const double fill_seconds = Seconds(fill_start);
  const size_t memory_after = ResidentBytes();
  const size_t list_bytes = preview.Statements().MemoryBytes();

  // The same statements, directly on the same connection; before or after the
  // preview's pass (a table's first pass into a file may cost more than later ones).
  double direct_seconds = 0;
  auto run_direct = [&] {
    // Made beforehand, so that both passes time execution alone.
    std::vector<std::string> statements;
    statements.reserve(size_t(rows));
    for (long long i = 0; i < rows; ++i) statements.push_back(Statement(i));
    const auto direct_start = Clock::now();
    for (const std::string& statement : statements) access_conn->Execute(statement);
    direct_seconds = Seconds(direct_start);
  };
  auto reset_target = [&] {
    fake->tables.clear();
    fake->accepted = 0;
    if (!access_file.empty()) access_conn->Execute("DROP TABLE \"bench\"");
  };
  if (direct_first) {
    run_direct();
    reset_target();
  }

  // ShowPreview until the window is on screen; then "Execute SQL".
  double show_seconds = 0, execute_seconds = 0;
  size_t memory_shown = 0;
  const auto show_start = Clock::now();
  QTimer::singleShot(0, [&] {
    preview::SqlPreviewWindow& window = preview.Window();
    show_seconds = Seconds(show_start);
    memory_shown = ResidentBytes();
    // The list's first rows are painted before the pass starts.
    window.repaint();
    const auto execute_start = Clock::now();
    window.Controls().execute_button->click();
    execute_seconds = Seconds(execute_start);
    if (window.isVisible()) window.close();  // a statement error left it open
  });
  preview.ShowPreview();
  const long long executed = access_file.empty() ? fake->accepted : rows;

  if (!direct_first) {
    reset_target();
    run_direct();
  }

  const double preview_rate = double(rows) / execute_seconds;
  const double direct_rate = double(rows) / direct_seconds;
  fmt::print("statements                 {}\n", rows);
  fmt::print("target                     {}\n", access_file.empty() ? "scripted provider" : access_file);
  fmt::print("fill the list              {:.3f} s\n", fill_seconds);
  fmt::print("show the window            {:.3f} s   (goal: within 2 s)\n", show_seconds);
  fmt::print("fill + show                {:.3f} s\n", fill_seconds + show_seconds);
  fmt::print("memory per statement       {:.1f} bytes resident, {:.1f} bytes in the list (text {:.1f})\n",
             double(memory_after - memory_before) / double(rows), double(list_bytes) / double(rows),
             double(Statement(rows / 2).size()));
  fmt::print("  with the window shown    {:.1f} bytes resident\n", double(memory_shown - memory_before) / double(rows));
  fmt::print("Execute SQL                {:.3f} s, {:.0f} statements/s ({} executed, SQLFormOK {})\n", execute_seconds,
             preview_rate, executed, state.preview_executed);
  fmt::print("direct execution           {:.3f} s, {:.0f} statements/s\n", direct_seconds, direct_rate);
  fmt::print("Execute SQL / direct       {:.2f}   (goal: at least 0.8)\n", preview_rate / direct_rate);
  return 0;
}
