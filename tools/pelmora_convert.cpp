// pelmora-convert: the conversion run without a window, for scripts and large
// jobs. Passwords come from PELMORA_PG_PASSWORD and PELMORA_ACCESS_PASSWORD,
// never from the command line.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <fmt/format.h>

#include "engine/conversion_run.h"
#include "tools/convert/cli_services.h"
#include "tools/convert/cli_window.h"

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Copies every table of a PostgreSQL database into an existing Access file."};
  db::SourceFields source{"localhost", "5432", "", Env("PELMORA_PG_PASSWORD"), ""};
  db::TargetFields target{"", Env("PELMORA_ACCESS_PASSWORD")};
  std::string overwrite;
  bool print_sql = false;
  app.add_option("--server", source.server, "PostgreSQL server")->capture_default_str();
  app.add_option("--port", source.port, "PostgreSQL port")->capture_default_str();
  app.add_option("--user", source.user, "PostgreSQL user")->required();
  app.add_option("--database", source.database, "PostgreSQL database")->required();
  app.add_option("--target", target.path, "Access file (.mdb or .accdb) to convert into")->required();
  app.add_option("--overwrite", overwrite, "tables the target has already: ask, yes or no")
      ->check(CLI::IsMember({"ask", "yes", "no"}));
  app.add_flag("--print-sql", print_sql, "print the statements instead of executing them");
  app.footer("Passwords: PELMORA_PG_PASSWORD and PELMORA_ACCESS_PASSWORD.");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return e.get_exit_code() == 0 ? code : 2;
  }

  const bool interactive = isatty(STDIN_FILENO);
  convert::OverwritePolicy policy = convert::OverwritePolicy::kNo;
  if (print_sql || overwrite == "yes") policy = convert::OverwritePolicy::kYes;
  else if (overwrite == "ask" || (overwrite.empty() && interactive)) policy = convert::OverwritePolicy::kAsk;
  // An explicit --overwrite ask reads the answers from standard input even when it is a pipe.
  const bool ask_on_stdin = interactive || overwrite == "ask";
  convert::CliServices services(policy, stdout, stderr, ask_on_stdin ? stdin : nullptr);
  ui::SetCurrent(&services);

  convert::CliWindow window(source, target, print_sql, stdout, stderr, !print_sql && isatty(STDERR_FILENO));
  // The run ends silently when the source cannot be reached; a script must hear of it.
  engine::RunCounts counts = engine::RunConversion(window);
  if (!services.DoneShown()) {
    fmt::print(stderr, "Could not connect to the PostgreSQL server {}:{} as {} (database {}).\n", source.server,
               source.port, source.user, source.database);
    return 1;
  }
  if (print_sql) {
    for (const auto& row : window.ConversionLog().Rows())
      fmt::print(stderr, "{}\t{}\t{}\t{}\n", row.table, row.field, row.source_type, row.access_type);
  }
  if (print_sql)
    fmt::print("{} statements printed, nothing executed\n", counts.statements_listed);
  else
    fmt::print("{} tables created, {} rows written, {} statements refused\n", counts.tables_created,
               counts.rows_written, counts.statements_refused);
  return counts.statements_refused == 0 && services.Reports() == 0 ? 0 : 1;
}
