// pelmora-convert: the conversion run without a window, for scripts and large
// jobs. Passwords come from the environment (PELMORA_PG_PASSWORD or libpq's
// PGPASSWORD and password file; PELMORA_ACCESS_PASSWORD), never from the
// command line. The connection's other defaults are libpq's variables too
// (convert/libpq_defaults.h).

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <fmt/format.h>
#include <regex>

#include "db/access.h"
#include "db/postgresql.h"
#include "db/source_probe.h"
#include "db/source_schema.h"
#include "engine/conversion_run.h"
#include "platform/ado/connection.h"
#include "platform/ado/error.h"
#include "tools/convert/cli_services.h"
#include "tools/convert/cli_window.h"
#include "report/error_report.h"
#include "tools/convert/libpq_defaults.h"
#include "tools/convert/stored_rows.h"
#include "tools/convert/table_selection.h"
#include "tools/convert/verify.h"
#include "tools/version_flag.h"

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

constexpr const char* kTablesHelp =
    "With --classic-types, tables: by default the user's own, those pg_tables lists\n"
    "in the schemas on the search path (the only ones the unqualified SELECT \"name\"\n"
    "reaches), without pg_catalog and information_schema, without names beginning\n"
    "with \"sql_\", and without partitions and inheritance children of another\n"
    "converted table (its SELECT returns their rows already). PostgreSQL's own tables\n"
    "are internals of the server, and many of their values do not fit Access.\n"
    "--all-tables converts the main window's list (every table pg_tables lists,\n"
    "without \"sql_\" names); --tables only the named ones, spelled as that list has\n"
    "them.";

constexpr const char* kKeepTypesHelp =
    "Types, keys and relationships are kept: every table of every user schema (or of\n"
    "--schemas) is read schema-qualified; --tables takes NAME or SCHEMA.NAME. Each\n"
    "column gets the Access type that holds its values (bigint as Long when every\n"
    "value fits, numeric as Decimal, money as Currency, timestamps to the\n"
    "millisecond, texts over 255 characters as Memo, ...), names are made legal for\n"
    "Access, and after each table's rows come its primary key, unique keys and\n"
    "indexes, then every relationship whose two tables hold their rows. What cannot\n"
    "be carried or was changed on the way is listed on stderr.";

constexpr const char* kConnectionHelp =
    "Connection: as psql takes it, options first, then PGHOST, PGPORT, PGUSER and\n"
    "PGDATABASE, then localhost and 5432. The password from PELMORA_PG_PASSWORD, else\n"
    "PGPASSWORD, else libpq's password file (PGPASSFILE, or ~/.pgpass; read only when\n"
    "its mode is 0600 or stricter). PGSSLMODE becomes the driver's SSL mode.\n"
    "The Access file's password: PELMORA_ACCESS_PASSWORD.";

// PostgreSQL reads a bare offset as POSIX does: "+05:30" and "UTC+5" lie west
// of Greenwich, the opposite of what such an option usually means; every
// timestamp would move by twice the offset, silently.
CLI::Validator BareOffsetRefused() {
  return CLI::Validator(
      [](std::string& zone) -> std::string {
        static const std::regex bare(R"(^((UTC|GMT)?[+-])?[0-9]{1,2}(:?[0-9]{2})?$)", std::regex::icase);
        if (!std::regex_match(zone, bare)) return {};
        return "a bare offset (" + zone +
               ") is read as POSIX reads it, west of Greenwich: give the zone by name (Asia/Kolkata, UTC)";
      },
      "ZONE");
}

// PostgreSQL's own word on a time zone name, before anything is written.
std::optional<std::string> TimeZoneRefused(const db::SourceFields& source, const std::string& zone) {
  ado::Connection connection;
  connection.Open(db::PostgreSQLConnectionString(source));
  try {
    connection.Execute("SET TimeZone = " + db::QuoteLiteral(zone));
  } catch (const ado::Error& e) {
    connection.Close();
    return e.Description();
  }
  connection.Close();
  return std::nullopt;
}

