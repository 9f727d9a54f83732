// Converts a 5-column PostgreSQL table (integer, text, numeric, timestamp,
// double precision) with pelmora-convert into a fresh copy of an empty Access
// file, and in the same run reads the same table through the same ODBC driver
// without converting: the plain read, with the driver manager's W functions
// and SQLGetData per value as text, the way any ODBC client reads a table.
// Prints both rates, their ratio (the rest of the pipeline should cost little
// next to the source's own limit) and the converter's peak resident memory.
// Every run passes --all-tables, so that it also converts the tables
// PostgreSQL lists of its own (pg_*) as earlier figures did: a fixed cost
// measured by converting a database without the benchmark table; the table's
// own rate leaves it out. The cost of a table as such (round trips, the new
// table's definition, commits) is measured apart, over a database of 200
// tables of which every other one holds one row. Then the same table with a
// primary key and one index, converted keeping types (pelmora-convert's
// default: the keys built after the rows), against the plain read of it; the
// other runs give --classic-types.
//
//   convert_bench [--rows N] [--repeat 3] [--target-template FILE.mdb]
//
// Needs the test server (PELMORA_TEST_PG_*, see scripts/lib.sh) and an empty
// Access file to copy (the build's Samples/sample.mdb, or --target-template).

#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/error.h"
#include "platform/ado/recordset.h"
#include "platform/odbc/connection.h"
#include "platform/odbc/driver_manager.h"
#include "platform/odbc/wide_text.h"

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string ConnectionString(const std::string& database) {
  return fmt::format("Driver={{PostgreSQL Unicode}};Server={};Port={};Uid={};Pwd={};Database={}",
                     Env("PELMORA_TEST_PG_HOST", "127.0.0.1"), Env("PELMORA_TEST_PG_PORT", "5432"),
                     Env("PELMORA_TEST_PG_USER", "pelmora"), Env("PELMORA_TEST_PG_PASSWORD", ""), database);
}

// A database of its own holding only the benchmark table, so that the run
// converts just this table (and the system tables PostgreSQL lists).
void PrepareSource(long rows) {
  ado::Connection admin;
  admin.Open(ConnectionString(Env("PELMORA_TEST_PG_DATABASE", "postgres")));
  auto exists = admin.Execute("SELECT 1 FROM pg_database WHERE datname = 'convert_bench'");
  bool have = exists->IsOpen() && !exists->Eof();
  exists->Close();
  if (!have) admin.Execute("CREATE DATABASE convert_bench");
  auto empty = admin.Execute("SELECT 1 FROM pg_database WHERE datname = 'convert_bench_empty'");
  bool have_empty = empty->IsOpen() && !empty->Eof();
  empty->Close();
  if (!have_empty) admin.Execute("CREATE DATABASE convert_bench_empty");
  admin.Close();

  ado::Connection source;
  source.CommandTimeout = 0;
  source.Open(ConnectionString("convert_bench"));
  auto counted = source.Execute("SELECT count(*) FROM pg_tables WHERE tablename = 'bench_rows'");
  bool table = counted->Fields(size_t{0}).Value().ToText() != "0";
  counted->Close();
  if (table) {
    auto n = source.Execute("SELECT count(*) FROM bench_rows");
    table = n->Fields(size_t{0}).Value().ToText() == std::to_string(rows);
    n->Close();
    if (!table) source.Execute("DROP TABLE bench_rows");
  }
  if (!table) {
    source.Execute(
        "CREATE TABLE bench_rows (id integer, label text, amount numeric(12,2), created timestamp, "
        "ratio double precision)");
    source.Execute(fmt::format(
        "INSERT INTO bench_rows SELECT i, 'row ' || i, (i % 100000) / 100.0, "
        "timestamp '2020-01-01' + i * interval '1 second', i / 7.0 FROM generate_series(1, {}) AS i",
        rows));
  }
}