// Why the Access file cannot be opened for writing, as the run would open
// it; nothing when it can. Asked before the run, so that a missing, locked or
// read-only file is said once instead of by each step that needs it.
std::optional<std::string> TargetRefused(const db::TargetFields& target) {
  ado::Connection connection;
  connection.Mode = ado::adModeReadWrite;
  try {
    connection.Open(db::AccessConnectionString(target));
  } catch (const ado::Error& e) {
    return e.Description();
  }
  connection.Close();
  return std::nullopt;
}

std::string QuotedList(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "\"" : ", \"") + name + "\"";
  return out;
}

}  // namespace

// After a failed write the run's counts say what was executed, not what the
// file holds: the tables and rows are counted in the file itself, and the lost
// statements apart from the refused ones.
void PrintAfterFailedWrites(const engine::RunResult& counts, const std::optional<convert::StoredCounts>& stored) {
  std::string held = stored ? fmt::format("{} tables and {} rows in the file", stored->tables, stored->rows)
                            : std::string("the file could not be read back");
  fmt::print("{}, {} statements refused, {} statements lost in {} failed write{}\n", held, counts.statements_refused,
             counts.statements_lost, counts.failed_writes, counts.failed_writes == 1 ? "" : "s");
}

int main(int argc, char** argv) {
  CLI::App app{"Copies the tables of a PostgreSQL database into an existing Access file."};
  std::string server, port, user, database;
  db::TargetFields target{"", Env("PELMORA_ACCESS_PASSWORD")};
  std::string overwrite;
  bool print_sql = false, quiet = false, verify = false, verify_only = false, classic_types = false;
  engine::TypedOptions typed;
  convert::TableRequest request;
  AddVersionFlag(app, "pelmora-convert");
  auto* server_option = app.add_option("--server", server, "PostgreSQL server (default: PGHOST, else localhost)");
  auto* port_option = app.add_option("--port", port, "PostgreSQL port (default: PGPORT, else 5432)");
  auto* user_option = app.add_option("--user", user, "PostgreSQL user (default: PGUSER)");
  auto* database_option = app.add_option("--database", database, "PostgreSQL database (default: PGDATABASE)");
  app.add_option("--target", target.path, "Access file (.mdb or .accdb) to convert into")->required();
  app.add_option("--overwrite", overwrite, "tables the target has already: ask, yes or no")
      ->check(CLI::IsMember({"ask", "yes", "no"}));
  app.add_flag("--print-sql", print_sql, "print the statements instead of executing them");
  app.add_flag("--quiet", quiet, "print nothing but the reports of errors (no progress, no summary)");
  auto* verify_flag = app.add_flag("--verify", verify,
                                   "after the run, compare every converted table with its source, value by value");
  auto* verify_only_flag =
      app.add_flag("--verify-only", verify_only, "compare the selected tables with the Access file without converting");
  verify_only_flag->excludes(verify_flag);
  app.get_option("--print-sql")->excludes(verify_flag)->excludes(verify_only_flag);
  auto* all_tables =
      app.add_flag("--all-tables", request.all_tables, "every table the main window lists, PostgreSQL's own included");
  app.add_option("--tables", request.names, "only these tables (NAME[,NAME...])")
      ->delimiter(',')
      ->excludes(all_tables);
  auto* classic_flag = app.add_flag(
      "--classic-types", classic_types,
      "the statements the window writes with \"Keep column types, keys and relationships\" unticked: texts and "
      "numbers only, no keys or relationships, the tables of the search path");
  app.add_option("--schemas", typed.schemas, "only the tables of these schemas (NAME[,NAME...])")
      ->delimiter(',')
      ->excludes(classic_flag);
  app.add_flag("--include-views", typed.include_views,
               "also copy the rows of views (and materialized views), each as a table")
      ->excludes(classic_flag);
  app.add_option("--time-zone", typed.time_zone,
                 "the time zone timestamps with time zone arrive in, by name (default: this machine's)")
      ->check(BareOffsetRefused())
      ->excludes(classic_flag);
  // PostgreSQL's own catalogue is the window's classic list.
  all_tables->needs(classic_flag);
  app.footer(std::string(kKeepTypesHelp) + "\n\n" + kTablesHelp + "\n\n" + kConnectionHelp);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return e.get_exit_code() == 0 ? code : 2;
  }
  auto given = [](CLI::Option* option, const std::string& value) {
    return option->count() > 0 ? std::optional<std::string>(value) : std::nullopt;
  };
  convert::ResolvedSource resolved = convert::ResolveSource(
      {given(server_option, server), given(port_option, port), given(user_option, user), given(database_option, database)});
  if (!resolved.problem.empty()) {
    fmt::print(stderr, "pelmora-convert: {}\n", resolved.problem);
    return 2;
  }
  db::SourceFields source = resolved.fields;

  const bool interactive = isatty(STDIN_FILENO);
  convert::CliTerminal cli;
  convert::OverwritePolicy& policy = cli.overwrite;
  if (print_sql || overwrite == "yes") policy = convert::OverwritePolicy::kYes;
  else if (overwrite == "ask" || (overwrite.empty() && interactive)) policy = convert::OverwritePolicy::kAsk;
  // An explicit --overwrite ask reads the answers from standard input even when it is a pipe.
  const bool ask_on_stdin = interactive || overwrite == "ask";
  // The progress bar only on a terminal, never in a pipe or a log file.
  convert::TerminalLine terminal(stderr);
  convert::TerminalLine* progress = !quiet && !print_sql && isatty(STDERR_FILENO) ? &terminal : nullptr;
  cli.in = ask_on_stdin ? stdin : nullptr;
  cli.progress = progress;
  cli.quiet = quiet;
  convert::CliServices services(stderr, progress);
  ui::SetCurrent(&services);

  // The run ends silently when the source cannot be reached; a script must hear
  // of it, and of the driver's reason.
  auto unreachable = [&](const std::string& reason) {
    fmt::print(stderr, "Could not connect to the PostgreSQL server {}:{} as {} (database {}){}\n", source.server,
               source.port, source.user, source.database, reason.empty() ? "." : ": " + reason);
    return 1;
  };
  // The selection is settled before the target is opened, so that a wrong name
  // leaves the file untouched.
  if (auto problem = db::PostgreSQLConnectionProblem(source)) return unreachable(*problem);
  const bool keep_types = !classic_types;
  convert::TableSelection selection;
  std::vector<std::string> unknown_schemas;
  std::vector<std::pair<std::string, std::string>> parts_of;  // --tables naming a partition: it, its ancestor
  try {
    // Keeping types, the tables come from the catalogue of every schema.
    if (keep_types) {
      if (!typed.time_zone.empty()) {
        if (auto refused = TimeZoneRefused(source, typed.time_zone)) {
          fmt::print(stderr, "--time-zone {}: {}; nothing done.\n", typed.time_zone, *refused);
          return 2;
        }
      }
      typed.tables = request.names;
      unknown_schemas = convert::UnknownSchemas(source, typed.schemas);
      if (unknown_schemas.empty()) selection.unknown = convert::UnknownTypedTables(source, typed, &parts_of);
    } else {
      selection = convert::SelectTables(request, source);
    }
  } catch (const ado::Error& e) {
    fmt::print(stderr, "Could not list the tables of database {}: {}\n", source.database, e.Description());
    return 1;
  }
  if (!unknown_schemas.empty()) {
    fmt::print(stderr, "No schema{} {} in database {}; nothing done.\n", unknown_schemas.size() > 1 ? "s" : "",
               QuotedList(unknown_schemas), source.database);
    return 2;
  }
  if (!selection.unknown.empty()) {
    // A partition or inheritance child: its rows come with its ancestor's.
    for (const auto& [part, ancestor] : parts_of)
      fmt::print(stderr, "--tables {}: a partition or inheritance child, whose rows come with those of {}: name {}.\n",
                 part, ancestor, ancestor);
    fmt::print(stderr, "No table{} {} in database {} ({}); nothing done.\n", selection.unknown.size() > 1 ? "s" : "",
               QuotedList(selection.unknown), source.database,
               keep_types ? (typed.schemas.empty() ? "--tables takes NAME or SCHEMA.NAME of the user's tables"
                                                   : "--tables takes NAME or SCHEMA.NAME of the tables of --schemas")
                          : "--tables takes the names --all-tables converts");
    return 2;
  }
  if (selection.tables.empty() && !request.all_tables && !quiet && !keep_types)
    fmt::print(stderr, "No tables of your own on the search path of database {}; --all-tables converts every table "
               "PostgreSQL lists.\n", source.database);

  if (verify_only) {
    // A file converted earlier: rows missing from it are missing, with no run to explain them.
    convert::VerifyTotals totals = convert::VerifyTables(source, target, selection.tables, nullptr, stdout,
                                                         keep_types ? &typed : nullptr);
    return totals.AllVerified() && totals.differences == 0 ? 0 : 1;
  }

  if (!print_sql) {
    if (auto refused = TargetRefused(target)) {
      fmt::print(stderr, "{}: {}\nNothing converted.\n", db::kUnableToAccess, *refused);
      return 1;
    }
  }

  convert::RefusalLog refusals;
  convert::CliWindow window(source, target, std::move(selection.tables), print_sql, cli);
  window.SetRefusalLog(&refusals);
  if (keep_types) window.SetKeepTypes(typed);
  const long reports_before = report::ReportsShown();
  engine::RunResult counts = engine::RunConversion(window);
  if (counts.outcome == engine::RunOutcome::kSourceUnreachable)
    return unreachable(db::PostgreSQLConnectionProblem(source).value_or(""));
  if (print_sql) {
    for (const auto& row : window.ConversionLog().Rows())
      fmt::print(stderr, "{}\t{}\t{}\t{}\n", row.table, row.field, row.source_type, row.access_type);
  }
  if (keep_types && !quiet)
    for (const auto& note : counts.notes) fmt::print(stderr, "{}\n", note);
  if (print_sql && !quiet)
    fmt::print("{} statements printed, nothing executed\n", counts.statements_listed);
  else if (!quiet && counts.failed_writes == 0)
    fmt::print("{} tables created, {} rows written, {} statements refused\n", counts.tables_created,
               counts.rows_written, counts.statements_refused);
  else if (!quiet)
    PrintAfterFailedWrites(counts, convert::CountStoredRows(target, window.ConvertedTables()));
  if (!quiet && !print_sql && !window.KeptTables().empty()) {
    const auto& kept = window.KeptTables();
    std::string names;
    for (size_t i = 0; i < kept.size() && i < 5; ++i) names += (i ? ", " : "") + kept[i];
    if (kept.size() > 5) names += ", ...";
    fmt::print("{} table{} the file had already kept as {} (--overwrite yes replaces them): {}\n", kept.size(),
               kept.size() > 1 ? "s" : "", kept.size() > 1 ? "they were" : "it was", names);
  }
  int status = counts.statements_refused == 0 && counts.failed_writes == 0 && report::ReportsShown() == reports_before
                   ? 0
                   : 1;
  if (verify) {
    convert::VerifyTotals totals = convert::VerifyTables(source, target, window.ConvertedTables(), &refusals, stdout,
                                                         keep_types ? &typed : nullptr);
    if (!totals.AllVerified() || totals.differences > 0) status = 1;
  }
  return status;
}