// The plain read: SELECT * through the driver with a server-side cursor
// (declare/fetch, as the run reads), every value read with SQLGetDataW as
// text. Returns rows per second.
double PlainRead(const std::string& database = "convert_bench") {
  const odbc::DriverManager* dm = odbc::LoadDriverManager();
  if (!dm) throw ado::Error(0, "no ODBC driver manager");
  SQLHANDLE env = nullptr, dbc = nullptr, stmt = nullptr;
  dm->AllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  dm->SetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  dm->AllocHandle(SQL_HANDLE_DBC, env, &dbc);
  odbc::WideString connection = odbc::ToWide(ConnectionString(database));
  if (!SQL_SUCCEEDED(dm->DriverConnect(dbc, nullptr, connection.data(), SQL_NTS, nullptr, 0, nullptr,
                                       SQL_DRIVER_NOPROMPT)))
    throw ado::Error(0, "plain read: cannot connect");
  dm->SetConnectAttr(dbc, odbc::kPgOptUseDeclareFetch, reinterpret_cast<SQLPOINTER>(1), 0);
  dm->SetConnectAttr(dbc, odbc::kPgOptFetch, reinterpret_cast<SQLPOINTER>(odbc::kDeclareFetchRows), 0);
  dm->AllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  auto start = std::chrono::steady_clock::now();
  odbc::WideString query = odbc::ToWide("SELECT * FROM \"bench_rows\"");
  if (!SQL_SUCCEEDED(dm->ExecDirect(stmt, query.data(), SQL_NTS))) throw ado::Error(0, "plain read: query failed");
  SQLSMALLINT columns = 0;
  dm->NumResultCols(stmt, &columns);
  long n = 0;
  size_t chars = 0;
  SQLWCHAR buffer[4096];
  while (SQL_SUCCEEDED(dm->Fetch(stmt))) {
    ++n;
    for (SQLUSMALLINT c = 1; c <= columns; ++c) {
      SQLLEN indicator = 0;
      dm->GetData(stmt, c, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
      if (indicator > 0) chars += static_cast<size_t>(indicator) / sizeof(SQLWCHAR);
    }
  }
  double seconds = Seconds(start);
  dm->FreeHandle(SQL_HANDLE_STMT, stmt);
  dm->Disconnect(dbc);
  dm->FreeHandle(SQL_HANDLE_DBC, dbc);
  dm->FreeHandle(SQL_HANDLE_ENV, env);
  return chars > 0 ? n / seconds : 0;
}

// The benchmark table again, with a primary key and an index, in a database of its own.
void PrepareKeyed(long rows) {
  ado::Connection admin;
  admin.Open(ConnectionString(Env("PELMORA_TEST_PG_DATABASE", "postgres")));
  auto exists = admin.Execute("SELECT 1 FROM pg_database WHERE datname = 'convert_bench_keyed'");
  bool have = exists->IsOpen() && !exists->Eof();
  exists->Close();
  if (!have) admin.Execute("CREATE DATABASE convert_bench_keyed");
  admin.Close();
  ado::Connection source;
  source.CommandTimeout = 0;
  source.Open(ConnectionString("convert_bench_keyed"));
  auto counted = source.Execute(
      "SELECT coalesce((SELECT count(*) FROM pg_class WHERE relname = 'bench_rows_label'), 0) || ' ' || "
      "coalesce((SELECT reltuples::bigint FROM pg_class WHERE relname = 'bench_rows'), -1)");
  const std::string state = counted->Fields(size_t{0}).Value().ToText();
  counted->Close();
  if (state == "1 " + std::to_string(rows)) return;
  source.Execute("DROP TABLE IF EXISTS bench_rows");
  source.Execute(
      "CREATE TABLE bench_rows (id integer PRIMARY KEY, label text, amount numeric(12,2), created timestamp, "
      "ratio double precision)");
  source.Execute(fmt::format(
      "INSERT INTO bench_rows SELECT i, 'row ' || i, (i % 100000) / 100.0, "
      "timestamp '2020-01-01' + i * interval '1 second', i / 7.0 FROM generate_series(1, {}) AS i",
      rows));
  source.Execute("CREATE INDEX bench_rows_label ON bench_rows (label)");
  source.Execute("ANALYZE bench_rows");
}

// A database of 200 tables (id, label, amount), every other one with a row.
void PrepareManyTables() {
  ado::Connection admin;
  admin.Open(ConnectionString(Env("PELMORA_TEST_PG_DATABASE", "postgres")));
  auto exists = admin.Execute("SELECT 1 FROM pg_database WHERE datname = 'convert_bench_tables'");
  bool have = exists->IsOpen() && !exists->Eof();
  exists->Close();
  if (have) return;
  admin.Execute("CREATE DATABASE convert_bench_tables");
  admin.Close();
  ado::Connection source;
  source.Open(ConnectionString("convert_bench_tables"));
  source.Execute(
      "DO $$ BEGIN FOR i IN 1..200 LOOP "
      "EXECUTE format('CREATE TABLE t%s (id integer, label text, amount numeric(10,2))', i); "
      "IF i % 2 = 0 THEN EXECUTE format('INSERT INTO t%s VALUES (1, ''one'', 1.5)', i); END IF; "
      "END LOOP; END $$");
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct RunResult {
  double seconds = 0;
  long peak_kib = 0;
  int exit_status = 0;
};

// Runs pelmora-convert from `database` into `target`, overwriting, output discarded.
RunResult RunConverter(const std::string& bin_dir, const std::string& database, const fs::path& target,
                       bool all_tables = true, bool keep_types = false) {
  auto start = std::chrono::steady_clock::now();
  std::fflush(stdout);  // a buffered line must not be written again by the child
  pid_t child = fork();
  if (child == 0) {
    setenv("PELMORA_PG_PASSWORD", Env("PELMORA_TEST_PG_PASSWORD", "").c_str(), 1);
    std::string exe = bin_dir + "/pelmora-convert";
    std::string port = Env("PELMORA_TEST_PG_PORT", "5432");
    std::string server = Env("PELMORA_TEST_PG_HOST", "127.0.0.1");
    std::string user = Env("PELMORA_TEST_PG_USER", "pelmora");
    std::string target_text = target.string();
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
    std::vector<const char*> args = {exe.c_str(), "--server", server.c_str(), "--port", port.c_str(), "--user",
                                     user.c_str(), "--database", database.c_str(), "--target", target_text.c_str(),
                                     "--overwrite", "yes"};
    if (!keep_types) args.push_back("--classic-types");
    if (all_tables) args.push_back("--all-tables");
    args.push_back(nullptr);
    execv(exe.c_str(), const_cast<char* const*>(args.data()));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  RunResult result;
  result.seconds = Seconds(start);
  result.peak_kib = usage.ru_maxrss;
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"pelmora-convert against a plain read of the same table"};
  long rows = 1000000;
  std::string target_template;
  std::string bin_dir = fs::canonical("/proc/self/exe").parent_path().string();
  app.add_option("--rows", rows, "rows in the benchmark table")->capture_default_str();
  app.add_option("--target-template", target_template, "empty Access file to copy (default: Samples/sample.mdb)");
  int repeat = 3;
  app.add_option("--repeat", repeat, "rounds; each figure is their median")->capture_default_str()->check(CLI::PositiveNumber);
  CLI11_PARSE(app, argc, argv);
  if (std::getenv("PELMORA_TEST_PG_PORT") == nullptr) {
    fmt::print("convert_bench: skipped, no test PostgreSQL (source scripts/lib.sh && start_postgres DIR)\n");
    return 0;
  }
  if (target_template.empty()) target_template = bin_dir + "/Samples/sample.mdb";
  if (!fs::exists(target_template)) {
    fmt::print("convert_bench: skipped, no empty Access file at {}\n", target_template);
    return 0;
  }

  try {
    PrepareSource(rows);
    PrepareManyTables();
    PrepareKeyed(rows);
  } catch (const ado::Error& e) {
    fmt::print(stderr, "convert_bench: {}\n", e.Description());
    return 1;
  }
  fs::path work = fs::temp_directory_path() / fmt::format("pelmora-convert-bench-{}", getpid());
  fs::create_directories(work);
  fs::path target = work / "bench.mdb";

  // Each figure is the median of `repeat` rounds, the measurements taking
  // turns, so that a disturbance of the machine falls on one round.
  // The same run on a database without the table gives what every run spends
  // on the tables PostgreSQL lists of its own, whatever the row count.
  std::vector<double> fixed_seconds, run_seconds, read_rates, no_table_seconds, many_table_seconds, typed_seconds,
      keyed_read_rates;
  long peak_kib = 0;
  for (int round = 0; round < repeat; ++round) {
    fs::path empty_target = work / "empty.mdb";
    fs::remove(empty_target);
    fs::copy_file(target_template, empty_target);
    fixed_seconds.push_back(RunConverter(bin_dir, "convert_bench_empty", empty_target).seconds);
    fs::remove(target);
    fs::copy_file(target_template, target);
    RunResult run = RunConverter(bin_dir, "convert_bench", target);
    if (run.exit_status != 0)
      fmt::print("pelmora-convert exit status {} (refused statements or failures; figures still shown)\n",
                 run.exit_status);
    run_seconds.push_back(run.seconds);
    peak_kib = std::max(peak_kib, run.peak_kib);
    read_rates.push_back(PlainRead());
    // The cost of a table: 200 tables against none (start-up, connections).
    fs::remove(empty_target);
    fs::copy_file(target_template, empty_target);
    no_table_seconds.push_back(RunConverter(bin_dir, "convert_bench_empty", empty_target, false).seconds);
    fs::remove(empty_target);
    fs::copy_file(target_template, empty_target);
    many_table_seconds.push_back(RunConverter(bin_dir, "convert_bench_tables", empty_target, false).seconds);
    fs::remove(empty_target);
    fs::copy_file(target_template, empty_target);
    RunResult typed = RunConverter(bin_dir, "convert_bench_keyed", empty_target, false, true);
    if (typed.exit_status != 0) fmt::print("pelmora-convert keeping types: exit status {}\n", typed.exit_status);
    typed_seconds.push_back(typed.seconds);
    peak_kib = std::max(peak_kib, typed.peak_kib);
    keyed_read_rates.push_back(PlainRead("convert_bench_keyed"));
    fmt::print("round {}: conversion {:.2f} s, system tables {:.2f} s, plain read {:.0f} rows/s, keeping types "
               "{:.2f} s\n",
               round + 1, run_seconds.back(), fixed_seconds.back(), read_rates.back(), typed_seconds.back());
  }
  const double read_rate = Median(read_rates);
  const double seconds = Median(run_seconds);
  const double fixed = Median(fixed_seconds);
  const double convert_rate = rows / seconds;
  const double table_rate = seconds > fixed ? rows / (seconds - fixed) : 0;
  fmt::print("rows:                         {}\n", rows);
  fmt::print("conversion (pelmora-convert): {:.0f} rows/s ({:.2f} s for the whole run)\n", convert_rate, seconds);
  fmt::print("  of which the system tables: {:.2f} s (the same run on a database without the table)\n", fixed);
  fmt::print("  the table alone:            {:.0f} rows/s\n", table_rate);
  fmt::print("plain read (same driver):     {:.0f} rows/s\n", read_rate);
  fmt::print("ratio conversion / read:      {:.2f} whole run, {:.2f} the table alone (goal: whole run at least 0.9 "
             "at 1M rows, 0.95 at 5M)\n",
             convert_rate / read_rate, table_rate / read_rate);
  const double per_table_ms = (Median(many_table_seconds) - Median(no_table_seconds)) / 200 * 1000;
  fmt::print("cost of a table:              {:.2f} ms (200 tables of at most one row; goal: at most 2 ms)\n",
             per_table_ms);
  const double typed_rate = rows / Median(typed_seconds);
  const double keyed_read = Median(keyed_read_rates);
  fmt::print("keeping types (the default):  {:.0f} rows/s into a table with a primary key and one index, plain read "
             "of it {:.0f} rows/s: ratio {:.2f} (goal at least 0.85; the classic run above: {:.2f})\n",
             typed_rate, keyed_read, typed_rate / keyed_read, convert_rate / read_rate);
  fmt::print("peak resident memory:         {:.1f} MB (goal: under 100 MB)\n", peak_kib / 1024.0);
  fmt::print("Access file size:             {:.1f} MB\n", fs::file_size(target) / 1e6);
  fs::remove_all(work);
  return 0;
}
